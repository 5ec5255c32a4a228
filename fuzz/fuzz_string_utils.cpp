// The six string functions against plain byte loops, on any bytes: the
// first input byte is the byte to trim, the rest the text. A result assigned
// to its own argument must come out the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "fuzz_check.h"
#include "zand_stl/zand_string_utils.h"

namespace {

// The text without its leading, and without its trailing, run of bytes that
// cut accepts.
template <typename Cut>
std::pair<std::string, std::string> plain_trims(const std::string& text,
                                                Cut cut) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < text.size() && cut(text[begin])) {
    ++begin;
  }
  while (end > 0 && cut(text[end - 1])) {
    --end;
  }
  return {text.substr(begin), text.substr(0, end)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const auto trimmed = static_cast<char>(data[0]);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string lower = text;
  std::string upper = text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool is_upper = text[i] >= 'A' && text[i] <= 'Z';
    const bool is_lower = text[i] >= 'a' && text[i] <= 'z';
    lower[i] = is_upper ? static_cast<char>(text[i] + 32) : text[i];
    upper[i] = is_lower ? static_cast<char>(text[i] - 32) : text[i];
  }
  const auto [left, right] = plain_trims(text, [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
           c == '\r';
  });
  const auto [left_char, right_char] =
      plain_trims(text, [trimmed](char c) { return c == trimmed; });

  auto check = [&text](auto function, const std::string& expected) {
    FUZZ_CHECK(function(text) == expected);
    std::string variable = text;
    variable = function(variable);
    FUZZ_CHECK(variable == expected);
  };
  check(to_lower_case, lower);
  check(to_upper_case, upper);
  check(trim_left, left);
  check(trim_right, right);
  check([&](const std::string& t) { return trim_left_char(t, trimmed); },
        left_char);
  check([&](const std::string& t) { return trim_right_char(t, trimmed); },
        right_char);
  return 0;
}
