// Runs on a real window system (an X server or a Wayland compositor): both paths present onto a real
// window. Where Qt found none and fell back to offscreen, the tests skip.
#include "glplatform_p.h"
#include "support/render_fixture.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QScreen>
#include <QtTest>
#include <gtest/gtest.h>

struct MoveCounter : QObject
{
    int iMoves = 0;
    bool eventFilter(QObject*, QEvent* event) override { iMoves += event->type() == QEvent::Move; return false; }
};

// The window path draws with Qt's context on the window itself, the other without Qt. On X11, the
// server's pixels of the window are the ones RenderToImage returns, and the first frame after the
// window moved posts one move event of the surface's own after Qt's. The window path's own failures
// report their codes.
TEST(Window, BothPathsPresentOnTheWindowFollowItsMovesAndReportTheirFailures)
{
    using GL = GLFrameWidget;
    if (QGuiApplication::platformName() == "offscreen")
        GTEST_SKIP() << "no window system: Qt fell back to offscreen";
    RecordingErrorHandler errors;
    for (auto [code, text] : {std::pair{9, "SetPixelFormat failed"}, {10, "wglCreateContext failed"},
                              {11, "wglMakeCurrent failed"}}) {
        const ForcedRenderPath forced(GL::ePathWindow);
        TestSurface w;
        w.resize(20, 20);
        GLPlatform::InjectFailure(code);
        QImage img;
        EXPECT_FALSE(w.RenderToImage(&img));
        EXPECT_EQ(w.initializeError(), code);
        EXPECT_TRUE(errors.Logged(text)) << text;
    }
    for (auto [path, software] : {std::pair{GL::ePathScanBuffer, true}, {GL::ePathWindow, false}}) {
        SCOPED_TRACE(software);
        const ForcedRenderPath forced(path);
        TestSurface w;
        bool onWindowContext = software;
        w.paint = [&](TestSurface& s) {
            const QOpenGLContext* current = QOpenGLContext::currentContext();
            onWindowContext = current && current->surface() == s.windowHandle();
            PaintBoxAndLine(s);
        };
        w.resize(80, 64);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        QImage rendered;
        ASSERT_TRUE(w.RenderToImage(&rendered)) << w.info().toStdString();
        EXPECT_EQ(w.softwareRenderer(), software);
        QTest::qWait(40);
        w.repaint();
        EXPECT_EQ(onWindowContext, !software);
        EXPECT_EQ(w.initializeError(), GL::eInitNoError) << w.GetInitializeErrorString().toStdString();
        const QImage expected = rendered.convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(std::pair(expected.pixel(20, 20), expected.pixel(60, 50)), std::pair(0xFFFF0000u, 0xFF00FF00u));
        if (QGuiApplication::platformName() != "xcb")
            continue;
        QTest::qWait(40);
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(w.winId()).toImage().convertToFormat(
            QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), rendered.size());
        for (auto [x, y] : {std::pair{20, 20}, {5, 50}, {60, 50}, {70, 10}, {30, 51}})
            EXPECT_EQ(shown.pixel(x, y), expected.pixel(x, y)) << x << ", " << y;

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
