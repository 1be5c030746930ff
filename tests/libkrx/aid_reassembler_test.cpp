// Datagram checks and reassembly, without sockets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "libkrx/AID/Reassembler.h"

namespace {

using Kind = AID::Reassembler::Outcome::Kind;
constexpr uint32_t kSrc = 0x0100007F;
constexpr uint16_t kPort = 0x2D75;

std::vector<uint8_t> Block(uint32_t payloadLength, uint8_t fill = 0) {
  auto m = AID::Message::Create(payloadLength);
  m->SetType(AID::kAccept);
  m->SetName1("KRXDebugger");
  for (uint32_t i = 0; i < payloadLength; ++i) m->Payload()[i] = uint8_t(fill + i * 7);
  return std::vector<uint8_t>(m->Bytes(), m->Bytes() + m->Size());
}

void PutLE32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = uint8_t(v >> (8 * i));
}

TEST(AidReassembler, MalformedDatagramsAreDroppedBeforeAllocation) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  std::vector<uint8_t> shortOne = Block(0);
  shortOne.resize(87);
  cases.push_back({"87 bytes with the magic", shortOne});
  std::vector<uint8_t> foreign = Block(4);
  foreign[0] = 0x16;
  cases.push_back({"wrong magic", foreign});
  std::vector<uint8_t> huge = Block(4);
  PutLE32(huge, AID::kOffPayloadLength, 0xFFFFFFFFu);
  cases.push_back({"payload length 0xFFFFFFFF", huge});
  std::vector<uint8_t> overCap = Block(4);
  PutLE32(overCap, AID::kOffPayloadLength, AID::kMaxPayload + 1);
  cases.push_back({"payload length above the cap", overCap});
  std::vector<uint8_t> longer = Block(4);
  longer.push_back(0);
  cases.push_back({"longer than declared", longer});

  for (const Case& c : cases) {
    AID::Reassembler r(65507);
    auto out = r.Feed(c.bytes.data(), c.bytes.size(), kSrc, kPort);
    EXPECT_EQ(out.kind, Kind::Dropped) << c.what;
    EXPECT_NE(out.reason, nullptr) << c.what;
    EXPECT_FALSE(r.HasPartial()) << c.what;
  }
}

TEST(AidReassembler, SplitMessageArrivesOnceAndWhole) {
  const std::vector<uint8_t> whole = Block(1000, 3);
  const size_t max = 300;
  AID::Reassembler r(max);
  std::vector<AID::Reassembler::Outcome> outcomes;
  for (size_t off = 0; off < whole.size(); off += max) {
    const size_t n = std::min(max, whole.size() - off);
    outcomes.push_back(r.Feed(whole.data() + off, n, kSrc, kPort));
  }
  ASSERT_EQ(outcomes.size(), 4u);  // 1088 bytes in 300-byte datagrams
  for (size_t i = 0; i + 1 < outcomes.size(); ++i) EXPECT_EQ(outcomes[i].kind, Kind::Pending);
  ASSERT_EQ(outcomes.back().kind, Kind::Complete);
  const AID::Message& m = *outcomes.back().message;
  EXPECT_EQ(std::vector<uint8_t>(m.Bytes(), m.Bytes() + m.Size()), whole);
  EXPECT_STREQ(m.Name1(), "KRXDebugger");
  EXPECT_FALSE(r.HasPartial());
}

TEST(AidReassembler, DatagramOfUnexpectedSizeEndsThePartialAndStartsAnew) {
  const std::vector<uint8_t> big = Block(500);
  const std::vector<uint8_t> small = Block(10, 9);
  AID::Reassembler r(200);
  EXPECT_EQ(r.Feed(big.data(), 200, kSrc, kPort).kind, Kind::Pending);
  // A whole small message where the next 200-byte piece was due.
  auto out = r.Feed(small.data(), small.size(), kSrc, kPort);
  EXPECT_TRUE(out.droppedPartial);
  ASSERT_EQ(out.kind, Kind::Complete);
  EXPECT_EQ(out.message->PayloadLength(), 10u);
  // The rest of the big message now has no start and is no packet.
  out = r.Feed(big.data() + 200, 200, kSrc, kPort);
  EXPECT_EQ(out.kind, Kind::Dropped);
}

// Another socket's datagram between the pieces neither ends the message nor is taken for its
// next piece; announced sizes cost nothing until the bytes come, and strangers' partial
// messages take at most a few senders' places.
TEST(AidReassembler, SendersKeepTheirOwnPartialsAndBuffersGrowWithTheData) {
  const std::vector<uint8_t> big = Block(300);
  AID::Reassembler r(200);
  ASSERT_EQ(r.Feed(big.data(), 200, kSrc, kPort).kind, Kind::Pending);
  auto out = r.Feed(big.data() + 200, 188, kSrc, kPort + 1);
  EXPECT_FALSE(out.droppedPartial);
  EXPECT_EQ(out.kind, Kind::Dropped);
  out = r.Feed(big.data() + 200, 188, kSrc, kPort);
  ASSERT_EQ(out.kind, Kind::Complete);
  EXPECT_EQ(std::vector<uint8_t>(out.message->Bytes(), out.message->Bytes() + out.message->Size()), big);

  std::vector<uint8_t> announce = Block(100);
  PutLE32(announce, AID::kOffPayloadLength, AID::kMaxPayload);
  const size_t datagram = 1000;
  AID::Reassembler flood(datagram);
  for (uint16_t port = 1; port <= 500; ++port) {
    EXPECT_EQ(flood.Feed(announce.data(), announce.size(), kSrc + port, port).kind, Kind::Pending);
    ASSERT_LE(flood.BufferedBytes(), AID::Reassembler::kMaxSenders * 2 * datagram) << port;
  }
}

TEST(AidReassembler, OversizedDatagramCountsAsAFullBuffer) {
  // As with a receive buffer of the datagram size, the rest of a longer datagram is lost: here
  // the first 200 bytes start a message that then waits for its continuation.
  const std::vector<uint8_t> big = Block(300);
  AID::Reassembler r(200);
  EXPECT_EQ(r.Feed(big.data(), big.size(), kSrc, kPort).kind, Kind::Pending);
  EXPECT_EQ(r.Feed(big.data() + 200, 188, kSrc, kPort).kind, Kind::Complete);
}

}  // namespace
