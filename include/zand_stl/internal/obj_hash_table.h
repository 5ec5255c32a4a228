// NOT PART OF THE INTERFACE. Callers must not include or use this header:
// nothing declared here is exported, and it may change in any release.
// ZAND_OBJ_MAP holds the table by value, so the map's declaration needs it.
//
// OBJ_HASH_TABLE: a linear-hashing table from text keys, matched without
// regard to ASCII case, to non-owning ZAND_OBJ* values. It grows one bucket
// at a time (splitting one older bucket) and keeps every entry on a single
// circular chain whose order is the map's walk order.
//
// Invariants, true between any two operations:
//  1. Bucket b (0 <= b < bucket_count) is the run of the chain from the
//     position in slot b up to, not including, the position in slot b + 1;
//     it is empty when both slots hold the same position.
//  2. The chain holds bucket 0, then bucket 1, ... up to bucket_count - 1,
//     and inside a bucket the entries ascend by key order.
//  3. Each entry lies in the bucket bucket_of(key_hash(key)), and holds
//     that hash.
//  4. Slot bucket_count, the closing slot, holds the end element, so an
//     empty bucket's slot holds the first entry of the next non-empty
//     bucket (or the end element).
//  5. No two entries have equal keys.
//  6. The bucket table has slot_count() = max(8, mask + 1) + 1 slots, at
//     least bucket_count + 1. Only slots 0 to bucket_count are stored and
//     meaningful: the ones after the closing slot stand for the end element
//     but are null in a new table and stale after clear_entries, and are
//     set as each bucket is added.
//  7. The signature of slot b has exactly the bits signature_bit() gives
//     for the hashes of bucket b's entries (none for an empty bucket).
// Hence the chain order depends only on the set of keys and their count,
// never on the order of insertion.
//
// Storage: entries are carved, in the order they are made, from blocks the
// table allocates, and are freed only all together (the table has no
// single-entry removal). The slots live in segments of 16, 16, 32, 64, ...
// slots reached through a directory, so the table lengthens without moving
// a slot; a slot is stored only once a bucket needs it, since every slot
// past the buckets holds the end element anyway.
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
  ChainLink* prev;
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

// The first chain position of a bucket, and a summary of the hashes in it:
// a lookup whose hash's bit is missing from the signature is answered
// without touching an entry.
struct ObjHashSlot {
  ChainLink* first;
  std::uint64_t signature;
};

struct ObjHashSlotDirectory;

// The key functions carry no state. Builds with Microsoft's compiler keep
// the member the table's layout has always begun with there.
struct ObjHashKeyFunctions {};

class OBJ_HASH_TABLE {
 public:
  // The most entries the table holds: one more raises "list<T> too long".
  static constexpr std::uint64_t kMaxEntries = 0x555555555555555;
  // The most slots the bucket table may have: lengthening it beyond raises
  // "vector<T> too long".
  static constexpr std::uint64_t kMaxSlots = 0x1FFFFFFFFFFFFFFF;

  // The initial state: empty chain, mask 1, one bucket, so 9 slots, of
  // which slots 0 and 1 are stored and hold the end element.
  OBJ_HASH_TABLE();
  OBJ_HASH_TABLE(const OBJ_HASH_TABLE&) = delete;
  OBJ_HASH_TABLE& operator=(const OBJ_HASH_TABLE&) = delete;
  ~OBJ_HASH_TABLE();

  // The bit a hash contributes to its bucket's signature.
  static std::uint64_t signature_bit(std::uint64_t hash) noexcept {
    return std::uint64_t{1} << ((hash * 0x9E3779B97F4A7C15U) >> 58);
  }

  // The bucket of a hash under the current mask and bucket_count.
  std::uint64_t bucket_of(std::uint64_t hash) const noexcept {
    std::uint64_t b = hash & m_mask;
    if (b >= m_bucket_count) {
      b -= (m_mask >> 1) + 1;
    }
    return b;
  }

  // The entry whose key equals `key`, or null. Allocates nothing.
  ObjHashEntry* find_entry(const std::string& key) const noexcept;

  // Stores `value` under `key`: an entry with an equal key takes the value
  // (its key keeps its stored form); otherwise a new entry is inserted,
  // after the table has grown by a bucket if its load calls for it. Returns
  // true when it inserted. Throws std::bad_alloc, or std::length_error at
  // the maximum size; the table is then exactly as it was.
  bool insert_or_assign(const std::string& key, ZAND_OBJ* value);

  // Frees every entry and returns to the initial state. The end element,
  // and so end(), stays valid.
  void clear_entries() noexcept;

  // Makes this table an exact copy of `source` (not this table itself): the
  // same keys, values, buckets and chain order, the entries laid out in
  // chain order. If copying fails, this table is left valid and empty and
  // the failure passes on.
  void copy_from(const OBJ_HASH_TABLE& source);

  // Chain positions: an entry, or the end element.
  ChainLink* first() noexcept { return m_chain.end.next; }
  const ChainLink* first() const noexcept { return m_chain.end.next; }
  ChainLink* end() noexcept { return &m_chain.end; }
  const ChainLink* end() const noexcept { return &m_chain.end; }
  static ObjHashEntry* entry(ChainLink* position) noexcept {
    return static_cast<ObjHashEntry*>(position);
  }
  static const ObjHashEntry* entry(const ChainLink* position) noexcept {
    return static_cast<const ObjHashEntry*>(position);
  }

  std::uint64_t entry_count() const noexcept { return m_chain.count; }
  std::uint64_t mask() const noexcept { return m_mask; }
  std::uint64_t bucket_count() const noexcept { return m_bucket_count; }
  std::uint64_t slot_count() const noexcept { return slots_for_mask(m_mask); }

#ifndef NDEBUG
  // Checks the invariants; returns an empty string when they hold, or a
  // description of the first violation. Debug builds only.
  std::string invariant_violation() const;
#endif

 private:
  // The chain's end element and the entry count.
  struct EntryChain {
    ChainLink end;
    std::uint64_t count;
  };

  // Where the slots and the entries live: the slot directory, and the free
  // part of the entry block being carved.
  struct Storage {
    ObjHashSlotDirectory* directory;
    char* free;
    char* limit;
  };

  // The slot count that goes with a mask: room for max(8, mask + 1)
  // buckets and the closing slot. Lengthening the table to twice its
  // buckets when the last slot is taken is exactly doubling the mask then.
  static std::uint64_t slots_for_mask(std::uint64_t mask) noexcept {
    return (mask + 1 > 8 ? mask + 1 : 8) + 1;
  }
  // The mask once the next bucket is added: a bucket beyond it takes one
  // more hash bit.
  std::uint64_t grown_mask() const noexcept {
    return m_mask < m_bucket_count ? 2 * m_mask + 1 : m_mask;
  }
  ObjHashSlot& slot(std::uint64_t i) const noexcept;
  ObjHashEntry* find_hashed(const std::string& key,
                            std::uint64_t hash) const noexcept;
  ObjHashEntry* make_entry(const char* key, std::size_t size,
                           std::uint64_t hash, ZAND_OBJ* value);
  char* carve(std::size_t bytes);
  void ensure_slot_stored(std::uint64_t i);
  void add_bucket() noexcept;
  void link_entry(ObjHashEntry* entry, std::uint64_t b) noexcept;
  void free_entries() noexcept;
  void release_segments_after(std::uint64_t i) noexcept;
  void reset_slots() noexcept;

#if defined(_MSC_VER)
  [[maybe_unused]] ObjHashKeyFunctions m_key_functions;
#endif
  EntryChain m_chain;
  Storage m_storage;
  // Hash bits that select a bucket: one less than a power of two, >= 1.
  std::uint64_t m_mask;
  // Buckets in use, numbered 0 to bucket_count - 1.
  std::uint64_t m_bucket_count;
};

}  // namespace zand_internal

#endif  // ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
