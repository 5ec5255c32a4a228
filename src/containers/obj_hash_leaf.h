// The leaf: one cache line that holds up to six of a bucket's entries in key
// order, with a byte of each one's hash beside it, so that a lookup reads
// the leaf and then only the entry whose byte matches. Internal.
#ifndef ZAND_STL_SRC_CONTAINERS_OBJ_HASH_LEAF_H
#define ZAND_STL_SRC_CONTAINERS_OBJ_HASH_LEAF_H

#include <cstddef>
#include <cstdint>

#include "util/words.h"
#include "zand_stl/internal/obj_hash_entry_blocks.h"

namespace zand_internal {

struct ObjHashIndexNode;

// A bucket begins with the leaf in its slot, the head. A short bucket (kind
// kChain) is the head and the leaves chained from it, all full but the
// last. A long one (kIndexed) keeps its entries in leaves under an ordered
// index, whose summary the head holds instead of entries.
struct ObjHashLeaf {
  static constexpr std::size_t kCapacity = 6;
  static constexpr std::uint8_t kChain = 0;
  static constexpr std::uint8_t kIndexed = 1;

  // What the head of an indexed bucket holds in place of entries.
  struct IndexSummary {
    ObjHashIndexNode* root;
    ObjHashLeaf* first;    // the leaf of the smallest keys
    std::uint64_t size;    // entries in the bucket
    std::uint64_t all;     // the bits every entry's hash has
    std::uint64_t any;     // the bits some entry's hash has
    std::uint32_t height;  // levels of nodes above the leaves, 1 or more
  };

  // What every leaf but an indexed bucket's head holds.
  struct Chain {
    ObjHashEntry* entries[kCapacity];  // ascending key order
    ObjHashLeaf* next;  // the bucket's next leaf (of a chain or index)
  };

  std::uint8_t tags[kCapacity];  // tag_of(hash) of each entry
  std::uint8_t count;            // entries held here
  std::uint8_t kind;             // of a head: kChain or kIndexed
  union {
    Chain chain;
    IndexSummary index;
  };

  // An empty head.
  void clear() noexcept {
    count = 0;
    kind = kChain;
    chain.next = nullptr;
  }

  // The entries whose tag equals `tag`: bit 7 of byte i set for entry i.
  std::uint64_t matches(std::uint8_t tag) const noexcept {
    const std::uint64_t word = words::load_little_endian<std::uint64_t>(tags);
    const std::uint64_t used =
        (std::uint64_t{1} << (8 * count)) - 1;  // count is at most 6
    return words::zero_bytes(word ^ (tag * words::kEachByte)) & used &
           words::kHighBits;
  }

  // Puts `entry` at place i of this leaf, which has room; the entries from
  // i on move up one place.
  void insert_at(std::size_t i, ObjHashEntry* entry) noexcept {
    for (std::size_t j = count; j > i; --j) {
      chain.entries[j] = chain.entries[j - 1];
      tags[j] = tags[j - 1];
    }
    put(i, entry);
    ++count;
  }

  // Writes `entry` at place i, with its tag.
  void put(std::size_t i, ObjHashEntry* entry) noexcept;
};

static_assert(sizeof(ObjHashLeaf) == 64, "a leaf is one cache line");

// A byte of a hash for the leaves, from all of its bits: within a bucket
// the low bits are alike, and short keys leave the high bits clear.
inline std::uint8_t tag_of(std::uint64_t hash) noexcept {
  return static_cast<std::uint8_t>((hash * 0x9E3779B97F4A7C15U) >> 56);
}

inline void ObjHashLeaf::put(std::size_t i, ObjHashEntry* entry) noexcept {
  chain.entries[i] = entry;
  tags[i] = tag_of(entry->hash);
}

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_CONTAINERS_OBJ_HASH_LEAF_H
