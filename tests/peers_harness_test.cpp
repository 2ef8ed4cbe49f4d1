// The shared scene data and frame loop of the comparison programs: all libraries must be fed
// the same data and measured the same way, or the comparison means nothing.
#include "scene_harness.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

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
    return QJsonDocument::fromJson(QByteArray::fromStdString(testing::internal::GetCapturedStdout())).object();
}
} // namespace

TEST(SceneArgs, AcceptsTheDriversArgumentsAndRejectsOthers)
{
    Args args;
    ASSERT_TRUE(
        Parse({"p", "--scene", "waterfall", "--size", "800x600", "--seconds", "0.5", "--mode", "opengl"}, args));
    EXPECT_EQ(std::tuple(args.scene, args.sceneName, args.width, args.height, args.seconds, args.mode),
              std::tuple(Scene::Waterfall, "waterfall", 800, 600, 0.5, "opengl"));
    ASSERT_TRUE(Parse({"p", "--scene", "trace", "--size", "800x600", "--frames", "12"}, args));
    EXPECT_EQ(args.frames, 12);
    testing::internal::CaptureStderr(); // the usage text
    for (std::vector<std::string> bad : {std::vector<std::string>{"p", "--scene", "bars", "--size", "800x600"},
                                         {"p", "--scene", "trace", "--size", "800"},
                                         {"p", "--scene", "trace", "--size", "10x10"},
                                         {"p", "--scene", "trace", "--size"},
                                         {"p", "--scene", "trace", "--colour", "red"},
                                         {"p", "--scene", "trace", "--seconds", "0"},
                                         {"p", "--scene", "trace", "--size", "800x600", "--frames", "0"},
                                         {"p"}})
        EXPECT_FALSE(Parse(bad, args)) << bad.back();
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
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
    EXPECT_EQ(report["frames"].toInt(), calls - 3) << "warm-up frames are not counted";
    EXPECT_GT(report["fps"].toDouble(), 0);
    EXPECT_GT(report["peak_mb"].toDouble(), 1);
    EXPECT_TRUE(report["lines_per_s"].isNull());

    args.scene = Scene::Waterfall; // one line per frame
    const QJsonObject waterfall = CaptureReport(args, [](int, QImage&) { return true; }, rc);
    EXPECT_DOUBLE_EQ(waterfall["lines_per_s"].toDouble(), waterfall["fps"].toDouble());

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
