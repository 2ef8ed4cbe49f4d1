#ifndef ISIZEHANDLER_H
#define ISIZEHANDLER_H

#include "glbase_export.h"

class GLCommonWidget;
class QResizeEvent;

/// Told about the size changes of a plot panel, implemented by the application (typically to
/// give its axes the new pixel count).
class GLBASE_EXPORT ISizeHandler
{
public:
    /// The panel's new size, in the event; called for every resize of the panel, highest layer first.
    virtual void resized(QResizeEvent* event, GLCommonWidget* widget, int windowType) = 0;
    /// Called by GLCommonWidget::prepareUpdate before the application repaints.
    virtual void prepareUpdate(GLCommonWidget* widget) = 0;
    virtual ~ISizeHandler() = default;
};

#endif
