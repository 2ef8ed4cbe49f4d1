#include "glpainter.h"

#include <GL/gl.h>
#include <QStringList>
#include <algorithm>
#include <climits>

// ---- GLMetaFile ----

GLMetaFile::GLMetaFile(GLMetaFile&& other) noexcept
    : m_vCommands(std::move(other.m_vCommands)), m_vLines(std::move(other.m_vLines)),
      m_vPolygons(std::move(other.m_vPolygons)), m_vTexts(std::move(other.m_vTexts))
{
    other.m_vCommands.clear();
    other.m_vLines.clear();
    other.m_vPolygons.clear();
    other.m_vTexts.clear();
}

GLMetaFile& GLMetaFile::operator=(GLMetaFile&& other) noexcept
{
    if (this != &other) {
        GLMetaFile taken(std::move(other));
        std::swap(m_vCommands, taken.m_vCommands);
        std::swap(m_vLines, taken.m_vLines);
        std::swap(m_vPolygons, taken.m_vPolygons);
        std::swap(m_vTexts, taken.m_vTexts);
    }
    return *this;
}

namespace {

// Rectangle arithmetic runs in 64 bits, since a QRect's extent need not fit an int; results are
// clamped to int.
int ClampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

// Pixels from first to last, both included.
int Extent(int first, int last)
{
    return ClampToInt(qint64(last) - first + 1);
}

// The rectangle of width x height pixels from (left, top), its far edges clamped to int.
QRect Covered(int left, int top, int width, int height)
{
    return QRect(QPoint(left, top), QPoint(ClampToInt(qint64(left) + width - 1), ClampToInt(qint64(top) + height - 1)));
}

} // namespace

// ---- GLPainter: life cycle and state ----

GLPainter::GLPainter(GLFrameWidget* widget) : m_pWidget(widget)
{
    if (m_pWidget && !m_pWidget->ActiveContext())
        m_pWidget->LogError("GLPainter outside of paint event", "GLPainter::GLPainter");
    PushMatrix();
}

GLPainter::~GLPainter()
{
    end();
    PopMatrix();
}

void GLPainter::begin(GLMetaFile* metafile)
{
    m_pMetaFile = metafile;
    m_bNewLineBatch = true;
}

void GLPainter::end()
{
    while (!m_vSaved.empty())
        restore();
    m_pMetaFile = nullptr;
    m_bNewLineBatch = true;
}

void GLPainter::setPen(const QPen& pen)
{
    m_bNewLineBatch = true;
    const int width = std::max(pen.width(), 1);
    switch (pen.style()) {
    case Qt::SolidLine:
        m_State.pen.SetStyle(GLFrameWidget::eLineSolid, width, pen.color());
        break;
    case Qt::DotLine:
        m_State.pen.SetStyle(GLFrameWidget::eLineDotted, width, pen.color());
        break;
    default: // dashes have no line pattern of their own here: such pens draw nothing
        m_State.pen.SetStyle(GLFrameWidget::eLineNone, 0, QColor());
        break;
    }
}

namespace {

GLFrameWidget::GLFillStyle FillFromBrush(const QBrush& brush)
{
    if (brush.style() == Qt::SolidPattern)
        return GLFrameWidget::GLFillStyle(GLFrameWidget::eFillSolid, brush.color(), QColor());
    return GLFrameWidget::GLFillStyle(GLFrameWidget::eFillNone, QColor(), QColor());
}

} // namespace

void GLPainter::setBrush(const QBrush& brush)
{
    m_State.brush = FillFromBrush(brush);
}

void GLPainter::setHGradientBrush(const QColor& c1, const QColor& c2)
{
    m_State.brush.SetStyle(GLFrameWidget::eFillHGradient, c1, c2);
}

void GLPainter::setVGradientBrush(const QColor& c1, const QColor& c2)
{
    m_State.brush.SetStyle(GLFrameWidget::eFillVGradient, c1, c2);
}

void GLPainter::setBackground(const QBrush& brush)
{
    m_State.background = FillFromBrush(brush);
}

QFontMetrics GLPainter::fontMetrics() const
{
    return QFontMetrics(m_State.font, m_pWidget);
}

// ---- transforms ----

// A push on a full stack would fail and leave its pop to take the caller's matrix; such pushes are
// counted instead, and their pops skipped. Without a current context nothing reaches GL at all.
void GLPainter::PushMatrix()
{
    GLint depth = 0;
    GLint maxDepth = 0;
    if (m_pWidget && m_pWidget->ActiveContext()) {
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        glGetIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &maxDepth);
    }
    if (depth >= maxDepth) {
        ++m_iLostPushes;
        return;
    }
    glPushMatrix();
}

void GLPainter::PopMatrix()
{
    if (m_iLostPushes > 0) {
        --m_iLostPushes;
        return;
    }
    glPopMatrix();
}

void GLPainter::Record(GLMetaFile::eCommand kind, size_t index, double a, double b)
{
    GLMetaFile::GLMetaCommand command;
    command.iKind = kind;
    command.uIndex = index;
    command.dA = a;
    command.dB = b;
    m_pMetaFile->m_vCommands.push_back(command);
}

void GLPainter::ApplyTransform(GLMetaFile::eCommand kind, double a, double b)
{
    m_bNewLineBatch = true;
    if (Recording()) {
        Record(kind, 0, a, b);
        return;
    }
    switch (kind) {
    case GLMetaFile::ePopTransform:
        PopMatrix();
        break;
    case GLMetaFile::ePushTransform:
        PushMatrix();
        break;
    case GLMetaFile::eRotate:
        glRotated(a, 0.0, 0.0, 1.0);
        break;
    case GLMetaFile::eScale:
        glScaled(a, b, 1.0);
        break;
    case GLMetaFile::eTranslate:
        glTranslated(a, b, 0.0);
        break;
    default:
        break;
    }
}

void GLPainter::save()
{
    m_vSaved.push_back({m_State, m_pMetaFile});
    ApplyTransform(GLMetaFile::ePushTransform, 0, 0);
}

void GLPainter::restore()
{
    if (m_vSaved.empty())
        return;
    const SavedState saved = m_vSaved.back();
    m_vSaved.pop_back();
    m_State = saved.state;
    // Popping anywhere else would leave a GL push behind for the frame or pop the caller's matrix.
    m_bNewLineBatch = true;
    if (saved.pPushedTo == m_pMetaFile)
        ApplyTransform(GLMetaFile::ePopTransform, 0, 0);
    else if (!saved.pPushedTo)
        PopMatrix();
}

void GLPainter::translate(double dx, double dy)
{
    ApplyTransform(GLMetaFile::eTranslate, dx, dy);
}

void GLPainter::scale(double sx, double sy)
{
    ApplyTransform(GLMetaFile::eScale, sx, sy);
}

void GLPainter::rotate(double degrees)
{
    ApplyTransform(GLMetaFile::eRotate, degrees, 0);
}

// ---- lines, rectangles, polygons ----

void GLPainter::drawLine(int x1, int y1, int x2, int y2)
{
    if (!Recording()) {
        if (!m_pWidget)
            return;
        GLFrameWidget::GLLines lines;
        lines.SetLineStyle(m_State.pen);
        lines.AddLine(float(x1), float(y1), float(x2), float(y2));
        m_pWidget->DrawLines(lines);
        return;
    }
    if (m_bNewLineBatch) {
        m_bNewLineBatch = false;
        Record(GLMetaFile::eLines, m_pMetaFile->m_vLines.size());
        m_pMetaFile->m_vLines.emplace_back();
        m_pMetaFile->m_vLines.back().SetLineStyle(m_State.pen);
    }
    m_pMetaFile->m_vLines.back().AddLine(float(x1), float(y1), float(x2), float(y2));
}

void GLPainter::BeginPolygon(GLFrameWidget::GLPolygon& local, GLFrameWidget::GLPolygon*& target)
{
    if (!Recording()) {
        target = &local;
        return;
    }
    m_bNewLineBatch = true;
    Record(GLMetaFile::ePolygon, m_pMetaFile->m_vPolygons.size());
    m_pMetaFile->m_vPolygons.emplace_back();
    target = &m_pMetaFile->m_vPolygons.back();
}

void GLPainter::DrawOrRecordPolygon(GLFrameWidget::GLPolygon& local, GLFrameWidget::GLPolygon* target)
{
    if (target == &local && m_pWidget)
        m_pWidget->DrawPolygon(local, true);
}

void GLPainter::drawRect(int x, int y, int w, int h)
{
    GLFrameWidget::GLPolygon local;
    GLFrameWidget::GLPolygon* target = nullptr;
    BeginPolygon(local, target);
    target->SetLineStyle(m_State.pen);
    target->SetFillStyle(m_State.brush);
    target->SetRect(float(x), float(y), float(w), float(h));
    DrawOrRecordPolygon(local, target);
}

void GLPainter::drawRect(const QRect& rect)
{
    drawRect(rect.left(), rect.top(), Extent(rect.left(), rect.right()), Extent(rect.top(), rect.bottom()));
}

void GLPainter::fillRect(const QRect& rect, const QBrush& brush)
{
    GLFrameWidget::GLPolygon local;
    GLFrameWidget::GLPolygon* target = nullptr;
    BeginPolygon(local, target);
    target->SetFillStyle(GLFrameWidget::GLFillStyle(GLFrameWidget::eFillSolid, brush.color(), QColor()));
    target->SetRect(float(rect.left()), float(rect.top()), float(Extent(rect.left(), rect.right())),
                    float(Extent(rect.top(), rect.bottom())));
    DrawOrRecordPolygon(local, target);
}

void GLPainter::drawPolygon(const QPolygon& polygon, bool)
{
    if (polygon.isEmpty())
        return;
    GLFrameWidget::GLPolygon local;
    GLFrameWidget::GLPolygon* target = nullptr;
    BeginPolygon(local, target);
    target->SetLineStyle(m_State.pen);
    target->SetFillStyle(m_State.brush);
    for (const QPoint& point : polygon)
        target->AddVertex(float(point.x()), float(point.y()));
    DrawOrRecordPolygon(local, target);
}

void GLPainter::drawPolygon(GLFrameWidget::GLPolygon& polygon)
{
    if (!Recording()) {
        if (m_pWidget)
            m_pWidget->DrawPolygon(polygon, true);
        return;
    }
    GLFrameWidget::GLPolygon unused;
    GLFrameWidget::GLPolygon* target = nullptr;
    BeginPolygon(unused, target);
    *target = polygon;
}

// ---- text ----

void GLPainter::PrepareText(GLFrameWidget::GLText& text) const
{
    text.SetColor(m_State.pen.FgColor());
    text.SetFont(m_State.font, m_pWidget);
    if (m_State.iBackgroundMode == Qt::OpaqueMode)
        text.SetFillStyle(m_State.background);
}

void GLPainter::DrawOrRecordText(GLFrameWidget::GLText& text)
{
    if (!Recording()) {
        m_pWidget->DrawTextW(text, true, nullptr);
        return;
    }
    m_bNewLineBatch = true;
    Record(GLMetaFile::eText, m_pMetaFile->m_vTexts.size());
    m_pMetaFile->m_vTexts.push_back(text);
}

void GLPainter::drawText(int x, int y, const QString& text)
{
    // Text is measured on the widget's fonts; without one there is nothing to measure it by.
    if (!m_pWidget)
        return;
    GLFrameWidget::GLText label;
    PrepareText(label);
    label.SetText(text, m_pWidget);
    label.SetPos(float(x), float(qint64(y) - m_pWidget->GetTextAscent(label)));
    DrawOrRecordText(label);
}

QStringList GLPainter::SplitLines(const QString& text)
{
    return text.split('\n', Qt::KeepEmptyParts);
}

int GLPainter::BlockTop(const QRect& rect, int flags, int height)
{
    if (flags & Qt::AlignVCenter)
        return ClampToInt(rect.top() + (qint64(Extent(rect.top(), rect.bottom())) - height) / 2);
    if (flags & Qt::AlignBottom)
        return ClampToInt(qint64(rect.bottom()) + 1 - height);
    return rect.top();
}

int GLPainter::AlignedLeft(const QRect& rect, int flags, int width)
{
    if (flags & Qt::AlignHCenter)
        return ClampToInt(rect.left() + (qint64(Extent(rect.left(), rect.right())) - width) / 2);
    if (flags & Qt::AlignRight)
        return ClampToInt(qint64(rect.right()) + 1 - width);
    return rect.left();
}

void GLPainter::drawText(const QRect& rect, int flags, const QString& text, QRect* boundingRect)
{
    if (!m_pWidget)
        return;
    GLFrameWidget::GLText line;
    PrepareText(line);
    const QStringList lines = SplitLines(text);
    const int lineHeight = m_pWidget->GetTextHeight(line);
    const int height = lines.size() * lineHeight;
    const int top = BlockTop(rect, flags, height);
    qint64 y = top;
    int widest = 0;
    int leftmost = rect.right();
    for (const QString& part : lines) {
        line.SetText(part, m_pWidget);
        const int width = static_cast<int>(m_pWidget->GetTextExtent(line).Width());
        widest = std::max(widest, width);
        const int x = AlignedLeft(rect, flags, width);
        leftmost = std::min(leftmost, x);
        line.SetPos(float(x), float(y));
        DrawOrRecordText(line);
        y += lineHeight;
    }
    if (boundingRect)
        *boundingRect = Covered(leftmost, top, widest, height);
}

QRect GLPainter::boundingRect(const QRect& rect, int flags, const QString& text)
{
    if (!m_pWidget)
        return QRect();
    GLFrameWidget::GLText line;
    line.SetFont(m_State.font, m_pWidget);
    const QStringList lines = SplitLines(text);
    const int height = lines.size() * m_pWidget->GetTextHeight(line);
    int widest = 0;
    for (const QString& part : lines) {
        line.SetText(part, m_pWidget);
        widest = std::max(widest, static_cast<int>(m_pWidget->GetTextExtent(line).Width()));
    }
    return Covered(AlignedLeft(rect, flags, widest), BlockTop(rect, flags, height), widest, height);
}

// ---- images and metafiles ----

void GLPainter::drawImage(const QPoint& point, const QImage& image)
{
    if (!Recording() && m_pWidget)
        m_pWidget->DrawImage(point.x(), point.y(), image.width(), image.height(), image);
}

void GLPainter::drawImage(const QRect& rect, const QImage& image)
{
    if (!Recording() && m_pWidget)
        m_pWidget->DrawImage(rect.left(), rect.top(), Extent(rect.left(), rect.right()),
                             Extent(rect.top(), rect.bottom()), image);
}

void GLPainter::drawMetaFile(GLMetaFile& metafile)
{
    // Walk by index over the commands present before the replay began: replaying into itself
    // appends while we walk, so references into the lists would dangle and the walk never end.
    const size_t count = metafile.m_vCommands.size();
    // A metafile recorded across a target switch may hold a pop without its push or a push without
    // its pop; the replay keeps its own pushes balanced so that the caller's transform survives it.
    int openPushes = 0;
    auto transform = [this](const GLMetaFile::GLMetaCommand& command) {
        if (Recording())
            m_pMetaFile->m_vCommands.push_back(command);
        else
            ApplyTransform(static_cast<GLMetaFile::eCommand>(command.iKind), command.dA, command.dB);
    };
    save();
    for (size_t i = 0; i < count; ++i) {
        const GLMetaFile::GLMetaCommand command = metafile.m_vCommands[i];
        switch (command.iKind) {
        case GLMetaFile::eLines:
            if (Recording()) {
                GLFrameWidget::GLLines copy = metafile.m_vLines[command.uIndex];
                Record(GLMetaFile::eLines, m_pMetaFile->m_vLines.size());
                m_pMetaFile->m_vLines.push_back(std::move(copy));
            } else if (m_pWidget) {
                m_pWidget->DrawLines(metafile.m_vLines[command.uIndex]);
            }
            break;
        case GLMetaFile::ePolygon:
            if (Recording()) {
                GLFrameWidget::GLPolygon copy = metafile.m_vPolygons[command.uIndex];
                Record(GLMetaFile::ePolygon, m_pMetaFile->m_vPolygons.size());
                m_pMetaFile->m_vPolygons.push_back(std::move(copy));
            } else if (m_pWidget) {
                m_pWidget->DrawPolygon(metafile.m_vPolygons[command.uIndex], true);
            }
            break;
        case GLMetaFile::eText:
            if (Recording()) {
                GLFrameWidget::GLText copy = metafile.m_vTexts[command.uIndex];
                Record(GLMetaFile::eText, m_pMetaFile->m_vTexts.size());
                m_pMetaFile->m_vTexts.push_back(std::move(copy));
            } else if (m_pWidget) {
                m_pWidget->DrawTextW(metafile.m_vTexts[command.uIndex], true, nullptr);
            }
            break;
        case GLMetaFile::ePopTransform:
            if (openPushes == 0)
                break;
            --openPushes;
            transform(command);
            break;
        case GLMetaFile::ePushTransform:
            ++openPushes;
            transform(command);
            break;
        case GLMetaFile::eRotate:
        case GLMetaFile::eScale:
        case GLMetaFile::eTranslate:
            transform(command);
            break;
        default:
            break;
        }
    }
    GLMetaFile::GLMetaCommand pop;
    pop.iKind = GLMetaFile::ePopTransform;
    for (; openPushes > 0; --openPushes)
        transform(pop);
    restore();
}
