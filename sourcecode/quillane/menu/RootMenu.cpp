// The root menu: its roads (new game, load, options, credits, quit) and its frame.
#include "quillane/menu/RootMenu.h"

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/system.h"
#include "base/text/Textsystem.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/video/VideoFunctions.h"
#include "quillane/core/FrameServices.h"
#include "quillane/gui/MenuSession.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/menu/GameMenu.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/options/OptionsPanel.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/video/VideoController.h"
#include "sound/Sfx.h"

namespace {

constexpr const char* kTheme = "MainMenuTheme";
constexpr float kThemeVolume = 0.5f;
constexpr const char* kNoTexts =
    "ERROR: the game's texts cannot be read, so captions show their keys: see the log, and the language "
    "(Localization) in config.xml";
constexpr uint32_t kNoticeRed = 0xFFFF5040u;
constexpr uint32_t kNoticeOutline = 0xFF191919u;

cl_RootMenu* g_pRootMenu = nullptr;

bool IsLabel(const char* label, const char* expected) { return label && base::str::compare(label, expected) == 0; }

// Loads the savegame into the new session. One the session refuses after all (a scene this game
// does not have, a file changed since the panel read it) leads back to the main menu, as the
// in-game menu's "Main Menu" does, instead of leaving the player before a game with no scene.
class cl_LoadGameTask : public base::i_Task {
 public:
  cl_LoadGameTask(base::i_GameSession* session, bool (base::i_GameSession::*method)(const char*),
                  base::tString<base::BaseString> file)
      : m_session(session), m_method(method), m_file(std::move(file)) {}
  void Run() override {
    if (!m_session || (m_session->*m_method)(m_file.c_str())) return;
    base::sys::Output("Warning: root menu: '%s' was not loaded; back to the main menu\n", m_file.c_str());
    if (auto* session = dynamic_cast<i_MenuSession*>(m_session)) {
      session->SetPendingRequest("mainmenu");
      session->GetFader().Start(true, 0.0f, "", 0);
    }
  }

 private:
  base::i_GameSession* m_session;
  bool (base::i_GameSession::*m_method)(const char*);
  base::tString<base::BaseString> m_file;
};

}  // namespace

base::i_Task* MakeSessionMethodTask(base::i_GameSession* session, bool (base::i_GameSession::*method)()) {
  return new (std::nothrow) base::tGenericTask_MethodCall<base::i_GameSession*, bool (base::i_GameSession::*)()>(
      session, method);
}

base::i_Task* MakeLoadGameTask(base::i_GameSession* session, bool (base::i_GameSession::*method)(const char*),
                               base::tString<base::BaseString> file) {
  return new (std::nothrow) cl_LoadGameTask(session, method, std::move(file));
}

// ---- construction

bool cl_RootMenu::cl_RootMenuEventWrapper::ProcessEvent(const base::Variant& event) {
  return m_pOwner ? m_pOwner->ProcessEvent(event) : false;
}

cl_RootMenu* cl_RootMenu::Create(base::cl_Window* guiRoot) { return new (std::nothrow) cl_RootMenu(guiRoot); }

cl_RootMenu::cl_RootMenu(base::cl_Window* guiRoot) : m_pGUIRoot(guiRoot) {
  g_pRootMenu = this;
  if (m_pGUIRoot) {
    if (auto* panel = new (std::nothrow) cl_MainMenuPanel(this)) m_pGUIRoot->AddChild(panel);
    if (auto* panel = cl_LoadSavePanel::Create(m_pGUIRoot->GetGUI(), nullptr)) m_pGUIRoot->AddChild(panel);
    if (auto* options = cl_OptionsPanel::Create(m_pGUIRoot->GetGUI())) m_pGUIRoot->AddChild(options);
  }
  m_Fader.Start(true, 0.0f, "", 0);
  m_Fader.Start(false, 1.0f, "", 0);
  m_EventWrapper.m_pOwner = this;
}

cl_RootMenu::~cl_RootMenu() {
  if (g_pRootMenu == this) g_pRootMenu = nullptr;
  // An open quit box would answer a wrapper that is gone.
  if (m_pQuitBox && m_pGUIRoot && m_pGUIRoot->IsChild(m_pQuitBox)) {
    m_pGUIRoot->RemoveChild(m_pQuitBox);
    delete m_pQuitBox;
  }
  m_pQuitBox = nullptr;
}

cl_RootMenu* cl_RootMenu::GetInstance() { return g_pRootMenu; }

// ---- update and render

base::i_GameSession* cl_RootMenu::StartSession() {
  m_Fader.Start(false, 0.0f, "", 0);
  base::i_GameFrame* frame = base::GetFrameInterface();
  if (!frame) {
    base::sys::Output("ERROR: root menu: no game frame to start a session in\n");
    return nullptr;
  }
  frame->NewSession();
  frame->RunSession();
  base::i_GameSession* session = base::GetSessionInterface();
  // The frame has said why; the menu itself goes on as it was.
  if (!session) base::sys::Output("Warning: root menu: the game frame made no session; staying in the menu\n");
  return session;
}

void cl_RootMenu::Update(float time, float dt) {
  if (m_bThemePending) {
    sfx::st_PlayParams params;
    params.volume = kThemeVolume;
    params.pan = 1.0f;
    params.loop = true;
    params.ignoreFx = true;
    sfx::PlaySound(sfx::PLAY_STREAM, "msx/theme_mainmenu.ogg", kTheme, "MUSIC", params);
    m_bThemePending = false;
  }
  m_Fader.Update(dt);
  if (!m_PendingCommand.empty() && m_Fader.m_state == cl_Fader::STATE_COVERED) {
    if (m_PendingCommand == "newgame") {
      m_bThemePending = true;
      if (base::i_GameSession* session = StartSession())
        AddLoadingTask(MakeSessionMethodTask(session, &base::i_GameSession::NewGame));
      return;
    }
    if (m_PendingCommand == "loadgame") {
      // The game leads back here in the end, and the theme plays again then, as after a new game.
      m_bThemePending = true;
      if (base::i_GameSession* session = StartSession())
        AddLoadingTask(MakeLoadGameTask(session, &base::i_GameSession::LoadGame, m_SaveFile));
      return;
    }
    if (m_PendingCommand == "quit") {
      if (base::i_GameFrame* frame = base::GetFrameInterface()) frame->ShutDown();
      return;
    }
  }
  // The menu's GUI and its panels (key repeat, tooltips) run on the menu's frames; the quit box,
  // a child of the GUI root, opens and closes with them.
  if (m_pGUIRoot) m_pGUIRoot->Update(dt);
  if (m_bCreditsPlaying) {
    if (cl_VideoController* video = cl_VideoController::GetInstance()) {
      video->Update(time, dt);
      m_bCreditsPlaying = gfx::IsVideoPlaying();
      if (!m_bCreditsPlaying) sfx::FadeSoundVolume(kTheme, kThemeVolume, 0.5f);
    }
  }
}

void cl_RootMenu::Render() {
  gfx::Begin2D();
  gfx::ClearScreen(0xFF000000u);
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  const base::tRectf viewport = GetGameViewportRect();
  gfx::SetFilterLinear();
  if (!m_pBackground) m_pBackground = gfx::ImageExists("bg_main");
  if (m_pBackground) gfx::DrawImage(m_pBackground, viewport.min.x, viewport.min.y, GetGuiScale());
  gfx::SetFilterPoint();
  if (m_pGUIRoot) m_pGUIRoot->Render(0, 0);
  // Without its texts every caption shows its key: the player is told here, not only in the log.
  if (!base::GetTextsystem()->IsInitialised()) {
    gfx::cl_Font* font = gfx::GetFont();
    if (gfx::cl_Font* system = gfx::FontExists("system")) gfx::SetFont(system);
    gfx::DrawTextOutlined(16, 20, kNoTexts, kNoticeRed, kNoticeOutline);
    if (font) gfx::SetFont(font);
  }
  m_Fader.Render();
  gfx::SetCursor(nullptr, gfx::TextureExists("gamecursor"));
}

// ---- input and events

bool cl_RootMenu::ProcessInput(base::ICMD& cmd) {
  if (m_bCreditsPlaying) {
    if (cl_VideoController* video = cl_VideoController::GetInstance()) video->ProcessInput(cmd);
  }
  if (m_pGUIRoot && m_pGUIRoot->ProcessInput(cmd)) return true;
  if (cmd.type == base::ICMD::KEY_PRESSED && cmd.key == base::key::F1 && Debug_KeysEnabled) {
    StartEditor();
    return true;
  }
  return false;
}

void cl_RootMenu::OpenSibling(const char* label, const char* mode, bool init) {
  if (!m_pGUIRoot) return;
  base::cl_Window* sibling = m_pGUIRoot->FindByLabel(label);
  // Without the sibling the menu stays as it is: hiding it would leave no panel at all.
  if (!sibling) return;
  if (base::cl_Window* main = m_pGUIRoot->FindByLabel("MainMenuPanel")) {
    main->SetFlag(base::WF_DISABLED, true);
    main->Show(false);
  }
  if (init) sibling->Init(base::StaticVariantIterator());
  base::Variant event;
  event.set_string(mode);
  sibling->ProcessEvent(event);
  sibling->SetFlag(base::WF_DISABLED, false);
  sibling->Show(true);
}

bool cl_RootMenu::ProcessEvent(const base::Variant& event) {
  if (m_bCreditsPlaying) return false;
  const char* name = event.get_label();
  if (IsLabel(name, "ButtonPressed")) {
    if (!event.get_attribute("ctrl_label")) return false;
    PlayClickSound();
    event.get_attribute_string("ctrl_label", m_PendingCommand);
    if (m_PendingCommand == "quit") {
      base::cl_GUI* gui = m_pGUIRoot ? m_pGUIRoot->GetGUI() : nullptr;
      m_pQuitBox = cl_Messagebox::Show("MB_YESNO", "#rootm0_708 Do you really want to quit the game?", "MB_quit",
                                       nullptr, gui, &m_EventWrapper);
      // The menu stays bright behind the question.
      if (m_pQuitBox) m_pQuitBox->SetFadeTarget(0);
      m_PendingCommand = "";
    } else if (m_PendingCommand == "loadgame") {
      OpenSibling("LoadSavePanel", "loadgame", false);
    } else if (m_PendingCommand == "options") {
      OpenSibling("OptionsPanel", "root", true);
    } else if (m_PendingCommand == "credits") {
      cl_VideoController* video = cl_VideoController::GetInstance();
      if (video && !m_bCreditsPlaying) {
        video->PlayMovie("movie/credits.bik", nullptr);
        m_bCreditsPlaying = true;
        sfx::FadeSoundVolume(kTheme, 0.0f, 0.5f);
      }
    } else {
      sfx::StopSound(kTheme, 1.0f);
      m_Fader.Start(true, 1.0f, "", 0);
    }
    return true;
  }
  if (IsLabel(name, "MB_quit")) {
    base::tString<base::BaseString> answer;
    event.get_attribute_string("ctrl_label", answer);
    if (answer == "Ok") {
      sfx::StopSound(kTheme, 1.0f);
      m_PendingCommand = "quit";
      m_Fader.Start(true, 0.5f, "", 0);
    }
    m_pQuitBox = nullptr;
    return true;
  }
  if (IsLabel(name, "LoadGame")) {
    if (!event.get_attribute("file")) return false;
    m_PendingCommand = "loadgame";
    event.get_attribute_string("file", m_SaveFile);
    m_Fader.Start(true, 0.5f, "", 0);
    return true;
  }
  if (IsLabel(name, "Refresh")) {
    if (base::cl_Window* main = m_pGUIRoot ? m_pGUIRoot->FindByLabel("MainMenuPanel") : nullptr) {
      main->Show(true);
      main->SetFlag(base::WF_DISABLED, false);
    }
    return false;
  }
  return false;
}
