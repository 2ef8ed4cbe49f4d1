#ifndef ICOLORBASE_H
#define ICOLORBASE_H

#include <QColor>

/// Process-wide colour scheme, implemented by the application: colours looked up by identifier.
class IColorBase
{
public:
    virtual ~IColorBase() = default;
    /// The colour of identifier id; the axes ask for 121, 126, 131 and 132 (see axisDefinition).
    virtual QColor color(int id) = 0;
};

#endif
