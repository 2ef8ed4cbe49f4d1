#include "axisdefinition.h"

#include <gtest/gtest.h>

#include <QString>

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

std::vector<int> Widths(const axisDefinition& axis)
{
    std::vector<int> widths;
    for (const pixSection& s : axis.GetPixSections())
        widths.push_back(static_cast<int>(s.GetWidth()));
    return widths;
}

std::vector<int> Offsets(const axisDefinition& axis)
{
    std::vector<int> offsets;
    for (const pixSection& s : axis.GetPixSections())
        offsets.push_back(s.GetOffset());
    return offsets;
}

std::vector<double> Factors(const axisDefinition& axis)
{
    std::vector<double> factors;
    for (const pixSection& s : axis.GetPixSections())
        factors.push_back(s.GetFactor());
    return factors;
}

// [0, 100] on 500 pixels with [50, 100] stretched threefold.
axisDefinition ZoomedAxis()
{
    axisDefinition axis;
    axis.init(0.0, 100.0, 500);
    axis.AddFactor(50.0, 100.0, 3.0, true);
    return axis;
}

// [0, 100] on 100 pixels with [20, 30] left out.
axisDefinition SkippedAxis(bool suppress)
{
    axisDefinition axis;
    axis.init(0.0, 100.0, 100);
    axis.AddSkip(20.0, 30.0, false);
    axis.SetSkipSuppressRanges(suppress);
    return axis;
}

int Pixel(const axisDefinition& axis, double value, bool& inRange, bool reverse = false)
{
    inRange = !inRange;  // must be overwritten
    return axis.ValueToPixel(value, &inRange, reverse);
}

double Value(const axisDefinition& axis, int pixel, bool& valid, bool reverse = false)
{
    valid = !valid;
    return axis.PixelToValue(pixel, &valid, reverse);
}

// Counts layout passes and value lookups that reach the virtual slots.
class CountingAxis : public axisDefinition
{
public:
    int ValueToPixel(double value, bool* inRange, bool reverse) const override
    {
        ++m_iValueToPixelCalls;
        return axisDefinition::ValueToPixel(value, inRange, reverse);
    }

    int m_iRecalcs = 0;
    mutable int m_iValueToPixelCalls = 0;

protected:
    void recalc() override
    {
        ++m_iRecalcs;
        axisDefinition::recalc();
    }
};

class FixedFormatter : public IStringFormatter
{
public:
    const QString& FormatValue(double) override { return m_sText; }
    const QString& FormatStartValue(double) override { return m_sText; }

private:
    QString m_sText = "x";
};

// Outputs start at sentinels so that a test sees which ones were written.
struct Ticks
{
    double dMin;
    double dMax;
    int iSubDivisions = -7;
    int iMode = -7;
    int iDecimals = -7;
    double dStart = -7.0;
    double dStep = -7.0;
    double dOffset = -7.0;
    int iCount = -7;

    bool untouched(double min, double max) const
    {
        return iSubDivisions == -7 && iMode == -7 && iDecimals == -7 && dStart == -7.0 && dStep == -7.0
            && dOffset == -7.0 && (dMin == min || (std::isnan(dMin) && std::isnan(min)))
            && (dMax == max || (std::isnan(dMax) && std::isnan(max)));
    }
};

Ticks Linear(double min, double max, double scale = 1.0, int fixedStep = -1)
{
    Ticks t{min, max};
    t.iCount = axisDefinition::GetAxisValuesLinear(&t.dMin, &t.dMax, &t.iSubDivisions, &t.iMode, &t.iDecimals,
                                                   &t.dStart, &t.dStep, &t.dOffset, 0, scale, fixedStep);
    return t;
}

Ticks Azimuth(double min, double max, int fixedStep = -1)
{
    Ticks t{min, max};
    t.iCount = axisDefinition::GetAxisValuesAzimuth(&t.dMin, &t.dMax, &t.iSubDivisions, &t.iMode, &t.iDecimals,
                                                    &t.dStart, &t.dStep, &t.dOffset, 0, 1.0, fixedStep);
    return t;
}

// A random axis for the property tests, with the description printed on failure.
struct RandomAxis
{
    double dMin = 0.0;
    double dMax = 0.0;
    short sPixelCnt = 0;
    bool bSuppress = false;
    std::vector<section> zooms;
    std::vector<section> skips;

    std::string describe() const
    {
        std::ostringstream text;
        text.precision(17);
        text << "range [" << dMin << ", " << dMax << "] pixels " << sPixelCnt << " suppress " << bSuppress;
        for (const section& z : zooms)
            text << " zoom [" << z.from << ", " << z.to << "] x" << z.factor;
        for (const section& s : skips)
            text << " skip [" << s.from << ", " << s.to << "]";
        return text.str();
    }

    void apply(axisDefinition& axis) const
    {
        axis.init(dMin, dMax, sPixelCnt);
        for (const section& z : zooms)
            axis.AddFactor(z.from, z.to, z.factor, false);
        for (const section& s : skips)
            axis.AddSkip(s.from, s.to, false);
        axis.SetSkipSuppressRanges(bSuppress);
    }
};

RandomAxis MakeRandomAxis(std::mt19937& rng, bool disjointZooms)
{
    std::uniform_real_distribution<double> start(-1000.0, 1000.0);
    std::uniform_real_distribution<double> length(1.0, 1000.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> factor(0.2, 5.0);
    std::uniform_int_distribution<int> pixels(200, 2000);
    std::uniform_int_distribution<int> count(0, 3);

    RandomAxis a;
    a.dMin = start(rng);
    a.dMax = a.dMin + length(rng);
    a.sPixelCnt = static_cast<short>(pixels(rng));
    a.bSuppress = unit(rng) < 0.5;
    const double span = a.dMax - a.dMin;
    // Ranges may reach beyond the axis: they must be taken in unclipped.
    auto randomRange = [&](double lo, double hi) {
        double from = lo + unit(rng) * (hi - lo);
        double to = lo + unit(rng) * (hi - lo);
        if (from > to)
            std::swap(from, to);
        return std::make_pair(from, to);
    };
    const int zoomCnt = count(rng);
    for (int i = 0; i < zoomCnt; ++i) {
        // Disjoint zooms each take a slot of their own.
        const auto range = disjointZooms
            ? randomRange(a.dMin + span * i / zoomCnt, a.dMin + span * (i + 1) / zoomCnt)
            : randomRange(a.dMin - span * 0.2, a.dMax + span * 0.2);
        a.zooms.emplace_back(range.first, range.second, factor(rng));
    }
    const int skipCnt = count(rng) % 3;
    for (int i = 0; i < skipCnt; ++i) {
        const auto range = randomRange(a.dMin - span * 0.2, a.dMax + span * 0.2);
        a.skips.emplace_back(range.first, range.second, 0.0);
    }
    return a;
}

} // namespace

// --- records --------------------------------------------------------------

TEST(AxisRecords, SectionSpansAndEquality)
{
    const section s(2.0, 6.0, 1.5);
    EXPECT_DOUBLE_EQ(s.getSpan(), 4.0);
    EXPECT_DOUBLE_EQ(s.getVirtualSpan(), 6.0);
    EXPECT_TRUE(s == section(2.0, 6.0, 1.5));
    EXPECT_FALSE(s != section(2.0, 6.0, 1.5));
    EXPECT_TRUE(s != section(2.0, 6.0, 1.0));
    EXPECT_TRUE(s != section(2.5, 6.0, 1.5));
    EXPECT_TRUE(s != section(2.0, 7.0, 1.5));

    const section d;
    EXPECT_EQ(d.from, 0.0);
    EXPECT_EQ(d.to, 0.0);
    EXPECT_EQ(d.factor, 0.0);

    const section withNaN(0.0, cdNaN, 1.0);
    EXPECT_FALSE(withNaN == withNaN);
    EXPECT_TRUE(withNaN != withNaN);
}

TEST(AxisRecords, PixSectionConvertsInsideItsPixels)
{
    pixSection s(0.0, 10.0, 2.0);
    EXPECT_EQ(s.GetWidth(), 0.0);
    EXPECT_EQ(s.GetOffset(), 0);
    EXPECT_EQ(s.GetPixelsForXUnit(), 0.0);
    EXPECT_EQ(s.GetXUnitsForPixel(), 0.0);

    // The ratios of a 50 pixel wide section over 10 units.
    s.SetOffset(100);
    s.SetWidth(50);
    s.SetPixelsForXUnit(49.0 / 10.0);
    s.SetXUnitsForPixel(10.0 / 49.0);
    EXPECT_EQ(s.ValueToPixel(10.0), 149);
    EXPECT_EQ(s.ValueToPixel(-10.0), 51);  // no range check
    EXPECT_EQ(s.PixelToValue(99), 0.0);
    EXPECT_EQ(s.PixelToValue(100), 0.0);
    EXPECT_DOUBLE_EQ(s.PixelToValue(124), 24.0 * 10.0 / 49.0);
    EXPECT_DOUBLE_EQ(s.PixelToValue(149), 10.0);
    EXPECT_EQ(s.PixelToValue(150), 10.0);
    EXPECT_EQ(s.PixelToValue(400), 10.0);

    EXPECT_FALSE(s.PixInRange(99));
    EXPECT_TRUE(s.PixInRange(100));
    EXPECT_TRUE(s.PixInRange(150));
    EXPECT_FALSE(s.PixInRange(151));

    // Any section three pixels wide reads as its start value.
    s.SetWidth(3);
    EXPECT_EQ(s.PixelToValue(101), 0.0);
    EXPECT_EQ(s.PixelToValue(102), 0.0);
}

TEST(AxisRecords, PixSectionOrderAndEquality)
{
    const pixSection a(1.0, 5.0, 1.0);
    const pixSection b(2.0, 3.0, 1.0);
    EXPECT_TRUE(a < b);
    EXPECT_FALSE(b < a);
    EXPECT_FALSE(a < pixSection(1.0, 9.0, 2.0));

    pixSection c = a;
    EXPECT_TRUE(c == a);
    c.SetOffset(1);
    EXPECT_FALSE(c == a);
    c = a;
    c.SetXUnitsForPixel(0.5);
    EXPECT_FALSE(c == a);
    c = a;
    c.SetFactor(cdNaN);
    EXPECT_FALSE(c == c);
}

TEST(AxisRecords, AxisDataEqualityAndMoves)
{
    AxisData a;
    EXPECT_TRUE(a.m_Sections.empty());
    EXPECT_FALSE(a.m_bSkipSuppressRanges);
    EXPECT_EQ(a.m_sPixelCnt, 0);

    a.m_Sections = {section(0, 5, 1), section(5, 10, 0)};
    a.m_bSkipSuppressRanges = true;
    a.m_sPixelCnt = 300;
    AxisData b = a;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);

    b.m_sPixelCnt = 301;
    EXPECT_TRUE(a != b);
    b = a;
    b.m_bSkipSuppressRanges = false;
    EXPECT_TRUE(a != b);
    b = a;
    b.m_Sections.pop_back();
    EXPECT_TRUE(a != b);
    b = a;
    b.m_Sections[1].factor = 2;
    EXPECT_TRUE(a != b);
    b = a;
    b.m_Sections[0].to = cdNaN;
    AxisData c = b;
    EXPECT_FALSE(b == c);

    AxisData moved(std::move(b));
    EXPECT_TRUE(b.m_Sections.empty());
    EXPECT_TRUE(b.m_bSkipSuppressRanges);
    EXPECT_EQ(b.m_sPixelCnt, 300);
    EXPECT_EQ(moved.m_Sections.size(), 2u);

    AxisData target;
    target = std::move(c);
    EXPECT_TRUE(c.m_Sections.empty());
    EXPECT_TRUE(c.m_bSkipSuppressRanges);
    EXPECT_EQ(c.m_sPixelCnt, 300);
    EXPECT_EQ(target.m_Sections.size(), 2u);
    EXPECT_EQ(target.m_sPixelCnt, 300);
}

// --- layout and mapping -----------------------------------------------------

TEST(AxisMapping, NewAxisShowsUnitRangeOnTenPixels)
{
    axisDefinition axis;
    axis.testStream(); // the diagnostic hook leaves the axis as it was
    ASSERT_EQ(axis.GetSectionCnt(), 1);
    const pixSection& s = axis.GetPixSection(0);
    EXPECT_EQ(s.GetFrom(), 0.0);
    EXPECT_EQ(s.GetTo(), 1.0);
    EXPECT_EQ(s.GetFactor(), 1.0);
    EXPECT_EQ(s.GetWidth(), 10.0);
    EXPECT_EQ(s.GetOffset(), 0);
    EXPECT_DOUBLE_EQ(s.GetPixelsForXUnit(), 9.0);
    EXPECT_DOUBLE_EQ(s.GetXUnitsForPixel(), 1.0 / 9.0);
    EXPECT_EQ(axis.GetPixelCnt(), 10);
    EXPECT_EQ(axis.GetStopPix(0), 10);
    EXPECT_TRUE(axis.valid());
    EXPECT_EQ(axis.GetBasePoints(), (std::vector<double>{0.0, 1.0}));
    EXPECT_FALSE(axis.LinearizeAvailable());
    EXPECT_FALSE(axis.UnDoAvailable());
    EXPECT_FALSE(axis.ReDoAvailable());
    EXPECT_TRUE(axis.GetGridPos().empty());
    EXPECT_TRUE(axis.getXType());
    EXPECT_TRUE(axis.visible());
    EXPECT_EQ(axis.GetStringFormatter(), nullptr);

    bool ok = false;
    EXPECT_EQ(Pixel(axis, 0.0, ok), 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(axis, 0.5, ok), 5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(axis, 1.0, ok), 9);  // offset + width is the pixel count
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(axis, 1.5, ok), -1);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Pixel(axis, -0.5, ok), -1);
    EXPECT_FALSE(ok);

    EXPECT_EQ(Pixel(axis, 0.0, ok, true), 9);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(axis, 1.0, ok, true), 0);  // 10 - 10 - 1 is negative
    EXPECT_FALSE(ok);

    EXPECT_DOUBLE_EQ(Value(axis, 3, ok), 3.0 / 9.0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Value(axis, 10, ok), 1.0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Value(axis, 10, ok, true), -1.0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Value(axis, 11, ok), -1.0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Value(axis, -1, ok), -1.0);
    EXPECT_FALSE(ok);

    // Null flags are tolerated.
    EXPECT_EQ(axis.ValueToPixel(0.5, nullptr, false), 5);
    EXPECT_EQ(axis.PixelToValue(10, nullptr, false), 1.0);
}

TEST(AxisMapping, ZoomSectionStretchesItsShareBehindASeparator)
{
    const axisDefinition axis = ZoomedAxis();
    // Virtual widths 50 + 150 share 500 - 3 pixels.
    EXPECT_EQ(Widths(axis), (std::vector<int>{124, 3, 372}));
    EXPECT_EQ(Offsets(axis), (std::vector<int>{0, 124, 127}));
    EXPECT_EQ(Factors(axis), (std::vector<double>{1.0, 0.0, 3.0}));
    EXPECT_EQ(axis.GetBasePoints(), (std::vector<double>{0.0, 50.0, 100.0}));
    EXPECT_EQ(axis.GetMin(1), 50.0);
    EXPECT_EQ(axis.GetMax(1), 50.0);
    EXPECT_DOUBLE_EQ(axis.GetPixelsForXUnit(0), 123.0 / 50.0);
    EXPECT_DOUBLE_EQ(axis.GetXUnitsForPixel(0), 50.0 / 123.0);
    EXPECT_EQ(axis.GetPixelsForXUnit(1), cdInf);
    EXPECT_EQ(axis.GetXUnitsForPixel(1), 0.0);
    EXPECT_DOUBLE_EQ(axis.GetPixelsForXUnit(2), 371.0 / 50.0);
    EXPECT_EQ(axis.GetStartPix(2), 127);
    EXPECT_EQ(axis.GetStopPix(2), 499);
    EXPECT_TRUE(axis.LinearizeAvailable());

    bool ok = false;
    EXPECT_EQ(Pixel(axis, 10.0, ok), 25);  // 24.6 rounded
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(axis, 50.0, ok), 127);  // the separator never holds a value
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(axis, 60.0, ok), 201);  // 127 + 74.2
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(axis, 100.0, ok), 499);
    EXPECT_TRUE(ok);

    EXPECT_DOUBLE_EQ(Value(axis, 62, ok), 62.0 * 50.0 / 123.0);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(Value(axis, 437, ok, true), 62.0 * 50.0 / 123.0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Value(axis, 124, ok), 50.0);  // separator: later section at the boundary
    EXPECT_EQ(Value(axis, 126, ok), 50.0);
    EXPECT_EQ(Value(axis, 127, ok), 50.0);
    EXPECT_DOUBLE_EQ(Value(axis, 200, ok), 73.0 * 50.0 / 371.0 + 50.0);
    EXPECT_EQ(Value(axis, 499, ok), 100.0);
    EXPECT_TRUE(ok);
    // Truncated shares leave the last pixel without a section.
    EXPECT_EQ(Value(axis, 500, ok), -1.0);
    EXPECT_FALSE(ok);
}

TEST(AxisMapping, SectionWidthIsTruncatedShareWithRatiosOverWidthLessOne)
{
    // [0, 10] at factor 2 and [10, 30] linear: virtual widths 20 + 20 share 100.
    axisDefinition axis;
    axis.init(0.0, 30.0, 103);
    axis.AddFactor(0.0, 10.0, 2.0, true);
    EXPECT_EQ(Widths(axis), (std::vector<int>{50, 3, 50}));
    EXPECT_DOUBLE_EQ(axis.GetPixelsForXUnit(0), 4.9);
    EXPECT_DOUBLE_EQ(axis.GetXUnitsForPixel(0), 10.0 / 49.0);
    EXPECT_EQ(axis.GetPixSection(0).ValueToPixel(10.0), 49);

    // Two pixels: the separator alone exceeds them, nothing is laid out.
    axis.SetPixelCnt(2);
    EXPECT_EQ(Widths(axis), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Offsets(axis), (std::vector<int>{0, 0, 0}));
}

TEST(AxisMapping, SkippedRangeIsLinearOrAGapOfThreePixels)
{
    const axisDefinition linear = SkippedAxis(false);
    EXPECT_EQ(Widths(linear), (std::vector<int>{20, 10, 70}));
    EXPECT_EQ(Offsets(linear), (std::vector<int>{0, 20, 30}));
    EXPECT_EQ(Factors(linear), (std::vector<double>{1.0, 0.0, 1.0}));

    bool ok = false;
    EXPECT_EQ(Pixel(linear, 20.0, ok), 20);  // end of the preceding section
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(linear, 25.0, ok), 25);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Pixel(linear, 30.0, ok), 30);
    EXPECT_TRUE(ok);

    // Suppressed: 20 + 70 units share 97 pixels.
    const axisDefinition gap = SkippedAxis(true);
    EXPECT_TRUE(gap.GetSkipSuppressRanges());
    EXPECT_EQ(Widths(gap), (std::vector<int>{21, 3, 75}));
    EXPECT_EQ(Offsets(gap), (std::vector<int>{0, 21, 24}));
    EXPECT_EQ(Pixel(gap, 20.0, ok), 21);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pixel(gap, 25.0, ok), 22);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Pixel(gap, 30.0, ok), 24);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Value(gap, 22, ok), 20.0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Value(gap, 24, ok), 30.0);

    // A suppressed skip over the whole range leaves nothing to share.
    axisDefinition none;
    none.init(0.0, 100.0, 100);
    none.AddSkip(0.0, 100.0, false);
    none.SetSkipSuppressRanges(true);
    EXPECT_EQ(Widths(none), (std::vector<int>{0}));
    EXPECT_EQ(Pixel(none, 50.0, ok), 0);
    EXPECT_FALSE(ok);
}

TEST(AxisMapping, InRangeFindsTheSectionHoldingAValue)
{
    axisDefinition axis = SkippedAxis(false);
    EXPECT_EQ(axis.InRange(-1.0), -1);
    EXPECT_EQ(axis.InRange(101.0), -1);
    EXPECT_EQ(axis.InRange(cdNaN), -1);
    EXPECT_EQ(axis.InRange(0.0), 0);
    EXPECT_EQ(axis.InRange(20.0), 0);
    EXPECT_EQ(axis.InRange(25.0), 1);
    EXPECT_EQ(axis.InRange(30.0), 2);
    EXPECT_EQ(axis.InRange(100.0), 2);
    EXPECT_EQ(ZoomedAxis().InRange(50.0), 2);

    axis.SetPixelCnt(0);
    EXPECT_EQ(axis.InRange(50.0), -1);
    bool ok = true;
    EXPECT_EQ(Pixel(axis, 50.0, ok), -1);
    EXPECT_FALSE(ok);
}

TEST(AxisMapping, RangeToPixelPlacesSectionsAndClampsEnds)
{
    const axisDefinition axis = ZoomedAxis();
    int from = -5;
    int to = -5;
    EXPECT_TRUE(axis.RangeToPixel(50.0, 100.0, from, to, false));
    EXPECT_EQ(from, 127);
    EXPECT_EQ(to, 499);
    EXPECT_TRUE(axis.RangeToPixel(0.0, 50.0, from, to, true));
    EXPECT_EQ(from, 499);
    EXPECT_EQ(to, 375);
    EXPECT_TRUE(axis.RangeToPixel(-10.0, 10.0, from, to, false));
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, 25);
    EXPECT_TRUE(axis.RangeToPixel(10.0, 200.0, from, to, false));
    EXPECT_EQ(from, 25);
    EXPECT_EQ(to, 499);
    EXPECT_TRUE(axis.RangeToPixel(10.0, 200.0, from, to, true));
    EXPECT_EQ(from, 474);
    EXPECT_EQ(to, 0);

    const axisDefinition skipped = SkippedAxis(false);
    EXPECT_TRUE(skipped.RangeToPixel(20.0, 30.0, from, to, false));
    EXPECT_EQ(from, 20);
    EXPECT_EQ(to, 30);
    EXPECT_FALSE(skipped.RangeToPixel(22.0, 28.0, from, to, false));
    EXPECT_EQ(from, 22);

    CountingAxis counting;
    counting.init(0.0, 100.0, 500);
    counting.AddFactor(50.0, 100.0, 3.0, true);
    EXPECT_TRUE(counting.RangeToPixel(50.0, 100.0, from, to, false));
    EXPECT_EQ(counting.m_iValueToPixelCalls, 0);
    EXPECT_TRUE(counting.RangeToPixel(10.0, 60.0, from, to, false));
    EXPECT_EQ(counting.m_iValueToPixelCalls, 2);
    EXPECT_EQ(from, 25);
    EXPECT_EQ(to, 201);
}

TEST(AxisMapping, FactorsMultiplyInsideZoomsAndVanishInsideSkips)
{
    axisDefinition axis;
    axis.init(0.0, 100.0, 500);
    axis.AddFactor(10.0, 60.0, 2.0, false);
    axis.AddFactor(40.0, 90.0, 3.0, false);
    axis.AddSkip(70.0, 80.0, false);
    EXPECT_EQ(axis.GetFactor(5.0), 1.0);
    EXPECT_EQ(axis.GetFactor(10.0), 2.0);
    EXPECT_EQ(axis.GetFactor(50.0), 6.0);
    EXPECT_EQ(axis.GetFactor(60.0), 6.0);
    EXPECT_EQ(axis.GetFactor(61.0), 3.0);
    EXPECT_EQ(axis.GetFactor(70.0), 3.0);
    EXPECT_EQ(axis.GetFactor(75.0), 0.0);
    EXPECT_EQ(axis.GetFactor(95.0), 1.0);
    EXPECT_EQ(axis.GetFactor(40.0, 60.0), 6.0);
    EXPECT_EQ(axis.GetFactor(70.0, 80.0), 0.0);
}

TEST(AxisMapping, SettersLayOutAgainOnlyWhenTheySay)
{
    CountingAxis axis;
    EXPECT_EQ(axis.m_iRecalcs, 0);
    axis.SetPixelCnt(10);
    EXPECT_EQ(axis.m_iRecalcs, 0);
    axis.SetPixelCnt(20);
    EXPECT_EQ(axis.m_iRecalcs, 1);
    EXPECT_EQ(axis.GetStopPix(0), 20);

    // Low 16 bits, compared as int.
    axis.SetPixelCnt(70000);
    EXPECT_EQ(axis.GetPixelCnt(), 4464);
    axis.SetPixelCnt(4464);
    EXPECT_EQ(axis.m_iRecalcs, 2);

    axis.zoom(0.0, 1.0);
    EXPECT_EQ(axis.m_iRecalcs, 2);
    EXPECT_FALSE(axis.UnDoAvailable());

    axis.AddSkip(0.5, 0.5, true);
    EXPECT_EQ(axis.m_iRecalcs, 3);
    axis.AddSkip(-10.0, -5.0, true);
    EXPECT_EQ(axis.m_iRecalcs, 4);
    EXPECT_TRUE(axis.GetSkipSection().empty());

    // A deferred zoom section maps on the old layout until a later setter.
    axis.AddFactor(0.2, 0.4, 2.0, false);
    EXPECT_EQ(axis.m_iRecalcs, 4);
    EXPECT_EQ(axis.GetSectionCnt(), 1);
    axis.SetPixelCnt(500);
    EXPECT_EQ(axis.GetSectionCnt(), 5);

    // A center value invalidates but does not lay out.
    axis.SetCenterValue(0.5, true);
    EXPECT_EQ(axis.m_iRecalcs, 5);
    EXPECT_EQ(axis.GetCenterValue(), 0.5);
    EXPECT_TRUE(axis.GetApplyCenterValue());
}

TEST(AxisMapping, ZoomSectionsAreValidatedButNotClipped)
{
    axisDefinition axis;
    axis.init(0.0, 100.0, 500);
    axis.AddFactor(50.0, 50.0, 2.0, true);
    axis.AddFactor(200.0, 300.0, 2.0, true);
    axis.AddFactor(-300.0, -200.0, 2.0, true);
    EXPECT_TRUE(axis.GetZoomSection().empty());
    axis.AddFactor(-50.0, 150.0, 2.0, true);
    ASSERT_EQ(axis.GetZoomSection().size(), 1u);
    EXPECT_EQ(axis.GetZoomSection()[0].GetFrom(), -50.0);
    ASSERT_EQ(axis.GetSectionCnt(), 1);
    EXPECT_EQ(axis.GetPixSection(0).GetFactor(), 2.0);

    axis.SetZoomSection({pixSection(20.0, 40.0, 4.0)});
    EXPECT_EQ(Factors(axis), (std::vector<double>{1.0, 0.0, 4.0, 0.0, 1.0}));
    axis.ClearZoomSection();
    EXPECT_EQ(axis.GetSectionCnt(), 1);
}

TEST(AxisMapping, RangeAndInitKeepOrClearHistory)
{
    axisDefinition axis;
    axis.zoom(0.0, 0.5);
    EXPECT_EQ(axis.init(0.0, 0.5, -1), 0);
    EXPECT_TRUE(axis.UnDoAvailable());
    EXPECT_EQ(axis.init(0.0, 0.5, 20), 1);
    EXPECT_FALSE(axis.UnDoAvailable());
    EXPECT_EQ(axis.GetPixelCnt(), 20);

    // With zoom sections the same values still re-initialise.
    axis.AddFactor(0.1, 0.5, 2.0, true);
    axis.zoom(0.0, 0.4);
    axis.UnDo();
    EXPECT_TRUE(axis.ReDoAvailable());
    EXPECT_EQ(axis.init(0.0, 0.5, -1), 3);
    EXPECT_FALSE(axis.UnDoAvailable());
    EXPECT_FALSE(axis.ReDoAvailable());

    axis.Linearize();
    axis.SetMin(0.25);
    EXPECT_EQ(axis.GetMin(), 0.25);
    EXPECT_EQ(axis.GetPixSection(0).GetFrom(), 0.25);
    axis.SetMax(2.0);
    EXPECT_EQ(axis.GetMax(), 2.0);
    EXPECT_EQ(axis.GetPixSection(0).GetTo(), 2.0);
    EXPECT_TRUE(axis.RangeValid(1.0, 3.0));
    EXPECT_FALSE(axis.RangeValid(3.0, 1.0));
    EXPECT_FALSE(axis.RangeValid(2.0, 3.0));
    EXPECT_FALSE(axis.RangeValid(0.0, 0.25));
}

TEST(AxisMapping, BadIndicesAndDegenerateRangesHaveDefinedResults)
{
    const axisDefinition axis = ZoomedAxis();
    EXPECT_EQ(axis.GetMin(7), 0.0);
    EXPECT_EQ(axis.GetMax(-2), 0.0);
    EXPECT_EQ(axis.GetStartPix(3), 0);
    EXPECT_EQ(axis.GetStopPix(-1), 0);
    EXPECT_EQ(axis.GetPixelsForXUnit(99), 0.0);
    EXPECT_EQ(axis.GetPixSection(3).GetWidth(), 0.0);

    bool ok = true;
    axisDefinition nan;
    nan.SetMin(cdNaN);
    EXPECT_EQ(nan.GetSectionCnt(), 1);
    EXPECT_EQ(Pixel(nan, 0.5, ok), -1);
    EXPECT_FALSE(ok);

    // A span that overflows to infinity gets no pixels.
    axisDefinition huge;
    huge.init(-1e308, 1e308, 100);
    EXPECT_EQ(huge.GetPixSection(0).GetWidth(), 0.0);
    const int pixel = Pixel(huge, 0.0, ok);
    EXPECT_GE(pixel, 0);
    EXPECT_LT(pixel, 100);

    axisDefinition infinite;
    infinite.init(-cdInf, cdInf, 100);
    EXPECT_EQ(infinite.GetPixSection(0).GetWidth(), 0.0);
    EXPECT_EQ(Pixel(infinite, 0.0, ok), 0);

    // A NaN factor is laid out like a skipped range.
    axisDefinition nanFactor;
    nanFactor.init(0.0, 100.0, 100);
    nanFactor.AddFactor(20.0, 40.0, cdNaN, true);
    EXPECT_EQ(Widths(nanFactor), (std::vector<int>{20, 20, 60}));
    EXPECT_EQ(Pixel(nanFactor, 30.0, ok), 30);
    EXPECT_FALSE(ok);
}

// --- history and sections ------------------------------------------------

TEST(AxisHistory, UndoAndRedoWalkTheTwoStacks)
{
    axisDefinition axis;
    axis.init(0.0, 100.0, 100);
    axis.zoom(10.0, 90.0);
    axis.zoom(20.0, 80.0);
    EXPECT_EQ(axis.GetPixSection(0).GetFrom(), 20.0);
    axis.UnDo();
    EXPECT_EQ(axis.GetMin(), 10.0);
    EXPECT_EQ(axis.GetMax(), 90.0);
    axis.UnDo();
    EXPECT_EQ(axis.GetMin(), 0.0);
    EXPECT_EQ(axis.GetMax(), 100.0);
    EXPECT_FALSE(axis.UnDoAvailable());
    EXPECT_TRUE(axis.ReDoAvailable());

    axis.UnDo();  // empty history
    EXPECT_EQ(axis.GetMin(), 0.0);

    axis.ReDo();
    EXPECT_EQ(axis.GetMin(), 10.0);
    EXPECT_TRUE(axis.UnDoAvailable());
    axis.ReDo();
    EXPECT_EQ(axis.GetMin(), 20.0);
    EXPECT_EQ(axis.GetMax(), 80.0);
    EXPECT_FALSE(axis.ReDoAvailable());
    axis.UnDo();
    axis.UnDo();
    EXPECT_EQ(axis.GetMin(), 0.0);
    EXPECT_FALSE(axis.UnDoAvailable());

    // A new zoom does not drop the redo steps.
    axis.zoom(10.0, 90.0);
    axis.zoom(20.0, 80.0);
    axis.UnDo();
    axis.zoom(30.0, 40.0);
    EXPECT_TRUE(axis.ReDoAvailable());
}

TEST(AxisHistory, UnchangedRangesRecordNothing)
{
    axisDefinition axis;
    axis.init(0.0, 100.0, 100);
    axis.zoom(0.0, 100.0);
    axis.zoom(1e-17, 100.0);  // within 2^-52
    axis.move(0.0);
    EXPECT_FALSE(axis.UnDoAvailable());
    axis.zoom(1e-15, 100.0);
    EXPECT_TRUE(axis.UnDoAvailable());
    axis.UnDo();

    axis.move(5.0);
    EXPECT_EQ(axis.GetMin(), 5.0);
    EXPECT_EQ(axis.GetMax(), 105.0);
    axis.UnDo();
    EXPECT_EQ(axis.GetMin(), 0.0);

    // An undo step equal to the current range is dropped without a redo step.
    axisDefinition other;
    other.init(0.0, 100.0, 100);
    other.zoom(10.0, 90.0);
    other.SetMin(0.0);
    other.SetMax(100.0);
    other.UnDo();
    EXPECT_FALSE(other.UnDoAvailable());
    EXPECT_FALSE(other.ReDoAvailable());
    EXPECT_EQ(other.GetMin(), 0.0);

    // The history has no size limit.
    for (int i = 1; i <= 1000; ++i)
        other.zoom(0.0, 100.0 + i);
    for (int i = 0; i < 1000; ++i)
        other.UnDo();
    EXPECT_EQ(other.GetMax(), 100.0);
    EXPECT_FALSE(other.UnDoAvailable());
}

TEST(AxisHistory, SkipSectionsAreValidatedReplacedAndLinearized)
{
    axisDefinition axis;
    axis.init(0.0, 100.0, 100);
    axis.AddSkip(5.0, 5.0, true);
    axis.AddSkip(-10.0, -5.0, true);
    axis.AddSkip(100.0, 120.0, true);
    EXPECT_TRUE(axis.GetSkipSection().empty());
    axis.AddSkip(90.0, 150.0, true);
    ASSERT_EQ(axis.GetSkipSection().size(), 1u);
    EXPECT_EQ(axis.GetSkipSection()[0].GetTo(), 150.0);
    EXPECT_EQ(axis.GetSkipSection()[0].GetFactor(), 0.0);
    EXPECT_EQ(Factors(axis), (std::vector<double>{1.0, 0.0}));
    EXPECT_EQ(Widths(axis), (std::vector<int>{90, 10}));

    axis.SetSkipSection({pixSection(40.0, 60.0, 0.0)});
    EXPECT_EQ(Widths(axis), (std::vector<int>{40, 20, 40}));
    axis.SetSkipSuppressRanges(true);
    // 80 units share 97 pixels.
    EXPECT_EQ(Widths(axis), (std::vector<int>{48, 3, 48}));

    axis.AddFactor(10.0, 20.0, 2.0, true);
    axis.Linearize();
    EXPECT_TRUE(axis.GetSkipSection().empty());
    EXPECT_TRUE(axis.GetZoomSection().empty());
    EXPECT_EQ(axis.GetSectionCnt(), 1);
    EXPECT_FALSE(axis.LinearizeAvailable());
}

// --- parameter sets -------------------------------------------------------

TEST(AxisParameterSet, SetDescribesTheLayoutAndRebuildsIt)
{
    axisDefinition source = ZoomedAxis();
    source.AddSkip(10.0, 20.0, true);
    const AxisData set = source.GetAxisDefinitionSet();
    EXPECT_FALSE(set.m_bSkipSuppressRanges);
    EXPECT_EQ(set.m_sPixelCnt, 500);
    const std::vector<section> expected = {section(0, 10, 1), section(10, 20, 0), section(20, 50, 1),
                                           section(50, 50, 0), section(50, 100, 3)};
    EXPECT_EQ(set.m_Sections, expected);

    axisDefinition target;
    EXPECT_TRUE(target.ApplyAxisDefinitionSet(set));
    EXPECT_EQ(target.GetPixSections(), source.GetPixSections());
    EXPECT_EQ(target.GetMin(), 0.0);
    EXPECT_EQ(target.GetMax(), 100.0);
    EXPECT_EQ(target.GetPixelCnt(), 500);
    EXPECT_EQ(target.GetZoomSection().size(), 3u);
    EXPECT_EQ(target.GetSkipSection().size(), 1u);
    EXPECT_TRUE(target.GetAxisDefinitionSet() == set);

    // Applying the current set changes nothing; a new one keeps the history.
    target.zoom(0.0, 50.0);
    EXPECT_FALSE(target.ApplyAxisDefinitionSet(target.GetAxisDefinitionSet()));
    EXPECT_TRUE(target.UnDoAvailable());
    EXPECT_TRUE(target.ApplyAxisDefinitionSet(set));
    EXPECT_TRUE(target.UnDoAvailable());

    AxisData suppressed = set;
    suppressed.m_bSkipSuppressRanges = true;
    EXPECT_TRUE(target.ApplyAxisDefinitionSet(suppressed));
    EXPECT_TRUE(target.GetSkipSuppressRanges());
    EXPECT_EQ(Widths(target)[1], 3);
}

TEST(AxisParameterSet, NegativeFactorsAndEmptySetsOnlyMoveTheFrame)
{
    AxisData data;
    data.m_Sections = {section(0, 10, 1), section(10, 20, -1), section(20, 30, 1)};
    data.m_sPixelCnt = 100;
    axisDefinition axis;
    EXPECT_TRUE(axis.ApplyAxisDefinitionSet(data));
    EXPECT_EQ(axis.GetMin(), 0.0);
    EXPECT_EQ(axis.GetMax(), 30.0);
    EXPECT_EQ(axis.GetZoomSection().size(), 2u);
    EXPECT_TRUE(axis.GetSkipSection().empty());
    EXPECT_EQ(axis.GetSectionCnt(), 1);
    EXPECT_EQ(axis.GetFactor(15.0), 1.0);

    AxisData empty;
    empty.m_bSkipSuppressRanges = true;
    empty.m_sPixelCnt = 40;
    axisDefinition plain;
    EXPECT_TRUE(plain.ApplyAxisDefinitionSet(empty));
    EXPECT_EQ(plain.GetMin(), 0.0);
    EXPECT_EQ(plain.GetMax(), 1.0);
    EXPECT_EQ(plain.GetPixelCnt(), 40);
    EXPECT_TRUE(plain.GetSkipSuppressRanges());
    EXPECT_EQ(plain.GetStopPix(0), 40);
    // The applied set stays the cached one.
    EXPECT_TRUE(plain.GetAxisDefinitionSet().m_Sections.empty());

    // The set is read from the layout as it stands.
    plain.AddFactor(0.2, 0.4, 2.0, false);
    EXPECT_EQ(plain.GetAxisDefinitionSet().m_Sections.size(), 1u);
}

// --- comparison and copy ----------------------------------------------------

TEST(AxisCopy, CopiesCarryTheAxisButNotTheHistory)
{
    axisDefinition source = ZoomedAxis();
    source.AddSkip(10.0, 20.0, false);
    source.SetSkipSuppressRanges(true);
    source.SetCenterValue(5.0, true);
    source.setXType(false);
    source.setVisible(false);
    source.SetLegendVisible(false);
    source.SetGridVisible(false);
    source.SetDrawButtons(true);
    source.setVisualizeAction(3, 7, AxisMouseZoom);
    auto formatter = std::make_shared<FixedFormatter>();
    source.SetStringFormatter(formatter);
    source.zoom(0.0, 90.0);

    const axisDefinition copy(source);
    EXPECT_TRUE(copy == source);
    EXPECT_FALSE(copy != source);
    EXPECT_EQ(copy.GetPixSections(), source.GetPixSections());
    EXPECT_EQ(copy.GetMax(), 90.0);
    EXPECT_FALSE(copy.UnDoAvailable());
    EXPECT_EQ(copy.GetStringFormatter(), formatter);
    EXPECT_EQ(formatter.use_count(), 3);
    EXPECT_FALSE(copy.visible());
    EXPECT_FALSE(copy.getXType());
    EXPECT_EQ(copy.GetCenterValue(), 5.0);

    axisDefinition target;
    target.zoom(0.2, 0.8);
    target = source;
    EXPECT_TRUE(target == source);
    EXPECT_EQ(target.GetPixSections(), source.GetPixSections());
    EXPECT_TRUE(target.UnDoAvailable());  // its own history
    target.UnDo();
    EXPECT_EQ(target.GetMin(), 0.0);
    EXPECT_EQ(target.GetMax(), 1.0);
}

TEST(AxisCopy, EqualityComparesSettingsNotHistoryOrFormatter)
{
    const axisDefinition base = ZoomedAxis();
    const std::vector<std::pair<const char*, std::function<void(axisDefinition&)>>> changes = {
        {"grid", [](axisDefinition& a) { a.SetGridVisible(false); }},
        {"legend", [](axisDefinition& a) { a.SetLegendVisible(false); }},
        {"visible", [](axisDefinition& a) { a.setVisible(false); }},
        {"buttons", [](axisDefinition& a) { a.SetDrawButtons(true); }},
        {"x type", [](axisDefinition& a) { a.setXType(false); }},
        {"action from", [](axisDefinition& a) { a.setVisualizeAction(1, 0, AxisMouseNone); }},
        {"action to", [](axisDefinition& a) { a.setVisualizeAction(0, 1, AxisMouseNone); }},
        {"action mode", [](axisDefinition& a) { a.setVisualizeAction(0, 0, AxisMouseMove); }},
        {"center", [](axisDefinition& a) { a.SetCenterValue(1.0, false); }},
        {"apply center", [](axisDefinition& a) { a.SetCenterValue(0.0, true); }},
        {"suppress", [](axisDefinition& a) { a.SetSkipSuppressRanges(true); }},
        {"pixels", [](axisDefinition& a) { a.SetPixelCnt(499); }},
        {"min", [](axisDefinition& a) { a.SetMin(1.0); }},
        {"max", [](axisDefinition& a) { a.SetMax(99.0); }},
        {"zoom", [](axisDefinition& a) { a.AddFactor(10.0, 20.0, 2.0, true); }},
        {"skip", [](axisDefinition& a) { a.AddSkip(10.0, 20.0, true); }},
        {"zoom width", [](axisDefinition& a) {
             std::vector<pixSection> zooms = a.GetZoomSection();
             zooms[0].SetWidth(5);
             a.SetZoomSection(zooms);
         }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.first);
        axisDefinition changed(base);
        ASSERT_TRUE(changed == base);
        change.second(changed);
        EXPECT_FALSE(changed == base);
        EXPECT_TRUE(changed != base);
    }

    axisDefinition same(base);
    same.SetStringFormatter(std::make_shared<FixedFormatter>());
    same.zoom(0.0, 50.0);
    same.UnDo();
    EXPECT_TRUE(same.ReDoAvailable());
    EXPECT_TRUE(same == base);
}

// --- ticks ------------------------------------------------------------------

TEST(AxisTicks, LinearStepComesClosestToFiveTicks)
{
    Ticks t = Linear(0.0, 1.0);
    EXPECT_EQ(t.iCount, 5);
    EXPECT_EQ(t.dStart, 0.0);
    EXPECT_DOUBLE_EQ(t.dStep, 0.25);
    EXPECT_EQ(t.iSubDivisions, 5);
    EXPECT_EQ(t.iMode, 1);
    EXPECT_EQ(t.iDecimals, 2);
    EXPECT_EQ(t.dOffset, 0.0);
    EXPECT_EQ(t.dMin, 0.0);
    EXPECT_EQ(t.dMax, 1.0);

    t = Linear(0.0, 100.0);
    EXPECT_EQ(t.iCount, 5);
    EXPECT_DOUBLE_EQ(t.dStep, 25.0);
    EXPECT_EQ(t.iDecimals, 0);

    // Counts 17, 9, 4, 2 for steps 2.5, 5, 10, 20: neither 5 nor 6 occurs.
    t = Linear(3.0, 47.0);
    EXPECT_EQ(t.iCount, 4);
    EXPECT_DOUBLE_EQ(t.dStart, 10.0);
    EXPECT_DOUBLE_EQ(t.dStep, 10.0);
    EXPECT_EQ(t.iSubDivisions, 10);
    EXPECT_EQ(t.dMin, 3.0);
    EXPECT_EQ(t.dMax, 47.0);

    t = Linear(-12.0, -2.0);
    EXPECT_EQ(t.iCount, 6);
    EXPECT_DOUBLE_EQ(t.dStep, 2.0);
    EXPECT_DOUBLE_EQ(t.dStart, -12.0);
    EXPECT_EQ(t.iSubDivisions, 2);

    t = Linear(-13.0, -2.0);
    EXPECT_EQ(t.iCount, 5);
    EXPECT_DOUBLE_EQ(t.dStep, 2.5);
    EXPECT_DOUBLE_EQ(t.dStart, -12.5);
    EXPECT_EQ(t.iDecimals, 1);

    // Base 0.01: counts 81, 41, 33, 17, 9, then 5 for step 0.2.
    t = Linear(0.0, 0.8);
    EXPECT_EQ(t.iCount, 5);
    EXPECT_DOUBLE_EQ(t.dStep, 0.2);
    EXPECT_EQ(t.iSubDivisions, 2);
    EXPECT_EQ(t.iDecimals, 1);

    t = Linear(0.0, 1.1e300);
    EXPECT_EQ(t.iCount, 5);
    EXPECT_DOUBLE_EQ(t.dStep, 2.5e299);
}

TEST(AxisTicks, DecimalsFollowTheLastSignificantDigitOfTheStep)
{
    Ticks t = Linear(0.0, 10.0);
    EXPECT_DOUBLE_EQ(t.dStep, 2.5);
    EXPECT_EQ(t.iDecimals, 1);

    // Counts 56, 28, 23, 12, then 6 for the step 1e-4 or 1e-5.
    t = Linear(0.0, 5.5e-4);
    EXPECT_EQ(t.iCount, 6);
    EXPECT_DOUBLE_EQ(t.dStep, 1e-4);
    EXPECT_EQ(t.iDecimals, 4);  // "0.0001"
    t = Linear(0.0, 5.5e-5);
    EXPECT_EQ(t.iCount, 6);
    EXPECT_DOUBLE_EQ(t.dStep, 1e-5);
    EXPECT_EQ(t.iDecimals, 0);  // "1e-05" has no point
    // Counts 12, 6, 5: step 2.5e-5, whose text "2.5e-05" ends in the exponent's 5.
    t = Linear(0.0, 1.1e-4);
    EXPECT_DOUBLE_EQ(t.dStep, 2.5e-5);
    EXPECT_EQ(t.iDecimals, 5);

    // Worked out on the scaled step 0.25, reported in the caller's units.
    t = Linear(0.0, 0.001, 1000.0);
    EXPECT_EQ(t.iCount, 5);
    EXPECT_DOUBLE_EQ(t.dStep, 0.00025);
    EXPECT_EQ(t.dStart, 0.0);
    EXPECT_EQ(t.iDecimals, 2);
    EXPECT_DOUBLE_EQ(t.dMax, 0.001);
}

TEST(AxisTicks, AzimuthUsesAngleSteps)
{
    Ticks t = Azimuth(0.0, 360.0);
    EXPECT_EQ(t.iCount, 5);
    EXPECT_EQ(t.dStart, 0.0);
    EXPECT_EQ(t.dStep, 90.0);
    EXPECT_EQ(t.iSubDivisions, 5);
    EXPECT_EQ(t.iMode, 1);
    EXPECT_EQ(t.iDecimals, 0);

    // Counts 91, 30, 19, 10, 6 (15 from 15), 3, ...; the fixed step is ignored.
    t = Azimuth(10.0, 100.0, 5);
    EXPECT_EQ(t.iCount, 6);
    EXPECT_EQ(t.dStart, 15.0);
    EXPECT_EQ(t.dStep, 15.0);
    EXPECT_EQ(t.iMode, 1);

    // Far too many degrees for any step: no candidate fits an int count.
    t = Azimuth(0.0, 1e12);
    EXPECT_EQ(t.iCount, 0);
    EXPECT_TRUE(t.untouched(0.0, 1e12));
}

TEST(AxisTicks, FixedStepStartsAtTheFirstMultipleAboveTheMinimum)
{
    Ticks t = Linear(-12.0, 20.0, 1.0, 5);
    EXPECT_EQ(t.iCount, 7);
    EXPECT_EQ(t.dStart, -10.0);
    EXPECT_EQ(t.dMin, -10.0);
    EXPECT_EQ(t.dMax, 20.0);
    EXPECT_EQ(t.dStep, 5.0);
    EXPECT_EQ(t.iMode, 2);
    EXPECT_EQ(t.iDecimals, 0);
    EXPECT_EQ(t.iSubDivisions, 0);
    EXPECT_EQ(t.dOffset, 0.0);

    t = Linear(-10.0, 20.0, 1.0, 5);
    EXPECT_EQ(t.dStart, -5.0);
    t = Linear(0.0, 20.0, 1.0, 5);
    EXPECT_EQ(t.dStart, 0.0);
    EXPECT_EQ(t.iCount, 5);
    t = Linear(12.0, 40.0, 1.0, 5);
    EXPECT_EQ(t.dStart, 15.0);
    EXPECT_EQ(t.iCount, 6);
    t = Linear(10.0, 40.0, 1.0, 5);
    EXPECT_EQ(t.dStart, 15.0);

    // Scaled [0, 20] with step 5, reported in the caller's units.
    t = Linear(0.0, 0.02, 1000.0, 5);
    EXPECT_EQ(t.iCount, 5);
    EXPECT_DOUBLE_EQ(t.dStep, 0.005);

    // Empty ranges give no ticks and, as in the automatic mode, leave every output alone.
    t = Linear(0.0, -10.0, 1.0, 5);
    EXPECT_EQ(t.iCount, 0);
    EXPECT_TRUE(t.untouched(0.0, -10.0));
    t = Linear(5.0, 5.0, 1.0, 5);
    EXPECT_EQ(t.iCount, 0);
    EXPECT_TRUE(t.untouched(5.0, 5.0));
    t = Linear(-3.0, -40.0, 1.0, 7);
    EXPECT_EQ(t.iCount, 0);
    EXPECT_TRUE(t.untouched(-3.0, -40.0));

    // Steps below 1 mean the automatic choice.
    t = Linear(0.0, 1.0, 1.0, 0);
    EXPECT_EQ(t.iMode, 1);
    EXPECT_DOUBLE_EQ(t.dStep, 0.25);
}

TEST(AxisTicks, BadRangesReturnNoTicksAndLeaveOutputsAlone)
{
    const std::vector<std::pair<double, double>> ranges = {
        {5.0, 5.0}, {6.0, 5.0}, {cdNaN, 1.0}, {0.0, cdNaN}, {0.0, cdInf}, {-cdInf, 0.0}, {-1e308, 1e308}};
    for (const auto& range : ranges) {
        SCOPED_TRACE(testing::Message() << "[" << range.first << ", " << range.second << "]");
        const Ticks linear = Linear(range.first, range.second);
        EXPECT_EQ(linear.iCount, 0);
        EXPECT_TRUE(linear.untouched(range.first, range.second));
        const Ticks azimuth = Azimuth(range.first, range.second);
        EXPECT_EQ(azimuth.iCount, 0);
        EXPECT_TRUE(azimuth.untouched(range.first, range.second));
    }

    // Linear steps shrink with the range: too far from 0 to count, or zero.
    EXPECT_TRUE(Linear(1.0, 1.0 + 1e-15).untouched(1.0, 1.0 + 1e-15));
    EXPECT_TRUE(Linear(0.0, 5e-324).untouched(0.0, 5e-324));
    // Degree steps do not: a sliver of a degree holds its one whole degree.
    const Ticks sliver = Azimuth(1.0, 1.0 + 1e-15);
    EXPECT_EQ(sliver.iCount, 1);
    EXPECT_EQ(sliver.dStart, 1.0);

    EXPECT_EQ(Linear(0.0, 1.0, 0.0).iCount, 0);
    EXPECT_EQ(Linear(0.0, 1.0, cdNaN).iCount, 0);
    EXPECT_TRUE(Linear(0.0, 1.0, cdInf).untouched(0.0, 1.0));
    // Far more fixed steps than an int can count.
    const Ticks fixed = Linear(-1e300, 1e300, 1.0, 1);
    EXPECT_EQ(fixed.iCount, 0);
    EXPECT_TRUE(fixed.untouched(-1e300, 1e300));
    EXPECT_EQ(Linear(cdNaN, 1.0, 1.0, 5).iCount, 0);

    double min = 0.0;
    double max = 1.0;
    int value = 0;
    double out = 0.0;
    EXPECT_EQ(axisDefinition::GetAxisValuesLinear(&min, &max, nullptr, &value, &value, &out, &out, &out, 0, 1.0, -1),
              0);
    EXPECT_EQ(axisDefinition::GetAxisValuesAzimuth(&min, nullptr, &value, &value, &value, &out, &out, &out, 0, 1.0, -1),
              0);
}

// --- properties -------------------------------------------------------------

TEST(AxisProperties, RandomLayoutsAreConsecutiveAndMapConsistently)
{
    std::mt19937 rng(20240611u);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 300; ++round) {
        const RandomAxis input = MakeRandomAxis(rng, false);
        SCOPED_TRACE(input.describe());
        axisDefinition axis;
        input.apply(axis);
        if (unit(rng) < 0.3)
            axis.zoom(input.dMin + (input.dMax - input.dMin) * 0.1, input.dMax);

        const std::vector<pixSection>& sections = axis.GetPixSections();
        ASSERT_FALSE(sections.empty());
        EXPECT_EQ(sections.front().GetFrom(), axis.GetMin());
        EXPECT_EQ(sections.back().GetTo(), axis.GetMax());
        int stop = 0;
        for (size_t i = 0; i < sections.size(); ++i) {
            if (i > 0) {
                EXPECT_EQ(sections[i].GetFrom(), sections[i - 1].GetTo()) << "section " << i;
            }
            EXPECT_EQ(sections[i].GetOffset(), stop) << "section " << i;
            EXPECT_GE(sections[i].GetWidth(), 0.0) << "section " << i;
            stop += static_cast<int>(sections[i].GetWidth());
        }
        const int pixelCnt = axis.GetPixelCnt();
        ASSERT_LE(stop, pixelCnt);

        std::vector<double> values;
        for (int i = 0; i < 200; ++i)
            values.push_back(axis.GetMin() + unit(rng) * (axis.GetMax() - axis.GetMin()));
        std::sort(values.begin(), values.end());
        int previous = 0;
        for (double v : values) {
            bool ok = false;
            const int p = axis.ValueToPixel(v, &ok, false);
            ASSERT_GE(p, 0) << "value " << v;
            ASSERT_LT(p, pixelCnt) << "value " << v;
            EXPECT_GE(p, previous) << "value " << v;
            previous = p;
            bool reversedOk = false;
            EXPECT_EQ(axis.ValueToPixel(v, &reversedOk, true), pixelCnt - 1 - p) << "value " << v;

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
            if (!valid)
                continue;
            EXPECT_GE(v, last - noise) << "pixel " << p;
            EXPECT_LE(v, axis.GetMax() + noise) << "pixel " << p;
            last = v;
        }
    }
}

TEST(AxisProperties, ParameterSetsRebuildDisjointZoomLayoutsExactly)
{
    std::mt19937 rng(7719u);
    for (int round = 0; round < 300; ++round) {
        const RandomAxis input = MakeRandomAxis(rng, true);
        SCOPED_TRACE(input.describe());
        axisDefinition source;
        input.apply(source);
        const AxisData set = source.GetAxisDefinitionSet();

        axisDefinition target;
        ASSERT_TRUE(target.ApplyAxisDefinitionSet(set));
        EXPECT_EQ(target.GetPixSections(), source.GetPixSections());
        EXPECT_TRUE(target.GetAxisDefinitionSet() == set);
        EXPECT_FALSE(target.ApplyAxisDefinitionSet(set));
    }
}
