// The hash table under the map: golden hashes and key order, the table's
// shape as it grows, splits that keep every invariant, and copies.
#include "zand_stl/internal/obj_hash_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "containers/obj_hash_key.h"
#include "support/table_check.h"
#include "support/walk_order_model.h"

namespace {

using zand_internal::OBJ_HASH_TABLE;
using namespace std::string_literals;

std::vector<std::string> chain_keys(const OBJ_HASH_TABLE& table) {
  std::vector<std::string> keys;
  for (auto p = table.first(); p != table.end(); p = p->next) {
    keys.emplace_back(OBJ_HASH_TABLE::entry(p)->key(),
                      OBJ_HASH_TABLE::entry(p)->key_size);
  }
  return keys;
}

std::uint64_t hash_of(const std::string& key) {
  return zand_internal::key_hash(key.c_str(), key.size());
}

bool less_of(const std::string& a, const std::string& b) {
  return zand_internal::key_compare(a.c_str(), a.size(), b.c_str(), b.size()) <
         0;
}

void expect_shape(const OBJ_HASH_TABLE& table, std::uint64_t bucket_count,
                  std::uint64_t mask, std::uint64_t slots) {
  EXPECT_EQ(table.bucket_count(), bucket_count);
  EXPECT_EQ(table.mask(), mask);
  EXPECT_EQ(table.slot_count(), slots);
}

TEST(ObjHashTableKeys, GoldenHashes) {
  EXPECT_EQ(hash_of("abc"), 29798U);
  EXPECT_EQ(hash_of("ABC"), 29798U);
  EXPECT_EQ(hash_of("ab"), 1747U);
  EXPECT_EQ(hash_of("\xE9"), 0xFFFFFFFFFFFFFFE9U);
  EXPECT_EQ(hash_of(""), 0U);
  EXPECT_EQ(hash_of("ab\0cd"s), 1747U);
}

TEST(ObjHashTableKeys, OrderFoldsOnlyTheAsciiLettersAndStopsAtZero) {
  const auto less = &less_of;
  EXPECT_FALSE(less("Key", "KEY"));
  EXPECT_FALSE(less("KEY", "key"));
  EXPECT_TRUE(less("ab", "abc"));  // a proper prefix sorts first
  EXPECT_TRUE(less("", "\x01"));
  EXPECT_FALSE(less("", ""));
  EXPECT_TRUE(less("[", "A"));  // 0x5B-0x60 sort before every letter
  EXPECT_TRUE(less("`", "a"));
  EXPECT_TRUE(less("z", "\xE9"));  // bytes from 0x80 up after ASCII
  EXPECT_TRUE(less("\x7F", "\x80"));
  EXPECT_FALSE(less("ab\0cd"s, "AB"));
  EXPECT_FALSE(less("AB", "ab\0cd"s));
}

// The key functions read eight bytes at a time; these compare them with the
// plain byte-at-a-time definitions. Every byte value at every place of keys
// up to three words long, so that each byte passes through each lane of a
// word, the word-crossing tails and the short-key loads. Keys are made with
// exactly their own length of storage, so that reading past the terminating
// zero is caught by AddressSanitizer.
TEST(ObjHashTableKeys, WordWideHashAndOrderMatchTheByteDefinitions) {
  const std::string base = "Az_Zq09@[`{\x80\xFFmN";
  for (std::size_t length = 1; length <= 24; ++length) {
    std::string key(length, ' ');
    for (std::size_t i = 0; i < length; ++i) {
      key[i] = base[i % base.size()];
    }
    const std::string unchanged(key.data(), key.size());
    for (std::size_t at = 0; at < length; ++at) {
      for (int c = 0; c < 256; ++c) {
        key[at] = static_cast<char>(c);
        const std::string exact(key.data(), key.size());
        ASSERT_EQ(hash_of(exact), zand_test::model_hash(exact))
            << length << " " << at << " " << c;
        const bool less =
            zand_test::folded_key(exact) < zand_test::folded_key(unchanged);
        const bool greater =
            zand_test::folded_key(unchanged) < zand_test::folded_key(exact);
        ASSERT_EQ(less_of(exact, unchanged), less)
            << length << " " << at << " " << c;
        ASSERT_EQ(less_of(unchanged, exact), greater)
            << length << " " << at << " " << c;
      }
      key[at] = unchanged[at];
    }
  }
}

// Random keys rich in zero bytes, letters of both cases and bytes from 0x80
// up, paired with a near copy (other case, one byte changed, cut short or
// lengthened) so that comparisons run over several words.
TEST(ObjHashTableKeys, WordWideFunctionsAgreeOnRandomKeysWithZeroBytes) {
  std::mt19937 rng(77);
  const std::string alphabet = "aAzZ@[`{\x7F\x80\xC1\xDA\xFF"s + '\0';
  const auto random_byte = [&] {
    return rng() % 2 == 0 ? alphabet[rng() % alphabet.size()]
                          : static_cast<char>(rng() % 256);
  };
  for (int round = 0; round < 20000; ++round) {
    std::string a(rng() % 41, ' ');
    for (char& c : a) {
      c = random_byte();
    }
    std::string b = a;
    for (char& c : b) {
      if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z' && rng() % 2 == 0) {
        c = static_cast<char>(c ^ 0x20);
      }
    }
    const unsigned change = rng() % 4;
    if (change == 0 && !b.empty()) {
      b[rng() % b.size()] = random_byte();
    } else if (change == 1) {
      b.resize(rng() % (b.size() + 1));
    } else if (change == 2) {
      b += random_byte();
    }
    const std::string ka(a.data(), a.size());
    const std::string kb(b.data(), b.size());
    const std::string fa = zand_test::folded_key(ka);
    const std::string fb = zand_test::folded_key(kb);
    ASSERT_EQ(hash_of(ka), zand_test::model_hash(ka));
    ASSERT_EQ(hash_of(kb), zand_test::model_hash(kb));
    ASSERT_EQ(less_of(ka, kb), fa < fb) << round;
    ASSERT_EQ(less_of(kb, ka), fb < fa) << round;
    // A lookup compares the sought key with the stored ones its own way.
    OBJ_HASH_TABLE table;
    table.insert_or_assign(ka, nullptr);
    ASSERT_EQ(table.find_entry(kb) != nullptr, fa == fb) << round;
  }
}

TEST(ObjHashTableShape, GrowsOneBucketPerFourEntries) {
  OBJ_HASH_TABLE table;
  expect_shape(table, 1, 1, 9);
  for (int i = 1; i <= 200; ++i) {
    ASSERT_TRUE(table.insert_or_assign("key" + std::to_string(i), nullptr));
    EXPECT_TABLE_VALID(table);
    const auto shape = zand_test::model_shape(static_cast<std::uint64_t>(i));
    ASSERT_EQ(table.bucket_count(), shape.bucket_count) << i;
    ASSERT_EQ(table.mask(), shape.mask) << i;
    ASSERT_EQ(table.slot_count(), shape.slot_count) << i;
    if (i == 4) expect_shape(table, 1, 1, 9);
    if (i == 5) expect_shape(table, 2, 1, 9);
    if (i == 8) expect_shape(table, 2, 1, 9);
    if (i == 9) expect_shape(table, 3, 3, 9);
    if (i == 32) expect_shape(table, 8, 7, 9);
    if (i == 33) expect_shape(table, 9, 15, 17);
  }
  table.clear_entries();
  EXPECT_TABLE_VALID(table);
  expect_shape(table, 1, 1, 9);
  EXPECT_EQ(table.entry_count(), 0U);
  for (const char* key : {"d", "b", "a", "c"}) {
    table.insert_or_assign(key, nullptr);
  }
  expect_shape(table, 1, 1, 9);
  EXPECT_EQ(chain_keys(table), (std::vector<std::string>{"a", "b", "c", "d"}));
  table.insert_or_assign("e", nullptr);
  EXPECT_TABLE_VALID(table);
  expect_shape(table, 2, 1, 9);
  EXPECT_EQ(chain_keys(table),
            (std::vector<std::string>{"b", "d", "a", "c", "e"}));
}

TEST(ObjHashTableInsert, EqualKeysFindTheFirstStoredForm) {
  OBJ_HASH_TABLE table;
  ZAND_OBJ* const tag = nullptr;
  ASSERT_TRUE(table.insert_or_assign("Key", tag));
  const auto* first = table.find_entry("Key");
  for (const std::string& form : {"KEY"s, "key"s, "key\0tail"s}) {
    EXPECT_FALSE(table.insert_or_assign(form, tag));
    EXPECT_EQ(table.find_entry(form), first);
  }
  EXPECT_EQ(table.entry_count(), 1U);
  EXPECT_EQ(std::string(first->key(), first->key_size), "Key");
  EXPECT_EQ(table.find_entry("Ke"), nullptr);
  EXPECT_EQ(table.find_entry("Keys"), nullptr);
  table.insert_or_assign("", tag);  // hash 0, sorts first
  EXPECT_EQ(table.first(), table.find_entry(""));
}

// Random key sets of every difficult kind: mixed case, high bytes, the bytes
// between the letter ranges, the empty key and embedded zero bytes.
std::string random_key(std::mt19937& rng) {
  static const std::string alphabet = "aAbBzZ09[\\]^_`\x7F\x80\xE9\xFF\x01 "s;
  std::string key(rng() % 7, ' ');
  for (char& c : key) {
    c = alphabet[rng() % alphabet.size()];
  }
  if (rng() % 16 == 0) {
    key += '\0';
    key += alphabet[rng() % alphabet.size()];
  }
  return key;
}

TEST(ObjHashTableProperty, EveryInsertionKeepsTheInvariantsAndModelOrder) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 20; ++round) {
    OBJ_HASH_TABLE table;
    std::vector<std::string> inserted;
    const int n = 1 + static_cast<int>(rng() % 600);
    for (int i = 0; i < n; ++i) {
      inserted.push_back(random_key(rng));
      const bool absent = table.find_entry(inserted.back()) == nullptr;
      ASSERT_EQ(table.insert_or_assign(inserted.back(), nullptr), absent);
      EXPECT_TABLE_VALID(table);
    }
    ASSERT_EQ(chain_keys(table), zand_test::model_walk(inserted)) << round;

    // Into a larger table (17 slots): the copy takes the source's shape,
    // 9 slots included.
    OBJ_HASH_TABLE copy;
    for (int i = 0; i < 70; ++i) {
      copy.insert_or_assign(std::to_string(i), nullptr);
    }
    copy.copy_from(table);
    EXPECT_TABLE_VALID(copy);
    EXPECT_EQ(chain_keys(copy), chain_keys(table));
    expect_shape(copy, table.bucket_count(), table.mask(), table.slot_count());
  }
}

}  // namespace
