// ZAND_OBJ_MAP and its table when memory runs out: every allocation point of
// an insertion (with and without a lengthened slot table), a copy and an
// assignment is failed in turn.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "support/counted_obj.h"
#include "support/failing_allocator.h"
#include "zand_stl/internal/obj_hash_table.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using zand_internal::OBJ_HASH_TABLE;
using zand_test::CountedObj;
using zand_test::fails_at;
using zand_test::live_allocations;
using zand_test::report_sweep;
using zand_test::sweep_allocation_failures;

// Long enough that every key copy is an allocation of its own.
std::string long_key(int i) {
  return "a key too long for the small-string buffer #" + std::to_string(i);
}

std::vector<std::pair<std::string, ZAND_OBJ*>> walk(ZAND_OBJ_MAP& map) {
  std::vector<std::pair<std::string, ZAND_OBJ*>> out;
  map.reset_iterator();
  std::string key;
  for (int n = map.size(); n > 0; --n) {
    ZAND_OBJ* value = map.get_next_entry(key);
    out.emplace_back(key, value);
  }
  return out;
}

void fill(ZAND_OBJ_MAP& map, int n) {
  for (int i = 0; i < n; ++i) {
    map.set_at(long_key(i), nullptr);
  }
}

TEST(ObjMapAllocation, FailedInsertionChangesNothing) {
  // 4 entries: the insertion splits a bucket; 32: it also lengthens the
  // slot table from 9 to 17 slots.
  for (const int present : {0, 4, 32}) {
    const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
      ZAND_OBJ_MAP map;
      fill(map, present);
      const auto before = walk(map);
      const std::string key = long_key(1000);
      const std::size_t live = live_allocations();
      const bool failed = fails_at(k, [&] { map.set_at(key, nullptr); });
      if (failed) {
        EXPECT_EQ(live_allocations(), live);
        EXPECT_EQ(walk(map), before);
      }
      return failed;
    });
    // The entry, the key's copy, and the lengthened slot table.
    const std::string name =
        "set_at of a new key into " + std::to_string(present) + " entries";
    EXPECT_EQ(report_sweep(name, points), present == 32 ? 3U : 2U);
  }
}

TEST(ObjHashTableAllocation, FailedInsertionKeepsTheInvariants) {
  const std::string key = long_key(99);
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    OBJ_HASH_TABLE table;
    for (int i = 0; i < 32; ++i) {
      table.insert_entry(long_key(i), nullptr);
    }
    const bool failed = fails_at(k, [&] { table.insert_entry(key, nullptr); });
#ifndef NDEBUG
    EXPECT_EQ(table.invariant_violation(), "");
#endif
    EXPECT_EQ(table.entry_count(), failed ? 32U : 33U);
    EXPECT_EQ(table.bucket_count(), failed ? 8U : 9U);
    return failed;
  });
  EXPECT_EQ(report_sweep("insert_entry with a longer slot table", points), 3U);
}

TEST(ObjMapAllocation, FailedCopyConstructionLeaksNothing) {
  ZAND_OBJ_MAP source;
  fill(source, 40);
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    const std::size_t live = live_allocations();
    const bool failed = fails_at(k, [&] { ZAND_OBJ_MAP copy(source); });
    EXPECT_EQ(live_allocations(), live);
    return failed;
  });
  // The initial slot table, its lengthening to the source's 17 slots, then
  // an entry and a key copy for each of the 40 entries.
  EXPECT_EQ(report_sweep("map copy constructor, 40 entries", points),
            2U + 2 * 40U);
}

TEST(ObjMapAllocation, FailedAssignmentLeavesAValidEmptyMap) {
  ZAND_OBJ_MAP source;
  fill(source, 40);
  const std::size_t baseline = live_allocations();
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    bool failed = false;
    {
      ZAND_OBJ_MAP target;
      fill(target, 3);
      failed = fails_at(k, [&] { target = source; });
      if (failed) {
        EXPECT_EQ(target.size(), 0);
        std::string key = "kept";
        EXPECT_EQ(target.get_next_entry(key), nullptr);
        EXPECT_EQ(key, "kept");
        fill(target, 50);  // still a working map
        EXPECT_EQ(target.size(), 50);
      } else {
        EXPECT_EQ(walk(target), walk(source));
      }
    }
    EXPECT_EQ(live_allocations(), baseline);
    return failed;
  });
  EXPECT_EQ(report_sweep("map assignment, 40 entries over 3", points),
            1U + 2 * 40U);
}

TEST(ObjMapAllocation, FailedKeyAssignmentLeavesTheCursorInPlace) {
  std::vector<CountedObj> objs(3);
  ZAND_OBJ_MAP map;
  for (std::size_t i = 0; i < objs.size(); ++i) {
    map.set_at(long_key(static_cast<int>(i)), &objs[i]);
  }
  const auto entries = walk(map);
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    map.reset_iterator();
    std::string key;
    map.get_next_entry(key);  // the cursor on the second entry
    std::string fresh;        // too small for a long key
    const std::size_t live = live_allocations();
    const bool failed = fails_at(k, [&] { map.get_next_entry(fresh); });
    EXPECT_EQ(live_allocations(), live + (failed ? 0 : 1));
    if (failed) {  // the second entry is still the next one
      EXPECT_EQ(map.get_next_entry(fresh), entries[1].second);
    }
    EXPECT_EQ(fresh, entries[1].first);
    EXPECT_EQ(map.get_next_entry(key), entries[2].second);
    return failed;
  });
  EXPECT_EQ(report_sweep("get_next_entry", points), 1U);
}

TEST(ObjHashTableAllocation, FailedCopyLeavesAValidEmptyTable) {
  OBJ_HASH_TABLE source;
  for (int i = 0; i < 40; ++i) {
    source.insert_entry(long_key(i), nullptr);
  }
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    OBJ_HASH_TABLE target;
    target.insert_entry(long_key(7), nullptr);
    const bool failed = fails_at(k, [&] { target.copy_from(source); });
    if (failed) {
      EXPECT_EQ(target.entry_count(), 0U);
      EXPECT_EQ(target.first(), target.end());
    }
#ifndef NDEBUG
    EXPECT_EQ(target.invariant_violation(), "");
#endif
    return failed;
  });
  EXPECT_EQ(report_sweep("copy_from, 40 entries", points), 1U + 2 * 40U);
}

}  // namespace
