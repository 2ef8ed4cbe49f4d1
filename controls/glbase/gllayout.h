#ifndef GLLAYOUT_H
#define GLLAYOUT_H

#include "glbase_export.h"
#include "glbasewidget.h"
#include "glframewidget.h"

#include <QPoint>
#include <QPointer>
#include <vector>

/// A node of the layout tree: horizontal groups place their children side by side, vertical groups
/// stack them, a leaf holds one panel. The layout creates and deletes every group.
struct GLBASE_EXPORT GLSplitGroup
{
    GLBaseWidget* m_pWidget = nullptr; ///< panel of a leaf; null for split groups and removed panels
    GLSplitGroup* m_pParent = nullptr; ///< enclosing group; null for the root
    std::vector<GLSplitGroup*> m_Children;        ///< left to right, or top to bottom
    GLSplitGroup* m_pVerticalMaster = nullptr;    ///< group whose top and height this one takes over
    std::vector<GLSplitGroup*> m_VerticalSlaves;  ///< groups that take over this one's top and height
    bool m_bHorizontal = false; ///< children side by side (split groups only)
    bool m_bVertical = false; ///< children stacked (split groups only)
    double m_dHorizontalZoom = 1.0; ///< weight when the parent shares out width
    double m_dVerticalZoom = 1.0; ///< weight when the parent shares out height
    bool m_bShown = true; ///< cleared while hidden (Show, or a separator strip not needed)
    GLSplitGroup* m_pVisibilityMaster = nullptr; ///< leaf of the panel whose shown state this one follows
    /// Left edge in layout pixels, as of the last layout pass.
    int m_iX = 0, m_iY = 0; ///< top edge
    /// Width in pixels, as of the last layout pass.
    int m_iWidth = 2, m_iHeight = 2; ///< height
    /// Smallest width: the panel's for a leaf, the visible children's combined for a group.
    int m_iMinimumWidth = GLBaseWidget::ciMinCoord, m_iMaximumWidth = GLBaseWidget::ciMaxCoord; ///< largest width
    /// Smallest height, as the width.
    int m_iMinimumHeight = GLBaseWidget::ciMinCoord, m_iMaximumHeight = GLBaseWidget::ciMaxCoord; ///< largest height
};

/// One child's share in a distribution of space.
struct GLBASE_EXPORT GLLayoutEntry
{
    int m_iSize = 0; ///< size, as given by the last Distribute
    int m_iMinimum = 0; ///< smallest size
    int m_iMaximum = 0; ///< largest size
    double m_dZoom = 1.0; ///< weight; after Distribute the size as a fraction of the maximum
};

/// The children of one group along the direction in which space is shared out.
struct GLBASE_EXPORT GLLayoutVector
{
    /// The children's shares, in child order.
    std::vector<GLLayoutEntry> m_Entries;
    int m_iSize = 0;    ///< sum of sizes, as of the last Sum()
    int m_iMinimum = 0; ///< sum of minima
    int m_iMaximum = 0; ///< sum of maxima, saturating at ciMaxCoord (unbounded)

    /// Sizes the entries by their zooms within their limits (maxima cut to limit), then grows or
    /// shrinks them to target: forward takes space from the first entries first, backward from the
    /// last, neither shares it in proportion to each entry's room. A target at or beyond the sum of
    /// maxima (minima) gives every entry its maximum (minimum). Sums are not updated.
    void Distribute(int target, int limit, bool forward, bool backward);
    /// Recomputes the three sums from the entries.
    void Sum();
};

/// A GLFrameWidget divided into GLBaseWidget panels arranged by a tree of split groups. It paints
/// the panels in tree order, routes the mouse to them in panel coordinates, lets the user drag the
/// boundaries between panels with the left button and rearrange panels with the middle button.
/// The layout holds the application's panels by raw pointer (a destroyed panel leaves by itself) and
/// owns only its tree, the separator strips' groups and the standard panels it creates.
/// Failures are logged through LogError with the function name "AddWidget".
class GLBASE_EXPORT GLLayout : public GLFrameWidget
{
    Q_OBJECT
    friend class GLBaseWidget;

public:
    /// An empty layout; add panels with AddWidget or CreateStdLayout.
    explicit GLLayout(QWidget* parent = nullptr);
    /// Detaches the application's panels (they stay alive) and deletes the standard panels.
    ~GLLayout() override;

    /// Places a configured panel by its masters and gives a non-border panel a separator strip;
    /// false (logged, tree unchanged) for a null panel, one already in a layout, or masters that
    /// do not fit the tree.
    bool AddWidget(GLBaseWidget* widget);
    /// Builds the standard arrangement of invisible placeholders "Top", "Left", "Right", "Bottom"
    /// around a 4-pixel "Border" column; false when it exists already or the layout is not empty.
    bool CreateStdLayout(double ratio);
    /// Adders for the standard arrangement: true and nothing done for a null panel, false before
    /// CreateStdLayout or when the panel cannot be added.
    bool AddTopWidget(GLBaseWidget* widget);                 ///< above all earlier top panels
    bool AddBottomWidget(GLBaseWidget* widget);              ///< above all earlier bottom panels
    bool AddLeftWidget(GLBaseWidget* widget, double ratio);  ///< a new row at the bottom of the left column
    /// A left row and, unless right is null, a right panel on the same row.
    bool AddLeftRightWidget(GLBaseWidget* left, GLBaseWidget* right, double ratio);
    /// Takes the panel and its strip out of the layout; its place stays as an empty leaf. False for a
    /// null panel or one not in this layout. Drags, moves and grabs involving it are cancelled.
    bool RemoveWidget(GLBaseWidget* widget);
    /// Detaches every panel and deletes the whole tree; the standard panels stay owned.
    void RemoveWidgets();
    /// Shows or hides a panel together with its strip; nothing for a panel not in the layout.
    void Show(GLBaseWidget* widget, bool visible);
    /// Whether the panel takes part in layout and painting now; false when it is in no layout.
    bool IsLayoutVisible(const GLBaseWidget* widget) const;

    /// The first visible panel, in order of addition, whose rectangle holds the point; null when none.
    GLBaseWidget* FindWidget(const QPoint& point) const;
    /// The first panel of that name; null for a null or empty name, and "Widget name not found" is
    /// logged (with the name as function) when none has it.
    GLBaseWidget* FindWidget(const char* name);
    /// The tree, read only; null while the layout is empty.
    const GLSplitGroup* GetRootGroup() const { return m_pRootGroup; }

    /// True while a boundary is hovered or dragged, or a panel is being moved.
    bool ActiveMouseAction() const;
    /// Pushes an application override cursor once and changes it afterwards; the flag is process-wide.
    static void SetOverrideCursor(const QCursor& cursor);
    /// Restores the override cursor pushed by SetOverrideCursor; nothing when none is pushed.
    static void RestoreOverrideCursor();

protected:
    /// Starts a boundary drag or a middle-button move, or hands a left-button press to the panel under it.
    void mousePressEvent(QMouseEvent* event) override;
    /// Ends a drag or move, or hands the release to the panel that took the press.
    void mouseReleaseEvent(QMouseEvent* event) override;
    /// Hands the double click to the panel under it.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    /// Drags, moves, marks a boundary hovered within 2 pixels of a panel edge, or hands the move on.
    void mouseMoveEvent(QMouseEvent* event) override;
    /// Hands the wheel event, in layout coordinates, to the panel under it.
    void wheelEvent(QWheelEvent* event) override;
    /// Forgets the hovered boundary.
    void leaveEvent(QEvent* event) override;
    /// Hands the request to the panel under it, except during a drag or move.
    void contextMenuEvent(QContextMenuEvent* event) override;
    /// Lays out again if a limit changed, paints every visible panel in tree order, then the drag feedback.
    void PaintGL() override;
    /// Lays the panels out for the new size.
    void ResizeGL() override;
    /// The splitter arithmetic: before is fitted to pos from its end, after to the rest of total
    /// from its start, so the children next to the boundary change first.
    static void CalcSplit(GLLayoutVector& before, GLLayoutVector& after, int pos, int total);

private:
    bool AddWidget_(GLBaseWidget* widget);
    void AddSeparatorStrip(GLBaseWidget* widget);
    /// A panel's leaf, inserted into parent; the panel joins the layout.
    GLSplitGroup* NewWidgetGroup(GLBaseWidget* widget, GLSplitGroup* parent, bool atFront, GLSplitGroup* visibility);
    GLSplitGroup* NewGroup(bool horizontal, GLSplitGroup* parent, bool atFront);
    static GLBaseWidget* NewStdPanel(const char* name, bool visible);
    bool PlaceSameColumnAndRow(GLBaseWidget* w, GLBaseWidget* h, GLBaseWidget* v, GLSplitGroup* visibility);
    bool PlaceSameColumn(GLBaseWidget* w, GLBaseWidget* h, GLBaseWidget* v, GLSplitGroup* visibility);
    bool PlaceSameRow(GLBaseWidget* w, GLBaseWidget* h, GLBaseWidget* v, GLSplitGroup* visibility);
    bool PlaceColumn(GLBaseWidget* w, GLBaseWidget* h, GLSplitGroup* visibility);
    bool PlaceRow(GLBaseWidget* w, GLBaseWidget* v, GLSplitGroup* visibility);
    bool Fail(const char* message);
    /// Forgets drag, move and grab state that refers to the panel (all of it for null).
    void CancelMouseState(const GLBaseWidget* widget);
    static bool IsGroupVisible(const GLSplitGroup* group);
    static bool StripInLayout(const GLBaseWidget* widget);

    // Layout arithmetic.
    void CalcLayout();
    void LayoutPass();
    bool DecideBorders();
    void ResetStrips();
    void CalcMinMax(GLSplitGroup* group);
    void LayoutChildren(GLSplitGroup* group);
    void SetGroupRect(GLSplitGroup* group, int x, int y, int w, int h);

    // Boundary detection and mouse routing.
    enum eBoundary { eTopBoundary, eBottomBoundary, eLeftBoundary, eRightBoundary };
    void TopSplit(GLSplitGroup* leaf) { FindBoundary(leaf, eTopBoundary); }
    void BottomSplit(GLSplitGroup* leaf) { FindBoundary(leaf, eBottomBoundary); }
    void LeftSplit(GLSplitGroup* leaf) { FindBoundary(leaf, eLeftBoundary); }
    void RightSplit(GLSplitGroup* leaf) { FindBoundary(leaf, eRightBoundary); }
    void FindBoundary(GLSplitGroup* leaf, eBoundary boundary);
    void DragSplitter(const QPoint& pos);
    void HoverOrRoute(QMouseEvent* event);
    void MovePanel(const QPoint& pos);
    bool IsMovable(GLBaseWidget* widget);
    void PaintGroup(GLSplitGroup* group);
    void PaintFeedback();
    QMouseEvent LocalMouseEvent(QMouseEvent* event, GLBaseWidget* widget) const;

    GLSplitGroup* m_pRootGroup = nullptr;
    std::vector<GLBaseWidget*> m_Widgets; ///< in order of addition, strips and standard panels included
    std::vector<GLSplitGroup*> m_Groups;  ///< owned
    bool m_bLayoutDirty = false;

    bool m_bSplitDrag = false;
    int m_iSplitPos = 0; ///< hovered or dragged boundary: y of a row boundary, x of a column boundary
    GLSplitGroup* m_pHorizontalSplitGroup = nullptr;
    GLSplitGroup* m_pVerticalSplitGroup = nullptr;
    GLLayoutVector m_SplitBefore; ///< children before the boundary, as at the start of the drag
    GLLayoutVector m_SplitAfter;
    GLBaseWidget* m_pMoveWidget = nullptr;
    GLSplitGroup* m_pMoveGroup = nullptr;
    QPoint m_MoveStart;
    QPoint m_MoveOffset;
    GLPolygon m_MoveOutline;
    GLPolygon m_MoveGroupOutline;
    GLPolygon m_MoveOrigin;
    GLPolygon m_MoveGroupOrigin;
    GLBaseWidget* m_pMouseGrabber = nullptr;

    static bool s_bOverrideCursor;

    /// The standard panels, owned; guarded in case the application deletes one.
    QPointer<GLBaseWidget> m_pTop;
    QPointer<GLBaseWidget> m_pLeft;
    QPointer<GLBaseWidget> m_pBorder;
    QPointer<GLBaseWidget> m_pRight;
    QPointer<GLBaseWidget> m_pBottom;
};

#endif
