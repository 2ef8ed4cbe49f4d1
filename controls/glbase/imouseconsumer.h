#ifndef IMOUSECONSUMER_H
#define IMOUSECONSUMER_H

#include "glbase_export.h"

#include <QtGlobal>

class GLCommonWidget;
class QMouseEvent;

/// Mouse input of a plot panel, implemented by the application. Positions are panel
/// coordinates; windowType is the panel's window type. A non-zero result takes the event.
class GLBASE_EXPORT IMouseConsumer
{
public:
    /// Taking a press makes this consumer the panel's active one: it is asked first about
    /// the following moves and the release.
    virtual qint64 mousePress(QMouseEvent* event, GLCommonWidget* widget, int windowType) = 0;
    /// captured is true when asked as the active consumer; then a non-zero result keeps it
    /// active and zero gives the mouse back.
    virtual qint64 mouseRelease(QMouseEvent* event, GLCommonWidget* widget, int windowType, bool captured) = 0;
    /// A move, asked as mouseRelease is; the panel sets the arrow cursor when no consumer takes it.
    virtual qint64 mouseMove(QMouseEvent* event, GLCommonWidget* widget, int windowType, bool captured) = 0;
    /// A double click, offered to every consumer in turn; it changes no active consumer.
    virtual qint64 mouseDoubleClick(QMouseEvent* event, GLCommonWidget* widget, int windowType) = 0;
    virtual ~IMouseConsumer() = default;
};

#endif
