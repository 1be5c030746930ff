// cl_TrainTravelEditor: the level editor of the train-travel game. It is the game panel with an
// editing mode laid over it: stations are placed, dragged, named, flagged and linked with the
// mouse and three popup menus, the board is checked for what would make it unplayable, and it is
// written back as the graph and scenario files the game reads. A play-test runs the real game on
// the board being edited and returns to editing when stopped. Its pictures are read from the data
// file its opener hands over (SetDataFile). Main thread only. One class, a file per job:
//   TrainTravelEditor.cpp      construction and pictures, the play-test, closing
//   TrainTravelEditorView.cpp  the editing view: background, tracks, stations, status line
//   TrainTravelEditing.cpp     the mouse and the menus' commands on the board
//   TrainTravelLevelFile.cpp   the graph and scenario files, their dialogs, the background
// The popups and option panels (TrainTravelEditorMenu.h) hand every command to HandleMenuEvent.
#pragma once

#include <string_view>

#include "base/math/Vector.h"
#include "graphics/draw/Draw.h"
#include "quillane/minigames/traintravel/TrainTravel.h"

namespace base {
class cl_Window;
}

namespace quillane {

class cl_TrainTravelEditor : public cl_TrainTravelPanel {
 public:
  static constexpr float kBoardWidth = 1024.0f;
  static constexpr float kBoardHeight = 640.0f;

  cl_TrainTravelEditor();
  ~cl_TrainTravelEditor() override;
  static i_Minigame* Create() { return new cl_TrainTravelEditor; }

  // ---- the panel's operations, edited
  void Update(float dt) override;                          // the game's only while play-testing
  void Render(float x, float y) override;                  // the game's while play-testing, else the editing view over the whole window
  bool HandleInput(base::ICMD& cmd) override;              // always true
  void RequestClose() override;                            // asks first over unsaved changes, as "Exit"
  bool ProcessEvent(const base::Variant& event) override;  // HandleMenuEvent without a sender
  bool LoadScenario(base::String name) override;           // also takes the agents as the editor's
  void Restart() override;                                 // the game afresh with the editor's agents
  st_TrainNode* SetOriginNode(int index) override;         // keeps the "Exit" station beside the origin
  float GetScale() override { return m_Playing ? cl_TrainTravelPanel::GetScale() : 1.0f; }
  float GetOffsetY() override { return m_Playing ? cl_TrainTravelPanel::GetOffsetY() : 0.0f; }
  // Without a mission path (opened from the editor menu) the tutorials show but mark nothing in
  // a waiting session.
  bool TriggerTutorial(base::String prefix, base::String trigger, bool once) override;
  // "board x y" (a point of the editing area), and the game's.
  bool GetPlayTarget(const char* name, float& x, float& y) override;

  // ---- editing
  // The one handler of the dialogs' answers and the menus' commands; sender: the menu, or null.
  bool HandleMenuEvent(const base::Variant* event, base::cl_Window* sender);
  // A station at the last mouse position; its index, or -1 when the board is full (then the
  // error sound and a status line).
  int AddNode(const char* name);
  // Writes the graph to the level folder under m_GraphFile; false (and a status line) when the
  // name is refused or the write fails.
  bool SaveGraph();
  // SaveGraph under name; a failure keeps the name it had (what is on disk).
  bool SaveGraphAs(const base::String& name);
  bool SaveScenario(const base::String& path);  // the write's result
  // The board differs from what was last loaded or saved under a name (an empty board at first).
  bool HasUnsavedChanges();
  static base::String GetBackgroundImageName(const base::String& path);
  void StartPlayTest();
  void StopPlayTest();
  void SwapOriginAndDestination();
  base::tVector2<float> ClampToBoard(float x, float y) const;
  base::tVector2<float> GetMenuPosition() const;
  static base::String GetLevelPath(const base::String& name);  // "gui/minigames/traintravel/" + name
  void DrawEditorInfo();
  // The status line's text: file, background, count and the last save's outcome, then the
  // errors and the last refused action. The outcome and the refusal go with the next change.
  base::String GetEditorInfo();

  // ---- read by the menus and tests
  bool IsPlaying() const { return m_Playing; }
  int GetSelectedNode() const { return m_SelectedNode; }
  const base::String& GetGraphFile() const { return m_GraphFile; }
  int GetRandomSeed() const { return m_RandomSeed; }
  int GetEditorAgentCount() const { return m_EditorAgentCount; }
  int GetEditorAgentNode(int i) const { return i >= 0 && i < m_EditorAgentCount ? m_EditorAgentNodes[i] : -1; }
  int GetSavedPlayerNode() const { return m_SavedPlayerNode; }
  const base::String& GetMessage() const { return m_Message; }
  static int GetNewNodeCounter() { return s_NewNodeCounter; }

 private:
  // The titles of the questions before unsaved work is dropped (the menu entries' texts); each
  // answer comes back under its title.
  static constexpr const char* kCloseQuestion = "Close editor";
  static constexpr const char* kDiscardText = "The board has unsaved changes. Discard them?";

  // ---- TrainTravelEditor.cpp
  void ReadPictures();  // once, from the data file handed over; nothing without one
  // Start, SavePlayOptions, PlayQuick, Play, Stop, Reset; false for another command.
  bool HandlePlayCommand(const base::String& command, base::cl_Window* sender);
  void TakePlayOptions(base::cl_Window* sender);
  void EnsureMission();
  void CloseEditor();

  // ---- TrainTravelEditorView.cpp
  void DrawStations();
  void DrawStationTexts();

  // ---- TrainTravelEditing.cpp
  static base::String EventAttribute(const base::Variant& event, const char* name);  // "" when absent
  bool HandleCommand(const base::String& command, base::cl_Window* sender);
  bool HandleBoardCommand(const base::String& command, base::cl_Window* sender);
  bool HandleStationCommand(const base::String& command);  // on m_SelectedNode
  void OpenMenu(const char* layout);      // a popup at the mouse
  void OpenPanel(base::cl_GUI& gui, base::cl_Panel* panel);  // an option panel at GetMenuPosition
  static void KeepOnScreen(base::cl_Window& window);  // a menu or panel moved into the window
  void ClearBoard();
  void ToggleAgent(int station);
  void CompactAgents();
  void TakeNodeSettings(base::cl_Window* sender);
  void ToggleLink(int from, int to);
  void Report(const char* message);  // a refused action: error sound, status line, log line

  // ---- TrainTravelLevelFile.cpp
  bool HandleFileCommand(const base::String& command);  // Load, Save, SetBackground, ...
  bool HandleFileAnswer(std::string_view label, const base::Variant& event);  // the file dialogs'
  void SaveNamed(base::String name);               // the "Save as" answer: asks before another level
  void SaveScenarioNamed(const base::String& label);  // as label_<n>.scr, never over one
  void ChooseBackground(const base::String& file);
  void OpenLoadBrowser(const char* pattern);  // the file browser over the level folder
  void LoadGraphFile(const base::String& file);
  void ReportSaved(const base::String& path);  // a save's outcome, on the status line
  void BuildGraph(base::Variant& graph);  // the graph file's tree of the board
  base::String GraphText();               // that tree as XML text
  void MarkSaved();

  int m_DraggedNode = -1;
  int m_LinkStartNode = -1;
  int m_SelectedNode = -1;
  base::tVector2<float> m_MousePos;
  bool m_CtrlDown = false;
  bool m_AltDown = false;
  bool m_Playing = false;
  bool m_DraggingBackground = false;
  base::tVector2<float> m_GrabOffset;
  float m_BoardWidth = kBoardWidth;
  float m_BoardHeight = kBoardHeight;
  int m_PlayOutOfOrder = 0;
  bool m_Loading = false;
  bool m_ShowText = false;
  int m_EditorAgentNodes[kMaxAgents];
  int m_EditorAgentCount = 0;
  int m_SavedPlayerNode = -1;  // no play-test yet: a "Reset" keeps the player where she is
  bool m_PicturesRead = false;
  base::String m_Message;      // the last refused action, shown after "Errors:"
  base::String m_Outcome;      // the last save's outcome, shown before them
  base::String m_OutcomeBoard;  // GraphText when either was shown: a change ends them
  base::String m_SavedGraph;   // GraphText as last loaded or saved; a difference is unsaved work
  base::String m_PendingSaveName;  // "Save as" waiting for the answer to write over that level
  gfx::cl_WrappedText m_info;      // the status line, wrapped again only when it changes

  static int s_NewNodeCounter;
};

}  // namespace quillane
