// The session's look-ups on a running game: hotspot and layer states kept in the game state per
// scene, tooltips by hover time, cast colours, bounded mission counters and option levels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "quillane/core/GameState.h"
#include "quillane/scene/Layer.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/Session.h"
#include "quillane/settings/OptionLevels.h"
#include "session_fixture.h"

namespace quillane {
namespace {

// A scene with a door, a window and a locator; Hall also has a layer.
std::string Project(const char* name, const char* extra) {
  return std::string("<?xml version=\"1.0\"?>\n<Project name=\"") + name +
         "\" w=\"1024\" h=\"640\" character_scale=\"1\">\n" + extra +
         "<Locators><Locator label=\"Spot\" x=\"10\" y=\"0\" z=\"20\" yaw=\"0\"/></Locators>\n"
         "<HotSpots>\n"
         "<HotSpot label=\"door\"><Point x=\"0\" y=\"0\"/><Point x=\"50\" y=\"0\"/><Point x=\"50\" y=\"50\"/></HotSpot>\n"
         "<HotSpot label=\"window\"><Point x=\"100\" y=\"0\"/><Point x=\"150\" y=\"0\"/><Point x=\"150\" y=\"50\"/></HotSpot>\n"
         "</HotSpots>\n</Project>\n";
}

class Lookups : public sessiontest::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    Write("Scenes/Hall/ProjectFile.xml",
          Project("Hall", "<StageElements><Layer label=\"glow\" file=\"glow.tga\" x=\"0\" y=\"0\" w=\"64\" h=\"64\"/>"
                          "</StageElements>\n"));
    Write("Scenes/Yard/ProjectFile.xml", Project("Yard", ""));
    Write("Scripts/castlist.xml",
          "<CastList><Cast label=\"Odo\" text_g=\"0\"/><Cast label=\"Loud\" text_r=\"300\" text_g=\"-5\" text_b=\"128\"/>"
          "</CastList>\n");
    StartFrame();
    m_session = StartSession();
    ASSERT_NE(m_session, nullptr);
    // No new game ran: the tree a new game starts from.
    State().set_element("GameState");
  }

  void Enter(const char* scene) {
    m_session->LoadScene(scene);
    ASSERT_TRUE(StepUntilState("Session", 200));
    ASSERT_NE(m_session->GetScene(), nullptr);
  }
  base::Variant& State() { return *m_session->GetGameState(); }
  const base::Variant* Stored(const char* path) { return base::variant_get_attribute_by_path(State(), path, false); }

  cl_Session* m_session = nullptr;
};

TEST_F(Lookups, HotspotStatesBelongToTheirSceneAndOutliveIt) {
  Enter("Hall");
  EXPECT_TRUE(IsHotspotActive("door")) << "never switched";
  EXPECT_FALSE(IsHotspotActive("gate")) << "not in the scene";
  EXPECT_EQ(State()("Scenes"), nullptr) << "asking adds no keys";

  SetHotspotStateValue("door", false);
  SetHotspotStateValue("gate", false);  // unknown here: nothing written
  EXPECT_FALSE(IsHotspotActive("door"));
  EXPECT_TRUE(IsHotspotActive("window"));
  ASSERT_NE(Stored("Scenes/Hall/Hotspots/door"), nullptr);
  EXPECT_EQ(Stored("Scenes/Hall/Hotspots/door")->get_int(), 0);
  EXPECT_EQ(Stored("Scenes/Hall/Hotspots/gate"), nullptr);

  Enter("Yard");  // the same name in another scene has its own state
  EXPECT_TRUE(IsHotspotActive("door"));
  EXPECT_EQ(State()("Scenes/Yard"), nullptr);

  Enter("Hall");  // a new scene object; the state is the game's
  EXPECT_FALSE(IsHotspotActive("door"));
  SetHotspotStateValue("door", true);
  EXPECT_TRUE(IsHotspotActive("door"));
  EXPECT_EQ(Stored("Scenes/Hall/Hotspots/door")->get_int(), 1);
}

// A script sets a layer's state: with a time above 0 the layer fades there, with none (0 or
// negative) it jumps.
TEST_F(Lookups, ALayerFadesForATimeAndJumpsWithoutOne) {
  Write("Scripts/Scenes/Hall.lua",
        "function Dim()\n  SetLayerState(\"glow\", 0.25, 0.0)\nend\n"
        "function Fade()\n  SetLayerState(\"glow\", 1.0, 0.5)\nend\n");
  Enter("Hall");
  cl_Layer* layer = m_session->GetScene()->FindLayer("glow");
  ASSERT_NE(layer, nullptr);
  layer->m_alpha = 1.0f;

  m_session->CallSceneScript("Hall", "Dim", base::Variant());
  Step();
  EXPECT_FLOAT_EQ(layer->m_targetAlpha, 0.25f);
  EXPECT_FLOAT_EQ(layer->m_alpha, 0.25f) << "time 0 jumps";
  m_session->CallSceneScript("Hall", "Fade", base::Variant());
  Step();
  EXPECT_GT(layer->m_alpha, 0.25f);
  EXPECT_LT(layer->m_alpha, 1.0f);
  for (int i = 0; i < 6; ++i) Step();
  EXPECT_FLOAT_EQ(layer->m_alpha, 1.0f);

  SetLayerStateValue("glow", 0.5f, -1.0f);
  EXPECT_FLOAT_EQ(layer->m_targetAlpha, 0.5f);
  EXPECT_FLOAT_EQ(layer->m_alpha, 0.5f);
  ASSERT_NE(Stored("Scenes/Hall/Layers/glow"), nullptr);
  EXPECT_FLOAT_EQ(Stored("Scenes/Hall/Layers/glow")->get_float(), 0.5f);

  // Values that are no number change nothing; a time that is none jumps.
  SetLayerStateValue("glow", std::nanf(""), 1.0f);
  EXPECT_FLOAT_EQ(layer->m_targetAlpha, 0.5f);
  SetLayerStateValue("glow", 0.75f, std::numeric_limits<float>::infinity());
  EXPECT_FLOAT_EQ(layer->m_alpha, 0.75f);

  SetLayerStateValue("nothing", 1.0f, -1.0f);
  EXPECT_EQ(Stored("Scenes/Hall/Layers/nothing"), nullptr);
  EXPECT_FALSE(PauseLayerStrip("glow", true, -1)) << "a picture layer has no strip";
  EXPECT_FALSE(FadeLayerStrip("nothing", true));
}

TEST_F(Lookups, LocatorsComeFromTheSceneOrDefault) {
  Enter("Hall");
  EXPECT_FLOAT_EQ(GetLocatorPosition("Spot").GetPos().z, 20.0f);
  EXPECT_FLOAT_EQ(GetLocatorPosition("Nowhere").GetPos().x, 0.0f);
  EXPECT_FLOAT_EQ(GetLocatorPosition(nullptr).GetPos().x, 0.0f);
  EXPECT_EQ(GetStageCharacter(nullptr), nullptr);
}

TEST_F(Lookups, TheElaborateTooltipNeedsMoreThanTwoSeconds) {
  base::Variant& tips = *base::variant_find_or_add_element(State(), "Tooltips");
  base::Variant& odo = tips.add_element("Tooltip");
  odo.attribute("label")->set_string("Odo");
  odo.attribute("text")->set_string("Odo");
  tips.add_element("Tooltip").attribute("label")->set_string("Blank");
  base::Variant& longTips = *base::variant_find_or_add_element(State(), "ElaborateTooltips");
  for (const char* label : {"Odo", "Mina"}) {
    base::Variant& tip = longTips.add_element("Tooltip");
    tip.attribute("label")->set_string(label);
    tip.attribute("text")->set_string((std::string(label) + ", at length").c_str());
  }

  base::tString<base::BaseUnicodeString> text;
  bool elaborate = true;
  ASSERT_TRUE(GetTooltipText("Odo", text, 2.0f, elaborate));
  EXPECT_EQ(base::str::convert_unicode_to_string(text), "Odo");
  EXPECT_FALSE(elaborate);
  ASSERT_TRUE(GetTooltipText("Odo", text, 2.01f, elaborate));
  EXPECT_EQ(base::str::convert_unicode_to_string(text), "Odo, at length");
  EXPECT_TRUE(elaborate);

  // Only a long text: nothing before it is due.
  text = base::str::convert_string_to_unicode("kept");
  EXPECT_FALSE(GetTooltipText("Mina", text, 2.0f, elaborate));
  EXPECT_EQ(base::str::convert_unicode_to_string(text), "kept");
  EXPECT_TRUE(GetTooltipText("Mina", text, 2.01f, elaborate));

  // An entry without text shows an empty one; an unknown label none.
  ASSERT_TRUE(GetTooltipText("Blank", text, 5.0f, elaborate));
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(elaborate);
  EXPECT_FALSE(GetTooltipText("Nobody", text, 5.0f, elaborate));
}

TEST_F(Lookups, CursorImagesComeFromTheGameState) {
  base::Variant& cursors = *base::variant_find_or_add_element(State(), "Cursor");
  base::Variant& talk = cursors.add_element("Cursor");
  talk.attribute("label")->set_string("talk_to");
  talk.attribute("filename")->set_string("gui/cursors/talk_to.tga");
  base::String file;
  ASSERT_TRUE(GetCursorImage("talk_to", file));
  EXPECT_EQ(file, "gui/cursors/talk_to.tga");
  EXPECT_FALSE(GetCursorImage("pick_up", file));
}

TEST_F(Lookups, CastColoursDefaultToWhiteAndStayInsideAByte) {
  EXPECT_EQ(GetCastTextColour("Odo").value(), 0xFFFF00FFu) << "only text_g given";
  EXPECT_EQ(GetCastTextColour("Loud").value(), 0xFFFF0080u);
  EXPECT_EQ(GetCastTextColour("Nobody").value(), 0xFFFFFFFFu);
  EXPECT_EQ(GetCastTextColour(nullptr).value(), 0xFFFFFFFFu);
  ASSERT_NE(FindCastEntry("Odo"), nullptr);
  EXPECT_EQ(FindCastEntry("odo"), nullptr) << "names keep their case";
}

TEST_F(Lookups, MissionCountersStopAtTheirBound) {
  base::Variant& missions = *base::variant_find_or_add_element(State(), "Missions");
  missions.attribute("MaxSkill")->set_int(100);
  SetMissionState("Skill", 120);
  EXPECT_EQ(GetMissionState("Skill"), 100);
  SetMissionState("Skill", 40);
  EXPECT_EQ(GetMissionState("Skill"), 40);
  // Without its bound a counter cannot rise above 0, but keeps a loss.
  SetMissionState("Wealth", 5);
  EXPECT_EQ(GetMissionState("Wealth"), 0);
  SetMissionState("Wealth", -3);
  EXPECT_EQ(GetMissionState("Wealth"), -3);
  SetMissionState(nullptr, 5);  // nothing
}

TEST_F(Lookups, AMissionCounterNeedsTheMissionsElement) {
  SetMissionState("Skill", 5);
  EXPECT_EQ(State()("Missions"), nullptr);
  EXPECT_EQ(GetMissionState("Skill"), 0) << "a value never set counts from 0";
}

// The options menu stores detail as a slider value; scenes and actors read whole levels.
TEST_F(Lookups, DetailOptionsReadAsLevels) {
  base::Variant& config = base::cl_System::GetInstance()->GetConfigTree();
  base::Variant* options = base::variant_find_or_add_element(config, "Options");
  base::Variant* lod = base::variant_get_element_by_path(*options, "Gfx/CharacterLOD", true);
  ASSERT_NE(lod, nullptr);
  for (const auto& [value, level] : {std::pair{1.0f, 0}, {0.5f, 1}, {0.0f, 2}}) {
    lod->attribute("Value")->set_float(value);
    EXPECT_EQ(GetOptionIntValue("Gfx/CharacterLOD/"), level) << value;
  }
}

}  // namespace
}  // namespace quillane
