// A stand-in for the debugger front-end: one UDP socket on 127.0.0.1 that speaks the link's
// packets, and helpers that pump the link's main-thread side with bounded waits.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "libkrx/AID/AIDNetwork.h"
#include "libkrx/AID/Message.h"
#include "libkrx/AID/Reassembler.h"
#include "platform/net/DatagramSocket.h"
#include "support/TimeScale.h"

namespace aidtest {

using platform::net::Endpoint;

// The guard of every wait for the link (testsupport::cl_HangGuard): what it waits for comes in
// moments on loopback, so only a link that never answers reaches it.
inline constexpr int kWaitMs = 3000;

// Runs ProcessMessages until done() holds or the guard passed.
inline bool PumpUntil(AID::AIDNetwork& link, const std::function<bool()>& done, testsupport::st_Where where = {}) {
  return testsupport::WaitUntil(
      [&] {
        link.ProcessMessages();
        return done();
      },
      kWaitMs, 2, where);
}

inline bool WaitFor(const std::function<bool()>& done, testsupport::st_Where where = {}) {
  return testsupport::WaitUntil(done, kWaitMs, 2, where);
}

class TestPeer {
 public:
  explicit TestPeer(size_t maxDatagram = 65507) : m_reassembler(maxDatagram), m_maxDatagram(maxDatagram) {}

  // Binds a free port on 127.0.0.1 whose partner port (bit 8 flipped), where the link will
  // listen, is free as well.
  bool Open() {
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (!m_socket.Open() || !m_socket.Bind(Endpoint{platform::net::LoopbackAddress(), 0})) return false;
      const uint16_t port = platform::net::ToHostPort(m_socket.LocalEndpoint().port);
      platform::net::DatagramSocket probe;
      if (probe.Open() && probe.Bind(Endpoint{platform::net::LoopbackAddress(), platform::net::ToNetworkPort(port ^ 0x100)}))
        return HoldBacklog();
    }
    return false;
  }
  // Opens as a foreign sender: any free port.
  bool OpenAny() { return m_socket.Open() && m_socket.Bind(Endpoint{platform::net::LoopbackAddress(), 0}) && HoldBacklog(); }

  uint16_t Port() const { return platform::net::ToHostPort(m_socket.LocalEndpoint().port); }
  uint16_t LinkPort() const { return Port() ^ 0x100; }
  Endpoint Self() const { return m_socket.LocalEndpoint(); }
  Endpoint LinkEndpoint() const {
    return Endpoint{platform::net::LoopbackAddress(), platform::net::ToNetworkPort(LinkPort())};
  }

  // Link options that pair the link with this peer.
  AID::LinkOptions Options(uint32_t maxDatagram = 65507) const {
    AID::LinkOptions o;
    o.port = LinkPort();
    o.maxDatagram = maxDatagram;
    return o;
  }

  // A message with this peer's sender fields.
  std::unique_ptr<AID::Message> Make(uint16_t type, const char* name1 = nullptr, const std::string& payload = {},
                                     uint32_t param1 = 0, uint32_t param2 = 0) const {
    auto m = AID::Message::Create(static_cast<uint32_t>(payload.size()));
    m->SetType(type);
    m->SetName1(name1);
    m->SetParam1(param1);
    m->SetParam2(param2);
    if (!payload.empty()) std::memcpy(m->Payload(), payload.data(), payload.size());
    const Endpoint self = Self();
    m->SetSender(self.address, self.port);
    return m;
  }

  // Sends the block to the link, split like the link splits (m_maxDatagram per datagram).
  bool Send(const AID::Message& m) {
    for (size_t done = 0; done < m.Size();) {
      const size_t chunk = std::min(m_maxDatagram, m.Size() - done);
      if (m_socket.SendTo(m.Bytes() + done, chunk, LinkEndpoint()) != long(chunk)) return false;
      done += chunk;
    }
    return true;
  }
  // One datagram to any endpoint (a stranger's message reaches the link this way).
  bool SendTo(const AID::Message& m, const Endpoint& to) { return m_socket.SendTo(m.Bytes(), m.Size(), to) == long(m.Size()); }
  bool SendRaw(const void* data, size_t size) { return m_socket.SendTo(data, size, LinkEndpoint()) == long(size); }

  // The accept a front-end sends to take the link.
  bool SendAccept() {
    const Endpoint self = Self();
    return Send(*Make(AID::kAccept, nullptr, {}, self.port, self.address));
  }

  // The next whole message, or null once the test has stood still for guardMs (scaled): a message
  // that a busy machine delays is waited for, one that never comes is not.
  std::unique_ptr<AID::Message> Receive(int guardMs = kWaitMs) {
    testsupport::cl_Stillness still(getpid(), testsupport::ScaledMs(guardMs) / 1000.0);
    for (;;) {
      const auto r = m_socket.ReceiveFrom(m_buffer, sizeof m_buffer, std::min(guardMs, 20));
      if (r.ok) {
        auto out = m_reassembler.Feed(m_buffer, r.size, r.from.address, r.from.port);
        if (out.kind == AID::Reassembler::Outcome::Complete) return std::move(out.message);
      } else if (!r.timedOut || still.Still()) {
        return nullptr;
      }
    }
  }
  // The next message of the given type, skipping others.
  std::unique_ptr<AID::Message> ReceiveType(uint16_t type, int guardMs = kWaitMs) {
    for (;;) {
      auto m = Receive(guardMs);
      if (!m || m->Type() == type) return m;
    }
  }

 private:
  // A peer that a busy machine lets read only late finds what was sent meanwhile (a program's
  // start-up log, a line a datagram) still waiting, instead of dropped by a full socket. Where the
  // system grants less (unprivileged, net.core.rmem_max), the peer reads what it holds.
  bool HoldBacklog() {
    m_socket.GrowBuffer(true, 16u << 20);
    return true;
  }

  platform::net::DatagramSocket m_socket;
  AID::Reassembler m_reassembler;
  size_t m_maxDatagram;
  uint8_t m_buffer[65536];
};

}  // namespace aidtest
