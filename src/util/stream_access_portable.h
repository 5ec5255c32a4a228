// StreamAccess for a runtime that needs no asking and offers no shortcut:
// every call goes to the runtime, which refuses what a stream's mode forbids
// or, where its FILE is opaque (Microsoft's UCRT), alone decides. Internal.
#ifndef ZAND_STL_SRC_UTIL_STREAM_ACCESS_PORTABLE_H
#define ZAND_STL_SRC_UTIL_STREAM_ACCESS_PORTABLE_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace zand_internal {

// The members util/stream_access.h describes.
class PortableStreamAccess {
 public:
  explicit PortableStreamAccess(std::FILE* file) { static_cast<void>(file); }

  bool may_read() const { return true; }
  bool may_write() const { return true; }

  // Always declines: fgets reads every piece.
  bool read_piece(std::size_t limit, std::string& line) {
    static_cast<void>(limit);
    static_cast<void>(line);
    return false;
  }
};

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_UTIL_STREAM_ACCESS_PORTABLE_H
