// The scenes every library in the comparison renders, their data, and the frame loop that
// measures them. Header-only so that each program links against its own library and nothing
// else; every program prints one JSON line per run in the same shape so the driver can
// compare them.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QVector>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace scenes
{

// Scene names as the driver passes them.
enum class Scene { Trace, Trace64k, Step, Panels, Waterfall, Persistence, Invalid };

inline Scene SceneFromName(const std::string& name)
{
    if (name == "trace") return Scene::Trace;
    if (name == "trace64k") return Scene::Trace64k;
    if (name == "step") return Scene::Step;
    if (name == "panels") return Scene::Panels;
    if (name == "waterfall") return Scene::Waterfall;
    if (name == "persistence") return Scene::Persistence;
    return Scene::Invalid;
}

inline int TracePoints(Scene scene) { return scene == Scene::Trace64k ? 65536 : 4096; }

constexpr int ciWaterfallColumns = 2048;
constexpr int ciWaterfallLines = 1000;
// The persistence picture is a density grid of the trace; all libraries fade the same grid.
constexpr int ciDensityColumns = 1024;
constexpr int ciDensityRows = 256;
// Fraction of brightness a persistence cell keeps per frame (about 0.5 s to fade at 60 Hz).
constexpr double cdDensityKeep = 0.94;
constexpr double cdTraceMin = -1.0, cdTraceMax = 1.0;

struct Args
{
    Scene scene = Scene::Invalid;
    std::string sceneName;
    int width = 1920, height = 1080;
    double seconds = 2.0;  // measured time after the warm-up frames
    int frames = 0;        // measured frames instead of a time, so that the saved frame is repeatable; 0: time
    std::string png;       // where to save the last frame; empty: do not save
    std::string mode = "raster";
};

// Parses --scene NAME --size WxH [--seconds S | --frames N] [--png FILE] [--mode raster|opengl].
// Returns false (and prints the usage) on anything it does not understand.
inline bool ParseArgs(int argc, char** argv, Args& args)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--scene") {
            args.scene = SceneFromName(value);
            args.sceneName = value;
        }
        else if (key == "--size") {
            if (std::sscanf(value.c_str(), "%dx%d", &args.width, &args.height) != 2)
                args.width = 0;
        } else if (key == "--seconds")
            args.seconds = std::atof(value.c_str());
        else if (key == "--frames")
            args.frames = std::atoi(value.c_str()) > 0 ? std::atoi(value.c_str()) : -1;
        else if (key == "--png")
            args.png = value;
        else if (key == "--mode")
            args.mode = value;
        else
            args.scene = Scene::Invalid;
    }
    const bool ok = (argc % 2) == 1 && args.scene != Scene::Invalid && args.width >= 64 &&
                    args.height >= 64 && args.width <= 8192 && args.height <= 8192 && args.seconds > 0 &&
                    args.frames >= 0;
    if (!ok)
        std::fprintf(stderr, "usage: %s --scene trace|trace64k|step|panels|waterfall|persistence "
                             "--size WxH [--seconds S | --frames N] [--png FILE] [--mode raster|opengl]\n",
                     argc > 0 ? argv[0] : "bench");
    return ok;
}

// Trace samples: a sine with noise that moves every frame, x = sample index.
class TraceData
{
public:
    explicit TraceData(int points) : m_Base(points), m_Noise(points + 4096), x(points), y(points)
    {
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> noise(-0.25, 0.25);
        for (int i = 0; i < points; ++i) {
            m_Base[i] = 0.6 * std::sin(2 * M_PI * 4.0 * i / points);
            x[i] = i;
        }
        for (double& n : m_Noise)
            n = noise(rng);
    }

    // Fills x/y for frame number `frame`.
    void Update(int frame)
    {
        const int n = int(y.size());
        const int shift = (frame * 37) % n, noiseShift = (frame * 101) % 4096;
        for (int i = 0; i < n; ++i)
            y[i] = m_Base[(i + shift) % n] + m_Noise[i + noiseShift];
    }

private:
    std::vector<double> m_Base, m_Noise;

public:
    QVector<double> x, y;
};

// Waterfall lines: a noise floor with three drifting peaks, one line of bytes per frame,
// kept in a ring of the last ciWaterfallLines lines (row 0 the oldest). The history starts full
// so that every measured frame draws a whole picture.
class WaterfallData
{
public:
    WaterfallData() : m_Ring(size_t(ciWaterfallColumns) * ciWaterfallLines, 0), m_Line(ciWaterfallColumns)
    {
        std::mt19937 rng(11);
        std::uniform_int_distribution<int> noise(10, 60);
        m_Noise.resize(ciWaterfallColumns * 8);
        for (auto& n : m_Noise)
            n = (unsigned char)noise(rng);
        for (int i = 0; i < ciWaterfallLines; ++i)
            NewLine();
    }

    // Makes the next line and stores it as the newest; returns it (ciWaterfallColumns bytes).
    const unsigned char* NewLine()
    {
        const int frame = m_Count++;
        const unsigned char* noise = &m_Noise[(frame % 8) * ciWaterfallColumns];
        for (int c = 0; c < ciWaterfallColumns; ++c) {
            double v = noise[c];
            for (int p = 0; p < 3; ++p) {
                const double centre = std::fmod(300.0 + 600.0 * p + frame * (1.5 + p), ciWaterfallColumns);
                const double d = (c - centre) / (12.0 + 8 * p);
                v += 190.0 * std::exp(-d * d);
            }
            m_Line[c] = (unsigned char)std::min(255.0, v);
        }
        std::memcpy(&m_Ring[size_t(m_Head) * ciWaterfallColumns], m_Line.data(), ciWaterfallColumns);
        m_Head = (m_Head + 1) % ciWaterfallLines;
        return m_Line.data();
    }

    // Byte of column `column` in history row `row` (0 the oldest, ciWaterfallLines - 1 the newest).
    unsigned char At(int column, int row) const
    {
        return m_Ring[size_t((m_Head + row) % ciWaterfallLines) * ciWaterfallColumns + column];
    }

private:
    std::vector<unsigned char> m_Ring, m_Line, m_Noise;
    int m_Head = 0, m_Count = 0;
};

// Marks the cells a trace passes through on the density grid, row 0 at the top (value max),
// joining consecutive points with vertical runs so that the line stays connected.
inline void RasteriseTrace(const QVector<double>& y, std::vector<unsigned char>& hits)
{
    hits.assign(size_t(ciDensityColumns) * ciDensityRows, 0);
    const int n = y.size();
    auto row = [](double v) {
        const int r = int((cdTraceMax - v) / (cdTraceMax - cdTraceMin) * (ciDensityRows - 1) + 0.5);
        return std::clamp(r, 0, ciDensityRows - 1);
    };
    int previous = row(y[0]);
    for (int i = 0; i < n; ++i) {
        const int column = int(qint64(i) * ciDensityColumns / n), r = row(y[i]);
        for (int k = std::min(previous, r); k <= std::max(previous, r); ++k)
            hits[size_t(k) * ciDensityColumns + column] = 255;
        previous = r;
    }
}

// The density every peer keeps: hit cells go to 1, all others keep cdDensityKeep of their value.
inline void FadeDensity(const std::vector<unsigned char>& hits, std::vector<double>& density)
{
    density.resize(hits.size(), 0.0);
    for (size_t i = 0; i < hits.size(); ++i)
        density[i] = hits[i] ? 1.0 : density[i] * cdDensityKeep;
}

// One colour scale for the waterfall and persistence images: stop positions 0..1 and colours.
struct ColorStop { double position; QColor color; };
inline std::vector<ColorStop> ColorStops()
{
    return {{0.0, QColor(0, 0, 0)},       {0.2, QColor(0, 0, 160)},   {0.45, QColor(0, 180, 255)},
            {0.7, QColor(255, 255, 0)},   {0.9, QColor(255, 64, 0)},  {1.0, QColor(255, 255, 255)}};
}

// The same scale as 256 colours, linearly interpolated between the stops.
inline std::vector<QColor> ColorTable()
{
    const auto stops = ColorStops();
    std::vector<QColor> table(256);
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        size_t s = 1;
        while (s + 1 < stops.size() && stops[s].position < t)
            ++s;
        const auto& a = stops[s - 1];
        const auto& b = stops[s];
        const double f = (t - a.position) / (b.position - a.position);
        auto mix = [f](int p, int q) { return int(p + (q - p) * f + 0.5); };
        table[i] = QColor(mix(a.color.red(), b.color.red()), mix(a.color.green(), b.color.green()),
                          mix(a.color.blue(), b.color.blue()));
    }
    return table;
}

// Colours shared by all plots so the saved frames can be compared side by side.
inline QColor Background() { return QColor(0, 0, 0); }
inline QColor Foreground() { return QColor(220, 220, 220); }
inline QColor GridColor() { return QColor(70, 70, 70); }
inline QColor TraceColor() { return QColor(0, 230, 0); }

inline double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

inline double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

// Renders one frame into `image`; `frame` counts from 0. Returns false if it could not render.
using FrameFunction = std::function<bool(int frame, QImage& image)>;

// The frame as a window shows it: premultiplied colours over black. Converting the premultiplied
// image to RGB32 instead would divide faded pixels by their alpha and show them at full strength.
inline QImage OverBlack(const QImage& frame)
{
    QImage shown(frame.size(), QImage::Format_RGB32);
    shown.setDevicePixelRatio(frame.devicePixelRatio()); // device pixels copied 1:1
    shown.fill(Qt::black);
    QPainter(&shown).drawImage(0, 0, frame);
    return shown;
}

// Renders warm-up frames, then frames for args.seconds of wall time, and prints one JSON line:
// frames per second, CPU time per frame (all threads, so a rasteriser's helpers count),
// peak resident memory of the process, and for the waterfall lines per second (one per frame).
// Returns the process exit code: 0, or 1 when a frame failed.
inline int RunAndReport(const char* library, const Args& args, const FrameFunction& renderFrame)
{
    const char* sceneName = args.sceneName.c_str();
    QImage image;
    int frame = 0;
    for (; frame < 3; ++frame)
        if (!renderFrame(frame, image)) {
            std::fprintf(stderr, "%s: frame %d of %s failed\n", library, frame, sceneName);
            return 1;
        }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    int measured = 0;
    double wall = 0;
    do {
        if (!renderFrame(frame++, image)) {
            std::fprintf(stderr, "%s: frame %d of %s failed\n", library, frame - 1, sceneName);
            return 1;
        }
        ++measured;
        wall = std::chrono::duration<double>(Clock::now() - start).count();
    } while (args.frames > 0 ? measured < args.frames : wall < args.seconds);
    const double cpu = CpuSeconds() - cpuStart;
    const double fps = measured / wall;
    std::printf("{\"library\":\"%s\",\"mode\":\"%s\",\"scene\":\"%s\",\"width\":%d,\"height\":%d,"
                "\"frames\":%d,\"fps\":%.2f,\"cpu_ms_per_frame\":%.3f,\"peak_mb\":%.1f,"
                "\"lines_per_s\":%s}\n",
                library, args.mode.c_str(), sceneName, args.width, args.height, measured, fps,
                1000.0 * cpu / measured, PeakMegabytes(),
                args.scene == Scene::Waterfall ? QString::number(fps, 'f', 2).toUtf8().constData() : "null");
    std::fflush(stdout);
    if (!args.png.empty() && !OverBlack(image).save(QString::fromStdString(args.png))) {
        std::fprintf(stderr, "%s: could not save %s\n", library, args.png.c_str());
        return 1;
    }
    return 0;
}

} // namespace scenes
