// Test fixture for interpreter tests: a fresh script system with one module "m" (file
// "test.krx"), captured script output, and helpers that bind and run assembled functions.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "krx_asm.h"
#include "krx_test_util.h"

namespace krxtest {

class VmTest : public ::testing::Test {
 protected:
  static std::string& Log() {
    static std::string log;
    return log;
  }
  static void Capture(const char* text) {
    Log() += text;
    Log() += '\n';
  }
  void SetUp() override {
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::SetCallbacks(&Capture, nullptr);
    Log().clear();
    m_module = MakeModule("m");
  }
  void TearDown() override { KRX::ScriptSystem::Shutdown(); }

  Asm NewAsm() { return Asm(Vocab(m_module)); }
  KRX::BinCode* Function(const char* name, const Asm& a, const std::vector<Slot>& slots = {},
                         int returnType = KRX::TYPE_AUTO) {
    return AddFunction(m_module, name, a.Finish(), slots, returnType);
  }
  // Binds a as "f" and runs it at once.
  KRX::tRefPtr<KRX::Thread> Run(const Asm& a, const std::vector<Slot>& slots = {}, int returnType = KRX::TYPE_AUTO,
                                const std::vector<KRX::Var>& args = {}) {
    Function("f", a, slots, returnType);
    return RunNow("m", "f", args);
  }

  KRX::BinCode* m_module = nullptr;
};

// The lines a line hook is called with while module.function runs with args, a (stand-in)
// debugger attached.
inline std::vector<int> HookedLines(const char* module, const char* function, const std::vector<KRX::Var>& args) {
  static std::vector<int> lines;
  KRX::st_DebugHooks hooks;
  hooks.lineHook = [](KRX::Thread&, KRX::Frame& frame) { lines.push_back(frame.m_line); };
  int fakeDebugger = 0;
  lines.clear();
  KRX::SetDebugHooks(&hooks);
  KRX::ScriptSystem::AttachDebugger(reinterpret_cast<KRX::Debugger*>(&fakeDebugger), [](KRX::Debugger*, const char*) {});
  RunNow(module, function, args);
  KRX::ScriptSystem::DetachDebugger();
  KRX::SetDebugHooks(nullptr);
  return lines;
}

inline bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace krxtest
