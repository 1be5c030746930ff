// Socket implementation of the debugger link: set-up, sending, the receive thread and link control.
#include "libkrx/AID/WinAIDNetwork.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/system.h"
#include "platform/os/CrashHandler.h"

namespace AID {

using platform::net::Endpoint;

namespace {

constexpr uint16_t kGamePort = 11637;
constexpr uint16_t kFrontEndPort = 11381;
// Any UDP datagram fits, so a datagram is never cut by the buffer itself.
constexpr size_t kReceiveBufferSize = 65536;
// What the system keeps beside the bytes of one datagram waiting in a socket (about 2 KiB for a
// full one on Linux), with room to spare.
constexpr size_t kDatagramBookkeeping = 4096;

std::string Bounded(const char* text, size_t max) {
  if (!text) return {};
  return std::string(text, strnlen(text, max));
}

// The peer listens on the own port with bit 8 flipped, which pairs 11637 with 11381.
uint16_t PeerPortOf(uint16_t ownPortNetwork) {
  return platform::net::ToNetworkPort(platform::net::ToHostPort(ownPortNetwork) ^ 0x0100);
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

}  // namespace

WinAIDNetwork::WinAIDNetwork() : m_reassembler(LinkOptions{}.maxDatagram) {}

WinAIDNetwork::~WinAIDNetwork() { Close(); }

uint32_t WinAIDNetwork::TimeMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

float WinAIDNetwork::GetTime() { return static_cast<float>(TimeMs()) * 0.001f; }

// ---- set-up and shut-down

bool WinAIDNetwork::Init(const char* name, float timeoutSeconds, const char* secondName, uint8_t flags) {
  Close();
  std::string error, warning;
  {
    std::lock_guard lock(m_state);
    m_name = Bounded(name, kMaxPeerName);
    m_secondName = Bounded(secondName, kMaxPeerName);
    const double ms = std::isfinite(timeoutSeconds) ? double(timeoutSeconds) * 1000.0 : 0.0;
    m_timeoutMs = static_cast<uint32_t>(std::clamp(ms, 0.0, 4294967295.0));
    m_flags = flags;
    platform::net::GetHostName(m_hostName, sizeof m_hostName);

    uint32_t bindAddress = 0;
    const uint16_t port = m_options.port ? m_options.port : (flags ? kFrontEndPort : kGamePort);
    m_ownPort = platform::net::ToNetworkPort(port);
    m_reassembler = Reassembler(m_options.maxDatagram);
    m_receiveBuffer.assign(kReceiveBufferSize, 0);
    if (!platform::net::ParseAddress(m_options.bindAddress.c_str(), bindAddress)) {
      error = "bad bind address '" + m_options.bindAddress + "'";
    } else if (bindAddress != 0) {
      m_ownAddress = bindAddress;
    } else if (!platform::net::ResolveHost(m_hostName, m_ownAddress)) {
      error = Format("host name '%s' has no IPv4 address", m_hostName);
    }
    if (error.empty() && !m_socket.Open()) {
      error = Format("Error in network: %s (socket)", platform::net::ErrorName(platform::net::LastError()));
    }
    if (error.empty() && !m_socket.Bind(Endpoint{bindAddress, m_ownPort})) {
      error = Format("Error in network: %s (bind %s port %u)", platform::net::ErrorName(platform::net::LastError()),
                     m_options.bindAddress.c_str(), unsigned(port));
    }
    if (error.empty()) warning = SizeBuffers();
    if (error.empty() && !m_stop.IsValid()) error = "no stop signal for the receive thread";
    if (error.empty()) {
      try {
        m_thread = std::thread(&WinAIDNetwork::ReceiveLoop, this);
        m_initialised = true;
      } catch (const std::system_error& e) {
        error = Format("cannot start the receive thread (%s)", e.what());
      }
    }
    if (!error.empty()) {
      m_socket.Close();
    }
  }
  if (!warning.empty()) base::sys::Output("Warning: debugger link: %s\n", warning.c_str());
  if (!error.empty()) {
    base::sys::Output("ERROR: debugger link: %s\n", error.c_str());
    return false;
  }
  return true;
}

std::string WinAIDNetwork::SizeBuffers() {
  // The peer sends a message in datagrams back to back, and the receive thread takes them one by
  // one: the socket must hold the largest message at once. The system's default (about 208 KB)
  // holds three full datagrams, and a command of 4 MiB is sixty-five.
  const size_t largest = kHeaderSize + kMaxPayload;
  const size_t datagram = m_reassembler.MaxDatagram();
  const size_t need = largest + (largest + datagram - 1) / datagram * kDatagramBookkeeping;
  m_socket.GrowBuffer(false, need);
  const size_t held = m_socket.GrowBuffer(true, need);
  if (held >= need) return {};
  return Format("the system grants a receive buffer of %zu bytes, below the %zu that a message of %zu bytes needs "
                "(net.core.rmem_max): larger messages from the peer may be lost",
                held, need, largest);
}

void WinAIDNetwork::Close() {
  {
    std::lock_guard lock(m_state);
    if (m_initialised) Disconnect(true);
  }
  // Not under the lock: the thread may be waiting for it inside HandleDatagram.
  if (m_thread.joinable()) {
    m_stop.Signal();
    m_thread.join();
    m_stop.Clear();
  }
  std::lock_guard lock(m_state);
  m_socket.Close();
  m_reassembler.Reset();
  m_initialised = false;
  m_initiator = false;
}

// ---- connection

bool WinAIDNetwork::Connect(const ConnectParameters* parameters) {
  std::lock_guard lock(m_state);
  if (!m_initialised) return false;
  if (m_connected) Disconnect(true);
  m_peer.port = PeerPortOf(m_ownPort);
  m_initiator = false;
  const uint32_t mode = parameters ? parameters->mode : 0;
  switch (mode) {
    case 0:
      m_initiator = true;
      m_peer.address = m_ownAddress;
      break;
    case 1:
      m_peer.address = m_ownAddress;
      break;
    case 2:
      m_peer.address = parameters->address;
      break;
    case 3: {
      const std::string host = Bounded(parameters->hostName, sizeof parameters->hostName - 1);
      if (!platform::net::ResolveHost(host.c_str(), m_peer.address)) return false;
      break;
    }
    default:
      break;
  }
  return SendHello();
}

bool WinAIDNetwork::SendHello() {
  std::lock_guard lock(m_state);
  if (m_connected) return false;
  std::unique_ptr<Message> m = Message::Create(0);
  m->SetType(m_initiator ? kConnectRequest : kAccept);
  m->SetParam1(m_ownPort);
  m->SetParam2(m_ownAddress);
  return SendBlock(*m, m_peer);
}

void WinAIDNetwork::Disconnect(bool notify) {
  std::lock_guard lock(m_state);
  if (!m_connected) return;
  if (notify) SendMessage(kDisconnect, nullptr, nullptr, 0, 0);
  // Queue first: whoever sees the link down (IsConnected takes no lock) sees it empty too.
  ClearQueue();
  m_connected = false;
}

// ---- sending

bool WinAIDNetwork::SendMessage(uint16_t type, const char* name1, const char* name2, uint32_t param1, uint32_t param2) {
  return SendData(type, name1, name2, param1, param2, nullptr, 0);
}

bool WinAIDNetwork::SendData(uint16_t type, const char* name1, const char* name2, uint32_t param1, uint32_t param2,
                             const void* data, uint32_t length) {
  if (length > kMaxPayload || (length && !data)) return false;
  std::lock_guard lock(m_state);
  if (!m_connected) return false;
  std::unique_ptr<Message> m = Message::Create(length);
  m->SetType(type);
  m->SetName1(name1);
  m->SetName2(name2);
  m->SetParam1(param1);
  m->SetParam2(param2);
  if (length) std::memcpy(m->Payload(), data, length);
  return SendBlock(*m, m_peer);
}

bool WinAIDNetwork::SendBlock(Message& message, const Endpoint& to) {
  message.SetSender(m_ownAddress, m_ownPort);
  const size_t total = message.Size();
  const size_t chunkMax = m_reassembler.MaxDatagram();
  for (size_t done = 0; done < total;) {
    const size_t chunk = std::min(chunkMax, total - done);
    // From the listening socket, so that the peer sees the port it answers to as our source.
    const long sent = m_socket.SendTo(message.Bytes() + done, chunk, to);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

// ---- receiving

void WinAIDNetwork::ReceiveLoop() {
  platform::os::PrepareThreadCrashStack();  // so that a stack overflow here is reported too
  using Wait = platform::net::DatagramSocket::Wait;
  for (;;) {
    const Wait w = m_socket.WaitReadable(-1, &m_stop);
    if (w == Wait::Woken) return;
    if (w == Wait::Failed) {
      DeferLog(Format("ERROR: debugger link: receive wait failed (%s); receiving stops",
                      platform::net::ErrorName(platform::net::LastError())));
      return;
    }
    if (w != Wait::Readable) continue;
    const auto r = m_socket.ReceiveFrom(m_receiveBuffer.data(), m_receiveBuffer.size(), 0);
    if (r.ok) HandleDatagram(m_receiveBuffer.data(), r.size, r.from.address, r.from.port);
  }
}

std::string WinAIDNetwork::SenderText(uint32_t address, uint16_t port) const {
  const auto* a = reinterpret_cast<const uint8_t*>(&address);
  return Format("%u.%u.%u.%u (%u)", a[0], a[1], a[2], a[3], unsigned(platform::net::ToHostPort(port)));
}

void WinAIDNetwork::HandleDatagram(const uint8_t* data, size_t size, uint32_t sourceAddress, uint16_t sourcePort) {
  std::lock_guard lock(m_state);
  // Who sent it is what the socket says, never what the header claims: only the endpoint this
  // link said hello to (Connect) is heard, and nothing is ever sent to anyone else. Checked
  // before reassembly, so a stranger can neither break up the peer's message nor make the link
  // hold anything for it.
  if (sourceAddress != m_peer.address || sourcePort != m_peer.port || m_peer.address == 0) {
    ++m_refused;
    DeferRepeatedLog(Format("ERROR: debugger link: datagram of %zu bytes from %s refused: not the peer", size,
                            SenderText(sourceAddress, sourcePort).c_str()));
    return;
  }
  Reassembler::Outcome out = m_reassembler.Feed(data, size, sourceAddress, sourcePort);
  if (out.droppedPartial) {
    DeferLog("ERROR: debugger link: partial message from " + SenderText(sourceAddress, sourcePort) +
             " dropped: a datagram of unexpected size came in between");
  }
  if (out.kind == Reassembler::Outcome::Dropped) {
    DeferLog(Format("ERROR: debugger link: datagram of %zu bytes from %s dropped: %s", size,
                    SenderText(sourceAddress, sourcePort).c_str(), out.reason));
    return;
  }
  if (out.kind == Reassembler::Outcome::Complete) Accept(std::move(out.message), Endpoint{sourceAddress, sourcePort});
}

void WinAIDNetwork::Accept(std::unique_ptr<Message> message, const Endpoint& from) {
  const uint16_t type = message->Type();
  if (m_initiator && !m_connected && type != kAccept) {
    DeferLog(Format("ERROR: debugger link: message of type %u from %s refused: no accept yet", unsigned(type),
                    SenderText(from.address, from.port).c_str()));
    if (type != kReject) {
      std::unique_ptr<Message> reject = Message::Create(0);
      reject->SetType(kReject);
      SendBlock(*reject, m_peer);
    }
    return;
  }
  m_lastReceiveTime = GetTime();
  if (message->Name1()[0] == 0) HandleLinkControl(*message);
  if (m_connected) QueueMessage(std::move(message));
}

void WinAIDNetwork::HandleLinkControl(Message& m) {
  switch (m.Type()) {
    case kConnectRequest:
      // Answered with an accept to the endpoint it came from (which is the peer's).
      if (!m_connected) {
        ConnectParameters p;
        p.mode = 2;
        p.address = m_peer.address;
        Connect(&p);
      }
      break;
    case kAccept: {
      // The accept's own address fields are not trusted: the peer stays where it answered from.
      m_connected = true;
      std::string info = m_name;
      info.push_back('\0');
      info += m_secondName;
      info.push_back('\0');
      SendData(kPeerInfo, nullptr, nullptr, kProtocolVersion, m_timeoutMs, info.data(), uint32_t(info.size()));
      break;
    }
    case kDisconnect:
      Disconnect(false);
      break;
    case kPeerInfo:
      m_peerVersion = m.Param1();
      m_peerTimeout = m.Param2();
      if (m_peerVersion <= kProtocolVersion) {
        ParsePeerInfo(m, m_peerName, m_peerSecondName);
        ClearQueue();
        m_connected = true;
      }
      break;
    case kReject:
      Disconnect(false);
      if (m.Param1() != 0) m_peer.address = 0;
      break;
    case kPing:
      SendMessage(kPong, nullptr, nullptr, m.Param1(), TimeMs());
      break;
    case kPong:
      // The listeners see the round trip in milliseconds.
      m.SetParam1(TimeMs() - m.Param1());
      break;
    default:
      break;
  }
}

void WinAIDNetwork::SetPeer(const Endpoint& peer) {
  std::lock_guard lock(m_state);
  m_peer = peer;
}

size_t WinAIDNetwork::RefusedDatagrams() const {
  std::lock_guard lock(m_state);
  return m_refused;
}

size_t WinAIDNetwork::ReassemblyBytes() const {
  std::lock_guard lock(m_state);
  return m_reassembler.BufferedBytes();
}

// ---- queries

void WinAIDNetwork::GetLocalAddress(uint32_t& out) {
  std::lock_guard lock(m_state);
  out = m_ownAddress;
}

uint16_t WinAIDNetwork::GetLocalPort() {
  std::lock_guard lock(m_state);
  return m_ownPort;
}

const char* WinAIDNetwork::GetPeerAddressText() {
  thread_local char text[32];
  std::lock_guard lock(m_state);
  std::snprintf(text, sizeof text, "%s", SenderText(m_peer.address, m_peer.port).c_str());
  return text;
}

uint16_t WinAIDNetwork::GetPeerPort() {
  std::lock_guard lock(m_state);
  return m_peer.port;
}

std::string WinAIDNetwork::GetPeerName() {
  std::lock_guard lock(m_state);
  return m_peerName;
}

std::string WinAIDNetwork::GetPeerSecondName() {
  std::lock_guard lock(m_state);
  return m_peerSecondName;
}

uint32_t WinAIDNetwork::GetPeerVersion() {
  std::lock_guard lock(m_state);
  return m_peerVersion;
}

uint32_t WinAIDNetwork::GetPeerTimeout() {
  std::lock_guard lock(m_state);
  return m_peerTimeout;
}

}  // namespace AID
