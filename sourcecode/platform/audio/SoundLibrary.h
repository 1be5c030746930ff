// The sound library the engine's sound system is written against: samples loaded whole (Ogg or
// WAV, from a file or from bytes), streams decoded as they play, a fixed set of voices with
// volume, pan, pause and effects, the 3D listener, and an external voice for video sound.
//
// Threads and locks of the sound path ("a > b": b is taken while a is held; "a | b": never held
// together). A feed's locks and the stream-list lock are leaves, and none is ever held around a
// file operation or a decode, so no thread but a stream's own ever waits for a file:
//
//   thread               locks                                   waits for
//   frame (main)         sound lock > library lock > (a feed's   the update thread's short step;
//                        ring lock | its message lock |           never a file
//                        stream-list lock)
//   sound update, 10 Hz  sound lock > library lock > (a feed's   the frame's sound calls; never
//                        ring lock | its message lock |           a file
//                        stream-list lock)
//   stream (one each)    stream-list lock | a feed's locks       its own file, holding no lock;
//                                                                 let go after 2 s blocked on it
//   mixer (SDL callback) none: atomics and published setups     nothing
//   video producer       none: the external voice's ring         nothing
//
// The sound lock is the engine's (sound/FModSoundSystem.h); the library lock is taken by every
// call here, so any thread may call. The stream threads run under a device only (StreamThreads.h);
// without one the caller's Update (Output::Pull) or Mix (Output::Stepped) opens and decodes the
// streams under the library lock: there the caller waits for files by its own choice.
//
// Voices are addressed by handles that Play and PlayStream return: the voice index in the low 12
// bits and a start count above, so a handle kept after its voice was reused is refused (error 14)
// and never touches the newer sound. A voice that finished stays reserved until it is stopped or
// a new play takes it over. Positions and lengths count frames at the mix rate.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/audio/Decoder.h"
#include "platform/audio/Effects.h"
#include "platform/audio/Mixer.h"
#include "platform/audio/SdlOutput.h"
#include "platform/audio/SoundTypes.h"
#include "platform/audio/StreamFeed.h"
#include "platform/audio/StreamThreads.h"

namespace platform::audio {

class SoundLibrary {
 public:
  SoundLibrary();
  ~SoundLibrary();
  SoundLibrary(const SoundLibrary&) = delete;
  SoundLibrary& operator=(const SoundLibrary&) = delete;

  // ---- set-up
  // Chooses the output for the next Init (Device unless told); error 1 once initialised.
  bool SetOutput(Output output);
  // Opens the mixer at mixRate with the given number of voices (1..4096) and starts the output.
  // flags are kept for the caller. Error 1 when already open, 14 for bad numbers, 3 without output.
  bool Init(int mixRate, int voices, uint32_t flags);
  // Stops the output and frees every sample, stream and voice. Safe when not open. Waits for a
  // stream thread's step only a short while: one stuck in a read of its file is let go.
  void Close();
  bool IsInitialised() const;
  // The update thread's step (every 100 ms): under a device gives up the streams whose file has
  // not answered for 2 s (StreamThreads.h), logs what the streams met (a file that did not open,
  // broke or did not answer, a stream that ran dry; a file refused for the same cause as before
  // only after a stream of it has played), frees what the mixer has let go, and with
  // Output::Pull opens the streams and refills their buffers. Does not change GetError.
  void Update();
  // The error of the last call (an Error value; 0 after a call that succeeded).
  int GetError() const;
  // Short text for an error code (for log lines).
  static const char* ErrorName(int code);
  int MixRate() const;
  // The SDL driver that plays the mix ("" in pull mode or when closed).
  std::string DriverName() const;

  // ---- without a device (Output::Pull, Output::Stepped): the caller mixes; never at the same
  // time as Init or Close
  // Mixes frames stereo frames into out (16-bit interleaved); silence when there is no mixer or
  // when a device does the mixing. With Output::Stepped it opens and decodes the streams as far
  // as each part of the mix needs first (and logs what they met).
  void Mix(int16_t* out, uint32_t frames);

  // ---- samples
  // Loads a sample whole. source is a file name, or with mode::FromMemory the bytes (length of
  // them). label names the sound in log lines (defaults to the file name). Converted to the mix
  // rate (and to one channel with mode::ForceMono) at once. None with error 9 (no file), 10 (bad
  // or unknown data) or 14; a file not found or refused logs one "ERROR:" line, but not again for
  // the same name and cause until a sample of that name has loaded.
  SampleId LoadSample(const void* source, uint32_t mode, uint32_t length, const char* label = nullptr);
  // Frees a sample; the voices playing it stop.
  bool FreeSample(SampleId sample);
  // Length in mix-rate frames; 0 with error 14 for an unknown sample.
  uint32_t SampleLength(SampleId sample) const;

  // ---- voices
  // Starts a sample on voice (an index, or kAnyVoice for the first free one), paused or not, at
  // volume 255, pan 128. Returns the handle, or -1: error 16 when no voice is free (nothing is
  // taken from another sound), 14 for a bad sample or index, 2 before Init.
  int Play(int voice, SampleId sample, bool paused);
  // Silences the voice and frees it.
  bool StopVoice(int handle);
  bool SetPaused(int handle, bool paused);
  bool GetPaused(int handle) const;
  bool SetVolume(int handle, int volume);  // 0..255, linear
  int GetVolume(int handle) const;         // 0 with error 14 for a bad handle
  bool SetPan(int handle, int pan);        // 0 left .. 128 both at full level .. 255 right
  int GetPan(int handle) const;
  bool SetPriority(int handle, int priority);  // 0..255, stored (no voice is ever stolen)
  int GetPriority(int handle) const;
  // True while the voice plays or is paused and its source has not run out.
  bool IsPlaying(int handle) const;
  // Frames played (within the sample for a looping one).
  uint32_t CurrentPosition(int handle) const;
  // The sample on the voice; None for a stream or a bad handle.
  SampleId CurrentSample(int handle) const;

  // ---- streams
  // Opens a file to stream. With mode::NonBlocking it returns at once in state Opening and is
  // opened by the stream threads at once under a device, by the next Update with Output::Pull,
  // or by the next Mix with Output::Stepped; without, it opens here (holding no lock meanwhile).
  // mode::Loop plays it again and again, each run following the last without a gap.
  StreamId OpenStream(const char* path, uint32_t mode);
  // openstate::Opening, Ready, or Failed (also for an unknown stream).
  int StreamOpenState(StreamId stream) const;
  // Length in milliseconds; 0 while opening or unknown, and until StreamOpenState has reported
  // the stream ready, so a caller sees it at the same point however fast the file opened.
  uint32_t StreamLengthMs(StreamId stream) const;
  // Plays a ready stream on voice (index or kAnyVoice); returns the handle or -1 (as Play).
  int PlayStream(int voice, StreamId stream);
  // Stops the stream's voice and goes back to its beginning (refilled as it was opened). Returns
  // at once, also while the stream is opening.
  bool StopStream(StreamId stream);
  // Frees the stream; returns at once, also while it is opening (it is dropped when its open ends).
  bool CloseStream(StreamId stream);
  // A looping stream plays on past its end (true), or the run it plays now is its last (false).
  bool SetStreamLoop(StreamId stream, bool loop);

  // ---- effects (on voices of samples loaded with mode::Effects)
  // Enables an effect type (fx::) on a voice; returns its effect id, or -1 with error 14.
  int EnableEffect(int handle, int type);
  // Removes every effect of the voice.
  bool DisableEffects(int handle);
  bool SetEcho(int effect, float wetDry, float feedback, float leftDelayMs, float rightDelayMs, int panDelay);
  bool SetParamEq(int effect, float centreHz, float bandwidthSemitones, float gainDb);
  // Any type's parameters (up to fx::kParamCount); the unheard types keep them for reading back.
  bool SetEffectParams(int effect, const float* params, int count);
  bool GetEffectParams(int effect, float out[fx::kParamCount]) const;

  // How far ahead streams opened from now on are decoded, in milliseconds (50..5000; 500 at start).
  bool SetStreamBufferMs(int milliseconds);

  // ---- 3D listener and distance factor (kept; sounds have no position, so nothing heard changes)
  bool SetListener(const float position[3], const float velocity[3], const float forward[3], const float up[3]);
  void GetListener(float position[3], float forward[3], float up[3]) const;
  bool SetDistanceFactor(float factor);  // > 0
  float DistanceFactor() const;

  // ---- the external voice (the video player's sound): one producer writes 44.1 kHz stereo float
  // frames without taking the lock; null before Init, valid until Close.
  ExternalVoice* External();

  // ---- counts, for tests and statistics
  int LiveSamples() const;
  int LiveStreams() const;
  int BusyVoices() const;     // voices holding a sound that has not run out
  uint64_t Underruns() const;  // dry spells of playing streams (each logged as a Warning)
  // CPU time of the stream threads so far, those that have ended included (0 until a device
  // played); it never goes back.
  double DecodeCpuSeconds() const;

 private:
  // The control side's record of a voice.
  struct Voice {
    bool busy = false;
    uint32_t generation = 0;  // counts starts; part of the handle
    SampleId sample = SampleId::None;
    StreamId stream = StreamId::None;
    int volume = 255, pan = 128, priority = 128;
    bool paused = false;
    std::vector<EffectSetting> effects;
  };
  struct SampleRecord {
    std::shared_ptr<const PcmData> pcm;
    uint32_t mode = 0;
  };
  struct StreamRecord {
    std::shared_ptr<StreamFeed> feed;
    int handle = -1;                // the voice playing it
    mutable bool seenReady = false;  // StreamOpenState has reported it ready
  };

  bool Fail(int code) const;
  Voice* Find(int handle) const;
  int Handle(int index) const;
  bool Ended(int index) const;
  int TakeVoice(int voice);
  Voice& Claim(int index);  // a fresh record for a voice about to start
  void Silence(int index);
  void PublishVoice(int index, bool restart);
  // Opens and decodes every stream as far as its buffer reaches (without a device).
  void FillStreams();
  // Logs what the streams have to say.
  void ReportStreams();
  void Report(StreamFeed& feed);
  // Logs why the sample name did not load, unless that was told since it last loaded.
  void Refuse(const std::string& name, const std::string& cause);
  EffectSetting* FindEffect(int effect, int* index) const;

  mutable std::recursive_mutex m_lock;
  mutable int m_error = kOk;
  Output m_output = Output::Device;
  std::unique_ptr<Mixer> m_mixer;
  SdlOutput m_device;
  StreamThreads m_streamThreads;  // run under a device only
  int m_mixRate = 0;
  uint32_t m_flags = 0;
  std::vector<Voice> m_voices;
  std::unordered_map<int32_t, SampleRecord> m_samples;
  std::unordered_map<int32_t, StreamRecord> m_streams;
  int32_t m_nextId = 1;
  float m_listener[9] = {0, 0, 0, 0, 0, 1, 0, 1, 0};  // position, forward, up
  float m_distanceFactor = 1.0f;
  int m_streamBufferMs = 500;
  // Per file, the refusals logged since a stream of it last played or a sample of it last loaded
  // (samples from memory go by their label): told once, not at every retry or footstep.
  std::unordered_map<std::string, std::unordered_set<std::string>> m_refusalsTold;
};

}  // namespace platform::audio
