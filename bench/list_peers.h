// The lists the benchmarks compare, behind one small interface: ZAND_OBJ_LIST
// and std::list<ZAND_OBJ*>. Each wrapper holds its list and nothing else, so
// its size is the list's.
#ifndef ZAND_STL_BENCH_LIST_PEERS_H
#define ZAND_STL_BENCH_LIST_PEERS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <list>

#include "zand_stl/zand_obj_list.h"

namespace zand_bench {

class ZandList {
 public:
  void add_at_tail(ZAND_OBJ* obj) { m_list.add_at_tail(obj); }
  ZAND_OBJ* remove_from_head() { return m_list.remove_from_head(); }
  bool contains(ZAND_OBJ* obj) const { return m_list.item_existed(obj); }
  std::size_t size() const { return static_cast<std::size_t>(m_list.size()); }
  std::uintptr_t walk() {
    std::uintptr_t sum = 0;
    m_list.reset_head_position();
    while (ZAND_OBJ* obj = m_list.get_next_value()) {
      sum += reinterpret_cast<std::uintptr_t>(obj);
    }
    return sum;
  }

 private:
  ZAND_OBJ_LIST m_list;
};

class StdList {
 public:
  void add_at_tail(ZAND_OBJ* obj) { m_list.push_back(obj); }
  ZAND_OBJ* remove_from_head() {
    ZAND_OBJ* obj = m_list.front();
    m_list.pop_front();
    return obj;
  }
  bool contains(ZAND_OBJ* obj) const {
    return std::find(m_list.begin(), m_list.end(), obj) != m_list.end();
  }
  std::size_t size() const { return m_list.size(); }
  std::uintptr_t walk() const {
    std::uintptr_t sum = 0;
    for (ZAND_OBJ* obj : m_list) {
      sum += reinterpret_cast<std::uintptr_t>(obj);
    }
    return sum;
  }

 private:
  std::list<ZAND_OBJ*> m_list;
};

}  // namespace zand_bench

#endif  // ZAND_STL_BENCH_LIST_PEERS_H
