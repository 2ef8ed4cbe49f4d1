// Runs twice: as is (FBO mode on llvmpipe) and with framebuffer objects and the fragment shader
// removed by Mesa (software mode). Both runs must show the same pictures; where the two modes
// differ by design, the expectation says so.
#include "glplatform_p.h"
#include "support/render_fixture.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <QtTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

namespace
{
using GL = GLFrameWidget;

qint64 s_iNow = 1000;
qint64 FakeClock() { return s_iNow; }

bool StrippedRun() { return qEnvironmentVariable("MESA_EXTENSION_OVERRIDE").contains("-GL_ARB_fragment_shader"); }

// A surface kept across frames, with the clock injected and the image internals in view.
class AgedSurface : public TestSurface
{
public:
    using GLFrameWidget::AgedImage;
    unsigned int uForcedStatus = 0; // when set, the framebuffer reports this status
    int iStatusChecks = 0;

    // started: render a first frame, so that the context exists from here on.
    explicit AgedSurface(int w = 64, int h = 32, bool started = true)
    {
        GLPlatform::SetClock(FakeClock);
        resize(w, h);
        if (started)
            Frame([](AgedSurface&) {});
    }
    ~AgedSurface() override { GLPlatform::SetClock(nullptr); }

    // Renders one frame of the lambda inside a viewport covering the surface.
    QImage Frame(const std::function<void(AgedSurface&)>& draw)
    {
        paint = [&](TestSurface&) {
            BeginViewPort(0, 0, float(width()), float(height()));
            draw(*this);
            EndViewPort(0, 0);
        };
        QImage image;
        EXPECT_TRUE(RenderToImage(&image)) << info().toStdString();
        paint = nullptr;
        return image;
    }
    // Moves the clock and paints: images age by the time of the last painted frame, which only a
    // paint pass (at most one per 16 ms) sets, never a snapshot.
    void Advance(int ms)
    {
        s_iNow += ms;
        if (!isVisible()) {
            show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(this));
        }
        repaint();
    }
    // An image of w x h covering the viewport, white table, ageing on.
    int CreateImage(int w, int h)
    {
        const int id = CreateAgedImage();
        SetAgedImageBufferSize(id, w, h);
        SetAgedImageXAxis(id, 0, w - 1, w);
        SetAgedImageDestXAxis(id, 0, w - 1, w);
        SetAgedImageYAxis(id, 0, 1);
        SetAgedImageDestYAxis(id, 0, 1);
        SetAgeing(id, true);
        return id;
    }

protected:
    unsigned int FramebufferStatus() override
    {
        ++iStatusChecks;
        return uForcedStatus ? uForcedStatus : GLFrameWidget::FramebufferStatus();
    }
};

std::vector<unsigned char> Filled(int w, int h, unsigned char value)
{
    return std::vector<unsigned char>(size_t(w) * size_t(h), value);
}

void Feed(AgedSurface& s, int id, unsigned long long stamp, const std::vector<unsigned char>& data, int bytesPerLine)
{
    s.SetAgedImageData(id, stamp, data.data(), bytesPerLine, int(data.size()));
}

// Alpha of the picture's pixel: exact from the buffer in software mode, from the red channel of
// a white image drawn over black in both modes.
int ShownAlpha(const QImage& frame, int x, int y) { return qRed(frame.pixel(x, y)); }

int BufferAlpha(const AgedSurface& s, int id, int x, int y)
{
    const GL::GLAgedImage* image = s.AgedImage(id);
    return image->vPixels[(size_t(y) * size_t(image->iStride) + size_t(x)) * 4 + 3];
}

} // namespace

TEST(AgedImageTextures, SizesStridesAndEdgesFollowTheImageWidth)
{
    AgedSurface s;
    struct Case
    {
        int width, stride, textureWidth;
    } cases[] = {{5, 8, 8}, {4, 4, 4}, {1, 4, 4}, {300, 300, 512}, {301, 304, 512}};
    for (const Case& c : cases) {
        const int id = s.CreateImage(c.width, 3);
        s.Frame([&](AgedSurface& w) { Feed(w, id, 0, Filled(c.width, 3, 1), c.width); });
        const GL::GLAgedImage* image = s.AgedImage(id);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->iStride, c.stride) << "width " << c.width;
        EXPECT_FLOAT_EQ(image->fTextureU, float(c.width) / float(c.textureWidth)) << "width " << c.width;
        EXPECT_FLOAT_EQ(image->fTextureV, 3.0f / 4.0f);
        EXPECT_NE(image->uTextureA, 0u);
        EXPECT_EQ(image->uFrameBuffer != 0, image->bFBOMode);
        s.DeleteAgedImage(id);
    }
    // Beyond the largest texture the stride and texture stop there; taller images are refused.
    const int max = s.GetMaxTextureSize();
    const int wide = s.CreateImage(max + 100, 2);
    s.Frame([&](AgedSurface& w) { Feed(w, wide, 0, Filled(max + 100, 2, 1), max + 100); });
    EXPECT_EQ(s.AgedImage(wide)->iStride, max);
    EXPECT_FLOAT_EQ(s.AgedImage(wide)->fTextureU, float(max + 100) / float(max));
    const int tall = s.CreateImage(4, max + 1);
    s.Frame([&](AgedSurface& w) { Feed(w, tall, 0, Filled(4, max + 1, 1), 4); });
    EXPECT_EQ(s.AgedImage(tall)->uTextureA, 0u);
    EXPECT_TRUE(s.AgedImage(tall)->vPixels.empty());
    // Height 0 creates nothing.
    const int flat = s.CreateImage(8, 0);
    s.Frame([&](AgedSurface& w) { Feed(w, flat, 0, {}, 8); });
    EXPECT_EQ(s.AgedImage(flat)->uTextureA, 0u);
}

TEST(AgedImageRecords, IdsAreReusedAndBadIdsDoNothing)
{
    AgedSurface s;
    EXPECT_EQ(s.CreateAgedImage(), 0);
    EXPECT_EQ(s.CreateAgedImage(), 1);
    EXPECT_EQ(s.CreateAgedImage(), 2);
    s.SetAgedImageHoldTime(1, 50);
    s.DeleteAgedImage(1);
    EXPECT_EQ(s.AgedImage(1), nullptr);
    EXPECT_EQ(s.CreateAgedImage(), 1);
    EXPECT_FLOAT_EQ(s.AgedImage(1)->fHoldTime, 1000.0f) << "a reused record starts afresh";
    EXPECT_EQ(s.AgedImage(1)->ColorTable[7], 0xFFFFFFFFu);
    EXPECT_EQ(s.CreateAgedImage(), 3);

    const unsigned char byte = 1;
    float px = 1, py = 1;
    int x = 1;
    float angle = 1;
    for (int bad : {-1, 4, 1000}) {
        s.DeleteAgedImage(bad);
        s.SetAgedImageBufferSize(bad, 4, 4);
        s.SetAgedImageColorTable(bad, QVector<unsigned int>{1, 2});
        s.SetAgedImageHoldTime(bad, 3);
        s.SetAgeing(bad, true);
        s.SetAgedImagePolarParams(bad, true, true, 0, 0, 0, 0, 0, 0);
        s.Frame([&](AgedSurface& w) {
            w.SetAgedImageData(bad, 1, &byte, 1, 1);
            w.DrawAgedImage(bad);
            w.DrawAgedImagePolar(bad);
            w.AgedImageRectToPolar(bad, 3, 1, px, py);
            w.AgedImagePolarToRect(bad, 3, 1, x, angle);
        });
        EXPECT_EQ(px, 0);
        EXPECT_EQ(py, 0);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(angle, 0);
    }
}

TEST(AgedImageRecords, AnImageMadeBeforeTheContextTakesTheContextsMode)
{
    AgedSurface s(64, 32, false);
    const int id = s.CreateImage(64, 32);
    const QImage frame = s.Frame([&](AgedSurface& w) {
        Feed(w, id, 0, Filled(64, 32, 1), 64);
        w.DrawAgedImage(id);
    });
    EXPECT_EQ(frame.pixel(30, 20), qRgb(255, 255, 255));
    EXPECT_EQ(s.AgedImage(id)->bFBOMode, !StrippedRun());
}

TEST(AgedImageData, FramesAreCheckedBeforeTheyArePainted)
{
    RecordingErrorHandler errors;
    AgedSurface s(100, 10);
    const int id = s.CreateImage(100, 10);
    s.SetAgedImageColorTable(id, QVector<unsigned int>{0, qRgb(255, 0, 0), qRgb(0, 255, 0)});
    auto shown = [&](const std::vector<unsigned char>& data, int bytesPerLine) {
        return s.Frame([&](AgedSurface& w) {
            Feed(w, id, 0, data, bytesPerLine);
            w.DrawAgedImage(id);
        });
    };
    // 1050 / 100 = 10 rows: accepted; 990 bytes give 9 rows: ignored.
    EXPECT_EQ(shown(Filled(100, 10, 1), 100).pixel(50, 5), qRgb(255, 0, 0));
    std::vector<unsigned char> longer = Filled(100, 10, 2);
    longer.resize(1050, 2);
    EXPECT_EQ(shown(longer, 100).pixel(50, 5), qRgb(0, 255, 0));
    EXPECT_EQ(shown(Filled(99, 10, 1), 99).pixel(50, 5), qRgb(0, 255, 0)) << "rows shorter than the image";
    std::vector<unsigned char> shorter = Filled(100, 10, 1);
    shorter.resize(990);
    EXPECT_EQ(shown(shorter, 100).pixel(50, 5), qRgb(0, 255, 0));
    EXPECT_EQ(shown(Filled(100, 10, 1), 0).pixel(50, 5), qRgb(0, 255, 0));
    EXPECT_EQ(shown(Filled(100, 10, 1), -100).pixel(50, 5), qRgb(0, 255, 0));
    s.Frame([&](AgedSurface& w) { w.SetAgedImageData(id, 0, nullptr, 100, 1000); });
    // A frame of zeros changes no colour.
    EXPECT_EQ(shown(Filled(100, 10, 0), 100).pixel(50, 5), qRgb(0, 255, 0));
    EXPECT_TRUE(errors.vLogged.empty());

    // Outside a paint pass the frame is dropped with a message.
    Feed(s, id, 0, Filled(100, 10, 1), 100);
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "No context");
    EXPECT_EQ(errors.vLogged[0].sFunction, "SetAgedImageBitData");
    EXPECT_EQ(s.Frame([&](AgedSurface& w) { w.DrawAgedImage(id); }).pixel(50, 5), qRgb(0, 255, 0));
}

TEST(AgedImageData, AgeingSwitchesFramesAndFadingOnAndOff)
{
    AgedSurface s;
    const int id = s.CreateImage(64, 32);
    const QTimer& timer = s.AgedImage(id)->RepaintTimer;
    EXPECT_TRUE(timer.isActive()) << "ageing repaints the widget every frame interval";
    EXPECT_EQ(timer.interval(), 16);
    EXPECT_FALSE(timer.isSingleShot());
    s.SetAgeing(id, false);
    EXPECT_FALSE(timer.isActive());
    QImage frame = s.Frame([&](AgedSurface& w) {
        Feed(w, id, 0, Filled(64, 32, 1), 64);
        w.DrawAgedImage(id);
    });
    EXPECT_EQ(frame.pixel(10, 10), 0u) << "no frames are taken while ageing is off";

    s.SetAgeing(id, true);
    s.Frame([&](AgedSurface& w) { Feed(w, id, 0, Filled(64, 32, 1), 64); });
    s.SetAgeing(id, false);
    s.Advance(5000);
    frame = s.Frame([&](AgedSurface& w) { w.DrawAgedImage(id); });
    EXPECT_EQ(frame.pixel(10, 10), qRgb(255, 255, 255)) << "switched off after frames: drawn unchanged";

    // A new size draws nothing until the next frame; the same size changes nothing.
    s.SetAgedImageBufferSize(id, 64, 32);
    EXPECT_EQ(s.Frame([&](AgedSurface& w) { w.DrawAgedImage(id); }).pixel(10, 10), qRgb(255, 255, 255));
    s.SetAgedImageBufferSize(id, 32, 32);
    EXPECT_EQ(s.AgedImage(id)->uTextureA, 0u);
    EXPECT_EQ(s.Frame([&](AgedSurface& w) { w.DrawAgedImage(id); }).pixel(10, 10), 0u);

    s.SetAgeing(id, true);
    s.DeleteAgedImage(id);
    const int again = s.CreateAgedImage();
    EXPECT_EQ(again, id);
    EXPECT_FALSE(s.AgedImage(again)->RepaintTimer.isActive()) << "deletion stopped it; a new record starts off";
}

TEST(AgedImageAgeing, TheFrameClockFadesInHoldTimeSteps)
{
    AgedSurface s;
    s.Advance(0); // the first painted frame: the image's ageing starts from its time
    const int id = s.CreateImage(64, 32);
    s.SetAgedImageHoldTime(id, 10'000);
    s.Frame([&](AgedSurface& w) { Feed(w, id, 0, Filled(64, 32, 1), 64); });
    auto draw = [&] { return s.Frame([&](AgedSurface& w) { w.DrawAgedImage(id); }); };
    EXPECT_EQ(ShownAlpha(draw(), 5, 5), 255);
    s_iNow += 100;
    draw();
    EXPECT_EQ(ShownAlpha(draw(), 5, 5), 255) << "snapshots leave the frame clock alone";

    // 5 s of a 10 s hold: 255 - 127.
    s.Advance(4900);
    QImage frame = draw();
    EXPECT_NEAR(ShownAlpha(frame, 5, 5), 128, 2);
    // Without a separate alpha blend the frame's alpha can only follow the colour's factors.
    if (s.m_bBlendFuncSeparate)
        EXPECT_NEAR(qAlpha(frame.pixel(5, 5)), 128, 2) << "premultiplied: over nothing, as opaque as it is bright";
    if (!s.AgedImage(id)->bFBOMode)
        EXPECT_EQ(BufferAlpha(s, id, 5, 5), 128);
    // 60 ms is below 1 % and does not fade; 40 ms later the 100 ms accumulated do.
    s.Advance(60);
    EXPECT_NEAR(ShownAlpha(draw(), 5, 5), 128, 2);
    if (!s.AgedImage(id)->bFBOMode)
        EXPECT_EQ(BufferAlpha(s, id, 5, 5), 128);
    s.Advance(40);
    EXPECT_NEAR(ShownAlpha(draw(), 5, 5), 126, 2);
    if (!s.AgedImage(id)->bFBOMode)
        EXPECT_EQ(BufferAlpha(s, id, 5, 5), 126);
    // A full hold time clears the picture, and it stays cleared.
    s.Advance(10'000);
    EXPECT_EQ(draw().pixel(5, 5), 0u);
    s.Advance(30'000);
    EXPECT_EQ(draw().pixel(5, 5), 0u);
}

TEST(AgedImageAgeing, TimeStampsFadeOnlyInSteps)
{
    AgedSurface s;
    const int id = s.CreateImage(64, 32);
    const auto zeros = Filled(64, 32, 0);
    unsigned long long stamp = 1'000'000;
    QImage frame = s.Frame([&](AgedSurface& w) {
        Feed(w, id, stamp, Filled(64, 32, 1), 64);
        for (int i = 0; i < 40; ++i) // 5 ms apart: each step is below 1 % and is lost
            Feed(w, id, stamp += 5000, zeros, 64);
        w.DrawAgedImage(id);
    });
    EXPECT_EQ(ShownAlpha(frame, 5, 5), 255);
    frame = s.Frame([&](AgedSurface& w) {
        Feed(w, id, stamp += 500'000, zeros, 64);
        w.DrawAgedImage(id);
    });
    EXPECT_NEAR(ShownAlpha(frame, 5, 5), 128, 2);
    // A time stamp older than the last fades nothing.
    frame = s.Frame([&](AgedSurface& w) {
        Feed(w, id, stamp - 400'000, zeros, 64);
        w.DrawAgedImage(id);
    });
    EXPECT_NEAR(ShownAlpha(frame, 5, 5), 128, 2);

    // A hold time below 10 ms counts as 10: 5 ms fade half of it.
    const int quick = s.CreateImage(64, 32);
    s.SetAgedImageHoldTime(quick, 5);
    EXPECT_FLOAT_EQ(s.AgedImage(quick)->fHoldTime, 10.0f);
    frame = s.Frame([&](AgedSurface& w) {
        Feed(w, quick, 7'000, Filled(64, 32, 1), 64);
        Feed(w, quick, 12'000, zeros, 64);
        w.DrawAgedImage(quick);
    });
    EXPECT_NEAR(ShownAlpha(frame, 5, 5), 128, 2);
}

TEST(AgedImagePixels, BothModesPaintTheTableColoursInPlace)
{
    AgedSurface s(128, 64);
    const int id = s.CreateImage(64, 32);
    QVector<unsigned int> table;
    for (int i = 0; i < 256; ++i)
        table.push_back(qRgb(i, 255 - i, (i * 7) & 0xFF));
    s.SetAgedImageColorTable(id, table);
    // Column c of row r holds value (c + 4 r) % 256, with value 0 at column 0 of row 0.
    std::vector<unsigned char> data(64 * 32);
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 64; ++c)
            data[size_t(r) * 64 + size_t(c)] = static_cast<unsigned char>((c + 4 * r) % 256);
    // The image is stretched twice in x onto the screen axis and fills the upper half in y.
    s.SetAgedImageDestXAxis(id, 0, 63.5, 128);
    s.SetAgedImageYAxis(id, 0, 2);
    s.SetAgedImageDestYAxis(id, 1, 2);
    const QImage frame = s.Frame([&](AgedSurface& w) {
        Feed(w, id, 0, data, 64);
        w.DrawAgedImage(id);
    });
    const bool fbo = s.AgedImage(id)->bFBOMode;
    EXPECT_EQ(fbo, !StrippedRun());
    int checked = 0;
    for (int r = 0; r < 32; ++r) {
        for (int c = 0; c < 64; ++c) {
            const int value = data[size_t(r) * 64 + size_t(c)];
            if (value == 0)
                continue;
            // The shader's table lookup wraps value 255 onto entry 0.
            const QRgb expected = table[fbo && value == 255 ? 0 : value];
            ASSERT_EQ(frame.pixel(2 * c, r), expected) << "column " << c << " row " << r;
            ASSERT_EQ(frame.pixel(2 * c + 1, r), expected) << "column " << c << " row " << r;
            ++checked;
        }
    }
    EXPECT_GT(checked, 2000);
    EXPECT_EQ(frame.pixel(0, 0), 0u) << "value 0 leaves the cleared picture";
    for (int x = 0; x < 128; x += 9)
        EXPECT_EQ(frame.pixel(x, 40), 0u) << "the lower half stays empty";
}

TEST(AgedImagePixels, ColourTablesFillUnsetEntriesWithOpaqueBlack)
{
    AgedSurface s;
    const int id = s.CreateImage(64, 32);
    s.SetAgedImageColorTable(id, std::vector<QColor>{Qt::black, QColor(10, 20, 30), QColor(200, 100, 50, 7)});
    std::vector<unsigned char> data = Filled(64, 32, 1);
    std::fill(data.begin() + 64 * 10, data.end(), 2);
    std::fill(data.begin() + 64 * 20, data.end(), 3);
    const QImage frame = s.Frame([&](AgedSurface& w) {
        Feed(w, id, 0, data, 64);
        w.DrawAgedImage(id);
    });
    EXPECT_EQ(frame.pixel(3, 5), qRgb(10, 20, 30));
    EXPECT_EQ(frame.pixel(3, 15), qRgb(200, 100, 50)) << "the colour's alpha is ignored";
    EXPECT_EQ(frame.pixel(3, 25), qRgb(0, 0, 0)) << "entries beyond the list are opaque black";
    // Memory order R, G, B, A.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&s.AgedImage(id)->ColorTable[1]);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[1], 20);
    EXPECT_EQ(bytes[2], 30);
    EXPECT_EQ(bytes[3], 255);
}

TEST(AgedImageState, FramesAndDrawsLeaveTheGLStateAsTheyFoundIt)
{
    AgedSurface s;
    const int id = s.CreateImage(64, 32);
    auto state = [] {
        GLint values[10] = {};
        glGetIntegerv(GL_VIEWPORT, values);
        values[4] = glIsEnabled(GL_BLEND);
        values[5] = glIsEnabled(GL_SCISSOR_TEST);
        values[6] = glIsEnabled(GL_TEXTURE_2D);
        glGetIntegerv(GL_DRAW_BUFFER, values + 7);
        glGetIntegerv(GL_CURRENT_PROGRAM, values + 8);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, values + 9);
        return std::vector<GLint>(values, values + 10);
    };
    s.Frame([&](AgedSurface& w) {
        for (bool scissor : {true, false}) {
            if (!scissor)
                glDisable(GL_SCISSOR_TEST);
            const std::vector<GLint> before = state();
            Feed(w, id, 0, Filled(64, 32, 1), 64);
            w.DrawAgedImage(id);
            w.DrawAgedImagePolar(id);
            EXPECT_EQ(state(), before) << "scissor " << scissor;
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        }
    });
}

TEST(AgedImageFramebuffer, ARefusedFramebufferFallsBackWithoutLosingTheFrame)
{
    if (StrippedRun())
        GTEST_SKIP() << "no framebuffer objects in this run";
    const std::pair<unsigned int, const char*> statuses[] = {
        {GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT, "Incomplete attachment"},
        {GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT, "Missing attachment"},
        {GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT, "Incomplete dimensions"},
        {GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT, "Incomplete formats"},
        {GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER, "Incomplete draw buffer"},
        {GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER, "Incomplete read buffer"},
        {GL_FRAMEBUFFER_UNSUPPORTED, "Framebufferobjects unsupported"},
        {0x1234, "Unknown error"}};
    for (const auto& [status, message] : statuses) {
        RecordingErrorHandler errors;
        AgedSurface s;
        s.uForcedStatus = status;
        const int id = s.CreateImage(64, 32);
        ASSERT_TRUE(s.AgedImage(id)->bFBOMode);
        const QImage frame = s.Frame([&](AgedSurface& w) {
            Feed(w, id, 0, Filled(64, 32, 1), 64);
            w.DrawAgedImage(id);
        });
        ASSERT_EQ(errors.vLogged.size(), 1u) << message;
        EXPECT_EQ(errors.vLogged[0].sMessage, message);
        EXPECT_EQ(errors.vLogged[0].sFunction, "CreateFramebuffer");
        const GL::GLAgedImage* image = s.AgedImage(id);
        EXPECT_FALSE(image->bFBOMode);
        EXPECT_NE(image->uTextureA, 0u);
        EXPECT_EQ(image->uTextureB | image->uDataTexture | image->uFrameBuffer, 0u);
        EXPECT_EQ(frame.pixel(20, 20), qRgb(255, 255, 255)) << "the frame that met the failure is kept";
        // Later frames stay in software mode and never try again.
        s.Frame([&](AgedSurface& w) { Feed(w, id, 0, Filled(64, 32, 1), 64); });
        EXPECT_EQ(s.iStatusChecks, 1);
    }
}

TEST(AgedImageFramebuffer, DeletingImagesInAnyOrderFreesEveryGLObject)
{
    AgedSurface s;
    std::vector<int> ids;
    for (int i = 0; i < 5; ++i)
        ids.push_back(s.CreateImage(16 + i, 8));
    std::vector<unsigned int> textures, framebuffers;
    s.Frame([&](AgedSurface& w) {
        for (int id : ids) {
            Feed(w, id, 0, Filled(16 + id, 8, 3), 16 + id);
            w.DrawAgedImage(id);
            const GL::GLAgedImage* image = w.AgedImage(id);
            for (unsigned int t : {image->uTextureA, image->uTextureB, image->uDataTexture, image->uColorTableTexture})
                if (t)
                    textures.push_back(t);
            if (image->uFrameBuffer)
                framebuffers.push_back(image->uFrameBuffer);
        }
    });
    EXPECT_EQ(textures.size(), StrippedRun() ? 5u : 20u);
    EXPECT_EQ(framebuffers.size(), StrippedRun() ? 0u : 5u);
    // Outside a paint pass: deletion makes the context current itself.
    for (int id : {3, 0, 4, 1, 2})
        s.DeleteAgedImage(id);
    s.DeleteAgedImage(3);
    s.Frame([&](AgedSurface&) {
        for (unsigned int t : textures)
            EXPECT_FALSE(glIsTexture(t)) << "texture " << t;
        for (unsigned int f : framebuffers)
            EXPECT_FALSE(glIsFramebuffer(f)) << "framebuffer " << f;
    });
    EXPECT_EQ(s.CreateAgedImage(), 0);
}

namespace
{
struct PolarPoint
{
    float x = 0, y = 0;
};
PolarPoint ToPolar(AgedSurface& s, int id, int x, float angle)
{
    PolarPoint p;
    s.AgedImageRectToPolar(id, x, angle, p.x, p.y);
    return p;
}
constexpr float cfPi = 3.1415927f;
} // namespace

TEST(AgedImagePolar, GeometryFollowsMarginsCentringAndTheViewport)
{
    AgedSurface s(400, 300);
    const int id = s.CreateImage(400, 36);
    s.Frame([&](AgedSurface& w) {
        // Centred: rx = 200 - 20, ry = 150 - 15, so R = 135 around (200, 150). Angle pi/2 is no offset.
        w.SetAgedImagePolarParams(id, true, true, 10, 20, 5, 15, 0, cfPi / 2);
        PolarPoint p = ToPolar(w, id, 400, 0);
        EXPECT_NEAR(p.x, 335, 1e-3);
        EXPECT_NEAR(p.y, 150, 1e-3);
        p = ToPolar(w, id, 0, 1);
        EXPECT_NEAR(p.x, 200, 1e-3) << "column 0 of a full disc is the centre";
        EXPECT_NEAR(p.y, 150, 1e-3);
        // Not centred: rx = 370 / 2, ry = 280 / 2, R = 140 around (10 + 140, 5 + 140).
        w.SetAgedImagePolarParams(id, false, false, 10, 20, 5, 15, 0, cfPi / 2);
        p = ToPolar(w, id, 400, cfPi / 2);
        EXPECT_NEAR(p.x, 150, 1e-3);
        EXPECT_NEAR(p.y, 145 + 140, 1e-3);
        // An angle of 0 turns the display by -pi/2: rectangular angle 0 points up.
        w.SetAgedImagePolarParams(id, false, false, 10, 20, 5, 15, 0, 0);
        p = ToPolar(w, id, 400, 0);
        EXPECT_NEAR(p.x, 150, 1e-3);
        EXPECT_NEAR(p.y, 5, 1e-3);
    });
    // A ring under one pixel gives zeros.
    AgedSurface tiny(40, 40);
    const int small = tiny.CreateImage(40, 4);
    tiny.Frame([&](AgedSurface& w) {
        w.SetAgedImagePolarParams(small, true, true, 20, 20, 20, 20, 0, 0);
        const PolarPoint p = ToPolar(w, small, 10, 1);
        EXPECT_EQ(p.x, 0);
        EXPECT_EQ(p.y, 0);
    });
}

TEST(AgedImagePolar, ConversionsRoundTripAndClampToTheRing)
{
    AgedSurface s(200, 200);
    const int id = s.CreateImage(200, 36);
    s.Frame([&](AgedSurface& w) {
        w.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0.25f, cfPi / 2);
        PolarPoint p = ToPolar(w, id, 0, 0);
        EXPECT_NEAR(p.x, 125, 1e-3) << "the inner ratio puts column 0 at radius 25";
        p = ToPolar(w, id, 200, 0);
        EXPECT_NEAR(p.x, 200, 1e-3);
        int x = -1;
        float angle = -1;
        w.AgedImagePolarToRect(id, 100, 100, x, angle);
        EXPECT_EQ(x, 0) << "the centre lies inside the inner radius";
        w.AgedImagePolarToRect(id, 100, 0, x, angle);
        EXPECT_EQ(x, 200) << "on the outer radius";
        EXPECT_NEAR(angle, 3 * cfPi / 2, 1e-4);
        w.AgedImagePolarToRect(id, 400, 100, x, angle);
        EXPECT_EQ(x, 200) << "beyond the outer radius";
        EXPECT_NEAR(angle, 0, 1e-6);

        std::mt19937 random(7);
        std::uniform_int_distribution<int> column(0, 199);
        std::uniform_real_distribution<float> turn(0.01f, 2 * cfPi - 0.01f);
        for (float offset : {cfPi / 2, 0.0f, 40.0f}) {
            w.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0.25f, offset);
            for (int i = 0; i < 500; ++i) {
                const int c = column(random);
                const float a = turn(random);
                p = ToPolar(w, id, c, a);
                w.AgedImagePolarToRect(id, p.x, p.y, x, angle);
                ASSERT_NEAR(x, c, 1) << "column " << c << " angle " << a << " offset " << offset;
                ASSERT_NEAR(angle, a, 1e-3) << "column " << c << " angle " << a << " offset " << offset;
                ASSERT_GE(angle, 0);
                ASSERT_LT(angle, 2 * cfPi);
            }
        }
    });
}

TEST(AgedImagePolar, TheRingShowsTheFirstRowsBeforeAFullTurn)
{
    // Both modes: a 200 x 200 ring of radius 100 with an inner ratio 0.5; the first quarter of the
    // image's rows lies in the last quarter turn, which with no offset is the upper right.
    AgedSurface s(200, 200);
    const int id = s.CreateImage(200, 64);
    std::vector<unsigned char> data = Filled(200, 64, 0);
    std::fill(data.begin(), data.begin() + 200 * 16, 1);
    s.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0.5f, cfPi / 2);
    const QImage frame = s.Frame([&](AgedSurface& w) {
        Feed(w, id, 0, data, 200);
        w.DrawAgedImagePolar(id);
    });
    auto at = [&](float radius, float degrees) {
        const float a = degrees * cfPi / 180;
        return frame.pixel(int(100 + radius * std::cos(a)), int(100 + radius * std::sin(a)));
    };
    EXPECT_EQ(at(75, 315), qRgb(255, 255, 255));
    EXPECT_EQ(at(55, 290), qRgb(255, 255, 255));
    EXPECT_EQ(at(95, 340), qRgb(255, 255, 255));
    EXPECT_EQ(at(75, 45), 0u) << "the other quarters hold empty rows";
    EXPECT_EQ(at(75, 135), 0u);
    EXPECT_EQ(at(75, 225), 0u);
    EXPECT_EQ(at(40, 315), 0u) << "inside the inner radius";
    EXPECT_EQ(frame.pixel(100, 100), 0u);
    EXPECT_EQ(frame.pixel(195, 5), 0u) << "outside the ring";
}

TEST(AgedImagePolar, GridCirclesAndRadialLinesFollowTheRing)
{
    AgedSurface s(200, 200);
    const int id = s.CreateImage(200, 36);
    s.SetAgedImagePolarParams(id, true, true, 20, 20, 20, 20, 0.5f, cfPi / 2);
    const GL::GLLineStyle red(GL::eLineSolid, 1, Qt::red);
    QImage frame = s.Frame([&](AgedSurface& w) { w.DrawAgedImagePolarXCircle(id, 200, red); });
    // R = 80 around (100, 100): the circle at column W is the outer edge.
    int lit = 0;
    for (int x = 0; x < 200; ++x)
        lit += qRed(frame.pixel(x, 100)) > 0;
    EXPECT_EQ(lit, 2);
    EXPECT_GT(qRed(frame.pixel(180, 100)) + qRed(frame.pixel(179, 100)), 0);
    EXPECT_GT(qRed(frame.pixel(20, 100)) + qRed(frame.pixel(21, 100)), 0);
    EXPECT_GT(qRed(frame.pixel(100, 20)) + qRed(frame.pixel(100, 21)), 0);

    frame = s.Frame([&](AgedSurface& w) { w.DrawAgedImagePolarYLine(id, 0, red); });
    // From radius 40 to 80 along +x.
    EXPECT_GT(qRed(frame.pixel(160, 100)) + qRed(frame.pixel(160, 99)), 0);
    EXPECT_EQ(frame.pixel(120, 100) | frame.pixel(120, 99), 0u) << "the line starts at the inner radius";
    EXPECT_EQ(frame.pixel(100, 160) | frame.pixel(99, 160), 0u) << "only along the angle";

    for (const GL::GLLineStyle& none : {GL::GLLineStyle(GL::eLineSolid, 0, Qt::red),
                                        GL::GLLineStyle(GL::eLineNone, 3, Qt::red)}) {
        frame = s.Frame([&](AgedSurface& w) {
            w.DrawAgedImagePolarXCircle(id, 200, none);
            w.DrawAgedImagePolarYLine(id, 0, none);
        });
        int any = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                any += frame.pixel(x, y) != 0;
        EXPECT_EQ(any, 0) << "width " << none.Size();
    }
}
