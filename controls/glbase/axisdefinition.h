#ifndef AXISDEFINITION_H
#define AXISDEFINITION_H

#include "glbase_export.h"
#include "igldrawobject.h"
#include "ihmap.h"
#include "istringformatter.h"

#include <QColor>
#include <QFont>
#include <QPen>
#include <QString>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

/// \file
/// The axis of a plot panel and the records in which axes exchange their layout.

/// A value range with a stretch factor: 1 is linear, above 1 widens the range
/// on screen, 0 marks a skipped range. The unit in which axes exchange their
/// parameters (AxisData).
struct GLBASE_EXPORT section
{
    double from; ///< First value.
    double to; ///< Last value.
    double factor; ///< Stretch factor: 1 linear, above 1 wider, 0 skipped (or a separator).

    /// All three fields 0.
    section();
    /// The given range and factor, unchecked.
    section(double from, double to, double factor);

    double getSpan() const;         ///< to - from
    double getVirtualSpan() const;  ///< (to - from) * factor
    /// All three fields equal; a NaN field never compares equal.
    bool operator==(const section& other) const;
    /// Not operator==.
    bool operator!=(const section& other) const;
};

/// A section placed on the pixel row of an axis: its width, its first pixel and
/// the two conversion ratios inside it. A section whose from equals its to is a
/// point section, a visual separator of fixed width DISTANCE.
class GLBASE_EXPORT pixSection
{
public:
    /// Width in pixels of every fixed-width section: a point separator, or a
    /// skipped range while skipped ranges are suppressed.
    static const short DISTANCE;

    /// An empty section: all fields 0.
    pixSection();
    /// A section of the given range and factor, not yet placed: width, offset and ratios 0.
    pixSection(double from, double to, double factor);

    /// First value.
    double GetFrom() const;
    /// Sets the first value; the axis does not lay out again.
    void SetFrom(double from);
    /// Last value.
    double GetTo() const;
    /// Sets the last value; the axis does not lay out again.
    void SetTo(double to);
    /// A factor of 0 or less (or NaN) claims no value width.
    double GetFactor() const;
    /// Sets the stretch factor; the axis does not lay out again.
    void SetFactor(double factor);
    /// Width in pixels, as set by the last layout pass.
    double GetWidth() const;
    /// Sets the width in pixels.
    void SetWidth(int width);
    /// First pixel of the section on the axis.
    int GetOffset() const;
    /// Sets the first pixel.
    void SetOffset(int offset);
    /// Pixels per value unit inside the section.
    double GetPixelsForXUnit() const;
    /// Sets the pixels per value unit.
    void SetPixelsForXUnit(double pixelsForXUnit);
    /// Value units per pixel inside the section.
    double GetXUnitsForPixel() const;
    /// Sets the value units per pixel.
    void SetXUnitsForPixel(double xUnitsForPixel);

    /// Rounded pixel of a value by this section's ratio; no range check
    /// (results beyond +-2^30 are clamped, NaN gives 0).
    int ValueToPixel(double value) const;
    /// Value at a pixel: from before the second pixel and for any section of
    /// width 3, to at or beyond the width.
    double PixelToValue(int pixel) const;
    /// True for offset <= pixel <= offset + width: the first pixel of the next
    /// section counts as well.
    bool PixInRange(int pixel) const;
    /// Orders sections by their first value.
    bool operator<(const pixSection& other) const;
    /// All seven fields equal.
    bool operator==(const pixSection& other) const;

private:
    friend class axisDefinition;

    bool HasPositiveFactor() const;
    /// Pixels the section takes before the proportional share is computed.
    short FixedPixelWidth(bool skipSuppress) const;
    /// Value width the section claims in the proportional share.
    double VirtualValueWidth(bool skipSuppress) const;
    /// Sets and returns the width for a share of pixelCount, and the ratios.
    int calcPixWidth(bool skipSuppress, double totalVirtualWidth, double pixelCount);

    double m_dFrom;
    double m_dTo;
    double m_dFactor;
    int m_iWidth;
    int m_iOffset;
    double m_dPixelsForXUnit;
    double m_dXUnitsForPixel;
};

/// The complete description of an axis: its partition into sections (with the
/// separators), its skip-suppress flag and its pixel count. Read it from one
/// axis and apply it to another, or hand it to the drawing code.
class GLBASE_EXPORT AxisData
{
public:
    /// No sections, flag off, pixel count 0.
    AxisData();
    /// A copy of other.
    AxisData(const AxisData& other);
    /// The source keeps its flag and pixel count but loses its sections.
    AxisData(AxisData&& other) noexcept;
    /// Copies other.
    AxisData& operator=(const AxisData& other);
    /// Takes the sections of other, which keeps its flag and pixel count.
    AxisData& operator=(AxisData&& other) noexcept;
    ~AxisData();

    /// Flag, pixel count and every section equal.
    bool operator==(const AxisData& other) const;
    /// Not operator==.
    bool operator!=(const AxisData& other) const;

    /// The sections in value order, separators (from equal to to) included.
    std::vector<section> m_Sections;
    /// Skipped ranges take pixSection::DISTANCE pixels instead of a linear share.
    bool m_bSkipSuppressRanges;
    /// Number of pixels the axis spans.
    short m_sPixelCnt;
};

/// Kind of mouse action an axis is showing; the values are the interface.
enum AxisMouseMode
{
    AxisMouseNone = 0, ///< no feedback
    AxisMouseZoom = 1, ///< the span being zoomed to, between two lines at from and to
    AxisMouseMove = 2, ///< an arrow from from to to
    AxisMouseLeftButton = 3, ///< the left arrow button drawn pressed
    AxisMouseRightButton = 4 ///< the right arrow button drawn pressed
};

/// A tick or legend text placed by the last draw of an axis.
struct GLBASE_EXPORT AxisTick
{
    /// A start or stop legend text rather than a tick.
    bool m_bLegend;
    /// The text drawn; empty for an unlabelled tick.
    QString m_sText;
    /// x at which the text starts.
    int m_iLabelPos;
    int m_iPixel;  ///< -1 for legend texts
};

/// The axis of a plot panel: maps [minimum, maximum] onto a row of pixels, with
/// zoom sections stretched by a factor and skip sections left out, keeps an
/// undo/redo history of its range and chooses nice tick values.
///
/// The layout is cached: every setter invalidates it, and setters that say so
/// lay the axis out again at once. Setters that do not (AddFactor and AddSkip
/// with recalcNow false, SetCenterValue) leave the mapping on the old layout
/// until a later setter runs the layout pass.
///
/// The axis draws itself into a plot panel (see the drawing section below). Its colours come from
/// the process-wide colour handler (GLFrameWidget::setColorHandler): 121 grid lines, 126 texts and
/// buttons in window type 2, 131 texts and 132 text background in other window types. Without a
/// handler every one of them is opaque black.
class GLBASE_EXPORT axisDefinition : public IHMap, public IGLDrawObject
{
public:
    /// x at which the tick labels of a vertical axis end (they are right-aligned to it).
    static const int s_YAxisLeftAlign;

    /// A new axis shows [0, 1] on 10 pixels.
    axisDefinition();
    /// A default axis with operator= applied: the history starts empty.
    axisDefinition(const axisDefinition& other);
    ~axisDefinition() override;

    /// Copies range, pixel count, zoom and skip sections, flags, action, center
    /// value and formatter, then lays out; the target keeps its own history.
    void operator=(const axisDefinition& other);
    /// Compares the sections added, range, pixel count and flags; not the
    /// formatter, the history or the computed layout.
    bool operator==(const axisDefinition& other) const;
    /// Not operator==.
    bool operator!=(const axisDefinition& other) const;

    // --- range and layout ---------------------------------------------------
    /// Sets the range and pixel count (-1 keeps the count) and clears the
    /// history. Returns 0 when a linear axis already had these values, else
    /// the number of pixel sections.
    int init(double min, double max, short pixelCnt);
    /// Set one bound and lay out; no check against the other bound.
    void SetMin(double min);
    /// Sets the upper bound and lays out; no check against the lower bound.
    void SetMax(double max);
    /// The axis bound for -1, else the first / last value of that section.
    double GetMin(int section = -1) const;
    /// The upper axis bound for -1, else the last value of that section.
    double GetMax(int section = -1) const;
    /// Stores the low 16 bits of pixelCnt and lays out, unless it is unchanged.
    void SetPixelCnt(int pixelCnt) override;
    int GetPixelCnt() const override;
    /// True when [from, to] is ascending and overlaps the axis range.
    bool RangeValid(double from, double to) const;
    /// True once a layout pass has produced its base points.
    bool valid() const;

    // --- pixel sections -------------------------------------------------
    // Index accessors read an all-zero section for an index outside
    // [0, GetSectionCnt()).
    /// Number of pixel sections, separators included.
    int GetSectionCnt() const override;
    /// The pixel section at index; an all-zero one outside [0, GetSectionCnt()).
    const pixSection& GetPixSection(int index) const;
    /// All pixel sections of the last layout pass, in pixel order.
    const std::vector<pixSection>& GetPixSections() const;
    /// First pixel of a section, and the first pixel after it.
    int GetStartPix(int index) const;
    /// The first pixel after section index.
    int GetStopPix(int index) const;
    /// Pixels per value unit of section index.
    double GetPixelsForXUnit(int index) const override;
    /// Value units per pixel of section index.
    double GetXUnitsForPixel(int index) const override;
    /// Sorted section boundaries of the last layout pass.
    std::vector<double> GetBasePoints() const;
    /// 0 strictly inside a skip section, else the product of the factors of
    /// all zoom sections that hold the value (ends included).
    double GetFactor(double value) const;
    /// The factor at the midpoint of [from, to].
    double GetFactor(double from, double to) const;

    // --- mapping --------------------------------------------------------
    /// Index of the section that holds the value, or -1. A boundary in front
    /// of a skipped range belongs to the section before it.
    int InRange(double value) const;
    /// Pixel of a value. Outside the range: -1 with *inRange false. A value in
    /// a skipped range or beyond the pixels gets a pixel with *inRange false;
    /// pixels are clamped to [0, pixelCnt - 1]. A null inRange is tolerated.
    int ValueToPixel(double value, bool* inRange, bool reverse) const override;
    /// Value at a pixel; -1.0 with *valid false for a pixel off the sections.
    /// A null valid is tolerated.
    double PixelToValue(int pixel, bool* valid, bool reverse) const override;
    /// Pixels of [from, to]: a whole section maps to its offset and stop pixel;
    /// ends below / above the range clamp to the first / last pixel. False when
    /// an end lies outside the sections in between. Goes through the virtual
    /// ValueToPixel, so derived mappings are honoured.
    bool RangeToPixel(double from, double to, int& pixFrom, int& pixTo, bool reverse) const override;

    // --- zoom sections ----------------------------------------------------
    /// Appends a zoom section when RangeValid(from, to); invalidates always and
    /// lays out only with recalcNow.
    void AddFactor(double from, double to, double factor, bool recalcNow);
    /// The zoom sections added, in the order added.
    std::vector<pixSection> GetZoomSection() const;
    /// Replaces the zoom sections, unchecked, and lays out.
    void SetZoomSection(std::vector<pixSection> sections);
    /// Removes every zoom section and lays out.
    void ClearZoomSection();
    /// True when the layout has more than one section.
    bool LinearizeAvailable() const;
    /// Removes every zoom and skip section.
    void Linearize();

    // --- skip sections ----------------------------------------------------
    /// Appends a skipped range when RangeValid(from, to); invalidates always
    /// and lays out only with recalcNow.
    void AddSkip(double from, double to, bool recalcNow);
    /// The skipped ranges added, in the order added.
    std::vector<pixSection> GetSkipSection() const;
    /// Replaces the skipped ranges, unchecked, and lays out.
    void SetSkipSection(std::vector<pixSection> sections);
    /// When set, skipped ranges take DISTANCE pixels instead of a linear share.
    bool GetSkipSuppressRanges() const;
    /// Sets the flag and lays out.
    void SetSkipSuppressRanges(bool suppress);

    // --- zoom history -----------------------------------------------------
    /// Sets the range, recording the old one for undo (toUndo) or redo.
    /// A range equal to the current one within 2^-52 changes nothing.
    void Do(double min, double max, bool toUndo);
    /// Sets the range [min, max], undoable.
    void zoom(double min, double max);
    /// Shifts the range by delta, undoable.
    void move(double delta);
    /// Step back / forth; nothing on an empty history.
    void UnDo();
    /// Steps forth to the range undone last; nothing when there is none.
    void ReDo();
    /// True when UnDo has a range to go back to.
    bool UnDoAvailable() const;
    /// True when ReDo has a range to go forth to.
    bool ReDoAvailable() const;

    // --- parameter sets ---------------------------------------------------
    /// The current layout as an AxisData, rebuilt after any change. It is read
    /// from the pixel sections as they stand, without a layout pass.
    const AxisData& GetAxisDefinitionSet() const;
    /// Replaces range, zoom and skip sections, flag and pixel count by data and
    /// lays out; keeps the history. False when data equals the current set.
    bool ApplyAxisDefinitionSet(const AxisData& data);

    // --- ticks ------------------------------------------------------------
    /// Nice ticks for [*pdMin, *pdMax], with steps 1, 2, 2.5, 5 times a power
    /// of ten, or a step of iFixedStep units when that is 1 or more. Returns
    /// the number of ticks and writes the first tick, step, minor intervals,
    /// mode (1 automatic, 2 fixed), label decimals and offset 0, in the
    /// caller's units; values are scaled by dScale while they are chosen.
    /// Returns 0 and writes nothing for an empty or non-finite range, a zero
    /// or non-finite scale, a null pointer, or when no step fits an int count.
    static int GetAxisValuesLinear(double* pdMin, double* pdMax, int* piSubDivisions, int* piMode,
                                   int* piDecimals, double* pdStart, double* pdStep, double* pdOffset,
                                   int iReserved, double dScale, int iFixedStep);
    /// As GetAxisValuesLinear for angles in degrees, with steps of 1 to 120
    /// degrees; iFixedStep is ignored.
    static int GetAxisValuesAzimuth(double* pdMin, double* pdMax, int* piSubDivisions, int* piMode,
                                    int* piDecimals, double* pdStart, double* pdStep, double* pdOffset,
                                    int iReserved, double dScale, int iFixedStep);
    /// Pixels of the ticks placed by the last draw (-1 for legend texts);
    /// empty before the first draw.
    std::vector<int> GetGridPos() const;
    /// Makes the next draw recompute its ticks.
    void InvalidateGrid();

    // --- presentation state -----------------------------------------------
    /// An offset added to every displayed value; invalidates.
    void SetCenterValue(double value, bool apply);
    /// The offset set by SetCenterValue.
    double GetCenterValue() const;
    /// Whether the offset is applied; a draw without it resets the offset to 0.
    bool GetApplyCenterValue() const;
    /// Horizontal (true) or vertical axis.
    bool getXType() const;
    /// Sets the orientation; the layout is kept.
    void setXType(bool xType);
    /// Label formatter shared with the application; may be null.
    std::shared_ptr<IStringFormatter> GetStringFormatter() const;
    /// Shares the formatter; without one values are written in Qt's 'g' format.
    void SetStringFormatter(std::shared_ptr<IStringFormatter> formatter);
    /// Mouse action to show, and the display flags; none of them invalidates.
    void setVisualizeAction(int from, int to, AxisMouseMode mode);
    /// Arrow buttons at both ends of a horizontal axis in window type 2.
    void SetDrawButtons(bool drawButtons);
    /// Grid lines or tick marks in the draw the panel calls (without legend and grid arguments).
    void SetGridVisible(bool visible);
    /// Legend texts and tick labels in the draw the panel calls.
    void SetLegendVisible(bool visible);
    /// What visible() reports; the axis still draws when asked.
    void setVisible(bool visible);
    bool visible() const override;
    /// Always empty: axes carry no name.
    const QString& name() const override;
    /// Legend texts of the last full draw: the first start legend and the last stop legend that fitted.
    QString StartString() const;
    /// The last stop legend of the last full draw that fitted.
    QString StopString() const;
    /// Kept for callers of the diagnostic stream hook; it writes nothing.
    void testStream() {}

    // --- drawing ------------------------------------------------------------
    /// The panel's width (horizontal axis) or height (vertical) is the extent for which ticks and
    /// labels are computed; a later draw at the same extent repeats them through drawFromGrid.
    /// A horizontal axis shows texts and buttons only in window type 2, ticks as angles in window
    /// type 6. A null panel draws nothing.
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType, bool legend, bool grid) override;
    void drawFromGrid(GLPainter& painter, GLCommonWidget* widget, int windowType, bool legend,
                      bool grid) override;
    /// A pointer-shaped readout of value at pixel pos, filled with a gradient of color, as high
    /// as the panel. A null panel draws nothing.
    void Label(GLPainter& painter, GLCommonWidget* widget, int pos, double value, const QColor& color);
    /// The arrow buttons (window type 2 with buttons on) and the feedback of the mouse action set
    /// by setVisualizeAction. Works without a colour handler (default pen). A null panel draws nothing.
    void VisualizeAction(GLPainter& painter, GLCommonWidget* widget, int windowType);
    /// The tick and legend records of the last full draw, in the order placed.
    const std::vector<AxisTick>& GetTicks() const { return m_vTicks; }
    /// Pixel spans (first pixel, stop pixel) of the skipped ranges marked by the last full draw.
    const std::vector<std::pair<int, int>>& GetSkipMarks() const { return m_vSkipMarks; }

protected:
    /// The layout pass: base points, merged sections with separators, widths.
    /// Does nothing until something has changed.
    void recalc() override;
    /// Empty; for derived axes that build sections of their own.
    void RebuildSections() override;
    /// Marks the layout, the ticks and the parameter set stale.
    void invalidate();

private:
    using UndoStep = std::pair<double, double>;

    const pixSection& SectionAt(int index) const;
    int Mirror(int pixel) const;
    void CollectBasePoints();
    void BuildSections();
    void LayOutSections();

    /// Ticks of one section, relative to the center value.
    struct SectionTicks
    {
        int iCount = 0;
        double dStart = 0.0;
        double dStep = 0.0;
        int iSubDivisions = 0;
    };
    SectionTicks ComputeTicks(double from, double to, int windowType) const;
    QString ValueText(double value, bool startLegend) const;
    void SetUpPens(GLPainter& painter, int windowType);
    void DrawSection(GLPainter& painter, GLCommonWidget* widget, int windowType, bool legend, bool grid,
                     int index, int sectionCnt);
    void DrawHorizontalTicks(GLPainter& painter, int windowType, bool legend, bool grid, int index,
                             int sectionCnt, double from, double to, const SectionTicks& ticks);
    void DrawVerticalTicks(GLPainter& painter, GLCommonWidget* widget, bool legend, bool grid,
                           SectionTicks ticks);
    void DrawButtons(GLPainter& painter, GLCommonWidget* widget);
    void DrawActionFeedback(GLPainter& painter, GLCommonWidget* widget);

    std::vector<pixSection> m_vPixSections;
    std::vector<pixSection> m_vZoomSections;
    std::vector<pixSection> m_vSkipSections;
    std::vector<double> m_vBasePoints;
    int m_iActionFrom;
    int m_iActionTo;
    AxisMouseMode m_eActionMode;
    bool m_bDirty;
    bool m_bSkipSuppressRanges;
    QString m_sStartString;
    QString m_sStopString;
    QString m_sName;
    double m_dMin;
    double m_dMax;
    short m_sPixelCnt;
    bool m_bLegendVisible;
    bool m_bGridVisible;
    bool m_bVisible;
    bool m_bXType;
    std::shared_ptr<IStringFormatter> m_pStringFormatter;
    std::vector<AxisTick> m_vTicks;
    std::vector<std::pair<int, int>> m_vSkipMarks;
    int m_iGridExtent;
    int m_iLabelHeight;
    QFont m_LabelFont;
    QFont m_LegendFont;
    QPen m_TextPen;
    QPen m_GridPen;
    std::deque<UndoStep> m_UndoStack;
    std::deque<UndoStep> m_RedoStack;
    double m_dCenterValue;
    bool m_bApplyCenterValue;
    mutable AxisData m_AxisDataCache;
    mutable bool m_bAxisDataValid;
    bool m_bDrawButtons;
};

#endif
