// The list's model and its driver: operation scripts on two ZAND_OBJ_LISTs,
// checked after every step against a deque with a cursor index (the deque's
// size is the end position). The two lists take turns, so that assignments
// land on lists with contents and cursors of their own.
#ifndef ZAND_STL_TESTS_SUPPORT_LIST_SCRIPT_H
#define ZAND_STL_TESTS_SUPPORT_LIST_SCRIPT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "support/script.h"
#include "zand_stl/zand_obj_list.h"

namespace zand_test {

struct ListModel {
  // Final, so that it may be deleted through its own type: the list's
  // destructor is not virtual.
  class List final : public ZAND_OBJ_LIST {};

  std::unique_ptr<List> list = std::make_unique<List>();
  std::deque<ZAND_OBJ*> items;
  std::size_t cursor = 0;

  // items[i], or null past either end (i = -1 wraps round past the end).
  ZAND_OBJ* at(std::size_t i) const {
    return i < items.size() ? items[i] : nullptr;
  }

  std::string check_ends() const {
    SCRIPT_CHECK(list->size() == static_cast<int>(items.size()));
    SCRIPT_CHECK(list->is_empty() == items.empty());
    SCRIPT_CHECK(list->get_head() == at(0));
    SCRIPT_CHECK(list->get_tail() == at(items.size() - 1));
    SCRIPT_CHECK(list->get_prev_value() == at(cursor - 1));
    return {};
  }

  // Walks a copy, whose cursor starts at the head; the list's own stays.
  std::string check_contents() const {
    ZAND_OBJ_LIST copy(*list);
    for (ZAND_OBJ* item : items) {
      SCRIPT_CHECK(copy.get_next_value() == item);
    }
    SCRIPT_CHECK(copy.get_next_value() == nullptr);
    SCRIPT_CHECK(copy.get_prev_value() == at(items.size() - 1));
    return {};
  }
};

inline std::string run_list_script(const std::uint8_t* data, std::size_t size) {
  class Item : public ZAND_OBJ {};
  Script in{data, data + size};
  Item pool[4];
  ListModel a, b;
  ListModel *active = &a, *spare = &b;
  while (in.more()) {
    ListModel& s = *active;
    ZAND_OBJ_LIST& list = *s.list;
    const std::size_t n = s.items.size();
    switch (in.below(13)) {
      case 0:
        s.items.push_front(in.pick(pool));
        list.add_at_head(s.items.front());
        ++s.cursor;  // the same node, or the end, one place further on
        break;
      case 1:
        s.items.push_back(in.pick(pool));
        list.add_at_tail(s.items.back());
        s.cursor = s.cursor == n ? n + 1 : s.cursor;  // the end stays the end
        break;
      case 2:
        list.reset_head_position();
        s.cursor = 0;
        break;
      case 3:
        SCRIPT_CHECK(list.get_next_value() == s.at(s.cursor));
        s.cursor = std::min(s.cursor + 1, n);
        break;
      case 4: {
        ZAND_OBJ* p = in.pick(pool);
        SCRIPT_CHECK(list.item_existed(p) ==
                     (std::count(s.items.begin(), s.items.end(), p) != 0));
        break;
      }
      case 5:
        SCRIPT_CHECK(list.remove_from_head() == s.at(0));
        if (n != 0) {  // a cursor on the head moves to the next node
          s.items.pop_front();
          s.cursor = s.cursor == 0 ? 0 : s.cursor - 1;
        }
        break;
      case 6:
        SCRIPT_CHECK(list.remove_from_tail() == s.at(n - 1));
        if (n != 0) {  // a cursor on the tail moves to the end
          s.items.pop_back();
          s.cursor = std::min(s.cursor, n - 1);
        }
        break;
      case 7:  // the cursor is then at the head, here the end
        in.below(2) != 0 ? list.remove_all() : list.delete_all_entries();
        s.items.clear();
        s.cursor = 0;
        break;
      case 8:  // go on with a copy, whose cursor is at the head
        s.list = std::make_unique<ListModel::List>(*s.list);
        s.cursor = 0;
        break;
      case 9:  // go on with the spare, assigned from this list, which stays
        static_cast<ZAND_OBJ_LIST&>(*spare->list) = list;
        spare->items = s.items;
        spare->cursor = 0;
        SCRIPT_PASS(s.check_ends());
        std::swap(active, spare);
        break;
      case 10: {
        ZAND_OBJ_LIST& self = list;
        SCRIPT_CHECK(&(list = self) == &list);  // nothing changes
        break;
      }
      case 11:
        SCRIPT_PASS(s.check_contents());
        break;
      default:
        std::swap(active, spare);
        break;
    }
    SCRIPT_PASS(active->check_ends());
  }
  SCRIPT_PASS(a.check_contents());
  SCRIPT_PASS(b.check_contents());
  return {};
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_LIST_SCRIPT_H
