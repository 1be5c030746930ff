// The socket implementation of the debugger link: one UDP socket on the own port (sends leave
// from it too, so each side knows the other by its real source), a receive thread that
// reassembles datagrams and answers link control, and the peer it talks to.
// The receive side is reached through HandleDatagram, so tests and the fuzzer can drive it
// without a socket.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "libkrx/AID/AIDNetwork.h"
#include "libkrx/AID/Reassembler.h"
#include "platform/net/DatagramSocket.h"

namespace AID {

class WinAIDNetwork final : public AIDNetwork {
 public:
  WinAIDNetwork();
  // Close, then the base frees listeners and queue.
  ~WinAIDNetwork() override;

  bool Init(const char* name, float timeoutSeconds, const char* secondName, uint8_t flags) override;
  bool Connect(const ConnectParameters* parameters) override;
  bool SendHello() override;
  void Disconnect(bool notify) override;
  bool SendMessage(uint16_t type, const char* name1, const char* name2, uint32_t param1, uint32_t param2) override;
  bool SendData(uint16_t type, const char* name1, const char* name2, uint32_t param1, uint32_t param2,
                const void* data, uint32_t length) override;
  const char* GetHostName() override { return m_hostName; }
  void GetLocalAddress(uint32_t& out) override;
  uint16_t GetLocalPort() override;
  const char* GetPeerAddressText() override;
  uint16_t GetPeerPort() override;
  std::string GetPeerName() override;
  std::string GetPeerSecondName() override;
  uint32_t GetPeerVersion() override;
  uint32_t GetPeerTimeout() override;
  float GetTime() override;

  // Disconnects (telling the peer), wakes and joins the receive thread and closes the
  // sockets. Safe to call again; Init may follow.
  void Close();
  bool HasReceiveThread() const { return m_thread.joinable(); }

  // One datagram as the receive thread got it from source (network order): the sender check,
  // reassembly, link control, and the queue. A datagram from any source but the peer's endpoint
  // is dropped unanswered before anything is kept of it; bad datagrams are dropped too, each
  // with a deferred log line.
  void HandleDatagram(const uint8_t* data, size_t size, uint32_t sourceAddress, uint16_t sourcePort);
  // Names the peer's endpoint as Connect would, without a hello (replays and the fuzzer, which
  // drive HandleDatagram without sockets).
  void SetPeer(const platform::net::Endpoint& peer);
  // Bytes held for partial messages, so tests can see that strangers cost nothing.
  size_t ReassemblyBytes() const;
  // Datagrams refused as not the peer's so far, so tests can see that the link heard them.
  size_t RefusedDatagrams() const;

  // The millisecond clock the link stamps pings and pongs with.
  static uint32_t TimeMs();

 private:
  // Sizes the socket's buffers for the largest message; the warning to log when the system caps
  // the receive buffer below it, else empty. Under m_state.
  std::string SizeBuffers();
  void ReceiveLoop();
  void Accept(std::unique_ptr<Message> message, const platform::net::Endpoint& from);
  void HandleLinkControl(Message& message);
  // Sends the whole block to the endpoint, datagram by datagram; under m_state.
  bool SendBlock(Message& message, const platform::net::Endpoint& to);
  std::string SenderText(uint32_t address, uint16_t port) const;

  // Guards everything below against the receive thread; recursive because link control
  // connects, disconnects and sends from inside the receive path. Sends hold it too, so the
  // datagrams of two messages never interleave.
  mutable std::recursive_mutex m_state;
  platform::net::DatagramSocket m_socket;
  platform::net::Waker m_stop;
  std::thread m_thread;

  bool m_initialised = false;
  bool m_initiator = false;
  std::string m_name;
  std::string m_secondName;
  uint32_t m_timeoutMs = 0;
  char m_hostName[256] = {};
  uint32_t m_ownAddress = 0;  // network order
  uint16_t m_ownPort = 0;     // network order
  platform::net::Endpoint m_peer;
  std::string m_peerName;
  std::string m_peerSecondName;
  uint32_t m_peerVersion = 0;
  uint32_t m_peerTimeout = 0;
  Reassembler m_reassembler;
  std::vector<uint8_t> m_receiveBuffer;
  size_t m_refused = 0;
};

}  // namespace AID
