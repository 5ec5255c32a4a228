// The hash table's invariant check, for debug builds: every bucket's leaves,
// tags and index against its entries, the entries against their keys,
// hashes and blocks. The tests run it after every change they make.
#include "zand_stl/internal/obj_hash_table.h"

#ifndef NDEBUG

#include "containers/obj_hash_bucket.h"
#include "containers/obj_hash_index.h"
#include "containers/obj_hash_key.h"
#include "containers/obj_hash_slot_table_heads.h"

namespace zand_internal {

namespace {

std::string in_bucket(std::uint64_t b, const char* what) {
  return "bucket " + std::to_string(b) + ": " + what;
}

// The leaves below `node` are those chained from `leaf` on, in order, and
// each child's low entry is the first under it. Moves `leaf` past them.
// The node's range runs from lo to hi (null where it is open); the keys
// there agree in its skip words, and its words are its low keys' there.
std::string check_node(const ObjHashIndexNode& node, std::uint32_t height,
                       const ObjHashEntry* lo, const ObjHashEntry* hi,
                       const ObjHashLeaf*& leaf, const ObjHashEntry*& low) {
  if (node.height != height || node.count == 0 ||
      node.count > ObjHashIndexNode::kFanout) {
    return "an index node is malformed";
  }
  if (node.skip != 0 && (lo == nullptr || hi == nullptr ||
                         key_agreed_words(lo->key(), lo->key_size, hi->key(),
                                          hi->key_size) < node.skip)) {
    return "an index node's keys do not agree in its skip";
  }
  for (std::size_t i = 1; i < node.count; ++i) {
    if (node.word[i] != key_ordered_word(node.low[i]->key(),
                                         node.low[i]->key_size, node.skip)) {
      return "an index node's word is wrong";
    }
  }
  for (std::size_t i = 0; i < node.count; ++i) {
    const ObjHashEntry* first = nullptr;
    if (height == 1) {
      if (node.child[i] != leaf || leaf == nullptr) {
        return "the index and its leaves disagree";
      }
      first = leaf->chain.entries[0];
      leaf = leaf->chain.next;
    } else {
      std::string failure =
          check_node(*static_cast<const ObjHashIndexNode*>(node.child[i]),
                     height - 1, i == 0 ? lo : node.low[i],
                     i + 1 < node.count ? node.low[i + 1] : hi, leaf, first);
      if (!failure.empty()) {
        return failure;
      }
    }
    if (i == 0) {
      low = first;
    } else if (node.low[i] != first) {
      return "an index node's low entry is wrong";
    }
  }
  return {};
}

// The shape of a bucket's leaves: a chain full but its last, or an index
// over leaves of one to six entries; tags that match their entries.
std::string check_leaves(const ObjHashLeaf& head) {
  const ObjHashLeaf* leaf = &head;
  if (head.kind == ObjHashLeaf::kIndexed) {
    const ObjHashLeaf::IndexSummary& index = head.index;
    leaf = index.first;
    const ObjHashEntry* low = nullptr;
    std::string failure =
        check_node(*index.root, index.height, nullptr, nullptr, leaf, low);
    if (!failure.empty()) {
      return failure;
    }
    if (leaf != nullptr) {
      return "leaves follow the index's last";
    }
    std::uint64_t size = 0;
    std::uint64_t all = ~std::uint64_t{0};
    std::uint64_t any = 0;
    obj_hash_bucket::for_each(head, [&](const ObjHashEntry* e) {
      ++size;
      all &= e->hash;
      any |= e->hash;
    });
    if (size != index.size || all != index.all || any != index.any ||
        size <= obj_hash_bucket::kIndexAbove) {
      return "an index's summary is wrong";
    }
    leaf = index.first;
  } else if (head.kind != ObjHashLeaf::kChain) {
    return "a head of no known kind";
  }
  for (; leaf != nullptr; leaf = leaf->chain.next) {
    const bool full = leaf->count == ObjHashLeaf::kCapacity;
    if (leaf->count > ObjHashLeaf::kCapacity ||
        (head.kind == ObjHashLeaf::kChain && leaf->chain.next != nullptr &&
         !full) ||
        (head.kind == ObjHashLeaf::kIndexed && leaf->count == 0)) {
      return "a leaf holds a wrong number of entries";
    }
    for (std::size_t i = 0; i < leaf->count; ++i) {
      if (leaf->tags[i] != tag_of(leaf->chain.entries[i]->hash)) {
        return "a tag is wrong";
      }
    }
  }
  return {};
}

}  // namespace

std::string OBJ_HASH_TABLE::invariant_violation() const {
  const std::uint64_t buckets = bucket_count();
  if (buckets == 1 && m_count > ObjHashSlotTable::kSmallEntries) {
    return "one bucket holds more than it has room for";
  }
  std::uint64_t count = 0;
  std::string failure;
  const auto check_entry = [&](std::uint64_t b, const ObjHashEntry* e,
                               const ObjHashEntry* prev) {
    if (!m_blocks.hold(e, sizeof(ObjHashEntry) + e->key_size + 1)) {
      return in_bucket(b, "an entry lies outside every block");
    }
    if (e->key()[e->key_size] != '\0' ||
        e->hash != key_hash(e->key(), e->key_size)) {
      return in_bucket(b, "an entry is damaged");
    }
    if (bucket_of(e->hash) != b) {
      return in_bucket(b, "an entry lies in another's bucket");
    }
    if (prev != nullptr &&
        key_compare(prev->key(), prev->key_size, e->key(), e->key_size) >= 0) {
      return in_bucket(b, "not strictly ascending");
    }
    return std::string();
  };
  if (buckets == 1) {
    for (std::uint64_t i = 0; i < m_count && failure.empty(); ++i) {
      failure = check_entry(0, m_slots.small()[i],
                            i == 0 ? nullptr : m_slots.small()[i - 1]);
    }
    return failure;
  }
  for (std::uint64_t b = 0; b < buckets && failure.empty(); ++b) {
    const ObjHashLeaf& head = m_slots[b];
    failure = check_leaves(head);
    const ObjHashEntry* prev = nullptr;
    obj_hash_bucket::for_each(head, [&](const ObjHashEntry* e) {
      if (failure.empty()) {
        failure = check_entry(b, e, prev);
      }
      prev = e;
      ++count;
    });
  }
  // The marks: the next filled bucket from each bucket on, as the slot
  // table finds it, is the next that holds an entry.
  for (std::uint64_t b = buckets, next = buckets; failure.empty() && b-- > 0;) {
    if (obj_hash_bucket::first_leaf(m_slots[b]) != nullptr) {
      next = b;
    }
    if (m_slots.next_filled(b) != next) {
      failure = in_bucket(b, "the marks of filled buckets are wrong");
    }
  }
  if (failure.empty() && count != m_count) {
    return "the buckets hold " + std::to_string(count) + " entries, not " +
           std::to_string(m_count);
  }
  return failure;
}

std::uint64_t OBJ_HASH_TABLE::indexed_buckets() const noexcept {
  std::uint64_t indexed = 0;
  for (std::uint64_t b = 0; bucket_count() > 1 && b < bucket_count(); ++b) {
    indexed += m_slots[b].kind == ObjHashLeaf::kIndexed ? 1U : 0U;
  }
  return indexed;
}

}  // namespace zand_internal

#endif  // NDEBUG
