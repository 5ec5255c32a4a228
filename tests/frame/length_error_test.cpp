// The limit check behind every "too long" error, exercised with small limits
// since the real ones cannot be reached in memory.
#include "frame/length_error.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using zand_internal::ensure_within_limit;

std::string message_of(std::uint64_t wanted, std::uint64_t limit,
                       const char* message) {
  try {
    ensure_within_limit(wanted, limit, message);
  } catch (const std::exception& e) {  // caught as the standard base
    return e.what();
  }
  return "no throw";
}

TEST(LengthError, ThrowsOnlyPastTheLimitWithTheExactMessage) {
  EXPECT_NO_THROW(ensure_within_limit(0, 0, zand_internal::kListTooLong));
  EXPECT_NO_THROW(ensure_within_limit(5, 5, zand_internal::kListTooLong));
  EXPECT_EQ(message_of(6, 5, zand_internal::kListTooLong), "list<T> too long");
  EXPECT_EQ(message_of(10, 9, zand_internal::kVectorTooLong),
            "vector<T> too long");
  EXPECT_THROW(ensure_within_limit(2, 1, zand_internal::kListTooLong),
               std::length_error);
  EXPECT_THROW(ensure_within_limit(2, 1, zand_internal::kListTooLong),
               std::logic_error);
}

}  // namespace
