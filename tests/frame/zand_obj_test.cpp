// The object base: copies copy only derived data, deletes through the base
// run the derived destructor, dynamic_cast works across the library, and no
// container ever destroys an object.
#include "zand_stl/zand_obj.h"

#include <gtest/gtest.h>

#include <string>

#include "support/counted_obj.h"
#include "zand_stl/zand_obj_list.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using zand_test::CountedObj;

class Other : public ZAND_OBJ {};

// Part of the binary interface: the base holds its vtable pointer only.
static_assert(sizeof(ZAND_OBJ) == sizeof(void*));

TEST(ZandObj, CopiesCopyOnlyDerivedDataAndDeletesRunTheDerivedDestructor) {
  const int before = CountedObj::alive;
  CountedObj a(1), b(2);
  CountedObj c(a);
  b = a;
  ZAND_OBJ& base = b;
  EXPECT_EQ(&(base = base), &base);
  EXPECT_EQ(b.id(), 1);
  EXPECT_EQ(c.id(), 1);

  ZAND_OBJ* obj = new CountedObj(7);
  EXPECT_EQ(CountedObj::alive, before + 4);
  EXPECT_NE(dynamic_cast<CountedObj*>(obj), nullptr);
  EXPECT_EQ(dynamic_cast<Other*>(obj), nullptr);
  delete obj;
  EXPECT_EQ(CountedObj::alive, before + 3);
}

// No container operation destroys an object, whatever its name.
TEST(ZandObj, ContainersNeverDestroyTheirObjects) {
  const int before = CountedObj::alive;
  {
    CountedObj objs[3];
    ZAND_OBJ_LIST list;
    ZAND_OBJ_MAP map;
    for (int i = 0; i < 3; ++i) {
      list.add_at_tail(&objs[i]);
      map.set_at(std::to_string(i), &objs[i]);
    }
    ZAND_OBJ_LIST list_copy(list);
    ZAND_OBJ_MAP map_copy(map);
    list.remove_from_head();
    list.remove_all();
    list_copy.delete_all_entries();
    list_copy = list;
    map.remove_all();
    map_copy = map;
    EXPECT_EQ(CountedObj::alive, before + 3);
  }
  EXPECT_EQ(CountedObj::alive, before);
}

}  // namespace
