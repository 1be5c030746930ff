// The load/save panel: its list, its slot names, its questions and its drawing.
#include "quillane/menu/LoadSavePanel.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>

#include "base/FileTools.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/file/FileFinder.h"
#include "base/gui/GUIScrollControls.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "platform/os/FileSystem.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/menu/GameMenu.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/menu/SavegameField.h"
#include "quillane/savegame/SavegameFailure.h"
#include "quillane/savegame/SavegameImage.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/text/Localised.h"

namespace {

// The mouse wheel's command kind; its signed delta is the first extra word.
constexpr uint8_t kMouseWheel = 11;
constexpr uint32_t kFrameColour = 0xFFDCA459u;

bool IsLabel(const char* label, const char* expected) { return label && base::str::compare(label, expected) == 0; }

bool AnsweredOk(const base::Variant& event) {
  base::tString<base::BaseString> answer;
  return event.get_attribute_string("ctrl_label", answer) && answer == "Ok";
}

// A missing file is no error: it may never have been written.
// False, with the cause (also told in the savegame failure), when the file is there and stays (a
// read-only folder).
bool DeleteIfPresent(const base::tString<base::BaseString>& path) {
  if (!base::FileExists(path) || platform::os::DeleteFile(path.c_str())) return true;
  const int error = errno;
  base::sys::Output("ERROR: savegame file '%s' could not be deleted (%s)\n", path.c_str(), std::strerror(error));
  const quillane::en_SavegameFailure failure = quillane::SavegameFailureOf(error);
  quillane::SetSavegameFailure(failure == quillane::en_SavegameFailure::None ? quillane::en_SavegameFailure::Other
                                                                             : failure);
  return false;
}

// What the failure box says under what failed, for a write (a save, a removal) and for a read.
// ORDER SAVEFAILURE
struct st_Cause {
  const char* written;
  const char* read;
};
constexpr st_Cause kCauses[] = {
    {nullptr, nullptr},
    {"#loads0_9010 The disk is full.", "#loads0_9010 The disk is full."},
    {"#loads0_9011 There is no permission to write to the savegame folder.",
     "#loads0_9012 There is no permission to read the savegame."},
    {"#loads0_9013 The savegame is no longer there.", "#loads0_9013 The savegame is no longer there."},
    {"#loads0_9014 The savegame is damaged.", "#loads0_9014 The savegame is damaged."},
    {"#loads0_9015 The savegame is from another game.", "#loads0_9015 The savegame is from another game."},
    {"#loads0_9016 The savegame folder could not be written to.", "#loads0_9017 The savegame could not be read."},
};
static_assert(std::size(kCauses) == static_cast<size_t>(quillane::en_SavegameFailure::Other) + 1, "ORDER SAVEFAILURE");

struct st_ScoreTip {
  const char* key;
  float x0, x1;
};
constexpr st_ScoreTip kScoreTips[] = {
    {"#loads0_1344 Wealth", 187, 220}, {"#loads0_1349 Spycraft", 240, 274}, {"#loads0_1352 Skill", 291, 325}};

}  // namespace

bool ParseSlotName(const char* name, st_SlotKey& out) {
  if (!name) return false;
  if (base::str::compare(name, "auto") == 0) {
    out = {2, 0};
    return true;
  }
  if (std::strncmp(name, "slot", 4) != 0 || name[4] == 0) return false;
  long long n = 0;
  for (const char* p = name + 4; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    n = n * 10 + (*p - '0');
    if (n > kMaxSlotNumber) return false;
  }
  out = {1, static_cast<int>(n)};
  return true;
}

// ---- construction and names

cl_LoadSavePanel* cl_LoadSavePanel::Create(base::cl_GUI* gui, base::i_GameSession* session) {
  return new (std::nothrow) cl_LoadSavePanel(gui, session);
}

cl_LoadSavePanel::cl_LoadSavePanel(base::cl_GUI* gui, base::i_GameSession* session)
    : m_pGUI(gui), m_pSession(session) {
  m_Label = "LoadSavePanel";
  m_Rect.w = kWidth;
  m_Rect.h = kHeight;
  m_Rect.x = std::floor((static_cast<float>(base::sys::GetWindowWidth()) - kWidth) * 0.5f);
  m_Rect.y = std::floor((static_cast<float>(base::sys::GetWindowHeight()) - kHeight) * 0.5f);
  SetFlag(base::WF_HIDDEN, true);
  SetFlag(base::WF_DISABLED, true);
}

cl_LoadSavePanel::~cl_LoadSavePanel() = default;

base::tString<base::BaseString> cl_LoadSavePanel::GetSaveFolder() { return GetSavegameFolder(); }

base::tString<base::BaseString> cl_LoadSavePanel::GetSavegamePath(const char* fileName) {
  return GetSavegameFilePath(fileName);
}

base::tString<base::BaseString> cl_LoadSavePanel::MakeSlotName() const {
  // Manual numbers start at 1, after the highest one listed, so a new save sorts to the top.
  const int first = m_HighestSlot + 1;
  base::tString<base::BaseString> path;
  // Numbers past what the list can read back are not handed out.
  const int last = first > kMaxSlotNumber - 10000 ? kMaxSlotNumber : first + 10000;
  for (int i = first; i <= last; ++i) {
    path.clear();
    path.print("%sslot%03d.sav", GetSaveFolder().c_str(), i);
    if (!base::FileExists(path)) return path;
  }
  return base::tString<base::BaseString>();
}

bool cl_LoadSavePanel::AutoSave() { return WriteAutoSave(m_pSession); }

// ---- the list

void cl_LoadSavePanel::Rebuild() {
  m_View.Fit({0.0f, 0.0f, kWidth, kHeight});
  if (m_View.IsScaled()) m_Rect.x = m_Rect.y = 0.0f;
  if (gfx::cl_Image* parchment = gfx::ImageExists("loadsave_perga")) {
    m_ParchmentW = static_cast<float>(parchment->GetWidth());
    m_ParchmentH = static_cast<float>(parchment->GetHeight());
  }
  // The list ends above the buttons: a picture padded to a power of two would reach into them.
  m_ParchmentH = std::min(m_ParchmentH, kButtonTop - kListTop - 8.0f);
  m_Margin = std::floor((kWidth - (m_ParchmentW + 512 + 75)) * 0.5f);
  m_ListLeft = kWidth - m_Margin - m_ParchmentW;
  m_FirstVisible = 0;
  m_Rows.clear();
  m_pScrollArea = nullptr;
  while (!m_Children.empty()) base::cl_GUI::DeleteFromTree(this, m_Children.back(), false);

  const float L = m_ListLeft, PW = m_ParchmentW, M = m_Margin;
  struct st_Button {
    const char* label;
    const char* text;
    float x;
  };
  std::vector<st_Button> buttons;
  if (m_Mode == MODE_LOAD) buttons.push_back({"Load", "#loads0_824 Load", L + (PW - 154) * 0.5f});
  if (m_Mode == MODE_SAVE) buttons.push_back({"Save", "#loads0_844 Save", L + (PW - 154) * 0.5f});
  if (m_Mode == MODE_LOADSAVE) {
    buttons.push_back({"Load", "#loads0_824 Load", L + PW - 154 + 25});
    buttons.push_back({"Save", "#loads0_844 Save", L - 25});
  }
  if (m_Mode != MODE_NONE) {
    buttons.push_back({"Delete", "#loads0_828 Delete", M + 512 - 154});
    buttons.push_back({"Exit", "#loads0_832 Exit", M});
  }
  for (const st_Button& b : buttons) {
    if (cl_MainMenuButton* button = CreateMainMenuButton(b.label, b.text, std::trunc(b.x), kButtonTop, true))
      AddChild(button);
  }

  base::cl_Window* area = m_pGUI ? m_pGUI->CreateWindow("ScrollArea") : nullptr;
  if (area) {
    area->Init(base::StaticVariantIterator());
    area->m_Rect = {L - 2, 42, PW + 11, m_ParchmentH + 3};
    if (auto* scroll = dynamic_cast<base::cl_ScrollArea*>(area)) scroll->m_ScrollX = scroll->m_ScrollY = 0;
    AddChild(area);
    m_pScrollArea = area;
  }
  RefreshList();
}

void cl_LoadSavePanel::RefreshList() {
  base::cl_Window* client = nullptr;
  if (auto* scroll = dynamic_cast<base::cl_ScrollArea*>(m_pScrollArea)) client = scroll->m_pClient;
  for (cl_SavegameField* row : m_Rows) {
    if (client) client->RemoveChild(row);
    delete row;
  }
  m_Rows.clear();

  base::tString<base::BaseString> pattern;
  pattern.print("%s*.sav", GetSaveFolder().c_str());
  base::list<base::tString<base::BaseString>> files;
  base::cl_FileFinder finder;
  finder.AddToFileList(files, pattern, false);

  std::map<st_SlotKey, cl_SavegameField*> sorted;
  m_HighestSlot = 0;
  for (const base::tString<base::BaseString>& file : files) {
    const int dot = file.find_last('.');
    const base::tString<base::BaseString> stem = dot >= 0 ? file.left(dot) : file;
    st_SlotKey key;
    if (!ParseSlotName(stem.lower().c_str(), key) || sorted.count(key)) continue;
    if (key.group == 1 && key.number > m_HighestSlot) m_HighestSlot = key.number;
    cl_SavegameField* row = new cl_SavegameField(this);
    row->m_FileName = stem;
    row->m_DisplayName.print(u"%hs", file.c_str());
    row->ReadHeader();
    sorted[key] = row;
  }
  if (m_Mode == MODE_SAVE || m_Mode == MODE_LOADSAVE) {
    // The current game goes to a scratch file, read back, so its row shows what would be saved.
    cl_SavegameField* row = new cl_SavegameField(this);
    row->m_FileName = "tmp_save";
    row->m_DisplayName = Localised("#loads0_584 New Entry");
    row->m_bNewEntry = true;
    if (m_pSession) {
      const base::Variant header = BuildSaveHeader(m_pSession);
      if (m_pSession->SaveGame(GetSavegamePath("tmp_save").c_str(), row->m_DisplayName, &header)) {
        row->ReadHeader();
        row->ReadPreview();
      }
      // The row holds what it shows, and the scratch file goes at once: with it on the disk a
      // save needed room for two savegames.
      DeleteSavegameFiles("tmp_save");
      row->m_DisplayName = Localised("#loads0_584 New Entry");
    }
    sorted[st_SlotKey{0, 0}] = row;
  }

  int index = 0;
  for (auto& [key, row] : sorted) {
    row->m_Index = index;
    row->m_Rect = {0, kRowPitch * static_cast<float>(index), 256, 64};
    if (client) client->AddChild(row);
    m_Rows.push_back(row);
    ++index;
  }
  m_RowCount = index;
  m_Selected = 0;

  if (m_RowCount > kVisibleRows) {
    const float L = m_ListLeft, PW = m_ParchmentW;
    if (gfx::cl_Image* up = gfx::ImageExists("scroll_up"))
      AddChild(new cl_QLImageButton("scroll_up", L + PW - static_cast<float>(up->GetWidth()) + 6,
                                    kListTop - static_cast<float>(up->GetHeight()) + 7, up));
    if (gfx::cl_Image* down = gfx::ImageExists("scroll_down"))
      AddChild(new cl_QLImageButton("scroll_down", L + PW - static_cast<float>(down->GetWidth()) + 6,
                                    kListTop + m_ParchmentH - 7, down));
  }
}

cl_SavegameField* cl_LoadSavePanel::SelectedRow() const {
  return m_Selected >= 0 && m_Selected < static_cast<int>(m_Rows.size()) ? m_Rows[static_cast<size_t>(m_Selected)]
                                                                          : nullptr;
}

float cl_LoadSavePanel::GetScrollY() const {
  auto* scroll = dynamic_cast<base::cl_ScrollArea*>(m_pScrollArea);
  return scroll ? scroll->m_ScrollY : 0.0f;
}

void cl_LoadSavePanel::ScrollBy(float dy) {
  if (auto* scroll = dynamic_cast<base::cl_ScrollArea*>(m_pScrollArea)) scroll->m_ScrollY += dy;
}

void cl_LoadSavePanel::ScrollToFirstVisible() {
  if (auto* scroll = dynamic_cast<base::cl_ScrollArea*>(m_pScrollArea))
    scroll->m_ScrollY = static_cast<float>(m_FirstVisible) * kRowPitch;
}

// ---- saving, loading, deleting

void cl_LoadSavePanel::Ask(const char* type, const char* textKey, const char* id, const char16_t* editDefault) {
  m_pMessageBox = cl_Messagebox::Show(type, textKey, id, editDefault, m_pGUI, this);
}

void cl_LoadSavePanel::TellFailure(const char* textKey, bool reading) {
  const size_t failure = static_cast<size_t>(quillane::GetSavegameFailure());
  const st_Cause& cause = kCauses[failure < std::size(kCauses) ? failure : std::size(kCauses) - 1];
  m_pMessageBox =
      cl_Messagebox::ShowFailure(textKey, reading ? cause.read : cause.written, "MB_savefailed", m_pGUI, this);
}

bool cl_LoadSavePanel::DeleteSavegameFiles(const char* fileName) {
  const base::tString<base::BaseString> path = GetSavegamePath(fileName);
  const bool save = DeleteIfPresent(path);
  base::tString<base::BaseString> side = path;
  base::ReplaceFileExtension(side, "xml");
  return DeleteIfPresent(side) && save;
}

void cl_LoadSavePanel::SaveTo(const base::tString<base::BaseString>& path, const cl_SavegameField* replaced) {
  if (path.empty()) {
    Ask("MB_OK", "#loads0_9001 There is no free savegame name left.", "MB_savefailed");
    return;
  }
  const base::Variant header = BuildSaveHeader(m_pSession);
  // The writer has logged what happened; the player gets the box with the cause.
  quillane::SetSavegameFailure(quillane::en_SavegameFailure::Other);
  if (!m_pSession || !m_pSession->SaveGame(path.c_str(), m_EnteredName, &header)) {
    TellFailure("#loads0_9002 The game could not be saved.", false);
    return;
  }
  // Only now is the replaced savegame expendable: a failed write keeps it.
  if (replaced) DeleteSavegameFiles(replaced->m_FileName.c_str());
  Close();
}

void cl_LoadSavePanel::LoadGame() {
  cl_SavegameField* row = SelectedRow();
  if (!row) return;
  const base::tString<base::BaseString> path = GetSavegamePath(row->m_FileName.c_str());
  if (m_pSession) {
    // A savegame the session cannot read leaves the running game as it was, its sounds too (the
    // session fades them only once the file has read whole): say so and stay.
    quillane::SetSavegameFailure(quillane::en_SavegameFailure::Other);
    if (!m_pSession->LoadGame(path.c_str())) {
      TellFailure("#loads0_9003 The game could not be loaded.", true);
      return;
    }
    Close();
    return;
  }
  // From the root menu the game is loaded behind the loading screen, where a file that does not
  // read would leave the player before an empty game: it is read here first, and the menu and
  // its theme stay for one that does not.
  quillane::st_SavegameImage image;
  if (!quillane::ReadSavegameFile(path.c_str(), image)) {
    TellFailure("#loads0_9003 The game could not be loaded.", true);
    return;
  }
  FadeOutAllSoundGroups();
  Show(false);
  SetFlag(base::WF_DISABLED, true);
  base::Variant load;
  load.set_element("LoadGame");
  load.attribute("file")->set_string(path.c_str());
  if (cl_RootMenu* root = cl_RootMenu::GetInstance()) root->ProcessEvent(load);
}

void cl_LoadSavePanel::Close() {
  DeleteSavegameFiles("tmp_save");
  Show(false);
  SetFlag(base::WF_DISABLED, true);
  if (m_pSession) {
    m_pSession->SetPaused(false);
    return;
  }
  if (base::cl_Window* menu = m_pGUI ? m_pGUI->FindChild("MainMenuPanel") : nullptr) {
    menu->Show(true);
    menu->SetFlag(base::WF_DISABLED, false);
  }
}

// ---- events and input

bool cl_LoadSavePanel::ProcessEvent(const base::Variant& event) {
  if (event.is_string()) {
    base::tString<base::BaseString> mode;
    mode = event.get_string();
    if (mode == "loadgame") m_Mode = MODE_LOAD;
    if (mode == "loadsavegame") m_Mode = MODE_LOADSAVE;
    if (mode == "savegame") m_Mode = MODE_SAVE;
    Rebuild();
    return true;
  }
  const char* name = event.get_label();
  if (IsLabel(name, "ButtonPressed")) {
    base::tString<base::BaseString> pressed;
    if (!event.get_attribute_string("ctrl_label", pressed)) return false;
    PlayClickSound();
    if (pressed == "Save") {
      const cl_SavegameField* row = SelectedRow();
      Ask("MB_EDIT", "#loads0_1500 Enter your Savegame Name?", "MB_entersavename",
          row ? row->m_DisplayName.c_str() : u"");
    } else if (pressed == "Load") {
      if (!m_pSession)
        LoadGame();
      else
        Ask("MB_YESNO", "#loads0_1532 Do you really want to load? All progress will be lost!", "MB_load");
    } else if (pressed == "Delete") {
      Ask("MB_YESNO", "#loads0_1572 Delete the Savegame?", "MB_delete");
    } else if (pressed == "Exit") {
      Close();
      return false;
    } else if (pressed == "scroll_up" || pressed == "scroll_down") {
      ScrollBy(pressed == "scroll_up" ? -kRowPitch : kRowPitch);
    } else {
      return false;
    }
    return true;
  }
  if (IsLabel(name, "MB_load")) {
    m_pMessageBox = nullptr;
    if (AnsweredOk(event)) LoadGame();
    return true;
  }
  if (IsLabel(name, "MB_entersavename")) {
    cl_Messagebox* box = m_pMessageBox;
    m_pMessageBox = nullptr;
    if (!AnsweredOk(event) || !box) return true;
    m_EnteredName = box->GetEditText();
    if (m_EnteredName.empty()) return true;
    if (m_Selected == 0 && SelectedRow() && SelectedRow()->m_bNewEntry)
      SaveTo(MakeSlotName(), nullptr);
    else
      Ask("MB_YESNO", "#loads0_1824 Do you want to overwrite the existing save?", "MB_saveoverwrite");
    return true;
  }
  if (IsLabel(name, "MB_saveoverwrite")) {
    m_pMessageBox = nullptr;
    if (AnsweredOk(event)) SaveTo(MakeSlotName(), SelectedRow());
    return true;
  }
  if (IsLabel(name, "MB_delete")) {
    m_pMessageBox = nullptr;
    if (AnsweredOk(event) && SelectedRow()) {
      const bool deleted = DeleteSavegameFiles(SelectedRow()->m_FileName.c_str());
      Rebuild();
      if (!deleted) TellFailure("#loads0_9004 The savegame could not be deleted.", false);
    }
    return true;
  }
  if (IsLabel(name, "MB_savefailed")) {
    m_pMessageBox = nullptr;
    return true;
  }
  return false;
}

bool cl_LoadSavePanel::ProcessInput(base::ICMD& cmd) {
  if (HasFlag(base::WF_DISABLED)) return false;
  return m_View.Input(cmd, [this](base::ICMD& laidOut) { return ProcessPanelInput(laidOut); });
}

bool cl_LoadSavePanel::ProcessPanelInput(base::ICMD& cmd) {
  const bool scrollable = m_RowCount >= kVisibleRows + 1;
  if (cmd.type == kMouseWheel) {
    if (scrollable && m_pScrollArea && m_pScrollArea->HitTest(cmd))
      ScrollBy(static_cast<int16_t>(cmd.extra[2]) > 0 ? -kRowPitch : kRowPitch);
    return true;
  }
  if (cmd.type != base::ICMD::KEY_PRESSED) {
    ProcessInputChildren(cmd);
    m_FirstVisible = m_Selected;
    return true;
  }
  switch (cmd.key) {
    case base::key::Escape: Close(); break;
    case base::key::Up:
      if (m_Selected > 0) {
        --m_Selected;
        if (m_Selected < m_FirstVisible) m_FirstVisible = m_Selected;
        ScrollToFirstVisible();
        PlayClickSound();
      }
      break;
    case base::key::Down:
      if (m_Selected < m_RowCount - 1) {
        ++m_Selected;
        if (m_Selected > m_FirstVisible + kVisibleRows - 1) m_FirstVisible = m_Selected - (kVisibleRows - 1);
        ScrollToFirstVisible();
        PlayClickSound();
      }
      break;
    case base::key::Enter:
      if (m_Mode == MODE_LOAD && m_bSelectedIsSavegame) {
        if (!m_pSession)
          LoadGame();
        else
          Ask("MB_YESNO", "#loads0_1308 Do you really want to load? All progress will be lost!", "MB_load");
      } else if (m_Mode == MODE_SAVE) {
        const cl_SavegameField* row = SelectedRow();
        Ask("MB_EDIT", "#loads0_1348 Enter your Savegame Name?", "MB_entersavename",
            row ? row->m_DisplayName.c_str() : u"");
      }
      break;
    case base::key::Delete:
      if (m_RowCount > 0 && (m_Mode == MODE_LOAD || m_Selected >= 1))
        Ask("MB_YESNO", "#loads0_1372 Delete the Savegame?", "MB_delete");
      break;
    case base::key::PageUp:
    case base::key::PageDown:
      if (scrollable) ScrollBy(cmd.key == base::key::PageUp ? -kRowPitch : kRowPitch);
      break;
    default:
      break;
  }
  return true;
}

// ---- drawing

void cl_LoadSavePanel::Render(float px, float py) {
  if (HasFlag(base::WF_HIDDEN) || !gfx::ImageExists("loadsave_perga")) return;
  m_View.Render(px, py, {0.0f, 0.0f, kWidth, kHeight}, kSkinCornerSize,
                [this](float x, float y) { RenderPanel(x, y); });
}

void cl_LoadSavePanel::RenderPanel(float px, float py) {
  gfx::cl_Image* parchment = gfx::ImageExists("loadsave_perga");
  UpdateRect(px, py);
  const float left = m_AbsRect.left, top = m_AbsRect.top;
  DrawRoundFrame(m_AbsRect.left, m_AbsRect.top, m_AbsRect.right, m_AbsRect.bottom, 255);

  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::DrawImage(parchment, left + m_ListLeft, top + kListTop, 1.0f);
  gfx::DrawRect(static_cast<int>(left + m_ListLeft), static_cast<int>(top + kListTop),
                static_cast<int>(left + m_ListLeft + m_ParchmentW), static_cast<int>(top + kListTop + m_ParchmentH),
                kFrameColour);

  m_bSelectedIsSavegame = false;
  if (cl_SavegameField* row = SelectedRow()) {
    row->RenderDetails();
    if (!row->m_bNewEntry) m_bSelectedIsSavegame = true;
  }
  if (base::cl_Window* load = FindChild("Load")) load->SetFlag(base::WF_DISABLED, !m_bSelectedIsSavegame);
  if (base::cl_Window* del = FindChild("Delete"))
    del->SetFlag(base::WF_DISABLED, m_RowCount == 0 || (m_Mode != MODE_LOAD && m_Selected < 1));

  RenderChildren(px, py);

  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  if (gfx::cl_Image* deco = gfx::ImageExists("deco_list")) {
    gfx::DrawImage(deco, left + m_ListLeft + (m_ParchmentW - static_cast<float>(deco->GetWidth())) * 0.5f,
                   top + kListTop - static_cast<float>(deco->GetHeight()) + 8, 1.0f);
  }

  if (m_RowCount == 0) return;
  const float x = left + m_Margin, y = top + 364;
  const base::tVector2<float> mouse = cl_ScaledView::Mouse();
  const float mx = mouse.x, my = mouse.y;
  for (const st_ScoreTip& tip : kScoreTips) {
    if (mx >= x + tip.x0 && mx < x + tip.x1 && my >= y - 13 && my < y + 24) {
      DrawTextCentered((x + tip.x0 + x + tip.x1) * 0.5f, y - 13, Localised(tip.key).c_str(), 0xFFFFFFFFu, 0xFF191919u,
                       true);
      break;
    }
  }
}
