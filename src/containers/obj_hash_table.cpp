// The linear-hashing algorithm of the table under ZAND_OBJ_MAP: find,
// insert, grow, walk, copy and clear, over its slot table, entry blocks and
// buckets. Every step keeps the invariants listed in its header; the walk
// order they fix is the map's, which callers store and compare across
// platforms.
#include "zand_stl/internal/obj_hash_table.h"

#include <algorithm>

#include "containers/obj_hash_bucket.h"
#include "containers/obj_hash_key.h"
#include "containers/obj_hash_slot_table_heads.h"
#include "containers/obj_hash_table_walk.h"
#include "frame/length_error.h"
#include "util/builtins.h"

namespace zand_internal {

namespace {

constexpr std::size_t kSmall = ObjHashSlotTable::kSmallEntries;
static_assert(kMaxMapBuckets < std::uint64_t{1} << kWalkPlaceShift);

// The mask that goes with a bucket count: one less than the smallest power
// of two that is at least `buckets`, and at least 1.
std::uint64_t mask_for(std::uint64_t buckets) noexcept {
  return (std::uint64_t{2} << highest_set_bit((buckets - 1) | 1)) - 1;
}

std::uint64_t bucket_in(std::uint64_t hash, std::uint64_t mask,
                        std::uint64_t buckets) noexcept {
  std::uint64_t b = hash & mask;
  if (b >= buckets) {
    b -= (mask >> 1) + 1;
  }
  return b;
}

int compare(const SoughtKey& key, const ObjHashEntry* entry) noexcept {
  return key.compare_to(entry->key(), entry->key_size);
}

// The entry of `key` among the single bucket's `count` entries, or null.
ObjHashEntry* find_small(ObjHashEntry* const* small, std::uint64_t count,
                         const std::string& key, std::uint64_t hash) noexcept {
  for (std::uint64_t i = 0; i < count; ++i) {
    if (small[i]->hash == hash &&
        key_compare(small[i]->key(), small[i]->key_size, key.c_str(),
                    key.size()) == 0) {
      return small[i];
    }
  }
  return nullptr;
}

}  // namespace

std::uint64_t OBJ_HASH_TABLE::mask() const noexcept {
  return mask_for(bucket_count());
}

std::uint64_t OBJ_HASH_TABLE::bucket_of(std::uint64_t hash) const noexcept {
  return bucket_in(hash, mask(), bucket_count());
}

ObjHashEntry* OBJ_HASH_TABLE::find_entry(
    const std::string& key) const noexcept {
  if (m_count == 0) {  // an empty map is asked often; no key need be hashed
    return nullptr;
  }
  const std::uint64_t hash = key_hash(key.c_str(), key.size());
  if (bucket_count() == 1) {
    return find_small(m_slots.small(), m_count, key, hash);
  }
  return obj_hash_bucket::find(m_slots[bucket_of(hash)], key.c_str(),
                               key.size(), hash);
}

bool OBJ_HASH_TABLE::insert_or_assign(const std::string& key, ZAND_OBJ* value) {
  const std::uint64_t hash = key_hash(key.c_str(), key.size());
  const SoughtKey sought(key.c_str(), key.size());
  const std::uint64_t buckets = bucket_count();
  const std::uint64_t b = buckets == 1 ? 0 : bucket_of(hash);
  obj_hash_bucket::Place place;
  if (buckets == 1) {
    place.found = find_small(m_slots.small(), m_count, key, hash);
  } else {
    obj_hash_bucket::locate(m_slots[b], sought, hash, place);
  }
  if (place.found != nullptr) {
    place.found->value = value;
    return false;
  }

  // Whatever can fail comes before any change: the limits, what the
  // bucket and a new bucket need, and the entry with its key.
  ensure_within_limit(m_count + 1, kMaxMapEntries, kListTooLong);
  const bool grows = buckets <= m_count / 4;
  if (grows) {
    ensure_within_limit(buckets + 1, kMaxMapBuckets, kVectorTooLong);
  }
  ObjHashSlotTable::Growth growth;
  if (grows) {
    m_slots.prepare_growth(growth);
  }
  if (buckets == 1) {
    ObjHashEntry* const made =
        m_blocks.make(key.data(), key.size(), hash, value, entries_ahead());
    if (!grows) {
      insert_small(made);
      return true;
    }
    // The four entries and the new one, in key order, become two buckets
    // by their lowest hash bit, each with room for them all.
    ObjHashEntry* entries[kSmall + 1];
    std::size_t at = kSmall;
    for (; at > 0 && compare(sought, m_slots.small()[at - 1]) < 0; --at) {
      entries[at] = m_slots.small()[at - 1];
    }
    entries[at] = made;
    for (std::size_t i = 0; i < at; ++i) {
      entries[i] = m_slots.small()[i];
    }
    m_slots.add_bucket(growth);
    ObjHashSpares none;
    obj_hash_bucket::Appender even(m_slots[0]);
    obj_hash_bucket::Appender odd(m_slots[1]);
    for (ObjHashEntry* const entry : entries) {
      ((entry->hash & 1) != 0 ? odd : even).append(entry, none);
    }
    mark_filled(0);
    mark_filled(1);
    ++m_count;
    return true;
  }
  ObjHashSpares spares;
  obj_hash_bucket::reserve_insertion(m_slots[b], place, spares);
  ObjHashEntry* const made =
      m_blocks.make(key.data(), key.size(), hash, value, entries_ahead());

  m_slots.walk().entry = nullptr;  // leaves are about to change

  // Nothing below can fail. The entry goes into its bucket first, then
  // the new bucket n takes its entries from bucket s: the end is the same
  // as growing first, and the bucket it goes into is known before.
  const bool was_empty = obj_hash_bucket::first_leaf(m_slots[b]) == nullptr;
  const bool long_chain =
      obj_hash_bucket::insert(m_slots[b], made, sought, place, spares);
  if (was_empty) {
    m_slots.mark(b, true);
  }
  ++m_count;
  std::uint64_t split = buckets;  // none
  if (grows) {
    m_slots.add_bucket(growth);
    const std::uint64_t half = (mask() >> 1) + 1;
    split = buckets - half;
    obj_hash_bucket::split(m_slots[split], m_slots[buckets], half, spares);
    mark_filled(split);
    mark_filled(buckets);
  }
  if (long_chain && b != split) {
    obj_hash_bucket::index_if_long(m_slots[b], spares);
  }
  return true;
}

// How many entries a new entry block should have room for: one at a time
// while the table fits in one bucket, so that a map of a key or two holds
// little more than its keys; from the second bucket on, the four of its
// first growth, then half as many as the table holds, so that blocks grow
// with it and leave at most a third of their room unused.
std::uint64_t OBJ_HASH_TABLE::entries_ahead() const noexcept {
  return m_count < kSmall ? 1 : std::max<std::uint64_t>(kSmall, m_count / 2);
}

// Puts a new entry among the single bucket's, in key order.
void OBJ_HASH_TABLE::insert_small(ObjHashEntry* entry) noexcept {
  ObjHashEntry** const small = m_slots.small();
  const SoughtKey key(entry->key(), entry->key_size);
  std::uint64_t place = m_count;
  while (place > 0 && compare(key, small[place - 1]) < 0) {
    small[place] = small[place - 1];
    --place;
  }
  small[place] = entry;
  ++m_count;
}

ObjHashEntry* OBJ_HASH_TABLE::first_entry() noexcept {
  return bucket_count() == 1 ? m_slots.small()[0] : first_from(0);
}

// Makes the walk stand at the entry at `place` of `leaf`, in `bucket`, and
// returns it.
ObjHashEntry* OBJ_HASH_TABLE::stand_at(const ObjHashLeaf* leaf,
                                       std::size_t place,
                                       std::uint64_t bucket) noexcept {
  ObjHashEntry* const entry = leaf->chain.entries[place];
  m_slots.walk() = {entry, leaf,
                    bucket | std::uint64_t{place} << kWalkPlaceShift};
  return entry;
}

// Marks bucket b as holding an entry or none, as it does.
void OBJ_HASH_TABLE::mark_filled(std::uint64_t b) noexcept {
  m_slots.mark(b, obj_hash_bucket::first_leaf(m_slots[b]) != nullptr);
}

// The first entry of buckets b, b + 1, ..., or null.
ObjHashEntry* OBJ_HASH_TABLE::first_from(std::uint64_t b) noexcept {
  const std::uint64_t buckets = bucket_count();
  for (b = m_slots.next_filled(b); b < buckets;
       b = m_slots.next_filled(b + 1)) {
    if (const ObjHashLeaf* const leaf =
            obj_hash_bucket::first_leaf(m_slots[b])) {
      return stand_at(leaf, 0, b);
    }
  }
  m_slots.walk().entry = nullptr;
  return nullptr;
}

// The step next() leaves to the table's own code: with one bucket, from an
// entry the walk does not stand at, and from the last entry of a leaf.
ObjHashEntry* OBJ_HASH_TABLE::next_beyond(const ObjHashEntry* entry) noexcept {
  if (bucket_count() == 1) {
    ObjHashEntry* const* const small = m_slots.small();
    for (std::uint64_t i = 0; i + 1 < m_count; ++i) {
      if (small[i] == entry) {
        return small[i + 1];
      }
    }
    return nullptr;
  }
  // Where the entry lies: where the walk stands, when it returned it last;
  // otherwise from its bucket.
  const ObjHashWalkStep& walk = m_slots.walk();
  const ObjHashLeaf* leaf = walk.leaf;
  std::uint64_t b = walk.bucket & ((std::uint64_t{1} << kWalkPlaceShift) - 1);
  std::size_t place = static_cast<std::size_t>(walk.bucket >> kWalkPlaceShift);
  if (walk.entry != entry) {
    b = bucket_of(entry->hash);
    leaf = obj_hash_bucket::leaf_of(m_slots[b], entry);
    place = static_cast<std::size_t>(
        std::find(leaf->chain.entries, leaf->chain.entries + leaf->count,
                  entry) -
        leaf->chain.entries);
  }
  // A walk reads each entry it is given: the one after it is asked for now.
  if (place + 1 < leaf->count) {
    if (place + 2 < leaf->count) {
      prefetch(leaf->chain.entries[place + 2]);
    }
    return stand_at(leaf, place + 1, b);
  }
  if (const ObjHashLeaf* const following = leaf->chain.next) {
    return stand_at(following, 0, b);
  }
  return first_from(b + 1);
}

// Gives every bucket's leaves and index nodes back to the heap; the heads
// stay, empty.
void OBJ_HASH_TABLE::release_buckets() noexcept {
  m_slots.walk().entry = nullptr;
  ObjHashSpares freed;
  for (std::uint64_t b = 0, buckets = bucket_count(); b < buckets; ++b) {
    obj_hash_bucket::release(m_slots[b], freed);
  }
  m_slots.clear_marks();
}

void OBJ_HASH_TABLE::free_entries() noexcept {
  m_blocks.release();
  m_count = 0;
}

void OBJ_HASH_TABLE::clear_entries() noexcept {
  if (bucket_count() != 1) {
    release_buckets();
  }
  m_slots.release();
  free_entries();
}

void OBJ_HASH_TABLE::copy_from(const OBJ_HASH_TABLE& source) {
  try {
    // Empty first, so that this table is valid whatever fails: with its
    // own bucket count until the source's slots are in.
    if (bucket_count() != 1) {
      release_buckets();
    }
    free_entries();
    m_slots.reset(source.bucket_count());
    copy_entries(source);
  } catch (...) {
    if (bucket_count() != 1) {
      release_buckets();
    }
    free_entries();
    throw;
  }
}

// Copies every entry of `source`, in walk order, into this empty table of
// the same bucket count, bucket by bucket, indexing the buckets that are
// long. Each copy is carved behind the last, so that the copies lie in walk
// order in memory too.
void OBJ_HASH_TABLE::copy_entries(const OBJ_HASH_TABLE& source) {
  const auto copy = [&](const ObjHashEntry* original) {
    return m_blocks.make(original->key(), original->key_size, original->hash,
                         original->value, source.m_count - m_count);
  };
  if (bucket_count() == 1) {
    for (std::uint64_t i = 0; i < source.m_count; ++i) {
      m_slots.small()[i] = copy(source.m_slots.small()[i]);
      ++m_count;
    }
    return;
  }
  ObjHashSpares spares;
  for (std::uint64_t b = 0, buckets = bucket_count(); b < buckets; ++b) {
    ObjHashLeaf& head = m_slots[b];
    obj_hash_bucket::Appender to(head);
    obj_hash_bucket::for_each(source.m_slots[b],
                              [&](const ObjHashEntry* original) {
                                if (to.full()) {
                                  spares.reserve(1, 0);
                                }
                                to.append(copy(original), spares);
                                ++m_count;
                              });
    obj_hash_bucket::index_long(head, spares);
    mark_filled(b);
  }
}

}  // namespace zand_internal
