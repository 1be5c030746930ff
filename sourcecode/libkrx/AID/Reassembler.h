// Turns the datagrams of the debugger link back into whole messages. A message longer than one
// datagram arrives as consecutive datagrams of which only the first starts with the header;
// every datagram but the last fills the sender's datagram size exactly. Partial messages are
// kept per sender, so one sender's datagram never ends another's message, and their buffers grow
// with the bytes that really arrived, never with what a header announces. No socket here, so the
// checks can be driven directly by tests and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "libkrx/AID/Message.h"

namespace AID {

class Reassembler {
 public:
  struct Outcome {
    enum Kind { Complete, Pending, Dropped };
    Kind kind = Dropped;
    std::unique_ptr<Message> message;  // set for Complete
    const char* reason = nullptr;      // for Dropped: why (a constant text)
    bool droppedPartial = false;       // a pending partial message was given up first
  };

  // maxDatagram: the largest datagram either side sends (at least header + 1).
  explicit Reassembler(size_t maxDatagram);

  // Takes one datagram as received from source (network order, as the socket gave it).
  // Bytes beyond maxDatagram count as cut off, as a full receive buffer would leave them.
  Outcome Feed(const uint8_t* data, size_t size, uint32_t sourceAddress, uint16_t sourcePort);

  // Forgets every partial message.
  void Reset() { m_partials.clear(); }
  bool HasPartial() const { return !m_partials.empty(); }
  size_t MaxDatagram() const { return m_maxDatagram; }
  // Bytes held for partial messages (their buffers' capacity).
  size_t BufferedBytes() const;

  // Senders whose partial messages are kept at once; a further one takes the place of the
  // sender heard from least recently.
  static constexpr size_t kMaxSenders = 4;

 private:
  struct Partial {
    uint32_t address = 0;
    uint16_t port = 0;
    size_t total = 0;            // header and declared payload
    std::vector<uint8_t> bytes;  // received so far
    uint64_t lastUse = 0;
  };

  Outcome Start(const uint8_t* data, size_t size, uint32_t sourceAddress, uint16_t sourcePort);
  Partial* Find(uint32_t sourceAddress, uint16_t sourcePort);

  size_t m_maxDatagram;
  std::vector<Partial> m_partials;
  uint64_t m_uses = 0;
};

}  // namespace AID
