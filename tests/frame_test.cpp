// The warning counters are process-wide, so this binary owns them from its first paint.
#include "glplatform_p.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <QtTest>
#include <gtest/gtest.h>

namespace
{
qint64 s_iNow = 1000;
qint64 FakeClock() { return s_iNow; }

// A paint event through Qt, a frame interval after the last one.
void PaintOnce(TestSurface& w)
{
    s_iNow += 20;
    w.repaint();
}
} // namespace

TEST(Frame, SoftwareWarningAppearsOnTheSecondPaintOfTheProcessOnly)
{
    ASSERT_FALSE(qEnvironmentVariableIsSet("SSH_CONNECTION")) << "a remote session suppresses the warning";
    GLPlatform::SetClock(FakeClock);
    RecordingErrorHandler errors;
    TestSurface first, second;
    int frames = 0;
    size_t shownAtFirstFrame = 99, shownAtSecondFrame = 99;
    first.paint = second.paint = [&](TestSurface&) {
        ++frames;
        if (frames == 1)
            shownAtFirstFrame = errors.vShown.size();
        if (frames == 2)
            shownAtSecondFrame = errors.vShown.size();
    };
    first.resize(16, 16);
    second.resize(16, 16);
    first.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
    PaintOnce(first);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    for (int i = 0; i < 3; ++i) {
        PaintOnce(first);
        PaintOnce(second);
    }
    EXPECT_GE(frames, 8);
    EXPECT_EQ(shownAtFirstFrame, 0u) << "one paint in the process does not warn";
    EXPECT_EQ(shownAtSecondFrame, 1u) << "the second paint does";
    ASSERT_EQ(errors.vShown.size(), 1u) << "and no paint after it";
    EXPECT_EQ(errors.vShown[0].first, "Warning: OpenGL is running in software emulation mode.\n"
                                      "You should install the OpenGL driver for your graphics card.");
    EXPECT_FALSE(errors.vShown[0].second) << "a warning, not an error";
    EXPECT_TRUE(errors.Logged("Software emulation mode"));
    EXPECT_FALSE(errors.Logged("Antialiasing found")) << "the software path has no sample buffers";
    GLPlatform::SetClock(nullptr);
}

TEST(Frame, TwoDModeOffLeavesTheProjectionToTheSubclass)
{
    TestSurface w;
    w.resize(20, 20);
    w.Set2DMode(false);
    w.paint = [](TestSurface&) {
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    };
    QImage img;
    ASSERT_TRUE(w.RenderToImage(&img));
    const QImage flat = render(20, 20, [](TestSurface&) {
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        EXPECT_FLOAT_EQ(projection[0], 2.0f / 20);
        EXPECT_FLOAT_EQ(projection[5], -2.0f / 20) << "y grows downwards";
    });
    EXPECT_EQ(img.size(), flat.size());
}
