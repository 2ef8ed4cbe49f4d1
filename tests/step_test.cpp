#include "axisdefinition.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <sstream>

using GL = GLFrameWidget;
using Verts = std::vector<qint16>;
using Samples = std::vector<unsigned char>;
using Runs = std::vector<std::pair<int, int>>;

namespace
{
const QColor Red(255, 0, 0), Green(0, 255, 0);

void SetSamples(GL::GLStepLine& line, const Samples& samples) { line.SetData(samples.data(), int(samples.size())); }

// A line in a w x h rectangle at the origin with the default range and a solid one-pixel red pen.
void Prepare(GL::GLStepLine& line, GL::eStepLineStyle style, int w, int h, const Samples& samples)
{
    line.SetStepLineStyle(style), line.SetDestRect(0, 0, w, h);
    line.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Red)), SetSamples(line, samples);
}

// A solid green fill down to level 0 of the line.
void FillBelow(GL::GLStepArea& area, GL::GLStepLine& line)
{
    area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, Green, QColor())), area.Connect(&line, 0);
}

// Eight integers of one area column.
Verts Column(const GL::GLStepArea& area, int i) { return Verts(&area.Vertices()[8 * i], &area.Vertices()[8 * i + 8]); }

// The runs of lit columns on a row, as (first, last) pairs.
Runs LitRuns(const QImage& img, int row)
{
    Runs runs;
    for (int x : litColumns(img, row))
        runs.empty() || runs.back().second < x - 1 ? runs.emplace_back(x, x) : (runs.back().second = x, runs.back());
    return runs;
}

AxisData Axis(double min, double max, short pixels)
{
    axisDefinition axis;
    return axis.init(min, max, pixels), axis.GetAxisDefinitionSet();
}
} // namespace

TEST(StepLine, VerticesHoldTheLevelEachStyleNamesOnTheRowsOfTheDataRange)
{
    // Row of v: height - 1 + start - ((v * scale) >> 8), scale = trunc(256 * height / values in the range).
    using S = GL::eStepLineStyle;
    const S None = GL::eStepNone, Right = GL::eStepRight;
    const Samples steps = {10, 20, 10}; // on 256 rows: 245, 235, 245
    struct Case { const char* name; S style; int height, start, end; Samples samples; Verts expected; };
    const Case cases[] = {
        {"256 rows", None, 256, 0, 255, {0, 255, 128}, {0, 255, 1, 0, 2, 127, 3, 127}},
        {"100 rows", None, 100, 0, 255, {0, 255, 128}, {0, 99, 1, 0, 2, 49, 3, 49}},
        {"100 values on 100 rows", None, 100, 0, 99, {0, 255, 128}, {0, 99, 1, -156, 2, -29, 3, -29}},
        {"values 10..109", None, 100, 10, 109, {10, 109, 60}, {0, 99, 1, 0, 2, 49, 3, 49}},
        {"right", Right, 256, 0, 255, steps, {0, 245, 1, 245, 1, 235, 2, 235, 2, 245, 3, 245}},
        {"left", GL::eStepLeft, 256, 0, 255, steps, {0, 245, 0, 235, 1, 235, 1, 245, 2, 245, 3, 245}},
        {"min", GL::eStepMin, 256, 0, 255, steps, {0, 245, 1, 245, 1, 235, 1, 245, 2, 245, 3, 245}},
        {"max", GL::eStepMax, 256, 0, 255, steps, {0, 245, 0, 235, 1, 235, 2, 235, 2, 245, 3, 245}},
        {"none", None, 256, 0, 255, steps, {0, 245, 1, 235, 2, 245, 3, 245}},
        {"one row: zeros of the full size, 4n or 2n + 2", Right, 1, 0, 255, steps, Verts(12, 0)},
        {"empty range", Right, 256, 40, 40, steps, Verts(12, 0)},
        {"empty range, no steps", None, 256, 40, 40, steps, Verts(8, 0)},
        {"one sample", Right, 256, 0, 255, {5}, {}},
        {"no samples", Right, 256, 0, 255, {}, {}},
        {"style 7 refused", static_cast<S>(7), 256, 0, 255, steps, {0, 245, 1, 245, 1, 235, 1, 245, 2, 245, 3, 245}},
        {"beyond 16 bits (wide)", None, 65536 + 256, 0, 65536 + 255, steps, {0, 245, 1, 235, 2, 245, 3, 245}},
        {"int extremes", None, INT_MAX, INT_MIN, INT_MAX, steps, {0, -6, 1, -11, 2, -6, 3, -6}},
    };
    for (const Case& c : cases) {
        GL::GLStepLine line;
        Prepare(line, c.style, 30, c.height, c.samples), line.SetDataRange(c.start, c.end);
        EXPECT_EQ(line.Vertices(), c.expected) << c.name;
    }
    // Beyond 32767 samples x wraps in 16 bits as well: vertex 40,000 lies at 40000 - 65536.
    GL::GLStepLine line;
    Prepare(line, None, 30, 256, Samples(65536, 200));
    EXPECT_EQ(Verts(&line.Vertices()[80000], &line.Vertices()[80002]), (Verts{-25536, 55}));
}

TEST(StepArea, ColumnsJoinALineWithAConstantOrAnotherLine)
{
    // Rows at height 256: 10 -> 245, 20 -> 235, 30 -> 225. A constant second border lies at
    // trunc(h - level * h / values), a constant first border one row higher.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 40, 256, {10, 20, 10, 30});
    GL::GLStepArea below, above;
    below.Connect(&line, 0); above.Connect(255, &line);
    ASSERT_TRUE(line.FirstArea() == &below && line.SecondArea() == &above && below.ColumnCount() == 4);
    EXPECT_EQ(Column(below, 0), (Verts{0, 256, 1, 256, 1, 245, 0, 245}));
    EXPECT_EQ(Column(below, 3), (Verts{3, 256, 4, 256, 4, 225, 3, 225}));
    EXPECT_EQ(Column(above, 2), (Verts{2, 245, 3, 245, 3, 0, 2, 0}));
    // New data rewrites the line's side; a new height moves the constant side of every column.
    SetSamples(line, Samples(5, 20)), line.SetDestRect(0, 0, 40, 100); // rows 99 - (v * 100 >> 8): 20 -> 92
    ASSERT_EQ(below.ColumnCount(), 5);
    EXPECT_EQ(Column(below, 4), (Verts{4, 100, 5, 100, 5, 92, 4, 92}));
    below.Connect(&line, 128); above.Connect(128, &line);
    EXPECT_EQ(Column(below, 1), (Verts{1, 50, 2, 50, 2, 92, 1, 92}));
    EXPECT_EQ(Column(above, 1), (Verts{1, 92, 2, 92, 2, 49, 1, 49}));
    line.SetDataRange(5, 4); below.Connect(&line, 3); // no values in the range: the constant has no row either
    EXPECT_EQ(Column(below, 0), (Verts{0, 0, 1, 0, 1, 0, 0, 0}));

    GL::GLStepLine top, bottom;
    Prepare(top, GL::eStepNone, 40, 256, {200, 100, 150});         // rows 55, 155, 105
    Prepare(bottom, GL::eStepLeft, 40, 256, {10, 20, 30, 40, 50}); // rows 245, 235, 225, 215, 205
    GL::GLStepArea area;
    area.Connect(&bottom, &top);
    ASSERT_EQ(area.ColumnCount(), 3); // the shorter line
    // eStepNone joins the rows of samples i and i + 1; eStepLeft holds sample i + 1.
    EXPECT_EQ(Column(area, 0), (Verts{0, 55, 1, 155, 1, 235, 0, 235}));
    EXPECT_EQ(Column(area, 2), (Verts{2, 105, 3, 105, 3, 215, 2, 215}));
    // When the shorter line grows, the new columns take the other line's side as well.
    SetSamples(top, {200, 100, 150, 250, 0}); // rows ..., 5, 255
    ASSERT_EQ(area.ColumnCount(), 5);
    EXPECT_EQ(Column(area, 3), (Verts{3, 5, 4, 255, 4, 205, 3, 205}));
    EXPECT_EQ(Column(area, 4), (Verts{4, 255, 5, 255, 5, 205, 4, 205}));
    // A line that is no border of the area changes nothing; fewer than 2 columns empty it.
    area.Update(&line), area.Update(nullptr);
    EXPECT_EQ(area.ColumnCount(), 5);
    SetSamples(top, {9});
    EXPECT_TRUE(area.ColumnCount() == 0 && area.Vertices().empty());
}

TEST(StepArea, ABorderIsTakenOnceAndWhicheverGoesFirstUnlinksBoth)
{
    GL::GLStepLine a, b, c;
    for (GL::GLStepLine* l : {&a, &b, &c})
        Prepare(*l, GL::eStepRight, 40, 256, {1, 2, 3});
    GL::GLStepArea first, second;
    first.Connect(&a, &b);
    // a is taken as a first border, b as a second; null lines are refused as well.
    second.Connect(&a, &c); second.Connect(5, &b); second.Connect(&a, 5);
    second.Connect(nullptr, &c); second.Connect(7, nullptr);
    EXPECT_TRUE(!second.FirstBorder() && !second.SecondBorder() && second.ColumnCount() == 0 && !c.SecondArea());
    EXPECT_EQ(a.FirstArea(), &first);
    first.Connect(&a, &b); // reconnecting an area to its own borders works: it lets go of them first
    EXPECT_EQ(first.ColumnCount(), 3);
    // Destroying either border empties the area and unlinks the surviving border too.
    for (bool doomedFirst : {true, false}) {
        auto doomed = std::make_unique<GL::GLStepLine>();
        Prepare(*doomed, GL::eStepRight, 40, 256, {1, 2, 3});
        doomedFirst ? second.Connect(doomed.get(), &c) : second.Connect(&c, doomed.get());
        ASSERT_EQ(second.ColumnCount(), 3);
        doomed.reset();
        EXPECT_TRUE(second.ColumnCount() == 0 && second.Vertices().empty() && !second.FirstBorder() &&
                    !second.SecondBorder() && !c.FirstArea() && !c.SecondArea()) << doomedFirst;
    }
    { // Destroying an area unlinks its borders, which can then be taken again.
        GL::GLStepArea temporary;
        temporary.Connect(&c, 0);
        EXPECT_EQ(c.FirstArea(), &temporary);
    }
    first.Disconnect();
    EXPECT_TRUE(!c.FirstArea() && !a.FirstArea() && !b.SecondArea() && first.Vertices().empty());
}

TEST(StepDraw, EachPeakLandsWhereTheScreenAxisMapsItsValue)
{
    // Traces of `samples` samples on a trace axis of `pixels` pixels, peaks of `width` samples at the top row,
    // both axes up to `max`, drawn through a 200-pixel screen axis with a skip or a zoom. The zoomed spectrum
    // is dense on screen; the far traces go beyond the 16-bit vertex x, with and without axes (then spread
    // over the rectangle).
    using Screen = void (*)(axisDefinition&);
    struct Case { const char* name; int samples, pixels, width; double max; Screen screen; std::vector<int> peaks; };
    const Case cases[] = {
        {"a skip", 100, 100, 1, 99.0, [](axisDefinition& a) { a.AddSkip(40.0, 60.0, true); }, {30, 75}},
        {"zoomed", 100, 100, 1, 99.0, [](axisDefinition& a) { a.zoom(20.0, 80.0); }, {30, 70}},
        {"zoomed with a skip", 100, 100, 1, 99.0, [](axisDefinition& a) { a.AddSkip(40, 60, true), a.zoom(20, 90); },
         {30, 75}},
        {"zoomed spectrum", 4096, 4096, 3, 1000.0, [](axisDefinition& a) { a.zoom(120.0, 250.0); }, {532, 800}},
        {"zoomed far trace", 65536, 8192, 160, 65535, [](axisDefinition& a) { a.zoom(30000, 50000); }, {36000, 45000}},
        {"far trace without axes", 65536, 0, 400, 0, nullptr, {36000, 45000}},
    };
    for (const Case& c : cases) {
        axisDefinition source, screen;
        source.init(0.0, c.max, short(c.pixels)), screen.init(0.0, c.max, 200);
        Samples samples(size_t(c.samples), 0);
        for (int peak : c.peaks)
            std::fill_n(samples.begin() + peak, c.width, 255);
        GL::GLStepLine line;
        Prepare(line, GL::eStepRight, 200, 64, samples);
        if (c.screen) {
            c.screen(screen), line.SetXAxis(source.GetAxisDefinitionSet());
            line.SetDestXAxis(screen.GetAxisDefinitionSet());
        }
        GL::GLStepArea area;
        FillBelow(area, line);
        // One run on the top row per peak, each starting at its peak's pixel (within one: the trace is placed
        // through sections rounded to whole pixels).
        for (bool asArea : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (asArea ? " area" : " line"));
            const auto draw = [&](GL& w) { asArea ? w.DrawStepArea(area) : w.DrawStepLine(line); };
            const Runs top = LitRuns(render(200, 64, draw), 0);
            ASSERT_EQ(top.size(), c.peaks.size());
            for (size_t k = 0; k < top.size(); ++k) {
                const qint64 peak = c.peaks[k];
                const double value =
                    c.screen ? source.PixelToValue(int(peak * c.pixels / c.samples), nullptr, false) : peak;
                const double pixel = c.screen ? screen.ValueToPixel(value, nullptr, false) : value * 200 / c.samples;
                EXPECT_NEAR(top[k].first, pixel, 1) << "peak at " << value;
            }
        }
    }
}

TEST(StepDraw, DrawSectionsBelowThreePixelsAreLeftOut)
{
    // Samples 0..99 against screens starting at 99, 98.5 and 98: the overlap is 2, 3 and 4 screen
    // pixels wide, at the screen's left end; a screen that misses the samples draws nothing.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 201, 64, Samples(100, 128));
    line.SetXAxis(Axis(0.0, 99.0, 100));
    for (const auto& [min, lit] :
         std::vector<std::pair<double, Runs>>{{99.0, {}}, {98.5, {{0, 2}}}, {98.0, {{0, 3}}}, {500.0, {}}}) {
        line.SetDestXAxis(Axis(min, min + 100.0, 201));
        EXPECT_EQ(LitRuns(render(201, 64, [&](TestSurface& w) { w.DrawStepLine(line); }), 31), lit) << min;
    }
}

TEST(StepDraw, DenseTracesLightThePixelsOfTheirStripOrQuadsAndHiddenOrEmptyOnesNone)
{
    // Random traces of 2 to 12 samples per pixel column with random pens, drawn by the surface and then,
    // in the next frame at the same place, by GL itself as one line strip (or quads) through the record's
    // vertices, set up as a line style or fill sets it up. Only GL's own primitives are an honest
    // reference: a sparser trace is another picture.
    const auto reference = [](TestSurface& w, const GL::GLStepLine& line, const GL::GLStepArea* area) {
        const QColor& colour = area ? area->FillStyle().FgColor() : line.LineStyle().FgColor();
        const int size = line.LineStyle().Size();
        const float a = float(colour.alpha());
        glColor4f(colour.red() * a / 65025.0f, colour.green() * a / 65025.0f, colour.blue() * a / 65025.0f, a / 255.0f);
        glEnable(GL_BLEND), glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA), glLineWidth(float(size)), glPushMatrix();
        if (!area && line.LineStyle().LineStyle() == GL::eLineDotted)
            glEnable(GL_LINE_STIPPLE), glLineStipple(size, 0x1111);
        if (area || size % 2) // fills shift by 0.49, odd-width lines onto pixel centres
            glTranslatef(area ? 0.49f : w.m_fLineOffsetX, area ? 0.49f : w.m_fLineOffsetY, 0);
        glTranslatef(float(line.X()), float(line.Y()), 0);
        glScalef(float(line.Width()) / float(line.SampleCount()), 1, 1);
        const Verts& v = area ? area->Vertices() : line.Vertices();
        glEnableClientState(GL_VERTEX_ARRAY), glVertexPointer(2, GL_SHORT, 0, v.data());
        glDrawArrays(area ? GL_QUADS : GL_LINE_STRIP, 0, GLsizei(v.size() / 2));
        glPopMatrix(), glDisableClientState(GL_VERTEX_ARRAY), glDisable(GL_LINE_STIPPLE), glDisable(GL_BLEND);
    };
    // What a step drawing must leave as it found it (the model-view matrix, blending, stipple, arrays),
    // and no GL error.
    const auto state = [] {
        std::vector<float> s(16);
        glGetFloatv(GL_MODELVIEW_MATRIX, s.data());
        for (GLenum cap : {GL_BLEND, GL_LINE_STIPPLE, GL_VERTEX_ARRAY})
            s.push_back(glIsEnabled(cap));
        return s.push_back(float(glGetError())), s;
    };
    TestSurface surface;
    surface.resize(100, 70);
    std::mt19937 rng(2024);
    const auto pick = [&rng](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
    for (int round = 0; round < 300; ++round) {
        const bool asArea = round % 3 == 2, dotted = pick(0, 2) == 0, levelFirst = pick(0, 1);
        const int width = pick(8, 90), height = pick(8, 60), count = pick(2 * width + 1, 12 * width);
        const int style = pick(0, 4), size = pick(1, 3), level = pick(0, 255), alpha = pick(0, 1) ? 255 : pick(30, 220);
        const QColor colour(pick(0, 255), pick(0, 255), pick(0, 255), alpha);
        Samples samples(static_cast<size_t>(count));
        int value = pick(0, 255);
        for (unsigned char& s : samples)
            s = static_cast<unsigned char>(value = std::clamp(value + pick(-60, 60), 0, 255));
        GL::GLStepLine line;
        Prepare(line, GL::eStepLineStyle(style), width, height, samples);
        line.SetDestRect(pick(0, 5), pick(0, 5), width, height);
        line.SetLineStyle(GL::GLLineStyle(dotted ? GL::eLineDotted : GL::eLineSolid, size, colour));
        GL::GLStepArea area;
        area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, colour, QColor()));
        levelFirst ? area.Connect(level, &line) : area.Connect(&line, level);
        std::ostringstream input;
        input << "round " << round << ": " << (asArea ? levelFirst ? "area from " : "area down to " : "line, width ")
              << (asArea ? level : size) << (dotted && !asArea ? " dotted" : "") << ", colour "
              << colour.name(QColor::HexArgb).toStdString() << ", style " << style << ", rect " << line.X() << ","
              << line.Y() << " " << width << "x" << height << ", samples:";
        for (unsigned char s : samples)
            input << ' ' << int(s);
        QImage drawn, expected;
        surface.paint = [&](TestSurface& w) {
            const std::vector<float> before = state();
            asArea ? w.DrawStepArea(area) : w.DrawStepLine(line);
            EXPECT_EQ(state(), before) << input.str();
        };
        ASSERT_TRUE(surface.RenderToImage(&drawn));
        surface.paint = [&](TestSurface& w) { reference(w, line, asArea ? &area : nullptr); };
        ASSERT_TRUE(surface.RenderToImage(&expected));
        int lit = 0;
        for (int y = 0; y < 70; ++y)
            lit += int(litColumns(drawn, y).size());
        ASSERT_GT(lit, width / 2) << input.str();
        EXPECT_TRUE(drawn == expected) << input.str();
    }
    // Drawing before a context exists, other fill styles, hidden lines and lines of no width or in no
    // rectangle draw nothing.
    GL::GLStepLine line;
    Prepare(line, GL::eStepRight, 48, 24, {80, 160});
    GL::GLStepArea area;
    FillBelow(area, line);
    TestSurface idle;
    idle.DrawStepLine(line), idle.DrawStepArea(area);
    area.SetFillStyle(GL::GLFillStyle(GL::eFillHGradient, Green, Red));
    surface.paint = [&](TestSurface& w) {
        w.DrawStepArea(area);
        for (auto [style, size, width] : {std::tuple(GL::eLineNone, 1, 48), {GL::eLineSolid, 0, 48},
                                          {GL::eLineSolid, 1, 0}}) {
            GL::GLStepLine l;
            Prepare(l, GL::eStepRight, width, 24, {80, 160}), l.SetLineStyle(GL::GLLineStyle(style, size, Red));
            w.DrawStepLine(l);
        }
    };
    QImage none;
    ASSERT_TRUE(surface.RenderToImage(&none));
    EXPECT_EQ(none, render(100, 70, [](TestSurface&) {}));
}
