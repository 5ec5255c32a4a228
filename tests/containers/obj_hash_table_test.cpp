// The hash table's chain algorithm against the map's model: its shape and
// walk after every insertion through the first slot segments, copies into
// tables of more and of fewer buckets, and a refill after clearing. (The
// map's driver, map_script.h, drives a table beside every map too.)
#include "zand_stl/internal/obj_hash_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "containers/map_model.h"

namespace {

using zand_internal::OBJ_HASH_TABLE;
using Keys = std::vector<std::string>;

Keys chain_keys(const OBJ_HASH_TABLE& table) {
  Keys keys;
  for (const auto* e = table.first(); e != nullptr; e = table.next(e)) {
    keys.emplace_back(e->key(), e->key_size);
  }
  return keys;
}

// The shape, the invariants (debug builds) and, when `walk` is set, the
// chain's order against the model for the first n keys.
void expect_table_of(const OBJ_HASH_TABLE& table, const Keys& keys,
                     std::size_t n, bool walk) {
  const zand_test::TableShape shape = zand_test::model_shape(n);
  ASSERT_EQ(table.entry_count(), n);
  ASSERT_EQ(table.bucket_count(), shape.bucket_count) << n;
  ASSERT_EQ(table.mask(), shape.mask) << n;
#ifndef NDEBUG
  ASSERT_EQ(table.invariant_violation(), "") << n;
#endif
  if (walk) {
    ASSERT_EQ(chain_keys(table),
              zand_test::model_walk(Keys(
                  keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(n))))
        << n;
  }
}

TEST(ObjHashTable, EveryInsertionThroughTheFirstSegmentsKeepsShapeAndOrder) {
  // A bucket per four entries, so 16 times the array's buckets cross every
  // size of the slot array and the first segments at -1, 0 and +1.
  const std::size_t last =
      16 * zand_internal::ObjHashSlotTable::kArrayBuckets + 4;
  Keys keys;
  for (std::size_t i = 0; i < last; ++i) {
    keys.push_back((i % 2 == 0 ? "Key" : "kEY") + std::to_string(i * 7919));
  }
  OBJ_HASH_TABLE table;
  for (std::size_t n = 1; n <= last; ++n) {
    ASSERT_TRUE(table.insert_or_assign(keys[n - 1], nullptr));
    ASSERT_FALSE(
        table.insert_or_assign(zand_test::other_case(keys[n - 1]), nullptr));
    expect_table_of(table, keys, n, n < 80 || n % 97 == 0 || n == last);
  }

  // Copies into tables of fewer and of more buckets, and of none.
  for (const std::size_t held :
       {std::size_t{0}, std::size_t{3}, std::size_t{40}, 2 * last}) {
    OBJ_HASH_TABLE smaller;
    OBJ_HASH_TABLE target;
    for (std::size_t i = 0; i < held; ++i) {
      target.insert_or_assign("other" + std::to_string(i), nullptr);
    }
    for (std::size_t i = 0; i < held && i < 40; ++i) {
      smaller.insert_or_assign(keys[i], nullptr);
    }
    target.copy_from(table);
    expect_table_of(target, keys, last, true);
    target.copy_from(smaller);
    expect_table_of(target, keys, smaller.entry_count(), true);
  }

  // Cleared, the table grows as a new one again.
  table.clear_entries();
  expect_table_of(table, keys, 0, true);
  for (std::size_t n = 1; n <= 40; ++n) {
    table.insert_or_assign(keys[n - 1], nullptr);
    expect_table_of(table, keys, n, true);
  }
}

}  // namespace
