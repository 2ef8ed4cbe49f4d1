// Runs twice: as is (index mode on llvmpipe) and with the fragment shader extension removed by Mesa (software mode).
#include "axisdefinition.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

namespace
{
using GL = GLFrameWidget;

// Index mode needs the fragment shader, which the second run removes.
bool IndexMode() { return !qEnvironmentVariable("MESA_EXTENSION_OVERRIDE").contains("-GL_ARB_fragment_shader"); }

struct LineSurface : TestSurface { using GLFrameWidget::LineImage; };

// A line of width values that differ by seed; Data hands it to the library.
std::string Line(int width, int seed)
{
    std::string line(size_t(width), '\0');
    for (int c = 0; c < width; ++c)
        line[size_t(c)] = char((c * 7 + seed * 13) % 256);
    return line;
}
const unsigned char* Data(const std::string& line) { return reinterpret_cast<const unsigned char*>(line.data()); }

// A table whose entries are all different and differ from the grey default: entry 0 is not entry 255.
QVector<unsigned int> Palette(int shift)
{
    QVector<unsigned int> rgb;
    for (int i = 0; i < 256; ++i)
        rgb.push_back(qRgb((i + shift) % 256, 255 - i, (i * 3 + shift) % 256));
    return rgb;
}

// What a pixel shows for a value: the shader samples value 255 at s = 1.0, which wraps onto entry 0.
QRgb Shown(const QVector<unsigned int>& table, int value)
{
    return 0xFF000000u | (table[IndexMode() && value == 255 ? 0 : value] & 0xFFFFFFu);
}

// An image of width columns keeping bufferHeight lines, one column per pixel, filling the view.
int Image(GL& w, int width, int bufferHeight)
{
    const int id = w.CreateLineImage();
    w.SetLineImageXAxis(id, 0, width - 1, width), w.SetLineImageBufferHeight(id, bufferHeight);
    w.SetLineImageDestXAxis(id, 0, width - 1, width), w.SetLineImageYAxis(id, 0, 1), w.SetLineImageDestYAxis(id, 0, 1);
    return id;
}

void expectOneError(RecordingErrorHandler& errors, const char* message)
{
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_TRUE(errors.vLogged[0].sMessage == message && errors.vLogged[0].sFunction == "SetLineImageData") << message;
    errors.vLogged.clear();
}

// A surface with its context current, as inside a paint pass, and its log recorded.
struct LineImageTest : testing::Test
{
    RecordingErrorHandler errors;
    LineSurface w;
    void SetUp() override { ASSERT_TRUE((w.resize(64, 64), w.BeginContext())) << w.info().toStdString(); }
    void TearDown() override { w.EndContext(false); }
};
} // namespace

TEST_F(LineImageTest, TrimmingKeepsTheBufferHeightAndRecyclesTileTextures)
{
    // Tile lines hold 256 lines in tiles of 256 columns. A buffer of 0 or less stores each line and trims it at
    // once; a huge one reserves nothing ahead. 300 lines span at most three tile lines, whose names serve all 1536.
    struct Case { int buffer, lines; unsigned long long oldest, newest; size_t tileLines, names; };
    for (const Case& c : {Case{10, 12, 3, 12, 1, 2}, {0, 3, 0, 0, 0, 0}, {-5, 3, 0, 0, 0, 0},
                          {10000000, 600, 1, 600, 3, 6}, {300, 1536, 1237, 1536, 2, 6}}) {
        const int id = Image(w, 300, c.buffer);
        std::set<unsigned int> names;
        for (int i = 1; i <= c.lines; ++i) {
            ASSERT_TRUE(w.SetLineImageData(id, i, Data(Line(300, i)))) << c.buffer;
            for (const auto& tileLine : w.LineImage(id)->TileLines)
                names.insert(tileLine->vTextures.begin(), tileLine->vTextures.end());
        }
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(c.oldest, c.newest)) << c.buffer;
        const size_t tileLines = w.LineImage(id)->TileLines.size();
        EXPECT_EQ(std::pair(tileLines, names.size()), std::pair(c.tileLines, c.names)) << c.buffer;
        if (c.oldest)
            EXPECT_EQ(w.GetLineImageData(id, int(c.newest - c.oldest)), Line(300, int(c.oldest))) << c.buffer;
    }
    w.SetLineImageBufferHeight(0, 4);
    EXPECT_EQ(w.GetLineImageTimeStamp(0, 9), 3u) << "a new height waits for the next line";
    w.SetLineImageData(0, 13, Data(Line(300, 13)));
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(0), std::make_pair(10ull, 13ull));
}

TEST(LineImage, BothModesPlaceTheTableColoursByTheAxesAndANewTableReachesStoredLinesInIndexModeOnly)
{
    // 301 lines of 700 values (every value, 255 included) kept in a buffer of 300: two tile lines of three
    // tiles. On a y axis 0..700 the lines cover 50..650, the newest on top, each line doubled. A skipped
    // range takes 40..60 % of the columns: they are stored but never shown. Columns beyond the 16-bit
    // range are cut, not wrapped. In software mode a new table colours later lines only.
    axisDefinition axis;
    axis.init(0.0, 100.0, 700), axis.AddSkip(40.0, 60.0, true);
    const QVector<unsigned int> table = Palette(40), later = Palette(100);
    const std::string wide = Line(40000, 4);
    const QImage img = render(700, 700, [&](TestSurface& w) {
        // No columns: lines are kept but have no bytes and draw nothing; nor do equal y limits.
        const int id = Image(w, 10, 300), cut = Image(w, 40000, 4), empty = Image(w, 0, 4), flat = Image(w, 9, 4);
        w.SetLineImageColorTable(id, table), w.SetLineImageXAxis(id, axis.GetAxisDefinitionSet());
        w.SetLineImageDestXAxis(id, axis.GetAxisDefinitionSet()), w.SetLineImageYAxis(id, 0, 700);
        w.SetLineImageDestYAxis(id, 50, 650), w.SetLineImageYAxis(flat, 3, 3);
        for (int k = 1; k <= 300; ++k)
            w.SetLineImageData(id, k, Data(Line(700, k)));
        w.SetLineImageData(cut, 1, Data(wide)), w.SetLineImageData(flat, 1, Data(wide));
        EXPECT_EQ(w.GetLineImageData(id, 0), Line(700, 300));
        EXPECT_EQ(w.GetLineImageData(cut, 0), wide.substr(0, GL::ciMaxLineImageWidth));
        EXPECT_TRUE(w.SetLineImageData(empty, 1, nullptr) && w.GetLineImageData(empty, 0).empty() &&
                    w.GetLineImageTimeStamp(empty, 0) == 1);
        w.BeginViewPort(0, 0, 700, 700), w.DrawLineImage(id); // uploads the first table in index mode
        w.SetLineImageColorTable(id, later), w.SetLineImageData(id, 301, Data(Line(700, 301)));
        GLfloat before[16], after[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, before), w.DrawLineImage(id), w.DrawLineImage(empty), w.DrawLineImage(flat);
        glGetFloatv(GL_MODELVIEW_MATRIX, after), w.EndViewPort(0, 0);
        EXPECT_TRUE(std::equal(before, before + 16, after) && glGetError() == GL_NO_ERROR) << "the scaling is undone";
    });
    for (int y = 0; y < 700; ++y)
        for (int x = 0; x < 700; ++x) {
            const int line = 301 - (y - 50) / 2, value = (x * 7 + line * 13) % 256; // as Line makes them
            const bool shown = y >= 50 && y < 650 && (x < 280 || x >= 420);
            const QRgb expected = shown ? Shown(line == 301 || IndexMode() ? later : table, value) : 0u;
            ASSERT_EQ(img.pixel(x, y), expected) << std::hex << "(" << x << ", " << y << ")";
        }
}

TEST_F(LineImageTest, BadInputGetsDefinedAnswersDeletionNeedsNoContextTimeStampsAppendRewriteOrFindTheNearest)
{
    const int image = Image(w, 300, 100), deleted = w.CreateLineImage();
    EXPECT_TRUE(w.SetLineImageData(image, 1, Data(Line(300, 1))));
    w.DrawLineImage(image), w.DeleteLineImage(deleted); // the draw uploads the colour table in index mode
    // Invalid and deleted ids: nothing happens, the getters give their defaults, nothing is logged.
    for (int bad : {-1, deleted, 99}) {
        const AxisData axis = axisDefinition().GetAxisDefinitionSet();
        w.SetLineImageBufferHeight(bad, 5), w.SetLineImageColorTable(bad, Palette(1));
        w.SetLineImageYAxis(bad, 0, 1), w.DrawLineImage(bad), w.DeleteLineImage(bad);
        w.SetLineImageXAxis(bad, 0, 1, 10), w.SetLineImageXAxis(bad, axis), w.SetLineImageDestYAxis(bad, 0, 1);
        w.SetLineImageDestXAxis(bad, 0, 1, 10), w.SetLineImageDestXAxis(bad, axis);
        bool found = true;
        EXPECT_TRUE(w.GetLineImageLine(bad, 1, found) == 0 && !found && w.GetLineImageTimeStamp(bad, 0) == 0 &&
                    w.GetLineImageAvailableTimeRange(bad) == std::make_pair(0ull, 0ull) &&
                    w.GetLineImageData(bad, 0).empty() && !w.SetLineImageData(bad, 9, Data(Line(300, 9)))) << bad;
    }
    EXPECT_TRUE(errors.vLogged.empty());
    EXPECT_TRUE(w.CreateLineImage() == deleted && w.GetLineImageTimeStamp(deleted, 0) == 0) << "reused, and empty";

    // Outside a paint pass data is refused with a message and a draw is skipped; deletion makes the
    // context current itself to delete the colour table.
    w.EndContext(false);
    EXPECT_FALSE(w.SetLineImageData(image, 2, Data(Line(300, 2))));
    expectOneError(errors, "No context");
    w.DrawLineImage(image);
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(image), std::make_pair(1ull, 1ull)) << "refusals lose no line";
    const unsigned int table = w.LineImage(image)->uColorTableTexture;
    EXPECT_FALSE((w.DeleteLineImage(image), w.ActiveContext()));
    ASSERT_TRUE(w.BeginContext());
    EXPECT_TRUE((table != 0) == IndexMode() && !glIsTexture(table)) << table;

    const int none = Image(w, 1, 10), id = Image(w, 300, 100);
    // A newer time stamp appends. A stored one rewrites its line, the newest one too; one between or before
    // them is refused with a message. Missing (seed -1) or short data is refused quietly.
    struct Call { unsigned long long stamp; int seed, bytes; bool appended, logged; };
    for (const Call& c : {Call{100, 1, 300, true, false}, {200, 2, 300, true, false}, {300, 3, 300, true, false},
                          {200, 20, 300, false, false}, {300, 30, 300, false, false}, {250, 9, 300, false, true},
                          {50, 9, 300, false, true}, {0, 9, 300, false, true}, {400, -1, 300, false, false},
                          {400, 2, 299, false, false}, {400, 3, -1, false, false}, {400, 4, 300, true, false}}) {
        const std::string line = Line(300, c.seed);
        EXPECT_EQ(w.SetLineImageData(id, c.stamp, c.seed < 0 ? nullptr : Data(line), c.bytes), c.appended) << c.stamp;
        if (c.logged)
            expectOneError(errors, "Unknown existing TimeStamp");
        EXPECT_TRUE(errors.vLogged.empty()) << c.stamp;
    }
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(100ull, 400ull));
    const std::pair<unsigned long long, int> kept[] = {{400, 4}, {300, 30}, {200, 20}, {100, 1}, {0, -1}};
    for (int i = -1; i < 5; ++i) { // newest first; beyond either end, nothing
        const auto [stamp, seed] = kept[i < 0 ? 4 : i];
        EXPECT_EQ(w.GetLineImageTimeStamp(id, i), stamp) << i;
        EXPECT_EQ(w.GetLineImageData(id, i), seed < 0 ? "" : Line(300, seed)) << "refused calls lose no line";
    }
    // The nearest line of a time stamp between the oldest and the newest, the newer one on a tie.
    struct Case { unsigned long long stamp; int line; bool found; };
    for (const Case& c : {Case{390, 0, true}, {310, 1, true}, {350, 0, true}, {149, 3, true}, {150, 2, true},
                          {100, 3, true}, {400, 0, true}, {200, 2, true}, {50, 0, false}, {401, 0, false}}) {
        bool found = !c.found;
        EXPECT_TRUE(w.GetLineImageLine(id, c.stamp, found) == c.line && found == c.found) << c.stamp;
    }
    bool found = true;
    EXPECT_TRUE(w.GetLineImageLine(none, 100, found) == 0 && !found) << "no lines";
}
