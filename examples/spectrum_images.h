#ifndef SPECTRUM_IMAGES_H
#define SPECTRUM_IMAGES_H

// The image panels of the spectrum display: the area under the trace, a persistence spectrum,
// a waterfall and a polar (radar-like) persistence display. Each object keeps its image on the
// display's surface and feeds it once per frame of the signal.
#include "spectrum_panels.h"

namespace spectrum {

// Levels as byte samples over the display's level range (0 at the bottom, 255 at the top),
// reduced to columns by the maximum of the bins that fall into each.
std::vector<unsigned char> LevelBytes(const std::vector<float>& levels, int columns);

// Something fed once per frame of the signal.
class FrameFed
{
public:
    virtual ~FrameFed() = default;
    void SetFrame(int frame) { m_iFrame = frame; }

protected:
    // True once per frame: repaints of the same frame do not feed the images again.
    bool NewFrame();
    int m_iFrame = 0;

private:
    int m_iFed = -1;
};

// Fills the plot from the bottom up to the trace with a step area.
class TraceFill : public IGLDrawObject, public FrameFed
{
public:
    explicit TraceFill(std::weak_ptr<axisDefinition> x);
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }

private:
    std::weak_ptr<axisDefinition> m_X;
    axisDefinition m_Bins; // sample index to frequency
    GLFrameWidget::GLStepLine m_Line;
    GLFrameWidget::GLStepArea m_Area;
    QString m_sName;
};

// The trace of every frame painted into an aged image that fades over one second.
class PersistenceImage : public IGLDrawObject, public FrameFed
{
public:
    static const int ciColumns = 1024;
    static const int ciRows = 200;
    explicit PersistenceImage(std::weak_ptr<axisDefinition> x) : m_X(std::move(x)) {}
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }
    int Image() const { return m_iImage; }

private:
    std::weak_ptr<axisDefinition> m_X;
    int m_iImage = -1;
    std::vector<unsigned char> m_vFrame;
    QString m_sName;
};

// One line per frame, time-stamped, the newest at the top; 1,000 lines kept.
class WaterfallImage : public IGLDrawObject, public FrameFed
{
public:
    static const int ciColumns = 1024;
    static const int ciLines = 1000;
    explicit WaterfallImage(std::weak_ptr<axisDefinition> x) : m_X(std::move(x)) {}
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }
    int Image() const { return m_iImage; }

private:
    std::weak_ptr<axisDefinition> m_X;
    int m_iImage = -1;
    QString m_sName;
};

// A rotating sweep over a few targets, kept as a polar aged image with range rings and spokes.
class PolarSweep : public IGLDrawObject, public FrameFed
{
public:
    static const int ciAngles = 360;
    static const int ciDegreesPerFrame = 6;
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }
    int Image() const { return m_iImage; }

private:
    void Create(GLFrameWidget& surface, int width);
    void Sweep(GLFrameWidget& surface, int width);
    int m_iImage = -1;
    std::vector<unsigned char> m_vFrame;
    QString m_sName;
};

// A caption in the top-left corner of a panel.
class PanelTitle : public IGLDrawObject
{
public:
    explicit PanelTitle(const QString& text) : m_sText(text) {}
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sText; }

private:
    QString m_sText;
};

} // namespace spectrum

#endif
