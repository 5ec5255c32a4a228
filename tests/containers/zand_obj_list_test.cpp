// ZAND_OBJ_LIST through the shared library: operation scripts against the
// model (containers/list_script.h), and a derived is_empty.
#include "zand_stl/zand_obj_list.h"

#include <gtest/gtest.h>

#include "containers/list_script.h"
#include "support/counted_obj.h"
#include "support/script_runs.h"

namespace {

TEST(ObjList, ScriptsAgreeWithTheModel) {
  zand_test::expect_scripts_pass(zand_test::run_list_script, "fuzz_obj_list",
                                 400, 300);
}

class AlwaysEmptyList : public ZAND_OBJ_LIST {
 public:
  bool is_empty() const override { return true; }
};

TEST(ObjList, ADerivedIsEmptyGovernsTheReaders) {
  zand_test::CountedObj x;
  AlwaysEmptyList list;
  list.add_at_tail(&x);
  EXPECT_EQ(list.get_head(), nullptr);
  EXPECT_EQ(list.get_tail(), nullptr);
  EXPECT_FALSE(list.item_existed(&x));
  EXPECT_EQ(list.remove_from_head(), &x);  // removals look at the chain
}

}  // namespace
