// The spectrum display end to end: its panels, its image panels, and real mouse, wheel and menu events.
#include "support/layout_fixture.h"
#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include "spectrum_panels.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

using CW = GLCommonWidget;

namespace
{
const QRgb cBlack = qRgb(0, 0, 0), cWhite = qRgb(255, 255, 255);

struct Demo : ::testing::Test
{
    spectrum::DemoColors colors;
    spectrum::SpectrumDisplay display;
    GLLayout& layout = display.Layout();
    CW& plot = display.Plot();
    CW& axisPanel = display.XAxisPanel();
    axisDefinition& axis = display.XAxis();

    Demo()
    {
        GLFrameWidget::setColorHandler(&colors);
        display.Resize(800, 480);
    }
    ~Demo() override { GLFrameWidget::setColorHandler(nullptr); }
    QImage Frame()
    {
        QImage image;
        EXPECT_TRUE(layout.RenderToImage(&image));
        return image;
    }
    // Layout coordinates of a point in a panel, and a strip of the panel w pixels wide from column x.
    static QPoint At(const CW& panel, int x, int y) { return QPoint(panel.left() + x, panel.top() + y); }
    static QRect Columns(const CW& panel, int x, int w = 1) { return QRect(At(panel, x, 0), QSize(w, panel.height())); }
    void Mouse(QEvent::Type type, const CW& panel, int x, int y, Qt::MouseButtons held = Qt::NoButton)
    {
        SendMouse(layout, type, At(panel, x, y), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held);
    }
    void Drag(const CW& panel, int fromX, int toX, int y)
    {
        Mouse(QEvent::MouseButtonPress, panel, fromX, y, Qt::LeftButton);
        Mouse(QEvent::MouseMove, panel, toX, y, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, panel, toX, y);
    }
    // Opens the plot's context menu and picks the enabled action with that text while it is shown.
    void ChooseFromMenu(const QString& text)
    {
        QString picked;
        QTimer::singleShot(0, [&] {
            QWidget* menu = QApplication::activePopupWidget();
            for (QAction* action : menu ? menu->actions() : QList<QAction*>())
                if (action->text() == text && action->isEnabled()) {
                    picked = text;
                    action->trigger();
                }
            if (menu)
                menu->close();
        });
        const QPoint pos = At(plot, 150, 60);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, layout.mapToGlobal(pos));
        QApplication::sendEvent(&layout, &event);
        EXPECT_EQ(picked, text) << "menu entry not offered";
    }
};
} // namespace

// The level axis on the left of the spectrum, the frequency axis below it, then the image panels
// one below the other, each showing its picture of the signal.
TEST_F(Demo, PanelsSitAroundTheSpectrumAndImagePanelsFollowTheSignal)
{
    CW& levels = display.YAxisPanel();
    CW& persistence = display.PersistencePanel();
    CW& waterfall = display.WaterfallPanel();
    CW& polar = display.PolarPanel();
    EXPECT_EQ(std::pair(levels.top(), levels.height()), std::pair(plot.top(), plot.height()));
    EXPECT_EQ(std::pair(axisPanel.left(), axisPanel.width()), std::pair(plot.left(), plot.width()));
    EXPECT_EQ(axisPanel.height(), spectrum::ciXAxisHeight);
    EXPECT_EQ(levels.width(), spectrum::ciYAxisWidth);
    EXPECT_LE(levels.left() + levels.width(), plot.left());
    for (QSize size : {QSize(700, 480), QSize(700, 400), QSize(800, 480)}) {
        display.Resize(size.width(), size.height());
        EXPECT_EQ(std::pair(axis.GetPixelCnt(), display.YAxis().GetPixelCnt()), std::pair(plot.width(), plot.height()))
            << "the axes follow their panels";
    }
    int bottom = plot.top() + plot.height();
    for (const CW* panel : {&axisPanel, &persistence, &waterfall, &polar}) {
        EXPECT_GE(panel->top(), bottom) << panel->GetName();
        bottom = panel->top() + panel->height();
    }
    QImage image = Frame();
    for (int i = 0; i < 30; ++i) {
        display.Advance();
        image = Frame();
    }
    const auto lit = [&](const CW& panel) {
        return panel.width() * panel.height() - CountPixels(image, Rect(panel), cBlack);
    };
    EXPECT_GT(lit(persistence), persistence.width()) << "at least the noise floor";
    EXPECT_GT(lit(polar), 1000);
    EXPECT_EQ(image.pixel(At(polar, 2, polar.height() - 2)), cBlack) << "outside the ring";
    // 31 of 1,000 waterfall lines fill only the top of the panel, and a repaint of the same frame adds none.
    EXPECT_NE(image.pixel(At(waterfall, waterfall.width() / 2, 1)), cBlack);
    EXPECT_EQ(image.pixel(At(waterfall, waterfall.width() / 2, waterfall.height() * 31 / 1000 + 3)), cBlack);
    EXPECT_TRUE(Frame().copy(Rect(waterfall)) == image.copy(Rect(waterfall)));
    // The read-out appears beside the mouse over a kept line, and not below the last one.
    for (int y : {2, waterfall.height() * 31 / 1000 + 6}) {
        Mouse(QEvent::MouseMove, waterfall, 200, y);
        const QRect beside(At(waterfall, 214, y + 14), QSize(100, 8));
        EXPECT_EQ(Frame().copy(beside) == image.copy(beside), y > 2) << "mouse at row " << y;
    }
}

TEST_F(Demo, DragZoomsToTheDraggedBandAndTheMenuUndoesIt)
{
    const axisDefinition before(axis);
    const double from = before.PixelToValue(100, nullptr, false), to = before.PixelToValue(220, nullptr, false);
    ASSERT_LT(from, to);
    Mouse(QEvent::MouseButtonPress, plot, 100, 80, Qt::LeftButton);
    Mouse(QEvent::MouseMove, plot, 220, 80, Qt::LeftButton);
    QImage image = Frame();
    // While dragging, both the plot and the axis panel show the band; grid lines, the trace and the
    // area under it, and tick labels, are drawn over the feedback in places.
    for (int x : {100, 220}) {
        EXPECT_GT(CountPixels(image, Columns(plot, x), cWhite), plot.height() * 2 / 3) << x;
        EXPECT_LT(CountPixels(image, Columns(plot, x + 5), cWhite), plot.height() / 10) << x;
        EXPECT_GT(CountPixels(image, Columns(axisPanel, x), cWhite), spectrum::ciXAxisHeight / 2) << x;
    }
    Mouse(QEvent::MouseButtonRelease, plot, 220, 80);
    EXPECT_EQ(std::pair(axis.GetMin(), axis.GetMax()), std::pair(from, to));
    EXPECT_EQ(axis.ValueToPixel(from, nullptr, false), 0) << "the band fills the plot";
    EXPECT_LT(CountPixels(Frame(), Columns(plot, 100), cWhite), plot.height()) << "feedback ends with the drag";

    ChooseFromMenu("Undo zoom");
    EXPECT_EQ(std::pair(axis.GetMin(), axis.GetMax()), std::pair(0.0, 1000.0));
    ChooseFromMenu("Redo zoom");
    EXPECT_EQ(std::pair(axis.GetMin(), axis.GetMax()), std::pair(from, to));
    ChooseFromMenu("Full band");
    EXPECT_EQ(axis.GetMax(), 1000.0);
    Drag(plot, 200, 201, 80);
    EXPECT_EQ(axis.GetMax(), 1000.0) << "a click without a band changes nothing";
}

TEST_F(Demo, WheelZoomsAroundTheMouseAxisButtonsAndDragMoveAndTheCursorIsRead)
{
    const double v = axis.PixelToValue(250, nullptr, false);
    const QPoint pos = At(plot, 250, 100);
    QWheelEvent wheel(pos, layout.mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&layout, &wheel); // away from the user: in around the mouse
    EXPECT_DOUBLE_EQ(axis.GetMin(), v - v * 0.8);
    EXPECT_DOUBLE_EQ(axis.GetMax(), v + (1000.0 - v) * 0.8);
    ChooseFromMenu("Full band");

    Mouse(QEvent::MouseButtonPress, axisPanel, 8, 12, Qt::LeftButton);
    const QImage pressed = Frame();
    Mouse(QEvent::MouseButtonRelease, axisPanel, 8, 12);
    EXPECT_EQ(std::pair(axis.GetMin(), axis.GetMax()), std::pair(-100.0, 900.0)) << "the left arrow steps a tenth down";
    const QPoint arrow = At(axisPanel, 8, axisPanel.height() / 2 + 3);
    EXPECT_NE(pressed.pixel(arrow), Frame().pixel(arrow)) << "the pressed arrow is drawn solid";

    const double a = axis.PixelToValue(300, nullptr, false), b = axis.PixelToValue(200, nullptr, false);
    Drag(axisPanel, 300, 200, 12);
    EXPECT_DOUBLE_EQ(axis.GetMin(), -100.0 + (a - b)) << "dragging the axis to the left shows higher frequencies";

    // The cursor readout follows the mouse over the plot: a label on the axis, a line in the plot.
    // The first paint after the axis moved marks its new ticks short; later paints draw them as grid lines.
    Frame();
    const QImage away = Frame();
    Mouse(QEvent::MouseMove, plot, 400, 100);
    const QImage over = Frame();
    for (const CW* panel : {&axisPanel, &plot}) {
        EXPECT_FALSE(over.copy(Columns(*panel, 380, 40)) == away.copy(Columns(*panel, 380, 40))) << panel->GetName();
        EXPECT_TRUE(over.copy(Columns(*panel, 130, 40)) == away.copy(Columns(*panel, 130, 40))) << panel->GetName();
    }
}
