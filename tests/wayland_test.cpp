// Runs on a private headless Wayland compositor: both paths draw and present on a Wayland window.
// The binary brings its own main, so the support library's main is not linked in: the compositor has
// to be listening before QApplication connects to it, and has to outlive the application.
#include "glplatform_p.h"
#include "support/render_fixture.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QOpenGLContext>
#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

extern char** environ;

namespace
{
using GL = GLFrameWidget;

std::string s_sSkip; // why there is no Wayland display to test on; empty when there is one
qint64 s_iNow = 1000;
qint64 FakeClock() { return s_iNow; }

// Starts the compositor and waits at most five seconds for its socket; -1 (and s_sSkip) when it does not come up.
pid_t StartCompositor(const QString& runtimeDir, const QByteArray& socket)
{
    const QByteArray log = "--log=" + (runtimeDir + "/weston.log").toLocal8Bit();
    const QByteArray socketArg = "--socket=" + socket;
    char* args[] = {const_cast<char*>("weston"), const_cast<char*>("--backend=headless-backend.so"),
                    const_cast<char*>("--no-config"), const_cast<char*>("--idle-time=0"),
                    const_cast<char*>(socketArg.constData()), const_cast<char*>(log.constData()), nullptr};
    pid_t pid = -1;
    if (const int error = posix_spawnp(&pid, "weston", nullptr, nullptr, args, environ)) {
        s_sSkip = std::string("weston is not installed or cannot be run: ") + std::strerror(error);
        return -1;
    }
    for (int i = 0; i < 100; ++i) {
        if (QFileInfo::exists(runtimeDir + '/' + socket))
            return pid;
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            QFile file(runtimeDir + "/weston.log");
            file.open(QIODevice::ReadOnly);
            s_sSkip = "weston exited at start: " + file.readAll().right(400).toStdString();
            return -1;
        }
        usleep(50000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    s_sSkip = "weston's socket did not appear within five seconds";
    return -1;
}

void StopCompositor(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 40 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        usleep(50000);
    if (kill(pid, SIGKILL) == 0)
        waitpid(pid, nullptr, 0);
}

} // namespace

TEST(Wayland, BothPathsDrawAndPresentOnAWaylandWindow)
{
    if (!s_sSkip.empty())
        GTEST_SKIP() << s_sSkip;
    // Every repaint is a frame: the surface's frame clock never holds one back.
    GLPlatform::SetClock(FakeClock);
    for (auto [path, software, name] : {std::tuple{GL::ePathWindow, false, "window"},
                                        std::tuple{GL::ePathScanBuffer, true, "ScanBuffer"}}) {
        SCOPED_TRACE(name);
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
        EXPECT_TRUE(w.initialized());
        EXPECT_EQ(w.initializeError(), GL::eInitNoError) << w.GetInitializeErrorString().toStdString();
        EXPECT_EQ(w.softwareRenderer(), software);

        QImage img;
        ASSERT_TRUE(w.RenderToImage(&img)) << w.info().toStdString();
        ASSERT_EQ(img.size(), QSize(80, 64));
        expectColour(img, 10, 10, 0xFFFF0000);
        expectColour(img, 39, 29, 0xFFFF0000);
        expectColour(img, 40, 30, 0);
        expectLitRun(img, 50, 5, 60);
        EXPECT_TRUE(litColumns(img, 49).empty());
        EXPECT_TRUE(litColumns(img, 51).empty());
        expectColour(img, 60, 50, 0xFF00FF00);
    }
    GLPlatform::SetClock(nullptr);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir runtimeDir(QDir::tempPath() + "/glbase-wayland-XXXXXX"); // 0700, as XDG_RUNTIME_DIR must be
    const QByteArray socket = "glbase-test-" + QByteArray::number(getpid());
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    qputenv("WAYLAND_DISPLAY", socket);
    const pid_t compositor = runtimeDir.isValid() ? StartCompositor(runtimeDir.path(), socket) : -1;
    if (!runtimeDir.isValid())
        s_sSkip = "no private runtime directory for the compositor";
    // Without Qt's wayland plugin, or when it cannot connect, Qt falls back to offscreen and the test skips.
    qputenv("QT_QPA_PLATFORM", compositor > 0 ? "wayland;offscreen" : "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        if (compositor > 0 && QGuiApplication::platformName() != "wayland")
            s_sSkip = "Qt's wayland platform plugin is missing or could not connect to weston";
        result = RUN_ALL_TESTS();
    } // Qt quits the process when its compositor goes away first.
    StopCompositor(compositor);
    return result;
}
