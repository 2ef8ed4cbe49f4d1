#ifndef GLBASE_EXPORT_H
#define GLBASE_EXPORT_H

/// \file
/// The export macro of the shared library.

/// \def GLBASE_EXPORT
/// Exports a class from the shared library, which is built with GLBASE_LIBRARY defined and hidden
/// symbols by default; empty for code that uses the library.

#if defined(GLBASE_LIBRARY)
#define GLBASE_EXPORT __attribute__((visibility("default")))
#else
#define GLBASE_EXPORT
#endif

#endif
