// ZAND_OBJ_MAP through the shared library: the walk order's worked example,
// and keys that match without case up to their first zero byte. Operation
// scripts against the model run in obj_hash_table_test.cpp.
#include "zand_stl/zand_obj_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/counted_obj.h"

namespace {

using namespace std::string_literals;
using Keys = std::vector<std::string>;

// The keys of the whole map, counted with size() since a null value ends a
// walk.
Keys walk_keys(ZAND_OBJ_MAP& map) {
  Keys keys(static_cast<std::size_t>(map.size()));
  map.reset_iterator();
  for (std::string& key : keys) {
    map.get_next_entry(key);
  }
  return keys;
}

TEST(ObjMapOrder, EveryInsertionOrderAndSizeHintWalkAlike) {
  std::string letters = "abcde";
  do {
    ZAND_OBJ_MAP maps[] = {ZAND_OBJ_MAP(), ZAND_OBJ_MAP(0), ZAND_OBJ_MAP(1000)};
    ZAND_OBJ_MAP four;
    for (char c : letters) {
      for (ZAND_OBJ_MAP& map : maps) {
        map.set_at(std::string(1, c), nullptr);
      }
      if (c != 'e') {
        four.set_at(std::string(1, c), nullptr);
      }
    }
    for (ZAND_OBJ_MAP& map : maps) {
      ASSERT_EQ(walk_keys(map), (Keys{"b", "d", "a", "c", "e"})) << letters;
    }
    ASSERT_EQ(walk_keys(four), (Keys{"a", "b", "c", "d"})) << letters;
  } while (std::next_permutation(letters.begin(), letters.end()));
}

TEST(ObjMapKeys, MatchWithoutCaseUpToTheFirstZeroAndKeepTheFirstForm) {
  zand_test::CountedObj p, q;
  ZAND_OBJ_MAP map;
  EXPECT_TRUE(map.set_at("Alpha", &p));
  EXPECT_TRUE(map.set_at("ALPHA", &q));
  EXPECT_EQ(map.look_up("alpha"), &q);
  map.set_at("ab\0cd"s, &p);
  EXPECT_EQ(map.look_up("AB"), &p);
  EXPECT_EQ(map.look_up(""), nullptr);
  map.set_at("", &q);
  EXPECT_EQ(walk_keys(map), (Keys{"", "ab\0cd"s, "Alpha"}));
  // A 1 MiB key is hashed and compared like any other.
  map.set_at(std::string(1 << 20, 'Q'), &p);
  EXPECT_EQ(map.look_up(std::string(1 << 20, 'q')), &p);
  EXPECT_EQ(map.look_up(std::string((1 << 20) - 1, 'q')), nullptr);
}

}  // namespace
