// Label drawing on the software path: the atlas against Qt's own text rendering into an image.
#include "glframewidget.h"

#include <GL/gl.h>
#include <QApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <functional>

namespace
{
using GL = GLFrameWidget;

constexpr int ciLabels = 1000;

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

QFont LabelFont()
{
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    return font;
}

// Short distinct labels on a grid covering the frame, like the tick labels of many panels.
struct Labels
{
    std::vector<QString> vTexts;
    std::vector<QPoint> vPositions;
    Labels()
    {
        for (int i = 0; i < ciLabels; ++i) {
            vTexts.push_back(QString("%1: %2 dB").arg(i).arg(i * 0.37 - 90.0, 0, 'f', 2));
            vPositions.emplace_back((i % 20) * 96, (i / 20) * 21);
        }
    }
};

void Prepare(GL::GLText& text, const Labels& labels, int i, BenchSurface& s)
{
    text.SetFont(LabelFont(), &s);
    text.SetText(labels.vTexts[size_t(i)], &s);
    text.SetColor(QColor(220, 220, 90));
    text.SetPos(float(labels.vPositions[size_t(i)].x()), float(labels.vPositions[size_t(i)].y()));
}

// Renders frames into an image, which includes the read-back every software frame pays.
void RunFrames(benchmark::State& state, const std::function<void(BenchSurface&)>& paint, int labels = ciLabels)
{
    BenchSurface surface;
    surface.resize(1920, 1080);
    surface.paint = paint;
    QImage image;
    if (!surface.RenderToImage(&image)) // the font's atlas is built here, outside the timing
        state.SkipWithError("no context");
    for (auto _ : state)
        if (!surface.RenderToImage(&image))
            state.SkipWithError("no context");
    if (labels > 0)
        state.counters["labels_per_s"] = benchmark::Counter(double(labels) * state.iterations(), benchmark::Counter::kIsRate);
}

// Clear and read-back alone, to tell the labels' share of a frame.
void BM_EmptyFrame(benchmark::State& state) { RunFrames(state, {}, 0); }

// Every frame lays out new labels: the cost of a frame whose texts all changed.
void BM_AtlasLabelsFirstFrame(benchmark::State& state)
{
    const Labels labels;
    RunFrames(state, [&](BenchSurface& s) {
        for (int i = 0; i < ciLabels; ++i) {
            GL::GLText text;
            Prepare(text, labels, i, s);
            s.DrawTextW(text, true, nullptr);
        }
    });
}

// The same labels kept between frames: quads are cached, only drawing remains.
void BM_AtlasLabelsSteadyState(benchmark::State& state)
{
    const Labels labels;
    std::vector<GL::GLText> texts(ciLabels);
    RunFrames(state, [&](BenchSurface& s) {
        for (int i = 0; i < ciLabels; ++i) {
            Prepare(texts[size_t(i)], labels, i, s);
            s.DrawTextW(texts[size_t(i)], true, nullptr);
        }
    });
}

// Steady state drawn as one batch that binds the atlas once.
void BM_AtlasLabelsSteadyBatch(benchmark::State& state)
{
    const Labels labels;
    std::vector<GL::GLText> texts(ciLabels);
    RunFrames(state, [&](BenchSurface& s) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.01f);
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        unsigned int bound = 0;
        for (int i = 0; i < ciLabels; ++i) {
            Prepare(texts[size_t(i)], labels, i, s);
            s.DrawTextW(texts[size_t(i)], false, &bound);
        }
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_BLEND);
        glBindTexture(GL_TEXTURE_2D, 0);
    });
}

// The reference: Qt draws the same labels into a cleared 1920 x 1080 image.
void BM_QPainterLabels(benchmark::State& state)
{
    const Labels labels;
    const QFont font = LabelFont();
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    const int ascent = QFontMetrics(font).ascent();
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(QColor(220, 220, 90));
        painter.setFont(font);
        painter.setRenderHint(QPainter::TextAntialiasing);
        for (int i = 0; i < ciLabels; ++i)
            painter.drawText(labels.vPositions[size_t(i)] + QPoint(0, ascent), labels.vTexts[size_t(i)]);
    }
    benchmark::DoNotOptimize(image.constBits());
    state.counters["labels_per_s"] = benchmark::Counter(double(ciLabels) * state.iterations(), benchmark::Counter::kIsRate);
}
} // namespace

BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AtlasLabelsFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AtlasLabelsSteadyState)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AtlasLabelsSteadyBatch)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QPainterLabels)->Unit(benchmark::kMillisecond)->UseRealTime();

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
