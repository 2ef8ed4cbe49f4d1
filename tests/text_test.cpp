#include "support/render_fixture.h"

#include <GL/gl.h>
#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

#include <memory>

using GL = GLFrameWidget;

namespace
{
// Full hinting (whole-pixel advances) and no kerning make Qt lay a string out glyph by glyph, the way
// the atlas places its characters, so the two renderings can be compared pixel for pixel.
QFont TestFont(int pixels)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels), font.setHintingPreference(QFont::PreferFullHinting), font.setKerning(false);
    return font;
}

const QString Greek = QString::fromUtf8("Αλφα βήτα γάμμα");

GL::GLText Label(const QString& text, const QFont& font, float x, float y, GL* widget, const QColor& color = Qt::white)
{
    GL::GLText t;
    t.SetFont(font, widget), t.SetText(text, widget), t.SetColor(color), t.SetPos(x, y);
    return t;
}

// One label at (2, 2), drawn standalone in a fresh frame.
QImage DrawLabel(const QString& text, const QColor& color = Qt::white, int w = 80, int h = 24)
{
    return render(w, h, [&](TestSurface& s) {
        GL::GLText t = Label(text, TestFont(16), 2, 2, &s, color);
        s.DrawTextW(t, true, nullptr);
    });
}

int LitPixels(const QImage& img)
{
    int lit = 0;
    for (int y = 0; y < img.height(); ++y)
        lit += int(litColumns(img, y).size());
    return lit;
}

// Texture objects alive in the current context; a fresh surface makes none of its own.
int TextureCount()
{
    int count = 0;
    for (GLuint name = 1; name <= 512; ++name)
        count += glIsTexture(name) ? 1 : 0;
    return count;
}
} // namespace

TEST(Text, AtlasAndPooledTextMatchQPainterUprightColouredAndFlipped)
{
    // Latin-1 text (233 included) draws from the atlas at the top, other text from a pooled texture below.
    const QFont fonts[2] = {TestFont(14), TestFont(16)};
    const QFontMetrics lm(fonts[0]), gm(fonts[1]);
    const QString texts[2] = {QString::fromLatin1("AVAWay Hallo Welt, \xe9\xe0\xdf 123!"), Greek};
    // The atlas box runs one pixel beyond the ink bearings on either side; the pooled one is the bounding
    // rectangle. The position is the box's top left corner: atlas text starts its pen one pixel left of it
    // plus the bearing, the pooled texture holds its text at pen (1, ascent). Flipping mirrors each box.
    const QRect bounds = gm.boundingRect(QRect(0, 0, -1, -1), Qt::AlignLeft | Qt::AlignTop, Greek).adjusted(0, 0, 1, 0);
    const int latinWidth = lm.horizontalAdvance(texts[0]) - lm.leftBearing(texts[0].front()) -
                           lm.rightBearing(texts[0].back()) + 2;
    const QRect boxes[2] = {QRect(5, 6, latinWidth, lm.height()), QRect(QPoint(4, 33), bounds.size())};
    const QPointF pens[2] = {QPointF(5 + 1 - lm.leftBearing(texts[0].front()), 6 + lm.ascent()),
                             QPointF(4 + 1, 33 + gm.ascent())};
    for (const auto& [colour, flip] : {std::pair(QColor(Qt::white), false), {QColor(255, 128, 0), false},
                                       {QColor(Qt::white), true}}) {
        SCOPED_TRACE(testing::Message() << "colour " << colour.name().toStdString() << " flipped " << flip);
        QImage reference(260, 60, QImage::Format_ARGB32_Premultiplied);
        reference.fill(Qt::transparent);
        QPainter painter(&reference);
        painter.setPen(colour), painter.setRenderHint(QPainter::TextAntialiasing);
        QImage gl = render(260, 60, [&](TestSurface& w) {
            for (int i = 0; i < 2; ++i) {
                GL::GLText t = Label(texts[i], fonts[i], boxes[i].x(), boxes[i].y(), &w, colour);
                t.SetFlipY(flip);
                EXPECT_EQ(QSizeF(w.GetTextExtent(t).Width(), w.GetTextExtent(t).Height()), QSizeF(boxes[i].size()));
                const QFontMetrics& m = i ? gm : lm;
                EXPECT_EQ(QSize(w.GetTextAscent(t), w.GetTextHeight(t)), QSize(m.ascent(), m.height()));
                EXPECT_TRUE(t.IsLatin1() == (i == 0) && (i == 0 || t.BoundingRect() == bounds)) << i;
                w.DrawTextW(t, true, nullptr);
                painter.setFont(fonts[i]), painter.drawText(pens[i], texts[i]);
            }
            EXPECT_EQ(TextureCount(), 2) << "one atlas and one pooled texture";
        });
        painter.end();
        if (flip) { // mirror each box back upright
            QPainter upright(&gl);
            upright.setCompositionMode(QPainter::CompositionMode_Source);
            for (const QRect& box : boxes)
                upright.drawImage(box.topLeft(), gl.copy(box).mirrored(false, true));
        }
        ASSERT_TRUE(LitPixels(reference) > 200 && gl.format() == reference.format()) << gl.format();
        int worst = 0; // in any channel of any pixel
        for (qsizetype i = 0; i < gl.sizeInBytes(); ++i)
            worst = std::max(worst, std::abs(gl.constBits()[i] - reference.constBits()[i]));
        EXPECT_LE(worst, 4);
    }
}

TEST(Text, BatchModeSharesTheBoundAtlasAndMatchesStandaloneWhichRestoresTheState)
{
    unsigned int slot = 0;
    GLint bound[2] = {-1, -1};
    GL::GLSize box;
    auto draw = [&](bool batch) {
        return render(120, 40, [&](TestSurface& w) {
            GL::GLText texts[2] = {Label("Box", TestFont(14), 10, 5, &w), Label("second", TestFont(14), 2, 22, &w)};
            texts[0].SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::blue, Qt::blue));
            box = w.GetTextExtent(texts[0]);
            if (batch) { // the caller sets up what standalone drawing would, then draws with the atlas slot
                glPushAttrib(GL_ALL_ATTRIB_BITS), glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
                glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA), glAlphaFunc(GL_GREATER, 0.01f);
                glEnable(GL_BLEND), glEnable(GL_ALPHA_TEST), glEnable(GL_TEXTURE_2D);
                glEnableClientState(GL_VERTEX_ARRAY), glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            }
            for (int i = 0; i < 2; ++i)
                w.DrawTextW(texts[i], !batch, batch ? &slot : nullptr), glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound[i]);
            EXPECT_EQ(bool(glIsEnabled(GL_TEXTURE_2D)), batch) << "batch mode leaves the caller's state on";
            if (batch)
                return glPopClientAttrib(), glPopAttrib();
            EXPECT_EQ(bound[1], 0);
            for (GLenum cap : {GL_BLEND, GL_ALPHA_TEST, GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY})
                EXPECT_FALSE(glIsEnabled(cap)) << cap;
        });
    };
    const QImage standalone = draw(false);
    EXPECT_EQ(draw(true), standalone);
    EXPECT_TRUE(slot != 0 && GLuint(bound[0]) == slot && GLuint(bound[1]) == slot) << slot;
    // The background fills the text box exactly, with the glyphs laid over it.
    const int right = 10 + int(box.Width()) - 1, bottom = 5 + int(box.Height()) - 1;
    for (auto [x, y, colour] : {std::tuple{10, 5, 0xFF0000FFu}, {right, bottom, 0xFF0000FFu}, {right + 1, bottom, 0u},
                                {10, bottom + 1, 0u}, {9, 5, 0u}})
        expectColour(standalone, x, y, colour);
    const auto row = litColumns(standalone, 13); // where the glyphs are, white is laid over the blue
    EXPECT_TRUE(std::any_of(row.begin(), row.end(), [&](int x) { return qRed(standalone.pixel(x, 13)) > 200; }));
}

TEST(Text, UnchangedTextIsNotLaidOutAgainAndPooledTexturesAreReused)
{
    const QFont font = TestFont(14);
    std::vector<int> layouts, textures;
    render(200, 60, [&](TestSurface& w) {
        GL::GLText t = Label("static", font, 2, 2, &w), g = Label(Greek, font, 2, 30, &w);
        auto step = [&](GL::GLText& text) { w.DrawTextW(text, true, nullptr), layouts.push_back(w.TextLayoutCount()); };
        step(t), step(t);                                                         // built once: 1, 1
        t.SetPos(2, 2), t.SetText("static", &w), t.SetColor(Qt::white), step(t); // the same values: 1
        t.SetPos(3, 2), step(t);                                                  // 2
        t.SetColor(Qt::red), step(t);                                             // 3
        t.SetFlipY(true), step(t);                                                // 4
        t.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::blue, Qt::blue)), step(t); // 5
        t.SetFont(TestFont(15), &w), step(t);                                     // 6
        step(g), step(g);                                                         // 7, 7: rendered once
        textures.push_back(TextureCount()); // two atlases and one pooled texture

        // An unlinked pooled texture goes to the next text of its size class.
        GL::GLText b = Label(QString::fromUtf8("Ωμέγα ψιλόν δέλτα"), font, 2, 20, &w);
        GL::GLText c = Label(QString::fromUtf8("Ζήτα θήτα ιώτα κ"), font, 2, 40, &w);
        w.DrawTextW(b, true, nullptr), textures.push_back(TextureCount()); // b has a texture of its own
        g.Unlink(), w.DrawTextW(c, true, nullptr), textures.push_back(TextureCount()); // c takes g's
        (void)GL::GLText(b); // a copy's destruction unlinks the shared texture ...
        step(b); // ... so b renders itself anew into a free texture: 10, after b's and c's first layouts
        textures.push_back(TextureCount());
    });
    EXPECT_EQ(layouts, (std::vector<int>{1, 1, 1, 2, 3, 4, 5, 6, 7, 7, 10}));
    EXPECT_EQ(textures, (std::vector<int>{3, 4, 4, 4}));
}

TEST(Text, TextOutlivesItsWidgetAndBadInputGetsDefinedAnswers)
{
    RecordingErrorHandler errors;
    const QFont font = TestFont(14);
    GL::GLText latin, greek;
    QImage first;
    const auto draw = [](GL& s, GL::GLText& a, GL::GLText& b) {
        s.DrawTextW(a, true, nullptr), s.DrawTextW(b, true, nullptr);
    };
    {
        auto w = std::make_unique<TestSurface>();
        w->resize(200, 40);
        latin = Label("moved", font, 2, 2, w.get()), greek = Label(Greek, font, 2, 20, w.get());
        draw(*w, latin, greek); // outside a frame: nothing is laid out, measuring works
        EXPECT_TRUE(w->TextLayoutCount() == 0 && w->GetTextExtent(latin).Height() == QFontMetrics(font).height());
        w->paint = [&](TestSurface& s) { draw(s, latin, greek); };
        ASSERT_TRUE(w->RenderToImage(&first));
    } // the widget, its fonts and its pool go; the texts keep stale references
    const QImage second = render(200, 40, [&](TestSurface& s) { draw(s, latin, greek); });
    const QImage fresh = render(200, 40, [&](TestSurface& s) {
        GL::GLText a = Label("moved", font, 2, 2, &s), b = Label(Greek, font, 2, 20, &s);
        draw(s, a, b);
    });
    EXPECT_GT(LitPixels(fresh), 100);
    EXPECT_EQ(first, fresh) << "the frame after drawing outside one";
    EXPECT_EQ(second, fresh) << "on another widget";
    latin.Unlink(), greek.Unlink();

    // Wider than the largest size class: no texture, nothing drawn.
    const QString wide = Greek.repeated(100000 / Greek.size() + 1).left(100000);
    int textures = -1;
    const QImage tooWide = render(64, 20, [&](TestSurface& w) {
        GL::GLText t = Label(wide, TestFont(12), 0, 0, &w);
        ASSERT_GT(t.BoundingRect().width(), 4 << 15);
        w.DrawTextW(t, true, nullptr), textures = TextureCount();
    });
    EXPECT_TRUE(textures == 0 && LitPixels(tooWide) == 0) << textures;
    // Without a widget, text beyond Latin-1 is measured for the screen, which here has the same resolution.
    GL::GLText measured;
    measured.SetFont(font, nullptr), measured.SetText(Greek, nullptr);
    const QRect screen = QFontMetrics(font).boundingRect(QRect(0, 0, -1, -1), Qt::AlignLeft | Qt::AlignTop, Greek);
    EXPECT_EQ(measured.BoundingRect(), screen.adjusted(0, 0, 1, 0));
    // Control characters, invalid colours and invisible labels.
    const QImage withTab = DrawLabel(QString::fromLatin1("A\tB")), invalid = DrawLabel("Ink", QColor());
    EXPECT_EQ(withTab, DrawLabel("A B")) << "control characters draw as spaces";
    EXPECT_NE(withTab, DrawLabel("AB"));
    EXPECT_EQ(LitPixels(DrawLabel(QString::fromLatin1("\x01\x1f"))), 0);
    EXPECT_EQ(invalid, DrawLabel("Ink", Qt::black)) << "an invalid colour is what QColor reports for it: opaque black";
    EXPECT_GT(LitPixels(invalid), 20);
    EXPECT_GT(LitPixels(DrawLabel("Hidden", QColor(255, 255, 255, 10))), 0) << "any alpha above 0 draws";
    // Fully transparent and empty text build no quads and draw neither text nor background.
    int layouts = -1;
    const QImage img = render(80, 24, [&](TestSurface& w) {
        GL::GLText texts[2] = {Label("Hidden", TestFont(16), 2, 2, &w, QColor(255, 255, 255, 0)),
                               Label("", TestFont(16), 2, 2, &w)};
        for (GL::GLText& t : texts)
            t.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::red, Qt::red)), w.DrawTextW(t, true, nullptr);
        layouts = w.TextLayoutCount();
    });
    EXPECT_TRUE(LitPixels(img) == 0 && layouts == 0) << layouts;
    EXPECT_TRUE(errors.vLogged.empty());
}
