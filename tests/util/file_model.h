// What ZAND_FILE::read_string hands back from a file, from its definition:
// the contents cut after each line feed and every 2047 bytes, each piece cut
// again at its first zero byte. And a driver that checks it on any contents.
#ifndef ZAND_STL_TESTS_UTIL_FILE_MODEL_H
#define ZAND_STL_TESTS_UTIL_FILE_MODEL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/script.h"
#include "support/temp_dir.h"
#include "zand_stl/zand_file.h"

namespace zand_test {

inline std::vector<std::string> model_pieces(const std::string& contents) {
  std::vector<std::string> pieces;
  for (std::size_t begin = 0, end = 0; begin < contents.size(); begin = end) {
    while (end < contents.size() && end - begin < 2047 &&
           contents[end++] != '\n') {
    }
    const std::string piece = contents.substr(begin, end - begin);
    pieces.push_back(piece.substr(0, piece.find('\0')));
  }
  return pieces;
}

// Everything read_string gives, until it answers false (with the line
// empty, or the last piece is followed by "<not emptied>").
inline std::vector<std::string> read_pieces(ZAND_FILE& file) {
  std::vector<std::string> pieces;
  std::string line = "stale";
  while (file.read_string(line)) {
    pieces.push_back(line);
  }
  if (!line.empty()) {
    pieces.push_back("<not emptied>");
  }
  return pieces;
}

// The contents written to a file in `dir` and read back in binary mode,
// from a stream buffered as open_file leaves it, unbuffered, and with
// buffers of 8 +-1 bytes (most lines run past their end) and of a piece's
// 2,047 +-1 bytes: a piece may lie whole in the stream's buffer, run past
// its end, or need it refilled first.
inline std::string check_read_string(const TempDir& dir,
                                     const std::string& contents) {
  const std::string path = dir.file("pieces");
  write_file(path, contents);
  const std::vector<std::string> expected = model_pieces(contents);
  {
    ZAND_FILE file;
    SCRIPT_CHECK(file.open_file(
        path, ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE));
    SCRIPT_CHECK(read_pieces(file) == expected);
  }
  for (const std::size_t size : {1U, 7U, 8U, 9U, 2046U, 2047U, 2048U}) {
    if (size < 64 && contents.size() > 65536) {
      continue;  // a read from the system every few bytes
    }
    std::vector<char> buffer(size);  // outlives the stream that uses it
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    SCRIPT_CHECK(stream != nullptr);
    ZAND_FILE file(stream);
    SCRIPT_CHECK(std::setvbuf(stream, size == 1 ? nullptr : buffer.data(),
                              size == 1 ? _IONBF : _IOFBF, size) == 0);
    SCRIPT_CHECK(read_pieces(file) == expected);
  }
  return {};
}

// corpus format {
// Any bytes are a file's contents.
inline constexpr Driver kFileDriver = {
    "fuzz_read_string", 6000,
    [](const TempDir& dir, const std::uint8_t* data, std::size_t size) {
      return check_read_string(
          dir, std::string(reinterpret_cast<const char*>(data), size));
    }};
// corpus format }

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_UTIL_FILE_MODEL_H
