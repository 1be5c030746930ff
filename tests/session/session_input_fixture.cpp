#include "session_input_fixture.h"

#include <filesystem>

#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"

namespace sessiontest {

cl_StandingCharacter::cl_StandingCharacter(const char* characterName, float x, float z) {
  name = characterName;
  locator.SetPos(base::tVector3<float>(x, 0.0f, z));
}

void SessionInputTest::SetUp() {
  SessionTest::SetUp();
  if (IsSkipped()) return;
  m_keysEnabled = Debug_KeysEnabled;
  // The scene's description with its generated nav mesh, which also holds the camera.
  const std::filesystem::path scene = std::filesystem::path(QUILLANE_DATA_DIR) / "Scenes/Office";
  if (!std::filesystem::exists(scene / "navmesh.xml")) GTEST_SKIP() << "demo scene Office missing";
  std::filesystem::create_directories(m_dir / "Scenes/Office");
  for (const auto& entry : std::filesystem::directory_iterator(scene))
    if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), m_dir / "Scenes/Office" / entry.path().filename());
  Write("Scripts/MainInclude.lua", "\n");
  Write("Scripts/campaign.lua", "function Startup()\n  Transit(\"Office\")\nend\n");
  Write("Scripts/Scenes/Office.lua",
        "function OnTrigger_shelf()\n  Debugout(\"input: shelf\")\n  Sleep(5.0)\n  Debugout(\"input: shelf done\")\nend\n"
        "function OnTrigger_Odo()\n  Debugout(\"input: Odo\")\nend\n"
        "function Round()\n  while true do\n    Sleep(0.2)\n  end\nend\n");
  Write("scripts/initialgamestate.xml", "<GameState><Missions Skill=\"0\"/></GameState>");
  Write("scripts/castlist.xml", "<Cast><Character label=\"Odo\" display_name=\"Odo\"/></Cast>");
  Write("scripts/hotspots.xml",
        "<Hotspots><Hotspot label=\"shelf\" display_name=\"Shelf\" type=\"game\"/>"
        "<Hotspot label=\"door\" display_name=\"Door\" cursor=\"gamecursor\"/></Hotspots>");
  StartFrame("<DevTools QuickLaunch=\"game\"/>" + (m_extraConfig.empty() ? "<Debug NoMinigames=\"1\"/>" : m_extraConfig));
  ASSERT_TRUE(StepUntilState("Session", 100));
  m_session = quillane::GetSession();
  ASSERT_NE(m_session, nullptr);
  for (int i = 0; i < 50 && !(m_session->GetScene() && StateName() == "Session"); ++i) Step();
  m_stage = m_session->GetStage();
  ASSERT_NE(m_stage, nullptr);
  ASSERT_NE(m_stage->GetScene(), nullptr);
  ASSERT_EQ(StateName(), "Session");
  m_player = new cl_StandingCharacter("Quillane", -200.0f, 150.0f);
  m_odo = new cl_StandingCharacter("Odo", 250.0f, 0.0f);
  m_stage->AdoptCharacter(m_player);
  m_stage->AdoptCharacter(m_odo);
  m_stage->SetPlayerCharacter(m_player);
  Step();  // a drawn frame: the camera knows the viewport
}

void SessionInputTest::TearDown() {
  Debug_KeysEnabled = m_keysEnabled;
  SessionTest::TearDown();
}

void SessionInputTest::Key(uint8_t key) {
  base::ICMD cmd;
  cmd.type = base::ICMD::KEY_PRESSED;
  cmd.key = key;
  Input(cmd);
}

void SessionInputTest::Press(int type, base::tVector2<float> at) {
  Input(frametest::Mouse(type, static_cast<int>(at.x), static_cast<int>(at.y)));
}

void SessionInputTest::Settle() {
  for (int i = 0; i < 3; ++i) Step();
}

void SessionInputTest::MoveMouse(base::tVector2<float> at) { Press(base::ICMD::MOUSE_MOVE, at); }

base::tVector2<float> SessionInputTest::HotspotPoint(const char* label) const {
  quillane::cl_Scene* scene = m_stage->GetScene();
  const quillane::cl_SceneHotspot* hotspot = scene->FindHotspot(label);
  EXPECT_NE(hotspot, nullptr) << label;
  if (!hotspot) return {};
  const base::tVector2<float> centre = hotspot->outline.GetCenter();
  return scene->SceneToScreen(centre.x, centre.y);
}

base::tVector2<float> SessionInputTest::CharacterPoint(const char* name) const {
  const base::tRectf r = m_stage->GetCharacterScreenRect(m_stage->GetCharacter(name));
  return {(r.min.x + r.max.x) * 0.5f, (r.min.y + r.max.y) * 0.5f};
}

base::tVector2<float> SessionInputTest::FloorPoint(float x, float z) const {
  quillane::cl_Scene* scene = m_stage->GetScene();
  const base::tVector2<float> at = scene->WorldToScene(base::tVector3<float>(x, 0.0f, z));
  return scene->SceneToScreen(at.x, at.y);
}

void SessionInputTest::StartTrigger(const char* name) {
  m_session->GetActionQueue().AllowSkipAndCancel();
  ASSERT_TRUE(quillane::RunTrigger(base::String(name)));
  AllowSkipAndCancel();
}

void SessionInputTest::AllowSkipAndCancel() {
  // The trigger's Sleep forbade both, as every wait does; a script may allow them again.
  m_session->GetActionQueue().AllowSkipAndCancel();
}

}  // namespace sessiontest
