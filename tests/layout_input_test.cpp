// Mouse, wheel and context-menu routing of the layout, sent as real Qt events: edge bands, splitter
// hover and drag, the left-button grab, middle-button panel moves, and panels that leave meanwhile.
#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

using GLBW = GLBaseWidget;
using Ints = std::vector<int>;

namespace
{
// Qt's cursor stack is process-wide: every test starts and ends without an override cursor.
struct CursorGuard
{
    CursorGuard() { EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); }
    ~CursorGuard()
    {
        for (GLLayout::RestoreOverrideCursor(); QGuiApplication::overrideCursor();)
            QGuiApplication::restoreOverrideCursor();
    }
};

Qt::CursorShape OverrideShape() // a bitmap cursor, which is never pushed, when there is none
{
    return QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::BitmapCursor;
}

int Brightness(QRgb pixel) { return qRed(pixel) + qGreen(pixel) + qBlue(pixel); }

// Two panels in a 200 x 200 window, no strips: B below A at (0, 100), or, across, right of A.
struct PairFixture
{
    CursorGuard cursors;
    GLLayout layout;
    RecordingPanel a{"A"}, b{"B"};
    explicit PairFixture(bool across = false)
    {
        EXPECT_TRUE(across ? b.SetHorizontalAlignment("A", GLBW::eAlignRight, 1.0)
                           : b.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0));
        EXPECT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b));
        a.setMouseTracking(true); // Qt drops moves without buttons otherwise
        ResizeLayout(layout, 200, 200);
    }
};
} // namespace

// A left press grabs the mouse for its panel until the release, in the panel's coordinates wherever the
// mouse goes; other buttons neither grab nor reach a panel. Menus and double clicks arrive in panel
// coordinates, the wheel in layout coordinates. Two pixels on every side of a panel are a band that no move
// reaches it through; only bands over a boundary between panels find one, and show the split cursor.
TEST(Routing, LeftPressGrabsUntilReleaseAndEdgeBandsBelongToTheSplitters)
{
    PairFixture f;
    Press(f.layout, {50, 150});
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonPress), QPoint(50, 50));
    Move(f.layout, {60, 100}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(60, 0));
    EXPECT_FALSE(f.layout.ActiveMouseAction()) << "a grab shows no splitter";
    Leave(f.layout); // a leave keeps the grab
    Move(f.layout, {-7, 230}, Qt::LeftButton);
    EXPECT_EQ(f.b.Last(QEvent::MouseMove), QPoint(-7, 130));
    Release(f.layout, {5, 5});
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonRelease), QPoint(5, -95));
    EXPECT_TRUE(f.a.vEvents.empty());
    // A press with a second button held, a right or a middle press (B follows its visible master A,
    // so it cannot be moved) reach nobody.
    SendMouse(f.layout, QEvent::MouseButtonPress, {50, 150}, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    Press(f.layout, {60, 170}, Qt::RightButton);
    Press(f.layout, {60, 170}, Qt::MiddleButton);
    EXPECT_FALSE(f.layout.ActiveMouseAction());
    Release(f.layout, {60, 170}, Qt::RightButton);
    // A has no master, so it can move, but not over B, which opens a row below it and goes with it.
    Press(f.layout, {60, 40}, Qt::MiddleButton);
    Move(f.layout, {60, 170}, Qt::MiddleButton);
    Release(f.layout, {60, 170}, Qt::MiddleButton);
    EXPECT_EQ(f.b.top(), 100);
    Move(f.layout, {50, 40}, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(f.a.Last(QEvent::MouseMove), QPoint(50, 40)) << "after the release moves go by position again";
    EXPECT_EQ(f.b.vEvents.size(), 4u);

    Menu(f.layout, {60, 170});
    Wheel(f.layout, {60, 170});
    DoubleClick(f.layout, {70, 130});
    EXPECT_EQ(f.b.Last(QEvent::ContextMenu), QPoint(60, 70));
    EXPECT_EQ(f.b.Last(QEvent::Wheel), QPoint(60, 170));
    EXPECT_EQ(f.b.Last(QEvent::MouseButtonDblClick), QPoint(70, 30));

    const struct { QPoint at; RecordingPanel* receiver; QPoint local; bool boundary; } cases[] = {
        {{50, 150}, &f.b, {50, 50}, false},   {{50, 100}, nullptr, {}, true},     {{50, 101}, nullptr, {}, true},
        {{50, 198}, nullptr, {}, false},      {{50, 199}, nullptr, {}, false},    {{0, 150}, nullptr, {}, false},
        {{1, 150}, nullptr, {}, false},       {{198, 150}, nullptr, {}, false},   {{199, 150}, nullptr, {}, false},
        {{50, 102}, &f.b, {50, 2}, false},    {{50, 197}, &f.b, {50, 97}, false}, {{2, 150}, &f.b, {2, 50}, false},
        {{197, 150}, &f.b, {197, 50}, false}, {{50, 1}, nullptr, {}, false},      {{199, 50}, nullptr, {}, false},
        {{50, 98}, nullptr, {}, true},        {{50, 97}, &f.a, {50, 97}, false}};
    for (const auto& c : cases) {
        const size_t before = f.a.vEvents.size() + f.b.vEvents.size();
        Move(f.layout, c.at);
        const std::string at = std::to_string(c.at.x()) + "," + std::to_string(c.at.y());
        EXPECT_EQ(f.a.vEvents.size() + f.b.vEvents.size(), before + (c.receiver ? 1 : 0)) << at;
        if (c.receiver)
            EXPECT_EQ(c.receiver->Last(QEvent::MouseMove), c.local) << "in panel coordinates";
        EXPECT_EQ(f.layout.ActiveMouseAction(), c.boundary) << at;
        if (c.boundary || c.receiver) // over a band without one the cursor stays as it was
            EXPECT_EQ(OverrideShape(), c.boundary ? Qt::SplitVCursor : Qt::BitmapCursor) << at;
    }
    // Over a panel the layout shows its cursor. Hovering the boundary again and again pushes one
    // override cursor, which one restore removes.
    f.b.setCursor(Qt::CrossCursor);
    Move(f.layout, {50, 150});
    EXPECT_EQ(f.layout.cursor().shape(), Qt::CrossCursor);
    for (int i = 0; i < 3; ++i)
        Move(f.layout, {50, 100}), Move(f.layout, {60, 99});
    Move(f.layout, {50, 50});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "a second push would still be on the stack";
    EXPECT_EQ(f.layout.cursor().shape(), Qt::ArrowCursor);

    // A fixed panel has nothing to give, whether the one beyond the boundary has or not.
    for (RecordingPanel* p : {&f.a, &f.b}) {
        p->setMinimumHeight(100), p->setMaximumHeight(100);
        ResizeLayout(f.layout, 200, 201);
        Move(f.layout, {50, 150}), Move(f.layout, {50, 101});
        EXPECT_FALSE(f.layout.ActiveMouseAction()) << p->GetName() << " fixed";
    }
}

// A drag stops at the limits; a leave takes the boundary away until the release. The dragged sizes
// become the zooms, so the next pass gives the same rectangles and a longer window is shared by them.
TEST(Splitter, DragsStopAtTheLimitsAndTheirZoomsReproduceTheSizes)
{
    // Limits of A and B along the split; mouse moves along it with A's size after each; A's size when doubled.
    const struct { bool across; int minA, maxA, minB; std::vector<std::pair<int, int>> moves; int doubled; } cases[] = {
        {false, 30, GLBW::ciMaxCoord, 60, {{120, 120}, {190, 140}, {-40, 30}, {130, 130}}, 260},
        {true, 2, 150, 2, {{195, 150}, {1, 2}, {100, 100}}, 120}}; // A bounded: B takes most
    for (const auto& c : cases) {
        PairFixture f(c.across);
        auto at = [&](int along) { return c.across ? QPoint(along, 50) : QPoint(50, along); };
        auto size = [&](const RecordingPanel& p) { return c.across ? p.width() : p.height(); };
        auto resize = [&](int along, int cross) {
            ResizeLayout(f.layout, c.across ? along : cross, c.across ? cross : along);
        };
        (f.a.*(c.across ? &GLBW::setMinimumWidth : &GLBW::setMinimumHeight))(c.minA);
        (f.a.*(c.across ? &GLBW::setMaximumWidth : &GLBW::setMaximumHeight))(c.maxA);
        (f.b.*(c.across ? &GLBW::setMinimumWidth : &GLBW::setMinimumHeight))(c.minB);
        resize(200, 200);
        Move(f.layout, at(size(f.a) + 1));
        EXPECT_EQ(OverrideShape(), c.across ? Qt::SplitHCursor : Qt::SplitVCursor);
        Press(f.layout, at(size(f.a) + 1));
        for (const auto& [to, expected] : c.moves) {
            Move(f.layout, at(to), Qt::LeftButton);
            Menu(f.layout, at(to)); // no menu while dragging
            const Ints now = {size(f.a), c.across ? f.b.left() : f.b.top(), size(f.b)};
            EXPECT_EQ(now, Ints({expected, expected, 200 - expected})) << c.across << " to " << to;
        }
        const int dragged = c.moves.back().second;
        Leave(f.layout);
        Move(f.layout, at(40), Qt::LeftButton);
        EXPECT_EQ(size(f.a), dragged) << "a leave stops the drag";
        Release(f.layout, at(40));
        EXPECT_TRUE(f.b.vEvents.empty() && f.a.vEvents.empty()) << "a drag reaches no panel";
        resize(200, 201);
        EXPECT_EQ(Ints({size(f.a), size(f.b)}), Ints({dragged, 200 - dragged}));
        resize(400, 200);
        EXPECT_EQ(size(f.a), c.doubled);
    }
}

// A middle drag moves a row: its place is drawn and the row swaps with the one below once the mouse
// is past that row's middle. R2's top edge is the boundary of the left rows, which R2 follows: the
// bar spans both columns, four rows centred on the boundary and brighter while dragging, and the drag
// moves both rows.
TEST(Move, MiddleDragSwapsRowsOncePastTheMiddleAndRightRowsDragTheLeftRows)
{
    CursorGuard cursors;
    StdRows f; // L1 (0, 0, 200, 150) above L2
    QImage img, hover, drag;
    Press(f.layout, {50, 40}, Qt::MiddleButton);
    EXPECT_TRUE(f.layout.ActiveMouseAction());
    Move(f.layout, {50, 100}, Qt::MiddleButton);
    EXPECT_EQ(OverrideShape(), Qt::ClosedHandCursor);
    ASSERT_TRUE(f.layout.RenderToImage(&img));
    // The place of the row is tinted yellow, its copy at the mouse (60 pixels lower) white.
    const QRgb origin = img.pixel(100, 30), both = img.pixel(100, 100), copy = img.pixel(100, 180);
    EXPECT_TRUE(qRed(origin) > qBlue(origin) && qBlue(copy) > 0 && qRed(copy) == qBlue(copy));
    EXPECT_GT(Brightness(both), Brightness(origin)) << "origin and moved copy overlap here";
    EXPECT_EQ(img.pixel(300, 250), 0u) << "the other column is not part of the move, and panels have no fill";

    // Past the middle of the row below (225) the rows swap, the right partners with them; further
    // down and back up to the old middle no second swap; past the middle of the row now above they
    // trade back. A leave does not end the move.
    for (const auto& [y, top] :
         {std::pair{200, 0}, {224, 0}, {226, 150}, {260, 150}, {299, 150}, {200, 150}, {76, 150}, {74, 0}}) {
        if (y == 226)
            Leave(f.layout);
        Move(f.layout, {50, y}, Qt::MiddleButton);
        Menu(f.layout, {50, y}); // no menu while moving
        EXPECT_EQ(Ints({f.l1.top(), f.r1.top(), f.l2.top(), f.r2.top()}), Ints({top, top, 150 - top, 150 - top})) << y;
    }
    // Outside every panel there is nowhere to go: the cursor says so and nothing moves.
    Move(f.layout, {500, 74}, Qt::MiddleButton);
    EXPECT_EQ(OverrideShape(), Qt::ForbiddenCursor);
    Release(f.layout, {500, 74}, Qt::MiddleButton);
    EXPECT_FALSE(f.layout.ActiveMouseAction() || QGuiApplication::overrideCursor() || f.l1.top() != 0);

    Move(f.layout, {300, 151});
    ASSERT_TRUE(f.layout.ActiveMouseAction() && f.layout.RenderToImage(&hover));
    Press(f.layout, {300, 151});
    ASSERT_TRUE(f.layout.RenderToImage(&drag));
    for (int y = 146; y <= 154; ++y)
        for (int x : {0, 190, 210, 399}) {
            const bool bar = y >= 148 && y <= 151;
            EXPECT_EQ(Brightness(hover.pixel(x, y)) > 0, bar) << x << "," << y;
            EXPECT_EQ(Brightness(drag.pixel(x, y)) > Brightness(hover.pixel(x, y)), bar) << x << "," << y;
        }
    Move(f.layout, {300, 100}, Qt::LeftButton), Release(f.layout, {300, 100});
    EXPECT_EQ(Ints({f.l1.height(), f.r1.height(), f.l2.top(), f.r2.top()}), Ints({100, 100, 100, 100}));
    EXPECT_TRUE(f.l1.vEvents.empty() && f.r1.vEvents.empty() && f.l2.vEvents.empty() && f.r2.vEvents.empty());
}

// A panel that leaves takes the drag (of its boundary), the move or the grab it is part of with it;
// a move of another panel goes on, and clearing the tree ends everything. Events go by position again.
TEST(Removal, LeavingPanelsEndTheActionsTheyArePartOf)
{
    enum Action { Drag, MoveL1, Grab };
    // Who leaves (null: every panel) and whether the move goes on.
    const struct { Action action; RecordingPanel StdRows::*leaving; bool moving; } cases[] = {
        {Drag, &StdRows::l2, false}, {MoveL1, &StdRows::l1, false}, {MoveL1, &StdRows::r2, true},
        {MoveL1, nullptr, false}, {Grab, &StdRows::l1, false}};
    for (const auto& c : cases) {
        CursorGuard cursors;
        StdRows f;
        const Qt::MouseButton button = c.action == MoveL1 ? Qt::MiddleButton : Qt::LeftButton;
        const QPoint start = c.action == Drag ? QPoint(50, 151) : QPoint(50, 40);
        Move(f.layout, start), Press(f.layout, start, button);
        Move(f.layout, {50, 120}, button);
        const size_t before = f.l1.vEvents.size();
        const QRect l1 = Rect(f.l1);
        if (c.leaving)
            EXPECT_TRUE(f.layout.RemoveWidget(&(f.*c.leaving)));
        else
            f.layout.RemoveWidgets();
        EXPECT_EQ(QGuiApplication::overrideCursor() != nullptr, c.moving) << c.action;
        Move(f.layout, {50, 90}, button);
        EXPECT_EQ(f.layout.ActiveMouseAction(), c.moving || c.action == Drag) << c.action;
        EXPECT_EQ(Rect(f.l1), l1) << "a drag with no boundary left moves nothing";
        // Every kind of event at a few places; whatever is still in the layout may receive them.
        for (const QPoint p : {QPoint(50, 200), QPoint(50, 151), QPoint(50, 40), QPoint(-5, 300)})
            Move(f.layout, p, button), Wheel(f.layout, p), Menu(f.layout, p), DoubleClick(f.layout, p);
        Release(f.layout, {50, 200}), Release(f.layout, {50, 200}, Qt::MiddleButton);
        Leave(f.layout);
        EXPECT_FALSE(f.layout.ActiveMouseAction());
        if (c.leaving)
            EXPECT_EQ((f.*c.leaving).vEvents.size(), c.leaving == &StdRows::l1 ? before : 0u) << c.action;
        const bool wheeled = f.l2.Last(QEvent::Wheel) != QPoint(-9999, -9999);
        EXPECT_EQ(wheeled, f.l2.GetLayoutWidget() != nullptr) << "routing goes on for the rest";
    }
}
