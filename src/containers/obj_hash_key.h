// The map's key functions: the case-insensitive hash and order of its keys,
// eight bytes at a time. Internal; inline, since every lookup runs them.
//
// A key is read up to its first zero byte. Its bytes are given as a pointer
// and a size, and the byte at data[size] must be a readable zero, as
// std::string::c_str() and the table's stored keys guarantee: size + 1 bytes
// may be read, and no more. The word-wide forms give exactly what these
// byte-at-a-time definitions give:
//   key_hash: h = 0, then h = h * 17 + b for each byte, the letters A-Z
//     folded to a-z and b read as a signed 8-bit number, modulo 2^64;
//   key_compare: the folded bytes compared as unsigned numbers, the end of
//     a key (its first zero byte) reading as zero.
#ifndef ZAND_STL_SRC_CONTAINERS_OBJ_HASH_KEY_H
#define ZAND_STL_SRC_CONTAINERS_OBJ_HASH_KEY_H

#include <cstddef>
#include <cstdint>

#include "util/builtins.h"
#include "util/words.h"

namespace zand_internal {

namespace key_words {

using words::kHighBits;
using words::kLow7Bits;
using words::load_little_endian;
using words::nonzero_bytes;
using words::zero_bytes;

// The eight bytes of a key from index `at` on, of the `span` = size + 1 that
// may be read, the key's first byte in the word's lowest byte; the bytes
// past the span read as zero. Near the end of a key of seven bytes or more,
// the last eight readable bytes are loaded and the ones before `at` shifted
// out, which needs no branch on how many are left.
inline std::uint64_t word_at(const unsigned char* key, std::size_t span,
                             std::size_t at) noexcept {
  const std::size_t left = span - at;
  if (left >= 8) {
    return load_little_endian<std::uint64_t>(key + at);
  }
  if (span >= 8) {
    return load_little_endian<std::uint64_t>(key + span - 8) >>
           (8 * (8 - left));
  }
  // A key of fewer than seven bytes, so at is 0.
  if (left >= 4) {
    // Two four-byte halves that overlap when left < 8; the bytes they
    // share are the same, so OR joins them.
    const std::uint64_t low = load_little_endian<std::uint32_t>(key);
    const std::uint64_t high =
        load_little_endian<std::uint32_t>(key + left - 4);
    return low | (high << (8 * (left - 4)));
  }
  // One to three bytes, the last of them the terminating zero: the first
  // and the middle one (for one or two, the first again or the zero).
  return std::uint64_t{key[0]} |
         (std::uint64_t{key[left / 2]} << (8 * (left / 2)));
}

// The index of the lowest byte whose bit 7 is set in a non-zero mask.
inline unsigned first_marked_byte(std::uint64_t mask) noexcept {
  return lowest_set_bit(mask) / 8;
}

// Each byte from 0x41 to 0x5A (A-Z) plus 0x20, every other byte as it was.
// A byte below 0x80 is a capital letter when its low seven bits are at
// least 0x41 (adding 0x3F reaches bit 7) and not at least 0x5B (adding 0x25
// does not); its bit 5 is then clear, so OR adds 0x20.
inline std::uint64_t fold_word(std::uint64_t w) noexcept {
  const std::uint64_t low7 = w & kLow7Bits;
  const std::uint64_t at_least_a = low7 + 0x3F3F3F3F3F3F3F3FU;
  const std::uint64_t past_z = low7 + 0x2525252525252525U;
  const std::uint64_t capitals = at_least_a & ~past_z & ~w & kHighBits;
  return w | (capitals >> 2);
}

constexpr std::uint64_t kPowersOf17[9] = {
    1, 17, 289, 4913, 83521, 1419857, 24137569, 410338673, 6975757441};

// 128 times (17^7 + 17^6 + ... + 17^0).
constexpr std::uint64_t kSignBias = 128 * ((kPowersOf17[8] - 1) / 16);

// The sum over the eight bytes of w, each read as a number from 0 to 255,
// of byte j times 17^(7 - j): the h * 17 + byte recurrence of eight steps,
// evaluated in parallel lanes. Pairs of bytes first (16-bit lanes), then
// pairs of pairs (32-bit lanes), then the two halves. No lane overflows:
// at most 4590, 1331100 and about 1.1e11.
inline std::uint64_t weighted_byte_sum(std::uint64_t w) noexcept {
  const std::uint64_t pairs =
      (w & 0x00FF00FF00FF00FFU) * 17 + ((w >> 8) & 0x00FF00FF00FF00FFU);
  const std::uint64_t quads = (pairs & 0x0000FFFF0000FFFFU) * 289 +
                              ((pairs >> 16) & 0x0000FFFF0000FFFFU);
  return (quads & 0xFFFFFFFFU) * 83521 + (quads >> 32);
}

// h after eight more steps of h = h * 17 + byte, the bytes being those of
// a folded word, each read as a signed 8-bit number. Flipping bit 7 turns a
// signed byte s into s + 128, a number from 0 to 255; kSignBias takes the
// eight 128s away again. Everything wraps modulo 2^64, as the recurrence
// does.
inline std::uint64_t hash_word(std::uint64_t h, std::uint64_t folded) noexcept {
  return h * kPowersOf17[8] +
         (weighted_byte_sum(folded ^ kHighBits) - kSignBias);
}

// The same for only the first k bytes of the word (0 <= k <= 7): shifted to
// the top of the word, they have zero bytes in front of them, which add
// nothing to the sum (the shift is split in two so that k = 0 shifts all
// bytes out instead of shifting by 64).
inline std::uint64_t hash_prefix(std::uint64_t h, std::uint64_t folded,
                                 unsigned k) noexcept {
  const std::uint64_t top = (folded << 8) << (56 - 8 * k);
  return h * kPowersOf17[k] + (weighted_byte_sum(top ^ kHighBits) - kSignBias);
}

// The difference of the folded bytes of two words at the first byte marked
// in `stop`.
inline int byte_difference(std::uint64_t fa, std::uint64_t fb,
                           std::uint64_t stop) noexcept {
  const unsigned shift = 8 * first_marked_byte(stop);
  return static_cast<int>((fa >> shift) & 0xFF) -
         static_cast<int>((fb >> shift) & 0xFF);
}

}  // namespace key_words

inline const unsigned char* key_bytes(const char* key) noexcept {
  return reinterpret_cast<const unsigned char*>(key);
}

inline std::uint64_t key_hash(const char* key, std::size_t size) noexcept {
  using namespace key_words;
  const unsigned char* p = key_bytes(key);
  std::uint64_t h = 0;
  std::size_t at = 0;
  // Whole words before the terminating zero; a zero byte among them ends
  // the key early.
  for (; size - at >= 8; at += 8) {
    const std::uint64_t word = load_little_endian<std::uint64_t>(p + at);
    const std::uint64_t zeros = zero_bytes(word);
    if (zeros != 0) {
      return hash_prefix(h, fold_word(word), first_marked_byte(zeros));
    }
    h = hash_word(h, fold_word(word));
  }
  // The last zero to seven bytes, up to the first zero byte, which is at
  // the latest the terminating one.
  const std::uint64_t word = word_at(p, size + 1, at);
  return hash_prefix(h, fold_word(word), first_marked_byte(zero_bytes(word)));
}

// Negative, zero or positive as key a sorts before, equals or sorts after
// key b: the difference of the folded bytes at the first index where a ends
// or the two differ, comparing from byte `from` (a multiple of 8 up to
// which the keys agree and neither has ended).
inline int key_compare(const char* a, std::size_t a_size, const char* b,
                       std::size_t b_size, std::size_t from = 0) noexcept {
  using namespace key_words;
  const unsigned char* pa = key_bytes(a);
  const unsigned char* pb = key_bytes(b);
  // A word in which neither key ends, nor the two differ, lies before both
  // keys' terminating zeros, so the next word of each may still be read.
  for (std::size_t at = from;; at += 8) {
    const std::uint64_t wa = word_at(pa, a_size + 1, at);
    const std::uint64_t fa = fold_word(wa);
    const std::uint64_t fb = fold_word(word_at(pb, b_size + 1, at));
    const std::uint64_t stop = nonzero_bytes(fa ^ fb) | zero_bytes(wa);
    if (stop != 0) {
      return byte_difference(fa, fb, stop);
    }
  }
}

// The number of words, from the first, in which two keys agree, folded,
// with neither ending in them.
inline std::size_t key_agreed_words(const char* a, std::size_t a_size,
                                    const char* b,
                                    std::size_t b_size) noexcept {
  using namespace key_words;
  for (std::size_t w = 0;; ++w) {
    const std::uint64_t fa =
        fold_word(word_at(key_bytes(a), a_size + 1, 8 * w));
    const std::uint64_t fb =
        fold_word(word_at(key_bytes(b), b_size + 1, 8 * w));
    if (fa != fb || zero_bytes(fa) != 0) {
      return w;
    }
  }
}

// Word w of a key, folded, with the bytes after the key's end cleared, as
// a number that orders as the keys do: their first byte the most
// significant. The key must not end before the word.
inline std::uint64_t key_ordered_word(const char* key, std::size_t size,
                                      std::size_t w) noexcept {
  using namespace key_words;
  const std::uint64_t folded =
      fold_word(word_at(key_bytes(key), size + 1, 8 * w));
  const std::uint64_t ends = zero_bytes(folded);
  // Up to and with the first zero byte: `ends & -ends` is bit 7 of it.
  const std::uint64_t kept =
      ends == 0 ? folded : folded & (((ends & (0 - ends)) << 1) - 1);
  return byte_swap(kept);
}

// A key compared with one stored key after another: its first word is read
// and folded once, and most keys differ from it within that word.
class SoughtKey {
 public:
  SoughtKey(const char* key, std::size_t size) noexcept
      : m_key(key),
        m_size(size),
        m_first(key_words::fold_word(
            key_words::word_at(key_bytes(key), size + 1, 0))),
        m_first_ends(key_words::zero_bytes(m_first)) {}

  // Negative, zero or positive as this key sorts before, equals or sorts
  // after the stored one: key_compare(this key, stored). Up to the first
  // difference, the stored key ends where this one does, so this key's zero
  // bytes stand for both.
  int compare_to(const char* stored, std::size_t size) const noexcept {
    using namespace key_words;
    const std::uint64_t fb = fold_word(word_at(key_bytes(stored), size + 1, 0));
    const std::uint64_t stop = nonzero_bytes(m_first ^ fb) | m_first_ends;
    if (stop != 0) {
      return byte_difference(m_first, fb, stop);
    }
    return key_compare(m_key, m_size, stored, size, 8);
  }

  const char* key() const noexcept { return m_key; }
  std::size_t size() const noexcept { return m_size; }

  // compare_to, from word `from` on, where the two keys are known to agree
  // in every word before it and neither to have ended; sets `agreed` to
  // the number of words, from the first, in which they agree and neither
  // ends. A key between two others agrees with this one in at least as
  // many words as the fewer of theirs, so a search among ordered keys
  // starts each comparison where its bounds agree.
  int compare_from(const char* stored, std::size_t size, std::size_t from,
                   std::size_t& agreed) const noexcept {
    using namespace key_words;
    for (std::size_t w = from;; ++w) {
      const std::uint64_t fa =
          w == 0 ? m_first
                 : fold_word(word_at(key_bytes(m_key), m_size + 1, 8 * w));
      const std::uint64_t fb =
          fold_word(word_at(key_bytes(stored), size + 1, 8 * w));
      const std::uint64_t stop = nonzero_bytes(fa ^ fb) | zero_bytes(fa);
      if (stop != 0) {
        agreed = w;
        return byte_difference(fa, fb, stop);
      }
    }
  }

 private:
  const char* m_key;
  std::size_t m_size;
  std::uint64_t m_first;       // the first eight bytes, folded
  std::uint64_t m_first_ends;  // bit 7 of each of them that is zero
};

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_CONTAINERS_OBJ_HASH_KEY_H
