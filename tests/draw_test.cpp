#include "support/render_fixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

using GL = GLFrameWidget;

namespace
{
GL::GLLines Segment(float x1, float y1, float x2, float y2, GL::GLLineStyle style)
{
    GL::GLLines lines;
    lines.SetLineStyle(style);
    lines.AddLine(x1, y1, x2, y2);
    return lines;
}

const QColor Red(255, 0, 0);

// The GL state every drawing operation promises to leave as it found it.
struct GLState
{
    GLboolean blend, stipple, vertexArray, colorArray, texCoordArray, texture2D, scissor, stencil;
    GLfloat modelView[16];
    bool operator==(const GLState& o) const
    {
        return blend == o.blend && stipple == o.stipple && vertexArray == o.vertexArray &&
               colorArray == o.colorArray && texCoordArray == o.texCoordArray && texture2D == o.texture2D &&
               scissor == o.scissor && stencil == o.stencil && std::equal(modelView, modelView + 16, o.modelView);
    }
};

GLState Snapshot()
{
    GLState s;
    s.blend = glIsEnabled(GL_BLEND);
    s.stipple = glIsEnabled(GL_LINE_STIPPLE);
    s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
    s.colorArray = glIsEnabled(GL_COLOR_ARRAY);
    s.texCoordArray = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
    s.texture2D = glIsEnabled(GL_TEXTURE_2D);
    s.scissor = glIsEnabled(GL_SCISSOR_TEST);
    s.stencil = glIsEnabled(GL_STENCIL_TEST);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelView);
    return s;
}
} // namespace

TEST(Records, LinesRunAlongTheirMajorAxisOnePixelLonger)
{
    GL::GLLines lines;
    lines.AddLine(7, 7, 7, 7);
    EXPECT_TRUE(lines.Vertices().empty());
    lines.AddLine(10, 5, 3, 5);
    lines.AddLine(4, 9, 4, 2);
    lines.AddLine(0, 0, 3, 3);
    EXPECT_EQ(lines.Vertices(), (std::vector<float>{3, 5, 11, 5, 4, 2, 4, 10, 0, 0, 4, 3}));
}

TEST(Records, PolygonBoxRectAndStyles)
{
    GL::GLPolygon p;
    EXPECT_EQ(p.Left(), 1e6f);
    EXPECT_EQ(p.Width(), -2e6f);
    p.SetRect(1, 2, 10, 20);
    EXPECT_EQ(std::vector<float>(p.VertexData(), p.VertexData() + 8), (std::vector<float>{1, 22, 1, 2, 11, 2, 11, 22}));
    p.SetRecalcDone();
    p.SetRect(1, 2, 10, 20);
    EXPECT_FALSE(p.NeedsRecalc()) << "the same rectangle keeps the colour cache";
    p.SetRect(1, 2, 10, 21);
    EXPECT_TRUE(p.NeedsRecalc());
    EXPECT_EQ(p.VertexCount(), 4);
    p.SetRect(2e6f, 3e6f, 5e6f, 1e6f);
    EXPECT_EQ(p.Left(), 2e6f) << "a box wholly beyond the empty box's bounds is its own";
    EXPECT_EQ(p.Top(), 3e6f);
    EXPECT_EQ(p.Width(), 5e6f);
    p.Clear();
    p.AddVertex(-3e6f, -4e6f);
    EXPECT_EQ(p.Left() + p.Width(), -3e6f);
    EXPECT_EQ(p.Top() + p.Height(), -4e6f);

    EXPECT_TRUE(GL::GLLineStyle().EvenSize());
    EXPECT_TRUE(GL::GLLineStyle(GL::eLineSolid, 3, Red).OddSize());
    EXPECT_NE(GL::GLFillStyle(GL::eFillSolid, QColor(), Red), GL::GLFillStyle(GL::eFillSolid, Qt::black, Red));
}

TEST(Records, GradientColoursArePremultipliedAndTruncated)
{
    GL::GLPolygon p;
    p.SetFillStyle(GL::GLFillStyle(GL::eFillHGradient, QColor(255, 0, 0, 128), QColor(0, 0, 255, 255)));
    p.AddVertex(0, 0);
    p.AddVertex(0, 10);
    p.AddVertex(0, 5);
    p.CalcColors();
    EXPECT_EQ(p.Colors(), (std::vector<unsigned char>{128, 0, 0, 128, 0, 0, 255, 255, 64, 0, 127, 191}));
    p.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Red, Red));
    p.CalcColors();
    EXPECT_TRUE(p.Colors().empty());
}

TEST(Lines, OnePixelLineCoversItsEndPoints)
{
    const QImage img = render(40, 20, [](TestSurface& w) {
        auto lines = Segment(10, 5, 20, 5, GL::GLLineStyle(GL::eLineSolid, 1, Red));
        w.DrawLines(lines);
    });
    ASSERT_EQ(img.format(), QImage::Format_ARGB32_Premultiplied);
    expectLitRun(img, 5, 10, 20);
    expectColour(img, 10, 5, 0xFFFF0000);
    EXPECT_TRUE(litColumns(img, 4).empty());
    EXPECT_TRUE(litColumns(img, 6).empty());
}

TEST(Lines, WidthsStylesAndNothingToDraw)
{
    const QImage img = render(40, 40, [](TestSurface& w) {
        auto two = Segment(5, 10, 30, 10, GL::GLLineStyle(GL::eLineSolid, 2, Red));
        auto three = Segment(5, 20, 30, 20, GL::GLLineStyle(GL::eLineSolid, 3, Red));
        auto dotted = Segment(0, 30, 39, 30, GL::GLLineStyle(GL::eLineDotted, 1, Red));
        auto none = Segment(0, 35, 39, 35, GL::GLLineStyle(GL::eLineNone, 1, Red));
        auto zero = Segment(0, 37, 39, 37, GL::GLLineStyle(GL::eLineSolid, 0, Red));
        for (GL::GLLines* l : {&two, &three, &dotted, &none, &zero}) {
            const GLState before = Snapshot();
            w.DrawLines(*l);
            EXPECT_TRUE(before == Snapshot());
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        }
    });
    // An even width is not shifted: it straddles the integer coordinate.
    EXPECT_FALSE(litColumns(img, 9).empty());
    EXPECT_FALSE(litColumns(img, 10).empty());
    EXPECT_TRUE(litColumns(img, 8).empty());
    EXPECT_TRUE(litColumns(img, 11).empty());
    // An odd width is centred on the row below the coordinate's pixel corner.
    for (int row : {19, 20, 21})
        EXPECT_FALSE(litColumns(img, row).empty()) << row;
    EXPECT_TRUE(litColumns(img, 18).empty());
    EXPECT_TRUE(litColumns(img, 22).empty());
    // Stipple 0x1111 at factor 1: one pixel on, three off.
    std::vector<int> dots;
    for (int x = 0; x < 40; x += 4)
        dots.push_back(x);
    EXPECT_EQ(litColumns(img, 30), dots);
    EXPECT_TRUE(litColumns(img, 35).empty());
    EXPECT_TRUE(litColumns(img, 37).empty());
}

// Concave outlines, and outlines that cross themselves, filled by the non-zero winding rule.
TEST(Polygons, ConcaveAndSelfCrossingFills)
{
    using Points = std::vector<QPoint>;
    struct Case
    {
        const char* sName;
        Points outline, inside, outside;
    };
    const Case cases[] = {
        {"L", {{10, 10}, {30, 10}, {30, 40}, {50, 40}, {50, 50}, {10, 50}}, {{15, 15}, {45, 45}}, {{40, 20}, {45, 30}}},
        {"bow tie", {{10, 10}, {50, 50}, {50, 10}, {10, 50}}, {{15, 30}, {45, 30}}, {{30, 15}, {30, 45}}},
        {"star in one stroke", {{30, 5}, {45, 55}, {5, 22}, {55, 22}, {15, 55}}, {{30, 15}, {30, 32}, {12, 25}},
         {{15, 10}, {30, 52}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sName);
        const QImage img = render(60, 60, [&](TestSurface& w) {
            GL::GLPolygon p;
            p.SetFillStyle(GL::GLFillStyle(GL::eFillSolidConcave, Red, QColor()));
            for (const QPoint& v : c.outline)
                p.AddVertex(float(v.x()), float(v.y()));
            const GLState before = Snapshot();
            w.DrawPolygon(p, true);
            EXPECT_TRUE(before == Snapshot());
        });
        for (const QPoint& v : c.inside)
            expectColour(img, v.x(), v.y(), 0xFFFF0000);
        for (const QPoint& v : c.outside)
            expectColour(img, v.x(), v.y(), 0);
    }
}

TEST(Polygons, OutlineClosesOnlyWhenAsked)
{
    auto triangle = [](bool close) {
        return render(40, 40, [close](TestSurface& w) {
            GL::GLPolygon p;
            p.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Red));
            p.AddVertex(5, 5);
            p.AddVertex(30, 5);
            p.AddVertex(30, 30);
            w.DrawPolygon(p, close);
        });
    };
    const QImage open = triangle(false), closed = triangle(true);
    EXPECT_EQ(open.pixel(17, 17), 0u);
    EXPECT_NE(closed.pixel(17, 17) | closed.pixel(18, 17) | closed.pixel(17, 18), 0u);
}

TEST(Polygons, GradientsInterpolateBetweenPremultipliedEnds)
{
    const QImage img = render(40, 40, [](TestSurface& w) {
        GL::GLPolygon h, v;
        h.SetFillStyle(GL::GLFillStyle(GL::eFillHGradient, QColor(255, 0, 0), QColor(0, 0, 255)));
        h.SetRect(0, 0, 20, 40);
        v.SetFillStyle(GL::GLFillStyle(GL::eFillVGradient, QColor(0, 255, 0, 128), QColor(0, 255, 0, 128)));
        v.SetRect(20, 0, 20, 40);
        const GLState before = Snapshot();
        w.DrawPolygon(h, false);
        w.DrawPolygon(v, false);
        EXPECT_TRUE(before == Snapshot());
    });
    const QRgb top = img.pixel(10, 0), bottom = img.pixel(10, 39);
    EXPECT_GT(qRed(top), 240);
    EXPECT_LT(qBlue(top), 15);
    EXPECT_GT(qBlue(bottom), 240);
    EXPECT_LT(qRed(bottom), 15);
    // 255 * 128 / 255 = 128 premultiplied green, blended onto transparent black.
    expectColour(img, 30, 20, qRgba(0, 128, 0, 128));
}

TEST(Images, BitmapLandsTopRowFirstAtItsRectangle)
{
    QImage bitmap(5, 3, QImage::Format_RGB32);
    bitmap.fill(Qt::green);
    bitmap.setPixel(0, 0, qRgb(255, 0, 0));
    const QImage img = render(30, 20, [&](TestSurface& w) {
        const GLState before = Snapshot();
        w.DrawImage(10, 4, 5, 3, bitmap);
        w.DrawImage(0, 0, 5, 3, QImage());
        EXPECT_TRUE(before == Snapshot());
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
    expectColour(img, 10, 4, 0xFFFF0000);
    expectColour(img, 14, 6, 0xFF00FF00);
    expectLitRun(img, 5, 10, 14);
    EXPECT_TRUE(litColumns(img, 3).empty());
    EXPECT_TRUE(litColumns(img, 7).empty());
}

TEST(Frame, ViewportsAndClipPlanesClip)
{
    const QImage img = render(40, 40, [](TestSurface& w) {
        GL::GLPolygon fill;
        fill.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Red, QColor()));
        fill.SetRect(-100, -100, 300, 300);
        w.BeginViewPort(10, 10, 10, 5);
        w.DrawPolygon(fill, false);
        w.EndViewPort(10, 10);

        GL::GLPolygon mask;
        mask.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::blue, QColor()));
        mask.SetRect(0, 30, 20, 10);
        w.WriteClipPlanes(1);
        w.DrawPolygon(mask, false);
        w.UseClipPlanes(1);
        GL::GLPolygon green;
        green.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::green, QColor()));
        green.SetRect(0, 30, 40, 10);
        w.DrawPolygon(green, false);
        w.DisableClipPlanes();
    });
    expectLitRun(img, 12, 10, 19);
    EXPECT_TRUE(litColumns(img, 9).empty());
    EXPECT_TRUE(litColumns(img, 15).empty());
    expectColour(img, 5, 35, 0xFF0000FF);
    expectColour(img, 30, 35, 0xFF00FF00);
}

TEST(Frame, ClipPlanesStartClearInEveryFrame)
{
    // The first frame marks the left half; the second marks a corner from inside a viewport. Only
    // that corner may hold the fill back in the second frame: nothing of the first frame's marks,
    // also where the viewport's scissor kept the second frame's own drawing off.
    TestSurface w;
    w.resize(40, 20);
    const auto fill = [](TestSurface& s, int x, int y, int width, int height, const QColor& colour) {
        GL::GLPolygon p;
        p.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, colour, QColor()));
        p.SetRect(float(x), float(y), float(width), float(height));
        s.DrawPolygon(p, false);
    };
    w.paint = [&](TestSurface& s) {
        s.WriteClipPlanes(1);
        fill(s, 0, 0, 20, 20, Qt::blue);
        s.DisableClipPlanes();
    };
    QImage first, second;
    ASSERT_TRUE(w.RenderToImage(&first));
    w.paint = [&](TestSurface& s) {
        s.BeginViewPort(30, 10, 10, 10);
        s.WriteClipPlanes(1);
        fill(s, 0, 0, 5, 5, Qt::blue);
        s.EndViewPort(30, 10);
        s.UseClipPlanes(1);
        fill(s, 0, 0, 40, 20, Qt::green);
        s.DisableClipPlanes();
    };
    ASSERT_TRUE(w.RenderToImage(&second));
    expectColour(first, 5, 5, 0xFF0000FF);
    for (const QPoint p : {QPoint(5, 5), QPoint(19, 19), QPoint(25, 5), QPoint(36, 16)})
        expectColour(second, p.x(), p.y(), 0xFF00FF00);
    expectColour(second, 32, 12, 0xFF0000FF);
}

TEST(BadInput, OutsideAPaintAndOversizedImagesDrawNothing)
{
    RecordingErrorHandler errors;
    TestSurface w;
    w.resize(20, 20);
    GL::GLLines lines = Segment(0, 0, 10, 0, GL::GLLineStyle(GL::eLineSolid, 1, Red));
    GL::GLPolygon p;
    p.SetFillStyle(GL::GLFillStyle(GL::eFillSolidConcave, Red, Red));
    p.SetRect(0, 0, 5, 5);
    QImage bitmap(4, 4, QImage::Format_ARGB32);
    bitmap.fill(Qt::red);
    auto drawAll = [&] {
        w.DrawLines(lines);
        w.DrawPolygon(p, true);
        w.DrawImage(0, 0, 4, 4, bitmap);
    };
    drawAll();  // before any context exists
    QImage img;
    ASSERT_TRUE(w.RenderToImage(&img));
    drawAll();  // between frames, with no context current
    EXPECT_TRUE(errors.vLogged.empty());

    QImage wide(w.GetMaxTextureSize() + 1, 1, QImage::Format_ARGB32);
    wide.fill(Qt::red);
    w.paint = [&](TestSurface& s) {
        s.DrawImage(0, 0, 20, 20, wide);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    };
    ASSERT_TRUE(w.RenderToImage(&img));
    EXPECT_TRUE(errors.Logged("Image larger than the maximum texture size"));
    EXPECT_TRUE(litColumns(img, 10).empty());
}
