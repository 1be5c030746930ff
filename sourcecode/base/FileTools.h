// Free functions around files and paths: whole files into memory and back, existence and time
// stamps, the read-only attribute (cleared before a tool overwrites a data file), path and
// extension manipulation, the recursive folder operations of the development tools, and the
// lookup-table record. "\" and "/" are both separators wherever one is searched.
#pragma once

#include <map>
#include <string>

#include "base/String.h"

namespace base {

class Binary;
class File;

// ---- loading and saving (binary mode)

// out := the whole file. False (out empty) when it cannot be opened or read in full.
bool LoadFile(const char* name, Binary& out);
// out := length bytes from offset. False (out empty) when the file cannot be opened, the range
// is negative or reaches past the end of the file, or the read comes up short.
bool LoadFile(const char* name, int offset, int length, Binary& out);
// A new[] block of size + 1 bytes: the file and a terminating 0 (caller releases with delete[]).
// Null, size 0, when the file cannot be opened or read.
unsigned char* LoadFile(const char* name, int& size);
unsigned char* LoadFile(const char* name);
// Writes size bytes through a temporary file renamed into place. False when the file cannot be
// created or a write comes up short (the old file then stays).
bool SaveFile(const char* name, const unsigned char* data, int size);
bool FileExists(const tString<BaseString>& name);  // a regular file that can be opened for reading
// Why name is no file FileExists takes, for a log line: "is missing", "is a folder, not a
// file" (a FIFO, a device, a socket, a symbolic link loop), or "cannot be opened (<cause>)";
// empty when it is one.
std::string FileProblem(const tString<BaseString>& name);

// ---- time stamps and attributes

// -1 when a was written before b, 0 at the same time, 1 after; -2 when either cannot be read.
int FileTimeCompare(const char* a, const char* b);
bool FileTimeCopy(const char* target, const char* source);  // target's write time := source's
void SetFileWriteProtection(const tString<BaseString>& name, bool protect);
// Every file below folder (all levels) made writable; refused for names shorter than 3 characters.
void SetFilesNormalRecursive(const tString<BaseString>& folder);

// ---- paths and extensions

// The text after the first '.' of the file name (the part after the last separator), lower case;
// the whole name in lower case when it has no '.'.
tString<BaseString> GetFileExtension(const tString<BaseString>& name);
// name := the text up to and including its last '.', then ext; a name without '.' becomes ext.
void ReplaceFileExtension(tString<BaseString>& name, const tString<BaseString>& ext);
tString<BaseString> StripExtension(const tString<BaseString>& name);   // before the last '.'
tString<BaseString> StripPath(const tString<BaseString>& name);        // after the last separator
tString<BaseString> ExtractLastFolder(const tString<BaseString>& name);  // same; empty after a trailing one
tString<BaseString> ExtractPath(const tString<BaseString>& name);      // before the last separator

// Why name cannot stand for one entry inside a folder (it would reach outside it or name none):
// "is empty", "holds a folder separator", "is only dots" ("." and ".."); null when it can.
const char* PlainNameProblem(const char* name);

// ---- folder operations (development tools; the working folder is never changed)

// Creates the folder, and its missing parents; logs "EagerMkdir: %s" to the debugger output for
// each folder created.
void EagerMkdir(const tString<BaseString>& path);
// Copies a file, creating the target's folders; with failIfExists an existing target is kept.
bool ThoroughFileCopy(const tString<BaseString>& source, const tString<BaseString>& target, bool failIfExists);
bool MyMoveFile(const tString<BaseString>& from, const tString<BaseString>& to);
// source and target end with a separator; copies every matching entry, folders recursively.
void CopyFolderContent(const tString<BaseString>& source, const tString<BaseString>& target,
                       const tString<BaseString>& pattern);
// Deletes every file and sub-folder inside folder; refused below 3 characters.
void DeleteContent(const tString<BaseString>& folder);
// Deletes every file at every level, keeping the folders; refused below 2 characters.
void DeleteFileContent(const tString<BaseString>& folder);
// DeleteContent(folder) and the folder itself; refused when guard is shorter than 3 characters.
void Eradicate(const tString<BaseString>& guard, const tString<BaseString>& folder);

// ---- lookup tables: i32 count, then per entry in key order the key's string record and an i32

bool WriteLookup(File* file, const std::map<tString<BaseString>, int>& table);
// Empties table, then reads; a repeated key keeps its first value. False (and table empty) on a
// damaged record.
bool ReadLookup(File* file, std::map<tString<BaseString>, int>& table);

}  // namespace base
