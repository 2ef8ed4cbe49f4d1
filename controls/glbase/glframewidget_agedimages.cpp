#include "glframewidget.h"
#include "glplatform_p.h"

#include "glframewidget_procs.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
// The smallest power of two from 4 that holds size, capped at the largest texture.
int TextureSize(int size, int maxSize)
{
    int texture = 4;
    while (texture < size && texture < maxSize)
        texture *= 2;
    return std::min(texture, maxSize);
}

const char* FramebufferMessage(GLenum status)
{
    switch (status) {
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT: return "Incomplete attachment";
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT: return "Missing attachment";
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT: return "Incomplete dimensions";
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT: return "Incomplete formats";
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER: return "Incomplete draw buffer";
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER: return "Incomplete read buffer";
    case GL_FRAMEBUFFER_UNSUPPORTED: return "Framebufferobjects unsupported";
    default: return "Unknown error";
    }
}

// Milliseconds between two data time stamps. A time stamp older than the last one gives a negative
// step, which fades nothing, and a step beyond the int range is held at it.
int StampMilliseconds(unsigned long long elapsedMicroseconds)
{
    const long long step = static_cast<long long>(elapsedMicroseconds) / 1000;
    return static_cast<int>(std::clamp<long long>(step, INT_MIN, INT_MAX));
}

// Errors left by earlier calls are taken first, so that a check after an allocation sees only its own.
void ClearGLErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

size_t RgbaBytes(const GLFrameWidget::GLAgedImage& image)
{
    return size_t(image.iStride) * size_t(image.iHeight) * 4;
}

using AgedImage = GLFrameWidget::GLAgedImage;

int PaintedBands(const AgedImage& image)
{
    return (image.iWidth + AgedImage::ciBandColumns - 1) / AgedImage::ciBandColumns;
}

// A new picture is transparent everywhere.
void ClearPaintedRecord(AgedImage& image)
{
    image.dFaded = 0;
    image.vPaintedAt.assign(size_t(PaintedBands(image)) * size_t(image.iHeight),
                            -std::numeric_limits<double>::infinity());
}

// Notes, for each row of each band, whether the frame painted it (any value but 0).
void RecordPainted(AgedImage& image, const unsigned char* data, int bytesPerLine)
{
    const int bands = PaintedBands(image);
    if (image.vPaintedAt.size() != size_t(bands) * size_t(image.iHeight))
        return;
    for (int r = 0; r < image.iHeight; ++r) {
        const unsigned char* row = data + size_t(r) * size_t(bytesPerLine);
        double* painted = image.vPaintedAt.data() + size_t(r) * size_t(bands);
        for (int b = 0; b < bands; ++b) {
            const int first = b * AgedImage::ciBandColumns;
            const int end = std::min(first + AgedImage::ciBandColumns, image.iWidth);
            quint64 word = 0;
            if (end - first == int(sizeof(word)))
                std::memcpy(&word, row + first, sizeof(word));
            else
                word = std::any_of(row + first, row + end, [](unsigned char v) { return v != 0; });
            if (word != 0)
                painted[b] = image.dFaded;
        }
    }
}

// Drawing coordinates to window pixels (GL's, from the bottom), where the matrices only scale and move.
struct WindowMap
{
    double dScaleX = 0, dOffsetX = 0, dScaleY = 0, dOffsetY = 0;
};

bool CurrentWindowMap(WindowMap& map, const GLint* viewport)
{
    GLdouble modelView[16], projection[16], m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            m[4 * column + row] = 0;
            for (int k = 0; k < 4; ++k)
                m[4 * column + row] += projection[4 * k + row] * modelView[4 * column + k];
        }
    // No rotation, shear or perspective for a z = 0 vertex.
    if (m[1] != 0 || m[4] != 0 || m[3] != 0 || m[7] != 0 || m[15] == 0)
        return false;
    const double halfW = viewport[2] / 2.0, halfH = viewport[3] / 2.0;
    map.dScaleX = m[0] / m[15] * halfW;
    map.dOffsetX = viewport[0] + (m[12] / m[15] + 1) * halfW;
    map.dScaleY = m[5] / m[15] * halfH;
    map.dOffsetY = viewport[1] + (m[13] / m[15] + 1) * halfH;
    return true;
}

// The texels a pixel centre at texel coordinate t can sample, nearest or linear, with one more on
// either side for the rasteriser's rounding.
struct TexelSpan
{
    int iFirst = 0, iLast = 0;
    bool Within(int count) const { return iFirst >= 0 && iLast < count; }
};

TexelSpan SampledTexels(double t)
{
    const int below = int(std::floor(t - 0.5));
    return {below - 1, below + 2};
}

// Pixels of a window rectangle, left and bottom inclusive.
struct PixelRect
{
    int iX0 = 0, iY0 = 0, iX1 = 0, iY1 = 0;
    bool Empty() const { return iX1 <= iX0 || iY1 <= iY0; }
    PixelRect Intersected(const PixelRect& r) const
    {
        return {std::max(iX0, r.iX0), std::max(iY0, r.iY0), std::min(iX1, r.iX1), std::min(iY1, r.iY1)};
    }
};

// Draws the quad bound to the vertex arrays once per rectangle, through the scissor; the
// rectangles never overlap, so no pixel is blended twice.
void DrawScissored(const PixelRect& r)
{
    if (r.Empty())
        return;
    glScissor(r.iX0, r.iY0, r.iX1 - r.iX0, r.iY1 - r.iY0);
    glDrawArrays(GL_QUADS, 0, 4);
}

// Draws one quad of the picture (image columns first to last from left to right, rows from top to
// bottom) only where it can change pixels. A texel that has faded out blends to the pixel under
// it, so pixels that sample only such texels are left out; all others are drawn once, from the
// same triangles, and come out as from the whole quad. Pixels near the picture's edges, which may
// sample texels beyond it, are always drawn. `visibleRows` holds each band's first and last row
// that may still show (first > last: none); `clip` bounds the pixels the quad can reach.
void DrawVisibleBands(const AgedImage& image, const float* quad, int firstColumn, int lastColumn,
                      const WindowMap& map, const PixelRect& clip, const std::vector<std::pair<int, int>>& visibleRows)
{
    constexpr int ciBandPixels = 32;
    const double left = map.dScaleX * quad[0] + map.dOffsetX, right = map.dScaleX * quad[4] + map.dOffsetX;
    const double top = map.dScaleY * quad[9] + map.dOffsetY, bottom = map.dScaleY * quad[1] + map.dOffsetY;
    if (left == right || top == bottom) // no area, no pixels
        return;
    const PixelRect all =
        PixelRect{int(std::floor(std::min(left, right))) - 1, int(std::floor(std::min(top, bottom))) - 1,
                  int(std::ceil(std::max(left, right))) + 1, int(std::ceil(std::max(top, bottom))) + 1}
            .Intersected(clip);
    if (all.Empty())
        return;
    auto columnAt = [&](int x) {
        return SampledTexels(firstColumn + (x + 0.5 - left) * (lastColumn - firstColumn) / (right - left));
    };
    std::vector<TexelSpan> rows(size_t(all.iY1 - all.iY0));
    for (int y = all.iY0; y < all.iY1; ++y)
        rows[size_t(y - all.iY0)] = SampledTexels((y + 0.5 - top) * image.iHeight / (bottom - top));
    // Pixels that sample only texels of the picture: one run of columns and one of rows, as the
    // texel coordinates are monotonic.
    PixelRect inner{all.iX1, all.iY1, all.iX0, all.iY0};
    for (int x = all.iX0; x < all.iX1; ++x)
        if (columnAt(x).Within(image.iWidth))
            inner.iX0 = std::min(inner.iX0, x), inner.iX1 = x + 1;
    for (int y = all.iY0; y < all.iY1; ++y)
        if (rows[size_t(y - all.iY0)].Within(image.iHeight))
            inner.iY0 = std::min(inner.iY0, y), inner.iY1 = y + 1;
    if (inner.Empty()) {
        DrawScissored(all);
        return;
    }
    DrawScissored({all.iX0, all.iY0, all.iX1, inner.iY0});
    DrawScissored({all.iX0, inner.iY1, all.iX1, all.iY1});
    DrawScissored({all.iX0, inner.iY0, inner.iX0, inner.iY1});
    DrawScissored({inner.iX1, inner.iY0, all.iX1, inner.iY1});
    // Bands of columns, each to the rows whose texels may show; neighbours with the same rows
    // are drawn as one.
    PixelRect pending{inner.iX0, 0, inner.iX0, 0};
    for (int x = inner.iX0; x < inner.iX1; x += ciBandPixels) {
        const int end = std::min(x + ciBandPixels, inner.iX1);
        const TexelSpan a = columnAt(x), b = columnAt(end - 1);
        int firstRow = image.iHeight, lastRow = -1;
        for (int band = std::min(a.iFirst, b.iFirst) / AgedImage::ciBandColumns;
             band <= std::max(a.iLast, b.iLast) / AgedImage::ciBandColumns; ++band) {
            firstRow = std::min(firstRow, visibleRows[size_t(band)].first);
            lastRow = std::max(lastRow, visibleRows[size_t(band)].second);
        }
        PixelRect r{x, inner.iY1, end, inner.iY1};
        for (int y = inner.iY0; y < inner.iY1; ++y) {
            const TexelSpan& span = rows[size_t(y - all.iY0)];
            if (span.iFirst <= lastRow && span.iLast >= firstRow)
                r.iY0 = std::min(r.iY0, y), r.iY1 = y + 1;
        }
        if (r.Empty())
            r.iY0 = r.iY1 = inner.iY1;
        if (r.iY0 != pending.iY0 || r.iY1 != pending.iY1) {
            DrawScissored(pending);
            pending = r;
        }
        pending.iX1 = end;
    }
    DrawScissored(pending);
}
} // namespace

GLFrameWidget::GLAgedImage* GLFrameWidget::LiveAgedImage(int id) const
{
    if (id < 0 || size_t(id) >= m_vAgedImages.size() || m_vAgedImages[size_t(id)]->bDeleted)
        return nullptr;
    return m_vAgedImages[size_t(id)].get();
}

const GLFrameWidget::GLAgedImage* GLFrameWidget::AgedImage(int id) const { return LiveAgedImage(id); }

unsigned int GLFrameWidget::FramebufferStatus() { return s_Gl.CheckFramebufferStatus(GL_FRAMEBUFFER); }

int GLFrameWidget::CreateAgedImage()
{
    size_t id = 0;
    while (id < m_vAgedImages.size() && !m_vAgedImages[id]->bDeleted)
        ++id;
    // A fresh record resets every field, the timer included; the slot keeps its id.
    auto image = std::make_unique<GLAgedImage>();
    image->ColorTable.fill(0xFFFFFFFFu);
    image->iLastAgeing = int(m_iLastFrame);
    FixAgedImageMode(*image);
    image->RepaintTimer.setInterval(m_iFrameInterval);
    connect(&image->RepaintTimer, &QTimer::timeout, this, qOverload<>(&QWidget::repaint));
    if (id == m_vAgedImages.size())
        m_vAgedImages.push_back(std::move(image));
    else
        m_vAgedImages[id] = std::move(image);
    return int(id);
}

void GLFrameWidget::DeleteAgedImage(int id)
{
    GLAgedImage* image = LiveAgedImage(id);
    if (!image)
        return;
    image->bDeleted = true;
    image->RepaintTimer.stop();
    image->RepaintTimer.disconnect();
    DeleteTextures(image);
}

void GLFrameWidget::ReleaseAgedImages()
{
    for (size_t id = 0; id < m_vAgedImages.size(); ++id)
        DeleteAgedImage(int(id));
    m_vAgedImages.clear();
}

void GLFrameWidget::SetAgedImageBufferSize(int id, int width, int height)
{
    GLAgedImage* image = LiveAgedImage(id);
    if (!image || (image->iWidth == width && image->iHeight == height))
        return;
    DeleteTextures(image);
    image->iWidth = width;
    image->iHeight = height;
}

void GLFrameWidget::SetAgedImageColorTable(int id, const QVector<unsigned int>& rgb)
{
    if (GLAgedImage* image = LiveAgedImage(id)) {
        GLColorTable table;
        table.Set(rgb);
        image->ColorTable = table;
        image->bColorTableDirty = true;
    }
}

void GLFrameWidget::SetAgedImageColorTable(int id, const std::vector<QColor>& colors)
{
    if (GLAgedImage* image = LiveAgedImage(id)) {
        GLColorTable table;
        table.Set(colors);
        image->ColorTable = table;
        image->bColorTableDirty = true;
    }
}

void GLFrameWidget::SetAgedImageXAxis(int id, const AxisData& axis)
{
    if (GLAgedImage* image = LiveAgedImage(id))
        image->XSections.Build(axis);
}

void GLFrameWidget::SetAgedImageXAxis(int id, double min, double max, int count)
{
    if (GLAgedImage* image = LiveAgedImage(id))
        image->XSections.Build(min, max, count);
}

void GLFrameWidget::SetAgedImageDestXAxis(int id, const AxisData& axis)
{
    if (GLAgedImage* image = LiveAgedImage(id))
        image->DestXSections.Build(axis);
}

void GLFrameWidget::SetAgedImageDestXAxis(int id, double min, double max, int count)
{
    if (GLAgedImage* image = LiveAgedImage(id))
        image->DestXSections.Build(min, max, count);
}

void GLFrameWidget::SetAgedImageYAxis(int id, double min, double max)
{
    if (GLAgedImage* image = LiveAgedImage(id)) {
        image->fYMin = float(min);
        image->fYMax = float(max);
    }
}

void GLFrameWidget::SetAgedImageDestYAxis(int id, double min, double max)
{
    if (GLAgedImage* image = LiveAgedImage(id)) {
        image->fDestYMin = float(min);
        image->fDestYMax = float(max);
    }
}

void GLFrameWidget::SetAgedImageHoldTime(int id, int milliseconds)
{
    if (GLAgedImage* image = LiveAgedImage(id))
        image->fHoldTime = float(std::max(milliseconds, 10));
}

void GLFrameWidget::SetAgeing(int id, bool on)
{
    GLAgedImage* image = LiveAgedImage(id);
    if (!image || image->bAgeing == on)
        return;
    image->bAgeing = on;
    if (on)
        image->RepaintTimer.start();
    else
        image->RepaintTimer.stop();
}

void GLFrameWidget::CreateTexture(unsigned int& texture, unsigned int wrap, unsigned int minFilter,
                                  unsigned int format, int width, int height, const void* data)
{
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLint(wrap));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLint(wrap));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
    // The linear filter samples the texels past the image at its right and bottom edges: they start
    // transparent, not as whatever the driver's memory held.
    const std::vector<uchar> zeros(data ? 0 : size_t(width) * size_t(height) * 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), width, height, 0, format, GL_UNSIGNED_BYTE,
                 data ? data : zeros.data());
}

void GLFrameWidget::UploadColorTable(unsigned int& texture, bool& dirty, const quint32* table)
{
    if (texture) {
        glBindTexture(GL_TEXTURE_2D, texture);
        if (dirty)
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RGBA, GL_UNSIGNED_BYTE, table);
    } else {
        CreateTexture(texture, GL_REPEAT, GL_NEAREST, GL_RGBA, 256, 1, table);
    }
    dirty = false;
}

void GLFrameWidget::FixAgedImageMode(GLAgedImage& image) const
{
    // Images are usually set up before the first paint creates the context; those take their mode
    // from the first context instead of falling back to software mode for good.
    if (!m_bInitialized || image.bModeFixed)
        return;
    image.bFBOMode = m_bFrameBufferObject && m_bMultiTexture && m_bAgedImageProgram && m_bAgeingProgram;
    image.bModeFixed = true;
}

bool GLFrameWidget::CreateTextures(GLAgedImage* image)
{
    FixAgedImageMode(*image);
    // A refused framebuffer deletes everything and comes round once more, in software mode.
    for (;;) {
        if (image->bFBOMode ? image->uFrameBuffer != 0 : image->uTextureA != 0)
            return true;
        // Rows beyond the largest texture could never be shown, and would only cost memory.
        if (image->iWidth <= 0 || image->iHeight <= 0 || image->iHeight > m_iMaxTextureSize)
            return false;
        const int texWidth = TextureSize(image->iWidth, m_iMaxTextureSize);
        const int texHeight = TextureSize(image->iHeight, m_iMaxTextureSize);
        image->iStride = std::min((image->iWidth / 4 + (image->iWidth % 4 != 0)) * 4, m_iMaxTextureSize);
        image->fTextureU = float(image->iWidth) / float(texWidth);
        image->fTextureV = float(image->iHeight) / float(texHeight);
        image->bPingPong = true;

        glEnable(GL_TEXTURE_2D);
        ClearGLErrors();
        CreateTexture(image->uTextureA, m_bHardwareFormat ? GL_CLAMP_TO_EDGE : GL_REPEAT, GL_LINEAR, GL_RGBA, texWidth,
                      texHeight, nullptr);
        image->vPixels.assign(RgbaBytes(*image), 0);
        ClearPaintedRecord(*image);
        glDisable(GL_TEXTURE_2D);
        // The frame is dropped and the next one tries again: memory may be free by then.
        if (TextureMemoryExhausted()) {
            DeleteTextures(image);
            return false;
        }
        if (!image->bFBOMode || AttachFramebuffer(image, texWidth, texHeight))
            return true;
    }
}

bool GLFrameWidget::AttachFramebuffer(GLAgedImage* image, int texWidth, int texHeight)
{
    s_Gl.GenFramebuffers(1, &image->uFrameBuffer);
    s_Gl.BindFramebuffer(GL_FRAMEBUFFER, image->uFrameBuffer);
    glEnable(GL_TEXTURE_2D);
    s_Gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, image->uTextureA, 0);
    CreateTexture(image->uTextureB, GL_CLAMP_TO_EDGE, GL_LINEAR, GL_RGBA, texWidth, texHeight, nullptr);
    s_Gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D, image->uTextureB, 0);
    CreateTexture(image->uDataTexture, GL_CLAMP_TO_EDGE, GL_NEAREST, GL_LUMINANCE, texWidth, texHeight, nullptr);
    // Without room for the second picture and the data, memory mode still needs only one texture.
    const bool exhausted = TextureMemoryExhausted();
    const GLenum status = exhausted ? GLenum(GL_FRAMEBUFFER_COMPLETE) : FramebufferStatus();
    glDisable(GL_TEXTURE_2D);
    s_Gl.BindFramebuffer(GL_FRAMEBUFFER, m_pContext->DefaultFramebuffer());
    if (status == GL_FRAMEBUFFER_COMPLETE && !exhausted)
        return true;
    if (!exhausted)
        LogError(FramebufferMessage(status), "CreateFramebuffer");
    DeleteTextures(image);
    image->bFBOMode = false;
    return false;
}

bool GLFrameWidget::TextureMemoryExhausted()
{
    if (glGetError() != GL_OUT_OF_MEMORY)
        return false;
    LogError("Out of texture memory", "CreateTextures");
    return true;
}

void GLFrameWidget::DeleteTextures(GLAgedImage* image)
{
    unsigned int* const textures[] = {&image->uTextureA, &image->uTextureB, &image->uDataTexture,
                                      &image->uColorTableTexture};
    const bool hasObjects =
        image->uFrameBuffer != 0 || std::any_of(std::begin(textures), std::end(textures), [](auto t) { return *t; });
    // An image that never had GL objects needs no context, so deleting it cannot fail.
    const bool madeCurrent = hasObjects && !m_bContextCurrent;
    if (madeCurrent && !MakeContextCurrent()) {
        LogError("MakeContextCurrent failed", "DeleteTextures");
        return;
    }
    for (unsigned int* texture : textures) {
        if (*texture)
            glDeleteTextures(1, texture);
        *texture = 0;
    }
    if (image->uFrameBuffer)
        s_Gl.DeleteFramebuffers(1, &image->uFrameBuffer);
    image->uFrameBuffer = 0;
    if (madeCurrent) {
        m_pContext->DoneCurrent();
        m_bContextCurrent = false;
    }
    image->vPixels.clear();
    image->vPixels.shrink_to_fit();
    image->vPaintedAt.clear();
    image->vPaintedAt.shrink_to_fit();
}

void GLFrameWidget::SetAgedImageData(int id, unsigned long long timeStamp, const unsigned char* data,
                                     int bytesPerLine, int byteCount)
{
    if (!m_bContextCurrent) {
        LogError("No context", "SetAgedImageBitData");
        return;
    }
    GLAgedImage* image = LiveAgedImage(id);
    if (!image || !image->bAgeing || !data || bytesPerLine <= 0 || byteCount / bytesPerLine != image->iHeight ||
        bytesPerLine < image->iWidth || !CreateTextures(image))
        return;
    if (image->uLastTimeStamp == 0)
        image->uLastTimeStamp = timeStamp;
    if (image->bFBOMode) {
        // One pass both fades and paints: a separate ageing pass costs as much again.
        PaintFrameFBO(image, data, bytesPerLine, AgeingStep(image, timeStamp - image->uLastTimeStamp));
    } else {
        AgeImage(image, timeStamp - image->uLastTimeStamp);
        PaintFrameSoftware(image, data, bytesPerLine);
    }
    RecordPainted(*image, data, bytesPerLine);
}

void GLFrameWidget::PaintFrameSoftware(GLAgedImage* image, const unsigned char* data, int bytesPerLine)
{
    image->vPixels.resize(RgbaBytes(*image));
    const int columns = std::min(bytesPerLine, image->iStride);
    for (int r = 0; r < image->iHeight; ++r) {
        const unsigned char* source = data + size_t(r) * size_t(bytesPerLine);
        unsigned char* row = image->vPixels.data() + size_t(r) * size_t(image->iStride) * 4;
        for (int c = 0; c < columns; ++c) {
            if (source[c] != 0)
                std::memcpy(row + size_t(c) * 4, &image->ColorTable[source[c]], 4);
        }
    }
}

void GLFrameWidget::PaintFrameFBO(GLAgedImage* image, const unsigned char* data, int bytesPerLine, float fade)
{
    const size_t stride = size_t(image->iStride);
    image->vPixels.resize(stride * size_t(image->iHeight));
    const size_t columns = std::min(size_t(bytesPerLine), stride);
    for (int r = 0; r < image->iHeight; ++r)
        std::memcpy(image->vPixels.data() + size_t(r) * stride, data + size_t(r) * size_t(bytesPerLine), columns);

    const GLShaderProgram& program = m_AgedImageProgram;
    s_Gl.UseProgram(program.uProgram);
    s_Gl.Uniform1i(program.aUniforms[0], 0);
    s_Gl.Uniform1i(program.aUniforms[1], 1);
    s_Gl.Uniform1i(program.aUniforms[2], 2);
    s_Gl.Uniform1f(program.aUniforms[3], fade);
    s_Gl.ActiveTexture(GL_TEXTURE2);
    glEnable(GL_TEXTURE_2D);
    UploadColorTable(image->uColorTableTexture, image->bColorTableDirty, image->ColorTable.data());
    s_Gl.ActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, image->uDataTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image->iStride, image->iHeight, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                    image->vPixels.data());
    s_Gl.ActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    DrawAgedImageFBO(image, program.iInVertex, program.iInTexCoord0);
    s_Gl.UseProgram(0);
    for (GLenum unit : {GL_TEXTURE2, GL_TEXTURE1, GL_TEXTURE0}) {
        s_Gl.ActiveTexture(unit);
        glDisable(GL_TEXTURE_2D);
    }
    if (fade == 0)
        return;
    // Separate ageing and painting passes would have left the picture in the other texture, whose
    // wrap mode can differ and show at the picture's edges; a copy costs far less than a pass.
    const bool inA = image->bPingPong;
    s_Gl.BindFramebuffer(GL_FRAMEBUFFER, image->uFrameBuffer);
    glReadBuffer(inA ? GL_COLOR_ATTACHMENT0 : GL_COLOR_ATTACHMENT1);
    glBindTexture(GL_TEXTURE_2D, inA ? image->uTextureB : image->uTextureA);
    // The passes reach no further than the texture, which holds at least the stride.
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, std::min(image->iWidth, image->iStride), image->iHeight);
    s_Gl.BindFramebuffer(GL_FRAMEBUFFER, m_pContext->DefaultFramebuffer());
    image->bPingPong = !inA;
}

float GLFrameWidget::AgeingStep(GLAgedImage* image, unsigned long long elapsedMicroseconds)
{
    const int now = int(m_iLastFrame);
    int elapsed = 0;
    if (elapsedMicroseconds == 0) {
        elapsed = now - image->iLastAgeing;
        if (elapsed < 0) {
            elapsed = m_iFrameInterval;
            image->iLastAgeing = now;
        }
    } else {
        if (image->uLastTimeStamp != 0)
            image->uLastTimeStamp += elapsedMicroseconds;
        elapsed = StampMilliseconds(elapsedMicroseconds);
    }
    const float fade = float(elapsed) / image->fHoldTime;
    // Small frame-clock steps accumulate until they count; a small time-stamp step is lost.
    if (fade < 0.01f)
        return 0;
    image->iLastAgeing = now;
    // Either mode rounds the step by at most one below the fade.
    image->dFaded += double(std::min(fade, 1.0f) * 255.0f) - 1;
    return fade;
}

void GLFrameWidget::AgeImage(GLAgedImage* image, unsigned long long elapsedMicroseconds)
{
    const float fade = AgeingStep(image, elapsedMicroseconds);
    if (fade == 0)
        return;
    if (image->bFBOMode) {
        const GLShaderProgram& program = m_AgeingProgram;
        s_Gl.UseProgram(program.uProgram);
        s_Gl.Uniform1i(program.aUniforms[0], 0);
        s_Gl.Uniform1f(program.aUniforms[1], fade);
        glEnable(GL_TEXTURE_2D);
        DrawAgedImageFBO(image, program.iInVertex, program.iInTexCoord0);
        glDisable(GL_TEXTURE_2D);
        s_Gl.UseProgram(0);
        return;
    }
    image->vPixels.resize(RgbaBytes(*image));
    const int step = int(std::min(fade, 1.0f) * 255.0f);
    for (size_t alpha = 3; alpha < image->vPixels.size(); alpha += 4) {
        unsigned char& a = image->vPixels[alpha];
        a = a > step ? static_cast<unsigned char>(a - step) : 0;
    }
}

void GLFrameWidget::DrawAgedImageFBO(GLAgedImage* image, int vertexAttribute, int texCoordAttribute)
{
    // The scissor comes back as it was rather than always on: a frame may arrive outside a viewport.
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    s_Gl.EnableVertexAttribArray(GLuint(vertexAttribute));
    s_Gl.EnableVertexAttribArray(GLuint(texCoordAttribute));
    s_Gl.BindFramebuffer(GL_FRAMEBUFFER, image->uFrameBuffer);
    glPushAttrib(GL_VIEWPORT_BIT | GL_COLOR_BUFFER_BIT);
    // The pass copies texels; blending left on by the caller would mix them with the target.
    glDisable(GL_BLEND);
    glViewport(0, 0, image->iWidth, image->iHeight);
    glBindTexture(GL_TEXTURE_2D, image->bPingPong ? image->uTextureA : image->uTextureB);
    glDrawBuffer(image->bPingPong ? GL_COLOR_ATTACHMENT1 : GL_COLOR_ATTACHMENT0);
    image->bPingPong = !image->bPingPong;
    const float u = image->fTextureU, v = image->fTextureV;
    const float quad[] = {-1, 1, 0, v, 1, 1, u, v, 1, -1, u, 0, -1, -1, 0, 0};
    s_Gl.VertexAttribPointer(GLuint(vertexAttribute), 2, GL_FLOAT, GL_FALSE, 16, quad);
    s_Gl.VertexAttribPointer(GLuint(texCoordAttribute), 2, GL_FLOAT, GL_FALSE, 16, quad + 2);
    glDrawArrays(GL_QUADS, 0, 4);
    glPopAttrib();
    s_Gl.BindFramebuffer(GL_FRAMEBUFFER, m_pContext->DefaultFramebuffer());
    s_Gl.DisableVertexAttribArray(GLuint(vertexAttribute));
    s_Gl.DisableVertexAttribArray(GLuint(texCoordAttribute));
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
}

GLFrameWidget::GLAgedImage* GLFrameWidget::BeginDrawAgedImage(int id)
{
    GLAgedImage* image = LiveAgedImage(id);
    if (!m_bContextCurrent || !image || image->vPixels.empty() || image->fYMin == image->fYMax ||
        !CreateTextures(image))
        return nullptr;
    if (image->bAgeing)
        AgeImage(image, 0);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindTexture(GL_TEXTURE_2D, image->bPingPong ? image->uTextureA : image->uTextureB);
    if (!image->bFBOMode) {
        image->vPixels.resize(RgbaBytes(*image));
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image->iStride, image->iHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                        image->vPixels.data());
    }
    // Colours blend by the picture's alpha; the frame's own alpha must grow as for any drawing
    // over it, or a faded pixel would read back darker in alpha than in colour.
    BeginBlend(false);
    glColor4ub(255, 255, 255, 255);
    return image;
}

void GLFrameWidget::EndDrawAgedImage()
{
    EndBlend();
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
}

void GLFrameWidget::DrawAgedImage(int id)
{
    GLAgedImage* image = BeginDrawAgedImage(id);
    if (!image)
        return;
    const float range = image->fYMax - image->fYMin;
    const int top = TruncatePixel((image->fYMax - image->fDestYMax) * m_fViewH / range + 0.1f);
    const int height = TruncatePixel((image->fDestYMax - image->fDestYMin) * m_fViewH / range + 0.1f);
    const float y0 = float(top), y1 = float(top) + float(height);
    std::vector<GLDrawSection> sections;
    MergeSections(image->XSections, image->DestXSections, sections);
    const float uPerColumn = image->fTextureU / float(image->iWidth);
    const float v = image->fTextureV;
    // Where the picture has faded out, drawing it changes no pixel. The quads are drawn in bands
    // where the window coordinates are known and no skipped pixel would have written a depth.
    GLint viewport[4], box[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    WindowMap map;
    const bool bands = image->vPaintedAt.size() == size_t(PaintedBands(*image)) * size_t(image->iHeight) &&
                       !glIsEnabled(GL_DEPTH_TEST) && CurrentWindowMap(map, viewport);
    PixelRect clip{viewport[0], viewport[1], viewport[0] + viewport[2], viewport[1] + viewport[3]};
    if (scissor)
        clip = clip.Intersected({box[0], box[1], box[0] + box[2], box[1] + box[3]});
    std::vector<std::pair<int, int>> visibleRows;
    if (bands) {
        const int count = PaintedBands(*image);
        visibleRows.assign(size_t(count), {image->iHeight, -1});
        for (int r = 0; r < image->iHeight; ++r)
            for (int b = 0; b < count; ++b)
                if (image->dFaded - image->vPaintedAt[size_t(r) * size_t(count) + size_t(b)] < 255) {
                    auto& rows = visibleRows[size_t(b)];
                    rows = {std::min(rows.first, r), r};
                }
        glEnable(GL_SCISSOR_TEST);
    }
    for (const GLDrawSection& s : sections) {
        const float ua = float(s.iSrcFrom) * uPerColumn, ub = float(s.iSrcTo) * uPerColumn;
        const float b0 = s.iDstFrom, b1 = s.iDstTo;
        const float quad[] = {b0, y1, ua, v, b1, y1, ub, v, b1, y0, ub, 0, b0, y0, ua, 0};
        glVertexPointer(2, GL_FLOAT, 16, quad);
        glTexCoordPointer(2, GL_FLOAT, 16, quad + 2);
        if (bands)
            DrawVisibleBands(*image, quad, s.iSrcFrom, s.iSrcTo, map, clip, visibleRows);
        else
            glDrawArrays(GL_QUADS, 0, 4);
    }
    if (bands) {
        glScissor(box[0], box[1], box[2], box[3]);
        if (!scissor)
            glDisable(GL_SCISSOR_TEST);
    }
    EndDrawAgedImage();
}
