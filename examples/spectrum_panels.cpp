#include "spectrum_panels.h"

#include "spectrum_images.h"

#include "glcolorbar.h"
#include "glpainter.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace spectrum {

namespace {

// A repeatable pseudo-random number in [0, 1) for a frame and a bin.
double Noise(int frame, int bin)
{
    std::uint32_t h = std::uint32_t(frame) * 0x9E3779B1u ^ std::uint32_t(bin) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / double(0x1000000);
}

struct Carrier
{
    double dCentre, dLevel, dWidth;
};

std::vector<Carrier> Carriers(int frame)
{
    const double t = frame;
    return {{120.0 + 60.0 * std::sin(t * 0.05), -35.0, 4.0},
            {620.0 + 30.0 * std::sin(t * 0.03 + 1.0), -50.0, 8.0},
            {730.0 + 10.0 * std::sin(t * 0.07), -28.0, 1.5},
            {880.0, -62.0, 20.0}};
}

double Power(double db)
{
    return std::pow(10.0, db / 10.0);
}

} // namespace

double BinFrequency(int bin, int bins)
{
    return cdFreqMin + (cdFreqMax - cdFreqMin) * bin / (bins - 1);
}

std::vector<float> SyntheticSpectrum(int frame, int bins)
{
    const std::vector<Carrier> carriers = Carriers(frame);
    std::vector<float> levels(bins > 1 ? bins : 0);
    for (int i = 0; i < int(levels.size()); ++i) {
        const double f = BinFrequency(i, bins);
        double power = Power(-95.0 + 8.0 * (Noise(frame, i) - 0.5));
        for (const Carrier& c : carriers) {
            const double d = (f - c.dCentre) / c.dWidth;
            power += Power(c.dLevel - 12.0 * d * d);
        }
        levels[i] = float(10.0 * std::log10(power));
    }
    return levels;
}

QColor DemoColors::color(int id)
{
    switch (id) {
    case 121: return QColor(70, 84, 110);   // grid
    case 126: return QColor(210, 220, 240); // axis panel texts and buttons
    case 131: return QColor(190, 200, 220); // texts elsewhere
    case 132: return QColor(12, 16, 28);    // text background
    default: return QColor(255, 0, 255);
    }
}

AxisLayer::AxisLayer(std::weak_ptr<axisDefinition> axis, bool legend, bool grid)
    : m_Axis(std::move(axis)), m_bLegend(legend), m_bGrid(grid)
{
}

void AxisLayer::draw(GLPainter& painter, GLCommonWidget* widget, int windowType)
{
    if (const auto axis = m_Axis.lock())
        axis->draw(painter, widget, windowType, m_bLegend, m_bGrid);
}

PanelBackground::PanelBackground(const QColor& top, const QColor& bottom)
{
    m_Fill.SetFillStyle(GLFrameWidget::GLFillStyle(GLFrameWidget::eFillHGradient, top, bottom));
}

void PanelBackground::draw(GLPainter& painter, GLCommonWidget* widget, int)
{
    m_Fill.SetRect(0, 0, widget->width(), widget->height());
    painter.drawPolygon(m_Fill);
}

void AxisSizer::resized(QResizeEvent*, GLCommonWidget* widget, int)
{
    if (const auto axis = m_Axis.lock())
        axis->SetPixelCnt(axis->getXType() ? widget->width() : widget->height());
}

TraceObject::TraceObject(std::weak_ptr<axisDefinition> x, std::weak_ptr<axisDefinition> y)
    : m_X(std::move(x)), m_Y(std::move(y))
{
}

GLFrameWidget::GLLines TraceObject::BuildLines(const std::vector<float>& levels, const axisDefinition& x,
                                               const axisDefinition& y)
{
    GLFrameWidget::GLLines lines;
    lines.SetLineStyle(GLFrameWidget::GLLineStyle(GLFrameWidget::eLineSolid, 1, QColor(255, 214, 64)));
    const int bins = int(levels.size());
    bool previousShown = false;
    int px = 0;
    int py = 0;
    for (int i = 0; i < bins; ++i) {
        bool shown = false;
        bool levelShown = false;
        const int cx = x.ValueToPixel(BinFrequency(i, bins), &shown, false);
        const int cy = y.ValueToPixel(levels[i], &levelShown, true);
        // A band left out of the axis, or outside it, breaks the line.
        if (shown && previousShown)
            lines.AddLine(px, py, cx, cy);
        previousShown = shown;
        px = cx;
        py = cy;
    }
    return lines;
}

void TraceObject::draw(GLPainter&, GLCommonWidget* widget, int)
{
    const auto x = m_X.lock();
    const auto y = m_Y.lock();
    if (!x || !y)
        return;
    GLFrameWidget::GLLines lines = BuildLines(SyntheticSpectrum(m_iFrame), *x, *y);
    widget->GetFrameWidget()->DrawLines(lines);
}

void CursorReadout::draw(GLPainter& painter, GLCommonWidget* widget, int windowType)
{
    const auto axis = m_X.lock();
    const int x = m_Pos.x();
    if (!axis || x < 0)
        return;
    if (windowType == GLCommonWidget::eXAxisWindow) {
        bool valid = false;
        const double value = axis->PixelToValue(x, &valid, false);
        if (valid) {
            painter.setPen(QPen(Qt::white));
            axis->Label(painter, widget, x, value, QColor(30, 110, 200));
        }
        return;
    }
    painter.setPen(QPen(QColor(255, 255, 255, 160), 1, Qt::DotLine));
    painter.drawLine(x, 0, x, widget->height());
}

qint64 MouseFollower::mouseMove(QMouseEvent* event, GLCommonWidget* widget, int, bool)
{
    m_Pos = event->pos();
    widget->update();
    return 0;
}

qint64 ZoomDrag::mousePress(QMouseEvent* event, GLCommonWidget*, int)
{
    if (event->button() != Qt::LeftButton || m_X.expired())
        return 0;
    m_iStart = event->pos().x();
    return 1;
}

qint64 ZoomDrag::mouseMove(QMouseEvent* event, GLCommonWidget* widget, int, bool)
{
    const auto axis = m_X.lock();
    if (!axis || m_iStart < 0)
        return 0;
    axis->setVisualizeAction(m_iStart, event->pos().x(), AxisMouseZoom);
    widget->update();
    return 1;
}

// A band narrower than a few pixels is taken for a click and changes nothing.
qint64 ZoomDrag::mouseRelease(QMouseEvent* event, GLCommonWidget* widget, int, bool)
{
    const auto axis = m_X.lock();
    if (!axis || m_iStart < 0)
        return 0;
    const int lo = std::min(m_iStart, event->pos().x());
    const int hi = std::max(m_iStart, event->pos().x());
    m_iStart = -1;
    bool loValid = false;
    bool hiValid = false;
    const double from = axis->PixelToValue(lo, &loValid, false);
    const double to = axis->PixelToValue(hi, &hiValid, false);
    if (hi - lo >= 3 && loValid && hiValid && from < to)
        axis->zoom(from, to);
    axis->setVisualizeAction(0, 0, AxisMouseNone);
    widget->update();
    return 1;
}

namespace {

const int ciButtonWidth = 20;

double Span(const axisDefinition& axis)
{
    return axis.GetMax() - axis.GetMin();
}

} // namespace

qint64 AxisMoveDrag::mousePress(QMouseEvent* event, GLCommonWidget* widget, int)
{
    const auto axis = m_X.lock();
    if (!axis || event->button() != Qt::LeftButton)
        return 0;
    const int x = event->pos().x();
    if (x < ciButtonWidth || x >= widget->width() - ciButtonWidth) {
        const bool left = x < ciButtonWidth;
        axis->setVisualizeAction(0, 0, left ? AxisMouseLeftButton : AxisMouseRightButton);
        axis->move((left ? -0.1 : 0.1) * Span(*axis));
        m_iStart = -2; // a button is held
    } else {
        m_iStart = x;
    }
    widget->update();
    return 1;
}

qint64 AxisMoveDrag::mouseMove(QMouseEvent* event, GLCommonWidget* widget, int, bool)
{
    const auto axis = m_X.lock();
    if (!axis || m_iStart == -1)
        return 0;
    if (m_iStart >= 0) {
        axis->setVisualizeAction(m_iStart, event->pos().x(), AxisMouseMove);
        widget->update();
    }
    return 1;
}

// The band follows the mouse: dragging to the right shows lower frequencies.
qint64 AxisMoveDrag::mouseRelease(QMouseEvent* event, GLCommonWidget* widget, int, bool)
{
    const auto axis = m_X.lock();
    if (!axis || m_iStart == -1)
        return 0;
    if (m_iStart >= 0 && event->pos().x() != m_iStart) {
        bool startValid = false;
        bool endValid = false;
        const double start = axis->PixelToValue(m_iStart, &startValid, false);
        const double end = axis->PixelToValue(event->pos().x(), &endValid, false);
        if (startValid && endValid)
            axis->move(start - end);
    }
    m_iStart = -1;
    axis->setVisualizeAction(0, 0, AxisMouseNone);
    widget->update();
    return 1;
}

qint64 WheelZoom::wheel(QWheelEvent* event, GLCommonWidget* widget, int)
{
    const auto axis = m_X.lock();
    if (!axis || event->angleDelta().y() == 0)
        return 0;
    // The wheel event comes in layout coordinates.
    const int x = int(event->position().x()) - widget->left();
    bool valid = false;
    const double value = axis->PixelToValue(x, &valid, false);
    if (!valid)
        return 0;
    const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
    // Zooming out stops at the band's edges; an edge already moved past them stays where it is.
    const double min = std::max(value - (value - axis->GetMin()) * factor, std::min(cdFreqMin, axis->GetMin()));
    const double max = std::min(value + (axis->GetMax() - value) * factor, std::max(cdFreqMax, axis->GetMax()));
    axis->zoom(min, max);
    widget->update();
    return 1;
}

ZoomMenu::ZoomMenu(std::weak_ptr<axisDefinition> x) : m_X(std::move(x))
{
    m_pUndo = m_Menu.addAction(QStringLiteral("Undo zoom"));
    m_pRedo = m_Menu.addAction(QStringLiteral("Redo zoom"));
    m_pFull = m_Menu.addAction(QStringLiteral("Full band"));
    const auto apply = [this](void (*step)(axisDefinition&)) {
        if (const auto axis = m_X.lock())
            step(*axis);
        if (m_pWidget)
            m_pWidget->update();
    };
    QObject::connect(m_pUndo, &QAction::triggered, [apply] { apply([](axisDefinition& a) { a.UnDo(); }); });
    QObject::connect(m_pRedo, &QAction::triggered, [apply] { apply([](axisDefinition& a) { a.ReDo(); }); });
    QObject::connect(m_pFull, &QAction::triggered,
                     [apply] { apply([](axisDefinition& a) { a.zoom(cdFreqMin, cdFreqMax); }); });
}

QMenu* ZoomMenu::contextMenu(QContextMenuEvent*, GLCommonWidget* widget, int)
{
    const auto axis = m_X.lock();
    if (!axis)
        return nullptr;
    m_pWidget = widget;
    m_pUndo->setEnabled(axis->UnDoAvailable());
    m_pRedo->setEnabled(axis->ReDoAvailable());
    return &m_Menu;
}

void SpectrumDisplay::SetUpXAxis(axisDefinition& axis)
{
    axis.setXType(true);
    axis.init(cdFreqMin, cdFreqMax, -1);
    axis.SetSkipSuppressRanges(true);
    axis.AddSkip(cdSkipFrom, cdSkipTo, false);
    axis.AddFactor(cdZoomFrom, cdZoomTo, cdZoomFactor, true);
    axis.SetDrawButtons(true);
}

void SpectrumDisplay::SetUpYAxis(axisDefinition& axis)
{
    axis.setXType(false);
    axis.init(cdLevelMin, cdLevelMax, -1);
}

SpectrumDisplay::SpectrumDisplay(qint64 startMs)
    : m_pLayout(new GLLayout), m_pXAxis(std::make_shared<axisDefinition>()),
      m_pYAxis(std::make_shared<axisDefinition>())
{
    using CW = GLCommonWidget;
    SetUpXAxis(*m_pXAxis);
    SetUpYAxis(*m_pYAxis);
    GLLayout* layout = m_pLayout.get();
    layout->CreateStdLayout(1.0);
    m_pYPanel.reset(new CW("Level", layout, CW::eYAxisWindow));
    m_pPlot.reset(new CW("Spectrum", layout, CW::ePlotWindow));
    m_pCorner.reset(new CW("Corner", layout, CW::eYAxisWindow));
    m_pXPanel.reset(new CW("Frequency", layout, CW::eXAxisWindow));
    for (CW* fixedWidth : {m_pYPanel.get(), m_pCorner.get()}) {
        fixedWidth->setMinimumWidth(ciYAxisWidth);
        fixedWidth->setMaximumWidth(ciYAxisWidth);
    }
    for (CW* fixedHeight : {m_pCorner.get(), m_pXPanel.get()}) {
        fixedHeight->setMinimumHeight(ciXAxisHeight);
        fixedHeight->setMaximumHeight(ciXAxisHeight);
    }
    layout->AddLeftRightWidget(m_pYPanel.get(), m_pPlot.get(), 1.0);
    layout->AddLeftRightWidget(m_pCorner.get(), m_pXPanel.get(), 1.0);
    m_pPersistence.reset(new CW("Persistence", layout, CW::ePlotWindow));
    m_pWaterfall.reset(new CW("Waterfall", layout, CW::ePlotWindow));
    m_pPolar.reset(new CW("Polar", layout, CW::ePlotWindow));
    for (CW* panel : {m_pPersistence.get(), m_pWaterfall.get(), m_pPolar.get()}) {
        m_vImageMargins.emplace_back(new CW(std::string(panel->GetName()) + " margin", layout, CW::eYAxisWindow));
        m_vImageMargins.back()->setMinimumWidth(ciYAxisWidth);
        m_vImageMargins.back()->setMaximumWidth(ciYAxisWidth);
        layout->AddLeftRightWidget(m_vImageMargins.back().get(), panel, panel == m_pPolar.get() ? 1.0 : 0.8);
    }
    m_pPlot->SetXAxis(m_pXAxis);
    m_pPlot->SetYAxis(m_pYAxis);
    m_pXPanel->SetXAxis(m_pXAxis);
    m_pYPanel->SetYAxis(m_pYAxis);

    const auto keep = [this](auto object) {
        m_Objects.push_back(object);
        return object;
    };
    const auto plotBack = keep(std::make_shared<PanelBackground>(QColor(14, 20, 36), QColor(4, 6, 12)));
    const auto axisBack = keep(std::make_shared<PanelBackground>(QColor(24, 30, 46), QColor(12, 16, 28)));
    m_pPlot->addUserDimensionBackgroundDrawObject(0, 0, plotBack, true);
    for (CW* panel : {m_pYPanel.get(), m_pCorner.get(), m_pXPanel.get()})
        panel->addUserDimensionBackgroundDrawObject(0, 0, axisBack, true);
    for (const auto& margin : m_vImageMargins)
        margin->addUserDimensionBackgroundDrawObject(0, 0, axisBack, true);
    const auto imageBack = keep(std::make_shared<PanelBackground>(QColor(0, 0, 0), QColor(0, 0, 0)));
    for (CW* panel : {m_pPersistence.get(), m_pWaterfall.get(), m_pPolar.get()})
        panel->addUserDimensionBackgroundDrawObject(0, 0, imageBack, true);
    const auto persistence = keep(std::make_shared<PersistenceImage>(m_pXAxis));
    // Lines are stamped in microseconds of frame time from frame 0.
    const auto timeScale = keep(std::make_shared<GLTimeScale>(-1, 1e6, startMs));
    const auto waterfall = keep(std::make_shared<WaterfallImage>(m_pXAxis, timeScale));
    const auto polar = keep(std::make_shared<PolarSweep>());
    m_pPersistence->addPaintObject(persistence, CW::eZOrderData);
    m_pPersistence->addPaintObject(keep(std::make_shared<AxisLayer>(m_pXAxis, false, true)), CW::eZOrderGrid);
    m_pWaterfall->addPaintObject(waterfall, CW::eZOrderData);
    m_pWaterfall->addPaintObject(timeScale, CW::eZOrderMarker); // over the lines, which fill the panel
    m_vImageMargins[1]->addPaintObject(timeScale, CW::eZOrderAxis);
    const auto readout = keep(std::make_shared<WaterfallReadout>(m_pXAxis, waterfall, timeScale));
    m_pWaterfall->addPaintObject(readout, CW::eZOrderMarker);
    m_pWaterfall->addMouseObject(readout, CW::eZOrderMarker);
    // Persistence values 1 to 254 stand for the levels of the bottom to the top row.
    const auto persistenceBar = keep(std::make_shared<GLColorBar>());
    persistenceBar->SetColorTable(HeatTable());
    persistenceBar->SetScale(cdLevelMin, cdLevelMax, 1, ciTopValue);
    persistenceBar->SetUnit(QStringLiteral("dB"));
    m_pPersistence->addPaintObject(persistenceBar, CW::eZOrderMarker);
    const auto waterfallBar = keep(std::make_shared<GLColorBar>());
    waterfallBar->SetColorTable(HeatTable());
    waterfallBar->SetScale(cdLevelMin, cdLevelMax);
    waterfallBar->SetUnit(QStringLiteral("dB"));
    m_pWaterfall->addPaintObject(waterfallBar, CW::eZOrderMarker);
    m_pPolar->addPaintObject(polar, CW::eZOrderData);
    const std::pair<CW*, const char*> titles[] = {{m_pPersistence.get(), "Persistence, 1 s"},
                                                  {m_pWaterfall.get(), "Waterfall, 1,000 lines"},
                                                  {m_pPolar.get(), "Polar sweep"}};
    for (const auto& [panel, text] : titles)
        panel->addPaintObject(keep(std::make_shared<PanelTitle>(QString::fromLatin1(text))), CW::eZOrderMarker);

    m_pPlot->addPaintObject(keep(std::make_shared<AxisLayer>(m_pXAxis, false, true)), CW::eZOrderGrid);
    m_pPlot->addPaintObject(keep(std::make_shared<AxisLayer>(m_pYAxis, false, true)), CW::eZOrderGrid);
    m_pYPanel->addPaintObject(keep(std::make_shared<AxisLayer>(m_pYAxis, true, false)), CW::eZOrderAxis);
    m_pXPanel->addPaintObject(keep(std::make_shared<AxisLayer>(m_pXAxis, true, true)), CW::eZOrderAxis);
    // The area under the trace first, so that the trace stays on top.
    const auto fill = keep(std::make_shared<TraceFill>(m_pXAxis));
    m_pPlot->addPaintObject(fill, CW::eZOrderData);
    m_pTrace = keep(std::make_shared<TraceObject>(m_pXAxis, m_pYAxis));
    m_vFed = {fill.get(), persistence.get(), waterfall.get(), polar.get()};
    m_pPlot->addPaintObject(m_pTrace, CW::eZOrderData);

    const auto cursor = keep(std::make_shared<CursorReadout>(m_pXAxis));
    for (CW* panel : {m_pPlot.get(), m_pXPanel.get()}) {
        panel->addPaintObject(cursor, CW::eZOrderMarker);
        panel->addMouseObject(cursor, CW::eZOrderMarker);
    }
    m_pPlot->addMouseObject(keep(std::make_shared<ZoomDrag>(m_pXAxis)), CW::eZOrderData);
    m_pXPanel->addMouseObject(keep(std::make_shared<AxisMoveDrag>(m_pXAxis)), CW::eZOrderAxis);
    const auto wheel = keep(std::make_shared<WheelZoom>(m_pXAxis));
    m_pPlot->addWheelObject(wheel, CW::eZOrderData);
    m_pXPanel->addWheelObject(wheel, CW::eZOrderAxis);
    m_pMenu = keep(std::make_shared<ZoomMenu>(m_pXAxis));
    m_pPlot->addContextMenu(m_pMenu, CW::eZOrderData);
    m_pPlot->addSizeObject(keep(std::make_shared<AxisSizer>(m_pYAxis)), CW::eZOrderAxis);
    m_pXPanel->addSizeObject(keep(std::make_shared<AxisSizer>(m_pXAxis)), CW::eZOrderAxis);
}

SpectrumDisplay::~SpectrumDisplay() = default;

void SpectrumDisplay::Resize(int width, int height)
{
    const QSize old = m_pLayout->size();
    m_pLayout->resize(width, height);
    if (!m_pLayout->isVisible()) {
        QResizeEvent event(QSize(width, height), old);
        QApplication::sendEvent(m_pLayout.get(), &event);
    }
}

void SpectrumDisplay::Advance(int frames)
{
    m_iFrame += std::max(frames, 1);
    m_pTrace->SetFrame(m_iFrame);
    for (FrameFed* fed : m_vFed)
        fed->SetFrame(m_iFrame);
    m_pLayout->Update();
}

} // namespace spectrum
