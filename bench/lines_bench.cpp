// ZAND_FILE::read_string over a file of 80-byte lines, against a raw fgets
// loop with a buffer of the same 2048 bytes (alone, and copying each line
// into a string) and std::getline on an std::ifstream. One operation is one
// line read.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "support/temp_dir.h"
#include "zand_stl/zand_file.h"

namespace {

using zand_bench::report_ops;
using zand_bench::Rng;
using zand_test::write_file;

constexpr std::size_t kLineBytes = 80;

// A file of `mebibytes` MiB of 80-byte lines (79 printable bytes and a line
// feed) in a directory of its own, removed with it when this goes away.
class LinesFile {
 public:
  explicit LinesFile(std::size_t mebibytes)
      : m_path(m_dir.file("lines.txt")),
        m_lines(mebibytes * 1024 * 1024 / kLineBytes) {
    std::string text(m_lines * kLineBytes, '\n');
    Rng rng(3);
    for (std::size_t i = 0; i < m_lines; ++i) {
      for (std::size_t j = 0; j + 1 < kLineBytes; ++j) {
        text[i * kLineBytes + j] = static_cast<char>(' ' + rng.below(95));
      }
    }
    write_file(m_path, text);
  }

  const std::string& path() const { return m_path; }
  std::size_t lines() const { return m_lines; }

 private:
  zand_test::TempDir m_dir;
  std::string m_path;
  std::size_t m_lines;
};

std::size_t read_with_zand_file(const std::string& path) {
  ZAND_FILE file;
  if (!file.open_file(path, ZAND_FILE::OPEN_READ_ONLY)) {
    return 0;
  }
  std::size_t lines = 0;
  std::string line;
  while (file.read_string(line)) {
    ++lines;
  }
  file.close_file();
  return lines;
}

// An fgets loop; with kIntoString each line is then copied into one reused
// string, as read_string hands it to its caller: what a string result costs
// over fgets.
template <bool kIntoString>
std::size_t read_with_fgets(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    return 0;
  }
  std::size_t lines = 0;
  char buffer[2048];
  std::string line;
  while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
    if constexpr (kIntoString) {
      line.assign(buffer);
      benchmark::DoNotOptimize(line);
    }
    ++lines;
  }
  std::fclose(file);
  return lines;
}

std::size_t read_with_getline(const std::string& path) {
  std::ifstream in(path);
  std::size_t lines = 0;
  std::string line;
  while (std::getline(in, line)) {
    ++lines;
  }
  return lines;
}

void read_lines(benchmark::State& state,
                std::size_t (*reader)(const std::string&)) {
  const LinesFile file(static_cast<std::size_t>(state.range(0)));
  if (reader(file.path()) != file.lines()) {  // also brings it into the cache
    state.SkipWithError("the reader did not see every line");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(reader(file.path()));
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(file.lines() * kLineBytes));
  report_ops(state, file.lines());
}

}  // namespace

int main(int argc, char** argv) {
  const std::pair<const char*, std::size_t (*)(const std::string&)> rows[] = {
      {"lines/zand_read_string", read_with_zand_file},
      {"lines/fgets", read_with_fgets<false>},
      {"lines/fgets_string", read_with_fgets<true>},
      {"lines/getline", read_with_getline}};
  for (const auto& row : rows) {
    // Sizes in MiB: 64 is the measurement, 1 the quick check.
    benchmark::RegisterBenchmark(row.first, read_lines, row.second)
        ->Arg(1)
        ->Arg(64)
        ->Unit(benchmark::kMillisecond);
  }
  return zand_bench::run_registered(argc, argv);
}
