// The comparison scenes drawn with GLBase on the software path (ScanBuffer: llvmpipe off
// screen), each frame rendered into an image with RenderToImage.
#include "scene_harness.h"

#include "axisdefinition.h"
#include "glframewidget.h"

#include <QApplication>
#include <QFont>

#include <memory>

namespace
{
using namespace scenes;
using GL = GLFrameWidget;

class SceneSurface : public GLFrameWidget
{
public:
    std::function<void(SceneSurface&)> paint;

protected:
    void PaintGL() override
    {
        if (paint)
            paint(*this);
    }
    void ResizeGL() override {}
};

// Where a plot's data area lies in its cell, leaving room for the tick labels.
QRect DataRect(const QRect& cell)
{
    return cell.adjusted(56, 10, -14, -26);
}

// X and Y axis lines, a dotted grid and tick labels around a data rectangle, drawn with the
// surface's lines and texts. The labels are laid out once: the ranges never change.
class AxisFrame
{
public:
    AxisFrame(const QRect& data, double xMin, double xMax, double yMin, double yMax)
        : m_Data(data), m_dXMin(xMin), m_dXMax(xMax), m_dYMin(yMin), m_dYMax(yMax)
    {
        m_Grid.SetLineStyle(GL::GLLineStyle(GL::eLineDotted, 1, GridColor()));
        m_Axes.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, Foreground()));
    }

    void Draw(GLFrameWidget& surface)
    {
        if (m_Labels.empty())
            Build(surface);
        surface.DrawLines(m_Grid);
        surface.DrawLines(m_Axes);
        for (auto& label : m_Labels)
            surface.DrawTextW(*label, true, nullptr);
    }

private:
    float XPixel(double v) const { return float(m_Data.left() + (v - m_dXMin) / (m_dXMax - m_dXMin) * (m_Data.width() - 1)); }
    float YPixel(double v) const { return float(m_Data.top() + (m_dYMax - v) / (m_dYMax - m_dYMin) * (m_Data.height() - 1)); }

    // Tick values chosen by the axis code; empty when it finds none.
    static std::vector<double> Ticks(double min, double max, int* decimals)
    {
        int subDivisions = 0, mode = 0;
        double start = 0, step = 0, offset = 0;
        const int count = axisDefinition::GetAxisValuesLinear(&min, &max, &subDivisions, &mode, decimals, &start,
                                                              &step, &offset, 0, 1.0, 0);
        std::vector<double> ticks;
        for (int i = 0; i < count; ++i)
            if (start + i * step <= max + step * 1e-9)
                ticks.push_back(start + i * step);
        return ticks;
    }

    void AddLabel(GLFrameWidget& surface, const QString& text, float x, float y, bool alignRight)
    {
        auto label = std::make_unique<GL::GLText>();
        label->SetFont(QFont("DejaVu Sans", 9), &surface);
        label->SetText(text, &surface);
        label->SetColor(Foreground());
        const GL::GLSize extent = surface.GetTextExtent(*label);
        label->SetPos(alignRight ? x - extent.Width() : x - extent.Width() / 2, y);
        m_Labels.push_back(std::move(label));
    }

    void Build(GLFrameWidget& surface)
    {
        const float left = float(m_Data.left()), right = float(m_Data.right());
        const float top = float(m_Data.top()), bottom = float(m_Data.bottom());
        int decimals = 0;
        for (double v : Ticks(m_dXMin, m_dXMax, &decimals)) {
            const float x = XPixel(v);
            m_Grid.AddLine(x, top, x, bottom);
            m_Axes.AddLine(x, bottom, x, bottom + 5);
            AddLabel(surface, QString::number(v, 'f', decimals), x, bottom + 8, false);
        }
        for (double v : Ticks(m_dYMin, m_dYMax, &decimals)) {
            const float y = YPixel(v);
            m_Grid.AddLine(left, y, right, y);
            m_Axes.AddLine(left - 5, y, left, y);
            AddLabel(surface, QString::number(v, 'f', decimals), left - 8, y - 6, true);
        }
        m_Axes.AddLine(left, bottom, right, bottom);
        m_Axes.AddLine(left, top, left, bottom);
    }

    QRect m_Data;
    double m_dXMin, m_dXMax, m_dYMin, m_dYMax;
    GL::GLLines m_Grid, m_Axes;
    std::vector<std::unique_ptr<GL::GLText>> m_Labels;
};

// A trace panel: axes plus a step line of byte samples spanning the data rectangle.
struct TracePlot
{
    TracePlot(const QRect& cell, int points, bool step)
        : data(DataRect(cell)), axes(data, 0, points - 1, cdTraceMin, cdTraceMax)
    {
        line.SetDestRect(data.left(), data.top(), data.width(), data.height());
        line.SetDataRange(0, 255);
        line.SetStepLineStyle(step ? GL::eStepLeft : GL::eStepNone);
        line.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, TraceColor()));
    }
    QRect data;
    AxisFrame axes;
    GL::GLStepLine line;
};

// The trace as the byte samples the surface draws: -1..1 onto 0..255.
void ToBytes(const QVector<double>& y, std::vector<unsigned char>& bytes)
{
    bytes.resize(size_t(y.size()));
    for (int i = 0; i < y.size(); ++i)
        bytes[size_t(i)] = (unsigned char)std::clamp(int((y[i] - cdTraceMin) / (cdTraceMax - cdTraceMin) * 255 + 0.5), 0, 255);
}

QVector<unsigned int> RgbaTable()
{
    QVector<unsigned int> table;
    for (const QColor& c : ColorTable())
        table.push_back(c.rgb());
    return table;
}

int RunTraces(const Args& args, SceneSurface& surface)
{
    const int points = TracePoints(args.scene);
    TraceData trace(points);
    std::vector<unsigned char> bytes;
    std::vector<std::unique_ptr<TracePlot>> plots;
    const QRect all(0, 0, args.width, args.height);
    if (args.scene == Scene::Panels) {
        const int w = args.width / 2, h = args.height / 2;
        for (int i = 0; i < 4; ++i)
            plots.push_back(std::make_unique<TracePlot>(QRect((i % 2) * w, (i / 2) * h, w, h), points, false));
    } else
        plots.push_back(std::make_unique<TracePlot>(all, points, args.scene == Scene::Step));
    surface.paint = [&](SceneSurface& s) {
        for (auto& plot : plots) {
            plot->axes.Draw(s);
            plot->line.SetData(bytes.data(), int(bytes.size()));
            s.DrawStepLine(plot->line);
        }
    };
    return RunAndReport("glbase", args, [&](int frame, QImage& image) {
        trace.Update(frame);
        ToBytes(trace.y, bytes);
        return surface.RenderToImage(&image);
    });
}

int RunWaterfall(const Args& args, SceneSurface& surface)
{
    WaterfallData lines;
    const QRect data = DataRect(QRect(0, 0, args.width, args.height));
    AxisFrame axes(data, 0, ciWaterfallColumns, 0, ciWaterfallLines);
    const int id = surface.CreateLineImage();
    surface.SetLineImageBufferHeight(id, ciWaterfallLines);
    surface.SetLineImageColorTable(id, RgbaTable());
    surface.SetLineImageXAxis(id, 0, ciWaterfallColumns - 1, ciWaterfallColumns);
    surface.SetLineImageDestXAxis(id, 0, ciWaterfallColumns - 1, data.width());
    surface.SetLineImageYAxis(id, 0, ciWaterfallLines);
    surface.SetLineImageDestYAxis(id, 0, ciWaterfallLines);
    unsigned long long stamp = 0;
    const unsigned char* newest = nullptr;
    bool filled = false;
    surface.paint = [&](SceneSurface& s) {
        // Lines can only be stored inside a paint pass, so the history is filled in the first one.
        if (!filled)
            for (int row = 0; row < ciWaterfallLines; ++row) {
                std::vector<unsigned char> line(ciWaterfallColumns);
                for (int c = 0; c < ciWaterfallColumns; ++c)
                    line[size_t(c)] = lines.At(c, row);
                s.SetLineImageData(id, ++stamp, line.data(), ciWaterfallColumns);
            }
        filled = true;
        if (newest)
            s.SetLineImageData(id, ++stamp, newest, ciWaterfallColumns);
        s.BeginViewPort(data.left(), data.top(), data.width(), data.height());
        s.DrawLineImage(id);
        s.EndViewPort(data.left(), data.top());
        axes.Draw(s);
    };
    return RunAndReport("glbase", args, [&](int, QImage& image) {
        newest = lines.NewLine();
        return surface.RenderToImage(&image);
    });
}
// The peers fade each cell to 94 % per frame; an aged image fades linearly, here by the same 6 % of
// full intensity per frame (hold time = one frame / 0.06), driven by 60-per-second time stamps.
int RunPersistence(const Args& args, SceneSurface& surface)
{
    TraceData trace(TracePoints(Scene::Trace));
    const QRect data = DataRect(QRect(0, 0, args.width, args.height));
    AxisFrame axes(data, 0, ciDensityColumns, cdTraceMin, cdTraceMax);
    const int id = surface.CreateAgedImage();
    surface.SetAgedImageBufferSize(id, ciDensityColumns, ciDensityRows);
    surface.SetAgedImageColorTable(id, RgbaTable());
    surface.SetAgedImageXAxis(id, 0, ciDensityColumns - 1, ciDensityColumns);
    surface.SetAgedImageDestXAxis(id, 0, ciDensityColumns - 1, data.width());
    surface.SetAgedImageYAxis(id, 0, 1);
    surface.SetAgedImageDestYAxis(id, 0, 1);
    surface.SetAgedImageHoldTime(id, int(16.667 / (1 - cdDensityKeep)));
    surface.SetAgeing(id, true);
    std::vector<unsigned char> hits;
    unsigned long long stamp = 1;
    surface.paint = [&](SceneSurface& s) {
        // 254 is the top of the scale on both paths: the shader path wraps 255 onto entry 0.
        for (unsigned char& h : hits)
            h = h ? 254 : 0;
        s.SetAgedImageData(id, stamp += 16667, hits.data(), ciDensityColumns, int(hits.size()));
        s.BeginViewPort(data.left(), data.top(), data.width(), data.height());
        s.DrawAgedImage(id);
        s.EndViewPort(data.left(), data.top());
        axes.Draw(s);
    };
    return RunAndReport("glbase", args, [&](int frame, QImage& image) {
        trace.Update(frame);
        RasteriseTrace(trace.y, hits);
        return surface.RenderToImage(&image);
    });
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Args args;
    args.mode = "scanbuffer";
    if (!ParseArgs(argc, argv, args))
        return 2;
    GLFrameWidget::setRenderPath(GLFrameWidget::ePathScanBuffer);
    SceneSurface surface;
    surface.resize(args.width, args.height);
    switch (args.scene) {
    case Scene::Waterfall: return RunWaterfall(args, surface);
    case Scene::Persistence: return RunPersistence(args, surface);
    default: return RunTraces(args, surface);
    }
}
