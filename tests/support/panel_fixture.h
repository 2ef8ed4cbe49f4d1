#ifndef PANEL_FIXTURE_H
#define PANEL_FIXTURE_H

#include "glcommonwidget.h"
#include "glpainter.h"
#include "icolorbase.h"
#include "layout_fixture.h"

#include <QApplication>
#include <QImage>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

// The standard layout with two left/right rows in a 400 x 300 window: L1 above L2, R1 and R2 beside them.
struct StdRows
{
    GLLayout layout;
    RecordingPanel l1{"L1", false}, r1{"R1", false}, l2{"L2", false}, r2{"R2", false};
    RecordingPanel* panels[4] = {&l1, &r1, &l2, &r2};
    explicit StdRows(bool borders = false)
    {
        layout.SetShowBorders(borders); // possibly before there is anything to border
        EXPECT_TRUE(layout.CreateStdLayout(1.0));
        EXPECT_TRUE(layout.AddLeftRightWidget(&l1, &r1, 1.0) && layout.AddLeftRightWidget(&l2, &r2, 1.0));
        l1.setMouseTracking(true); // Qt drops moves without buttons otherwise
        ResizeLayout(layout, 400, 300);
    }
};

// A draw object that runs the test's code inside the panel's paint pass.
struct PaintStep : IGLDrawObject
{
    using Fn = std::function<void(GLPainter&, GLCommonWidget*, int)>;
    explicit PaintStep(Fn fn) : m_Fn(std::move(fn)) {}
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* w, int windowType) override { m_Fn(painter, w, windowType); }
    const QString& name() const override { return m_sName; }
    Fn m_Fn;
    QString m_sName;
};

// One plot panel filling a whole layout (no separator strip), so that panel pixels are image pixels.
struct SinglePanel
{
    GLLayout layout;
    GLCommonWidget panel;

    SinglePanel(int w, int h, GLCommonWidget::EWindowType type) : panel("Panel", &layout, type)
    {
        panel.SetBorderWidget(true);
        layout.AddWidget(&panel);
        Resize(w, h);
    }
    void Resize(int w, int h) { ResizeLayout(layout, w, h); }
    // Registers fn on the panel at layer z and keeps it alive as long as the fixture.
    void Paint(PaintStep::Fn fn, GLCommonWidget::eZOrder z = GLCommonWidget::eZOrderData)
    {
        m_Steps.push_back(std::make_shared<PaintStep>(std::move(fn)));
        panel.addPaintObject(m_Steps.back(), z);
    }
    QImage Render() { QImage image; layout.RenderToImage(&image); return image; }
    std::vector<std::shared_ptr<PaintStep>> m_Steps;
};

// Distinct opaque colours for the four axis colour identifiers, installed while it lives.
class AxisColors : public IColorBase
{
public:
    static constexpr QRgb Grid = 0xFFFF4000, AxisText = 0xFF00FF00, Text = 0xFF4080FF, Background = 0xFF202020;

    AxisColors() { GLFrameWidget::setColorHandler(this); }
    ~AxisColors() override { GLFrameWidget::setColorHandler(nullptr); }
    QColor color(int id) override
    {
        const std::map<int, QRgb> colours = {{121, Grid}, {126, AxisText}, {131, Text}, {132, Background}};
        return colours.count(id) ? QColor::fromRgba(colours.at(id)) : QColor(Qt::magenta);
    }
};

inline int CountPixels(const QImage& img, QRect area, QRgb colour)
{
    int count = 0;
    area = area.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += img.pixel(x, y) == colour;
    return count;
}

// Lit pixels are those that are not transparent black.
inline int CountLit(const QImage& img, QRect area)
{
    area = area.intersected(img.rect());
    return area.width() * area.height() - CountPixels(img, area, 0);
}

#endif
