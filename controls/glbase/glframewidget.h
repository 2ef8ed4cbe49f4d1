#ifndef GLFRAMEWIDGET_H
#define GLFRAMEWIDGET_H

#include "glbase_export.h"
#include "iglwidget.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QTimer>
#include <QVector>
#include <QWidget>
#include <array>
#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class AxisData;
class IErrorHandlerBase;
class IColorBase;
class IGLInfo0;
namespace GLPlatform
{
class Context;
}

/// A widget that draws only through OpenGL, in 2-D pixel coordinates (origin top left, y down).
/// The context is created lazily on the first paint or resize of at least 2 x 2 pixels, on the
/// widget's window where a hardware renderer exists, else in an off-screen ScanBuffer whose pixels
/// are copied onto the window. Subclasses draw in PaintGL; drawing calls are valid only inside it.
class GLBASE_EXPORT GLFrameWidget : public QWidget, public IGLWidget
{
    Q_OBJECT
public:
    /// How a polygon is filled: eFillNone not at all, eFillSolid in the foreground colour (convex
    /// polygons), eFillSolidConcave likewise for any simple polygon, eFillHGradient from the foreground at
    /// the top to the background at the bottom, eFillVGradient from the foreground at the left to the
    /// background at the right.
    enum eFillStyle { eFillNone, eFillSolid, eFillSolidConcave, eFillHGradient, eFillVGradient };
    /// How a line is drawn: eLineNone not at all, eLineSolid, or eLineDotted (one pixel in four, scaled by the width).
    enum eLineStyle { eLineNone, eLineSolid, eLineDotted };
    /// Why the context could not be set up; the number is the code reported. 0 none, 1 set-up under way
    /// (or an unknown failure), 2 no native window, 3 no screen, 4 screen depth below 15, 5 no pbuffer, 6 no EGL
    /// display, 7 the GL API not bound, 8 no matching config, 9 no window surface, 10 no context, 11 not made current,
    /// 12 display lost (adapter or screen depth changed, or the driver lost or reset the context).
    enum eInitializeError {
        eInitNoError, eInitRunning, eInitWinId, eInitGetDC, eInitColorDepth, eInitCreateDIBSection,
        eInitCreateCompatibleDC, eInitSelectObject, eInitChoosePixelFormat, eInitSetPixelFormat,
        eInitCreateContext, eInitMakeCurrent, eInitDeviceLost
    };

    /// Fill of a polygon: style, foreground (fill or gradient start) and background (gradient end).
    class GLBASE_EXPORT GLFillStyle
    {
    public:
        /// eFillNone with invalid colours.
        GLFillStyle() = default;
        /// The given style and colours; bg matters only for the gradients.
        GLFillStyle(eFillStyle style, const QColor& fg, const QColor& bg);
        /// Replaces style and colours.
        void SetStyle(eFillStyle style, const QColor& fg, const QColor& bg);
        /// The style.
        eFillStyle FillStyle() const { return m_eStyle; }
        /// Fill colour, or the gradient's start.
        const QColor& FgColor() const { return m_cFg; }
        /// The gradient's end colour.
        const QColor& BgColor() const { return m_cBg; }
        /// Style and both colours equal.
        bool operator==(const GLFillStyle& other) const;
        /// Not operator==.
        bool operator!=(const GLFillStyle& other) const { return !(*this == other); }

    private:
        eFillStyle m_eStyle = eFillNone;
        QColor m_cFg;
        QColor m_cBg;
    };

    /// Line style, width in pixels (also the stipple factor) and colour.
    class GLBASE_EXPORT GLLineStyle
    {
    public:
        /// eLineNone, width 0, invalid colour.
        GLLineStyle() = default;
        /// The given style, width in pixels and colour.
        GLLineStyle(eLineStyle style, int size, const QColor& fg);
        /// Replaces style, width and colour.
        void SetStyle(eLineStyle style, int size, const QColor& fg);
        /// The style.
        eLineStyle LineStyle() const { return m_eStyle; }
        /// Width in pixels.
        int Size() const { return m_iSize; }
        /// The colour.
        const QColor& FgColor() const { return m_cFg; }
        /// Odd widths are shifted half a pixel so that they cover whole pixels.
        bool OddSize() const { return (m_iSize & 1) != 0; }
        /// Not OddSize: even widths run between pixel edges.
        bool EvenSize() const { return !OddSize(); }
        /// Style, width and colour equal.
        bool operator==(const GLLineStyle& other) const;
        /// Not operator==.
        bool operator!=(const GLLineStyle& other) const { return !(*this == other); }

    private:
        eLineStyle m_eStyle = eLineNone;
        int m_iSize = 0;
        QColor m_cFg;
    };

    /// Width and height in pixels, as GetTextExtent measures them.
    class GLBASE_EXPORT GLSize
    {
    public:
        /// 0 x 0.
        GLSize() = default;
        /// w x h.
        GLSize(float w, float h) : m_fWidth(w), m_fHeight(h) {}
        /// The width.
        float Width() const { return m_fWidth; }
        /// The height.
        float Height() const { return m_fHeight; }

    private:
        float m_fWidth = 0;
        float m_fHeight = 0;
    };

    /// A batch of independent segments, drawn in one call.
    class GLBASE_EXPORT GLLines
    {
    public:
        /// Stores the segment along its major axis, one pixel longer, so that the end pixel is drawn.
        /// A segment of zero length is not added.
        void AddLine(float x1, float y1, float x2, float y2);
        /// Removes every segment; the style stays.
        void Clear() { m_vVertices.clear(); }
        /// Style of every segment of the batch.
        void SetLineStyle(const GLLineStyle& style) { m_LineStyle = style; }
        /// The style.
        const GLLineStyle& LineStyle() const { return m_LineStyle; }
        /// x, y of both ends of each segment; may be filled directly.
        std::vector<float>& Vertices() { return m_vVertices; }

    private:
        GLLineStyle m_LineStyle;
        std::vector<float> m_vVertices;
    };

    /// A polygon with outline and fill; keep it between frames so gradient colours are computed once.
    class GLBASE_EXPORT GLPolygon
    {
    public:
        /// Appends a vertex and widens the bounding box.
        void AddVertex(float x, float y);
        /// Makes the polygon the rectangle (bottom-left, top-left, top-right, bottom-right); the same
        /// rectangle again changes nothing, so the colour cache stays valid.
        void SetRect(float x, float y, float w, float h);
        /// Removes every vertex; the styles stay.
        void Clear();
        /// The fill; a different one invalidates the gradient colours.
        void SetFillStyle(const GLFillStyle& style);
        /// The outline; eLineNone draws none.
        void SetLineStyle(const GLLineStyle& style);
        /// The fill.
        const GLFillStyle& GetFillStyle() const { return m_FillStyle; }
        /// The outline.
        const GLLineStyle& GetLineStyle() const { return m_LineStyle; }
        /// Bounding box; an empty polygon reports left 1e6 and width -2e6.
        float Left() const { return m_fLeft; }
        /// Top edge of the bounding box.
        float Top() const { return m_fTop; }
        /// Width of the bounding box.
        float Width() const { return m_fRight - m_fLeft; }
        /// Height of the bounding box.
        float Height() const { return m_fBottom - m_fTop; }
        /// x, y of each vertex, VertexCount() pairs.
        const float* VertexData() const { return m_vVertices.data(); }
        /// The vertices, for filling directly; bounding box and colour cache do not follow.
        std::vector<float>& Vertices() { return m_vVertices; }
        /// Number of vertices.
        int VertexCount() const { return int(m_vVertices.size() / 2); }
        /// Premultiplied RGBA bytes per vertex for the gradient styles; empty for the others.
        void CalcColors();
        /// The colours CalcColors computed.
        const std::vector<unsigned char>& Colors() const { return m_vColors; }
        /// True after a change that CalcColors has not yet followed.
        bool NeedsRecalc() const { return m_bRecalc; }
        /// Marks the colours as computed.
        void SetRecalcDone() { m_bRecalc = false; }

    private:
        GLLineStyle m_LineStyle;
        GLFillStyle m_FillStyle;
        float m_fLeft = 1e6f, m_fTop = 1e6f, m_fRight = -1e6f, m_fBottom = -1e6f;
        std::vector<float> m_vVertices;
        std::vector<unsigned char> m_vColors;
        bool m_bRecalc = true;
    };

    /// One visible stretch of an axis: values from..to (to is the value one pixel beyond the last)
    /// over pixels from..to (to is one past the last). Skipped ranges and separators have none.
    struct GLSection
    {
        /// Value at the first pixel.
        float fValueFrom = 0, fValueTo = 0; ///< value one pixel beyond the last
        /// First pixel.
        qint16 iPixelFrom = 0, iPixelTo = 0; ///< one past the last pixel
    };
    /// The visible stretches of an axis in pixel order, as the drawing code maps values with them.
    class GLBASE_EXPORT GLSections : public std::vector<GLSection>
    {
    public:
        /// One section: pixel p has the value min + (max - min) * p / (count - 1).
        void Build(double min, double max, int count);
        /// One section per pixel section of positive factor of the described axis.
        void Build(const AxisData& axis);

    private:
        void Add(double from, double to, int offset, int count);
    };
    /// Source pixels from..to appear at destination pixels from..to.
    struct GLDrawSection
    {
        /// \var iSrcTo
        /// One past the last source pixel.
        /// \var iDstFrom
        /// First destination pixel.

        /// First source pixel.
        qint16 iSrcFrom = 0, iSrcTo = 0, iDstFrom = 0, iDstTo = 0; ///< one past the last destination pixel
    };

    // --- step lines and step areas -------------------------------------------------------------
    /// How a trace runs between sample i and i + 1: straight, or held at the smaller / larger of the
    /// two samples, at sample i + 1 (eStepLeft) or at sample i (eStepRight).
    enum eStepLineStyle { eStepNone, eStepMin, eStepMax, eStepLeft, eStepRight };
    class GLStepArea;

    /// A trace of byte samples in a destination rectangle. Its vertices are kept as 16-bit
    /// (sample index, pixel row) pairs, rebuilt by every setter that changes them; indices beyond
    /// 32767 wrap, which is intended. Not copyable: areas link their borders by address.
    class GLBASE_EXPORT GLStepLine
    {
    public:
        /// An empty line: no samples, eStepMin, data range 0 to 255, an empty rectangle.
        GLStepLine() = default;
        /// Empties every area the line borders and unlinks both of its borders.
        ~GLStepLine();
        GLStepLine(const GLStepLine&) = delete;
        GLStepLine& operator=(const GLStepLine&) = delete;

        /// Copies 2 or more samples; fewer (or null data) empty the line and its areas.
        void SetData(const unsigned char* data, int count);
        /// Sample values start and end are drawn at the bottom and top row; end <= start draws flat.
        void SetDataRange(int start, int end);
        /// The rectangle the trace is drawn in; a height below 2 draws it flat.
        void SetDestRect(int x, int y, int w, int h);
        /// A value outside eStepLineStyle is ignored.
        void SetStepLineStyle(eStepLineStyle style);
        /// The style of the trace; the vertices stay.
        void SetLineStyle(const GLLineStyle& style) { m_LineStyle = style; }
        /// Sample positions as axis values, and the screen axis they are drawn on; the trace follows
        /// both only once both are set. The vertices stay as they are.
        void SetXAxis(const AxisData& axis);
        /// The screen axis the trace is drawn on; see SetXAxis.
        void SetDestXAxis(const AxisData& axis);
        /// Rebuilds the vertices, then the areas the line borders.
        void Update();

        /// The style.
        const GLLineStyle& LineStyle() const { return m_LineStyle; }
        /// The step style.
        eStepLineStyle StepLineStyle() const { return m_eStepStyle; }
        /// Left edge of the rectangle.
        int X() const { return m_iX; }
        /// Top edge of the rectangle.
        int Y() const { return m_iY; }
        /// Width of the rectangle.
        int Width() const { return m_iWidth; }
        /// Height of the rectangle.
        int Height() const { return m_iHeight; }
        /// Number of samples; 0 for an empty line.
        int SampleCount() const { return int(m_vData.size()); }
        /// True once both axes are set.
        bool HasAxes() const { return m_bDestXAxis && m_bXAxis; }
        /// The sections of the sample axis.
        const GLSections& XAxis() const { return m_XAxis; }
        /// The sections of the screen axis.
        const GLSections& DestXAxis() const { return m_DestXAxis; }
        /// x, y interleaved: n + 1 vertices for eStepNone, 2n for the step styles.
        const std::vector<qint16>& Vertices() const { return m_vVertices; }
        /// The areas of which this line is the first / second border, or null.
        GLStepArea* FirstArea() const { return m_pFirstArea; }
        /// The area of which this line is the second border, or null.
        GLStepArea* SecondArea() const { return m_pSecondArea; }

    private:
        friend class GLStepArea;
        void BuildVertices();

        GLLineStyle m_LineStyle;
        eStepLineStyle m_eStepStyle = eStepMin;
        int m_iX = 0, m_iY = 0, m_iWidth = 0, m_iHeight = 0;
        int m_iStart = 0, m_iEnd = 255;
        bool m_bDestXAxis = false, m_bXAxis = false;
        GLSections m_DestXAxis, m_XAxis;
        GLStepArea* m_pFirstArea = nullptr;
        GLStepArea* m_pSecondArea = nullptr;
        std::vector<unsigned char> m_vData;
        std::vector<qint16> m_vVertices;
    };

    /// The fill between two step lines, or between one and a constant level, one quad per sample
    /// column. The area does not own its borders; whichever of the two goes first unlinks both.
    class GLBASE_EXPORT GLStepArea
    {
    public:
        /// An unconnected area.
        GLStepArea() = default;
        /// Unlinks both borders.
        ~GLStepArea() { Disconnect(); }
        GLStepArea(const GLStepArea&) = delete;
        GLStepArea& operator=(const GLStepArea&) = delete;

        /// Each Connect disconnects first. It stays unconnected when a line is null, the first is
        /// already the first border of an area or the second already the second border of one.
        void Connect(GLStepLine* first, GLStepLine* second);
        /// A constant first border: level is a sample value in the line's data range.
        void Connect(int level, GLStepLine* second);
        /// A constant second border.
        void Connect(GLStepLine* first, int level);
        /// Unlinks both borders and empties the columns.
        void Disconnect();
        /// Only eFillSolid is drawn.
        void SetFillStyle(const GLFillStyle& style) { m_FillStyle = style; }
        /// Rebuilds the columns after the given border changed; any other line is ignored.
        void Update(GLStepLine* changed);

        /// The fill.
        const GLFillStyle& FillStyle() const { return m_FillStyle; }
        /// The first border; null when it is a constant or unconnected.
        GLStepLine* FirstBorder() const { return m_pFirst; }
        /// The second border; null when it is a constant or unconnected.
        GLStepLine* SecondBorder() const { return m_pSecond; }
        /// Number of sample columns filled.
        int ColumnCount() const { return m_iColumns; }
        /// Per column i one quad: the second border's (i, y), (i + 1, y), then the first's back.
        const std::vector<qint16>& Vertices() const { return m_vVertices; }

    private:
        void WriteHalf(bool secondHalf, int column, qint16 left, qint16 right);
        void WriteLineHalf(bool secondHalf, const GLStepLine& line, int from, int to);
        void WriteConstantHalf(const GLStepLine& line);

        GLFillStyle m_FillStyle;
        int m_iFirstLevel = 0, m_iSecondLevel = 0;
        GLStepLine* m_pFirst = nullptr;
        GLStepLine* m_pSecond = nullptr;
        int m_iColumns = 0;
        std::vector<qint16> m_vVertices;
    };
    // --- end of step lines and step areas ------------------------------------------------------

    /// 256 colours for data values, bytes R, G, B, A in memory, as uploaded to colour-table textures.
    class GLBASE_EXPORT GLColorTable : public std::array<quint32, 256>
    {
    public:
        /// Entry i = grey (i, i, i), opaque.
        GLColorTable();
        /// Entry i from element i (alpha forced opaque); opaque black beyond the given elements.
        void Set(const QVector<unsigned int>& rgb);
        /// \overload
        void Set(const std::vector<QColor>& colors);
    };

    // ---- Text (glframewidget_text.cpp) ----
    // Latin-1 text is drawn from a per-font glyph atlas, one quad per character; any other text is
    // rendered once by Qt into a pooled texture and drawn as one quad.

    /// One distinct font and its atlas of the characters 32..255 in 7 rows of 32; owned by the widget.
    struct GLFont
    {
        static constexpr int ciFirstChar = 32; ///< first character in the atlas
        static constexpr int ciChars = 224;    ///< characters in the atlas
        static constexpr int ciRows = 7;       ///< rows of 32 characters
        /// \var bItalic
        /// Italic, as the font was looked up.

        /// Bold, as the font was looked up.
        bool bBold = false, bItalic = false, bUnderline = false; ///< underlined
        int iHeight = 0;  ///< line height in pixels
        QString sFamily;  ///< font family
        int iAscent = 0;  ///< ascent in pixels
        /// \var aRb
        /// Right bearing of each character, less one.
        /// \var aW
        /// Advance of each character.

        /// Left bearing of each character, less one.
        int aLb[ciChars] = {}, aRb[ciChars] = {}, aW[ciChars] = {}, aCellW[ciChars] = {}; ///< cell width in the atlas
        float fRowHeight = 0; ///< height of a row in texture coordinates
        /// Left edge of each character's cell in texture coordinates.
        float aS[ciChars] = {}, aCellS[ciChars] = {}; ///< cell width in texture coordinates
        float aT[ciRows] = {}; ///< top of each row in texture coordinates
        std::unique_ptr<QImage> pImage; ///< the rendered atlas until its texture exists
        unsigned int uTexture = 0; ///< the atlas texture; 0 until the first draw
    };

    /// A pooled texture holding one rendered text; in use while a GLText is linked to it.
    struct GLTextTexture
    {
        bool bInUse = false; ///< linked to a text
        unsigned int uTexture = 0; ///< the texture; 0 until handed out in a context
        quint64 iTicket = 0; ///< changes at every hand-out, so a stale copy of a GLText cannot free it
    };

    /// A text label that caches its layout; the quads are rebuilt only after a setter changed a value.
    /// Copies share the cached font and the pooled texture; whichever unlinks first frees the texture,
    /// and a copy still drawing it then renders its own anew.
    class GLBASE_EXPORT GLText
    {
    public:
        /// Unchanged text does nothing; text above Latin-1 is measured on widget's device (null: none).
        void SetText(const QString& text, GLFrameWidget* widget);
        /// An unchanged font does nothing; text above Latin-1 is measured again on widget's device.
        void SetFont(const QFont& font, GLFrameWidget* widget);
        /// Top left corner of the text in pixels.
        void SetPos(float x, float y);
        /// Colour of the text; alpha 0 draws nothing.
        void SetColor(const QColor& color);
        /// Mirrors the quads vertically (texture top at the larger y).
        void SetFlipY(bool flip);
        /// The background rectangle behind the text; eFillNone draws none. No outline is drawn.
        void SetFillStyle(const GLFillStyle& style);
        /// The background fill.
        const GLFillStyle& GetFillStyle() const { return m_Background.GetFillStyle(); }
        /// Gives the pooled texture back for reuse (text above Latin-1 only); the destructor does too.
        void Unlink();
        /// Equal fonts and texts; position, colour and styles are not compared.
        bool operator==(const GLText& other) const { return m_Font == other.m_Font && m_sText == other.m_sText; }
        /// Not operator==.
        bool operator!=(const GLText& other) const { return !(*this == other); }

        /// The text.
        const QString& Text() const { return m_sText; }
        /// The font.
        const QFont& Font() const { return m_Font; }
        /// The colour.
        const QColor& Color() const { return m_cColor; }
        /// Left edge.
        float X() const { return m_fX; }
        /// Top edge.
        float Y() const { return m_fY; }
        /// Whether the quads are mirrored vertically.
        bool FlipY() const { return m_bFlipY; }
        /// True when every character is Latin-1, so the glyph atlas draws the text.
        bool IsLatin1() const { return m_bLatin1; }
        /// Bounding rectangle of text above Latin-1; (0, 0, -1, -1) until such a text is set.
        const QRect& BoundingRect() const { return m_BoundingRect; }

    private:
        friend class GLFrameWidget;
        bool m_bFlipY = false;
        float m_fX = 0, m_fY = 0;
        QColor m_cColor;
        GLPolygon m_Background;
        QFont m_Font;
        QString m_sText;
        QRect m_BoundingRect;
        bool m_bLatin1 = true;
        QByteArray m_aLatin1;
        bool m_bChanged = true;
        GLFont* m_pFont = nullptr;
        std::vector<float> m_vQuads; ///< per vertex x, y, s, t; four vertices per quad
        /// Holds a pooled texture in use; a copy shares it, a move hands it over, destruction unlinks.
        struct TextureLink
        {
            std::shared_ptr<GLTextTexture> pTexture;
            quint64 iTicket = 0;
            TextureLink() = default;
            TextureLink(const TextureLink& other) = default;
            TextureLink(TextureLink&& other) noexcept : pTexture(std::move(other.pTexture)), iTicket(other.iTicket)
            {
                other.iTicket = 0;
            }
            TextureLink& operator=(const TextureLink& other)
            {
                if (pTexture != other.pTexture)
                    Release();
                pTexture = other.pTexture;
                iTicket = other.iTicket;
                return *this;
            }
            TextureLink& operator=(TextureLink&& other) noexcept
            {
                if (this == &other)
                    return *this;
                if (pTexture != other.pTexture)
                    Release();
                pTexture = std::move(other.pTexture);
                iTicket = other.iTicket;
                other.iTicket = 0;
                return *this;
            }
            ~TextureLink() { Release(); }
            void Release()
            {
                if (Held())
                    pTexture->bInUse = false;
                pTexture.reset();
                iTicket = 0;
            }
            /// Still ours: no copy unlinked it and the pool has not handed it to another text since.
            bool Held() const { return pTexture && pTexture->bInUse && pTexture->iTicket == iTicket; }
        };
        TextureLink m_Link;
        quint64 m_iFontGeneration = 0; ///< the widget font list m_pFont was taken from
    };

    /// Size classes per dimension of the text texture pool: widths and heights 4 * 2^0 .. 4 * 2^15.
    static constexpr int iMaxTextTex = 16;
    /// Width and height of the drawn text; Latin-1: ink box of the characters, height of the font.
    GLSize GetTextExtent(GLText& text);
    /// Ascent of the text's font in pixels.
    int GetTextAscent(GLText& text);
    /// Line height of the text's font in pixels.
    int GetTextHeight(GLText& text);
    /// Draws the text (nothing outside a frame, at alpha 0 or for empty text). standalone sets up and
    /// restores all GL state; otherwise the caller has enabled blending (one, one minus source alpha),
    /// alpha test, texturing and the vertex and texture-coordinate arrays for a batch. boundTexture, when
    /// not null, remembers the bound texture so that consecutive texts of one atlas bind it once.
    void DrawTextW(GLText& text, bool standalone, unsigned int* boundTexture);
    /// How often text quads were rebuilt; lets diagnostics see that unchanged labels are cached.
    int TextLayoutCount() const { return m_iTextLayouts; }
    // ---- end of text ----

    /// Registers with the setOpenGLInfo registry, if any; the context waits for the first paint or resize.
    explicit GLFrameWidget(QWidget* parent = nullptr);
    /// Releases the context, its images and texts, and unregisters.
    ~GLFrameWidget() override;
    GLFrameWidget(const GLFrameWidget&) = delete;
    GLFrameWidget& operator=(const GLFrameWidget&) = delete;

    /// Process-wide handlers; null disables logging, colour lookup or registration.
    static void setErrorHandler(IErrorHandlerBase* handler) { m_pErrorHandler = handler; }
    /// The error handler; null when none is set.
    static IErrorHandlerBase* getErrorHandler() { return m_pErrorHandler; }
    /// Whether messages for the user are shown through the error handler (default true).
    static void setShowError(bool show) { m_bShowError = show; }
    /// Whether messages for the user are shown.
    static bool getShowError() { return m_bShowError; }
    /// The colour scheme the axes take their colours from; not owned.
    static void setColorHandler(IColorBase* colors) { m_pColors = colors; }
    /// The colour scheme; null when none is set.
    static IColorBase* getColorHandler() { return m_pColors; }
    /// The registry told about every surface created from now on; not owned.
    static void setOpenGLInfo(IGLInfo0* info) { m_pOpenGLInfo = info; }
    /// The registry; null when none is set.
    static IGLInfo0* getOpenGLInfo() { return m_pOpenGLInfo; }
    /// Which path contexts created from now on take: automatic (the window path only where the window
    /// system's renderer is not a software rasteriser), or forced to the window or the ScanBuffer path.
    enum eRenderPath { ePathAuto, ePathWindow, ePathScanBuffer };
    /// The path for contexts created from now on; existing ones keep theirs.
    static void setRenderPath(eRenderPath path) { s_eRenderPath = path; }
    /// The path set; ePathAuto until set.
    static eRenderPath renderPath() { return s_eRenderPath; }

    QString info() override;
    bool softwareRenderer() override { return !m_bHardwareFormat; }
    /// True while the widget's context is current, as inside PaintGL.
    bool ActiveContext() const { return m_bContextCurrent; }
    /// True once a context was created, and after the display was lost.
    bool initialized() const { return m_bInitialized; }
    /// Why the last set-up failed; eInitNoError otherwise.
    eInitializeError initializeError() const { return m_eError; }
    /// The translated text of initializeError().
    QString GetInitializeErrorString() const;
    /// Largest texture edge of the context; 0 before the first set-up.
    int GetMaxTextureSize() const { return m_iMaxTextureSize; }
    /// Width in logical pixels, as the drawing calls take them.
    int GetWidth() const { return m_iWidth; }
    /// Height in logical pixels.
    int GetHeight() const { return m_iHeight; }
    /// Hands the message to the error handler's log with this class and the given function name.
    void LogError(const QString& message, const QString& function);

    /// Requests a frame within about a millisecond (at most one per 16 ms).
    void Update();
    /// Renders one frame into image (top row first, ARGB32 premultiplied) instead of the window;
    /// false, with image untouched, when no context is available.
    bool RenderToImage(QImage* image);
    /// Projects logical pixels (origin top left, y down) and turns depth test and culling off.
    void Init2DMode();
    /// On (the default) every frame starts in 2-D mode; off it starts with depth test and culling on.
    void Set2DMode(bool on) { m_b2DMode = on; }
    /// Whether frames start in 2-D mode.
    bool Is2DMode() const { return m_b2DMode; }
    /// Moves the origin to (x, y) and clips to the rectangle; viewports do not nest.
    void BeginViewPort(float x, float y, float w, float h);
    /// Ends the viewport begun at (x, y).
    void EndViewPort(float x, float y);
    /// Each stencil bit is a clip plane: write marks the covered pixels, use keeps drawing off them.
    /// On the software path a frame gets its stencil (and, in 2-D mode, its depth buffer) with the
    /// first clip plane written; 3-D frames always have both.
    void WriteClipPlanes(unsigned int mask);
    /// Draws only on pixels marked in none of the planes of mask; 0 does nothing.
    void UseClipPlanes(unsigned int mask);
    /// Draws everywhere again; the marks stay until the next frame.
    void DisableClipPlanes();
    /// Fill of a layout's separator strips and border column; requests a frame.
    void SetBorderStyle(const GLFillStyle& style);
    /// The border fill.
    const GLFillStyle& GetBorderStyle() const { return m_BorderStyle; }
    /// Gives a layout's separators and border column room (on) or none (off); lays out again.
    void SetShowBorders(bool show);
    /// Whether borders take room; false until set.
    bool ShowBorders() const { return m_bShowBorders; }

    // The drawing operations draw only while the context is current (inside PaintGL); elsewhere nothing.
    /// Draws the segments of the batch in its line style.
    void DrawLines(GLLines& lines);
    /// Fills by the polygon's fill style, then draws its outline; close adds the last-to-first segment.
    void DrawPolygon(GLPolygon& polygon, bool close);
    /// Draws the image stretched into the rectangle; a null image, an empty rectangle or an image
    /// above the maximum texture size (logged) draws nothing.
    void DrawImage(int x, int y, int w, int h, const QImage& image);
    /// A step trace in its line style, through its two axes when both are set (parts narrower than
    /// 3 pixels are left out); nothing without vertices, an empty rectangle or an invisible style.
    void DrawStepLine(GLStepLine& line);
    /// A step area in its solid fill colour, placed like its first border (else its second).
    void DrawStepArea(GLStepArea& area);

    // --- Line images (waterfalls) ---------------------------------------------------------------
    // A history of byte lines with time stamps, newest at the top, kept in 256 x 256 tiles. Index
    // mode (multitexture and the index-colour program) colours at draw time; software mode colours
    // when a line is stored, so a table change affects only later lines. Ids are indices; a
    // negative, unknown or deleted id does nothing or returns the stated default.
    /// Edge of the square tiles, in lines and columns.
    static constexpr int m_iImageTileSize = 256;
    /// Columns of a line are 16-bit in its sections: wider lines keep their first 32767 values.
    static constexpr int ciMaxLineImageWidth = 32767;
    /// Creates an image (reusing the lowest deleted id) with buffer height 0 and a grey table.
    int CreateLineImage();
    /// Frees the image's tiles into the widget's texture pool and its colour-table texture.
    void DeleteLineImage(int id);
    /// Most lines kept (negative counts as 0); applied when the next line is stored.
    void SetLineImageBufferHeight(int id, int lines);
    /// Entry i from element i, alpha forced opaque; opaque black beyond the vector.
    void SetLineImageColorTable(int id, const QVector<unsigned int>& rgb);
    /// Stores width bytes as the line of timeStamp: true when appended; false when an existing
    /// line was rewritten, the time stamp matches no line older than the newest ("Unknown existing
    /// TimeStamp"), there is no current context ("No context"), or id or data is invalid.
    bool SetLineImageData(int id, unsigned long long timeStamp, const unsigned char* data);
    /// As above, but a buffer of fewer than width bytes is refused (false, nothing stored).
    bool SetLineImageData(int id, unsigned long long timeStamp, const unsigned char* data, int byteCount);
    /// Sets the width (count, at most ciMaxLineImageWidth) and the value of each column.
    void SetLineImageXAxis(int id, double min, double max, int count);
    /// As above, from an axis: its pixel count is the width.
    void SetLineImageXAxis(int id, const AxisData& axis);
    /// The screen columns of the values, as for aged images.
    void SetLineImageDestXAxis(int id, const AxisData& axis);
    /// \overload
    void SetLineImageDestXAxis(int id, double min, double max, int count);
    /// Value range over the viewport's height, and the range the kept lines cover (newest at max).
    void SetLineImageYAxis(int id, double min, double max);
    /// The range the kept lines cover, newest at max.
    void SetLineImageDestYAxis(int id, double min, double max);
    /// (Oldest, newest) time stamp; (0, 0) for an invalid id or no lines.
    std::pair<unsigned long long, unsigned long long> GetLineImageAvailableTimeRange(int id);
    /// Time stamp of line index (0 = newest); 0 when out of range.
    unsigned long long GetLineImageTimeStamp(int id, int index);
    /// The bytes of line index (0 = newest), exactly its width; empty when out of range. The
    /// reference is valid until the next call for any image of this widget.
    const std::string& GetLineImageData(int id, int index);
    /// Index of the line nearest timeStamp (the newer one at equal distance) with found set, when
    /// two neighbouring lines bracket it; otherwise 0 with found cleared.
    int GetLineImageLine(int id, unsigned long long timeStamp, bool& found);
    /// Where DrawLineImage puts line index (0 = newest) in a viewport viewHeight pixels high: the row
    /// of the line's top edge, fractions of an index interpolating within the line; -1 for an invalid
    /// id, an empty Y range or a buffer height below 1. Time scales and read-outs place themselves by it.
    double GetLineImageRow(int id, double index, int viewHeight) const;
    /// Index of the kept line drawn at row y of such a viewport; -1 where no kept line is drawn.
    int GetLineImageLineAt(int id, double y, int viewHeight) const;
    /// Draws the kept lines in the current viewport; nothing outside a paint pass.
    void DrawLineImage(int id);

    /// One row of tiles: 256 consecutive lines, tile t holding columns 256 t to 256 t + 255.
    struct GLImageTileLine
    {
        int iRowsUsed = 0;   ///< the next line gets this row; rows are never reused
        int iReferences = 0; ///< lines stored here
        std::vector<unsigned int> vTextures; ///< one texture per tile, left to right
        /// CPU copy, tile by tile, then row by row: column c of row r at ((c / 256) * 256 + r) * 256 + c % 256.
        std::vector<unsigned char> vData;
    };
    /// The record of one line image, for subclasses that inspect it (see LineImage).
    struct GLLineImage
    {
        /// One kept line.
        struct Line
        {
            unsigned long long uTimeStamp = 0; ///< the time stamp it was stored under
            /// Sections never change once built, so lines written under one axis share them.
            std::shared_ptr<const GLSections> pXSections;
            int iWidth = 0; ///< bytes stored
            int iRow = 0; ///< row in its tile line
            GLImageTileLine* pTileLine = nullptr; ///< the tile line holding it
        };
        bool bDeleted = false; ///< deleted: the id may be reused
        int iBufferHeight = 0; ///< most lines kept
        GLSections DestXSections; ///< screen columns
        /// Column values for the lines stored from now on.
        std::shared_ptr<const GLSections> pXSections = std::make_shared<const GLSections>();
        /// The range the kept lines cover: oldest end.
        float fDestYMin = 0, fDestYMax = 0; ///< newest end
        /// Value at the bottom of the viewport.
        float fYMin = 0, fYMax = 0; ///< value at the top
        int iWidth = 0; ///< bytes per line
        bool bColorTableDirty = true; ///< table changed since the last upload
        GLColorTable ColorTable; ///< the colours
        unsigned int uColorTableTexture = 0; ///< the table's texture; 0 until drawn in index mode
        std::deque<Line> Lines; ///< oldest first
        std::vector<std::unique_ptr<GLImageTileLine>> TileLines; ///< the tile lines in use
    };

    // --- Aged images (persistence displays) -------------------------------------------------------
    // A picture of byte frames painted through a 256-entry colour table, earlier frames fading out
    // linearly over the hold time. FBO mode (framebuffer objects, multitexture and both image
    // programs) keeps the picture on the GPU; software mode keeps it in memory and uploads it per
    // draw. Ids are indices; a negative, unknown or deleted id does nothing (converters give 0).
    /// Reuses the lowest deleted id: an empty image, white table, hold time 1,000 ms, ageing off.
    int CreateAgedImage();
    /// Stops its repaint timer and deletes its textures.
    void DeleteAgedImage(int id);
    /// A new size deletes the textures: the image draws nothing until its next frame.
    void SetAgedImageBufferSize(int id, int width, int height);
    /// Entry i from element i, alpha forced opaque; opaque black beyond the given elements.
    void SetAgedImageColorTable(int id, const QVector<unsigned int>& rgb);
    /// \overload
    void SetAgedImageColorTable(int id, const std::vector<QColor>& colors);
    /// Paints height rows of bytesPerLine bytes (byteCount / bytesPerLine must equal the height and
    /// bytesPerLine be at least the width); value 0 keeps the fading picture. Ages by the time
    /// stamps (microseconds) first. Ignored while ageing is off; "No context" outside a paint pass;
    /// dropped with "Out of texture memory" when the driver cannot hold the picture.
    void SetAgedImageData(int id, unsigned long long timeStamp, const unsigned char* data, int bytesPerLine,
                          int byteCount);
    /// Value of each image column, and the screen columns of the values.
    void SetAgedImageXAxis(int id, const AxisData& axis);
    /// \overload
    void SetAgedImageXAxis(int id, double min, double max, int count);
    /// The screen columns of the values.
    void SetAgedImageDestXAxis(int id, const AxisData& axis);
    /// \overload
    void SetAgedImageDestXAxis(int id, double min, double max, int count);
    /// Value range over the viewport's height, and the range the image's rows cover (first at max).
    void SetAgedImageYAxis(int id, double min, double max);
    /// The range the image's rows cover, first row at max.
    void SetAgedImageDestYAxis(int id, double min, double max);
    /// While ageing is on the widget repaints every frame interval; frames are accepted only then.
    void SetAgeing(int id, bool on);
    /// Milliseconds for a full fade; below 10 gives 10.
    void SetAgedImageHoldTime(int id, int milliseconds);
    /// Draws the picture in the current viewport, ageing it by the frame clock first when ageing is on;
    /// nothing before the first frame, with an empty y range or outside a paint pass.
    void DrawAgedImage(int id);

    /// Polar form: image columns become radii from innerRatio x R to R, rows angles around the circle.
    /// angle (radians) is where the image's last row starts.
    void SetAgedImagePolarParams(int id, bool centerHorizontally, bool centerVertically, int leftMargin,
                                 int rightMargin, int topMargin, int bottomMargin, float innerRatio, float angle);
    /// Draws the picture as the ring, in the current viewport; nothing for a ring under one pixel.
    void DrawAgedImagePolar(int id);
    /// A grid circle at image column position x, and a radial line at a rectangular angle; nothing for
    /// a style without width or line, or a ring under one pixel.
    void DrawAgedImagePolarXCircle(int id, int x, const GLLineStyle& style);
    /// A radial line across the ring at angle (radians, as AgedImagePolarToRect gives it).
    void DrawAgedImagePolarYLine(int id, float angle, const GLLineStyle& style);
    /// Between (column position, angle) and viewport pixels, for mouse handling; both follow the
    /// current viewport. Points beyond the ring clamp to its edges.
    void AgedImageRectToPolar(int id, int x, float angle, float& px, float& py);
    /// Viewport pixel to column position (0 to the viewport width) and angle in [0, 2 pi); 0, 0 for a bad id.
    void AgedImagePolarToRect(int id, float px, float py, int& x, float& angle);

    /// The record of one aged image, for subclasses that inspect it (see AgedImage).
    struct GLAgedImage
    {
        bool bDeleted = false; ///< deleted: the id may be reused
        /// Screen columns.
        GLSections DestXSections, XSections; ///< value of each image column
        /// The range the image's rows cover: last row.
        float fDestYMin = 0, fDestYMax = 0; ///< first row
        /// Value at the bottom of the viewport.
        float fYMin = 0, fYMax = 0; ///< value at the top
        /// Width of the image in columns.
        int iWidth = 0, iHeight = 0; ///< height in rows
        int iStride = 0; ///< pixels per row of the picture: the width rounded up to 4
        /// Share of the texture width the image covers.
        float fTextureU = 0, fTextureV = 0; ///< share of the texture height
        /// Ring centred horizontally in the viewport.
        bool bPolarCenterH = false, bPolarCenterV = false; ///< centred vertically
        /// \var iPolarRight
        /// Right margin of the ring.
        /// \var iPolarTop
        /// Top margin of the ring.

        /// Left margin of the ring.
        int iPolarLeft = 0, iPolarRight = 0, iPolarTop = 0, iPolarBottom = 0; ///< bottom margin of the ring
        /// Inner radius of the ring as a share of the outer one.
        float fPolarInnerRatio = 0, fPolarAngleOffset = 0; ///< rotation of the ring: the angle set less pi / 2
        bool bAgeing = false; ///< frames are accepted and the picture fades
        int iLastAgeing = 0;              ///< frame clock (ms) at the last ageing step
        unsigned long long uLastTimeStamp = 0; ///< microseconds, 0 = no frame yet
        float fHoldTime = 1000; ///< milliseconds for a full fade
        QTimer RepaintTimer; ///< repaints every frame interval while ageing
        bool bColorTableDirty = true; ///< table changed since the last upload
        std::array<quint32, 256> ColorTable; ///< the colours, as GLColorTable
        unsigned int uColorTableTexture = 0; ///< the table's texture in FBO mode
        bool bFBOMode = false; ///< the picture lives on the GPU
        bool bModeFixed = false; ///< false while no context has told which mode is possible
        unsigned int uFrameBuffer = 0; ///< framebuffer of the two picture textures
        bool bPingPong = true; ///< texture A holds the current picture
        /// \var uTextureB
        /// The other picture texture, in FBO mode.

        /// A picture texture; the only one in software mode.
        unsigned int uTextureA = 0, uTextureB = 0, uDataTexture = 0; ///< the last frame's bytes, in FBO mode
        /// Software mode: the RGBA picture, stride pixels per row; FBO mode: the last frame's bytes.
        std::vector<unsigned char> vPixels;
        /// Alpha (of 255) that every texel has at least lost to fading since the picture was made:
        /// each ageing step counts one less than it fades, for rounding.
        double dFaded = 0;
        /// Image columns per band of vPaintedAt.
        static constexpr int ciBandColumns = 8;
        /// For every band of image columns, row by row: dFaded when a frame last painted that row of
        /// the band, or minus infinity. The row has faded out once dFaded is 255 past it.
        std::vector<double> vPaintedAt;
    };
    // --- end of aged images ------------------------------------------------------------------------

    /// The minimum size.
    QSize sizeHint() const override { return minimumSize(); }
    /// Null: Qt does not paint the widget, GL does.
    QPaintEngine* paintEngine() const override { return nullptr; }

    /// Capabilities read at each context creation; all false before the first.
    bool m_bBlendFuncSeparate = false; ///< GL_EXT_blend_func_separate
    bool m_bMultiTexture = false; ///< GL_ARB_multitexture
    bool m_bFrameBufferObject = false; ///< GL_EXT_framebuffer_object
    bool m_bIndexColorProgram = false; ///< the line images' colouring program built
    bool m_bAgedImageProgram = false; ///< the aged images' painting program built
    bool m_bAgeingProgram = false; ///< the aged images' fading program built
    /// Shift in x that puts odd-width lines on pixel centres; set at each context creation.
    float m_fLineOffsetX = 0.5f;
    float m_fLineOffsetY = 0.5f; ///< the same in y; 0.46 on some renderers

protected:
    /// Draws a frame: the context is current, the frame cleared to transparent, 2-D mode set up if on.
    virtual void PaintGL() = 0;
    /// Follows a size change; GetWidth and GetHeight hold the new size.
    virtual void ResizeGL() = 0;
    /// Renders a frame at most once per 16 ms, else schedules one.
    void paintEvent(QPaintEvent* event) override;
    /// Stores the new size (at least 2 x 2, logged), resizes the ScanBuffer, then calls ResizeGL.
    void resizeEvent(QResizeEvent* event) override;
    /// False, logged, when there is no context or it cannot be made current.
    bool MakeContextCurrent();
    /// Sets up the context on first use and makes it current; false when that fails, and for good
    /// once the display was lost.
    bool BeginContext();
    /// Presents the frame when swap is set, then releases the context.
    void EndContext(bool swap);
    /// Turns blending on for premultiplied or for straight colours.
    void BeginBlend(bool premultiplied);
    /// Turns blending off.
    void EndBlend();
    /// Sets color, premultiplied, with blending when it is not opaque.
    void BeginColor(const QColor& color);
    /// Ends the blending BeginColor started for color.
    void EndColor(const QColor& color);
    /// Sets the GL colour to color, premultiplied by its alpha.
    void PremultipliedColor(const QColor& color);
    /// Sets the line width and stipple of style in device pixels; returns the logical shift that puts
    /// the line on pixel centres. EndLineStyle undoes the stipple. GL's wide lines at ratios other
    /// than 1 are centred on the right device rows but start up to one device pixel late along
    /// the line: step lines and dotted lines, which are drawn so, may do that.
    QPointF BeginLineStyle(const GLLineStyle& style);
    /// Undoes the stipple of BeginLineStyle.
    void EndLineStyle(const GLLineStyle& style);
    /// Pairs the overlapping value ranges of source and destination sections, both in value order;
    /// pairs empty on either side are left out.
    static void MergeSections(const GLSections& source, const GLSections& dest, std::vector<GLDrawSection>& out);
    /// The live line image of id, or null; for subclasses that inspect the tiles.
    const GLLineImage* LineImage(int id) const;
    /// The live aged image of id, or null; for subclasses that inspect its GL objects.
    const GLAgedImage* AgedImage(int id) const;
    /// Completeness of the bound framebuffer; a subclass may override it to act out a refusing driver.
    virtual unsigned int FramebufferStatus();

private:
    bool InitContext();
    /// A changed adapter or a context the driver reset: the widget stays blank for good.
    void EnterDeviceLost();
    void ShowInitFailure(eInitializeError error);
    void FailInit(eInitializeError error, bool release);
    void ReadCapabilities();
    void ReleaseContext();
    void ReleaseContextResources();
    bool Render(QImage* image);
    /// Delivers a resize event for the current size with the stored size as the old one.
    void DeliverResize();
    void UpdateDeviceSize();
    void ReleaseTextAtOldRatio();
    QPointF LineShift(const GLLineStyle& style) const;
    /// Just under half a device pixel: fill edges on integer coordinates fall clearly on one side of
    /// the pixel centres, so fills cover exactly their logical pixels.
    float FillShift() const { return float(0.49 / m_fPixelRatio); }
    void ShowMessage(const QString& text, bool isError);
    void WarnOnce(int& counter, const char* logText, const char* userText);
    void RequestRepaint();
    void DrawPoints(const GLLineStyle& style, const std::vector<float>& vertices, unsigned int type, bool close);
    /// Solid lines: the segments of pairs or of a (closed) strip, as rectangles where that is exact.
    void DrawSolidSegments(const GLLineStyle& style, const std::vector<float>& vertices, bool pairs, bool close);
    std::vector<float> m_vSegmentQuads, m_vDiagonalSegments;
    void FillConcave(const GLPolygon& polygon);
    /// Step traces: the x placement through both axes, or across the whole rectangle, of the line's
    /// or the area's vertices.
    void DrawStepSections(const GLStepLine& line, const std::vector<qint16>& vertices, unsigned int primitive,
                          int perSample, int limit, float dx, float dy);
    void DrawStepWhole(const GLStepLine& line, const std::vector<qint16>& vertices, unsigned int primitive, float dx,
                       float dy);
    /// Draws count vertices from firstVertex, the first of them at x = firstX, with x scaled by scale
    /// and firstX at the origin; also where the 16-bit x has wrapped.
    void DrawStepVertices(const std::vector<qint16>& vertices, unsigned int primitive, int firstVertex, int count,
                          qint64 firstX, float scale);
    std::vector<float> m_vStepVertices;

    /// One image program: its objects and the locations looked up after linking.
    struct GLShaderProgram
    {
        unsigned int uVertexShader = 0, uFragmentShader = 0, uProgram = 0;
        int aUniforms[4] = {-1, -1, -1, -1}; ///< in the order the program names them
        int iInVertex = -1, iInTexCoord0 = -1;
    };
    bool LoadShaderProcs();
    void LoadCapabilityProcs();
    bool CreateShader(unsigned int type, unsigned int& shader, const char* source);
    bool CreateProgram(unsigned int& program, unsigned int vertexShader, unsigned int fragmentShader);
    bool BuildProgram(GLShaderProgram& program, const char* vertexSource, const char* fragmentSource,
                      std::initializer_list<const char*> uniforms);
    void BuildPrograms();
    void DeletePrograms();

    // Text: fonts and the text texture pool (glframewidget_text.cpp).
    struct TextTextureBucket
    {
        std::vector<std::shared_ptr<GLTextTexture>> vTextures;
        QImage scratch;                 ///< ARGB32 premultiplied, made on first use
        std::vector<unsigned char> vBytes; ///< luminance-alpha upload buffer
    };
    GLFont* GetFont(const QFont& font);
    std::shared_ptr<GLTextTexture> CreateTextTexture(int w, int h, int& texW, int& texH);
    GLFont* CachedFont(GLText& text);
    void MakeAtlasTexture(GLFont& font);
    void BuildLatin1Quads(GLText& text, const GLFont& font);
    void BuildTextureQuad(GLText& text, const GLFont& font);
    void ReleaseTextResources(bool deleteGLObjects);
    std::vector<std::unique_ptr<GLFont>> m_vFonts;
    TextTextureBucket m_aTextTextures[iMaxTextTex][iMaxTextTex];
    quint64 m_iFontGeneration = 0;
    int m_iTextLayouts = 0;

    static IErrorHandlerBase* m_pErrorHandler;
    static bool m_bShowError;
    static IColorBase* m_pColors;
    static IGLInfo0* m_pOpenGLInfo;
    static bool s_bDeviceLostReported;
    static eRenderPath s_eRenderPath;
    static int s_iAntialiasWarnings;
    static int s_iSoftwareWarnings;

    std::unique_ptr<GLPlatform::Context> m_pContext;
    bool m_bContextCurrent = false;
    bool m_bInitialized = false;
    eInitializeError m_eError = eInitNoError;
    QString m_sVendor, m_sRenderer, m_sVersion, m_sExtensions;
    int m_iSampleBuffers = 0, m_iSamples = 0, m_iRedBits = 0, m_iAlphaBits = 0, m_iStencilBits = 0;
    int m_iScreenDepth = 0;
    int m_iMaxTextureSize = 0;
    int m_iWidth = 0, m_iHeight = 0; // logical pixels, as every drawing call takes them
    qreal m_fPixelRatio = 1;
    int m_iDeviceWidth = 0, m_iDeviceHeight = 0; // the drawable, in device pixels
    QString m_sAdapter;
    QPoint m_LastPos;
    bool m_bHardwareFormat = false;
    bool m_bRemoteSession = false;
    GLShaderProgram m_IndexColorProgram, m_AgedImageProgram, m_AgeingProgram;

    // Line images: records by id, tile texture names of released tile lines (reused before new
    // ones are generated, deleted at context release), the software colouring row and the
    // string GetLineImageData returns.
    std::vector<std::unique_ptr<GLLineImage>> m_vLineImages;
    std::vector<unsigned int> m_vFreeTileTextures;
    std::array<quint32, 256> m_aLineImageScratch{};
    std::string m_sLineImageData;
    GLLineImage* LiveLineImage(int id) const;
    bool LineImageIndexMode() const { return m_bMultiTexture && m_bIndexColorProgram; }
    void StoreLine(GLLineImage& image, GLLineImage::Line& line, const unsigned char* data);
    void BindTileTexture(GLImageTileLine& tileLine, int tile);
    void TrimLineImage(GLLineImage& image);
    void DeleteTileLine(GLLineImage* image, GLImageTileLine* tileLine);
    void ReleaseLineImages();
    // Top row and height of the band the buffer height of lines is drawn into; false without a scale.
    static bool LineImageBand(const GLLineImage& image, float viewHeight, int& top, int& height);
    void BeginDrawLineImage(GLLineImage& image);
    void EndDrawLineImage();
    void DrawLineImageGroup(const GLLineImage::Line& newest, int count, float y, std::vector<GLDrawSection>& sections,
                            const GLSections& dest);

    // Aged images (glframewidget_agedimages.cpp, polar form in glframewidget_polar.cpp).
    struct PolarGeometry
    {
        float fRadius = 0, fCenterX = 0, fCenterY = 0;
        /// Radius of column position p (0 to the viewport width).
        float RadiusAt(const GLAgedImage& image, float p, float width) const;
    };
    std::vector<std::unique_ptr<GLAgedImage>> m_vAgedImages;
    GLAgedImage* LiveAgedImage(int id) const;
    void FixAgedImageMode(GLAgedImage& image) const;
    bool CreateTextures(GLAgedImage* image);
    void DeleteTextures(GLAgedImage* image);
    /// Generates and binds a texture: magnified nearest, data may be null.
    void CreateTexture(unsigned int& texture, unsigned int wrap, unsigned int minFilter, unsigned int format,
                       int width, int height, const void* data);
    /// Binds the 256 x 1 colour-table texture of an image, creating or refreshing it as needed.
    void UploadColorTable(unsigned int& texture, bool& dirty, const quint32* table);
    bool AttachFramebuffer(GLAgedImage* image, int texWidth, int texHeight);
    /// True, with "Out of texture memory" logged, when the driver refused the last allocations.
    bool TextureMemoryExhausted();
    void PaintFrameFBO(GLAgedImage* image, const unsigned char* data, int bytesPerLine, float fade);
    void PaintFrameSoftware(GLAgedImage* image, const unsigned char* data, int bytesPerLine);
    /// The share of full alpha to fade by now (0: too little to count yet), moving the image's clocks.
    float AgeingStep(GLAgedImage* image, unsigned long long elapsedMicroseconds);
    void AgeImage(GLAgedImage* image, unsigned long long elapsedMicroseconds);
    GLAgedImage* BeginDrawAgedImage(int id);
    void EndDrawAgedImage();
    void DrawAgedImageFBO(GLAgedImage* image, int vertexAttribute, int texCoordAttribute);
    void ReleaseAgedImages();
    PolarGeometry Polar(const GLAgedImage& image) const;
    void DrawPolarLine(const GLLineStyle& style, const float* vertices, int count);

    bool m_b2DMode = true;
    bool m_bRendering = false;
    int m_iFrameInterval = 16;
    qint64 m_iLastFrame = -16;
    QTimer m_RepaintTimer;
    float m_fViewX = 0, m_fViewY = 0, m_fViewW = 0, m_fViewH = 0;
    bool m_bShowBorders = false;
    GLFillStyle m_BorderStyle;
};

#endif
