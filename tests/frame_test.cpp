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
} // namespace

TEST(Frame, SoftwareWarningAppearsOnTheSecondPaintOfTheProcessOnly)
{
    ASSERT_FALSE(qEnvironmentVariableIsSet("SSH_CONNECTION")) << "a remote session suppresses the warning";
    GLPlatform::SetClock(FakeClock);
    RecordingErrorHandler errors;
    TestSurface first, second;
    std::vector<size_t> shownAtFrame; // messages shown before each frame was drawn
    first.paint = second.paint = [&](TestSurface&) { shownAtFrame.push_back(errors.vShown.size()); };
    for (TestSurface* w : {&first, &second, &first, &second, &first}) {
        w->resize(16, 16);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        s_iNow += 20; // a frame interval on
        w->repaint();
    }
    ASSERT_GE(shownAtFrame.size(), 5u);
    EXPECT_EQ(shownAtFrame[0], 0u) << "one paint in the process does not warn";
    EXPECT_EQ(shownAtFrame[1], 1u) << "the second paint does";
    ASSERT_EQ(errors.vShown.size(), 1u) << "and no paint after it";
    EXPECT_EQ(errors.vShown[0].first, "Warning: OpenGL is running in software emulation mode.\n"
                                      "You should install the OpenGL driver for your graphics card.");
    EXPECT_FALSE(errors.vShown[0].second) << "a warning, not an error";
    EXPECT_TRUE(errors.Logged("Software emulation mode"));
    EXPECT_FALSE(errors.Logged("Antialiasing found")) << "the software path has no sample buffers";
    GLPlatform::SetClock(nullptr);
}

// In 2-D mode the surface sets a y-down projection of one unit per pixel; out of it, depth test,
// culling and an untouched projection are the subclass's to use.
TEST(Frame, TwoDModeSetsTheProjectionAndThreeDModeLeavesIt)
{
    for (bool flat : {true, false}) {
        TestSurface w;
        w.resize(20, 20);
        w.Set2DMode(flat);
        GLboolean depth = flat, cull = flat; // the wrong values until a frame reads them
        GLfloat projection[16] = {};
        w.paint = [&](TestSurface&) {
            depth = glIsEnabled(GL_DEPTH_TEST);
            cull = glIsEnabled(GL_CULL_FACE);
            glGetFloatv(GL_PROJECTION_MATRIX, projection);
        };
        QImage img;
        ASSERT_TRUE(w.RenderToImage(&img));
        EXPECT_EQ(depth, !flat);
        EXPECT_EQ(cull, !flat);
        EXPECT_FLOAT_EQ(projection[0], flat ? 2.0f / 20 : 1.0f);
        EXPECT_FLOAT_EQ(projection[5], flat ? -2.0f / 20 : 1.0f) << "y grows downwards";
    }
}
