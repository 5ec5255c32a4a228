// A plain model of the map's contract, written from its definition rather
// than from the library's code: which keys are equal, the table's shape
// after n keys, the order in which a map holding a set of keys hands them
// back, and a map with a cursor built on those. And the walk of a real map.
#ifndef ZAND_STL_TESTS_CONTAINERS_MAP_MODEL_H
#define ZAND_STL_TESTS_CONTAINERS_MAP_MODEL_H

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "containers/key_model.h"
#include "zand_stl/zand_obj.h"
#include "zand_stl/zand_obj_map.h"

namespace zand_test {

struct TableShape {
  std::uint64_t bucket_count;
  std::uint64_t mask;
};

// The shape of a table after n insertions of new keys into a fresh one.
inline TableShape model_shape(std::uint64_t n) {
  TableShape shape{n <= 4 ? 1 : (n + 3) / 4, 1};
  while (shape.mask + 1 < shape.bucket_count) {
    shape.mask = shape.mask * 2 + 1;
  }
  return shape;
}

// The bucket that holds the keys of this hash in a table of this shape: the
// hash's bits under the mask, or under half of it where that bucket is not
// yet split off.
inline std::uint64_t model_bucket(std::uint64_t hash, const TableShape& shape) {
  const std::uint64_t b = hash & shape.mask;
  return b < shape.bucket_count ? b : b - (shape.mask + 1) / 2;
}

// ZAND_OBJ_MAP as a model: entries by folded key, and the cursor as the
// entry it stands on, which keeps its place in the walk order however the
// table grows.
class MapModel {
 public:
  // Copies share their entries until one of them changes, which then takes
  // a copy of its own: the drivers copy and assign maps of thousands of
  // long keys, and the model should not cost more than the map.
  MapModel() = default;

  // Whether the key was new.
  bool set_at(const std::string& key, ZAND_OBJ* value) {
    own_entries();
    std::string folded = folded_key(key);
    const auto [entry, added] = m_entries->try_emplace(std::move(folded));
    if (added) {
      entry->second.stored = key;
      entry->second.hash = h17_hash(entry->first);
    }
    entry->second.value = value;
    return added;
  }
  ZAND_OBJ* look_up(const std::string& key) const {
    const auto found = m_entries->find(folded_key(key));
    return found == m_entries->end() ? nullptr : found->second.value;
  }
  void reset_iterator() { m_cursor = at(0); }
  // The stored key and value under the cursor, moving it on; none at the
  // end.
  std::optional<std::pair<std::string, ZAND_OBJ*>> get_next_entry() {
    if (m_cursor == nullptr) {
      return std::nullopt;
    }
    const Node* const node = m_cursor;
    at(0);  // brings the ranks up to date
    m_cursor = at(node->second.rank + 1);
    return std::pair(node->second.stored, node->second.value);
  }
  void remove_all() { *this = MapModel(); }
  // Calls visit(stored key, value) for every entry, in walk order, until it
  // returns a failure; returns that, or "".
  template <typename Visit>
  std::string visit_in_order(Visit visit) const {
    for (std::size_t i = 0; const Node* node = at(i); ++i) {
      std::string failure = visit(node->second.stored, node->second.value);
      if (!failure.empty()) {
        return failure;
      }
    }
    return {};
  }
  // Every stored key and its value, in walk order.
  std::vector<std::pair<std::string, ZAND_OBJ*>> walk() const {
    std::vector<std::pair<std::string, ZAND_OBJ*>> out;
    visit_in_order([&out](const std::string& stored, ZAND_OBJ* value) {
      out.emplace_back(stored, value);
      return std::string();
    });
    return out;
  }
  std::size_t size() const { return m_entries->size(); }

 private:
  struct Entry {
    std::string stored;  // the form first stored
    ZAND_OBJ* value = nullptr;
    std::uint64_t hash = 0;    // of the folded key
    mutable std::size_t rank;  // its place in m_order
  };
  using Entries = std::map<std::string, Entry>;  // by folded key
  using Node = Entries::value_type;

  // Entries this model alone holds, the cursor on the same key.
  void own_entries() {
    if (m_entries.use_count() > 1) {
      auto own = std::make_shared<Entries>(*m_entries);
      if (m_cursor != nullptr) {
        m_cursor = &*own->find(m_cursor->first);
      }
      m_entries = std::move(own);
      m_order.clear();
    }
  }

  // The entry at place i of the walk order, or null past the end.
  const Node* at(std::size_t i) const {
    if (m_order.size() != m_entries->size()) {  // only a new key changes it
      refresh_order();
    }
    return i < m_order.size() ? m_order[i] : nullptr;
  }

  // The entries by ascending bucket, and inside a bucket in key order, which
  // is the order of m_entries: a counting sort by bucket.
  void refresh_order() const {
    const TableShape shape = model_shape(m_entries->size());
    std::vector<std::size_t> starts(shape.bucket_count + 1);
    std::vector<std::size_t> buckets;
    for (const Node& node : *m_entries) {
      const std::uint64_t b = model_bucket(node.second.hash, shape);
      buckets.push_back(b);
      ++starts[b + 1];
    }
    for (std::size_t b = 1; b < starts.size(); ++b) {
      starts[b] += starts[b - 1];
    }
    m_order.assign(m_entries->size(), nullptr);
    auto bucket = buckets.begin();
    for (const Node& node : *m_entries) {
      node.second.rank = starts[*bucket++]++;
      m_order[node.second.rank] = &node;
    }
  }

  std::shared_ptr<Entries> m_entries = std::make_shared<Entries>();
  const Node* m_cursor = nullptr;  // null at the end
  mutable std::vector<const Node*> m_order;
};

// The keys of a whole map, from its first entry, counted with size() since
// a null value ends a walk.
inline std::vector<std::string> walk_keys(ZAND_OBJ_MAP& map) {
  std::vector<std::string> keys(static_cast<std::size_t>(map.size()));
  map.reset_iterator();
  for (std::string& key : keys) {
    map.get_next_entry(key);
  }
  return keys;
}

// Keys in insertion order -> the stored keys in walk order.
inline std::vector<std::string> model_walk(
    const std::vector<std::string>& inserted) {
  MapModel model;
  for (const std::string& key : inserted) {
    model.set_at(key, nullptr);
  }
  std::vector<std::string> out;
  for (const auto& entry : model.walk()) {
    out.push_back(entry.first);
  }
  return out;
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_CONTAINERS_MAP_MODEL_H
