#include "axisdefinition.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const double cdNaN = std::numeric_limits<double>::quiet_NaN();
const double cdInf = std::numeric_limits<double>::infinity();

using Doubles = std::vector<double>;

// The pixel sections as "width@offset xfactor", one after the other.
std::string Layout(const axisDefinition& axis)
{
    std::ostringstream text;
    for (const pixSection& s : axis.GetPixSections())
        text << (text.tellp() > 0 ? " " : "") << s.GetWidth() << "@" << s.GetOffset() << "x" << s.GetFactor();
    return text.str();
}

// [min, max] on pixelCnt pixels with zoom ranges and skipped ranges (factor 0).
axisDefinition MakeAxis(double min, double max, short pixelCnt, const std::vector<section>& ranges = {},
                        bool suppress = false)
{
    axisDefinition axis;
    axis.init(min, max, pixelCnt);
    for (const section& r : ranges) {
        if (r.factor == 0)
            axis.AddSkip(r.from, r.to, false);
        else
            axis.AddFactor(r.from, r.to, r.factor, false);
    }
    axis.SetSkipSuppressRanges(suppress);
    return axis;
}

// [0, 100] on 500 pixels with [50, 100] stretched threefold.
axisDefinition ZoomedAxis() { return MakeAxis(0.0, 100.0, 500, {section(50.0, 100.0, 3.0)}); }
// [0, 100] on 100 pixels with [20, 30] left out.
axisDefinition SkippedAxis(bool suppress) { return MakeAxis(0.0, 100.0, 100, {section(20.0, 30.0, 0.0)}, suppress); }

struct PixelCase { double value; int pixel; bool shown; bool reverse = false; };
struct ValueCase { int pixel; double value; bool valid; bool reverse = false; };

void ExpectPixels(const axisDefinition& axis, const std::vector<PixelCase>& cases)
{
    for (const PixelCase& c : cases) {
        bool shown = !c.shown;  // must be overwritten
        const int pixel = axis.ValueToPixel(c.value, &shown, c.reverse);
        EXPECT_TRUE(pixel == c.pixel && shown == c.shown)
            << "value " << c.value << (c.reverse ? " mirrored" : "") << ": pixel " << pixel << " shown " << shown;
    }
}

void ExpectValues(const axisDefinition& axis, const std::vector<ValueCase>& cases)
{
    for (const ValueCase& c : cases) {
        bool valid = !c.valid;
        const double value = axis.PixelToValue(c.pixel, &valid, c.reverse);
        EXPECT_DOUBLE_EQ(value, c.value) << "pixel " << c.pixel << (c.reverse ? " mirrored" : "");
        EXPECT_EQ(valid, c.valid) << "pixel " << c.pixel << (c.reverse ? " mirrored" : "");
    }
}

// Counts the value lookups that reach the virtual slot.
class CountingAxis : public axisDefinition
{
public:
    int ValueToPixel(double value, bool* inRange, bool reverse) const override
    {
        ++m_iCalls;
        return axisDefinition::ValueToPixel(value, inRange, reverse);
    }
    mutable int m_iCalls = 0;
};

class FixedFormatter : public IStringFormatter
{
public:
    const QString& FormatValue(double) override { return m_sText; }
    const QString& FormatStartValue(double) override { return m_sText; }
    QString m_sText = "x";
};

// A tick request and its outputs; a count of 0 expects every output left at its sentinel.
struct TickCase
{
    bool azimuth;
    double min, max, scale;
    int fixedStep, count;
    double start = 0.0, step = 0.0;
    int subDivisions = 0, mode = 0, decimals = 0;
};

void ExpectTicks(const std::vector<TickCase>& cases)
{
    for (const TickCase& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.azimuth ? "azimuth [" : "linear [") << c.min << ", " << c.max
                                        << "] scale " << c.scale << " fixed " << c.fixedStep);
        double min = c.min, max = c.max, start = -7, step = -7, offset = -7;
        int sub = -7, mode = -7, decimals = -7;
        const auto get = c.azimuth ? &axisDefinition::GetAxisValuesAzimuth : &axisDefinition::GetAxisValuesLinear;
        EXPECT_EQ(get(&min, &max, &sub, &mode, &decimals, &start, &step, &offset, 0, c.scale, c.fixedStep), c.count);
        if (c.count == 0) {
            EXPECT_EQ((Doubles{start, step, offset, double(sub), double(mode), double(decimals)}), Doubles(6, -7));
            EXPECT_TRUE(min == c.min || (std::isnan(min) && std::isnan(c.min))) << min;
            EXPECT_TRUE(max == c.max || (std::isnan(max) && std::isnan(c.max))) << max;
            continue;
        }
        EXPECT_DOUBLE_EQ(start, c.start);
        EXPECT_DOUBLE_EQ(step, c.step);
        EXPECT_EQ((std::vector<int>{sub, mode, decimals}), (std::vector<int>{c.subDivisions, c.mode, c.decimals}));
        EXPECT_EQ(offset, 0.0);
        EXPECT_DOUBLE_EQ(min, c.mode == 2 ? c.start : c.min);  // a fixed step starts the range at its first tick
        EXPECT_DOUBLE_EQ(max, c.max);
    }
}

// A random axis for the property tests; the description is printed on failure.
axisDefinition RandomAxis(std::mt19937& rng, bool disjointZooms, std::string& description)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> count(0, 3);
    const double min = std::uniform_real_distribution<double>(-1000.0, 1000.0)(rng);
    const double max = min + std::uniform_real_distribution<double>(1.0, 1000.0)(rng);
    const short pixelCnt = static_cast<short>(std::uniform_int_distribution<int>(200, 2000)(rng));
    const bool suppress = unit(rng) < 0.5;
    const double span = max - min;
    std::vector<section> ranges;
    // Ranges may reach beyond the axis: they must be taken in unclipped.
    auto add = [&](double lo, double hi) {
        const double from = lo + unit(rng) * (hi - lo);
        const double to = lo + unit(rng) * (hi - lo);
        ranges.emplace_back(std::min(from, to), std::max(from, to), 0.0);
    };
    const int zoomCnt = count(rng);
    for (int i = 0; i < zoomCnt; ++i) {
        // Disjoint zooms each take a slot of their own.
        if (disjointZooms)
            add(min + span * i / zoomCnt, min + span * (i + 1) / zoomCnt);
        else
            add(min - span * 0.2, max + span * 0.2);
        ranges.back().factor = std::uniform_real_distribution<double>(0.2, 5.0)(rng);
    }
    for (int i = count(rng) % 3; i > 0; --i)
        add(min - span * 0.2, max + span * 0.2);
    std::ostringstream text;
    text.precision(17);
    text << "range [" << min << ", " << max << "] pixels " << pixelCnt << " suppress " << suppress;
    for (const section& r : ranges)
        text << " [" << r.from << ", " << r.to << "] x" << r.factor;
    description = text.str();
    return MakeAxis(min, max, pixelCnt, ranges, suppress);
}

} // namespace

// --- records --------------------------------------------------------------

TEST(AxisRecords, EqualityNeedsEveryFieldAndNeverHoldsForNaN)
{
    const section s(2.0, 6.0, 1.5);
    EXPECT_EQ((Doubles{s.getSpan(), s.getVirtualSpan()}), (Doubles{4.0, 6.0}));
    EXPECT_TRUE(section() == section(0.0, 0.0, 0.0));
    EXPECT_TRUE(s == section(2.0, 6.0, 1.5) && !(s != section(2.0, 6.0, 1.5)));
    for (const section& o : {section(2.5, 6.0, 1.5), section(2.0, 7.0, 1.5), section(2.0, 6.0, 1.0)})
        EXPECT_TRUE(!(s == o) && s != o) << o.from << " " << o.to << " " << o.factor;
    EXPECT_TRUE(section(0.0, cdNaN, 1.0) != section(0.0, cdNaN, 1.0));

    const pixSection p(1.0, 5.0, 1.0);
    EXPECT_TRUE(p < pixSection(2.0, 3.0, 1.0) && !(pixSection(2.0, 3.0, 1.0) < p));
    EXPECT_FALSE(p < pixSection(1.0, 9.0, 2.0));
    const std::vector<std::function<void(pixSection&)>> pixChanges = {
        [](pixSection& c) { c.SetFrom(0.5); }, [](pixSection& c) { c.SetTo(6.0); },
        [](pixSection& c) { c.SetFactor(2.0); }, [](pixSection& c) { c.SetWidth(4); },
        [](pixSection& c) { c.SetOffset(1); }, [](pixSection& c) { c.SetPixelsForXUnit(0.5); },
        [](pixSection& c) { c.SetXUnitsForPixel(0.5); }, [](pixSection& c) { c.SetFactor(cdNaN); }};
    for (size_t i = 0; i < pixChanges.size(); ++i) {
        pixSection c = p;
        pixChanges[i](c);
        EXPECT_TRUE(pixSection(p) == p && !(c == p)) << "change " << i;
    }

    AxisData a;
    EXPECT_TRUE(a.m_Sections.empty() && !a.m_bSkipSuppressRanges && a.m_sPixelCnt == 0);
    a.m_Sections = {section(0, 5, 1), section(5, 10, 0)};
    a.m_bSkipSuppressRanges = true;
    a.m_sPixelCnt = 300;
    const std::vector<std::function<void(AxisData&)>> dataChanges = {
        [](AxisData& d) { d.m_sPixelCnt = 301; }, [](AxisData& d) { d.m_bSkipSuppressRanges = false; },
        [](AxisData& d) { d.m_Sections.pop_back(); }, [](AxisData& d) { d.m_Sections[1].factor = 2; },
        [](AxisData& d) { d.m_Sections[0].to = cdNaN; }};
    for (size_t i = 0; i < dataChanges.size(); ++i) {
        AxisData b;
        b = a;
        EXPECT_TRUE(a == b && !(a != b));
        dataChanges[i](b);
        EXPECT_TRUE(a != b && !(a == b)) << "change " << i;
    }
    AxisData nanData = a;
    nanData.m_Sections[0].to = cdNaN;
    EXPECT_FALSE(nanData == AxisData(nanData));

    // A moved-from set keeps its flag and pixel count but loses its sections.
    AxisData copy = a;
    AxisData moved(std::move(copy));
    AxisData target;
    target = std::move(moved);
    for (const AxisData* from : {&copy, &moved})
        EXPECT_TRUE(from->m_Sections.empty() && from->m_bSkipSuppressRanges && from->m_sPixelCnt == 300);
    EXPECT_TRUE(target == a);
}

TEST(AxisRecords, PixSectionConvertsInsideItsPixels)
{
    pixSection s(0.0, 10.0, 2.0);
    EXPECT_EQ((Doubles{s.GetWidth(), double(s.GetOffset()), s.GetPixelsForXUnit(), s.GetXUnitsForPixel()}),
              Doubles(4, 0.0));
    // The ratios of a 50 pixel wide section over 10 units.
    s.SetOffset(100);
    s.SetWidth(50);
    s.SetPixelsForXUnit(49.0 / 10.0);
    s.SetXUnitsForPixel(10.0 / 49.0);
    // No range check; far values clamp to +-2^30 and NaN is pixel 0.
    for (const auto& c : std::vector<std::pair<double, int>>{
             {10.0, 149}, {-10.0, 51}, {1e300, 1073741824}, {-1e300, -1073741824}, {cdNaN, 0}})
        EXPECT_EQ(s.ValueToPixel(c.first), c.second) << "value " << c.first;
    for (const auto& c : std::vector<std::pair<int, double>>{
             {99, 0.0}, {100, 0.0}, {124, 24.0 * 10.0 / 49.0}, {149, 10.0}, {150, 10.0}, {400, 10.0}})
        EXPECT_DOUBLE_EQ(s.PixelToValue(c.first), c.second) << "pixel " << c.first;
    for (int pixel : {99, 100, 150, 151})
        EXPECT_EQ(s.PixInRange(pixel), pixel == 100 || pixel == 150) << "pixel " << pixel;
    // Any section three pixels wide reads as its start value.
    s.SetWidth(3);
    EXPECT_EQ((Doubles{s.PixelToValue(101), s.PixelToValue(102)}), (Doubles{0.0, 0.0}));
}

// --- layout and mapping -----------------------------------------------------

TEST(AxisMapping, NewAxisShowsUnitRangeOnTenPixels)
{
    axisDefinition axis;
    axis.testStream();  // the diagnostic hook leaves the axis as it was
    EXPECT_EQ(Layout(axis), "10@0x1");
    EXPECT_EQ((Doubles{axis.GetMin(0), axis.GetMax(0), axis.GetPixelsForXUnit(0)}), (Doubles{0, 1, 9}));
    EXPECT_DOUBLE_EQ(axis.GetXUnitsForPixel(0), 1.0 / 9.0);
    EXPECT_EQ(std::make_pair(axis.GetPixelCnt(), axis.GetStopPix(0)), std::make_pair(10, 10));
    EXPECT_EQ(axis.GetBasePoints(), (Doubles{0.0, 1.0}));
    EXPECT_TRUE(axis.valid() && axis.getXType() && axis.visible());
    EXPECT_FALSE(axis.LinearizeAvailable() || axis.UnDoAvailable() || axis.ReDoAvailable());
    EXPECT_TRUE(axis.GetGridPos().empty());
    EXPECT_EQ(axis.GetStringFormatter(), nullptr);

    // 1.0 ends on pixel 10, the first after the axis, and is shown on the last; mirrored it is -1.
    ExpectPixels(axis, {{0.0, 0, true}, {0.5, 5, true}, {1.0, 9, true}, {1.5, -1, false}, {-0.5, -1, false},
                        {0.0, 9, true, true}, {1.0, 0, false, true}});
    ExpectValues(axis, {{3, 3.0 / 9.0, true}, {10, 1.0, true}, {10, -1.0, false, true}, {11, -1.0, false},
                        {-1, -1.0, false}});
    // Null flags are tolerated.
    EXPECT_EQ(axis.ValueToPixel(0.5, nullptr, false), 5);
    EXPECT_EQ(axis.PixelToValue(10, nullptr, false), 1.0);
}

TEST(AxisMapping, SectionsShareThePixelsLeftByFixedWidthsInTruncatedShares)
{
    const std::vector<std::pair<axisDefinition, std::string>> cases = {
        // Virtual widths 50 + 150 share 500 - 3 pixels behind a separator.
        {ZoomedAxis(), "124@0x1 3@124x0 372@127x3"},
        {MakeAxis(0.0, 30.0, 103, {section(0.0, 10.0, 2.0)}), "50@0x2 3@50x0 50@53x1"},
        // The separator alone exceeds two pixels: nothing is laid out.
        {MakeAxis(0.0, 30.0, 2, {section(0.0, 10.0, 2.0)}), "0@0x2 0@0x0 0@0x1"},
        // 20 + 20 * 4 + 60 units share 494 pixels.
        {MakeAxis(0.0, 100.0, 500, {section(20.0, 40.0, 4.0)}), "61@0x1 3@61x0 247@64x4 3@311x0 185@314x1"},
        // Zoom ranges are taken in unclipped.
        {MakeAxis(0.0, 100.0, 500, {section(-50.0, 150.0, 2.0)}), "500@0x2"},
        // A skipped range is linear, or with suppression a gap of three pixels.
        {SkippedAxis(false), "20@0x1 10@20x0 70@30x1"},
        {SkippedAxis(true), "21@0x1 3@21x0 75@24x1"},
        {MakeAxis(0.0, 100.0, 100, {section(90.0, 150.0, 0.0)}), "90@0x1 10@90x0"},
        {MakeAxis(0.0, 100.0, 100, {section(0.0, 100.0, 0.0)}, true), "0@0x0"},
        // A NaN factor is laid out like a skipped range.
        {MakeAxis(0.0, 100.0, 100, {section(20.0, 40.0, cdNaN)}), "20@0x1 20@20xnan 60@40x1"},
        // A span that overflows to infinity, or infinite ends, get no pixels.
        {MakeAxis(-1e308, 1e308, 100), "0@0x1"},
        {MakeAxis(-cdInf, cdInf, 100), "0@0x1"}};
    for (const auto& c : cases)
        EXPECT_EQ(Layout(c.first), c.second);

    const axisDefinition& axis = cases[1].first;
    EXPECT_DOUBLE_EQ(axis.GetPixelsForXUnit(0), 4.9);  // ratios over the width less one
    EXPECT_DOUBLE_EQ(axis.GetXUnitsForPixel(0), 10.0 / 49.0);
    EXPECT_EQ(axis.GetPixSection(0).ValueToPixel(10.0), 49);
}

TEST(AxisMapping, ZoomedValuesMapByTheirSectionsRatio)
{
    const axisDefinition axis = ZoomedAxis();
    EXPECT_EQ(axis.GetBasePoints(), (Doubles{0.0, 50.0, 100.0}));
    EXPECT_EQ((Doubles{axis.GetMin(1), axis.GetMax(1)}), (Doubles{50.0, 50.0}));
    EXPECT_DOUBLE_EQ(axis.GetPixelsForXUnit(0), 123.0 / 50.0);
    EXPECT_DOUBLE_EQ(axis.GetXUnitsForPixel(0), 50.0 / 123.0);
    EXPECT_DOUBLE_EQ(axis.GetPixelsForXUnit(2), 371.0 / 50.0);
    EXPECT_EQ(std::make_pair(axis.GetStartPix(2), axis.GetStopPix(2)), std::make_pair(127, 499));
    EXPECT_TRUE(axis.LinearizeAvailable());

    // 10 is pixel 24.6; the separator never holds a value; 60 is 127 + 74.2.
    ExpectPixels(axis, {{10.0, 25, true}, {50.0, 127, true}, {60.0, 201, true}, {100.0, 499, true}});
    // At the separator the later section wins; truncated shares leave the last pixel without one.
    ExpectValues(axis, {{62, 62.0 * 50.0 / 123.0, true}, {437, 62.0 * 50.0 / 123.0, true, true}, {124, 50.0, true},
                        {126, 50.0, true}, {127, 50.0, true}, {200, 73.0 * 50.0 / 371.0 + 50.0, true},
                        {499, 100.0, true}, {500, -1.0, false}});
}

TEST(AxisMapping, SkippedValuesGetAPixelButAreNotShown)
{
    axisDefinition axis = SkippedAxis(false);
    // A boundary in front of a skipped range belongs to the section before it.
    for (const auto& c : std::vector<std::pair<double, int>>{
             {-1.0, -1}, {101.0, -1}, {cdNaN, -1}, {0.0, 0}, {20.0, 0}, {25.0, 1}, {30.0, 2}, {100.0, 2}})
        EXPECT_EQ(axis.InRange(c.first), c.second) << "value " << c.first;
    EXPECT_EQ(ZoomedAxis().InRange(50.0), 2);
    ExpectPixels(axis, {{20.0, 20, true}, {25.0, 25, false}, {30.0, 30, true}});

    const axisDefinition gap = SkippedAxis(true);
    EXPECT_TRUE(gap.GetSkipSuppressRanges());
    ExpectPixels(gap, {{20.0, 21, true}, {25.0, 22, false}, {30.0, 24, true}});
    ExpectValues(gap, {{22, 20.0, true}, {24, 30.0, true}});
    ExpectPixels(MakeAxis(0.0, 100.0, 100, {section(0.0, 100.0, 0.0)}, true), {{50.0, 0, false}});
    ExpectPixels(MakeAxis(0.0, 100.0, 100, {section(20.0, 40.0, cdNaN)}), {{30.0, 30, false}});

    axis.SetPixelCnt(0);
    EXPECT_EQ(axis.InRange(50.0), -1);
    ExpectPixels(axis, {{50.0, -1, false}});
}

TEST(AxisMapping, RangeToPixelPlacesSectionsAndClampsEnds)
{
    struct Case { const axisDefinition& axis; double from, to; bool reverse, ok; int pixFrom, pixTo; };
    const axisDefinition zoomed = ZoomedAxis();
    const axisDefinition skipped = SkippedAxis(false);
    for (const Case& c : std::vector<Case>{
             {zoomed, 50.0, 100.0, false, true, 127, 499}, {zoomed, 0.0, 50.0, true, true, 499, 375},
             {zoomed, -10.0, 10.0, false, true, 0, 25},    {zoomed, 10.0, 200.0, false, true, 25, 499},
             {zoomed, 10.0, 200.0, true, true, 474, 0},    {skipped, 20.0, 30.0, false, true, 20, 30},
             {skipped, 22.0, 28.0, false, false, 22, 27}}) {
        int from = -5;
        int to = -5;
        EXPECT_EQ(c.axis.RangeToPixel(c.from, c.to, from, to, c.reverse), c.ok) << c.from << " " << c.to;
        EXPECT_EQ(std::make_pair(from, to), std::make_pair(c.pixFrom, c.pixTo)) << c.from << " " << c.to;
    }

    // Whole sections are read off the layout; other ranges go through the virtual mapping.
    CountingAxis counting;
    counting.init(0.0, 100.0, 500);
    counting.AddFactor(50.0, 100.0, 3.0, true);
    int from = 0;
    int to = 0;
    EXPECT_TRUE(counting.RangeToPixel(50.0, 100.0, from, to, false));
    EXPECT_EQ(counting.m_iCalls, 0);
    EXPECT_TRUE(counting.RangeToPixel(10.0, 60.0, from, to, false));
    EXPECT_EQ(counting.m_iCalls, 2);
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(25, 201));
}

TEST(AxisMapping, FactorsMultiplyInsideZoomsAndVanishInsideSkips)
{
    const axisDefinition axis = MakeAxis(
        0.0, 100.0, 500, {section(10.0, 60.0, 2.0), section(40.0, 90.0, 3.0), section(70.0, 80.0, 0.0)});
    for (const auto& c : std::vector<std::pair<double, double>>{
             {5.0, 1.0}, {10.0, 2.0}, {50.0, 6.0}, {60.0, 6.0}, {61.0, 3.0}, {70.0, 3.0}, {75.0, 0.0}, {95.0, 1.0}})
        EXPECT_EQ(axis.GetFactor(c.first), c.second) << "value " << c.first;
    EXPECT_EQ((Doubles{axis.GetFactor(40.0, 60.0), axis.GetFactor(70.0, 80.0)}), (Doubles{6.0, 0.0}));
}

TEST(AxisMapping, SectionSettersValidateAndLayOutWhenTheySay)
{
    axisDefinition axis = MakeAxis(0.0, 100.0, 100);
    for (const section& bad : {section(50.0, 50.0, 2.0), section(200.0, 300.0, 2.0), section(-300.0, -200.0, 2.0),
                               section(100.0, 120.0, 2.0)}) {
        axis.AddFactor(bad.from, bad.to, bad.factor, true);
        axis.AddSkip(bad.from, bad.to, true);
    }
    EXPECT_TRUE(axis.GetZoomSection().empty() && axis.GetSkipSection().empty());
    axis.AddSkip(90.0, 150.0, true);
    ASSERT_EQ(axis.GetSkipSection().size(), 1u);
    EXPECT_EQ((Doubles{axis.GetSkipSection()[0].GetTo(), axis.GetSkipSection()[0].GetFactor()}), (Doubles{150.0, 0.0}));

    axis.SetSkipSection({pixSection(40.0, 60.0, 0.0)});
    EXPECT_EQ(Layout(axis), "40@0x1 20@40x0 40@60x1");
    axis.SetSkipSuppressRanges(true);
    EXPECT_EQ(Layout(axis), "48@0x1 3@48x0 48@51x1");  // 80 units share 97 pixels
    axis.SetPixelCnt(500);
    axis.SetSkipSuppressRanges(false);
    axis.Linearize();
    EXPECT_TRUE(axis.GetSkipSection().empty() && axis.GetZoomSection().empty());
    EXPECT_FALSE(axis.LinearizeAvailable());

    axis.SetZoomSection({pixSection(20.0, 40.0, 4.0)});
    EXPECT_EQ(Layout(axis), Layout(MakeAxis(0.0, 100.0, 500, {section(20.0, 40.0, 4.0)})));
    axis.ClearZoomSection();
    EXPECT_EQ(Layout(axis), "500@0x1");

    // A deferred zoom section and a center value leave the old layout until a later setter.
    axis.AddFactor(20.0, 40.0, 2.0, false);
    axis.SetCenterValue(0.5, true);
    EXPECT_EQ(axis.GetSectionCnt(), 1);
    EXPECT_TRUE(axis.GetCenterValue() == 0.5 && axis.GetApplyCenterValue());
    axis.SetPixelCnt(20);
    EXPECT_EQ(Layout(axis), "2@0x1 3@2x0 4@5x2 3@9x0 7@12x1");  // 20 + 40 * 2 + 60 units share 14 pixels
    axis.SetPixelCnt(70000);  // the low 16 bits, which an equal count then leaves alone
    axis.SetPixelCnt(4464);
    EXPECT_EQ(axis.GetPixelCnt(), 4464);
}

TEST(AxisMapping, BadIndicesAndBadRangesHaveDefinedResults)
{
    const axisDefinition axis = ZoomedAxis();
    EXPECT_EQ((Doubles{axis.GetMin(7), axis.GetMax(-2), double(axis.GetStartPix(3)), double(axis.GetStopPix(-1)),
                       axis.GetPixelsForXUnit(99), axis.GetXUnitsForPixel(3), axis.GetPixSection(3).GetWidth()}),
              Doubles(7, 0.0));
    axisDefinition nan;
    nan.SetMin(cdNaN);
    EXPECT_EQ(nan.GetSectionCnt(), 1);
    ExpectPixels(nan, {{0.5, -1, false}});
    // Values in sections without pixels land on the first pixel.
    ExpectPixels(MakeAxis(-1e308, 1e308, 100), {{0.0, 0, true}});
    ExpectPixels(MakeAxis(-cdInf, cdInf, 100), {{0.0, 0, true}});
}

// --- range and history -------------------------------------------------------

TEST(AxisHistory, InitAndBoundsSetTheRangeAndInitClearsTheHistory)
{
    axisDefinition axis;
    axis.zoom(0.0, 0.5);
    EXPECT_EQ(axis.init(0.0, 0.5, -1), 0);  // unchanged: keeps the history
    EXPECT_TRUE(axis.UnDoAvailable());
    EXPECT_EQ(axis.init(0.0, 0.5, 20), 1);
    EXPECT_TRUE(!axis.UnDoAvailable() && axis.GetPixelCnt() == 20);

    // With zoom sections the same values still re-initialise.
    axis.AddFactor(0.1, 0.5, 2.0, true);
    axis.zoom(0.0, 0.4);
    axis.UnDo();
    EXPECT_TRUE(axis.ReDoAvailable());
    EXPECT_EQ(axis.init(0.0, 0.5, -1), 3);
    EXPECT_FALSE(axis.UnDoAvailable() || axis.ReDoAvailable());

    axis.Linearize();
    axis.SetMin(0.25);
    axis.SetMax(2.0);
    EXPECT_EQ((Doubles{axis.GetMin(), axis.GetMax(), axis.GetMin(0), axis.GetMax(0)}), (Doubles{0.25, 2.0, 0.25, 2.0}));
    EXPECT_TRUE(axis.RangeValid(1.0, 3.0));
    EXPECT_FALSE(axis.RangeValid(3.0, 1.0) || axis.RangeValid(2.0, 3.0) || axis.RangeValid(0.0, 0.25));
}

TEST(AxisHistory, UndoAndRedoWalkTheTwoStacks)
{
    // op: i(nit), z(oom), m(ove), u(ndo), r(edo), s(et bounds without history); then the state after it.
    struct Step { char op; double a, b, min, max; bool undo, redo; };
    const std::vector<Step> steps = {
        {'i', 0, 100, 0, 100, false, false}, {'z', 10, 90, 10, 90, true, false}, {'z', 20, 80, 20, 80, true, false},
        {'u', 0, 0, 10, 90, true, true},     {'u', 0, 0, 0, 100, false, true},   {'u', 0, 0, 0, 100, false, true},
        {'r', 0, 0, 10, 90, true, true},     {'r', 0, 0, 20, 80, true, false},   {'r', 0, 0, 20, 80, true, false},
        {'u', 0, 0, 10, 90, true, true},     {'u', 0, 0, 0, 100, false, true},
        // A new zoom does not drop the redo steps.
        {'z', 10, 90, 10, 90, true, true},   {'u', 0, 0, 0, 100, false, true},   {'z', 30, 40, 30, 40, true, true},
        // Ranges within 2^-52 of the current one record nothing.
        {'i', 0, 100, 0, 100, false, false}, {'z', 0, 100, 0, 100, false, false},
        {'z', 1e-17, 100, 0, 100, false, false}, {'m', 0, 0, 0, 100, false, false},
        {'z', 1e-15, 100, 1e-15, 100, true, false}, {'u', 0, 0, 0, 100, false, true},
        {'m', 5, 0, 5, 105, true, true},     {'u', 0, 0, 0, 100, false, true},
        // An undo step equal to the current range is dropped without a redo step.
        {'i', 0, 200, 0, 200, false, false}, {'z', 10, 90, 10, 90, true, false}, {'s', 0, 200, 0, 200, true, false},
        {'u', 0, 0, 0, 200, false, false}};
    axisDefinition axis;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        switch (s.op) {
        case 'i': axis.init(s.a, s.b, 100); break;
        case 'z': axis.zoom(s.a, s.b); break;
        case 'm': axis.move(s.a); break;
        case 'u': axis.UnDo(); break;
        case 'r': axis.ReDo(); break;
        default: axis.SetMin(s.a); axis.SetMax(s.b);
        }
        SCOPED_TRACE(testing::Message() << "step " << i << " " << s.op << " " << s.a << " " << s.b);
        EXPECT_EQ((Doubles{axis.GetMin(), axis.GetMax()}), (Doubles{s.min, s.max}));
        EXPECT_EQ((Doubles{axis.GetMin(0), axis.GetMax(0)}), (Doubles{s.min, s.max}));  // laid out at once
        EXPECT_EQ(std::make_pair(axis.UnDoAvailable(), axis.ReDoAvailable()), std::make_pair(s.undo, s.redo));
    }

    // The history has no size limit.
    for (int i = 1; i <= 1000; ++i)
        axis.zoom(0.0, 200.0 + i);
    for (int i = 0; i < 1000; ++i)
        axis.UnDo();
    EXPECT_EQ(axis.GetMax(), 200.0);
    EXPECT_FALSE(axis.UnDoAvailable());
}

// --- parameter sets -------------------------------------------------------

TEST(AxisParameterSet, SetDescribesTheLayoutAndRebuildsIt)
{
    axisDefinition source = ZoomedAxis();
    source.AddSkip(10.0, 20.0, true);
    const AxisData set = source.GetAxisDefinitionSet();
    EXPECT_TRUE(!set.m_bSkipSuppressRanges && set.m_sPixelCnt == 500);
    EXPECT_EQ(set.m_Sections, (std::vector<section>{section(0, 10, 1), section(10, 20, 0), section(20, 50, 1),
                                                    section(50, 50, 0), section(50, 100, 3)}));

    axisDefinition target;
    EXPECT_TRUE(target.ApplyAxisDefinitionSet(set));
    EXPECT_EQ(target.GetPixSections(), source.GetPixSections());
    EXPECT_EQ((Doubles{target.GetMin(), target.GetMax(), double(target.GetPixelCnt())}), (Doubles{0.0, 100.0, 500}));
    EXPECT_EQ(std::make_pair(target.GetZoomSection().size(), target.GetSkipSection().size()), std::make_pair(3ul, 1ul));
    EXPECT_TRUE(target.GetAxisDefinitionSet() == set);

    // Applying the current set changes nothing; a new one keeps the history.
    target.zoom(0.0, 50.0);
    EXPECT_FALSE(target.ApplyAxisDefinitionSet(target.GetAxisDefinitionSet()));
    EXPECT_TRUE(target.ApplyAxisDefinitionSet(set) && target.UnDoAvailable());
    AxisData suppressed = set;
    suppressed.m_bSkipSuppressRanges = true;
    EXPECT_TRUE(target.ApplyAxisDefinitionSet(suppressed) && target.GetSkipSuppressRanges());
    EXPECT_EQ(target.GetPixSection(1).GetWidth(), 3);

    // Negative factors (separators) are dropped; the frame still moves.
    AxisData data;
    data.m_Sections = {section(0, 10, 1), section(10, 20, -1), section(20, 30, 1)};
    data.m_sPixelCnt = 100;
    EXPECT_TRUE(target.ApplyAxisDefinitionSet(data));
    EXPECT_EQ((Doubles{target.GetMin(), target.GetMax(), target.GetFactor(15.0)}), (Doubles{0.0, 30.0, 1.0}));
    EXPECT_EQ(std::make_pair(target.GetZoomSection().size(), target.GetSkipSection().size()), std::make_pair(2ul, 0ul));
    EXPECT_EQ(target.GetSectionCnt(), 1);

    // An empty set keeps the range and takes flag and pixel count; it stays cached until the layout changes.
    AxisData empty;
    empty.m_bSkipSuppressRanges = true;
    empty.m_sPixelCnt = 40;
    axisDefinition plain;
    EXPECT_TRUE(plain.ApplyAxisDefinitionSet(empty) && plain.GetSkipSuppressRanges());
    EXPECT_EQ((Doubles{plain.GetMin(), plain.GetMax(), double(plain.GetPixelCnt()), double(plain.GetStopPix(0))}),
              (Doubles{0.0, 1.0, 40, 40}));
    EXPECT_TRUE(plain.GetAxisDefinitionSet().m_Sections.empty());
    plain.AddFactor(0.2, 0.4, 2.0, false);
    EXPECT_EQ(plain.GetAxisDefinitionSet().m_Sections.size(), 1u);
}

// --- comparison and copy ----------------------------------------------------

TEST(AxisCopy, CopiesCarryEverySettingButNotTheHistory)
{
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
    const axisDefinition base = ZoomedAxis();
    axisDefinition source = base;
    for (size_t i = 0; i < changes.size(); ++i) {
        axisDefinition changed(base);
        ASSERT_TRUE(changed == base);
        changes[i](changed);
        EXPECT_TRUE(!(changed == base) && changed != base) << "change " << i;
        changes[i](source);
    }
    auto formatter = std::make_shared<FixedFormatter>();
    source.SetStringFormatter(formatter);
    source.zoom(0.0, 90.0);

    const axisDefinition copy(source);
    EXPECT_TRUE(copy == source && !(copy != source) && copy.GetPixSections() == source.GetPixSections());
    EXPECT_EQ((Doubles{copy.GetMax(), copy.GetCenterValue()}), (Doubles{90.0, 5.0}));
    EXPECT_FALSE(copy.UnDoAvailable() || copy.visible() || copy.getXType());
    EXPECT_EQ(copy.GetStringFormatter(), formatter);
    EXPECT_EQ(formatter.use_count(), 3);

    axisDefinition target;
    target.zoom(0.2, 0.8);
    target = source;
    EXPECT_TRUE(target == source && target.GetPixSections() == source.GetPixSections());
    target.UnDo();  // its own history
    EXPECT_EQ((Doubles{target.GetMin(), target.GetMax()}), (Doubles{0.0, 1.0}));

    // Neither the formatter nor the history is compared.
    axisDefinition same(base);
    same.SetStringFormatter(std::make_shared<FixedFormatter>());
    same.zoom(0.0, 50.0);
    same.UnDo();
    EXPECT_TRUE(same.ReDoAvailable() && same == base);
}

// --- ticks ------------------------------------------------------------------

TEST(AxisTicks, NiceStepsComeClosestToFiveTicks)
{
    const bool A = true, L = false;  // azimuth, linear
    ExpectTicks({
        {L, 0.0, 1.0, 1.0, -1, 5, 0.0, 0.25, 5, 1, 2}, {L, 0.0, 100.0, 1.0, -1, 5, 0.0, 25.0, 5, 1, 0},
        // Counts 17, 9, 4, 2 for steps 2.5, 5, 10, 20: neither 5 nor 6 occurs.
        {L, 3.0, 47.0, 1.0, -1, 4, 10.0, 10.0, 10, 1, 0},
        {L, -12.0, -2.0, 1.0, -1, 6, -12.0, 2.0, 2, 1, 0}, {L, -13.0, -2.0, 1.0, -1, 5, -12.5, 2.5, 5, 1, 1},
        // Base 0.01: counts 81, 41, 33, 17, 9, then 5 for step 0.2.
        {L, 0.0, 0.8, 1.0, -1, 5, 0.0, 0.2, 2, 1, 1}, {L, 0.0, 1.1e300, 1.0, -1, 5, 0.0, 2.5e299, 5, 1, 0},
        // Decimals show the step's last significant digit: "2.5", "0.0001"; "1e-05" has no point,
        // and "2.5e-05" ends in the exponent's 5.
        {L, 0.0, 10.0, 1.0, -1, 5, 0.0, 2.5, 5, 1, 1}, {L, 0.0, 5.5e-4, 1.0, -1, 6, 0.0, 1e-4, 10, 1, 4},
        {L, 0.0, 5.5e-5, 1.0, -1, 6, 0.0, 1e-5, 10, 1, 0}, {L, 0.0, 1.1e-4, 1.0, -1, 5, 0.0, 2.5e-5, 5, 1, 5},
        // Worked out on the scaled step 0.25, reported in the caller's units.
        {L, 0.0, 0.001, 1000.0, -1, 5, 0.0, 0.00025, 5, 1, 2},
        // A fixed step starts at the first multiple above the minimum (0 is its own); below 1 it is automatic.
        {L, -12.0, 20.0, 1.0, 5, 7, -10.0, 5.0, 0, 2, 0}, {L, -10.0, 20.0, 1.0, 5, 6, -5.0, 5.0, 0, 2, 0},
        {L, 0.0, 20.0, 1.0, 5, 5, 0.0, 5.0, 0, 2, 0},     {L, 12.0, 40.0, 1.0, 5, 6, 15.0, 5.0, 0, 2, 0},
        {L, 10.0, 40.0, 1.0, 5, 6, 15.0, 5.0, 0, 2, 0},   {L, 0.0, 0.02, 1000.0, 5, 5, 0.0, 0.005, 0, 2, 0},
        {L, 0.0, 1.0, 1.0, 0, 5, 0.0, 0.25, 5, 1, 2},
        // Angles take degree steps and ignore the fixed step; 10 to 100 counts 91, 30, 19, 10, 6 (15 from 15).
        {A, 0.0, 360.0, 1.0, -1, 5, 0.0, 90.0, 5, 1, 0}, {A, 10.0, 100.0, 1.0, 5, 6, 15.0, 15.0, 5, 1, 0},
        // Degree steps do not shrink: a sliver of a degree holds its one whole degree.
        {A, 1.0, 1.0 + 1e-15, 1.0, -1, 1, 1.0, 1.0, 10, 1, 0}});
}

TEST(AxisTicks, BadRangesReturnNoTicksAndLeaveOutputsAlone)
{
    const bool A = true, L = false;
    std::vector<TickCase> cases = {
        // Linear steps shrink with the range: too far from 0 to count, or zero.
        {L, 1.0, 1.0 + 1e-15, 1.0, -1, 0}, {L, 0.0, 5e-324, 1.0, -1, 0},
        // Far too many steps for an int count.
        {A, 0.0, 1e12, 1.0, -1, 0}, {L, -1e300, 1e300, 1.0, 1, 0},
        // Fixed steps: empty ranges, as in the automatic mode.
        {L, 0.0, -10.0, 1.0, 5, 0}, {L, 5.0, 5.0, 1.0, 5, 0}, {L, -3.0, -40.0, 1.0, 7, 0}, {L, cdNaN, 1.0, 1.0, 5, 0}};
    for (bool azimuth : {L, A}) {
        for (const Doubles& c : {Doubles{5.0, 5.0, 1.0}, {6.0, 5.0, 1.0}, {cdNaN, 1.0, 1.0}, {0.0, cdNaN, 1.0},
                                 {0.0, cdInf, 1.0}, {-cdInf, 0.0, 1.0}, {-1e308, 1e308, 1.0}, {0.0, 1.0, 0.0},
                                 {0.0, 1.0, cdNaN}, {0.0, 1.0, cdInf}})
            cases.push_back({azimuth, c[0], c[1], c[2], -1, 0});
    }
    ExpectTicks(cases);

    double min = 0.0, max = 1.0, out = 0.0;
    int value = 0;
    // A null output is refused.
    EXPECT_EQ(axisDefinition::GetAxisValuesLinear(&min, &max, nullptr, &value, &value, &out, &out, &out, 0, 1, -1), 0);
    EXPECT_EQ(axisDefinition::GetAxisValuesAzimuth(&min, nullptr, &value, &value, &value, &out, &out, &out, 0, 1, -1),
              0);
}

// --- properties -------------------------------------------------------------

TEST(AxisProperties, RandomLayoutsAreConsecutiveAndMapConsistently)
{
    std::mt19937 rng(20240611u);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 300; ++round) {
        std::string description;
        axisDefinition axis = RandomAxis(rng, false, description);
        SCOPED_TRACE(description);
        if (unit(rng) < 0.3)
            axis.zoom(axis.GetMin() + (axis.GetMax() - axis.GetMin()) * 0.1, axis.GetMax());

        const std::vector<pixSection>& sections = axis.GetPixSections();
        ASSERT_FALSE(sections.empty());
        EXPECT_EQ(sections.front().GetFrom(), axis.GetMin());
        EXPECT_EQ(sections.back().GetTo(), axis.GetMax());
        int stop = 0;
        for (size_t i = 0; i < sections.size(); ++i) {
            EXPECT_TRUE(i == 0 || sections[i].GetFrom() == sections[i - 1].GetTo()) << "section " << i;
            EXPECT_EQ(sections[i].GetOffset(), stop) << "section " << i;
            EXPECT_GE(sections[i].GetWidth(), 0.0) << "section " << i;
            stop += static_cast<int>(sections[i].GetWidth());
        }
        const int pixelCnt = axis.GetPixelCnt();
        ASSERT_LE(stop, pixelCnt);

        Doubles values;
        for (int i = 0; i < 200; ++i)
            values.push_back(axis.GetMin() + unit(rng) * (axis.GetMax() - axis.GetMin()));
        std::sort(values.begin(), values.end());
        int previous = 0;
        for (double v : values) {
            bool ok = false;
            const int p = axis.ValueToPixel(v, &ok, false);
            ASSERT_TRUE(p >= 0 && p < pixelCnt) << "value " << v << " pixel " << p;
            EXPECT_GE(p, previous) << "value " << v;
            previous = p;
            EXPECT_EQ(axis.ValueToPixel(v, nullptr, true), pixelCnt - 1 - p) << "value " << v;

            const pixSection& s = axis.GetPixSection(axis.InRange(v));
            const bool interior = std::fabs(v - s.GetFrom()) > 1e-5 && std::fabs(v - s.GetTo()) > 1e-5;
            if (ok && interior && s.GetWidth() > 3) {
                bool valid = false;
                const double back = axis.PixelToValue(p, &valid, false);
                EXPECT_TRUE(valid) << "value " << v;
                EXPECT_LE(std::fabs(back - v), 0.5 * s.GetXUnitsForPixel() + 1e-9) << "value " << v;
                EXPECT_EQ(axis.PixelToValue(pixelCnt - 1 - p, &valid, true), back) << "value " << v;
            }
        }

        // The last pixel of a section may land an ulp beyond its end value.
        const double noise = 1e-9 * (std::fabs(axis.GetMin()) + std::fabs(axis.GetMax()));
        double last = axis.GetMin();
        for (int p = 0; p <= pixelCnt; ++p) {
            bool valid = false;
            const double v = axis.PixelToValue(p, &valid, false);
            EXPECT_EQ(valid, p <= stop) << "pixel " << p;
            if (valid) {
                EXPECT_TRUE(v >= last - noise && v <= axis.GetMax() + noise) << "pixel " << p << " value " << v;
                last = v;
            }
        }
    }
}

TEST(AxisProperties, ParameterSetsRebuildDisjointZoomLayoutsExactly)
{
    std::mt19937 rng(7719u);
    for (int round = 0; round < 300; ++round) {
        std::string description;
        const axisDefinition source = RandomAxis(rng, true, description);
        SCOPED_TRACE(description);
        const AxisData set = source.GetAxisDefinitionSet();
        axisDefinition target;
        ASSERT_TRUE(target.ApplyAxisDefinitionSet(set));
        EXPECT_EQ(target.GetPixSections(), source.GetPixSections());
        EXPECT_TRUE(target.GetAxisDefinitionSet() == set);
        EXPECT_FALSE(target.ApplyAxisDefinitionSet(set));
    }
}
