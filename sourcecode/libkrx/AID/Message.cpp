// The link's message block and its header fields.
#include "libkrx/AID/Message.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "KRX/LittleEndian.h"

namespace AID {

// Ports and addresses travel as their network-order values written little-endian, which is how
// the peers on little-endian machines laid them out; a big-endian host would need swaps here.
static_assert(std::endian::native == std::endian::little);

std::unique_ptr<Message> Message::Create(uint32_t payloadLength) {
  std::unique_ptr<Message> m(new Message);
  m->m_bytes.assign(kHeaderSize + size_t(payloadLength), 0);
  m->Put32(kOffMagic, kMagic);
  m->Put32(kOffPayloadLength, payloadLength);
  return m;
}

std::unique_ptr<Message> Message::FromBytes(const uint8_t* bytes, size_t size) {
  if (!bytes || size < kHeaderSize) return nullptr;
  std::unique_ptr<Message> m(new Message);
  m->m_bytes.assign(bytes, bytes + size);
  m->m_bytes[kOffName1 + kNameSize - 1] = 0;
  m->m_bytes[kOffName2 + kNameSize - 1] = 0;
  return m;
}

void Message::SetSender(uint32_t address, uint16_t port) {
  Put16(kOffSenderPort, port);
  Put32(kOffSenderAddress, address);
}

uint16_t Message::Get16(size_t off) const { return KRX::ReadLE16(m_bytes.data() + off); }

uint32_t Message::Get32(size_t off) const { return KRX::ReadLE32(m_bytes.data() + off); }

void Message::Put16(size_t off, uint16_t v) {
  m_bytes[off] = uint8_t(v);
  m_bytes[off + 1] = uint8_t(v >> 8);
}

void Message::Put32(size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) m_bytes[off + i] = uint8_t(v >> (8 * i));
}

void Message::PutName(size_t off, const char* name) {
  std::memset(&m_bytes[off], 0, kNameSize);
  if (!name) return;
  const size_t n = strnlen(name, kNameSize - 1);
  std::memcpy(&m_bytes[off], name, n);
}

}  // namespace AID

namespace AID {

void ParsePeerInfo(const Message& message, std::string& name, std::string& secondName) {
  const char* p = reinterpret_cast<const char*>(message.Payload());
  const size_t n = message.Size() - kHeaderSize;
  const size_t first = strnlen(p, n);
  name.assign(p, std::min(first, kMaxPeerName));
  if (first + 1 >= n) {
    secondName.clear();
    return;
  }
  const char* q = p + first + 1;
  secondName.assign(q, std::min(strnlen(q, n - first - 1), kMaxPeerName));
}

}  // namespace AID
