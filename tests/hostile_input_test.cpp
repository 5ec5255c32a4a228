// Input built to hurt: map keys that all share one hash and so one bucket,
// lines far beyond the read buffer, files full of zero bytes and lone
// carriage returns. Each must get its ordinary answer and leak nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/counted_obj.h"
#include "support/temp_dir.h"
#include "support/walk_order_model.h"
#include "zand_stl/zand_file.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using namespace std::string_literals;

TEST(HostileMapKeys, FiveThousandKeysInOneBucket) {
  // Two-byte blocks worth as much as "aa" to the hash, 17 * first + second
  // with each byte read as a signed number. Keys made of five such blocks
  // all have one hash, and differ as keys whenever their blocks differ: no
  // block holds an upper-case letter, and some hold lower-case ones, so that
  // the keys also meet case folding.
  std::vector<std::string> blocks;
  auto fits = [](int byte) {
    return byte >= -128 && byte < 128 && byte != 0 &&
           (byte < 'A' || byte > 'Z');
  };
  for (int first = -128; first < 128; ++first) {
    const int second = 17 * ('a' - first) + 'a';
    if (fits(first) && fits(second)) {
      blocks.push_back({static_cast<char>(first), static_cast<char>(second)});
    }
  }
  ASSERT_GE(blocks.size(), 10U);
  // Filling one bucket costs the square of its size: 5,000 keys take about
  // a second under the sanitizers, 100,000 would take minutes.
  constexpr std::size_t kKeys = 5000;
  auto make_key = [&](std::size_t i) {  // i's five decimal digits as blocks
    std::string key;
    for (int b = 0; b < 5; ++b, i /= 10) {
      key += blocks[i % 10];
    }
    return key;
  };
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < kKeys; ++i) {
    keys.push_back(make_key(i));
    ASSERT_EQ(zand_test::model_hash(keys[i]), zand_test::model_hash(keys[0]));
  }
  std::shuffle(keys.begin(), keys.end(), std::mt19937(5));

  std::vector<zand_test::CountedObj> objs(kKeys);
  ZAND_OBJ_MAP map;
  for (std::size_t i = 0; i < kKeys; ++i) {
    map.set_at(keys[i], &objs[i]);
  }
  ASSERT_EQ(map.size(), static_cast<int>(kKeys));
  for (std::size_t i = 0; i < kKeys; ++i) {
    std::string upper = keys[i];  // the keys hold no upper-case letters
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
      return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    });
    ASSERT_EQ(map.look_up(upper), &objs[i]);
  }
  EXPECT_EQ(map.look_up(make_key(kKeys + 77)), nullptr);  // same hash, absent

  const std::vector<std::string> expected = zand_test::model_walk(keys);
  ZAND_OBJ_MAP copy(map);
  for (ZAND_OBJ_MAP* walked : {&map, &copy}) {
    walked->reset_iterator();
    std::string key;
    for (const std::string& want : expected) {
      ASSERT_NE(walked->get_next_entry(key), nullptr);
      ASSERT_EQ(key, want);
    }
    EXPECT_EQ(walked->get_next_entry(key), nullptr);
  }
}

// Everything read_string() hands back from the file, until it answers false.
std::vector<std::string> read_pieces(const std::string& contents) {
  zand_test::TempDir dir;
  zand_test::write_file(dir.file("f"), contents);
  ZAND_FILE file;
  EXPECT_TRUE(file.open_file(
      dir.file("f"), ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE));
  std::vector<std::string> pieces;
  std::string piece;
  while (file.read_string(piece)) {
    pieces.push_back(piece);
  }
  return pieces;
}

TEST(HostileFile, TenMebibyteLineComesBackInPieces) {
  std::string line(std::size_t{10} << 20, ' ');
  for (std::size_t i = 0; i < line.size(); ++i) {
    line[i] = static_cast<char>('a' + i % 26);  // 2047 is no multiple of 26
  }
  std::vector<std::string> expected;
  for (std::size_t at = 0; at < line.size(); at += 2047) {
    expected.push_back(line.substr(at, 2047));
  }
  expected.back() += '\n';
  expected.push_back("after");
  const std::vector<std::string> pieces = read_pieces(line + "\nafter");
  EXPECT_EQ(pieces.size(), 5124U);
  EXPECT_TRUE(pieces == expected);  // not printed: 10 MiB
}

TEST(HostileFile, ZeroBytesAndLoneCarriageReturns) {
  const std::string x(2046, 'x');
  const std::string w(2047, 'w');
  // A zero byte ends what a piece gives back, even its very first byte; the
  // 2047 bytes of a piece are counted before that cut.
  const std::vector<std::string> expected = {"\r\r\r\n", "", "a\rb", x,
                                             "yz\n",     w,  "",     ""};
  EXPECT_EQ(read_pieces("\r\r\r\n\0\na\rb\0c\r\n"s + x + "\0yz\n"s + w +
                        "\0tail\n\0\r"s),
            expected);
}

}  // namespace
