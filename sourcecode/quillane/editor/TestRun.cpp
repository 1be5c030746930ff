// The test run: its stage on the edited scene, the exposure keys, the clicks and the end.
#include "quillane/editor/TestRun.h"

#include <string>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/PlaceTools.h"
#include "quillane/editor/SceneCompile.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

constexpr float kExposureStep = 0.99f;  // per frame, so the speed follows the frame rate
constexpr uint32_t kWhite = 0xFFFFFFFFu;

void SetSceneDrawing(bool on) {
  if (cl_Editor* editor = cl_Editor::GetEditor()) editor->runScene = on;
}

}  // namespace

cl_TestRun* cl_TestRun::Open(base::cl_Window* opener) {
  auto* run = new cl_TestRun(opener);
  if (run->GetCharacter()) return run;
  // Without the scene, its nav mesh or the actor there is nobody to walk and nowhere to stand.
  cl_Scene* scene = cl_Editor::GetEditedScene();
  std::string why;
  if (!scene)
    why = "the test run needs an open scene; not started";
  else if (scene->NavMeshes.empty())
    why =
        std::string("scene ") + scene->GetName().c_str() + " has no nav mesh to stand on; the test run is not started";
  else if (!DescribeUnreadFloor(*scene).empty())
    why = "the test run has no floor to stand on: " + DescribeUnreadFloor(*scene);
  else
    why = std::string("the test run needs the actor ") + kActor + "; not started";
  base::sys::Output("ERROR: Editor: %s\n", why.c_str());
  ShowEditorStatus(why, true);
  delete run;
  if (opener) opener->Show(true);
  return nullptr;
}

cl_TestRun::cl_TestRun(base::cl_Window* opener) : m_opener(opener) {
  m_Label = kLabel;
  SetSceneDrawing(false);
  cl_Scene* scene = cl_Editor::GetEditedScene();
  m_stage.SetScene(scene);
  if (!scene || scene->NavMeshes.empty() || !DescribeUnreadFloor(*scene).empty()) return;
  m_unread = DescribeUnreadFiles(*scene);
  cl_Character* character = m_stage.CreateCharacter(kCharacterName, kActor);
  if (!character) return;
  base::tVector3<float> start(0.0f, 0.0f, 0.0f);
  m_stage.GetNavMeshCenter(start);
  character->SetPositionRaw(start.x, start.y, start.z);
  character->walkChannel.Play(*character, kWalkClip, false);
  m_stage.SetPlayerCharacter(character);
}

cl_TestRun::~cl_TestRun() {
  // The scene is the editor's, which may already have closed it: the stage lets go of it unseen.
  m_stage.SetScene(nullptr);
  SetSceneDrawing(true);
  m_stage.ReleaseSceneData();
}

cl_Scene* cl_TestRun::LiveScene() const {
  cl_Scene* scene = m_stage.GetScene();
  return scene && scene == cl_Editor::GetEditedScene() ? scene : nullptr;
}

void cl_TestRun::Update(float dt) {
  // The editor closed or replaced the scene under the test: the character's nav mesh went with
  // it, so nothing moves any more.
  cl_Scene* scene = LiveScene();
  if (!scene) return;
  if (base::sys::KeyState('E')) {
    m_exposureTouched = true;
    float exposure = scene->GetExposure();
    if (base::sys::KeyState(base::key::Up)) exposure /= kExposureStep;
    if (base::sys::KeyState(base::key::Down)) exposure *= kExposureStep;
    scene->SetExposure(exposure);
    base::Variant& description = scene->GetSettings();
    base::Variant* lights = description.get_element("Lights");
    if (!lights) lights = &description.add_element("Lights");
    lights->attribute("exposure")->set_float(exposure);
  }
  m_stage.Update(dt);
}

void cl_TestRun::Render(float, float) {
  cl_Scene* scene = LiveScene();
  if (!scene) return;
  m_stage.Render(GetEditorViewportRect());
  // The stage leaves the scene camera's viewport set; the text may lie outside it.
  gfx::SetViewport(-1, -1, -1, -1, 0.0f, 1.0f);
  gfx::Begin2D();
  DrawKeyHelp(0, 40, "Left click: walk there  Right click: stop  E with Up/Down: exposure  Escape: back");
  // A picture that could not be read leaves its part of the room empty: say why.
  if (!m_unread.empty()) DrawToolWarning(("Not shown: " + m_unread).c_str());
  if (base::sys::KeyState('E')) {
    base::tString<base::BaseString> text;
    text.print("exposure = %.02f", static_cast<double>(scene->GetExposure()));
    gfx::DrawText(100, 100, text.c_str(), kWhite);
  }
}

bool cl_TestRun::ProcessInput(base::ICMD& cmd) {
  if (cl_Editor::HandleToggleKeys(cmd)) return true;
  cl_Character* character = GetCharacter();
  cl_Scene* scene = LiveScene();
  switch (cmd.type) {
    case base::ICMD::LEFT_DOWN: {
      base::tVector3<float> target;
      // A ray that meets neither the nav mesh nor the floor in front of the camera gives no
      // target: this click is ignored.
      if (character && scene && scene->PickRay(cmd.mouseX, cmd.mouseY, target))
        character->WalkTo(character->name.c_str(), target, nullptr, 0);
      return false;
    }
    case base::ICMD::RIGHT_DOWN:
      if (character) character->Stop();
      return false;
    case base::ICMD::KEY_PRESSED:
      if (cmd.key != base::key::Escape) return false;
      if (m_exposureTouched && scene) StoreProjectFile(*scene, "the exposure");
      End();
      return true;
    default: return false;
  }
}

void cl_TestRun::End() {
  if (m_ended) return;
  m_ended = true;
  Close();
  if (m_opener) m_opener->Show(true);
}

}  // namespace quillane
