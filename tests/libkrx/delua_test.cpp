// The call-prefix pass of the Lua rewrite: it depends on which modules are loaded and on what
// earlier compiles of the same program run announced.
#include <gtest/gtest.h>

#include <string>

#include "KRX/BinCode.h"
#include "KRX/runtime/Types.h"
#include "parser_support.h"

namespace {

class DeLuaPrefixes : public ::testing::Test {
 protected:
  void SetUp() override {
    KRX::ScriptSystem::Init();
    KRX::DeLua::ResetIgnoredPrefixes();
  }
  void TearDown() override {
    KRX::DeLua::ResetIgnoredPrefixes();
    KRX::ScriptSystem::Shutdown();
  }
  static void Load(const char* name) {
    KRX::ScriptSystem::GetRoot()->FindOrCreate(name, KRX::VT_MODULE)->SetModule(new KRX::BinCode());
  }
  // The rewritten token texts joined by blanks: names by their value (a module qualifier
  // followed by "::"), everything else by its written form.
  static std::string Rewrite(const char* source, const char* module, std::string* messages = nullptr) {
    KRX::SyntaxUnit unit;
    unit.m_fileName = std::string(module) + ".lua";
    unit.m_moduleName = module;
    unit.m_source = source;
    unit.m_lua = true;
    krxfront::CaptureOutput();
    KRX::TokenStream stream(unit);
    EXPECT_TRUE(stream.Scan());
    EXPECT_TRUE(KRX::DeLua::Run(stream, unit));
    if (messages) *messages = krxfront::CapturedText();
    unit.m_tokens = stream.MakeList();
    std::string out;
    for (const KRX::SyntaxNode* t = unit.m_tokens->GetFirstChild(); t; t = t->GetNext()) {
      if (!out.empty()) out += ' ';
      if (t->GetSubType() == KRX::OS_MODULE)
        out += std::string(t->GetText()) + "::";
      else
        out += t->GetSubType() == KRX::OS_VAR ? t->GetText() : t->GetRowText();
    }
    return out;
  }
};

TEST_F(DeLuaPrefixes, OwnLoadedAndUnknownPrefixes) {
  Load("Castle");
  std::string messages;
  EXPECT_EQ("Init ( ) Open ( ) Castle:: Open ( ) Town_Go ( ) Town_Stop ( )",
            Rewrite("_Init() Foo_Open() Castle_Open() Town_Go() Town_Stop()", "FooBar", &messages));
  // Announced once for the whole program run, whichever module uses it next.
  EXPECT_EQ("DeLua::_RemoveFunctionPrefixes - NOTIFY: Ignoring the function prefix 'Town'\n", messages);
  Rewrite("Town_Again()", "Other", &messages);
  EXPECT_EQ("", messages);
  // A name not followed by "(" keeps its prefix.
  EXPECT_EQ("Castle_Open = d", Rewrite("Castle_Open = 1", "x", &messages));
}

TEST_F(DeLuaPrefixes, ModuleWhosePrefixWasIgnoredReportsTheIncludeOrder) {
  std::string messages;
  Rewrite("B_Do()", "A", &messages);
  EXPECT_EQ("DeLua::_RemoveFunctionPrefixes - NOTIFY: Ignoring the function prefix 'B'\n", messages);
  // Compiling B now: its first call with a foreign prefix ends the pass; the rest stays as it is.
  EXPECT_EQ("C_One ( ) B_Two ( )", Rewrite("C_One() B_Two()", "B", &messages));
  EXPECT_EQ(
      "B.lua(1) : DeLua::_RemoveFunctionPrefixes - ERROR the function prefix 'B' was ignored on a module before. "
      "Please fix the include order of the scripts and include 'B' earlier.\n",
      messages);
}

}  // namespace
