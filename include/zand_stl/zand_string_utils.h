// Six free functions that return changed copies of a narrow string: ASCII
// case conversion, and trimming of one end. They read bytes, not characters:
// no locale, no encoding, and bytes from 0x80 up and NUL bytes are neither
// letters nor whitespace.
//
// Every result is a new string that shares no storage with the argument, so
// it may be assigned straight back to the argument's variable. The argument
// is never changed; when the result cannot get memory, std::bad_alloc passes
// on. Any length works.
#ifndef ZAND_STL_ZAND_STRING_UTILS_H
#define ZAND_STL_ZAND_STRING_UTILS_H

#include <string>

#include "zand_stl/zand_stl_export.h"

// A copy of the same length in which each upper-case ASCII letter (0x41 to
// 0x5A) is replaced by its lower-case letter, 0x20 above it; every other byte
// is kept.
ZAND_STL_API std::string to_lower_case(const std::string& text);

// A copy of the same length in which each lower-case ASCII letter (0x61 to
// 0x7A) is replaced by its upper-case letter, 0x20 below it; every other byte
// is kept.
ZAND_STL_API std::string to_upper_case(const std::string& text);

// A copy without the leading (trailing) run of whitespace, which is exactly
// the six bytes 0x20 (space), 0x09, 0x0A, 0x0B, 0x0C and 0x0D (tab, line
// feed, vertical tab, form feed, carriage return). Empty when every byte is
// whitespace.
ZAND_STL_API std::string trim_left(const std::string& text);
ZAND_STL_API std::string trim_right(const std::string& text);

// A copy without the leading (trailing) run of bytes equal to `trimmed`. Any
// byte value may be given; it matches only itself, so a letter does not
// match its other case. Empty when every byte equals `trimmed`.
ZAND_STL_API std::string trim_left_char(const std::string& text, char trimmed);
ZAND_STL_API std::string trim_right_char(const std::string& text, char trimmed);

#endif  // ZAND_STL_ZAND_STRING_UTILS_H
