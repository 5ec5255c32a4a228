// ZAND_OBJ_MAP: a map from text keys to non-owning ZAND_OBJ* pointers. Keys
// match without regard to the case of the ASCII letters and are compared up
// to their first zero byte; a key keeps the form under which it was first
// stored.
//
// The walk order (reset_iterator, then get_next_entry until null) is part of
// the contract: bucket by bucket in ascending bucket number, inside a bucket
// in ascending case-insensitive key order, identical on every platform. For
// a map filled from empty, from remove_all, or copied from such a map, it
// depends only on the set of keys held, never on the order of insertion. A
// map whose assignment failed (std::bad_alloc) is empty but keeps a bucket
// count, the source's (or its own if the failure came before the copy
// began), so keys stored into it afterwards walk in another order than in a
// fresh map until remove_all.
// A null value is stored like any other, so it cannot be told from an absent
// key or from the end of a walk; use size() to count entries.
//
// set_at and look_up take O(log n) key comparisons in the number of keys,
// whatever the keys (keys that arrive by chance take O(1)): a bucket that
// keys chosen to share a hash make long keeps an ordered index of them, in
// which a step of a walk takes O(log n) too.
#ifndef ZAND_STL_ZAND_OBJ_MAP_H
#define ZAND_STL_ZAND_OBJ_MAP_H

#include <string>

#include "zand_stl/internal/obj_hash_table.h"
#include "zand_stl/zand_obj.h"
#include "zand_stl/zand_stl_export.h"

// The destructor is deliberately not virtual (the class's virtual table has
// no slot for it), so do not delete a derived map through a ZAND_OBJ_MAP*.
// The private members' classes are not exported (MSVC's C4251): callers
// never touch them, since every operation of the map is out of line.
#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4251)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

class ZAND_STL_API ZAND_OBJ_MAP {
 public:
  // An empty map whose cursor is at the end. The argument is ignored: every
  // value gives the same map. Not explicit, so that the default forms
  // `ZAND_OBJ_MAP m = {};`, `return {};` and members of aggregates compile
  // as they do for the list and the file (one constructor serves both,
  // as the library has always exported it); an int therefore converts to
  // an empty map.
  ZAND_OBJ_MAP(int ignored_size_hint = 17);

  // The same keys, pointers and walk order, in entries of its own; the cursor
  // is at the first entry. On failure nothing is left allocated.
  ZAND_OBJ_MAP(const ZAND_OBJ_MAP& other);

  // Self-assignment changes nothing, cursor included. Otherwise the target
  // becomes a copy of the source; if that fails, the target is a valid empty
  // map and the failure passes on. The cursor is at the first entry after.
  ZAND_OBJ_MAP& operator=(const ZAND_OBJ_MAP& other);

  // Frees every entry; destroys no object. Not virtual.
  ~ZAND_OBJ_MAP();

  // The virtual operations, declared in the order of their table slots.

  // Stores value under key: replaces the value of an equal key (whose stored
  // form stays), or adds an entry. Always returns true. Throws
  // std::bad_alloc, or std::length_error at the maximum size; the map is
  // then unchanged, walk order included.
  //
  // During a walk: the cursor does not move and stays valid. A new entry
  // takes its place in the order, before or after the cursor. When adding
  // it grows the table (at the 5th, 9th, 13th, ... entry), the entries of
  // one bucket that move to the new last bucket go to the end of the walk:
  // an entry already returned may then be returned again, and when the
  // entry under the cursor is among them, the walk goes on from its new
  // place and skips the entries between its old place and the end.
  virtual bool set_at(const std::string& key, ZAND_OBJ* value);

  // The value stored under an equal key, or null. Allocates nothing.
  virtual ZAND_OBJ* look_up(const std::string& key) const;

  // Puts the cursor at the first entry (or the end of an empty map).
  virtual void reset_iterator();

  // At the end: returns null and leaves key unchanged. Otherwise sets key to
  // the stored key of the entry under the cursor, moves the cursor on and
  // returns that entry's value. If assigning the key throws, the cursor
  // has not moved.
  virtual ZAND_OBJ* get_next_entry(std::string& key);

  // Frees every entry (destroys no object); the cursor is at the end of the
  // now empty map.
  virtual void remove_all();

  // The entry count's low 32 bits.
  int size() const;

 private:
  zand_internal::OBJ_HASH_TABLE m_table;
  // The entry of m_table the walk returns next, or null at the end.
  zand_internal::ObjHashEntry* m_cursor;
};

#if defined(_MSC_VER)
#pragma warning(pop)
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#endif  // ZAND_STL_ZAND_OBJ_MAP_H
