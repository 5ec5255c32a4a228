// ZAND_OBJ_LIST through the shared library: operation scripts against the
// model (containers/list_script.h), and a derived is_empty.
#include "zand_stl/zand_obj_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "containers/list_script.h"
#include "support/counted_obj.h"
#include "support/script_runs.h"

namespace {

TEST(ObjList, ScriptsAgreeWithTheModel) {
  zand_test::expect_scripts_pass(zand_test::kListDriver, 400);
}

// Removing, clearing, assigning over and destroying lists leaves every
// object alive: the list never deletes what its pointers point to.
TEST(ObjList, NoOperationDestroysAnObject) {
  using zand_test::CountedObj;
  std::vector<CountedObj> objs(3);
  const int alive = CountedObj::alive;
  {
    ZAND_OBJ_LIST list;
    for (CountedObj& obj : objs) {
      list.add_at_tail(&obj);
    }
    ZAND_OBJ_LIST copy(list);
    ZAND_OBJ_LIST other;
    other = list;
    EXPECT_EQ(list.remove_from_head(), &objs[0]);
    EXPECT_EQ(list.remove_from_tail(), &objs[2]);
    list.remove_all();
    other.delete_all_entries();
    other = copy;
  }
  EXPECT_EQ(CountedObj::alive, alive);
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
