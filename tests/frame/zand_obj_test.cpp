// The object base: copies copy only derived data, deletes through the base
// run the derived destructor, and dynamic_cast works across the library.
#include "zand_stl/zand_obj.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

#include "support/counted_obj.h"

namespace {

using zand_test::CountedObj;

class Other : public ZAND_OBJ {};

TEST(ZandObj, ShapeOfTheClass) {
  static_assert(std::is_polymorphic_v<ZAND_OBJ>);
  static_assert(!std::is_abstract_v<ZAND_OBJ>);
  static_assert(std::has_virtual_destructor_v<ZAND_OBJ>);
  static_assert(!std::is_default_constructible_v<ZAND_OBJ>);  // protected
  static_assert(std::is_copy_constructible_v<ZAND_OBJ>);
  static_assert(std::is_copy_assignable_v<ZAND_OBJ>);
  static_assert(sizeof(ZAND_OBJ) == sizeof(void*));  // the vtable pointer only
}

TEST(ZandObj, CopiesCopyOnlyTheDerivedData) {
  CountedObj a(1);
  CountedObj b(2);
  CountedObj c(a);
  EXPECT_EQ(c.id(), 1);
  b = a;
  EXPECT_EQ(b.id(), 1);
  ZAND_OBJ& base = b;
  EXPECT_EQ(&(base = base), &base);
  EXPECT_EQ(b.id(), 1);
}

TEST(ZandObj, DeleteThroughBaseRunsDerivedDestructor) {
  const int before = CountedObj::alive;
  ZAND_OBJ* obj = new CountedObj(7);
  EXPECT_EQ(CountedObj::alive, before + 1);
  EXPECT_NE(dynamic_cast<CountedObj*>(obj), nullptr);
  EXPECT_EQ(dynamic_cast<Other*>(obj), nullptr);
  delete obj;
  EXPECT_EQ(CountedObj::alive, before);
}

}  // namespace
