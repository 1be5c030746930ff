// base::File: the engine's one file object, a binary stdio stream open for reading or for
// writing. Every binary record of the engine goes through it: little-endian 32-bit numbers,
// strings and chunks as an i32 count followed by the bytes, no magic or version words. archive()
// reads or writes by the open mode, so one routine serialises a structure both ways.
//
// Names are resolved case-insensitively with "\" accepted as a separator. A file opened for
// writing is written through a cl_SafeFile (SafeFile.h: temporary file, fsync, rename) committed
// by close(), so a failed or interrupted write never leaves a half-written data file behind.
#pragma once

#include <cstdio>
#include <string>

#include "base/String.h"
#include "base/file/SafeFile.h"

namespace base {

class Text;
class Binary;

class File {
 public:
  enum en_Status { STATUS_CLOSED = 0, STATUS_READ = 1, STATUS_WRITE = 2 };

  File();
  File(const char* name, int status);  // open(name, status); check is_open()
  virtual ~File();                     // closes (and so commits a written file)
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Closes an open stream, stores the name, opens: STATUS_READ ("rb", size measured) or
  // STATUS_WRITE (empty, size 0). False, and closed, on failure or another status.
  bool open(const char* name, int status);
  // Opens for reading over size bytes in memory (not copied); name is used in messages.
  bool open_memory(const void* data, int size, const char* name);
  // Closes; a written file is renamed into place unless a write failed (then the old file stays
  // and an "ERROR:" line is logged). True when the file was closed cleanly.
  bool close();
  // Closes a file open for writing without touching the target.
  void discard();

  bool read(void* buffer, int count);         // true when all count bytes were read
  bool write(const void* buffer, int count);  // true when all were written; size grows by those written
  bool archive(void* buffer, int count);      // read or write by mode; false when closed
  bool archive(int& value);
  bool archive(unsigned& value);
  bool archive(float& value);
  bool archive(tString<BaseString>& s);  // the string records of tString::Read/Write
  bool archive(tString<BaseUnicodeString>& s);
  bool archive(Binary& b);

  // The whole file from the current position into out (bytes unchanged, CR LF kept). Needs read
  // mode and a size of at least 1; false on a short read (out then holds what was read).
  bool read_textfile(Text& out);

  int get_current_position() const { return m_handle ? m_position : 0; }
  // Absolute; false when closed or past the end (in write mode: past the bytes written).
  bool set_current_position(int position);
  int read_int();             // 4 bytes as i32; 0 and the file failed when nothing could be read
  bool write_int(int value);  // 4 bytes

  int get_size() const { return m_size; }  // read: file length; write: the temporary file's length
  int get_status() const { return m_status; }
  bool is_open() const { return m_status != STATUS_CLOSED; }
  const tString<BaseString>& get_name() const { return m_name; }
  int get_remaining() const;  // read mode: bytes between the position and the end

  // Why opening for writing or a write failed, for the caller's message: " (Read-only file
  // system)", " (No space left on device)" and the like; "" when the system gave no reason.
  std::string write_error_note() const;
  // The system's errno behind a refused open (for reading or writing) or a failed write, for a
  // caller that tells the cause in its own words; 0 when the system gave none.
  int error_number() const { return m_openError ? m_openError : m_out.error_number(); }
  // Sticky failure flag: set by a short transfer or a rejected record, cleared by open.
  bool has_error() const { return m_error; }
  void set_error() { m_error = true; }

  // For record readers: reads the i32 count of a record whose elements have unitSize bytes and
  // rejects a count that is negative or larger than what is left ("what" names the record in
  // the message). On rejection logs, marks the file failed and sets n to 0.
  bool read_length(int& n, int unitSize, const char* what);
  // Logs "ERROR: file '<name>': <text>" and marks the file failed.
  void report_error(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::FILE* m_handle = nullptr;
  en_Status m_status = STATUS_CLOSED;
  tString<BaseString> m_name;
  int m_size = 0;
  int m_position = 0;
  bool m_error = false;
  int m_openError = 0;  // errno of a refused open
  cl_SafeFile m_out;  // write mode: the temporary file, committed by close()
};

// Chunk record: i32 count, then the bytes when count >= 1. Always true unless a write failed.
bool WriteChunk(File* file, const unsigned char* data, int count);
// Reads a chunk; null for a count below 1 and for a rejected or short record (count is then 0).
// The block is allocated with new[]; the caller releases it with delete[].
unsigned char* ReadChunk(File* file, int& count);

// List record of 32-bit values: i32 count, then count values of 4 bytes.
bool WriteIntList(File* file, const int* values, int count);
// Reads a list record into a new[] array the caller releases with delete[]; null for an empty
// list and for a rejected or short record (count is then 0).
int* ReadIntList(File* file, int& count);

// fopen with the engine's name resolution (case-insensitive, "\" as separator). Reading opens
// only regular files, without blocking: anything else logs "ERROR: <name>: not a regular file".
std::FILE* OpenFileStream(const char* name, const char* mode);

// Raw stdio helpers: little-endian i32 and single bytes; reads give 0 when nothing was read.
int ReadInt(std::FILE* f);
void WriteInt(std::FILE* f, int value);
int ReadByte(std::FILE* f);
void WriteByte(std::FILE* f, int value);

}  // namespace base
