// ZAND_OBJ_MAP through the shared library: the walk order's worked example.
// Operation scripts against the model, keys with letters of both cases and
// zero bytes among them, run in obj_hash_table_test.cpp.
#include "zand_stl/zand_obj_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/map_model.h"

namespace {

using Keys = std::vector<std::string>;
using zand_test::walk_keys;

TEST(ObjMapOrder, EveryInsertionOrderWalksAlike) {
  std::string letters = "abcde";
  do {
    ZAND_OBJ_MAP five(0);  // the size hint changes nothing
    ZAND_OBJ_MAP four(1000);
    for (char c : letters) {
      five.set_at(std::string(1, c), nullptr);
      if (c != 'e') {
        four.set_at(std::string(1, c), nullptr);
      }
    }
    ASSERT_EQ(walk_keys(five), (Keys{"b", "d", "a", "c", "e"})) << letters;
    ASSERT_EQ(walk_keys(four), (Keys{"a", "b", "c", "d"})) << letters;
  } while (std::next_permutation(letters.begin(), letters.end()));
}

}  // namespace
