// UDP over IPv4 for the script debugger's link: a thin wrapper over POSIX datagram sockets, with
// a waker so that a thread blocked on a socket can be told to stop. Addresses and ports are kept
// as socket addresses keep them (network byte order), because the link's packets carry them so.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::net {

// An IPv4 address and port, both in network byte order.
struct Endpoint {
  uint32_t address = 0;
  uint16_t port = 0;
};

// 127.0.0.1 in network byte order.
uint32_t LoopbackAddress();
// Host-order port number <-> network-order port value.
uint16_t ToNetworkPort(uint16_t hostPort);
uint16_t ToHostPort(uint16_t networkPort);
// "a.b.c.d" -> network-order address; false when the text is no dotted IPv4 address.
bool ParseAddress(const char* text, uint32_t& address);

// The machine's host name, NUL-terminated and cut to capacity; false when it cannot be read.
bool GetHostName(char* out, size_t capacity);
// First IPv4 address of a host name; false when it does not resolve.
bool ResolveHost(const char* name, uint32_t& address);

// errno of the last failing call of this layer on this thread.
int LastError();
// Symbolic name of an error code ("ECONNREFUSED"); unknown codes as "ERRNO:%08x" in a
// thread-local buffer that the next call overwrites.
const char* ErrorName(int code);

// A signal one thread raises to wake another that waits on a socket (an eventfd).
class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;

  // False when the descriptor could not be created.
  bool IsValid() const { return m_fd >= 0; }
  // Raises the signal; it stays raised until Clear.
  void Signal();
  void Clear();
  int Handle() const { return m_fd; }

 private:
  int m_fd = -1;
};

// One UDP socket. Not copyable; closed by the destructor.
class DatagramSocket {
 public:
  enum class Wait { Readable, Woken, TimedOut, Failed };

  // What one receive produced: ok false on error or time-out (timedOut tells which); size is
  // what was stored, truncated set when the datagram was longer than the buffer.
  struct Received {
    bool ok = false;
    bool timedOut = false;
    bool truncated = false;
    size_t size = 0;
    Endpoint from;
  };

  DatagramSocket() = default;
  ~DatagramSocket();
  DatagramSocket(const DatagramSocket&) = delete;
  DatagramSocket& operator=(const DatagramSocket&) = delete;

  // Creates the socket (closing a previous one); false on failure.
  bool Open();
  bool IsOpen() const { return m_fd >= 0; }
  // Binds to the endpoint; port 0 lets the system pick one.
  bool Bind(const Endpoint& local);
  // Asks for a receive (or send) buffer of bytes, forced past the system's cap where the process
  // may (CAP_NET_ADMIN). What the socket holds afterwards, in the system's count (Linux doubles
  // what it grants, for its bookkeeping of each datagram); 0 when closed.
  size_t GrowBuffer(bool receive, size_t bytes);
  // The bound address and port; zeros when unbound or closed.
  Endpoint LocalEndpoint() const;
  void Close();

  // Sends one datagram; returns the bytes sent, or -1 on failure (also when closed).
  long SendTo(const void* data, size_t size, const Endpoint& to);
  // Waits until a datagram is ready, the waker (may be null) is raised, or timeoutMs passed
  // (negative: no time-out).
  Wait WaitReadable(int timeoutMs, const Waker* waker) const;
  // Receives one datagram, waiting at most timeoutMs (0: only what is ready now).
  Received ReceiveFrom(void* buffer, size_t capacity, int timeoutMs);

 private:
  int m_fd = -1;
};

}  // namespace platform::net
