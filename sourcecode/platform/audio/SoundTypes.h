// Constants of the sound library: load and open mode bits, error codes, stream open states and
// effect types. The numeric values are the ones the engine's sound system passes and tests, so
// they must not change (ORDER ERROR: ErrorName() in SoundLibrary.cpp).
#pragma once

#include <cstdint>

namespace platform::audio {

inline constexpr int kMixRate = 44100;   // the engine's mix rate; the external voice is fed at it
inline constexpr int kMaxVoices = 4096;  // voice handles keep the index in their low 12 bits
inline constexpr int kAnyVoice = -1;     // play on whichever voice is free
inline constexpr int kMinStreamBufferMs = 50;  // how far ahead streams may be decoded
inline constexpr int kMaxStreamBufferMs = 5000;

namespace mode {  // bits of LoadSample and OpenStream
inline constexpr uint32_t Loop = 0x2;
inline constexpr uint32_t TwoD = 0x2000;
inline constexpr uint32_t FromMemory = 0x8000;
inline constexpr uint32_t Hardware3D = 0x1000;
inline constexpr uint32_t ForceMono = 0x40000;
inline constexpr uint32_t Hardware3DMono = Hardware3D | ForceMono;  // 0x41000
inline constexpr uint32_t Effects = 0x100000;                       // the sample may carry effects
inline constexpr uint32_t NonBlocking = 0x1000000;                  // the stream opens in Update
}  // namespace mode

// What GetError reports about the last call. 11 and 12 are never set.
enum Error : int {
  kOk = 0,
  kErrAlreadyInitialised = 1,
  kErrNotInitialised = 2,
  kErrOutputInit = 3,
  kErrOutputInUse = 4,
  kErrPlay = 5,
  kErrOutputFormat = 6,
  kErrCooperativeLevel = 7,
  kErrCreateBuffer = 8,
  kErrFileNotFound = 9,
  kErrFileFormat = 10,
  kErrFileVersion = 13,
  kErrInvalidParam = 14,
  kErrNoEnvironment = 15,
  kErrNoFreeVoice = 16,
  kErrRecording = 17,
  kErrMediaPlayer = 18,
  kErrCdDevice = 19,
};

namespace openstate {  // StreamOpenState; any value other than these two means the open failed
inline constexpr int Opening = -2;
inline constexpr int Ready = 0;
inline constexpr int Failed = -1;
}  // namespace openstate

namespace fx {  // effect types; Echo and ParamEq are heard, the others are stored only
inline constexpr int Chorus = 0, Compressor = 1, Distortion = 2, Echo = 3, Flanger = 4, Gargle = 5,
                     Reverb = 6, ParamEq = 7, WavesReverb = 8;
inline constexpr int kTypeCount = 9;
inline constexpr int kParamCount = 12;
}  // namespace fx

// Where Init sends the mix, and who feeds the streams.
enum class Output {
  Device,   // an SDL2 audio device (SDL's dummy driver when no real one opens); streams are
            // decoded ahead on threads of the library's own, one for each
  Pull,     // no device: the caller pulls the mix with Mix(); streams are decoded in Update()
  Stepped,  // no device: each Mix() decodes what it needs first, so a run on a fixed clock mixes
            // the same samples however slow or busy the machine is; Update() leaves streams be
};

// Opaque handles; None is never a live sample or stream.
enum class SampleId : int32_t { None = 0 };
enum class StreamId : int32_t { None = 0 };

}  // namespace platform::audio
