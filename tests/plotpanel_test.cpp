#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include "axisdefinition.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>

using CW = GLCommonWidget;

namespace {

using Log = std::vector<std::string>;

// Fills the whole panel in its colour and notes its name in the log.
class Filler : public IGLDrawObject
{
public:
    Filler(Log& log, std::string name, QColor colour) : m_Log(log), m_sName(std::move(name)), m_Colour(colour) {}
    bool visible() const override { return true; }
    void draw(GLPainter& p, GLCommonWidget* w, int) override
    {
        m_Log.push_back(m_sName);
        p.fillRect(QRect(0, 0, w->width(), w->height()), QBrush(m_Colour));
    }
    const QString& name() const override { return m_sEmpty; }

private:
    Log& m_Log;
    std::string m_sName;
    QColor m_Colour;
    QString m_sEmpty;
};

class BackgroundFiller : public IGLDrawObjectOnSingleWidget
{
public:
    BackgroundFiller(Log& log, std::string name) : m_Log(log), m_sName(std::move(name)) {}
    void draw(GLPainter&, GLCommonWidget*, int) override { m_Log.push_back(m_sName); }

private:
    Log& m_Log;
    std::string m_sName;
};

// A consumer whose answers the test sets; it notes every call as "name:call[:captured]".
class Consumer : public IMouseConsumer, public IMouseWheelConsumer, public IHasContextMenu, public ISizeHandler
{
public:
    Consumer(Log& log, std::string name) : m_Log(log), m_sName(std::move(name)) {}
    qint64 iPress = 0, iMove = 0, iRelease = 0, iDouble = 0, iWheel = 0;
    QMenu* pMenu = nullptr;
    std::function<void()> onPress;
    QPoint lastPos;

    qint64 mousePress(QMouseEvent* e, GLCommonWidget*, int type) override
    {
        Note("press", type);
        lastPos = e->pos();
        if (onPress)
            onPress();
        return iPress;
    }
    qint64 mouseRelease(QMouseEvent* e, GLCommonWidget*, int type, bool captured) override
    {
        Note(captured ? "release:c" : "release", type);
        lastPos = e->pos();
        return iRelease;
    }
    qint64 mouseMove(QMouseEvent* e, GLCommonWidget*, int type, bool captured) override
    {
        Note(captured ? "move:c" : "move", type);
        lastPos = e->pos();
        return iMove;
    }
    qint64 mouseDoubleClick(QMouseEvent*, GLCommonWidget*, int type) override
    {
        Note("double", type);
        return iDouble;
    }
    qint64 wheel(QWheelEvent*, GLCommonWidget*, int type) override
    {
        Note("wheel", type);
        return iWheel;
    }
    QMenu* contextMenu(QContextMenuEvent*, GLCommonWidget*, int type) override
    {
        Note("menu", type);
        return pMenu;
    }
    void resized(QResizeEvent*, GLCommonWidget*, int type) override { Note("resized", type); }
    void prepareUpdate(GLCommonWidget*) override { m_Log.push_back(m_sName + ":prepare"); }

private:
    void Note(const char* call, int type)
    {
        // Every callback carries the panel's window type.
        EXPECT_EQ(type, int(CW::eAzimuthWindow));
        m_Log.push_back(m_sName + ":" + call);
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
    void Move(QPoint p, Qt::MouseButtons b = Qt::NoButton) { SendMouse(view.layout, QEvent::MouseMove, p, Qt::NoButton, b); }
    void Release(QPoint p, Qt::MouseButton b = Qt::LeftButton)
    {
        SendMouse(view.layout, QEvent::MouseButtonRelease, p, b, Qt::NoButton);
    }
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

// Notes which pixel the panel asks about, and answers as the axis would.
class ProbedAxis : public axisDefinition
{
public:
    mutable std::vector<int> vAsked;
    double PixelToValue(int pixel, bool* valid, bool reverse) const override
    {
        vAsked.push_back(pixel);
        return axisDefinition::PixelToValue(pixel, valid, reverse);
    }
};

} // namespace

TEST(PlotPanel, PaintsBackgroundsThenLayersUpwardInOrderAdded)
{
    Log log;
    SinglePanel view(40, 20, CW::ePlotWindow);
    auto a = std::make_shared<Filler>(log, "A0", QColor(255, 0, 0));
    auto b = std::make_shared<Filler>(log, "B1", QColor(0, 255, 0));
    auto c = std::make_shared<Filler>(log, "C1", QColor(0, 0, 255));
    view.panel.addPaintObject(b, CW::eZOrderAxis);
    view.panel.addPaintObject(c, CW::eZOrderAxis);
    view.panel.addPaintObject(a, CW::eZOrderGrid);
    auto back5 = std::make_shared<BackgroundFiller>(log, "bg5");
    auto back2 = std::make_shared<BackgroundFiller>(log, "bg2");
    auto replaced = std::make_shared<BackgroundFiller>(log, "replaced");
    view.panel.addUserDimensionBackgroundDrawObject(1, 5, back5, false);
    view.panel.addUserDimensionBackgroundDrawObject(1, 2, replaced, false);
    view.panel.addUserDimensionBackgroundDrawObject(1, 2, back2, true);
    const QImage img = view.Render();
    EXPECT_EQ(log, (Log{"bg2", "bg5", "A0", "B1", "C1"}));
    expectColour(img, 20, 10, 0xFF0000FF);
    replaced.reset();

    // Twice registered, removed once: painted once. Removing an unknown object changes nothing.
    log.clear();
    view.panel.addPaintObject(a, CW::eZOrderTop);
    view.panel.removePaintObject(a);
    view.panel.removePaintObject(std::make_shared<Filler>(log, "X", Qt::black));
    view.Render();
    EXPECT_EQ(log, (Log{"bg2", "bg5", "B1", "C1", "A0"}));
}

TEST(PlotPanel, ExpiredDrawObjectEndsThePass)
{
    Log log;
    SinglePanel view(40, 20, CW::ePlotWindow);
    auto a = std::make_shared<Filler>(log, "A", QColor(255, 0, 0));
    auto b = std::make_shared<Filler>(log, "B", QColor(0, 255, 0));
    auto c = std::make_shared<Filler>(log, "C", QColor(0, 0, 255));
    view.panel.addPaintObject(a, CW::eZOrderGrid);
    view.panel.addPaintObject(b, CW::eZOrderAxis);
    view.panel.addPaintObject(c, CW::eZOrderAxis);
    b.reset();
    QImage img = view.Render();
    EXPECT_EQ(log, (Log{"A"}));
    expectColour(img, 20, 10, 0xFFFF0000);

    // Removing any expired reference takes out the first expired entry; the pass goes on.
    view.panel.removePaintObject(std::weak_ptr<IGLDrawObject>());
    log.clear();
    img = view.Render();
    EXPECT_EQ(log, (Log{"A", "C"}));
    expectColour(img, 20, 10, 0xFF0000FF);

    // An expired axis registered directly behaves the same.
    auto axis = std::make_shared<axisDefinition>();
    view.panel.addPaintObject(axis, CW::eZOrderGrid);
    axis.reset();
    log.clear();
    view.Render();
    EXPECT_EQ(log, (Log{"A"}));
}

TEST(PlotPanel, PressGoesDownwardAndMakesTheTakerActive)
{
    Dispatch d;
    auto low = d.Add("low", CW::eZOrderGrid);
    auto high1 = d.Add("high1", CW::eZOrderAxis);
    auto high2 = d.Add("high2", CW::eZOrderAxis);
    low->iPress = high1->iPress = 1;
    d.Press({50, 40});
    EXPECT_EQ(d.Take(), (Log{"high2:press", "high1:press"})) << "last added first, first taker stops the walk";
    EXPECT_EQ(high1->lastPos, QPoint(50, 40));

    // The active consumer is asked first and keeps the mouse while it answers non-zero.
    high1->iMove = 1;
    d.Move({60, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high1:move:c"}));
    // Answering zero gives the mouse back: it is asked again at its place in the walk.
    high1->iMove = 0;
    d.Move({61, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high1:move:c", "high2:move", "high1:move", "low:move"}));
    d.Move({62, 40}, Qt::LeftButton);
    EXPECT_EQ(d.Take(), (Log{"high2:move", "high1:move", "low:move"})) << "no active consumer any more";

    // A press nobody takes keeps the previous active consumer.
    low->iPress = high1->iPress = 0;
    d.Release({62, 40});
    d.Take();
    high2->iPress = 1;
    high2->iRelease = 1;
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
    const auto event = [](QEvent::Type type, Qt::MouseButton button) {
        return QMouseEvent(type, QPointF(5, 5), QPointF(5, 5), button, button, Qt::NoModifier);
    };
    QMouseEvent rightPress = event(QEvent::MouseButtonPress, Qt::RightButton);
    panel.mousePressEvent(&rightPress);
    QMouseEvent rightDouble = event(QEvent::MouseButtonDblClick, Qt::RightButton);
    panel.mouseDoubleClickEvent(&rightDouble);
    EXPECT_TRUE(log.empty()) << "right-button events reach no consumer";

    QMouseEvent leftPress = event(QEvent::MouseButtonPress, Qt::LeftButton);
    panel.mousePressEvent(&leftPress);
    QMouseEvent rightRelease = event(QEvent::MouseButtonRelease, Qt::RightButton);
    panel.mouseReleaseEvent(&rightRelease);
    QMouseEvent move = event(QEvent::MouseMove, Qt::NoButton);
    panel.mouseMoveEvent(&move);
    QMouseEvent leftDouble = event(QEvent::MouseButtonDblClick, Qt::LeftButton);
    panel.mouseDoubleClickEvent(&leftDouble);
    EXPECT_EQ(log, (Log{"c:press", "c:move:c", "c:double"})) << "the active consumer survives a right release";
}

TEST(PlotPanel, UntakenMoveResetsTheCursor)
{
    Dispatch d;
    auto consumer = d.Add("c", CW::eZOrderData);
    d.view.panel.setCursor(Qt::CrossCursor);
    consumer->iMove = 1;
    d.Move({50, 50});
    EXPECT_EQ(d.view.panel.cursor().shape(), Qt::CrossCursor);
    consumer->iMove = 0;
    d.Move({51, 50});
    EXPECT_EQ(d.view.panel.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(d.view.layout.testAttribute(Qt::WA_MouseTracking)) << "registering a consumer tracks the mouse";
}

TEST(PlotPanel, WheelAndContextMenuGoDownwardUntilTaken)
{
    Dispatch d;
    auto low = std::make_shared<Consumer>(d.log, "low");
    auto high = std::make_shared<Consumer>(d.log, "high");
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
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(70, 30), d.view.layout.mapToGlobal(QPoint(70, 30)));
    QApplication::sendEvent(&d.view.layout, &event);
    EXPECT_TRUE(shown) << "the menu is shown at once";
    EXPECT_EQ(d.Take(), (Log{"high:menu", "low:menu"}));
    EXPECT_EQ(d.view.panel.GetMenuMousePosition(), QPoint(70 - d.view.panel.left(), 30 - d.view.panel.top()));

    // Without any menu the stored position stays.
    low->pMenu = nullptr;
    QContextMenuEvent other(QContextMenuEvent::Mouse, QPoint(10, 10), QPoint(10, 10));
    QApplication::sendEvent(&d.view.layout, &other);
    EXPECT_EQ(d.view.panel.GetMenuMousePosition(), QPoint(70 - d.view.panel.left(), 30 - d.view.panel.top()));
}

TEST(PlotPanel, SizeHandlersEachOnceFromTheTopDown)
{
    Log log;
    SinglePanel view(100, 50, CW::eAzimuthWindow);
    std::vector<std::shared_ptr<Consumer>> handlers;
    for (auto [name, z] : {std::pair{"a0", CW::eZOrderGrid}, {"b2", CW::eZOrderTop}, {"c0", CW::eZOrderGrid}}) {
        handlers.push_back(std::make_shared<Consumer>(log, name));
        view.panel.addSizeObject(handlers.back(), z);
    }
    auto dead = std::make_shared<Consumer>(log, "dead");
    view.panel.addSizeObject(dead, CW::eZOrderTop);
    dead.reset();
    view.Render();
    log.clear();
    view.Resize(120, 50);
    view.Render();
    EXPECT_EQ(log, (Log{"b2:resized", "c0:resized", "a0:resized"}));
    log.clear();
    view.panel.prepareUpdate();
    EXPECT_EQ(log, (Log{"b2:prepare", "c0:prepare", "a0:prepare"}));
}

TEST(PlotPanel, ConstructionAxesAndEdges)
{
    GLLayout layout;
    GLCommonWidget panel("P", &layout, CW::eXAxisWindow);
    EXPECT_EQ(panel.GLCommonWidget_Type(), CW::eXAxisWindow);
    EXPECT_TRUE(panel.GetXAxis().expired());
    EXPECT_EQ(panel.minimumWidth(), 20);
    EXPECT_EQ(panel.minimumHeight(), 20);
    EXPECT_FALSE(panel.isVisible()) << "not shown until added";
    EXPECT_EQ(panel.GetFrameWidget(), &layout);
    layout.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    EXPECT_EQ(panel.sizePolicy(), layout.sizePolicy());
    EXPECT_EQ(panel.YStart(0), -1.0) << "no Y axis";

    SinglePanel view(60, 200, CW::ePlotWindow);
    auto axis = std::make_shared<ProbedAxis>();
    axis->setXType(false);
    axis->init(0, 100, 201);
    view.panel.SetYAxis(axis);
    view.Render();
    EXPECT_EQ(view.panel.GetYAxis().lock(), axis);
    ASSERT_EQ(view.panel.height(), 200);
    EXPECT_EQ(view.panel.YStart(7), axis->axisDefinition::PixelToValue(200, nullptr, false));
    EXPECT_EQ(view.panel.YStop(-3), 0.0);
    EXPECT_EQ(axis->vAsked, (std::vector<int>{200, 0}));
}

TEST(PlotPanel, CallbacksMayChangeRegistriesAndDropThemselves)
{
    Dispatch d;
    auto low = d.Add("low", CW::eZOrderGrid);
    auto self = d.Add("self", CW::eZOrderAxis);
    // Unregisters itself and adds a new consumer while the press walk is under way.
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

    // Drops its last owner during its own callback: it lives until the call returns.
    Consumer* raw = late.get();
    late->iPress = 1;
    bool finished = false;
    late->onPress = [&] {
        d.consumers.clear();
        low.reset();
        self.reset();
        late.reset();
        finished = true;
    };
    d.Press({50, 40});
    EXPECT_TRUE(finished);
    EXPECT_EQ(d.Take(), (Log{"late:press"}));
    (void)raw;
    d.Move({52, 40}, Qt::LeftButton);
    d.Release({52, 40});
    EXPECT_EQ(d.Take(), Log{}) << "the expired active consumer and entries are skipped";
}

TEST(PlotPanel, DrawObjectAddedDuringPaintStartsNextFrame)
{
    Log log;
    SinglePanel view(40, 20, CW::ePlotWindow);
    auto later = std::make_shared<Filler>(log, "later", QColor(0, 255, 0));
    bool added = false;
    view.Paint([&](GLPainter&, CW* w, int) {
        log.push_back("adder");
        if (!added) {
            w->addPaintObject(later, CW::eZOrderTop);
            added = true;
        }
    });
    view.Render();
    EXPECT_EQ(log, (Log{"adder"}));
    log.clear();
    const QImage img = view.Render();
    EXPECT_EQ(log, (Log{"adder", "later"}));
    expectColour(img, 20, 10, 0xFF00FF00);
}
