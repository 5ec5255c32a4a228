// ZAND_OBJ_MAP: the cursor and the exported operations over OBJ_HASH_TABLE.
#include "zand_stl/zand_obj_map.h"

#include <cstdint>
#include <iterator>

#include "frame/builtins.h"

ZAND_OBJ_MAP::ZAND_OBJ_MAP(int /*ignored_size_hint*/)
    : m_cursor(m_table.first()) {}

ZAND_OBJ_MAP::ZAND_OBJ_MAP(const ZAND_OBJ_MAP& other)
    : m_cursor(m_table.end()) {
  // A throw here destroys m_table, which frees whatever was copied.
  m_table.copy_from(other.m_table);
  m_cursor = m_table.first();
}

ZAND_OBJ_MAP& ZAND_OBJ_MAP::operator=(const ZAND_OBJ_MAP& other) {
  if (this == &other) {
    return *this;
  }
  try {
    m_table.copy_from(other.m_table);
  } catch (...) {
    m_cursor = m_table.first();  // the table is empty but valid
    throw;
  }
  m_cursor = m_table.first();
  return *this;
}

ZAND_OBJ_MAP::~ZAND_OBJ_MAP() = default;

bool ZAND_OBJ_MAP::set_at(const std::string& key, ZAND_OBJ* value) {
  const auto [entry, inserted] = m_table.find_or_insert(key, value);
  if (!inserted) {
    entry->value = value;
  }
  return true;
}

ZAND_OBJ* ZAND_OBJ_MAP::look_up(const std::string& key) const {
  const auto found = m_table.find_entry(key);
  return found == m_table.end() ? nullptr : found->value;
}

void ZAND_OBJ_MAP::reset_iterator() { m_cursor = m_table.first(); }

ZAND_OBJ* ZAND_OBJ_MAP::get_next_entry(std::string& key) {
  if (m_cursor == m_table.end()) {
    return nullptr;
  }
  // The next entry is asked for before this key is copied, so that in a
  // large map, whose entries lie scattered in memory, the two loads overlap.
  const auto entry = m_cursor;
  const auto next = std::next(entry);
  if (next != m_table.end()) {
    zand_internal::prefetch(&*next);
  }
  key = entry->key;  // reuses the caller's capacity
  ZAND_OBJ* value = entry->value;
  m_cursor = next;
  return value;
}

void ZAND_OBJ_MAP::remove_all() {
  m_table.clear_entries();
  m_cursor = m_table.first();
}

int ZAND_OBJ_MAP::size() const {
  return static_cast<int>(static_cast<std::uint32_t>(m_table.entry_count()));
}
