// One message of the debugger link: the 88-byte packet header followed by the payload, kept as
// the exact bytes that travel (little-endian fields; sender port and address, and the port and
// address that hello and accept carry in param1/param2, in network byte order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace AID {

inline constexpr uint32_t kMagic = 0x08AFFE15;
inline constexpr size_t kHeaderSize = 88;
inline constexpr size_t kNameSize = 32;  // name fields hold at most 31 characters and a NUL
// Largest payload the link sends or accepts; a declared length above it marks a datagram as
// hostile before anything is allocated for it.
inline constexpr uint32_t kMaxPayload = 4u << 20;

// Byte offsets of the header fields. ORDER PACKET
inline constexpr size_t kOffMagic = 0, kOffSenderPort = 4, kOffSenderAddress = 6, kOffType = 10,
                        kOffPayloadLength = 12, kOffParam1 = 16, kOffParam2 = 20, kOffName1 = 24,
                        kOffName2 = 56;

// Message types. ORDER PACKET
enum MessageType : uint16_t {
  kText = 0,            // application text ("LOGGER"); on the debugger channel: resume
  kConnectRequest = 1,  // param1 sender port, param2 sender address
  kAccept = 2,          // empty name1: accept (param1 port, param2 address); else application data
  kDisconnect = 3,
  kPeerInfo = 4,  // param1 protocol version, param2 time-out ms; payload name NUL second name NUL
  kReject = 5,    // param1 non-zero: forget the peer address too
  kPing = 6,      // param1 sender's time stamp
  kPong = 7,      // param1 the ping's param1, param2 replier's time stamp
};

inline constexpr uint32_t kProtocolVersion = 2;

class Message {
 public:
  // A block of header + payloadLength bytes: magic set, type 0, names and payload zero.
  static std::unique_ptr<Message> Create(uint32_t payloadLength);
  // A copy of received bytes (at least the header); the name fields are forced to end in NUL so
  // that a foreign sender cannot make them run on. Null when fewer bytes than a header are given.
  static std::unique_ptr<Message> FromBytes(const uint8_t* bytes, size_t size);

  uint16_t Type() const { return Get16(kOffType); }
  void SetType(uint16_t type) { Put16(kOffType, type); }
  uint16_t SenderPort() const { return Get16(kOffSenderPort); }
  uint32_t SenderAddress() const { return Get32(kOffSenderAddress); }
  void SetSender(uint32_t address, uint16_t port);
  uint32_t PayloadLength() const { return Get32(kOffPayloadLength); }
  uint32_t Param1() const { return Get32(kOffParam1); }
  uint32_t Param2() const { return Get32(kOffParam2); }
  void SetParam1(uint32_t v) { Put32(kOffParam1, v); }
  void SetParam2(uint32_t v) { Put32(kOffParam2, v); }

  // Always NUL-terminated; empty for link control.
  const char* Name1() const { return reinterpret_cast<const char*>(&m_bytes[kOffName1]); }
  const char* Name2() const { return reinterpret_cast<const char*>(&m_bytes[kOffName2]); }
  // Copies at most 31 characters; null clears the name.
  void SetName1(const char* name) { PutName(kOffName1, name); }
  void SetName2(const char* name) { PutName(kOffName2, name); }

  const uint8_t* Payload() const { return m_bytes.data() + kHeaderSize; }
  uint8_t* Payload() { return m_bytes.data() + kHeaderSize; }
  // The whole block as it travels.
  const uint8_t* Bytes() const { return m_bytes.data(); }
  uint8_t* Bytes() { return m_bytes.data(); }
  size_t Size() const { return m_bytes.size(); }

 private:
  Message() = default;
  uint16_t Get16(size_t off) const;
  uint32_t Get32(size_t off) const;
  void Put16(size_t off, uint16_t v);
  void Put32(size_t off, uint32_t v);
  void PutName(size_t off, const char* name);

  std::vector<uint8_t> m_bytes;
};

}  // namespace AID

namespace AID {

// Longest peer name or second name kept (the peers' fields hold 260 bytes with the NUL).
inline constexpr size_t kMaxPeerName = 259;

// The two names of a peer-info payload ("name NUL second NUL"), each cut to kMaxPeerName; a
// missing NUL ends the name at the payload's end.
void ParsePeerInfo(const Message& message, std::string& name, std::string& secondName);

}  // namespace AID
