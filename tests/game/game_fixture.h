// Test fixture for the game's script host: a fresh script system, an engine root module (owned
// events only run while one exists and is not quitting), every script and engine log line
// collected in order, and script modules compiled from source text in either syntax.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "KRX/ScriptSystem.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/ScriptLoader.h"
#include "KRX/debugger/Debugger.h"
#include "base/app/SystemRoot.h"
#include "base/String.h"
#include "base/system.h"

namespace gametest {

inline std::vector<std::string>& Lines() {
  static std::vector<std::string> lines;
  return lines;
}

class ScriptTest : public ::testing::Test {
 protected:
  static void CaptureScript(const char* text) { Lines().push_back(text); }
  static bool CaptureLog(const char* text) {
    Lines().push_back(text);
    return true;
  }
  static void Quiet(const char*) {}

  void SetUp() override {
    m_system = std::make_unique<base::cl_System>();
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::SetCallbacks(&CaptureScript, nullptr);
    base::sys::AddOutputCallback(&CaptureLog);
    base::sys::SetDebuggerOutput(&Quiet);
    Lines().clear();
  }
  void TearDown() override {
    KRX::ScriptSystem::Shutdown();
    base::sys::RemoveOutputCallback(&CaptureLog);
    base::sys::SetDebuggerOutput(nullptr);
    m_system.reset();
  }

  // Compiles source under the file name (bound under its module name); the syntax follows the
  // extension (".lua" is the Lua-like one).
  bool Compile(const std::string& source, const std::string& file) {
    KRX::CodeUnit unit;
    unit.m_fileName = file;
    base::String name;
    KRX::SplitPath(file.c_str(), name);
    unit.m_moduleName = name.c_str();
    unit.m_source = source.c_str();
    unit.m_lua = file.size() > 4 && file.compare(file.size() - 4, 4, ".lua") == 0;
    return KRX::Compiler::Compile(unit, nullptr);
  }
  static std::string AllLines() {
    std::string out;
    for (const std::string& l : Lines()) out += l + "\n";
    return out;
  }

  std::unique_ptr<base::cl_System> m_system;
};

}  // namespace gametest
