#ifndef GLFRAMEWIDGET_PROCS_H
#define GLFRAMEWIDGET_PROCS_H

// Internal to the library, never installed: the entry points beyond GL 1.1 that the image paths
// call, and the pixel truncation they share.

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

// Process-wide like the driver's own entry points. A group is looked up at each context
// initialisation that detects its capability and is only ever replaced by a fresh look-up, so a
// widget that has the capability never sees a null entry.
struct GLExtensionProcs
{
    // Shaders and programs.
    PFNGLCREATESHADERPROC CreateShader;
    PFNGLDELETESHADERPROC DeleteShader;
    PFNGLSHADERSOURCEPROC ShaderSource;
    PFNGLCOMPILESHADERPROC CompileShader;
    PFNGLGETSHADERIVPROC GetShaderiv;
    PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog;
    PFNGLCREATEPROGRAMPROC CreateProgram;
    PFNGLDELETEPROGRAMPROC DeleteProgram;
    PFNGLATTACHSHADERPROC AttachShader;
    PFNGLLINKPROGRAMPROC LinkProgram;
    PFNGLGETPROGRAMIVPROC GetProgramiv;
    PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog;
    PFNGLUSEPROGRAMPROC UseProgram;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation;
    PFNGLGETATTRIBLOCATIONPROC GetAttribLocation;
    PFNGLUNIFORM1IPROC Uniform1i;
    PFNGLUNIFORM1FPROC Uniform1f;
    PFNGLVERTEXATTRIBPOINTERPROC VertexAttribPointer;
    PFNGLENABLEVERTEXATTRIBARRAYPROC EnableVertexAttribArray;
    PFNGLDISABLEVERTEXATTRIBARRAYPROC DisableVertexAttribArray;
    // Multitexturing.
    PFNGLACTIVETEXTUREPROC ActiveTexture;
    // Framebuffer objects.
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer;
    PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus;
};
extern GLExtensionProcs s_Gl;

// Truncation toward zero that stays defined for NaN and for values beyond int.
inline int TruncatePixel(float value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -1e9f, 1e9f));
}

#endif
