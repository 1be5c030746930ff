#include "quillane/character/EmoteCtrl.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

struct st_EmoteEntry {
  base::tString<base::BaseString> label, animation, subset;
};

// The emote list is the same for every character, so a scene full of them reads it once.
std::unique_ptr<std::vector<st_EmoteEntry>>& EmoteList() {
  static std::unique_ptr<std::vector<st_EmoteEntry>> list;
  return list;
}

const std::vector<st_EmoteEntry>& ReadEmoteList() {
  auto& list = EmoteList();
  if (list) return *list;
  list = std::make_unique<std::vector<st_EmoteEntry>>();
  base::Variant root;
  if (!base::xml::read_file(root, cl_EmoteCtrl::kListFile) || !root.is_element()) return *list;
  for (int i = 0; i < root.size(); ++i) {
    const base::Variant& child = root[i];
    if (!child.is_element()) continue;
    st_EmoteEntry e;
    // An incomplete child is left out without a message: the list's own convention.
    if (!child.get_attribute_string("label", e.label) || !child.get_attribute_string("animation", e.animation) ||
        !child.get_attribute_string("subset", e.subset))
      continue;
    list->push_back(std::move(e));
  }
  return *list;
}

// A delay or fade time from a script: not finite counts as 0.
float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

}  // namespace

void cl_EmoteCtrl::ForgetEmoteList() { EmoteList().reset(); }

cl_EmoteCtrl::cl_EmoteCtrl(cl_ActorDesc* actorDesc) : actor(actorDesc) {
  if (!actor) return;
  for (const st_EmoteEntry& e : ReadEmoteList()) AddEmote(e.label, e.animation, e.subset);
}

cl_EmoteCtrl::~cl_EmoteCtrl() {
  for (st_EmoteRequest* r : pending) delete r;
  for (st_Emote* e : emotes) {
    delete e->pose;
    delete e;
  }
}

void cl_EmoteCtrl::AddEmote(const base::tString<base::BaseString>& label,
                            const base::tString<base::BaseString>& animationName,
                            const base::tString<base::BaseString>& subsetName) {
  base::cl_Animation* clip = actor ? actor->GetAnimation(animationName.c_str()) : nullptr;
  if (!clip) {
    base::sys::Output("ERROR: no animation found for emote %s.\n", label.c_str());
    return;
  }
  base::cl_Skeleton* skeleton = actor->GetSkeleton();
  auto* e = new st_Emote;
  e->label = label;
  e->subsetName = subsetName;
  if (subsetName.size() > 0) e->subset = actor->FindSubset(subsetName.c_str());
  e->pose = new base::cl_Pose(skeleton ? skeleton->GetNumBones() : 0);
  clip->_SetPose(e->pose, clip->length * 0.99f);
  emotes.push_back(e);
  index.emplace(label, static_cast<int>(emotes.size()) - 1);  // a repeated label keeps the first
}

st_Emote* cl_EmoteCtrl::FindEmote(const base::tString<base::BaseString>& label) {
  const auto it = index.find(label);
  return it == index.end() ? nullptr : emotes[static_cast<size_t>(it->second)];
}

void cl_EmoteCtrl::PlayEmote(const base::tString<base::BaseString>& label, float weight, float fadeTime,
                             float delay) {
  pending.push_back(new st_EmoteRequest{label, Finite(weight), Finite(fadeTime), Finite(delay)});
}

void cl_EmoteCtrl::Update(float dt) {
  for (auto it = pending.begin(); it != pending.end();) {
    st_EmoteRequest* r = *it;
    r->delay -= dt;
    if (r->delay > 0.0f) {
      ++it;
      continue;
    }
    const bool all = r->label == "all";
    for (st_Emote* e : emotes) {
      if (!all && !(e->label == r->label)) continue;
      e->targetWeight = r->weight;
      if (r->fadeTime > 0.0f)
        e->fadeTime = r->fadeTime;
      else
        e->weight = r->weight;
    }
    delete r;
    it = pending.erase(it);
  }
  for (st_Emote* e : emotes) {
    const float step = e->fadeTime > 0.0f ? dt / e->fadeTime : 1e30f;
    const float d = e->targetWeight - e->weight;
    e->weight = std::fabs(d) <= step ? e->targetWeight : e->weight + (d > 0.0f ? step : -step);
  }
}

void cl_EmoteCtrl::ApplyPose(base::cl_Pose& pose) {
  for (st_Emote* e : emotes) {
    if (e->weight > 0.01f) pose.Add(e->pose, e->subset, e->weight);
  }
  const float fun = FunStuff_Plan9;
  if (fun > 0.0f && !emotes.empty()) pose.FunStuff_Add(emotes[0]->pose, emotes[0]->subset, fun);
}

}  // namespace quillane
