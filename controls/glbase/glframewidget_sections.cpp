#include "glframewidget.h"

#include "axisdefinition.h"

#include <algorithm>
#include <cmath>

void GLFrameWidget::GLSections::Add(double from, double to, int offset, int count)
{
    // Pixel counts are 16-bit throughout the drawing code; the wrap is intended.
    const qint16 count16 = static_cast<qint16>(count);
    const qint16 steps = static_cast<qint16>(count16 - 1);
    GLSection section;
    section.fValueFrom = static_cast<float>(from);
    section.fValueTo = static_cast<float>(steps > 0 ? from + (to - from) * count16 / steps : from);
    section.iPixelFrom = static_cast<qint16>(offset);
    section.iPixelTo = static_cast<qint16>(offset + count16);
    push_back(section);
}

void GLFrameWidget::GLSections::Build(double min, double max, int count)
{
    clear();
    Add(min, max, 0, count);
}

void GLFrameWidget::GLSections::Build(const AxisData& axis)
{
    clear();
    axisDefinition layout;
    layout.ApplyAxisDefinitionSet(axis);
    for (const pixSection& pix : layout.GetPixSections()) {
        if (pix.GetFactor() > 0)
            Add(pix.GetFrom(), pix.GetTo(), pix.GetOffset(), static_cast<int>(pix.GetWidth()));
    }
}

namespace {

// Pixel of a value inside a section, rounded; an empty value span gives its first pixel.
int SectionPixel(const GLFrameWidget::GLSection& section, float value)
{
    const float span = section.fValueTo - section.fValueFrom;
    if (span == 0)
        return section.iPixelFrom;
    const float pixels = static_cast<float>(section.iPixelTo - section.iPixelFrom);
    const float pixel = (value - section.fValueFrom) / span * pixels + section.iPixelFrom + 0.5f;
    // Limits beyond float range make infinite ends, whose fractions are no number or unbounded.
    if (std::isnan(pixel))
        return section.iPixelFrom;
    return static_cast<int>(std::clamp(pixel, -2147483520.0f, 2147483520.0f));
}

} // namespace

void GLFrameWidget::MergeSections(const GLSections& source, const GLSections& dest, std::vector<GLDrawSection>& out)
{
    out.clear();
    size_t s = 0;
    for (const GLSection& d : dest) {
        while (s < source.size() && !(source[s].fValueTo > d.fValueFrom))
            ++s;
        while (s < source.size() && d.fValueTo > source[s].fValueFrom) {
            const GLSection& src = source[s];
            const float lo = std::max(src.fValueFrom, d.fValueFrom);
            const float hi = std::min(src.fValueTo, d.fValueTo);
            GLDrawSection draw;
            draw.iSrcFrom = static_cast<qint16>(SectionPixel(src, lo));
            draw.iSrcTo = static_cast<qint16>(SectionPixel(src, hi));
            draw.iDstFrom = static_cast<qint16>(SectionPixel(d, lo));
            draw.iDstTo = static_cast<qint16>(SectionPixel(d, hi));
            if (draw.iSrcFrom < draw.iSrcTo && draw.iDstFrom < draw.iDstTo)
                out.push_back(draw);
            if (d.fValueTo >= src.fValueTo)
                ++s;
            else
                break;
        }
    }
}
