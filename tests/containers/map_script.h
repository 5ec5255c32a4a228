// The map's driver: operation scripts on two ZAND_OBJ_MAPs, checked after
// every step against MapModel. An OBJ_HASH_TABLE driven alike has its shape
// and (in debug builds) its invariants checked after every step, and its
// chain walked against the model. Reaches internal code: link the library's
// object files.
#ifndef ZAND_STL_TESTS_CONTAINERS_MAP_SCRIPT_H
#define ZAND_STL_TESTS_CONTAINERS_MAP_SCRIPT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "containers/map_model.h"
#include "containers/obj_hash_key.h"
#include "containers/obj_hash_table_walk.h"
#include "support/script.h"
#include "zand_stl/internal/obj_hash_table.h"
#include "zand_stl/zand_obj_map.h"

namespace zand_test {

struct MapSubject {
  // Final, so that it may be deleted through its own type: the map's
  // destructor is not virtual.
  class Map final : public ZAND_OBJ_MAP {};

  std::unique_ptr<Map> map = std::make_unique<Map>();
  zand_internal::OBJ_HASH_TABLE table;
  MapModel model;

  // The counts and the shape; and the table's invariants (debug builds),
  // which take time in proportion to the table, when `whole` is set.
  std::string check_table(bool whole) const {
    SCRIPT_CHECK(map->size() == static_cast<int>(model.size()));
    SCRIPT_CHECK(table.entry_count() == model.size());
    const TableShape shape = model_shape(model.size());
    SCRIPT_CHECK(table.bucket_count() == shape.bucket_count &&
                 table.mask() == shape.mask);
#ifndef NDEBUG
    SCRIPT_CHECK(!whole || table.invariant_violation().empty());
#endif
    static_cast<void>(whole);
    return {};
  }

  // A copy of the map, and the table's chain, walk in the model's order.
  std::string check_walk() {
    ZAND_OBJ_MAP copy(*map);
    const zand_internal::ObjHashEntry* position = table.first();
    std::string key;
    SCRIPT_PASS(model.visit_in_order(
        [&](const std::string& stored_key, ZAND_OBJ* value) -> std::string {
          SCRIPT_CHECK(copy.get_next_entry(key) == value);
          SCRIPT_CHECK(key == stored_key);
          SCRIPT_CHECK(position != nullptr);
          SCRIPT_CHECK(std::string_view(position->key(), position->key_size) ==
                       key);
          SCRIPT_CHECK(position->value == value);
          position = table.next(position);
          return {};
        }));
    key = "unchanged";
    SCRIPT_CHECK(copy.get_next_entry(key) == nullptr && key == "unchanged");
    SCRIPT_CHECK(position == nullptr);
    return {};
  }
};

// corpus format {
// A source of small numbers for keys: the script itself, or a generator
// seeded from it, so that a fill of thousands of keys, or a key of 70 KiB,
// costs the script a few bytes.
class KeySource {
 public:
  explicit KeySource(std::uint64_t seed) : m_state(seed) {}
  std::size_t below(std::size_t n) {
    return static_cast<std::size_t>(next() % n);
  }
  std::uint64_t next() {  // splitmix64
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15U);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9U;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBU;
    return z ^ (z >> 31);
  }

 private:
  std::uint64_t m_state;
};

// A key length: mostly every length up to 64, which crosses the word loads
// of the key functions and the string's short-string limit; otherwise a
// power of two from 16 to 64 KiB, or an entry of that size, give or take
// one byte or one word; and now and then any length up to 70 KiB. Longer
// keys come once in `long_share` picks.
template <typename Source>
std::size_t key_length(Source& in, std::size_t long_share) {
  const std::size_t kind = in.below(long_share);
  if (kind >= 4) {
    return in.below(65);
  }
  if (kind == 0) {
    return in.below(256) * 256 + in.below(256) + in.below(70 * 1024 - 65535);
  }
  const std::size_t power = std::size_t{16} << in.below(13);
  static constexpr std::ptrdiff_t kOffsets[] = {-8, -1, 0, 1, 8};
  const std::ptrdiff_t offset = kOffsets[in.below(5)];
  // An entry holds the key, its terminating zero and a header.
  const std::size_t header =
      kind == 1 ? 0 : sizeof(zand_internal::ObjHashEntry) + 1;
  const auto length = static_cast<std::ptrdiff_t>(power) -
                      static_cast<std::ptrdiff_t>(header) + offset;
  return length < 0 ? power : static_cast<std::size_t>(length);
}

// Bytes of any value, or over an alphabet that makes folded and zero-byte
// collisions likely.
constexpr char kKeyAlphabet[] = "aAbBzZ\0[`0\x80\xE9\xFF";

inline char key_byte(std::size_t value, bool any) {
  return any ? static_cast<char>(value) : kKeyAlphabet[value % 13];
}

// Bytes `begin` to `end` of a key: from the script one by one, from a
// generator eight at a time, so that a key of 70 KiB is cheap to make.
inline void fill_key(Script& in, std::string& key, std::size_t begin,
                     std::size_t end, bool any) {
  for (std::size_t i = begin; i < end; ++i) {
    key[i] = key_byte(in.below(256), any);
  }
}

inline void fill_key(KeySource& in, std::string& key, std::size_t begin,
                     std::size_t end, bool any) {
  char* const bytes = key.data();  // plain loops: the tests' debug builds
  for (std::size_t i = begin; i < end; i += 8) {
    std::uint64_t word = in.next();
    for (std::size_t j = i; j < end && j < i + 8; ++j, word >>= 8) {
      bytes[j] =
          any ? static_cast<char>(word) : kKeyAlphabet[(word & 0xFF) % 13];
    }
  }
}

// A key of a family that an attacker would choose: all of one hash, or of
// equal low bits (4 to 8 of them, so that growth splits the family apart),
// letters in either case.
template <typename Source>
std::string family_key(Source& in) {
  std::string key =
      in.below(2) != 0
          ? one_bucket_key(in.below(4096), 12)
          : low_bits_key(in.below(4096), static_cast<unsigned>(4 + in.below(5)),
                         13 + in.below(20));
  return in.below(2) != 0 ? other_case(key) : key;
}

// A key from the script: now and then of a chosen family; a short one byte
// by byte; a long one from one of a few seeds, so that long keys meet
// again, equal or differing only in their last bytes, which the script
// gives.
inline std::string script_key(Script& in) {
  if (in.below(8) == 0) {
    return family_key(in);
  }
  const std::size_t length = key_length(in, 64);
  const bool any = in.below(2) != 0;
  std::string key(length, ' ');
  const std::size_t tail = length > 64 ? length - 8 : 0;
  KeySource body(in.below(4));
  fill_key(body, key, 0, tail, any);
  fill_key(in, key, tail, length, any);
  return key;
}

// Fill sizes: tens of keys, or thousands.
inline std::size_t fill_size(Script& in) {
  return in.below(2) != 0 ? in.below(64) : 100 * (1 + in.below(30));
}

inline std::string run_map_script(const TempDir& /*dir*/,
                                  const std::uint8_t* data, std::size_t size) {
  Script in{data, data + size};
  Turns<MapSubject, 3> turns;
  auto& pool = turns.pool;
  MapSubject*& active = turns.active;
  MapSubject*& spare = turns.spare;
  std::size_t steps = 0;
  std::size_t fill_budget = 4000;  // keys all fills of a script may insert
  while (in.more()) {
    MapSubject& s = *active;
    ZAND_OBJ_MAP& map = *s.map;
    // Mostly insertions, and clearing rarely, so that tables grow to
    // hundreds of entries.
    const std::size_t op = in.below(256);
    if (op < 160) {
      const std::string key = script_key(in);
      ZAND_OBJ* value = in.pick(pool);
      SCRIPT_CHECK(map.set_at(key, value));
      const bool added = s.model.set_at(key, value);
      SCRIPT_CHECK(s.table.insert_or_assign(key, value) == added);
    } else if (op < 184) {
      const std::string key = script_key(in);
      const std::string other = script_key(in);
      for (const std::string& asked : {key, other_case(key)}) {
        SCRIPT_CHECK(map.look_up(asked) == s.model.look_up(asked));
        const auto* found = s.table.find_entry(asked);
        SCRIPT_CHECK((found == nullptr ? nullptr : found->value) ==
                     s.model.look_up(asked));
      }
      // The key functions themselves, against their plain definitions.
      SCRIPT_CHECK(zand_internal::key_hash(key.c_str(), key.size()) ==
                   model_hash(key));
      const int order = zand_internal::key_compare(key.c_str(), key.size(),
                                                   other.c_str(), other.size());
      SCRIPT_CHECK((order < 0) == (folded_key(key) < folded_key(other)));
      SCRIPT_CHECK((order == 0) == (folded_key(key) == folded_key(other)));
    } else if (op < 192) {
      map.reset_iterator();
      s.model.reset_iterator();
    } else if (op < 224) {
      const auto entry = s.model.get_next_entry();
      std::string key = "unchanged";
      SCRIPT_CHECK(map.get_next_entry(key) ==
                   (entry ? entry->second : nullptr));
      SCRIPT_CHECK(key == (entry ? entry->first : "unchanged"));
    } else if (op < 228) {  // go on with a copy, whose cursor is at the first
      s.map = std::make_unique<MapSubject::Map>(*s.map);
      s.model.reset_iterator();
    } else if (op < 232) {  // go on with the spare, assigned from this map
      static_cast<ZAND_OBJ_MAP&>(*spare->map) = map;
      spare->table.copy_from(s.table);
      spare->model = s.model;
      spare->model.reset_iterator();
      turns.swap();
    } else if (op < 236) {
      ZAND_OBJ_MAP& self = map;
      SCRIPT_CHECK(&(map = self) == &map);  // nothing changes
    } else if (op < 244) {
      turns.swap();
    } else if (op < 252) {
      SCRIPT_PASS(s.check_walk());
    } else if (op < 255) {  // many keys at once: long ones rarely, or chosen
      KeySource fill(in.below(256));
      const bool chosen = in.below(4) == 0;
      for (std::size_t n = std::min(fill_size(in), fill_budget); n-- > 0;) {
        --fill_budget;
        std::string key = chosen ? family_key(fill) : std::string();
        if (!chosen) {
          key.resize(key_length(fill, 1024));
          fill_key(fill, key, 0, key.size(), fill.below(2) != 0);
        }
        ZAND_OBJ* value = fill.below(2) != 0 ? &pool[0] : nullptr;
        map.set_at(key, value);
        const bool added = s.model.set_at(key, value);
        SCRIPT_CHECK(s.table.insert_or_assign(key, value) == added);
      }
    } else if (in.below(4) == 0) {
      map.remove_all();
      s.table.clear_entries();
      s.model.remove_all();
    }
    // A damaged table stays damaged, so every 16th step is soon enough.
    SCRIPT_PASS(active->check_table(++steps % 16 == 0));
  }
  for (MapSubject* subject : {&turns.a, &turns.b}) {
    SCRIPT_PASS(subject->check_table(true));
    SCRIPT_PASS(subject->check_walk());
  }
  return {};
}
// corpus format }

inline constexpr Driver kMapDriver = {"fuzz_obj_map", 16000, run_map_script};

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_CONTAINERS_MAP_SCRIPT_H
