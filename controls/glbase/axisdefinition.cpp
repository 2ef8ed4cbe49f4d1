#include "axisdefinition.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

// Point sections divide by a zero span on purpose: their pixels-per-unit ratio
// is an IEEE infinity that nothing reads.
static_assert(std::numeric_limits<double>::is_iec559, "axis ratios rely on IEEE division");

namespace {

// Every fixed-width section is recognised by this width.
const int ciFixedWidth = 3;

// Tolerances with which a value snaps to a section end.
const double cdEndSnap = 1e-5;
const double cdLastEndSnap = 1e-8;

bool FitsInt(double value)
{
    return value > -2147483649.0 && value < 2147483648.0;
}

// Far outside any 16-bit axis, and still room to mirror a pixel without overflow.
const double cdPixelLimit = 1073741824.0;

// Truncates like a C cast, clamped to +-cdPixelLimit; NaN gives 0.
int PixelFromDouble(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -cdPixelLimit, cdPixelLimit));
}


// --- tick choice --------------------------------------------------------

struct TickCandidate
{
    double dMultiple;    // of the base step
    int iSubDivisions;   // minor intervals per step
};

const int ciCandidateCnt = 10;
using CandidateTable = TickCandidate[ciCandidateCnt];

const CandidateTable s_LinearCandidates = {
    {1, 10}, {2, 2}, {2.5, 5}, {5, 5}, {10, 10}, {20, 2}, {25, 5}, {50, 5}, {100, 10}, {200, 2}};
const CandidateTable s_AzimuthCandidates = {
    {1, 10}, {3, 10}, {5, 5}, {10, 5}, {15, 5}, {30, 2}, {45, 5}, {60, 5}, {90, 5}, {120, 2}};

// Tick counts in the order in which they look best.
const int s_PreferredCounts[] = {5, 6, 4, 7, 3, 2, 8, 9, 10, 11};

struct TickChoice
{
    double dMin = 0.0;
    double dMax = 0.0;
    double dStart = 0.0;
    double dStep = 0.0;
    int iSubDivisions = 0;
    int iMode = 0;
    int iDecimals = 0;
    int iCount = 0;
};

struct TickOutputs
{
    double* pdMin;
    double* pdMax;
    int* piSubDivisions;
    int* piMode;
    int* piDecimals;
    double* pdStart;
    double* pdStep;
    double* pdOffset;

    bool complete() const
    {
        return pdMin && pdMax && piSubDivisions && piMode && piDecimals && pdStart && pdStep && pdOffset;
    }
};

// The scaled range, or false where no tick can be computed from the inputs.
bool ScaledRange(const TickOutputs& out, double scale, double& min, double& max)
{
    if (!out.complete() || scale == 0.0 || !std::isfinite(scale))
        return false;
    min = *out.pdMin * scale;
    max = *out.pdMax * scale;
    return std::isfinite(min) && std::isfinite(max);
}

// Results are handed back in the caller's units on every successful path.
int Publish(const TickOutputs& out, double scale, const TickChoice& choice)
{
    *out.pdMin = choice.dMin / scale;
    *out.pdMax = choice.dMax / scale;
    *out.pdStart = choice.dStart / scale;
    *out.pdStep = choice.dStep / scale;
    *out.pdOffset = 0.0;
    *out.piSubDivisions = choice.iSubDivisions;
    *out.piMode = choice.iMode;
    *out.piDecimals = choice.iDecimals;
    return choice.iCount;
}

// Smallest multiple of step not below min. False where the tick index would
// not fit an int; that far from 0 the step is meaningless anyway.
bool FirstTick(double min, double step, double& first)
{
    const double index = (min - step) / step;
    if (!FitsInt(index))
        return false;
    double tick = static_cast<int>(index) * step;
    if (std::fabs(tick - min) > 5 * step)
        return false;
    // The index keeps the tick within a few steps of min, so these loops are short.
    if (min >= 0) {
        while (tick < min)
            tick += step;
    } else {
        while (tick > min)
            tick -= step;
        tick += step;
    }
    first = tick;
    return true;
}

int TickCount(double max, double first, double step)
{
    if (!(max - first > 0))
        return 0;
    const double count = (max - first) / step + 1;
    return FitsInt(count) ? static_cast<int>(count) : 0;
}

int PreferredCandidate(const int (&counts)[ciCandidateCnt])
{
    for (int preferred : s_PreferredCounts) {
        for (int k = 0; k < ciCandidateCnt; ++k) {
            if (counts[k] == preferred)
                return k;
        }
    }
    for (int k = 0; k < ciCandidateCnt; ++k) {
        if (counts[k] > 0)
            return k;
    }
    return -1;
}

// Decimals a label needs to show the step exactly; the exponent form has none.
int LabelDecimals(double step)
{
    const QString text = QString("%1").arg(step, 0, 'g', -1, QChar(' '));
    const int point = text.indexOf('.');
    if (!(step < 10.0) || point < 0)
        return 0;
    static const QRegularExpression s_nonZeroDigit("[1-9]{1,1}");
    const int lastSignificant = int(text.lastIndexOf(s_nonZeroDigit));
    return lastSignificant - point > 0 ? lastSignificant - point : 0;
}

bool AutomaticTicks(double min, double max, double base, const CandidateTable& table, TickChoice& choice)
{
    if (min >= max)
        return false;
    double firsts[ciCandidateCnt] = {};
    int counts[ciCandidateCnt] = {};
    for (int k = 0; k < ciCandidateCnt; ++k) {
        const double step = base * table[k].dMultiple;
        if (FirstTick(min, step, firsts[k]))
            counts[k] = TickCount(max, firsts[k], step);
    }
    const int k = PreferredCandidate(counts);
    if (k < 0)
        return false;
    choice.dMin = min;
    choice.dMax = max;
    choice.dStart = firsts[k];
    choice.dStep = base * table[k].dMultiple;
    choice.iSubDivisions = table[k].iSubDivisions;
    choice.iMode = 1;
    choice.iDecimals = LabelDecimals(choice.dStep);
    choice.iCount = counts[k];
    return true;
}

// The first tick is the smallest multiple of the step strictly above the
// minimum, for positive minima as for negative ones (a minimum of 0 is its
// own first tick); the ticks then start inside the range.
double FixedFirstTick(double min, double step)
{
    if (min == 0)
        return 0.0;
    return (std::floor(min / step) + 1) * step;
}

bool FixedStepTicks(double min, double max, int fixedStep, TickChoice& choice)
{
    const double step = fixedStep;
    const double start = FixedFirstTick(min, step);
    const double span = max - start;
    if (!FitsInt(span))
        return false;
    const double count = std::trunc(static_cast<int>(span) / step) + 1;
    // A maximum a whole step below the first tick is an empty range: no ticks, nothing written.
    if (!FitsInt(count) || count < 1)
        return false;
    choice.dMin = start;
    choice.dMax = max;
    choice.dStart = start;
    choice.dStep = step;
    choice.iMode = 2;
    choice.iCount = static_cast<int>(count);
    return true;
}

double LinearBase(double min, double max)
{
    return std::pow(10.0, std::floor(std::log10(max - min) - 1));
}

} // namespace

// ---------------------------------------------------------------------------
// section

section::section() : from(0.0), to(0.0), factor(0.0) {}

section::section(double from, double to, double factor) : from(from), to(to), factor(factor) {}

double section::getSpan() const
{
    return to - from;
}

double section::getVirtualSpan() const
{
    return (to - from) * factor;
}

bool section::operator==(const section& other) const
{
    return from == other.from && to == other.to && factor == other.factor;
}

bool section::operator!=(const section& other) const
{
    return !(*this == other);
}

// ---------------------------------------------------------------------------
// pixSection

const short pixSection::DISTANCE = 3;

pixSection::pixSection() : pixSection(0.0, 0.0, 0.0) {}

pixSection::pixSection(double from, double to, double factor)
    : m_dFrom(from), m_dTo(to), m_dFactor(factor), m_iWidth(0), m_iOffset(0),
      m_dPixelsForXUnit(0.0), m_dXUnitsForPixel(0.0)
{
}

double pixSection::GetFrom() const { return m_dFrom; }
void pixSection::SetFrom(double from) { m_dFrom = from; }
double pixSection::GetTo() const { return m_dTo; }
void pixSection::SetTo(double to) { m_dTo = to; }
double pixSection::GetFactor() const { return m_dFactor; }
void pixSection::SetFactor(double factor) { m_dFactor = factor; }
double pixSection::GetWidth() const { return m_iWidth; }
void pixSection::SetWidth(int width) { m_iWidth = width; }
int pixSection::GetOffset() const { return m_iOffset; }
void pixSection::SetOffset(int offset) { m_iOffset = offset; }
double pixSection::GetPixelsForXUnit() const { return m_dPixelsForXUnit; }
void pixSection::SetPixelsForXUnit(double pixelsForXUnit) { m_dPixelsForXUnit = pixelsForXUnit; }
double pixSection::GetXUnitsForPixel() const { return m_dXUnitsForPixel; }
void pixSection::SetXUnitsForPixel(double xUnitsForPixel) { m_dXUnitsForPixel = xUnitsForPixel; }

int pixSection::ValueToPixel(double value) const
{
    return PixelFromDouble(std::floor((value - m_dFrom) * m_dPixelsForXUnit + m_iOffset + 0.5));
}

double pixSection::PixelToValue(int pixel) const
{
    const int d = pixel - m_iOffset;
    if (m_iWidth == ciFixedWidth || d < 1)
        return m_dFrom;
    if (d < m_iWidth)
        return d * m_dXUnitsForPixel + m_dFrom;
    return m_dTo;
}

bool pixSection::PixInRange(int pixel) const
{
    return m_iOffset <= pixel && pixel <= m_iOffset + m_iWidth;
}

bool pixSection::operator<(const pixSection& other) const
{
    return m_dFrom < other.m_dFrom;
}

bool pixSection::operator==(const pixSection& other) const
{
    return m_dFrom == other.m_dFrom && m_dTo == other.m_dTo && m_dFactor == other.m_dFactor
        && m_iWidth == other.m_iWidth && m_iOffset == other.m_iOffset
        && m_dPixelsForXUnit == other.m_dPixelsForXUnit && m_dXUnitsForPixel == other.m_dXUnitsForPixel;
}

// A NaN factor is treated like a skipped range, so that it gets a defined layout.
bool pixSection::HasPositiveFactor() const
{
    return m_dFactor > 0;
}

short pixSection::FixedPixelWidth(bool skipSuppress) const
{
    if (m_dFrom == m_dTo || (!HasPositiveFactor() && skipSuppress))
        return ciFixedWidth;
    return 0;
}

double pixSection::VirtualValueWidth(bool skipSuppress) const
{
    if (m_dFrom == m_dTo)
        return 0.0;
    if (HasPositiveFactor())
        return (m_dTo - m_dFrom) * m_dFactor;
    if (skipSuppress)
        return 0.0;
    return m_dTo - m_dFrom;
}

int pixSection::calcPixWidth(bool skipSuppress, double totalVirtualWidth, double pixelCount)
{
    if ((!HasPositiveFactor() && skipSuppress) || m_dFrom == m_dTo) {
        m_iWidth = ciFixedWidth;
    } else {
        // An infinite span shares out as NaN; such a section gets no pixels.
        const double share = VirtualValueWidth(skipSuppress) / totalVirtualWidth * pixelCount;
        m_iWidth = FitsInt(share) ? static_cast<int>(share) : 0;
    }
    m_dPixelsForXUnit = (m_iWidth - 1) / (m_dTo - m_dFrom);
    m_dXUnitsForPixel = (m_dTo - m_dFrom) / (m_iWidth - 1);
    return m_iWidth;
}

// ---------------------------------------------------------------------------
// AxisData

AxisData::AxisData() : m_bSkipSuppressRanges(false), m_sPixelCnt(0) {}

AxisData::AxisData(const AxisData& other) = default;

AxisData::AxisData(AxisData&& other) noexcept
    : m_Sections(std::move(other.m_Sections)), m_bSkipSuppressRanges(other.m_bSkipSuppressRanges),
      m_sPixelCnt(other.m_sPixelCnt)
{
    other.m_Sections.clear();
}

AxisData& AxisData::operator=(const AxisData& other) = default;

AxisData& AxisData::operator=(AxisData&& other) noexcept
{
    if (this != &other) {
        m_Sections = std::move(other.m_Sections);
        other.m_Sections.clear();
        m_bSkipSuppressRanges = other.m_bSkipSuppressRanges;
        m_sPixelCnt = other.m_sPixelCnt;
    }
    return *this;
}

AxisData::~AxisData() = default;

bool AxisData::operator==(const AxisData& other) const
{
    return m_bSkipSuppressRanges == other.m_bSkipSuppressRanges && m_sPixelCnt == other.m_sPixelCnt
        && m_Sections == other.m_Sections;
}

bool AxisData::operator!=(const AxisData& other) const
{
    return !(*this == other);
}

// ---------------------------------------------------------------------------
// axisDefinition: construction, comparison, copy

axisDefinition::axisDefinition()
    : m_iActionFrom(0), m_iActionTo(0), m_eActionMode(AxisMouseNone), m_bDirty(true),
      m_bSkipSuppressRanges(false), m_dMin(0.0), m_dMax(1.0), m_sPixelCnt(10), m_bLegendVisible(true),
      m_bGridVisible(true), m_bVisible(true), m_bXType(true), m_iGridExtent(-1), m_iLabelHeight(20),
      m_dCenterValue(0.0),
      m_bApplyCenterValue(false), m_bAxisDataValid(false), m_bDrawButtons(false)
{
    init(0.0, 1.0, -1);
}

axisDefinition::axisDefinition(const axisDefinition& other) : axisDefinition()
{
    *this = other;
}

axisDefinition::~axisDefinition() = default;

void axisDefinition::operator=(const axisDefinition& other)
{
    m_vZoomSections = other.m_vZoomSections;
    m_vSkipSections = other.m_vSkipSections;
    m_dMin = other.m_dMin;
    m_dMax = other.m_dMax;
    m_sPixelCnt = other.m_sPixelCnt;
    m_bSkipSuppressRanges = other.m_bSkipSuppressRanges;
    m_bVisible = other.m_bVisible;
    m_iLabelHeight = other.m_iLabelHeight;
    m_pStringFormatter = other.m_pStringFormatter;
    m_vTicks = other.m_vTicks;
    m_iActionFrom = other.m_iActionFrom;
    m_iActionTo = other.m_iActionTo;
    m_eActionMode = other.m_eActionMode;
    m_bXType = other.m_bXType;
    m_dCenterValue = other.m_dCenterValue;
    m_bApplyCenterValue = other.m_bApplyCenterValue;
    m_bLegendVisible = other.m_bLegendVisible;
    m_bGridVisible = other.m_bGridVisible;
    m_bDrawButtons = other.m_bDrawButtons;
    invalidate();
    recalc();
}

bool axisDefinition::operator==(const axisDefinition& other) const
{
    return m_vZoomSections == other.m_vZoomSections && m_vSkipSections == other.m_vSkipSections
        && m_dMin == other.m_dMin && m_dMax == other.m_dMax && m_sPixelCnt == other.m_sPixelCnt
        && m_bSkipSuppressRanges == other.m_bSkipSuppressRanges && m_bVisible == other.m_bVisible
        && m_iGridExtent == other.m_iGridExtent && m_iActionFrom == other.m_iActionFrom
        && m_iActionTo == other.m_iActionTo && m_eActionMode == other.m_eActionMode
        && m_bXType == other.m_bXType && m_dCenterValue == other.m_dCenterValue
        && m_bApplyCenterValue == other.m_bApplyCenterValue && m_bLegendVisible == other.m_bLegendVisible
        && m_bGridVisible == other.m_bGridVisible && m_bDrawButtons == other.m_bDrawButtons;
}

bool axisDefinition::operator!=(const axisDefinition& other) const
{
    return !(*this == other);
}

// ---------------------------------------------------------------------------
// axisDefinition: range and layout

int axisDefinition::init(double min, double max, short pixelCnt)
{
    const short newPixelCnt = pixelCnt == -1 ? m_sPixelCnt : pixelCnt;
    if (m_vPixSections.size() == 1 && min == m_dMin && max == m_dMax && newPixelCnt == m_sPixelCnt)
        return 0;
    m_UndoStack.clear();
    m_RedoStack.clear();
    m_dMin = min;
    m_dMax = max;
    m_sPixelCnt = newPixelCnt;
    invalidate();
    recalc();
    return GetSectionCnt();
}

void axisDefinition::SetMin(double min)
{
    m_dMin = min;
    invalidate();
    recalc();
}

void axisDefinition::SetMax(double max)
{
    m_dMax = max;
    invalidate();
    recalc();
}

double axisDefinition::GetMin(int section) const
{
    return section == -1 ? m_dMin : SectionAt(section).GetFrom();
}

double axisDefinition::GetMax(int section) const
{
    return section == -1 ? m_dMax : SectionAt(section).GetTo();
}

void axisDefinition::SetPixelCnt(int pixelCnt)
{
    if (pixelCnt == GetPixelCnt())
        return;
    m_sPixelCnt = static_cast<short>(pixelCnt);
    invalidate();
    recalc();
}

int axisDefinition::GetPixelCnt() const
{
    return m_sPixelCnt;
}

bool axisDefinition::RangeValid(double from, double to) const
{
    return from < to && to > m_dMin && from < m_dMax;
}

bool axisDefinition::valid() const
{
    return m_vBasePoints.size() >= 2;
}

void axisDefinition::recalc()
{
    if (!m_bDirty)
        return;
    CollectBasePoints();
    BuildSections();
    m_bDirty = false;
    LayOutSections();
}

void axisDefinition::RebuildSections() {}

void axisDefinition::invalidate()
{
    m_bDirty = true;
    m_iGridExtent = -1;
    m_bAxisDataValid = false;
}

void axisDefinition::CollectBasePoints()
{
    m_vBasePoints.clear();
    m_vBasePoints.push_back(m_dMin);
    auto addInside = [this](double point) {
        if (m_dMin < point && point < m_dMax)
            m_vBasePoints.push_back(point);
    };
    for (const pixSection& skip : m_vSkipSections) {
        addInside(skip.m_dFrom);
        addInside(skip.m_dTo);
    }
    for (const pixSection& zoomSection : m_vZoomSections) {
        addInside(zoomSection.m_dFrom);
        addInside(zoomSection.m_dTo);
    }
    m_vBasePoints.push_back(m_dMax);
    // Only the two bounds can be NaN here, and two elements sort safely.
    std::sort(m_vBasePoints.begin(), m_vBasePoints.end());
}

void axisDefinition::BuildSections()
{
    m_vPixSections.clear();
    for (size_t i = 1; i < m_vBasePoints.size(); ++i) {
        const double a = m_vBasePoints[i - 1];
        const double b = m_vBasePoints[i];
        const double factor = GetFactor(a, b);
        if (!m_vPixSections.empty()) {
            pixSection& last = m_vPixSections.back();
            if (factor == last.m_dFactor) {
                last.m_dTo = b;
                continue;
            }
            // Neighbouring stretches of different factors are kept apart visibly.
            if (last.m_dFactor > 0 && factor > 0)
                m_vPixSections.emplace_back(a, a, 0.0);
        }
        m_vPixSections.emplace_back(a, b, factor);
    }
}

void axisDefinition::LayOutSections()
{
    double total = 0.0;
    int fixedPixels = 0;
    for (const pixSection& s : m_vPixSections) {
        total += s.VirtualValueWidth(m_bSkipSuppressRanges);
        fixedPixels += s.FixedPixelWidth(m_bSkipSuppressRanges);
    }
    // The pixel count is a 16-bit quantity; so is what is left of it.
    const short available = static_cast<short>(m_sPixelCnt - fixedPixels);
    if (!(total > 0) || available <= 0)
        return;
    int offset = 0;
    for (pixSection& s : m_vPixSections) {
        s.m_iOffset = offset;
        offset += s.calcPixWidth(m_bSkipSuppressRanges, total, available);
    }
}

// ---------------------------------------------------------------------------
// axisDefinition: sections

const pixSection& axisDefinition::SectionAt(int index) const
{
    static const pixSection s_NoSection;
    if (index < 0 || index >= GetSectionCnt())
        return s_NoSection;
    return m_vPixSections[static_cast<size_t>(index)];
}

int axisDefinition::GetSectionCnt() const
{
    return static_cast<int>(m_vPixSections.size());
}

const pixSection& axisDefinition::GetPixSection(int index) const
{
    return SectionAt(index);
}

const std::vector<pixSection>& axisDefinition::GetPixSections() const
{
    return m_vPixSections;
}

int axisDefinition::GetStartPix(int index) const
{
    return SectionAt(index).m_iOffset;
}

int axisDefinition::GetStopPix(int index) const
{
    const pixSection& s = SectionAt(index);
    return s.m_iOffset + s.m_iWidth;
}

double axisDefinition::GetPixelsForXUnit(int index) const
{
    return SectionAt(index).m_dPixelsForXUnit;
}

double axisDefinition::GetXUnitsForPixel(int index) const
{
    return SectionAt(index).m_dXUnitsForPixel;
}

std::vector<double> axisDefinition::GetBasePoints() const
{
    return m_vBasePoints;
}

double axisDefinition::GetFactor(double value) const
{
    for (const pixSection& skip : m_vSkipSections) {
        if (skip.m_dFrom < value && value < skip.m_dTo)
            return 0.0;
    }
    double factor = 1.0;
    for (const pixSection& zoomSection : m_vZoomSections) {
        if (zoomSection.m_dFrom <= value && value <= zoomSection.m_dTo)
            factor *= zoomSection.m_dFactor;
    }
    return factor;
}

double axisDefinition::GetFactor(double from, double to) const
{
    return GetFactor((to - from) * 0.5 + from);
}

// ---------------------------------------------------------------------------
// axisDefinition: mapping

int axisDefinition::Mirror(int pixel) const
{
    return GetPixelCnt() - pixel - 1;
}

int axisDefinition::InRange(double value) const
{
    if (m_sPixelCnt < 1 || value < m_dMin || value > m_dMax)
        return -1;
    for (int i = 0; i < GetSectionCnt(); ++i) {
        const pixSection& s = m_vPixSections[static_cast<size_t>(i)];
        if (s.m_dFrom <= value && value < s.m_dTo) {
            // The start of a skipped range is the end of the range before it.
            const bool startsSkip = value == s.m_dFrom && i != 0 && !s.HasPositiveFactor();
            return startsSkip ? i - 1 : i;
        }
    }
    if (!m_vPixSections.empty() && std::fabs(value - m_vPixSections.back().m_dTo) < cdLastEndSnap)
        return GetSectionCnt() - 1;
    return -1;
}

int axisDefinition::ValueToPixel(double value, bool* inRange, bool reverse) const
{
    bool unused = false;
    bool& shown = inRange ? *inRange : unused;
    const int index = InRange(value);
    shown = index != -1;
    if (index == -1)
        return -1;
    const pixSection& s = m_vPixSections[static_cast<size_t>(index)];
    int pixel;
    if (std::fabs(s.m_dFrom - value) < cdEndSnap)
        pixel = s.m_iOffset;
    else if (std::fabs(s.m_dTo - value) < cdEndSnap)
        pixel = s.m_iOffset + s.m_iWidth;
    else
        pixel = s.ValueToPixel(value);
    if (!s.HasPositiveFactor())
        shown = false;
    if (reverse)
        pixel = Mirror(pixel);
    const int pixelCnt = GetPixelCnt();
    // The maximum ends on the first pixel after the axis; it is shown on the last.
    if (pixel == pixelCnt)
        return pixelCnt - 1;
    if (pixel > pixelCnt) {
        shown = false;
        return pixelCnt - 1;
    }
    if (pixel < 0) {
        shown = false;
        return 0;
    }
    return pixel;
}

double axisDefinition::PixelToValue(int pixel, bool* valid, bool reverse) const
{
    bool unused = false;
    bool& found = valid ? *valid : unused;
    found = false;
    if (pixel < 0 || pixel > GetPixelCnt())
        return -1.0;
    const int p = reverse ? Mirror(pixel) : pixel;
    found = true;
    // At a shared boundary the later section wins.
    for (auto s = m_vPixSections.rbegin(); s != m_vPixSections.rend(); ++s) {
        if (s->PixInRange(p))
            return s->PixelToValue(p);
    }
    found = false;
    return -1.0;
}

bool axisDefinition::RangeToPixel(double from, double to, int& pixFrom, int& pixTo, bool reverse) const
{
    pixFrom = 0;
    pixTo = 0;
    const int index = InRange((to - from) * 0.5 + from);
    if (index != -1) {
        const pixSection& s = m_vPixSections[static_cast<size_t>(index)];
        if (std::fabs(s.m_dFrom - from) < cdEndSnap && std::fabs(s.m_dTo - to) < cdEndSnap) {
            pixFrom = reverse ? Mirror(s.m_iOffset) : s.m_iOffset;
            const int stop = s.m_iOffset + s.m_iWidth;
            pixTo = reverse ? Mirror(stop) : stop;
            return true;
        }
    }
    bool result = true;
    bool ok = false;
    pixFrom = ValueToPixel(from, &ok, false);
    if (!ok) {
        if (from < m_dMin)
            pixFrom = 0;
        else
            result = false;
    }
    pixTo = ValueToPixel(to, &ok, false);
    if (!ok) {
        if (to > m_dMax)
            pixTo = GetPixelCnt() - 1;
        else
            result = false;
    }
    if (reverse) {
        pixFrom = Mirror(pixFrom);
        pixTo = Mirror(pixTo);
    }
    return result;
}

// ---------------------------------------------------------------------------
// axisDefinition: zoom and skip sections

void axisDefinition::AddFactor(double from, double to, double factor, bool recalcNow)
{
    if (RangeValid(from, to))
        m_vZoomSections.emplace_back(from, to, factor);
    invalidate();
    if (recalcNow)
        recalc();
}

std::vector<pixSection> axisDefinition::GetZoomSection() const
{
    return m_vZoomSections;
}

void axisDefinition::SetZoomSection(std::vector<pixSection> sections)
{
    m_vZoomSections = std::move(sections);
    invalidate();
    recalc();
}

void axisDefinition::ClearZoomSection()
{
    m_vZoomSections.clear();
    invalidate();
    recalc();
}

bool axisDefinition::LinearizeAvailable() const
{
    return GetSectionCnt() > 1;
}

void axisDefinition::Linearize()
{
    m_vZoomSections.clear();
    m_vSkipSections.clear();
    invalidate();
    recalc();
}

void axisDefinition::AddSkip(double from, double to, bool recalcNow)
{
    if (RangeValid(from, to))
        m_vSkipSections.emplace_back(from, to, 0.0);
    invalidate();
    if (recalcNow)
        recalc();
}

std::vector<pixSection> axisDefinition::GetSkipSection() const
{
    return m_vSkipSections;
}

void axisDefinition::SetSkipSection(std::vector<pixSection> sections)
{
    m_vSkipSections = std::move(sections);
    invalidate();
    recalc();
}

bool axisDefinition::GetSkipSuppressRanges() const
{
    return m_bSkipSuppressRanges;
}

void axisDefinition::SetSkipSuppressRanges(bool suppress)
{
    m_bSkipSuppressRanges = suppress;
    invalidate();
    recalc();
}

// ---------------------------------------------------------------------------
// axisDefinition: zoom history

void axisDefinition::Do(double min, double max, bool toUndo)
{
    const double epsilon = std::numeric_limits<double>::epsilon();
    if (std::fabs(min - m_dMin) < epsilon && std::fabs(max - m_dMax) < epsilon)
        return;
    (toUndo ? m_UndoStack : m_RedoStack).emplace_back(m_dMin, m_dMax);
    m_dMin = min;
    m_dMax = max;
    invalidate();
    recalc();
}

void axisDefinition::zoom(double min, double max)
{
    Do(min, max, true);
}

void axisDefinition::move(double delta)
{
    Do(m_dMin + delta, m_dMax + delta, true);
}

void axisDefinition::UnDo()
{
    if (m_UndoStack.empty())
        return;
    const UndoStep step = m_UndoStack.back();
    Do(step.first, step.second, false);
    m_UndoStack.pop_back();
}

void axisDefinition::ReDo()
{
    if (m_RedoStack.empty())
        return;
    const UndoStep step = m_RedoStack.back();
    Do(step.first, step.second, true);
    m_RedoStack.pop_back();
}

bool axisDefinition::UnDoAvailable() const
{
    return !m_UndoStack.empty();
}

bool axisDefinition::ReDoAvailable() const
{
    return !m_RedoStack.empty();
}

// ---------------------------------------------------------------------------
// axisDefinition: parameter sets

const AxisData& axisDefinition::GetAxisDefinitionSet() const
{
    if (m_bAxisDataValid)
        return m_AxisDataCache;
    m_AxisDataCache.m_bSkipSuppressRanges = m_bSkipSuppressRanges;
    m_AxisDataCache.m_sPixelCnt = m_sPixelCnt;
    m_AxisDataCache.m_Sections.clear();
    for (const pixSection& s : m_vPixSections)
        m_AxisDataCache.m_Sections.emplace_back(s.m_dFrom, s.m_dTo, s.m_dFactor);
    m_bAxisDataValid = true;
    return m_AxisDataCache;
}

bool axisDefinition::ApplyAxisDefinitionSet(const AxisData& data)
{
    if (GetAxisDefinitionSet() == data)
        return false;
    m_vZoomSections.clear();
    m_vSkipSections.clear();
    m_vPixSections.clear();
    invalidate();
    m_AxisDataCache = data;
    m_bAxisDataValid = true;
    m_bSkipSuppressRanges = data.m_bSkipSuppressRanges;
    m_sPixelCnt = data.m_sPixelCnt;
    for (size_t i = 0; i < data.m_Sections.size(); ++i) {
        const section& s = data.m_Sections[i];
        if (i == 0) {
            m_dMin = s.from;
            m_dMax = s.from;
        }
        if (s.to > m_dMax)
            m_dMax = s.to;
        // Separators are dropped: the layout pass puts them back.
        if (s.factor < 0 || !(s.from < s.to && m_dMin < s.to && s.from < m_dMax))
            continue;
        if (s.factor == 0)
            m_vSkipSections.emplace_back(s.from, s.to, 0.0);
        else
            m_vZoomSections.emplace_back(s.from, s.to, s.factor);
        invalidate();
    }
    recalc();
    return true;
}

// ---------------------------------------------------------------------------
// axisDefinition: presentation state

std::vector<int> axisDefinition::GetGridPos() const
{
    std::vector<int> pixels;
    pixels.reserve(m_vTicks.size());
    for (const AxisTick& tick : m_vTicks)
        pixels.push_back(tick.m_iPixel);
    return pixels;
}

void axisDefinition::InvalidateGrid()
{
    m_iGridExtent = -1;
}

void axisDefinition::SetCenterValue(double value, bool apply)
{
    m_dCenterValue = value;
    m_bApplyCenterValue = apply;
    invalidate();
}

double axisDefinition::GetCenterValue() const
{
    return m_dCenterValue;
}

bool axisDefinition::GetApplyCenterValue() const
{
    return m_bApplyCenterValue;
}

bool axisDefinition::getXType() const
{
    return m_bXType;
}

void axisDefinition::setXType(bool xType)
{
    m_bXType = xType;
}

std::shared_ptr<IStringFormatter> axisDefinition::GetStringFormatter() const
{
    return m_pStringFormatter;
}

void axisDefinition::SetStringFormatter(std::shared_ptr<IStringFormatter> formatter)
{
    m_pStringFormatter = std::move(formatter);
}

void axisDefinition::setVisualizeAction(int from, int to, AxisMouseMode mode)
{
    m_iActionFrom = from;
    m_iActionTo = to;
    m_eActionMode = mode;
}

void axisDefinition::SetDrawButtons(bool drawButtons)
{
    m_bDrawButtons = drawButtons;
}

void axisDefinition::SetGridVisible(bool visible)
{
    m_bGridVisible = visible;
}

void axisDefinition::SetLegendVisible(bool visible)
{
    m_bLegendVisible = visible;
}

void axisDefinition::setVisible(bool visible)
{
    m_bVisible = visible;
}

bool axisDefinition::visible() const
{
    return m_bVisible;
}

const QString& axisDefinition::name() const
{
    return m_sName;
}

QString axisDefinition::StartString() const
{
    return m_sStartString;
}

QString axisDefinition::StopString() const
{
    return m_sStopString;
}

// ---------------------------------------------------------------------------
// axisDefinition: ticks

int axisDefinition::GetAxisValuesLinear(double* pdMin, double* pdMax, int* piSubDivisions, int* piMode,
                                        int* piDecimals, double* pdStart, double* pdStep, double* pdOffset,
                                        int /*iReserved*/, double dScale, int iFixedStep)
{
    const TickOutputs out{pdMin, pdMax, piSubDivisions, piMode, piDecimals, pdStart, pdStep, pdOffset};
    double min = 0.0;
    double max = 0.0;
    if (!ScaledRange(out, dScale, min, max))
        return 0;
    TickChoice choice;
    const bool found = iFixedStep >= 1 ? FixedStepTicks(min, max, iFixedStep, choice)
                                       : AutomaticTicks(min, max, LinearBase(min, max), s_LinearCandidates, choice);
    return found ? Publish(out, dScale, choice) : 0;
}

int axisDefinition::GetAxisValuesAzimuth(double* pdMin, double* pdMax, int* piSubDivisions, int* piMode,
                                         int* piDecimals, double* pdStart, double* pdStep, double* pdOffset,
                                         int /*iReserved*/, double dScale, int /*iFixedStep*/)
{
    const TickOutputs out{pdMin, pdMax, piSubDivisions, piMode, piDecimals, pdStart, pdStep, pdOffset};
    double min = 0.0;
    double max = 0.0;
    if (!ScaledRange(out, dScale, min, max))
        return 0;
    TickChoice choice;
    // Angles need no base: the degree steps are absolute.
    const bool found = AutomaticTicks(min, max, 1.0, s_AzimuthCandidates, choice);
    return found ? Publish(out, dScale, choice) : 0;
}
