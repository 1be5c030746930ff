// Case-insensitive path resolution with a cached folder scan, temporary files and memory streams.
#include "platform/os/Path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform::os {

namespace {

std::string Fold(const std::string& s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return out;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

struct Folder {
  timespec mtime{};
  std::unordered_map<std::string, std::string> byFolded;  // folded name -> name on disk
};

class FolderCache {
 public:
  // The on-disk spelling of name inside folder ("" for the working folder), or "" when none.
  std::string Find(const std::string& folder, const std::string& name) {
    const std::string key = folder.empty() ? "." : folder;
    struct stat st;
    if (stat(key.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_folders.find(key);
    const std::string folded = Fold(name);
    if (it != m_folders.end() && SameTime(it->second.mtime, st.st_mtim)) {
      auto hit = it->second.byFolded.find(folded);
      if (hit != it->second.byFolded.end()) return hit->second;
    }
    // Missing, changed, or a miss that a change within the folder's time resolution may hide.
    Folder& f = m_folders[key];
    Scan(key, f);
    f.mtime = st.st_mtim;
    auto hit = f.byFolded.find(folded);
    return hit == f.byFolded.end() ? std::string() : hit->second;
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_folders.clear();
  }

 private:
  static void Scan(const std::string& folder, Folder& f) {
    f.byFolded.clear();
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) names.emplace_back(e->d_name);
    closedir(dir);
    // Sorted so that names differing only in case resolve the same way every time.
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) f.byFolded.emplace(Fold(n), n);
  }

  std::mutex m_mutex;
  std::unordered_map<std::string, Folder> m_folders;
};

FolderCache& Cache() {
  static FolderCache cache;
  return cache;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool ResolvePath(const char* path, std::string& out) {
  out.assign(path ? path : "");
  std::replace(out.begin(), out.end(), '\\', '/');
  if (out.empty()) return false;
  if (Exists(out)) return true;

  std::string result;
  size_t pos = 0;
  if (out[0] == '/') {
    result = "/";
    pos = 1;
  }
  bool found = true;
  while (pos <= out.size()) {
    size_t end = out.find('/', pos);
    if (end == std::string::npos) end = out.size();
    const std::string part = out.substr(pos, end - pos);
    const bool last = end >= out.size();
    if (!part.empty()) {
      // The folder so far, without its trailing separator ("" stands for the working folder).
      std::string folder = result;
      if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
      std::string name = part;
      if (found && part != "." && part != "..") {
        const std::string exact = result + part;
        if (!Exists(exact)) {
          const std::string real = Cache().Find(folder, part);
          if (real.empty()) {
            found = false;
          } else {
            name = real;
          }
        }
      }
      result += name;
    }
    if (!last) result += '/';
    pos = end + 1;
  }
  out.swap(result);
  return found && Exists(out);
}

void ForgetFolderCache() { Cache().Clear(); }

std::FILE* OpenResolved(const char* path, const char* mode, en_OpenError* error) {
  en_OpenError unused;
  en_OpenError& why = error ? *error : unused;
  why = OPEN_MISSING;
  std::string resolved;
  ResolvePath(path, resolved);
  if (resolved.empty() || !mode) return nullptr;
  const bool readOnly = mode[0] == 'r' && !std::strchr(mode, '+');
  if (!readOnly) {
    std::FILE* f = std::fopen(resolved.c_str(), mode);
    why = f ? OPEN_OK : (errno == ENOENT ? OPEN_MISSING : OPEN_FAILED);
    return f;
  }
  // Non-blocking, so that a named pipe without a writer cannot hold the open; the type is then
  // checked on what was opened, not on a name that may change in between.
  const int fd = open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = errno == ENOENT || errno == ENOTDIR ? OPEN_MISSING : OPEN_FAILED;
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = OPEN_NOT_REGULAR;
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = fdopen(fd, mode);
  if (!f) {
    close(fd);
    why = OPEN_FAILED;
    return nullptr;
  }
  why = OPEN_OK;
  return f;
}

size_t LongestNameBeside(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
  return longest > 0 ? static_cast<size_t>(longest) : NAME_MAX;
}

std::string TempPrefixBeside(const std::string& target) {
  constexpr size_t kRandom = 6;  // mkstemp's characters
  const size_t start = target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1;
  const std::string name = target.substr(start);
  const size_t longest = LongestNameBeside(target);
  if (name.size() + 4 + kRandom <= longest) return target + ".tmp";
  // FNV-1a: the same name gives the same prefix in every run, so a killed run's file is found.
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  char tail[32];
  std::snprintf(tail, sizeof tail, "~%016llx.tmp", static_cast<unsigned long long>(hash));
  size_t keep = std::min(name.size(), longest > kRandom + std::strlen(tail) ? longest - kRandom - std::strlen(tail) : 0);
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;  // a whole UTF-8 character
  return target.substr(0, start) + name.substr(0, keep) + tail;
}

std::FILE* CreateTempBeside(const std::string& target, std::string& tempPath) {
  tempPath = TempPrefixBeside(target) + "XXXXXX";
  std::vector<char> name(tempPath.begin(), tempPath.end());
  name.push_back(0);
  // O_EXCL (mkostemp's own) already refuses a link at the name; O_NOFOLLOW says so twice.
  const int fd = mkostemp(name.data(), O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    tempPath.clear();
    return nullptr;
  }
  // mkstemp makes the file private; a data file gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  tempPath.assign(name.data());
  std::FILE* f = fdopen(fd, "wb");
  if (!f) {
    close(fd);
    unlink(tempPath.c_str());
    tempPath.clear();
  }
  return f;
}

en_WriteTarget InspectWriteTarget(const std::string& target, std::string& what) {
  what.clear();
  struct stat st;
  if (stat(target.c_str(), &st) != 0) {
    // A dangling link is replaced as a missing file would be: rename puts the file at the name.
    if (errno == ENOENT || errno == ENOTDIR) return TARGET_REPLACE;
    what = errno == ELOOP ? "a symbolic link loop" : std::string("not to be looked at (") + std::strerror(errno) + ")";
    return TARGET_REFUSED;
  }
  if (S_ISREG(st.st_mode)) return TARGET_REPLACE;
  if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
    what = S_ISFIFO(st.st_mode) ? "a named pipe" : "a device";
    return TARGET_THROUGH;
  }
  if (S_ISDIR(st.st_mode)) {
    what = "a folder";
    return TARGET_FOLDER;
  }
  what = S_ISBLK(st.st_mode) ? "a block device" : S_ISSOCK(st.st_mode) ? "a socket" : "not a regular file";
  return TARGET_REFUSED;
}

std::FILE* OpenWriteThrough(const std::string& target) {
  // No O_CREAT and no O_TRUNC: nothing is made or cut here, whatever the name stands for by now.
  const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
    close(fd);
    errno = EEXIST;  // swapped for a file since it was looked at: that is replaced, not written into
    return nullptr;
  }
  // Writes wait for a slow reader as they would in a shell; only the open may not wait.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = fdopen(fd, "wb");
  if (!f) close(fd);
  return f;
}

bool ReplaceFile(const std::string& temp, const std::string& target) {
  if (std::rename(temp.c_str(), target.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

bool SyncAndClose(std::FILE* f) {
  if (!f) return false;
  // The first failure's errno is kept for the caller's message.
  int error = 0;
  if (std::fflush(f) != 0 || std::ferror(f)) error = errno ? errno : EIO;
  if (fsync(fileno(f)) != 0 && !error) error = errno;
  if (std::fclose(f) != 0 && !error) error = errno;
  errno = error;
  return error == 0;
}

bool SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

bool IsWriteProtected(const std::string& path) {
  if (access(path.c_str(), F_OK) != 0) return false;
  // The write bits are the file's protection attribute: a process that could write anyway (the
  // superuser) still leaves a protected file alone.
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    errno = EACCES;
    return true;
  }
  return access(path.c_str(), W_OK) != 0;
}

std::FILE* OpenMemoryStream(const void* data, size_t size) {
  // Some C libraries refuse an empty memory stream; an empty device reads the same.
  if (size == 0) return std::fopen("/dev/null", "rb");
  return fmemopen(const_cast<void*>(data), size, "rb");
}

}  // namespace platform::os
