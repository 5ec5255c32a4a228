// The DLL and this program each link their own copy of the C++ runtime: an
// exception thrown here unwinds through the library's frames and is caught
// here again, with its type and message.
#include <gtest/gtest.h>

#include <stdexcept>

#include "zand_stl/zand_obj_list.h"

namespace {

// The library asks is_empty() through the virtual table before it answers
// get_head().
class ThrowingList : public ZAND_OBJ_LIST {
 public:
  bool is_empty() const override { throw std::length_error("from the test"); }
};

TEST(DllBoundary, ExceptionsUnwindThroughTheLibrary) {
  ThrowingList list;
  try {
    list.get_head();
    ADD_FAILURE() << "no exception";
  } catch (const std::length_error& e) {
    EXPECT_STREQ(e.what(), "from the test");
  }
  list.add_at_tail(nullptr);  // intact and usable afterwards
  EXPECT_EQ(list.size(), 1);
}

}  // namespace
