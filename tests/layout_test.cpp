// Panels, the layout tree, the layout arithmetic and the painted panel rectangles.
#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include <QWidget>
#include <gtest/gtest.h>
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

// Sizes follow the zooms within the limits (maxima cut to the limit), then every zoom becomes the
// entry's share of its maximum. A split moves the entries next to the boundary first.
TEST(Distribute, SharesByZoomWithinLimits)
{
    const std::vector<GLLayoutEntry> free3(3, {0, 2, Max, 1.0}), tight = {{0, 50, 80, 1.0}, {0, 40, 90, 1.0}},
                                     small(2, {0, 2, 1000, 0.1});
    const struct
    {
        std::vector<GLLayoutEntry> entries;
        int target, limit;
        bool forward, backward;
        Ints sizes;
        double lastZoom;
    } cases[] = {{free3, 100, 100, false, false, {33, 33, 34}, 0.34},
                 {{{0, 2, Max, 1.0}, {0, 2, Max, 0.5}}, 300, 300, false, false, {199, 101}, 101.0 / 300},
                 {tight, 60, 1000, false, false, {50, 40}, 40.0 / 90}, // below the minima: every minimum
                 {tight, 500, 1000, false, false, {80, 90}, 1.0},      // beyond the maxima: every maximum
                 {small, 100, 200, true, false, {80, 20}, 0.1},        // forward grows the first entry first
                 {small, 100, 200, false, true, {20, 80}, 0.4}};
    for (const auto& c : cases) {
        GLLayoutVector v = Entries(c.entries);
        v.Distribute(c.target, c.limit, c.forward, c.backward);
        EXPECT_EQ(Sizes(v), c.sizes) << "target " << c.target << " forward " << c.forward << c.backward;
        EXPECT_DOUBLE_EQ(v.m_Entries.back().m_dZoom, c.lastZoom) << "target " << c.target;
    }
    GLLayoutVector sum = Entries({{80, 50, 80, 1.0}, {90, 40, 90, 1.0}, {0, 2, Max, 1.0}, {5, 2, 300, 1.0}});
    sum.Sum();
    EXPECT_EQ(Ints({sum.m_iSize, sum.m_iMinimum, sum.m_iMaximum}), Ints({175, 94, Max})) << "an unbounded entry";

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
            const int lo = minimum(rng), hi = extra(rng) % 5 == 0 ? Max : lo + extra(rng);
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

// Zooms are held to 0.1..10 and limits to the coordinate range; in a layout the placement is frozen.
TEST(Panel, PropertiesClampAreCheckedAndFreezeInALayout)
{
    RecordingErrorHandler errors;
    GLBaseWidget p("p");
    EXPECT_TRUE(p.SetHorizontalZoom(0.0) && p.GetHorizontalZoom() == 0.1);
    EXPECT_TRUE(p.SetHorizontalZoom(25.0) && p.GetHorizontalZoom() == 10.0);
    EXPECT_TRUE(p.SetHorizontalAlignment("x", GLBW::eAlignLeft, 1e-9) && p.GetHorizontalZoom() == 0.1);
    EXPECT_TRUE(p.SetVerticalZoom(std::nan("")) && p.GetVerticalZoom() == 1.0) << "no number: the neutral weight";
    EXPECT_TRUE(p.SetName(nullptr));
    EXPECT_STREQ(p.GetName(), "");
    EXPECT_FALSE(p.isVisible() || p.parentWidget() || p.GetFrameWidget()) << "in no layout";
    EXPECT_TRUE(errors.vLogged.empty());
    p.setMinimumWidth(1);
    p.setMaximumWidth(1000001);
    p.setMinimumHeight(0);
    p.setMaximumHeight(2000000);
    EXPECT_EQ(Ints({p.minimumWidth(), p.maximumWidth()}), Ints({2, 1000000}));
    p.setMaximumWidth(0);
    EXPECT_EQ(p.maximumWidth(), 0) << "a maximum below the minimum is accepted";

    GLLayout layout;
    ASSERT_TRUE(p.SetName("p") && p.SetHorizontalAlignment("", GLBW::eAlignRight, 1.0) && layout.AddWidget(&p));
    EXPECT_FALSE(p.SetName("q"));
    p.SetGlobalVisible(false);
    EXPECT_FALSE(p.SetHorizontalAlignment("a", GLBW::eAlignLeft, 1.0) ||
                 p.SetVerticalAlignment("a", GLBW::eAlignTop, 1.0));
    EXPECT_FALSE(p.SetHorizontalZoom(2.0) || p.SetVerticalZoom(2.0) || p.SetVisibilityMaster("a"));
    EXPECT_TRUE(p.GetLayoutWidget() == &layout && p.isVisible() && p.IsGlobalVisible());
    EXPECT_STREQ(p.GetName(), "p");
    using Logged = std::vector<std::pair<std::string, std::string>>;
    Logged logged, expected = {{"w < ciMinCoord", "setMinimumWidth"}, {"w > ciMaxCoord", "setMaximumWidth"},
                               {"h < ciMinCoord", "setMinimumHeight"}, {"h > ciMaxCoord", "setMaximumHeight"}};
    for (const char* function : {"SetName", "SetVisible", "SetHorizontalAlignment", "SetVerticalAlignment",
                                 "SetHorizontalZoom", "SetVerticalZoom", "SetVisibilityMaster"})
        expected.emplace_back("m_pSplitGroup != 0", function);
    for (const RecordingErrorHandler::Entry& e : errors.vLogged) {
        logged.emplace_back(e.sMessage.toStdString(), e.sFunction.toStdString());
        EXPECT_TRUE(e.sClass == "GLBaseWidget" && e.sFile.endsWith("controls/glbase/glbasewidget"));
    }
    EXPECT_EQ(logged, expected);
}

// B below A: B's limit changes take effect at the next frame, and a hosted widget follows B.
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
    layout.Show(&b, false);
    EXPECT_TRUE(hosted.isHidden());
}

// A refused addition is logged under AddWidget and leaves the tree and the panel as they were.
TEST(Tree, EveryPlacementFailureIsReportedAndChangesNothing)
{
    RecordingErrorHandler errors;
    GLLayout layout, fresh, other;
    RecordingPanel a("A"), r("R"), b("B"), first("first"), second("second"); // R follows A's rows, B right of A
    r.SetVerticalAlignment("A", GLBW::eAlignSameRow, 1.0);
    b.SetHorizontalAlignment("A", GLBW::eAlignRight, 1.0);
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&r) && layout.AddWidget(&b));
    const std::string tree = DumpTree(layout.GetRootGroup());
    EXPECT_EQ(tree, "H[V[A],V*[H[R*]],V[B]]");
    auto expectRefused = [&](GLLayout& l, GLBaseWidget* w, const char* message) {
        EXPECT_FALSE(l.AddWidget(w)) << message;
        ASSERT_FALSE(errors.vLogged.empty()) << message;
        const RecordingErrorHandler::Entry& e = errors.vLogged.back();
        EXPECT_TRUE(e.sMessage == message && e.sFunction == "AddWidget" && e.sClass == "GLFrameWidget")
            << message << ": " << e.sMessage.toStdString() << " in " << e.sFunction.toStdString();
    };
    expectRefused(layout, nullptr, "pWidget == 0");
    expectRefused(layout, &a, "Widget found");
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
        expectRefused(layout, &w, c.message);
        EXPECT_EQ(DumpTree(layout.GetRootGroup()), tree) << c.message;
        EXPECT_EQ(w.GetLayoutWidget(), nullptr) << c.message;
    }
    const RecordingErrorHandler::Entry& lookup = errors.vLogged[errors.vLogged.size() - 2];
    EXPECT_TRUE(lookup.sMessage == "Widget name not found" && lookup.sFunction == "nobody");

    // The first panel can have no master; an emptied tree stays until every panel is gone.
    first.SetVerticalAlignment("X", GLBW::eAlignBottom, 1.0);
    expectRefused(fresh, &first, "Root master");
    EXPECT_EQ(fresh.GetRootGroup(), nullptr);
    first.SetVerticalAlignment("", GLBW::eAlignBottom, 1.0);
    ASSERT_TRUE(fresh.AddWidget(&first) && fresh.RemoveWidget(&first));
    expectRefused(fresh, &second, "m_pRootGroup != 0");
    fresh.RemoveWidgets();
    EXPECT_TRUE(fresh.AddWidget(&second));
    EXPECT_EQ(DumpTree(fresh.GetRootGroup()), "H[V[second]]");
    expectRefused(other, &second, "Widget found"); // a panel lives in one layout at a time
    EXPECT_EQ(second.GetLayoutWidget(), &fresh);
}

TEST(Tree, AdditionOrdersAndTheStandardLayout)
{
    RecordingErrorHandler errors;
    GLLayout below, above, standard;
    RecordingPanel a1("A"), b1("B"), c1("C"), d1("D"), a2("A"), b2("B"), c2("C"), d2("D"), twin("A");
    ASSERT_TRUE(below.AddWidget(&a1) && above.AddWidget(&a2));
    for (RecordingPanel* p : {&b1, &c1, &d1})
        ASSERT_TRUE(p->SetHorizontalAlignment("A", GLBW::eAlignSameColumn, 1.0) && below.AddWidget(p));
    for (RecordingPanel* p : {&b2, &c2, &d2})
        ASSERT_TRUE(p->SetVerticalAlignment("A", GLBW::eAlignTop, 1.0) && above.AddWidget(p));
    EXPECT_EQ(DumpTree(below.GetRootGroup()), "H[V[A,B,C,D]]");
    EXPECT_EQ(DumpTree(above.GetRootGroup()), "H[V[H[V[D]],H[V[C]],H[V[B]],A]]");
    // Names need not be unique: the first added wins every lookup.
    ASSERT_TRUE(twin.SetHorizontalAlignment("A", GLBW::eAlignLeft, 1.0) && below.AddWidget(&twin));
    EXPECT_EQ(below.FindWidget("A"), &a1);
    EXPECT_EQ(DumpTree(below.GetRootGroup()), "H[V[A],V[A,B,C,D]]");

    // The standard arrangement; its adders take a null panel as nothing to do.
    RecordingPanel t1("T1", false), l1("L1", false), r1("R1", false), bottom("B1", false);
    EXPECT_FALSE(standard.AddLeftWidget(&l1, 1.0)) << "no standard layout yet";
    ASSERT_TRUE(standard.CreateStdLayout(1.0));
    EXPECT_FALSE(standard.CreateStdLayout(1.0));
    EXPECT_TRUE(standard.AddLeftWidget(nullptr, 1.0) && standard.AddTopWidget(nullptr));
    ASSERT_TRUE(standard.AddLeftRightWidget(&l1, &r1, 1.0) && standard.AddTopWidget(&t1) &&
                standard.AddBottomWidget(&bottom));
    EXPECT_EQ(DumpTree(standard.GetRootGroup()),
              "H[V[T1UpperBorderWidget,T1,Top,"
              "H[V[Left,H[V[L1UpperBorderWidget,L1]]],V[Border],V*[H[Right*],H[R1*],H[R1UpperBorderWidget*]]],"
              "H[V[B1UpperBorderWidget,B1,Bottom]]]]");
    EXPECT_FALSE(standard.AddTopWidget(&t1));
    EXPECT_EQ(errors.vLogged.back().sMessage, "Widget found");
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
    EXPECT_FALSE(layout.IsLayoutVisible(&b) || b.isVisible() || b.GetLayoutWidget());
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
    QWidget hosted(&mixed); // Qt's unbounded maximum is refused, with no error handler to tell
    wide.SetQWidget(&hosted);
    ResizeLayout(mixed, 300, 201);
    EXPECT_EQ(hosted.geometry(), Rect(wide));

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

// The border column and a strip are fixed at 4 pixels and have no room to give, so the rows and
// columns beside them share the shrink from their preferred sizes in proportion to their rooms.
// Whatever the panels do not cover is border, and without borders there is none. A pass keeps the
// strips already decided, so a left panel is told of its new size once, and of an unchanged one not at all.
// The background drawn through a painter is recorded in the panel's own coordinates.
TEST(Arithmetic, StandardRowsTileTheWindowWithAndWithoutBorders)
{
    StdRows f(true);
    const QRgb green = 0xFF00FF00, colours[4] = {0xFFFF0000, 0xFF0000FF, 0xFFFFFF00, 0xFFFF00FF}; // L1, R1, L2, R2
    f.layout.SetBorderStyle(GL::GLFillStyle(GL::eFillSolid, QColor(green), QColor()));
    for (int i = 0; i < 4; ++i)
        f.panels[i]->SetBackgroundStyle(GL::GLFillStyle(GL::eFillSolid, QColor(colours[i]), QColor()));
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
        // Width 401: shrink 405 shared by rooms 399 and 399, the pixel left off the left column, which keeps its size.
        {true, {401, 300}, {0, 0, 198, 148}, {202, 0, 199, 148}, {0, 152, 198, 148}, {202, 152, 199, 148}},
        // Width 300: preferred 300 + 4 + 300, shrink 304 shared by rooms 298 and 298: 152 from each.
        // Height 200: the second row holds a strip (minimum 6), so rooms 198 and 194 share a shrink
        // of 200 as 101 and 98, and the pixel left comes off the first row: 98 + (4 + 98).
        {true, {300, 200}, {0, 0, 148, 98}, {152, 0, 148, 98}, {0, 102, 148, 98}, {152, 102, 148, 98}},
        {true, {600, 201}, {0, 0, 298, 99}, {302, 0, 298, 99}, {0, 103, 298, 98}, {302, 103, 298, 98}},
        {false, {600, 201}, {0, 0, 300, 100}, {300, 0, 300, 100}, {0, 100, 300, 101}, {300, 100, 300, 101}}};
    for (const auto& c : cases) {
        f.layout.SetShowBorders(c.borders);
        QSize was[4];
        int told[4];
        for (int i = 0; i < 4; ++i) {
            was[i] = Rect(*f.panels[i]).size();
            told[i] = f.panels[i]->iResizes;
        }
        ResizeLayout(f.layout, c.window.width(), c.window.height());
        const QRect expected[] = {c.l1, c.r1, c.l2, c.r2};
        QImage img;
        ASSERT_TRUE(f.layout.RenderToImage(&img));
        int covered = 0;
        for (int i = 0; i < 4; ++i) {
            const QRect& r = expected[i];
            const std::string name = f.panels[i]->GetName() + std::string(c.borders ? " with borders" : "");
            EXPECT_EQ(Rect(*f.panels[i]), r) << name;
            if (i % 2 == 0) // a right partner takes its row's height before its column's width
                EXPECT_EQ(f.panels[i]->iResizes - told[i], r.size() == was[i] ? 0 : 1) << name << " resized";
            // Filled exactly: every pixel inside, none of those just outside.
            EXPECT_EQ(CountPixels(img, r, colours[i]), r.width() * r.height()) << name;
            EXPECT_EQ(CountPixels(img, r.adjusted(-1, -1, 1, 1), colours[i]), r.width() * r.height()) << name;
            covered += r.width() * r.height();
        }
        EXPECT_EQ(CountPixels(img, img.rect(), green), c.window.width() * c.window.height() - covered) << c.borders;
    }
    GLMetaFile metafile;
    {
        GLPainter painter(nullptr);
        painter.begin(&metafile);
        f.r2.DrawBackground(painter);
    }
    ASSERT_EQ(metafile.Polygons().size(), 1u);
    const GL::GLPolygon& recorded = metafile.Polygons()[0];
    EXPECT_EQ(recorded.GetFillStyle().FgColor(), QColor(colours[3]));
    EXPECT_EQ(QRectF(recorded.Left(), recorded.Top(), recorded.Width(), recorded.Height()),
              QRectF(QPointF(0, 0), QSizeF(Rect(f.r2).size())));
}
