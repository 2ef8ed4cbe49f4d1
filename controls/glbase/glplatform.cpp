#include "glplatform.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <QBackingStore>
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstring>
#include <vector>

namespace GLPlatform
{
namespace
{
eRenderPath s_ePath = ePathAuto;
ScreenInfo (*s_pScreenProbe)() = nullptr;
qint64 (*s_pClock)() = nullptr;
int s_iInjectedFailure = 0;

int s_iMakeCurrentFailures = 0;

bool TakeMakeCurrentFailure()
{
    if (s_iMakeCurrentFailures <= 0)
        return false;
    --s_iMakeCurrentFailures;
    return true;
}

bool TakeInjectedFailure(int error)
{
    if (s_iInjectedFailure != error)
        return false;
    s_iInjectedFailure = 0;
    return true;
}

bool IsSoftwareRasteriser(const QByteArray& renderer)
{
    const QByteArray r = renderer.toLower();
    return r.contains("llvmpipe") || r.contains("softpipe") || r.contains("swrast") || r.contains("software");
}

// The display-less EGL display, opened once per process: surfaceless, then device, then default.
EGLDisplay ScanBufferDisplay()
{
    static EGLDisplay s_display = EGL_NO_DISPLAY;
    static bool s_bTried = false;
    if (s_bTried)
        return s_display;
    s_bTried = true;
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    const EGLenum platforms[] = {EGL_PLATFORM_SURFACELESS_MESA, EGL_PLATFORM_DEVICE_EXT};
    for (EGLenum platform : platforms) {
        if (!getPlatformDisplay)
            break;
        void* native = EGL_DEFAULT_DISPLAY;
        EGLDeviceEXT device = nullptr;
        if (platform == EGL_PLATFORM_DEVICE_EXT) {
            auto queryDevices =
                reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
            EGLint count = 0;
            if (!queryDevices || !queryDevices(1, &device, &count) || count < 1)
                continue;
            native = device;
        }
        EGLDisplay display = getPlatformDisplay(platform, native, nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr))
            return s_display = display;
    }
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr))
        s_display = display;
    return s_display;
}

class ScanBufferContext : public Context
{
public:
    ScanBufferContext(EGLDisplay display, EGLConfig config, EGLContext context)
        : m_display(display), m_config(config), m_context(context)
    {
    }
    ~ScanBufferContext() override
    {
        DoneCurrent();
        DestroySurface();
        eglDestroyContext(m_display, m_context);
    }

    bool MakeCurrent() override
    {
        return !TakeMakeCurrentFailure() && eglBindAPI(EGL_OPENGL_API) &&
               eglMakeCurrent(m_display, m_surface, m_surface, m_context);
    }
    void DoneCurrent() override { eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT); }

    void Present(QWidget* widget, int width, int height) override
    {
        glFinish();
        ReadFrame(m_image, width, height);
        QWindow* window = widget->windowHandle();
        if (!window)
            return;
        if (!m_pStore || m_pStore->window() != window)
            m_pStore = std::make_unique<QBackingStore>(window);
        const QRect rect(0, 0, width, height);
        m_pStore->resize(rect.size());
        m_pStore->beginPaint(rect);
        QPainter painter(m_pStore->paintDevice());
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_image);
        painter.end();
        m_pStore->endPaint();
        m_pStore->flush(rect);
    }

    bool Resize(int width, int height) override
    {
        DestroySurface();
        if (TakeInjectedFailure(5))
            return false;
        const EGLint attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
        m_surface = eglCreatePbufferSurface(m_display, m_config, attributes);
        return m_surface != EGL_NO_SURFACE;
    }

    void* ProcAddress(const char* name) override { return reinterpret_cast<void*>(eglGetProcAddress(name)); }
    bool IsScanBuffer() const override { return true; }
    void FormatBits(int& redBits, int& alphaBits, int& stencilBits) const override
    {
        eglGetConfigAttrib(m_display, m_config, EGL_RED_SIZE, &redBits);
        eglGetConfigAttrib(m_display, m_config, EGL_ALPHA_SIZE, &alphaBits);
        eglGetConfigAttrib(m_display, m_config, EGL_STENCIL_SIZE, &stencilBits);
    }

private:
    void DestroySurface()
    {
        if (m_surface != EGL_NO_SURFACE)
            eglDestroySurface(m_display, m_surface);
        m_surface = EGL_NO_SURFACE;
    }

    EGLDisplay m_display;
    EGLConfig m_config;
    EGLContext m_context;
    EGLSurface m_surface = EGL_NO_SURFACE;
    QImage m_image;
    std::unique_ptr<QBackingStore> m_pStore;
};

class WindowContext : public Context
{
public:
    WindowContext(QWindow* window, std::unique_ptr<QOpenGLContext> context)
        : m_pWindow(window), m_pContext(std::move(context))
    {
    }
    ~WindowContext() override { DoneCurrent(); }

    bool MakeCurrent() override
    {
        return !TakeMakeCurrentFailure() && m_pWindow && m_pContext->makeCurrent(m_pWindow);
    }
    void DoneCurrent() override { m_pContext->doneCurrent(); }
    void Present(QWidget*, int, int) override { m_pContext->swapBuffers(m_pWindow); }
    bool Resize(int, int) override { return true; } // the window's own buffers follow its size
    void* ProcAddress(const char* name) override { return reinterpret_cast<void*>(m_pContext->getProcAddress(name)); }
    bool IsScanBuffer() const override { return false; }
    void FormatBits(int& redBits, int& alphaBits, int& stencilBits) const override
    {
        const QSurfaceFormat format = m_pContext->format();
        redBits = format.redBufferSize();
        alphaBits = format.alphaBufferSize();
        stencilBits = format.stencilBufferSize();
    }

private:
    QPointer<QWindow> m_pWindow;
    std::unique_ptr<QOpenGLContext> m_pContext;
};

QSurfaceFormat WindowFormat(int screenDepth)
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    const bool deep = screenDepth >= 32;
    format.setRedBufferSize(deep ? 8 : 5);
    format.setGreenBufferSize(deep ? 8 : 6);
    format.setBlueBufferSize(deep ? 8 : 5);
    format.setAlphaBufferSize(deep ? 8 : 0);
    format.setDepthBufferSize(deep ? 24 : 16);
    format.setStencilBufferSize(8);
    return format;
}
} // namespace

namespace
{
bool HasPackInvert()
{
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && std::strstr(extensions, "GL_MESA_pack_invert");
}

void MirrorRows(QImage& image)
{
    std::vector<uchar> row(size_t(image.bytesPerLine()));
    for (int top = 0, bottom = image.height() - 1; top < bottom; ++top, --bottom) {
        std::memcpy(row.data(), image.scanLine(top), row.size());
        std::memcpy(image.scanLine(top), image.scanLine(bottom), row.size());
        std::memcpy(image.scanLine(bottom), row.data(), row.size());
    }
}
} // namespace

// Reads the current frame buffer top row first, in the byte order QImage's ARGB32 uses in memory.
// Mesa can write the rows top first itself, which saves a pass over the whole frame.
void ReadFrame(QImage& image, int width, int height)
{
    if (image.width() != width || image.height() != height || image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    const bool invert = HasPackInvert();
    if (invert)
        glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, image.bits());
    if (invert)
        glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
    else
        MirrorRows(image);
}

void SetRenderPath(eRenderPath path) { s_ePath = path; }
eRenderPath RenderPath() { return s_ePath; }

std::unique_ptr<Context> CreateScanBufferContext(int width, int height, int& error)
{
    EGLDisplay display = TakeInjectedFailure(6) ? EGL_NO_DISPLAY : ScanBufferDisplay();
    if (display == EGL_NO_DISPLAY) {
        error = 6;
        return nullptr;
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                       EGL_DEPTH_SIZE, 16, EGL_STENCIL_SIZE, 8, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (TakeInjectedFailure(8) || !eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
        error = 8;
        return nullptr;
    }
    if (TakeInjectedFailure(7) || !eglBindAPI(EGL_OPENGL_API)) {
        error = 7;
        return nullptr;
    }
    EGLContext eglContext =
        TakeInjectedFailure(10) ? EGL_NO_CONTEXT : eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (eglContext == EGL_NO_CONTEXT) {
        error = 10;
        return nullptr;
    }
    auto context = std::make_unique<ScanBufferContext>(display, config, eglContext);
    if (!context->Resize(width, height)) {
        error = 5;
        return nullptr;
    }
    if (TakeInjectedFailure(11) || !context->MakeCurrent()) {
        error = 11;
        return nullptr;
    }
    return context;
}

std::unique_ptr<Context> CreateWindowContext(QWidget* widget, int screenDepth, int& error)
{
    QWindow* window = widget->windowHandle();
    const QSurfaceFormat format = WindowFormat(screenDepth);
    // A widget's window is created for raster painting; it must be re-created as a GL surface.
    if (window->surfaceType() != QSurface::OpenGLSurface || window->requestedFormat() != format) {
        window->setSurfaceType(QSurface::OpenGLSurface);
        window->setFormat(format);
        window->destroy();
        window->create();
    }
    if (TakeInjectedFailure(9) || !window->handle()) {
        error = 9;
        return nullptr;
    }
    auto glContext = std::make_unique<QOpenGLContext>();
    glContext->setFormat(format);
    if (TakeInjectedFailure(10) || !glContext->create()) {
        error = 10;
        return nullptr;
    }
    auto context = std::make_unique<WindowContext>(window, std::move(glContext));
    if (TakeInjectedFailure(11) || !context->MakeCurrent()) {
        error = 11;
        return nullptr;
    }
    return context;
}

bool HardwareFormatAvailable()
{
    if (s_ePath != ePathAuto)
        return s_ePath == ePathWindow;
    // The answer is the window system's, not the widget's: probe once per process.
    static int s_iHardware = -1;
    if (s_iHardware < 0) {
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.create();
        s_iHardware = 0;
        if (context.create() && context.makeCurrent(&surface)) {
            const auto renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
            s_iHardware = renderer && !IsSoftwareRasteriser(renderer);
            context.doneCurrent();
        }
    }
    return s_iHardware == 1;
}

bool IsRemoteSession()
{
    // An X display on another host, or a login over SSH (which forwards X or runs a VNC server).
    const QString display = qEnvironmentVariable("DISPLAY");
    const int colon = display.indexOf(':');
    const QString host = colon > 0 ? display.left(colon) : QString();
    const bool remoteX = !host.isEmpty() && host != "localhost" && host != "unix" && !host.startsWith('/');
    return remoteX || qEnvironmentVariableIsSet("SSH_CONNECTION");
}

ScreenInfo DescribeScreen()
{
    if (s_pScreenProbe)
        return s_pScreenProbe();
    ScreenInfo info;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        info.iDepth = screen->depth();
        info.sDescription = screen->name() + ' ' + screen->manufacturer() + ' ' + screen->model();
    }
    return info;
}

void SetScreenProbe(ScreenInfo (*probe)()) { s_pScreenProbe = probe; }
void SetClock(qint64 (*clock)()) { s_pClock = clock; }
void InjectFailure(int error) { s_iInjectedFailure = error; }
void InjectMakeCurrentFailures(int count) { s_iMakeCurrentFailures = count; }

qint64 NowMs()
{
    if (s_pClock)
        return s_pClock();
    static const auto s_origin = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - s_origin).count();
}
} // namespace GLPlatform
