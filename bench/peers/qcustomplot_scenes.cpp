// The comparison scenes drawn with QCustomPlot, rendered headless into an image through
// QCustomPlot::toPainter (its own raster painting, the same path savePng takes).
#include "scene_harness.h"

#include <qcustomplot.h>

#include <QApplication>

namespace
{
using namespace scenes;

void StyleAxisRect(QCPAxisRect* rect)
{
    rect->setBackground(Background());
    for (QCPAxis* axis : {rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft)}) {
        axis->setBasePen(QPen(Foreground()));
        axis->setTickPen(QPen(Foreground()));
        axis->setSubTickPen(QPen(Foreground()));
        axis->setTickLabelColor(Foreground());
        axis->grid()->setPen(QPen(GridColor(), 0, Qt::DotLine));
    }
}

QCPColorGradient Gradient()
{
    QMap<double, QColor> stops;
    for (const auto& stop : ColorStops())
        stops.insert(stop.position, stop.color);
    QCPColorGradient gradient;
    gradient.setColorStops(stops);
    gradient.setLevelCount(256);
    return gradient;
}

// A trace graph on `rect` with fixed ranges, as a real-time display keeps them.
QCPGraph* AddTrace(QCustomPlot& plot, QCPAxisRect* rect, int points, bool step)
{
    StyleAxisRect(rect);
    QCPGraph* graph = plot.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
    graph->setPen(QPen(TraceColor()));
    if (step)
        graph->setLineStyle(QCPGraph::lsStepLeft);
    rect->axis(QCPAxis::atBottom)->setRange(0, points - 1);
    rect->axis(QCPAxis::atLeft)->setRange(cdTraceMin, cdTraceMax);
    return graph;
}

QCPColorMap* AddColorMap(QCustomPlot& plot, int columns, int rows, double maxValue)
{
    QCPAxisRect* rect = plot.axisRect();
    StyleAxisRect(rect);
    auto* map = new QCPColorMap(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
    map->data()->setSize(columns, rows);
    map->data()->setRange(QCPRange(0, columns - 1), QCPRange(0, rows - 1));
    map->setGradient(Gradient());
    map->setDataRange(QCPRange(0, maxValue));
    map->setInterpolate(false);  // cells as they are, like the other libraries
    map->rescaleAxes();
    return map;
}

bool Paint(QCustomPlot& plot, QImage& image)
{
    if (image.size() != plot.size())
        image = QImage(plot.size(), QImage::Format_ARGB32_Premultiplied);
    QCPPainter painter(&image);
    plot.toPainter(&painter, image.width(), image.height());
    return painter.end();
}

int Run(const Args& args)
{
    QCustomPlot plot;
    plot.resize(args.width, args.height);
    plot.setBackground(Background());
    if (args.mode == "opengl") {
        plot.setOpenGl(true);
        if (!plot.openGl()) {
            std::fprintf(stderr, "qcustomplot: no OpenGL mode in this build of the library\n");
            return 3;
        }
    }

    const int points = TracePoints(args.scene);
    TraceData trace(points);
    std::vector<QCPGraph*> graphs;
    if (args.scene == Scene::Panels) {
        plot.plotLayout()->clear();
        for (int i = 0; i < 4; ++i) {
            auto* rect = new QCPAxisRect(&plot);
            plot.plotLayout()->addElement(i / 2, i % 2, rect);
            graphs.push_back(AddTrace(plot, rect, points, false));
        }
    } else if (args.scene != Scene::Waterfall && args.scene != Scene::Persistence)
        graphs.push_back(AddTrace(plot, plot.axisRect(), points, args.scene == Scene::Step));

    if (!graphs.empty())
        return RunAndReport("qcustomplot", args, [&](int frame, QImage& image) {
            trace.Update(frame);
            for (QCPGraph* graph : graphs)
                graph->setData(trace.x, trace.y, true);
            return Paint(plot, image);
        });

    if (args.scene == Scene::Waterfall) {
        WaterfallData lines;
        QCPColorMap* map = AddColorMap(plot, ciWaterfallColumns, ciWaterfallLines, 255);
        // The library keeps no history: every frame rewrites the cells from the ring.
        return RunAndReport("qcustomplot", args, [&](int, QImage& image) {
            lines.NewLine();
            QCPColorMapData* data = map->data();
            for (int row = 0; row < ciWaterfallLines; ++row)
                for (int c = 0; c < ciWaterfallColumns; ++c)
                    data->setCell(c, row, lines.At(c, row));
            return Paint(plot, image);
        });
    }

    QCPColorMap* map = AddColorMap(plot, ciDensityColumns, ciDensityRows, 1.0);
    std::vector<unsigned char> hits;
    std::vector<double> density;
    return RunAndReport("qcustomplot", args, [&](int frame, QImage& image) {
        trace.Update(frame);
        RasteriseTrace(trace.y, hits);
        FadeDensity(hits, density);
        QCPColorMapData* data = map->data();
        // Grid row 0 is the top; the map's value axis grows upwards.
        for (int row = 0; row < ciDensityRows; ++row)
            for (int c = 0; c < ciDensityColumns; ++c)
                data->setCell(c, ciDensityRows - 1 - row, density[size_t(row) * ciDensityColumns + c]);
        return Paint(plot, image);
    });
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Args args;
    if (!ParseArgs(argc, argv, args))
        return 2;
    return Run(args);
}
