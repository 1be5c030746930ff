// The train-travel editor's editing: the mouse on the board (drag, Ctrl-drag a track, Alt-drag
// the background, the right-click popups), the dispatch of the menus' commands and the dialogs'
// answers, and the commands on the board and on one station with the upkeep of the "Exit"
// station and the agents.
#include <algorithm>
#include <utility>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/system.h"
#include "graphics/image/Image.h"
#include "quillane/editor/levels/LevelEditorTools.h"
#include "quillane/editor/levels/TrainTravelEditor.h"
#include "quillane/editor/levels/TrainTravelEditorMenu.h"
#include "quillane/screen/InterfaceSounds.h"

namespace quillane {

namespace {

// ORDER NODEFLAGCONTROLS: the station options' flag controls and their flags.
constexpr std::pair<const char*, uint32_t> kFlagControls[] = {{"SetNoAgent", st_TrainNode::NoAgent},
                                                              {"SetNoOutOfOrder", st_TrainNode::NoOutOfOrder},
                                                              {"SetOutOfOrder", st_TrainNode::OutOfOrder}};

}  // namespace

// ---- input

bool cl_TrainTravelEditor::HandleInput(base::ICMD& cmd) {
  ReadPictures();
  if (cmd.type == base::ICMD::KEY_PRESSED && (cmd.key == base::key::PageUp || cmd.key == base::key::PageDown)) {
    m_RandomSeed += cmd.key == base::key::PageUp ? 1 : -1;
    return true;
  }
  // A click is told again once its double-click time has passed, at the place it was made: the
  // pointer has moved on since, and taken for its place it left the station under it highlighted.
  if (cmd.type == base::ICMD::CLICK || cmd.type == base::ICMD::DOUBLE_CLICK) {
    if (m_Playing) cl_TrainTravelPanel::HandleInput(cmd);
    return true;
  }
  m_MousePos = {static_cast<float>(cmd.mouseX), static_cast<float>(cmd.mouseY)};
  if (cmd.type == base::ICMD::RIGHT_DOWN) {
    m_SelectedNode = NodeAt(m_MousePos.x, m_MousePos.y);
    if (m_Playing)
      OpenMenu("TrainTravelContextMenuPlay");
    else if (m_SelectedNode < 0)
      OpenMenu("TrainTravelContextMenu");
    else if (m_SelectedNode != FindNodeByName("Exit"))
      OpenMenu("TrainTravelContextMenuNode");
    return true;
  }
  if (m_Playing) {
    cl_TrainTravelPanel::HandleInput(cmd);
    return true;
  }
  if (m_DraggedNode > -1) {
    const base::tVector2<float> at = ClampToBoard(m_MousePos.x - m_GrabOffset.x, m_MousePos.y - m_GrabOffset.y);
    m_Nodes[m_DraggedNode].m_X = at.x;
    m_Nodes[m_DraggedNode].m_Y = at.y;
  }
  m_HoverNode = NodeAt(m_MousePos.x, m_MousePos.y);
  if (cmd.type == base::ICMD::KEY_PRESSED || cmd.type == base::ICMD::KEY_RELEASED) {
    const bool down = cmd.type == base::ICMD::KEY_PRESSED;
    if (cmd.key == base::key::LeftCtrl) m_CtrlDown = down;
    if (cmd.key == base::key::LeftAlt) m_AltDown = down;
  } else if (cmd.type == base::ICMD::LEFT_DOWN) {
    if (m_CtrlDown) {
      m_LinkStartNode = NodeAt(m_MousePos.x, m_MousePos.y);
    } else if (m_AltDown) {
      m_DraggingBackground = true;
      m_GrabOffset = {m_MousePos.x - m_BackgroundX, m_MousePos.y - m_BackgroundY};
    } else {
      m_DraggedNode = NodeAt(m_MousePos.x, m_MousePos.y);
      if (m_DraggedNode > -1)
        m_GrabOffset = {m_MousePos.x - m_Nodes[m_DraggedNode].m_X, m_MousePos.y - m_Nodes[m_DraggedNode].m_Y};
    }
  } else if (cmd.type == base::ICMD::LEFT_UP) {
    m_DraggedNode = -1;
    const int target = NodeAt(m_MousePos.x, m_MousePos.y);
    const int exit = FindNodeByName("Exit");
    if (m_LinkStartNode > -1 && target > -1 && target != m_LinkStartNode && m_LinkStartNode != exit && target != exit)
      ToggleLink(m_LinkStartNode, target);
    m_LinkStartNode = -1;
    m_DraggingBackground = false;
  }
  return true;
}

void cl_TrainTravelEditor::ToggleLink(int from, int to) {
  st_TrainNode& a = m_Nodes[from];
  st_TrainNode& b = m_Nodes[to];
  if (a.RemoveLink(to)) {
    b.RemoveLink(from);
    return;
  }
  // A station holds ten links: a track is made in both directions or not at all.
  if (a.m_LinkCount >= st_TrainNode::kMaxLinks || b.m_LinkCount >= st_TrainNode::kMaxLinks) {
    Report("a station holds at most 10 tracks");
    return;
  }
  a.AddLink(to);
  b.AddLink(from);
}

void cl_TrainTravelEditor::OpenMenu(const char* layout) {
  base::cl_GUI* gui = GetGUI();
  if (!gui) return;
  auto* menu = new cl_TrainTravelEditorMenu(this, layout, base::Variant());
  menu->m_Rect.x = m_MousePos.x;
  menu->m_Rect.y = m_MousePos.y;
  // Near the right or bottom edge the menu opens left of or above the pointer, in view.
  KeepOnScreen(*menu);
  gui->AddModalWindow(menu);
}

void cl_TrainTravelEditor::OpenPanel(base::cl_GUI& gui, base::cl_Panel* panel) {
  const base::tVector2<float> at = GetMenuPosition();
  panel->m_Rect.x = at.x;
  panel->m_Rect.y = at.y;
  KeepOnScreen(*panel);
  gui.AddModalWindow(panel);
}

void cl_TrainTravelEditor::KeepOnScreen(base::cl_Window& window) {
  base::KeepInside(window, static_cast<float>(base::sys::GetWindowWidth()),
                   static_cast<float>(base::sys::GetWindowHeight()));
}

base::tVector2<float> cl_TrainTravelEditor::GetMenuPosition() const {
  const float w = static_cast<float>(base::sys::GetWindowWidth());
  const float h = static_cast<float>(base::sys::GetWindowHeight());
  return {std::clamp(m_MousePos.x - 200.0f, 0.0f, w), std::clamp(m_MousePos.y - 200.0f, 0.0f, h)};
}

void cl_TrainTravelEditor::Report(const char* message) {
  PlayErrorSound();
  m_Message = message;
  m_Outcome.clear();
  m_OutcomeBoard = GraphText();
  base::sys::Output("Warning: traintravel editor: %s\n", message);
}

// ---- menu events

bool cl_TrainTravelEditor::ProcessEvent(const base::Variant& event) { return HandleMenuEvent(&event, nullptr); }

base::String cl_TrainTravelEditor::EventAttribute(const base::Variant& event, const char* name) {
  base::String value;
  event.get_attribute_string(name, value);
  return value;
}

bool cl_TrainTravelEditor::HandleMenuEvent(const base::Variant* event, base::cl_Window* sender) {
  ReadPictures();
  const char* own = event ? event->get_label() : nullptr;
  if (!own) return false;
  const std::string_view label = own;
  if (label == "ButtonPressed") return HandleCommand(EventAttribute(*event, "ctrl_label"), sender);
  if (label == kCloseQuestion) {
    if (EventAttribute(*event, "ctrl_label") == "button0") CloseEditor();
    return true;
  }
  if (label == "NameEntered") {
    if (m_SelectedNode < 0) return false;
    m_Nodes[m_SelectedNode].m_Name = EventAttribute(*event, "label");
    return true;
  }
  return HandleFileAnswer(label, *event);
}

bool cl_TrainTravelEditor::HandleCommand(const base::String& command, base::cl_Window* sender) {
  return HandlePlayCommand(command, sender) || HandleFileCommand(command) || HandleBoardCommand(command, sender) ||
         HandleStationCommand(command);
}

// ---- the board's commands

bool cl_TrainTravelEditor::HandleBoardCommand(const base::String& command, base::cl_Window* sender) {
  if (command == "SaveNodeSettings") {
    if (!sender || m_SelectedNode < 0) return true;
    TakeNodeSettings(sender);
    sender->Close();
    return true;
  }
  if (command == "AddNode") {
    if (s_NodeSize == 0 && m_Images[PictureNode])
      s_NodeSize = static_cast<int>(GetScale() * m_Images[PictureNode]->GetWidth());
    base::String name;
    name.print("New_%i", s_NewNodeCounter);
    if (AddNode(name.c_str()) > -1) ++s_NewNodeCounter;
    return true;
  }
  if (command == "Clear") {
    ClearBoard();
    return true;
  }
  if (command == "Invert") {
    SwapOriginAndDestination();
    return true;
  }
  if (command == "ShowText") {
    m_ShowText = !m_ShowText;
    return true;
  }
  if (command == "Exit") {
    RequestClose();
    return true;
  }
  return false;
}

void cl_TrainTravelEditor::ClearBoard() {
  // Nothing may point at a station that is gone.
  m_NodeCount = 0;
  m_GraphFile.clear();
  m_BackgroundFile.clear();
  m_Images[PictureBackground] = nullptr;
  m_HasBackground = false;
  m_BackgroundX = m_BackgroundY = 0.0f;
  m_OriginNode = m_DestinationNode = m_SelectedNode = m_HoverNode = -1;
  m_DraggedNode = m_LinkStartNode = -1;
  SetPlayerNode(-1);
  for (int i = 0; i < kMaxAgents; ++i) {
    SetAgentNode(-1, i);
    m_EditorAgentNodes[i] = -1;
  }
  m_AgentCount = m_EditorAgentCount = 0;
}

int cl_TrainTravelEditor::AddNode(const char* name) {
  if (m_NodeCount >= kMaxNodes) {
    Report("the board holds at most 50 stations");
    return -1;
  }
  base::Variant element;
  element.set_element("Node");
  if (name) element.attribute("Name")->set_string(name);
  const base::tVector2<float> at = ClampToBoard(m_MousePos.x, m_MousePos.y);
  element.attribute("X")->set_int(static_cast<int>(at.x));
  element.attribute("Y")->set_int(static_cast<int>(at.y));
  st_TrainNode fresh;
  ReadNode(element, m_NodeCount, fresh);
  m_Nodes[m_NodeCount] = fresh;
  return m_Nodes[m_NodeCount++].m_Id;
}

base::tVector2<float> cl_TrainTravelEditor::ClampToBoard(float x, float y) const {
  const float size = static_cast<float>(s_NodeSize);
  return {std::min(std::max(x, 0.0f), m_BoardWidth - size), std::min(std::max(y, 0.0f), m_BoardHeight - size)};
}

void cl_TrainTravelEditor::SwapOriginAndDestination() {
  if (m_OriginNode < 0 || m_DestinationNode < 0) return;
  const int origin = m_OriginNode, destination = m_DestinationNode;
  SetOriginNode(destination);
  SetDestinationNode(origin);
  for (int i = 0; i < m_NodeCount; ++i) std::swap(m_Nodes[i].m_OriginDistance, m_Nodes[i].m_DestinationDistance);
}

// ---- one station's commands

bool cl_TrainTravelEditor::HandleStationCommand(const base::String& command) {
  // The "Exit" station has no menu: it is kept by the origin's upkeep alone.
  if (m_SelectedNode < 0 || m_SelectedNode >= m_NodeCount || m_SelectedNode == FindNodeByName("Exit")) return false;
  st_TrainNode& node = m_Nodes[m_SelectedNode];
  if (command == "RemoveNode") {
    int remap[kMaxNodes];
    DeleteNode(m_SelectedNode, remap);
    // The editor's own agent list follows the board as the game's does.
    int kept = 0;
    for (int i = 0; i < m_EditorAgentCount; ++i) {
      const int station = m_EditorAgentNodes[i];
      if (station >= 0 && station < kMaxNodes && remap[station] > -1) m_EditorAgentNodes[kept++] = remap[station];
    }
    std::fill(m_EditorAgentNodes + kept, m_EditorAgentNodes + kMaxAgents, -1);
    m_EditorAgentCount = kept;
    m_SelectedNode = -1;
    return true;
  }
  if (command == "NodeSettings") {
    if (base::cl_GUI* gui = GetGUI()) OpenPanel(*gui, new cl_TrainTravelNodeOptions(this, node));
    return true;
  }
  if (command == "SetName") {
    OpenNameDialog(this, "NameEntered", "", m_MousePos.x, m_MousePos.y);
    return true;
  }
  if (command == "SetOrigin") {
    SetOriginNode(node.HasFlags(st_TrainNode::Origin) ? -1 : m_SelectedNode);
    return true;
  }
  if (command == "SetDestination") {
    SetDestinationNode(node.HasFlags(st_TrainNode::Destination) ? -1 : m_SelectedNode);
    return true;
  }
  for (const auto& [control, flag] : kFlagControls)
    if (command == control) {
      if (node.HasFlags(flag))
        node.ClearFlags(flag);
      else
        node.SetFlags(flag);
      return true;
    }
  if (command == "SetQuilNode") {
    if (m_PlayerNode == m_SelectedNode)
      m_PlayerNode = -1;
    else
      SetPlayerNode(m_SelectedNode);
    return true;
  }
  if (command == "SetAgentNode") {
    ToggleAgent(m_SelectedNode);
    return true;
  }
  return false;
}

void cl_TrainTravelEditor::ToggleAgent(int station) {
  bool removed = false;
  for (int i = 0; i < m_AgentCount; ++i)
    if (m_AgentNodes[i] == station) {
      m_AgentNodes[i] = -1;
      removed = true;
    }
  if (removed) {
    CompactAgents();
  } else if (m_AgentCount >= kMaxAgents) {
    Report("the board holds at most 5 agents");
    return;
  } else {
    SetAgentNode(station, m_AgentCount);
    m_EditorAgentNodes[m_AgentCount] = station;
    ++m_AgentCount;
    m_EditorAgentCount = m_AgentCount;
  }
  EnsureMission();
  m_MissionElement.attribute("NumOfAgents")->set_int(m_AgentCount);
}

void cl_TrainTravelEditor::CompactAgents() {
  int kept = 0;
  for (int i = 0; i < m_AgentCount; ++i) {
    if (m_AgentNodes[i] == -1) continue;
    const base::tVector2<float> figure = m_AgentFigurePos[i];
    m_AgentNodes[kept] = m_AgentNodes[i];
    m_AgentFigurePos[kept] = figure;
    m_EditorAgentNodes[kept] = i < m_EditorAgentCount ? m_EditorAgentNodes[i] : m_AgentNodes[i];
    ++kept;
  }
  for (int i = kept; i < kMaxAgents; ++i) {
    m_AgentNodes[i] = m_EditorAgentNodes[i] = -1;
    m_AgentFigurePos[i] = {};
  }
  m_AgentCount = m_EditorAgentCount = kept;
}

void cl_TrainTravelEditor::TakeNodeSettings(base::cl_Window* sender) {
  st_TrainNode& node = m_Nodes[m_SelectedNode];
  if (base::cl_Window* name = sender->FindByLabel("NodeName"))
    node.m_Name = name->m_Value.get_string() ? name->m_Value.get_string() : "";
  node.m_DestinationDistance = ControlInt(sender, "DestinationDistance");
  node.m_OriginDistance = ControlInt(sender, "OriginDistance");
  if (base::cl_Window* type = sender->FindByLabel("NodeType")) {
    if (ControlInt(type, "Origin")) {
      SetOriginNode(m_SelectedNode);
    } else if (ControlInt(type, "Destination")) {
      SetDestinationNode(m_SelectedNode);
    } else if (ControlInt(type, "None")) {
      if (node.HasFlags(st_TrainNode::Origin)) SetOriginNode(-1);
      if (node.HasFlags(st_TrainNode::Destination)) SetDestinationNode(-1);
    }
  }
  // SetOriginNode (-1) may have removed the "Exit" station before this one.
  st_TrainNode& kept = m_Nodes[std::clamp(m_SelectedNode, 0, kMaxNodes - 1)];
  for (const auto& [control, flag] : kFlagControls) {
    if (ControlInt(sender, control))
      kept.SetFlags(flag);
    else
      kept.ClearFlags(flag);
  }
}

// ---- the "Exit" station's upkeep

st_TrainNode* cl_TrainTravelEditor::SetOriginNode(int index) {
  const int previous = m_OriginNode;
  st_TrainNode* old = cl_TrainTravelPanel::SetOriginNode(index);
  if (m_Loading) return old;
  int exit = FindNodeByName("Exit");
  if (index < 0) {
    if (exit > -1) {
      if (m_SelectedNode == exit) m_SelectedNode = -1;
      const int selected = m_SelectedNode;
      int remap[kMaxNodes];
      DeleteNode(exit, remap);
      m_SelectedNode = selected > -1 ? remap[selected] : -1;
    }
    return old;
  }
  if (exit == index) return old;  // a loaded board may start on its exit: nothing to join
  if (exit < 0) {
    exit = AddNode("Exit");
    if (exit < 0) return old;  // a full board: the origin stands without its exit
    m_Nodes[exit].SetFlags(st_TrainNode::ExitNode);
  }
  const st_TrainNode& origin = m_Nodes[index];
  const float gap = static_cast<float>(s_NodeSize) + 40.0f;
  const base::tVector2<float> at = ClampToBoard(origin.m_X - gap, origin.m_Y - gap);
  m_Nodes[exit].m_X = at.x;
  m_Nodes[exit].m_Y = at.y;
  if (previous > -1 && previous < m_NodeCount) m_Nodes[previous].RemoveLink(exit);
  // The exit is joined to the origin only.
  for (int l = 0; l < m_Nodes[exit].m_LinkCount; ++l) {
    const int other = m_Nodes[exit].m_Links[l];
    if (other >= 0 && other < m_NodeCount) m_Nodes[other].RemoveLink(exit);
  }
  while (m_Nodes[exit].m_LinkCount > 0) m_Nodes[exit].RemoveLink(m_Nodes[exit].m_Links[0]);
  m_Nodes[exit].AddLink(index);
  if (!m_Nodes[index].HasLink(exit) && !m_Nodes[index].AddLink(exit)) {
    m_Nodes[exit].RemoveLink(index);
    Report("the origin holds 10 tracks: no way to the exit");
  }
  return old;
}

}  // namespace quillane
