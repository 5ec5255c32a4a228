// One bucket of the hash table: its entries in ascending key order, reached
// from its head leaf in the slot table. A bucket of up to kIndexAbove
// entries is a chain: the head and the leaves linked from it, all full but
// the last. A longer one keeps its entries under an ordered index
// (obj_hash_index.h) and its head holds the index's summary, so that keys
// chosen to share a bucket cost O(log n) each rather than O(n). Internal.
#ifndef ZAND_STL_SRC_CONTAINERS_OBJ_HASH_BUCKET_H
#define ZAND_STL_SRC_CONTAINERS_OBJ_HASH_BUCKET_H

#include <cstddef>
#include <cstdint>

#include "containers/obj_hash_index.h"
#include "containers/obj_hash_key.h"
#include "containers/obj_hash_leaf.h"
#include "containers/obj_hash_spares.h"

namespace zand_internal::obj_hash_bucket {

// Buckets longer than this keep an index. Buckets of keys that arrive by
// chance hold four entries on average and never come near it. (A build
// for testing the benchmarks, ZAND_STL_NO_BUCKET_INDEX, keeps none.)
#if defined(ZAND_STL_NO_BUCKET_INDEX)
constexpr std::uint64_t kIndexAbove = UINT64_MAX;
#else
constexpr std::uint64_t kIndexAbove = 32;
#endif

// The entry whose key, `size` bytes from `key` with a zero after them,
// equals it, or null; `hash` is its hash.
ObjHashEntry* find(const ObjHashLeaf& head, const char* key, std::size_t size,
                   std::uint64_t hash) noexcept;

// The leaf of the bucket's first entries, chained to the others, or null
// when it is empty.
inline const ObjHashLeaf* first_leaf(const ObjHashLeaf& head) noexcept {
  if (head.kind == ObjHashLeaf::kIndexed) {
    return head.index.first;
  }
  return head.count != 0 ? &head : nullptr;
}

// The leaf that holds `entry`, which the bucket holds.
const ObjHashLeaf* leaf_of(const ObjHashLeaf& head,
                           const ObjHashEntry* entry) noexcept;

std::uint64_t size(const ObjHashLeaf& head) noexcept;

// Where a key lies in a bucket, or would go: its entry, or null; and for
// an indexed bucket the way down to its place, so that an insertion after
// the lookup descends no more.
struct Place {
  ObjHashEntry* found;
  obj_hash_index::Place index;
};

// Finds `key`, of hash `hash`, as find() does, and where it would go.
void locate(const ObjHashLeaf& head, const SoughtKey& key, std::uint64_t hash,
            Place& place) noexcept;

// Reserves in `spares` what inserting at `place`, where the key was not
// found, takes. Throws std::bad_alloc.
void reserve_insertion(const ObjHashLeaf& head, const Place& place,
                       ObjHashSpares& spares);

// Inserts `entry`, of key `key`, at `place` with what reserve_insertion()
// reserved. Returns true when the bucket is now a chain longer than
// kIndexAbove, which index_if_long() would index.
bool insert(ObjHashLeaf& head, ObjHashEntry* entry, const SoughtKey& key,
            const Place& place, ObjHashSpares& spares) noexcept;

// Moves the entries of `from` whose hash has `bit` set to the bucket of the
// unset head `to`, both keeping their order. Takes leaves and nodes only
// from those it frees, and indexes a half that comes out long if memory
// allows (a half left a chain is slower, never wrong).
void split(ObjHashLeaf& from, ObjHashLeaf& to, std::uint64_t bit,
           ObjHashSpares& spares) noexcept;

// Gives the chain's leaves, or the index's leaves and nodes, to `spares`,
// and leaves the head empty.
void release(ObjHashLeaf& head, ObjHashSpares& spares) noexcept;

// Indexes a chain longer than kIndexAbove, with what `spares` holds or can
// get without throwing; false when it stays a chain.
bool index_if_long(ObjHashLeaf& head, ObjHashSpares& spares) noexcept;

// Indexes a chain longer than kIndexAbove, allocating what that takes.
// Throws std::bad_alloc, leaving it a chain.
void index_long(ObjHashLeaf& head, ObjHashSpares& spares);

// Calls visit(entry) for each entry, in ascending key order.
template <typename Visit>
void for_each(const ObjHashLeaf& head, Visit visit) {
  const ObjHashLeaf* leaf =
      head.kind == ObjHashLeaf::kIndexed ? head.index.first : &head;
  for (; leaf != nullptr; leaf = leaf->chain.next) {
    for (std::size_t i = 0; i < leaf->count; ++i) {
      visit(leaf->chain.entries[i]);
    }
  }
}

// Fills an empty bucket with entries given in ascending key order.
class Appender {
 public:
  explicit Appender(ObjHashLeaf& head) noexcept : m_leaf(&head) {
    head.clear();
  }

  // Whether the next entry needs a leaf from the spares.
  bool full() const noexcept { return m_leaf->count == ObjHashLeaf::kCapacity; }
  void append(ObjHashEntry* entry, ObjHashSpares& spares) noexcept;

 private:
  ObjHashLeaf* m_leaf;  // the last leaf
};

}  // namespace zand_internal::obj_hash_bucket

#endif  // ZAND_STL_SRC_CONTAINERS_OBJ_HASH_BUCKET_H
