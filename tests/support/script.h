// Model-checking drivers read a byte string as a script of operations, run
// it on the library and on a model, and return the first disagreement ("" for
// none). CTest runs them over seeded random scripts and the fuzz corpus; a
// fuzz target is a driver behind libFuzzer's entry point.
//
// Every size the library treats differently, and the inputs that cross it
// at -1, 0 and +1 (under the sanitizers, valgrind and Wine alike):
//  - Map entries: a 32-byte header, the key and its terminating zero,
//    rounded up to 8 bytes. map_script.h's key lengths take every length to
//    64 and, around each power of two from 16 B to 64 KiB, the key and the
//    entry of that size, a byte or a word either side; and random lengths
//    to 70 KiB.
//  - Entry blocks: one entry each for the first entries, then room for a
//    quarter as many entries as the map holds, up to 64 KiB; a larger entry
//    gets a block of its own. Fills of tens and thousands of keys, with
//    long keys among them, cross each block size; ObjMapKeys stores every
//    key length to 600 bytes and each power of two to 128 KiB +-1 at fills
//    of 0, 40 and 3,000 entries, and copies and assigns the maps.
//  - Slots: none with one bucket (up to 4 entries); one array of 2, 4, ...
//    64 slots (growing at the 5th, 9th, 17th, 33rd, 65th, 129th entry);
//    past 64 buckets (the 257th entry) segments of 64, 128, 256, ... slots
//    behind a directory (the 513th, 1,025th, 2,049th entry). Fills of
//    thousands cross them all, as do the allocation sweeps' 300 keys up to
//    the directory.
//  - The key functions' 8-byte words, the tail of 0 to 7 bytes and keys of
//    fewer than 7 bytes: every key length to 64, and ObjHashKeys' every
//    byte value at every place of keys to 24 bytes.
//  - std::string's short-string limit (15 bytes in libstdc++), which decides
//    where get_next_entry copies a key: the key lengths to 64.
//  - The case conversions' 32-byte blocks and the trims' 8-byte words:
//    StringUtils' every text length to 80 and runs of 1, 7-9, 15-17 and
//    23-24 trimmed bytes.
//  - read_string's 2,048-byte buffer, 2,047 bytes a piece: ZandFileRead's
//    lines of 2,046, 2,047 and 2,048 bytes and a line feed, and of 5,000
//    bytes; a 10 MiB line.
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
