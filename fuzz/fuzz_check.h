// What the fuzz targets share: FUZZ_CHECK, whose failure aborts, which
// libFuzzer reports as a crash, saving the input; and Bytes, which reads the
// input front to back as small numbers, 0 past its end.
#ifndef ZAND_STL_FUZZ_FUZZ_CHECK_H
#define ZAND_STL_FUZZ_FUZZ_CHECK_H

#include <cstddef>
#include <cstdint>
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

struct Bytes {
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

#endif  // ZAND_STL_FUZZ_FUZZ_CHECK_H
