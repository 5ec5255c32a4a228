// The one exception the library raises itself: std::length_error when a
// container is asked to grow past its maximum. Internal; never exported.
#ifndef ZAND_STL_SRC_FRAME_LENGTH_ERROR_H
#define ZAND_STL_SRC_FRAME_LENGTH_ERROR_H

#include <cstdint>

namespace zand_internal {

// Messages a caller reads through what(); the T is literal text.
inline constexpr const char kListTooLong[] = "list<T> too long";
inline constexpr const char kVectorTooLong[] = "vector<T> too long";

// The containers' limits: as many elements as 2^64 - 1 bytes hold, at the
// element sizes the containers have always counted with (the most an
// allocator can hand out in a 64-bit address space). Storage runs out long
// before any of them is reached.
inline constexpr std::uint64_t kMaxBytes = UINT64_MAX;
// ZAND_OBJ_LIST, past which it throws kListTooLong: 8-byte elements (a
// ZAND_OBJ*), 2^61 - 1.
inline constexpr std::uint64_t kMaxListElements = kMaxBytes / 8;
// ZAND_OBJ_MAP's entries, past which it throws kListTooLong: 48-byte
// elements, 0x555555555555555.
inline constexpr std::uint64_t kMaxMapEntries = kMaxBytes / 48;
// ZAND_OBJ_MAP's buckets, past which it throws kVectorTooLong. Its bucket
// table is counted as 8-byte slots, at most kMaxBytes / 8 = 2^61 - 1 of
// them, and takes max(8, p) + 1 slots for b buckets, p being the power of
// two from b to 2b - 1; so at most 2^60 buckets.
inline constexpr std::uint64_t kMaxMapBuckets = std::uint64_t{1} << 60;
static_assert(kMaxListElements == (std::uint64_t{1} << 61) - 1);
static_assert(kMaxMapEntries == 0x555555555555555);
static_assert(kMaxMapBuckets + 1 <= kMaxBytes / 8 &&
              2 * kMaxMapBuckets + 1 > kMaxBytes / 8);

[[noreturn]] void throw_length_error(const char* message);

// Throws std::length_error(message) when a container would need `wanted`
// elements but may hold at most `limit`. Called before anything is linked
// in or enlarged, so a throw leaves the container as it was. The real limits
// cannot be reached in memory; tests call this with small numbers.
inline void ensure_within_limit(std::uint64_t wanted, std::uint64_t limit,
                                const char* message) {
  if (wanted > limit) {
    throw_length_error(message);
  }
}

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_FRAME_LENGTH_ERROR_H
