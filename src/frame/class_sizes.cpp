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
//
// The debugger views (debugger/zand_stl_gdb.py and zand_stl_lldb.py) walk
// the map by reading its members, by name where the debug information
// describes them and otherwise through their own table of the layout
// (FALLBACK_LAYOUT): the layout pinned at the end of this file for g++'s
// 64-bit targets. Whoever changes it changes that table too; the debug leg
// checks the table against a library stripped of its debug information.
#include <cstddef>
#include <cstdint>

#include "containers/obj_hash_leaf.h"
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

#if defined(__GLIBCXX__) && UINTPTR_MAX == UINT64_MAX
namespace zand_internal {
// The views' constants: the slot form's entries and its array of heads,
// a leaf's capacity and kinds.
static_assert(ObjHashSlotTable::kSmallEntries == 4);
static_assert(ObjHashSlotTable::kArrayBuckets == 64);
static_assert(ObjHashLeaf::kCapacity == 6);
static_assert(ObjHashLeaf::kChain == 0 && ObjHashLeaf::kIndexed == 1);
// The map's members are private: their classes' sizes are pinned here, and
// their order (the table's count, entry blocks, then slot table with its
// form and bucket count; then the cursor) by the debug leg.
static_assert(sizeof(OBJ_HASH_TABLE) == 64);
static_assert(sizeof(ObjHashEntryBlocks) == 16);
static_assert(sizeof(ObjHashSlotTable) == 40);
// An entry, its key's bytes right behind it.
static_assert(sizeof(ObjHashEntry) == 24);
static_assert(offsetof(ObjHashEntry, value) == 8);
static_assert(offsetof(ObjHashEntry, key_size) == 16);
// A leaf.
static_assert(sizeof(ObjHashLeaf) == 64);
static_assert(offsetof(ObjHashLeaf, count) == 6);
static_assert(offsetof(ObjHashLeaf, kind) == 7);
static_assert(offsetof(ObjHashLeaf, chain.entries) == 8);
static_assert(offsetof(ObjHashLeaf, chain.next) == 56);
static_assert(offsetof(ObjHashLeaf, index.first) == 16);
}  // namespace zand_internal
#endif
