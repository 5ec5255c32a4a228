// The DLL and this program each link their own copy of the C++ runtime: an
// exception thrown here unwinds through the library's frames and is caught
// here again, whatever the frames in between.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "zand_stl/zand_obj_list.h"

namespace {

// The library asks is_empty() through the virtual table before it answers
// get_head(), get_tail() and item_existed().
class ThrowingList : public ZAND_OBJ_LIST {
 public:
  bool is_empty() const override {
    throw std::length_error("thrown by the program");
  }
};

TEST(DllBoundary, ExceptionsUnwindThroughTheLibrary) {
  ThrowingList list;
  EXPECT_THROW(list.get_head(), std::length_error);
  EXPECT_THROW(list.get_tail(), std::logic_error);
  try {
    list.item_existed(nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "thrown by the program");
  }
  // The list is intact and usable afterwards.
  list.add_at_tail(nullptr);
  EXPECT_EQ(list.size(), 1);
}

}  // namespace
