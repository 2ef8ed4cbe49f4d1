#ifndef IGLINFO0_H
#define IGLINFO0_H

class IGLWidget;

/// Process-wide registry of drawing surfaces, implemented by the application.
class IGLInfo0
{
public:
    virtual ~IGLInfo0() = default;
    /// Called from every surface's constructor.
    virtual void registerWidget(IGLWidget* widget) = 0;
    /// Called from every surface's destructor; the pointer is not used afterwards.
    virtual void unregisterWidget(IGLWidget* widget) = 0;
};

#endif
