#include "support/render_fixture.h"

#include <GL/gl.h>
#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <set>

using GL = GLFrameWidget;

namespace
{
// Full hinting (whole-pixel advances) and no kerning make Qt lay a string out glyph by glyph, the way
// the atlas places its characters, so the two renderings can be compared pixel for pixel.
QFont TestFont(int pixels)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);
    return font;
}

const QString Greek = QString::fromUtf8("Αλφα βήτα γάμμα");

GL::GLText Label(const QString& text, const QFont& font, float x, float y, GLFrameWidget* widget,
                 const QColor& color = Qt::white)
{
    GL::GLText t;
    t.SetFont(font, widget);
    t.SetText(text, widget);
    t.SetColor(color);
    t.SetPos(x, y);
    return t;
}

// One label drawn standalone, after an optional change to it, in a fresh frame.
QImage DrawLabel(int w, int h, const QString& text, const QFont& font, float x, float y,
                 const QColor& color = Qt::white, const std::function<void(GL::GLText&, TestSurface&)>& change = {})
{
    return render(w, h, [&](TestSurface& s) {
        GL::GLText t = Label(text, font, x, y, &s, color);
        if (change)
            change(t, s);
        s.DrawTextW(t, true, nullptr);
    });
}

QImage QPainterText(int w, int h, const QFont& font, const QPointF& baseline, const QString& text,
                    const QColor& color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(color);
    painter.setFont(font);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawText(baseline, text);
    return image;
}

// The same columns and rows carry clearly visible coverage (the glyph boxes and their spacing), and no
// channel of any pixel differs by more than 4.
void ExpectLike(const QImage& gl, const QImage& reference)
{
    std::set<int> columns[2], rows[2];
    int worst = 0;
    for (int y = 0; y < gl.height(); ++y)
        for (int x = 0; x < gl.width(); ++x) {
            const QRgb p = gl.pixel(x, y), q = reference.pixel(x, y);
            worst = std::max({worst, std::abs(qAlpha(p) - qAlpha(q)), std::abs(qRed(p) - qRed(q)),
                              std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
            for (int i : {0, 1})
                if (qAlpha(i ? q : p) > 8)
                    columns[i].insert(x), rows[i].insert(y);
        }
    EXPECT_EQ(columns[0], columns[1]);
    EXPECT_EQ(rows[0], rows[1]);
    EXPECT_LE(worst, 4);
}

int LitPixels(const QImage& img)
{
    int lit = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            lit += img.pixel(x, y) != 0;
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

TEST(Text, AtlasAndPooledTextMatchQPainter)
{
    // Latin-1 text (233 included) draws from the atlas at the top, other text from a pooled texture below.
    const QFont latinFont = TestFont(14), greekFont = TestFont(16);
    const QFontMetrics lm(latinFont), gm(greekFont);
    const QString s = QString::fromLatin1("AVAWay Hallo Welt, \xe9\xe0\xdf 123!");
    for (const auto& [colour, flip] : {std::pair(QColor(Qt::white), false), std::pair(QColor(255, 128, 0), false),
                                       std::pair(QColor(Qt::white), true)}) {
        GL::GLSize latinExtent, greekExtent;
        QRect bounds;
        bool latin1[2] = {false, true};
        int ascent = 0, height = 0, greekAscent = 0, textures = -1;
        const QImage gl = render(260, 60, [&](TestSurface& w) {
            GL::GLText t = Label(s, latinFont, 5, 6, &w, colour);
            GL::GLText g = Label(Greek, greekFont, 4, 33, &w, colour);
            t.SetFlipY(flip);
            g.SetFlipY(flip);
            latin1[0] = t.IsLatin1();
            latin1[1] = g.IsLatin1();
            latinExtent = w.GetTextExtent(t);
            greekExtent = w.GetTextExtent(g);
            ascent = w.GetTextAscent(t);
            height = w.GetTextHeight(t);
            greekAscent = w.GetTextAscent(g);
            bounds = g.BoundingRect();
            w.DrawTextW(t, true, nullptr);
            w.DrawTextW(g, true, nullptr);
            textures = TextureCount();
        });
        EXPECT_TRUE(latin1[0]);
        EXPECT_FALSE(latin1[1]);
        EXPECT_EQ(textures, 2) << "one atlas and one pooled texture";
        EXPECT_EQ(ascent, lm.ascent());
        EXPECT_EQ(height, lm.height());
        // The atlas box runs one pixel beyond the ink bearings on either side.
        EXPECT_EQ(latinExtent.Width(), lm.horizontalAdvance(s) - lm.leftBearing(s.front()) -
                                           lm.rightBearing(s.back()) + 2);
        EXPECT_EQ(latinExtent.Height(), lm.height());
        const QRect expected =
            gm.boundingRect(QRect(0, 0, -1, -1), Qt::AlignLeft | Qt::AlignTop, Greek).adjusted(0, 0, 1, 0);
        EXPECT_EQ(bounds, expected);
        EXPECT_EQ(greekExtent.Width(), expected.width());
        EXPECT_EQ(greekExtent.Height(), expected.height());

        // The position is the box's top left corner: atlas text starts its pen one pixel left of it plus
        // the bearing; the pooled texture holds its text at pen (1, ascent). Flipping mirrors each box.
        const QImage references[2] = {
            QPainterText(260, 30, latinFont, QPointF(5 + 1 - lm.leftBearing(s.front()), 6 + lm.ascent()), s, colour),
            QPainterText(260, 30, greekFont, QPointF(4 + 1, 3 + greekAscent), Greek, colour)};
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE(testing::Message() << "text " << i << " flipped " << flip);
            QImage part = gl.copy(0, 30 * i, 260, 30);
            if (flip) { // mirror the box back upright
                const int top = i ? 3 : 6, rows = int(i ? greekExtent.Height() : latinExtent.Height());
                const QImage box = part.copy(0, top, 260, rows).mirrored(false, true);
                for (int k = 0; k < rows; ++k)
                    std::memcpy(part.scanLine(top + k), box.constScanLine(k), size_t(box.bytesPerLine()));
            }
            ASSERT_GT(LitPixels(references[i]), 100);
            ExpectLike(part, references[i]);
        }
    }
}

TEST(Text, InvisibleAndEquivalentLabels)
{
    const QFont font = TestFont(16);
    auto draw = [&](const QString& s, const QColor& c = Qt::white) { return DrawLabel(80, 24, s, font, 2, 2, c); };
    // Control characters draw as spaces.
    const QImage withTab = draw(QString::fromLatin1("A\tB"));
    EXPECT_EQ(withTab, draw("A B"));
    EXPECT_NE(withTab, draw("AB"));
    EXPECT_EQ(LitPixels(draw(QString::fromLatin1("\x01\x1f"))), 0);
    // An invalid colour is what QColor reports for it: opaque black; any alpha above 0 draws.
    const QImage invalid = draw("Ink", QColor());
    EXPECT_EQ(invalid, draw("Ink", Qt::black));
    EXPECT_GT(LitPixels(invalid), 20);
    EXPECT_GT(LitPixels(draw("Hidden", QColor(255, 255, 255, 10))), 0);

    // Fully transparent and empty text build no quads and draw neither text nor background.
    int layoutsBefore = -1, layoutsAfter = -1;
    const QImage img = render(80, 24, [&](TestSurface& w) {
        GL::GLText clear = Label("Hidden", font, 2, 2, &w, QColor(255, 255, 255, 0));
        GL::GLText empty = Label("", font, 2, 2, &w);
        empty.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::red, Qt::red));
        clear.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::red, Qt::red));
        layoutsBefore = w.TextLayoutCount();
        w.DrawTextW(clear, true, nullptr);
        w.DrawTextW(empty, true, nullptr);
        layoutsAfter = w.TextLayoutCount();
    });
    EXPECT_EQ(LitPixels(img), 0);
    EXPECT_EQ(layoutsAfter, layoutsBefore);
}

TEST(Text, BackgroundFillsTheTextBoxAndStateIsRestored)
{
    GL::GLSize extent;
    bool restored = false;
    const QImage img = render(120, 30, [&](TestSurface& w) {
        GL::GLText t = Label("Box", TestFont(14), 10, 5, &w, Qt::white);
        t.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::blue, Qt::blue));
        extent = w.GetTextExtent(t);
        GLint bound = -1;
        w.DrawTextW(t, true, nullptr);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        restored = !glIsEnabled(GL_TEXTURE_2D) && !glIsEnabled(GL_BLEND) && !glIsEnabled(GL_ALPHA_TEST) &&
                   !glIsEnabled(GL_VERTEX_ARRAY) && !glIsEnabled(GL_TEXTURE_COORD_ARRAY) && bound == 0;
    });
    EXPECT_TRUE(restored);
    const int right = 10 + int(extent.Width()) - 1, bottom = 5 + int(extent.Height()) - 1;
    expectColour(img, 10, 5, 0xFF0000FF);
    expectColour(img, right, bottom, 0xFF0000FF);
    expectColour(img, right + 1, bottom, 0);
    expectColour(img, 10, bottom + 1, 0);
    expectColour(img, 9, 5, 0);
    // Where the glyphs are, white is laid over the blue.
    int whiteish = 0;
    for (int x = 10; x <= right; ++x)
        whiteish += qRed(img.pixel(x, 5 + 8)) > 200 ? 1 : 0;
    EXPECT_GT(whiteish, 0);
}

TEST(Text, BatchModeSharesTheBoundAtlasAndMatchesStandalone)
{
    const QFont font = TestFont(14);
    unsigned int slot = 0;
    GLint bound[2] = {-1, -1};
    auto draw = [&](bool batch) {
        return render(120, 40, [&](TestSurface& w) {
            GL::GLText texts[2] = {Label("first", font, 2, 2, &w), Label("second", font, 2, 20, &w)};
            if (!batch) {
                for (GL::GLText& t : texts)
                    w.DrawTextW(t, true, nullptr);
                return;
            }
            // The caller sets up what standalone drawing would, then draws with the atlas slot.
            glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
            glAlphaFunc(GL_GREATER, 0.01f);
            for (GLenum cap : {GL_BLEND, GL_ALPHA_TEST, GL_TEXTURE_2D})
                glEnable(cap);
            for (GLenum array : {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY})
                glEnableClientState(array);
            for (int i = 0; i < 2; ++i) {
                w.DrawTextW(texts[i], false, &slot);
                glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound[i]);
            }
            EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "batch mode leaves the caller's state on";
            for (GLenum array : {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY})
                glDisableClientState(array);
            for (GLenum cap : {GL_BLEND, GL_ALPHA_TEST, GL_TEXTURE_2D})
                glDisable(cap);
        });
    };
    EXPECT_EQ(draw(true), draw(false));
    EXPECT_NE(slot, 0u);
    EXPECT_EQ(GLuint(bound[0]), slot);
    EXPECT_EQ(GLuint(bound[1]), slot);
}

TEST(Text, AtlasesAndTexturesAreCachedAndReused)
{
    // Fonts of one family and metrics height share an atlas.
    std::vector<int> counts;
    render(120, 60, [&](TestSurface& w) {
        QFont small("DejaVu Sans"), close, tall;
        small.setPointSizeF(10.0);
        tall = close = small;
        tall.setPointSizeF(20.0);
        for (double size = 10.05; close == small && size < 12; size += 0.05) {
            QFont other = small;
            other.setPointSizeF(size);
            if (QFontMetrics(other, &w).height() == QFontMetrics(small, &w).height())
                close = other;
        }
        ASSERT_NE(close, small) << "no second size of equal height found";
        for (const QFont& f : {small, close, tall}) {
            GL::GLText t = Label("abc", f, 2, 2, &w);
            w.DrawTextW(t, true, nullptr);
            counts.push_back(TextureCount());
        }
    });
    EXPECT_EQ(counts, (std::vector<int>{1, 1, 2}));

    // Unchanged text is not laid out or rendered again.
    const QFont font = TestFont(14);
    std::vector<int> layouts;
    int textures = -1;
    render(200, 60, [&](TestSurface& w) {
        GL::GLText t = Label("static", font, 2, 2, &w);
        GL::GLText g = Label(Greek, font, 2, 30, &w);
        auto step = [&](GL::GLText& text) {
            w.DrawTextW(text, true, nullptr);
            layouts.push_back(w.TextLayoutCount());
        };
        step(t); // first draw builds: 1
        step(t); // unchanged: 1
        t.SetPos(2, 2); // same values: 1
        t.SetText("static", &w);
        t.SetColor(Qt::white);
        step(t);
        t.SetPos(3, 2), step(t);                                                      // 2
        t.SetColor(Qt::red), step(t);                                                 // 3
        t.SetFlipY(true), step(t);                                                    // 4
        t.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::blue, Qt::blue)), step(t); // 5
        t.SetFont(TestFont(15), &w), step(t);                                         // 6
        step(g), step(g);                                                             // 7, 7: rendered once
        textures = TextureCount();
    });
    EXPECT_EQ(layouts, (std::vector<int>{1, 1, 1, 2, 3, 4, 5, 6, 7, 7}));
    EXPECT_EQ(textures, 3) << "two atlases and one pooled texture";

    // An unlinked pooled texture goes to the next text of its size class.
    counts.clear();
    render(200, 60, [&](TestSurface& w) {
        GL::GLText a = Label(Greek, font, 2, 2, &w);
        GL::GLText b = Label(QString::fromUtf8("Ωμέγα ψιλόν δέλτα"), font, 2, 20, &w);
        GL::GLText c = Label(QString::fromUtf8("Ζήτα θήτα ιώτα κ"), font, 2, 40, &w);
        w.DrawTextW(a, true, nullptr);
        w.DrawTextW(b, true, nullptr);
        counts.push_back(TextureCount()); // two linked textures
        a.Unlink();
        w.DrawTextW(c, true, nullptr);
        counts.push_back(TextureCount()); // c takes a's texture
        {
            GL::GLText copy = b;
        } // the copy's destruction unlinks the shared texture ...
        const int before = w.TextLayoutCount();
        w.DrawTextW(b, true, nullptr); // ... so b renders itself anew into a free texture
        counts.push_back(w.TextLayoutCount() - before);
        counts.push_back(TextureCount());
    });
    EXPECT_EQ(counts, (std::vector<int>{2, 2, 1, 2}));
}

TEST(Text, BadInputGetsDefinedAnswers)
{
    RecordingErrorHandler errors;
    const QString greek = Greek.repeated(100000 / Greek.size() + 1).left(100000);
    int textures = -1;
    float latinWidth = 0;
    const QImage tooWide = render(64, 20, [&](TestSurface& w) {
        GL::GLText t = Label(greek, TestFont(12), 0, 0, &w);
        ASSERT_GT(t.BoundingRect().width(), 4 << 15);
        w.DrawTextW(t, true, nullptr);
        textures = TextureCount();
    });
    EXPECT_EQ(textures, 0) << "no texture beyond the largest size class";
    EXPECT_EQ(LitPixels(tooWide), 0);
    const QImage longLatin = DrawLabel(64, 20, QString(100000, QChar('x')), TestFont(12), 0, 0, Qt::white,
                                       [&](GL::GLText& t, TestSurface& w) { latinWidth = w.GetTextExtent(t).Width(); });
    EXPECT_GT(latinWidth, 100000.0f * 5);
    EXPECT_GT(LitPixels(longLatin), 50);

    // Tiny and huge fonts build their atlases and draw.
    for (int pixels : {1, 500}) {
        const QImage img = DrawLabel(400, 600, "Wg", TestFont(pixels), 0, 0, Qt::white, [&](GL::GLText& t, TestSurface& w) {
            EXPECT_EQ(w.GetTextHeight(t), QFontMetrics(TestFont(pixels)).height());
        });
        if (pixels == 500)
            EXPECT_GT(LitPixels(img), 10000);
    }

    // Without a widget, text beyond Latin-1 is measured for the screen, which here has the same resolution.
    GL::GLText measured;
    measured.SetFont(TestFont(14), nullptr);
    measured.SetText(Greek, nullptr);
    const QRect screen =
        QFontMetrics(TestFont(14)).boundingRect(QRect(0, 0, -1, -1), Qt::AlignLeft | Qt::AlignTop, Greek);
    EXPECT_EQ(measured.BoundingRect(), screen.adjusted(0, 0, 1, 0));

    // Outside a frame nothing is drawn, measuring still works, and the next frame draws normally.
    TestSurface w;
    w.resize(60, 20);
    GL::GLText t = Label("Ink", TestFont(14), 1, 1, &w);
    w.DrawTextW(t, true, nullptr);
    EXPECT_EQ(w.TextLayoutCount(), 0);
    EXPECT_EQ(w.GetTextExtent(t).Height(), QFontMetrics(TestFont(14)).height());
    w.paint = [&](TestSurface& s) { s.DrawTextW(t, true, nullptr); };
    QImage img;
    ASSERT_TRUE(w.RenderToImage(&img));
    EXPECT_EQ(img, DrawLabel(60, 20, "Ink", TestFont(14), 1, 1));
    EXPECT_TRUE(errors.vLogged.empty());
}

TEST(Text, TextOutlivesItsWidgetAndMovesToAnother)
{
    const QFont font = TestFont(14);
    GL::GLText latin, greek;
    auto draw = [&](TestSurface& s, GL::GLText& a, GL::GLText& b) {
        s.DrawTextW(a, true, nullptr);
        s.DrawTextW(b, true, nullptr);
    };
    {
        auto first = std::make_unique<TestSurface>();
        first->resize(200, 40);
        first->paint = [&](TestSurface& s) {
            latin = Label("moved", font, 2, 2, &s);
            greek = Label(Greek, font, 2, 20, &s);
            draw(s, latin, greek);
        };
        QImage img;
        ASSERT_TRUE(first->RenderToImage(&img));
    } // the widget, its fonts and its pool go; the texts keep stale references
    const QImage second = render(200, 40, [&](TestSurface& s) { draw(s, latin, greek); });
    const QImage fresh = render(200, 40, [&](TestSurface& s) {
        GL::GLText a = Label("moved", font, 2, 2, &s), b = Label(Greek, font, 2, 20, &s);
        draw(s, a, b);
    });
    EXPECT_GT(LitPixels(fresh), 100);
    EXPECT_EQ(second, fresh);
    latin.Unlink();
    greek.Unlink();
}
