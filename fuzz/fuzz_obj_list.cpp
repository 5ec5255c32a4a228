// Operation scripts on ZAND_OBJ_LIST against its model.
// Corpus format: tests/support/script.h tests/containers/list_script.h
#include "containers/list_script.h"

ZAND_FUZZ_TARGET(zand_test::kListDriver)
