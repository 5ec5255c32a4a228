// ZAND_FILE: a thin owner of one buffered stream of the C runtime (FILE*),
// for reading lines and raw bytes and writing text. Every operation reports
// through a plain result (true or false, or a byte count) and nothing else.
#ifndef ZAND_STL_ZAND_FILE_H
#define ZAND_STL_ZAND_FILE_H

#include <cstdio>
#include <string>

#include "zand_stl/zand_stl_export.h"

// A stream refuses what its open mode forbids, whether opened here or
// adopted: reads of a stream open only for writing, writes to one open only
// for reading, and the file stays as it was. glibc and musl refuse such
// calls themselves (setting the stream's error indicator); with msvcrt.dll
// the stream's mode is asked first; the few runtimes whose FILE keeps it
// private (Microsoft's UCRT among them) decide alone.
//
// Copies share one handle without counting its holders. Of all the objects
// that hold one handle, exactly one may close it (by close_file() or by being
// destroyed); make every other one forget the handle first by assigning a
// default-constructed ZAND_FILE to it, and let none use the stream after it
// was closed.
class ZAND_STL_API ZAND_FILE {
 public:
  // Flags of open_file(), combined with bitwise OR. Only these five bits are
  // looked at; any other bit is ignored.
  static const unsigned int OPEN_READ_ONLY;    // 0x0001
  static const unsigned int OPEN_WRITE_ONLY;   // 0x0010
  static const unsigned int OPEN_APPEND;       // 0x0100
  static const unsigned int OPEN_TEXT_MODE;    // 0x1000
  static const unsigned int OPEN_BINARY_MODE;  // 0x2000

  // 0x0800: the size of read_string()'s line buffer, terminating NUL
  // included, so one call returns at most BUFFER_MAX_SIZE - 1 bytes.
  static const unsigned int BUFFER_MAX_SIZE;

  // Holds no stream.
  ZAND_FILE();

  // Takes the handle into its care as it is, null included, without testing
  // or touching the stream; the object will close it.
  explicit ZAND_FILE(std::FILE* file);

  // Holds the source's handle, which the source keeps too.
  ZAND_FILE(const ZAND_FILE& other);

  // The target takes the source's handle, which the source keeps too; a
  // handle the target held before is dropped without being closed.
  // Self-assignment changes nothing. Returns the target.
  ZAND_FILE& operator=(const ZAND_FILE& other);

  // The virtual operations, declared in the order of their table slots.

  // Closes a held stream, as close_file() of this class does.
  virtual ~ZAND_FILE();

  // Opens the named file and holds the new stream; true when it opened.
  //   Access, first that applies: OPEN_READ_ONLY reads an existing file;
  //   OPEN_WRITE_ONLY writes a new or emptied file, or, with OPEN_APPEND,
  //   creates a missing file, reads it from the start and writes every text
  //   at its end.
  //   Translation, first that applies: OPEN_TEXT_MODE selects the runtime's
  //   text mode, OPEN_BINARY_MODE its binary mode; otherwise its default.
  //   (Linux makes no difference between them.)
  // Flags with neither access bit, and names holding a NUL byte, fail
  // without opening anything. A stream held before is never closed here:
  // whether this open succeeds or fails, the object no longer holds it, so
  // close_file() first when it should be closed.
  virtual bool open_file(const std::string& name, unsigned int flags);

  // Closes the held stream and forgets it; without a stream, does nothing.
  // The object may then be opened again.
  virtual void close_file();

  // Writes the text up to its first NUL byte, adding no line end. False
  // without a stream, when the write fails, or when the stream is not open
  // for writing; that refusal leaves the file as it was.
  virtual bool write_string(const std::string& text);

  // Empties line first, on every call. Then reads the next line, its line
  // feed included, but at most BUFFER_MAX_SIZE - 1 bytes: a longer line
  // comes back in pieces over successive calls, and only the last piece ends
  // with the line feed. A NUL byte read ends the text returned, and the rest
  // of that piece is lost. An empty line comes back as "\n"; the end of the
  // file, a read error, a missing stream or a stream not open for reading
  // (whose file is left as it was) give false with line empty. When line
  // cannot get memory, std::bad_alloc passes on, line still empty and the
  // piece consumed.
  virtual bool read_string(std::string& line);

  // Reads up to size bytes into buffer and returns how many it read; a short
  // count means the end of the file or a read error, not told apart. 0
  // without a stream, with a null buffer, or on a stream not open for
  // reading, whose file is then left as it was.
  virtual unsigned int read(void* buffer, unsigned int size);

 private:
  // The held stream, or null while the object holds none.
  std::FILE* m_file;
};

#endif  // ZAND_STL_ZAND_FILE_H
