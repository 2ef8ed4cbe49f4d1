#ifndef IGLDRAWOBJECT_H
#define IGLDRAWOBJECT_H

#include "glbase_export.h"

class GLCommonWidget;
class GLPainter;
class QString;

/// Something a plot panel paints in one of its layers, such as an axis or a trace. The panel
/// holds it by std::weak_ptr, so the application decides how long it lives.
class GLBASE_EXPORT IGLDrawObject
{
public:
    /// Whether the object wants to be shown; the panel itself does not ask.
    virtual bool visible() const = 0;
    /// Paints the object into the panel through the painter; windowType is the panel's
    /// GLCommonWidget::EWindowType as int.
    virtual void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) = 0;
    /// A name for the application's own bookkeeping; the panel does not read it.
    virtual const QString& name() const = 0;
    virtual ~IGLDrawObject() = default;
};

#endif
