// ZAND_FILE's reads as the Windows C runtime makes them, beyond the line
// ends that util/zand_file_test.cpp pins for every flag combination: text
// mode translates CR LF before the line buffer counts, keeps lone CRs and
// ends at Control-Z; binary mode hands every byte over as it is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "zand_stl/zand_file.h"

namespace {

using Lines = std::vector<std::string>;

const unsigned int kTextRead =
    ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_TEXT_MODE;
const unsigned int kBinaryRead =
    ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE;

Lines read_lines(const std::string& path, unsigned int flags) {
  ZAND_FILE file;
  EXPECT_TRUE(file.open_file(path, flags));
  Lines lines;
  std::string line;
  while (file.read_string(line)) {
    lines.push_back(line);
  }
  return lines;
}

TEST(ZandFileTextMode, ReadsCrLfAsLfBeforeCountingAndStopsAtControlZ) {
  zand_test::TempDir dir;
  const std::string path = dir.file("f");
  const std::string body(2046, 'x');  // 2,047 bytes with LF, 2,048 with CR LF
  zand_test::write_file(path, "one\r\nlone\rcr\r\n" + body +
                                  "\r\n\x1A"
                                  "b\r\n");
  EXPECT_EQ(read_lines(path, kTextRead),
            (Lines{"one\n", "lone\rcr\n", body + "\n"}));
  ZAND_FILE file;  // raw reads are translated too
  ASSERT_TRUE(file.open_file(path, kTextRead));
  std::string bytes(4096, '\0');
  bytes.resize(file.read(bytes.data(), 4096U));
  EXPECT_EQ(bytes, "one\nlone\rcr\n" + body + "\n");
  EXPECT_EQ(read_lines(path, kBinaryRead),
            (Lines{"one\r\n", "lone\rcr\r\n", body + "\r", "\n",
                   "\x1A"
                   "b\r\n"}));
}

}  // namespace
