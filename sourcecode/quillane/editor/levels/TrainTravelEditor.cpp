// The train-travel editor: its construction and pictures, the play-test (its commands, the play
// options, the game's restart on the edited board) and closing.
#include "quillane/editor/levels/TrainTravelEditor.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "quillane/editor/levels/LevelEditorTools.h"
#include "quillane/editor/levels/TrainTravelEditorMenu.h"

namespace quillane {

namespace {

constexpr const char* kPlayTestFile = "__tmp.xml";

// The play options the panel carries and the mission element keeps, in the order they are copied.
constexpr const char* kPlayOptions[] = {"NumOfOutOfOrder", "NumOfAgents", "SetOutOfOrder", "SetSaveHaven",
                                        "SetDoubleTurn"};

}  // namespace

int cl_TrainTravelEditor::s_NewNodeCounter = 0;

cl_TrainTravelEditor::cl_TrainTravelEditor() {
  std::fill(std::begin(m_EditorAgentNodes), std::end(m_EditorAgentNodes), -1);
  MarkSaved();
}

cl_TrainTravelEditor::~cl_TrainTravelEditor() = default;

void cl_TrainTravelEditor::ReadPictures() {
  // The opener hands the data file over after construction; the editor menu's compile run makes
  // an instance that never draws, and that one must not look for a file not yet written.
  if (m_PicturesRead || m_DataFile.empty()) return;
  m_PicturesRead = true;
  ReadCompiledData();
}

void cl_TrainTravelEditor::Update(float dt) {
  if (m_Playing) cl_TrainTravelPanel::Update(dt);
}

// ---- closing

void cl_TrainTravelEditor::RequestClose() {
  if (!HasUnsavedChanges() || !OpenQuestion(this, kCloseQuestion, kDiscardText)) CloseEditor();
}

void cl_TrainTravelEditor::CloseEditor() {
  if (base::cl_GUI* gui = GetGUI())
    if (base::cl_Window* own = gui->FindChild("TrainTravelGame")) own->Close();
}

// ---- play-test

bool cl_TrainTravelEditor::HandlePlayCommand(const base::String& command, base::cl_Window* sender) {
  const bool any = m_NodeCount > 0;
  if (command == "Start" || command == "SavePlayOptions") {
    if (!sender) return true;
    TakePlayOptions(sender);
    if (command == "Start") StartPlayTest();
    sender->Close();
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
    base::Variant options;
    options.copy(m_MissionElement);
    if (base::cl_GUI* gui = GetGUI()) OpenPanel(*gui, new cl_TrainTravelEditorMenu(this, "TrainTravelPlayOptions", options));
    return true;
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

void cl_TrainTravelEditor::TakePlayOptions(base::cl_Window* sender) {
  EnsureMission();
  m_MissionElement.attribute("Filename")->set_string(m_GraphFile.c_str());
  for (const char* option : kPlayOptions) m_MissionElement.attribute(option)->set_int(ControlInt(sender, option));
  m_MissionElement.get_attribute_int("NumOfOutOfOrder", m_PlayOutOfOrder);
}

void cl_TrainTravelEditor::EnsureMission() {
  if (!m_MissionElement.is_element()) m_MissionElement.set_element("TrainTravel");
}

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
