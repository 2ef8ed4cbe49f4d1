// Runs twice: as is (index mode on llvmpipe) and with the fragment shader extension removed by
// Mesa (software mode). Texture names are counted by wrapping the library's GL 1.1 calls.
#include "axisdefinition.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

namespace
{
std::set<GLuint> s_LiveTextures;
int s_iGeneratedTextures = 0;
} // namespace

// The library calls these through the dynamic linker, so the executable's definitions win.
extern "C" void glGenTextures(GLsizei n, GLuint* names)
{
    static auto real = reinterpret_cast<void (*)(GLsizei, GLuint*)>(dlsym(RTLD_NEXT, "glGenTextures"));
    real(n, names);
    s_iGeneratedTextures += n;
    s_LiveTextures.insert(names, names + n);
}

extern "C" void glDeleteTextures(GLsizei n, const GLuint* names)
{
    static auto real = reinterpret_cast<void (*)(GLsizei, const GLuint*)>(dlsym(RTLD_NEXT, "glDeleteTextures"));
    for (GLsizei i = 0; i < n; ++i)
        s_LiveTextures.erase(names[i]);
    real(n, names);
}

namespace
{
using GL = GLFrameWidget;

// Index mode needs the fragment shader, which the second run removes.
bool IndexMode() { return !qEnvironmentVariable("MESA_EXTENSION_OVERRIDE").contains("-GL_ARB_fragment_shader"); }

struct LineSurface : TestSurface
{
    using GLFrameWidget::LineImage;
};

// Keeps the context current for the object's lifetime, as inside a paint pass.
struct Current
{
    TestSurface& surface;
    explicit Current(TestSurface& s) : surface(s)
    {
        surface.resize(64, 64);
        EXPECT_TRUE(surface.BeginContext()) << surface.info().toStdString();
    }
    ~Current() { surface.EndContext(false); }
};

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

// An image of width columns keeping bufferHeight lines; with a view height, one column per pixel and
// y 0..viewHeight filling the view.
int Image(GL& w, int width, int bufferHeight, int viewHeight = 0)
{
    const int id = w.CreateLineImage();
    w.SetLineImageXAxis(id, 0, width - 1, width), w.SetLineImageBufferHeight(id, bufferHeight);
    if (viewHeight) {
        w.SetLineImageDestXAxis(id, 0, width - 1, width), w.SetLineImageYAxis(id, 0, viewHeight);
        w.SetLineImageDestYAxis(id, 0, viewHeight);
    }
    return id;
}

void Draw(GL& w, int width, int height, std::initializer_list<int> ids)
{
    w.BeginViewPort(0, 0, width, height);
    for (int id : ids)
        w.DrawLineImage(id);
    w.EndViewPort(0, 0);
}

void expectPixels(const QImage& img, const std::function<QRgb(int x, int y)>& expected)
{
    int wrong = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != expected(x, y) && ++wrong < 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << img.pixel(x, y) << ", not "
                              << expected(x, y);
    EXPECT_EQ(wrong, 0);
}

void expectOneError(RecordingErrorHandler& errors, const char* message)
{
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged[0].sMessage, message);
    EXPECT_EQ(errors.vLogged[0].sFunction, "SetLineImageData");
    EXPECT_EQ(errors.vLogged[0].sClass, "GLFrameWidget");
    errors.vLogged.clear();
}

// A surface with its context current, as inside a paint pass, and its log recorded.
class LineImageTest : public testing::Test
{
protected:
    RecordingErrorHandler errors;
    LineSurface w;
    Current current{w};
};
} // namespace

TEST_F(LineImageTest, TimeStampsAppendRewriteOrAreRefusedAndFindTheirNearestLine)
{
    const int id = Image(w, 300, 100);
    for (int t : {100, 200, 300})
        EXPECT_TRUE(w.SetLineImageData(id, t, Data(Line(300, t / 100))));
    EXPECT_FALSE(w.SetLineImageData(id, 200, Data(Line(300, 20)))) << "a stored time stamp rewrites its line";
    EXPECT_FALSE(w.SetLineImageData(id, 300, Data(Line(300, 30)))) << "so does the newest one, repeated";
    EXPECT_TRUE(errors.vLogged.empty());
    for (unsigned long long refused : {250ull, 50ull, 0ull}) {
        EXPECT_FALSE(w.SetLineImageData(id, refused, Data(Line(300, 9))));
        expectOneError(errors, "Unknown existing TimeStamp");
    }
    EXPECT_FALSE(w.SetLineImageData(id, 400, nullptr)) << "no data";
    EXPECT_FALSE(w.SetLineImageData(id, 400, Data(Line(300, 2)), 299)) << "fewer bytes than the width";
    EXPECT_FALSE(w.SetLineImageData(id, 400, Data(Line(300, 3)), -1));
    EXPECT_TRUE(w.SetLineImageData(id, 400, Data(Line(300, 4)), 300));
    EXPECT_TRUE(errors.vLogged.empty());

    EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(100ull, 400ull));
    const std::pair<unsigned long long, int> kept[] = {{400, 4}, {300, 30}, {200, 20}, {100, 1}, {0, -1}};
    for (int i = -1; i < 5; ++i) { // newest first; beyond either end, nothing
        const auto [stamp, seed] = kept[i < 0 ? 4 : i];
        EXPECT_EQ(w.GetLineImageTimeStamp(id, i), stamp) << i;
        EXPECT_EQ(w.GetLineImageData(id, i), seed < 0 ? "" : Line(300, seed)) << "refused calls lose no line";
    }
    EXPECT_EQ(w.GetLineImageData(id, 0).size(), 300u) << "exactly width bytes, after an empty answer";

    // The nearest line of a time stamp between the oldest and the newest, the newer one on a tie.
    struct Case { unsigned long long stamp; int line; bool found; };
    for (const Case& c : {Case{390, 0, true}, {310, 1, true}, {350, 0, true}, {149, 3, true}, {150, 2, true},
                          {100, 3, true}, {400, 0, true}, {200, 2, true}, {50, 0, false}, {401, 0, false}}) {
        bool found = !c.found;
        EXPECT_EQ(w.GetLineImageLine(id, c.stamp, found), c.line) << c.stamp;
        EXPECT_EQ(found, c.found) << c.stamp;
    }
    const int few = Image(w, 1, 10);
    for (int lines = 0; lines < 2; ++lines, w.SetLineImageData(few, 100, Data(Line(1, 1)))) {
        bool found = true;
        EXPECT_EQ(w.GetLineImageLine(few, 100, found), 0);
        EXPECT_FALSE(found) << "no lines, or a single one, which never brackets even its own time stamp";
    }
}

TEST_F(LineImageTest, TrimmingKeepsTheBufferHeight)
{
    struct Case { int buffer, lines; unsigned long long oldest, newest; size_t tileLines; };
    // A buffer of 0 or less stores each line and trims it at once; a huge one reserves nothing ahead.
    for (const Case& c : {Case{10, 12, 3, 12, 1}, {0, 3, 0, 0, 0}, {-5, 3, 0, 0, 0}, {10000000, 600, 1, 600, 3}}) {
        const int id = Image(w, 300, c.buffer);
        for (int i = 1; i <= c.lines; ++i)
            EXPECT_TRUE(w.SetLineImageData(id, i, Data(Line(300, i)))) << c.buffer;
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(c.oldest, c.newest)) << c.buffer;
        EXPECT_EQ(w.LineImage(id)->TileLines.size(), c.tileLines) << c.buffer;
        if (c.oldest)
            EXPECT_EQ(w.GetLineImageData(id, int(c.newest - c.oldest)), Line(300, int(c.oldest))) << c.buffer;
    }
    w.SetLineImageBufferHeight(0, 4);
    EXPECT_EQ(w.GetLineImageTimeStamp(0, 9), 3u) << "a new height waits for the next line";
    w.SetLineImageData(0, 13, Data(Line(300, 13)));
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(0), std::make_pair(10ull, 13ull));
}

TEST(LineImage, AnAxisLayoutSetsTheColumnsThatTheSameLayoutShows)
{
    // A skipped range takes 40..60 % of the 700 columns: they are stored but never shown. Columns
    // beyond the 16-bit range are cut, not wrapped.
    axisDefinition axis;
    axis.init(0.0, 100.0, 700);
    axis.AddSkip(40.0, 60.0, true);
    const QVector<unsigned int> table = Palette(40);
    const std::string line = Line(700, 3), wide = Line(40000, 4);
    const QImage img = render(700, 4, [&](TestSurface& w) {
        const int id = Image(w, 10, 4, 4), cut = Image(w, 40000, 4);
        w.SetLineImageColorTable(id, table), w.SetLineImageXAxis(id, axis.GetAxisDefinitionSet());
        w.SetLineImageDestXAxis(id, axis.GetAxisDefinitionSet()), w.SetLineImageData(id, 1, Data(line));
        EXPECT_EQ(w.GetLineImageData(id, 0), line);
        w.SetLineImageData(cut, 1, Data(wide));
        EXPECT_EQ(w.GetLineImageData(cut, 0), wide.substr(0, GL::ciMaxLineImageWidth));
        Draw(w, 700, 4, {id});
    });
    expectPixels(img.copy(0, 0, 700, 1), [&](int x, int) {
        return x >= 280 && x < 420 ? 0u : Shown(table, uchar(line[size_t(x)]));
    });
}

TEST(LineImage, TileTexturesAreRecycledAndGoWithTheContext)
{
    {
        TestSurface w;
        Current current(w);
        // 300 lines span at most three tile lines of 256 lines and two tiles each.
        const int id = Image(w, 300, 300), before = s_iGeneratedTextures;
        for (int i = 0; i < 256 * 6; ++i) {
            ASSERT_TRUE(w.SetLineImageData(id, 1 + i, Data(Line(300, i))));
            if (i == 256)
                EXPECT_TRUE(w.GetLineImageData(id, 0) == Line(300, 256) && w.GetLineImageData(id, 256) == Line(300, 0))
                    << "the 257th line starts a second tile line";
        }
        EXPECT_EQ(s_iGeneratedTextures - before, 6) << "three tile lines' worth, then only recycled names";
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(256ull * 6 - 299, 256ull * 6));
        EXPECT_EQ(w.GetLineImageData(id, 299), Line(300, 256 * 6 - 300));
        const int zero = Image(w, 300, 0), mid = s_iGeneratedTextures;
        for (int i = 0; i < 1000; ++i)
            w.SetLineImageData(zero, 1 + i, Data(Line(300, i)));
        EXPECT_EQ(s_iGeneratedTextures - mid, 0) << "the pool still holds a released tile line's names";
        for (int deleted : {zero, id, id})
            w.DeleteLineImage(deleted);
        EXPECT_GT(s_LiveTextures.size(), 0u) << "deleted images keep their tiles in the pool";
    }
    EXPECT_TRUE(s_LiveTextures.empty()) << "the pool is deleted with the context";

    // A colour-table texture deleted without a current context: the image makes it current itself.
    TestSurface w;
    {
        Current current(w);
        w.SetLineImageData(Image(w, 8, 8, 1), 1, Data(Line(8, 1)));
        w.DrawLineImage(0);
    }
    const size_t live = s_LiveTextures.size();
    w.DeleteLineImage(0);
    EXPECT_FALSE(w.ActiveContext());
    EXPECT_EQ(live - s_LiveTextures.size(), IndexMode() ? 1u : 0u);
}

TEST(LineImage, BothModesPlaceTheTableColoursByTheAxesAndRestoreTheState)
{
    // 300 lines of 300 values (two tile lines of two tiles; every value, 255 included) on a y axis 0..700
    // with the lines covering 50..650: rows 50 to 649 hold them, the newest on top, each line doubled as
    // the buffer holds 300. The destination axis 0..299.5 over 600 pixels doubles each column.
    const QVector<unsigned int> table = Palette(40);
    auto value = [](int line, int column) { return (line * 5 + column * 3) % 256; };
    const QImage img = render(600, 700, [&](TestSurface& w) {
        const int id = Image(w, 300, 300);
        w.SetLineImageColorTable(id, table), w.SetLineImageDestXAxis(id, 0, 299.5, 600);
        w.SetLineImageYAxis(id, 0, 700), w.SetLineImageDestYAxis(id, 50, 650);
        std::string line(300, '\0');
        for (int k = 0; k < 300; ++k) {
            for (int c = 0; c < 300; ++c)
                line[size_t(c)] = char(value(k, c));
            w.SetLineImageData(id, 1 + k, Data(line));
        }
        GLfloat before[16], after[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, before);
        Draw(w, 600, 700, {id});
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        EXPECT_TRUE(std::equal(before, before + 16, after));
        GLint program = -1, unit = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program), glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
        EXPECT_TRUE(program == 0 && unit == GL_TEXTURE0) << program << ", " << unit;
        for (GLenum cap : {GL_TEXTURE_2D, GL_BLEND, GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY})
            EXPECT_FALSE(glIsEnabled(cap)) << cap;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
    expectPixels(img, [&](int x, int y) {
        return y >= 50 && y < 650 ? Shown(table, value(299 - (y - 50) / 2, x / 2)) : 0u;
    });

    // A new table reaches the stored lines in index mode, only later ones in software mode.
    const QVector<unsigned int> later = Palette(100);
    const QImage recoloured = render(64, 64, [&](TestSurface& w) {
        const int id = Image(w, 64, 64, 64);
        // No columns: lines are kept but have no bytes and draw nothing; nor do equal y limits.
        const int empty = Image(w, 0, 4, 64), flat = Image(w, 64, 4, 4);
        EXPECT_TRUE(w.SetLineImageData(empty, 1, nullptr) && w.GetLineImageData(empty, 0).empty() &&
                    w.GetLineImageTimeStamp(empty, 0) == 1);
        w.SetLineImageYAxis(flat, 3, 3), w.SetLineImageData(flat, 1, Data(Line(64, 1)));
        w.SetLineImageColorTable(id, table), w.SetLineImageData(id, 1, Data(std::string(64, '\7')));
        Draw(w, 64, 64, {id}); // uploads the first table in index mode
        w.SetLineImageColorTable(id, later), w.SetLineImageData(id, 2, Data(std::string(64, '\7')));
        Draw(w, 64, 64, {id, empty, flat});
    });
    expectColour(recoloured, 10, 0, Shown(later, 7));
    expectColour(recoloured, 10, 1, Shown(IndexMode() ? later : table, 7));
    expectPixels(recoloured.copy(0, 2, 64, 62), [](int, int) { return 0u; });
}

TEST(LineImage, BadInputGetsDefinedAnswers)
{
    RecordingErrorHandler errors;
    {
        TestSurface never; // destroyed without ever having had a context
        const int early = Image(never, 300, 100);
        EXPECT_FALSE(never.SetLineImageData(early, 1, Data(Line(300, 1))));
        expectOneError(errors, "No context");
        never.DrawLineImage(early);
    }
    {
        TestSurface w;
        const int id = Image(w, 300, 100);
        {
            Current current(w);
            EXPECT_TRUE(w.SetLineImageData(id, 1, Data(Line(300, 1))));
        }
        EXPECT_FALSE(w.SetLineImageData(id, 2, Data(Line(300, 2))));
        expectOneError(errors, "No context");
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(1ull, 1ull)) << "refusals lose no line";

        // Invalid and deleted ids: nothing happens, the getters give their defaults, nothing is logged.
        const int deleted = w.CreateLineImage();
        w.DeleteLineImage(deleted);
        for (int bad : {-1, deleted, 99}) {
            const AxisData axis = axisDefinition().GetAxisDefinitionSet();
            w.SetLineImageBufferHeight(bad, 5), w.SetLineImageColorTable(bad, Palette(1));
            w.SetLineImageYAxis(bad, 0, 1), w.DrawLineImage(bad), w.DeleteLineImage(bad);
            w.SetLineImageXAxis(bad, 0, 1, 10), w.SetLineImageXAxis(bad, axis), w.SetLineImageDestYAxis(bad, 0, 1);
            w.SetLineImageDestXAxis(bad, 0, 1, 10), w.SetLineImageDestXAxis(bad, axis);
            bool found = true;
            EXPECT_TRUE(w.GetLineImageLine(bad, 1, found) == 0 && !found);
            EXPECT_EQ(w.GetLineImageAvailableTimeRange(bad), std::make_pair(0ull, 0ull));
            EXPECT_EQ(w.GetLineImageTimeStamp(bad, 0), 0u);
            EXPECT_TRUE(w.GetLineImageData(bad, 0).empty());
            Current current(w);
            EXPECT_FALSE(w.SetLineImageData(bad, 9, Data(Line(300, 9))));
        }
        EXPECT_TRUE(errors.vLogged.empty());
        EXPECT_EQ(w.GetLineImageData(id, 0), Line(300, 1));
        EXPECT_EQ(w.CreateLineImage(), deleted) << "a deleted id is reused";
        EXPECT_EQ(w.GetLineImageTimeStamp(deleted, 0), 0u) << "and starts empty";
    }
    EXPECT_TRUE(s_LiveTextures.empty());
}

