// The script debugger under test without sockets: a link that records what the debugger sends
// and queues what a front-end would send, a fixture with a compiled script, and a sleep
// callback that plays the front-end's commands one per pass of the stop loop.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "KRX/debugger/Debugger.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "base/String.h"
#include "libkrx/AID/AIDNetwork.h"
#include "libkrx/AID/MessageBuffer.h"

namespace dbgtest {

// A command or reply payload, built or read field by field.
class Payload {
 public:
  explicit Payload(uint32_t code) { m_buffer.WriteU32(code); }
  explicit Payload(const std::string& bytes) : m_buffer(bytes.size()) {
    if (!bytes.empty()) std::memcpy(m_buffer.Data(), bytes.data(), bytes.size());
  }
  Payload& U32(uint32_t v) { m_buffer.WriteU32(v); return *this; }
  Payload& Str(const char* s) { m_buffer.WriteString(s); return *this; }
  Payload& Bytes(const std::string& b) { m_buffer.WriteBytes(b.data(), b.size()); return *this; }
  std::string Raw() const { return std::string(reinterpret_cast<const char*>(m_buffer.Data()), m_buffer.Size()); }

  uint32_t ReadU32() { return m_buffer.ReadU32(); }
  int ReadInt() { return int(m_buffer.ReadU32()); }
  uint8_t ReadU8() { return m_buffer.ReadU8(); }
  float ReadF32() { return m_buffer.ReadF32(); }
  std::string ReadStr() {
    const char* s = m_buffer.ReadString();
    return s ? s : "(null)";
  }
  size_t Remaining() const { return m_buffer.Remaining(); }
  AID::MessageBuffer& Buffer() { return m_buffer; }

 private:
  AID::MessageBuffer m_buffer;
};

class FakeLink final : public AID::AIDNetwork {
 public:
  FakeLink() { m_connected = true; }
  bool Init(const char*, float, const char*, uint8_t) override { return true; }
  bool Connect(const AID::ConnectParameters*) override { return true; }
  bool SendHello() override { return true; }
  void Disconnect(bool) override { m_connected = false; }
  bool SendMessage(uint16_t, const char*, const char*, uint32_t, uint32_t) override { return IsConnected(); }
  bool SendData(uint16_t type, const char* name1, const char* name2, uint32_t, uint32_t, const void* data,
                uint32_t length) override {
    if (!IsConnected()) return false;
    EXPECT_EQ(type, AID::kAccept);
    EXPECT_STREQ(name1, "KRXDebugger");
    EXPECT_STREQ(name2, "KRXDebugger");
    sent.emplace_back(static_cast<const char*>(data), length);
    return true;
  }
  const char* GetHostName() override { return "test"; }
  void GetLocalAddress(uint32_t& out) override { out = 0; }
  uint16_t GetLocalPort() override { return 0; }
  const char* GetPeerAddressText() override { return ""; }
  uint16_t GetPeerPort() override { return 0; }
  std::string GetPeerName() override { return ""; }
  std::string GetPeerSecondName() override { return ""; }
  uint32_t GetPeerVersion() override { return 2; }
  uint32_t GetPeerTimeout() override { return 0; }
  float GetTime() override { return 0.0f; }

  void SetConnected(bool on) { m_connected = on; }
  // Queues a message on the debugger channel as the receive thread would.
  void Inject(const std::string& payload, uint16_t type = AID::kAccept) {
    auto m = AID::Message::Create(uint32_t(payload.size()));
    m->SetType(type);
    m->SetName1("KRXDebugger");
    if (!payload.empty()) std::memcpy(m->Payload(), payload.data(), payload.size());
    QueueMessage(std::move(m));
  }
  void Inject(const Payload& p) { Inject(p.Raw()); }

  // The codes of everything sent, in order.
  std::vector<uint32_t> Codes() const {
    std::vector<uint32_t> codes;
    for (const std::string& s : sent) codes.push_back(Payload(s).ReadU32());
    return codes;
  }
  // The nth (from 0) reply with code, positioned after its code; a payload of code 0 if none.
  Payload Reply(uint32_t code, int nth = 0) const {
    for (const std::string& s : sent) {
      Payload p(s);
      if (p.ReadU32() == code && nth-- == 0) return p;
    }
    return Payload(std::string(4, '\0'));
  }
  int Count(uint32_t code) const {
    int n = 0;
    for (uint32_t c : Codes()) n += c == code;
    return n;
  }

  std::vector<std::string> sent;
};

// The script most tests debug, with its line numbers named.
inline constexpr const char* kScript =
    "int total = 0;\n"                      // 1
    "function int Add(int a, int b) {\n"    // 2
    "    int sum = a + b;\n"                // 3
    "    return sum;\n"                     // 4
    "}\n"                                   // 5
    "function void Main() {\n"              // 6
    "    int x = 1;\n"                      // 7
    "    int y = Add(x, 2);\n"              // 8
    "    total = y;\n"                      // 9
    "    y = Add(y, 3);\n"                  // 10
    "    total = y;\n"                      // 11
    "}\n"                                   // 12
    "function void Spin() {\n"              // 13
    "    int i = 0;\n"                      // 14
    "    while (true) {\n"                  // 15
    "        i = i + 1;\n"                  // 16
    "    }\n"                               // 17
    "}\n"                                   // 18
    "function void Checked(int v) {\n"      // 19
    "    Assert(v == 1, \"v is one\");\n"   // 20
    "    total = v;\n"                      // 21
    "}\n";                                  // 22

class DebuggerTest : public ::testing::Test {
 protected:
  static DebuggerTest*& Self() {
    static DebuggerTest* self = nullptr;
    return self;
  }
  static void CaptureOutput(const char* text) { Self()->m_output += std::string(text) + "\n"; }
  // One pass of the stop loop: the front-end's next command, if any. A stop loop that outlives
  // its commands is ended by dropping the link, so a test cannot hang.
  static void Sleep(int ms) {
    DebuggerTest& t = *Self();
    EXPECT_EQ(ms, 50);
    ++t.m_passes;
    if (!t.m_frontend.empty()) {
      // An empty entry stands for a text message (type 0), which resumes a stopped thread.
      if (t.m_frontend.front().empty())
        t.m_link.Inject(std::string("default\0go\0", 11), AID::kText);
      else
        t.m_link.Inject(t.m_frontend.front());
      t.m_frontend.pop_front();
    } else if (++t.m_idlePasses > 20) {
      ADD_FAILURE() << "stop loop left without commands";
      t.m_link.SetConnected(false);
    }
  }

  void SetUp() override {
    Self() = this;
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::SetCallbacks(&CaptureOutput, &Sleep);
    ASSERT_TRUE(KRX::EnableDebugger(true, &m_link));
    m_debugger = KRX::ScriptSystem::GetDebugger();
    ASSERT_TRUE(Compile(kScript, "scripts/dbg.krx")) << m_output;
    m_link.sent.clear();
  }
  void TearDown() override {
    KRX::EnableDebugger(false);
    KRX::ScriptSystem::Shutdown();
    Self() = nullptr;
  }

  bool Compile(const char* source, const char* file) {
    KRX::CodeUnit unit;
    unit.m_fileName = file;
    base::String name;
    KRX::SplitPath(file, name);
    unit.m_moduleName = name.c_str();
    unit.m_source = source;
    return KRX::Compiler::Compile(unit, nullptr);
  }
  // The front-end's commands, one per pass of the stop loop.
  void Plan(std::initializer_list<Payload> commands) {
    for (const Payload& p : commands) m_frontend.push_back(p.Raw());
  }
  KRX::tRefPtr<KRX::Thread> Run(const char* function, const std::vector<KRX::Var>& args = {}) {
    KRX::tRefPtr<KRX::Thread> thread(new KRX::Thread());
    thread->m_moduleName = "dbg";
    thread->m_reportName = "test";
    thread->Start(function, false, args.empty() ? nullptr : args.data(), int(args.size()));
    return thread;
  }
  // Hands one command to the debugger as the main thread would between frames.
  void Command(const Payload& p) {
    m_link.Inject(p);
    m_link.ProcessMessages();
    while (m_debugger->ProcessOneCommand()) {
    }
  }
  // Every stop report as "function:line".
  std::string Stops() const {
    std::string out;
    for (int i = 0; i < m_link.Count(KRX::DBG_STOP_REPORT); ++i) {
      Payload p = m_link.Reply(KRX::DBG_STOP_REPORT, i);
      p.ReadStr();
      const std::string function = p.ReadStr();
      out += function + ":" + std::to_string(p.ReadInt()) + " ";
    }
    return out;
  }

  FakeLink m_link;
  KRX::Debugger* m_debugger = nullptr;
  std::deque<std::string> m_frontend;
  int m_passes = 0;
  int m_idlePasses = 0;
  std::string m_output;
};

}  // namespace dbgtest
