// Runs twice: as is (FBO mode on llvmpipe) and with framebuffer objects and the fragment shader removed by Mesa
// (software mode). Both runs must show the same pictures; where the modes differ by design, the expectation says so.
#include "glplatform_p.h"
#include "support/render_fixture.h"

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
struct AgedSurface : TestSurface
{
    using GLFrameWidget::AgedImage;
    unsigned int uForcedStatus = 0; // when set, the framebuffer reports this status
    unsigned int FramebufferStatus() override { return uForcedStatus ? uForcedStatus : GL::FramebufferStatus(); }

    // started: render a first frame, so that the context exists from here on.
    explicit AgedSurface(int w = 64, int h = 32, bool started = true)
    {
        GLPlatform::SetClock(FakeClock), resize(w, h);
        if (started)
            Frame([](AgedSurface&) {});
    }
    ~AgedSurface() override { GLPlatform::SetClock(nullptr); }

    // Renders one frame of the lambda inside a viewport covering the surface.
    QImage Frame(const std::function<void(AgedSurface&)>& draw)
    {
        paint = [&](TestSurface&) { BeginViewPort(0, 0, width(), height()), draw(*this), EndViewPort(0, 0); };
        QImage image;
        EXPECT_TRUE(RenderToImage(&image)) << info().toStdString();
        paint = nullptr;
        return image;
    }
    void Feed(int id, const Bytes& data, int bytesPerLine, unsigned long long stamp = 0)
    {
        SetAgedImageData(id, stamp, data.data(), bytesPerLine, int(data.size()));
    }
    // One frame that takes the data (none is refused and changes nothing) and draws the image.
    QImage Show(int id, const Bytes& data = {}, int bytesPerLine = 0)
    {
        return Frame([&](AgedSurface& w) { w.Feed(id, data, bytesPerLine), w.DrawAgedImage(id); });
    }
    // Moves the clock and paints: images age by the time of the last painted frame, which only a
    // paint pass (at most one per 16 ms) sets, never a snapshot.
    void Advance(int ms)
    {
        s_iNow += ms;
        if (!isVisible())
            EXPECT_TRUE((show(), QTest::qWaitForWindowExposed(this)));
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
};

void expectOneError(RecordingErrorHandler& errors, const char* message, const char* function)
{
    ASSERT_EQ(errors.vLogged.size(), 1u) << message;
    EXPECT_TRUE(errors.vLogged[0].sMessage == message && errors.vLogged[0].sFunction == function) << message;
    errors.vLogged.clear();
}
} // namespace

TEST(AgedImageRecords, AnySizeKeepsTheGLStateIdsAreReusedBadIdsDoNothingFramesAndTimeStampsFadeInHoldTimeSteps)
{
    AgedSurface s;
    auto state = [] { // what the surrounding drawing relies on
        std::vector<GLint> v(10);
        v[0] = glIsEnabled(GL_BLEND), v[1] = glIsEnabled(GL_SCISSOR_TEST), v[2] = glIsEnabled(GL_TEXTURE_2D);
        glGetIntegerv(GL_DRAW_BUFFER, &v[3]), glGetIntegerv(GL_CURRENT_PROGRAM, &v[4]);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &v[5]), glGetIntegerv(GL_SCISSOR_BOX, &v[6]);
        return v;
    };
    s.Frame([&](AgedSurface& w) {
        // Widths around the texture steps and beyond the largest texture; taller than that, or flat, makes nothing.
        const int max = w.GetMaxTextureSize();
        for (auto [width, height] : {std::pair{5, 3}, {1, 3}, {301, 3}, {max + 100, 3}, {4, max + 1}, {4, 0}}) {
            const int id = w.CreateImage(width, height);
            id == 2 ? glDisable(GL_SCISSOR_TEST) : glEnable(GL_SCISSOR_TEST);
            const std::vector<GLint> before = state();
            // The second frame fades as it paints.
            w.Feed(id, Filled(width, height, 3), width, 1'000), w.Feed(id, Filled(width, height, 0), width, 501'000);
            w.DrawAgedImage(id), w.DrawAgedImagePolar(id);
            EXPECT_TRUE(state() == before && glGetError() == GL_NO_ERROR) << width << " x " << height;
            EXPECT_EQ(w.AgedImage(id)->uTextureA != 0, height == 3) << width << " x " << height;
        }
    });
    for (int id : {2, 0, 5, 4, 1, 3, 2}) // outside a paint pass: deletion makes the context current itself
        s.DeleteAgedImage(id);
    EXPECT_TRUE(s.CreateAgedImage() == 0 && s.CreateAgedImage() == 1) << "deleted ids are reused";
    EXPECT_FALSE(s.AgedImage(1)->RepaintTimer.isActive()) << "deletion stopped the timer; a new record starts off";

    s.Frame([&](AgedSurface& w) {
        for (int bad : {-1, 2, 9}) {
            float px = 1, py = 1, a = 1;
            int x = 1;
            w.DeleteAgedImage(bad), w.SetAgedImageBufferSize(bad, 4, 4), w.SetAgedImageHoldTime(bad, 3);
            w.SetAgedImageColorTable(bad, QVector<unsigned int>{1, 2}), w.SetAgeing(bad, true), w.DrawAgedImage(bad);
            w.SetAgedImagePolarParams(bad, true, true, 0, 0, 0, 0, 0, 0), w.DrawAgedImagePolar(bad);
            w.Feed(bad, {1}, 1), w.AgedImageRectToPolar(bad, 3, 1, px, py), w.AgedImagePolarToRect(bad, 3, 1, x, a);
            EXPECT_TRUE(px == 0 && py == 0 && x == 0 && a == 0) << "id " << bad;
        }
    });

    s.Advance(0); // the first painted frame: the image's ageing starts from its time
    const int id = s.CreateImage(64, 32);
    s.SetAgedImageHoldTime(id, 10'000), s.Frame([&](AgedSurface& w) { w.Feed(id, Filled(64, 32, 1), 64); });
    // The picture's alpha shows in red, and premultiplied in the frame's alpha where the blend allows it.
    struct Step { int ms; bool painted; int alpha; const char* why; };
    for (const Step& step : {Step{0, true, 255, "fresh"}, {1000, false, 255, "snapshots leave the frame clock alone"},
                             {0, false, 255, "for the next snapshot too"}, {4000, true, 128, "half the hold time"},
                             {90, true, 128, "90 ms are below 1 % of it"}, {90, true, 124, "180 ms accumulated fade"},
                             {4700, true, 5, "the last steps of a fade still show"},
                             {10'000, true, 0, "a full hold time"}}) {
        step.painted ? s.Advance(step.ms) : void(s_iNow += step.ms);
        const QRgb pixel = s.Show(id).pixel(5, 5);
        EXPECT_NEAR(qRed(pixel), step.alpha, 2) << step.why;
        EXPECT_NEAR(s.m_bBlendFuncSeparate ? qAlpha(pixel) : step.alpha, step.alpha, 2) << step.why;
    }

    // Time stamps in microseconds instead of the frame clock; a hold time below 10 ms counts as 10.
    const Bytes zeros = Filled(64, 32, 0);
    s.SetAgedImageHoldTime(id, 5), s.Frame([&](AgedSurface& w) {
        w.Feed(id, Filled(64, 32, 1), 64, 1'000'000);
        for (unsigned long long t = 1'000'050; t <= 1'001'000; t += 50) // each step is below 1 % and is lost
            w.Feed(id, zeros, 64, t);
        w.Feed(id, zeros, 64, 1'006'000), w.Feed(id, zeros, 64, 1'002'000); // the older one fades nothing
    });
    EXPECT_NEAR(qRed(s.Show(id).pixel(5, 5)), 128, 2) << "5 ms of a 10 ms hold time";
}

TEST(AgedImageData, WholeFramesTakenWhileAgeingInAPaintPassShowTheTableColoursInPlace)
{
    RecordingErrorHandler errors;
    // Made before the first paint: the image takes the context's mode, not software mode for good.
    AgedSurface s(128, 64, false);
    const int id = s.CreateImage(64, 32);
    const QTimer& timer = s.AgedImage(id)->RepaintTimer;
    EXPECT_TRUE(timer.isActive() && !timer.isSingleShot() && timer.interval() == 16) << "a repaint every frame";
    EXPECT_FALSE((s.SetAgeing(id, false), timer.isActive()));
    // Column c of row r holds value (c + 4 r) % 256, stretched twice in x onto the screen axis, in the upper half.
    // Value 0 leaves the cleared picture, as does the lower half; the shader's table lookup wraps 255 onto 0.
    Bytes data(64 * 32);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>((i % 64 + 4 * (i / 64)) % 256);
    EXPECT_EQ(s.Show(id, data, 64).pixel(2, 0), 0u) << "no frames are taken while ageing is off";
    // A colour list's alpha is ignored, and entries beyond it are opaque black.
    std::vector<QColor> list;
    for (int i = 0; i < 200; ++i)
        list.emplace_back(i, 255 - i, (i * 7) & 0xFF, i);
    s.SetAgeing(id, true), s.SetAgedImageColorTable(id, list), s.SetAgedImageDestXAxis(id, 0, 63.5, 128);
    s.SetAgedImageYAxis(id, 0, 2), s.SetAgedImageDestYAxis(id, 1, 2);
    const QImage frame = s.Show(id, data, 64);
    const bool fbo = s.AgedImage(id)->bFBOMode;
    EXPECT_EQ(fbo, !StrippedRun());
    for (int i = 0; i < 64 * 64; ++i) {
        const int r = i / 64, c = i % 64, value = r < 32 ? data[size_t(i)] : 0, entry = fbo && value == 255 ? 0 : value;
        const QRgb expected = value == 0 ? 0u : entry < 200 ? list[size_t(entry)].rgb() : qRgb(0, 0, 0);
        ASSERT_TRUE(frame.pixel(2 * c, r) == expected && frame.pixel(2 * c + 1, r) == expected)
            << "column " << c << " row " << r << ": " << std::hex << frame.pixel(2 * c, r) << ", not " << expected;
    }

    s.SetAgedImageColorTable(id, QVector<unsigned int>{0, cRed, cGreen});
    EXPECT_EQ(s.Show(id, Filled(64 * 32 + 50, 1, 2), 64).pixel(50, 5), cGreen) << "32 rows and a part";
    struct Ignored { Bytes data; int bytesPerLine; const char* why; };
    for (const Ignored& frame : {Ignored{Filled(63, 32, 1), 63, "rows shorter than the image"},
                                 {Filled(64, 31, 1), 64, "31 rows"}, {Filled(64, 32, 1), 0, "no row length"},
                                 {Filled(64, 32, 1), -64, "negative"}, {Filled(64, 32, 0), 64, "only zeros"}})
        EXPECT_EQ(s.Show(id, frame.data, frame.bytesPerLine).pixel(50, 5), cGreen) << frame.why;
    s.Frame([&](AgedSurface& w) { w.SetAgedImageData(id, 0, nullptr, 64, 64 * 32); }); // refused without a message
    s.Feed(id, Filled(64, 32, 1), 64); // outside a paint pass
    expectOneError(errors, "No context", "SetAgedImageBitData");

    s.SetAgeing(id, false), s.Advance(5000);
    EXPECT_EQ(s.Show(id).pixel(50, 5), cGreen) << "switched off after frames: drawn unchanged";
    EXPECT_EQ((s.SetAgedImageBufferSize(id, 32, 32), s.Show(id).pixel(10, 5)), 0u) << "resized: nothing yet";

    // A refused framebuffer is told once; the image falls back to software mode for good and keeps the frame.
    const std::pair<unsigned int, const char*> statuses[] = {
        {0x1234, "Unknown error"}, {GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT, "Incomplete attachment"},
        {GL_FRAMEBUFFER_UNSUPPORTED, "Framebufferobjects unsupported"}, {GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT,
        "Incomplete formats"}, {GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT, "Missing attachment"},
        {GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT, "Incomplete dimensions"}, {GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER,
        "Incomplete draw buffer"}, {GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER, "Incomplete read buffer"}};
    errors.vLogged.clear(); // the process's software warning comes with its second paint, wherever that is
    for (const auto& [status, message] : statuses) {
        s.uForcedStatus = status;
        const int refused = s.CreateImage(64, 32);
        EXPECT_EQ(s.Show(refused, Filled(64, 32, 1), 64).pixel(20, 5), cWhite) << message;
        EXPECT_FALSE((s.Show(refused, Filled(64, 32, 1), 64), s.AgedImage(refused)->bFBOMode)) << message;
        if (!StrippedRun())
            expectOneError(errors, message, "CreateFramebuffer");
    }
    EXPECT_TRUE(errors.vLogged.empty());
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
    QImage frame = s.Frame([&](AgedSurface& w) { w.Feed(id, data, 200), w.DrawAgedImagePolar(id); });
    // Lit in that quarter; empty in the others, inside the inner radius and outside the ring.
    for (auto [radius, degrees, lit] : {std::tuple{75, 315, true}, {55, 290, true}, {95, 340, true}, {75, 45, false},
                                        {75, 135, false}, {75, 225, false}, {40, 315, false}, {138, 315, false}}) {
        const float a = float(degrees) * cfPi / 180;
        EXPECT_EQ(frame.pixel(int(100 + radius * std::cos(a)), int(100 + radius * std::sin(a))), lit ? cWhite : 0u)
            << radius << " at " << degrees;
    }
    // Margins of 20 give R = 80 around (100, 100): the circle at column W is the outer edge, and the
    // radial line at angle 0 runs from the inner radius 40 to 80 along +x.
    const GL::GLLineStyle red(GL::eLineSolid, 1, Qt::red);
    s.SetAgedImagePolarParams(id, true, true, 20, 20, 20, 20, 0.5f, cfPi / 2);
    auto grid = [&](auto& w) { w.DrawAgedImagePolarXCircle(id, 200, red), w.DrawAgedImagePolarYLine(id, 0, red); };
    frame = s.Frame(grid);
    auto redNear = [&](int x, int y, int dx, int dy) { return qRed(frame.pixel(x, y) | frame.pixel(x + dx, y + dy)); };
    EXPECT_GT(std::min({redNear(20, 100, 1, 0), redNear(100, 20, 0, 1), redNear(150, 100, 0, -1)}), 0);
    EXPECT_EQ(frame.pixel(130, 100) | frame.pixel(130, 99) | frame.pixel(100, 150) | frame.pixel(99, 150), 0u);
    frame = s.Frame([&](AgedSurface& w) {
        // The conversions agree with that geometry, also uncentred. An angle of 0 turns the display by
        // -pi/2, so that rectangular angle 0 points up; columns are clamped to the ring.
        w.SetAgedImagePolarParams(id, false, false, 20, 20, 20, 20, 0.5f, 0);
        float px = -1, py = -1, angle = -1;
        int x = -1;
        w.AgedImageRectToPolar(id, 200, 0, px, py), w.AgedImagePolarToRect(id, 400, 100, x, angle);
        EXPECT_TRUE(std::abs(px - 100) < 1e-3f && std::abs(py - 20) < 1e-3f && x == 200) << px << ", " << py;
        std::mt19937 random(7);
        for (float offset : {cfPi / 2, 0.0f, 40.0f}) {
            w.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0.25f, offset);
            for (int i = 0; i < 500; ++i) {
                const int c = int(random() % 200);
                const float a = 0.01f + float(random() % 6263) / 1000; // within (0, 2 pi)
                w.AgedImageRectToPolar(id, c, a, px, py), w.AgedImagePolarToRect(id, px, py, x, angle);
                ASSERT_TRUE(std::abs(x - c) <= 1 && std::abs(angle - a) < 1e-3f && angle >= 0 && angle < 2 * cfPi)
                    << "column " << c << " angle " << a << " offset " << offset << " back: " << x << ", " << angle;
            }
        }
        // A ring under one pixel converts every point to the origin and draws nothing, nor do lines of width 0 or none.
        w.SetAgedImagePolarParams(id, true, true, 100, 100, 100, 100, 0, 0);
        w.AgedImageRectToPolar(id, 10, 1, px, py), w.AgedImagePolarToRect(id, 10, 1, x, angle);
        EXPECT_TRUE(px == 0 && py == 0 && x == 0 && angle == 0);
        grid(w), w.SetAgedImagePolarParams(id, true, true, 0, 0, 0, 0, 0, 0);
        for (const GL::GLLineStyle& none : {GL::GLLineStyle(GL::eLineSolid, 0, Qt::red), {GL::eLineNone, 3, Qt::red}})
            w.DrawAgedImagePolarXCircle(id, 200, none), w.DrawAgedImagePolarYLine(id, 0, none);
    });
    EXPECT_EQ(frame, blank);
}
