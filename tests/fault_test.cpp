// Faults a running application meets: a context that cannot be made current, and a driver that
// runs out of texture memory (acted out by wrapping the library's GL 1.1 calls).
#include "glplatform_p.h"
#include "support/render_fixture.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace
{
int s_iPassingTexImages = 0; // allocations let through before the failures start
int s_iFailingTexImages = 0; // then so many fail
bool s_bOutOfMemory = false;
} // namespace

extern "C" void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const void* data)
{
    using Proc = void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
    static auto real = reinterpret_cast<Proc>(dlsym(RTLD_NEXT, "glTexImage2D"));
    if (s_iFailingTexImages > 0 && s_iPassingTexImages-- <= 0) {
        --s_iFailingTexImages;
        s_bOutOfMemory = true;
        return;
    }
    real(target, level, internalFormat, width, height, border, format, type, data);
}

extern "C" GLenum glGetError()
{
    static auto real = reinterpret_cast<GLenum (*)()>(dlsym(RTLD_NEXT, "glGetError"));
    // The refused allocation's error comes first, as a driver records it before any later one.
    const GLenum error = real();
    if (s_bOutOfMemory) {
        s_bOutOfMemory = false;
        return GL_OUT_OF_MEMORY;
    }
    return error;
}

// The EGL calls a release makes, refused on demand after they ran: a driver that cannot give back
// a context or a drawable says so, and the release has to go on.
bool s_bRefuseRelease = false;

extern "C" EGLBoolean eglDestroySurface(EGLDisplay display, EGLSurface surface)
{
    static auto real = reinterpret_cast<EGLBoolean (*)(EGLDisplay, EGLSurface)>(dlsym(RTLD_NEXT, "eglDestroySurface"));
    return real(display, surface) && !s_bRefuseRelease;
}

extern "C" EGLBoolean eglDestroyContext(EGLDisplay display, EGLContext context)
{
    static auto real = reinterpret_cast<EGLBoolean (*)(EGLDisplay, EGLContext)>(dlsym(RTLD_NEXT, "eglDestroyContext"));
    return real(display, context) && !s_bRefuseRelease;
}

extern "C" EGLBoolean eglMakeCurrent(EGLDisplay display, EGLSurface draw, EGLSurface read, EGLContext context)
{
    using Proc = EGLBoolean (*)(EGLDisplay, EGLSurface, EGLSurface, EGLContext);
    static auto real = reinterpret_cast<Proc>(dlsym(RTLD_NEXT, "eglMakeCurrent"));
    return real(display, draw, read, context) && !(s_bRefuseRelease && context == EGL_NO_CONTEXT);
}

namespace
{
using GL = GLFrameWidget;

class Surface : public TestSurface
{
public:
    using GLFrameWidget::AgedImage;
    int iImage = -1;

    explicit Surface(int w = 32, int h = 16)
    {
        resize(w, h);
        QImage image;
        EXPECT_TRUE(RenderToImage(&image));
        iImage = CreateAgedImage();
        SetAgedImageBufferSize(iImage, w, h);
        SetAgedImageXAxis(iImage, 0, 1, w);
        SetAgedImageDestXAxis(iImage, 0, 1, w);
        SetAgedImageYAxis(iImage, 0, 1);
        SetAgedImageDestYAxis(iImage, 0, 1);
        SetAgeing(iImage, true);
    }
    // A frame of value 1 (white) fed and drawn; false when the frame could not be rendered.
    bool Frame(QImage& image)
    {
        const std::vector<unsigned char> data(size_t(width()) * size_t(height()), 1);
        paint = [&](TestSurface&) {
            BeginViewPort(0, 0, float(width()), float(height()));
            SetAgedImageData(iImage, 0, data.data(), width(), int(data.size()));
            DrawAgedImage(iImage);
            EndViewPort(0, 0);
        };
        return RenderToImage(&image);
    }
};

bool Stripped() { return qEnvironmentVariable("MESA_EXTENSION_OVERRIDE").contains("-GL_ARB_fragment_shader"); }

} // namespace

TEST(Faults, AContextThatCannotBeMadeCurrentSkipsFramesAndSparesTheOthers)
{
    RecordingErrorHandler errors;
    Surface a, b;
    QImage image;
    ASSERT_TRUE(a.Frame(image));
    GLPlatform::InjectMakeCurrentFailures(1);
    EXPECT_FALSE(a.Frame(image)) << "no frame without a current context";
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "wglMakeCurrent failed");
    EXPECT_EQ(errors.vLogged[0].sFunction, "MakeContextCurrent");
    ASSERT_TRUE(b.Frame(image)) << "another widget keeps working";
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
    ASSERT_TRUE(a.Frame(image)) << "the widget recovers with the next frame";
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));

    // Deleting an image needs its context: without one the names stay and the failure is told.
    const unsigned int texture = a.AgedImage(a.iImage)->uTextureA;
    ASSERT_NE(texture, 0u);
    errors.vLogged.clear();
    const int kept = a.CreateAgedImage();
    a.SetAgedImageBufferSize(kept, 8, 8);
    GLPlatform::InjectMakeCurrentFailures(1);
    a.SetAgedImageBufferSize(a.iImage, 16, 16);
    ASSERT_GE(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged.back().sMessage, "MakeContextCurrent failed");
    EXPECT_EQ(errors.vLogged.back().sFunction, "DeleteTextures");
    EXPECT_EQ(a.AgedImage(a.iImage)->uTextureA, texture) << "the names stay recorded";
    GLPlatform::InjectMakeCurrentFailures(0);
}

TEST(Faults, TextureMemoryRunningOutDropsTheFrameUntilThereIsRoom)
{
    RecordingErrorHandler errors;
    Surface s;
    QImage image;
    s_iFailingTexImages = 1;
    ASSERT_TRUE(s.Frame(image));
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "Out of texture memory");
    EXPECT_EQ(errors.vLogged[0].sFunction, "CreateTextures");
    EXPECT_EQ(image.pixel(5, 5), 0u) << "the frame that found no room is dropped";
    const GL::GLAgedImage* aged = s.AgedImage(s.iImage);
    EXPECT_EQ(aged->uTextureA | aged->uTextureB | aged->uDataTexture | aged->uFrameBuffer, 0u) << "nothing half made";
    ASSERT_TRUE(s.Frame(image));
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255)) << "the next frame finds room";
    EXPECT_EQ(aged->bFBOMode, !Stripped());
}

TEST(Faults, NoRoomForTheSecondPictureFallsBackToMemoryModeWithTheFrame)
{
    if (Stripped())
        GTEST_SKIP() << "memory mode has a single texture";
    RecordingErrorHandler errors;
    Surface s;
    ASSERT_TRUE(s.AgedImage(s.iImage)->bFBOMode);
    // Texture A is made; texture B is refused.
    s_iPassingTexImages = 1;
    s_iFailingTexImages = 1;
    QImage image;
    ASSERT_TRUE(s.Frame(image));
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "Out of texture memory");
    const GL::GLAgedImage* aged = s.AgedImage(s.iImage);
    EXPECT_FALSE(aged->bFBOMode);
    EXPECT_EQ(aged->uTextureB | aged->uDataTexture | aged->uFrameBuffer, 0u);
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255)) << "the frame is kept, in memory mode";
}

TEST(Faults, AReleaseThatFailsIsLoggedStepByStepAndGoesOn)
{
    RecordingErrorHandler errors;
    {
        Surface w;
        s_bRefuseRelease = true;
    }
    s_bRefuseRelease = false;
    std::vector<QString> failures;
    for (const RecordingErrorHandler::Entry& entry : errors.vLogged) {
        EXPECT_EQ(entry.sFunction, "ReleaseContextResources") << entry.sMessage.toStdString();
        failures.push_back(entry.sMessage);
    }
    const std::vector<QString> expected = {"SelectObject failed", "DeleteObject failed", "wglDeleteContext failed"};
    EXPECT_EQ(failures, expected);
    Surface next; // the display and the library are still usable
    QImage image;
    EXPECT_TRUE(next.Frame(image));
}
