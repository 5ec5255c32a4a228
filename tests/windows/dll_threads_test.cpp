// Threads started and joined while zand_stl.dll is loaded, each with its own
// list, map, file and strings (support/thread_runs.h). The entry routine
// turns the loader's per-thread notifications off, as the library keeps
// nothing per thread: threads the DLL is not told of must find it working.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "containers/key_model.h"
#include "support/script.h"
#include "support/thread_runs.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using zand_test::Bytes;
using zand_test::TempDir;

// The stored keys in walk order.
std::vector<std::string> walk(ZAND_OBJ_MAP& map) {
  std::vector<std::string> keys;
  map.reset_iterator();
  std::string key;
  while (map.get_next_entry(key) != nullptr) {
    keys.push_back(key);
  }
  return keys;
}

// 300 keys filled in the order the script shuffles them into are found in
// their other case, and walk as when filled in order: the walk order depends
// on the set of keys alone. (The map's model needs the library's internals,
// which the DLL does not export.)
std::string check_map(const TempDir&, const std::uint8_t* data,
                      std::size_t size) {
  const Bytes script(data, data + size);
  class Item : public ZAND_OBJ {};
  std::vector<Item> items(300);
  std::vector<std::string> keys;
  ZAND_OBJ_MAP in_order;
  for (std::size_t i = 0; i < items.size(); ++i) {
    keys.push_back((i % 2 == 0 ? "Key" : "kEY") + std::to_string(i));
    in_order.set_at(keys[i], &items[i]);
  }
  std::vector<std::size_t> order(items.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
  }
  std::seed_seq seed(script.begin(), script.end());
  std::shuffle(order.begin(), order.end(), std::mt19937(seed));
  ZAND_OBJ_MAP shuffled;
  for (const std::size_t i : order) {
    SCRIPT_CHECK(shuffled.set_at(keys[i], &items[i]));
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    SCRIPT_CHECK(shuffled.look_up(zand_test::other_case(keys[i])) == &items[i]);
  }
  SCRIPT_CHECK(walk(shuffled) == walk(in_order));
  return {};
}

TEST(DllThreads, ThreadsTheDllIsNotToldOfUseItsObjects) {
  std::vector<zand_test::Driver> units = zand_test::interface_drivers();
  // Seeded by the map driver's corpus, whose inputs are bytes like any.
  units.push_back({"fuzz_obj_map", 200, check_map});
  // Twice, so that threads also start after others have ended.
  zand_test::expect_units_pass_on_threads(units);
  zand_test::expect_units_pass_on_threads(units);
}

}  // namespace
