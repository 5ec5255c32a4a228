// Operation sequences on ZAND_OBJ_LIST, checked after every step against a
// deque with a cursor index (items.size() is the end). Two lists take turns,
// so that assignments land on lists with contents and cursors of their own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

#include "fuzz_check.h"
#include "zand_stl/zand_obj_list.h"

namespace {

class Item : public ZAND_OBJ {};

// Final, so that it may be deleted through its own type: the list's
// destructor is not virtual.
class List final : public ZAND_OBJ_LIST {};

struct Subject {
  std::unique_ptr<List> list = std::make_unique<List>();
  std::deque<ZAND_OBJ*> items;
  std::size_t cursor = 0;

  // items[i], or null past either end (i = -1 wraps round past the end).
  ZAND_OBJ* at(std::size_t i) const {
    return i < items.size() ? items[i] : nullptr;
  }

  void check_ends() const {
    FUZZ_CHECK(list->size() == static_cast<int>(items.size()));
    FUZZ_CHECK(list->is_empty() == items.empty());
    FUZZ_CHECK(list->get_head() == at(0));
    FUZZ_CHECK(list->get_tail() == at(items.size() - 1));
    FUZZ_CHECK(list->get_prev_value() == at(cursor - 1));
  }

  // Walks a copy, whose cursor starts at the head; the list's own stays put.
  void check_contents() const {
    ZAND_OBJ_LIST copy(*list);
    for (ZAND_OBJ* item : items) {
      FUZZ_CHECK(copy.get_next_value() == item);
    }
    FUZZ_CHECK(copy.get_next_value() == nullptr);
    FUZZ_CHECK(copy.get_prev_value() == at(items.size() - 1));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  Bytes in{data, data + size};
  Item pool[4];
  Subject a, b;
  Subject *active = &a, *spare = &b;
  while (in.more()) {
    Subject& s = *active;
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
        FUZZ_CHECK(list.get_next_value() == s.at(s.cursor));
        s.cursor = std::min(s.cursor + 1, n);
        break;
      case 4: {
        ZAND_OBJ* p = in.pick(pool);
        FUZZ_CHECK(list.item_existed(p) ==
                   (std::count(s.items.begin(), s.items.end(), p) != 0));
        break;
      }
      case 5:
        FUZZ_CHECK(list.remove_from_head() == s.at(0));
        if (n != 0) {  // a cursor on the head moves to the next node
          s.items.pop_front();
          s.cursor = s.cursor == 0 ? 0 : s.cursor - 1;
        }
        break;
      case 6:
        FUZZ_CHECK(list.remove_from_tail() == s.at(n - 1));
        if (n != 0) {  // a cursor on the tail moves to the end
          s.items.pop_back();
          s.cursor = std::min(s.cursor, n - 1);
        }
        break;
      case 7:
        in.below(2) != 0 ? list.remove_all() : list.delete_all_entries();
        s.items.clear();
        s.cursor = 0;
        break;
      case 8:  // go on with a copy, whose cursor is at the head
        s.list = std::make_unique<List>(*s.list);
        s.cursor = 0;
        break;
      case 9:  // go on with the spare, assigned from this list, which stays
        static_cast<ZAND_OBJ_LIST&>(*spare->list) = list;
        spare->items = s.items;
        spare->cursor = 0;
        s.check_ends();
        std::swap(active, spare);
        break;
      case 10: {
        ZAND_OBJ_LIST& self = list;
        FUZZ_CHECK(&(list = self) == &list);  // nothing changes
        break;
      }
      case 11:
        s.check_contents();
        break;
      default:
        std::swap(active, spare);
        break;
    }
    active->check_ends();
  }
  a.check_contents();
  b.check_contents();
  return 0;
}
