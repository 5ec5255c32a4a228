// The hash table's slot table, grown one bucket at a time across each
// change of its form: every head keeps what it held, and past the array no
// head moves.
#include "zand_stl/internal/obj_hash_slot_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "containers/obj_hash_leaf.h"
#include "containers/obj_hash_slot_table_heads.h"

namespace {

using zand_internal::ObjHashLeaf;
using zand_internal::ObjHashSlotTable;

// A head marked with its bucket's number.
void mark(ObjHashLeaf& head, std::uint64_t b) {
  head.clear();
  head.tags[0] = static_cast<std::uint8_t>(b);
  head.tags[1] = static_cast<std::uint8_t>(b >> 8);
}

std::uint64_t mark_of(const ObjHashLeaf& head) {
  return head.tags[0] + (std::uint64_t{head.tags[1]} << 8);
}

TEST(ObjHashSlotTable, EveryHeadSurvivesEachGrowthAndReset) {
  // Past four times the array's buckets: every power of two of the array
  // and of the first segments, each crossed at -1, 0 and +1.
  constexpr std::uint64_t kLast = 4 * ObjHashSlotTable::kArrayBuckets + 1;
  ObjHashSlotTable slots;
  EXPECT_NE(slots.small(), nullptr);  // one bucket's entries, in the table
  std::vector<const ObjHashLeaf*> places;
  for (std::uint64_t n = 1; n <= kLast; ++n) {
    ObjHashSlotTable::Growth growth;
    slots.prepare_growth(growth);
    slots.add_bucket(growth);
    ASSERT_EQ(slots.bucket_count(), n + 1);
    if (n == 1) {
      mark(slots[0], 0);
    }
    mark(slots[n], n);
    places.resize(n + 1);
    for (std::uint64_t b = 0; b <= n; ++b) {
      ASSERT_EQ(mark_of(slots[b]), b) << "after growing to " << n + 1;
      // The array may move as it lengthens; from then on nothing does.
      if (b < n && n > ObjHashSlotTable::kArrayBuckets) {
        ASSERT_EQ(&slots[b], places[b]) << "moved growing to " << n + 1;
      }
      places[b] = &slots[b];
    }
  }
  for (const std::uint64_t buckets : {2U, 64U, 65U, 1000U, 1U}) {
    slots.reset(buckets);
    EXPECT_EQ(slots.bucket_count(), buckets);
    if (buckets > 1) {  // every head is there, and empty
      EXPECT_EQ(slots[buckets - 1].count, 0U);
      EXPECT_EQ(slots[buckets - 1].chain.next, nullptr);
    }
  }
  slots.release();
  EXPECT_EQ(slots.bucket_count(), 1U);
}

// The filled-bucket marks against a set of marked buckets: next_filled
// from every bucket, as marks come and go at and around each group of 64
// buckets and each summary word of 64 groups, in tables on either side of
// those sizes (and of the array's).
TEST(ObjHashSlotTable, NextFilledFindsTheFirstMarkedBucketFromEveryBucket) {
  ObjHashSlotTable slots;
  for (const std::uint64_t buckets :
       {2U, 63U, 64U, 65U, 4095U, 4096U, 4097U, 8193U}) {
    slots.reset(buckets);
    std::set<std::uint64_t> marked;
    const auto expect_marks = [&](const char* step) {
      for (std::uint64_t b = 0; b <= buckets; ++b) {
        const auto first = marked.lower_bound(b);
        ASSERT_EQ(slots.next_filled(b),
                  first == marked.end() ? buckets : *first)
            << buckets << " buckets, " << step << ", from " << b;
      }
    };
    expect_marks("none marked");
    const std::uint64_t places[] = {63,   64,   65, 4095,       4096,
                                    4097, 8191, 0,  buckets - 1};
    for (const std::uint64_t b : places) {
      if (b < buckets && marked.insert(b).second) {
        slots.mark(b, true);
        expect_marks("marked");
      }
    }
    for (const std::uint64_t b : {4096U, 0U, 64U, 4097U, 63U}) {
      if (marked.erase(b) != 0) {
        slots.mark(b, false);
        expect_marks("unmarked");
      }
    }
    slots.clear_marks();
    marked.clear();
    expect_marks("cleared");
  }
  slots.release();
}

}  // namespace
