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
using Ints = std::vector<int>;

namespace
{
const int Max = GLBW::ciMaxCoord;

GLLayoutVector Entries(const std::vector<GLLayoutEntry>& entries)
{
    GLLayoutVector v;
    v.m_Entries = entries;
    return v;
}

Ints Sizes(const GLLayoutVector& v)
{
    Ints sizes;
    for (const GLLayoutEntry& e : v.m_Entries)
        sizes.push_back(e.m_iSize);
    return sizes;
}
} // namespace

TEST(Distribute, SharesByZoomWithinLimits)
{
    const std::vector<GLLayoutEntry> free3 = {{0, 2, Max, 1.0}, {0, 2, Max, 1.0}, {0, 2, Max, 1.0}},
                                     tight = {{0, 50, 80, 1.0}, {0, 40, 90, 1.0}},
                                     small = {{0, 2, 1000, 0.1}, {0, 2, 1000, 0.1}};
    const struct
    {
        std::vector<GLLayoutEntry> entries;
        int target, limit;
        bool forward, backward;
        Ints sizes;
    } cases[] = {{free3, 100, 100, false, false, {33, 33, 34}},
                 {{{0, 2, Max, 1.0}, {0, 2, Max, 0.5}}, 300, 300, false, false, {199, 101}},
                 {tight, 60, 1000, false, false, {50, 40}},   // below the minima: every minimum
                 {tight, 500, 1000, false, false, {80, 90}},  // beyond the maxima: every maximum
                 {small, 100, 200, true, false, {80, 20}},    // forward grows the first entry first
                 {small, 100, 200, false, true, {20, 80}}};
    for (const auto& c : cases) {
        GLLayoutVector v = Entries(c.entries);
        v.Distribute(c.target, c.limit, c.forward, c.backward);
        EXPECT_EQ(Sizes(v), c.sizes) << "target " << c.target << " forward " << c.forward << c.backward;
        if (c.sizes == Ints{33, 33, 34}) {
            EXPECT_DOUBLE_EQ(v.m_Entries[0].m_dZoom, 0.33) << "the zooms become the shares";
            EXPECT_DOUBLE_EQ(v.m_Entries[2].m_dZoom, 0.34);
        }
        if (c.sizes == Ints{80, 90}) {
            v.Sum();
            EXPECT_EQ(Ints({v.m_iSize, v.m_iMinimum, v.m_iMaximum}), Ints({170, 90, 170}));
        }
    }
    GLLayoutVector unbounded = Entries({{0, 2, 300, 1.0}, {0, 2, Max, 1.0}, {0, 2, 300, 1.0}});
    unbounded.Sum();
    EXPECT_EQ(unbounded.m_iMaximum, Max) << "an unbounded entry makes the sum unbounded";

    // A split moves the entries next to the boundary first.
    GLLayoutVector before = Entries({{0, 20, Max, 0.25}, {0, 20, Max, 0.25}}), after = before;
    TestLayout::CalcSplit(before, after, 150, 400);
    EXPECT_EQ(Sizes(before), Ints({100, 50}));
    EXPECT_EQ(Sizes(after), Ints({150, 100}));
}

TEST(Distribute, RandomEntrySetsStayWithinLimitsAndReachReachableTargets)
{
    std::mt19937 rng(20261206);
    std::uniform_int_distribution<int> count(1, 7), minimum(2, 120), extra(0, 400), target(-10, 2000), mode(0, 2);
    std::uniform_real_distribution<double> zoom(0.0, 3.0);
    for (int round = 0; round < 2000; ++round) {
        GLLayoutVector v;
        std::ostringstream input;
        for (int i = 0, n = count(rng); i < n; ++i) {
            const int lo = minimum(rng);
            const int hi = extra(rng) % 5 == 0 ? Max : lo + extra(rng);
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

TEST(Panel, PropertiesClampAreCheckedAndFreezeInALayout)
{
    RecordingErrorHandler errors;
    GLBaseWidget p("p");
    EXPECT_TRUE(p.SetHorizontalZoom(0.0) && p.GetHorizontalZoom() == 0.1);
    EXPECT_TRUE(p.SetHorizontalZoom(25.0) && p.GetHorizontalZoom() == 10.0);
    EXPECT_TRUE(p.SetHorizontalAlignment("x", GLBW::eAlignLeft, 1e-9) && p.GetHorizontalZoom() == 0.1);
    EXPECT_TRUE(p.SetVerticalZoom(std::nan("")));
    EXPECT_EQ(p.GetVerticalZoom(), 1.0) << "a zoom that is no number gets the neutral weight";
    EXPECT_TRUE(p.SetName(nullptr));
    EXPECT_STREQ(p.GetName(), "");
    EXPECT_FALSE(p.isVisible());
    EXPECT_EQ(p.parentWidget(), nullptr);
    EXPECT_EQ(p.GetFrameWidget(), nullptr);
    EXPECT_TRUE(errors.vLogged.empty());

    // Limits beyond the coordinate range are reported and held to it.
    p.setMinimumWidth(1);
    p.setMaximumWidth(1000001);
    p.setMinimumHeight(0);
    p.setMaximumHeight(2000000);
    EXPECT_EQ(Ints({p.minimumWidth(), p.maximumWidth()}), Ints({2, 1000000}));
    p.setMinimumWidth(2);
    p.setMaximumWidth(1000000);
    p.setMaximumWidth(0);
    EXPECT_EQ(p.maximumWidth(), 0) << "a maximum below the minimum is accepted";

    GLLayout layout;
    ASSERT_TRUE(p.SetName("p") && p.SetHorizontalAlignment("", GLBW::eAlignRight, 1.0));
    ASSERT_TRUE(layout.AddWidget(&p));
    EXPECT_FALSE(p.SetName("q"));
    EXPECT_STREQ(p.GetName(), "p");
    p.SetGlobalVisible(false);
    EXPECT_TRUE(p.IsGlobalVisible());
    EXPECT_FALSE(p.SetHorizontalAlignment("a", GLBW::eAlignLeft, 1.0));
    EXPECT_FALSE(p.SetVerticalAlignment("a", GLBW::eAlignTop, 1.0));
    EXPECT_FALSE(p.SetHorizontalZoom(2.0) || p.SetVerticalZoom(2.0) || p.SetVisibilityMaster("a"));
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"w < ciMinCoord", "setMinimumWidth"},       {"w > ciMaxCoord", "setMaximumWidth"},
        {"h < ciMinCoord", "setMinimumHeight"},      {"h > ciMaxCoord", "setMaximumHeight"},
        {"m_pSplitGroup != 0", "SetName"},           {"m_pSplitGroup != 0", "SetVisible"},
        {"m_pSplitGroup != 0", "SetHorizontalAlignment"}, {"m_pSplitGroup != 0", "SetVerticalAlignment"},
        {"m_pSplitGroup != 0", "SetHorizontalZoom"}, {"m_pSplitGroup != 0", "SetVerticalZoom"},
        {"m_pSplitGroup != 0", "SetVisibilityMaster"}};
    ASSERT_EQ(errors.vLogged.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(errors.vLogged[i].sMessage, expected[i].first);
        EXPECT_EQ(errors.vLogged[i].sFunction, expected[i].second);
        EXPECT_EQ(errors.vLogged[i].sClass, "GLBaseWidget");
        EXPECT_TRUE(errors.vLogged[i].sFile.endsWith("controls/glbase/glbasewidget"));
    }
    EXPECT_EQ(p.GetLayoutWidget(), &layout);
    EXPECT_TRUE(p.isVisible());
}

// B below A; B's limit changes take effect at the next frame, and a hosted widget follows B.
TEST(Panel, LimitsApplyAtTheNextFrameAndAHostedWidgetFollows)
{
    RecordingErrorHandler errors;
    GLLayout layout;
    RecordingPanel a("a"), b("b", false);
    QWidget hosted(&layout);
    hosted.setMinimumHeight(30);
    b.SetVerticalAlignment("a", GLBW::eAlignBottom, 1.0);
    b.SetQWidget(&hosted);
    EXPECT_TRUE(b.IsBorderWidget()) << "a hosting panel gets no strip";
    EXPECT_EQ(Ints({b.minimumHeight(), b.maximumHeight()}), Ints({30, 1000000}));
    ASSERT_TRUE(errors.Logged("h > ciMaxCoord")) << "Qt's unbounded height is beyond the panel's range";
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b));
    ResizeLayout(layout, 120, 100);
    EXPECT_EQ(hosted.geometry(), QRect(0, 41, 120, 59));
    EXPECT_FALSE(hosted.isHidden());
    b.setMinimumHeight(90);
    EXPECT_EQ(b.height(), 59);
    QImage img;
    ASSERT_TRUE(layout.RenderToImage(&img));
    EXPECT_EQ(Rect(a), QRect(0, 0, 120, 9));
    EXPECT_EQ(Rect(b), QRect(0, 9, 120, 91));
    EXPECT_EQ(hosted.geometry(), Rect(b));

    // An unchanged size sends no resize event, but the position still follows.
    const int resizes = b.iResizes;
    ResizeLayout(layout, 120, 100);
    EXPECT_EQ(b.iResizes, resizes);
    ResizeLayout(layout, 120, 200);
    EXPECT_EQ(b.iResizes, resizes + 1);
    layout.Show(&b, false);
    EXPECT_TRUE(hosted.isHidden());
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
    void ExpectFailure(GLBaseWidget& w, const std::string& message)
    {
        const std::string before = DumpTree(layout.GetRootGroup());
        EXPECT_FALSE(layout.AddWidget(&w)) << message;
        ASSERT_FALSE(errors.vLogged.empty()) << message;
        EXPECT_EQ(errors.vLogged.back().sMessage, message.c_str());
        EXPECT_EQ(errors.vLogged.back().sFunction, "AddWidget");
        EXPECT_EQ(errors.vLogged.back().sClass, "GLFrameWidget");
        EXPECT_EQ(DumpTree(layout.GetRootGroup()), before) << message;
        if (&w != &a)
            EXPECT_EQ(w.GetLayoutWidget(), nullptr) << message;
    }
};
} // namespace

TEST(Tree, EveryPlacementFailureIsReportedAndChangesNothing)
{
    {
        TreeFixture f;
        EXPECT_EQ(DumpTree(f.layout.GetRootGroup()), "H[V[A],V*[H[R*]],V[B]]");
        EXPECT_FALSE(f.layout.AddWidget(nullptr));
        EXPECT_EQ(f.errors.vLogged.back().sMessage, "pWidget == 0");
        f.ExpectFailure(f.a, "Widget found");
        const struct
        {
            const char* h;
            GLBW::eHorizontalAlignment ha;
            const char* v;
            GLBW::eVerticalAlignment va;
            const char* message;
        } cases[] = {{"", GLBW::eAlignRight, "", GLBW::eAlignBottom, "No master"},
                     {"A", GLBW::eAlignSameColumn, "A", GLBW::eAlignSameRow, "Parent of horizontal master is vertical"},
                     {"R", GLBW::eAlignSameColumn, "R", GLBW::eAlignSameRow, "Parent of vertical master is horizontal"},
                     {"R", GLBW::eAlignSameColumn, "B", GLBW::eAlignSameRow,
                      "Parents of horizontal/vertical master doesn't match"},
                     {"R", GLBW::eAlignSameColumn, "", GLBW::eAlignBottom, "Parent of horizontal master is horizontal"},
                     {"A", GLBW::eAlignSameColumn, "B", GLBW::eAlignBottom, "Parent of vertical master doesn't match"},
                     {"A", GLBW::eAlignRight, "R", GLBW::eAlignSameRow, "Parent of horizontal master doesn't match"},
                     {"A", GLBW::eAlignRight, "A", GLBW::eAlignBottom, "Horizontal and vertical master"},
                     {"nobody", GLBW::eAlignRight, "", GLBW::eAlignBottom, "No master"}};
        for (const auto& c : cases) {
            RecordingPanel w("W");
            w.SetHorizontalAlignment(c.h, c.ha, 1.0);
            w.SetVerticalAlignment(c.v, c.va, 1.0);
            f.ExpectFailure(w, c.message);
        }
        EXPECT_EQ(f.errors.vLogged[f.errors.vLogged.size() - 2].sMessage, "Widget name not found");
        EXPECT_EQ(f.errors.vLogged[f.errors.vLogged.size() - 2].sFunction, "nobody");
    }
    RecordingErrorHandler errors;
    GLLayout layout;
    RecordingPanel first("first"), second("second");
    first.SetVerticalAlignment("X", GLBW::eAlignBottom, 1.0);
    EXPECT_FALSE(layout.AddWidget(&first));
    EXPECT_EQ(errors.vLogged.back().sMessage, "Root master");
    EXPECT_EQ(layout.GetRootGroup(), nullptr);
    first.SetVerticalAlignment("", GLBW::eAlignBottom, 1.0);
    ASSERT_TRUE(layout.AddWidget(&first) && layout.RemoveWidget(&first));
    EXPECT_FALSE(layout.AddWidget(&second));
    EXPECT_EQ(errors.vLogged.back().sMessage, "m_pRootGroup != 0") << "the emptied tree still exists";
    layout.RemoveWidgets();
    EXPECT_TRUE(layout.AddWidget(&second));
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[second]]");
    GLLayout other; // a panel lives in one layout at a time
    EXPECT_FALSE(other.AddWidget(&second));
    EXPECT_EQ(errors.vLogged.back().sMessage, "Widget found");
    EXPECT_EQ(second.GetLayoutWidget(), &layout);
}

TEST(Tree, OrdersOfColumnAndTopAdditions)
{
    GLLayout below, above;
    RecordingPanel a1("A"), b1("B"), c1("C"), d1("D"), a2("A"), b2("B"), c2("C"), d2("D"), twin("A");
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
    EXPECT_TRUE(layout.AddLeftWidget(nullptr, 1.0) && layout.AddTopWidget(nullptr));
    ASSERT_TRUE(layout.AddLeftRightWidget(&l1, &r1, 1.0) && layout.AddTopWidget(&t1) && layout.AddBottomWidget(&b1));
    EXPECT_EQ(DumpTree(layout.GetRootGroup()),
              "H[V[T1UpperBorderWidget,T1,Top,"
              "H[V[Left,H[V[L1UpperBorderWidget,L1]]],V[Border],V*[H[Right*],H[R1*],H[R1UpperBorderWidget*]]],"
              "H[V[B1UpperBorderWidget,B1,Bottom]]]]");
    EXPECT_FALSE(layout.AddTopWidget(&t1));
    EXPECT_EQ(errors.vLogged.back().sMessage, "Widget found");
    for (const char* name : {"Top", "Left", "Right", "Bottom"})
        EXPECT_NE(layout.FindWidget(name), nullptr) << name;
    EXPECT_TRUE(layout.FindWidget("Border")->IsBorderWidget());
}

TEST(Tree, RemovalLeavesAnEmptyLeafAndShowFollowsVisibilityMasters)
{
    GLLayout layout;
    RecordingPanel a("A"), b("B", false), c("C");
    b.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
    c.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
    c.SetVisibilityMaster("B");
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b) && layout.AddWidget(&c));
    ResizeLayout(layout, 90, 90);
    EXPECT_EQ(Rect(c), QRect(0, 60, 90, 30));
    b.setVisible(false);
    EXPECT_FALSE(c.isVisible()) << "it follows its hidden visibility master";
    EXPECT_EQ(Rect(a), QRect(0, 0, 90, 90));
    EXPECT_EQ(layout.FindWidget(QPoint(10, 80)), &a);
    b.setVisible(true);
    EXPECT_TRUE(c.isVisible());
    EXPECT_EQ(Rect(c), QRect(0, 60, 90, 30));

    EXPECT_EQ(layout.FindWidget(QPoint(50, 45)), &b);
    ASSERT_TRUE(layout.RemoveWidget(&c));
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[BUpperBorderWidget,B]],H[V[-]]]]");
    EXPECT_TRUE(layout.RemoveWidget(&b));
    EXPECT_FALSE(layout.RemoveWidget(&b) || layout.RemoveWidget(nullptr));
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[-,-]],H[V[-]]]]") << "the strip went with it";
    EXPECT_FALSE(layout.IsLayoutVisible(&b) || b.isVisible());
    EXPECT_EQ(b.GetLayoutWidget(), nullptr);
    ResizeLayout(layout, 90, 91);
    for (int y = 0; y < 91; y += 5)
        EXPECT_EQ(layout.FindWidget(QPoint(50, y)), &a) << y;
    ASSERT_TRUE(layout.AddWidget(&b)) << "the old masters still fit";
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[-,-]],H[V[-]],H[V[BUpperBorderWidget,B]]]]");
    EXPECT_TRUE(b.isVisible());
}

TEST(Arithmetic, GroupLimitsAndPanelsFarPastTheWindow)
{
    GLLayout row, column, mixed, far;
    RecordingPanel a("A"), b("B"), c("C"), d("D"), narrow("N"), wide("W"), f1("F1"), f2("F2"), f3("F3");
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
    EXPECT_EQ(column.maximumSize(), QSize(200, 1000000)) << "a column is as wide as its narrowest bounded panel";
    narrow.setMaximumWidth(16);
    wide.SetHorizontalAlignment("N", GLBW::eAlignSameColumn, 1.0);
    ASSERT_TRUE(mixed.AddWidget(&narrow) && mixed.AddWidget(&wide));
    EXPECT_EQ(mixed.maximumSize().width(), 1000000) << "one unbounded panel leaves its column unbounded";
    ResizeLayout(mixed, 300, 200);
    EXPECT_EQ(narrow.width(), 300) << "across its column a panel takes the column's width, limit or not";
    EXPECT_EQ(narrow.height() + wide.height(), 200);

    // Panels wider than the window lie past it, more than a million pixels out, where they are.
    for (RecordingPanel* p : {&f1, &f2, &f3})
        p->setMinimumWidth(Max);
    f2.SetHorizontalAlignment("F1", GLBW::eAlignRight, 1.0);
    f3.SetHorizontalAlignment("F2", GLBW::eAlignRight, 1.0);
    ASSERT_TRUE(far.AddWidget(&f1) && far.AddWidget(&f2) && far.AddWidget(&f3));
    ResizeLayout(far, 100, 50);
    EXPECT_EQ(Rect(f2), QRect(1000000, 0, 1000000, 50));
    EXPECT_EQ(Rect(f3), QRect(2000000, 0, 1000000, 50));
    EXPECT_EQ(far.FindWidget(QPoint(50, 25)), &f1);
}

namespace
{
const QRgb Red = 0xFFFF0000, Blue = 0xFF0000FF, Yellow = 0xFFFFFF00, Magenta = 0xFFFF00FF, Green = 0xFF00FF00;

// The standard layout with two left/right rows, each panel filled with its own colour, borders green.
struct StdFixture
{
    GLLayout layout;
    RecordingPanel l1{"L1", false}, r1{"R1", false}, l2{"L2", false}, r2{"R2", false};
    RecordingPanel* panels[4] = {&l1, &r1, &l2, &r2};
    StdFixture()
    {
        layout.SetBorderStyle(GL::GLFillStyle(GL::eFillSolid, QColor(Green), QColor()));
        const QRgb colours[] = {Red, Blue, Yellow, Magenta};
        for (int i = 0; i < 4; ++i)
            panels[i]->SetBackgroundStyle(GL::GLFillStyle(GL::eFillSolid, QColor(colours[i]), QColor()));
        EXPECT_TRUE(layout.CreateStdLayout(1.0));
        EXPECT_TRUE(layout.AddLeftRightWidget(&l1, &r1, 1.0) && layout.AddLeftRightWidget(&l2, &r2, 1.0));
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
    for (const QPoint& p : {QPoint(r.left() - 1, r.top()), QPoint(r.right() + 1, r.bottom()),
                            QPoint(r.left(), r.top() - 1), QPoint(r.right(), r.bottom() + 1)})
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

// The border column and a strip are fixed at 4 pixels and have no room to give, so the rows and
// columns beside them share the shrink from their preferred sizes in proportion to their rooms.
// Whatever the panels do not cover is border, and without borders there is none.
TEST(Arithmetic, StandardRowsTileTheWindowWithAndWithoutBorders)
{
    StdFixture f;
    const struct
    {
        bool borders;
        QSize window;
        QRect l1, r1, l2, r2;
    } cases[] = {
        {false, {400, 300}, {0, 0, 200, 150}, {200, 0, 200, 150}, {0, 150, 200, 150}, {200, 150, 200, 150}},
        // The pixel left over comes off the first row.
        {false, {600, 201}, {0, 0, 300, 100}, {300, 0, 300, 100}, {0, 100, 300, 101}, {300, 100, 300, 101}},
        {true, {400, 300}, {0, 0, 198, 148}, {202, 0, 198, 148}, {0, 152, 198, 148}, {202, 152, 198, 148}},
        // Width 300: preferred 300 + 4 + 300, shrink 304 shared by rooms 298 and 298: 152 from each.
        // Height 200: the second row holds a strip (minimum 6), so rooms 198 and 194 share a shrink
        // of 200 as 101 and 98, and the pixel left comes off the first row: 98 + (4 + 98).
        {true, {300, 200}, {0, 0, 148, 98}, {152, 0, 148, 98}, {0, 102, 148, 98}, {152, 102, 148, 98}},
        {true, {600, 201}, {0, 0, 298, 99}, {302, 0, 298, 99}, {0, 103, 298, 98}, {302, 103, 298, 98}},
        {false, {600, 201}, {0, 0, 300, 100}, {300, 0, 300, 100}, {0, 100, 300, 101}, {300, 100, 300, 101}}};
    const QRgb colours[] = {Red, Blue, Yellow, Magenta};
    for (const auto& c : cases) {
        f.layout.SetShowBorders(c.borders);
        ResizeLayout(f.layout, c.window.width(), c.window.height());
        const QRect expected[] = {c.l1, c.r1, c.l2, c.r2};
        QImage img;
        ASSERT_TRUE(f.layout.RenderToImage(&img));
        int covered = 0;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(Rect(*f.panels[i]), expected[i]) << f.panels[i]->GetName() << " borders " << c.borders;
            ExpectFilled(img, expected[i], colours[i]);
            covered += expected[i].width() * expected[i].height();
        }
        EXPECT_EQ(CountColour(img, Green), c.window.width() * c.window.height() - covered) << c.borders;
    }
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
    EXPECT_EQ(recorded.GetFillStyle().FgColor(), QColor(Magenta));
    // In the panel's own coordinates: it is drawn inside the panel's viewport.
    EXPECT_EQ(QRect(int(recorded.Left()), int(recorded.Top()), int(recorded.Width()), int(recorded.Height())),
              QRect(QPoint(0, 0), Rect(f.r2).size()));
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
    for (const QSize& window : {QSize(400, 300), QSize(400, 320), QSize(400, 201), QSize(400, 333), QSize(400, 333),
                                QSize(400, 150)}) {
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
