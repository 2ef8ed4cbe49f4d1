#ifndef IGLDRAWOBJECTONSINGLEWIDGET_H
#define IGLDRAWOBJECTONSINGLEWIDGET_H

#include "glbase_export.h"

class GLCommonWidget;
class GLPainter;

/// A background of a plot panel, painted before all of its draw objects.
class GLBASE_EXPORT IGLDrawObjectOnSingleWidget
{
public:
    virtual ~IGLDrawObjectOnSingleWidget() = default;
    /// Paints the background into the panel; windowType is the panel's window type.
    virtual void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) = 0;
};

#endif
