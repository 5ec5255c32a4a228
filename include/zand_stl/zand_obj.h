// ZAND_OBJ: the polymorphic base of every object whose pointer a zand_stl
// container holds. Containers never create, copy or destroy these objects;
// the virtual destructor lets their owner delete them through a ZAND_OBJ*,
// and the type information lets it dynamic_cast what a container hands back.
#ifndef ZAND_STL_ZAND_OBJ_H
#define ZAND_STL_ZAND_OBJ_H

#include "zand_stl/zand_stl_export.h"

class ZAND_STL_API ZAND_OBJ {
 public:
  // Copying copies nothing: the base has no data, so a derived class's copy
  // operations copy only the derived class's own members.
  ZAND_OBJ(const ZAND_OBJ& other);
  ZAND_OBJ& operator=(const ZAND_OBJ& other);

  // Does nothing of its own; virtual so that deleting through a ZAND_OBJ*
  // runs the derived class's destructor and releases the whole object.
  virtual ~ZAND_OBJ();

 protected:
  // Protected: a ZAND_OBJ exists only as the base part of a caller's object.
  ZAND_OBJ();
};

#endif  // ZAND_STL_ZAND_OBJ_H
