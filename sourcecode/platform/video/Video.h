// The video library the engine's player is written against: a clip opened from a file or from
// bytes (the container and codecs found by content, never by the name's extension), decoded one
// frame at a time on the caller's thread into plane buffers the caller registers (8-bit Y, Cr,
// Cb and, for clips with alpha, A), paced by a millisecond clock the caller supplies, its sound
// resampled to 44.1 kHz stereo float and written into the sound library's external voice.
// One thread at a time; every call accepts a null handle and then does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::audio {
class ExternalVoice;
}

namespace platform::video {

// ORDER PLANE: the index of each plane in a frame-buffer set.
enum en_Plane : int { kPlaneY = 0, kPlaneCr = 1, kPlaneCb = 2, kPlaneA = 3, kPlaneCount = 4 };
inline constexpr int kMaxFrameBufferSets = 3;

struct st_PlaneBuffer {
  bool wanted = false;        // the decoder writes this plane
  uint8_t* memory = nullptr;  // the caller's rows (null: the plane is not written this frame)
  int32_t pitch = 0;          // bytes from one row to the next
  int32_t rows = 0;           // rows of pitch bytes the memory holds (0: the plane's height)
};

// What the decoder writes and where; filled by GetFrameBuffersInfo, the memory by the caller.
// A decoder that can take its picture buffers from us (most can) decodes straight into the
// sets, three of them: the picture shown, the one it predicts from and the one it decodes; the
// sets' memory must then stay in place until Close. Where a set's rows and pitches do not suit
// the decoder, or the decoder holds every set, the picture is copied into a free set instead.
struct st_FrameBuffersInfo {
  int32_t setCount = 0;    // frame-buffer sets in use: 3 when pictures are decoded into them, else 1
  int32_t currentSet = 0;  // the set the next frame is written into
  uint32_t yaWidth = 0, yaHeight = 0;          // Y and A planes
  uint32_t chromaWidth = 0, chromaHeight = 0;  // Cr and Cb planes (half size, rounded up)
  st_PlaneBuffer sets[kMaxFrameBufferSets][kPlaneCount];
};

// An open clip. The fields are read by the caller; the rest is the library's.
struct st_VideoHandle {
  uint32_t Width = 0, Height = 0;
  uint32_t Frames = 0;    // frames in the clip (counted or estimated from its duration)
  uint32_t FrameNum = 0;  // frames done so far: 0 before the first
  uint32_t FrameRate = 0, FrameRateDiv = 1;  // frames per second as FrameRate / FrameRateDiv
  uint32_t NumTracks = 0;  // sound tracks (0 or 1)
  struct st_State;
  st_State* state = nullptr;
};

// Reads from a caller's source: the size read (0 at the end, negative on failure) and the new
// position (negative on failure; whence as fseek's, or 0x10000 to ask for the total size).
struct st_ByteReader {
  void* opaque = nullptr;
  int (*read)(void* opaque, uint8_t* buffer, int size) = nullptr;
  int64_t (*seek)(void* opaque, int64_t offset, int whence) = nullptr;
};

// Where the sound of clips opened from now on goes (null: the sound is not decoded).
void SetSoundOutput(audio::ExternalVoice* voice);
audio::ExternalVoice* GetSoundOutput();
// The clock frames are paced by, milliseconds wrapping at 2^32; null: the monotonic clock.
void SetClock(unsigned long (*ticks)());

// Opens a clip; null on failure with GetError telling why.
st_VideoHandle* Open(const char* path);
// The same from a reader, which must stay valid until Close.
st_VideoHandle* OpenReader(const st_ByteReader& reader);
void Close(st_VideoHandle* handle);
// FFmpeg's or our own text for the last failure ("" when none yet).
const char* GetError();

// Stops or resumes the clock of the clip (and its sound); true when the state was taken.
bool Pause(st_VideoHandle* handle, bool pause);
// True while frame FrameNum is not yet due by the clock (always while paused).
bool Wait(st_VideoHandle* handle);
// Decodes frame FrameNum into the registered buffers of the current set, once per frame
// number; false at the end of the clip or on a decoding failure, after which NextFrame ends it.
bool DoFrame(st_VideoHandle* handle);
// Moves on to the next frame; past the last one (or after a failure) FrameNum becomes Frames.
void NextFrame(st_VideoHandle* handle);
// True when the clock is more than one frame ahead of frame FrameNum.
bool ShouldSkip(st_VideoHandle* handle);
// Volume of a sound track, 0..32768 (clamped); applies to the external voice.
void SetVolume(st_VideoHandle* handle, uint32_t track, int32_t volume);
int32_t GetVolume(const st_VideoHandle* handle, uint32_t track);  // 32768 at open; 0 without the track

void GetFrameBuffersInfo(const st_VideoHandle* handle, st_FrameBuffersInfo* info);
// Takes the memory and pitches the next frames are written to.
void RegisterFrameBuffers(st_VideoHandle* handle, const st_FrameBuffersInfo* info);
// The set holding the picture of the frame last decoded into the registered buffers (−1 before
// the first), and the set the next one goes to (the description's currentSet from now on).
int32_t GetPictureSet(const st_VideoHandle* handle);
int32_t GetNextFrameSet(const st_VideoHandle* handle);
// Pictures decoded so far straight into the registered sets, and pictures copied into them.
void GetPictureCounts(const st_VideoHandle* handle, uint32_t* direct, uint32_t* copied);

}  // namespace platform::video
