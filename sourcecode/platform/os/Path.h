// File-name resolution and safe file replacement for the engine's file layer. The data and the
// code spell folders and files with differing case ("Scripts/" and "scripts/") and with "\"
// separators; on Linux both are resolved here. No dependency on base.
#pragma once

#include <cstdio>
#include <string>

namespace platform::os {

// Turns every "\" into "/" and matches each path component against the disk: an exact match
// first, else a case-insensitive one from a cached folder scan (rescanned when the folder
// changes or a name is missing). Components that do not exist are kept as given, so the result
// can name a file about to be created. Returns true when the result names an existing entry.
bool ResolvePath(const char* path, std::string& out);

// Drops every cached folder scan (tests that rename folders under the resolver's feet).
void ForgetFolderCache();

// Why OpenResolved gave null.
enum en_OpenError { OPEN_OK, OPEN_MISSING, OPEN_NOT_REGULAR, OPEN_FAILED };

// fopen over ResolvePath; mode as for fopen. Null when the file cannot be opened. A read ("r"
// without "+") opens only a regular file, and never blocks: a folder, a named pipe or a device
// gives null with OPEN_NOT_REGULAR in *error (error may be null).
std::FILE* OpenResolved(const char* path, const char* mode, en_OpenError* error = nullptr);

// The longest file name target's folder takes (its file system's limit), in bytes.
size_t LongestNameBeside(const std::string& target);
// The path of target's temporary files up to their six random characters: target + ".tmp", or
// where that name would be too long for the folder while target's fits, a shorter one that still
// names target alone (its start, "~" and a hash of the whole name, ".tmp").
std::string TempPrefixBeside(const std::string& target);
// A new, empty temporary file beside target (same folder, so the final rename stays on one file
// system), named TempPrefixBeside(target) and six random characters, opened "wb"; its path goes
// to tempPath. Its name is unique and made with O_EXCL, so a link someone put at a temporary name
// is never followed. Null when it cannot be created.
std::FILE* CreateTempBeside(const std::string& target, std::string& tempPath);

// What a write by name does with what stands at target (links followed, as a shell's ">" does):
// REPLACE nothing or a regular file (through a temporary file renamed over it); THROUGH a named
// pipe or a character device, which must not be replaced by a file (a reader waiting on the pipe,
// /dev/null); FOLDER a folder, which the rename refuses with the system's own word; REFUSED
// anything else. what names all but a file: "a named pipe", "a device", "a folder", "a socket",
// "a block device", or the system's reason it cannot be looked at.
enum en_WriteTarget { TARGET_REPLACE, TARGET_THROUGH, TARGET_FOLDER, TARGET_REFUSED };
en_WriteTarget InspectWriteTarget(const std::string& target, std::string& what);
// Opens a named pipe or character device at target for writing, "wb", without waiting for a
// reader: a pipe nobody reads gives null with errno ENXIO. Null (errno set) as well when what is
// opened turned out to be anything else.
std::FILE* OpenWriteThrough(const std::string& target);
// Renames temp onto target, replacing it. False (temp removed) when that fails.
bool ReplaceFile(const std::string& temp, const std::string& target);
// Flushes f, forces its bytes to the disk (fsync) and closes it. False when any step failed or
// an earlier write on f did; f is closed either way.
bool SyncAndClose(std::FILE* f);
// Forces the folder that holds path to the disk, so that a rename into it survives a crash.
bool SyncFolderOf(const std::string& path);
// Removes a file; true when it is gone afterwards.
bool RemoveFile(const std::string& path);
// True when path exists and is write-protected (no write bit) or this process may not write it;
// errno then says why (EACCES for a cleared write bit, else what access(2) gave: EROFS, ...).
bool IsWriteProtected(const std::string& path);

// A read-only stdio stream over size bytes at data (not copied; they must outlive the stream).
std::FILE* OpenMemoryStream(const void* data, size_t size);

}  // namespace platform::os
