// Operation sequences on ZAND_OBJ_MAP, decoded from the fuzzer's bytes and
// checked after every step against a model: entries by folded key, the form
// stored first, and the walk order computed from the set of keys alone. The
// cursor is modelled as the entry it stands on, which keeps its place in the
// walk order however the table grows. An OBJ_HASH_TABLE driven the same way
// has its invariants checked after every change (debug builds).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "support/walk_order_model.h"
#include "zand_stl/internal/obj_hash_table.h"
#include "zand_stl/zand_obj_map.h"

namespace {

using zand_internal::OBJ_HASH_TABLE;
using zand_test::folded_key;

class Item : public ZAND_OBJ {};

struct Model {
  struct Entry {
    std::string stored;
    ZAND_OBJ* value;
  };
  std::map<std::string, Entry> entries;  // by folded key
  std::optional<std::string> cursor;     // folded key; empty: the end

  // A new key keeps the form given; an existing one only takes the value.
  void set(const std::string& key, ZAND_OBJ* value) {
    const auto [entry, added] =
        entries.emplace(folded_key(key), Entry{key, value});
    entry->second.value = value;
    m_order_valid = m_order_valid && !added;
  }

  void clear() {
    entries.clear();
    cursor.reset();
    m_order_valid = false;
  }

  // The folded keys in walk order.
  const std::vector<std::string>& order() const {
    if (!m_order_valid) {
      std::vector<std::string> stored;
      for (const auto& entry : entries) {
        stored.push_back(entry.second.stored);
      }
      m_order = zand_test::model_walk(stored);
      for (std::string& key : m_order) {
        key = folded_key(key);
      }
      m_order_valid = true;
    }
    return m_order;
  }

  std::optional<std::string> first() const {
    if (entries.empty()) {
      return std::nullopt;
    }
    return order().front();
  }

  std::optional<std::string> after(const std::string& folded) const {
    const std::vector<std::string>& keys = order();
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
      if (keys[i] == folded) {
        return keys[i + 1];
      }
    }
    return std::nullopt;
  }

 private:
  mutable std::vector<std::string> m_order;
  mutable bool m_order_valid = false;
};

// The map itself, made final so that it may be deleted through its own
// type: the map's destructor is not virtual. Copies and assignments are the
// map's own.
class Map final : public ZAND_OBJ_MAP {};

// A map, a table driven alike, and their model.
struct Subject {
  ZAND_OBJ_MAP& map() { return *owned; }
  const ZAND_OBJ_MAP& map() const { return *owned; }
  void replace_by_copy() {
    owned = std::make_unique<Map>(*owned);
    auto copy = std::make_unique<OBJ_HASH_TABLE>();
    copy->copy_from(*table);
    table = std::move(copy);
  }

  std::unique_ptr<Map> owned = std::make_unique<Map>();
  std::unique_ptr<OBJ_HASH_TABLE> table = std::make_unique<OBJ_HASH_TABLE>();
  Model model;
};

// Keys over an alphabet that makes case-folded and zero-byte collisions
// likely, long enough to span the table's 8-byte words; or any bytes.
std::string consume_key(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) {
    return input.ConsumeRandomLengthString(24);
  }
  static const char kAlphabet[] = {'a', 'A', 'b', 'B',    'z',    'Z',   '\0',
                                   '[', '`', '0', '\x80', '\xE9', '\xFF'};
  std::string key(input.ConsumeIntegralInRange<std::size_t>(0, 18), ' ');
  for (char& c : key) {
    c = kAlphabet[input.ConsumeIntegralInRange<std::size_t>(
        0, sizeof kAlphabet - 1)];
  }
  return key;
}

void check_table(const OBJ_HASH_TABLE& table, const Model& m) {
  FUZZ_CHECK(table.entry_count() == m.entries.size());
#ifndef NDEBUG
  const std::string violation = table.invariant_violation();
  if (!violation.empty()) {
    std::fprintf(stderr, "table invariant: %s\n", violation.c_str());
  }
  FUZZ_CHECK(violation.empty());
#endif
}

// Walks a copy of the map and the table's chain against the model's order.
void check_walk(const Subject& s) {
  const std::vector<std::string>& order = s.model.order();
  ZAND_OBJ_MAP copy(s.map());
  copy.reset_iterator();
  auto position = static_cast<const OBJ_HASH_TABLE&>(*s.table).first();
  for (const std::string& folded : order) {
    const Model::Entry& entry = s.model.entries.at(folded);
    std::string key;
    FUZZ_CHECK(copy.get_next_entry(key) == entry.value);
    FUZZ_CHECK(key == entry.stored);
    FUZZ_CHECK(position->key == entry.stored);
    ++position;
  }
  std::string key = "unchanged";
  FUZZ_CHECK(copy.get_next_entry(key) == nullptr);
  FUZZ_CHECK(key == "unchanged");
  FUZZ_CHECK(position == s.table->end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzedDataProvider input(data, size);
  Item pool[3];
  auto pick = [&]() -> ZAND_OBJ* {
    const std::size_t i = input.ConsumeIntegralInRange<std::size_t>(0, 3);
    return i == 3 ? nullptr : &pool[i];
  };
  Subject a;
  Subject b;
  Subject* active = &a;
  Subject* spare = &b;

  while (input.remaining_bytes() > 0) {
    ZAND_OBJ_MAP& map = active->map();
    OBJ_HASH_TABLE& table = *active->table;
    Model& m = active->model;
    switch (input.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1: {
        const std::string key = consume_key(input);
        ZAND_OBJ* value = pick();
        FUZZ_CHECK(map.set_at(key, value));
        const auto found = table.find_entry(key);
        if (found != table.end()) {
          found->value = value;
        } else {
          FUZZ_CHECK(table.insert_entry(key, value).second);
        }
        m.set(key, value);  // the cursor keeps its entry
        break;
      }
      case 2: {
        const std::string key = consume_key(input);
        const auto found = m.entries.find(folded_key(key));
        FUZZ_CHECK(map.look_up(key) ==
                   (found == m.entries.end() ? nullptr : found->second.value));
        // The key functions themselves, against their plain definitions.
        const std::string other = consume_key(input);
        FUZZ_CHECK(OBJ_HASH_TABLE::key_hash(key) == zand_test::model_hash(key));
        FUZZ_CHECK(OBJ_HASH_TABLE::key_less(key, other) ==
                   (folded_key(key) < folded_key(other)));
        break;
      }
      case 3:
        map.reset_iterator();
        m.cursor = m.first();
        break;
      case 4:
      case 5: {
        std::string key = "unchanged";
        ZAND_OBJ* value = map.get_next_entry(key);
        if (!m.cursor) {
          FUZZ_CHECK(value == nullptr);
          FUZZ_CHECK(key == "unchanged");
        } else {
          const Model::Entry& entry = m.entries.at(*m.cursor);
          FUZZ_CHECK(value == entry.value);
          FUZZ_CHECK(key == entry.stored);
          m.cursor = m.after(*m.cursor);
        }
        break;
      }
      case 6:
        map.remove_all();
        table.clear_entries();
        m.clear();
        break;
      case 7: {
        // Go on with a copy, whose cursor is at the first entry.
        active->replace_by_copy();
        m.cursor = m.first();
        break;
      }
      case 8:
        // Go on with the spare map, assigned from this one; this one keeps
        // its entries and cursor and becomes the spare.
        spare->map() = map;
        spare->table->copy_from(table);
        spare->model = m;
        spare->model.cursor = m.first();
        std::swap(active, spare);
        break;
      default:
        if (input.ConsumeBool()) {
          ZAND_OBJ_MAP& self = map;
          FUZZ_CHECK(&(map = self) == &map);  // nothing changes
        } else {
          std::swap(active, spare);
        }
        break;
    }
    FUZZ_CHECK(active->map().size() ==
               static_cast<int>(active->model.entries.size()));
    check_table(*active->table, active->model);
  }
  check_walk(a);
  check_walk(b);
  return 0;
}
