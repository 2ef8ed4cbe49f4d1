#include "glframewidget.h"

#include "glframewidget_procs.h"

namespace
{
constexpr float cfHalfPi = 1.5707964f;
constexpr float cfTwoPi = 6.2831855f;
constexpr int ciCirclePoints = 181; // every 2 degrees, the first point again at the end

// The unit circle shared by every polar drawing: (cos, sin) pairs.
const float* UnitCircle()
{
    static float s_aCircle[ciCirclePoints * 2];
    static bool s_bFilled = false;
    if (!s_bFilled) {
        for (int k = 0; k < ciCirclePoints; ++k) {
            const float angle = float(k % (ciCirclePoints - 1)) * 0.034906585f;
            s_aCircle[2 * k] = std::cos(angle);
            s_aCircle[2 * k + 1] = std::sin(angle);
        }
        s_bFilled = true;
    }
    return s_aCircle;
}

bool DrawsLine(const GLFrameWidget::GLLineStyle& style)
{
    return style.Size() > 0 && style.LineStyle() != GLFrameWidget::eLineNone;
}
} // namespace

float GLFrameWidget::PolarGeometry::RadiusAt(const GLAgedImage& image, float p, float width) const
{
    const float f = p / width;
    return ((1 - f) * image.fPolarInnerRatio + f) * fRadius;
}

GLFrameWidget::PolarGeometry GLFrameWidget::Polar(const GLAgedImage& image) const
{
    const float rx = image.bPolarCenterH ? m_fViewW * 0.5f - float(std::max(image.iPolarLeft, image.iPolarRight))
                                         : (m_fViewW - float(image.iPolarLeft) - float(image.iPolarRight)) * 0.5f;
    const float ry = image.bPolarCenterV ? m_fViewH * 0.5f - float(std::max(image.iPolarTop, image.iPolarBottom))
                                         : (m_fViewH - float(image.iPolarTop) - float(image.iPolarBottom)) * 0.5f;
    PolarGeometry g;
    g.fRadius = std::min(rx, ry);
    g.fCenterX = image.bPolarCenterH ? m_fViewW * 0.5f : float(image.iPolarLeft) + g.fRadius;
    g.fCenterY = image.bPolarCenterV ? m_fViewH * 0.5f : float(image.iPolarTop) + g.fRadius;
    return g;
}

void GLFrameWidget::SetAgedImagePolarParams(int id, bool centerHorizontally, bool centerVertically, int leftMargin,
                                            int rightMargin, int topMargin, int bottomMargin, float innerRatio,
                                            float angle)
{
    GLAgedImage* image = LiveAgedImage(id);
    if (!image)
        return;
    image->bPolarCenterH = centerHorizontally;
    image->bPolarCenterV = centerVertically;
    image->iPolarLeft = leftMargin;
    image->iPolarRight = rightMargin;
    image->iPolarTop = topMargin;
    image->iPolarBottom = bottomMargin;
    image->fPolarInnerRatio = innerRatio;
    image->fPolarAngleOffset = angle - cfHalfPi;
}

void GLFrameWidget::DrawAgedImagePolar(int id)
{
    GLAgedImage* image = BeginDrawAgedImage(id);
    if (!image)
        return;
    const PolarGeometry g = Polar(*image);
    if (g.fRadius >= 1) {
        const float* circle = UnitCircle();
        std::vector<GLDrawSection> sections;
        MergeSections(image->XSections, image->DestXSections, sections);
        const float uPerColumn = image->fTextureU / float(image->iWidth);
        const float v = image->fTextureV;
        // Radii follow the image columns and texture columns the screen columns; both agree when
        // the image is as wide as the viewport, which is how polar displays are set up.
        float ring[ciCirclePoints * 2 * 4];
        for (const GLDrawSection& s : sections) {
            const float r0 = g.RadiusAt(*image, s.iSrcFrom, m_fViewW);
            const float r1 = g.RadiusAt(*image, s.iSrcTo, m_fViewW);
            const float u0 = float(s.iDstFrom) * uPerColumn, u1 = float(s.iDstTo) * uPerColumn;
            for (int k = 0; k < ciCirclePoints; ++k) {
                const float c = circle[2 * k], sn = circle[2 * k + 1];
                const float t = v - float(k) * (v / 180);
                float* inner = ring + 8 * k;
                inner[0] = c * r0, inner[1] = sn * r0, inner[2] = u0, inner[3] = t;
                inner[4] = c * r1, inner[5] = sn * r1, inner[6] = u1, inner[7] = t;
            }
            glPushMatrix();
            glTranslatef(g.fCenterX, g.fCenterY, 0);
            glRotatef(image->fPolarAngleOffset * 180 / 3.1415927f, 0, 0, 1);
            glVertexPointer(2, GL_FLOAT, 16, ring);
            glTexCoordPointer(2, GL_FLOAT, 16, ring + 2);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, ciCirclePoints * 2);
            glPopMatrix();
        }
    }
    EndDrawAgedImage();
}

void GLFrameWidget::DrawPolarLine(const GLLineStyle& style, const float* vertices, int count)
{
    // Rings and spokes are not axis-aligned: no shift onto pixel centres.
    BeginLineStyle(style);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices);
    BeginColor(style.FgColor());
    glDrawArrays(GL_LINE_STRIP, 0, count);
    EndColor(style.FgColor());
    glDisableClientState(GL_VERTEX_ARRAY);
    EndLineStyle(style);
}

void GLFrameWidget::DrawAgedImagePolarXCircle(int id, int x, const GLLineStyle& style)
{
    const GLAgedImage* image = LiveAgedImage(id);
    if (!m_bContextCurrent || !image || !DrawsLine(style))
        return;
    const PolarGeometry g = Polar(*image);
    if (g.fRadius < 1)
        return;
    const float r = g.RadiusAt(*image, float(x), m_fViewW);
    glPushMatrix();
    glTranslatef(g.fCenterX, g.fCenterY, 0);
    glScalef(r, r, 1);
    DrawPolarLine(style, UnitCircle(), ciCirclePoints);
    glPopMatrix();
}

void GLFrameWidget::DrawAgedImagePolarYLine(int id, float angle, const GLLineStyle& style)
{
    const GLAgedImage* image = LiveAgedImage(id);
    if (!m_bContextCurrent || !image || !DrawsLine(style))
        return;
    const PolarGeometry g = Polar(*image);
    if (g.fRadius < 1)
        return;
    const float d = angle + image->fPolarAngleOffset;
    const float inner = g.RadiusAt(*image, 0, m_fViewW);
    const float outer = g.RadiusAt(*image, float(TruncatePixel(m_fViewW)), m_fViewW);
    const float line[] = {std::cos(d) * inner + g.fCenterX, std::sin(d) * inner + g.fCenterY,
                          std::cos(d) * outer + g.fCenterX, std::sin(d) * outer + g.fCenterY};
    DrawPolarLine(style, line, 2);
}

void GLFrameWidget::AgedImageRectToPolar(int id, int x, float angle, float& px, float& py)
{
    px = py = 0;
    const GLAgedImage* image = LiveAgedImage(id);
    if (!image)
        return;
    const PolarGeometry g = Polar(*image);
    if (g.fRadius < 1)
        return;
    const float d = angle + image->fPolarAngleOffset;
    const float r = g.RadiusAt(*image, float(x), m_fViewW);
    px = std::cos(d) * r + g.fCenterX;
    py = std::sin(d) * r + g.fCenterY;
}

void GLFrameWidget::AgedImagePolarToRect(int id, float px, float py, int& x, float& angle)
{
    x = 0;
    angle = 0;
    const GLAgedImage* image = LiveAgedImage(id);
    if (!image)
        return;
    const PolarGeometry g = Polar(*image);
    if (g.fRadius < 1)
        return;
    const float dx = px - g.fCenterX, dy = py - g.fCenterY;
    // An inner ratio of 1 leaves no ring width; every point then lies on its edge.
    const float span = 1 - image->fPolarInnerRatio;
    const float f = span != 0 ? (std::sqrt(dx * dx + dy * dy) / g.fRadius - image->fPolarInnerRatio) / span : 1.0f;
    x = TruncatePixel(std::clamp(f, 0.0f, 1.0f) * m_fViewW);
    angle = std::atan2(dy, dx) - image->fPolarAngleOffset;
    // fmod instead of repeated steps: an offset far from zero must not cost a loop per turn.
    angle = std::fmod(angle, cfTwoPi);
    if (angle < 0)
        angle += cfTwoPi;
    if (angle >= cfTwoPi)
        angle -= cfTwoPi;
}
