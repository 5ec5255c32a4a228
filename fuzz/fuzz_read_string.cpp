// ZAND_FILE::read_string on any file contents: the input is written to a
// temporary file and read back in binary mode. The pieces must be the
// contents cut after each line feed and every 2047 bytes, each piece cut
// again at its first zero byte; nothing else may be lost or added.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "zand_stl/zand_file.h"

namespace {

std::string g_path;  // the one temporary file, rewritten for every input

void remove_file() { std::remove(g_path.c_str()); }

// The pieces a reader of lines, 2047 bytes at most at a time, would give.
std::string next_piece(const std::string& contents, std::size_t& at) {
  const std::size_t begin = at;
  while (at < contents.size() && at - begin < 2047) {
    if (contents[at++] == '\n') {
      break;
    }
  }
  const std::string piece = contents.substr(begin, at - begin);
  return piece.substr(0, piece.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr ? dir : "/tmp") +
                        "/zand_stl_fuzz_read_string_XXXXXX";
  const int fd = mkstemp(pattern.data());
  FUZZ_CHECK(fd >= 0);
  close(fd);
  g_path = pattern;
  std::atexit(remove_file);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string contents(reinterpret_cast<const char*>(data), size);
  std::FILE* out = std::fopen(g_path.c_str(), "wb");
  FUZZ_CHECK(out != nullptr);
  FUZZ_CHECK(std::fwrite(contents.data(), 1, size, out) == size);
  FUZZ_CHECK(std::fclose(out) == 0);

  ZAND_FILE file;
  FUZZ_CHECK(file.open_file(
      g_path, ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE));
  std::size_t at = 0;
  std::string line = "stale";
  while (at < contents.size()) {
    const std::string expected = next_piece(contents, at);
    FUZZ_CHECK(file.read_string(line));
    FUZZ_CHECK(line == expected);
    FUZZ_CHECK(line.size() <= 2047);
    const std::size_t feed = line.find('\n');
    FUZZ_CHECK(feed == std::string::npos || feed == line.size() - 1);
  }
  line = "stale";
  FUZZ_CHECK(!file.read_string(line));
  FUZZ_CHECK(line.empty());
  return 0;
}
