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

// A consumer that notes every call as "name:call[:c]", c for captured, and gives the answer the test
// set for that call (zero when none).
struct Consumer : IMouseConsumer, IMouseWheelConsumer, IHasContextMenu, ISizeHandler
{
    Consumer(Log& log, std::string name) : m_Log(log), m_sName(std::move(name)) {}
    std::map<std::string, qint64> answer;
    QMenu* pMenu = nullptr;
    std::function<void()> onPress;

    qint64 mousePress(QMouseEvent*, CW*, int type) override { return Note("press", type, onPress); }
    qint64 mouseRelease(QMouseEvent*, CW*, int type, bool c) override { return Note("release", type, {}, c); }
    qint64 mouseMove(QMouseEvent*, CW*, int type, bool c) override { return Note("move", type, {}, c); }
    qint64 mouseDoubleClick(QMouseEvent*, CW*, int type) override { return Note("double", type); }
    qint64 wheel(QWheelEvent*, CW*, int type) override { return Note("wheel", type); }
    QMenu* contextMenu(QContextMenuEvent*, CW*, int type) override { Note("menu", type); return pMenu; }
    void resized(QResizeEvent*, CW*, int type) override { Note("resized", type); }
    void prepareUpdate(CW*) override { m_Log.push_back(m_sName + ":prepare"); }
    qint64 Note(const std::string& call, int type, const std::function<void()>& then = {}, bool captured = false)
    {
        EXPECT_EQ(type, int(CW::eAzimuthWindow)) << "every callback carries the panel's window type";
        m_Log.push_back(m_sName + ":" + call + (captured ? ":c" : ""));
        const qint64 given = answer[call];
        if (then)
            then();
        return given;
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
        view.panel.addMouseObject(consumers.emplace_back(std::make_shared<Consumer>(log, name)), z);
        return consumers.back();
    }
    Log Take() { return std::exchange(log, {}); }
};
} // namespace

// Backgrounds by their order (a later one of the same order replaces the earlier), then the layers
// upward, each in the order added. An expired draw object ends the pass; one added during a pass is
// painted from the next frame.
TEST(PlotPanel, PaintsBackgroundsThenLayersUpwardUntilAnExpiredObject)
{
    Log log;
    SinglePanel view(40, 20, CW::ePlotWindow);
    auto a = Filler(log, "A", Qt::red), b = Filler(log, "B", Qt::green), c = Filler(log, "C", Qt::blue);
    view.panel.addPaintObject(b, CW::eZOrderAxis), view.panel.addPaintObject(c, CW::eZOrderAxis);
    view.panel.addPaintObject(a, CW::eZOrderGrid);
    const auto bg5 = std::make_shared<Background>(log, "bg5"), bg2 = std::make_shared<Background>(log, "bg2"),
               replaced = std::make_shared<Background>(log, "replaced"); // held weakly: the test keeps them
    view.panel.addUserDimensionBackgroundDrawObject(1, 5, bg5, false);
    view.panel.addUserDimensionBackgroundDrawObject(1, 2, replaced, false);
    view.panel.addUserDimensionBackgroundDrawObject(1, 2, bg2, true);
    expectColour(view.Render(), 20, 10, 0xFF0000FF);
    EXPECT_EQ(std::exchange(log, {}), (Log{"bg2", "bg5", "A", "B", "C"}));

    // Twice registered, removed once: painted once. Removing an unknown object changes nothing.
    view.panel.addPaintObject(a, CW::eZOrderTop), view.panel.removePaintObject(a);
    view.panel.removePaintObject(Filler(log, "X", Qt::black));
    c.reset();
    expectColour(view.Render(), 20, 10, 0xFF00FF00);
    EXPECT_EQ(std::exchange(log, {}), (Log{"bg2", "bg5", "B"})) << "nothing above the expired C";
    // Removing any expired reference takes out the first expired entry; the pass goes on.
    view.panel.removePaintObject(std::weak_ptr<IGLDrawObject>());
    auto later = Filler(log, "later", Qt::blue);
    bool added = false;
    view.Paint([&](GLPainter&, CW* w, int) {
        log.push_back("adder");
        if (!std::exchange(added, true))
            w->addPaintObject(later, CW::eZOrderTop);
    }, CW::eZOrderTop);
    expectColour(view.Render(), 20, 10, 0xFFFF0000);
    EXPECT_EQ(std::exchange(log, {}), (Log{"bg2", "bg5", "B", "A", "adder"}));
    expectColour(view.Render(), 20, 10, 0xFF0000FF);
    EXPECT_EQ(log, (Log{"bg2", "bg5", "B", "A", "adder", "later"}));
}

// A press goes downward (highest layer, last added first) until taken; the taker becomes active and is asked
// first while it keeps answering non-zero. A move nobody takes resets the cursor. Wheels and menus go downward
// until taken; the first menu is shown at once and the position noted. Size handlers are told once, top down.
TEST(PlotPanel, PressMakesItsTakerActiveAndWheelMenuAndSizeCallbacksGoDownward)
{
    Dispatch d;
    auto low = d.Add("low", CW::eZOrderGrid), high1 = d.Add("high1", CW::eZOrderAxis),
         high2 = d.Add("high2", CW::eZOrderAxis);
    EXPECT_TRUE(d.view.layout.testAttribute(Qt::WA_MouseTracking)) << "registering a consumer tracks the mouse";
    d.view.panel.setCursor(Qt::CrossCursor);
    low->answer["press"] = high1->answer["press"] = high1->answer["move"] = 1;
    Press(d.view.layout, {50, 40});
    Move(d.view.layout, {60, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high2:press", "high1:press", "high1:move:c"}));
    EXPECT_EQ(d.view.panel.cursor().shape(), Qt::CrossCursor);
    // Answering zero gives the mouse back: it is asked again at its place in the walk.
    high1->answer["move"] = 0;
    Move(d.view.layout, {61, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high1:move:c", "high2:move", "high1:move", "low:move"}));
    EXPECT_EQ(d.view.panel.cursor().shape(), Qt::ArrowCursor);
    d.view.panel.setCursor(Qt::CrossCursor);
    low->answer["move"] = 1;
    Move(d.view.layout, {62, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high2:move", "high1:move", "low:move"})) << "no active consumer any more";
    EXPECT_EQ(d.view.panel.cursor().shape(), Qt::CrossCursor) << "a move taken keeps the cursor";

    // A press nobody takes keeps the previous active consumer.
    low->answer["press"] = high1->answer["press"] = 0;
    high2->answer["press"] = high2->answer["release"] = 1;
    for (int press : {1, 0}) {
        high2->answer["press"] = press;
        Press(d.view.layout, {50, 40});
        Release(d.view.layout, {50, 40});
    }
    EXPECT_EQ(d.Take(), (Log{"high2:press", "high2:release:c", "high2:press", "high1:press", "low:press",
                             "high2:release:c"}));
    // Right-button events reach no consumer; a right release leaves the active consumer in place.
    SendMouse(d.view.layout, QEvent::MouseButtonRelease, {50, 40}, Qt::RightButton, Qt::LeftButton);
    SendMouse(d.view.layout, QEvent::MouseButtonPress, {50, 40}, Qt::RightButton, Qt::LeftButton);
    SendMouse(d.view.layout, QEvent::MouseButtonDblClick, {50, 40}, Qt::RightButton, Qt::RightButton);
    Move(d.view.layout, {51, 40}, Qt::LeftButton);
    high2->answer["double"] = 1;
    DoubleClick(d.view.layout, {50, 40});
    EXPECT_EQ(d.Take(), (Log{"high2:move:c", "high2:move", "high1:move", "low:move", "high2:double"}));

    // Walks copy the registry first: a callback may change it, and may drop its own last owner.
    high2->onPress = [&] { d.view.panel.removeMouseObject(high1), d.consumers.clear(), high2.reset(); };
    Press(d.view.layout, {50, 40});
    Move(d.view.layout, {52, 40}, Qt::LeftButton);
    Release(d.view.layout, {52, 40});
    EXPECT_EQ(d.Take(), (Log{"high2:press", "high1:press", "low:press", "low:move", "low:release"}))
        << "the walk in progress is not disturbed; then the expired consumer is skipped";

    auto bottom = std::make_shared<Consumer>(d.log, "bottom"), top = std::make_shared<Consumer>(d.log, "top"),
         dead = std::make_shared<Consumer>(d.log, "dead");
    for (const auto& [c, z] : {std::pair{bottom, CW::eZOrderGrid}, {top, CW::eZOrderTop}, {dead, CW::eZOrderTop}})
        d.view.panel.addWheelObject(c, z), d.view.panel.addContextMenu(c, z), d.view.panel.addSizeObject(c, z);
    dead.reset(); // an expired entry is skipped
    bottom->answer["wheel"] = 1;
    Wheel(d.view.layout, {30, 40});
    EXPECT_EQ(d.Take(), (Log{"top:wheel", "bottom:wheel"}));

    QMenu menu;
    menu.addAction("Item");
    bottom->pMenu = &menu;
    bool shown = false;
    QTimer::singleShot(0, [&] { shown = QApplication::activePopupWidget() == &menu; menu.close(); });
    const QPoint at(70, 30);
    Menu(d.view.layout, at);
    EXPECT_TRUE(shown) << "the menu is shown at once";
    EXPECT_EQ(d.Take(), (Log{"top:menu", "bottom:menu"}));
    EXPECT_EQ(d.view.panel.GetMenuMousePosition(), at);
    bottom->pMenu = nullptr;
    Menu(d.view.layout, {10, 10});
    EXPECT_EQ(d.view.panel.GetMenuMousePosition(), at) << "without any menu the stored position stays";

    d.Take();
    d.view.Resize(220, 100), d.view.Render();
    d.view.panel.prepareUpdate();
    EXPECT_EQ(d.Take(), (Log{"top:resized", "bottom:resized", "top:prepare", "bottom:prepare"}));
}

TEST(PlotPanel, ConstructionAxesAndEdges)
{
    GLLayout layout;
    GLCommonWidget panel("P", &layout, CW::eXAxisWindow);
    EXPECT_TRUE(panel.GLCommonWidget_Type() == CW::eXAxisWindow && panel.GetXAxis().expired() && !panel.isVisible());
    EXPECT_EQ(QSize(panel.minimumWidth(), panel.minimumHeight()), QSize(20, 20));
    layout.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    EXPECT_EQ(panel.sizePolicy(), layout.sizePolicy());
    EXPECT_EQ(panel.YStart(0), -1.0) << "no Y axis";

    // The Y range runs from the bottom pixel row (the height) to the top one.
    SinglePanel view(60, 200, CW::ePlotWindow);
    auto axis = std::make_shared<axisDefinition>();
    axis->setXType(false), axis->init(0, 100, 201);
    view.panel.SetYAxis(axis), view.Render();
    EXPECT_EQ(view.panel.GetYAxis().lock(), axis);
    ASSERT_NE(axis->PixelToValue(200, nullptr, false), axis->PixelToValue(199, nullptr, false)); // rows tell apart
    EXPECT_EQ(view.panel.YStart(7), axis->PixelToValue(view.panel.height(), nullptr, false));
    EXPECT_EQ(view.panel.YStop(-3), axis->PixelToValue(0, nullptr, false));
}
