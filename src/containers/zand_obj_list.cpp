// ZAND_OBJ_LIST over the standard doubly linked list: its end position is the
// sentinel, and the cursor is one of its iterators.
#include "zand_stl/zand_obj_list.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "frame/length_error.h"

namespace {

using Chain = std::list<ZAND_OBJ*>;

void ensure_room_for_one_more(const Chain& chain) {
  zand_internal::ensure_within_limit(chain.size() + 1,
                                     zand_internal::kMaxListElements,
                                     zand_internal::kListTooLong);
}

void append_all(Chain& target, const Chain& source) {
  for (ZAND_OBJ* obj : source) {
    ensure_room_for_one_more(target);
    target.push_back(obj);
  }
}

}  // namespace

ZAND_OBJ_LIST::ZAND_OBJ_LIST() : m_cursor(m_chain.begin()) {}

ZAND_OBJ_LIST::ZAND_OBJ_LIST(const ZAND_OBJ_LIST& other)
    : m_cursor(m_chain.end()) {
  // A throw here destroys m_chain, which frees every node appended so far.
  append_all(m_chain, other.m_chain);
  m_cursor = m_chain.begin();
}

ZAND_OBJ_LIST& ZAND_OBJ_LIST::operator=(const ZAND_OBJ_LIST& other) {
  if (this == &other) {
    return *this;
  }
  m_chain.clear();
  m_cursor = m_chain.end();
  try {
    append_all(m_chain, other.m_chain);
  } catch (...) {
    m_chain.clear();
    throw;
  }
  m_cursor = m_chain.begin();
  return *this;
}

ZAND_OBJ_LIST::~ZAND_OBJ_LIST() = default;

void ZAND_OBJ_LIST::add_at_head(ZAND_OBJ* obj) {
  ensure_room_for_one_more(m_chain);
  m_chain.push_front(obj);
}

void ZAND_OBJ_LIST::add_at_tail(ZAND_OBJ* obj) {
  ensure_room_for_one_more(m_chain);
  m_chain.push_back(obj);
}

// A derived class's is_empty() may answer false for an empty chain; the
// chain is checked as well so that such a list never reads past the sentinel.
ZAND_OBJ* ZAND_OBJ_LIST::get_head() const {
  if (is_empty() || m_chain.empty()) {
    return nullptr;
  }
  return m_chain.front();
}

ZAND_OBJ* ZAND_OBJ_LIST::get_tail() const {
  if (is_empty() || m_chain.empty()) {
    return nullptr;
  }
  return m_chain.back();
}

void ZAND_OBJ_LIST::reset_head_position() { m_cursor = m_chain.begin(); }

ZAND_OBJ* ZAND_OBJ_LIST::get_prev_value() const {
  // Also covers the empty list, whose begin() is the sentinel.
  if (m_cursor == m_chain.begin()) {
    return nullptr;
  }
  return *std::prev(m_cursor);
}

ZAND_OBJ* ZAND_OBJ_LIST::get_next_value() {
  if (m_cursor == m_chain.end()) {
    return nullptr;
  }
  ZAND_OBJ* obj = *m_cursor;
  ++m_cursor;
  return obj;
}

bool ZAND_OBJ_LIST::is_empty() const { return m_chain.empty(); }

bool ZAND_OBJ_LIST::item_existed(ZAND_OBJ* obj) const {
  if (is_empty()) {
    return false;
  }
  return std::find(m_chain.begin(), m_chain.end(), obj) != m_chain.end();
}

ZAND_OBJ* ZAND_OBJ_LIST::remove_from_head() {
  if (m_chain.empty()) {
    return nullptr;
  }
  // The cursor leaves the node before it is freed, so a walk under way goes
  // on with the removed element's successor.
  if (m_cursor == m_chain.begin()) {
    ++m_cursor;
  }
  ZAND_OBJ* obj = m_chain.front();
  m_chain.pop_front();
  return obj;
}

ZAND_OBJ* ZAND_OBJ_LIST::remove_from_tail() {
  if (m_chain.empty()) {
    return nullptr;
  }
  const auto tail = std::prev(m_chain.end());
  if (m_cursor == tail) {
    m_cursor = m_chain.end();
  }
  ZAND_OBJ* obj = *tail;
  m_chain.pop_back();
  return obj;
}

void ZAND_OBJ_LIST::remove_all() {
  m_chain.clear();
  m_cursor = m_chain.begin();
}

// The same operation under its second name (and table slot).
void ZAND_OBJ_LIST::delete_all_entries() { ZAND_OBJ_LIST::remove_all(); }

int ZAND_OBJ_LIST::size() const {
  // The low 32 bits of the count, as the interface has always reported it.
  return static_cast<int>(static_cast<std::uint32_t>(m_chain.size()));
}
