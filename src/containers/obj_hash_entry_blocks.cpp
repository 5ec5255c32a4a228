// The hash table's entry blocks: entries carved front to back from blocks
// that grow with the table, each entry inside the block it fits.
#include "zand_stl/internal/obj_hash_entry_blocks.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zand_internal {

// Entries are carved from these, front to back, after the header.
// A block made for more than one entry keeps, right after its header, where
// its room ends; one made for a single entry, as the first entries of a
// table are, has no room to keep track of and saves the word.
struct ObjHashEntryBlock {
  ObjHashEntryBlock* next;  // the block made before this one
#ifndef NDEBUG
  const char* first;  // its entries, up to `end`, for the invariant check
  const char* end;
#endif
};

namespace {

// The longest key an entry can hold: its bytes, with the entry, the key's
// terminating zero, the alignment and a block header, must not wrap. No
// allocation of that size could succeed anyway.
constexpr std::size_t kMaxKeyBytes = static_cast<std::size_t>(-1) / 2;

// An entry of a key of up to 23 bytes, as most keys are.
constexpr std::size_t kTypicalEntryBytes = sizeof(ObjHashEntry) + 24;

// Where a block made for more than one entry keeps the end of its room.
char*& limit_of(ObjHashEntryBlock* block) noexcept {
  return *reinterpret_cast<char**>(block + 1);
}

}  // namespace

std::size_t ObjHashEntryBlocks::entry_bytes(std::size_t key_size) {
  constexpr std::size_t kAlign = alignof(ObjHashEntry);
  if (key_size > kMaxKeyBytes) {
    throw std::bad_alloc();
  }
  return (sizeof(ObjHashEntry) + key_size + 1 + kAlign - 1) & ~(kAlign - 1);
}

// `bytes` of the block being carved, or of a new block when they do not fit
// there: room for `entries_ahead` entries of this size, within
// kLargestBlockBytes, or exactly this entry when it is larger. Carving goes
// on in whichever of the two blocks has more room left.
char* ObjHashEntryBlocks::carve(std::size_t bytes,
                                std::uint64_t entries_ahead) {
  // m_free is set while the newest block has room, and only then.
  const std::size_t room =
      m_free == nullptr ? 0
                        : static_cast<std::size_t>(limit_of(m_newest) - m_free);
  if (room >= bytes) {
    char* const place = m_free;
    m_free += bytes;
    return place;
  }
  // Room for this entry and the entries ahead after it, each counted at
  // least as a typical entry, so that a short key does not leave the next,
  // longer ones without room.
  std::size_t payload = bytes;
  if (entries_ahead > 1 && bytes < kLargestBlockBytes) {
    const std::size_t each = std::max(bytes, kTypicalEntryBytes);
    const std::uint64_t fit = (kLargestBlockBytes - bytes) / each;
    payload +=
        each * static_cast<std::size_t>(std::min(entries_ahead - 1, fit));
  }
  const bool shared = payload > bytes;
  const std::size_t header =
      sizeof(ObjHashEntryBlock) + (shared ? sizeof(char*) : 0);
  auto* const block =
      static_cast<ObjHashEntryBlock*>(::operator new(header + payload));
  char* const place = reinterpret_cast<char*>(block) + header;
  if (shared) {
    limit_of(block) = place + payload;
  }
#ifndef NDEBUG
  block->first = place;
  block->end = place + payload;
#endif
  // The block with more room left becomes the one carved next; the other
  // is linked in behind it.
  if (m_newest == nullptr || payload - bytes > room) {
    block->next = m_newest;
    m_newest = block;
    m_free = shared ? place + bytes : nullptr;
  } else {
    block->next = m_newest->next;
    m_newest->next = block;
  }
  return place;
}

ObjHashEntry* ObjHashEntryBlocks::make(const char* key, std::size_t size,
                                       std::uint64_t hash, ZAND_OBJ* value,
                                       std::uint64_t entries_ahead) {
  char* const place = carve(entry_bytes(size), entries_ahead);
  auto* const made = new (place) ObjHashEntry{hash, value, size};
  char* const key_place = place + sizeof(ObjHashEntry);
  std::memcpy(key_place, key, size);
  key_place[size] = '\0';
  return made;
}

void ObjHashEntryBlocks::release() noexcept {
  ObjHashEntryBlock* block = m_newest;
  while (block != nullptr) {
    ObjHashEntryBlock* const next = block->next;
    ::operator delete(block);
    block = next;
  }
  m_newest = nullptr;
  m_free = nullptr;
}

#ifndef NDEBUG
bool ObjHashEntryBlocks::hold(const void* place, std::size_t bytes) const {
  const char* const begin = static_cast<const char*>(place);
  for (const ObjHashEntryBlock* block = m_newest; block != nullptr;
       block = block->next) {
    if (block->first <= begin && begin <= block->end &&
        bytes <= static_cast<std::size_t>(block->end - begin)) {
      return true;
    }
  }
  return false;
}
#endif

}  // namespace zand_internal
