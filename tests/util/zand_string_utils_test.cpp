// The string functions through the shared library, against their model
// (util/string_model.h): every byte value, long runs of trimmed bytes,
// random and corpus texts; and the documented examples.
#include "zand_stl/zand_string_utils.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "support/script_runs.h"
#include "util/string_model.h"

namespace {

using zand_test::check_string_functions;

TEST(StringUtils, EveryByteValueAndRandomTextsAgreeWithTheModel) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    all += byte;
    ASSERT_EQ(check_string_functions(byte + "a" + byte + "A" + byte, byte[0]),
              "")
        << b;
    ASSERT_EQ(check_string_functions(byte + byte, byte[0]), "") << b;
  }
  ASSERT_EQ(check_string_functions(all + all, 'x'), "");
  // Every length to 80: the case conversions work through 32-byte blocks
  // and the trims through 8-byte words, each with a tail of its own.
  const std::string mix = " \tAz \xC4x";
  for (std::size_t length = 0; length <= 80; ++length) {
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i) {
      text[i] = mix[(i * 7 + length) % mix.size()];
    }
    ASSERT_EQ(check_string_functions(text, 'x'), "") << length;
    ASSERT_EQ(check_string_functions(std::string(length, 'x') + "a", 'x'), "");
  }
  zand_test::expect_scripts_pass(zand_test::kStringDriver, 300);
}

// The trims skip runs eight bytes at a time: a stopping byte of every value
// at every place of runs around one, two and three words long.
TEST(StringUtils, LongRunsOfTrimmedBytes) {
  using zand_test::model_trim;
  using zand_test::model_whitespace;
  const std::string spaces = " \t\n\v\f\r \t\n\v\f\r \t\n\v\f\r \t\n\v\f\r";
  for (const std::size_t length : {1U, 7U, 8U, 9U, 15U, 16U, 17U, 23U, 24U}) {
    for (std::size_t at = 0; at < length; ++at) {
      for (int b = 0; b < 256; ++b) {
        std::string run = spaces.substr(24 - length);
        run[at] = static_cast<char>(b);
        ASSERT_EQ(trim_left(run), model_trim(run, model_whitespace, true));
        ASSERT_EQ(trim_right(run), model_trim(run, model_whitespace, false));
        for (const char t : {'\0', 'x', '\xFF'}) {
          std::string same(length, t);
          same[at] = static_cast<char>(b);
          const auto is_t = [t](char c) { return c == t; };
          ASSERT_EQ(trim_left_char(same, t), model_trim(same, is_t, true));
          ASSERT_EQ(trim_right_char(same, t), model_trim(same, is_t, false));
        }
      }
    }
  }
}

TEST(StringUtils, Examples) {
  EXPECT_EQ(to_lower_case("Hello, World 42"), "hello, world 42");
  EXPECT_EQ(to_upper_case("Hello, World 42"), "HELLO, WORLD 42");
  EXPECT_EQ(to_upper_case("gr\xC3\xBC\xC3\x9F"), "GR\xC3\xBC\xC3\x9F");
  EXPECT_EQ(trim_left(" a b "), "a b ");
  EXPECT_EQ(trim_right(" a b "), " a b");
  EXPECT_EQ(trim_right(std::string("a \0", 3)), std::string("a \0", 3));
  EXPECT_EQ(trim_right_char("a\t", ' '), "a\t");
  EXPECT_EQ(trim_left_char("xxaxx", 'x'), "axx");
  EXPECT_EQ(trim_right_char("xxaxx", 'x'), "xxa");
}

}  // namespace
