#include "glframewidget.h"
#include "glplatform_p.h"

#include "ierrorhandlerbase.h"
#include "iglinfo0.h"

#include <GL/gl.h>

#include <QApplication>
#include <QMoveEvent>
#include <QResizeEvent>
#include <initializer_list>

IErrorHandlerBase* GLFrameWidget::m_pErrorHandler = nullptr;
bool GLFrameWidget::m_bShowError = true;
IColorBase* GLFrameWidget::m_pColors = nullptr;
IGLInfo0* GLFrameWidget::m_pOpenGLInfo = nullptr;
bool GLFrameWidget::s_bDeviceLostReported = false;
GLFrameWidget::eRenderPath GLFrameWidget::s_eRenderPath = GLFrameWidget::ePathAuto;
int GLFrameWidget::s_iAntialiasWarnings = 0;
int GLFrameWidget::s_iSoftwareWarnings = 0;

namespace
{
const char* const s_aErrorTexts[] = {
    "No Error during Initialitation", "Unknown Error during Initialitation", "WinId failed", "GetDC failed",
    "Insufficient color depth", "CreateDIBSection failed", "CreateCompatibleDC failed", "SelectObject failed",
    "ChoosePixelFormat failed", "SetPixelFormat failed", "wglCreateContext failed", "wglMakeCurrent failed",
    "Device lost"};

// The part of each failure message in brackets; two read differently from their code texts.
QString FailureDetail(GLFrameWidget::eInitializeError error)
{
    switch (error) {
    case GLFrameWidget::eInitWinId:
        return QStringLiteral("winId failed");
    case GLFrameWidget::eInitDeviceLost:
        return QStringLiteral("Display device lost");
    default:
        return s_aErrorTexts[error];
    }
}

const char* const s_aMultiTextureProcs[] = {"glActiveTexture", "glMultiTexCoord2f"};
const char* const s_aFrameBufferProcs[] = {
    "glIsRenderbuffer", "glBindRenderbuffer", "glDeleteRenderbuffers", "glGenRenderbuffers",
    "glRenderbufferStorage", "glGetRenderbufferParameteriv", "glIsFramebuffer", "glBindFramebuffer",
    "glDeleteFramebuffers", "glGenFramebuffers", "glCheckFramebufferStatus", "glFramebufferTexture1D",
    "glFramebufferTexture2D", "glFramebufferTexture3D", "glFramebufferRenderbuffer",
    "glGetFramebufferAttachmentParameteriv", "glGenerateMipmap"};

const char* const s_pSourceFile = "controls/glbase/glframewidget";

// Entry points beyond GL 1.1 are process-wide, looked up at every initialisation.
using BlendFuncSeparateProc = void (*)(GLenum, GLenum, GLenum, GLenum);
BlendFuncSeparateProc s_pBlendFuncSeparate = nullptr;
} // namespace

GLFrameWidget::GLFrameWidget(QWidget* parent) : QWidget(parent)
{
    if (m_pOpenGLInfo)
        m_pOpenGLInfo->registerWidget(this);
    setMinimumSize(2, 2);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    m_iWidth = width();
    m_iHeight = height();
    connect(&m_RepaintTimer, &QTimer::timeout, this, qOverload<>(&QWidget::repaint));
    m_RepaintTimer.setSingleShot(true);
    m_RepaintTimer.setInterval(1);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_PaintOnScreen);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    QApplication::setEffectEnabled(Qt::UI_FadeMenu, false);
}

GLFrameWidget::~GLFrameWidget()
{
    m_RepaintTimer.stop();
    m_RepaintTimer.disconnect();
    ReleaseContext();
    if (m_pOpenGLInfo)
        m_pOpenGLInfo->unregisterWidget(this);
}

QString GLFrameWidget::GetInitializeErrorString() const
{
    const bool known = m_eError >= eInitNoError && m_eError <= eInitDeviceLost;
    return tr(known ? s_aErrorTexts[m_eError] : s_aErrorTexts[eInitRunning]);
}

void GLFrameWidget::LogError(const QString& message, const QString& function)
{
    if (m_pErrorHandler)
        m_pErrorHandler->log(message, s_pSourceFile, "GLFrameWidget", function, 0, 255);
}

void GLFrameWidget::ShowMessage(const QString& text, bool isError)
{
    if (m_pErrorHandler && m_bShowError)
        m_pErrorHandler->show(text, isError, -1, false);
}

QString GLFrameWidget::info()
{
    QString text = "GLFrameWidget (ScanBuffer) ";
    if (!m_bInitialized) {
        text += "Not yet initialized";
        if (m_eError != eInitNoError)
            text += "\n*** Initialize ended with error:\t" + GetInitializeErrorString();
        return text + "\n";
    }
    auto flag = [](bool on) { return on ? QStringLiteral("OK") : QStringLiteral("-"); };
    return text + "GlVendor: " + m_sVendor + " GlRenderer: " + m_sRenderer + " GlVersion: " + m_sVersion +
           " HardwareRenderer: " + flag(m_bHardwareFormat) + " MultiTexture: " + flag(m_bMultiTexture) +
           " Framebuffer: " + flag(m_bFrameBufferObject) +
           " Shader: " + flag(m_bIndexColorProgram && m_bAgedImageProgram && m_bAgeingProgram) + "\n";
}

void GLFrameWidget::ShowInitFailure(eInitializeError error)
{
    ShowMessage(tr("OpenGL Resources low - Widget could not be initialized. (%1) Try to reopen the window.")
                    .arg(FailureDetail(error)),
                true);
}

void GLFrameWidget::FailInit(eInitializeError error, bool release)
{
    m_eError = error;
    LogError(GetInitializeErrorString(), "InitContext");
    ShowInitFailure(error);
    if (release)
        ReleaseContextResources();
}

bool GLFrameWidget::InitContext()
{
    if (m_bInitialized)
        return true;
    if (m_eError != eInitNoError || width() < 2 || height() < 2)
        return false;
    m_eError = eInitRunning;
    m_iWidth = width();
    m_iHeight = height();
    UpdateDeviceSize();
    m_bBlendFuncSeparate = m_bMultiTexture = m_bFrameBufferObject = false;
    m_bIndexColorProgram = m_bAgedImageProgram = m_bAgeingProgram = false;

    if (!GLPlatform::HasNativeWindow(this)) {
        FailInit(eInitWinId, false);
        return false;
    }
    // The platform's screen stands in for the window's device context.
    const GLPlatform::ScreenInfo screen = GLPlatform::DescribeScreen();
    if (screen.iDepth == 0) {
        FailInit(eInitGetDC, true);
        return false;
    }
    m_iScreenDepth = screen.iDepth;
    m_sAdapter = screen.sAdapter;
    if (m_iScreenDepth < 15) {
        FailInit(eInitColorDepth, true);
        return false;
    }
    m_bHardwareFormat =
        s_eRenderPath == ePathAuto ? GLPlatform::HardwareFormatAvailable() : s_eRenderPath == ePathWindow;
    int error = eInitNoError;
    if (m_bHardwareFormat) {
        m_pContext = GLPlatform::CreateWindowContext(this, m_iScreenDepth, error);
    } else {
        m_bRemoteSession = GLPlatform::IsRemoteSession();
        m_pContext = GLPlatform::CreateScanBufferContext(m_iDeviceWidth, m_iDeviceHeight, error);
    }
    if (!m_pContext) {
        FailInit(eInitializeError(error), true);
        return false;
    }
    m_pContext->FormatBits(m_iRedBits, m_iAlphaBits, m_iStencilBits);
    m_bContextCurrent = true;
    ReadCapabilities();
    m_eError = eInitNoError;
    m_bInitialized = true;
    m_pContext->DoneCurrent();
    m_bContextCurrent = false;
    m_LastPos = mapToGlobal(QPoint(0, 0));
    return true;
}

void GLFrameWidget::ReadCapabilities()
{
    auto text = [](GLenum name) { return QString::fromLatin1(reinterpret_cast<const char*>(glGetString(name))); };
    m_sVendor = text(GL_VENDOR);
    m_sRenderer = text(GL_RENDERER);
    m_sVersion = text(GL_VERSION);
    m_sExtensions = text(GL_EXTENSIONS);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &m_iSampleBuffers);
    glGetIntegerv(GL_SAMPLES, &m_iSamples);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &m_iMaxTextureSize);
    m_fLineOffsetX = 0.5f;
    m_fLineOffsetY = m_sVendor.contains("Intel") ? 0.46f : 0.5f;

    s_pBlendFuncSeparate = reinterpret_cast<BlendFuncSeparateProc>(m_pContext->ProcAddress("glBlendFuncSeparate"));
    m_bBlendFuncSeparate = m_sExtensions.contains("GL_EXT_blend_func_separate") && s_pBlendFuncSeparate;
    m_bMultiTexture = m_sExtensions.contains("GL_ARB_multitexture") && m_pContext->HasProcs(s_aMultiTextureProcs);
    m_bFrameBufferObject =
        m_sExtensions.contains("GL_EXT_framebuffer_object") && m_pContext->HasProcs(s_aFrameBufferProcs);
    LoadCapabilityProcs();
    BuildPrograms();
}

bool GLFrameWidget::MakeContextCurrent()
{
    if (!m_pContext)
        return false;
    if (!m_pContext->MakeCurrent()) {
        LogError("wglMakeCurrent failed", "MakeContextCurrent");
        return false;
    }
    m_bContextCurrent = true;
    return true;
}

bool GLFrameWidget::BeginContext()
{
    if (!InitContext())
        return false;
    const GLPlatform::ScreenInfo screen = GLPlatform::DescribeScreen();
    if (screen.iDepth == m_iScreenDepth && screen.sAdapter == m_sAdapter) {
        const QPoint pos = mapToGlobal(QPoint(0, 0));
        if (pos != m_LastPos)
            QCoreApplication::postEvent(this, new QMoveEvent(pos, m_LastPos));
        m_LastPos = pos;
        const bool current = MakeContextCurrent();
        if (!m_pContext->IsLost(current))
            return current;
        if (current)
            m_pContext->DoneCurrent();
    }
    EnterDeviceLost();
    return false;
}

void GLFrameWidget::EnterDeviceLost()
{
    ReleaseContext();
    m_bInitialized = true;
    m_eError = eInitDeviceLost;
    setAttribute(Qt::WA_PaintOnScreen, false);
    setAttribute(Qt::WA_NoSystemBackground, false);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (!s_bDeviceLostReported) {
        s_bDeviceLostReported = true;
        LogError("Device lost", "BeginContext");
        ShowInitFailure(eInitDeviceLost);
    }
}

void GLFrameWidget::EndContext(bool swap)
{
    if (!m_pContext)
        return;
    if (swap)
        m_pContext->Present(this, m_iDeviceWidth, m_iDeviceHeight);
    m_pContext->DoneCurrent();
    m_bContextCurrent = false;
}

void GLFrameWidget::ReleaseContext()
{
    // Images first: deleting them needs the context that their textures live in.
    ReleaseLineImages();
    ReleaseAgedImages();
    if (m_bInitialized && m_eError == eInitNoError && MakeContextCurrent()) {
        ReleaseTextResources(true);
        DeletePrograms();
        m_pContext->DoneCurrent();
        m_bContextCurrent = false;
    }
    // Without a current context the GL objects go with it; the fonts and names are forgotten all the same.
    ReleaseTextResources(false);
    ReleaseContextResources();
    m_bInitialized = false;
    m_eError = eInitNoError;
}

void GLFrameWidget::ReleaseContextResources()
{
    if (m_pContext)
        for (const QString& failure : m_pContext->Release())
            LogError(failure, "ReleaseContextResources");
    m_pContext.reset();
    m_bContextCurrent = false;
    m_iSampleBuffers = m_iSamples = m_iRedBits = m_iAlphaBits = m_iStencilBits = 0;
    m_iScreenDepth = m_iMaxTextureSize = 0;
    m_sVendor.clear();
    m_sRenderer.clear();
    m_sVersion.clear();
    m_sExtensions.clear();
}

void GLFrameWidget::WarnOnce(int& counter, const char* logText, const char* userText)
{
    // The first qualifying paint may be a transient one; the second in the process warns, once.
    if (counter++ != 1)
        return;
    LogError(logText, "InitContext");
    ShowMessage(tr(userText), false);
}

void GLFrameWidget::paintEvent(QPaintEvent*)
{
    if (!InitContext() || !isVisible() || isMinimized())
        return;
    if ((m_iSampleBuffers > 0 || m_iSamples >= 2) && !m_bRemoteSession)
        WarnOnce(s_iAntialiasWarnings, "Antialiasing found",
                 "Warning: OpenGL is running in antialiasing mode.\nThis can lead to blurry display results.\n"
                 "You should disable Antialiasing in your OpenGL adapter settings.");
    if (!m_bHardwareFormat && !m_bRemoteSession)
        WarnOnce(s_iSoftwareWarnings, "Software emulation mode",
                 "Warning: OpenGL is running in software emulation mode.\n"
                 "You should install the OpenGL driver for your graphics card.");
    const qint64 elapsed = GLPlatform::NowMs() - m_iLastFrame;
    if (!m_bRendering && (elapsed < 0 || elapsed >= m_iFrameInterval)) {
        m_bRendering = true;
        if (m_iWidth != width() || m_iHeight != height())
            DeliverResize();
        m_RepaintTimer.stop();
        Render(nullptr);
        // Paces failing widgets too; snapshots through RenderToImage leave the pace alone.
        m_iLastFrame = GLPlatform::NowMs();
        m_bRendering = false;
    } else if (!m_RepaintTimer.isActive()) {
        m_RepaintTimer.start();
    }
}

void GLFrameWidget::resizeEvent(QResizeEvent* event)
{
    if (InitContext()) {
        m_iWidth = event->size().width();
        m_iHeight = event->size().height();
        if (m_iWidth < 2) {
            LogError("Width < 2", "resizeEvent");
            m_iWidth = 2;
        }
        if (m_iHeight < 2) {
            LogError("Height < 2", "resizeEvent");
            m_iHeight = 2;
        }
        const bool ratioChanged = m_fPixelRatio != devicePixelRatioF();
        UpdateDeviceSize();
        if (ratioChanged)
            ReleaseTextAtOldRatio();
        if (m_pContext->IsScanBuffer() && !m_pContext->Resize(m_iDeviceWidth, m_iDeviceHeight)) {
            ReleaseContext();
            m_eError = eInitCreateDIBSection;
            LogError(GetInitializeErrorString(), "resizeEvent");
            ShowInitFailure(eInitCreateDIBSection);
        }
    }
    QWidget::resizeEvent(event);
    ResizeGL();
}

void GLFrameWidget::RequestRepaint()
{
    QWidget::update();
    if (!m_RepaintTimer.isActive())
        m_RepaintTimer.start();
}

void GLFrameWidget::Update() { RequestRepaint(); }

bool GLFrameWidget::RenderToImage(QImage* image) { return Render(image); }

void GLFrameWidget::DeliverResize()
{
    QResizeEvent resize(size(), QSize(m_iWidth, m_iHeight));
    resizeEvent(&resize);
}

void GLFrameWidget::UpdateDeviceSize()
{
    m_fPixelRatio = devicePixelRatioF();
    m_iDeviceWidth = std::max(1, qRound(m_iWidth * m_fPixelRatio));
    m_iDeviceHeight = std::max(1, qRound(m_iHeight * m_fPixelRatio));
}

void GLFrameWidget::ReleaseTextAtOldRatio()
{
    // Glyph atlases and text textures were rasterised for the old ratio.
    if (MakeContextCurrent()) {
        ReleaseTextResources(true);
        m_pContext->DoneCurrent();
        m_bContextCurrent = false;
    }
    ReleaseTextResources(false);
    for (auto& column : m_aTextTextures)
        for (TextTextureBucket& bucket : column)
            bucket = TextTextureBucket();
}

bool GLFrameWidget::Render(QImage* image)
{
    // A window moved to a screen of another ratio may be painted before any resize reaches it.
    if (m_bInitialized && m_eError == eInitNoError && m_fPixelRatio != devicePixelRatioF())
        DeliverResize();
    if (!BeginContext())
        return false;
    m_pContext->BeginFrame(!m_b2DMode);
    glClearStencil(0);
    glStencilMask(0xFF);
    for (GLenum cap : {GL_STENCIL_TEST, GL_ALPHA_TEST, GL_BLEND, GL_POINT_SMOOTH, GL_LINE_SMOOTH, GL_POLYGON_SMOOTH})
        glDisable(cap);
    glShadeModel(GL_FLAT);
    glClearColor(0, 0, 0, 0);
    // 2-D frames never read depth, but clearing it with the stencil lets a packed depth-stencil
    // buffer be cleared whole instead of masked per pixel, which halves an empty software frame.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (m_b2DMode) {
        Init2DMode();
    } else {
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
    }
    PaintGL();
    if (image)
        GLPlatform::ReadFrame(*image, m_iDeviceWidth, m_iDeviceHeight, m_fPixelRatio);
    else
        m_pContext->Present(this, m_iDeviceWidth, m_iDeviceHeight);
    m_pContext->DoneCurrent();
    m_bContextCurrent = false;
    return true;
}

void GLFrameWidget::Init2DMode()
{
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glViewport(0, 0, m_iDeviceWidth, m_iDeviceHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // Exactly ratio device pixels per logical unit, also where the drawable was rounded.
    glOrtho(0, m_iDeviceWidth / m_fPixelRatio, m_iDeviceHeight / m_fPixelRatio, 0, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void GLFrameWidget::BeginViewPort(float x, float y, float w, float h)
{
    m_fViewX = x;
    m_fViewY = y;
    m_fViewW = w;
    m_fViewH = h;
    glTranslatef(x, y, 0);
    glEnable(GL_SCISSOR_TEST);
    const qreal r = m_fPixelRatio;
    glScissor(GLint(x * r), GLint(m_iDeviceHeight - (h + y) * r), GLsizei(w * r), GLsizei(h * r));
}

void GLFrameWidget::EndViewPort(float x, float y)
{
    glDisable(GL_SCISSOR_TEST);
    glTranslatef(-x, -y, 0);
    m_fViewX = m_fViewY = m_fViewW = m_fViewH = 0;
}

void GLFrameWidget::WriteClipPlanes(unsigned int mask)
{
    if (mask == 0)
        return;
    if (m_bContextCurrent && m_pContext->AttachDepthStencil()) {
        // The frame's first clip plane: the new stencil starts clear, as a frame's clear leaves it,
        // also outside a viewport's scissor.
        const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
        GLboolean depthMask = GL_TRUE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        glDisable(GL_SCISSOR_TEST);
        glDepthMask(GL_TRUE);
        glStencilMask(0xFF);
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glDepthMask(depthMask);
        if (scissor)
            glEnable(GL_SCISSOR_TEST);
    }
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 255, 0);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glStencilMask(mask);
}

void GLFrameWidget::UseClipPlanes(unsigned int mask)
{
    if (mask == 0)
        return;
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_EQUAL, 0, mask);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void GLFrameWidget::DisableClipPlanes() { glDisable(GL_STENCIL_TEST); }

void GLFrameWidget::BeginBlend(bool premultiplied)
{
    glEnable(GL_BLEND);
    if (premultiplied) {
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    } else if (m_bBlendFuncSeparate && s_pBlendFuncSeparate) {
        s_pBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE_MINUS_DST_ALPHA, GL_ONE);
    } else {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
}

void GLFrameWidget::EndBlend() { glDisable(GL_BLEND); }

void GLFrameWidget::PremultipliedColor(const QColor& color)
{
    const float a = float(color.alpha());
    glColor4f(color.red() * a / 65025.0f, color.green() * a / 65025.0f, color.blue() * a / 65025.0f, a / 255.0f);
}

void GLFrameWidget::BeginColor(const QColor& color)
{
    PremultipliedColor(color);
    if (color.alpha() != 255)
        BeginBlend(true);
}

void GLFrameWidget::EndColor(const QColor& color)
{
    if (color.alpha() != 255)
        EndBlend();
}

QPointF GLFrameWidget::BeginLineStyle(const GLLineStyle& style)
{
    // GL rasterises aliased lines and stipples in whole device pixels.
    const int deviceWidth = std::max(1, qRound(style.Size() * m_fPixelRatio));
    if (style.LineStyle() == eLineDotted) {
        glEnable(GL_LINE_STIPPLE);
        glLineStipple(deviceWidth, 0x1111);
    }
    glLineWidth(float(deviceWidth));
    return LineShift(style);
}

void GLFrameWidget::EndLineStyle(const GLLineStyle& style)
{
    if (style.LineStyle() == eLineDotted)
        glDisable(GL_LINE_STIPPLE);
}

QPointF GLFrameWidget::LineShift(const GLLineStyle& style) const
{
    // Odd logical widths are centred on their pixel row or column, even ones on the edge between two.
    return style.OddSize() ? QPointF(m_fLineOffsetX, m_fLineOffsetY) : QPointF();
}
void GLFrameWidget::SetBorderStyle(const GLFillStyle& style)
{
    m_BorderStyle = style;
    RequestRepaint();
}

void GLFrameWidget::SetShowBorders(bool show)
{
    if (show == m_bShowBorders)
        return;
    m_bShowBorders = show;
    ResizeGL();
    RequestRepaint();
}
