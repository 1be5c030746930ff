// The script functions that put characters on the stage and place, turn, walk and animate them,
// and measure directions between characters, locators and the camera. Scripts give and get
// degrees; the world turns in radians.
#include <cmath>

#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "base/math/VectorTools.h"
#include "base/system.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/bindings/CharacterScript.h"
#include "quillane/character/Character.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/ScriptAngles.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"

namespace script_bindings {

using quillane::cl_Character;
using tPoint = base::tVector3<float>;

namespace {

// A character closer to its goal than this does not walk: the walk would end before it started.
constexpr float kWalkReach = 10.0f;

float FloorDistance(const tPoint& a, const tPoint& b) {
  const float dx = b.x - a.x, dz = b.z - a.z;
  return std::sqrt(dx * dx + dz * dz);
}

// The facing's own pair and its turn rate, in the order a backup keeps them.
tPoint FacingRecord(const cl_Character& character) {
  return tPoint(character.targetYaw, character.yaw, character.turnRate);
}

}  // namespace

// ---- on and off the stage

void AddCharacter(const char* name, const char* actor, const char* where) {
  const base::cl_Locator* target = FindPlacementTarget(where);
  quillane::cl_Stage* stage = GetScriptStage();
  if (!stage) {
    KRX::ReportError("AddCharacter: no stage.");
    return;
  }
  if (!target) {
    KRX::ReportError("AddCharacter: could not find locator %s.", where ? where : "(null)");
    return;
  }
  // A savegame being restored has put its own characters where they stood: the scene's set-up
  // must neither add them a second time nor bring back one the game had taken away.
  if (stage->IsRestoring()) {
    if (Debug_ScriptWarningLevel >= 1)
      base::sys::Output("AddCharacter: %s is left as the savegame has it\n", name ? name : "(null)");
    return;
  }
  cl_Character* character = name && actor ? stage->CreateCharacter(name, actor) : nullptr;
  if (!character) {
    KRX::ReportError("Could not create %s (Actor=%s).", name ? name : "(null)", actor ? actor : "(null)");
    return;
  }
  // The target may be a character's own placement; copy it before the list changes further.
  const base::cl_Locator at = *target;
  character->SetPosition(at);
  base::String script;
  if (quillane::GetDialogScriptPath(name, script) && KRX::Require(script.c_str(), true) &&
      quillane::HasDialogScriptFunction(name, "PrepareCharacter"))
    quillane::CallDialogScriptFunction(name, "PrepareCharacter");
}

void RemoveCharacter(const char* name) {
  quillane::cl_Stage* stage = GetScriptStage();
  if (!stage) {
    KRX::ReportError("RemoveCharacter: no stage.");
    return;
  }
  if (name) stage->RemoveCharacter(name);
}

void SetPlayerCharacter(const char* name) {
  if (quillane::cl_Stage* stage = GetScriptStage()) stage->SetPlayerCharacter(FindCharacter(name));
}

int CharacterExists(const char* name) { return FindCharacter(name) ? 1 : 0; }

// ---- placing

void BeamTo(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "default", true);
  const char* where = script::GetArgString(in, 2, "default", true);
  cl_Character* character = GetCharacterOrReport(name);
  const base::cl_Locator* target = FindPlacementTarget(where);
  if (!character || !target) return;
  const base::cl_Locator at = *target;
  character->SetPosition(at);
}

void BackupPosition(const char* name) {
  cl_Character* character = GetCharacterOrReport(name);
  if (!character) return;
  character->backupLocator = character->locator;
  character->backupAngles = FacingRecord(*character);
}

void RestorePosition(const char* name) {
  cl_Character* character = GetCharacterOrReport(name);
  if (!character) return;
  const base::cl_Locator at = character->backupLocator;
  character->SetPosition(at);
  character->targetYaw = character->backupAngles.x;
  character->yaw = character->backupAngles.y;
  character->turnRate = character->backupAngles.z;
}

void TranslateCameraRelative(const char* name, float x, float y, float z) {
  cl_Character* character = GetCharacterOrReport(name);
  if (!character) {
    if (Debug_ScriptWarningLevel == 1)
      base::sys::Output("TranslateCameraRelative: Character %s not found\n", name ? name : "(null)");
    return;
  }
  quillane::cl_Stage* stage = GetScriptStage();
  quillane::cl_Scene* scene = stage ? stage->GetScene() : nullptr;
  const tPoint p = character->GetPosition();
  const tPoint camera = scene ? scene->GetCamera().GetPos() : p;
  // z moves toward the camera on the floor, x sideways, y straight up.
  const base::tVector2<float> f = base::NormalizeVec2(base::tVector2<float>(camera.x - p.x, camera.z - p.z));
  character->locator.SetPos(tPoint(p.x + x * f.y + z * f.x, p.y + y, p.z + z * f.y - x * f.x));
}

// ---- turning

void Stop(const char* name) {
  if (cl_Character* character = GetCharacterOrReport(name)) character->Stop();
}

namespace {

// The turn in place that brings the character to face degrees; its duration in seconds.
float TurnToward(cl_Character& character, float degrees) {
  const float delta = WrapRadians(ScriptAngleToYaw(degrees) - character.yaw);
  return character.TurnBy(delta, nullptr);
}

}  // namespace

void TurnTo(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "default", true);
  const float degrees = script::GetArgFloat(in, 2, 0.0f, true);
  cl_Character* character = GetCharacterOrReport(name);
  if (!character) return;
  const float duration = TurnToward(*character, degrees);
  // The queue counts the turn's time down and then wakes the caller.
  AddCallerAction(in, "turn", name, duration);
}

float TurnToNoWait(const char* name, float degrees) {
  cl_Character* character = GetCharacterOrReport(name);
  return character ? TurnToward(*character, degrees) : 0.0f;
}

void AlignTo(const char* name, float degrees) {
  cl_Character* character = GetCharacterOrReport(name);
  if (!character) return;
  const float yaw = ScriptAngleToYaw(degrees);
  character->SetYaw(yaw);
  character->yaw = character->targetYaw;
}

// ---- directions

float GetDirectionToCamera(const char* name) {
  tPoint p;
  GetLocatorPosition(name, p);
  quillane::cl_Stage* stage = GetScriptStage();
  quillane::cl_Scene* scene = stage ? stage->GetScene() : nullptr;
  const tPoint camera = scene ? scene->GetCamera().GetPos() : tPoint();
  return FloorHeadingDegrees(camera - p);
}

float GetDirectionTo(const char* from, const char* to) {
  tPoint a, b;
  GetLocatorPosition(from, a);
  GetLocatorPosition(to, b);
  return FloorHeadingDegrees(b - a);
}

float GetDirectionOf(const char* name) {
  if (cl_Character* character = FindCharacter(name)) return FloorHeadingDegrees(character->locator.GetLookDir());
  if (quillane::cl_SceneLocator* locator = FindSceneLocator(name))
    return FloorHeadingDegrees(locator->locator.GetLookDir());
  return FloorHeadingDegrees(tPoint());
}

// ---- animation

void SyncIdle(const char* name) {
  if (cl_Character* character = GetCharacterOrReport(name)) character->idleClock = 0.0f;
}

void SetDefaultAnimation(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, nullptr, true);
  const char* category = script::GetArgString(in, 2, nullptr, true);
  const char* animation = script::GetArgString(in, 3, nullptr, true);
  const bool fade = script::GetArgBool(in, 4, true, false);
  cl_Character* character = GetCharacterOrReport(name);
  if (!character) {
    if (Debug_ScriptWarningLevel >= 1)
      base::sys::Output("ERROR: character %s doest not exist.\n", name ? name : "(null)");
    return;
  }
  if (category && animation) character->SetDefaultAnimation(category, animation, fade);
}

float PlayAnimationNoWait(KRX::t_Interface& in) {
  if (quillane::cl_Session* session = quillane::GetSession()) session->GetActionQueue().ForbidCancel();
  float duration = 0.0f;
  StartCharacterAnimation(in, duration);
  return duration;
}

void PlayAnimation(KRX::t_Interface& in) {
  if (quillane::cl_Session* session = quillane::GetSession()) session->GetActionQueue().ForbidCancel();
  float duration = 0.0f;
  cl_Character* character = StartCharacterAnimation(in, duration);
  if (!character) return;
  // The character finishes the action when its clip has played.
  if (quillane::st_GameAction* action = AddCallerAction(in, "play_animation", character->name.c_str()))
    character->pendingAction = action;
}

void SetAnimationSpeed(const char* name, const char* animation, float factor) {
  cl_Character* character = FindCharacter(name);
  if (!character) {
    if (Debug_ScriptWarningLevel >= 1)
      base::sys::Output("SetAnimationSpeed: character %s does not exist.\n", name ? name : "(null)");
    return;
  }
  if (!animation || !character->actor || !character->actor->FindAnimation(animation)) {
    if (Debug_ScriptWarningLevel >= 1)
      base::sys::Output("SetAnimationSpeed: animation %s unknown for character %s.\n", animation ? animation : "(null)",
                        name);
    return;
  }
  character->SetAnimationSpeed(animation, factor);
}

// ---- walking

void WalkTo(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "default", true);
  const char* where = script::GetArgString(in, 2, "default", true);
  tPoint goal;
  cl_Character* character = FindWalkToLocator(name, where, goal);
  if (!character || FloorDistance(character->GetPosition(), goal) <= kWalkReach) return;
  quillane::cl_GameActionCompletionEvent* done = AddCallerWait(in, "walk", name);
  character->WalkTo(character->name.c_str(), goal, done);
}

}  // namespace script_bindings
