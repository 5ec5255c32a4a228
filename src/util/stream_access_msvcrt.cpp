// MsvcrtStreamAccess: the open mode read from msvcrt.dll's FILE flags.
// Compiled to nothing where util/stream_access.h chose another class, since
// other runtimes' FILE has no such flags.
#include "util/stream_access_msvcrt.h"

#include "util/stream_access.h"

#if defined(ZAND_STL_STREAM_ACCESS_MSVCRT)

namespace zand_internal {

namespace {

// "r" sets _IOREAD, "w" and "a" set _IOWRT, "+" sets _IORW alone; an update
// stream later adds _IOREAD or _IOWRT for its current direction.
bool permits(const std::FILE* file, int direction) {
  return (file->_flag & (direction | _IORW)) != 0;
}

}  // namespace

bool MsvcrtStreamAccess::may_read() const { return permits(m_file, _IOREAD); }

bool MsvcrtStreamAccess::may_write() const { return permits(m_file, _IOWRT); }

}  // namespace zand_internal

#endif  // ZAND_STL_STREAM_ACCESS_MSVCRT
