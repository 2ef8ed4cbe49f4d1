#include "support/render_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace {

using Spans = std::vector<std::array<float, 4>>; // value from, value to, pixel from, pixel to
using Draws = std::vector<std::array<int, 4>>;   // source from, source to, destination from, destination to
const float cfInf = std::numeric_limits<float>::infinity();

Draws Merge(const Spans& source, const Spans& dest)
{
    GLFrameWidget::GLSections sections[2];
    for (int i : {0, 1})
        for (const auto& s : i ? dest : source)
            sections[i].push_back({s[0], s[1], qint16(s[2]), qint16(s[3])});
    std::vector<GLFrameWidget::GLDrawSection> out(3); // stale entries must not survive
    TestSurface::MergeSections(sections[0], sections[1], out);
    Draws draws;
    for (const auto& d : out)
        draws.push_back({d.iSrcFrom, d.iSrcTo, d.iDstFrom, d.iDstTo});
    return draws;
}

} // namespace

// Limits beyond float range (a line image's x axis from -1.8e308 to 2.1e307) give sections with infinite ends and
// no pixel scale: nothing is drawn from or onto them, as their fractions are no number (the sanitizer reports it).
TEST(Sections, MergeMapsValueOverlapsOntoBothPixelScales)
{
    const struct { const char* name; Spans source, dest; Draws expected; } cases[] = {
        {"0..100 on 100 columns, from 50 on 200 pixels", {{0, 100, 0, 100}}, {{50, 150, 0, 200}}, {{50, 100, 0, 100}}},
        {"disjoint", {{0, 10, 0, 10}}, {{20, 30, 0, 10}}, {}},
        {"two sources with a gap", {{0, 10, 0, 10}, {20, 30, 13, 23}}, {{5, 25, 0, 40}},
         {{5, 10, 0, 10}, {13, 18, 30, 40}}},
        {"two destinations", {{0, 10, 0, 10}}, {{0, 5, 0, 5}, {5, 10, 8, 13}}, {{0, 5, 0, 5}, {5, 10, 8, 13}}},
        {"a single-value source has zero width", {{10, 10, 0, 1}}, {{0, 100, 0, 100}}, {}},
        {"no source", {}, {{0, 100, 0, 100}}, {}}, {"no destination", {{0, 100, 0, 100}}, {}, {}},
        {"infinite source", {{-cfInf, cfInf, 0, 10}}, {{0, 64, 0, 64}}, {}},
        {"infinite destination", {{0, 64, 0, 64}}, {{-cfInf, cfInf, 0, 10}}, {}},
        {"one infinite end", {{-cfInf, 0, 0, 10}}, {{-10, 64, 0, 64}}, {}}};
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
