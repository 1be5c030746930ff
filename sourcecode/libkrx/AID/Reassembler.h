// Turns the datagrams of the debugger link back into whole messages. A message longer than one
// datagram arrives as consecutive datagrams of which only the first starts with the header;
// every datagram but the last fills the sender's datagram size exactly. No socket here, so the
// checks can be driven directly by tests and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

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

  // Forgets a partial message.
  void Reset();
  bool HasPartial() const { return m_partial != nullptr; }
  size_t MaxDatagram() const { return m_maxDatagram; }

 private:
  Outcome Start(const uint8_t* data, size_t size, uint32_t sourceAddress, uint16_t sourcePort);

  size_t m_maxDatagram;
  std::unique_ptr<Message> m_partial;
  size_t m_received = 0;
  size_t m_missing = 0;
  uint32_t m_sourceAddress = 0;
  uint16_t m_sourcePort = 0;
};

}  // namespace AID
