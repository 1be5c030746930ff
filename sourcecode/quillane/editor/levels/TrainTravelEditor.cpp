// The train-travel editor: input, the menu commands, saving, the play-test and the editing view.
// The menus and the station options panel are in TrainTravelEditorMenu.cpp.
#include "quillane/editor/levels/TrainTravelEditor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "base/ErrorCatcher.h"
#include "base/FileTools.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "base/text/Text.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/editor/levels/LevelEditorTools.h"
#include "quillane/minigames/MinigameRegistry.h"
#include "quillane/screen/InterfaceSounds.h"

namespace quillane {

namespace {

constexpr const char* kLevelFolder = "gui/minigames/traintravel/";
constexpr const char* kPlayTestFile = "__tmp.xml";
// The titles of the questions before unsaved work is dropped or a level written over (the menu
// entries' texts); each answer comes back under its title.
constexpr const char* kCloseQuestion = "Close editor";
constexpr const char* kLoadQuestion = "Load level";
constexpr const char* kOverwriteQuestion = "Save as";
constexpr const char* kDiscardText = "The board has unsaved changes. Discard them?";
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kOutline = 0xFF191919u;  // (25, 25, 25)

// ORDER CITIES: the route backgrounds, file name part and image label part.
constexpr const char* kCities[][2] = {
    {"berlin", "Berlin"}, {"madrid", "Madrid"}, {"monaco", "Monaco"}, {"paris", "Paris"}};

// The play options the panel carries and the mission element keeps, in the order they are copied.
constexpr const char* kPlayOptions[] = {"NumOfOutOfOrder", "NumOfAgents", "SetOutOfOrder", "SetSaveHaven",
                                        "SetDoubleTurn"};

// ORDER NODEFLAGCONTROLS: the station options' flag controls and their flags.
constexpr std::pair<const char*, uint32_t> kFlagControls[] = {{"SetNoAgent", st_TrainNode::NoAgent},
                                                              {"SetNoOutOfOrder", st_TrainNode::NoOutOfOrder},
                                                              {"SetOutOfOrder", st_TrainNode::OutOfOrder}};

bool IsLabel(const base::Variant* event, const char* label) {
  const char* own = event ? event->get_label() : nullptr;
  return own && std::strcmp(own, label) == 0;
}

base::String Attribute(const base::Variant* event, const char* name) {
  base::String value;
  if (event) event->get_attribute_string(name, value);
  return value;
}

}  // namespace

int cl_TrainTravelEditor::s_NewNodeCounter = 0;

cl_TrainTravelEditor::cl_TrainTravelEditor() {
  std::fill(std::begin(m_EditorAgentNodes), std::end(m_EditorAgentNodes), -1);
  // The editor menu makes one instance to compile a missing data file; that one has none to read.
  SetDataFile(GameDataFile("TrainTravel"));
  if (base::FileExists(m_DataFile)) ReadCompiledData();
  MarkSaved();
}

cl_TrainTravelEditor::~cl_TrainTravelEditor() = default;

// ---- frame

void cl_TrainTravelEditor::Update(float dt) {
  if (m_Playing) cl_TrainTravelPanel::Update(dt);
}

void cl_TrainTravelEditor::Render(float x, float y) {
  gfx::Begin2D();
  gfx::SetBlendNone();
  // The board covers the window, also while play-tested: the scene being edited and its panel
  // would show through a board without a background, and around a smaller one, as if they still
  // took the clicks.
  gfx::FillRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                static_cast<float>(base::sys::GetWindowHeight()), kBlack);
  if (m_Playing) {
    cl_TrainTravelPanel::Render(x, y);
    return;
  }
  if (m_DraggingBackground) {
    m_BackgroundX = m_MousePos.x - m_GrabOffset.x;
    m_BackgroundY = m_MousePos.y - m_GrabOffset.y;
  }
  // Each picture in the states it needs: the black fill leaves a flat colour in which a picture
  // comes out black, and only a board with a track set them again by chance.
  DrawBackground();  // the game's, here at scale 1 and without its offset
  PreparePictures();
  DrawTracks();
  for (int i = 0; i < m_NodeCount; ++i) {
    const st_TrainNode& node = m_Nodes[i];
    const float nx = static_cast<float>(static_cast<int>(node.m_X));
    const float ny = static_cast<float>(static_cast<int>(node.m_Y));
    PreparePictures();
    DrawPicture(i == m_HoverNode ? PictureNodeHighlight : PictureNode, nx, ny, 1.0f);
    if (node.m_Flags & (st_TrainNode::Origin | st_TrainNode::Destination)) DrawPicture(PictureStartNode, nx, ny, 1.0f);
    if (node.HasFlags(st_TrainNode::ExitNode)) DrawPicture(PictureExit, nx, ny, 1.0f);
    if (node.HasFlags(st_TrainNode::OutOfOrder)) DrawPicture(PictureOutOfOrder, nx, ny, 1.0f);
    if (node.HasFlags(st_TrainNode::DoubleTurn)) DrawPicture(PictureDoubleTurn, nx, ny, 1.0f);
    if (node.HasFlags(st_TrainNode::SaveHaven)) DrawPicture(PictureSaveHaven, nx, ny, 1.0f);
  }
  PreparePictures();
  DrawFigures();
  if (m_ShowText) {
    for (int i = 0; i < m_NodeCount; ++i) {
      const st_TrainNode& node = m_Nodes[i];
      base::String id, flags;
      id.print("ID: %d\n%s", node.m_Id, node.m_Name.c_str());
      flags.print("%s%sOrigin Distance: %d Destination Distance: %d%s%s",
                  node.HasFlags(st_TrainNode::Origin) ? "Origin " : "",
                  node.HasFlags(st_TrainNode::Destination) ? "Destination " : "", node.m_OriginDistance,
                  node.m_DestinationDistance, node.HasFlags(st_TrainNode::NoAgent) ? " No Agents" : "",
                  node.HasFlags(st_TrainNode::NoOutOfOrder) ? " No OutOfOrder" : "");
      gfx::DrawTextOutlined(static_cast<int>(node.m_X + s_NodeSize + 5), static_cast<int>(node.m_Y), id.c_str(), kWhite,
                            kOutline);
      gfx::DrawTextOutlined(static_cast<int>(node.m_X), static_cast<int>(node.m_Y + s_NodeSize), flags.c_str(), kWhite,
                            kOutline);
    }
  }
  if (m_LinkStartNode > -1) {
    const st_TrainNode& start = m_Nodes[m_LinkStartNode];
    const float half = static_cast<float>(s_NodeSize / 2);
    gfx::DrawLine(start.m_X + half, start.m_Y + half, m_MousePos.x, m_MousePos.y, kWhite, 1.0f);
  }
  gfx::DrawLine(0.0f, 0.0f, m_BoardWidth, 0.0f, kWhite, 2.0f);
  gfx::DrawLine(0.0f, 0.0f, 0.0f, m_BoardHeight, kWhite, 2.0f);
  gfx::DrawLine(m_BoardWidth, 0.0f, m_BoardWidth, m_BoardHeight, kWhite, 2.0f);
  gfx::DrawLine(0.0f, m_BoardHeight, m_BoardWidth, m_BoardHeight, kWhite, 2.0f);
  DrawEditorInfo();
  gfx::SetBlendNone();
}

base::String cl_TrainTravelEditor::GetEditorInfo() {
  // "saved" and a refusal speak of the board as it was then.
  if ((!m_Message.empty() || !m_Outcome.empty()) && GraphText() != m_OutcomeBoard) {
    m_Message.clear();
    m_Outcome.clear();
  }
  base::String line;
  line.print("Filename: %s Background Image: %s Num o Nodes: %d", GetLevelPath(m_GraphFile).c_str(),
             m_BackgroundFile.c_str(), m_NodeCount);
  if (!m_Outcome.empty()) {
    line += "; ";
    line += m_Outcome;
  }
  line += " --------------------------- Errors: ";
  if (m_OriginNode == -1) line += " No Origin Node!";
  if (m_DestinationNode == -1) line += " No Destination Node!";
  const int hops = ShortestPathLength(m_OriginNode, m_DestinationNode, true);
  if (hops == -1 || hops == kNoRoute) line += " No Path from Origin to Destination!";
  if (!m_Message.empty()) {
    line += " ";
    line += m_Message;
  }
  return line;
}

void cl_TrainTravelEditor::DrawEditorInfo() {
  gfx::DrawTextOutlined(10, 660, "TrainTravel Editor", kWhite, kOutline);
  gfx::DrawTextOutlined(10, 680, "---------------------------", kWhite, kOutline);
  // A long file name or several errors wrap, and the block rises to stay in the window.
  const std::string& info =
      m_info.Get(GetEditorInfo().c_str(), static_cast<float>(base::sys::GetWindowWidth()) - 20.0f);
  const base::tVector2<float> at = gfx::KeepTextInWindow(10.0f, 700.0f, info.c_str());
  gfx::DrawTextOutlined(static_cast<int>(at.x), static_cast<int>(at.y), info.c_str(), kWhite, kOutline);
}

void cl_TrainTravelEditor::KeepOnScreen(base::cl_Window& window) {
  base::KeepInside(window, static_cast<float>(base::sys::GetWindowWidth()),
                   static_cast<float>(base::sys::GetWindowHeight()));
}

// ---- input

bool cl_TrainTravelEditor::HandleInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_PRESSED && (cmd.key == base::key::PageUp || cmd.key == base::key::PageDown)) {
    m_RandomSeed += cmd.key == base::key::PageUp ? 1 : -1;
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

void cl_TrainTravelEditor::Report(const char* message) {
  PlayErrorSound();
  m_Message = message;
  m_Outcome.clear();
  m_OutcomeBoard = GraphText();
  base::sys::Output("Warning: traintravel editor: %s\n", message);
}

void cl_TrainTravelEditor::ReportSaved(const base::String& path) {
  m_Message.clear();
  m_Outcome.clear();
  m_Outcome.print("saved %s", path.c_str());
  m_OutcomeBoard = GraphText();
}

// ---- menu events

bool cl_TrainTravelEditor::ProcessEvent(const base::Variant& event) { return HandleMenuEvent(&event, nullptr); }

bool cl_TrainTravelEditor::HandleMenuEvent(const base::Variant* event, base::cl_Window* sender) {
  if (IsLabel(event, kCloseQuestion)) {
    if (Attribute(event, "ctrl_label") == "button0") CloseEditor();
    return true;
  }
  if (IsLabel(event, kLoadQuestion)) {
    if (Attribute(event, "ctrl_label") == "button0") OpenLoadBrowser("*.xml");
    return true;
  }
  if (IsLabel(event, kOverwriteQuestion)) {
    if (Attribute(event, "ctrl_label") == "button0" && SaveGraphAs(m_PendingSaveName)) MarkSaved();
    m_PendingSaveName.clear();
    return true;
  }
  if (IsLabel(event, "NameEntered")) {
    if (m_SelectedNode < 0) return false;
    m_Nodes[m_SelectedNode].m_Name = Attribute(event, "label");
    return true;
  }
  if (IsLabel(event, "FilenameEnteredSave")) {
    base::String name = Attribute(event, "label");
    // Checked as typed: "." and ".." would become the hidden files "..xml" and "...xml".
    const bool plain = IsPlainFileName(name.c_str(), "traintravel editor");
    if (name.size() < 4 || std::strcmp(name.c_str() + name.size() - 4, ".xml") != 0) name += ".xml";
    if (!plain) {
      Report("file name refused (no folders, no \"..\")");
      return true;
    }
    // Another level of that name is asked about; the board's own file is its to write.
    if (name != m_GraphFile && base::FileExists(GetLevelPath(name))) {
      m_PendingSaveName = name;
      base::String text;
      text.print("%s already exists. Write over it?", name.c_str());
      if (OpenQuestion(this, kOverwriteQuestion, text.c_str())) return true;
    }
    if (SaveGraphAs(name)) MarkSaved();
    return true;
  }
  if (IsLabel(event, "FilenameEnteredSaveScenario")) {
    const base::String label = Attribute(event, "label");
    if (!IsPlainFileName(label.c_str(), "traintravel editor")) {
      Report("file name refused (no folders, no \"..\")");
      return true;
    }
    base::String path;
    for (int n = 0;; ++n) {
      base::String name;
      name.print("%s_%d.scr", label.c_str(), n);
      path = GetLevelPath(name);
      if (!base::FileExists(path)) break;
    }
    if (SaveScenario(path))
      ReportSaved(path);
    else
      Report("the scenario could not be written");
    return true;
  }
  if (IsLabel(event, "SelectXML")) {
    const base::String file = Attribute(event, "file");
    const base::String extension = base::GetFileExtension(file);
    if (Attribute(event, "category") != "MinigameLoadXML") {
      if (SaveGraphAs(file)) MarkSaved();
    } else if (extension == "xml") {
      LoadGraphFile(file);
    } else if (extension == "scr") {
      m_AgentCount = 0;
      for (int i = 0; i < m_NodeCount; ++i) m_Nodes[i].ClearFlags(st_TrainNode::OutOfOrder);
      LoadScenario(file);
    }
    return true;
  }
  if (IsLabel(event, "SelectImage")) {
    m_BackgroundFile = GetLevelPath(Attribute(event, "file"));
    m_Images[PictureBackground] = gfx::ImageExists(GetBackgroundImageName(m_BackgroundFile).c_str());
    m_HasBackground = true;
    m_BackgroundX = m_BackgroundY = 0.0f;
    return true;
  }
  if (IsLabel(event, "ButtonPressed")) return HandleCommand(Attribute(event, "ctrl_label"), sender);
  return false;
}

void cl_TrainTravelEditor::RequestClose() {
  if (!HasUnsavedChanges() || !OpenQuestion(this, kCloseQuestion, kDiscardText)) CloseEditor();
}

void cl_TrainTravelEditor::CloseEditor() {
  if (base::cl_GUI* gui = GetGUI())
    if (base::cl_Window* own = gui->FindChild("TrainTravelGame")) own->Close();
}

void cl_TrainTravelEditor::OpenLoadBrowser(const char* pattern) {
  OpenFileBrowser(this, "MinigameLoadXML", kLevelFolder, pattern, nullptr);
}

void cl_TrainTravelEditor::LoadGraphFile(const base::String& file) {
  m_GraphFile = file;
  m_Loading = true;
  m_ReloadGraph = true;
  // The old board's references would point into the new one.
  m_OriginNode = m_DestinationNode = m_SelectedNode = m_HoverNode = -1;
  m_DraggedNode = m_LinkStartNode = -1;
  SetPlayerNode(-1);
  for (int i = 0; i < kMaxAgents; ++i) SetAgentNode(-1, i);
  m_AgentCount = m_EditorAgentCount = 0;
  m_Movers.clear();
  if (!LoadGraph(GetLevelPath(m_GraphFile), "", 0, 0)) Report("the level could not be loaded");
  m_Loading = false;
  MarkSaved();
}

void cl_TrainTravelEditor::EnsureMission() {
  if (!m_MissionElement.is_element()) m_MissionElement.set_element("TrainTravel");
}

bool cl_TrainTravelEditor::HandleCommand(const base::String& command, base::cl_Window* sender) {
  const bool any = m_NodeCount > 0;
  if (command == "Start" || command == "SavePlayOptions") {
    if (!sender) return true;
    TakePlayOptions(sender);
    if (command == "Start") StartPlayTest();
    sender->Close();
    return true;
  }
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
  if (command == "Load") {
    // A level replaces the board: unsaved work is asked about first, as on "Exit".
    if (!HasUnsavedChanges() || !OpenQuestion(this, kLoadQuestion, kDiscardText)) OpenLoadBrowser("*.xml");
    return true;
  }
  if (command == "LoadScenario") {
    OpenLoadBrowser("*.scr");
    return true;
  }
  if (command == "Save" && any && !m_GraphFile.empty()) {
    OpenFileBrowser(this, "MinigameSaveXML", kLevelFolder, "*.xml", nullptr);
    return true;
  }
  if (command == "Save" || command == "SaveAs") {
    if (any) OpenNameDialog(this, "FilenameEnteredSave", m_GraphFile.c_str(), -1.0f, -1.0f);
    return true;
  }
  if (command == "SaveScenario") {
    if (any) OpenNameDialog(this, "FilenameEnteredSaveScenario", "", -1.0f, -1.0f);
    return true;
  }
  if (command == "Clear") {
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
    return true;
  }
  if (command == "SetBackground") {
    OpenFileBrowser(this, "MinigameImage", kLevelFolder, "*.tga", kLevelFolder);
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
  if (command == "PlayQuick") {
    if (any) {
      EnsureMission();
      StartPlayTest();
    }
    return true;
  }
  if (command == "Play") {
    if (!any) return true;
    EnsureMission();
    m_MissionElement.attribute("NumOfOutOfOrder")->set_int(m_PlayOutOfOrder);
    base::cl_GUI* gui = GetGUI();
    if (!gui) return true;
    base::Variant options;
    options.copy(m_MissionElement);
    auto* panel = new cl_TrainTravelEditorMenu(this, "TrainTravelPlayOptions", options);
    const base::tVector2<float> at = GetMenuPosition();
    panel->m_Rect.x = at.x;
    panel->m_Rect.y = at.y;
    KeepOnScreen(*panel);
    gui->AddModalWindow(panel);
    return true;
  }
  if (command == "Exit") {
    RequestClose();
    return true;
  }
  // The "Exit" station has no menu: it is kept by the origin's upkeep alone.
  if (m_SelectedNode > -1 && m_SelectedNode < m_NodeCount && m_SelectedNode != FindNodeByName("Exit")) {
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
      if (base::cl_GUI* gui = GetGUI()) {
        auto* panel = new cl_TrainTravelNodeOptions(this, node);
        const base::tVector2<float> at = GetMenuPosition();
        panel->m_Rect.x = at.x;
        panel->m_Rect.y = at.y;
        KeepOnScreen(*panel);
        gui->AddModalWindow(panel);
      }
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
  }
  if (command == "Stop") {
    StopPlayTest();
    return true;
  }
  if (command == "Reset") {
    Restart();
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

void cl_TrainTravelEditor::TakePlayOptions(base::cl_Window* sender) {
  EnsureMission();
  m_MissionElement.attribute("Filename")->set_string(m_GraphFile.c_str());
  for (const char* option : kPlayOptions) m_MissionElement.attribute(option)->set_int(ControlInt(sender, option));
  m_MissionElement.get_attribute_int("NumOfOutOfOrder", m_PlayOutOfOrder);
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

// ---- board operations

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

void cl_TrainTravelEditor::SwapOriginAndDestination() {
  if (m_OriginNode < 0 || m_DestinationNode < 0) return;
  const int origin = m_OriginNode, destination = m_DestinationNode;
  SetOriginNode(destination);
  SetDestinationNode(origin);
  for (int i = 0; i < m_NodeCount; ++i) std::swap(m_Nodes[i].m_OriginDistance, m_Nodes[i].m_DestinationDistance);
}

base::tVector2<float> cl_TrainTravelEditor::ClampToBoard(float x, float y) const {
  const float size = static_cast<float>(s_NodeSize);
  return {std::min(std::max(x, 0.0f), m_BoardWidth - size), std::min(std::max(y, 0.0f), m_BoardHeight - size)};
}

base::tVector2<float> cl_TrainTravelEditor::GetMenuPosition() const {
  const float w = static_cast<float>(base::sys::GetWindowWidth());
  const float h = static_cast<float>(base::sys::GetWindowHeight());
  return {std::clamp(m_MousePos.x - 200.0f, 0.0f, w), std::clamp(m_MousePos.y - 200.0f, 0.0f, h)};
}

base::String cl_TrainTravelEditor::GetLevelPath(const base::String& name) {
  base::String path = kLevelFolder;
  path += name;
  return path;
}

base::String cl_TrainTravelEditor::GetBackgroundImageName(const base::String& path) {
  std::string lower(path.c_str());
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const auto& from : kCities)
    for (const auto& to : kCities) {
      if (from[0] == to[0]) continue;
      if (lower != std::string(kLevelFolder) + from[0] + to[0] + ".tga") continue;
      base::String label;
      label.print("TT_%s%s_BG", from[1], to[1]);
      return label;
    }
  return path;
}

// ---- files

void cl_TrainTravelEditor::BuildGraph(base::Variant& graph) {
  graph.set_element("Nodes");
  graph.attribute("RandomSeed")->set_int(m_RandomSeed);
  if (!m_BackgroundFile.empty()) {
    base::Variant& background = graph.add_element("BackgroundImage");
    background.attribute("Filename")->set_string(GetBackgroundImageName(m_BackgroundFile).c_str());
    background.attribute("X")->set_int(static_cast<int>(m_BackgroundX));
    background.attribute("Y")->set_int(static_cast<int>(m_BackgroundY));
  }
  for (int i = 0; i < m_NodeCount; ++i) WriteNode(m_Nodes[i], graph.add_element("Node"));
  for (int i = 0; i < m_NodeCount; ++i)
    for (int l = 0; l < m_Nodes[i].m_LinkCount; ++l) {
      base::Variant& link = graph.add_element("Link");
      link.attribute("a")->set_int(m_Nodes[i].m_Id);
      link.attribute("b")->set_int(m_Nodes[m_Nodes[i].m_Links[l]].m_Id);
    }
}

base::String cl_TrainTravelEditor::GraphText() {
  base::Variant graph;
  BuildGraph(graph);
  base::Text text;
  base::xml::write_text(graph, text);
  return base::String(text.c_str());
}

void cl_TrainTravelEditor::MarkSaved() { m_SavedGraph = GraphText(); }

bool cl_TrainTravelEditor::HasUnsavedChanges() { return GraphText() != m_SavedGraph; }

bool cl_TrainTravelEditor::SaveGraph() {
  if (!IsPlainFileName(m_GraphFile.c_str(), "traintravel editor")) {
    Report("file name refused (no folders, no \"..\")");
    return false;
  }
  base::Variant graph;
  BuildGraph(graph);
  const base::String path = GetLevelPath(m_GraphFile);
  base::cl_ErrorCatcher errors;
  if (!base::xml::write_file(graph, path.c_str())) {
    // The writer's line names the file and the cause (read-only folder, full disk, long name).
    Report(errors.Cause((std::string("could not write ") + path.c_str()).c_str()).c_str());
    return false;
  }
  return true;
}

bool cl_TrainTravelEditor::SaveGraphAs(const base::String& name) {
  // "Filename:" names what is on disk: a failed save keeps the name the level was last saved as.
  const base::String previous = m_GraphFile;
  m_GraphFile = name;
  if (SaveGraph()) {
    ReportSaved(GetLevelPath(m_GraphFile));
    return true;
  }
  m_GraphFile = previous;
  return false;
}

bool cl_TrainTravelEditor::SaveScenario(const base::String& path) {
  base::Variant scenario;
  scenario.set_element("Nodes");
  for (int i = 0; i < m_AgentCount; ++i) {
    base::Variant& node = scenario.add_element("Node");
    node.attribute("Name")->set_string(GetNode(m_AgentNodes[i]).m_Name.c_str());
    node.attribute("Agent")->set_int(1);
  }
  for (int i = 0; i < m_NodeCount; ++i)
    if (m_Nodes[i].HasFlags(st_TrainNode::OutOfOrder)) {
      base::Variant& node = scenario.add_element("Node");
      node.attribute("Name")->set_string(m_Nodes[i].m_Name.c_str());
      node.attribute("OutOfOrder")->set_int(1);
    }
  for (const char* item : {"SetOutOfOrder", "SetSaveHaven", "SetDoubleTurn"}) {
    int value = 0;
    m_MissionElement.get_attribute_int(item, value);
    scenario.attribute(item)->set_int(value);
  }
  return base::xml::write_file(scenario, path.c_str());
}

bool cl_TrainTravelEditor::LoadScenario(base::String name) {
  if (!cl_TrainTravelPanel::LoadScenario(name)) return false;
  m_EditorAgentCount = m_AgentCount;
  std::copy(m_AgentNodes, m_AgentNodes + kMaxAgents, m_EditorAgentNodes);
  return true;
}

// ---- play-test

void cl_TrainTravelEditor::Restart() {
  // The game's start names its graph file; the editor keeps the name it edits under.
  const base::String kept = m_GraphFile;
  m_Loading = true;
  cl_TrainTravelPanel::Restart();
  m_Loading = false;
  m_GraphFile = kept;
  if (m_SavedPlayerNode > -1) SetPlayerNode(m_SavedPlayerNode);
  for (int i = 0; i < m_EditorAgentCount; ++i) SetAgentNode(m_EditorAgentNodes[i], i);
  m_AgentCount = m_EditorAgentCount;
}

void cl_TrainTravelEditor::StartPlayTest() {
  m_Playing = true;
  m_ReloadGraph = true;
  const base::String kept = m_GraphFile;
  m_GraphFile = kPlayTestFile;
  const bool saved = SaveGraph();
  m_SavedPlayerNode = m_PlayerNode;
  EnsureMission();
  m_MissionElement.attribute("Filename")->set_string(kPlayTestFile);
  if (saved) Restart();
  // Every load of the edited board went through the game's restart and counted a try; a
  // play-test starts at the first, as the game does.
  m_Tries = 0;
  m_Loading = false;
  m_GraphFile = kept;
  if (!saved) m_Playing = false;  // no board to play: the status line says why
}

void cl_TrainTravelEditor::StopPlayTest() {
  m_Playing = false;
  const base::String kept = m_GraphFile;
  EnsureMission();
  m_MissionElement.attribute("Filename")->set_string(kPlayTestFile);
  m_MissionElement.attribute("NumOfOutOfOrder")->set_int(0);
  Restart();
  m_Loading = true;
  if (m_SavedPlayerNode > -1) SetPlayerNode(m_SavedPlayerNode);
  for (int i = 0; i < m_EditorAgentCount; ++i) SetAgentNode(m_EditorAgentNodes[i], i);
  m_GraphFile = kept;
  m_Loading = false;
}

// ---- play targets

bool cl_TrainTravelEditor::TriggerTutorial(base::String prefix, base::String trigger, bool once) {
  return cl_TrainTravelPanel::TriggerTutorial(std::move(prefix), std::move(trigger), once && !m_MissionPath.empty());
}

bool cl_TrainTravelEditor::GetPlayTarget(const char* name, float& x, float& y) {
  float bx = 0.0f, by = 0.0f;
  int used = 0;
  if (name && std::sscanf(name, "board %f %f%n", &bx, &by, &used) == 2 && name[used] == '\0') {
    if (bx < 0.0f || by < 0.0f || bx >= m_BoardWidth || by >= m_BoardHeight) return false;
    x = bx, y = by;
    return IsOnWindow(x, y);
  }
  return cl_TrainTravelPanel::GetPlayTarget(name, x, y);
}

}  // namespace quillane
