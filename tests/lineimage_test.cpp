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

// Renders one frame of the lambda on a fresh w x h surface, as render() does, with the tiles in view.
QImage renderLines(int w, int h, const std::function<void(LineSurface&)>& paint)
{
    LineSurface surface;
    surface.resize(w, h);
    surface.paint = [&](TestSurface&) { paint(surface); };
    QImage image;
    EXPECT_TRUE(surface.RenderToImage(&image)) << surface.info().toStdString();
    return image;
}

bool StrippedRun()
{
    return qEnvironmentVariable("MESA_EXTENSION_OVERRIDE").contains("-GL_ARB_fragment_shader");
}

// A surface with its context current for the lifetime of the object, as inside a paint pass.
struct Current
{
    LineSurface& surface;
    explicit Current(LineSurface& s, int w = 64, int h = 64) : surface(s)
    {
        surface.resize(w, h);
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
} // namespace

TEST(LineImage, RunsInTheModeTheCapabilitiesGive)
{
    LineSurface w;
    Current current(w);
    EXPECT_EQ(w.IndexMode(), !StrippedRun()) << w.info().toStdString();
}

TEST(LineImage, TimeStampsAppendRewriteOrAreRefused)
{
    RecordingErrorHandler errors;
    LineSurface w;
    Current current(w);
    const int id = LineImageWithWidth(w, 300, 100);
    EXPECT_TRUE(w.SetLineImageData(id, 100, Bytes(300, 1).data()));
    EXPECT_TRUE(w.SetLineImageData(id, 200, Bytes(300, 2).data()));
    EXPECT_TRUE(w.SetLineImageData(id, 300, Bytes(300, 3).data()));
    EXPECT_TRUE(errors.vLogged.empty());

    EXPECT_FALSE(w.SetLineImageData(id, 200, Bytes(300, 20).data())) << "a stored time stamp rewrites its line";
    EXPECT_EQ(w.GetLineImageData(id, 1), AsString(Bytes(300, 20)));
    EXPECT_FALSE(w.SetLineImageData(id, 300, Bytes(300, 30).data())) << "so does the newest one, repeated";
    EXPECT_EQ(w.GetLineImageData(id, 0), AsString(Bytes(300, 30)));
    EXPECT_TRUE(errors.vLogged.empty());

    for (unsigned long long refused : {250ull, 50ull, 0ull}) {
        errors.vLogged.clear();
        EXPECT_FALSE(w.SetLineImageData(id, refused, Bytes(300, 9).data()));
        ASSERT_EQ(errors.vLogged.size(), 1u) << refused;
        EXPECT_EQ(errors.vLogged[0].sMessage, "Unknown existing TimeStamp");
        EXPECT_EQ(errors.vLogged[0].sFunction, "SetLineImageData");
        EXPECT_EQ(errors.vLogged[0].sClass, "GLFrameWidget");
    }
    EXPECT_TRUE(w.SetLineImageData(id, 400, Bytes(300, 4).data()));
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

TEST(LineImage, NearestLineOfATimeStamp)
{
    LineSurface w;
    Current current(w);
    const int id = LineImageWithWidth(w, 4, 10);
    bool found = true;
    EXPECT_EQ(w.GetLineImageLine(id, 100, found), 0);
    EXPECT_FALSE(found) << "no lines";
    const unsigned char data[4] = {1, 2, 3, 4};
    w.SetLineImageData(id, 100, data);
    found = true;
    EXPECT_EQ(w.GetLineImageLine(id, 100, found), 0);
    EXPECT_FALSE(found) << "a single line never brackets, not even its own time stamp";
    w.SetLineImageData(id, 200, data);
    w.SetLineImageData(id, 300, data);

    struct Case
    {
        unsigned long long stamp;
        int line;
        bool found;
    };
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

TEST(LineImage, ColumnSectionsNeverCrossATile)
{
    LineSurface w;
    const int id = w.CreateLineImage();
    w.SetLineImageXAxis(id, 0, 1000, 600);
    const GL::GLSections& s = *w.LineImage(id)->pXSections;
    ASSERT_EQ(s.size(), 3u);
    const int bounds[] = {0, 256, 512, 600};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(s[i].iPixelFrom, bounds[i]);
        EXPECT_EQ(s[i].iPixelTo, bounds[i + 1]);
        EXPECT_FLOAT_EQ(s[i].fValueFrom, float(1000.0 * bounds[i] / 599));
        EXPECT_FLOAT_EQ(s[i].fValueTo, float(1000.0 * bounds[i + 1] / 599));
    }
    EXPECT_EQ(w.LineImage(id)->iWidth, 600);

    w.SetLineImageXAxis(id, 5, 9, 1);
    ASSERT_EQ(w.LineImage(id)->pXSections->size(), 1u);
    EXPECT_EQ((*w.LineImage(id)->pXSections)[0].fValueTo, 5.0f) << "one column has the value min throughout";
    for (int count : {0, -7}) {
        w.SetLineImageXAxis(id, 0, 1, count);
        EXPECT_TRUE(w.LineImage(id)->pXSections->empty());
        EXPECT_EQ(w.LineImage(id)->iWidth, 0);
    }
    w.SetLineImageXAxis(id, 0, 39999, 40000);
    const GL::GLSections& wide = *w.LineImage(id)->pXSections;
    EXPECT_EQ(w.LineImage(id)->iWidth, GL::ciMaxLineImageWidth);
    EXPECT_EQ(wide.back().iPixelTo, GL::ciMaxLineImageWidth) << "16-bit columns are cut, not wrapped";
    EXPECT_FLOAT_EQ(wide.back().fValueTo, float(GL::ciMaxLineImageWidth)) << "kept columns keep their values";

    // Through an axis with a skipped range: pieces of the visible pixel sections, cut at 256.
    axisDefinition axis;
    axis.init(0.0, 100.0, 700);
    axis.AddSkip(40.0, 60.0, true);
    w.SetLineImageXAxis(id, axis.GetAxisDefinitionSet());
    EXPECT_EQ(w.LineImage(id)->iWidth, 700);
    const GL::GLSections& skip = *w.LineImage(id)->pXSections;
    std::vector<const pixSection*> visible;
    for (const pixSection& pix : axis.GetPixSections())
        if (pix.GetFactor() > 0)
            visible.push_back(&pix);
    ASSERT_EQ(visible.size(), 2u);
    int columns = 0;
    for (const GL::GLSection& piece : skip) {
        EXPECT_EQ(piece.iPixelFrom / 256, (piece.iPixelTo - 1) / 256) << "crosses a tile";
        columns += piece.iPixelTo - piece.iPixelFrom;
        const pixSection* owner = nullptr;
        for (const pixSection* pix : visible)
            if (piece.iPixelFrom >= pix->GetOffset() && piece.iPixelTo <= pix->GetOffset() + pix->GetWidth())
                owner = pix;
        ASSERT_NE(owner, nullptr) << piece.iPixelFrom;
        const double perColumn = (owner->GetTo() - owner->GetFrom()) / (owner->GetWidth() - 1);
        EXPECT_NEAR(piece.fValueFrom, owner->GetFrom() + (piece.iPixelFrom - owner->GetOffset()) * perColumn, 1e-4);
        EXPECT_NEAR(piece.fValueTo, owner->GetFrom() + (piece.iPixelTo - owner->GetOffset()) * perColumn, 1e-4);
    }
    EXPECT_EQ(columns, int(visible[0]->GetWidth() + visible[1]->GetWidth()));
    EXPECT_FLOAT_EQ(skip.front().fValueFrom, 0.0f);
}

TEST(LineImage, TwoHundredFiftySeventhLineStartsASecondTileLine)
{
    LineSurface w;
    Current current(w);
    const int id = LineImageWithWidth(w, 300, 1000);
    const int before = s_iGeneratedTextures;
    for (int i = 0; i < 257; ++i)
        ASSERT_TRUE(w.SetLineImageData(id, 1000 + i, Bytes(300, i).data()));
    const GL::GLLineImage& image = *w.LineImage(id);
    ASSERT_EQ(image.TileLines.size(), 2u);
    for (const auto& tileLine : image.TileLines) {
        EXPECT_EQ(tileLine->vTextures.size(), 2u);
        EXPECT_EQ(tileLine->vData.size(), 2u * 65536u);
    }
    EXPECT_EQ(image.TileLines[0]->iRowsUsed, 256);
    EXPECT_EQ(image.TileLines[0]->iReferences, 256);
    EXPECT_EQ(image.TileLines[1]->iRowsUsed, 1);
    EXPECT_EQ(image.Lines.back().pTileLine, image.TileLines[1].get());
    EXPECT_EQ(image.Lines.back().iRow, 0);
    EXPECT_EQ(s_iGeneratedTextures - before, 4);
    // Bytes of column c in row r live at ((c / 256) * 256 + r) * 256 + c % 256.
    EXPECT_EQ(image.TileLines[0]->vData[(256 + 255) * 256 + 299 % 256], Bytes(300, 255)[299]);
    EXPECT_EQ(w.GetLineImageData(id, 0), AsString(Bytes(300, 256)));
    EXPECT_EQ(w.GetLineImageData(id, 256), AsString(Bytes(300, 0)));
}

TEST(LineImage, TrimmingKeepsTheBufferHeight)
{
    LineSurface w;
    Current current(w);
    const int id = LineImageWithWidth(w, 300, 10);
    for (int i = 1; i <= 12; ++i)
        w.SetLineImageData(id, 10 * i, Bytes(300, i).data());
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(30ull, 120ull));
    EXPECT_EQ(w.GetLineImageData(id, 9), AsString(Bytes(300, 3)));
    EXPECT_EQ(w.GetLineImageTimeStamp(id, 10), 0u);

    w.SetLineImageBufferHeight(id, 4);
    EXPECT_EQ(w.GetLineImageTimeStamp(id, 9), 30u) << "a new height waits for the next line";
    w.SetLineImageData(id, 130, Bytes(300, 13).data());
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(100ull, 130ull));

    const int none = LineImageWithWidth(w, 300, 0);
    EXPECT_TRUE(w.SetLineImageData(none, 5, Bytes(300, 5).data())) << "stored, then trimmed at once";
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(none), std::make_pair(0ull, 0ull));
    EXPECT_TRUE(w.LineImage(none)->TileLines.empty());
    w.SetLineImageBufferHeight(none, -5);
    EXPECT_EQ(w.LineImage(none)->iBufferHeight, 0);

    const int huge = LineImageWithWidth(w, 300, 10000000);
    for (int i = 1; i <= 600; ++i)
        w.SetLineImageData(huge, i, Bytes(300, i).data());
    EXPECT_EQ(w.GetLineImageAvailableTimeRange(huge), std::make_pair(1ull, 600ull));
    EXPECT_EQ(w.LineImage(huge)->TileLines.size(), 3u);
}

TEST(LineImage, TileTexturesAreRecycledThroughThePool)
{
    {
        LineSurface w;
        Current current(w);
        const int id = LineImageWithWidth(w, 300, 256);
        const int before = s_iGeneratedTextures;
        std::set<unsigned int> first;
        for (int i = 0; i < 256 * 6; ++i) {
            w.SetLineImageData(id, 1 + i, Bytes(300, i).data());
            for (const auto& tileLine : w.LineImage(id)->TileLines)
                if (i < 512)
                    first.insert(tileLine->vTextures.begin(), tileLine->vTextures.end());
        }
        EXPECT_EQ(s_iGeneratedTextures - before, 4) << "two tile lines' worth, then only recycled names";
        for (const auto& tileLine : w.LineImage(id)->TileLines)
            for (unsigned int name : tileLine->vTextures)
                EXPECT_EQ(first.count(name), 1u) << name;
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(1ull + 256 * 5, 256ull * 6));

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
    const bool stripped = StrippedRun();
    const QVector<unsigned int> table = Palette(40);
    // 300 lines of 300 values: two tile lines, two tiles each; every value including 255 occurs.
    auto value = [](int line, int column) { return (line * 5 + column * 3) % 256; };
    bool indexMode = false;
    const QImage img = renderLines(300, 300, [&](LineSurface& w) {
        indexMode = w.IndexMode();
        const int id = LineImageWithWidth(w, 300, 300);
        w.SetLineImageColorTable(id, table);
        w.SetLineImageDestXAxis(id, 0, 299, 300);
        w.SetLineImageYAxis(id, 0, 300);
        w.SetLineImageDestYAxis(id, 0, 300);
        std::vector<unsigned char> line(300);
        for (int k = 0; k < 300; ++k) {
            for (int c = 0; c < 300; ++c)
                line[size_t(c)] = static_cast<unsigned char>(value(k, c));
            w.SetLineImageData(id, 1 + k, line.data());
        }
        w.BeginViewPort(0, 0, 300, 300);
        w.DrawLineImage(id);
        w.EndViewPort(0, 0);
    });
    ASSERT_EQ(indexMode, !stripped);
    int wrong = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            if (img.pixel(x, y) != Shown(table, value(299 - y, x), indexMode) && ++wrong < 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << img.pixel(x, y) << ", not "
                              << Shown(table, value(299 - y, x), indexMode);
    EXPECT_EQ(wrong, 0);
    // The one difference between the modes: value 255 shows entry 0 or entry 255.
    int x = 0;
    while (value(299, x) != 255)
        ++x;
    EXPECT_EQ(img.pixel(x, 0), Shown(table, indexMode ? 0 : 255, false));
    EXPECT_NE(Shown(table, 0, false), Shown(table, 255, false));
}

TEST(LineImage, PlacementFollowsTheAxesAndTheBufferHeight)
{
    // 100 lines of 300 values, y axis 0..200 over 200 pixels with the lines covering 50..150:
    // rows 50 to 149 hold them, the newest on top. Buffer height 50 doubles each line; the
    // destination axis 0..299.5 over 600 pixels doubles each column.
    auto value = [](int line, int column) { return (line * 11 + column) % 255; };
    const QImage img = render(600, 200, [&](TestSurface& s) {
        const int id = LineImageWithWidth(s, 300, 50);
        s.SetLineImageDestXAxis(id, 0, 299.5, 600);
        s.SetLineImageYAxis(id, 0, 200);
        s.SetLineImageDestYAxis(id, 50, 150);
        std::vector<unsigned char> line(300);
        for (int k = 0; k < 50; ++k) {
            for (int c = 0; c < 300; ++c)
                line[size_t(c)] = static_cast<unsigned char>(value(k, c));
            s.SetLineImageData(id, 1 + k, line.data());
        }
        s.BeginViewPort(0, 0, 600, 200);
        s.DrawLineImage(id);
        s.EndViewPort(0, 0);
    });
    int wrong = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 600; ++x) {
            const bool inside = y >= 50 && y < 150;
            const int v = value(49 - (y - 50) / 2, x / 2);
            const QRgb expected = inside ? qRgb(v, v, v) : 0u;
            if (img.pixel(x, y) != expected && ++wrong < 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << img.pixel(x, y);
        }
    EXPECT_EQ(wrong, 0);
}

TEST(LineImage, ColourTableChangesReachOnlyLaterLinesInSoftwareMode)
{
    const QVector<unsigned int> before = Palette(0), after = Palette(100);
    bool indexMode = false;
    const QImage img = renderLines(64, 64, [&](LineSurface& w) {
        indexMode = w.IndexMode();
        const int id = LineImageWithWidth(w, 64, 64);
        w.SetLineImageDestXAxis(id, 0, 63, 64);
        w.SetLineImageYAxis(id, 0, 64);
        w.SetLineImageDestYAxis(id, 0, 64);
        w.SetLineImageColorTable(id, before);
        const std::vector<unsigned char> line(64, 7);
        w.BeginViewPort(0, 0, 64, 64);
        w.SetLineImageData(id, 1, line.data());
        w.DrawLineImage(id); // uploads the first table in index mode
        w.SetLineImageColorTable(id, after);
        w.SetLineImageData(id, 2, line.data());
        w.DrawLineImage(id);
        w.EndViewPort(0, 0);
    });
    expectColour(img, 10, 0, Shown(after, 7, indexMode));
    expectColour(img, 10, 1, Shown(indexMode ? after : before, 7, indexMode));
    expectColour(img, 10, 2, 0);
}

TEST(LineImage, DrawingRestoresTheState)
{
    render(64, 64, [&](TestSurface& s) {
        const int id = LineImageWithWidth(s, 64, 64);
        s.SetLineImageDestXAxis(id, 0, 63, 64);
        s.SetLineImageYAxis(id, 0, 32);
        s.SetLineImageDestYAxis(id, 0, 32);
        const std::vector<unsigned char> line(64, 9);
        s.SetLineImageData(id, 1, line.data());
        GLfloat before[16], after[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, before);
        s.BeginViewPort(0, 0, 64, 64);
        s.DrawLineImage(id);
        s.EndViewPort(0, 0);
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        EXPECT_TRUE(std::equal(before, before + 16, after));
        GLint program = -1, unit = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
        EXPECT_EQ(program, 0);
        EXPECT_EQ(unit, GL_TEXTURE0);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

TEST(LineImage, BadInputGetsDefinedAnswers)
{
    RecordingErrorHandler errors;
    {
        LineSurface w;
        w.resize(64, 64);
        const int id = LineImageWithWidth(w, 300, 100);
        EXPECT_FALSE(w.SetLineImageData(id, 1, Bytes(300, 1).data()));
        ASSERT_EQ(errors.vLogged.size(), 1u);
        EXPECT_EQ(errors.vLogged[0].sMessage, "No context");
        EXPECT_EQ(errors.vLogged[0].sFunction, "SetLineImageData");
        w.DrawLineImage(id);
        {
            Current current(w);
            EXPECT_TRUE(w.SetLineImageData(id, 1, Bytes(300, 1).data()));
            EXPECT_FALSE(w.SetLineImageData(id, 2, nullptr)) << "no data";
            EXPECT_FALSE(w.SetLineImageData(id, 2, Bytes(299, 2).data(), 299)) << "fewer bytes than the width";
            EXPECT_TRUE(w.SetLineImageData(id, 2, Bytes(300, 2).data(), 300));
            EXPECT_FALSE(w.SetLineImageData(id, 3, Bytes(300, 3).data(), -1));
        }
        errors.vLogged.clear();
        EXPECT_FALSE(w.SetLineImageData(id, 3, Bytes(300, 3).data()));
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(1ull, 2ull)) << "refusals lose no line";
        EXPECT_EQ(w.GetLineImageData(id, 0), AsString(Bytes(300, 2)));

        // Invalid and deleted ids: nothing happens, the getters give their defaults, nothing is logged.
        const int deleted = w.CreateLineImage();
        w.DeleteLineImage(deleted);
        errors.vLogged.clear();
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
        EXPECT_EQ(w.GetLineImageAvailableTimeRange(id), std::make_pair(1ull, 2ull));
    }
    EXPECT_TRUE(s_LiveTextures.empty());
}

TEST(LineImage, WideAndEmptyLines)
{
    const QVector<unsigned int> table = Palette(3);
    int maxTexture = 0;
    bool indexMode = false;
    const QImage img = renderLines(64, 16, [&](LineSurface& w) {
        indexMode = w.IndexMode();
        maxTexture = w.GetMaxTextureSize();
        // Wider than any texture: the tiles carry it, and the last columns draw.
        const int width = maxTexture + 300;
        const int wide = LineImageWithWidth(w, width, 4);
        w.SetLineImageColorTable(wide, table);
        w.SetLineImageDestXAxis(wide, width - 64, width - 1, 64);
        w.SetLineImageYAxis(wide, 0, 16);
        w.SetLineImageDestYAxis(wide, 12, 16);
        const std::vector<unsigned char> line = Bytes(width, 5);
        EXPECT_TRUE(w.SetLineImageData(wide, 1, line.data()));
        EXPECT_EQ(w.GetLineImageData(wide, 0), AsString(line));
        EXPECT_EQ(w.LineImage(wide)->TileLines[0]->vTextures.size(), size_t((width + 255) / 256));

        // No columns: lines are kept but have no bytes and draw nothing; equal y limits draw nothing.
        const int empty = LineImageWithWidth(w, 0, 4);
        w.SetLineImageYAxis(empty, 0, 16);
        w.SetLineImageDestYAxis(empty, 0, 16);
        EXPECT_TRUE(w.SetLineImageData(empty, 1, nullptr));
        EXPECT_TRUE(w.GetLineImageData(empty, 0).empty());
        EXPECT_EQ(w.GetLineImageTimeStamp(empty, 0), 1u);
        const int flat = LineImageWithWidth(w, 64, 4);
        w.SetLineImageDestXAxis(flat, 0, 63, 64);
        w.SetLineImageYAxis(flat, 3, 3);
        w.SetLineImageDestYAxis(flat, 0, 4);
        w.SetLineImageData(flat, 1, Bytes(64, 1).data());

        w.BeginViewPort(0, 0, 64, 16);
        w.DrawLineImage(wide);
        w.DrawLineImage(empty);
        w.DrawLineImage(flat);
        w.EndViewPort(0, 0);
    });
    const int width = maxTexture + 300;
    const std::vector<unsigned char> line = Bytes(width, 5);
    for (int x = 0; x < 64; ++x)
        expectColour(img, x, 0, Shown(table, line[size_t(width - 64 + x)], indexMode));
    for (int y = 1; y < 16; ++y)
        EXPECT_TRUE(litColumns(img, y).empty()) << "row " << y;
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
            }
            w.BeginViewPort(0, 0, 64, 64);
            for (int i = 0; i < 3; ++i) {
                w.SetLineImageYAxis(i, 0, 1);
                w.DrawLineImage(i); // creates the colour-table texture in index mode
            }
            w.EndViewPort(0, 0);
            w.DeleteLineImage(order[0]);
            EXPECT_EQ(w.GetLineImageTimeStamp(order[1], 0), 1u) << "the others keep their lines";
            EXPECT_EQ(w.CreateLineImage(), order[0]);
            w.DeleteLineImage(order[1]);
            w.DeleteLineImage(order[2]);
            const int lowest = std::min(order[1], order[2]);
            EXPECT_EQ(w.CreateLineImage(), lowest);
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
        const int id = LineImageWithWidth(w, 8, 8);
        w.SetLineImageYAxis(id, 0, 1);
        w.SetLineImageData(id, 1, Bytes(8, 1).data());
        w.DrawLineImage(id);
    }
    const size_t live = s_LiveTextures.size();
    w.DeleteLineImage(0);
    EXPECT_FALSE(w.ActiveContext());
    EXPECT_EQ(live - s_LiveTextures.size(), w.IndexMode() ? 1u : 0u);
}
