#ifndef IHASCONTEXTMENU_H
#define IHASCONTEXTMENU_H

#include "glbase_export.h"

class GLCommonWidget;
class QContextMenuEvent;
class QMenu;

/// Context menu of a plot panel, implemented by the application.
class GLBASE_EXPORT IHasContextMenu
{
public:
    /// The menu to show at once, or null to let the next provider offer one. The provider
    /// keeps ownership of the menu.
    virtual QMenu* contextMenu(QContextMenuEvent* event, GLCommonWidget* widget, int windowType) = 0;
    virtual ~IHasContextMenu() = default;
};

#endif
