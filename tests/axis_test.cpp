#include "axisdefinition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>

namespace {

const double cdNaN = std::numeric_limits<double>::quiet_NaN(), cdInf = std::numeric_limits<double>::infinity();
const bool T = true, F = false;
using Doubles = std::vector<double>;

// The pixel sections as "width@offset xfactor", one after the other.
std::string Layout(const axisDefinition& axis)
{
    std::ostringstream text;
    for (const pixSection& s : axis.GetPixSections())
        text << (text.tellp() > 0 ? " " : "") << s.GetWidth() << "@" << s.GetOffset() << "x" << s.GetFactor();
    return text.str();
}

// [min, max] on pixelCnt pixels with zoom ranges and skipped ranges (factor 0), laid out once at the end.
axisDefinition MakeAxis(double min, double max, short pixelCnt, const std::vector<section>& ranges = {},
                        bool suppress = false)
{
    axisDefinition axis;
    axis.init(min, max, pixelCnt);
    for (const section& r : ranges)
        r.factor == 0 ? axis.AddSkip(r.from, r.to, false) : axis.AddFactor(r.from, r.to, r.factor, false);
    axis.SetSkipSuppressRanges(suppress);
    return axis;
}

// Each change must make a copy of base compare unequal to it; an unchanged copy compares equal.
template <typename R>
void ExpectEveryChangeCounts(const R& base, const std::vector<std::function<void(R&)>>& changes)
{
    EXPECT_TRUE(R(base) == base);
    for (size_t i = 0; i < changes.size(); ++i) {
        R changed(base);
        changes[i](changed);
        EXPECT_FALSE(changed == base) << "change " << i;
    }
}

// Equal up to rounding; NaN matches NaN.
bool Same(double a, double b) { return a == b || std::abs(a - b) <= 1e-12 * std::abs(b) || (a != a && b != b); }

struct PixelCase { double value; int pixel; bool shown; bool reverse = false; };
struct ValueCase { int pixel; double value; bool valid; bool reverse = false; };
using Pixels = std::vector<PixelCase>;
using Values = std::vector<ValueCase>;

void ExpectMapping(const axisDefinition& axis, const Pixels& pixels, const Values& values)
{
    for (const PixelCase& c : pixels) {
        bool shown = !c.shown; // must be overwritten
        const int pixel = axis.ValueToPixel(c.value, &shown, c.reverse);
        EXPECT_TRUE(pixel == c.pixel && shown == c.shown)
            << "value " << c.value << (c.reverse ? " mirrored" : "") << ": pixel " << pixel << " shown " << shown;
    }
    for (const ValueCase& c : values) {
        bool valid = !c.valid;
        const double value = axis.PixelToValue(c.pixel, &valid, c.reverse);
        EXPECT_TRUE(Same(value, c.value) && valid == c.valid)
            << "pixel " << c.pixel << (c.reverse ? " mirrored" : "") << ": value " << value << " valid " << valid;
    }
}

// An axis, its pixel sections and the values and pixels probed on it.
struct MappingCase { axisDefinition axis; std::string layout; Pixels pixels = {}; Values values = {}; };

struct FixedFormatter : IStringFormatter
{
    QString m_sText;
    const QString& FormatValue(double) override { return m_sText; }
    const QString& FormatStartValue(double) override { return m_sText; }
};

// A tick request and {count, first tick, step, minor intervals, mode, decimals}. Every request hands back offset 0
// and its range, a fixed step's from its first tick; no ticks ({}) leaves every output alone.
struct TickCase { bool azimuth; double min, max; Doubles expected; double scale = 1; int fixedStep = -1; };

void ExpectTicks(const TickCase& c)
{
    double min = c.min, max = c.max, start = -7, step = -7, offset = -7;
    int sub = -7, mode = -7, decimals = -7;
    const auto get = c.azimuth ? &axisDefinition::GetAxisValuesAzimuth : &axisDefinition::GetAxisValuesLinear;
    const int count = get(&min, &max, &sub, &mode, &decimals, &start, &step, &offset, 0, c.scale, c.fixedStep);
    const Doubles got{double(count), start, step, double(sub), double(mode), double(decimals), offset, min, max};
    Doubles want = c.expected.empty() ? Doubles{0, -7, -7, -7, -7, -7, -7, c.min, c.max} : c.expected;
    if (!c.expected.empty())
        want.insert(want.end(), {0.0, c.expected[4] == 2 ? c.expected[1] : c.min, c.max});
    EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin(), want.end(), Same))
        << (c.azimuth ? "azimuth [" : "linear [") << c.min << ", " << c.max << "] scale " << c.scale << " fixed "
        << c.fixedStep << ": " << testing::PrintToString(got) << " expected " << testing::PrintToString(want);
}

} // namespace

TEST(AxisRecords, EqualityComparesEveryFieldAndNeverHoldsForNaN)
{
    using S = section&; using P = pixSection&; using D = AxisData&;
    const section s(2.0, 6.0, 1.5);
    EXPECT_EQ((Doubles{s.getSpan(), s.getVirtualSpan()}), (Doubles{4.0, 6.0}));
    EXPECT_TRUE(section() == section(0, 0, 0) && section(0, cdNaN, 1) != section(0, cdNaN, 1));
    ExpectEveryChangeCounts<section>(s, {[](S c) { c.from = 2.5; }, [](S c) { c.to = 7; }, [](S c) { c.factor = 1; }});
    EXPECT_TRUE(pixSection(1, 5, 1) < pixSection(2, 3, 1) && !(pixSection(1, 9, 2) < pixSection(1, 5, 1)));
    ExpectEveryChangeCounts<pixSection>(pixSection(1, 5, 1), {[](P c) { c.SetFrom(0.5); }, [](P c) { c.SetTo(6.0); },
        [](P c) { c.SetFactor(2.0); }, [](P c) { c.SetWidth(4); }, [](P c) { c.SetOffset(1); },
        [](P c) { c.SetPixelsForXUnit(0.5); }, [](P c) { c.SetXUnitsForPixel(0.5); }, [](P c) { c.SetFactor(cdNaN); }});
    const AxisData a = MakeAxis(0, 10, 300, {section(5, 10, 0)}, true).GetAxisDefinitionSet(); // two sections
    ExpectEveryChangeCounts<AxisData>(a, {[](D d) { d.m_sPixelCnt = 301; }, [](D d) { d.m_Sections.pop_back(); },
        [](D d) { d.m_bSkipSuppressRanges = false; }, [](D d) { d.m_Sections[1].factor = 2; },
        [](D d) { d.m_Sections[0].to = cdNaN; }});
    // A moved-from set keeps its flag and pixel count but loses its sections.
    AxisData copy = a, moved(std::move(copy)), target;
    target = std::move(moved);
    for (const AxisData* from : {&copy, &moved})
        EXPECT_TRUE(from->m_Sections.empty() && from->m_bSkipSuppressRanges && from->m_sPixelCnt == 300);
    EXPECT_TRUE(target == a && a != moved);
}

TEST(AxisMapping, SectionsShareThePixelsLeftByFixedWidthsAndValuesAndRangesMapByTheirRatio)
{
    const axisDefinition zoomed = MakeAxis(0, 100, 500, {section(50, 100, 3)}); // [50, 100] stretched threefold
    axisDefinition skipped = MakeAxis(0, 100, 100, {section(20, 30, 0)});       // [20, 30] left out
    const std::vector<MappingCase> cases = {
        // A new axis shows [0, 1] on 10 pixels. 1.0 ends on pixel 10, the first after the axis, and is shown on the
        // last; mirrored it is -1.
        {axisDefinition(), "10@0x1",
         {{0, 0, T}, {0.5, 5, T}, {1, 9, T}, {1.5, -1, F}, {-0.5, -1, F}, {0, 9, T, T}, {1, 0, F, T}},
         {{3, 3.0 / 9, T}, {10, 1, T}, {10, -1, F, T}, {11, -1, F}, {-1, -1, F}}},
        // Virtual widths 50 + 150 share 500 - 3 pixels behind a separator, in truncated shares. 10 is pixel 24.6;
        // 60 is 127 + 74.2; the separator never holds a value: the later section wins; the last pixel has none.
        {zoomed, "124@0x1 3@124x0 372@127x3", {{10, 25, T}, {50, 127, T}, {60, 201, T}, {100, 499, T}},
         {{62, 62 * 50 / 123.0, T}, {437, 62 * 50 / 123.0, T, T}, {124, 50, T}, {126, 50, T}, {127, 50, T},
          {200, 73 * 50 / 371.0 + 50, T}, {499, 100, T}, {500, -1, F}}},
        {MakeAxis(0, 30, 103, {section(0, 10, 2)}), "50@0x2 3@50x0 50@53x1"},
        {MakeAxis(0, 30, 2, {section(0, 10, 2)}), "0@0x2 0@0x0 0@0x1"}, // the separator alone exceeds 2 pixels
        // Factors multiply inside overlapping zooms and vanish inside skips (linear here): 10 + 30 * 2 + 20 * 6 +
        // 10 * 3 + 10 + 10 * 3 + 10 units share 500 - 5 * 3 pixels.
        {MakeAxis(0, 100, 500, {section(10, 60, 2), section(40, 90, 3), section(70, 80, 0)}),
         "18@0x1 3@18x0 108@21x2 3@129x0 216@132x6 3@348x0 54@351x3 18@405x0 54@423x3 3@477x0 18@480x1"},
        {MakeAxis(0, 100, 500, {section(-50, 150, 2)}), "500@0x2"}, // taken in unclipped
        // A skipped range is linear, or with suppression a gap of three pixels; its values are not shown.
        {skipped, "20@0x1 10@20x0 70@30x1", {{20, 20, T}, {25, 25, F}, {30, 30, T}}},
        {MakeAxis(0, 100, 100, {section(20, 30, 0)}, true), "21@0x1 3@21x0 75@24x1",
         {{20, 21, T}, {25, 22, F}, {30, 24, T}}, {{22, 20, T}, {24, 30, T}}},
        {MakeAxis(0, 100, 100, {section(90, 150, 0)}), "90@0x1 10@90x0"},
        {MakeAxis(0, 100, 100, {section(0, 100, 0)}, true), "0@0x0", {{50, 0, F}}},
        {MakeAxis(0, 100, 100, {section(20, 40, cdNaN)}), "20@0x1 20@20xnan 60@40x1", {{30, 30, F}}}, // as a skip
        // A span that overflows to infinity, or infinite ends, get no pixels; values land on the first.
        {MakeAxis(-1e308, 1e308, 100), "0@0x1", {{0, 0, T}}}, {MakeAxis(-cdInf, cdInf, 100), "0@0x1", {{0, 0, T}}}};
    for (const MappingCase& c : cases) {
        SCOPED_TRACE(c.layout);
        EXPECT_EQ(Layout(c.axis), c.layout);
        ExpectMapping(c.axis, c.pixels, c.values);
    }
    const pixSection& first = cases[2].axis.GetPixSection(0); // on 103 pixels: ratios over the width less one
    EXPECT_EQ((Doubles{first.GetPixelsForXUnit(), first.GetXUnitsForPixel() * 4.9, double(first.ValueToPixel(10))}),
              (Doubles{4.9, 1.0, 49}));
    axisDefinition fresh;
    fresh.testStream(); // the diagnostic hook leaves the axis as it was
    EXPECT_TRUE(fresh.valid() && fresh.getXType() && fresh.visible() && !fresh.GetStringFormatter());
    EXPECT_FALSE(fresh.LinearizeAvailable() || fresh.UnDoAvailable() || fresh.ReDoAvailable());
    EXPECT_EQ((Doubles{fresh.GetPixelsForXUnit(0), fresh.GetXUnitsForPixel(0) * 9}), (Doubles{9, 1}));
    EXPECT_EQ(std::make_pair(fresh.ValueToPixel(0.5, nullptr, false), fresh.PixelToValue(10, nullptr, false)),
              std::make_pair(5, 1.0)) << "null flags are tolerated";
    EXPECT_EQ(zoomed.GetBasePoints(), (Doubles{0.0, 50.0, 100.0}));
    EXPECT_EQ((Doubles{zoomed.GetMin(1), zoomed.GetMax(1), double(zoomed.GetStartPix(2))}), (Doubles{50, 50, 127}));
    EXPECT_EQ((Doubles{zoomed.GetMin(7), zoomed.GetMax(-2), double(zoomed.GetStopPix(3))}), Doubles(3, 0.0))
        << "sections beyond the layout read as zero";
    // A boundary in front of a skipped range belongs to the section before it.
    for (const auto& c : std::vector<std::pair<double, int>>{
             {-1.0, -1}, {101.0, -1}, {cdNaN, -1}, {0.0, 0}, {20.0, 0}, {25.0, 1}, {30.0, 2}, {100.0, 2}})
        EXPECT_EQ(skipped.InRange(c.first), c.second) << "value " << c.first;
    EXPECT_EQ(zoomed.InRange(50.0), 2);
    // Ranges map to the pixels of their ends, clamped to the axis; one that ends in a skipped range is refused.
    struct Range { const axisDefinition& axis; double from, to; bool reverse, ok; int pixFrom, pixTo; };
    for (const Range& c : std::vector<Range>{{zoomed, 50, 100, F, T, 127, 499}, {zoomed, 0, 50, T, T, 499, 375},
             {zoomed, -10, 10, F, T, 0, 25}, {zoomed, 10, 200, F, T, 25, 499}, {zoomed, 10, 200, T, T, 474, 0},
             {skipped, 20, 30, F, T, 20, 30}, {skipped, 22, 28, F, F, 22, 27}}) {
        int from = -5, to = -5;
        const bool ok = c.axis.RangeToPixel(c.from, c.to, from, to, c.reverse);
        EXPECT_TRUE(ok == c.ok && from == c.pixFrom && to == c.pixTo)
            << c.from << " to " << c.to << (c.reverse ? " mirrored" : "") << ": " << ok << " " << from << " " << to;
    }
    // A NaN bound or no pixels show nothing.
    fresh.SetMin(cdNaN);
    skipped.SetPixelCnt(0);
    for (const axisDefinition* axis : {&fresh, &skipped})
        ExpectMapping(*axis, {{0.5, -1, F}, {50, -1, F}}, {});
}

TEST(AxisMapping, SectionSettersValidateAndLayOutWhenTheySay)
{
    axisDefinition axis = MakeAxis(0, 100, 100);
    for (const auto& bad : std::vector<std::pair<double, double>>{{50, 50}, {200, 300}, {-300, -200}, {100, 120}}) {
        axis.AddFactor(bad.first, bad.second, 2.0, true);
        axis.AddSkip(bad.first, bad.second, true);
    }
    EXPECT_TRUE(axis.GetZoomSection().empty() && axis.GetSkipSection().empty()) << "empty or outside ranges";
    axis.SetSkipSection({pixSection(40.0, 60.0, 0.0)});
    axis.SetZoomSection({pixSection(20.0, 30.0, 2.0)});
    EXPECT_EQ(Layout(axis), "17@0x1 3@17x0 17@20x2 3@37x0 8@40x1 17@48x0 34@65x1"); // 110 units share 94 pixels
    axis.ClearZoomSection();
    EXPECT_EQ(Layout(axis), "40@0x1 20@40x0 40@60x1");
    axis.Linearize();
    EXPECT_FALSE(!axis.GetSkipSection().empty() || axis.LinearizeAvailable());
    // A deferred zoom section and a center value leave the old layout until a later setter.
    axis.AddFactor(20.0, 40.0, 2.0, false);
    axis.SetCenterValue(0.5, true);
    EXPECT_TRUE(axis.GetSectionCnt() == 1 && axis.GetCenterValue() == 0.5 && axis.GetApplyCenterValue());
    axis.SetPixelCnt(20);
    EXPECT_EQ(Layout(axis), "2@0x1 3@2x0 4@5x2 3@9x0 7@12x1"); // 20 + 40 * 2 + 60 units share 14 pixels
    axis.SetPixelCnt(70000); // the low 16 bits, which an equal count then leaves alone
    axis.SetPixelCnt(4464);
    EXPECT_EQ(axis.GetPixelCnt(), 4464);
}

TEST(AxisHistory, InitClearsTheHistoryAndUndoRedoWalkTheTwoStacks)
{
    axisDefinition axis;
    axis.zoom(0.0, 0.5);
    EXPECT_TRUE(axis.init(0.0, 0.5, -1) == 0 && axis.UnDoAvailable()); // unchanged: keeps the history
    EXPECT_TRUE(axis.init(0.0, 0.5, 20) == 1 && !axis.UnDoAvailable() && axis.GetPixelCnt() == 20);
    axis.AddFactor(0.1, 0.5, 2.0, true); // with zoom sections the same values still re-initialise
    axis.zoom(0.0, 0.4);
    axis.UnDo();
    EXPECT_TRUE(axis.ReDoAvailable() && axis.init(0.0, 0.5, -1) == 3 && !axis.UnDoAvailable() && !axis.ReDoAvailable());
    // Valid ranges ascend and overlap [0, 0.5].
    EXPECT_TRUE(axis.RangeValid(0.25, 3.0) && !axis.RangeValid(3.0, 1.0) && !axis.RangeValid(0.5, 3.0) &&
                !axis.RangeValid(-1.0, 0.0));
    axis.Linearize();
    // op: i(nit), z(oom), m(ove), u(ndo), r(edo), s(et bounds without history); the range and the two flags after
    // it; the arguments of i, z, s (default: that range) and m.
    struct Step { char op; double min, max; bool undo, redo; double a = cdNaN, b = cdNaN; };
    const std::vector<Step> steps = {
        // Undo and redo beyond either end change nothing; a new zoom keeps the redo steps.
        {'i', 0, 100, F, F}, {'z', 10, 90, T, F}, {'z', 20, 80, T, F}, {'u', 10, 90, T, T}, {'u', 0, 100, F, T},
        {'u', 0, 100, F, T}, {'r', 10, 90, T, T}, {'z', 30, 40, T, T}, {'r', 20, 80, T, F}, {'r', 20, 80, T, F},
        // Ranges within 2^-52 of the current one record nothing.
        {'i', 0, 100, F, F}, {'z', 0, 100, F, F, 1e-17, 100}, {'m', 0, 100, F, F, 0}, {'z', 1e-15, 100, T, F},
        {'u', 0, 100, F, T}, {'m', 5, 105, T, T, 5},
        // An undo step equal to the current range is dropped without a redo step.
        {'i', 0, 200, F, F}, {'z', 10, 90, T, F}, {'s', 0, 200, T, F}, {'u', 0, 200, F, F}};
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        const double a = std::isnan(s.a) ? s.min : s.a, b = std::isnan(s.b) ? s.max : s.b;
        switch (s.op) {
        case 'i': axis.init(a, b, 100); break;
        case 'z': axis.zoom(a, b); break;
        case 'm': axis.move(a); break;
        case 'u': axis.UnDo(); break;
        case 'r': axis.ReDo(); break;
        default: axis.SetMin(a); axis.SetMax(b);
        }
        EXPECT_EQ((Doubles{axis.GetMin(), axis.GetMax(), axis.GetMin(0), axis.GetMax(0), // laid out at once
                           double(axis.UnDoAvailable()), double(axis.ReDoAvailable())}),
                  (Doubles{s.min, s.max, s.min, s.max, double(s.undo), double(s.redo)})) << "step " << i;
    }
}

TEST(AxisCopy, SetsAndCopiesCarryTheLayoutAndEverySettingButNotTheHistory)
{
    const axisDefinition laid = MakeAxis(0, 100, 500, {section(50, 100, 3), section(10, 20, 0)});
    const AxisData set = laid.GetAxisDefinitionSet();
    EXPECT_EQ(set.m_Sections, (std::vector<section>{section(0, 10, 1), section(10, 20, 0), section(20, 50, 1),
                                                    section(50, 50, 0), section(50, 100, 3)}));
    axisDefinition rebuilt;
    EXPECT_TRUE(rebuilt.ApplyAxisDefinitionSet(set) && rebuilt.GetPixSections() == laid.GetPixSections() &&
                rebuilt.GetAxisDefinitionSet() == set && rebuilt.GetPixelCnt() == 500 &&
                rebuilt.GetZoomSection().size() == 3 && rebuilt.GetSkipSection().size() == 1);
    // Applying the current set changes nothing; a new one keeps the history.
    rebuilt.zoom(0.0, 50.0);
    EXPECT_FALSE(rebuilt.ApplyAxisDefinitionSet(rebuilt.GetAxisDefinitionSet()));
    AxisData changed = set;
    changed.m_bSkipSuppressRanges = true;
    EXPECT_TRUE(rebuilt.ApplyAxisDefinitionSet(changed) && rebuilt.UnDoAvailable() &&
                rebuilt.GetSkipSuppressRanges() && rebuilt.GetPixSection(1).GetWidth() == 3);
    // Negative factors (separators) are dropped; the frame still moves.
    changed.m_Sections = {section(0, 10, 1), section(10, 20, -1), section(20, 30, 1)};
    EXPECT_TRUE(rebuilt.ApplyAxisDefinitionSet(changed));
    EXPECT_EQ((Doubles{rebuilt.GetMin(), rebuilt.GetMax(), rebuilt.GetFactor(15.0), double(rebuilt.GetSectionCnt()),
                       double(rebuilt.GetZoomSection().size()), double(rebuilt.GetSkipSection().size())}),
              (Doubles{0.0, 30.0, 1.0, 1, 2, 0}));
    // Each change makes an axis unequal; a copy of an axis with all of them must compare equal.
    using A = axisDefinition&;
    const std::vector<std::function<void(A)>> changes = {
        [](A a) { a.SetGridVisible(false); }, [](A a) { a.SetLegendVisible(false); },
        [](A a) { a.setVisible(false); }, [](A a) { a.SetDrawButtons(true); }, [](A a) { a.setXType(false); },
        [](A a) { a.setVisualizeAction(1, 0, AxisMouseNone); }, [](A a) { a.setVisualizeAction(0, 1, AxisMouseNone); },
        [](A a) { a.setVisualizeAction(0, 0, AxisMouseMove); }, [](A a) { a.SetCenterValue(1.0, false); },
        [](A a) { a.SetCenterValue(0.0, true); }, [](A a) { a.SetSkipSuppressRanges(true); },
        [](A a) { a.SetPixelCnt(499); }, [](A a) { a.SetMin(1.0); }, [](A a) { a.SetMax(99.0); },
        [](A a) { a.AddFactor(10.0, 20.0, 2.0, true); }, [](A a) { a.AddSkip(10.0, 20.0, true); },
        [](A a) { auto zooms = a.GetZoomSection(); zooms[0].SetWidth(5); a.SetZoomSection(zooms); },
        [](A a) { a.setVisualizeAction(3, 7, AxisMouseZoom); }, [](A a) { a.SetCenterValue(5.0, true); }};
    const axisDefinition base = MakeAxis(0, 100, 500, {section(50, 100, 3)});
    ExpectEveryChangeCounts(base, changes);
    axisDefinition source = base;
    for (const auto& change : changes)
        change(source);
    const std::shared_ptr<IStringFormatter> formatter = std::make_shared<FixedFormatter>();
    source.SetStringFormatter(formatter);
    source.zoom(0.0, 90.0);
    const axisDefinition copy(source);
    EXPECT_TRUE(copy == source && !(copy != source) && copy.GetPixSections() == source.GetPixSections());
    EXPECT_FALSE(copy.UnDoAvailable() || copy.visible() || copy.getXType() || copy.GetStringFormatter() != formatter);
    axisDefinition target;
    target.zoom(0.2, 0.8);
    target = source;
    EXPECT_TRUE(target == source && target.GetPixSections() == source.GetPixSections());
    target.UnDo(); // its own history
    EXPECT_EQ((Doubles{target.GetMin(), target.GetMax()}), (Doubles{0.0, 1.0}));
    axisDefinition same(base); // neither the formatter nor the history is compared
    same.SetStringFormatter(formatter);
    same.zoom(0.0, 50.0);
    same.UnDo();
    EXPECT_TRUE(same.ReDoAvailable() && same == base && base != source);
}

TEST(AxisTicks, NiceStepsComeClosestToFiveTicksAndBadRangesGetNone)
{
    const bool A = true, L = false; // azimuth, linear
    for (const TickCase& c : std::vector<TickCase>{
             {L, 0, 1, {5, 0, 0.25, 5, 1, 2}}, {L, 0, 100, {5, 0, 25, 5, 1, 0}},
             // Counts 17, 9, 4, 2 for steps 2.5, 5, 10, 20: neither 5 nor 6 occurs.
             {L, 3, 47, {4, 10, 10, 10, 1, 0}}, {L, -12, -2, {6, -12, 2, 2, 1, 0}},
             {L, -13, -2, {5, -12.5, 2.5, 5, 1, 1}},
             // Base 0.01: counts 81, 41, 33, 17, 9, then 5 for step 0.2.
             {L, 0, 0.8, {5, 0, 0.2, 2, 1, 1}}, {L, 0, 1.1e300, {5, 0, 2.5e299, 5, 1, 0}},
             // Decimals show the step's last significant digit: "2.5", "0.0001"; "1e-05" has no point,
             // and "2.5e-05" ends in the exponent's 5.
             {L, 0, 10, {5, 0, 2.5, 5, 1, 1}}, {L, 0, 5.5e-4, {6, 0, 1e-4, 10, 1, 4}},
             {L, 0, 5.5e-5, {6, 0, 1e-5, 10, 1, 0}}, {L, 0, 1.1e-4, {5, 0, 2.5e-5, 5, 1, 5}},
             {L, 0, 0.001, {5, 0, 0.00025, 5, 1, 2}, 1000}, // worked out on the scaled step 0.25
             // A fixed step starts at the first multiple above the minimum (0 is its own); below 1 it is automatic.
             {L, -12, 20, {7, -10, 5, 0, 2, 0}, 1, 5}, {L, -10, 20, {6, -5, 5, 0, 2, 0}, 1, 5},
             {L, 0, 20, {5, 0, 5, 0, 2, 0}, 1, 5}, {L, 12, 40, {6, 15, 5, 0, 2, 0}, 1, 5},
             {L, 10, 40, {6, 15, 5, 0, 2, 0}, 1, 5}, {L, 0, 0.02, {5, 0, 0.005, 0, 2, 0}, 1000, 5},
             {L, 0, 1, {5, 0, 0.25, 5, 1, 2}, 1, 0},
             // Angles take degree steps and ignore the fixed step; 10 to 100 counts 91, 30, 19, 10, 6 (15 from 15).
             {A, 0, 360, {5, 0, 90, 5, 1, 0}}, {A, 10, 100, {6, 15, 15, 5, 1, 0}, 1, 5},
             {A, 1, 1 + 1e-15, {1, 1, 1, 10, 1, 0}}, // degree steps do not shrink: a sliver holds its whole degree
             // No ticks: linear steps shrink with the range, too far from 0 to count, or zero; far too many steps for
             // an int count; empty fixed-step ranges, as in the automatic mode.
             {L, 1, 1 + 1e-15, {}}, {L, 0, 5e-324, {}}, {A, 0, 1e12, {}}, {L, -1e300, 1e300, {}, 1, 1},
             {L, 0, -10, {}, 1, 5}, {L, 5, 5, {}, 1, 5}, {L, -3, -40, {}, 1, 7}, {L, cdNaN, 1, {}, 1, 5}})
        ExpectTicks(c);
    // Empty, reversed, unbounded or unscaled ranges give no ticks in either mode; a null output is refused.
    for (bool azimuth : {L, A})
        for (const Doubles& c : {Doubles{5, 5, 1}, {6, 5, 1}, {cdNaN, 1, 1}, {0, cdNaN, 1}, {0, cdInf, 1},
                                 {-cdInf, 0, 1}, {-1e308, 1e308, 1}, {0, 1, 0}, {0, 1, cdNaN}, {0, 1, cdInf}})
            ExpectTicks({azimuth, c[0], c[1], {}, c[2]});
    double min = 0.0, max = 1.0, o = 0.0;
    int i = 0;
    EXPECT_EQ(axisDefinition::GetAxisValuesLinear(&min, &max, nullptr, &i, &i, &o, &o, &o, 0, 1, -1) +
                  axisDefinition::GetAxisValuesAzimuth(&min, nullptr, &i, &i, &i, &o, &o, &o, 0, 1, -1), 0);
}
