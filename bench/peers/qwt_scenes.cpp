// The comparison scenes drawn with Qwt. Raster mode renders each plot headless into an image
// through QwtPlotRenderer; OpenGL mode swaps in QwtPlotGLCanvas, shows the plot and grabs it.
#include "scene_harness.h"

#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_renderer.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_raster_data.h>
#include <qwt_scale_widget.h>
#ifdef SCENES_WITH_QWT_GL
#include <qwt_plot_glcanvas.h>

#include <QOpenGLContext>
#endif

#include <QApplication>
#include <QPainter>

#include <memory>

namespace
{
using namespace scenes;

void StylePlot(QwtPlot& plot)
{
    QPalette palette = plot.palette();
    palette.setColor(QPalette::Window, Background());
    palette.setColor(QPalette::WindowText, Foreground());
    palette.setColor(QPalette::Text, Foreground());
    plot.setPalette(palette);
    plot.setAutoFillBackground(true);
    plot.setCanvasBackground(Background());
    for (int axis : {QwtPlot::xBottom, QwtPlot::yLeft})
        plot.axisWidget(axis)->setPalette(palette);
    auto* grid = new QwtPlotGrid;
    grid->setMajorPen(GridColor(), 0, Qt::DotLine);
    grid->attach(&plot);
}

// The curve shows the caller's arrays directly; the trace rewrites them in place each frame.
void AddTrace(QwtPlot& plot, const TraceData& trace, bool step)
{
    StylePlot(plot);
    auto* curve = new QwtPlotCurve;
    curve->setPen(TraceColor());
    if (step)
        curve->setStyle(QwtPlotCurve::Steps);
    curve->setRawSamples(trace.x.constData(), trace.y.constData(), trace.x.size());
    curve->attach(&plot);
    plot.setAxisScale(QwtPlot::xBottom, 0, trace.x.size() - 1);
    plot.setAxisScale(QwtPlot::yLeft, cdTraceMin, cdTraceMax);
}

// Raster data read straight from the caller's history or density grid, so no copy per frame.
class LookupData : public QwtRasterData
{
public:
    LookupData(int columns, int rows, double maxValue, std::function<double(int, int)> lookup)
        : m_iColumns(columns), m_iRows(rows), m_Lookup(std::move(lookup))
    {
        setInterval(Qt::XAxis, QwtInterval(0, columns));
        setInterval(Qt::YAxis, QwtInterval(0, rows));
        setInterval(Qt::ZAxis, QwtInterval(0, maxValue));
    }
    double value(double x, double y) const override
    {
        return m_Lookup(std::clamp(int(x), 0, m_iColumns - 1), std::clamp(int(y), 0, m_iRows - 1));
    }

private:
    int m_iColumns, m_iRows;
    std::function<double(int, int)> m_Lookup;
};

void AddSpectrogram(QwtPlot& plot, LookupData* data, int columns, int rows)
{
    StylePlot(plot);
    const auto stops = ColorStops();
    auto* colors = new QwtLinearColorMap(stops.front().color, stops.back().color);
    for (size_t i = 1; i + 1 < stops.size(); ++i)
        colors->addColorStop(stops[i].position, stops[i].color);
    auto* spectrogram = new QwtPlotSpectrogram;
    spectrogram->setColorMap(colors);
    spectrogram->setData(data);
    spectrogram->attach(&plot);
    plot.setAxisScale(QwtPlot::xBottom, 0, columns);
    plot.setAxisScale(QwtPlot::yLeft, 0, rows);
}

class Scenes
{
public:
    explicit Scenes(const Args& args) : m_Args(args), m_Trace(TracePoints(args.scene))
    {
        const int plots = args.scene == Scene::Panels ? 4 : 1;
        for (int i = 0; i < plots; ++i)
            m_Plots.push_back(std::make_unique<QwtPlot>());
        if (args.scene == Scene::Waterfall)
            AddSpectrogram(*m_Plots[0], new LookupData(ciWaterfallColumns, ciWaterfallLines, 255,
                                                       [this](int c, int r) { return m_Lines.At(c, r); }),
                           ciWaterfallColumns, ciWaterfallLines);
        else if (args.scene == Scene::Persistence)
            AddSpectrogram(*m_Plots[0], new LookupData(ciDensityColumns, ciDensityRows, 1.0, [this](int c, int r) {
                               return m_Density[size_t(ciDensityRows - 1 - r) * ciDensityColumns + c];
                           }),
                           ciDensityColumns, ciDensityRows);
        else
            for (auto& plot : m_Plots)
                AddTrace(*plot, m_Trace, args.scene == Scene::Step);
        m_Density.assign(size_t(ciDensityColumns) * ciDensityRows, 0.0);
        // The scales are fixed, so the axes are laid out once rather than every frame.
        for (auto& plot : m_Plots)
            plot->updateAxes();
    }

    // Makes the widgets draw through OpenGL; false where the library or platform cannot.
    bool UseOpenGl()
    {
#ifdef SCENES_WITH_QWT_GL
        if (m_Plots.size() != 1)
            return false;  // one widget on screen keeps the grab simple
        QOpenGLContext probe;
        if (!probe.create())
            return false;  // e.g. the offscreen platform without a GL integration
        QwtPlot& plot = *m_Plots[0];
        auto* canvas = new QwtPlotGLCanvas(&plot);
        plot.setCanvas(canvas);
        plot.resize(m_Args.width, m_Args.height);
        plot.show();
        QApplication::processEvents();
        return canvas->isValid();
#else
        return false;
#endif
    }

    bool Frame(int frame, QImage& image)
    {
        if (m_Args.scene == Scene::Waterfall)
            m_Lines.NewLine();
        else {
            m_Trace.Update(frame);
            if (m_Args.scene == Scene::Persistence) {
                RasteriseTrace(m_Trace.y, m_Hits);
                FadeDensity(m_Hits, m_Density);
            }
        }
        if (m_Args.mode == "opengl") {
            m_Plots[0]->replot();
            image = m_Plots[0]->grab().toImage();
            return !image.isNull();
        }
        if (image.width() != m_Args.width || image.height() != m_Args.height)
            image = QImage(m_Args.width, m_Args.height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Background());
        QPainter painter(&image);
        const int columns = m_Plots.size() == 4 ? 2 : 1;
        const double w = double(m_Args.width) / columns, h = double(m_Args.height) / columns;
        for (size_t i = 0; i < m_Plots.size(); ++i)
            m_Renderer.render(m_Plots[i].get(), &painter, QRectF((i % 2) * w, (i / 2) * h, w, h));
        return painter.end();
    }

private:
    const Args& m_Args;
    TraceData m_Trace;
    WaterfallData m_Lines;
    std::vector<unsigned char> m_Hits;
    std::vector<double> m_Density;
    std::vector<std::unique_ptr<QwtPlot>> m_Plots;
    QwtPlotRenderer m_Renderer;
};
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Args args;
    if (!ParseArgs(argc, argv, args))
        return 2;
    Scenes scenes(args);
    if (args.mode == "opengl" && !scenes.UseOpenGl()) {
        std::fprintf(stderr, "qwt: no OpenGL canvas on this platform for this scene\n");
        return 3;
    }
    return RunAndReport("qwt", args, [&](int frame, QImage& image) { return scenes.Frame(frame, image); });
}
