// The six string functions against their model, on any bytes.
// Corpus format: tests/util/string_model.h
#include "util/string_model.h"

ZAND_FUZZ_TARGET(zand_test::kStringDriver)
