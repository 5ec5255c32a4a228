// The chain algorithm of the linear-hashing table under ZAND_OBJ_MAP: find,
// insert, split, copy and clear, over its slot table and entry blocks. Every
// step keeps the invariants listed in its header; the chain order they fix
// is the map's walk order, which callers store and compare across platforms.
#include "zand_stl/internal/obj_hash_table.h"

#include "containers/obj_hash_key.h"
#include "frame/length_error.h"
#include "util/builtins.h"

namespace zand_internal {

namespace {

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

}  // namespace

std::uint64_t OBJ_HASH_TABLE::mask() const noexcept {
  return mask_for(bucket_count());
}

std::uint64_t OBJ_HASH_TABLE::bucket_of(std::uint64_t hash) const noexcept {
  return bucket_in(hash, mask(), bucket_count());
}

// The chain's elements belong to the table, const or not; the end element
// is the only one held in the table object itself.
ChainLink* OBJ_HASH_TABLE::before(std::uint64_t b) const noexcept {
  if (b == bucket_count()) {
    return m_last;
  }
  return bucket_count() == 1 ? const_cast<ChainLink*>(&m_end)
                             : m_slots[b].before;
}

void OBJ_HASH_TABLE::set_before(std::uint64_t b, ChainLink* element) noexcept {
  if (b == bucket_count()) {
    m_last = element;
  } else {
    m_slots[b].before = element;
  }
}

void OBJ_HASH_TABLE::free_entries() noexcept {
  m_blocks.release();
  m_end.next = &m_end;
  m_last = &m_end;
  m_count = 0;
}

// The one lookup: the bucket's signature first, then only entries of equal
// hash have their keys compared. The bucket ascends in key order, so a
// stored key of equal hash past the sought one ends the search; entries of
// other hashes are passed over whatever their keys.
ObjHashEntry* OBJ_HASH_TABLE::find_hashed(const std::string& key,
                                          std::uint64_t hash) const noexcept {
  const ChainLink* p = m_end.next;
  const ChainLink* stop = &m_end;
  const std::uint64_t buckets = bucket_count();
  if (buckets > 1) {
    const std::uint64_t b = bucket_of(hash);
    const ObjHashSlot& head = m_slots[b];
    if ((head.signature & signature_bit(hash)) == 0) {
      return nullptr;
    }
    p = head.before->next;
    if (b + 1 < buckets) {
      stop = m_slots[b + 1].before->next;
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
  ensure_within_limit(m_count + 1, kMaxMapEntries, kListTooLong);
  const bool grows = bucket_count() <= m_count / 4;
  ObjHashSlotTable::Growth growth;
  if (grows) {
    ensure_within_limit(bucket_count() + 1, kMaxMapBuckets, kVectorTooLong);
    m_slots.prepare_growth(growth);
  }
  ObjHashEntry* const made =
      m_blocks.make(key.data(), key.size(), hash, value, m_count / 4);
  if (grows) {
    m_slots.add_bucket(growth);
    split_bucket();
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
         sought.compare_to(entry(after->next)->key(),
                           entry(after->next)->key_size) > 0) {
    after = after->next;
  }
  made->next = after->next;
  after->next = made;
  const std::uint64_t buckets = bucket_count();
  for (std::uint64_t x = b + 1; x <= buckets && before(x) == after; ++x) {
    set_before(x, made);
  }
  if (buckets > 1) {
    m_slots[b].signature |= signature_bit(made->hash);
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

// Fills the slot of the bucket the slot table has just added, n, by
// splitting bucket s: its entries whose hash selects n leave it in their
// order and form bucket n at the end of the chain. Nothing here can fail.
void OBJ_HASH_TABLE::split_bucket() noexcept {
  const std::uint64_t buckets = bucket_count();
  const std::uint64_t n = buckets - 1;
  if (n == 1) {  // the first slots: bucket 0's signature comes below
    m_slots[0].before = &m_end;
  }
  m_slots[n] = {m_last, 0};  // empty, after all the others

  const std::uint64_t mask = mask_for(buckets);
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
    for (std::uint64_t x = s + 1; x <= buckets && before(x) == old_last; ++x) {
      set_before(x, kept);
    }
  }
  if (moved_first != nullptr) {
    append_run(moved_first, moved_last);
  }
  m_slots[s].signature = kept_signature;
  m_slots[n].signature = moved_signature;
}

void OBJ_HASH_TABLE::clear_entries() noexcept {
  free_entries();
  m_slots.release();
}

void OBJ_HASH_TABLE::copy_from(const OBJ_HASH_TABLE& source) {
  try {
    m_slots.reset(source.bucket_count());
    free_entries();
    copy_entries(source);
  } catch (...) {
    // An empty chain, with every bucket empty, is a valid table of any
    // bucket count: this one's own, or the source's once its slots are in.
    free_entries();
    for (std::uint64_t b = 0; bucket_count() > 1 && b < bucket_count(); ++b) {
      m_slots[b] = {&m_end, 0};
    }
    throw;
  }
}

// Appends a copy of every entry of `source`, in its chain order, to this
// empty chain, and fills the slots of the same bucket count.
void OBJ_HASH_TABLE::copy_entries(const OBJ_HASH_TABLE& source) {
  const std::uint64_t buckets = bucket_count();
  // Slot i of the copy takes the image of the source's before(i), which
  // comes up in chain order: the end element, then entries.
  std::uint64_t i = 0;
  const auto fill_slots = [&](const ChainLink* original, ChainLink* image) {
    for (; i < buckets && source.before(i) == original; ++i) {
      m_slots[i] = {image, source.m_slots[i].signature};
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
        m_blocks.make(original->key(), original->key_size, original->hash,
                      original->value, source.m_count - m_count);
    append_run(copy, copy);
    ++m_count;
    if (buckets > 1) {
      fill_slots(from, copy);
    }
  }
}

}  // namespace zand_internal
