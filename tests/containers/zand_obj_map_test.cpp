// ZAND_OBJ_MAP through the shared library: the walk order's worked example,
// and keys of every size the table stores differently. Operation scripts
// against the model, keys with letters of both cases and zero bytes among
// them, run in obj_hash_table_test.cpp.
#include "zand_stl/zand_obj_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "support/counted_obj.h"
#include "support/keys.h"
#include "support/map_model.h"

namespace {

using Keys = std::vector<std::string>;
using zand_test::walk_keys;

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

}  // namespace
