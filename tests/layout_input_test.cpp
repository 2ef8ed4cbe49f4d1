// Mouse, wheel and context-menu routing of the layout, sent as real Qt events: edge bands,
// splitter hover and drag, the left-button grab, middle-button panel moves, and panels that leave
// the layout while one of these is under way.
#include "support/layout_fixture.h"
#include "support/render_fixture.h"

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <memory>

using GLBW = GLBaseWidget;
using GL = GLFrameWidget;

namespace
{
// Qt's cursor stack is process-wide: every test starts and ends without an override cursor.
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

// A above B, 200 x 200: A is (0, 0, 200, 100) and B (0, 100, 200, 100). No strips.
struct RowsFixture
{
    CursorGuard cursors;
    GLLayout layout;
    RecordingPanel a{"A"}, b{"B"};
    RowsFixture()
    {
        b.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
        EXPECT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b));
        a.setMouseTracking(true); // Qt drops moves without buttons otherwise
        ResizeLayout(layout, 200, 200);
        EXPECT_EQ(Rect(a), QRect(0, 0, 200, 100));
        EXPECT_EQ(Rect(b), QRect(0, 100, 200, 100));
    }
    void Press(QPoint p, Qt::MouseButton button) { SendMouse(layout, QEvent::MouseButtonPress, p, button, button); }
    void Release(QPoint p, Qt::MouseButton button)
    {
        SendMouse(layout, QEvent::MouseButtonRelease, p, button, Qt::NoButton);
    }
};

// The standard layout with two left/right rows.
struct StdRows
{
    CursorGuard cursors;
    GLLayout layout;
    RecordingPanel l1{"L1", false}, r1{"R1", false}, l2{"L2", false}, r2{"R2", false};
    StdRows()
    {
        EXPECT_TRUE(layout.CreateStdLayout(1.0));
        EXPECT_TRUE(layout.AddLeftRightWidget(&l1, &r1, 1.0));
        EXPECT_TRUE(layout.AddLeftRightWidget(&l2, &r2, 1.0));
        l1.setMouseTracking(true);
        ResizeLayout(layout, 400, 300);
        EXPECT_EQ(Rect(l1), QRect(0, 0, 200, 150));
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

TEST(Routing, EdgeBandsBelongToTheSplitters)
{
    RowsFixture f;
    Move(f.layout, {50, 150});
    ASSERT_EQ(f.b.Count(QEvent::MouseMove), 1);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(50, 50)) << "moves arrive in panel coordinates";
    EXPECT_EQ(f.a.Count(QEvent::MouseMove), 0);

    // Two pixels on every side of B: top, bottom, left, right; none reaches the panel.
    for (const QPoint p : {QPoint(50, 100), QPoint(50, 101), QPoint(50, 198), QPoint(50, 199), QPoint(0, 150),
                           QPoint(1, 150), QPoint(198, 150), QPoint(199, 150)})
        Move(f.layout, p);
    EXPECT_EQ(f.b.Count(QEvent::MouseMove), 1);
    EXPECT_EQ(f.a.Count(QEvent::MouseMove), 0);
    // The third pixel from each edge is the panel's again.
    for (const QPoint p : {QPoint(50, 102), QPoint(50, 197), QPoint(2, 150), QPoint(197, 150)})
        Move(f.layout, p);
    EXPECT_EQ(f.b.Count(QEvent::MouseMove), 5);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(197, 50));

    // Only the band over the A/B boundary finds one; A's top edge and the outer edges have no neighbour.
    Move(f.layout, {50, 1});
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(f.a.Count(QEvent::MouseMove), 0) << "1 pixel below the top edge is still the band";
    Move(f.layout, {199, 50});
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    Move(f.layout, {50, 101});
    EXPECT_TRUE(f.layout.ActiveMouseAction());
    EXPECT_EQ(OverrideShape(), Qt::SplitVCursor);
    Move(f.layout, {50, 98});
    EXPECT_TRUE(f.layout.ActiveMouseAction()) << "A's bottom band finds the same boundary";
    EXPECT_EQ(f.a.Count(QEvent::MouseMove), 0);
}

TEST(Routing, CursorsFollowThePanelAndTheOverrideIsPushedOnce)
{
    RowsFixture f;
    f.b.setCursor(Qt::CrossCursor);
    Move(f.layout, {50, 150});
    EXPECT_EQ(f.layout.cursor().shape(), Qt::CrossCursor);
    Move(f.layout, {50, 50});
    EXPECT_EQ(f.layout.cursor().shape(), Qt::ArrowCursor);

    // Hovering the boundary again and again pushes one override cursor, which one restore removes.
    for (int i = 0; i < 3; ++i) {
        Move(f.layout, {50, 100});
        Move(f.layout, {60, 99});
    }
    EXPECT_EQ(OverrideShape(), Qt::SplitVCursor);
    Move(f.layout, {50, 150});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "a second push would still be on the stack";
    EXPECT_FALSE(f.layout.ActiveMouseAction());

    // Leaving ends the hover but keeps the cursor until the mouse is over a panel again.
    Move(f.layout, {50, 100});
    SendLeave(f.layout);
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    EXPECT_EQ(OverrideShape(), Qt::SplitVCursor);
    f.Press({50, 100}, Qt::LeftButton);
    EXPECT_EQ(f.b.Count(QEvent::MouseButtonPress), 1) << "with the hover gone the press is the panel's, not a drag";
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    f.Release({50, 100}, Qt::LeftButton);
    // Outside every panel: the override goes and the layout shows the arrow.
    f.b.setCursor(Qt::CrossCursor);
    Move(f.layout, {50, 150});
    Move(f.layout, {50, 100});
    Move(f.layout, {250, 50});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(f.layout.cursor().shape(), Qt::ArrowCursor);
}

TEST(Routing, LeftPressGrabsUntilRelease)
{
    RowsFixture f;
    f.Press({50, 150}, Qt::LeftButton);
    ASSERT_EQ(f.b.Count(QEvent::MouseButtonPress), 1);
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonPress), QPoint(50, 50));
    // Over A, over the boundary and outside the layout: all go to B, in B's coordinates.
    Move(f.layout, {10, 20}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(10, -80));
    Move(f.layout, {60, 100}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(60, 0));
    SendLeave(f.layout);
    Move(f.layout, {-7, 230}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(-7, 130)) << "leaving the window keeps the grab";
    EXPECT_EQ(f.b.Count(QEvent::MouseMove), 3);
    EXPECT_FALSE(f.layout.ActiveMouseAction()) << "a grab shows no splitter";
    f.Release({5, 5}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonRelease), QPoint(5, -95));
    EXPECT_TRUE(f.a.vEvents.empty());

    // After the release moves go by position again.
    Move(f.layout, {50, 50});
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 50));
    EXPECT_EQ(f.b.Count(QEvent::MouseMove), 3);
    // A press with a second button held reaches nobody and grabs nothing.
    SendMouse(f.layout, QEvent::MouseButtonPress, {50, 150}, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(f.b.Count(QEvent::MouseButtonPress), 1);
    Move(f.layout, {50, 40}, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40));
}

TEST(Routing, OtherButtonsWheelContextMenuAndDoubleClick)
{
    RowsFixture f;
    f.Press({60, 170}, Qt::RightButton);
    f.Press({60, 170}, Qt::MiddleButton); // B follows its visible master A, so it cannot be moved
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    f.Release({60, 170}, Qt::RightButton);
    EXPECT_EQ(f.b.Count(QEvent::MouseButtonPress), 0);
    EXPECT_EQ(f.b.Count(QEvent::MouseButtonRelease), 0);
    Move(f.layout, {60, 20}, Qt::RightButton);
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(60, 20)) << "a right press grabs nothing";

    SendContextMenu(f.layout, {60, 170});
    ASSERT_EQ(f.b.Count(QEvent::ContextMenu), 1);
    EXPECT_EQ(f.b.Last(QEvent::ContextMenu), QPoint(60, 70));
    SendContextMenu(f.layout, {300, 170});
    EXPECT_EQ(f.b.Count(QEvent::ContextMenu) + f.a.Count(QEvent::ContextMenu), 1) << "outside every panel";

    // The wheel keeps layout coordinates.
    SendWheel(f.layout, {60, 170});
    ASSERT_EQ(f.b.Count(QEvent::Wheel), 1);
    EXPECT_EQ(f.b.Last(QEvent::Wheel), QPoint(60, 170));
    SendWheel(f.layout, {30, 40});
    EXPECT_EQ(f.a.Last(QEvent::Wheel), QPoint(30, 40));
    EXPECT_EQ(f.b.Count(QEvent::Wheel), 1);

    // Double clicks go to the panel under the mouse whatever the button, with local positions.
    SendMouse(f.layout, QEvent::MouseButtonDblClick, {70, 130}, Qt::RightButton, Qt::RightButton);
    SendMouse(f.layout, QEvent::MouseButtonDblClick, {70, 30}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonDblClick), QPoint(70, 30));
    EXPECT_EQ(f.a.Last(QEvent::MouseButtonDblClick), QPoint(70, 30));
    EXPECT_EQ(f.a.Count(QEvent::MouseButtonDblClick), 1);
    EXPECT_EQ(f.b.Count(QEvent::MouseButtonDblClick), 1);

    // No context menu during a splitter drag.
    Move(f.layout, {50, 100});
    f.Press({50, 100}, Qt::LeftButton);
    SendContextMenu(f.layout, {60, 170});
    EXPECT_EQ(f.b.Count(QEvent::ContextMenu), 1);
    f.Release({50, 100}, Qt::LeftButton);
}

TEST(Splitter, RowDragStopsAtTheLimitsAndItsZoomsReproduceTheSizes)
{
    RowsFixture f;
    f.a.setMinimumHeight(30);
    f.b.setMinimumHeight(60);
    ResizeLayout(f.layout, 200, 200);
    const int boundary = f.b.top();
    ASSERT_EQ(f.a.height(), boundary);

    Move(f.layout, {50, boundary + 1});
    ASSERT_TRUE(f.layout.ActiveMouseAction());
    f.Press({50, boundary + 1}, Qt::LeftButton);
    EXPECT_EQ(f.b.Count(QEvent::MouseButtonPress), 0) << "the press starts a drag instead";
    Move(f.layout, {50, 120}, Qt::LeftButton);
    EXPECT_EQ(Rect(f.a), QRect(0, 0, 200, 120));
    EXPECT_EQ(Rect(f.b), QRect(0, 120, 200, 80));
    Move(f.layout, {50, 190}, Qt::LeftButton);
    EXPECT_EQ(f.b.height(), 60) << "stops at B's minimum";
    EXPECT_EQ(f.a.height(), 140);
    Move(f.layout, {50, -40}, Qt::LeftButton);
    EXPECT_EQ(f.a.height(), 30) << "stops at A's minimum";
    EXPECT_EQ(Rect(f.b), QRect(0, 30, 200, 170));
    Move(f.layout, {50, 130}, Qt::LeftButton);
    f.Release({50, 130}, Qt::LeftButton);
    EXPECT_EQ(f.a.height(), 130);
    EXPECT_TRUE(f.b.vEvents.empty() && f.a.vEvents.empty()) << "a drag reaches no panel";

    // The zooms are the dragged sizes as fractions of the room: the next pass gives the same
    // rectangles, and a taller window keeps the proportion.
    const GLSplitGroup* column = f.layout.GetRootGroup()->m_Children[0];
    ASSERT_EQ(column->m_Children.size(), 2u);
    EXPECT_DOUBLE_EQ(column->m_Children[0]->m_dVerticalZoom, 130.0 / 200);
    EXPECT_DOUBLE_EQ(column->m_Children[1]->m_dVerticalZoom, 70.0 / 200);
    ResizeLayout(f.layout, 200, 200);
    EXPECT_EQ(Rect(f.a), QRect(0, 0, 200, 130));
    EXPECT_EQ(Rect(f.b), QRect(0, 130, 200, 70));
    ResizeLayout(f.layout, 200, 400);
    EXPECT_EQ(f.a.height(), 260);
    EXPECT_EQ(f.b.height(), 140);

    // The drag ended with the release: moves are the panels' again.
    Move(f.layout, {50, 300});
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(50, 40));
    EXPECT_EQ(f.a.height(), 260);
}

TEST(Splitter, ColumnDragUsesTheMaximumAndLeavingStopsIt)
{
    CursorGuard cursors;
    GLLayout layout;
    RecordingPanel c("C"), d("D");
    c.setMaximumWidth(150);
    d.SetHorizontalAlignment("C", GLBW::eAlignRight, 1.0);
    ASSERT_TRUE(layout.AddWidget(&c) && layout.AddWidget(&d));
    d.setMouseTracking(true);
    ResizeLayout(layout, 200, 100);
    ASSERT_EQ(c.width() + d.width(), 200);

    Move(layout, {d.left(), 50});
    EXPECT_EQ(OverrideShape(), Qt::SplitHCursor);
    SendMouse(layout, QEvent::MouseButtonPress, {d.left(), 50}, Qt::LeftButton, Qt::LeftButton);
    Move(layout, {195, 50}, Qt::LeftButton);
    EXPECT_EQ(Rect(c), QRect(0, 0, 150, 100)) << "stops at C's maximum";
    EXPECT_EQ(Rect(d), QRect(150, 0, 50, 100));
    Move(layout, {1, 50}, Qt::LeftButton);
    EXPECT_EQ(c.width(), 2) << "stops at C's minimum";
    Move(layout, {100, 50}, Qt::LeftButton);
    EXPECT_EQ(c.width(), 100);
    EXPECT_DOUBLE_EQ(layout.GetRootGroup()->m_Children[0]->m_dHorizontalZoom, 100.0 / 150)
        << "the room of a bounded child is its maximum";
    ResizeLayout(layout, 200, 101);
    EXPECT_EQ(c.width(), 100);
    EXPECT_EQ(d.width(), 100);

    // A leave takes the boundary away: the drag's moves change nothing until the release ends it.
    SendLeave(layout);
    Move(layout, {40, 50}, Qt::LeftButton);
    EXPECT_EQ(c.width(), 100);
    EXPECT_TRUE(c.vEvents.empty() && d.vEvents.empty());
    SendMouse(layout, QEvent::MouseButtonRelease, {40, 50}, Qt::LeftButton, Qt::NoButton);
    SendMouse(layout, QEvent::MouseButtonPress, {40, 50}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(c.Last(QEvent::MouseButtonPress), QPoint(40, 50));
    SendMouse(layout, QEvent::MouseButtonRelease, {40, 50}, Qt::LeftButton, Qt::NoButton);
}

TEST(Splitter, BarIsDrawnOverTheBoundaryBrighterWhileDragging)
{
    RowsFixture f;
    QImage idle, hover, drag;
    ASSERT_TRUE(f.layout.RenderToImage(&idle));
    Move(f.layout, {50, 101});
    ASSERT_TRUE(f.layout.RenderToImage(&hover));
    f.Press({50, 101}, Qt::LeftButton);
    ASSERT_TRUE(f.layout.RenderToImage(&drag));
    f.Release({50, 101}, Qt::LeftButton);
    for (int y = 96; y <= 104; ++y)
        EXPECT_EQ(idle.pixel(100, y), 0u) << "the panels have no fill";
    // Four rows centred on the boundary, across the whole width.
    for (int y = 98; y <= 101; ++y)
        for (int x : {0, 100, 199}) {
            EXPECT_GT(Brightness(hover.pixel(x, y)), 0) << x << "," << y;
            EXPECT_GT(Brightness(drag.pixel(x, y)), Brightness(hover.pixel(x, y))) << x << "," << y;
        }
    for (int y : {96, 97, 102, 103}) {
        EXPECT_EQ(hover.pixel(100, y), 0u) << y;
        EXPECT_EQ(drag.pixel(100, y), 0u) << y;
    }
}

TEST(Splitter, RightRowsDragTheLeftRowsTheyFollow)
{
    StdRows f;
    QImage hover;
    Move(f.layout, {300, 151});
    ASSERT_TRUE(f.layout.ActiveMouseAction()) << "R2's top edge is the boundary of the left rows";
    ASSERT_TRUE(f.layout.RenderToImage(&hover));
    // The bar spans the left column and the right column that follows its rows.
    for (int x : {10, 190, 210, 390})
        EXPECT_GT(Brightness(hover.pixel(x, 150)), 0) << x;
    EXPECT_EQ(hover.pixel(300, 146), 0u);
    SendMouse(f.layout, QEvent::MouseButtonPress, {300, 151}, Qt::LeftButton, Qt::LeftButton);
    Move(f.layout, {300, 100}, Qt::LeftButton);
    SendMouse(f.layout, QEvent::MouseButtonRelease, {300, 100}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(Rect(f.l1), QRect(0, 0, 200, 100));
    EXPECT_EQ(Rect(f.r1), QRect(200, 0, 200, 100));
    EXPECT_EQ(Rect(f.l2), QRect(0, 100, 200, 200));
    EXPECT_EQ(Rect(f.r2), QRect(200, 100, 200, 200));
}

TEST(Splitter, NoBoundaryBetweenFixedChildren)
{
    RowsFixture f;
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

TEST(Move, MiddleDragSwapsRowsOncePastTheMiddleAndBack)
{
    StdRows f;
    f.Middle(QEvent::MouseButtonPress, {50, 40});
    EXPECT_TRUE(f.layout.ActiveMouseAction());
    EXPECT_TRUE(f.l1.vEvents.empty()) << "a middle press reaches no panel";
    f.Middle(QEvent::MouseMove, {50, 200});
    EXPECT_EQ(OverrideShape(), Qt::ClosedHandCursor);
    EXPECT_EQ(f.l1.top(), 0) << "not yet past the middle of the row below (225)";
    SendLeave(f.layout);
    f.Middle(QEvent::MouseMove, {50, 226});
    EXPECT_EQ(Rect(f.l2), QRect(0, 0, 200, 150)) << "a leave does not end the move";
    EXPECT_EQ(Rect(f.l1), QRect(0, 150, 200, 150));
    EXPECT_EQ(Rect(f.r1), QRect(200, 150, 200, 150)) << "the right partner follows its row";
    EXPECT_EQ(Rect(f.r2), QRect(200, 0, 200, 150));
    // Further down within the row, and back up to the old middle: no second swap.
    for (int y : {260, 299, 200, 76})
        f.Middle(QEvent::MouseMove, {50, y});
    EXPECT_EQ(f.l1.top(), 150);
    // Past the middle of the row now above: the rows trade back.
    f.Middle(QEvent::MouseMove, {50, 74});
    EXPECT_EQ(f.l1.top(), 0);
    EXPECT_EQ(f.l2.top(), 150);
    EXPECT_EQ(f.r1.top(), 0);

    // Outside every panel there is nowhere to go: the cursor says so and nothing moves.
    f.Middle(QEvent::MouseMove, {500, 74});
    EXPECT_EQ(OverrideShape(), Qt::ForbiddenCursor);
    f.Middle(QEvent::MouseButtonRelease, {500, 74});
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(f.l1.top(), 0);
    for (const RecordingPanel* p : {&f.l1, &f.r1, &f.l2, &f.r2})
        EXPECT_EQ(p->Count(QEvent::MouseMove) + p->Count(QEvent::MouseButtonPress), 0) << p->GetName();
}

TEST(Move, RowsAreDrawnAtTheirPlaceAndAtTheMouse)
{
    StdRows f;
    QImage idle, moving;
    ASSERT_TRUE(f.layout.RenderToImage(&idle));
    f.Middle(QEvent::MouseButtonPress, {50, 40});
    f.Middle(QEvent::MouseMove, {50, 100});
    ASSERT_TRUE(f.layout.RenderToImage(&moving));
    f.Middle(QEvent::MouseButtonRelease, {50, 100});
    EXPECT_EQ(idle.pixel(100, 70), 0u);
    // The place of the row is tinted yellow, its copy at the mouse (60 pixels lower) white.
    const QRgb origin = moving.pixel(100, 30);
    EXPECT_GT(qRed(origin), qBlue(origin));
    const QRgb both = moving.pixel(100, 100);
    EXPECT_GT(Brightness(both), Brightness(origin)) << "origin and moved copy overlap here";
    const QRgb copy = moving.pixel(100, 180);
    EXPECT_GT(qBlue(copy), 0);
    EXPECT_EQ(qRed(copy), qBlue(copy));
    EXPECT_EQ(moving.pixel(300, 250), 0u) << "the other column is not part of the move";
}

namespace
{
// An application panel that takes itself out of the layout, or deletes itself, from its handlers.
class LeavingPanel : public RecordingPanel
{
public:
    enum eLeave { eRemoveOnPress, eDeleteOnRelease };
    LeavingPanel(const char* name, eLeave leave, bool* deleted)
        : RecordingPanel(name), m_eLeave(leave), m_pDeleted(deleted)
    {
    }
    ~LeavingPanel() override { *m_pDeleted = true; }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        RecordingPanel::mousePressEvent(e);
        if (m_eLeave == eRemoveOnPress)
            GetLayoutWidget()->RemoveWidget(this);
    }
    void mouseReleaseEvent(QMouseEvent*) override
    {
        if (m_eLeave == eDeleteOnRelease)
            delete this;
    }

private:
    eLeave m_eLeave;
    bool* m_pDeleted;
};

// Every kind of event at a few places; whatever is still in the layout may receive them.
void SendEverything(GLLayout& layout, Qt::MouseButtons held)
{
    for (const QPoint p : {QPoint(50, 150), QPoint(50, 101), QPoint(50, 40), QPoint(-5, 300)}) {
        Move(layout, p, held);
        SendWheel(layout, p);
        SendContextMenu(layout, p);
        SendMouse(layout, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    }
    SendMouse(layout, QEvent::MouseButtonRelease, {50, 150}, Qt::LeftButton, Qt::NoButton);
    SendMouse(layout, QEvent::MouseButtonRelease, {50, 150}, Qt::MiddleButton, Qt::NoButton);
    SendLeave(layout);
}
} // namespace

TEST(Removal, PanelsLeavingDuringADragAMoveOrAGrabAreNotTouchedAgain)
{
    {
        RowsFixture f;
        Move(f.layout, {50, 101});
        f.Press({50, 101}, Qt::LeftButton);
        Move(f.layout, {50, 120}, Qt::LeftButton);
        ASSERT_EQ(f.a.height(), 120);
        EXPECT_TRUE(f.layout.RemoveWidget(&f.b));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the split cursor goes with the boundary";
        EXPECT_FALSE(f.layout.IsLayoutVisible(&f.b));
        Move(f.layout, {50, 160}, Qt::LeftButton);
        EXPECT_EQ(f.a.height(), 120) << "the drag has no boundary left to move";
        f.Release({50, 160}, Qt::LeftButton);
        SendEverything(f.layout, Qt::NoButton);
        EXPECT_TRUE(f.b.vEvents.empty());
        EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40));
        EXPECT_FALSE(f.layout.ActiveMouseAction());
    }
    {
        StdRows f;
        f.Middle(QEvent::MouseButtonPress, {50, 40});
        f.Middle(QEvent::MouseMove, {50, 226});
        ASSERT_EQ(f.l1.top(), 150);
        EXPECT_TRUE(f.layout.RemoveWidget(&f.l1));
        EXPECT_FALSE(f.layout.ActiveMouseAction());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        SendEverything(f.layout, Qt::MiddleButton);
        EXPECT_TRUE(f.l1.vEvents.empty());
        EXPECT_EQ(f.l2.Count(QEvent::Wheel), 2) << "routing goes on for the panels still there (0..149)";

        // Removing another panel keeps the move going; clearing the tree ends it.
        f.Middle(QEvent::MouseButtonPress, {50, 40});
        ASSERT_TRUE(f.layout.ActiveMouseAction());
        EXPECT_TRUE(f.layout.RemoveWidget(&f.r2));
        f.Middle(QEvent::MouseMove, {50, 60});
        EXPECT_TRUE(f.layout.ActiveMouseAction());
        f.layout.RemoveWidgets();
        EXPECT_FALSE(f.layout.ActiveMouseAction());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        SendEverything(f.layout, Qt::MiddleButton);
        EXPECT_EQ(f.l2.GetLayoutWidget(), nullptr);
    }
    {
        RowsFixture f;
        f.Press({50, 150}, Qt::LeftButton);
        EXPECT_TRUE(f.layout.RemoveWidget(&f.b));
        SendEverything(f.layout, Qt::LeftButton);
        EXPECT_EQ(f.b.vEvents.size(), 1u) << "only the press before the removal";
        EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40));
        // Re-added, it takes part in the routing again.
        ASSERT_TRUE(f.layout.AddWidget(&f.b));
        ResizeLayout(f.layout, 200, 200);
        Move(f.layout, {50, 150});
        EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(50, 50));
    }
}

TEST(Removal, PanelsDestroyedDuringInputLeaveTheLayoutAtOnce)
{
    RowsFixture f;
    // Deleted while it holds the grab.
    auto* grabbed = new RecordingPanel("C");
    grabbed->SetVerticalAlignment("B", GLBW::eAlignBottom, 1.0);
    ASSERT_TRUE(f.layout.AddWidget(grabbed));
    ResizeLayout(f.layout, 200, 300);
    const QPoint inside(50, grabbed->top() + 40);
    f.Press(inside, Qt::LeftButton);
    ASSERT_EQ(grabbed->Count(QEvent::MouseButtonPress), 1);
    delete grabbed;
    SendEverything(f.layout, Qt::LeftButton);

    // Deleted while its boundary is dragged.
    auto* dragged = new RecordingPanel("D");
    dragged->SetVerticalAlignment("B", GLBW::eAlignBottom, 1.0);
    ASSERT_TRUE(f.layout.AddWidget(dragged));
    ResizeLayout(f.layout, 200, 301);
    Move(f.layout, {50, dragged->top()});
    ASSERT_TRUE(f.layout.ActiveMouseAction());
    f.Press({50, dragged->top()}, Qt::LeftButton);
    delete dragged;
    SendEverything(f.layout, Qt::LeftButton);
    EXPECT_FALSE(f.layout.ActiveMouseAction());

    // Deleted while it is being moved (B's master A hidden makes B movable).
    auto* moved = new RecordingPanel("E");
    moved->SetVerticalAlignment("B", GLBW::eAlignBottom, 1.0);
    ASSERT_TRUE(f.layout.AddWidget(moved));
    ResizeLayout(f.layout, 200, 300);
    f.layout.Show(&f.a, false);
    QImage img;
    ASSERT_TRUE(f.layout.RenderToImage(&img));
    SendMouse(f.layout, QEvent::MouseButtonPress, {50, 10}, Qt::MiddleButton, Qt::MiddleButton);
    ASSERT_TRUE(f.layout.ActiveMouseAction()) << "B follows a hidden master, so it can move";
    Move(f.layout, {50, moved->top() + 10}, Qt::MiddleButton);
    delete moved;
    EXPECT_TRUE(f.layout.ActiveMouseAction()) << "B's move goes on";
    SendEverything(f.layout, Qt::MiddleButton);
    ASSERT_TRUE(f.layout.RenderToImage(&img));

    // A panel that removes itself from its press handler, one that deletes itself on release.
    f.layout.Show(&f.a, true);
    bool removedGone = false, deletedGone = false;
    LeavingPanel remover("F", LeavingPanel::eRemoveOnPress, &removedGone);
    auto* deleter = new LeavingPanel("G", LeavingPanel::eDeleteOnRelease, &deletedGone);
    remover.SetVerticalAlignment("B", GLBW::eAlignBottom, 1.0);
    deleter->SetVerticalAlignment("B", GLBW::eAlignBottom, 1.0);
    ASSERT_TRUE(f.layout.AddWidget(&remover) && f.layout.AddWidget(deleter));
    ResizeLayout(f.layout, 200, 400);
    f.Press({50, remover.top() + 20}, Qt::LeftButton);
    EXPECT_EQ(remover.GetLayoutWidget(), nullptr);
    SendEverything(f.layout, Qt::LeftButton);
    EXPECT_EQ(remover.vEvents.size(), 1u);
    f.Press({50, deleter->top() + 20}, Qt::LeftButton);
    f.Release({50, deleter->top() + 20}, Qt::LeftButton);
    EXPECT_TRUE(deletedGone);
    SendEverything(f.layout, Qt::NoButton);
    EXPECT_FALSE(removedGone);
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40));
}

TEST(Removal, DestroyingTheLayoutDuringAGrabFreesThePanels)
{
    CursorGuard cursors;
    RecordingPanel a("A"), b("B");
    b.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
    {
        GLLayout plain;
        ASSERT_TRUE(plain.AddWidget(&a) && plain.AddWidget(&b));
        b.setMouseTracking(true);
        ResizeLayout(plain, 100, 100);
        SendMouse(plain, QEvent::MouseButtonPress, {50, 70}, Qt::LeftButton, Qt::LeftButton);
        Move(plain, {50, 40});
        ASSERT_EQ(b.Count(QEvent::MouseMove), 1);
    }
    EXPECT_EQ(a.GetLayoutWidget(), nullptr);
    EXPECT_EQ(b.GetLayoutWidget(), nullptr);
    EXPECT_FALSE(b.isVisible());
}
