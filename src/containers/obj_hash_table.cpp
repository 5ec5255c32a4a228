// The linear-hashing table under ZAND_OBJ_MAP. Every algorithm here keeps the
// invariants listed in its header; the chain order they fix is the map's
// walk order, which callers store and compare across platforms.
#include "zand_stl/internal/obj_hash_table.h"

#include <algorithm>
#include <iterator>

#include "frame/length_error.h"

namespace zand_internal {

namespace {

inline unsigned fold(unsigned char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? c + 0x20U : c;
}

// Three-way form of key_less: negative, zero or positive as a sorts before,
// equal to or after b. Both keys are read through their terminating zero,
// which std::string guarantees, so the end of a key reads as a zero byte.
inline int compare_keys(const std::string& a, const std::string& b) noexcept {
  const auto* pa = reinterpret_cast<const unsigned char*>(a.c_str());
  const auto* pb = reinterpret_cast<const unsigned char*>(b.c_str());
  for (;; ++pa, ++pb) {
    const unsigned fa = fold(*pa);
    const unsigned fb = fold(*pb);
    if (fa == 0 || fa != fb) {
      return static_cast<int>(fa) - static_cast<int>(fb);
    }
  }
}

}  // namespace

OBJ_HASH_TABLE::OBJ_HASH_TABLE()
    : m_slots(kInitialSlots, m_chain.end()), m_mask(1), m_bucket_count(1) {}

OBJ_HASH_TABLE::~OBJ_HASH_TABLE() = default;

std::uint64_t OBJ_HASH_TABLE::key_hash(const std::string& key) noexcept {
  std::uint64_t h = 0;
  for (const auto* p = reinterpret_cast<const unsigned char*>(key.c_str());
       *p != 0; ++p) {
    std::uint64_t v = fold(*p);
    v -= (v & 0x80U) << 1;  // bytes 0x80-0xFF count as -128 to -1
    h = h * 17 + v;
  }
  return h;
}

bool OBJ_HASH_TABLE::key_less(const std::string& a,
                              const std::string& b) noexcept {
  return compare_keys(a, b) < 0;
}

std::uint64_t OBJ_HASH_TABLE::bucket_of(std::uint64_t hash) const noexcept {
  std::uint64_t b = hash & m_mask;
  if (b >= m_bucket_count) {
    b -= (m_mask >> 1) + 1;
  }
  return b;
}

OBJ_HASH_TABLE::Position OBJ_HASH_TABLE::find_entry(
    const std::string& key) noexcept {
  return find_hashed(key, key_hash(key));
}

OBJ_HASH_TABLE::ConstPosition OBJ_HASH_TABLE::find_entry(
    const std::string& key) const noexcept {
  return const_cast<OBJ_HASH_TABLE*>(this)->find_hashed(key, key_hash(key));
}

OBJ_HASH_TABLE::Position OBJ_HASH_TABLE::find_hashed(
    const std::string& key, std::uint64_t hash) noexcept {
  const std::uint64_t b = bucket_of(hash);
  const Position stop = m_slots[b + 1];
  for (Position p = m_slots[b]; p != stop; ++p) {
    const int c = compare_keys(p->key, key);
    if (c >= 0) {
      return c == 0 ? p : m_chain.end();
    }
  }
  return m_chain.end();
}

std::pair<OBJ_HASH_TABLE::Position, bool> OBJ_HASH_TABLE::insert_entry(
    const std::string& key, ZAND_OBJ* value) {
  return insert_hashed(key, key_hash(key), value);
}

std::pair<OBJ_HASH_TABLE::Position, bool> OBJ_HASH_TABLE::insert_hashed(
    const std::string& key, std::uint64_t hash, ZAND_OBJ* value) {
  // The entry, key copy included, is made before the table changes at all,
  // so that running out of memory leaves entries, buckets and walk order
  // exactly as they were. It is linked in below without allocating.
  Chain made;
  made.emplace_back(key, value);

  // Growth comes first, judged on the count before this insertion.
  if (m_bucket_count <= m_chain.size() / 4) {
    add_bucket();
  }
  const std::uint64_t b = bucket_of(hash);
  const Position front = m_slots[b];

  // The new entry goes before the first entry of the bucket whose key is
  // greater, i.e. right after the last smaller one.
  Position p = m_slots[b + 1];
  while (p != front) {
    const Position before = std::prev(p);
    const int c = compare_keys(key, before->key);
    if (c == 0) {
      return {before, false};
    }
    if (c > 0) {
      break;
    }
    p = before;
  }

  ensure_within_limit(m_chain.size() + 1, kMaxEntries, kListTooLong);
  const Position entry = made.begin();
  m_chain.splice(p, made, entry);

  // A new first entry of bucket b also becomes the slot of the empty buckets
  // right before it, which held p.
  if (p == front) {
    for (std::uint64_t i = b + 1; i-- > 0 && m_slots[i] == p;) {
      m_slots[i] = entry;
    }
  }
  return {entry, true};
}

// Only lengthening the slot table can fail, and it happens before anything
// else changes.
void OBJ_HASH_TABLE::add_bucket() {
  const std::uint64_t slots = m_slots.size();
  if (slots - 1 <= m_bucket_count) {
    const std::uint64_t mask = 2 * (slots - 1) - 1;
    ensure_within_limit(mask + 2, kMaxSlots, kVectorTooLong);
    m_slots.resize(mask + 2, m_chain.end());
    m_mask = mask;
  } else if (m_mask < m_bucket_count) {
    m_mask = 2 * m_mask + 1;
  }

  // Split bucket s: its entries whose hash selects the new, highest bucket n
  // are relinked, in their order, to the end of the chain.
  const std::uint64_t s = m_bucket_count - (m_mask >> 1) - 1;
  const std::uint64_t n = m_bucket_count;
  const Position chain_end = m_chain.end();
  Position e = m_slots[s];
  while (e != m_slots[s + 1]) {
    if ((key_hash(e->key) & m_mask) == s) {
      ++e;
      continue;
    }
    const Position q = std::next(e);
    if (q != chain_end) {
      if (e == m_slots[s]) {
        for (std::uint64_t i = s + 1; i-- > 0 && m_slots[i] == e;) {
          m_slots[i] = q;
        }
      }
      m_chain.splice(chain_end, m_chain, e);
      m_slots[n + 1] = chain_end;
    }
    // Bucket n, and the empty buckets before it, now begin at e.
    for (std::uint64_t x = n; x > s && m_slots[x] == chain_end; --x) {
      m_slots[x] = e;
    }
    if (q == chain_end) {
      break;
    }
    e = q;
  }
  ++m_bucket_count;
}

void OBJ_HASH_TABLE::clear_entries() noexcept {
  m_chain.clear();
  // Shrinking and refilling within the existing capacity cannot fail.
  m_slots.resize(kInitialSlots, m_chain.end());
  std::fill(m_slots.begin(), m_slots.end(), m_chain.end());
  m_mask = 1;
  m_bucket_count = 1;
}

void OBJ_HASH_TABLE::copy_from(const OBJ_HASH_TABLE& source) {
  try {
    m_slots.resize(source.m_slots.size(), m_chain.end());
    m_mask = source.m_mask;
    m_bucket_count = source.m_bucket_count;
    m_chain.clear();
    for (const ObjHashEntry& entry : source.m_chain) {
      m_chain.emplace_back(entry.key, entry.value);
    }
  } catch (...) {
    // Whatever step failed, the slot count still covers bucket_count, so an
    // empty chain with every slot at the end is a valid table.
    m_chain.clear();
    std::fill(m_slots.begin(), m_slots.end(), m_chain.end());
    throw;
  }

  // Both chains walked in step: each source slot's position maps to the
  // position at the same distance from the start of this chain.
  ConstPosition from = source.m_chain.begin();
  Position to = m_chain.begin();
  for (std::size_t i = 0; i < m_slots.size(); ++i) {
    while (from != source.m_slots[i]) {
      ++from;
      ++to;
    }
    m_slots[i] = to;
  }
}

#ifndef NDEBUG
std::string OBJ_HASH_TABLE::invariant_violation() const {
  const std::uint64_t bc = m_bucket_count;
  if (m_slots.size() < bc + 1) {
    return "fewer than bucket_count + 1 slots";
  }
  if (((m_mask + 1) & m_mask) != 0 || bc == 0 || bc > m_mask + 1 ||
      (m_mask + 1) / 2 > bc) {
    return "mask and bucket_count do not fit together";
  }
  for (std::size_t x = bc; x < m_slots.size(); ++x) {
    if (m_slots[x] != m_chain.end()) {
      return "slot " + std::to_string(x) + " past the buckets is not the end";
    }
  }
  if (ConstPosition(m_slots[0]) != m_chain.begin()) {
    return "slot 0 does not hold the first position";
  }
  std::uint64_t count = 0;
  ConstPosition p = m_chain.begin();
  for (std::uint64_t b = 0; b < bc; ++b) {
    if (p != ConstPosition(m_slots[b])) {
      return "bucket " + std::to_string(b) + " does not start at its slot";
    }
    const ConstPosition stop = m_slots[b + 1];
    for (ConstPosition prev = m_chain.end(); p != stop; prev = p++, ++count) {
      if (p == m_chain.end()) {
        return "bucket " + std::to_string(b) + " runs past the chain's end";
      }
      if (bucket_of(key_hash(p->key)) != b) {
        return "key '" + p->key + "' lies in the wrong bucket";
      }
      if (prev != m_chain.end() && !key_less(prev->key, p->key)) {
        return "bucket " + std::to_string(b) + " is not strictly ascending";
      }
    }
  }
  if (p != m_chain.end() || count != m_chain.size()) {
    return "the buckets do not cover the chain";
  }
  return {};
}
#endif

}  // namespace zand_internal
