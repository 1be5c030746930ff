// The scene editor's test walk on a copy of the Office: opened by the panel's "Test" and refused
// without the actor; the project untouched without E and rewritten with it; the exposure's
// growth under E and Up and its text; a click walking Quillane to the picked point and a right
// click stopping her; the editor's own drawing back afterwards; the test drawing only inside
// the viewport; and, with a game waiting behind the editor, a walk into a trigger zone that
// calls none of its scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <list>
#include <string>
#include <vector>

#include "../session/session_input_fixture.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "editor_fixture.h"
#include "graphics/draw/Draw.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/editor/TestRun.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "quillane/settings/TweakSettings.h"
#include "support/HeadlessEngine.h"
#include "support/HeadlessGpu.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace editortest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_Editor;
using quillane::cl_TestRun;

constexpr uint8_t kScanE = 0x12, kScanUp = 0xC8;
constexpr uint32_t kBackdrop = 0x3C4650u;  // the editor's clear colour

// The test actor: the demo figure's skeleton alone (quick to import), under the name the test
// run asks for. Written into the working folder and read by the frame's registry.
void UseTestActor(const fs::path& workingFolder) {
  const fs::path from = fs::path(QUILLANE_DATA_DIR) / "characters";
  fs::create_directories(workingFolder / "characters/female");
  for (const char* file : {"walkspeed.xml", "female/female_skeleton.xml"})
    fs::copy_file(from / file, workingFolder / "characters" / file, fs::copy_options::overwrite_existing);
  std::ofstream(workingFolder / "characters/characters.xml")
      << "<Characters><Character label=\"Quillane_EveningDress\"><Skeleton "
         "file=\"characters/female/female_skeleton.xml\"><UseReposition label=\"walk\"/><UseReposition "
         "label=\"quillane_walk\"/>"
         "</Skeleton>"
         "</Character></Characters>";
  quillane::cl_ActorRegistry* registry = quillane::GetActorRegistry();
  ASSERT_NE(registry, nullptr);
  ASSERT_TRUE(registry->LoadActorList("characters/characters.xml"));
}

// A held key as the platform's keyboard reports it (scan code of set 1), read by the input device
// as the frame loop would read it.
void HoldKey(uint8_t scan, bool down) {
  win32dx9::cl_Platform* platform = win32dx9::GetPlatform();
  platform->GetInputQueue().Key(scan, down, 0);
  platform->GetInputDevice()->Update(0.0f, 0.0f);
}

class TestRun : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!fs::exists(fs::path(QUILLANE_DATA_DIR) / "characters/female/female_skeleton.xml"))
      GTEST_SKIP() << "no generated demo figures";
    UseTestActor(m_data);
  }
  void TearDown() override {
    for (uint8_t scan : {kScanE, kScanUp}) HoldKey(scan, false);
    EditorTest::TearDown();
  }

  // The Office open with its panel; "Test" pressed; the test run (null when refused).
  cl_TestRun* Start() {
    m_scene = Open("Office");
    EXPECT_NE(m_scene, nullptr);
    if (!m_scene) return nullptr;
    // The menu's second "Editor" would close the panel.
    m_panel = m_frame->GetSystemGUI()->FindChild(quillane::cl_SceneEditorPanel::kLabel);
    if (!m_panel) {
      EXPECT_TRUE(Menu("Editor"));
      Step();
      m_panel = m_frame->GetSystemGUI()->FindChild(quillane::cl_SceneEditorPanel::kLabel);
    }
    EXPECT_NE(m_panel, nullptr);
    if (!m_panel) return nullptr;
    m_panel->ProcessEvent(Button("Test"));
    Step();
    return dynamic_cast<cl_TestRun*>(Window(cl_TestRun::kLabel));
  }
  void Escape() {
    Key(base::key::Escape);
    Step();
  }
  float StoredExposure() {
    quillane::cl_Scene fresh;
    fresh.LoadProjectFile("Office");
    const base::Variant* lights = fresh.GetSettings().get_element("Lights");
    float exposure = -1.0f;
    if (lights) lights->get_attribute_float("exposure", exposure);
    return exposure;
  }
  // Where the scene camera shows the world point.
  base::tVector2<float> ScreenOf(const base::tVector3<float>& p) {
    const base::tVector3<float> s = m_scene->GetCamera().World2Screen(p);
    return {s.x, s.y};
  }

  quillane::cl_Scene* m_scene = nullptr;
  base::cl_Window* m_panel = nullptr;
};

TEST_F(TestRun, TheTestStandsQuillaneOnTheNavMeshAndEscapeWithoutEKeepsTheProject) {
  const std::string before = ReadText("Scenes/Office/ProjectFile.xml");
  cl_TestRun* run = Start();
  ASSERT_NE(run, nullptr);
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_FALSE(m_editor->runScene);
  quillane::cl_Character* quillane = run->GetCharacter();
  ASSERT_NE(quillane, nullptr);
  EXPECT_EQ(std::string(quillane->name.c_str()), "Quillane");
  EXPECT_EQ(std::string(quillane->walkChannel.GetAnimName().c_str()), "quillane_walk");
  const base::tVector3<float> centre = m_scene->NavMeshes.front()->GetCenter();
  EXPECT_EQ(quillane->GetPosition().x, centre.x);
  EXPECT_EQ(quillane->GetPosition().z, centre.z);

  for (int i = 0; i < 3; ++i) Step();
  Escape();
  EXPECT_EQ(Window(cl_TestRun::kLabel), nullptr);
  EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(m_editor->runScene);
  EXPECT_EQ(ReadText("Scenes/Office/ProjectFile.xml"), before);
  EXPECT_EQ(quillane::cl_Editor::GetEditedScene(), m_scene);
}

TEST_F(TestRun, OneFrameOfEWritesTheExposureAndEWithUpGrowsItByAPercentAFrame) {
  // Without a stored value the scene's exposure is 1 and "Lights" has no attribute yet.
  std::string project = ReadText("Scenes/Office/ProjectFile.xml");
  const std::string stored = "<Lights exposure=\"1.1\">";
  ASSERT_NE(project.find(stored), std::string::npos);
  project.replace(project.find(stored), stored.size(), "<Lights>");
  std::ofstream(m_data / "Scenes/Office/ProjectFile.xml", std::ios::binary) << project;
  cl_TestRun* first = Start();
  ASSERT_NE(first, nullptr);
  HoldKey(kScanE, true);
  Step();
  HoldKey(kScanE, false);
  EXPECT_TRUE(first->GetExposureTouched());
  Escape();
  EXPECT_EQ(StoredExposure(), 1.0f);

  // The Office as demogen wrote it: 1.1, shown with two decimals, then 100 frames up.
  CopyFromData("Scenes/Office/ProjectFile.xml");
  cl_TestRun* run = Start();
  ASSERT_NE(run, nullptr);
  ASSERT_FLOAT_EQ(m_scene->GetExposure(), 1.1f);
  HoldKey(kScanE, true);
  Step();
  const std::vector<uint32_t> shown = m_pixels;
  // The same frame with the text drawn by the test, where the test run draws it.
  HoldKey(kScanE, false);
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  ASSERT_TRUE(device->BeginFrame());
  m_system->Render();
  gfx::DrawText(100, 100, "exposure = 1.10", 0xFFFFFFFFu);
  const std::vector<uint32_t> expected = testsupport::ReadBackBuffer(0, 0, kWidth, kHeight);
  device->EndFrame();
  if (!expected.empty() && !shown.empty()) {
    int differing = 0, text = 0;
    for (int y = 100; y < 120; ++y)
      for (int x = 100; x < 260; ++x) {
        const size_t i = static_cast<size_t>(y) * kWidth + x;
        differing += shown[i] != expected[i];
        text += expected[i] == 0xFFFFFF;
      }
    EXPECT_GT(text, 20);
    EXPECT_EQ(differing, 0);
  }

  HoldKey(kScanE, true);
  HoldKey(kScanUp, true);
  for (int i = 0; i < 100; ++i) Step(0.01f);
  HoldKey(kScanUp, false);
  HoldKey(kScanE, false);
  // Up divides by 0.99 each frame: 100 frames make 0.99^-100.
  const float expectedExposure = 1.1f * static_cast<float>(std::pow(0.99, -100.0));
  EXPECT_NEAR(m_scene->GetExposure(), expectedExposure, expectedExposure * 1e-4f);
  EXPECT_TRUE(run->GetExposureTouched());
  Escape();
  EXPECT_NEAR(StoredExposure(), expectedExposure, expectedExposure * 1e-4f);
}

TEST_F(TestRun, AClickWalksQuillaneToThePickedPointARightClickStopsHerAndTheEditorDrawsTheSceneAfterwards) {
  cl_TestRun* run = Start();
  ASSERT_NE(run, nullptr);
  quillane::cl_Character* quillane = run->GetCharacter();
  // A floor point a little beside the start, found as the test's own pick.
  const base::tVector3<float> start = quillane->GetPosition();
  const base::tVector2<float> at = ScreenOf(start + base::tVector3<float>(60.0f, 0.0f, 0.0f));
  base::tVector3<float> target;
  ASSERT_TRUE(m_scene->PickRay(at.x, at.y, target));

  base::ICMD press = frametest::Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(at.x), static_cast<int>(at.y));
  EXPECT_FALSE(run->ProcessInput(press));  // not consumed
  ASSERT_FALSE(quillane->waypoints.empty());
  EXPECT_NEAR(quillane->waypoints.back().x, target.x, 2.0f);
  EXPECT_NEAR(quillane->waypoints.back().z, target.z, 2.0f);
  for (int i = 0; i < 60 && quillane->state != quillane::cl_MovementCtrl::STATE_IDLE; ++i) Step();
  EXPECT_EQ(quillane->state, quillane::cl_MovementCtrl::STATE_IDLE);
  EXPECT_NEAR(quillane->GetPosition().x, target.x, quillane::cl_MovementCtrl::kWaypointReach);
  EXPECT_NEAR(quillane->GetPosition().z, target.z, quillane::cl_MovementCtrl::kWaypointReach);

  // Back to the start, stopped on the way.
  const base::tVector2<float> back = ScreenOf(start);
  press = frametest::Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(back.x), static_cast<int>(back.y));
  EXPECT_FALSE(run->ProcessInput(press));
  Step();
  base::ICMD right = frametest::Mouse(base::ICMD::RIGHT_DOWN, static_cast<int>(back.x), static_cast<int>(back.y));
  EXPECT_FALSE(run->ProcessInput(right));
  EXPECT_EQ(quillane->state, quillane::cl_MovementCtrl::STATE_BRAKING);
  for (int i = 0; i < 10; ++i) Step();
  EXPECT_EQ(quillane->state, quillane::cl_MovementCtrl::STATE_IDLE);
  EXPECT_GT(std::fabs(quillane->GetPosition().x - start.x), 1.0f);

  Escape();
  Step();
  EXPECT_EQ(Window(cl_TestRun::kLabel), nullptr);
  EXPECT_TRUE(m_editor->runScene);
  if (!testsupport::HeadlessGpuAvailable()) return;
  // The editor draws the scene again: hardly a pixel of the backdrop shows in the viewport.
  const base::tRectf view = quillane::GetEditorViewportRect();
  int backdrop = 0;
  for (int y = static_cast<int>(view.min.y); y < static_cast<int>(view.max.y); y += 4)
    for (int x = 0; x < kWidth; x += 4) backdrop += Pixel(x, y) == kBackdrop;
  EXPECT_LT(backdrop, 50);
}

// Outside the viewport only the key help, whole in the window.
TEST_F(TestRun, TheTestDrawsOnlyInsideTheEditorViewport) {
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  ASSERT_NE(Start(), nullptr);
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step();
  gfx::TraceDrawnText(nullptr);
  const std::vector<uint32_t> withTest = m_pixels;
  const gfx::st_DrawnText* help = nullptr;
  for (const gfx::st_DrawnText& t : texts)
    if (t.text.find("Escape: back") != std::string::npos) help = &t;
  ASSERT_NE(help, nullptr);
  EXPECT_LE(help->right, kWidth);
  // The same editor with the panel hidden and nothing drawing the scene.
  Escape();
  m_panel->Show(false);
  m_editor->runScene = false;
  Step();
  m_editor->runScene = true;
  const base::tRectf view = quillane::GetEditorViewportRect();
  int outside = 0, inside = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const bool differs = withTest[static_cast<size_t>(y) * kWidth + x] != Pixel(x, y);
      const bool inHelp = x >= help->left && x < help->right && y >= help->top && y < help->bottom;
      (y >= view.min.y && y < view.max.y ? inside : outside) += differs && !inHelp;
    }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(inside, kWidth * 100);  // the scene itself
}

TEST_F(TestRun, WithoutTheActorTheTestIsRefusedAndThePanelShownAgain) {
  quillane::GetActorRegistry()->Erase(cl_TestRun::kActor);
  EXPECT_EQ(Start(), nullptr);
  EXPECT_NE(Log().find("ERROR: Editor: the test run needs the actor Quillane_EveningDress"), std::string::npos);
  EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(m_editor->runScene);
  EXPECT_TRUE(m_frame->GetSystemGUI()->GetModalWindows().empty());
}

// Without its floor the test walk is refused with the file named in the window; without its
// background it walks, the missing picture named over the scene.
TEST_F(TestRun, AFloorOrPictureThatCannotBeReadIsNamedInTheWindow) {
  fs::remove(m_data / "Scenes/Office/navmesh.xml");
  EXPECT_EQ(Start(), nullptr);
  EXPECT_EQ(quillane::GetEditorStatus().text,
            "the test run has no floor to stand on: Scenes/Office/navmesh.xml cannot be read (is missing)");
  EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
  CopyFromData("Scenes/Office/navmesh.xml");
  fs::remove(m_data / "Scenes/Office/background.tga");
  ASSERT_NE(Start(), nullptr);
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step();
  gfx::TraceDrawnText(nullptr);
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const gfx::st_DrawnText& t) {
    return t.text == "Not shown: Scenes/Office/background.tga (is missing)";
  }));
}

// ---- with a game waiting behind the editor

class TestRunInSession : public sessiontest::SessionInputTest {
 protected:
  void SetUp() override {
    quillane::InstallEditorServices();
    SessionInputTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!fs::exists(fs::path(QUILLANE_DATA_DIR) / "characters/female/female_skeleton.xml"))
      GTEST_SKIP() << "no generated demo figures";
    UseTestActor(m_dir);
  }
};

TEST_F(TestRunInSession, AWalkIntoATriggerZoneCallsNoScriptOfTheWaitingGame) {
  // The Office under another name, whose script would answer the zone "Window".
  fs::copy(m_dir / "Scenes/Office", m_dir / "Scenes/Annex", fs::copy_options::recursive);
  Write("Scripts/Scenes/Annex.lua",
        "function CheckOnEnter_Window(name)\n  Debugout(\"annex: check \" .. name)\n  return true\nend\n"
        "function OnEnter_Window(name)\n  Debugout(\"annex: enter \" .. name)\nend\n");
  Debug_KeysEnabled = true;
  Key(base::key::F1);
  ASSERT_EQ(StateName(), "Editor");
  cl_Editor* editor = cl_Editor::GetEditor();
  ASSERT_TRUE(editor->OpenScene(base::tString<base::BaseString>("Annex")));
  Step();
  cl_TestRun* run = cl_TestRun::Open(nullptr);
  ASSERT_NE(run, nullptr);
  m_frame->GetSystemGUI()->AddModalWindow(run);
  quillane::cl_Scene* scene = cl_Editor::GetEditedScene();
  quillane::cl_SceneLocator* window = scene->FindLocator("Window");
  ASSERT_NE(window, nullptr);
  // Out of the zone (the nav mesh's centre lies in it) to the "Talk" spot, then into its middle.
  quillane::cl_Character* quillane = run->GetCharacter();
  std::list<quillane::cl_SceneLocator*> zones;
  auto walk = [&](float x, float z) {
    quillane->WalkTo("Quillane", base::tVector3<float>(x, 0.0f, z), nullptr, 0);
    for (int i = 0; i < 80 && quillane->state != quillane::cl_MovementCtrl::STATE_IDLE; ++i) Step();
    zones.clear();
    scene->GetLocatorsAt(quillane->GetPosition().x, quillane->GetPosition().z, zones);
  };
  walk(-165.0f, -130.0f);
  ASSERT_TRUE(zones.empty());
  walk(-355.0f, -210.0f);
  ASSERT_EQ(zones.size(), 1u);
  EXPECT_EQ(zones.front(), window);
  Step();
  Key(base::key::Escape);
  Step();
  // Back in the game, whose threads run again: a started handler would speak now.
  Key(base::key::F1);
  ASSERT_EQ(StateName(), "Session");
  for (int i = 0; i < 5; ++i) Step();
  EXPECT_EQ(Log().find("annex:"), std::string::npos);
  EXPECT_EQ(quillane::GetSession(), m_session);
}

// The test walk's stage answers for its own people only: the waiting game's Odo is no obstacle
// on her way and no face for her gaze, while the game's stage still sees him.
TEST_F(TestRunInSession, TheTestWalkCollectsNoObstacleOfTheWaitingGame) {
  std::vector<base::tVector3<float>> gameObstacles;
  m_stage->CollectObstacles(gameObstacles, "Quillane");
  ASSERT_EQ(gameObstacles.size(), 1u) << "the waiting game's Odo";
  const base::tVector3<float> odo(gameObstacles.front().x, 0.0f, gameObstacles.front().y);
  Debug_KeysEnabled = true;
  Key(base::key::F1);
  ASSERT_EQ(StateName(), "Editor");
  ASSERT_TRUE(cl_Editor::GetEditor()->OpenScene(base::tString<base::BaseString>("Office")));
  Step();
  cl_TestRun* run = cl_TestRun::Open(nullptr);
  ASSERT_NE(run, nullptr);
  m_frame->GetSystemGUI()->AddModalWindow(run);
  quillane::cl_Character* quillane = run->GetCharacter();
  const quillane::i_StageWorld* world = quillane->GetStageWorld();
  ASSERT_NE(world, nullptr);
  std::vector<base::tVector3<float>> seen;
  world->CollectObstacles(seen, "Quillane");
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(world->GetCharacter("Odo"), nullptr);
  // Sent to where Odo stands in the game, she walks right up to the point.
  quillane->WalkTo("Quillane", odo, nullptr, 0);
  for (int i = 0; i < 200 && quillane->state != quillane::cl_MovementCtrl::STATE_IDLE; ++i) Step();
  EXPECT_LT(std::hypot(quillane->GetPosition().x - odo.x, quillane->GetPosition().z - odo.z),
            m_stage->GetAvoidanceRadius());
  Key(base::key::Escape);
  Step();
}

}  // namespace
}  // namespace editortest
