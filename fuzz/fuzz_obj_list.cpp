// Operation sequences on ZAND_OBJ_LIST, decoded from the fuzzer's bytes and
// checked after every step against a deque with a cursor index. Two lists
// take turns, so that assignments land on lists with contents and cursors of
// their own.
#include <fuzzer/FuzzedDataProvider.h>

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

// The list's promised behaviour, as plainly as possible. cursor is an index
// into items; items.size() is the end position.
struct Model {
  std::deque<ZAND_OBJ*> items;
  std::size_t cursor = 0;
};

// The list itself, made final so that it may be deleted through its own
// type: the list's destructor is not virtual. Copies and assignments are
// the list's own.
class List final : public ZAND_OBJ_LIST {};

struct Subject {
  ZAND_OBJ_LIST& list() { return *owned; }

  std::unique_ptr<List> owned = std::make_unique<List>();
  Model model;
};

void check_ends(const ZAND_OBJ_LIST& list, const Model& m) {
  FUZZ_CHECK(list.size() == static_cast<int>(m.items.size()));
  FUZZ_CHECK(list.is_empty() == m.items.empty());
  FUZZ_CHECK(list.get_head() == (m.items.empty() ? nullptr : m.items.front()));
  FUZZ_CHECK(list.get_tail() == (m.items.empty() ? nullptr : m.items.back()));
  FUZZ_CHECK(list.get_prev_value() ==
             (m.cursor == 0 ? nullptr : m.items[m.cursor - 1]));
}

// Walks a copy, so that the list's own cursor stays where it is.
void check_contents(const ZAND_OBJ_LIST& list, const Model& m) {
  ZAND_OBJ_LIST copy(list);
  copy.reset_head_position();
  for (ZAND_OBJ* item : m.items) {
    FUZZ_CHECK(copy.get_next_value() == item);
  }
  FUZZ_CHECK(copy.get_next_value() == nullptr);
  FUZZ_CHECK(copy.get_prev_value() ==
             (m.items.empty() ? nullptr : m.items.back()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzedDataProvider input(data, size);
  Item pool[4];
  auto pick = [&]() -> ZAND_OBJ* {
    const std::size_t i = input.ConsumeIntegralInRange<std::size_t>(0, 4);
    return i == 4 ? nullptr : &pool[i];
  };
  Subject a;
  Subject b;
  Subject* active = &a;
  Subject* spare = &b;

  while (input.remaining_bytes() > 0) {
    ZAND_OBJ_LIST& list = active->list();
    Model& m = active->model;
    const std::size_t n = m.items.size();
    switch (input.ConsumeIntegralInRange(0, 12)) {
      case 0: {
        ZAND_OBJ* p = pick();
        list.add_at_head(p);
        m.items.push_front(p);
        ++m.cursor;  // the same node, or the end, one place further on
        break;
      }
      case 1: {
        ZAND_OBJ* p = pick();
        list.add_at_tail(p);
        m.items.push_back(p);
        if (m.cursor == n) {
          m.cursor = n + 1;  // still the end
        }
        break;
      }
      case 2:
        list.reset_head_position();
        m.cursor = 0;
        break;
      case 3:
        FUZZ_CHECK(list.get_next_value() ==
                   (m.cursor == n ? nullptr : m.items[m.cursor]));
        m.cursor = std::min(m.cursor + 1, n);
        break;
      case 4: {
        ZAND_OBJ* p = pick();
        const bool found =
            std::find(m.items.begin(), m.items.end(), p) != m.items.end();
        FUZZ_CHECK(list.item_existed(p) == found);
        break;
      }
      case 5:
        FUZZ_CHECK(list.remove_from_head() ==
                   (n == 0 ? nullptr : m.items.front()));
        if (n != 0) {
          m.items.pop_front();
          // A cursor on the head moves to the next node, now index 0.
          m.cursor = m.cursor == 0 ? 0 : m.cursor - 1;
        }
        break;
      case 6:
        FUZZ_CHECK(list.remove_from_tail() ==
                   (n == 0 ? nullptr : m.items.back()));
        if (n != 0) {
          m.items.pop_back();
          m.cursor = std::min(m.cursor, n - 1);  // on the tail: to the end
        }
        break;
      case 7:
        input.ConsumeBool() ? list.remove_all() : list.delete_all_entries();
        m.items.clear();
        m.cursor = 0;
        break;
      case 8: {
        // Go on with a copy, whose cursor is at the head.
        active->owned = std::make_unique<List>(*active->owned);
        m.cursor = 0;
        break;
      }
      case 9:
        // Go on with the spare list, assigned from this one; this one stays
        // as it is and becomes the spare.
        spare->list() = list;
        spare->model = m;
        spare->model.cursor = 0;
        check_ends(list, m);
        std::swap(active, spare);
        break;
      case 10: {
        ZAND_OBJ_LIST& self = list;
        FUZZ_CHECK(&(list = self) == &list);  // nothing changes
        break;
      }
      case 11:
        check_contents(list, m);
        break;
      default:
        std::swap(active, spare);
        break;
    }
    check_ends(active->list(), active->model);
  }
  check_contents(a.list(), a.model);
  check_contents(b.list(), b.model);
  return 0;
}
