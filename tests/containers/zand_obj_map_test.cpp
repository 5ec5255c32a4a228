// ZAND_OBJ_MAP through the shared library: the fixed walk order, case and
// zero-byte matching, null values, the cursor across insertions and splits,
// copies, and random key sets checked against a plain model of the order.
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

using Walk = std::vector<std::pair<std::string, ZAND_OBJ*>>;

// Walks the whole map; counts with size() so that null values do not stop it.
Walk walk(ZAND_OBJ_MAP& map) {
  Walk out;
  map.reset_iterator();
  for (int n = map.size(); n > 0; --n) {
    std::string key;
    ZAND_OBJ* value = map.get_next_entry(key);
    out.emplace_back(key, value);
  }
  return out;
}

std::vector<std::string> walk_keys(ZAND_OBJ_MAP& map) {
  std::vector<std::string> keys;
  for (const auto& entry : walk(map)) {
    keys.push_back(entry.first);
  }
  return keys;
}

TEST(ObjMapOrder, FiveLettersWalkTheSameWayInEveryInsertionOrder) {
  std::string letters = "abcde";
  int orders = 0;
  do {
    ZAND_OBJ_MAP map;
    ZAND_OBJ_MAP four;
    for (char c : letters) {
      map.set_at(std::string(1, c), nullptr);
      if (c != 'e') {
        four.set_at(std::string(1, c), nullptr);
      }
    }
    ASSERT_EQ(walk_keys(map),
              (std::vector<std::string>{"b", "d", "a", "c", "e"}));
    ASSERT_EQ(walk_keys(four), (std::vector<std::string>{"a", "b", "c", "d"}));
    ++orders;
  } while (std::next_permutation(letters.begin(), letters.end()));
  EXPECT_EQ(orders, 120);
}

TEST(ObjMapOrder, RandomKeySetsWalkInModelOrder) {
  std::mt19937 rng(77);
  const std::string alphabet = "aAqQzZ09_[`{@\x80\xC4\xFF-"s;
  for (int round = 0; round < 12; ++round) {
    const int n = 1 + static_cast<int>(rng() % (round < 6 ? 64 : 5000));
    std::vector<std::string> inserted;
    ZAND_OBJ_MAP map;
    for (int i = 0; i < n; ++i) {
      std::string key(rng() % 12, ' ');
      for (char& c : key) {
        c = alphabet[rng() % alphabet.size()];
      }
      if (rng() % 20 == 0) {
        key += "\0zz"s;
      }
      inserted.push_back(key);
      map.set_at(key, nullptr);
    }
    const auto expected = zand_test::model_walk(inserted);
    ASSERT_EQ(map.size(), static_cast<int>(expected.size()));
    ASSERT_EQ(walk_keys(map), expected) << "round " << round;
  }
}

TEST(ObjMap, KeysMatchWithoutCaseAndUpToTheFirstZeroByte) {
  CountedObj p(1), q(2), r(3);
  ZAND_OBJ_MAP map;
  EXPECT_TRUE(map.set_at("Alpha", &p));
  EXPECT_TRUE(map.set_at("ALPHA", &q));
  EXPECT_EQ(map.size(), 1);
  EXPECT_EQ(map.look_up("alpha"), &q);
  EXPECT_EQ(walk(map), (Walk{{"Alpha", &q}}));

  map.set_at("ab\0cd"s, &p);
  map.set_at("AB", &r);
  EXPECT_EQ(map.size(), 2);
  EXPECT_EQ(map.look_up("ab\0xyz"s), &r);
  EXPECT_EQ(map.look_up("ab"), &r);
  EXPECT_EQ(map.look_up("a"), nullptr);
  EXPECT_EQ(map.look_up("abc"), nullptr);
  EXPECT_EQ(walk(map), (Walk{{"ab\0cd"s, &r}, {"Alpha", &q}}));

  EXPECT_EQ(map.look_up(""), nullptr);
  map.set_at("", &p);
  EXPECT_EQ(map.look_up(""), &p);
  EXPECT_EQ(map.size(), 3);
}

TEST(ObjMapCursor, WalkNeedsResetAndStaysAtTheEnd) {
  CountedObj a(1), b(2), c(3);
  ZAND_OBJ_MAP map;
  map.set_at("a", &a);
  map.set_at("b", &b);
  map.set_at("c", &c);
  std::string key = "untouched";
  EXPECT_EQ(map.get_next_entry(key), nullptr);
  EXPECT_EQ(key, "untouched");
  map.reset_iterator();
  EXPECT_EQ(map.get_next_entry(key), &a);
  EXPECT_EQ(key, "a");
  EXPECT_EQ(map.get_next_entry(key), &b);
  EXPECT_EQ(map.get_next_entry(key), &c);
  EXPECT_EQ(map.get_next_entry(key), nullptr);
  EXPECT_EQ(key, "c");
  map.set_at("d", &a);  // the ended walk does not see it
  EXPECT_EQ(map.get_next_entry(key), nullptr);
  EXPECT_EQ(walk_keys(map), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(ObjMapCursor, NullValueEndsAWalkEarlyButCounts) {
  CountedObj a(1);
  ZAND_OBJ_MAP map;
  map.set_at("a", nullptr);
  map.set_at("b", &a);
  EXPECT_EQ(map.size(), 2);
  EXPECT_EQ(map.look_up("a"), nullptr);
  map.reset_iterator();
  std::string key;
  EXPECT_EQ(map.get_next_entry(key), nullptr);  // the entry "a", not the end
  EXPECT_EQ(key, "a");
  EXPECT_EQ(map.get_next_entry(key), &a);
  EXPECT_EQ(key, "b");
}

TEST(ObjMapCursor, SplitOfTheBucketUnderTheCursorMovesTheWalk) {
  ZAND_OBJ_MAP map;
  for (const char* key : {"a", "b", "c", "d"}) {
    map.set_at(key, nullptr);
  }
  map.reset_iterator();
  std::string key;
  map.get_next_entry(key);
  map.get_next_entry(key);
  EXPECT_EQ(key, "b");  // cursor on c
  // "e" makes the table split: a and c move behind d, so the walk goes on
  // from c's new place and d, which lay between, is skipped.
  map.set_at("e", nullptr);
  std::vector<std::string> rest;
  for (int i = 0; i < 2; ++i) {
    map.get_next_entry(key);
    rest.push_back(key);
  }
  EXPECT_EQ(rest, (std::vector<std::string>{"c", "e"}));
  key = "end";
  map.get_next_entry(key);
  EXPECT_EQ(key, "end");
  // Replacing a value during a walk changes nothing else.
  CountedObj obj;
  map.reset_iterator();
  map.set_at("D", &obj);
  EXPECT_EQ(map.get_next_entry(key), nullptr);
  EXPECT_EQ(map.get_next_entry(key), &obj);
  EXPECT_EQ(key, "d");
  EXPECT_EQ(walk_keys(map),
            (std::vector<std::string>{"b", "d", "a", "c", "e"}));
}

TEST(ObjMapCopy, CopiesWalkAlikeAndStayIndependent) {
  std::vector<CountedObj> objs(50);
  ZAND_OBJ_MAP map(0);
  for (std::size_t i = 0; i < objs.size(); ++i) {
    map.set_at("Key" + std::to_string(i), &objs[i]);
  }
  map.reset_iterator();
  std::string key;
  map.get_next_entry(key);
  const std::string second = walk_keys(map)[1];
  map.reset_iterator();
  map.get_next_entry(key);

  ZAND_OBJ_MAP copy(map);
  std::string copy_key;
  copy.get_next_entry(copy_key);  // the copy's cursor starts at the first entry
  EXPECT_EQ(copy_key, key);
  EXPECT_EQ(walk(copy), walk(map));
  copy.set_at("new", nullptr);
  EXPECT_EQ(map.look_up("new"), nullptr);
  EXPECT_EQ(map.size(), 50);

  ZAND_OBJ_MAP target(1000);
  target.set_at("old", &objs[0]);
  target = map;
  EXPECT_EQ(target.look_up("old"), nullptr);
  EXPECT_EQ(walk(target), walk(map));

  map.reset_iterator();
  map.get_next_entry(key);
  ZAND_OBJ_MAP& self = map;
  EXPECT_EQ(&(map = self), &map);
  map.get_next_entry(key);  // self-assignment kept the cursor
  EXPECT_EQ(key, second);
}

TEST(ObjMap, RemoveAllAndDestructionLeaveTheObjectsAlone) {
  const int alive = CountedObj::alive;
  {
    std::vector<CountedObj> objs(20);
    ZAND_OBJ_MAP map;
    for (std::size_t i = 0; i < objs.size(); ++i) {
      map.set_at(std::to_string(i), &objs[i]);
    }
    ZAND_OBJ_MAP copy(map);
    map.remove_all();
    EXPECT_EQ(map.size(), 0);
    EXPECT_EQ(map.look_up("3"), nullptr);
    std::string key;
    EXPECT_EQ(map.get_next_entry(key), nullptr);
    map.reset_iterator();
    EXPECT_EQ(map.get_next_entry(key), nullptr);
    EXPECT_EQ(CountedObj::alive, alive + 20);
    EXPECT_EQ(copy.look_up("3"), &objs[3]);
    for (int i = 0; i < 5; ++i) {  // a cleared map grows like a new one
      map.set_at(std::string(1, static_cast<char>('a' + i)), nullptr);
    }
    EXPECT_EQ(walk_keys(map),
              (std::vector<std::string>{"b", "d", "a", "c", "e"}));
  }
  EXPECT_EQ(CountedObj::alive, alive);
}

TEST(ObjMap, HostileKeys) {
  ZAND_OBJ_MAP map;
  CountedObj a(1);
  const std::string huge(1 << 20, 'Q');
  map.set_at(huge, &a);
  EXPECT_EQ(map.look_up(std::string(1 << 20, 'q')), &a);
  for (int c = 0; c < 256; ++c) {
    map.set_at(std::string(3, static_cast<char>(c)), &a);
  }
  // 'A'-'Z' fold into 'a'-'z', and the zero byte gives the empty key.
  EXPECT_EQ(map.size(), 1 + 256 - 26);
  EXPECT_EQ(map.look_up("\xFF\xFF\xFF"), &a);
}

}  // namespace
