// Many objects created and destroyed: no GL object outlives its owner and memory returns to where
// it was. Texture names are counted by wrapping the library's GL 1.1 calls, so only textures the
// library itself generates and deletes are seen.
#include "gllayout.h"
#include "support/render_fixture.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <QCoreApplication>
#include <QFont>
#include <QResizeEvent>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
// Declared here because GCC installs no header for the sanitizer's allocator interface.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace
{
long s_iLiveTextures = 0;
} // namespace

// The library calls these through the dynamic linker, so the executable's definitions win.
extern "C" void glGenTextures(GLsizei n, GLuint* names)
{
    static auto real = reinterpret_cast<void (*)(GLsizei, GLuint*)>(dlsym(RTLD_NEXT, "glGenTextures"));
    real(n, names);
    s_iLiveTextures += n;
}

extern "C" void glDeleteTextures(GLsizei n, const GLuint* names)
{
    static auto real = reinterpret_cast<void (*)(GLsizei, const GLuint*)>(dlsym(RTLD_NEXT, "glDeleteTextures"));
    for (GLsizei i = 0; i < n; ++i)
        s_iLiveTextures -= names[i] != 0;
    real(n, names);
}

namespace
{
using GL = GLFrameWidget;

// Under AddressSanitizer freed blocks wait in a quarantine and keep the resident size up, so the
// sanitizer's own count of live heap bytes is the measure there.
double MemoryInUseMiB()
{
#if defined(__SANITIZE_ADDRESS__)
    return double(__sanitizer_get_current_allocated_bytes()) / (1024.0 * 1024.0);
#else
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
#endif
}

class Surface : public TestSurface
{
public:
    using GLFrameWidget::AgedImage;
};

// One round in a paint pass: an aged image, a line image and two texts are made, drawn and
// deleted again. Returns the aged image's framebuffer (0 in memory mode) for checking afterwards.
unsigned int Round(Surface& s, int i)
{
    unsigned int framebuffer = 0;
    s.paint = [&](TestSurface&) {
        s.BeginViewPort(0, 0, 64, 32);
        const int aged = s.CreateAgedImage();
        s.SetAgedImageBufferSize(aged, 40 + i % 7, 16);
        s.SetAgedImageXAxis(aged, 0, 1, 40 + i % 7);
        s.SetAgedImageDestXAxis(aged, 0, 1, 64);
        s.SetAgedImageYAxis(aged, 0, 1);
        s.SetAgedImageDestYAxis(aged, 0, 1);
        s.SetAgeing(aged, true);
        const std::vector<unsigned char> frame(size_t(40 + i % 7) * 16, static_cast<unsigned char>(1 + i % 200));
        s.SetAgedImageData(aged, 0, frame.data(), 40 + i % 7, int(frame.size()));
        s.DrawAgedImage(aged);
        framebuffer = s.AgedImage(aged)->uFrameBuffer;

        const int lines = s.CreateLineImage();
        s.SetLineImageBufferHeight(lines, 300);
        s.SetLineImageXAxis(lines, 0, 1, 300);
        s.SetLineImageDestXAxis(lines, 0, 1, 64);
        s.SetLineImageYAxis(lines, 0, 300);
        s.SetLineImageDestYAxis(lines, 0, 300);
        const std::vector<unsigned char> line(300, static_cast<unsigned char>(i));
        for (unsigned long long stamp = 1; stamp <= 3; ++stamp)
            s.SetLineImageData(lines, stamp, line.data(), int(line.size()));
        s.DrawLineImage(lines);

        GL::GLText latin, greek;
        latin.SetFont(QFont("DejaVu Sans", 9), &s);
        latin.SetText(QString("label %1").arg(i), &s);
        latin.SetColor(Qt::white);
        greek.SetFont(QFont("DejaVu Sans", 9), &s);
        greek.SetText(QString::fromUtf8("\xce\xb1\xce\xb2\xce\xb3 %1").arg(i % 50), &s);
        greek.SetColor(Qt::white);
        s.DrawTextW(latin, true, nullptr);
        s.DrawTextW(greek, true, nullptr);

        s.DeleteAgedImage(aged);
        s.DeleteLineImage(lines);
        s.EndViewPort(0, 0);
    };
    QImage image;
    EXPECT_TRUE(s.RenderToImage(&image));
    return framebuffer;
}

} // namespace

TEST(Lifecycle, ImagesAndTextsLeaveNoGLObjectsAndNoMemoryBehind)
{
    const long before = s_iLiveTextures;
    {
        Surface s;
        s.resize(64, 32);
        std::vector<unsigned int> framebuffers;
        for (int i = 0; i < 50; ++i)
            framebuffers.push_back(Round(s, i));
        // The font atlas and the pools (text textures, released tiles) are kept for reuse; they
        // must not grow with the rounds.
        const long warm = s_iLiveTextures;
        const double warmMemory = MemoryInUseMiB();
        for (int i = 50; i < 1000; ++i)
            framebuffers.push_back(Round(s, i));
        EXPECT_EQ(s_iLiveTextures, warm) << "textures left over by 950 rounds";
        EXPECT_LT(MemoryInUseMiB() - warmMemory, 4.0) << "memory grew over 950 rounds";
        s.paint = [&](TestSurface&) {
            for (unsigned int f : framebuffers)
                ASSERT_FALSE(f != 0 && glIsFramebuffer(f)) << "framebuffer " << f << " outlived its image";
        };
        QImage image;
        ASSERT_TRUE(s.RenderToImage(&image));
    }
    EXPECT_EQ(s_iLiveTextures, before) << "the widget's release deletes the pools too";
}

TEST(Lifecycle, WidgetsAndLayoutsComeAndGoWithoutGrowth)
{
    const long before = s_iLiveTextures;
    auto cycle = [](int i) {
        Surface s;
        s.resize(48 + i % 5, 32);
        Round(s, i);
        GLLayout layout;
        layout.CreateStdLayout(1.0);
        GLBaseWidget top("top"), left("left"), right("right");
        layout.AddTopWidget(&top);
        layout.AddLeftRightWidget(&left, &right, 1.0);
        for (GLBaseWidget* panel : {&top, &left, &right})
            panel->SetBackgroundStyle(GL::GLFillStyle(GL::eFillSolid, QColor(20 * (i % 10), 40, 90), QColor()));
        layout.resize(120, 80);
        QResizeEvent resize(QSize(120, 80), QSize());
        QCoreApplication::sendEvent(&layout, &resize);
        QImage image;
        EXPECT_TRUE(layout.RenderToImage(&image));
        EXPECT_NE(image.pixel(60, 70), 0u) << "the layout drew its panels";
    };
    for (int i = 0; i < 50; ++i)
        cycle(i);
    const double warmMemory = MemoryInUseMiB();
    for (int i = 50; i < 1000; ++i)
        cycle(i);
    EXPECT_EQ(s_iLiveTextures, before) << "every destroyed widget deleted its textures";
    EXPECT_LT(MemoryInUseMiB() - warmMemory, 16.0) << "memory grew over 950 widgets and layouts";
}
