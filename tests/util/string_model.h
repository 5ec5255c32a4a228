// The six string functions' model, byte by byte from their definitions, and
// a driver that checks all six against it on one text.
#ifndef ZAND_STL_TESTS_UTIL_STRING_MODEL_H
#define ZAND_STL_TESTS_UTIL_STRING_MODEL_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/script.h"
#include "zand_stl/zand_string_utils.h"

namespace zand_test {

// Each byte from `first` to `first` + 25 moved 0x20 towards the other case.
inline std::string model_case(const std::string& text, char first) {
  std::string out = text;
  for (char& c : out) {
    if (c >= first && c <= first + 25) {
      c = static_cast<char>(first == 'A' ? c + 0x20 : c - 0x20);
    }
  }
  return out;
}

inline bool model_whitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

// The text without its leading (left) or trailing run of bytes that cut
// accepts.
template <typename Cut>
std::string model_trim(const std::string& text, Cut cut, bool left) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (left && begin < end && cut(text[begin])) {
    ++begin;
  }
  while (!left && end > begin && cut(text[end - 1])) {
    --end;
  }
  return text.substr(begin, end - begin);
}

// All six functions on one text.
inline std::string check_string_functions(const std::string& text,
                                          char trimmed) {
  const auto same = [trimmed](char c) { return c == trimmed; };
  SCRIPT_CHECK(to_lower_case(text) == model_case(text, 'A'));
  SCRIPT_CHECK(to_upper_case(text) == model_case(text, 'a'));
  SCRIPT_CHECK(trim_left(text) == model_trim(text, model_whitespace, true));
  SCRIPT_CHECK(trim_right(text) == model_trim(text, model_whitespace, false));
  SCRIPT_CHECK(trim_left_char(text, trimmed) == model_trim(text, same, true));
  SCRIPT_CHECK(trim_right_char(text, trimmed) == model_trim(text, same, false));
  return {};
}

// The first byte is the one to trim, the rest the text.
// corpus format {
inline std::string run_string_script(const TempDir& /*dir*/,
                                     const std::uint8_t* data,
                                     std::size_t size) {
  if (size == 0) {
    return {};
  }
  return check_string_functions(
      std::string(reinterpret_cast<const char*>(data) + 1, size - 1),
      static_cast<char>(data[0]));
}
// corpus format }

inline constexpr Driver kStringDriver = {"fuzz_string_utils", 200,
                                         run_string_script};

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_UTIL_STRING_MODEL_H
