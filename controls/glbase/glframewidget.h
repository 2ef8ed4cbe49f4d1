#ifndef GLFRAMEWIDGET_H
#define GLFRAMEWIDGET_H

#include "glbase_export.h"
#include "glplatform.h"
#include "iglwidget.h"

#include <QColor>
#include <QImage>
#include <QTimer>
#include <QVector>
#include <QWidget>
#include <array>
#include <initializer_list>
#include <memory>
#include <vector>

class AxisData;
class IErrorHandlerBase;
class IColorBase;
class IGLInfo0;

// A widget that draws only through OpenGL, in 2-D pixel coordinates (origin top left, y down).
// The context is created lazily on the first paint or resize of at least 2 x 2 pixels, on the
// widget's window where a hardware renderer exists, else in an off-screen ScanBuffer whose pixels
// are copied onto the window. Subclasses draw in PaintGL; drawing calls are valid only inside it.
class GLBASE_EXPORT GLFrameWidget : public QWidget, public IGLWidget
{
    Q_OBJECT
public:
    enum eFillStyle { eFillNone, eFillSolid, eFillSolidConcave, eFillHGradient, eFillVGradient };
    enum eLineStyle { eLineNone, eLineSolid, eLineDotted };
    enum eInitializeError {
        eInitNoError, eInitRunning, eInitWinId, eInitGetDC, eInitColorDepth, eInitCreateDIBSection,
        eInitCreateCompatibleDC, eInitSelectObject, eInitChoosePixelFormat, eInitSetPixelFormat,
        eInitCreateContext, eInitMakeCurrent, eInitDeviceLost
    };

    // Fill of a polygon: style, foreground (fill or gradient start) and background (gradient end).
    class GLBASE_EXPORT GLFillStyle
    {
    public:
        GLFillStyle() = default;
        GLFillStyle(eFillStyle style, const QColor& fg, const QColor& bg);
        void SetStyle(eFillStyle style, const QColor& fg, const QColor& bg);
        eFillStyle FillStyle() const { return m_eStyle; }
        const QColor& FgColor() const { return m_cFg; }
        const QColor& BgColor() const { return m_cBg; }
        bool operator==(const GLFillStyle& other) const;
        bool operator!=(const GLFillStyle& other) const { return !(*this == other); }

    private:
        eFillStyle m_eStyle = eFillNone;
        QColor m_cFg;
        QColor m_cBg;
    };

    // Line style, width in pixels (also the stipple factor) and colour.
    class GLBASE_EXPORT GLLineStyle
    {
    public:
        GLLineStyle() = default;
        GLLineStyle(eLineStyle style, int size, const QColor& fg);
        void SetStyle(eLineStyle style, int size, const QColor& fg);
        eLineStyle LineStyle() const { return m_eStyle; }
        int Size() const { return m_iSize; }
        const QColor& FgColor() const { return m_cFg; }
        // Odd widths are shifted half a pixel so that they cover whole pixels.
        bool OddSize() const { return (m_iSize & 1) != 0; }
        bool EvenSize() const { return !OddSize(); }
        bool operator==(const GLLineStyle& other) const;
        bool operator!=(const GLLineStyle& other) const { return !(*this == other); }

    private:
        eLineStyle m_eStyle = eLineNone;
        int m_iSize = 0;
        QColor m_cFg;
    };

    class GLBASE_EXPORT GLSize
    {
    public:
        GLSize() = default;
        GLSize(float w, float h) : m_fWidth(w), m_fHeight(h) {}
        float Width() const { return m_fWidth; }
        float Height() const { return m_fHeight; }

    private:
        float m_fWidth = 0;
        float m_fHeight = 0;
    };

    // A batch of independent segments, drawn in one call.
    class GLBASE_EXPORT GLLines
    {
    public:
        // Stores the segment along its major axis, one pixel longer, so that the end pixel is drawn.
        // A segment of zero length is not added.
        void AddLine(float x1, float y1, float x2, float y2);
        void Clear() { m_vVertices.clear(); }
        void SetLineStyle(const GLLineStyle& style) { m_LineStyle = style; }
        const GLLineStyle& LineStyle() const { return m_LineStyle; }
        std::vector<float>& Vertices() { return m_vVertices; }

    private:
        GLLineStyle m_LineStyle;
        std::vector<float> m_vVertices;
    };

    // A polygon with outline and fill; keep it between frames so gradient colours are computed once.
    class GLBASE_EXPORT GLPolygon
    {
    public:
        void AddVertex(float x, float y);
        // Makes the polygon the rectangle (bottom-left, top-left, top-right, bottom-right); the same
        // rectangle again changes nothing, so the colour cache stays valid.
        void SetRect(float x, float y, float w, float h);
        void Clear();
        void SetFillStyle(const GLFillStyle& style);
        void SetLineStyle(const GLLineStyle& style);
        const GLFillStyle& GetFillStyle() const { return m_FillStyle; }
        const GLLineStyle& GetLineStyle() const { return m_LineStyle; }
        // Bounding box; an empty polygon reports left 1e6 and width -2e6.
        float Left() const { return m_fLeft; }
        float Top() const { return m_fTop; }
        float Width() const { return m_fRight - m_fLeft; }
        float Height() const { return m_fBottom - m_fTop; }
        const float* VertexData() const { return m_vVertices.data(); }
        std::vector<float>& Vertices() { return m_vVertices; }
        int VertexCount() const { return int(m_vVertices.size() / 2); }
        // Premultiplied RGBA bytes per vertex for the gradient styles; empty for the others.
        void CalcColors();
        const std::vector<unsigned char>& Colors() const { return m_vColors; }
        bool NeedsRecalc() const { return m_bRecalc; }
        void SetRecalcDone() { m_bRecalc = false; }

    private:
        GLLineStyle m_LineStyle;
        GLFillStyle m_FillStyle;
        float m_fLeft = 1e6f, m_fTop = 1e6f, m_fRight = -1e6f, m_fBottom = -1e6f;
        std::vector<float> m_vVertices;
        std::vector<unsigned char> m_vColors;
        bool m_bRecalc = true;
    };

    // One visible stretch of an axis: values from..to (to is the value one pixel beyond the last)
    // over pixels from..to (to is one past the last). Skipped ranges and separators have none.
    struct GLSection
    {
        float fValueFrom = 0, fValueTo = 0;
        qint16 iPixelFrom = 0, iPixelTo = 0;
    };
    class GLBASE_EXPORT GLSections : public std::vector<GLSection>
    {
    public:
        // One section: pixel p has the value min + (max - min) * p / (count - 1).
        void Build(double min, double max, int count);
        // One section per pixel section of positive factor of the described axis.
        void Build(const AxisData& axis);

    private:
        void Add(double from, double to, int offset, int count);
    };
    // Source pixels from..to appear at destination pixels from..to.
    struct GLDrawSection
    {
        qint16 iSrcFrom = 0, iSrcTo = 0, iDstFrom = 0, iDstTo = 0;
    };

    // --- step lines and step areas -------------------------------------------------------------
    // How a trace runs between sample i and i + 1: straight, or held at the smaller / larger of the
    // two samples, at sample i + 1 (eStepLeft) or at sample i (eStepRight).
    enum eStepLineStyle { eStepNone, eStepMin, eStepMax, eStepLeft, eStepRight };
    class GLStepArea;

    // A trace of byte samples in a destination rectangle. Its vertices are kept as 16-bit
    // (sample index, pixel row) pairs, rebuilt by every setter that changes them; indices beyond
    // 32767 wrap, which is intended. Not copyable: areas link their borders by address.
    class GLBASE_EXPORT GLStepLine
    {
    public:
        GLStepLine() = default;
        // Empties every area the line borders and unlinks both of its borders.
        ~GLStepLine();
        GLStepLine(const GLStepLine&) = delete;
        GLStepLine& operator=(const GLStepLine&) = delete;

        // Copies 2 or more samples; fewer (or null data) empty the line and its areas.
        void SetData(const unsigned char* data, int count);
        // Sample values start and end are drawn at the bottom and top row; end <= start draws flat.
        void SetDataRange(int start, int end);
        void SetDestRect(int x, int y, int w, int h);
        // A value outside eStepLineStyle is ignored.
        void SetStepLineStyle(eStepLineStyle style);
        void SetLineStyle(const GLLineStyle& style) { m_LineStyle = style; }
        // Sample positions as axis values, and the screen axis they are drawn on; the trace follows
        // both only once both are set. The vertices stay as they are.
        void SetXAxis(const AxisData& axis);
        void SetDestXAxis(const AxisData& axis);
        // Rebuilds the vertices, then the areas the line borders.
        void Update();

        const GLLineStyle& LineStyle() const { return m_LineStyle; }
        eStepLineStyle StepLineStyle() const { return m_eStepStyle; }
        int X() const { return m_iX; }
        int Y() const { return m_iY; }
        int Width() const { return m_iWidth; }
        int Height() const { return m_iHeight; }
        int SampleCount() const { return int(m_vData.size()); }
        bool HasAxes() const { return m_bDestXAxis && m_bXAxis; }
        const GLSections& XAxis() const { return m_XAxis; }
        const GLSections& DestXAxis() const { return m_DestXAxis; }
        // x, y interleaved: n + 1 vertices for eStepNone, 2n for the step styles.
        const std::vector<qint16>& Vertices() const { return m_vVertices; }
        // The areas of which this line is the first / second border, or null.
        GLStepArea* FirstArea() const { return m_pFirstArea; }
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

    // The fill between two step lines, or between one and a constant level, one quad per sample
    // column. The area does not own its borders; whichever of the two goes first unlinks both.
    class GLBASE_EXPORT GLStepArea
    {
    public:
        GLStepArea() = default;
        ~GLStepArea() { Disconnect(); }
        GLStepArea(const GLStepArea&) = delete;
        GLStepArea& operator=(const GLStepArea&) = delete;

        // Each Connect disconnects first. It stays unconnected when a line is null, the first is
        // already the first border of an area or the second already the second border of one.
        void Connect(GLStepLine* first, GLStepLine* second);
        // A constant first border: level is a sample value in the line's data range.
        void Connect(int level, GLStepLine* second);
        // A constant second border.
        void Connect(GLStepLine* first, int level);
        // Unlinks both borders and empties the columns.
        void Disconnect();
        // Only eFillSolid is drawn.
        void SetFillStyle(const GLFillStyle& style) { m_FillStyle = style; }
        // Rebuilds the columns after the given border changed; any other line is ignored.
        void Update(GLStepLine* changed);

        const GLFillStyle& FillStyle() const { return m_FillStyle; }
        GLStepLine* FirstBorder() const { return m_pFirst; }
        GLStepLine* SecondBorder() const { return m_pSecond; }
        int ColumnCount() const { return m_iColumns; }
        // Per column i one quad: the second border's (i, y), (i + 1, y), then the first's back.
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

    // 256 colours for data values, bytes R, G, B, A in memory, as uploaded to colour-table textures.
    class GLBASE_EXPORT GLColorTable : public std::array<quint32, 256>
    {
    public:
        // Entry i = grey (i, i, i), opaque.
        GLColorTable();
        // Entry i from element i (alpha forced opaque); opaque black beyond the given elements.
        void Set(const QVector<unsigned int>& rgb);
        void Set(const std::vector<QColor>& colors);
    };

    explicit GLFrameWidget(QWidget* parent = nullptr);
    ~GLFrameWidget() override;
    GLFrameWidget(const GLFrameWidget&) = delete;
    GLFrameWidget& operator=(const GLFrameWidget&) = delete;

    // Process-wide handlers; null disables logging, colour lookup or registration.
    static void setErrorHandler(IErrorHandlerBase* handler) { m_pErrorHandler = handler; }
    static IErrorHandlerBase* getErrorHandler() { return m_pErrorHandler; }
    static void setShowError(bool show) { m_bShowError = show; }
    static bool getShowError() { return m_bShowError; }
    static void setColorHandler(IColorBase* colors) { m_pColors = colors; }
    static IColorBase* getColorHandler() { return m_pColors; }
    static void setOpenGLInfo(IGLInfo0* info) { m_pOpenGLInfo = info; }
    static IGLInfo0* getOpenGLInfo() { return m_pOpenGLInfo; }
    // Forces the window path or the ScanBuffer path for contexts created from now on.
    static void setRenderPath(GLPlatform::eRenderPath path) { GLPlatform::SetRenderPath(path); }

    QString info() override;
    bool softwareRenderer() override { return !m_bHardwareFormat; }
    bool ActiveContext() const { return m_bContextCurrent; }
    bool initialized() const { return m_bInitialized; }
    eInitializeError initializeError() const { return m_eError; }
    QString GetInitializeErrorString() const;
    int GetMaxTextureSize() const { return m_iMaxTextureSize; }
    int GetWidth() const { return m_iWidth; }
    int GetHeight() const { return m_iHeight; }
    // Hands the message to the error handler's log with this class and the given function name.
    void LogError(const QString& message, const QString& function);

    // Requests a frame within about a millisecond (at most one per 16 ms).
    void Update();
    // Renders one frame into image (top row first, ARGB32 premultiplied) instead of the window;
    // false, with image untouched, when no context is available.
    bool RenderToImage(QImage* image);
    void Init2DMode();
    void Set2DMode(bool on) { m_b2DMode = on; }
    bool Is2DMode() const { return m_b2DMode; }
    // Moves the origin to (x, y) and clips to the rectangle; viewports do not nest.
    void BeginViewPort(float x, float y, float w, float h);
    void EndViewPort(float x, float y);
    // Each stencil bit is a clip plane: write marks the covered pixels, use keeps drawing off them.
    void WriteClipPlanes(unsigned int mask);
    void UseClipPlanes(unsigned int mask);
    void DisableClipPlanes();
    void SetBorderStyle(const GLFillStyle& style);
    const GLFillStyle& GetBorderStyle() const { return m_BorderStyle; }
    void SetShowBorders(bool show);
    bool ShowBorders() const { return m_bShowBorders; }

    // The drawing operations draw only while the context is current (inside PaintGL); elsewhere nothing.
    void DrawLines(GLLines& lines);
    // Fills by the polygon's fill style, then draws its outline; close adds the last-to-first segment.
    void DrawPolygon(GLPolygon& polygon, bool close);
    // Draws the image stretched into the rectangle; a null image, an empty rectangle or an image
    // above the maximum texture size (logged) draws nothing.
    void DrawImage(int x, int y, int w, int h, const QImage& image);
    // A step trace in its line style, through its two axes when both are set (parts narrower than
    // 3 pixels are left out); nothing without vertices, an empty rectangle or an invisible style.
    void DrawStepLine(GLStepLine& line);
    // A step area in its solid fill colour, placed like its first border (else its second).
    void DrawStepArea(GLStepArea& area);

    QSize sizeHint() const override { return minimumSize(); }
    QPaintEngine* paintEngine() const override { return nullptr; }

    bool m_bBlendFuncSeparate = false;
    bool m_bMultiTexture = false;
    bool m_bFrameBufferObject = false;
    bool m_bIndexColorProgram = false;
    bool m_bAgedImageProgram = false;
    bool m_bAgeingProgram = false;
    float m_fLineOffsetX = 0.5f;
    float m_fLineOffsetY = 0.5f;

protected:
    virtual void PaintGL() = 0;
    virtual void ResizeGL() = 0;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool MakeContextCurrent();
    bool BeginContext();
    void EndContext(bool swap);
    void BeginBlend(bool premultiplied);
    void EndBlend();
    void BeginColor(const QColor& color);
    void EndColor(const QColor& color);
    void PremultipliedColor(const QColor& color);
    // Pairs the overlapping value ranges of source and destination sections, both in value order;
    // pairs empty on either side are left out.
    static void MergeSections(const GLSections& source, const GLSections& dest, std::vector<GLDrawSection>& out);

private:
    bool InitContext();
    void ShowInitFailure(eInitializeError error);
    void FailInit(eInitializeError error, bool release);
    void ReadCapabilities();
    void ReleaseContext();
    void ReleaseContextResources();
    bool Render(QImage* image);
    void ShowMessage(const QString& text, bool isError);
    void WarnOnce(int& counter, const char* logText, const char* userText);
    void RequestRepaint();
    void DrawPoints(const GLLineStyle& style, const std::vector<float>& vertices, unsigned int type, bool close);
    void FillConcave(const GLPolygon& polygon);
    // Step traces: the x placement through both axes, or across the whole rectangle.
    void DrawStepSections(const GLStepLine& line, unsigned int primitive, int perSample, int limit, float dx, float dy);
    void DrawStepWhole(const GLStepLine& line, unsigned int primitive, int count, float dx, float dy);

    // One image program: its objects and the locations looked up after linking.
    struct GLShaderProgram
    {
        unsigned int uVertexShader = 0, uFragmentShader = 0, uProgram = 0;
        int aUniforms[3] = {-1, -1, -1}; // in the order the program names them
        int iInVertex = -1, iInTexCoord0 = -1;
    };
    bool LoadShaderProcs();
    bool CreateShader(unsigned int type, unsigned int& shader, const char* source);
    bool CreateProgram(unsigned int& program, unsigned int vertexShader, unsigned int fragmentShader);
    bool BuildProgram(GLShaderProgram& program, const char* vertexSource, const char* fragmentSource,
                      std::initializer_list<const char*> uniforms);
    void BuildPrograms();
    void DeletePrograms();

    static IErrorHandlerBase* m_pErrorHandler;
    static bool m_bShowError;
    static IColorBase* m_pColors;
    static IGLInfo0* m_pOpenGLInfo;
    static bool s_bDeviceLostReported;
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
    int m_iWidth = 0, m_iHeight = 0;
    QString m_sAdapter;
    QPoint m_LastPos;
    bool m_bHardwareFormat = false;
    bool m_bRemoteSession = false;
    GLShaderProgram m_IndexColorProgram, m_AgedImageProgram, m_AgeingProgram;

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
