// The link's packet header, peer-info names and the debugger payload codec.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "libkrx/AID/Message.h"
#include "libkrx/AID/MessageBuffer.h"
#include "platform/net/DatagramSocket.h"

namespace {

TEST(AidMessage, HeaderBytesAreExact) {
  auto m = AID::Message::Create(3);
  m->SetType(AID::kPeerInfo);
  m->SetSender(platform::net::LoopbackAddress(), platform::net::ToNetworkPort(11637));
  m->SetParam1(2);
  m->SetParam2(42000);
  m->SetName1("KRXDebugger");
  m->SetName2("x");
  std::memcpy(m->Payload(), "abc", 3);

  std::vector<uint8_t> expected(91, 0);
  const uint8_t head[] = {0x15, 0xFE, 0xAF, 0x08,  // magic
                          0x2D, 0x75,              // port 11637, network order
                          127, 0, 0, 1,            // address, network order
                          4, 0,                    // type
                          3, 0, 0, 0,              // payload length
                          2, 0, 0, 0,              // param1
                          0x10, 0xA4, 0, 0};       // param2 = 42000
  std::memcpy(expected.data(), head, sizeof head);
  std::memcpy(&expected[24], "KRXDebugger", 11);
  expected[56] = 'x';
  std::memcpy(&expected[88], "abc", 3);
  ASSERT_EQ(m->Size(), expected.size());
  EXPECT_EQ(std::vector<uint8_t>(m->Bytes(), m->Bytes() + m->Size()), expected);
  EXPECT_EQ(m->SenderPort(), platform::net::ToNetworkPort(11637));
  EXPECT_EQ(m->SenderAddress(), platform::net::LoopbackAddress());
}

TEST(AidMessage, NamesAreCutTo31AndForcedToEnd) {
  auto m = AID::Message::Create(0);
  const std::string longName(40, 'n');
  m->SetName1(longName.c_str());
  EXPECT_EQ(std::string(m->Name1()), std::string(31, 'n'));

  // A foreign sender's header without NULs in its name fields.
  std::vector<uint8_t> raw(m->Bytes(), m->Bytes() + m->Size());
  std::memset(&raw[24], 'A', 64);
  auto received = AID::Message::FromBytes(raw.data(), raw.size());
  ASSERT_TRUE(received);
  EXPECT_EQ(std::strlen(received->Name1()), 31u);
  EXPECT_EQ(std::strlen(received->Name2()), 31u);
  EXPECT_EQ(AID::Message::FromBytes(raw.data(), 87), nullptr);
}

TEST(AidMessage, PeerInfoNamesAreBounded) {
  struct Case {
    std::string payload;
    std::string name, second;
  };
  const std::string huge(1000, 'q');
  const Case cases[] = {
      {std::string("Front\0C:/work\0", 14), "Front", "C:/work"},
      {huge + '\0' + huge + '\0', std::string(259, 'q'), std::string(259, 'q')},
      {"NoTerminator", "NoTerminator", ""},
      {std::string("Only\0", 5), "Only", ""},
      {std::string("A\0Bunended", 10), "A", "Bunended"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    auto m = AID::Message::Create(static_cast<uint32_t>(c.payload.size()));
    std::memcpy(m->Payload(), c.payload.data(), c.payload.size());
    std::string name = "stale", second = "stale";
    AID::ParsePeerInfo(*m, name, second);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(second, c.second);
  }
}

TEST(AidMessageBuffer, WritesReadBackAndReadsPastEndAreHarmless) {
  AID::MessageBuffer out;
  out.WriteU32(31);
  out.WriteString("Scenes/Lobby");
  out.WriteString(nullptr);
  out.WriteF32(1.5f);
  out.WriteU8(7);
  out.WriteU32(0xFFFFFFFFu);

  AID::MessageBuffer in(out.Size());
  std::memcpy(in.Data(), out.Data(), out.Size());
  EXPECT_EQ(in.ReadU32(), 31u);
  EXPECT_STREQ(in.ReadString(), "Scenes/Lobby");
  EXPECT_STREQ(in.ReadString(), "");
  EXPECT_EQ(in.ReadF32(), 1.5f);
  EXPECT_EQ(in.ReadU8(), 7);
  EXPECT_EQ(in.ReadU32(), 0xFFFFFFFFu);
  EXPECT_EQ(in.Remaining(), 0u);
  EXPECT_EQ(in.ReadU32(), 0u);
  EXPECT_EQ(in.ReadString(), nullptr);
  EXPECT_EQ(in.ReadU8(), 0);

  // Fewer than 4 bytes left: the number reads as 0 and the position stays.
  AID::MessageBuffer shortBuf;
  shortBuf.WriteBytes("ab", 2);
  EXPECT_EQ(shortBuf.ReadU32(), 0u);
  EXPECT_EQ(shortBuf.Position(), 0u);
  // A string without its NUL is no string; the position moves to the end.
  EXPECT_EQ(shortBuf.ReadString(), nullptr);
  EXPECT_EQ(shortBuf.Remaining(), 0u);
}

TEST(AidMessageBuffer, NamesThatDoNotFitAreRefused) {
  // A breakpoint's module name lives in 128 bytes; a longer name from the network is refused
  // rather than cut (a cut name could match another module).
  const std::string fits(127, 'm');
  const std::string tooLong(10000, 'm');
  AID::MessageBuffer b;
  b.WriteString(fits.c_str());
  b.WriteString(tooLong.c_str());
  b.WriteU32(5);
  char name[128];
  EXPECT_TRUE(b.ReadName(name, sizeof name));
  EXPECT_EQ(std::string(name), fits);
  EXPECT_FALSE(b.ReadName(name, sizeof name));
  EXPECT_STREQ(name, "");
  EXPECT_EQ(b.ReadU32(), 5u);  // the refused name was still read past
  EXPECT_FALSE(b.ReadName(name, sizeof name));
}

}  // namespace
