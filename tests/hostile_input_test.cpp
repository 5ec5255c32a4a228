// Input built to hurt: map keys that all share one hash and so one bucket, a
// 1 MiB key, and a line far beyond the read buffer. Each must get its
// ordinary answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/counted_obj.h"
#include "support/file_model.h"
#include "support/keys.h"
#include "support/map_model.h"
#include "zand_stl/zand_file.h"
#include "zand_stl/zand_obj_map.h"

namespace {

TEST(HostileMapKeys, FiveThousandKeysInOneBucket) {
  // Filling one bucket costs the square of its size: 5,000 keys take about
  // a second under the sanitizers, 100,000 would take minutes.
  constexpr std::size_t kKeys = 5000;
  const auto make_key = [](std::size_t i) {
    return zand_test::one_bucket_key(i, 13);
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
  for (std::size_t i = 0; i < kKeys; ++i) {
    ASSERT_EQ(map.look_up(zand_test::other_case(keys[i])), &objs[i]);
  }
  EXPECT_EQ(map.look_up(make_key(kKeys + 77)), nullptr);  // same hash, absent
  ZAND_OBJ_MAP copy(map);
  std::vector<std::string> walked;
  std::string key;
  while (copy.get_next_entry(key) != nullptr) {
    walked.push_back(key);
  }
  EXPECT_EQ(walked, zand_test::model_walk(keys));
  // A 1 MiB key is hashed and compared like any other.
  map.set_at(std::string(1 << 20, 'Q'), &objs[0]);
  EXPECT_EQ(map.look_up(std::string(1 << 20, 'q')), &objs[0]);
  EXPECT_EQ(map.look_up(std::string((1 << 20) - 1, 'q')), nullptr);
}

TEST(HostileFile, TenMebibyteLineComesBackInPieces) {
  std::string line(std::size_t{10} << 20, ' ');
  for (std::size_t i = 0; i < line.size(); ++i) {
    line[i] = static_cast<char>('a' + i % 26);  // 2047 is no multiple of 26
  }
  zand_test::TempDir dir;
  const std::string contents = line + "\nafter";
  ASSERT_EQ(zand_test::model_pieces(contents).size(), 5124U);
  EXPECT_EQ(zand_test::check_read_string(dir, contents), "");
}

}  // namespace
