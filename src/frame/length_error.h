// The one exception the library raises itself: std::length_error when a
// container is asked to grow past its maximum. Internal; never exported.
#ifndef ZAND_STL_SRC_FRAME_LENGTH_ERROR_H
#define ZAND_STL_SRC_FRAME_LENGTH_ERROR_H

#include <cstdint>

namespace zand_internal {

// Messages a caller reads through what(); the T is literal text.
inline constexpr const char kListTooLong[] = "list<T> too long";
inline constexpr const char kVectorTooLong[] = "vector<T> too long";

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
