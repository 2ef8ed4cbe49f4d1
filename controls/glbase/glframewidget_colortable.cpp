#include "glframewidget.h"

namespace {

// Bytes R, G, B, 255 in memory on a little-endian machine.
quint32 Entry(int red, int green, int blue)
{
    return 0xFF000000u | (static_cast<quint32>(blue & 0xFF) << 16) | (static_cast<quint32>(green & 0xFF) << 8) |
           static_cast<quint32>(red & 0xFF);
}

} // namespace

GLFrameWidget::GLColorTable::GLColorTable()
{
    for (size_t i = 0; i < size(); ++i)
        (*this)[i] = 0xFF000000u + static_cast<quint32>(i) * 0x010101u;
}

void GLFrameWidget::GLColorTable::Set(const QVector<unsigned int>& rgb)
{
    for (size_t i = 0; i < size(); ++i) {
        const QRgb v = i < static_cast<size_t>(rgb.size()) ? rgb[static_cast<int>(i)] : 0;
        (*this)[i] = Entry(qRed(v), qGreen(v), qBlue(v));
    }
}

void GLFrameWidget::GLColorTable::Set(const std::vector<QColor>& colors)
{
    for (size_t i = 0; i < size(); ++i) {
        const QColor c = i < colors.size() ? colors[i] : QColor(Qt::black);
        (*this)[i] = Entry(c.red(), c.green(), c.blue());
    }
}
