// Test-only replacement of the global operator new/delete (defined in
// failing_allocator.cpp): counts live allocations and, when armed, throws
// std::bad_alloc at the k-th allocation. Only programs that link that file
// get the replacement.
#ifndef ZAND_STL_TESTS_SUPPORT_FAILING_ALLOCATOR_H
#define ZAND_STL_TESTS_SUPPORT_FAILING_ALLOCATOR_H

#include <cstddef>
#include <iostream>
#include <new>
#include <string>

namespace zand_test {

// Allocations made through operator new and not yet deleted.
std::size_t live_allocations();

// While alive, the k-th allocation from its construction on throws
// std::bad_alloc (k = 1 is the very next one); later ones succeed again.
class FailAllocationAt {
 public:
  explicit FailAllocationAt(std::size_t k);
  ~FailAllocationAt();
  FailAllocationAt(const FailAllocationAt&) = delete;
  FailAllocationAt& operator=(const FailAllocationAt&) = delete;
};

// Runs op() with the k-th allocation from now failing; true when the
// std::bad_alloc came out of it, false when op() completed.
template <typename Op>
bool fails_at(std::size_t k, Op op) {
  try {
    FailAllocationAt fail(k);
    op();
  } catch (const std::bad_alloc&) {
    return true;
  }
  return false;
}

// Sweeps allocation failures over one operation: calls attempt(k) for
// k = 1, 2, ... until it reports that the operation completed, i.e. no
// std::bad_alloc reached it. attempt(k) runs the operation through
// fails_at(k, ...), checks the promised state after a failure, and returns
// true when the operation failed. Returns the number of allocation points
// found.
template <typename Attempt>
std::size_t sweep_allocation_failures(Attempt attempt) {
  std::size_t k = 1;
  while (attempt(k)) {
    ++k;
  }
  return k - 1;
}

// Writes "[sweep] <operation>: N allocation points, all failed" to the test's
// output, so that the counts a sweep found, and its test asserts, can be read
// off a run. Returns points.
inline std::size_t report_sweep(const std::string& operation,
                                std::size_t points) {
  std::cout << "[sweep] " << operation << ": " << points
            << (points == 1 ? " allocation point" : " allocation points")
            << (points == 0 ? "" : ", all failed") << std::endl;
  return points;
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_FAILING_ALLOCATOR_H
