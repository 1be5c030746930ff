// A character rig for benchmarks: an actor with a chain skeleton of the given size, every clip
// and subset a stage character and its face use (random keys, fixed seed), and "female" as its
// parent so that the gaze pose runs. Used by the character and the session benchmarks.
#pragma once

#include <memory>
#include <random>

#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"

namespace benchrig {

using V3 = base::tVector3<float>;

inline base::cl_Animation* MakeClip(const char* name, int bones, float length, std::mt19937& rng) {
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  auto* clip = new base::cl_Animation;
  clip->name = name;
  clip->length = length;
  const int keys = static_cast<int>(length * 30.0f) + 1;
  for (int b = 0; b < bones; ++b) {
    auto* t = new base::cl_AnimationTrack;
    const V3 axis = V3(u(rng), u(rng), u(rng) + 2.0f).normal();
    for (int k = 0; k < keys; ++k) {
      base::cl_AnimationTrack::st_Key key;
      key.time = length * static_cast<float>(k) / static_cast<float>(keys - 1);
      key.rotation.set_axis_angle(axis, 0.3f * u(rng));
      if (b == 0) key.translation = V3(0, 0, 100.0f * key.time);
      t->keys.push_back(key);
    }
    clip->tracks.push_back(t);
  }
  clip->Compress();
  return clip;
}

// A rig with every clip and subset the character and its face use; its parent label makes the
// gaze pose run.
struct st_Rig {
  base::StaticVariant element;
  std::unique_ptr<quillane::cl_ActorDesc> actor;

  explicit st_Rig(int bones) {
    base::xml::read_text(element, "<Character label=\"bench\"/>", "bench");
    actor = std::make_unique<quillane::cl_ActorDesc>(nullptr, element);
    actor->parent = "female";
    auto* s = new base::cl_Skeleton;
    s->Create(bones);
    for (int b = 1; b < bones; ++b) {
      (*s)[b].parent = b - 1;
      (*s)[b - 1].children.push_back(b);
      (*s)[b].position = V3(0, 5.0f, 0);
    }
    (*s)[bones - 1].name = "Game_Head";
    s->CalcBindingPose();
    std::mt19937 rng(7);
    for (const char* name : {"idle", "walk", "talk", "turnaround_cw", "turnaround_ccw", "eyes_idle", "eyes_left",
                             "eyes_right", "eyes_up", "eyes_down", "look_left", "look_right", "bindpose",
                             "phonem_AI", "phonem_CONS", "phonem_E", "phonem_FV", "phonem_L", "phonem_MBP",
                             "phonem_O", "phonem_UW", "talkidle_face", "emote_smile", "emote_frown"})
      s->AddAnimation(MakeClip(name, bones, 2.0f, rng));
    auto subset = [&](int from, int to) {
      auto* sub = new base::cl_SkeletonSubset;
      for (int b = from; b < to && b < bones; ++b) sub->Set(b, 1.0f);
      return sub;
    };
    s->AddSubset("facials", subset(bones - 11, bones));
    s->AddSubset("eyes", subset(bones - 4, bones));
    s->AddSubset("mouth", subset(bones - 8, bones - 3));
    s->AddSubset("looking", subset(bones - 3, bones));
    s->AddSubset("face", subset(bones - 6, bones));
    actor->skeleton = s;
  }
};

}  // namespace benchrig
