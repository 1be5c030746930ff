// Shared parts of the character script functions: look-ups on the session's stage, placement
// targets, the caller's actions, the one-shot animation start and showing characters by name.
#include "quillane/bindings/CharacterScript.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <string_view>

#include "KRX/ScriptSystem.h"
#include "graphics/mesh/Animation.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/Character.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"

namespace script_bindings {

using quillane::cl_Character;

quillane::cl_Stage* GetScriptStage() {
  quillane::cl_Session* session = quillane::GetSession();
  return session ? session->GetStage() : nullptr;
}

cl_Character* FindCharacter(const char* name) {
  quillane::cl_Stage* stage = GetScriptStage();
  return stage && name ? stage->GetCharacter(name) : nullptr;
}

cl_Character* GetCharacterOrReport(const char* name) {
  cl_Character* character = FindCharacter(name);
  if (!character) KRX::ReportError("Character '%s' does not exist.\n", name ? name : "(null)");
  return character;
}

quillane::cl_SceneLocator* FindSceneLocator(const char* name) {
  quillane::cl_Stage* stage = GetScriptStage();
  quillane::cl_Scene* scene = stage ? stage->GetScene() : nullptr;
  return scene && name ? scene->FindLocator(name) : nullptr;
}

cl_Character* FindWalkToLocator(const char* name, const char* where, base::tVector3<float>& goal) {
  if (!GetScriptStage()) return nullptr;
  cl_Character* character = FindCharacter(name);
  quillane::cl_SceneLocator* locator = FindSceneLocator(where);
  if (!character) {
    KRX::ReportError("Character %s does not exist.", name ? name : "(null)");
    return nullptr;
  }
  if (!locator) {
    KRX::ReportError("Locator %s does not exist.", where ? where : "(null)");
    return nullptr;
  }
  goal = locator->locator.GetPos();
  return character;
}

const base::cl_Locator* FindPlacementTarget(const char* name) {
  if (quillane::cl_SceneLocator* locator = FindSceneLocator(name)) return &locator->locator;
  if (cl_Character* character = FindCharacter(name)) return &character->locator;
  return nullptr;
}

bool GetLocatorPosition(const char* name, base::tVector3<float>& out) {
  if (cl_Character* character = FindCharacter(name)) {
    out = character->GetPosition();
    return true;
  }
  if (quillane::cl_SceneLocator* locator = FindSceneLocator(name)) {
    out = locator->locator.GetPos();
    return true;
  }
  return false;
}

quillane::st_GameAction* AddCallerAction(KRX::t_Interface& in, const char* kind, const char* object, float time) {
  quillane::cl_Session* session = quillane::GetSession();
  if (!session) return nullptr;
  // Only game threads are woken by the queue; any other caller would wait for ever.
  GameThread* thread = dynamic_cast<GameThread*>(script::GetCallingThread(&in));
  if (!thread) {
    script::ReportError(in, "ERROR: a '%s' action needs a game script thread to wait on; the script goes on\n", kind);
    return nullptr;
  }
  quillane::st_GameAction* action = session->GetActionQueue().Add(thread);
  action->m_kind = kind;
  action->m_object = object ? object : "";
  action->m_time = time;
  return action;
}

quillane::cl_GameActionCompletionEvent* AddCallerWait(KRX::t_Interface& in, const char* kind, const char* object) {
  quillane::st_GameAction* action = AddCallerAction(in, kind, object);
  return action ? new quillane::cl_GameActionCompletionEvent(action) : nullptr;
}

namespace {

bool Contains(const char* text, const char* part) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return lower.find(part) != std::string::npos;
}

}  // namespace

cl_Character* StartCharacterAnimation(KRX::t_Interface& in, float& duration) {
  if (in.m_argCount < 5) {
    KRX::ReportError("too few parameters for PlayAnimationNoWait");
    return nullptr;
  }
  const char* name = script::GetArgString(in, 1, nullptr, false);
  const char* animation = script::GetArgString(in, 2, nullptr, false);
  float speed = script::GetArgFloat(in, 3, 1.0f, false);
  const float lead = script::GetArgFloat(in, 4, 0.0f, false);
  const float tail = script::GetArgFloat(in, 5, 0.0f, false);
  cl_Character* character = GetCharacterOrReport(name);
  duration = 0.0f;
  if (!character || !animation || !*animation) return nullptr;
  base::cl_Animation* clip = character->actor ? character->actor->GetAnimation(animation) : nullptr;
  if (!clip) {
    KRX::ReportError("animation %s not found", animation);
    return nullptr;
  }
  // Handling clips play faster than they were made; "pickup" wins over "manipulate".
  if (Contains(animation, "manipulate")) speed = Animation_ManipulateSpeed;
  if (Contains(animation, "pickup")) speed = Animation_PickupSpeed;
  // The duration is divided by the speed, and a clip at speed 0 would never end.
  if (!(speed > 0.0f) || !std::isfinite(speed)) {
    KRX::ReportError("ERROR: animation %s of %s: speed %g is not a positive number; 1.0 is used\n", animation,
                     name, static_cast<double>(speed));
    speed = 1.0f;
  }
  duration = (clip->length + (lead < 0.0f ? -lead : 0.0f) + (tail < 0.0f ? -tail : 0.0f)) / speed;
  character->PlaySpecialAnimation(clip, speed, lead, tail);
  return character;
}

void SetCharactersVisible(KRX::t_Interface& in, bool visible) {
  quillane::cl_Stage* stage = GetScriptStage();
  for (int k = 1; k <= in.m_argCount; ++k) {
    const char* name = script::GetArgString(in, k, "default", true);
    if (std::string_view(name) == "all") {
      if (stage)
        for (cl_Character* character : stage->GetCharacters()) character->visible = visible ? 1 : 0;
      continue;
    }
    if (cl_Character* character = FindCharacter(name))
      character->visible = visible ? 1 : 0;
    else
      script::ReportError(in, "Unknown character %s.", name);
  }
}

}  // namespace script_bindings
