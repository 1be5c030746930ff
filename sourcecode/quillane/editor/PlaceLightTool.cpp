// The light placement tool.
#include "quillane/editor/PlaceLightTool.h"

#include <string>
#include <utility>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/math/VectorTools.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/PlaceTools.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

constexpr float kTurnPerCount = 0.01f;  // radians per mouse count
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrey = 0xFFA0A0A0u;  // (160, 160, 160)
constexpr int kTypeRowY = 20;            // the type keys' row; the key help below it, as every tool's
constexpr float kTypeGap = 16.0f;        // between two entries of the row

float Motion(uint16_t word) { return static_cast<float>(static_cast<int16_t>(word)); }

// The answer's first element, made when the answer came without one.
base::Variant& FirstChild(base::Variant& answer) {
  if (!answer.is_element()) answer.set_element("AddElement");
  if (answer.size() < 1 || !answer[0].is_element()) answer.add_element("Light");
  return answer[0];
}

}  // namespace

cl_PlaceLightTool* cl_PlaceLightTool::Create(base::cl_Window* listener, base::Variant answer) {
  return new cl_PlaceLightTool(listener, std::move(answer));
}

cl_PlaceLightTool::cl_PlaceLightTool(base::cl_Window* listener, base::Variant answer)
    : m_listener(listener), m_answer(std::move(answer)) {
  FirstChild(m_answer).get_attribute_string("type", m_type);
}

void cl_PlaceLightTool::Render(float, float) {
  if (cl_Scene* scene = cl_Editor::GetEditedScene()) {
    base::cl_Camera& camera = scene->GetCamera();
    gfx::SetCamera(&camera);
    BeginGizmoLighting(camera);
    const bool shift = base::sys::KeyState(base::key::LeftShift) || base::sys::KeyState(base::key::RightShift);
    const bool left = base::sys::MouseButton(0) || m_clicked;
    m_clicked = false;
    if (left && !shift) {
      base::tVector3<float> floor;
      // A pick that meets no floor leaves the light where it was, and says so.
      m_pickMissed =
          !scene->PickRay(static_cast<float>(base::sys::MouseX()), static_cast<float>(base::sys::MouseY()), floor);
      if (!m_pickMissed) {
        m_locator.SetPos(base::tVector3<float>(floor.x, m_locator.GetPos().y, floor.z));
        m_placed = true;
        m_enterRefused = false;
      }
    }
    if (m_placed) {
      m_locator.SetOrientation(base::Quaternion().set_yaw_pitch_roll(m_yaw, m_pitch, 0.0f));
      base::cl_Locator heading = m_locator;
      heading.SetOrientation(base::Quaternion().set_yaw_pitch_roll(m_yaw, 0.0f, 0.0f));
      DrawAxisGizmo(heading.GetOrientationMatrix());
      DrawAxisGizmo(m_locator.GetOrientationMatrix());
    }
  }
  // The texts sit above the editor viewport, in a row each, off the scene's own lines below.
  EndToolDrawing();
  const struct {
    const char* text;
    const char* key;
  } types[] = {{"Ambient", "A"}, {"Directional", "D"}};
  float x = 0.0f;
  for (const auto& type : types) {
    gfx::DrawText(static_cast<int>(x), kTypeRowY, type.text, kGrey);
    gfx::DrawText(static_cast<int>(x), kTypeRowY, type.key, kWhite);
    x += gfx::GetTextWidth(type.text) + kTypeGap;
  }
  // The type Enter adds: the answer's, which D and P leave as it came.
  base::tString<base::BaseString> type, current;
  FirstChild(m_answer).get_attribute_string("type", type);
  current.print("current type=%s", type.c_str());
  gfx::DrawText(static_cast<int>(x), kTypeRowY, current.c_str(), kWhite);
  DrawKeyHelp(0, kTypeRowY + 20,
              "Left drag: on the floor  Shift+left drag: height  Right drag: turn  A: add as ambient  Enter: add  "
              "Escape: cancel");
  if (m_pickMissed)
    DrawMissedPick();
  else if (m_enterRefused)
    DrawToolWarning("Enter adds the light once it stands somewhere: drag it onto the floor first");
  else if (m_pointRefused)
    DrawToolWarning((std::string("No point lights here: Enter adds the light as ") + type.c_str()).c_str());
}

bool cl_PlaceLightTool::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_PRESSED) {
    m_pointRefused = false;
    switch (cmd.key) {
      case base::key::Enter:
        if (m_placed)
          Send(true);
        else
          m_enterRefused = true;
        break;
      case base::key::Escape: EndPlacementTool(this, m_listener); break;
      case 'A':
        FirstChild(m_answer).attribute("type")->set_string("ambient");
        m_type = "ambient";
        Send(false);
        break;
      // The answer's own "type" stays: D decides only what Enter writes.
      case 'D': m_type = "directional"; break;
      // Enter adds the answer's type, and the type dialog gives no point light: "point" shown
      // would be a type never added.
      case 'P':
        m_pointRefused = true;
        m_enterRefused = m_pickMissed = false;
        break;
      default: break;
    }
    return true;
  }
  if (cmd.type == base::ICMD::LEFT_DOWN) m_clicked = true;
  if (cmd.type != base::ICMD::MOUSE_MOVE) return false;
  if (base::sys::MouseButton(0) && cmd.modifiers == base::ICMD::MOD_SHIFT) {
    base::tVector3<float> p = m_locator.GetPos();
    p.y -= Motion(cmd.extra[1]);  // the mouse moved up lifts the light
    m_locator.SetPos(p);
  } else if (base::sys::MouseButton(1)) {
    m_pitch += Motion(cmd.extra[1]) * kTurnPerCount;
    m_yaw += Motion(cmd.extra[0]) * kTurnPerCount;
    base::WrapAngle(m_pitch);
    base::WrapAngle(m_yaw);
    m_locator.SetOrientation(base::Quaternion().set_yaw_pitch_roll(m_yaw, m_pitch, 0.0f));
  }
  return false;
}

void cl_PlaceLightTool::Send(bool placement) {
  base::Variant& light = FirstChild(m_answer);
  if (placement) {
    if (m_type == "point") {
      const base::tVector3<float>& p = m_locator.GetPos();
      light.attribute("x")->set_float(p.x);
      light.attribute("y")->set_float(p.y);
      light.attribute("z")->set_float(p.z);
    }
    const base::tVector3<float> look = m_locator.GetLookDir();
    light.attribute("nx")->set_float(look.x);
    light.attribute("ny")->set_float(look.y);
    light.attribute("nz")->set_float(look.z);
  }
  // Closed before the answer goes out: the listener may open the next window in its place.
  EndPlacementTool(this, m_listener);
  if (m_listener) m_listener->ProcessEvent(m_answer);
}

}  // namespace quillane
