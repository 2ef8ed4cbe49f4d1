#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include "axisdefinition.h"

#include <gtest/gtest.h>

using CW = GLCommonWidget;

namespace {

std::vector<QString> Texts(const axisDefinition& axis, bool legends)
{
    std::vector<QString> texts;
    for (const AxisTick& tick : axis.GetTicks())
        if (tick.m_bLegend == legends && !tick.m_sText.isEmpty())
            texts.push_back(tick.m_sText);
    return texts;
}

// Counts how often the full drawing hands over to the cached one.
class CountingAxis : public axisDefinition
{
public:
    int iRedraws = 0;
    void drawFromGrid(GLPainter& p, GLCommonWidget* w, int type, bool legend, bool grid) override
    {
        ++iRedraws;
        axisDefinition::drawFromGrid(p, w, type, legend, grid);
    }
};

// Returns one fixed text for every value.
class FixedText : public IStringFormatter
{
public:
    QString sText;
    const QString& FormatValue(double) override { return sText; }
    const QString& FormatStartValue(double) override { return sText; }
};

std::shared_ptr<axisDefinition> HorizontalAxis(double min, double max, int pixels)
{
    auto axis = std::make_shared<axisDefinition>();
    axis->init(min, max, short(pixels));
    return axis;
}

} // namespace

TEST(AxisDraw, HorizontalLabelsOnlyInAxisWindowAndWideSections)
{
    AxisColors colors;
    for (CW::EWindowType type : {CW::ePlotWindow, CW::eXAxisWindow}) {
        SinglePanel view(400, 30, type);
        auto axis = HorizontalAxis(0, 100, 400);
        view.panel.addPaintObject(axis, CW::eZOrderAxis);
        const QImage img = view.Render();
        // [0, 100] gets ticks 0, 25, 50, 75, 100; the ends collide with the legends.
        EXPECT_EQ(Texts(*axis, false), (std::vector<QString>{"25", "50", "75"})) << "type " << type;
        EXPECT_EQ(Texts(*axis, true), (std::vector<QString>{"0", "100"}));
        const QRgb text = type == CW::eXAxisWindow ? AxisColors::AxisText : AxisColors::Text;
        const int textPixels = CountPixels(img, QRect(0, 4, 400, 26), text);
        if (type == CW::eXAxisWindow)
            EXPECT_GT(textPixels, 40) << "legend and labels are drawn in the axis window";
        else
            EXPECT_EQ(CountLit(img, QRect(0, 4, 400, 26)), 0) << "only tick marks in other windows";
        // Tick marks: rows 0 to 3 at every tick pixel.
        for (int pixel : axis->GetGridPos()) {
            if (pixel < 0)
                continue;
            EXPECT_GT(CountLit(img, QRect(pixel, 0, 1, 4)), 0) << "mark at " << pixel;
            EXPECT_EQ(img.pixel(pixel, 6), 0u) << "marks are 3 pixels long";
        }
    }
    // A section of 200 pixels keeps its legend but gets neither labels nor marks.
    SinglePanel narrow(400, 30, CW::eXAxisWindow);
    auto axis = HorizontalAxis(0, 100, 200);
    narrow.panel.addPaintObject(axis, CW::eZOrderAxis);
    const QImage img = narrow.Render();
    EXPECT_EQ(axis->GetGridPos(), (std::vector<int>{-1, -1}));
    EXPECT_EQ(Texts(*axis, true), (std::vector<QString>{"0", "100"}));
    EXPECT_EQ(CountLit(img, QRect(60, 0, 80, 4)), 0) << "no marks between the legends";
    axis->init(0, 100, 201);
    narrow.Render();
    EXPECT_EQ(axis->GetGridPos().size(), 7u) << "two legends and five ticks";
}

TEST(AxisDraw, VerticalLabelsEndAtTheLeftAlignColumnAndHalveWhenCrowded)
{
    AxisColors colors;
    SinglePanel tall(60, 300, CW::eYAxisWindow);
    auto axis = std::make_shared<axisDefinition>();
    axis->setXType(false);
    axis->init(0, 100, 300);
    axis->SetGridVisible(false);
    tall.panel.addPaintObject(axis, CW::eZOrderAxis);
    const QImage img = tall.Render();
    // The maximum maps one pixel above the mirrored axis, so its label is left out.
    EXPECT_EQ(Texts(*axis, false), (std::vector<QString>{"0", "25", "50", "75"}));
    ASSERT_EQ(axisDefinition::s_YAxisLeftAlign, 25);
    std::vector<int> rightEdges;
    for (const AxisTick& tick : axis->GetTicks()) {
        EXPECT_EQ(tick.m_iPixel, axis->ValueToPixel(tick.m_sText.toDouble(), nullptr, true));
        if (tick.m_iPixel < 12)
            continue; // the text sits above its baseline, outside the panel
        int right = -1;
        for (int y = tick.m_iPixel - 12; y <= tick.m_iPixel && y < 300; ++y)
            for (int x = 0; x < 60; ++x)
                if (img.pixel(x, y) != 0 && img.pixel(x, y) != AxisColors::Background)
                    right = std::max(right, x);
        rightEdges.push_back(right);
    }
    EXPECT_EQ(rightEdges.size(), 4u);
    for (int right : rightEdges) {
        EXPECT_LE(right, 24) << "labels end before x 25";
        EXPECT_GE(right, 21) << "labels are right-aligned to x 25";
    }
    ASSERT_EQ(axis->GetTicks().size(), 4u);
    EXPECT_LT(axis->GetTicks()[3].m_iLabelPos, axis->GetTicks()[0].m_iLabelPos) << "wider text starts further left";

    // 60 pixels cannot hold five labels: every second one is shown.
    SinglePanel low(60, 60, CW::eYAxisWindow);
    auto crowded = std::make_shared<axisDefinition>();
    crowded->setXType(false);
    crowded->init(0, 1, 60);
    low.panel.addPaintObject(crowded, CW::eZOrderAxis);
    low.Render();
    EXPECT_EQ(Texts(*crowded, false), (std::vector<QString>{"0", "0.5"}));
}

TEST(AxisDraw, SkipMarksOnFirstDrawAndOutsideThemOnRedraw)
{
    AxisColors colors;
    SinglePanel view(400, 40, CW::eXAxisWindow);
    auto axis = HorizontalAxis(0, 100, 400);
    axis->SetSkipSuppressRanges(true);
    axis->AddSkip(40, 60, true);
    view.panel.addPaintObject(axis, CW::eZOrderAxis);
    ASSERT_EQ(axis->GetSectionCnt(), 3);
    const int first = axis->GetStartPix(1);
    const int stop = axis->GetStopPix(1);
    ASSERT_EQ(stop - first, pixSection::DISTANCE);

    const QImage drawn = view.Render();
    EXPECT_EQ(axis->GetSkipMarks(), (std::vector<std::pair<int, int>>{{first, stop}}));
    for (int x : {first, stop})
        EXPECT_EQ(CountPixels(drawn, QRect(x, 20, 1, 20), AxisColors::AxisText), 20) << "full-height mark at " << x;
    EXPECT_EQ(CountLit(drawn, QRect(first - 1, 20, 1, 20)), 0);

    const QImage redrawn = view.Render();
    for (int x : {first - 1, stop + 1})
        EXPECT_EQ(CountPixels(redrawn, QRect(x, 20, 1, 20), AxisColors::AxisText), 20) << "redraw mark at " << x;
    EXPECT_EQ(CountLit(redrawn, QRect(first, 20, 1, 20)), 0) << "the first-draw marks are not repeated";
}

TEST(AxisDraw, SecondDrawAtSameExtentRepeatsTheCachedTicks)
{
    AxisColors colors;
    SinglePanel view(400, 30, CW::eXAxisWindow);
    auto axis = std::make_shared<CountingAxis>();
    axis->init(0, 100, 400);
    view.panel.addPaintObject(axis, CW::eZOrderAxis);
    const QImage first = view.Render();
    EXPECT_EQ(axis->iRedraws, 0);
    const std::vector<int> ticks = axis->GetGridPos();
    const QImage second = view.Render();
    EXPECT_EQ(axis->iRedraws, 1);
    EXPECT_EQ(second, first) << "the axis window looks the same from the cache";
    EXPECT_EQ(axis->GetGridPos(), ticks);

    axis->InvalidateGrid();
    view.Render();
    EXPECT_EQ(axis->iRedraws, 1) << "an invalidated grid is computed again";
    view.Resize(300, 30);
    view.Render();
    EXPECT_EQ(axis->iRedraws, 1) << "a new extent is computed again";
    view.Render();
    EXPECT_EQ(axis->iRedraws, 2);

    // With both flags clear nothing is drawn and the cache stays.
    axis->SetGridVisible(false);
    axis->SetLegendVisible(false);
    const std::vector<int> kept = axis->GetGridPos();
    const QImage empty = view.Render();
    EXPECT_EQ(CountLit(empty, empty.rect()), 0);
    EXPECT_EQ(axis->GetGridPos(), kept);
    EXPECT_EQ(axis->iRedraws, 2);
}

TEST(AxisDraw, LabelPointerSpansHalfTheTextPlusThreeEachSide)
{
    SinglePanel view(200, 40, CW::eXAxisWindow);
    auto axis = HorizontalAxis(0, 200, 200);
    auto formatter = std::make_shared<FixedText>();
    axis->SetStringFormatter(formatter);
    // Find a text exactly 40 pixels wide in the painter's font.
    view.Paint([&](GLPainter& p, CW*, int) {
        for (int n = 1; n < 40 && formatter->sText.isEmpty(); ++n)
            for (QChar c : QString("01il.-WM")) {
                const QString candidate(n, c);
                const QRect r = p.boundingRect(QRect(), Qt::AlignLeft, candidate);
                if (r.right() - r.left() + 1 == 40) {
                    formatter->sText = candidate;
                    break;
                }
            }
    });
    view.Render();
    ASSERT_FALSE(formatter->sText.isEmpty()) << "no 40-pixel text found";
    SinglePanel label(200, 40, CW::eXAxisWindow);
    label.Paint([&](GLPainter& p, CW* w, int) {
        p.setPen(QPen(Qt::white));
        axis->Label(p, w, 100, 7.0, QColor(0, 0, 200));
    });
    const QImage img = label.Render();
    expectLitRun(img, 30, 77, 123);
    const std::vector<int> tip = litColumns(img, 1);
    ASSERT_FALSE(tip.empty());
    EXPECT_GE(tip.front(), 94);
    EXPECT_LE(tip.back(), 106);
    const QRgb fill = img.pixel(100, 36);
    EXPECT_GT(qBlue(fill), 150) << "gradient towards the given colour";
    EXPECT_LT(qRed(fill), 60);
}

TEST(AxisDraw, CenterValueShiftsTickTextsButNotLegends)
{
    SinglePanel view(400, 30, CW::eXAxisWindow);
    auto axis = HorizontalAxis(1000, 1010, 400);
    axis->SetCenterValue(1000, true);
    view.panel.addPaintObject(axis, CW::eZOrderAxis);
    view.Render();
    EXPECT_EQ(Texts(*axis, true), (std::vector<QString>{"1000", "1010"}));
    EXPECT_EQ(Texts(*axis, false), (std::vector<QString>{"2.5", "5", "7.5"}));
    for (const AxisTick& tick : axis->GetTicks())
        if (!tick.m_bLegend && !tick.m_sText.isEmpty())
            EXPECT_EQ(tick.m_iPixel, axis->ValueToPixel(1000 + tick.m_sText.toDouble(), nullptr, false));

    // Not applied: the draw forgets the stored center value and labels absolute values.
    axis->SetCenterValue(1000, false);
    view.Render();
    EXPECT_EQ(axis->GetCenterValue(), 0.0);
    const std::vector<QString> absolute = Texts(*axis, false);
    ASSERT_FALSE(absolute.empty());
    for (const QString& text : absolute)
        EXPECT_GT(text.toDouble(), 1000.0) << text.toStdString();
}

TEST(AxisDraw, WithoutColourHandlerEverythingIsBlack)
{
    ASSERT_EQ(GLFrameWidget::getColorHandler(), nullptr);
    SinglePanel view(80, 200, CW::eXAxisWindow);
    auto axis = std::make_shared<axisDefinition>();
    axis->setXType(false);
    axis->init(0, 100, 200);
    axis->SetDrawButtons(true);
    axis->setVisualizeAction(0, 0, AxisMouseLeftButton);
    view.panel.addPaintObject(axis, CW::eZOrderAxis);
    const QImage img = view.Render();
    ASSERT_FALSE(axis->GetTicks().empty());
    const int y = axis->GetTicks()[1].m_iPixel;
    expectColour(img, 60, y, 0xFF000000);
    expectColour(img, 8, 103, 0xFF000000); // the active left button, default pen
}

TEST(AxisDraw, ButtonsAreSolidWhenActiveAndStripedOtherwise)
{
    AxisColors colors;
    SinglePanel view(200, 30, CW::eXAxisWindow);
    auto axis = HorizontalAxis(0, 100, 200);
    axis->SetDrawButtons(true);
    axis->SetGridVisible(false);
    axis->SetLegendVisible(false);
    view.Paint([&](GLPainter& p, CW* w, int type) { axis->VisualizeAction(p, w, type); });
    const int mid = 15;
    QImage img = view.Render();
    const auto leftHalf = [&](int row) {
        std::vector<int> columns;
        for (int x : litColumns(img, row))
            if (x < 100)
                columns.push_back(x);
        return columns;
    };
    EXPECT_EQ(leftHalf(mid), (std::vector<int>{5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(CountLit(img, QRect(0, mid + 1, 100, 1)), 0) << "inactive arrows skip odd rows";
    EXPECT_GT(CountPixels(img, QRect(0, mid + 2, 20, 1), AxisColors::AxisText), 0);
    EXPECT_GT(CountPixels(img, QRect(180, mid + 2, 20, 1), AxisColors::AxisText), 0);

    axis->setVisualizeAction(0, 0, AxisMouseLeftButton);
    img = view.Render();
    EXPECT_EQ(leftHalf(mid + 1), (std::vector<int>{6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(CountLit(img, QRect(100, mid + 1, 100, 1)), 0) << "the right arrow stays striped";
    axis->setVisualizeAction(0, 0, AxisMouseRightButton);
    img = view.Render();
    EXPECT_EQ(CountLit(img, QRect(0, mid + 1, 100, 1)), 0);
    EXPECT_GT(CountLit(img, QRect(100, mid + 1, 100, 1)), 0);
}

TEST(AxisDraw, ZoomAndMoveFeedback)
{
    SinglePanel view(200, 20, CW::ePlotWindow);
    auto axis = HorizontalAxis(0, 100, 200);
    view.Paint([&](GLPainter& p, CW* w, int type) { axis->VisualizeAction(p, w, type); });
    axis->setVisualizeAction(150, 40, AxisMouseZoom);
    QImage img = view.Render();
    EXPECT_EQ(CountPixels(img, QRect(40, 0, 1, 20), 0xFFFFFFFF), 20);
    EXPECT_EQ(CountPixels(img, QRect(150, 0, 1, 20), 0xFFFFFFFF), 20);
    EXPECT_EQ(litColumns(img, 5), (std::vector<int>{40, 150}));
    EXPECT_EQ(litColumns(img, 0), (std::vector<int>{40, 41, 42, 43, 147, 148, 149, 150})) << "inward serifs";

    // A move arrow of height 20 gets its head only beyond 11 pixels.
    axis->setVisualizeAction(50, 61, AxisMouseMove);
    img = view.Render();
    EXPECT_EQ(CountLit(img, QRect(0, 0, 200, 9)), 4) << "the bar alone above the shaft";
    axis->setVisualizeAction(50, 62, AxisMouseMove);
    img = view.Render();
    EXPECT_GT(CountLit(img, QRect(52, 5, 10, 4)), 3) << "head lines toward the start";

    // Vertical zoom: lines across the width with serifs toward each other.
    axis->setXType(false);
    axis->setVisualizeAction(4, 14, AxisMouseZoom);
    img = view.Render();
    expectLitRun(img, 4, 0, 199);
    expectLitRun(img, 14, 0, 199);
    EXPECT_EQ(litColumns(img, 7), (std::vector<int>{0, 199}));
    EXPECT_EQ(litColumns(img, 11), (std::vector<int>{0, 199}));
    EXPECT_TRUE(litColumns(img, 2).empty()) << "serifs point inward";
}

TEST(AxisDraw, NullAndTinyPanelsAreHarmless)
{
    AxisColors colors;
    auto axis = HorizontalAxis(0, 100, 0);
    SinglePanel view(100, 30, CW::eXAxisWindow);
    GLCommonWidget loose("Loose", nullptr, CW::eXAxisWindow); // never laid out: 2 x 2
    view.Paint([&](GLPainter& p, CW*, int type) {
        axis->draw(p, nullptr, type, true, true);
        axis->Label(p, nullptr, 10, 1.0, Qt::red);
        axis->VisualizeAction(p, nullptr, type);
        axis->draw(p, &loose, type, true, true);
        axis->drawFromGrid(p, &loose, type, true, true);
    });
    view.Render();
    EXPECT_TRUE(axis->GetGridPos().size() <= 2u) << "a tiny panel has no room for ticks";
}
