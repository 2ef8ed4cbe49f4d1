#ifndef LAYOUT_FIXTURE_H
#define LAYOUT_FIXTURE_H

#include "gllayout.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
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
    // Run after a press or release is noted; they may take the panel out of its layout, or delete it.
    std::function<void(RecordingPanel*)> onPress, onRelease;

    explicit RecordingPanel(const std::string& name, bool border = true) : GLBaseWidget(name)
    {
        SetBorderWidget(border);
    }
    int Count(QEvent::Type type) const
    {
        return int(std::count_if(vEvents.begin(), vEvents.end(), [type](const Received& r) { return r.type == type; }));
    }
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
    void mousePressEvent(QMouseEvent* e) override { Note({e->type(), e->pos()}, onPress); }
    void mouseReleaseEvent(QMouseEvent* e) override { Note({e->type(), e->pos()}, onRelease); }
    void wheelEvent(QWheelEvent* e) override { vEvents.push_back({e->type(), e->position().toPoint()}); }
    void contextMenuEvent(QContextMenuEvent* e) override { vEvents.push_back({e->type(), e->pos()}); }

private:
    // The hook is a copy: deleting the panel deletes its own.
    void Note(Received r, std::function<void(RecordingPanel*)> hook)
    {
        vEvents.push_back(r);
        if (hook)
            hook(this);
    }
};

// A hidden widget gets no resize event from Qt until it is shown; deliver it as a window would.
inline void ResizeLayout(QWidget& layout, int w, int h)
{
    const QSize old = layout.size();
    layout.resize(w, h);
    QResizeEvent event(layout.size(), old);
    QCoreApplication::sendEvent(&layout, &event);
}

// Delivers a real mouse event to the layout widget, as Qt would.
inline void SendMouse(QWidget& target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, target.mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &event);
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
