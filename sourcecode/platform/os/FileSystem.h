// Folder listing, time stamps, attributes and whole-file operations for the engine's file tools
// and directory search. Every path goes through ResolvePath (Path.h), so the engine may spell
// names in any letter case and with "\" separators. No dependency on base.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::os {

// One folder entry as the engine's finder reports it.
struct FolderEntry {
  std::string name;
  bool directory = false;
  bool readOnly = false;
  bool symlink = false;  // the entry is a symbolic link (the other fields describe its target)
  uint64_t size = 0;
  int64_t writeTime = 0;  // last modification, nanoseconds since the epoch
};

// Attribute bits of the engine's find record; the values the engine tests (ORDER ATTRIB).
enum : unsigned long { ATTRIB_READONLY = 0x01, ATTRIB_DIRECTORY = 0x10, ATTRIB_NORMAL = 0x80, ATTRIB_LINK = 0x400 };

// The entries of folder ("" is the working folder), "." and ".." first, then the others in name
// order ignoring letter case. False (errno kept) when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& out);

// The absolute, resolved form of path (it need not exist); false when the working folder is unknown.
bool AbsolutePath(const char* path, std::string& out);

bool IsRegularFile(const char* path);
bool IsFolder(const char* path);

// What stands at path, for files that may be absent but must not be taken as absent when
// something else is there: ENTRY_MISSING (nothing, or a link to nothing), ENTRY_FILE, or
// ENTRY_OTHER with what set to the cause ("a folder", "a FIFO", "a device", "a socket",
// "a symbolic link loop", or the system's reason it cannot be looked at).
enum en_Entry { ENTRY_MISSING, ENTRY_FILE, ENTRY_OTHER };
en_Entry InspectEntry(const char* path, std::string& what);
// Size of a regular file; -1 when it is missing or not a file.
int64_t GetFileSize(const char* path);
// Last-write time in nanoseconds; false when the entry cannot be read.
bool GetWriteTime(const char* path, int64_t& out);
bool SetWriteTime(const char* path, int64_t time);
// Read-only removes every write permission; otherwise the owner may write again.
bool SetReadOnly(const char* path, bool readOnly);

enum en_MakeDir { MKDIR_CREATED, MKDIR_EXISTS, MKDIR_NO_PARENT, MKDIR_FAILED };
en_MakeDir MakeFolder(const char* path);
bool RemoveFolder(const char* path);  // an empty folder
bool DeleteFile(const char* path);     // false when it could not be removed (or did not exist)
// Copies the bytes and the write time through a temporary file renamed into place. With
// failIfExists an existing target is refused.
bool CopyFile(const char* from, const char* to, bool failIfExists);
// Renames; falls back to copy and delete across file systems. Refuses an existing target.
bool MoveFile(const char* from, const char* to);

}  // namespace platform::os
