// A soak: a thousand rounds of images, texts, widgets and layouts made and destroyed leave no GL
// object behind and memory where it was. Texture names are counted by wrapping the GL 1.1 calls
// the library makes through the dynamic linker, so only its own textures are seen.
#include "gllayout.h"
#include "support/render_fixture.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QResizeEvent>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // GCC installs no header for it
#endif

namespace
{
long s_iLiveTextures = 0;
} // namespace

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

struct Surface : TestSurface
{
    using GLFrameWidget::AgedImage;
};

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
        GL::GLText text;
        text.SetFont(QFont("DejaVu Sans", 9), &s);
        text.SetText(QString::fromUtf8("label %1 \xce\xb1\xce\xb2\xce\xb3 %2").arg(i).arg(i % 50), &s);
        text.SetColor(Qt::white);
        s.DrawTextW(text, true, nullptr);
        s.DeleteAgedImage(aged);
        s.DeleteLineImage(lines);
        s.EndViewPort(0, 0);
    };
    QImage image;
    EXPECT_TRUE(s.RenderToImage(&image));
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

// Images and texts made and deleted in a living widget, and widgets and layouts that come and go.
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
        QImage image;
        ASSERT_TRUE(kept.RenderToImage(&image));
    }
    EXPECT_EQ(s_iLiveTextures, before) << "the widget's release deletes the pools too";

    const auto [textures, memory] = GrowthOverRounds([](int i) {
        Surface gone;
        gone.resize(48 + i % 5, 32);
        Round(gone, i);
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
    });
    EXPECT_EQ(textures, 0) << "every destroyed widget deleted its textures";
    EXPECT_LT(memory, 16.0) << "memory grew over 950 widgets and layouts";
}
