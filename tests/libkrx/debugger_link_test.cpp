// The debugger over the real link: a front-end on 127.0.0.1, on a thread of its own, takes the
// link, reads the engine log, sets a breakpoint and steps through a script that runs on the
// test's main thread, whose stop loop answers it.
#include <gtest/gtest.h>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "KRX/debugger/Debugger.h"
#include "base/system.h"
#include "debugger_frontend.h"
#include "libkrx/AID/WinAIDNetwork.h"
#include "support/EngineLogCapture.h"
#include "support/ThreadCount.h"
#include "support/TimeScale.h"

using namespace KRX;
using dbgtest::FrontEnd;
using dbgtest::Payload;

namespace {

// A stop loop that outlives the front-end (which sends nothing more once it is done) is ended by
// dropping the link.
std::atomic<bool> g_frontEndDone{false};
void ShortSleep(int) {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (g_frontEndDone.load()) {
    if (AID::AIDNetwork* link = AID::GetNetwork()) link->Disconnect(false);
  }
}
void NoOutput(const char*) {}

TEST(DebuggerOverTheLink, FrontEndStepsThroughAScript) {
  const int threadsBefore = testsupport::SettledThreadCount();
  {
    aidtest::TestPeer peer;
    ASSERT_TRUE(peer.Open());
    AID::AIDNetwork* link = AID::CreateNetwork();
    link->SetOptions(peer.Options());
    ASSERT_TRUE(link->Init("Quillane", 42.0f, "/games/quillane", 0));
    ASSERT_TRUE(link->Connect(nullptr));
    ASSERT_TRUE(peer.ReceiveType(AID::kConnectRequest));
    ASSERT_TRUE(peer.SendAccept());
    ASSERT_TRUE(peer.ReceiveType(AID::kPeerInfo));
    ASSERT_TRUE(aidtest::WaitFor([&] { return link->IsConnected(); }));

    // The engine log reaches the front-end on "LOGGER".
    base::sys::AddOutputCallback(&AID::SendLog);
    base::sys::Output("engine says %d\n", 42);
    base::sys::RemoveOutputCallback(&AID::SendLog);
    auto log = peer.ReceiveType(AID::kText);
    ASSERT_TRUE(log);
    EXPECT_STREQ(log->Name1(), "LOGGER");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(log->Payload()), log->PayloadLength()),
              std::string("default\0engine says 42\n\0", 24));

    ScriptSystem::Init();
    ScriptSystem::SetCallbacks(&NoOutput, &ShortSleep);
    ASSERT_TRUE(EnableDebugger(true));
    Debugger* debugger = ScriptSystem::GetDebugger();
    {
      CodeUnit unit;
      unit.m_fileName = "scripts/dbg.krx";
      unit.m_moduleName = "dbg";
      unit.m_source = dbgtest::kScript;
      ASSERT_TRUE(Compiler::Compile(unit, nullptr));
    }
    FrontEnd front(peer);
    front.Take(1);  // the module list the compile sent
    front.transcript.clear();

    std::thread frontThread([&] {
      front.Send(std::move(Payload(DBG_ADD_BREAKPOINT).Str("dbg").U32(8)));
      front.Take(3);  // attached, position, stop report at Main:8
      front.Send(Payload(DBG_LOCALS));
      front.Take(1);
      front.Send(Payload(DBG_CALLSTACK));
      front.Take(1);
      front.Send(Payload(DBG_CLEAR_BREAKPOINTS));
      front.Send(Payload(DBG_STEP_OVER));
      front.Take(3);  // resumed, position, stop report at Main:9
      front.Send(std::move(Payload(DBG_EVALUATE).Str("y * 2")));
      front.Take(1);
      front.Send(Payload(DBG_BREAK));
      front.Take(3);  // Main:10
      front.Send(Payload(DBG_BREAK));
      front.Take(3);  // into Add
      front.Send(Payload(DBG_STEP_OUT));
      front.Take(3);  // back in Main after the call
      front.Send(Payload(DBG_CONTINUE));
      front.Take(3);  // resumed, ended, position
      g_frontEndDone = true;
    });

    // Between frames the game handles commands; the breakpoint must be there before the run.
    const bool breakpointSet = aidtest::PumpUntil(*link, [&] {
      debugger->ProcessOneCommand();
      return !debugger->GetBreakpoints().empty();
    });
    tRefPtr<Thread> thread(new Thread());
    if (breakpointSet) {
      thread->m_moduleName = "dbg";
      thread->m_reportName = "test";
      thread->Start("Main", false, nullptr, 0);
    }
    frontThread.join();
    EXPECT_TRUE(breakpointSet);
    EXPECT_EQ(thread->GetState(), Thread::STATE_FINISHED);
    EXPECT_EQ(ScriptSystem::FindSymbol("dbg", "total")->ToInt(), 6);
    EXPECT_EQ(front.transcript,
              "6 36[file:scripts/dbg.krx\r\nmodule:dbg\r\nfunc:Main] 3[Main:8] "
              "57[x=1 y=0 ] 58[Main:8 ] "
              "4 36[file:scripts/dbg.krx\r\nmodule:dbg\r\nfunc:Main] 3[Main:9] "
              "10[6 (int)] "
              "4 36[file:scripts/dbg.krx\r\nmodule:dbg\r\nfunc:Main] 3[Main:10] "
              "4 36[file:scripts/dbg.krx\r\nmodule:dbg\r\nfunc:Add] 3[Add:3] "
              "4 36[file:scripts/dbg.krx\r\nmodule:dbg\r\nfunc:Main] 3[Main:11] "
              "4 5 36[] ");
    thread.reset();
    EnableDebugger(false);
    EXPECT_EQ(link->ListenerCount(), 0u);
    ScriptSystem::Shutdown();
    AID::DestroyNetwork();
  }
  EXPECT_EQ(testsupport::ThreadCountReaching(threadsBefore), threadsBefore);
}

// A network namespace starts with its loopback down.
bool BringLoopbackUp() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = short(request.ifr_flags | IFF_UP);
  up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  close(fd);
  return up;
}

// A command as large as the link takes (4 MiB: sixty-five datagrams the front-end sends back to
// back, faster than the receive thread takes them) is answered every time. The run has a network
// namespace of its own where the system allows one, so that nothing else on loopback shares it;
// the thread that opens the sockets enters it, and the rest of the program stays where it was.
TEST(DebuggerOverTheLink, TheLargestCommandIsAnsweredThreeTimesInThree) {
  std::string where = "plain loopback";
  bool capped = false;
  testsupport::LogCapture log;
  std::thread run([&] {
    if (unshare(CLONE_NEWNET) == 0) {
      ASSERT_TRUE(BringLoopbackUp()) << std::strerror(errno);
      where = "a network namespace of its own";
    }
    aidtest::TestPeer peer;
    ASSERT_TRUE(peer.Open());
    AID::AIDNetwork* link = AID::CreateNetwork();
    link->SetOptions(peer.Options());
    ASSERT_TRUE(link->Init("Quillane", 42.0f, "", 0));
    // An unprivileged run under the system's default cap cannot hold such a message: the link says so.
    capped = log.contains("Warning: debugger link: the system grants a receive buffer of");
    if (capped) {
      AID::DestroyNetwork();
      return;
    }
    ASSERT_TRUE(link->Connect(nullptr));
    ASSERT_TRUE(peer.ReceiveType(AID::kConnectRequest));
    ASSERT_TRUE(peer.SendAccept());
    ASSERT_TRUE(peer.ReceiveType(AID::kPeerInfo));
    ASSERT_TRUE(aidtest::WaitFor([&] { return link->IsConnected(); }));
    ScriptSystem::Init();
    ScriptSystem::SetCallbacks(&NoOutput, &ShortSleep);
    ASSERT_TRUE(EnableDebugger(true));
    Debugger* debugger = ScriptSystem::GetDebugger();

    // A symbol query whose path fills the largest payload; the answer is "not found".
    const std::string path(AID::kMaxPayload - 5, 'p');
    FrontEnd front(peer);
    int answered = 0;
    for (int round = 0; round < 3; ++round) {
      front.Send(std::move(Payload(DBG_SYMBOLS).Str(path.c_str())));
      // A lost datagram loses the command for good: then nothing comes, however long this waits,
      // and only that reaches the guard.
      answered += testsupport::WaitUntil(
          [&] {
            link->ProcessMessages();
            debugger->ProcessOneCommand();
            auto m = peer.Receive(5);
            return m && m->PayloadLength() == 5 &&
                   Payload(std::string(reinterpret_cast<const char*>(m->Payload()), 5)).ReadU32() == DBG_SYMBOLS;
          },
          20000, 0);
    }
    EXPECT_EQ(answered, 3) << "on " << where;
    EnableDebugger(false);
    ScriptSystem::Shutdown();
    AID::DestroyNetwork();
  });
  run.join();
  if (capped) GTEST_SKIP() << log.text();
  std::printf("run on %s\n", where.c_str());
}

}  // namespace
