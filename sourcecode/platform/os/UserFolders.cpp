// The documents folder lookup and the instance lock.
#include "platform/os/UserFolders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace platform::os {
namespace {

constexpr size_t kMaxUserDirsBytes = 64 * 1024;  // the real file is a few hundred bytes

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

// One line without its end: KEY="value" with optional blanks before KEY.
bool ReadDocumentsLine(const std::string& line, const std::string& home, std::string* out) {
  static const char kKey[] = "XDG_DOCUMENTS_DIR";
  size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos || line.compare(i, sizeof kKey - 1, kKey) != 0) return false;
  i += sizeof kKey - 1;
  if (i >= line.size() || line[i] != '=') return false;
  ++i;
  if (i >= line.size() || line[i] != '"') return false;
  const size_t close = line.find('"', i + 1);
  if (close == std::string::npos) return false;
  std::string value = line.substr(i + 1, close - i - 1);
  for (char c : value)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
    if (home.empty()) return false;
    value = home + value.substr(5);
  } else if (value.empty() || value[0] != '/') {
    return false;
  }
  *out = value;
  return true;
}

}  // namespace

std::string ParseUserDirsDocuments(const char* text, size_t size, const std::string& home) {
  if (!text) return std::string();
  std::string result;
  size_t start = 0;
  while (start < size) {
    const char* end = static_cast<const char*>(std::memchr(text + start, '\n', size - start));
    const size_t stop = end ? static_cast<size_t>(end - text) : size;
    std::string line(text + start, stop - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string value;
    if (ReadDocumentsLine(line, home, &value)) result = value;  // the last line wins, as in the shell
    start = stop + 1;
  }
  return result;
}

std::string DocumentsFolder() {
  if (const char* docs = Env("XDG_DOCUMENTS_DIR")) return docs;
  const char* home = Env("HOME");
  std::string config;
  if (const char* configHome = Env("XDG_CONFIG_HOME")) config = configHome;
  else if (home) config = std::string(home) + "/.config";
  if (!config.empty()) {
    std::ifstream in(config + "/user-dirs.dirs", std::ios::binary);
    if (in) {
      std::string text;
      text.resize(kMaxUserDirsBytes);
      in.read(text.data(), static_cast<std::streamsize>(text.size()));
      text.resize(static_cast<size_t>(in.gcount()));
      const std::string found = ParseUserDirsDocuments(text.data(), text.size(), home ? home : "");
      if (!found.empty()) return found;
    }
  }
  return home ? std::string(home) + "/Documents" : std::string();
}

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Acquire(const std::string& path, std::string* error) {
  Release();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return Result::Failed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int code = errno;
    ::close(fd);
    if (code == EWOULDBLOCK) return Result::HeldElsewhere;
    if (error) *error = std::strerror(code);
    return Result::Failed;
  }
  m_fd = fd;
  return Result::Acquired;
}

void InstanceLock::Release() {
  if (m_fd < 0) return;
  ::flock(m_fd, LOCK_UN);
  ::close(m_fd);
  m_fd = -1;
}

}  // namespace platform::os
