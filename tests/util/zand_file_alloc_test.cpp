// ZAND_FILE when memory runs out: read_string() needs memory only for the
// line itself, and a failure leaves the line empty with nothing leaked;
// open_file() needs none at all.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "support/failing_allocator.h"
#include "support/temp_dir.h"
#include "zand_stl/zand_file.h"

namespace {

using zand_test::fails_at;
using zand_test::live_allocations;
using zand_test::report_sweep;
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
    const bool failed = fails_at(k, [&] { file.read_string(line); });
    EXPECT_EQ(live_allocations(), live + (failed ? 0 : 1));
    EXPECT_EQ(line, failed ? "" : long_line + "\n");
    EXPECT_TRUE(file.read_string(line));  // the failed piece was consumed
    EXPECT_EQ(line, "next\n");
    return failed;
  });
  EXPECT_EQ(report_sweep("read_string", points),
            1U);  // the line buffer itself is not on the heap
}

TEST(ZandFileAllocation, OpenFileNeedsNoMemory) {
  zand_test::TempDir dir;
  const std::string path = dir.file("f");
  zand_test::write_file(path, "x\n");
  const struct {
    unsigned int flags;
    const char* operation;
  } cases[] = {{ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_TEXT_MODE,
                "open_file, mode \"rt\""},
               {ZAND_FILE::OPEN_WRITE_ONLY | ZAND_FILE::OPEN_APPEND |
                    ZAND_FILE::OPEN_BINARY_MODE,
                "open_file, mode \"a+b\""},
               {0, "open_file without an access flag"}};
  for (const auto& c : cases) {
    const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
      ZAND_FILE file;
      const std::size_t live = live_allocations();
      const bool failed = fails_at(
          k, [&] { EXPECT_EQ(file.open_file(path, c.flags), c.flags != 0); });
      EXPECT_EQ(live_allocations(), live);
      return failed;
    });
    EXPECT_EQ(report_sweep(c.operation, points),
              0U);  // the mode is made in a fixed array
  }
}

}  // namespace
