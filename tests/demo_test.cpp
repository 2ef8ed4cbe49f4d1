// The spectrum display end to end: its image panels and the read-outs and zooms that follow real mouse
// and wheel events.
#include "support/layout_fixture.h"
#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include "spectrum_panels.h"

#include <gtest/gtest.h>

using CW = GLCommonWidget;

namespace
{
const QRgb cBlack = qRgb(0, 0, 0);

struct Demo : ::testing::Test
{
    spectrum::DemoColors colors;
    spectrum::SpectrumDisplay display;
    GLLayout& layout = display.Layout();
    CW& plot = display.Plot();
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
    static QRect Columns(const CW& panel, int x, int w) { return QRect(At(panel, x, 0), QSize(w, panel.height())); }
    void Mouse(QEvent::Type type, const CW& panel, int x, int y, Qt::MouseButtons held = Qt::NoButton)
    {
        SendMouse(layout, type, At(panel, x, y), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held);
    }
};
} // namespace

// The image panels below the spectrum show the signal; 31 of 1,000 waterfall lines fill only the top of
// its panel, a repaint of the same frame adds none, and the read-out appears beside the mouse over a
// kept line but not below the last one.
TEST_F(Demo, ImagePanelsFollowTheSignalAndTheWaterfallIsReadUnderTheMouse)
{
    const CW &persistence = display.PersistencePanel(), &waterfall = display.WaterfallPanel();
    QImage image = Frame();
    for (int i = 0; i < 30; ++i) {
        display.Advance();
        image = Frame();
    }
    EXPECT_GT(CountLit(image, Rect(persistence)), persistence.width()) << "at least the noise floor";
    EXPECT_GT(CountLit(image, Rect(display.PolarPanel())), 1000);
    const int below = waterfall.height() * 31 / 1000 + 3;
    EXPECT_NE(image.pixel(At(waterfall, waterfall.width() / 2, 1)), cBlack);
    EXPECT_EQ(image.pixel(At(waterfall, waterfall.width() / 2, below)), cBlack);
    EXPECT_TRUE(Frame().copy(Rect(waterfall)) == image.copy(Rect(waterfall)));
    for (int y : {2, below + 3}) {
        Mouse(QEvent::MouseMove, waterfall, 200, y);
        const QRect beside(At(waterfall, 214, y + 14), QSize(100, 8));
        EXPECT_EQ(Frame().copy(beside) == image.copy(beside), y > 2) << "mouse at row " << y;
    }
}

// Dragging over the plot zooms to the band, the wheel zooms in around the mouse, and the cursor is
// read on the axis panel and the plot alike.
TEST_F(Demo, DragAndWheelZoomTheFrequencyAxisAndTheCursorIsRead)
{
    const double from = axis.PixelToValue(100, nullptr, false), to = axis.PixelToValue(220, nullptr, false);
    Mouse(QEvent::MouseButtonPress, plot, 100, 80, Qt::LeftButton);
    Mouse(QEvent::MouseMove, plot, 220, 80, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, plot, 220, 80);
    EXPECT_EQ(std::pair(axis.GetMin(), axis.GetMax()), std::pair(from, to));

    const double v = axis.PixelToValue(250, nullptr, false);
    const QPoint pos = At(plot, 250, 100);
    QWheelEvent wheel(pos, layout.mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&layout, &wheel); // away from the user: in around the mouse
    EXPECT_DOUBLE_EQ(axis.GetMin(), v - (v - from) * 0.8);
    EXPECT_DOUBLE_EQ(axis.GetMax(), v + (to - v) * 0.8);

    Frame(); // the first paint after a zoom marks the new ticks short; later paints draw them as grid lines
    const QImage away = Frame();
    Mouse(QEvent::MouseMove, plot, 400, 100);
    const QImage over = Frame();
    for (const CW* panel : {&display.XAxisPanel(), &plot}) {
        EXPECT_FALSE(over.copy(Columns(*panel, 380, 40)) == away.copy(Columns(*panel, 380, 40))) << panel->GetName();
        EXPECT_TRUE(over.copy(Columns(*panel, 130, 40)) == away.copy(Columns(*panel, 130, 40))) << panel->GetName();
    }
}
