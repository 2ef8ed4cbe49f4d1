// Drives axisDefinition: ranges, pixel counts, zoom and skip sections, the zoom history,
// parameter sets and the tick functions, with NaN, infinite and huge values mixed in.
// Checks after every operation that the pixel sections are consecutive, lie within the pixel
// count and join value to value; that mirrored mappings agree; that on a finite axis a value maps
// to a pixel and back within one pixel's worth of value and no pixel maps to a non-finite value;
// that undo after a zoom restores the previous range and redo the zoomed one; that a parameter set
// rebuilds the same layout once it has been through one round; and that the tick functions give
// 0 ticks and write nothing for non-finite input or a zero scale, and finite ticks otherwise.
#include "axisdefinition.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool Same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

double AnyDouble(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return in.ConsumeBool() ? HUGE_VAL : -HUGE_VAL;
    case 2: return in.ConsumeBool() ? 1e308 : -1e308;
    case 3: return in.ConsumeFloatingPoint<double>();
    default: return in.ConsumeFloatingPointInRange(-1000.0, 1000.0);
    }
}

// A value inside the axis range most of the time, so the mapping is exercised.
double NearRange(FuzzedDataProvider& in, const axisDefinition& axis)
{
    if (in.ConsumeIntegralInRange(0, 3) == 0)
        return AnyDouble(in);
    const double t = in.ConsumeFloatingPointInRange(-0.2, 1.2);
    return axis.GetMin() + t * (axis.GetMax() - axis.GetMin());
}

// Values well clear of overflow: at the edge of the double range a pixel's step times its
// index may round beyond the largest double, which the mapping does not guard against.
bool FiniteAxis(const axisDefinition& axis)
{
    const double min = axis.GetMin(), max = axis.GetMax();
    return std::fabs(min) < 1e300 && std::fabs(max) < 1e300 && min < max && axis.GetPixelCnt() > 0;
}

void CheckLayout(const axisDefinition& axis)
{
    const std::vector<pixSection>& sections = axis.GetPixSections();
    int stop = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        Require(sections[i].GetOffset() == stop && sections[i].GetWidth() >= 0);
        if (i > 0)
            Require(Same(sections[i].GetFrom(), sections[i - 1].GetTo()));
        stop += static_cast<int>(sections[i].GetWidth());
    }
    const int pixelCnt = axis.GetPixelCnt();
    // The share left after the fixed widths is 16-bit: a negative count may wrap, by design.
    Require(pixelCnt <= 0 || stop <= pixelCnt);
    if (axis.GetMin() <= axis.GetMax() && !sections.empty())
        Require(sections.front().GetFrom() == axis.GetMin() && sections.back().GetTo() == axis.GetMax());
    for (int p = 0; p < pixelCnt && p < 4096; p += 1 + pixelCnt / 64) {
        bool a = false, b = false;
        Require(Same(axis.PixelToValue(p, &a, true), axis.PixelToValue(pixelCnt - 1 - p, &b, false)) && a == b);
        if (FiniteAxis(axis) && a)
            Require(std::isfinite(axis.PixelToValue(p, nullptr, false)));
    }
}

void CheckMapping(const axisDefinition& axis, double value)
{
    bool shown = false, mirrored = false;
    const int pixel = axis.ValueToPixel(value, &shown, false);
    const int pixelCnt = axis.GetPixelCnt();
    Require(pixel == -1 || (pixel >= 0 && pixel < pixelCnt));
    Require(axis.ValueToPixel(value, &mirrored, true) == (pixel == -1 ? -1 : pixelCnt - 1 - pixel));
    const int index = axis.InRange(value);
    if (!FiniteAxis(axis) || !shown || index < 0 || !std::isfinite(value))
        return;
    const pixSection& s = axis.GetPixSection(index);
    const bool interior = std::fabs(value - s.GetFrom()) > 1e-5 && std::fabs(value - s.GetTo()) > 1e-5;
    if (!interior || s.GetWidth() <= 3)
        return;
    bool valid = false;
    const double back = axis.PixelToValue(pixel, &valid, false);
    const double noise = 1e-12 * (std::fabs(s.GetFrom()) + std::fabs(s.GetTo()) + std::fabs(value));
    Require(valid && std::fabs(back - value) <= 0.5 * s.GetXUnitsForPixel() * (1 + 1e-9) + noise);
}

// Zooms, then walks one step back and forth through the history.
void CheckHistory(axisDefinition& axis, double min, double max)
{
    const double oldMin = axis.GetMin(), oldMax = axis.GetMax();
    const double eps = std::numeric_limits<double>::epsilon();
    axis.zoom(min, max);
    if (std::fabs(min - oldMin) < eps && std::fabs(max - oldMax) < eps)
        return;
    Require(Same(axis.GetMin(), min) && Same(axis.GetMax(), max) && axis.UnDoAvailable());
    axis.UnDo();
    Require(Same(axis.GetMin(), oldMin) && Same(axis.GetMax(), oldMax) && axis.ReDoAvailable());
    axis.ReDo();
    Require(Same(axis.GetMin(), min) && Same(axis.GetMax(), max));
}

bool FiniteSet(const AxisData& data)
{
    for (const section& s : data.m_Sections)
        if (!std::isfinite(s.from) || !std::isfinite(s.to) || !std::isfinite(s.factor))
            return false;
    return true;
}

// Zoom factors beyond a million make the pixel shares of a rebuilt layout hang on the last bits of
// their products, so only moderate sets are expected to round-trip.
bool ModerateSet(const AxisData& data)
{
    for (const section& s : data.m_Sections)
        if (!(std::fabs(s.factor) <= 1e6))
            return false;
    return FiniteSet(data);
}

bool ComparableSet(const AxisData& data)
{
    for (const section& s : data.m_Sections)
        if (std::isnan(s.from) || std::isnan(s.to) || std::isnan(s.factor))
            return false;
    return true;
}

// The set of a freshly applied layout, read from its sections rather than the applied copy.
AxisData LayoutSet(axisDefinition& axis)
{
    axis.SetCenterValue(axis.GetCenterValue(), axis.GetApplyCenterValue());
    return axis.GetAxisDefinitionSet();
}

void CheckParameterSet(const axisDefinition& axis)
{
    const AxisData set = axis.GetAxisDefinitionSet();
    if (!FiniteAxis(axis) || !ModerateSet(set))
        return;
    axisDefinition first, second;
    first.ApplyAxisDefinitionSet(set);
    const AxisData rebuilt = LayoutSet(first);
    if (!ModerateSet(rebuilt))
        return;
    second.ApplyAxisDefinitionSet(rebuilt);
    Require(second.GetPixSections() == first.GetPixSections());
}

void CheckTicks(FuzzedDataProvider& in)
{
    const double min = AnyDouble(in), max = AnyDouble(in);
    const double scale = in.ConsumeBool() ? 1.0 : AnyDouble(in);
    const int fixedStep = in.ConsumeBool() ? -1 : in.ConsumeIntegral<int>();
    const bool azimuth = in.ConsumeBool();
    double outMin = min, outMax = max, start = -7, step = -7, offset = -7;
    int subDivisions = -7, mode = -7, decimals = -7;
    const int count = azimuth
        ? axisDefinition::GetAxisValuesAzimuth(&outMin, &outMax, &subDivisions, &mode, &decimals, &start, &step,
                                               &offset, 0, scale, fixedStep)
        : axisDefinition::GetAxisValuesLinear(&outMin, &outMax, &subDivisions, &mode, &decimals, &start, &step,
                                              &offset, 0, scale, fixedStep);
    Require(count >= 0);
    const bool bad = !std::isfinite(min * scale) || !std::isfinite(max * scale) || scale == 0.0 || !std::isfinite(scale);
    if (bad)
        Require(count == 0);
    if (count == 0) {
        Require(Same(outMin, min) && Same(outMax, max) && start == -7 && step == -7 && offset == -7);
        Require(subDivisions == -7 && mode == -7 && decimals == -7);
        return;
    }
    Require(std::isfinite(outMin) && std::isfinite(outMax) && std::isfinite(start) && std::isfinite(step));
    Require(step != 0 && offset == 0 && (mode == 1 || mode == 2) && decimals >= 0);
}

pixSection AnySection(FuzzedDataProvider& in, const axisDefinition& axis)
{
    const double from = NearRange(in, axis);
    return pixSection(from, in.ConsumeBool() ? from + std::fabs(AnyDouble(in)) : NearRange(in, axis), AnyDouble(in));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    axisDefinition axis;
    for (int op = 0; op < 200 && in.remaining_bytes() > 0; ++op) {
        switch (in.ConsumeIntegralInRange(0, 15)) {
        case 0: {
            const int sections = axis.init(AnyDouble(in), AnyDouble(in), in.ConsumeIntegral<short>());
            if (sections != 0)
                Require(sections == axis.GetSectionCnt() && !axis.UnDoAvailable() && !axis.ReDoAvailable());
            break;
        }
        case 1: in.ConsumeBool() ? axis.SetMin(NearRange(in, axis)) : axis.SetMax(NearRange(in, axis)); break;
        case 2: {
            const int pixelCnt = in.ConsumeIntegral<int>();
            axis.SetPixelCnt(pixelCnt);
            Require(axis.GetPixelCnt() == static_cast<short>(pixelCnt));
            break;
        }
        case 3: axis.AddFactor(NearRange(in, axis), NearRange(in, axis), AnyDouble(in), in.ConsumeBool()); break;
        case 4: axis.AddSkip(NearRange(in, axis), NearRange(in, axis), in.ConsumeBool()); break;
        case 5: axis.SetSkipSuppressRanges(in.ConsumeBool()); break;
        case 6: CheckHistory(axis, NearRange(in, axis), NearRange(in, axis)); break;
        case 7: {
            const double min = axis.GetMin(), max = axis.GetMax(), delta = AnyDouble(in);
            CheckHistory(axis, min + delta, max + delta);
            break;
        }
        case 8: in.ConsumeBool() ? axis.UnDo() : axis.ReDo(); break;
        case 9: in.ConsumeBool() ? axis.Linearize() : axis.ClearZoomSection(); break;
        case 10: {
            std::vector<pixSection> sections(in.ConsumeIntegralInRange(0, 6));
            for (pixSection& s : sections)
                s = AnySection(in, axis);
            in.ConsumeBool() ? axis.SetZoomSection(sections) : axis.SetSkipSection(sections);
            break;
        }
        case 11: {
            AxisData set;
            set.m_bSkipSuppressRanges = in.ConsumeBool();
            set.m_sPixelCnt = in.ConsumeBool() ? in.ConsumeIntegral<short>() : in.ConsumeIntegralInRange<short>(0, 2000);
            double from = NearRange(in, axis);
            for (int i = in.ConsumeIntegralInRange(0, 16); i > 0; --i) {
                const double to = in.ConsumeBool() ? from + std::fabs(AnyDouble(in)) : AnyDouble(in);
                set.m_Sections.emplace_back(from, to, AnyDouble(in));
                from = in.ConsumeBool() ? to : AnyDouble(in);
            }
            axis.ApplyAxisDefinitionSet(set);
            // The axis's own set changes nothing (NaN never compares equal); the reference aliases its cache.
            const AxisData& current = axis.GetAxisDefinitionSet();
            const bool same = ComparableSet(current);
            Require(axis.ApplyAxisDefinitionSet(current) != same);
            break;
        }
        case 12: CheckParameterSet(axis); break;
        case 13: CheckTicks(in); break;
        case 14: axis.SetCenterValue(AnyDouble(in), in.ConsumeBool()); break;
        case 15: {
            const axisDefinition copy(axis);
            Require(copy.GetPixelCnt() == axis.GetPixelCnt() && Same(copy.GetMin(), axis.GetMin()));
            CheckLayout(copy);
            break;
        }
        }
        CheckLayout(axis);
        for (int i = 0; i < 4; ++i)
            CheckMapping(axis, NearRange(in, axis));
    }
    return 0;
}
