// A step of the table's walk within a leaf, inline, since a walk takes it
// for most entries: where the walk stands says which leaf holds the entry
// and where. Every other step is the table's own (next_beyond). Internal.
#ifndef ZAND_STL_SRC_CONTAINERS_OBJ_HASH_TABLE_WALK_H
#define ZAND_STL_SRC_CONTAINERS_OBJ_HASH_TABLE_WALK_H

#include <cstdint>

#include "containers/obj_hash_bucket.h"
#include "containers/obj_hash_leaf.h"
#include "containers/obj_hash_slot_table_heads.h"
#include "util/builtins.h"
#include "zand_stl/internal/obj_hash_table.h"

namespace zand_internal {

// Where the walk keeps the entry's place in its leaf, above the bucket.
constexpr unsigned kWalkPlaceShift = 61;

inline ObjHashEntry* OBJ_HASH_TABLE::next(const ObjHashEntry* entry) noexcept {
  // With one bucket the walk's room holds that bucket's entries instead.
  const std::uint64_t buckets = bucket_count();
  if (buckets != 1 && m_slots.walk().entry == entry) {
    ObjHashWalkStep& walk = m_slots.walk();
    const ObjHashLeaf* const leaf = walk.leaf;
    const auto place = static_cast<std::size_t>(walk.bucket >> kWalkPlaceShift);
    if (place + 1 < leaf->count) {
      // A walk reads each entry it is given: the one after is asked for.
      if (place + 2 < leaf->count) {
        prefetch(leaf->chain.entries[place + 2]);
      }
      ObjHashEntry* const after = leaf->chain.entries[place + 1];
      walk.entry = after;
      walk.bucket += std::uint64_t{1} << kWalkPlaceShift;
      return after;
    }
    // The leaf's last entry: the bucket's next leaf, or the next bucket's
    // first when it has one, as it mostly does.
    const ObjHashLeaf* following = leaf->chain.next;
    std::uint64_t b = walk.bucket & ((std::uint64_t{1} << kWalkPlaceShift) - 1);
    if (following == nullptr && b + 1 < buckets) {
      following = obj_hash_bucket::first_leaf(m_slots[++b]);
    }
    if (following != nullptr) {
      ObjHashEntry* const first = following->chain.entries[0];
      walk = {first, following, b};
      return first;
    }
  }
  return next_beyond(entry);
}

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_CONTAINERS_OBJ_HASH_TABLE_WALK_H
