// Time scales of line images and colour bars, drawn into a panel that fills its layout and read
// back. The local-time case runs again under a zone half an hour off the hour (ctest sets TZ).
#include "glcolorbar.h"
#include "gltimescale.h"
#include "support/panel_fixture.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <cmath>

namespace
{
const QRgb ciMark = 0xFFFFFFFF; // lines whose time is a multiple of the expected step
const qint64 ciNoonMs = 1767268800000; // 2026-01-01 12:00:00 UTC
using CW = GLCommonWidget;

// Lines every periodMs from noon, white where their time is a multiple of markMs; each paint adds
// lines until iWanted are stored.
struct Waterfall
{
    qint64 iPeriodMs, iMarkMs;
    int iBuffer, iTopLines = 0; // the lines' band starts iTopLines line heights below the top
    int iLines = 0, iWanted = 0, iId = -1;

    void Paint(GLFrameWidget& surface)
    {
        if (iId < 0) {
            iId = surface.CreateLineImage();
            surface.SetLineImageBufferHeight(iId, iBuffer);
            surface.SetLineImageColorTable(iId, {0xFF000000u, ciMark});
            surface.SetLineImageXAxis(iId, 0, 1, 8);
            surface.SetLineImageDestXAxis(iId, 0, 1, 80);
            surface.SetLineImageYAxis(iId, 0, iBuffer + iTopLines);
            surface.SetLineImageDestYAxis(iId, 0, iBuffer);
        }
        for (; iLines < iWanted; ++iLines) {
            const qint64 ms = ciNoonMs + iLines * iPeriodMs;
            const std::vector<unsigned char> line(8, ms % iMarkMs == 0 ? 1 : 0);
            surface.SetLineImageData(iId, (unsigned long long)(ms - ciNoonMs + 1), line.data(), 8);
        }
        surface.DrawLineImage(iId);
    }
};

TEST(TimeScale, LabelsSitOnTheLinesOfTheirRoundTimesFollowTheHistoryAndRoundInTheLocalZone)
{
    struct Case { const char* what; qint64 iPeriodMs, iStepMs; int iLines, iRowsPerLine, iTopLines; const char* top; };
    // Labels at least 40 pixels apart: the least round step that many rows hold.
    const Case cases[] = {
        {"a line a second, 2 rows each: 30 s", 1000, 30000, 100, 2, 0, "12:01:30"},
        {"10 lines a second: 0.2 s with a decimal", 10, 200, 100, 2, 0, "12:00:00.8"},
        {"a line a minute: hours", 60000, 3600000, 240, 1, 0, "15:00"},
        {"a line every 5 s, below a free band: minutes", 5000, 300000, 150, 1, 20, "12:10"},
        {"lines off the round times: labels between them", 700, 10000, 100, 4, 5, "12:01:00"}};
    AxisColors colors;
    for (const Case& c : cases)
        for (auto type : {CW::ePlotWindow, CW::eYAxisWindow}) {
            SCOPED_TRACE(testing::Message() << c.what << ", window type " << type);
            const int height = (c.iLines + c.iTopLines) * c.iRowsPerLine;
            Waterfall lines{c.iPeriodMs, c.iStepMs, c.iLines, c.iTopLines};
            SinglePanel p(80, height, type);
            auto scale = std::make_shared<GLTimeScale>(-1, 1000.0, ciNoonMs - 1);
            scale->SetUtc(true);
            p.Paint([&](GLPainter&, CW* w, int) {
                lines.Paint(*w->GetFrameWidget());
                scale->SetLineImage(lines.iId);
            });
            p.panel.addPaintObject(scale, CW::eZOrderMarker);
            // Fewer lines, then all of them: the labels move down with the history.
            for (int wanted : {c.iLines * 2 / 3, c.iLines}) {
                lines.iWanted = wanted;
                const QImage img = p.Render();
                const std::vector<GLTimeScale::Tick> ticks = scale->Ticks(*p.panel.GetFrameWidget(), height);
                ASSERT_GE(ticks.size(), 2u) << "lines " << wanted;
                if (wanted == c.iLines)
                    EXPECT_EQ(ticks.front().sText.toStdString(), c.top);
                for (size_t i = 0; i < ticks.size(); ++i) {
                    const GLTimeScale::Tick& tick = ticks[i];
                    const int y = int(tick.dRow);
                    const std::string text = tick.sText.toStdString();
                    EXPECT_TRUE(tick.iMs % c.iStepMs == 0 && (i == 0 || ticks[i - 1].iMs - tick.iMs == c.iStepMs))
                        << text;
                    // Lines are evenly spaced in time, so a time's row follows from the newest line's.
                    const double age = double(ciNoonMs + (wanted - 1) * c.iPeriodMs - tick.iMs) / c.iPeriodMs;
                    EXPECT_NEAR(tick.dRow, (c.iTopLines + age + 0.5) * c.iRowsPerLine, 1e-6) << text;
                    if (type == CW::ePlotWindow && c.iStepMs % c.iPeriodMs == 0) {
                        // A dotted grid line over the marked line: no pixel of another line shows.
                        const int grid = CountPixels(img, QRect(0, y, 80, 1), AxisColors::Grid);
                        const int mark = CountPixels(img, QRect(0, y, 80, 1), ciMark);
                        EXPECT_TRUE(grid >= 20 && mark >= 20 && grid + mark == 80)
                            << text << " at row " << y << ": grid " << grid << ", mark " << mark;
                    } else if (type == CW::eYAxisWindow)
                        EXPECT_EQ(img.pixel(79, y), AxisColors::Text) << "tick at the right edge, row " << y;
                }
            }
        }
    // The step is the least round one that spans 40 pixels; a time is written down to its step's last digit.
    const struct { double dPixelsPerMs; qint64 iStep; } steps[] = {
        {1.0, 50}, {0.04, 1000}, {0.003, 15000}, {0.0021, 30000}, {1e-6, 43200000}, {1e-7, 5 * 86400000LL},
        {0.0, 0},  {-1.0, 0},    {NAN, 0}};
    for (const auto& s : steps)
        EXPECT_EQ(GLTimeScale::RoundStep(s.dPixelsPerMs, 40), s.iStep) << s.dPixelsPerMs;
    GLTimeScale scale(-1, 1e6, ciNoonMs);
    scale.SetUtc(true);
    scale.SetTimeBase(0.0, 0); // ignored, as an infinite rate is: the microsecond base stays
    scale.SetTimeBase(INFINITY, 0);
    EXPECT_EQ(scale.StampToMs(1234567), ciNoonMs + 1234);
    EXPECT_DOUBLE_EQ(scale.MsToStamp(ciNoonMs + 1234), 1234000.0);
    const qint64 t = ciNoonMs + 3723456; // 13:02:03.456
    const struct { qint64 iStep; const char* text; } formats[] = {
        {86400000, "2026-01-01"}, {60000, "13:02"}, {1000, "13:02:03"}, {100, "13:02:03.4"}, {10, "13:02:03.45"},
        {1, "13:02:03.456"}};
    for (const auto& f : formats)
        EXPECT_EQ(scale.FormatTime(t, f.iStep).toStdString(), f.text);
    // No image, a single line and lines within one millisecond give no labels. Hours start where the reader's
    // clock says: under a zone half an hour off UTC they fall on :30 UTC.
    for (int wanted : {0, 1, 3, 240}) {
        SinglePanel p(40, 240, CW::ePlotWindow);
        Waterfall lines{wanted == 3 ? 0 : 60000, 60000, 240};
        lines.iWanted = wanted;
        if (wanted > 0)
            p.Paint([&](GLPainter&, CW* w, int) { lines.Paint(*w->GetFrameWidget()); });
        p.Render();
        const auto ticks = GLTimeScale(lines.iId, 1000.0, ciNoonMs - 1).Ticks(*p.panel.GetFrameWidget(), 240);
        EXPECT_EQ(ticks.empty(), wanted < 240) << wanted << " lines";
        for (const GLTimeScale::Tick& tick : ticks) {
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(tick.iMs);
            EXPECT_TRUE(local.time().minute() == 0 && tick.sText == local.toString("hh:mm"))
                << tick.sText.toStdString() << " at " << local.toString(Qt::ISODate).toStdString();
        }
    }
}

TEST(ColorBar, ShowsEachLabelledLevelInItsEntrysColour)
{
    QVector<unsigned int> table;
    for (unsigned int i = 0; i < 256; ++i)
        table.push_back(0xFF000000u | (i << 16) | ((255 - i) << 8));
    AxisColors colors;
    const struct { const char* what; double dMin, dMax; int iFirst, iLast, iHeight; } cases[] = {
        {"levels on entries 1 to 254", -120, 0, 1, 254, 220}, {"a short bar thins its labels", 0, 1, 0, 255, 90},
        {"decimals", 0.5, 0.75, 0, 255, 160}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SinglePanel p(120, c.iHeight, CW::ePlotWindow);
        auto bar = std::make_shared<GLColorBar>();
        bar->SetColorTable(table);
        bar->SetScale(c.dMin, c.dMax, c.iFirst, c.iLast);
        bar->SetScale(c.dMax, c.dMin, 0, 255); // ignored: reversed, no number, entries reversed
        bar->SetScale(NAN, c.dMax, 0, 255);
        bar->SetScale(c.dMin, c.dMax, 200, 100);
        bar->SetUnit("dB");
        p.panel.addPaintObject(bar, CW::eZOrderMarker);
        const QImage img = p.Render();
        const QRect rect = bar->BarRect(120, c.iHeight);
        const int x = rect.center().x();
        const auto entryColour = [&](double value) {
            return table[c.iFirst + int(std::lround((value - c.dMin) / (c.dMax - c.dMin) * (c.iLast - c.iFirst)))];
        };
        EXPECT_EQ(img.pixel(x, rect.top()), entryColour(c.dMax)) << "top row";
        EXPECT_EQ(img.pixel(x, rect.bottom()), entryColour(c.dMin)) << "bottom row";
        const int textHeight = QFontMetrics(QFont{}).height();
        const std::vector<GLColorBar::Label> labels = bar->Labels(rect, textHeight);
        ASSERT_GE(labels.size(), 2u);
        EXPECT_LE(int(labels.size()) * (textHeight + 4), rect.height()) << "labels apart";
        for (const GLColorBar::Label& label : labels) {
            const std::string text = label.sText.toStdString();
            EXPECT_TRUE(label.dValue >= c.dMin && label.dValue <= c.dMax && label.sText.toDouble() == label.dValue)
                << text;
            EXPECT_LE(std::abs(qRed(img.pixel(x, label.iRow)) - qRed(entryColour(label.dValue))), 2) << text;
            EXPECT_EQ(img.pixel(rect.left() - 1, label.iRow), AxisColors::Text) << "tick of " << text;
        }
    }
    for (int size : {12, 120}) { // a panel too small for the bar, or a hidden bar, draws nothing of it
        SinglePanel p(size, size, CW::ePlotWindow);
        auto bar = std::make_shared<GLColorBar>();
        bar->setVisible(size == 12);
        p.panel.addPaintObject(bar, CW::eZOrderMarker);
        EXPECT_EQ(CountLit(p.Render(), QRect(0, 0, size, size)), 0) << size;
    }
}

} // namespace
