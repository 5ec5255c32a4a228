// The hash table's chain algorithm against the map's model: its shape and
// walk after every insertion through the first slot segments, copies into
// tables of more and of fewer buckets, and a refill after clearing. (The
// map's driver, map_script.h, drives a table beside every map too.)
#include "zand_stl/internal/obj_hash_table.h"
#include "containers/obj_hash_table_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "containers/key_model.h"
#include "containers/map_model.h"

namespace {

using zand_internal::OBJ_HASH_TABLE;
using Keys = std::vector<std::string>;

Keys chain_keys(OBJ_HASH_TABLE& table) {
  Keys keys;
  for (const auto* e = table.first(); e != nullptr; e = table.next(e)) {
    keys.emplace_back(e->key(), e->key_size);
  }
  return keys;
}

// The shape, the invariants (debug builds) and, when `walk` is set, the
// chain's order against the model for the first n keys.
void expect_table_of(OBJ_HASH_TABLE& table, const Keys& keys, std::size_t n,
                     bool walk) {
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

// How many buckets of a table of the first n keys hold more than `above`.
std::uint64_t buckets_above(const Keys& keys, std::size_t n,
                            std::uint64_t above) {
  const zand_test::TableShape shape = zand_test::model_shape(n);
  std::map<std::uint64_t, std::uint64_t> sizes;
  for (std::size_t i = 0; i < n; ++i) {
    ++sizes[zand_test::model_bucket(zand_test::model_hash(keys[i]), shape)];
  }
  return static_cast<std::uint64_t>(
      std::count_if(sizes.begin(), sizes.end(),
                    [above](const auto& size) { return size.second > above; }));
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

// Keys that share a bucket however the table grows (one hash), and keys
// that share one until the mask reaches bit 5 (equal low bits): each
// insertion keeps the shape, the invariants and the model's walk while a
// bucket crosses the index threshold at -1, 0 and +1 and splits into
// halves above and below it; copies keep the indexes, and lookups of
// absent keys of the family miss.
TEST(ObjHashTable, ChosenKeysKeepShapeAndOrderAcrossTheIndexThreshold) {
  constexpr std::size_t kKeys = 400;
  const std::uint64_t threshold = 32;  // obj_hash_bucket::kIndexAbove
  for (const bool one_hash : {true, false}) {
    const auto family = [one_hash](std::size_t i) {
      return one_hash ? zand_test::one_bucket_key(i, 12)
                      : zand_test::low_bits_key(i, 5, 24);
    };
    Keys keys;
    OBJ_HASH_TABLE table;
    for (std::size_t n = 1; n <= kKeys; ++n) {
      keys.push_back(family(n - 1));
      ASSERT_TRUE(table.insert_or_assign(keys.back(), nullptr));
      expect_table_of(table, keys, n, n < 80 || n % 17 == 0);
#ifndef NDEBUG
      // With every allocation granted, exactly the buckets past the
      // threshold are indexed, the halves of a split among them.
      ASSERT_EQ(table.indexed_buckets(), buckets_above(keys, n, threshold))
          << n;
#endif
    }
#ifndef NDEBUG
    EXPECT_GT(table.indexed_buckets(), 0U);
#endif
    for (std::size_t i = 0; i < kKeys + 50; ++i) {
      const auto* found = table.find_entry(zand_test::other_case(family(i)));
      ASSERT_EQ(found != nullptr, i < kKeys) << i;
    }
    OBJ_HASH_TABLE copy;
    copy.insert_or_assign("other", nullptr);
    copy.copy_from(table);
    expect_table_of(copy, keys, kKeys, true);
#ifndef NDEBUG
    EXPECT_EQ(copy.indexed_buckets(), table.indexed_buckets());
#endif
  }
}

}  // namespace
