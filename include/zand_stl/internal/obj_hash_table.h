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
//     and inside a bucket the entries ascend by key_less.
//  3. Each entry lies in the bucket bucket_of(key_hash(key)).
//  4. Slot bucket_count and every slot after it hold the end element, so
//     an empty bucket's slot holds the first entry of the next non-empty
//     bucket (or the end element).
//  5. No two entries have equal keys.
//  6. There are at least bucket_count + 1 slots.
// Hence the chain order depends only on the set of keys and their count,
// never on the order of insertion.
#ifndef ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
#define ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H

#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "zand_stl/zand_obj.h"

namespace zand_internal {

// One entry. The chain node around it supplies the next and prev links.
struct ObjHashEntry {
  ObjHashEntry(const std::string& k, ZAND_OBJ* v) : key(k), value(v) {}

  const std::string key;  // as first stored, embedded zero bytes and all
  ZAND_OBJ* value;        // non-owning; null is an ordinary value
};

class OBJ_HASH_TABLE {
 public:
  using Chain = std::list<ObjHashEntry>;
  using Position = Chain::iterator;
  using ConstPosition = Chain::const_iterator;

  // The most entries the table holds: one more raises "list<T> too long".
  static constexpr std::uint64_t kMaxEntries = 0x555555555555555;
  // The most slots the bucket table may have: lengthening it beyond raises
  // "vector<T> too long".
  static constexpr std::uint64_t kMaxSlots = 0x1FFFFFFFFFFFFFFF;
  static constexpr std::uint64_t kInitialSlots = 9;

  // The initial state: empty chain, 9 slots holding the end element,
  // mask 1, one bucket.
  OBJ_HASH_TABLE();
  OBJ_HASH_TABLE(const OBJ_HASH_TABLE&) = delete;
  OBJ_HASH_TABLE& operator=(const OBJ_HASH_TABLE&) = delete;
  ~OBJ_HASH_TABLE();

  // h = h * 17 + byte over the key's bytes up to its first zero byte, the
  // letters A-Z folded to a-z and each byte read as a signed 8-bit number.
  static std::uint64_t key_hash(const std::string& key) noexcept;

  // Case-insensitive order: bytes compared unsigned with A-Z folded to a-z,
  // up to the first zero byte, which also ends the key.
  static bool key_less(const std::string& a, const std::string& b) noexcept;

  // The bucket of a hash under the current mask and bucket_count.
  std::uint64_t bucket_of(std::uint64_t hash) const noexcept;

  // The entry whose key equals `key`, or end(). Allocates nothing.
  Position find_entry(const std::string& key) noexcept;
  ConstPosition find_entry(const std::string& key) const noexcept;

  // Inserts `key` with `value` unless an equal key is present; returns the
  // entry and whether this call made it. May first add one bucket, even when
  // the key turns out to be present, so callers look the key up first. On
  // std::bad_alloc or a length error nothing has changed.
  std::pair<Position, bool> insert_entry(const std::string& key,
                                         ZAND_OBJ* value);

  // find_entry and insert_entry for a key whose key_hash is already known,
  // so that a lookup followed by an insertion hashes the key once.
  Position find_hashed(const std::string& key, std::uint64_t hash) noexcept;
  std::pair<Position, bool> insert_hashed(const std::string& key,
                                          std::uint64_t hash, ZAND_OBJ* value);

  // find_entry, then insert_entry when the key is absent, as one call that
  // hashes the key once and, unless the table grows, scans its bucket once.
  // Returns what the call that ran returned; failures as insert_entry.
  std::pair<Position, bool> find_or_insert(const std::string& key,
                                           ZAND_OBJ* value);

  // Frees every entry and returns to the initial state. The end element,
  // and so end(), stays valid.
  void clear_entries() noexcept;

  // Makes this table an exact copy of `source` (not this table itself): the
  // same keys, values, buckets and chain order. If copying fails, this table
  // is left valid and empty (keeping the source's mask and bucket_count)
  // and the failure passes on.
  void copy_from(const OBJ_HASH_TABLE& source);

  Position first() noexcept { return m_chain.begin(); }
  Position end() noexcept { return m_chain.end(); }
  ConstPosition first() const noexcept { return m_chain.begin(); }
  ConstPosition end() const noexcept { return m_chain.end(); }

  std::uint64_t entry_count() const noexcept { return m_chain.size(); }
  std::uint64_t mask() const noexcept { return m_mask; }
  std::uint64_t bucket_count() const noexcept { return m_bucket_count; }
  std::uint64_t slot_count() const noexcept { return m_slots.size(); }

#ifndef NDEBUG
  // Checks the six invariants; returns an empty string when they hold, or
  // a description of the first violation. Debug builds only.
  std::string invariant_violation() const;
#endif

 private:
  std::uint64_t add_bucket();  // returns the bucket it split
  std::pair<Position, bool> place_in_bucket(const std::string& key,
                                            std::uint64_t b) const noexcept;
  // Links the one entry of `made` into bucket b before `before`; raises the
  // length error first when the table is full.
  Position link_entry(Chain& made, std::uint64_t b, Position before);

  // The entry chain; its sentinel is the end element and it keeps the count.
  Chain m_chain;
  // Slot b holds the first position of bucket b; there is one closing slot
  // after the last bucket, and spare ones up to a power of two plus one.
  std::vector<Position> m_slots;
  // Hash bits that select a bucket: one less than a power of two, >= 1.
  std::uint64_t m_mask;
  // Buckets in use, numbered 0 to bucket_count - 1.
  std::uint64_t m_bucket_count;
};

}  // namespace zand_internal

#endif  // ZAND_STL_INTERNAL_OBJ_HASH_TABLE_H
