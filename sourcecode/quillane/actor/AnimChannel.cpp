#include "quillane/actor/AnimChannel.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Pose.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/world/WorldServices.h"

namespace quillane {

namespace {

// The actor's clip of that name (with its fall-back to "idle"); null without an actor.
base::cl_Animation* ClipOf(i_AnimCharacter& character, const base::tString<base::BaseString>& name) {
  cl_ActorDesc* actor = character.GetActor();
  return actor ? actor->GetAnimation(name.c_str()) : nullptr;
}

// White with the alpha of a layer weight: faint layers draw faintly, but never vanish.
uint32_t DebugColour(float weight) {
  const long alpha = std::lround(weight * 180.0f + 75.0f);
  const uint32_t a = static_cast<uint32_t>(alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha));
  return a << 24 | 0x00FFFFFFu;
}

}  // namespace

cl_AnimChannel::~cl_AnimChannel() { delete m_fadePose; }

bool cl_AnimChannel::Play(i_AnimCharacter& character, const char* name, bool fade) {
  if (fade && !fresh && clip && crossFade) {
    blendFromClip = clip;
    blendFromTimer = timer;
    blendFromWeight = 1.0f;
  }
  request = name;
  if (request.empty()) {
    // Nothing left to ask a script for either, or every update would report a missing function.
    isFunction = 0;
    clip = nullptr;
    return true;
  }
  const int n = request.size();
  if (n >= 3 && request[n - 2] == '(' && request[n - 1] == ')') {
    isFunction = 1;
    request = request.left(n - 2);
    return ChooseNext(character) != nullptr;
  }
  isFunction = 0;
  animName = request;
  clip = ClipOf(character, animName);
  return clip != nullptr;
}

base::cl_Animation* cl_AnimChannel::ChooseNext(i_AnimCharacter& character) {
  if (!isFunction) return clip;
  st_WorldServices& services = WorldServices();
  const char* who = character.GetName() ? character.GetName() : "";
  base::Variant arguments;
  arguments.set_string(who);
  base::Variant result;
  // Without a session there are no scripts: every function is missing.
  if (services.CallSceneScript && services.CallHotspotScript && services.CallSceneScript(who, request.c_str())) {
    result = services.CallHotspotScript(who, request.c_str(), arguments);
  } else if (services.HasScriptFunction && services.CallScriptFunctionByPath &&
             services.HasScriptFunction(request.c_str())) {
    result = services.CallScriptFunctionByPath(request.c_str(), arguments);
  } else {
    base::sys::Output("function %s for %s does not exist.\n", request.c_str(), who);
    return clip;
  }
  const char* next = result.get_string();
  if (next && *next) {
    animName = next;
    clip = ClipOf(character, animName);
  }
  return clip;
}

void cl_AnimChannel::Update(i_AnimCharacter& character, float dt) {
  fresh = 0;
  if (blendFromClip) {
    blendFromTimer += dt;
    if (blendFromClip->length > 0.0f) blendFromTimer = std::fmod(blendFromTimer, blendFromClip->length);
    blendFromWeight -= dt * 3.0f;
    if (!(blendFromWeight > 0.0f)) blendFromClip = nullptr;
  }
  const float step = biasSpeed * dt;
  if (std::fabs(targetBias - bias) <= step) {
    bias = targetBias;
  } else {
    bias += targetBias > bias ? step : -step;
  }
  timer += dt;
  const float length = GetClipLength();
  if (timer >= length) {
    timer -= length;
    ChooseNext(character);
  }
}

float cl_AnimChannel::GetClipLength() const { return clip ? clip->length : 0.0f; }

void cl_AnimChannel::RandomizeTimer() {
  if (clip) timer = base::Random() * clip->length;
}

// ---- poses

void cl_AnimChannel::ApplyBase(base::cl_Pose& pose) {
  if (clip) pose.Set(clip, timer);
  ApplyBlendFrom(pose);
}

void cl_AnimChannel::ApplyOverlay(base::cl_Pose& pose, base::cl_Pose& scratch) {
  if (!(bias > 0.0f) || !clip) return;
  scratch.SetSize(pose.GetNumBones());
  scratch.Set(clip, timer);
  ApplyBlendFrom(scratch);
  scratch.SetWeights(bias);
  pose.SetWeights(1.0f - bias);
  pose.Blend(&pose, &scratch);
}

void cl_AnimChannel::ApplyBlendFrom(base::cl_Pose& pose) {
  // Left Shift held shows the poses without fades.
  if (!blendFromClip || base::sys::KeyState(base::key::LeftShift)) return;
  if (!m_fadePose) m_fadePose = new base::cl_Pose;
  base::cl_Pose& from = *m_fadePose;
  from.SetSize(pose.GetNumBones());
  // A fresh pose each time, as if made for this frame: bones the clip does not drive stay at rest.
  for (int i = 0; i < from.GetNumBones(); ++i) from[i] = base::cl_Pose::st_BonePose();
  from.Set(blendFromClip, blendFromTimer);
  from.SetWeights(blendFromWeight);
  pose.SetWeights(1.0f - blendFromWeight);
  pose.Blend(&pose, &from);
}

// ---- debug display

void cl_AnimChannel::DrawDebug(base::tVector2<float>& position, const char* label) {
  if (!(bias > 0.0f) || !clip) return;
  char line[512];
  std::snprintf(line, sizeof line, "%s: bias=%.02f anim='%s' timer=%.02f", label ? label : "", bias, animName.c_str(),
                timer);
  gfx::DrawText(static_cast<int>(position.x), static_cast<int>(position.y), line, DebugColour(bias));
  position.y += 16.0f;
  if (!blendFromClip) return;
  std::snprintf(line, sizeof line, "blend from: bias=%.02f anim='%s' timer=%.02f", blendFromWeight,
                blendFromClip->name.c_str(), blendFromTimer);
  gfx::DrawText(static_cast<int>(position.x + 16.0f), static_cast<int>(position.y), line,
                DebugColour(blendFromWeight));
  position.y += 16.0f;
}

}  // namespace quillane
