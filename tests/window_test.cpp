// Runs under a real X server (Xvfb): both paths present onto a real window.
#include "glplatform_p.h"
#include "support/render_fixture.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QtTest>
#include <gtest/gtest.h>

namespace
{
// Shows the box-and-line scene in an 80 x 64 window; false when the window is never exposed.
bool ShowBoxAndLine(TestSurface& w)
{
    w.paint = PaintBoxAndLine;
    w.resize(80, 64);
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}

bool RunXrandr(const QStringList& arguments)
{
    QProcess xrandr;
    xrandr.start("xrandr", arguments);
    return xrandr.waitForFinished(5000) && xrandr.exitStatus() == QProcess::NormalExit && xrandr.exitCode() == 0;
}
} // namespace

struct MoveCounter : QObject
{
    int iMoves = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        iMoves += event->type() == QEvent::Move;
        return false;
    }
};

// The X server's pixels of the window are the ones RenderToImage returns, and the first frame after
// the window moved posts one move event of the surface's own after Qt's.
TEST(Window, BothPathsPresentOnTheWindowAndFollowItsMoves)
{
    using GL = GLFrameWidget;
    for (auto [path, software] : {std::pair{GL::ePathScanBuffer, true}, {GL::ePathWindow, false}}) {
        SCOPED_TRACE(software);
        const ForcedRenderPath forced(path);
        TestSurface w;
        ASSERT_TRUE(ShowBoxAndLine(w));
        QImage rendered;
        ASSERT_TRUE(w.RenderToImage(&rendered)) << w.info().toStdString();
        EXPECT_EQ(w.softwareRenderer(), software);
        QTest::qWait(40);
        w.repaint();
        QTest::qWait(40);
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(w.winId()).toImage().convertToFormat(
            QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), rendered.size());
        const QImage expected = rendered.convertToFormat(QImage::Format_RGB32);
        for (auto [x, y] : {std::pair{20, 20}, {5, 50}, {60, 50}, {70, 10}, {30, 51}})
            EXPECT_EQ(shown.pixel(x, y), expected.pixel(x, y)) << x << ", " << y;
        EXPECT_EQ(expected.pixel(20, 20), 0xFFFF0000u);
        EXPECT_EQ(expected.pixel(60, 50), 0xFF00FF00u);

        MoveCounter counter;
        w.installEventFilter(&counter);
        w.move(w.pos() + QPoint(110, 80));
        QTest::qWait(50);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(w.RenderToImage(&rendered));
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(counter.iMoves, 2);
    }
}

TEST(Window, WindowPathFailuresReportTheirCodes)
{
    RecordingErrorHandler errors;
    const ForcedRenderPath forced(GLFrameWidget::ePathWindow);
    for (auto [code, text] : {std::pair{9, "SetPixelFormat failed"}, {10, "wglCreateContext failed"},
                              {11, "wglMakeCurrent failed"}}) {
        TestSurface w;
        w.resize(20, 20);
        GLPlatform::InjectFailure(code);
        QImage img;
        EXPECT_FALSE(w.RenderToImage(&img));
        EXPECT_EQ(w.initializeError(), code);
        EXPECT_TRUE(errors.Logged(text)) << text;
    }
}

// Docking a laptop adds a monitor that becomes the primary one, and undocking removes it; the window
// system's GPU stays, and so do the widgets.
TEST(Window, PluggingAndUnpluggingAMonitorKeepsDrawing)
{
    if (QStandardPaths::findExecutable("xrandr").isEmpty())
        GTEST_SKIP() << "xrandr is not installed";
    RecordingErrorHandler errors;
    const ForcedRenderPath forced(GLFrameWidget::ePathWindow);
    TestSurface w;
    ASSERT_TRUE(ShowBoxAndLine(w));
    QImage img;
    ASSERT_TRUE(w.RenderToImage(&img));
    const int screens = int(QGuiApplication::screens().size());
    const std::pair<QStringList, int> steps[] = {
        {{"--setmonitor", "*GLBASE-DOCK", "320/80x240/60+320+0", "none"}, screens + 1},
        {{"--delmonitor", "GLBASE-DOCK"}, screens}};
    for (const auto& [arguments, expected] : steps) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        ASSERT_TRUE(RunXrandr(arguments));
        if (!QTest::qWaitFor([&] { return QGuiApplication::screens().size() == expected; }, 5000)) {
            RunXrandr({"--delmonitor", "GLBASE-DOCK"});
            // Qt 5's xcb plugin makes screens of outputs only, never of RandR monitors.
            GTEST_SKIP() << "Qt " << qVersion() << " does not report the monitor as a screen";
        }
        img = QImage();
        EXPECT_TRUE(w.RenderToImage(&img));
        EXPECT_EQ(w.initializeError(), GLFrameWidget::eInitNoError);
        EXPECT_EQ(img.pixel(20, 20), 0xFFFF0000u);
    }
    EXPECT_TRUE(errors.vShown.empty());
}
