#ifndef ICOLORBASE_H
#define ICOLORBASE_H

#include <QColor>

// Process-wide colour scheme, implemented by the application: colours looked up by identifier.
class IColorBase
{
public:
    virtual ~IColorBase() = default;
    virtual QColor color(int id) = 0;
};

#endif
