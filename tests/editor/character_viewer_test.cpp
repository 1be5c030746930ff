// The character viewer on the demo figures: its rows, folders and scroll bar, the clip player's
// fades, the material script import, and the actor list written, read back and edited.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../session/session_input_fixture.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "editor_fixture.h"
#include "graphics/draw/Draw.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Pose.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/CharacterList.h"
#include "quillane/editor/CharacterViewer.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SetupCharacterDialog.h"
#include "quillane/editor/SimpleWindow.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "support/ChildProcess.h"
#include "support/CountingFont.h"
#include "support/ScratchFolder.h"
#include "win32dx9/Platform.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace fs = std::filesystem;
using quillane::cl_CharacterViewer;
using quillane::cl_CharacterViewerAnimCtrl;
using quillane::cl_SetupCharacterDialog;
using quillane::cl_SimpleWindow;
using tText = base::tString<base::BaseString>;

namespace {

// ---- the material script, on bytes

base::Variant NewCharacter() {
  base::Variant c;
  c.set_element("Character");
  c.add_element("Mesh");
  c.add_element("Skeleton");
  return c;
}

std::string Attr(const base::Variant& v, const char* name) {
  tText t;
  v.get_attribute_string(name, t);
  return t.c_str();
}

// "label:texture[:alpha]" per material, then "label=file" per texture.
std::string Summary(const base::Variant& c) {
  std::string out;
  const base::Variant* mesh = c.get_element("Mesh");
  for (int i = 0; mesh && i < mesh->size(); ++i)
    out += Attr((*mesh)[i], "label") + ":" + Attr((*mesh)[i], "texture") +
           ((*mesh)[i].get_attribute("alpha") ? ":alpha" : "") + " ";
  for (int i = 0; i < c.size(); ++i)
    if (std::string(c[i].get_label() ? c[i].get_label() : "") == "Texture")
      out += Attr(c[i], "label") + "=" + Attr(c[i], "file") + " ";
  return out;
}

std::string Import(const std::string& script) {
  base::Variant c = NewCharacter();
  quillane::ImportMaterialScriptText(c, script.data(), static_cast<int>(script.size()), "characters/x");
  return Summary(c);
}

TEST(MaterialScript, SharedTexturesBlendsAndCommasAreReadAsTheFigureScriptsWriteThem) {
  const std::string script =
      "material skin\n{\n  technique\n  {\n    pass\n    {\n      texture_unit\n      {\n"
      "        texture body.tga\n      }\n    }\n  }\n}\n"
      "material cloth, extra words\n{\n\ttexture body.tga\n}\n"
      "material hair\n{\n  scene_blend alpha_blend\n  texture hair.tga\n}\n"
      "material bare\n{\n}\n"
      "material last\n  texture last.tga";  // no final line break: still read
  EXPECT_EQ(Import(script),
            "skin:texture0 cloth:texture0 hair:texture1:alpha bare:texture2 last:texture3 "
            "texture0=characters/x/body.tga texture1=characters/x/hair.tga texture2=characters/x/ "
            "texture3=characters/x/last.tga ");
}

TEST(MaterialScript, LineBreaksAndLongLinesDoNotChangeTheResult) {
  const std::string lf = "material a\ntexture t.tga\nmaterial b\nscene_blend add\ntexture u.tga\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(Import(crlf), Import(lf));
  // A line past 255 characters stays one line: its tail is no "material" line of its own.
  const std::string longLine = "// " + std::string(290, 'x') + " material ghost\n";
  EXPECT_EQ(Import(longLine + lf), Import(lf));
  EXPECT_EQ(Import("texture early.tga\nscene_blend\n"), "");
}

// ---- the viewer on the editor

class CharacterViewerTest : public editortest::EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    CopyFromData("characters");
    CopyFromData("Shader");
    base::RegisterSkeletonResourceType();  // the Ogre XML importers of the figures
    m_registry = quillane::GetActorRegistry();
    ASSERT_NE(m_registry, nullptr);
    ASSERT_TRUE(m_registry->LoadActorList(quillane::kCharacterListFile));
  }

  cl_CharacterViewer* OpenViewer() {
    if (!Menu("CharacterViewer")) return nullptr;
    Step();
    return FindViewer();
  }
  cl_CharacterViewer* FindViewer() const {
    for (base::cl_Window* w : m_frame->GetSystemGUI()->m_Children)
      if (auto* v = dynamic_cast<cl_CharacterViewer*>(w)) return v;
    return nullptr;
  }
  // The setup dialog the viewer opens for a new character of that name.
  cl_SetupCharacterDialog* AddCharacter(cl_CharacterViewer* viewer, const char* name) {
    base::Variant add;
    add.set_element("AddCharacter");
    add.attribute("name")->set_string(name);
    viewer->ProcessEvent(add);
    Step();
    base::cl_Window* list = Window("MeshList");
    return list ? dynamic_cast<cl_SetupCharacterDialog*>(list->GetPanel()) : nullptr;
  }
  static cl_SimpleWindow* Row(cl_CharacterViewer* v, const char* text) {
    for (base::cl_Window* w : v->m_Children)
      if (w->m_Text == text) return static_cast<cl_SimpleWindow*>(w);
    return nullptr;
  }
  int LeftRows(cl_CharacterViewer* v) const {
    int n = 0;
    for (base::cl_Window* w : v->m_Children) n += w->m_Rect.x < 100.0f;
    return n;
  }
  std::string ListText() const { return ReadText(quillane::kCharacterListFile); }
  // The key state is polled by the input device; the frame steps here do not poll it.
  void HoldScan(uint8_t scan, bool down) {
    win32dx9::GetPlatform()->GetInputQueue().Key(scan, down, 0);
    m_system->GetInputDevice()->Update(m_time, 0.0f);
  }

  // The platform queue's records polled by the input device, its commands handed to the frame.
  void Poll() {
    base::i_InputDevice* device = m_system->GetInputDevice();
    device->Update(m_time, 0.0f);
    base::ICMD cmd;
    while (device->PopCommand(cmd)) Input(cmd);
  }

  quillane::cl_ActorRegistry* m_registry = nullptr;
};

TEST_F(CharacterViewerTest, OpensOnQuillaneWithItsRowsOverTheViewAndEscapeClosesIt) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(std::string(viewer->GetCurrentLabel().c_str()), "Quillane_EveningDress");
  ASSERT_NE(Row(viewer, "Characters"), nullptr);
  EXPECT_EQ(Row(viewer, "Characters")->m_Rect.y, 40.0f);
  EXPECT_EQ(Row(viewer, "Characters")->style, cl_SimpleWindow::STYLE_FOLDER_OPEN);
  EXPECT_EQ(Row(viewer, "Animations")->style, cl_SimpleWindow::STYLE_FOLDER_CLOSED);
  ASSERT_NE(Row(viewer, "odo"), nullptr);
  EXPECT_EQ(Row(viewer, "odo")->m_Rect.x, 26.0f);
  EXPECT_EQ(Row(viewer, "idle"), nullptr);  // animations closed
  EXPECT_EQ(Row(viewer, "Loop On")->m_Rect.x, kWidth - 200.0f);
  // Background far from the figure and the rows.
  EXPECT_EQ(Pixel(700, 740), 0x28283Cu);

  Key(base::key::Escape);
  Step();
  EXPECT_EQ(FindViewer(), nullptr);
}

TEST_F(CharacterViewerTest, FolderClicksTakeEffectAtTheNextFrameAndTheScrollBarMovesTheColumn) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(PressMiddle(Row(viewer, "Animations")));
  Step();
  EXPECT_TRUE(viewer->animationsOpen);
  ASSERT_NE(Row(viewer, "[Quillane_EveningDress:]"), nullptr);
  EXPECT_EQ(Row(viewer, "[Quillane_EveningDress:]")->style, cl_SimpleWindow::STYLE_NO_FRAME);
  ASSERT_NE(Row(viewer, "pick_up_table"), nullptr);
  // Every row's text ends inside its row, a long clip name too (it ran under the scroll bar).
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step(0.0f);
  gfx::TraceDrawnText(nullptr);
  int cut = 0;
  for (const base::cl_Window* row : viewer->m_Children) {
    const base::st_ScreenRect& r = row->m_AbsRect;
    for (const gfx::st_DrawnText& t : texts)
      if (t.top == r.top && t.left >= r.left && t.left < r.right) {
        EXPECT_LE(t.right, r.right) << t.text;
        cut += t.text.ends_with("...") ? 1 : 0;
      }
  }
  EXPECT_GT(cut, 0) << "no clip name long enough to be cut";

  const int rows = LeftRows(viewer);
  const float visible = kHeight - 24.0f - 40.0f;  // from the first row to the status line's band
  ASSERT_GT(20.0f * rows, visible);
  Mouse(base::ICMD::MOUSE_MOVE, 212, 50);
  Mouse(base::ICMD::LEFT_DOWN, 212, 50);
  Mouse(base::ICMD::MOUSE_MOVE, 212, 60, 0, static_cast<int>(2 * visible));
  Mouse(base::ICMD::LEFT_UP, 212, 60);
  Step();
  EXPECT_EQ(viewer->scrollBar.position, 1.0f);
  Step();
  EXPECT_FLOAT_EQ(Row(viewer, "Characters")->m_Rect.y, 40.0f - (20.0f * rows - visible));

  // The rows below the band are scrolled to, not drawn under the outcome of an import.
  viewer->scrollBar.position = 0.0f;
  Step();
  EXPECT_TRUE(Row(viewer, "pick_up_table")->HasFlag(base::WF_HIDDEN));
  bool shown = false;
  EXPECT_EQ(TextsUnderTheStatusLine("Imported newbie into characters/characters.xml", &shown),
            std::vector<std::string>{});
  EXPECT_TRUE(shown);

  // Clicking a header does nothing; a clip row (scrolled to y 300) plays looped.
  const float below = Row(viewer, "pick_up_table")->m_Rect.y;
  viewer->scrollBar.position = (below - 300.0f) / (viewer->scrollBar.total - viewer->scrollBar.visible);
  Step();
  ASSERT_FALSE(Row(viewer, "pick_up_table")->HasFlag(base::WF_HIDDEN));
  ASSERT_TRUE(PressMiddle(Row(viewer, "pick_up_table")));
  Step();
  ASSERT_NE(viewer->animCtrl.m_clip, nullptr);
  EXPECT_EQ(std::string(viewer->animCtrl.m_clip->name.c_str()), "pick_up_table");
  EXPECT_EQ(viewer->animCtrl.m_mode, cl_CharacterViewerAnimCtrl::MODE_LOOP);
  ASSERT_TRUE(PressMiddle(Row(viewer, "Loop On")));
  Step();
  EXPECT_EQ(viewer->animCtrl.m_mode, cl_CharacterViewerAnimCtrl::MODE_ONCE);
  EXPECT_NE(Row(viewer, "Loop Off"), nullptr);
}

TEST_F(CharacterViewerTest, ValueRowsSetTheirRangeEndsAndAZeroRangeDrawsAnEmptyBar) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  cl_SimpleWindow* blend = Row(viewer, "Blend Time");
  ASSERT_NE(blend, nullptr);
  const int y = static_cast<int>(blend->m_AbsRect.top) + 8;
  Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(blend->m_AbsRect.right) - 1, y);
  Step();
  EXPECT_NEAR(viewer->animCtrl.m_blendTime, 0.5f, 0.01f);
  Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(Row(viewer, "Blend Time")->m_AbsRect.left), y);
  Step();
  EXPECT_EQ(viewer->animCtrl.m_blendTime, 0.0f);

  cl_SimpleWindow flat(quillane::MakeRowEvent("Set", "Progress", 0.0f), "p", "p", 0, 0, 100, cl_SimpleWindow::STYLE_VALUE);
  flat.Render(0, 0);  // max = min: no division, an empty bar
  SUCCEED();
}

TEST_F(CharacterViewerTest, KeysTurnTheViewAndToggleAndTheDialogsAnswerBack) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  Key('S');
  Key('L');
  Step();
  EXPECT_TRUE(viewer->skeletonView);
  EXPECT_TRUE(viewer->flatLighting);
  Key('F');
  Step();
  EXPECT_FALSE(viewer->skeletonView);

  viewer->orbitYaw = 3.1f;
  viewer->Update(0.0f);
  base::Variant noAnswer;
  noAnswer.set_element("Delete Character");
  noAnswer.attribute("ctrl_label")->set_string("button1");
  EXPECT_TRUE(viewer->ProcessEvent(noAnswer));
  EXPECT_NE(m_registry->Find("Quillane_EveningDress"), nullptr);

  base::Variant nameless;
  nameless.set_element("AddCharacter");
  viewer->ProcessEvent(nameless);
  Step();
  EXPECT_EQ(Window("MeshList"), nullptr);
  // "Ok" in "New character" with no folder chosen: no set-up for a nameless character, a word.
  nameless.attribute("name")->set_string("");
  viewer->ProcessEvent(nameless);
  Step();
  EXPECT_EQ(Window("MeshList"), nullptr);
  EXPECT_EQ(quillane::GetEditorStatus().text, "New character: no folder was chosen; nothing is set up");
  EXPECT_TRUE(quillane::GetEditorStatus().failure);
  EXPECT_FALSE(viewer->ProcessEvent(base::Variant()));
}

// Every motion of the platform carries both axes, as a diagonal drag does: the device makes an x
// and a y record of it.
TEST_F(CharacterViewerTest, TheOrbitTurnsByTheSameAngleForTheSameWayAlongXAndAlongY) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  platform::input::Queue& queue = win32dx9::GetPlatform()->GetInputQueue();
  uint32_t time = 1;
  // Ten steps of (stepX, stepY) with the left button held; the orbit's turn (yaw, pitch).
  auto drag = [&](int stepX, int stepY) {
    int x = 400, y = 300;
    queue.MouseMotion(x - 500, y - 500, x, y, time++);  // to the start, the button up
    Poll();
    const float yaw = viewer->orbitYaw, pitch = viewer->orbitPitch;
    queue.MouseButton(0, true, time++);
    Poll();
    for (int i = 0; i < 10; ++i) {
      x += stepX, y += stepY;
      queue.MouseMotion(stepX, stepY, x, y, time++);
      if (i % 2) Poll();  // two motions in one poll too
    }
    queue.MouseButton(0, false, time++);
    Poll();
    return std::pair(viewer->orbitYaw - yaw, viewer->orbitPitch - pitch);
  };
  const auto [wideYaw, widePitch] = drag(20, 5);
  const auto [tallYaw, tallPitch] = drag(5, 20);
  EXPECT_NEAR(wideYaw, 0.2f, 1e-5f);
  EXPECT_NEAR(widePitch, 0.05f, 1e-5f);
  EXPECT_NEAR(tallYaw, widePitch, 1e-5f);
  EXPECT_NEAR(tallPitch, wideYaw, 1e-5f);
}

// ---- the view's pixels

struct st_Rgb {
  int r, g, b;
};
st_Rgb Rgb(uint32_t p) { return {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)}; }

class CharacterViewerPixels : public CharacterViewerTest {
 protected:
  // Whether a pixel within two of the projection of p has colour c (each channel within tolerance).
  bool Near(cl_CharacterViewer* v, const base::tVector3<float>& p, st_Rgb c, int tolerance = 2) {
    const base::tVector3<float> s = v->camera.World2Screen(p);
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx) {
        const st_Rgb q = Rgb(Pixel(int(std::lround(s.x)) + dx, int(std::lround(s.y)) + dy));
        if (std::abs(q.r - c.r) <= tolerance && std::abs(q.g - c.g) <= tolerance && std::abs(q.b - c.b) <= tolerance)
          return true;
      }
    return false;
  }
};

TEST_F(CharacterViewerPixels, GridGizmoAndSilhouetteLieWhereTheResetViewPutsThem) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  // The reset camera: (0, 0, 600) turned by pitch -0.248 about x, then by yaw pi + 0.76 about y.
  const float pitch = -0.248f, yaw = std::numbers::pi_v<float> + 0.76f;
  const base::tVector3<float> expected(600.0f * std::cos(pitch) * std::sin(yaw), 175.0f - 600.0f * std::sin(pitch),
                                       600.0f * std::cos(pitch) * std::cos(yaw));
  const base::tVector3<float> eye = viewer->camera.GetPos();
  EXPECT_NEAR(eye.x, expected.x, 0.5f);
  EXPECT_NEAR(eye.y, expected.y, 0.5f);
  EXPECT_NEAR(eye.z, expected.z, 0.5f);

  const st_Rgb background{40, 40, 60};
  EXPECT_TRUE(Near(viewer, {0, 0, 150}, background, 0));
  for (auto [i, g] : {std::pair{20, 200}, std::pair{-20, 200}, std::pair{10, 100}, std::pair{-11, 60}})
    EXPECT_TRUE(Near(viewer, {5.0f * float(i), 0, 97.5f}, {g, g, g}, 0)) << i;

  HoldScan(0x2A, true);  // left Shift
  Step();
  const st_Rgb yellow{255, 255, 0};
  EXPECT_TRUE(Near(viewer, {0, 0, -140}, yellow, 0));
  EXPECT_FALSE(Near(viewer, {0, 0, -170}, yellow, 0));
  HoldScan(0x2A, false);

  Key('S');
  Step();
  // Half-black over the background: the nearest surface only, once.
  EXPECT_TRUE(Near(viewer, {0, 200, 0}, {20, 20, 30}, 2));
}

// ---- the clip player

TEST_F(CharacterViewerTest, AClipChangeFadesTheOldClipOutOverTheBlendTime) {
  quillane::cl_ActorDesc* actor = m_registry->FindActor("Quillane_EveningDress");
  ASSERT_NE(actor, nullptr);
  base::cl_Skeleton* skeleton = actor->GetSkeleton();
  ASSERT_NE(skeleton, nullptr) << Log();
  const int n = skeleton->GetNumBones();

  cl_CharacterViewerAnimCtrl ctrl;
  ctrl.SetActor(actor, {0, 0, 0});
  EXPECT_NE(ctrl.m_facial, nullptr);
  ctrl.PlayIdle(false);
  EXPECT_TRUE(ctrl.m_fadeOuts.empty());
  ctrl.Update(0.5f);
  ctrl.PlayLoop("walk");
  ASSERT_EQ(ctrl.m_fadeOuts.size(), 1u);
  ctrl.Update(0.1f);

  base::cl_Pose pose(n), oldPose(n), newPose(n), expected(n);
  ctrl.ComputePose(pose);
  oldPose.Set(actor->GetAnimation("idle"), 0.6f);
  newPose.Set(actor->GetAnimation("walk"), 0.1f);
  expected.Blend(&oldPose, &newPose, 0.1f / 0.33f);
  for (int b = 0; b < n; ++b) {
    EXPECT_NEAR(pose[b].rotation.w, expected[b].rotation.w, 1e-4f) << b;
    EXPECT_NEAR(pose[b].translation.y, expected[b].translation.y, 1e-3f) << b;
  }
  ctrl.PlayOnce("pickup");
  ctrl.PlayOnce("pick_up_table");
  EXPECT_EQ(ctrl.m_fadeOuts.size(), 3u);
  ctrl.Update(0.3f);
  EXPECT_EQ(ctrl.m_fadeOuts.size(), 2u);  // the first is past its 0.33 s
  ctrl.Update(1.3f);                      // the once clip (1.5 s) ends: idle from 0, no fade
  EXPECT_EQ(ctrl.m_mode, cl_CharacterViewerAnimCtrl::MODE_IDLE);
  EXPECT_EQ(ctrl.m_time, 0.0f);
  EXPECT_TRUE(ctrl.m_fadeOuts.empty());

  ctrl.m_blendTime = 0.0f;
  ctrl.PlayWalk();
  EXPECT_TRUE(ctrl.m_fadeOuts.empty());
}

TEST_F(CharacterViewerTest, HoldingGLaysTheLipsyncClipOverTheMouthBonesOnly) {
  quillane::cl_ActorDesc* actor = m_registry->FindActor("Quillane_EveningDress");
  ASSERT_NE(actor, nullptr);
  base::cl_Skeleton* skeleton = actor->GetSkeleton();
  base::cl_Animation* lipsync = actor->FindAnimation("female_lipsynch_dummy");
  ASSERT_NE(skeleton, nullptr) << Log();
  ASSERT_NE(lipsync, nullptr);
  const int n = skeleton->GetNumBones();
  ASSERT_GT(n, 15);

  cl_CharacterViewerAnimCtrl ctrl;
  ctrl.SetActor(actor, {0, 0, 0});
  ctrl.PlayLoop("walk");
  for (float clock : {0.3f, 0.7f}) {
    cl_CharacterViewerAnimCtrl::SetLipsyncClock(clock);
    base::cl_Pose plain(n), held(n), mouth(n);
    ctrl.ComputePose(plain);
    HoldScan(0x22, true);  // G
    ctrl.ComputePose(held);
    HoldScan(0x22, false);
    mouth.Set(lipsync, clock);
    int moved = 0;  // the key must have been seen at all
    for (int b = 0; b < n; ++b) {
      const bool overlaid = b == 9 || b == 10 || b == 11 || b == 14 || b == 15;
      const base::cl_Pose& expected = overlaid ? mouth : plain;
      EXPECT_NEAR(held[b].rotation.x, expected[b].rotation.x, 1e-5f) << clock << " bone " << b;
      EXPECT_NEAR(held[b].rotation.w, expected[b].rotation.w, 1e-5f) << clock << " bone " << b;
      EXPECT_NEAR(held[b].translation.y, expected[b].translation.y, 1e-4f) << clock << " bone " << b;
      moved += std::abs(held[b].rotation.x - plain[b].rotation.x) > 1e-3f;
    }
    EXPECT_GT(moved, 0) << clock;
  }
}

TEST(CharacterViewerAnimCtrl, WithoutAnActorNothingIsPlayedOrDrawn) {
  cl_CharacterViewerAnimCtrl ctrl;
  base::cl_Pose pose(4);
  ctrl.PlayIdle(true);
  ctrl.PlayWalk();
  ctrl.PlayOnce("walk");
  ctrl.Update(0.1f);
  ctrl.ComputePose(pose);
  ctrl.RenderModel(nullptr);
  ctrl.RenderSkeleton(nullptr);
  ctrl.StartLipsyncFromFile("nowhere.txt");
  EXPECT_EQ(ctrl.m_clip, nullptr);
  EXPECT_EQ(ctrl.m_facial, nullptr);
}

// ---- the actor list

// The animations chosen in the set-up are the ones Import writes, and shown when it opens again.
TEST_F(CharacterViewerTest, TheAnimationsChosenAreImportedAndShownAgain) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  auto animations = [] {
    base::Variant list;
    EXPECT_TRUE(base::xml::read_file(list, quillane::kCharacterListFile));
    const base::Variant* odo = base::variant_find_element_by_attribute_value(list, "label", "odo");
    base::tString<base::BaseString> text;
    if (odo) odo->get_attribute_string("animations", text);
    return std::string(text.c_str());
  };
  ASSERT_EQ(animations(), "male");
  ASSERT_NE(AddCharacter(viewer, "odo"), nullptr);
  EXPECT_EQ(std::string(Window("CategoryList")->GetSelectedLabel().c_str()), "male");
  ASSERT_TRUE(ClickEntry("CategoryList", "female"));
  ASSERT_TRUE(Click("Import"));
  Step();
  EXPECT_EQ(animations(), "female");
  ASSERT_TRUE(Click("Close"));
  Step();
  ASSERT_EQ(Window("CategoryList"), nullptr);
  ASSERT_NE(AddCharacter(viewer, "odo"), nullptr);
  EXPECT_EQ(std::string(Window("CategoryList")->GetSelectedLabel().c_str()), "female");
}

TEST_F(CharacterViewerTest, ANewCharacterIsImportedSortedReadBackAndWrittenTheSameTwice) {
  const fs::path folder = m_data / "characters/newbie";
  fs::create_directories(folder);
  fs::copy_file(m_data / "characters/female/female_mesh.xml", folder / "Newbie_Mesh.XML");
  fs::copy_file(m_data / "characters/female/female_skeleton.xml", folder / "newbie_skeleton.xml");
  std::ofstream(folder / "newbie_material.txt") << "material female_skin\ntexture female_body.tga\n"
                                                   "material female_hair\nscene_blend alpha_blend\ntexture hair.tga";
  fs::copy_file(m_data / "characters/female/female_body.tga", folder / "female_body.tga");

  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  cl_SetupCharacterDialog* dialog = AddCharacter(viewer, "newbie");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(std::string(dialog->m_meshFile.c_str()), "newbie_mesh.xml");
  EXPECT_EQ(Rows("Materials"), (std::vector<std::string>{"female_skin (texture0)", "female_hair, alpha (texture1)"}));
  EXPECT_TRUE(Window("Materials")->GetChild(0) != nullptr);

  base::Variant import;
  import.set_element("ButtonPressed");
  import.attribute("ctrl_label")->set_string("Import");
  dialog->ProcessEvent(import);
  const std::string first = ListText();
  EXPECT_NE(first.find("label=\"newbie\""), std::string::npos);
  EXPECT_LT(first.find("label=\"mina\""), first.find("label=\"newbie\""));
  EXPECT_LT(first.find("label=\"newbie\""), first.find("label=\"odo\""));
  EXPECT_NE(first.find("characters/newbie/newbie_mesh.xml"), std::string::npos);
  // The viewer lists it at once (its row by the next frame); the current actor stays.
  Step();
  EXPECT_NE(Row(viewer, "newbie"), nullptr);
  EXPECT_EQ(std::string(viewer->GetCurrentLabel().c_str()), quillane::cl_CharacterViewer::kStartActor);
  EXPECT_FALSE(quillane::GetEditorStatus().failure);
  EXPECT_NE(quillane::GetEditorStatus().text.find("Imported newbie"), std::string::npos);

  // Selecting after the import still edits the element (it was copied, not moved).
  base::Variant select;
  select.set_element("SelectionChanged");
  select.attribute("ctrl_label")->set_string("MaterialList");
  select.attribute("element_label")->set_string("newbie_material.txt");
  EXPECT_TRUE(dialog->ProcessEvent(select));
  ASSERT_NE(dialog->m_character.get_element("Mesh"), nullptr);
  // Imported again while it is shown: the view shows the record made anew, loaded.
  viewer->ProcessEvent(quillane::MakeRowEvent("Actor", "newbie", 0.0f));  // its row, under the modal dialog
  ASSERT_EQ(std::string(viewer->GetCurrentLabel().c_str()), "newbie");
  // The new record may be made where the old one stood: a mark on the old one tells them apart.
  ASSERT_NE(viewer->animCtrl.m_actor, nullptr);
  viewer->animCtrl.m_actor->idleSpeed = -7.0f;
  dialog->ProcessEvent(import);
  EXPECT_EQ(ListText(), first);
  EXPECT_EQ(std::string(viewer->GetCurrentLabel().c_str()), "newbie");
  ASSERT_NE(viewer->animCtrl.m_actor, nullptr);
  EXPECT_NE(viewer->animCtrl.m_actor->idleSpeed, -7.0f) << "made from the new element";
  EXPECT_NE(viewer->animCtrl.m_actor->model, nullptr);

  // A list that cannot be written: the failure is shown with the file, the list stays.
  const fs::path list = m_data / quillane::kCharacterListFile;
  fs::rename(list, m_data / "list.keep");
  fs::create_directories(list);
  dialog->ProcessEvent(import);
  EXPECT_TRUE(quillane::GetEditorStatus().failure);
  EXPECT_NE(quillane::GetEditorStatus().text.find(quillane::kCharacterListFile), std::string::npos)
      << quillane::GetEditorStatus().text;
  fs::remove(list);
  fs::rename(m_data / "list.keep", list);

  ASSERT_TRUE(m_registry->LoadActorList(quillane::kCharacterListFile));
  quillane::cl_ActorDesc* newbie = m_registry->FindActor("newbie");
  ASSERT_NE(newbie, nullptr);
  EXPECT_NE(newbie->GetSkeleton(), nullptr);
  EXPECT_NE(newbie->model, nullptr);
  EXPECT_NE(m_registry->FindActor("odo"), nullptr);
}

// The compiled file is read in place of the sources while it exists: a new mesh must reach the
// view, and a deleted character must not come back from it under the same name.
TEST_F(CharacterViewerTest, AReimportShowsTheNewMeshAndADeleteTakesTheCompiledFileAlong) {
  const fs::path folder = m_data / "characters/newbie";
  fs::create_directories(folder);
  for (const std::string kind : {"female", "male"})
    for (const std::string& file : {kind + "_mesh.xml", kind + "_skeleton.xml"})
      fs::copy_file(m_data / "characters" / kind / file, folder / file);
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  cl_SetupCharacterDialog* dialog = AddCharacter(viewer, "newbie");
  ASSERT_NE(dialog, nullptr);
  auto choose = [&](const char* list, const char* file) {
    base::Variant select;
    select.set_element("SelectionChanged");
    select.attribute("ctrl_label")->set_string(list);
    select.attribute("element_label")->set_string(file);
    dialog->ProcessEvent(select);
  };
  base::Variant import;
  import.set_element("ButtonPressed");
  import.attribute("ctrl_label")->set_string("Import");
  choose("MeshList", "female_mesh.xml");
  choose("SkeletonList", "female_skeleton.xml");
  dialog->ProcessEvent(import);
  viewer->ProcessEvent(quillane::MakeRowEvent("Actor", "newbie", 0.0f));
  ASSERT_NE(viewer->animCtrl.m_actor, nullptr);
  const base::tString<base::BaseString> compiled = viewer->animCtrl.m_actor->GetCompiledFileName();
  ASSERT_TRUE(base::FileExists(compiled)) << "shown once, the character is compiled";

  choose("MeshList", "male_mesh.xml");
  choose("SkeletonList", "male_skeleton.xml");
  dialog->ProcessEvent(import);
  ASSERT_EQ(std::string(viewer->GetCurrentLabel().c_str()), "newbie");
  ASSERT_NE(viewer->animCtrl.m_actor, nullptr);
  EXPECT_EQ(std::string(viewer->animCtrl.m_actor->meshFile.c_str()), "characters/newbie/male_mesh.xml");
  EXPECT_NE(viewer->animCtrl.m_actor->model, nullptr);

  viewer->RemoveCharacter("newbie");
  EXPECT_FALSE(base::FileExists(compiled));
  EXPECT_EQ(m_registry->Find("newbie"), nullptr);
}

TEST_F(CharacterViewerTest, DeletingTheCurrentCharacterDropsItFromFileRegistryAndRows) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(PressMiddle(Row(viewer, "odo")));
  Step();
  ASSERT_EQ(std::string(viewer->GetCurrentLabel().c_str()), "odo");
  viewer->animCtrl.PlayLoop("walk");
  viewer->animCtrl.PlayLoop("idle");
  ASSERT_TRUE(PressMiddle(Row(viewer, "Delete Character")));
  Step();
  ASSERT_TRUE(Click("button0"));
  Step();
  Step();
  EXPECT_EQ(ListText().find("label=\"odo\""), std::string::npos);
  EXPECT_EQ(quillane::GetEditorStatus().text, std::string("Deleted odo from ") + quillane::kCharacterListFile);
  EXPECT_EQ(m_registry->Find("odo"), nullptr);
  EXPECT_EQ(Row(viewer, "odo"), nullptr);
  EXPECT_EQ(viewer->animCtrl.m_actor, m_registry->GetFirst());
  EXPECT_TRUE(viewer->animCtrl.m_fadeOuts.empty());
  // The actor it names is the one it shows.
  ASSERT_NE(viewer->animCtrl.m_actor, nullptr);
  EXPECT_TRUE(viewer->animCtrl.m_actor->IsLoaded());
  EXPECT_NE(viewer->animCtrl.m_actor->model, nullptr);
}

TEST_F(CharacterViewerTest, AFolderInPlaceOfTheListGivesOneErrorPerAttemptAndChangesNothing) {
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  base::Variant list;
  ASSERT_TRUE(base::xml::read_file(list, quillane::kCharacterListFile));
  fs::remove(m_data / quillane::kCharacterListFile);
  fs::create_directories(m_data / quillane::kCharacterListFile);
  auto errorsSince = [&](size_t from) {
    const std::string log = Log().substr(from);
    int n = 0;
    for (size_t at = log.find("ERROR: "); at != std::string::npos; at = log.find("ERROR: ", at + 1)) ++n;
    return n;
  };
  size_t mark = Log().size();
  EXPECT_FALSE(quillane::WriteCharacterList(list));
  EXPECT_EQ(errorsSince(mark), 1);
  mark = Log().size();
  viewer->RemoveCharacter("odo");
  Step();
  EXPECT_EQ(errorsSince(mark), 1) << Log().substr(mark);
  EXPECT_TRUE(quillane::GetEditorStatus().failure);
  EXPECT_NE(quillane::GetEditorStatus().text.find(quillane::kCharacterListFile), std::string::npos)
      << quillane::GetEditorStatus().text;
  EXPECT_TRUE(fs::is_directory(m_data / quillane::kCharacterListFile));
  EXPECT_NE(m_registry->Find("odo"), nullptr);
  EXPECT_NE(Row(viewer, "odo"), nullptr);
}

// Labels are the names of the compiled files ("Characters/<label>.dat"): copies of Odo whose
// labels lead out of the folder are refused when the list is read, so the viewer neither shows
// nor compiles them, and a Delete of such a label takes no file of the user's along.
TEST_F(CharacterViewerTest, ActorLabelsThatLeadOutOfTheFolderAreRefusedWhenTheListIsRead) {
  std::string list = ListText();
  const size_t odo = list.find("<Character label=\"odo\"");
  ASSERT_NE(odo, std::string::npos) << list;
  const std::string element = list.substr(odo, list.find("</Character>", odo) + 12 - odo);
  const char* const labels[] = {"../outside/evil", "../victim", ".", "back\\slash", "..."};
  std::string copies;
  for (const char* label : labels)
    copies += "<Character label=\"" + std::string(label) + "\"" + element.substr(22) + "\n";
  list.insert(odo, copies);
  std::ofstream(m_data / quillane::kCharacterListFile) << list;
  fs::create_directories(m_data / "outside");
  std::ofstream(m_data / "victim.dat") << "the user's";
  std::ofstream(m_data / "victim_0.dat") << "the user's";

  const size_t mark = Log().size();
  ASSERT_TRUE(m_registry->LoadActorList(quillane::kCharacterListFile));
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  const std::string log = Log().substr(mark);
  for (const char* label : labels) {
    SCOPED_TRACE(label);
    EXPECT_NE(log.find(std::string("ERROR: ") + quillane::kCharacterListFile + ": the actor label \"" + label + "\""),
              std::string::npos)
        << log;
    EXPECT_EQ(m_registry->Find(label), nullptr);
    EXPECT_EQ(Row(viewer, label), nullptr);
    viewer->ProcessEvent(quillane::MakeRowEvent("Actor", label, 0.0f));
    EXPECT_EQ(std::string(viewer->GetCurrentLabel().c_str()), quillane::cl_CharacterViewer::kStartActor);
  }
  EXPECT_NE(Row(viewer, "odo"), nullptr);
  EXPECT_FALSE(fs::exists(m_data / "outside/evil.dat"));

  viewer->RemoveCharacter("../victim");
  Step();
  EXPECT_EQ(ReadText("victim.dat"), "the user's");
  EXPECT_EQ(ReadText("victim_0.dat"), "the user's");
  EXPECT_EQ(ListText().find("label=\"../victim\""), std::string::npos);
  EXPECT_NE(m_registry->FindActor("odo"), nullptr);
}

// The rows stay from frame to frame, each made anew in its place, so that the cut of a long label
// is kept: made new every frame, a 120,000-byte label (no UTF-8: read as Latin-1) was measured
// again each frame.
TEST_F(CharacterViewerTest, TheRowsAndTheCutsOfTheirTextsAreKeptFromFrameToFrame) {
  std::string list = ListText();
  const size_t odo = list.find("<Character label=\"odo\"");
  ASSERT_NE(odo, std::string::npos) << list;
  const std::string element = list.substr(odo, list.find("</Character>", odo) + 12 - odo);
  std::string label(120000, 'o');
  for (size_t i = 0; i < label.size(); i += 5) label[i] = '\xE9';
  list.insert(odo, "<Character label=\"" + label + "\"" + element.substr(22) + "\n");
  std::ofstream(m_data / quillane::kCharacterListFile) << list;
  ASSERT_TRUE(m_registry->LoadActorList(quillane::kCharacterListFile));
  cl_CharacterViewer* viewer = OpenViewer();
  ASSERT_NE(viewer, nullptr);
  cl_SimpleWindow* row = Row(viewer, label.c_str());
  ASSERT_NE(row, nullptr);
  Step();
  EXPECT_EQ(Row(viewer, label.c_str()), row) << "the same row, not a new one";

  testsupport::cl_CountingFont font;
  gfx::SetFont(&font);
  viewer->Build();
  viewer->RenderChildren(0, 0);  // every text is cut for the new font
  int values = 0;
  for (const base::cl_Window* w : viewer->m_Children) {
    const bool value = static_cast<const cl_SimpleWindow*>(w)->style & cl_SimpleWindow::STYLE_VALUE;
    values += value && !w->HasFlag(base::WF_HIDDEN);
  }
  ASSERT_GT(font.measured, 20);
  font.measured = 0;
  viewer->Build();
  viewer->RenderChildren(0, 0);
  EXPECT_EQ(font.measured, values) << "only the numbers of the value rows are measured again";

  // A row whose state changes is made anew in its place.
  ASSERT_TRUE(PressMiddle(Row(viewer, "Loop On")));
  Step();
  EXPECT_EQ(Row(viewer, "Loop On"), nullptr);
  EXPECT_NE(Row(viewer, "Loop Off"), nullptr);
  EXPECT_EQ(Row(viewer, label.c_str()), row);
}

// A save killed at any moment leaves the old list or the new one, never a torn file.
TEST(CharacterListFile, SavesKilledMidWayLeaveAReadableList) {
  const fs::path dir = testsupport::MakeScratchFolder("quillane_charlist");
  fs::create_directories(dir / "characters");
  const fs::path cwd = fs::current_path();
  fs::current_path(dir);
  base::Variant list;
  list.set_element("Characters");
  for (int i = 0; i < 2000; ++i)
    list.add_element("Character").attribute("label")->set_string(("actor_" + std::to_string(i)).c_str());
  ASSERT_TRUE(quillane::WriteCharacterList(list));
  std::mt19937 rng(5);
  for (int kill = 0; kill < 50; ++kill) {
    const pid_t child = testsupport::ForkBound();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) quillane::WriteCharacterList(list);
    }
    usleep(std::uniform_int_distribution<int>(200, 3000)(rng));
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    base::Variant back;
    ASSERT_TRUE(base::xml::read_file(back, quillane::kCharacterListFile)) << kill;
    ASSERT_EQ(back.size(), 2000) << kill;
  }
  // What the killed saves left beside the list goes with the next save that works.
  std::ofstream(dir / "characters/characters.xml.tmpAb12Cd") << "killed";
  ASSERT_TRUE(quillane::WriteCharacterList(list));
  for (const auto& entry : fs::directory_iterator(dir / "characters"))
    EXPECT_EQ(entry.path().filename().string(), "characters.xml");
  fs::current_path(cwd);
  fs::remove_all(dir);
}

// While a game runs its stage may hold an actor record: a delete takes the actor out of the
// list file and the rows but leaves the record loaded.
class ViewerInSession : public sessiontest::SessionInputTest {
 protected:
  void SetUp() override {
    quillane::InstallEditorServices();
    SessionInputTest::SetUp();
  }
  void TearDown() override {
    quillane::SceneDisplay() = quillane::st_SceneDisplay();
    SessionInputTest::TearDown();
  }
};

TEST_F(ViewerInSession, ADeleteKeepsTheRecordLoadedWithAWarning) {
  ASSERT_NE(quillane::GetSession(), nullptr);
  quillane::cl_ActorRegistry* registry = quillane::GetActorRegistry();
  ASSERT_NE(registry, nullptr);
  Write(quillane::kCharacterListFile,
        "<Characters><Character label=\"kept\"><Mesh/><Skeleton/></Character>"
        "<Character label=\"other\"><Mesh/><Skeleton/></Character></Characters>");
  ASSERT_TRUE(registry->LoadActorList(quillane::kCharacterListFile));
  quillane::cl_ActorDesc* kept = registry->Find("kept");
  ASSERT_NE(kept, nullptr);
  auto viewer = std::make_unique<cl_CharacterViewer>();
  viewer->animCtrl.SetActor(kept, {0, 0, 0});
  viewer->RemoveCharacter("kept");
  EXPECT_EQ(registry->Find("kept"), kept);
  EXPECT_NE(viewer->animCtrl.m_actor, kept);
  base::Variant back;
  ASSERT_TRUE(base::xml::read_file(back, quillane::kCharacterListFile));
  EXPECT_EQ(base::variant_find_element_by_attribute_value(back, "label", "kept"), nullptr);
  EXPECT_NE(Log().find("Warning: actor kept stays loaded"), std::string::npos);
}

}  // namespace
