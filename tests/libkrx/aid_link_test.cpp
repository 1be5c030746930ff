// The link end to end against a test front-end on 127.0.0.1: hand-shake, channels, the engine
// log, split messages, bad datagrams, foreign senders, link control and shut-down.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "aid_test_peer.h"
#include "base/system.h"
#include "support/EngineLogCapture.h"
#include "support/ThreadCount.h"
#include "libkrx/AID/MessageBuffer.h"
#include "libkrx/AID/WinAIDNetwork.h"

namespace {

using aidtest::PumpUntil;
using aidtest::TestPeer;

// Messages a listener received, with the listener's tag.
struct Received {
  std::string tag;
  uint16_t type;
  std::string name1;
  uint32_t param1;
  std::string payload;
};
struct Sink {
  std::string tag;
  std::vector<Received>* into;
  AID::AIDNetwork* removeFrom = nullptr;
  uint32_t removeId = AID::kNoListener;
};
bool Record(void* object, AID::AIDNetwork* link, const AID::Message* m) {
  auto* sink = static_cast<Sink*>(object);
  sink->into->push_back({sink->tag, m->Type(), m->Name1(), m->Param1(),
                         std::string(reinterpret_cast<const char*>(m->Payload()), m->PayloadLength())});
  if (sink->removeFrom) {
    EXPECT_EQ(link, sink->removeFrom);
    sink->removeFrom->RemoveListener(sink->removeId);
  }
  return true;
}

class AidLink : public ::testing::Test {
 protected:
  // Engine log lines seen while the test runs that contain needle.
  size_t CountLog(const char* needle) const { return size_t(m_log.count(needle)); }
  testsupport::LogCapture m_log;

  // Init as the game does, Connect as initiator, and let the peer accept; checks each step.
  void Handshake(AID::WinAIDNetwork& link, TestPeer& peer, uint32_t maxDatagram = 65507) {
    link.SetOptions(peer.Options(maxDatagram));
    ASSERT_TRUE(link.Init("Quillane", 42.0f, "/games/quillane", 0));
    ASSERT_TRUE(link.Connect(nullptr));
    auto hello = peer.ReceiveType(AID::kConnectRequest);
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->Param1(), platform::net::ToNetworkPort(peer.LinkPort()));
    EXPECT_EQ(hello->Param2(), platform::net::LoopbackAddress());
    EXPECT_EQ(hello->SenderPort(), platform::net::ToNetworkPort(peer.LinkPort()));
    ASSERT_TRUE(peer.SendAccept());
    auto info = peer.ReceiveType(AID::kPeerInfo);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->Param1(), 2u);
    EXPECT_EQ(info->Param2(), 42000u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info->Payload()), info->PayloadLength()),
              std::string("Quillane\0/games/quillane\0", 25));
    EXPECT_TRUE(link.IsConnected());
  }
};

TEST_F(AidLink, ConnectsAndTalksOnChannels) {
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork link;
  Handshake(link, peer);
  EXPECT_EQ(link.GetPeerPort(), platform::net::ToNetworkPort(peer.Port()));
  EXPECT_EQ(std::string(link.GetPeerAddressText()), "127.0.0.1 (" + std::to_string(peer.Port()) + ")");

  // The peer's own peer info, with names far beyond the 259 characters kept.
  const std::string huge(1000, 'F');
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kPeerInfo, nullptr, huge + '\0' + huge + '\0', 2, 5000)));
  ASSERT_TRUE(aidtest::WaitFor([&] { return link.GetPeerTimeout() == 5000; }));
  EXPECT_EQ(link.GetPeerName(), std::string(259, 'F'));
  EXPECT_EQ(link.GetPeerSecondName().size(), 259u);
  EXPECT_EQ(link.GetPeerVersion(), 2u);

  // Listeners by channel, without regard to case; a listener removed while a dispatch is under
  // way is not called by it.
  std::vector<Received> got;
  Sink debuggerA{"A", &got}, debuggerB{"B", &got}, logger{"L", &got};
  const uint32_t idA = link.AddListener("KRXDebugger", Record, &debuggerA);
  const uint32_t idB = link.AddListener("krxdebugger", Record, &debuggerB);
  link.AddListener("LOGGER", Record, &logger);
  EXPECT_NE(idA, idB);
  debuggerA.removeFrom = &link;
  debuggerA.removeId = idB;

  ASSERT_TRUE(peer.Send(*peer.Make(AID::kAccept, "krxDEBUGGER", "cmd1")));
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kText, "Logger", std::string("default\0x\0", 10))));
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kAccept, "KRXDebugger", "cmd2")));
  ASSERT_TRUE(PumpUntil(link, [&] { return got.size() >= 3; }));
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].tag + got[0].payload, "Acmd1");
  EXPECT_EQ(got[1].tag, "L");
  EXPECT_EQ(got[1].type, AID::kText);
  EXPECT_EQ(got[2].tag + got[2].payload, "Acmd2");

  // Debugger replies go out on the channel as type 2 data.
  AID::MessageBuffer reply;
  reply.WriteU32(36);
  reply.WriteString("file:a\r\nmodule:b\r\nfunc:c");
  ASSERT_TRUE(link.SendData(AID::kAccept, "KRXDebugger", "KRXDebugger", 0, 0, reply.Data(), uint32_t(reply.Size())));
  auto m = peer.ReceiveType(AID::kAccept);
  ASSERT_TRUE(m);
  EXPECT_STREQ(m->Name1(), "KRXDebugger");
  EXPECT_STREQ(m->Name2(), "KRXDebugger");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m->Payload()), m->PayloadLength()),
            std::string(reinterpret_cast<const char*>(reply.Data()), reply.Size()));
}

TEST_F(AidLink, MessagesLargerThanADatagramArriveWhole) {
  TestPeer peer(512);
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork link;
  Handshake(link, peer, 512);

  std::string big(5000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 31 + 7);
  ASSERT_TRUE(link.SendData(AID::kAccept, "KRXDebugger", nullptr, 0, 0, big.data(), uint32_t(big.size())));
  auto m = peer.ReceiveType(AID::kAccept);
  ASSERT_TRUE(m);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m->Payload()), m->PayloadLength()), big);

  std::vector<Received> got;
  Sink sink{"D", &got};
  link.AddListener("KRXDebugger", Record, &sink);
  std::reverse(big.begin(), big.end());
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kAccept, "KRXDebugger", big)));
  ASSERT_TRUE(PumpUntil(link, [&] { return !got.empty(); }));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].payload, big);
}

// Another program on 127.0.0.1 that sends between the pieces of the front-end's command, or
// floods the link with datagrams announcing the largest messages: the command still arrives
// whole, and the link keeps nothing for the stranger.
TEST_F(AidLink, StrangersNeitherBreakThePeersCommandNorMakeTheLinkHoldMemory) {
  TestPeer peer(512);
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork link;
  Handshake(link, peer, 512);
  std::vector<Received> got;
  Sink sink{"D", &got};
  link.AddListener("KRXDebugger", Record, &sink);
  TestPeer stranger;
  ASSERT_TRUE(stranger.OpenAny());

  std::string command(1500, '\0');
  for (size_t i = 0; i < command.size(); ++i) command[i] = char('a' + i % 26);
  auto m = peer.Make(AID::kAccept, "KRXDebugger", command);
  auto intruder = stranger.Make(AID::kAccept, "KRXDebugger", "stranger");
  const auto firstRefusal = std::chrono::steady_clock::now();
  ASSERT_TRUE(peer.SendRaw(m->Bytes(), 512));
  ASSERT_TRUE(stranger.SendTo(*intruder, peer.LinkEndpoint()));
  ASSERT_TRUE(PumpUntil(link, [this] { return CountLog("refused: not the peer") >= 1; }));
  for (size_t done = 512; done < m->Size(); done += 512)
    ASSERT_TRUE(peer.SendRaw(m->Bytes() + done, std::min<size_t>(512, m->Size() - done)));
  ASSERT_TRUE(PumpUntil(link, [&] { return !got.empty(); }));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].payload, command);
  EXPECT_EQ(CountLog("dropped"), 0u);

  // Each datagram announces a 4 MiB message; none of it may be kept.
  std::vector<uint8_t> announce(512, 'x');
  auto header = stranger.Make(AID::kAccept, "KRXDebugger");
  std::memcpy(announce.data(), header->Bytes(), AID::kHeaderSize);
  for (int i = 0; i < 4; ++i) announce[AID::kOffPayloadLength + i] = uint8_t(AID::kMaxPayload >> (8 * i));
  size_t most = 0;
  for (int i = 0; i < 3000; ++i) {
    stranger.SendTo(*AID::Message::FromBytes(announce.data(), announce.size()), peer.LinkEndpoint());
    if (i % 100 == 0) most = std::max(most, link.ReassemblyBytes());
  }
  // The peer is still answered after the flood (a full receive buffer may have lost a ping:
  // this is UDP, so the peer asks again).
  bool answered = false;
  for (int attempt = 0; attempt < 15 && !answered; ++attempt) {
    ASSERT_TRUE(peer.Send(*peer.Make(AID::kPing, nullptr, {}, 77)));
    answered = peer.ReceiveType(AID::kPong, 200) != nullptr;
  }
  EXPECT_TRUE(answered);
  EXPECT_EQ(std::max(most, link.ReassemblyBytes()), 0u);
  EXPECT_TRUE(link.IsConnected());

  // The log has the first refusal and then one line a second that counts the others, never a
  // line a datagram.
  ASSERT_TRUE(PumpUntil(link, [this] { return CountLog("in the last second)") >= 1; })) << m_log.text("\n");
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - firstRefusal);
  EXPECT_LE(CountLog("refused: not the peer"), size_t(2 + seconds.count())) << m_log.text("\n");
}

TEST_F(AidLink, BadDatagramsAreDroppedAndLogged) {
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork link;
  Handshake(link, peer);
  std::vector<Received> got;
  Sink sink{"D", &got};
  link.AddListener("KRXDebugger", Record, &sink);

  auto good = peer.Make(AID::kAccept, "KRXDebugger", "ok");
  std::vector<uint8_t> bytes(good->Bytes(), good->Bytes() + good->Size());
  std::vector<uint8_t> shortOne(bytes.begin(), bytes.begin() + 40);
  std::vector<uint8_t> foreign = bytes;
  foreign[3] = 0x09;
  std::vector<uint8_t> huge = bytes;
  std::memset(&huge[AID::kOffPayloadLength], 0xFF, 4);
  std::vector<uint8_t> longer = bytes;
  longer.resize(longer.size() + 10, 'x');
  for (const auto* b : {&shortOne, &foreign, &huge, &longer}) ASSERT_TRUE(peer.SendRaw(b->data(), b->size()));
  ASSERT_TRUE(peer.Send(*good));

  ASSERT_TRUE(PumpUntil(link, [&] { return !got.empty(); }));
  EXPECT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].payload, "ok");
  EXPECT_EQ(CountLog("ERROR: debugger link: datagram of"), 4u);
  EXPECT_EQ(CountLog("shorter than the packet header"), 1u);
  EXPECT_EQ(CountLog("declared payload too large"), 1u);
  EXPECT_TRUE(link.IsConnected());
}

// A stranger on 127.0.0.1 neither steers the link nor hears from it, whatever its headers claim:
// the link knows its peer by the socket's source endpoint, set when it said hello.
TEST_F(AidLink, ForeignSendersNeitherSteerTheLinkNorHearFromIt) {
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork link;
  link.SetOptions(peer.Options());
  ASSERT_TRUE(link.Init("Quillane", 42.0f, "", 0));
  std::vector<Received> got;
  Sink sink{"D", &got};
  link.AddListener("KRXDebugger", Record, &sink);

  // Before any Connect there is no peer: even the peer's accept does not take the link.
  ASSERT_TRUE(peer.SendAccept());
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kPing, nullptr, {}, 1)));
  EXPECT_FALSE(peer.Receive(200));
  EXPECT_FALSE(link.IsConnected());

  // While the link waits for its peer's accept, a stranger's accept naming the stranger, or one
  // whose header copies the peer's endpoint, takes nothing over.
  ASSERT_TRUE(link.Connect(nullptr));
  ASSERT_TRUE(peer.ReceiveType(AID::kConnectRequest));
  TestPeer stranger;
  ASSERT_TRUE(stranger.OpenAny());
  const platform::net::Endpoint self = stranger.Self(), claimed = peer.Self();
  ASSERT_TRUE(stranger.SendTo(*stranger.Make(AID::kAccept, nullptr, {}, self.port, self.address), peer.LinkEndpoint()));
  auto forged = peer.Make(AID::kAccept, nullptr, {}, claimed.port, claimed.address);
  ASSERT_TRUE(stranger.SendTo(*forged, peer.LinkEndpoint()));
  ASSERT_TRUE(PumpUntil(link, [&] { return link.RefusedDatagrams() >= 4; }));
  EXPECT_FALSE(link.IsConnected());

  ASSERT_TRUE(peer.SendAccept());
  ASSERT_TRUE(aidtest::WaitFor([&] { return link.IsConnected(); }));
  ASSERT_TRUE(peer.ReceiveType(AID::kPeerInfo));

  // Connected: the stranger's pings, debugger commands, connect requests and disconnects are
  // dropped without an answer, also with the peer's endpoint in the header.
  for (uint16_t type : {AID::kPing, AID::kConnectRequest, AID::kDisconnect, AID::kReject}) {
    ASSERT_TRUE(stranger.SendTo(*stranger.Make(type, nullptr, {}, 9, self.address), peer.LinkEndpoint()));
    ASSERT_TRUE(stranger.SendTo(*peer.Make(type, nullptr, {}, 9, self.address), peer.LinkEndpoint()));
  }
  ASSERT_TRUE(stranger.SendTo(*peer.Make(AID::kAccept, "KRXDebugger", "stranger"), peer.LinkEndpoint()));
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kAccept, "KRXDebugger", "peer")));
  ASSERT_TRUE(PumpUntil(link, [&] { return !got.empty() && link.RefusedDatagrams() >= 13; }));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].payload, "peer");
  EXPECT_TRUE(link.IsConnected());
  EXPECT_EQ(link.GetPeerPort(), platform::net::ToNetworkPort(peer.Port()));
  EXPECT_FALSE(stranger.Receive(200));
  // The link still answers its peer.
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kPing, nullptr, {}, 5)));
  EXPECT_TRUE(peer.ReceiveType(AID::kPong));
}

TEST_F(AidLink, LinkControlPingDisconnectAndReject) {
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork link;
  Handshake(link, peer);

  // A ping is answered from the receive thread, before any ProcessMessages.
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kPing, nullptr, {}, 123456)));
  auto pong = peer.ReceiveType(AID::kPong);
  ASSERT_TRUE(pong);
  EXPECT_EQ(pong->Param1(), 123456u);

  // The link's own ping: the pong reaches the listeners of the empty channel with the round
  // trip in milliseconds.
  std::vector<Received> got;
  Sink control{"C", &got};
  link.AddListener("", Record, &control);
  const uint32_t sent = AID::WinAIDNetwork::TimeMs();
  ASSERT_TRUE(link.SendMessage(AID::kPing, nullptr, nullptr, sent, 0));
  auto ping = peer.ReceiveType(AID::kPing);
  ASSERT_TRUE(ping);
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kPong, nullptr, {}, ping->Param1(), 0)));
  ASSERT_TRUE(PumpUntil(link, [&] {
    for (auto& r : got)
      if (r.type == AID::kPong) return true;
    return false;
  }));
  // A round trip, not a clock reading: no longer than the time since the ping was sent.
  const uint32_t sinceSent = AID::WinAIDNetwork::TimeMs() - sent;
  for (auto& r : got) {
    if (r.type == AID::kPong) {
      EXPECT_LE(r.param1, sinceSent);
    }
  }

  // The peer leaves: queued messages are dropped and nothing is sent any more.
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kAccept, "KRXDebugger", "late")));
  ASSERT_TRUE(aidtest::WaitFor([&] { return link.QueuedMessageCount() > 0; }));
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kDisconnect)));
  ASSERT_TRUE(aidtest::WaitFor([&] { return !link.IsConnected(); }));
  EXPECT_EQ(link.QueuedMessageCount(), 0u);
  EXPECT_FALSE(link.SendMessage(AID::kPing, nullptr, nullptr, 0, 0));

  // The front-end takes the link again with an accept; a reject with param1 makes the link
  // forget the peer's address.
  ASSERT_TRUE(peer.SendAccept());
  ASSERT_TRUE(aidtest::WaitFor([&] { return link.IsConnected(); }));
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kReject, nullptr, {}, 1)));
  ASSERT_TRUE(aidtest::WaitFor([&] { return !link.IsConnected(); }));
  EXPECT_EQ(std::string(link.GetPeerAddressText()), "0.0.0.0 (" + std::to_string(peer.Port()) + ")");
}

TEST_F(AidLink, ClosingLeavesNoThreadAndTellsThePeer) {
  const int before = testsupport::SettledThreadCount();
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  {
    AID::WinAIDNetwork link;
    Handshake(link, peer);
    EXPECT_TRUE(link.HasReceiveThread());
    EXPECT_EQ(testsupport::ThreadCountReaching(before + 1), before + 1);
    link.Close();
    EXPECT_FALSE(link.HasReceiveThread());
    EXPECT_EQ(testsupport::ThreadCountReaching(before), before);
    EXPECT_TRUE(peer.ReceiveType(AID::kDisconnect));
    // Init again after Close, then let the destructor close.
    Handshake(link, peer);
    EXPECT_EQ(testsupport::ThreadCountReaching(before + 1), before + 1);
  }
  EXPECT_EQ(testsupport::ThreadCountReaching(before), before);
  EXPECT_TRUE(peer.ReceiveType(AID::kDisconnect));
}

TEST_F(AidLink, BindsLoopbackUnlessToldOtherwise) {
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork link;
  link.SetOptions(peer.Options());
  ASSERT_TRUE(link.Init("Quillane", 1.0f, "", 0));
  uint32_t own = 0;
  link.GetLocalAddress(own);
  EXPECT_EQ(own, platform::net::LoopbackAddress());
  EXPECT_EQ(link.GetLocalPort(), platform::net::ToNetworkPort(peer.LinkPort()));
  link.Close();

  AID::LinkOptions bad = peer.Options();
  bad.bindAddress = "not an address";
  link.SetOptions(bad);
  EXPECT_FALSE(link.Init("Quillane", 1.0f, "", 0));
  EXPECT_FALSE(link.HasReceiveThread());
  EXPECT_EQ(CountLog("ERROR: debugger link: bad bind address"), 1u);
}

TEST_F(AidLink, PortInUseFailsInitWithTheErrorName) {
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork first, second;
  first.SetOptions(peer.Options());
  second.SetOptions(peer.Options());
  ASSERT_TRUE(first.Init("Quillane", 1.0f, "", 0));
  EXPECT_FALSE(second.Init("Quillane", 1.0f, "", 0));
  EXPECT_FALSE(second.Connect(nullptr));
  EXPECT_EQ(CountLog("Error in network: EADDRINUSE"), 1u);
}

// The game's start-up: ConnectDebugger on the process's link, then SendLog as an engine
// output callback, so log lines reach the peer's "LOGGER" channel.
TEST_F(AidLink, EngineLogReachesTheLoggerChannel) {
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  AID::AIDNetwork* link = AID::CreateNetwork();
  ASSERT_EQ(AID::GetNetwork(), link);
  EXPECT_TRUE(AID::SendLog("before any link: ignored"));
  link->SetOptions(peer.Options());
  ASSERT_TRUE(AID::ConnectDebugger("Quillane", 42.0f, "/cwd", 0));
  ASSERT_TRUE(peer.ReceiveType(AID::kConnectRequest));
  ASSERT_TRUE(peer.SendAccept());
  ASSERT_TRUE(peer.ReceiveType(AID::kPeerInfo));

  base::sys::AddOutputCallback(AID::SendLog);
  base::sys::Output("scene %s loaded in %d ms\n", "Lobby", 12);
  base::sys::RemoveOutputCallback(AID::SendLog);
  auto m = peer.ReceiveType(AID::kText);
  ASSERT_TRUE(m);
  EXPECT_STREQ(m->Name1(), "LOGGER");
  EXPECT_STREQ(m->Name2(), "");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m->Payload()), m->PayloadLength()),
            std::string("default\0scene Lobby loaded in 12 ms\n\0", 37));

  AID::DestroyNetwork();
  EXPECT_EQ(AID::GetNetwork(), nullptr);
  EXPECT_TRUE(AID::SendLog("after the link: ignored"));
  EXPECT_TRUE(peer.ReceiveType(AID::kDisconnect));
}

bool DebuggerCallback(void* object, AID::AIDNetwork*, const AID::Message*) {
  ++*static_cast<int*>(object);
  return true;
}

TEST_F(AidLink, DebuggerListenerNeedsTheDebuggersCallback) {
  AID::WinAIDNetwork link;
  int calls = 0;
  AID::SetDebuggerCallback(nullptr);
  EXPECT_EQ(link.AddDebuggerListener(&calls), AID::kNoListener);
  AID::SetDebuggerCallback(DebuggerCallback);
  const uint32_t first = link.AddDebuggerListener(&calls);
  const uint32_t second = link.AddDebuggerListener(&calls);
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(link.ListenerCount(), 2u);
  EXPECT_TRUE(link.RemoveListener(first));
  EXPECT_FALSE(link.RemoveListener(first));
  AID::SetDebuggerCallback(nullptr);

  // Fed straight into the receive side from the peer's endpoint: an accept connects, a data
  // message reaches the one remaining listener once.
  const platform::net::Endpoint peer{platform::net::LoopbackAddress(), platform::net::ToNetworkPort(11381)};
  link.SetPeer(peer);
  auto accept = AID::Message::Create(0);
  accept->SetType(AID::kAccept);
  link.HandleDatagram(accept->Bytes(), accept->Size(), peer.address, peer.port);
  auto data = AID::Message::Create(4);
  data->SetType(AID::kAccept);
  data->SetName1("KRXDebugger");
  link.HandleDatagram(data->Bytes(), data->Size(), peer.address, peer.port);
  link.ProcessMessages();
  EXPECT_EQ(calls, 1);
}

}  // namespace

namespace {

// A link that is not the initiator (Connect mode 1) waits for the front-end: the front-end's
// connect request is answered with an accept, and its peer info connects the link.
TEST_F(AidLink, ConnectRequestFromTheKnownPeerIsAnsweredWithAnAccept) {
  TestPeer peer;
  ASSERT_TRUE(peer.Open());
  AID::WinAIDNetwork link;
  link.SetOptions(peer.Options());
  ASSERT_TRUE(link.Init("Quillane", 42.0f, "", 0));
  AID::ConnectParameters own;
  own.mode = 1;
  ASSERT_TRUE(link.Connect(&own));
  auto hello = peer.ReceiveType(AID::kAccept);
  ASSERT_TRUE(hello);
  EXPECT_STREQ(hello->Name1(), "");
  EXPECT_FALSE(link.IsConnected());

  const platform::net::Endpoint self = peer.Self();
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kConnectRequest, nullptr, {}, self.port, self.address)));
  auto accept = peer.ReceiveType(AID::kAccept);
  ASSERT_TRUE(accept);
  EXPECT_EQ(accept->Param1(), platform::net::ToNetworkPort(peer.LinkPort()));
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kPeerInfo, nullptr, std::string("Front\0/fe\0", 10), 2, 1000)));
  ASSERT_TRUE(aidtest::WaitFor([&] { return link.IsConnected(); }));
  EXPECT_EQ(link.GetPeerName(), "Front");
  EXPECT_EQ(link.GetPeerSecondName(), "/fe");
  EXPECT_GE(link.GetLastReceiveTime(), 0.0f);

  // A peer info of a later protocol version is noted but does not connect.
  link.Disconnect(true);
  EXPECT_TRUE(peer.ReceiveType(AID::kDisconnect));
  ASSERT_TRUE(peer.Send(*peer.Make(AID::kPeerInfo, nullptr, std::string("Next\0\0", 6), 3, 1)));
  ASSERT_TRUE(aidtest::WaitFor([&] { return link.GetPeerVersion() == 3; }));
  EXPECT_FALSE(link.IsConnected());
  EXPECT_EQ(link.GetPeerName(), "Front");
}

// The fixed ports: the game listens on 11637 and talks to 11381, the other side the reverse.
// Skipped when something on this machine holds the port.
TEST_F(AidLink, FlagsPickTheFixedPorts) {
  for (uint8_t flags : {uint8_t(0), uint8_t(1)}) {
    const uint16_t own = flags ? 11381 : 11637, peerPort = flags ? 11637 : 11381;
    AID::WinAIDNetwork link;
    if (!link.Init("Quillane", 42.0f, "", flags)) GTEST_SKIP() << "port " << own << " in use";
    EXPECT_EQ(link.GetFlags(), flags);
    EXPECT_EQ(link.GetLocalPort(), platform::net::ToNetworkPort(own));
    AID::ConnectParameters p;
    p.mode = 2;
    p.address = platform::net::LoopbackAddress();
    link.Connect(&p);
    EXPECT_EQ(link.GetPeerPort(), platform::net::ToNetworkPort(peerPort));
    EXPECT_EQ(std::string(link.GetPeerAddressText()), "127.0.0.1 (" + std::to_string(peerPort) + ")");
  }
}

}  // namespace
