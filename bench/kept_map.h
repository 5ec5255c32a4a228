// The one filled map that the benchmarks which only read a map share: built
// once for a run of cases on the same keys, and alone alive, so that a map
// of 10 000 000 keys never shares the memory with another one kept idle.
#ifndef ZAND_STL_BENCH_KEPT_MAP_H
#define ZAND_STL_BENCH_KEPT_MAP_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "map_peers.h"

namespace zand_bench {

// A new map holding keys[i] with value_for(i), inserted in order.
template <typename Map>
std::unique_ptr<Map> build(const std::vector<std::string>& keys) {
  auto map = std::make_unique<Map>();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    map->set(keys[i], value_for(i));
  }
  return map;
}

class KeptMap {
 public:
  virtual ~KeptMap() = default;
};

template <typename Map>
class KeptMapOf : public KeptMap {
 public:
  KeptMapOf(const std::vector<std::string>* keys, std::unique_ptr<Map> map)
      : m_keys(keys), m_map(std::move(map)) {}
  const std::vector<std::string>* keys() const { return m_keys; }
  Map& map() { return *m_map; }

 private:
  const std::vector<std::string>* m_keys;  // identifies what the map holds
  std::unique_ptr<Map> m_map;
};

inline std::unique_ptr<KeptMap>& kept_map_slot() {
  static std::unique_ptr<KeptMap> slot;
  return slot;
}

// Frees the kept map, if any: before a benchmark that builds maps of its
// own, or before the keys the kept map was built from go away.
inline void drop_kept_map() { kept_map_slot().reset(); }

// The kept map of type Map built from `keys` (compared by address: the
// caller keeps its key vectors alive and unchanged while it uses the map);
// any other kept map is freed first, then this one built.
template <typename Map>
Map& kept_map(const std::vector<std::string>& keys) {
  auto* kept = dynamic_cast<KeptMapOf<Map>*>(kept_map_slot().get());
  if (kept == nullptr || kept->keys() != &keys) {
    drop_kept_map();
    auto fresh = std::make_unique<KeptMapOf<Map>>(&keys, build<Map>(keys));
    kept = fresh.get();
    kept_map_slot() = std::move(fresh);
  }
  return kept->map();
}

}  // namespace zand_bench

#endif  // ZAND_STL_BENCH_KEPT_MAP_H
