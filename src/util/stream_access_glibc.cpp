// GlibcStreamAccess: a piece read straight from glibc's stream buffer, under
// the stream's lock. Compiled to nothing where util/stream_access.h chose
// another class, since other runtimes' FILE has no such members.
#include "util/stream_access_glibc.h"

#include "util/stream_access.h"

#if defined(ZAND_STL_STREAM_ACCESS_GLIBC)

#include <algorithm>
#include <cstring>

#include <stdio_ext.h>

#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>  // glibc 2.32 and later
#endif

namespace zand_internal {

namespace {

// Whether the process has one thread, so that no other can hold or want a
// stream's lock; false where glibc cannot say.
#if __has_include(<sys/single_threaded.h>)
bool single_threaded() { return __libc_single_threaded != 0; }
#else
bool single_threaded() { return false; }
#endif

// Whether fgets would lock the stream: not when its caller took the locking
// over (__fsetlocking with FSETLOCKING_BYCALLER), when fgets leaves it
// unlocked even while another thread holds it. Nor, as glibc's own stdio,
// while the process has one thread.
bool fgets_locks(std::FILE* file) {
  return !single_threaded() &&
         __fsetlocking(file, FSETLOCKING_QUERY) == FSETLOCKING_INTERNAL;
}

// Holds a stream's lock for one call exactly when fgets would. The choice is
// made once, so the unlock matches.
class StreamLock {
 public:
  explicit StreamLock(std::FILE* file)
      : m_file(fgets_locks(file) ? file : nullptr) {
    if (m_file != nullptr) {
      flockfile(m_file);
    }
  }
  ~StreamLock() {
    if (m_file != nullptr) {
      funlockfile(m_file);
    }
  }
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

 private:
  std::FILE* m_file;  // null: not locked
};

}  // namespace

// The bytes from _IO_read_ptr to _IO_read_end are the stream's next input,
// the same bytes getc_unlocked would return one by one, and they are
// consumed the same way, by moving _IO_read_ptr. A piece that would need the
// buffer refilled (it runs past the buffer's end, or the buffer is empty, as
// it is on a stream that is not reading) is left to fgets. So is a stream
// that is not byte-oriented (a negative _mode): 0 marks one not yet
// oriented, which fgets orients, and a positive _mode a wide-oriented one,
// which fgets refuses.
bool GlibcStreamAccess::read_piece(std::size_t limit, std::string& line) {
  const StreamLock lock(m_file);
  const char* const begin = m_file->_IO_read_ptr;
  if (m_file->_mode >= 0 || begin == nullptr || begin >= m_file->_IO_read_end) {
    return false;
  }
  const std::size_t window =
      std::min(static_cast<std::size_t>(m_file->_IO_read_end - begin), limit);
  std::size_t piece = window;  // no line feed in a full piece
  if (const void* feed = std::memchr(begin, '\n', window)) {
    piece =
        static_cast<std::size_t>(static_cast<const char*>(feed) - begin) + 1;
  } else if (window < limit) {
    return false;
  }
  // Consumed before the copy, as fgets consumes it before its caller's
  // assign can fail; the bytes stay in place while the lock is held.
  m_file->_IO_read_ptr += piece;
  const void* nul = std::memchr(begin, '\0', piece);
  line.assign(begin, nul == nullptr
                         ? piece
                         : static_cast<std::size_t>(
                               static_cast<const char*>(nul) - begin));
  return true;
}

}  // namespace zand_internal

#endif  // ZAND_STL_STREAM_ACCESS_GLIBC
