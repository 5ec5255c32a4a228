// Searching and growing the ordered index of a long bucket, one key at a
// time. A search compares the words kept in each node and reads a stored
// key only where its word ties with the sought key's; building an index
// over a whole chain is in obj_hash_index_build.cpp.
#include "containers/obj_hash_index.h"

#include "containers/obj_hash_spares.h"
#include "util/builtins.h"

namespace zand_internal::obj_hash_index {

namespace {

using Node = ObjHashIndexNode;
constexpr std::size_t kFanout = Node::kFanout;
constexpr std::size_t kLeafCapacity = ObjHashLeaf::kCapacity;

// The sought key against low[i], whose word it ties with: equal when the
// word holds both keys' ends, otherwise as the words after it say.
int tie(const Node& node, std::size_t i, const SoughtKey& key,
        std::uint64_t sought) noexcept {
  if (words::zero_bytes(sought) != 0) {
    return 0;
  }
  std::size_t agreed = 0;
  return key.compare_from(node.low[i]->key(), node.low[i]->key_size,
                          node.skip + 1, agreed);
}

// The child of `node` whose range holds `key`, which the node's holds.
std::size_t child_for(const Node& node, const SoughtKey& key) noexcept {
  const std::uint64_t sought =
      key_ordered_word(key.key(), key.size(), node.skip);
  std::size_t lo = 1;
  std::size_t hi = node.count;
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    const std::uint64_t word = node.word[mid];
    const bool before =
        sought != word ? sought < word : tie(node, mid, key, sought) < 0;
    if (before) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo - 1;
}

// The leaf whose range holds `key`, and the words every key there agrees
// in; with `place`, the way down.
ObjHashLeaf* descend(const Summary& summary, const SoughtKey& key,
                     std::uint64_t& skip, Place* place) noexcept {
  void* at = summary.root;
  const ObjHashEntry* lo = nullptr;
  const ObjHashEntry* hi = nullptr;
  skip = 0;
  for (unsigned h = summary.height; h > 0; --h) {
    Node* const node = static_cast<Node*>(at);
    const std::size_t i = child_for(*node, key);
    if (place != nullptr) {
      place->node[h] = node;
      place->child[h] = i;
      place->lo[h] = lo;
      place->hi[h] = hi;
    }
    lo = i == 0 ? lo : node->low[i];
    hi = i + 1 < node->count ? node->low[i + 1] : hi;
    skip = node->skip;
    at = node->child[i];
  }
  return static_cast<ObjHashLeaf*>(at);
}

// The place of `key` in `leaf`, whose keys agree with it in `skip` words:
// how many of its entries are smaller; and whether the entry there equals
// it.
std::size_t place_in(const ObjHashLeaf& leaf, const SoughtKey& key,
                     std::uint64_t skip, bool& equal) noexcept {
  std::size_t lo = 0;
  std::size_t hi = leaf.count;
  equal = false;
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    const ObjHashEntry* const e = leaf.chain.entries[mid];
    std::size_t agreed = 0;
    const int c = key.compare_from(e->key(), e->key_size, skip, agreed);
    if (c == 0) {
      equal = true;
      return mid;
    }
    if (c > 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

void give_nodes(Node* node, ObjHashSpares& spares) noexcept {
  if (node->height > 1) {
    for (std::size_t i = 0; i < node->count; ++i) {
      give_nodes(static_cast<Node*>(node->child[i]), spares);
    }
  }
  spares.give(node);
}

// Puts (low, child) at place `at` of a node that has room.
void put_child(Node& node, std::size_t at, const ObjHashEntry* low,
               void* child) noexcept {
  for (std::size_t j = node.count; j > at; --j) {
    node.word[j] = node.word[j - 1];
    node.low[j] = node.low[j - 1];
    node.child[j] = node.child[j - 1];
  }
  node.word[at] = at == 0 ? 0 : word_of(low, node.skip);
  node.low[at] = low;
  node.child[at] = child;
  ++node.count;
}

// Gives a node a new range, from lo to hi, narrower than its old one: its
// keys may then agree in more words.
void narrow(Node& node, const ObjHashEntry* lo,
            const ObjHashEntry* hi) noexcept {
  const std::uint64_t skip = skip_for(lo, hi);
  if (skip != node.skip) {
    node.skip = skip;
    for (std::size_t i = 1; i < node.count; ++i) {
      node.word[i] = word_of(node.low[i], skip);
    }
  }
}

}  // namespace

ObjHashEntry* find(const Summary& summary, const SoughtKey& key,
                   std::uint64_t hash) noexcept {
  std::uint64_t skip = 0;
  const ObjHashLeaf* const leaf = descend(summary, key, skip, nullptr);
  std::uint64_t matches = leaf->matches(tag_of(hash));
  const std::uint64_t after_first = matches & (matches - 1);
  if ((after_first & (after_first - 1)) == 0) {
    // Two candidates at most, as a byte of the hash tells them.
    for (; matches != 0; matches &= matches - 1) {
      ObjHashEntry* const e = leaf->chain.entries[lowest_set_bit(matches) / 8];
      if (e->hash == hash && key.compare_to(e->key(), e->key_size) == 0) {
        return e;
      }
    }
    return nullptr;
  }
  // Keys that share their hash, as chosen ones do: by their order.
  bool equal = false;
  const std::size_t i = place_in(*leaf, key, skip, equal);
  return equal ? leaf->chain.entries[i] : nullptr;
}

ObjHashLeaf* leaf_for(const Summary& summary, const SoughtKey& key) noexcept {
  std::uint64_t skip = 0;
  return descend(summary, key, skip, nullptr);
}

void locate(const Summary& summary, const SoughtKey& key,
            Place& place) noexcept {
  std::uint64_t skip = 0;
  place.leaf = descend(summary, key, skip, &place);
  place.at = place_in(*place.leaf, key, skip, place.found);
}

void reserve_insertion(const Summary& summary, const Place& place,
                       ObjHashSpares& spares) {
  if (place.leaf->count < kLeafCapacity) {
    return;
  }
  // A full leaf splits, and so does each full node above it.
  std::size_t nodes = 0;
  unsigned h = 1;
  for (; h <= summary.height && place.node[h]->count == kFanout; ++h) {
    ++nodes;
  }
  if (h > summary.height) {
    ++nodes;  // a new root
  }
  spares.reserve(1, nodes);
}

void insert(Summary& summary, ObjHashEntry* entry, const Place& place,
            ObjHashSpares& spares) noexcept {
  ObjHashLeaf* const leaf = place.leaf;
  const std::size_t at = place.at;
  ++summary.size;
  summary.all &= entry->hash;
  summary.any |= entry->hash;
  if (leaf->count < kLeafCapacity) {
    leaf->insert_at(at, entry);
    return;
  }

  // The leaf's six entries and the new one, split four and three.
  ObjHashEntry* entries[kLeafCapacity + 1];
  for (std::size_t i = 0, j = 0; i <= kLeafCapacity; ++i) {
    entries[i] = i == at ? entry : leaf->chain.entries[j++];
  }
  ObjHashLeaf* const right = spares.take_leaf();
  right->clear();
  leaf->count = 0;
  for (std::size_t i = 0; i <= kLeafCapacity; ++i) {
    ObjHashLeaf* const half = i < 4 ? leaf : right;
    half->put(half->count++, entries[i]);
  }
  right->chain.next = leaf->chain.next;
  leaf->chain.next = right;

  // The new leaf's place in the node above, and so on up while nodes are
  // full: a full node's children and the new one split nine and eight.
  const ObjHashEntry* low = right->chain.entries[0];
  void* child = right;
  for (unsigned h = 1; h <= summary.height; ++h) {
    Node& node = *place.node[h];
    const std::size_t at_node = place.child[h] + 1;
    if (node.count < kFanout) {
      put_child(node, at_node, low, child);
      return;
    }
    const ObjHashEntry* lows[kFanout + 1];
    void* children[kFanout + 1];
    for (std::size_t i = 0, j = 0; i <= kFanout; ++i) {
      lows[i] = i == at_node ? low : node.low[j];
      children[i] = i == at_node ? child : node.child[j++];
    }
    Node* const sibling = spares.take_node();
    sibling->height = node.height;
    sibling->skip = node.skip;
    node.count = 0;
    sibling->count = 0;
    for (std::size_t i = 0; i <= kFanout; ++i) {
      Node& half = i < 9 ? node : *sibling;
      put_child(half, half.count, lows[i], children[i]);
    }
    low = sibling->low[0];
    child = sibling;
    narrow(node, place.lo[h], low);
    narrow(*sibling, low, place.hi[h]);
  }
  Node* const root = spares.take_node();
  root->height = summary.height + 1;
  root->skip = 0;
  root->count = 0;
  put_child(*root, 0, static_cast<Node*>(summary.root)->low[0], summary.root);
  put_child(*root, 1, low, child);
  summary.root = root;
  ++summary.height;
}

void release_nodes(const Summary& summary, ObjHashSpares& spares) noexcept {
  give_nodes(summary.root, spares);
}

}  // namespace zand_internal::obj_hash_index
