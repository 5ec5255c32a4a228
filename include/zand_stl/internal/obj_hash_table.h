// NOT PART OF THE INTERFACE. Callers must not include or use this header:
// nothing declared here is exported, and it may change in any release.
// ZAND_OBJ_MAP holds the table by value, so the map's declaration needs it;
// only the table's size and alignment matter to callers.
//
// OBJ_HASH_TABLE: a linear-hashing table from text keys, matched without
// regard to ASCII case, to non-owning ZAND_OBJ* values. It grows one bucket
// at a time, splitting one older bucket, and its walk order, the map's, is
// bucket by bucket in ascending bucket number and inside a bucket in
// ascending key order. Its entries come from ObjHashEntryBlocks; the slot
// table (ObjHashSlotTable) says where each bucket's entries are: in the
// table itself while there is one bucket, otherwise from the bucket's head
// leaf, a cache line of up to six entries with a byte of each one's hash,
// followed by more leaves or, past 32 entries, an ordered index of them.
//
// Invariants, true between any two operations:
//  1. mask() + 1 is the smallest power of two that is at least
//     bucket_count, and at least 2; each entry lies in the bucket
//     bucket_of(key_hash(key)) and holds that hash.
//  2. Inside a bucket the entries ascend by key order, no two of them
//     equal.
//  3. One bucket holds at most four entries, in the slot table. Every
//     other bucket's head is a chain (its leaves full but the last, at most
//     32 entries unless memory for an index ran out) or the summary of an
//     index whose leaves hold 1 to 6 entries each; each leaf's tags are its
//     entries' tag_of(hash).
//  4. Every entry lies inside a block of m_blocks, and the buckets hold
//     m_count entries in all.
// Hence the walk order of a table filled from empty depends only on the
// set of keys and their count, never on the order of insertion: bucket_count
// is 1 up to 4 entries and a quarter of the entry count, rounded up, beyond.
// Finding, inserting and stepping a walk take O(log n) key comparisons
// whatever the keys, O(1) for keys that arrive by chance.
#ifndef ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
#define ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "zand_stl/internal/obj_hash_entry_blocks.h"
#include "zand_stl/internal/obj_hash_slot_table.h"
#include "zand_stl/zand_obj.h"

namespace zand_internal {

#if defined(_MSC_VER)
// Builds with Microsoft's compiler have always begun the table with an
// empty member, which takes room there; it keeps the map's size.
struct MsvcLayoutPlaceholder {};
#endif

class OBJ_HASH_TABLE {
 public:
  // One empty bucket. Allocates nothing, and neither does destroying a
  // table that never held more than four entries.
  OBJ_HASH_TABLE() noexcept : m_count(0) {}
  OBJ_HASH_TABLE(const OBJ_HASH_TABLE&) = delete;
  OBJ_HASH_TABLE& operator=(const OBJ_HASH_TABLE&) = delete;
  ~OBJ_HASH_TABLE() {
    if (m_slots.bucket_count() != 1) {
      release_buckets();
    }
  }

  // The bucket of a hash under the current mask and bucket_count.
  std::uint64_t bucket_of(std::uint64_t hash) const noexcept;

  // The entry whose key equals `key`, or null. Allocates nothing.
  ObjHashEntry* find_entry(const std::string& key) const noexcept;

  // Stores `value` under `key`: an entry with an equal key takes the value
  // (its key keeps its stored form); otherwise a new entry is inserted and
  // the table grows by a bucket if its load calls for it (the 5th, 9th,
  // 13th, ... entry). Returns true when it inserted. Throws std::bad_alloc,
  // or std::length_error at the maximum size; the table is then exactly as
  // it was. When memory for a long bucket's index runs out, the bucket
  // stays a chain, still correct, and is indexed at a later insertion.
  bool insert_or_assign(const std::string& key, ZAND_OBJ* value);

  // Frees every entry and all storage, and returns to one bucket.
  void clear_entries() noexcept;

  // Makes this table an exact copy of `source` (not this table itself): the
  // same keys, values, buckets and walk order, the entries laid out in walk
  // order. If copying fails, this table is left valid and empty and the
  // failure passes on; it then has the source's bucket_count if the
  // source's slots could be allocated, and its own otherwise.
  void copy_from(const OBJ_HASH_TABLE& source);

  // The walk: the first entry, or null when the table is empty; the entry
  // after `entry`, or null after the last. A position stays valid until
  // its entry is freed; an insertion never frees one, though its growth may
  // move the entry to the new last bucket. The table keeps where the walk
  // stands, so that a step from the entry it returned last is short.
  ObjHashEntry* first() noexcept {
    return m_count == 0 ? nullptr : first_entry();
  }
  // The step within a leaf is defined inline in the library's own
  // obj_hash_table_walk.h, since a walk takes it for most entries.
  inline ObjHashEntry* next(const ObjHashEntry* entry) noexcept;

  std::uint64_t entry_count() const noexcept { return m_count; }
  std::uint64_t bucket_count() const noexcept { return m_slots.bucket_count(); }
  std::uint64_t mask() const noexcept;

#ifndef NDEBUG
  // Checks the invariants; returns an empty string when they hold, or a
  // description of the first violation. Debug builds only.
  std::string invariant_violation() const;
  // The buckets that keep an index. Debug builds only.
  std::uint64_t indexed_buckets() const noexcept;
#endif

 private:
  std::uint64_t entries_ahead() const noexcept;
  void mark_filled(std::uint64_t b) noexcept;
  ObjHashEntry* first_entry() noexcept;
  ObjHashEntry* first_from(std::uint64_t b) noexcept;
  ObjHashEntry* stand_at(const ObjHashLeaf* leaf, std::size_t place,
                         std::uint64_t bucket) noexcept;
  ObjHashEntry* next_beyond(const ObjHashEntry* entry) noexcept;
  void insert_small(ObjHashEntry* entry) noexcept;
  void grow_from_small(ObjHashEntry* entry) noexcept;
  void copy_entries(const OBJ_HASH_TABLE& source);
  void release_buckets() noexcept;
  void free_entries() noexcept;

#if defined(_MSC_VER)
  [[maybe_unused]] MsvcLayoutPlaceholder m_msvc_layout_placeholder;
#endif
  // Entries in all buckets.
  std::uint64_t m_count;
  ObjHashEntryBlocks m_blocks;
  // Where each bucket's entries are, and the bucket count, from which the
  // mask follows.
  ObjHashSlotTable m_slots;
};

}  // namespace zand_internal

#endif  // ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
