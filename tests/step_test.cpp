#include "axisdefinition.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <climits>
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

TEST(StepDraw, DrawSectionsBelowThreePixelsAreLeftOut)
{
    // Samples 0..99 against screens starting at 99, 98.5 and 98: the overlap is 2, 3 and 4 screen
    // pixels wide. Drawn sections are stretched over the line's whole width.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 100, 64, std::vector<unsigned char>(100, 128));
    line.SetXAxis(SampleAxis());
    const auto drawWith = [&](double min) {
        line.SetDestXAxis(ScreenAxis(min, min + 100.0, 201));
        return render(100, 64, [&](TestSurface& w) { w.DrawStepLine(line); });
    };
    EXPECT_TRUE(litColumns(drawWith(99.0), 31).empty());
    expectLitRun(drawWith(98.5), 31, 0, 99);
    expectLitRun(drawWith(98.0), 31, 0, 99);
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

TEST(StepDraw, DenseTracesCoverEverySampleWithoutGapsOrWrapping)
{
    // 65,536 samples over 200 columns: beyond 32767 the 16-bit x wraps, yet the second half must
    // land in the right half of the rectangle, not left of it.
    std::vector<unsigned char> samples(65536);
    std::mt19937 rng(11);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<unsigned char>(128 + 80 * std::sin(double(i) / 4000) + int(rng() % 31) - 15);
    for (GL::eStepLineStyle style : {GL::eStepNone, GL::eStepLeft}) {
        GL::GLStepLine line;
        Prepare(line, style, 200, 100, samples);
        line.SetDestRect(20, 10, 200, 100);
        const QImage img = render(240, 120, [&](TestSurface& w) { w.DrawStepLine(line); });
        const int perSample = style == GL::eStepNone ? 1 : 2;
        for (size_t i = 0; i < samples.size(); i += 97) {
            const int column = 20 + int(qint64(i) * 200 / 65536);
            const int row = 10 + line.Vertices()[2 * perSample * i + 1];
            ASSERT_EQ(img.pixel(column, row), qRgb(255, 0, 0)) << "sample " << i << " style " << style;
        }
        for (int x = 0; x < 240; ++x) {
            int first = -1, last = -1, lit = 0;
            for (int y = 0; y < 120; ++y)
                if (img.pixel(x, y) != 0) {
                    first = first < 0 ? y : first;
                    last = y;
                    ++lit;
                }
            if (x < 20 || x >= 220) {
                EXPECT_EQ(lit, 0) << "column " << x << " lies outside the rectangle";
                continue;
            }
            ASSERT_GT(lit, 0) << "column " << x;
            EXPECT_EQ(lit, last - first + 1) << "column " << x << " has a gap";
            EXPECT_GE(first, 10);
            EXPECT_LT(last, 110);
        }
    }

    // Through axes: 30,000 samples onto 200 columns, the skipped middle left empty.
    GL::GLStepLine axed;
    Prepare(axed, GL::eStepNone, 200, 100, std::vector<unsigned char>(samples.begin(), samples.begin() + 30000));
    axed.SetXAxis(ScreenAxis(0.0, 99.0, 30000));
    axed.SetDestXAxis(ScreenAxisWithSkip());
    const QImage img = render(200, 100, [&](TestSurface& w) { w.DrawStepLine(axed); });
    int litColumns = 0;
    for (int x = 0; x < 200; ++x) {
        int first = -1, last = -1, lit = 0;
        for (int y = 0; y < 100; ++y)
            if (img.pixel(x, y) != 0) {
                first = first < 0 ? y : first;
                last = y;
                ++lit;
            }
        litColumns += lit > 0;
        if (lit)
            EXPECT_EQ(lit, last - first + 1) << "column " << x << " has a gap";
    }
    EXPECT_GT(litColumns, 150);
    EXPECT_LT(litColumns, 200) << "the skipped range stays empty";
}

TEST(StepDraw, DenseAreasFillEachColumnDownToTheirLevel)
{
    std::vector<unsigned char> samples(4096);
    std::mt19937 rng(5);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<unsigned char>(100 + 60 * std::sin(double(i) / 300) + int(rng() % 41) - 20);
    GL::GLStepLine line;
    Prepare(line, GL::eStepNone, 200, 100, samples);
    GL::GLStepArea area;
    area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor()));
    area.Connect(&line, 0);
    const QImage img = render(200, 100, [&](TestSurface& w) { w.DrawStepArea(area); });
    for (int x = 0; x < 200; ++x) {
        // The highest row any sample whose column middle falls in this pixel column reaches.
        int expectedTop = INT_MAX;
        for (int i = 0; i < 4096; ++i)
            if ((2 * i + 1) * 200 / (2 * 4096) == x)
                expectedTop = std::min({expectedTop, int(line.Vertices()[2 * i + 1]), int(line.Vertices()[2 * i + 3])});
        int first = -1, last = -1, lit = 0;
        for (int y = 0; y < 100; ++y)
            if (img.pixel(x, y) == qRgb(0, 255, 0)) {
                first = first < 0 ? y : first;
                last = y;
                ++lit;
            }
        ASSERT_GT(lit, 0) << "column " << x;
        EXPECT_EQ(lit, last - first + 1) << "column " << x << " has a gap";
        EXPECT_EQ(last, 99) << "column " << x << " reaches the level's row";
        EXPECT_EQ(first, expectedTop) << "column " << x;
    }
}
