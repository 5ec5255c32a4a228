// The string functions when memory runs out: the result is their only
// allocation, and a failure leaves the argument unchanged with nothing leaked.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "support/failing_allocator.h"
#include "zand_stl/zand_string_utils.h"

namespace {

using zand_test::fails_at;
using zand_test::live_allocations;
using zand_test::report_sweep;
using zand_test::sweep_allocation_failures;

TEST(StringUtilsAllocation, FailuresLeaveTheArgumentUnchanged) {
  const std::string original = " \txx" + std::string(60, 'M') + "xx\r\n";
  const std::vector<
      std::pair<const char*, std::function<std::string(const std::string&)>>>
      functions = {
          {"to_lower_case", to_lower_case},
          {"to_upper_case", to_upper_case},
          {"trim_left", trim_left},
          {"trim_right", trim_right},
          {"trim_left_char",
           [](const std::string& text) { return trim_left_char(text, ' '); }},
          {"trim_right_char", [](const std::string& text) {
             return trim_right_char(text, '\n');
           }}};
  for (const auto& named : functions) {
    const auto& function = named.second;
    std::string text = original;
    const std::size_t points = sweep_allocation_failures([&](std::size_t k) {
      const std::size_t live = live_allocations();
      const bool failed = fails_at(k, [&] { text = function(text); });
      if (failed) {
        EXPECT_EQ(text, original);
        EXPECT_EQ(live_allocations(), live);
      }
      return failed;
    });
    EXPECT_EQ(report_sweep(named.first, points), 1U);
  }
}

}  // namespace
