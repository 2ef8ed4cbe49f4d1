#ifndef SPECTRUM_PANELS_H
#define SPECTRUM_PANELS_H

// The pieces of the spectrum display: a synthetic signal, the plot panels with their axes,
// and the mouse, wheel and menu handlers that zoom and move the frequency axis. Built only on
// the library's public headers.
#include "axisdefinition.h"
#include "glcommonwidget.h"
#include "glframewidget.h"
#include "gllayout.h"
#include "icolorbase.h"

#include <QDateTime>
#include <QMenu>
#include <memory>
#include <vector>

namespace spectrum {

// Frequency range of the receiver (MHz) and level range of the display (dB).
const double cdFreqMin = 0.0;
const double cdFreqMax = 1000.0;
const double cdLevelMin = -120.0;
const double cdLevelMax = 0.0;
// A band without signals that the axis leaves out, and a band it shows three times wider.
const double cdSkipFrom = 430.0;
const double cdSkipTo = 470.0;
const double cdZoomFrom = 700.0;
const double cdZoomTo = 760.0;
const double cdZoomFactor = 3.0;
const int ciBins = 4096;
const int ciXAxisHeight = 26;
const int ciYAxisWidth = 64;

// Levels in dB of ciBins equally spaced frequencies from cdFreqMin to cdFreqMax: a noise floor
// around -95 dB plus carriers that drift with the frame number. The same frame always gives
// the same levels.
std::vector<float> SyntheticSpectrum(int frame, int bins = ciBins);
double BinFrequency(int bin, int bins = ciBins);

// The display's colour scheme, installed as the process-wide colour handler.
class DemoColors : public IColorBase
{
public:
    QColor color(int id) override;
};

// Draws one axis into a panel with chosen flags (texts only, grid only, or both).
class AxisLayer : public IGLDrawObject
{
public:
    AxisLayer(std::weak_ptr<axisDefinition> axis, bool legend, bool grid);
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }

private:
    std::weak_ptr<axisDefinition> m_Axis;
    bool m_bLegend;
    bool m_bGrid;
    QString m_sName;
};

// Fills a panel with a vertical gradient.
class PanelBackground : public IGLDrawObjectOnSingleWidget
{
public:
    PanelBackground(const QColor& top, const QColor& bottom);
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;

private:
    GLFrameWidget::GLPolygon m_Fill;
};

// Gives an axis the extent of its panel: the width for a horizontal axis, the height for a vertical one.
class AxisSizer : public ISizeHandler
{
public:
    explicit AxisSizer(std::weak_ptr<axisDefinition> axis) : m_Axis(std::move(axis)) {}
    void resized(QResizeEvent* event, GLCommonWidget* widget, int windowType) override;
    void prepareUpdate(GLCommonWidget*) override {}

private:
    std::weak_ptr<axisDefinition> m_Axis;
};

// The live trace: levels of the current frame mapped through both axes, one polyline broken
// wherever the frequency axis leaves a band out.
class TraceObject : public IGLDrawObject
{
public:
    TraceObject(std::weak_ptr<axisDefinition> x, std::weak_ptr<axisDefinition> y);
    void SetFrame(int frame) { m_iFrame = frame; }
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }
    // Segments of the trace for the levels, in panel pixels.
    static GLFrameWidget::GLLines BuildLines(const std::vector<float>& levels, const axisDefinition& x,
                                             const axisDefinition& y);

private:
    std::weak_ptr<axisDefinition> m_X;
    std::weak_ptr<axisDefinition> m_Y;
    int m_iFrame = 0;
    QString m_sName;
};

// A draw object that follows the mouse over its panels and takes nothing, so that the zoom and
// move handlers still get every event.
class MouseFollower : public IGLDrawObject, public IMouseConsumer
{
public:
    bool visible() const override { return true; }
    const QString& name() const override { return m_sName; }
    qint64 mousePress(QMouseEvent*, GLCommonWidget*, int) override { return 0; }
    qint64 mouseRelease(QMouseEvent*, GLCommonWidget*, int, bool) override { return 0; }
    qint64 mouseMove(QMouseEvent* event, GLCommonWidget* widget, int windowType, bool captured) override;
    qint64 mouseDoubleClick(QMouseEvent*, GLCommonWidget*, int) override { return 0; }

protected:
    QPoint m_Pos{-1, -1}; // in the panel the mouse last moved over; (-1, -1) before
    QString m_sName;
};

// Where the mouse is over the frequency axis: a line in the plot, a value label on the axis panel.
class CursorReadout : public MouseFollower
{
public:
    explicit CursorReadout(std::weak_ptr<axisDefinition> x) : m_X(std::move(x)) {}
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;

private:
    std::weak_ptr<axisDefinition> m_X;
};

// Left drag over the plot zooms the frequency axis to the dragged band (shown while dragging).
class ZoomDrag : public IMouseConsumer
{
public:
    explicit ZoomDrag(std::weak_ptr<axisDefinition> x) : m_X(std::move(x)) {}
    qint64 mousePress(QMouseEvent* event, GLCommonWidget* widget, int windowType) override;
    qint64 mouseRelease(QMouseEvent* event, GLCommonWidget* widget, int windowType, bool captured) override;
    qint64 mouseMove(QMouseEvent* event, GLCommonWidget* widget, int windowType, bool captured) override;
    qint64 mouseDoubleClick(QMouseEvent*, GLCommonWidget*, int) override { return 0; }

private:
    std::weak_ptr<axisDefinition> m_X;
    int m_iStart = -1;
};

// On the axis panel: the arrow buttons step the band by a tenth, a left drag moves it.
class AxisMoveDrag : public IMouseConsumer
{
public:
    explicit AxisMoveDrag(std::weak_ptr<axisDefinition> x) : m_X(std::move(x)) {}
    qint64 mousePress(QMouseEvent* event, GLCommonWidget* widget, int windowType) override;
    qint64 mouseRelease(QMouseEvent* event, GLCommonWidget* widget, int windowType, bool captured) override;
    qint64 mouseMove(QMouseEvent* event, GLCommonWidget* widget, int windowType, bool captured) override;
    qint64 mouseDoubleClick(QMouseEvent*, GLCommonWidget*, int) override { return 0; }

private:
    std::weak_ptr<axisDefinition> m_X;
    int m_iStart = -1;
};

// The wheel zooms the frequency axis in (away from the user) or out around the mouse.
class WheelZoom : public IMouseWheelConsumer
{
public:
    explicit WheelZoom(std::weak_ptr<axisDefinition> x) : m_X(std::move(x)) {}
    qint64 wheel(QWheelEvent* event, GLCommonWidget* widget, int windowType) override;

private:
    std::weak_ptr<axisDefinition> m_X;
};

// Undo, redo and the full band from the plot's context menu.
class ZoomMenu : public IHasContextMenu
{
public:
    explicit ZoomMenu(std::weak_ptr<axisDefinition> x);
    QMenu* contextMenu(QContextMenuEvent* event, GLCommonWidget* widget, int windowType) override;
    QMenu& Menu() { return m_Menu; }

private:
    std::weak_ptr<axisDefinition> m_X;
    GLCommonWidget* m_pWidget = nullptr;
    QMenu m_Menu;
    QAction* m_pUndo;
    QAction* m_pRedo;
    QAction* m_pFull;
};

// The whole display: a standard layout with the spectrum panel (the trace over a filled area),
// its level axis on the left and its frequency axis below, then a persistence spectrum, a
// waterfall and a polar sweep, and every handler registered.
class FrameFed;

class SpectrumDisplay
{
public:
    // Frame 0 is shown at startMs (ms since 1970 UTC) on the waterfall's time scale.
    explicit SpectrumDisplay(qint64 startMs = QDateTime::currentMSecsSinceEpoch());
    ~SpectrumDisplay();
    GLLayout& Layout() { return *m_pLayout; }
    GLCommonWidget& Plot() { return *m_pPlot; }
    GLCommonWidget& XAxisPanel() { return *m_pXPanel; }
    GLCommonWidget& YAxisPanel() { return *m_pYPanel; }
    GLCommonWidget& Corner() { return *m_pCorner; }
    // The image panels below the frequency axis, each with an empty axis panel on its left.
    GLCommonWidget& PersistencePanel() { return *m_pPersistence; }
    GLCommonWidget& WaterfallPanel() { return *m_pWaterfall; }
    GLCommonWidget& PolarPanel() { return *m_pPolar; }
    axisDefinition& XAxis() { return *m_pXAxis; }
    axisDefinition& YAxis() { return *m_pYAxis; }
    ZoomMenu& Menu() { return *m_pMenu; }
    int Frame() const { return m_iFrame; }
    // Resizes the display. A hidden (headless) layout gets its resize event at once, as a shown
    // window would get it from Qt.
    void Resize(int width, int height);
    // Moves the signal on by frames (the waterfall stores every one at the next paint) and asks
    // for a repaint.
    void Advance(int frames = 1);

    // How the axes are set up, also used to build reference pictures.
    static void SetUpXAxis(axisDefinition& axis);
    static void SetUpYAxis(axisDefinition& axis);

private:
    std::unique_ptr<GLLayout> m_pLayout;
    std::shared_ptr<axisDefinition> m_pXAxis;
    std::shared_ptr<axisDefinition> m_pYAxis;
    std::unique_ptr<GLCommonWidget> m_pYPanel;
    std::unique_ptr<GLCommonWidget> m_pPlot;
    std::unique_ptr<GLCommonWidget> m_pCorner;
    std::unique_ptr<GLCommonWidget> m_pXPanel;
    std::vector<std::unique_ptr<GLCommonWidget>> m_vImageMargins;
    std::unique_ptr<GLCommonWidget> m_pPersistence;
    std::unique_ptr<GLCommonWidget> m_pWaterfall;
    std::unique_ptr<GLCommonWidget> m_pPolar;
    std::vector<FrameFed*> m_vFed; // every object that follows the signal's frames
    std::vector<std::shared_ptr<void>> m_Objects; // keeps every registered object alive
    std::shared_ptr<TraceObject> m_pTrace;
    std::shared_ptr<ZoomMenu> m_pMenu;
    int m_iFrame = 0;
};

} // namespace spectrum

#endif
