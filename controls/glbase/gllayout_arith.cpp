// Layout arithmetic: limits bottom-up, space shared out top-down by zooms within the limits, rows
// aligned to their vertical masters, and which separator strips and border column are shown.
#include "gllayout.h"

#include <QWidget>
#include <algorithm>
#include <climits>
#include <cmath>

namespace
{
const int ciMax = GLBaseWidget::ciMaxCoord;

// Limits may be any int the setters accept, so sums saturate instead of overflowing.
int Saturate(long long value) { return int(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, value))); }

// Maxima along the direction of a group: unbounded stays unbounded.
int SumMaximum(int sum, int maximum)
{
    if (sum >= ciMax)
        return sum;
    return maximum == ciMax ? ciMax : Saturate((long long)sum + maximum);
}

// Maxima across a group: the smallest bounded one, unless a child is unbounded.
int CrossMaximum(int current, int maximum)
{
    if (current >= ciMax)
        return current;
    if (maximum == ciMax)
        return ciMax;
    return current == 0 ? maximum : std::min(current, maximum);
}

// Grows (or shrinks) the entries by d pixels in total, each by at most its room.
void ShareOut(std::vector<GLLayoutEntry>& entries, long long d, bool grow, bool forward, bool backward)
{
    auto room = [grow](const GLLayoutEntry& e) {
        return std::max(0LL, grow ? (long long)e.m_iMaximum - e.m_iSize : (long long)e.m_iSize - e.m_iMinimum);
    };
    auto change = [grow](GLLayoutEntry& e, long long by) { e.m_iSize = Saturate(e.m_iSize + (grow ? by : -by)); };
    auto take = [&](GLLayoutEntry& e) {
        const long long step = std::min(room(e), d);
        change(e, step);
        d -= step;
    };
    if (forward) {
        std::for_each(entries.begin(), entries.end(), take);
        return;
    }
    if (backward) {
        std::for_each(entries.rbegin(), entries.rend(), take);
        return;
    }
    long long total = 0;
    for (const GLLayoutEntry& e : entries)
        total += room(e);
    if (total <= 0)
        return;
    long long left = d;
    for (GLLayoutEntry& e : entries) {
        // A wide product: the same shares as 32-bit arithmetic wherever that would not overflow.
        const long long share = (long long)((__int128)room(e) * d / total);
        change(e, share);
        left -= share;
    }
    for (GLLayoutEntry& e : entries) {
        if (left <= 0)
            break;
        if (room(e) > 0) {
            change(e, 1);
            --left;
        }
    }
}
} // namespace

void GLLayoutVector::Distribute(int target, int limit, bool forward, bool backward)
{
    long long sum = 0, minima = 0, maxima = 0;
    for (GLLayoutEntry& e : m_Entries) {
        e.m_iMaximum = std::min(e.m_iMaximum, limit);
        const double preferred = std::floor(e.m_iMaximum * e.m_dZoom + 0.5);
        const int wanted = Saturate((long long)std::clamp(preferred, -1e18, 1e18));
        e.m_iSize = std::min(std::max(wanted, e.m_iMinimum), e.m_iMaximum);
        sum += e.m_iSize;
        minima += e.m_iMinimum;
        maxima += e.m_iMaximum;
    }
    if (target >= maxima) {
        for (GLLayoutEntry& e : m_Entries)
            e.m_iSize = e.m_iMaximum;
    } else if (target <= minima) {
        for (GLLayoutEntry& e : m_Entries)
            e.m_iSize = e.m_iMinimum;
    } else if (sum != target) {
        ShareOut(m_Entries, std::abs(target - sum), sum < target, forward, backward);
    }
    for (GLLayoutEntry& e : m_Entries)
        e.m_dZoom = e.m_iMaximum > 0 ? double(e.m_iSize) / e.m_iMaximum : 0.0;
}

void GLLayoutVector::Sum()
{
    long long size = 0, minimum = 0;
    int maximum = 0;
    for (const GLLayoutEntry& e : m_Entries) {
        size += e.m_iSize;
        minimum += e.m_iMinimum;
        maximum = SumMaximum(maximum, e.m_iMaximum);
    }
    m_iSize = Saturate(size);
    m_iMinimum = Saturate(minimum);
    m_iMaximum = maximum;
}

void GLLayout::CalcSplit(GLLayoutVector& before, GLLayoutVector& after, int pos, int total)
{
    before.Distribute(pos, total, false, true);
    before.Sum();
    after.Distribute(Saturate((long long)total - before.m_iSize), total, true, false);
}

void GLLayout::CalcLayout()
{
    ResetStrips();
    if (!m_pRootGroup) {
        Update();
        return;
    }
    LayoutPass();
    if (ShowBorders() && DecideBorders())
        LayoutPass();
    Update();
}

// With borders the decided strips stay, so the first pass already has the final geometry and
// panels are not resized through a strip-less one; only a row partner's strip, which follows its
// master's strip, is decided afresh. Without borders no strip or border column takes space.
void GLLayout::ResetStrips()
{
    if (ShowBorders()) {
        for (GLBaseWidget* widget : m_Widgets)
            for (GLSplitGroup* slave : widget->m_pSplitGroup->m_VerticalSlaves)
                if (slave->m_pWidget && StripInLayout(slave->m_pWidget))
                    slave->m_pWidget->m_pUpperBorderWidget->m_pSplitGroup->m_bShown = false;
        return;
    }
    for (GLBaseWidget* widget : m_Widgets)
        if (StripInLayout(widget))
            widget->m_pUpperBorderWidget->m_pSplitGroup->m_bShown = false;
    if (m_pBorder && m_pBorder->m_pSplitGroup)
        m_pBorder->m_pSplitGroup->m_bShown = false;
}

void GLLayout::LayoutPass()
{
    GLSplitGroup* root = m_pRootGroup;
    CalcMinMax(root);
    auto widgetSize = [](int value) { return std::max(0, std::min(value, QWIDGETSIZE_MAX)); };
    setMinimumSize(widgetSize(root->m_iMinimumWidth), widgetSize(root->m_iMinimumHeight));
    setMaximumSize(widgetSize(root->m_iMaximumWidth), widgetSize(root->m_iMaximumHeight));
    SetGroupRect(root, 0, 0, GetWidth(), GetHeight());
    LayoutChildren(root);
}

namespace
{
bool SetShown(GLSplitGroup* group, bool shown)
{
    const bool changed = group->m_bShown != shown;
    group->m_bShown = shown;
    return changed;
}
} // namespace

bool GLLayout::DecideBorders()
{
    bool changed = false;
    if (m_pBorder) {
        m_pBorder->SetBackgroundStyle(GetBorderStyle());
        if (GLSplitGroup* border = m_pBorder->m_pSplitGroup) {
            // The border column is worth showing only while the right column has room.
            const int shownWidth = border->m_bShown ? 4 : 0;
            changed |= SetShown(border, m_pTop && m_pLeft && m_pTop->width() > m_pLeft->width() + shownWidth);
        }
    }
    for (size_t i = 0; i < m_Widgets.size(); ++i) {
        GLBaseWidget* widget = m_Widgets[i];
        GLBaseWidget* strip = widget->m_pUpperBorderWidget;
        if (!strip)
            continue;
        strip->SetBackgroundStyle(GetBorderStyle());
        GLSplitGroup* leaf = widget->m_pSplitGroup;
        GLSplitGroup* stripGroup = strip->m_pSplitGroup;
        if (leaf->m_pVerticalMaster || !stripGroup)
            continue;
        // A strip separates the panel from a real panel directly above it.
        const QPoint probe = stripGroup->m_bShown ? QPoint(stripGroup->m_iX, stripGroup->m_iY - 1)
                                                  : QPoint(leaf->m_iX, leaf->m_iY - 1);
        const GLBaseWidget* above = IsGroupVisible(leaf) ? FindWidget(probe) : nullptr;
        const bool show = above && !above->m_bBorderWidget;
        changed |= SetShown(stripGroup, show);
        if (!show)
            continue;
        for (GLSplitGroup* slave : leaf->m_VerticalSlaves)
            if (slave->m_pWidget && StripInLayout(slave->m_pWidget) && IsGroupVisible(slave))
                changed |= SetShown(slave->m_pWidget->m_pUpperBorderWidget->m_pSplitGroup, true);
    }
    return changed;
}

void GLLayout::CalcMinMax(GLSplitGroup* g)
{
    if (!g->m_Children.empty()) {
        int alongMin = 0, alongMax = 0, crossMin = 0, crossMax = 0;
        const bool horizontal = g->m_bHorizontal;
        for (size_t i = 0; i < g->m_Children.size(); ++i) {
            GLSplitGroup* c = g->m_Children[i];
            if (!IsGroupVisible(c))
                continue;
            CalcMinMax(c);
            alongMin = Saturate((long long)alongMin + (horizontal ? c->m_iMinimumWidth : c->m_iMinimumHeight));
            alongMax = SumMaximum(alongMax, horizontal ? c->m_iMaximumWidth : c->m_iMaximumHeight);
            crossMin = std::max(crossMin, horizontal ? c->m_iMinimumHeight : c->m_iMinimumWidth);
            crossMax = CrossMaximum(crossMax, horizontal ? c->m_iMaximumHeight : c->m_iMaximumWidth);
        }
        g->m_iMinimumWidth = horizontal ? alongMin : crossMin;
        g->m_iMaximumWidth = horizontal ? alongMax : crossMax;
        g->m_iMinimumHeight = horizontal ? crossMin : alongMin;
        g->m_iMaximumHeight = horizontal ? crossMax : alongMax;
    }
    if (const GLSplitGroup* master = g->m_pVerticalMaster) {
        g->m_iMinimumHeight = master->m_iMinimumHeight;
        g->m_iMaximumHeight = master->m_iMaximumHeight;
    }
}

void GLLayout::LayoutChildren(GLSplitGroup* g)
{
    if (g->m_Children.empty())
        return;
    const bool horizontal = g->m_bHorizontal;
    GLLayoutVector shares;
    for (const GLSplitGroup* c : g->m_Children) {
        if (!IsGroupVisible(c))
            continue;
        if (horizontal)
            shares.m_Entries.push_back({c->m_iWidth, c->m_iMinimumWidth, c->m_iMaximumWidth, c->m_dHorizontalZoom});
        else
            shares.m_Entries.push_back({c->m_iHeight, c->m_iMinimumHeight, c->m_iMaximumHeight, c->m_dVerticalZoom});
    }
    const int extent = horizontal ? g->m_iWidth : g->m_iHeight;
    shares.Distribute(extent, extent, false, false);
    // Panels' resize handlers run inside SetGroupRect, so the children are read by index each time.
    int pos = horizontal ? g->m_iX : g->m_iY;
    size_t entry = 0;
    for (size_t i = 0; i < g->m_Children.size(); ++i) {
        GLSplitGroup* c = g->m_Children[i];
        // A hidden child keeps its size and sits where it would start, taking no space.
        const bool takesSpace = IsGroupVisible(c) && entry < shares.m_Entries.size();
        const int own = horizontal ? c->m_iWidth : c->m_iHeight;
        const int size = takesSpace ? shares.m_Entries[entry++].m_iSize : own;
        if (horizontal)
            SetGroupRect(c, pos, g->m_iY, size, g->m_iHeight);
        else
            SetGroupRect(c, g->m_iX, pos, g->m_iWidth, size);
        if (takesSpace)
            pos = Saturate((long long)pos + size);
    }
    for (size_t i = 0; i < g->m_Children.size(); ++i)
        LayoutChildren(g->m_Children[i]);
}

void GLLayout::SetGroupRect(GLSplitGroup* g, int x, int y, int w, int h)
{
    g->m_iX = x;
    g->m_iWidth = w;
    if (const GLSplitGroup* master = g->m_pVerticalMaster) {
        g->m_iY = master->m_iY;
        g->m_iHeight = master->m_iHeight;
    } else {
        g->m_iY = y;
        g->m_iHeight = h;
    }
    for (size_t i = 0; i < g->m_VerticalSlaves.size(); ++i) {
        GLSplitGroup* slave = g->m_VerticalSlaves[i];
        SetGroupRect(slave, slave->m_iX, g->m_iY, slave->m_iWidth, g->m_iHeight);
    }
    if (g->m_pWidget)
        g->m_pWidget->SetRect(float(g->m_iX), float(g->m_iY), float(g->m_iWidth), float(g->m_iHeight));
}
