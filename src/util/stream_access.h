// What ZAND_FILE asks of a stream beyond the standard calls, which differs
// per C runtime: one small class per runtime, and here the choice of the one
// this build uses, as zand_internal::StreamAccess. Internal.
//
// Every such class offers the same members, for one operation on a stream:
//   explicit StreamAccess(std::FILE* file);  // file is not null
//   bool may_read() const;   false: the stream's open mode forbids reading
//   bool may_write() const;  false: it forbids writing
//       Both answer true wherever the runtime refuses a forbidden call by
//       itself, harmlessly, so that the call is the only question asked.
//   bool read_piece(std::size_t limit, std::string& line);
//       Either does what fgets with a buffer of limit + 1 bytes, followed
//       by line.assign() of that buffer, would do, and answers true; or
//       declines, having touched neither the stream nor line, and answers
//       false, and the caller calls fgets.
#ifndef ZAND_STL_SRC_UTIL_STREAM_ACCESS_H
#define ZAND_STL_SRC_UTIL_STREAM_ACCESS_H

// ThreadSanitizer cannot see a stream's lock, which glibc takes inside
// itself, so a piece read here from the stream's buffer would look raced
// with what another thread's stdio (getc_unlocked, ungetc) does to it under
// that lock. Under ThreadSanitizer the buffer is left to fgets, inside glibc.
#if defined(__SANITIZE_THREAD__)
#define ZAND_STL_STREAM_ACCESS_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZAND_STL_STREAM_ACCESS_UNDER_TSAN 1
#endif
#endif

// MinGW-w64 against msvcrt.dll must ask the stream's flags in every build:
// the runtime itself does harm where they forbid a call. glibc's buffer is
// read directly (uClibc claims to be glibc and is not), unless
// ZAND_STL_PORTABLE asks for the path of a runtime without such a buffer,
// so that it is built and tested too, or ThreadSanitizer watches. The
// portable class, which leaves everything to the runtime, serves every
// other runtime.
#if defined(__MINGW32__) && !defined(_UCRT)
#define ZAND_STL_STREAM_ACCESS_MSVCRT 1
#include "util/stream_access_msvcrt.h"
#elif defined(__GLIBC__) && !defined(__UCLIBC__) && \
    !defined(ZAND_STL_PORTABLE) && !defined(ZAND_STL_STREAM_ACCESS_UNDER_TSAN)
#define ZAND_STL_STREAM_ACCESS_GLIBC 1
#include "util/stream_access_glibc.h"
#else
#define ZAND_STL_STREAM_ACCESS_PORTABLE 1
#include "util/stream_access_portable.h"
#endif

namespace zand_internal {

#if defined(ZAND_STL_STREAM_ACCESS_MSVCRT)
using StreamAccess = MsvcrtStreamAccess;
#elif defined(ZAND_STL_STREAM_ACCESS_GLIBC)
using StreamAccess = GlibcStreamAccess;
#else
using StreamAccess = PortableStreamAccess;
#endif

}  // namespace zand_internal

#endif  // ZAND_STL_SRC_UTIL_STREAM_ACCESS_H
