#ifndef GLPLATFORM_H
#define GLPLATFORM_H

#include "glbase_export.h"

#include <QString>
#include <QtGlobal>
#include <memory>

class QImage;
class QWidget;

// The only code that knows EGL, QOpenGLContext and QBackingStore. The surface's context life cycle
// calls these operations and nothing else, so a new platform is a new implementation of this file.
namespace GLPlatform
{
// What the surface compares frame by frame to notice that its display went away.
struct ScreenInfo
{
    int iDepth = 0;       // bits per pixel of the primary screen, 0 when unknown
    QString sDescription; // name, manufacturer and model of the primary screen
};

// Which path a surface takes; the automatic choice takes the window path only on a hardware renderer.
enum eRenderPath { ePathAuto, ePathWindow, ePathScanBuffer };
GLBASE_EXPORT void SetRenderPath(eRenderPath path);
GLBASE_EXPORT eRenderPath RenderPath();

// A current-able GL context with its drawable. Failures report the surface's initialisation codes.
class Context
{
public:
    virtual ~Context() = default;
    virtual bool MakeCurrent() = 0;
    virtual void DoneCurrent() = 0;
    // Shows the frame just drawn on the widget (buffer swap, or read-back and flush).
    virtual void Present(QWidget* widget, int width, int height) = 0;
    // Re-creates the drawable at a new size; false leaves the context without a drawable.
    virtual bool Resize(int width, int height) = 0;
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
    virtual void FormatBits(int& redBits, int& alphaBits, int& stencilBits) const = 0;
};

// Creates a context for the widget's native window; on failure returns null and sets error (8 to 11).
GLBASE_EXPORT std::unique_ptr<Context> CreateWindowContext(QWidget* widget, int screenDepth, int& error);
// Creates an off-screen context of the given size; on failure returns null and sets error (5 to 11).
GLBASE_EXPORT std::unique_ptr<Context> CreateScanBufferContext(int width, int height, int& error);
// Reads the current frame buffer into image, top row first, ARGB32 premultiplied.
GLBASE_EXPORT void ReadFrame(QImage& image, int width, int height);
// True when the window system offers a GL renderer that is not a software rasteriser.
GLBASE_EXPORT bool HardwareFormatAvailable();
// Remote X display or a forwarded/remote desktop session: the performance warnings are pointless there.
GLBASE_EXPORT bool IsRemoteSession();
GLBASE_EXPORT ScreenInfo DescribeScreen();

// Test seams: a replacement screen description (null restores the real one) and a millisecond frame clock.
GLBASE_EXPORT void SetScreenProbe(ScreenInfo (*probe)());
GLBASE_EXPORT void SetClock(qint64 (*clock)());
GLBASE_EXPORT qint64 NowMs();
// Test seam: the next context creation fails with this initialisation code (0 disables).
GLBASE_EXPORT void InjectFailure(int error);
// Test seam: the next count MakeCurrent calls fail, as they do when the device is lost or busy.
GLBASE_EXPORT void InjectMakeCurrentFailures(int count);
} // namespace GLPlatform

#endif
