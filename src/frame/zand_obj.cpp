// Out-of-line members of ZAND_OBJ, so that the class, its virtual table and
// its type information live in the library and are exported whole.
#include "zand_stl/zand_obj.h"

ZAND_OBJ::ZAND_OBJ() = default;

// The class has no data, so the defaulted copies copy nothing.
ZAND_OBJ::ZAND_OBJ(const ZAND_OBJ& other) = default;

ZAND_OBJ& ZAND_OBJ::operator=(const ZAND_OBJ& other) = default;

ZAND_OBJ::~ZAND_OBJ() = default;
