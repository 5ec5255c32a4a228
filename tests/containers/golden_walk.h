// The golden walk's file format, tests/golden/map_walk.txt: a line per key,
// in walk order, the key written with escapes and a run notation, a space,
// and its hash in lowercase hex (the file's header says it in words).
// Reading it gives the keys; rendering a walk gives lines to compare with
// the file's byte for byte.
#ifndef ZAND_STL_TESTS_CONTAINERS_GOLDEN_WALK_H
#define ZAND_STL_TESTS_CONTAINERS_GOLDEN_WALK_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

namespace zand_test {

// How the file writes a key (its header says it in words): the bytes 0x21
// to 0x7E but # \ { } as themselves, every other byte as \xHH, and a unit
// of up to kMaxPeriod bytes repeated over at least kMinRun bytes as
// {COUNT*UNIT}.
constexpr std::size_t kMinRun = 16;
constexpr std::size_t kMaxPeriod = 16;
constexpr char kLowerHex[] = "0123456789abcdef";
constexpr char kUpperHex[] = "0123456789ABCDEF";

inline bool stands_for_itself(unsigned char byte) {
  return byte >= 0x21 && byte <= 0x7E && byte != '#' && byte != '\\' &&
         byte != '{' && byte != '}';
}

inline void append_escaped(std::string& out, std::string_view bytes) {
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (stands_for_itself(byte)) {
      out += c;
    } else {
      out += "\\x";
      out += kUpperHex[byte >> 4];
      out += kUpperHex[byte & 0xF];
    }
  }
}

// At each place, the run that covers the most bytes, the shorter unit on a
// tie, if it covers kMinRun; otherwise the one byte there.
inline std::string render_key(std::string_view key) {
  std::string out;
  std::size_t at = 0;
  while (at < key.size()) {
    std::size_t best_period = 0;
    std::size_t best_count = 0;
    for (std::size_t period = 1;
         period <= kMaxPeriod && at + 2 * period <= key.size(); ++period) {
      const std::string_view unit = key.substr(at, period);
      std::size_t count = 1;
      while (at + (count + 1) * period <= key.size() &&
             key.substr(at + count * period, period) == unit) {
        ++count;
      }
      if (count >= 2 && period * count > best_period * best_count) {
        best_period = period;
        best_count = count;
      }
    }
    if (best_period * best_count >= kMinRun) {
      out += '{' + std::to_string(best_count) + '*';
      append_escaped(out, key.substr(at, best_period));
      out += '}';
      at += best_period * best_count;
    } else {
      append_escaped(out, key.substr(at, 1));
      ++at;
    }
  }
  return out;
}

// A key's line: the key, a space, its hash in lowercase hex.
inline std::string render_line(std::string_view key, std::uint64_t hash) {
  std::string hex;
  do {
    hex.insert(hex.begin(), kLowerHex[hash & 0xF]);
    hash >>= 4;
  } while (hash != 0);
  return render_key(key) + ' ' + hex + '\n';
}

inline int hex_value(char c) {
  const char* digit = std::find(kUpperHex, kUpperHex + 16, c);
  return digit == kUpperHex + 16 ? 0 : static_cast<int>(digit - kUpperHex);
}

// The bytes a key field stands for. A malformed field decodes to something;
// rendered again, it then differs from the file.
inline std::string parse_key(std::string_view text) {
  std::string key;
  std::string unit;
  std::size_t repeat = 0;
  std::string* out = &key;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\\' && at + 3 < text.size() && text[at + 1] == 'x') {
      *out += static_cast<char>(hex_value(text[at + 2]) * 16 +
                                hex_value(text[at + 3]));
      at += 3;
    } else if (c == '{' && out == &key) {
      const std::size_t star = text.find('*', at);
      if (star == std::string_view::npos) {
        break;
      }
      repeat = std::stoul(std::string(text.substr(at + 1, star - at - 1)));
      unit.clear();
      out = &unit;
      at = star;
    } else if (c == '}' && out == &unit) {
      for (std::size_t i = 0; i < repeat; ++i) {
        key += unit;
      }
      out = &key;
    } else {
      *out += c;
    }
  }
  return key;
}

struct GoldenWalk {
  std::size_t header_lines = 0;
  std::string lines;  // every line after the header
  std::vector<std::string> keys;
};

inline GoldenWalk read_golden_walk(const std::string& path) {
  const std::string text = read_file(path);
  GoldenWalk golden;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = std::string_view(text).substr(at, end - at);
    if (golden.keys.empty() && !line.empty() && line[0] == '#') {
      ++golden.header_lines;
    } else {
      golden.keys.push_back(parse_key(line.substr(0, line.rfind(' '))));
      golden.lines += text.substr(at, end + 1 - at);
    }
    at = end + 1;
  }
  return golden;
}

// The first line of `actual` that differs from `expected`, with its number
// in the file; empty if none does.
inline std::string first_difference(const std::string& expected,
                                    const std::string& actual,
                                    std::size_t first_number) {
  const auto diverge = std::mismatch(expected.begin(), expected.end(),
                                     actual.begin(), actual.end())
                           .first;
  if (diverge == expected.end() && expected.size() == actual.size()) {
    return {};
  }
  const auto offset = static_cast<std::size_t>(diverge - expected.begin());
  const std::size_t start =
      offset == 0 ? 0 : expected.rfind('\n', offset - 1) + 1;
  const auto line_of = [start](const std::string& text) {
    return text.substr(start, text.find('\n', start) - start);
  };
  const auto number = static_cast<std::size_t>(
      std::count(expected.begin(),
                 expected.begin() + static_cast<std::ptrdiff_t>(start), '\n'));
  return "line " + std::to_string(first_number + number) + "\n  expected " +
         line_of(expected) + "\n  walked   " + line_of(actual);
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_CONTAINERS_GOLDEN_WALK_H
