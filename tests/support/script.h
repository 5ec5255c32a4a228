// Model-checking drivers read a byte string as a script of operations, run
// it on the library and on a model, and return the first disagreement ("" for
// none). CTest runs them over seeded random scripts and the fuzz corpus; a
// fuzz target is a driver behind libFuzzer's entry point.
//
// Each size the library treats differently is crossed at -1, 0 and +1 by
// the test of its unit, next to the case that crosses it and derived from
// the library's own constant where the unit exposes one.
#ifndef ZAND_STL_TESTS_SUPPORT_SCRIPT_H
#define ZAND_STL_TESTS_SUPPORT_SCRIPT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zand_test {

// The script, front to back, as small numbers; 0 past its end.
struct Script {
  const std::uint8_t* at;
  const std::uint8_t* end;

  bool more() const { return at != end; }
  std::size_t below(std::size_t n) { return more() ? *at++ % n : 0; }

  template <typename T, std::size_t N>
  T* pick(T (&pool)[N]) {  // one of the pool, or null
    const std::size_t i = below(N + 1);
    return i == N ? nullptr : &pool[i];
  }
};

}  // namespace zand_test

// Inside a driver: returns the failed condition, with its place.
#define SCRIPT_CHECK(condition)                                       \
  do {                                                                \
    if (!(condition)) {                                               \
      return std::string(__FILE__) + ":" + std::to_string(__LINE__) + \
             ": " #condition;                                         \
    }                                                                 \
  } while (false)

// Inside a driver: returns the failure of a nested check, if any.
#define SCRIPT_PASS(check)          \
  do {                              \
    std::string failure_ = (check); \
    if (!failure_.empty()) {        \
      return failure_;              \
    }                               \
  } while (false)

// A libFuzzer target around a driver: a failure aborts, which libFuzzer
// reports as a crash, keeping the input.
#define ZAND_FUZZ_TARGET(driver)                                  \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, \
                                        std::size_t size) {       \
    const std::string failure = driver(data, size);               \
    if (!failure.empty()) {                                       \
      std::fprintf(stderr, "%s\n", failure.c_str());              \
      std::abort();                                               \
    }                                                             \
    return 0;                                                     \
  }

#endif  // ZAND_STL_TESTS_SUPPORT_SCRIPT_H
