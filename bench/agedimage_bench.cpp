// Persistence display: a 1024 x 512 aged image receiving a new data frame and drawn every frame,
// software path at 1024 x 512. Run it once as is (FBO mode on llvmpipe) and once with
// MESA_EXTENSION_OVERRIDE="-GL_EXT_framebuffer_object -GL_ARB_fragment_shader" (software mode).
#include "glframewidget.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <functional>

namespace
{
constexpr int ciWidth = 1024;
constexpr int ciHeight = 512;

class BenchSurface : public GLFrameWidget
{
public:
    std::function<void(BenchSurface&)> paint;
    using GLFrameWidget::AgedImage;

protected:
    void PaintGL() override
    {
        if (paint)
            paint(*this);
    }
    void ResizeGL() override {}
};

// One trace written into the frame as a density column per x: a noise floor with a moving carrier.
void TraceFrame(std::vector<unsigned char>& frame, int seed)
{
    std::fill(frame.begin(), frame.end(), 0);
    for (int x = 0; x < ciWidth; ++x) {
        const double carrier = 300 * std::exp(-std::pow((x - 200 - (seed * 7) % 600) / 12.0, 2));
        const int level = 40 + (x * 131 + seed * 17) % 23 + int(carrier);
        const int row = std::clamp(ciHeight - 1 - level, 0, ciHeight - 1);
        frame[size_t(row) * ciWidth + size_t(x)] = static_cast<unsigned char>(1 + (level & 0xFF) % 254);
    }
}

void Persistence(benchmark::State& state, bool withData)
{
    BenchSurface surface;
    surface.resize(ciWidth, ciHeight);
    const int id = surface.CreateAgedImage();
    surface.SetAgedImageBufferSize(id, ciWidth, ciHeight);
    surface.SetAgedImageXAxis(id, 0, ciWidth - 1, ciWidth);
    surface.SetAgedImageDestXAxis(id, 0, ciWidth - 1, ciWidth);
    surface.SetAgedImageYAxis(id, 0, 1);
    surface.SetAgedImageDestYAxis(id, 0, 1);
    surface.SetAgedImageHoldTime(id, 1000);
    surface.SetAgeing(id, true);
    std::vector<unsigned char> frame(size_t(ciWidth) * ciHeight);
    int seed = 0;
    unsigned long long stamp = 1;
    surface.paint = [&](BenchSurface& w) {
        w.BeginViewPort(0, 0, ciWidth, ciHeight);
        if (withData) {
            TraceFrame(frame, seed++);
            w.SetAgedImageData(id, stamp += 16667, frame.data(), ciWidth, int(frame.size()));
            w.DrawAgedImage(id);
        }
        w.EndViewPort(0, 0);
    };
    QImage image;
    if (!surface.RenderToImage(&image)) {
        state.SkipWithError("no context");
        return;
    }
    for (auto _ : state)
        surface.RenderToImage(&image);
    state.SetItemsProcessed(state.iterations());
    const GLFrameWidget::GLAgedImage* aged = surface.AgedImage(id);
    state.SetLabel(withData ? (aged && aged->bFBOMode ? "FBO mode" : "software mode") : "empty frame");
}

void BM_PersistenceFrame(benchmark::State& state) { Persistence(state, true); }
void BM_EmptyFrame(benchmark::State& state) { Persistence(state, false); }
BENCHMARK(BM_PersistenceFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
