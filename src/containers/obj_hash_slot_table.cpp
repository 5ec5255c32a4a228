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

ObjHashLeaf* new_segment(unsigned k) {
  if (k == 0) {
    return new ObjHashLeaf[segment_heads(0)];
  }
  return static_cast<ObjHashLeaf*>(::operator new(
      segment_heads(k) * sizeof(ObjHashLeaf), kSegmentAlignment));
}

void delete_segment(unsigned k, ObjHashLeaf* segment) noexcept {
  if (k == 0) {
    delete[] segment;
  } else if (segment != nullptr) {
    ::operator delete(segment, kSegmentAlignment);
  }
}

}  // namespace

ObjHashSlotTable::Growth::~Growth() {
  if (directory != nullptr) {
    delete_segment(segment, heads);
    delete[] directory;
  } else {
    delete[] heads;
  }
}

ObjHashSlotTable::Heads ObjHashSlotTable::allocate(std::uint64_t buckets) {
  Heads heads{nullptr};
  if (buckets <= kArrayBuckets) {
    if (buckets > 1) {
      heads.array = new ObjHashLeaf[array_heads(buckets)];
    }
    return heads;
  }
  const unsigned segments = segment_of(buckets - 1) + 1;
  heads.segments = new ObjHashLeaf* [segments] {};
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
      delete[] heads.array;
    }
    return;
  }
  const unsigned segments = segment_of(buckets - 1) + 1;
  for (unsigned k = 0; k < segments; ++k) {
    delete_segment(k, heads.segments[k]);  // null where allocate() failed
  }
  delete[] heads.segments;
}

void ObjHashSlotTable::prepare_growth(Growth& growth) const {
  const std::uint64_t n = m_bucket_count;  // the new bucket's number
  if (n + 1 <= kArrayBuckets) {
    if (n == 1 || array_heads(n + 1) > array_heads(n)) {
      growth.heads = new ObjHashLeaf[array_heads(n + 1)];
    }
    return;
  }
  const unsigned k = segment_of(n);
  if (n <= kArrayBuckets || k > segment_of(n - 1)) {
    growth.directory = new ObjHashLeaf* [k + 1] {};
    growth.segment = k;
    growth.heads = new_segment(k);
    growth.directory[k] = growth.heads;
  }
}

void ObjHashSlotTable::add_bucket(Growth& growth) noexcept {
  const std::uint64_t n = m_bucket_count;
  if (growth.directory != nullptr) {  // a new segment
    const unsigned k = segment_of(n);
    if (n <= kArrayBuckets) {
      growth.directory[0] = m_form.large.heads.array;  // the array: segment 0
    } else {
      std::copy(m_form.large.heads.segments, m_form.large.heads.segments + k,
                growth.directory);
      delete[] m_form.large.heads.segments;
    }
    m_form.large.heads.segments = growth.directory;
  } else if (growth.heads != nullptr) {  // a longer array
    if (n > 1) {
      std::copy(m_form.large.heads.array, m_form.large.heads.array + n,
                growth.heads);
      delete[] m_form.large.heads.array;
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

}  // namespace zand_internal
