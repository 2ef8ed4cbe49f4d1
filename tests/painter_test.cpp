#include "glpainter.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
using Draw = std::function<void(GLPainter&)>;
using GL = GLFrameWidget;
using Pixels = std::vector<std::pair<QPoint, QRgb>>;
const QRgb Black = 0xFF000000, White = 0xFFFFFFFF, Blue = 0xFF0000FF, Green = 0xFF00FF00, Red = 0xFFFF0000;

// The bounding box of everything drawn.
QRect LitBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x : litColumns(img, y))
            box |= QRect(x, y, 1, 1);
    return box;
}

// Draws inside a real frame, directly or, given a metafile, recording into it.
QImage Paint(const Draw& draw, GLMetaFile* target = nullptr, QSize size = {40, 40})
{
    return render(size.width(), size.height(), [&](TestSurface& s) { GLPainter p(&s); p.begin(target), draw(p); });
}

QImage Replay(GLMetaFile& m, GLMetaFile* to = nullptr) { return Paint([&](GLPainter& p) { p.drawMetaFile(m); }, to); }
} // namespace

TEST(Painter, EachOperationDrawsWhatItNamesAndItsRecordingReplaysAlike)
{
    QImage bitmap(4, 4, QImage::Format_ARGB32);
    bitmap.fill(0xFF00FFFF);
    GL::GLPolygon own;
    own.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::yellow, QColor())), own.SetRect(5, 5, 10, 6);
    // Each case draws with a blue pen and a green brush unless it says otherwise.
    struct Case { const char* name; Draw draw; QRect box; Pixels pixels; bool recorded = true; };
    const Case cases[] = {
        {"zero-width pen", [](GLPainter& p) { p.setPen(QPen(Qt::red, 0)); p.drawLine(5, 10, 30, 10); },
         QRect(5, 10, 26, 1), {{{5, 10}, Red}, {{30, 10}, Red}}},
        {"drawRect fills 5..24 x 5..14, inclusive, and outlines one pixel beyond",
         [](GLPainter& p) { p.drawRect(QRect(5, 5, 20, 10)); }, QRect(5, 5, 21, 11),
         {{{15, 10}, Green}, {{5, 10}, Blue}}},
        {"fillRect ignores the brush style and the painter's pen and brush",
         [](GLPainter& p) { p.fillRect(QRect(2, 3, 10, 4), QBrush(Qt::red, Qt::Dense4Pattern)); },
         QRect(2, 3, 10, 4), {{{2, 3}, Red}, {{11, 6}, Red}}},
        {"dashed, dash-dotted and no pens draw nothing, nor do patterned brushes", [](GLPainter& p) {
             p.setBrush(QBrush(Qt::green, Qt::CrossPattern));
             for (Qt::PenStyle style : {Qt::DashLine, Qt::DashDotLine, Qt::NoPen})
                 p.setPen(QPen(QBrush(Qt::red), 3, style)), p.drawLine(5, 10, 30, 10), p.drawRect(2, 2, 20, 10);
         }, QRect(), {}},
        {"invalid colours draw black, also in gradients", [](GLPainter& p) {
             p.fillRect(QRect(0, 0, 40, 40), QBrush(Qt::white));
             p.setPen(QPen(QColor())); p.setBrush(QBrush(QColor())); p.drawLine(1, 1, 30, 1); p.drawRect(3, 4, 10, 8);
             p.setHGradientBrush(QColor(), QColor()); p.drawPolygon(QPolygon(QRect(20, 4, 10, 8)), Qt::OddEvenFill);
             p.setVGradientBrush(QColor(), Qt::black); p.drawPolygon(QPolygon(QRect(20, 18, 10, 8)));
         }, QRect(0, 0, 40, 40),
         {{{10, 1}, Black}, {{3, 6}, Black}, {{8, 8}, Black}, {{25, 8}, Black}, {{25, 22}, Black}, {{35, 22}, White}}},
        {"a caller's polygon keeps its own styles", [&](GLPainter& p) { p.drawPolygon(own); }, QRect(5, 5, 10, 6),
         {{{5, 5}, 0xFFFFFF00}}},
        {"images at a point and scaled into a rectangle are drawn, never recorded",
         [&](GLPainter& p) { p.drawImage(QPoint(2, 3), bitmap); p.drawImage(QRect(20, 4, 12, 8), bitmap); },
         QRect(2, 3, 30, 9), {{{5, 6}, 0xFF00FFFF}, {{6, 6}, 0}, {{19, 4}, 0}, {{31, 11}, 0xFF00FFFF}}, false},
        {"saves nested deeper than the GL matrix stack keep the transform around them", [](GLPainter& p) {
             p.translate(10, 10);
             for (int i = 0; i < 200; ++i)
                 i < 100 ? p.save() : p.restore();
             p.fillRect(QRect(0, 0, 2, 2), QBrush(Qt::white));
         }, QRect(10, 10, 2, 2), {}},
        // Recorded lines batch until their look or place changes: a batch that ran on would replay
        // each line below with the look or place before it, or under the rectangle it crosses. A
        // restore brings back the saved brush and transform, and one too many does nothing.
        {"state, transforms and line batches", [](GLPainter& p) {
             const auto line = [&p](int y) { p.drawLine(2, y, 20, y); };
             p.drawText(4, 36, "x"); line(0); line(2); // texts replay too
             p.setPen(QPen(Qt::white)); line(4);
             p.save(); p.translate(8, 10); line(0);
             p.scale(1.5, 1.0); line(2);
             p.setBrush(QBrush(Qt::red)); p.drawRect(2, 4, 5, 5); line(6);
             p.restore(); p.restore(); line(6); p.drawRect(24, 24, 4, 4);
             p.translate(34, 20); p.rotate(90); line(0); // +x onto +y
         }, QRect(2, 0, 37, 40),
         {{{2, 0}, Blue}, {{20, 2}, Blue}, {{2, 4}, White}, {{10, 10}, White}, {{38, 12}, White}, {{14, 16}, White},
          {{14, 17}, Red}, {{26, 26}, Green}, {{33, 22}, White}, {{33, 39}, White}}},
    };
    const QImage blank = Paint([](GLPainter&) {});
    const Draw offFrame = [](GLPainter& p) {
        p.setPen(QPen(Qt::red)), p.drawLine(-9, -9, -5, -9), p.drawRect(-9, -5, 2, 2);
    };
    for (const Case& c : cases) {
        const Draw draw = [&c](GLPainter& p) { p.setPen(QPen(Qt::blue)), p.setBrush(QBrush(Qt::green)), c.draw(p); };
        const QImage direct = Paint(draw);
        EXPECT_EQ(LitBox(direct), c.box) << c.name;
        for (const auto& [at, colour] : c.pixels)
            EXPECT_EQ(direct.pixel(at), colour) << c.name << " at " << at.x() << "," << at.y();
        // Recording draws nothing, and the replay draws what drawing directly drew. So does a copy made
        // by replaying into a metafile that holds records already (off the frame): the copy wraps the
        // commands in a push and a pop and renumbers the records. Replayed into itself, the copy
        // copies what it held once.
        GLMetaFile recorded, copy;
        EXPECT_EQ(Paint(draw, &recorded), blank) << c.name;
        EXPECT_EQ(Replay(recorded), c.recorded ? direct : blank) << c.name;
        Paint(offFrame, &copy), Replay(recorded, &copy);
        EXPECT_EQ(Replay(copy), c.recorded ? direct : blank) << c.name;
        Replay(copy, &copy);
        EXPECT_EQ(copy.Commands().size(), 2 * (recorded.Commands().size() + 4) + 2) << c.name;
        // Copies outlive their source; a move takes the records and leaves its source empty.
        auto source = std::make_unique<GLMetaFile>(recorded);
        GLMetaFile assigned, moved;
        assigned = *source, source.reset(), moved = GLMetaFile(std::move(assigned));
        EXPECT_TRUE(assigned.Commands().empty() && assigned.Lines().empty() && assigned.Polygons().empty() &&
                    assigned.Texts().empty()) << c.name;
        GLMetaFile& self = moved;
        moved = std::move(self); // a self-move keeps the records
        EXPECT_EQ(Replay(moved), c.recorded ? direct : blank) << c.name;
    }
    // A painter starts without a line style.
    EXPECT_EQ(Paint([](GLPainter& p) { p.drawLine(5, 10, 30, 10); }), blank);
}

TEST(Painter, TextStandsOnItsBaselineOrAlignsInItsRectangleInPixels)
{
    // Find the DejaVu pixel size whose line height is 10, so the numbers are the worked ones.
    QFont font("DejaVu Sans");
    int h = 0, wide = 0, ascent = 0;
    render(20, 20, [&](TestSurface& w) {
        GL::GLText probe;
        for (int size = 4; size < 14 && h != 10; ++size)
            font.setPixelSize(size), probe.SetFont(font, &w), h = w.GetTextHeight(probe);
        probe.SetText("wide line", &w), wide = int(w.GetTextExtent(probe).Width());
        probe.SetText("Hg", &w), ascent = w.GetTextAscent(probe);
    });
    ASSERT_TRUE(h == 10 && wide > 0) << h;

    const int centre = Qt::AlignHCenter | Qt::AlignVCenter;
    GLMetaFile metafile, copy;
    QRect centred, right, empty, measured;
    const QImage img = Paint([&](GLPainter& p) {
        p.setFont(font), p.setPen(QPen(Qt::white)), p.begin(&metafile);
        p.drawText(QRect(0, 0, 100, 50), centre, "wide line\nab", &centred);
        p.drawText(QRect(10, 0, 100, 20), Qt::AlignRight, "wide line", &right);
        p.drawText(QRect(0, 60, 100, 20), Qt::AlignBottom, "", &empty);
        p.drawText(10, 120, "Hg"), p.end();
        measured = p.boundingRect(QRect(0, 0, 100, 50), centre, "wide line\nab");
        p.drawText(QRect(0, 0, 100, 50), centre, "wide line\nab");
        // On the baseline 120: transparent, then opaque behind its text.
        p.setBackgroundColor(Qt::blue), p.drawText(10, 120, "Hg");
        p.setBackgroundMode(Qt::OpaqueMode), p.drawText(60, 120, "x");
    }, nullptr, {120, 130});
    // Read from a copy, which keeps the texts' places.
    Replay(metafile, &copy);
    const std::vector<GL::GLText>& texts = copy.Texts();
    ASSERT_EQ(texts.size(), 5u);
    // Two lines centred vertically in 50 pixels: (50 - 20) / 2 = 15, then one line height below.
    EXPECT_EQ(QPointF(texts[0].X(), texts[0].Y()), QPointF((100 - wide) / 2, 15));
    EXPECT_TRUE(texts[1].Y() == 25 && centred == QRect((100 - wide) / 2, 15, wide, 20) && measured == centred);
    // Right alignment ends the line at the rectangle's inclusive right edge, 109; an empty text
    // still takes one line, bottom-aligned; a text on a baseline starts an ascent above it.
    EXPECT_TRUE(texts[2].X() == 110 - wide && right.right() == 109) << texts[2].X();
    EXPECT_TRUE(empty.height() == 10 && texts[3].Y() == 70) << texts[3].Y();
    EXPECT_EQ(QPointF(texts[4].X(), texts[4].Y()), QPointF(10, 120 - ascent));

    // Drawn directly, the centred glyphs stay inside the two lines and are centred around x = 50;
    // the H stands on the baseline and the g descends below it. Only opaque mode fills the background.
    const QRect lit = LitBox(img.copy(0, 0, 120, 50)), hg = LitBox(img.copy(0, 100, 60, 30)).translated(0, 100);
    EXPECT_TRUE(lit.top() >= 15 && lit.bottom() <= 34 && std::abs(lit.center().x() - 50) <= 2) << lit.x() << lit.y();
    EXPECT_TRUE(hg.top() >= 120 - ascent && hg.top() < 120 && hg.bottom() > 120) << hg.top() << ".." << hg.bottom();
    int blue[2] = {0, 0};
    for (int y = 100; y < 130; ++y)
        for (int x : litColumns(img, y))
            blue[x / 60] += img.pixel(x, y) == Blue;
    EXPECT_TRUE(blue[0] == 0 && blue[1] > 10) << blue[0] << ", " << blue[1];
}
