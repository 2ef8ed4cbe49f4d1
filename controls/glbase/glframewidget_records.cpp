#include "glframewidget.h"

#include <cmath>

using GLFillStyle = GLFrameWidget::GLFillStyle;
using GLLineStyle = GLFrameWidget::GLLineStyle;
using GLLines = GLFrameWidget::GLLines;
using GLPolygon = GLFrameWidget::GLPolygon;

GLFillStyle::GLFillStyle(eFillStyle style, const QColor& fg, const QColor& bg) : m_eStyle(style), m_cFg(fg), m_cBg(bg) {}

void GLFillStyle::SetStyle(eFillStyle style, const QColor& fg, const QColor& bg)
{
    m_eStyle = style;
    m_cFg = fg;
    m_cBg = bg;
}

bool GLFillStyle::operator==(const GLFillStyle& other) const
{
    return m_eStyle == other.m_eStyle && m_cFg == other.m_cFg && m_cBg == other.m_cBg;
}

GLLineStyle::GLLineStyle(eLineStyle style, int size, const QColor& fg) : m_eStyle(style), m_iSize(size), m_cFg(fg) {}

void GLLineStyle::SetStyle(eLineStyle style, int size, const QColor& fg)
{
    m_eStyle = style;
    m_iSize = size;
    m_cFg = fg;
}

bool GLLineStyle::operator==(const GLLineStyle& other) const
{
    return m_eStyle == other.m_eStyle && m_iSize == other.m_iSize && m_cFg == other.m_cFg;
}

void GLLines::AddLine(float x1, float y1, float x2, float y2)
{
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    if (dx == 0 && dy == 0)
        return;
    if (std::fabs(dx) < std::fabs(dy)) {
        if (dy >= 0)
            m_vVertices.insert(m_vVertices.end(), {x1, y1, x2, y2 + 1});
        else
            m_vVertices.insert(m_vVertices.end(), {x2, y2, x1, y1 + 1});
    } else if (dx >= 0) {
        m_vVertices.insert(m_vVertices.end(), {x1, y1, x2 + 1, y2});
    } else {
        m_vVertices.insert(m_vVertices.end(), {x2, y2, x1 + 1, y1});
    }
}

void GLPolygon::AddVertex(float x, float y)
{
    // The empty box's bounds are finite, so the first vertex replaces them rather than widening
    // them: a polygon lying wholly beyond them would otherwise keep one of their edges.
    if (m_vVertices.empty())
        m_fLeft = m_fRight = x, m_fTop = m_fBottom = y;
    m_fLeft = std::min(m_fLeft, x);
    m_fTop = std::min(m_fTop, y);
    m_fRight = std::max(m_fRight, x);
    m_fBottom = std::max(m_fBottom, y);
    m_vVertices.push_back(x);
    m_vVertices.push_back(y);
    m_bRecalc = true;
}

void GLPolygon::SetRect(float x, float y, float w, float h)
{
    if (VertexCount() == 4 && x == m_fLeft && y == m_fTop && w == Width() && h == Height())
        return;
    Clear();
    AddVertex(x, y + h);
    AddVertex(x, y);
    AddVertex(x + w, y);
    AddVertex(x + w, y + h);
}

void GLPolygon::Clear()
{
    m_fLeft = m_fTop = 1e6f;
    m_fRight = m_fBottom = -1e6f;
    m_vVertices.clear();
    m_vColors.clear();
    m_bRecalc = true;
}

void GLPolygon::SetFillStyle(const GLFillStyle& style)
{
    if (style == m_FillStyle)
        return;
    m_FillStyle = style;
    m_bRecalc = true;
}

void GLPolygon::SetLineStyle(const GLLineStyle& style)
{
    if (style == m_LineStyle)
        return;
    m_LineStyle = style;
    m_bRecalc = true;
}

namespace
{
struct Rgba
{
    float c[4];
};

// Truncation, not rounding: the gradient's end colours must match the solid fills bit for bit.
Rgba Premultiplied(const QColor& color)
{
    const float a = float(color.alpha());
    return {{std::trunc(color.red() * a / 255.0f), std::trunc(color.green() * a / 255.0f),
             std::trunc(color.blue() * a / 255.0f), a}};
}
} // namespace

void GLPolygon::CalcColors()
{
    m_vColors.clear();
    const eFillStyle style = m_FillStyle.FillStyle();
    if (style != GLFrameWidget::eFillHGradient && style != GLFrameWidget::eFillVGradient)
        return;
    const Rgba fg = Premultiplied(m_FillStyle.FgColor());
    const Rgba bg = Premultiplied(m_FillStyle.BgColor());
    const bool byY = style == GLFrameWidget::eFillHGradient;
    const float lo = byY ? m_fTop : m_fLeft;
    const float hi = byY ? m_fBottom : m_fRight;
    m_vColors.reserve(m_vVertices.size() * 2);
    for (size_t i = 0; i + 1 < m_vVertices.size(); i += 2) {
        const float c = m_vVertices[i + (byY ? 1 : 0)];
        for (int k = 0; k < 4; ++k) {
            float value;
            if (c == lo)
                value = fg.c[k];
            else if (c == hi)
                value = bg.c[k];
            else {
                const float t = (c - lo) / (hi - lo);
                value = std::trunc(bg.c[k] * t + fg.c[k] * (1 - t));
            }
            m_vColors.push_back(static_cast<unsigned char>(value));
        }
    }
}
