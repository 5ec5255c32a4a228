// ZAND_FILE through the shared library, on real files: the open flags by
// their effects, failed opens, line pieces against their model
// (util/file_model.h) and raw reads, writes, what a stream's mode
// forbids, and streams shared between copies.
#include "zand_stl/zand_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/script_runs.h"
#include "support/temp_dir.h"
#include "util/file_model.h"

namespace {

using zand_test::read_file;
using zand_test::TempDir;
using zand_test::write_file;
using Lines = std::vector<std::string>;

const unsigned int kRead = ZAND_FILE::OPEN_READ_ONLY;
const unsigned int kBinaryRead = kRead | ZAND_FILE::OPEN_BINARY_MODE;

// Runtimes that translate line ends do so in text mode, their default.
#if defined(_WIN32)
constexpr bool kTranslatesLineEnds = true;
#else
constexpr bool kTranslatesLineEnds = false;
#endif

using zand_test::read_pieces;
using namespace std::string_literals;

// What an object that holds no stream answers.
void expect_closed(ZAND_FILE& file) {
  char byte = 0;
  EXPECT_EQ(read_pieces(file), Lines{});
  EXPECT_FALSE(file.write_string("x"));
  EXPECT_EQ(file.read(&byte, 1), 0U);
}

TEST(ZandFile, ConstantsAreExportedDataWithTheirValues) {
  EXPECT_EQ((std::vector<unsigned int>{
                ZAND_FILE::OPEN_READ_ONLY, ZAND_FILE::OPEN_WRITE_ONLY,
                ZAND_FILE::OPEN_APPEND, ZAND_FILE::OPEN_TEXT_MODE,
                ZAND_FILE::OPEN_BINARY_MODE, ZAND_FILE::BUFFER_MAX_SIZE}),
            (std::vector<unsigned int>{1, 0x10, 0x100, 0x1000, 0x2000, 2048}));
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
    const bool appending = !reading && (flags & ZAND_FILE::OPEN_APPEND) != 0;
    write_file(path, original);
    ZAND_FILE file;
    if (!reading && !writing) {
      EXPECT_FALSE(file.open_file(path, flags));  // as a failed open, below
      continue;
    }
    const bool translated =
        kTranslatesLineEnds && ((flags & ZAND_FILE::OPEN_TEXT_MODE) != 0 ||
                                (flags & ZAND_FILE::OPEN_BINARY_MODE) == 0);
    const std::string written = translated ? "new\r\n" : "new\n";
    ASSERT_TRUE(file.open_file(path, flags));
    // Appending writes at the end although reading starts at the beginning.
    EXPECT_EQ(file.write_string("new\n"), !reading);
    file.close_file();
    EXPECT_EQ(read_file(path), reading     ? original
                               : appending ? original + written
                                           : written);
    if (reading || appending) {
      ASSERT_TRUE(file.open_file(path, flags));
      std::string line;
      EXPECT_TRUE(file.read_string(line));
      EXPECT_EQ(line, translated ? "old\n" : "old\r\n");
    }
  }
  ZAND_FILE file;  // appending creates a missing file
  EXPECT_TRUE(file.open_file(
      dir.file("new"), ZAND_FILE::OPEN_WRITE_ONLY | ZAND_FILE::OPEN_APPEND));
}

TEST(ZandFileOpen, FailedOpensDropTheStreamAndOpenNothing) {
  TempDir dir;
  const std::string existing = dir.file("report.txt");
  write_file(existing, "kept\n");
  const unsigned int append =
      ZAND_FILE::OPEN_WRITE_ONLY | ZAND_FILE::OPEN_APPEND;
  const std::string nul(1, '\0');
  const struct {
    std::string name;
    unsigned int flags;
  } cases[] = {
      {dir.file("missing"), kRead},
      {dir.path(), append},  // a directory
      {dir.file("no_dir/f"), append},
      {"", ZAND_FILE::OPEN_WRITE_ONLY},
      {existing + nul + ".cfg", kRead},  // cut at the NUL, it would open
      {dir.file("new.txt") + nul + ".cfg", append},
      {existing, ZAND_FILE::OPEN_APPEND | ZAND_FILE::OPEN_BINARY_MODE},
  };
  ZAND_FILE keeper;
  ASSERT_TRUE(keeper.open_file(existing, kRead));
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.name));
    ZAND_FILE file(keeper);  // a held stream, to be dropped without a close
    EXPECT_FALSE(file.open_file(c.name, c.flags));
    expect_closed(file);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_EQ(read_pieces(keeper), Lines{"kept\n"});
}

TEST(ZandFileRead, LinePiecesAgreeWithTheModelAndRawReadsInterleave) {
  using zand_test::model_pieces;
  const std::string x(5000, 'x');
  const std::string y(2047, 'y');
  // The model itself, pinned by hand.
  EXPECT_EQ(
      model_pieces(x + "\n"),
      (Lines{x.substr(0, 2047), x.substr(2047, 2047), x.substr(4094) + "\n"}));
  TempDir dir;
  for (const std::string& contents :
       {""s, "\r\r\r\n\0\na\rb\0c\r\n"s, std::string(2046, 'w') + "\0yz\n"s,
        x + "\n" + y + "\n\0\r"s,
        // Lines one byte short of the buffer, filling it, and one over.
        std::string(2046, 'a') + "\n" + y + "\n" + std::string(2048, 'c') +
            "\n" + std::string(2046, 'd')}) {
    ASSERT_EQ(zand_test::check_read_string(dir, contents), "");
  }
  zand_test::expect_scripts_pass(zand_test::kFileDriver, 20);

  write_file(dir.file("f"), "ab\0cd\n\nxyz"s);
  ZAND_FILE file;
  ASSERT_TRUE(file.open_file(dir.file("f"), kBinaryRead));
  char buffer[16] = {};
  EXPECT_EQ(file.read(buffer, 0), 0U);
  EXPECT_EQ(file.read(nullptr, 4), 0U);
  EXPECT_EQ(file.read(buffer, 4), 4U);
  EXPECT_EQ(std::string(buffer, 4), "ab\0c"s);
  EXPECT_EQ(read_pieces(file), (Lines{"d\n", "\n", "xyz"}));
  EXPECT_EQ(file.read(buffer, sizeof buffer), 0U);

  // The caller's own reads and pushed-back bytes on an adopted stream.
  write_file(dir.file("g"), "one\ntwo\nthree\n"s);
  std::FILE* stream = std::fopen(dir.file("g").c_str(), "r");
  ASSERT_NE(stream, nullptr);
  ZAND_FILE adopted(stream);
  std::string line;
  EXPECT_TRUE(adopted.read_string(line));
  EXPECT_EQ(line, "one\n");
  EXPECT_EQ(std::ungetc('\n', stream), '\n');
  EXPECT_TRUE(adopted.read_string(line));
  EXPECT_EQ(line, "\n");
  EXPECT_EQ(std::fgetc(stream), 't');
  EXPECT_EQ(std::ungetc('T', stream), 'T');
  EXPECT_TRUE(adopted.read_string(line));
  EXPECT_EQ(line, "Two\n");
  EXPECT_EQ(std::ungetc('\0', stream), 0);
  EXPECT_TRUE(adopted.read_string(line));
  EXPECT_EQ(line, "");  // the pushed-back NUL ends the piece "\0three\n"
  EXPECT_FALSE(adopted.read_string(line));
  EXPECT_NE(std::feof(stream), 0);

#if defined(__GLIBC__)
  // A stream already read as wide characters gives no bytes (msvcrt's
  // streams have no orientation).
  std::FILE* wide = std::fopen(dir.file("g").c_str(), "r");
  ASSERT_NE(wide, nullptr);
  ZAND_FILE wide_file(wide);
  EXPECT_EQ(std::fgetwc(wide), L'o');
  EXPECT_FALSE(wide_file.read_string(line));
  EXPECT_EQ(line, "");
#endif
}

TEST(ZandFile, ClosedObjectsAndWritesUpToANul) {
  ZAND_FILE fresh;
  ZAND_FILE null_handle(nullptr);
  expect_closed(fresh);
  expect_closed(null_handle);
  TempDir dir;
  ZAND_FILE file;
  ASSERT_TRUE(file.open_file(dir.file("f"), ZAND_FILE::OPEN_WRITE_ONLY));
  EXPECT_TRUE(file.write_string("ab\0cd"s));
  EXPECT_TRUE(file.write_string(""));
  file.close_file();
  file.close_file();  // closes nothing; nor does the destructor later
  expect_closed(file);
  EXPECT_EQ(read_file(dir.file("f")), "ab");
}

TEST(ZandFileAccess, StreamsRefuseWhatTheirModeForbidsAndLoseNothing) {
  const std::string lines = "line one\nline two\n";
  // One call per step: "w" writes, "l" reads a line, "b" reads up to 10 raw
  // bytes; then "+" for true (or bytes read) or "-" for false (or none);
  // then what is written, or what must come back.
  using Steps = std::vector<std::string>;
  const Steps write_only = {"w+abc", "b-", "l-", "w+def"};
  const Steps read_only = {"l+line one\n", "w-XYZ", "l+line two\n"};
  const Steps raw_read_only = {"b+line one\nl", "w-XYZ", "l+ine two\n"};
  // Both ways; a write after input that met the end needs no seek first.
  const Steps update = {"l+line one\n", "b+line two\n", "l-", "w+XYZ"};
  const unsigned int write = ZAND_FILE::OPEN_WRITE_ONLY;
  const unsigned int append = write | ZAND_FILE::OPEN_APPEND;
  const unsigned int text = ZAND_FILE::OPEN_TEXT_MODE;
  const unsigned int binary = ZAND_FILE::OPEN_BINARY_MODE;
  const struct {
    unsigned int flags;      // given to open_file(), unless
    const char* fopen_mode;  // the stream is adopted from fopen() in this mode
    const Steps& steps;
    std::string after;
  } cases[] = {
      {write, nullptr, write_only, "abcdef"},
      {write | binary, nullptr, write_only, "abcdef"},
      {kRead, nullptr, read_only, lines},
      {kRead | text, nullptr, raw_read_only, lines},
      {kBinaryRead, nullptr, raw_read_only, lines},
      {append, nullptr, update, lines + "XYZ"},
      {append | binary, nullptr, update, lines + "XYZ"},
      {0, "r", read_only, lines},
      {0, "rb", raw_read_only, lines},
      {0, "w", write_only, "abcdef"},
      {0, "a", write_only, lines + "abcdef"},
      {0, "r+", update, lines + "XYZ"},
      {0, "a+", update, lines + "XYZ"},
  };
  TempDir dir;
  const std::string path = dir.file("f");
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "flags 0x" << std::hex << c.flags << ", fopen mode "
                 << (c.fopen_mode ? c.fopen_mode : "-"));
    write_file(path, lines);
    {
      std::FILE* adopted =
          c.fopen_mode ? std::fopen(path.c_str(), c.fopen_mode) : nullptr;
      ZAND_FILE file(adopted);
      ASSERT_TRUE(c.fopen_mode ? adopted != nullptr
                               : file.open_file(path, c.flags));
      for (const std::string& step : c.steps) {
        SCOPED_TRACE(step);
        const bool ok = step[1] == '+';
        const std::string bytes = step.substr(2);
        std::string got = "stale";
        char buffer[10] = {};
        if (step[0] == 'w') {
          EXPECT_EQ(file.write_string(bytes), ok);
          continue;
        }
        if (step[0] == 'l') {
          EXPECT_EQ(file.read_string(got), ok);
        } else {
          got.assign(buffer, file.read(buffer, sizeof buffer));
        }
        EXPECT_EQ(got, bytes);
      }
    }  // closed: everything written is in the file
    EXPECT_EQ(read_file(path), c.after);
  }
}

TEST(ZandFileCopy, CopiesShareOneStreamThatReopeningOrAssigningLeavesOpen) {
  TempDir dir;
  write_file(dir.file("a"), "a1\na2\na3\n");
  write_file(dir.file("b"), "b1\n");
  ZAND_FILE file;
  ASSERT_TRUE(file.open_file(dir.file("a"), kRead));
  ZAND_FILE copy(file);
  std::string line;
  EXPECT_TRUE(copy.read_string(line));
  EXPECT_TRUE(file.read_string(line));
  EXPECT_EQ(line, "a2\n");                            // one position
  ASSERT_TRUE(file.open_file(dir.file("b"), kRead));  // "a" stays open
  ZAND_FILE assigned(file);
  assigned = copy;  // drops "b" without closing it
  EXPECT_EQ(read_pieces(assigned), Lines{"a3\n"});
  EXPECT_EQ(read_pieces(file), Lines{"b1\n"});
  // One holder closes "a", the other forgets it; `file` closes "b".
  copy.close_file();
  assigned = ZAND_FILE();
}

TEST(HostileFile, TenMebibyteLineComesBackInPieces) {
  std::string line(std::size_t{10} << 20, ' ');
  for (std::size_t i = 0; i < line.size(); ++i) {
    line[i] = static_cast<char>('a' + i % 26);  // 2047 is no multiple of 26
  }
  zand_test::TempDir dir;
  const std::string contents = line + "\nafter";
  ASSERT_EQ(zand_test::model_pieces(contents).size(), 5124U);
  EXPECT_EQ(zand_test::check_read_string(dir, contents), "");
}

}  // namespace
