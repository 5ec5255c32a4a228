// A bucket of the hash table, as a chain of leaves or under an index: find,
// walk, insert, split and release, each choosing by the head's kind.
#include "containers/obj_hash_bucket.h"

#include <algorithm>

#include "containers/obj_hash_index.h"
#include "util/builtins.h"

namespace zand_internal::obj_hash_bucket {

namespace {

constexpr std::size_t kCapacity = ObjHashLeaf::kCapacity;

// Asks for the entries of a leaf, whose addresses it knows at once, before
// any of them is read: their cache misses then overlap.
void prefetch_entries(const ObjHashLeaf& leaf) noexcept {
  for (std::size_t i = 0; i < leaf.count; ++i) {
    prefetch(leaf.chain.entries[i]);
  }
}

bool indexed(const ObjHashLeaf& head) noexcept {
  return head.kind == ObjHashLeaf::kIndexed;
}

int compare(const SoughtKey& key, const ObjHashEntry* entry) noexcept {
  return key.compare_to(entry->key(), entry->key_size);
}

// Sends the entries of the leaves chained from `leaf` to `kept` or `moved`
// by `bit` of their hash, in order, giving each leaf to `spares` once read:
// the two halves never need more leaves than were read.
void distribute(ObjHashLeaf* leaf, std::uint64_t bit, Appender& kept,
                Appender& moved, ObjHashSpares& spares) noexcept {
  while (leaf != nullptr) {
    prefetch_entries(*leaf);
    ObjHashEntry* entries[kCapacity];
    const std::size_t count = leaf->count;
    for (std::size_t i = 0; i < count; ++i) {
      entries[i] = leaf->chain.entries[i];
    }
    ObjHashLeaf* const next = leaf->chain.next;
    spares.give(leaf);
    for (std::size_t i = 0; i < count; ++i) {
      ((entries[i]->hash & bit) != 0 ? moved : kept).append(entries[i], spares);
    }
    leaf = next;
  }
}

}  // namespace

void Appender::append(ObjHashEntry* entry, ObjHashSpares& spares) noexcept {
  if (full()) {
    ObjHashLeaf* const leaf = spares.take_leaf();
    leaf->clear();
    m_leaf->chain.next = leaf;
    m_leaf = leaf;
  }
  m_leaf->put(m_leaf->count, entry);
  ++m_leaf->count;
}

ObjHashEntry* find(const ObjHashLeaf& head, const char* key, std::size_t size,
                   std::uint64_t hash) noexcept {
  if (indexed(head)) {
    return obj_hash_index::find(head.index, SoughtKey(key, size), hash);
  }
  // Only an entry whose tag and hash match has its key read.
  const std::uint8_t tag = tag_of(hash);
  for (const ObjHashLeaf* leaf = &head; leaf != nullptr;
       leaf = leaf->chain.next) {
    for (std::uint64_t m = leaf->matches(tag); m != 0; m &= m - 1) {
      ObjHashEntry* const e = leaf->chain.entries[lowest_set_bit(m) / 8];
      if (e->hash == hash &&
          key_compare(e->key(), e->key_size, key, size) == 0) {
        return e;
      }
    }
  }
  return nullptr;
}

const ObjHashLeaf* leaf_of(const ObjHashLeaf& head,
                           const ObjHashEntry* entry) noexcept {
  if (indexed(head)) {
    return obj_hash_index::leaf_for(head.index,
                                    SoughtKey(entry->key(), entry->key_size));
  }
  const ObjHashLeaf* leaf = &head;
  while (leaf->chain.next != nullptr &&
         std::find(leaf->chain.entries, leaf->chain.entries + leaf->count,
                   entry) == leaf->chain.entries + leaf->count) {
    leaf = leaf->chain.next;
  }
  return leaf;
}

std::uint64_t size(const ObjHashLeaf& head) noexcept {
  if (indexed(head)) {
    return head.index.size;
  }
  std::uint64_t entries = 0;
  for (const ObjHashLeaf* leaf = &head; leaf != nullptr;
       leaf = leaf->chain.next) {
    entries += leaf->count;
  }
  return entries;
}

void locate(const ObjHashLeaf& head, const SoughtKey& key, std::uint64_t hash,
            Place& place) noexcept {
  if (indexed(head)) {
    obj_hash_index::locate(head.index, key, place.index);
    place.found = place.index.found
                      ? place.index.leaf->chain.entries[place.index.at]
                      : nullptr;
  } else {
    place.found = find(head, key.key(), key.size(), hash);
  }
}

void reserve_insertion(const ObjHashLeaf& head, const Place& place,
                       ObjHashSpares& spares) {
  if (indexed(head)) {
    obj_hash_index::reserve_insertion(head.index, place.index, spares);
    return;
  }
  const ObjHashLeaf* last = &head;
  while (last->chain.next != nullptr) {
    last = last->chain.next;
  }
  if (last->count == kCapacity) {
    spares.reserve(1, 0);
  }
}

bool insert(ObjHashLeaf& head, ObjHashEntry* entry, const SoughtKey& key,
            const Place& place, ObjHashSpares& spares) noexcept {
  if (indexed(head)) {
    obj_hash_index::insert(head.index, entry, place.index, spares);
    return false;
  }
  // The chain's leaves are full but the last: the key's place lies in the
  // first leaf whose last key is greater, or in the last leaf.
  ObjHashLeaf* leaf = &head;
  prefetch_entries(head);
  std::uint64_t full_leaves = 0;  // those before `leaf`
  while (leaf->chain.next != nullptr &&
         compare(key, leaf->chain.entries[kCapacity - 1]) > 0) {
    leaf = leaf->chain.next;
    ++full_leaves;
  }
  std::size_t at = 0;
  while (at < leaf->count && compare(key, leaf->chain.entries[at]) > 0) {
    ++at;
  }
  // Each full leaf passes its last entry on to the next.
  ObjHashEntry* carry = entry;
  while (leaf->count == kCapacity) {
    if (at < kCapacity) {
      ObjHashEntry* const last = leaf->chain.entries[kCapacity - 1];
      leaf->count = kCapacity - 1;
      leaf->insert_at(at, carry);
      carry = last;
    }
    if (leaf->chain.next == nullptr) {
      ObjHashLeaf* const added = spares.take_leaf();
      added->clear();
      leaf->chain.next = added;
    }
    leaf = leaf->chain.next;
    ++full_leaves;
    at = 0;
  }
  // Only the last leaf has room, so `leaf` is the last.
  leaf->insert_at(at, carry);
  return kCapacity * full_leaves + leaf->count > kIndexAbove;
}

void split(ObjHashLeaf& from, ObjHashLeaf& to, std::uint64_t bit,
           ObjHashSpares& spares) noexcept {
  to.clear();
  if (indexed(from)) {
    const ObjHashLeaf::IndexSummary summary = from.index;
    if ((summary.any & bit) == 0) {
      return;  // every entry stays
    }
    if ((summary.all & bit) != 0) {
      to = from;  // every entry moves, index and all
      from.clear();
      return;
    }
    obj_hash_index::release_nodes(summary, spares);
    Appender kept(from);
    Appender moved(to);
    distribute(summary.first, bit, kept, moved, spares);
  } else {
    // The head is read first, since it is rewritten as the kept half.
    prefetch_entries(from);
    ObjHashLeaf head = from;
    Appender kept(from);
    Appender moved(to);
    for (std::size_t i = 0; i < head.count; ++i) {
      ObjHashEntry* const e = head.chain.entries[i];
      ((e->hash & bit) != 0 ? moved : kept).append(e, spares);
    }
    distribute(head.chain.next, bit, kept, moved, spares);
  }
  index_if_long(from, spares);
  index_if_long(to, spares);
}

void release(ObjHashLeaf& head, ObjHashSpares& spares) noexcept {
  ObjHashLeaf* leaf = head.chain.next;
  if (indexed(head)) {
    obj_hash_index::release_nodes(head.index, spares);
    leaf = head.index.first;
  }
  while (leaf != nullptr) {
    ObjHashLeaf* const next = leaf->chain.next;
    spares.give(leaf);
    leaf = next;
  }
  head.clear();
}

namespace {

// A chain's entries and leaves.
struct ChainSize {
  std::uint64_t entries = 0;
  std::uint64_t leaves = 0;
};

ChainSize chain_size(const ObjHashLeaf& head) noexcept {
  ChainSize size;
  for (const ObjHashLeaf* leaf = &head; leaf != nullptr;
       leaf = leaf->chain.next) {
    size.entries += leaf->count;
    ++size.leaves;
  }
  return size;
}

}  // namespace

void index_long(ObjHashLeaf& head, ObjHashSpares& spares) {
  if (indexed(head)) {
    return;
  }
  const ChainSize size = chain_size(head);
  if (size.entries > kIndexAbove) {
    spares.reserve(1, obj_hash_index::nodes_for(size.leaves));
    index_if_long(head, spares);
  }
}

bool index_if_long(ObjHashLeaf& head, ObjHashSpares& spares) noexcept {
  if (indexed(head)) {
    return true;
  }
  const ChainSize size = chain_size(head);
  const std::uint64_t entries = size.entries;
  const std::uint64_t leaves = size.leaves;
  if (entries <= kIndexAbove ||
      !spares.try_reserve(1, obj_hash_index::nodes_for(leaves))) {
    return false;
  }
  // The head's entries move to a leaf of their own, and the head holds the
  // index's summary instead.
  ObjHashLeaf* const first = spares.take_leaf();
  *first = head;
  head.clear();
  head.kind = ObjHashLeaf::kIndexed;
  obj_hash_index::build(head.index, first, leaves, entries, spares);
  return true;
}

}  // namespace zand_internal::obj_hash_bucket
