// Export switch of zand_stl: ZAND_STL_API marks what the shared library
// exports. Everything else is built with hidden visibility, so a class or
// function without this macro never becomes part of the binary interface.
#ifndef ZAND_STL_ZAND_STL_EXPORT_H
#define ZAND_STL_ZAND_STL_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(ZAND_STL_BUILDING)
#define ZAND_STL_API __declspec(dllexport)
#else
#define ZAND_STL_API __declspec(dllimport)
#endif
#else
#if defined(__GNUC__)
#define ZAND_STL_API __attribute__((visibility("default")))
#else
#define ZAND_STL_API
#endif
#endif

#endif  // ZAND_STL_ZAND_STL_EXPORT_H
