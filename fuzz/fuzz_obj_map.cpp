// Operation sequences on ZAND_OBJ_MAP, checked after every step against a
// model: entries by folded key with the form stored first, in the walk order
// zand_test::model_walk computes from the set of keys alone. The cursor is
// modelled as the entry it stands on, which keeps its place in the walk order
// however the table grows. An OBJ_HASH_TABLE driven alike has its invariants
// checked after every step (debug builds).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "containers/obj_hash_key.h"
#include "fuzz_check.h"
#include "support/walk_order_model.h"
#include "zand_stl/internal/obj_hash_table.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using zand_internal::OBJ_HASH_TABLE;
using zand_test::folded_key;

class Item : public ZAND_OBJ {};

// Final, so that it may be deleted through its own type: the map's
// destructor is not virtual.
class Map final : public ZAND_OBJ_MAP {};

struct Entry {
  std::string stored;
  ZAND_OBJ* value;
};

struct Subject {
  std::unique_ptr<Map> map = std::make_unique<Map>();
  OBJ_HASH_TABLE table;
  std::map<std::string, Entry> entries;  // by folded key
  std::optional<std::string> cursor;     // stored key; none: the end
  // The stored keys in walk order; stale when shorter or longer than
  // entries, since only a new key changes the order.
  std::vector<std::string> order;

  // The stored key after `key` in walk order, or the first for none; none
  // past the end.
  std::optional<std::string> next(const std::optional<std::string>& key) {
    if (order.size() != entries.size()) {
      std::vector<std::string> stored;
      for (const auto& entry : entries) {
        stored.push_back(entry.second.stored);
      }
      order = zand_test::model_walk(stored);
    }
    const auto it =
        key ? std::find(order.begin(), order.end(), *key) + 1 : order.begin();
    return it == order.end() ? std::nullopt : std::optional(*it);
  }

  const Entry& entry(const std::string& key) const {
    return entries.at(folded_key(key));
  }
};

// Up to 24 bytes, so that keys span the table's 8-byte words: any bytes, or
// over an alphabet that makes folded and zero-byte collisions likely.
std::string consume_key(Bytes& in) {
  static const char kAlphabet[] = "aAbBzZ\0[`0\x80\xE9\xFF";
  const bool any = in.below(2) != 0;
  std::string key(in.below(25), ' ');
  for (char& c : key) {
    c = any ? static_cast<char>(in.below(256)) : kAlphabet[in.below(13)];
  }
  return key;
}

// Walks a copy of the map and the table's chain against the model's order.
void check_walk(Subject& s) {
  ZAND_OBJ_MAP copy(*s.map);
  const auto* position = static_cast<const OBJ_HASH_TABLE&>(s.table).first();
  for (auto stored = s.next({}); stored; stored = s.next(stored)) {
    const Entry& entry = s.entry(*stored);
    std::string key;
    FUZZ_CHECK(copy.get_next_entry(key) == entry.value);
    FUZZ_CHECK(key == entry.stored);
    const auto* stored_entry = OBJ_HASH_TABLE::entry(position);
    FUZZ_CHECK(std::string(stored_entry->key(), stored_entry->key_size) ==
               entry.stored);
    position = position->next;
  }
  std::string key = "unchanged";
  FUZZ_CHECK(copy.get_next_entry(key) == nullptr);
  FUZZ_CHECK(key == "unchanged");
  FUZZ_CHECK(position == s.table.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  Bytes in{data, data + size};
  Item pool[3];
  Subject a, b;
  Subject *active = &a, *spare = &b;
  while (in.more()) {
    Subject& s = *active;
    ZAND_OBJ_MAP& map = *s.map;
    OBJ_HASH_TABLE& table = s.table;
    switch (in.below(10)) {
      case 0:
      case 1: {
        const std::string key = consume_key(in);
        ZAND_OBJ* value = in.pick(pool);
        FUZZ_CHECK(map.set_at(key, value));
        // A new key keeps the form given; an existing one takes the value.
        const auto model =
            s.entries.emplace(folded_key(key), Entry{key, value});
        model.first->second.value = value;
        FUZZ_CHECK(table.insert_or_assign(key, value) == model.second);
        break;
      }
      case 2: {
        const std::string key = consume_key(in);
        const std::string other = consume_key(in);
        const auto found = s.entries.find(folded_key(key));
        FUZZ_CHECK(map.look_up(key) ==
                   (found == s.entries.end() ? nullptr : found->second.value));
        // The key functions themselves, against their plain definitions.
        FUZZ_CHECK(zand_internal::key_hash(key.c_str(), key.size()) ==
                   zand_test::model_hash(key));
        FUZZ_CHECK(zand_internal::key_compare(key.c_str(), key.size(),
                                              other.c_str(),
                                              other.size()) < 0 ==
                   (folded_key(key) < folded_key(other)));
        break;
      }
      case 3:
        map.reset_iterator();
        s.cursor = s.next({});
        break;
      case 4:
      case 5: {
        const Entry at_end{"unchanged", nullptr};
        const Entry& entry = s.cursor ? s.entry(*s.cursor) : at_end;
        std::string key = "unchanged";
        FUZZ_CHECK(map.get_next_entry(key) == entry.value);
        FUZZ_CHECK(key == entry.stored);
        s.cursor = s.cursor ? s.next(s.cursor) : s.cursor;
        break;
      }
      case 6:
        map.remove_all();
        table.clear_entries();
        s.entries.clear();
        s.order.clear();
        s.cursor.reset();
        break;
      case 7:  // go on with a copy, whose cursor is at the first entry
        s.map = std::make_unique<Map>(*s.map);
        s.cursor = s.next({});
        break;
      case 8:  // go on with the spare, assigned from this map, which stays
        static_cast<ZAND_OBJ_MAP&>(*spare->map) = map;
        spare->table.copy_from(table);
        spare->entries = s.entries;
        spare->order = s.order;
        spare->cursor = s.next({});
        std::swap(active, spare);
        break;
      default:
        if (in.below(2) != 0) {
          ZAND_OBJ_MAP& self = map;
          FUZZ_CHECK(&(map = self) == &map);  // nothing changes
        } else {
          std::swap(active, spare);
        }
        break;
    }
    FUZZ_CHECK(active->map->size() == static_cast<int>(active->entries.size()));
    FUZZ_CHECK(active->table.entry_count() == active->entries.size());
#ifndef NDEBUG
    FUZZ_CHECK(active->table.invariant_violation().empty());
#endif
  }
  check_walk(a);
  check_walk(b);
  return 0;
}
