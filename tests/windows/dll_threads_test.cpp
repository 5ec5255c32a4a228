// Threads started and joined while zand_stl.dll is loaded, each with its own
// list, map, file and strings. The entry routine turns the loader's
// per-thread notifications off, as the library keeps nothing per thread:
// threads the DLL never hears of must find it working all the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/file_model.h"
#include "support/keys.h"
#include "support/list_script.h"
#include "support/script.h"
#include "support/string_model.h"
#include "support/temp_dir.h"
#include "zand_stl/zand_obj_map.h"

namespace {

class Item : public ZAND_OBJ {};

std::vector<std::uint8_t> random_bytes(std::mt19937& rng, std::size_t longest) {
  std::vector<std::uint8_t> bytes(1 + rng() % longest);
  for (std::uint8_t& byte : bytes) {
    byte = static_cast<std::uint8_t>(rng());
  }
  return bytes;
}

// The stored keys in walk order, and the values beside them.
std::vector<std::string> walk(ZAND_OBJ_MAP& map,
                              std::vector<ZAND_OBJ*>& values) {
  std::vector<std::string> keys;
  map.reset_iterator();
  std::string key;
  while (ZAND_OBJ* value = map.get_next_entry(key)) {
    keys.push_back(key);
    values.push_back(value);
  }
  return keys;
}

// A map filled in an order of the thread's own walks its keys as
// `expected_walk` lists them, since the order depends on the set of keys
// alone, and finds each key in its other case, with its own value.
std::string check_map(std::mt19937& rng, const std::vector<std::string>& keys,
                      const std::vector<std::string>& expected_walk) {
  std::vector<Item> items(keys.size());
  std::vector<std::size_t> order(keys.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
  }
  std::shuffle(order.begin(), order.end(), rng);
  ZAND_OBJ_MAP map;
  for (const std::size_t i : order) {
    SCRIPT_CHECK(map.set_at(keys[i], &items[i]));
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SCRIPT_CHECK(map.look_up(zand_test::other_case(keys[i])) == &items[i]);
  }
  SCRIPT_CHECK(map.size() == static_cast<int>(keys.size()));
  std::vector<ZAND_OBJ*> values;
  SCRIPT_CHECK(walk(map, values) == expected_walk);
  for (std::size_t at = 0; at < values.size(); ++at) {
    const auto key = std::find(keys.begin(), keys.end(), expected_walk[at]);
    SCRIPT_CHECK(values[at] ==
                 &items[static_cast<std::size_t>(key - keys.begin())]);
  }
  map.remove_all();
  SCRIPT_CHECK(map.size() == 0 && map.look_up(keys[0]) == nullptr);
  return {};
}

// One thread's work: list and string scripts, a map, and a file of its own
// read back in pieces.
std::string use_the_library(unsigned seed, const std::vector<std::string>& keys,
                            const std::vector<std::string>& expected_walk) {
  std::mt19937 rng(seed);
  for (int i = 0; i < 20; ++i) {
    const std::vector<std::uint8_t> list_script = random_bytes(rng, 300);
    SCRIPT_PASS(
        zand_test::run_list_script(list_script.data(), list_script.size()));
    const std::vector<std::uint8_t> text = random_bytes(rng, 200);
    SCRIPT_PASS(zand_test::run_string_script(text.data(), text.size()));
  }
  SCRIPT_PASS(check_map(rng, keys, expected_walk));
  const zand_test::TempDir dir;
  for (int i = 0; i < 4; ++i) {
    const std::vector<std::uint8_t> contents = random_bytes(rng, 6000);
    SCRIPT_PASS(zand_test::check_read_string(
        dir, std::string(contents.begin(), contents.end())));
  }
  return {};
}

TEST(DllThreads, ThreadsTheDllIsNotToldOfUseItsObjectsAlongside) {
  std::vector<std::string> keys;
  for (int i = 0; i < 300; ++i) {
    keys.push_back((i % 2 == 0 ? "Key" : "kEY") + std::to_string(i));
  }
  Item item;
  ZAND_OBJ_MAP reference;
  for (const std::string& key : keys) {
    reference.set_at(key, &item);
  }
  std::vector<ZAND_OBJ*> ignored;
  const std::vector<std::string> expected_walk = walk(reference, ignored);
  ASSERT_EQ(expected_walk.size(), keys.size());

  // Two waves, so that threads also start after others have ended.
  constexpr unsigned kThreads = 4;
  for (unsigned wave = 0; wave < 2; ++wave) {
    std::vector<std::string> failures(kThreads);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        failures[i] = use_the_library(wave * kThreads + i, keys, expected_walk);
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    for (unsigned i = 0; i < kThreads; ++i) {
      EXPECT_EQ(failures[i], "") << "wave " << wave << ", thread " << i;
    }
  }
}

}  // namespace
