// The maps the benchmarks compare, behind one small interface: ZAND_OBJ_MAP,
// and std::unordered_map, absl::flat_hash_map and std::map with the plain
// case-insensitive hashing and comparison a user would write. Also the
// mixed-case keys they are fed.
#ifndef ZAND_STL_BENCH_MAP_PEERS_H
#define ZAND_STL_BENCH_MAP_PEERS_H

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "bench_support.h"
#include "containers/key_model.h"
#include "zand_stl/zand_obj_map.h"

namespace zand_bench {

// ---- The peers' case-insensitive hashing and comparison: byte loops over
// size(), the equality checking the lengths first.

// The library's own hash, h x 17 over the folded bytes.
struct H17Hash {
  std::size_t operator()(const std::string& key) const {
    return static_cast<std::size_t>(zand_test::h17_hash(key));
  }
};

// 64-bit FNV-1a over the folded bytes: what a user would pick for a better
// spread than h x 17.
struct FnvHash {
  std::size_t operator()(const std::string& key) const {
    std::uint64_t h = 0xcbf29ce484222325U;
    for (const char c : key) {
      h ^= static_cast<unsigned char>(zand_test::fold_byte(c));
      h *= 0x100000001b3U;
    }
    return static_cast<std::size_t>(h);
  }
};

struct CaseEqual {
  bool operator()(const std::string& a, const std::string& b) const {
    if (a.size() != b.size()) {
      return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (zand_test::fold_byte(a[i]) != zand_test::fold_byte(b[i])) {
        return false;
      }
    }
    return true;
  }
};

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
          return static_cast<unsigned char>(zand_test::fold_byte(x)) <
                 static_cast<unsigned char>(zand_test::fold_byte(y));
        });
  }
};

// ---- One interface over the library's map and the peers. Each wrapper
// holds its container and nothing else, so its size is the container's.

class Item : public ZAND_OBJ {};

// Values are pointers to a few objects; only their being non-null matters.
inline ZAND_OBJ* value_for(std::size_t i) {
  static Item items[16];
  return &items[i % 16];
}

class ZandMap {
 public:
  void set(const std::string& key, ZAND_OBJ* value) {
    m_map.set_at(key, value);
  }
  ZAND_OBJ* find(const std::string& key) const { return m_map.look_up(key); }
  std::size_t size() const { return static_cast<std::size_t>(m_map.size()); }

  // Walks every entry, each key assigned to `key`; returns a checksum.
  std::uintptr_t walk(std::string& key) {
    std::uintptr_t sum = 0;
    m_map.reset_iterator();
    while (ZAND_OBJ* value = m_map.get_next_entry(key)) {
      sum += reinterpret_cast<std::uintptr_t>(value) ^ key.size();
    }
    return sum;
  }

 private:
  ZAND_OBJ_MAP m_map;
};

template <typename Map>
class PeerMap {
 public:
  void set(const std::string& key, ZAND_OBJ* value) {
    m_map.insert_or_assign(key, value);
  }
  ZAND_OBJ* find(const std::string& key) const {
    const auto found = m_map.find(key);
    return found == m_map.end() ? nullptr : found->second;
  }
  std::size_t size() const { return m_map.size(); }

  // The library's walk copies each key into the caller's string; so does
  // this one.
  std::uintptr_t walk(std::string& key) const {
    std::uintptr_t sum = 0;
    for (const auto& entry : m_map) {
      key = entry.first;
      sum += reinterpret_cast<std::uintptr_t>(entry.second) ^ key.size();
    }
    return sum;
  }

 private:
  Map m_map;
};

template <typename Hash>
using StdUnordered =
    PeerMap<std::unordered_map<std::string, ZAND_OBJ*, Hash, CaseEqual>>;
template <typename Hash>
using AbslFlat =
    PeerMap<absl::flat_hash_map<std::string, ZAND_OBJ*, Hash, CaseEqual>>;
using StdMap = PeerMap<std::map<std::string, ZAND_OBJ*, CaseLess>>;

// ---- Keys.

enum KeyKind { kShortKeys, kLongKeys };

// Mixed-case identifiers: 4 to 24 bytes for short keys (a good part of them
// past the 15 bytes std::string holds without allocating), 64 for long ones.
inline std::string make_key(Rng& rng, KeyKind kind) {
  static const std::string letters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static const std::string rest = letters + "0123456789_";
  const std::size_t length = kind == kShortKeys ? 4 + rng.below(21) : 64;
  std::string key(length, ' ');
  key[0] = letters[rng.below(letters.size())];
  for (std::size_t i = 1; i < length; ++i) {
    key[i] = rest[rng.below(rest.size())];
  }
  return key;
}

// Admits keys that differ from every key admitted before, whatever their
// case. It remembers each key's FNV-1a hash of its folded bytes rather than
// the key, far less memory at 10 000 000 keys: equal keys
// have equal hashes, so no key is admitted twice, and a new key whose hash
// happens to be taken is only turned away, which costs another draw.
class DistinctKeys {
 public:
  bool admit(const std::string& key) {
    return m_seen.insert(FnvHash()(key)).second;
  }

 private:
  absl::flat_hash_set<std::uint64_t> m_seen;
};

}  // namespace zand_bench

#endif  // ZAND_STL_BENCH_MAP_PEERS_H
