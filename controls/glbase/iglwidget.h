#ifndef IGLWIDGET_H
#define IGLWIDGET_H

#include <QString>

/// What every drawing surface tells about itself; handed to IGLInfo0.
class IGLWidget
{
public:
    virtual ~IGLWidget() = default;
    /// One-line description of the context: vendor, renderer, version and capabilities.
    virtual QString info() = 0;
    /// True when the surface renders through the off-screen software buffer.
    virtual bool softwareRenderer() = 0;
};

#endif
