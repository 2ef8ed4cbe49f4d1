// The shared frame loop of the comparison programs: all libraries must be measured the same way and
// their frames saved as a window shows them, or the comparison means nothing.
#include "scene_harness.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace scenes;

namespace
{
// Runs the frame loop and returns the JSON line it printed.
QJsonObject CaptureReport(const Args& args, const FrameFunction& frame, int& rc)
{
    testing::internal::CaptureStdout();
    rc = RunAndReport("test", args, frame);
    return QJsonDocument::fromJson(QByteArray::fromStdString(testing::internal::GetCapturedStdout())).object();
}
} // namespace

// Warm-up frames are not measured, a fixed number of frames or a time ends the run, a waterfall
// reports one line per frame, and a failed frame fails the run.
TEST(FrameLoop, ReportsMeasuredFramesAndFailsOnABadFrame)
{
    Args args{Scene::Trace, "trace", 64, 80, 2.0, 12}; // 12 frames, however long they take
    int calls = 0, rc = -1;
    QJsonObject report = CaptureReport(args, [&](int frame, QImage&) { return frame == calls++; }, rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(report["library"].toString() + " " + report["scene"].toString(), "test trace");
    EXPECT_EQ(std::tuple(report["width"].toInt(), report["height"].toInt(), report["frames"].toInt(), calls),
              std::tuple(64, 80, 12, 15));
    EXPECT_TRUE(report["fps"].toDouble() > 0 && report["peak_mb"].toDouble() > 1) << report["fps"].toDouble();
    EXPECT_TRUE(report["lines_per_s"].isNull());

    args = {Scene::Waterfall, "waterfall", 64, 64, 0.05}; // frames for 50 ms
    report = CaptureReport(args, [](int, QImage&) { return true; }, rc);
    EXPECT_GT(report["frames"].toInt(), 0);
    EXPECT_DOUBLE_EQ(report["lines_per_s"].toDouble(), report["fps"].toDouble());

    testing::internal::CaptureStderr();
    EXPECT_TRUE(CaptureReport(args, [](int frame, QImage&) { return frame < 5; }, rc).isEmpty());
    EXPECT_EQ(rc, 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("frame 5"), std::string::npos);
}

// A saved frame shows as a window shows it: premultiplied colours over black, device pixels 1:1.
TEST(FrameLoop, SavedFramesShowTranslucentPixelsOverBlackAtTheirRatio)
{
    QImage frame(4, 2, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    frame.setPixel(3, 1, qRgba(128, 64, 0, 128)); // orange at half strength
    frame.setDevicePixelRatio(2);
    const QImage saved = OverBlack(frame);
    EXPECT_EQ(saved.devicePixelRatio(), 2);
    EXPECT_EQ(saved.pixel(3, 1), qRgb(128, 64, 0)) << "not divided by its alpha";
    EXPECT_EQ(saved.pixel(0, 0), qRgb(0, 0, 0));
}
