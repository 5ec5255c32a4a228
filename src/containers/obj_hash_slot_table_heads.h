// Where the head of a bucket lies in the slot table: inline, since every
// lookup, insertion and step of a walk takes it. Internal.
#ifndef ZAND_STL_SRC_CONTAINERS_OBJ_HASH_SLOT_TABLE_HEADS_H
#define ZAND_STL_SRC_CONTAINERS_OBJ_HASH_SLOT_TABLE_HEADS_H

#include <cstdint>

#include "containers/obj_hash_leaf.h"
#include "util/builtins.h"
#include "zand_stl/internal/obj_hash_slot_table.h"

namespace zand_internal {

// Segment 0 holds heads 0 to kArrayBuckets - 1, and segment k >= 1 the heads
// from kArrayBuckets * 2^(k-1) on: those whose highest set bit is 5 + k.
inline ObjHashLeaf& ObjHashSlotTable::operator[](
    std::uint64_t b) const noexcept {
  if (m_bucket_count <= kArrayBuckets) {
    return m_form.large.heads.array[b];
  }
  if (b < kArrayBuckets) {
    return m_form.large.heads.segments[0][b];
  }
  const unsigned top = highest_set_bit(b);
  return m_form.large.heads.segments[top - 5][b - (std::uint64_t{1} << top)];
}

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_CONTAINERS_OBJ_HASH_SLOT_TABLE_HEADS_H
