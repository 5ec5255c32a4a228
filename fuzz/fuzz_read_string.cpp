// ZAND_FILE::read_string on any file contents, against its model.
// Corpus format: fuzz/fuzz_read_string.cpp tests/support/file_model.h
#include <string>

#include "support/file_model.h"

// corpus format {
namespace {

std::string check_contents(const std::uint8_t* data, std::size_t size) {
  static const zand_test::TempDir dir;  // one for the whole run
  return zand_test::check_read_string(
      dir, std::string(reinterpret_cast<const char*>(data), size));
}

}  // namespace
// corpus format }

ZAND_FUZZ_TARGET(check_contents)
