// Input built to hurt: map keys that all share one hash and so one bucket,
// lines far beyond the read buffer, files full of zero bytes and lone
// carriage returns, and file names no file can have. Every case must give
// its ordinary answer, crash nothing and leak nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
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

// The two-byte blocks, without upper-case letters, whose share of the hash,
// 17 * first + second with each byte read as a signed number, is
// `contribution`. Keys made of the same number of such blocks all have one
// hash, and differ as keys whenever their blocks differ.
std::vector<std::string> colliding_blocks(std::int64_t contribution) {
  auto allowed = [](int byte) {
    return byte != 0 && (byte < 'A' || byte > 'Z');
  };
  auto signed_value = [](int byte) -> std::int64_t {
    return byte < 128 ? byte : byte - 256;
  };
  std::vector<std::string> blocks;
  for (int first = 1; first < 256; ++first) {
    for (int second = 1; second < 256; ++second) {
      if (allowed(first) && allowed(second) &&
          17 * signed_value(first) + signed_value(second) == contribution) {
        blocks.push_back({static_cast<char>(first), static_cast<char>(second)});
      }
    }
  }
  return blocks;
}

// Swaps the case of every ASCII letter: another form of the same key.
std::string other_case(std::string key) {
  for (char& c : key) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      c = static_cast<char>(c ^ 0x20);
    }
  }
  return key;
}

TEST(HostileMapKeys, FiveThousandKeysInOneBucket) {
  // Blocks worth as much as "aa"; some contain letters, so that the keys
  // also meet case folding.
  const std::vector<std::string> blocks = colliding_blocks(17 * 'a' + 'a');
  ASSERT_GE(blocks.size(), 10U);
  // Every lookup and insertion scans the whole bucket, so filling it costs
  // the square of its size: 5,000 keys, 1,250 times the usual load of four,
  // take about a second under the sanitizers (100,000 would take minutes).
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
    ASSERT_EQ(map.look_up(other_case(keys[i])), &objs[i]);
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
std::vector<std::string> read_pieces(const std::string& path) {
  ZAND_FILE file;
  EXPECT_TRUE(file.open_file(
      path, ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE));
  std::vector<std::string> pieces;
  std::string piece;
  while (file.read_string(piece)) {
    pieces.push_back(piece);
  }
  return pieces;
}

TEST(HostileFile, TenMebibyteLineComesBackInPieces) {
  zand_test::TempDir dir;
  std::string line(std::size_t{10} << 20, ' ');
  for (std::size_t i = 0; i < line.size(); ++i) {
    line[i] = static_cast<char>('a' + i % 26);  // 2047 is no multiple of 26
  }
  zand_test::write_file(dir.file("long"), line + "\nafter");
  std::vector<std::string> expected;
  for (std::size_t at = 0; at < line.size(); at += 2047) {
    expected.push_back(line.substr(at, 2047));
  }
  expected.back() += '\n';
  expected.push_back("after");
  const std::vector<std::string> pieces = read_pieces(dir.file("long"));
  EXPECT_EQ(pieces.size(), 5124U);
  EXPECT_TRUE(pieces == expected);  // not printed: 10 MiB
}

TEST(HostileFile, ZeroBytesAndLoneCarriageReturns) {
  zand_test::TempDir dir;
  const std::string x(2046, 'x');
  const std::string w(2047, 'w');
  zand_test::write_file(dir.file("bytes"),
                        "\r\r\r\n"
                        "\0\n"
                        "a\rb\0c\r\n"s +
                            x + "\0yz\n"s + w + "\0tail\n\0\r"s);
  // A zero byte ends what a piece gives back, even its very first byte; the
  // 2047 bytes of a piece are counted before that cut.
  const std::vector<std::string> expected = {"\r\r\r\n", "", "a\rb", x,
                                             "yz\n",     w,  "",     ""};
  EXPECT_EQ(read_pieces(dir.file("bytes")), expected);
}

TEST(HostileFile, OverlongNamesFailWithoutCreatingAnything) {
  zand_test::TempDir dir;
  const unsigned int flags[] = {
      ZAND_FILE::OPEN_READ_ONLY, ZAND_FILE::OPEN_WRITE_ONLY,
      ZAND_FILE::OPEN_WRITE_ONLY | ZAND_FILE::OPEN_APPEND};
  for (const std::string& name :
       {dir.file(std::string(300, 'n')), dir.path() + std::string(70000, '/'),
        dir.file(std::string(70000, 'n'))}) {
    for (const unsigned int flag : flags) {
      ZAND_FILE file;
      EXPECT_FALSE(file.open_file(name, flag)) << name.size() << " " << flag;
      std::string line = "stale";
      EXPECT_FALSE(file.read_string(line));
      EXPECT_EQ(line, "");
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
