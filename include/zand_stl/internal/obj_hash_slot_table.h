// NOT PART OF THE INTERFACE (see obj_hash_table.h).
//
// The slot table of OBJ_HASH_TABLE: one slot per bucket in use, holding
// where the bucket begins on the chain and a summary of its hashes. It
// grows by one bucket at a time, and past kArrayBuckets without moving a
// slot.
#ifndef ZAND_STL_INTERNAL_OBJ_HASH_SLOT_TABLE_H
#define ZAND_STL_INTERNAL_OBJ_HASH_SLOT_TABLE_H

#include <cstdint>

#include "zand_stl/internal/obj_hash_entry_blocks.h"

namespace zand_internal {

// One bucket's slot: the chain element just before the bucket's first
// position, and a summary of the bucket's hashes, a bit per hash
// (OBJ_HASH_TABLE::signature_bit).
struct ObjHashSlot {
  ChainLink* before;
  std::uint64_t signature;
};

// The slots of buckets 0 to bucket_count() - 1. A single bucket needs no
// slot (its elements are the whole chain), so one bucket stores none;
// up to kArrayBuckets buckets the slots are one array of the next power of
// two; beyond, segment 0 holds slots 0 to kArrayBuckets - 1 and segment
// k >= 1 the next kArrayBuckets * 2^(k-1), reached through a directory.
class ObjHashSlotTable {
 public:
  static constexpr std::uint64_t kArrayBuckets = 64;

  // What adding a bucket allocates, made before anything changes and freed
  // unless add_bucket() takes it: a longer array, or a new segment with a
  // directory that has room for it.
  struct Growth {
    ObjHashSlot* slots = nullptr;
    ObjHashSlot** directory = nullptr;

    Growth() = default;
    Growth(const Growth&) = delete;
    Growth& operator=(const Growth&) = delete;
    ~Growth();
  };

  // One bucket; allocates nothing.
  ObjHashSlotTable() noexcept : m_storage{nullptr}, m_bucket_count(1) {}
  ObjHashSlotTable(const ObjHashSlotTable&) = delete;
  ObjHashSlotTable& operator=(const ObjHashSlotTable&) = delete;
  // Inline, so that a table of one bucket frees nothing.
  ~ObjHashSlotTable() {
    if (m_bucket_count != 1) {
      release();
    }
  }

  std::uint64_t bucket_count() const noexcept { return m_bucket_count; }

  // The slot of bucket b < bucket_count(), with two buckets or more.
  ObjHashSlot& operator[](std::uint64_t b) const noexcept {
    if (m_bucket_count <= kArrayBuckets) {
      return m_storage.array[b];
    }
    return segment_slot(b);
  }

  // Allocates what adding one bucket needs. Throws std::bad_alloc, changing
  // nothing.
  void prepare_growth(Growth& growth) const;

  // Adds bucket bucket_count() with what prepare_growth() allocated; its
  // slot is unset, and so is slot 0 when this makes the second bucket.
  void add_bucket(Growth& growth) noexcept;

  // Replaces every slot with unset slots of `buckets` buckets. Throws
  // std::bad_alloc, changing nothing.
  void reset(std::uint64_t buckets);

  // Frees every slot; one bucket is left.
  void release() noexcept;

 private:
  // The form m_bucket_count tells: none, an array, or a directory.
  union Storage {
    ObjHashSlot* array;
    ObjHashSlot** segments;
  };

  static Storage allocate(std::uint64_t buckets);
  static void free(Storage storage, std::uint64_t buckets) noexcept;
  ObjHashSlot& segment_slot(std::uint64_t b) const noexcept;

  Storage m_storage;
  // Buckets in use, numbered 0 to m_bucket_count - 1.
  std::uint64_t m_bucket_count;
};

}  // namespace zand_internal

#endif  // ZAND_STL_INTERNAL_OBJ_HASH_SLOT_TABLE_H
