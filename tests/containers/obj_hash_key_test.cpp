// The map's key functions: golden hashes and order, and the word-at-a-time
// forms against the byte-at-a-time definitions (containers/key_model.h) for
// every byte value at every place.
#include "containers/obj_hash_key.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "containers/key_model.h"

namespace {

using namespace std::string_literals;

std::uint64_t hash(const std::string& key) {
  return zand_internal::key_hash(key.c_str(), key.size());
}

int compare(const std::string& a, const std::string& b) {
  return zand_internal::key_compare(a.c_str(), a.size(), b.c_str(), b.size());
}

TEST(ObjHashKeys, GoldenHashesAndOrder) {
  EXPECT_EQ(hash("abc"), 29798U);
  EXPECT_EQ(hash("ABC"), 29798U);
  EXPECT_EQ(hash("ab\0cd"s), 1747U);
  EXPECT_EQ(hash("\xE9"), 0xFFFFFFFFFFFFFFE9U);
  EXPECT_EQ(hash(""), 0U);
  EXPECT_LT(compare("[", "A"), 0);     // 0x5B-0x60 sort before every letter
  EXPECT_LT(compare("z", "\xE9"), 0);  // bytes from 0x80 up after ASCII
  EXPECT_LT(compare("ab", "abc"), 0);  // a proper prefix first
}

// Every byte value at every place of keys up to three words long, so that
// each byte passes through each lane of a word, the word-crossing tails and
// the short-key loads. Keys have exactly their own length of storage, so
// that AddressSanitizer sees any read past the terminating zero.
TEST(ObjHashKeys, WordWideFormsMatchTheByteDefinitions) {
  const std::string base = "Az_Zq09@[`{\x80\xFFmN";
  for (std::size_t length = 1; length <= 24; ++length) {
    std::string key(length, ' ');
    for (std::size_t i = 0; i < length; ++i) {
      key[i] = base[i % base.size()];
    }
    const std::string unchanged(key.data(), key.size());
    const std::string folded = zand_test::folded_key(unchanged);
    for (std::size_t at = 0; at < length; ++at) {
      for (int c = 0; c < 256; ++c) {
        key[at] = static_cast<char>(c);
        const std::string exact(key.data(), key.size());
        const std::string exact_folded = zand_test::folded_key(exact);
        const int expected = (exact_folded > folded) - (exact_folded < folded);
        const int got = compare(exact, unchanged);
        ASSERT_EQ(hash(exact), zand_test::model_hash(exact)) << length << at;
        ASSERT_EQ((got > 0) - (got < 0), expected)
            << length << " " << at << " " << c;
        ASSERT_EQ(compare(unchanged, exact) < 0, expected > 0);
      }
      key[at] = unchanged[at];
    }
  }
}

}  // namespace
