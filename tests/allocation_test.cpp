// Every operation that allocates, with each of its allocations failed in
// turn: the failure reaches the caller, the object is left in the state its
// operation promises, and nothing leaks. (The string functions allocate
// only their result, and take their argument as a constant.)
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "containers/key_model.h"
#include "containers/map_model.h"
#include "containers/obj_hash_table_walk.h"
#include "support/counted_obj.h"
#include "support/failing_allocator.h"
#include "support/temp_dir.h"
#include "zand_stl/internal/obj_hash_table.h"
#include "zand_stl/zand_file.h"
#include "zand_stl/zand_obj_list.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using zand_test::model_walk;
using zand_test::sweep_allocation_failures;
using Keys = std::vector<std::string>;
using zand_test::walk_keys;

zand_test::CountedObj objs[4];

TEST(Allocation, ListAdditionsCopiesAndAssignments) {
  const auto filled = [](int n) {  // the cursor on the second element
    ZAND_OBJ_LIST list;
    for (int i = 0; i < n; ++i) {
      list.add_at_tail(&objs[i]);
    }
    list.reset_head_position();
    list.get_next_value();
    return list;
  };
  const auto unchanged = [](ZAND_OBJ_LIST& list) {  // cursor included
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(list.get_prev_value(), &objs[0]);
    EXPECT_EQ(list.get_head(), &objs[0]);
    EXPECT_EQ(list.get_tail(), &objs[2]);
  };
  const auto make = [&] { return filled(3); };
  EXPECT_EQ(
      sweep_allocation_failures(
          make, [](ZAND_OBJ_LIST& l) { l.add_at_head(&objs[3]); }, unchanged),
      1U);  // one node per element
  sweep_allocation_failures(
      make, [](ZAND_OBJ_LIST& l) { l.add_at_tail(&objs[3]); }, unchanged);
  const ZAND_OBJ_LIST source = filled(4);
  EXPECT_EQ(sweep_allocation_failures(
                [] { return 0; },
                [&](int&) { EXPECT_EQ(ZAND_OBJ_LIST(source).size(), 4); },
                [](int&) {}),
            4U);
  sweep_allocation_failures(
      make,
      [&](ZAND_OBJ_LIST& list) {
        list = source;
        EXPECT_EQ(list.size(), 4);
      },
      [](ZAND_OBJ_LIST& list) {  // empty, cursor at the end
        EXPECT_TRUE(list.is_empty());
        EXPECT_EQ(list.get_next_value(), nullptr);
      });
}

// Long enough that no key fits the string type's own buffer.
Keys long_keys(int n) {
  Keys keys;
  for (int i = 0; i < n; ++i) {
    keys.push_back("a key longer than a short string's buffer #" +
                   std::to_string(i));
  }
  return keys;
}

void expect_valid(const zand_internal::OBJ_HASH_TABLE& table) {
#ifndef NDEBUG  // the table checks its invariants in debug builds only
  EXPECT_EQ(table.invariant_violation(), "");
#endif
  static_cast<void>(table);
}

TEST(Allocation, MapInsertionsCopiesAssignmentsAndWalks) {
  // Insertions that grow a table to 300 entries, through new slot segments
  // and entry blocks: a failure leaves exactly the table of the keys
  // inserted before, its bucket count and walk included, which takes the
  // rest afterwards.
  const Keys keys = long_keys(300);
  using zand_internal::OBJ_HASH_TABLE;
  const auto insert_from = [&](OBJ_HASH_TABLE& table, std::size_t from) {
    for (std::size_t i = from; i < keys.size(); ++i) {
      table.insert_or_assign(keys[i], &objs[0]);
    }
  };
  const auto failed_table = [&](std::unique_ptr<OBJ_HASH_TABLE>& table) {
    expect_valid(*table);
    insert_from(*table, table->entry_count());
    expect_valid(*table);
    EXPECT_EQ(table->entry_count(), keys.size());
  };
  sweep_allocation_failures(
      [] { return std::make_unique<OBJ_HASH_TABLE>(); },
      [&](auto& table) { insert_from(*table, 0); },
      [&](auto& table) {
        const auto n = static_cast<std::ptrdiff_t>(table->entry_count());
        EXPECT_EQ(table->bucket_count(),
                  zand_test::model_shape(table->entry_count()).bucket_count);
        Keys walked;
        for (auto* e = table->first(); e != nullptr; e = table->next(e)) {
          walked.emplace_back(e->key());
        }
        EXPECT_EQ(walked, model_walk(Keys(keys.begin(), keys.begin() + n)));
        failed_table(table);
      });
  OBJ_HASH_TABLE source_table;
  insert_from(source_table, 0);
  sweep_allocation_failures(
      [&] {
        auto table = std::make_unique<OBJ_HASH_TABLE>();
        table->insert_or_assign("old", nullptr);
        return table;
      },
      [&](auto& table) {
        table->copy_from(source_table);
        EXPECT_EQ(table->entry_count(), keys.size());  // not a failure hidden
      },
      [&](auto& table) {  // valid and empty
        EXPECT_EQ(table->first(), nullptr);
        failed_table(table);
      });

  ZAND_OBJ_MAP source;
  for (const std::string& key : keys) {
    source.set_at(key, &objs[0]);
  }
  sweep_allocation_failures(
      [] { return 0; },
      [&](int&) { EXPECT_EQ(ZAND_OBJ_MAP(source).size(), 300); }, [](int&) {});
  sweep_allocation_failures(
      [&] {
        ZAND_OBJ_MAP target;
        target.set_at("old", nullptr);
        return target;
      },
      [&](ZAND_OBJ_MAP& target) {
        target = source;
        EXPECT_EQ(target.size(), 300);
      },
      [&](ZAND_OBJ_MAP& target) {  // a valid empty map, cursor at the end
        std::string key = "kept";
        EXPECT_EQ(target.get_next_entry(key), nullptr);
        EXPECT_EQ(key, "kept");
        target = source;
        EXPECT_EQ(walk_keys(target), model_walk(keys));
      });

  // A key handed out into a string too small for it: the cursor stays.
  const Keys order = walk_keys(source);
  sweep_allocation_failures(
      [&] {
        source.reset_iterator();
        return std::string();
      },
      [&](std::string& key) { source.get_next_entry(key); },
      [&](std::string& key) {
        EXPECT_EQ(source.get_next_entry(key), &objs[0]);
        EXPECT_EQ(key, order[0]);
      });
}

// Keys an attacker chooses fill buckets past the size at which they keep an
// index, and split them; building an index takes memory only if it can be
// had. So every allocation of such a fill is failed in turn, whether or not
// the failure reaches the caller: an insertion that fails leaves exactly the
// table of the keys before it, one whose index could not be built carries
// on without, and either way the table is valid, walks as the model says,
// and takes the rest of the keys afterwards.
TEST(Allocation, ChosenKeysSurviveEveryFailedAllocation) {
  Keys keys;
  for (std::size_t i = 0; i < 200; ++i) {
    keys.push_back(zand_test::one_bucket_key(i, 8));
    keys.push_back(zand_test::low_bits_key(i, 5, 16));
  }
  using zand_internal::OBJ_HASH_TABLE;
  const std::size_t before = zand_test::allocations_made();
  {
    OBJ_HASH_TABLE counted;
    for (const std::string& key : keys) {
      counted.insert_or_assign(key, nullptr);
    }
  }
  const std::size_t allocations = zand_test::allocations_made() - before;
  const std::size_t live = zand_test::live_allocations();
  for (std::size_t k = 1; k <= allocations; ++k) {
    {
      OBJ_HASH_TABLE table;
      std::size_t inserted = 0;
      try {
        zand_test::FailAllocationAt fail(k);
        for (; inserted < keys.size(); ++inserted) {
          table.insert_or_assign(keys[inserted], nullptr);
        }
      } catch (const std::bad_alloc&) {
        expect_valid(table);
        ASSERT_EQ(table.entry_count(), inserted) << k;
      }
      for (; inserted < keys.size(); ++inserted) {
        table.insert_or_assign(keys[inserted], nullptr);
      }
      expect_valid(table);
      Keys walked;
      for (auto* e = table.first(); e != nullptr; e = table.next(e)) {
        walked.emplace_back(e->key());
      }
      ASSERT_EQ(walked, model_walk(keys)) << k;
    }
    ASSERT_EQ(zand_test::live_allocations(), live) << "leak failing " << k;
  }
  // A copy builds its indexes with memory it must have: a failure leaves
  // the valid empty table that every failed copy leaves.
  OBJ_HASH_TABLE source;
  for (const std::string& key : keys) {
    source.insert_or_assign(key, nullptr);
  }
  sweep_allocation_failures([] { return std::make_unique<OBJ_HASH_TABLE>(); },
                            [&](auto& table) { table->copy_from(source); },
                            [](auto& table) {
                              expect_valid(*table);
                              EXPECT_EQ(table->first(), nullptr);
                            });
}

// An empty map allocates nothing, whatever is asked of it, and the first
// keys get one allocation each and no slots, until the fifth key adds the
// second bucket.
TEST(Allocation, EmptyAndSmallMapsAllocateOnlyWhatTheirKeysNeed) {
  const std::size_t start = zand_test::allocations_made();
  {
    ZAND_OBJ_MAP empty;
    ZAND_OBJ_MAP copy(empty);
    copy = empty;
    std::string key;
    empty.reset_iterator();
    EXPECT_EQ(empty.get_next_entry(key), nullptr);
    EXPECT_EQ(empty.look_up("absent"), nullptr);
    empty.remove_all();
  }
  EXPECT_EQ(zand_test::allocations_made(), start);
  ZAND_OBJ_MAP map;
  for (std::size_t n = 1; n <= 4; ++n) {
    map.set_at("key" + std::to_string(n), &objs[0]);
    EXPECT_EQ(zand_test::allocations_made() - start, n);
  }
  map.set_at("key5", &objs[0]);
  EXPECT_EQ(zand_test::allocations_made() - start, 6U);  // and the slots
}

TEST(Allocation, ReadString) {
  zand_test::TempDir dir;
  const std::string path = dir.file("lines");
  const std::string long_line(100, 'x');
  struct Reader {
    ZAND_FILE file;
    std::string line = "old";
  };
  // The long line read first, from a stream whose buffer is still empty, and
  // after a short one, when it already lies in the stream's buffer.
  for (const std::string before : {"", "first\n"}) {
    zand_test::write_file(path, before + long_line + "\nnext\n");
    EXPECT_EQ(
        sweep_allocation_failures(
            [&] {
              auto reader = std::make_unique<Reader>();
              EXPECT_TRUE(
                  reader->file.open_file(path, ZAND_FILE::OPEN_READ_ONLY));
              std::string line;
              EXPECT_TRUE(before.empty() || reader->file.read_string(line));
              return reader;
            },
            [](auto& r) { r->file.read_string(r->line); },
            [](auto& r) {  // the line emptied, the piece consumed
              EXPECT_EQ(r->line, "");
              EXPECT_TRUE(r->file.read_string(r->line));
              EXPECT_EQ(r->line, "next\n");
            }),
        1U)  // the line only: the buffer is not on the heap
        << "after \"" << before << "\"";
  }
}

}  // namespace
