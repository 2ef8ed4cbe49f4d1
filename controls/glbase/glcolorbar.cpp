#include "glcolorbar.h"

#include "axisdefinition.h"
#include "glcommonwidget.h"
#include "gldrawcolors_p.h"
#include "glframewidget.h"
#include "glpainter.h"

#include <QRect>
#include <algorithm>
#include <cmath>

namespace
{
const int ciLabelGap = 3;
const QColor cBacking(0, 0, 0, 160);
} // namespace

GLColorBar::GLColorBar()
{
    for (unsigned int i = 0; i < 256; ++i)
        m_vTable.push_back(i * 0x010101u);
}

void GLColorBar::SetColorTable(const QVector<unsigned int>& rgb)
{
    m_vTable.fill(0u, 256);
    for (int i = 0; i < std::min(256, int(rgb.size())); ++i)
        m_vTable[i] = rgb[i] & 0xFFFFFFu;
    m_BarImage = QImage();
}

void GLColorBar::SetScale(double min, double max, int firstEntry, int lastEntry)
{
    firstEntry = std::clamp(firstEntry, 0, 255);
    lastEntry = std::clamp(lastEntry, 0, 255);
    if (!(min < max) || !std::isfinite(min) || !std::isfinite(max) || firstEntry >= lastEntry)
        return;
    m_dMin = min;
    m_dMax = max;
    m_iFirstEntry = firstEntry;
    m_iLastEntry = lastEntry;
    m_BarImage = QImage();
}

void GLColorBar::SetUnit(const QString& unit) { m_sUnit = unit; }

void GLColorBar::SetTopMargin(int pixels) { m_iTopMargin = std::max(0, pixels); }

void GLColorBar::setVisible(bool visible) { m_bVisible = visible; }

QRect GLColorBar::BarRect(int width, int height) const
{
    const QRect bar(width - ciMargin - ciBarWidth, m_iTopMargin, ciBarWidth, height - m_iTopMargin - ciMargin);
    return bar.left() >= 0 && bar.height() >= 2 ? bar : QRect();
}

int GLColorBar::EntryOf(double value) const
{
    const double f = std::clamp((value - m_dMin) / (m_dMax - m_dMin), 0.0, 1.0);
    return m_iFirstEntry + int(std::lround(f * (m_iLastEntry - m_iFirstEntry)));
}

QRgb GLColorBar::ColorOf(double value) const { return 0xFF000000u | m_vTable[EntryOf(value)]; }

// The top row shows the maximum and the bottom row the minimum, so both end entries are seen.
const QImage& GLColorBar::BarImage(int height)
{
    if (m_BarImage.height() != height) {
        m_BarImage = QImage(4, height, QImage::Format_ARGB32);
        for (int r = 0; r < height; ++r) {
            const QRgb colour = ColorOf(m_dMax - double(r) / std::max(1, height - 1) * (m_dMax - m_dMin));
            std::fill_n(reinterpret_cast<QRgb*>(m_BarImage.scanLine(r)), 4, colour);
        }
    }
    return m_BarImage;
}

std::vector<GLColorBar::Label> GLColorBar::Labels(const QRect& bar, int textHeight) const
{
    std::vector<Label> labels;
    double min = m_dMin, max = m_dMax, start = 0, step = 0, offset = 0;
    int subDivisions = 0, mode = 0, decimals = 0;
    int count = axisDefinition::GetAxisValuesLinear(&min, &max, &subDivisions, &mode, &decimals, &start, &step,
                                                    &offset, 0, 1.0, 0);
    // Too many labels for the height: keep every second one, as a vertical axis does.
    while (count > 1 && (textHeight + 4) * count > bar.height()) {
        count = (count + 1) / 2;
        step *= 2;
    }
    for (int i = 0; i < count; ++i) {
        const double value = start + i * step;
        if (value < m_dMin - step * 1e-9 || value > m_dMax + step * 1e-9)
            continue;
        const double f = (value - m_dMin) / (m_dMax - m_dMin);
        const int row = bar.top() + int(std::lround((1.0 - f) * (bar.height() - 1)));
        labels.push_back({value, row, QString::number(value, 'f', std::max(0, decimals))});
    }
    return labels;
}

void GLColorBar::draw(GLPainter& painter, GLCommonWidget* widget, int)
{
    const QRect bar = widget ? BarRect(widget->width(), widget->height()) : QRect();
    if (!m_bVisible || bar.isEmpty())
        return;
    painter.save();
    const QRect probe = painter.boundingRect(QRect(), Qt::AlignLeft, QStringLiteral("0"));
    const std::vector<Label> labels = Labels(bar, probe.height());
    int labelWidth = painter.boundingRect(QRect(), Qt::AlignLeft, m_sUnit).width();
    for (const Label& label : labels)
        labelWidth = std::max(labelWidth, painter.boundingRect(QRect(), Qt::AlignLeft, label.sText).width());
    const int textRight = bar.left() - ciLabelGap;
    const QRect backing(QPoint(textRight - labelWidth - ciLabelGap, bar.top() - probe.height() - ciLabelGap),
                        QPoint(bar.right() + ciLabelGap, bar.bottom() + ciLabelGap));
    painter.fillRect(backing, QBrush(cBacking));
    painter.drawImage(bar, BarImage(bar.height()));
    painter.setPen(QPen(GLDrawColors::HandlerColor(GLDrawColors::ciText)));
    for (const Label& label : labels) {
        painter.drawLine(bar.left() - 2, label.iRow, bar.left(), label.iRow);
        const QRect box(textRight - labelWidth, label.iRow - probe.height() / 2, labelWidth - 1, probe.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, label.sText);
    }
    painter.drawText(QRect(backing.left(), bar.top() - probe.height() - 1, backing.width(), probe.height()),
                     Qt::AlignHCenter | Qt::AlignVCenter, m_sUnit);
    painter.restore();
}
