// Clip sampling, compression and root-motion extraction.
#include "graphics/mesh/Animation.h"

#include <cmath>
#include <cstdint>

#include "base/system.h"
#include "graphics/mesh/Pose.h"

namespace base {

namespace {

// Compression tolerances: 1e-4 for translation, scale and the constant-rotation test, 1e-5 for a
// rotation to count as the identity.
constexpr float kEpsilon = 1e-4f;
constexpr float kRotationEpsilon = 1e-5f;

// The last key whose time lies below t, held within 0 … n − 2 (0 for n = 1): bisection over the
// shared key times. time(k) gives key k's time.
template <class TimeOf>
int FindKey(int n, float t, TimeOf time) {
  if (n < 2) return 0;
  int lo = 0, hi = n - 1;
  for (;;) {
    const int mid = (lo + hi) / 2;
    if (time(mid) < t) {
      lo = mid;
      if (hi - mid < 2) return mid;
    } else {
      hi = mid;
    }
    if (lo == hi) return lo;
  }
}

tVector3<float> Lerp(const tVector3<float>& a, const tVector3<float>& b, float f) { return a + (b - a) * f; }

bool NearZero(const tVector3<float>& v, float eps) {
  return std::fabs(v.x) <= eps && std::fabs(v.y) <= eps && std::fabs(v.z) <= eps;
}

// Where a sample falls: keys i and i1 (equal for a single key) and the fraction between them.
struct st_KeySpan {
  int i = 0;
  int i1 = 0;
  float f = 0.0f;
};

template <class TimeOf>
st_KeySpan Locate(int n, float t, TimeOf time) {
  st_KeySpan s;
  s.i = FindKey(n, t, time);
  s.i1 = n > 1 ? s.i + 1 : s.i;
  // Not clamped: times outside the span extrapolate. Keys at equal times hold the first.
  const float span = time(s.i1) - time(s.i);
  s.f = span > 0.0f ? (t - time(s.i)) / span : 0.0f;
  return s;
}

}  // namespace

// ---- compressed block

int cl_Animation::st_Compressed::TrackSize(unsigned char flags, int n) {
  int size = 0;
  if (flags & TRANSLATION) size += (flags & TRANSLATION_CONST) ? 3 : 3 * n;
  if (flags & SCALE) size += (flags & SCALE_CONST) ? 3 : 3 * n;
  if (flags & ROTATION) size += (flags & ROTATION_CONST) ? 4 : 4 * n;
  return size;
}

tString<BaseString> cl_Animation::st_Compressed::Check() const {
  tString<BaseString> why;
  const int n = static_cast<int>(times.size());
  if (n < 1) {
    why = "no key times";
  } else if (flags.size() != offsets.size()) {
    why.print("%d flag bytes for %d track offsets", static_cast<int>(flags.size()), static_cast<int>(offsets.size()));
  } else {
    for (size_t t = 0; t < flags.size(); ++t) {
      const int64_t end = static_cast<int64_t>(offsets[t]) + TrackSize(flags[t], n);
      if (offsets[t] < 0 || end > static_cast<int64_t>(data.size())) {
        why.print("track %d (flags %d, offset %d) reaches past the %d data floats", static_cast<int>(t), flags[t],
                  offsets[t], static_cast<int>(data.size()));
        break;
      }
    }
  }
  return why;
}

// ---- clip

cl_Animation::~cl_Animation() { ClearData(); }

void cl_Animation::ClearData() {
  for (cl_AnimationTrack* t : tracks) delete t;
  tracks.clear();
  delete compressed;
  compressed = nullptr;
}

int cl_Animation::GetNumTracks() const {
  return compressed ? static_cast<int>(compressed->flags.size()) : static_cast<int>(tracks.size());
}

int cl_Animation::GetNumKeys() const {
  if (compressed) return static_cast<int>(compressed->times.size());
  return tracks.empty() ? 0 : static_cast<int>(tracks[0]->keys.size());
}

tString<BaseString> cl_Animation::CheckTracks() const {
  tString<BaseString> why;
  const int n = GetNumKeys();
  for (size_t t = 1; t < tracks.size(); ++t) {
    if (static_cast<int>(tracks[t]->keys.size()) != n) {
      why.print("track %d has %d keys, track 0 has %d", static_cast<int>(t), static_cast<int>(tracks[t]->keys.size()), n);
      break;
    }
  }
  return why;
}

void cl_Animation::_SetPose(cl_Pose* pose, float time) const {
  if (!pose) return;
  // A clip without a positive length has no time to wrap in: it samples at its start.
  const float t = length > 0.0f ? std::fmod(time, length) : 0.0f;

  if (compressed) {
    const st_Compressed& c = *compressed;
    const int n = static_cast<int>(c.times.size());
    if (n < 1) return;
    const float* times = c.times.data();
    const st_KeySpan s = Locate(n, t, [times](int k) { return times[k]; });
    int count = static_cast<int>(c.flags.size());
    if (count > pose->count) count = pose->count;
    for (int b = 0; b < count; ++b) {
      const unsigned char flags = c.flags[static_cast<size_t>(b)];
      const float* p = c.data.data() + c.offsets[static_cast<size_t>(b)];
      cl_Pose::st_BonePose& e = pose->bones[b];
      auto part = [&](unsigned char present, unsigned char constant, const tVector3<float>& neutral) {
        if (!(flags & present)) return neutral;
        if (flags & constant) {
          const tVector3<float> v(p[0], p[1], p[2]);
          p += 3;
          return v;
        }
        const float* a = p + 3 * s.i;
        const float* z = p + 3 * s.i1;
        p += 3 * n;
        return Lerp(tVector3<float>(a[0], a[1], a[2]), tVector3<float>(z[0], z[1], z[2]), s.f);
      };
      e.translation = part(TRANSLATION, TRANSLATION_CONST, tVector3<float>());
      e.scale = part(SCALE, SCALE_CONST, tVector3<float>(1.0f, 1.0f, 1.0f));
      if (!(flags & ROTATION)) {
        e.rotation = Quaternion();
      } else if (flags & ROTATION_CONST) {
        e.rotation = Quaternion(p[0], p[1], p[2], p[3]);
      } else {
        const float* a = p + 4 * s.i;
        const float* z = p + 4 * s.i1;
        e.rotation = Quaternion(a[0], a[1], a[2], a[3]).slerp(Quaternion(z[0], z[1], z[2], z[3]), s.f);
      }
    }
    return;
  }

  if (tracks.empty()) return;
  const std::vector<cl_AnimationTrack::st_Key>& k0 = tracks[0]->keys;
  const int n = static_cast<int>(k0.size());
  if (n < 1) return;
  const st_KeySpan s = Locate(n, t, [&k0](int k) { return k0[static_cast<size_t>(k)].time; });
  int count = static_cast<int>(tracks.size());
  if (count > pose->count) count = pose->count;
  for (int b = 0; b < count; ++b) {
    const std::vector<cl_AnimationTrack::st_Key>& keys = tracks[static_cast<size_t>(b)]->keys;
    if (static_cast<int>(keys.size()) != n) continue;  // a track out of step with track 0 is not sampled
    const cl_AnimationTrack::st_Key& a = keys[static_cast<size_t>(s.i)];
    const cl_AnimationTrack::st_Key& z = keys[static_cast<size_t>(s.i1)];
    cl_Pose::st_BonePose& e = pose->bones[b];
    e.translation = Lerp(a.translation, z.translation, s.f);
    e.scale = Lerp(a.scale, z.scale, s.f);
    e.rotation = a.rotation.slerp(z.rotation, s.f);
  }
}

void cl_Animation::Compress() {
  if (compressed) return;
  st_Compressed* c = new st_Compressed;
  const int n = tracks.empty() ? 0 : static_cast<int>(tracks[0]->keys.size());
  c->length = length;
  c->times.reserve(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) c->times.push_back(tracks[0]->keys[static_cast<size_t>(k)].time);
  c->flags.resize(tracks.size());
  c->offsets.resize(tracks.size());
  c->data.reserve(tracks.size() * static_cast<size_t>(n) * 10);

  for (size_t t = 0; t < tracks.size(); ++t) {
    const std::vector<cl_AnimationTrack::st_Key>& keys = tracks[t]->keys;
    const int m = static_cast<int>(keys.size());
    c->offsets[t] = static_cast<int>(c->data.size());
    unsigned char flags = 0;

    tVector3<float> meanT, meanS;
    Quaternion meanQ(0.0f, 0.0f, 0.0f, 0.0f);
    for (const auto& k : keys) {
      meanT += k.translation;
      meanS += k.scale;
      meanQ = meanQ + k.rotation;
    }
    if (m > 0) {
      meanT /= static_cast<float>(m);
      meanS /= static_cast<float>(m);
      meanQ = meanQ * (1.0f / static_cast<float>(m));
    }
    // A part is neutral only when every key is: a track swinging from −1 to +1 averages to 0 and
    // must keep its motion.
    float maxT = 0.0f, maxS = 0.0f, maxQ = 0.0f;
    bool neutralT = true, neutralS = true, neutralQ = true;
    const Quaternion identity;
    for (const auto& k : keys) {
      const float dt = (k.translation - meanT).length();
      const float ds = (k.scale - meanS).length();
      const float dq = (k.rotation - meanQ).magnitude();
      if (dt > maxT) maxT = dt;
      if (ds > maxS) maxS = ds;
      if (dq > maxQ) maxQ = dq;
      neutralT = neutralT && NearZero(k.translation, kEpsilon);
      neutralS = neutralS && NearZero(k.scale - tVector3<float>(1.0f, 1.0f, 1.0f), kEpsilon);
      neutralQ = neutralQ && k.rotation.is_equal(identity, kRotationEpsilon);
    }
    // Keys past a short track repeat its last key, so that every keyed part holds n values.
    auto key = [&](int i) -> const cl_AnimationTrack::st_Key& { return keys[static_cast<size_t>(i < m ? i : m - 1)]; };

    // One part: nothing when neutral, the mean once when every key lies within the tolerance of
    // it, otherwise the n keys' values.
    using Key = cl_AnimationTrack::st_Key;
    auto part = [&](bool neutral, float spread, unsigned char present, unsigned char constant, const float* mean,
                    int size, auto value) -> unsigned char {
      if (neutral || m == 0) return 0;
      if (spread < kEpsilon) {
        c->data.insert(c->data.end(), mean, mean + size);
        return present | constant;
      }
      for (int i = 0; i < n; ++i) {
        const float* v = value(key(i));
        c->data.insert(c->data.end(), v, v + size);
      }
      return present;
    };
    flags |= part(neutralT, maxT, TRANSLATION, TRANSLATION_CONST, &meanT.x, 3,
                  [](const Key& k) { return &k.translation.x; });
    flags |= part(neutralS, maxS, SCALE, SCALE_CONST, &meanS.x, 3, [](const Key& k) { return &k.scale.x; });
    flags |= part(neutralQ, maxQ, ROTATION, ROTATION_CONST, &meanQ.x, 4, [](const Key& k) { return &k.rotation.x; });
    c->flags[t] = flags;
  }
  for (cl_AnimationTrack* t : tracks) delete t;
  tracks.clear();
  compressed = c;
}

tVector3<float> cl_Animation::GetRepositioning(int track) const {
  if (track < 0 || track >= static_cast<int>(tracks.size())) return tVector3<float>();
  const std::vector<cl_AnimationTrack::st_Key>& keys = tracks[static_cast<size_t>(track)]->keys;
  if (keys.empty()) return tVector3<float>();
  return keys.back().translation - keys.front().translation;
}

void cl_Animation::ExtractRepositioning() {
  if (compressed || tracks.empty()) return;
  const tVector3<float> r = GetRepositioning(0);
  repositioning = r;
  if (!(length > 0.0f)) return;
  for (auto& k : tracks[0]->keys) k.translation -= r * (k.time / length);
}

void cl_Animation::DebugDump() const { sys::Output("%s length=%.02f\n", name.c_str(), length); }

void cl_AnimationTrack::DebugDump() const { sys::Output("Track for %s:\n", name.c_str()); }

}  // namespace base
