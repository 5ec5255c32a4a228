// The list's model and its driver: operation scripts on two ZAND_OBJ_LISTs,
// checked after every step against ListModel. The two lists take turns, so
// that assignments land on lists with contents and cursors of their own.
#ifndef ZAND_STL_TESTS_CONTAINERS_LIST_SCRIPT_H
#define ZAND_STL_TESTS_CONTAINERS_LIST_SCRIPT_H

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

// ZAND_OBJ_LIST as a model: the elements in a deque, and the cursor as an
// index into it, its size being the end position. Each operation returns
// what the list's returns.
class ListModel {
 public:
  // items[i], or null past either end (i = -1 wraps round past the end).
  ZAND_OBJ* at(std::size_t i) const {
    return i < m_items.size() ? m_items[i] : nullptr;
  }
  std::size_t size() const { return m_items.size(); }
  ZAND_OBJ* head() const { return at(0); }
  ZAND_OBJ* tail() const { return at(m_items.size() - 1); }
  ZAND_OBJ* prev() const { return at(m_cursor - 1); }
  bool contains(ZAND_OBJ* obj) const {
    return std::find(m_items.begin(), m_items.end(), obj) != m_items.end();
  }

  void add_at_head(ZAND_OBJ* obj) {
    m_items.push_front(obj);
    ++m_cursor;  // the same node, or the end, one place further on
  }
  void add_at_tail(ZAND_OBJ* obj) {
    m_items.push_back(obj);
    if (m_cursor == m_items.size() - 1) {
      ++m_cursor;  // the end stays the end
    }
  }
  void reset() { m_cursor = 0; }
  ZAND_OBJ* next() {
    ZAND_OBJ* const obj = at(m_cursor);
    m_cursor = std::min(m_cursor + 1, m_items.size());
    return obj;
  }
  ZAND_OBJ* remove_from_head() {  // a cursor on the head moves to the next
    ZAND_OBJ* const obj = head();
    if (!m_items.empty()) {
      m_items.pop_front();
      m_cursor = m_cursor == 0 ? 0 : m_cursor - 1;
    }
    return obj;
  }
  ZAND_OBJ* remove_from_tail() {  // a cursor on the tail moves to the end
    ZAND_OBJ* const obj = tail();
    if (!m_items.empty()) {
      m_items.pop_back();
      m_cursor = std::min(m_cursor, m_items.size());
    }
    return obj;
  }
  void remove_all() { *this = ListModel(); }
  // A copy or an assignment's target: the same elements, the cursor at the
  // head.
  ListModel copy() const {
    ListModel copy = *this;
    copy.reset();
    return copy;
  }
  const std::deque<ZAND_OBJ*>& items() const { return m_items; }

 private:
  std::deque<ZAND_OBJ*> m_items;
  std::size_t m_cursor = 0;
};

// A list and its model, driven alike.
struct ListSubject {
  // Final, so that it may be deleted through its own type: the list's
  // destructor is not virtual.
  class List final : public ZAND_OBJ_LIST {};

  std::unique_ptr<List> list = std::make_unique<List>();
  ListModel model;

  std::string check_ends() const {
    SCRIPT_CHECK(list->size() == static_cast<int>(model.size()));
    SCRIPT_CHECK(list->is_empty() == (model.size() == 0));
    SCRIPT_CHECK(list->get_head() == model.head());
    SCRIPT_CHECK(list->get_tail() == model.tail());
    SCRIPT_CHECK(list->get_prev_value() == model.prev());
    return {};
  }

  // Walks a copy, whose cursor starts at the head; the list's own stays.
  std::string check_contents() const {
    ZAND_OBJ_LIST copy(*list);
    for (ZAND_OBJ* item : model.items()) {
      SCRIPT_CHECK(copy.get_next_value() == item);
    }
    SCRIPT_CHECK(copy.get_next_value() == nullptr);
    SCRIPT_CHECK(copy.get_prev_value() == model.tail());
    return {};
  }
};

// corpus format {
inline std::string run_list_script(const TempDir& /*dir*/,
                                   const std::uint8_t* data, std::size_t size) {
  Script in{data, data + size};
  Turns<ListSubject, 4> turns;
  auto& pool = turns.pool;
  while (in.more()) {
    ListSubject& s = *turns.active;
    ZAND_OBJ_LIST& list = *s.list;
    switch (in.below(13)) {
      case 0: {
        ZAND_OBJ* obj = in.pick(pool);
        list.add_at_head(obj);
        s.model.add_at_head(obj);
        break;
      }
      case 1: {
        ZAND_OBJ* obj = in.pick(pool);
        list.add_at_tail(obj);
        s.model.add_at_tail(obj);
        break;
      }
      case 2:
        list.reset_head_position();
        s.model.reset();
        break;
      case 3:
        SCRIPT_CHECK(list.get_next_value() == s.model.next());
        break;
      case 4: {
        ZAND_OBJ* obj = in.pick(pool);
        SCRIPT_CHECK(list.item_existed(obj) == s.model.contains(obj));
        break;
      }
      case 5:
        SCRIPT_CHECK(list.remove_from_head() == s.model.remove_from_head());
        break;
      case 6:
        SCRIPT_CHECK(list.remove_from_tail() == s.model.remove_from_tail());
        break;
      case 7:  // the cursor is then at the head, here the end
        in.below(2) != 0 ? list.remove_all() : list.delete_all_entries();
        s.model.remove_all();
        break;
      case 8:  // go on with a copy, whose cursor is at the head
        s.list = std::make_unique<ListSubject::List>(*s.list);
        s.model = s.model.copy();
        break;
      case 9:  // go on with the spare, assigned from this list, which stays
        static_cast<ZAND_OBJ_LIST&>(*turns.spare->list) = list;
        turns.spare->model = s.model.copy();
        SCRIPT_PASS(s.check_ends());
        turns.swap();
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
        turns.swap();
        break;
    }
    SCRIPT_PASS(turns.active->check_ends());
  }
  SCRIPT_PASS(turns.a.check_contents());
  SCRIPT_PASS(turns.b.check_contents());
  return {};
}
// corpus format }

inline constexpr Driver kListDriver = {"fuzz_obj_list", 300, run_list_script};

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_CONTAINERS_LIST_SCRIPT_H
