#include "glpainter.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

#include <climits>

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

TEST(Painter, RestorePopsWhereItsSavePushedAndDeepSavesKeepTheOuterTransform)
{
    // A save made while drawing directly is popped on the GL stack even when recording has begun
    // since; nothing is recorded for it.
    GLMetaFile metafile;
    const QImage switched = render(20, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.save();
        p.translate(10, 10);
        p.begin(&metafile);
        p.restore();
        p.begin(nullptr);
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    });
    EXPECT_TRUE(metafile.Commands().empty());
    expectColour(switched, 0, 0, 0xFFFFFFFF);
    expectColour(switched, 10, 10, 0);

    // A push into an earlier target is left open there rather than popped into the new one.
    GLMetaFile first;
    GLMetaFile second;
    GLPainter orphan(nullptr);
    orphan.begin(&first);
    orphan.save();
    orphan.begin(&second);
    orphan.restore();
    orphan.end();
    ASSERT_EQ(first.Commands().size(), 1u);
    EXPECT_EQ(first.Commands()[0].iKind, GLMetaFile::ePushTransform);
    EXPECT_TRUE(second.Commands().empty());

    // Saves nested deeper than the GL matrix stack must not pop the transform around them.
    const QImage deep = render(20, 20, [](TestSurface& w) {
        GLPainter p(&w);
        p.translate(10, 10);
        for (int i = 0; i < 100; ++i)
            p.save();
        for (int i = 0; i < 100; ++i)
            p.restore();
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    });
    expectColour(deep, 10, 10, 0xFFFFFFFF);
    expectColour(deep, 0, 0, 0);
}

TEST(Painter, RectanglesAndTextsBeyondTheIntRangeClampInsteadOfWrapping)
{
    const int big = 2000000000;
    GLMetaFile metafile;
    QRect bounds;
    QRect measured;
    render(20, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setFont(TestFont());
        p.begin(&metafile);
        p.drawRect(QRect(QPoint(-big, 0), QPoint(big, 9)));
        p.fillRect(QRect(QPoint(0, -big), QPoint(9, big)), QBrush(Qt::red));
        p.drawText(0, INT_MIN + 1, "a");
        p.drawText(QRect(QPoint(INT_MAX - 5, 0), QPoint(INT_MAX, 10)), Qt::AlignLeft, "wide", &bounds);
        measured = p.boundingRect(QRect(QPoint(-big, -big), QPoint(big, big)), Qt::AlignRight | Qt::AlignBottom, "x");
    });
    ASSERT_EQ(metafile.Polygons().size(), 2u);
    // Extents and far edges clamp to the int range instead of wrapping around.
    EXPECT_FLOAT_EQ(metafile.Polygons()[0].Width(), float(INT_MAX));
    EXPECT_FLOAT_EQ(metafile.Polygons()[1].Height(), float(INT_MAX));
    ASSERT_EQ(metafile.Texts().size(), 2u);
    EXPECT_LT(metafile.Texts()[0].Y(), 0.0f);
    EXPECT_EQ(bounds.left(), INT_MAX - 5);
    EXPECT_EQ(bounds.right(), INT_MAX);
    EXPECT_EQ(measured.right(), big);
    EXPECT_EQ(measured.bottom(), big);
    EXPECT_GT(measured.left(), 0);
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

TEST(Painter, RectangleTextMatchesTheWorkedExamplesInPixels)
{
    // Find the DejaVu pixel size whose line height is 10, so the numbers are the worked ones.
    QFont font("DejaVu Sans");
    int h = 0;
    render(20, 20, [&](TestSurface& w) {
        for (int size = 4; size < 14 && h != 10; ++size) {
            font.setPixelSize(size);
            GLFrameWidget::GLText probe;
            probe.SetFont(font, &w);
            h = w.GetTextHeight(probe);
        }
    });
    ASSERT_EQ(h, 10);

    GLMetaFile metafile;
    QRect centred;
    const QImage img = render(120, 50, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setFont(font);
        p.setPen(QPen(Qt::white));
        p.begin(&metafile);
        p.drawText(QRect(0, 0, 100, 50), Qt::AlignHCenter | Qt::AlignVCenter, "ab\ncd", &centred);
        p.end();
        p.drawText(QRect(0, 0, 100, 50), Qt::AlignHCenter | Qt::AlignVCenter, "ab\ncd");
    });
    ASSERT_EQ(metafile.Texts().size(), 2u);
    EXPECT_EQ(metafile.Texts()[0].Y(), 15);
    EXPECT_EQ(metafile.Texts()[1].Y(), 25);
    EXPECT_EQ(centred.top(), 15);
    EXPECT_EQ(centred.height(), 20);
    // The glyphs drawn directly stay inside the two lines and are centred around x = 50.
    const QRect lit = LitBox(img);
    ASSERT_FALSE(lit.isNull());
    EXPECT_GE(lit.top(), 15);
    EXPECT_LE(lit.bottom(), 34);
    EXPECT_NEAR(lit.center().x(), 50, 2);

    // Right alignment ends the ink at the inclusive right edge 109, left alignment starts at 10.
    int width = 0;
    const QImage right = render(120, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setFont(font);
        p.setPen(QPen(Qt::white));
        QRect box;
        p.drawText(QRect(10, 0, 100, 20), Qt::AlignRight, "HHHH", &box);
        width = box.width();
        EXPECT_EQ(box.right(), 109);
        EXPECT_EQ(box, p.boundingRect(QRect(10, 0, 100, 20), Qt::AlignRight, "HHHH"));
    });
    ASSERT_GT(width, 0);
    const QRect ink = LitBox(right);
    EXPECT_LE(ink.right(), 109);
    EXPECT_GE(ink.right(), 109 - 3);
    EXPECT_GE(ink.left(), 110 - width);
    const QImage left = render(120, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setFont(font);
        p.setPen(QPen(Qt::white));
        p.drawText(QRect(10, 0, 100, 20), Qt::AlignLeft, "HHHH");
    });
    EXPECT_GE(LitBox(left).left(), 10);
    EXPECT_LE(LitBox(left).left(), 13);
}

TEST(Painter, ImagesDrawOnlyDirectlyAndCallerPolygonsKeepTheirStyles)
{
    QImage bitmap(4, 4, QImage::Format_ARGB32);
    bitmap.fill(0xFF00FFFF);
    GLMetaFile metafile;
    const QImage img = render(40, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.drawImage(QPoint(2, 3), bitmap);
        p.drawImage(QRect(20, 4, 12, 8), bitmap); // scaled to 12 x 8
        p.begin(&metafile);
        p.drawImage(QPoint(2, 12), bitmap);
        p.drawImage(QRect(20, 12, 4, 4), bitmap);
    });
    EXPECT_TRUE(metafile.Commands().empty());
    EXPECT_EQ(LitBox(img.copy(0, 0, 15, 20)), QRect(2, 3, 4, 4));
    EXPECT_EQ(LitBox(img.copy(15, 0, 25, 20)).translated(15, 0), QRect(20, 4, 12, 8));
    expectColour(img, 3, 4, 0xFF00FFFF);
    expectColour(img, 26, 8, 0xFF00FFFF);

    // A caller's polygon is drawn with its own styles, never the painter's pen and brush.
    GLFrameWidget::GLPolygon own;
    own.SetFillStyle(GLFrameWidget::GLFillStyle(GLFrameWidget::eFillSolid, Qt::yellow, QColor()));
    own.SetRect(5, 5, 10, 6);
    GLMetaFile recorded;
    const QImage direct = render(30, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::red));
        p.setBrush(QBrush(Qt::blue));
        p.drawPolygon(own);
        p.begin(&recorded);
        p.drawPolygon(own);
    });
    EXPECT_EQ(LitBox(direct), QRect(5, 5, 10, 6));
    expectColour(direct, 5, 5, 0xFFFFFF00);
    ASSERT_EQ(recorded.Polygons().size(), 1u);
    const QImage replayed = render(30, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.drawMetaFile(recorded);
    });
    EXPECT_EQ(replayed, direct);
}

TEST(Painter, BadInputHasDefinedResults)
{
    // A null metafile in begin just keeps drawing directly.
    const QImage direct = render(30, 10, [](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::green));
        p.begin(nullptr);
        p.drawLine(2, 5, 20, 5);
        p.end();
    });
    expectLitRun(direct, 5, 2, 20);

    // Invalid colours draw as black, the colour an invalid QColor converts to.
    const auto scene = [](const QColor& c) {
        return render(40, 30, [c](TestSurface& w) {
            QFont font("DejaVu Sans");
            font.setPixelSize(12);
            GLPainter p(&w);
            p.fillRect(QRect(0, 0, 40, 30), QBrush(Qt::white));
            p.setPen(QPen(c));
            p.setBrush(QBrush(c));
            p.drawLine(1, 1, 30, 1);
            p.drawRect(3, 4, 10, 8);
            p.setHGradientBrush(c, c);
            p.drawRect(20, 4, 10, 8);
            p.setFont(font);
            p.drawText(2, 27, "ab");
        });
    };
    const QImage invalid = scene(QColor());
    EXPECT_EQ(invalid, scene(QColor(Qt::black)));
    expectColour(invalid, 8, 8, 0xFF000000);

    // Restores beyond the saves, huge, empty and tiny or giant fonts do not disturb the frame.
    QRect huge;
    const QImage rest = render(40, 20, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setPen(QPen(Qt::white));
        p.save();
        p.translate(10, 0);
        for (int i = 0; i < 3; ++i)
            p.restore();
        QFont giant("DejaVu Sans");
        giant.setPixelSize(500);
        p.setFont(giant);
        p.drawText(0, 0, "");
        QFont tiny("DejaVu Sans");
        tiny.setPixelSize(1);
        p.setFont(tiny);
        p.drawText(QRect(0, 0, 40, 20), Qt::AlignCenter, QString(100000, 'x'), &huge);
        p.setPen(QPen(Qt::red));
        p.drawLine(0, 18, 5, 18);
    });
    EXPECT_GT(huge.width(), 0);
    expectLitRun(rest, 18, 0, 5);
}
