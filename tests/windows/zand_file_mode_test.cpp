// ZAND_FILE's open flags as the Windows C runtime reads them: text mode
// turns CR LF into LF on every read and LF into CR LF on writing, before the
// line buffer counts; binary mode hands every byte over as it is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "zand_stl/zand_file.h"

namespace {

using zand_test::read_file;
using zand_test::TempDir;
using zand_test::write_file;

const unsigned int kTextRead =
    ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_TEXT_MODE;
const unsigned int kBinaryRead =
    ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE;

std::vector<std::string> read_lines(const std::string& path,
                                    unsigned int flags) {
  ZAND_FILE file;
  EXPECT_TRUE(file.open_file(path, flags));
  std::vector<std::string> lines;
  std::string line;
  while (file.read_string(line)) {
    lines.push_back(line);
  }
  return lines;
}

std::string read_bytes(const std::string& path, unsigned int flags) {
  ZAND_FILE file;
  EXPECT_TRUE(file.open_file(path, flags));
  std::string bytes(1024, '\0');
  bytes.resize(file.read(bytes.data(), 1024U));
  return bytes;
}

std::string written(const TempDir& dir, unsigned int flags,
                    const std::string& text) {
  const std::string path = dir.file("written");
  ZAND_FILE file;
  EXPECT_TRUE(file.open_file(path, flags));
  EXPECT_TRUE(file.write_string(text));
  file.close_file();
  return read_file(path);
}

using Lines = std::vector<std::string>;

TEST(ZandFileTextMode, ReadsCrLfAsLfAndStopsAtControlZ) {
  TempDir dir;
  const std::string path = dir.file("f");
  write_file(path, "one\r\ntwo\nlone\rcr\r\n");
  EXPECT_EQ(read_lines(path, kTextRead),
            (Lines{"one\n", "two\n", "lone\rcr\n"}));
  EXPECT_EQ(read_bytes(path, kTextRead), "one\ntwo\nlone\rcr\n");
  // Control-Z marks the end of a text file; binary mode reads on.
  write_file(path,
             "a\r\n\x1A"
             "b\r\n");
  EXPECT_EQ(read_lines(path, kTextRead), (Lines{"a\n"}));
  EXPECT_EQ(read_lines(path, kBinaryRead), (Lines{"a\r\n",
                                                  "\x1A"
                                                  "b\r\n"}));
}

TEST(ZandFileTextMode, WritesEveryLfAsCrLf) {
  TempDir dir;
  const unsigned int write = ZAND_FILE::OPEN_WRITE_ONLY;
  const unsigned int append = write | ZAND_FILE::OPEN_APPEND;
  // Each append goes to the end of what the call before wrote.
  EXPECT_EQ(written(dir, write | ZAND_FILE::OPEN_TEXT_MODE, "a\nb\r\nc"),
            "a\r\nb\r\r\nc");
  EXPECT_EQ(written(dir, append | ZAND_FILE::OPEN_TEXT_MODE, "d\n"),
            "a\r\nb\r\r\ncd\r\n");
  EXPECT_EQ(written(dir, write | ZAND_FILE::OPEN_BINARY_MODE, "a\nb\r\n"),
            "a\nb\r\n");
  EXPECT_EQ(written(dir, append | ZAND_FILE::OPEN_BINARY_MODE, "c\n"),
            "a\nb\r\nc\n");
}

TEST(ZandFileTextMode, TranslationComesBeforeTheLineBufferCounts) {
  // 2,046 bytes and CR LF: in text mode one piece of 2,047 bytes ending
  // with the line feed; in binary mode the CR fills the buffer.
  TempDir dir;
  const std::string path = dir.file("f");
  const std::string body(2046, 'x');
  write_file(path, body + "\r\n");
  EXPECT_EQ(read_lines(path, kTextRead), (Lines{body + "\n"}));
  EXPECT_EQ(read_lines(path, kBinaryRead), (Lines{body + "\r", "\n"}));
}

TEST(ZandFileBinaryMode, KeepsEveryByteValue) {
  TempDir dir;
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    all.push_back(static_cast<char>(byte));
  }
  const std::string path = dir.file("f");
  write_file(path, all);
  EXPECT_EQ(read_bytes(path, kBinaryRead), all);
  // write_string stops at the NUL byte, so it gets the other 255.
  EXPECT_EQ(
      written(dir, ZAND_FILE::OPEN_WRITE_ONLY | ZAND_FILE::OPEN_BINARY_MODE,
              all.substr(1)),
      all.substr(1));
}

}  // namespace
