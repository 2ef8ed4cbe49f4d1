#include "gltimescale.h"

#include "glcommonwidget.h"
#include "gldrawcolors_p.h"
#include "glframewidget.h"
#include "glpainter.h"

#include <QDateTime>
#include <cmath>

namespace
{
using namespace GLDrawColors;
const int ciTickLength = 4;
const qint64 ciDayMs = 86400000;

qint64 FloorToStep(qint64 ms, qint64 step)
{
    const qint64 q = ms / step;
    return (ms % step < 0 ? q - 1 : q) * step;
}
} // namespace

GLTimeScale::GLTimeScale(int lineImage, double stampsPerSecond, qint64 epochMs)
    : m_iLineImage(lineImage), m_dStampsPerSecond(1000.0), m_iEpochMs(0)
{
    SetTimeBase(stampsPerSecond, epochMs);
}

void GLTimeScale::SetLineImage(int id) { m_iLineImage = id; }

void GLTimeScale::SetTimeBase(double stampsPerSecond, qint64 epochMs)
{
    if (!(stampsPerSecond > 0.0) || !std::isfinite(stampsPerSecond))
        return;
    m_dStampsPerSecond = stampsPerSecond;
    m_iEpochMs = epochMs;
}

void GLTimeScale::SetUtc(bool utc) { m_bUtc = utc; }

void GLTimeScale::SetLabelSpacing(int pixels) { m_iLabelSpacing = std::max(1, pixels); }

void GLTimeScale::setVisible(bool visible) { m_bVisible = visible; }

qint64 GLTimeScale::StampToMs(unsigned long long stamp) const
{
    return m_iEpochMs + qint64(std::floor(double(stamp) * 1000.0 / m_dStampsPerSecond));
}

double GLTimeScale::MsToStamp(qint64 ms) const { return double(ms - m_iEpochMs) * m_dStampsPerSecond / 1000.0; }

qint64 GLTimeScale::ZoneOffsetMs(qint64 ms) const
{
    return m_bUtc ? 0 : qint64(QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc()) * 1000;
}

QString GLTimeScale::FormatTime(qint64 ms, qint64 stepMs) const
{
    const QDateTime time = m_bUtc ? QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC) : QDateTime::fromMSecsSinceEpoch(ms);
    if (stepMs >= ciDayMs)
        return time.toString(QStringLiteral("yyyy-MM-dd"));
    if (stepMs >= 60000)
        return time.toString(QStringLiteral("hh:mm"));
    QString text = time.toString(QStringLiteral("hh:mm:ss"));
    if (stepMs >= 1000)
        return text;
    const int decimals = stepMs >= 100 ? 1 : stepMs >= 10 ? 2 : 3;
    const int fraction = int(((ms % 1000) + 1000) % 1000);
    return text + QStringLiteral(".%1").arg(fraction / (decimals == 1 ? 100 : decimals == 2 ? 10 : 1), decimals, 10,
                                            QChar('0'));
}

qint64 GLTimeScale::RoundStep(double pixelsPerMs, int spacing)
{
    if (!(pixelsPerMs > 0.0) || !std::isfinite(pixelsPerMs))
        return 0;
    static const qint64 steps[] = {1,       2,       5,       10,       20,       50,       100,      200,
                                   500,     1000,    2000,    5000,     10000,    15000,    30000,    60000,
                                   120000,  300000,  600000,  900000,   1800000,  3600000,  7200000,  10800000,
                                   21600000, 43200000, ciDayMs};
    for (qint64 step : steps)
        if (double(step) * pixelsPerMs >= spacing)
            return step;
    return qint64(std::ceil(spacing / (pixelsPerMs * double(ciDayMs)))) * ciDayMs;
}

// The fractional index of a stamp between the two kept lines that bracket it (0 = newest).
double GLTimeScale::IndexOfStamp(GLFrameWidget& surface, double stamp, bool& found) const
{
    const int nearest = surface.GetLineImageLine(m_iLineImage, (unsigned long long)std::llround(stamp), found);
    if (!found)
        return 0.0;
    const double at = double(surface.GetLineImageTimeStamp(m_iLineImage, nearest));
    const int neighbour = stamp <= at ? nearest + 1 : nearest - 1;
    const double other = double(surface.GetLineImageTimeStamp(m_iLineImage, neighbour));
    if (neighbour < 0 || other == at)
        return nearest;
    return nearest + (neighbour - nearest) * (at - stamp) / (at - other);
}

std::vector<GLTimeScale::Tick> GLTimeScale::Ticks(GLFrameWidget& surface, int viewHeight) const
{
    std::vector<Tick> ticks;
    const auto [oldest, newest] = surface.GetLineImageAvailableTimeRange(m_iLineImage);
    bool found = false;
    const int last = surface.GetLineImageLine(m_iLineImage, oldest, found);
    const double newestRow = surface.GetLineImageRow(m_iLineImage, 0.5, viewHeight);
    const double oldestRow = surface.GetLineImageRow(m_iLineImage, last + 0.5, viewHeight);
    const qint64 newestMs = StampToMs(newest), oldestMs = StampToMs(oldest);
    if (!found || last < 1 || newestRow < 0 || newestMs <= oldestMs)
        return ticks;
    const qint64 step = RoundStep((oldestRow - newestRow) / double(newestMs - oldestMs), m_iLabelSpacing);
    if (step == 0)
        return ticks;
    // Round in the shown zone, so that hours and days start where the reader's clock says.
    const qint64 offset = ZoneOffsetMs(newestMs);
    for (qint64 ms = FloorToStep(newestMs + offset, step) - offset; ms >= oldestMs; ms -= step) {
        bool inside = false;
        const double index = IndexOfStamp(surface, MsToStamp(ms), inside);
        if (inside)
            ticks.push_back({ms, surface.GetLineImageRow(m_iLineImage, index + 0.5, viewHeight), FormatTime(ms, step)});
    }
    return ticks;
}

void GLTimeScale::draw(GLPainter& painter, GLCommonWidget* widget, int windowType)
{
    GLFrameWidget* surface = widget ? widget->GetFrameWidget() : nullptr;
    if (!m_bVisible || !surface)
        return;
    const std::vector<Tick> ticks = Ticks(*surface, widget->height());
    painter.save();
    if (windowType == GLCommonWidget::eYAxisWindow) {
        painter.setPen(QPen(HandlerColor(ciText)));
        const int right = widget->width();
        const QRect probe = painter.boundingRect(QRect(), Qt::AlignLeft, QStringLiteral("0:"));
        for (const Tick& tick : ticks) {
            const int y = int(std::floor(tick.dRow));
            painter.drawLine(right - ciTickLength, y, right, y);
            // A label cut by the panel's edge would be misread, so it waits until it fits.
            const QRect box(0, y - probe.height() / 2, right - ciTickLength - 2, probe.height());
            if (box.top() >= 0 && box.bottom() < widget->height())
                painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, tick.sText);
        }
    } else {
        painter.setPen(QPen(HandlerColor(ciGrid), 1, Qt::DotLine));
        for (const Tick& tick : ticks)
            painter.drawLine(0, int(std::floor(tick.dRow)), widget->width(), int(std::floor(tick.dRow)));
    }
    painter.restore();
}
