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
#include <cstring>
#include <string>
#include <utility>

#include "support/temp_dir.h"
#include "zand_stl/zand_obj.h"

namespace zand_test {

// A driver as the tests, the thread runs and its fuzz target all run it:
// `target` names its fuzz target, fuzz/<target>.cpp, whose corpus lies in
// fuzz/corpus/<target>; `longest` bounds the random scripts the tests make;
// `run` drives one script, given a directory for any files it writes.
struct Driver {
  const char* target;
  std::size_t longest;
  std::string (*run)(const TempDir& dir, const std::uint8_t* data,
                     std::size_t size);
};

// A driver's two subjects, which take turns so that assignments land on
// containers with contents and cursors of their own, and objects whose
// addresses they store.
template <typename Subject, std::size_t kObjects>
struct Turns {
  class Item : public ZAND_OBJ {};
  Item pool[kObjects];
  Subject a, b;
  Subject* active = &a;
  Subject* spare = &b;

  void swap() { std::swap(active, spare); }
};

// corpus format {
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
// corpus format }

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

// A libFuzzer target around a driver, built as fuzz/<target>.cpp (its
// build names it in ZAND_STL_FUZZ_TARGET): a failure aborts, which
// libFuzzer reports as a crash, keeping the input.
#define ZAND_FUZZ_TARGET(driver)                                        \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,       \
                                        std::size_t size) {             \
    static const zand_test::TempDir dir; /* one for the whole run */    \
    std::string failure =                                               \
        std::strcmp((driver).target, ZAND_STL_FUZZ_TARGET) == 0         \
            ? (driver).run(dir, data, size)                             \
            : std::string("the driver's corpus is ") + (driver).target; \
    if (!failure.empty()) {                                             \
      std::fprintf(stderr, "%s\n", failure.c_str());                    \
      std::abort();                                                     \
    }                                                                   \
    return 0;                                                           \
  }

#endif  // ZAND_STL_TESTS_SUPPORT_SCRIPT_H
