// Runs on a private headless Wayland compositor: both paths draw and present on a Wayland window.
// The binary brings its own main: the compositor has to be listening before QApplication connects
// to it, and has to outlive the application.
#include "glplatform_p.h"
#include "support/render_fixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QOpenGLContext>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{
using GL = GLFrameWidget;

std::string s_sSkip; // why there is no Wayland display to test on; empty when there is one
qint64 s_iNow = 1000;
qint64 FakeClock() { return s_iNow; }

} // namespace

TEST(Wayland, BothPathsDrawAndPresentOnAWaylandWindow)
{
    if (!s_sSkip.empty())
        GTEST_SKIP() << s_sSkip;
    GLPlatform::SetClock(FakeClock); // every repaint is a frame: the frame clock never holds one back
    for (auto [path, software] : {std::pair{GL::ePathWindow, false}, std::pair{GL::ePathScanBuffer, true}}) {
        SCOPED_TRACE(software);
        const ForcedRenderPath forced(path);
        TestSurface w;
        int frames = 0;
        bool onWindowContext = false;
        w.paint = [&](TestSurface& s) {
            ++frames;
            // The window path draws with Qt's context on the widget's own Wayland surface, the other without Qt.
            const QOpenGLContext* current = QOpenGLContext::currentContext();
            onWindowContext = current && current->surface() == s.windowHandle();
            PaintBoxAndLine(s);
        };
        w.resize(80, 64);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        frames = 0;
        for (int i = 0; i < 3; ++i) {
            s_iNow += 20;
            w.repaint();
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(frames, 3) << "repaint presents a frame on the window";
        EXPECT_EQ(onWindowContext, !software);
        EXPECT_EQ(w.initializeError(), GL::eInitNoError) << w.GetInitializeErrorString().toStdString();
        EXPECT_EQ(w.softwareRenderer(), software);
        QImage img;
        ASSERT_TRUE(w.RenderToImage(&img)) << w.info().toStdString();
        ASSERT_EQ(img.size(), QSize(80, 64));
        expectColour(img, 10, 10, 0xFFFF0000);
        expectColour(img, 39, 29, 0xFFFF0000);
        expectColour(img, 40, 30, 0);
        expectLitRun(img, 50, 5, 60);
        EXPECT_TRUE(litColumns(img, 49).empty() && litColumns(img, 51).empty());
        expectColour(img, 60, 50, 0xFF00FF00);
    }
    GLPlatform::SetClock(nullptr);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir runtimeDir(QDir::tempPath() + "/glbase-wayland-XXXXXX"); // 0700, as XDG_RUNTIME_DIR must be
    const QString socket = QString("glbase-test-%1").arg(getpid()), log = runtimeDir.filePath("weston.log");
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    qputenv("WAYLAND_DISPLAY", socket.toLocal8Bit());
    QProcess weston; // listening before the application connects, and stopped after it is gone
    weston.start("weston", {"--backend=headless-backend.so", "--no-config", "--idle-time=0", "--socket=" + socket,
                            "--log=" + log});
    bool up = weston.waitForStarted();
    for (int i = 0; up && i < 100 && !QFileInfo::exists(runtimeDir.filePath(socket)); ++i)
        up = !weston.waitForFinished(50);
    if (!up || !QFileInfo::exists(runtimeDir.filePath(socket)))
        s_sSkip = "weston is missing or did not open its socket within five seconds; see " + log.toStdString();
    // Without Qt's wayland plugin, or when it cannot connect, Qt falls back to offscreen and the test skips.
    qputenv("QT_QPA_PLATFORM", s_sSkip.empty() ? "wayland;offscreen" : "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        if (s_sSkip.empty() && QGuiApplication::platformName() != "wayland")
            s_sSkip = "Qt's wayland platform plugin is missing or could not connect to weston";
        result = RUN_ALL_TESTS();
    } // Qt quits the process when its compositor goes away first.
    weston.terminate();
    weston.waitForFinished();
    return result;
}
