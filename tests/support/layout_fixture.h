#ifndef LAYOUT_FIXTURE_H
#define LAYOUT_FIXTURE_H

#include "gllayout.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
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
    struct Received { QEvent::Type type; QPoint pos; };
    std::vector<Received> vEvents;
    int iResizes = 0;

    explicit RecordingPanel(std::string name, bool border = true) : GLBaseWidget(name) { SetBorderWidget(border); }
    // Where the last event of that type arrived; far outside every panel when none did.
    QPoint Last(QEvent::Type type) const
    {
        auto it = std::find_if(vEvents.rbegin(), vEvents.rend(), [type](const Received& r) { return r.type == type; });
        return it == vEvents.rend() ? QPoint(-9999, -9999) : it->pos;
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

inline void Send(QWidget& w, QEvent&& event) { QCoreApplication::sendEvent(&w, &event); }

// A hidden widget gets no resize event from Qt until it is shown; deliver it as a window would.
inline void ResizeLayout(QWidget& layout, int w, int h)
{
    const QSize old = layout.size();
    layout.resize(w, h);
    Send(layout, QResizeEvent(layout.size(), old));
}

// Delivers a real mouse event to the layout widget, as Qt would.
inline void SendMouse(QWidget& target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    Send(target, QMouseEvent(type, pos, target.mapToGlobal(pos), button, buttons, Qt::NoModifier));
}
// A press of one button and its release, a move with buttons held, a left double click, a leave, a menu
// request and a wheel step, each delivered as Qt would.
inline void Press(QWidget& w, QPoint p, Qt::MouseButton b = Qt::LeftButton)
{
    SendMouse(w, QEvent::MouseButtonPress, p, b, b);
}
inline void Release(QWidget& w, QPoint p, Qt::MouseButton b = Qt::LeftButton)
{
    SendMouse(w, QEvent::MouseButtonRelease, p, b, Qt::NoButton);
}
inline void Move(QWidget& w, QPoint p, Qt::MouseButtons b = {}) { SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, b); }
inline void DoubleClick(QWidget& w, QPoint p)
{
    SendMouse(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
}
inline void Leave(QWidget& w) { Send(w, QEvent(QEvent::Leave)); }
inline void Menu(QWidget& w, QPoint p) { Send(w, QContextMenuEvent(QContextMenuEvent::Mouse, p, w.mapToGlobal(p))); }
inline void Wheel(QWidget& w, QPoint p, int delta = 120)
{
    Send(w, QWheelEvent(p, w.mapToGlobal(p), {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false));
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
