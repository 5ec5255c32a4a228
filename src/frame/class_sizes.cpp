// The sizes of the exported classes are part of the interface: callers
// compile against the class declarations, allocate the objects and derive
// from them, so a class that grew or shrank would break every program built
// against an earlier release. They are frozen, per platform, at:
//
//   bytes                             OBJ  OBJ_LIST  OBJ_MAP  FILE
//   GNU libstdc++, 64-bit: Linux on     8       40       80      16
//     x86-64, ARM64 and IBM Z, and
//     MinGW-w64
//   Microsoft's C++, x64, Release       8       32       88      16
//
// The map's table begins with an empty placeholder member under Microsoft's
// compiler, which takes 8 bytes there. The list holds the standard library's
// own list and iterator, so its size is the standard library's: Microsoft's
// Debug library (zand_stld.dll) checks its iterators and has a larger list,
// frozen by that library rather than here.
#include <cstdint>

#include "zand_stl/zand_stl.h"

#if defined(__GLIBCXX__) && UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(ZAND_OBJ) == 8);
static_assert(sizeof(ZAND_OBJ_LIST) == 40);
static_assert(sizeof(ZAND_OBJ_MAP) == 80);
static_assert(sizeof(ZAND_FILE) == 16);
#elif defined(_MSC_VER) && defined(_WIN64)
static_assert(sizeof(ZAND_OBJ) == 8);
#if _ITERATOR_DEBUG_LEVEL == 0
static_assert(sizeof(ZAND_OBJ_LIST) == 32);
#endif
static_assert(sizeof(ZAND_OBJ_MAP) == 88);
static_assert(sizeof(ZAND_FILE) == 16);
#else
#error "zand_stl: the class sizes of this platform are not frozen yet"
#endif
