// Operation scripts on ZAND_OBJ_LIST against its model.
#include "containers/list_script.h"

ZAND_FUZZ_TARGET(zand_test::run_list_script)
