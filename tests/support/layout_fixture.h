#ifndef LAYOUT_FIXTURE_H
#define LAYOUT_FIXTURE_H

#include "gllayout.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>
#include <string>
#include <vector>

// A layout whose splitter arithmetic the tests can call directly.
class TestLayout : public GLLayout
{
public:
    using GLLayout::CalcSplit;
};

// A panel that records what the layout hands it, with the positions it received.
class RecordingPanel : public GLBaseWidget
{
public:
    struct Received
    {
        QEvent::Type type;
        QPoint pos;
    };
    std::vector<Received> vEvents;
    int iResizes = 0;

    explicit RecordingPanel(const std::string& name, bool border = true) : GLBaseWidget(name) { SetBorderWidget(border); }
    int Count(QEvent::Type type) const
    {
        int n = 0;
        for (const Received& r : vEvents)
            n += r.type == type;
        return n;
    }
    QPoint Last(QEvent::Type type) const
    {
        for (auto it = vEvents.rbegin(); it != vEvents.rend(); ++it)
            if (it->type == type)
                return it->pos;
        return QPoint(-9999, -9999);
    }

protected:
    void resizeEvent(QResizeEvent*) override { ++iResizes; }
    void mouseDoubleClickEvent(QMouseEvent* e) override { vEvents.push_back({e->type(), e->pos()}); }
    void mouseMoveEvent(QMouseEvent* e) override { vEvents.push_back({e->type(), e->pos()}); }
    void mousePressEvent(QMouseEvent* e) override { vEvents.push_back({e->type(), e->pos()}); }
    void mouseReleaseEvent(QMouseEvent* e) override { vEvents.push_back({e->type(), e->pos()}); }
    void wheelEvent(QWheelEvent* e) override { vEvents.push_back({e->type(), e->position().toPoint()}); }
    void contextMenuEvent(QContextMenuEvent* e) override { vEvents.push_back({e->type(), e->pos()}); }
};

// Resizes the layout through a real resize event, which recomputes the layout.
inline void ResizeLayout(GLLayout& layout, int w, int h)
{
    const QSize old = layout.size();
    layout.resize(w, h);
    QResizeEvent event(layout.size(), old);
    QCoreApplication::sendEvent(&layout, &event);
}

inline void SendMouse(GLLayout& layout, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, layout.mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&layout, &event);
}

inline void Move(GLLayout& layout, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
{
    SendMouse(layout, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

// The tree as text: H[...] and V[...] for split groups, panel names for leaves, "-" for an empty
// leaf, "*" after a group that follows a vertical master.
inline std::string DumpTree(const GLSplitGroup* g)
{
    if (!g)
        return "null";
    const std::string mark = g->m_pVerticalMaster ? "*" : "";
    if (!g->m_bHorizontal && !g->m_bVertical)
        return (g->m_pWidget ? std::string(g->m_pWidget->GetName()) : std::string("-")) + mark;
    std::string text = std::string(g->m_bHorizontal ? "H" : "V") + mark + "[";
    for (size_t i = 0; i < g->m_Children.size(); ++i)
        text += (i ? "," : "") + DumpTree(g->m_Children[i]);
    return text + "]";
}

inline QRect Rect(const GLBaseWidget& w) { return QRect(w.left(), w.top(), w.width(), w.height()); }

#endif
