// Waterfall throughput: 2,048-value lines appended as fast as a 1024 x 600 view drawn every
// 16 ms allows, with 10,000 lines kept, over 1,000,000 appended lines. Run it once as is (index
// mode) and once with MESA_EXTENSION_OVERRIDE="-GL_EXT_framebuffer_object -GL_ARB_fragment_shader"
// (software colouring).
#include "glframewidget.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr int ciWidth = 2048;
constexpr int ciKept = 10000;
constexpr long ciAppended = 1000000;
constexpr int ciSamples = 10;
constexpr auto ciFrame = std::chrono::milliseconds(16);

class BenchSurface : public GLFrameWidget
{
public:
    std::function<void(BenchSurface&)> paint;
    bool IndexMode() const { return m_bMultiTexture && m_bIndexColorProgram; }

protected:
    void PaintGL() override
    {
        if (paint)
            paint(*this);
    }
    void ResizeGL() override {}
};

double ResidentMiB()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A spectrum-like line that changes from line to line, so uploads are never trivially equal.
std::vector<unsigned char> SpectrumLine(int seed)
{
    std::vector<unsigned char> line(static_cast<size_t>(ciWidth));
    for (int c = 0; c < ciWidth; ++c)
        line[size_t(c)] = static_cast<unsigned char>((c * 3 + seed * 7) % 251 + (c % 97 == seed % 97 ? 4 : 0));
    return line;
}

void BM_WaterfallAppendWhileDrawing(benchmark::State& state)
{
    std::vector<std::vector<unsigned char>> patterns;
    for (int i = 0; i < 64; ++i)
        patterns.push_back(SpectrumLine(i));

    for (auto _ : state) {
        BenchSurface surface;
        surface.resize(1024, 600);
        QImage image;
        if (!surface.RenderToImage(&image)) {
            state.SkipWithError("no context");
            return;
        }
        const int id = surface.CreateLineImage();
        surface.SetLineImageBufferHeight(id, ciKept);
        surface.SetLineImageXAxis(id, 0.0, 1000.0, ciWidth);
        surface.SetLineImageDestXAxis(id, 0.0, 1000.0, 1024);
        surface.SetLineImageYAxis(id, 0.0, ciKept);
        surface.SetLineImageDestYAxis(id, 0.0, ciKept);

        long appended = 0, frames = 0;
        double rssFull = 0, rssLow = 1e30, rssHigh = 0;
        std::vector<double> samples;
        Clock::duration drawCost{}, drawTotal{};
        Clock::time_point frameStart, appendEnd;
        // Each frame appends lines until only the last frame's drawing time is left of its 16 ms.
        long fillTo = ciKept / 2; // the filling frames store this many lines without a time limit
        surface.paint = [&](BenchSurface& s) {
            const long target = appended < fillTo ? fillTo : ciAppended;
            do {
                for (int i = 0; i < 16 && appended < target; ++i, ++appended)
                    s.SetLineImageData(id, static_cast<unsigned long long>(appended + 1),
                                       patterns[size_t(appended % 64)].data());
            } while (appended < target && (appended < fillTo || Clock::now() + drawCost < frameStart + ciFrame));
            appendEnd = Clock::now();
            s.BeginViewPort(0, 0, 1024, 600);
            s.DrawLineImage(id);
            s.EndViewPort(0, 0);
        };
        // Memory per kept line is the growth from 5,000 to 10,000 kept lines, both drawn once, so that
        // the rasteriser's compiled shaders and the first tile line's allocations are not counted.
        surface.RenderToImage(&image);
        const double rssHalf = ResidentMiB();
        fillTo = ciKept;
        surface.RenderToImage(&image);
        rssFull = ResidentMiB();
        const long firstAppended = appended;
        const Clock::time_point start = Clock::now();
        long nextSample = appended + (ciAppended - appended) / ciSamples;
        while (appended < ciAppended) {
            frameStart = Clock::now();
            surface.RenderToImage(&image);
            ++frames;
            drawCost = Clock::now() - appendEnd; // drawing and read-back, kept free in the next frame
            drawTotal += drawCost;
            if (appended >= nextSample) {
                const double rss = ResidentMiB();
                samples.push_back(rss);
                rssLow = std::min(rssLow, rss);
                rssHigh = std::max(rssHigh, rss);
                nextSample += (ciAppended - firstAppended) / ciSamples;
            }
            while (Clock::now() < frameStart + ciFrame) {
            }
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        state.counters["lines_per_s"] = double(appended - firstAppended) / seconds;
        state.counters["frames_per_s"] = double(frames) / seconds;
        state.counters["draw_ms"] = std::chrono::duration<double, std::milli>(drawTotal).count() / double(frames);
        state.counters["append_us_per_line"] =
            (seconds - std::chrono::duration<double>(drawTotal).count()) * 1e6 / double(appended - firstAppended);
        state.counters["kept_lines"] = double(surface.GetLineImageAvailableTimeRange(id).second -
                                              surface.GetLineImageAvailableTimeRange(id).first + 1);
        state.counters["bytes_per_kept_line"] = (rssFull - rssHalf) * 1024.0 * 1024.0 / (ciKept - ciKept / 2);
        state.counters["rss_after_fill_MiB"] = rssFull;
        state.counters["rss_min_MiB"] = rssLow;
        state.counters["rss_max_MiB"] = rssHigh;
        for (size_t i = 0; i < samples.size(); ++i)
            state.counters["rss_" + std::to_string((i + 1) * 100) + "k_MiB"] = samples[i];
        state.SetLabel(surface.IndexMode() ? "index mode" : "software mode");
    }
}

BENCHMARK(BM_WaterfallAppendWhileDrawing)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The view alone: a frame of 10,000 kept lines without new ones, read back like every software frame.
void BM_WaterfallDrawOnly(benchmark::State& state)
{
    BenchSurface surface;
    surface.resize(1024, 600);
    QImage image;
    const int id = surface.CreateLineImage();
    surface.SetLineImageBufferHeight(id, ciKept);
    surface.SetLineImageXAxis(id, 0.0, 1000.0, ciWidth);
    surface.SetLineImageDestXAxis(id, 0.0, 1000.0, 1024);
    surface.SetLineImageYAxis(id, 0.0, ciKept);
    surface.SetLineImageDestYAxis(id, 0.0, ciKept);
    bool filled = false;
    surface.paint = [&](BenchSurface& s) {
        for (int i = 0; !filled && i < ciKept; ++i)
            s.SetLineImageData(id, static_cast<unsigned long long>(i + 1), SpectrumLine(i % 64).data());
        filled = true;
        if (state.range(0)) {
            s.BeginViewPort(0, 0, 1024, 600);
            s.DrawLineImage(id);
            s.EndViewPort(0, 0);
        }
    };
    if (!surface.RenderToImage(&image)) {
        state.SkipWithError("no context");
        return;
    }
    for (auto _ : state)
        surface.RenderToImage(&image);
    state.SetLabel(std::string(surface.IndexMode() ? "index mode" : "software mode") +
                   (state.range(0) ? "" : ", empty frame"));
}
BENCHMARK(BM_WaterfallDrawOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
