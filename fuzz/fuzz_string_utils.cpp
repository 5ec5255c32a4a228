// The six string functions against plain byte loops, on any bytes: the
// first input byte is the byte to trim, the rest the text. The argument
// must come back unchanged, also when the result is assigned to it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "zand_stl/zand_string_utils.h"

namespace {

bool is_whitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

std::string plain_case(const std::string& text, char first, char last,
                       int shift) {
  std::string out;
  for (char c : text) {
    out += (c >= first && c <= last) ? static_cast<char>(c + shift) : c;
  }
  return out;
}

template <typename Trimmed>
std::string plain_trim_left(const std::string& text, Trimmed trimmed) {
  std::size_t begin = 0;
  while (begin < text.size() && trimmed(text[begin])) {
    ++begin;
  }
  return std::string(text, begin);
}

template <typename Trimmed>
std::string plain_trim_right(const std::string& text, Trimmed trimmed) {
  std::size_t end = text.size();
  while (end > 0 && trimmed(text[end - 1])) {
    --end;
  }
  return std::string(text, 0, end);
}

// Calls function(text), checks the argument and the result, then assigns the
// result back to a copy of the argument's variable.
template <typename Function>
void check(const std::string& text, Function function,
           const std::string& expected) {
  const std::string original = text;
  FUZZ_CHECK(function(text) == expected);
  FUZZ_CHECK(text == original);
  std::string variable = text;
  variable = function(variable);
  FUZZ_CHECK(variable == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const auto trimmed = static_cast<char>(data[0]);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  auto equals = [trimmed](char c) { return c == trimmed; };

  check(text, to_lower_case, plain_case(text, 'A', 'Z', 32));
  check(text, to_upper_case, plain_case(text, 'a', 'z', -32));
  check(text, trim_left, plain_trim_left(text, is_whitespace));
  check(text, trim_right, plain_trim_right(text, is_whitespace));
  check(
      text, [&](const std::string& t) { return trim_left_char(t, trimmed); },
      plain_trim_left(text, equals));
  check(
      text, [&](const std::string& t) { return trim_right_char(t, trimmed); },
      plain_trim_right(text, equals));
  return 0;
}
