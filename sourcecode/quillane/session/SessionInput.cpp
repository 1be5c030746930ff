// The session's input: who gets each command, in a fixed order (pause, video, mini-game, diary,
// a field being typed into, cutscene skip, developer keys, screenshot and pause keys, the
// developer LOD switch, the pick under a left press, the in-game GUI, the editor's display
// toggles, a running sequence, the bars, the menu keys, and last the world: a trigger, a walk or
// a stop). Also the player's freedom and
// the diary and token queries.
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "quillane/core/EditorServices.h"
#include "quillane/core/FrameServices.h"
#include "quillane/diary/Diary.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/OptionLevels.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/video/VideoController.h"

namespace quillane {
namespace {

constexpr float kBannerSeconds = 3.0f;
constexpr float kRandomTurn = 6.0f;  // radians across the developer's random turn

bool IsKey(const base::ICMD& cmd) { return cmd.type == base::ICMD::KEY_PRESSED; }

bool LodEditModeOn() {
  const base::Variant* debug = base::sys::GetConfig().get_element("Debug");
  int mode = 0;
  return debug && debug->get_attribute_int("LODEditMode", mode) && mode == 1;
}

}  // namespace

bool cl_Session::ProcessInput(base::ICMD& cmd) {
  // While paused without a panel the game swallows everything; only Pause resumes.
  if (m_paused && !IsMenuOpen()) {
    if (IsKey(cmd) && cmd.key == base::key::Pause) m_paused = false;
    return true;
  }
  if (cl_VideoController* video = cl_VideoController::GetInstance(); video && video->ProcessInput(cmd)) return true;
  // A held game takes every command, also during its fades, when it uses none of them.
  if (m_minigames && m_minigames->IsRunning()) {
    m_minigames->ProcessInput(cmd);
    return true;
  }
  if (m_diary && m_diary->IsVisible()) return m_diary->ProcessInput(cmd);
  // A name being typed takes every key: the developer and menu keys are letters and digits too.
  if (IsKey(cmd) && m_gameGUI) {
    if (base::cl_Window* typing = base::GetTypingFocus(); typing && typing->GetGUI() == m_gameGUI.get()) {
      m_gameGUI->ProcessInput(cmd);
      return true;
    }
  }
  if (m_actionQueue.m_inCutscene && IsKey(cmd) && cmd.key == base::key::Escape) {
    m_actionQueue.SkipSequence();
    return true;
  }
  if (IsKey(cmd) && Debug_KeysEnabled && ProcessDeveloperKey(cmd)) return true;
  if (IsKey(cmd) && !IsMenuOpen() && ProcessScreenshotAndPauseKeys(cmd)) return true;
  if (LodEditModeOn() && IsKey(cmd)) {
    ProcessLodKeys(cmd);  // and no pick: the developer is choosing a level, not clicking
  } else {
    PickUnderMouse(cmd);
  }
  if (m_gameGUI && m_gameGUI->ProcessInput(cmd)) return true;
  // After the game GUI, so that a key its panels use toggles nothing.
  if (HandleEditorToggleKeys(cmd)) return true;
  bool aborted = false;
  if (m_actionQueue.IsBusy() && ProcessBusyQueue(cmd, aborted)) return true;
  if (cl_TokenBar* bar = GetTokenBar(); bar && bar->IsDragging()) return false;
  if (m_interfaceBar && m_interfaceBar->ProcessInput(cmd)) return true;
  if (m_dialogCtrl.IsActive()) return false;
  if (IsKey(cmd)) return ProcessMenuKeys(cmd);
  ProcessWorldClick(cmd, aborted);
  return false;
}

bool cl_Session::ProcessDeveloperKey(const base::ICMD& cmd) {
  switch (cmd.key) {
    case '1': m_forcedStep = 1.0f; return true;
    case '2': m_forcedStep = 0.1f; return true;
    case '3': m_forcedStep = 1.0f / 60.0f; return true;
    case 'T':
      if (cl_Character* heroine = m_stage ? m_stage->GetCharacter("Quillane") : nullptr)
        heroine->TurnBy((base::Random() - 0.5f) * kRandomTurn, nullptr);
      return true;
    case base::key::F1: StartEditor(); return true;
    case base::key::F2: m_actionQueue.m_showDebugList = !m_actionQueue.m_showDebugList; return true;
    case base::key::F3: s_showFps = !s_showFps; return true;
    case base::key::F4: s_stepMode = !s_stepMode; return true;
    case base::key::F5: s_timeFactor *= 0.5f; return true;
    case base::key::F6: s_timeFactor *= 2.0f; return true;
    default: return false;
  }
}

bool cl_Session::ProcessScreenshotAndPauseKeys(const base::ICMD& cmd) {
  if (cmd.key == base::key::PrintScreen) {
    // A message box keeps the picture clean of it; the key then does nothing at all.
    const bool modal = m_gameGUI && !m_gameGUI->GetModalWindows().empty();
    if (!modal) {
      // The banner tells the player a picture was taken, so it shows only when one was.
      if (SaveScreenshot())
        m_screenshotBanner = kBannerSeconds;
      else
        base::sys::Output("Warning: Session: the screenshot could not be written\n");
    }
    return false;  // the key goes on to the later receivers
  }
  if (cmd.key == base::key::Pause) {
    m_paused = !m_paused;
    return true;
  }
  return false;
}

void cl_Session::ProcessLodKeys(const base::ICMD& cmd) {
  const int wanted = cmd.key == '1' ? 1 : cmd.key == '2' ? 2 : 0;
  if (wanted == GetOptionIntValue("Gfx/SceneLOD/")) return;
  // Without the option no level can be chosen, and a reload would show the same scene again.
  base::Variant* option = base::sys::GetOptionValue("Gfx/SceneLOD/Value");
  if (!option) return;
  option->set_float(1.0f - static_cast<float>(wanted) * 0.5f);
  const cl_Scene* scene = GetScene();
  if (!m_stage || !scene) return;
  const base::String name(scene->GetName().c_str());
  m_stage->ReleaseSceneData();
  LoadScene(name);
}

void cl_Session::PickUnderMouse(const base::ICMD& cmd) {
  if (cmd.type != base::ICMD::LEFT_DOWN || !m_stage) return;
  const float x = static_cast<float>(cmd.mouseX), y = static_cast<float>(cmd.mouseY);
  if (m_stage->PickAt(x, y, m_pickName)) return;
  m_pickName = "walk";
  base::tVector3<float> ray;
  if (cl_Scene* scene = m_stage->GetScene(); !scene || !scene->PickRay(x, y, ray)) m_pickName = "";
}

// A sequence runs: clicks skip or abort it where it allows that, and are swallowed otherwise.
// A single click that aborts goes on to the world (aborted), so the same click walks.
bool cl_Session::ProcessBusyQueue(const base::ICMD& cmd, bool& aborted) {
  cl_GameActionQueue& queue = m_actionQueue;
  switch (cmd.type) {
    case base::ICMD::DOUBLE_CLICK:
      if (queue.CanSkip()) {
        // Said in the log: a skipped sequence shows none of its lines.
        base::sys::Output("Session: a double click skips the running sequence\n");
        queue.StartSkip();
      }
      return true;
    case base::ICMD::LEFT_DOWN:
      if (queue.IsCurrentActionSkippable()) queue.SkipCurrentAction();
      return true;
    case base::ICMD::CLICK:
      // A second click on what started the sequence must not abort it again.
      if (!m_pickName.empty() && (m_pickName == "walk" || m_pickName != m_lastPickName) && queue.CanCancel()) {
        queue.Abort();
        aborted = true;
        return false;
      }
      return true;
    case base::ICMD::RIGHT_DOWN:
      if (m_paused) return true;
      if (queue.IsCurrentActionSkippable())
        queue.SkipCurrentAction();
      else if (queue.CanCancel())
        queue.Abort();
      return true;
    default:
      return true;
  }
}

bool cl_Session::ProcessMenuKeys(const base::ICMD& cmd) {
  switch (cmd.key) {
    case base::key::Escape:
      if (!IsTokenHeld()) OpenIngameMenu();
      return true;
    case base::key::Space: SceneDisplay().showHotspots = !SceneDisplay().showHotspots; return true;
    case 'J':
      if (!IsTokenHeld()) OpenDiary();
      return true;
    default:
      return false;
  }
}

void cl_Session::ProcessWorldClick(const base::ICMD& cmd, bool aborted) {
  if (!m_stage) return;
  if ((cmd.type == base::ICMD::LEFT_DOWN || aborted) && !m_actionQueue.m_inCutscene) {
    if (m_pickName != "walk") {
      m_actionQueue.AllowSkipAndCancel();
      m_lastPickName = m_pickName;
      // Clicks while a scene change or queued calls wait are consumed without a trigger.
      if (!m_pickName.empty() && !m_transitPending && m_actionQueue.IsIdle() && !m_actionQueue.HasPendingEvents())
        RunTrigger(m_pickName);
    } else if (!m_actionQueue.m_movementLocked) {
      m_lastPickName = "walk";
      cl_Scene* scene = m_stage->GetScene();
      const float x = static_cast<float>(cmd.mouseX), y = static_cast<float>(cmd.mouseY);
      if (scene && scene->PickFloorPoint(x, y, m_floorPoint)) {
        cl_Character* player = m_stage->GetPlayerCharacter();
        if (!player) {
          base::sys::Output("ERROR: no player character set.\n");
        } else if (!m_transitPending && !m_actionQueue.HasPendingEvents()) {
          player->WalkTo(player->name.c_str(), m_floorPoint, nullptr, 0);
        }
      }
    }
  }
  if (cmd.type == base::ICMD::RIGHT_DOWN)
    if (cl_Character* player = m_stage->GetPlayerCharacter()) player->Stop();
}

void cl_Session::OpenDiary() {
  if (m_diary && !m_diary->IsVisible()) m_diary->OpenJournal();
}

bool cl_Session::IsInteractionAllowed() const {
  if (m_dialogCtrl.IsActive()) return false;
  if (m_diary && m_diary->IsVisible()) return false;
  if (m_overlays && m_overlays->IsBusy()) return false;
  // A running script alone does not hold the player: whether it may be cancelled decides below.
  if (m_actionQueue.m_inCutscene || m_actionQueue.HasForegroundAction()) return false;
  if (const st_GameAction* action = m_actionQueue.GetFirstForegroundAction())
    if (action->m_kind == "speak" || action->m_kind == "sleep") return false;
  // A script whose last line has run no longer holds the player, although the thread list lets
  // it go (and the queue hears of its end) only at its next step: a scene title its last line
  // showed must not be taken for shown during a sequence and dropped at its first frame.
  if (!cl_GameActionQueue::IsThreadAlive(m_actionQueue.m_sceneScript) &&
      !cl_GameActionQueue::IsThreadAlive(m_actionQueue.m_dialogScript))
    return true;
  return m_actionQueue.CanCancel();
}

bool cl_Session::IsDiaryVisible() const { return !m_diary || m_diary->IsVisible(); }

bool IsTokenHeld() {
  const cl_Session* session = GetSession();
  const cl_TokenBar* bar = session && session->GetInterfaceBar() ? session->GetTokenBar() : nullptr;
  return bar && bar->GetCarried() != nullptr;
}

}  // namespace quillane
