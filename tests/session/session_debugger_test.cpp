// The script debugger against a running game session: a front-end on 127.0.0.1 takes the
// process's debugger link, sets a breakpoint in a scene script between frames, and, from a
// thread of its own, reads the locals where the scene script stopped and lets it go on.
#include <gtest/gtest.h>

#include <thread>

#include "../libkrx/debugger_frontend.h"
#include "KRX/debugger/Debugger.h"
#include "libkrx/AID/AIDNetwork.h"
#include "quillane/session/Session.h"
#include "session_fixture.h"

namespace quillane {
namespace {

using dbgtest::FrontEnd;
using dbgtest::Payload;

class SessionDebugger : public sessiontest::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    Write("Scripts/Scenes/Hall.lua",
          "function Count()\n"                 // 1
          "  local apples = 3\n"               // 2
          "  local pears = apples + 4\n"       // 3
          "  Debugout(\"hall: \" .. pears)\n"  // 4
          "end\n");
    // As the start-up connects the link when "Debug_ConnectAID" is on.
    ASSERT_TRUE(m_peer.Open());
    AID::DestroyNetwork();
    m_link = AID::CreateNetwork();
    m_link->SetOptions(m_peer.Options());
    ASSERT_TRUE(m_link->Init("Quillane", 42.0f, "test", 0));
    ASSERT_TRUE(m_link->Connect(nullptr));
    ASSERT_TRUE(m_peer.ReceiveType(AID::kConnectRequest));
    ASSERT_TRUE(m_peer.SendAccept());
    ASSERT_TRUE(aidtest::WaitFor([this] { return m_link->IsConnected(); }));
    StartFrame();
    m_session = StartSession();
    ASSERT_NE(m_session, nullptr);
  }
  void TearDown() override {
    KRX::EnableDebugger(false);  // before the link it listens on
    AID::DestroyNetwork();
    SessionTest::TearDown();
  }

  aidtest::TestPeer m_peer;
  AID::AIDNetwork* m_link = nullptr;
  cl_Session* m_session = nullptr;
};

TEST_F(SessionDebugger, AFrontEndStopsASceneScriptReadsItsLocalsAndLetsItGoOn) {
  FrontEnd front(m_peer);
  front.ignored = {KRX::DBG_MODULES, KRX::DBG_OUTPUT};
  // Commands sent while the game runs are answered between its frames, one a frame.
  front.Send(std::move(Payload(KRX::DBG_ADD_BREAKPOINT).Str("Hall").U32(4)));
  front.Send(Payload(KRX::DBG_LIST_BREAKPOINTS));
  std::string reply;
  for (int frame = 0; frame < 30 && reply.empty(); ++frame) {
    Step();
    Payload p = front.Next(20);
    if (p.ReadU32() != 0) reply = p.Raw();
  }
  Payload listed(reply.empty() ? std::string(4, '\0') : reply);
  ASSERT_EQ(listed.ReadU32(), uint32_t(KRX::DBG_LIST_BREAKPOINTS)) << "the game never answered";
  ASSERT_EQ(listed.ReadU32(), 1u);
  EXPECT_EQ(listed.ReadStr(), "Hall");
  EXPECT_EQ(listed.ReadInt(), 4);

  // The scene script stops on the game's main thread; the front-end works from its own.
  std::thread frontThread([&] {
    front.Take(3);  // attached, position, stop report
    front.Send(Payload(KRX::DBG_LOCALS));
    front.Take(1);
    front.Send(Payload(KRX::DBG_CONTINUE));
    front.Take(1);  // resumed
    // A stop loop left waiting would hold the game: the link goes down instead.
    if (front.transcript.find("57[") == std::string::npos) m_peer.Send(*m_peer.Make(AID::kDisconnect));
  });
  m_session->CallSceneScript("Hall", "Count", base::Variant());
  frontThread.join();
  EXPECT_EQ(front.transcript,
            "6 36[file:Scripts/Scenes/Hall.lua\r\nmodule:hall\r\nfunc:Count] 3[Count:4] 57[apples=3 pears=7 ] 4 ");
  EXPECT_EQ(LinesAfter("hall: "), std::vector<std::string>{"7"});
  Step();
  EXPECT_EQ(StateName(), "Session") << "the game goes on";
}

}  // namespace
}  // namespace quillane
