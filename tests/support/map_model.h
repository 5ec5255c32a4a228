// A plain model of the map's contract, written from its definition rather
// than from the library's code: which keys are equal, the table's shape
// after n keys, the order in which a map holding a set of keys hands them
// back, and a map with a cursor built on those. And the walk of a real map.
#ifndef ZAND_STL_TESTS_SUPPORT_MAP_MODEL_H
#define ZAND_STL_TESTS_SUPPORT_MAP_MODEL_H

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/keys.h"
#include "zand_stl/zand_obj.h"
#include "zand_stl/zand_obj_map.h"

namespace zand_test {

struct TableShape {
  std::uint64_t bucket_count;
  std::uint64_t mask;
  std::uint64_t slot_count;
};

// The shape of a table after n insertions of new keys into a fresh one.
inline TableShape model_shape(std::uint64_t n) {
  TableShape shape{n <= 4 ? 1 : (n + 3) / 4, 1, 0};
  while (shape.mask + 1 < shape.bucket_count) {
    shape.mask = shape.mask * 2 + 1;
  }
  shape.slot_count = std::max<std::uint64_t>(8, shape.mask + 1) + 1;
  return shape;
}

// ZAND_OBJ_MAP as a model: entries by folded key, and the cursor as the
// stored key it stands on, which keeps its place in the walk order however
// the table grows.
class MapModel {
 public:
  // Whether the key was new.
  bool set_at(const std::string& key, ZAND_OBJ* value) {
    const auto [entry, added] = m_entries.emplace(folded_key(key), Entry{key});
    entry->second.value = value;
    return added;
  }
  ZAND_OBJ* look_up(const std::string& key) const {
    const auto found = m_entries.find(folded_key(key));
    return found == m_entries.end() ? nullptr : found->second.value;
  }
  void reset_iterator() { m_cursor = after({}); }
  // The stored key and value under the cursor, moving it on; none at the
  // end.
  std::optional<std::pair<std::string, ZAND_OBJ*>> get_next_entry() {
    if (!m_cursor) {
      return std::nullopt;
    }
    const std::string stored = *m_cursor;
    m_cursor = after(stored);
    return std::pair(stored, look_up(stored));
  }
  void remove_all() { *this = MapModel(); }
  // Every stored key and its value, in walk order.
  std::vector<std::pair<std::string, ZAND_OBJ*>> walk() {
    after({});  // brings the order up to date
    std::vector<std::pair<std::string, ZAND_OBJ*>> out;
    for (const std::string& stored : m_order) {
      out.emplace_back(stored, look_up(stored));
    }
    return out;
  }
  std::size_t size() const { return m_entries.size(); }

 private:
  // The stored key after `stored` in walk order (the first for none); none
  // past the end.
  std::optional<std::string> after(const std::optional<std::string>& stored) {
    if (m_order.size() != m_entries.size()) {  // only a new key changes it
      refresh_order();
    }
    const auto it = stored
                        ? std::find(m_order.begin(), m_order.end(), *stored) + 1
                        : m_order.begin();
    return it == m_order.end() ? std::nullopt : std::optional(*it);
  }

  // The entries by ascending bucket, and inside a bucket in key order, which
  // is the order of m_entries.
  void refresh_order() {
    const TableShape shape = model_shape(m_entries.size());
    std::vector<std::pair<std::uint64_t, const std::string*>> rows;
    for (const auto& [folded, entry] : m_entries) {
      std::uint64_t b = h17_hash(folded) & shape.mask;
      if (b >= shape.bucket_count) {
        b -= (shape.mask + 1) / 2;
      }
      rows.emplace_back(b, &entry.stored);
    }
    std::stable_sort(
        rows.begin(), rows.end(),
        [](const auto& x, const auto& y) { return x.first < y.first; });
    m_order.clear();
    for (const auto& row : rows) {
      m_order.push_back(*row.second);
    }
  }

  struct Entry {
    std::string stored;  // the form first stored
    ZAND_OBJ* value = nullptr;
  };
  std::map<std::string, Entry> m_entries;  // by folded key
  std::optional<std::string> m_cursor;
  std::vector<std::string> m_order;
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

#endif  // ZAND_STL_TESTS_SUPPORT_MAP_MODEL_H
