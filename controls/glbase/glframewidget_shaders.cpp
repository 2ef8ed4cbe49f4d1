#include "glframewidget.h"
#include "glframewidget_procs.h"
#include "glplatform_p.h"

namespace
{
// Every entry point the image programs may call; all must exist before a program is attempted.
const char* const s_aShaderProcs[] = {
    "glCreateShader", "glDeleteShader", "glShaderSource", "glCompileShader", "glGetShaderInfoLog", "glGetShaderiv",
    "glCreateProgram", "glDeleteProgram", "glAttachShader", "glDetachShader", "glLinkProgram", "glUseProgram",
    "glValidateProgram", "glGetProgramiv", "glGetProgramInfoLog", "glGetAttribLocation", "glBindAttribLocation",
    "glVertexAttrib1f", "glVertexAttrib2f", "glVertexAttrib3f", "glVertexAttrib4f", "glVertexAttrib1s",
    "glVertexAttrib2s", "glVertexAttrib3s", "glVertexAttrib4s", "glVertexAttrib1fv", "glVertexAttrib2fv",
    "glVertexAttrib3fv", "glVertexAttrib4fv", "glVertexAttrib1sv", "glVertexAttrib2sv", "glVertexAttrib3sv",
    "glVertexAttrib4sv", "glVertexAttribPointer", "glEnableVertexAttribArray", "glDisableVertexAttribArray",
    "glGetUniformLocation", "glUniform1f", "glUniform2f", "glUniform3f", "glUniform4f", "glUniform1i",
    "glUniform2i", "glUniform3i", "glUniform4i", "glUniform1fv", "glUniform2fv", "glUniform3fv", "glUniform4fv",
    "glUniform1iv", "glUniform2iv", "glUniform3iv", "glUniform4iv", "glUniformMatrix2fv", "glUniformMatrix3fv",
    "glUniformMatrix4fv"};

const char* const s_pSourceA = "#version 110\n"
                               "attribute vec4 InVertex;\n"
                               "attribute vec2 InTexCoord0;\n"
                               "varying vec2 TexCoord0;\n"
                               "void main ()\n"
                               "  {\n"
                               "  TexCoord0 = InTexCoord0;\n"
                               "  gl_Position = gl_ModelViewProjectionMatrix * InVertex;\n"
                               "  }\n";
const char* const s_pSourceB = "#version 110\n"
                               "uniform sampler2D IndexTexture;\n"
                               "uniform sampler2D ColorTable;\n"
                               "varying vec2 TexCoord0;\n"
                               "void main ()\n"
                               "{\n"
                               "  vec4 Index = texture2D(IndexTexture, TexCoord0);\n"
                               "  gl_FragColor = texture2D(ColorTable, Index.st);\n"
                               "}\n";
const char* const s_pSourceC = "#version 110\n"
                               "attribute vec4 InVertex;\n"
                               "attribute vec2 InTexCoord0;\n"
                               "varying vec2 TexCoord0;\n"
                               "void main ()\n"
                               "  {\n"
                               "  TexCoord0 = InTexCoord0;\n"
                               "  gl_Position = InVertex;\n"
                               "  }\n";
// Paints a frame over the picture faded by fDiff, as the ageing program would have left it.
const char* const s_pSourceD = "#version 110\n"
                               "uniform sampler2D AgedTexture;\n"
                               "uniform sampler2D DataTexture;\n"
                               "uniform sampler2D ColorTable;\n"
                               "uniform float fDiff;\n"
                               "varying vec2 TexCoord0;\n"
                               "void main ()\n"
                               "{\n"
                               "  vec4 Data = texture2D(DataTexture, TexCoord0);\n"
                               "  if (Data.x == 0.0)\n"
                               "  {\n"
                               "    gl_FragColor = texture2D(AgedTexture, TexCoord0);\n"
                               "    gl_FragColor.a = gl_FragColor.a - fDiff;\n"
                               "  }\n"
                               "  else\n"
                               "  {\n"
                               "    gl_FragColor = texture2D(ColorTable, Data.st);\n"
                               "    gl_FragColor.a = 255.0;\n"
                               "  }\n"
                               "}\n";
const char* const s_pSourceE = "#version 110\n"
                               "uniform sampler2D AgedTexture;\n"
                               "uniform float fDiff;\n"
                               "varying vec2 TexCoord0;\n"
                               "void main ()\n"
                               "{\n"
                               "  gl_FragColor = texture2D(AgedTexture, TexCoord0);\n"
                               "  gl_FragColor.a = gl_FragColor.a - fDiff;\n"
                               "}\n";
// Shaders and programs keep their logs alike; an empty log is not reported.
template <typename GetIv, typename GetLog>
void ReportInfoLog(GLFrameWidget& widget, unsigned int object, GetIv getIv, GetLog getLog, const char* function)
{
    GLint length = 0;
    getIv(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0)
        return;
    QByteArray log(length, '\0');
    getLog(object, length, nullptr, log.data());
    widget.LogError(QString::fromLatin1(log.constData()), function);
}

} // namespace

GLExtensionProcs s_Gl{};

namespace
{
template <typename Proc>
void LoadProc(GLPlatform::Context& context, Proc& proc, const char* name)
{
    proc = reinterpret_cast<Proc>(context.ProcAddress(name));
}
} // namespace

bool GLFrameWidget::LoadShaderProcs()
{
    if (!m_pContext->HasProcs(s_aShaderProcs))
        return false;
    GLPlatform::Context& c = *m_pContext;
    LoadProc(c, s_Gl.CreateShader, "glCreateShader");
    LoadProc(c, s_Gl.DeleteShader, "glDeleteShader");
    LoadProc(c, s_Gl.ShaderSource, "glShaderSource");
    LoadProc(c, s_Gl.CompileShader, "glCompileShader");
    LoadProc(c, s_Gl.GetShaderiv, "glGetShaderiv");
    LoadProc(c, s_Gl.GetShaderInfoLog, "glGetShaderInfoLog");
    LoadProc(c, s_Gl.CreateProgram, "glCreateProgram");
    LoadProc(c, s_Gl.DeleteProgram, "glDeleteProgram");
    LoadProc(c, s_Gl.AttachShader, "glAttachShader");
    LoadProc(c, s_Gl.LinkProgram, "glLinkProgram");
    LoadProc(c, s_Gl.GetProgramiv, "glGetProgramiv");
    LoadProc(c, s_Gl.GetProgramInfoLog, "glGetProgramInfoLog");
    LoadProc(c, s_Gl.UseProgram, "glUseProgram");
    LoadProc(c, s_Gl.GetUniformLocation, "glGetUniformLocation");
    LoadProc(c, s_Gl.GetAttribLocation, "glGetAttribLocation");
    LoadProc(c, s_Gl.Uniform1i, "glUniform1i");
    LoadProc(c, s_Gl.Uniform1f, "glUniform1f");
    LoadProc(c, s_Gl.VertexAttribPointer, "glVertexAttribPointer");
    LoadProc(c, s_Gl.EnableVertexAttribArray, "glEnableVertexAttribArray");
    LoadProc(c, s_Gl.DisableVertexAttribArray, "glDisableVertexAttribArray");
    return true;
}

void GLFrameWidget::LoadCapabilityProcs()
{
    GLPlatform::Context& c = *m_pContext;
    if (m_bMultiTexture)
        LoadProc(c, s_Gl.ActiveTexture, "glActiveTexture");
    if (m_bFrameBufferObject) {
        LoadProc(c, s_Gl.GenFramebuffers, "glGenFramebuffers");
        LoadProc(c, s_Gl.DeleteFramebuffers, "glDeleteFramebuffers");
        LoadProc(c, s_Gl.BindFramebuffer, "glBindFramebuffer");
        LoadProc(c, s_Gl.FramebufferTexture2D, "glFramebufferTexture2D");
        LoadProc(c, s_Gl.CheckFramebufferStatus, "glCheckFramebufferStatus");
    }
}

bool GLFrameWidget::CreateShader(unsigned int type, unsigned int& shader, const char* source)
{
    shader = s_Gl.CreateShader(type);
    s_Gl.ShaderSource(shader, 1, &source, nullptr);
    s_Gl.CompileShader(shader);
    GLint status = 0;
    s_Gl.GetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == 1)
        return true;
    ReportInfoLog(*this, shader, s_Gl.GetShaderiv, s_Gl.GetShaderInfoLog, "CreateShader");
    s_Gl.DeleteShader(shader);
    shader = 0;
    return false;
}

bool GLFrameWidget::CreateProgram(unsigned int& program, unsigned int vertexShader, unsigned int fragmentShader)
{
    program = s_Gl.CreateProgram();
    if (vertexShader)
        s_Gl.AttachShader(program, vertexShader);
    if (fragmentShader)
        s_Gl.AttachShader(program, fragmentShader);
    s_Gl.LinkProgram(program);
    GLint status = 0;
    s_Gl.GetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == 1)
        return true;
    ReportInfoLog(*this, program, s_Gl.GetProgramiv, s_Gl.GetProgramInfoLog, "CreateProgram");
    s_Gl.DeleteProgram(program);
    program = 0;
    return false;
}

bool GLFrameWidget::BuildProgram(GLShaderProgram& p, const char* vertexSource, const char* fragmentSource,
                                 std::initializer_list<const char*> uniforms)
{
    if (!CreateShader(GL_VERTEX_SHADER, p.uVertexShader, vertexSource))
        return false;
    if (!CreateShader(GL_FRAGMENT_SHADER, p.uFragmentShader, fragmentSource)) {
        s_Gl.DeleteShader(p.uVertexShader);
        p.uVertexShader = 0;
        return false;
    }
    if (!CreateProgram(p.uProgram, p.uVertexShader, p.uFragmentShader)) {
        s_Gl.DeleteShader(p.uFragmentShader);
        s_Gl.DeleteShader(p.uVertexShader);
        p.uVertexShader = p.uFragmentShader = 0;
        return false;
    }
    s_Gl.UseProgram(p.uProgram);
    int slot = 0;
    for (const char* name : uniforms)
        p.aUniforms[slot++] = s_Gl.GetUniformLocation(p.uProgram, name);
    p.iInVertex = s_Gl.GetAttribLocation(p.uProgram, "InVertex");
    p.iInTexCoord0 = s_Gl.GetAttribLocation(p.uProgram, "InTexCoord0");
    s_Gl.UseProgram(0);
    return true;
}

void GLFrameWidget::BuildPrograms()
{
    if (!m_sExtensions.contains("GL_ARB_vertex_shader") || !m_sExtensions.contains("GL_ARB_fragment_shader") ||
        !LoadShaderProcs())
        return;
    // A failed program does not stop the next: each image path checks its own flag.
    m_bIndexColorProgram = BuildProgram(m_IndexColorProgram, s_pSourceA, s_pSourceB, {"IndexTexture", "ColorTable"});
    m_bAgedImageProgram = BuildProgram(m_AgedImageProgram, s_pSourceC, s_pSourceD,
                                       {"AgedTexture", "DataTexture", "ColorTable", "fDiff"});
    m_bAgeingProgram = BuildProgram(m_AgeingProgram, s_pSourceC, s_pSourceE, {"AgedTexture", "fDiff"});
}

void GLFrameWidget::DeletePrograms()
{
    const std::pair<bool*, GLShaderProgram*> programs[] = {{&m_bIndexColorProgram, &m_IndexColorProgram},
                                                           {&m_bAgedImageProgram, &m_AgedImageProgram},
                                                           {&m_bAgeingProgram, &m_AgeingProgram}};
    for (auto [built, p] : programs) {
        if (!*built)
            continue;
        s_Gl.DeleteProgram(p->uProgram);
        s_Gl.DeleteShader(p->uFragmentShader);
        s_Gl.DeleteShader(p->uVertexShader);
        *p = GLShaderProgram();
        *built = false;
    }
}
