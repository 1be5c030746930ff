// The locator placement tool.
#include "quillane/editor/PlaceLocatorTool.h"

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/math/VectorTools.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EnterLabelDialog.h"
#include "quillane/editor/PlaceTools.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

constexpr uint32_t kPathColour = 0xFF6464FFu;  // (100, 100, 255)

bool Is(const char* text, const char* word) { return text && base::str::compare(text, word) == 0; }

}  // namespace

cl_PlaceLocatorTool* cl_PlaceLocatorTool::Open(base::cl_Window* opener) { return new cl_PlaceLocatorTool(opener); }

cl_PlaceLocatorTool::cl_PlaceLocatorTool(base::cl_Window* opener)
    : m_opener(opener), m_scene(cl_Editor::GetEditedScene()) {
  if (m_scene) m_savedCamera = m_scene->GetCamera();
  m_workingCamera = m_savedCamera;
}

cl_PlaceLocatorTool::~cl_PlaceLocatorTool() {
  // A scene opened in the meantime has a camera of its own.
  if (m_scene && cl_Editor::GetEditedScene() == m_scene) m_scene->GetCamera() = m_savedCamera;
}

void cl_PlaceLocatorTool::Update(float dt) {
  // Hidden, the tool waits for its name dialog, whose typing must not fly the camera.
  if (!HasFlag(base::WF_HIDDEN)) base::cl_Locator::ProcessFlyKeys(m_workingCamera, dt);
  cl_Panel::Update(dt);
}

void cl_PlaceLocatorTool::Render(float, float) {
  if (cl_Scene* scene = cl_Editor::GetEditedScene()) {
    // The scene keeps its view of the painting (its rectangle, centre and zoom follow the editor's
    // scrolling); the working camera brings only its position and orientation.
    base::cl_Camera& camera = scene->GetCamera();
    float x1, y1, x2, y2, cx, cy;
    camera.GetViewportRect(x1, y1, x2, y2);
    camera.GetViewportCenter(cx, cy);
    m_workingCamera.SetViewportRect(x1, y1, x2, y2);
    m_workingCamera.SetViewportCenter(cx, cy);
    m_workingCamera.SetZoom(camera.GetZoom());
    camera = m_workingCamera;
    gfx::SetCamera(&camera);
    Pick(*scene);
    Draw(camera);
  }
  EndToolDrawing();
  DrawKeyHelp(0, 40,
              "Left: place  Right: turn  Space: path point  W/S/A/D/Q/Y: fly (Shift: faster)  Enter: name  "
              "Escape: cancel");
  if (m_pickMissed)
    DrawMissedPick();
  else if (m_enterRefused)
    DrawToolWarning("Enter names the locator once it stands somewhere: click the floor first");
}

void cl_PlaceLocatorTool::Pick(cl_Scene& scene) {
  const bool left = base::sys::MouseButton(0) || m_pressed == base::ICMD::LEFT_DOWN;
  const bool right = base::sys::MouseButton(1) || m_pressed == base::ICMD::RIGHT_DOWN;
  m_pressed = 0;
  base::tVector3<float> picked;
  if (!left && !right) return;
  // A ray that meets neither the nav mesh nor the floor in front of the camera moves nothing; the
  // window says why.
  m_pickMissed =
      !scene.PickRay(static_cast<float>(base::sys::MouseX()), static_cast<float>(base::sys::MouseY()), picked);
  if (m_pickMissed) return;
  if (left) {
    m_locator.SetPos(picked);
    m_positionSet = true;
    m_enterRefused = false;
    return;
  }
  const base::tVector3<float>& position = m_locator.GetPos();
  float yaw = base::Vec2Angle(base::tVector2<float>(position.x - picked.x, position.z - picked.z));
  base::WrapAngle(yaw);
  m_locator.SetOrientation(base::Quaternion().set_yaw_pitch_roll(yaw, 0.0f, 0.0f));
}

void cl_PlaceLocatorTool::Draw(const base::cl_Camera& camera) {
  BeginGizmoLighting(camera);
  base::cl_Locator at = m_locator;
  for (size_t i = 0; i < m_points.size(); ++i) {
    at.SetPos(m_points[i]);
    DrawAxisGizmo(at.GetOrientationMatrix());
    gfx::SetWorldMatrix(base::Matrix4());
    if (i > 0) gfx::DrawLine3D(m_points[i - 1], m_points[i], kPathColour);
  }
  if (!m_positionSet) return;
  if (!m_points.empty()) gfx::DrawLine3D(m_points.back(), m_locator.GetPos(), kPathColour);
  DrawAxisGizmo(m_locator.GetOrientationMatrix());
}

bool cl_PlaceLocatorTool::ProcessInput(base::ICMD& cmd) {
  if (cl_Editor::HandleToggleKeys(cmd)) return true;
  if ((cmd.type == base::ICMD::LEFT_DOWN || cmd.type == base::ICMD::RIGHT_DOWN) && m_pressed != base::ICMD::LEFT_DOWN)
    m_pressed = cmd.type;
  if (cmd.type != base::ICMD::KEY_PRESSED) return false;
  if (cmd.key == base::key::Space && m_positionSet) {
    m_points.push_back(m_locator.GetPos());
    m_positionSet = false;
  } else if (cmd.key == base::key::Enter && (m_positionSet || !m_points.empty())) {
    m_points.push_back(m_locator.GetPos());
    base::Variant answer;
    answer.set_element("LabelEntered");
    Show(false);
    if (base::cl_GUI* gui = GetGUI())
      gui->AddModalWindow(cl_EnterLabelDialog::Open(this, answer, base::tString<base::BaseString>("Locator")));
  } else if (cmd.key == base::key::Enter) {
    m_enterRefused = true;
  } else if (cmd.key == base::key::Escape) {
    EndPlacementTool(this, m_opener);
  }
  return true;
}

bool cl_PlaceLocatorTool::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  if (Is(name, "Cancel")) {
    EndPlacementTool(this, m_opener);
    return true;
  }
  if (!Is(name, "LabelEntered")) return false;
  Send(event);
  return true;
}

void cl_PlaceLocatorTool::Send(const base::Variant& event) {
  base::Variant answer;
  answer.set_element("AddElement");
  answer.attribute("category")->set_string("Locators");
  base::Variant& locator = answer.add_element("Locator");
  locator.attribute("label")->set_string(EnteredLabel(event).c_str());
  base::tVector3<float> position = m_locator.GetPos();
  if (m_points.size() > 1) {
    base::tVector3<float> sum(0.0f, 0.0f, 0.0f);
    for (const base::tVector3<float>& p : m_points) {
      base::Variant& point = locator.add_element("Point");
      point.attribute("x")->set_float(p.x);
      point.attribute("y")->set_float(p.y);
      point.attribute("z")->set_float(p.z);
      sum = sum + p;
    }
    position = sum * (1.0f / static_cast<float>(m_points.size()));
  }
  locator.attribute("x")->set_float(position.x);
  locator.attribute("y")->set_float(position.y);
  locator.attribute("z")->set_float(position.z);
  locator.attribute("yaw")->set_float(m_locator.GetYawAngle());
  locator.attribute("pitch")->set_float(0.0f);
  locator.attribute("roll")->set_float(0.0f);
  if (m_opener) m_opener->ProcessEvent(answer);
  EndPlacementTool(this, m_opener);
}

}  // namespace quillane
