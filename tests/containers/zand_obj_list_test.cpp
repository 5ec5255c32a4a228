// ZAND_OBJ_LIST through the shared library: operation scripts against the
// model (support/list_script.h), the cursor rules the model encodes pinned
// by hand, and a derived is_empty.
#include "zand_stl/zand_obj_list.h"

#include <gtest/gtest.h>

#include "support/counted_obj.h"
#include "support/list_script.h"
#include "support/script_runs.h"

namespace {

TEST(ObjList, ScriptsAgreeWithTheModel) {
  zand_test::expect_scripts_pass(zand_test::run_list_script, "fuzz_obj_list",
                                 400, 300);
}

TEST(ObjList, CursorAcrossAdditionsAndRemovals) {
  zand_test::CountedObj w, x, y, z;
  ZAND_OBJ_LIST list;
  for (ZAND_OBJ* p : {&x, &y, &z}) {
    list.add_at_tail(p);
  }
  EXPECT_EQ(list.get_next_value(), nullptr);  // not reset: at the end
  EXPECT_EQ(list.get_prev_value(), &z);
  list.reset_head_position();
  EXPECT_EQ(list.get_next_value(), &x);
  list.add_at_head(&w);  // behind the walk
  EXPECT_EQ(list.get_next_value(), &y);
  EXPECT_EQ(list.remove_from_head(), &w);  // the cursor stays on z
  EXPECT_EQ(list.remove_from_tail(), &z);  // the cursor moves to the end
  EXPECT_EQ(list.get_next_value(), nullptr);
  EXPECT_EQ(list.get_prev_value(), &y);
  list.add_at_tail(&w);  // at the end: the walk stays ended
  EXPECT_EQ(list.get_next_value(), nullptr);
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
