// The train-travel editor's panels: the popup menus, the play options and the station options.
// They only fill their controls; every command is the editor's.
#include "quillane/editor/levels/TrainTravelEditorMenu.h"

#include <cstdlib>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "quillane/editor/levels/TrainTravelEditor.h"

namespace quillane {

namespace {

void SetControl(base::cl_Window* panel, const char* label, int value) {
  if (base::cl_Window* control = panel->FindByLabel(label)) control->m_Value.set_int(value);
}

}  // namespace

int ControlInt(base::cl_Window* panel, const char* label) {
  const base::cl_Window* control = panel ? panel->FindByLabel(label) : nullptr;
  return control ? control->m_Value.get_int() : 0;
}

cl_TrainTravelEditorMenu::cl_TrainTravelEditorMenu(cl_TrainTravelEditor* editor, base::String layout,
                                                   base::Variant options)
    : m_Editor(editor) {
  LoadFromFile("GUI.xml", layout.c_str());
  m_CloseAfterEvent = layout == "TrainTravelContextMenu" || layout == "TrainTravelContextMenuNode" ||
                      layout == "TrainTravelContextMenuPlay";
  if (layout != "TrainTravelPlayOptions") return;
  for (const char* text : {"NumOfAgents", "NumOfOutOfOrder"}) {
    base::String value;
    if (options.get_attribute_string(text, value)) SetControl(this, text, std::atoi(value.c_str()));
  }
  for (const char* flag : {"SetOutOfOrder", "SetSaveHaven", "SetDoubleTurn"}) {
    int value = 0;
    if (options.get_attribute_int(flag, value)) SetControl(this, flag, value);
  }
}

bool cl_TrainTravelEditorMenu::ProcessInput(base::ICMD& cmd) {
  // Modal, it takes all input: without a way to cancel, only one of its entries would let go.
  const base::st_ScreenRect r = GetBoundingRect();
  const float x = static_cast<float>(cmd.mouseX), y = static_cast<float>(cmd.mouseY);
  const bool outside = !(r.left <= x && x < r.right && r.top <= y && y < r.bottom);
  if ((cmd.type == base::ICMD::KEY_PRESSED && cmd.key == base::key::Escape) || cmd.type == base::ICMD::RIGHT_DOWN ||
      (cmd.type == base::ICMD::LEFT_DOWN && outside)) {
    Close();
    return true;
  }
  return cl_Panel::ProcessInput(cmd);
}

bool cl_TrainTravelEditorMenu::ProcessEvent(const base::Variant& event) {
  if (!m_Editor) return false;
  // The editor may close this panel itself (play options); closing twice is harmless.
  if (m_Editor->HandleMenuEvent(&event, this) || m_CloseAfterEvent) Close();
  return false;
}

cl_TrainTravelNodeOptions::cl_TrainTravelNodeOptions(cl_TrainTravelEditor* editor, st_TrainNode& node)
    : m_Editor(editor) {
  LoadFromFile("GUI.xml", "TrainTravelNodeOptions");
  if (base::cl_Window* name = FindByLabel("NodeName")) name->m_Value.set_string(node.m_Name.c_str());
  SetControl(this, "OriginDistance", node.m_OriginDistance);
  SetControl(this, "DestinationDistance", node.m_DestinationDistance);
  const bool origin = node.HasFlags(st_TrainNode::Origin);
  const bool destination = !origin && node.HasFlags(st_TrainNode::Destination);
  if (base::cl_Window* type = FindByLabel("NodeType")) {
    SetControl(type, "Origin", origin ? 1 : 0);
    SetControl(type, "Destination", destination ? 1 : 0);
    SetControl(type, "None", origin || destination ? 0 : 1);
  }
  SetControl(this, "SetNoAgent", node.HasFlags(st_TrainNode::NoAgent) ? 1 : 0);
  SetControl(this, "SetNoOutOfOrder", node.HasFlags(st_TrainNode::NoOutOfOrder) ? 1 : 0);
  SetControl(this, "SetOutOfOrder", node.HasFlags(st_TrainNode::OutOfOrder) ? 1 : 0);
}

bool cl_TrainTravelNodeOptions::ProcessEvent(const base::Variant& event) {
  if (m_Editor) m_Editor->HandleMenuEvent(&event, this);
  return false;
}

}  // namespace quillane
