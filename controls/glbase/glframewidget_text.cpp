#include "glframewidget.h"

#include <GL/gl.h>

#include <QFontMetrics>
#include <QPainter>
#include <QtMath>
#include <algorithm>

using GLText = GLFrameWidget::GLText;
using GLFont = GLFrameWidget::GLFont;
using GLTextTexture = GLFrameWidget::GLTextTexture;

namespace
{
// Process-wide so that a font cached from one widget, or from before a context release, never
// passes for one of the current list.
quint64 s_iFontGenerations = 0;
quint64 s_iTextureTickets = 0;

bool AllLatin1(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 255; });
}

// The smallest power of two, at least 4, not below size; doublings counts the steps up from 4 and
// stops at limit, so a caller can tell a size beyond its largest class.
int PowerOfTwoEdge(int size, int limit, int& doublings)
{
    int edge = 4;
    doublings = 0;
    while (edge < size && doublings < limit) {
        edge *= 2;
        ++doublings;
    }
    return edge;
}

int PowerOfTwoEdge(int size)
{
    int doublings = 0;
    return PowerOfTwoEdge(size, 28, doublings);
}

int GlyphIndex(unsigned char c) { return c < GLFont::ciFirstChar ? 0 : c - GLFont::ciFirstChar; }

// Device pixels of a logical texture edge; power-of-two edges stay whole at ratios 1.25 and 1.5.
int DeviceEdge(int logical, qreal ratio) { return qCeil(logical * ratio); }

// A transparent image of w x h logical pixels that renders fonts at the widget's resolution and
// device pixel ratio, matching its font metrics: painted in logical units, it holds device pixels.
QImage TextImage(int w, int h, const QPaintDevice& device, qreal ratio)
{
    QImage image(DeviceEdge(w, ratio), DeviceEdge(h, ratio), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(ratio);
    image.setDotsPerMeterX(qRound(device.logicalDpiX() / 0.0254));
    image.setDotsPerMeterY(qRound(device.logicalDpiY() / 0.0254));
    image.fill(Qt::transparent);
    return image;
}

void DrawWhiteText(QImage& image, const QFont& font, const QPointF& origin, const QString& text)
{
    QPainter painter(&image);
    painter.setPen(Qt::white);
    painter.setFont(font);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawText(origin, text);
}

// White text premultiplied carries its coverage in every byte; the first (blue) one serves as both
// luminance and alpha, so the texture modulates the text colour by coverage.
void ToLuminanceAlpha(const QImage& image, unsigned char* out)
{
    for (int y = 0; y < image.height(); ++y) {
        const uchar* pixel = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x, pixel += 4, out += 2)
            out[0] = out[1] = pixel[0];
    }
}

// Uploads into the given texture, or a new one when texture is 0, and leaves the caller's binding
// and unpack alignment as they were. Returns the texture.
GLuint UploadLuminanceAlpha(GLuint texture, int w, int h, const unsigned char* pixels)
{
    GLint bound = 0, alignment = 4;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (texture == 0) {
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE_ALPHA, w, h, 0, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, pixels);
    } else {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, pixels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    return texture;
}

// Four vertices (x, y, s, t) in the order bottom left, bottom right, top right, top left.
void AddQuad(std::vector<float>& quads, float left, float right, float top, float bottom, float s0, float s1,
             float t0, float t1)
{
    quads.insert(quads.end(), {left, bottom, s0, t1, right, bottom, s1, t1, right, top, s1, t0, left, top, s0, t0});
}
} // namespace

void GLText::SetText(const QString& text, GLFrameWidget* widget)
{
    if (text == m_sText)
        return;
    m_sText = text;
    m_bChanged = true;
    m_bLatin1 = AllLatin1(text);
    if (m_bLatin1) {
        m_aLatin1 = text.toLatin1();
        return;
    }
    m_aLatin1.clear();
    const QFontMetrics metrics(m_Font, widget);
    m_BoundingRect = metrics.boundingRect(QRect(0, 0, -1, -1), Qt::AlignLeft | Qt::AlignTop, text);
    m_BoundingRect.setRight(m_BoundingRect.right() + 1);
}

void GLText::SetFont(const QFont& font, GLFrameWidget* widget)
{
    if (font == m_Font)
        return;
    m_Font = font;
    m_bChanged = true;
    m_pFont = nullptr;
    if (!m_bLatin1)
        m_BoundingRect = QFontMetrics(m_Font, widget).boundingRect(m_sText);
}

void GLText::SetPos(float x, float y)
{
    if (x == m_fX && y == m_fY)
        return;
    m_fX = x;
    m_fY = y;
    m_bChanged = true;
}

void GLText::SetColor(const QColor& color)
{
    if (color == m_cColor)
        return;
    m_cColor = color;
    m_bChanged = true;
}

void GLText::SetFlipY(bool flip)
{
    if (flip == m_bFlipY)
        return;
    m_bFlipY = flip;
    m_bChanged = true;
}

void GLText::SetFillStyle(const GLFillStyle& style)
{
    if (style == m_Background.GetFillStyle())
        return;
    m_Background.SetFillStyle(style);
    m_bChanged = true;
}

void GLText::Unlink() { m_Link.Release(); }

GLFont* GLFrameWidget::GetFont(const QFont& qfont)
{
    const QFontMetrics metrics(qfont, this);
    const bool bold = qfont.weight() > 50;
    const bool italic = qfont.style() != QFont::StyleNormal;
    const int height = metrics.height();
    const QString family = qfont.family();
    for (const std::unique_ptr<GLFont>& font : m_vFonts)
        if (font->bBold == bold && font->bItalic == italic && font->bUnderline == qfont.underline() &&
            font->iHeight == height && font->sFamily == family)
            return font.get();
    if (m_iFontGeneration == 0)
        m_iFontGeneration = ++s_iFontGenerations;

    auto font = std::make_unique<GLFont>();
    font->bBold = bold;
    font->bItalic = italic;
    font->bUnderline = qfont.underline();
    font->iHeight = height;
    font->sFamily = family;
    font->iAscent = metrics.ascent();
    int xStart = 2;
    for (int i = 0; i < GLFont::ciChars; ++i) {
        font->aLb[i] = metrics.leftBearing(QChar(ushort(GLFont::ciFirstChar + i))) - 1;
        xStart = std::max(xStart, font->aLb[i]);
    }
    int cellLeft[GLFont::ciChars];
    int widestRow = 0;
    for (int i = 0; i < GLFont::ciChars; ++i) {
        const QChar c(ushort(GLFont::ciFirstChar + i));
        font->aRb[i] = metrics.rightBearing(c) - 1;
        font->aW[i] = metrics.horizontalAdvance(c);
        font->aCellW[i] = font->aW[i] - font->aLb[i] - font->aRb[i];
        const bool rowStart = i % 32 == 0;
        cellLeft[i] = rowStart ? xStart : cellLeft[i - 1] + font->aCellW[i - 1];
        widestRow = std::max(widestRow, cellLeft[i] + font->aCellW[i]);
    }
    const int atlasW = PowerOfTwoEdge(widestRow);
    const int atlasH = PowerOfTwoEdge((height + 1) * GLFont::ciRows);
    for (int i = 0; i < GLFont::ciChars; ++i) {
        font->aS[i] = float(cellLeft[i]) / atlasW;
        font->aCellS[i] = float(font->aCellW[i]) / atlasW;
    }
    for (int row = 0; row < GLFont::ciRows; ++row)
        font->aT[row] = float(row * (height + 1)) / atlasH;
    font->fRowHeight = float(height) / atlasH;

    // An atlas too large to allocate stays null: the font then measures but draws nothing.
    font->pImage = std::make_unique<QImage>(TextImage(atlasW, atlasH, *this, m_fPixelRatio));
    if (!font->pImage->isNull()) {
        QPainter painter(font->pImage.get());
        painter.setPen(Qt::white);
        painter.setFont(qfont);
        painter.setRenderHint(QPainter::TextAntialiasing);
        for (int i = 0; i < GLFont::ciChars; ++i)
            painter.drawText(cellLeft[i] - font->aLb[i], (i / 32) * (height + 1) + font->iAscent,
                             QString(QChar(ushort(GLFont::ciFirstChar + i))));
    }
    m_vFonts.push_back(std::move(font));
    return m_vFonts.back().get();
}

GLFont* GLFrameWidget::CachedFont(GLText& text)
{
    if (!text.m_pFont || m_iFontGeneration == 0 || text.m_iFontGeneration != m_iFontGeneration) {
        text.m_pFont = GetFont(text.m_Font);
        text.m_iFontGeneration = m_iFontGeneration;
        text.m_bChanged = true;
    }
    return text.m_pFont;
}

GLFrameWidget::GLSize GLFrameWidget::GetTextExtent(GLText& text)
{
    const GLFont& font = *CachedFont(text);
    if (!text.m_bLatin1)
        return GLSize(float(text.m_BoundingRect.width()), float(text.m_BoundingRect.height()));
    const QByteArray& bytes = text.m_aLatin1;
    if (bytes.isEmpty())
        return GLSize(0, float(font.iHeight));
    int width = 0;
    for (char c : bytes)
        width += font.aW[GlyphIndex(uchar(c))];
    width -= font.aLb[GlyphIndex(uchar(bytes.front()))] + font.aRb[GlyphIndex(uchar(bytes.back()))];
    return GLSize(float(width), float(font.iHeight));
}

int GLFrameWidget::GetTextAscent(GLText& text) { return CachedFont(text)->iAscent; }

int GLFrameWidget::GetTextHeight(GLText& text) { return CachedFont(text)->iHeight; }

void GLFrameWidget::MakeAtlasTexture(GLFont& font)
{
    const std::unique_ptr<QImage> image = std::move(font.pImage);
    if (image->isNull())
        return;
    const int larger = std::max(image->width(), image->height());
    if (m_iMaxTextureSize >= 1 && larger > m_iMaxTextureSize) {
        const int f = larger / m_iMaxTextureSize;
        *image = image->scaled(image->width() / f, image->height() / f, Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
    }
    std::vector<unsigned char> bytes(size_t(image->width()) * size_t(image->height()) * 2);
    ToLuminanceAlpha(*image, bytes.data());
    font.uTexture = UploadLuminanceAlpha(0, image->width(), image->height(), bytes.data());
}

std::shared_ptr<GLTextTexture> GLFrameWidget::CreateTextTexture(int w, int h, int& texW, int& texH)
{
    int a = 0, b = 0;
    texW = PowerOfTwoEdge(w, iMaxTextTex, a);
    texH = PowerOfTwoEdge(h, iMaxTextTex, b);
    // Beyond the largest class, or beyond what this GL can hold, there is nothing to draw into.
    const int deviceW = DeviceEdge(texW, m_fPixelRatio), deviceH = DeviceEdge(texH, m_fPixelRatio);
    if (a >= iMaxTextTex || b >= iMaxTextTex || deviceW > m_iMaxTextureSize || deviceH > m_iMaxTextureSize)
        return nullptr;
    TextTextureBucket& bucket = m_aTextTextures[a][b];
    if (bucket.scratch.isNull()) {
        bucket.scratch = TextImage(texW, texH, *this, m_fPixelRatio);
        if (bucket.scratch.isNull())
            return nullptr;
        bucket.vBytes.resize(size_t(deviceW) * size_t(deviceH) * 2);
    }
    auto free = std::find_if(bucket.vTextures.begin(), bucket.vTextures.end(),
                             [](const std::shared_ptr<GLTextTexture>& t) { return !t->bInUse; });
    if (free == bucket.vTextures.end())
        free = bucket.vTextures.insert(free, std::make_shared<GLTextTexture>());
    GLTextTexture& texture = **free;
    if (texture.uTexture == 0)
        texture.uTexture = UploadLuminanceAlpha(0, deviceW, deviceH, nullptr);
    texture.bInUse = true;
    texture.iTicket = ++s_iTextureTickets;
    return *free;
}

void GLFrameWidget::BuildLatin1Quads(GLText& text, const GLFont& font)
{
    const QByteArray& bytes = text.m_aLatin1;
    std::vector<float>& quads = text.m_vQuads;
    quads.clear();
    quads.reserve(size_t(bytes.size()) * 16);
    float top = text.m_fY;
    float bottom = text.m_fY + font.iHeight;
    if (text.m_bFlipY)
        std::swap(top, bottom);
    float penX = text.m_fX;
    if (!bytes.isEmpty())
        penX -= font.aLb[GlyphIndex(uchar(bytes.front()))];
    for (char c : bytes) {
        const int g = GlyphIndex(uchar(c));
        const float s = font.aS[g];
        const float t = font.aT[g / 32];
        AddQuad(quads, penX + font.aLb[g], penX + font.aW[g] - font.aRb[g], top, bottom, s, s + font.aCellS[g], t,
                t + font.fRowHeight);
        penX += font.aW[g];
    }
    if (!bytes.isEmpty())
        penX -= font.aRb[GlyphIndex(uchar(bytes.back()))];
    if (!bytes.isEmpty() && text.GetFillStyle().FillStyle() != eFillNone)
        text.m_Background.SetRect(text.m_fX, text.m_fY, penX - text.m_fX, float(font.iHeight));
    else
        text.m_Background.Clear();
}

void GLFrameWidget::BuildTextureQuad(GLText& text, const GLFont& font)
{
    text.m_Link.Release();
    text.m_vQuads.clear();
    const QRect& bounds = text.m_BoundingRect;
    int texW = 0, texH = 0;
    std::shared_ptr<GLTextTexture> texture = CreateTextTexture(bounds.width(), bounds.height(), texW, texH);
    if (!texture) {
        text.m_Background.Clear();
        return;
    }
    int a = 0, b = 0;
    PowerOfTwoEdge(texW, iMaxTextTex, a);
    PowerOfTwoEdge(texH, iMaxTextTex, b);
    TextTextureBucket& bucket = m_aTextTextures[a][b];
    bucket.scratch.fill(Qt::transparent);
    DrawWhiteText(bucket.scratch, text.m_Font, QPointF(1.0, font.iAscent), text.m_sText);
    ToLuminanceAlpha(bucket.scratch, bucket.vBytes.data());
    UploadLuminanceAlpha(texture->uTexture, bucket.scratch.width(), bucket.scratch.height(), bucket.vBytes.data());
    text.m_Link.pTexture = texture;
    text.m_Link.iTicket = texture->iTicket;

    const float w = float(bounds.width());
    const float h = float(bounds.height());
    float top = text.m_fY;
    float bottom = text.m_fY + h;
    if (text.m_bFlipY)
        std::swap(top, bottom);
    AddQuad(text.m_vQuads, text.m_fX, text.m_fX + w, top, bottom, 0, w / texW, 0, h / texH);
    text.m_Background.SetRect(text.m_fX, text.m_fY, w, h);
}

void GLFrameWidget::DrawTextW(GLText& text, bool standalone, unsigned int* boundTexture)
{
    if (!m_bContextCurrent)
        return;
    // A pending error means the context is in no state to draw; the read also clears it.
    glEnable(GL_TEXTURE_2D);
    const GLenum error = glGetError();
    if (standalone)
        glDisable(GL_TEXTURE_2D);
    if (error != GL_NO_ERROR || text.m_cColor.alpha() == 0 || text.m_sText.isEmpty())
        return;
    GLFont& font = *CachedFont(text);
    if (text.m_bLatin1 && font.pImage)
        MakeAtlasTexture(font);
    if (!text.m_bLatin1 && text.m_Link.pTexture && !text.m_Link.Held())
        text.m_bChanged = true;
    if (text.m_bChanged) {
        if (text.m_bLatin1)
            BuildLatin1Quads(text, font);
        else
            BuildTextureQuad(text, font);
        text.m_bChanged = false;
        ++m_iTextLayouts;
    }
    const GLuint texture = text.m_bLatin1 ? font.uTexture : text.m_Link.Held() ? text.m_Link.pTexture->uTexture : 0;
    if (text.m_vQuads.empty() || texture == 0)
        return;

    GLPolygon& background = text.m_Background;
    if (standalone) {
        DrawPolygon(background, true);
        BeginBlend(true);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.01f);
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    } else if (background.VertexCount() > 0 && background.GetFillStyle().FillStyle() == eFillSolid) {
        // The texture-coordinate array stays off too: it would be read past the fan's vertices.
        glDisable(GL_TEXTURE_2D);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        PremultipliedColor(background.GetFillStyle().FgColor());
        glVertexPointer(2, GL_FLOAT, 0, background.VertexData());
        glDrawArrays(GL_TRIANGLE_FAN, 0, background.VertexCount());
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnable(GL_TEXTURE_2D);
    }

    PremultipliedColor(text.m_cColor);
    if (!boundTexture || *boundTexture != texture) {
        glBindTexture(GL_TEXTURE_2D, texture);
        if (boundTexture)
            *boundTexture = texture;
    }
    const float* quads = text.m_vQuads.data();
    glVertexPointer(2, GL_FLOAT, 16, quads);
    glTexCoordPointer(2, GL_FLOAT, 16, quads + 2);
    glDrawArrays(GL_QUADS, 0, GLsizei(text.m_vQuads.size() / 4));
    // Without a slot nobody remembers the binding, so it is given back.
    if (!boundTexture)
        glBindTexture(GL_TEXTURE_2D, 0);

    if (standalone) {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_ALPHA_TEST);
        EndBlend();
    }
}

void GLFrameWidget::ReleaseTextResources(bool deleteGLObjects)
{
    for (const std::unique_ptr<GLFont>& font : m_vFonts)
        if (deleteGLObjects && font->uTexture)
            glDeleteTextures(1, &font->uTexture);
    m_vFonts.clear();
    m_iFontGeneration = 0;
    // Pool entries stay; their textures are made anew on the next hand-out.
    for (auto& column : m_aTextTextures)
        for (TextTextureBucket& bucket : column)
            for (const std::shared_ptr<GLTextTexture>& texture : bucket.vTextures) {
                if (deleteGLObjects && texture->uTexture)
                    glDeleteTextures(1, &texture->uTexture);
                texture->uTexture = 0;
            }
}
