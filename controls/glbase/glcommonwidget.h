#ifndef GLCOMMONWIDGET_H
#define GLCOMMONWIDGET_H

#include "glbase_export.h"
#include "glbasewidget.h"
#include "igldrawobject.h"
#include "igldrawobjectonsinglewidget.h"
#include "ihascontextmenu.h"
#include "ihmap.h"
#include "imouseconsumer.h"
#include "imousewheelconsumer.h"
#include "isizehandler.h"

#include <QPoint>
#include <QPointer>
#include <QSizePolicy>
#include <map>
#include <memory>
#include <string>
#include <vector>

class GLLayout;

/// A background entry of a plot panel, painted before every draw object.
struct GLBASE_EXPORT BackgroundDrawObject
{
    /// The application's tag given with the background; the panel does not read it.
    int m_iUserDimension = 0;
    /// The background, held weakly.
    std::weak_ptr<IGLDrawObjectOnSingleWidget> m_pObject;
};

/// The panel on which a plot is composed. It draws nothing of its own: it paints the objects
/// registered with it in layers (lowest first) and offers its input to the registered consumers
/// from the highest layer down, later registrations first, until one takes it. Everything is
/// held by std::weak_ptr, so the application decides lifetimes; an object that dies leaves an
/// expired entry that the walks skip (a dead draw object ends that paint's pass).
///
/// Callbacks may register and remove entries, or drop their own last owner, while a walk is
/// under way: every walk runs over the entries as they stood when it began (added entries take
/// part from the next event, removed ones are still offered the current one), and each object
/// is kept alive for the length of its own call.
class GLBASE_EXPORT GLCommonWidget : public GLBaseWidget
{
public:
    /// Layers; any int value may be used, only the order counts.
    enum eZOrder : qint32 {
        eZOrderBackground = 0, ///< backgrounds of the plot area
        eZOrderGrid = 10, ///< grid lines
        eZOrderData = 20, ///< traces and images
        eZOrderAxis = 30, ///< axes
        eZOrderMarker = 40, ///< markers and cursors
        eZOrderTop = 50 ///< above everything else
    };
    /// Passed unchanged to every callback; axes give 2 and 6 a meaning of their own.
    enum EWindowType : qint32 {
        ePlotWindow = 0, ///< the plot area
        eYAxisWindow = 1, ///< a vertical axis beside the plot
        eXAxisWindow = 2, ///< shows the texts and buttons of a horizontal axis
        eAzimuthWindow = 6 ///< ticks are angles
    };

    template <class T>
    /// Registrations by layer, each layer in the order added.
    using Registry = std::map<eZOrder, std::vector<std::weak_ptr<T>>>;

    /// Knows its layout at once (for update, mouse tracking and sizePolicy) but is added to it by
    /// the caller. Minimum width and height are 20.
    GLCommonWidget(const std::string& name, GLLayout* layout, EWindowType type);
    /// Drops every registration (the objects are not affected) and leaves the layout.
    ~GLCommonWidget() override;

    /// The window type given to the constructor.
    EWindowType GLCommonWidget_Type() const { return m_eWindowType; }

    /// Appends to layer z (created when absent); registering an object twice gives two entries.
    void addPaintObject(std::weak_ptr<IGLDrawObject> obj, eZOrder z);
    /// As addPaintObject, and switches on mouse tracking of the layout widget.
    void addMouseObject(std::weak_ptr<IMouseConsumer> obj, eZOrder z);
    /// As addPaintObject, and switches on mouse tracking of the layout widget.
    void addWheelObject(std::weak_ptr<IMouseWheelConsumer> obj, eZOrder z);
    /// As addPaintObject, for context menu providers.
    void addContextMenu(std::weak_ptr<IHasContextMenu> obj, eZOrder z);
    /// As addPaintObject, for size handlers.
    void addSizeObject(std::weak_ptr<ISizeHandler> obj, eZOrder z);
    /// Removes the first matching entry (lowest layer first); an expired reference matches the
    /// first expired entry. Nothing when none matches; emptied layers stay.
    void removePaintObject(const std::weak_ptr<IGLDrawObject>& obj);
    /// As removePaintObject, for mouse consumers.
    void removeMouseObject(const std::weak_ptr<IMouseConsumer>& obj);
    /// Replaces the background under key order (painted in ascending key order); the panel keeps
    /// only a weak reference. The flag has no effect.
    void addUserDimensionBackgroundDrawObject(int userDimension, int order,
                                              std::shared_ptr<IGLDrawObjectOnSingleWidget> obj, bool);

    /// The axes; setting them recomputes and repaints nothing.
    void SetXAxis(std::weak_ptr<IHMap> axis) { m_XAxis = std::move(axis); }
    /// The vertical axis, used by YStart and YStop.
    void SetYAxis(std::weak_ptr<IHMap> axis) { m_YAxis = std::move(axis); }
    /// The horizontal axis, as set.
    std::weak_ptr<IHMap> GetXAxis() const { return m_XAxis; }
    /// The vertical axis, as set.
    std::weak_ptr<IHMap> GetYAxis() const { return m_YAxis; }

    /// Y axis values at the bottom and the top edge; the argument is not used. Without a live
    /// Y axis both return -1.0, the axes' own off-axis answer.
    virtual double YStart(short);
    /// The Y axis value at the top edge; -1.0 without a live Y axis.
    virtual double YStop(short);

    /// Calls prepareUpdate of every size handler, highest layer first.
    void prepareUpdate();
    /// The size policy of the layout widget; the default policy when the layout was null.
    QSizePolicy sizePolicy() const;
    /// Panel position of the last context menu event that opened a menu.
    QPoint GetMenuMousePosition() const { return m_MenuMousePosition; }

protected:
    /// Passes the resize to every size handler, highest layer first.
    void resizeEvent(QResizeEvent* event) override;
    /// Paints the backgrounds, then the draw objects, lowest layer first.
    void paintEvent(QPaintEvent* event) override;
    /// Offers the double click to the mouse consumers; the right button's to none.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    /// Offers the move to the active consumer, then to all; the arrow cursor when none takes it.
    void mouseMoveEvent(QMouseEvent* event) override;
    /// Offers the press to the mouse consumers, the right button's to none; the taker becomes active.
    void mousePressEvent(QMouseEvent* event) override;
    /// Offers the release to the active consumer, then to all; the right button's to none.
    void mouseReleaseEvent(QMouseEvent* event) override;
    /// Offers the wheel event, in layout coordinates, to the wheel consumers.
    void wheelEvent(QWheelEvent* event) override;
    /// Shows the first menu a provider returns, at the event's position, and waits for it.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    enum class eMouseStep { eMove, eRelease };
    void DispatchCaptured(QMouseEvent* event, eMouseStep step);
    qint64 OfferMouse(IMouseConsumer& consumer, QMouseEvent* event, eMouseStep step, bool captured);

    Registry<IGLDrawObject> m_PaintObjects;
    Registry<IMouseConsumer> m_MouseObjects;
    Registry<IMouseWheelConsumer> m_WheelObjects;
    Registry<IHasContextMenu> m_ContextMenus;
    Registry<ISizeHandler> m_SizeObjects;
    std::weak_ptr<IHMap> m_XAxis;
    std::weak_ptr<IHMap> m_YAxis;
    EWindowType m_eWindowType;
    std::weak_ptr<IMouseConsumer> m_ActiveMouseConsumer;
    QPoint m_MenuMousePosition;
    std::map<int, BackgroundDrawObject> m_BackgroundObjects;
    bool m_bDrawBackgroundObjects = true;
    /// The layout given to the constructor, kept for sizePolicy while the panel is outside it.
    QPointer<GLLayout> m_pOwnerLayout;
    const GLLayout* m_pConstructedLayout; ///< compared only, never followed
};

#endif
