#ifndef ISTRINGFORMATTER_H
#define ISTRINGFORMATTER_H

#include "glbase_export.h"

class QString;

/// Label texts supplied by the application. An axis holds its formatter by
/// std::shared_ptr and copies each returned text at once, so an implementation
/// may reuse one buffer for every call.
class GLBASE_EXPORT IStringFormatter
{
public:
    /// Text of a tick value or a cursor label.
    virtual const QString& FormatValue(double value) = 0;
    /// Text of the start value of a section in the legend.
    virtual const QString& FormatStartValue(double value) = 0;
    virtual ~IStringFormatter() = default;
};

#endif
