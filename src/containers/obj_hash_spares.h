// The leaves and index nodes a change of the hash table may take: reserved
// before anything changes, so that the change itself cannot fail, and given
// back by a split that rebuilds a bucket. Whatever is left is freed. Internal.
#ifndef ZAND_STL_SRC_CONTAINERS_OBJ_HASH_SPARES_H
#define ZAND_STL_SRC_CONTAINERS_OBJ_HASH_SPARES_H

#include <cstddef>

#include "containers/obj_hash_index.h"
#include "containers/obj_hash_leaf.h"

namespace zand_internal {

class ObjHashSpares {
 public:
  ObjHashSpares() = default;
  ObjHashSpares(const ObjHashSpares&) = delete;
  ObjHashSpares& operator=(const ObjHashSpares&) = delete;
  ~ObjHashSpares();

  // Holds at least `leaves` leaves and `nodes` nodes. Throws std::bad_alloc,
  // keeping what it holds.
  void reserve(std::size_t leaves, std::size_t nodes);
  // The same, answering false when memory runs out.
  bool try_reserve(std::size_t leaves, std::size_t nodes) noexcept;

  // One of those held; there must be one.
  ObjHashLeaf* take_leaf() noexcept;
  ObjHashIndexNode* take_node() noexcept;

  void give(ObjHashLeaf* leaf) noexcept;
  void give(ObjHashIndexNode* node) noexcept;

 private:
  ObjHashLeaf* m_leaves = nullptr;      // linked through chain.next
  ObjHashIndexNode* m_nodes = nullptr;  // linked through child[0]
  std::size_t m_leaf_count = 0;
  std::size_t m_node_count = 0;
};

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_CONTAINERS_OBJ_HASH_SPARES_H
