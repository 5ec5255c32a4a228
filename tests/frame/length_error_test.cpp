// The limit check behind every "too long" error, with small limits since the
// real ones cannot be reached in memory.
#include "frame/length_error.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

// The message thrown, as a caller catching the standard base reads it; ""
// when nothing is thrown.
std::string thrown(std::uint64_t wanted, std::uint64_t limit,
                   const char* message) {
  try {
    zand_internal::ensure_within_limit(wanted, limit, message);
  } catch (const std::exception& e) {
    EXPECT_NE(dynamic_cast<const std::length_error*>(&e), nullptr);
    return e.what();
  }
  return "";
}

TEST(LengthError, ThrownOnlyPastTheLimitWithTheExactMessage) {
  EXPECT_EQ(thrown(0, 0, zand_internal::kListTooLong), "");
  EXPECT_EQ(thrown(5, 5, zand_internal::kListTooLong), "");
  EXPECT_EQ(thrown(6, 5, zand_internal::kListTooLong), "list<T> too long");
  EXPECT_EQ(thrown(10, 9, zand_internal::kVectorTooLong), "vector<T> too long");
}

}  // namespace
