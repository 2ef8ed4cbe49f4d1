// Faults a running application meets: a context that cannot be made current, a driver that runs
// out of texture memory and one that cannot give a context back (acted out by wrapping the GL 1.1
// and EGL calls the library makes through the dynamic linker).
#include "glplatform_p.h"
#include "support/render_fixture.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <optional>
#include <utility>

namespace
{
int s_iPassingTexImages = 0; // allocations let through before the failures start
int s_iFailingTexImages = 0; // then so many fail
bool s_bOutOfMemory = false;
bool s_bRefuseRelease = false; // the release calls run, then report failure
} // namespace

// Declares `real`: the wrapped function as the GL or EGL library defines it.
#define REAL(name, ...) static auto real = reinterpret_cast<__VA_ARGS__>(dlsym(RTLD_NEXT, #name))

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
        QImage image;
        EXPECT_TRUE(RenderToImage(&image));
        iImage = CreateAgedImage();
        SetAgedImageBufferSize(iImage, 32, 16);
        SetAgedImageXAxis(iImage, 0, 1, 32);
        SetAgedImageDestXAxis(iImage, 0, 1, 32);
        SetAgedImageYAxis(iImage, 0, 1);
        SetAgedImageDestYAxis(iImage, 0, 1);
        SetAgeing(iImage, true);
    }
    // The pixel at (5, 5) of a new frame, or no value when the frame could not be rendered.
    std::optional<QRgb> Frame()
    {
        const std::vector<unsigned char> data(32 * 16, 1);
        paint = [&](TestSurface&) {
            BeginViewPort(0, 0, 32, 16);
            SetAgedImageData(iImage, 0, data.data(), 32, int(data.size()));
            DrawAgedImage(iImage);
            EndViewPort(0, 0);
        };
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
} // namespace

TEST(Faults, AContextThatCannotBeMadeCurrentSkipsFramesAndSparesTheOthers)
{
    RecordingErrorHandler errors;
    Surface a, b;
    ASSERT_EQ(a.Frame(), cWhite);
    GLPlatform::InjectMakeCurrentFailures(1);
    EXPECT_EQ(a.Frame(), std::nullopt) << "no frame without a current context";
    EXPECT_EQ(Log(errors), QStringList("MakeContextCurrent: wglMakeCurrent failed"));
    EXPECT_EQ(b.Frame(), cWhite) << "another widget keeps working";
    EXPECT_EQ(a.Frame(), cWhite) << "the widget recovers with the next frame";

    // Deleting an image needs its context: without one the names stay and the failure is told.
    const unsigned int texture = a.Aged().uTextureA;
    ASSERT_NE(texture, 0u);
    a.SetAgedImageBufferSize(a.CreateAgedImage(), 8, 8);
    GLPlatform::InjectMakeCurrentFailures(1);
    a.SetAgedImageBufferSize(a.iImage, 16, 16);
    GLPlatform::InjectMakeCurrentFailures(0);
    EXPECT_EQ(Log(errors).back(), "DeleteTextures: MakeContextCurrent failed");
    EXPECT_EQ(a.Aged().uTextureA, texture) << "the names stay recorded";
}

// Without room for the first picture the frame is dropped and nothing is left half made; without
// room for the second (framebuffer mode only) the image falls back to memory mode and keeps the frame.
TEST(Faults, TextureMemoryRunningOut)
{
    const struct
    {
        int iPassing;
        bool bFrameKept, bFBOModeAfter;
    } cases[] = {{0, false, !Stripped()}, {1, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.iPassing);
        if (c.iPassing && Stripped())
            continue; // memory mode has a single texture
        RecordingErrorHandler errors;
        Surface s;
        ASSERT_EQ(s.Aged().bFBOMode, !Stripped());
        s_iPassingTexImages = c.iPassing;
        s_iFailingTexImages = 1;
        EXPECT_EQ(s.Frame(), c.bFrameKept ? cWhite : 0u);
        EXPECT_EQ(Log(errors), QStringList("CreateTextures: Out of texture memory"));
        const GLFrameWidget::GLAgedImage& aged = s.Aged();
        EXPECT_EQ((c.bFrameKept ? 0 : aged.uTextureA) | aged.uTextureB | aged.uDataTexture | aged.uFrameBuffer, 0u);
        EXPECT_EQ(s.Frame(), cWhite) << "the next frame finds room";
        EXPECT_EQ(aged.bFBOMode, c.bFBOModeAfter);
    }
}

TEST(Faults, AReleaseThatFailsIsLoggedStepByStepAndGoesOn)
{
    RecordingErrorHandler errors;
    {
        Surface w;
        s_bRefuseRelease = true;
    }
    s_bRefuseRelease = false;
    EXPECT_EQ(Log(errors), QStringList({"ReleaseContextResources: SelectObject failed",
                                     "ReleaseContextResources: DeleteObject failed",
                                     "ReleaseContextResources: wglDeleteContext failed"}));
    Surface next; // the display and the library are still usable
    EXPECT_EQ(next.Frame(), cWhite);
}
