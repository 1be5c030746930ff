// base::cl_Animation: one named clip of a skeleton. Freshly imported clips hold one keyed track
// per bone (track t drives bone t); the skeleton resource then compresses every clip into one
// block that stores a bone's translation, scale or rotation once when it does not change and not
// at all when it is neutral. Sampling at a time fills a cl_Pose; every clip loops.
#pragma once

#include <vector>

#include "base/math/Quaternion.h"
#include "base/math/Vector.h"
#include "base/memory/Identity.h"
#include "base/String.h"

namespace base {

class File;
class cl_Pose;

class cl_AnimationTrack {
 public:
  // ORDER KEYRECORD: this is also the key's 44-byte record.
  struct st_Key {
    float time = 0.0f;  // seconds from the start of the clip
    tVector3<float> translation;
    tVector3<float> scale{1.0f, 1.0f, 1.0f};
    Quaternion rotation;  // x, y, z, w
  };

  void DebugDump() const;  // "Track for <name>:"
  // The track record: name, key count, keys.
  void Write(File* file) const;
  // False (file failed, logged) when the record is cut short or its key count cannot fit.
  bool Read(File* file);

  tString<BaseString> name;  // the source's bone name; informational only
  std::vector<st_Key> keys;  // ascending time
};

static_assert(sizeof(cl_AnimationTrack::st_Key) == 44, "a key is stored as 44 bytes");

class cl_Animation : public tIdentity<cl_Animation> {
 public:
  // Flag bits of a compressed track (ORDER ANIMFLAGS).
  enum en_TrackFlags : unsigned char {
    TRANSLATION = 1,
    TRANSLATION_CONST = 2,
    SCALE = 4,
    SCALE_CONST = 8,
    ROTATION = 16,
    ROTATION_CONST = 32,
  };

  // All tracks share the n key times; a track's values start at offsets[track]: translation,
  // scale, rotation, each absent (no floats), constant (3 or 4 floats) or keyed (n × 3 or n × 4).
  struct st_Compressed {
    float length = 0.0f;
    std::vector<float> times;
    std::vector<unsigned char> flags;  // one per track
    std::vector<int> offsets;          // one per track, into data
    std::vector<float> data;

    // Floats a track with these flags occupies for n keys.
    static int TrackSize(unsigned char flags, int n);
    // Empty when the block can be sampled safely (one flag byte and offset per track, at least
    // one key time, every track's values inside data); otherwise what is wrong.
    tString<BaseString> Check() const;
  };

  cl_Animation() = default;
  ~cl_Animation() override;
  cl_Animation(const cl_Animation&) = delete;
  cl_Animation& operator=(const cl_Animation&) = delete;

  // Samples at time into pose (translation, scale, rotation; weights stay). The time wraps by
  // fmod into the clip; a clip of length <= 0 samples at 0 and a single key samples as itself.
  // Entries without a track and tracks without an entry are left alone.
  void _SetPose(cl_Pose* pose, float time) const;
  // Builds the compressed block and deletes the tracks; nothing when a block exists.
  void Compress();
  // Last key's translation minus the first's of a keyed track; zero for a missing or empty track.
  tVector3<float> GetRepositioning(int track) const;
  // repositioning := GetRepositioning(0), then takes that drift out of track 0 in proportion to
  // each key's time, so the root ends where it starts. Nothing for a compressed clip.
  void ExtractRepositioning();

  int GetNumTracks() const;  // tracks, or the block's flag count
  // Key count shared by every track (0 without keys).
  int GetNumKeys() const;
  // Empty when every track has as many keys as track 0; otherwise what differs.
  tString<BaseString> CheckTracks() const;

  // The animation record (form 1 with a block, else form 0 with the tracks).
  void Write(File* file) const;
  // False (file failed, logged) for a damaged record; the clip is then left empty.
  bool Read(File* file);
  void DebugDump() const;  // "<name> length=<length>"

  tString<BaseString> name;
  float length = 0.0f;
  std::vector<cl_AnimationTrack*> tracks;  // owned; track t drives bone t
  st_Compressed* compressed = nullptr;     // owned; null until Compress
  tVector3<float> repositioning;

 private:
  void ClearData();
};

}  // namespace base
