// Plain, byte-at-a-time definitions of what the map does to its keys, shared
// by the tests, the fuzz targets and the benchmarks (whose peers hash and
// compare with them): letter folding, the h x 17 hash, a key in its other
// letter case, and keys that all share one hash.
#ifndef ZAND_STL_TESTS_CONTAINERS_KEY_MODEL_H
#define ZAND_STL_TESTS_CONTAINERS_KEY_MODEL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zand_test {

// A-Z to a-z; every other byte as it is.
inline char fold_byte(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// h = h * 17 + each folded byte read as a signed 8-bit number, modulo 2^64,
// over every byte given.
inline std::uint64_t h17_hash(std::string_view bytes) {
  std::uint64_t h = 0;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(fold_byte(c));
    const std::int64_t signed_byte = byte < 128 ? byte : byte - 256;
    h = h * 17 + static_cast<std::uint64_t>(signed_byte);
  }
  return h;
}

// The key up to its first zero byte, folded. Two keys are the same key
// exactly when these are equal, and std::string compares its bytes as
// unsigned values, which is the map's key order.
inline std::string folded_key(const std::string& key) {
  std::string out = key.substr(0, key.find('\0'));
  for (char& c : out) {
    c = fold_byte(c);
  }
  return out;
}

// The map's hash of a key: h x 17 up to the first zero byte.
inline std::uint64_t model_hash(const std::string& key) {
  return h17_hash(std::string_view(key).substr(0, key.find('\0')));
}

// Each letter in its other case: the same key to the map.
inline std::string other_case(std::string key) {
  for (char& c : key) {
    const char folded = static_cast<char>(c | 0x20);
    c = folded >= 'a' && folded <= 'z' ? static_cast<char>(c ^ 0x20) : c;
  }
  return key;
}

// Key number i of a family whose keys all share one hash, and so one bucket
// at any table size: `blocks` two-byte blocks, "cz" or "di" by bit b of i
// (99 * 17 + 122 = 100 * 17 + 105). Distinct for i below 2^blocks.
inline std::string one_bucket_key(std::size_t i, std::size_t blocks) {
  std::string key;
  for (std::size_t b = 0; b < blocks; ++b) {
    key += ((i >> b) & 1) != 0 ? "di" : "cz";
  }
  return key;
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_CONTAINERS_KEY_MODEL_H
