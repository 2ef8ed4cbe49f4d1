#include "glframewidget.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace
{
using GL = GLFrameWidget;

// Vertex components are 16-bit; values beyond that range wrap, as the vertex space intends.
qint16 Wrap16(qint64 value) { return static_cast<qint16>(value); }

qint16 Wrap16(double value)
{
    if (!std::isfinite(value))
        return 0;
    return Wrap16(static_cast<qint64>(std::fmod(std::trunc(value), 65536.0)));
}

// Row of every byte value: base - ((v * scale) >> 8) with an 8.8 fixed-point scale. Computed
// wide so that no height or range overflows before the intended 16-bit wrap.
std::array<qint16, 256> RowTable(int height, int start, int end)
{
    const qint64 range = qint64(end) - start + 1;
    const qint64 scale = static_cast<qint64>(height * 256.0 / double(range));
    const qint64 base = qint64(height) - 1 + start;
    std::array<qint16, 256> rows;
    for (int v = 0; v < 256; ++v)
        rows[v] = Wrap16(base - ((v * scale) >> 8));
    return rows;
}

bool SameSections(const GL::GLSections& a, const GL::GLSections& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const GL::GLSection& x, const GL::GLSection& y) {
        return x.fValueFrom == y.fValueFrom && x.fValueTo == y.fValueTo && x.iPixelFrom == y.iPixelFrom &&
               x.iPixelTo == y.iPixelTo;
    });
}
} // namespace

// --- GLStepLine ----------------------------------------------------------------------------------

GLFrameWidget::GLStepLine::~GLStepLine()
{
    if (m_pFirstArea)
        m_pFirstArea->Disconnect();
    if (m_pSecondArea)
        m_pSecondArea->Disconnect();
}

void GLFrameWidget::GLStepLine::SetData(const unsigned char* data, int count)
{
    if (data && count >= 2)
        m_vData.assign(data, data + count);
    else
        m_vData.clear();
    Update();
}

void GLFrameWidget::GLStepLine::SetDataRange(int start, int end)
{
    if (start == m_iStart && end == m_iEnd)
        return;
    m_iStart = start;
    m_iEnd = end;
    Update();
}

void GLFrameWidget::GLStepLine::SetDestRect(int x, int y, int w, int h)
{
    if (x == m_iX && y == m_iY && w == m_iWidth && h == m_iHeight)
        return;
    m_iX = x;
    m_iY = y;
    m_iWidth = w;
    m_iHeight = h;
    Update();
}

void GLFrameWidget::GLStepLine::SetStepLineStyle(eStepLineStyle style)
{
    if (style < eStepNone || style > eStepRight || style == m_eStepStyle)
        return;
    m_eStepStyle = style;
    Update();
}

void GLFrameWidget::GLStepLine::SetXAxis(const AxisData& axis)
{
    m_bXAxis = true;
    m_XAxis.Build(axis);
}

void GLFrameWidget::GLStepLine::SetDestXAxis(const AxisData& axis)
{
    m_bDestXAxis = true;
    m_DestXAxis.Build(axis);
}

void GLFrameWidget::GLStepLine::Update()
{
    const size_t n = m_vData.size();
    // An emptied line also empties its areas, so that no fill outlives the data it was built from.
    if (n == 0) {
        m_vVertices.clear();
    } else {
        const size_t size = m_eStepStyle == eStepNone ? 2 * n + 2 : 4 * n;
        if (m_iHeight < 2 || m_iEnd <= m_iStart) {
            m_vVertices.assign(size, 0);
            return;
        }
        m_vVertices.resize(size);
        BuildVertices();
    }
    if (m_pFirstArea)
        m_pFirstArea->Update(this);
    if (m_pSecondArea)
        m_pSecondArea->Update(this);
}

void GLFrameWidget::GLStepLine::BuildVertices()
{
    const std::array<qint16, 256> rows = RowTable(m_iHeight, m_iStart, m_iEnd);
    const qint64 n = qint64(m_vData.size());
    qint16* out = m_vVertices.data();
    auto put = [&out](qint64 x, qint16 y) {
        *out++ = Wrap16(x);
        *out++ = y;
    };
    if (m_eStepStyle == eStepNone) {
        for (qint64 i = 0; i < n; ++i)
            put(i, rows[m_vData[i]]);
        put(n, rows[m_vData[n - 1]]);
        return;
    }
    // The first vertex of each interval's pair carries the level held over that interval.
    put(0, rows[m_vData[0]]);
    for (qint64 i = 0; i + 1 < n; ++i) {
        const qint16 p = rows[m_vData[i]];
        const qint16 q = rows[m_vData[i + 1]];
        const bool dropFirst = (m_eStepStyle == eStepMin && q > p) || (m_eStepStyle == eStepMax && q < p) ||
                               m_eStepStyle == eStepLeft;
        if (dropFirst) {
            put(i, q);
            put(i + 1, q);
        } else {
            put(i + 1, p);
            put(i + 1, q);
        }
    }
    put(n, out[-1]);
}

// --- GLStepArea ----------------------------------------------------------------------------------

void GLFrameWidget::GLStepArea::Connect(GLStepLine* first, GLStepLine* second)
{
    Disconnect();
    if (!first || !second || first->m_pFirstArea || second->m_pSecondArea)
        return;
    m_pFirst = first;
    m_pSecond = second;
    first->m_pFirstArea = this;
    second->m_pSecondArea = this;
    Update(first);
    Update(second);
}

void GLFrameWidget::GLStepArea::Connect(int level, GLStepLine* second)
{
    Disconnect();
    if (!second || second->m_pSecondArea)
        return;
    m_pSecond = second;
    second->m_pSecondArea = this;
    m_iFirstLevel = level;
    Update(second);
}

void GLFrameWidget::GLStepArea::Connect(GLStepLine* first, int level)
{
    Disconnect();
    if (!first || first->m_pFirstArea)
        return;
    m_pFirst = first;
    first->m_pFirstArea = this;
    m_iSecondLevel = level;
    Update(first);
}

void GLFrameWidget::GLStepArea::Disconnect()
{
    if (m_pFirst)
        m_pFirst->m_pFirstArea = nullptr;
    if (m_pSecond)
        m_pSecond->m_pSecondArea = nullptr;
    m_pFirst = nullptr;
    m_pSecond = nullptr;
    m_iColumns = 0;
    m_vVertices.clear();
}

void GLFrameWidget::GLStepArea::Update(GLStepLine* changed)
{
    if (!changed || (changed != m_pFirst && changed != m_pSecond))
        return;
    const int previous = m_iColumns;
    m_iColumns = m_pFirst && m_pSecond ? std::min(m_pFirst->SampleCount(), m_pSecond->SampleCount())
                                       : changed->SampleCount();
    if (m_iColumns < 2) {
        m_iColumns = 0;
        m_vVertices.clear();
        return;
    }
    m_vVertices.resize(size_t(m_iColumns) * 8);
    if (m_pFirst && m_pSecond) {
        // Columns new to the area have no other half yet: take it from the other border.
        if (changed != m_pFirst)
            WriteLineHalf(false, *m_pFirst, previous, m_iColumns);
        if (changed != m_pSecond)
            WriteLineHalf(true, *m_pSecond, previous, m_iColumns);
    } else {
        // The constant's row depends on the line's height and range, so every column gets it anew.
        WriteConstantHalf(*changed);
    }
    if (changed == m_pFirst)
        WriteLineHalf(false, *changed, 0, m_iColumns);
    if (changed == m_pSecond)
        WriteLineHalf(true, *changed, 0, m_iColumns);
}

void GLFrameWidget::GLStepArea::WriteHalf(bool secondHalf, int column, qint16 left, qint16 right)
{
    // Left-right for the second border, right-left for the first: each column is one quad.
    qint16* v = &m_vVertices[size_t(column) * 8];
    const qint16 x0 = Wrap16(qint64(column)), x1 = Wrap16(qint64(column) + 1);
    if (secondHalf) {
        v[0] = x0, v[1] = left, v[2] = x1, v[3] = right;
    } else {
        v[4] = x1, v[5] = right, v[6] = x0, v[7] = left;
    }
}

void GLFrameWidget::GLStepArea::WriteLineHalf(bool secondHalf, const GLStepLine& line, int from, int to)
{
    const qint16* v = line.m_vVertices.data();
    const bool straight = line.m_eStepStyle == eStepNone;
    for (int i = from; i < to; ++i) {
        const size_t c = size_t(i);
        if (straight) {
            WriteHalf(secondHalf, i, v[2 * c + 1], v[2 * c + 3]);
        } else {
            const qint16 level = v[4 * c + 3];  // y of vertex 2i + 1
            WriteHalf(secondHalf, i, level, level);
        }
    }
}

void GLFrameWidget::GLStepArea::WriteConstantHalf(const GLStepLine& line)
{
    const double h = line.m_iHeight;
    const double range = double(line.m_iEnd) - line.m_iStart + 1;
    const bool constantIsSecond = m_pFirst != nullptr;
    const double level = constantIsSecond ? h - m_iSecondLevel * h / range : (h - 1) - m_iFirstLevel * h / range;
    const qint16 row = Wrap16(level);
    for (int i = 0; i < m_iColumns; ++i)
        WriteHalf(constantIsSecond, i, row, row);
}

// --- drawing -------------------------------------------------------------------------------------

void GLFrameWidget::DrawStepSections(const GLStepLine& line, const std::vector<qint16>& vertices,
                                     unsigned int primitive, int perSample, int limit, float dx, float dy)
{
    std::vector<GLDrawSection> sections;
    MergeSections(line.XAxis(), line.DestXAxis(), sections);
    if (sections.empty())
        return;
    // Samples spread over the whole trace axis and the rectangle over the whole screen axis, not
    // over the parts that both show.
    const qint64 totalSrc = line.XAxis().back().iPixelTo;
    const qint64 totalDst = line.DestXAxis().back().iPixelTo;
    if (totalSrc <= 0 || totalDst <= 0)
        return;
    const qint64 samples = line.SampleCount();
    const qint64 width = line.Width();
    for (const GLDrawSection& s : sections) {
        if (s.iDstTo - s.iDstFrom <= 2)
            continue;
        const qint64 first = s.iSrcFrom > 0 ? samples * s.iSrcFrom / totalSrc : 0;
        const qint64 last = std::min<qint64>(samples * s.iSrcTo / totalSrc, limit);
        if (last <= first)
            continue;
        // Multiplied before dividing, so that whole pixels do not truncate to the one before.
        const qint64 x0 = s.iDstFrom > 0 ? s.iDstFrom * width / totalDst : 0;
        const qint64 x1 = s.iDstTo * width / totalDst;
        glPushMatrix();
        glTranslatef(dx, dy, 0);
        glTranslatef(float(x0), float(line.Y()), 0);
        DrawStepVertices(vertices, primitive, int(first * perSample), int((last - first) * perSample), first,
                         float(x1 - x0) / float(last - first));
        glPopMatrix();
    }
}

void GLFrameWidget::DrawStepWhole(const GLStepLine& line, const std::vector<qint16>& vertices, unsigned int primitive,
                                  float dx, float dy)
{
    glPushMatrix();
    glTranslatef(dx, dy, 0);
    glTranslatef(float(line.X()), float(line.Y()), 0);
    DrawStepVertices(vertices, primitive, 0, int(vertices.size() / 2), 0,
                     float(line.Width()) / float(line.SampleCount()));
    glPopMatrix();
}

void GLFrameWidget::DrawStepVertices(const std::vector<qint16>& vertices, unsigned int primitive, int firstVertex,
                                     int count, qint64 firstX, float scale)
{
    if (count <= 0)
        return;
    glScalef(scale, 1, 1);
    // No vertex lies more than one sample to the right of the one before, so none lies beyond
    // firstX + count.
    if (firstX + count <= SHRT_MAX) {
        glTranslatef(-float(firstX), 0, 0);
        glVertexPointer(2, GL_SHORT, 0, vertices.data());
        glDrawArrays(primitive, firstVertex, count);
        return;
    }
    // Beyond that the 16-bit x wraps. Consecutive vertices lie -1 to 1 apart, so their difference
    // taken in 16 bits recovers the position, here counted from the first vertex drawn.
    const qint16* v = vertices.data() + 2 * size_t(firstVertex);
    std::vector<float>& out = m_vStepVertices;
    out.resize(2 * size_t(count));
    qint64 x = 0;
    for (size_t k = 0; k < size_t(count); ++k) {
        if (k > 0)
            x += static_cast<qint16>(v[2 * k] - v[2 * k - 2]);
        out[2 * k] = float(x);
        out[2 * k + 1] = float(v[2 * k + 1]);
    }
    glVertexPointer(2, GL_FLOAT, 0, out.data());
    glDrawArrays(primitive, 0, count);
}

void GLFrameWidget::DrawStepLine(GLStepLine& line)
{
    const GLLineStyle& style = line.LineStyle();
    if (!m_bContextCurrent || line.Vertices().empty() || line.SampleCount() == 0 || line.Width() == 0 ||
        line.Height() == 0 || style.Size() == 0 || style.LineStyle() == eLineNone)
        return;
    // Odd widths on integer rows would straddle two pixels; the shift puts them on centres.
    const QPointF shift = BeginLineStyle(style);
    const float dx = float(shift.x()), dy = float(shift.y());
    glEnableClientState(GL_VERTEX_ARRAY);
    BeginColor(style.FgColor());
    // Every segment is drawn, however many fall in a pixel column: a span per column instead lit
    // other pixels than the strip, for every pen.
    const int perSample = line.StepLineStyle() == eStepNone ? 1 : 2;
    if (line.HasAxes())
        DrawStepSections(line, line.Vertices(), GL_LINE_STRIP, perSample, line.SampleCount(), dx, dy);
    else
        DrawStepWhole(line, line.Vertices(), GL_LINE_STRIP, dx, dy);
    EndColor(style.FgColor());
    glDisableClientState(GL_VERTEX_ARRAY);
    EndLineStyle(style);
}

void GLFrameWidget::DrawStepArea(GLStepArea& area)
{
    if (!m_bContextCurrent || area.ColumnCount() == 0 || area.FillStyle().FillStyle() != eFillSolid)
        return;
    const GLStepLine* reference = area.FirstBorder() ? area.FirstBorder() : area.SecondBorder();
    if (!reference || reference->Width() == 0 || reference->Height() == 0 || reference->SampleCount() == 0)
        return;
    const GLStepLine* other = area.FirstBorder() ? area.SecondBorder() : nullptr;
    const bool axes = reference->HasAxes() &&
                      (!other || (other->HasAxes() && SameSections(reference->XAxis(), other->XAxis()) &&
                                  SameSections(reference->DestXAxis(), other->DestXAxis())));
    const QColor& colour = area.FillStyle().FgColor();
    glEnableClientState(GL_VERTEX_ARRAY);
    BeginColor(colour);
    if (axes)
        DrawStepSections(*reference, area.Vertices(), GL_QUADS, 4, area.ColumnCount(), 0, 0);
    else
        DrawStepWhole(*reference, area.Vertices(), GL_QUADS, FillShift(), FillShift());
    EndColor(colour);
    glDisableClientState(GL_VERTEX_ARRAY);
}
