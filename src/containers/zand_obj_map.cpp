// ZAND_OBJ_MAP: the cursor and the exported operations over OBJ_HASH_TABLE.
#include "zand_stl/zand_obj_map.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "containers/obj_hash_table_walk.h"
#include "util/builtins.h"

using zand_internal::OBJ_HASH_TABLE;

ZAND_OBJ_MAP::ZAND_OBJ_MAP(int /*ignored_size_hint*/)
    : m_cursor(m_table.first()) {}

ZAND_OBJ_MAP::ZAND_OBJ_MAP(const ZAND_OBJ_MAP& other) : m_cursor(nullptr) {
  // A throw here destroys m_table, which frees whatever was copied.
  m_table.copy_from(other.m_table);
  m_cursor = m_table.first();
}

ZAND_OBJ_MAP& ZAND_OBJ_MAP::operator=(const ZAND_OBJ_MAP& other) {
  if (this != &other) {
    // Failed or not, the table is valid afterwards, so the cursor is put
    // on its first position either way.
    struct CursorReset {
      ZAND_OBJ_MAP& map;
      ~CursorReset() { map.m_cursor = map.m_table.first(); }
    } reset{*this};
    m_table.copy_from(other.m_table);
  }
  return *this;
}

ZAND_OBJ_MAP::~ZAND_OBJ_MAP() = default;

bool ZAND_OBJ_MAP::set_at(const std::string& key, ZAND_OBJ* value) {
  m_table.insert_or_assign(key, value);
  return true;
}

ZAND_OBJ* ZAND_OBJ_MAP::look_up(const std::string& key) const {
  const zand_internal::ObjHashEntry* const found = m_table.find_entry(key);
  return found == nullptr ? nullptr : found->value;
}

void ZAND_OBJ_MAP::reset_iterator() { m_cursor = m_table.first(); }

ZAND_OBJ* ZAND_OBJ_MAP::get_next_entry(std::string& key) {
  const zand_internal::ObjHashEntry* const entry = m_cursor;
  if (entry == nullptr) {
    return nullptr;
  }
  // The next entry is found, and asked for, before this key is copied, so
  // that where entries lie scattered in memory the two loads overlap.
  zand_internal::ObjHashEntry* const next = m_table.next(entry);
  zand_internal::prefetch(next);
  const std::size_t size = entry->key_size;
  if (size <= key.size()) {
    // A key no longer than the one the string holds, the usual case when
    // a walk reuses one string: copied in place, then the string cut to
    // it, neither of which can fail.
    std::memcpy(key.data(), entry->key(), size);
    key.erase(size);
  } else {
    key.assign(entry->key(), size);  // reuses the caller's capacity
  }
  m_cursor = next;
  return entry->value;
}

void ZAND_OBJ_MAP::remove_all() {
  m_table.clear_entries();
  m_cursor = m_table.first();
}

int ZAND_OBJ_MAP::size() const {
  return static_cast<int>(static_cast<std::uint32_t>(m_table.entry_count()));
}
