// NOT PART OF THE INTERFACE (see obj_hash_table.h).
//
// The entries of OBJ_HASH_TABLE and the blocks they are carved from. An
// entry holds one key, its hash and its value, and never moves in memory
// while it lives; entries are freed only all together.
#ifndef ZAND_STL_INTERNAL_OBJ_HASH_ENTRY_BLOCKS_H
#define ZAND_STL_INTERNAL_OBJ_HASH_ENTRY_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <new>  // std::bad_alloc, which entry_bytes() throws

#include "zand_stl/zand_obj.h"

namespace zand_internal {

// One entry, with its key's bytes and a terminating zero right behind it.
struct ObjHashEntry {
  std::uint64_t hash;    // key_hash of the key, so that no key is rehashed
  ZAND_OBJ* value;       // non-owning; null is an ordinary value
  std::size_t key_size;  // the key as first stored, zero bytes and all

  const char* key() const noexcept {
    return reinterpret_cast<const char*>(this + 1);
  }
};

struct ObjHashEntryBlock;

// Carves entries, in the order they are made, from blocks it allocates: at
// first a block per entry, later blocks with room for as many entries as
// the caller expects to come (a table asks for a quarter of its count), up
// to kLargestBlockBytes. An entry never lies outside its block; one larger
// than that gets a block of exactly its size.
class ObjHashEntryBlocks {
 public:
  // The largest block made for more than one entry.
  static constexpr std::size_t kLargestBlockBytes = std::size_t{64} << 10;

  // Allocates nothing.
  ObjHashEntryBlocks() noexcept : m_newest(nullptr), m_free(nullptr) {}
  ObjHashEntryBlocks(const ObjHashEntryBlocks&) = delete;
  ObjHashEntryBlocks& operator=(const ObjHashEntryBlocks&) = delete;
  // Inline, so that a table that never held an entry frees nothing.
  ~ObjHashEntryBlocks() {
    if (m_newest != nullptr) {
      release();
    }
  }

  // The bytes an entry of a key of `key_size` bytes takes: the entry, the
  // key and its terminating zero, rounded up to the entry's alignment.
  // Throws std::bad_alloc for a key no block could hold.
  static std::size_t entry_bytes(std::size_t key_size);

  // A new entry holding a copy of the key's `size` bytes, `hash` and
  // `value`, unlinked. `entries_ahead` is how many entries of about this
  // size the caller expects to make; it sizes a new block. Throws
  // std::bad_alloc, changing nothing.
  ObjHashEntry* make(const char* key, std::size_t size, std::uint64_t hash,
                     ZAND_OBJ* value, std::uint64_t entries_ahead);

  // Frees every block, and so every entry made.
  void release() noexcept;

  bool empty() const noexcept { return m_newest == nullptr; }

#ifndef NDEBUG
  // Whether `bytes` bytes from `place` lie inside one block. Debug builds
  // only, for the table's invariant check.
  bool hold(const void* place, std::size_t bytes) const;
#endif

 private:
  char* carve(std::size_t bytes, std::uint64_t entries_ahead);

  // The newest block; each block holds the one made before it.
  ObjHashEntryBlock* m_newest;
  // Where the room left in the newest block begins (its header says where
  // it ends), or null when it has none.
  char* m_free;
};

}  // namespace zand_internal

#endif  // ZAND_STL_INTERNAL_OBJ_HASH_ENTRY_BLOCKS_H
