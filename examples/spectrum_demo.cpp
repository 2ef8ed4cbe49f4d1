// A live spectrum display: a noise floor with drifting carriers over a frequency axis that has
// a band left out and a band stretched three times. Drag over the plot to zoom, use the wheel
// to zoom around the mouse, drag the frequency axis or press its arrows to move, and undo or
// redo from the plot's context menu. Without a display, or with --png DIR, it renders headless
// and writes the frames as PNG files.
#include "spectrum_images.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QStringList>
#include <QTimer>
#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// The frame as the window shows it, gaps between panels black: premultiplied colours over black.
// Converting to RGB32 instead would divide faded pixels by their alpha and show them at full strength.
QImage OverBlack(const QImage& frame)
{
    QImage shown(frame.size(), QImage::Format_RGB32);
    shown.setDevicePixelRatio(frame.devicePixelRatio()); // device pixels copied 1:1
    shown.fill(Qt::black);
    QPainter(&shown).drawImage(0, 0, frame);
    return shown;
}

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

// One character per sample, scaled between the smallest and the largest.
QString Sparkline(const std::vector<double>& values)
{
    static const char* const bars[] = {"\u2581", "\u2582", "\u2583", "\u2584", "\u2585", "\u2586", "\u2587", "\u2588"};
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    QString line;
    for (double v : values) {
        const int level = *high > *low ? int((v - *low) / (*high - *low) * 7.0 + 0.5) : 0;
        line += QString::fromUtf8(bars[level]);
    }
    return line;
}

// Renders one frame and moves the signal on; false (reported) when rendering fails.
bool RenderFrame(spectrum::SpectrumDisplay& display, QImage& image)
{
    const bool rendered = display.Layout().RenderToImage(&image);
    if (!rendered)
        std::fprintf(stderr, "rendering failed: %s\n", qPrintable(display.Layout().info()));
    display.Advance();
    return rendered;
}

// Renders frames headless, sampling resident memory and frame time every 1,000 frames. Memory
// may not grow by more than 8 MiB after the first sample (caches fill during the first frames).
int Soak(spectrum::SpectrumDisplay& display, long frames)
{
    const long every = 1000;
    std::vector<double> memory, frameMs;
    QImage image;
    QElapsedTimer clock;
    clock.start();
    std::printf("%10s %10s %10s\n", "frame", "MiB", "ms/frame");
    for (long frame = 1; frame <= frames; ++frame) {
        if (!RenderFrame(display, image))
            return 1;
        if (frame % every == 0 || frame == frames) {
            memory.push_back(ResidentMiB());
            frameMs.push_back(double(clock.nsecsElapsed()) / 1e6 / double(frame % every ? frame % every : every));
            clock.restart();
            std::printf("%10ld %10.1f %10.2f\n", frame, memory.back(), frameMs.back());
            std::fflush(stdout);
        }
    }
    std::printf("memory   %s  %.1f to %.1f MiB\n", qPrintable(Sparkline(memory)), memory.front(), memory.back());
    std::printf("ms/frame %s  %.2f to %.2f\n", qPrintable(Sparkline(frameMs)),
                *std::min_element(frameMs.begin(), frameMs.end()), *std::max_element(frameMs.begin(), frameMs.end()));
    const double growth = memory.back() - memory.front();
    if (growth > 8.0) {
        std::fprintf(stderr, "memory grew by %.1f MiB\n", growth);
        return 1;
    }
    return 0;
}

// Writes frames taken in the steady state: the waterfall full (its lines are stored at the next
// paint, as for a hidden window), then one hold time of painted frames for the persistence trail
// and the polar sweep. Only the frames after that are written.
int WriteSteadyFrames(spectrum::SpectrumDisplay& display, const QString& dir, int frames)
{
    const int holdFrames = 60;
    QDir().mkpath(dir);
    QImage image;
    display.Advance(spectrum::WaterfallImage::ciLines);
    for (int i = 0; i < holdFrames; ++i)
        if (!RenderFrame(display, image))
            return 1;
    const double seconds = display.Frame() / 60.0;
    QStringList files;
    for (int i = 0; i < frames; ++i) {
        files << QString("%1/spectrum-%2.png").arg(QDir(dir).absolutePath()).arg(i, 4, 10, QChar('0'));
        if (!RenderFrame(display, image))
            return 1;
        if (!OverBlack(image).save(files.back())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(files.back()));
            return 1;
        }
    }
    std::printf("wrote %d frame(s) from %.1f s of frame time on:\n%s\n", frames, seconds, qPrintable(files.join('\n')));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool headlessPlatform = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (headlessPlatform && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"png", "Render headless and write the frames as PNG files into <dir>.", "dir"});
    parser.addOption({"frames", "Number of frames to write with --png.", "n", "3"});
    parser.addOption({"software", "Render through the off-screen ScanBuffer even where a GPU exists."});
    parser.addOption({"window", "Render through a GL context on the window even where no GPU exists."});
    parser.addOption({"soak", "Render n frames headless, printing memory and frame time every 1,000 frames.", "n"});
    parser.process(app);
    if (parser.isSet("software"))
        GLFrameWidget::setRenderPath(GLFrameWidget::ePathScanBuffer);
    else if (parser.isSet("window"))
        GLFrameWidget::setRenderPath(GLFrameWidget::ePathWindow);

    spectrum::DemoColors colors;
    GLFrameWidget::setColorHandler(&colors);
    spectrum::SpectrumDisplay display;
    GLLayout& layout = display.Layout();
    layout.setWindowTitle("GLBase spectrum");
    display.Resize(1000, 960);
    if (parser.isSet("soak")) {
        const int result = Soak(display, std::max(1L, parser.value("soak").toLong()));
        GLFrameWidget::setColorHandler(nullptr);
        return result;
    }
    if (!parser.isSet("png") && !headlessPlatform) {
        layout.show();
        // The signal runs at 60 frames a second of wall-clock time however fast frames are painted,
        // so that the waterfall's time scale keeps to the clock; skipped frames still reach it.
        QTimer animation;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&animation, &QTimer::timeout, &layout, [&] {
            const int due = int(clock.elapsed() * 60 / 1000);
            if (due > display.Frame())
                display.Advance(due - display.Frame());
        });
        animation.start(16);
        const int result = app.exec();
        GLFrameWidget::setColorHandler(nullptr);
        return result;
    }
    const QString dir = parser.isSet("png") ? parser.value("png") : QStringLiteral("out");
    const int result = WriteSteadyFrames(display, dir, std::max(1, parser.value("frames").toInt()));
    GLFrameWidget::setColorHandler(nullptr);
    return result;
}
