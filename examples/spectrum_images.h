#ifndef SPECTRUM_IMAGES_H
#define SPECTRUM_IMAGES_H

// The image panels of the spectrum display: the area under the trace, a persistence spectrum,
// a waterfall and a polar (radar-like) persistence display. Each object keeps its image on the
// display's surface and feeds it once per frame of the signal.
#include "spectrum_panels.h"

#include "gltimescale.h"

namespace spectrum {

// Levels as byte samples over the display's level range (0 at the bottom, 255 at the top),
// reduced to columns by the maximum of the bins that fall into each.
std::vector<unsigned char> LevelBytes(const std::vector<float>& levels, int columns);
// The level a byte sample stands for, in dB.
double ByteLevel(int byte);
// The colour table of the persistence spectrum and the waterfall: black through blue, red and yellow to white.
QVector<unsigned int> HeatTable();
// Microseconds of frame time at 60 frames per second: frames are time-stamped by their number, so
// that headless runs fade exactly as a live display would.
unsigned long long FrameStamp(int frame);
// The brightest value fed to aged images: the shader path wraps value 255 onto table entry 0.
const int ciTopValue = 254;

// Something fed once per frame of the signal.
class FrameFed
{
public:
    virtual ~FrameFed() = default;
    void SetFrame(int frame) { m_iFrame = frame; }

protected:
    // The frames since the last feed (1 after the frame went back), marking them fed: 0 when a
    // repaint shows the same frame again.
    int NewFrames();
    bool NewFrame() { return NewFrames() > 0; }
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

// One line per frame, time-stamped, the newest at the top; 1,000 lines kept. Lines arrive with the
// signal, not with the paints: frames that were not painted (a hidden window, a headless skip) are
// stored at the next paint. The time scale is told the image once it exists.
class WaterfallImage : public IGLDrawObject, public FrameFed
{
public:
    static const int ciColumns = 1024;
    static constexpr int ciLines = 1000;
    WaterfallImage(std::weak_ptr<axisDefinition> x, std::shared_ptr<GLTimeScale> timeScale)
        : m_X(std::move(x)), m_pTimeScale(std::move(timeScale))
    {
    }
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;
    const QString& name() const override { return m_sName; }
    int Image() const { return m_iImage; }

private:
    std::weak_ptr<axisDefinition> m_X;
    std::shared_ptr<GLTimeScale> m_pTimeScale;
    int m_iImage = -1;
    QString m_sName;
};

// Under the mouse on the waterfall: the frequency, the time of the line and its level there.
class WaterfallReadout : public MouseFollower
{
public:
    WaterfallReadout(std::weak_ptr<axisDefinition> x, std::shared_ptr<WaterfallImage> image,
                     std::shared_ptr<GLTimeScale> timeScale);
    // The read-out at panel pixel pos of a panel of that height; empty off the kept lines.
    QString Text(GLFrameWidget& surface, QPoint pos, int height) const;
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override;

private:
    std::weak_ptr<axisDefinition> m_X;
    std::shared_ptr<WaterfallImage> m_pImage;
    std::shared_ptr<GLTimeScale> m_pTimeScale;
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
    void Sweep(GLFrameWidget& surface, int width, int frame);
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
