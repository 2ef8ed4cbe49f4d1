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
using Bytes = std::vector<unsigned char>;

qint64 s_iNow = 1000;
qint64 FakeClock() { return s_iNow; }

bool StrippedRun() { return qEnvironmentVariable("MESA_EXTENSION_OVERRIDE").contains("-GL_ARB_fragment_shader"); }

Bytes Filled(int w, int h, unsigned char value) { return Bytes(size_t(w) * size_t(h), value); }

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
    void Feed(int id, unsigned long long stamp, const Bytes& data, int bytesPerLine)
    {
        SetAgedImageData(id, stamp, data.data(), bytesPerLine, int(data.size()));
    }
    QImage Show(int id, const Bytes& data, int bytesPerLine)
    {
        return Frame([&](AgedSurface& w) {
            w.Feed(id, 0, data, bytesPerLine);
            w.DrawAgedImage(id);
        });
    }
    QImage Draw(int id) { return Frame([&](AgedSurface& w) { w.DrawAgedImage(id); }); }
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

// Alpha of a white picture drawn over black, read from the red channel in both modes.
int ShownAlpha(const QImage& frame) { return qRed(frame.pixel(5, 5)); }

int Lit(const QImage& frame)
{
    int lit = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            lit += frame.pixel(x, y) != 0;
    return lit;
}
} // namespace

TEST(AgedImageRecords, IdsAreReusedAndBadIdsDoNothing)
{
    AgedSurface s;
    for (int expected : {0, 1, 2})
        EXPECT_EQ(s.CreateAgedImage(), expected);
    s.SetAgedImageHoldTime(1, 50);
    s.DeleteAgedImage(1);
    EXPECT_EQ(s.AgedImage(1), nullptr);
    EXPECT_EQ(s.CreateAgedImage(), 1);
    EXPECT_FLOAT_EQ(s.AgedImage(1)->fHoldTime, 1000.0f) << "a reused record starts afresh";
    EXPECT_EQ(s.AgedImage(1)->ColorTable[7], 0xFFFFFFFFu);
    EXPECT_EQ(s.CreateAgedImage(), 3);

    const unsigned char byte = 1;
    for (int bad : {-1, 4, 1000}) {
        float px = 1, py = 1, angle = 1;
        int x = 1;
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
        EXPECT_TRUE(px == 0 && py == 0 && x == 0 && angle == 0) << "id " << bad;
    }
}

TEST(AgedImageData, FramesAreCheckedBeforeTheyArePainted)
{
    RecordingErrorHandler errors;
    AgedSurface s(100, 10);
    const int id = s.CreateImage(100, 10);
    s.SetAgedImageColorTable(id, QVector<unsigned int>{0, qRgb(255, 0, 0), qRgb(0, 255, 0)});
    EXPECT_EQ(s.Show(id, Filled(100, 10, 1), 100).pixel(50, 5), qRgb(255, 0, 0));
    Bytes longer = Filled(100, 10, 2), shorter = Filled(100, 10, 1);
    longer.resize(1050, 2); // 10 rows and a part: accepted
    shorter.resize(990);    // 9 rows: ignored, as are the frames below
    EXPECT_EQ(s.Show(id, longer, 100).pixel(50, 5), qRgb(0, 255, 0));
    EXPECT_EQ(s.Show(id, Filled(99, 10, 1), 99).pixel(50, 5), qRgb(0, 255, 0)) << "rows shorter than the image";
    EXPECT_EQ(s.Show(id, shorter, 100).pixel(50, 5), qRgb(0, 255, 0));
    for (int bytesPerLine : {0, -100})
        EXPECT_EQ(s.Show(id, Filled(100, 10, 1), bytesPerLine).pixel(50, 5), qRgb(0, 255, 0)) << bytesPerLine;
    s.Frame([&](AgedSurface& w) { w.SetAgedImageData(id, 0, nullptr, 100, 1000); });
    EXPECT_EQ(s.Show(id, Filled(100, 10, 0), 100).pixel(50, 5), qRgb(0, 255, 0)) << "zeros change no colour";
    EXPECT_TRUE(errors.vLogged.empty());

    // Outside a paint pass the frame is dropped with a message.
    s.Feed(id, 0, Filled(100, 10, 1), 100);
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "No context");
    EXPECT_EQ(errors.vLogged[0].sFunction, "SetAgedImageBitData");
    EXPECT_EQ(s.Draw(id).pixel(50, 5), qRgb(0, 255, 0));
}

TEST(AgedImageData, AgeingSwitchesFramesAndFadingOnAndOff)
{
    AgedSurface s;
    const int id = s.CreateImage(64, 32);
    const QTimer& timer = s.AgedImage(id)->RepaintTimer;
    EXPECT_TRUE(timer.isActive() && !timer.isSingleShot()) << "ageing repaints the widget every frame interval";
    EXPECT_EQ(timer.interval(), 16);
    s.SetAgeing(id, false);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(s.Show(id, Filled(64, 32, 1), 64).pixel(10, 10), 0u) << "no frames are taken while ageing is off";

    s.SetAgeing(id, true);
    s.Frame([&](AgedSurface& w) { w.Feed(id, 0, Filled(64, 32, 1), 64); });
    s.SetAgeing(id, false);
    s.Advance(5000);
    EXPECT_EQ(s.Draw(id).pixel(10, 10), qRgb(255, 255, 255)) << "switched off after frames: drawn unchanged";

    // A new size draws nothing until the next frame; the same size changes nothing.
    s.SetAgedImageBufferSize(id, 64, 32);
    EXPECT_EQ(s.Draw(id).pixel(10, 10), qRgb(255, 255, 255));
    s.SetAgedImageBufferSize(id, 32, 32);
    EXPECT_EQ(s.AgedImage(id)->uTextureA, 0u);
    EXPECT_EQ(s.Draw(id).pixel(10, 10), 0u);

    s.SetAgeing(id, true);
    s.DeleteAgedImage(id);
    EXPECT_EQ(s.CreateAgedImage(), id);
    EXPECT_FALSE(s.AgedImage(id)->RepaintTimer.isActive()) << "deletion stopped it; a new record starts off";
}

TEST(AgedImageAgeing, TheFrameClockAndTimeStampsFadeInHoldTimeSteps)
{
    AgedSurface s;
    s.Advance(0); // the first painted frame: the image's ageing starts from its time
    const int id = s.CreateImage(64, 32);
    s.SetAgedImageHoldTime(id, 10'000);
    s.Frame([&](AgedSurface& w) { w.Feed(id, 0, Filled(64, 32, 1), 64); });
    // Software mode also keeps the exact alpha in its buffer.
    auto expectFaded = [&](int alpha, const char* when) {
        const QImage frame = s.Draw(id);
        EXPECT_NEAR(ShownAlpha(frame), alpha, 2) << when;
        const GL::GLAgedImage* image = s.AgedImage(id);
        if (!image->bFBOMode)
            EXPECT_EQ(image->vPixels[size_t(5 * image->iStride + 5) * 4 + 3], alpha) << when;
        return frame;
    };
    expectFaded(255, "fresh");
    s_iNow += 100;
    s.Draw(id);
    expectFaded(255, "snapshots leave the frame clock alone");

    s.Advance(4900);
    const QImage frame = expectFaded(128, "half the hold time");
    // Without a separate alpha blend the frame's alpha can only follow the colour's factors.
    if (s.m_bBlendFuncSeparate)
        EXPECT_NEAR(qAlpha(frame.pixel(5, 5)), 128, 2) << "premultiplied: over nothing, as opaque as it is bright";
    s.Advance(60);
    expectFaded(128, "60 ms are below 1 % and do not fade");
    s.Advance(40);
    expectFaded(126, "the 100 ms accumulated do");
    s.Advance(10'000);
    EXPECT_EQ(s.Draw(id).pixel(5, 5), 0u) << "a full hold time clears the picture";
    s.Advance(30'000);
    EXPECT_EQ(s.Draw(id).pixel(5, 5), 0u) << "and it stays cleared";

    // Time stamps instead of the frame clock.
    const int stamped = s.CreateImage(64, 32);
    const Bytes zeros = Filled(64, 32, 0);
    unsigned long long stamp = 1'000'000;
    QImage shown = s.Frame([&](AgedSurface& w) {
        w.Feed(stamped, stamp, Filled(64, 32, 1), 64);
        for (int i = 0; i < 40; ++i) // 5 ms apart: each step is below 1 % and is lost
            w.Feed(stamped, stamp += 5000, zeros, 64);
        w.DrawAgedImage(stamped);
    });
    EXPECT_EQ(ShownAlpha(shown), 255);
    shown = s.Frame([&](AgedSurface& w) {
        w.Feed(stamped, stamp += 500'000, zeros, 64);
        w.Feed(stamped, stamp - 400'000, zeros, 64); // older than the last: fades nothing
        w.DrawAgedImage(stamped);
    });
    EXPECT_NEAR(ShownAlpha(shown), 128, 2);

    // A hold time below 10 ms counts as 10: 5 ms fade half of it.
    const int quick = s.CreateImage(64, 32);
    s.SetAgedImageHoldTime(quick, 5);
    EXPECT_FLOAT_EQ(s.AgedImage(quick)->fHoldTime, 10.0f);
    shown = s.Frame([&](AgedSurface& w) {
        w.Feed(quick, 7'000, Filled(64, 32, 1), 64);
        w.Feed(quick, 12'000, zeros, 64);
        w.DrawAgedImage(quick);
    });
    EXPECT_NEAR(ShownAlpha(shown), 128, 2);
}

TEST(AgedImagePixels, BothModesPaintTheTableColoursInPlace)
{
    // Made before the first paint: the image takes the context's mode, not software mode for good.
    AgedSurface s(128, 64, false);
    const int id = s.CreateImage(64, 32);
    QVector<unsigned int> table;
    for (int i = 0; i < 256; ++i)
        table.push_back(qRgb(i, 255 - i, (i * 7) & 0xFF));
    s.SetAgedImageColorTable(id, table);
    // Column c of row r holds value (c + 4 r) % 256, with value 0 at column 0 of row 0.
    Bytes data(64 * 32);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>((i % 64 + 4 * (i / 64)) % 256);
    // The image is stretched twice in x onto the screen axis and fills the upper half in y.
    s.SetAgedImageDestXAxis(id, 0, 63.5, 128);
    s.SetAgedImageYAxis(id, 0, 2);
    s.SetAgedImageDestYAxis(id, 1, 2);
    const QImage frame = s.Show(id, data, 64);
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
    EXPECT_EQ(Lit(frame.copy(0, 32, 128, 32)), 0) << "the lower half stays empty";

    // Colour lists: their alpha is ignored, and entries beyond them are opaque black.
    s.SetAgedImageColorTable(id, std::vector<QColor>{Qt::black, QColor(10, 20, 30), QColor(200, 100, 50, 7)});
    for (int value : {1, 2, 3})
        std::fill(data.begin() + 64 * 10 * (value - 1), data.end(), static_cast<unsigned char>(value));
    const QImage listed = s.Show(id, data, 64);
    EXPECT_EQ(listed.pixel(3, 5), qRgb(10, 20, 30));
    EXPECT_EQ(listed.pixel(3, 15), qRgb(200, 100, 50));
    EXPECT_EQ(listed.pixel(3, 25), qRgb(0, 0, 0));
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
        const QImage frame = s.Show(id, Filled(64, 32, 1), 64);
        ASSERT_EQ(errors.vLogged.size(), 1u) << message;
        EXPECT_EQ(errors.vLogged[0].sMessage, message);
        EXPECT_EQ(errors.vLogged[0].sFunction, "CreateFramebuffer");
        const GL::GLAgedImage* image = s.AgedImage(id);
        EXPECT_FALSE(image->bFBOMode);
        EXPECT_NE(image->uTextureA, 0u);
        EXPECT_EQ(image->uTextureB | image->uDataTexture | image->uFrameBuffer, 0u);
        EXPECT_EQ(frame.pixel(20, 20), qRgb(255, 255, 255)) << "the frame that met the failure is kept";
        // Later frames stay in software mode and never try again.
        s.Frame([&](AgedSurface& w) { w.Feed(id, 0, Filled(64, 32, 1), 64); });
        EXPECT_EQ(s.iStatusChecks, 1);
    }
}

TEST(AgedImageTextures, SizesFollowTheImageStateIsKeptAndDeletionFreesEveryGLObject)
{
    AgedSurface s;
    const int max = s.GetMaxTextureSize();
    struct Case
    {
        int width, height, stride, textureWidth;
    } cases[] = {{5, 3, 8, 8},       {4, 3, 4, 4},       {1, 3, 4, 4}, {300, 3, 300, 512},
                 {301, 3, 304, 512}, {max + 100, 2, max, max}}; // beyond the largest texture both stop there
    auto state = [] {
        std::vector<GLint> values(10);
        glGetIntegerv(GL_VIEWPORT, values.data());
        values[4] = glIsEnabled(GL_BLEND);
        values[5] = glIsEnabled(GL_SCISSOR_TEST);
        values[6] = glIsEnabled(GL_TEXTURE_2D);
        glGetIntegerv(GL_DRAW_BUFFER, &values[7]);
        glGetIntegerv(GL_CURRENT_PROGRAM, &values[8]);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &values[9]);
        return values;
    };
    std::vector<unsigned int> textures, framebuffers;
    s.Frame([&](AgedSurface& w) {
        for (const Case& c : cases) {
            const int id = w.CreateImage(c.width, c.height);
            if (id == 3)
                glDisable(GL_SCISSOR_TEST);
            const std::vector<GLint> before = state();
            w.Feed(id, 0, Filled(c.width, c.height, 3), c.width);
            w.DrawAgedImage(id);
            w.DrawAgedImagePolar(id);
            EXPECT_EQ(state(), before) << "width " << c.width;
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            const GL::GLAgedImage* image = w.AgedImage(id);
            EXPECT_EQ(image->iStride, c.stride) << "width " << c.width;
            EXPECT_FLOAT_EQ(image->fTextureU, float(c.width) / float(c.textureWidth)) << "width " << c.width;
            EXPECT_FLOAT_EQ(image->fTextureV, float(c.height) / 4.0f);
            EXPECT_EQ(image->uFrameBuffer != 0, image->bFBOMode);
            for (unsigned int t : {image->uTextureA, image->uTextureB, image->uDataTexture, image->uColorTableTexture})
                if (t)
                    textures.push_back(t);
            if (image->uFrameBuffer)
                framebuffers.push_back(image->uFrameBuffer);
        }
    });
    EXPECT_EQ(textures.size(), StrippedRun() ? 6u : 24u);
    EXPECT_EQ(framebuffers.size(), StrippedRun() ? 0u : 6u);
    // Taller than the largest texture, or flat: nothing is created.
    for (int height : {max + 1, 0}) {
        const int id = s.CreateImage(4, height);
        s.Frame([&](AgedSurface& w) { w.Feed(id, 0, Filled(4, height, 1), 4); });
        EXPECT_EQ(s.AgedImage(id)->uTextureA, 0u) << "height " << height;
        EXPECT_TRUE(s.AgedImage(id)->vPixels.empty()) << "height " << height;
    }
    // Outside a paint pass: deletion makes the context current itself.
    for (int id : {3, 0, 7, 5, 1, 6, 2, 4, 3})
        s.DeleteAgedImage(id);
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
constexpr float cfPi = 3.1415927f;

void ExpectPolar(AgedSurface& s, int id, int x, float angle, float px, float py)
{
    float ox = 0, oy = 0;
    s.AgedImageRectToPolar(id, x, angle, ox, oy);
    EXPECT_NEAR(ox, px, 1e-3) << "column " << x << " angle " << angle;
    EXPECT_NEAR(oy, py, 1e-3) << "column " << x << " angle " << angle;
}
} // namespace

TEST(AgedImagePolar, ConversionsFollowMarginsCentringAndTheRingAndRoundTrip)
{
    AgedSurface s(400, 300);
    const int id = s.CreateImage(400, 36);
    s.Frame([&](AgedSurface& w) {
        // Centred: rx = 200 - 20, ry = 150 - 15, so R = 135 around (200, 150). Angle pi/2 is no offset.
        w.SetAgedImagePolarParams(id, true, true, 10, 20, 5, 15, 0, cfPi / 2);
        ExpectPolar(w, id, 400, 0, 335, 150);
        ExpectPolar(w, id, 0, 1, 200, 150); // column 0 of a full disc is the centre
        // Not centred: rx = 370 / 2, ry = 280 / 2, R = 140 around (10 + 140, 5 + 140).
        w.SetAgedImagePolarParams(id, false, false, 10, 20, 5, 15, 0, cfPi / 2);
        ExpectPolar(w, id, 400, cfPi / 2, 150, 145 + 140);
        // An angle of 0 turns the display by -pi/2: rectangular angle 0 points up.
        w.SetAgedImagePolarParams(id, false, false, 10, 20, 5, 15, 0, 0);
        ExpectPolar(w, id, 400, 0, 150, 5);
    });
    AgedSurface tiny(40, 40);
    const int small = tiny.CreateImage(40, 4);
    tiny.Frame([&](AgedSurface& w) {
        w.SetAgedImagePolarParams(small, true, true, 20, 20, 20, 20, 0, 0);
        ExpectPolar(w, small, 10, 1, 0, 0); // a ring under one pixel
    });

    AgedSurface square(200, 200);
    const int ring = square.CreateImage(200, 36);
    square.Frame([&](AgedSurface& w) {
        w.SetAgedImagePolarParams(ring, true, true, 0, 0, 0, 0, 0.25f, cfPi / 2);
        ExpectPolar(w, ring, 0, 0, 125, 100); // the inner ratio puts column 0 at radius 25
        ExpectPolar(w, ring, 200, 0, 200, 100);
        int x = -1;
        float angle = -1;
        w.AgedImagePolarToRect(ring, 100, 100, x, angle);
        EXPECT_EQ(x, 0) << "the centre lies inside the inner radius";
        w.AgedImagePolarToRect(ring, 100, 0, x, angle);
        EXPECT_EQ(x, 200) << "on the outer radius";
        EXPECT_NEAR(angle, 3 * cfPi / 2, 1e-4);
        w.AgedImagePolarToRect(ring, 400, 100, x, angle);
        EXPECT_EQ(x, 200) << "beyond the outer radius";
        EXPECT_NEAR(angle, 0, 1e-6);

        std::mt19937 random(7);
        std::uniform_int_distribution<int> column(0, 199);
        std::uniform_real_distribution<float> turn(0.01f, 2 * cfPi - 0.01f);
        for (float offset : {cfPi / 2, 0.0f, 40.0f}) {
            w.SetAgedImagePolarParams(ring, true, true, 0, 0, 0, 0, 0.25f, offset);
            for (int i = 0; i < 500; ++i) {
                const int c = column(random);
                const float a = turn(random);
                float px = 0, py = 0;
                w.AgedImageRectToPolar(ring, c, a, px, py);
                w.AgedImagePolarToRect(ring, px, py, x, angle);
                ASSERT_NEAR(x, c, 1) << "column " << c << " angle " << a << " offset " << offset;
                ASSERT_NEAR(angle, a, 1e-3) << "column " << c << " angle " << a << " offset " << offset;
                ASSERT_TRUE(angle >= 0 && angle < 2 * cfPi) << angle;
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
    Bytes data = Filled(200, 64, 0);
    std::fill(data.begin(), data.begin() + 200 * 16, 1);
    s.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0.5f, cfPi / 2);
    const QImage frame = s.Frame([&](AgedSurface& w) {
        w.Feed(id, 0, data, 200);
        w.DrawAgedImagePolar(id);
    });
    auto at = [&](float radius, float degrees) {
        const float a = degrees * cfPi / 180;
        return frame.pixel(int(100 + radius * std::cos(a)), int(100 + radius * std::sin(a)));
    };
    for (auto [radius, degrees] : {std::pair{75, 315}, {55, 290}, {95, 340}})
        EXPECT_EQ(at(radius, degrees), qRgb(255, 255, 255)) << radius << " at " << degrees;
    // Empty rows in the other quarters, nothing inside the inner radius or outside the ring.
    for (auto [radius, degrees] : {std::pair{75, 45}, {75, 135}, {75, 225}, {40, 315}, {0, 0}})
        EXPECT_EQ(at(radius, degrees), 0u) << radius << " at " << degrees;
    EXPECT_EQ(frame.pixel(195, 5), 0u);
}

TEST(AgedImagePolar, GridCirclesAndRadialLinesFollowTheRing)
{
    AgedSurface s(200, 200);
    const int id = s.CreateImage(200, 36);
    s.SetAgedImagePolarParams(id, true, true, 20, 20, 20, 20, 0.5f, cfPi / 2);
    const GL::GLLineStyle red(GL::eLineSolid, 1, Qt::red);
    // R = 80 around (100, 100): the circle at column W is the outer edge.
    QImage frame = s.Frame([&](AgedSurface& w) { w.DrawAgedImagePolarXCircle(id, 200, red); });
    EXPECT_EQ(Lit(frame.copy(0, 100, 200, 1)), 2);
    auto redNear = [&](int x, int y, int dx, int dy) {
        return qRed(frame.pixel(x, y)) + qRed(frame.pixel(x + dx, y + dy));
    };
    EXPECT_GT(redNear(180, 100, -1, 0), 0);
    EXPECT_GT(redNear(20, 100, 1, 0), 0);
    EXPECT_GT(redNear(100, 20, 0, 1), 0);

    // From radius 40 to 80 along +x, starting at the inner radius and only along the angle.
    frame = s.Frame([&](AgedSurface& w) { w.DrawAgedImagePolarYLine(id, 0, red); });
    EXPECT_GT(redNear(160, 100, 0, -1), 0);
    EXPECT_EQ(frame.pixel(120, 100) | frame.pixel(120, 99), 0u);
    EXPECT_EQ(frame.pixel(100, 160) | frame.pixel(99, 160), 0u);

    for (const GL::GLLineStyle& none : {GL::GLLineStyle(GL::eLineSolid, 0, Qt::red),
                                        GL::GLLineStyle(GL::eLineNone, 3, Qt::red)}) {
        frame = s.Frame([&](AgedSurface& w) {
            w.DrawAgedImagePolarXCircle(id, 200, none);
            w.DrawAgedImagePolarYLine(id, 0, none);
        });
        EXPECT_EQ(Lit(frame), 0) << "width " << none.Size();
    }
}
