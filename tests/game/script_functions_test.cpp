// The table of the game's script functions: its shape, and every name bound and callable through
// the real virtual machine, with the placeholders reporting until their handlers arrive.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "KRX/runtime/Thread.h"
#include "base/data/Variant.h"
#include "game_fixture.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptFunctions.h"

namespace {

using gametest::Lines;

class ScriptFunctions : public gametest::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    RegisterScriptFunctions();
  }
  // Runs the module's function "Main" on a plain thread; the thread for inspection.
  KRX::tRefPtr<KRX::Thread> RunMain(const char* module) {
    KRX::tRefPtr<KRX::Thread> t(new KRX::Thread());
    t->m_moduleName = module;
    t->Start("Main", false, nullptr, 0);
    return t;
  }
};

TEST_F(ScriptFunctions, TheTableHasEveryNameOnceWithItsSignature) {
  const auto rows = GetScriptFunctionRows();
  ASSERT_EQ(rows.size(), 114u);
  EXPECT_STREQ(rows[0].m_name, "Sleep");
  EXPECT_STREQ(rows[57].m_name, "Random");
  EXPECT_STREQ(rows[113].m_name, "MasterHackHideMouseCursor");
  std::set<std::string> names;
  std::map<std::string, int> signatures;
  for (const st_ScriptFunctionRow& row : rows) {
    EXPECT_TRUE(names.insert(row.m_name).second) << row.m_name;
    ++signatures[row.m_signature];
  }
  const std::map<std::string, int> expected = {
      {"void (KRX::t_Interface&)", 44}, {"void (const char*)", 10}, {"int (KRX::t_Interface&)", 9},
      {"void ()", 8}, {"void (const char*, const char*, float)", 5}, {"float (const char*)", 5},
      {"void (const char*, bool)", 4}, {"float (KRX::t_Interface&)", 4},
      {"void (const char*, float, float, float)", 3}, {"void (const char*, const char*)", 3},
      {"void (bool)", 3}, {"int (const char*)", 3}, {"void (float)", 2}, {"void (const char*, float)", 2},
      {"KRX::Var (KRX::t_Interface&)", 2}, {"void (const char*, int)", 1}, {"void (const char*, float, float)", 1},
      {"void (const char*, const char*, const char*, const char*, float)", 1},
      {"void (const char*, const char*, const char*)", 1}, {"float (const char*, float)", 1},
      {"float (const char*, const char*)", 1}, {"bool ()", 1},
  };
  EXPECT_EQ(signatures, expected);
  // "GetPropertyFloat" is bound to the very handler of "SetPropertyFloat".
  EXPECT_STREQ(rows[111].m_name, "SetPropertyFloat");
  EXPECT_STREQ(rows[112].m_name, "GetPropertyFloat");
  EXPECT_EQ(rows[112].m_function, rows[111].m_function);
  EXPECT_STREQ(rows[112].m_handler, "SetPropertyFloat");
}

TEST_F(ScriptFunctions, SleepReachesTheGamesRow) {
  ASSERT_TRUE(Compile("function void Main() { Sleep(0.5); }\n", "sleeper.krx")) << AllLines();
  // The language's own Sleep would leave the thread waiting; the game's waits on the session's
  // action queue, so without a game it returns at once.
  KRX::tRefPtr<KRX::Thread> t = RunMain("sleeper");
  EXPECT_EQ(t->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_TRUE(Lines().empty()) << AllLines();
  // The same call without the game's functions waits.
  KRX::ScriptSystem::Init();
  ASSERT_TRUE(Compile("function void Main() { Sleep(0.5); }\n", "sleeper.krx"));
  EXPECT_EQ(RunMain("sleeper")->GetState(), KRX::Thread::STATE_WAITING);
}

TEST_F(ScriptFunctions, AWrongTypeForAPlainSignatureStopsTheScript) {
  const struct {
    const char* call;
    const char* error;
  } cases[] = {
      {"ShowImage(1, \"a\", \"b\", 2.0)", "invalid parameter 3: found string(const) / expected float"},
      {"GetPropertyFloat(\"Odo\", \"Size\", \"big\")", "invalid parameter 3: found string(const) / expected float"},
      {"SetLookOffset(\"Odo\", 1.0, \"x\")", "invalid parameter 3: found string(const) / expected float"},
      {"AddCharacter(\"Odo\", 5)", "invalid parameter 2: found int / expected string"},
      {"SetBlur(\"yes\")", "invalid parameter 1: found string(const) / expected bool"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Compile(std::string("function void Main() {\n  ") + c.call + ";\n  Log(\"after\");\n}\n", "wrong.krx"));
    Lines().clear();
    KRX::tRefPtr<KRX::Thread> t = RunMain("wrong");
    EXPECT_EQ(t->GetState(), KRX::Thread::STATE_DEAD) << c.call;
    // The handler never ran, and the script did not go on to the next line.
    EXPECT_EQ(AllLines().find("not available"), std::string::npos) << c.call << AllLines();
    EXPECT_NE(AllLines().find(c.error), std::string::npos) << c.call << AllLines();
  }
}

}  // namespace
