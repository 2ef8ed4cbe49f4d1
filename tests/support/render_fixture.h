#ifndef RENDER_FIXTURE_H
#define RENDER_FIXTURE_H

#include "glframewidget.h"
#include "ierrorhandlerbase.h"

#include <QImage>
#include <functional>
#include <vector>

// A surface whose frame is whatever the test's lambda draws.
class TestSurface : public GLFrameWidget
{
public:
    std::function<void(TestSurface&)> paint;
    int iResizes = 0;
    using GLFrameWidget::BeginContext;
    using GLFrameWidget::EndContext;
    using GLFrameWidget::MergeSections;

protected:
    void PaintGL() override
    {
        if (paint)
            paint(*this);
    }
    void ResizeGL() override { ++iResizes; }
};

// A red 30 x 20 box at (10, 10) and a green one-pixel line along row 50 from column 5 to 60.
void PaintBoxAndLine(TestSurface& w);

// Forces a render path for contexts created in its scope, and gives back the automatic choice also
// when an assertion leaves the scope early, so that later tests are not left on a forced path.
struct ForcedRenderPath
{
    explicit ForcedRenderPath(GLFrameWidget::eRenderPath path) { GLFrameWidget::setRenderPath(path); }
    ~ForcedRenderPath() { GLFrameWidget::setRenderPath(GLFrameWidget::ePathAuto); }
    ForcedRenderPath(const ForcedRenderPath&) = delete;
    ForcedRenderPath& operator=(const ForcedRenderPath&) = delete;
};

// Renders one frame of the lambda on a fresh w x h surface and returns what it drew.
QImage render(int w, int h, const std::function<void(TestSurface&)>& paint);

// Records every log and show call so tests can assert the exact messages.
class RecordingErrorHandler : public IErrorHandlerBase
{
public:
    struct Entry
    {
        QString sMessage, sFile, sClass, sFunction;
    };
    std::vector<Entry> vLogged;
    std::vector<std::pair<QString, bool>> vShown;

    RecordingErrorHandler() { GLFrameWidget::setErrorHandler(this); }
    ~RecordingErrorHandler() override { GLFrameWidget::setErrorHandler(nullptr); }
    void log(QString message, const QString& file, const QString& cls, QString function, qint16, quint8) override
    {
        vLogged.push_back({message, file, cls, function});
    }
    void show(QString text, bool isError, int, bool) override { vShown.emplace_back(text, isError); }
    bool Logged(const QString& message) const;
};

// Pixel helpers: a lit pixel is any non-zero pixel on the cleared (transparent black) frame.
std::vector<int> litColumns(const QImage& img, int row);
void expectLitRun(const QImage& img, int row, int from, int to);
void expectColour(const QImage& img, int x, int y, QRgb colour);

#endif
