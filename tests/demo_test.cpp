#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include "spectrum_panels.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>

using CW = GLCommonWidget;
using GL = GLFrameWidget;

namespace {

const int ciWidth = 800;
const int ciHeight = 480;

int DifferingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

// Differing pixels inside the panels' rectangles.
int DifferingInPanels(const QImage& a, const QImage& b, std::initializer_list<const CW*> panels)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (const CW* panel : panels)
        for (int y = panel->top(); y < panel->top() + panel->height(); ++y)
            for (int x = panel->left(); x < panel->left() + panel->width(); ++x)
                count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

int LitPixels(const QImage& image, const CW& panel, QRgb background)
{
    int count = 0;
    for (int y = panel.top(); y < panel.top() + panel.height(); ++y)
        for (int x = panel.left(); x < panel.left() + panel.width(); ++x)
            count += image.pixel(x, y) != background;
    return count;
}

// The picture the display should show, composed directly from axes, painters and viewports:
// a gradient behind every panel, level labels on the left, frequency texts and buttons below,
// both grids and the trace in the plot.
class ReferenceDisplay
{
public:
    explicit ReferenceDisplay(spectrum::SpectrumDisplay& display) : m_Display(display)
    {
        m_X.init(0.0, 1000.0, -1);
        m_X.SetSkipSuppressRanges(true);
        m_X.AddSkip(430.0, 470.0, false);
        m_X.AddFactor(700.0, 760.0, 3.0, true);
        m_X.SetDrawButtons(true);
        m_Y.setXType(false);
        m_Y.init(-120.0, 0.0, -1);
        const auto gradient = [](GL::GLPolygon& p, QColor top, QColor bottom) {
            p.SetFillStyle(GL::GLFillStyle(GL::eFillHGradient, top, bottom));
        };
        gradient(m_PlotBack, QColor(14, 20, 36), QColor(4, 6, 12));
        m_Bins.init(0.0, 1000.0, -1);
        m_Bins.SetPixelCnt(4096);
        m_Fill.SetXAxis(m_Bins.GetAxisDefinitionSet());
        m_Fill.SetStepLineStyle(GL::eStepNone);
        m_Fill.SetDataRange(0, 255);
        m_FillArea.SetFillStyle(GL::GLFillStyle(GL::eFillSolid, QColor(40, 110, 200, 80), QColor()));
        m_FillArea.Connect(&m_Fill, 0);
        gradient(m_AxisBack, QColor(24, 30, 46), QColor(12, 16, 28));
    }

    QImage Frame(int frame)
    {
        m_X.SetPixelCnt(m_Display.XAxisPanel().width());
        m_Y.SetPixelCnt(m_Display.Plot().height());
        return render(ciWidth, ciHeight, [&](TestSurface& s) {
            InPanel(s, m_Display.YAxisPanel(), m_AxisBack, [&](GLPainter& p, CW& w) { m_Y.draw(p, &w, 1, true, false); });
            InPanel(s, m_Display.Corner(), m_AxisBack, [](GLPainter&, CW&) {});
            InPanel(s, m_Display.Plot(), m_PlotBack, [&](GLPainter& p, CW& w) {
                m_X.draw(p, &w, 0, false, true);
                m_Y.draw(p, &w, 0, false, true);
                DrawFill(s, w, frame);
                DrawTrace(s, frame);
            });
            InPanel(s, m_Display.XAxisPanel(), m_AxisBack, [&](GLPainter& p, CW& w) { m_X.draw(p, &w, 2, true, true); });
        });
    }

private:
    template <class Fn>
    void InPanel(TestSurface& s, CW& panel, GL::GLPolygon& back, Fn fn)
    {
        s.BeginViewPort(panel.left(), panel.top(), panel.width(), panel.height());
        {
            GLPainter painter(&s);
            back.SetRect(0, 0, panel.width(), panel.height());
            painter.drawPolygon(back);
            fn(painter, panel);
        }
        s.EndViewPort(panel.left(), panel.top());
    }

    // The area from the bottom up to the levels, one step column per bin.
    void DrawFill(TestSurface& s, CW& plot, int frame)
    {
        std::vector<unsigned char> bytes;
        for (float level : spectrum::SyntheticSpectrum(frame))
            bytes.push_back(static_cast<unsigned char>(std::clamp(int((level + 120.0) / 120.0 * 255.0), 0, 255)));
        m_Fill.SetData(bytes.data(), int(bytes.size()));
        m_Fill.SetDestRect(0, 0, plot.width(), plot.height());
        m_Fill.SetDestXAxis(m_X.GetAxisDefinitionSet());
        m_Fill.Update();
        s.DrawStepArea(m_FillArea);
    }

    void DrawTrace(TestSurface& s, int frame)
    {
        const std::vector<float> levels = spectrum::SyntheticSpectrum(frame);
        GL::GLLines lines;
        lines.SetLineStyle(GL::GLLineStyle(GL::eLineSolid, 1, QColor(255, 214, 64)));
        const int n = int(levels.size());
        QPoint previous;
        bool previousShown = false;
        for (int i = 0; i < n; ++i) {
            bool shown = false;
            const QPoint p(m_X.ValueToPixel(1000.0 * i / (n - 1), &shown, false), m_Y.ValueToPixel(levels[i], nullptr, true));
            if (shown && previousShown)
                lines.AddLine(previous.x(), previous.y(), p.x(), p.y());
            previous = p;
            previousShown = shown;
        }
        s.DrawLines(lines);
    }

    spectrum::SpectrumDisplay& m_Display;
    axisDefinition m_X;
    axisDefinition m_Y;
    GL::GLPolygon m_PlotBack;
    GL::GLPolygon m_AxisBack;
    axisDefinition m_Bins;
    GL::GLStepLine m_Fill;
    GL::GLStepArea m_FillArea;
};

struct DemoFixture : ::testing::Test
{
    spectrum::DemoColors colors;
    std::unique_ptr<spectrum::SpectrumDisplay> display;

    void SetUp() override
    {
        GLFrameWidget::setColorHandler(&colors);
        display = std::make_unique<spectrum::SpectrumDisplay>();
        display->Resize(ciWidth, ciHeight);
        Frame();
    }
    void TearDown() override
    {
        display.reset();
        GLFrameWidget::setColorHandler(nullptr);
    }
    QImage Frame()
    {
        QImage image;
        EXPECT_TRUE(display->Layout().RenderToImage(&image));
        return image;
    }
    // Layout coordinates of a point in a panel.
    static QPoint At(CW& panel, int x, int y) { return QPoint(panel.left() + x, panel.top() + y); }
    void Drag(CW& panel, int fromX, int toX, int y)
    {
        GLLayout& l = display->Layout();
        SendMouse(l, QEvent::MouseButtonPress, At(panel, fromX, y), Qt::LeftButton, Qt::LeftButton);
        SendMouse(l, QEvent::MouseMove, At(panel, toX, y), Qt::NoButton, Qt::LeftButton);
        SendMouse(l, QEvent::MouseButtonRelease, At(panel, toX, y), Qt::LeftButton, Qt::NoButton);
    }
    // Opens the plot's context menu and picks the action with that text while it is shown.
    void ChooseFromMenu(const QString& text)
    {
        QString picked;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* action : menu->actions())
                if (action->text() == text && action->isEnabled()) {
                    picked = text;
                    action->trigger();
                }
            menu->close();
        });
        const QPoint pos = At(display->Plot(), 150, 60);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, display->Layout().mapToGlobal(pos));
        QApplication::sendEvent(&display->Layout(), &event);
        EXPECT_EQ(picked, text) << "menu entry not offered";
    }
};

} // namespace

TEST_F(DemoFixture, PanelsSitAroundTheSpectrum)
{
    CW& plot = display->Plot();
    CW& x = display->XAxisPanel();
    CW& y = display->YAxisPanel();
    EXPECT_EQ(x.height(), spectrum::ciXAxisHeight);
    EXPECT_EQ(y.width(), spectrum::ciYAxisWidth);
    EXPECT_EQ(x.left(), plot.left());
    EXPECT_EQ(x.width(), plot.width());
    EXPECT_GE(x.top(), plot.top() + plot.height());
    EXPECT_EQ(y.top(), plot.top());
    EXPECT_EQ(y.height(), plot.height());
    EXPECT_LE(y.left() + y.width(), plot.left());
    EXPECT_GT(plot.width(), 600);
    EXPECT_EQ(display->XAxis().GetPixelCnt(), plot.width()) << "the axes follow their panels";
    EXPECT_EQ(display->YAxis().GetPixelCnt(), plot.height());
}

TEST_F(DemoFixture, FirstFramesMatchTheComposedReference)
{
    // A fresh display, so that its first frame is the first draw of every axis.
    display = std::make_unique<spectrum::SpectrumDisplay>();
    display->Resize(ciWidth, ciHeight);
    ReferenceDisplay reference(*display);
    for (int frame = 0; frame < 3; ++frame) {
        const QImage shown = Frame();
        const QImage expected = reference.Frame(frame);
        EXPECT_EQ(DifferingInPanels(shown, expected,
                                  {&display->Plot(), &display->XAxisPanel(), &display->YAxisPanel(), &display->Corner()}),
                  0)
            << "frame " << frame;
        if (frame == 0) {
            shown.save("demo_frame0.png");
            expected.save("demo_reference0.png");
        }
        display->Advance();
    }
    EXPECT_EQ(display->Frame(), 3);
}

TEST_F(DemoFixture, ImagePanelsFollowTheSignalBelowTheFrequencyAxis)
{
    CW& x = display->XAxisPanel();
    CW& persistence = display->PersistencePanel();
    CW& waterfall = display->WaterfallPanel();
    CW& polar = display->PolarPanel();
    EXPECT_GE(persistence.top(), x.top() + x.height());
    EXPECT_GE(waterfall.top(), persistence.top() + persistence.height());
    EXPECT_GE(polar.top(), waterfall.top() + waterfall.height());
    EXPECT_EQ(persistence.width(), x.width());

    QImage image;
    for (int i = 0; i < 30; ++i) {
        display->Advance();
        image = Frame();
    }
    const QRgb black = qRgb(0, 0, 0);
    // Every panel shows its image; 31 of 1,000 waterfall lines fill only the top of the panel.
    EXPECT_GT(LitPixels(image, persistence, black), persistence.width()) << "at least the noise floor";
    const int topRows = waterfall.height() * 31 / 1000 + 1;
    EXPECT_NE(image.pixel(waterfall.left() + waterfall.width() / 2, waterfall.top() + 1), black);
    EXPECT_EQ(image.pixel(waterfall.left() + waterfall.width() / 2, waterfall.top() + topRows + 2), black);
    EXPECT_GT(LitPixels(image, polar, black), 1000);
    EXPECT_EQ(image.pixel(polar.left() + 2, polar.top() + polar.height() - 2), black) << "outside the ring";

    // A repaint of the same frame adds no waterfall line (the persistence only fades on).
    const QImage again = Frame();
    EXPECT_EQ(DifferingInPanels(image, again, {&waterfall}), 0);
}

TEST_F(DemoFixture, DragZoomsToTheDraggedBandAndUndoRestoresIt)
{
    CW& plot = display->Plot();
    const axisDefinition before(display->XAxis());
    const double from = before.PixelToValue(100, nullptr, false);
    const double to = before.PixelToValue(220, nullptr, false);
    ASSERT_LT(from, to);

    // While dragging, both the plot and the axis panel show the band.
    GLLayout& l = display->Layout();
    SendMouse(l, QEvent::MouseButtonPress, At(plot, 100, 80), Qt::LeftButton, Qt::LeftButton);
    SendMouse(l, QEvent::MouseMove, At(plot, 220, 80), Qt::NoButton, Qt::LeftButton);
    QImage image = Frame();
    const auto white = [&](CW& panel, int x) {
        return CountPixels(image, QRect(At(panel, x, 0), QSize(1, panel.height())), 0xFFFFFFFF);
    };
    for (int x : {100, 220}) {
        // Grid lines, the trace and the area under it are drawn over the feedback in places.
        EXPECT_GT(white(plot, x), plot.height() * 2 / 3) << x;
        EXPECT_LT(white(plot, x + 5), plot.height() / 10);
        EXPECT_GT(white(display->XAxisPanel(), x), spectrum::ciXAxisHeight / 2) << "tick labels may cover it";
    }
    SendMouse(l, QEvent::MouseButtonRelease, At(plot, 220, 80), Qt::LeftButton, Qt::NoButton);
    EXPECT_DOUBLE_EQ(display->XAxis().GetMin(), from);
    EXPECT_DOUBLE_EQ(display->XAxis().GetMax(), to);
    EXPECT_EQ(display->XAxis().ValueToPixel(from, nullptr, false), 0) << "the band fills the plot";
    image = Frame();
    EXPECT_LT(CountPixels(image, QRect(At(plot, 100, 0), QSize(1, plot.height())), 0xFFFFFFFF), plot.height())
        << "feedback ends with the drag";

    ChooseFromMenu("Undo zoom");
    EXPECT_EQ(display->XAxis().GetMin(), 0.0);
    EXPECT_EQ(display->XAxis().GetMax(), 1000.0);
    ChooseFromMenu("Redo zoom");
    EXPECT_DOUBLE_EQ(display->XAxis().GetMin(), from);
    ChooseFromMenu("Full band");
    EXPECT_EQ(display->XAxis().GetMax(), 1000.0);

    // A click without a band changes nothing.
    Drag(plot, 200, 201, 80);
    EXPECT_EQ(display->XAxis().GetMax(), 1000.0);
}

TEST_F(DemoFixture, WheelZoomsAroundTheMouseAndAxisButtonsMove)
{
    CW& plot = display->Plot();
    const QPoint pos = At(plot, 250, 100);
    const double v = display->XAxis().PixelToValue(250, nullptr, false);
    QWheelEvent wheel(pos, display->Layout().mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&display->Layout(), &wheel);
    EXPECT_DOUBLE_EQ(display->XAxis().GetMin(), v - v * 0.8);
    EXPECT_DOUBLE_EQ(display->XAxis().GetMax(), v + (1000.0 - v) * 0.8);
    ChooseFromMenu("Full band");

    CW& axisPanel = display->XAxisPanel();
    GLLayout& l = display->Layout();
    SendMouse(l, QEvent::MouseButtonPress, At(axisPanel, 8, 12), Qt::LeftButton, Qt::LeftButton);
    const QImage pressed = Frame();
    SendMouse(l, QEvent::MouseButtonRelease, At(axisPanel, 8, 12), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(display->XAxis().GetMin(), -100.0) << "the left arrow steps a tenth down";
    EXPECT_EQ(display->XAxis().GetMax(), 900.0);
    const int mid = axisPanel.height() / 2;
    EXPECT_NE(pressed.pixel(At(axisPanel, 8, mid + 3)), Frame().pixel(At(axisPanel, 8, mid + 3)))
        << "the pressed arrow is drawn solid";

    // Dragging the axis to the left shows higher frequencies.
    const double a = display->XAxis().PixelToValue(300, nullptr, false);
    const double b = display->XAxis().PixelToValue(200, nullptr, false);
    Drag(axisPanel, 300, 200, 12);
    EXPECT_DOUBLE_EQ(display->XAxis().GetMin(), -100.0 + (a - b));

    // The cursor readout follows the mouse over the plot.
    const QImage before = Frame();
    SendMouse(l, QEvent::MouseMove, At(plot, 400, 100), Qt::NoButton, Qt::NoButton);
    const QImage after = Frame();
    const auto changed = [&](CW& panel, int x) {
        return DifferingPixels(before.copy(QRect(At(panel, x - 20, 0), QSize(40, panel.height()))),
                               after.copy(QRect(At(panel, x - 20, 0), QSize(40, panel.height()))));
    };
    EXPECT_GT(changed(axisPanel, 400), 20) << "a label under the mouse";
    EXPECT_GT(changed(plot, 400), 20) << "a line under the mouse";
    EXPECT_EQ(changed(axisPanel, 150), 0);
    EXPECT_EQ(changed(plot, 150), 0);
}
