#include "axisdefinition.h"
#include "support/render_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

using Sections = GLFrameWidget::GLSections;
using DrawSections = std::vector<GLFrameWidget::GLDrawSection>;

namespace {

Sections Range(double min, double max, int count)
{
    Sections sections;
    sections.Build(min, max, count);
    return sections;
}

DrawSections Merge(const Sections& source, const Sections& dest)
{
    DrawSections out(3); // stale entries must not survive
    TestSurface::MergeSections(source, dest, out);
    return out;
}

void ExpectDraw(const GLFrameWidget::GLDrawSection& d, int srcFrom, int srcTo, int dstFrom, int dstTo)
{
    EXPECT_EQ(d.iSrcFrom, srcFrom);
    EXPECT_EQ(d.iSrcTo, srcTo);
    EXPECT_EQ(d.iDstFrom, dstFrom);
    EXPECT_EQ(d.iDstTo, dstTo);
}

} // namespace

TEST(Sections, RangeEndsOnePixelBeyondTheLast)
{
    const Sections s = Range(0.0, 100.0, 101);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_FLOAT_EQ(s[0].fValueFrom, 0.0f);
    EXPECT_FLOAT_EQ(s[0].fValueTo, 101.0f);
    EXPECT_EQ(s[0].iPixelFrom, 0);
    EXPECT_EQ(s[0].iPixelTo, 101);

    // A single pixel has no step to extrapolate by.
    const Sections one = Range(5.0, 9.0, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_FLOAT_EQ(one[0].fValueTo, 5.0f);
    EXPECT_EQ(one[0].iPixelTo, 1);
}

TEST(Sections, AxisLeavesOutSkippedRangesAndSeparators)
{
    axisDefinition axis;
    axis.init(0.0, 100.0, 203);
    axis.AddSkip(40.0, 60.0, true);
    Sections s;
    s.Build(axis.GetAxisDefinitionSet());

    std::vector<const pixSection*> visible;
    for (const pixSection& pix : axis.GetPixSections())
        if (pix.GetFactor() > 0)
            visible.push_back(&pix);
    ASSERT_EQ(s.size(), visible.size());
    ASSERT_EQ(s.size(), 2u);
    for (size_t i = 0; i < s.size(); ++i) {
        const pixSection& pix = *visible[i];
        EXPECT_EQ(s[i].iPixelFrom, pix.GetOffset());
        EXPECT_EQ(s[i].iPixelTo, pix.GetOffset() + pix.GetWidth());
        EXPECT_FLOAT_EQ(s[i].fValueFrom, static_cast<float>(pix.GetFrom()));
        const double step = (pix.GetTo() - pix.GetFrom()) / (pix.GetWidth() - 1);
        EXPECT_NEAR(s[i].fValueTo, pix.GetTo() + step, 1e-4);
    }
    EXPECT_FLOAT_EQ(s[0].fValueFrom, 0.0f);
    EXPECT_GE(s[1].iPixelFrom, s[0].iPixelTo);
    EXPECT_FLOAT_EQ(s[1].fValueFrom, 60.0f);
}

TEST(Sections, MergeMapsOverlapsOntoBothPixelScales)
{
    // Image columns 0..99 hold values 0..100; the screen shows 50..150 on 200 pixels.
    const DrawSections out = Merge(Range(0.0, 99.0, 100), Range(50.0, 149.5, 200));
    ASSERT_EQ(out.size(), 1u);
    ExpectDraw(out[0], 50, 100, 0, 100);

    // Disjoint ranges give nothing and clear stale output.
    EXPECT_TRUE(Merge(Range(0.0, 9.0, 10), Range(20.0, 29.0, 10)).empty());
}

TEST(Sections, MergeWalksSeveralSectionsInOrder)
{
    // Source: 0..10 on pixels 0..10 and 20..30 on pixels 13..23 (a skipped gap between).
    Sections source = Range(0.0, 9.0, 10);
    Sections second = Range(20.0, 29.0, 10);
    second[0].iPixelFrom = 13;
    second[0].iPixelTo = 23;
    source.push_back(second[0]);
    // Destination: one section 5..25 on pixels 0..40.
    const DrawSections out = Merge(source, Range(5.0, 24.5, 40));
    ASSERT_EQ(out.size(), 2u);
    ExpectDraw(out[0], 5, 10, 0, 10);
    ExpectDraw(out[1], 13, 18, 30, 40);

    // Two destination sections over one source: the running index never moves back.
    Sections dest = Range(0.0, 4.0, 5);
    Sections tail = Range(5.0, 9.0, 5);
    tail[0].iPixelFrom = 8;
    tail[0].iPixelTo = 13;
    dest.push_back(tail[0]);
    const DrawSections twice = Merge(Range(0.0, 9.0, 10), dest);
    ASSERT_EQ(twice.size(), 2u);
    ExpectDraw(twice[0], 0, 5, 0, 5);
    ExpectDraw(twice[1], 5, 10, 8, 13);
}

TEST(Sections, EmptyValueSpansYieldNoDrawSection)
{
    // A single-value source section maps every value to its first pixel: zero width, left out.
    EXPECT_TRUE(Merge(Range(10.0, 10.0, 1), Range(0.0, 99.0, 100)).empty());
    EXPECT_TRUE(Merge(Sections(), Range(0.0, 99.0, 100)).empty());
    EXPECT_TRUE(Merge(Range(0.0, 99.0, 100), Sections()).empty());
}

// Limits beyond float range give sections with infinite ends (a line image's x axis from -1.8e308
// to 2.1e307 did): they have no pixel scale, so nothing is drawn from or onto them. Their fractions
// are no number, whose conversion to a pixel the sanitizer build reports.
TEST(Sections, InfiniteValueEndsYieldNoDrawSection)
{
    const Sections infinite = Range(-1e300, 1e300, 10);
    ASSERT_TRUE(std::isinf(infinite[0].fValueFrom) && std::isinf(infinite[0].fValueTo));
    EXPECT_TRUE(Merge(infinite, Range(0.0, 63.0, 64)).empty());
    EXPECT_TRUE(Merge(Range(0.0, 63.0, 64), infinite).empty());
    EXPECT_TRUE(Merge(Range(-1e39, 0.0, 10), Range(0.0, 63.0, 64)).empty()) << "one infinite end is enough";
    const DrawSections finite = Merge(Range(0.0, 63.0, 64), Range(0.0, 63.0, 64));
    ASSERT_EQ(finite.size(), 1u);
    ExpectDraw(finite[0], 0, 64, 0, 64);
}

TEST(ColorTable, EntriesAreOpaqueRgbBytesInMemory)
{
    GLFrameWidget::GLColorTable table;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(table.data());
    // Default: grey ramp, bytes i, i, i, 255.
    EXPECT_EQ(bytes[4 * 7 + 0], 7);
    EXPECT_EQ(bytes[4 * 7 + 2], 7);
    EXPECT_EQ(bytes[4 * 7 + 3], 255);

    table.Set(QVector<unsigned int>{qRgba(10, 20, 30, 0), qRgb(200, 100, 50)});
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[1], 20);
    EXPECT_EQ(bytes[2], 30);
    EXPECT_EQ(bytes[3], 255); // the element's alpha is ignored
    EXPECT_EQ(bytes[4], 200);
    EXPECT_EQ(bytes[6], 50);
    EXPECT_EQ(table[2], 0xFF000000u); // beyond the vector: opaque black
    EXPECT_EQ(table[255], 0xFF000000u);

    // An invalid colour reads as black, like a missing element.
    table.Set(std::vector<QColor>{QColor(1, 2, 3), QColor()});
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(table[1], 0xFF000000u);
    EXPECT_EQ(table[3], 0xFF000000u);
}
