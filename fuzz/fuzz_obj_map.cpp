// Operation scripts on ZAND_OBJ_MAP and its table against their model.
// Corpus format: tests/support/script.h tests/containers/map_script.h
#include "containers/map_script.h"

ZAND_FUZZ_TARGET(zand_test::kMapDriver)
