// StreamAccess for MinGW-w64 against msvcrt.dll, which must be asked before
// a stream is used: its FILE's flags say what the stream was opened for, and
// the runtime itself does harm where they forbid a call. Internal.
#ifndef ZAND_STL_SRC_UTIL_STREAM_ACCESS_MSVCRT_H
#define ZAND_STL_SRC_UTIL_STREAM_ACCESS_MSVCRT_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace zand_internal {

// The members util/stream_access.h describes. Wine's msvcrt.dll reads bytes
// that were never in the file from a stream open only for writing, and
// reports writes to a stream open only for reading as done while skipping
// as many bytes of the file; so the stream's flags are asked first. Only
// that one question, since reading a line is a call per line.
class MsvcrtStreamAccess {
 public:
  explicit MsvcrtStreamAccess(std::FILE* file) : m_file(file) {}

  bool may_read() const;
  bool may_write() const;

  // Always declines: fgets reads every piece.
  bool read_piece(std::size_t limit, std::string& line) {
    static_cast<void>(limit);
    static_cast<void>(line);
    return false;
  }

 private:
  std::FILE* m_file;
};

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_UTIL_STREAM_ACCESS_MSVCRT_H
