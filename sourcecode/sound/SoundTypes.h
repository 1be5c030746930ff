// The values the program hands the sound system: how a sound is played, how a channel is set
// up, the play kinds, and the interface of add-on sound modules updated every frame.
#pragma once

namespace sfx {

// Play kinds of PlaySample and sfx::PlaySound.
enum en_PlayKind : int {
  PLAY_SAMPLE = 0,          // two-dimensional sample from a file
  PLAY_SAMPLE_MEMORY = 1,   // two-dimensional sample from bytes in memory
  PLAY_STREAM = 2,          // stream from a file, opened without blocking
  PLAY_SAMPLE_3D = 3,       // three-dimensional sample from a file, forced to mono
};

// How a sound is played; the defaults are what GetSoundParams reports for an unknown sound.
struct st_PlayParams {
  float volume = 1.0f;  // 0..1
  float pan = 1.0f;     // 0..1, multiplied by the channel's pan (0.5 centre)
  bool loop = false;
  bool ignoreFx = false;  // the effect list is not applied to this sound
};

struct st_ChannelParams {
  float volume = 1.0f;
  float pan = 0.5f;
  int priority = 0;  // handed to the library for every sound started in the channel
};

// A module the sound system updates after its own work every frame (the playlists).
class i_SoundModule {
 public:
  virtual ~i_SoundModule() = default;
  virtual void Update(float dt) = 0;
};

}  // namespace sfx
