// Datagram checks and reassembly of the debugger link.
#include "libkrx/AID/Reassembler.h"

#include <algorithm>
#include <cstring>

#include "KRX/LittleEndian.h"

namespace AID {

Reassembler::Reassembler(size_t maxDatagram) : m_maxDatagram(std::max(maxDatagram, kHeaderSize + 1)) {}

size_t Reassembler::BufferedBytes() const {
  size_t bytes = 0;
  for (const Partial& p : m_partials) bytes += p.bytes.capacity();
  return bytes;
}

Reassembler::Partial* Reassembler::Find(uint32_t sourceAddress, uint16_t sourcePort) {
  for (Partial& p : m_partials)
    if (p.address == sourceAddress && p.port == sourcePort) return &p;
  return nullptr;
}

Reassembler::Outcome Reassembler::Feed(const uint8_t* data, size_t size, uint32_t sourceAddress,
                                       uint16_t sourcePort) {
  size = std::min(size, m_maxDatagram);
  bool droppedPartial = false;
  if (Partial* partial = Find(sourceAddress, sourcePort)) {
    // A continuation is exactly as long as the sender's datagrams, or the rest. Anything else
    // ends this sender's partial message and is looked at as the start of a new one.
    const size_t expected = std::min(partial->total - partial->bytes.size(), m_maxDatagram);
    if (data && size == expected) {
      partial->bytes.insert(partial->bytes.end(), data, data + size);
      partial->lastUse = ++m_uses;
      Outcome out;
      if (partial->bytes.size() < partial->total) {
        out.kind = Outcome::Pending;
        return out;
      }
      out.kind = Outcome::Complete;
      out.message = Message::FromBytes(partial->bytes.data(), partial->bytes.size());
      m_partials.erase(m_partials.begin() + (partial - m_partials.data()));
      return out;
    }
    m_partials.erase(m_partials.begin() + (partial - m_partials.data()));
    droppedPartial = true;
  }
  Outcome out = Start(data, size, sourceAddress, sourcePort);
  out.droppedPartial = droppedPartial;
  return out;
}

Reassembler::Outcome Reassembler::Start(const uint8_t* data, size_t size, uint32_t sourceAddress,
                                        uint16_t sourcePort) {
  Outcome out;
  // Every check runs on the received bytes before anything is allocated for the message.
  if (!data || size < kHeaderSize) {
    out.reason = "shorter than the packet header";
    return out;
  }
  if (KRX::ReadLE32(data + kOffMagic) != kMagic) {
    out.reason = "no link packet (wrong magic)";
    return out;
  }
  const uint32_t payload = KRX::ReadLE32(data + kOffPayloadLength);
  if (payload > kMaxPayload) {
    out.reason = "declared payload too large";
    return out;
  }
  const size_t total = kHeaderSize + payload;
  if (size > total) {
    out.reason = "longer than its declared size";
    return out;
  }
  if (size == total) {
    out.kind = Outcome::Complete;
    out.message = Message::FromBytes(data, size);
    return out;
  }
  // The continuations fill the rest of the block as they come.
  if (m_partials.size() >= kMaxSenders) {
    m_partials.erase(std::min_element(m_partials.begin(), m_partials.end(),
                                      [](const Partial& a, const Partial& b) { return a.lastUse < b.lastUse; }));
  }
  Partial& partial = m_partials.emplace_back();
  partial.address = sourceAddress;
  partial.port = sourcePort;
  partial.total = total;
  partial.bytes.assign(data, data + size);
  partial.lastUse = ++m_uses;
  out.kind = Outcome::Pending;
  return out;
}

}  // namespace AID
