// ZAND_OBJ_MAP and its table when memory runs out: every allocation point of
// an insertion (with and without a lengthened slot table), a copy, an
// assignment and a key handed out is failed in turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/counted_obj.h"
#include "support/failing_allocator.h"
#include "support/table_check.h"
#include "zand_stl/internal/obj_hash_table.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using zand_internal::OBJ_HASH_TABLE;
using namespace zand_test;

// Long enough that every key copy is an allocation of its own.
std::string long_key(int i) {
  return "a key too long for the small-string buffer #" + std::to_string(i);
}

std::vector<std::string> walk_keys(ZAND_OBJ_MAP& map) {
  std::vector<std::string> keys(static_cast<std::size_t>(map.size()));
  map.reset_iterator();
  for (std::string& key : keys) {
    map.get_next_entry(key);
  }
  return keys;
}

void fill(ZAND_OBJ_MAP& map, int n) {
  for (int i = 0; i < n; ++i) {
    map.set_at(long_key(i), nullptr);
  }
}

TEST(ObjMapAllocation, FailedInsertionChangesNothing) {
  // 4 entries: the insertion splits a bucket; 32: it also lengthens the
  // slot table from 9 to 17 slots.
  const std::string key = long_key(1000);
  for (const int present : {0, 4, 32}) {
    const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
      ZAND_OBJ_MAP map;
      fill(map, present);
      const auto before = walk_keys(map);
      const std::size_t live = live_allocations();
      const bool failed = fails_at(k, [&] { map.set_at(key, nullptr); });
      if (failed) {
        EXPECT_EQ(live_allocations(), live);
        EXPECT_EQ(walk_keys(map), before);
      }
      return failed;
    });
    // The entry, the key's copy, and the lengthened slot table.
    const std::string name =
        "set_at of a new key into " + std::to_string(present) + " entries";
    report_sweep(name, points);
  }
}

TEST(ObjMapAllocation, FailedCopiesLeakNothingAndLeaveTargetsEmpty) {
  ZAND_OBJ_MAP source;
  fill(source, 40);
  std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    const std::size_t live = live_allocations();
    const bool failed = fails_at(k, [&] { ZAND_OBJ_MAP copy(source); });
    EXPECT_EQ(live_allocations(), live);
    return failed;
  });
  // The initial slot table, its lengthening to the source's 17 slots, then
  // an entry and a key copy for each of the 40 entries.
  report_sweep("map copy constructor, 40 entries", points);

  const std::size_t baseline = live_allocations();
  points = sweep_allocation_failures([&](std::size_t k) {
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
        fill(target, 50);  // a valid empty map
        EXPECT_EQ(target.size(), 50);
      } else {
        EXPECT_EQ(walk_keys(target), walk_keys(source));
      }
    }
    EXPECT_EQ(live_allocations(), baseline);
    return failed;
  });
  report_sweep("map assignment, 40 entries over 3", points);
}

TEST(ObjMapAllocation, FailedKeyAssignmentLeavesTheCursorInPlace) {
  CountedObj objs[3];
  ZAND_OBJ_MAP map;
  for (int i = 0; i < 3; ++i) {
    map.set_at(long_key(i), &objs[i]);
  }
  const auto keys = walk_keys(map);
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    map.reset_iterator();
    std::string key;
    map.get_next_entry(key);  // the cursor on the second entry
    std::string fresh;        // too small for a long key
    const std::size_t live = live_allocations();
    const bool failed = fails_at(k, [&] { map.get_next_entry(fresh); });
    EXPECT_EQ(live_allocations(), live + (failed ? 0 : 1));
    if (failed) {  // the second entry is still the next one
      EXPECT_EQ(map.get_next_entry(fresh), map.look_up(keys[1]));
    }
    EXPECT_EQ(fresh, keys[1]);
    EXPECT_EQ(map.get_next_entry(key), map.look_up(keys[2]));
    return failed;
  });
  report_sweep("get_next_entry", points);
}

TEST(ObjHashTableAllocation, FailuresKeepTheInvariants) {
  OBJ_HASH_TABLE source;
  for (int i = 0; i < 40; ++i) {
    source.insert_or_assign(long_key(i), nullptr);
  }
  std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    OBJ_HASH_TABLE target;
    target.insert_or_assign(long_key(7), nullptr);
    const bool failed = fails_at(k, [&] { target.copy_from(source); });
    EXPECT_TABLE_VALID(target);
    EXPECT_EQ(target.entry_count(), failed ? 0U : 40U);
    EXPECT_EQ(target.first() == target.end(), failed);
    return failed;
  });
  report_sweep("copy_from, 40 entries", points);

  const std::string key = long_key(99);
  points = sweep_allocation_failures([&](std::size_t k) {
    OBJ_HASH_TABLE table;
    for (int i = 0; i < 32; ++i) {
      table.insert_or_assign(long_key(i), nullptr);
    }
    const bool failed =
        fails_at(k, [&] { table.insert_or_assign(key, nullptr); });
    EXPECT_TABLE_VALID(table);
    EXPECT_EQ(table.entry_count(), failed ? 32U : 33U);
    EXPECT_EQ(table.bucket_count(), failed ? 8U : 9U);
    return failed;
  });
  report_sweep("insert_entry with a longer slot table", points);
}

}  // namespace
