#ifndef IMOUSEWHEELCONSUMER_H
#define IMOUSEWHEELCONSUMER_H

#include "glbase_export.h"

#include <QtGlobal>

class GLCommonWidget;
class QWheelEvent;

/// Wheel input of a plot panel, implemented by the application.
class GLBASE_EXPORT IMouseWheelConsumer
{
public:
    /// The event's position is in layout coordinates, not panel coordinates. A non-zero
    /// result takes the event.
    virtual qint64 wheel(QWheelEvent* event, GLCommonWidget* widget, int windowType) = 0;
    virtual ~IMouseWheelConsumer() = default;
};

#endif
