// The hash table's spare leaves and index nodes: two free lists, filled up
// front by reserve() and drawn on by changes that must not fail.
#include "containers/obj_hash_spares.h"

#include <new>

namespace zand_internal {

ObjHashSpares::~ObjHashSpares() {
  while (m_leaves != nullptr) {
    delete take_leaf();
  }
  while (m_nodes != nullptr) {
    delete take_node();
  }
}

void ObjHashSpares::reserve(std::size_t leaves, std::size_t nodes) {
  while (m_leaf_count < leaves) {
    give(new ObjHashLeaf);
  }
  while (m_node_count < nodes) {
    give(new ObjHashIndexNode);
  }
}

bool ObjHashSpares::try_reserve(std::size_t leaves,
                                std::size_t nodes) noexcept {
  while (m_leaf_count < leaves) {
    auto* const leaf = new (std::nothrow) ObjHashLeaf;
    if (leaf == nullptr) {
      return false;
    }
    give(leaf);
  }
  while (m_node_count < nodes) {
    auto* const node = new (std::nothrow) ObjHashIndexNode;
    if (node == nullptr) {
      return false;
    }
    give(node);
  }
  return true;
}

ObjHashLeaf* ObjHashSpares::take_leaf() noexcept {
  ObjHashLeaf* const leaf = m_leaves;
  m_leaves = leaf->chain.next;
  --m_leaf_count;
  return leaf;
}

ObjHashIndexNode* ObjHashSpares::take_node() noexcept {
  ObjHashIndexNode* const node = m_nodes;
  m_nodes = static_cast<ObjHashIndexNode*>(node->child[0]);
  --m_node_count;
  return node;
}

void ObjHashSpares::give(ObjHashLeaf* leaf) noexcept {
  leaf->chain.next = m_leaves;
  m_leaves = leaf;
  ++m_leaf_count;
}

void ObjHashSpares::give(ObjHashIndexNode* node) noexcept {
  node->child[0] = m_nodes;
  m_nodes = node;
  ++m_node_count;
}

}  // namespace zand_internal
