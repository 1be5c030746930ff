// cl_EmoteCtrl: a character's facial expressions. The list "characters/emotes.xml" names each
// emote (label, clip, skeleton subset); every character turns it into still poses from its own
// actor. Scripts queue requests (weight, fade time, delay); weights then move linearly toward
// their targets and the visible emotes are added to the pose. Main thread only.
#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <vector>

#include "base/String.h"
#include "graphics/mesh/Pose.h"

namespace base {
struct cl_SkeletonSubset;
}

namespace quillane {

class cl_ActorDesc;

struct st_Emote {
  base::tString<base::BaseString> label;
  base::tString<base::BaseString> subsetName;
  base::cl_SkeletonSubset* subset = nullptr;  // null for an empty subset name
  base::cl_Pose* pose = nullptr;              // owned; the clip at 0.99 of its length
  float targetWeight = 0.0f;
  float weight = 0.0f;
  float fadeTime = 0.5f;  // seconds for a change of 1.0 in weight
};

struct st_EmoteRequest {
  base::tString<base::BaseString> label;  // "all" addresses every emote
  float weight = 0.0f;
  float fadeTime = 0.0f;
  float delay = 0.0f;
};

class cl_EmoteCtrl {
 public:
  static constexpr const char* kListFile = "characters/emotes.xml";

  // Builds the table from the emote list for actor (null actor: an empty table).
  explicit cl_EmoteCtrl(cl_ActorDesc* actor);
  ~cl_EmoteCtrl();
  cl_EmoteCtrl(const cl_EmoteCtrl&) = delete;
  cl_EmoteCtrl& operator=(const cl_EmoteCtrl&) = delete;

  // Appends an emote posed from the actor's clip animationName; logs and adds nothing when the
  // actor yields no clip. A label already present keeps its first index entry.
  void AddEmote(const base::tString<base::BaseString>& label, const base::tString<base::BaseString>& animationName,
                const base::tString<base::BaseString>& subsetName);
  st_Emote* FindEmote(const base::tString<base::BaseString>& label);  // the first of that label, or null
  // Queues a request; it takes effect once its delay has run out.
  void PlayEmote(const base::tString<base::BaseString>& label, float weight, float fadeTime, float delay);
  // Runs down the delays, applies the due requests, moves weights toward their targets.
  void Update(float dt);
  // Adds every emote above weight 0.01 to pose on its subset.
  void ApplyPose(base::cl_Pose& pose);

  const std::vector<st_Emote*>& GetEmotes() const { return emotes; }
  size_t GetPendingCount() const { return pending.size(); }

  // The emote list is read once per process; this drops it so the next table reads it again.
  static void ForgetEmoteList();

  cl_ActorDesc* actor = nullptr;
  std::map<base::tString<base::BaseString>, int> index;
  std::vector<st_Emote*> emotes;
  std::list<st_EmoteRequest*> pending;
};

}  // namespace quillane
