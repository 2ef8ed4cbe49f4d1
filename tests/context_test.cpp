#include "glplatform_p.h"
#include "support/render_fixture.h"
#include "iglinfo0.h"

#include <QResizeEvent>
#include <QtTest>
#include <gtest/gtest.h>
#include <functional>
#include <tuple>

namespace
{
qint64 s_iNow = 1000;
qint64 FakeClock() { return s_iNow; }

GLPlatform::ScreenInfo s_Screen{32, "screen A"};
GLPlatform::ScreenInfo FakeScreen() { return s_Screen; }

struct FakeTime
{
    FakeTime() { GLPlatform::SetClock(FakeClock); }
    ~FakeTime() { GLPlatform::SetClock(nullptr); }
};

struct Registry : IGLInfo0
{
    std::vector<IGLWidget*> vWidgets;
    void registerWidget(IGLWidget* w) override { vWidgets.push_back(w); }
    void unregisterWidget(IGLWidget* w) override { vWidgets.erase(std::find(vWidgets.begin(), vWidgets.end(), w)); }
};
} // namespace

TEST(Context, FirstRenderInitialisesOnlyAtTwoByTwo)
{
    TestSurface tiny;
    tiny.setMinimumSize(0, 0);
    tiny.resize(1, 5);
    QImage img;
    EXPECT_FALSE(tiny.RenderToImage(&img));
    EXPECT_FALSE(tiny.initialized());
    EXPECT_EQ(tiny.initializeError(), GLFrameWidget::eInitNoError);
    EXPECT_EQ(tiny.info(), "GLFrameWidget (ScanBuffer) Not yet initialized\n");
    tiny.resize(3, 5);
    EXPECT_TRUE(tiny.RenderToImage(&img));
    EXPECT_TRUE(tiny.initialized());
    EXPECT_EQ(img.size(), QSize(3, 5));
    EXPECT_TRUE(tiny.softwareRenderer());
    EXPECT_TRUE(tiny.info().contains(" HardwareRenderer: - ")) << tiny.info().toStdString();
    EXPECT_GE(tiny.GetMaxTextureSize(), 1024);
    EXPECT_FALSE(tiny.ActiveContext()) << "no context stays current after a frame";
}

TEST(Context, EveryFailureCodeReportsItsMessage)
{
    RecordingErrorHandler errors;
    // Code, logged text, and the shown message's detail where it reads differently.
    const std::tuple<int, const char*, const char*> cases[] = {
        {2, "WinId failed", "winId failed"}, {5, "CreateDIBSection failed", nullptr},
        {6, "CreateCompatibleDC failed", nullptr}, {7, "SelectObject failed", nullptr},
        {8, "ChoosePixelFormat failed", nullptr}, {10, "wglCreateContext failed", nullptr},
        {11, "wglMakeCurrent failed", nullptr}};
    for (auto [code, text, shownDetail] : cases) {
        errors.vLogged.clear();
        errors.vShown.clear();
        TestSurface w;
        w.resize(10, 10);
        GLPlatform::InjectFailure(code);
        QImage img;
        EXPECT_FALSE(w.RenderToImage(&img));
        EXPECT_EQ(w.initializeError(), code);
        ASSERT_EQ(errors.vLogged.size(), 1u) << code;
        EXPECT_EQ(errors.vLogged[0].sMessage, text);
        EXPECT_EQ(errors.vLogged[0].sClass, "GLFrameWidget");
        EXPECT_EQ(errors.vLogged[0].sFunction, "InitContext");
        EXPECT_TRUE(errors.vLogged[0].sFile.endsWith("controls/glbase/glframewidget"));
        ASSERT_EQ(errors.vShown.size(), 1u);
        EXPECT_EQ(errors.vShown[0].first,
                  QString("OpenGL Resources low - Widget could not be initialized. (%1) Try to reopen the window.")
                      .arg(shownDetail ? shownDetail : text));
        EXPECT_TRUE(errors.vShown[0].second);
        EXPECT_TRUE(w.info().endsWith(QString("\n*** Initialize ended with error:\t%1\n").arg(text)));
        EXPECT_FALSE(w.RenderToImage(&img)) << "a failed widget stays failed";
        EXPECT_EQ(errors.vLogged.size(), 1u);
    }
    GLFrameWidget::setShowError(false);
    TestSurface quiet;
    quiet.resize(10, 10);
    GLPlatform::InjectFailure(6);
    QImage img;
    errors.vShown.clear();
    EXPECT_FALSE(quiet.RenderToImage(&img));
    EXPECT_TRUE(errors.vShown.empty());
    EXPECT_TRUE(errors.Logged("CreateCompatibleDC failed"));
    GLFrameWidget::setShowError(true);
}

TEST(Context, ScreensWithoutDepthOrIdentityAreRefused)
{
    RecordingErrorHandler errors;
    GLPlatform::SetScreenProbe(FakeScreen);
    const std::tuple<int, const char*, int> cases[] = {{8, "screen A", 4}, {0, "", 3}};
    for (auto [depth, name, code] : cases) {
        s_Screen = {depth, name};
        TestSurface w;
        w.resize(10, 10);
        QImage img;
        EXPECT_FALSE(w.RenderToImage(&img));
        EXPECT_EQ(w.initializeError(), code);
    }
    ASSERT_EQ(errors.vLogged.size(), 2u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "Insufficient color depth");
    EXPECT_EQ(errors.vLogged[1].sMessage, "GetDC failed");
    s_Screen = {32, "screen A"};
    GLPlatform::SetScreenProbe(nullptr);
}

namespace
{
// Software rasterisers, so that the automatic path stays off-screen.
QString s_sAdapter = "Mesa llvmpipe A";
int s_iAdapterProbes = 0;
QString FakeAdapter()
{
    ++s_iAdapterProbes;
    return s_sAdapter;
}

// What the window system tells the application when monitors are plugged, unplugged or reordered.
void ReportScreenChange() { emit qGuiApp->primaryScreenChanged(QGuiApplication::primaryScreen()); }
} // namespace

// Only a changed adapter, a lost context or a changed depth stops a widget; monitors do not. The
// loss is shown once per process, and a lost widget leaves the caller's image alone.
TEST(Context, OnlyALostAdapterStopsDrawing)
{
    RecordingErrorHandler errors;
    GLPlatform::SetAdapterProbe(FakeAdapter);
    ReportScreenChange();
    struct Case
    {
        const char* sName;
        std::function<void()> change;
        bool bLost;
        int iProbes; // adapter probes the change causes
    };
    const Case cases[] = {
        {"monitor plugged", [] { ReportScreenChange(); }, false, 1},
        {"adapter changed", [] { s_sAdapter = "Mesa llvmpipe B"; ReportScreenChange(); }, true, 1},
        {"context reset", [] { GLPlatform::InjectContextLoss(); }, true, 0},
        {"depth changed", [] { s_Screen = {16, s_sAdapter}; GLPlatform::SetScreenProbe(FakeScreen); }, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sName);
        TestSurface a, b;
        a.resize(8, 8);
        b.resize(8, 8);
        QImage img;
        ASSERT_TRUE(a.RenderToImage(&img));
        ASSERT_TRUE(b.RenderToImage(&img));
        const int probes = s_iAdapterProbes;
        c.change();
        QImage untouched(4, 4, QImage::Format_RGB32);
        untouched.fill(Qt::yellow);
        img = untouched;
        EXPECT_EQ(a.RenderToImage(&img), !c.bLost);
        EXPECT_EQ(b.RenderToImage(&img), !c.bLost);
        EXPECT_EQ(a.initializeError(), c.bLost ? GLFrameWidget::eInitDeviceLost : GLFrameWidget::eInitNoError);
        EXPECT_EQ(img == untouched, c.bLost);
        EXPECT_TRUE(a.initialized());
        EXPECT_EQ(s_iAdapterProbes - probes, c.iProbes) << "the adapter is probed again only after a screen change";
    }
    EXPECT_EQ(errors.vLogged.size(), 1u);
    ASSERT_EQ(errors.vShown.size(), 1u);
    EXPECT_EQ(errors.vShown[0].first, "OpenGL Resources low - Widget could not be initialized. (Display device lost) "
                                      "Try to reopen the window.");
    s_Screen = {32, "screen A"};
    s_sAdapter = "Mesa llvmpipe A";
    GLPlatform::SetScreenProbe(nullptr);
    GLPlatform::SetAdapterProbe(nullptr);
}

TEST(Context, RegistryAndResizeLimits)
{
    Registry registry;
    GLFrameWidget::setOpenGLInfo(&registry);
    RecordingErrorHandler errors;
    {
        TestSurface w;
        ASSERT_EQ(registry.vWidgets.size(), 1u);
        w.resize(10, 10);
        QImage img;
        ASSERT_TRUE(w.RenderToImage(&img));
        QResizeEvent tiny(QSize(1, 0), QSize(10, 10));
        QCoreApplication::sendEvent(&w, &tiny);
        EXPECT_TRUE(errors.Logged("Width < 2"));
        EXPECT_TRUE(errors.Logged("Height < 2"));
        EXPECT_EQ(w.GetWidth(), 2);
        EXPECT_EQ(w.GetHeight(), 2);
        EXPECT_GE(w.iResizes, 1);
    }
    EXPECT_TRUE(registry.vWidgets.empty());
    GLFrameWidget::setOpenGLInfo(nullptr);
}

TEST(Frame, PacingDefersEarlyPaintsAndBlocksNesting)
{
    FakeTime time;
    TestSurface w;
    int frames = 0;
    w.paint = [&](TestSurface& s) {
        ++frames;
        QPaintEvent nested(s.rect());  // a paint arriving while the frame is produced
        QCoreApplication::sendEvent(&s, &nested);
    };
    w.resize(20, 20);
    w.show();
    QCoreApplication::processEvents();
    frames = 0;
    s_iNow += 100;
    w.repaint();
    EXPECT_EQ(frames, 1);
    s_iNow += 5;
    w.repaint();
    EXPECT_EQ(frames, 1) << "5 ms after a frame the request is deferred";
    s_iNow += 11;
    QTest::qWait(20);
    EXPECT_EQ(frames, 2) << "the repaint timer delivers the deferred frame";

    // Snapshots are not frames of the window: they neither delay the next one nor count as one.
    w.paint = [&](TestSurface&) { ++frames; };
    s_iNow += 100;
    QImage snapshot;
    ASSERT_TRUE(w.RenderToImage(&snapshot));
    w.repaint();
    EXPECT_EQ(frames, 4) << "a snapshot delayed the window's frame";
    // A widget whose frames fail is paced all the same: the second request waits, untried.
    RecordingErrorHandler errors;
    s_iNow += 100;
    GLPlatform::InjectMakeCurrentFailures(2);
    w.repaint();
    s_iNow += 5;
    w.repaint();
    GLPlatform::InjectMakeCurrentFailures(0);
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(errors.vLogged.size(), 1u) << "each failing frame logs its failure";
    s_iNow += 16;
    w.repaint();
    EXPECT_EQ(frames, 5);
}
