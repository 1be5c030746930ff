#include "quillane/character/LipsyncCtrl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/data/Binary.h"
#include "base/file/LineParser.h"
#include "base/system.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"

namespace quillane {

namespace {

// Phoneme code → viseme; the codes the speech generator writes. ORDER VISEMES: the index is
// the mouth pose's position in the table below.
struct st_Code {
  const char* code;
  int viseme;
};
constexpr st_Code kCodes[] = {
    {"p", 0},   {"x", 0},   {"IH", 1},  {"AE", 1},  {"AH", 1},  {"EY", 1}, {"AY", 1},  {"h", 1},
    {"n", 2},   {"NG", 2},  {"CH", 2},  {"j", 2},   {"DH", 2},  {"d", 2},  {"g", 2},   {"t", 2},
    {"k", 2},   {"z", 2},   {"ZH", 2},  {"TH", 2},  {"s", 2},   {"SH", 2}, {"IY", 3},  {"EH", 3},
    {"y", 3},   {"f", 4},   {"v", 4},   {"m", 6},   {"b", 6},   {"AA", 7}, {"AO", 7},  {"OW", 7},
    {"UW", 7},  {"UH", 7},  {"OY", 7},  {"r", 7},   {"ER", 7},  {"w", 8},  {"AW", 9},  {"l", 9},
    {"el", 9},
};
static_assert(sizeof(kCodes) / sizeof(kCodes[0]) == 41, "the phoneme table has 41 codes");

// The clips the mouth poses are sampled from, and where. Pose 9 is mixed from 7 and 1 instead.
struct st_VisemeClip {
  const char* clip;
  float time;
};
constexpr st_VisemeClip kVisemeClips[9] = {
    {"bindpose", 0.04f},  {"phonem_AI", 0.04f}, {"phonem_CONS", 0.04f},
    {"phonem_E", 0.0f},   {"phonem_FV", 0.04f}, {"phonem_L", 0.04f},
    {"phonem_MBP", 0.4f}, {"phonem_O", 0.4f},   {"phonem_UW", 0.4f},
};

constexpr float kFadeIn = 0.2f;   // talking face fades in and out over this many seconds
constexpr float kMouthAdd = 0.7f;

}  // namespace

cl_LipsyncCtrl::cl_LipsyncCtrl(cl_ActorDesc* actorDesc) : actor(actorDesc) {
  for (const st_Code& c : kCodes) phonemes[base::tString<base::BaseString>(c.code)] = c.viseme;
  base::cl_Skeleton* skeleton = actor ? actor->GetSkeleton() : nullptr;
  m_bones = skeleton ? skeleton->GetNumBones() : 0;
  for (base::cl_Pose& p : visemes) p.SetSize(m_bones);
  for (base::cl_Pose* p : {&m_talk, &m_a, &m_b, &m_mix}) p->SetSize(m_bones);
  if (!actor) return;
  for (int i = 0; i < 9; ++i) {
    if (base::cl_Animation* clip = actor->FindAnimation(kVisemeClips[i].clip))
      clip->_SetPose(&visemes[static_cast<size_t>(i)], kVisemeClips[i].time);
  }
  visemes[9].Blend(&visemes[7], &visemes[1], 0.5f);
  for (int i = 0; i < 3; ++i) visemes[static_cast<size_t>(i)].SetWeights(1.0f);
  m_talkClip = actor->FindAnimation("talkidle_face");
  m_facials = actor->FindSubset("facials");
  m_mouth = actor->FindSubset("mouth");
}

void cl_LipsyncCtrl::Start(const base::Binary& data) {
  time = 0.0f;
  active = ParseBuffer(data);
}

void cl_LipsyncCtrl::StartFromFile(const char* path) {
  time = 0.0f;
  active = LoadFile(path);
}

int cl_LipsyncCtrl::FindViseme(const char* code) const {
  const auto it = phonemes.find(base::tString<base::BaseString>(code ? code : ""));
  return it == phonemes.end() ? -1 : it->second;
}

// ---- building the track

bool cl_LipsyncCtrl::ParseBuffer(const base::Binary& data) {
  base::cl_BinaryParser parser(data);
  BuildTrack(parser, "speech data");
  return true;
}

bool cl_LipsyncCtrl::LoadFile(const char* path) {
  track.clear();
  duration = 0.0f;
  base::cl_FileParser parser;
  if (!path || !parser.OpenFile(path)) {
    base::sys::Output("ERROR: could not open lipsync file %s.\n", path ? path : "");
    return false;
  }
  BuildTrack(parser, path);
  return true;
}

// line -> "phn" start end weight code; every other line is ignored.
template <class Parser>
void cl_LipsyncCtrl::BuildTrack(Parser& parser, const char* source) {
  track.clear();
  std::vector<st_Phoneme> records;
  float lastEnd = 0.0f;
  int viseme = 0;  // an unknown code on the first line shows the rest shape
  int line = 0, skipped = 0, firstSkipped = 0;
  while (parser.NextLine()) {
    ++line;
    if (parser.GetNumTokens() != 5) continue;
    const char* word = parser.GetToken(0);
    if (!word || std::strcmp(word, "phn") != 0) continue;
    const int startMs = parser.GetIntToken(1);
    const int endMs = parser.GetIntToken(2);
    float weight = parser.GetRealToken(3) * 0.01f;
    // Times come from a file: a line the track cannot hold is dropped rather than trusted.
    if (startMs < 0 || endMs < startMs || endMs > kMaxTimeMs) {
      if (skipped++ == 0) firstSkipped = line;
      continue;
    }
    if (!std::isfinite(weight)) weight = 0.0f;
    weight = std::clamp(weight, -10.0f, 10.0f);
    const int v = FindViseme(parser.GetToken(4));
    if (v >= 0) viseme = v;
    const float start = static_cast<float>(startMs) * 0.001f;
    const float end = static_cast<float>(endMs) * 0.001f;
    if (start - lastEnd > 0.001f) records.push_back({lastEnd, start, 1.0f, 0});
    records.push_back({start, end, weight, viseme});
    lastEnd = end;
  }
  if (skipped > 0)
    base::sys::Output("Warning: lipsync %s: %d line(s) with times out of order or beyond %d s skipped (first: line %d)\n",
                      source, skipped, kMaxTimeMs / 1000, firstSkipped);
  duration = lastEnd;

  // Every record paints the frames it overlaps, in file order, so the last overlapping one wins.
  const int n = static_cast<int>((lastEnd + 0.99f) * kFrameRate);
  track.resize(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    const float a = static_cast<float>(k) / kFrameRate, b = static_cast<float>(k + 1) / kFrameRate;
    track[static_cast<size_t>(k)] = {a, b, 0.0f, 6};
  }
  for (const st_Phoneme& r : records) {
    const int first = std::max(0, static_cast<int>(r.start * kFrameRate) - 1);
    const int last = std::min(n - 1, static_cast<int>(r.end * kFrameRate) + 1);
    for (int k = first; k <= last; ++k) {
      st_Phoneme& f = track[static_cast<size_t>(k)];
      const float overlap = std::clamp(r.end, f.start, f.end) - std::clamp(r.start, f.start, f.end);
      if (overlap > 0.0f) f.weight = r.weight, f.viseme = r.viseme;
    }
  }
}

// ---- posing

int cl_LipsyncCtrl::FindFrame() {
  const int n = static_cast<int>(track.size());
  if (n == 0 || !(time >= track.front().start) || !(time < track.back().end)) return -1;
  // Frames are uniform, so the time gives the frame up to rounding.
  int k = std::clamp(static_cast<int>(time * kFrameRate), 0, n - 1);
  while (k > 0 && time < track[static_cast<size_t>(k)].start) --k;
  while (k < n - 1 && time >= track[static_cast<size_t>(k)].end) ++k;
  return k;
}

float cl_LipsyncCtrl::GetTalkWeight() const {
  float w = 1.0f;
  if (time < kFadeIn) w = time / kFadeIn;
  if (time > duration - kFadeIn) w = (duration - time) / kFadeIn;
  return std::clamp(w, 0.0f, 1.0f);
}

void cl_LipsyncCtrl::MouthShape(base::cl_Pose& dst, int v, float weight) {
  dst.Blend(&visemes[0], &visemes[static_cast<size_t>(std::clamp(v, 0, kVisemes - 1))], weight);
}

void cl_LipsyncCtrl::ApplyPose(base::cl_Pose& pose) {
  if (!active) return;
  const int i = FindFrame();
  if (i < 0) {
    active = false;
    return;
  }
  if (m_talkClip && m_facials) {
    m_talkClip->_SetPose(&m_talk, time);
    pose.Blend(&m_talk, m_facials, GetTalkWeight());
  }

  const st_Phoneme& f = track[static_cast<size_t>(i)];
  const int n = static_cast<int>(track.size());
  const float mid = (f.start + f.end) * 0.5f;
  float factor;
  if (time > mid) {
    const bool last = i + 1 >= n;
    const st_Phoneme& next = last ? f : track[static_cast<size_t>(i + 1)];
    const float nextMid = last ? f.end : (next.start + next.end) * 0.5f;
    MouthShape(m_a, f.viseme, f.weight);
    MouthShape(m_b, last ? 0 : next.viseme, last ? 1.0f : next.weight);
    factor = (time - mid) / (nextMid - mid);
  } else {
    const bool first = i == 0;
    const st_Phoneme& prev = first ? f : track[static_cast<size_t>(i - 1)];
    const float prevMid = first ? 0.0f : (prev.start + prev.end) * 0.5f;
    MouthShape(m_a, first ? 0 : prev.viseme, first ? 1.0f : prev.weight);
    MouthShape(m_b, f.viseme, f.weight);
    factor = mid > prevMid ? (time - prevMid) / (mid - prevMid) : 1.0f;
  }
  m_mix.Blend(&m_a, &m_b, factor);
  pose.Add(&m_mix, m_mouth, kMouthAdd);
}

}  // namespace quillane
