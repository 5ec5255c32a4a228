// The object base: copies copy only derived data, deletes through the base
// run the derived destructor, and dynamic_cast works across the library.
// (That no container destroys an object, the scripts' objects on the stack
// prove: a delete of one would crash.)
#include "zand_stl/zand_obj.h"

#include <gtest/gtest.h>

#include "support/counted_obj.h"

namespace {

using zand_test::CountedObj;

class Other : public ZAND_OBJ {};

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

}  // namespace
