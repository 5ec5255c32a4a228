// ZAND_FILE over the C runtime's buffered streams: fopen with a mode built
// from the flag bits, fgets into a fixed buffer on the stack (under glibc,
// a line already in the stream's buffer straight from there), fputs, fread.
// An operation the stream's own mode forbids is refused, by the runtime
// itself where it does so harmlessly, and up front where it does not.
#include "zand_stl/zand_file.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>

// The runtime that must be asked before each operation. glibc and musl
// need no asking: a read from a stream not open for reading, or a write to
// one not open for writing, fails there, sets the stream's error indicator
// and changes nothing else, so the call itself is the cheapest refusal.
#if defined(__MINGW32__) && !defined(_UCRT)
#define ZAND_STL_ACCESS_MSVCRT  // MinGW-w64 against msvcrt.dll
#endif

// glibc's FILE keeps its buffered input in public members that its own
// getc_unlocked macro, compiled into every caller, reads and advances; so
// read_string may take a line from there. (uClibc claims to be glibc and
// is not.)
#if defined(__GLIBC__) && !defined(__UCLIBC__)
#define ZAND_STL_READ_GLIBC_BUFFER
#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>  // glibc 2.32 and later
#define ZAND_STL_SINGLE_THREADED() (__libc_single_threaded != 0)
#else
#define ZAND_STL_SINGLE_THREADED() false
#endif
// ThreadSanitizer cannot see the stream's lock, which glibc takes inside
// itself, so it is told of it: else the members the lock guards would look
// raced, to this library's tests and to its callers' alike.
#if defined(__SANITIZE_THREAD__)
#define ZAND_STL_TELL_TSAN
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZAND_STL_TELL_TSAN
#endif
#endif
#if defined(ZAND_STL_TELL_TSAN)
#include <sanitizer/tsan_interface.h>
#endif
#endif

// Defined here rather than in the class so that they are exported as data
// and callers may take their addresses.
const unsigned int ZAND_FILE::OPEN_READ_ONLY = 0x0001;
const unsigned int ZAND_FILE::OPEN_WRITE_ONLY = 0x0010;
const unsigned int ZAND_FILE::OPEN_APPEND = 0x0100;
const unsigned int ZAND_FILE::OPEN_TEXT_MODE = 0x1000;
const unsigned int ZAND_FILE::OPEN_BINARY_MODE = 0x2000;
// read_string's buffer: an exported static member is no constant
// expression for every compiler, so its value lives here as one.
constexpr unsigned int kBufferMaxSize = 0x0800;
const unsigned int ZAND_FILE::BUFFER_MAX_SIZE = kBufferMaxSize;

namespace {

bool has_flag(unsigned int flags, unsigned int flag) {
  return (flags & flag) != 0;
}

// Whether the stream's open mode lets it write (or, with false, read), where
// the runtime would not refuse the operation itself: Wine's msvcrt.dll reads
// bytes that were never in the file from a stream open for writing, and
// reports writes to a stream open for reading as done while skipping as
// many bytes of the file. So the stream itself is asked, since the object
// holds nothing but its handle; only the one question, since reading a line
// is a call per line.
bool stream_permits(std::FILE* file, bool writing) {
#if defined(ZAND_STL_ACCESS_MSVCRT)
  // "r" sets _IOREAD, "w" and "a" set _IOWRT, "+" sets _IORW alone; an
  // update stream later adds _IOREAD or _IOWRT for its current direction.
  return (file->_flag & ((writing ? _IOWRT : _IOREAD) | _IORW)) != 0;
#else
  // glibc and musl refuse by themselves; an opaque FILE (Microsoft's UCRT,
  // MinGW-w64's UCRT builds), or a runtime this library is not built and
  // tested with, alone decides.
  static_cast<void>(file);
  static_cast<void>(writing);
  return true;
#endif
}

#if defined(ZAND_STL_READ_GLIBC_BUFFER)
// Holds a stream's lock for one call, as fgets does. While the process has
// one thread no other can hold or want it, so it is skipped then, as glibc's
// own stdio skips it; the choice is made once, so the unlock matches.
class StreamLock {
 public:
  explicit StreamLock(std::FILE* file)
      : m_file(ZAND_STL_SINGLE_THREADED() ? nullptr : file) {
    if (m_file != nullptr) {
      flockfile(m_file);
#if defined(ZAND_STL_TELL_TSAN)
      __tsan_acquire(m_file);
#endif
    }
  }
  ~StreamLock() {
    if (m_file != nullptr) {
#if defined(ZAND_STL_TELL_TSAN)
      __tsan_release(m_file);
#endif
      funlockfile(m_file);
    }
  }
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

 private:
  std::FILE* m_file;  // null: not locked
};

// What fgets(buffer, kBufferMaxSize, file) followed by line.assign(buffer)
// would do, when the piece fgets would return already lies in the stream's
// buffer: the bytes from _IO_read_ptr to _IO_read_end are the stream's next
// input, the same bytes getc_unlocked would return one by one, and they are
// consumed the same way, by moving _IO_read_ptr. Answers false, having
// touched nothing, when the piece would need the buffer refilled (it ends
// past the buffer, or the buffer is empty, as it is on a stream that is not
// reading), and on a stream not yet byte-oriented: fgets alone decides
// there, and orients a new stream. Saves fgets's copy through the buffer on
// the stack, a third of the cost of a short line.
bool read_buffered_piece(std::FILE* file, std::string& line) {
  const StreamLock lock(file);
  const char* const begin = file->_IO_read_ptr;
  if (file->_mode >= 0 || begin == nullptr || begin >= file->_IO_read_end) {
    return false;
  }
  const std::size_t limit =
      std::min(static_cast<std::size_t>(file->_IO_read_end - begin),
               std::size_t{kBufferMaxSize - 1});
  std::size_t piece = limit;  // no line feed in a full piece
  if (const void* feed = std::memchr(begin, '\n', limit)) {
    piece =
        static_cast<std::size_t>(static_cast<const char*>(feed) - begin) + 1;
  } else if (limit < kBufferMaxSize - 1) {
    return false;
  }
  // Consumed before the copy, as fgets consumes it before its caller's
  // assign can fail; the bytes stay in place while the lock is held.
  file->_IO_read_ptr += piece;
  const void* nul = std::memchr(begin, '\0', piece);
  line.assign(begin, nul == nullptr
                         ? piece
                         : static_cast<std::size_t>(
                               static_cast<const char*>(nul) - begin));
  return true;
}
#endif

}  // namespace

ZAND_FILE::ZAND_FILE() : m_file(nullptr) {}

ZAND_FILE::ZAND_FILE(std::FILE* file) : m_file(file) {}

ZAND_FILE::ZAND_FILE(const ZAND_FILE& other) = default;

ZAND_FILE& ZAND_FILE::operator=(const ZAND_FILE& other) = default;

// Qualified: a derived class's override has already been destroyed.
ZAND_FILE::~ZAND_FILE() { ZAND_FILE::close_file(); }

bool ZAND_FILE::open_file(const std::string& name, unsigned int flags) {
  // Whatever the outcome, an earlier stream is no longer held (nor closed).
  m_file = nullptr;

  // fopen would stop at the NUL byte and open some other file.
  if (name.find('\0') != std::string::npos) {
    return false;
  }

  // The mode: the access part ("r", "w" or "a+"), then the translation
  // suffix ("t", "b" or none), then the terminating NUL.
  std::array<char, 4> mode = {};
  std::size_t length = 0;
  if (has_flag(flags, OPEN_READ_ONLY)) {
    mode[length++] = 'r';
  } else if (has_flag(flags, OPEN_WRITE_ONLY)) {
    if (has_flag(flags, OPEN_APPEND)) {
      mode[length++] = 'a';
      mode[length++] = '+';
    } else {
      mode[length++] = 'w';
    }
  } else {
    // A mode without an access part is no mode at all.
    return false;
  }
  // "t" is the text mode of the runtimes that translate line ends; the
  // others accept it and ignore it.
  if (has_flag(flags, OPEN_TEXT_MODE)) {
    mode[length] = 't';
  } else if (has_flag(flags, OPEN_BINARY_MODE)) {
    mode[length] = 'b';
  }

  // fopen rather than fopen_s, which on Windows opens the file unshared
  // (CMakeLists.txt silences MSVC's advice to the contrary for this file).
  m_file = std::fopen(name.c_str(), mode.data());
  return m_file != nullptr;
}

void ZAND_FILE::close_file() {
  if (m_file != nullptr) {
    std::fclose(m_file);
    m_file = nullptr;
  }
}

bool ZAND_FILE::write_string(const std::string& text) {
  if (m_file == nullptr || !stream_permits(m_file, true)) {
    return false;
  }
  return std::fputs(text.c_str(), m_file) >= 0;
}

bool ZAND_FILE::read_string(std::string& line) {
  line.clear();
  if (m_file == nullptr || !stream_permits(m_file, false)) {
    return false;
  }
#if defined(ZAND_STL_READ_GLIBC_BUFFER)
  if (read_buffered_piece(m_file, line)) {
    return true;
  }
#endif
  // The fixed buffer is what bounds a piece to BUFFER_MAX_SIZE - 1 bytes.
  // Left uninitialised: fgets terminates what it stores.
  std::array<char, kBufferMaxSize> buffer;  // NOLINT(*-member-init)
  if (std::fgets(buffer.data(), static_cast<int>(buffer.size()), m_file) ==
      nullptr) {
    return false;
  }
  // Up to the first NUL byte: fgets's terminator or one that was read.
  line.assign(buffer.data());
  return true;
}

unsigned int ZAND_FILE::read(void* buffer, unsigned int size) {
  if (m_file == nullptr || buffer == nullptr ||
      !stream_permits(m_file, false)) {
    return 0;
  }
  // At most size bytes, so the count fits the result.
  return static_cast<unsigned int>(std::fread(buffer, 1, size, m_file));
}
