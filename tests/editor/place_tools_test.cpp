// The scene editor's placement tools on a copy of the Office, modal in the system GUI and driven
// through it: the hotspot outline and its name, the light type dialog's hand-offs, the light
// tool's drags and keys, the locator tool's picks, path, flight and camera; the path and the
// light gizmos as drawn. (The panel's "Add" reaching each tool is the editor_tools road's.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "../support/GoldenImage.h"
#include "base/app/Device.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/text/Text.h"
#include "editor_fixture.h"
#include "graphics/draw/Draw.h"
#include "quillane/editor/LoadImageDialog.h"
#include "quillane/editor/PlaceHotspotTool.h"
#include "quillane/editor/PlaceLightTool.h"
#include "quillane/editor/PlaceLocatorTool.h"
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

constexpr uint8_t kScanW = 0x11, kScanShift = 0x2A;

float Float(const base::Variant& v, const char* name) {
  float value = NAN;
  v.get_attribute_float(name, value);
  return value;
}

std::string String(const base::Variant& v, const char* name) {
  base::tString<base::BaseString> text;
  v.get_attribute_string(name, text);
  return text.c_str();
}

// The light type dialog's answer for a blobb shadow (with its grey colour, or without).
base::Variant ShadowAnswer(bool coloured) {
  base::Variant answer;
  answer.set_element("AddElement");
  answer.attribute("category")->set_string("Lights");
  base::Variant& light = answer.add_element("Light");
  light.attribute("type")->set_string("blobbshadow");
  light.attribute("label")->set_string("blobbshadow");
  for (const char* channel : {"color_r", "color_g", "color_b", "color_a"})
    if (coloured) light.attribute(channel)->set_int(channel[6] == 'a' ? 255 : 100);
  return answer;
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
  void Click(int x, int y) {
    Press(x, y);
    Release();
  }
  using EditorTest::Click;
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
  for (const auto& c : {std::pair{300, 200}, {500, 220}, {480, 400}, {320, 420}}) Click(c.first, c.second);
  Key(base::key::Backspace);
  Key(base::key::Backspace);
  Key(base::key::Enter);
  EXPECT_EQ(Modal(), tool) << "two corners are no outline";
  Key('H');
  EXPECT_TRUE(quillane::SceneDisplay().showHotspots) << "the toggle keys work over the tool";
  Click(330, 430);
  Key(base::key::Enter);
  ASSERT_NE(Window("Label"), nullptr);
  EXPECT_STREQ(Window("Label")->m_Value.get_string(), "Hotspot");
  Name("door");
  ASSERT_EQ(m_listener->events.size(), 1u);
  const base::Variant& hotspot = m_listener->events[0][0];
  EXPECT_EQ(String(m_listener->events[0], "category") + String(hotspot, "label"), "HotSpotsdoor");
  const int kept[][2] = {{300, 200}, {500, 220}, {330, 430}};
  ASSERT_EQ(hotspot.size(), 3);
  for (int i = 0; i < 3; ++i) {
    const base::tVector2<float> own = m_scene->ScreenToScene(float(kept[i][0]), float(kept[i][1]));
    EXPECT_EQ(Float(hotspot[i], "x"), own.x) << i;
    EXPECT_EQ(Float(hotspot[i], "y"), own.y) << i;
  }
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));

  // Cancelling the name drops the outline and shows the panel again.
  Start(quillane::cl_PlaceHotspotTool::Create(m_listener));
  for (int i = 0; i < 3; ++i) Click(300 + 50 * i, 300 + 20 * i);
  Key(base::key::Enter);
  Step(0.0f);
  ASSERT_TRUE(Click("Cancel"));
  Step(0.0f);
  EXPECT_EQ(m_listener->events.size(), 1u);
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(Modal(), nullptr);
}

// ---- the light type dialog

TEST_F(PlaceTools, LightTypeDialogProposesAndHandsEachTypeOn) {
  for (const char* other : {"", "directional", "Ambient"})
    EXPECT_EQ(std::string(quillane::cl_SelectLightTypeDialog(m_listener, other).GetSelectedType().c_str()),
              "directional light")
        << other;
  Gui()->AddModalWindow(quillane::cl_SelectLightTypeDialog::Open(m_listener, "ambient"));
  Step(0.0f);
  EXPECT_EQ(Rows("LightTypeList"),
            (std::vector<std::string>{"ambient light", "directional light", "directional shadow", "blobb shadow"}));
  EXPECT_EQ(std::string(Window("LightTypeList")->GetSelectedLabel().c_str()), "ambient light");

  // "Ok" as opened: the browser lists the scene's pictures; the ambient light goes out with its file.
  ASSERT_TRUE(Click("Ok"));
  Step(0.0f);
  auto* browser = dynamic_cast<quillane::cl_LoadImageDialog*>(Modal());
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(std::string(browser->GetMode().c_str()), "Lights");
  EXPECT_TRUE(m_listener->HasFlag(base::WF_HIDDEN));
  ASSERT_TRUE(ClickEntry("FileNames", "light_office.tga"));
  ASSERT_TRUE(Click("Ok"));
  ASSERT_EQ(m_listener->events.size(), 1u);
  EXPECT_EQ(String(m_listener->events[0][0], "file") + String(m_listener->events[0][0], "type"),
            "light_office.tgaambient");
  // Its colour, which it lights in where no picture gives one, shows a character: no channel dark.
  for (const char* channel : {"color_r", "color_g", "color_b", "color_a"}) {
    int value = 0;
    EXPECT_TRUE(m_listener->events[0][0].get_attribute_int(channel, value) && value >= 100) << channel << " " << value;
  }
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));

  // "blobb shadow" goes straight to the light tool with the whole light element.
  Gui()->AddModalWindow(quillane::cl_SelectLightTypeDialog::Open(m_listener, "directional"));
  Step(0.0f);
  ASSERT_TRUE(ClickEntry("LightTypeList", "blobb shadow"));
  ASSERT_TRUE(Click("Ok"));
  auto* tool = dynamic_cast<cl_PlaceLightTool*>(Modal());
  ASSERT_NE(tool, nullptr);
  EXPECT_TRUE(m_listener->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(XmlText(tool->GetAnswer()), XmlText(ShadowAnswer(true)));
}

// ---- the light tool

TEST_F(PlaceTools, LightToolDragsOverTheFloorLiftsTurnsAndSendsItsDirection) {
  auto* tool = Start(cl_PlaceLightTool::Create(m_listener, ShadowAnswer(false)));
  Key(base::key::Enter);
  EXPECT_EQ(Modal(), tool) << "Enter before the first drag does nothing";
  Press(500, 420);
  Step(0.0f);
  Release();
  const tV3 floor = OwnPick(500, 420);
  ASSERT_TRUE(tool->IsPlaced());
  EXPECT_EQ(tool->GetLocator().GetPos(), tV3(floor.x, 0.0f, floor.z));

  // Shift held over a left drag: only the height, by the vertical motion.
  Hold(kScanShift, true);
  Press(500, 420);
  Mouse(base::ICMD::MOUSE_MOVE, 560, 380, 60, -40, base::ICMD::MOD_SHIFT);
  Step(0.0f);
  Release();
  Hold(kScanShift, false);
  const tV3 placed(floor.x, 40.0f, floor.z);
  EXPECT_EQ(tool->GetLocator().GetPos(), placed);

  // The right drag turns; past pi the yaw comes round from the other end.
  const float pi = std::numbers::pi_v<float>;
  Press(500, 420, false);
  Mouse(base::ICMD::MOUSE_MOVE, 540, 440, 400, 20);
  Release(false);
  EXPECT_FLOAT_EQ(tool->GetYaw(), 4.0f - 2.0f * pi);
  EXPECT_FLOAT_EQ(tool->GetPitch(), 0.2f);

  // A pick that meets no floor leaves the light: the camera looks up at the sky.
  const base::cl_Camera saved = m_scene->GetCamera();
  m_scene->GetCamera().TurnUp(1.2f);
  tV3 none;
  ASSERT_FALSE(m_scene->PickRay(300.0f, 200.0f, none));
  Press(300, 200);
  Step(0.0f);
  Release();
  EXPECT_EQ(tool->GetLocator().GetPos(), placed);
  m_scene->GetCamera() = saved;

  // D and P leave the answer's type as the dialog gave it, and no position goes out with it.
  Key('D');
  Key('P');
  Key(base::key::Enter);
  ASSERT_EQ(m_listener->events.size(), 1u);
  const base::Variant& light = m_listener->events[0][0];
  base::cl_Locator own;
  own.SetOrientation(base::Quaternion().set_yaw_pitch_roll(4.0f - 2.0f * pi, 0.2f, 0.0f));
  EXPECT_FLOAT_EQ(Float(light, "nx"), own.GetLookDir().x);
  EXPECT_FLOAT_EQ(Float(light, "ny"), own.GetLookDir().y);
  EXPECT_FLOAT_EQ(Float(light, "nz"), own.GetLookDir().z);
  EXPECT_TRUE(std::isnan(Float(light, "x")));
  EXPECT_EQ(String(light, "type"), "blobbshadow");
  EXPECT_FALSE(m_listener->HasFlag(base::WF_HIDDEN));

  // A: an ambient light at once, without position or direction.
  Start(cl_PlaceLightTool::Create(m_listener, ShadowAnswer(false)));
  Key('A');
  ASSERT_EQ(m_listener->events.size(), 2u);
  EXPECT_EQ(String(m_listener->events[1][0], "type"), "ambient");
  EXPECT_TRUE(std::isnan(Float(m_listener->events[1][0], "nx")));
}

// ---- the locator tool

TEST_F(PlaceTools, LocatorOneClickIsTheOwnRayHitAndAPathStandsAtItsMean) {
  auto* tool = Start(cl_PlaceLocatorTool::Open(m_listener));
  Key(base::key::Enter);
  Key(base::key::Space);
  EXPECT_EQ(Modal(), tool) << "Enter and Space without a click do nothing";
  Click(500, 420);  // press and release in one frame: still a click
  Step(0.0f);
  const tV3 hit = OwnPick(500, 420);
  Key(base::key::Enter);
  Name("door_walk");
  ASSERT_EQ(m_listener->events.size(), 1u);
  const base::Variant& one = m_listener->events[0][0];
  EXPECT_EQ(one.size(), 0) << "one point is no path";
  EXPECT_EQ(tV3(Float(one, "x"), Float(one, "y"), Float(one, "z")), hit);
  EXPECT_EQ(Float(one, "pitch") + Float(one, "roll"), 0.0f);

  Start(cl_PlaceLocatorTool::Open(m_listener));
  ClickFrame(400, 420);
  Key(base::key::Space);
  ClickFrame(600, 450);
  Key(base::key::Space);
  Key(base::key::Enter);
  Name("path");
  ASSERT_EQ(m_listener->events.size(), 2u);
  const base::Variant& path = m_listener->events[1][0];
  const tV3 a = OwnPick(400, 420), b = OwnPick(600, 450);
  ASSERT_EQ(path.size(), 3) << "the last point again, as Enter keeps it";
  const tV3 points[] = {a, b, b};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(tV3(Float(path[i], "x"), Float(path[i], "y"), Float(path[i], "z")), points[i]);
  const tV3 mean = (a + b + b) * (1.0f / 3.0f);
  EXPECT_FLOAT_EQ(Float(path, "x"), mean.x);
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
  EXPECT_NE(m_scene->GetCamera().GetPos(), before.GetPos()) << "the scene is seen from the flown camera";
  EXPECT_EQ(OutsideTheWindow(), std::vector<std::string>{}) << "the key help whole in the window";
  Key(base::key::Escape);
  Step(0.0f);
  EXPECT_EQ(Modal(), nullptr);
  EXPECT_TRUE(m_listener->events.empty());
  const base::cl_Camera& after = m_scene->GetCamera();
  float r[2][8];
  for (const auto& [camera, out] : {std::pair{&after, r[0]}, {&before, r[1]}}) {
    camera->GetViewportRect(out[0], out[1], out[2], out[3]);
    camera->GetViewportCenter(out[4], out[5]);
    out[6] = camera->GetZoom(), out[7] = camera->GetFieldOfView();
  }
  EXPECT_EQ(std::memcmp(r[0], r[1], sizeof r[0]), 0);
  EXPECT_EQ(std::memcmp(&after.GetPos(), &before.GetPos(), sizeof(tV3)), 0);
  EXPECT_EQ(std::memcmp(&after.GetOrientation(), &before.GetOrientation(), sizeof(base::Quaternion)), 0);
}

// ---- pixels

// Every segment of the path has the path colour where the test's own projection puts its middle.
// In a scene without a nav mesh (no camera of its own) a press places nothing and each tool says
// so in the window instead of doing nothing in silence.
TEST_F(PlaceTools, WithoutANavMeshAPressThatFindsNoFloorIsNamedInTheWindow) {
  std::filesystem::create_directories(m_data / "Scenes/Bare");
  m_scene = Open("Bare");
  ASSERT_NE(m_scene, nullptr);
  ASSERT_TRUE(m_scene->NavMeshes.empty());
  std::vector<gfx::st_DrawnText> texts;
  auto missed = [&] {
    texts.clear();
    gfx::TraceDrawnText(&texts);
    Step(0.0f);
    gfx::TraceDrawnText(nullptr);
    for (const gfx::st_DrawnText& t : texts)
      if (t.text.starts_with("No floor under the pointer") && t.right <= kWidth) return true;
    return false;
  };
  for (bool light : {true, false}) {
    SCOPED_TRACE(light ? "light" : "locator");
    base::cl_Window* tool =
        light ? static_cast<base::cl_Window*>(quillane::cl_PlaceLightTool::Create(m_listener, ShadowAnswer(false)))
              : quillane::cl_PlaceLocatorTool::Open(m_listener);
    Start(tool);
    EXPECT_FALSE(missed());
    ClickFrame(500, 400);
    EXPECT_TRUE(missed());
    if (light) {
      EXPECT_FALSE(static_cast<quillane::cl_PlaceLightTool*>(tool)->IsPlaced());
    } else {
      EXPECT_FALSE(static_cast<quillane::cl_PlaceLocatorTool*>(tool)->IsPositionSet());
    }
    Key(base::key::Escape);
    Step(0.0f);
  }
}

// Each tool names a refused Enter in the window (too few corners, nothing placed yet) until the
// next click places something, on a backing of its own over the scene picture; the light tool's
// type row and key help keep off the scene's own lines at the viewport's top.
TEST_F(PlaceTools, ARefusedEnterIsNamedAndTheLightToolKeepsOffTheScenesLines) {
  std::vector<gfx::st_DrawnText> texts;
  auto shows = [&](const std::string& start) {
    texts.clear();
    gfx::TraceDrawnText(&texts);
    Step(0.0f);
    gfx::TraceDrawnText(nullptr);
    return std::any_of(texts.begin(), texts.end(),
                       [&](const gfx::st_DrawnText& t) { return t.text.starts_with(start); });
  };
  Start(quillane::cl_PlaceHotspotTool::Create(m_listener));
  ClickFrame(500, 300);
  ClickFrame(600, 300);
  Key(base::key::Enter);
  EXPECT_TRUE(shows("Enter names a hotspot of 3 corners or more: it has 2"));
  ClickFrame(600, 400);
  EXPECT_FALSE(shows("Enter names a hotspot"));
  Key(base::key::Escape);
  Step(0.0f);

  Start(quillane::cl_PlaceLocatorTool::Open(m_listener));
  Key(base::key::Enter);
  EXPECT_TRUE(shows("Enter names the locator once it stands somewhere"));
  // Around its letters the line's box is the backing's dark grey, not the scene picture.
  int lines = 0;
  for (const gfx::st_DrawnText& t : texts) {
    if (!t.text.starts_with("Enter names the locator")) continue;
    ++lines;
    int backing = 0, all = 0;
    for (int y = static_cast<int>(t.top); y < static_cast<int>(t.bottom); ++y)
      for (int x = static_cast<int>(t.left); x < static_cast<int>(t.right); ++x, ++all)
        backing += Pixel(x, y) == 0x191919u ? 1 : 0;
    EXPECT_GT(backing, all / 2) << backing << " of " << all;
  }
  EXPECT_EQ(lines, 1);
  Key(base::key::Escape);
  Step(0.0f);

  auto* light = Start(cl_PlaceLightTool::Create(m_listener, ShadowAnswer(false)));
  Key(base::key::Enter);
  EXPECT_TRUE(shows("Enter adds the light once it stands somewhere"));
  EXPECT_FALSE(light->IsPlaced());
  // The row shows the type Enter adds, whatever D and P say; P is refused with a word.
  for (uint8_t key : {'D', 'P'}) {
    Key(key);
    EXPECT_TRUE(shows("current type=blobbshadow")) << key;
    EXPECT_EQ(shows("No point lights here: Enter adds the light as blobbshadow"), key == 'P') << key;
  }
  EXPECT_TRUE(shows("Left drag: on the floor")) << "the key help";
  // The scene's name and clip lines: nothing else is drawn over their box.
  const auto isSceneLine = [](const gfx::st_DrawnText& t) {
    return t.text.starts_with("Scene: ") || t.text.starts_with("near_z") || t.text.starts_with("far_z");
  };
  float top = 1e9f, bottom = 0.0f, right = 0.0f;
  for (const gfx::st_DrawnText& t : texts)
    if (isSceneLine(t)) top = std::min(top, t.top), bottom = std::max(bottom, t.bottom), right = std::max(right, t.right);
  ASSERT_LT(top, bottom);
  for (const gfx::st_DrawnText& t : texts)
    EXPECT_TRUE(isSceneLine(t) || t.bottom <= top || t.top >= bottom || t.left >= right) << t.text;
}

TEST_F(PlaceTools, LocatorPathSegmentsAreDrawnInThePathColour) {
  Start(cl_PlaceLocatorTool::Open(m_listener));
  const int clicks[][2] = {{300, 400}, {520, 460}, {700, 380}};
  for (const auto& c : clicks) {
    ClickFrame(c[0], c[1]);
    Key(base::key::Space);
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
  auto* tool = Start(cl_PlaceLightTool::Create(m_listener, ShadowAnswer(false)));
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
