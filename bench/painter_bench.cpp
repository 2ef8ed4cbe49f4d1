// Metafile replay cost on the software path: a legend recorded once, replayed every frame.
#include "glpainter.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <functional>

namespace
{

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

// 500 commands: 100 rounds of a rectangle, a translate, a text, a line batch and a polygon.
void DrawRounds(GLPainter& p)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    p.setFont(font);
    for (int i = 0; i < 100; ++i) {
        p.setPen(QPen(QColor(200, 200, 200)));
        p.setBrush(QBrush(QColor(20 + i, 40, 80)));
        p.drawRect(10, 10, 60, 12);
        p.translate(i % 10 == 9 ? -1710 : 190, i % 10 == 9 ? 100 : 0);
        p.drawText(14, 20, QString("channel %1").arg(i));
        p.drawLine(80, 16, 120, 16);
        p.drawPolygon(QPolygon({QPoint(130, 10), QPoint(150, 10), QPoint(140, 22)}));
    }
}

GLMetaFile Record(BenchSurface& surface)
{
    GLMetaFile metafile;
    surface.paint = [&](BenchSurface& w) {
        GLPainter p(&w);
        p.begin(&metafile);
        DrawRounds(p);
        p.end();
    };
    QImage image;
    surface.RenderToImage(&image);
    return metafile;
}

void BM_MetaFileReplay500(benchmark::State& state)
{
    BenchSurface surface;
    surface.resize(1920, 1080);
    GLMetaFile metafile = Record(surface);
    if (metafile.Commands().size() != 500)
        state.SkipWithError("unexpected command count");
    surface.paint = [&](BenchSurface& w) {
        GLPainter p(&w);
        p.drawMetaFile(metafile);
    };
    QImage image;
    for (auto _ : state)
        if (!surface.RenderToImage(&image))
            state.SkipWithError("no context");
    state.counters["commands/s"] =
        benchmark::Counter(double(state.iterations()) * 500, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MetaFileReplay500)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same 500 operations drawn directly through the painter, the reference for the replay.
void BM_DirectDraw500(benchmark::State& state)
{
    BenchSurface surface;
    surface.resize(1920, 1080);
    surface.paint = [](BenchSurface& w) {
        GLPainter p(&w);
        DrawRounds(p);
    };
    QImage image;
    for (auto _ : state)
        if (!surface.RenderToImage(&image))
            state.SkipWithError("no context");
    state.counters["commands/s"] =
        benchmark::Counter(double(state.iterations()) * 500, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DirectDraw500)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EmptyFrame(benchmark::State& state)
{
    BenchSurface surface;
    surface.resize(1920, 1080);
    QImage image;
    for (auto _ : state)
        surface.RenderToImage(&image);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    GLFrameWidget::setRenderPath(GLFrameWidget::ePathScanBuffer);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
