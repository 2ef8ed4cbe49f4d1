#include "glpainter.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

using GL = GLFrameWidget;

namespace
{
const QColor Red(255, 0, 0);

GL::GLPolygon Polygon(const GL::GLFillStyle& fill, const std::vector<QPointF>& outline = {})
{
    GL::GLPolygon p;
    p.SetFillStyle(fill);
    for (const QPointF& v : outline)
        p.AddVertex(float(v.x()), float(v.y()));
    return p;
}

GL::GLFillStyle Solid(const QColor& colour) { return GL::GLFillStyle(GL::eFillSolid, colour, QColor()); }

void DrawBox(GL& surface, float x, float y, float w, float h, const GL::GLFillStyle& fill)
{
    GL::GLPolygon p = Polygon(fill);
    p.SetRect(x, y, w, h), surface.DrawPolygon(p, false);
}

// Draws inside the frame and checks that the drawing left the GL state as it found it and raised no error.
void Checked(const std::function<void()>& draw)
{
    const auto snapshot = [] {
        std::vector<float> s(16);
        glGetFloatv(GL_MODELVIEW_MATRIX, s.data());
        for (GLenum cap : {GL_BLEND, GL_LINE_STIPPLE, GL_VERTEX_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY,
                           GL_TEXTURE_2D, GL_SCISSOR_TEST, GL_STENCIL_TEST})
            s.push_back(glIsEnabled(cap));
        return s.push_back(float(glGetError())), s;
    };
    const std::vector<float> before = snapshot();
    draw();
    EXPECT_EQ(snapshot(), before);
}
} // namespace

TEST(Records, LinesRunOnePixelLongerAndPolygonBoxesReachBeyondAMillionPixels)
{
    // Lines run along their major axis, one pixel longer; a segment of no length is no line.
    GL::GLLines lines;
    for (const QLineF& l : {QLineF(7, 7, 7, 7), QLineF(10, 5, 3, 5), QLineF(4, 9, 4, 2), QLineF(0, 0, 3, 3)})
        lines.AddLine(float(l.x1()), float(l.y1()), float(l.x2()), float(l.y2()));
    EXPECT_EQ(lines.Vertices(), (std::vector<float>{3, 5, 11, 5, 4, 2, 4, 10, 0, 0, 4, 3}));
    // The empty box spans -1e6..1e6; boxes beyond it are their own; only a new rectangle needs new colours.
    GL::GLPolygon p;
    EXPECT_EQ(QRectF(p.Left(), p.Top(), p.Width(), p.Height()), QRectF(1e6, 1e6, -2e6, -2e6));
    p.SetRect(1, 2, 10, 20);
    EXPECT_EQ(std::vector<float>(p.VertexData(), p.VertexData() + 8), (std::vector<float>{1, 22, 1, 2, 11, 2, 11, 22}));
    p.SetRecalcDone(), p.SetRect(1, 2, 10, 20);
    EXPECT_FALSE(p.NeedsRecalc());
    p.SetRect(1, 2, 10, 21);
    EXPECT_TRUE(p.NeedsRecalc());
    p.SetRect(2e6f, 3e6f, 5e6f, 1e6f);
    EXPECT_EQ(QRectF(p.Left(), p.Top(), p.Width(), p.Height()), QRectF(2e6, 3e6, 5e6, 1e6));
    p.Clear(), p.AddVertex(-3e6f, -4e6f);
    EXPECT_EQ(QPointF(p.Left() + p.Width(), p.Top() + p.Height()), QPointF(-3e6, -4e6));
    // Gradient colours per vertex, from the first colour at the top, premultiplied and truncated.
    p = Polygon(GL::GLFillStyle(GL::eFillHGradient, QColor(255, 0, 0, 128), Qt::blue), {{0, 0}, {0, 10}, {0, 5}});
    p.CalcColors();
    EXPECT_EQ(p.Colors(), (std::vector<unsigned char>{128, 0, 0, 128, 0, 0, 255, 255, 64, 0, 127, 191}));
    p.SetFillStyle(Solid(Red)), p.CalcColors();
    EXPECT_TRUE(p.Colors().empty());
    // Styles: an even default width, and fills that differ only in an invalid colour differ.
    EXPECT_TRUE(GL::GLLineStyle().EvenSize() && GL::GLLineStyle(GL::eLineSolid, 3, Red).OddSize());
    EXPECT_NE(GL::GLFillStyle(GL::eFillSolid, QColor(), Red), GL::GLFillStyle(GL::eFillSolid, Qt::black, Red));
}

TEST(Draw, StylesOutlinesGradientsAndBitmapsLightTheirPixels)
{
    // Widths and the pixel rule of solid segments are covered at every ratio by the high-DPI tests.
    QImage bitmap(5, 3, QImage::Format_RGB32);
    bitmap.fill(Qt::green);
    bitmap.setPixel(0, 0, qRgb(255, 0, 0));
    const QImage img = render(80, 50, [&](TestSurface& w) {
        for (auto [row, style, size] : {std::tuple(40, GL::eLineDotted, 1), std::tuple(45, GL::eLineNone, 1),
                                        std::tuple(47, GL::eLineSolid, 0)}) {
            GL::GLLines line;
            line.SetLineStyle(GL::GLLineStyle(style, size, Red)), line.AddLine(0, float(row), 39, float(row));
            Checked([&] { w.DrawLines(line); });
        }
        // The same open triangle twice, the second time closed by a diagonal.
        for (float x : {0.0f, 35.0f}) {
            GL::GLPolygon triangle = Polygon(GL::GLFillStyle(), {{5 + x, 5}, {30 + x, 5}, {30 + x, 30}});
            triangle.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Red));
            Checked([&] { w.DrawPolygon(triangle, x > 0); });
        }
        const QColor halfGreen(0, 255, 0, 128);
        Checked([&] { // gradients, a translucent one among them, and bitmaps
            DrawBox(w, 70, 0, 10, 50, GL::GLFillStyle(GL::eFillHGradient, Qt::red, Qt::blue));
            DrawBox(w, 55, 35, 10, 10, GL::GLFillStyle(GL::eFillVGradient, halfGreen, halfGreen));
            w.DrawImage(45, 45, 5, 3, bitmap), w.DrawImage(0, 0, 5, 3, QImage());
        });
    });
    // Stipple 0x1111 at factor 1: one pixel on, three off; no line style or no width draws nothing.
    const QImage lines = img.copy(0, 0, 40, 50), bitmapArea = img.copy(40, 0, 15, 50);
    EXPECT_EQ(litColumns(lines, 40), (std::vector<int>{0, 4, 8, 12, 16, 20, 24, 28, 32, 36}));
    EXPECT_TRUE(litColumns(lines, 45).empty() && litColumns(lines, 47).empty());
    EXPECT_EQ(img.pixel(17, 17), 0u);
    EXPECT_NE(img.pixel(52, 17) | img.pixel(53, 17) | img.pixel(52, 18), 0u) << "closing edge missing";
    // Gradients run from the first colour at the top to the second at the bottom, premultiplied.
    const QRgb top = img.pixel(75, 0), bottom = img.pixel(75, 49);
    EXPECT_TRUE(qRed(top) > 240 && qBlue(top) < 15 && qBlue(bottom) > 240 && qRed(bottom) < 15);
    expectColour(img, 60, 40, qRgba(0, 128, 0, 128));
    // The bitmap lands top row first at its rectangle.
    expectColour(img, 45, 45, 0xFFFF0000), expectColour(img, 49, 47, 0xFF00FF00);
    EXPECT_EQ(litColumns(bitmapArea, 46), (std::vector<int>{5, 6, 7, 8, 9}));
    EXPECT_TRUE(litColumns(bitmapArea, 44).empty() && litColumns(bitmapArea, 48).empty());
}

// Concave outlines, and outlines that cross themselves, filled by the non-zero winding rule.
TEST(Draw, ConcaveAndSelfCrossingFills)
{
    using Points = std::vector<QPointF>;
    struct Case { const char* sName; Points outline, inside, outside; };
    const Case cases[] = {
        {"L", {{10, 10}, {30, 10}, {30, 40}, {50, 40}, {50, 50}, {10, 50}}, {{15, 15}, {45, 45}}, {{40, 20}, {45, 30}}},
        {"bow tie", {{10, 10}, {50, 50}, {50, 10}, {10, 50}}, {{15, 30}, {45, 30}}, {{30, 15}, {30, 45}}},
        {"star in one stroke", {{30, 5}, {45, 55}, {5, 22}, {55, 22}, {15, 55}}, {{30, 15}, {30, 32}, {12, 25}},
         {{15, 10}, {30, 52}}},
    };
    for (const Case& c : cases) {
        const QImage img = render(60, 60, [&](TestSurface& w) {
            GL::GLPolygon p = Polygon(GL::GLFillStyle(GL::eFillSolidConcave, Red, QColor()), c.outline);
            Checked([&] { w.DrawPolygon(p, true); });
        });
        for (const auto& [points, colour] : {std::pair(c.inside, 0xFFFF0000u), {c.outside, 0u}})
            for (const QPointF& v : points)
                EXPECT_EQ(img.pixel(v.toPoint()), colour) << c.sName << " at " << v.x() << "," << v.y();
    }
}

TEST(Frame, ClipPlanesMaskLaterDrawingAndStartClearInEveryFrame)
{
    // The first frame marks the left half; the second marks a corner from inside a viewport, then fills
    // everything where no mark is. Only that corner may hold the fill back: nothing of the first frame's
    // marks, also where the viewport's scissor kept the second frame's own drawing off.
    TestSurface w;
    w.resize(40, 20);
    w.paint = [](GL& s) { s.WriteClipPlanes(1), DrawBox(s, 0, 0, 20, 20, Solid(Qt::blue)), s.DisableClipPlanes(); };
    QImage first, second;
    ASSERT_TRUE(w.RenderToImage(&first));
    w.paint = [](TestSurface& s) {
        Checked([&] {
            s.BeginViewPort(30, 10, 10, 10), s.WriteClipPlanes(1), DrawBox(s, 0, 0, 5, 5, Solid(Qt::blue));
            s.EndViewPort(30, 10), s.UseClipPlanes(1), DrawBox(s, 0, 0, 40, 20, Solid(Qt::green));
            s.DisableClipPlanes();
        });
    };
    ASSERT_TRUE(w.RenderToImage(&second));
    expectColour(first, 5, 5, 0xFF0000FF);
    for (const auto& [x, y, colour] : {std::tuple(5, 5, 0xFF00FF00u), {19, 19, 0xFF00FF00u}, {25, 5, 0xFF00FF00u},
                                       {36, 16, 0xFF00FF00u}, {29, 10, 0xFF00FF00u}, {30, 10, 0xFF0000FFu},
                                       {34, 14, 0xFF0000FFu}, {35, 14, 0xFF00FF00u}})
        expectColour(second, x, y, colour);
}

TEST(Draw, NothingIsDrawnOutsideAPaintNorBeyondTheTextureSize)
{
    RecordingErrorHandler errors;
    TestSurface w;
    w.resize(20, 20);
    GL::GLLines lines;
    lines.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Red)), lines.AddLine(0, 0, 10, 0);
    GL::GLPolygon p = Polygon(GL::GLFillStyle(GL::eFillSolidConcave, Red, Red));
    p.SetRect(0, 0, 5, 5);
    QImage bitmap(4, 4, QImage::Format_ARGB32);
    bitmap.fill(Qt::red);
    const auto drawAll = [&] { w.DrawLines(lines), w.DrawPolygon(p, true), w.DrawImage(0, 0, 4, 4, bitmap); };
    // Outside its own frame a surface draws nothing: before it has a context, between its frames,
    // and inside another surface's frame (where a painter is made without complaint).
    drawAll();
    QImage img;
    ASSERT_TRUE(w.RenderToImage(&img));
    drawAll();
    EXPECT_EQ(render(20, 20, [&](GL& s) { drawAll(); GLPainter inside(&s); }), render(20, 20, [](GL&) {}));
    EXPECT_TRUE(errors.vLogged.empty());
    { // A painter made outside a frame says so, once, and its drawing does nothing.
        TestSurface idle;
        GLPainter painter(&idle);
        painter.setPen(QPen(QColor())), painter.drawLine(0, 0, 10, 10);
        painter.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, "x"), painter.restore();
    }
    ASSERT_EQ(errors.vLogged.size(), 1u);
    const RecordingErrorHandler::Entry& e = errors.vLogged[0];
    EXPECT_EQ(QStringList({e.sMessage, e.sFunction, e.sClass}),
              QStringList({"GLPainter outside of paint event", "GLPainter::GLPainter", "GLFrameWidget"}));
    QImage wide(w.GetMaxTextureSize() + 1, 1, QImage::Format_ARGB32);
    wide.fill(Qt::red);
    w.paint = [&](TestSurface& s) { Checked([&] { s.DrawImage(0, 0, 20, 20, wide); }); };
    ASSERT_TRUE(w.RenderToImage(&img));
    EXPECT_TRUE(errors.Logged("Image larger than the maximum texture size"));
    EXPECT_TRUE(litColumns(img, 10).empty());
}
