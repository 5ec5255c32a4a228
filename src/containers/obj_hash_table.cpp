// The linear-hashing table under ZAND_OBJ_MAP. Every algorithm here keeps the
// invariants listed in its header; the chain order they fix is the map's
// walk order, which callers store and compare across platforms.
#include "zand_stl/internal/obj_hash_table.h"

#include <cstring>
#include <new>

#ifndef NDEBUG
#include <algorithm>
#include <utility>
#include <vector>
#endif

#include "containers/obj_hash_key.h"
#include "frame/length_error.h"

namespace zand_internal {

namespace {

// Segment 0 holds slots 0 to 15; segment k >= 1 holds slots 2^(k+3) up to
// 2^(k+4) - 1, as many as all the segments before it. 58 segments cover
// every slot up to the maximum slot count.
constexpr std::uint64_t kFirstSegmentSlots = 16;
constexpr unsigned kSegments = 58;

// Entry blocks grow with the table, from a small first block up to a size
// past which blocks save no more allocations worth having. An entry larger
// than a quarter of the largest block, or than the shared block it would
// be carved from, gets a block of its own, sized to it.
constexpr std::size_t kSmallestBlockBytes = 512;
constexpr std::size_t kLargestBlockBytes = std::size_t{64} << 10;
constexpr std::size_t kOwnBlockThreshold = kLargestBlockBytes / 4;

constexpr std::size_t kEntryAlign = alignof(ObjHashEntry);

// The longest key an entry can hold: its bytes, with the entry, the key's
// terminating zero, the alignment and a block header, must not wrap. No
// allocation of that size could succeed anyway.
constexpr std::size_t kMaxKeyBytes = static_cast<std::size_t>(-1) / 2;

// An entry's bytes: the entry, its key and the key's terminating zero,
// rounded up so that the next entry is aligned. Throws std::bad_alloc for
// a key no block could hold.
std::size_t entry_bytes(std::size_t key_size) {
  if (key_size > kMaxKeyBytes) {
    throw std::bad_alloc();
  }
  return (sizeof(ObjHashEntry) + key_size + 1 + kEntryAlign - 1) &
         ~(kEntryAlign - 1);
}

// Payload bytes of the next shared block for a table of `count` entries:
// about 32 bytes per entry present, so that blocks double as the table
// does.
std::size_t block_bytes_for(std::uint64_t count) noexcept {
  std::size_t bytes = kSmallestBlockBytes;
  while (bytes < kLargestBlockBytes && bytes / 32 < count) {
    bytes *= 2;
  }
  return bytes;
}

}  // namespace

// Entries are carved from these, front to back, after the header.
struct ObjHashEntryBlock {
  ObjHashEntryBlock* next;
  std::size_t bytes;  // what follows the header
};

struct ObjHashSlotDirectory {
  ObjHashEntryBlock* blocks;  // every entry block, the one being carved first
  // Segment k >= 1, or null while none of its slots is stored; segment 0
  // is first_segment, which every table has.
  ObjHashSlot* segments[kSegments];
  ObjHashSlot first_segment[kFirstSegmentSlots];
};

OBJ_HASH_TABLE::OBJ_HASH_TABLE()
    : m_chain{{&m_chain.end, &m_chain.end}, 0},
      m_storage{new ObjHashSlotDirectory(), nullptr, nullptr},
      m_mask(1),
      m_bucket_count(1) {
  reset_slots();
}

OBJ_HASH_TABLE::~OBJ_HASH_TABLE() {
  free_entries();
  release_segments_after(0);
  delete m_storage.directory;
}

ObjHashSlot& OBJ_HASH_TABLE::slot(std::uint64_t i) const noexcept {
  if (i < kFirstSegmentSlots) {
    return m_storage.directory->first_segment[i];
  }
  const unsigned top = highest_set_bit(i);
  return m_storage.directory->segments[top - 3][i - (std::uint64_t{1} << top)];
}

// Stores slot i, and so every slot before it. Only the slot after the
// buckets and the ones before it are ever stored: every later slot holds
// the end element.
void OBJ_HASH_TABLE::ensure_slot_stored(std::uint64_t i) {
  if (i < kFirstSegmentSlots) {
    return;
  }
  const unsigned top = highest_set_bit(i);
  if (m_storage.directory->segments[top - 3] != nullptr) {
    return;  // the stored segments are always a prefix
  }
  for (unsigned k = 1; k <= top - 3; ++k) {
    ObjHashSlot*& segment = m_storage.directory->segments[k];
    if (segment == nullptr) {
      segment = new ObjHashSlot[std::size_t{1} << (k + 3)];
    }
  }
}

// Slots 0 to bucket_count hold the end element, with empty signatures.
void OBJ_HASH_TABLE::reset_slots() noexcept {
  for (std::uint64_t i = 0; i <= m_bucket_count; ++i) {
    slot(i) = {&m_chain.end, 0};
  }
}

void OBJ_HASH_TABLE::free_entries() noexcept {
  ObjHashEntryBlock* block = m_storage.directory->blocks;
  while (block != nullptr) {
    ObjHashEntryBlock* const next = block->next;
    ::operator delete(block);
    block = next;
  }
  m_storage.directory->blocks = nullptr;
  m_storage.free = nullptr;
  m_storage.limit = nullptr;
  m_chain.end = {&m_chain.end, &m_chain.end};
  m_chain.count = 0;
}

// `bytes` of the block being carved, or of a new block when they do not fit
// there. An entry is never carved from a block it does not fit: one larger
// than the next shared block gets a block of its own, and the shared block
// being carved stays the one carved next.
char* OBJ_HASH_TABLE::carve(std::size_t bytes) {
  if (static_cast<std::size_t>(m_storage.limit - m_storage.free) >= bytes) {
    char* const place = m_storage.free;
    m_storage.free += bytes;
    return place;
  }
  const std::size_t shared = block_bytes_for(m_chain.count);
  const bool own = bytes > kOwnBlockThreshold || bytes > shared;
  const std::size_t payload = own ? bytes : shared;
  auto* const block = static_cast<ObjHashEntryBlock*>(
      ::operator new(sizeof(ObjHashEntryBlock) + payload));
  block->next = m_storage.directory->blocks;
  block->bytes = payload;
  m_storage.directory->blocks = block;
  char* const place = reinterpret_cast<char*>(block + 1);
  if (!own) {  // the rest of the block the last one carved is given up
    m_storage.free = place + bytes;
    m_storage.limit = place + payload;
  }
  return place;
}

ObjHashEntry* OBJ_HASH_TABLE::make_entry(const char* key, std::size_t size,
                                         std::uint64_t hash, ZAND_OBJ* value) {
  char* const place = carve(entry_bytes(size));
  auto* const made =
      new (place) ObjHashEntry{{nullptr, nullptr}, hash, value, size};
  char* const key_place = place + sizeof(ObjHashEntry);
  std::memcpy(key_place, key, size);
  key_place[size] = '\0';
  return made;
}

// The one lookup: the bucket's signature first, then only entries of equal
// hash have their keys compared. The bucket ascends in key order, so a
// stored key of equal hash past the sought one ends the search; entries of
// other hashes are passed over whatever their keys.
ObjHashEntry* OBJ_HASH_TABLE::find_hashed(const std::string& key,
                                          std::uint64_t hash) const noexcept {
  const std::uint64_t b = bucket_of(hash);
  const ObjHashSlot& head = slot(b);
  if ((head.signature & signature_bit(hash)) == 0) {
    return nullptr;
  }
  const ChainLink* const stop = slot(b + 1).first;
  for (ChainLink* p = head.first; p != stop; p = p->next) {
    ObjHashEntry* const e = entry(p);
    if (e->hash == hash) {
      const int c = key_compare(e->key(), e->key_size, key.c_str(), key.size());
      if (c >= 0) {
        return c == 0 ? e : nullptr;
      }
    }
  }
  return nullptr;
}

ObjHashEntry* OBJ_HASH_TABLE::find_entry(
    const std::string& key) const noexcept {
  return find_hashed(key, key_hash(key.c_str(), key.size()));
}

bool OBJ_HASH_TABLE::insert_or_assign(const std::string& key, ZAND_OBJ* value) {
  const std::uint64_t hash = key_hash(key.c_str(), key.size());
  if (ObjHashEntry* const found = find_hashed(key, hash)) {
    found->value = value;
    return false;
  }

  // Whatever can fail comes before any change: the limits, the slot a new
  // bucket needs, and the entry with its key.
  ensure_within_limit(m_chain.count + 1, kMaxEntries, kListTooLong);
  const bool grows = m_bucket_count <= m_chain.count / 4;
  if (grows) {
    ensure_within_limit(slots_for_mask(grown_mask()), kMaxSlots,
                        kVectorTooLong);
    ensure_slot_stored(m_bucket_count + 1);
  }
  ObjHashEntry* const made = make_entry(key.data(), key.size(), hash, value);
  if (grows) {
    add_bucket();
  }
  link_entry(made, bucket_of(hash));
  return true;
}

// Links a new entry into bucket b, right after the last smaller key, and
// counts it. A new first entry of the bucket also becomes the slot of the
// empty buckets right before it.
void OBJ_HASH_TABLE::link_entry(ObjHashEntry* made, std::uint64_t b) noexcept {
  ObjHashSlot& head = slot(b);
  const ChainLink* const stop = slot(b + 1).first;
  const SoughtKey sought(made->key(), made->key_size);
  ChainLink* before = head.first;
  while (before != stop && sought.compare_stored(entry(before)->key(),
                                                 entry(before)->key_size) < 0) {
    before = before->next;
  }
  made->next = before;
  made->prev = before->prev;
  before->prev->next = made;
  before->prev = made;
  if (before == head.first) {
    for (std::uint64_t i = b + 1; i-- > 0 && slot(i).first == before;) {
      slot(i).first = made;
    }
  }
  head.signature |= signature_bit(made->hash);
  ++m_chain.count;
}

// Adds bucket n = bucket_count by splitting bucket s: its entries whose hash
// selects n leave it in their order and form bucket n at the end of the
// chain. The caller has stored slot n + 1 and checked the slot limit, so
// nothing here can fail.
void OBJ_HASH_TABLE::add_bucket() noexcept {
  // The slot table lengthens with the mask, when the last slot is taken.
  m_mask = grown_mask();
  const std::uint64_t s = m_bucket_count - (m_mask >> 1) - 1;
  const std::uint64_t n = m_bucket_count;
  ChainLink* const end = &m_chain.end;
  ChainLink* const old_first = slot(s).first;
  ChainLink* const stop = slot(s + 1).first;

  // Unlink the entries that move into a run of their own, in order.
  ChainLink* first_kept = nullptr;
  ChainLink* first_moved = nullptr;
  ChainLink* last_moved = nullptr;
  std::uint64_t kept_signature = 0;
  std::uint64_t moved_signature = 0;
  for (ChainLink* p = old_first; p != stop;) {
    ChainLink* const next = p->next;
    const std::uint64_t hash = entry(p)->hash;
    if ((hash & m_mask) == s) {
      kept_signature |= signature_bit(hash);
      first_kept = first_kept != nullptr ? first_kept : p;
    } else {
      moved_signature |= signature_bit(hash);
      p->prev->next = next;
      next->prev = p->prev;
      p->prev = last_moved;
      if (last_moved != nullptr) {
        last_moved->next = p;
      } else {
        first_moved = p;
      }
      last_moved = p;
    }
    p = next;
  }

  // Bucket s begins at its first kept entry or, emptied, where the next
  // non-empty bucket begins; the empty buckets before it that began where
  // it did follow it.
  ChainLink* after_s = stop;
  if (first_moved != nullptr) {
    ChainLink* const last = end->prev;
    last->next = first_moved;
    first_moved->prev = last;
    last_moved->next = end;
    end->prev = last_moved;
    after_s = stop != end ? stop : first_moved;
    // Bucket n, and the empty buckets at the end of the chain before it,
    // begin at the moved run.
    for (std::uint64_t x = n; x > s && slot(x).first == end; --x) {
      slot(x).first = first_moved;
    }
  }
  ChainLink* const new_first = first_kept != nullptr ? first_kept : after_s;
  if (new_first != old_first) {
    for (std::uint64_t i = s + 1; i-- > 0 && slot(i).first == old_first;) {
      slot(i).first = new_first;
    }
  }
  slot(s).signature = kept_signature;
  slot(n).signature = moved_signature;
  slot(n + 1) = {end, 0};
  ++m_bucket_count;
}

void OBJ_HASH_TABLE::clear_entries() noexcept {
  free_entries();
  release_segments_after(1);
  m_mask = 1;
  m_bucket_count = 1;
  reset_slots();
}

void OBJ_HASH_TABLE::copy_from(const OBJ_HASH_TABLE& source) {
  ChainLink* const end = &m_chain.end;
  try {
    // The slots the source's buckets need, before anything changes.
    ensure_slot_stored(source.m_bucket_count);
    free_entries();
    release_segments_after(source.m_bucket_count);
    m_mask = source.m_mask;
    m_bucket_count = source.m_bucket_count;
    // One walk of the source chain: each entry is copied behind the last,
    // so that the copies lie in chain order in memory too, and the slots
    // that hold the source entry (they come in chain order) get its copy.
    std::uint64_t i = 0;
    for (const ChainLink* from = source.first(); from != source.end();
         from = from->next) {
      prefetch(from->next);
      const ObjHashEntry* const original = entry(from);
      ObjHashEntry* const copy = make_entry(original->key(), original->key_size,
                                            original->hash, original->value);
      copy->next = end;
      copy->prev = end->prev;
      end->prev->next = copy;
      end->prev = copy;
      ++m_chain.count;
      for (; i <= m_bucket_count && source.slot(i).first == from; ++i) {
        slot(i) = {copy, source.slot(i).signature};
      }
    }
    for (; i <= m_bucket_count; ++i) {
      slot(i) = {end, 0};
    }
  } catch (...) {
    // Whatever step failed, the stored slots cover bucket_count, so an empty
    // chain with every slot at the end is a valid table.
    free_entries();
    reset_slots();
    throw;
  }
}

// Frees the segments whose slots all lie past slot i.
void OBJ_HASH_TABLE::release_segments_after(std::uint64_t i) noexcept {
  const unsigned keep = i < kFirstSegmentSlots ? 0 : highest_set_bit(i) - 3;
  for (unsigned k = keep + 1; k < kSegments; ++k) {
    delete[] m_storage.directory->segments[k];
    m_storage.directory->segments[k] = nullptr;
  }
}

#ifndef NDEBUG
std::string OBJ_HASH_TABLE::invariant_violation() const {
  const std::uint64_t bc = m_bucket_count;
  if (((m_mask + 1) & m_mask) != 0 || bc == 0 || bc > m_mask + 1 ||
      (m_mask + 1) / 2 > bc || slot_count() < bc + 1) {
    return "mask and bucket_count do not fit together";
  }
  const ChainLink* const end = &m_chain.end;
  if (slot(bc).first != end || slot(bc).signature != 0) {
    return "the slot after the buckets is not the end";
  }
  if (slot(0).first != end->next) {
    return "slot 0 does not hold the first position";
  }
  // Every entry, with its key, lies inside one of the table's blocks.
  std::vector<std::pair<const char*, const char*>> blocks;
  for (const ObjHashEntryBlock* block = m_storage.directory->blocks;
       block != nullptr; block = block->next) {
    const char* const begin = reinterpret_cast<const char*>(block + 1);
    blocks.emplace_back(begin, begin + block->bytes);
  }
  std::sort(blocks.begin(), blocks.end());
  const auto in_a_block = [&blocks](const void* place, std::size_t bytes) {
    const char* const begin = static_cast<const char*>(place);
    auto after = std::upper_bound(
        blocks.begin(), blocks.end(), begin,
        [](const char* p, const auto& block) { return p < block.first; });
    return after != blocks.begin() && (--after)->first <= begin &&
           bytes <= static_cast<std::size_t>(after->second - begin);
  };
  if (m_storage.free != m_storage.limit &&
      !in_a_block(m_storage.free,
                  static_cast<std::size_t>(m_storage.limit - m_storage.free))) {
    return "the free part of the entry block lies outside every block";
  }
  std::uint64_t count = 0;
  const ChainLink* p = end->next;
  for (std::uint64_t b = 0; b < bc; ++b) {
    if (p != slot(b).first) {
      return "bucket " + std::to_string(b) + " does not start at its slot";
    }
    std::uint64_t signature = 0;
    const ChainLink* const stop = slot(b + 1).first;
    for (const ObjHashEntry* prev = nullptr; p != stop; p = p->next, ++count) {
      if (p == end) {
        return "bucket " + std::to_string(b) + " runs past the chain's end";
      }
      const ObjHashEntry* const e = entry(p);
      if (!in_a_block(e, sizeof(ObjHashEntry) + e->key_size + 1)) {
        return "an entry of bucket " + std::to_string(b) +
               " lies outside every block of its table";
      }
      if (p->next->prev != p || e->key()[e->key_size] != '\0' ||
          e->hash != key_hash(e->key(), e->key_size)) {
        return "an entry of bucket " + std::to_string(b) + " is damaged";
      }
      if (bucket_of(e->hash) != b) {
        return "key '" + std::string(e->key(), e->key_size) +
               "' lies in the wrong bucket";
      }
      if (prev != nullptr && key_compare(prev->key(), prev->key_size, e->key(),
                                         e->key_size) >= 0) {
        return "bucket " + std::to_string(b) + " is not strictly ascending";
      }
      signature |= signature_bit(e->hash);
      prev = e;
    }
    if (signature != slot(b).signature) {
      return "bucket " + std::to_string(b) + " has a wrong signature";
    }
  }
  if (p != end || end->next->prev != end || count != m_chain.count) {
    return "the buckets do not cover the chain";
  }
  return {};
}
#endif

}  // namespace zand_internal
