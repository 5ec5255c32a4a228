// EXPECT_TABLE_VALID(table): the hash table's six invariants hold. The
// check exists in debug builds only; elsewhere the macro checks nothing.
#ifndef ZAND_STL_TESTS_SUPPORT_TABLE_CHECK_H
#define ZAND_STL_TESTS_SUPPORT_TABLE_CHECK_H

#include <gtest/gtest.h>

#include <string>

#ifndef NDEBUG
#define EXPECT_TABLE_VALID(table) \
  EXPECT_EQ((table).invariant_violation(), std::string())
#else
#define EXPECT_TABLE_VALID(table) (void)(table)
#endif

#endif  // ZAND_STL_TESTS_SUPPORT_TABLE_CHECK_H
