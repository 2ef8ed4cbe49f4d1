// Run at QT_SCALE_FACTOR 1, 2 and 1.5: the API stays in logical pixels, the frame is drawn at
// device resolution.
#include "support/render_fixture.h"

#include <QGuiApplication>
#include <QtMath>
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

// Upscaled glyphs come in uniform 2 x 2 blocks; glyphs rasterised at ratio 2 have edges inside them.
TEST(HighDpi, TextIsRasterisedAtDeviceResolution)
{
    if (Ratio() != 2)
        GTEST_SKIP() << "needs ratio 2";
    for (const char* text : {"Frequency 123 MHz", "\u03bb = 21 cm"}) {
        SCOPED_TRACE(text);
        GL::GLText label;
        const QImage img = render(160, 32, [&](GL& w) {
            label.SetFont(QFont("DejaVu Sans", 10), &w);
            label.SetText(QString::fromUtf8(text), &w);
            label.SetColor(Qt::white);
            label.SetPos(4, 4);
            w.DrawTextW(label, true, nullptr);
        });
        int inked = 0, split = 0;
        for (int y = 0; y + 1 < img.height(); y += 2)
            for (int x = 0; x + 1 < img.width(); x += 2) {
                const QRgb p = img.pixel(x, y);
                inked += p != 0;
                split += p != img.pixel(x + 1, y) || p != img.pixel(x, y + 1) || p != img.pixel(x + 1, y + 1);
            }
        EXPECT_GT(inked, 20);
        EXPECT_GT(split, inked / 4) << "glyphs look upscaled";
    }
}
