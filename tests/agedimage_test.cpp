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
constexpr float cfPi = 3.1415927f;
const QRgb cRed = qRgb(255, 0, 0), cGreen = qRgb(0, 255, 0), cWhite = qRgb(255, 255, 255);

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
    // One frame that takes the data, if any, and draws the image.
    QImage Show(int id, const Bytes& data = {}, int bytesPerLine = 0)
    {
        return Frame([&](AgedSurface& w) {
            if (!data.empty())
                w.Feed(id, 0, data, bytesPerLine);
            w.DrawAgedImage(id);
        });
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
        SetAgedImageBufferSize(id, w, h), SetAgedImageXAxis(id, 0, w - 1, w), SetAgedImageDestXAxis(id, 0, w - 1, w);
        SetAgedImageYAxis(id, 0, 1), SetAgedImageDestYAxis(id, 0, 1), SetAgeing(id, true);
        return id;
    }

protected:
    unsigned int FramebufferStatus() override { return uForcedStatus ? uForcedStatus : GL::FramebufferStatus(); }
};
} // namespace

TEST(AgedImageRecords, AnySizeKeepsTheGLStateDeletionFreesEveryGLObjectAndBadIdsDoNothing)
{
    AgedSurface s;
    const int max = s.GetMaxTextureSize();
    auto state = [] { // what the surrounding drawing relies on
        std::vector<GLint> v(10);
        glGetIntegerv(GL_VIEWPORT, v.data());
        v[4] = glIsEnabled(GL_BLEND), v[5] = glIsEnabled(GL_SCISSOR_TEST), v[6] = glIsEnabled(GL_TEXTURE_2D);
        glGetIntegerv(GL_DRAW_BUFFER, &v[7]), glGetIntegerv(GL_CURRENT_PROGRAM, &v[8]);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &v[9]);
        return v;
    };
    std::vector<unsigned int> textures, framebuffers;
    s.Frame([&](AgedSurface& w) {
        // Widths around the texture steps and beyond the largest texture; taller than that, or flat, makes nothing.
        for (auto [width, height] :
             {std::pair{5, 3}, {4, 3}, {1, 3}, {300, 3}, {301, 3}, {max + 100, 3}, {4, max + 1}, {4, 0}}) {
            const int id = w.CreateImage(width, height);
            if (id == 3)
                glDisable(GL_SCISSOR_TEST);
            const std::vector<GLint> before = state();
            w.Feed(id, 0, Filled(width, height, 3), width), w.DrawAgedImage(id), w.DrawAgedImagePolar(id);
            EXPECT_EQ(state(), before) << width << " x " << height;
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            const GL::GLAgedImage* image = w.AgedImage(id);
            EXPECT_EQ(image->uTextureA != 0, height == 3) << width << " x " << height;
            for (unsigned int t : {image->uTextureA, image->uTextureB, image->uDataTexture, image->uColorTableTexture})
                if (t)
                    textures.push_back(t);
            if (image->uFrameBuffer)
                framebuffers.push_back(image->uFrameBuffer);
        }
    });
    EXPECT_EQ(textures.size() + framebuffers.size(), StrippedRun() ? 6u : 30u);
    s.SetAgedImageHoldTime(1, 50);
    for (int id : {3, 0, 7, 5, 1, 6, 2, 4, 3}) // outside a paint pass: deletion makes the context current itself
        s.DeleteAgedImage(id);
    s.Frame([&](AgedSurface&) {
        for (unsigned int t : textures)
            EXPECT_FALSE(glIsTexture(t)) << "texture " << t;
        for (unsigned int f : framebuffers)
            EXPECT_FALSE(glIsFramebuffer(f)) << "framebuffer " << f;
    });
    EXPECT_EQ(s.AgedImage(1), nullptr);
    for (int expected : {0, 1})
        EXPECT_EQ(s.CreateAgedImage(), expected) << "deleted ids are reused";
    EXPECT_FLOAT_EQ(s.AgedImage(1)->fHoldTime, 1000.0f) << "a reused record starts afresh";
    EXPECT_FALSE(s.AgedImage(1)->RepaintTimer.isActive()) << "deletion stopped the timer; a new record starts off";

    const unsigned char byte = 1;
    for (int bad : {-1, 2, 9}) {
        float px = 1, py = 1, angle = 1;
        int x = 1;
        s.DeleteAgedImage(bad), s.SetAgedImageBufferSize(bad, 4, 4), s.SetAgedImageHoldTime(bad, 3);
        s.SetAgedImageColorTable(bad, QVector<unsigned int>{1, 2}), s.SetAgeing(bad, true);
        s.SetAgedImagePolarParams(bad, true, true, 0, 0, 0, 0, 0, 0);
        s.Frame([&](AgedSurface& w) {
            w.SetAgedImageData(bad, 1, &byte, 1, 1), w.DrawAgedImage(bad), w.DrawAgedImagePolar(bad);
            w.AgedImageRectToPolar(bad, 3, 1, px, py), w.AgedImagePolarToRect(bad, 3, 1, x, angle);
        });
        EXPECT_TRUE(px == 0 && py == 0 && x == 0 && angle == 0) << "id " << bad;
    }
}

TEST(AgedImageAgeing, TheFrameClockAndTimeStampsFadeInHoldTimeSteps)
{
    AgedSurface s;
    s.Advance(0); // the first painted frame: the image's ageing starts from its time
    const int id = s.CreateImage(64, 32);
    s.SetAgedImageHoldTime(id, 10'000);
    s.Frame([&](AgedSurface& w) { w.Feed(id, 0, Filled(64, 32, 1), 64); });
    // The alpha of the white picture over black shows in red, in both modes.
    auto expectFaded = [&](int alpha, const char* when) {
        EXPECT_NEAR(qRed(s.Show(id).pixel(5, 5)), alpha, 2) << when;
    };
    expectFaded(255, "fresh");
    s_iNow += 100, s.Show(id);
    expectFaded(255, "snapshots leave the frame clock alone");
    s.Advance(4900);
    expectFaded(128, "half the hold time");
    // Without a separate alpha blend the frame's alpha can only follow the colour's factors.
    if (s.m_bBlendFuncSeparate)
        EXPECT_NEAR(qAlpha(s.Show(id).pixel(5, 5)), 128, 2) << "premultiplied: over nothing, as opaque as it is bright";
    s.Advance(60);
    expectFaded(128, "60 ms are below 1 % and do not fade");
    s.Advance(40);
    expectFaded(126, "the 100 ms accumulated do");
    s.Advance(10'000);
    expectFaded(0, "a full hold time clears the picture");

    // Time stamps in microseconds instead of the frame clock, on the upper half; on the lower half, a
    // hold time below 10 ms counts as 10.
    const Bytes zeros = Filled(64, 32, 0);
    const int stamped = s.CreateImage(64, 32), quick = s.CreateImage(64, 32);
    s.SetAgedImageYAxis(stamped, 0, 2), s.SetAgedImageDestYAxis(stamped, 1, 2);
    s.SetAgedImageYAxis(quick, 0, 2), s.SetAgedImageDestYAxis(quick, 0, 1), s.SetAgedImageHoldTime(quick, 5);
    const QImage faded = s.Frame([&](AgedSurface& w) {
        w.Feed(stamped, 1'000'000, Filled(64, 32, 1), 64);
        for (unsigned long long t = 1'005'000; t <= 1'200'000; t += 5000) // each step is below 1 % and is lost
            w.Feed(stamped, t, zeros, 64);
        w.Feed(stamped, 1'700'000, zeros, 64);
        w.Feed(stamped, 1'300'000, zeros, 64); // older than the last: fades nothing
        w.Feed(quick, 7'000, Filled(64, 32, 1), 64), w.Feed(quick, 12'000, zeros, 64);
        w.DrawAgedImage(stamped), w.DrawAgedImage(quick);
    });
    EXPECT_NEAR(qRed(faded.pixel(5, 5)), 128, 2);
    EXPECT_NEAR(qRed(faded.pixel(5, 20)), 128, 2) << "5 ms of a 10 ms hold time";
}

TEST(AgedImageData, OnlyWholeFramesTakenWhileAgeingInAPaintPassChangeThePicture)
{
    RecordingErrorHandler errors;
    AgedSurface s(100, 10);
    const int id = s.CreateImage(100, 10);
    const QTimer& timer = s.AgedImage(id)->RepaintTimer;
    EXPECT_TRUE(timer.isActive() && !timer.isSingleShot() && timer.interval() == 16) << "a repaint every frame";
    s.SetAgeing(id, false);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(s.Show(id, Filled(100, 10, 1), 100).pixel(50, 5), 0u) << "no frames are taken while ageing is off";

    s.SetAgeing(id, true), s.SetAgedImageColorTable(id, QVector<unsigned int>{0, cRed, cGreen});
    EXPECT_EQ(s.Show(id, Filled(100, 10, 1), 100).pixel(50, 5), cRed);
    Bytes longer = Filled(100, 10, 2), shorter = Filled(100, 10, 1);
    longer.resize(1050, 2), shorter.resize(990);
    EXPECT_EQ(s.Show(id, longer, 100).pixel(50, 5), cGreen) << "ten rows and a part";
    struct Ignored { Bytes data; int bytesPerLine; const char* why; };
    for (const Ignored& frame : {Ignored{Filled(99, 10, 1), 99, "rows shorter than the image"},
                                 {shorter, 100, "nine rows"}, {Filled(100, 10, 1), 0, "no row length"},
                                 {Filled(100, 10, 1), -100, "negative"}, {Filled(100, 10, 0), 100, "only zeros"}})
        EXPECT_EQ(s.Show(id, frame.data, frame.bytesPerLine).pixel(50, 5), cGreen) << frame.why;
    s.Frame([&](AgedSurface& w) { w.SetAgedImageData(id, 0, nullptr, 100, 1000); });
    EXPECT_TRUE(errors.vLogged.empty());
    s.Feed(id, 0, Filled(100, 10, 1), 100); // outside a paint pass
    ASSERT_EQ(errors.vLogged.size(), 1u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "No context");
    EXPECT_EQ(errors.vLogged[0].sFunction, "SetAgedImageBitData");

    s.SetAgeing(id, false), s.Advance(5000);
    EXPECT_EQ(s.Show(id).pixel(50, 5), cGreen) << "switched off after frames: drawn unchanged";
    s.SetAgedImageBufferSize(id, 100, 10);
    EXPECT_EQ(s.Show(id).pixel(50, 5), cGreen) << "the same size changes nothing";
    s.SetAgedImageBufferSize(id, 50, 10);
    EXPECT_EQ(s.Show(id).pixel(10, 5), 0u) << "a new one draws nothing until the next frame";
}

TEST(AgedImagePixels, BothModesPaintTheTableColoursInPlace)
{
    // Made before the first paint: the image takes the context's mode, not software mode for good.
    AgedSurface s(128, 64, false);
    const int id = s.CreateImage(64, 32);
    QVector<unsigned int> table;
    for (int i = 0; i < 256; ++i)
        table.push_back(qRgb(i, 255 - i, (i * 7) & 0xFF));
    // Column c of row r holds value (c + 4 r) % 256, stretched twice in x onto the screen axis, in the upper half.
    Bytes data(64 * 32);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>((i % 64 + 4 * (i / 64)) % 256);
    s.SetAgedImageColorTable(id, table), s.SetAgedImageDestXAxis(id, 0, 63.5, 128);
    s.SetAgedImageYAxis(id, 0, 2), s.SetAgedImageDestYAxis(id, 1, 2);
    const QImage frame = s.Show(id, data, 64);
    const bool fbo = s.AgedImage(id)->bFBOMode;
    EXPECT_EQ(fbo, !StrippedRun());
    for (int i = 0; i < 64 * 64; ++i) {
        // Value 0 leaves the cleared picture, as does the lower half; the shader's table lookup wraps
        // value 255 onto entry 0.
        const int r = i / 64, c = i % 64, value = r < 32 ? data[size_t(i)] : 0;
        const QRgb expected = value == 0 ? 0u : table[fbo && value == 255 ? 0 : value];
        ASSERT_TRUE(frame.pixel(2 * c, r) == expected && frame.pixel(2 * c + 1, r) == expected)
            << "column " << c << " row " << r << ": " << std::hex << frame.pixel(2 * c, r) << ", not " << expected;
    }
    // Colour lists: their alpha is ignored, and entries beyond them are opaque black.
    s.SetAgedImageColorTable(id, std::vector<QColor>{Qt::black, QColor(10, 20, 30), QColor(200, 100, 50, 7)});
    for (int value : {1, 2, 3})
        std::fill(data.begin() + 64 * 10 * (value - 1), data.end(), static_cast<unsigned char>(value));
    const QImage listed = s.Show(id, data, 64);
    for (auto [y, colour] : {std::pair{5, qRgb(10, 20, 30)}, {15, qRgb(200, 100, 50)}, {25, qRgb(0, 0, 0)}})
        expectColour(listed, 3, y, colour);
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
        EXPECT_EQ(s.Show(id, Filled(64, 32, 1), 64).pixel(20, 20), cWhite) << "the frame that met it is kept";
        s.Show(id, Filled(64, 32, 1), 64); // later frames stay in software mode and never try again
        EXPECT_FALSE(s.AgedImage(id)->bFBOMode);
        ASSERT_EQ(errors.vLogged.size(), 1u) << message;
        EXPECT_EQ(errors.vLogged[0].sMessage, message);
        EXPECT_EQ(errors.vLogged[0].sFunction, "CreateFramebuffer");
    }
}

TEST(AgedImagePolar, RingGridLinesAndConversionsShareOneGeometry)
{
    // A 200 x 200 ring of radius 100 with an inner ratio 0.5; the first quarter of the image's rows
    // lies in the last quarter turn, which with no offset is the upper right.
    AgedSurface s(200, 200);
    const QImage blank = s.Frame([](AgedSurface&) {});
    const int id = s.CreateImage(200, 64);
    Bytes data = Filled(200, 64, 0);
    std::fill(data.begin(), data.begin() + 200 * 16, 1);
    s.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0.5f, cfPi / 2);
    QImage frame = s.Frame([&](AgedSurface& w) { w.Feed(id, 0, data, 200), w.DrawAgedImagePolar(id); });
    // Lit in that quarter; empty in the others, inside the inner radius and outside the ring.
    for (auto [radius, degrees, lit] : {std::tuple{75, 315, true}, {55, 290, true}, {95, 340, true}, {75, 45, false},
                                        {75, 135, false}, {75, 225, false}, {40, 315, false}, {138, 315, false}}) {
        const float a = float(degrees) * cfPi / 180;
        EXPECT_EQ(frame.pixel(int(100 + radius * std::cos(a)), int(100 + radius * std::sin(a))), lit ? cWhite : 0u)
            << radius << " at " << degrees;
    }
    // Margins of 20, centred or not, give R = 80 around (100, 100): the circle at column W is the outer
    // edge, and the radial line at angle 0 runs from the inner radius 40 to 80 along +x.
    const GL::GLLineStyle red(GL::eLineSolid, 1, Qt::red);
    auto redNear = [&](int x, int y, int dx, int dy) { return qRed(frame.pixel(x, y) | frame.pixel(x + dx, y + dy)); };
    for (bool centred : {true, false}) {
        s.SetAgedImagePolarParams(id, centred, centred, 20, 20, 20, 20, 0.5f, cfPi / 2);
        frame = s.Frame([&](AgedSurface& w) {
            w.DrawAgedImagePolarXCircle(id, 200, red), w.DrawAgedImagePolarYLine(id, 0, red);
        });
        EXPECT_GT(std::min({redNear(20, 100, 1, 0), redNear(100, 20, 0, 1), redNear(150, 100, 0, -1)}), 0);
        EXPECT_EQ(frame.pixel(130, 100) | frame.pixel(130, 99) | frame.pixel(100, 150) | frame.pixel(99, 150), 0u);
    }
    s.Frame([&](AgedSurface& w) {
        // The conversions agree with that geometry. An angle of 0 turns the display by -pi/2, so that
        // rectangular angle 0 points up; columns are clamped to the ring.
        w.SetAgedImagePolarParams(id, false, false, 20, 20, 20, 20, 0.5f, 0);
        float px = -1, py = -1, angle = -1;
        int x = -1;
        w.AgedImageRectToPolar(id, 200, 0, px, py);
        EXPECT_TRUE(std::abs(px - 100) < 1e-3f && std::abs(py - 20) < 1e-3f) << px << ", " << py;
        for (auto [cx, cy, column] : {std::tuple{100, 40, 100}, {100, 100, 0}, {400, 100, 200}}) {
            w.AgedImagePolarToRect(id, cx, cy, x, angle);
            EXPECT_EQ(x, column) << cx << ", " << cy;
        }
        std::mt19937 random(7);
        std::uniform_int_distribution<int> column(0, 199);
        std::uniform_real_distribution<float> turn(0.01f, 2 * cfPi - 0.01f);
        for (float offset : {cfPi / 2, 0.0f, 40.0f}) {
            w.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0.25f, offset);
            for (int i = 0; i < 500; ++i) {
                const int c = column(random);
                const float a = turn(random);
                w.AgedImageRectToPolar(id, c, a, px, py), w.AgedImagePolarToRect(id, px, py, x, angle);
                ASSERT_TRUE(std::abs(x - c) <= 1 && std::abs(angle - a) < 1e-3f && angle >= 0 && angle < 2 * cfPi)
                    << "column " << c << " angle " << a << " offset " << offset << " back: " << x << ", " << angle;
            }
        }
        // A ring under one pixel converts every point to the origin, and draws nothing.
        w.SetAgedImagePolarParams(id, true, true, 100, 100, 100, 100, 0, 0);
        w.AgedImageRectToPolar(id, 10, 1, px, py), w.AgedImagePolarToRect(id, 10, 1, x, angle);
        EXPECT_TRUE(px == 0 && py == 0 && x == 0 && angle == 0);
    });
    frame = s.Frame([&](AgedSurface& w) {
        w.DrawAgedImagePolarXCircle(id, 200, red), w.DrawAgedImagePolarYLine(id, 0, red);
        w.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0, 0);
        for (const GL::GLLineStyle& none :
             {GL::GLLineStyle(GL::eLineSolid, 0, Qt::red), GL::GLLineStyle(GL::eLineNone, 3, Qt::red)})
            w.DrawAgedImagePolarXCircle(id, 200, none), w.DrawAgedImagePolarYLine(id, 0, none);
    });
    EXPECT_EQ(frame, blank) << "nor do lines of width 0 or style none";
}
