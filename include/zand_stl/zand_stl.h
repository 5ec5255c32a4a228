// Umbrella header: the whole interface of zand_stl.
#ifndef ZAND_STL_ZAND_STL_H
#define ZAND_STL_ZAND_STL_H

#include "zand_stl/zand_file.h"
#include "zand_stl/zand_obj.h"
#include "zand_stl/zand_obj_list.h"
#include "zand_stl/zand_obj_map.h"
#include "zand_stl/zand_string_utils.h"

#endif  // ZAND_STL_ZAND_STL_H
