// Folder enumeration over the platform's folder listing.
#include "base/file/FileFinder.h"

#include <cerrno>
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "platform/os/FileSystem.h"

namespace base {

// The open search: the folder's matching entries, read at FindFile, and the next one to hand out.
struct cl_FileFinder::Search {
  std::vector<platform::os::FolderEntry> entries;
  size_t next = 0;
};

cl_FileFinder::cl_FileFinder() = default;

cl_FileFinder::~cl_FileFinder() { Close(); }

bool cl_FileFinder::FindFile(const char* pattern) {
  Close();
  m_next = new st_FindData;
  const std::string full = pattern && *pattern ? pattern : "*.*";
  const size_t cut = full.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? std::string() : full.substr(0, cut);
  const std::string mask = cut == std::string::npos ? full : full.substr(cut + 1);

  std::vector<platform::os::FolderEntry> all;
  if (!platform::os::ListFolder(cut == std::string::npos ? std::string() : (folder.empty() ? "/" : folder), all)) {
    const int error = errno;
    Close();
    errno = error;
    return false;
  }
  m_handle = new Search;
  for (auto& e : all) {
    if (str::wildcard_match(e.name.c_str(), mask.c_str())) m_handle->entries.push_back(std::move(e));
  }
  if (m_handle->entries.empty()) {
    Close();
    errno = ENOENT;
    return false;
  }
  std::string absolute;
  if (!platform::os::AbsolutePath(full.c_str(), absolute)) {
    Close();
    return false;
  }
  const size_t rootCut = absolute.find_last_of("/\\");
  absolute = rootCut == std::string::npos ? std::string() : absolute.substr(0, rootCut);
  m_root = absolute.c_str();
  Fetch(m_next);
  return true;
}

bool cl_FileFinder::Fetch(st_FindData* into) {
  if (!m_handle || m_handle->next >= m_handle->entries.size()) return false;
  const platform::os::FolderEntry& e = m_handle->entries[m_handle->next++];
  into->attributes =
      (e.directory ? ATTRIB_DIRECTORY : 0) | (e.readOnly ? ATTRIB_READONLY : 0) | (e.symlink ? ATTRIB_LINK : 0);
  if (into->attributes == 0) into->attributes = ATTRIB_NORMAL;
  into->writeTime = e.writeTime;
  into->sizeHigh = static_cast<unsigned long>(e.size >> 32);
  into->sizeLow = static_cast<unsigned long>(e.size & 0xFFFFFFFFu);
  into->name = e.name.c_str();
  return true;
}

bool cl_FileFinder::FindNextFileA() {
  if (!m_handle) return false;
  if (!m_found) m_found = new st_FindData;
  st_FindData* t = m_found;
  m_found = m_next;
  m_next = t;
  return Fetch(m_next);
}

void cl_FileFinder::Close() {
  delete m_found;
  delete m_next;
  m_found = m_next = nullptr;
  if (m_handle) CloseContext();
  m_handle = nullptr;
}

void cl_FileFinder::CloseContext() {
  delete m_handle;
  m_handle = nullptr;
}

bool cl_FileFinder::IsDirectory() const { return m_found && (m_found->attributes & ATTRIB_DIRECTORY); }

bool cl_FileFinder::IsLink() const { return m_found && (m_found->attributes & ATTRIB_LINK); }

bool cl_FileFinder::IsDots() const {
  return IsDirectory() && (m_found->name == "." || m_found->name == "..");
}

bool cl_FileFinder::MatchesMask(unsigned long mask) const { return m_found && (m_found->attributes & mask); }

const char* cl_FileFinder::GetFileName() const { return m_found ? m_found->name.c_str() : nullptr; }

unsigned long cl_FileFinder::GetLength() const { return m_found ? m_found->sizeLow : 0; }

long long cl_FileFinder::GetWriteTime() const { return m_found ? m_found->writeTime : 0; }

tString<BaseString> cl_FileFinder::GetFilePath() const {
  tString<BaseString> out = m_root;
  out += m_separator;
  if (m_found) out += m_found->name;
  return out;
}

void cl_FileFinder::AddToFileList(list<tString<BaseString>>& out, const tString<BaseString>& pattern, bool fullPath) {
  if (!FindFile(pattern.c_str())) return;
  bool more;
  do {
    more = FindNextFileA();
    if (!IsDirectory()) out.push_back(fullPath ? GetFilePath() : tString<BaseString>(GetFileName()));
  } while (more);
}

void ListDirectory(Variant& out, tString<BaseString> path, const tString<BaseString>& pattern, bool recursive) {
  const char last = path.back();
  if (last != '/' && last != '\\') path += "/";
  out.set_element("Folder");
  out.attribute("name")->set_string(path.c_str());
  out.attribute("path")->set_string(path.c_str());

  cl_FileFinder finder;
  if (!finder.FindFile((path + pattern.c_str()).c_str())) return;
  bool more;
  do {
    more = finder.FindNextFileA();
    const bool folder = finder.IsDirectory();
    const char* name = finder.GetFileName();
    Variant& child = out.add_element(folder ? "Folder" : "File");
    const tString<BaseString> childPath = path + name;
    // A linked folder is listed but not entered: a link to a folder above would never end.
    if (folder && recursive && !finder.IsLink() && str::compare(name, ".") != 0 && str::compare(name, "..") != 0 &&
        str::compare(name, ".svn") != 0) {
      ListDirectory(child, childPath, pattern, true);
    }
    // Set after the recursion so they replace what it wrote.
    child.attribute("name")->set_string(name);
    child.attribute("path")->set_string(childPath.c_str());
  } while (more);
  finder.Close();
}

}  // namespace base
