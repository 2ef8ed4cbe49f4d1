// Run at QT_SCALE_FACTOR 1, 2 and 1.5: the API stays in logical pixels, the frame is drawn at
// device resolution, and the drawing records' pixel rules hold at every ratio.
#include "support/render_fixture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QtTest>
#include <gtest/gtest.h>

using GL = GLFrameWidget;

// A 64 x 48 frame drawn at the application's ratio. At integer ratios the device pixels lit are exactly
// the logical ones scaled; at fractional ratios every edge lies within a device pixel of the scaled one.
static void ExpectCovers(const std::function<void(GL&)>& draw, const QRectF& logical)
{
    const QImage img = render(64, 48, draw);
    const qreal r = qGuiApp->devicePixelRatio();
    ASSERT_TRUE(img.size() == QSize(qRound(64 * r), qRound(48 * r)) && img.devicePixelRatio() == r) << img.width();
    const QRectF scaled(logical.topLeft() * r, logical.size() * r);
    QRect box;
    int lit = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x : litColumns(img, y))
            box |= QRect(x, y, 1, 1), ++lit;
    if (r == int(r)) {
        EXPECT_EQ(box, scaled.toRect());
        EXPECT_EQ(lit, box.width() * box.height()) << "holes in the box";
        return;
    }
    for (const auto& [edge, expected] : {std::pair(box.left(), scaled.left()), {box.right() + 1, scaled.right()},
                                         {box.top(), scaled.top()}, {box.bottom() + 1, scaled.bottom()}})
        EXPECT_LE(std::abs(edge - expected), 1.0);
    EXPECT_GE(lit, (box.width() - 1) * (box.height() - 1));
}

// Fills, fills clipped by a viewport, and axis-aligned segments right, left, down and up, as batches
// (AddLine) and polylines (a polygon's outline), at odd and even widths. Along: a batch lights both
// end pixels; a polyline lights its start pixel and not its end one where its width is odd (it runs
// through pixel centres), and the pixels between its ends where the width is even (it runs along
// their edges). Across: odd widths are centred on the segment's row or column, even ones on its edge.
TEST(HighDpi, FillsViewportsAndAxisAlignedSegmentsCoverTheirLogicalPixels)
{
    const auto fill = [](GL& w, float x, float y, float width, float height) {
        GL::GLPolygon p;
        p.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Qt::red, QColor())), p.SetRect(x, y, width, height);
        w.DrawPolygon(p, true);
    };
    ExpectCovers([&](GL& w) { fill(w, 4, 20, 10, 6); }, QRectF(4, 20, 10, 6));
    ExpectCovers([&](GL& w) { w.BeginViewPort(10, 10, 10, 5), fill(w, -100, -100, 300, 300), w.EndViewPort(10, 10); },
                 QRectF(10, 10, 10, 5));
    for (const QLineF& s : {QLineF(10, 5, 20, 5), QLineF(20, 5, 10, 5), QLineF(40, 2, 40, 8), QLineF(40, 8, 40, 2)})
        for (bool polyline : {false, true})
            for (int width : {1, 2, 3}) {
                SCOPED_TRACE(testing::Message() << "(" << s.x1() << ", " << s.y1() << ") to (" << s.x2() << ", "
                                                << s.y2() << "), " << (polyline ? "polyline " : "batch ") << width);
                const bool horizontal = s.y1() == s.y2();
                const qreal from = horizontal ? s.x1() : s.y1(), to = horizontal ? s.x2() : s.y2();
                const qreal length = std::abs(to - from) + (polyline ? 0 : 1);
                const qreal low = polyline && width % 2 == 1 && to < from ? to + 1 : std::min(from, to);
                const qreal across = (horizontal ? s.y1() : s.x1()) - width / 2;
                const float x1 = float(s.x1()), y1 = float(s.y1()), x2 = float(s.x2()), y2 = float(s.y2());
                GL::GLPolygon outline;
                GL::GLLines lines;
                lines.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, width, Qt::red)), lines.AddLine(x1, y1, x2, y2);
                outline.SetLineStyle(lines.LineStyle()), outline.AddVertex(x1, y1), outline.AddVertex(x2, y2);
                ExpectCovers([&](GL& w) { polyline ? w.DrawPolygon(outline, false) : w.DrawLines(lines); },
                             horizontal ? QRectF(low, across, length, width) : QRectF(across, low, width, length));
            }
}

namespace
{
const QFont s_LabelFont("DejaVu Sans", 10);
const QString s_sLabel = QString::fromUtf8("\u03bb = 21 cm"); // beyond Latin-1: drawn from a text texture
int s_iAscent = 0; // the surface's ascent of the label font, where its text textures put the baseline

void DrawLabel(GL& w, GL::GLText& label)
{
    label.SetFont(s_LabelFont, &w), label.SetText(s_sLabel, &w), label.SetColor(Qt::white), label.SetPos(4, 4);
    w.DrawTextW(label, true, nullptr), s_iAscent = w.GetTextAscent(label);
}

// The label rasterised at the frame's ratio is closer to QPainter's at that ratio than to QPainter's
// at ratio 1 stretched to the frame, which is what glyphs kept from a lower ratio look like. QPainter
// draws it where the surface's text textures put it: one pixel in, on the surface's ascent.
void ExpectDeviceResolutionLabel(const QImage& img)
{
    const QSize logical = img.size() / img.devicePixelRatio();
    const auto painted = [&logical](qreal ratio) {
        QImage image(logical * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio), image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(Qt::white), painter.setFont(s_LabelFont);
        painter.drawText(QPointF(4 + 1, 4 + s_iAscent), s_sLabel);
        return image;
    };
    const auto difference = [&img](const QImage& other) {
        long long sum = 0, count = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const int u = qAlpha(img.pixel(x, y)), v = qAlpha(other.pixel(x, y));
                sum += std::abs(u - v), count += u != 0 || v != 0;
            }
        return count ? double(sum) / double(count) : 0;
    };
    EXPECT_LT(difference(painted(img.devicePixelRatio())),
              difference(painted(1).scaled(img.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}
} // namespace

TEST(HighDpi, TextIsRasterisedAtDeviceResolution)
{
    if (qGuiApp->devicePixelRatio() == 1)
        GTEST_SKIP() << "the same picture at ratio 1";
    GL::GLText label;
    ExpectDeviceResolutionLabel(render(160, 32, [&](GL& w) { DrawLabel(w, label); }));
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
    GL::GLText label;
    TestSurface w;
    GL::GLLines line;
    line.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Qt::red)), line.AddLine(10, 28, 20, 28);
    w.paint = [&](TestSurface& s) { DrawLabel(s, label), s.DrawLines(line); };
    w.setGeometry(QRect(low->geometry().topLeft() + QPoint(10, 10), QSize(160, 32)));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (QScreen* screen : {low, high, low}) {
        SCOPED_TRACE(screen->name().toStdString());
        w.move(screen->geometry().topLeft() + QPoint(10, 10));
        const int r = int(screen->devicePixelRatio());
        QImage img;
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.devicePixelRatioF() == r; }, 2000) && w.RenderToImage(&img));
        EXPECT_TRUE(img.size() == QSize(160 * r, 32 * r) && img.devicePixelRatio() == r) << img.width();
        for (int row = 28 * r; row < 29 * r; ++row)
            expectLitRun(img, row, 10 * r, 21 * r - 1);
        if (r == 2)
            ExpectDeviceResolutionLabel(img.copy(0, 0, img.width(), 24 * r));
    }
}
