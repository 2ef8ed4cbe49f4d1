#include "support/render_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

using Sections = GLFrameWidget::GLSections;
using Span = std::array<float, 4>; // value from, value to, pixel from, pixel to

namespace {

const float cfInf = std::numeric_limits<float>::infinity();

Sections Make(const std::vector<Span>& spans)
{
    Sections sections;
    for (const Span& s : spans)
        sections.push_back({s[0], s[1], qint16(s[2]), qint16(s[3])});
    return sections;
}

// The draw sections as {source from, source to, destination from, destination to}.
std::vector<std::array<int, 4>> Merge(const Sections& source, const Sections& dest)
{
    std::vector<GLFrameWidget::GLDrawSection> out(3); // stale entries must not survive
    TestSurface::MergeSections(source, dest, out);
    std::vector<std::array<int, 4>> spans;
    for (const auto& d : out)
        spans.push_back({d.iSrcFrom, d.iSrcTo, d.iDstFrom, d.iDstTo});
    return spans;
}

} // namespace

// Limits beyond float range give sections with infinite ends (a line image's x axis from -1.8e308 to 2.1e307
// did): they have no pixel scale, so nothing is drawn from or onto them. Their fractions are no number, whose
// conversion to a pixel the sanitizer build reports.
TEST(Sections, MergeMapsValueOverlapsOntoBothPixelScales)
{
    using Spans = std::vector<std::array<int, 4>>;
    const struct { const char* name; Sections source, dest; Spans expected; } cases[] = {
        {"values 0..100 on 100 columns, shown from 50 on 200 pixels", Make({{0, 100, 0, 100}}),
         Make({{50, 150, 0, 200}}), {{50, 100, 0, 100}}},
        {"disjoint", Make({{0, 10, 0, 10}}), Make({{20, 30, 0, 10}}), {}},
        {"two source sections with a gap", Make({{0, 10, 0, 10}, {20, 30, 13, 23}}), Make({{5, 25, 0, 40}}),
         {{5, 10, 0, 10}, {13, 18, 30, 40}}},
        {"two destinations over one source", Make({{0, 10, 0, 10}}), Make({{0, 5, 0, 5}, {5, 10, 8, 13}}),
         {{0, 5, 0, 5}, {5, 10, 8, 13}}},
        {"a single-value source has zero width", Make({{10, 10, 0, 1}}), Make({{0, 100, 0, 100}}), {}},
        {"no source", Sections(), Make({{0, 100, 0, 100}}), {}},
        {"no destination", Make({{0, 100, 0, 100}}), Sections(), {}},
        {"infinite source", Make({{-cfInf, cfInf, 0, 10}}), Make({{0, 64, 0, 64}}), {}},
        {"infinite destination", Make({{0, 64, 0, 64}}), Make({{-cfInf, cfInf, 0, 10}}), {}},
        {"one infinite end", Make({{-cfInf, 0, 0, 10}}), Make({{-10, 64, 0, 64}}), {}}};
    for (const auto& c : cases)
        EXPECT_EQ(Merge(c.source, c.dest), c.expected) << c.name;
}

// Table entries are R, G, B, A bytes in memory, opaque whatever the element's alpha; beyond the given elements, and
// for an invalid colour, opaque black.
TEST(ColorTable, EntriesAreOpaqueRgbBytesInMemory)
{
    GLFrameWidget::GLColorTable table;
    const auto bytes = [&](int i) { return QByteArray(reinterpret_cast<const char*>(&table[i]), 4).toHex(); };
    EXPECT_EQ(bytes(7), "070707ff"); // a grey ramp
    table.Set(QVector<unsigned int>{qRgba(10, 20, 30, 0), qRgb(200, 100, 50)});
    EXPECT_EQ(bytes(0) + bytes(1) + bytes(2), "0a141eff" "c86432ff" "000000ff");
    table.Set(std::vector<QColor>{QColor(1, 2, 3), QColor()});
    EXPECT_EQ(bytes(0) + bytes(1) + bytes(255), "010203ff" "000000ff" "000000ff");
}
