// Painting the panels with splitter and move feedback, and routing the mouse: edge bands and
// splitter drags, middle-button panel moves, the left-button grab and the other events.
#include "gllayout.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>

namespace
{
using GLBW = GLBaseWidget;

std::vector<GLSplitGroup*> PathFromRoot(GLSplitGroup* group)
{
    std::vector<GLSplitGroup*> path;
    for (; group; group = group->m_pParent)
        path.push_back(group);
    std::reverse(path.begin(), path.end());
    return path;
}

size_t SharedDepth(const std::vector<GLSplitGroup*>& a, const std::vector<GLSplitGroup*>& b)
{
    size_t depth = 0;
    while (depth < a.size() && depth < b.size() && a[depth] == b[depth])
        ++depth;
    return depth;
}

GLLayoutEntry RowEntry(const GLSplitGroup* g, bool rows)
{
    if (rows)
        return {g->m_iHeight, g->m_iMinimumHeight, g->m_iMaximumHeight, g->m_dVerticalZoom};
    return {g->m_iWidth, g->m_iMinimumWidth, g->m_iMaximumWidth, g->m_dHorizontalZoom};
}
} // namespace

void GLLayout::PaintGL()
{
    if (m_bLayoutDirty) {
        CalcLayout();
        m_bLayoutDirty = false;
    }
    if (m_pRootGroup)
        PaintGroup(m_pRootGroup);
    PaintFeedback();
}

void GLLayout::ResizeGL() { CalcLayout(); }

// Depth first, so later panels paint over earlier ones; an invisible or empty group ends the descent.
void GLLayout::PaintGroup(GLSplitGroup* group)
{
    if (!IsGroupVisible(group) || group->m_iWidth < 1 || group->m_iHeight < 1)
        return;
    if (group->m_pWidget)
        group->m_pWidget->DrawBaseContents();
    for (size_t i = 0; i < group->m_Children.size(); ++i)
        PaintGroup(group->m_Children[i]);
}

void GLLayout::PaintFeedback()
{
    const int alpha = m_bSplitDrag ? 255 : 128;
    GLPolygon bar;
    if (m_pVerticalSplitGroup) {
        const GLSplitGroup* g = m_pVerticalSplitGroup;
        int x0 = g->m_iX, x1 = g->m_iX + g->m_iWidth;
        // The bar spans the rows that follow this group as well.
        for (const GLSplitGroup* slave : g->m_VerticalSlaves) {
            if (!IsGroupVisible(slave))
                continue;
            x0 = std::min(x0, slave->m_iX);
            x1 = std::max(x1, slave->m_iX + slave->m_iWidth);
        }
        bar.SetFillStyle(GLFillStyle(eFillHGradient, QColor(255, 255, 255, alpha), QColor(96, 96, 96, alpha)));
        bar.SetRect(float(x0), float(m_iSplitPos - 2), float(x1 - x0), 4);
        DrawPolygon(bar, true);
    } else if (m_pHorizontalSplitGroup) {
        const GLSplitGroup* g = m_pHorizontalSplitGroup;
        bar.SetFillStyle(GLFillStyle(eFillVGradient, QColor(255, 255, 255, alpha), QColor(96, 96, 96, alpha)));
        bar.SetRect(float(m_iSplitPos - 2), float(g->m_iY), 4, float(g->m_iHeight));
        DrawPolygon(bar, true);
    } else if (m_pMoveWidget) {
        const GLBaseWidget* w = m_pMoveWidget;
        const GLSplitGroup* g = m_pMoveGroup ? m_pMoveGroup : w->m_pSplitGroup;
        const float dx = float(m_MoveOffset.x()), dy = float(m_MoveOffset.y());
        m_MoveOutline.SetRect(w->left() + dx, w->top() + dy, float(w->width()), float(w->height()));
        m_MoveGroupOutline.SetRect(g->m_iX + dx, g->m_iY + dy, float(g->m_iWidth), float(g->m_iHeight));
        DrawPolygon(m_MoveOutline, true);
        DrawPolygon(m_MoveGroupOutline, true);
        m_MoveOrigin.SetRect(float(w->left()), float(w->top()), float(w->width()), float(w->height()));
        m_MoveGroupOrigin.SetRect(float(g->m_iX), float(g->m_iY), float(g->m_iWidth), float(g->m_iHeight));
        DrawPolygon(m_MoveOrigin, true);
        DrawPolygon(m_MoveGroupOrigin, true);
    }
}

QMouseEvent GLLayout::LocalMouseEvent(QMouseEvent* event, GLBaseWidget* widget) const
{
    const QPointF local(event->pos().x() - widget->left(), event->pos().y() - widget->top());
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QPointF global = event->globalPosition();
#else
    const QPointF global = event->screenPos();
#endif
    return QMouseEvent(event->type(), local, global, event->button(), event->buttons(), event->modifiers());
}

// A panel that opens rows below or above a visible master stays where its master is.
bool GLLayout::IsMovable(GLBaseWidget* widget)
{
    if (widget->m_eVerticalAlignment == GLBW::eAlignSameRow)
        return true;
    const GLBaseWidget* master = FindWidget(widget->GetVerticalMaster());
    return !master || !IsGroupVisible(master->m_pSplitGroup);
}

void GLLayout::mousePressEvent(QMouseEvent* event)
{
    Update();
    if ((m_pHorizontalSplitGroup || m_pVerticalSplitGroup) && event->buttons() == Qt::LeftButton) {
        m_bSplitDrag = true;
        return;
    }
    GLBaseWidget* w = FindWidget(event->pos());
    if (!w)
        return;
    if (event->buttons() == Qt::MiddleButton && !m_bSplitDrag) {
        if (!IsMovable(w))
            return;
        m_pHorizontalSplitGroup = m_pVerticalSplitGroup = nullptr;
        m_pMoveWidget = w;
        m_pMoveGroup = w->m_pSplitGroup;
        m_MoveStart = event->pos();
        m_MoveOffset = QPoint(0, 0);
        return;
    }
    if (event->buttons() == Qt::LeftButton) {
        m_pMouseGrabber = w;
        QMouseEvent local = LocalMouseEvent(event, w);
        w->mousePressEvent(&local);
    }
}

void GLLayout::mouseReleaseEvent(QMouseEvent* event)
{
    Update();
    if (m_bSplitDrag) {
        m_bSplitDrag = false;
        return;
    }
    if (m_pMoveWidget) {
        RestoreOverrideCursor();
        m_pMoveWidget = nullptr;
        m_pMoveGroup = nullptr;
        return;
    }
    if (GLBaseWidget* grabber = m_pMouseGrabber) {
        QMouseEvent local = LocalMouseEvent(event, grabber);
        grabber->mouseReleaseEvent(&local);
        m_pMouseGrabber = nullptr;
        return;
    }
    GLBaseWidget* w = FindWidget(event->pos());
    if (w && event->buttons() == Qt::LeftButton) {
        QMouseEvent local = LocalMouseEvent(event, w);
        w->mouseReleaseEvent(&local);
    }
}

void GLLayout::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (GLBaseWidget* w = FindWidget(event->pos())) {
        QMouseEvent local = LocalMouseEvent(event, w);
        w->mouseDoubleClickEvent(&local);
    }
}

void GLLayout::wheelEvent(QWheelEvent* event)
{
    event->accept();
    Update();
    if (GLBaseWidget* w = FindWidget(event->position().toPoint()))
        w->wheelEvent(event);
}

void GLLayout::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    Update();
    if (m_bSplitDrag || m_pMoveWidget)
        return;
    if (GLBaseWidget* w = FindWidget(event->pos())) {
        QContextMenuEvent local(event->reason(), QPoint(event->x() - w->left(), event->y() - w->top()),
                                event->globalPos(), event->modifiers());
        w->contextMenuEvent(&local);
    }
}

void GLLayout::leaveEvent(QEvent*)
{
    m_pHorizontalSplitGroup = m_pVerticalSplitGroup = nullptr;
    Update();
}

void GLLayout::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bSplitDrag) {
        Update();
        DragSplitter(event->pos());
    } else if (m_pMoveWidget) {
        MovePanel(event->pos());
    } else {
        HoverOrRoute(event);
    }
}

// Every move starts again from the vectors prepared when the boundary was found.
void GLLayout::DragSplitter(const QPoint& pos)
{
    const bool rows = m_pVerticalSplitGroup != nullptr;
    GLSplitGroup* g = rows ? m_pVerticalSplitGroup : m_pHorizontalSplitGroup;
    if (!g)
        return;
    GLLayoutVector before = m_SplitBefore, after = m_SplitAfter;
    const int total = rows ? g->m_iHeight : g->m_iWidth;
    const int origin = rows ? g->m_iY : g->m_iX;
    const long long lo = std::max<long long>((long long)total - after.m_iMaximum, before.m_iMinimum);
    const long long hi = std::min<long long>((long long)total - after.m_iMinimum, before.m_iMaximum);
    const long long wanted = (long long)(rows ? pos.y() : pos.x()) - origin;
    CalcSplit(before, after, int(std::min(std::max(wanted, lo), hi)), total);
    m_iSplitPos = origin + before.m_iSize;

    // The zooms are fractions of the space each child may take, so the next pass reproduces the sizes.
    const size_t count = before.m_Entries.size() + after.m_Entries.size();
    size_t next = 0;
    for (size_t i = 0; i < g->m_Children.size() && next < count; ++i) {
        GLSplitGroup* c = g->m_Children[i];
        if (!IsGroupVisible(c))
            continue;
        const GLLayoutEntry& e = next < before.m_Entries.size() ? before.m_Entries[next]
                                                                 : after.m_Entries[next - before.m_Entries.size()];
        ++next;
        const int room = std::min(rows ? c->m_iMaximumHeight : c->m_iMaximumWidth, total);
        (rows ? c->m_dVerticalZoom : c->m_dHorizontalZoom) = room > 0 ? double(e.m_iSize) / room : 0.0;
    }
    CalcLayout();
}

void GLLayout::HoverOrRoute(QMouseEvent* event)
{
    if (GLBaseWidget* grabber = m_pMouseGrabber) {
        QMouseEvent local = LocalMouseEvent(event, grabber);
        grabber->mouseMoveEvent(&local);
        return;
    }
    if (m_pHorizontalSplitGroup || m_pVerticalSplitGroup) {
        Update();
        m_pHorizontalSplitGroup = m_pVerticalSplitGroup = nullptr;
    }
    const QPoint pos = event->pos();
    GLBaseWidget* w = FindWidget(pos);
    if (!w) {
        RestoreOverrideCursor();
        setCursor(Qt::ArrowCursor);
        return;
    }
    // The outermost two pixels of a panel belong to the splitters, found or not.
    if (pos.y() < w->top() + 2)
        TopSplit(w->m_pSplitGroup);
    else if (w->height() + w->top() <= pos.y() + 2)
        BottomSplit(w->m_pSplitGroup);
    else if (pos.x() < w->left() + 2)
        LeftSplit(w->m_pSplitGroup);
    else if (w->width() + w->left() <= pos.x() + 2)
        RightSplit(w->m_pSplitGroup);
    else {
        RestoreOverrideCursor();
        if (!w->m_pQWidget)
            setCursor(w->cursor());
        QMouseEvent local = LocalMouseEvent(event, w);
        w->mouseMoveEvent(&local);
    }
}

// Climbs from the leaf to the nearest group that has a visible child on the far side of the
// boundary, then prepares the two sides' entries for a drag.
void GLLayout::FindBoundary(GLSplitGroup* leaf, eBoundary boundary)
{
    const bool rows = boundary == eTopBoundary || boundary == eBottomBoundary;
    const bool after = boundary == eBottomBoundary || boundary == eRightBoundary;
    GLSplitGroup* c = leaf;
    GLSplitGroup* p = nullptr;
    size_t k = 0, j = 0;
    for (;;) {
        if (rows && c->m_pVerticalMaster && IsGroupVisible(c->m_pVerticalMaster))
            c = c->m_pVerticalMaster;
        p = c->m_pParent;
        if (!p)
            return;
        if (rows ? p->m_bHorizontal : p->m_bVertical) {
            c = p;
            p = p->m_pParent;
            if (!p)
                return;
        }
        const auto it = std::find(p->m_Children.begin(), p->m_Children.end(), c);
        k = size_t(it - p->m_Children.begin());
        bool found = false;
        if (after) {
            for (size_t i = k + 1; i < p->m_Children.size() && !found; ++i)
                if (IsGroupVisible(p->m_Children[i])) {
                    j = i;
                    found = true;
                }
        } else {
            for (size_t i = std::min(k, p->m_Children.size()); i-- > 0 && !found;)
                if (IsGroupVisible(p->m_Children[i])) {
                    j = i;
                    found = true;
                }
        }
        if (found && k < p->m_Children.size())
            break;
        c = p;
    }
    auto fixed = [rows](const GLSplitGroup* g) {
        return rows ? g->m_iMinimumHeight == g->m_iMaximumHeight : g->m_iMinimumWidth == g->m_iMaximumWidth;
    };
    const GLSplitGroup* childK = p->m_Children[k];
    if (fixed(p->m_Children[j]) && fixed(childK))
        return;
    const size_t split = after ? k + 1 : k;
    m_SplitBefore = GLLayoutVector();
    m_SplitAfter = GLLayoutVector();
    for (size_t i = 0; i < p->m_Children.size(); ++i)
        if (IsGroupVisible(p->m_Children[i]))
            (i < split ? m_SplitBefore : m_SplitAfter).m_Entries.push_back(RowEntry(p->m_Children[i], rows));
    m_SplitBefore.Sum();
    m_SplitAfter.Sum();
    if (m_SplitBefore.m_iMinimum == m_SplitBefore.m_iMaximum || m_SplitAfter.m_iMinimum == m_SplitAfter.m_iMaximum)
        return;
    const int whole = m_SplitBefore.m_iSize + m_SplitAfter.m_iSize;
    m_SplitBefore.Distribute(m_SplitBefore.m_iSize, whole, false, false);
    m_SplitAfter.Distribute(m_SplitAfter.m_iSize, whole, false, false);
    (rows ? m_pVerticalSplitGroup : m_pHorizontalSplitGroup) = p;
    const int start = rows ? childK->m_iY : childK->m_iX;
    const int extent = rows ? childK->m_iHeight : childK->m_iWidth;
    m_iSplitPos = after ? start + extent : start;
    SetOverrideCursor(rows ? Qt::SplitVCursor : Qt::SplitHCursor);
    Update();
}

void GLLayout::MovePanel(const QPoint& pos)
{
    Update();
    m_MoveOffset = QPoint(0, 0);
    GLSplitGroup* moved = m_pMoveWidget->m_pSplitGroup;
    m_pMoveGroup = moved;
    GLBaseWidget* target = FindWidget(pos);
    if (!target) {
        SetOverrideCursor(Qt::ForbiddenCursor);
        target = m_pMoveWidget;
    } else if (target->m_eVerticalAlignment != GLBW::eAlignSameRow &&
               FindWidget(target->GetVerticalMaster()) == m_pMoveWidget) {
        target = m_pMoveWidget; // the panel's own rows move with it
    } else {
        SetOverrideCursor(Qt::ClosedHandCursor);
    }

    // The two children of the deepest common ancestor that hold the moved and the target leaf.
    const std::vector<GLSplitGroup*> movedPath = PathFromRoot(moved);
    const std::vector<GLSplitGroup*> targetPath = PathFromRoot(target->m_pSplitGroup);
    size_t depth = 0;
    GLSplitGroup *ancestor = nullptr, *a = nullptr, *b = nullptr;
    if (target == m_pMoveWidget) {
        depth = movedPath.size() - 1;
        ancestor = moved->m_pParent;
        a = b = moved;
    } else {
        depth = SharedDepth(movedPath, targetPath);
        if (depth == 0 || depth >= movedPath.size() || depth >= targetPath.size())
            return;
        ancestor = movedPath[depth - 1];
        a = movedPath[depth];
        b = targetPath[depth];
    }
    if (!ancestor)
        return;
    const bool across = ancestor->m_bHorizontal;
    if (across)
        m_MoveOffset.rx() = pos.x() - m_MoveStart.x();
    else
        m_MoveOffset.ry() = pos.y() - m_MoveStart.y();

    // A panel that follows a master's rows moves only within a subtree that holds the master too.
    if (moved->m_pVerticalMaster && SharedDepth(movedPath, PathFromRoot(moved->m_pVerticalMaster)) < depth) {
        SetOverrideCursor(Qt::ForbiddenCursor);
        return;
    }
    m_pMoveGroup = a;
    if (target == m_pMoveWidget)
        return;
    const int p = across ? pos.x() : pos.y();
    const int aPos = across ? a->m_iX : a->m_iY, aLen = across ? a->m_iWidth : a->m_iHeight;
    const int bPos = across ? b->m_iX : b->m_iY, bLen = across ? b->m_iWidth : b->m_iHeight;
    // Trade places as soon as the mouse passes the middle of the sibling subtree.
    if ((p < aPos && p < bPos + bLen / 2) || (aPos + aLen < p && bPos + bLen / 2 < p)) {
        int& start = across ? m_MoveStart.rx() : m_MoveStart.ry();
        start = start - aPos + bPos + (aPos < p ? bLen - aLen : 0);
        (across ? m_MoveOffset.rx() : m_MoveOffset.ry()) = p - start;
        std::vector<GLSplitGroup*>& children = ancestor->m_Children;
        std::iter_swap(std::find(children.begin(), children.end(), a), std::find(children.begin(), children.end(), b));
        CalcLayout();
    }
}
