// The script debugger's link to one remote peer (the debugger front-end, which also shows the
// engine log) over UDP: named application channels ("KRXDebugger", "LOGGER") on top of a small
// link-control protocol. AIDNetwork holds what every implementation shares: the listeners by
// channel and the queue through which the receive thread hands whole messages to the main
// thread. WinAIDNetwork (WinAIDNetwork.h) is the socket implementation.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "libkrx/AID/Message.h"

namespace AID {

class AIDNetwork;

// Called on the main thread, from ProcessMessages, for every message of the listener's channel.
using ListenerCallback = bool (*)(void* object, AIDNetwork* link, const Message* message);

inline constexpr uint32_t kNoListener = 0xFFFFFFFFu;
inline constexpr const char* kDebuggerChannel = "KRXDebugger";
inline constexpr const char* kLoggerChannel = "LOGGER";

// Whom Connect talks to. ORDER CONNECTMODE
struct ConnectParameters {
  uint32_t mode = 0;        // 0 own machine as initiator, 1 own machine, 2 address, 3 host name
  uint32_t address = 0;     // IPv4, network order (mode 2)
  char hostName[256] = {};  // mode 3
};
static_assert(sizeof(ConnectParameters) == 264, "the connect parameters keep their record size");

// Set before Init; the defaults keep the link on this machine.
struct LinkOptions {
  // Address the receive socket binds to and the link names as its own. Loopback keeps other
  // hosts from reaching (and taking over) a debugger session; "0.0.0.0" opens the link to the
  // network and takes the own address from the host name.
  std::string bindAddress = "127.0.0.1";
  // Own port (host order); 0 takes it from Init's flags (11637, or 11381 for non-zero flags).
  // The peer's port is always the own port with bit 8 flipped (11637 <-> 11381).
  uint16_t port = 0;
  // Largest datagram sent, and expected from the peer; longer messages are split.
  uint32_t maxDatagram = 65507;
};

class AIDNetwork {
 public:
  AIDNetwork();
  // Frees the listeners and every queued message.
  virtual ~AIDNetwork();
  AIDNetwork(const AIDNetwork&) = delete;
  AIDNetwork& operator=(const AIDNetwork&) = delete;

  // Opens the sockets and starts the receive thread; false (logged) when that fails.
  virtual bool Init(const char* name, float timeoutSeconds, const char* secondName, uint8_t flags) = 0;
  // Main thread, once per frame: dispatches every queued message to its channel's listeners,
  // oldest first, then writes the receive thread's log lines. Always true.
  virtual bool ProcessMessages();
  // Sends a hello to the peer the parameters name (null: own machine, as initiator).
  virtual bool Connect(const ConnectParameters* parameters) = 0;
  // Connect request (initiator) or accept; false when connected already or the send fails.
  virtual bool SendHello() = 0;
  // Leaves the connection (telling the peer when notify is set) and drops queued messages.
  virtual void Disconnect(bool notify) = 0;
  // Header-only message to the peer; false when not connected or the send fails.
  virtual bool SendMessage(uint16_t type, const char* name1, const char* name2, uint32_t param1, uint32_t param2) = 0;
  // Message with payload to the peer, split over datagrams as needed; names are cut to 31
  // characters. False when not connected, the payload is above kMaxPayload, or a send fails.
  virtual bool SendData(uint16_t type, const char* name1, const char* name2, uint32_t param1, uint32_t param2,
                        const void* data, uint32_t length) = 0;
  virtual const char* GetHostName() = 0;
  // Own IPv4 address, network order.
  virtual void GetLocalAddress(uint32_t& out) = 0;
  // Own port, network order.
  virtual uint16_t GetLocalPort() = 0;
  // "a.b.c.d (port)" of the peer, in a per-thread buffer that the next call overwrites.
  virtual const char* GetPeerAddressText() = 0;
  // Peer port, network order.
  virtual uint16_t GetPeerPort() = 0;
  // Copies of the names the peer sent in its peer info (the receive thread may replace them).
  virtual std::string GetPeerName() = 0;
  virtual std::string GetPeerSecondName() = 0;
  virtual uint32_t GetPeerVersion() = 0;
  virtual uint32_t GetPeerTimeout() = 0;
  // Millisecond clock in seconds.
  virtual float GetTime() = 0;
  virtual uint8_t GetFlags() { return m_flags; }

  // Files callback and object under the channel (compared without letter case); returns the
  // listener's id.
  uint32_t AddListener(const char* channel, ListenerCallback callback, void* object);
  // Files the script debugger (through the callback it installed with SetDebuggerCallback)
  // under "KRXDebugger"; kNoListener when no debugger callback is installed.
  uint32_t AddDebuggerListener(void* debugger);
  // Removes a listener; it is not called again, even from a dispatch under way. False when
  // no listener has that id.
  bool RemoveListener(uint32_t id);
  size_t ListenerCount() const;

  bool IsConnected() const { return m_connected.load(); }
  // GetTime of the last accepted message; -1 until one arrives.
  float GetLastReceiveTime() const { return m_lastReceiveTime.load(); }
  size_t QueuedMessageCount() const;

  // Takes effect at the next Init.
  void SetOptions(const LinkOptions& options);

 protected:
  void QueueMessage(std::unique_ptr<Message> message);
  void ClearQueue();
  // Log lines of the receive thread wait here for the main thread (the engine log is
  // main-thread only); a flood is cut to a count.
  void DeferLog(std::string line);
  // A line that a flood repeats (a stranger's datagrams): the first after a quiet second is
  // logged as it stands, the others are counted into one line a second that names the last.
  void DeferRepeatedLog(std::string line);
  void FlushLogs();

  std::atomic<bool> m_connected{false};
  std::atomic<float> m_lastReceiveTime{-1.0f};
  uint8_t m_flags = 0;
  LinkOptions m_options;

 private:
  struct Listener {
    std::string channel;  // lower case
    ListenerCallback callback;
    void* object;
  };
  std::unique_ptr<Message> PopMessage();

  mutable std::mutex m_listenerMutex;
  std::map<uint32_t, Listener> m_listeners;
  uint32_t m_nextListenerId = 0;

  mutable std::mutex m_queueMutex;
  std::deque<std::unique_ptr<Message>> m_queue;

  std::mutex m_logMutex;
  std::deque<std::string> m_pendingLogs;
  size_t m_droppedLogs = 0;
  bool m_repeating = false;  // a repeated line was logged less than a second ago
  std::chrono::steady_clock::time_point m_repeatSince;
  size_t m_repeatCount = 0;  // repeats since then, not yet logged
  std::string m_repeatLast;
};

// Installed by the script debugger: its message callback, which AddDebuggerListener files.
void SetDebuggerCallback(ListenerCallback callback);

// The process's one link: created on first call, kept until DestroyNetwork.
AIDNetwork* CreateNetwork();
// The link, or null when none was created.
AIDNetwork* GetNetwork();
// Closes and deletes the link (joining its receive thread).
void DestroyNetwork();

// Init and, when that worked, Connect(null) on the process's link; true when both worked.
bool ConnectDebugger(const char* name, float timeoutSeconds, const char* secondName, uint8_t flags);
// Engine output callback: sends the text on "LOGGER" (payload "default", NUL, text, NUL).
// Always true; nothing is sent while the link is down.
bool SendLog(const char* text);

}  // namespace AID
