// Layout cost: the rectangle pass for growing panel counts, and a frame of panel backgrounds on
// the software path.
#include "gllayout.h"

#include <QApplication>
#include <QResizeEvent>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

namespace
{
using GL = GLFrameWidget;

// ResizeGL is the layout's whole rectangle pass, without the context resize of a resize event.
class BenchLayout : public GLLayout
{
public:
    using GLLayout::ResizeGL;
};

// The standard arrangement with a top and a bottom panel and left/right rows for the rest, each
// panel with its own background; the application owns the panels. Without panels there is no
// tree at all: the standard arrangement alone has no room (its empty bottom row allows width 0).
struct Arrangement
{
    BenchLayout layout;
    std::vector<std::unique_ptr<GLBaseWidget>> panels;

    Arrangement(int count, bool borders, int width, int height)
    {
        if (count > 0)
            layout.CreateStdLayout(1.0);
        layout.SetShowBorders(borders);
        for (int i = 0; i < count; ++i) {
            panels.push_back(std::make_unique<GLBaseWidget>("P" + std::to_string(i)));
            panels.back()->SetBackgroundStyle(Style(i));
        }
        int next = 0;
        if (count >= 4) {
            layout.AddTopWidget(panels[next++].get());
            layout.AddBottomWidget(panels[next++].get());
        }
        for (; next + 1 < count; next += 2)
            layout.AddLeftRightWidget(panels[next].get(), panels[next + 1].get(), 1.0);
        if (next < count)
            layout.AddLeftWidget(panels[next].get(), 1.0);
        layout.resize(width, height);
        QResizeEvent event(layout.size(), QSize());
        QCoreApplication::sendEvent(&layout, &event);
    }

    static GL::GLFillStyle Style(int i)
    {
        const QColor a = QColor::fromHsv((i * 47) % 360, 160, 200), b = a.darker(250);
        const GL::eFillStyle kinds[] = {GL::eFillSolid, GL::eFillHGradient, GL::eFillVGradient};
        return GL::GLFillStyle(kinds[i % 3], a, b);
    }
};

void BM_CalcLayout(benchmark::State& state)
{
    const int count = int(state.range(0));
    Arrangement arrangement(count, state.range(1) != 0, 1920, 1080);
    for (auto _ : state)
        arrangement.layout.ResizeGL();
    state.counters["panels"] = count;
    state.counters["panels_per_s"] =
        benchmark::Counter(double(count) * state.iterations(), benchmark::Counter::kIsRate);
}

// One frame into an image, read-back included, as the application's frames pay it.
void BM_LayoutFrame(benchmark::State& state)
{
    Arrangement arrangement(int(state.range(0)), true, 1920, 1080);
    QImage image;
    for (auto _ : state)
        if (!arrangement.layout.RenderToImage(&image)) {
            state.SkipWithError("no context");
            break;
        }
}
} // namespace

BENCHMARK(BM_CalcLayout)
    ->ArgNames({"panels", "borders"})
    ->ArgsProduct({{10, 100, 1000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_LayoutFrame)->ArgName("panels")->Arg(0)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

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
