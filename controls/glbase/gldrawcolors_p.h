#ifndef GLDRAWCOLORS_P_H
#define GLDRAWCOLORS_P_H

// Internal to the library, never installed: the colour identifiers the library's own draw objects
// (axes, time scales, colour bars) ask the process-wide colour handler for.

#include "glframewidget.h"
#include "icolorbase.h"

#include <QColor>

namespace GLDrawColors
{
const int ciGrid = 121;
const int ciAxisPanelText = 126;
const int ciText = 131;
const int ciTextBackground = 132;

// Without a colour handler every one of them is opaque black, so drawing still works.
inline QColor HandlerColor(int id)
{
    IColorBase* colors = GLFrameWidget::getColorHandler();
    return colors ? colors->color(id) : QColor(Qt::black);
}
} // namespace GLDrawColors

#endif
