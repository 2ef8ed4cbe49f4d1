// Drives GLLayout and its panels (names, masters, alignments, zooms, limits, visibility, the adders, the standard
// layout, removal, Show, borders, resizes from 0 to huge, real mouse, wheel, leave and menu events), destroying
// panels and the layout between them; every 64th input renders. Checks: refused calls change nothing, a panel out
// of the layout is never called, lookups return only its panels, and in a window its limits allow every visible
// panel lies inside it, within its own limits along its parent's axis, apart from the others, found at its centre.
#include "../support/layout_fixture.h"
#include "fuzz_application.h"

#include <QGuiApplication>
#include <QImage>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {
using GLBW = GLBaseWidget;

// Calls from the layout are only legal while the panel is in one.
struct FuzzPanel : GLBaseWidget
{
    using GLBaseWidget::GLBaseWidget;
    void Called() { Check(GetLayoutWidget() != nullptr); }
    void resizeEvent(QResizeEvent*) override { Called(); }
    void mouseDoubleClickEvent(QMouseEvent*) override { Called(); }
    void mouseMoveEvent(QMouseEvent*) override { Called(); }
    void mousePressEvent(QMouseEvent*) override { Called(); }
    void mouseReleaseEvent(QMouseEvent*) override { Called(); }
    void wheelEvent(QWheelEvent*) override { Called(); }
    void contextMenuEvent(QContextMenuEvent*) override { Called(); }
};

const char* const cNames[] = {"", "A", "B", "C", "D", "Top", "Left", "Right", "Bottom", "Border", "AUpperBorderWidget"};

// A new layout makes a GL context at its first resize, which is slow: inputs share one until they destroy it
// or build the standard layout, which it keeps for good.
std::unique_ptr<TestLayout> s_pLayout;

bool Within(double value, double min, double max) { return value >= min && value <= max; }

struct Session
{
    FuzzedDataProvider& in;
    std::unique_ptr<TestLayout>& layout;
    std::vector<std::unique_ptr<FuzzPanel>> panels;
    bool bRecreated = false, bStdLayout = false, bHuge = false;

    const char* Name() { return cNames[in.ConsumeIntegralInRange<size_t>(0, std::size(cNames) - 1)]; }
    double Zoom()
    {
        return in.ConsumeBool() ? in.ConsumeFloatingPointInRange(0.0, 12.0) : in.ConsumeFloatingPoint<double>();
    }
    int Limit() { return in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, 400) : in.ConsumeIntegral<int>(); }
    int Coord(int extent) { return in.ConsumeIntegralInRange(-5, std::max(extent, 0) + 5); }
    QPoint AnyPoint() { return QPoint(Coord(layout->width()), Coord(layout->height())); }
    FuzzPanel* Pick()
    {
        const size_t i = in.ConsumeIntegralInRange<size_t>(0, panels.size());
        return i < panels.size() ? panels[i].get() : nullptr;
    }

    void NewPanel()
    {
        auto p = std::make_unique<FuzzPanel>(Name());
        p->SetBorderWidget(in.ConsumeBool());
        p->SetHorizontalAlignment(Name(), GLBW::eHorizontalAlignment(in.ConsumeIntegralInRange(0, 2)), Zoom());
        p->SetVerticalAlignment(Name(), GLBW::eVerticalAlignment(in.ConsumeIntegralInRange(0, 2)), Zoom());
        if (in.ConsumeBool()) p->SetVisibilityMaster(Name());
        p->SetGlobalVisible(in.ConsumeIntegralInRange(0, 5) > 0);
        Check(Within(p->GetHorizontalZoom(), 0.1, 10.0) && Within(p->GetVerticalZoom(), 0.1, 10.0));
        panels.push_back(std::move(p));
    }

    // A refused call leaves the tree and the panel's membership as they were.
    void Add(int how)
    {
        FuzzPanel *p = Pick(), *q = Pick();
        const bool wasIn = p && p->GetLayoutWidget();
        const std::string before = DumpTree(layout->GetRootGroup());
        bool ok = false;
        switch (how) {
        case 0: ok = layout->AddWidget(p); break;
        case 1: ok = layout->AddTopWidget(p); break;
        case 2: ok = layout->AddBottomWidget(p); break;
        case 3: ok = layout->AddLeftWidget(p, Zoom()); break;
        default: ok = layout->AddLeftRightWidget(p, q, Zoom()); return; // one of the two may have been placed
        }
        Check((ok && p) || DumpTree(layout->GetRootGroup()) == before);
        if (p && (ok || !wasIn)) Check(p->GetLayoutWidget() == (ok ? layout.get() : nullptr));
    }

    // Refused limits and placement changes of a panel in a layout leave the values as they were.
    void SetLimit(FuzzPanel& p)
    {
        static void (GLBW::*const set[])(int) = {&GLBW::setMinimumWidth, &GLBW::setMaximumWidth,
                                                 &GLBW::setMinimumHeight, &GLBW::setMaximumHeight};
        static int (GLBW::*const get[])() const = {&GLBW::minimumWidth, &GLBW::maximumWidth, &GLBW::minimumHeight,
                                                   &GLBW::maximumHeight};
        const int value = Limit(), which = in.ConsumeIntegralInRange(0, 3), old = (p.*get[which])();
        (p.*set[which])(value);
        const bool accepted = which % 2 == 0 ? value >= GLBW::ciMinCoord : value <= GLBW::ciMaxCoord;
        Check((p.*get[which])() == (accepted ? value : old));
    }

    void SetPlacement(FuzzPanel& p)
    {
        const bool frozen = p.GetLayoutWidget() != nullptr;
        const std::string name = p.GetName();
        const double zoom = p.GetHorizontalZoom();
        Check(p.SetName(Name()) != frozen && p.SetHorizontalZoom(Zoom()) != frozen);
        Check(p.SetVerticalAlignment(Name(), GLBW::eAlignSameRow, Zoom()) != frozen);
        Check(!frozen || (name == p.GetName() && zoom == p.GetHorizontalZoom()));
    }

    // The off-screen frame buffer has the window's size and is cleared at each resize, so a huge side comes
    // with a thin other one, once per input.
    void Resize()
    {
        const int huge[] = {GLBW::ciMaxCoord - 1, GLBW::ciMaxCoord, GLBW::ciMaxCoord + 1, INT_MAX};
        int w = in.ConsumeIntegralInRange(0, 800), h = in.ConsumeIntegralInRange(0, 800);
        const int shape = in.ConsumeIntegralInRange(0, 7);
        if (shape < 2 && !bHuge)
            (shape == 0 ? w : h) = huge[in.ConsumeIntegralInRange(0, 3)], (shape == 0 ? h : w) %= 3, bHuge = true;
        else if (shape == 2)
            w %= 6, h %= 6;
        ResizeLayout(*layout, w, h), CheckGeometry();
    }

    void Mouse()
    {
        const Qt::MouseButton buttons[] = {Qt::NoButton, Qt::LeftButton, Qt::MiddleButton, Qt::RightButton};
        const QEvent::Type types[] = {QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseButtonRelease,
                                      QEvent::MouseButtonDblClick};
        const QEvent::Type type = types[in.ConsumeIntegralInRange(0, 3)];
        const Qt::MouseButton button = buttons[in.ConsumeIntegralInRange(0, 3)];
        const Qt::MouseButtons held(in.ConsumeIntegralInRange(0, 7));
        QPoint pos = AnyPoint();
        if (FuzzPanel* p = in.ConsumeBool() ? Pick() : nullptr) // near an edge of a panel: the splitter bands
            pos = QPoint(p->left() + (in.ConsumeBool() ? p->width() : 0) + in.ConsumeIntegralInRange(-3, 3),
                         p->top() + (in.ConsumeBool() ? p->height() : 0) + in.ConsumeIntegralInRange(-3, 3));
        SendMouse(*layout, type, pos, type == QEvent::MouseMove ? Qt::NoButton : button, held);
    }

    void OtherEvent()
    {
        const QPoint pos = AnyPoint();
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            Send(*layout, QWheelEvent(QPointF(pos), QPointF(pos), QPoint(), QPoint(0, in.ConsumeIntegral<int16_t>()),
                                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false));
            break;
        case 1: Send(*layout, QEvent(QEvent::Leave)); break;
        default: Send(*layout, QContextMenuEvent(QContextMenuEvent::Mouse, pos, pos, Qt::NoModifier));
        }
    }

    // Only where every limit is consistent and the window fits the limits of the whole tree.
    void CheckGeometry()
    {
        const QSize size(layout->GetWidth(), layout->GetHeight()), lo = layout->minimumSize();
        const QSize hi = layout->maximumSize();
        for (const auto& p : panels)
            if (p->minimumWidth() > p->maximumWidth() || p->minimumHeight() > p->maximumHeight()) return;
        if (!layout->GetRootGroup() || !Within(size.width(), lo.width(), hi.width()) ||
            !Within(size.height(), lo.height(), hi.height()))
            return;
        std::vector<QRect> shown;
        CheckGroup(layout->GetRootGroup(), size, true, shown);
    }

    // A row that follows a vertical master takes the master's top and height wherever the master lies, hidden
    // or not, so only leaves with no such group on the way up have a height of their own. Along the axis its
    // parent shares out, a panel keeps within its own limits; across it, it takes the parent's whole extent,
    // limits or not, since a group's cross limit is unbounded as soon as one child's is.
    void CheckGroup(const GLSplitGroup* g, const QSize& window, bool freeHeight, std::vector<QRect>& shown)
    {
        freeHeight &= g->m_pVerticalMaster == nullptr;
        const GLBaseWidget* p = g->m_pWidget;
        if (p && layout->IsLayoutVisible(p)) {
            const GLSplitGroup* parent = g->m_pParent;
            const bool sharesWidth = !parent || parent->m_bHorizontal, sharesHeight = !parent || !parent->m_bHorizontal;
            const QRect r = Rect(*p);
            Check(r.left() >= 0 && r.right() < window.width());
            Check(sharesWidth ? Within(r.width(), p->minimumWidth(), p->maximumWidth())
                              : r.width() == parent->m_iWidth);
            if (freeHeight) {
                Check(r.top() >= 0 && r.bottom() < window.height());
                Check(sharesHeight ? Within(r.height(), p->minimumHeight(), p->maximumHeight())
                                   : r.height() == parent->m_iHeight);
                Check(std::none_of(shown.begin(), shown.end(), [&](const QRect& o) { return r.intersects(o); }));
                shown.push_back(r);
                Check(r.isEmpty() || layout->FindWidget(r.center()) == p);
            }
        }
        for (const GLSplitGroup* child : g->m_Children)
            CheckGroup(child, window, freeHeight, shown);
    }

    void CheckMembership()
    {
        for (const auto& p : panels) {
            const GLLayout* owner = p->GetLayoutWidget();
            Check((owner == nullptr || owner == layout.get()) && layout->IsLayoutVisible(p.get()) == p->isVisible());
            Check(owner || (!p->isVisible() && p->parentWidget() == nullptr));
        }
        if (GLBaseWidget* found = layout->FindWidget(AnyPoint()))
            Check(found->GetLayoutWidget() == layout.get());
    }

    void Step()
    {
        switch (in.ConsumeIntegralInRange(0, 15)) {
        case 0: if (panels.size() < 10) NewPanel(); break;
        case 1: Add(0); break;
        case 2: Add(in.ConsumeIntegralInRange(1, 4)); break;
        case 3: {
            const bool empty = layout->GetRootGroup() == nullptr, created = layout->CreateStdLayout(Zoom());
            Check(!created || empty), bStdLayout |= created;
            break;
        }
        case 4: {
            FuzzPanel* p = Pick();
            const bool member = p && p->GetLayoutWidget() == layout.get();
            Check(layout->RemoveWidget(p) == member);
            Check(!p || (p->GetLayoutWidget() == nullptr && !layout->IsLayoutVisible(p)));
            break;
        }
        case 5: layout->RemoveWidgets(); Check(layout->GetRootGroup() == nullptr); break;
        case 6: {
            FuzzPanel* p = Pick();
            const bool visible = in.ConsumeBool();
            if (in.ConsumeBool())
                layout->Show(p, visible);
            else if (p)
                p->setVisible(visible);
            break;
        }
        case 7: if (FuzzPanel* p = Pick()) SetLimit(*p); break;
        case 8: if (FuzzPanel* p = Pick()) SetPlacement(*p); break;
        case 9: layout->SetShowBorders(in.ConsumeBool()); break;
        case 10: Resize(); break;
        case 11: OtherEvent(); break;
        case 12: // destroyed in the middle of whatever the mouse was doing
            if (!panels.empty())
                panels.erase(panels.begin() + std::ptrdiff_t(in.ConsumeIntegralInRange<size_t>(0, panels.size() - 1)));
            break;
        case 13: // the layout goes first: its panels are detached and live on
            if (bRecreated) break;
            bRecreated = true, layout = std::make_unique<TestLayout>();
            for (const auto& p : panels)
                Check(p->GetLayoutWidget() == nullptr);
            break;
        default: Mouse(); break;
        }
        CheckMembership();
    }
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    StartOffscreenApplication();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static unsigned long long s_uInputs = 0;
    FuzzedDataProvider in(data, size);
    if (!s_pLayout) s_pLayout = std::make_unique<TestLayout>();
    s_pLayout->SetShowBorders(false);
    Session s{in, s_pLayout};
    for (int op = 0; op < 200 && in.remaining_bytes() > 0; ++op)
        s.Step();
    const QSize window = s.layout->size();
    if (s_uInputs++ % 64 == 0 && !window.isEmpty() && window.width() <= 800 && window.height() <= 800) {
        // An empty window has no context to render with; a window too large for the off-screen buffer fails
        // its context once and keeps the reported error; only then is a render refused.
        QImage image;
        Check(s.layout->RenderToImage(&image) || s.layout->initializeError() != GLFrameWidget::eInitNoError);
    }
    // The override cursor is pushed at most once, so one restore leaves Qt's stack empty.
    GLLayout::RestoreOverrideCursor(), Check(QGuiApplication::overrideCursor() == nullptr);
    if (s.bStdLayout || in.ConsumeIntegralInRange(0, 7) == 0)
        s.layout.reset(); // the layout before its panels
    s.panels.clear();
    if (s.layout)
        s.layout->RemoveWidgets(), Check(s.layout->FindWidget(QPoint(0, 0)) == nullptr);
    return 0;
}
