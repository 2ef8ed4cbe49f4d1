// The surface's context from creation to loss, and its frames. Runs twice: as is, and with the blending,
// framebuffer and fragment shader extensions removed by Mesa. The software warning's counters are
// process-wide, so the first test of this binary owns them from its first paint.
#include "glplatform_p.h"
#include "iglinfo0.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <QResizeEvent>
#include <QtTest>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace
{
qint64 s_iNow = 1000;
qint64 FakeClock() { return s_iNow; }
GLPlatform::ScreenInfo s_Screen;
GLPlatform::ScreenInfo FakeScreen() { return s_Screen; }
QString s_sAdapter = "Mesa llvmpipe A"; // a software rasteriser keeps the automatic path off-screen
int s_iAdapterProbes = 0;
QString FakeAdapter() { ++s_iAdapterProbes; return s_sAdapter; }

struct Registry : IGLInfo0
{
    int iLive = 0;
    void registerWidget(IGLWidget*) override { ++iLive; }
    void unregisterWidget(IGLWidget*) override { --iLive; }
};

// What the window system tells the application when monitors are plugged, unplugged or reordered.
void ReportScreenChange() { emit qGuiApp->primaryScreenChanged(QGuiApplication::primaryScreen()); }
} // namespace

// The software warning appears on the second paint of the process only. Paint events closer than a frame
// interval wait for the repaint timer, a paint inside a frame is dropped, snapshots neither delay nor count
// as frames, and failing frames are paced all the same.
TEST(Frame, SoftwareWarningOnTheSecondPaintOnlyAndPacingDefersEarlyPaintsAndBlocksNesting)
{
    ASSERT_FALSE(qEnvironmentVariableIsSet("SSH_CONNECTION")) << "a remote session suppresses the warning";
    GLPlatform::SetClock(FakeClock);
    RecordingErrorHandler errors;
    TestSurface first, w;
    int frames = 0;
    std::vector<size_t> shownAtFrame; // messages shown before each frame was drawn
    first.paint = w.paint = [&](TestSurface& s) {
        frames += &s == &w; // the paced surface's frames
        shownAtFrame.push_back(errors.vShown.size());
        QPaintEvent nested(s.rect());
        QCoreApplication::sendEvent(&s, &nested);
    };
    for (TestSurface* s : {&first, &w, &first, &w, &first}) {
        s->resize(16, 16);
        s->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(s));
        s_iNow += 20; // a frame interval on
        s->repaint();
    }
    ASSERT_GE(shownAtFrame.size(), 5u);
    EXPECT_EQ(shownAtFrame[0], 0u) << "one paint in the process does not warn";
    EXPECT_EQ(shownAtFrame[1], 1u) << "the second paint does";
    ASSERT_EQ(errors.vShown.size(), 1u) << "and no paint after it";
    EXPECT_EQ(errors.vShown[0].first, "Warning: OpenGL is running in software emulation mode.\n"
                                      "You should install the OpenGL driver for your graphics card.");
    EXPECT_FALSE(errors.vShown[0].second) << "a warning, not an error";
    EXPECT_TRUE(errors.Logged("Software emulation mode"));
    EXPECT_FALSE(errors.Logged("Antialiasing found")) << "the software path has no sample buffers";

    frames = 0;
    const auto framesAfterPaintingAt = [&](int ms) {
        s_iNow += ms;
        w.repaint();
        return frames;
    };
    EXPECT_EQ(framesAfterPaintingAt(100), 1);
    EXPECT_EQ(framesAfterPaintingAt(5), 1) << "5 ms after a frame the request is deferred";
    s_iNow += 11;
    QTest::qWait(20);
    EXPECT_EQ(frames, 2) << "the repaint timer delivers the deferred frame";
    w.paint = [&](TestSurface&) { ++frames; };
    s_iNow += 100;
    QImage snapshot;
    ASSERT_TRUE(w.RenderToImage(&snapshot));
    EXPECT_EQ(framesAfterPaintingAt(0), 4) << "a snapshot delayed the window's frame";
    errors.vLogged.clear();
    GLPlatform::InjectMakeCurrentFailures(2);
    EXPECT_EQ(framesAfterPaintingAt(100), 4);
    EXPECT_EQ(framesAfterPaintingAt(5), 4);
    GLPlatform::InjectMakeCurrentFailures(0);
    EXPECT_EQ(errors.vLogged.size(), 1u) << "the second request waits, untried";
    EXPECT_EQ(framesAfterPaintingAt(16), 5);
    GLPlatform::SetClock(nullptr);
}

// A surface is registered while it lives, initialises only once it is 2 x 2, sets its capability flags
// from the extension string, starts frames in the mode asked for, and keeps at least 2 x 2.
TEST(Context, SurfaceInitialisesFromTwoByTwoAndNeverShrinksBelow)
{
    Registry registry;
    GLFrameWidget::setOpenGLInfo(&registry);
    RecordingErrorHandler errors;
    {
        TestSurface w;
        EXPECT_EQ(registry.iLive, 1);
        w.setMinimumSize(0, 0);
        w.resize(1, 5);
        QImage img;
        EXPECT_FALSE(w.RenderToImage(&img) || w.initialized());
        EXPECT_EQ(w.initializeError(), GLFrameWidget::eInitNoError);
        EXPECT_EQ(w.info(), "GLFrameWidget (ScanBuffer) Not yet initialized\n");
        w.resize(3, 5);
        w.Set2DMode(false); // frames of a 3-D subclass start with depth test and culling on
        bool depthAndCull = false;
        w.paint = [&](TestSurface&) { depthAndCull = glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_CULL_FACE); };
        ASSERT_TRUE(w.RenderToImage(&img));
        EXPECT_TRUE(depthAndCull);
        EXPECT_EQ(img.size(), QSize(3, 5));
        EXPECT_TRUE(w.softwareRenderer() && w.info().contains(" HardwareRenderer: - ")) << w.info().toStdString();
        EXPECT_GE(w.GetMaxTextureSize(), 1024);
        EXPECT_FALSE(w.ActiveContext()) << "no context stays current after a frame";
        // The capability flags follow the extension string, which the stripped run cuts down.
        const QString overrides = qEnvironmentVariable("MESA_EXTENSION_OVERRIDE");
        const bool stripped = overrides.contains("-GL_ARB_fragment_shader");
        EXPECT_EQ(w.m_bBlendFuncSeparate, !overrides.contains("-GL_EXT_blend_func_separate"));
        EXPECT_EQ(QList<bool>({w.m_bFrameBufferObject, w.m_bIndexColorProgram, w.m_bAgedImageProgram,
                               w.m_bAgeingProgram, w.m_bMultiTexture || stripped}),
                  QList<bool>({!stripped, !stripped, !stripped, !stripped, true}));
        EXPECT_TRUE(w.info().endsWith(stripped ? " Framebuffer: - Shader: -\n" : " Framebuffer: OK Shader: OK\n"));
        EXPECT_EQ(w.m_fLineOffsetY, w.info().contains("GlVendor: Intel") ? 0.46f : 0.5f);
        EXPECT_TRUE(errors.vLogged.empty()) << "unexpected log: " << errors.vLogged[0].sMessage.toStdString();
        w.Set2DMode(true);
        ASSERT_TRUE(w.RenderToImage(&img));
        EXPECT_FALSE(depthAndCull) << "2-D frames start with both off";
        QResizeEvent tiny(QSize(1, 0), QSize(3, 5));
        QCoreApplication::sendEvent(&w, &tiny);
        EXPECT_TRUE(errors.Logged("Width < 2") && errors.Logged("Height < 2"));
        EXPECT_EQ(QSize(w.GetWidth(), w.GetHeight()), QSize(2, 2));
        EXPECT_GE(w.iResizes, 1);
    }
    EXPECT_EQ(registry.iLive, 0);
    GLFrameWidget::setOpenGLInfo(nullptr);
}

// Each failure is logged once under InitContext and shown (unless showing is off) as the user reads it.
TEST(Context, EveryFailureCodeReportsItsMessage)
{
    GLPlatform::SetScreenProbe(FakeScreen);
    // Code, screen depth (failures of 32-bit screens are injected), logged text, shown text if it differs.
    const std::tuple<int, int, const char*, const char*> cases[] = {
        {2, 32, "WinId failed", "winId failed"}, {3, 0, "GetDC failed", nullptr},
        {4, 8, "Insufficient color depth", nullptr}, {5, 32, "CreateDIBSection failed", nullptr},
        {6, 32, "CreateCompatibleDC failed", nullptr}, {7, 32, "SelectObject failed", nullptr},
        {8, 32, "ChoosePixelFormat failed", nullptr}, {10, 32, "wglCreateContext failed", nullptr},
        {11, 32, "wglMakeCurrent failed", nullptr}, {6, 32, "CreateCompatibleDC failed", nullptr}}; // last: not shown
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto [code, depth, text, shownDetail] = cases[i];
        const bool show = i + 1 < std::size(cases);
        SCOPED_TRACE(text);
        RecordingErrorHandler errors;
        GLFrameWidget::setShowError(show);
        s_Screen = {depth, depth ? s_sAdapter : QString()};
        TestSurface w;
        w.resize(10, 10);
        GLPlatform::InjectFailure(depth == 32 ? code : 0);
        QImage img;
        EXPECT_FALSE(w.RenderToImage(&img));
        EXPECT_EQ(w.initializeError(), code);
        EXPECT_FALSE(w.RenderToImage(&img)) << "a failed widget stays failed";
        ASSERT_EQ(errors.vLogged.size(), 1u);
        const RecordingErrorHandler::Entry& log = errors.vLogged[0];
        EXPECT_EQ(QStringList({log.sMessage, log.sClass, log.sFunction, log.sFile}),
                  QStringList({text, "GLFrameWidget", "InitContext", "controls/glbase/glframewidget"}));
        EXPECT_TRUE(w.info().endsWith(QString("\n*** Initialize ended with error:\t%1\n").arg(text)));
        const QString shown = "OpenGL Resources low - Widget could not be initialized. (%1) Try to reopen the window.";
        ASSERT_EQ(errors.vShown.size(), size_t(show));
        if (show)
            EXPECT_EQ(errors.vShown[0], std::pair(shown.arg(shownDetail ? shownDetail : text), true));
    }
    GLFrameWidget::setShowError(true);
    GLPlatform::SetScreenProbe(nullptr);
}

// Only a changed adapter, a reset context or a changed depth stops a widget; monitors do not. The
// loss is shown once per process, and a lost widget leaves the caller's image alone.
TEST(Context, OnlyALostAdapterStopsDrawing)
{
    RecordingErrorHandler errors;
    GLPlatform::SetAdapterProbe(FakeAdapter);
    ReportScreenChange();
    const std::tuple<const char*, std::function<void()>, bool, int> cases[] = { // lost?, adapter probes it causes
        {"monitor plugged", [] { ReportScreenChange(); }, false, 1},
        {"adapter changed", [] { s_sAdapter = "Mesa llvmpipe B"; ReportScreenChange(); }, true, 1},
        {"context reset", [] { GLPlatform::InjectContextLoss(); }, true, 0},
        {"depth changed", [] { s_Screen = {16, s_sAdapter}; GLPlatform::SetScreenProbe(FakeScreen); }, true, 0}};
    for (const auto& [name, change, lost, adapterProbes] : cases) {
        SCOPED_TRACE(name);
        TestSurface a, b;
        a.resize(8, 8);
        b.resize(8, 8);
        QImage img;
        ASSERT_TRUE(a.RenderToImage(&img) && b.RenderToImage(&img));
        const int probes = s_iAdapterProbes;
        change();
        QImage untouched(4, 4, QImage::Format_RGB32);
        untouched.fill(Qt::yellow);
        img = untouched;
        EXPECT_EQ(QList<bool>({a.RenderToImage(&img), b.RenderToImage(&img)}), QList<bool>({!lost, !lost}));
        EXPECT_EQ(a.initializeError(), lost ? GLFrameWidget::eInitDeviceLost : GLFrameWidget::eInitNoError);
        EXPECT_EQ(img == untouched, lost);
        EXPECT_TRUE(a.initialized());
        EXPECT_EQ(s_iAdapterProbes - probes, adapterProbes) << "the adapter is probed again only after a screen change";
    }
    EXPECT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vShown, (std::vector<std::pair<QString, bool>>{
                                 {"OpenGL Resources low - Widget could not be initialized. (Display device lost) "
                                  "Try to reopen the window.", true}}));
    s_sAdapter = "Mesa llvmpipe A";
    GLPlatform::SetScreenProbe(nullptr);
    GLPlatform::SetAdapterProbe(nullptr);
}
