// The hash table's entry blocks: entries of every size the blocks treat
// differently, carved among one another for each block sizing, keep their
// bytes and lie inside a block of their own table.
#include "zand_stl/internal/obj_hash_entry_blocks.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

using zand_internal::ObjHashEntry;
using zand_internal::ObjHashEntryBlocks;

// Key sizes whose entries cross what the blocks treat differently, each at
// -1, 0 and +1: the entry's alignment (every size over three units), the
// largest shared block filled by one, two and three entries, and a block
// of an entry's own beyond it.
std::vector<std::size_t> crossing_key_sizes() {
  constexpr std::size_t kOverhead = sizeof(ObjHashEntry) + 1;  // and a zero
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n < 3 * alignof(ObjHashEntry); ++n) {
    sizes.push_back(n);
  }
  for (const std::size_t share : {1U, 2U, 3U}) {
    const std::size_t entry = ObjHashEntryBlocks::kLargestBlockBytes / share;
    for (const std::size_t size : {entry - 1, entry, entry + 1}) {
      sizes.push_back(size - kOverhead);
    }
  }
  return sizes;
}

TEST(ObjHashEntryBlocks, EntriesOfEverySizeKeepTheirBytesInsideTheirBlocks) {
  const std::vector<std::size_t> sizes = crossing_key_sizes();
  // How many entries a new block is sized for: one, a few, and more than
  // the largest block holds.
  for (const std::uint64_t ahead : {0U, 1U, 3U, 100000U}) {
    ObjHashEntryBlocks blocks;
    std::vector<std::pair<const ObjHashEntry*, std::string>> made;
    for (int round = 0; round < 2; ++round) {
      for (std::size_t i = 0; i < sizes.size(); ++i) {
        std::string key(sizes[i], static_cast<char>('a' + i % 26));
        key.insert(key.size() / 2, std::string(key.empty() ? 0 : 1, '\0'));
        const ObjHashEntry* const entry =
            blocks.make(key.data(), key.size(), i, nullptr, ahead);
        EXPECT_EQ(
            reinterpret_cast<std::uintptr_t>(entry) % alignof(ObjHashEntry),
            0U);
#ifndef NDEBUG
        EXPECT_TRUE(blocks.hold(entry, sizeof(ObjHashEntry) + key.size() + 1))
            << key.size();
#endif
        made.emplace_back(entry, std::move(key));
      }
    }
    // Carving later entries overwrote none of the earlier ones.
    for (const auto& [entry, key] : made) {
      ASSERT_EQ(entry->key_size, key.size());
      ASSERT_EQ(std::memcmp(entry->key(), key.data(), key.size()), 0);
      ASSERT_EQ(entry->key()[key.size()], '\0');
    }
    EXPECT_FALSE(blocks.empty());
    blocks.release();
    EXPECT_TRUE(blocks.empty());
  }
  // A key no block could hold fails as an allocation would.
  EXPECT_THROW(ObjHashEntryBlocks::entry_bytes(SIZE_MAX - 8), std::bad_alloc);
}

}  // namespace
