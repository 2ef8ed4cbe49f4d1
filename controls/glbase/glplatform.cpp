#include "glplatform_p.h"

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
#include <type_traits>
#include <vector>

namespace GLPlatform
{
namespace
{
ScreenInfo (*s_pScreenProbe)() = nullptr;
QString (*s_pAdapterProbe)() = nullptr;
qint64 (*s_pClock)() = nullptr;
int s_iInjectedFailure = 0;

int s_iMakeCurrentFailures = 0;
int s_iInjectedLosses = 0;

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

using ResetStatusProc = GLenum (*)();

// What both paths share to notice a lost context: the driver's reset status, where the context was
// created to report it, and the test seam.
class LossAwareContext : public Context
{
public:
    bool IsLost(bool current) override
    {
        return m_iInjectedLosses != s_iInjectedLosses || (current && DriverReportsReset());
    }

private:
    bool DriverReportsReset()
    {
        if (!m_bResetProcLooked) {
            m_bResetProcLooked = true;
            const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
            if (extensions && std::strstr(extensions, "GL_KHR_robustness"))
                m_pResetStatus = reinterpret_cast<ResetStatusProc>(ProcAddress("glGetGraphicsResetStatus"));
            else if (extensions && std::strstr(extensions, "GL_ARB_robustness"))
                m_pResetStatus = reinterpret_cast<ResetStatusProc>(ProcAddress("glGetGraphicsResetStatusARB"));
        }
        return m_pResetStatus && m_pResetStatus() != GL_NO_ERROR;
    }

    int m_iInjectedLosses = s_iInjectedLosses;
    bool m_bResetProcLooked = false;
    ResetStatusProc m_pResetStatus = nullptr;
};

// The entry points of the software path's own framebuffer, looked up once per context.
struct FrameBufferProcs
{
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERPARAMETERIPROC FramebufferParameteri = nullptr;

    bool Load()
    {
        auto load = [](auto& proc, const char* name) {
            proc = reinterpret_cast<std::remove_reference_t<decltype(proc)>>(eglGetProcAddress(name));
            return proc != nullptr;
        };
        return load(GenFramebuffers, "glGenFramebuffers") && load(DeleteFramebuffers, "glDeleteFramebuffers") &&
               load(BindFramebuffer, "glBindFramebuffer") &&
               load(FramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
               load(CheckFramebufferStatus, "glCheckFramebufferStatus") &&
               load(GenRenderbuffers, "glGenRenderbuffers") && load(DeleteRenderbuffers, "glDeleteRenderbuffers") &&
               load(BindRenderbuffer, "glBindRenderbuffer") && load(RenderbufferStorage, "glRenderbufferStorage") &&
               load(FramebufferParameteri, "glFramebufferParameteri");
    }
};

bool HasExtension(const char* name)
{
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && std::strstr(extensions, name);
}

class ScanBufferContext : public LossAwareContext
{
public:
    ScanBufferContext(EGLDisplay display, EGLConfig config, EGLContext context)
        : m_display(display), m_config(config), m_context(context)
    {
    }
    ~ScanBufferContext() override { Release(); }

    // The pbuffer stands where a window system's bitmap would, so its failures carry those names.
    QStringList Release() override
    {
        QStringList failed;
        if (m_context == EGL_NO_CONTEXT)
            return failed;
        if (m_uFrameBuffer && eglBindAPI(EGL_OPENGL_API) &&
            eglMakeCurrent(m_display, m_surface, m_surface, m_context))
            DeleteFrameBuffer();
        if (!eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT))
            failed << "SelectObject failed";
        if (m_surface != EGL_NO_SURFACE && !eglDestroySurface(m_display, m_surface))
            failed << "DeleteObject failed";
        m_surface = EGL_NO_SURFACE;
        if (!eglDestroyContext(m_display, m_context))
            failed << "wglDeleteContext failed";
        m_context = EGL_NO_CONTEXT;
        return failed;
    }

    bool MakeCurrent() override
    {
        if (TakeMakeCurrentFailure())
            return false;
        if (eglBindAPI(EGL_OPENGL_API) && eglMakeCurrent(m_display, m_surface, m_surface, m_context))
            return true;
        m_bLost = m_bLost || eglGetError() == EGL_CONTEXT_LOST;
        return false;
    }
    bool IsLost(bool current) override { return m_bLost || LossAwareContext::IsLost(current); }
    void DoneCurrent() override { eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT); }

    void Present(QWidget* widget, int width, int height) override
    {
        glFinish();
        ReadFrame(m_image, width, height, widget->devicePixelRatioF());
        QWindow* window = widget->windowHandle();
        if (!window)
            return;
        if (!m_pStore || m_pStore->window() != window)
            m_pStore = std::make_unique<QBackingStore>(window);
        // The store is sized in logical pixels and holds device pixels; the frame is copied 1:1.
        const QRect rect(QPoint(0, 0), widget->size());
        m_pStore->resize(rect.size());
        m_pStore->beginPaint(rect);
        QPainter painter(m_pStore->paintDevice());
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_image);
        painter.end();
        m_pStore->endPaint();
        m_pStore->flush(rect);
    }

    // With a framebuffer object of its own the pbuffer only carries the context; the frame's
    // buffers follow the new size at the next frame, when the context is current.
    bool Resize(int width, int height) override
    {
        if (m_uFrameBuffer) {
            if (TakeInjectedFailure(5))
                return false;
            m_iWidth = width;
            m_iHeight = height;
            return true;
        }
        DestroySurface();
        if (TakeInjectedFailure(5))
            return false;
        const EGLint attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
        m_surface = eglCreatePbufferSurface(m_display, m_config, attributes);
        return m_surface != EGL_NO_SURFACE;
    }

    // Draws into a framebuffer object whose depth-stencil buffer is attached only to the frames that
    // use it: llvmpipe clears and reads a packed depth-stencil buffer with every frame and slows
    // the rasterisation of thin primitives where one is bound. The object is stored top row first
    // like the pbuffer, or stippled lines and ties on pixel edges would land on other pixels.
    // Keeps the pbuffer where any of that is missing.
    void UseFrameBuffer(int width, int height)
    {
        if (!HasExtension("GL_ARB_framebuffer_object") || !HasExtension("GL_MESA_framebuffer_flip_y") ||
            !m_Procs.Load())
            return;
        m_iWidth = width;
        m_iHeight = height;
        m_Procs.GenFramebuffers(1, &m_uFrameBuffer);
        m_Procs.BindFramebuffer(GL_FRAMEBUFFER, m_uFrameBuffer);
        m_Procs.FramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
        m_Procs.GenRenderbuffers(1, &m_uColour);
        AllocateBuffers();
        if (m_Procs.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            DeleteFrameBuffer();
            return;
        }
        // What making a context current on a surface of this size first sets.
        glViewport(0, 0, width, height);
        glScissor(0, 0, width, height);
        const EGLint tiny[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        EGLSurface small = eglCreatePbufferSurface(m_display, m_config, tiny);
        if (small != EGL_NO_SURFACE && eglMakeCurrent(m_display, small, small, m_context)) {
            DestroySurface();
            m_surface = small;
        } else if (small != EGL_NO_SURFACE) {
            eglDestroySurface(m_display, small);
        }
    }

    void BeginFrame(bool depthStencil) override
    {
        if (!m_uFrameBuffer)
            return;
        if (m_iWidth != m_iAllocatedWidth || m_iHeight != m_iAllocatedHeight)
            AllocateBuffers();
        if (depthStencil)
            AttachDepthStencil();
        else if (m_bDepthStencilAttached)
            SetDepthStencil(0);
    }

    bool AttachDepthStencil() override
    {
        if (!m_uFrameBuffer || m_bDepthStencilAttached)
            return false;
        if (!m_uDepthStencil) {
            m_Procs.GenRenderbuffers(1, &m_uDepthStencil);
            m_Procs.BindRenderbuffer(GL_RENDERBUFFER, m_uDepthStencil);
            m_Procs.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, m_iWidth, m_iHeight);
            m_Procs.BindRenderbuffer(GL_RENDERBUFFER, 0);
        }
        SetDepthStencil(m_uDepthStencil);
        return true;
    }

    void* ProcAddress(const char* name) override { return reinterpret_cast<void*>(eglGetProcAddress(name)); }
    bool IsScanBuffer() const override { return true; }
    unsigned int DefaultFramebuffer() const override { return m_uFrameBuffer; }
    void FormatBits(int& redBits, int& alphaBits, int& stencilBits) const override
    {
        eglGetConfigAttrib(m_display, m_config, EGL_RED_SIZE, &redBits);
        eglGetConfigAttrib(m_display, m_config, EGL_ALPHA_SIZE, &alphaBits);
        eglGetConfigAttrib(m_display, m_config, EGL_STENCIL_SIZE, &stencilBits);
        if (m_uFrameBuffer)
            stencilBits = 8; // the depth-stencil buffer attached on demand
    }

private:
    // Renderbuffers rather than textures: the frame's buffers stay out of the texture names that
    // drawing code hands out. A depth-stencil buffer of the old size is dropped, to be made again on
    // demand.
    void AllocateBuffers()
    {
        m_Procs.BindRenderbuffer(GL_RENDERBUFFER, m_uColour);
        m_Procs.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_iWidth, m_iHeight);
        m_Procs.BindRenderbuffer(GL_RENDERBUFFER, 0);
        m_Procs.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_uColour);
        if (m_bDepthStencilAttached)
            SetDepthStencil(0);
        if (m_uDepthStencil)
            m_Procs.DeleteRenderbuffers(1, &m_uDepthStencil);
        m_uDepthStencil = 0;
        m_iAllocatedWidth = m_iWidth;
        m_iAllocatedHeight = m_iHeight;
    }

    void SetDepthStencil(GLuint buffer)
    {
        m_Procs.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, buffer);
        m_Procs.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, buffer);
        m_bDepthStencilAttached = buffer != 0;
    }

    void DeleteFrameBuffer()
    {
        m_Procs.BindFramebuffer(GL_FRAMEBUFFER, 0);
        m_Procs.DeleteFramebuffers(1, &m_uFrameBuffer);
        m_Procs.DeleteRenderbuffers(1, &m_uColour);
        if (m_uDepthStencil)
            m_Procs.DeleteRenderbuffers(1, &m_uDepthStencil);
        m_uFrameBuffer = m_uColour = m_uDepthStencil = 0;
        m_bDepthStencilAttached = false;
    }

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
    FrameBufferProcs m_Procs;
    GLuint m_uFrameBuffer = 0, m_uColour = 0, m_uDepthStencil = 0;
    bool m_bDepthStencilAttached = false;
    int m_iWidth = 0, m_iHeight = 0, m_iAllocatedWidth = 0, m_iAllocatedHeight = 0;
    bool m_bLost = false;
    QImage m_image;
    std::unique_ptr<QBackingStore> m_pStore;
};

class WindowContext : public LossAwareContext
{
public:
    WindowContext(QWindow* window, std::unique_ptr<QOpenGLContext> context)
        : m_pWindow(window), m_pContext(std::move(context))
    {
    }
    ~WindowContext() override { DoneCurrent(); }

    // Qt deletes its context without a word of failure.
    QStringList Release() override
    {
        DoneCurrent();
        return {};
    }

    bool MakeCurrent() override
    {
        return !TakeMakeCurrentFailure() && m_pWindow && m_pContext->makeCurrent(m_pWindow);
    }
    void DoneCurrent() override { m_pContext->doneCurrent(); }
    void Present(QWidget*, int, int) override { m_pContext->swapBuffers(m_pWindow); }
    bool Resize(int, int) override { return true; } // the window's own buffers follow its size
    void BeginFrame(bool) override {}                // the window always has depth and stencil
    bool AttachDepthStencil() override { return false; }
    void* ProcAddress(const char* name) override { return reinterpret_cast<void*>(m_pContext->getProcAddress(name)); }
    bool IsScanBuffer() const override { return false; }
    unsigned int DefaultFramebuffer() const override { return m_pContext->defaultFramebufferObject(); }
    // Qt marks a context invalid once a reset was reported on it.
    bool IsLost(bool current) override { return !m_pContext->isValid() || LossAwareContext::IsLost(current); }
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
    const bool deep = screenDepth >= 24;
    format.setRedBufferSize(deep ? 8 : 5);
    format.setGreenBufferSize(deep ? 8 : 6);
    format.setBlueBufferSize(deep ? 8 : 5);
    format.setAlphaBufferSize(deep ? 8 : 0);
    format.setDepthBufferSize(deep ? 24 : 16);
    format.setStencilBufferSize(8);
    // Lets a driver that resets the context (GPU hang, driver update, eGPU unplugged) say so.
    format.setOption(QSurfaceFormat::ResetNotification);
    return format;
}
} // namespace

namespace
{
bool HasPackInvert() { return HasExtension("GL_MESA_pack_invert"); }

void MirrorRows(QImage& image)
{
    std::vector<uchar> row(size_t(image.bytesPerLine()));
    for (int top = 0, bottom = image.height() - 1; top < bottom; ++top, --bottom) {
        std::memcpy(row.data(), image.scanLine(top), row.size());
        std::memcpy(image.scanLine(top), image.scanLine(bottom), row.size());
        std::memcpy(image.scanLine(bottom), row.data(), row.size());
    }
}

// True where the bound frame is stored as RGBA bytes: reading it as BGRA makes llvmpipe convert
// pixel by pixel, slower than reading the bytes as they are and swapping red and blue here.
bool StoredAsRgba()
{
    if (!HasExtension("GL_ARB_ES2_compatibility"))
        return false;
    GLint format = 0, type = 0;
    glGetIntegerv(GL_IMPLEMENTATION_COLOR_READ_FORMAT, &format);
    glGetIntegerv(GL_IMPLEMENTATION_COLOR_READ_TYPE, &type);
    return format == GL_RGBA && type == GL_UNSIGNED_BYTE;
}

void SwapRedAndBlue(QImage& image)
{
    auto* pixel = reinterpret_cast<quint32*>(image.bits());
    const size_t count = size_t(image.bytesPerLine() / 4) * size_t(image.height());
    for (size_t i = 0; i < count; ++i) {
        const quint32 v = pixel[i];
        pixel[i] = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    }
}
} // namespace

// Reads the current frame buffer top row first, in the byte order QImage's ARGB32 uses in memory.
// Mesa can write the rows top first itself, which saves a pass over the whole frame.
void ReadFrame(QImage& image, int width, int height, qreal pixelRatio)
{
    if (image.width() != width || image.height() != height || image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    const bool invert = HasPackInvert();
    const bool rgba = StoredAsRgba();
    if (invert)
        glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glReadPixels(0, 0, width, height, rgba ? GL_RGBA : GL_BGRA, GL_UNSIGNED_BYTE, image.bits());
    if (invert)
        glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
    else
        MirrorRows(image);
    if (rgba)
        SwapRedAndBlue(image);
    image.setDevicePixelRatio(pixelRatio);
}

namespace
{
// Asks for reset notification where EGL offers it, so that a lost device is reported, not drawn on.
EGLContext CreateEglContext(EGLDisplay display, EGLConfig config)
{
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (extensions && std::strstr(extensions, "EGL_EXT_create_context_robustness")) {
        const EGLint robust[] = {EGL_CONTEXT_OPENGL_RESET_NOTIFICATION_STRATEGY_EXT, EGL_LOSE_CONTEXT_ON_RESET_EXT,
                                 EGL_NONE};
        EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, robust);
        if (context != EGL_NO_CONTEXT)
            return context;
    }
    return eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
}

QString ProbeAdapter()
{
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    if (!context.create() || !context.makeCurrent(&surface))
        return QString();
    auto text = [](GLenum name) { return QString::fromLatin1(reinterpret_cast<const char*>(glGetString(name))); };
    const QString adapter = text(GL_VENDOR) + ' ' + text(GL_RENDERER);
    context.doneCurrent();
    return adapter;
}

// The window system's adapter, probed on first use and again after the screens changed.
QString Adapter()
{
    static QString s_sAdapter;
    static bool s_bKnown = false;
    static bool s_bWatching = false;
    if (!s_bWatching && qGuiApp) {
        s_bWatching = true;
        auto forget = [] { s_bKnown = false; };
        QObject::connect(qGuiApp, &QGuiApplication::screenAdded, qGuiApp, forget);
        QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, qGuiApp, forget);
        QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, qGuiApp, forget);
    }
    if (!s_bKnown) {
        s_sAdapter = s_pAdapterProbe ? s_pAdapterProbe() : ProbeAdapter();
        s_bKnown = true;
    }
    return s_sAdapter;
}
} // namespace

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
    EGLContext eglContext = TakeInjectedFailure(10) ? EGL_NO_CONTEXT : CreateEglContext(display, config);
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
    context->UseFrameBuffer(width, height);
    return context;
}

bool HasNativeWindow(QWidget* widget)
{
    return !TakeInjectedFailure(2) && widget->winId() && widget->windowHandle();
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
    // The answer is the window system's, not the widget's.
    const QString adapter = Adapter();
    return !adapter.isEmpty() && !IsSoftwareRasteriser(adapter.toLatin1());
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
        info.sAdapter = Adapter();
    }
    return info;
}

void SetScreenProbe(ScreenInfo (*probe)()) { s_pScreenProbe = probe; }
void SetAdapterProbe(QString (*probe)()) { s_pAdapterProbe = probe; }
void SetClock(qint64 (*clock)()) { s_pClock = clock; }
void InjectFailure(int error) { s_iInjectedFailure = error; }
void InjectMakeCurrentFailures(int count) { s_iMakeCurrentFailures = count; }
void InjectContextLoss() { ++s_iInjectedLosses; }

qint64 NowMs()
{
    if (s_pClock)
        return s_pClock();
    static const auto s_origin = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - s_origin).count();
}
} // namespace GLPlatform
