// cl_LipsyncCtrl: the mouth of a speaking character. Reads the phoneme timings of a spoken line
// (".lipsync" text: "phn <start ms> <end ms> <weight %> <code>" lines), turns them into a track of
// mouth shapes at 20 frames per second, and adds the current shape, cross-faded between frame
// midpoints, to the character's pose together with a talking face. Main thread only.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <vector>

#include "base/String.h"
#include "graphics/mesh/Pose.h"

namespace base {
class Binary;
class cl_Animation;
struct cl_SkeletonSubset;
}  // namespace base

namespace quillane {

class cl_ActorDesc;

class cl_LipsyncCtrl {
 public:
  static constexpr int kVisemes = 10;
  static constexpr float kFrameRate = 20.0f;
  // Lines ending later than this are refused: it bounds the track at 12,019 frames.
  static constexpr int kMaxTimeMs = 600000;

  // One phoneme line, and one frame of the built track.
  struct st_Phoneme {
    float start = 0.0f;  // seconds
    float end = 0.0f;
    float weight = 0.0f;  // 0..1
    int viseme = 0;       // 0..9
  };

  // Builds the code table and the ten mouth poses from actor's clips (actor may be null: then
  // every pose is empty and ApplyPose adds nothing).
  explicit cl_LipsyncCtrl(cl_ActorDesc* actor);
  cl_LipsyncCtrl(const cl_LipsyncCtrl&) = delete;
  cl_LipsyncCtrl& operator=(const cl_LipsyncCtrl&) = delete;

  // Restarts with the timings in data; active when they parse.
  void Start(const base::Binary& data);
  // Restarts with the timings of a loose file; active when it can be read.
  void StartFromFile(const char* path);
  void Stop() { active = false; }
  void Update(float dt) { time += dt; }

  // Build the track; false (logged) only when the file cannot be opened.
  bool ParseBuffer(const base::Binary& data);
  bool LoadFile(const char* path);

  // Adds the talking face and the mouth shape at the current time to pose; when the time has
  // run past the track the controller turns inactive instead.
  void ApplyPose(base::cl_Pose& pose);

  // The viseme of a phoneme code, -1 for an unknown code.
  int FindViseme(const char* code) const;
  // Talking-face weight at the current time: fades in over the first and out over the last 0.2 s.
  float GetTalkWeight() const;
  // The track's frame at the current time, -1 when the time lies outside it.
  int FindFrame();

  const std::vector<st_Phoneme>& GetTrack() const { return track; }
  const base::cl_Pose& GetViseme(int i) const { return visemes[static_cast<size_t>(i)]; }
  bool IsActive() const { return active; }

  std::vector<st_Phoneme> track;
  float time = 0.0f;
  float duration = 0.0f;
  bool active = false;
  std::map<base::tString<base::BaseString>, int> phonemes;
  std::array<base::cl_Pose, kVisemes> visemes;
  cl_ActorDesc* actor = nullptr;

 private:
  template <class Parser>
  void BuildTrack(Parser& parser, const char* source);
  // dst := Blend(rest, viseme pose of v, weight).
  void MouthShape(base::cl_Pose& dst, int v, float weight);

  base::cl_Animation* m_talkClip = nullptr;           // "talkidle_face", or null
  base::cl_SkeletonSubset* m_facials = nullptr;       // "facials", or null
  base::cl_SkeletonSubset* m_mouth = nullptr;         // "mouth"; null adds to every bone
  int m_bones = 0;
  // Scratch poses kept across frames so that speaking allocates nothing per frame.
  base::cl_Pose m_talk, m_a, m_b, m_mix;
};

}  // namespace quillane
