// NOT PART OF THE INTERFACE (see obj_hash_table.h).
//
// The slot table of OBJ_HASH_TABLE: where each bucket's entries are. It
// grows by one bucket at a time, and past kArrayBuckets without moving a
// slot.
#ifndef ZAND_STL_INTERNAL_OBJ_HASH_SLOT_TABLE_H
#define ZAND_STL_INTERNAL_OBJ_HASH_SLOT_TABLE_H

#include <cstddef>
#include <cstdint>

#include "zand_stl/internal/obj_hash_entry_blocks.h"

namespace zand_internal {

struct ObjHashLeaf;

// Where a walk of the table stands: the entry it returned last, the leaf
// that holds it, and its bucket with its place in the leaf. The table's
// next step starts there instead of finding the entry again; any change
// of the table's buckets forgets it.
struct ObjHashWalkStep {
  const ObjHashEntry* entry;  // null: none
  const ObjHashLeaf* leaf;
  std::uint64_t bucket;  // the bucket, and the place in the leaf above bit 60
};

// The buckets 0 to bucket_count() - 1. A single bucket holds at most
// kSmallEntries entries (the table grows at the next), and keeps them here,
// in key order, so that a small table needs no slot storage. From two
// buckets on, each bucket has a head leaf (its first entries, or the summary
// of its index): up to kArrayBuckets heads in one array of the next power
// of two, beyond that in segments, segment 0 holding heads 0 to
// kArrayBuckets - 1 and segment k >= 1 the next kArrayBuckets * 2^(k-1),
// reached through a directory. Each block of heads is followed by their
// marks (below), the directory by its summary of them. What hangs off a
// head is the table's to free; this class frees only the heads.
class ObjHashSlotTable {
 public:
  static constexpr std::uint64_t kArrayBuckets = 64;
  static constexpr std::size_t kSmallEntries = 4;

  // What adding a bucket allocates, made before anything changes and freed
  // unless add_bucket() takes it: a longer array, or a new segment with a
  // directory that has room for it.
  struct Growth {
    ObjHashLeaf* heads = nullptr;
    ObjHashLeaf** directory = nullptr;
    unsigned segment = 0;  // the new segment's number, with a directory

    Growth() = default;
    Growth(const Growth&) = delete;
    Growth& operator=(const Growth&) = delete;
    ~Growth();
  };

  // One bucket; allocates nothing.
  ObjHashSlotTable() noexcept : m_form{}, m_bucket_count(1) {}
  ObjHashSlotTable(const ObjHashSlotTable&) = delete;
  ObjHashSlotTable& operator=(const ObjHashSlotTable&) = delete;
  // Inline, so that a table of one bucket frees nothing.
  ~ObjHashSlotTable() {
    if (m_bucket_count != 1) {
      release();
    }
  }

  std::uint64_t bucket_count() const noexcept { return m_bucket_count; }

  // The entries of the single bucket, with one bucket.
  ObjHashEntry** small() noexcept { return m_form.small; }
  ObjHashEntry* const* small() const noexcept { return m_form.small; }

  // Where a walk stands, with two buckets or more.
  ObjHashWalkStep& walk() noexcept { return m_form.large.walk; }

  // The head of bucket b < bucket_count(), with two buckets or more.
  // Defined in the library's own obj_hash_slot_table_heads.h, since every
  // lookup takes it.
  inline ObjHashLeaf& operator[](std::uint64_t b) const noexcept;

  // Allocates what adding one bucket needs. Throws std::bad_alloc, changing
  // nothing.
  void prepare_growth(Growth& growth) const;

  // Adds bucket bucket_count() with what prepare_growth() allocated. Its
  // head is unset; so is head 0 when this makes the second bucket, and the
  // single bucket's entries are then gone from small(). The walk's place
  // is forgotten.
  void add_bucket(Growth& growth) noexcept;

  // Replaces the heads with `buckets` empty ones, or one empty bucket.
  // Throws std::bad_alloc, changing nothing.
  void reset(std::uint64_t buckets);

  // Frees every head; one empty bucket is left.
  void release() noexcept;

  // Which buckets hold an entry, with two buckets or more, as the table
  // marks them: a bit per bucket, and past kArrayBuckets a bit per 64 of
  // those, so that a walk passes over empty buckets 4,096 at a time.
  // Growth adds an unmarked bucket; reset() leaves none marked.
  void mark(std::uint64_t b, bool filled) noexcept;
  // The first marked bucket from b on, or bucket_count().
  std::uint64_t next_filled(std::uint64_t b) const noexcept;
  void clear_marks() noexcept;

 private:
  // The form m_bucket_count tells: entries, an array, or a directory.
  union Heads {
    ObjHashLeaf* array;
    ObjHashLeaf** segments;
  };
  // With two buckets or more, the room the single bucket's entries took
  // holds the heads and where a walk stands.
  struct Large {
    Heads heads;
    ObjHashWalkStep walk;
  };
  union Form {
    ObjHashEntry* small[kSmallEntries];
    Large large;
  };

  static Heads allocate(std::uint64_t buckets);
  static void free(Heads heads, std::uint64_t buckets) noexcept;
  std::uint64_t& mark_word(std::uint64_t group) const noexcept;

  Form m_form;
  // Buckets in use, numbered 0 to m_bucket_count - 1.
  std::uint64_t m_bucket_count;
};

}  // namespace zand_internal

#endif  // ZAND_STL_INTERNAL_OBJ_HASH_SLOT_TABLE_H
