// Panels, the layout tree, the layout arithmetic and the painted panel rectangles.
#include "glcommonwidget.h"
#include "glpainter.h"
#include "support/layout_fixture.h"
#include "support/render_fixture.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <random>
#include <sstream>

using GLBW = GLBaseWidget;
using GL = GLFrameWidget;

namespace
{
GLLayoutVector Entries(std::initializer_list<GLLayoutEntry> entries)
{
    GLLayoutVector v;
    v.m_Entries = entries;
    return v;
}

std::vector<int> Sizes(const GLLayoutVector& v)
{
    std::vector<int> sizes;
    for (const GLLayoutEntry& e : v.m_Entries)
        sizes.push_back(e.m_iSize);
    return sizes;
}

const GLLayoutEntry Free{0, 2, GLBW::ciMaxCoord, 1.0};
} // namespace

TEST(Distribute, SharesByZoomWithinLimits)
{
    GLLayoutVector three = Entries({Free, Free, Free});
    three.Distribute(100, 100, false, false);
    EXPECT_EQ(Sizes(three), (std::vector<int>{33, 33, 34}));
    EXPECT_DOUBLE_EQ(three.m_Entries[0].m_dZoom, 0.33);
    EXPECT_DOUBLE_EQ(three.m_Entries[2].m_dZoom, 0.34);

    GLLayoutVector two = Entries({Free, {0, 2, GLBW::ciMaxCoord, 0.5}});
    two.Distribute(300, 300, false, false);
    EXPECT_EQ(Sizes(two), (std::vector<int>{199, 101}));

    GLLayoutVector tight = Entries({{0, 50, 80, 1.0}, {0, 40, 90, 1.0}});
    tight.Distribute(60, 1000, false, false);
    EXPECT_EQ(Sizes(tight), (std::vector<int>{50, 40})) << "below the minima every entry gets its minimum";
    tight.Distribute(500, 1000, false, false);
    EXPECT_EQ(Sizes(tight), (std::vector<int>{80, 90})) << "beyond the maxima every entry gets its maximum";
    tight.Sum();
    EXPECT_EQ(tight.m_iSize, 170);
    EXPECT_EQ(tight.m_iMinimum, 90);
    EXPECT_EQ(tight.m_iMaximum, 170);

    GLLayoutVector unbounded = Entries({{0, 2, 300, 1.0}, {0, 2, GLBW::ciMaxCoord, 1.0}, {0, 2, 300, 1.0}});
    unbounded.Sum();
    EXPECT_EQ(unbounded.m_iMaximum, GLBW::ciMaxCoord) << "an unbounded entry makes the sum unbounded";

    GLLayoutVector forward = Entries({{0, 2, 1000, 0.1}, {0, 2, 1000, 0.1}});
    forward.Distribute(100, 200, true, false);
    EXPECT_EQ(Sizes(forward), (std::vector<int>{80, 20})) << "forward grows the first entry first";
    GLLayoutVector backward = Entries({{0, 2, 1000, 0.1}, {0, 2, 1000, 0.1}});
    backward.Distribute(100, 200, false, true);
    EXPECT_EQ(Sizes(backward), (std::vector<int>{20, 80}));
}

TEST(Distribute, SplitMovesTheEntriesNextToTheBoundaryFirst)
{
    GLLayoutVector before = Entries({{0, 20, GLBW::ciMaxCoord, 0.25}, {0, 20, GLBW::ciMaxCoord, 0.25}});
    GLLayoutVector after = before;
    TestLayout::CalcSplit(before, after, 150, 400);
    EXPECT_EQ(Sizes(before), (std::vector<int>{100, 50}));
    EXPECT_EQ(Sizes(after), (std::vector<int>{150, 100}));
}

TEST(Distribute, RandomEntrySetsStayWithinLimitsAndReachReachableTargets)
{
    std::mt19937 rng(20261206);
    for (int round = 0; round < 2000; ++round) {
        std::uniform_int_distribution<int> count(1, 7), minimum(2, 120), extra(0, 400), target(-10, 2000), mode(0, 2);
        std::uniform_real_distribution<double> zoom(0.0, 3.0);
        GLLayoutVector v;
        std::ostringstream input;
        const int n = count(rng);
        for (int i = 0; i < n; ++i) {
            const int lo = minimum(rng);
            const int hi = extra(rng) % 5 == 0 ? GLBW::ciMaxCoord : lo + extra(rng);
            v.m_Entries.push_back({0, lo, hi, zoom(rng)});
            input << "(" << lo << "," << hi << "," << v.m_Entries.back().m_dZoom << ")";
        }
        const int t = target(rng), limit = std::max(t, 1) + extra(rng), m = mode(rng);
        input << " target " << t << " limit " << limit << " mode " << m;
        v.Distribute(t, limit, m == 1, m == 2);
        long long sum = 0, minima = 0, maxima = 0;
        for (const GLLayoutEntry& e : v.m_Entries) {
            EXPECT_GE(e.m_iSize, e.m_iMinimum) << input.str();
            if (e.m_iMinimum <= e.m_iMaximum) // a minimum beyond the cut maximum wins, as space runs out
                EXPECT_LE(e.m_iSize, std::max(e.m_iMinimum, std::min(e.m_iMaximum, limit))) << input.str();
            sum += e.m_iSize;
            minima += e.m_iMinimum;
            maxima += e.m_iMaximum;
        }
        if (minima <= t && t <= maxima)
            EXPECT_EQ(sum, t) << input.str();
    }
}

TEST(Panel, PlacementPropertiesClampAndFreezeInALayout)
{
    RecordingErrorHandler errors;
    GLBaseWidget p("p");
    EXPECT_TRUE(p.SetHorizontalZoom(0.0));
    EXPECT_EQ(p.GetHorizontalZoom(), 0.1);
    EXPECT_TRUE(p.SetHorizontalZoom(25.0));
    EXPECT_EQ(p.GetHorizontalZoom(), 10.0);
    EXPECT_TRUE(p.SetHorizontalAlignment("x", GLBW::eAlignLeft, 1e-9));
    EXPECT_EQ(p.GetHorizontalZoom(), 0.1);
    EXPECT_TRUE(p.SetVerticalZoom(std::nan("")));
    EXPECT_EQ(p.GetVerticalZoom(), 1.0) << "a zoom that is no number gets the neutral weight";
    EXPECT_TRUE(p.SetName(nullptr));
    EXPECT_STREQ(p.GetName(), "");
    EXPECT_FALSE(p.isVisible());
    EXPECT_EQ(p.parentWidget(), nullptr);
    EXPECT_EQ(p.GetFrameWidget(), nullptr);
    EXPECT_TRUE(errors.vLogged.empty());

    GLLayout layout;
    ASSERT_TRUE(p.SetName("p") && p.SetHorizontalAlignment("", GLBW::eAlignRight, 1.0));
    ASSERT_TRUE(layout.AddWidget(&p));
    EXPECT_FALSE(p.SetName("q"));
    EXPECT_STREQ(p.GetName(), "p");
    p.SetGlobalVisible(false);
    EXPECT_TRUE(p.IsGlobalVisible());
    EXPECT_FALSE(p.SetHorizontalAlignment("a", GLBW::eAlignLeft, 1.0));
    EXPECT_FALSE(p.SetVerticalAlignment("a", GLBW::eAlignTop, 1.0));
    EXPECT_FALSE(p.SetHorizontalZoom(2.0));
    EXPECT_FALSE(p.SetVerticalZoom(2.0));
    EXPECT_FALSE(p.SetVisibilityMaster("a"));
    const std::vector<const char*> functions = {"SetName", "SetVisible", "SetHorizontalAlignment",
                                                "SetVerticalAlignment", "SetHorizontalZoom", "SetVerticalZoom",
                                                "SetVisibilityMaster"};
    ASSERT_EQ(errors.vLogged.size(), functions.size());
    for (size_t i = 0; i < functions.size(); ++i) {
        EXPECT_EQ(errors.vLogged[i].sMessage, "m_pSplitGroup != 0");
        EXPECT_EQ(errors.vLogged[i].sFunction, functions[i]);
        EXPECT_EQ(errors.vLogged[i].sClass, "GLBaseWidget");
        EXPECT_TRUE(errors.vLogged[i].sFile.endsWith("controls/glbase/glbasewidget"));
    }
    EXPECT_EQ(p.GetLayoutWidget(), &layout);
    EXPECT_TRUE(p.isVisible());
}

TEST(Panel, LimitsAreCheckedAndMarkTheLayoutForTheNextFrame)
{
    RecordingErrorHandler errors;
    GLBaseWidget p("p");
    p.setMinimumWidth(1);
    p.setMaximumWidth(1000001);
    p.setMinimumHeight(0);
    p.setMaximumHeight(2000000);
    ASSERT_EQ(errors.vLogged.size(), 4u);
    EXPECT_EQ(errors.vLogged[0].sMessage, "w < ciMinCoord");
    EXPECT_EQ(errors.vLogged[1].sMessage, "w > ciMaxCoord");
    EXPECT_EQ(errors.vLogged[2].sMessage, "h < ciMinCoord");
    EXPECT_EQ(errors.vLogged[3].sMessage, "h > ciMaxCoord");
    EXPECT_EQ(errors.vLogged[3].sFunction, "setMaximumHeight");
    EXPECT_EQ(p.minimumWidth(), 2);
    EXPECT_EQ(p.maximumWidth(), 1000000);
    p.setMinimumWidth(2);
    p.setMaximumWidth(1000000);
    p.setMaximumWidth(0);
    EXPECT_EQ(errors.vLogged.size(), 4u);
    EXPECT_EQ(p.maximumWidth(), 0) << "a maximum below the minimum is accepted";

    // In a layout a limit change takes effect at the next frame, not at once.
    GLLayout layout;
    RecordingPanel a("a"), b("b");
    b.SetVerticalAlignment("a", GLBW::eAlignBottom, 1.0);
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b));
    ResizeLayout(layout, 200, 200);
    EXPECT_EQ(b.height(), 100);
    b.setMinimumHeight(150);
    EXPECT_EQ(b.height(), 100);
    QImage img;
    ASSERT_TRUE(layout.RenderToImage(&img));
    EXPECT_EQ(Rect(b), QRect(0, 40, 200, 160));
    EXPECT_EQ(Rect(a), QRect(0, 0, 200, 40));

    // An unchanged size sends no resize event, but the position still follows.
    const int resizes = b.iResizes;
    ResizeLayout(layout, 200, 200);
    EXPECT_EQ(b.iResizes, resizes);
    ResizeLayout(layout, 200, 300);
    EXPECT_EQ(b.iResizes, resizes + 1);
}

TEST(Panel, HostedWidgetFollowsThePanel)
{
    RecordingErrorHandler errors;
    GLLayout layout;
    RecordingPanel a("a"), b("b", false);
    QWidget hosted(&layout);
    hosted.setMinimumHeight(30);
    b.SetVerticalAlignment("a", GLBW::eAlignBottom, 1.0);
    b.SetQWidget(&hosted);
    EXPECT_TRUE(b.IsBorderWidget()) << "a hosting panel gets no strip";
    EXPECT_EQ(b.minimumHeight(), 30);
    EXPECT_EQ(b.maximumHeight(), 1000000);
    ASSERT_TRUE(errors.Logged("h > ciMaxCoord")) << "Qt's unbounded height is beyond the panel's range";
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b));
    ResizeLayout(layout, 120, 100);
    EXPECT_EQ(hosted.geometry(), QRect(0, 41, 120, 59));
    EXPECT_FALSE(hosted.isHidden());
    layout.Show(&b, false);
    EXPECT_TRUE(hosted.isHidden());
    EXPECT_EQ(b.GetLayoutWidget(), &layout);
}

namespace
{
// Panels for the tree rules: A the root, R beside A following its rows, B a column right of A.
struct TreeFixture
{
    RecordingErrorHandler errors;
    GLLayout layout;
    RecordingPanel a{"A"}, r{"R"}, b{"B"};
    TreeFixture()
    {
        r.SetVerticalAlignment("A", GLBW::eAlignSameRow, 1.0);
        b.SetHorizontalAlignment("A", GLBW::eAlignRight, 1.0);
        EXPECT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&r) && layout.AddWidget(&b));
        errors.vLogged.clear();
    }
    // Adds w and expects exactly this failure, with the tree unchanged.
    void ExpectFailure(GLBaseWidget& w, const char* message)
    {
        const std::string before = DumpTree(layout.GetRootGroup());
        EXPECT_FALSE(layout.AddWidget(&w)) << message;
        ASSERT_FALSE(errors.vLogged.empty()) << message;
        EXPECT_EQ(errors.vLogged.back().sMessage, message);
        EXPECT_EQ(errors.vLogged.back().sFunction, "AddWidget");
        EXPECT_EQ(errors.vLogged.back().sClass, "GLFrameWidget");
        EXPECT_EQ(DumpTree(layout.GetRootGroup()), before) << message;
        if (&w != &a)
            EXPECT_EQ(w.GetLayoutWidget(), nullptr) << message;
    }
};

std::unique_ptr<RecordingPanel> Panel(const char* h, GLBW::eHorizontalAlignment ha, const char* v,
                                      GLBW::eVerticalAlignment va)
{
    auto p = std::make_unique<RecordingPanel>("W");
    p->SetHorizontalAlignment(h, ha, 1.0);
    p->SetVerticalAlignment(v, va, 1.0);
    return p;
}
} // namespace

TEST(Tree, EveryPlacementFailureIsReportedAndChangesNothing)
{
    {
        TreeFixture f;
        EXPECT_EQ(DumpTree(f.layout.GetRootGroup()), "H[V[A],V*[H[R*]],V[B]]");
        EXPECT_FALSE(f.layout.AddWidget(nullptr));
        EXPECT_EQ(f.errors.vLogged.back().sMessage, "pWidget == 0");
        f.ExpectFailure(f.a, "Widget found");
        f.ExpectFailure(*Panel("", GLBW::eAlignRight, "", GLBW::eAlignBottom), "No master");
        f.ExpectFailure(*Panel("A", GLBW::eAlignSameColumn, "A", GLBW::eAlignSameRow),
                        "Parent of horizontal master is vertical");
        f.ExpectFailure(*Panel("R", GLBW::eAlignSameColumn, "R", GLBW::eAlignSameRow),
                        "Parent of vertical master is horizontal");
        f.ExpectFailure(*Panel("R", GLBW::eAlignSameColumn, "B", GLBW::eAlignSameRow),
                        "Parents of horizontal/vertical master doesn't match");
        f.ExpectFailure(*Panel("R", GLBW::eAlignSameColumn, "", GLBW::eAlignBottom),
                        "Parent of horizontal master is horizontal");
        f.ExpectFailure(*Panel("A", GLBW::eAlignSameColumn, "B", GLBW::eAlignBottom),
                        "Parent of vertical master doesn't match");
        f.ExpectFailure(*Panel("A", GLBW::eAlignRight, "R", GLBW::eAlignSameRow),
                        "Parent of horizontal master doesn't match");
        f.ExpectFailure(*Panel("A", GLBW::eAlignRight, "A", GLBW::eAlignBottom), "Horizontal and vertical master");
        f.ExpectFailure(*Panel("nobody", GLBW::eAlignRight, "", GLBW::eAlignBottom), "No master");
        EXPECT_EQ(f.errors.vLogged[f.errors.vLogged.size() - 2].sMessage, "Widget name not found");
        EXPECT_EQ(f.errors.vLogged[f.errors.vLogged.size() - 2].sFunction, "nobody");
    }
    {
        RecordingErrorHandler errors;
        GLLayout layout;
        RecordingPanel first("first");
        first.SetVerticalAlignment("X", GLBW::eAlignBottom, 1.0);
        EXPECT_FALSE(layout.AddWidget(&first));
        EXPECT_EQ(errors.vLogged.back().sMessage, "Root master");
        EXPECT_EQ(layout.GetRootGroup(), nullptr);
        first.SetVerticalAlignment("", GLBW::eAlignBottom, 1.0);
        ASSERT_TRUE(layout.AddWidget(&first));
        EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[first]]");
        ASSERT_TRUE(layout.RemoveWidget(&first));
        RecordingPanel second("second");
        EXPECT_FALSE(layout.AddWidget(&second));
        EXPECT_EQ(errors.vLogged.back().sMessage, "m_pRootGroup != 0") << "the emptied tree still exists";
        layout.RemoveWidgets();
        EXPECT_TRUE(layout.AddWidget(&second));
        EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[second]]");
        // A panel lives in one layout at a time.
        GLLayout other;
        EXPECT_FALSE(other.AddWidget(&second));
        EXPECT_EQ(errors.vLogged.back().sMessage, "Widget found");
        EXPECT_EQ(second.GetLayoutWidget(), &layout);
    }
}

TEST(Tree, OrdersOfColumnAndTopAdditions)
{
    GLLayout below, above;
    RecordingPanel a1("A"), b1("B"), c1("C"), d1("D"), a2("A"), b2("B"), c2("C"), d2("D");
    ASSERT_TRUE(below.AddWidget(&a1) && above.AddWidget(&a2));
    for (RecordingPanel* p : {&b1, &c1, &d1}) {
        p->SetHorizontalAlignment("A", GLBW::eAlignSameColumn, 1.0);
        ASSERT_TRUE(below.AddWidget(p));
    }
    for (RecordingPanel* p : {&b2, &c2, &d2}) {
        p->SetVerticalAlignment("A", GLBW::eAlignTop, 1.0);
        ASSERT_TRUE(above.AddWidget(p));
    }
    EXPECT_EQ(DumpTree(below.GetRootGroup()), "H[V[A,B,C,D]]");
    EXPECT_EQ(DumpTree(above.GetRootGroup()), "H[V[H[V[D]],H[V[C]],H[V[B]],A]]");

    // Names need not be unique: the first added wins every lookup.
    RecordingPanel twin("A");
    twin.SetHorizontalAlignment("A", GLBW::eAlignLeft, 1.0);
    ASSERT_TRUE(below.AddWidget(&twin));
    EXPECT_EQ(below.FindWidget("A"), &a1);
    EXPECT_EQ(DumpTree(below.GetRootGroup()), "H[V[A],V[A,B,C,D]]");
}

TEST(Tree, StandardLayoutWithItsAdders)
{
    RecordingErrorHandler errors;
    GLLayout layout;
    RecordingPanel t1("T1", false), l1("L1", false), r1("R1", false), b1("B1", false);
    EXPECT_FALSE(layout.AddLeftWidget(&l1, 1.0)) << "no standard layout yet";
    ASSERT_TRUE(layout.CreateStdLayout(1.0));
    EXPECT_FALSE(layout.CreateStdLayout(1.0));
    EXPECT_TRUE(layout.AddLeftWidget(nullptr, 1.0));
    EXPECT_TRUE(layout.AddTopWidget(nullptr));
    ASSERT_TRUE(layout.AddLeftRightWidget(&l1, &r1, 1.0));
    ASSERT_TRUE(layout.AddTopWidget(&t1));
    ASSERT_TRUE(layout.AddBottomWidget(&b1));
    EXPECT_EQ(DumpTree(layout.GetRootGroup()),
              "H[V[T1UpperBorderWidget,T1,Top,"
              "H[V[Left,H[V[L1UpperBorderWidget,L1]]],V[Border],V*[H[Right*],H[R1*],H[R1UpperBorderWidget*]]],"
              "H[V[B1UpperBorderWidget,B1,Bottom]]]]");
    EXPECT_FALSE(layout.AddTopWidget(&t1));
    EXPECT_EQ(errors.vLogged.back().sMessage, "Widget found");
    for (const char* name : {"Top", "Left", "Border", "Right", "Bottom"})
        EXPECT_NE(layout.FindWidget(name), nullptr) << name;
    EXPECT_TRUE(layout.FindWidget("Border")->IsBorderWidget());
}

TEST(Tree, RemovalLeavesAnEmptyLeafAndAllowsReAdding)
{
    GLLayout layout;
    RecordingPanel a("A"), b("B", false);
    b.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b));
    ResizeLayout(layout, 100, 100);
    EXPECT_EQ(layout.FindWidget(QPoint(50, 90)), &b);
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[BUpperBorderWidget,B]]]]");
    EXPECT_TRUE(layout.RemoveWidget(&b));
    EXPECT_FALSE(layout.RemoveWidget(&b));
    EXPECT_FALSE(layout.RemoveWidget(nullptr));
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[-,-]]]]") << "the strip went with it";
    EXPECT_FALSE(layout.IsLayoutVisible(&b));
    EXPECT_FALSE(b.isVisible());
    EXPECT_EQ(b.GetLayoutWidget(), nullptr);
    ResizeLayout(layout, 100, 101);
    for (int y = 0; y < 101; y += 5)
        EXPECT_NE(layout.FindWidget(QPoint(50, y)), &b);
    ASSERT_TRUE(layout.AddWidget(&b)) << "the old masters still fit";
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[-,-]],H[V[BUpperBorderWidget,B]]]]");
    EXPECT_TRUE(b.isVisible());
}

TEST(Tree, ShowAndVisibilityMasters)
{
    GLLayout layout;
    RecordingPanel a("A"), b("B"), c("C");
    b.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
    c.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
    c.SetVisibilityMaster("B");
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b) && layout.AddWidget(&c));
    ResizeLayout(layout, 90, 90);
    EXPECT_EQ(Rect(c), QRect(0, 60, 90, 30));
    b.setVisible(false);
    EXPECT_FALSE(b.isVisible());
    EXPECT_FALSE(c.isVisible()) << "it follows its hidden visibility master";
    EXPECT_EQ(Rect(a), QRect(0, 0, 90, 90));
    EXPECT_EQ(layout.FindWidget(QPoint(10, 80)), &a);
    b.setVisible(true);
    EXPECT_TRUE(c.isVisible());
    EXPECT_EQ(Rect(c), QRect(0, 60, 90, 30));
}

TEST(Arithmetic, GroupLimits)
{
    GLLayout row, column;
    RecordingPanel a("A"), b("B"), c("C"), d("D");
    a.setMinimumWidth(20);
    a.setMinimumHeight(7);
    b.setMinimumWidth(30);
    b.setMinimumHeight(5);
    b.SetHorizontalAlignment("A", GLBW::eAlignRight, 1.0);
    ASSERT_TRUE(row.AddWidget(&a) && row.AddWidget(&b));
    EXPECT_EQ(row.minimumSize(), QSize(50, 7)) << "widths add up across a row, heights take the largest";
    c.setMaximumWidth(300);
    d.setMaximumWidth(200);
    d.SetHorizontalAlignment("C", GLBW::eAlignSameColumn, 1.0);
    ASSERT_TRUE(column.AddWidget(&c) && column.AddWidget(&d));
    EXPECT_EQ(column.maximumSize().width(), 200) << "a column is as wide as its narrowest bounded panel";
    EXPECT_EQ(column.maximumSize().height(), 1000000);

    GLLayout mixed;
    RecordingPanel narrow("N"), wide("W");
    narrow.setMaximumWidth(16);
    wide.SetHorizontalAlignment("N", GLBW::eAlignSameColumn, 1.0);
    ASSERT_TRUE(mixed.AddWidget(&narrow) && mixed.AddWidget(&wide));
    EXPECT_EQ(mixed.maximumSize().width(), 1000000) << "one unbounded panel leaves its column unbounded";
    ResizeLayout(mixed, 300, 200);
    EXPECT_EQ(narrow.width(), 300) << "across its column a panel takes the column's width, limit or not";
    EXPECT_EQ(narrow.height() + wide.height(), 200);
}

// Panels wider than the window lie past it, more than a million pixels out, where they are.
TEST(Arithmetic, PanelsFarPastTheWindowKeepTheirPlaces)
{
    GLLayout row;
    RecordingPanel a("A"), b("B"), c("C");
    for (RecordingPanel* p : {&a, &b, &c})
        p->setMinimumWidth(GLBW::ciMaxCoord);
    b.SetHorizontalAlignment("A", GLBW::eAlignRight, 1.0);
    c.SetHorizontalAlignment("B", GLBW::eAlignRight, 1.0);
    ASSERT_TRUE(row.AddWidget(&a) && row.AddWidget(&b) && row.AddWidget(&c));
    ResizeLayout(row, 100, 50);
    EXPECT_EQ(Rect(b), QRect(1000000, 0, 1000000, 50));
    EXPECT_EQ(Rect(c), QRect(2000000, 0, 1000000, 50));
    EXPECT_EQ(row.FindWidget(QPoint(50, 25)), &a);
}

namespace
{
// The standard layout with two left/right rows, each panel filled with its own colour.
struct StdFixture
{
    TestLayout layout;
    RecordingPanel l1{"L1", false}, r1{"R1", false}, l2{"L2", false}, r2{"R2", false};
    StdFixture()
    {
        layout.SetBorderStyle(GL::GLFillStyle(GL::eFillSolid, QColor(0, 255, 0), QColor()));
        const QColor colours[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(255, 255, 0), QColor(255, 0, 255)};
        RecordingPanel* panels[] = {&l1, &r1, &l2, &r2};
        for (int i = 0; i < 4; ++i)
            panels[i]->SetBackgroundStyle(GL::GLFillStyle(GL::eFillSolid, colours[i], QColor()));
        EXPECT_TRUE(layout.CreateStdLayout(1.0));
        EXPECT_TRUE(layout.AddLeftRightWidget(&l1, &r1, 1.0));
        EXPECT_TRUE(layout.AddLeftRightWidget(&l2, &r2, 1.0));
    }
};

// Every pixel of the rectangle has the colour, and the pixels just outside it do not.
void ExpectFilled(const QImage& img, const QRect& r, QRgb colour)
{
    int wrong = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            wrong += img.pixel(x, y) != colour;
    EXPECT_EQ(wrong, 0) << "inside " << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    const QPoint outside[] = {{r.left() - 1, r.top()}, {r.right() + 1, r.bottom()}, {r.left(), r.top() - 1},
                              {r.right(), r.bottom() + 1}};
    for (const QPoint& p : outside)
        if (img.rect().contains(p))
            EXPECT_NE(img.pixel(p), colour) << "outside at " << p.x() << "," << p.y();
}

int CountColour(const QImage& img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}
} // namespace

TEST(Arithmetic, StandardLayoutRectanglesWithAndWithoutBorders)
{
    StdFixture f;
    ResizeLayout(f.layout, 400, 300);
    EXPECT_EQ(Rect(f.l1), QRect(0, 0, 200, 150));
    EXPECT_EQ(Rect(f.l2), QRect(0, 150, 200, 150));
    EXPECT_EQ(Rect(f.r1), QRect(200, 0, 200, 150));
    EXPECT_EQ(Rect(f.r2), QRect(200, 150, 200, 150));
    // An odd height still tiles the window with no gap.
    ResizeLayout(f.layout, 600, 201);
    EXPECT_EQ(Rect(f.l1).top(), 0);
    EXPECT_EQ(Rect(f.l2).top(), Rect(f.l1).bottom() + 1);
    EXPECT_EQ(Rect(f.l2).bottom(), 200);
    EXPECT_EQ(Rect(f.r2).top(), Rect(f.l2).top()) << "the right row follows its left partner";
    EXPECT_EQ(Rect(f.r1).left(), 300);

    // Borders: a 4-pixel border column and a 4-pixel strip between the rows, nothing else lost.
    ResizeLayout(f.layout, 400, 300);
    f.layout.SetShowBorders(true);
    EXPECT_EQ(Rect(f.l1).top(), 0);
    EXPECT_EQ(Rect(f.l2).top(), Rect(f.l1).bottom() + 1 + 4);
    EXPECT_EQ(Rect(f.l2).bottom(), 299);
    EXPECT_EQ(Rect(f.r1).left(), Rect(f.l1).right() + 1 + 4);
    EXPECT_EQ(Rect(f.r1).right(), 399);
    EXPECT_EQ(Rect(f.r1).top(), Rect(f.l1).top());
    EXPECT_EQ(Rect(f.r2).top(), Rect(f.l2).top());
}

// The border column and a strip are fixed at 4 pixels and have no room to give, so the rows and
// columns beside them share the shrink from their preferred sizes in proportion to their rooms.
TEST(Arithmetic, BordersTakeTheirPixelsFromBothSides)
{
    StdFixture f;
    f.layout.SetShowBorders(true);
    // Width 300: preferred 300 + 4 + 300, shrink 304 shared by rooms 298 and 298: 152 from each.
    // Height 200: the second row holds a strip (minimum 6), so rooms 198 and 194 share a shrink of
    // 200 as 101 and 98, and the pixel left comes off the first row: 98 + (4 + 98).
    ResizeLayout(f.layout, 300, 200);
    EXPECT_EQ(Rect(f.l1), QRect(0, 0, 148, 98));
    EXPECT_EQ(Rect(f.r1), QRect(152, 0, 148, 98));
    EXPECT_EQ(Rect(f.l2), QRect(0, 102, 148, 98));
    EXPECT_EQ(Rect(f.r2), QRect(152, 102, 148, 98));

    // 600 x 201: 302 from each column; rows: shares 101 and 99 of 201, one more off the first.
    ResizeLayout(f.layout, 600, 201);
    EXPECT_EQ(Rect(f.l1), QRect(0, 0, 298, 99));
    EXPECT_EQ(Rect(f.l2), QRect(0, 103, 298, 98));
    EXPECT_EQ(Rect(f.r2), QRect(302, 103, 298, 98));

    // Without borders the same window splits 100 + 101: the pixel left over comes off the first row.
    f.layout.SetShowBorders(false);
    EXPECT_EQ(Rect(f.l1), QRect(0, 0, 300, 100));
    EXPECT_EQ(Rect(f.l2), QRect(0, 100, 300, 101));
    EXPECT_EQ(Rect(f.r1), QRect(300, 0, 300, 100));
}

namespace
{
std::string Text(QSize size) { return std::to_string(size.width()) + "x" + std::to_string(size.height()); }

// Every size that plot panels' size handlers and a hosted widget's resize events report.
struct SizeLog : ISizeHandler, QObject
{
    std::map<const void*, std::vector<std::string>> mSizes;
    void resized(QResizeEvent* event, GLCommonWidget* widget, int) override
    {
        mSizes[widget].push_back(Text(event->size()));
    }
    void prepareUpdate(GLCommonWidget*) override {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            mSizes[watched].push_back(Text(static_cast<QResizeEvent*>(event)->size()));
        return false;
    }
};
} // namespace

// With borders shown a pass keeps the strips that are already decided, so a panel below a strip,
// its right partner and a hosted widget below them are told only of their final sizes.
TEST(Arithmetic, BorderedPanelsAreToldOnlyOfTheirFinalSizes)
{
    GLLayout layout;
    auto log = std::make_shared<SizeLog>();
    GLCommonWidget l1("L1", &layout, GLCommonWidget::ePlotWindow), l2("L2", &layout, GLCommonWidget::ePlotWindow),
        r2("R2", &layout, GLCommonWidget::ePlotWindow);
    RecordingPanel r1("R1", false);
    GLBaseWidget l3("L3");
    QWidget hosted(&layout);
    l3.SetQWidget(&hosted);
    hosted.installEventFilter(log.get());
    for (GLCommonWidget* p : {&l1, &l2, &r2})
        p->addSizeObject(log, GLCommonWidget::eZOrderData);
    layout.SetShowBorders(true);
    ASSERT_TRUE(layout.CreateStdLayout(1.0) && layout.AddLeftRightWidget(&l1, &r1, 1.0) &&
                layout.AddLeftRightWidget(&l2, &r2, 1.0) && layout.AddLeftWidget(&l3, 1.0));
    ResizeLayout(layout, 400, 300);
    layout.show(); // a hidden widget's resize events wait until it is shown
    const void* watched[] = {&l1, &l2, &r2, &hosted};
    auto sizes = [&] { return std::vector<QSize>{Rect(l1).size(), Rect(l2).size(), Rect(r2).size(), hosted.size()}; };
    std::vector<QSize> before = sizes();
    log->mSizes.clear();
    const QSize windows[] = {{400, 300}, {400, 320}, {400, 201}, {400, 333}, {400, 333}, {400, 150}};
    for (const QSize& window : windows) {
        ResizeLayout(layout, window.width(), window.height());
        const std::vector<QSize> now = sizes();
        for (size_t i = 0; i < now.size(); ++i) {
            const std::vector<std::string> expected =
                now[i] == before[i] ? std::vector<std::string>{} : std::vector<std::string>{Text(now[i])};
            EXPECT_EQ(log->mSizes[watched[i]], expected) << "panel " << i << " in " << Text(window);
        }
        before = now;
        log->mSizes.clear();
        EXPECT_EQ(hosted.geometry(), Rect(l3));
    }
    EXPECT_EQ(Rect(l2).top(), Rect(l1).bottom() + 1 + 4) << "the second row lies below its strip";
    EXPECT_EQ(Rect(r2).top(), Rect(l2).top());
}

TEST(Pixels, EachBackgroundFillsItsRectangleAndStripsNeedBorders)
{
    StdFixture f;
    const QRgb red = 0xFFFF0000, blue = 0xFF0000FF, yellow = 0xFFFFFF00, magenta = 0xFFFF00FF, green = 0xFF00FF00;
    ResizeLayout(f.layout, 400, 300);
    QImage img;
    ASSERT_TRUE(f.layout.RenderToImage(&img));
    ExpectFilled(img, QRect(0, 0, 200, 150), red);
    ExpectFilled(img, QRect(200, 0, 200, 150), blue);
    ExpectFilled(img, QRect(0, 150, 200, 150), yellow);
    ExpectFilled(img, QRect(200, 150, 200, 150), magenta);
    EXPECT_EQ(CountColour(img, green), 0) << "no strips or border column without borders";

    f.layout.SetShowBorders(true);
    ASSERT_TRUE(f.layout.RenderToImage(&img));
    ExpectFilled(img, Rect(f.l1), red);
    ExpectFilled(img, Rect(f.r1), blue);
    ExpectFilled(img, Rect(f.l2), yellow);
    ExpectFilled(img, Rect(f.r2), magenta);
    // Whatever the panels do not cover is border: the column and the strips below the first row.
    EXPECT_EQ(CountColour(img, green),
              400 * 300 - [&] {
                  int covered = 0;
                  for (const RecordingPanel* p : {&f.l1, &f.r1, &f.l2, &f.r2})
                      covered += Rect(*p).width() * Rect(*p).height();
                  return covered;
              }());
    EXPECT_NE(img.pixel(0, 0), green) << "nothing above the first row";
}

TEST(Pixels, BackgroundThroughAPainterIsRecordedWithItsStyleAndPlace)
{
    StdFixture f;
    ResizeLayout(f.layout, 400, 300);
    GLMetaFile metafile;
    {
        GLPainter painter(nullptr);
        painter.begin(&metafile);
        f.r2.DrawBackground(painter);
    }
    ASSERT_EQ(metafile.Polygons().size(), 1u);
    const GL::GLPolygon& recorded = metafile.Polygons()[0];
    EXPECT_EQ(recorded.GetFillStyle().FgColor(), QColor(255, 0, 255));
    // In the panel's own coordinates: it is drawn inside the panel's viewport.
    EXPECT_EQ(QRect(int(recorded.Left()), int(recorded.Top()), int(recorded.Width()), int(recorded.Height())),
              QRect(QPoint(0, 0), Rect(f.r2).size()));
}
