// Faults a running application meets (a context that cannot be made current or given back, texture
// memory running out) and a soak (a thousand rounds of images, texts and widgets leave no GL object behind
// and memory where it was; a ctest entry of its own). Both wrap the library's GL and EGL calls.
#include "glplatform_p.h"
#include "support/render_fixture.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <QFile>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <tuple>
#include <unistd.h>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // GCC installs no header for it
#endif

namespace
{
int s_iPassingTexImages = 0; // allocations let through before the failures start
int s_iFailingTexImages = 0; // then so many fail
bool s_bOutOfMemory = false;
bool s_bRefuseRelease = false; // the release calls run, then report failure
long s_iLiveTextures = 0;
} // namespace

// Declares `real`: the wrapped function as the GL or EGL library defines it.
#define REAL(name, ...) static auto real = reinterpret_cast<__VA_ARGS__>(dlsym(RTLD_NEXT, #name))

extern "C" void glGenTextures(GLsizei n, GLuint* names)
{
    REAL(glGenTextures, void (*)(GLsizei, GLuint*));
    real(n, names);
    s_iLiveTextures += n;
}

extern "C" void glDeleteTextures(GLsizei n, const GLuint* names)
{
    REAL(glDeleteTextures, void (*)(GLsizei, const GLuint*));
    for (GLsizei i = 0; i < n; ++i)
        s_iLiveTextures -= names[i] != 0;
    real(n, names);
}

extern "C" void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const void* data)
{
    REAL(glTexImage2D, void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*));
    if (s_iFailingTexImages > 0 && s_iPassingTexImages-- <= 0) {
        --s_iFailingTexImages;
        s_bOutOfMemory = true;
        return;
    }
    real(target, level, internalFormat, width, height, border, format, type, data);
}

extern "C" GLenum glGetError()
{
    REAL(glGetError, GLenum (*)());
    const GLenum error = real(); // the refused allocation's error comes first, as a driver records it
    return std::exchange(s_bOutOfMemory, false) ? GLenum(GL_OUT_OF_MEMORY) : error;
}

extern "C" EGLBoolean eglDestroySurface(EGLDisplay display, EGLSurface surface)
{
    REAL(eglDestroySurface, EGLBoolean (*)(EGLDisplay, EGLSurface));
    return real(display, surface) && !s_bRefuseRelease;
}

extern "C" EGLBoolean eglDestroyContext(EGLDisplay display, EGLContext context)
{
    REAL(eglDestroyContext, EGLBoolean (*)(EGLDisplay, EGLContext));
    return real(display, context) && !s_bRefuseRelease;
}

extern "C" EGLBoolean eglMakeCurrent(EGLDisplay display, EGLSurface draw, EGLSurface read, EGLContext context)
{
    REAL(eglMakeCurrent, EGLBoolean (*)(EGLDisplay, EGLSurface, EGLSurface, EGLContext));
    return real(display, draw, read, context) && !(s_bRefuseRelease && context == EGL_NO_CONTEXT);
}

namespace
{
bool Stripped() { return qEnvironmentVariable("MESA_EXTENSION_OVERRIDE").contains("-GL_ARB_fragment_shader"); }

// A surface with one ageing image; each Frame feeds it value 1 (white) and draws it.
class Surface : public TestSurface
{
public:
    using GLFrameWidget::AgedImage;
    int iImage = -1;

    Surface()
    {
        resize(32, 16);
        EXPECT_TRUE(Frame());
        iImage = CreateAgedImage();
        SetAgedImageBufferSize(iImage, 32, 16);
        SetAgedImageXAxis(iImage, 0, 1, 32);
        SetAgedImageDestXAxis(iImage, 0, 1, 32);
        SetAgedImageYAxis(iImage, 0, 1);
        SetAgedImageDestYAxis(iImage, 0, 1);
        SetAgeing(iImage, true);
        paint = [this](TestSurface&) {
            const std::vector<unsigned char> data(32 * 16, 1);
            BeginViewPort(0, 0, 32, 16);
            SetAgedImageData(iImage, 0, data.data(), 32, int(data.size()));
            DrawAgedImage(iImage);
            EndViewPort(0, 0);
        };
    }
    // The pixel at (5, 5) of a new frame, or no value when the frame could not be rendered.
    std::optional<QRgb> Frame()
    {
        QImage image;
        return RenderToImage(&image) ? std::optional<QRgb>(image.pixel(5, 5)) : std::nullopt;
    }
    const GLAgedImage& Aged() { return *AgedImage(iImage); }
};

const QRgb cWhite = qRgb(255, 255, 255);

// What was logged, one "function: message" entry each.
QStringList Log(const RecordingErrorHandler& errors)
{
    QStringList log;
    for (const RecordingErrorHandler::Entry& entry : errors.vLogged)
        log << entry.sFunction + ": " + entry.sMessage;
    return log;
}

// Under AddressSanitizer freed blocks wait in a quarantine and keep the resident size up, so the
// sanitizer's count of live heap bytes is the measure there.
double MemoryInUseMiB()
{
#if defined(__SANITIZE_ADDRESS__)
    return double(__sanitizer_get_current_allocated_bytes()) / (1024.0 * 1024.0);
#else
    QFile statm("/proc/self/statm"); // pages in all, then resident pages
    const double resident = statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toDouble() : 0;
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
#endif
}

// One frame that makes, draws and deletes an aged image, a line image and a text of mixed scripts;
// returns the aged image's framebuffer (0 in memory mode) for checking afterwards.
unsigned int Round(Surface& s, int i)
{
    unsigned int framebuffer = 0;
    const int columns = 40 + i % 7;
    s.paint = [&](TestSurface&) {
        s.BeginViewPort(0, 0, 64, 32);
        const int aged = s.CreateAgedImage(), lines = s.CreateLineImage();
        s.SetAgedImageBufferSize(aged, columns, 16);
        s.SetAgedImageXAxis(aged, 0, 1, columns);
        s.SetAgedImageDestXAxis(aged, 0, 1, 64);
        s.SetAgedImageYAxis(aged, 0, 1);
        s.SetAgedImageDestYAxis(aged, 0, 1);
        s.SetAgeing(aged, true);
        const std::vector<unsigned char> frame(size_t(columns) * 16, static_cast<unsigned char>(1 + i % 200));
        s.SetAgedImageData(aged, 0, frame.data(), columns, int(frame.size()));
        s.DrawAgedImage(aged);
        framebuffer = s.AgedImage(aged)->uFrameBuffer;
        s.SetLineImageBufferHeight(lines, 300);
        s.SetLineImageXAxis(lines, 0, 1, 300);
        s.SetLineImageDestXAxis(lines, 0, 1, 64);
        s.SetLineImageYAxis(lines, 0, 300);
        s.SetLineImageDestYAxis(lines, 0, 300);
        const std::vector<unsigned char> line(300, static_cast<unsigned char>(i));
        for (unsigned long long stamp = 1; stamp <= 3; ++stamp)
            s.SetLineImageData(lines, stamp, line.data(), int(line.size()));
        s.DrawLineImage(lines);
        GLFrameWidget::GLText text;
        text.SetFont(QFont("DejaVu Sans", 9), &s);
        text.SetText(QString::fromUtf8("label %1 \xce\xb1\xce\xb2\xce\xb3 %2").arg(i).arg(i % 50), &s);
        s.DrawTextW(text, true, nullptr);
        s.DeleteAgedImage(aged);
        s.DeleteLineImage(lines);
        s.EndViewPort(0, 0);
    };
    EXPECT_TRUE(s.Frame());
    return framebuffer;
}

// Runs 50 warm-up rounds, then 950 more, and returns what those added: live textures and MiB of memory.
template <class Fn>
std::pair<long, double> GrowthOverRounds(Fn round)
{
    for (int i = 0; i < 50; ++i)
        round(i);
    const long textures = s_iLiveTextures;
    const double memory = MemoryInUseMiB();
    for (int i = 50; i < 1000; ++i)
        round(i);
    return {s_iLiveTextures - textures, MemoryInUseMiB() - memory};
}
} // namespace

// A context that cannot be made current skips the frame, or keeps the names of the textures it was to
// delete, and spares the other widgets; a context whose release fails is logged step by step.
TEST(Faults, AContextThatCannotBeMadeCurrentOrReleasedIsLoggedAndSparesTheOthers)
{
    RecordingErrorHandler errors;
    Surface a;
    auto b = std::make_unique<Surface>();
    ASSERT_EQ(a.Frame(), cWhite);
    GLPlatform::InjectMakeCurrentFailures(1);
    EXPECT_EQ(a.Frame(), std::nullopt) << "no frame without a current context";
    EXPECT_EQ(b->Frame(), cWhite) << "another widget keeps working";
    EXPECT_EQ(a.Frame(), cWhite) << "the widget recovers with the next frame";

    const unsigned int texture = a.Aged().uTextureA;
    ASSERT_NE(texture, 0u);
    a.SetAgedImageBufferSize(a.CreateAgedImage(), 8, 8);
    GLPlatform::InjectMakeCurrentFailures(1);
    a.SetAgedImageBufferSize(a.iImage, 16, 16);
    GLPlatform::InjectMakeCurrentFailures(0);
    EXPECT_EQ(a.Aged().uTextureA, texture) << "the names stay recorded";

    s_bRefuseRelease = true;
    b.reset();
    s_bRefuseRelease = false;
    EXPECT_EQ(Log(errors), QStringList({"MakeContextCurrent: wglMakeCurrent failed",
                                        "MakeContextCurrent: wglMakeCurrent failed",
                                        "DeleteTextures: MakeContextCurrent failed",
                                        "ReleaseContextResources: SelectObject failed",
                                        "ReleaseContextResources: DeleteObject failed",
                                        "ReleaseContextResources: wglDeleteContext failed"}));
    EXPECT_EQ(Surface().Frame(), cWhite) << "the display and the library are still usable";
}

// Without room for the first picture the frame is dropped and nothing is left half made; without
// room for the second (framebuffer mode only) the image falls back to memory mode and keeps the frame.
TEST(Faults, TextureMemoryRunningOut)
{
    // Allocations that pass before one fails, whether the frame is kept, framebuffer mode afterwards.
    const std::tuple<int, bool, bool> cases[] = {{0, false, !Stripped()}, {1, true, false}};
    for (const auto& [passing, frameKept, fboModeAfter] : cases) {
        SCOPED_TRACE(passing);
        if (passing && Stripped())
            continue; // memory mode has a single texture
        RecordingErrorHandler errors;
        Surface s;
        ASSERT_EQ(s.Aged().bFBOMode, !Stripped());
        s_iPassingTexImages = passing;
        s_iFailingTexImages = 1;
        EXPECT_EQ(s.Frame(), frameKept ? cWhite : 0u);
        EXPECT_EQ(Log(errors), QStringList("CreateTextures: Out of texture memory"));
        const GLFrameWidget::GLAgedImage& aged = s.Aged();
        EXPECT_EQ((frameKept ? 0 : aged.uTextureA) | aged.uTextureB | aged.uDataTexture | aged.uFrameBuffer, 0u);
        EXPECT_EQ(s.Frame(), cWhite) << "the next frame finds room";
        EXPECT_EQ(aged.bFBOMode, fboModeAfter);
    }
}

// Images and texts made and deleted in a living widget, and widgets that come and go.
TEST(Lifecycle, AThousandRoundsLeaveNoGLObjectAndNoMemoryBehind)
{
    const long before = s_iLiveTextures;
    {
        Surface kept;
        kept.resize(64, 32);
        std::vector<unsigned int> framebuffers;
        // The font atlas and the pools of text textures and tiles are kept for reuse, but must not grow.
        const auto [textures, memory] = GrowthOverRounds([&](int i) { framebuffers.push_back(Round(kept, i)); });
        EXPECT_EQ(textures, 0) << "textures left over by 950 rounds";
        EXPECT_LT(memory, 4.0) << "memory grew over 950 rounds";
        kept.paint = [&](TestSurface&) {
            for (unsigned int f : framebuffers)
                ASSERT_FALSE(f != 0 && glIsFramebuffer(f)) << "framebuffer " << f << " outlived its image";
        };
        ASSERT_TRUE(kept.Frame());
    }
    EXPECT_EQ(s_iLiveTextures, before) << "the widget's release deletes the pools too";

    const auto [textures, memory] = GrowthOverRounds([](int i) {
        Surface gone;
        gone.resize(48 + i % 5, 32);
        Round(gone, i);
    });
    EXPECT_EQ(textures, 0) << "every destroyed widget deleted its textures";
    EXPECT_LT(memory, 16.0) << "memory grew over 950 widgets";
}
