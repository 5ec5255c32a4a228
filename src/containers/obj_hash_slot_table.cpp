// The hash table's slot table: one bucket's entries in the table itself,
// then an array of head leaves, then segments behind a directory,
// lengthened one bucket at a time without moving a segment.
#include "zand_stl/internal/obj_hash_slot_table.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "containers/obj_hash_leaf.h"
#include "containers/obj_hash_slot_table_heads.h"
#include "util/builtins.h"

namespace zand_internal {

namespace {

constexpr unsigned kArrayBucketsBit = 6;
static_assert(ObjHashSlotTable::kArrayBuckets == std::uint64_t{1}
                                                     << kArrayBucketsBit);
// A mark word covers this many buckets, and a summary word as many marks.
constexpr std::uint64_t kGroup = 64;
// Segments past the first begin on a cache line, so that a lookup reads
// one line of its head.
constexpr std::align_val_t kSegmentAlignment{sizeof(ObjHashLeaf)};

// The array's heads for `buckets` buckets (2 to kArrayBuckets): the next
// power of two. The array becomes segment 0.
std::size_t array_heads(std::uint64_t buckets) noexcept {
  return buckets <= 2 ? 2 : std::size_t{2} << highest_set_bit(buckets - 1);
}

// The segment that holds head i, with more than kArrayBuckets buckets.
unsigned segment_of(std::uint64_t i) noexcept {
  return i < ObjHashSlotTable::kArrayBuckets
             ? 0
             : highest_set_bit(i) - (kArrayBucketsBit - 1);
}

std::size_t segment_heads(unsigned k) noexcept {
  constexpr auto kFirst =
      static_cast<std::size_t>(ObjHashSlotTable::kArrayBuckets);
  return k == 0 ? kFirst : kFirst << (k - 1);
}

std::uint64_t segment_start(unsigned k) noexcept {
  return k == 0 ? 0 : segment_heads(k);
}

// Words of marks for `heads` heads, at least one.
std::size_t mark_words(std::size_t heads) noexcept {
  return (heads + kGroup - 1) / kGroup;
}

// The marks that follow a block of `heads` heads.
std::uint64_t* marks_of(ObjHashLeaf* block, std::size_t heads) noexcept {
  return reinterpret_cast<std::uint64_t*>(block + heads);
}

// A block of `heads` heads followed by their marks, all clear; a segment
// past the first is aligned.
ObjHashLeaf* new_heads(std::size_t heads, bool aligned) {
  const std::size_t bytes =
      heads * sizeof(ObjHashLeaf) + mark_words(heads) * sizeof(std::uint64_t);
  auto* const block = static_cast<ObjHashLeaf*>(
      aligned ? ::operator new(bytes, kSegmentAlignment)
              : ::operator new(bytes));
  std::fill_n(marks_of(block, heads), mark_words(heads), 0);
  return block;
}

void delete_heads(ObjHashLeaf* block, bool aligned) noexcept {
  if (aligned) {
    ::operator delete(block, kSegmentAlignment);
  } else {
    ::operator delete(block);
  }
}

ObjHashLeaf* new_segment(unsigned k) {
  return new_heads(segment_heads(k), k > 0);
}

void delete_segment(unsigned k, ObjHashLeaf* segment) noexcept {
  if (segment != nullptr) {
    delete_heads(segment, k > 0);
  }
}

// The summary words that follow a directory of `segments` segments: one
// per kGroup marks of the heads those segments hold, at least one.
std::size_t summary_words(unsigned segments) noexcept {
  const std::uint64_t marks = segment_heads(segments - 1) * 2 / kGroup;
  return static_cast<std::size_t>((marks + kGroup - 1) / kGroup);
}

std::uint64_t* summary_of(ObjHashLeaf** directory, unsigned segments) noexcept {
  return reinterpret_cast<std::uint64_t*>(directory + segments);
}

// A directory of `segments` segments, none yet, with its summary clear.
ObjHashLeaf** new_directory(unsigned segments) {
  auto* const directory = static_cast<ObjHashLeaf**>(
      ::operator new(segments * sizeof(ObjHashLeaf*) +
                     summary_words(segments) * sizeof(std::uint64_t)));
  std::fill_n(directory, segments, nullptr);
  std::fill_n(summary_of(directory, segments), summary_words(segments), 0);
  return directory;
}

void set_bit(std::uint64_t& word, std::uint64_t bit, bool on) noexcept {
  const std::uint64_t mask = std::uint64_t{1} << bit;
  word = on ? word | mask : word & ~mask;
}

}  // namespace

ObjHashSlotTable::Growth::~Growth() {
  if (directory != nullptr) {
    delete_segment(segment, heads);
    ::operator delete(directory);
  } else if (heads != nullptr) {
    delete_heads(heads, false);
  }
}

ObjHashSlotTable::Heads ObjHashSlotTable::allocate(std::uint64_t buckets) {
  Heads heads{nullptr};
  if (buckets <= kArrayBuckets) {
    if (buckets > 1) {
      heads.array = new_heads(array_heads(buckets), false);
    }
    return heads;
  }
  const unsigned segments = segment_of(buckets - 1) + 1;
  heads.segments = new_directory(segments);
  try {
    for (unsigned k = 0; k < segments; ++k) {
      heads.segments[k] = new_segment(k);
    }
  } catch (...) {
    free(heads, buckets);
    throw;
  }
  return heads;
}

void ObjHashSlotTable::free(Heads heads, std::uint64_t buckets) noexcept {
  if (buckets <= kArrayBuckets) {
    if (buckets > 1) {
      delete_heads(heads.array, false);
    }
    return;
  }
  const unsigned segments = segment_of(buckets - 1) + 1;
  for (unsigned k = 0; k < segments; ++k) {
    delete_segment(k, heads.segments[k]);  // null where allocate() failed
  }
  ::operator delete(heads.segments);
}

void ObjHashSlotTable::prepare_growth(Growth& growth) const {
  const std::uint64_t n = m_bucket_count;  // the new bucket's number
  if (n + 1 <= kArrayBuckets) {
    if (n == 1 || array_heads(n + 1) > array_heads(n)) {
      growth.heads = new_heads(array_heads(n + 1), false);
    }
    return;
  }
  const unsigned k = segment_of(n);
  if (n <= kArrayBuckets || k > segment_of(n - 1)) {
    growth.directory = new_directory(k + 1);
    growth.segment = k;
    growth.heads = new_segment(k);
    growth.directory[k] = growth.heads;
  }
}

void ObjHashSlotTable::add_bucket(Growth& growth) noexcept {
  const std::uint64_t n = m_bucket_count;
  if (growth.directory != nullptr) {  // a new segment
    const unsigned k = segment_of(n);
    std::uint64_t* const summary = summary_of(growth.directory, k + 1);
    if (n <= kArrayBuckets) {
      // The array, of the first segment's size and form, becomes it.
      ObjHashLeaf* const array = m_form.large.heads.array;
      growth.directory[0] = array;
      set_bit(summary[0], 0, marks_of(array, segment_heads(0))[0] != 0);
    } else {
      ObjHashLeaf** const old = m_form.large.heads.segments;
      std::copy(old, old + k, growth.directory);
      std::copy(summary_of(old, k), summary_of(old, k) + summary_words(k),
                summary);
      ::operator delete(old);
    }
    m_form.large.heads.segments = growth.directory;
  } else if (growth.heads != nullptr) {  // a longer array
    if (n > 1) {
      ObjHashLeaf* const old = m_form.large.heads.array;
      std::copy(old, old + n, growth.heads);
      marks_of(growth.heads, array_heads(n + 1))[0] =
          marks_of(old, array_heads(n))[0];
      delete_heads(old, false);
    }
    m_form.large.heads.array = growth.heads;
  }
  growth.heads = nullptr;
  growth.directory = nullptr;
  m_form.large.walk.entry = nullptr;
  ++m_bucket_count;
}

void ObjHashSlotTable::reset(std::uint64_t buckets) {
  const Heads heads = allocate(buckets);
  release();
  if (buckets > 1) {
    m_form.large.heads = heads;
    m_form.large.walk.entry = nullptr;
    m_bucket_count = buckets;
    for (std::uint64_t b = 0; b < buckets; ++b) {
      (*this)[b].clear();
    }
  }
}

void ObjHashSlotTable::release() noexcept {
  if (m_bucket_count != 1) {
    free(m_form.large.heads, m_bucket_count);
  }
  m_form = Form{};
  m_bucket_count = 1;
}

// The mark word of buckets 64g to 64g + 63; with more than kArrayBuckets
// buckets, they all lie in one segment.
std::uint64_t& ObjHashSlotTable::mark_word(std::uint64_t g) const noexcept {
  if (m_bucket_count <= kArrayBuckets) {
    return marks_of(m_form.large.heads.array, array_heads(m_bucket_count))[0];
  }
  const unsigned k = segment_of(g * kGroup);
  return marks_of(m_form.large.heads.segments[k],
                  segment_heads(k))[(g * kGroup - segment_start(k)) / kGroup];
}

void ObjHashSlotTable::mark(std::uint64_t b, bool filled) noexcept {
  std::uint64_t& word = mark_word(b / kGroup);
  set_bit(word, b % kGroup, filled);
  if (m_bucket_count > kArrayBuckets) {
    const std::uint64_t g = b / kGroup;
    const unsigned segments = segment_of(m_bucket_count - 1) + 1;
    set_bit(summary_of(m_form.large.heads.segments, segments)[g / kGroup],
            g % kGroup, word != 0);
  }
}

std::uint64_t ObjHashSlotTable::next_filled(std::uint64_t b) const noexcept {
  const std::uint64_t buckets = m_bucket_count;
  if (b >= buckets) {
    return buckets;
  }
  // A bucket at or past bucket_count() is never marked.
  const std::uint64_t g = b / kGroup;
  const std::uint64_t here = mark_word(g) & (~std::uint64_t{0} << (b % kGroup));
  if (here != 0) {
    return g * kGroup + lowest_set_bit(here);
  }
  if (buckets <= kArrayBuckets) {
    return buckets;
  }
  const unsigned segments = segment_of(buckets - 1) + 1;
  const std::uint64_t* const summary =
      summary_of(m_form.large.heads.segments, segments);
  const std::uint64_t groups = (buckets + kGroup - 1) / kGroup;
  for (std::uint64_t next = g + 1; next < groups;
       next = (next / kGroup + 1) * kGroup) {
    const std::uint64_t filled =
        summary[next / kGroup] & (~std::uint64_t{0} << (next % kGroup));
    if (filled != 0) {
      const std::uint64_t found =
          next / kGroup * kGroup + lowest_set_bit(filled);
      return found * kGroup + lowest_set_bit(mark_word(found));
    }
  }
  return buckets;
}

void ObjHashSlotTable::clear_marks() noexcept {
  if (m_bucket_count <= kArrayBuckets) {
    mark_word(0) = 0;
    return;
  }
  const unsigned segments = segment_of(m_bucket_count - 1) + 1;
  for (unsigned k = 0; k < segments; ++k) {
    std::fill_n(marks_of(m_form.large.heads.segments[k], segment_heads(k)),
                mark_words(segment_heads(k)), 0);
  }
  std::fill_n(summary_of(m_form.large.heads.segments, segments),
              summary_words(segments), 0);
}

}  // namespace zand_internal
