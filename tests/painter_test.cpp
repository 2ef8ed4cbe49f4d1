#include "glpainter.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

namespace {

// Size of a run of lit pixels: the bounding box of everything drawn.
QRect LitBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != 0)
                box |= QRect(x, y, 1, 1);
    return box;
}

QFont TestFont()
{
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    return font;
}

// Records into a fresh metafile inside a real frame and returns it.
GLMetaFile RecordIn(const std::function<void(GLPainter&)>& draw)
{
    GLMetaFile metafile;
    render(64, 64, [&](TestSurface& w) {
        GLPainter p(&w);
        p.begin(&metafile);
        draw(p);
        p.end();
    });
    return metafile;
}

} // namespace

TEST(Painter, PensDrawSolidAndDottedOnlyAtLeastOnePixelWide)
{
    const QImage solid = render(40, 20, [](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::red, 0));
        p.drawLine(5, 10, 30, 10);
    });
    expectLitRun(solid, 10, 5, 30);
    EXPECT_TRUE(litColumns(solid, 9).empty());
    EXPECT_TRUE(litColumns(solid, 11).empty());
    expectColour(solid, 5, 10, 0xFFFF0000);

    for (Qt::PenStyle style : {Qt::DashLine, Qt::DashDotLine, Qt::NoPen}) {
        const QImage none = render(40, 20, [style](TestSurface& w) {
            GLPainter p(&w);
            p.setPen(QPen(QBrush(Qt::red), 3, style));
            p.drawLine(5, 10, 30, 10);
            p.drawRect(2, 2, 20, 10);
        });
        EXPECT_TRUE(LitBox(none).isNull()) << "pen style " << style;
    }

    // The default pen draws nothing either: a painter starts without a line style.
    const QImage fresh = render(40, 20, [](TestSurface& w) {
        GLPainter p(&w);
        p.drawLine(5, 10, 30, 10);
    });
    EXPECT_TRUE(LitBox(fresh).isNull());
}

TEST(Painter, RectanglesFillWithTheBrushAndOutlineWithThePen)
{
    const QImage img = render(40, 30, [](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::blue));
        p.setBrush(QBrush(Qt::green));
        p.drawRect(QRect(5, 5, 20, 10)); // inclusive right and bottom: fill 5..24, 5..14
    });
    // The closed outline runs along the far edges too, one pixel beyond the fill.
    EXPECT_EQ(LitBox(img), QRect(5, 5, 21, 11));
    expectColour(img, 15, 10, 0xFF00FF00);
    expectColour(img, 5, 10, 0xFF0000FF);

    // fillRect ignores the brush style and the painter's pen and brush.
    const QImage filled = render(40, 30, [](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::blue));
        p.setBrush(QBrush(Qt::green));
        p.fillRect(QRect(2, 3, 10, 4), QBrush(Qt::red, Qt::Dense4Pattern));
    });
    EXPECT_EQ(LitBox(filled), QRect(2, 3, 10, 4));
    expectColour(filled, 2, 3, 0xFFFF0000);
    expectColour(filled, 11, 6, 0xFFFF0000);

    // Patterned brushes other than solid fill nothing; the pen still outlines.
    const QImage hatched = render(40, 30, [](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::blue));
        p.setBrush(QBrush(Qt::green, Qt::CrossPattern));
        p.drawRect(5, 5, 20, 10);
    });
    expectColour(hatched, 15, 10, 0);
    expectColour(hatched, 5, 10, 0xFF0000FF);
}

TEST(Painter, GradientBrushesRunTopToBottomAndLeftToRight)
{
    const QImage h = render(40, 40, [](TestSurface& w) {
        GLPainter p(&w);
        p.setHGradientBrush(Qt::red, Qt::blue);
        p.drawPolygon(QPolygon(QRect(0, 0, 40, 40)), Qt::OddEvenFill);
    });
    EXPECT_GT(qRed(h.pixel(20, 1)), 200);
    EXPECT_GT(qBlue(h.pixel(20, 38)), 200);
    EXPECT_EQ(h.pixel(1, 20), h.pixel(38, 20));

    const QImage v = render(40, 40, [](TestSurface& w) {
        GLPainter p(&w);
        p.setVGradientBrush(Qt::red, Qt::blue);
        p.drawPolygon(QPolygon(QRect(0, 0, 40, 40)), true);
    });
    EXPECT_GT(qRed(v.pixel(1, 20)), 200);
    EXPECT_GT(qBlue(v.pixel(38, 20)), 200);
    EXPECT_EQ(v.pixel(20, 1), v.pixel(20, 38));
}

TEST(Painter, SaveRestoreAndTransformsActOnTheMatrixStack)
{
    const QImage img = render(60, 60, [](TestSurface& w) {
        GLPainter p(&w);
        p.setBrush(QBrush(Qt::green));
        p.save();
        p.translate(30, 20);
        p.scale(2, 3);
        p.setBrush(QBrush(Qt::red));
        p.fillRect(QRect(0, 0, 5, 5), QBrush(Qt::red));
        p.restore();
        p.restore(); // empty stack: nothing happens
        // Back at the origin with the saved brush.
        p.drawRect(0, 0, 4, 4);
    });
    // The 5 x 5 fill lands scaled at (30, 20), 10 x 15 pixels; the fill's 0.49-pixel nudge is
    // scaled with it, so it starts one pixel later: columns 31..40, rows 21..35.
    expectLitRun(img, 28, 31, 40);
    expectColour(img, 35, 21, 0xFFFF0000);
    expectColour(img, 35, 35, 0xFFFF0000);
    expectColour(img, 35, 20, 0);
    expectColour(img, 35, 36, 0);
    expectColour(img, 1, 1, 0xFF00FF00);
    expectColour(img, 10, 10, 0);

    // A quarter turn maps +x onto +y.
    const QImage turned = render(40, 40, [](TestSurface& w) {
        GLPainter p(&w);
        p.translate(20, 5);
        p.rotate(90);
        p.fillRect(QRect(0, 0, 10, 2), QBrush(Qt::white));
    });
    EXPECT_EQ(LitBox(turned), QRect(18, 5, 2, 10));
}

TEST(Painter, TextIsPlacedByItsBaseline)
{
    QRect box;
    int ascent = 0;
    const QImage img = render(120, 40, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setFont(TestFont());
        p.setPen(QPen(Qt::white));
        p.drawText(10, 30, "Hg");
        GLFrameWidget::GLText probe;
        probe.SetFont(TestFont(), &w);
        probe.SetText("Hg", &w);
        ascent = w.GetTextAscent(probe);
    });
    box = LitBox(img);
    ASSERT_FALSE(box.isNull());
    EXPECT_GE(box.top(), 30 - ascent);
    // The H stands on the baseline; the g descends below it.
    EXPECT_LT(box.top(), 30);
    EXPECT_GT(box.bottom(), 30);

    // Opaque mode fills the background behind the text; transparent mode does not.
    const QImage opaque = render(120, 40, [](TestSurface& w) {
        GLPainter p(&w);
        p.setFont(TestFont());
        p.setPen(QPen(Qt::white));
        p.setBackgroundColor(Qt::blue);
        p.drawText(10, 30, "x");
        p.setBackgroundMode(Qt::OpaqueMode);
        p.drawText(60, 30, "x");
    });
    int blue = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if (opaque.pixel(x, y) == 0xFF0000FF) {
                ++blue;
                EXPECT_GE(x, 60);
            }
    EXPECT_GT(blue, 10);
}

TEST(Painter, RectangleTextAlignsLinesAndReportsTheirBounds)
{
    GLMetaFile metafile;
    int h = 0, wide = 0;
    QRect centred, right, empty, measured;
    render(200, 100, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setFont(TestFont());
        GLFrameWidget::GLText probe;
        probe.SetFont(TestFont(), &w);
        probe.SetText("wide line", &w);
        h = w.GetTextHeight(probe);
        wide = static_cast<int>(w.GetTextExtent(probe).Width());
        p.begin(&metafile);
        p.drawText(QRect(0, 0, 100, 50), Qt::AlignHCenter | Qt::AlignVCenter, "wide line\nab", &centred);
        p.drawText(QRect(10, 0, 100, 20), Qt::AlignRight, "wide line", &right);
        p.drawText(QRect(0, 60, 100, 20), Qt::AlignBottom, "", &empty);
        p.end();
        measured = p.boundingRect(QRect(0, 0, 100, 50), Qt::AlignHCenter | Qt::AlignVCenter, "wide line\nab");
    });
    ASSERT_GT(h, 0);
    const std::vector<GLFrameWidget::GLText>& texts = metafile.Texts();
    ASSERT_EQ(texts.size(), 4u);
    // Two lines centred vertically in 50 pixels: (50 - 2h) / 2, then one line height below.
    EXPECT_EQ(texts[0].Y(), (50 - 2 * h) / 2);
    EXPECT_EQ(texts[1].Y(), (50 - 2 * h) / 2 + h);
    EXPECT_EQ(texts[0].X(), (100 - wide) / 2);
    EXPECT_EQ(centred, QRect((100 - wide) / 2, (50 - 2 * h) / 2, wide, 2 * h));
    EXPECT_EQ(measured, centred);
    // Right alignment ends the line at the rectangle's inclusive right edge, 109.
    EXPECT_EQ(texts[2].X(), 110 - wide);
    EXPECT_EQ(right.right(), 109);
    // An empty text still takes one line, bottom-aligned.
    EXPECT_EQ(empty.height(), h);
    EXPECT_EQ(texts[3].Y(), 80 - h);
}

TEST(Painter, ConstructionOutsideAPaintPassIsReportedAndHarmless)
{
    RecordingErrorHandler errors;
    TestSurface surface;
    surface.resize(40, 40);
    {
        GLPainter p(&surface);
        p.setPen(QPen(QColor())); // invalid colour
        p.drawLine(0, 0, 10, 10);
        p.drawText(QRect(0, 0, 40, 40), Qt::AlignCenter, "x");
        p.restore();
    }
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "GLPainter outside of paint event");
    EXPECT_EQ(errors.vLogged[0].sFunction, "GLPainter::GLPainter");
    EXPECT_EQ(errors.vLogged[0].sClass, "GLFrameWidget");

    // Inside a frame nothing is reported.
    errors.vLogged.clear();
    render(10, 10, [](TestSurface& w) { GLPainter p(&w); });
    EXPECT_TRUE(errors.vLogged.empty());

    // A painter without a widget records but draws nothing.
    GLMetaFile metafile;
    GLPainter orphan(nullptr);
    orphan.setPen(QPen(Qt::red));
    orphan.begin(&metafile);
    orphan.drawLine(0, 0, 5, 0);
    orphan.drawText(0, 0, "ignored");
    orphan.end();
    EXPECT_EQ(metafile.Lines().size(), 1u);
    EXPECT_TRUE(metafile.Texts().empty());
}

TEST(Painter, RecordedLinesBatchUntilSomethingChangesTheirLookOrPlace)
{
    const std::vector<std::pair<const char*, std::function<void(GLPainter&)>>> breakers = {
        {"setPen", [](GLPainter& p) { p.setPen(QPen(Qt::red)); }},
        {"save", [](GLPainter& p) { p.save(); }},
        {"translate", [](GLPainter& p) { p.translate(1, 1); }},
        {"scale", [](GLPainter& p) { p.scale(2, 2); }},
        {"rotate", [](GLPainter& p) { p.rotate(5); }},
        {"drawRect", [](GLPainter& p) { p.drawRect(0, 0, 3, 3); }},
        {"drawPolygon", [](GLPainter& p) { p.drawPolygon(QPolygon(QRect(0, 0, 3, 3))); }},
        {"drawText", [](GLPainter& p) { p.drawText(0, 10, "t"); }},
    };
    for (const auto& breaker : breakers) {
        const GLMetaFile m = RecordIn([&](GLPainter& p) {
            p.setPen(QPen(Qt::red));
            p.drawLine(0, 0, 10, 0);
            breaker.second(p);
            p.drawLine(0, 5, 10, 5);
        });
        EXPECT_EQ(m.Lines().size(), 2u) << breaker.first;
    }

    const std::vector<std::pair<const char*, std::function<void(GLPainter&)>>> keepers = {
        {"nothing", [](GLPainter&) {}},
        {"setBrush", [](GLPainter& p) { p.setBrush(QBrush(Qt::blue)); }},
        {"setFont", [](GLPainter& p) { p.setFont(QFont("DejaVu Serif")); }},
        {"restore on empty stack", [](GLPainter& p) { p.restore(); }},
        {"drawImage", [](GLPainter& p) { p.drawImage(QPoint(0, 0), QImage(4, 4, QImage::Format_ARGB32)); }},
    };
    for (const auto& keeper : keepers) {
        const GLMetaFile m = RecordIn([&](GLPainter& p) {
            p.setPen(QPen(Qt::red));
            p.drawLine(0, 0, 10, 0);
            keeper.second(p);
            p.drawLine(0, 5, 10, 5);
        });
        ASSERT_EQ(m.Lines().size(), 1u) << keeper.first;
        EXPECT_EQ(m.Commands().size(), 1u) << keeper.first;
        GLFrameWidget::GLLines batch = m.Lines()[0];
        EXPECT_EQ(batch.Vertices().size(), 8u) << keeper.first; // two segments
        EXPECT_EQ(batch.LineStyle().FgColor(), QColor(Qt::red));
    }
}

TEST(Painter, EndRestoresOutstandingSavesIntoTheRecording)
{
    GLMetaFile metafile;
    std::vector<GLMetaFile::GLMetaCommand> afterEnd;
    render(20, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::green));
        p.begin(&metafile);
        p.save();
        p.save();
        p.save();
        p.end();
        // Drawing directly again: the metafile no longer grows.
        p.drawLine(0, 0, 5, 0);
        afterEnd = metafile.Commands();
    });
    const std::vector<GLMetaFile::GLMetaCommand>& c = metafile.Commands();
    ASSERT_EQ(c.size(), 6u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c[i].iKind, GLMetaFile::ePushTransform);
    for (int i = 3; i < 6; ++i)
        EXPECT_EQ(c[i].iKind, GLMetaFile::ePopTransform);
    EXPECT_EQ(afterEnd.size(), 6u);
}
