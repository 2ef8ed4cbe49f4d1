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

// Layout coordinates of a point in a panel, and a strip of the panel w pixels wide from column x.
QPoint At(const CW& panel, int x, int y) { return QPoint(panel.left() + x, panel.top() + y); }
QRect Columns(const CW& panel, int x, int w) { return QRect(At(panel, x, 0), QSize(w, panel.height())); }
} // namespace

// The image panels below the spectrum show the signal; 31 of 1,000 waterfall lines fill only the top of
// its panel, a repaint of the same frame adds none, and the read-out appears beside the mouse over a
// kept line but not below the last one. Dragging over the plot zooms to the band, the wheel zooms in
// around the mouse and out no further than the band, and the cursor is read on the axis panel and the
// plot alike.
TEST(Demo, ImagePanelsFollowTheSignalDragAndWheelZoomAndTheWaterfallAndCursorAreRead)
{
    spectrum::DemoColors colors;
    spectrum::SpectrumDisplay display;
    GLFrameWidget::setColorHandler(&colors);
    display.Resize(800, 480);
    GLLayout& layout = display.Layout();
    const CW &plot = display.Plot(), &persistence = display.PersistencePanel(), &waterfall = display.WaterfallPanel();
    const auto Frame = [&] {
        QImage image;
        EXPECT_TRUE(layout.RenderToImage(&image));
        return image;
    };
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
        Move(layout, At(waterfall, 200, y));
        const QRect beside(At(waterfall, 214, y + 14), QSize(100, 8));
        EXPECT_EQ(Frame().copy(beside) == image.copy(beside), y > 2) << "mouse at row " << y;
    }

    axisDefinition& axis = display.XAxis();
    const double from = axis.PixelToValue(100, nullptr, false), to = axis.PixelToValue(220, nullptr, false);
    Press(layout, At(plot, 100, 80));
    Move(layout, At(plot, 220, 80), Qt::LeftButton);
    Release(layout, At(plot, 220, 80));
    EXPECT_EQ(std::pair(axis.GetMin(), axis.GetMax()), std::pair(from, to));
    const double v = axis.PixelToValue(250, nullptr, false);
    Wheel(layout, At(plot, 250, 100)); // away from the user: in around the mouse
    EXPECT_DOUBLE_EQ(axis.GetMin(), v - (v - from) * 0.8);
    EXPECT_DOUBLE_EQ(axis.GetMax(), v + (to - v) * 0.8);

    Frame(); // the first paint after a zoom marks the new ticks short; later paints draw them as grid lines
    const QImage away = Frame();
    Move(layout, At(plot, 400, 100));
    const QImage over = Frame();
    for (const CW* panel : {&display.XAxisPanel(), &display.Plot()}) {
        EXPECT_FALSE(over.copy(Columns(*panel, 380, 40)) == away.copy(Columns(*panel, 380, 40))) << panel->GetName();
        EXPECT_TRUE(over.copy(Columns(*panel, 130, 40)) == away.copy(Columns(*panel, 130, 40))) << panel->GetName();
    }

    for (int i = 0; i < 20; ++i)
        Wheel(layout, At(plot, 250, 100), -120); // towards the user: out, but not past the band
    EXPECT_EQ(std::pair(axis.GetMin(), axis.GetMax()), std::pair(spectrum::cdFreqMin, spectrum::cdFreqMax));
    GLFrameWidget::setColorHandler(nullptr);
}
