// The hash table's slot table: none, one array, or segments behind a
// directory, lengthened one bucket at a time without moving a segment.
#include "zand_stl/internal/obj_hash_slot_table.h"

#include <algorithm>
#include <cstddef>

#include "util/builtins.h"

namespace zand_internal {

namespace {

constexpr unsigned kArrayBucketsBit = 6;
static_assert(ObjHashSlotTable::kArrayBuckets == std::uint64_t{1}
                                                     << kArrayBucketsBit);

// The array's slots for `buckets` buckets (2 to kArrayBuckets): the next
// power of two.
std::size_t array_slots(std::uint64_t buckets) noexcept {
  return buckets <= 2 ? 2 : std::size_t{2} << highest_set_bit(buckets - 1);
}

// The segment that holds slot i, with more than kArrayBuckets buckets.
unsigned segment_of(std::uint64_t i) noexcept {
  return i < ObjHashSlotTable::kArrayBuckets
             ? 0
             : highest_set_bit(i) - (kArrayBucketsBit - 1);
}

std::size_t segment_slots(unsigned k) noexcept {
  constexpr auto kFirst =
      static_cast<std::size_t>(ObjHashSlotTable::kArrayBuckets);
  return k == 0 ? kFirst : kFirst << (k - 1);
}

}  // namespace

ObjHashSlotTable::Growth::~Growth() {
  delete[] slots;
  delete[] directory;
}

ObjHashSlot& ObjHashSlotTable::segment_slot(std::uint64_t b) const noexcept {
  if (b < kArrayBuckets) {
    return m_storage.segments[0][b];
  }
  const unsigned top = highest_set_bit(b);
  return m_storage
      .segments[top - (kArrayBucketsBit - 1)][b - (std::uint64_t{1} << top)];
}

ObjHashSlotTable::Storage ObjHashSlotTable::allocate(std::uint64_t buckets) {
  Storage storage{nullptr};
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
    free(storage, buckets);
    throw;
  }
  return storage;
}

void ObjHashSlotTable::free(Storage storage, std::uint64_t buckets) noexcept {
  if (buckets <= kArrayBuckets) {
    delete[] storage.array;  // null for one bucket
    return;
  }
  const unsigned segments = segment_of(buckets - 1) + 1;
  for (unsigned k = 0; k < segments; ++k) {
    delete[] storage.segments[k];  // null where allocate() failed
  }
  delete[] storage.segments;
}

void ObjHashSlotTable::prepare_growth(Growth& growth) const {
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

void ObjHashSlotTable::add_bucket(Growth& growth) noexcept {
  const std::uint64_t n = m_bucket_count;
  if (growth.directory != nullptr) {  // a new segment
    const unsigned k = segment_of(n);
    if (n <= kArrayBuckets) {
      growth.directory[0] = m_storage.array;  // the array becomes segment 0
    } else {
      std::copy(m_storage.segments, m_storage.segments + k, growth.directory);
      delete[] m_storage.segments;
    }
    growth.directory[k] = growth.slots;
    m_storage.segments = growth.directory;
  } else if (growth.slots != nullptr) {  // a longer array
    if (n > 1) {
      std::copy(m_storage.array, m_storage.array + n, growth.slots);
      delete[] m_storage.array;
    }
    m_storage.array = growth.slots;
  }
  growth.slots = nullptr;
  growth.directory = nullptr;
  ++m_bucket_count;
}

void ObjHashSlotTable::reset(std::uint64_t buckets) {
  const Storage storage = allocate(buckets);
  free(m_storage, m_bucket_count);
  m_storage = storage;
  m_bucket_count = buckets;
}

void ObjHashSlotTable::release() noexcept {
  free(m_storage, m_bucket_count);
  m_storage.array = nullptr;
  m_bucket_count = 1;
}

}  // namespace zand_internal
