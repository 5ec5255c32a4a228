// Test-only replacement of the global operator new/delete (defined in
// failing_allocator.cpp): counts live allocations and, when armed, throws
// std::bad_alloc at the k-th allocation. Only programs that link that file
// get the replacement.
#ifndef ZAND_STL_TESTS_SUPPORT_FAILING_ALLOCATOR_H
#define ZAND_STL_TESTS_SUPPORT_FAILING_ALLOCATOR_H

#include <gtest/gtest.h>

#include <cstddef>
#include <new>

namespace zand_test {

// Allocations made through operator new and not yet deleted.
std::size_t live_allocations();

// Allocations made through operator new since the program started.
std::size_t allocations_made();

// While alive, the k-th allocation from its construction on throws
// std::bad_alloc (k = 1 is the very next one); later ones succeed again.
class FailAllocationAt {
 public:
  explicit FailAllocationAt(std::size_t k);
  ~FailAllocationAt();
  FailAllocationAt(const FailAllocationAt&) = delete;
  FailAllocationAt& operator=(const FailAllocationAt&) = delete;
};

// Sweeps allocation failures over one operation: for k = 1, 2, ... a fresh
// subject is made, the operation runs on it with its k-th allocation
// failing, and after a failure `check` tests the state the operation
// promises; every subject, once destroyed, must have freed all it
// allocated. Stops at the first k the operation completes with, and
// returns the number of allocations that were failed.
template <typename Make, typename Operation, typename Check>
std::size_t sweep_allocation_failures(Make make, Operation operation,
                                      Check check) {
  const std::size_t baseline = live_allocations();
  std::size_t k = 1;
  for (bool failed = true; failed; ++k) {
    {
      auto subject = make();
      try {
        FailAllocationAt fail(k);
        operation(subject);
        failed = false;
      } catch (const std::bad_alloc&) {
        check(subject);
      }
    }
    EXPECT_EQ(live_allocations(), baseline)
        << "leak when allocation " << k << " failed";
  }
  return k - 2;
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_FAILING_ALLOCATOR_H
