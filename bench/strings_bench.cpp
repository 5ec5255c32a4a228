// The string functions against plain code: case conversion of 64 B, 4 KiB
// and 1 MiB of text against a byte-at-a-time loop, std::transform with the
// C library's tolower/toupper, and a plain copy (the floor); the four trims
// with short and long runs against a byte-at-a-time scan, and a copy of the
// kept part as the floor. One operation is one call.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "bench_support.h"
#include "zand_stl/zand_string_utils.h"

namespace {

using zand_bench::report_ops;
using zand_bench::Rng;

// Mixed text: letters of both cases, digits, punctuation, white space and
// some bytes from 0x80 up.
std::string make_text(std::size_t size, std::uint64_t seed) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
      "0123456789 .,;:_-()[]{}@`\t\n\xC3\xA9\xE2\x82\xAC";
  Rng rng(seed);
  std::string text(size, ' ');
  for (char& c : text) {
    c = alphabet[rng.below(alphabet.size())];
  }
  return text;
}

// ---- Case conversion.

template <char kFirst>
std::string byte_loop_case(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    out.push_back(c >= kFirst && c <= kFirst + 25 ? static_cast<char>(c ^ 0x20)
                                                  : c);
  }
  return out;
}

std::string transform_lower(const std::string& text) {
  std::string out(text.size(), '\0');
  std::transform(text.begin(), text.end(), out.begin(), [](char c) {
    return static_cast<char>(::tolower(static_cast<unsigned char>(c)));
  });
  return out;
}

std::string transform_upper(const std::string& text) {
  std::string out(text.size(), '\0');
  std::transform(text.begin(), text.end(), out.begin(), [](char c) {
    return static_cast<char>(::toupper(static_cast<unsigned char>(c)));
  });
  return out;
}

std::string copy_of(const std::string& text) { return text; }

void convert(benchmark::State& state,
             std::string (*function)(const std::string&)) {
  const std::string text =
      make_text(static_cast<std::size_t>(state.range(0)), 5);
  for (auto _ : state) {
    std::string out = function(text);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  report_ops(state, 1);
}

// ---- Trims.

// The library's whitespace: the space and 0x09 to 0x0D.
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

enum class Side { kLeft, kRight };

template <Side kSide, bool (*kTrimmed)(char)>
std::string byte_loop_trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  if (kSide == Side::kLeft) {
    while (begin < end && kTrimmed(text[begin])) {
      ++begin;
    }
  } else {
    while (end > begin && kTrimmed(text[end - 1])) {
      --end;
    }
  }
  return text.substr(begin, end - begin);
}

bool is_x(char c) { return c == 'x'; }

std::string zand_trim_left(const std::string& t) { return trim_left(t); }
std::string zand_trim_right(const std::string& t) { return trim_right(t); }
std::string zand_trim_left_x(const std::string& t) {
  return trim_left_char(t, 'x');
}
std::string zand_trim_right_x(const std::string& t) {
  return trim_right_char(t, 'x');
}

// A run of `run` trimmed bytes (the six white-space bytes in turn, or 'x')
// on the trimmed side of 64 bytes of text.
std::string make_trim_input(std::size_t run, Side side, bool whitespace) {
  static const char spaces[] = " \t\n\v\f\r";
  std::string cut(run, 'x');
  if (whitespace) {
    for (std::size_t i = 0; i < run; ++i) {
      cut[i] = spaces[i % 6];
    }
  }
  const std::string kept = "[" + make_text(62, 7) + "]";
  return side == Side::kLeft ? cut + kept : kept + cut;
}

void trim(benchmark::State& state, Side side, bool whitespace,
          std::string (*function)(const std::string&)) {
  const std::string text = make_trim_input(
      static_cast<std::size_t>(state.range(0)), side, whitespace);
  for (auto _ : state) {
    std::string out = function(text);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  report_ops(state, 1);
}

// The floor of a trim: a copy of the 64 bytes it keeps.
std::string copy_last_64(const std::string& text) {
  return text.substr(text.size() - 64);
}
std::string copy_first_64(const std::string& text) {
  return text.substr(0, 64);
}

void register_case(const char* workload,
                   std::string (*zand)(const std::string&),
                   std::string (*byte_loop)(const std::string&),
                   std::string (*transform)(const std::string&)) {
  const std::pair<const char*, std::string (*)(const std::string&)> rows[] = {
      {"zand", zand},
      {"byte_loop", byte_loop},
      {"transform", transform},
      {"copy", copy_of}};
  for (const auto& row : rows) {
    benchmark::RegisterBenchmark(
        (std::string(workload) + "/" + row.first).c_str(), convert, row.second)
        ->Arg(64)
        ->Arg(4096)
        ->Arg(1 << 20);
  }
}

void register_trim(const char* workload, Side side, bool whitespace,
                   std::string (*zand)(const std::string&),
                   std::string (*byte_loop)(const std::string&)) {
  const std::pair<const char*, std::string (*)(const std::string&)> rows[] = {
      {"zand", zand},
      {"byte_loop", byte_loop},
      {"copy", side == Side::kLeft ? copy_last_64 : copy_first_64}};
  for (const auto& row : rows) {
    benchmark::RegisterBenchmark(
        (std::string(workload) + "/" + row.first).c_str(), trim, side,
        whitespace, row.second)
        ->Arg(4)
        ->Arg(4096);
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_case("lower", to_lower_case, byte_loop_case<'A'>, transform_lower);
  register_case("upper", to_upper_case, byte_loop_case<'a'>, transform_upper);
  register_trim("trim_left", Side::kLeft, true, zand_trim_left,
                byte_loop_trim<Side::kLeft, is_space>);
  register_trim("trim_right", Side::kRight, true, zand_trim_right,
                byte_loop_trim<Side::kRight, is_space>);
  register_trim("trim_left_char", Side::kLeft, false, zand_trim_left_x,
                byte_loop_trim<Side::kLeft, is_x>);
  register_trim("trim_right_char", Side::kRight, false, zand_trim_right_x,
                byte_loop_trim<Side::kRight, is_x>);
  return zand_bench::run_registered(argc, argv);
}
