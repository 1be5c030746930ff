// The train-travel editor's files: the level's graph file written and loaded, the scenario files
// written as a numbered family and loaded, the background picture chosen, the file commands with
// the dialogs they open and their answers, and what counts as unsaved work.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "base/ErrorCatcher.h"
#include "base/FileTools.h"
#include "base/data/Xml.h"
#include "base/text/Text.h"
#include "graphics/font/Font.h"
#include "quillane/editor/levels/LevelEditorTools.h"
#include "quillane/editor/levels/TrainTravelEditor.h"

namespace quillane {

namespace {

// The titles of the questions before unsaved work is dropped or a level written over (the menu
// entries' texts); each answer comes back under its title.
constexpr const char* kLoadQuestion = "Load level";
constexpr const char* kOverwriteQuestion = "Save as";
constexpr const char* kRefusedName = "file name refused (no folders, no \"..\")";

// ORDER CITIES: the route backgrounds, file name part and image label part.
constexpr const char* kCities[][2] = {
    {"berlin", "Berlin"}, {"madrid", "Madrid"}, {"monaco", "Monaco"}, {"paris", "Paris"}};

}  // namespace

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

// ---- commands and answers

bool cl_TrainTravelEditor::HandleFileCommand(const base::String& command) {
  const bool any = m_NodeCount > 0;
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
  if (command == "SetBackground") {
    OpenFileBrowser(this, "MinigameImage", kLevelFolder, "*.tga", kLevelFolder);
    return true;
  }
  return false;
}

bool cl_TrainTravelEditor::HandleFileAnswer(std::string_view label, const base::Variant& event) {
  const bool yes = EventAttribute(event, "ctrl_label") == "button0";
  if (label == kLoadQuestion) {
    if (yes) OpenLoadBrowser("*.xml");
    return true;
  }
  if (label == kOverwriteQuestion) {
    if (yes && SaveGraphAs(m_PendingSaveName)) MarkSaved();
    m_PendingSaveName.clear();
    return true;
  }
  if (label == "FilenameEnteredSave") {
    SaveNamed(EventAttribute(event, "label"));
    return true;
  }
  if (label == "FilenameEnteredSaveScenario") {
    SaveScenarioNamed(EventAttribute(event, "label"));
    return true;
  }
  if (label == "SelectXML") {
    const base::String file = EventAttribute(event, "file");
    const base::String extension = base::GetFileExtension(file);
    if (EventAttribute(event, "category") != "MinigameLoadXML") {
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
  if (label == "SelectImage") {
    ChooseBackground(EventAttribute(event, "file"));
    return true;
  }
  return false;
}

void cl_TrainTravelEditor::SaveNamed(base::String name) {
  // Checked as typed: "." and ".." would become the hidden files "..xml" and "...xml".
  const bool plain = IsPlainFileName(name.c_str(), "traintravel editor");
  if (name.size() < 4 || std::strcmp(name.c_str() + name.size() - 4, ".xml") != 0) name += ".xml";
  if (!plain) {
    Report(kRefusedName);
    return;
  }
  // Another level of that name is asked about; the board's own file is its to write.
  if (name != m_GraphFile && base::FileExists(GetLevelPath(name))) {
    m_PendingSaveName = name;
    base::String text;
    text.print("%s already exists. Write over it?", name.c_str());
    if (OpenQuestion(this, kOverwriteQuestion, text.c_str())) return;
  }
  if (SaveGraphAs(name)) MarkSaved();
}

void cl_TrainTravelEditor::SaveScenarioNamed(const base::String& label) {
  if (!IsPlainFileName(label.c_str(), "traintravel editor")) {
    Report(kRefusedName);
    return;
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
}

void cl_TrainTravelEditor::ChooseBackground(const base::String& file) {
  m_BackgroundFile = GetLevelPath(file);
  m_Images[PictureBackground] = gfx::ImageExists(GetBackgroundImageName(m_BackgroundFile).c_str());
  m_HasBackground = true;
  m_BackgroundX = m_BackgroundY = 0.0f;
}

void cl_TrainTravelEditor::OpenLoadBrowser(const char* pattern) {
  OpenFileBrowser(this, "MinigameLoadXML", kLevelFolder, pattern, nullptr);
}

// ---- reading

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

bool cl_TrainTravelEditor::LoadScenario(base::String name) {
  if (!cl_TrainTravelPanel::LoadScenario(name)) return false;
  m_EditorAgentCount = m_AgentCount;
  std::copy(m_AgentNodes, m_AgentNodes + kMaxAgents, m_EditorAgentNodes);
  return true;
}

// ---- writing

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
    Report(kRefusedName);
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

void cl_TrainTravelEditor::ReportSaved(const base::String& path) {
  m_Message.clear();
  m_Outcome.clear();
  m_Outcome.print("saved %s", path.c_str());
  m_OutcomeBoard = GraphText();
}

}  // namespace quillane
