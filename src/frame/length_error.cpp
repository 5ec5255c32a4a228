// Kept out of line so that the callers' fast paths stay small.
#include "length_error.h"

#include <stdexcept>

namespace zand_internal {

void throw_length_error(const char* message) {
  throw std::length_error(message);
}

}  // namespace zand_internal
