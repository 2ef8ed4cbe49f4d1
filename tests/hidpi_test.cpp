// Run at QT_SCALE_FACTOR 1, 2 and 1.5: the API stays in logical pixels, the frame is drawn at
// device resolution.
#include "support/render_fixture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QtMath>
#include <QtTest>
#include <gtest/gtest.h>

using GL = GLFrameWidget;

namespace
{
qreal Ratio() { return qGuiApp->devicePixelRatio(); }
bool IntegerRatio() { return Ratio() == qFloor(Ratio()); }

QRect LitBox(const QImage& img, int* lit)
{
    QRect box;
    *lit = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != 0) {
                box |= QRect(x, y, 1, 1);
                ++*lit;
            }
    return box;
}

// At integer ratios the device pixels lit are exactly the logical ones scaled; at fractional ratios
// every edge lies within a device pixel of the scaled one and nothing outside is drawn.
void ExpectCovers(const QImage& img, const QRectF& logical)
{
    const qreal r = Ratio();
    const QRectF scaled(logical.topLeft() * r, logical.size() * r);
    int lit = 0;
    const QRect box = LitBox(img, &lit);
    if (IntegerRatio()) {
        EXPECT_EQ(box, scaled.toRect());
        EXPECT_EQ(lit, box.width() * box.height()) << "holes in the box";
    } else {
        EXPECT_LE(std::abs(box.left() - scaled.left()), 1.0);
        EXPECT_LE(std::abs(box.right() + 1 - scaled.right()), 1.0);
        EXPECT_LE(std::abs(box.top() - scaled.top()), 1.0);
        EXPECT_LE(std::abs(box.bottom() + 1 - scaled.bottom()), 1.0);
        EXPECT_GE(lit, (box.width() - 1) * (box.height() - 1));
    }
}

QImage DrawLine(float x1, float y1, float x2, float y2, int width)
{
    return render(64, 48, [&](GL& w) {
        GL::GLLines lines;
        lines.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, width, Qt::red));
        lines.AddLine(x1, y1, x2, y2);
        w.DrawLines(lines);
    });
}
} // namespace

TEST(HighDpi, FramesHaveTheDeviceSizeAndRatio)
{
    const QImage img = render(64, 48, [](GL&) {});
    EXPECT_EQ(img.size(), QSize(qRound(64 * Ratio()), qRound(48 * Ratio())));
    EXPECT_EQ(img.devicePixelRatio(), Ratio());
}

TEST(HighDpi, LinesPolygonsAndViewportsCoverTheirLogicalPixels)
{
    struct Case
    {
        const char* sName;
        std::function<QImage()> draw;
        QRectF logical;
    };
    const Case cases[] = {
        {"one-pixel horizontal line", [] { return DrawLine(10, 5, 20, 5, 1); }, QRectF(10, 5, 11, 1)},
        {"same line drawn backwards", [] { return DrawLine(20, 5, 10, 5, 1); }, QRectF(10, 5, 11, 1)},
        {"two-pixel horizontal line", [] { return DrawLine(10, 5, 20, 5, 2); }, QRectF(10, 4, 11, 2)},
        {"three-pixel horizontal line", [] { return DrawLine(10, 5, 20, 5, 3); }, QRectF(10, 4, 11, 3)},
        {"two-pixel vertical line", [] { return DrawLine(40, 2, 40, 8, 2); }, QRectF(39, 2, 2, 7)},
        {"solid polygon",
         [] {
             return render(64, 48, [](GL& w) {
                 GL::GLPolygon p;
                 p.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::red, QColor()));
                 p.SetRect(4, 20, 10, 6);
                 w.DrawPolygon(p, true);
             });
         },
         QRectF(4, 20, 10, 6)},
        {"viewport clips a large fill",
         [] {
             return render(64, 48, [](GL& w) {
                 GL::GLPolygon p;
                 p.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::red, QColor()));
                 p.SetRect(-100, -100, 300, 300);
                 w.BeginViewPort(10, 10, 10, 5);
                 w.DrawPolygon(p, true);
                 w.EndViewPort(10, 10);
             });
         },
         QRectF(10, 10, 10, 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sName);
        ExpectCovers(c.draw(), c.logical);
    }
}

namespace
{
const QFont s_LabelFont("DejaVu Sans", 10);

int s_iAscent = 0; // the surface's ascent of the label font, where its text textures put the baseline

void DrawLabel(GL& w, GL::GLText& label, const QString& text)
{
    label.SetFont(s_LabelFont, &w);
    label.SetText(text, &w);
    label.SetColor(Qt::white);
    label.SetPos(4, 4);
    w.DrawTextW(label, true, nullptr);
    s_iAscent = w.GetTextAscent(label);
}

// The text as QPainter draws it where the surface's text textures put it (one pixel in, on the
// surface's ascent), at the given ratio, on an image of the given logical size.
QImage PaintedText(QSize logical, qreal ratio, const QString& text)
{
    QImage image(logical * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::white);
    painter.setFont(s_LabelFont);
    painter.drawText(QPointF(4 + 1, 4 + s_iAscent), text);
    return image;
}

double MeanCoverageDifference(const QImage& a, const QImage& b)
{
    long long sum = 0, count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const int u = qAlpha(a.pixel(x, y)), v = qAlpha(b.pixel(x, y));
            sum += std::abs(u - v);
            count += u != 0 || v != 0;
        }
    return count ? double(sum) / double(count) : 0;
}

// Text rasterised at the frame's ratio is closer to QPainter's at that ratio than to QPainter's at
// ratio 1 stretched to the frame, which is what glyphs kept from a lower ratio look like.
void ExpectDeviceResolutionText(const QImage& img, const QString& text)
{
    const QSize logical = img.size() / img.devicePixelRatio();
    const QImage sharp = PaintedText(logical, img.devicePixelRatio(), text);
    const QImage stretched =
        PaintedText(logical, 1, text).scaled(img.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(MeanCoverageDifference(img, sharp), MeanCoverageDifference(img, stretched));
}
} // namespace

// Texts outside Latin-1 come from text textures, which are drawn 1:1 at every ratio.
TEST(HighDpi, TextIsRasterisedAtDeviceResolution)
{
    const QString text = QString::fromUtf8("\u03bb = 21 cm");
    GL::GLText label;
    if (Ratio() == 1)
        GTEST_SKIP() << "the same picture at ratio 1";
    const QImage img = render(160, 32, [&](GL& w) { DrawLabel(w, label, text); });
    ExpectDeviceResolutionText(img, text);
}

// Run with two screens of ratios 1 and 2: a window moved between them draws at the new ratio from
// its next frame, its glyph atlas rasterised anew.
TEST(HighDpi, AWindowMovedToAScreenOfAnotherRatioRedrawsAtThatRatio)
{
    QScreen *low = nullptr, *high = nullptr;
    for (QScreen* screen : QGuiApplication::screens())
        (screen->devicePixelRatio() == 1 ? low : high) = screen;
    if (!low || !high || high->devicePixelRatio() != 2)
        GTEST_SKIP() << "needs screens of ratios 1 and 2, which Qt " << qVersion() << "'s offscreen platform lacks";
    const QString text = QString::fromUtf8("\u03bb = 21 cm");
    GL::GLText label;
    TestSurface w;
    w.paint = [&](TestSurface& s) {
        DrawLabel(s, label, text);
        GL::GLLines line;
        line.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Qt::red));
        line.AddLine(10, 28, 20, 28);
        s.DrawLines(line);
    };
    w.setGeometry(QRect(low->geometry().topLeft() + QPoint(10, 10), QSize(160, 32)));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (QScreen* screen : {low, high, low}) {
        SCOPED_TRACE(screen->name().toStdString());
        w.move(screen->geometry().topLeft() + QPoint(10, 10));
        const int r = int(screen->devicePixelRatio());
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.devicePixelRatioF() == r; }, 2000));
        QImage img;
        ASSERT_TRUE(w.RenderToImage(&img));
        EXPECT_EQ(img.size(), QSize(160 * r, 32 * r));
        EXPECT_EQ(img.devicePixelRatio(), r);
        for (int row = 28 * r; row < 29 * r; ++row)
            expectLitRun(img, row, 10 * r, 21 * r - 1);
        if (r == 2)
            ExpectDeviceResolutionText(img.copy(0, 0, img.width(), 24 * r), text);
    }
}
