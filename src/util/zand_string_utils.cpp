// The string functions. The case conversions copy the argument once and
// convert the copy in place with a branch-free loop that compilers turn into
// vector code; the trims find the cut with a scan, eight bytes at a time
// through long runs, and copy one substring.
#include "zand_stl/zand_string_utils.h"

#include <cstddef>
#include <cstdint>

#include "util/words.h"

namespace {

// Flips bit 5, the one bit in which an ASCII letter differs from its other
// case, of a byte from kFirst to kFirst + 25; other bytes come back as they
// were. The subtraction wraps in 8 bits, so one comparison tests both ends.
template <unsigned char kFirst>
char flip_case_in_range(char c) {
  const auto byte = static_cast<unsigned char>(c);
  const unsigned int in_range = static_cast<unsigned char>(byte - kFirst) < 26U;
  return static_cast<char>(byte ^ (in_range << 5));
}

template <unsigned char kFirst>
std::string convert_case(const std::string& text) {
  std::string result(text);
  char* const bytes = result.data();
  const std::size_t length = result.size();
  // A whole number of 32-byte blocks first: with its trip count a multiple
  // of the vector width the loop vectorises even under the cheap cost model
  // of -O2. The rest, under 32 bytes, one by one.
  const std::size_t blocks_end = length & ~std::size_t{31};
  for (std::size_t i = 0; i < blocks_end; ++i) {
    bytes[i] = flip_case_in_range<kFirst>(bytes[i]);
  }
  for (std::size_t i = blocks_end; i < length; ++i) {
    bytes[i] = flip_case_in_range<kFirst>(bytes[i]);
  }
  return result;
}

using zand_internal::words::kEachByte;
using zand_internal::words::kHighBits;
using zand_internal::words::kLow7Bits;

// Eight bytes from p, in whatever order: the tests below look at each byte
// alone.
inline std::uint64_t load_word(const char* p) {
  return zand_internal::words::load<std::uint64_t>(p);
}

// The six whitespace bytes: the space, and 0x09 to 0x0D.
struct IsWhitespace {
  bool operator()(char c) const {
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0x20 || static_cast<unsigned char>(byte - 0x09) < 5U;
  }

  // Whether all eight bytes of a word are whitespace. Bit 7 is set in each
  // byte that is the space (a zero byte of word ^ 0x20...) or lies from
  // 0x09 to 0x0D (below 0x80, and adding 0x77 to it reaches bit 7 while
  // adding 0x72 does not). No addition carries into the next byte.
  bool all(std::uint64_t word) const {
    const std::uint64_t spaces =
        zand_internal::words::zero_bytes(word ^ (0x20 * kEachByte));
    const std::uint64_t low7 = word & kLow7Bits;
    const std::uint64_t controls =
        (low7 + 0x77 * kEachByte) & ~(low7 + 0x72 * kEachByte) & ~word;
    return ((spaces | controls) & kHighBits) == kHighBits;
  }
};

struct Equals {
  explicit Equals(char c)
      : trimmed(c),
        pattern(std::uint64_t{static_cast<unsigned char>(c)} * kEachByte) {}
  bool operator()(char c) const { return c == trimmed; }
  bool all(std::uint64_t word) const { return word == pattern; }

  char trimmed;
  std::uint64_t pattern;  // the byte eight times
};

// Both trims look at up to eight bytes one by one, as many as a short run
// takes; a run that fills them all goes on a word of eight bytes at a time,
// and its last few bytes one by one again. Every load lies inside the text.
template <typename Trimmed>
std::string trim_left_if(const std::string& text, Trimmed trimmed) {
  const char* const bytes = text.data();
  const std::string::size_type length = text.size();
  const std::string::size_type first = length < 8 ? length : 8;
  std::string::size_type begin = 0;
  while (begin < first && trimmed(bytes[begin])) {
    ++begin;
  }
  if (begin == 8) {
    while (length - begin >= 8 && trimmed.all(load_word(bytes + begin))) {
      begin += 8;
    }
    while (begin < length && trimmed(bytes[begin])) {
      ++begin;
    }
  }
  return text.substr(begin);
}

template <typename Trimmed>
std::string trim_right_if(const std::string& text, Trimmed trimmed) {
  const char* const bytes = text.data();
  const std::string::size_type length = text.size();
  const std::string::size_type last = length < 8 ? 0 : length - 8;
  std::string::size_type end = length;
  while (end > last && trimmed(bytes[end - 1])) {
    --end;
  }
  if (end == last && end != 0) {
    while (end >= 8 && trimmed.all(load_word(bytes + end - 8))) {
      end -= 8;
    }
    while (end > 0 && trimmed(bytes[end - 1])) {
      --end;
    }
  }
  return text.substr(0, end);
}

}  // namespace

std::string to_lower_case(const std::string& text) {
  return convert_case<'A'>(text);
}

std::string to_upper_case(const std::string& text) {
  return convert_case<'a'>(text);
}

std::string trim_left(const std::string& text) {
  return trim_left_if(text, IsWhitespace{});
}

std::string trim_right(const std::string& text) {
  return trim_right_if(text, IsWhitespace{});
}

std::string trim_left_char(const std::string& text, char trimmed) {
  return trim_left_if(text, Equals(trimmed));
}

std::string trim_right_char(const std::string& text, char trimmed) {
  return trim_right_if(text, Equals(trimmed));
}
