// ZAND_OBJ_MAP and the table under it: operation scripts on both against
// the model (containers/map_script.h), the walk order's worked example and its
// golden walk, keys of every size the table stores differently, and keys
// that all fall into one bucket.
#include "zand_stl/zand_obj_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "containers/golden_walk.h"
#include "containers/key_model.h"
#include "containers/map_model.h"
#include "containers/map_script.h"
#include "containers/obj_hash_key.h"
#include "support/counted_obj.h"
#include "support/script_runs.h"
#include "zand_stl/zand_file.h"
#include "zand_stl/zand_obj_list.h"

namespace {

using Keys = std::vector<std::string>;
using zand_test::first_difference;
using zand_test::GoldenWalk;
using zand_test::read_golden_walk;
using zand_test::render_line;
using zand_test::walk_keys;

// The default forms a caller writes for any value type compile for all
// three classes (clang refuses them for an explicit default constructor).
struct Members {
  ZAND_OBJ_MAP map;
  ZAND_OBJ_LIST list;
  ZAND_FILE file;
};

ZAND_OBJ_MAP made_by_return() { return {}; }

TEST(ObjMap, DefaultFormsCompileAndGiveEmptyMaps) {
  ZAND_OBJ_MAP braces = {};
  Members members = {};
  ZAND_OBJ_MAP returned = made_by_return();
  for (const ZAND_OBJ_MAP* map : {&braces, &members.map, &returned}) {
    EXPECT_EQ(map->size(), 0);
  }
  EXPECT_TRUE(members.list.is_empty());
}

TEST(ObjMapOrder, EveryInsertionOrderWalksAlike) {
  std::string letters = "abcde";
  do {
    ZAND_OBJ_MAP five(0);  // the size hint changes nothing
    ZAND_OBJ_MAP four(1000);
    for (char c : letters) {
      five.set_at(std::string(1, c), nullptr);
      if (c != 'e') {
        four.set_at(std::string(1, c), nullptr);
      }
    }
    ASSERT_EQ(walk_keys(five), (Keys{"b", "d", "a", "c", "e"})) << letters;
    ASSERT_EQ(walk_keys(four), (Keys{"a", "b", "c", "d"})) << letters;
  } while (std::next_permutation(letters.begin(), letters.end()));
}

// Keys of every length to 600 bytes, every power of two to 128 KiB with its
// neighbours, and random lengths to 70,000 bytes, stored into maps that
// already hold 0, 40 and 3,000 short keys, then copied and assigned: every
// key is found, in either letter case, and every map walks as the model
// says. Entries are carved from blocks that grow with the table, so the
// same key length lands in a different block at each fill.
TEST(ObjMapKeys, EveryLengthAtEveryFillSurvivesCopies) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 600; ++n) {
    lengths.push_back(n);
  }
  for (std::size_t power = 1; power <= std::size_t{128} << 10; power *= 2) {
    lengths.insert(lengths.end(), {power - 1, power, power + 1});
  }
  std::mt19937 rng(1116);
  for (int i = 0; i < 40; ++i) {
    lengths.push_back(rng() % 70001);
  }
  for (const std::size_t fill : {0U, 40U, 3000U}) {
    Keys keys;
    for (std::size_t i = 0; i < fill; ++i) {
      keys.push_back("Fill" + std::to_string(i));
    }
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      // Letters of both cases, and the key's number at its end where it
      // fits (short keys of one length may well be one key).
      std::string key(lengths[i], "kEy"[i % 3]);
      const std::string number = std::to_string(i);
      if (number.size() <= key.size()) {
        key.replace(key.size() - number.size(), number.size(), number);
      }
      keys.push_back(key);
    }
    zand_test::CountedObj value;
    ZAND_OBJ_MAP map;
    for (const std::string& key : keys) {
      map.set_at(key, &value);
    }
    const Keys order = zand_test::model_walk(keys);
    ZAND_OBJ_MAP copy(map);
    ZAND_OBJ_MAP assigned;
    assigned.set_at("old", nullptr);
    assigned = copy;
    for (ZAND_OBJ_MAP* m : {&map, &copy, &assigned}) {
      ASSERT_EQ(walk_keys(*m), order) << fill;
      for (const std::string& key : keys) {
        ASSERT_EQ(m->look_up(zand_test::other_case(key)), &value)
            << fill << " " << key.size();
      }
    }
  }
}

TEST(ObjMap, ScriptsAgreeWithTheModel) {
  zand_test::expect_scripts_pass(zand_test::kMapDriver, 16);
}

// The walk depends only on the set of keys: a shuffled insertion order, and
// the keys in their other letter case, walk as the file says, each key in
// the form it was stored with and the library's hash of it.
TEST(ObjMapGolden, WalkAndHashesMatchTheCommittedFile) {
  const GoldenWalk golden = read_golden_walk(ZAND_STL_MAP_WALK_GOLDEN);
  ASSERT_EQ(golden.keys.size(), 10000U) << "in " << ZAND_STL_MAP_WALK_GOLDEN;
  for (const bool other_case : {false, true}) {
    std::vector<std::string> keys = golden.keys;
    if (other_case) {
      std::transform(keys.begin(), keys.end(), keys.begin(),
                     zand_test::other_case);
    }
    std::shuffle(keys.begin(), keys.end(), std::mt19937(other_case ? 2 : 1));
    ZAND_OBJ_MAP map;
    for (const std::string& key : keys) {
      map.set_at(key, nullptr);
    }
    std::string walked;
    for (const std::string& key : zand_test::walk_keys(map)) {
      walked += render_line(other_case ? zand_test::other_case(key) : key,
                            zand_internal::key_hash(key.c_str(), key.size()));
    }
    const std::string difference =
        first_difference(golden.lines, walked, golden.header_lines + 1);
    EXPECT_TRUE(difference.empty())
        << (other_case ? "keys in their other case, hashed in that form"
                       : "keys as written")
        << ": " << difference;
  }
}

// Keys an attacker chooses: 30,000 of one hash, all in one bucket at any
// size, and 30,000 of equal low 12 bits, in one bucket until the table
// passes 4,096 buckets and then split apart. Each bucket's index keeps the
// cost of an operation logarithmic; without it, filling one bucket costs
// the square of its size, which at these counts would take minutes under
// the sanitizers.
TEST(HostileMapKeys, ThirtyThousandChosenKeysPerFamily) {
  constexpr std::size_t kKeys = 60000;
  const auto make_key = [](std::size_t i) {
    return i % 2 == 0 ? zand_test::one_bucket_key(i / 2, 15)
                      : zand_test::low_bits_key(i / 2, 12, 24);
  };
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < kKeys; ++i) {
    keys.push_back(make_key(i));
    ASSERT_EQ(zand_test::model_hash(keys[i]) & 0xFFF,
              zand_test::model_hash(keys[i % 2]) & 0xFFF);
  }
  std::shuffle(keys.begin(), keys.end(), std::mt19937(5));

  std::vector<zand_test::CountedObj> objs(kKeys);
  const int alive = zand_test::CountedObj::alive;
  ZAND_OBJ_MAP map;
  for (std::size_t i = 0; i < kKeys; ++i) {
    map.set_at(keys[i], &objs[i]);
  }
  for (std::size_t i = 0; i < kKeys; ++i) {
    ASSERT_EQ(map.look_up(zand_test::other_case(keys[i])), &objs[i]);
  }
  for (std::size_t i = kKeys; i < kKeys + 100; ++i) {  // absent, same family
    EXPECT_EQ(map.look_up(make_key(i)), nullptr);
  }
  ZAND_OBJ_MAP copy(map);
  std::vector<std::string> walked;
  std::string key;
  while (copy.get_next_entry(key) != nullptr) {
    walked.push_back(key);
  }
  EXPECT_EQ(walked, zand_test::model_walk(keys));
  // A 1 MiB key is hashed and compared like any other.
  map.set_at(std::string(1 << 20, 'Q'), &objs[0]);
  EXPECT_EQ(map.look_up(std::string(1 << 20, 'q')), &objs[0]);
  EXPECT_EQ(map.look_up(std::string((1 << 20) - 1, 'q')), nullptr);
  // Replacing, clearing and assigning over maps destroys no object.
  map.set_at(keys[0], nullptr);
  copy = map;
  map.remove_all();
  EXPECT_EQ(zand_test::CountedObj::alive, alive);
}

}  // namespace
