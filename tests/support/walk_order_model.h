// A plain model of the map's contract, written from its definition rather
// than from the library's code: which keys are equal, and the order in which
// a map holding a set of keys hands them back.
#ifndef ZAND_STL_TESTS_SUPPORT_WALK_ORDER_MODEL_H
#define ZAND_STL_TESTS_SUPPORT_WALK_ORDER_MODEL_H

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zand_test {

// The key up to its first zero byte, with A-Z turned into a-z. Two keys are
// the same key exactly when these are equal, and std::string compares its
// bytes as unsigned values, which is the map's key order.
inline std::string folded_key(const std::string& key) {
  std::string out = key.substr(0, key.find('\0'));
  for (char& c : out) {
    c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  return out;
}

inline std::uint64_t model_hash(const std::string& key) {
  std::uint64_t h = 0;
  for (char c : folded_key(key)) {
    const auto byte = static_cast<unsigned char>(c);
    const std::int64_t signed_byte = byte < 128 ? byte : byte - 256;
    h = h * 17 + static_cast<std::uint64_t>(signed_byte);
  }
  return h;
}

struct TableShape {
  std::uint64_t bucket_count;
  std::uint64_t mask;
  std::uint64_t slot_count;
};

// The shape of a table after n insertions of new keys into a fresh one.
inline TableShape model_shape(std::uint64_t n) {
  TableShape shape{n <= 4 ? 1 : (n + 3) / 4, 1, 0};
  while (shape.mask + 1 < shape.bucket_count) {
    shape.mask = shape.mask * 2 + 1;
  }
  shape.slot_count = std::max<std::uint64_t>(8, shape.mask + 1) + 1;
  return shape;
}

// Keys in insertion order -> the stored keys in walk order: the first form
// of each key is kept, and entries come by ascending bucket, then key order.
inline std::vector<std::string> model_walk(
    const std::vector<std::string>& inserted) {
  std::map<std::string, std::string> first_form;  // folded -> stored
  for (const std::string& key : inserted) {
    first_form.emplace(folded_key(key), key);
  }
  const TableShape shape = model_shape(first_form.size());
  std::map<std::pair<std::uint64_t, std::string>, std::string> rows;
  for (const auto& [folded, stored] : first_form) {  // by bucket, then key
    std::uint64_t b = model_hash(stored) & shape.mask;
    if (b >= shape.bucket_count) {
      b -= (shape.mask + 1) / 2;
    }
    rows.emplace(std::pair(b, folded), stored);
  }
  std::vector<std::string> out;
  for (const auto& row : rows) {
    out.push_back(row.second);
  }
  return out;
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_WALK_ORDER_MODEL_H
