// The editor's input, offered in this order (ORDER EDITORINPUT): the module's children, the system
// GUI (panels, dialogs, tools), the display toggle keys, Shift and F1, the menu on a right press,
// and the mouse drags on the open scene: a left press picks a stage sort line (the boundaries
// shown, or an element selected) or else a locator (locators shown, or an element selected);
// moves drag it (Shift turns a locator instead); the release writes the result into the scene's
// project file.
#include <algorithm>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/VariantTools.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorMenu.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr uint16_t kModifierCtrl = 2;
constexpr float kTurnStep = 0.08f;  // radians a locator turns per mouse move with Shift held

bool IsShift(uint8_t key) { return key == base::key::LeftShift || key == base::key::RightShift; }

// Picking works with the matching display on, or while the scene editor has an element selected.
bool CanPick(bool shown) { return shown || !g_SelectedElementLabel.empty(); }

// The child of the scene description's group whose "label" is label; null when there is none.
base::Variant* FindDescription(cl_Scene& scene, const char* group, const char* label, bool addGroup) {
  base::Variant* element = addGroup ? base::variant_find_or_add_element(scene.GetSettings(), group)
                                    : scene.GetSettings().get_element(group);
  return element ? base::variant_find_element_by_attribute_value(*element, "label", label) : nullptr;
}

}  // namespace

bool cl_Editor::HandleToggleKeys(base::ICMD& cmd) {
  if (cmd.type != base::ICMD::KEY_PRESSED || (cmd.modifiers & kModifierCtrl) || !Debug_KeysEnabled) return false;
  st_SceneDisplay& display = SceneDisplay();
  bool* flag = cmd.key == 'H'   ? &display.showHotspots
               : cmd.key == 'N' ? &display.showNavMesh
               : cmd.key == 'L' ? &display.showLocators
               : cmd.key == 'B' ? &display.showBoundaries
                                : nullptr;
  if (!flag) return false;
  *flag = !*flag;
  return true;
}

bool cl_Editor::ProcessInput(base::ICMD& cmd) {
  if (cl_Module::ProcessInput(cmd)) return true;
  if (base::cl_GUI* gui = GetEditorGUI(); gui && gui->ProcessInput(cmd)) return true;
  if (HandleToggleKeys(cmd)) return true;
  if (cmd.type == base::ICMD::KEY_PRESSED) {
    if (IsShift(cmd.key)) {
      m_shiftHeld = true;
      m_cursorAnchor = base::tVector2<float>(cmd.mouseX, cmd.mouseY);
      m_turnReferenceX = static_cast<float>(base::sys::MouseX());
    } else if (cmd.key == base::key::F1) {
      if (cl_GameFrame* frame = GetGameFrame()) frame->LeaveEditor();
      return true;
    }
    return false;
  }
  switch (cmd.type) {
    case base::ICMD::KEY_RELEASED:
      if (IsShift(cmd.key)) m_shiftHeld = false;
      return false;
    case base::ICMD::RIGHT_DOWN:
      OpenMenu(cmd);
      return true;
    case base::ICMD::LEFT_DOWN:
      if (!m_scene) return false;
      PressLeft(cmd);
      return m_pickedSortLayer || m_pickedLocator;
    case base::ICMD::MOUSE_MOVE:
      if (!m_scene || !(m_pickedSortLayer || m_pickedLocator)) return false;
      MoveMouse(cmd);
      return true;
    case base::ICMD::LEFT_UP:
      if (!m_scene || !(m_pickedSortLayer || m_pickedLocator)) return false;
      ReleaseLeft();
      return true;
    default:
      return false;
  }
}

void cl_Editor::OpenMenu(const base::ICMD& cmd) {
  base::cl_GUI* gui = GetEditorGUI();
  if (!gui) return;
  auto* menu = new cl_EditorMenu();
  menu->m_Rect.x = cmd.mouseX;
  menu->m_Rect.y = cmd.mouseY;
  gui->AddChild(menu);
  menu->Init(base::StaticVariantIterator());
  // Near the right or bottom edge the menu opens left of or above the pointer, in view.
  base::KeepInside(*menu, static_cast<float>(base::sys::GetWindowWidth()),
                   static_cast<float>(base::sys::GetWindowHeight()));
}

void cl_Editor::PressLeft(const base::ICMD& cmd) {
  const float x = cmd.mouseX, y = cmd.mouseY;
  const st_SceneDisplay& display = SceneDisplay();
  if (CanPick(display.showBoundaries)) {
    const base::tVector2<float> onScene = m_scene->ScreenToScene(x, y);
    m_pickedSortLayer = m_scene->PickStageSortLine(onScene.x, onScene.y);
    if (m_pickedSortLayer) {
      m_dragB = y;
      m_dragA = static_cast<float>(m_pickedSortLayer->GetYSort());
      return;  // a sort line under a locator wins: the two drags would share the drag values
    }
  }
  if (CanPick(display.showLocators)) {
    m_pickedLocator = m_scene->PickLocator(x, y);
    if (m_pickedLocator) {
      const base::tVector2<float> onScene = m_scene->WorldToScene(m_pickedLocator->locator.GetPos());
      const base::tVector2<float> screen = m_scene->SceneToScreen(onScene.x, onScene.y);
      m_dragB = x - screen.x;
      m_dragA = y - screen.y;
    }
  }
}

void cl_Editor::MoveMouse(const base::ICMD& cmd) {
  const float x = cmd.mouseX, y = cmd.mouseY;
  if (m_pickedSortLayer) {
    m_pickedSortLayer->SetYSort(static_cast<int>(m_dragA + (y - m_dragB) / m_scene->GetEffectiveZoom()));
  } else if (m_shiftHeld) {
    // One step per move event, whatever its distance; the pointer is held where Shift went down.
    const float d = m_turnReferenceX - x;
    m_pickedLocator->locator.TurnRight(d > 0.0f ? kTurnStep : d < 0.0f ? -kTurnStep : 0.0f);
    gfx::SetCursor(&m_cursorAnchor, nullptr);
  } else {
    base::tVector3<float> floor;
    if (m_scene->PickRay(x - m_dragB, y - m_dragA, floor)) m_pickedLocator->locator.SetPos(floor);
  }
}

void cl_Editor::ReleaseLeft() {
  if (m_pickedSortLayer) {
    // The layers hold copies of their elements: the scene's description is what is saved.
    if (base::Variant* element = FindDescription(*m_scene, "StageElements", m_pickedSortLayer->GetLabel().c_str(), false)) {
      element->attribute("ysort")->set_int(m_pickedSortLayer->GetYSort());
      StoreProjectFile(*m_scene);
    }
  } else if (m_pickedLocator) {
    if (base::Variant* element = FindDescription(*m_scene, "Locators", m_pickedLocator->name.c_str(), true)) {
      const base::tVector3<float>& p = m_pickedLocator->locator.GetPos();
      element->attribute("x")->set_float(p.x);
      element->attribute("y")->set_float(p.y);
      element->attribute("z")->set_float(p.z);
      element->attribute("yaw")->set_float(m_pickedLocator->locator.GetYawAngle());
      StoreProjectFile(*m_scene);
    }
  }
  ClearPicks();
}

}  // namespace quillane
