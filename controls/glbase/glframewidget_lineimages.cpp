#include "glframewidget.h"
#include "glplatform_p.h"

#include "axisdefinition.h"
#include "glframewidget_procs.h"

#include <algorithm>
#include <cmath>

namespace
{
using Line = GLFrameWidget::GLLineImage::Line;
constexpr int ciTile = GLFrameWidget::m_iImageTileSize;
constexpr size_t ciTileBytes = size_t(ciTile) * ciTile;

// Cuts the columns first to end - 1 at every multiple of the tile size, so that a section never
// spans two tiles; value(c) is the value at column c.
template <typename Value>
void AddTilePieces(GLFrameWidget::GLSections& sections, int first, int end, Value value)
{
    for (int c = first; c < end;) {
        const int piece = std::min(end - c, ciTile - c % ciTile);
        GLFrameWidget::GLSection section;
        section.fValueFrom = static_cast<float>(value(c));
        section.fValueTo = static_cast<float>(value(c + piece));
        section.iPixelFrom = static_cast<qint16>(c);
        section.iPixelTo = static_cast<qint16>(c + piece);
        sections.push_back(section);
        c += piece;
    }
}

// A NaN never compares equal, so a line with one always starts a group of its own.
bool SameSections(const GLFrameWidget::GLSections& a, const GLFrameWidget::GLSections& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.fValueFrom == y.fValueFrom && x.fValueTo == y.fValueTo && x.iPixelFrom == y.iPixelFrom &&
               x.iPixelTo == y.iPixelTo;
    });
}

const Line* FromNewest(const std::deque<Line>& lines, int index)
{
    if (index < 0 || size_t(index) >= lines.size())
        return nullptr;
    return &lines[lines.size() - 1 - size_t(index)];
}

unsigned char* TileRow(GLFrameWidget::GLImageTileLine& tileLine, int tile, int row)
{
    return tileLine.vData.data() + (size_t(tile) * ciTile + size_t(row)) * ciTile;
}
} // namespace

GLFrameWidget::GLLineImage* GLFrameWidget::LiveLineImage(int id) const
{
    if (id < 0 || size_t(id) >= m_vLineImages.size() || m_vLineImages[size_t(id)]->bDeleted)
        return nullptr;
    return m_vLineImages[size_t(id)].get();
}

const GLFrameWidget::GLLineImage* GLFrameWidget::LineImage(int id) const { return LiveLineImage(id); }

int GLFrameWidget::CreateLineImage()
{
    for (size_t id = 0; id < m_vLineImages.size(); ++id) {
        if (m_vLineImages[id]->bDeleted) {
            *m_vLineImages[id] = GLLineImage();
            return int(id);
        }
    }
    m_vLineImages.push_back(std::make_unique<GLLineImage>());
    return int(m_vLineImages.size() - 1);
}

void GLFrameWidget::DeleteTileLine(GLLineImage* image, GLImageTileLine* tileLine)
{
    // The names go back to the pool: a waterfall releases one tile line per 256 lines for good.
    m_vFreeTileTextures.insert(m_vFreeTileTextures.end(), tileLine->vTextures.begin(), tileLine->vTextures.end());
    auto& tileLines = image->TileLines;
    tileLines.erase(std::remove_if(tileLines.begin(), tileLines.end(),
                                   [tileLine](const auto& owned) { return owned.get() == tileLine; }),
                    tileLines.end());
}

void GLFrameWidget::DeleteLineImage(int id)
{
    GLLineImage* image = LiveLineImage(id);
    if (!image)
        return;
    while (!image->TileLines.empty())
        DeleteTileLine(image, image->TileLines.back().get());
    image->bDeleted = true;
    image->Lines.clear();
    if (image->uColorTableTexture == 0)
        return;
    const bool madeCurrent = !m_bContextCurrent;
    if (madeCurrent && !MakeContextCurrent()) {
        LogError("MakeContextCurrent failed", "DeleteLineImage");
        return;
    }
    glDeleteTextures(1, &image->uColorTableTexture);
    image->uColorTableTexture = 0;
    if (madeCurrent) {
        m_pContext->DoneCurrent();
        m_bContextCurrent = false;
    }
}

void GLFrameWidget::ReleaseLineImages()
{
    // The context is made current only when there are textures to delete, so a release without
    // line images behaves as before they existed.
    const bool hasTextures =
        !m_vFreeTileTextures.empty() || std::any_of(m_vLineImages.begin(), m_vLineImages.end(), [](const auto& image) {
            return image->uColorTableTexture != 0 || !image->TileLines.empty();
        });
    const bool madeCurrent = hasTextures && !m_bContextCurrent && m_pContext && MakeContextCurrent();
    for (size_t id = 0; id < m_vLineImages.size(); ++id)
        DeleteLineImage(int(id));
    m_vLineImages.clear();
    if (m_bContextCurrent && !m_vFreeTileTextures.empty())
        glDeleteTextures(GLsizei(m_vFreeTileTextures.size()), m_vFreeTileTextures.data());
    m_vFreeTileTextures.clear();
    if (madeCurrent) {
        m_pContext->DoneCurrent();
        m_bContextCurrent = false;
    }
}

void GLFrameWidget::SetLineImageBufferHeight(int id, int lines)
{
    if (GLLineImage* image = LiveLineImage(id))
        image->iBufferHeight = std::max(lines, 0);
}

void GLFrameWidget::SetLineImageColorTable(int id, const QVector<unsigned int>& rgb)
{
    if (GLLineImage* image = LiveLineImage(id)) {
        image->ColorTable.Set(rgb);
        image->bColorTableDirty = true;
    }
}

void GLFrameWidget::SetLineImageXAxis(int id, double min, double max, int count)
{
    GLLineImage* image = LiveLineImage(id);
    if (!image)
        return;
    // Columns beyond the 16-bit range are dropped rather than wrapped; the others keep their values.
    image->iWidth = std::clamp(count, 0, ciMaxLineImageWidth);
    const double steps = double(count) - 1;
    auto sections = std::make_shared<GLSections>();
    AddTilePieces(*sections, 0, image->iWidth, [&](int c) { return steps < 1 ? min : min + (max - min) * c / steps; });
    image->pXSections = std::move(sections);
}

void GLFrameWidget::SetLineImageXAxis(int id, const AxisData& axis)
{
    GLLineImage* image = LiveLineImage(id);
    if (!image)
        return;
    image->iWidth = std::clamp(int(axis.m_sPixelCnt), 0, ciMaxLineImageWidth);
    axisDefinition layout;
    layout.ApplyAxisDefinitionSet(axis);
    auto sections = std::make_shared<GLSections>();
    for (const pixSection& pix : layout.GetPixSections()) {
        if (!(pix.GetFactor() > 0))
            continue;
        const int offset = pix.GetOffset();
        const int last = offset + static_cast<qint16>(static_cast<int>(pix.GetWidth())) - 1;
        const double from = pix.GetFrom(), to = pix.GetTo();
        // Columns outside the line are left out: no stored byte would back them.
        AddTilePieces(*sections, std::max(offset, 0), std::min(last + 1, image->iWidth), [&](int x) {
            return last > offset ? from + (x - offset) * (to - from) / (last - offset) : from;
        });
    }
    image->pXSections = std::move(sections);
}

void GLFrameWidget::SetLineImageDestXAxis(int id, const AxisData& axis)
{
    if (GLLineImage* image = LiveLineImage(id))
        image->DestXSections.Build(axis);
}

void GLFrameWidget::SetLineImageDestXAxis(int id, double min, double max, int count)
{
    if (GLLineImage* image = LiveLineImage(id))
        image->DestXSections.Build(min, max, count);
}

void GLFrameWidget::SetLineImageYAxis(int id, double min, double max)
{
    if (GLLineImage* image = LiveLineImage(id)) {
        image->fYMin = float(min);
        image->fYMax = float(max);
    }
}

void GLFrameWidget::SetLineImageDestYAxis(int id, double min, double max)
{
    if (GLLineImage* image = LiveLineImage(id)) {
        image->fDestYMin = float(min);
        image->fDestYMax = float(max);
    }
}

bool GLFrameWidget::SetLineImageData(int id, unsigned long long timeStamp, const unsigned char* data, int byteCount)
{
    const GLLineImage* image = LiveLineImage(id);
    if (image && byteCount < image->iWidth)
        return false;
    return SetLineImageData(id, timeStamp, data);
}

bool GLFrameWidget::SetLineImageData(int id, unsigned long long timeStamp, const unsigned char* data)
{
    if (!m_bContextCurrent) {
        LogError("No context", "SetLineImageData");
        return false;
    }
    GLLineImage* image = LiveLineImage(id);
    if (!image || (!data && image->iWidth > 0))
        return false;
    std::deque<Line>& lines = image->Lines;
    if (!lines.empty() && lines.back().uTimeStamp >= timeStamp) {
        const auto it = std::lower_bound(lines.begin(), lines.end(), timeStamp,
                                         [](const Line& line, unsigned long long t) { return line.uTimeStamp < t; });
        if (it->uTimeStamp != timeStamp) {
            LogError("Unknown existing TimeStamp", "SetLineImageData");
            return false;
        }
        StoreLine(*image, *it, data);
        TrimLineImage(*image);
        return false;
    }
    if (lines.empty() || lines.back().pTileLine->iRowsUsed >= ciTile) {
        image->TileLines.push_back(std::make_unique<GLImageTileLine>());
        image->TileLines.back()->vData.reserve(size_t((image->iWidth + ciTile - 1) / ciTile) * ciTileBytes);
    }
    GLImageTileLine* tileLine = lines.empty() || lines.back().pTileLine->iRowsUsed >= ciTile
                                    ? image->TileLines.back().get()
                                    : lines.back().pTileLine;
    Line line;
    line.uTimeStamp = timeStamp;
    line.iRow = tileLine->iRowsUsed++;
    line.pTileLine = tileLine;
    ++tileLine->iReferences;
    lines.push_back(line);
    StoreLine(*image, lines.back(), data);
    TrimLineImage(*image);
    return true;
}

void GLFrameWidget::StoreLine(GLLineImage& image, GLLineImage::Line& line, const unsigned char* data)
{
    line.iWidth = image.iWidth;
    line.pXSections = image.pXSections;
    GLImageTileLine& tileLine = *line.pTileLine;
    const bool indexMode = LineImageIndexMode();
    glEnable(GL_TEXTURE_2D);
    for (int tile = 0; line.iWidth - ciTile * tile > 0; ++tile) {
        BindTileTexture(tileLine, tile);
        const int n = std::min(ciTile, line.iWidth - ciTile * tile);
        unsigned char* row = TileRow(tileLine, tile, line.iRow);
        std::copy_n(data + size_t(ciTile) * tile, n, row);
        if (indexMode) {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, line.iRow, n, 1, GL_LUMINANCE, GL_UNSIGNED_BYTE, row);
        } else {
            for (int i = 0; i < n; ++i)
                m_aLineImageScratch[size_t(i)] = image.ColorTable[row[i]];
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, line.iRow, n, 1, GL_RGBA, GL_UNSIGNED_BYTE, m_aLineImageScratch.data());
        }
    }
    glDisable(GL_TEXTURE_2D);
}

void GLFrameWidget::BindTileTexture(GLImageTileLine& tileLine, int tile)
{
    if (size_t(tile) < tileLine.vTextures.size()) {
        glBindTexture(GL_TEXTURE_2D, tileLine.vTextures[size_t(tile)]);
        return;
    }
    GLuint name = 0;
    if (!m_vFreeTileTextures.empty()) {
        name = m_vFreeTileTextures.back();
        m_vFreeTileTextures.pop_back();
        glBindTexture(GL_TEXTURE_2D, name);
    } else {
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        if (LineImageIndexMode()) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, ciTile, ciTile, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, nullptr);
        } else {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, ciTile, ciTile, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        }
    }
    tileLine.vData.resize(tileLine.vData.size() + ciTileBytes);
    tileLine.vTextures.push_back(name);
}

void GLFrameWidget::TrimLineImage(GLLineImage& image)
{
    std::deque<Line>& lines = image.Lines;
    const size_t kept = size_t(image.iBufferHeight);
    const size_t excess = lines.size() > kept ? lines.size() - kept : 0;
    for (size_t i = 0; i < excess; ++i) {
        GLImageTileLine* tileLine = lines[i].pTileLine;
        if (--tileLine->iReferences == 0)
            DeleteTileLine(&image, tileLine);
    }
    lines.erase(lines.begin(), lines.begin() + std::ptrdiff_t(excess));
}

std::pair<unsigned long long, unsigned long long> GLFrameWidget::GetLineImageAvailableTimeRange(int id)
{
    const GLLineImage* image = LiveLineImage(id);
    if (!image || image->Lines.empty())
        return {0, 0};
    return {image->Lines.front().uTimeStamp, image->Lines.back().uTimeStamp};
}

unsigned long long GLFrameWidget::GetLineImageTimeStamp(int id, int index)
{
    const GLLineImage* image = LiveLineImage(id);
    const Line* line = image ? FromNewest(image->Lines, index) : nullptr;
    return line ? line->uTimeStamp : 0;
}

const std::string& GLFrameWidget::GetLineImageData(int id, int index)
{
    const GLLineImage* image = LiveLineImage(id);
    const Line* line = image ? FromNewest(image->Lines, index) : nullptr;
    if (!line) {
        m_sLineImageData.clear();
        return m_sLineImageData;
    }
    m_sLineImageData.resize(size_t(line->iWidth));
    for (int tile = 0; line->iWidth - ciTile * tile > 0; ++tile) {
        const int n = std::min(ciTile, line->iWidth - ciTile * tile);
        const unsigned char* row = TileRow(*line->pTileLine, tile, line->iRow);
        std::copy_n(row, n, m_sLineImageData.begin() + std::ptrdiff_t(ciTile) * tile);
    }
    return m_sLineImageData;
}

int GLFrameWidget::GetLineImageLine(int id, unsigned long long timeStamp, bool& found)
{
    found = false;
    const GLLineImage* image = LiveLineImage(id);
    if (!image || image->Lines.size() < 2)
        return 0;
    const std::deque<Line>& lines = image->Lines;
    if (lines.back().uTimeStamp == 0 || timeStamp < lines.front().uTimeStamp || timeStamp > lines.back().uTimeStamp)
        return 0;
    for (int i = 1; size_t(i) < lines.size(); ++i) {
        const unsigned long long newer = FromNewest(lines, i - 1)->uTimeStamp;
        const unsigned long long older = FromNewest(lines, i)->uTimeStamp;
        if (older <= timeStamp && timeStamp <= newer) {
            found = true;
            return timeStamp - older < newer - timeStamp ? i : i - 1;
        }
    }
    return 0;
}

void GLFrameWidget::BeginDrawLineImage(GLLineImage& image)
{
    if (LineImageIndexMode()) {
        const GLShaderProgram& program = m_IndexColorProgram;
        s_Gl.UseProgram(program.uProgram);
        s_Gl.Uniform1i(program.aUniforms[0], 0);
        s_Gl.Uniform1i(program.aUniforms[1], 1);
        s_Gl.ActiveTexture(GL_TEXTURE1);
        glEnable(GL_TEXTURE_2D);
        UploadColorTable(image.uColorTableTexture, image.bColorTableDirty, image.ColorTable.data());
        s_Gl.ActiveTexture(GL_TEXTURE0);
        glEnable(GL_TEXTURE_2D);
        s_Gl.EnableVertexAttribArray(GLuint(program.iInVertex));
        s_Gl.EnableVertexAttribArray(GLuint(program.iInTexCoord0));
    } else {
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    // Blending stays off: the table's alpha has no effect on line images.
    glColor4ub(255, 255, 255, 255);
}

void GLFrameWidget::EndDrawLineImage()
{
    if (LineImageIndexMode()) {
        s_Gl.DisableVertexAttribArray(GLuint(m_IndexColorProgram.iInVertex));
        s_Gl.DisableVertexAttribArray(GLuint(m_IndexColorProgram.iInTexCoord0));
        s_Gl.UseProgram(0);
        s_Gl.ActiveTexture(GL_TEXTURE1);
        glDisable(GL_TEXTURE_2D);
        s_Gl.ActiveTexture(GL_TEXTURE0);
        glDisable(GL_TEXTURE_2D);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_TEXTURE_2D);
    }
}

void GLFrameWidget::DrawLineImageGroup(const GLLineImage::Line& newest, int count, float y,
                                       std::vector<GLDrawSection>& sections, const GLSections& dest)
{
    MergeSections(*newest.pXSections, dest, sections);
    const std::vector<unsigned int>& textures = newest.pTileLine->vTextures;
    // The texture is flipped: the newest row of the group is at its top.
    const float vTop = float(newest.iRow + 1) / ciTile;
    const float vBottom = float(newest.iRow - count + 1) / ciTile;
    const float bottom = y + float(count);
    const bool indexMode = LineImageIndexMode();
    for (const GLDrawSection& section : sections) {
        const int tile = section.iSrcFrom / ciTile;
        // Sections of a foreign axis may point past the stored tiles; those draw nothing.
        if (section.iSrcFrom < 0 || size_t(tile) >= textures.size())
            continue;
        glBindTexture(GL_TEXTURE_2D, textures[size_t(tile)]);
        const float u0 = float(section.iSrcFrom - ciTile * tile) / ciTile;
        const float u1 = float(section.iSrcTo - ciTile * tile) / ciTile;
        const float b0 = section.iDstFrom, b1 = section.iDstTo;
        const float quad[] = {b0, bottom, u0, vBottom, b1, bottom, u1, vBottom, b1, y, u1, vTop, b0, y, u0, vTop};
        if (indexMode) {
            s_Gl.VertexAttribPointer(GLuint(m_IndexColorProgram.iInVertex), 2, GL_FLOAT, GL_FALSE, 16, quad);
            s_Gl.VertexAttribPointer(GLuint(m_IndexColorProgram.iInTexCoord0), 2, GL_FLOAT, GL_FALSE, 16, quad + 2);
        } else {
            glVertexPointer(2, GL_FLOAT, 16, quad);
            glTexCoordPointer(2, GL_FLOAT, 16, quad + 2);
        }
        glDrawArrays(GL_QUADS, 0, 4);
    }
}

bool GLFrameWidget::LineImageBand(const GLLineImage& image, float viewHeight, int& top, int& height)
{
    // A buffer height of 0 keeps no lines once the next one is stored; until then there is no scale.
    if (image.fYMin == image.fYMax || image.iBufferHeight < 1)
        return false;
    const float range = image.fYMax - image.fYMin;
    top = TruncatePixel((image.fYMax - image.fDestYMax) * viewHeight / range + 0.1f);
    height = TruncatePixel((image.fDestYMax - image.fDestYMin) * viewHeight / range + 0.1f);
    return true;
}

double GLFrameWidget::GetLineImageRow(int id, double index, int viewHeight) const
{
    const GLLineImage* image = LiveLineImage(id);
    int top = 0, height = 0;
    if (!image || !LineImageBand(*image, float(viewHeight), top, height))
        return -1.0;
    return top + index * height / image->iBufferHeight;
}

int GLFrameWidget::GetLineImageLineAt(int id, double y, int viewHeight) const
{
    const GLLineImage* image = LiveLineImage(id);
    int top = 0, height = 0;
    if (!image || !LineImageBand(*image, float(viewHeight), top, height) || height == 0)
        return -1;
    const double index = std::floor((y - top) * image->iBufferHeight / height);
    return index >= 0 && index < double(image->Lines.size()) ? int(index) : -1;
}

void GLFrameWidget::DrawLineImage(int id)
{
    GLLineImage* image = LiveLineImage(id);
    int top = 0, height = 0;
    if (!m_bContextCurrent || !image || image->Lines.empty() || !LineImageBand(*image, m_fViewH, top, height))
        return;
    BeginDrawLineImage(*image);
    const bool scaled = image->iBufferHeight != height;
    if (scaled) {
        glPushMatrix();
        glTranslatef(0, float(top), 0);
        glScalef(1, float(height) / float(image->iBufferHeight), 1);
        glTranslatef(0, -float(top), 0);
    }
    // Newest first; each group is a run of lines of one tile line with equal sections: one quad
    // per draw section for up to 256 lines.
    const std::deque<Line>& lines = image->Lines;
    std::vector<GLDrawSection> sections;
    float y = float(top);
    for (size_t end = lines.size(); end > 0;) {
        const Line& newest = lines[end - 1];
        size_t begin = end - 1;
        while (begin > 0 && lines[begin - 1].pTileLine == newest.pTileLine &&
               SameSections(*lines[begin - 1].pXSections, *newest.pXSections))
            --begin;
        const int count = int(end - begin);
        DrawLineImageGroup(newest, count, y, sections, image->DestXSections);
        y += float(count);
        end = begin;
    }
    if (scaled)
        glPopMatrix();
    EndDrawLineImage();
}
