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
// what linking an entry in at the bucket's front needs.
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
//     ascend by key order.
//  3. Each entry lies in the bucket bucket_of(key_hash(key)), and holds
//     that hash.
//  4. No two entries have equal keys.
//  5. mask() + 1 is the smallest power of two that is at least
//     bucket_count, and at least 2; the bucket table's slot_count() is
//     max(8, mask() + 1) + 1. These are the counts the growth rule fixes;
//     only the slots of buckets in use are stored (below).
//  6. With more than one bucket, the signature of bucket b has exactly the
//     bits signature_bit() gives for the hashes of its entries.
// Hence the chain order of a table filled from empty depends only on the
// set of keys and their count, never on the order of insertion.
//
// Storage: an empty table allocates nothing.
//  - Entries are carved, in the order they are made, from blocks the table
//    allocates: at first a block per entry, later blocks for about a
//    quarter as many entries as the table holds, up to 64 KiB. An entry
//    never lies outside its block, and a larger one gets a block of its
//    own. Entries are freed only all together (the table has no
//    single-entry removal).
//  - The slots, before(b) and the signature of each bucket b below
//    bucket_count, are stored only with two buckets or more: up to 64
//    buckets in one array of the next power of two, beyond that in
//    segments of 64, 64, 128, 256, ... slots reached through a directory,
//    so that the table lengthens without moving a slot.
#ifndef ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
#define ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "zand_stl/zand_obj.h"

namespace zand_internal {

// A link of the entry chain. The end element is a bare link; every entry
// begins with one.
struct ChainLink {
  ChainLink* next;
};

// One entry, with its key's bytes and a terminating zero right behind it.
// It never moves in memory while it lives; growth only relinks it.
struct ObjHashEntry : ChainLink {
  std::uint64_t hash;    // key_hash of the key, so that no key is rehashed
  ZAND_OBJ* value;       // non-owning; null is an ordinary value
  std::size_t key_size;  // the key as first stored, zero bytes and all

  const char* key() const noexcept {
    return reinterpret_cast<const char*>(this + 1);
  }
};

// One bucket's slot: the element before its first position, and a summary
// of the hashes in it. A lookup whose hash's bit is missing from the
// signature is answered without touching an entry.
struct ObjHashSlot {
  ChainLink* before;
  std::uint64_t signature;
};

struct ObjHashEntryBlock;

#if defined(_MSC_VER)
// Builds with Microsoft's compiler have always begun the table with an
// empty member, which takes room there; it keeps the map's size.
struct MsvcLayoutPlaceholder {};
#endif

class OBJ_HASH_TABLE {
 public:
  // The most entries the table holds: one more raises "list<T> too long".
  static constexpr std::uint64_t kMaxEntries = 0x555555555555555;
  // The most slots the bucket table may have: lengthening it beyond raises
  // "vector<T> too long".
  static constexpr std::uint64_t kMaxSlots = 0x1FFFFFFFFFFFFFFF;

  // The initial state: empty chain, one bucket, mask 1, 9 slots. Allocates
  // nothing. (Inline, as is the empty table's destructor, so that a map
  // that never holds a key costs its constructor and destructor nothing
  // more.)
  OBJ_HASH_TABLE()
  noexcept
      : m_end{&m_end},
        m_last(&m_end),
        m_count(0),
        m_blocks{nullptr, nullptr, nullptr},
        m_slots{nullptr},
        m_bucket_count(1) {}
  OBJ_HASH_TABLE(const OBJ_HASH_TABLE&) = delete;
  OBJ_HASH_TABLE& operator=(const OBJ_HASH_TABLE&) = delete;
  ~OBJ_HASH_TABLE() {
    if (m_blocks.newest != nullptr || m_bucket_count != 1) {
      clear_entries();
    }
  }

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
  // after the table has grown by a bucket if its load calls for it. Returns
  // true when it inserted. Throws std::bad_alloc, or std::length_error at
  // the maximum size; the table is then exactly as it was.
  bool insert_or_assign(const std::string& key, ZAND_OBJ* value);

  // Frees every entry and all storage, and returns to the initial state.
  // The end element, and so end(), stays valid.
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
  std::uint64_t bucket_count() const noexcept { return m_bucket_count; }
  std::uint64_t mask() const noexcept;
  std::uint64_t slot_count() const noexcept;

#ifndef NDEBUG
  // Checks the invariants, and that every entry lies inside a block of this
  // table; returns an empty string when they hold, or a description of the
  // first violation. Debug builds only.
  std::string invariant_violation() const;
#endif

 private:
  // The entry blocks: the newest (each block holds the one before), and the
  // room left in the block being carved, from free up to limit.
  struct EntryBlocks {
    ObjHashEntryBlock* newest;
    char* free;
    char* limit;
  };

  // The slots of buckets 0 to bucket_count - 1, whose form bucket_count
  // tells: none for one bucket, one array up to 64 buckets, a directory of
  // segments beyond.
  union SlotStorage {
    ObjHashSlot* array;
    ObjHashSlot** segments;
  };

  struct SlotGrowth;

  ObjHashSlot& slot(std::uint64_t b) const noexcept;
  ChainLink* before(std::uint64_t b) const noexcept;
  void set_before(std::uint64_t b, ChainLink* element) noexcept;
  ObjHashEntry* find_hashed(const std::string& key,
                            std::uint64_t hash) const noexcept;
  ObjHashEntry* make_entry(const char* key, std::size_t size,
                           std::uint64_t hash, ZAND_OBJ* value,
                           std::uint64_t entries_ahead);
  char* carve(std::size_t bytes, std::uint64_t entries_ahead);
  void prepare_growth(SlotGrowth& growth) const;
  void add_bucket(SlotGrowth& growth) noexcept;
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
  EntryBlocks m_blocks;
  SlotStorage m_slots;
  // Buckets in use, numbered 0 to bucket_count - 1; the mask follows from
  // it.
  std::uint64_t m_bucket_count;
};

}  // namespace zand_internal

#endif  // ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
