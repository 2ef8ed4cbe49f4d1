#ifndef IERRORHANDLERBASE_H
#define IERRORHANDLERBASE_H

#include <QString>

/// Process-wide sink for the library's diagnostics, implemented by the application.
class IErrorHandlerBase
{
public:
    virtual ~IErrorHandlerBase() = default;
    /// Logs a diagnostic: message, reporting source file, class and function; id is 0, level 255.
    virtual void log(QString message, const QString& sourceFile, const QString& className,
                     QString function, qint16 id, quint8 level) = 0;
    /// Shows a translated message the user must see; isError is false for warnings.
    virtual void show(QString text, bool isError, int id, bool modal) = 0;
};

#endif
