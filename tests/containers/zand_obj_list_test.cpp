// ZAND_OBJ_LIST through the shared library: the cursor rules, the ends, null
// and repeated pointers, copies. (fuzz/fuzz_obj_list.cpp runs random
// operation sequences against a deque model.)
#include "zand_stl/zand_obj_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/counted_obj.h"

namespace {

using zand_test::CountedObj;

struct Objects {
  CountedObj w{0}, x{1}, y{2}, z{3};
};

std::vector<ZAND_OBJ*> walk(ZAND_OBJ_LIST& list) {
  std::vector<ZAND_OBJ*> out;
  list.reset_head_position();
  for (int n = list.size(); n > 0; --n) {  // null values cannot end the walk
    out.push_back(list.get_next_value());
  }
  return out;
}

TEST(ObjList, EmptyListAnswersNullEverywhere) {
  ZAND_OBJ_LIST list;
  CountedObj x;
  EXPECT_EQ(list.size(), 0);
  EXPECT_TRUE(list.is_empty());
  EXPECT_EQ(list.get_head(), nullptr);
  EXPECT_EQ(list.get_tail(), nullptr);
  EXPECT_EQ(list.get_prev_value(), nullptr);
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(list.remove_from_head(), nullptr);
  EXPECT_EQ(list.remove_from_tail(), nullptr);
  EXPECT_FALSE(list.item_existed(&x));
  EXPECT_FALSE(list.item_existed(nullptr));
  list.remove_all();
  list.delete_all_entries();
  EXPECT_TRUE(list.is_empty());
}

TEST(ObjListCursor, NewListNeedsResetBeforeWalking) {
  Objects o;
  ZAND_OBJ_LIST list;
  list.add_at_tail(&o.x);
  list.add_at_tail(&o.y);
  list.add_at_tail(&o.z);
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(list.get_prev_value(), &o.z);

  list.reset_head_position();
  EXPECT_EQ(list.get_prev_value(), nullptr);
  EXPECT_EQ(list.get_next_value(), &o.x);
  EXPECT_EQ(list.get_prev_value(), &o.x);
  EXPECT_EQ(list.get_prev_value(), &o.x);
  EXPECT_EQ(list.get_next_value(), &o.y);
  EXPECT_EQ(list.get_next_value(), &o.z);
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(list.get_prev_value(), &o.z);
}

TEST(ObjListCursor, AdditionsDuringAWalk) {
  Objects o;
  ZAND_OBJ_LIST list;
  list.add_at_tail(&o.x);
  list.add_at_tail(&o.y);
  list.add_at_tail(&o.z);
  list.reset_head_position();
  EXPECT_EQ(list.get_next_value(), &o.x);  // cursor now on y
  list.add_at_head(&o.w);                  // lies behind the walk
  EXPECT_EQ(list.get_next_value(), &o.y);
  list.add_at_tail(&o.w);  // cursor on z: the walk reaches the new tail
  EXPECT_EQ(list.get_next_value(), &o.z);
  EXPECT_EQ(list.get_next_value(), &o.w);
  EXPECT_EQ(list.get_next_value(), nullptr);
  list.add_at_tail(&o.x);  // the walk has ended and stays ended
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(walk(list),
            (std::vector<ZAND_OBJ*>{&o.w, &o.x, &o.y, &o.z, &o.w, &o.x}));
}

TEST(ObjListCursor, RemovalsMoveTheCursorOffTheRemovedNode) {
  Objects o;
  ZAND_OBJ_LIST list;
  list.add_at_tail(&o.x);
  list.add_at_tail(&o.y);
  list.add_at_tail(&o.z);
  list.reset_head_position();
  EXPECT_EQ(list.remove_from_head(), &o.x);
  EXPECT_EQ(list.get_next_value(), &o.y);  // cursor now on z
  list.add_at_head(&o.x);
  EXPECT_EQ(list.remove_from_head(), &o.x);  // cursor stays on z
  EXPECT_EQ(list.remove_from_tail(), &o.z);  // cursor goes to the end
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(list.get_prev_value(), &o.y);
  EXPECT_EQ(list.remove_from_tail(), &o.y);
  EXPECT_TRUE(list.is_empty());
  EXPECT_EQ(list.get_prev_value(), nullptr);
}

TEST(ObjList, NullAndRepeatedPointersAreOrdinaryValues) {
  Objects o;
  ZAND_OBJ_LIST list;
  list.add_at_tail(nullptr);
  EXPECT_EQ(list.size(), 1);
  EXPECT_FALSE(list.is_empty());
  EXPECT_EQ(list.get_head(), nullptr);
  EXPECT_TRUE(list.item_existed(nullptr));
  list.reset_head_position();
  EXPECT_EQ(list.get_next_value(), nullptr);  // although an element is there
  EXPECT_EQ(list.remove_from_head(), nullptr);
  EXPECT_TRUE(list.is_empty());

  list.add_at_tail(&o.x);
  list.add_at_head(&o.x);
  EXPECT_EQ(list.size(), 2);
  EXPECT_EQ(list.remove_from_head(), &o.x);
  EXPECT_TRUE(list.item_existed(&o.x));
  EXPECT_EQ(list.remove_from_tail(), &o.x);
  EXPECT_FALSE(list.item_existed(&o.x));
}

TEST(ObjList, ItemExistedFindsEveryPositionAndNothingElse) {
  std::vector<CountedObj> objs(9);
  for (std::size_t n = 1; n <= objs.size() - 1; ++n) {
    ZAND_OBJ_LIST list;
    for (std::size_t i = 0; i < n; ++i) {
      list.add_at_tail(&objs[i]);
    }
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_TRUE(list.item_existed(&objs[i]));
    }
    EXPECT_FALSE(list.item_existed(&objs.back()));
    EXPECT_FALSE(list.item_existed(nullptr));
  }
}

TEST(ObjList, NoOperationDestroysAnObject) {
  const int before = CountedObj::alive;
  {
    Objects o;
    ZAND_OBJ_LIST list;
    for (ZAND_OBJ* p : {&o.x, &o.y, &o.z}) {
      list.add_at_tail(p);
    }
    ZAND_OBJ_LIST copy(list);
    ZAND_OBJ_LIST assigned;
    assigned = list;
    list.remove_from_head();
    list.remove_from_tail();
    list.remove_all();
    copy.delete_all_entries();
    EXPECT_EQ(CountedObj::alive, before + 4);
    EXPECT_EQ(o.y.id(), 2);  // still usable
  }
  EXPECT_EQ(CountedObj::alive, before);
}

TEST(ObjListCopy, CopiesShareObjectsButNotNodes) {
  Objects o;
  ZAND_OBJ_LIST list;
  for (ZAND_OBJ* p : {&o.x, &o.y, &o.z}) {
    list.add_at_tail(p);
  }
  list.reset_head_position();
  list.get_next_value();  // source cursor on y

  ZAND_OBJ_LIST copy(list);
  EXPECT_EQ(copy.get_head(), &o.x);
  EXPECT_EQ(copy.get_next_value(), &o.x);  // the copy's cursor starts at head
  EXPECT_EQ(copy.remove_from_head(), &o.x);
  EXPECT_EQ(list.size(), 3);
  EXPECT_EQ(list.get_next_value(), &o.y);  // the source's cursor is its own

  ZAND_OBJ_LIST target;
  target.add_at_tail(&o.w);
  target = list;
  EXPECT_EQ(walk(target), (std::vector<ZAND_OBJ*>{&o.x, &o.y, &o.z}));

  list.reset_head_position();
  list.get_next_value();
  ZAND_OBJ_LIST& self = list;
  EXPECT_EQ(&(list = self), &list);
  EXPECT_EQ(list.size(), 3);
  EXPECT_EQ(list.get_next_value(), &o.y);  // self-assignment kept the cursor
}

TEST(ObjListCursor, ClearingAndAssigningLeaveTheCursorAtTheHead) {
  Objects o;
  ZAND_OBJ_LIST list;
  list.add_at_tail(&o.x);
  list.remove_all();
  list.add_at_tail(&o.y);
  EXPECT_EQ(list.get_next_value(), nullptr);  // an empty list's head is its end
  ZAND_OBJ_LIST other;
  other.add_at_tail(&o.z);
  list.reset_head_position();
  list.get_next_value();
  list = other;
  EXPECT_EQ(list.get_next_value(), &o.z);
}

class AlwaysEmptyList : public ZAND_OBJ_LIST {
 public:
  bool is_empty() const override { return true; }
};

class NeverEmptyList : public ZAND_OBJ_LIST {
 public:
  bool is_empty() const override { return false; }
};

TEST(ObjList, DerivedIsEmptyGovernsTheReaders) {
  CountedObj x;
  AlwaysEmptyList list;
  list.add_at_tail(&x);
  EXPECT_EQ(list.get_head(), nullptr);
  EXPECT_EQ(list.get_tail(), nullptr);
  EXPECT_FALSE(list.item_existed(&x));
  EXPECT_EQ(list.size(), 1);
  EXPECT_EQ(list.remove_from_head(), &x);  // removals look at the chain

  NeverEmptyList never;  // an empty chain still answers null, safely
  EXPECT_EQ(never.get_head(), nullptr);
  EXPECT_EQ(never.get_tail(), nullptr);
  EXPECT_FALSE(never.item_existed(&x));
}

}  // namespace
