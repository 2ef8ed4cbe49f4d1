#include "glcommonwidget.h"

#include "gllayout.h"
#include "glpainter.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

namespace {

// Walks copy the references first, so that callbacks may change the registry being walked.
template <class T>
std::vector<std::weak_ptr<T>> Upward(const GLCommonWidget::Registry<T>& registry)
{
    std::vector<std::weak_ptr<T>> walk;
    for (const auto& layer : registry)
        walk.insert(walk.end(), layer.second.begin(), layer.second.end());
    return walk;
}

// Highest layer first, and within a layer the entry added last first.
template <class T>
std::vector<std::weak_ptr<T>> Downward(const GLCommonWidget::Registry<T>& registry)
{
    std::vector<std::weak_ptr<T>> walk;
    for (auto layer = registry.rbegin(); layer != registry.rend(); ++layer)
        walk.insert(walk.end(), layer->second.rbegin(), layer->second.rend());
    return walk;
}

template <class T>
void AddToLayer(GLCommonWidget::Registry<T>& registry, std::weak_ptr<T> obj, GLCommonWidget::eZOrder z)
{
    registry[z].push_back(std::move(obj));
}

// Two references match when they lock to the same object, so an expired one matches the first
// expired entry.
template <class T>
void RemoveFirstMatch(GLCommonWidget::Registry<T>& registry, const std::weak_ptr<T>& obj)
{
    const std::shared_ptr<T> wanted = obj.lock();
    for (auto& layer : registry) {
        std::vector<std::weak_ptr<T>>& entries = layer.second;
        for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
            if (entry->lock() == wanted) {
                entries.erase(entry);
                return;
            }
        }
    }
}

} // namespace

GLCommonWidget::GLCommonWidget(const std::string& name, GLLayout* layout, EWindowType type)
    : GLBaseWidget(name), m_eWindowType(type), m_pOwnerLayout(layout), m_pConstructedLayout(layout)
{
    AttachLayout(layout);
    setMinimumHeight(20);
    setMinimumWidth(20);
}

// A panel never added to its layout still points at it; when that layout has gone first, the
// base must not try to leave it.
GLCommonWidget::~GLCommonWidget()
{
    if (!m_pOwnerLayout && GetLayoutWidget() == m_pConstructedLayout)
        AttachLayout(nullptr);
}

void GLCommonWidget::addPaintObject(std::weak_ptr<IGLDrawObject> obj, eZOrder z)
{
    AddToLayer(m_PaintObjects, std::move(obj), z);
}

void GLCommonWidget::addMouseObject(std::weak_ptr<IMouseConsumer> obj, eZOrder z)
{
    AddToLayer(m_MouseObjects, std::move(obj), z);
    setMouseTracking(true);
}

void GLCommonWidget::addWheelObject(std::weak_ptr<IMouseWheelConsumer> obj, eZOrder z)
{
    AddToLayer(m_WheelObjects, std::move(obj), z);
    setMouseTracking(true);
}

void GLCommonWidget::addContextMenu(std::weak_ptr<IHasContextMenu> obj, eZOrder z)
{
    AddToLayer(m_ContextMenus, std::move(obj), z);
}

void GLCommonWidget::addSizeObject(std::weak_ptr<ISizeHandler> obj, eZOrder z)
{
    AddToLayer(m_SizeObjects, std::move(obj), z);
}

void GLCommonWidget::removePaintObject(const std::weak_ptr<IGLDrawObject>& obj)
{
    RemoveFirstMatch(m_PaintObjects, obj);
}

void GLCommonWidget::removeMouseObject(const std::weak_ptr<IMouseConsumer>& obj)
{
    RemoveFirstMatch(m_MouseObjects, obj);
}

void GLCommonWidget::addUserDimensionBackgroundDrawObject(int userDimension, int order,
                                                          std::shared_ptr<IGLDrawObjectOnSingleWidget> obj, bool)
{
    BackgroundDrawObject& entry = m_BackgroundObjects[order];
    entry.m_iUserDimension = userDimension;
    entry.m_pObject = obj;
}

double GLCommonWidget::YStart(short)
{
    const std::shared_ptr<IHMap> axis = m_YAxis.lock();
    bool valid = false;
    return axis ? axis->PixelToValue(height(), &valid, false) : -1.0;
}

double GLCommonWidget::YStop(short)
{
    const std::shared_ptr<IHMap> axis = m_YAxis.lock();
    bool valid = false;
    return axis ? axis->PixelToValue(0, &valid, false) : -1.0;
}

void GLCommonWidget::prepareUpdate()
{
    for (const auto& entry : Downward(m_SizeObjects))
        if (const auto handler = entry.lock())
            handler->prepareUpdate(this);
}

QSizePolicy GLCommonWidget::sizePolicy() const
{
    return m_pOwnerLayout ? m_pOwnerLayout->sizePolicy() : QSizePolicy();
}

void GLCommonWidget::resizeEvent(QResizeEvent* event)
{
    for (const auto& entry : Downward(m_SizeObjects))
        if (const auto handler = entry.lock())
            handler->resized(event, this, m_eWindowType);
}

void GLCommonWidget::paintEvent(QPaintEvent*)
{
    GLFrameWidget* frame = GetFrameWidget();
    if (!frame)
        return;
    GLPainter painter(frame);
    if (!m_BackgroundObjects.empty() && m_bDrawBackgroundObjects) {
        std::vector<std::weak_ptr<IGLDrawObjectOnSingleWidget>> backgrounds;
        for (const auto& entry : m_BackgroundObjects)
            backgrounds.push_back(entry.second.m_pObject);
        for (const auto& entry : backgrounds)
            if (const auto background = entry.lock())
                background->draw(painter, this, m_eWindowType);
    }
    // A dead draw object ends the pass: what lies above it is not painted in this frame.
    for (const auto& entry : Upward(m_PaintObjects)) {
        const auto object = entry.lock();
        if (!object)
            break;
        object->draw(painter, this, m_eWindowType);
    }
}

void GLCommonWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        return;
    for (const auto& entry : Downward(m_MouseObjects)) {
        const auto consumer = entry.lock();
        if (consumer && consumer->mousePress(event, this, m_eWindowType) != 0) {
            m_ActiveMouseConsumer = entry;
            return;
        }
    }
}

void GLCommonWidget::mouseMoveEvent(QMouseEvent* event)
{
    DispatchCaptured(event, eMouseStep::eMove);
}

void GLCommonWidget::mouseReleaseEvent(QMouseEvent* event)
{
    DispatchCaptured(event, eMouseStep::eRelease);
}

qint64 GLCommonWidget::OfferMouse(IMouseConsumer& consumer, QMouseEvent* event, eMouseStep step, bool captured)
{
    return step == eMouseStep::eMove ? consumer.mouseMove(event, this, m_eWindowType, captured)
                                     : consumer.mouseRelease(event, this, m_eWindowType, captured);
}

// The active consumer is asked first; when it lets go, every consumer (itself included) is
// asked again in the downward order.
void GLCommonWidget::DispatchCaptured(QMouseEvent* event, eMouseStep step)
{
    if (event->button() == Qt::RightButton)
        return;
    if (const auto active = m_ActiveMouseConsumer.lock()) {
        if (OfferMouse(*active, event, step, true) != 0)
            return;
        m_ActiveMouseConsumer.reset();
    }
    for (const auto& entry : Downward(m_MouseObjects)) {
        const auto consumer = entry.lock();
        if (consumer && OfferMouse(*consumer, event, step, false) != 0)
            return;
    }
    if (step == eMouseStep::eMove)
        setCursor(Qt::ArrowCursor);
}

void GLCommonWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        return;
    for (const auto& entry : Downward(m_MouseObjects)) {
        const auto consumer = entry.lock();
        if (consumer && consumer->mouseDoubleClick(event, this, m_eWindowType) != 0)
            return;
    }
}

void GLCommonWidget::wheelEvent(QWheelEvent* event)
{
    for (const auto& entry : Downward(m_WheelObjects)) {
        const auto consumer = entry.lock();
        if (consumer && consumer->wheel(event, this, m_eWindowType) != 0)
            return;
    }
}

void GLCommonWidget::contextMenuEvent(QContextMenuEvent* event)
{
    for (const auto& entry : Downward(m_ContextMenus)) {
        const auto provider = entry.lock();
        QMenu* menu = provider ? provider->contextMenu(event, this, m_eWindowType) : nullptr;
        if (menu) {
            m_MenuMousePosition = event->pos();
            menu->exec(event->globalPos());
            return;
        }
    }
}
