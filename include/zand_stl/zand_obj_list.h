// ZAND_OBJ_LIST: an ordered list of non-owning ZAND_OBJ* pointers, filled and
// emptied at both ends and walked with a cursor kept inside the list.
//
// The list never creates, reads or destroys the objects behind its pointers;
// null and repeated pointers are stored like any other value. The cursor
// stands on an element or at the end position. A new list's cursor is at
// the end and additions never move it, so call reset_head_position() before
// walking a filled list.
#ifndef ZAND_STL_ZAND_OBJ_LIST_H
#define ZAND_STL_ZAND_OBJ_LIST_H

#include <list>

#include "zand_stl/zand_obj.h"
#include "zand_stl/zand_stl_export.h"

// The destructor is deliberately not virtual (the class's virtual table has
// no slot for it), so do not delete a derived list through a ZAND_OBJ_LIST*.
// MSVC warns (C4251) that the private std::list members are not exported;
// callers never reach them, and share the DLL's compiler and runtime anyway.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4251)
#endif

class ZAND_STL_API ZAND_OBJ_LIST {
 public:
  // An empty list whose cursor is at the end position.
  ZAND_OBJ_LIST();

  // Holds the same pointers in the same order, in nodes of its own. On an
  // allocation failure every node made so far is freed and the failure passes
  // on. The new list's cursor is at its head position.
  ZAND_OBJ_LIST(const ZAND_OBJ_LIST& other);

  // Self-assignment changes nothing, cursor included. Otherwise the target's
  // nodes are freed first and the source's pointers appended in order; if
  // that fails, the target is left empty and the failure passes on. The
  // cursor is at the head position afterwards, failed or not.
  ZAND_OBJ_LIST& operator=(const ZAND_OBJ_LIST& other);

  // Frees the nodes; destroys no object. Not virtual.
  ~ZAND_OBJ_LIST();

  // The virtual operations, declared in the order of their table slots.

  // Link obj in as the new head (tail). The cursor does not move. Throws
  // std::length_error("list<T> too long") at the maximum count, or
  // std::bad_alloc; either way the list is unchanged.
  virtual void add_at_head(ZAND_OBJ* obj);
  virtual void add_at_tail(ZAND_OBJ* obj);

  // The head (tail) pointer, or null when is_empty() (asked through the
  // virtual table) answers true or the list holds no element.
  virtual ZAND_OBJ* get_head() const;
  virtual ZAND_OBJ* get_tail() const;

  // Puts the cursor on the head element, or at the end of an empty list.
  virtual void reset_head_position();

  // The element just before the cursor (the tail when the cursor is at the
  // end of a non-empty list); null when the cursor is on the head element or
  // the list is empty. The cursor does not move.
  virtual ZAND_OBJ* get_prev_value() const;

  // The element under the cursor, stepping the cursor one element on; null
  // at the end position, where the cursor stays.
  virtual ZAND_OBJ* get_next_value();

  virtual bool is_empty() const;

  // Whether some element stores a pointer equal to obj (compared by address).
  // False when is_empty() answers true. The cursor does not move.
  virtual bool item_existed(ZAND_OBJ* obj) const;

  // Take the head (tail) element off and return its pointer; null when the
  // list has no element. A cursor standing on the removed element first
  // moves to the next node (the end position, for the tail).
  virtual ZAND_OBJ* remove_from_head();
  virtual ZAND_OBJ* remove_from_tail();

  // Both free every node and put the cursor at the end of the now empty list.
  // Neither destroys an object.
  virtual void remove_all();
  virtual void delete_all_entries();

  // The element count's low 32 bits.
  virtual int size() const;

 private:
  // The chain: the standard doubly linked list, whose sentinel is the end
  // position. The cursor is one of its positions, element or end.
  std::list<ZAND_OBJ*> m_chain;
  std::list<ZAND_OBJ*>::iterator m_cursor;
};

#if defined(_MSC_VER)
#pragma warning(pop)
#endif
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#endif  // ZAND_STL_ZAND_OBJ_LIST_H
