// Script calls by composed name on scripts loaded from disk by the real script system: function
// paths split at their first "::" and what each malformed path loads, dialogue and scene scripts
// found by their composed paths, and the silent or reported failures.
#include <gtest/gtest.h>

#include "KRX/ScriptSystem.h"
#include "action_queue_fixture.h"
#include "quillane/session/ScriptCalls.h"

namespace queuetest {
namespace {

using quillane::CallDialogScriptFunction;
using quillane::CallSceneScriptFunction;
using quillane::CallScriptFunctionByPath;
using quillane::HasDialogScriptFunction;
using quillane::HasScriptFunction;

std::string Text(const base::Variant& v) {
  if (v.is_void()) return "nil";
  base::String s;
  v.print_to(s);
  return s.c_str();
}

TEST_F(QueueTest, FunctionPathsSplitAtTheFirstSeparator) {
  WriteScript("anims.lua",
              "function Pick()\n"
              "  return \"walk_fast\"\n"
              "end\n");
  const struct {
    const char* path;
    bool has;
    const char* result;
    bool loads;  // the module is loaded afterwards
  } cases[] = {
      {"::Pick", false, "nil", false},           // the separator opens the path
      {"anims.lua", false, "nil", false},        // no separator
      {"anims.lua:Pick", false, "nil", false},   // one colon is no separator
      {"missing.lua::Pick", false, "nil", false},
      {"anims.lua::", false, "nil", true},       // the module loads; the empty name is no function
      {"anims.lua::Pick::More", false, "nil", true},  // the function name keeps the second "::"
      {"anims.lua::Pick", true, "walk_fast", true},
  };
  // In this order: the cases that load nothing come first.
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(HasScriptFunction(c.path), c.has);
    EXPECT_EQ(KRX::ScriptSystem::IsModuleLoaded("anims"), c.loads);
    EXPECT_EQ(Text(CallScriptFunctionByPath(c.path)), c.result);
  }
  // A module that does not load is not reported: the caller falls back by itself.
  EXPECT_EQ(AllLines().find("missing"), std::string::npos) << AllLines();
}

TEST_F(QueueTest, DialogueAndSceneScriptsAreFoundByTheirComposedPaths) {
  base::String path;
  EXPECT_TRUE(quillane::GetDialogScriptPath("Odo", path));
  EXPECT_EQ(path, "Dialogs/Odo.lua");
  WriteScript("Dialogs/Odo.lua",
              "function Startup()\n"
              "  return 3\n"
              "end\n"
              "function Pause()\n"
              "  Sleep(1)\n"
              "  return 4\n"
              "end\n");
  WriteScript("Scenes/Office.lua",
              "function Count()\n"
              "  return 7\n"
              "end\n");
  EXPECT_TRUE(HasDialogScriptFunction("Odo", "Startup"));
  EXPECT_FALSE(HasDialogScriptFunction("Odo", "Goodbye"));
  EXPECT_EQ(Text(CallDialogScriptFunction("Odo", "Startup")), "3");
  // A function that waits on an action has no result yet.
  EXPECT_EQ(Text(CallDialogScriptFunction("Odo", "Pause")), "nil");
  EXPECT_EQ(Queue().GetActionCount(), 1);
  EXPECT_EQ(Text(CallSceneScriptFunction("Office", "Count")), "7");
  Lines().clear();
  // Asking is silent about a missing script; calling reports it.
  EXPECT_FALSE(HasDialogScriptFunction("Nobody", "Startup"));
  EXPECT_EQ(AllLines(), "");
  EXPECT_EQ(Text(CallDialogScriptFunction("Nobody", "Startup")), "nil");
  ASSERT_EQ(Lines().size(), 1u) << AllLines();
  EXPECT_TRUE(LogHas("Dialogs/Nobody.lua(-1) : Unable to open file")) << AllLines();
  Lines().clear();
  EXPECT_EQ(Text(CallSceneScriptFunction("Nowhere", "Count")), "nil");
  ASSERT_EQ(Lines().size(), 1u) << AllLines();
  EXPECT_TRUE(LogHas("Scenes/Nowhere.lua(-1) : Unable to open file")) << AllLines();
  // A character name out of a damaged savegame names no script outside the dialogue folder.
  EXPECT_FALSE(quillane::GetDialogScriptPath("../Scenes/Office", path));
  EXPECT_FALSE(HasDialogScriptFunction("../Scenes/Office", "Count"));
  EXPECT_EQ(Text(CallDialogScriptFunction("../Scenes/Office", "Count")), "nil");
}

TEST_F(QueueTest, ATriggerNeedsAScene) {
  // Without a stage there is no scene whose script could hold the trigger.
  EXPECT_FALSE(quillane::RunTrigger("door"));
  EXPECT_EQ(AllLines(), "");
}

}  // namespace
}  // namespace queuetest
