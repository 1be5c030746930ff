// POSIX implementation of the datagram wrapper.
#include "platform/net/DatagramSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace platform::net {
namespace {

thread_local int t_lastError = 0;

void Remember() { t_lastError = errno; }

sockaddr_in ToSockaddr(const Endpoint& e) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = e.port;
  sa.sin_addr.s_addr = e.address;
  return sa;
}

}  // namespace

uint32_t LoopbackAddress() { return htonl(INADDR_LOOPBACK); }
uint16_t ToNetworkPort(uint16_t hostPort) { return htons(hostPort); }
uint16_t ToHostPort(uint16_t networkPort) { return ntohs(networkPort); }

bool ParseAddress(const char* text, uint32_t& address) {
  if (!text) return false;
  in_addr a{};
  if (inet_pton(AF_INET, text, &a) != 1) return false;
  address = a.s_addr;
  return true;
}

bool GetHostName(char* out, size_t capacity) {
  if (!out || capacity == 0) return false;
  if (gethostname(out, capacity) != 0) {
    Remember();
    out[0] = 0;
    return false;
  }
  out[capacity - 1] = 0;  // POSIX leaves a cut name unterminated
  return true;
}

bool ResolveHost(const char* name, uint32_t& address) {
  if (!name || !*name) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &list) != 0 || !list) {
    t_lastError = EHOSTUNREACH;
    return false;
  }
  address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(list);
  return true;
}

int LastError() { return t_lastError; }

const char* ErrorName(int code) {
  if (const char* name = strerrorname_np(code)) return name;
  thread_local char buffer[24];
  std::snprintf(buffer, sizeof buffer, "ERRNO:%08x", static_cast<unsigned>(code));
  return buffer;
}

// ---- Waker

Waker::Waker() : m_fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (m_fd < 0) Remember();
}

Waker::~Waker() {
  if (m_fd >= 0) close(m_fd);
}

void Waker::Signal() {
  if (m_fd < 0) return;
  const uint64_t one = 1;
  // A full counter is still a raised signal, so a failing write changes nothing.
  [[maybe_unused]] ssize_t n = write(m_fd, &one, sizeof one);
}

void Waker::Clear() {
  if (m_fd < 0) return;
  uint64_t value = 0;
  [[maybe_unused]] ssize_t n = read(m_fd, &value, sizeof value);
}

// ---- DatagramSocket

DatagramSocket::~DatagramSocket() { Close(); }

bool DatagramSocket::Open() {
  Close();
  m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (m_fd < 0) {
    Remember();
    return false;
  }
  return true;
}

bool DatagramSocket::Bind(const Endpoint& local) {
  if (m_fd < 0) {
    t_lastError = EBADF;
    return false;
  }
  const sockaddr_in sa = ToSockaddr(local);
  if (bind(m_fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    Remember();
    return false;
  }
  return true;
}

size_t DatagramSocket::GrowBuffer(bool receive, size_t bytes) {
  if (m_fd < 0) return 0;
  const int value = static_cast<int>(std::min<size_t>(bytes, INT_MAX / 2));
  const int option = receive ? SO_RCVBUF : SO_SNDBUF;
  auto current = [&] {
    int size = 0;
    socklen_t length = sizeof size;
    return getsockopt(m_fd, SOL_SOCKET, option, &size, &length) == 0 ? static_cast<size_t>(size) : 0;
  };
  setsockopt(m_fd, SOL_SOCKET, option, &value, sizeof value);
  // Capped by net.core.rmem_max / wmem_max; only a privileged process may go past it.
  if (current() < 2 * static_cast<size_t>(value))
    setsockopt(m_fd, SOL_SOCKET, receive ? SO_RCVBUFFORCE : SO_SNDBUFFORCE, &value, sizeof value);
  return current();
}

Endpoint DatagramSocket::LocalEndpoint() const {
  Endpoint e;
  if (m_fd < 0) return e;
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
    e.address = sa.sin_addr.s_addr;
    e.port = sa.sin_port;
  }
  return e;
}

void DatagramSocket::Close() {
  if (m_fd >= 0) {
    close(m_fd);
    m_fd = -1;
  }
}

long DatagramSocket::SendTo(const void* data, size_t size, const Endpoint& to) {
  if (m_fd < 0) {
    t_lastError = EBADF;
    return -1;
  }
  const sockaddr_in sa = ToSockaddr(to);
  ssize_t n;
  do {
    n = sendto(m_fd, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  } while (n < 0 && errno == EINTR);
  if (n < 0) Remember();
  return static_cast<long>(n);
}

DatagramSocket::Wait DatagramSocket::WaitReadable(int timeoutMs, const Waker* waker) const {
  if (m_fd < 0) {
    t_lastError = EBADF;
    return Wait::Failed;
  }
  pollfd fds[2] = {{m_fd, POLLIN, 0}, {waker ? waker->Handle() : -1, POLLIN, 0}};
  const nfds_t count = waker && waker->IsValid() ? 2 : 1;
  int r;
  do {
    r = poll(fds, count, timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    Remember();
    return Wait::Failed;
  }
  if (r == 0) return Wait::TimedOut;
  if (count == 2 && (fds[1].revents & POLLIN)) return Wait::Woken;
  if (fds[0].revents & (POLLIN | POLLERR)) return Wait::Readable;
  t_lastError = EIO;
  return Wait::Failed;
}

DatagramSocket::Received DatagramSocket::ReceiveFrom(void* buffer, size_t capacity, int timeoutMs) {
  Received result;
  if (timeoutMs != 0) {
    const Wait w = WaitReadable(timeoutMs, nullptr);
    if (w == Wait::TimedOut) {
      result.timedOut = true;
      return result;
    }
    if (w != Wait::Readable) return result;
  }
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  ssize_t n;
  do {
    // MSG_TRUNC makes the result the datagram's real length, so a cut datagram is noticed.
    n = recvfrom(m_fd, buffer, capacity, MSG_DONTWAIT | MSG_TRUNC, reinterpret_cast<sockaddr*>(&sa), &len);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) result.timedOut = true;
    Remember();
    return result;
  }
  result.ok = true;
  result.truncated = static_cast<size_t>(n) > capacity;
  result.size = result.truncated ? capacity : static_cast<size_t>(n);
  result.from.address = sa.sin_addr.s_addr;
  result.from.port = sa.sin_port;
  return result;
}

}  // namespace platform::net
