// One frame of four plot panels, each with its level labels, frequency texts, both grids and a
// 4,096-point trace, on the software path at 1920 x 1080. The first-draw case recomputes every
// axis's ticks in each frame; the cached case repeats them, as steady frames do.
#include "spectrum_panels.h"

#include <QApplication>
#include <QResizeEvent>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace
{
using CW = GLCommonWidget;

struct PlotRow
{
    std::shared_ptr<axisDefinition> x = std::make_shared<axisDefinition>();
    std::shared_ptr<axisDefinition> y = std::make_shared<axisDefinition>();
    std::unique_ptr<CW> yPanel, plot, corner, xPanel;
};

class FourPlots
{
public:
    FourPlots()
    {
        m_Layout.CreateStdLayout(1.0);
        for (int i = 0; i < 4; ++i)
            AddRow(i);
        m_Layout.resize(1920, 1080);
        QResizeEvent event(QSize(1920, 1080), QSize()); // hidden widgets get it only when shown
        QApplication::sendEvent(&m_Layout, &event);
    }
    bool Frame(bool recomputeTicks)
    {
        if (recomputeTicks)
            for (PlotRow& row : m_Rows) {
                row.x->InvalidateGrid();
                row.y->InvalidateGrid();
            }
        return m_Layout.RenderToImage(&m_Image);
    }

private:
    template <class T, class... Args>
    std::shared_ptr<T> Keep(Args&&... args)
    {
        auto object = std::make_shared<T>(std::forward<Args>(args)...);
        m_Objects.push_back(object);
        return object;
    }

    void AddRow(int i)
    {
        m_Rows.emplace_back();
        PlotRow& row = m_Rows.back();
        spectrum::SpectrumDisplay::SetUpXAxis(*row.x);
        spectrum::SpectrumDisplay::SetUpYAxis(*row.y);
        const std::string n = std::to_string(i);
        row.yPanel = std::make_unique<CW>("Level" + n, &m_Layout, CW::eYAxisWindow);
        row.plot = std::make_unique<CW>("Plot" + n, &m_Layout, CW::ePlotWindow);
        row.corner = std::make_unique<CW>("Corner" + n, &m_Layout, CW::eYAxisWindow);
        row.xPanel = std::make_unique<CW>("Frequency" + n, &m_Layout, CW::eXAxisWindow);
        for (CW* p : {row.yPanel.get(), row.corner.get()}) {
            p->setMinimumWidth(spectrum::ciYAxisWidth);
            p->setMaximumWidth(spectrum::ciYAxisWidth);
        }
        for (CW* p : {row.corner.get(), row.xPanel.get()}) {
            p->setMinimumHeight(spectrum::ciXAxisHeight);
            p->setMaximumHeight(spectrum::ciXAxisHeight);
        }
        m_Layout.AddLeftRightWidget(row.yPanel.get(), row.plot.get(), 1.0);
        m_Layout.AddLeftRightWidget(row.corner.get(), row.xPanel.get(), 1.0);
        const auto back = Keep<spectrum::PanelBackground>(QColor(14, 20, 36), QColor(4, 6, 12));
        for (CW* p : {row.yPanel.get(), row.plot.get(), row.corner.get(), row.xPanel.get()})
            p->addUserDimensionBackgroundDrawObject(0, 0, back, true);
        row.plot->addPaintObject(Keep<spectrum::AxisLayer>(row.x, false, true), CW::eZOrderGrid);
        row.plot->addPaintObject(Keep<spectrum::AxisLayer>(row.y, false, true), CW::eZOrderGrid);
        row.plot->addPaintObject(Keep<spectrum::TraceObject>(row.x, row.y), CW::eZOrderData);
        row.yPanel->addPaintObject(Keep<spectrum::AxisLayer>(row.y, true, false), CW::eZOrderAxis);
        row.xPanel->addPaintObject(Keep<spectrum::AxisLayer>(row.x, true, true), CW::eZOrderAxis);
        row.plot->addSizeObject(Keep<spectrum::AxisSizer>(row.y), CW::eZOrderAxis);
        row.xPanel->addSizeObject(Keep<spectrum::AxisSizer>(row.x), CW::eZOrderAxis);
    }

    GLLayout m_Layout;
    std::vector<std::shared_ptr<void>> m_Objects;
    std::vector<PlotRow> m_Rows;
    QImage m_Image;
};

void RunFrames(benchmark::State& state, bool recomputeTicks)
{
    spectrum::DemoColors colors;
    GLFrameWidget::setColorHandler(&colors);
    {
        FourPlots plots;
        plots.Frame(true);
        for (auto _ : state)
            if (!plots.Frame(recomputeTicks))
                state.SkipWithError("no context");
    }
    GLFrameWidget::setColorHandler(nullptr);
}

void BM_FourPlotsFirstDraw(benchmark::State& state) { RunFrames(state, true); }
void BM_FourPlotsCachedTicks(benchmark::State& state) { RunFrames(state, false); }
} // namespace

BENCHMARK(BM_FourPlotsFirstDraw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FourPlotsCachedTicks)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    GLFrameWidget::setRenderPath(GLFrameWidget::ePathScanBuffer);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
