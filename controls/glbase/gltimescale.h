#ifndef GLTIMESCALE_H
#define GLTIMESCALE_H

#include "glbase_export.h"
#include "igldrawobject.h"

#include <QString>
#include <QtGlobal>
#include <vector>

class GLFrameWidget;

/// A wall-clock time scale for a line image (a waterfall): labels at round times, on the rows where
/// the image draws the lines of those times, so that they move down with the history. Registered on
/// the plot panel that draws the image it draws dotted grid lines across it; registered on the axis
/// panel beside it (GLCommonWidget::eYAxisWindow) it draws ticks and labels right-aligned to that
/// panel's right edge. Rows follow the panel's height as the image's do, so both panels must be
/// equally high. Colours come from the colour handler as the axes' do: 121 grid lines, 131 labels
/// and ticks, opaque black without a handler.
///
/// Time stamps count 1 / stampsPerSecond seconds from epochMs (milliseconds since 1970-01-01 UTC):
/// lines stamped in microseconds since the application started take 1e6 and the start time.
class GLBASE_EXPORT GLTimeScale : public IGLDrawObject
{
public:
    /// A label.
    struct Tick
    {
        qint64 iMs = 0;    ///< its time, in ms since the epoch
        double dRow = 0.0; ///< the row of the centre of its line
        QString sText;     ///< the text shown
    };

    /// A scale for the line image lineImage (-1: none yet) of the surface it is drawn on.
    explicit GLTimeScale(int lineImage = -1, double stampsPerSecond = 1000.0, qint64 epochMs = 0);

    /// The line image to follow; an invalid id shows no labels.
    void SetLineImage(int id);
    /// The line image followed.
    int LineImage() const { return m_iLineImage; }
    /// A rate that is not a positive number is ignored.
    void SetTimeBase(double stampsPerSecond, qint64 epochMs);
    /// Labels in local time (the default) or in UTC.
    void SetUtc(bool utc);
    /// Least distance between two labels in pixels (40 by default; values below 1 count as 1).
    void SetLabelSpacing(int pixels);
    /// Hides or shows the scale.
    void setVisible(bool visible);

    /// Wall-clock time of a stamp, in ms since the epoch (rounded down).
    qint64 StampToMs(unsigned long long stamp) const;
    /// The stamp of a wall-clock time, fractional.
    double MsToStamp(qint64 ms) const;
    /// The time as a label for a scale of that step: "yyyy-MM-dd" for steps of a day or more,
    /// "hh:mm" for minutes, "hh:mm:ss" for seconds, and one to three decimals of the second below.
    QString FormatTime(qint64 ms, qint64 stepMs) const;
    /// The labels of the kept lines, newest first, as a panel viewHeight high shows them; empty
    /// without a line image, with fewer than two lines or when all lines share one millisecond.
    std::vector<Tick> Ticks(GLFrameWidget& surface, int viewHeight) const;
    /// The least round step (1, 2, 5 ms ... 1 s, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3,
    /// 6, 12 h, then whole days) at which labels lie spacing pixels apart; 0 for a scale that is not
    /// a positive number.
    static qint64 RoundStep(double pixelsPerMs, int spacing);

    bool visible() const override { return m_bVisible; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }

private:
    double IndexOfStamp(GLFrameWidget& surface, double stamp, bool& found) const;
    qint64 ZoneOffsetMs(qint64 ms) const;

    int m_iLineImage;
    double m_dStampsPerSecond;
    qint64 m_iEpochMs;
    bool m_bUtc = false;
    bool m_bVisible = true;
    int m_iLabelSpacing = 40;
    QString m_sName = QStringLiteral("time scale");
};

#endif
