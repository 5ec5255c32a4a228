// The string functions through the shared library: every byte value and
// random strings against a byte-by-byte model, the documented examples, and
// results assigned back to the argument's own variable.
#include "zand_stl/zand_string_utils.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// The model, written from the definitions rather than from the code.
const std::string kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const std::string kLower = "abcdefghijklmnopqrstuvwxyz";
const std::string kWhitespace = " \t\n\v\f\r";

std::string model_map(const std::string& text, const std::string& from,
                      const std::string& to) {
  std::string out;
  for (char c : text) {
    const std::string::size_type at = from.find(c);
    out += at == std::string::npos ? c : to[at];
  }
  return out;
}

std::string model_trim_left(const std::string& text, const std::string& set) {
  const std::string::size_type at = text.find_first_not_of(set);
  return at == std::string::npos ? "" : text.substr(at);
}

std::string model_trim_right(const std::string& text, const std::string& set) {
  const std::string::size_type at = text.find_last_not_of(set);
  return at == std::string::npos ? "" : text.substr(0, at + 1);
}

// All six functions on one argument, compared with the model.
void expect_model(const std::string& text, char trimmed) {
  const std::string one(1, trimmed);
  EXPECT_EQ(to_lower_case(text), model_map(text, kUpper, kLower));
  EXPECT_EQ(to_upper_case(text), model_map(text, kLower, kUpper));
  EXPECT_EQ(trim_left(text), model_trim_left(text, kWhitespace));
  EXPECT_EQ(trim_right(text), model_trim_right(text, kWhitespace));
  EXPECT_EQ(trim_left_char(text, trimmed), model_trim_left(text, one));
  EXPECT_EQ(trim_right_char(text, trimmed), model_trim_right(text, one));
}

TEST(StringUtils, EveryByteValueAgainstTheModel) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    all += byte;
    SCOPED_TRACE(b);
    expect_model(byte + "a" + byte + "A" + byte, static_cast<char>(b));
    expect_model(byte + byte, static_cast<char>(b));
  }
  expect_model(all, 'x');
  // The neighbours of the letter ranges and the high bytes have no case.
  const std::string caseless = "@[`{\x80\xC4\xE4\xFF";
  EXPECT_EQ(to_lower_case(caseless), caseless);
  EXPECT_EQ(to_upper_case(caseless), caseless);
  // Nor are NUL, 0x1C to 0x1F, 0x85 or 0xA0 whitespace.
  const std::string kept = std::string(1, '\0') + "\x1C\x1F\x85\xA0";
  EXPECT_EQ(trim_left(kept), kept);
  EXPECT_EQ(trim_right(kept), kept);
}

// The trims skip runs eight bytes at a time: a stopping byte of every value
// at every place of runs up to three words long, on both sides, and random
// strings of runs and single bytes of any value, zero included.
TEST(StringUtils, LongRunsAgainstTheModel) {
  const std::string spaces =
      kWhitespace + kWhitespace + kWhitespace + kWhitespace;  // 24 bytes
  for (std::size_t length = 1; length <= 24; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        std::string run = spaces.substr(24 - length);
        run[at] = c;
        SCOPED_TRACE(std::to_string(length) + " " + std::to_string(at) + " " +
                     std::to_string(b));
        ASSERT_EQ(trim_left(run), model_trim_left(run, kWhitespace));
        ASSERT_EQ(trim_right(run), model_trim_right(run, kWhitespace));
        for (const char t : {'\0', 'x', '\xFF'}) {
          std::string same(length, t);
          same[at] = c;
          const std::string one(1, t);
          ASSERT_EQ(trim_left_char(same, t), model_trim_left(same, one));
          ASSERT_EQ(trim_right_char(same, t), model_trim_right(same, one));
        }
      }
    }
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    while (text.size() < 200) {
      const std::size_t run = rng() % 40;
      for (std::size_t i = 0; i < run; ++i) {
        text += kWhitespace[rng() % kWhitespace.size()];
      }
      text += static_cast<char>(rng() % 256);
    }
    expect_model(text, text[rng() % text.size()]);
  }
}

TEST(StringUtils, Examples) {
  const std::string empty;
  EXPECT_EQ(to_lower_case(empty), "");
  EXPECT_EQ(to_upper_case(empty), "");
  EXPECT_EQ(trim_left(empty), "");
  EXPECT_EQ(trim_right(empty), "");
  EXPECT_EQ(trim_left_char(empty, 'x'), "");
  EXPECT_EQ(trim_right_char(empty, 'x'), "");
  EXPECT_EQ(to_lower_case("Hello, World 42"), "hello, world 42");
  EXPECT_EQ(to_upper_case("Hello, World 42"), "HELLO, WORLD 42");
  EXPECT_EQ(to_upper_case("gr\xC3\xBC\xC3\x9F"), "GR\xC3\xBC\xC3\x9F");
  EXPECT_EQ(trim_left(" \t\r\n"), "");
  EXPECT_EQ(trim_right(" \t\r\n"), "");
  EXPECT_EQ(trim_left(" a b "), "a b ");
  EXPECT_EQ(trim_right(" a b "), " a b");
  EXPECT_EQ(trim_right(std::string("a \0", 3)), std::string("a \0", 3));
  EXPECT_EQ(trim_right_char(std::string("a\0\0", 3), '\0'), "a");
  EXPECT_EQ(trim_right_char("a\t", ' '), "a\t");
  EXPECT_EQ(trim_left_char("xxaxx", 'x'), "axx");
  EXPECT_EQ(trim_right_char("xxaxx", 'x'), "xxa");
  EXPECT_EQ(trim_right_char("xxaxx", 'X'), "xxaxx");
  EXPECT_EQ(trim_left_char("xxx", 'x'), "");
  EXPECT_EQ(trim_right_char("xxx", 'x'), "");
}

TEST(StringUtils, ResultsMayReplaceTheArgument) {
  const std::string original = "  Mixed Case Text, long enough for the heap  ";
  std::string text = original;
  EXPECT_EQ(to_upper_case(text),
            "  MIXED CASE TEXT, LONG ENOUGH FOR THE HEAP  ");
  EXPECT_EQ(text, original);  // arguments are never changed
  text = to_lower_case(text);
  text = trim_left(text);
  text = trim_right(text);
  text = trim_left_char(text, 'm');
  text = trim_right_char(text, 'p');
  EXPECT_EQ(text, "ixed case text, long enough for the hea");
}

}  // namespace
