// ZAND_FILE::read_string on any file contents, written to a temporary file
// and read back in binary mode. The pieces must be the contents cut after
// each line feed and every 2047 bytes, each piece cut again at its first zero
// byte; nothing else may be lost or added.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_check.h"
#include "zand_stl/zand_file.h"

namespace {

// The one temporary file, rewritten for every input, under a name that
// reopens it; it disappears with the process.
std::FILE* g_file = nullptr;
std::string g_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  g_file = std::tmpfile();
  FUZZ_CHECK(g_file != nullptr);
  g_path = "/proc/self/fd/" + std::to_string(fileno(g_file));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string contents(reinterpret_cast<const char*>(data), size);
  std::FILE* out = std::fopen(g_path.c_str(), "wb");
  FUZZ_CHECK(out != nullptr && std::fwrite(data, 1, size, out) == size);
  FUZZ_CHECK(std::fclose(out) == 0);

  ZAND_FILE file;
  FUZZ_CHECK(file.open_file(
      g_path, ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE));
  std::string line = "stale";
  for (std::size_t begin = 0, end = 0; begin < size; begin = end) {
    while (end < size && end - begin < 2047 && contents[end++] != '\n') {
    }
    const std::string piece = contents.substr(begin, end - begin);
    FUZZ_CHECK(file.read_string(line));
    FUZZ_CHECK(line == piece.substr(0, piece.find('\0')));
    FUZZ_CHECK(line.size() <= 2047);
    FUZZ_CHECK(line.find('\n') >= line.size() - 1);  // none, or the last byte
  }
  line = "stale";
  FUZZ_CHECK(!file.read_string(line));
  FUZZ_CHECK(line.empty());
  return 0;
}
