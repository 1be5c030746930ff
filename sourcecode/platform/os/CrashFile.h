// How the crash handler puts its files in the user folder: under a fresh name first, then
// renamed onto the real one. The folder is the user's, and whatever stands under the real name
// (a symbolic link to another file, a FIFO that would block the failing process for ever) is
// never opened. Async-signal-safe: fixed buffers and system calls only.
#pragma once

#include <cstddef>

namespace platform::os {

// A file being written for path; fd is -1 when none could be made.
struct CrashFile {
  int fd = -1;
  char freshPath[4096 + 32];
  const char* path = nullptr;
  int error = 0;                // errno of the step that failed
  const char* why = nullptr;    // that step, for the console line
};

// Refuses a path whose current entry is anything but a regular file, then creates
// "<path>.<process id>" exclusively (no link followed, no blocking open).
CrashFile OpenCrashFile(const char* path, int processId);
// Marks the file as not written whole, error being the failed write's errno (EIO for 0):
// PlaceCrashFile then removes it, and a complete older file under its path stays.
void FailCrashFile(CrashFile& file, int error);
// Syncs and closes the file and renames it onto its path; a file not written whole (FailCrashFile)
// or not synced is removed instead. True when the file now stands under its path.
bool PlaceCrashFile(CrashFile& file);
// One console line on fd naming the file that was not written and why; nothing when it was.
void ExplainCrashFile(const CrashFile& file, int fd);

}  // namespace platform::os
