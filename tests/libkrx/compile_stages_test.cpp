// The compiler run statement by statement (parse, generate, drop) against the same stages over
// the whole file, as they ran before: the same byte code for the top level and every function,
// and the same messages in the same order when a script is broken in more than one place.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "KRX/compiler/CompileStages.h"
#include "KRX/compiler/DeLua.h"
#include "KRX/compiler/FrontEnd.h"
#include "KRX/compiler/Linker.h"
#include "KRX/compiler/TextPool.h"
#include "codegen_support.h"

namespace {

using krxtest::CompileFixture;
using krxtest::Messages;

struct st_Built {
  bool ok = false;
  std::string code;  // listings of the top level and of each function, by name
  std::string messages;
};

class CompileStages : public CompileFixture {
 protected:
  // Builds source as fileName ("test.krx", or "test.lua" for the Lua-like syntax) into a fresh
  // module (set up as the compile driver does), whole-file or statement by statement.
  st_Built Build(const std::string& source, bool wholeFile, const char* fileName = "test.krx") {
    Messages().clear();
    KRX::DeLua::ResetIgnoredPrefixes();  // announced once per program run: each build is one
    KRX::CodeUnit unit;
    unit.m_fileName = fileName;
    unit.m_moduleName = "test";
    unit.m_source = source.c_str();
    unit.m_moduleLevel = true;
    unit.m_module = new KRX::BinCode();
    unit.m_module->SetParent(KRX::ScriptSystem::GetRoot());
    unit.m_module->FindOrCreate("~file", KRX::VT_STRING)->SetString(fileName);
    KRX::CreateVocabulary(unit.m_module.get());
    st_Built built;
    built.ok = wholeFile ? BuildWholeFile(unit) : KRX::BuildUnitCode(unit);
    if (built.ok) {
      built.code = "top:\n" + KRX::Listing(unit.m_module.get());
      for (const auto& [name, value] : unit.m_module->GetSymbols())
        if (value.GetType() == KRX::VT_MODULE && value.GetModule())
          built.code += name + ":\n" + KRX::Listing(value.GetModule());
    }
    built.messages = AllMessages();
    return built;
  }

  // The stages one after the other over the whole unit: lexer, parser, generator, linker.
  static bool BuildWholeFile(KRX::CodeUnit& unit) {
    if (!KRX::RunFrontEnd(unit)) return false;
    KRX::HiGrammar generator;
    if (!generator.Generate(unit)) return false;
    KRX::Linker linker;
    return linker.Link(unit);
  }

  // Builds source both ways and compares; the statement-by-statement build.
  st_Built ExpectSameBuild(const std::string& source, const char* fileName = "test.krx") {
    const st_Built whole = Build(source, true, fileName);
    const st_Built stages = Build(source, false, fileName);
    EXPECT_EQ(whole.ok, stages.ok) << source;
    EXPECT_EQ(whole.code, stages.code) << source;
    EXPECT_EQ(whole.messages, stages.messages) << source;
    return stages;
  }
};

std::string ReadScript(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(CompileStages, CorpusScriptsGiveTheSameCode) {
  int scripts = 0, lua = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(QUILLANE_TEST_DIR) / "scripts")) {
    const bool isLua = entry.path().extension() == ".lua";
    if (entry.path().extension() != ".krx" && !isLua) continue;
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_TRUE(ExpectSameBuild(ReadScript(entry.path()), isLua ? "test.lua" : "test.krx").ok) << AllMessages();
    ++scripts;
    lua += isLua;
  }
  EXPECT_GE(scripts, 5);
  EXPECT_GE(lua, 3);
}

// A Lua-style script goes statement by statement once its tokens are rewritten: every rewritten
// word and header, call prefixes, and scripts broken in the rewrite's or the parser's way give
// the code and the messages of the whole-file stages.
TEST_F(CompileStages, LuaScriptsGiveTheSameCodeAndMessages) {
  const char* sources[] = {
      "local n = 0\n"
      "function Count(a, b)\n"
      "  local s = nil\n"
      "  if a > b and not (a == 3) then s = 1 elseif a < b or b == 2 then s = 2 else s = 3 end\n"
      "  while a > 0 do a = a - 1 end\n"
      "  return test_Twice(s)\n"
      "end\n"
      "function Twice(x) return x * 2 end\n"
      "n = Count(4, 2) + Other_Call(1)\n",
      // a function without its "end", a condition without "then", an "end" too many
      "function F(a)\n  return a\n\nfunction G() return 1 end\n",
      "function F(a)\n  if a return 1 end\nend\n",
      "function F() end\nend\n",
      // a header without its parenthesis, a qualifier without a name
      "function F\nlocal x = 1\n",
      "function F() return m:: end\n",
  };
  for (const char* source : sources) {
    SCOPED_TRACE(source);
    ExpectSameBuild(source, "test.lua");
  }
  EXPECT_TRUE(Build(sources[0], false, "test.lua").ok) << AllMessages();
}

// Every statement form at the top level and in functions, qualified names, constant sizes and
// case values, statements that read a token ahead ("else", ";" after an expression).
TEST_F(CompileStages, EveryStatementFormGivesTheSameCode) {
  const std::string source =
      "int g = 3, h[4];\n"
      "string s = \"a\" + \"b\";\n"
      "if (g > 2) g = 1; else g = 2;\n"
      "for (g = 0; g < 3; g++) h[g] = g * 2;\n"
      "while (g > 0) { g--; continue; }\n"
      "function int Pick(int a, int b = 7) {\n"
      "  switch (a) { case 1: return b; case 2 + 1: { a = -a; break; } default: a = a % 3; }\n"
      "  for (b = 0; b < 2; b++) { if (a) { break; } else { a = 1; } }\n"
      "  float f[2]; f[0] = 1.5; f[] = 2.0;\n"
      "  return Pick(a - 1, ) + test::Pick(1, 2) + h[a && b || !a];\n"
      "}\n"
      "Debugout(\"x\", Pick(2));\n"
      "return g;\n";
  EXPECT_TRUE(ExpectSameBuild(source).ok) << AllMessages();
}

TEST_F(CompileStages, ThousandsOfFunctionsGiveTheSameCode) {
  std::string source;
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i);
    source += "function int F" + n + "(int a) { int s = a * " + n + "; while (s > 9) { s = s - 9; } return s; }\n";
    if (i % 100 == 0) source += "int v" + n + " = F" + n + "(" + n + ");\n";
    // Top-level code laid out piece by piece, its jumps resolved at the end.
    if (i % 7 == 0)
      source += "switch (" + n + " % 3) { case 0: v0 = 1; break; case 1: { if (v0) v0++; } default: v0--; }\n";
  }
  EXPECT_TRUE(ExpectSameBuild(source).ok) << AllMessages();
}

// The first message a broken script gives does not depend on how far the compiler had got
// with the statements before the one that stops it.
TEST_F(CompileStages, BrokenScriptsGiveTheSameMessages) {
  const char* sources[] = {
      // generation error, then a parse error further down: the parse error alone
      "function void F() { continue; }\nfunction void G() { x = ; }\n",
      // two generation errors: the first
      "function void F() { continue; }\nfunction void G() { break; }\n",
      // a generation error after statements that compiled
      "int a = 1;\nfunction void F() { a = 2; }\nint a[2];\n",
      // lexer error at the end wins over everything before it
      "function void F() { continue; }\nx = ;\ny = 1 $ 2;\n",
      // a qualifier without a name is found before any statement is parsed
      "function void F() { continue; }\nx = m:: ;\n",
      // an error the parser goes on from (no value after return), then good statements
      "function void F() { continue; }\nreturn ) ;\nint b = 2;\n",
      // a constant expression that prints, then a parse error
      "function void F() { int a[Debugout(\"held\") + 2]; }\nwhile (;\n",
      // the same without the parse error: the output comes out
      "function void F() { int a[Debugout(\"shown\") + 2]; }\n",
      // unmatched braces read to the end of the file
      "int a;\nfunction void F() { if (a) {\n a = 1;\n",
  };
  for (const char* source : sources) {
    SCOPED_TRACE(source);
    ExpectSameBuild(source);
  }
  const st_Built built = Build(sources[0], false);
  EXPECT_FALSE(built.ok);
  EXPECT_EQ(std::string::npos, built.messages.find("unexpected continue")) << built.messages;
  EXPECT_NE(std::string::npos, built.messages.find("test.krx(2)")) << built.messages;
}

TEST(TextPool, EqualTextsShareOneCopy) {
  KRX::TextPool pool;
  const char* a = pool.Intern("sum", 3);
  EXPECT_STREQ("sum", a);
  EXPECT_EQ(a, pool.Intern("sum + 1", 3));
  EXPECT_NE(a, pool.Intern("su", 2));
  EXPECT_STREQ("", pool.Intern("", 0));
  // Texts past the block size and many short ones keep their bytes.
  const std::string long_text(40000, 'x');
  const char* l = pool.Intern(long_text.data(), long_text.size());
  for (int i = 0; i < 5000; ++i) pool.Intern(std::to_string(i).c_str(), std::to_string(i).size());
  EXPECT_EQ(long_text, l);
  EXPECT_EQ(a, pool.Intern("sum", 3));
  EXPECT_STREQ("4999", pool.Intern("4999", 4));
}

}  // namespace
