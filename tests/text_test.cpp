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

QImage QPainterText(int w, int h, const QFont& font, const QPointF& baseline, const QString& text,
                    const QColor& color = Qt::white)
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

int MaxChannelDiff(const QImage& a, const QImage& b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qAlpha(p) - qAlpha(q)), std::abs(qRed(p) - qRed(q)),
                              std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

// Columns (or rows) holding a pixel of clearly visible coverage: the glyph boxes and their spacing.
std::vector<int> InkColumns(const QImage& img, bool rows = false)
{
    std::vector<int> lines;
    const int n = rows ? img.height() : img.width();
    const int m = rows ? img.width() : img.height();
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j)
            if (qAlpha(rows ? img.pixel(j, i) : img.pixel(i, j)) > 8) {
                lines.push_back(i);
                break;
            }
    return lines;
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

// A second point size of the same family whose metrics height equals that of font.
QFont SameHeightOtherSize(const QFont& font, const QPaintDevice& device)
{
    const int height = QFontMetrics(font, const_cast<QPaintDevice*>(&device)).height();
    for (double size = font.pointSizeF() + 0.05; size < font.pointSizeF() + 2; size += 0.05) {
        QFont other = font;
        other.setPointSizeF(size);
        if (QFontMetrics(other, const_cast<QPaintDevice*>(&device)).height() == height && other != font)
            return other;
    }
    return font;
}
} // namespace

TEST(Text, Latin1AtlasMatchesQPainterGlyphForGlyph)
{
    const QFont font = TestFont(14);
    const QFontMetrics metrics(font);
    const QString s = QString::fromLatin1("AVAWay Hallo Welt, \xe9\xe0\xdf 123!");
    GL::GLSize extent;
    int ascent = 0, height = 0;
    bool latin1 = false;
    const QImage gl = render(260, 30, [&](TestSurface& w) {
        GL::GLText t = Label(s, font, 5, 6, &w);
        latin1 = t.IsLatin1();
        extent = w.GetTextExtent(t);
        ascent = w.GetTextAscent(t);
        height = w.GetTextHeight(t);
        w.DrawTextW(t, true, nullptr);
    });
    EXPECT_TRUE(latin1) << "the character 233 still uses the atlas";
    EXPECT_EQ(ascent, metrics.ascent());
    EXPECT_EQ(height, metrics.height());
    // The box runs one pixel beyond the ink bearings on either side.
    EXPECT_EQ(extent.Width(), metrics.horizontalAdvance(s) - metrics.leftBearing(s.front()) -
                                  metrics.rightBearing(s.back()) + 2);
    EXPECT_EQ(extent.Height(), metrics.height());

    // The position is the box's top left corner: the pen starts one pixel left of it plus the bearing.
    const QPointF pen(5 + 1 - metrics.leftBearing(s.front()), 6 + metrics.ascent());
    const QImage reference = QPainterText(260, 30, font, pen, s);
    ASSERT_FALSE(InkColumns(reference).empty());
    EXPECT_EQ(InkColumns(gl), InkColumns(reference));
    EXPECT_EQ(InkColumns(gl, true), InkColumns(reference, true));
    EXPECT_LE(MaxChannelDiff(gl, reference), 4);

    const QColor orange(255, 128, 0);
    const QImage coloured = render(260, 30, [&](TestSurface& w) {
        GL::GLText t = Label(s, font, 5, 6, &w, orange);
        w.DrawTextW(t, true, nullptr);
    });
    EXPECT_LE(MaxChannelDiff(coloured, QPainterText(260, 30, font, pen, s, orange)), 4);
}

TEST(Text, ControlCharacterDrawsAsSpace)
{
    const QFont font = TestFont(16);
    auto draw = [&](const QString& s) {
        return render(80, 24, [&](TestSurface& w) {
            GL::GLText t = Label(s, font, 2, 2, &w);
            w.DrawTextW(t, true, nullptr);
        });
    };
    const QImage withTab = draw(QString::fromLatin1("A\tB"));
    EXPECT_EQ(withTab, draw("A B"));
    EXPECT_NE(withTab, draw("AB"));
    EXPECT_EQ(LitPixels(draw(QString::fromLatin1("\x01\x1f"))), 0);
}

TEST(Text, AlphaZeroAndEmptyTextDrawNothing)
{
    const QFont font = TestFont(16);
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
    EXPECT_EQ(layoutsAfter, layoutsBefore) << "no quads are built";

    const QImage visible = render(80, 24, [&](TestSurface& w) {
        GL::GLText t = Label("Hidden", font, 2, 2, &w, QColor(255, 255, 255, 10));
        w.DrawTextW(t, true, nullptr);
    });
    EXPECT_GT(LitPixels(visible), 0) << "any alpha above 0 draws";
}

TEST(Text, TextBeyondLatin1IsRenderedIntoAPooledTexture)
{
    const QFont font = TestFont(16);
    bool latin1 = true;
    int textures = -1;
    QRect bounds;
    int ascent = 0;
    GL::GLSize extent;
    const QImage gl = render(200, 30, [&](TestSurface& w) {
        GL::GLText t = Label(Greek, font, 4, 3, &w);
        latin1 = t.IsLatin1();
        bounds = t.BoundingRect();
        extent = w.GetTextExtent(t);
        ascent = w.GetTextAscent(t);
        w.DrawTextW(t, true, nullptr);
        textures = TextureCount();
    });
    EXPECT_FALSE(latin1);
    EXPECT_EQ(textures, 1) << "one pooled texture and no atlas texture";
    const QFontMetrics metrics(font);
    QRect expected = metrics.boundingRect(QRect(0, 0, -1, -1), Qt::AlignLeft | Qt::AlignTop, Greek);
    expected.setRight(expected.right() + 1);
    EXPECT_EQ(bounds, expected);
    EXPECT_EQ(extent.Width(), expected.width());
    EXPECT_EQ(extent.Height(), expected.height());
    // The texture holds the text at pen (1, ascent); the quad puts its top left at the position.
    const QImage reference = QPainterText(200, 30, font, QPointF(4 + 1, 3 + ascent), Greek);
    ASSERT_GT(LitPixels(reference), 100);
    EXPECT_EQ(InkColumns(gl), InkColumns(reference));
    EXPECT_EQ(InkColumns(gl, true), InkColumns(reference, true));
    EXPECT_LE(MaxChannelDiff(gl, reference), 4);
}

TEST(Text, FlipYMirrorsTheQuads)
{
    const QFont font = TestFont(16);
    for (const QString& s : {QStringLiteral("Fgj"), Greek}) {
        int height = 0;
        auto draw = [&](bool flip) {
            return render(200, 40, [&](TestSurface& w) {
                GL::GLText t = Label(s, font, 3, 5, &w);
                t.SetFlipY(flip);
                height = int(w.GetTextExtent(t).Height());
                w.DrawTextW(t, true, nullptr);
            });
        };
        const QImage upright = draw(false);
        const QImage flipped = draw(true);
        ASSERT_GT(LitPixels(upright), 20);
        EXPECT_NE(upright, flipped);
        // Row 5 + k of the flipped text is row 5 + height - 1 - k of the upright one.
        EXPECT_EQ(flipped.copy(0, 5, 200, height), upright.copy(0, 5, 200, height).mirrored(false, true))
            << s.toStdString();
        EXPECT_EQ(LitPixels(flipped), LitPixels(upright));
    }
}

TEST(Text, BackgroundFillsTheTextBoxAndStateIsRestored)
{
    const QFont font = TestFont(14);
    GL::GLSize extent;
    bool restored = false;
    const QImage img = render(120, 30, [&](TestSurface& w) {
        GL::GLText t = Label("Box", font, 10, 5, &w, Qt::white);
        t.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::blue, Qt::blue));
        extent = w.GetTextExtent(t);
        GLint bound = -1;
        w.DrawTextW(t, true, nullptr);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        restored = !glIsEnabled(GL_TEXTURE_2D) && !glIsEnabled(GL_BLEND) && !glIsEnabled(GL_ALPHA_TEST) &&
                   !glIsEnabled(GL_VERTEX_ARRAY) && !glIsEnabled(GL_TEXTURE_COORD_ARRAY) && bound == 0;
    });
    EXPECT_TRUE(restored);
    const int right = 10 + int(extent.Width()) - 1;
    const int bottom = 5 + int(extent.Height()) - 1;
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
    auto standalone = render(120, 40, [&](TestSurface& w) {
        GL::GLText a = Label("first", font, 2, 2, &w);
        GL::GLText b = Label("second", font, 2, 20, &w);
        w.DrawTextW(a, true, nullptr);
        w.DrawTextW(b, true, nullptr);
    });
    unsigned int slot = 0;
    GLint boundAfterFirst = -1, boundAtEnd = -1;
    auto batch = render(120, 40, [&](TestSurface& w) {
        GL::GLText a = Label("first", font, 2, 2, &w);
        GL::GLText b = Label("second", font, 2, 20, &w);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.01f);
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        w.DrawTextW(a, false, &slot);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundAfterFirst);
        w.DrawTextW(b, false, &slot);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundAtEnd);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "batch mode leaves the caller's state on";
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_BLEND);
    });
    EXPECT_NE(slot, 0u);
    EXPECT_EQ(GLuint(boundAfterFirst), slot);
    EXPECT_EQ(GLuint(boundAtEnd), slot);
    EXPECT_EQ(batch, standalone);
}

TEST(Text, FontsOfEqualHeightAndFamilyShareOneAtlas)
{
    std::vector<int> counts;
    render(120, 60, [&](TestSurface& w) {
        QFont small("DejaVu Sans");
        small.setPointSizeF(10.0);
        const QFont close = SameHeightOtherSize(small, w);
        ASSERT_NE(close, small) << "no second size of equal height found";
        QFont tall = small;
        tall.setPointSizeF(20.0);
        GL::GLText a = Label("abc", small, 2, 2, &w);
        GL::GLText b = Label("abc", close, 2, 20, &w);
        GL::GLText c = Label("abc", tall, 2, 30, &w);
        w.DrawTextW(a, true, nullptr);
        counts.push_back(TextureCount());
        w.DrawTextW(b, true, nullptr);
        counts.push_back(TextureCount());
        w.DrawTextW(c, true, nullptr);
        counts.push_back(TextureCount());
    });
    EXPECT_EQ(counts, (std::vector<int>{1, 1, 2}));
}

TEST(Text, UnchangedTextIsNotRebuilt)
{
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
        step(t);                         // first draw builds: 1
        step(t);                         // unchanged: 1
        t.SetPos(2, 2);                  // same values: 1
        t.SetText("static", &w);
        t.SetColor(Qt::white);
        step(t);
        t.SetPos(3, 2);                  // 2
        step(t);
        t.SetColor(Qt::red);             // 3
        step(t);
        t.SetFlipY(true);                // 4
        step(t);
        t.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::blue, Qt::blue)); // 5
        step(t);
        t.SetFont(TestFont(15), &w);     // 6
        step(t);
        step(g);                         // 7
        step(g);                         // 7: rendered once
        textures = TextureCount();
    });
    EXPECT_EQ(layouts, (std::vector<int>{1, 1, 1, 2, 3, 4, 5, 6, 7, 7}));
    EXPECT_EQ(textures, 3) << "two atlases and one pooled texture";
}

TEST(Text, UnlinkedTextureIsReusedBySameSizeClass)
{
    const QFont font = TestFont(14);
    std::vector<int> counts;
    QImage last;
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

TEST(Text, OverlongTextsAreDefined)
{
    const QFont font = TestFont(12);
    QString greek;
    while (greek.size() < 100000)
        greek += Greek;
    greek.truncate(100000);
    const QString latin(100000, QChar('x'));
    int textures = -1;
    float latinWidth = 0;
    const QImage tooWide = render(64, 20, [&](TestSurface& w) {
        GL::GLText t = Label(greek, font, 0, 0, &w);
        ASSERT_GT(t.BoundingRect().width(), 4 << 15);
        w.DrawTextW(t, true, nullptr);
        textures = TextureCount();
    });
    EXPECT_EQ(textures, 0) << "no texture beyond the largest size class";
    EXPECT_EQ(LitPixels(tooWide), 0);
    const QImage longLatin = render(64, 20, [&](TestSurface& w) {
        GL::GLText t = Label(latin, font, 0, 0, &w);
        latinWidth = w.GetTextExtent(t).Width();
        w.DrawTextW(t, true, nullptr);
    });
    EXPECT_GT(latinWidth, 100000.0f * 5);
    EXPECT_GT(LitPixels(longLatin), 50);
}

TEST(Text, BadInputGetsDefinedAnswers)
{
    RecordingErrorHandler errors;
    // Tiny and huge fonts build their atlases and draw without trouble.
    for (int pixels : {1, 500}) {
        const QImage img = render(400, 600, [&](TestSurface& w) {
            GL::GLText t = Label("Wg", TestFont(pixels), 0, 0, &w);
            EXPECT_EQ(w.GetTextHeight(t), QFontMetrics(TestFont(pixels)).height());
            w.DrawTextW(t, true, nullptr);
        });
        if (pixels == 500)
            EXPECT_GT(LitPixels(img), 10000);
    }
    // An invalid colour is what QColor reports for it: opaque black.
    auto drawIn = [&](const QColor& c) {
        return render(60, 20, [&](TestSurface& w) {
            GL::GLText t = Label("Ink", TestFont(14), 1, 1, &w, c);
            w.DrawTextW(t, true, nullptr);
        });
    };
    const QImage invalid = drawIn(QColor());
    EXPECT_EQ(invalid, drawIn(Qt::black));
    EXPECT_GT(LitPixels(invalid), 20);

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
    EXPECT_EQ(img, drawIn(Qt::white));
    EXPECT_TRUE(errors.vLogged.empty());
}

TEST(Text, TextOutlivesItsWidgetAndMovesToAnother)
{
    const QFont font = TestFont(14);
    GL::GLText latin, greek;
    {
        auto first = std::make_unique<TestSurface>();
        first->resize(200, 40);
        first->paint = [&](TestSurface& s) {
            latin = Label("moved", font, 2, 2, &s);
            greek = Label(Greek, font, 2, 20, &s);
            s.DrawTextW(latin, true, nullptr);
            s.DrawTextW(greek, true, nullptr);
        };
        QImage img;
        ASSERT_TRUE(first->RenderToImage(&img));
    } // the widget, its fonts and its pool go; the texts keep stale references
    const QImage second = render(200, 40, [&](TestSurface& s) {
        s.DrawTextW(latin, true, nullptr);
        s.DrawTextW(greek, true, nullptr);
    });
    const QImage fresh = render(200, 40, [&](TestSurface& s) {
        GL::GLText a = Label("moved", font, 2, 2, &s);
        GL::GLText b = Label(Greek, font, 2, 20, &s);
        s.DrawTextW(a, true, nullptr);
        s.DrawTextW(b, true, nullptr);
    });
    EXPECT_GT(LitPixels(fresh), 100);
    EXPECT_EQ(second, fresh);
    latin.Unlink();
    greek.Unlink();
}
