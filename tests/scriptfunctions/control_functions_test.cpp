// The control and scene-state script functions that answer at once, called from the demo
// Office's scene script: flags, random numbers, the text-bubble position, video subtitles, the
// hotspot state, the fader, options and the look-ups behind them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/data/VariantTools.h"
#include "graphics/image/TextureStrip.h"
#include "office_fixture.h"
#include "quillane/core/FrameServices.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/hud/Subtitles.h"
#include "quillane/scene/Layer.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/GameStateLookups.h"

namespace scriptfunctionstest {
namespace {

class ControlFunctions : public OfficeTest {
 protected:
  // Function name of the Office script, run at once; its result.
  base::Variant Run(const char* function) { return m_session->RunSceneScript("Office", function, base::Variant()); }
  // No new game ran: the tree a new game starts from.
  void Load(const std::string& script) {
    OfficeTest::Load(script);
    if (m_session) m_session->GetGameState()->set_element("GameState");
  }
  const base::Variant* Stored(const char* path) {
    return base::variant_get_attribute_by_path(*m_session->GetGameState(), path, false);
  }
};

TEST_F(ControlFunctions, FlagsAreSetOnlyByOneOrNoArgument) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Lock()\n  LockPlayer()\nend\n"
      "function Two()\n  LockPlayer(2)\nend\n"
      "function One()\n  LockPlayer(1)\nend\n"));
  quillane::cl_GameActionQueue& queue = m_session->GetActionQueue();
  Run("Lock");
  EXPECT_TRUE(queue.m_playerLocked);
  Run("Two");
  EXPECT_FALSE(queue.m_playerLocked);
  Run("One");
  EXPECT_TRUE(queue.m_playerLocked);
}

TEST_F(ControlFunctions, RandomGivesAFloatAnIntInRangeOrZeroForAnEmptyRange) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Plain()\n  return Random()\nend\n"
      "function Three()\n  return Random(3)\nend\n"
      "function MinusOne()\n  return Random(-1)\nend\n"
      "function Zero()\n  return Random(0)\nend\n"
      "function MinusFive()\n  return Random(-5)\nend\n"));
  for (const char* function : {"Plain", "MinusOne"}) {
    const base::Variant v = Run(function);
    ASSERT_TRUE(v.is_float()) << function;
    EXPECT_GE(v.get_float(), 0.0f);
    EXPECT_LE(v.get_float(), 1.0f);
  }
  std::vector<bool> seen(3, false);
  for (int i = 0; i < 60; ++i) {
    const base::Variant v = Run("Three");
    ASSERT_TRUE(v.is_int());
    ASSERT_GE(v.get_int(), 0);
    ASSERT_LT(v.get_int(), 3);
    seen[static_cast<size_t>(v.get_int())] = true;
  }
  EXPECT_EQ(seen, std::vector<bool>(3, true));
  EXPECT_FALSE(Logged("Random(0)"));
  for (const char* function : {"Zero", "MinusFive"}) {
    const base::Variant v = Run(function);
    ASSERT_TRUE(v.is_int()) << function;
    EXPECT_EQ(v.get_int(), 0) << function;
  }
  EXPECT_TRUE(Logged("Random(0): the range 0 .. -1 is empty"));
  EXPECT_TRUE(Logged("Random(-5): the range 0 .. -6 is empty"));
}

TEST_F(ControlFunctions, TheTextBubblePositionNeedsExactlyThreeArguments) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Three()\n  SetCustomTextBubblePos(100, 200.5, 1)\nend\n"
      "function Two()\n  SetCustomTextBubblePos(100, 200)\nend\n"
      "function Wrong()\n  SetCustomTextBubblePos(\"x\", 2, 3)\nend\n"));
  Run("Three");
  EXPECT_EQ(m_session->GetCustomTextBubblePos().x, 100.0f);
  EXPECT_EQ(m_session->GetCustomTextBubblePos().y, 200.5f);
  EXPECT_EQ(m_session->GetCustomTextBubblePos().z, 1.0f);
  Run("Two");
  EXPECT_EQ(m_session->GetCustomTextBubblePos().x, 0.0f);
  EXPECT_EQ(m_session->GetCustomTextBubblePos().y, 0.0f);
  Run("Wrong");
  EXPECT_TRUE(Logged("wrong parameter 1 - 'float' expected."));
  EXPECT_EQ(m_session->GetCustomTextBubblePos().y, 2.0f);
}

TEST_F(ControlFunctions, VideoSubtitleColoursAreHeldInsideAByte) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Line()\n  AddFullscreenVideoSubtitle(\"#demo0_1 Hello\", 1.0, 3.0, 0.5, 300, -5, 128)\nend\n"
      "function Plain()\n  AddFullscreenVideoSubtitle(\"Bye\", 4, 5, 0)\nend\n"));
  const size_t before = Log().size();
  Run("Line");  // no subtitle control: nothing, and no complaint
  EXPECT_EQ(Log().find("ERROR", before), std::string::npos) << Log().substr(before);
  cl_SubtitleCtrl subtitles;
  Run("Line");
  Run("Plain");
  ASSERT_EQ(subtitles.GetLines().size(), 2u);
  const cl_SubtitleCtrl::st_Line& line = subtitles.GetLines()[0];
  EXPECT_EQ(line.colour, 0xFFFF0080u);
  EXPECT_EQ(line.start, 1.0f);
  EXPECT_EQ(line.end, 3.0f);
  EXPECT_EQ(line.fade, 0.5f);
  EXPECT_EQ(line.kind, cl_SubtitleCtrl::KIND_VIDEO);
  EXPECT_EQ(subtitles.GetLines()[1].colour, 0xFFFFFFFFu);
}

TEST_F(ControlFunctions, AHotspotStateIsStoredAsOneOrZero) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Two()\n  SetHotspotState(\"door\", 2)\nend\n"
      "function Off()\n  SetHotspotState(\"door\", 0)\nend\n"
      "function Unknown()\n  SetHotspotState(\"gate\", 0)\nend\n"));
  // The middle of the door's outline.
  base::tVector2<float> door;
  const auto& outline = m_session->GetScene()->FindHotspot("door")->outline.points;
  for (const auto& p : outline) door += p / static_cast<float>(outline.size());
  Run("Off");
  EXPECT_FALSE(quillane::IsHotspotActive("door"));
  EXPECT_EQ(m_session->GetScene()->PickHotspot(door.x, door.y), nullptr) << "a switched-off hotspot is not picked";
  Run("Two");
  ASSERT_NE(Stored("Scenes/Office/Hotspots/door"), nullptr);
  EXPECT_EQ(Stored("Scenes/Office/Hotspots/door")->get_int(), 1);
  EXPECT_TRUE(quillane::IsHotspotActive("door"));
  EXPECT_NE(m_session->GetScene()->PickHotspot(door.x, door.y), nullptr);
  Run("Unknown");
  EXPECT_EQ(Stored("Scenes/Office/Hotspots/gate"), nullptr);
  EXPECT_FALSE(quillane::IsHotspotActive("gate"));
}

TEST_F(ControlFunctions, FadeCoversAtOnceOrOverTimeWithItsText) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Cover()\n  Fade(1, 0.0)\nend\n"
      "function Uncover()\n  Fade(0, 1.0)\nend\n"
      "function Titled()\n  Fade(1, 2.0, \"#demo0_9 Night\", 3)\nend\n"));
  cl_Fader& fader = m_session->GetFader();
  Run("Cover");
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COVERED);
  Run("Uncover");
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_UNCOVERING);
  EXPECT_EQ(fader.m_duration, 1.0f);
  Run("Titled");
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COVERING);
  EXPECT_EQ(fader.m_duration, 2.0f);
  EXPECT_EQ(fader.m_text, "#demo0_9 Night");
  EXPECT_EQ(fader.m_flags, cl_Fader::FLAG_BLENDER_FRAME | cl_Fader::FLAG_EASED);
}

TEST_F(ControlFunctions, AMissingOptionReadsAsOne) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Missing()\n  return GetOptionValue(\"Sfx/Nothing\")\nend\n"
      "function Volume()\n  return GetOptionValue(\"Sfx/SpeechVolume\")\nend\n"));
  EXPECT_EQ(Run("Missing").get_float(), 1.0f);
  base::Variant* options = base::variant_find_or_add_element(m_system->GetConfigTree(), "Options");
  base::Variant* volume = base::variant_get_element_by_path(*options, "Sfx/SpeechVolume", true);
  ASSERT_NE(volume, nullptr);
  volume->attribute("Value")->set_float(0.25f);
  EXPECT_EQ(Run("Volume").get_float(), 0.25f);
  volume->attribute("Value")->set_float(0.0f);
  EXPECT_EQ(Run("Volume").get_float(), 0.0f) << "a stored 0 is not missing";
}

TEST_F(ControlFunctions, StageSettingsAndLogging) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Set()\n  SetAvoidanceRange(55.5)\n  SetBlur(true)\n  Log(\"t: logged\")\n"
      "  MasterHackHideMouseCursor(true)\nend\n"
      "function Reset()\n  MasterHackHideMouseCursor(false)\nend\n"));
  Run("Set");
  EXPECT_EQ(m_session->GetStage()->GetAvoidanceRange(), 55.5f);
  EXPECT_EQ(Said(), std::vector<std::string>{"logged"});
  EXPECT_TRUE(IsCursorHidden());
  Run("Reset");
  EXPECT_FALSE(IsCursorHidden());
}

// A character of a locator's name stands in for the locator.
TEST_F(ControlFunctions, LocatorLookUpsPreferACharacter) {
  ASSERT_NO_FATAL_FAILURE(Load("function Twin()\n  AddCharacter(\"Window\", \"odo\", \"Start\")\nend\n"));
  EXPECT_EQ(quillane::GetLocatorPosition("Window").GetPos().x, Place("Window").x);
  Run("Twin");
  ASSERT_NE(quillane::GetStageCharacter("Window"), nullptr);
  EXPECT_EQ(quillane::GetLocatorPosition("Window").GetPos().x, Character("Window")->GetPosition().x);
  EXPECT_NE(Character("Window")->GetPosition().x, Place("Window").x);
  EXPECT_EQ(quillane::GetLocatorPosition("Start").GetPos().z, Place("Start").z);
}

TEST_F(ControlFunctions, LayerStripsPauseJumpAndFade) {
  ASSERT_NO_FATAL_FAILURE(Load(""));
  quillane::cl_Layer* lamp = m_session->GetScene()->FindLayer("lamp");
  ASSERT_NE(lamp, nullptr);
  gfx::cl_TextureStrip* strip = lamp->GetStrip();
  ASSERT_NE(strip, nullptr);
  ASSERT_TRUE(quillane::PauseLayerStrip("lamp", true, -1));
  EXPECT_FALSE(strip->IsPlaying());
  // Unpausing with a frame only jumps there; the strip stays as it was.
  ASSERT_TRUE(quillane::PauseLayerStrip("lamp", false, 2));
  EXPECT_EQ(strip->GetPosition(), 2.0f);
  EXPECT_FALSE(strip->IsPlaying());
  ASSERT_TRUE(quillane::PauseLayerStrip("lamp", false, -1));
  EXPECT_TRUE(strip->IsPlaying());

  ASSERT_TRUE(quillane::FadeLayerStrip("lamp", true));
  EXPECT_FALSE(strip->IsPlaying());
  EXPECT_EQ(strip->GetFadeState(), gfx::cl_TextureStrip::FADE_IN);
  ASSERT_TRUE(quillane::FadeLayerStrip("lamp", false));
  EXPECT_EQ(strip->GetPosition(), 0.0f);
  EXPECT_EQ(strip->GetFadeState(), gfx::cl_TextureStrip::FADE_OUT);
  EXPECT_FALSE(quillane::PauseLayerStrip("desk", true, -1)) << "a picture layer";
}

}  // namespace
}  // namespace scriptfunctionstest
