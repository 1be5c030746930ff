// The tweak settings read from "Tweakables" elements written as XML: the four reading modes, the
// demo configuration, and values that are no numbers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "quillane/settings/TweakSettings.h"

namespace {

std::vector<std::string> g_log;
bool Capture(const char* text) {
  g_log.push_back(text);
  return true;
}
void Quiet(const char*) {}

// Every setting as "name=value ", in table order.
std::string Snapshot() {
  std::string out;
#define QL_SNAPSHOT(type, name, mode, value) out += #name "=" + std::to_string(name) + " ";
  QL_TWEAK_SETTINGS(QL_SNAPSHOT)
#undef QL_SNAPSHOT
  return out;
}

class TweakSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTweakSettings();
    g_log.clear();
    base::sys::AddOutputCallback(&Capture);
    base::sys::SetDebuggerOutput(&Quiet);
  }
  void TearDown() override {
    ResetTweakSettings();
    base::sys::RemoveOutputCallback(&Capture);
    base::sys::SetDebuggerOutput(nullptr);
  }
  // Reads "<Tweakables attributes/>"; the result of ReadTweakSettings.
  static bool Apply(const std::string& attributes) {
    base::Variant tweakables;
    EXPECT_TRUE(base::xml::read_text(tweakables, ("<Tweakables " + attributes + "/>").c_str(), "config.xml"));
    return ReadTweakSettings(tweakables);
  }
};

TEST_F(TweakSettings, EachModeReadsItsOwnWay) {
  const struct {
    const char* attributes;
    std::function<bool()> holds;
  } cases[] = {
      // Switches read as integers: only 1 is on.
      {"Debug_KeysEnabled=\"1\"", [] { return Debug_KeysEnabled; }},
      {"Debug_KeysEnabled=\"2\"", [] { return !Debug_KeysEnabled; }},
      {"Debug_KeysEnabled=\"-1\"", [] { return !Debug_KeysEnabled; }},
      {"Dialog_AutoEnd=\"0\"", [] { return !Dialog_AutoEnd; }},
      {"Dialog_AutoEnd=\"1.0\"", [] { return Dialog_AutoEnd; }},
      // The data tree's bool reader: any non-zero integer is on.
      {"Savegame_WriteXML=\"2\"", [] { return Savegame_WriteXML; }},
      {"Savegame_WriteXML=\"1\"", [] { return Savegame_WriteXML; }},
      {"Skip_UseFading=\"-3\"", [] { return Skip_UseFading; }},
      // Floats and integers as they are.
      {"Skip_Delay=\"0.75\"", [] { return Skip_Delay == 0.75f; }},
      {"FunStuff_BigHeadMode=\"-2.5\"", [] { return FunStuff_BigHeadMode == -2.5f; }},
      {"Debug_ScriptWarningLevel=\"2\"", [] { return Debug_ScriptWarningLevel == 2; }},
      {"Dance_Panic_Timeout=\"7.9\"", [] { return Dance_Panic_Timeout == 7; }},
      {"Dialog_Auto_Align=\"0\"", [] { return Dialog_Auto_Align == 0; }},
  };
  for (const auto& c : cases) {
    ResetTweakSettings();
    Apply(c.attributes);
    EXPECT_TRUE(c.holds()) << c.attributes;
  }
  EXPECT_TRUE(g_log.empty());
}

TEST_F(TweakSettings, MissingAttributesKeepTheirValues) {
  // An element without attributes changes nothing, and reports the last setting missing.
  EXPECT_FALSE(Apply(""));
  EXPECT_TRUE(Dialog_AutoEnd);
  EXPECT_EQ(Skip_Delay, 0.2f);
  EXPECT_EQ(Dance_Panic_Timeout, 20);
  EXPECT_EQ(TrainTravel_Panic_Timeout, 300);
  // A missing Dialog_AutoEnd keeps the value an earlier read gave.
  Apply("Dialog_AutoEnd=\"0\"");
  EXPECT_TRUE(Apply("Skip_Delay=\"1\" Savegame_ReadXML=\"0\""));
  EXPECT_FALSE(Dialog_AutoEnd);
  EXPECT_EQ(Skip_Delay, 1.0f);
}

TEST_F(TweakSettings, ValuesThatAreNoNumbersKeepTheDefaults) {
  Apply("Skip_Delay=\"soon\" Dialog_AutoEnd=\"no\" Dance_Panic_Timeout=\"\" Savegame_WriteXML=\"true\" "
        "FunStuff_Kazing=\"1e99\" Animation_PickupSpeed=\"nan\" Wiretap_Panic_Timeout=\"12abc\"");
  EXPECT_EQ(Skip_Delay, 0.2f);
  EXPECT_TRUE(Dialog_AutoEnd);
  EXPECT_EQ(Dance_Panic_Timeout, 20);
  EXPECT_FALSE(Savegame_WriteXML);
  EXPECT_EQ(FunStuff_Kazing, 0.0f);
  EXPECT_EQ(Animation_PickupSpeed, 1.6f);
  EXPECT_EQ(Wiretap_Panic_Timeout, 300);
  ASSERT_EQ(g_log.size(), 7u);
  EXPECT_EQ(g_log[1], "Warning: Tweakables: Skip_Delay='soon' is not a finite number; the setting keeps its value\n");
}

// The demo's config.xml lists every setting, each at its default (the developer keys off).
TEST_F(TweakSettings, TheDemoConfigurationListsEverySetting) {
  base::Variant config;
  ASSERT_TRUE(base::xml::read_file(config, QUILLANE_DATA_DIR "/config.xml"));
  const base::Variant* tweakables = config.get_element("Tweakables");
  ASSERT_NE(tweakables, nullptr);
  EXPECT_EQ(tweakables->attribute_cnt(), 26);
  EXPECT_TRUE(ReadTweakSettings(*tweakables));
  EXPECT_TRUE(g_log.empty());
  const std::string read = Snapshot();
  ResetTweakSettings();
  EXPECT_EQ(read, Snapshot());
}

}  // namespace
