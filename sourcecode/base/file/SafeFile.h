// base::cl_SafeFile: the one way the engine replaces a file it owns (savegames, thumbnails,
// screenshots, configuration, editor and tool outputs). The bytes go to a new temporary file
// with a unique name in the target's folder; every write is checked; commit() flushes and
// fsyncs the file, renames it over the target and fsyncs the folder. Until that rename the old
// file stays untouched, so a full disk, a crash, a kill or a power cut leaves either the old
// file or the complete new one, never a mix.
//
// Two writers of one target never share a temporary file (each gets its own unique name; the
// last commit wins). A killed run may leave a "<target>.tmpXXXXXX" behind (a shorter name beside
// a target whose name leaves no room for the suffix), which no later run opens or trips on; a
// link put at a temporary name is never followed.
//
// A target that is a named pipe or a character device is written through, as a shell's ">" would
// (a reader waiting on the pipe gets the bytes; /dev/null takes them): it is never replaced by a
// file. A pipe nobody reads, a socket or a block device is refused; a folder fails the rename.
// begin() and commit() run on one thread: a pipe's reader that goes away then fails the write
// ("Broken pipe") instead of ending the program.
//
//   base::cl_SafeFile out;
//   if (!out.begin("Savegames/slot1.sav")) return false;  // logged
//   out.write(header, sizeof header);                      // a failure is sticky
//   out.write(body.data(), body.size());
//   return out.commit();                                   // logged; old file kept on failure
//
// Failures log one "ERROR: file '<name>': ..." line through base::sys::Output with the cause.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace base {

class cl_SafeFile {
 public:
  cl_SafeFile() = default;
  ~cl_SafeFile();  // abandons a write not committed
  cl_SafeFile(const cl_SafeFile&) = delete;
  cl_SafeFile& operator=(const cl_SafeFile&) = delete;

  // Resolves name (any letter case, "\" separators) and creates the temporary file beside it, or
  // opens a pipe or device there. False (logged) when it cannot be created, the name is too long
  // for its folder or the target is refused; abandons a write under way first.
  bool begin(const char* name);
  // Appends size bytes; false when not begun or when this or an earlier write failed (logged
  // once, at commit).
  bool write(const void* data, size_t size);
  // The temporary file's stream, for callers that write or seek with stdio themselves; null
  // when not begun. commit() notices a failed stdio write through ferror.
  std::FILE* stream() const { return m_stream; }
  // Marks the write failed: commit() then abandons it (a caller's own check failed).
  void set_failed() { m_failed = true; }
  bool failed() const { return m_failed; }
  // Why the first failed step failed, the creation of the temporary file included ("No space
  // left on device", "Read-only file system", ...); "" when none did for a reason the system gave.
  const char* write_error() const;
  int error_number() const { return m_error; }  // the same as the system's errno; 0 for none
  bool is_open() const { return m_stream != nullptr; }

  // Flushes and fsyncs the temporary file, renames it onto the target and fsyncs the folder.
  // False (logged, the temporary file removed, the old target kept) when a write, the flush,
  // the fsync or the rename failed; a folder that cannot be synced only logs a warning. Written
  // through: flushes and closes; false (logged) when a write or the flush failed.
  bool commit();
  // Closes and removes the temporary file; the target is not touched. Quiet. (What was written
  // through a pipe or a device is gone already.)
  void abandon();

  const std::string& target() const { return m_target; }  // the resolved target path

 private:
  bool fail(const char* what, int error);
  bool beginThrough();
  // Ends a write through: closes the stream, and takes back a broken pipe's signal. errno of the
  // first failure, 0 when none.
  int endThrough();

  std::FILE* m_stream = nullptr;
  bool m_through = false;         // written through a pipe or device, no temporary file
  bool m_pipeSignalHeld = false;  // SIGPIPE blocked on this thread by begin(), for commit()
  std::string m_name;    // as given, for messages
  std::string m_target;  // resolved
  std::string m_temp;
  bool m_failed = false;
  int m_error = 0;  // errno of the first failed write
};

// Removes the temporary files a killed writer of name left beside it (a single writer's own
// targets only: another writer's unfinished file would go too). The number removed.
int RemoveStaleTempFiles(const char* name);

// Writes size bytes to name through a cl_SafeFile. False (logged, the old file kept) on failure.
bool SaveFileSafely(const char* name, const void* data, size_t size);

}  // namespace base
