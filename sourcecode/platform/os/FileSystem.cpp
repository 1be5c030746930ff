// POSIX folder listing, time stamps, attributes and whole-file operations.
#include "platform/os/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/os/Path.h"

namespace platform::os {

namespace {

std::string Resolve(const char* path) {
  std::string out;
  ResolvePath(path, out);
  return out;
}

int64_t ToNanos(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

bool LessNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char ca = a[i], cb = b[i];
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca + 32);
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb + 32);
    if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool StatEntry(const std::string& path, FolderEntry& e) {
  struct stat st;
  e.symlink = lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  if (stat(path.c_str(), &st) != 0) return false;
  e.directory = S_ISDIR(st.st_mode);
  e.readOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  e.size = e.directory ? 0 : static_cast<uint64_t>(st.st_size);
  e.writeTime = ToNanos(st.st_mtim);
  return true;
}

}  // namespace

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& out) {
  out.clear();
  const std::string real = folder.empty() ? std::string(".") : Resolve(folder.c_str());
  DIR* dir = opendir(real.c_str());
  if (!dir) return false;
  std::vector<FolderEntry> dots, others;
  while (dirent* d = readdir(dir)) {
    FolderEntry e;
    e.name = d->d_name;
    // An entry that vanished between readdir and stat is skipped.
    if (!StatEntry(real + "/" + e.name, e)) continue;
    (e.name == "." || e.name == ".." ? dots : others).push_back(std::move(e));
  }
  const int saved = errno;
  closedir(dir);
  errno = saved;
  std::sort(dots.begin(), dots.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  std::sort(others.begin(), others.end(), [](const FolderEntry& a, const FolderEntry& b) { return LessNoCase(a.name, b.name); });
  out = std::move(dots);
  for (auto& e : others) out.push_back(std::move(e));
  return true;
}

bool AbsolutePath(const char* path, std::string& out) {
  std::string resolved = Resolve(path);
  if (!resolved.empty() && resolved[0] == '/') {
    out = resolved;
    return true;
  }
  char buffer[4096];
  if (!getcwd(buffer, sizeof buffer)) return false;
  out = buffer;
  if (!resolved.empty()) {
    if (out.back() != '/') out += '/';
    out += resolved;
  }
  // Drop "./" components so roots read cleanly.
  for (size_t p; (p = out.find("/./")) != std::string::npos;) out.erase(p, 2);
  if (out.size() >= 2 && out.compare(out.size() - 2, 2, "/.") == 0) out.erase(out.size() - 2);
  if (out.empty()) out = "/";
  return true;
}

bool IsRegularFile(const char* path) {
  struct stat st;
  return stat(Resolve(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

en_Entry InspectEntry(const char* path, std::string& what) {
  struct stat st;
  what.clear();
  if (stat(Resolve(path).c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ENTRY_MISSING;
    what = errno == ELOOP ? "a symbolic link loop" : std::strerror(errno);
    return ENTRY_OTHER;
  }
  if (S_ISREG(st.st_mode)) return ENTRY_FILE;
  what = S_ISDIR(st.st_mode)                          ? "a folder"
         : S_ISFIFO(st.st_mode)                       ? "a FIFO"
         : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
         : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                      : "not a regular file";
  return ENTRY_OTHER;
}

bool IsFolder(const char* path) {
  struct stat st;
  return stat(Resolve(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t GetFileSize(const char* path) {
  struct stat st;
  if (stat(Resolve(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool GetWriteTime(const char* path, int64_t& out) {
  struct stat st;
  if (stat(Resolve(path).c_str(), &st) != 0) return false;
  out = ToNanos(st.st_mtim);
  return true;
}

bool SetWriteTime(const char* path, int64_t time) {
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(time / 1000000000);
  times[1].tv_nsec = static_cast<long>(time % 1000000000);
  return utimensat(AT_FDCWD, Resolve(path).c_str(), times, 0) == 0;
}

bool SetReadOnly(const char* path, bool readOnly) {
  const std::string real = Resolve(path);
  struct stat st;
  if (stat(real.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  return chmod(real.c_str(), mode) == 0;
}

en_MakeDir MakeFolder(const char* path) {
  const std::string real = Resolve(path);
  if (real.empty()) return MKDIR_FAILED;
  if (mkdir(real.c_str(), 0777) == 0) return MKDIR_CREATED;
  if (errno == EEXIST) return MKDIR_EXISTS;
  if (errno == ENOENT) return MKDIR_NO_PARENT;
  return MKDIR_FAILED;
}

bool RemoveFolder(const char* path) { return rmdir(Resolve(path).c_str()) == 0; }

bool DeleteFile(const char* path) { return unlink(Resolve(path).c_str()) == 0; }

bool CopyFile(const char* from, const char* to, bool failIfExists) {
  const std::string source = Resolve(from);
  const std::string target = Resolve(to);
  if (failIfExists && access(target.c_str(), F_OK) == 0) return false;
  struct stat st;
  if (stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::FILE* in = std::fopen(source.c_str(), "rb");
  if (!in) return false;
  std::string temp;
  std::FILE* out = CreateTempBeside(target, temp);
  if (!out) {
    std::fclose(in);
    return false;
  }
  char buffer[65536];
  bool ok = true;
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    if (std::fwrite(buffer, 1, n, out) != n) {
      ok = false;
      break;
    }
  }
  ok = ok && !std::ferror(in);
  std::fclose(in);
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  chmod(temp.c_str(), st.st_mode & 07777);
  timespec times[2] = {st.st_atim, st.st_mtim};
  utimensat(AT_FDCWD, temp.c_str(), times, 0);
  return ReplaceFile(temp, target);
}

bool MoveFile(const char* from, const char* to) {
  const std::string source = Resolve(from);
  const std::string target = Resolve(to);
  if (access(target.c_str(), F_OK) == 0) return false;
  if (std::rename(source.c_str(), target.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  if (!CopyFile(source.c_str(), target.c_str(), true)) return false;
  return unlink(source.c_str()) == 0;
}

}  // namespace platform::os
