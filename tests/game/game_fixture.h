// Test fixture for the game's script host: the script language's compile fixture (a fresh script
// system, sources compiled in either syntax, script output collected), with the engine log
// collected into the same list and an engine root module, since owned events only run while
// one exists and is not quitting.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "codegen_support.h"

namespace gametest {

inline std::vector<std::string>& Lines() { return krxtest::Messages(); }

class ScriptTest : public krxtest::CompileFixture {
 protected:
  static bool CaptureLog(const char* text) {
    Lines().push_back(text);
    return true;
  }
  static void Quiet(const char*) {}

  void SetUp() override {
    m_system = std::make_unique<base::cl_System>();
    CompileFixture::SetUp();
    base::sys::AddOutputCallback(&CaptureLog);
    base::sys::SetDebuggerOutput(&Quiet);
  }
  void TearDown() override {
    CompileFixture::TearDown();
    base::sys::RemoveOutputCallback(&CaptureLog);
    base::sys::SetDebuggerOutput(nullptr);
    m_system.reset();
  }
  std::string AllLines() const { return AllMessages(); }

  std::unique_ptr<base::cl_System> m_system;
};

}  // namespace gametest
