// ZAND_FILE::read_string on any file contents, against its model.
// Corpus format: tests/util/file_model.h
#include "util/file_model.h"

ZAND_FUZZ_TARGET(zand_test::kFileDriver)
