// The scene editor's placement tools on a copy of the Office, modal in the system GUI and driven
// through it: the hotspot outline and its name, the light type dialog's hand-offs, the light
// tool's drags and keys, the locator tool's picks, path, flight and camera; the panel's "Add"
// reaching each; the path and the light gizmos as drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "../support/GoldenImage.h"
#include "base/app/Device.h"
#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/text/Text.h"
#include "editor_fixture.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/LoadImageDialog.h"
#include "quillane/editor/PlaceHotspotTool.h"
#include "quillane/editor/PlaceLightTool.h"
#include "quillane/editor/PlaceLocatorTool.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/editor/SelectLightTypeDialog.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"
#include "win32dx9/Platform.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace editortest {
namespace {

using quillane::cl_PlaceLightTool;
using quillane::cl_PlaceLocatorTool;
using tV3 = base::tVector3<float>;

constexpr uint8_t kBackspace = 9, kEnter = 13, kEscape = 27, kSpace = 32;
constexpr uint8_t kScanW = 0x11, kScanShift = 0x2A;

float Float(const base::Variant& v, const char* name) {
  float value = NAN;
  v.get_attribute_float(name, value);
  return value;
}

std::string XmlText(const base::Variant& v) {
  base::Text text;
  EXPECT_TRUE(base::xml::write_text(v, text));
  return text.c_str();
}

class PlaceTools : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_scene = Open("Office");
    ASSERT_NE(m_scene, nullptr);
    m_listener = new cl_Listener();
    Gui()->AddChild(m_listener);
  }

  base::cl_GUI* Gui() const { return m_frame->GetSystemGUI(); }
  base::cl_Window* Modal() const {
    return Gui()->GetModalWindows().empty() ? nullptr : Gui()->GetModalWindows().front();
  }
  // The tool modal over the hidden listener, as the panel opens it, and one frame drawn.
  template <class T>
  T* Start(T* tool) {
    m_listener->Show(false);
    Gui()->AddModalWindow(tool);
    Step(0.0f);
    return tool;
  }
  void Press(int x, int y, bool left = true) {
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    Mouse(left ? base::ICMD::LEFT_DOWN : base::ICMD::RIGHT_DOWN, x, y);
  }
  void Release(bool left = true) { Mouse(left ? base::ICMD::LEFT_UP : base::ICMD::RIGHT_UP, m_mouseX, m_mouseY); }
  // A click that the tool sees during one frame's drawing.
  void ClickFrame(int x, int y) {
    Press(x, y);
    Step(0.0f);
    Release();
  }
  // Types name into the open name dialog and confirms it.
  void Name(const char* name) {
    base::cl_Window* field = Window("Label");
    ASSERT_NE(field, nullptr) << "no name dialog";
    field->m_Value.set_string(name);
    Step(0.0f);
    ASSERT_TRUE(Click("Ok"));
  }
  // Holds (or lets go of) a key on the device, polled and handed on as the frame loop does.
  void Hold(uint8_t scan, bool down, float dt = 0.0f) {
    win32dx9::GetPlatform()->GetInputQueue().Key(scan, down, static_cast<uint32_t>(m_time * 1000.0f) + 1);
    base::i_InputDevice* device = m_system->GetInputDevice();
    device->Update(m_time, 0.0f);
    for (base::ICMD cmd; device->PopCommand(cmd);) Input(cmd);
    Step(dt);
  }
  tV3 OwnPick(int x, int y) {
    tV3 hit;
    EXPECT_TRUE(m_scene->PickRay(static_cast<float>(x), static_cast<float>(y), hit));
    return hit;
  }

  quillane::cl_Scene* m_scene = nullptr;
  cl_Listener* m_listener = nullptr;  // a child of the system GUI
};

// ---- hotspots

TEST_F(PlaceTools, HotspotCornersTakeBackWithBackspaceAndGoOutNamedInClickOrder) {
  Debug_KeysEnabled = true;
  auto* tool = Start(quillane::cl_PlaceHotspotTool::Create(m_listener));
  const int corners[][2] = {{300, 200}, {500, 220}, {480, 400}, {320, 420}};
  for (const auto& c : corners) {
    Press(c[0], c[1]);
    Release();
  }
  Key(kBackspace);
  Key(kBackspace);
  Key(kEnter);
  EXPECT_EQ(Modal(), tool) << "two corners are no outline";
  Key('H');
  EXPECT_TRUE(quillane::SceneDisplay().showHotspots) << "the toggle keys work over the tool";
  Press(330, 430);
  Release();
  Key(kEnter);
  ASSERT_NE(Window("Label"), nullptr);
  EXPECT_STREQ(Window("Label")->m_Value.get_string(), "Locator");
  EXPECT_TRUE(tool->HasFlag(base::WF_HIDDEN));
  Name("door");
  ASSERT_EQ(m_listener->events.size(), 1u);
  const base::Variant& answer = m_listener->events[0];
  const base::Variant& hotspot = answer[0];
  EXPECT_STREQ(answer.get_label(), "AddElement");
  EXPECT_STREQ(hotspot.get_label(), "HotSpot");
  base::tString<base::BaseString> category, label;
  answer.get_attribute_string("category", category);
  hotspot.get_attribute_string("label", label);
  EXPECT_EQ(std::string(category.c_str()), "HotSpots");
  EXPECT_EQ(std::string(label.c_str()), "door");
  const int kept[][2] = {{300, 200}, {500, 220}, {330, 430}};
  ASSERT_EQ(hotspot.size(), 3);
  for (int i = 0; i < 3; ++i) {
    const base::tVector2<float> own =
        m_scene->ScreenToScene(static_cast<float>(kept[i][0]), static_cast<float>(kept[i][1]));
    EXPECT_EQ(Float(hotspot[i], "x"), own.x) << i;
    EXPECT_EQ(Float(hotspot[i], "y"), own.y) << i;
  }
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));
  Step(0.0f);
  EXPECT_EQ(Modal(), nullptr);
}

TEST_F(PlaceTools, HotspotCancelAndEscapeSendNothingAndShowThePanelAgain) {
  Start(quillane::cl_PlaceHotspotTool::Create(m_listener));
  for (int i = 0; i < 3; ++i) {
    Press(300 + 50 * i, 300 + 20 * i);
    Release();
  }
  Key(kEnter);
  Step(0.0f);
  ASSERT_TRUE(Click("Cancel"));
  Step(0.0f);
  EXPECT_TRUE(m_listener->events.empty());
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(Modal(), nullptr);

  Start(quillane::cl_PlaceHotspotTool::Create(m_listener));
  Key(kEscape);
  Step(0.0f);
  EXPECT_TRUE(m_listener->events.empty());
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(Modal(), nullptr);
}

// ---- the light type dialog

TEST_F(PlaceTools, LightTypeDialogProposesAndHandsEachTypeOn) {
  auto* dialog = quillane::cl_SelectLightTypeDialog::Open(m_listener, "ambient");
  Gui()->AddModalWindow(dialog);
  Step(0.0f);
  EXPECT_EQ(Rows("LightTypeList"),
            (std::vector<std::string>{"ambient light", "directional light", "directional shadow", "blobb shadow"}));
  EXPECT_EQ(std::string(Window("LightTypeList")->GetSelectedLabel().c_str()), "ambient light");
  for (const char* other : {"", "directional", "Ambient"}) {
    quillane::cl_SelectLightTypeDialog proposed(m_listener, other);
    EXPECT_EQ(std::string(proposed.GetSelectedType().c_str()), "directional light") << other;
  }

  // "Ok" as opened: the browser lists the scene's pictures for an ambient light, which goes out
  // with its file and the panel shown.
  ASSERT_TRUE(Click("Ok"));
  Step(0.0f);
  auto* browser = dynamic_cast<quillane::cl_LoadImageDialog*>(Modal());
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(std::string(browser->GetMode().c_str()), "Lights");
  EXPECT_TRUE(m_listener->HasFlag(base::WF_HIDDEN));
  const std::vector<std::string> files = Rows("FileNames");
  ASSERT_FALSE(files.empty());
  ASSERT_TRUE(ClickEntry("FileNames", files[0].c_str()));
  ASSERT_TRUE(Click("Ok"));
  Step(0.0f);
  ASSERT_EQ(m_listener->events.size(), 1u);
  base::tString<base::BaseString> file, type;
  m_listener->events[0][0].get_attribute_string("file", file);
  m_listener->events[0][0].get_attribute_string("type", type);
  EXPECT_EQ(std::string(file.c_str()), files[0]);
  EXPECT_EQ(std::string(type.c_str()), "ambient");
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));

  // "blobb shadow" goes straight to the light tool with the whole light element.
  Gui()->AddModalWindow(quillane::cl_SelectLightTypeDialog::Open(m_listener, "directional"));
  Step(0.0f);
  ASSERT_TRUE(ClickEntry("LightTypeList", "blobb shadow"));
  ASSERT_TRUE(Click("Ok"));
  Step(0.0f);
  auto* tool = dynamic_cast<cl_PlaceLightTool*>(Modal());
  ASSERT_NE(tool, nullptr);
  EXPECT_TRUE(m_listener->HasFlag(base::WF_HIDDEN));
  base::Variant expected;
  expected.set_element("AddElement");
  expected.attribute("category")->set_string("Lights");
  base::Variant& light = expected.add_element("Light");
  light.attribute("type")->set_string("blobbshadow");
  light.attribute("label")->set_string("blobbshadow");
  for (const char* channel : {"color_r", "color_g", "color_b"}) light.attribute(channel)->set_int(100);
  light.attribute("color_a")->set_int(255);
  EXPECT_EQ(XmlText(tool->GetAnswer()), XmlText(expected));
  Key(kEscape);
  Step(0.0f);

  // "Cancel" leaves the opener as it was.
  Gui()->AddModalWindow(quillane::cl_SelectLightTypeDialog::Open(m_listener, "directional"));
  Step(0.0f);
  ASSERT_TRUE(Click("Cancel"));
  Step(0.0f);
  EXPECT_EQ(Modal(), nullptr);
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(m_listener->events.size(), 1u);
}

// ---- the light tool

cl_PlaceLightTool* ShadowTool(base::cl_Window* listener) {
  base::Variant answer;
  answer.set_element("AddElement");
  answer.attribute("category")->set_string("Lights");
  base::Variant& light = answer.add_element("Light");
  light.attribute("type")->set_string("blobbshadow");
  light.attribute("label")->set_string("blobbshadow");
  return cl_PlaceLightTool::Create(listener, answer);
}

TEST_F(PlaceTools, LightToolDragsOverTheFloorLiftsTurnsAndSendsItsDirection) {
  auto* tool = Start(ShadowTool(m_listener));
  Key(kEnter);
  EXPECT_EQ(Modal(), tool) << "Enter before the first drag does nothing";

  Press(500, 420);
  Step(0.0f);
  const tV3 floor = OwnPick(500, 420);
  ASSERT_TRUE(tool->IsPlaced());
  EXPECT_EQ(tool->GetLocator().GetPos().x, floor.x);
  EXPECT_EQ(tool->GetLocator().GetPos().z, floor.z);
  EXPECT_EQ(tool->GetLocator().GetPos().y, 0.0f) << "the height stays";
  Release();

  // Shift held over a left drag: only the height, by the vertical motion.
  Hold(kScanShift, true);
  const tV3 before = tool->GetLocator().GetPos();
  Press(500, 420);
  Mouse(base::ICMD::MOUSE_MOVE, 560, 380, 60, -40, base::ICMD::MOD_SHIFT);
  Step(0.0f);
  Release();
  Hold(kScanShift, false);
  EXPECT_EQ(tool->GetLocator().GetPos().x, before.x);
  EXPECT_EQ(tool->GetLocator().GetPos().z, before.z);
  EXPECT_EQ(tool->GetLocator().GetPos().y, before.y + 40.0f);

  // The right drag turns; past pi the yaw comes round from the other end.
  Press(500, 420, false);
  Mouse(base::ICMD::MOUSE_MOVE, 540, 440, 400, 20);
  Release(false);
  const float pi = std::numbers::pi_v<float>;
  EXPECT_FLOAT_EQ(tool->GetYaw(), 4.0f - 2.0f * pi);
  EXPECT_FLOAT_EQ(tool->GetPitch(), 0.2f);

  // A pick that meets no floor leaves the light: the camera looks up at the sky.
  const base::cl_Camera saved = m_scene->GetCamera();
  m_scene->GetCamera().TurnUp(1.2f);
  const tV3 placed = tool->GetLocator().GetPos();
  tV3 none;
  ASSERT_FALSE(m_scene->PickRay(300.0f, 200.0f, none));
  Press(300, 200);
  Step(0.0f);
  Release();
  EXPECT_EQ(tool->GetLocator().GetPos().x, placed.x);
  EXPECT_EQ(tool->GetLocator().GetPos().z, placed.z);
  m_scene->GetCamera() = saved;

  // D keeps the position out, P puts it in; the answer's type stays the dialog's.
  Key('D');
  Key('P');
  Key(kEnter);
  ASSERT_EQ(m_listener->events.size(), 1u);
  const base::Variant& light = m_listener->events[0][0];
  base::cl_Locator own;
  own.SetOrientation(base::Quaternion().set_yaw_pitch_roll(4.0f - 2.0f * pi, 0.2f, 0.0f));
  const tV3 look = own.GetLookDir();
  EXPECT_FLOAT_EQ(Float(light, "nx"), look.x);
  EXPECT_FLOAT_EQ(Float(light, "ny"), look.y);
  EXPECT_FLOAT_EQ(Float(light, "nz"), look.z);
  EXPECT_EQ(Float(light, "x"), placed.x);
  EXPECT_EQ(Float(light, "y"), placed.y);
  EXPECT_EQ(Float(light, "z"), placed.z);
  base::tString<base::BaseString> type;
  light.get_attribute_string("type", type);
  EXPECT_EQ(std::string(type.c_str()), "blobbshadow");
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));

  // Without P: the direction only. A: an ambient light with neither, at once.
  tool = Start(ShadowTool(m_listener));
  Press(500, 420);
  Step(0.0f);
  Release();
  Key(kEnter);
  ASSERT_EQ(m_listener->events.size(), 2u);
  EXPECT_TRUE(std::isnan(Float(m_listener->events[1][0], "x")));
  EXPECT_FALSE(std::isnan(Float(m_listener->events[1][0], "nx")));
  Start(ShadowTool(m_listener));
  Key('A');
  ASSERT_EQ(m_listener->events.size(), 3u);
  m_listener->events[2][0].get_attribute_string("type", type);
  EXPECT_EQ(std::string(type.c_str()), "ambient");
  EXPECT_TRUE(std::isnan(Float(m_listener->events[2][0], "nx")));
}

// ---- the locator tool

TEST_F(PlaceTools, LocatorOneClickIsTheOwnRayHitAndAPathStandsAtItsMean) {
  auto* tool = Start(cl_PlaceLocatorTool::Open(m_listener));
  Key(kEnter);
  Key(kSpace);
  EXPECT_EQ(Modal(), tool) << "Enter and Space without a click do nothing";
  ClickFrame(500, 420);
  const tV3 hit = OwnPick(500, 420);
  Key(kEnter);
  Name("door_walk");
  ASSERT_EQ(m_listener->events.size(), 1u);
  const base::Variant& one = m_listener->events[0][0];
  EXPECT_EQ(one.size(), 0) << "one point is no path";
  EXPECT_EQ(Float(one, "x"), hit.x);
  EXPECT_EQ(Float(one, "y"), hit.y);
  EXPECT_EQ(Float(one, "z"), hit.z);
  EXPECT_EQ(Float(one, "pitch"), 0.0f);
  EXPECT_EQ(Float(one, "roll"), 0.0f);
  EXPECT_FALSE(std::isnan(Float(one, "yaw")));

  Start(cl_PlaceLocatorTool::Open(m_listener));
  ClickFrame(400, 420);
  const tV3 a = OwnPick(400, 420);
  Key(kSpace);
  ClickFrame(600, 450);
  const tV3 b = OwnPick(600, 450);
  Key(kSpace);
  Key(kEnter);
  Name("path");
  ASSERT_EQ(m_listener->events.size(), 2u);
  const base::Variant& path = m_listener->events[1][0];
  ASSERT_EQ(path.size(), 3) << "the last point again, as Enter keeps it";
  const tV3 points[] = {a, b, b};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Float(path[i], "x"), points[i].x) << i;
    EXPECT_EQ(Float(path[i], "z"), points[i].z) << i;
  }
  const tV3 mean = (a + b + b) * (1.0f / 3.0f);
  EXPECT_FLOAT_EQ(Float(path, "x"), mean.x);
  EXPECT_FLOAT_EQ(Float(path, "y"), mean.y);
  EXPECT_FLOAT_EQ(Float(path, "z"), mean.z);
}

// The camera flies a step a frame (four with Shift) and is the scene's own again, to the bit,
// once the tool has gone.
TEST_F(PlaceTools, LocatorFlightStepsAndTheSceneCameraComesBackUnchanged) {
  const base::cl_Camera before = m_scene->GetCamera();
  auto* tool = Start(cl_PlaceLocatorTool::Open(m_listener));
  const auto flown = [&] {
    const tV3 from = tool->GetWorkingCamera().GetPos();
    Hold(kScanW, true, 0.1f);
    Hold(kScanW, false);
    const tV3 d = tool->GetWorkingCamera().GetPos() + from * -1.0f;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
  };
  EXPECT_NEAR(flown(), 1.0f, 1e-3f);
  Hold(kScanShift, true);
  EXPECT_NEAR(flown(), 4.0f, 1e-3f);
  Hold(kScanShift, false);
  EXPECT_NE(std::memcmp(&m_scene->GetCamera().GetPos(), &before.GetPos(), sizeof(tV3)), 0)
      << "the scene is seen from the flown camera";
  Key(kEscape);
  Step(0.0f);
  EXPECT_EQ(Modal(), nullptr);
  EXPECT_TRUE(m_listener->events.empty());
  const base::cl_Camera& after = m_scene->GetCamera();
  EXPECT_EQ(std::memcmp(&after.GetPos(), &before.GetPos(), sizeof(tV3)), 0);
  EXPECT_EQ(std::memcmp(&after.GetOrientation(), &before.GetOrientation(), sizeof(base::Quaternion)), 0);
  float r0[4], r1[4];
  after.GetViewportRect(r0[0], r0[1], r0[2], r0[3]);
  before.GetViewportRect(r1[0], r1[1], r1[2], r1[3]);
  EXPECT_EQ(std::memcmp(r0, r1, sizeof r0), 0);
  after.GetViewportCenter(r0[0], r0[1]);
  before.GetViewportCenter(r1[0], r1[1]);
  EXPECT_EQ(std::memcmp(r0, r1, 2 * sizeof(float)), 0);
  EXPECT_EQ(after.GetZoom(), before.GetZoom());
}

// ---- the panel's "Add"

TEST_F(PlaceTools, PanelAddOpensEachToolAndTheAnswersReachTheProjectFile) {
  ASSERT_TRUE(Menu("Editor"));
  Step(0.0f);
  auto* panel = dynamic_cast<quillane::cl_SceneEditorPanel*>(Gui()->FindChild(quillane::cl_SceneEditorPanel::kLabel));
  ASSERT_NE(panel, nullptr);
  const auto add = [&](const char* group) {
    base::cl_Window* tree = panel->FindByLabel("ResourceList");
    tree->ClearSelection();
    panel->FindByLabel("ClientWindow")->FindByLabel(group)->SetFlag(base::WF_SELECTED, true);
    base::Variant button;
    button.set_element("ButtonPressed");
    button.attribute("ctrl_label")->set_string("Add");
    panel->ProcessEvent(button);
    Step(0.0f);
    return Modal();
  };
  EXPECT_NE(dynamic_cast<quillane::cl_PlaceHotspotTool*>(add("HotSpots")), nullptr);
  EXPECT_TRUE(panel->HasFlag(base::WF_HIDDEN));
  for (int i = 0; i < 3; ++i) {
    Press(300 + 60 * i, 300 + 40 * (i % 2));
    Release();
  }
  Key(kEnter);
  Name("crate");
  EXPECT_FALSE(panel->HasFlag(base::WF_HIDDEN));

  // The Office has its ambient light: a new one is proposed as directional.
  auto* dialog = dynamic_cast<quillane::cl_SelectLightTypeDialog*>(add("Lights"));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(std::string(dialog->GetSelectedType().c_str()), "directional light");
  EXPECT_FALSE(panel->HasFlag(base::WF_HIDDEN)) << "the dialog opens over the panel";
  ASSERT_TRUE(Click("Cancel"));
  Step(0.0f);

  EXPECT_NE(dynamic_cast<cl_PlaceLocatorTool*>(add("Locators")), nullptr);
  ClickFrame(500, 420);
  Key(kEnter);
  Name("door_walk");
  Step(0.0f);
  const std::string project = ReadText("Scenes/Office/ProjectFile.xml");
  EXPECT_NE(project.find("<HotSpot label=\"crate\""), std::string::npos);
  EXPECT_NE(project.find("label=\"door_walk\""), std::string::npos);
  EXPECT_NE(m_scene->FindHotspot("crate"), nullptr);
  EXPECT_NE(m_scene->FindLocator("door_walk"), nullptr);
}

// ---- pixels

// Every segment of the path has the path colour where the test's own projection puts its middle.
TEST_F(PlaceTools, LocatorPathSegmentsAreDrawnInThePathColour) {
  Start(cl_PlaceLocatorTool::Open(m_listener));
  const int clicks[][2] = {{300, 400}, {520, 460}, {700, 380}};
  for (const auto& c : clicks) {
    ClickFrame(c[0], c[1]);
    Key(kSpace);
  }
  ClickFrame(820, 470);
  Mouse(base::ICMD::MOUSE_MOVE, 10, 10);
  Step(0.0f);
  std::vector<tV3> ends;
  for (const auto& c : clicks) ends.push_back(OwnPick(c[0], c[1]));
  ends.push_back(OwnPick(820, 470));
  m_scene->GetCamera().GetProjectionMatrix();
  for (size_t i = 1; i < ends.size(); ++i) {
    const tV3 a = m_scene->GetCamera().World2Screen(ends[i - 1]), b = m_scene->GetCamera().World2Screen(ends[i]);
    const int mx = static_cast<int>(std::lround((a.x + b.x) / 2)), my = static_cast<int>(std::lround((a.y + b.y) / 2));
    bool found = false;
    for (int dy = -1; dy <= 1 && !found; ++dy)
      for (int dx = -1; dx <= 1 && !found; ++dx) found = testsupport::RgbNear(Pixel(mx + dx, my + dy), 0x6464FF, 8);
    EXPECT_TRUE(found) << "segment " << i << " at (" << mx << ", " << my << "): " << std::hex << Pixel(mx, my);
  }
}

// The heading and tilt gizmos of a placed, turned light, against the reviewed picture.
TEST_F(PlaceTools, LightGizmosMatchTheReviewedPicture) {
  auto* tool = Start(ShadowTool(m_listener));
  Press(512, 440);
  Step(0.0f);
  Release();
  Press(512, 440, false);
  Mouse(base::ICMD::MOUSE_MOVE, 512, 440, 70, -50);
  Release(false);
  Mouse(base::ICMD::MOUSE_MOVE, 10, 10);
  Step(0.0f);
  ASSERT_TRUE(tool->IsPlaced());
  m_scene->GetCamera().GetProjectionMatrix();
  const tV3 at = m_scene->GetCamera().World2Screen(tool->GetLocator().GetPos());
  constexpr int kSize = 160;
  const int x0 = static_cast<int>(at.x) - kSize / 2, y0 = static_cast<int>(at.y) - kSize / 2;
  std::vector<uint32_t> crop;
  for (int y = y0; y < y0 + kSize; ++y)
    for (int x = x0; x < x0 + kSize; ++x) crop.push_back(Pixel(x, y));
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/light_gizmos.png", crop, kSize, kSize));
}

}  // namespace
}  // namespace editortest
