// The mini-game manager: registry, data-file compiling, start and end, the black fades and the
// routing of update, input and drawing.
#include "quillane/minigames/MinigameManager.h"

#include <cmath>

#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "quillane/core/Event.h"
#include "quillane/core/GameState.h"
#include "quillane/minigames/Minigame.h"

namespace quillane {

namespace {

constexpr float kOpaque = 255.0f;
constexpr float kFadeRate = 255.0f;  // a full rise or fall takes one second
constexpr float kLayoutWidth = 1024.0f;

bool NoMinigames() {
  const base::Variant* debug = base::sys::GetConfig().get_element("Debug");
  int value = 0;
  return debug && debug->get_attribute_int("NoMinigames", value) && value == 1;
}

}  // namespace

st_MinigameEntry::st_MinigameEntry(const char* name, const char* dataFile, tFactory factory)
    : m_Name(name ? name : ""), m_DataFile(dataFile ? dataFile : ""), m_Factory(factory) {}

st_MinigameEntry::~st_MinigameEntry() { delete m_Instance; }

cl_MinigameManager::cl_MinigameManager() = default;

cl_MinigameManager::~cl_MinigameManager() {
  Shutdown();
  m_Registry.clear();
}

void cl_MinigameManager::Register(const char* name, const char* dataFile, tFactory factory) {
  m_Registry.push_back(std::make_unique<st_MinigameEntry>(name, dataFile, factory));
}

bool cl_MinigameManager::CompileMissing() {
  for (const std::unique_ptr<st_MinigameEntry>& entry : m_Registry) {
    if (entry->m_DataFile.empty() || base::FileExists(entry->m_DataFile)) continue;
    // The held game keeps its instance; the file is built when it is free again.
    if (m_Game && entry->m_Instance == m_Game) continue;
    if (!entry->m_Instance && entry->m_Factory) entry->m_Instance = entry->m_Factory();
    if (!entry->m_Instance) continue;
    const bool ok = entry->m_Instance->Compile(entry->m_DataFile.c_str());
    // The instance that compiled holds the source art; the first start makes a fresh one that
    // reads the compiled file.
    delete entry->m_Instance;
    entry->m_Instance = nullptr;
    if (!ok) base::sys::Output("\n Error at cl_MinigameManager::Compile: %s\n", entry->m_Name.c_str());
  }
  return true;
}

st_MinigameEntry* cl_MinigameManager::Find(const char* name) const {
  for (const std::unique_ptr<st_MinigameEntry>& entry : m_Registry)
    if (entry->m_Name == name) return entry.get();
  return nullptr;
}

bool cl_MinigameManager::Start(const char* name, i_Event* completion, bool force) {
  base::Variant* gameState = GetGameState();
  if (!name || !gameState) return false;
  if (m_Game) {
    if (!force) {
      base::sys::Output("Warning: mini-game \"%s\" not started: \"%s\" is still running\n", name, GetRunningName());
      return false;
    }
    End();
  }
  st_MinigameEntry* entry = Find(name);
  if (!entry) {
    base::sys::Output("Warning: mini-game \"%s\" is not registered; not started\n", name);
    return false;
  }
  if (!entry->m_Instance && entry->m_Factory) entry->m_Instance = entry->m_Factory();
  const base::String path = base::String("Missions/Minigames/") + name;
  base::Variant& state = *gameState;
  if (NoMinigames()) {
    if (base::Variant* win = base::variant_get_attribute_by_path(state, (path + "/Win").c_str(), true)) win->set_int(1);
    base::sys::Output("Mini-game %s skipped (Debug/NoMinigames): recorded as won\n", name);
    return false;
  }
  i_Minigame* game = entry->m_Instance;
  if (!game) {
    base::sys::Output("Warning: mini-game \"%s\" cannot be made; not started\n", name);
    return false;
  }
  game->SetMissionPath(path.c_str());
  game->SetDataFile(entry->m_DataFile.c_str());
  game->SetGUI(m_GUI);
  game->m_Scale = static_cast<float>(base::sys::GetWindowWidth()) / kLayoutWidth;
  base::Variant* mission = base::variant_get_element_by_path(state, path.c_str(), true);
  if (!game->Init(mission, false)) {
    base::sys::Output("Warning: mini-game \"%s\" refused to start\n", name);
    return false;
  }
  m_Game = game;
  m_Completion.reset(completion);
  m_Alpha = 0.0f;
  m_Target = kOpaque;
  m_State = FadeIn;
  return true;
}

void cl_MinigameManager::End() {
  // Both are let go first: the event may wake a script that starts the next game at once.
  i_Minigame* game = m_Game;
  std::unique_ptr<i_Event> completion = std::move(m_Completion);
  m_Game = nullptr;
  if (game) game->End();
  if (completion) completion->Execute();
}

void cl_MinigameManager::Update(float dt) {
  // A frame time that is not a number would stop the fade for good, and the waiting script too.
  if (!std::isfinite(dt)) dt = 0.0f;
  if (m_Game && m_State == Running) {
    m_Game->Update(dt);
    if (m_Game && m_State == Running && m_Game->IsFinished()) {
      m_State = FadeOut;
      m_Target = kOpaque;
      m_Alpha = 0.0f;
    }
  }
  if (m_State == Running) return;
  const float step = dt * kFadeRate;
  m_Alpha += m_Target > m_Alpha ? step : -step;
  if (m_Target == kOpaque && m_Alpha >= kOpaque) {
    m_Alpha = kOpaque;
    m_Target = 0.0f;
  } else if (m_Target == 0.0f && m_Alpha < 0.0f) {
    const bool ending = m_State == FadeOut;
    m_Alpha = 0.0f;
    m_Target = kOpaque;
    m_State = Running;
    if (ending) End();  // last: a new game may have started from its event
  }
}

bool cl_MinigameManager::ProcessInput(base::ICMD& cmd) {
  return m_Game && m_State == Running ? m_Game->HandleInput(cmd) : false;
}

bool cl_MinigameManager::IsBackgroundVisible() const {
  if (!m_Game) return true;
  switch (m_State) {
    case FadeIn: return m_Target == kOpaque;  // the black still rises over the scene
    case FadeOut: return m_Target == 0.0f;    // the black falls over the scene again
    default: return false;
  }
}

void cl_MinigameManager::Render(float x, float y) {
  if (m_Game && !IsBackgroundVisible()) m_Game->Render(x, y);
  const float alpha = m_Alpha > 0.0f ? std::fmin(m_Alpha, kOpaque) : 0.0f;
  const uint32_t black = static_cast<uint32_t>(alpha) << 24;
  gfx::FillRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                static_cast<float>(base::sys::GetWindowHeight()), black);
}

void cl_MinigameManager::Shutdown() {
  m_Completion.reset();
  i_Minigame* game = m_Game;
  m_Game = nullptr;
  if (game) game->End();
  for (const std::unique_ptr<st_MinigameEntry>& entry : m_Registry) {
    delete entry->m_Instance;
    entry->m_Instance = nullptr;
  }
  m_Alpha = 0.0f;
  m_Target = kOpaque;
  m_State = Running;
}

const char* cl_MinigameManager::GetRunningName() const {
  if (!m_Game) return nullptr;
  for (const std::unique_ptr<st_MinigameEntry>& entry : m_Registry)
    if (entry->m_Instance == m_Game) return entry->m_Name.c_str();
  return nullptr;
}

const char* cl_MinigameManager::GetGameName(int index) const {
  if (index < 0 || index >= GetGameCount()) return nullptr;
  return m_Registry[static_cast<size_t>(index)]->m_Name.c_str();
}

i_Minigame* cl_MinigameManager::GetInstance(int index) const {
  if (index < 0 || index >= GetGameCount()) return nullptr;
  return m_Registry[static_cast<size_t>(index)]->m_Instance;
}

}  // namespace quillane
