// The string functions. The case conversions copy the argument once and
// convert the copy in place with a branch-free loop that compilers turn into
// vector code; the trims find the cut with a scan and copy one substring.
#include "zand_stl/zand_string_utils.h"

#include <cstddef>

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

// The six whitespace bytes: the space, and 0x09 to 0x0D.
struct IsWhitespace {
  bool operator()(char c) const {
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0x20 || static_cast<unsigned char>(byte - 0x09) < 5U;
  }
};

struct Equals {
  char trimmed;
  bool operator()(char c) const { return c == trimmed; }
};

template <typename Trimmed>
std::string trim_left_if(const std::string& text, Trimmed trimmed) {
  const std::string::size_type length = text.size();
  std::string::size_type begin = 0;
  while (begin < length && trimmed(text[begin])) {
    ++begin;
  }
  return text.substr(begin);
}

template <typename Trimmed>
std::string trim_right_if(const std::string& text, Trimmed trimmed) {
  std::string::size_type end = text.size();
  while (end > 0 && trimmed(text[end - 1])) {
    --end;
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
  return trim_left_if(text, Equals{trimmed});
}

std::string trim_right_char(const std::string& text, char trimmed) {
  return trim_right_if(text, Equals{trimmed});
}
