// Datagram checks and reassembly of the debugger link.
#include "libkrx/AID/Reassembler.h"

#include <algorithm>
#include <cstring>

#include "KRX/LittleEndian.h"

namespace AID {

Reassembler::Reassembler(size_t maxDatagram) : m_maxDatagram(std::max(maxDatagram, kHeaderSize + 1)) {}

void Reassembler::Reset() {
  m_partial.reset();
  m_received = m_missing = 0;
}

Reassembler::Outcome Reassembler::Feed(const uint8_t* data, size_t size, uint32_t sourceAddress,
                                       uint16_t sourcePort) {
  size = std::min(size, m_maxDatagram);
  bool droppedPartial = false;
  if (m_partial) {
    // A continuation is exactly as long as the sender's datagrams, or the rest; it comes from
    // the socket that sent the start. Anything else ends the partial message and is looked at
    // as the start of a new one.
    const size_t expected = std::min(m_missing, m_maxDatagram);
    if (size == expected && sourceAddress == m_sourceAddress && sourcePort == m_sourcePort) {
      std::memcpy(m_partial->Bytes() + m_received, data, size);
      m_received += size;
      m_missing -= size;
      Outcome out;
      if (m_missing > 0) {
        out.kind = Outcome::Pending;
        return out;
      }
      out.kind = Outcome::Complete;
      out.message = std::move(m_partial);
      Reset();
      return out;
    }
    Reset();
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
  std::unique_ptr<Message> m = Message::FromBytes(data, size, total);
  if (size == total) {
    out.kind = Outcome::Complete;
    out.message = std::move(m);
    return out;
  }
  // The continuations fill the rest of the block.
  m_partial = std::move(m);
  m_received = size;
  m_missing = total - size;
  m_sourceAddress = sourceAddress;
  m_sourcePort = sourcePort;
  out.kind = Outcome::Pending;
  return out;
}

}  // namespace AID
