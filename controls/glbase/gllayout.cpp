// The layout tree: placing panels by their masters, separator strips, the standard arrangement,
// removal, showing and the lookups.
#include "gllayout.h"

#include <QApplication>
#include <algorithm>

bool GLLayout::s_bOverrideCursor = false;

namespace
{
using GLBW = GLBaseWidget;

void TakeZooms(GLSplitGroup* group, const GLBaseWidget* widget)
{
    group->m_dHorizontalZoom = widget->GetHorizontalZoom();
    group->m_dVerticalZoom = widget->GetVerticalZoom();
}

// The group takes over the master's top and height.
void Attach(GLSplitGroup* group, GLSplitGroup* master)
{
    master->m_VerticalSlaves.push_back(group);
    group->m_pVerticalMaster = master;
}

bool ChainShown(const GLSplitGroup* group)
{
    for (; group; group = group->m_pParent)
        if (!group->m_bShown)
            return false;
    return true;
}
} // namespace

GLLayout::GLLayout(QWidget* parent) : GLFrameWidget(parent)
{
    setAttribute(Qt::WA_NoMousePropagation);
    const GLFillStyle moved(eFillSolid, QColor(255, 255, 255, 32), QColor(255, 255, 255, 255));
    const GLFillStyle origin(eFillSolid, QColor(255, 255, 0, 32), QColor(255, 255, 255, 255));
    m_MoveOutline.SetFillStyle(moved);
    m_MoveGroupOutline.SetFillStyle(moved);
    m_MoveOrigin.SetFillStyle(origin);
    m_MoveGroupOrigin.SetFillStyle(origin);
}

GLLayout::~GLLayout()
{
    RemoveWidgets();
    for (QPointer<GLBaseWidget>* panel : {&m_pTop, &m_pLeft, &m_pBorder, &m_pRight, &m_pBottom}) {
        delete panel->data();
        *panel = nullptr;
    }
}

bool GLLayout::Fail(const char* message)
{
    LogError(message, "AddWidget");
    return false;
}

GLSplitGroup* GLLayout::NewGroup(bool horizontal, GLSplitGroup* parent, bool atFront)
{
    GLSplitGroup* group = new GLSplitGroup;
    group->m_bHorizontal = horizontal;
    group->m_bVertical = !horizontal;
    m_Groups.push_back(group);
    group->m_pParent = parent;
    parent->m_Children.insert(atFront ? parent->m_Children.begin() : parent->m_Children.end(), group);
    return group;
}

GLSplitGroup* GLLayout::NewWidgetGroup(GLBaseWidget* widget, GLSplitGroup* parent, bool atFront,
                                       GLSplitGroup* visibility)
{
    widget->m_pLayout = this;
    m_Widgets.push_back(widget);
    GLSplitGroup* leaf = new GLSplitGroup;
    m_Groups.push_back(leaf);
    widget->m_pSplitGroup = leaf;
    leaf->m_pWidget = widget;
    TakeZooms(leaf, widget);
    leaf->m_iMinimumWidth = widget->m_iMinimumWidth;
    leaf->m_iMaximumWidth = widget->m_iMaximumWidth;
    leaf->m_iMinimumHeight = widget->m_iMinimumHeight;
    leaf->m_iMaximumHeight = widget->m_iMaximumHeight;
    leaf->m_pVisibilityMaster = visibility;
    leaf->m_pParent = parent;
    parent->m_Children.insert(atFront ? parent->m_Children.begin() : parent->m_Children.end(), leaf);
    return leaf;
}

bool GLLayout::AddWidget_(GLBaseWidget* w)
{
    if (!w)
        return Fail("pWidget == 0");
    // A panel lives in one layout at a time; taking it from another would leave that one dangling.
    if (w->m_pSplitGroup && w->m_pLayout != this)
        return Fail("Widget found");
    GLBaseWidget* h = FindWidget(w->GetHorizontalMaster());
    GLBaseWidget* v = FindWidget(w->GetVerticalMaster());
    GLBaseWidget* s = FindWidget(w->GetVisibilityMaster());
    GLSplitGroup* visibility = s ? s->m_pSplitGroup : nullptr;

    if (m_Widgets.empty()) {
        // No master can be found in an empty layout, so naming one at all is the mistake.
        if (h || v || *w->GetHorizontalMaster() || *w->GetVerticalMaster())
            return Fail("Root master");
        if (m_pRootGroup)
            return Fail("m_pRootGroup != 0");
        GLSplitGroup* root = new GLSplitGroup;
        root->m_bHorizontal = true;
        m_Groups.push_back(root);
        m_pRootGroup = root;
        NewWidgetGroup(w, NewGroup(false, root, false), false, visibility);
        return true;
    }
    if (std::find(m_Widgets.begin(), m_Widgets.end(), w) != m_Widgets.end())
        return Fail("Widget found");
    if (!h && !v)
        return Fail("No master");
    const bool sameColumn = h && w->m_eHorizontalAlignment == GLBW::eAlignSameColumn;
    const bool sameRow = v && w->m_eVerticalAlignment == GLBW::eAlignSameRow;
    if (sameColumn && sameRow)
        return PlaceSameColumnAndRow(w, h, v, visibility);
    if (sameColumn)
        return PlaceSameColumn(w, h, v, visibility);
    if (sameRow)
        return PlaceSameRow(w, h, v, visibility);
    if (h && v)
        return Fail("Horizontal and vertical master");
    if (h)
        return PlaceColumn(w, h, visibility);
    return PlaceRow(w, v, visibility);
}

// A new row in the column that follows the vertical master's column, beside the vertical master.
bool GLLayout::PlaceSameColumnAndRow(GLBaseWidget* w, GLBaseWidget* h, GLBaseWidget* v, GLSplitGroup* visibility)
{
    GLSplitGroup* p = h->m_pSplitGroup->m_pParent;
    GLSplitGroup* q = v->m_pSplitGroup->m_pParent;
    if (p->m_bVertical)
        return Fail("Parent of horizontal master is vertical");
    if (q->m_bHorizontal)
        return Fail("Parent of vertical master is horizontal");
    GLSplitGroup* column = p->m_pParent;
    GLSplitGroup* followed = column ? column->m_pVerticalMaster : nullptr;
    if (followed != q && q->m_pParent && q->m_pParent->m_pParent)
        q = q->m_pParent->m_pParent;
    if (followed != q)
        return Fail("Parents of horizontal/vertical master doesn't match");
    GLSplitGroup* row = NewGroup(true, column, false);
    TakeZooms(row, w);
    Attach(NewWidgetGroup(w, row, false, visibility), v->m_pSplitGroup);
    return true;
}

bool GLLayout::PlaceSameColumn(GLBaseWidget* w, GLBaseWidget* h, GLBaseWidget* v, GLSplitGroup* visibility)
{
    GLSplitGroup* p = h->m_pSplitGroup->m_pParent;
    if (p->m_bHorizontal)
        return Fail("Parent of horizontal master is horizontal");
    if (v && v->m_pSplitGroup->m_pParent != p)
        return Fail("Parent of vertical master doesn't match");
    NewWidgetGroup(w, p, v && w->m_eVerticalAlignment == GLBW::eAlignTop, visibility);
    return true;
}

bool GLLayout::PlaceSameRow(GLBaseWidget* w, GLBaseWidget* h, GLBaseWidget* v, GLSplitGroup* visibility)
{
    GLSplitGroup* q = v->m_pSplitGroup->m_pParent;
    const bool left = w->m_eHorizontalAlignment == GLBW::eAlignLeft;
    if (!q->m_bVertical) {
        if (h && h->m_pSplitGroup->m_pParent != q)
            return Fail("Parent of horizontal master doesn't match");
        Attach(NewWidgetGroup(w, q, h && left, visibility), v->m_pSplitGroup);
        return true;
    }
    GLSplitGroup* x = q->m_pParent;
    if (h) {
        GLSplitGroup* k = h->m_pSplitGroup->m_pParent;
        if (!k->m_bVertical)
            k = k->m_pParent;
        if (!k || k->m_pParent != x)
            return Fail("Parent of horizontal master doesn't match");
    }
    // The rules never make a vertical group without a parent; refuse rather than build a loose column.
    if (!x)
        return Fail("Parent of vertical master doesn't match");
    GLSplitGroup* column = NewGroup(false, x, left);
    TakeZooms(column, w);
    GLSplitGroup* row = NewGroup(true, column, false);
    TakeZooms(row, w);
    Attach(column, q);
    Attach(NewWidgetGroup(w, row, false, visibility), v->m_pSplitGroup);
    return true;
}

bool GLLayout::PlaceColumn(GLBaseWidget* w, GLBaseWidget* h, GLSplitGroup* visibility)
{
    GLSplitGroup* p = h->m_pSplitGroup->m_pParent;
    if (p->m_bHorizontal || !p->m_pParent)
        return Fail("Parent of horizontal master is horizontal");
    GLSplitGroup* column = NewGroup(false, p->m_pParent, w->m_eHorizontalAlignment == GLBW::eAlignLeft);
    TakeZooms(column, w);
    NewWidgetGroup(w, column, false, visibility);
    return true;
}

bool GLLayout::PlaceRow(GLBaseWidget* w, GLBaseWidget* v, GLSplitGroup* visibility)
{
    GLSplitGroup* q = v->m_pSplitGroup->m_pParent;
    if (q->m_bHorizontal)
        return Fail("Parent of vertical master is horizontal");
    GLSplitGroup* row = NewGroup(true, q, w->m_eVerticalAlignment == GLBW::eAlignTop);
    TakeZooms(row, w);
    GLSplitGroup* column = NewGroup(false, row, false);
    TakeZooms(column, w);
    NewWidgetGroup(w, column, false, visibility);
    return true;
}

bool GLLayout::AddWidget(GLBaseWidget* widget)
{
    if (!AddWidget_(widget))
        return false;
    if (!widget->m_bBorderWidget)
        AddSeparatorStrip(widget);
    CalcLayout();
    return true;
}

// A 4-pixel strip at the top of the panel's column, or in the row of its partner's strip when
// the panel follows a partner's rows.
void GLLayout::AddSeparatorStrip(GLBaseWidget* widget)
{
    const std::string name = widget->m_sName + "UpperBorderWidget";
    GLBaseWidget*& strip = widget->m_pUpperBorderWidget;
    if (strip) {
        strip->SetName(name.c_str());
    } else {
        strip = new GLBaseWidget(name);
        strip->setMinimumHeight(4);
        strip->setMaximumHeight(4);
    }
    if (GLSplitGroup* master = widget->m_pSplitGroup->m_pVerticalMaster) {
        const GLBaseWidget* partner = master->m_pWidget;
        if (partner && partner->m_pUpperBorderWidget) {
            strip->SetHorizontalAlignment(widget->GetHorizontalMaster(), GLBW::eAlignSameColumn, 1.0);
            strip->SetVerticalAlignment(partner->m_pUpperBorderWidget->GetName(), GLBW::eAlignSameRow, 1.0);
        }
    } else {
        strip->SetHorizontalAlignment(widget->GetName(), GLBW::eAlignSameColumn, 1.0);
        strip->SetVerticalAlignment(widget->GetName(), GLBW::eAlignTop, 1.0);
    }
    AddWidget_(strip);
}

GLBaseWidget* GLLayout::NewStdPanel(const char* name, bool visible)
{
    GLBaseWidget* panel = new GLBaseWidget(name);
    panel->SetGlobalVisible(visible);
    panel->SetBorderWidget(true);
    return panel;
}

bool GLLayout::CreateStdLayout(double ratio)
{
    if (m_pTop)
        return false;
    m_pTop = NewStdPanel("Top", false);
    if (!AddWidget(m_pTop))
        return false;
    m_pLeft = NewStdPanel("Left", false);
    m_pLeft->SetVerticalAlignment("Top", GLBW::eAlignBottom, 1.0);
    if (!AddWidget(m_pLeft))
        return false;
    m_pBorder = NewStdPanel("Border", true);
    m_pBorder->SetBackgroundStyle(GetBorderStyle());
    m_pBorder->SetHorizontalAlignment("Left", GLBW::eAlignRight, 1.0);
    m_pBorder->setMinimumWidth(4);
    m_pBorder->setMaximumWidth(4);
    if (!AddWidget(m_pBorder))
        return false;
    m_pRight = NewStdPanel("Right", false);
    m_pRight->SetVerticalAlignment("Left", GLBW::eAlignSameRow, 1.0);
    m_pRight->SetHorizontalZoom(ratio);
    if (!AddWidget(m_pRight))
        return false;
    m_pBottom = NewStdPanel("Bottom", false);
    m_pBottom->SetVerticalAlignment("Top", GLBW::eAlignBottom, 1.0);
    return AddWidget(m_pBottom);
}

bool GLLayout::AddTopWidget(GLBaseWidget* widget)
{
    if (!widget)
        return true;
    if (!m_pTop)
        return false;
    widget->SetHorizontalAlignment("Top", GLBW::eAlignSameColumn, 1.0);
    widget->SetVerticalAlignment("Top", GLBW::eAlignTop, 1.0);
    return AddWidget(widget);
}

bool GLLayout::AddBottomWidget(GLBaseWidget* widget)
{
    if (!widget)
        return true;
    if (!m_pTop)
        return false;
    widget->SetHorizontalAlignment("Bottom", GLBW::eAlignSameColumn, 1.0);
    widget->SetVerticalAlignment("Bottom", GLBW::eAlignTop, 1.0);
    return AddWidget(widget);
}

bool GLLayout::AddLeftWidget(GLBaseWidget* widget, double ratio)
{
    if (!widget)
        return true;
    if (!m_pTop)
        return false;
    widget->SetVerticalAlignment("Left", GLBW::eAlignBottom, ratio);
    return AddWidget(widget);
}

bool GLLayout::AddLeftRightWidget(GLBaseWidget* left, GLBaseWidget* right, double ratio)
{
    // Without a left panel there is no row for the right one either.
    if (!left)
        return true;
    if (!AddLeftWidget(left, ratio))
        return false;
    if (!right)
        return true;
    right->SetVerticalAlignment(left->GetName(), GLBW::eAlignSameRow, 1.0);
    right->SetHorizontalAlignment("Right", GLBW::eAlignSameColumn, 1.0);
    return AddWidget(right);
}

void GLLayout::CancelMouseState(const GLBaseWidget* widget)
{
    if (!widget || m_pMouseGrabber == widget)
        m_pMouseGrabber = nullptr;
    const bool moveEnds = m_pMoveWidget && (!widget || m_pMoveWidget == widget);
    // The prepared split vectors describe the children as they were; a removal can change them.
    const bool hoverEnds = m_pHorizontalSplitGroup || m_pVerticalSplitGroup;
    if (moveEnds || hoverEnds)
        RestoreOverrideCursor();
    if (moveEnds) {
        m_pMoveWidget = nullptr;
        m_pMoveGroup = nullptr;
    }
    m_pHorizontalSplitGroup = m_pVerticalSplitGroup = nullptr;
}

bool GLLayout::RemoveWidget(GLBaseWidget* widget)
{
    if (!widget)
        return false;
    if (widget->m_pUpperBorderWidget)
        RemoveWidget(widget->m_pUpperBorderWidget);
    const auto it = std::find(m_Widgets.begin(), m_Widgets.end(), widget);
    if (it == m_Widgets.end())
        return false;
    CancelMouseState(widget);
    widget->m_pSplitGroup->m_pWidget = nullptr;
    widget->m_pSplitGroup = nullptr;
    widget->m_pLayout = nullptr;
    m_Widgets.erase(it);
    return true;
}

void GLLayout::RemoveWidgets()
{
    CancelMouseState(nullptr);
    for (GLBaseWidget* widget : m_Widgets) {
        widget->m_pLayout = nullptr;
        widget->m_pSplitGroup = nullptr;
    }
    for (GLSplitGroup* group : m_Groups)
        delete group;
    m_Widgets.clear();
    m_Groups.clear();
    m_pRootGroup = nullptr;
}

bool GLLayout::StripInLayout(const GLBaseWidget* widget)
{
    return widget->m_pUpperBorderWidget && widget->m_pUpperBorderWidget->m_pSplitGroup;
}

void GLLayout::Show(GLBaseWidget* widget, bool visible)
{
    if (!widget || widget->m_pLayout != this || !widget->m_pSplitGroup || widget->m_pSplitGroup->m_bShown == visible)
        return;
    widget->m_pSplitGroup->m_bShown = visible;
    if (StripInLayout(widget))
        widget->m_pUpperBorderWidget->m_pSplitGroup->m_bShown = visible;
    CalcLayout();
}

bool GLLayout::IsGroupVisible(const GLSplitGroup* group)
{
    if (!group || (group->m_pWidget && !group->m_pWidget->m_bGlobalVisible))
        return false;
    if (!group->m_pWidget && group->m_Children.empty())
        return false;
    return ChainShown(group) && (!group->m_pVisibilityMaster || ChainShown(group->m_pVisibilityMaster));
}

bool GLLayout::IsLayoutVisible(const GLBaseWidget* widget) const
{
    return widget && widget->m_pLayout == this && IsGroupVisible(widget->m_pSplitGroup);
}

GLBaseWidget* GLLayout::FindWidget(const QPoint& point) const
{
    for (GLBaseWidget* widget : m_Widgets) {
        if (!IsGroupVisible(widget->m_pSplitGroup))
            continue;
        const int x = widget->left(), y = widget->top();
        if (x <= point.x() && point.x() < x + widget->width() && y <= point.y() && point.y() < y + widget->height())
            return widget;
    }
    return nullptr;
}

GLBaseWidget* GLLayout::FindWidget(const char* name)
{
    if (!name || !*name)
        return nullptr;
    for (GLBaseWidget* widget : m_Widgets)
        if (widget->m_sName == name)
            return widget;
    LogError("Widget name not found", name);
    return nullptr;
}

bool GLLayout::ActiveMouseAction() const
{
    return m_pHorizontalSplitGroup || m_pVerticalSplitGroup || m_pMoveWidget || m_bSplitDrag;
}

void GLLayout::SetOverrideCursor(const QCursor& cursor)
{
    if (s_bOverrideCursor) {
        QApplication::changeOverrideCursor(cursor);
    } else {
        s_bOverrideCursor = true;
        QApplication::setOverrideCursor(cursor);
    }
}

void GLLayout::RestoreOverrideCursor()
{
    if (!s_bOverrideCursor)
        return;
    s_bOverrideCursor = false;
    QApplication::restoreOverrideCursor();
}
