#include "axisdefinition.h"
#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

using CW = GLCommonWidget;
using Strings = std::vector<std::string>;
using Columns = std::vector<int>;

namespace {

const bool T = true, F = false;

struct FixedText : IStringFormatter
{
    QString sText = "WWW";
    const QString& FormatValue(double) override { return sText; }
    const QString& FormatStartValue(double) override { return sText; }
};

// An axis over [min, max] on its own pixel count, drawn by a w x h panel of the given window type.
struct AxisPanel
{
    SinglePanel view;
    std::shared_ptr<axisDefinition> axis = std::make_shared<axisDefinition>();

    AxisPanel(int w, int h, CW::EWindowType type, double min, double max, int pixels, bool horizontal = true)
        : view(w, h, type)
    {
        axis->setXType(horizontal);
        axis->init(min, max, short(pixels));
        view.panel.addPaintObject(axis, CW::eZOrderAxis);
    }
    // The non-empty texts of the tick records (legends false) or legend records (true) of the last full draw.
    Strings Texts(bool legends) const
    {
        Strings texts;
        for (const AxisTick& tick : axis->GetTicks())
            if (tick.m_bLegend == legends && !tick.m_sText.isEmpty())
                texts.push_back(tick.m_sText.toStdString());
        return texts;
    }
};

// The columns with a lit pixel in rows top to bottom.
Columns Lit(const QImage& img, int top, int bottom)
{
    Columns columns;
    for (int x = 0; x < img.width(); ++x)
        if (CountLit(img, QRect(x, top, 1, bottom - top + 1)) > 0)
            columns.push_back(x);
    return columns;
}

// Consecutive runs of columns, first to last inclusive.
Columns Runs(std::initializer_list<std::pair<int, int>> runs)
{
    Columns columns;
    for (const auto& run : runs)
        for (int x = run.first; x <= run.second; ++x)
            columns.push_back(x);
    return columns;
}

} // namespace

// Vertical labels are drawn without a colour handler first, so texts and their background boxes are opaque black.
TEST(AxisDraw, VerticalLabelsEndAtTheLeftAlignColumnHorizontalOnesKeepClearOfTheLegends)
{
    ASSERT_EQ(GLFrameWidget::getColorHandler(), nullptr);
    AxisPanel tall(60, 300, CW::eYAxisWindow, 0, 100, 300, false);
    tall.axis->SetGridVisible(false);
    tall.axis->SetCenterValue(5, false); // not applied: the draw forgets it
    const QImage img = tall.view.Render();
    EXPECT_EQ(CountPixels(img, img.rect(), 0xFF000000), CountLit(img, img.rect()));
    EXPECT_EQ(tall.axis->GetCenterValue(), 0.0);
    // The maximum maps one pixel above the mirrored axis, so its label is left out.
    ASSERT_EQ(tall.Texts(false), (Strings{"0", "25", "50", "75"}));
    for (const AxisTick& tick : tall.axis->GetTicks()) {
        EXPECT_EQ(tick.m_iPixel, tall.axis->ValueToPixel(tick.m_sText.toDouble(), nullptr, true));
        // The text on its background box sits above its baseline and ends just before the left-align column.
        const Columns text = Lit(img, tick.m_iPixel - 12, tick.m_iPixel);
        EXPECT_TRUE(!text.empty() && text.front() == tick.m_iLabelPos &&
                    text.back() == axisDefinition::s_YAxisLeftAlign - 1) << testing::PrintToString(text);
    }
    // 60 pixels cannot hold five labels: every second one is shown.
    AxisPanel low(60, 60, CW::eYAxisWindow, 0, 1, 60, false);
    low.view.Render();
    EXPECT_EQ(low.Texts(false), (Strings{"0", "0.5"}));
    // Horizontal labels count from an applied center value and sit on their values' pixels, but not where they would
    // run into a legend (the ends); texts appear only in the axis window, tick marks (rows 0 to 3) in every window.
    AxisColors colors;
    const Strings quarters{"25", "50", "75"}, ends{"0", "100"};
    const struct { CW::EWindowType type; double min, max; bool centered; Strings labels, legends; } cases[] = {
        {CW::ePlotWindow, 0, 100, false, quarters, ends}, {CW::eXAxisWindow, 0, 100, false, quarters, ends},
        {CW::eXAxisWindow, 1000, 1010, true, {"2.5", "5", "7.5"}, {"1000", "1010"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " [" << c.min << ", " << c.max << "]");
        AxisPanel p(400, 30, c.type, c.min, c.max, 400);
        p.axis->SetCenterValue(c.min, c.centered);
        const QImage img = p.view.Render();
        EXPECT_TRUE(p.Texts(false) == c.labels && p.Texts(true) == c.legends);
        Columns marks;
        for (const AxisTick& tick : p.axis->GetTicks()) {
            const int at = p.axis->ValueToPixel(p.axis->GetCenterValue() + tick.m_sText.toDouble(), nullptr, F);
            EXPECT_TRUE(tick.m_bLegend || tick.m_sText.isEmpty() || tick.m_iPixel == at) << tick.m_sText.toStdString();
            if (tick.m_iPixel >= 0)
                marks.push_back(tick.m_iPixel);
        }
        EXPECT_TRUE(marks.size() == 5 && Lit(img, 0, 3) == marks) << testing::PrintToString(marks);
        EXPECT_EQ(CountLit(img, QRect(0, 4, 400, 26)) > 0, c.type == CW::eXAxisWindow);
    }
}

// A full draw marks a skipped range at its ends, below the texts; a redraw from the cached ticks (same extent,
// grid still valid) marks it one pixel outside and repeats the rest. The 37 pixels after the skip get no ticks. Rows
// 45 to 59 lie below the texts of any font the platform picks.
TEST(AxisDraw, RedrawAtSameExtentRepeatsTheCachedTicks)
{
    AxisColors colors;
    AxisPanel p(400, 60, CW::eXAxisWindow, 0, 100, 400);
    p.axis->SetSkipSuppressRanges(true);
    p.axis->AddSkip(80, 90, true);
    const int first = p.axis->GetStartPix(1), stop = p.axis->GetStopPix(1);
    ASSERT_EQ(stop - first, pixSection::DISTANCE);
    const Columns full{first, stop}, cached{first - 1, stop + 1};
    const QImage drawn = p.view.Render();
    EXPECT_EQ(Lit(drawn, 45, 59), full);
    EXPECT_EQ(p.axis->GetSkipMarks(), (std::vector<std::pair<int, int>>{{first, stop}}));
    for (const AxisTick& tick : p.axis->GetTicks())
        EXPECT_LE(tick.m_iPixel, first) << tick.m_sText.toStdString();
    const std::vector<int> ticks = p.axis->GetGridPos();
    const QImage redrawn = p.view.Render();
    EXPECT_EQ(Lit(redrawn, 45, 59), cached);
    EXPECT_TRUE(redrawn.copy(0, 0, first - 1, 60) == drawn.copy(0, 0, first - 1, 60) && p.axis->GetGridPos() == ticks);
    p.axis->InvalidateGrid();
    EXPECT_EQ(Lit(p.view.Render(), 45, 59), full) << "an invalidated grid is computed again";
    p.view.Resize(390, 60);
    EXPECT_EQ(Lit(p.view.Render(), 45, 59), full) << "a new extent is computed again";
    EXPECT_EQ(Lit(p.view.Render(), 45, 59), cached);
    // With both flags clear nothing is drawn and the cache stays.
    p.axis->SetGridVisible(false);
    p.axis->SetLegendVisible(false);
    EXPECT_TRUE(CountLit(p.view.Render(), QRect(0, 0, 390, 60)) == 0 && p.axis->GetGridPos() == ticks);
}

// Without a panel, or on one too small for ticks, nothing is drawn.
TEST(AxisDraw, LabelPointerSpansHalfTheTextPlusThreeEachSideAndNoPanelGetsNothing)
{
    SinglePanel view(200, 40, CW::eXAxisWindow);
    GLCommonWidget loose("Loose", nullptr, CW::eXAxisWindow); // never laid out: 2 x 2
    axisDefinition axis;
    axis.init(0, 100, 0);
    auto formatter = std::make_shared<FixedText>();
    axis.SetStringFormatter(formatter);
    int half = 0;
    view.Paint([&](GLPainter& p, CW* w, int type) {
        axis.draw(p, nullptr, type, true, true);
        axis.Label(p, nullptr, 10, 1.0, Qt::red);
        axis.VisualizeAction(p, nullptr, type);
        axis.draw(p, &loose, type, true, true);
        axis.drawFromGrid(p, &loose, type, true, true);
        const QRect text = p.boundingRect(QRect(), Qt::AlignLeft, formatter->sText);
        half = (text.right() - text.left() + 1) / 2 + 3;
        p.setPen(QPen(Qt::white));
        axis.Label(p, w, 100, 7.0, QColor(0, 0, 200));
    });
    const QImage img = view.Render();
    EXPECT_LE(axis.GetGridPos().size(), 2u) << "a tiny panel has no room for ticks";
    ASSERT_GT(half, 8);
    EXPECT_EQ(CountLit(img, QRect(0, 0, 100 - half, 40)), 0);
    expectLitRun(img, 30, 100 - half, 100 + half);
    const Columns tip = litColumns(img, 1);
    EXPECT_TRUE(!tip.empty() && tip.front() >= 94 && tip.back() <= 106) << "the tip points at pixel 100";
    const QRgb fill = img.pixel(100, 36);
    EXPECT_TRUE(qBlue(fill) > 150 && qRed(fill) < 60) << "gradient towards the given colour " << std::hex << fill;
}

// The arrow buttons of the axis window are solid when active and striped (every second row) otherwise, in opaque
// black without a colour handler. Zoom feedback is two lines with inward serifs; move feedback a bar and a shaft,
// with a head once it is longer than half the height.
TEST(AxisDraw, VisualizeActionDrawsButtonsAndMouseFeedback)
{
    const struct { bool horizontal, buttons; AxisMouseMode mode; int from, to, row; Columns lit; } cases[] = {
        {T, T, AxisMouseNone, 0, 0, 15, Runs({{5, 11}, {188, 194}})}, // the arrow tips' row
        {T, T, AxisMouseNone, 0, 0, 16, {}}, {T, T, AxisMouseNone, 0, 0, 17, Runs({{7, 11}, {188, 192}})},
        {T, T, AxisMouseLeftButton, 0, 0, 16, Runs({{6, 11}})},
        {T, T, AxisMouseRightButton, 0, 0, 16, Runs({{188, 193}})},
        {T, F, AxisMouseZoom, 150, 40, 0, Runs({{40, 43}, {147, 150}})}, {T, F, AxisMouseZoom, 150, 40, 5, {40, 150}},
        {T, F, AxisMouseMove, 50, 66, 10, {50}}, {T, F, AxisMouseMove, 50, 67, 10, {50, 62}},
        {T, F, AxisMouseMove, 50, 67, 15, Runs({{50, 67}})}, {F, F, AxisMouseZoom, 4, 14, 4, Runs({{0, 199}})},
        {F, F, AxisMouseZoom, 4, 14, 7, {0, 199}}, {F, F, AxisMouseZoom, 4, 14, 2, {}}};
    for (bool coloured : {false, true}) {
        const std::unique_ptr<AxisColors> colors(coloured ? new AxisColors : nullptr);
        SinglePanel view(200, 30, CW::eXAxisWindow);
        axisDefinition axis;
        view.Paint([&](GLPainter& p, CW* w, int type) { axis.VisualizeAction(p, w, type); });
        for (const auto& c : cases) {
            axis.setXType(c.horizontal);
            axis.SetDrawButtons(c.buttons);
            axis.setVisualizeAction(c.from, c.to, c.mode);
            const QImage img = view.Render();
            SCOPED_TRACE(testing::Message() << (c.horizontal ? "horizontal" : "vertical") << " mode " << c.mode
                                            << " from " << c.from << " to " << c.to << " row " << c.row);
            EXPECT_EQ(litColumns(img, c.row), c.lit);
            if (c.buttons && !c.lit.empty())
                expectColour(img, c.lit[0], c.row, coloured ? AxisColors::AxisText : 0xFF000000);
        }
    }
}
