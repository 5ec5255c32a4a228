// The fuzzers' one assertion: a broken promise aborts, which libFuzzer
// reports as a crash and saves the input that caused it.
#ifndef ZAND_STL_FUZZ_FUZZ_CHECK_H
#define ZAND_STL_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                               \
  do {                                                                      \
    if (!(condition)) {                                                     \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, \
                   #condition);                                             \
      std::abort();                                                         \
    }                                                                       \
  } while (false)

#endif  // ZAND_STL_FUZZ_FUZZ_CHECK_H
