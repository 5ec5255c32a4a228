// ZAND_OBJ_LIST through the shared library: the cursor rules, null and
// repeated pointers, a derived is_empty, copies. (fuzz/fuzz_obj_list.cpp
// runs random operation sequences against a deque model.)
#include "zand_stl/zand_obj_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/counted_obj.h"

namespace {

using zand_test::CountedObj;
using Items = std::vector<ZAND_OBJ*>;

Items walk(ZAND_OBJ_LIST& list) {
  Items out;
  list.reset_head_position();
  for (int n = list.size(); n > 0; --n) {  // null values cannot end the walk
    out.push_back(list.get_next_value());
  }
  return out;
}

TEST(ObjListCursor, WalksAcrossAdditionsAndRemovals) {
  CountedObj w, x, y, z;
  ZAND_OBJ_LIST list;
  for (ZAND_OBJ* p : {&x, &y, &z}) {
    list.add_at_tail(p);
  }
  EXPECT_EQ(list.get_next_value(), nullptr);  // not reset: at the end
  EXPECT_EQ(list.get_prev_value(), &z);
  list.reset_head_position();
  EXPECT_EQ(list.get_prev_value(), nullptr);
  EXPECT_EQ(list.get_next_value(), &x);
  EXPECT_EQ(list.get_prev_value(), &x);
  list.add_at_head(&w);  // behind the walk: w x y z
  EXPECT_EQ(list.get_next_value(), &y);
  list.add_at_tail(&w);  // the cursor on z: the walk reaches it
  EXPECT_EQ(list.get_next_value(), &z);
  EXPECT_EQ(list.get_next_value(), &w);
  EXPECT_EQ(list.get_next_value(), nullptr);
  list.add_at_tail(&x);  // at the end: the walk stays ended
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(list.get_prev_value(), &x);

  list.reset_head_position();              // w x y z w x
  EXPECT_EQ(list.remove_from_head(), &w);  // the cursor moves on to x
  EXPECT_EQ(list.get_next_value(), &x);
  EXPECT_EQ(list.remove_from_head(), &x);  // the cursor stays on y
  EXPECT_EQ(list.get_next_value(), &y);
  EXPECT_EQ(list.get_next_value(), &z);
  EXPECT_EQ(list.get_next_value(), &w);
  EXPECT_EQ(list.remove_from_tail(), &x);  // the cursor moves to the end
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(list.get_prev_value(), &w);
  EXPECT_EQ(walk(list), (Items{&y, &z, &w}));
}

TEST(ObjList, NullAndRepeatedPointersAreOrdinaryValues) {
  CountedObj x;
  ZAND_OBJ_LIST list;
  EXPECT_FALSE(list.item_existed(nullptr));
  list.add_at_tail(nullptr);
  list.add_at_tail(&x);
  list.add_at_head(&x);
  EXPECT_TRUE(list.item_existed(nullptr));
  EXPECT_EQ(walk(list), (Items{&x, nullptr, &x}));
  EXPECT_EQ(list.remove_from_head(), &x);
  EXPECT_TRUE(list.item_existed(&x));
  EXPECT_EQ(list.remove_from_tail(), &x);
  EXPECT_FALSE(list.item_existed(&x));
  EXPECT_EQ(list.get_head(), nullptr);  // the null element
  EXPECT_FALSE(list.is_empty());
  EXPECT_EQ(list.remove_from_head(), nullptr);
  EXPECT_TRUE(list.is_empty());
}

TEST(ObjListCopy, CopiesShareObjectsButNotNodesNorCursorsAndDestroyNothing) {
  const int alive = CountedObj::alive;
  {
    CountedObj w, x, y;
    ZAND_OBJ_LIST list;
    list.add_at_tail(&x);
    list.add_at_tail(&y);
    list.reset_head_position();
    list.get_next_value();  // the cursor on y

    ZAND_OBJ_LIST copy(list);
    EXPECT_EQ(copy.get_next_value(), &x);  // the copy's cursor at the head
    EXPECT_EQ(copy.remove_from_head(), &x);
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.get_next_value(), &y);  // the source's cursor its own

    ZAND_OBJ_LIST target;
    target.add_at_tail(&w);
    target = list;
    EXPECT_EQ(target.get_next_value(), &x);  // at the head
    EXPECT_EQ(walk(target), (Items{&x, &y}));

    list.reset_head_position();
    list.get_next_value();
    ZAND_OBJ_LIST& self = list;
    EXPECT_EQ(&(list = self), &list);
    EXPECT_EQ(list.get_next_value(), &y);  // the cursor kept
    EXPECT_EQ(walk(list), (Items{&x, &y}));

    list.remove_all();  // the cursor at the head, here the end
    list.add_at_tail(&w);
    EXPECT_EQ(list.get_next_value(), nullptr);
    target.delete_all_entries();
    EXPECT_EQ(CountedObj::alive, alive + 3);
  }
  EXPECT_EQ(CountedObj::alive, alive);
}

class AlwaysEmptyList : public ZAND_OBJ_LIST {
 public:
  bool is_empty() const override { return true; }
};

TEST(ObjList, ADerivedIsEmptyGovernsTheReaders) {
  CountedObj x;
  AlwaysEmptyList list;
  list.add_at_tail(&x);
  EXPECT_EQ(list.get_head(), nullptr);
  EXPECT_EQ(list.get_tail(), nullptr);
  EXPECT_FALSE(list.item_existed(&x));
  EXPECT_EQ(list.remove_from_head(), &x);  // removals look at the chain
}

}  // namespace
