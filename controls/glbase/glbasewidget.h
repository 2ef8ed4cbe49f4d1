#ifndef GLBASEWIDGET_H
#define GLBASEWIDGET_H

#include "glbase_export.h"
#include "glframewidget.h"

#include <QCursor>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <string>

class GLLayout;
class GLPainter;
class GLBaseWidget;
struct GLSplitGroup;
class QContextMenuEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;
class QWheelEvent;

/// Installed on a panel's hosted QWidget: entering the hosted widget gives the layout the arrow cursor.
class GLBASE_EXPORT QWidgetEnterEventFilter : public QObject
{
    Q_OBJECT
public:
    /// A filter for panel, which must outlive it (the panel owns its filter).
    explicit QWidgetEnterEventFilter(GLBaseWidget* panel) : m_pPanel(panel) {}
    /// Never consumes the event.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    GLBaseWidget* m_pPanel;
};

/// A rectangular sub-panel of a GLLayout: not a window but a QObject with a name, placement rules
/// relative to other panels (masters, named by name), size limits, a background and event handlers
/// that the layout calls with panel coordinates. It draws inside the layout's frame, clipped to itself.
/// Placement properties can change only while the panel is in no layout; refused calls are logged
/// with the class name "GLBaseWidget".
class GLBASE_EXPORT GLBaseWidget : public QObject
{
    Q_OBJECT
    friend class GLLayout;

public:
    static constexpr int ciMinCoord = 2;       ///< smallest minimum width or height
    static constexpr int ciMaxCoord = 1000000; ///< largest maximum; also means unbounded

    /// Where a panel goes relative to its horizontal master.
    enum eHorizontalAlignment : qint32 {
        eAlignLeft,       ///< a new column at the left end of the row holding the master's column
        eAlignSameColumn, ///< in the master's column, below what is there
        eAlignRight       ///< a new column at the right end
    };
    /// Where a panel goes relative to its vertical master.
    enum eVerticalAlignment : qint32 {
        eAlignTop,     ///< a new row at the top of the master's column
        eAlignSameRow, ///< beside the master, its top and height following the master
        eAlignBottom   ///< a new row at the bottom
    };

    /// A panel of that name in no layout, without masters, aligned eAlignRight and eAlignBottom.
    explicit GLBaseWidget(const std::string& name);
    /// Leaves its layout (with its separator strip) and deletes the strip; a hosted QWidget is kept.
    ~GLBaseWidget() override;
    GLBaseWidget(const GLBaseWidget&) = delete;
    GLBaseWidget& operator=(const GLBaseWidget&) = delete;

    /// Placement: each returns false (and logs "m_pSplitGroup != 0") while the panel is in a layout.
    /// An empty master name means no master; zooms are clamped to [0.1, 10.0]. Names need not be unique.
    bool SetName(const char* name);
    /// The name; valid until the next SetName.
    const char* GetName() const { return m_sName.c_str(); }
    /// The horizontal master (by name), where to go relative to it, and the width weight.
    bool SetHorizontalAlignment(const char* master, eHorizontalAlignment alignment, double zoom);
    /// The vertical master (by name), where to go relative to it, and the height weight.
    bool SetVerticalAlignment(const char* master, eVerticalAlignment alignment, double zoom);
    /// The weight of the panel's width when its row shares out space.
    bool SetHorizontalZoom(double zoom);
    /// The weight of the panel's height when its column shares out space.
    bool SetVerticalZoom(double zoom);
    /// The horizontal alignment; eAlignRight until set.
    eHorizontalAlignment GetHorizontalAlignment() const { return m_eHorizontalAlignment; }
    /// The vertical alignment; eAlignBottom until set.
    eVerticalAlignment GetVerticalAlignment() const { return m_eVerticalAlignment; }
    /// Name of the horizontal master; empty for none.
    const char* GetHorizontalMaster() const { return m_sHorizontalMaster.c_str(); }
    /// Name of the vertical master; empty for none.
    const char* GetVerticalMaster() const { return m_sVerticalMaster.c_str(); }
    /// The width weight, 1.0 until set.
    double GetHorizontalZoom() const { return m_dHorizontalZoom; }
    /// The height weight, 1.0 until set.
    double GetVerticalZoom() const { return m_dVerticalZoom; }
    /// The panel follows the shown state of the named panel.
    bool SetVisibilityMaster(const char* name);
    /// Name of the visibility master; empty for none.
    const char* GetVisibilityMaster() const { return m_sVisibilityMaster.c_str(); }
    /// A globally invisible panel never takes part in layout or painting (a placeholder master).
    void SetGlobalVisible(bool visible);
    /// False after SetGlobalVisible(false).
    bool IsGlobalVisible() const { return m_bGlobalVisible; }

    /// A border widget gets no separator strip and does not count as a panel above another; set it
    /// before adding the panel.
    void SetBorderWidget(bool border) { m_bBorderWidget = border; }
    /// True for a border widget, and for a panel hosting a QWidget.
    bool IsBorderWidget() const { return m_bBorderWidget; }
    /// Fill of the panel's background, drawn by the default paintEvent; requests no repaint.
    void SetBackgroundStyle(const GLFrameWidget::GLFillStyle& style) { m_Background.SetFillStyle(style); }

    /// Size limits in pixels; a minimum below ciMinCoord or a maximum above ciMaxCoord is logged and
    /// ignored. A change marks the layout for recomputation before its next frame.
    void setMinimumWidth(int w);
    /// Largest width; see setMinimumWidth.
    void setMaximumWidth(int w);
    /// Smallest height; see setMinimumWidth.
    void setMinimumHeight(int h);
    /// Largest height; see setMinimumWidth.
    void setMaximumHeight(int h);
    /// Smallest width, ciMinCoord until set.
    int minimumWidth() const { return m_iMinimumWidth; }
    /// Largest width, ciMaxCoord until set.
    int maximumWidth() const { return m_iMaximumWidth; }
    /// Smallest height, ciMinCoord until set.
    int minimumHeight() const { return m_iMinimumHeight; }
    /// Largest height, ciMaxCoord until set.
    int maximumHeight() const { return m_iMaximumHeight; }

    /// Shows or hides the panel in its layout; nothing outside a layout.
    void setVisible(bool visible);
    /// Whether the panel takes part in its layout now; false outside a layout.
    bool isVisible() const;
    /// The cursor shown over the panel; the arrow until set.
    QCursor cursor() const { return m_Cursor; }
    /// Shown by the layout on the next mouse move over the panel.
    void setCursor(const QCursor& cursor) { m_Cursor = cursor; }
    /// Switches mouse tracking of the whole layout widget; nothing outside a layout.
    void setMouseTracking(bool on);
    /// Requests a frame of the layout; nothing outside a layout.
    void update();
    /// The layout widget's parent; null outside a layout.
    QWidget* parentWidget();
    /// The layout as a drawing surface; null outside a layout.
    GLFrameWidget* GetFrameWidget() const;
    /// The layout the panel is in; null outside a layout.
    GLLayout* GetLayoutWidget() const { return m_pLayout; }

    /// Hosts a real widget that follows the panel's rectangle and visibility (not owned). The panel
    /// becomes a border widget and takes over the widget's minimum and maximum height.
    void SetQWidget(QWidget* widget);
    /// The hosted widget; null when there is none or it was deleted.
    QWidget* GetQWidget() const { return m_pQWidget; }
    /// Fills the panel with its background style in the current viewport; only inside a frame.
    void DrawBackground();
    /// The same fill through a painter, so that it is recorded when the painter records.
    void DrawBackground(GLPainter& painter);

    /// Geometry in layout pixels, truncated and held to the int range (panels of a layout far beyond
    /// its window can lie past it); rect() is the panel's own coordinate system at (0, 0).
    int left() const { return ToPixel(m_Outline.Left()); }
    /// y of the top edge.
    int top() const { return ToPixel(m_Outline.Top()); }
    /// Width in pixels.
    int width() const { return ToPixel(m_Outline.Width()); }
    /// Height in pixels.
    int height() const { return ToPixel(m_Outline.Height()); }
    /// The panel at (0, 0) in its own coordinates.
    QRect rect() const { return QRect(0, 0, width(), height()); }

protected:
    // Handlers the layout calls; positions are panel coordinates except for the wheel event.
    /// The panel changed size; does nothing.
    virtual void resizeEvent(QResizeEvent* event);
    virtual void paintEvent(QPaintEvent* event); ///< Draws the background; called inside the panel's viewport.
    /// A double click on the panel; does nothing.
    virtual void mouseDoubleClickEvent(QMouseEvent* event);
    /// A move over the panel, or anywhere while the panel holds the left button; does nothing.
    virtual void mouseMoveEvent(QMouseEvent* event);
    /// A left-button press on the panel, which then receives the moves and release; does nothing.
    virtual void mousePressEvent(QMouseEvent* event);
    /// The release after a press on the panel; does nothing.
    virtual void mouseReleaseEvent(QMouseEvent* event);
    /// A wheel turn over the panel, in layout coordinates; does nothing.
    virtual void wheelEvent(QWheelEvent* event);
    /// A context menu request on the panel; does nothing.
    virtual void contextMenuEvent(QContextMenuEvent* event);
    /// For panels that know their layout before they are added to it (plot panels): update,
    /// mouse tracking and GetFrameWidget work at once; the layout still has to add the panel.
    void AttachLayout(GLLayout* layout) { m_pLayout = layout; }

private:
    void SetRect(float x, float y, float w, float h);
    void DrawBaseContents();
    /// Stores an accepted limit and hands it to the panel's leaf in the layout.
    void ApplyLimit(int& limit, int GLSplitGroup::*groupLimit, int value);
    bool RefuseInLayout(const char* function) const;
    static void Report(const char* message, const char* function);
    static int ToPixel(float value);

    std::string m_sName;
    GLLayout* m_pLayout = nullptr;
    bool m_bBorderWidget = false;
    GLBaseWidget* m_pUpperBorderWidget = nullptr; ///< owned separator strip
    GLSplitGroup* m_pSplitGroup = nullptr;
    std::string m_sHorizontalMaster;
    eHorizontalAlignment m_eHorizontalAlignment = eAlignRight;
    double m_dHorizontalZoom = 1.0;
    std::string m_sVerticalMaster;
    eVerticalAlignment m_eVerticalAlignment = eAlignBottom;
    double m_dVerticalZoom = 1.0;
    bool m_bGlobalVisible = true;
    std::string m_sVisibilityMaster;
    int m_iMinimumWidth = ciMinCoord;
    int m_iMaximumWidth = ciMaxCoord;
    int m_iMinimumHeight = ciMinCoord;
    int m_iMaximumHeight = ciMaxCoord;
    GLFrameWidget::GLPolygon m_Outline;
    GLFrameWidget::GLPolygon m_Background;
    QCursor m_Cursor{Qt::ArrowCursor};
    /// Guarded: the hosted widget belongs to the application and may go first.
    QPointer<QWidget> m_pQWidget;
    QWidgetEnterEventFilter m_EnterFilter{this};
};

#endif
