// ZAND_FILE when memory runs out: read_string() needs memory only for the
// line itself, and a failure leaves the line empty with nothing leaked.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "support/failing_allocator.h"
#include "support/temp_dir.h"
#include "zand_stl/zand_file.h"

namespace {

using zand_test::FailAllocationAt;
using zand_test::live_allocations;
using zand_test::sweep_allocation_failures;

TEST(ZandFileAllocation, FailedReadStringLeavesTheLineEmpty) {
  zand_test::TempDir dir;
  const std::string path = dir.file("lines");
  const std::string long_line(100, 'x');
  zand_test::write_file(path, long_line + "\nnext\n");
  const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
    ZAND_FILE file;
    EXPECT_TRUE(file.open_file(path, ZAND_FILE::OPEN_READ_ONLY));
    std::string line = "old";
    const std::size_t live = live_allocations();
    bool failed = false;
    try {
      FailAllocationAt fail(k);
      file.read_string(line);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
    EXPECT_EQ(live_allocations(), live + (failed ? 0 : 1));
    EXPECT_EQ(line, failed ? "" : long_line + "\n");
    EXPECT_TRUE(file.read_string(line));  // the failed piece was consumed
    EXPECT_EQ(line, "next\n");
    return failed;
  });
  EXPECT_EQ(points, 1U);  // the line buffer itself is not on the heap
}

}  // namespace
