// The hash table's slot table, grown one bucket at a time across each
// change of its form: every slot keeps what it held, and past the array no
// slot moves.
#include "zand_stl/internal/obj_hash_slot_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using zand_internal::ObjHashSlot;
using zand_internal::ObjHashSlotTable;

TEST(ObjHashSlotTable, EverySlotSurvivesEachGrowthAndReset) {
  // Past four times the array's buckets: every power of two of the array
  // and of the first segments, each crossed at -1, 0 and +1.
  constexpr std::uint64_t kLast = 4 * ObjHashSlotTable::kArrayBuckets + 1;
  ObjHashSlotTable slots;
  std::vector<const ObjHashSlot*> places;
  for (std::uint64_t n = 1; n <= kLast; ++n) {
    ObjHashSlotTable::Growth growth;
    slots.prepare_growth(growth);
    slots.add_bucket(growth);
    ASSERT_EQ(slots.bucket_count(), n + 1);
    if (n == 1) {
      slots[0] = {nullptr, 0};
    }
    slots[n] = {nullptr, n};
    for (std::uint64_t b = 0; b <= n; ++b) {
      ASSERT_EQ(slots[b].signature, b) << "after growing to " << n + 1;
    }
    // The array may move as it lengthens; from then on nothing does.
    places.resize(n + 1);
    for (std::uint64_t b = 0; b <= n; ++b) {
      if (b < n && n > ObjHashSlotTable::kArrayBuckets) {
        ASSERT_EQ(&slots[b], places[b]) << "moved growing to " << n + 1;
      }
      places[b] = &slots[b];
    }
  }
  for (const std::uint64_t buckets : {2U, 64U, 65U, 1000U}) {
    slots.reset(buckets);
    EXPECT_EQ(slots.bucket_count(), buckets);
    slots[buckets - 1] = {nullptr, 7};  // the last slot exists
  }
  slots.release();
  EXPECT_EQ(slots.bucket_count(), 1U);
}

}  // namespace
