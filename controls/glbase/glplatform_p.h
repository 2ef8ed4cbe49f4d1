#ifndef GLPLATFORM_P_H
#define GLPLATFORM_P_H

#include "glbase_export.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>

class QImage;
class QWidget;

// Private: never installed and never included by a public header. The test seams below are
// exported only so that the test programs, which include this file, can reach them.
//
// The only code that knows EGL, QOpenGLContext and QBackingStore. The surface's context life cycle
// calls these operations and nothing else, so a new platform is a new implementation of this file.
namespace GLPlatform
{
// What the surface compares frame by frame to notice that its display adapter went away. Monitors
// come and go with docking stations and are not part of it: only the GPU the window system draws
// with is, named by the GL vendor and renderer of a context on the display. That probe creates a
// context, so it runs once and again only after the set of screens changed.
struct ScreenInfo
{
    int iDepth = 0;   // bits per pixel of the primary screen, 0 when there is no screen
    QString sAdapter; // "vendor renderer" of the window system's GL, empty where it offers none
};

// A current-able GL context with its drawable. Failures report the surface's initialisation codes.
class Context
{
public:
    virtual ~Context() = default;
    virtual bool MakeCurrent() = 0;
    virtual void DoneCurrent() = 0;
    // Gives back the drawable and the context and returns the steps that failed, named as the
    // surface logs them; the release goes on past a failure.
    virtual QStringList Release() = 0;
    // Shows the frame just drawn on the widget (buffer swap, or read-back and flush); the size is the
    // drawable's, in device pixels.
    virtual void Present(QWidget* widget, int width, int height) = 0;
    // Re-creates the drawable at a new size in device pixels; false leaves it without a drawable.
    virtual bool Resize(int width, int height) = 0;
    // Called current at the start of every frame, before the clear: the frame gets a depth and
    // stencil buffer only when depthStencil is true, or later through AttachDepthStencil.
    virtual void BeginFrame(bool depthStencil) = 0;
    // Gives the current frame a depth and stencil buffer; true when it was added just now, with
    // undefined contents that the caller clears. False where the frame already has one.
    virtual bool AttachDepthStencil() = 0;
    virtual void* ProcAddress(const char* name) = 0;
    // True when every named entry point exists.
    template <size_t N>
    bool HasProcs(const char* const (&names)[N])
    {
        for (const char* name : names)
            if (!ProcAddress(name))
                return false;
        return true;
    }
    virtual bool IsScanBuffer() const = 0;
    // The framebuffer that frames are drawn into: 0, except where Qt draws the window through a
    // framebuffer of its own (client-side decorations on Wayland) and on the software path, which
    // draws into a framebuffer object so that frames without clip planes go without a stencil.
    virtual unsigned int DefaultFramebuffer() const = 0;
    // True once the driver reported the context lost or reset. Where the context is current the
    // driver's reset status is asked as well.
    virtual bool IsLost(bool current) = 0;
    virtual void FormatBits(int& redBits, int& alphaBits, int& stencilBits) const = 0;
};

// Creates the widget's native window where it has none; false when that fails (code 2).
GLBASE_EXPORT bool HasNativeWindow(QWidget* widget);
// Creates a context for the widget's native window; on failure returns null and sets error (8 to 11).
// Screens of 24 bits or more get 8 bits per channel with 24 depth and 8 stencil bits; shallower
// screens get RGB 5-6-5 with 16 depth bits. X11 and Wayland report true colour as 24.
GLBASE_EXPORT std::unique_ptr<Context> CreateWindowContext(QWidget* widget, int screenDepth, int& error);
// Creates an off-screen context of the given size; on failure returns null and sets error (5 to 11).
GLBASE_EXPORT std::unique_ptr<Context> CreateScanBufferContext(int width, int height, int& error);
// Reads the current frame buffer (width x height device pixels) into image, top row first, ARGB32
// premultiplied, marked with the device pixel ratio.
GLBASE_EXPORT void ReadFrame(QImage& image, int width, int height, qreal pixelRatio);
// True when the window system offers a GL renderer that is not a software rasteriser.
GLBASE_EXPORT bool HardwareFormatAvailable();
// Remote X display or a forwarded/remote desktop session: the performance warnings are pointless there.
GLBASE_EXPORT bool IsRemoteSession();
GLBASE_EXPORT ScreenInfo DescribeScreen();

// Test seams: a replacement screen description (null restores the real one), a replacement for the
// adapter probe that the real description runs after screen changes, and a millisecond frame clock.
GLBASE_EXPORT void SetScreenProbe(ScreenInfo (*probe)());
GLBASE_EXPORT void SetAdapterProbe(QString (*probe)());
GLBASE_EXPORT void SetClock(qint64 (*clock)());
GLBASE_EXPORT qint64 NowMs();
// Test seam: the next context creation fails with this initialisation code (0 disables).
GLBASE_EXPORT void InjectFailure(int error);
// Test seam: the next count MakeCurrent calls fail, as they do when the device is lost or busy.
GLBASE_EXPORT void InjectMakeCurrentFailures(int count);
// Test seam: every live context reports itself lost, as after a GPU reset.
GLBASE_EXPORT void InjectContextLoss();
} // namespace GLPlatform

#endif
