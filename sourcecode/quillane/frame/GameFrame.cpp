// The game frame: its states, the start-up road and the load cycles through the loading screen.
#include "quillane/frame/GameFrame.h"

#include "base/FileTools.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/resource/ResourceMgr.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/core/EditorServices.h"
#include "quillane/frame/CustomQuit.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/session/Session.h"
#include "quillane/text/QuillaneTextParser.h"
#include "quillane/video/VideoController.h"
#include "quillane/world/PathFinderTest.h"
#include "quillane/world/WorldServices.h"
#include "win32dx9/SysInfo.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace {

cl_GameFrame* g_gameFrame = nullptr;

constexpr const char* kGameResources = "game_resources.xml";
constexpr const char* kEditorResources = "editor/editor_resources.xml";
constexpr const char* kLoadingPicture = "gui/loading_screens/loading_main.tga";
constexpr const char* kIntroList = "Movie/intro.xml";
constexpr float kUnknownDisplayMemoryMb = 256.0f;  // what a driver that reports none gets

void InstallFrameServices();  // fills FrameServices() with the entries at the end of this file

}  // namespace

cl_GameFrame* GetGameFrame() { return g_gameFrame; }

cl_GameFrame* cl_GameFrame::Create() { return new cl_GameFrame(); }

cl_GameFrame::cl_GameFrame()
    : m_systemGUI(std::make_unique<win32dx9::cl_SystemGUI>()), m_gameGUI(std::make_unique<cl_GameGUI>()) {
  SetName("GameFrame");
  g_gameFrame = this;
  InstallFrameServices();
  m_pVideoController = new cl_VideoController();
}

cl_GameFrame::~cl_GameFrame() {
  if (g_gameFrame == this) {
    g_gameFrame = nullptr;
    FrameServices() = st_FrameServices();
    quillane::WorldServices().IsEditorActive = nullptr;
  }
  if (m_quitModule) {
    if (base::cl_System* system = base::cl_System::GetInstance();
        system && system->GetCustomQuitModule() == m_quitModule.get())
      system->SetCustomQuitModule(nullptr);
  }
  m_pLoadingScreen = nullptr;  // a child: the module tree deletes it
  // Now, not with the module tree: an open quit box of the menu lives in the game GUI, which the
  // members' destruction takes first.
  if (m_pRootMenu) RemoveModule(m_pRootMenu);
  m_pRootMenu = nullptr;
  if (m_videoIsState) {
    RemoveModule(m_pVideoController);  // its last handle: this destroys it
  } else {
    delete m_pVideoController;
  }
  m_pVideoController = nullptr;
}

bool cl_GameFrame::StartUp() {
  base::g_pGUI = m_systemGUI.get();
  m_actorRegistry = std::make_unique<quillane::cl_ActorRegistry>();
  m_actorRegistry->LoadActorList("characters/characters.xml");
  m_pLoadingScreen = cl_LoadingScreen::Create();
  m_pRootMenu = cl_RootMenu::Create(m_gameGUI.get());
  if (m_pRootMenu) {
    AddState("RootMenu", m_pRootMenu);
  } else {
    base::sys::Output("ERROR: GameFrame: the root menu cannot be created; there is no \"RootMenu\" state\n");
  }
  AddState("LoadingScreen", m_pLoadingScreen);

  const base::Variant& config = base::sys::GetConfig();
  const base::Variant* devTools = config.get_element("DevTools");
  int introFlag = 1;
  if (devTools) devTools->get_attribute_int("ShowIntroMovies", introFlag);
  if (gfx::cl_Texture* cursor = gfx::TextureExists("gamecursor")) gfx::SetCursor(nullptr, cursor);

  base::tString<base::BaseString> quickLaunch;
  const base::Variant* mode = devTools ? devTools->get_attribute("QuickLaunch") : nullptr;
  if (mode && mode->is_string() && devTools->get_attribute_string("QuickLaunch", quickLaunch)) {
    QuickLaunch(quickLaunch);
  } else {
    NormalStart(introFlag);
  }
  base::sys::TextsystemSetTextParser(new cl_QuillaneTextParser());
  cl_StateHandlerModule::StartUp();
  return true;
}

void cl_GameFrame::NormalStart(int introFlag) {
  InitGfxOptions();
  m_pLoadingScreen->SetImage(kLoadingPicture);
  StartLoading(base::tString<base::BaseString>("RootMenu"));
  QueueResources(base::tString<base::BaseString>(kGameResources));
  // The resident actors, loaded (on the first start: imported and compiled) behind the bar.
  for (const char* label : {"male", "female", "quillane"}) AddLoadingTask(quillane::cl_LoadCharacterTask::Queue(label));
  AddLoadingTask(new Task_SetupCustomQuitModule());
  if (m_pVideoController && introFlag != 0) {
    m_pVideoController->Play(kIntroList, base::tString<base::BaseString>("LoadingScreen"));
    if (!m_videoIsState) AddState("VideoController", m_pVideoController);
    m_videoIsState = true;
    SwitchState("VideoController");
  } else {
    SwitchState("LoadingScreen");
  }
}

namespace {

// DevTools "Savegame" as a path to an existing file; empty without one.
base::tString<base::BaseString> FindQuickLaunchSavegame() {
  base::tString<base::BaseString> savegame;
  const base::Variant* devTools = base::sys::GetConfig().get_element("DevTools");
  if (!devTools || !devTools->get_attribute_string("Savegame", savegame) || savegame.empty()) return savegame;
  // The player's own saves first, then those shipped beside the program.
  base::tString<base::BaseString> user;
  user.print("%s/Savegames/%s", base::sys::GetUserDataPath().c_str(), savegame.c_str());
  if (base::FileExists(user)) return user;
  base::tString<base::BaseString> local("Savegames/");
  local += savegame.c_str();
  if (base::FileExists(local)) return local;
  base::sys::Output("Warning: GameFrame: savegame \"%s\" is in neither %s/Savegames nor Savegames; a new game starts\n",
                    savegame.c_str(), base::sys::GetUserDataPath().c_str());
  return base::tString<base::BaseString>();
}

// Loads the developer's savegame; a damaged one (logged by the load) gives a new game instead
// of a session without any.
class cl_QuickLoadTask : public base::i_Task {
 public:
  cl_QuickLoadTask(base::i_GameSession* session, base::tString<base::BaseString> path)
      : m_session(session), m_path(std::move(path)) {}
  void Run() override {
    if (m_session && !m_session->LoadGame(m_path.c_str())) m_session->NewGame();
  }

 private:
  base::i_GameSession* m_session;
  base::tString<base::BaseString> m_path;
};

}  // namespace

void cl_GameFrame::QuickLaunch(const base::tString<base::BaseString>& mode) {
  base::sys::Output("GameFrame: QuickLaunch \"%s\"\n", mode.c_str());
  if (base::str::compare(mode.c_str(), "game") == 0) {
    // The root menu's road: the session starts first (its start-up binds the script functions),
    // then the game follows as a loading task.
    base::sys::AddResources(kGameResources);
    NewSession();
    base::i_GameSession* session = GetSession();
    if (!session) return;  // CreateSession said why
    RunSession();
    const base::tString<base::BaseString> path = FindQuickLaunchSavegame();
    if (!path.empty()) {
      AddLoadingTask(new cl_QuickLoadTask(session, path));
    } else {
      AddLoadingTask(MakeSessionMethodTask(session, &base::i_GameSession::NewGame));
    }
  } else if (base::str::compare(mode.c_str(), "editor") == 0) {
    StartEditor();
  } else if (base::str::compare(mode.c_str(), "testpathfinder") == 0) {
    base::sys::AddResources(kGameResources);
    AddState("PathFinderTest", quillane::cl_PathFinderTest::Create());
    SwitchState("PathFinderTest");
  } else {
    base::sys::Output("Warning: GameFrame: unknown QuickLaunch value \"%s\"; the frame has no state\n", mode.c_str());
  }
}

void cl_GameFrame::Update(float time, float dt) {
  // The sound system is advanced by the platform's frame loop, once per frame; doing it here
  // too would run its fades at twice the speed.
  cl_StateHandlerModule::Update(time, dt);
  if (const base::cl_Module* state = GetState(); state != m_loggedState) {
    m_loggedState = state;
    base::sys::Output("GameFrame: state %s\n", state ? state->GetName() : "(none)");
  }
}

base::i_GameSession* cl_GameFrame::CreateSession() { return new quillane::cl_Session(); }

void cl_GameFrame::StartEditor() {
  if (!m_pEditor) {
    m_pEditor = CreateEditorModule();
    if (!m_pEditor) {
      base::sys::Output("Warning: GameFrame: this program has no editor; staying in \"%s\"\n", GetStateName());
      return;
    }
    base::sys::AddResources(kEditorResources);
    AddState("Editor", m_pEditor);
    m_pEditor->StartUp();
  }
  SwitchState("Editor");
}

void cl_GameFrame::LeaveEditor() { SwitchState(GetSession() ? "Session" : "RootMenu"); }

bool cl_GameFrame::IsEditorActive() const {
  const base::cl_Module* state = GetState();
  return state && base::str::compare(state->GetName(), "Editor") == 0;
}

const char* cl_GameFrame::GetStateName() const {
  const base::cl_Module* state = GetState();
  return state ? state->GetName() : "";
}

bool cl_GameFrame::SwitchState(const char* name) {
  if (SetState(name)) {
    m_loggedState = GetState();
    base::sys::Output("GameFrame: state %s\n", name);
    return true;
  }
  m_loggedState = nullptr;
  base::sys::Output("ERROR: GameFrame: no state \"%s\"; the frame has no current state\n", name ? name : "");
  return false;
}

void cl_GameFrame::InstallQuitModule(cl_CustomQuitModule* module) {
  m_quitModule.reset(module);
  base::sys::SetCustomQuitModule(module);
  base::sys::Output("GameFrame: quit confirmation installed\n");
}

float GfxQualityFor(float displayMemoryMb) {
  if (displayMemoryMb <= 64.0f) return 0.0f;
  return displayMemoryMb <= 128.0f ? 0.5f : 1.0f;
}

void cl_GameFrame::InitGfxOptions() {
  base::cl_System* system = base::cl_System::GetInstance();
  if (!system) return;
  base::Variant& config = system->GetConfigTree();
  base::Variant* display = config.get_element("Display");
  int autoConfig = 0;
  if (!display || !display->get_attribute_int("AutoConfig", autoConfig) || autoConfig != 1) return;
  display->attribute("AutoConfig")->set_int(0);

  float memory = base::sys::GetSystemInfo().m_DisplayMemory;
  if (!(memory > 0.0f)) {
    base::sys::Output("GameFrame: the driver reports no display memory; configuring for %g MB\n",
                      kUnknownDisplayMemoryMb);
    memory = kUnknownDisplayMemoryMb;
  }
  const float q = GfxQualityFor(memory);
  for (const char* path : {"Options/Gfx/GfxQuality/Value", "Options/Gfx/SceneLOD/Value", "Options/Gfx/CharacterLOD/Value"})
    base::variant_get_attribute_by_path(config, path, true)->set_float(q);
  base::variant_get_attribute_by_path(config, "Options/Gfx/Antialiasing/Value", true)->set_int(q >= 0.5f ? 1 : 0);
  base::variant_get_attribute_by_path(config, "Options/Gfx/Reflections/Value", true)->set_int(q >= 0.5f ? 1 : 0);
  base::variant_get_attribute_by_path(config, "Options/Gfx/NPCLOD/Value", true)->set_int(q == 1.0f ? 1 : 0);
  base::sys::Output("GameFrame: graphics configured for %g MB display memory (quality %g)\n", memory, q);
  base::sys::SaveConfig("config.xml");
  base::sys::SaveConfig("default_config.xml");
  gfx::RequestDeviceReset();
}

// ---- the frame's services

namespace {

bool StartLoadingCycle(const base::tString<base::BaseString>& target) {
  cl_LoadingScreen* screen = g_gameFrame ? g_gameFrame->GetLoadingScreen() : nullptr;
  if (!screen) return false;
  screen->BeginCycle(target);
  g_gameFrame->SwitchState("LoadingScreen");
  return true;
}

base::cl_TaskScheduler* GetLoadingQueue() { return g_gameFrame ? g_gameFrame->GetLoadingScreen() : nullptr; }

void SetLoadingProgressRange(float start, float end) {
  if (cl_LoadingScreen* screen = g_gameFrame ? g_gameFrame->GetLoadingScreen() : nullptr)
    screen->SetProgressRange(start, end);
}

void SetScreenPicture(const char* path) {
  if (cl_LoadingScreen* screen = g_gameFrame ? g_gameFrame->GetLoadingScreen() : nullptr) screen->SetImage(path);
}

bool SwitchState(const char* name) { return g_gameFrame && g_gameFrame->SwitchState(name); }

void OpenEditor() {
  if (g_gameFrame) g_gameFrame->StartEditor();
}

void InstallFrameServices() {
  st_FrameServices& services = FrameServices();
  services.StartLoading = &StartLoadingCycle;
  services.GetLoadingQueue = &GetLoadingQueue;
  services.SetProgressRange = &SetLoadingProgressRange;
  services.SetLoadingPicture = &SetScreenPicture;
  services.SwitchState = &SwitchState;
  services.StartEditor = &OpenEditor;
  // The world's question too: an empty entry would answer as a program without a frame.
  quillane::WorldServices().IsEditorActive = [] { return g_gameFrame && g_gameFrame->IsEditorActive(); };
}

}  // namespace

void Task_SetupCustomQuitModule::Run() {
  if (cl_GameFrame* frame = GetGameFrame()) frame->InstallQuitModule(new cl_CustomQuitModule());
}
