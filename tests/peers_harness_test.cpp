// The shared scene data and frame loop of the comparison programs: all libraries must be fed
// the same data and measured the same way, or the comparison means nothing.
#include "scene_harness.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <tuple>

using namespace scenes;

namespace
{
bool Parse(std::vector<std::string> words, Args& args)
{
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    return ParseArgs(int(argv.size()), argv.data(), args);
}

QJsonObject CaptureReport(const Args& args, const FrameFunction& frame, int& rc)
{
    testing::internal::CaptureStdout();
    rc = RunAndReport("test", args, frame);
    const std::string out = testing::internal::GetCapturedStdout();
    return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
}
} // namespace

TEST(SceneArgs, AcceptsTheDriversArgumentsAndRejectsOthers)
{
    Args args;
    ASSERT_TRUE(Parse({"p", "--scene", "waterfall", "--size", "800x600", "--seconds", "0.5", "--mode", "opengl"}, args));
    EXPECT_EQ(args.scene, Scene::Waterfall);
    EXPECT_EQ(args.sceneName, "waterfall");
    EXPECT_EQ(args.width, 800);
    EXPECT_EQ(args.height, 600);
    EXPECT_DOUBLE_EQ(args.seconds, 0.5);
    EXPECT_EQ(args.mode, "opengl");
    Args counted;
    ASSERT_TRUE(Parse({"p", "--scene", "trace", "--size", "800x600", "--frames", "12"}, counted));
    EXPECT_EQ(counted.frames, 12);

    testing::internal::CaptureStderr(); // the usage text
    Args bad;
    EXPECT_FALSE(Parse({"p", "--scene", "bars", "--size", "800x600"}, bad));
    EXPECT_FALSE(Parse({"p", "--scene", "trace", "--size", "800"}, bad));
    EXPECT_FALSE(Parse({"p", "--scene", "trace", "--size", "10x10"}, bad));
    EXPECT_FALSE(Parse({"p", "--scene", "trace", "--size"}, bad));
    EXPECT_FALSE(Parse({"p", "--scene", "trace", "--colour", "red"}, bad));
    EXPECT_FALSE(Parse({"p", "--scene", "trace", "--seconds", "0"}, bad));
    EXPECT_FALSE(Parse({"p", "--scene", "trace", "--size", "800x600", "--frames", "0"}, bad));
    EXPECT_FALSE(Parse({"p"}, bad));
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
}

TEST(SceneData, ColourTableRunsThroughTheStops)
{
    const auto stops = ColorStops();
    const auto table = ColorTable();
    ASSERT_EQ(table.size(), 256u);
    EXPECT_EQ(table.front(), stops.front().color);
    EXPECT_EQ(table.back(), stops.back().color);
    // Every entry lies between the colours of the stops around it, channel by channel.
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        size_t s = 1;
        while (s + 1 < stops.size() && stops[s].position < t)
            ++s;
        const QColor a = stops[s - 1].color, b = stops[s].color, c = table[size_t(i)];
        for (auto [p, q, v] : {std::tuple{a.red(), b.red(), c.red()}, {a.green(), b.green(), c.green()},
                               {a.blue(), b.blue(), c.blue()}}) {
            EXPECT_GE(v, std::min(p, q)) << "entry " << i;
            EXPECT_LE(v, std::max(p, q)) << "entry " << i;
        }
    }
}

TEST(SceneData, TraceChangesEveryFrameWithinItsRange)
{
    TraceData trace(4096);
    trace.Update(0);
    const QVector<double> first = trace.y;
    trace.Update(1);
    EXPECT_NE(first, trace.y);
    for (double v : trace.y) {
        EXPECT_GE(v, cdTraceMin);
        EXPECT_LE(v, cdTraceMax);
    }
    EXPECT_EQ(trace.x.front(), 0);
    EXPECT_EQ(trace.x.back(), 4095);
}

TEST(SceneData, DensityGridJoinsThePointsAndFades)
{
    // Alternating extremes: every column must be lit from the top row to the bottom row.
    QVector<double> y(ciDensityColumns * 2);
    for (int i = 0; i < y.size(); ++i)
        y[i] = (i % 2) ? cdTraceMax : cdTraceMin;
    std::vector<unsigned char> hits;
    RasteriseTrace(y, hits);
    ASSERT_EQ(hits.size(), size_t(ciDensityColumns) * ciDensityRows);
    for (int column : {0, 1, ciDensityColumns / 2, ciDensityColumns - 1})
        for (int row = 0; row < ciDensityRows; ++row)
            ASSERT_EQ(hits[size_t(row) * ciDensityColumns + column], 255) << column << "," << row;

    // A flat trace at the maximum lights the top row only.
    RasteriseTrace(QVector<double>(4096, cdTraceMax), hits);
    EXPECT_EQ(hits[5], 255);
    EXPECT_EQ(hits[size_t(ciDensityColumns) + 5], 0);

    std::vector<double> density;
    FadeDensity(hits, density);
    EXPECT_DOUBLE_EQ(density[5], 1.0);
    std::vector<unsigned char> none(hits.size(), 0);
    FadeDensity(none, density);
    FadeDensity(none, density);
    EXPECT_DOUBLE_EQ(density[5], cdDensityKeep * cdDensityKeep);
    EXPECT_DOUBLE_EQ(density[size_t(ciDensityColumns) + 5], 0.0);
}

TEST(SceneData, WaterfallKeepsAFullHistoryNewestLast)
{
    WaterfallData lines;
    const unsigned char* made = lines.NewLine();
    const std::vector<unsigned char> newest(made, made + ciWaterfallColumns);
    const unsigned char* next = lines.NewLine();
    for (int c = 0; c < ciWaterfallColumns; c += 97) {
        EXPECT_EQ(lines.At(c, ciWaterfallLines - 1), next[c]);
        EXPECT_EQ(lines.At(c, ciWaterfallLines - 2), newest[size_t(c)]);
    }
    // The history starts full: the peaks show in the oldest row too.
    int peak = 0;
    for (int c = 0; c < ciWaterfallColumns; ++c)
        peak = std::max(peak, int(lines.At(c, 0)));
    EXPECT_GT(peak, 150);
}

TEST(FrameLoop, ReportsMeasuredFramesAndFailsOnABadFrame)
{
    Args args;
    args.scene = Scene::Trace;
    args.sceneName = "trace";
    args.width = 64;
    args.height = 48;
    args.seconds = 0.05;
    int calls = 0, rc = -1;
    const QJsonObject report = CaptureReport(args, [&](int frame, QImage& image) {
        EXPECT_EQ(frame, calls++);
        image = QImage(args.width, args.height, QImage::Format_RGB32);
        image.fill(Qt::green);
        return true;
    }, rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(report["library"].toString(), "test");
    EXPECT_EQ(report["scene"].toString(), "trace");
    EXPECT_EQ(report["frames"].toInt(), calls - 3); // warm-up frames are not counted
    EXPECT_GT(report["fps"].toDouble(), 0);
    EXPECT_GT(report["peak_mb"].toDouble(), 1);
    EXPECT_TRUE(report["lines_per_s"].isNull());

    args.scene = Scene::Waterfall;
    const QJsonObject waterfall = CaptureReport(args, [](int, QImage&) { return true; }, rc);
    EXPECT_DOUBLE_EQ(waterfall["lines_per_s"].toDouble(), waterfall["fps"].toDouble());

    testing::internal::CaptureStderr();
    const QJsonObject failed = CaptureReport(args, [](int frame, QImage&) { return frame < 5; }, rc);
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(failed.isEmpty());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("frame 5"), std::string::npos);
}

TEST(FrameLoop, SavedFramesShowTranslucentPixelsOverBlack)
{
    QImage frame(2, 1, QImage::Format_ARGB32_Premultiplied);
    frame.setPixel(0, 0, qRgba(128, 64, 0, 128)); // orange at half strength
    frame.setPixel(1, 0, qRgba(0, 0, 0, 0));
    const QImage saved = OverBlack(frame);
    EXPECT_EQ(saved.pixel(0, 0), qRgb(128, 64, 0)) << "not divided by its alpha";
    EXPECT_EQ(saved.pixel(1, 0), qRgb(0, 0, 0));
}
