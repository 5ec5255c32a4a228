// The compiler builtins the library uses, in one place: bit scan, byte swap
// and prefetch. Each has a branch for GCC and Clang, one for MSVC's
// intrinsics, and a plain standard C++ fallback with the same results.
// Defining ZAND_STL_PORTABLE forces the fallbacks, so that the path a
// compiler without these builtins takes is built and tested too (it also
// selects the portable stream access: util/stream_access.h). Internal.
#ifndef ZAND_STL_SRC_UTIL_BUILTINS_H
#define ZAND_STL_SRC_UTIL_BUILTINS_H

#include <cstdint>

#if !defined(ZAND_STL_PORTABLE)
#if defined(__GNUC__) || defined(__clang__)
#define ZAND_STL_GNU_BUILTINS 1
#elif defined(_MSC_VER)
#define ZAND_STL_MSVC_INTRINSICS 1
#include <intrin.h>
#include <stdlib.h>
// The 64-bit bit scans exist for 64-bit targets only.
#if defined(_M_X64) || defined(_M_ARM64)
#define ZAND_STL_MSVC_BIT_SCAN64 1
#endif
#endif
#endif

namespace zand_internal {

// Whether the machine stores the lowest byte of a word first. MSVC targets
// only such machines; GCC and Clang say so through __BYTE_ORDER__.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
inline constexpr bool kLittleEndian = false;
#else
inline constexpr bool kLittleEndian = true;
#endif

// The index of the highest set bit of x, which must not be 0.
inline unsigned highest_set_bit(std::uint64_t x) noexcept {
#if defined(ZAND_STL_GNU_BUILTINS)
  return 63U - static_cast<unsigned>(__builtin_clzll(x));
#elif defined(ZAND_STL_MSVC_BIT_SCAN64)
  unsigned long index = 0;
  _BitScanReverse64(&index, x);
  return static_cast<unsigned>(index);
#else
  // Halving the window while its high half holds a set bit.
  unsigned index = 0;
  for (unsigned width = 32; width != 0; width /= 2) {
    if ((x >> width) != 0) {
      index += width;
      x >>= width;
    }
  }
  return index;
#endif
}

// The index of the lowest set bit of x, which must not be 0.
inline unsigned lowest_set_bit(std::uint64_t x) noexcept {
#if defined(ZAND_STL_GNU_BUILTINS)
  return static_cast<unsigned>(__builtin_ctzll(x));
#else
  // x & -x keeps the lowest set bit alone, which is then also the highest.
  return highest_set_bit(x & (~x + 1));
#endif
}

// x with its bytes in the opposite order; Word is a 32- or 64-bit unsigned
// integer.
template <typename Word>
inline Word byte_swap(Word x) noexcept {
  static_assert(sizeof(Word) == 4 || sizeof(Word) == 8);
#if defined(ZAND_STL_GNU_BUILTINS)
  if constexpr (sizeof(Word) == 8) {
    return __builtin_bswap64(x);
  } else {
    return __builtin_bswap32(x);
  }
#elif defined(ZAND_STL_MSVC_INTRINSICS)
  if constexpr (sizeof(Word) == 8) {
    return _byteswap_uint64(x);
  } else {
    return static_cast<Word>(_byteswap_ulong(x));
  }
#else
  // The lowest byte left, highest, one byte at a time.
  Word swapped = 0;
  for (unsigned i = 0; i < sizeof(Word); ++i, x >>= 8) {
    swapped = static_cast<Word>((swapped << 8) | (x & 0xFF));
  }
  return swapped;
#endif
}

// Asks for the cache line at p to be loaded; only a hint, p need not be
// valid memory. A compiler without such a hint does nothing.
inline void prefetch(const void* p) noexcept {
#if defined(ZAND_STL_GNU_BUILTINS)
  __builtin_prefetch(p);
#elif defined(ZAND_STL_MSVC_INTRINSICS) && (defined(_M_X64) || defined(_M_IX86))
  _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
#elif defined(ZAND_STL_MSVC_INTRINSICS) && defined(_M_ARM64)
  __prefetch(p);
#else
  static_cast<void>(p);
#endif
}

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_UTIL_BUILTINS_H
