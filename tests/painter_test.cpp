#include "glpainter.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using Draw = std::function<void(GLPainter&)>;

// The bounding box of everything drawn.
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

// Draws directly inside a real frame and returns the picture.
QImage Paint(int w, int h, const Draw& draw)
{
    return render(w, h, [&](TestSurface& s) {
        GLPainter p(&s);
        draw(p);
    });
}

// Records into a fresh metafile inside a real frame and returns it.
GLMetaFile RecordIn(const Draw& draw)
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

std::vector<int> Kinds(const GLMetaFile& m)
{
    std::vector<int> kinds;
    for (const GLMetaFile::GLMetaCommand& c : m.Commands())
        kinds.push_back(c.iKind);
    return kinds;
}

} // namespace

TEST(Painter, PensDrawSolidAndDottedOnlyAtLeastOnePixelWide)
{
    const QImage solid = Paint(40, 20, [](GLPainter& p) {
        p.setPen(QPen(Qt::red, 0));
        p.drawLine(5, 10, 30, 10);
    });
    expectLitRun(solid, 10, 5, 30);
    EXPECT_TRUE(litColumns(solid, 9).empty());
    EXPECT_TRUE(litColumns(solid, 11).empty());
    expectColour(solid, 5, 10, 0xFFFF0000);

    // Dashed, dash-dotted and no pen draw nothing; nor does the default pen: a painter starts
    // without a line style.
    for (int style : {int(Qt::DashLine), int(Qt::DashDotLine), int(Qt::NoPen), -1}) {
        const QImage none = Paint(40, 20, [style](GLPainter& p) {
            if (style >= 0)
                p.setPen(QPen(QBrush(Qt::red), 3, Qt::PenStyle(style)));
            p.drawLine(5, 10, 30, 10);
            p.drawRect(2, 2, 20, 10);
        });
        EXPECT_TRUE(LitBox(none).isNull()) << "pen style " << style;
    }
}

TEST(Painter, RectanglesFillWithTheBrushAndOutlineWithThePen)
{
    struct Case
    {
        const char* name;
        Draw draw;
        QRect box;
        std::vector<std::pair<QPoint, QRgb>> colours;
    };
    const std::vector<Case> cases = {
        // Inclusive right and bottom: fill 5..24, 5..14; the closed outline runs one pixel beyond.
        {"drawRect", [](GLPainter& p) { p.setBrush(QBrush(Qt::green)); p.drawRect(QRect(5, 5, 20, 10)); },
         QRect(5, 5, 21, 11), {{{15, 10}, 0xFF00FF00}, {{5, 10}, 0xFF0000FF}}},
        // fillRect ignores the brush style and the painter's pen and brush.
        {"fillRect", [](GLPainter& p) { p.setBrush(QBrush(Qt::green)); p.fillRect(QRect(2, 3, 10, 4), QBrush(Qt::red, Qt::Dense4Pattern)); },
         QRect(2, 3, 10, 4), {{{2, 3}, 0xFFFF0000}, {{11, 6}, 0xFFFF0000}}},
        // Patterned brushes other than solid fill nothing; the pen still outlines.
        {"hatched", [](GLPainter& p) { p.setBrush(QBrush(Qt::green, Qt::CrossPattern)); p.drawRect(5, 5, 20, 10); },
         QRect(5, 5, 21, 11), {{{15, 10}, 0}, {{5, 10}, 0xFF0000FF}}},
    };
    for (const Case& c : cases) {
        const QImage img = Paint(40, 30, [&](GLPainter& p) {
            p.setPen(QPen(Qt::blue));
            c.draw(p);
        });
        EXPECT_EQ(LitBox(img), c.box) << c.name;
        for (const auto& colour : c.colours)
            EXPECT_EQ(img.pixel(colour.first), colour.second) << c.name << " at " << colour.first.x() << "," << colour.first.y();
    }
}

TEST(Painter, GradientBrushesRunTopToBottomAndLeftToRight)
{
    for (bool horizontal : {true, false}) {
        const QImage img = Paint(40, 40, [horizontal](GLPainter& p) {
            if (horizontal) {
                p.setHGradientBrush(Qt::red, Qt::blue);
                p.drawPolygon(QPolygon(QRect(0, 0, 40, 40)), Qt::OddEvenFill);
            } else {
                p.setVGradientBrush(Qt::red, Qt::blue);
                p.drawPolygon(QPolygon(QRect(0, 0, 40, 40)), true);
            }
        });
        // Pixel at a position along the gradient and across it.
        const auto at = [&](int along, int across) { return horizontal ? img.pixel(across, along) : img.pixel(along, across); };
        EXPECT_GT(qRed(at(1, 20)), 200) << horizontal;
        EXPECT_GT(qBlue(at(38, 20)), 200) << horizontal;
        EXPECT_EQ(at(20, 1), at(20, 38)) << horizontal;
    }
}

TEST(Painter, SaveRestoreAndTransformsActOnTheMatrixStack)
{
    const QImage img = Paint(60, 60, [](GLPainter& p) {
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
    const QImage turned = Paint(40, 40, [](GLPainter& p) {
        p.translate(20, 5);
        p.rotate(90);
        p.fillRect(QRect(0, 0, 10, 2), QBrush(Qt::white));
    });
    EXPECT_EQ(LitBox(turned), QRect(18, 5, 2, 10));
}

TEST(Painter, RestorePopsWhereItsSavePushedAndDeepSavesKeepTheOuterTransform)
{
    // A save made while drawing directly is popped on the GL stack even when recording has begun
    // since; nothing is recorded for it. begin(nullptr) goes back to drawing directly.
    GLMetaFile metafile;
    const QImage switched = Paint(20, 20, [&](GLPainter& p) {
        p.setPen(QPen(Qt::red));
        p.save();
        p.translate(10, 10);
        p.begin(&metafile);
        p.setPen(QPen(Qt::blue));
        p.drawLine(0, 0, 5, 0);
        p.restore();
        p.drawLine(0, 5, 5, 5);
        p.begin(nullptr);
        p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
    });
    // No pop is recorded, but the restore ends the line batch: the next line has the saved pen.
    ASSERT_EQ(Kinds(metafile), (std::vector<int>{GLMetaFile::eLines, GLMetaFile::eLines}));
    GLFrameWidget::GLLines restored = metafile.Lines()[1];
    EXPECT_EQ(restored.LineStyle().FgColor(), QColor(Qt::red));
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
    EXPECT_EQ(Kinds(first), std::vector<int>{GLMetaFile::ePushTransform});
    EXPECT_TRUE(second.Commands().empty());

    // end() pops outstanding saves into the recording; drawing directly again, it grows no more.
    GLMetaFile ended;
    const QImage afterEnd = Paint(20, 20, [&](GLPainter& p) {
        p.setPen(QPen(Qt::green));
        p.begin(&ended);
        for (int i = 0; i < 3; ++i)
            p.save();
        p.end();
        p.drawLine(0, 5, 5, 5);
    });
    const int push = GLMetaFile::ePushTransform, pop = GLMetaFile::ePopTransform;
    EXPECT_EQ(Kinds(ended), (std::vector<int>{push, push, push, pop, pop, pop}));
    expectLitRun(afterEnd, 5, 0, 5);

    // Saves nested deeper than the GL matrix stack must not pop the transform around them.
    const QImage deep = Paint(20, 20, [](GLPainter& p) {
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

TEST(Painter, TextStandsOnItsBaselineOrAlignsInItsRectangleInPixels)
{
    // Find the DejaVu pixel size whose line height is 10, so the numbers are the worked ones.
    QFont font("DejaVu Sans");
    int h = 0, wide = 0, ascent = 0;
    render(20, 20, [&](TestSurface& w) {
        GLFrameWidget::GLText probe;
        for (int size = 4; size < 14 && h != 10; ++size) {
            font.setPixelSize(size);
            probe.SetFont(font, &w);
            h = w.GetTextHeight(probe);
        }
        probe.SetText("wide line", &w);
        wide = static_cast<int>(w.GetTextExtent(probe).Width());
        probe.SetText("Hg", &w);
        ascent = w.GetTextAscent(probe);
    });
    ASSERT_EQ(h, 10);
    ASSERT_GT(wide, 0);

    const int centre = Qt::AlignHCenter | Qt::AlignVCenter;
    GLMetaFile metafile;
    QRect centred, right, empty, measured, direct;
    const QImage img = render(120, 130, [&](TestSurface& w) {
        GLPainter p(&w);
        p.setFont(font);
        p.setPen(QPen(Qt::white));
        p.begin(&metafile);
        p.drawText(QRect(0, 0, 100, 50), centre, "wide line\nab", &centred);
        p.drawText(QRect(10, 0, 100, 20), Qt::AlignRight, "wide line", &right);
        p.drawText(QRect(0, 60, 100, 20), Qt::AlignBottom, "", &empty);
        p.end();
        measured = p.boundingRect(QRect(0, 0, 100, 50), centre, "wide line\nab");
        // Drawn directly: centred in rows 0..49, right-aligned in rows 60..79, left in rows 80..99.
        p.drawText(QRect(0, 0, 100, 50), centre, "wide line\nab");
        p.drawText(QRect(10, 60, 100, 20), Qt::AlignRight, "HHHH", &direct);
        EXPECT_EQ(direct, p.boundingRect(QRect(10, 60, 100, 20), Qt::AlignRight, "HHHH"));
        p.drawText(QRect(10, 80, 100, 20), Qt::AlignLeft, "HHHH");
        // On the baseline 120: transparent, then opaque behind its text.
        p.setBackgroundColor(Qt::blue);
        p.drawText(10, 120, "Hg");
        p.setBackgroundMode(Qt::OpaqueMode);
        p.drawText(60, 120, "x");
    });
    const std::vector<GLFrameWidget::GLText>& texts = metafile.Texts();
    ASSERT_EQ(texts.size(), 4u);
    // Two lines centred vertically in 50 pixels: (50 - 20) / 2 = 15, then one line height below.
    EXPECT_EQ(texts[0].Y(), 15);
    EXPECT_EQ(texts[1].Y(), 25);
    EXPECT_EQ(texts[0].X(), (100 - wide) / 2);
    EXPECT_EQ(centred, QRect((100 - wide) / 2, 15, wide, 20));
    EXPECT_EQ(measured, centred);
    // Right alignment ends the line at the rectangle's inclusive right edge, 109.
    EXPECT_EQ(texts[2].X(), 110 - wide);
    EXPECT_EQ(right.right(), 109);
    // An empty text still takes one line, bottom-aligned.
    EXPECT_EQ(empty.height(), 10);
    EXPECT_EQ(texts[3].Y(), 70);

    // The centred glyphs stay inside the two lines and are centred around x = 50.
    const QRect lit = LitBox(img.copy(0, 0, 120, 50));
    ASSERT_FALSE(lit.isNull());
    EXPECT_GE(lit.top(), 15);
    EXPECT_LE(lit.bottom(), 34);
    EXPECT_NEAR(lit.center().x(), 50, 2);
    // Right-aligned ink ends at the inclusive right edge 109; left-aligned ink starts at 10.
    EXPECT_EQ(direct.right(), 109);
    const QRect ink = LitBox(img.copy(0, 60, 120, 20));
    EXPECT_LE(ink.right(), 109);
    EXPECT_GE(ink.right(), 109 - 3);
    EXPECT_GE(ink.left(), 110 - direct.width());
    const QRect leftInk = LitBox(img.copy(0, 80, 120, 20));
    EXPECT_GE(leftInk.left(), 10);
    EXPECT_LE(leftInk.left(), 13);

    // The H stands on the baseline; the g descends below it.
    const QRect hg = LitBox(img.copy(0, 100, 60, 30)).translated(0, 100);
    EXPECT_GE(hg.top(), 120 - ascent);
    EXPECT_LT(hg.top(), 120);
    EXPECT_GT(hg.bottom(), 120);
    // Opaque mode fills the background behind the text; transparent mode does not.
    const auto blue = [&](int from, int to) {
        int n = 0;
        for (int y = 100; y < 130; ++y)
            for (int x = from; x < to; ++x)
                n += img.pixel(x, y) == 0xFF0000FF;
        return n;
    };
    EXPECT_EQ(blue(0, 60), 0);
    EXPECT_GT(blue(60, 120), 10);
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
    Paint(10, 10, [](GLPainter&) {});
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
    // Between two lines: the number of line batches recorded.
    const std::vector<std::tuple<const char*, size_t, Draw>> cases = {
        {"setPen", 2, [](GLPainter& p) { p.setPen(QPen(Qt::red)); }},
        {"save", 2, [](GLPainter& p) { p.save(); }},
        {"translate", 2, [](GLPainter& p) { p.translate(1, 1); }},
        {"scale", 2, [](GLPainter& p) { p.scale(2, 2); }},
        {"rotate", 2, [](GLPainter& p) { p.rotate(5); }},
        {"drawRect", 2, [](GLPainter& p) { p.drawRect(0, 0, 3, 3); }},
        {"drawPolygon", 2, [](GLPainter& p) { p.drawPolygon(QPolygon(QRect(0, 0, 3, 3))); }},
        {"drawText", 2, [](GLPainter& p) { p.drawText(0, 10, "t"); }},
        {"nothing", 1, [](GLPainter&) {}},
        {"setBrush", 1, [](GLPainter& p) { p.setBrush(QBrush(Qt::blue)); }},
        {"setFont", 1, [](GLPainter& p) { p.setFont(QFont("DejaVu Serif")); }},
        {"restore on empty stack", 1, [](GLPainter& p) { p.restore(); }},
        {"drawImage", 1, [](GLPainter& p) { p.drawImage(QPoint(0, 0), QImage(4, 4, QImage::Format_ARGB32)); }},
    };
    for (const auto& c : cases) {
        const GLMetaFile m = RecordIn([&](GLPainter& p) {
            p.setPen(QPen(Qt::red));
            p.drawLine(0, 0, 10, 0);
            std::get<2>(c)(p);
            p.drawLine(0, 5, 10, 5);
        });
        ASSERT_EQ(m.Lines().size(), std::get<1>(c)) << std::get<0>(c);
        GLFrameWidget::GLLines batch = m.Lines()[0];
        EXPECT_EQ(batch.LineStyle().FgColor(), QColor(Qt::red)) << std::get<0>(c);
        if (std::get<1>(c) == 1) {
            // One command holding both segments.
            EXPECT_EQ(m.Commands().size(), 1u) << std::get<0>(c);
            EXPECT_EQ(batch.Vertices().size(), 8u) << std::get<0>(c);
        }
    }
}

TEST(Painter, ImagesDrawOnlyDirectlyAndCallerPolygonsKeepTheirStyles)
{
    QImage bitmap(4, 4, QImage::Format_ARGB32);
    bitmap.fill(0xFF00FFFF);
    GLMetaFile metafile;
    const QImage img = Paint(40, 20, [&](GLPainter& p) {
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
    const QImage direct = Paint(30, 20, [&](GLPainter& p) {
        p.setPen(QPen(Qt::red));
        p.setBrush(QBrush(Qt::blue));
        p.drawPolygon(own);
        p.begin(&recorded);
        p.drawPolygon(own);
    });
    EXPECT_EQ(LitBox(direct), QRect(5, 5, 10, 6));
    expectColour(direct, 5, 5, 0xFFFFFF00);
    ASSERT_EQ(recorded.Polygons().size(), 1u);
    EXPECT_EQ(Paint(30, 20, [&](GLPainter& p) { p.drawMetaFile(recorded); }), direct);
}

TEST(Painter, InvalidColoursDrawAsBlack)
{
    // Black is the colour an invalid QColor converts to.
    const auto scene = [](const QColor& c) {
        return Paint(40, 30, [c](GLPainter& p) {
            p.fillRect(QRect(0, 0, 40, 30), QBrush(Qt::white));
            p.setPen(QPen(c));
            p.setBrush(QBrush(c));
            p.drawLine(1, 1, 30, 1);
            p.drawRect(3, 4, 10, 8);
            p.setHGradientBrush(c, c);
            p.drawRect(20, 4, 10, 8);
            p.setFont(TestFont());
            p.drawText(2, 27, "ab");
        });
    };
    const QImage invalid = scene(QColor());
    EXPECT_EQ(invalid, scene(QColor(Qt::black)));
    expectColour(invalid, 8, 8, 0xFF000000);
}
