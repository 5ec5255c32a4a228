// Building the ordered index of a long bucket over its whole chain of
// leaves in one pass: a tree as low as holds them, each node over an even
// share of the leaves below it.
#include "containers/obj_hash_index.h"

#include "containers/obj_hash_spares.h"

namespace zand_internal::obj_hash_index {

namespace {

using Node = ObjHashIndexNode;

// The leaves below one node of height h >= 2 span at most this many.
std::uint64_t span_below(unsigned h) noexcept {
  return std::uint64_t{1} << (4 * (h - 1));  // kFanout^(h - 1)
}

unsigned height_for(std::uint64_t leaves) noexcept {
  unsigned height = 1;
  while (height < kMostHeight && span_below(height + 1) < leaves) {
    ++height;
  }
  return height;
}

// Children of a node of height h over m leaves: as few as hold them, each
// over an even share.
std::uint64_t children_for(unsigned h, std::uint64_t m) noexcept {
  return h == 1 ? m : (m + span_below(h) - 1) / span_below(h);
}

std::uint64_t share(std::uint64_t m, std::uint64_t children,
                    std::uint64_t i) noexcept {
  return m / children + (i < m % children ? 1 : 0);
}

std::size_t count_nodes(unsigned h, std::uint64_t m) noexcept {
  std::size_t total = 1;
  if (h > 1) {
    const std::uint64_t children = children_for(h, m);
    for (std::uint64_t i = 0; i < children; ++i) {
      total += count_nodes(h - 1, share(m, children, i));
    }
  }
  return total;
}

// A node of height h over the next m leaves from `leaves`.
Node* build_node(unsigned h, std::uint64_t m, ObjHashLeaf*& leaves,
                 ObjHashSpares& spares) noexcept {
  Node* const node = spares.take_node();
  node->height = h;
  const std::uint64_t children = children_for(h, m);
  node->count = static_cast<std::uint32_t>(children);
  for (std::uint64_t i = 0; i < children; ++i) {
    if (h == 1) {
      node->child[i] = leaves;
      node->low[i] = leaves->chain.entries[0];
      leaves = leaves->chain.next;
    } else {
      Node* const below =
          build_node(h - 1, share(m, children, i), leaves, spares);
      node->child[i] = below;
      node->low[i] = below->low[0];
    }
  }
  return node;
}

// Sets the skips and words of `node` over the range from lo to hi, and
// of the nodes below it.
void fill_words(Node& node, const ObjHashEntry* lo,
                const ObjHashEntry* hi) noexcept {
  node.skip = skip_for(lo, hi);
  node.word[0] = 0;  // never read
  for (std::size_t i = 1; i < node.count; ++i) {
    node.word[i] = word_of(node.low[i], node.skip);
  }
  if (node.height > 1) {
    for (std::size_t i = 0; i < node.count; ++i) {
      fill_words(*static_cast<Node*>(node.child[i]), i == 0 ? lo : node.low[i],
                 i + 1 < node.count ? node.low[i + 1] : hi);
    }
  }
}

}  // namespace

std::size_t nodes_for(std::uint64_t leaves) noexcept {
  return count_nodes(height_for(leaves), leaves);
}

void build(Summary& summary, ObjHashLeaf* first, std::uint64_t leaves,
           std::uint64_t size, ObjHashSpares& spares) noexcept {
  std::uint64_t all = ~std::uint64_t{0};
  std::uint64_t any = 0;
  for (const ObjHashLeaf* leaf = first; leaf != nullptr;
       leaf = leaf->chain.next) {
    for (std::size_t i = 0; i < leaf->count; ++i) {
      all &= leaf->chain.entries[i]->hash;
      any |= leaf->chain.entries[i]->hash;
    }
  }
  const unsigned height = height_for(leaves);
  ObjHashLeaf* next = first;
  summary.root = build_node(height, leaves, next, spares);
  fill_words(*summary.root, nullptr, nullptr);
  summary.first = first;
  summary.size = size;
  summary.all = all;
  summary.any = any;
  summary.height = height;
}

}  // namespace zand_internal::obj_hash_index
