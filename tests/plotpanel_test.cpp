// Plot panels: painting by layers, and the mouse, wheel, menu and size callbacks in z order.
#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include "axisdefinition.h"

#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

using CW = GLCommonWidget;
using Log = std::vector<std::string>;

namespace
{
// A draw object that notes its name and fills the whole panel in its colour.
std::shared_ptr<PaintStep> Filler(Log& log, const std::string& name, QColor colour)
{
    return std::make_shared<PaintStep>([&log, name, colour](GLPainter& p, CW* w, int) {
        log.push_back(name);
        p.fillRect(QRect(0, 0, w->width(), w->height()), QBrush(colour));
    });
}

struct Background : IGLDrawObjectOnSingleWidget
{
    Background(Log& log, std::string name) : log(log), name(std::move(name)) {}
    void draw(GLPainter&, CW*, int) override { log.push_back(name); }
    Log& log;
    std::string name;
};

// A consumer whose answers the test sets; it notes every call as "name:call[:c]", c for captured.
class Consumer : public IMouseConsumer, public IMouseWheelConsumer, public IHasContextMenu, public ISizeHandler
{
public:
    Consumer(Log& log, std::string name) : m_Log(log), m_sName(std::move(name)) {}
    qint64 iPress = 0, iMove = 0, iRelease = 0, iDouble = 0, iWheel = 0;
    QMenu* pMenu = nullptr;
    std::function<void()> onPress;

    qint64 mousePress(QMouseEvent* e, CW*, int type) override
    {
        Note("press", type);
        if (onPress)
            onPress();
        return iPress;
    }
    qint64 mouseRelease(QMouseEvent*, CW*, int type, bool c) override
    {
        return Note(c ? "release:c" : "release", type, iRelease);
    }
    qint64 mouseMove(QMouseEvent*, CW*, int type, bool c) override { return Note(c ? "move:c" : "move", type, iMove); }
    qint64 mouseDoubleClick(QMouseEvent*, CW*, int type) override { return Note("double", type, iDouble); }
    qint64 wheel(QWheelEvent*, CW*, int type) override { return Note("wheel", type, iWheel); }
    QMenu* contextMenu(QContextMenuEvent*, CW*, int type) override
    {
        Note("menu", type);
        return pMenu;
    }
    void resized(QResizeEvent*, CW*, int type) override { Note("resized", type); }
    void prepareUpdate(CW*) override { m_Log.push_back(m_sName + ":prepare"); }

private:
    qint64 Note(const char* call, int type, qint64 answer = 0)
    {
        EXPECT_EQ(type, int(CW::eAzimuthWindow)) << "every callback carries the panel's window type";
        m_Log.push_back(m_sName + ":" + call);
        return answer;
    }
    Log& m_Log;
    std::string m_sName;
};

// A panel filling its layout, with consumers registered by the test.
struct Dispatch
{
    Log log;
    SinglePanel view{200, 100, CW::eAzimuthWindow};
    std::vector<std::shared_ptr<Consumer>> consumers;

    Dispatch() { view.Render(); }
    std::shared_ptr<Consumer> Add(const std::string& name, CW::eZOrder z)
    {
        consumers.push_back(std::make_shared<Consumer>(log, name));
        view.panel.addMouseObject(consumers.back(), z);
        return consumers.back();
    }
    void Press(QPoint p) { SendMouse(view.layout, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
    void Move(QPoint p, Qt::MouseButtons held) { SendMouse(view.layout, QEvent::MouseMove, p, Qt::NoButton, held); }
    void Release(QPoint p) { SendMouse(view.layout, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
    Log Take() { return std::exchange(log, {}); }
};

// Exposes the handlers for events that the layout itself never routes to a panel.
class OpenPanel : public GLCommonWidget
{
public:
    using GLCommonWidget::GLCommonWidget;
    using GLCommonWidget::mouseDoubleClickEvent;
    using GLCommonWidget::mouseMoveEvent;
    using GLCommonWidget::mousePressEvent;
    using GLCommonWidget::mouseReleaseEvent;
};
} // namespace

// Backgrounds by their order (a later one of the same order replaces the earlier), then the layers
// upward, each in the order added.
TEST(PlotPanel, PaintsBackgroundsThenLayersUpwardInOrderAdded)
{
    Log log;
    SinglePanel view(40, 20, CW::ePlotWindow);
    auto a = Filler(log, "A0", Qt::red), b = Filler(log, "B1", Qt::green), c = Filler(log, "C1", Qt::blue);
    view.panel.addPaintObject(b, CW::eZOrderAxis);
    view.panel.addPaintObject(c, CW::eZOrderAxis);
    view.panel.addPaintObject(a, CW::eZOrderGrid);
    const auto bg5 = std::make_shared<Background>(log, "bg5"), bg2 = std::make_shared<Background>(log, "bg2"),
               replaced = std::make_shared<Background>(log, "replaced"); // held weakly: the test keeps them
    view.panel.addUserDimensionBackgroundDrawObject(1, 5, bg5, false);
    view.panel.addUserDimensionBackgroundDrawObject(1, 2, replaced, false);
    view.panel.addUserDimensionBackgroundDrawObject(1, 2, bg2, true);
    expectColour(view.Render(), 20, 10, 0xFF0000FF);
    EXPECT_EQ(std::exchange(log, {}), (Log{"bg2", "bg5", "A0", "B1", "C1"}));

    // Twice registered, removed once: painted once. Removing an unknown object changes nothing.
    view.panel.addPaintObject(a, CW::eZOrderTop);
    view.panel.removePaintObject(a);
    view.panel.removePaintObject(Filler(log, "X", Qt::black));
    view.Render();
    EXPECT_EQ(log, (Log{"bg2", "bg5", "B1", "C1", "A0"}));
}

// An expired draw object ends the pass; one added during a pass is painted from the next frame.
TEST(PlotPanel, ExpiredDrawObjectEndsThePassAndAdditionsWaitForTheNextFrame)
{
    Log log;
    SinglePanel view(40, 20, CW::ePlotWindow);
    auto a = Filler(log, "A", Qt::red), b = Filler(log, "B", Qt::green), c = Filler(log, "C", Qt::blue);
    view.panel.addPaintObject(a, CW::eZOrderGrid);
    view.panel.addPaintObject(b, CW::eZOrderAxis);
    view.panel.addPaintObject(c, CW::eZOrderAxis);
    b.reset();
    expectColour(view.Render(), 20, 10, 0xFFFF0000);
    EXPECT_EQ(std::exchange(log, {}), Log{"A"});
    // Removing any expired reference takes out the first expired entry; the pass goes on.
    view.panel.removePaintObject(std::weak_ptr<IGLDrawObject>());
    auto later = Filler(log, "later", Qt::green);
    bool added = false;
    view.Paint(
        [&](GLPainter&, CW* w, int) {
            log.push_back("adder");
            if (!std::exchange(added, true))
                w->addPaintObject(later, CW::eZOrderTop);
        },
        CW::eZOrderTop);
    expectColour(view.Render(), 20, 10, 0xFF0000FF);
    EXPECT_EQ(std::exchange(log, {}), (Log{"A", "C", "adder"}));
    expectColour(view.Render(), 20, 10, 0xFF00FF00);
    EXPECT_EQ(log, (Log{"A", "C", "adder", "later"}));
}

// A press goes downward (highest layer, last added first) until taken; the taker becomes active and
// is asked first while it keeps answering non-zero. A move nobody takes resets the cursor.
TEST(PlotPanel, PressGoesDownwardAndMakesTheTakerActive)
{
    Dispatch d;
    auto low = d.Add("low", CW::eZOrderGrid), high1 = d.Add("high1", CW::eZOrderAxis),
         high2 = d.Add("high2", CW::eZOrderAxis);
    EXPECT_TRUE(d.view.layout.testAttribute(Qt::WA_MouseTracking)) << "registering a consumer tracks the mouse";
    d.view.panel.setCursor(Qt::CrossCursor);
    low->iPress = high1->iPress = 1;
    d.Press({50, 40});
    EXPECT_EQ(d.Take(), (Log{"high2:press", "high1:press"}));
    high1->iMove = 1;
    d.Move({60, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high1:move:c"}));
    EXPECT_EQ(d.view.panel.cursor().shape(), Qt::CrossCursor);
    // Answering zero gives the mouse back: it is asked again at its place in the walk.
    high1->iMove = 0;
    d.Move({61, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high1:move:c", "high2:move", "high1:move", "low:move"}));
    EXPECT_EQ(d.view.panel.cursor().shape(), Qt::ArrowCursor);
    d.view.panel.setCursor(Qt::CrossCursor);
    low->iMove = 1;
    d.Move({62, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high2:move", "high1:move", "low:move"})) << "no active consumer any more";
    EXPECT_EQ(d.view.panel.cursor().shape(), Qt::CrossCursor) << "a move taken keeps the cursor";

    // A press nobody takes keeps the previous active consumer.
    low->iPress = high1->iPress = 0;
    high2->iPress = high2->iRelease = 1;
    d.Press({50, 40});
    d.Release({50, 40});
    EXPECT_EQ(d.Take(), (Log{"high2:press", "high2:release:c"}));
    high2->iPress = 0;
    d.Press({50, 40});
    d.Release({50, 40});
    EXPECT_EQ(d.Take(), (Log{"high2:press", "high1:press", "low:press", "high2:release:c"}));
}

TEST(PlotPanel, RightButtonAndDoubleClickRules)
{
    Log log;
    GLLayout layout;
    OpenPanel panel("Open", &layout, CW::eAzimuthWindow);
    auto consumer = std::make_shared<Consumer>(log, "c");
    consumer->iPress = consumer->iMove = consumer->iDouble = 1;
    panel.addMouseObject(consumer, CW::eZOrderData);
    auto send = [&](void (OpenPanel::*handler)(QMouseEvent*), QEvent::Type type, Qt::MouseButton button) {
        QMouseEvent event(type, QPointF(5, 5), QPointF(5, 5), button, button, Qt::NoModifier);
        (panel.*handler)(&event);
    };
    send(&OpenPanel::mousePressEvent, QEvent::MouseButtonPress, Qt::RightButton);
    send(&OpenPanel::mouseDoubleClickEvent, QEvent::MouseButtonDblClick, Qt::RightButton);
    EXPECT_TRUE(log.empty()) << "right-button events reach no consumer";
    send(&OpenPanel::mousePressEvent, QEvent::MouseButtonPress, Qt::LeftButton);
    send(&OpenPanel::mouseReleaseEvent, QEvent::MouseButtonRelease, Qt::RightButton);
    send(&OpenPanel::mouseMoveEvent, QEvent::MouseMove, Qt::NoButton);
    send(&OpenPanel::mouseDoubleClickEvent, QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(log, (Log{"c:press", "c:move:c", "c:double"})) << "the active consumer survives a right release";
}

// The menu of the first provider downward that has one is shown at once, and the position noted.
TEST(PlotPanel, WheelAndContextMenuGoDownwardUntilTaken)
{
    Dispatch d;
    auto low = std::make_shared<Consumer>(d.log, "low"), high = std::make_shared<Consumer>(d.log, "high");
    for (const auto& c : {low, high}) {
        d.view.panel.addWheelObject(c, c == low ? CW::eZOrderGrid : CW::eZOrderTop);
        d.view.panel.addContextMenu(c, c == low ? CW::eZOrderGrid : CW::eZOrderTop);
    }
    low->iWheel = 1;
    QWheelEvent wheel(QPointF(30, 40), QPointF(30, 40), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&d.view.layout, &wheel);
    EXPECT_EQ(d.Take(), (Log{"high:wheel", "low:wheel"}));

    QMenu menu;
    menu.addAction("Item");
    low->pMenu = &menu;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = QApplication::activePopupWidget() == &menu;
        menu.close();
    });
    const QPoint at(70, 30), local = at - QPoint(d.view.panel.left(), d.view.panel.top());
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, d.view.layout.mapToGlobal(at));
    QApplication::sendEvent(&d.view.layout, &event);
    EXPECT_TRUE(shown) << "the menu is shown at once";
    EXPECT_EQ(d.Take(), (Log{"high:menu", "low:menu"}));
    EXPECT_EQ(d.view.panel.GetMenuMousePosition(), local);
    low->pMenu = nullptr;
    QContextMenuEvent other(QContextMenuEvent::Mouse, QPoint(10, 10), QPoint(10, 10));
    QApplication::sendEvent(&d.view.layout, &other);
    EXPECT_EQ(d.view.panel.GetMenuMousePosition(), local) << "without any menu the stored position stays";
}

TEST(PlotPanel, SizeHandlersEachOnceFromTheTopDown)
{
    Log log;
    SinglePanel view(100, 50, CW::eAzimuthWindow);
    std::vector<std::shared_ptr<Consumer>> handlers;
    const std::pair<const char*, CW::eZOrder> added[] = {
        {"a0", CW::eZOrderGrid}, {"b2", CW::eZOrderTop}, {"c0", CW::eZOrderGrid}, {"dead", CW::eZOrderTop}};
    for (auto [name, z] : added) {
        handlers.push_back(std::make_shared<Consumer>(log, name));
        view.panel.addSizeObject(handlers.back(), z);
    }
    handlers.pop_back(); // an expired handler is skipped
    view.Render();
    log.clear();
    view.Resize(120, 50);
    view.Render();
    EXPECT_EQ(std::exchange(log, {}), (Log{"b2:resized", "c0:resized", "a0:resized"}));
    view.panel.prepareUpdate();
    EXPECT_EQ(log, (Log{"b2:prepare", "c0:prepare", "a0:prepare"}));
}

TEST(PlotPanel, ConstructionAxesAndEdges)
{
    GLLayout layout;
    GLCommonWidget panel("P", &layout, CW::eXAxisWindow);
    EXPECT_EQ(panel.GLCommonWidget_Type(), CW::eXAxisWindow);
    EXPECT_TRUE(panel.GetXAxis().expired());
    EXPECT_EQ(QSize(panel.minimumWidth(), panel.minimumHeight()), QSize(20, 20));
    EXPECT_FALSE(panel.isVisible()) << "not shown until added";
    EXPECT_EQ(panel.GetFrameWidget(), &layout);
    layout.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    EXPECT_EQ(panel.sizePolicy(), layout.sizePolicy());
    EXPECT_EQ(panel.YStart(0), -1.0) << "no Y axis";

    // The Y range runs from the bottom pixel row (the height) to the top one.
    SinglePanel view(60, 200, CW::ePlotWindow);
    auto axis = std::make_shared<axisDefinition>();
    axis->setXType(false);
    axis->init(0, 100, 201);
    view.panel.SetYAxis(axis);
    view.Render();
    EXPECT_EQ(view.panel.GetYAxis().lock(), axis);
    ASSERT_EQ(view.panel.height(), 200);
    ASSERT_NE(axis->PixelToValue(200, nullptr, false), axis->PixelToValue(199, nullptr, false)); // rows tell apart
    EXPECT_EQ(view.panel.YStart(7), axis->PixelToValue(200, nullptr, false));
    EXPECT_EQ(view.panel.YStop(-3), axis->PixelToValue(0, nullptr, false));
}

// Walks copy the registry first: a callback may change it, and may drop its own last owner.
TEST(PlotPanel, CallbacksMayChangeRegistriesAndDropThemselves)
{
    Dispatch d;
    auto low = d.Add("low", CW::eZOrderGrid), self = d.Add("self", CW::eZOrderAxis);
    std::shared_ptr<Consumer> late;
    self->onPress = [&] {
        d.view.panel.removeMouseObject(self);
        late = std::make_shared<Consumer>(d.log, "late");
        d.view.panel.addMouseObject(late, CW::eZOrderTop);
    };
    d.Press({50, 40});
    EXPECT_EQ(d.Take(), (Log{"self:press", "low:press"})) << "the walk in progress is not disturbed";
    d.Release({50, 40});
    EXPECT_EQ(d.Take(), (Log{"late:release", "low:release"}));

    late->iPress = 1;
    late->onPress = [&] {
        d.consumers.clear();
        low.reset();
        self.reset();
        late.reset();
    };
    d.Press({50, 40});
    EXPECT_EQ(d.Take(), (Log{"late:press"})) << "it lives until its call returns";
    d.Move({52, 40}, Qt::LeftButton);
    d.Release({52, 40});
    EXPECT_EQ(d.Take(), Log{}) << "the expired active consumer and entries are skipped";
}
