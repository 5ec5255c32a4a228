// ZAND_FILE through the shared library, on real files in a temporary
// directory: the open flags by their effects, failed opens, line pieces, raw
// reads, writes, and streams shared between copies.
#include "zand_stl/zand_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

#include "support/temp_dir.h"

namespace {

using zand_test::read_file;
using zand_test::TempDir;
using zand_test::write_file;

// Runtimes that translate line ends do so in text mode, their default.
#if defined(_WIN32)
constexpr bool kTranslatesLineEnds = true;
#else
constexpr bool kTranslatesLineEnds = false;
#endif

// Everything read_string() hands back until it answers false.
std::vector<std::string> read_lines(ZAND_FILE& file) {
  std::vector<std::string> lines;
  std::string line = "stale";
  while (file.read_string(line)) {
    lines.push_back(line);
  }
  EXPECT_EQ(line, "");
  return lines;
}

// What an object that holds no stream answers.
void expect_closed(ZAND_FILE& file) {
  std::string line = "stale";
  char byte = 0;
  EXPECT_FALSE(file.read_string(line));
  EXPECT_EQ(line, "");
  EXPECT_FALSE(file.write_string("x"));
  EXPECT_EQ(file.read(&byte, 1), 0U);
}

TEST(ZandFile, ShapeAndConstants) {
  static_assert(std::has_virtual_destructor_v<ZAND_FILE>);
  static_assert(std::is_copy_constructible_v<ZAND_FILE>);
  static_assert(std::is_copy_assignable_v<ZAND_FILE>);
  static_assert(!std::is_convertible_v<std::FILE*, ZAND_FILE>);
  static_assert(sizeof(ZAND_FILE) == 2 * sizeof(void*));  // vptr and handle
  // Exported as data, so their addresses can be taken.
  const unsigned int* constants[] = {
      &ZAND_FILE::OPEN_READ_ONLY,   &ZAND_FILE::OPEN_WRITE_ONLY,
      &ZAND_FILE::OPEN_APPEND,      &ZAND_FILE::OPEN_TEXT_MODE,
      &ZAND_FILE::OPEN_BINARY_MODE, &ZAND_FILE::BUFFER_MAX_SIZE};
  const unsigned int values[] = {0x0001, 0x0010, 0x0100, 0x1000, 0x2000, 2048};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(*constants[i], values[i]);
  }
}

TEST(ZandFileOpen, EveryFlagCombinationByItsEffect) {
  TempDir dir;
  const std::string path = dir.file("f");
  const std::string original = "old\r\nmore\n";
  const unsigned int bits[] = {
      ZAND_FILE::OPEN_READ_ONLY,   ZAND_FILE::OPEN_WRITE_ONLY,
      ZAND_FILE::OPEN_APPEND,      ZAND_FILE::OPEN_TEXT_MODE,
      ZAND_FILE::OPEN_BINARY_MODE, 0x80000004U /* bits that are ignored */};
  for (unsigned int combination = 0; combination < 64; ++combination) {
    unsigned int flags = 0;
    for (unsigned int i = 0; i < 6; ++i) {
      flags |= (combination >> i & 1U) != 0 ? bits[i] : 0U;
    }
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << flags);
    const bool reading = (flags & ZAND_FILE::OPEN_READ_ONLY) != 0;
    const bool writing = (flags & ZAND_FILE::OPEN_WRITE_ONLY) != 0;
    const bool appending = (flags & ZAND_FILE::OPEN_APPEND) != 0;
    const bool translated =
        kTranslatesLineEnds && ((flags & ZAND_FILE::OPEN_TEXT_MODE) != 0 ||
                                (flags & ZAND_FILE::OPEN_BINARY_MODE) == 0);
    const std::string first_line = translated ? "old\n" : "old\r\n";
    const std::string written = translated ? "new\r\n" : "new\n";
    write_file(path, original);
    ZAND_FILE file;
    std::string line;
    if (reading) {
      ASSERT_TRUE(file.open_file(path, flags));
      // The write comes first: one runtime reports a write after a read on
      // a read-only stream as done, though nothing reaches the file.
      EXPECT_FALSE(file.write_string("new\n"));
      EXPECT_TRUE(file.read_string(line));
      EXPECT_EQ(line, first_line);
      file.close_file();
      EXPECT_EQ(read_file(path), original);
    } else if (writing && !appending) {
      ASSERT_TRUE(file.open_file(path, flags));
      EXPECT_EQ(read_file(path), "");  // emptied by the open itself
      EXPECT_TRUE(file.write_string("new\n"));
      file.close_file();
      EXPECT_EQ(read_file(path), written);
    } else if (writing) {
      // Writes land at the end although reading starts at the beginning.
      ASSERT_TRUE(file.open_file(path, flags));
      EXPECT_TRUE(file.write_string("new\n"));
      file.close_file();
      EXPECT_EQ(read_file(path), original + written);
      ASSERT_TRUE(file.open_file(path, flags));
      EXPECT_TRUE(file.read_string(line));
      EXPECT_EQ(line, first_line);
      file.close_file();
    } else {
      EXPECT_FALSE(file.open_file(path, flags));  // no access bit
      expect_closed(file);
      EXPECT_EQ(read_file(path), original);
    }
  }
  ZAND_FILE file;  // appending creates a missing file
  ASSERT_TRUE(file.open_file(dir.file("created"), ZAND_FILE::OPEN_WRITE_ONLY |
                                                      ZAND_FILE::OPEN_APPEND));
  file.close_file();
  EXPECT_TRUE(std::filesystem::exists(dir.file("created")));
}

TEST(ZandFileOpen, FailedOpensDropTheStreamAndOpenNothing) {
  TempDir dir;
  const std::string existing = dir.file("existing");
  write_file(existing, "kept\n");
  const unsigned int read_only = ZAND_FILE::OPEN_READ_ONLY;
  const unsigned int write_only = ZAND_FILE::OPEN_WRITE_ONLY;
  const unsigned int append = write_only | ZAND_FILE::OPEN_APPEND;
  const std::string nul(1, '\0');
  const struct {
    std::string name;
    unsigned int flags;
  } cases[] = {
      {dir.file("missing"), read_only},
      {dir.path(), write_only},  // a directory
      {dir.path(), append},
      {dir.file("no_dir/f"), write_only},  // paths that cannot be created
      {dir.file("no_dir/f"), append},
      {existing + "/f", write_only},
      {"", read_only},
      {"", write_only},
      {"", append},
      {existing + nul, read_only},  // would open "existing" if cut at the NUL
      {existing + nul + "x", read_only},
      {dir.file("new") + nul + "x", write_only},
      {nul, append},
      {existing, 0},  // no access bit
      {existing, ZAND_FILE::OPEN_APPEND | ZAND_FILE::OPEN_TEXT_MODE |
                     ZAND_FILE::OPEN_BINARY_MODE | 0x8000U},
  };
  ZAND_FILE keeper;
  ASSERT_TRUE(keeper.open_file(existing, read_only));
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.name));
    ZAND_FILE file(keeper);  // a held stream, to be dropped without a close
    EXPECT_FALSE(file.open_file(c.name, c.flags));
    expect_closed(file);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("new")));
  EXPECT_EQ(read_lines(keeper), std::vector<std::string>{"kept\n"});
}

TEST(ZandFileOpen, ASecondOpenLeavesTheFirstStreamToACopy) {
  TempDir dir;
  write_file(dir.file("a"), "a1\na2\n");
  write_file(dir.file("b"), "b1\n");
  ZAND_FILE file;
  ASSERT_TRUE(file.open_file(dir.file("a"), ZAND_FILE::OPEN_READ_ONLY));
  ZAND_FILE earlier(file);
  ASSERT_TRUE(file.open_file(dir.file("b"), ZAND_FILE::OPEN_READ_ONLY));
  EXPECT_EQ(read_lines(file), std::vector<std::string>{"b1\n"});
  EXPECT_EQ(read_lines(earlier), (std::vector<std::string>{"a1\n", "a2\n"}));
  earlier.close_file();  // "a" has one holder left; `file` closes "b"
}

TEST(ZandFileRead, LinesComeBackInPiecesOfAtMost2047Bytes) {
  TempDir dir;
  const std::string path = dir.file("lines");
  const std::string x(5000, 'x');
  const std::string y(2047, 'y');
  write_file(path, "ab\n\n" + x + "\n" + y + "\n" + std::string("c\0d\n", 4) +
                       "ef\nlast");
  ZAND_FILE file;
  ASSERT_TRUE(file.open_file(
      path, ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE));
  const std::vector<std::string> expected = {
      "ab\n",
      "\n",  // an empty line, told apart from the end of the file
      x.substr(0, 2047),
      x.substr(2047, 2047),
      x.substr(4094) + "\n",  // 907 bytes
      y,
      "\n",
      "c",  // the NUL ends the piece; "d\n" is lost
      "ef\n",
      "last"};
  EXPECT_EQ(read_lines(file), expected);
  std::string line = "stale";
  EXPECT_FALSE(file.read_string(line));
  EXPECT_EQ(line, "");
}

TEST(ZandFileRead, RawBytesShareThePositionWithLines) {
  TempDir dir;
  const std::string path = dir.file("bytes");
  write_file(path, std::string("ab\0cd\nefgh", 10));
  ZAND_FILE file;
  ASSERT_TRUE(file.open_file(
      path, ZAND_FILE::OPEN_READ_ONLY | ZAND_FILE::OPEN_BINARY_MODE));
  char buffer[16] = {};
  EXPECT_EQ(file.read(buffer, 0), 0U);
  EXPECT_EQ(file.read(nullptr, 4), 0U);
  EXPECT_EQ(file.read(buffer, 4), 4U);
  EXPECT_EQ(std::string(buffer, 4), std::string("ab\0c", 4));
  std::string line;
  EXPECT_TRUE(file.read_string(line));
  EXPECT_EQ(line, "d\n");
  EXPECT_EQ(file.read(buffer, sizeof buffer), 4U);  // short: the end
  EXPECT_EQ(std::string(buffer, 4), "efgh");
  EXPECT_EQ(file.read(buffer, sizeof buffer), 0U);
  EXPECT_FALSE(file.read_string(line));
}

TEST(ZandFileWrite, WritesTextUpToANulByteWithoutALineEnd) {
  TempDir dir;
  const std::string path = dir.file("out");
  ZAND_FILE file;
  ASSERT_TRUE(file.open_file(
      path, ZAND_FILE::OPEN_WRITE_ONLY | ZAND_FILE::OPEN_BINARY_MODE));
  EXPECT_TRUE(file.write_string("ab"));
  EXPECT_TRUE(file.write_string(std::string("cd\0ef", 5)));
  EXPECT_TRUE(file.write_string(""));
  file.close_file();
  EXPECT_EQ(read_file(path), "abcd");
}

TEST(ZandFile, ClosedObjectsAndTheHandlesTheyOwn) {
  ZAND_FILE fresh;
  expect_closed(fresh);
  fresh.close_file();
  ZAND_FILE null_handle(nullptr);
  expect_closed(null_handle);
  null_handle.close_file();

  TempDir dir;
  const std::string path = dir.file("f");
  write_file(path, "a\n");
  ZAND_FILE file;
  ASSERT_TRUE(file.open_file(path, ZAND_FILE::OPEN_READ_ONLY));
  file.close_file();
  file.close_file();  // closes nothing; nor does the destructor later
  expect_closed(file);
  ASSERT_TRUE(file.open_file(path, ZAND_FILE::OPEN_READ_ONLY));
  EXPECT_EQ(read_lines(file), std::vector<std::string>{"a\n"});

  // A handle given to the constructor is closed, and so flushed, with it.
  {
    ZAND_FILE adopted(std::fopen(path.c_str(), "wb"));
    EXPECT_TRUE(adopted.write_string("flushed"));
  }
  EXPECT_EQ(read_file(path), "flushed");
}

TEST(ZandFileCopy, CopiesShareOneStreamAndItsPosition) {
  TempDir dir;
  write_file(dir.file("a"), "a1\na2\na3\na4\n");
  write_file(dir.file("b"), "b1\n");
  ZAND_FILE source;
  ASSERT_TRUE(source.open_file(dir.file("a"), ZAND_FILE::OPEN_READ_ONLY));
  std::string line;
  ZAND_FILE copy(source);
  EXPECT_TRUE(copy.read_string(line));
  EXPECT_EQ(line, "a1\n");
  EXPECT_TRUE(source.read_string(line));
  EXPECT_EQ(line, "a2\n");

  ZAND_FILE target;
  ASSERT_TRUE(target.open_file(dir.file("b"), ZAND_FILE::OPEN_READ_ONLY));
  ZAND_FILE keeper(target);
  target = source;  // drops "b" without closing it
  EXPECT_TRUE(target.read_string(line));
  EXPECT_EQ(line, "a3\n");
  EXPECT_EQ(read_lines(keeper), std::vector<std::string>{"b1\n"});
  ZAND_FILE& self = target;
  EXPECT_EQ(&(target = self), &target);
  EXPECT_TRUE(target.read_string(line));
  EXPECT_EQ(line, "a4\n");

  // One holder closes "a", the others forget it; `keeper` closes "b".
  copy.close_file();
  source = ZAND_FILE();
  target = ZAND_FILE();
}

}  // namespace
