#include "axisdefinition.h"

#include "glcommonwidget.h"
#include "gldrawcolors_p.h"
#include "glframewidget.h"
#include "glpainter.h"

#include <QPolygon>

#include <cstdlib>

const int axisDefinition::s_YAxisLeftAlign = 25;

namespace {

using namespace GLDrawColors;

const int ciXAxisWindow = 2;
const int ciAzimuthWindow = 6;

// Tick labels of a horizontal section appear only when it is wider than this.
const int ciMinLabelledWidth = 200;
// Free pixels between a legend text and the nearest tick label.
const int ciLegendGap = 10;
const int ciButtonMargin = 20;
const int ciPlainMargin = 5;

QRect Measure(GLPainter& painter, const QString& text, int flags)
{
    return painter.boundingRect(QRect(), flags, text);
}

int TextWidth(const QRect& r)
{
    return r.right() - r.left() + 1;
}

// The legend is the label font four points larger and bold; a font sized in pixels grows by
// four pixels instead.
QFont LegendFont(const QFont& labelFont)
{
    QFont legend(labelFont.family());
    if (labelFont.pointSize() > 0)
        legend.setPointSize(labelFont.pointSize() + 4);
    else
        legend.setPixelSize(labelFont.pixelSize() + 4);
    legend.setWeight(QFont::Bold);
    legend.setItalic(false);
    return legend;
}

} // namespace

QString axisDefinition::ValueText(double value, bool startLegend) const
{
    if (m_pStringFormatter)
        return startLegend ? m_pStringFormatter->FormatStartValue(value) : m_pStringFormatter->FormatValue(value);
    return QString("%1").arg(value, 0, 'g', -1, QChar(' '));
}

void axisDefinition::draw(GLPainter& painter, GLCommonWidget* widget, int windowType)
{
    draw(painter, widget, windowType, m_bLegendVisible, m_bGridVisible);
}

void axisDefinition::SetUpPens(GLPainter& painter, int windowType)
{
    m_GridPen = QPen(HandlerColor(ciGrid), 1, Qt::DotLine);
    if (windowType == ciXAxisWindow) {
        m_TextPen = QPen(HandlerColor(ciAxisPanelText));
        m_GridPen = m_TextPen;
    } else {
        m_TextPen = QPen(HandlerColor(ciText));
        painter.setBackground(QBrush(HandlerColor(ciTextBackground), Qt::SolidPattern));
        painter.setBackgroundMode(Qt::OpaqueMode);
    }
    painter.setPen(m_GridPen);
}

void axisDefinition::draw(GLPainter& painter, GLCommonWidget* widget, int windowType, bool legend, bool grid)
{
    if ((!legend && !grid) || !widget)
        return;
    painter.save();
    SetUpPens(painter, windowType);
    VisualizeAction(painter, widget, windowType);
    const int extent = m_bXType ? widget->width() : widget->height();
    if (m_iGridExtent == extent && !m_vTicks.empty()) {
        drawFromGrid(painter, widget, windowType, legend, grid);
        painter.restore();
        return;
    }
    m_iGridExtent = extent;
    m_vTicks.clear();
    m_vSkipMarks.clear();
    m_sStartString.clear();
    const int sectionCnt = GetSectionCnt();
    for (int i = 0; i < sectionCnt; ++i)
        DrawSection(painter, widget, windowType, legend, grid, i, sectionCnt);
    VisualizeAction(painter, widget, windowType);
    painter.restore();
}

axisDefinition::SectionTicks axisDefinition::ComputeTicks(double from, double to, int windowType) const
{
    SectionTicks ticks;
    int mode = 0;
    int decimals = 0;
    double offset = 0.0;
    double min = from;
    double max = to;
    if (windowType == ciAzimuthWindow)
        ticks.iCount = GetAxisValuesAzimuth(&min, &max, &ticks.iSubDivisions, &mode, &decimals, &ticks.dStart,
                                            &ticks.dStep, &offset, 0, 1.0, -1);
    if (ticks.iCount == 0) {
        min = from;
        max = to;
        ticks.iCount = GetAxisValuesLinear(&min, &max, &ticks.iSubDivisions, &mode, &decimals, &ticks.dStart,
                                           &ticks.dStep, &offset, 0, 1.0, -1);
    }
    return ticks;
}

void axisDefinition::DrawSection(GLPainter& painter, GLCommonWidget* widget, int windowType, bool legend,
                                 bool grid, int index, int sectionCnt)
{
    const pixSection& section = GetPixSection(index);
    const int first = GetStartPix(index);
    const int stop = GetStopPix(index);
    if (!(section.GetFactor() > 0.0)) {
        painter.setPen(m_GridPen);
        painter.drawLine(first, 0, first, widget->height());
        painter.drawLine(stop, 0, stop, widget->height());
        m_vSkipMarks.emplace_back(first, stop);
        return;
    }
    m_LabelFont = painter.font();
    if (!m_bApplyCenterValue)
        m_dCenterValue = 0.0;
    // Ticks are chosen for values relative to the center value; pixels and legends add it back.
    const double from = section.GetFrom() - m_dCenterValue;
    const double to = section.GetTo() - m_dCenterValue;
    const SectionTicks ticks = ComputeTicks(from, to, windowType);
    if (m_bXType)
        DrawHorizontalTicks(painter, windowType, legend, grid, index, sectionCnt, from, to, ticks);
    else
        DrawVerticalTicks(painter, widget, legend, grid, ticks);
}

void axisDefinition::DrawHorizontalTicks(GLPainter& painter, int windowType, bool legend, bool grid, int index,
                                         int sectionCnt, double from, double to, const SectionTicks& ticks)
{
    const int first = GetStartPix(index);
    const int stop = GetStopPix(index);
    // The arrow buttons sit at the two ends of the axis, so the legends keep clear of them.
    const bool buttonLeft = m_bDrawButtons && index == 0;
    const bool buttonRight = m_bDrawButtons && index == sectionCnt - 1;
    const int leftMargin = buttonLeft ? ciButtonMargin : ciPlainMargin;
    const int rightMargin = buttonRight ? ciButtonMargin : ciPlainMargin;
    const bool showTexts = windowType == ciXAxisWindow && legend;

    painter.setPen(m_TextPen);
    m_LegendFont = LegendFont(m_LabelFont);
    painter.setFont(m_LegendFont);

    const QString startText = ValueText(from + m_dCenterValue, true);
    const QRect startRect = Measure(painter, startText, Qt::AlignLeft);
    const int startWidth = TextWidth(startRect);
    m_iLabelHeight = startRect.bottom() - startRect.top() + 1;
    if (startWidth < stop - first) {
        if (showTexts)
            painter.drawText(first + leftMargin, m_iLabelHeight, startText);
        m_vTicks.push_back({true, startText, first + leftMargin, -1});
    }
    if (m_sStartString.isEmpty())
        m_sStartString = startText;
    const int leftLimit = first + leftMargin + startWidth + ciLegendGap;

    const QString stopText = ValueText(to + m_dCenterValue, false);
    const int stopWidth = TextWidth(Measure(painter, stopText, Qt::AlignLeft));
    if (stop - stopWidth > leftLimit) {
        const int x = stop - rightMargin - stopWidth;
        if (showTexts)
            painter.drawText(x, m_iLabelHeight, stopText);
        m_sStopString = stopText;
        m_vTicks.push_back({true, stopText, x, -1});
    }
    const int rightLimit = stop - rightMargin - stopWidth - ciLegendGap;

    painter.setFont(m_LabelFont);
    if (ticks.iSubDivisions <= 0 || !(GetPixSection(index).GetWidth() > ciMinLabelledWidth) || ticks.iCount <= 0)
        return;
    double value = ticks.dStart;
    for (int i = 0; i < ticks.iCount; ++i, value += ticks.dStep) {
        const QString text = ValueText(value, false);
        const QRect rect = Measure(painter, text, Qt::AlignHCenter | Qt::AlignVCenter);
        const int half = TextWidth(rect) / 2 + 1;
        bool inRange = false;
        const int x = ValueToPixel(value + m_dCenterValue, &inRange, false);
        const int labelX = x - half;
        if (labelX > leftLimit && x + half < rightLimit) {
            if (showTexts)
                painter.drawText(labelX, m_iLabelHeight, text);
            m_vTicks.push_back({false, text, labelX, x});
        } else {
            m_vTicks.push_back({false, QString(), labelX, x});
        }
        if (grid) {
            painter.setPen(m_GridPen);
            painter.drawLine(x, 0, x, 3);
            painter.setPen(m_TextPen);
        }
    }
}

void axisDefinition::DrawVerticalTicks(GLPainter& painter, GLCommonWidget* widget, bool legend, bool grid,
                                       SectionTicks ticks)
{
    painter.setFont(m_LabelFont);
    const QRect probe = Measure(painter, QStringLiteral("tst"), Qt::AlignLeft);
    const int textHeight = probe.bottom() - probe.top();
    // Too many labels for the height: show every second one.
    if ((textHeight + 4) * ticks.iCount > widget->height()) {
        ticks.iCount /= 2;
        ticks.dStep *= 2;
    }
    double value = ticks.dStart;
    for (int i = 0; i < ticks.iCount; ++i, value += ticks.dStep) {
        bool inRange = false;
        const int y = ValueToPixel(value + m_dCenterValue, &inRange, true);
        const QString text = ValueText(value, false);
        if (inRange) {
            painter.setPen(m_TextPen);
            const QRect rect = Measure(painter, text, Qt::AlignHCenter | Qt::AlignVCenter);
            // Right-aligned so that every label ends at s_YAxisLeftAlign.
            const int labelX = std::max(0, s_YAxisLeftAlign - 1 - (rect.right() - rect.left()));
            if (legend)
                painter.drawText(labelX, y, text);
            m_vTicks.push_back({false, text, labelX, y});
        }
        if (grid) {
            painter.setPen(m_GridPen);
            painter.drawLine(0, y, widget->width(), y);
        }
    }
}

// A redraw shows the same lines as the first draw of that panel kind: a vertical axis draws its
// horizontal grid lines only with the grid flag, also in window type 2.
void axisDefinition::drawFromGrid(GLPainter& painter, GLCommonWidget* widget, int windowType, bool legend,
                                  bool grid)
{
    if (!widget)
        return;
    int length = widget->height();
    if (windowType == ciXAxisWindow) {
        length = 3;
        m_GridPen = m_TextPen;
    }
    if (!m_bXType)
        length = widget->width();
    const bool texts = (windowType == ciXAxisWindow || !m_bXType) && legend;
    for (const AxisTick& tick : m_vTicks) {
        if (texts) {
            painter.setFont(tick.m_bLegend ? m_LegendFont : m_LabelFont);
            painter.setPen(m_TextPen);
            painter.drawText(tick.m_iLabelPos, m_bXType ? m_iLabelHeight : tick.m_iPixel, tick.m_sText);
        }
        if (tick.m_bLegend)
            continue; // legend records mark no pixel
        if (m_bXType && (grid || windowType == ciXAxisWindow)) {
            painter.setPen(m_GridPen);
            painter.drawLine(tick.m_iPixel, 0, tick.m_iPixel, length);
        } else if (!m_bXType && grid) {
            painter.setPen(m_GridPen);
            painter.drawLine(0, tick.m_iPixel, length, tick.m_iPixel);
        }
    }
    if (!grid)
        return;
    // One pixel outside the marks of the first draw, with whatever pen is current.
    for (const auto& mark : m_vSkipMarks) {
        painter.drawLine(mark.first - 1, 0, mark.first - 1, widget->height() - 1);
        painter.drawLine(mark.second + 1, 0, mark.second + 1, widget->height() - 1);
    }
}

void axisDefinition::Label(GLPainter& painter, GLCommonWidget* widget, int pos, double value, const QColor& color)
{
    if (!widget)
        return;
    const QString text = m_pStringFormatter ? m_pStringFormatter->FormatValue(value)
                                            : QString("%1").arg(value, 0, 'f', -1, QChar(' '));
    const int half = TextWidth(Measure(painter, text, Qt::AlignLeft)) / 2 + 3;
    const int bottom = widget->height() - 1;
    painter.setHGradientBrush(color.lighter(150), color);
    QPolygon outline;
    outline << QPoint(pos, 1) << QPoint(pos - half, 5) << QPoint(pos - half, bottom) << QPoint(pos + half, bottom)
            << QPoint(pos + half, 5);
    painter.drawPolygon(outline, Qt::OddEvenFill);
    painter.drawText(pos - half + 2, m_iLabelHeight, text);
}

void axisDefinition::VisualizeAction(GLPainter& painter, GLCommonWidget* widget, int windowType)
{
    if (!widget)
        return;
    if (windowType == ciXAxisWindow && m_bDrawButtons)
        DrawButtons(painter, widget);
    DrawActionFeedback(painter, widget);
}

// An active button is drawn solid, an inactive one striped.
void axisDefinition::DrawButtons(GLPainter& painter, GLCommonWidget* widget)
{
    painter.setPen(GLFrameWidget::getColorHandler() ? QPen(HandlerColor(ciAxisPanelText)) : QPen());
    const int mid = widget->height() / 2;
    const int stepLeft = m_eActionMode == AxisMouseLeftButton ? 1 : 2;
    const int stepRight = m_eActionMode == AxisMouseRightButton ? 1 : 2;
    painter.drawLine(5, mid, 11, mid);
    for (int x = 5 + stepLeft; x - 5 < 6; x += stepLeft) {
        painter.drawLine(x, mid + (x - 5), 11, mid + (x - 5));
        painter.drawLine(x, mid - (x - 5), 11, mid - (x - 5));
    }
    const int r = widget->width() - 6;
    painter.drawLine(r, mid, r - 6, mid);
    for (int d = stepRight; d < 6; d += stepRight) {
        painter.drawLine(r - d, mid + d, r - 6, mid + d);
        painter.drawLine(r - d, mid - d, r - 6, mid - d);
    }
}

void axisDefinition::DrawActionFeedback(GLPainter& painter, GLCommonWidget* widget)
{
    if (m_eActionMode != AxisMouseZoom && m_eActionMode != AxisMouseMove)
        return;
    painter.setPen(Qt::white);
    const int from = m_iActionFrom;
    const int to = m_iActionTo;
    const int w = widget->width();
    const int h = widget->height();
    if (m_bXType && m_eActionMode == AxisMouseZoom) {
        const int lo = std::min(from, to);
        const int hi = std::max(from, to);
        painter.drawLine(from, 0, from, h);
        painter.drawLine(to, 0, to, h);
        painter.drawLine(lo, 0, lo + 3, 0);
        painter.drawLine(lo, h - 1, lo + 3, h - 1);
        painter.drawLine(hi, 0, hi - 3, 0);
        painter.drawLine(hi, h - 1, hi - 3, h - 1);
    } else if (m_bXType) {
        const int mid = h / 2;
        const int q = h / 4;
        painter.drawLine(from, q, from, h - q);
        painter.drawLine(to, mid, from, mid);
        if (std::abs(from - to) > mid + 1) {
            const int head = from >= to ? q : -q;
            painter.drawLine(to, mid, to + head, q);
            painter.drawLine(to, mid, to + head, h - q);
        }
    } else if (m_eActionMode == AxisMouseZoom) {
        // Serifs point from each line toward the other one.
        const int towardTo = to >= from ? 4 : -4;
        painter.drawLine(0, from, w, from);
        painter.drawLine(0, to, w, to);
        painter.drawLine(0, from, 0, from + towardTo);
        painter.drawLine(w - 1, from, w - 1, from + towardTo);
        painter.drawLine(0, to, 0, to - towardTo);
        painter.drawLine(w - 1, to, w - 1, to - towardTo);
    } else {
        painter.drawLine(10, from, 10, to);
        painter.drawLine(5, from, 15, from);
        if (std::abs(from - to) >= 7) {
            const int head = from < to ? -5 : 5;
            painter.drawLine(10, to, 5, to + head);
            painter.drawLine(10, to, 15, to + head);
        }
    }
}
