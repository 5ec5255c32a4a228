// The six string functions against their model, on any bytes.
// Corpus format: tests/support/string_model.h
#include "support/string_model.h"

ZAND_FUZZ_TARGET(zand_test::run_string_script)
