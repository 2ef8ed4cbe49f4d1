// Shared by the fuzz targets: the headless application, a frame that paints what an input asks for, and the
// check that stops the fuzzer at a broken invariant.
#pragma once

#include "glframewidget.h"

#include <QApplication>
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <functional>

// A trap rather than an assert: it holds in release builds, and libFuzzer keeps the input.
inline void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Equal, or both no number.
inline bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// The widget-based targets need one application for the whole run, on the headless platform.
inline void StartOffscreenApplication()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "glbase_fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// Paints through `paint`; a target that stores outside a paint pass opens the context itself.
class FuzzSurface : public GLFrameWidget
{
public:
    using GLFrameWidget::BeginContext;
    using GLFrameWidget::EndContext;
    std::function<void()> paint;
    FuzzSurface(int width, int height) { resize(width, height); }

protected:
    void PaintGL() override { paint(); }
    void ResizeGL() override {}
};
