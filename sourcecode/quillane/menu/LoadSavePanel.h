// The load/save panel: lists the savegame folder as rows, lets the player load, save under a
// name, overwrite or delete a savegame, and writes the automatic savegame. The session writes
// and reads the files; this panel chooses their names and builds the list header.
#pragma once

#include <vector>

#include "base/String.h"
#include "base/app/GameFrame.h"
#include "base/gui/GUI.h"
#include "quillane/savegame/SaveSlots.h"
#include "quillane/screen/ScaledView.h"

class cl_Messagebox;
class cl_SavegameField;

// The sort key of a savegame file name: "New Entry" first, then manual savegames from the
// highest number down, then "auto". False for names that are none of these.
struct st_SlotKey {
  int group = 0;   // 0 new entry, 1 manual, 2 automatic
  int number = 0;  // the manual number
  bool operator<(const st_SlotKey& o) const { return group != o.group ? group < o.group : number > o.number; }
};
inline constexpr int kMaxSlotNumber = 999999999;
// "slot<digits>" (any count of digits, value up to kMaxSlotNumber) or "auto", without extension.
bool ParseSlotName(const char* name, st_SlotKey& out);

class cl_LoadSavePanel : public base::cl_Panel {
 public:
  enum en_Mode { MODE_NONE = 0, MODE_LOAD = 1, MODE_SAVE = 2, MODE_LOADSAVE = 3 };
  static constexpr float kWidth = 987, kHeight = 509;
  static constexpr float kListTop = 44, kRowPitch = 65;
  static constexpr float kButtonTop = 460;  // the row of the panel's buttons
  static constexpr int kVisibleRows = 6;

  // Null when it cannot be allocated. session is null for the root menu's panel.
  static cl_LoadSavePanel* Create(base::cl_GUI* gui, base::i_GameSession* session);
  cl_LoadSavePanel(base::cl_GUI* gui, base::i_GameSession* session);
  ~cl_LoadSavePanel() override;

  // GetSavegameFolder and GetSavegameFilePath (savegame/SaveSlots.h).
  static base::tString<base::BaseString> GetSaveFolder();
  static base::tString<base::BaseString> GetSavegamePath(const char* fileName);
  // The next free manual savegame after the highest listed one; empty when none is free.
  base::tString<base::BaseString> MakeSlotName() const;
  // WriteAutoSave (savegame/SaveSlots.h) for the panel's session.
  bool AutoSave();
  // Buttons by mode, the scroll area and the list.
  void Rebuild();
  void RefreshList();
  void LoadGame();  // the selected row
  void Close() override;

  // In a window too small for the panel (800 x 600) the whole panel is drawn smaller to fit, and
  // the mouse reaches it where it is drawn.
  void Render(float px, float py) override;
  bool ProcessInput(base::ICMD& cmd) override;
  const cl_ScaledView& GetView() const { return m_View; }
  // The mode strings, the buttons and the answers of the panel's message boxes.
  bool ProcessEvent(const base::Variant& event) override;

  int GetMode() const { return m_Mode; }
  int GetSelected() const { return m_Selected; }
  void SetSelected(int index) { m_Selected = index; }
  int GetRowCount() const { return m_RowCount; }
  const std::vector<cl_SavegameField*>& GetRows() const { return m_Rows; }
  base::cl_Window* GetScrollArea() const { return m_pScrollArea; }
  float GetScrollY() const;
  float GetPreviewLeft() const { return m_Margin; }  // M: the preview's left edge in the panel
  cl_Messagebox* GetOpenMessageBox() const { return m_pMessageBox; }
  base::i_GameSession* GetSession() const { return m_pSession; }

 private:
  void Ask(const char* type, const char* textKey, const char* id, const char16_t* editDefault = nullptr);
  // The "OK" box saying what failed and, under it, the last savegame failure's cause as a player
  // understands it (of a read, or of a write or removal).
  void TellFailure(const char* textKey, bool reading);
  void RenderPanel(float px, float py);
  bool ProcessPanelInput(base::ICMD& cmd);
  void ScrollBy(float dy);
  void ScrollToFirstVisible();
  // The session writes path with the entered name; on success removes the replaced files (may
  // be null) and closes, on failure a box and the panel stays.
  void SaveTo(const base::tString<base::BaseString>& path, const cl_SavegameField* replaced);
  // Removes the save and its side file; false (logged) when one of them is still there.
  bool DeleteSavegameFiles(const char* fileName);
  cl_SavegameField* SelectedRow() const;

  int m_Mode = MODE_NONE;
  int m_Selected = -1;
  int m_FirstVisible = 0;
  int m_RowCount = 0;
  int m_HighestSlot = 0;  // the highest manual number of the last refresh
  float m_ParchmentW = 0, m_ParchmentH = 0;
  float m_Margin = 0, m_ListLeft = 0;
  base::cl_Window* m_pScrollArea = nullptr;  // a child; null until built
  base::cl_GUI* m_pGUI;                      // not owned
  base::i_GameSession* m_pSession;           // not owned; null in the title menu
  cl_Messagebox* m_pMessageBox = nullptr;
  base::tString<base::BaseUnicodeString> m_EnteredName;
  bool m_bSelectedIsSavegame = false;
  std::vector<cl_SavegameField*> m_Rows;  // owned by the scroll area's client window
  cl_ScaledView m_View;                   // scaled: the panel at the texture's origin
};
