// The session and its in-game interface: the token-bar state, the interface's queries answered
// from the running game, and the interface bar's menu and load/save buttons.
#include "quillane/session/SessionInterface.h"

#include <algorithm>

#include "base/data/Variant.h"
#include "graphics/video/VideoFunctions.h"
#include "quillane/core/GameState.h"
#include "quillane/diary/Diary.h"
#include "quillane/diary/DiaryServices.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/scene/Scene.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/InventoryTokens.h"
#include "quillane/session/Session.h"
#include "quillane/session/SessionServices.h"
#include "quillane/video/VideoController.h"

namespace quillane {

// ---- token-bar state

void cl_TokenBarState::Write(base::Variant& gameState) const {
  if (m_bar && gameState.is_element()) m_bar->WriteTokenOrder(gameState);
}

void cl_TokenBarState::Read(const base::Variant& gameState) {
  if (!m_bar) return;
  m_bar->ReadTokenOrder(gameState);
  m_bar->RefreshTokens();
}

// ---- the session's interface work

bool cl_Session::IsBusyForCursor() const {
  // While a line is spoken a click only cuts it short: with the plain cursor a click on something
  // else looked lost.
  const st_GameAction* action = m_actionQueue.GetFirstForegroundAction();
  return (m_overlays && m_overlays->IsBusy()) || m_actionQueue.m_inCutscene || (action && action->m_kind == "speak") ||
         (m_interfaceBar && m_interfaceBar->GetTokenBar() && m_interfaceBar->GetTokenBar()->IsDragging());
}

cl_TokenBar* cl_Session::GetTokenBar() const { return m_interfaceBar ? m_interfaceBar->GetTokenBar() : nullptr; }

void cl_Session::SyncTokenBarMode() {
  if (m_interfaceBar) m_interfaceBar->SyncTokenBarMode();
}

void cl_Session::CreateInterface() {
  // The bar reads the in-game GUI's panels through its parent link, but the session updates and
  // draws it itself, between the scene and the GUI: it is not in the GUI's child list.
  m_interfaceBar = std::make_unique<cl_InterfaceBar>();
  m_interfaceBar->m_Parent = m_gameGUI.get();
  m_tokenBarState = std::make_unique<cl_TokenBarState>(m_interfaceBar->GetTokenBar());
  m_overlays = std::make_unique<cl_OverlayMgr>();
}

void cl_Session::StartInterface() {
  if (m_tokenBarState) m_tokenBarState->Read(m_gameState);
}

// Opening a panel pauses the game and puts the interface away: a carried token goes home and
// the bar fades.
void cl_Session::PrepareForPanel() {
  m_paused = true;
  if (cl_TokenBar* bar = GetTokenBar()) bar->CancelDrag();
  if (m_interfaceBar) m_interfaceBar->Show(false);
}

void cl_Session::OpenIngameMenu() {
  CaptureScreenshot();  // the menu shows the game as it was
  base::cl_Window* menu = m_gameGUI ? m_gameGUI->FindByLabel("IngameMenuPanel") : nullptr;
  if (!menu) return;
  menu->Show(true);
  SetPanelFlag(menu, true);
  PrepareForPanel();
  PlayInterfaceSample("sfx/ui/UI_openmenu.ogg", "OpenMenu", "GUI", 1.0f, false);
}

void cl_Session::OpenLoadSavePanel() {
  base::cl_Window* panel = m_gameGUI ? m_gameGUI->FindByLabel("LoadSavePanel") : nullptr;
  if (!panel) return;
  if (!panel->HasFlag(base::WF_HIDDEN)) {
    panel->Close();
    return;
  }
  SetPanelFlag(panel, true);
  panel->Show(true);
  PrepareForPanel();
  base::Variant mode;
  mode.set_string("loadsavegame");
  panel->ProcessEvent(mode);
}

// ---- InterfaceServices

namespace {

base::Variant* GameState() {
  cl_Session* session = GetSession();
  return session ? session->GetGameState() : nullptr;
}

const base::Variant* TokenTable() {
  cl_Session* session = GetSession();
  return session && !session->GetTokensTable().is_void() ? &session->GetTokensTable() : nullptr;
}

// The bar's dialogue mode follows the running conversation only; lines still under way are
// asked separately.
bool IsDialogActive() {
  cl_Session* session = GetSession();
  return session && session->GetDialogCtrl().m_bActive;
}

int GetDialogPendingCount() {
  cl_Session* session = GetSession();
  return session ? session->GetDialogCtrl().m_nPendingCalls : 0;
}

bool HasForegroundAction() {
  cl_Session* session = GetSession();
  return session && session->GetActionQueue().HasForegroundAction();
}

bool IsCutscene() {
  cl_Session* session = GetSession();
  return session && session->GetActionQueue().m_inCutscene;
}

const char* GetCurrentActionName() {
  cl_Session* session = GetSession();
  const st_GameAction* action = session ? session->GetActionQueue().GetFirstForegroundAction() : nullptr;
  return action ? action->m_kind.c_str() : "";
}

// The scene picture as shown: its 640 reference rows scaled to the viewport.
bool GetSceneHeight(float& height) {
  cl_Session* session = GetSession();
  if (!session || !session->GetScene()) return false;
  const base::tRectf view = GetGameViewportRect();
  height = view.max.y - view.min.y;
  return true;
}

bool IsVideoPlaying() {
  const cl_VideoController* video = cl_VideoController::GetInstance();
  return (video && video->IsPlaying()) || gfx::IsVideoPlaying();
}

float GetVideoTime() { return gfx::GetVideoTime(); }

void OpenIngameMenu() {
  if (cl_Session* session = GetSession()) session->OpenIngameMenu();
}

void OpenLoadSavePanel() {
  if (cl_Session* session = GetSession()) session->OpenLoadSavePanel();
}

// The journal button and the diary's own wishes of the bar.
void OpenDiary() {
  if (cl_Session* session = GetSession()) session->OpenDiary();
}

// The interface asks whether a diary is on screen: without one, none is.
bool IsDiaryVisible() {
  cl_Session* session = GetSession();
  return session && session->GetDiary() && session->IsDiaryVisible();
}

bool SetJournalBlink(bool on) {
  cl_Session* session = GetSession();
  cl_InterfaceBar* bar = session ? session->GetInterfaceBar() : nullptr;
  if (!bar) return false;
  bar->SetJournalBlink(on);
  return true;
}

void ShowInterfaceBar(bool show) {
  cl_Session* session = GetSession();
  if (cl_InterfaceBar* bar = session ? session->GetInterfaceBar() : nullptr) bar->Show(show);
}

int GetMissionValue(const char* name) { return std::max(0, GetMissionState(name)); }

}  // namespace

void InstallInterfaceServices() {
  st_InterfaceServices& services = InterfaceServices();
  services.GetGameState = &GameState;
  services.GetTokenTable = &TokenTable;
  services.IsDialogActive = &IsDialogActive;
  services.GetDialogPendingCount = &GetDialogPendingCount;
  services.GetDialogPartner = &GetDialogPartner;
  services.IsPlayerFree = &IsPlayerFree;
  services.GetTooltipText = &GetTooltipText;
  services.HasForegroundAction = &HasForegroundAction;
  services.IsCutscene = &IsCutscene;
  services.GetCurrentActionName = &GetCurrentActionName;
  services.IsSceneJustLoaded = &cl_Session::IsSceneJustLoaded;
  services.GetSceneHeight = &GetSceneHeight;
  services.IsVideoPlaying = &IsVideoPlaying;
  services.GetVideoTime = &GetVideoTime;
  services.OpenIngameMenu = &OpenIngameMenu;
  services.OpenLoadSavePanel = &OpenLoadSavePanel;
  services.OpenDiary = &OpenDiary;
  services.CaptureScreenshot = [] { if (cl_Session* session = GetSession()) session->CaptureScreenshot(); };
  services.IsDiaryVisible = &IsDiaryVisible;
  FillTokenServices(services);
  st_DiaryServices& diary = DiaryServices();
  diary.SetJournalBlink = &SetJournalBlink;
  diary.ShowInterfaceBar = &ShowInterfaceBar;
  diary.GetMissionValue = &GetMissionValue;
  // The dialogue's automatic end-chat counts the bar's tokens that stay (a topic lost at the end
  // of its script is still fading out) and takes the last one away.
  st_DialogTokenBar& dialogBar = cl_DialogCtrl::TokenBar();
  dialogBar.GetTokenCount = [] {
    cl_Session* session = GetSession();
    cl_TokenBar* bar = session ? session->GetTokenBar() : nullptr;
    return bar ? bar->CountStaying() : 0;
  };
  dialogBar.RemoveTokenAnimated = [](const char* label) {
    cl_Session* session = GetSession();
    if (cl_TokenBar* bar = session ? session->GetTokenBar() : nullptr) bar->RemoveTokenAnimated(label);
  };
}

void RemoveInterfaceServices() {
  // The whole table: no entry may outlive the session it reaches through.
  InterfaceServices() = st_InterfaceServices();
  DiaryServices() = st_DiaryServices();
  cl_DialogCtrl::TokenBar() = st_DialogTokenBar();
}

}  // namespace quillane
