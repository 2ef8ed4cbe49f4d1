#ifndef GLBASE_EXPORT_H
#define GLBASE_EXPORT_H

#if defined(GLBASE_LIBRARY)
#define GLBASE_EXPORT __attribute__((visibility("default")))
#else
#define GLBASE_EXPORT
#endif

#endif
