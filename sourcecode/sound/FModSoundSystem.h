// The one sound system of the program: named sounds in named channels over the platform's sound
// library, volume and pan levels under a master level, timed changes through a queue of fade
// records advanced once per frame, DSP effect settings for new sounds, the 3D listener, the
// update thread that runs the library's update, and add-on modules (the playlists).
//
// Every library call is made under the sound lock (re-entrant: completions lock again); the
// update thread takes it around the library's Update every 100 ms. The containers are touched
// by the main thread only. Which thread takes which lock, and what each may wait for: the table
// at the top of platform/audio/SoundLibrary.h.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/SoundLibrary.h"
#include "sound/SoundTypes.h"

namespace base {
class Binary;
}

namespace sfx {

class cl_PlaylistCtrl;

// One playing or starting sample or stream, owned by its channel.
struct st_Sound {
  std::string name;     // several sounds may share it; lookups take the first
  std::string channel;
  float length = 0.0f;  // seconds for samples, milliseconds for streams
  int m_SlotID = -1;    // the library voice playing it, -1 while none
  platform::audio::StreamId stream = platform::audio::StreamId::None;
  platform::audio::SampleId sample = platform::audio::SampleId::None;
  float volume = 1.0f;  // the sound's own levels, 0..1
  float pan = 1.0f;
  bool loop = false;
  bool ignoreFx = false;
  bool startPending = false;  // a stream still opening
};

struct st_Channel {
  std::vector<std::unique_ptr<st_Sound>> sounds;
  float volume = 1.0f;
  float pan = 0.5f;
  int priority = 0;
};

// A queued timed change of one library level with a completion action.
struct st_FadeRecord {
  enum en_Action : uint32_t { PAUSE = 0, RESUME = 1, STOP = 2, REMOVE_CHANNEL = 3, SHUT_DOWN = 4, NOTHING = 5 };
  enum en_Kind : uint32_t { VOLUME = 0, PAN = 1, INSTANT = 2 };
  st_Sound* sound = nullptr;  // borrowed; null once the sound has gone
  uint32_t action = NOTHING;
  uint32_t kind = INSTANT;
  float rate = 0.0f;      // level units (0..255) per second; 0 sets the target at once
  int target = 0;         // 0..255
  float current = -1.0f;  // -1: not read yet
  std::string name;       // the channel of REMOVE_CHANNEL
};

// A stream waiting to finish opening, with the levels it starts at.
struct st_PendingStream {
  st_Sound* sound = nullptr;
  float volume = 0.0f;  // library units 0..255
  float pan = 0.0f;
  int priority = 0;
};

struct st_FxSetting {
  uint32_t type = 0;  // platform::audio::fx type
  float params[12] = {};
};

class cl_FModSoundSystem {
 public:
  cl_FModSoundSystem();   // empty, not initialised; the playlist controller made and registered
  ~cl_FModSoundSystem();  // thread stopped and joined, library closed, everything freed
  cl_FModSoundSystem(const cl_FModSoundSystem&) = delete;
  cl_FModSoundSystem& operator=(const cl_FModSoundSystem&) = delete;

  // ---- set-up
  // Where the mix goes at Init (an SDL device unless told; tests pull it). Before Init only.
  bool SetOutput(platform::audio::Output output);
  // Opens the library and starts the update thread; true when the library opened. False also
  // when the thread cannot start (everything is then shut down again).
  bool Init(void* window, int mixRate, int maxChannels, float distanceFactor);
  bool StartUp();  // Init with 44100 Hz, 32 voices, distance factor 0.1
  bool IsInitialised() const { return m_initialised; }

  // ---- sounds; names of unknown sounds give false, -1.0 or the defaults, silently
  // Loads and starts a sample (kinds 0, 1, 3) or opens a stream (kind 2); its length (seconds for
  // samples, milliseconds for streams, 0 while a stream opens), -1.0 on failure. A sound already
  // playing under the name is stopped and removed first.
  float PlaySample(int kind, const void* source, const char* soundName, const char* channelName,
                   const st_PlayParams* params, int length);
  float PlaySampleFromMemory(int kind, const base::Binary* bytes, const char* soundName, const char* channelName,
                             const st_PlayParams* params);
  bool StopSound(const char* soundName, float fadeTime);
  bool PauseSound(const char* soundName, bool pause, float fadeTime);
  bool FadeSoundVolume(const char* soundName, float volume, float time);
  bool SetSoundPan(const char* soundName, float pan, float time);
  // A looping stream plays its current run to the end and stops there; false for an unknown
  // sound or one that is no stream.
  bool EndLoop(const char* soundName);
  bool IsPlaying(const char* soundName);
  // Seconds until the sound's voice runs out; -1 for an unknown sound, a stream still opening
  // and a looping sound.
  float SecondsLeft(const char* soundName);
  float GetPlayPosition(const char* soundName);  // seconds
  float GetSampleLength(const char* soundName);  // seconds; -1.0 for streams
  st_PlayParams GetSoundParams(const char* soundName);

  // ---- channels
  bool AddChannel(const char* channelName, const st_ChannelParams* params);  // always false
  bool StopChannel(const char* channelName, float fadeTime);
  bool PauseChannel(const char* channelName, bool pause, float fadeTime);
  bool FadeChannelVolume(const char* channelName, float volume, float time);
  bool SetChannelPan(const char* channelName, float pan, float time);
  bool RemoveChannel(const char* channelName);  // sounds stopped now, channel deleted by the queue
  bool StopAll(float fadeTime);                 // true

  // ---- everything
  void FadeMasterVolume(float level, float time);
  void SetActive(bool active);  // false mutes keeping the master level; true restores it
  // Fades everything out and queues the shut-down (run at once when fadeTime is not above 0).
  void FadeOutAll(float fadeTime);
  bool SetListener(const float position[3], const float forward[3], const float up[3]);
  void AddFx(uint32_t type, const float params[12]);  // replaces the setting of that type
  void RemoveFx(uint32_t type);
  void RemoveAllFx();
  void AddModule(i_SoundModule* module);     // null ignored
  void RemoveModule(i_SoundModule* module);  // every occurrence
  // Collects finished sounds once a second, walks the fade queue, starts opened streams and
  // updates the modules.
  void Update(float dt);
  std::string GetErrorText() const;  // the text of the library's current error

  // ---- for the video player, tests and statistics
  platform::audio::SoundLibrary& GetLibrary() { return m_library; }
  uint32_t GetMixRate() const { return m_mixRate; }  // frames of the mix per second
  cl_PlaylistCtrl* GetPlaylistCtrl() { return m_playlists.get(); }
  int GetSoundSlot(const char* soundName);  // -1 when unknown or without a voice
  bool HasChannel(const char* channelName) const { return m_channels.count(channelName ? channelName : "") != 0; }
  size_t GetFadeRecordCount() const { return m_fades.size(); }
  float GetMasterVolume() const { return m_masterVolume; }
  bool IsUpdateThreadRunning() const { return m_thread.joinable(); }
  // The update thread's step, for tests that need a stream opened now.
  void UpdateLibrary();
  // The sound lock, for tests that hold it as a long operation of the game's would.
  std::recursive_mutex& GetLock() { return m_lock; }

 private:
  using tLock = std::lock_guard<std::recursive_mutex>;

  // ---- lookups and levels (FModSoundSystem.cpp)
  st_Sound* FindSound(const char* name, st_Channel** channel = nullptr);
  st_Channel* FindChannel(const char* name);
  int VolumeLevel(const st_Channel& channel, const st_Sound& sound);
  static int PanLevel(const st_Channel& channel, const st_Sound& sound);
  // Mix-rate frames in seconds, with their fraction: a line waits as long as its sample plays.
  float SecondsOf(uint32_t frames) const { return static_cast<float>(frames) / static_cast<float>(m_mixRate); }
  void ApplyFx(int slot);
  void CollectFinished();
  void StartOpenedStreams();
  // Drops the sound: records pointing at it made no-ops, its pending entry, sample and stream
  // freed, and erased from its channel.
  void DeleteSound(st_Channel& channel, size_t index);
  void RemoveSoundByName(const std::string& name);
  void DeleteChannel(std::map<std::string, std::unique_ptr<st_Channel>>::iterator it);
  void UpdateThread();
  void StopUpdateThread();
  // Closes the library after taking the video sound off its external voice. Caller holds m_lock.
  void CloseLibrary();

  // ---- the fade queue (FadeQueue.cpp)
  bool AddRecord(std::unique_ptr<st_FadeRecord> record);  // false: refused (and deleted)
  bool StepRecord(st_FadeRecord& record, float dt);       // finished
  bool CompleteRecord(st_FadeRecord& record);              // may be deleted
  void WalkQueue(float dt);
  void SetLevel(const st_FadeRecord& record, int level);
  bool StopSound(st_Sound& sound, float fadeTime);
  bool PauseSound(st_Sound& sound, const st_Channel& channel, bool pause, float fadeTime);
  bool FadeSoundLevel(st_Sound& sound, const st_Channel& channel, uint32_t kind, float level, float time);
  void ShutDownNow();

  std::map<std::string, std::unique_ptr<st_Channel>> m_channels;
  std::list<std::unique_ptr<st_FadeRecord>> m_fades;
  std::vector<std::unique_ptr<st_PendingStream>> m_pending;
  std::vector<i_SoundModule*> m_modules;
  std::vector<st_FxSetting> m_effects;
  // Per sample file (or name, from memory), the load errors logged since it last loaded: a
  // footstep or a playlist entry that cannot load is told once, not at every try.
  std::map<std::string, std::set<std::string>> m_loadErrorsTold;
  st_Sound m_systemSound;  // target of channel-removal and shut-down records
  float m_masterVolume = 1.0f;
  float m_secondAccumulator = 0.0f;
  uint32_t m_mixRate = 44100;
  bool m_active = true;
  bool m_initialised = false;

  platform::audio::SoundLibrary m_library;
  std::recursive_mutex m_lock;  // the sound lock
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::mutex m_wakeMutex;  // lets the stop wake the thread from its sleep
  std::condition_variable m_wake;
  std::unique_ptr<cl_PlaylistCtrl> m_playlists;
};

// The instance (null before construction and after destruction).
cl_FModSoundSystem* GetSoundSystem();

}  // namespace sfx
