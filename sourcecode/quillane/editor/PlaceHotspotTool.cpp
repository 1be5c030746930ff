// The hotspot placement tool.
#include "quillane/editor/PlaceHotspotTool.h"

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EnterLabelDialog.h"
#include "quillane/editor/PlaceTools.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

// The input device gives code 9 to Backspace (Tab is 8): Backspace takes a corner back.
constexpr uint32_t kOutlineColour = 0xFF6464FFu;  // (100, 100, 255)
constexpr size_t kMinCorners = 3;

}  // namespace

cl_PlaceHotspotTool* cl_PlaceHotspotTool::Create(base::cl_Window* listener) {
  return new cl_PlaceHotspotTool(listener);
}

void cl_PlaceHotspotTool::Render(float, float) {
  DrawKeyHelp(0, 40, "Click: corner  Backspace: take back  Enter: name  Escape: cancel");
  if (m_enterRefused) {
    base::tString<base::BaseString> text;
    text.print("Enter names a hotspot of %d corners or more: it has %d", static_cast<int>(kMinCorners),
               static_cast<int>(m_points.size()));
    DrawToolWarning(text.c_str());
  }
  cl_Scene* scene = cl_Editor::GetEditedScene();
  if (!scene) return;
  gfx::SetCamera(&scene->GetCamera());
  gfx::Begin2D();
  if (!m_points.empty()) {
    const base::tVector2<float> last = scene->SceneToScreen(m_points.back().x, m_points.back().y);
    gfx::DrawLine(last.x, last.y, static_cast<float>(base::sys::MouseX()), static_cast<float>(base::sys::MouseY()),
                  kOutlineColour, 1.0f);
    // Left open: the hotspot closes its outline itself.
    for (size_t i = 1; i < m_points.size(); ++i) {
      const base::tVector2<float> a = scene->SceneToScreen(m_points[i - 1].x, m_points[i - 1].y);
      const base::tVector2<float> b = scene->SceneToScreen(m_points[i].x, m_points[i].y);
      gfx::DrawLine(a.x, a.y, b.x, b.y, kOutlineColour, 1.0f);
    }
  }
  EndToolDrawing();
}

bool cl_PlaceHotspotTool::ProcessInput(base::ICMD& cmd) {
  if (cl_Editor::HandleToggleKeys(cmd)) return true;
  cl_Scene* scene = cl_Editor::GetEditedScene();
  if (cmd.type == base::ICMD::LEFT_DOWN) {
    if (scene)
      m_points.push_back(
          scene->ScreenToScene(static_cast<float>(base::sys::MouseX()), static_cast<float>(base::sys::MouseY())));
    m_enterRefused = false;
    return false;
  }
  if (cmd.type != base::ICMD::KEY_PRESSED) return false;
  if (cmd.key == base::key::Backspace && !m_points.empty()) {
    m_points.pop_back();
  } else if (cmd.key == base::key::Enter && m_points.size() < kMinCorners) {
    m_enterRefused = true;
  } else if (cmd.key == base::key::Enter) {
    base::Variant answer;
    answer.set_element("LabelEntered");
    Show(false);
    if (base::cl_GUI* gui = GetGUI())
      gui->AddModalWindow(cl_EnterLabelDialog::Open(this, answer, base::tString<base::BaseString>("Hotspot")));
  } else if (cmd.key == base::key::Escape) {
    EndPlacementTool(this, m_listener);
    return true;
  }
  return false;
}

bool cl_PlaceHotspotTool::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  if (name && base::str::compare(name, "Cancel") == 0) {
    EndPlacementTool(this, m_listener);
    return true;
  }
  if (!name || base::str::compare(name, "LabelEntered") != 0) return false;
  base::Variant answer;
  answer.set_element("AddElement");
  answer.attribute("category")->set_string("HotSpots");
  base::Variant& hotspot = answer.add_element("HotSpot");
  hotspot.attribute("label")->set_string(EnteredLabel(event).c_str());
  for (const base::tVector2<float>& p : m_points) {
    base::Variant& point = hotspot.add_element("Point");
    point.attribute("x")->set_float(p.x);
    point.attribute("y")->set_float(p.y);
  }
  if (m_listener) m_listener->ProcessEvent(answer);
  EndPlacementTool(this, m_listener);
  return true;
}

}  // namespace quillane
