// The ordered index of a long bucket: a B+ tree over the bucket's leaves, in
// the table's case-insensitive key order, so that finding or placing a key
// among n entries of one bucket takes O(log n) comparisons however the keys
// were chosen. A bucket's keys are unique, so no tie needs breaking. Internal.
#ifndef ZAND_STL_SRC_CONTAINERS_OBJ_HASH_INDEX_H
#define ZAND_STL_SRC_CONTAINERS_OBJ_HASH_INDEX_H

#include <cstddef>
#include <cstdint>

#include "containers/obj_hash_key.h"
#include "containers/obj_hash_leaf.h"

namespace zand_internal {

class ObjHashSpares;

// A node above the leaves. Child i holds the keys from low[i] up to, not
// including, low[i + 1]; low[0] is the smallest key below the node, kept
// only for when a split passes it up, and searches never read it. Every
// key the node's range holds agrees with every other in its first `skip`
// words, none ending in them, so a search compares the word after them,
// kept here for each low key, and reads a key only on a tie.
struct ObjHashIndexNode {
  static constexpr std::size_t kFanout = 16;

  std::uint32_t count;   // children in use, 1 to kFanout
  std::uint32_t height;  // 1 when the children are leaves
  std::uint64_t skip;
  std::uint64_t word[kFanout];  // key_ordered_word(low[i], skip), i >= 1
  const ObjHashEntry* low[kFanout];
  void* child[kFanout];
};

namespace obj_hash_index {

using Summary = ObjHashLeaf::IndexSummary;

// Enough levels for any number of leaves: 16^16 = 2^64.
constexpr unsigned kMostHeight = 16;

// Where a key lies, or would go: the nodes from the root down (node[h] at
// height h) with the child taken in each, the leaf, and the key's place in
// it. One descent serves both the lookup and the insertion after it.
struct Place {
  ObjHashIndexNode* node[kMostHeight + 1];
  std::size_t child[kMostHeight + 1];
  // The node's range: the keys from lo[h] up to, not including, hi[h]; null
  // where it is open.
  const ObjHashEntry* lo[kMostHeight + 1];
  const ObjHashEntry* hi[kMostHeight + 1];
  ObjHashLeaf* leaf;
  std::size_t at;  // how many of the leaf's keys are smaller
  bool found;      // whether the entry at `at` has the key
};

// The words in which every key of the range from lo to hi agrees: none for
// an open range.
inline std::uint64_t skip_for(const ObjHashEntry* lo,
                              const ObjHashEntry* hi) noexcept {
  return lo == nullptr || hi == nullptr
             ? 0
             : key_agreed_words(lo->key(), lo->key_size, hi->key(),
                                hi->key_size);
}

// The word a node whose keys agree in `skip` words keeps for `entry`.
inline std::uint64_t word_of(const ObjHashEntry* entry,
                             std::uint64_t skip) noexcept {
  return key_ordered_word(entry->key(), entry->key_size, skip);
}

// The nodes build() takes over `leaves` leaves.
std::size_t nodes_for(std::uint64_t leaves) noexcept;

// Makes `summary` the index of the leaves chained from `first`: `leaves`
// leaves, each holding at least one entry, in ascending key order, `size`
// entries in all. Its nodes come from `spares`, which holds nodes_for().
void build(Summary& summary, ObjHashLeaf* first, std::uint64_t leaves,
           std::uint64_t size, ObjHashSpares& spares) noexcept;

// The entry whose key equals `key`, or null.
ObjHashEntry* find(const Summary& summary, const SoughtKey& key,
                   std::uint64_t hash) noexcept;

// The leaf whose range holds `key`.
ObjHashLeaf* leaf_for(const Summary& summary, const SoughtKey& key) noexcept;

// Finds where `key` lies or would go.
void locate(const Summary& summary, const SoughtKey& key,
            Place& place) noexcept;

// Reserves in `spares` what inserting at `place`, where the key was not
// found, takes. Throws std::bad_alloc.
void reserve_insertion(const Summary& summary, const Place& place,
                       ObjHashSpares& spares);

// Inserts `entry` at `place`, with what reserve_insertion() reserved.
void insert(Summary& summary, ObjHashEntry* entry, const Place& place,
            ObjHashSpares& spares) noexcept;

// Gives every node to `spares`; the leaves stay chained from summary.first.
void release_nodes(const Summary& summary, ObjHashSpares& spares) noexcept;

}  // namespace obj_hash_index

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_CONTAINERS_OBJ_HASH_INDEX_H
