// Panels, the layout tree, the layout arithmetic and the painted panel rectangles.
#include "support/panel_fixture.h"
#include "support/render_fixture.h"

#include <QWidget>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using GLBW = GLBaseWidget;
using GL = GLFrameWidget;
using Ints = std::vector<int>;

// Zooms are held to 0.1..10 and limits to the coordinate range; in a layout the placement is frozen.
TEST(Panel, PropertiesClampAreCheckedAndFreezeInALayout)
{
    RecordingErrorHandler errors;
    GLBaseWidget p("p");
    EXPECT_TRUE(p.SetHorizontalZoom(0.0) && p.GetHorizontalZoom() == 0.1);
    EXPECT_TRUE(p.SetHorizontalZoom(25.0) && p.GetHorizontalZoom() == 10.0);
    EXPECT_TRUE(p.SetHorizontalAlignment("x", GLBW::eAlignLeft, 1e-9) && p.GetHorizontalZoom() == 0.1);
    EXPECT_TRUE(p.SetVerticalZoom(std::nan("")) && p.GetVerticalZoom() == 1.0) << "no number: the neutral weight";
    EXPECT_TRUE(p.SetName(nullptr) && !*p.GetName());
    EXPECT_FALSE(p.isVisible() || p.parentWidget() || p.GetFrameWidget()) << "in no layout";
    p.setMinimumWidth(1), p.setMaximumWidth(1000001), p.setMinimumHeight(0), p.setMaximumHeight(2000000);
    EXPECT_EQ(Ints({p.minimumWidth(), p.maximumWidth()}), Ints({2, 1000000}));

    GLLayout layout;
    ASSERT_TRUE(p.SetName("p") && p.SetHorizontalAlignment("", GLBW::eAlignRight, 1.0) && layout.AddWidget(&p));
    EXPECT_FALSE(p.SetName("q"));
    p.SetGlobalVisible(false);
    EXPECT_FALSE(p.SetHorizontalAlignment("a", GLBW::eAlignLeft, 1.0) ||
                 p.SetVerticalAlignment("a", GLBW::eAlignTop, 1.0));
    EXPECT_FALSE(p.SetHorizontalZoom(2.0) || p.SetVerticalZoom(2.0) || p.SetVisibilityMaster("a"));
    EXPECT_TRUE(p.GetLayoutWidget() == &layout && p.isVisible() && p.IsGlobalVisible() && !strcmp(p.GetName(), "p"));
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

// A refused addition is logged under AddWidget and leaves the tree and the panel as they were.
TEST(Tree, EveryPlacementFailureIsReportedAndChangesNothing)
{
    RecordingErrorHandler errors;
    GLLayout layout, fresh, other;
    RecordingPanel a("A"), r("R"), b("B"), first("first"), second("second"); // R follows A's rows, B right of A
    r.SetVerticalAlignment("A", GLBW::eAlignSameRow, 1.0);
    b.SetHorizontalAlignment("A", GLBW::eAlignRight, 1.0);
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&r) && layout.AddWidget(&b));
    const std::string tree = "H[V[A],V*[H[R*]],V[B]]";
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), tree);
    auto expectRefused = [&](GLLayout& l, GLBaseWidget* w, const char* message) {
        ASSERT_TRUE(!l.AddWidget(w) && !errors.vLogged.empty()) << message;
        const RecordingErrorHandler::Entry& e = errors.vLogged.back();
        EXPECT_TRUE(e.sMessage == message && e.sFunction == "AddWidget" && e.sClass == "GLFrameWidget")
            << message << ": " << e.sMessage.toStdString() << " in " << e.sFunction.toStdString();
    };
    expectRefused(layout, nullptr, "pWidget == 0");
    expectRefused(layout, &a, "Widget found");
    // Masters (horizontal, vertical) that a new panel cannot have, and the message each gives.
    const struct { const char* h; GLBW::eHorizontalAlignment ha; const char* v; GLBW::eVerticalAlignment va;
                   const char* message; } cases[] = {
        {"", GLBW::eAlignRight, "", GLBW::eAlignBottom, "No master"},
        {"A", GLBW::eAlignSameColumn, "A", GLBW::eAlignSameRow, "Parent of horizontal master is vertical"},
        {"R", GLBW::eAlignSameColumn, "R", GLBW::eAlignSameRow, "Parent of vertical master is horizontal"},
        {"R", GLBW::eAlignSameColumn, "B", GLBW::eAlignSameRow, "Parents of horizontal/vertical master doesn't match"},
        {"R", GLBW::eAlignSameColumn, "", GLBW::eAlignBottom, "Parent of horizontal master is horizontal"},
        {"A", GLBW::eAlignSameColumn, "B", GLBW::eAlignBottom, "Parent of vertical master doesn't match"},
        {"A", GLBW::eAlignRight, "R", GLBW::eAlignSameRow, "Parent of horizontal master doesn't match"},
        {"A", GLBW::eAlignRight, "A", GLBW::eAlignBottom, "Horizontal and vertical master"},
        {"nobody", GLBW::eAlignRight, "", GLBW::eAlignBottom, "No master"}};
    for (const auto& c : cases) {
        RecordingPanel w("W");
        w.SetHorizontalAlignment(c.h, c.ha, 1.0), w.SetVerticalAlignment(c.v, c.va, 1.0);
        expectRefused(layout, &w, c.message);
        EXPECT_TRUE(DumpTree(layout.GetRootGroup()) == tree && !w.GetLayoutWidget()) << c.message;
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
    EXPECT_TRUE(fresh.AddWidget(&second) && DumpTree(fresh.GetRootGroup()) == "H[V[second]]");
    expectRefused(other, &second, "Widget found"); // a panel lives in one layout at a time
    EXPECT_EQ(second.GetLayoutWidget(), &fresh);
}

TEST(Tree, AdditionOrdersAndTheStandardLayout)
{
    RecordingErrorHandler errors;
    GLLayout below, standard;
    RecordingPanel a1("A"), b1("B"), twin("A");
    // A same-column panel goes below its master, a left one into a column of its own before it. Names
    // need not be unique: the first added wins every lookup.
    ASSERT_TRUE(b1.SetHorizontalAlignment("A", GLBW::eAlignSameColumn, 1.0) &&
                twin.SetHorizontalAlignment("A", GLBW::eAlignLeft, 1.0));
    ASSERT_TRUE(below.AddWidget(&a1) && below.AddWidget(&b1) && below.AddWidget(&twin));
    EXPECT_TRUE(below.FindWidget("A") == &a1 && DumpTree(below.GetRootGroup()) == "H[V[A],V[A,B]]");

    // The standard arrangement; its adders take a null panel as nothing to do.
    RecordingPanel t1("T1", false), l1("L1", false), r1("R1", false), bottom("B1", false);
    EXPECT_FALSE(standard.AddLeftWidget(&l1, 1.0)) << "no standard layout yet";
    ASSERT_TRUE(standard.CreateStdLayout(1.0) && !standard.CreateStdLayout(1.0));
    EXPECT_TRUE(standard.AddLeftWidget(nullptr, 1.0) && standard.AddTopWidget(nullptr));
    ASSERT_TRUE(standard.AddLeftRightWidget(&l1, &r1, 1.0) && standard.AddTopWidget(&t1) &&
                standard.AddBottomWidget(&bottom));
    EXPECT_EQ(DumpTree(standard.GetRootGroup()), "H[V[T1UpperBorderWidget,T1,Top,H[V[Left,H[V[L1UpperBorderWidget,"
              "L1]]],V[Border],V*[H[Right*],H[R1*],H[R1UpperBorderWidget*]]],H[V[B1UpperBorderWidget,B1,Bottom]]]]");
    EXPECT_TRUE(!standard.AddTopWidget(&t1) && errors.vLogged.back().sMessage == "Widget found");
}

TEST(Tree, RemovalLeavesAnEmptyLeafAndShowFollowsVisibilityMasters)
{
    GLLayout layout;
    RecordingPanel a("A"), b("B", false), c("C"), lone("L");
    b.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0), c.SetVerticalAlignment("A", GLBW::eAlignBottom, 1.0);
    c.SetVisibilityMaster("B");
    ASSERT_TRUE(layout.AddWidget(&a) && layout.AddWidget(&b) && layout.AddWidget(&c));
    ResizeLayout(layout, 90, 90);
    EXPECT_EQ(Rect(c), QRect(0, 60, 90, 30));
    b.setVisible(false);
    EXPECT_FALSE(c.isVisible()) << "it follows its hidden visibility master";
    EXPECT_TRUE(Rect(a) == QRect(0, 0, 90, 90) && layout.FindWidget(QPoint(10, 80)) == &a);
    b.setVisible(true);
    EXPECT_TRUE(c.isVisible() && Rect(c) == QRect(0, 60, 90, 30));

    EXPECT_EQ(layout.FindWidget(QPoint(50, 45)), &b);
    ASSERT_TRUE(layout.RemoveWidget(&c));
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[BUpperBorderWidget,B]],H[V[-]]]]");
    EXPECT_TRUE(layout.RemoveWidget(&b));
    EXPECT_FALSE(layout.RemoveWidget(&b) || layout.RemoveWidget(nullptr));
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[-,-]],H[V[-]]]]") << "the strip went with it";
    EXPECT_FALSE(layout.IsLayoutVisible(&b) || b.isVisible() || b.GetLayoutWidget());
    ResizeLayout(layout, 90, 91);
    EXPECT_EQ(layout.FindWidget(QPoint(50, 80)), &a);
    ASSERT_TRUE(layout.AddWidget(&b)) << "the old masters still fit";
    EXPECT_EQ(DumpTree(layout.GetRootGroup()), "H[V[A,H[V[-,-]],H[V[-]],H[V[BUpperBorderWidget,B]]]]");
    EXPECT_TRUE(b.isVisible());
    auto gone = std::make_unique<GLLayout>();
    auto brief = std::make_unique<RecordingPanel>("brief");
    ASSERT_TRUE(gone->AddWidget(&lone) && brief->SetVerticalAlignment("L", GLBW::eAlignBottom, 1.0) &&
                gone->AddWidget(brief.get()));
    brief.reset();
    EXPECT_EQ(gone->FindWidget("brief"), nullptr) << "a destroyed panel leaves its layout";
    gone.reset();
    EXPECT_FALSE(lone.GetLayoutWidget() || lone.isVisible()) << "a destroyed layout lets its panels go";
}

// One unbounded panel leaves its column unbounded, and each panel then takes the column's width;
// otherwise the narrowest bounded panel sets it. Limit changes apply at the next frame, and a hosted
// widget follows its panel. A split shares out from the boundary.
TEST(Arithmetic, GroupLimitsHostedWidgetsPanelsFarPastTheWindowAndSplits)
{
    GLLayout mixed, far;
    RecordingPanel narrow("N"), wide("W", false), f1("F1"), f2("F2"), f3("F3");
    narrow.setMaximumWidth(16);
    wide.SetHorizontalAlignment("N", GLBW::eAlignSameColumn, 1.0);
    QWidget hosted(&mixed); // Qt's unbounded maximum is refused, with no error handler to tell
    wide.SetQWidget(&hosted);
    hosted.setMinimumHeight(30);
    wide.SetQWidget(&hosted); // again, now with a minimum for the panel
    EXPECT_TRUE(wide.IsBorderWidget()) << "a hosting panel gets no strip";
    EXPECT_EQ(Ints({wide.minimumHeight(), wide.maximumHeight()}), Ints({30, 1000000}));
    ASSERT_TRUE(mixed.AddWidget(&narrow) && mixed.AddWidget(&wide));
    EXPECT_EQ(mixed.maximumSize().width(), 1000000) << "one unbounded panel leaves its column unbounded";
    EXPECT_EQ(mixed.minimumSize(), QSize(2, 32)) << "minima add up along a column, across it the largest counts";
    ResizeLayout(mixed, 300, 200);
    EXPECT_EQ(Ints({narrow.width(), narrow.height() + wide.height()}), Ints({300, 200}));
    EXPECT_EQ(hosted.geometry(), Rect(wide));
    const int height = wide.height();
    wide.setMinimumHeight(190), wide.setMaximumWidth(40);
    EXPECT_EQ(wide.height(), height);
    QImage img;
    ASSERT_TRUE(mixed.RenderToImage(&img));
    EXPECT_EQ(mixed.maximumSize().width(), 16) << "else the column is as wide as its narrowest bounded panel";
    EXPECT_EQ(Rect(wide), QRect(0, 9, 16, 191));
    EXPECT_TRUE(hosted.geometry() == Rect(wide) && !hosted.isHidden());
    mixed.Show(&wide, false);
    EXPECT_TRUE(hosted.isHidden());

    // Panels wider than the window lie past it, more than a million pixels out, where they are.
    f1.setMinimumWidth(GLBW::ciMaxCoord), f2.setMinimumWidth(GLBW::ciMaxCoord), f3.setMinimumWidth(GLBW::ciMaxCoord);
    f2.SetHorizontalAlignment("F1", GLBW::eAlignRight, 1.0), f3.SetHorizontalAlignment("F2", GLBW::eAlignRight, 1.0);
    ASSERT_TRUE(far.AddWidget(&f1) && far.AddWidget(&f2) && far.AddWidget(&f3));
    ResizeLayout(far, 100, 50);
    EXPECT_EQ(Rect(f2), QRect(1000000, 0, 1000000, 50));
    EXPECT_EQ(Rect(f3), QRect(2000000, 0, 1000000, 50));
    EXPECT_EQ(far.FindWidget(QPoint(50, 25)), &f1);

    // A split moves the entries next to the boundary first, and each zoom becomes its share of the room.
    GLLayoutVector before, after;
    before.m_Entries = after.m_Entries = {{0, 20, GLBW::ciMaxCoord, 0.25}, {0, 20, GLBW::ciMaxCoord, 0.25}};
    TestLayout::CalcSplit(before, after, 150, 400);
    const std::vector<GLLayoutEntry>& b = before.m_Entries, &a = after.m_Entries;
    EXPECT_EQ(Ints({b[0].m_iSize, b[1].m_iSize, a[0].m_iSize, a[1].m_iSize, before.m_iSize, before.m_iMinimum}),
              Ints({100, 50, 150, 100, 150, 40}));
    EXPECT_DOUBLE_EQ(b[1].m_dZoom, 50.0 / 400);
}

// The border column and strips (4 pixels, no room to give) make the rows and columns beside them share
// the shrink in proportion to their rooms; the rest is border. A pass keeps the strips already decided, so
// a left panel is told of a new size once, of an unchanged one not at all. A background drawn through a
// painter is recorded in the panel's own coordinates.
TEST(Arithmetic, StandardRowsTileTheWindowWithAndWithoutBorders)
{
    StdRows f(true);
    const QRgb green = 0xFF00FF00, colours[4] = {0xFFFF0000, 0xFF0000FF, 0xFFFFFF00, 0xFFFF00FF}; // L1, R1, L2, R2
    f.layout.SetBorderStyle(GL::GLFillStyle(GL::eFillSolid, QColor(green), QColor()));
    for (int i = 0; i < 4; ++i)
        f.panels[i]->SetBackgroundStyle(GL::GLFillStyle(GL::eFillSolid, QColor(colours[i]), QColor()));
    // The rows and columns tile the window, 4 pixels apart with borders: L1's size gives every rectangle.
    // Width 401: shrink 405 shared by rooms 399 and 399, the pixel left off the left column. Width 300: shrink
    // 304 shared by rooms 298 and 298. Height 200: the second row holds a strip (minimum 6), so rooms 198 and
    // 194 share a shrink of 200 as 101 and 98. A pixel left over comes off the first row.
    const struct { bool borders; QSize window, l1; } cases[] = {
        {false, {400, 300}, {200, 150}}, {false, {600, 201}, {300, 100}}, {true, {400, 300}, {198, 148}},
        {true, {401, 300}, {198, 148}},  {true, {300, 200}, {148, 98}},   {true, {600, 201}, {298, 99}},
        {false, {600, 201}, {300, 100}}};
    for (const auto& c : cases) {
        f.layout.SetShowBorders(c.borders);
        QSize was[4]; int told[4]; // each panel's size and resize count before the pass
        for (int i = 0; i < 4; ++i)
            was[i] = Rect(*f.panels[i]).size(), told[i] = f.panels[i]->iResizes;
        ResizeLayout(f.layout, c.window.width(), c.window.height());
        const int gap = c.borders ? 4 : 0, x = c.l1.width() + gap, y = c.l1.height() + gap;
        const int w = c.window.width() - x, h = c.window.height() - y;
        const QRect at[] = {{QPoint(0, 0), c.l1}, {x, 0, w, c.l1.height()}, {0, y, c.l1.width(), h}, {x, y, w, h}};
        QImage img;
        ASSERT_TRUE(f.layout.RenderToImage(&img));
        for (int i = 0; i < 4; ++i) {
            const QRect& r = at[i];
            const std::string name = f.panels[i]->GetName() + std::string(c.borders ? " with borders" : "");
            EXPECT_EQ(Rect(*f.panels[i]), r) << name;
            if (i % 2 == 0) // a right partner takes its row's height before its column's width
                EXPECT_EQ(f.panels[i]->iResizes - told[i], r.size() == was[i] ? 0 : 1) << name << " resized";
            // Filled exactly: every pixel inside, none of those just outside.
            EXPECT_EQ(CountPixels(img, r, colours[i]), r.width() * r.height()) << name;
            EXPECT_EQ(CountPixels(img, r.adjusted(-1, -1, 1, 1), colours[i]), r.width() * r.height()) << name;
        }
        const int panels = (c.window.width() - gap) * (c.window.height() - gap);
        EXPECT_EQ(CountPixels(img, img.rect(), green), c.window.width() * c.window.height() - panels) << c.borders;
    }
    GLMetaFile metafile;
    GLPainter painter(nullptr);
    painter.begin(&metafile);
    f.r2.DrawBackground(painter);
    ASSERT_EQ(metafile.Polygons().size(), 1u);
    const GL::GLPolygon& recorded = metafile.Polygons()[0];
    EXPECT_EQ(recorded.GetFillStyle().FgColor(), QColor(colours[3]));
    EXPECT_EQ(QRectF(recorded.Left(), recorded.Top(), recorded.Width(), recorded.Height()), QRectF(f.r2.rect()));
}
