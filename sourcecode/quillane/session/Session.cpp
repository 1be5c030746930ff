// The session: its lifecycle, the new game, the frame's update and render, and the scene change
// with its scene-script calls.
#include "quillane/session/Session.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/debugger/Debugger.h"
#include "base/app/KeyCode.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/video/VideoFunctions.h"
#include "quillane/core/FrameServices.h"
#include "quillane/core/GameState.h"
#include "quillane/diary/Diary.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/menu/GameMenu.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/MinigameRegistry.h"
#include "quillane/options/OptionsPanel.h"
#include "quillane/scene/Scene.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/SoundScript.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/SessionInterface.h"
#include "quillane/session/SessionServices.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/video/VideoController.h"
#include "sound/Sfx.h"

namespace quillane {
namespace {

constexpr const char* kTokensFile = "GUI/tokens/tokens.xml";
constexpr const char* kCastListFile = "scripts/castlist.xml";
constexpr const char* kHotspotsFile = "scripts/hotspots.xml";
constexpr const char* kInitialGameState = "scripts/initialgamestate.xml";
constexpr const char* kMainInclude = "MainInclude.lua";
constexpr const char* kCampaign = "campaign.lua";

constexpr float kMinForcedStep = 0.000001f;
constexpr float kEdgeScrollSpeed = 600.0f;  // pixels per second
constexpr int kEdgeScrollBand = 5;          // pixels from the window's side

// The games in the order their results and savegames know them.
base::String SceneScriptPath(const base::String& scene) {
  base::String path("Scenes/");
  path += scene.c_str();
  path += ".lua";
  return path;
}

// A table file into its Variant; a missing file leaves the Variant void.
void ReadTable(base::Variant& table, const char* file) {
  table.set_nil();
  if (!base::xml::read_file(table, file)) {
    table.set_nil();
    base::sys::Output("Warning: session table %s cannot be read; it stays empty\n", file);
  }
}

class cl_SceneScriptTask : public base::i_Task {
 public:
  cl_SceneScriptTask(tSceneScriptFunction function, const char* scene, const char* name)
      : m_function(function), m_scene(scene ? scene : ""), m_name(name ? name : "") {}
  void Run() override {
    if (m_function) m_function(m_scene, m_name);
  }

 private:
  tSceneScriptFunction m_function;
  base::String m_scene;
  base::String m_name;
};

// A scene's loading task that runs only while its load is the session's latest: a scene script
// may change the scene again before the loading screen gets to the task, and the stage the task
// was made for is gone then.
class cl_LatestLoadTask : public base::i_Task {
 public:
  cl_LatestLoadTask(base::i_Task* task, int load) : m_task(task), m_load(load) { m_weight = task->m_weight; }
  void Run() override {
    cl_Session* session = GetSession();
    if (session && session->GetSceneLoadCount() == m_load) m_task->Run();
  }

 private:
  std::unique_ptr<base::i_Task> m_task;
  int m_load;
};

}  // namespace

float cl_Session::s_timeFactor = 1.0f;
bool cl_Session::s_stepMode = false;
bool cl_Session::s_showFps = false;

cl_Session* GetSession() { return static_cast<cl_Session*>(GetRunningSession()); }

// ---- lifecycle

cl_Session::cl_Session() : m_gameGUI(std::make_unique<cl_GameGUI>()) {
  SetRunningSession(this);
  CreateInterface();
  m_minigames = std::make_unique<cl_MinigameManager>();
  m_minigames->SetGUI(m_gameGUI.get());    // the games' questions are drawn over them
  m_diary = std::make_unique<cl_Diary>();  // its book is set up when first opened
  // The panels of the in-game menu, hidden until the menu opens them.
  if (auto* menu = new (std::nothrow) cl_IngameMenuPanel(this)) m_gameGUI->AddChild(menu);
  if (auto* panel = cl_LoadSavePanel::Create(m_gameGUI.get(), this)) m_gameGUI->AddChild(panel);
  if (auto* options = cl_OptionsPanel::Create(m_gameGUI.get(), this)) m_gameGUI->AddChild(options);
  InstallSessionServices();
  InstallInterfaceServices();
}

cl_Session::~cl_Session() {
  RemoveSessionServices();
  RemoveInterfaceServices();
  ReleaseCursorImages();
  SetRunningSession(nullptr);
  DropStage();
  for (cl_Stage* stage : m_retiredStages) delete stage;
  m_retiredStages.clear();
  m_overlays.reset();
  m_interfaceBar.reset();
  m_tokenBarState.reset();
  m_minigames.reset();
  m_diary.reset();
  m_gameGUI.reset();  // its panels with it
  m_hotspots.set_nil();
  m_castList.set_nil();
  m_tokens.set_nil();
  m_gameState.set_nil();
}

bool cl_Session::StartUp() {
  // The frame may start its states again after RunSession started this one.
  if (IsStarted()) return true;
  StartLoading(base::String("Session"));
  SetProgressRange(0.0f, 0.5f);
  using tStep = base::tGenericTask_MethodCall<cl_Session*, bool (cl_Session::*)()>;
  for (bool (cl_Session::*step)() :
       {&cl_Session::LoadTables, &cl_Session::RegisterMinigames, &cl_Session::InitScripting})
    AddLoadingTask(new tStep(this, step));
  base::i_GameSession::StartUp();
  return true;
}

bool cl_Session::LoadTables() {
  ReadTable(m_tokens, kTokensFile);
  ReadTable(m_castList, kCastListFile);
  ReadTable(m_hotspots, kHotspotsFile);
  return true;
}

bool cl_Session::RegisterMinigames() {
  if (!m_minigames) return true;
  RegisterGames(*m_minigames);
  m_minigames->CompileMissing();
  return true;
}

bool cl_Session::InitScripting() {
  // The first game of the program brings the script language up; later games find it running.
  if (!KRX::ScriptSystem::GetRoot()) KRX::ScriptSystem::Init();
  KRX::ScriptSystem::SetCallbacks(&ScriptOutputCallback, &ScriptSleepCallback);
  KRX::EnableDebugger(true);
  RegisterScriptFunctions();
  cl_SoundScript::Register();
  // The game's functions are bound first, so the top level of the main include can call them.
  KRX::Require(kMainInclude, true);
  return true;
}

bool cl_Session::NewGame() {
  ReadChangedScripts();
  m_gameState.set_nil();
  if (!base::xml::read_file(m_gameState, kInitialGameState) || !m_gameState.is_element()) {
    base::sys::Output("Warning: %s cannot be read; the game starts from an empty state\n", kInitialGameState);
    m_gameState.set_element("GameState");
  }
  CopyDebugConfig();
  StartInterface();
  SetProgressRange(0.5f, 1.0f);
  GameThread::Start(kCampaign, "Startup", base::Variant());
  m_fader.Start(true, 0.0f, "", 0);
  m_fader.Start(false, 1.0f, "", 0);
  return true;
}

void cl_Session::CopyDebugConfig() {
  const base::Variant* debug = base::sys::GetConfig().get_element("Debug");
  if (!debug || !m_gameState.is_element()) return;
  base::variant_find_or_add_element(m_gameState, "Debug")->copy(*debug);
}

// ---- queries and small operations

cl_Scene* cl_Session::GetScene() const { return m_stage ? m_stage->GetScene() : nullptr; }

void cl_Session::SetRequest(const char* request) { m_request = request ? request : ""; }

base::tRectf cl_Session::GetViewportRect() const { return GetGameViewportRect(); }

bool cl_Session::IsMenuOpen() const {
  if (!m_gameGUI) return false;
  for (const char* label : {"IngameMenuPanel", "LoadSavePanel", "OptionsPanel"}) {
    const base::cl_Window* panel = m_gameGUI->FindByLabel(label);
    if (panel && !panel->HasFlag(base::WF_HIDDEN)) return true;
  }
  return false;
}

void cl_Session::SetPanelFlag(base::cl_Window* window, bool enabled) {
  if (window) window->SetFlag(base::WF_DISABLED, !enabled);
}

bool cl_Session::IsSkippingSequence() {
  cl_Session* session = GetSession();
  if (!session) return false;
  const int state = session->m_actionQueue.m_state;
  return state == cl_GameActionQueue::STATE_FADE_BEFORE_SKIPPING_SEQUENCE ||
         state == cl_GameActionQueue::STATE_SKIPPING_SEQUENCE;
}

bool cl_Session::IsSceneJustLoaded() {
  cl_Session* session = GetSession();
  return session && session->m_sceneJustLoaded;
}

bool IsWideScreen() {
  const int height = base::sys::GetWindowHeight();
  return height > 0 && static_cast<float>(base::sys::GetWindowWidth()) / static_cast<float>(height) > 1.3333334f;
}

void ScriptOutputCallback(const char* text) {
  if (!text || Debug_ScriptWarningLevel < 1) return;
  // Script messages come without their line end; in the log each stands on its own line.
  const size_t length = std::strlen(text);
  base::sys::Output(length > 0 && text[length - 1] == '\n' ? "%s" : "%s\n", text);
}

void ScriptSleepCallback(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- update

void cl_Session::Update(float time, float dt) {
  if (m_screenshotBanner > 0.0f) m_screenshotBanner -= dt;
  dt *= s_timeFactor;
  if (dt > kLongFrame) base::sys::Output("warning: timedelta=%.02f\n", static_cast<double>(dt));
  if (dt > kMaxStep) dt = kMaxStep;
  m_sceneJustLoaded = false;
  cl_GameActionQueue::StepScriptThreads(dt);
  if (cl_VideoController* video = cl_VideoController::GetInstance()) video->Update(time, dt);
  if (!m_paused) UpdateWorld(time, dt);
  if (m_interfaceBar) m_interfaceBar->Update(dt);
  if (m_gameGUI) m_gameGUI->Update(dt);
  m_fader.Update(dt);
  if (LeaveOnRequest()) return;
  m_hoverTime += dt;
  ScrollAtEdges(dt);
}

void cl_Session::UpdateWorld(float time, float dt) {
  if (s_stepMode && !base::sys::KeyState(base::key::LeftAlt)) dt = 0.0f;
  if (m_forcedStep > kMinForcedStep) {
    dt = m_forcedStep;
    m_forcedStep = 0.0f;
  }
  m_gameTime += dt;
  if (m_minigames && m_minigames->IsRunning()) {
    m_minigames->Update(dt);
    return;
  }
  if (m_diary && m_diary->IsVisible()) m_diary->Update(dt);
  if (m_overlays) m_overlays->Update(dt);
  if (m_stage && m_stage->GetScene()) {
    // A zone script may change the scene from inside the stage's update: the replaced stage is
    // kept until its update has returned.
    m_updatingStage = true;
    m_stage->Update(dt);
    m_updatingStage = false;
    for (cl_Stage* stage : m_retiredStages) delete stage;
    m_retiredStages.clear();
    m_actionQueue.Update(dt);
  }
  base::i_GameSession::Update(time, dt);
}

bool cl_Session::LeaveOnRequest() {
  if (m_request.empty() || m_fader.m_state != cl_Fader::STATE_COVERED) return false;
  for (const char* channel : {"ATHMO", "AMBIENT", "AMBIENT2"}) sfx::StopChannel(channel, 0.25f);
  base::i_GameFrame* frame = base::GetFrameInterface();
  if (m_request == "mainmenu") {
    base::sys::Output("Session: back to the main menu\n");
    if (!frame) return true;
    // The frame keeps this module alive until its update has returned.
    frame->EndSession();
    SwitchFrameState("RootMenu");
    if (cl_RootMenu* menu = cl_RootMenu::GetInstance()) {
      base::Variant refresh;
      refresh.set_element("Refresh");
      menu->ProcessEvent(refresh);
    }
    return true;
  }
  if (m_request == "quit") {
    base::sys::Output("Session: quit\n");
    if (frame) frame->ShutDown();
    return true;
  }
  return false;
}

void cl_Session::ScrollAtEdges(float dt) {
  const base::Variant* debug = base::sys::GetConfig().get_element("Debug");
  int mode = 0;
  cl_Scene* scene = GetScene();
  if (!debug || !debug->get_attribute_int("LODEditMode", mode) || mode != 1 || !scene) return;
  const float largest = scene->GetWidth() - scene->GetEffectiveZoom() * kReferenceScreenWidth;
  const float* scroll = scene->GetScroll();
  const int x = base::sys::MouseX();
  if (x < kEdgeScrollBand) {
    scene->SetScroll(std::max(scroll[0] - dt * kEdgeScrollSpeed, 0.0f), scroll[1]);
  } else if (x > base::sys::GetWindowWidth() - kEdgeScrollBand) {
    scene->SetScroll(std::min(scroll[0] + dt * kEdgeScrollSpeed, largest), scroll[1]);
  }
}

// ---- render

void cl_Session::Render() {
  gfx::SetMipLodBias(-1.0f);
  gfx::ClearScreen(0xFF000000u);
  const bool background = !m_minigames || m_minigames->IsBackgroundVisible();
  if (m_stage && background) {
    m_stage->UpdateScroll();
    if (cl_Scene* scene = m_stage->GetScene()) {
      scene->UpdateViewFromCamera();
      gfx::SetCamera(&scene->GetCamera());
    }
    m_stage->Render(GetViewportRect());
    if (m_retakePicture) RetakeGamePicture();
    // The stage leaves the picture's viewport set; the interface reaches below it.
    gfx::SetViewport(-1, -1, -1, -1, 0.0f, 1.0f);
    gfx::Begin2D();
    if (m_interfaceBar) m_interfaceBar->Render(0.0f, 0.0f);
    if (m_overlays) m_overlays->RenderLayer(0);
    m_actionQueue.Render();
    if (!gfx::IsVideoPlaying()) UpdateCursor();
  }
  gfx::Begin2D();
  if (m_minigames && m_minigames->IsRunning()) m_minigames->Render(0.0f, 0.0f);
  if (m_gameGUI) m_gameGUI->Render(0.0f, 0.0f);
  if (m_diary) m_diary->Render(0.0f, 0.0f);
  if (background) m_fader.Render();
  if (m_overlays) m_overlays->RenderLayer(1);
  if (s_showFps) {
    char line[96];
    std::snprintf(line, sizeof line, "FPS: %d", base::sys::GetFPS());
    gfx::DrawTextOutlined(10, 50, line, 0xFFC8C8C8u, 0xC80A0A0Au);
  }
  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  if (m_blackFrames > 0) {
    gfx::FillRect(0.0f, 0.0f, width, height, 0xFF000000u);
    --m_blackFrames;
  }
  if ((m_paused && !IsMenuOpen()) || m_screenshotBanner > 0.0f) DrawBanner();
  m_sceneJustLoaded = false;
}

void cl_Session::DrawBanner() {
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize(m_screenshotBanner > 0.0f ? "#sessi0_1704 - Screenshot taken! -" : "#sessi0_1712 - Pause -",
                      text);
  if (gfx::cl_Font* font = gfx::FontExists("messagebox")) gfx::SetFont(font);
  if (m_paused)
    gfx::FillRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                  static_cast<float>(base::sys::GetWindowHeight()), 0x40000000u);
  const base::tRectf view = GetViewportRect();
  const int x = static_cast<int>((view.min.x + view.max.x) * 0.5f - gfx::GetTextWidthW(text.c_str()) * 0.5f);
  const int y = static_cast<int>((view.min.y + view.max.y) * 0.5f);
  gfx::DrawTextOutlinedW(x, y, text.c_str(), 0xFFFFFFFFu, 0xFF141414u);
}

// ---- scene change and scene scripts

void cl_Session::DropStage() {
  if (!m_stage) return;
  m_stage->ReleaseSceneData();
  if (m_updatingStage) {
    m_retiredStages.push_back(m_stage);
  } else {
    delete m_stage;
  }
  m_stage = nullptr;
}

void cl_Session::LoadScene(base::String name) {
  DropStage();
  m_stage = new cl_Stage();
  const int load = ++m_sceneLoads;
  SetProgressRange(0.0f, 1.0f);
  AddLoadingTask(new cl_LatestLoadTask(new cl_SceneLoadTask(m_stage, name), load));
  StartLoading(base::String("Session"));
  if (SceneScriptHasFunction(name, "OnLoadScene")) {
    if (Debug_ScriptWarningLevel >= 1) base::sys::Output("CALL: %s::OnLoadScene\n", name.c_str());
    RunSceneScript(name, "OnLoadScene", base::Variant());
  }
  // After the scene-load task, so that it sees the loaded scene.
  if (SceneScriptHasFunction(name, "PrepareScene"))
    AddLoadingTask(new cl_LatestLoadTask(MakeSceneScriptTask(&CallSceneScriptFunction, name.c_str(), "PrepareScene"), load));
  SyncTokenBarMode();
  m_sceneJustLoaded = true;
  m_blackFrames = 1;
}

base::Variant cl_Session::RunSceneScript(const base::String& scene, const base::String& function,
                                         const base::Variant& args) {
  const base::String path = SceneScriptPath(scene);
  KRX::Require(path.c_str(), true);
  return GameThread::Start(path.c_str(), function.c_str(), args);
}

void cl_Session::CallSceneScript(const base::String& scene, const base::String& function, const base::Variant& args) {
  const base::String path = SceneScriptPath(scene);
  // Without its script no thread starts, and no stop event may tell the queue that its running
  // scene script ended.
  if (!KRX::Require(path.c_str(), true)) return;
  // The event knows its thread before the thread runs, so that a function that ends at once
  // reports that very thread's end.
  auto* stop = new st_ScriptStopEvent();
  GameThread* thread = GameThread::CreateForFunction(path.c_str(), function.c_str(), stop);
  if (!thread) return;  // the module did not load; the event has run
  stop->m_thread = thread;
  m_actionQueue.m_sceneScript = thread;
  base::Variant ignored;
  GameThread::Run(ignored, thread, function.c_str(), args);
}

void cl_Session::CallSceneFunctionInBackground(const base::String& scene, const base::String& function,
                                               const base::Variant& args) {
  const base::String path = SceneScriptPath(scene);
  if (!KRX::Require(path.c_str(), true)) return;
  auto* stop = new st_ScriptStopEvent();
  GameThread* thread = GameThread::CreateForFunction(path.c_str(), function.c_str(), stop);
  if (!thread) return;
  stop->m_thread = thread;
  m_actionQueue.AddBackgroundThread(thread);
  std::erase_if(m_backgroundCalls, [](const st_BackgroundCall& c) { return !GameThread::IsLive(c.thread, c.serial); });
  st_BackgroundCall call{scene, function, base::Variant(), thread, thread->GetSerial()};
  call.args.copy(args);
  m_backgroundCalls.push_back(std::move(call));
  base::Variant ignored;
  GameThread::Run(ignored, thread, function.c_str(), args);
}

bool SceneScriptHasFunction(const base::String& scene, const base::String& function) {
  // A scene need not have a script: asking loads it quietly.
  const base::String path = SceneScriptPath(scene);
  return KRX::Require(path.c_str(), false) && KRX::HasFunction(path.c_str(), function.c_str());
}

base::i_Task* MakeSceneScriptTask(tSceneScriptFunction function, const char* scene, const char* functionName) {
  return new cl_SceneScriptTask(function, scene, functionName);
}

}  // namespace quillane
