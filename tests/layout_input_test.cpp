// Mouse, wheel and context-menu routing of the layout, sent as real Qt events:
// edge bands, splitter hover and drag, the left-button grab, middle-button
// panel moves, and panels that leave the layout while one of these is under
// way.
#include "support/layout_fixture.h"
#include "support/render_fixture.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

using GLBW = GLBaseWidget;

namespace
{
// Qt's cursor stack is process-wide: every test starts and ends without an
// override cursor.
struct CursorGuard
{
    CursorGuard() { EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); }
    ~CursorGuard()
    {
        GLLayout::RestoreOverrideCursor();
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
};

Qt::CursorShape OverrideShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::BitmapCursor; // no such shape is ever pushed
}

void Press(GLLayout& layout, QPoint p, Qt::MouseButton button = Qt::LeftButton)
{
    SendMouse(layout, QEvent::MouseButtonPress, p, button, button);
}

void Release(GLLayout& layout, QPoint p, Qt::MouseButton button = Qt::LeftButton)
{
    SendMouse(layout, QEvent::MouseButtonRelease, p, button, Qt::NoButton);
}

// Two panels in a 200 x 200 window: B below A at (0, 100), or, across, right of
// A. No strips.
struct PairFixture
{
    CursorGuard cursors;
    GLLayout layout;
    RecordingPanel a{"A"}, b{"B"};
    explicit PairFixture(bool across = false)
    {
        if (across)
            b.SetHorizontalAlignment("A", GLBW::eAlignRight, 1.0);
        else
            b.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
        EXPECT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b));
        a.setMouseTracking(true); // Qt drops moves without buttons otherwise
        ResizeLayout(layout, 200, 200);
        EXPECT_EQ(Rect(b), across ? QRect(100, 0, 100, 200) : QRect(0, 100, 200, 100));
    }
};

// The standard layout with two left/right rows: L1 (0, 0, 200, 150) above L2,
// R1 and R2 beside them.
struct StdRows
{
    CursorGuard cursors;
    GLLayout layout;
    RecordingPanel l1{"L1", false}, r1{"R1", false}, l2{"L2", false}, r2{"R2", false};
    StdRows()
    {
        EXPECT_TRUE(layout.CreateStdLayout(1.0));
        EXPECT_TRUE(layout.AddLeftRightWidget(&l1, &r1, 1.0) && layout.AddLeftRightWidget(&l2, &r2, 1.0));
        l1.setMouseTracking(true);
        ResizeLayout(layout, 400, 300);
        EXPECT_EQ(Rect(l2), QRect(0, 150, 200, 150));
    }
    void Middle(QEvent::Type type, QPoint p)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MiddleButton;
        SendMouse(layout, type, p, type == QEvent::MouseMove ? Qt::NoButton : Qt::MiddleButton, held);
    }
};

void SendWheel(GLLayout& layout, QPoint pos)
{
    QWheelEvent event(QPointF(pos), QPointF(layout.mapToGlobal(pos)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&layout, &event);
}

void SendContextMenu(GLLayout& layout, QPoint pos)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, layout.mapToGlobal(pos), Qt::NoModifier);
    QCoreApplication::sendEvent(&layout, &event);
}

void SendLeave(GLLayout& layout)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&layout, &event);
}

int Brightness(QRgb pixel) { return qRed(pixel) + qGreen(pixel) + qBlue(pixel); }
} // namespace

TEST(Routing, EdgeBandsBelongToTheSplittersAndCursorsFollow)
{
    PairFixture f;
    // Two pixels on every side of B are a band that no move reaches B through;
    // the third from each edge is the panel's again. Only the bands over the A/B
    // boundary find one; outer edges have no neighbour; over a panel the split
    // cursor goes.
    const struct
    {
        QPoint at;
        RecordingPanel* receiver;
        QPoint local;
        bool boundary;
    } cases[] = {
        {{50, 150}, &f.b, {50, 50}, false},   {{50, 100}, nullptr, {}, true},     {{50, 101}, nullptr, {}, true},
        {{50, 198}, nullptr, {}, false},      {{50, 199}, nullptr, {}, false},    {{0, 150}, nullptr, {}, false},
        {{1, 150}, nullptr, {}, false},       {{198, 150}, nullptr, {}, false},   {{199, 150}, nullptr, {}, false},
        {{50, 102}, &f.b, {50, 2}, false},    {{50, 197}, &f.b, {50, 97}, false}, {{2, 150}, &f.b, {2, 50}, false},
        {{197, 150}, &f.b, {197, 50}, false}, {{50, 1}, nullptr, {}, false},      {{199, 50}, nullptr, {}, false},
        {{50, 101}, nullptr, {}, true},       {{50, 98}, nullptr, {}, true},      {{50, 97}, &f.a, {50, 97}, false}};
    for (const auto& c : cases) {
        const size_t before = f.a.vEvents.size() + f.b.vEvents.size();
        Move(f.layout, c.at);
        EXPECT_EQ(f.a.vEvents.size() + f.b.vEvents.size(), before + (c.receiver ? 1 : 0))
            << c.at.x() << "," << c.at.y();
        if (c.receiver)
            EXPECT_EQ(c.receiver->Last(QEvent::MouseMove), c.local) << "in panel coordinates";
        EXPECT_EQ(f.layout.ActiveMouseAction(), c.boundary) << c.at.x() << "," << c.at.y();
        if (c.boundary || c.receiver) // over a band without one the cursor stays as it was
            EXPECT_EQ(OverrideShape(), c.boundary ? Qt::SplitVCursor : Qt::BitmapCursor) << c.at.x() << "," << c.at.y();
    }

    f.b.setCursor(Qt::CrossCursor);
    Move(f.layout, {50, 150});
    EXPECT_EQ(f.layout.cursor().shape(), Qt::CrossCursor);
    Move(f.layout, {50, 50});
    EXPECT_EQ(f.layout.cursor().shape(), Qt::ArrowCursor);
    // Hovering the boundary again and again pushes one override cursor, which one
    // restore removes.
    for (int i = 0; i < 3; ++i) {
        Move(f.layout, {50, 100});
        Move(f.layout, {60, 99});
    }
    Move(f.layout, {50, 150});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "a second push would still be on the stack";

    // Leaving ends the hover but keeps the cursor until the mouse is over a panel
    // again.
    Move(f.layout, {50, 100});
    SendLeave(f.layout);
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    EXPECT_EQ(OverrideShape(), Qt::SplitVCursor);
    Press(f.layout, {50, 100});
    EXPECT_EQ(f.b.Count(QEvent::MouseButtonPress), 1) << "with the hover gone the press is the panel's, not a drag";
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    Release(f.layout, {50, 100});
    // Outside every panel: the override goes and the layout shows the arrow.
    Move(f.layout, {50, 150});
    Move(f.layout, {50, 100});
    Move(f.layout, {250, 50});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(f.layout.cursor().shape(), Qt::ArrowCursor);
}

TEST(Routing, LeftPressGrabsUntilReleaseOtherButtonsDoNot)
{
    PairFixture f;
    Press(f.layout, {50, 150});
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonPress), QPoint(50, 50));
    // Over A, over the boundary and outside the window, after a leave: all go to
    // B, in B's coordinates.
    Move(f.layout, {10, 20}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(10, -80));
    Move(f.layout, {60, 100}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(60, 0));
    SendLeave(f.layout);
    Move(f.layout, {-7, 230}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(-7, 130));
    EXPECT_FALSE(f.layout.ActiveMouseAction()) << "a grab shows no splitter";
    Release(f.layout, {5, 5});
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonRelease), QPoint(5, -95));
    EXPECT_TRUE(f.a.vEvents.empty());
    Move(f.layout, {50, 50});
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 50)) << "after the release moves go by position again";
    EXPECT_EQ(f.b.vEvents.size(), 5u);
    // A press with a second button held, a right or a middle press (B follows its
    // visible master A, so it cannot be moved) reach nobody and grab nothing.
    SendMouse(f.layout, QEvent::MouseButtonPress, {50, 150}, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    Press(f.layout, {60, 170}, Qt::RightButton);
    Press(f.layout, {60, 170}, Qt::MiddleButton);
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    Release(f.layout, {60, 170}, Qt::RightButton);
    Move(f.layout, {50, 40}, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40));
    EXPECT_EQ(f.b.vEvents.size(), 5u);

    // Context menus and double clicks arrive in panel coordinates, the wheel in
    // layout coordinates.
    SendContextMenu(f.layout, {60, 170});
    SendContextMenu(f.layout, {300, 170}); // outside every panel
    EXPECT_EQ(f.b.Count(QEvent::ContextMenu) + f.a.Count(QEvent::ContextMenu), 1);
    EXPECT_EQ(f.b.Last(QEvent::ContextMenu), QPoint(60, 70));
    SendWheel(f.layout, {60, 170});
    SendWheel(f.layout, {30, 40});
    EXPECT_EQ(f.b.Last(QEvent::Wheel), QPoint(60, 170));
    EXPECT_EQ(f.a.Last(QEvent::Wheel), QPoint(30, 40));
    SendMouse(f.layout, QEvent::MouseButtonDblClick, {70, 130}, Qt::RightButton, Qt::RightButton);
    SendMouse(f.layout, QEvent::MouseButtonDblClick, {70, 30}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonDblClick), QPoint(70, 30));
    EXPECT_EQ(f.a.Last(QEvent::MouseButtonDblClick), QPoint(70, 30));
    EXPECT_EQ(f.a.vEvents.size() + f.b.vEvents.size(), 12u);

    // No context menu during a splitter drag.
    Move(f.layout, {50, 100});
    Press(f.layout, {50, 100});
    SendContextMenu(f.layout, {60, 170});
    EXPECT_EQ(f.b.Count(QEvent::ContextMenu), 1);
    Release(f.layout, {50, 100});
}

// A drag stops at the limits; a leave takes the boundary away until the
// release; the zooms are the dragged sizes as fractions of the room (a bounded
// child's room is its maximum), so the next pass gives the same rectangles.
TEST(Splitter, DragsStopAtTheLimitsAndTheirZoomsReproduceTheSizes)
{
    const struct
    {
        bool across;
        int minA, maxA, minB;
        std::vector<std::pair<int, int>> moves; // mouse position along the axis, A's size then
        double zoomA, zoomB;                    // zoomB 0: not checked
    } cases[] = {
        {false, 30, GLBW::ciMaxCoord, 60, {{120, 120}, {190, 140}, {-40, 30}, {130, 130}}, 130.0 / 200, 70.0 / 200},
        {true, 2, 150, 2, {{195, 150}, {1, 2}, {100, 100}}, 100.0 / 150, 0}};
    for (const auto& c : cases) {
        PairFixture f(c.across);
        auto at = [&](int along) { return c.across ? QPoint(along, 50) : QPoint(50, along); };
        auto size = [&](const RecordingPanel& p) { return c.across ? p.width() : p.height(); };
        if (c.across) {
            f.a.setMinimumWidth(c.minA);
            f.a.setMaximumWidth(c.maxA);
            f.b.setMinimumWidth(c.minB);
        } else {
            f.a.setMinimumHeight(c.minA);
            f.a.setMaximumHeight(c.maxA);
            f.b.setMinimumHeight(c.minB);
        }
        ResizeLayout(f.layout, 200, 200);
        const int boundary = c.across ? f.b.left() : f.b.top();
        ASSERT_EQ(size(f.a), boundary);
        Move(f.layout, at(boundary + 1));
        EXPECT_EQ(OverrideShape(), c.across ? Qt::SplitHCursor : Qt::SplitVCursor);
        Press(f.layout, at(boundary + 1));
        for (const auto& [to, expected] : c.moves) {
            Move(f.layout, at(to), Qt::LeftButton);
            EXPECT_EQ(size(f.a), expected) << c.across << " to " << to;
            EXPECT_EQ(size(f.a) + size(f.b), 200);
            EXPECT_EQ(c.across ? f.b.left() : f.b.top(), expected);
        }
        SendLeave(f.layout);
        Move(f.layout, at(40), Qt::LeftButton);
        EXPECT_EQ(size(f.a), c.moves.back().second) << "a leave stops the drag";
        Release(f.layout, at(40));
        EXPECT_TRUE(f.b.vEvents.empty() && f.a.vEvents.empty()) << "a drag reaches no panel";
        Press(f.layout, at(40));
        Release(f.layout, at(40));
        EXPECT_EQ(f.a.Last(QEvent::MouseButtonPress), at(40)) << "the drag ended with the release";

        const GLSplitGroup* group = f.layout.GetRootGroup();
        if (!c.across)
            group = group->m_Children[0];
        ASSERT_EQ(group->m_Children.size(), 2u);
        auto zoom = [&](int i) {
            return c.across ? group->m_Children[i]->m_dHorizontalZoom : group->m_Children[i]->m_dVerticalZoom;
        };
        EXPECT_DOUBLE_EQ(zoom(0), c.zoomA);
        if (c.zoomB > 0)
            EXPECT_DOUBLE_EQ(zoom(1), c.zoomB);
        ResizeLayout(f.layout, c.across ? 200 : 201, c.across ? 201 : 200);
        EXPECT_EQ(size(f.a), c.moves.back().second);
        EXPECT_EQ(size(f.b), 200 - c.moves.back().second);
    }
    PairFixture rows; // a taller window keeps the proportion
    Move(rows.layout, {50, 101});
    Press(rows.layout, {50, 101});
    Move(rows.layout, {50, 130}, Qt::LeftButton);
    Release(rows.layout, {50, 130});
    ResizeLayout(rows.layout, 200, 400);
    EXPECT_EQ(rows.a.height(), 260);
    EXPECT_EQ(rows.b.height(), 140);
}

TEST(Splitter, NoBoundaryBetweenFixedChildren)
{
    PairFixture f;
    for (RecordingPanel* p : {&f.a, &f.b}) {
        p->setMinimumHeight(100);
        p->setMaximumHeight(100);
    }
    ResizeLayout(f.layout, 200, 201);
    Move(f.layout, {50, 101});
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(f.b.vEvents.empty());
}

// The bar: four rows centred on the boundary across the whole width, brighter
// while dragging.
TEST(Splitter, BarIsDrawnOverTheBoundaryBrighterWhileDragging)
{
    PairFixture f;
    QImage idle, hover, drag;
    ASSERT_TRUE(f.layout.RenderToImage(&idle));
    Move(f.layout, {50, 101});
    ASSERT_TRUE(f.layout.RenderToImage(&hover));
    Press(f.layout, {50, 101});
    ASSERT_TRUE(f.layout.RenderToImage(&drag));
    Release(f.layout, {50, 101});
    for (int y = 96; y <= 104; ++y) {
        EXPECT_EQ(idle.pixel(100, y), 0u) << "the panels have no fill";
        for (int x : {0, 100, 199}) {
            const bool bar = y >= 98 && y <= 101;
            EXPECT_EQ(Brightness(hover.pixel(x, y)) > 0, bar) << x << "," << y;
            if (bar)
                EXPECT_GT(Brightness(drag.pixel(x, y)), Brightness(hover.pixel(x, y))) << x << "," << y;
            else
                EXPECT_EQ(drag.pixel(x, y), 0u) << x << "," << y;
        }
    }
}

TEST(Splitter, RightRowsDragTheLeftRowsTheyFollow)
{
    StdRows f;
    QImage hover;
    Move(f.layout, {300, 151});
    ASSERT_TRUE(f.layout.ActiveMouseAction()) << "R2's top edge is the boundary of the left rows";
    ASSERT_TRUE(f.layout.RenderToImage(&hover));
    for (int x : {10, 190, 210, 390}) // the bar spans both columns
        EXPECT_GT(Brightness(hover.pixel(x, 150)), 0) << x;
    EXPECT_EQ(hover.pixel(300, 146), 0u);
    Press(f.layout, {300, 151});
    Move(f.layout, {300, 100}, Qt::LeftButton);
    Release(f.layout, {300, 100});
    EXPECT_EQ(Rect(f.l1), QRect(0, 0, 200, 100));
    EXPECT_EQ(Rect(f.r1), QRect(200, 0, 200, 100));
    EXPECT_EQ(Rect(f.l2), QRect(0, 100, 200, 200));
    EXPECT_EQ(Rect(f.r2), QRect(200, 100, 200, 200));
}

TEST(Move, MiddleDragSwapsRowsOncePastTheMiddleAndIsDrawn)
{
    StdRows f;
    QImage idle, moving;
    ASSERT_TRUE(f.layout.RenderToImage(&idle));
    f.Middle(QEvent::MouseButtonPress, {50, 40});
    EXPECT_TRUE(f.layout.ActiveMouseAction());
    f.Middle(QEvent::MouseMove, {50, 100});
    EXPECT_EQ(OverrideShape(), Qt::ClosedHandCursor);
    ASSERT_TRUE(f.layout.RenderToImage(&moving));
    EXPECT_EQ(idle.pixel(100, 70), 0u);
    // The place of the row is tinted yellow, its copy at the mouse (60 pixels
    // lower) white.
    const QRgb origin = moving.pixel(100, 30), both = moving.pixel(100, 100), copy = moving.pixel(100, 180);
    EXPECT_GT(qRed(origin), qBlue(origin));
    EXPECT_GT(Brightness(both), Brightness(origin)) << "origin and moved copy overlap here";
    EXPECT_GT(qBlue(copy), 0);
    EXPECT_EQ(qRed(copy), qBlue(copy));
    EXPECT_EQ(moving.pixel(300, 250), 0u) << "the other column is not part of the move";

    // Past the middle of the row below (225) the rows swap, the right partners
    // with them; further down and back up to the old middle no second swap; past
    // the middle of the row now above they trade back. A leave does not end the
    // move.
    const std::pair<int, int> moves[] = {{200, 0},   {224, 0},   {226, 150}, {260, 150},
                                         {299, 150}, {200, 150}, {76, 150},  {74, 0}};
    for (const auto& [y, top] : moves) {
        if (y == 226)
            SendLeave(f.layout);
        f.Middle(QEvent::MouseMove, {50, y});
        EXPECT_EQ(f.l1.top(), top) << y;
        EXPECT_EQ(f.r1.top(), top) << y;
        EXPECT_EQ(f.l2.top(), 150 - top) << y;
        EXPECT_EQ(f.r2.top(), 150 - top) << y;
    }
    // Outside every panel there is nowhere to go: the cursor says so and nothing
    // moves.
    f.Middle(QEvent::MouseMove, {500, 74});
    EXPECT_EQ(OverrideShape(), Qt::ForbiddenCursor);
    f.Middle(QEvent::MouseButtonRelease, {500, 74});
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(f.l1.top(), 0);
    for (const RecordingPanel* p : {&f.l1, &f.r1, &f.l2, &f.r2})
        EXPECT_TRUE(p->vEvents.empty()) << p->GetName();
}

namespace
{
// An application panel that takes itself out of the layout on a press, or
// deletes itself on release.
class LeavingPanel : public RecordingPanel
{
public:
    LeavingPanel(const char* name, bool deleteOnRelease, bool* deleted)
        : RecordingPanel(name), m_bDelete(deleteOnRelease), m_pDeleted(deleted)
    {
    }
    ~LeavingPanel() override { *m_pDeleted = true; }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        RecordingPanel::mousePressEvent(e);
        if (!m_bDelete)
            GetLayoutWidget()->RemoveWidget(this);
    }
    void mouseReleaseEvent(QMouseEvent*) override
    {
        if (m_bDelete)
            delete this;
    }

private:
    bool m_bDelete;
    bool* m_pDeleted;
};

// Every kind of event at a few places; whatever is still in the layout may
// receive them.
void SendEverything(GLLayout& layout, Qt::MouseButtons held)
{
    for (const QPoint p : {QPoint(50, 150), QPoint(50, 101), QPoint(50, 40), QPoint(-5, 300)}) {
        Move(layout, p, held);
        SendWheel(layout, p);
        SendContextMenu(layout, p);
        SendMouse(layout, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    }
    Release(layout, {50, 150});
    Release(layout, {50, 150}, Qt::MiddleButton);
    SendLeave(layout);
}
} // namespace

TEST(Removal, PanelsLeavingDuringADragAMoveOrAGrabAreNotTouchedAgain)
{
    {
        PairFixture f;
        Move(f.layout, {50, 101});
        Press(f.layout, {50, 101});
        Move(f.layout, {50, 120}, Qt::LeftButton);
        EXPECT_TRUE(f.layout.RemoveWidget(&f.b));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the split cursor goes with the boundary";
        Move(f.layout, {50, 160}, Qt::LeftButton);
        EXPECT_EQ(f.a.height(), 120) << "the drag has no boundary left to move";
        Release(f.layout, {50, 160});
        SendEverything(f.layout, Qt::NoButton);
        EXPECT_TRUE(f.b.vEvents.empty());
        EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40));
        EXPECT_FALSE(f.layout.ActiveMouseAction());
    }
    {
        StdRows f;
        f.Middle(QEvent::MouseButtonPress, {50, 40});
        f.Middle(QEvent::MouseMove, {50, 226});
        EXPECT_TRUE(f.layout.RemoveWidget(&f.l1));
        EXPECT_FALSE(f.layout.ActiveMouseAction());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        SendEverything(f.layout, Qt::MiddleButton);
        EXPECT_TRUE(f.l1.vEvents.empty());
        EXPECT_EQ(f.l2.Count(QEvent::Wheel), 2) << "routing goes on for the panels still there (0..149)";
        // Removing another panel keeps the move going; clearing the tree ends it.
        f.Middle(QEvent::MouseButtonPress, {50, 40});
        EXPECT_TRUE(f.layout.RemoveWidget(&f.r2));
        f.Middle(QEvent::MouseMove, {50, 60});
        EXPECT_TRUE(f.layout.ActiveMouseAction());
        f.layout.RemoveWidgets();
        EXPECT_FALSE(f.layout.ActiveMouseAction());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        SendEverything(f.layout, Qt::MiddleButton);
        EXPECT_EQ(f.l2.GetLayoutWidget(), nullptr);
    }
    PairFixture f;
    Press(f.layout, {50, 150});
    EXPECT_TRUE(f.layout.RemoveWidget(&f.b));
    SendEverything(f.layout, Qt::LeftButton);
    EXPECT_EQ(f.b.vEvents.size(), 1u) << "only the press before the removal";
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40));
    ASSERT_TRUE(f.layout.AddWidget(&f.b));
    ResizeLayout(f.layout, 200, 200);
    Move(f.layout, {50, 150});
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(50, 50)) << "re-added, it takes part again";
}

TEST(Removal, PanelsDestroyedDuringInputLeaveTheLayoutAtOnce)
{
    PairFixture f;
    auto add = [&](RecordingPanel* p, int height) {
        p->SetVerticalAlignment("B", GLBW::eAlignBottom, 1.0);
        EXPECT_TRUE(f.layout.AddWidget(p));
        ResizeLayout(f.layout, 200, height);
        return p;
    };
    // Deleted while it holds the grab, while its boundary is dragged.
    RecordingPanel* grabbed = add(new RecordingPanel("C"), 300);
    Press(f.layout, {50, grabbed->top() + 40});
    ASSERT_EQ(grabbed->Count(QEvent::MouseButtonPress), 1);
    delete grabbed;
    SendEverything(f.layout, Qt::LeftButton);
    RecordingPanel* dragged = add(new RecordingPanel("D"), 301);
    Move(f.layout, {50, dragged->top()});
    ASSERT_TRUE(f.layout.ActiveMouseAction());
    Press(f.layout, {50, dragged->top()});
    delete dragged;
    SendEverything(f.layout, Qt::LeftButton);
    EXPECT_FALSE(f.layout.ActiveMouseAction());

    // Deleted while it is being moved (B's master A hidden makes B movable).
    RecordingPanel* moved = add(new RecordingPanel("E"), 300);
    f.layout.Show(&f.a, false);
    QImage img;
    ASSERT_TRUE(f.layout.RenderToImage(&img));
    Press(f.layout, {50, 10}, Qt::MiddleButton);
    ASSERT_TRUE(f.layout.ActiveMouseAction()) << "B follows a hidden master, so it can move";
    Move(f.layout, {50, moved->top() + 10}, Qt::MiddleButton);
    delete moved;
    EXPECT_TRUE(f.layout.ActiveMouseAction()) << "B's move goes on";
    SendEverything(f.layout, Qt::MiddleButton);
    ASSERT_TRUE(f.layout.RenderToImage(&img));

    // A panel that removes itself from its press handler, one that deletes itself
    // on release.
    f.layout.Show(&f.a, true);
    bool removedGone = false, deletedGone = false;
    LeavingPanel remover("F", false, &removedGone);
    auto* deleter = new LeavingPanel("G", true, &deletedGone);
    add(&remover, 400);
    add(deleter, 400);
    Press(f.layout, {50, remover.top() + 20});
    EXPECT_EQ(remover.GetLayoutWidget(), nullptr);
    SendEverything(f.layout, Qt::LeftButton);
    EXPECT_EQ(remover.vEvents.size(), 1u);
    Press(f.layout, {50, deleter->top() + 20});
    Release(f.layout, {50, deleter->top() + 20});
    EXPECT_TRUE(deletedGone);
    SendEverything(f.layout, Qt::NoButton);
    EXPECT_FALSE(removedGone);
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40));

    // Destroying the layout during a grab frees the panels.
    RecordingPanel c("C"), d("D");
    d.SetVerticalAlignment("C", GLBW::eAlignBottom, 1.0);
    {
        GLLayout plain;
        ASSERT_TRUE(plain.AddWidget(&c) && plain.AddWidget(&d));
        d.setMouseTracking(true);
        ResizeLayout(plain, 100, 100);
        Press(plain, {50, 70});
        Move(plain, {50, 40});
        ASSERT_EQ(d.Count(QEvent::MouseMove), 1);
    }
    EXPECT_EQ(c.GetLayoutWidget(), nullptr);
    EXPECT_EQ(d.GetLayoutWidget(), nullptr);
    EXPECT_FALSE(d.isVisible());
}
