// The linear-hashing table under ZAND_OBJ_MAP. Every algorithm here keeps the
// invariants listed in its header; the chain order they fix is the map's
// walk order, which callers store and compare across platforms.
#include "zand_stl/internal/obj_hash_table.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "containers/obj_hash_key.h"
#include "frame/length_error.h"
#include "util/builtins.h"

#ifndef NDEBUG
#include <utility>
#include <vector>
#endif

namespace zand_internal {

// Entries are carved from these, front to back, after the header.
struct ObjHashEntryBlock {
  ObjHashEntryBlock* next;  // the block made before this one
#ifndef NDEBUG
  std::size_t bytes;  // what follows the header, for the invariant check
#endif
};

namespace {

// Blocks hold room for entries_ahead entries like the one that opens them,
// within this size; an entry larger than that gets a block of exactly its
// size.
constexpr std::size_t kLargestBlockBytes = std::size_t{64} << 10;

// The longest key an entry can hold: its bytes, with the entry, the key's
// terminating zero, the alignment and a block header, must not wrap. No
// allocation of that size could succeed anyway.
constexpr std::size_t kMaxKeyBytes = static_cast<std::size_t>(-1) / 2;

// An entry's bytes: the entry, its key and the key's terminating zero,
// rounded up so that the next entry is aligned. Throws std::bad_alloc for
// a key no block could hold.
std::size_t entry_bytes(std::size_t key_size) {
  constexpr std::size_t kAlign = alignof(ObjHashEntry);
  if (key_size > kMaxKeyBytes) {
    throw std::bad_alloc();
  }
  return (sizeof(ObjHashEntry) + key_size + 1 + kAlign - 1) & ~(kAlign - 1);
}

// Up to this many buckets the slots are one array; beyond, segment 0 holds
// slots 0 to 63 and segment k >= 1 slots 64 * 2^(k-1) to 64 * 2^k - 1, as
// many as all the segments before it.
constexpr std::uint64_t kArrayBuckets = 64;
constexpr unsigned kArrayBucketsBit = 6;  // 2^6 = kArrayBuckets

// The array's slots for `buckets` buckets (2 to kArrayBuckets): the next
// power of two.
std::size_t array_slots(std::uint64_t buckets) noexcept {
  return buckets <= 2 ? 2 : std::size_t{2} << highest_set_bit(buckets - 1);
}

// The segment that holds slot i, with more than kArrayBuckets buckets.
unsigned segment_of(std::uint64_t i) noexcept {
  return i < kArrayBuckets ? 0 : highest_set_bit(i) - (kArrayBucketsBit - 1);
}

std::size_t segment_slots(unsigned k) noexcept {
  return k == 0 ? kArrayBuckets : std::size_t{kArrayBuckets} << (k - 1);
}

// The mask that goes with a bucket count: one less than the smallest power
// of two that is at least `buckets`, and at least 1.
std::uint64_t mask_for(std::uint64_t buckets) noexcept {
  return (std::uint64_t{2} << highest_set_bit((buckets - 1) | 1)) - 1;
}

// The slot count that goes with a mask: room for max(8, mask + 1) buckets
// and the closing slot. Lengthening the table to twice its buckets when the
// last slot is taken is exactly doubling the mask then.
std::uint64_t slots_for_mask(std::uint64_t mask) noexcept {
  return (mask + 1 > 8 ? mask + 1 : 8) + 1;
}

std::uint64_t bucket_in(std::uint64_t hash, std::uint64_t mask,
                        std::uint64_t buckets) noexcept {
  std::uint64_t b = hash & mask;
  if (b >= buckets) {
    b -= (mask >> 1) + 1;
  }
  return b;
}

// Allocates the slots of `buckets` buckets, left unset; none for one.
template <typename SlotStorage>
SlotStorage allocate_slots(std::uint64_t buckets) {
  SlotStorage storage{nullptr};
  if (buckets <= kArrayBuckets) {
    if (buckets > 1) {
      storage.array = new ObjHashSlot[array_slots(buckets)];
    }
    return storage;
  }
  const unsigned segments = segment_of(buckets - 1) + 1;
  storage.segments = new ObjHashSlot* [segments] {};
  try {
    for (unsigned k = 0; k < segments; ++k) {
      storage.segments[k] = new ObjHashSlot[segment_slots(k)];
    }
  } catch (...) {
    for (unsigned k = 0; k < segments; ++k) {
      delete[] storage.segments[k];
    }
    delete[] storage.segments;
    throw;
  }
  return storage;
}

template <typename SlotStorage>
void release_slots(SlotStorage storage, std::uint64_t buckets) noexcept {
  if (buckets <= kArrayBuckets) {
    delete[] storage.array;  // null for one bucket
    return;
  }
  const unsigned segments = segment_of(buckets - 1) + 1;
  for (unsigned k = 0; k < segments; ++k) {
    delete[] storage.segments[k];
  }
  delete[] storage.segments;
}

}  // namespace

// What adding a bucket allocates, made before anything changes and freed
// unless add_bucket takes it: a longer array, or a new segment with a
// directory that has room for it.
struct OBJ_HASH_TABLE::SlotGrowth {
  ObjHashSlot* slots = nullptr;
  ObjHashSlot** directory = nullptr;

  SlotGrowth() = default;
  SlotGrowth(const SlotGrowth&) = delete;
  SlotGrowth& operator=(const SlotGrowth&) = delete;
  ~SlotGrowth() {
    delete[] slots;
    delete[] directory;
  }
};

std::uint64_t OBJ_HASH_TABLE::mask() const noexcept {
  return mask_for(m_bucket_count);
}

std::uint64_t OBJ_HASH_TABLE::slot_count() const noexcept {
  return slots_for_mask(mask());
}

std::uint64_t OBJ_HASH_TABLE::bucket_of(std::uint64_t hash) const noexcept {
  return bucket_in(hash, mask_for(m_bucket_count), m_bucket_count);
}

// Slot b < bucket_count, with more than one bucket.
ObjHashSlot& OBJ_HASH_TABLE::slot(std::uint64_t b) const noexcept {
  if (m_bucket_count <= kArrayBuckets) {
    return m_slots.array[b];
  }
  if (b < kArrayBuckets) {
    return m_slots.segments[0][b];
  }
  const unsigned top = highest_set_bit(b);
  return m_slots
      .segments[top - (kArrayBucketsBit - 1)][b - (std::uint64_t{1} << top)];
}

// The chain's elements belong to the table, const or not; the end element
// is the only one held in the table object itself.
ChainLink* OBJ_HASH_TABLE::before(std::uint64_t b) const noexcept {
  if (b == m_bucket_count) {
    return m_last;
  }
  return m_bucket_count == 1 ? const_cast<ChainLink*>(&m_end) : slot(b).before;
}

void OBJ_HASH_TABLE::set_before(std::uint64_t b, ChainLink* element) noexcept {
  if (b == m_bucket_count) {
    m_last = element;
  } else {
    slot(b).before = element;
  }
}

void OBJ_HASH_TABLE::free_entries() noexcept {
  ObjHashEntryBlock* block = m_blocks.newest;
  while (block != nullptr) {
    ObjHashEntryBlock* const next = block->next;
    ::operator delete(block);
    block = next;
  }
  m_blocks = {nullptr, nullptr, nullptr};
  m_end.next = &m_end;
  m_last = &m_end;
  m_count = 0;
}

// `bytes` of the block being carved, or of a new block when they do not fit
// there: room for `entries_ahead` entries of this size, within
// kLargestBlockBytes, or exactly this entry when it is larger. Carving goes
// on in whichever of the two blocks has more room left.
char* OBJ_HASH_TABLE::carve(std::size_t bytes, std::uint64_t entries_ahead) {
  const auto room = static_cast<std::size_t>(m_blocks.limit - m_blocks.free);
  if (room >= bytes) {
    char* const place = m_blocks.free;
    m_blocks.free += bytes;
    return place;
  }
  std::size_t payload = bytes;
  if (bytes < kLargestBlockBytes) {
    const std::uint64_t fit = kLargestBlockBytes / bytes;
    payload *= static_cast<std::size_t>(
        std::max<std::uint64_t>(1, std::min(entries_ahead, fit)));
  }
  auto* const block = static_cast<ObjHashEntryBlock*>(
      ::operator new(sizeof(ObjHashEntryBlock) + payload));
  block->next = m_blocks.newest;
#ifndef NDEBUG
  block->bytes = payload;
#endif
  m_blocks.newest = block;
  char* const place = reinterpret_cast<char*>(block + 1);
  if (payload - bytes > room) {
    m_blocks.free = place + bytes;
    m_blocks.limit = place + payload;
  }
  return place;
}

ObjHashEntry* OBJ_HASH_TABLE::make_entry(const char* key, std::size_t size,
                                         std::uint64_t hash, ZAND_OBJ* value,
                                         std::uint64_t entries_ahead) {
  char* const place = carve(entry_bytes(size), entries_ahead);
  auto* const made = new (place) ObjHashEntry{{nullptr}, hash, value, size};
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
  const ChainLink* p = m_end.next;
  const ChainLink* stop = &m_end;
  if (m_bucket_count > 1) {
    const std::uint64_t b = bucket_of(hash);
    const ObjHashSlot& head = slot(b);
    if ((head.signature & signature_bit(hash)) == 0) {
      return nullptr;
    }
    p = head.before->next;
    if (b + 1 < m_bucket_count) {
      stop = slot(b + 1).before->next;
    }
  }
  for (; p != stop; p = p->next) {
    const ObjHashEntry* const e = entry(p);
    if (e->hash == hash) {
      const int c = key_compare(e->key(), e->key_size, key.c_str(), key.size());
      if (c >= 0) {
        return c == 0 ? const_cast<ObjHashEntry*>(e) : nullptr;
      }
    }
  }
  return nullptr;
}

ObjHashEntry* OBJ_HASH_TABLE::find_entry(
    const std::string& key) const noexcept {
  if (m_count == 0) {  // an empty map is asked often; no key need be hashed
    return nullptr;
  }
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
  ensure_within_limit(m_count + 1, kMaxEntries, kListTooLong);
  const bool grows = m_bucket_count <= m_count / 4;
  SlotGrowth growth;
  if (grows) {
    ensure_within_limit(slots_for_mask(mask_for(m_bucket_count + 1)), kMaxSlots,
                        kVectorTooLong);
    prepare_growth(growth);
  }
  ObjHashEntry* const made =
      make_entry(key.data(), key.size(), hash, value, m_count / 4);
  if (grows) {
    add_bucket(growth);
  }
  link_entry(made, bucket_of(hash));
  return true;
}

// Links a new entry into bucket b, right after the last smaller key, and
// counts it. The buckets after b that began right after the element it
// follows now begin after it.
void OBJ_HASH_TABLE::link_entry(ObjHashEntry* made, std::uint64_t b) noexcept {
  ChainLink* after = before(b);
  const ChainLink* const stop = before(b + 1)->next;
  const SoughtKey sought(made->key(), made->key_size);
  while (after->next != stop &&
         sought.compare_stored(entry(after->next)->key(),
                               entry(after->next)->key_size) < 0) {
    after = after->next;
  }
  made->next = after->next;
  after->next = made;
  for (std::uint64_t x = b + 1; x <= m_bucket_count && before(x) == after;
       ++x) {
    set_before(x, made);
  }
  if (m_bucket_count > 1) {
    slot(b).signature |= signature_bit(made->hash);
  }
  ++m_count;
}

// Links the run from first to last, already linked among themselves, in at
// the end of the chain.
void OBJ_HASH_TABLE::append_run(ChainLink* first, ChainLink* last) noexcept {
  m_last->next = first;
  last->next = &m_end;
  m_last = last;
}

// Allocates what one more bucket's slot needs, if anything.
void OBJ_HASH_TABLE::prepare_growth(SlotGrowth& growth) const {
  const std::uint64_t n = m_bucket_count;  // the new bucket's number
  if (n + 1 <= kArrayBuckets) {
    if (n == 1 || array_slots(n + 1) > array_slots(n)) {
      growth.slots = new ObjHashSlot[array_slots(n + 1)];
    }
    return;
  }
  const unsigned k = segment_of(n);
  if (n <= kArrayBuckets || k > segment_of(n - 1)) {
    growth.directory = new ObjHashSlot* [k + 1] {};
    growth.slots = new ObjHashSlot[segment_slots(k)];
  }
}

// Adds bucket n = bucket_count, with the slot storage prepare_growth made,
// by splitting bucket s: its entries whose hash selects n leave it in their
// order and form bucket n at the end of the chain. Nothing here can fail.
void OBJ_HASH_TABLE::add_bucket(SlotGrowth& growth) noexcept {
  const std::uint64_t n = m_bucket_count;
  if (growth.directory != nullptr) {  // a new segment
    const unsigned k = segment_of(n);
    if (n <= kArrayBuckets) {
      growth.directory[0] = m_slots.array;  // the array becomes segment 0
    } else {
      std::copy(m_slots.segments, m_slots.segments + k, growth.directory);
      delete[] m_slots.segments;
    }
    growth.directory[k] = growth.slots;
    m_slots.segments = growth.directory;
  } else if (growth.slots != nullptr) {  // a longer array
    if (n > 1) {
      std::copy(m_slots.array, m_slots.array + n, growth.slots);
      delete[] m_slots.array;
    }
    m_slots.array = growth.slots;
  }
  growth.slots = nullptr;
  growth.directory = nullptr;
  ++m_bucket_count;
  if (n == 1) {  // the first slots: bucket 0's signature comes below
    slot(0).before = &m_end;
  }
  slot(n) = {m_last, 0};  // the new bucket, empty, after all the others

  const std::uint64_t mask = mask_for(m_bucket_count);
  const std::uint64_t s = n - (mask >> 1) - 1;
  ChainLink* const old_last = before(s + 1);  // bucket s's last element
  const ChainLink* const stop = old_last->next;
  ChainLink* kept = before(s);  // the last element kept so far
  ChainLink* moved_first = nullptr;
  ChainLink* moved_last = nullptr;
  std::uint64_t kept_signature = 0;
  std::uint64_t moved_signature = 0;
  for (ChainLink* p = kept->next; p != stop;) {
    ChainLink* const next = p->next;
    const std::uint64_t hash = entry(p)->hash;
    if ((hash & mask) == s) {
      kept_signature |= signature_bit(hash);
      kept = p;
    } else {
      moved_signature |= signature_bit(hash);
      kept->next = next;
      if (moved_last != nullptr) {
        moved_last->next = p;
      } else {
        moved_first = p;
      }
      moved_last = p;
    }
    p = next;
  }
  // Bucket s now ends at its last kept entry (or where it began); the
  // buckets that began after its old last element begin there.
  if (kept != old_last) {
    for (std::uint64_t x = s + 1; x <= m_bucket_count && before(x) == old_last;
         ++x) {
      set_before(x, kept);
    }
  }
  if (moved_first != nullptr) {
    append_run(moved_first, moved_last);
  }
  slot(s).signature = kept_signature;
  slot(n).signature = moved_signature;
}

void OBJ_HASH_TABLE::clear_entries() noexcept {
  free_entries();
  release_slots(m_slots, m_bucket_count);
  m_slots.array = nullptr;
  m_bucket_count = 1;
}

void OBJ_HASH_TABLE::copy_from(const OBJ_HASH_TABLE& source) {
  const std::uint64_t buckets = source.m_bucket_count;
  try {
    const auto storage = allocate_slots<SlotStorage>(buckets);
    free_entries();
    release_slots(m_slots, m_bucket_count);
    m_slots = storage;
    m_bucket_count = buckets;
    copy_entries(source);
  } catch (...) {
    // An empty chain, with every bucket empty, is a valid table of any
    // bucket count: this one's own, or the source's once its slots are in.
    free_entries();
    for (std::uint64_t b = 0; m_bucket_count > 1 && b < m_bucket_count; ++b) {
      slot(b) = {&m_end, 0};
    }
    throw;
  }
}

// Appends a copy of every entry of `source`, in its chain order, to this
// empty chain, and fills the slots of the same bucket count.
void OBJ_HASH_TABLE::copy_entries(const OBJ_HASH_TABLE& source) {
  const std::uint64_t buckets = m_bucket_count;
  // Slot i of the copy takes the image of the source's before(i), which
  // comes up in chain order: the end element, then entries.
  std::uint64_t i = 0;
  const auto fill_slots = [&](const ChainLink* original, ChainLink* image) {
    for (; i < buckets && source.before(i) == original; ++i) {
      slot(i) = {image, source.slot(i).signature};
    }
  };
  if (buckets > 1) {
    fill_slots(&source.m_end, &m_end);
  }
  // One walk of the source chain: each entry is copied behind the last, so
  // that the copies lie in chain order in memory too.
  for (const ChainLink* from = source.first(); from != source.end();
       from = from->next) {
    prefetch(from->next);
    const ObjHashEntry* const original = entry(from);
    ObjHashEntry* const copy =
        make_entry(original->key(), original->key_size, original->hash,
                   original->value, source.m_count - m_count);
    append_run(copy, copy);
    ++m_count;
    if (buckets > 1) {
      fill_slots(from, copy);
    }
  }
}

#ifndef NDEBUG
std::string OBJ_HASH_TABLE::invariant_violation() const {
  const std::uint64_t bc = m_bucket_count;
  if (bc == 0 || bc + 1 > slot_count() ||
      (bc > 1 && slot(0).before != &m_end)) {
    return "the bucket count or slot 0 is wrong";
  }
  // Every entry, with its key, lies inside one of the table's blocks.
  std::vector<std::pair<const char*, const char*>> blocks;
  for (const ObjHashEntryBlock* block = m_blocks.newest; block != nullptr;
       block = block->next) {
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
  if (m_blocks.free != m_blocks.limit &&
      !in_a_block(m_blocks.free,
                  static_cast<std::size_t>(m_blocks.limit - m_blocks.free))) {
    return "the free part of the entry block lies outside every block";
  }
  // One walk of the chain, bucket by bucket.
  std::uint64_t count = 0;
  const ChainLink* last = &m_end;
  for (std::uint64_t b = 0; b < bc; ++b) {
    if (before(b) != last) {
      return "slot " + std::to_string(b) + " does not hold the element " +
             "before its bucket";
    }
    std::uint64_t signature = 0;
    for (const ObjHashEntry* prev = nullptr;
         last->next != &m_end && bucket_of(entry(last->next)->hash) == b;
         ++count) {
      if (count == m_count) {
        return "the chain holds more entries than counted";
      }
      const ObjHashEntry* const e = entry(last->next);
      if (!in_a_block(e, sizeof(ObjHashEntry) + e->key_size + 1)) {
        return "an entry of bucket " + std::to_string(b) +
               " lies outside every block of its table";
      }
      if (e->key()[e->key_size] != '\0' ||
          e->hash != key_hash(e->key(), e->key_size)) {
        return "an entry of bucket " + std::to_string(b) + " is damaged";
      }
      if (prev != nullptr && key_compare(prev->key(), prev->key_size, e->key(),
                                         e->key_size) >= 0) {
        return "bucket " + std::to_string(b) + " is not strictly ascending";
      }
      signature |= signature_bit(e->hash);
      prev = e;
      last = e;
    }
    if (bc > 1 && signature != slot(b).signature) {
      return "bucket " + std::to_string(b) + " has a wrong signature";
    }
  }
  if (last->next != &m_end || last != m_last || count != m_count) {
    return "the buckets do not cover the chain, in order";
  }
  return {};
}
#endif

}  // namespace zand_internal
