#include "glframewidget.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

void GLFrameWidget::DrawLines(GLLines& lines) { DrawPoints(lines.LineStyle(), lines.Vertices(), GL_LINES, false); }

namespace
{
// The segment as two triangles of the line's width, lighting the pixels a line strip lights. Across
// the segment it is shifted by the line shift, so that it is centred on its pixel row or column.
// Shifted lines start on a pixel centre and light the start pixel, not the end one: going left or
// up, that is the rectangle one pixel on. Unshifted ones run between pixel edges either way.
void AppendSegmentQuad(std::vector<float>& out, const float* a, const float* b, float halfWidth, float shift)
{
    const float dx = b[0] - a[0], dy = b[1] - a[1];
    const float length = std::hypot(dx, dy);
    if (length == 0)
        return;
    const float ux = dx / length, uy = dy / length;
    const float across = (ux + uy) * shift;
    const float along = shift == 0 ? 0 : (ux < 0 ? ux : 0) + (uy < 0 ? uy : 0);
    const float sx = shift - ux * across + ux * along, sy = shift - uy * across + uy * along;
    const float nx = -uy * halfWidth, ny = ux * halfWidth;
    const float x1 = a[0] + sx, y1 = a[1] + sy, x2 = b[0] + sx, y2 = b[1] + sy;
    out.insert(out.end(), {x1 + nx, y1 + ny, x1 - nx, y1 - ny, x2 - nx, y2 - ny,
                           x1 + nx, y1 + ny, x2 - nx, y2 - ny, x2 + nx, y2 + ny});
}
} // namespace

void GLFrameWidget::DrawPoints(const GLLineStyle& style, const std::vector<float>& vertices, unsigned int type,
                               bool close)
{
    if (!m_bContextCurrent || vertices.size() < 2 || style.Size() == 0 || style.LineStyle() == eLineNone)
        return;
    if (style.LineStyle() == eLineSolid) {
        DrawSolidSegments(style, vertices, type == GL_LINES, close);
        return;
    }
    // Dotted lines keep GL's lines for the stipple, which runs on across the segments of a strip.
    // One-pixel lines on integer coordinates would straddle two pixels; the shift puts them on centres.
    const QPointF shift = BeginLineStyle(style);
    glTranslatef(float(shift.x()), float(shift.y()), 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices.data());
    BeginColor(style.FgColor());
    const GLsizei count = GLsizei(vertices.size() / 2);
    glDrawArrays(type, 0, count);
    if (close && count > 1) {
        const GLuint closing[] = {GLuint(count - 1), 0};
        glDrawElements(type, 2, GL_UNSIGNED_INT, closing);
    }
    EndColor(style.FgColor());
    glDisableClientState(GL_VERTEX_ARRAY);
    EndLineStyle(style);
    glTranslatef(-float(shift.x()), -float(shift.y()), 0);
}

// Axis-aligned segments, and at ratios other than 1 every segment, are drawn as rectangles in
// logical units, whose pixels the fill rule fixes: rasterisers disagree on the first pixel of a
// line that starts on a pixel centre (llvmpipe drops it for lines going down), and at other ratios
// GL's wide lines cannot be both centred on the right device rows and start on the first device
// column. Diagonal segments at ratio 1 stay GL lines.
void GLFrameWidget::DrawSolidSegments(const GLLineStyle& style, const std::vector<float>& vertices, bool pairs,
                                      bool close)
{
    // Exactly half a pixel, not the vendor's line offset: a rectangle's pixels follow the fill rule,
    // which no driver bends.
    const float shift = style.OddSize() ? 0.5f : 0.0f;
    const float halfWidth = style.Size() * 0.5f;
    std::vector<float>& quads = m_vSegmentQuads;
    std::vector<float>& diagonals = m_vDiagonalSegments;
    quads.clear();
    diagonals.clear();
    auto add = [&](const float* a, const float* b) {
        if (m_fPixelRatio != 1 || a[0] == b[0] || a[1] == b[1])
            AppendSegmentQuad(quads, a, b, halfWidth, shift);
        else
            diagonals.insert(diagonals.end(), {a[0], a[1], b[0], b[1]});
    };
    const size_t count = vertices.size() / 2;
    const float* v = vertices.data();
    for (size_t i = 0; i + 1 < count; i += pairs ? 2 : 1)
        add(v + 2 * i, v + 2 * i + 2);
    if (close && !pairs && count > 1)
        add(v + 2 * (count - 1), v);
    glEnableClientState(GL_VERTEX_ARRAY);
    BeginColor(style.FgColor());
    if (!quads.empty()) {
        glVertexPointer(2, GL_FLOAT, 0, quads.data());
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(quads.size() / 2));
    }
    if (!diagonals.empty()) {
        const QPointF lineShift = BeginLineStyle(style);
        glTranslatef(float(lineShift.x()), float(lineShift.y()), 0);
        glVertexPointer(2, GL_FLOAT, 0, diagonals.data());
        glDrawArrays(GL_LINES, 0, GLsizei(diagonals.size() / 2));
        glTranslatef(-float(lineShift.x()), -float(lineShift.y()), 0);
        EndLineStyle(style);
    }
    EndColor(style.FgColor());
    glDisableClientState(GL_VERTEX_ARRAY);
}

namespace
{
// Collects the tessellator's output as independent triangles. Vertices are named by index: the
// polygon's own first, then the crossings the tessellator adds.
struct Triangulation
{
    const std::vector<float>& vVertices;
    std::vector<float> vCrossings;
    std::vector<float> vTriangles;
    bool bFailed = false;
};

void OnVertex(void* data, void* polygon)
{
    auto* t = static_cast<Triangulation*>(polygon);
    const size_t index = 2 * reinterpret_cast<size_t>(data);
    const bool own = index < t->vVertices.size();
    const float* xy = own ? &t->vVertices[index] : &t->vCrossings[index - t->vVertices.size()];
    t->vTriangles.push_back(xy[0]);
    t->vTriangles.push_back(xy[1]);
}

// Forcing edge-flag reporting makes the tessellator emit plain triangles only, never fans or strips.
void OnEdgeFlag(GLboolean, void*) {}
void OnError(GLenum, void* polygon) { static_cast<Triangulation*>(polygon)->bFailed = true; }

// Outlines that cross themselves (a bow tie, a star in one stroke) need a vertex at each crossing.
void OnCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* polygon)
{
    auto* t = static_cast<Triangulation*>(polygon);
    *out = reinterpret_cast<void*>((t->vVertices.size() + t->vCrossings.size()) / 2);
    t->vCrossings.push_back(float(coords[0]));
    t->vCrossings.push_back(float(coords[1]));
}

std::vector<float> Triangulate(const std::vector<float>& vertices)
{
    Triangulation result{vertices, {}, {}, false};
    GLUtesselator* tess = gluNewTess();
    if (!tess)
        return {};
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(OnVertex));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(OnEdgeFlag));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(OnError));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(OnCombine));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
    std::vector<GLdouble> coords(vertices.size() / 2 * 3);
    gluTessBeginPolygon(tess, &result);
    gluTessBeginContour(tess);
    for (size_t i = 0; i < vertices.size() / 2; ++i) {
        coords[3 * i] = vertices[2 * i];
        coords[3 * i + 1] = vertices[2 * i + 1];
        coords[3 * i + 2] = 0;
        gluTessVertex(tess, &coords[3 * i], reinterpret_cast<void*>(i));
    }
    gluTessEndContour(tess);
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    if (result.bFailed)
        result.vTriangles.resize(result.vTriangles.size() / 6 * 6);
    return result.vTriangles;
}
} // namespace

void GLFrameWidget::FillConcave(const GLPolygon& polygon)
{
    const std::vector<float> triangles = Triangulate(const_cast<GLPolygon&>(polygon).Vertices());
    if (triangles.empty())
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, triangles.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(triangles.size() / 2));
    glDisableClientState(GL_VERTEX_ARRAY);
}

void GLFrameWidget::DrawPolygon(GLPolygon& polygon, bool close)
{
    if (!m_bContextCurrent || polygon.VertexCount() == 0)
        return;
    const GLFillStyle& fill = polygon.GetFillStyle();
    const float shift = FillShift();
    glTranslatef(shift, shift, 0);
    switch (fill.FillStyle()) {
    case eFillSolid:
    case eFillSolidConcave:
        PremultipliedColor(fill.FgColor());
        if (fill.FgColor().alpha() != 255)
            BeginBlend(true);
        if (fill.FillStyle() == eFillSolid) {
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(2, GL_FLOAT, 0, polygon.VertexData());
            glDrawArrays(GL_TRIANGLE_FAN, 0, polygon.VertexCount());
            glDisableClientState(GL_VERTEX_ARRAY);
        } else {
            FillConcave(polygon);
        }
        if (fill.FgColor().alpha() != 255)
            EndBlend();
        break;
    case eFillHGradient:
    case eFillVGradient: {
        if (polygon.NeedsRecalc()) {
            polygon.CalcColors();
            polygon.SetRecalcDone();
        }
        const bool blend = fill.FgColor().alpha() != 255 || fill.BgColor().alpha() != 255;
        if (blend)
            BeginBlend(true);
        glShadeModel(GL_SMOOTH);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, polygon.VertexData());
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, polygon.Colors().data());
        glDrawArrays(GL_TRIANGLE_FAN, 0, polygon.VertexCount());
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glShadeModel(GL_FLAT);
        if (blend)
            EndBlend();
        break;
    }
    default:
        break;
    }
    glTranslatef(-shift, -shift, 0);
    DrawPoints(polygon.GetLineStyle(), polygon.Vertices(), GL_LINE_STRIP, close);
}

namespace
{
int TextureEdge(int size)
{
    int edge = 4;
    while (edge < size)
        edge *= 2;
    return edge;
}
} // namespace

void GLFrameWidget::DrawImage(int x, int y, int w, int h, const QImage& image)
{
    if (!m_bContextCurrent || image.isNull() || w <= 0 || h <= 0)
        return;
    const int texW = TextureEdge(image.width());
    const int texH = TextureEdge(image.height());
    // Larger images are not split into tiles: drawing them would fail inside the driver.
    if (texW > m_iMaxTextureSize || texH > m_iMaxTextureSize) {
        LogError("Image larger than the maximum texture size", "DrawImage");
        return;
    }
    const int rowWidth = ((image.width() - 1) / 4) * 4 + 4;
    QImage pixels = rowWidth != image.width() ? image.copy(0, 0, rowWidth, image.height()) : image;
    if (pixels.format() != QImage::Format_ARGB32)
        pixels = pixels.convertToFormat(QImage::Format_ARGB32);

    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    BeginBlend(false);
    glColor4f(1, 1, 1, 1);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texW, texH, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, rowWidth, pixels.height(), GL_BGRA, GL_UNSIGNED_BYTE, pixels.constBits());
    const float s = float(image.width()) / texW;
    const float t = float(image.height()) / texH;
    const float corners[] = {float(x), float(y + h), float(x + w), float(y + h), float(x + w), float(y), float(x), float(y)};
    const float coords[] = {0, t, s, t, s, 0, 0, 0};
    glVertexPointer(2, GL_FLOAT, 0, corners);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
    glDrawArrays(GL_QUADS, 0, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &texture);
    EndBlend();
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
}
