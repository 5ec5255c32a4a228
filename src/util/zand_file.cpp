// ZAND_FILE over the C runtime's buffered streams: fopen with a mode built
// from the flag bits, fgets into a fixed buffer on the stack, fputs, fread.
// What differs per runtime (asking a stream's mode first, taking a line
// straight from its buffer) is util/stream_access.h's.
#include "zand_stl/zand_file.h"

#include <array>
#include <cstdio>

#include "util/stream_access.h"

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

using zand_internal::StreamAccess;

bool has_flag(unsigned int flags, unsigned int flag) {
  return (flags & flag) != 0;
}

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
  if (m_file == nullptr || !StreamAccess(m_file).may_write()) {
    return false;
  }
  return std::fputs(text.c_str(), m_file) >= 0;
}

bool ZAND_FILE::read_string(std::string& line) {
  line.clear();
  if (m_file == nullptr) {
    return false;
  }
  StreamAccess access(m_file);
  if (!access.may_read()) {
    return false;
  }
  if (access.read_piece(kBufferMaxSize - 1, line)) {
    return true;
  }
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
      !StreamAccess(m_file).may_read()) {
    return 0;
  }
  // At most size bytes, so the count fits the result.
  return static_cast<unsigned int>(std::fread(buffer, 1, size, m_file));
}
