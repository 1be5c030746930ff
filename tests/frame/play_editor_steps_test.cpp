// The .play reader's steps for the editors: pointer steps in window pixels, held keys, typed
// text on the keyboard layout, list rows, windows and files; and the lines it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/app/ICMD.h"
#include "quillane/app/PlayScript.h"
#include "win32dx9/DX9InputDevice.h"

namespace {

bool ReadEditorSteps(const std::string& text, std::vector<st_PlayStep>& steps, std::string* error) {
  return ReadPlayScript(text.data(), text.size(), "edit.play", steps, error);
}

TEST(PlayEditorSteps, EveryEditorStepIsRead) {
  std::vector<st_PlayStep> steps;
  std::string error;
  ASSERT_TRUE(ReadEditorSteps("rclick at 300 200\nclick at 0 16384\nmove 12 34\ndrag 500 378 500 408\nrdrag 1 2 3 4 9\n"
                   "hold Shift\nrelease KeypadMinus\ntype Quay 42\nclick entry SceneList Night Quay\n"
                   "wait window Scene Manager\nwait gone SceneNames 5\n"
                   "expect xml Scenes/Office/ProjectFile.xml StageElements/desk ysort 408\n"
                   "expect xml scenes/scenes.xml Test label absent\nexpect file Scenes/Office.dat exists\n",
                   steps, &error))
      << error;
  ASSERT_EQ(steps.size(), 14u);
  EXPECT_EQ(steps[0].kind, st_PlayStep::RCLICK_AT);
  EXPECT_EQ(steps[0].point[0], 300);
  EXPECT_EQ(steps[0].point[1], 200);
  EXPECT_EQ(steps[1].kind, st_PlayStep::CLICK_AT);
  EXPECT_EQ(steps[1].point[1], 16384);
  EXPECT_EQ(steps[2].kind, st_PlayStep::MOVE);
  EXPECT_EQ(steps[3].kind, st_PlayStep::DRAG);
  EXPECT_EQ(steps[3].point[3], 408);
  EXPECT_EQ(steps[3].number, kDefaultDragFrames);
  EXPECT_EQ(steps[4].kind, st_PlayStep::RDRAG);
  EXPECT_EQ(steps[4].number, 9);
  EXPECT_EQ(steps[5].kind, st_PlayStep::HOLD);
  EXPECT_EQ(steps[5].number, 0x2A);
  EXPECT_EQ(steps[6].kind, st_PlayStep::RELEASE);
  EXPECT_EQ(steps[6].number, 0x4A);
  EXPECT_EQ(steps[7].kind, st_PlayStep::TYPE);
  EXPECT_EQ(steps[7].name, "Quay 42");
  EXPECT_EQ(steps[8].kind, st_PlayStep::CLICK_ENTRY);
  EXPECT_EQ(steps[8].name, "SceneList");
  EXPECT_EQ(steps[8].argument, "Night Quay");
  EXPECT_EQ(steps[9].kind, st_PlayStep::WAIT_WINDOW);
  EXPECT_EQ(steps[9].name, "Scene Manager");
  EXPECT_EQ(steps[9].number, kDefaultWaitBudget);
  EXPECT_EQ(steps[10].kind, st_PlayStep::WAIT_GONE);
  EXPECT_EQ(steps[10].number, 5);
  EXPECT_EQ(steps[11].kind, st_PlayStep::EXPECT_XML);
  EXPECT_EQ(steps[11].argument, "StageElements/desk");
  EXPECT_EQ(steps[11].attribute, "ysort");
  EXPECT_EQ(steps[11].value, "408");
  EXPECT_EQ(steps[12].value, "absent");
  EXPECT_EQ(steps[13].kind, st_PlayStep::EXPECT_FILE);
  EXPECT_EQ(steps[13].argument, "exists");
}

TEST(PlayEditorSteps, BadEditorStepsNameTheFileAndTheLine) {
  struct st_Case {
    const char* text;
    const char* error;
  };
  const st_Case cases[] = {
      {"click at 3\n", "edit.play:1: expected \"click at <x> <y>\" with pixels from 0 to 16384"},
      {"rclick at -1 5\n", "edit.play:1: expected \"rclick at <x> <y>\" with pixels from 0 to 16384"},
      {"move 16385 0\n", "edit.play:1: expected \"move <x> <y>\" with pixels from 0 to 16384"},
      {"drag 1 2 3\n", "edit.play:1: expected \"drag <x0> <y0> <x1> <y1> [frames]\" with pixels from 0 to 16384 and 1 frame or more"},
      {"rdrag 1 2 3 4 0\n", "edit.play:1: expected \"rdrag <x0> <y0> <x1> <y1> [frames]\" with pixels from 0 to 16384 and 1 frame or more"},
      {"hold Meta\n", "edit.play:1: expected \"hold <key>\" with a known key name"},
      {"type\n", "edit.play:1: expected \"type <text>\""},
      {"type a~b\n", "edit.play:1: no key types '~'"},
      {"click entry SceneList\n", "edit.play:1: expected \"click entry <control> <row>\""},
      {"wait gone\n", "edit.play:1: expected \"wait gone <label> [frames]\" with a budget from 1 to 100000"},
      {"wait window Menu 0\n", "edit.play:1: expected \"wait window <label> [frames]\" with a budget from 1 to 100000"},
      {"expect xml a.xml Root label\n", "edit.play:1: expected \"expect xml <file> <path> <attribute> <value>|absent\""},
      {"expect file a.dat there\n", "edit.play:1: expected \"expect file <file> exists|missing\""},
  };
  for (const st_Case& c : cases) {
    std::vector<st_PlayStep> steps;
    std::string error;
    EXPECT_FALSE(ReadEditorSteps(c.text, steps, &error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

// Each character the text step accepts comes out of its key as the engine reads the layout
// (the German one: the key in the place of a US "Z" types "y").
TEST(PlayEditorSteps, TypedCharactersComeBackFromTheirKeys) {
  for (const char c : std::string("Quay 42 yz !\"$%&/()=")) {
    uint8_t scan = 0;
    bool shift = false;
    ASSERT_TRUE(KeyOfCharacter(c, &scan, &shift)) << c;
    base::ICMD press;
    press.type = base::ICMD::KEY_PRESSED;
    press.scan = scan;
    press.key = win32dx9::cl_DX9InputDevice::KeyCodeOf(scan);
    press.modifiers = shift ? base::ICMD::MOD_SHIFT : 0;
    EXPECT_EQ(press.GetChar(), c);
  }
  uint8_t scan = 0;
  bool shift = false;
  ASSERT_TRUE(KeyOfCharacter('y', &scan, &shift));
  EXPECT_EQ(scan, 0x2C);
  EXPECT_FALSE(KeyOfCharacter('#', &scan, &shift));
  // What only the layout's text gives goes with its key as typed text.
  bool text = false;
  ASSERT_TRUE(KeyOfCharacter('_', &scan, &shift, &text));
  EXPECT_EQ(scan, 0x35);
  EXPECT_TRUE(shift && text);
  ASSERT_TRUE(KeyOfCharacter('a', &scan, &shift, &text));
  EXPECT_FALSE(text);
}

}  // namespace
