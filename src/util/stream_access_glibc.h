// StreamAccess for glibc, whose FILE keeps its buffered input in public
// members that its own getc_unlocked macro, compiled into every caller,
// reads and advances: a line already there is taken straight from it.
// Internal.
#ifndef ZAND_STL_SRC_UTIL_STREAM_ACCESS_GLIBC_H
#define ZAND_STL_SRC_UTIL_STREAM_ACCESS_GLIBC_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace zand_internal {

// The members util/stream_access.h describes. glibc refuses a read from a
// stream not open for reading, or a write to one not open for writing, by
// itself: the call fails, sets the stream's error indicator and changes
// nothing else, so the call is the cheapest refusal.
class GlibcStreamAccess {
 public:
  explicit GlibcStreamAccess(std::FILE* file) : m_file(file) {}

  bool may_read() const { return true; }
  bool may_write() const { return true; }

  // Takes the piece from the stream's buffer when it lies whole there, under
  // the stream's lock; declines when the buffer would need a refill, and on
  // a stream fgets must orient or that is wide-oriented. Saves fgets's copy
  // through a buffer on the stack, a third of the cost of a short line.
  bool read_piece(std::size_t limit, std::string& line);

 private:
  std::FILE* m_file;
};

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_UTIL_STREAM_ACCESS_GLIBC_H
