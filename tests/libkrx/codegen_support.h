// Compiling script texts in tests: a fresh script system per fixture, the reported messages
// collected, and listings of the compiled functions.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/compiler/Listing.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "base/String.h"

namespace krxtest {

inline std::vector<std::string>& Messages() {
  static std::vector<std::string> messages;
  return messages;
}

class CompileFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    KRX::ScriptSystem::Init();
    Messages().clear();
    KRX::ScriptSystem::SetCallbacks([](const char* text) { Messages().push_back(text); }, nullptr);
  }
  void TearDown() override { KRX::ScriptSystem::Shutdown(); }

  // Compiles source as the file name (bound under its module name); true on success.
  bool Compile(const std::string& source, const std::string& file = "test.krx") {
    KRX::CodeUnit unit;
    unit.m_fileName = file;
    base::String name;
    KRX::SplitPath(file.c_str(), name);
    unit.m_moduleName = name.c_str();
    unit.m_source = source.c_str();
    return KRX::Compiler::Compile(unit, nullptr);
  }
  KRX::BinCode* Module(const char* name = "test") {
    const KRX::Var* v = KRX::ScriptSystem::GetRoot()->Find(name);
    return v ? v->GetModule() : nullptr;
  }
  // The listing of function fn of the module.
  std::string ListingOf(const char* fn, const char* module = "test") {
    KRX::BinCode* m = Module(module);
    const KRX::Var* f = m ? m->Find(fn) : nullptr;
    return f && f->GetModule() ? KRX::Listing(f->GetModule()) : std::string("(no function)");
  }
  std::string AllMessages() const {
    std::string out;
    for (const std::string& m : Messages()) out += m + "\n";
    return out;
  }
};

}  // namespace krxtest
