#ifndef IHMAP_H
#define IHMAP_H

#include "glbase_export.h"

class GLCommonWidget;
class GLPainter;

/// Value-to-pixel mapping of one axis. Panels hold their axes through this
/// interface (as std::weak_ptr<IHMap>) and never see the concrete axis class.
class GLBASE_EXPORT IHMap
{
public:
    /// Number of pixels the axis spans.
    virtual int GetPixelCnt() const = 0;
    /// Pixel of a value; *inRange tells whether the value is shown on the axis.
    virtual int ValueToPixel(double value, bool* inRange, bool reverse) const = 0;
    /// Pixels of a value range; false when an end cannot be placed.
    virtual bool RangeToPixel(double from, double to, int& pixFrom, int& pixTo, bool reverse) const = 0;
    /// Value at a pixel; *valid tells whether the pixel lies on the axis.
    virtual double PixelToValue(int pixel, bool* valid, bool reverse) const = 0;
    /// Conversion ratio of one pixel section: pixels per value unit.
    virtual double GetPixelsForXUnit(int section) const = 0;
    /// Value units per pixel of one pixel section.
    virtual double GetXUnitsForPixel(int section) const = 0;
    /// Number of pixel sections of the current layout.
    virtual int GetSectionCnt() const = 0;
    virtual ~IHMap() = default;
    /// Changes the number of pixels and lays the axis out again.
    virtual void SetPixelCnt(int pixelCnt) = 0;
    /// Draws the axis into the panel: legend texts and tick labels when legend is set, grid lines
    /// or tick marks when grid is set. windowType is the panel's window type.
    virtual void draw(GLPainter& painter, GLCommonWidget* widget, int windowType, bool legend, bool grid) = 0;
    /// Repeats the texts and lines placed by the last full draw.
    virtual void drawFromGrid(GLPainter& painter, GLCommonWidget* widget, int windowType, bool legend, bool grid) = 0;

protected:
    /// The layout pass; implementations recompute only when something changed.
    virtual void recalc() = 0;
    /// Hook for derived mappings that keep sections of their own.
    virtual void RebuildSections() = 0;
};

#endif
