// ZAND_OBJ_LIST when memory runs out: every allocation point of an addition,
// a copy and an assignment is failed in turn, and the list must be left as
// promised with nothing leaked.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "support/counted_obj.h"
#include "support/failing_allocator.h"
#include "zand_stl/zand_obj_list.h"

namespace {

using zand_test::CountedObj;
using zand_test::fails_at;
using zand_test::live_allocations;
using zand_test::report_sweep;
using zand_test::sweep_allocation_failures;

std::vector<ZAND_OBJ*> contents(const ZAND_OBJ_LIST& list) {
  ZAND_OBJ_LIST walker(list);
  std::vector<ZAND_OBJ*> out;
  while (!walker.is_empty()) {
    out.push_back(walker.remove_from_head());
  }
  return out;
}

void fill(ZAND_OBJ_LIST& list, std::vector<CountedObj>& objs) {
  for (CountedObj& obj : objs) {
    list.add_at_tail(&obj);
  }
}

TEST(ObjListAllocation, FailedAdditionsLeaveTheListUnchanged) {
  std::vector<CountedObj> objs(3);
  CountedObj extra;
  for (bool at_head : {true, false}) {
    const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
      ZAND_OBJ_LIST list;
      fill(list, objs);
      list.reset_head_position();
      list.get_next_value();
      const auto before = contents(list);
      const std::size_t live = live_allocations();
      const bool failed = fails_at(k, [&] {
        at_head ? list.add_at_head(&extra) : list.add_at_tail(&extra);
      });
      if (failed) {
        EXPECT_EQ(live_allocations(), live);
        EXPECT_EQ(contents(list), before);
        EXPECT_EQ(list.get_prev_value(), before[0]);  // cursor untouched
      }
      return failed;
    });
    EXPECT_EQ(report_sweep(at_head ? "add_at_head" : "add_at_tail", points),
              1U);  // one node per element, nothing else
  }
}

TEST(ObjListAllocation, FailedCopyConstructionLeaksNothing) {
  std::vector<CountedObj> objs(5);
  ZAND_OBJ_LIST source;
  fill(source, objs);
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    const std::size_t live = live_allocations();
    const bool failed = fails_at(k, [&] { ZAND_OBJ_LIST copy(source); });
    EXPECT_EQ(live_allocations(), live);
    return failed;
  });
  EXPECT_EQ(report_sweep("list copy constructor, 5 elements", points),
            objs.size());
  EXPECT_EQ(source.size(), 5);
}

TEST(ObjListAllocation, FailedAssignmentLeavesTheTargetEmpty) {
  std::vector<CountedObj> objs(4);
  std::vector<CountedObj> old(2);
  ZAND_OBJ_LIST source;
  fill(source, objs);
  const int alive = CountedObj::alive;
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    ZAND_OBJ_LIST target;
    fill(target, old);
    const std::size_t live = live_allocations();
    const bool failed = fails_at(k, [&] { target = source; });
    if (failed) {
      EXPECT_TRUE(target.is_empty());
      EXPECT_EQ(target.get_next_value(), nullptr);
      EXPECT_EQ(live_allocations(), live - old.size());
    } else {
      EXPECT_EQ(contents(target), contents(source));
    }
    return failed;
  });
  EXPECT_EQ(report_sweep("list assignment, 4 elements over 2", points),
            objs.size());
  EXPECT_EQ(CountedObj::alive, alive);
}

}  // namespace
