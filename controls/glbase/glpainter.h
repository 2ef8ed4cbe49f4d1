#ifndef GLPAINTER_H
#define GLPAINTER_H

#include "glbase_export.h"
#include "glframewidget.h"

#include <QBrush>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPen>
#include <QPolygon>
#include <QRect>
#include <vector>

/// A recording of painter operations, replayed by GLPainter::drawMetaFile onto a widget or copied
/// into another metafile. Every record carries its own styles, so a replay does not depend on the
/// replaying painter's pen, brush or font. Recording only appends; assign an empty one to clear it.
class GLBASE_EXPORT GLMetaFile
{
public:
    /// Kind of a recorded command: a lines, polygon or text record, or a transform step.
    enum eCommand { eLines, ePolygon, ePopTransform, ePushTransform, eRotate, eScale, eText, eTranslate };
    /// One recorded command.
    /// uIndex refers into the lines, polygons or texts list for those kinds; dA, dB are transform numbers.
    struct GLMetaCommand
    {
        qint32 iKind = eLines; ///< an eCommand
        size_t uIndex = 0; ///< record index in Lines(), Polygons() or Texts()
        double dA = 0; ///< dx, sx or degrees
        double dB = 0; ///< dy or sy
    };

    /// An empty metafile.
    GLMetaFile() = default;
    /// A copy of every command and record.
    GLMetaFile(const GLMetaFile& other) = default;
    /// The source is left empty.
    GLMetaFile(GLMetaFile&& other) noexcept;
    /// Copies every command and record.
    GLMetaFile& operator=(const GLMetaFile& other) = default;
    /// Takes every command and record; the source is left empty.
    GLMetaFile& operator=(GLMetaFile&& other) noexcept;
    /// Frees the records.
    ~GLMetaFile() = default;

    /// Read-only views, for inspection; the n-th command of a kind refers to record n of its list.
    const std::vector<GLMetaCommand>& Commands() const { return m_vCommands; }
    /// The line batches, one per eLines command.
    const std::vector<GLFrameWidget::GLLines>& Lines() const { return m_vLines; }
    /// The polygons, one per ePolygon command.
    const std::vector<GLFrameWidget::GLPolygon>& Polygons() const { return m_vPolygons; }
    /// The texts, one per eText command.
    const std::vector<GLFrameWidget::GLText>& Texts() const { return m_vTexts; }

private:
    friend class GLPainter;
    std::vector<GLMetaCommand> m_vCommands;
    std::vector<GLFrameWidget::GLLines> m_vLines;
    std::vector<GLFrameWidget::GLPolygon> m_vPolygons;
    std::vector<GLFrameWidget::GLText> m_vTexts;
};

/// A QPainter-shaped interface on a GLFrameWidget: every call becomes a drawing record that is drawn
/// at once on the current context or, between begin(metafile) and end(), appended to the metafile.
/// Create it on the stack inside a paint pass; coordinates are the widget's pixels, transforms act on
/// the GL model-view stack (or are recorded). Nothing returns an error; outside a paint pass the
/// construction is logged and nothing is drawn.
class GLBASE_EXPORT GLPainter
{
public:
    /// Logs "GLPainter outside of paint event" when the widget's context is not current; a null
    /// widget draws nothing but can still record lines, polygons and transforms.
    explicit GLPainter(GLFrameWidget* widget);
    /// Copies state, target and save stack, but pushes no matrix: destroying both pops twice.
    GLPainter(const GLPainter& other) = default;
    /// Copies state, target and save stack, with the same caution as the copy constructor.
    GLPainter& operator=(const GLPainter& other) = default;
    /// end(), then balances the constructor's matrix push.
    ~GLPainter();

    /// Appends to the metafile from now on (a null metafile draws directly again).
    void begin(GLMetaFile* metafile);
    /// Restores every outstanding save (recorded while recording), then draws directly again.
    void end();

    /// Solid and dotted pens draw at least 1 pixel wide; every other pen style draws nothing.
    void setPen(const QPen& pen);
    /// A solid pen, 1 pixel wide, of that colour.
    void setPen(Qt::GlobalColor color) { setPen(QPen(QColor(color))); }
    /// Only Qt::SolidPattern fills; every other brush style fills nothing.
    void setBrush(const QBrush& brush);
    /// Colour c1 at the top and c2 at the bottom of the filled shape.
    void setHGradientBrush(const QColor& c1, const QColor& c2);
    /// Colour c1 at the left and c2 at the right of the filled shape.
    void setVGradientBrush(const QColor& c1, const QColor& c2);
    /// The fill behind text, used in Qt::OpaqueMode only.
    void setBackground(const QBrush& brush);
    /// A solid background of that colour.
    void setBackgroundColor(const QColor& color) { setBackground(QBrush(color, Qt::SolidPattern)); }
    /// Qt::OpaqueMode fills the background behind text; Qt::TransparentMode (the default) does not.
    void setBackgroundMode(Qt::BGMode mode) { m_State.iBackgroundMode = mode; }
    /// The font of the following texts.
    void setFont(const QFont& font) { m_State.font = font; }
    /// The current font.
    const QFont& font() const { return m_State.font; }
    /// Metrics of the current font on the widget (or the default device for a null widget).
    QFontMetrics fontMetrics() const;
    /// Information on the current font.
    QFontInfo fontInfo() const { return QFontInfo(m_State.font); }

    /// Pushes pen, brush, background, font and mode together with the transform; restore on an
    /// empty stack does nothing. A restore pops the transform where its save pushed it: on the GL
    /// stack, or in the metafile then being recorded if that is still the target (a push into an
    /// earlier target stays open there, and its replay closes it).
    void save();
    /// Pops the state pushed by the last save.
    void restore();
    /// Moves the origin by (dx, dy) pixels.
    void translate(double dx, double dy);
    /// Scales x and y.
    void scale(double sx, double sy);
    /// Degrees about the screen normal.
    void rotate(double degrees);

    /// While recording, consecutive lines of one pen under one transform share one GLLines record.
    void drawLine(int x1, int y1, int x2, int y2);
    /// Outline with the pen, fill with the brush.
    void drawRect(int x, int y, int w, int h);
    /// \overload
    void drawRect(const QRect& rect);
    /// A solid fill in the brush's colour whatever its style; no outline, pen and brush untouched.
    void fillRect(const QRect& rect, const QBrush& brush);
    /// A closed outline with the pen, filled with the brush; an empty polygon does nothing.
    void drawPolygon(const QPolygon& polygon, bool oddEven = true);
    /// The fill rule is ignored, as oddEven is.
    void drawPolygon(const QPolygon& polygon, Qt::FillRule) { drawPolygon(polygon, true); }
    /// The record's own styles are used.
    void drawPolygon(GLFrameWidget::GLPolygon& polygon);
    /// One line of text with its baseline at y; line breaks are not interpreted.
    void drawText(int x, int y, const QString& text);
    /// Lines split at line feeds (an empty text still takes one line), aligned in rect by the Qt::Align
    /// flags; other flags are ignored. boundingRect, when not null, receives the covered rectangle.
    void drawText(const QRect& rect, int flags, const QString& text, QRect* boundingRect = nullptr);
    /// The rectangle drawText would cover, without drawing.
    QRect boundingRect(const QRect& rect, int flags, const QString& text);
    /// Images are drawn only directly; while recording they are neither drawn nor recorded.
    void drawImage(const QPoint& point, const QImage& image);
    /// The image stretched into rect.
    void drawImage(const QRect& rect, const QImage& image);
    /// Replays onto the widget, or copies into the metafile being recorded, inside save/restore. A pop
    /// without its push in the metafile is skipped and a push left open is closed, so the replay
    /// always leaves the transform as it found it.
    /// Replaying a metafile into itself copies the commands it held when the replay began once.
    void drawMetaFile(GLMetaFile& metafile);

private:
    struct PainterState
    {
        int iBackgroundMode = Qt::TransparentMode;
        QFont font;
        GLFrameWidget::GLFillStyle background;
        GLFrameWidget::GLFillStyle brush;
        GLFrameWidget::GLLineStyle pen;
    };

    void BeginPolygon(GLFrameWidget::GLPolygon& local, GLFrameWidget::GLPolygon*& target);
    void Record(GLMetaFile::eCommand kind, size_t index = 0, double a = 0, double b = 0);
    void ApplyTransform(GLMetaFile::eCommand kind, double a, double b);
    void PushMatrix();
    void PopMatrix();
    void DrawOrRecordPolygon(GLFrameWidget::GLPolygon& local, GLFrameWidget::GLPolygon* target);
    void DrawOrRecordText(GLFrameWidget::GLText& text);
    void PrepareText(GLFrameWidget::GLText& text) const;
    /// Lines of the text and the vertical start of the block in rect.
    static QStringList SplitLines(const QString& text);
    static int BlockTop(const QRect& rect, int flags, int height);
    static int AlignedLeft(const QRect& rect, int flags, int width);
    bool Recording() const { return m_pMetaFile != nullptr; }

    GLFrameWidget* m_pWidget;
    GLMetaFile* m_pMetaFile = nullptr;
    bool m_bNewLineBatch = true;
    int m_iLostPushes = 0; ///< pushes that found the GL matrix stack full
    PainterState m_State;
    /// A saved state and where its transform push went: the GL stack (null) or that metafile.
    struct SavedState
    {
        PainterState state;
        GLMetaFile* pPushedTo;
    };
    std::vector<SavedState> m_vSaved;
};

#endif
