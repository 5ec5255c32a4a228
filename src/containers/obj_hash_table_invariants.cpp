// The hash table's invariant check, for debug builds: one walk of the chain
// against the slots, the keys, the hashes and the entry blocks. The tests
// run it after every change they make.
#include "zand_stl/internal/obj_hash_table.h"

#ifndef NDEBUG

#include "containers/obj_hash_key.h"

namespace zand_internal {

std::string OBJ_HASH_TABLE::invariant_violation() const {
  const std::uint64_t buckets = bucket_count();
  if (buckets == 0 || (buckets > 1 && m_slots[0].before != &m_end)) {
    return "the bucket count or slot 0 is wrong";
  }
  std::uint64_t count = 0;
  const ChainLink* last = &m_end;
  for (std::uint64_t b = 0; b < buckets; ++b) {
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
      if (!m_blocks.hold(e, sizeof(ObjHashEntry) + e->key_size + 1)) {
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
    if (buckets > 1 && signature != m_slots[b].signature) {
      return "bucket " + std::to_string(b) + " has a wrong signature";
    }
  }
  if (last->next != &m_end || last != m_last || count != m_count) {
    return "the buckets do not cover the chain, in order";
  }
  return {};
}

}  // namespace zand_internal

#endif  // NDEBUG
