#ifndef GLCOLORBAR_H
#define GLCOLORBAR_H

#include "glbase_export.h"
#include "igldrawobject.h"

#include <QImage>
#include <QString>
#include <QVector>
#include <vector>

class QRect;

/// The level scale of a 256-entry colour table, such as an aged or a line image uses: a bar along
/// the right edge of the panel it is registered on, the table's first entry at the bottom and its
/// last at the top, with labels at round values to its left and the unit above, over a dark
/// backing so that they read over any picture. Colours of the labels come from the colour handler
/// (131 texts, opaque black without a handler).
class GLBASE_EXPORT GLColorBar : public IGLDrawObject
{
public:
    /// A label.
    struct Label
    {
        double dValue = 0.0; ///< the value it names
        int iRow = 0;        ///< the row of the bar that shows that value
        QString sText;       ///< the text shown
    };
    static const int ciBarWidth = 10; ///< width of the bar in pixels
    static const int ciMargin = 4;    ///< pixels between the bar and the panel's right and bottom edges

    /// A grey table from 0 to 1 until set otherwise.
    GLColorBar();
    /// Entry i from element i with alpha forced opaque, opaque black beyond the vector, as image
    /// tables are read.
    void SetColorTable(const QVector<unsigned int>& rgb);
    /// The value of entry firstEntry is min and that of lastEntry is max; entries are clamped to
    /// 0..255, and a range that is empty, reversed or not finite is ignored.
    void SetScale(double min, double max, int firstEntry = 0, int lastEntry = 255);
    /// The unit, shown above the bar.
    void SetUnit(const QString& unit);
    /// Rows left free above the bar, for a panel title (20 by default).
    void SetTopMargin(int pixels);
    /// Hides or shows the bar.
    void setVisible(bool visible);

    /// Where the bar lies in a panel of that size; empty when the panel is too small for it.
    QRect BarRect(int width, int height) const;
    /// The colour shown for a value: the entry nearest to it, values outside the scale clamped.
    QRgb ColorOf(double value) const;
    /// Labels at round values for a bar of that rectangle, lowest first, at least a text height and 4 pixels apart.
    std::vector<Label> Labels(const QRect& bar, int textHeight) const;

    bool visible() const override { return m_bVisible; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }

private:
    int EntryOf(double value) const;
    const QImage& BarImage(int height);

    QVector<unsigned int> m_vTable;
    double m_dMin = 0.0, m_dMax = 1.0;
    int m_iFirstEntry = 0, m_iLastEntry = 255;
    int m_iTopMargin = 20;
    bool m_bVisible = true;
    QString m_sUnit;
    QString m_sName = QStringLiteral("colour bar");
    QImage m_BarImage; // one row per pixel of the bar, rebuilt when the height or the scale changes
};

#endif
