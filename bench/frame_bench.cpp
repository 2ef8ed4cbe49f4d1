// Frame cost on the software path: the baselines later work compares against.
#include "glframewidget.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <functional>
#include <random>

namespace
{
using GL = GLFrameWidget;

class BenchSurface : public GLFrameWidget
{
public:
    std::function<void(BenchSurface&)> paint;

protected:
    void PaintGL() override
    {
        if (paint)
            paint(*this);
    }
    void ResizeGL() override {}
};

// Renders frames into an image, which includes the read-back every software frame pays.
// Wall time is what counts: the rasteriser works on threads of its own.
void RunFrames(benchmark::State& state, const std::function<void(BenchSurface&)>& paint)
{
    BenchSurface surface;
    surface.resize(1920, 1080);
    surface.paint = paint;
    QImage image;
    for (auto _ : state)
        if (!surface.RenderToImage(&image))
            state.SkipWithError("no context");
}

void BM_EmptyFrame(benchmark::State& state) { RunFrames(state, {}); }

void BM_LineSegments(benchmark::State& state)
{
    GL::GLLines lines;
    lines.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Qt::green));
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> x(0, 1919), y(0, 1079);
    for (int i = 0; i < 10000; ++i)
        lines.AddLine(x(rng), y(rng), x(rng), y(rng));
    RunFrames(state, [&](BenchSurface& s) { s.DrawLines(lines); });
    state.counters["segments_per_s"] = benchmark::Counter(10000.0 * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_SolidPolygons(benchmark::State& state)
{
    std::vector<GL::GLPolygon> polygons(1000);
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> x(0, 1880), y(0, 1040);
    for (auto& p : polygons) {
        p.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, QColor(200, 80, 40), QColor()));
        p.SetRect(x(rng), y(rng), 40, 40);
    }
    RunFrames(state, [&](BenchSurface& s) {
        for (auto& p : polygons)
            s.DrawPolygon(p, false);
    });
}

void BM_ConcavePolygons(benchmark::State& state)
{
    std::vector<GL::GLPolygon> polygons(100);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> x(0, 1800), y(0, 1000);
    for (auto& p : polygons) {
        const float px = x(rng), py = y(rng);
        p.SetFillStyle(GL::GLFillStyle(GL::eFillSolidConcave, QColor(40, 80, 200), QColor()));
        for (auto [dx, dy] : {std::pair{0, 0}, {30, 0}, {30, 50}, {80, 50}, {80, 80}, {0, 80}})
            p.AddVertex(px + dx, py + dy);
    }
    RunFrames(state, [&](BenchSurface& s) {
        for (auto& p : polygons)
            s.DrawPolygon(p, false);
    });
}
} // namespace

BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LineSegments)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SolidPolygons)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConcavePolygons)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
