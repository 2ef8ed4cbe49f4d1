// The least llvmpipe itself needs for each scene, without any plotting library: a colour-only
// framebuffer object stored top row first (as the software path draws), a clear, the scene's main
// primitives with the counts, sizes, blending and filtering glbase_scenes gives them, and the
// read-back as stored. Axes, labels and the ageing of the persistence picture are left out, so
// a library can only come close to these figures. Prints the scene programs' JSON line.
#define GL_GLEXT_PROTOTYPES
#include "scene_harness.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

namespace
{
using namespace scenes;

// Where glbase_scenes puts a plot's data area in its cell.
QRect DataRect(const QRect& cell) { return cell.adjusted(56, 10, -14, -26); }

// A context on Mesa's surfaceless platform, current with a one-pixel pbuffer that only carries it.
bool MakeContext()
{
    auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getDisplay)
        return false;
    EGLDisplay display = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API))
        return false;
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,     8,               EGL_ALPHA_SIZE,      8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count != 1)
        return false;
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
    return context != EGL_NO_CONTEXT && surface != EGL_NO_SURFACE &&
           eglMakeCurrent(display, surface, surface, context);
}

// The frame: an RGBA8 renderbuffer in a framebuffer object, top row first, with a top-down
// projection in pixels.
bool MakeFrame(int width, int height)
{
    GLuint framebuffer = 0, colour = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return false;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, width, height, 0, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0, 0, 0, 0);
    // One colour per primitive, as the surface draws: nothing to interpolate.
    glShadeModel(GL_FLAT);
    return true;
}

GLuint MakeTexture(GLint minFilter, GLint internalFormat, int width, int height, const void* pixels)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    return texture;
}

// One textured rectangle, texture rows v0 at the top to v1 at the bottom.
void DrawTexturedRect(GLuint texture, const QRect& rect, float v0, float v1)
{
    const float x0 = float(rect.left()), x1 = float(rect.left() + rect.width());
    const float y0 = float(rect.top()), y1 = float(rect.top() + rect.height());
    const float quad[] = {x0, y1, 0, v1, x1, y1, 1, v1, x1, y0, 1, v0, x0, y0, 0, v0};
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4ub(255, 255, 255, 255);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 16, quad);
    glTexCoordPointer(2, GL_FLOAT, 16, quad + 2);
    glDrawArrays(GL_QUADS, 0, 4);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
}

// The trace as a step line's vertices: sample i at x = i, each byte on the row the surface gives
// it (height - 1 - byte * height / 256); N + 1 vertices for the plain line, 2 N for the step line.
// Floats, as 65,536 samples run past 16-bit x (the surface switches to floats there too).
void TraceVertices(const QVector<double>& y, int height, bool step, std::vector<float>& out)
{
    auto row = [height](double v) {
        const int byte = std::clamp(int((v - cdTraceMin) / (cdTraceMax - cdTraceMin) * 255 + 0.5), 0, 255);
        return float(height - 1 - ((byte * height) >> 8));
    };
    const int n = y.size();
    out.clear();
    auto put = [&out](int x, float r) {
        out.push_back(float(x));
        out.push_back(r);
    };
    put(0, row(y[0]));
    for (int i = 0; i + 1 < n; ++i) {
        if (step)
            put(i, row(y[i + 1]));
        put(i + 1, row(y[i + 1]));
    }
    put(n, out.back());
}

// The line strip over a data area, shifted half a pixel onto pixel centres like a one-pixel pen.
void DrawTrace(const std::vector<float>& vertices, const QRect& data, int samples)
{
    glPushMatrix();
    glTranslatef(float(data.left()) + 0.5f, float(data.top()) + 0.5f, 0);
    glScalef(float(data.width()) / float(samples), 1, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices.data());
    glDrawArrays(GL_LINE_STRIP, 0, GLsizei(vertices.size() / 2));
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
}

// The frame as stored into `image`, which keeps its buffer from frame to frame.
void ReadFrame(QImage& image, int width, int height)
{
    if (image.width() != width || image.height() != height)
        image = QImage(width, height, QImage::Format_RGBA8888_Premultiplied);
    glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
}

quint32 Rgba(const QColor& c, int alpha = 255)
{
    const unsigned char bytes[4] = {(unsigned char)c.red(), (unsigned char)c.green(), (unsigned char)c.blue(),
                                    (unsigned char)alpha};
    quint32 v;
    std::memcpy(&v, bytes, 4);
    return v;
}

int RunTraces(const Args& args)
{
    const int points = TracePoints(args.scene);
    TraceData trace(points);
    std::vector<QRect> areas;
    if (args.scene == Scene::Panels) {
        const int w = args.width / 2, h = args.height / 2;
        for (int i = 0; i < 4; ++i)
            areas.push_back(DataRect(QRect((i % 2) * w, (i / 2) * h, w, h)));
    } else {
        areas.push_back(DataRect(QRect(0, 0, args.width, args.height)));
    }
    std::vector<float> vertices;
    const QColor colour = TraceColor();
    return RunAndReport("llvmpipe", args, [&](int frame, QImage& image) {
        trace.Update(frame);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4ub(GLubyte(colour.red()), GLubyte(colour.green()), GLubyte(colour.blue()), 255);
        for (const QRect& data : areas) {
            TraceVertices(trace.y, data.height(), args.scene == Scene::Step, vertices);
            DrawTrace(vertices, data, points);
        }
        ReadFrame(image, args.width, args.height);
        return glGetError() == GL_NO_ERROR;
    });
}

// The history in a ring of texture rows, one new row per frame, drawn as one rectangle over the
// data area (newest line at the top) that wraps round the ring.
int RunWaterfall(const Args& args)
{
    constexpr int ciRingRows = 1024;
    static_assert(ciRingRows >= ciWaterfallLines, "the ring holds the whole history");
    WaterfallData lines;
    std::vector<quint32> colours;
    for (const QColor& c : ColorTable())
        colours.push_back(Rgba(c));
    std::vector<quint32> ring(size_t(ciWaterfallColumns) * ciRingRows, 0);
    for (int row = 0; row < ciWaterfallLines; ++row)
        for (int c = 0; c < ciWaterfallColumns; ++c)
            ring[size_t(row) * ciWaterfallColumns + size_t(c)] = colours[lines.At(c, row)];
    const GLuint texture = MakeTexture(GL_NEAREST, GL_RGB, ciWaterfallColumns, ciRingRows, ring.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    const QRect data = DataRect(QRect(0, 0, args.width, args.height));
    int newest = ciWaterfallLines - 1;
    std::vector<quint32> line(ciWaterfallColumns);
    return RunAndReport("llvmpipe", args, [&](int, QImage& image) {
        const unsigned char* bytes = lines.NewLine();
        for (int c = 0; c < ciWaterfallColumns; ++c)
            line[size_t(c)] = colours[bytes[c]];
        newest = (newest + 1) % ciRingRows;
        glClear(GL_COLOR_BUFFER_BIT);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, newest, ciWaterfallColumns, 1, GL_RGBA, GL_UNSIGNED_BYTE, line.data());
        const float top = float(newest + 1) / ciRingRows;
        DrawTexturedRect(texture, data, top, top - float(ciWaterfallLines) / ciRingRows);
        ReadFrame(image, args.width, args.height);
        return glGetError() == GL_NO_ERROR;
    });
}

// The aged image's picture as the software path holds it, blended over the data area with the
// same filters and blend functions; it is painted once, as what fades it is the library's work.
int RunPersistence(const Args& args)
{
    TraceData trace(TracePoints(Scene::Trace));
    std::vector<unsigned char> hits;
    std::vector<double> density;
    for (int frame = 0; frame < 20; ++frame) {
        trace.Update(frame);
        RasteriseTrace(trace.y, hits);
        FadeDensity(hits, density);
    }
    const std::vector<QColor> table = ColorTable();
    std::vector<quint32> picture(density.size());
    for (size_t i = 0; i < density.size(); ++i)
        picture[i] = Rgba(table[254], int(density[i] * 255 + 0.5));
    const GLuint texture = MakeTexture(GL_LINEAR, GL_RGBA, ciDensityColumns, ciDensityRows, picture.data());
    const QRect data = DataRect(QRect(0, 0, args.width, args.height));
    return RunAndReport("llvmpipe", args, [&](int, QImage& image) {
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE_MINUS_DST_ALPHA, GL_ONE);
        DrawTexturedRect(texture, data, 0, 1);
        glDisable(GL_BLEND);
        ReadFrame(image, args.width, args.height);
        return glGetError() == GL_NO_ERROR;
    });
}
} // namespace

int main(int argc, char** argv)
{
    Args args;
    args.mode = "floor";
    if (!ParseArgs(argc, argv, args))
        return 2;
    if (!MakeContext() || !MakeFrame(args.width, args.height)) {
        std::fprintf(stderr, "llvmpipe_floor: no surfaceless EGL context with a framebuffer object\n");
        return 1;
    }
    switch (args.scene) {
    case Scene::Waterfall: return RunWaterfall(args);
    case Scene::Persistence: return RunPersistence(args);
    default: return RunTraces(args);
    }
}
