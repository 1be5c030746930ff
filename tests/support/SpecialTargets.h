// Targets of a write by name that are no regular file, made in a test's scratch folder (never
// under /dev): a named pipe with a reader waiting or without one, character devices that act as
// /dev/null and /dev/full (where the system lets a test make them), a socket, and a link at a
// writer's temporary name. The safe writer's tests and those of the programs that write pictures
// by name check that each is left as it was, or written through, and never replaced.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace testsupport {

// What stands at path, a link not followed: "file", "pipe", "device", "socket", "link", "folder",
// "missing" or "other".
inline std::string EntryKind(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return "missing";
  if (S_ISREG(st.st_mode)) return "file";
  if (S_ISFIFO(st.st_mode)) return "pipe";
  if (S_ISCHR(st.st_mode)) return "device";
  if (S_ISSOCK(st.st_mode)) return "socket";
  if (S_ISLNK(st.st_mode)) return "link";
  if (S_ISDIR(st.st_mode)) return "folder";
  return "other";
}

// A character device of the memory driver at path: minor 3 acts as /dev/null, 7 as /dev/full.
// False where the system does not let the test make one (no privilege, a container's rules).
inline bool MakeMemoryDevice(const std::string& path, unsigned minor) {
  return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0;
}

// A Unix socket bound at path; its descriptor for the caller to close, or -1.
inline int MakeSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// A named pipe made at path whose reader waits from the start and drains what arrives on a
// thread of its own, so that a writer of more than the pipe holds is not held up. Stop() ends the
// reading and gives all that arrived.
class cl_PipeReader {
 public:
  explicit cl_PipeReader(const std::string& path) {
    if (mkfifo(path.c_str(), 0644) != 0) return;
    m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd >= 0) m_thread = std::thread([this] { Drain(); });
  }
  ~cl_PipeReader() { Stop(); }
  cl_PipeReader(const cl_PipeReader&) = delete;
  cl_PipeReader& operator=(const cl_PipeReader&) = delete;

  bool IsOpen() const { return m_fd >= 0; }
  std::string Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_fd >= 0) {
      ReadAvailable();
      close(m_fd);
      m_fd = -1;
    }
    return m_bytes;
  }

 private:
  // Until the writer has come and gone (a hang-up with nothing left), or Stop().
  void Drain() {
    while (!m_stop) {
      pollfd wait{m_fd, POLLIN, 0};
      if (poll(&wait, 1, 50) <= 0) continue;
      if (ReadAvailable() == 0 && (wait.revents & POLLHUP)) return;
    }
  }
  size_t ReadAvailable() {
    size_t total = 0;
    char buffer[65536];
    for (ssize_t n; (n = read(m_fd, buffer, sizeof buffer)) > 0;) {
      m_bytes.append(buffer, size_t(n));
      total += size_t(n);
    }
    return total;
  }

  int m_fd = -1;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
  std::string m_bytes;
};

// ---- the programs' picture targets

// One kind of target a program is asked to write a picture to, with what it must answer.
struct st_PictureTargetCase {
  enum en_Kind { READ_PIPE, UNREAD_PIPE, NULL_DEVICE, FULL_DEVICE, LINK_AT_TEMPORARY } kind;
  const char* name;
  int exitCode;      // the program's
  const char* says;  // a part of its log line when it refuses, else null
};
inline constexpr st_PictureTargetCase kPictureTargetCases[] = {
    {st_PictureTargetCase::READ_PIPE, "a named pipe a reader waits on", 0, nullptr},
    {st_PictureTargetCase::UNREAD_PIPE, "a named pipe nobody reads", 1, "it is a named pipe nobody reads"},
    {st_PictureTargetCase::NULL_DEVICE, "a device that acts as /dev/null", 0, nullptr},
    {st_PictureTargetCase::FULL_DEVICE, "a device that acts as /dev/full", 1, "(No space left on device)"},
    {st_PictureTargetCase::LINK_AT_TEMPORARY, "a link at the temporary name <target>.tmp", 0, nullptr},
};

// The case's target made at path before the program runs, and checked after it.
class cl_PictureTarget {
 public:
  cl_PictureTarget(const st_PictureTargetCase& kind, const std::string& path) : m_case(kind), m_path(path) {
    using K = st_PictureTargetCase;
    switch (kind.kind) {
      case K::READ_PIPE: m_reader = std::make_unique<cl_PipeReader>(path); break;
      case K::UNREAD_PIPE: mkfifo(path.c_str(), 0644); break;
      case K::NULL_DEVICE:
      case K::FULL_DEVICE:
        if (!MakeMemoryDevice(path, kind.kind == K::NULL_DEVICE ? 3 : 7))
          m_whyNot = std::string("no device made here: ") + std::strerror(errno);
        break;
      case K::LINK_AT_TEMPORARY:
        std::ofstream(Victim()) << kVictimText;
        std::filesystem::create_symlink(Victim(), path + ".tmp");
        break;
    }
  }

  // Empty when the target could be made, else why not (the case is then left out).
  const std::string& WhyNot() const { return m_whyNot; }

  // What is wrong after the program ran: the target is not what it was, a link or the file it
  // points to was touched, or a picture written (through) is no PNG. Empty when all holds.
  std::string Check() {
    using K = st_PictureTargetCase;
    const std::string kind = EntryKind(m_path);
    switch (m_case.kind) {
      case K::READ_PIPE: {
        const std::string got = m_reader->Stop();
        if (kind != "pipe") return "the pipe became a " + kind;
        if (got.compare(0, 4, "\x89PNG") != 0)
          return "the reader got no PNG (" + std::to_string(got.size()) + " bytes)";
        return {};
      }
      case K::UNREAD_PIPE: return kind == "pipe" ? std::string() : "the pipe became a " + kind;
      case K::NULL_DEVICE:
      case K::FULL_DEVICE: return kind == "device" ? std::string() : "the device became a " + kind;
      case K::LINK_AT_TEMPORARY: {
        std::ifstream victim(Victim(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(victim)), std::istreambuf_iterator<char>());
        if (text != kVictimText) return "the file the link points to was written";
        if (EntryKind(m_path + ".tmp") != "link") return "the link at the temporary name is gone";
        std::ifstream picture(m_path, std::ios::binary);
        char magic[4] = {};
        picture.read(magic, 4);
        if (kind != "file" || std::string(magic, 4) != "\x89PNG") return "no PNG file written at the target";
        return {};
      }
    }
    return {};
  }

 private:
  static constexpr const char* kVictimText = "the link's file";
  std::string Victim() const { return m_path + ".victim"; }

  st_PictureTargetCase m_case;
  std::string m_path;
  std::string m_whyNot;
  std::unique_ptr<cl_PipeReader> m_reader;
};

}  // namespace testsupport
