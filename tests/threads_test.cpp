// Distinct objects share nothing: the list, map, file and string drivers run
// on four threads at once, each thread with its own objects and files
// (support/thread_runs.h). The tsan leg runs this for five seconds under
// ThreadSanitizer. And copies of a file object that share one stream read
// it from four threads at once as fgets would: each piece once and whole,
// under the stream's lock exactly when fgets would take it, and in turns
// with another thread's stdio calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#if defined(__GLIBC__)
#include <stdio_ext.h>
#endif

#include "containers/map_script.h"
#include "support/temp_dir.h"
#include "support/thread_runs.h"
#include "util/file_model.h"
#include "zand_stl/zand_file.h"

namespace {

using zand_test::Bytes;
using zand_test::TempDir;

TEST(Threads, DriversRunOnFourThreadsAtOnceEachWithItsOwnObjects) {
  std::vector<zand_test::Driver> drivers = zand_test::interface_drivers();
  drivers.push_back(zand_test::kMapDriver);
  zand_test::expect_units_pass_on_threads(drivers);
}

// Numbered lines, most short, every ninth up to 3,000 bytes: pieces that lie
// whole in the stream's buffer, run past its end, or are cut at 2,047 bytes.
// Read through the buffer open_file leaves and through one of 9 bytes.
TEST(Threads, CopiesSharingOneStreamReadEachPieceOnceAndWhole) {
  TempDir dir;
  const std::string path = dir.file("shared");
  std::string contents;
  for (unsigned i = 0, seed = 1; i < 20000; ++i) {
    seed = seed * 1103515245U + 12345U;
    const unsigned width = (seed >> 8) % 9 == 0 ? (seed >> 12) % 3000 : 40;
    contents += std::to_string(i) + ":" +
                std::string(width, static_cast<char>('a' + i % 26)) + "\n";
  }
  zand_test::write_file(path, contents);
  std::vector<std::string> expected = zand_test::model_pieces(contents);
  std::sort(expected.begin(), expected.end());
  for (const std::size_t size : {std::size_t{0}, std::size_t{9}}) {
    std::vector<char> buffer(size + 1);  // outlives the stream that uses it
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    ZAND_FILE file(stream);
    if (size != 0) {
      ASSERT_EQ(std::setvbuf(stream, buffer.data(), _IOFBF, size), 0);
    }
    std::vector<std::vector<std::string>> read(4);
    std::string first;
    ASSERT_TRUE(file.read_string(first));  // the stream's buffer filled
    read[0].push_back(first);
    std::vector<std::thread> threads;
    std::atomic<std::size_t> waiting{read.size()};
    for (auto& pieces : read) {
      threads.emplace_back([&file, &pieces, &waiting] {
        ZAND_FILE copy(file);
        std::string line;
        --waiting;
        while (waiting != 0) {  // all start reading together
          std::this_thread::yield();
        }
        while (copy.read_string(line)) {
          pieces.push_back(line);
        }
        copy = ZAND_FILE();  // forgets the stream, which `file` closes
      });
    }
    for (auto& thread : threads) {
      thread.join();
    }
    std::vector<std::string> all;
    for (const auto& pieces : read) {
      all.insert(all.end(), pieces.begin(), pieces.end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_TRUE(all == expected) << "buffer of " << size << " bytes";
  }
}

// Two threads take turns on one stream: one reads through read_string, the
// other through fgets, then takes the next byte and pushes another back. A
// relaxed flag hands the turn over, so the stream's own lock is all that
// orders the two; ThreadSanitizer, which cannot see that lock, must find
// nothing to report.
TEST(Threads, ReadStringTakesTurnsWithStdioOnOneStream) {
  TempDir dir;
  const std::string path = dir.file("turns");
  zand_test::write_file(path, "one\ntwo\nthree\nfour\nfive\n");
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  ZAND_FILE file(stream);
  std::string first;
  ASSERT_TRUE(file.read_string(first));  // the stream's buffer filled
  std::atomic<int> turn{0};
  const auto wait_for = [&turn](int mine) {
    while (turn.load(std::memory_order_relaxed) != mine) {
      std::this_thread::yield();
    }
  };
  std::string by_stdio;
  std::thread stdio_thread([&] {
    for (int i = 0; i < 2; ++i) {
      wait_for(2 * i + 1);
      std::array<char, 16> line = {};
      if (std::fgets(line.data(), line.size(), stream) != nullptr) {
        by_stdio += line.data();
      }
      std::ungetc(std::toupper(std::fgetc(stream)), stream);
      turn.store(2 * i + 2, std::memory_order_relaxed);
    }
  });
  std::string by_read_string = first;
  std::thread read_thread([&] {
    ZAND_FILE copy(file);
    std::string line;
    for (int i = 0; i < 3; ++i) {
      wait_for(2 * i);
      if (i != 0 && copy.read_string(line)) {  // turn 0 was main's
        by_read_string += line;
      }
      turn.store(2 * i + 1, std::memory_order_relaxed);
    }
    copy = ZAND_FILE();  // forgets the stream, which `file` closes
  });
  stdio_thread.join();
  read_thread.join();
  EXPECT_EQ(by_read_string, "one\nThree\nFive\n");
  EXPECT_EQ(by_stdio, "two\nfour\n");
}

#if defined(__GLIBC__)
// A stream whose caller took its locking over (FSETLOCKING_BYCALLER) is read
// without its lock, as fgets reads it, although another thread holds the
// lock; a stream that leaves its locking to glibc waits for the lock. The
// lock is released at the deadline, so a reader that waits wrongly fails
// the test rather than hanging it.
TEST(Threads, ReadStringLocksTheStreamExactlyWhenFgetsWould) {
  TempDir dir;
  const std::string path = dir.file("locked");
  zand_test::write_file(path, "one\ntwo\n");
  for (const int locking : {FSETLOCKING_BYCALLER, FSETLOCKING_INTERNAL}) {
    const bool by_caller = locking == FSETLOCKING_BYCALLER;
    SCOPED_TRACE(by_caller ? "locking by the caller" : "locking by glibc");
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    ZAND_FILE file(stream);
    __fsetlocking(stream, locking);
    std::string first;
    ASSERT_TRUE(file.read_string(first));  // the stream's buffer filled
    flockfile(stream);
    std::promise<std::string> read;
    std::future<std::string> line = read.get_future();
    std::thread reader([&file, &read] {
      ZAND_FILE copy(file);
      std::string piece;
      copy.read_string(piece);
      read.set_value(piece);
      copy = ZAND_FILE();  // forgets the stream, which `file` closes
    });
    const auto deadline =
        by_caller ? std::chrono::seconds(10) : std::chrono::milliseconds(100);
    const bool returned = line.wait_for(deadline) == std::future_status::ready;
    funlockfile(stream);
    reader.join();
    EXPECT_EQ(returned, by_caller);
    EXPECT_EQ(line.get(), "two\n");
  }
}
#endif

}  // namespace
