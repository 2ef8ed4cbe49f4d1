// Step traces on the software path: a full-HD frame with a 65,536-sample trace that gets new
// data every frame, drawn across the whole surface or through a trace axis and a screen axis.
#include "axisdefinition.h"
#include "glframewidget.h"

#include <QApplication>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <functional>
#include <random>

namespace
{
using GL = GLFrameWidget;

const int ciSamples = 65536;
const int ciWidth = 1920;
const int ciHeight = 1080;

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

// A few frames of noisy data to cycle through, so that every frame sets new samples without
// paying for the random numbers.
std::vector<std::vector<unsigned char>> NoiseFrames()
{
    std::vector<std::vector<unsigned char>> frames(8, std::vector<unsigned char>(ciSamples));
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(90.0, 25.0);
    for (auto& frame : frames)
        for (unsigned char& s : frame)
            s = static_cast<unsigned char>(std::clamp(noise(rng), 0.0, 255.0));
    return frames;
}

// Wall time per frame, read-back included: the rasteriser works on threads of its own.
void RunTrace(benchmark::State& state, GL::GLStepLine& line, GL::GLStepArea* area)
{
    const auto frames = NoiseFrames();
    BenchSurface surface;
    surface.resize(ciWidth, ciHeight);
    size_t frame = 0;
    surface.paint = [&](BenchSurface& s) {
        line.SetData(frames[frame].data(), ciSamples);
        frame = (frame + 1) % frames.size();
        if (area)
            s.DrawStepArea(*area);
        s.DrawStepLine(line);
    };
    QImage image;
    for (auto _ : state)
        if (!surface.RenderToImage(&image))
            state.SkipWithError("no context");
    state.counters["samples_per_s"] =
        benchmark::Counter(double(ciSamples) * state.iterations(), benchmark::Counter::kIsRate);
}

void PrepareLine(GL::GLStepLine& line)
{
    line.SetStepLineStyle(GL::eStepRight);
    line.SetDestRect(0, 0, ciWidth, ciHeight);
    line.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, QColor(255, 255, 0)));
}

void BM_StepTrace(benchmark::State& state)
{
    GL::GLStepLine line;
    PrepareLine(line);
    RunTrace(state, line, nullptr);
}

// The trace's samples as values 0..65535, shown on a screen axis that skips 20,000..30,000.
void BM_StepTraceTwoAxes(benchmark::State& state)
{
    GL::GLStepLine line;
    PrepareLine(line);
    axisDefinition trace;
    trace.init(0.0, ciSamples - 1, 8192);
    axisDefinition screen;
    screen.init(0.0, ciSamples - 1, ciWidth);
    screen.AddSkip(20000.0, 30000.0, true);
    line.SetXAxis(trace.GetAxisDefinitionSet());
    line.SetDestXAxis(screen.GetAxisDefinitionSet());
    RunTrace(state, line, nullptr);
}

// The same trace with a translucent area filled under it.
void BM_StepTraceWithArea(benchmark::State& state)
{
    GL::GLStepLine line;
    PrepareLine(line);
    GL::GLStepArea area;
    area.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, QColor(0, 128, 255, 96), QColor()));
    area.Connect(&line, 0);
    RunTrace(state, line, &area);
}
} // namespace

BENCHMARK(BM_StepTrace)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StepTraceTwoAxes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StepTraceWithArea)->Unit(benchmark::kMillisecond)->UseRealTime();

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
