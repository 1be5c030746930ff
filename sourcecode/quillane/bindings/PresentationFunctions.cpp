// The script functions that change how characters on the stage look and behave: turning on the
// spot, walking without waiting or up to a distance, showing and hiding, props on bones, face
// and gaze, properties, obstacle behaviour and footstep sounds.
#include <cmath>

#include "KRX/ScriptSystem.h"
#include "base/data/VariantTools.h"
#include "base/math/VectorTools.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/bindings/CharacterScript.h"
#include "quillane/character/Character.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Stage.h"

namespace script_bindings {

using quillane::cl_Character;
using tPoint = base::tVector3<float>;

namespace {

// Turn always turns this far: the scripts written for it expect about half a turn, whatever
// they pass.
constexpr float kTurnAngle = 3.0f;
// As WalkTo: closer than this beyond the wanted distance, nobody walks.
constexpr float kWalkReach = 10.0f;

// The face of the named character; null (silently) when it has none.
quillane::cl_FacialCtrl* FaceOf(const char* name) {
  cl_Character* character = GetCharacterOrReport(name);
  return character ? character->facial : nullptr;
}

}  // namespace

// ---- moving

void Turn(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "default", true);
  cl_Character* character = GetCharacterOrReport(name);
  script::GetArgFloat(in, 2, 0.0f, true);  // read for its message; the turn is fixed
  if (!character) return;
  quillane::cl_GameActionCompletionEvent* done = AddCallerWait(in, "", name);
  character->TurnBy(kTurnAngle, done);
}

void WalkToNoWait(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "default", true);
  const char* where = script::GetArgString(in, 2, "default", true);
  tPoint goal;
  // No action and no least distance: the walk starts even where the character stands.
  if (cl_Character* character = FindWalkToLocator(name, where, goal))
    character->WalkTo(character->name.c_str(), goal, nullptr, 0);
}

void WalkNear(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "default", true);
  const char* target = script::GetArgString(in, 2, "default", true);
  const float distance = script::GetArgFloat(in, 3, 0.0f, true);
  if (!GetScriptStage()) return;
  cl_Character* character = FindCharacter(name);
  tPoint goal;
  if (quillane::cl_SceneLocator* locator = FindSceneLocator(target))
    goal = locator->locator.GetPos();
  else if (cl_Character* other = FindCharacter(target))
    goal = other->GetPosition();
  else
    return;
  if (!character) return;
  const tPoint at = character->GetPosition();
  const float dx = goal.x - at.x, dz = goal.z - at.z;
  if (std::sqrt(dx * dx + dz * dz) <= distance + kWalkReach) return;
  const tPoint destination = goal + base::NormalizeVec3(at - goal) * distance;
  quillane::cl_GameActionCompletionEvent* done = AddCallerWait(in, "walk", name);
  character->WalkTo(character->name.c_str(), destination, done, 0);
}

// ---- behaviour

void IgnoreCharacter(const char* name, bool ignored) {
  if (cl_Character* character = GetCharacterOrReport(name)) character->SetIgnored(ignored);
}

void AvoidCharacter(const char* name, bool avoid) {
  if (cl_Character* character = GetCharacterOrReport(name)) character->SetAvoidance(avoid);
}

void SetPropertyFloat(const char* name, const char* property, float value) {
  cl_Character* character = GetCharacterOrReport(name);
  if (character && property) character->SetPropertyFloat(property, value);
}

// ---- face

void Emote(KRX::t_Interface& in) {
  // The character first, so that its report comes before any about the other arguments.
  quillane::cl_FacialCtrl* face = FaceOf(script::GetArgString(in, 1, "default", true));
  const char* expression = script::GetArgString(in, 2, "default", true);
  const float weight = script::GetArgFloat(in, 3, 0.0f, true);
  const float fade = script::GetArgFloat(in, 4, 0.0f, true);
  const float delay = script::GetArgFloat(in, 5, 0.0f, false);
  if (face) face->PlayExpression(expression, weight, fade, delay);
}

void SetLookOffset(const char* name, float x, float y) {
  if (quillane::cl_FacialCtrl* face = FaceOf(name)) face->SetGazeOffset(x, y);
}

void Gaze(const char* name, const char* target, float weight) {
  quillane::cl_FacialCtrl* face = FaceOf(name);
  if (face && target) face->SetLookTarget(target, weight);
}

void Look(const char* name, const char* target, float weight) {
  quillane::cl_FacialCtrl* face = FaceOf(name);
  if (face && target) face->SetEyeTarget(target, weight);
}

// ---- visibility

void ShowCharacter(KRX::t_Interface& in) { SetCharactersVisible(in, true); }
void HideCharacter(KRX::t_Interface& in) { SetCharactersVisible(in, false); }

// ---- props

void AttachObject(const char* holder, const char* bone, const char* object, const char* actor, float scale) {
  cl_Character* owner = GetCharacterOrReport(holder);
  quillane::cl_ActorRegistry* registry = quillane::GetActorRegistry();
  quillane::cl_ActorDesc* desc = registry && actor ? registry->FindActor(actor) : nullptr;
  quillane::cl_Stage* stage = GetScriptStage();
  if (!desc || !stage || !owner || !object) return;
  cl_Character* prop = stage->CreateCharacter(object, actor);
  if (!prop) return;
  prop->SetIgnored(true);
  prop->properties.attribute("is_attachment")->set_int(1);
  prop->isAttachment = 1;

  base::cl_Skeleton* skeleton = owner->actor ? owner->actor->GetSkeleton() : nullptr;
  cl_Character::st_Attachment record;
  record.name = object;
  record.boneIndex = skeleton && bone ? skeleton->GetBoneIndex(bone) : -1;
  record.scale = scale;
  owner->attachments.push_back(record);
  // What the stage saves and restores.
  base::Variant& saved = owner->properties.add_element("AttachedObject");
  saved.attribute("character")->set_string(object);
  saved.attribute("bone_index")->set_int(record.boneIndex);
  saved.attribute("scale")->set_float(scale);
  stage->ResolveAttachmentTargets();
}

void DetachObject(const char* holder, const char* object) {
  cl_Character* owner = GetCharacterOrReport(holder);
  cl_Character* prop = GetCharacterOrReport(object);
  if (owner && object) {
    owner->attachments.remove_if([object](const cl_Character::st_Attachment& a) { return a.name == object; });
    base::variant_remove_elements_by_attribute_value(owner->properties, "character", object);
  }
  quillane::cl_Stage* stage = GetScriptStage();
  if (stage) {
    stage->ResolveAttachmentTargets();
    if (prop) stage->RemoveCharacter(object);
  }
}

// ---- footsteps

void SFXSetCharacterStepsound(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "default", true);
  const char* first = script::GetArgString(in, 2, "default", true);
  const float phase1 = script::GetArgFloat(in, 3, 0.0f, true);
  const float level1 = script::GetArgFloat(in, 4, 0.0f, true);
  const char* second = script::GetArgString(in, 5, "default", true);
  const float phase2 = script::GetArgFloat(in, 6, 0.0f, true);
  const float level2 = script::GetArgFloat(in, 7, 0.0f, true);
  if (cl_Character* character = GetCharacterOrReport(name))
    character->footsteps.SetStepSounds(first, phase1, level1, second, phase2, level2);
}

}  // namespace script_bindings
