// Runs twice: as is, and with the blending, framebuffer and fragment shader extensions removed by Mesa.
#include "support/render_fixture.h"

#include <gtest/gtest.h>

TEST(Capabilities, FlagsFollowTheExtensionString)
{
    const QString overrides = qEnvironmentVariable("MESA_EXTENSION_OVERRIDE");
    const bool stripped =
        overrides.contains("-GL_EXT_framebuffer_object") && overrides.contains("-GL_ARB_fragment_shader");
    RecordingErrorHandler errors;
    TestSurface w;
    w.resize(8, 8);
    QImage img;
    ASSERT_TRUE(w.RenderToImage(&img));
    EXPECT_EQ(w.m_bBlendFuncSeparate, !overrides.contains("-GL_EXT_blend_func_separate"));
    EXPECT_EQ(w.m_bFrameBufferObject, !stripped);
    EXPECT_EQ(w.m_bIndexColorProgram, !stripped);
    EXPECT_EQ(w.m_bAgedImageProgram, !stripped);
    EXPECT_EQ(w.m_bAgeingProgram, !stripped);
    if (!stripped)
        EXPECT_TRUE(w.m_bMultiTexture) << "llvmpipe offers multitexturing";
    const QString expected = stripped ? " Framebuffer: - Shader: -\n" : " Framebuffer: OK Shader: OK\n";
    EXPECT_TRUE(w.info().endsWith(expected)) << w.info().toStdString();
    EXPECT_EQ(w.m_fLineOffsetY, w.info().contains("GlVendor: Intel") ? 0.46f : 0.5f);
    for (const auto& entry : errors.vLogged)
        ADD_FAILURE() << "unexpected log: " << entry.sFunction.toStdString() << ": " << entry.sMessage.toStdString();
}
