// Feeds debugger commands from the network to a debugger whose thread is stopped at a
// breakpoint: every command runs against a live stack, modules and the evaluator.
// Input: records of [u16 little-endian length][payload]; each payload is one command message
// handed to the link's debugger channel during one pass of the stop loop. When the records run
// out the link drops and the script runs to its end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "KRX/debugger/Debugger.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "base/system.h"
#include "libkrx/AID/AIDNetwork.h"

namespace {

class SilentLink final : public AID::AIDNetwork {
 public:
  SilentLink() { m_connected = true; }
  bool Init(const char*, float, const char*, uint8_t) override { return true; }
  bool Connect(const AID::ConnectParameters*) override { return true; }
  bool SendHello() override { return true; }
  void Disconnect(bool) override { m_connected = false; }
  bool SendMessage(uint16_t, const char*, const char*, uint32_t, uint32_t) override { return true; }
  bool SendData(uint16_t, const char*, const char*, uint32_t, uint32_t, const void* data, uint32_t length) override {
    // Touch every byte, so that a reply built from freed or unterminated memory shows.
    const auto* p = static_cast<const uint8_t*>(data);
    for (uint32_t i = 0; i < length; ++i) sum += p[i];
    return true;
  }
  const char* GetHostName() override { return ""; }
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
  void Inject(const uint8_t* bytes, size_t size) {
    auto m = AID::Message::Create(uint32_t(size));
    m->SetType(AID::kAccept);
    m->SetName1("KRXDebugger");
    if (size) std::memcpy(m->Payload(), bytes, size);
    QueueMessage(std::move(m));
  }
  uint32_t sum = 0;
};

constexpr const char* kScript =
    "int total = 0;\n"
    "function int Add(int a, int b) {\n"
    "    int sum = a + b;\n"
    "    return sum;\n"
    "}\n"
    "function void Main() {\n"
    "    int x = 1;\n"
    "    string s = \"text\";\n"
    "    int y = Add(x, 2);\n"
    "    total = y;\n"
    "}\n";

SilentLink* g_link = nullptr;
const uint8_t* g_data = nullptr;
size_t g_left = 0;

// One pass of the stop loop: the next record, or the end of the link.
void NextRecord(int) {
  if (g_left < 2) {
    g_link->SetConnected(false);
    return;
  }
  size_t length = size_t(g_data[0]) | size_t(g_data[1]) << 8;
  g_data += 2;
  g_left -= 2;
  if (length > g_left) length = g_left;
  g_link->Inject(g_data, length);
  g_data += length;
  g_left -= length;
}

void Quiet(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    base::sys::SetDebuggerOutput(Quiet);
    return true;
  }();
  (void)quiet;
  SilentLink link;
  g_link = &link;
  g_data = data;
  g_left = size;
  KRX::ScriptSystem::Init();
  KRX::ScriptSystem::SetCallbacks(&Quiet, &NextRecord);
  // Evaluated text may call any built-in: none may touch the file system.
  KRX::BinCode* root = KRX::ScriptSystem::GetRoot();
  const KRX::Var* bind = root->Find("~bind");
  for (const char* name : {"ModuleSaveAll", "Include", "IncludeAll", "ModuleGet", "InitLibary"}) {
    root->Erase(name);
    if (bind && bind->GetModule()) bind->GetModule()->Erase(name);
  }
  KRX::EnableDebugger(true, &link);
  KRX::CodeUnit unit;
  unit.m_fileName = "scripts/fuzz.krx";
  unit.m_moduleName = "fuzz";
  unit.m_source = kScript;
  if (KRX::Compiler::Compile(unit, nullptr)) {
    KRX::ScriptSystem::GetDebugger()->AddBreakpoint("fuzz", 9);
    KRX::tRefPtr<KRX::Thread> thread(new KRX::Thread());
    thread->m_moduleName = "fuzz";
    thread->Start("Main", false, nullptr, 0);
    // Whatever is left is handled as between frames.
    while (g_left >= 2) {
      NextRecord(0);
      link.ProcessMessages();
      if (KRX::Debugger* d = KRX::ScriptSystem::GetDebugger()) d->ProcessOneCommand();
    }
  }
  KRX::EnableDebugger(false);
  KRX::ScriptSystem::Shutdown();
  g_link = nullptr;
  return 0;
}
