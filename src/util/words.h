// Eight bytes at a time: the loads and byte-wise tests on 64-bit words that
// the map's key functions and the trims share. Each test looks at every
// byte on its own, with no carry from one byte into the next. Internal.
#ifndef ZAND_STL_SRC_UTIL_WORDS_H
#define ZAND_STL_SRC_UTIL_WORDS_H

#include <cstdint>
#include <cstring>

#include "util/builtins.h"

namespace zand_internal::words {

constexpr std::uint64_t kEachByte = 0x0101010101010101U;
constexpr std::uint64_t kHighBits = 0x80 * kEachByte;  // bit 7 of each byte
constexpr std::uint64_t kLow7Bits = 0x7F * kEachByte;

// A word of sizeof(Word) bytes from p, in the machine's own byte order; no
// alignment needed. For tests that treat every byte alike.
template <typename Word>
inline Word load(const void* p) noexcept {
  Word w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// The same with the byte at p in the word's lowest byte, on every machine:
// for computations that depend on where a byte lies.
template <typename Word>
inline Word load_little_endian(const void* p) noexcept {
  Word w = load<Word>(p);
  if constexpr (!kLittleEndian) {
    w = byte_swap(w);
  }
  return w;
}

// Bit 7 set in each byte of w that is zero, and nowhere else. Adding 0x7F
// to a byte's low seven bits carries into bit 7 unless they are all zero,
// and never into the next byte.
inline std::uint64_t zero_bytes(std::uint64_t w) noexcept {
  return ~(((w & kLow7Bits) + kLow7Bits) | w) & kHighBits;
}

// Bit 7 set in each byte of w that is not zero.
inline std::uint64_t nonzero_bytes(std::uint64_t w) noexcept {
  return (((w & kLow7Bits) + kLow7Bits) | w) & kHighBits;
}

}  // namespace zand_internal::words

#endif  // ZAND_STL_SRC_UTIL_WORDS_H
