// ZAND_OBJ_LIST when memory runs out: every allocation point of an addition,
// a copy and an assignment is failed in turn, and the list must be left as
// promised with nothing leaked.
#include <gtest/gtest.h>

#include <vector>

#include "support/counted_obj.h"
#include "support/failing_allocator.h"
#include "zand_stl/zand_obj_list.h"

namespace {

using namespace zand_test;

CountedObj objs[4];

void fill(ZAND_OBJ_LIST& list, int n) {
  for (int i = 0; i < n; ++i) {
    list.add_at_tail(&objs[i]);
  }
}

std::vector<ZAND_OBJ*> contents(const ZAND_OBJ_LIST& list) {
  ZAND_OBJ_LIST copy(list);  // its cursor at the head
  std::vector<ZAND_OBJ*> out(static_cast<std::size_t>(copy.size()));
  for (ZAND_OBJ*& p : out) {
    p = copy.get_next_value();
  }
  return out;
}

TEST(ObjListAllocation, FailedAdditionsLeaveTheListUnchanged) {
  for (bool at_head : {true, false}) {
    const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
      ZAND_OBJ_LIST list;
      fill(list, 3);
      list.reset_head_position();
      list.get_next_value();
      const std::size_t live = live_allocations();
      const bool failed = fails_at(k, [&] {
        at_head ? list.add_at_head(&objs[3]) : list.add_at_tail(&objs[3]);
      });
      if (failed) {
        EXPECT_EQ(live_allocations(), live);
        EXPECT_EQ(contents(list),
                  (std::vector<ZAND_OBJ*>{&objs[0], &objs[1], &objs[2]}));
        EXPECT_EQ(list.get_prev_value(), &objs[0]);  // the cursor untouched
      }
      return failed;
    });
    EXPECT_EQ(report_sweep(at_head ? "add_at_head" : "add_at_tail", points),
              1U);  // one node per element, nothing else
  }
}

TEST(ObjListAllocation, FailedCopiesLeakNothingAndLeaveTargetsEmpty) {
  ZAND_OBJ_LIST source;
  fill(source, 4);
  std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    const std::size_t live = live_allocations();
    const bool failed = fails_at(k, [&] { ZAND_OBJ_LIST copy(source); });
    EXPECT_EQ(live_allocations(), live);
    return failed;
  });
  EXPECT_EQ(report_sweep("list copy constructor, 4 elements", points), 4U);

  points = sweep_allocation_failures([&](std::size_t k) {
    ZAND_OBJ_LIST target;
    fill(target, 2);
    const std::size_t live = live_allocations();
    const bool failed = fails_at(k, [&] { target = source; });
    if (failed) {
      EXPECT_TRUE(target.is_empty());
      EXPECT_EQ(target.get_next_value(), nullptr);
      EXPECT_EQ(live_allocations(), live - 2);
    } else {
      EXPECT_EQ(contents(target), contents(source));
    }
    return failed;
  });
  EXPECT_EQ(report_sweep("list assignment, 4 elements over 2", points), 4U);
  EXPECT_EQ(source.size(), 4);
}

}  // namespace
