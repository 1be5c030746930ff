// The editor module on a copy of the demo data: its toggle keys, F1, what it draws, the sort-line
// and locator drags on the Office written into its project file, edge scrolling, opening a scene
// and the batch export.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/FileTools.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "editor_fixture.h"
#include "graphics/draw/Draw.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/editor/SceneList.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"

namespace editortest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_Editor;
using quillane::cl_Scene;
using quillane::SceneDisplay;

constexpr int kDeskSortLine = 379;  // the desk's sort line in the demo's Office

// The element of the project file's group with that label, read back as a fresh scene reads it.
base::Variant ProjectElement(const char* scene, const char* group, const char* label) {
  cl_Scene fresh;
  fresh.LoadProjectFile(scene);
  base::Variant* element = base::variant_find_element_by_attribute_value(*fresh.GetSettings().get_element(group), "label", label);
  return element ? *element : base::Variant();
}

uint32_t Blend(uint32_t under, uint32_t colour, int alpha) {
  uint32_t out = 0;
  for (int shift : {16, 8, 0}) {
    const int a = (under >> shift) & 0xFF, b = (colour >> shift) & 0xFF;
    out |= static_cast<uint32_t>(a + (b - a) * alpha / 255) << shift;
  }
  return out;
}

int ChannelDistance(uint32_t a, uint32_t b) {
  int worst = 0;
  for (int shift : {16, 8, 0}) worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
  return worst;
}

TEST_F(EditorTest, ToggleKeysActOnlyWithTheDebugKeysAndWithoutCtrl) {
  struct st_Case {
    bool keys;
    uint16_t modifiers;
    bool toggles;
  };
  for (const st_Case c : {st_Case{false, 0, false}, st_Case{true, 0, true}, st_Case{true, kShift, true},
                          st_Case{true, kCtrl, false}}) {
    Debug_KeysEnabled = c.keys;
    SceneDisplay() = quillane::st_SceneDisplay();
    for (uint8_t key : {'H', 'N', 'L', 'B'}) Key(key, c.modifiers);
    const quillane::st_SceneDisplay& d = SceneDisplay();
    EXPECT_EQ(d.showHotspots && d.showNavMesh && d.showLocators && d.showBoundaries, c.toggles)
        << "keys " << c.keys << ", modifiers " << c.modifiers;
    EXPECT_EQ(d.showHotspots || d.showNavMesh || d.showLocators || d.showBoundaries, c.toggles);
  }
  Key('B');
  EXPECT_TRUE(SceneDisplay().showBoundaries);
  Key('B');  // a second press switches back
  EXPECT_FALSE(SceneDisplay().showBoundaries);
}

TEST_F(EditorTest, F1LeavesForTheRootMenuAndTheSameEditorComesBack) {
  ASSERT_NE(Open("Office"), nullptr);
  Key(base::key::F1);
  EXPECT_EQ(StateName(), "RootMenu");
  Debug_KeysEnabled = true;
  Key(base::key::F1);  // the root menu's way in
  EXPECT_EQ(StateName(), "Editor");
  EXPECT_EQ(cl_Editor::GetEditor(), m_editor);
  ASSERT_NE(cl_Editor::GetEditedScene(), nullptr);
  EXPECT_EQ(std::string(cl_Editor::GetEditedScene()->GetName().c_str()), "Office");
}

TEST_F(EditorTest, TheBackdropFramesTheViewportAndAPickedSortLineIsWhiteAtFiftyOverTheScene) {
  Step(0.0f);
  EXPECT_EQ(Pixel(300, 300), 0x3C4650u) << "no scene: the backdrop everywhere";
  // The green mark would stand on the "n" of "no active scene": without a scene it is not drawn.
  int green = 0, text = 0;
  for (int y = 8; y < 16; ++y)
    for (int x = 8; x < 16; ++x) green += Pixel(x, y) == 0x00FF00u, text += Pixel(x, y) != 0x3C4650u;
  EXPECT_EQ(green, 0);
  EXPECT_GT(text, 0) << "the \"n\"";
  cl_Scene* scene = Open("Office");
  ASSERT_NE(scene, nullptr);
  SceneDisplay().showBoundaries = true;
  Step(0.0f);
  const base::tRectf view = quillane::GetEditorViewportRect();
  EXPECT_FLOAT_EQ(view.min.y, 64.0f);
  EXPECT_FLOAT_EQ(view.max.y, 704.0f);
  EXPECT_EQ(Pixel(300, 40), 0x3C4650u);
  EXPECT_EQ(Pixel(300, 740), 0x3C4650u);
  EXPECT_EQ(Pixel(12, 12), 0x00FF00u) << "the green mark";
  const std::vector<uint32_t> before = m_pixels;

  const int y = static_cast<int>(scene->SceneToScreen(0.0f, static_cast<float>(kDeskSortLine)).y);
  Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(scene->SceneToScreen(500.0f, 0.0f).x), y);
  ASSERT_NE(m_editor->GetPickedSortLayer(), nullptr);
  Step(0.0f);
  int checked = 0;
  for (int x = 20; x < 1000; x += 37, ++checked) {
    const uint32_t expected = Blend(before[static_cast<size_t>(y) * kWidth + x], 0xFFFFFF, 50);
    EXPECT_LE(ChannelDistance(Pixel(x, y), expected), 2) << "x " << x;
    EXPECT_EQ(Pixel(x, y + 2), before[static_cast<size_t>(y + 2) * kWidth + x]) << "x " << x;
  }
  EXPECT_GT(checked, 20);
}

// The first screen says where the menu is; the scene editor panel's title names its scene.
TEST_F(EditorTest, TheFirstScreenNamesTheMenuAndThePanelItsScene) {
  std::vector<gfx::st_DrawnText> texts;
  auto hinted = [&] {
    texts.clear();
    gfx::TraceDrawnText(&texts);
    Step(0.0f);
    gfx::TraceDrawnText(nullptr);
    return std::any_of(texts.begin(), texts.end(),
                       [](const gfx::st_DrawnText& t) { return t.text.starts_with("Right click: the editor menu"); });
  };
  EXPECT_TRUE(hinted());
  ASSERT_NE(Open("Office"), nullptr);
  ASSERT_TRUE(Menu("Editor"));
  EXPECT_FALSE(hinted());
  base::cl_Window* panel = Window(quillane::cl_SceneEditorPanel::kLabel);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(std::string(panel->FindByLabel("TitleBar")->m_Text.c_str()), "Scene editor: Office");
}

// A scene taller than the view is drawn inside the viewport only: the backdrop below it stays.
TEST_F(EditorTest, ASceneLargerThanTheViewStaysInsideTheViewport) {
  const int side = 1024;
  std::string bmp(54, '\0');
  const auto put = [&bmp](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp[at + i] = static_cast<char>(value >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put(2, 54 + side * side * 3, 4), put(10, 54, 4), put(14, 40, 4), put(18, side, 4), put(22, side, 4);
  put(26, 1, 2), put(28, 24, 2);
  bmp.append(static_cast<size_t>(side) * side * 3, static_cast<char>(0xC0));
  fs::create_directories(m_data / "Scenes/Tall");
  std::ofstream(m_data / "Scenes/Tall/tall.bmp", std::ios::binary) << bmp;
  std::ofstream(m_data / "Scenes/Tall/ProjectFile.xml")
      << "<Project w=\"1024\" h=\"1024\"><BackgroundElements><Layer label=\"bg\" file=\"tall.bmp\" x=\"0\" y=\"0\" "
         "w=\"1024\" h=\"1024\"/></BackgroundElements></Project>";
  ASSERT_NE(Open("Tall"), nullptr);
  Step(0.0f);
  EXPECT_NE(Pixel(300, 600), 0x3C4650u) << "the picture";
  int below = 0;
  for (int y = 705; y < 740; ++y)
    for (int x = 0; x < kWidth; ++x) below += Pixel(x, y) != 0x3C4650u ? 1 : 0;
  EXPECT_EQ(below, 0);
}

TEST_F(EditorTest, ASortLineDraggedThirtyPixelsAtZoomTwoMovesByFifteenAndTheReleaseSavesIt) {
  cl_Scene* scene = Open("Office");
  ASSERT_NE(scene, nullptr);
  scene->SetZoom(2.0f);
  scene->SetScroll(300.0f, 200.0f);
  Key('B');
  EXPECT_FALSE(SceneDisplay().showBoundaries) << "the debug keys are off";
  SceneDisplay().showBoundaries = true;
  const base::tVector2<float> at = scene->SceneToScreen(500.0f, static_cast<float>(kDeskSortLine));
  Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(at.x), static_cast<int>(at.y));
  ASSERT_NE(m_editor->GetPickedSortLayer(), nullptr);
  Mouse(base::ICMD::MOUSE_MOVE, static_cast<int>(at.x), static_cast<int>(at.y) + 10);
  Mouse(base::ICMD::MOUSE_MOVE, static_cast<int>(at.x), static_cast<int>(at.y) + 30);
  EXPECT_EQ(scene->FindLayer("desk")->GetYSort(), kDeskSortLine + 15);
  EXPECT_EQ(ProjectElement("Office", "StageElements", "desk").get_attribute("ysort")->get_int(), kDeskSortLine)
      << "nothing is saved before the release";
  Mouse(base::ICMD::LEFT_UP, static_cast<int>(at.x), static_cast<int>(at.y) + 30);
  EXPECT_EQ(m_editor->GetPickedSortLayer(), nullptr);
  EXPECT_EQ(ProjectElement("Office", "StageElements", "desk").get_attribute("ysort")->get_int(), kDeskSortLine + 15);
}

TEST_F(EditorTest, ShiftTurnsAPickedLocatorOneStepAMoveAndTheReleaseWritesItsPlace) {
  cl_Scene* scene = Open("Office");
  ASSERT_NE(scene, nullptr);
  SceneDisplay().showLocators = true;
  quillane::cl_SceneLocator* start = scene->FindLocator("Start");
  ASSERT_NE(start, nullptr);
  const base::tVector2<float> onScene = scene->WorldToScene(start->locator.GetPos());
  const base::tVector2<float> at = scene->SceneToScreen(onScene.x, onScene.y);
  const int x = static_cast<int>(at.x), y = static_cast<int>(at.y);
  Mouse(base::ICMD::LEFT_DOWN, x, y);
  ASSERT_EQ(m_editor->GetPickedLocator(), start);
  Key(base::key::LeftShift, kShift);
  base::cl_Locator expected = start->locator;
  for (int dx : {-40, -3, 0, 25}) {  // left of where Shift went down: +0.08, right: -0.08, level: none
    Mouse(base::ICMD::MOUSE_MOVE, x + dx, y, dx, 0, kShift);
    expected.TurnRight(dx < 0 ? 0.08f : dx > 0 ? -0.08f : 0.0f);
    EXPECT_NEAR(start->locator.GetYawAngle(), expected.GetYawAngle(), 1e-5f) << "dx " << dx;
  }
  EXPECT_NE(start->locator.GetYawAngle(), 0.0f);
  const base::tVector3<float> place = start->locator.GetPos();
  Key(base::key::LeftShift, 0, false);
  Mouse(base::ICMD::LEFT_UP, x, y);
  EXPECT_EQ(m_editor->GetPickedLocator(), nullptr);
  const base::Variant saved = ProjectElement("Office", "Locators", "Start");
  for (auto [name, value] : {std::pair{"x", place.x}, {"y", place.y}, {"z", place.z},
                             {"yaw", start->locator.GetYawAngle()}})
    EXPECT_NEAR(saved.get_attribute(name)->get_float(), value, 1e-3f) << name;
}

TEST_F(EditorTest, ADraggedLocatorFollowsTheFloorAndStaysWhereTheRayMissesIt) {
  cl_Scene* scene = Open("Office");
  ASSERT_NE(scene, nullptr);
  quillane::g_SelectedElementLabel = "Start";  // a selection picks with the displays off
  quillane::cl_SceneLocator* start = scene->FindLocator("Start");
  const base::tVector2<float> onScene = scene->WorldToScene(start->locator.GetPos());
  const base::tVector2<float> at = scene->SceneToScreen(onScene.x, onScene.y);
  Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(at.x) + 4, static_cast<int>(at.y) + 3);
  ASSERT_EQ(m_editor->GetPickedLocator(), start);
  base::tVector3<float> floor;
  ASSERT_TRUE(scene->PickRay(at.x + 60.0f, at.y + 20.0f, floor));
  Mouse(base::ICMD::MOUSE_MOVE, static_cast<int>(at.x) + 64, static_cast<int>(at.y) + 23);
  EXPECT_NEAR(start->locator.GetPos().x, floor.x, 1.0f) << "the grab offset is kept";
  EXPECT_NEAR(start->locator.GetPos().z, floor.z, 1.0f);
  // With the camera looking up no ray meets the floor: the locator stays.
  const base::tVector3<float> kept = start->locator.GetPos();
  base::cl_Camera& camera = scene->GetCamera();
  camera.LookAt(camera.GetPos() + base::tVector3<float>(0.0f, 1000.0f, 0.0f), base::tVector3<float>(0.0f, 0.0f, 1.0f));
  ASSERT_FALSE(scene->PickRay(at.x + 60.0f, at.y + 20.0f, floor));
  Mouse(base::ICMD::MOUSE_MOVE, static_cast<int>(at.x) + 64, static_cast<int>(at.y) + 23);
  EXPECT_EQ(start->locator.GetPos().x, kept.x);
  EXPECT_EQ(start->locator.GetPos().z, kept.z);
}

TEST_F(EditorTest, APressOnASortLineAndALocatorDragsTheSortLine) {
  cl_Scene* scene = Open("Office");
  ASSERT_NE(scene, nullptr);
  SceneDisplay().showBoundaries = SceneDisplay().showLocators = true;
  const base::tVector2<float> at = scene->SceneToScreen(500.0f, static_cast<float>(kDeskSortLine));
  base::tVector3<float> floor;
  ASSERT_TRUE(scene->PickRay(at.x, at.y, floor));
  scene->FindLocator("Start")->locator.SetPos(floor);
  ASSERT_NE(scene->PickLocator(at.x, at.y), nullptr);
  Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(at.x), static_cast<int>(at.y));
  EXPECT_NE(m_editor->GetPickedSortLayer(), nullptr);
  EXPECT_EQ(m_editor->GetPickedLocator(), nullptr);
  Mouse(base::ICMD::MOUSE_MOVE, static_cast<int>(at.x) + 50, static_cast<int>(at.y) + 20);
  EXPECT_EQ(scene->FindLocator("Start")->locator.GetPos().x, floor.x);
  EXPECT_EQ(scene->FindLayer("desk")->GetYSort(), kDeskSortLine + 20);
}

TEST_F(EditorTest, TheRightEdgeScrollsAWideSceneAndNeverBelowZero) {
  fs::create_directories(m_data / "Scenes/Narrow");
  std::ofstream(m_data / "Scenes/Narrow/ProjectFile.xml") << "<Project name=\"Narrow\" w=\"800\" h=\"500\"/>";
  cl_Scene* scene = Open("Narrow");
  ASSERT_NE(scene, nullptr);
  Mouse(base::ICMD::MOUSE_MOVE, 1022, 300);
  Step();
  EXPECT_EQ(scene->GetScroll()[0], 0.0f) << "an 800 wide scene has nothing to scroll";
  scene = Open("Office");
  scene->SetScroll(0.0f, 0.0f);
  EXPECT_EQ(scene->GetWidth(), 1024.0f);
  Mouse(base::ICMD::MOUSE_MOVE, 2, 300);
  Step();
  EXPECT_EQ(scene->GetScroll()[0], 0.0f);
}

TEST_F(EditorTest, AListedSceneWithoutItsFolderIsNotOpenedAndAnEmptyNameOpensNothing) {
  ASSERT_NE(Open("Office"), nullptr);
  EXPECT_FALSE(m_editor->OpenScene(base::tString<base::BaseString>("")));
  EXPECT_NE(cl_Editor::GetEditedScene(), nullptr) << "an empty name leaves the open scene alone";
  fs::remove_all(m_data / "Scenes/Stage");
  EXPECT_FALSE(m_editor->OpenScene(base::tString<base::BaseString>("Stage")));
  EXPECT_EQ(cl_Editor::GetEditedScene(), nullptr);
  EXPECT_FALSE(fs::exists(m_data / "Scenes/Stage")) << "nothing written for it";
  EXPECT_NE(Log().find("ERROR: Editor: scene Stage has no folder"), std::string::npos);
  Step();  // draws "no active scene"
}

TEST_F(EditorTest, TheExportCompilesMissingScenesAndSkipsCompiledAndProjectlessOnes) {
  base::Variant& list = cl_Editor::GetSceneList();
  quillane::RemoveScene(list, "Quay");
  quillane::AddScene(list, "Test");
  std::ofstream(m_data / "Scenes/Stage.dat") << "compiled before";
  m_editor->ExportAllScenes();
  EXPECT_TRUE(fs::exists(m_data / "Scenes/Office.dat"));
  cl_Scene compiled;
  EXPECT_TRUE(compiled.Load("Office"));
  EXPECT_EQ(compiled.FindLayer("desk")->GetYSort(), kDeskSortLine);
  EXPECT_EQ(ReadText("Scenes/Stage.dat"), "compiled before");
  EXPECT_FALSE(fs::exists(m_data / "Scenes/Test.dat"));
  const std::string log = Log();
  const size_t office = log.find("exporting Office\n"), stage = log.find("exporting Stage\n"),
               test = log.find("exporting Test\n");
  ASSERT_NE(office, std::string::npos);
  EXPECT_NE(log.find("scene complete.\n", office), std::string::npos);
  ASSERT_NE(stage, std::string::npos);
  ASSERT_NE(test, std::string::npos);
  EXPECT_LT(log.find("skipping... dat file exists.\n", stage), test) << "newer than its project, which it cannot be "
                                                                         "compared with";
  EXPECT_NE(log.find("Warning: Editor: Scenes/Test/ProjectFile.xml is missing", test), std::string::npos);
  // Each listed scene is in the outcome's counts.
  EXPECT_EQ(quillane::GetEditorStatus().text,
            "Export all scenes: 1 compiled, 1 already up to date, 1 without a project file");
  EXPECT_FALSE(quillane::GetEditorStatus().failure);
}

}  // namespace
}  // namespace editortest
