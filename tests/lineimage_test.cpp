// Runs twice: as is (index mode on llvmpipe) and with the fragment shader extension removed by
// Mesa (software mode). Texture names are counted by wrapping the library's GL 1.1 calls.
#include "axisdefinition.h"
#include "support/render_fixture.h"

#include <GL/gl.h>
#include <GL/glext.h>
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

class LineSurface : public TestSurface
{
public:
    using GLFrameWidget::LineImage;
    bool IndexMode() const { return m_bMultiTexture && m_bIndexColorProgram; }
};

// A real LineSurface, not a TestSurface cast to one, renders the lambda inside its paint pass.
QImage renderLines(int w, int h, const std::function<void(LineSurface&)>& paint)
{
    LineSurface surface;
    surface.resize(w, h);
    surface.paint = [&](TestSurface&) { paint(surface); };
    QImage image;
    EXPECT_TRUE(surface.RenderToImage(&image)) << surface.info().toStdString();
    return image;
}

// Keeps the context current for the object's lifetime, as inside a paint pass.
struct Current
{
    LineSurface& surface;
    explicit Current(LineSurface& s) : surface(s)
    {
        surface.resize(64, 64);
        EXPECT_TRUE(surface.BeginContext()) << surface.info().toStdString();
    }
    ~Current() { surface.EndContext(false); }
};

std::vector<unsigned char> Bytes(int width, int seed)
{
    std::vector<unsigned char> line(static_cast<size_t>(width));
    for (int c = 0; c < width; ++c)
        line[size_t(c)] = static_cast<unsigned char>((c * 7 + seed * 13) % 256);
    return line;
}

std::string AsString(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A table whose entries are all different and differ from the grey default: entry 0 is not entry 255.
QVector<unsigned int> Palette(int shift)
{
    QVector<unsigned int> rgb;
    for (int i = 0; i < 256; ++i)
        rgb.push_back(qRgb((i + shift) % 256, 255 - i, (i * 3 + shift) % 256));
    return rgb;
}

// What a pixel shows for a value: the shader samples value 255 at s = 1.0, which wraps onto entry 0.
QRgb Shown(const QVector<unsigned int>& table, int value, bool indexMode)
{
    const int entry = indexMode && value == 255 ? 0 : value;
    return 0xFF000000u | (table[entry] & 0xFFFFFFu);
}

int LineImageWithWidth(GL& w, int width, int bufferHeight)
{
    const int id = w.CreateLineImage();
    w.SetLineImageXAxis(id, 0, width - 1, width);
    w.SetLineImageBufferHeight(id, bufferHeight);
    return id;
}

// One column per pixel, with y 0..height filling a view of that height.
int Waterfall(GL& w, int width, int height, int bufferHeight)
{
    const int id = LineImageWithWidth(w, width, bufferHeight);
    w.SetLineImageDestXAxis(id, 0, width - 1, width);
    w.SetLineImageYAxis(id, 0, height);
    w.SetLineImageDestYAxis(id, 0, height);
    return id;
}

// Appends lines 0 .. count - 1 at time stamps 1 .. count.
void Fill(GL& w, int id, int width, int count, const std::function<int(int line, int column)>& value)
{
    std::vector<unsigned char> line(static_cast<size_t>(width));
    for (int k = 0; k < count; ++k) {
        for (int c = 0; c < width; ++c)
            line[size_t(c)] = static_cast<unsigned char>(value(k, c));
        EXPECT_TRUE(w.SetLineImageData(id, 1 + k, line.data())) << k;
    }
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

TEST_F(LineImageTest, TimeStampsAppendRewriteOrAreRefused)
{
    const int id = LineImageWithWidth(w, 300, 100);
    for (int t : {100, 200, 300})
        EXPECT_TRUE(w.SetLineImageData(id, t, Bytes(300, t / 100).data()));
    EXPECT_FALSE(w.SetLineImageData(id, 200, Bytes(300, 20).data())) << "a stored time stamp rewrites its line";
    EXPECT_EQ(w.GetLineImageData(id, 1), AsString(Bytes(300, 20)));
    EXPECT_FALSE(w.SetLineImageData(id, 300, Bytes(300, 30).data())) << "so does the newest one, repeated";
    EXPECT_EQ(w.GetLineImageData(id, 0), AsString(Bytes(300, 30)));
    EXPECT_TRUE(errors.vLogged.empty());
    for (unsigned long long refused : {250ull, 50ull, 0ull}) {
        EXPECT_FALSE(w.SetLineImageData(id, refused, Bytes(300, 9).data()));
        expectOneError(errors, "Unknown existing TimeStamp");
    }
    EXPECT_FALSE(w.SetLineImageData(id, 400, nullptr)) << "no data";
    EXPECT_FALSE(w.SetLineImageData(id, 400, Bytes(299, 2).data(), 299)) << "fewer bytes than the width";
    EXPECT_FALSE(w.SetLineImageData(id, 400, Bytes(300, 3).data(), -1));
    EXPECT_TRUE(w.SetLineImageData(id, 400, Bytes(300, 4).data(), 300));
    EXPECT_TRUE(errors.vLogged.empty());

    EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(100ull, 400ull));
    const unsigned long long stamps[] = {400, 300, 200, 100};
    const int seeds[] = {4, 30, 20, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(w.GetLineImageTimeStamp(id, i), stamps[i]);
        EXPECT_EQ(w.GetLineImageData(id, i), AsString(Bytes(300, seeds[i]))) << "refused calls lose no line";
    }
    EXPECT_EQ(w.GetLineImageTimeStamp(id, 4), 0u);
    EXPECT_EQ(w.GetLineImageTimeStamp(id, -1), 0u);
    EXPECT_TRUE(w.GetLineImageData(id, 4).empty());
    EXPECT_EQ(w.GetLineImageData(id, 0).size(), 300u) << "exactly width bytes, after a shorter answer";
}

TEST_F(LineImageTest, NearestLineOfATimeStamp)
{
    const int id = LineImageWithWidth(w, 4, 10);
    const unsigned char data[4] = {1, 2, 3, 4};
    bool found = true;
    for (unsigned long long t : {100ull, 200ull, 300ull}) {
        if (t < 300) {
            found = true;
            EXPECT_EQ(w.GetLineImageLine(id, 100, found), 0);
            EXPECT_FALSE(found) << "no lines, or a single one, which never brackets even its own time stamp";
        }
        w.SetLineImageData(id, t, data);
    }
    struct Case { unsigned long long stamp; int line; bool found; };
    for (const Case& c : {Case{290, 0, true}, Case{210, 1, true}, Case{250, 0, true}, Case{150, 1, true},
                          Case{149, 2, true}, Case{100, 2, true}, Case{300, 0, true}, Case{200, 1, true},
                          Case{50, 0, false}, Case{301, 0, false}}) {
        found = !c.found;
        EXPECT_EQ(w.GetLineImageLine(id, c.stamp, found), c.line) << c.stamp;
        EXPECT_EQ(found, c.found) << c.stamp;
    }
    found = true;
    EXPECT_EQ(w.GetLineImageLine(id + 1, 250, found), 0);
    EXPECT_FALSE(found);
}

// Every piece stays within one tile and carries value(first column of the piece, column) at its ends.
int ExpectTilePieces(const GL::GLSections& pieces, const std::function<double(int, int)>& value)
{
    int columns = 0;
    for (const GL::GLSection& piece : pieces) {
        EXPECT_EQ(piece.iPixelFrom / 256, (piece.iPixelTo - 1) / 256) << "crosses a tile at " << piece.iPixelFrom;
        EXPECT_FLOAT_EQ(piece.fValueFrom, float(value(piece.iPixelFrom, piece.iPixelFrom)));
        EXPECT_FLOAT_EQ(piece.fValueTo, float(value(piece.iPixelFrom, piece.iPixelTo)));
        columns += piece.iPixelTo - piece.iPixelFrom;
    }
    return columns;
}

TEST(LineImage, ColumnSectionsNeverCrossATile)
{
    LineSurface w;
    const int id = w.CreateLineImage();
    const auto sections = [&] { return *w.LineImage(id)->pXSections; };
    w.SetLineImageXAxis(id, 0, 1000, 600);
    EXPECT_EQ(ExpectTilePieces(sections(), [](int, int c) { return 1000.0 * c / 599; }), 600);
    EXPECT_EQ(sections().size(), 3u);
    EXPECT_EQ(sections().front().iPixelFrom, 0);
    EXPECT_EQ(w.LineImage(id)->iWidth, 600);
    w.SetLineImageXAxis(id, 5, 9, 1);
    EXPECT_EQ(ExpectTilePieces(sections(), [](int, int) { return 5.0; }), 1) << "one column has the value min";
    for (int count : {0, -7}) {
        w.SetLineImageXAxis(id, 0, 1, count);
        EXPECT_TRUE(sections().empty());
        EXPECT_EQ(w.LineImage(id)->iWidth, 0);
    }
    // 16-bit columns are cut, not wrapped, and the kept ones keep their values.
    w.SetLineImageXAxis(id, 0, 39999, 40000);
    EXPECT_EQ(w.LineImage(id)->iWidth, GL::ciMaxLineImageWidth);
    EXPECT_EQ(ExpectTilePieces(sections(), [](int, int c) { return c; }), GL::ciMaxLineImageWidth);
    EXPECT_EQ(sections().back().iPixelTo, GL::ciMaxLineImageWidth);

    // With a skipped range: pieces of the visible pixel sections, valued along their section.
    axisDefinition axis;
    axis.init(0.0, 100.0, 700);
    axis.AddSkip(40.0, 60.0, true);
    w.SetLineImageXAxis(id, axis.GetAxisDefinitionSet());
    EXPECT_EQ(w.LineImage(id)->iWidth, 700);
    std::vector<const pixSection*> visible;
    for (const pixSection& pix : axis.GetPixSections())
        if (pix.GetFactor() > 0)
            visible.push_back(&pix);
    ASSERT_EQ(visible.size(), 2u);
    const int columns = ExpectTilePieces(sections(), [&](int first, int c) {
        const auto owner = std::find_if(visible.begin(), visible.end(), [&](const pixSection* pix) {
            return first >= pix->GetOffset() && first < pix->GetOffset() + pix->GetWidth();
        });
        EXPECT_NE(owner, visible.end()) << first;
        const pixSection& pix = owner == visible.end() ? *visible[0] : **owner;
        return pix.GetFrom() + (c - pix.GetOffset()) * (pix.GetTo() - pix.GetFrom()) / (pix.GetWidth() - 1);
    });
    EXPECT_EQ(columns, int(visible[0]->GetWidth() + visible[1]->GetWidth()));
    EXPECT_FLOAT_EQ(sections().front().fValueFrom, 0.0f);
}

TEST_F(LineImageTest, TrimmingKeepsTheBufferHeight)
{
    struct Case { int buffer, lines; unsigned long long oldest, newest; size_t tileLines; };
    // A buffer of 0 or less stores each line and trims it at once; a huge one reserves nothing ahead.
    for (const Case& c : {Case{10, 12, 3, 12, 1}, Case{0, 3, 0, 0, 0}, Case{-5, 3, 0, 0, 0},
                          Case{10000000, 600, 1, 600, 3}}) {
        const int id = LineImageWithWidth(w, 300, c.buffer);
        for (int i = 1; i <= c.lines; ++i)
            EXPECT_TRUE(w.SetLineImageData(id, i, Bytes(300, i).data())) << c.buffer;
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(c.oldest, c.newest)) << c.buffer;
        EXPECT_EQ(w.LineImage(id)->TileLines.size(), c.tileLines) << c.buffer;
        const int kept = c.oldest ? int(c.newest - c.oldest) + 1 : 0;
        EXPECT_EQ(w.GetLineImageTimeStamp(id, kept), 0u) << c.buffer;
        if (kept)
            EXPECT_EQ(w.GetLineImageData(id, kept - 1), AsString(Bytes(300, int(c.oldest)))) << c.buffer;
    }
    w.SetLineImageBufferHeight(0, 4);
    EXPECT_EQ(w.GetLineImageTimeStamp(0, 9), 3u) << "a new height waits for the next line";
    w.SetLineImageData(0, 13, Bytes(300, 13).data());
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(0), std::make_pair(10ull, 13ull));
}

TEST(LineImage, TileLinesHoldTwoHundredFiftySixLinesAndAreRecycled)
{
    {
        LineSurface w;
        Current current(w);
        // 300 lines span at most three tile lines of two tiles each.
        const int id = LineImageWithWidth(w, 300, 300);
        const int before = s_iGeneratedTextures;
        for (int i = 0; i < 256 * 6; ++i) {
            ASSERT_TRUE(w.SetLineImageData(id, 1 + i, Bytes(300, i).data()));
            const GL::GLLineImage& image = *w.LineImage(id);
            if (i != 256)
                continue;
            ASSERT_EQ(image.TileLines.size(), 2u) << "the 257th line starts a second tile line";
            EXPECT_EQ(image.TileLines[0]->iReferences, 256);
            EXPECT_EQ(image.TileLines[1]->iRowsUsed, 1);
            EXPECT_EQ(image.Lines.back().pTileLine, image.TileLines[1].get());
            EXPECT_EQ(s_iGeneratedTextures - before, 4);
            EXPECT_EQ(w.GetLineImageData(id, 0), AsString(Bytes(300, 256)));
            EXPECT_EQ(w.GetLineImageData(id, 256), AsString(Bytes(300, 0)));
        }
        EXPECT_EQ(s_iGeneratedTextures - before, 6) << "three tile lines' worth, then only recycled names";
        for (const auto& tileLine : w.LineImage(id)->TileLines)
            for (unsigned int name : tileLine->vTextures)
                EXPECT_EQ(s_LiveTextures.count(name), 1u) << name;
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(256ull * 6 - 299, 256ull * 6));
        EXPECT_EQ(w.GetLineImageData(id, 299), AsString(Bytes(300, 256 * 6 - 300)));

        const int zero = LineImageWithWidth(w, 300, 0);
        const int mid = s_iGeneratedTextures;
        for (int i = 0; i < 1000; ++i)
            w.SetLineImageData(zero, 1 + i, Bytes(300, i).data());
        EXPECT_EQ(s_iGeneratedTextures - mid, 0) << "the pool still holds a released tile line's names";
        w.DeleteLineImage(zero);
        w.DeleteLineImage(id);
        w.DeleteLineImage(id);
        EXPECT_GT(s_LiveTextures.size(), 0u) << "deleted images keep their tiles in the pool";
    }
    EXPECT_TRUE(s_LiveTextures.empty()) << "the pool is deleted with the context";
}

TEST(LineImage, BothModesDrawTheSameWaterfall)
{
    const QVector<unsigned int> table = Palette(40);
    // 300 lines of 300 values: two tile lines, two tiles each; every value including 255 occurs.
    auto value = [](int line, int column) { return (line * 5 + column * 3) % 256; };
    bool indexMode = false;
    const QImage img = renderLines(300, 300, [&](LineSurface& w) {
        indexMode = w.IndexMode();
        const int id = Waterfall(w, 300, 300, 300);
        w.SetLineImageColorTable(id, table);
        Fill(w, id, 300, 300, value);
        Draw(w, 300, 300, {id});
    });
    ASSERT_EQ(indexMode, !qEnvironmentVariable("MESA_EXTENSION_OVERRIDE").contains("-GL_ARB_fragment_shader"));
    expectPixels(img, [&](int x, int y) { return Shown(table, value(299 - y, x), indexMode); });
    // The one difference between the modes: value 255 shows entry 0 or entry 255.
    int x = 0;
    while (value(299, x) != 255)
        ++x;
    EXPECT_EQ(img.pixel(x, 0), Shown(table, indexMode ? 0 : 255, false));
    EXPECT_NE(Shown(table, 0, false), Shown(table, 255, false));
}

TEST(LineImage, PlacementFollowsTheAxesAndTheBufferHeightAndRestoresTheState)
{
    // 50 lines of 300 values, y axis 0..200 over 200 pixels with the lines covering 50..150:
    // rows 50 to 149 hold them, the newest on top. Buffer height 50 doubles each line; the
    // destination axis 0..299.5 over 600 pixels doubles each column.
    auto value = [](int line, int column) { return (line * 11 + column) % 255; };
    const QImage img = render(600, 200, [&](TestSurface& s) {
        const int id = LineImageWithWidth(s, 300, 50);
        s.SetLineImageDestXAxis(id, 0, 299.5, 600);
        s.SetLineImageYAxis(id, 0, 200);
        s.SetLineImageDestYAxis(id, 50, 150);
        Fill(s, id, 300, 50, value);
        GLfloat before[16], after[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, before);
        Draw(s, 600, 200, {id});
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        EXPECT_TRUE(std::equal(before, before + 16, after));
        GLint program = -1, unit = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
        EXPECT_EQ(program, 0);
        EXPECT_EQ(unit, GL_TEXTURE0);
        for (GLenum cap : {GL_TEXTURE_2D, GL_BLEND, GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY})
            EXPECT_FALSE(glIsEnabled(cap)) << cap;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
    expectPixels(img, [&](int x, int y) {
        const int v = value(49 - (y - 50) / 2, x / 2);
        return y >= 50 && y < 150 ? qRgb(v, v, v) : 0u;
    });
}

TEST(LineImage, ColourTableChangesReachOnlyLaterLinesInSoftwareMode)
{
    const QVector<unsigned int> before = Palette(0), after = Palette(100);
    bool indexMode = false;
    const QImage img = renderLines(64, 64, [&](LineSurface& w) {
        indexMode = w.IndexMode();
        const int id = Waterfall(w, 64, 64, 64);
        w.SetLineImageColorTable(id, before);
        const std::vector<unsigned char> line(64, 7);
        w.SetLineImageData(id, 1, line.data());
        Draw(w, 64, 64, {id}); // uploads the first table in index mode
        w.SetLineImageColorTable(id, after);
        w.SetLineImageData(id, 2, line.data());
        Draw(w, 64, 64, {id});
    });
    expectColour(img, 10, 0, Shown(after, 7, indexMode));
    expectColour(img, 10, 1, Shown(indexMode ? after : before, 7, indexMode));
    expectColour(img, 10, 2, 0);
}

TEST(LineImage, BadInputGetsDefinedAnswers)
{
    RecordingErrorHandler errors;
    {
        LineSurface w;
        w.resize(64, 64);
        const int id = LineImageWithWidth(w, 300, 100);
        EXPECT_FALSE(w.SetLineImageData(id, 1, Bytes(300, 1).data()));
        expectOneError(errors, "No context");
        w.DrawLineImage(id);
        {
            Current current(w);
            EXPECT_TRUE(w.SetLineImageData(id, 1, Bytes(300, 1).data()));
        }
        EXPECT_FALSE(w.SetLineImageData(id, 2, Bytes(300, 2).data()));
        expectOneError(errors, "No context");
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(1ull, 1ull)) << "refusals lose no line";

        // Invalid and deleted ids: nothing happens, the getters give their defaults, nothing is logged.
        const int deleted = w.CreateLineImage();
        w.DeleteLineImage(deleted);
        for (int bad : {-1, deleted, 99}) {
            w.SetLineImageBufferHeight(bad, 5);
            w.SetLineImageColorTable(bad, Palette(1));
            w.SetLineImageXAxis(bad, 0, 1, 10);
            w.SetLineImageXAxis(bad, axisDefinition().GetAxisDefinitionSet());
            w.SetLineImageDestXAxis(bad, 0, 1, 10);
            w.SetLineImageDestXAxis(bad, axisDefinition().GetAxisDefinitionSet());
            w.SetLineImageYAxis(bad, 0, 1);
            w.SetLineImageDestYAxis(bad, 0, 1);
            w.DrawLineImage(bad);
            w.DeleteLineImage(bad);
            bool found = true;
            EXPECT_EQ(w.GetLineImageLine(bad, 1, found), 0);
            EXPECT_FALSE(found);
            EXPECT_EQ(w.GetLineImageAvailableTimeRange(bad), std::make_pair(0ull, 0ull));
            EXPECT_EQ(w.GetLineImageTimeStamp(bad, 0), 0u);
            EXPECT_TRUE(w.GetLineImageData(bad, 0).empty());
            Current current(w);
            EXPECT_FALSE(w.SetLineImageData(bad, 9, Bytes(300, 9).data()));
        }
        EXPECT_TRUE(errors.vLogged.empty());
        EXPECT_EQ(w.GetLineImageData(id, 0), AsString(Bytes(300, 1)));
    }
    EXPECT_TRUE(s_LiveTextures.empty());
}

TEST(LineImage, WideAndEmptyLines)
{
    const QVector<unsigned int> table = Palette(3);
    int width = 0;
    bool indexMode = false;
    const QImage img = renderLines(64, 16, [&](LineSurface& w) {
        indexMode = w.IndexMode();
        // Wider than any texture: the tiles carry it, and the last columns draw.
        width = w.GetMaxTextureSize() + 300;
        const int wide = LineImageWithWidth(w, width, 4);
        w.SetLineImageColorTable(wide, table);
        w.SetLineImageDestXAxis(wide, width - 64, width - 1, 64);
        w.SetLineImageYAxis(wide, 0, 16);
        w.SetLineImageDestYAxis(wide, 12, 16);
        EXPECT_TRUE(w.SetLineImageData(wide, 1, Bytes(width, 5).data()));
        EXPECT_EQ(w.GetLineImageData(wide, 0), AsString(Bytes(width, 5)));
        EXPECT_EQ(w.LineImage(wide)->TileLines[0]->vTextures.size(), size_t((width + 255) / 256));

        // No columns: lines are kept but have no bytes and draw nothing; equal y limits draw nothing.
        const int empty = LineImageWithWidth(w, 0, 4);
        w.SetLineImageYAxis(empty, 0, 16);
        w.SetLineImageDestYAxis(empty, 0, 16);
        EXPECT_TRUE(w.SetLineImageData(empty, 1, nullptr));
        EXPECT_TRUE(w.GetLineImageData(empty, 0).empty());
        EXPECT_EQ(w.GetLineImageTimeStamp(empty, 0), 1u);
        const int flat = Waterfall(w, 64, 4, 4);
        w.SetLineImageYAxis(flat, 3, 3);
        w.SetLineImageData(flat, 1, Bytes(64, 1).data());
        Draw(w, 64, 16, {wide, empty, flat});
    });
    const std::vector<unsigned char> line = Bytes(width, 5);
    expectPixels(img, [&](int x, int y) { return y ? 0u : Shown(table, line[size_t(width - 64 + x)], indexMode); });
}

TEST(LineImage, ImagesCreatedAndDeletedInEveryOrderReuseIds)
{
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& order : orders) {
        {
            LineSurface w;
            Current current(w);
            for (int i = 0; i < 3; ++i) {
                ASSERT_EQ(LineImageWithWidth(w, 300, 300), i);
                w.SetLineImageData(i, 1, Bytes(300, i).data());
                w.SetLineImageYAxis(i, 0, 1);
            }
            Draw(w, 64, 64, {0, 1, 2}); // creates the colour-table textures in index mode
            w.DeleteLineImage(order[0]);
            EXPECT_EQ(w.GetLineImageTimeStamp(order[1], 0), 1u) << "the others keep their lines";
            EXPECT_EQ(w.CreateLineImage(), order[0]);
            w.DeleteLineImage(order[1]);
            w.DeleteLineImage(order[2]);
            EXPECT_EQ(w.CreateLineImage(), std::min(order[1], order[2]));
            EXPECT_EQ(w.CreateLineImage(), std::max(order[1], order[2]));
            EXPECT_EQ(w.CreateLineImage(), 3);
            EXPECT_EQ(w.GetLineImageTimeStamp(order[0], 0), 0u) << "a reused id starts empty";
        }
        EXPECT_TRUE(s_LiveTextures.empty()) << order[0] << order[1] << order[2];
    }
    // A colour-table texture deleted without a current context: the image makes it current itself.
    LineSurface w;
    {
        Current current(w);
        const int id = Waterfall(w, 8, 1, 8);
        w.SetLineImageData(id, 1, Bytes(8, 1).data());
        w.DrawLineImage(id);
    }
    const size_t live = s_LiveTextures.size();
    w.DeleteLineImage(0);
    EXPECT_FALSE(w.ActiveContext());
    EXPECT_EQ(live - s_LiveTextures.size(), w.IndexMode() ? 1u : 0u);
}
