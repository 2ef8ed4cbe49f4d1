// Run at QT_SCALE_FACTOR 1, 2 and 1.5: the API stays in logical pixels, the frame is drawn at
// device resolution, and the drawing records' pixel rules hold at every ratio.
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

// One segment as a batch line (AddLine), or as an open polyline (a polygon's outline).
QImage DrawSegment(QLineF segment, int width, bool polyline)
{
    return render(64, 48, [&](GL& w) {
        const GL::GLLineStyle pen(GL::eLineSolid, width, Qt::red);
        if (polyline) {
            GL::GLPolygon outline;
            outline.SetLineStyle(pen);
            outline.AddVertex(float(segment.x1()), float(segment.y1()));
            outline.AddVertex(float(segment.x2()), float(segment.y2()));
            w.DrawPolygon(outline, false);
        } else {
            GL::GLLines lines;
            lines.SetLineStyle(pen);
            lines.AddLine(float(segment.x1()), float(segment.y1()), float(segment.x2()), float(segment.y2()));
            w.DrawLines(lines);
        }
    });
}

// The pixel rule of axis-aligned segments. Along: a batch line lights both end pixels; a polyline
// lights its start pixel and not its end one where its width is odd (it runs through pixel
// centres), and the pixels between its ends where the width is even (it runs along their edges).
// Across: odd widths are centred on the segment's row or column, even ones on its edge.
QRectF ExpectedPixels(QLineF segment, int width, bool polyline)
{
    const bool horizontal = segment.y1() == segment.y2();
    const qreal from = horizontal ? segment.x1() : segment.y1(), to = horizontal ? segment.x2() : segment.y2();
    const qreal length = std::abs(to - from) + (polyline ? 0 : 1);
    const qreal low = polyline && width % 2 == 1 && to < from ? to + 1 : std::min(from, to);
    const qreal across = (horizontal ? segment.y1() : segment.x1()) - width / 2;
    return horizontal ? QRectF(low, across, length, width) : QRectF(across, low, width, length);
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

// Right, left, down and up, as batches and polylines, at odd and even widths.
TEST(HighDpi, AxisAlignedSegmentsKeepThePixelRuleInEveryDirection)
{
    const QLineF segments[] = {{10, 5, 20, 5}, {20, 5, 10, 5}, {40, 2, 40, 8}, {40, 8, 40, 2}};
    for (const QLineF& segment : segments)
        for (bool polyline : {false, true})
            for (int width : {1, 2, 3}) {
                SCOPED_TRACE(QString("(%1, %2) to (%3, %4), %5 %6")
                                 .arg(segment.x1()).arg(segment.y1()).arg(segment.x2()).arg(segment.y2())
                                 .arg(polyline ? "polyline" : "batch").arg(width).toStdString());
                ExpectCovers(DrawSegment(segment, width, polyline), ExpectedPixels(segment, width, polyline));
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
