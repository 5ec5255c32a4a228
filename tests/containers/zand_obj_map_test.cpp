// ZAND_OBJ_MAP through the shared library: the fixed walk order, key
// matching, null values, the cursor across insertions and splits, copies.
#include "zand_stl/zand_obj_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/counted_obj.h"
#include "support/walk_order_model.h"

namespace {

using zand_test::CountedObj;
using namespace std::string_literals;
using Keys = std::vector<std::string>;
using Walk = std::vector<std::pair<std::string, ZAND_OBJ*>>;

// The next n steps of a walk under way, the end included.
Walk next_entries(ZAND_OBJ_MAP& map, int n) {
  Walk out;
  for (std::string key; n > 0; --n) {
    ZAND_OBJ* value = map.get_next_entry(key);
    out.emplace_back(key, value);
  }
  return out;
}

// The keys of the whole map, counted with size() since a null value ends a
// walk.
Keys walk_keys(ZAND_OBJ_MAP& map) {
  map.reset_iterator();
  Keys keys;
  for (const auto& entry : next_entries(map, map.size())) {
    keys.push_back(entry.first);
  }
  return keys;
}

TEST(ObjMapOrder, EveryInsertionOrderAndSizeHintWalkAlike) {
  std::string letters = "abcde";
  int orders = 0;
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
    ++orders;
  } while (std::next_permutation(letters.begin(), letters.end()));
  EXPECT_EQ(orders, 120);
}

// Against the model, through the exported interface (and so under Wine too).
TEST(ObjMapOrder, ThousandsOfRandomKeysWalkInModelOrder) {
  std::mt19937 rng(77);
  const std::string alphabet = "aAqQzZ09_[`{@\x80\xC4\xFF-"s;
  Keys inserted;
  ZAND_OBJ_MAP map;
  for (int i = 0; i < 6000; ++i) {
    std::string key(rng() % 20, ' ');
    for (char& c : key) {
      c = alphabet[rng() % alphabet.size()];
    }
    if (rng() % 20 == 0) {
      key += "\0zz"s;
    }
    inserted.push_back(key);
    map.set_at(key, nullptr);
  }
  const Keys expected = zand_test::model_walk(inserted);
  ASSERT_GT(expected.size(), 5000U);
  ASSERT_EQ(map.size(), static_cast<int>(expected.size()));
  EXPECT_EQ(walk_keys(map), expected);
}

TEST(ObjMapKeys, MatchWithoutCaseUpToTheFirstZeroAndKeepTheFirstForm) {
  CountedObj p, q, r;
  ZAND_OBJ_MAP map;
  EXPECT_TRUE(map.set_at("Alpha", &p));
  EXPECT_TRUE(map.set_at("ALPHA", &q));
  EXPECT_EQ(map.look_up("alpha"), &q);
  map.set_at("ab\0cd"s, &p);
  map.set_at("AB", &r);
  EXPECT_EQ(map.look_up("ab\0xyz"s), &r);
  EXPECT_EQ(map.look_up("a"), nullptr);
  EXPECT_EQ(map.look_up("abc"), nullptr);
  EXPECT_EQ(map.look_up(""), nullptr);
  map.set_at("", &p);
  EXPECT_EQ(map.look_up(""), &p);
  map.reset_iterator();
  EXPECT_EQ(next_entries(map, 3),
            (Walk{{"", &p}, {"ab\0cd"s, &r}, {"Alpha", &q}}));
  // A 1 MiB key is hashed and compared like any other.
  map.set_at(std::string(1 << 20, 'Q'), &p);
  EXPECT_EQ(map.look_up(std::string(1 << 20, 'q')), &p);
  EXPECT_EQ(map.look_up(std::string((1 << 20) - 1, 'q')), nullptr);
}

TEST(ObjMapCursor, WalksAcrossNullValuesInsertionsAndSplits) {
  CountedObj obj;
  ZAND_OBJ_MAP map;
  map.set_at("a", nullptr);
  map.set_at("b", &obj);
  std::string key = "untouched";
  EXPECT_EQ(map.get_next_entry(key), nullptr);  // not reset: at the end
  EXPECT_EQ(key, "untouched");
  map.reset_iterator();
  // A null value ends the walk early, though size() counts it; the end
  // leaves the key as it was.
  EXPECT_EQ(next_entries(map, 3),
            (Walk{{"a", nullptr}, {"b", &obj}, {"b", nullptr}}));
  EXPECT_EQ(map.size(), 2);
  map.set_at("c", nullptr);  // the ended walk does not see it
  EXPECT_EQ(map.get_next_entry(key), nullptr);

  map.set_at("d", nullptr);
  map.reset_iterator();
  next_entries(map, 2);  // a, b; the cursor on c
  // "e" makes the table split: a and c move behind d, so the walk goes on
  // from c's new place and d, which lay between, is skipped.
  map.set_at("e", nullptr);
  EXPECT_EQ(next_entries(map, 3),
            (Walk{{"c", nullptr}, {"e", nullptr}, {"e", nullptr}}));
  map.reset_iterator();
  map.set_at("D", &obj);  // a new value, during a walk, changes nothing else
  EXPECT_EQ(next_entries(map, 2), (Walk{{"b", &obj}, {"d", &obj}}));
  EXPECT_EQ(walk_keys(map), (Keys{"b", "d", "a", "c", "e"}));
}

TEST(ObjMapCopy, CopiesWalkAlikeStayIndependentAndDestroyNothing) {
  const int alive = CountedObj::alive;
  {
    std::vector<CountedObj> objs(50);
    ZAND_OBJ_MAP map;
    for (std::size_t i = 0; i < objs.size(); ++i) {
      map.set_at("Key" + std::to_string(i), &objs[i]);
    }
    map.reset_iterator();
    const Walk all = next_entries(map, 50);  // the cursor now at the end
    ZAND_OBJ_MAP copy(map);
    EXPECT_EQ(next_entries(copy, 50), all);  // from the first entry
    copy.set_at("new", nullptr);
    EXPECT_EQ(map.size(), 50);

    ZAND_OBJ_MAP target;
    target.set_at("old", &objs[0]);
    target = map;
    EXPECT_EQ(target.look_up("old"), nullptr);
    EXPECT_EQ(next_entries(target, 50), all);

    map.reset_iterator();
    next_entries(map, 1);
    ZAND_OBJ_MAP& self = map;
    EXPECT_EQ(&(map = self), &map);
    EXPECT_EQ(next_entries(map, 1)[0], all[1]);  // the cursor kept

    map.remove_all();
    EXPECT_EQ(next_entries(map, 1), (Walk{{"", nullptr}}));  // at the end
    EXPECT_EQ(CountedObj::alive, alive + 50);
    EXPECT_EQ(map.look_up("Key3"), nullptr);
    EXPECT_EQ(target.look_up("Key3"), &objs[3]);
    EXPECT_EQ(map.size(), 0);
    for (const char* key : {"a", "b", "c", "d", "e"}) {  // as in a new map
      map.set_at(key, nullptr);
    }
    EXPECT_EQ(walk_keys(map), (Keys{"b", "d", "a", "c", "e"}));
  }
  EXPECT_EQ(CountedObj::alive, alive);
}

}  // namespace
