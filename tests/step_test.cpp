#include "axisdefinition.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <random>

using GL = GLFrameWidget;
using Verts = std::vector<qint16>;

namespace
{
const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);

void SetSamples(GL::GLStepLine& line, const std::vector<unsigned char>& samples)
{
    line.SetData(samples.data(), int(samples.size()));
}

// A line in a rectangle at the origin with the default range and a solid one-pixel style.
void Prepare(GL::GLStepLine& line, GL::eStepLineStyle style, int w, int h, const std::vector<unsigned char>& samples)
{
    line.SetStepLineStyle(style);
    line.SetDestRect(0, 0, w, h);
    line.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Red));
    SetSamples(line, samples);
}

std::vector<int> Columns(int from, int to)
{
    std::vector<int> columns;
    for (int x = from; x <= to; ++x)
        columns.push_back(x);
    return columns;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Eight integers of one area column.
Verts Column(const GL::GLStepArea& area, int i)
{
    return Verts(area.Vertices().begin() + 8 * i, area.Vertices().begin() + 8 * i + 8);
}

// The state a step drawing must leave as it found it.
struct StepState
{
    GLboolean blend, stipple, vertexArray;
    GLfloat modelView[16];
    bool operator==(const StepState& o) const
    {
        return blend == o.blend && stipple == o.stipple && vertexArray == o.vertexArray &&
               std::equal(modelView, modelView + 16, o.modelView);
    }
};

StepState Snapshot()
{
    StepState s;
    s.blend = glIsEnabled(GL_BLEND);
    s.stipple = glIsEnabled(GL_LINE_STIPPLE);
    s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelView);
    return s;
}

// Trace axis: 100 samples at values 0..99. Screen axis: 0..99 on 200 pixels with 40..60 skipped,
// which lays out as values 0..40 on pixels 0..79 and 60..99 on pixels 120..197.
AxisData SampleAxis()
{
    axisDefinition axis;
    axis.init(0.0, 99.0, 100);
    return axis.GetAxisDefinitionSet();
}

AxisData ScreenAxisWithSkip()
{
    axisDefinition axis;
    axis.init(0.0, 99.0, 200);
    axis.AddSkip(40.0, 60.0, true);
    return axis.GetAxisDefinitionSet();
}

AxisData ScreenAxis(double min, double max, short pixels)
{
    axisDefinition axis;
    axis.init(min, max, pixels);
    return axis.GetAxisDefinitionSet();
}

// 100 samples: 64 below sample 20, 128 up to sample 79, 192 from 80; at height 64 the rows are
// 63 - v / 4: 47, 31 and 15.
std::vector<unsigned char> ThreeLevels()
{
    std::vector<unsigned char> samples(100, 128);
    std::fill(samples.begin(), samples.begin() + 20, 64);
    std::fill(samples.begin() + 80, samples.end(), 192);
    return samples;
}
} // namespace

TEST(StepLine, RowsFollowTheDataRange)
{
    GL::GLStepLine line;
    Prepare(line, GL::eStepNone, 100, 256, {0, 255, 128});
    // Height 256, range 0..255: scale 256, base 255.
    EXPECT_EQ(line.Vertices(), (Verts{0, 255, 1, 0, 2, 127, 3, 127}));

    // Height 100: scale trunc(100 * 256 / 256) = 100, row 99 - (v * 100 >> 8).
    line.SetDestRect(0, 0, 100, 100);
    EXPECT_EQ(line.Vertices(), (Verts{0, 99, 1, 0, 2, 49, 3, 49}));

    // A range of exactly 100 values on 100 rows: scale 256, row base - v.
    line.SetDataRange(0, 99);
    EXPECT_EQ(line.Vertices(), (Verts{0, 99, 1, -156, 2, -29, 3, -29}));
    line.SetDataRange(10, 109);
    SetSamples(line, {10, 109, 60});
    EXPECT_EQ(line.Vertices(), (Verts{0, 99, 1, 0, 2, 49, 3, 49}));
}

TEST(StepLine, EveryStyleHoldsTheLevelItNames)
{
    // Samples 10, 20, 10 at height 256: rows 245, 235, 245.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 30, 256, {10, 20, 10});
    EXPECT_EQ(line.Vertices(), (Verts{0, 245, 1, 245, 1, 235, 2, 235, 2, 245, 3, 245}));
    line.SetStepLineStyle(GL::eStepLeft);
    EXPECT_EQ(line.Vertices(), (Verts{0, 245, 0, 235, 1, 235, 1, 245, 2, 245, 3, 245}));
    line.SetStepLineStyle(GL::eStepMin);
    EXPECT_EQ(line.Vertices(), (Verts{0, 245, 1, 245, 1, 235, 1, 245, 2, 245, 3, 245}));
    line.SetStepLineStyle(GL::eStepMax);
    EXPECT_EQ(line.Vertices(), (Verts{0, 245, 0, 235, 1, 235, 2, 235, 2, 245, 3, 245}));
    line.SetStepLineStyle(GL::eStepNone);
    EXPECT_EQ(line.Vertices(), (Verts{0, 245, 1, 235, 2, 245, 3, 245}));

    // A value outside the enumeration is refused and the vertices stay.
    line.SetStepLineStyle(static_cast<GL::eStepLineStyle>(7));
    EXPECT_EQ(line.StepLineStyle(), GL::eStepNone);
    EXPECT_EQ(line.Vertices().size(), 8u);
    EXPECT_EQ(GL::GLStepLine().StepLineStyle(), GL::eStepMin);
}

TEST(StepLine, TooFewSamplesOrAFlatRectangleGiveDefinedVertices)
{
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 30, 256, {10, 20, 10});
    const unsigned char one = 5;
    line.SetData(&one, 1);
    EXPECT_EQ(line.SampleCount(), 0);
    EXPECT_TRUE(line.Vertices().empty());
    SetSamples(line, {1, 2});
    line.SetData(nullptr, 50);
    EXPECT_TRUE(line.Vertices().empty());
    line.SetData(&one, -3);
    EXPECT_TRUE(line.Vertices().empty());

    // Height below 2 or an empty range: zeros of the full size, 4n or 2n + 2.
    SetSamples(line, {10, 20, 10});
    line.SetDestRect(0, 0, 30, 1);
    EXPECT_EQ(line.Vertices(), Verts(12, 0));
    line.SetDestRect(0, 0, 30, 256);
    line.SetDataRange(40, 40);
    EXPECT_EQ(line.Vertices(), Verts(12, 0));
    line.SetStepLineStyle(GL::eStepNone);
    EXPECT_EQ(line.Vertices(), Verts(8, 0));
    line.SetDataRange(0, 255);
    EXPECT_EQ(line.Vertices(), (Verts{0, 245, 1, 235, 2, 245, 3, 245}));

    // Extreme heights and ranges wrap in 16 bits without overflowing on the way.
    line.SetDestRect(0, 0, 30, INT_MAX);
    line.SetDataRange(INT_MIN, INT_MAX);
    EXPECT_EQ(line.Vertices().size(), 8u);
    line.SetDestRect(0, 0, 30, 65536 + 256);
    line.SetDataRange(0, 65536 + 255);
    EXPECT_EQ(line.Vertices(), (Verts{0, 245, 1, 235, 2, 245, 3, 245}));
}

TEST(StepArea, ColumnsJoinALineWithAConstant)
{
    // Rows at height 256: 10 -> 245, 20 -> 235, 30 -> 225.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 40, 256, {10, 20, 10, 30});
    GL::GLStepArea below;
    below.Connect(&line, 0);  // constant second border at trunc(256 - 0) = 256
    ASSERT_EQ(below.ColumnCount(), 4);
    EXPECT_EQ(line.FirstArea(), &below);
    EXPECT_EQ(Column(below, 0), (Verts{0, 256, 1, 256, 1, 245, 0, 245}));
    EXPECT_EQ(Column(below, 1), (Verts{1, 256, 2, 256, 2, 235, 1, 235}));
    EXPECT_EQ(Column(below, 3), (Verts{3, 256, 4, 256, 4, 225, 3, 225}));

    GL::GLStepArea above;
    above.Connect(255, &line);  // constant first border at trunc(255 - 255) = 0
    EXPECT_EQ(line.SecondArea(), &above);
    EXPECT_EQ(Column(above, 2), (Verts{2, 245, 3, 245, 3, 0, 2, 0}));

    // New data rewrites the line's side; a new height moves the constant side of every column.
    SetSamples(line, {20, 20, 20, 20, 20});
    line.SetDestRect(0, 0, 40, 100);  // rows 99 - (v * 100 >> 8): 20 -> 92
    ASSERT_EQ(below.ColumnCount(), 5);
    EXPECT_EQ(Column(below, 0), (Verts{0, 100, 1, 100, 1, 92, 0, 92}));
    EXPECT_EQ(Column(below, 4), (Verts{4, 100, 5, 100, 5, 92, 4, 92}));
    below.Connect(&line, 128);
    EXPECT_EQ(Column(below, 1), (Verts{1, 50, 2, 50, 2, 92, 1, 92}));  // trunc(100 - 50)
    above.Connect(128, &line);
    EXPECT_EQ(Column(above, 1), (Verts{1, 92, 2, 92, 2, 49, 1, 49}));  // trunc(99 - 50)
}

TEST(StepArea, ColumnsJoinTwoLines)
{
    GL::GLStepLine top, bottom;
    Prepare(top, GL::eStepNone, 40, 256, {200, 100, 150});      // rows 55, 155, 105
    Prepare(bottom, GL::eStepLeft, 40, 256, {10, 20, 30, 40, 50});  // rows 245, 235, 225, 215, 205
    GL::GLStepArea area;
    area.Connect(&bottom, &top);
    ASSERT_EQ(area.ColumnCount(), 3);  // the shorter line
    // eStepNone joins the rows of samples i and i + 1; eStepLeft holds sample i + 1.
    EXPECT_EQ(Column(area, 0), (Verts{0, 55, 1, 155, 1, 235, 0, 235}));
    EXPECT_EQ(Column(area, 1), (Verts{1, 155, 2, 105, 2, 225, 1, 225}));
    EXPECT_EQ(Column(area, 2), (Verts{2, 105, 3, 105, 3, 215, 2, 215}));

    // When the shorter line grows, the new columns take the other line's side as well.
    SetSamples(top, {200, 100, 150, 250, 0});  // rows 55, 155, 105, 5, 255
    ASSERT_EQ(area.ColumnCount(), 5);
    EXPECT_EQ(Column(area, 3), (Verts{3, 5, 4, 255, 4, 205, 3, 205}));
    EXPECT_EQ(Column(area, 4), (Verts{4, 255, 5, 255, 5, 205, 4, 205}));

    // A line that is no border of the area changes nothing; fewer than 2 columns empty it.
    GL::GLStepLine stranger;
    Prepare(stranger, GL::eStepLeft, 40, 256, {1, 2});
    area.Update(&stranger);
    area.Update(nullptr);
    EXPECT_EQ(area.ColumnCount(), 5);
    const unsigned char one = 9;
    top.SetData(&one, 1);
    EXPECT_EQ(area.ColumnCount(), 0);
    EXPECT_TRUE(area.Vertices().empty());
}

TEST(StepArea, ABorderIsTakenOnceAndDestructionUnlinks)
{
    GL::GLStepLine a, b, c;
    for (GL::GLStepLine* l : {&a, &b, &c})
        Prepare(*l, GL::eStepRight, 40, 256, {1, 2, 3});
    GL::GLStepArea first;
    first.Connect(&a, &b);
    GL::GLStepArea second;
    second.Connect(&a, &c);  // a is already a first border
    EXPECT_EQ(second.FirstBorder(), nullptr);
    EXPECT_EQ(second.SecondBorder(), nullptr);
    EXPECT_EQ(second.ColumnCount(), 0);
    EXPECT_EQ(c.SecondArea(), nullptr);
    second.Connect(5, &b);  // b is already a second border
    EXPECT_EQ(second.SecondBorder(), nullptr);
    second.Connect(&a, 5);
    EXPECT_EQ(second.FirstBorder(), nullptr);
    second.Connect(nullptr, &c);
    second.Connect(7, nullptr);
    EXPECT_EQ(c.SecondArea(), nullptr);
    EXPECT_EQ(first.FirstBorder(), &a);
    EXPECT_EQ(a.FirstArea(), &first);

    // Reconnecting an area to its own borders works: it lets go of them first.
    first.Connect(&a, &b);
    EXPECT_EQ(first.ColumnCount(), 3);

    // Destroying a border empties the area and unlinks the surviving border too.
    auto doomed = std::make_unique<GL::GLStepLine>();
    Prepare(*doomed, GL::eStepRight, 40, 256, {1, 2, 3});
    second.Connect(&c, doomed.get());
    ASSERT_EQ(second.ColumnCount(), 3);
    doomed.reset();
    EXPECT_EQ(second.ColumnCount(), 0);
    EXPECT_TRUE(second.Vertices().empty());
    EXPECT_EQ(second.FirstBorder(), nullptr);
    EXPECT_EQ(second.SecondBorder(), nullptr);
    EXPECT_EQ(c.FirstArea(), nullptr);

    // Destroying an area unlinks its borders, which can then be taken again.
    {
        GL::GLStepArea temporary;
        temporary.Connect(&c, 0);
        EXPECT_EQ(c.FirstArea(), &temporary);
    }
    EXPECT_EQ(c.FirstArea(), nullptr);
    first.Disconnect();
    EXPECT_EQ(a.FirstArea(), nullptr);
    EXPECT_EQ(b.SecondArea(), nullptr);
    EXPECT_TRUE(first.Vertices().empty());
}

TEST(StepDraw, TraceAndAreaLandOnTheirRows)
{
    // Rectangle (4, 2, 48, 24): rows 23 - (v * 24 >> 8) + 2, so 80 -> 18 and 160 -> 10; 24 px a sample.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 48, 24, {80, 160});
    line.SetDestRect(4, 2, 48, 24);
    const QImage trace = render(64, 32, [&](TestSurface& w) {
        const StepState before = Snapshot();
        w.DrawStepLine(line);
        EXPECT_TRUE(before == Snapshot());
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
    expectLitRun(trace, 18, 4, 28);
    expectLitRun(trace, 10, 28, 51);
    for (int row = 11; row < 18; ++row)
        expectLitRun(trace, row, 28, 28);
    EXPECT_TRUE(litColumns(trace, 9).empty());
    EXPECT_TRUE(litColumns(trace, 19).empty());
    expectColour(trace, 10, 18, 0xFFFF0000);

    // The fill down to level 0 (row 24 + 2), shifted by 0.49: columns 4..27 and 28..51.
    GL::GLStepArea area;
    area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
    area.Connect(&line, 0);
    const QImage fill = render(64, 32, [&](TestSurface& w) {
        const StepState before = Snapshot();
        w.DrawStepArea(area);
        EXPECT_TRUE(before == Snapshot());
    });
    for (int row = 10; row < 18; ++row)
        expectLitRun(fill, row, 28, 51);
    for (int row = 18; row < 26; ++row)
        expectLitRun(fill, row, 4, 51);
    EXPECT_TRUE(litColumns(fill, 9).empty());
    EXPECT_TRUE(litColumns(fill, 26).empty());
    expectColour(fill, 30, 20, 0xFF00FF00);

    // Translucent fills blend premultiplied; other fill styles and hidden lines draw nothing.
    area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, QColor(0, 255, 0, 128), QColor()));
    const QImage glass = render(64, 32, [&](TestSurface& w) { w.DrawStepArea(area); });
    expectColour(glass, 30, 20, 0x80008000);
    area.SetFillStyle(GL::GLFillStyle(GL::eFillHGradient, Green, Red));
    GL::GLStepLine hidden;
    Prepare(hidden, GL::eStepRight, 48, 24, {80, 160});
    hidden.SetLineStyle(GL::GLLineStyle(GL::eLineNone, 1, Red));
    GL::GLStepLine thin;
    Prepare(thin, GL::eStepRight, 48, 24, {80, 160});
    thin.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 0, Red));
    GL::GLStepLine flat;
    Prepare(flat, GL::eStepRight, 0, 24, {80, 160});
    const QImage none = render(64, 32, [&](TestSurface& w) {
        w.DrawStepArea(area);
        w.DrawStepLine(hidden);
        w.DrawStepLine(thin);
        w.DrawStepLine(flat);
    });
    for (int row = 0; row < 32; ++row)
        EXPECT_TRUE(litColumns(none, row).empty()) << row;
}

TEST(StepDraw, DottedTraceIsStippled)
{
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 40, 256, {128, 128});
    line.SetLineStyle(GL::GLLineStyle(GL::eLineDotted, 1, Red));
    const QImage img = render(40, 256, [&](TestSurface& w) {
        w.DrawStepLine(line);
        EXPECT_FALSE(glIsEnabled(GL_LINE_STIPPLE));
    });
    std::vector<int> dots;
    for (int x = 0; x < 40; x += 4)
        dots.push_back(x);
    EXPECT_EQ(litColumns(img, 127), dots);
}

TEST(StepDraw, AxesPlaceTheTraceAroundASkippedRange)
{
    // Draw sections {source 0..41, screen 0..80} and {60..100, 120..198}; a width of 198 keeps
    // screen pixels. Sample 20 lands at 20 * 80 / 41 = 39.0, sample 80 at 120 + 20 * 78 / 40 = 159.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 198, 64, ThreeLevels());
    line.SetXAxis(SampleAxis());
    line.SetDestXAxis(ScreenAxisWithSkip());
    ASSERT_TRUE(line.HasAxes());
    GL::GLStepArea area;
    area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
    area.Connect(&line, 0);

    const QImage trace = render(200, 64, [&](TestSurface& w) { w.DrawStepLine(line); });
    expectLitRun(trace, 47, 0, 39);
    EXPECT_EQ(litColumns(trace, 31), Join(Columns(39, 79), Columns(120, 159)));
    expectLitRun(trace, 15, 159, 197);
    expectLitRun(trace, 40, 39, 39);
    expectLitRun(trace, 20, 159, 159);
    for (int row = 0; row < 64; ++row)
        for (int x = 80; x < 120; ++x)
            ASSERT_EQ(trace.pixel(x, row), 0u) << "skipped range lit at " << x << ", " << row;

    // The area follows the same sections, without the half-pixel shift.
    const QImage fill = render(200, 64, [&](TestSurface& w) { w.DrawStepArea(area); });
    EXPECT_EQ(litColumns(fill, 50), Join(Columns(0, 79), Columns(120, 197)));
    EXPECT_EQ(litColumns(fill, 40), Join(Columns(39, 79), Columns(120, 197)));
    expectLitRun(fill, 20, 159, 197);
    EXPECT_TRUE(litColumns(fill, 10).empty());

    // Borders on different axes fall back to the whole rectangle: 1.98 px a sample, shifted 0.49.
    GL::GLStepLine plain;
    Prepare(plain, GL::eStepRight, 198, 64, std::vector<unsigned char>(100, 255));
    GL::GLStepArea mixed;
    mixed.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
    mixed.Connect(&plain, &line);  // line is already the first border of area
    const QImage whole = render(200, 64, [&](TestSurface& w) { w.DrawStepArea(mixed); });
    // Between the top row of plain and the trace: everywhere at row 10, before sample 80 at row 20.
    expectLitRun(whole, 10, 0, 197);
    expectLitRun(whole, 20, 0, 158);
}

TEST(StepDraw, AZoomedScreenAxisShowsEachPeakWhereItMapsThePeaksValue)
{
    // Screen axes of 200 pixels that show only part of the trace axis. The spectrum display's 4096
    // bins zoomed to 120..250 are dense on screen; the last trace goes beyond the 16-bit vertex x.
    // A peak is a few samples at the top row, held over the interval after each.
    struct Case
    {
        const char* name;
        int samples, pixels, width;
        double max;
        std::function<void(axisDefinition&)> screen;
        std::vector<int> peaks;
    };
    const std::vector<Case> cases = {
        {"zoomed", 100, 100, 1, 99.0, [](axisDefinition& a) { a.zoom(20.0, 80.0); }, {30, 70}},
        {"zoomed with a skip", 100, 100, 1, 99.0,
         [](axisDefinition& a) {
             a.AddSkip(40.0, 60.0, true);
             a.zoom(20.0, 90.0);
         },
         {30, 75}},
        {"zoomed spectrum", 4096, 4096, 3, 1000.0, [](axisDefinition& a) { a.zoom(120.0, 250.0); }, {532, 800}},
        {"zoomed far trace", 65536, 8192, 160, 65535.0, [](axisDefinition& a) { a.zoom(30000.0, 50000.0); },
         {36000, 45000}},
    };
    for (const Case& c : cases) {
        axisDefinition source, screen;
        source.init(0.0, c.max, short(c.pixels));
        screen.init(0.0, c.max, 200);
        c.screen(screen);
        std::vector<unsigned char> samples(size_t(c.samples), 0);
        for (int peak : c.peaks)
            std::fill_n(samples.begin() + peak, c.width, 255);
        GL::GLStepLine line;
        Prepare(line, GL::eStepRight, 200, 64, samples);
        line.SetXAxis(source.GetAxisDefinitionSet());
        line.SetDestXAxis(screen.GetAxisDefinitionSet());
        GL::GLStepArea area;
        area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
        area.Connect(&line, 0);
        const QImage trace = render(200, 64, [&](TestSurface& w) { w.DrawStepLine(line); });
        const QImage fill = render(200, 64, [&](TestSurface& w) { w.DrawStepArea(area); });
        for (const QImage* img : {&trace, &fill}) {
            // Runs of lit columns on the top row, one per peak, each starting at its peak's pixel
            // (within one: the trace is placed through sections rounded to whole pixels).
            std::vector<int> starts;
            const std::vector<int> top = litColumns(*img, 0);
            for (size_t i = 0; i < top.size(); ++i)
                if (i == 0 || top[i] != top[i - 1] + 1)
                    starts.push_back(top[i]);
            EXPECT_EQ(starts.size(), c.peaks.size()) << c.name << (img == &fill ? " area" : " line");
            for (size_t k = 0; k < std::min(starts.size(), c.peaks.size()); ++k) {
                const int pixel = int(qint64(c.peaks[k]) * c.pixels / c.samples);
                const double value = source.PixelToValue(pixel, nullptr, false);
                EXPECT_NEAR(starts[k], screen.ValueToPixel(value, nullptr, false), 1)
                    << c.name << (img == &fill ? " area" : " line") << ", peak at " << value;
            }
        }
    }
}

TEST(StepDraw, DrawSectionsBelowThreePixelsAreLeftOut)
{
    // Samples 0..99 against screens starting at 99, 98.5 and 98: the overlap is 2, 3 and 4 screen
    // pixels wide, at the screen's left end.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 201, 64, std::vector<unsigned char>(100, 128));
    line.SetXAxis(SampleAxis());
    const auto drawWith = [&](double min) {
        line.SetDestXAxis(ScreenAxis(min, min + 100.0, 201));
        return render(201, 64, [&](TestSurface& w) { w.DrawStepLine(line); });
    };
    EXPECT_TRUE(litColumns(drawWith(99.0), 31).empty());
    expectLitRun(drawWith(98.5), 31, 0, 2);
    expectLitRun(drawWith(98.0), 31, 0, 3);
    // A screen that misses the samples altogether draws nothing.
    EXPECT_TRUE(litColumns(drawWith(500.0), 31).empty());
}

TEST(StepBadInput, HugeTracesWrapAndNothingDrawsOutsideAFrame)
{
    RecordingErrorHandler errors;
    std::vector<unsigned char> samples(1000000);
    std::mt19937 rng(7);
    for (unsigned char& s : samples)
        s = static_cast<unsigned char>(rng());
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 64, 32, samples);
    ASSERT_EQ(line.Vertices().size(), 4000000u);
    // Vertex 2i + 1 is (i + 1, row of sample i); x = 40000 wraps to 40000 - 65536.
    EXPECT_EQ(line.Vertices()[2 * (2 * 39999 + 1)], -25536);
    EXPECT_EQ(line.Vertices()[2 * (2 * 39999 + 1) + 1], 31 - ((samples[39999] * 32) >> 8));
    GL::GLStepArea area;
    area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
    area.Connect(&line, 0);
    ASSERT_EQ(area.ColumnCount(), 1000000);
    EXPECT_EQ(Column(area, 40000)[0], -25536);

    GL::GLStepLine axed;
    Prepare(axed, GL::eStepMax, 64, 32, samples);
    axed.SetXAxis(ScreenAxis(0.0, 999999.0, 1000));
    axed.SetDestXAxis(ScreenAxis(0.0, 999999.0, 64));
    GL::GLStepArea axedArea;
    axedArea.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
    axedArea.Connect(200, &axed);
    GL::GLStepArea broken;
    GL::GLStepLine emptyRange;
    Prepare(emptyRange, GL::eStepRight, 64, 32, {1, 2, 3});
    emptyRange.SetDataRange(5, 4);  // a range of 0 values for the constant
    broken.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
    broken.Connect(&emptyRange, 3);
    EXPECT_EQ(broken.ColumnCount(), 3);

    TestSurface w;
    w.resize(64, 32);
    const auto drawAll = [&](TestSurface& s) {
        s.DrawStepLine(line);
        s.DrawStepArea(area);
        s.DrawStepLine(axed);
        s.DrawStepArea(axedArea);
        s.DrawStepArea(broken);
    };
    drawAll(w);  // before any context exists
    QImage img;
    w.paint = [&](TestSurface& s) {
        drawAll(s);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    };
    ASSERT_TRUE(w.RenderToImage(&img));
    EXPECT_FALSE(litColumns(img, 31).empty());
    drawAll(w);  // between frames, with no context current
    EXPECT_TRUE(errors.vLogged.empty());
}

TEST(StepDraw, TracesBeyondThe16BitVertexXLandWhereTheirSamplesBelong)
{
    // 65,536 samples over 200 columns from column 20 rise at sample 40,000, beyond where the 16-bit
    // vertex x wraps: at column 20 + 40000 * 200 / 65536 = 142. Rows 10 + 99 - (v * 100 >> 8).
    std::vector<unsigned char> samples(65536, 40);
    std::fill(samples.begin() + 40000, samples.end(), 200);
    const int low = 10 + 84, high = 10 + 21;
    for (GL::eStepLineStyle style : {GL::eStepNone, GL::eStepLeft}) {
        GL::GLStepLine line;
        Prepare(line, style, 200, 100, samples);
        line.SetDestRect(20, 10, 200, 100);
        GL::GLStepArea area;
        area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
        area.Connect(&line, 0);
        const QImage trace = render(240, 120, [&](TestSurface& w) { w.DrawStepLine(line); });
        const QImage fill = render(240, 120, [&](TestSurface& w) { w.DrawStepArea(area); });
        // Each row's lit columns: the first and the last, or -1 for none.
        const auto ends = [](const QImage& img, int row) {
            const std::vector<int> lit = litColumns(img, row);
            return lit.empty() ? std::make_pair(-1, -1) : std::make_pair(lit.front(), lit.back());
        };
        for (const QImage* img : {&trace, &fill}) {
            const char* what = img == &trace ? "line" : "area";
            EXPECT_NEAR(ends(*img, high).first, 142, 1) << what << " style " << style;
            EXPECT_EQ(ends(*img, high).second, 219) << what << " style " << style;
            EXPECT_EQ(ends(*img, high - 1).first, -1) << what << " style " << style;
            EXPECT_EQ(ends(*img, low).first, 20) << what << " style " << style;
            EXPECT_NEAR(ends(*img, low).second, img == &trace ? 142 : 219, 1) << what << " style " << style;
        }
        expectLitRun(fill, low + 1, 20, 219);
    }
}

TEST(StepDraw, DenseTracesLightThePixelsOfTheirStripOrQuads)
{
    // Random traces of 2 to 12 samples per pixel column with random pens, drawn by the surface and
    // then, in the next frame at the same place, by GL itself as one line strip (or quads) through
    // the record's vertices, set up as a line style or fill sets it up. Only GL's own primitives are
    // an honest reference: a sparser trace is another picture, and a library switch that forces
    // the strip would compare the library with itself.
    const auto reference = [](TestSurface& w, const GL::GLStepLine& line, const GL::GLStepArea* area) {
        const QColor& colour = area ? area->FillStyle().FgColor() : line.LineStyle().FgColor();
        const int size = line.LineStyle().Size();
        const float a = float(colour.alpha());
        glColor4f(colour.red() * a / 65025.0f, colour.green() * a / 65025.0f, colour.blue() * a / 65025.0f, a / 255.0f);
        if (colour.alpha() != 255) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        }
        if (!area && line.LineStyle().LineStyle() == GL::eLineDotted) {
            glEnable(GL_LINE_STIPPLE);
            glLineStipple(size, 0x1111);
        }
        glLineWidth(float(size));
        glPushMatrix();
        if (area)
            glTranslatef(0.49f, 0.49f, 0);
        else if (size % 2)
            glTranslatef(w.m_fLineOffsetX, w.m_fLineOffsetY, 0);
        glTranslatef(float(line.X()), float(line.Y()), 0);
        glScalef(float(line.Width()) / float(line.SampleCount()), 1, 1);
        glEnableClientState(GL_VERTEX_ARRAY);
        const std::vector<qint16>& v = area ? area->Vertices() : line.Vertices();
        glVertexPointer(2, GL_SHORT, 0, v.data());
        glDrawArrays(area ? GL_QUADS : GL_LINE_STRIP, 0, GLsizei(v.size() / 2));
        glDisableClientState(GL_VERTEX_ARRAY);
        glPopMatrix();
        glDisable(GL_LINE_STIPPLE);
        glDisable(GL_BLEND);
    };
    TestSurface surface;
    surface.resize(100, 70);
    std::mt19937 rng(2024);
    const auto pick = [&rng](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
    for (int round = 0; round < 300; ++round) {
        const bool asArea = round % 3 == 2;
        const int width = pick(8, 90), height = pick(8, 60);
        const int count = pick(2 * width + 1, 12 * width);
        const auto style = static_cast<GL::eStepLineStyle>(pick(0, 4));
        const int size = pick(1, 3);
        const bool dotted = pick(0, 2) == 0;
        const QColor colour(pick(0, 255), pick(0, 255), pick(0, 255), pick(0, 1) ? 255 : pick(30, 220));
        const int level = pick(0, 255);
        const bool levelFirst = pick(0, 1);
        std::vector<unsigned char> samples(static_cast<size_t>(count));
        int value = pick(0, 255);
        for (unsigned char& s : samples)
            s = static_cast<unsigned char>(value = std::clamp(value + pick(-60, 60), 0, 255));
        GL::GLStepLine line;
        Prepare(line, style, width, height, samples);
        line.SetDestRect(pick(0, 5), pick(0, 5), width, height);
        line.SetLineStyle(GL::GLLineStyle(dotted ? GL::eLineDotted : GL::eLineSolid, size, colour));
        GL::GLStepArea area;
        area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, colour, QColor()));
        if (levelFirst)
            area.Connect(level, &line);
        else
            area.Connect(&line, level);
        QImage drawn, expected;
        surface.paint = [&](TestSurface& w) {
            if (asArea)
                w.DrawStepArea(area);
            else
                w.DrawStepLine(line);
        };
        ASSERT_TRUE(surface.RenderToImage(&drawn));
        surface.paint = [&](TestSurface& w) { reference(w, line, asArea ? &area : nullptr); };
        ASSERT_TRUE(surface.RenderToImage(&expected));
        int differing = 0, lit = 0;
        QPoint first;
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 100; ++x) {
                lit += drawn.pixel(x, y) != 0;
                if (drawn.pixel(x, y) != expected.pixel(x, y) && !differing++)
                    first = QPoint(x, y);
            }
        ASSERT_GT(lit, width / 2) << "round " << round;
        if (differing) {
            std::string data;
            for (unsigned char s : samples)
                data += std::to_string(s) + ' ';
            ADD_FAILURE() << differing << " pixels differ, first at (" << first.x() << ", " << first.y() << "), round "
                          << round << ": "
                          << (asArea ? "area " + std::string(levelFirst ? "from " : "down to ") + std::to_string(level)
                                     : std::string(dotted ? "dotted " : "solid ") + std::to_string(size) + " px line")
                          << ", rgba " << colour.red() << "," << colour.green() << "," << colour.blue() << ","
                          << colour.alpha() << ", style " << style << ", rect " << line.X() << "," << line.Y() << " "
                          << width << "x" << height << ", samples: " << data;
        }
    }
}
