// The linear-hashing table under ZAND_OBJ_MAP. Every algorithm here keeps the
// invariants listed in its header; the chain order they fix is the map's
// walk order, which callers store and compare across platforms.
#include "zand_stl/internal/obj_hash_table.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "frame/builtins.h"
#include "frame/length_error.h"

namespace zand_internal {

namespace {

// ---- Keys, eight bytes at a time.
//
// A key is read up to its first zero byte and never past its terminating
// zero, which std::string guarantees at data()[size()]: size() + 1 bytes
// may be read, however much storage the string holds. The key functions
// take those bytes in 64-bit words, the key's first byte in the word's
// lowest byte, and give exactly what the byte-at-a-time definitions in the
// header give.

constexpr std::uint64_t kHighBits = 0x8080808080808080U;  // bit 7 of each byte
constexpr std::uint64_t kLow7Bits = ~kHighBits;

inline const unsigned char* bytes_of(const std::string& key) noexcept {
  return reinterpret_cast<const unsigned char*>(key.c_str());
}

template <typename Word>
inline Word load_little_endian(const unsigned char* p) noexcept {
  Word w;
  std::memcpy(&w, p, sizeof w);  // no alignment needed
  if constexpr (!kLittleEndian) {
    w = byte_swap(w);
  }
  return w;
}

// The eight bytes of a key from index `at` on, of the `span` = size() + 1
// that may be read; the bytes past the span read as zero. Near the end of
// a key of seven bytes or more, the last eight readable bytes are loaded
// and the ones before `at` shifted out, which needs no branch on how many
// are left.
inline std::uint64_t word_at(const unsigned char* key, std::size_t span,
                             std::size_t at) noexcept {
  const std::size_t left = span - at;
  if (left >= 8) {
    return load_little_endian<std::uint64_t>(key + at);
  }
  if (span >= 8) {
    return load_little_endian<std::uint64_t>(key + span - 8) >>
           (8 * (8 - left));
  }
  // A key of fewer than seven bytes, so at is 0.
  if (left >= 4) {
    // Two four-byte halves that overlap when left < 8; the bytes they
    // share are the same, so OR joins them.
    const std::uint64_t low = load_little_endian<std::uint32_t>(key);
    const std::uint64_t high =
        load_little_endian<std::uint32_t>(key + left - 4);
    return low | (high << (8 * (left - 4)));
  }
  // One to three bytes: the first, the middle and the last, some of which
  // may be one and the same byte.
  return std::uint64_t{key[0]} |
         (std::uint64_t{key[left / 2]} << (8 * (left / 2))) |
         (std::uint64_t{key[left - 1]} << (8 * (left - 1)));
}

// Bit 7 set in each byte of w that is zero, and nowhere else. Adding 0x7F
// to a byte's low seven bits carries into bit 7 unless they are all zero,
// and never into the next byte.
inline std::uint64_t zero_bytes(std::uint64_t w) noexcept {
  return ~(((w & kLow7Bits) + kLow7Bits) | w) & kHighBits;
}

inline std::uint64_t nonzero_bytes(std::uint64_t w) noexcept {
  return (((w & kLow7Bits) + kLow7Bits) | w) & kHighBits;
}

// The index of the lowest byte whose bit 7 is set in a non-zero mask.
inline unsigned first_marked_byte(std::uint64_t mask) noexcept {
  return lowest_set_bit(mask) / 8;
}

// Each byte from 0x41 to 0x5A (A-Z) plus 0x20, every other byte as it was.
// A byte below 0x80 is a capital letter when its low seven bits are at
// least 0x41 (adding 0x3F reaches bit 7) and not at least 0x5B (adding 0x25
// does not); its bit 5 is then clear, so OR adds 0x20.
inline std::uint64_t fold_word(std::uint64_t w) noexcept {
  const std::uint64_t low7 = w & kLow7Bits;
  const std::uint64_t at_least_a = low7 + 0x3F3F3F3F3F3F3F3FU;
  const std::uint64_t past_z = low7 + 0x2525252525252525U;
  const std::uint64_t capitals = at_least_a & ~past_z & ~w & kHighBits;
  return w | (capitals >> 2);
}

constexpr std::uint64_t kPowersOf17[9] = {
    1, 17, 289, 4913, 83521, 1419857, 24137569, 410338673, 6975757441};

// 128 times (17^7 + 17^6 + ... + 17^0).
constexpr std::uint64_t kSignBias = 128 * ((kPowersOf17[8] - 1) / 16);

// The sum over the eight bytes of w, each read as a number from 0 to 255,
// of byte j times 17^(7 - j): the h * 17 + byte recurrence of eight steps,
// evaluated in parallel lanes. Pairs of bytes first (16-bit lanes), then
// pairs of pairs (32-bit lanes), then the two halves. No lane overflows:
// at most 4590, 1331100 and about 1.1e11.
inline std::uint64_t weighted_byte_sum(std::uint64_t w) noexcept {
  const std::uint64_t pairs =
      (w & 0x00FF00FF00FF00FFU) * 17 + ((w >> 8) & 0x00FF00FF00FF00FFU);
  const std::uint64_t quads = (pairs & 0x0000FFFF0000FFFFU) * 289 +
                              ((pairs >> 16) & 0x0000FFFF0000FFFFU);
  return (quads & 0xFFFFFFFFU) * 83521 + (quads >> 32);
}

// h after eight more steps of h = h * 17 + byte, the bytes being those of
// a folded word, each read as a signed 8-bit number. Flipping bit 7 turns a
// signed byte s into s + 128, a number from 0 to 255; kSignBias takes the
// eight 128s away again. Everything wraps modulo 2^64, as the recurrence
// does.
inline std::uint64_t hash_word(std::uint64_t h, std::uint64_t folded) noexcept {
  return h * kPowersOf17[8] +
         (weighted_byte_sum(folded ^ kHighBits) - kSignBias);
}

// The same for only the first k bytes of the word (0 <= k <= 7): shifted to
// the top of the word, they have zero bytes in front of them, which add
// nothing to the sum (the shift is split in two so that k = 0 shifts all
// bytes out instead of shifting by 64).
inline std::uint64_t hash_prefix(std::uint64_t h, std::uint64_t folded,
                                 unsigned k) noexcept {
  const std::uint64_t top = (folded << 8) << (56 - 8 * k);
  return h * kPowersOf17[k] + (weighted_byte_sum(top ^ kHighBits) - kSignBias);
}

// The difference of the folded bytes of two words at the first byte marked
// in `stop`.
inline int byte_difference(std::uint64_t fa, std::uint64_t fb,
                           std::uint64_t stop) noexcept {
  const unsigned shift = 8 * first_marked_byte(stop);
  return static_cast<int>((fa >> shift) & 0xFF) -
         static_cast<int>((fb >> shift) & 0xFF);
}

// Three-way form of key_less, from byte `from` (a multiple of 8 up to which
// the keys agree and neither has ended): negative, zero or positive as a
// sorts before, equal to or after b; the value is the difference of the
// folded bytes at the first index where a ends (reads zero) or the two
// differ.
//   A word with neither is free of both keys' ends (their terminating
// zeros included), so the next word of each may still be read.
inline int compare_keys(const std::string& a, const std::string& b,
                        std::size_t from = 0) noexcept {
  const unsigned char* pa = bytes_of(a);
  const unsigned char* pb = bytes_of(b);
  const std::size_t span_a = a.size() + 1;
  const std::size_t span_b = b.size() + 1;
  for (std::size_t at = from;; at += 8) {
    const std::uint64_t wa = word_at(pa, span_a, at);
    const std::uint64_t fa = fold_word(wa);
    const std::uint64_t fb = fold_word(word_at(pb, span_b, at));
    const std::uint64_t stop = nonzero_bytes(fa ^ fb) | zero_bytes(wa);
    if (stop != 0) {
      return byte_difference(fa, fb, stop);
    }
  }
}

// Starts loading the entry at p (not the end element) into the cache. The
// entries of a large table lie scattered in memory, so a walk along the
// chain is a series of loads each waiting for the one before; asking for
// the next entry before working on the current one lets the two overlap.
template <typename Iterator>
inline void prefetch_entry(Iterator p) noexcept {
  prefetch(&*p);
}

// A key looked for in a bucket, compared with one stored key after another.
// Its first word is read and folded once; most stored keys differ from it
// within that word.
class SoughtKey {
 public:
  explicit SoughtKey(const std::string& key) noexcept
      : m_key(key),
        m_first(fold_word(word_at(bytes_of(key), key.size() + 1, 0))),
        m_first_ends(zero_bytes(m_first)) {}

  // compare_keys(stored, key). Up to the first difference, the stored key
  // ends where this one does, so this key's zero bytes stand for both.
  int compare_stored(const std::string& stored) const noexcept {
    const std::uint64_t fa =
        fold_word(word_at(bytes_of(stored), stored.size() + 1, 0));
    const std::uint64_t stop = nonzero_bytes(fa ^ m_first) | m_first_ends;
    if (stop != 0) {
      return byte_difference(fa, m_first, stop);
    }
    return compare_keys(stored, m_key, 8);
  }

 private:
  const std::string& m_key;
  std::uint64_t m_first;       // the first eight bytes, folded
  std::uint64_t m_first_ends;  // bit 7 of each of them that is zero
};

// key_hash, inlined into the table's own lookups.
inline std::uint64_t hash_of(const std::string& key) noexcept {
  const unsigned char* p = bytes_of(key);
  const std::size_t size = key.size();
  std::uint64_t h = 0;
  std::size_t at = 0;
  // Whole words before the terminating zero; a zero byte among them ends
  // the key early.
  for (; size - at >= 8; at += 8) {
    const std::uint64_t word = load_little_endian<std::uint64_t>(p + at);
    const std::uint64_t zeros = zero_bytes(word);
    if (zeros != 0) {
      return hash_prefix(h, fold_word(word), first_marked_byte(zeros));
    }
    h = hash_word(h, fold_word(word));
  }
  // The last zero to seven bytes, up to the first zero byte, which is at
  // the latest the terminating one.
  const std::uint64_t word = word_at(p, size + 1, at);
  return hash_prefix(h, fold_word(word), first_marked_byte(zero_bytes(word)));
}

}  // namespace

OBJ_HASH_TABLE::OBJ_HASH_TABLE()
    : m_slots(kInitialSlots, m_chain.end()), m_mask(1), m_bucket_count(1) {}

OBJ_HASH_TABLE::~OBJ_HASH_TABLE() = default;

std::uint64_t OBJ_HASH_TABLE::key_hash(const std::string& key) noexcept {
  return hash_of(key);
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
  return find_hashed(key, hash_of(key));
}

OBJ_HASH_TABLE::ConstPosition OBJ_HASH_TABLE::find_entry(
    const std::string& key) const noexcept {
  return const_cast<OBJ_HASH_TABLE*>(this)->find_hashed(key, hash_of(key));
}

OBJ_HASH_TABLE::Position OBJ_HASH_TABLE::find_hashed(
    const std::string& key, std::uint64_t hash) noexcept {
  const auto [place, equal] = place_in_bucket(key, bucket_of(hash));
  return equal ? place : m_chain.end();
}

// Walks bucket b forward past every key less than `key` and stops at the
// first other entry: one with an equal key (the flag is then true), or else
// the place where `key` belongs, before the next greater key or at the
// bucket's end.
std::pair<OBJ_HASH_TABLE::Position, bool> OBJ_HASH_TABLE::place_in_bucket(
    const std::string& key, std::uint64_t b) const noexcept {
  const SoughtKey sought(key);
  const Position stop = m_slots[b + 1];
  for (Position p = m_slots[b]; p != stop; ++p) {
    const Position next = std::next(p);
    if (next != stop) {
      prefetch_entry(next);
    }
    const int c = sought.compare_stored(p->key);
    if (c >= 0) {
      return {p, c == 0};
    }
  }
  return {stop, false};
}

std::pair<OBJ_HASH_TABLE::Position, bool> OBJ_HASH_TABLE::insert_entry(
    const std::string& key, ZAND_OBJ* value) {
  return insert_hashed(key, hash_of(key), value);
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
  return {link_entry(made, b, p), true};
}

std::pair<OBJ_HASH_TABLE::Position, bool> OBJ_HASH_TABLE::find_or_insert(
    const std::string& key, ZAND_OBJ* value) {
  const std::uint64_t hash = hash_of(key);
  const std::uint64_t b = bucket_of(hash);
  const auto [place, equal] = place_in_bucket(key, b);
  if (equal) {
    return {place, false};
  }
  // Absent: the place just found is the one that insert_hashed's backward
  // scan would reach, right after the last smaller key of the bucket. The
  // entry is made first, as there.
  Chain made;
  made.emplace_back(key, value);
  std::uint64_t bucket = b;
  Position before = place;
  if (m_bucket_count <= m_chain.size() / 4) {
    const bool at_bucket_end = place == m_slots[b + 1];
    if (add_bucket() == b) {
      // The key's own bucket was split: the key may now belong to the new
      // bucket, and its neighbours may have moved.
      bucket = bucket_of(hash);
      before = place_in_bucket(key, bucket).first;
    } else if (at_bucket_end) {
      // A split leaves every other bucket and each key's bucket as they
      // were, but the entry that followed bucket b may have moved away.
      before = m_slots[b + 1];
    }
  }
  return {link_entry(made, bucket, before), true};
}

OBJ_HASH_TABLE::Position OBJ_HASH_TABLE::link_entry(Chain& made,
                                                    std::uint64_t b,
                                                    Position before) {
  ensure_within_limit(m_chain.size() + 1, kMaxEntries, kListTooLong);
  const Position front = m_slots[b];
  const Position entry = made.begin();
  m_chain.splice(before, made, entry);

  // A new first entry of bucket b also becomes the slot of the empty buckets
  // right before it, which held `before`.
  if (before == front) {
    for (std::uint64_t i = b + 1; i-- > 0 && m_slots[i] == before;) {
      m_slots[i] = entry;
    }
  }
  return entry;
}

// Only lengthening the slot table can fail, and it happens before anything
// else changes. Returns the bucket that was split.
std::uint64_t OBJ_HASH_TABLE::add_bucket() {
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
    if (std::next(e) != chain_end) {
      prefetch_entry(std::next(e));
    }
    if ((hash_of(e->key) & m_mask) == s) {
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
  return s;
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
  const std::size_t slots = source.m_slots.size();
  try {
    m_slots.resize(slots, m_chain.end());
    m_mask = source.m_mask;
    m_bucket_count = source.m_bucket_count;
    m_chain.clear();
    // One walk of the source chain: each entry is copied, and the slots
    // that hold the source entry (they come in chain order) get its copy.
    std::size_t i = 0;
    for (ConstPosition from = source.first(); from != source.end(); ++from) {
      if (std::next(from) != source.end()) {
        prefetch_entry(std::next(from));
      }
      m_chain.emplace_back(from->key, from->value);
      const Position copy = std::prev(m_chain.end());
      for (; i < slots && source.m_slots[i] == from; ++i) {
        m_slots[i] = copy;
      }
    }
    // The slots that hold the source's end element get this table's.
    std::fill(m_slots.begin() + static_cast<std::ptrdiff_t>(i), m_slots.end(),
              m_chain.end());
  } catch (...) {
    // Whatever step failed, the slot count still covers bucket_count, so an
    // empty chain with every slot at the end is a valid table.
    m_chain.clear();
    std::fill(m_slots.begin(), m_slots.end(), m_chain.end());
    throw;
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
