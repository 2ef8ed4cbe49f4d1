// Drives axisDefinition (ranges, pixel counts, zoom and skip sections, zoom history, parameter sets, ticks) with
// NaN, infinite and huge values, and checks the layout, the mapping both ways, the history, the round trip of
// parameter sets and the tick outputs after every operation.
#include "axisdefinition.h"
#include "fuzz_application.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

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
    if (in.ConsumeIntegralInRange(0, 3) == 0) return AnyDouble(in);
    return axis.GetMin() + in.ConsumeFloatingPointInRange(-0.2, 1.2) * (axis.GetMax() - axis.GetMin());
}

// Well clear of overflow: at the edge of the double range a pixel's step times its index may round beyond
// the largest double, which the mapping does not guard against.
bool FiniteAxis(const axisDefinition& axis)
{
    const double min = axis.GetMin(), max = axis.GetMax();
    return std::fabs(min) < 1e300 && std::fabs(max) < 1e300 && min < max && axis.GetPixelCnt() > 0;
}

// Sections follow each other pixel to pixel and value to value from the minimum to the maximum, mirrored
// pixels give the same value, and no pixel of a finite axis gives a non-finite one.
void CheckLayout(const axisDefinition& axis)
{
    const std::vector<pixSection>& sections = axis.GetPixSections();
    const int pixelCnt = axis.GetPixelCnt();
    int stop = 0;
    for (size_t i = 0; i < sections.size(); stop += static_cast<int>(sections[i++].GetWidth()))
        Check(sections[i].GetOffset() == stop && sections[i].GetWidth() >= 0 &&
              (i == 0 || Same(sections[i].GetFrom(), sections[i - 1].GetTo())));
    Check(pixelCnt <= 0 || stop <= pixelCnt); // a negative count may wrap the 16-bit share left, by design
    if (axis.GetMin() <= axis.GetMax() && !sections.empty())
        Check(sections.front().GetFrom() == axis.GetMin() && sections.back().GetTo() == axis.GetMax());
    for (int p = 0; p < pixelCnt && p < 4096; p += 1 + pixelCnt / 64) {
        bool a = false, b = false;
        Check(Same(axis.PixelToValue(p, &a, true), axis.PixelToValue(pixelCnt - 1 - p, &b, false)) && a == b);
        Check(!FiniteAxis(axis) || !a || std::isfinite(axis.PixelToValue(p, nullptr, false)));
    }
}

// A value maps to a pixel of the axis, mirrored or not, and inside a wide section back to within half a pixel.
void CheckMapping(const axisDefinition& axis, double value)
{
    bool shown = false, mirrored = false, valid = false;
    const int pixel = axis.ValueToPixel(value, &shown, false), pixelCnt = axis.GetPixelCnt();
    Check(pixel == -1 || (pixel >= 0 && pixel < pixelCnt));
    Check(axis.ValueToPixel(value, &mirrored, true) == (pixel == -1 ? -1 : pixelCnt - 1 - pixel));
    const int index = axis.InRange(value);
    if (!FiniteAxis(axis) || !shown || index < 0 || !std::isfinite(value)) return;
    const pixSection& s = axis.GetPixSection(index);
    if (std::fabs(value - s.GetFrom()) <= 1e-5 || std::fabs(value - s.GetTo()) <= 1e-5 || s.GetWidth() <= 3) return;
    const double back = axis.PixelToValue(pixel, &valid, false),
                 noise = 1e-12 * (std::fabs(s.GetFrom()) + std::fabs(s.GetTo()) + std::fabs(value));
    Check(valid && std::fabs(back - value) <= 0.5 * s.GetXUnitsForPixel() * (1 + 1e-9) + noise);
}

// Zooms, then walks one step back and forth through the history.
void CheckHistory(axisDefinition& axis, double min, double max)
{
    const double oldMin = axis.GetMin(), oldMax = axis.GetMax(), eps = std::numeric_limits<double>::epsilon();
    axis.zoom(min, max);
    if (std::fabs(min - oldMin) < eps && std::fabs(max - oldMax) < eps) return;
    Check(Same(axis.GetMin(), min) && Same(axis.GetMax(), max) && axis.UnDoAvailable());
    axis.UnDo(), Check(Same(axis.GetMin(), oldMin) && Same(axis.GetMax(), oldMax) && axis.ReDoAvailable());
    axis.ReDo(), Check(Same(axis.GetMin(), min) && Same(axis.GetMax(), max));
}

// Zoom factors beyond a million make the pixel shares of a rebuilt layout hang on the last bits of their
// products, so only finite sets with moderate factors are expected to round-trip.
bool ModerateSet(const AxisData& data)
{
    return std::all_of(data.m_Sections.begin(), data.m_Sections.end(), [](const section& s) {
        return std::isfinite(s.from) && std::isfinite(s.to) && std::fabs(s.factor) <= 1e6;
    });
}

// A parameter set rebuilds the same layout once it has been through one round.
void CheckParameterSet(const axisDefinition& axis)
{
    const AxisData set = axis.GetAxisDefinitionSet();
    if (!FiniteAxis(axis) || !ModerateSet(set)) return;
    axisDefinition first, second;
    first.ApplyAxisDefinitionSet(set);
    // The set of the freshly applied layout, read from its sections rather than the applied copy.
    first.SetCenterValue(first.GetCenterValue(), first.GetApplyCenterValue());
    const AxisData rebuilt = first.GetAxisDefinitionSet();
    if (!ModerateSet(rebuilt)) return;
    second.ApplyAxisDefinitionSet(rebuilt), Check(second.GetPixSections() == first.GetPixSections());
}

// No ticks and nothing written for non-finite input or a zero scale; finite ticks otherwise.
void CheckTicks(FuzzedDataProvider& in)
{
    const double min = AnyDouble(in), max = AnyDouble(in), scale = in.ConsumeBool() ? 1.0 : AnyDouble(in);
    const int fixedStep = in.ConsumeBool() ? -1 : in.ConsumeIntegral<int>();
    const auto ticks = in.ConsumeBool() ? axisDefinition::GetAxisValuesAzimuth : axisDefinition::GetAxisValuesLinear;
    double outMin = min, outMax = max, start = -7, step = -7, offset = -7;
    int subDivisions = -7, mode = -7, decimals = -7;
    const int count =
        ticks(&outMin, &outMax, &subDivisions, &mode, &decimals, &start, &step, &offset, 0, scale, fixedStep);
    const bool bad = !std::isfinite(min * scale) || !std::isfinite(max * scale) || !std::isfinite(scale);
    Check(count >= 0 && (count == 0 || !(bad || scale == 0.0)));
    Check(count == 0 ? Same(outMin, min) && Same(outMax, max) && start == -7 && step == -7 && offset == -7 &&
                           subDivisions == -7 && mode == -7 && decimals == -7
                     : std::isfinite(outMin) && std::isfinite(outMax) && std::isfinite(start) && std::isfinite(step) &&
                           step != 0 && offset == 0 && (mode == 1 || mode == 2) && decimals >= 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    axisDefinition axis;
    for (int op = 0, n = 0; op < 200 && in.remaining_bytes() > 0; ++op) {
        switch (in.ConsumeIntegralInRange(0, 15)) {
        case 0: // a fresh range starts a fresh history
            n = axis.init(AnyDouble(in), AnyDouble(in), in.ConsumeIntegral<short>());
            Check(n == 0 || (n == axis.GetSectionCnt() && !axis.UnDoAvailable() && !axis.ReDoAvailable()));
            break;
        case 1: in.ConsumeBool() ? axis.SetMin(NearRange(in, axis)) : axis.SetMax(NearRange(in, axis)); break;
        case 2: // the count is kept as 16 bits
            n = in.ConsumeIntegral<int>(), axis.SetPixelCnt(n), Check(axis.GetPixelCnt() == static_cast<short>(n));
            break;
        case 3: axis.AddFactor(NearRange(in, axis), NearRange(in, axis), AnyDouble(in), in.ConsumeBool()); break;
        case 4: axis.AddSkip(NearRange(in, axis), NearRange(in, axis), in.ConsumeBool()); break;
        case 5: axis.SetSkipSuppressRanges(in.ConsumeBool()); break;
        case 6: CheckHistory(axis, NearRange(in, axis), NearRange(in, axis)); break;
        case 7: {
            const double delta = AnyDouble(in);
            CheckHistory(axis, axis.GetMin() + delta, axis.GetMax() + delta);
            break;
        }
        case 8: in.ConsumeBool() ? axis.UnDo() : axis.ReDo(); break;
        case 9: in.ConsumeBool() ? axis.Linearize() : axis.ClearZoomSection(); break;
        case 10: {
            std::vector<pixSection> sections(in.ConsumeIntegralInRange(0, 6));
            for (pixSection& s : sections) {
                const double from = NearRange(in, axis),
                             to = in.ConsumeBool() ? from + std::fabs(AnyDouble(in)) : NearRange(in, axis);
                s = pixSection(from, to, AnyDouble(in));
            }
            in.ConsumeBool() ? axis.SetZoomSection(sections) : axis.SetSkipSection(sections);
            break;
        }
        case 11: {
            AxisData set;
            set.m_bSkipSuppressRanges = in.ConsumeBool();
            set.m_sPixelCnt =
                in.ConsumeBool() ? in.ConsumeIntegral<short>() : in.ConsumeIntegralInRange<short>(0, 2000);
            double from = NearRange(in, axis);
            for (int i = in.ConsumeIntegralInRange(0, 16); i > 0; --i) {
                const double to = in.ConsumeBool() ? from + std::fabs(AnyDouble(in)) : AnyDouble(in);
                set.m_Sections.emplace_back(from, to, AnyDouble(in));
                from = in.ConsumeBool() ? to : AnyDouble(in);
            }
            axis.ApplyAxisDefinitionSet(set);
            // The axis's own set changes nothing, unless NaN in it never compares equal. The reference aliases
            // the axis's cache, so it is read before the call.
            const AxisData& own = axis.GetAxisDefinitionSet();
            const bool comparable = std::none_of(own.m_Sections.begin(), own.m_Sections.end(),
                [](const section& s) { return std::isnan(s.from) || std::isnan(s.to) || std::isnan(s.factor); });
            Check(axis.ApplyAxisDefinitionSet(own) != comparable);
            break;
        }
        case 12: CheckParameterSet(axis); break;
        case 13: CheckTicks(in); break;
        case 14: axis.SetCenterValue(AnyDouble(in), in.ConsumeBool()); break;
        case 15: {
            const axisDefinition copy(axis);
            Check(copy.GetPixelCnt() == axis.GetPixelCnt() && Same(copy.GetMin(), axis.GetMin())), CheckLayout(copy);
            break;
        }
        }
        CheckLayout(axis);
        for (int i = 0; i < 4; ++i)
            CheckMapping(axis, NearRange(in, axis));
    }
    return 0;
}
