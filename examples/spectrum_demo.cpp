// A live spectrum display: a noise floor with drifting carriers over a frequency axis that has
// a band left out and a band stretched three times. Drag over the plot to zoom, use the wheel
// to zoom around the mouse, drag the frequency axis or press its arrows to move, and undo or
// redo from the plot's context menu. Without a display, or with --png DIR, it renders headless
// and writes the frames as PNG files.
#include "spectrum_panels.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

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
    parser.process(app);
    if (parser.isSet("software"))
        GLFrameWidget::setRenderPath(GLPlatform::ePathScanBuffer);

    spectrum::DemoColors colors;
    GLFrameWidget::setColorHandler(&colors);
    spectrum::SpectrumDisplay display;
    GLLayout& layout = display.Layout();
    layout.setWindowTitle("GLBase spectrum");
    display.Resize(1000, 960);
    if (!parser.isSet("png") && !headlessPlatform) {
        layout.show();
        QTimer animation;
        QObject::connect(&animation, &QTimer::timeout, &layout, [&] { display.Advance(); });
        animation.start(16);
        const int result = app.exec();
        GLFrameWidget::setColorHandler(nullptr);
        return result;
    }
    const QString dir = parser.isSet("png") ? parser.value("png") : QStringLiteral("out");
    QDir().mkpath(dir);
    const int frames = std::max(1, parser.value("frames").toInt());
    int result = 0;
    for (int i = 0; i < frames && result == 0; ++i) {
        QImage image;
        const QString file = QString("%1/spectrum-%2.png").arg(dir).arg(i, 4, 10, QChar('0'));
        if (!layout.RenderToImage(&image)) {
            std::fprintf(stderr, "rendering failed: %s\n", qPrintable(layout.info()));
            result = 1;
        } else if (!image.convertToFormat(QImage::Format_RGB32).save(file)) { // gaps between panels show black
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            result = 1;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
        display.Advance();
    }
    GLFrameWidget::setColorHandler(nullptr);
    return result;
}
