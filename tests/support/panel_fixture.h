#ifndef PANEL_FIXTURE_H
#define PANEL_FIXTURE_H

#include "glcommonwidget.h"
#include "gllayout.h"
#include "glpainter.h"
#include "icolorbase.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QResizeEvent>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A draw object that runs the test's code inside the panel's paint pass.
class PaintStep : public IGLDrawObject
{
public:
    using Fn = std::function<void(GLPainter&, GLCommonWidget*, int)>;
    explicit PaintStep(Fn fn) : m_Fn(std::move(fn)) {}
    bool visible() const override { return true; }
    void draw(GLPainter& painter, GLCommonWidget* widget, int windowType) override { m_Fn(painter, widget, windowType); }
    const QString& name() const override { return m_sName; }

private:
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
    // A hidden widget gets no resize event from Qt until it is shown; deliver it as a window would.
    void Resize(int w, int h)
    {
        const QSize old = layout.size();
        layout.resize(w, h);
        QResizeEvent event(QSize(w, h), old);
        QApplication::sendEvent(&layout, &event);
    }
    // Registers fn on the panel at layer z and keeps it alive as long as the fixture.
    void Paint(PaintStep::Fn fn, GLCommonWidget::eZOrder z = GLCommonWidget::eZOrderData)
    {
        m_Steps.push_back(std::make_shared<PaintStep>(std::move(fn)));
        panel.addPaintObject(m_Steps.back(), z);
    }
    QImage Render()
    {
        QImage image;
        layout.RenderToImage(&image);
        return image;
    }

private:
    std::vector<std::shared_ptr<PaintStep>> m_Steps;
};

// Distinct opaque colours for the four axis colour identifiers, installed while it lives.
class AxisColors : public IColorBase
{
public:
    static constexpr QRgb Grid = 0xFFFF4000;       // 121
    static constexpr QRgb AxisText = 0xFF00FF00;   // 126
    static constexpr QRgb Text = 0xFF4080FF;       // 131
    static constexpr QRgb Background = 0xFF202020; // 132

    AxisColors() { GLFrameWidget::setColorHandler(this); }
    ~AxisColors() override { GLFrameWidget::setColorHandler(nullptr); }
    QColor color(int id) override
    {
        switch (id) {
        case 121: return QColor::fromRgba(Grid);
        case 126: return QColor::fromRgba(AxisText);
        case 131: return QColor::fromRgba(Text);
        case 132: return QColor::fromRgba(Background);
        default: return QColor(Qt::magenta);
        }
    }
};

// Delivers a real mouse event to the layout widget, as Qt would.
inline void SendMouse(QWidget& target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, target.mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

inline int CountPixels(const QImage& img, QRect area, QRgb colour)
{
    int count = 0;
    area = area.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += img.pixel(x, y) == colour;
    return count;
}

inline int CountLit(const QImage& img, QRect area)
{
    int count = 0;
    area = area.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += img.pixel(x, y) != 0;
    return count;
}

#endif
