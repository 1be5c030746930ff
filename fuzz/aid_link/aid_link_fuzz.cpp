// Feeds datagrams to the debugger link's receive side (reassembly, sender checks, link control,
// the queue and its dispatch) and to the debugger payload codec, without sockets.
// Input: one byte choosing the datagram size (89 + 8 * b), then records of
// [u8 source][u16 little-endian length][bytes]; source bit 0 picks 127.0.0.1 over 127.0.0.2,
// bits 1-6 the port, bit 7 runs ProcessMessages after the datagram.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/system.h"
#include "libkrx/AID/MessageBuffer.h"
#include "libkrx/AID/Reassembler.h"
#include "libkrx/AID/WinAIDNetwork.h"

namespace {

void Quiet(const char*) {}

void ReadPayload(const AID::Message& m) {
  AID::MessageBuffer b(m.PayloadLength());
  if (m.PayloadLength()) __builtin_memcpy(b.Data(), m.Payload(), m.PayloadLength());
  char name[128];
  // Each pass consumes at least one byte or ends.
  while (b.Remaining() > 0) {
    const size_t before = b.Position();
    b.ReadU32();
    b.ReadName(name, sizeof name);
    b.ReadF32();
    b.ReadU8();
    if (b.Position() == before) break;
  }
  std::string first, second;
  AID::ParsePeerInfo(m, first, second);
}

bool OnMessage(void* object, AID::AIDNetwork*, const AID::Message* m) {
  ++*static_cast<size_t*>(object);
  ReadPayload(*m);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    base::sys::SetDebuggerOutput(Quiet);
    return true;
  }();
  (void)quiet;
  if (size < 1) return 0;
  AID::Reassembler reassembler(89 + size_t(data[0]) * 8);
  AID::WinAIDNetwork link;
  // Source byte 0x01 (127.0.0.1, port 0) is the peer; every other source is a stranger.
  link.SetPeer(platform::net::Endpoint{0x0100007Fu, 0});
  size_t calls = 0;
  link.AddListener("KRXDebugger", OnMessage, &calls);
  link.AddListener("", OnMessage, &calls);
  link.AddListener("LOGGER", OnMessage, &calls);

  size_t pos = 1;
  while (pos + 3 <= size) {
    const uint8_t source = data[pos];
    size_t length = size_t(data[pos + 1]) | size_t(data[pos + 2]) << 8;
    pos += 3;
    if (length > size - pos) length = size - pos;
    const uint8_t* datagram = data + pos;
    pos += length;
    const uint32_t address = source & 1 ? 0x0100007Fu : 0x0200007Fu;
    const uint16_t port = uint16_t(source >> 1);
    auto out = reassembler.Feed(datagram, length, address, port);
    if (out.kind == AID::Reassembler::Outcome::Complete) ReadPayload(*out.message);
    link.HandleDatagram(datagram, length, address, port);
    if (source & 0x80) link.ProcessMessages();
  }
  link.ProcessMessages();
  return 0;
}
