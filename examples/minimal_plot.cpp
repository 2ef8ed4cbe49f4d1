// The shortest way to a live plot: one panel with a level grid and a trace that changes ten times a
// second. Turn the wheel to zoom in or out around the mouse; right-click for Undo zoom.
#include "axisdefinition.h"
#include "glcommonwidget.h"
#include "gllayout.h"
#include "icolorbase.h"

#include <QApplication>
#include <QMenu>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

class LiveTrace : public IGLDrawObject, public IMouseWheelConsumer, public IHasContextMenu, public ISizeHandler
{
public:
    std::shared_ptr<axisDefinition> x = std::make_shared<axisDefinition>(), y = std::make_shared<axisDefinition>();
    std::vector<double> values = std::vector<double>(500);

    LiveTrace()
    {
        x->setXType(true);
        x->init(0, double(values.size() - 1), -1);
        y->setXType(false);
        y->init(-1.5, 1.5, -1);
        m_Menu.addAction("Undo zoom", [this] { x->UnDo(); });
    }
    void draw(GLPainter&, GLCommonWidget* panel, int) override
    {
        GLFrameWidget::GLLines trace;
        trace.SetLineStyle(GLFrameWidget::GLLineStyle(GLFrameWidget::eLineSolid, 1, Qt::yellow));
        for (size_t i = 1; i < values.size(); ++i) {
            bool shown = false, nextShown = false; // samples outside the zoomed range are left out
            const int from = x->ValueToPixel(double(i - 1), &shown, false), to = x->ValueToPixel(double(i), &nextShown, false);
            if (shown && nextShown)
                trace.AddLine(from, y->ValueToPixel(values[i - 1], nullptr, true), to, y->ValueToPixel(values[i], nullptr, true));
        }
        panel->GetFrameWidget()->DrawLines(trace);
    }
    qint64 wheel(QWheelEvent* event, GLCommonWidget* panel, int) override
    {
        const double at = x->PixelToValue(int(event->position().x()) - panel->left(), nullptr, false);
        const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
        x->zoom(at - (at - x->GetMin()) * factor, at + (x->GetMax() - at) * factor);
        panel->update();
        return 1;
    }
    QMenu* contextMenu(QContextMenuEvent*, GLCommonWidget*, int) override { return &m_Menu; }
    // The axes span the panel: the trace's pixels are the panel's.
    void resized(QResizeEvent* event, GLCommonWidget*, int) override
    {
        x->SetPixelCnt(event->size().width());
        y->SetPixelCnt(event->size().height());
    }
    void prepareUpdate(GLCommonWidget*) override {}
    bool visible() const override { return true; }
    const QString& name() const override { return m_sName; }

private:
    QMenu m_Menu;
    QString m_sName = "trace";
};

// Grid lines (121) dark grey, level labels (131) light on black (132).
class Colors : public IColorBase
{
public:
    QColor color(int id) override { return id == 121 ? QColor(80, 80, 80) : id == 132 ? Qt::black : Qt::lightGray; }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Colors colors;
    GLFrameWidget::setColorHandler(&colors);
    GLLayout layout;
    GLCommonWidget panel("Plot", &layout, GLCommonWidget::ePlotWindow);
    panel.SetBorderWidget(true); // the panel fills the window
    layout.AddWidget(&panel);
    const auto trace = std::make_shared<LiveTrace>();
    panel.addPaintObject(trace->x, GLCommonWidget::eZOrderGrid);
    panel.addPaintObject(trace->y, GLCommonWidget::eZOrderGrid);
    panel.addPaintObject(trace, GLCommonWidget::eZOrderData);
    panel.addWheelObject(trace, GLCommonWidget::eZOrderData);
    panel.addContextMenu(trace, GLCommonWidget::eZOrderData);
    panel.addSizeObject(trace, GLCommonWidget::eZOrderData);

    QTimer timer;
    int frame = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++frame;
        for (size_t i = 0; i < trace->values.size(); ++i)
            trace->values[i] = std::sin(double(i) * 0.05 + frame * 0.2) + 0.3 * std::sin(double(i * i % 97 + frame));
        panel.update();
    });
    timer.start(100);
    layout.resize(800, 400);
    layout.show();
    return app.exec();
}
