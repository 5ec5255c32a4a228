// NOT PART OF THE INTERFACE. Callers must not include or use this header:
// nothing declared here is exported, and it may change in any release.
// ZAND_OBJ_MAP holds the table by value, so the map's declaration needs it;
// only the table's size and alignment matter to callers.
//
// OBJ_HASH_TABLE: a linear-hashing table from text keys, matched without
// regard to ASCII case, to non-owning ZAND_OBJ* values. It grows one bucket
// at a time (splitting one older bucket) and keeps every entry on a single
// circular chain whose order is the map's walk order. The chain is singly
// linked; a bucket is reached through the element just before it, which is
// what linking an entry in at the bucket's front needs. Its entries come
// from ObjHashEntryBlocks and its slots from ObjHashSlotTable.
//
// Invariants, true between any two operations:
//  1. before(b), for 0 <= b <= bucket_count, is the last element of the
//     chain ahead of bucket b: the last entry of buckets 0 to b - 1, or the
//     end element when those are all empty. before(0) is the end element
//     and before(bucket_count) the chain's last element. Bucket b is the run
//     after before(b) up to and including before(b + 1); it is empty when
//     the two are the same element.
//  2. The chain holds bucket 0, then bucket 1, ... up to bucket_count - 1,
//     and then comes back to the end element; inside a bucket the entries
//     ascend by key order, no two of them equal.
//  3. Each entry lies in the bucket bucket_of(key_hash(key)), and holds
//     that hash.
//  4. mask() + 1 is the smallest power of two that is at least
//     bucket_count, and at least 2.
//  5. With more than one bucket, the slot of bucket b < bucket_count holds
//     before(b) and exactly the signature bits of its entries' hashes.
//     before(bucket_count) is m_last; one bucket has no slot.
//  6. Every entry lies inside a block of m_blocks.
// Hence the chain order of a table filled from empty depends only on the
// set of keys and their count, never on the order of insertion: bucket_count
// is 1 up to 4 entries and a quarter of the entry count, rounded up, beyond.
#ifndef ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
#define ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H

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
  // An empty chain and one bucket. Allocates nothing, and neither does
  // destroying a table that never held an entry.
  OBJ_HASH_TABLE() noexcept : m_end{&m_end}, m_last(&m_end), m_count(0) {}
  OBJ_HASH_TABLE(const OBJ_HASH_TABLE&) = delete;
  OBJ_HASH_TABLE& operator=(const OBJ_HASH_TABLE&) = delete;

  // The bit a hash contributes to its bucket's signature.
  static std::uint64_t signature_bit(std::uint64_t hash) noexcept {
    return std::uint64_t{1} << ((hash * 0x9E3779B97F4A7C15U) >> 58);
  }

  // The bucket of a hash under the current mask and bucket_count.
  std::uint64_t bucket_of(std::uint64_t hash) const noexcept;

  // The entry whose key equals `key`, or null. Allocates nothing.
  ObjHashEntry* find_entry(const std::string& key) const noexcept;

  // Stores `value` under `key`: an entry with an equal key takes the value
  // (its key keeps its stored form); otherwise a new entry is inserted,
  // after the table has grown by a bucket if its load calls for it (the
  // 5th, 9th, 13th, ... entry). Returns true when it inserted. Throws
  // std::bad_alloc, or std::length_error at the maximum size; the table is
  // then exactly as it was.
  bool insert_or_assign(const std::string& key, ZAND_OBJ* value);

  // Frees every entry and all storage, and returns to one bucket. The end
  // element, and so end(), stays valid.
  void clear_entries() noexcept;

  // Makes this table an exact copy of `source` (not this table itself): the
  // same keys, values, buckets and chain order, the entries laid out in
  // chain order. If copying fails, this table is left valid and empty and
  // the failure passes on; it then has the source's bucket_count if the
  // source's slots could be allocated, and its own otherwise.
  void copy_from(const OBJ_HASH_TABLE& source);

  // Chain positions: an entry, or the end element.
  ChainLink* first() noexcept { return m_end.next; }
  const ChainLink* first() const noexcept { return m_end.next; }
  ChainLink* end() noexcept { return &m_end; }
  const ChainLink* end() const noexcept { return &m_end; }
  static ObjHashEntry* entry(ChainLink* position) noexcept {
    return static_cast<ObjHashEntry*>(position);
  }
  static const ObjHashEntry* entry(const ChainLink* position) noexcept {
    return static_cast<const ObjHashEntry*>(position);
  }

  std::uint64_t entry_count() const noexcept { return m_count; }
  std::uint64_t bucket_count() const noexcept { return m_slots.bucket_count(); }
  std::uint64_t mask() const noexcept;

#ifndef NDEBUG
  // Checks the invariants; returns an empty string when they hold, or a
  // description of the first violation. Debug builds only.
  std::string invariant_violation() const;
#endif

 private:
  ChainLink* before(std::uint64_t b) const noexcept;
  void set_before(std::uint64_t b, ChainLink* element) noexcept;
  ObjHashEntry* find_hashed(const std::string& key,
                            std::uint64_t hash) const noexcept;
  void split_bucket() noexcept;
  void link_entry(ObjHashEntry* entry, std::uint64_t b) noexcept;
  void append_run(ChainLink* first, ChainLink* last) noexcept;
  void copy_entries(const OBJ_HASH_TABLE& source);
  void free_entries() noexcept;

#if defined(_MSC_VER)
  [[maybe_unused]] MsvcLayoutPlaceholder m_msvc_layout_placeholder;
#endif
  // The chain's end element; its next is the first position.
  ChainLink m_end;
  // The chain's last element: before(bucket_count).
  ChainLink* m_last;
  // Entries on the chain.
  std::uint64_t m_count;
  ObjHashEntryBlocks m_blocks;
  // The slots, and the bucket count, from which the mask follows.
  ObjHashSlotTable m_slots;
};

}  // namespace zand_internal

#endif  // ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
