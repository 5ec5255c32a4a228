// A ZAND_OBJ whose instances count themselves, so that a test can prove that
// no container operation destroys (or copies) a caller's object.
#ifndef ZAND_STL_TESTS_SUPPORT_COUNTED_OBJ_H
#define ZAND_STL_TESTS_SUPPORT_COUNTED_OBJ_H

#include "zand_stl/zand_obj.h"

namespace zand_test {

class CountedObj : public ZAND_OBJ {
 public:
  explicit CountedObj(int id = 0) : m_id(id) { ++alive; }
  CountedObj(const CountedObj& other) : ZAND_OBJ(other), m_id(other.m_id) {
    ++alive;
  }
  CountedObj& operator=(const CountedObj& other) = default;
  ~CountedObj() override { --alive; }
  int id() const { return m_id; }

  static inline int alive = 0;

 private:
  int m_id;
};

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_COUNTED_OBJ_H
