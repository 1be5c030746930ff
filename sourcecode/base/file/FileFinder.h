// Folder enumeration: base::cl_FileFinder walks the entries of one folder that match a wildcard
// pattern (Windows rules: '*' and '?', letters without case, "*.*" also matching names without a
// dot), one step ahead, as the development tools and the folder listings expect.
// base::ListDirectory turns a folder (optionally a whole tree) into a Variant tree of "Folder" and
// "File" elements, which the text system, the archive builder and the file browsers read.
#pragma once

#include "base/String.h"
#include "base/data/VariantTools.h"

namespace base {

class Variant;

// One entry as the finder reports it.
struct st_FindData {
  unsigned long attributes = 0;  // platform::os ATTRIB_* bits: 0x01 read-only, 0x10 folder, 0x400 link
  long long writeTime = 0;       // nanoseconds since the epoch
  unsigned long sizeHigh = 0;
  unsigned long sizeLow = 0;
  tString<BaseString> name;
};

class cl_FileFinder {
 public:
  static constexpr unsigned long ATTRIB_READONLY = 0x01, ATTRIB_DIRECTORY = 0x10, ATTRIB_NORMAL = 0x80,
                                 ATTRIB_LINK = 0x400;

  cl_FileFinder();
  virtual ~cl_FileFinder();  // Close
  cl_FileFinder(const cl_FileFinder&) = delete;
  cl_FileFinder& operator=(const cl_FileFinder&) = delete;

  // Starts a search ("folder/pattern"; null means "*.*"). False when the folder cannot be read or
  // nothing matches (errno then tells why). On success the root is the absolute folder.
  bool FindFile(const char* pattern = nullptr);
  // Steps onto the entry fetched ahead and fetches the next one. The entry now found is valid
  // whatever the result; false means it is the last (or no search is open).
  bool FindNextFileA();
  void Close();  // releases the records and the search

  bool IsDirectory() const;
  bool IsLink() const;  // the entry is a symbolic link (IsDirectory tells what it points to)
  bool IsDots() const;                          // a folder named "." or ".."
  bool MatchesMask(unsigned long mask) const;   // found entry's attributes share a bit with mask
  const char* GetFileName() const;              // null before the first step
  unsigned long GetLength() const;              // low 32 bits of the size; 0 before the first step
  long long GetWriteTime() const;               // 0 before the first step
  const char* GetRoot() const { return m_root.c_str(); }
  tString<BaseString> GetFilePath() const;      // root + separator + name

  // FindFile(pattern) and appends every entry that is not a folder: its name, or with fullPath
  // its GetFilePath, in the order entries are reported.
  void AddToFileList(list<tString<BaseString>>& out, const tString<BaseString>& pattern, bool fullPath);

 protected:
  virtual void CloseContext();  // ends the platform search

 private:
  struct Search;

  bool Fetch(st_FindData* into);

  st_FindData* m_found = nullptr;
  st_FindData* m_next = nullptr;
  Search* m_handle = nullptr;
  tString<BaseString> m_root;
  char m_separator = '/';
};

// out := element "Folder" {name, path = path with a trailing separator}, with one child per
// entry matching pattern ("Folder" or "File" {name, path = path + name}); with recursive, each
// sub-folder other than ".", ".." and ".svn", and other than a symbolic link to a folder, is listed
// into its child the same way. A folder that
// cannot be listed gives the element without children; nothing is logged.
void ListDirectory(Variant& out, tString<BaseString> path, const tString<BaseString>& pattern, bool recursive);

}  // namespace base
