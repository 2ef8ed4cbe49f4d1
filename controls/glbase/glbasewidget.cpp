#include "glbasewidget.h"

#include "gllayout.h"
#include "glpainter.h"
#include "ierrorhandlerbase.h"

#include <QEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <algorithm>
#include <climits>
#include <cmath>

namespace
{
const char* const s_pSourceFile = "controls/glbase/glbasewidget";

// A zoom that is not a number gets the neutral weight.
double ClampZoom(double zoom) { return std::isnan(zoom) ? 1.0 : std::max(std::min(zoom, 10.0), 0.1); }

// A null name is taken as the empty one: no name, no master.
std::string Text(const char* text) { return text ? text : ""; }
} // namespace

bool QWidgetEnterEventFilter::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Enter && m_pPanel->GetLayoutWidget())
        m_pPanel->GetLayoutWidget()->setCursor(Qt::ArrowCursor);
    return false;
}

GLBaseWidget::GLBaseWidget(const std::string& name) : m_sName(name)
{
    m_Outline.SetRect(0, 0, 2, 2);
    m_Background.SetRect(0, 0, 2, 2);
}

GLBaseWidget::~GLBaseWidget()
{
    if (m_pLayout)
        m_pLayout->RemoveWidget(this);
    delete m_pUpperBorderWidget;
    m_pUpperBorderWidget = nullptr;
}

int GLBaseWidget::ToPixel(float value) { return int(std::clamp<double>(value, INT_MIN, INT_MAX)); }

void GLBaseWidget::Report(const char* message, const char* function)
{
    if (IErrorHandlerBase* handler = GLFrameWidget::getErrorHandler())
        handler->log(message, s_pSourceFile, "GLBaseWidget", function, 0, 255);
}

bool GLBaseWidget::RefuseInLayout(const char* function) const
{
    if (!m_pSplitGroup)
        return false;
    Report("m_pSplitGroup != 0", function);
    return true;
}

bool GLBaseWidget::SetName(const char* name)
{
    if (RefuseInLayout("SetName"))
        return false;
    m_sName = Text(name);
    return true;
}

bool GLBaseWidget::SetHorizontalAlignment(const char* master, eHorizontalAlignment alignment, double zoom)
{
    if (RefuseInLayout("SetHorizontalAlignment"))
        return false;
    m_sHorizontalMaster = Text(master);
    m_eHorizontalAlignment = alignment;
    m_dHorizontalZoom = ClampZoom(zoom);
    return true;
}

bool GLBaseWidget::SetVerticalAlignment(const char* master, eVerticalAlignment alignment, double zoom)
{
    if (RefuseInLayout("SetVerticalAlignment"))
        return false;
    m_sVerticalMaster = Text(master);
    m_eVerticalAlignment = alignment;
    m_dVerticalZoom = ClampZoom(zoom);
    return true;
}

bool GLBaseWidget::SetHorizontalZoom(double zoom)
{
    if (RefuseInLayout("SetHorizontalZoom"))
        return false;
    m_dHorizontalZoom = ClampZoom(zoom);
    return true;
}

bool GLBaseWidget::SetVerticalZoom(double zoom)
{
    if (RefuseInLayout("SetVerticalZoom"))
        return false;
    m_dVerticalZoom = ClampZoom(zoom);
    return true;
}

bool GLBaseWidget::SetVisibilityMaster(const char* name)
{
    if (RefuseInLayout("SetVisibilityMaster"))
        return false;
    m_sVisibilityMaster = Text(name);
    return true;
}

void GLBaseWidget::SetGlobalVisible(bool visible)
{
    if (!RefuseInLayout("SetVisible"))
        m_bGlobalVisible = visible;
}

void GLBaseWidget::ApplyLimit(int& limit, int GLSplitGroup::*groupLimit, int value)
{
    if (value == limit)
        return;
    limit = value;
    if (m_pSplitGroup && m_pLayout) {
        m_pSplitGroup->*groupLimit = value;
        m_pLayout->m_bLayoutDirty = true;
    }
}

void GLBaseWidget::setMinimumWidth(int w)
{
    if (w < ciMinCoord)
        Report("w < ciMinCoord", "setMinimumWidth");
    else
        ApplyLimit(m_iMinimumWidth, &GLSplitGroup::m_iMinimumWidth, w);
}

void GLBaseWidget::setMaximumWidth(int w)
{
    if (w > ciMaxCoord)
        Report("w > ciMaxCoord", "setMaximumWidth");
    else
        ApplyLimit(m_iMaximumWidth, &GLSplitGroup::m_iMaximumWidth, w);
}

void GLBaseWidget::setMinimumHeight(int h)
{
    if (h < ciMinCoord)
        Report("h < ciMinCoord", "setMinimumHeight");
    else
        ApplyLimit(m_iMinimumHeight, &GLSplitGroup::m_iMinimumHeight, h);
}

void GLBaseWidget::setMaximumHeight(int h)
{
    if (h > ciMaxCoord)
        Report("h > ciMaxCoord", "setMaximumHeight");
    else
        ApplyLimit(m_iMaximumHeight, &GLSplitGroup::m_iMaximumHeight, h);
}

void GLBaseWidget::setVisible(bool visible)
{
    if (m_pLayout)
        m_pLayout->Show(this, visible);
}

bool GLBaseWidget::isVisible() const { return m_pLayout && m_pLayout->IsLayoutVisible(this); }

void GLBaseWidget::setMouseTracking(bool on)
{
    if (m_pLayout)
        m_pLayout->setAttribute(Qt::WA_MouseTracking, on);
}

void GLBaseWidget::update()
{
    if (m_pLayout)
        m_pLayout->Update();
}

QWidget* GLBaseWidget::parentWidget() { return m_pLayout ? m_pLayout->parentWidget() : nullptr; }

GLFrameWidget* GLBaseWidget::GetFrameWidget() const { return m_pLayout; }

void GLBaseWidget::SetQWidget(QWidget* widget)
{
    if (m_pQWidget)
        m_pQWidget->removeEventFilter(&m_EnterFilter);
    m_pQWidget = widget;
    m_bBorderWidget = true;
    if (!widget)
        return;
    widget->installEventFilter(&m_EnterFilter);
    const int minimum = widget->minimumSize().height();
    if (minimum > 1)
        ApplyLimit(m_iMinimumHeight, &GLSplitGroup::m_iMinimumHeight, minimum);
    const int maximum = widget->maximumSize().height();
    if (maximum > 1)
        setMaximumHeight(maximum);
}

void GLBaseWidget::DrawBackground()
{
    if (m_pLayout)
        m_pLayout->DrawPolygon(m_Background, true);
}

void GLBaseWidget::DrawBackground(GLPainter& painter)
{
    painter.drawPolygon(m_Background);
}

void GLBaseWidget::SetRect(float x, float y, float w, float h)
{
    const float oldWidth = m_Outline.Width(), oldHeight = m_Outline.Height();
    const bool resized = w != oldWidth || h != oldHeight;
    QResizeEvent event{QSize(ToPixel(w), ToPixel(h)), QSize(ToPixel(oldWidth), ToPixel(oldHeight))};
    m_Outline.SetRect(x, y, w, h);
    m_Background.SetRect(0, 0, w, h);
    if (resized)
        resizeEvent(&event);
    if (m_pQWidget) {
        m_pQWidget->setVisible(m_pLayout && m_pLayout->IsLayoutVisible(this));
        m_pQWidget->setGeometry(ToPixel(x), ToPixel(y), ToPixel(w), ToPixel(h));
    }
}

void GLBaseWidget::DrawBaseContents()
{
    if (!m_bGlobalVisible || width() <= 0 || height() <= 0 || !m_pLayout)
        return;
    // Keep the layout: the panel's own paintEvent may take it out of the layout.
    GLLayout* layout = m_pLayout;
    const float x = float(left()), y = float(top());
    layout->BeginViewPort(x, y, float(width()), float(height()));
    QPaintEvent event(rect());
    paintEvent(&event);
    layout->EndViewPort(x, y);
}

void GLBaseWidget::resizeEvent(QResizeEvent*) {}
void GLBaseWidget::paintEvent(QPaintEvent*) { DrawBackground(); }
void GLBaseWidget::mouseDoubleClickEvent(QMouseEvent*) {}
void GLBaseWidget::mouseMoveEvent(QMouseEvent*) {}
void GLBaseWidget::mousePressEvent(QMouseEvent*) {}
void GLBaseWidget::mouseReleaseEvent(QMouseEvent*) {}
void GLBaseWidget::wheelEvent(QWheelEvent*) {}
void GLBaseWidget::contextMenuEvent(QContextMenuEvent*) {}
