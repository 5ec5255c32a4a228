// Plain, byte-at-a-time definitions of what the map does to its keys, shared
// by the tests, the fuzz targets and the benchmarks (whose peers hash and
// compare with them): letter folding, the h x 17 hash, a key in its other
// letter case, and keys that all share one hash.
#ifndef ZAND_STL_TESTS_CONTAINERS_KEY_MODEL_H
#define ZAND_STL_TESTS_CONTAINERS_KEY_MODEL_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Key number i of a family whose hashes agree in their low `bits` bits (1
// to 20) and differ above them: one bucket while the table's mask stays
// below bit `bits`, spread apart as it grows past. The key is `length`
// bytes (at least 13): i's digits, dots, and five bytes, none a capital
// letter, that bring the hash's low bits to zero.
inline std::string low_bits_key(std::size_t i, unsigned bits,
                                std::size_t length) {
  using Tail = std::array<char, 5>;
  // One table per thread: the drivers run on several threads at once.
  static thread_local std::vector<Tail> tails[21];  // by bits
  const std::uint64_t residues = std::uint64_t{1} << bits;
  std::vector<Tail>& table = tails[bits];
  if (table.empty()) {
    // Five of these 68 bytes span more than eight times 2^20 values, so
    // every residue has a tail, found long before trying them all.
    std::string symbols;
    for (char c = '!'; c <= '~'; ++c) {
      if (c < 'A' || c > 'Z') {
        symbols += c;
      }
    }
    table.assign(residues, Tail{});
    std::uint64_t found = 0;
    for (std::uint64_t n = 0; found < residues; ++n) {
      Tail tail;
      std::uint64_t digits = n;
      for (char& c : tail) {
        c = symbols[digits % symbols.size()];
        digits /= symbols.size();
      }
      const std::uint64_t v =
          h17_hash({tail.data(), tail.size()}) & (residues - 1);
      if (table[v][0] == 0) {
        table[v] = tail;
        ++found;
      }
    }
  }
  std::string key = std::to_string(i);
  key.resize(length - 5, '.');
  // The key's hash is the head's times 17^5 plus the tail's.
  const std::uint64_t wanted = (0 - h17_hash(key) * 1419857) & (residues - 1);
  key.append(table[wanted].data(), 5);
  return key;
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_CONTAINERS_KEY_MODEL_H
