// A frame animation: images loaded from numbered files (base_0.tga, base_1.tga, ...) or cut
// from editor frames, with its own playback: a position whose whole part is the frame and whose
// fraction cross-fades to the next frame, a speed in frames per 1/50 s, play once / loop /
// random pause modes, fading in and out, and a run to a given frame. Two users of one strip
// share its position. Resource type "TextureStrip". Main thread only.
//
// Record (little-endian): u32 + base name, u32 + extension, i32 play mode, f32 bounds x, y,
// width, height, f32 speed, pause min, pause max, u8 blur, u32 frame count, the image records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/resource/Resource.h"

namespace gfx {

class cl_Image;

class cl_TextureStrip : public base::i_Resource {
 public:
  enum en_PlayMode { PLAY_ONCE = 0, PLAY_LOOP = 1, PLAY_RANDOM_PAUSE = 2, PLAY_STOPPED = 3 };
  enum en_Fade { FADE_IN = 0, FADE_OUT = 1, FADE_STEADY = 2 };

  cl_TextureStrip();
  ~cl_TextureStrip() override;
  cl_TextureStrip(const cl_TextureStrip&) = delete;
  cl_TextureStrip& operator=(const cl_TextureStrip&) = delete;

  // "file" (any frame's name), "playmode", "preload", "useblur"; speed 0.1.
  bool Init(base::StaticVariantIterator element) override;
  // Loads frames 0, 1, 2 ... of file's numbering while they exist; false only for a null name.
  bool Load(const char* file, int mode, float speed, bool preload);
  // Base name: file up to its last "_"; extension: the file's.
  void SetFileName(const char* file);
  base::tString<base::BaseString> GetFrameFileName(int n) const;
  void AddFrame(const char* file, bool preload);
  // Cuts every frame path + name + "_N.tga" to its visible box (DXT5 unless uncompressed),
  // placing it by its offset; a frame without a visible pixel is logged and skipped.
  void Compile(const base::Variant& description, bool uncompressed);

  void SetPlayMode(int mode, float speed);
  // play true (or frame −1): playing = play. Otherwise with jump the position becomes frame at
  // once, without it the strip plays on and stops at frame.
  void SetPlaying(bool play, int frame = -1, bool jump = false);
  void RestartPause();
  void SetFade(bool in);  // in: from transparent; out: from opaque
  void Update(float dt);

  void Draw(float x, float y, float scale) { DrawFrame(x, y, m_position, scale); }
  // The frame of position (cross-faded to the next when shown, opaque and blurring).
  void DrawFrame(float x, float y, float position, float scale);
  // Whether (px, py), relative to the drawing position, lies in the frames' visible bounds.
  bool IsInside(float px, float py, float scale) const;
  cl_Image* GetFirstFrame() const { return m_frames.empty() ? nullptr : m_frames.front(); }

  // A damaged record leaves a strip without frames, one "ERROR:" line and the file failed.
  void Read(base::File* file) override;
  void Write(base::File* file) override;

  int GetFrameCount() const { return static_cast<int>(m_frames.size()); }
  cl_Image* GetFrame(int i) const { return m_frames[static_cast<size_t>(i)]; }
  float GetPosition() const { return m_position; }
  void SetPosition(float position) { m_position = position; }
  bool IsPlaying() const { return m_playing; }
  int GetPlayMode() const { return m_playMode; }
  float GetSpeed() const { return m_speed; }
  float GetAlpha() const { return m_alpha; }
  int GetFadeState() const { return m_fadeState; }
  int GetFrameIndex() const { return m_frameIndex; }
  cl_Image* GetCurrentFrame() const { return m_current; }
  cl_Image* GetNextFrame() const { return m_next; }
  const float* GetBounds() const { return m_bounds; }
  bool GetUseBlur() const { return m_useBlur; }
  void SetUseBlur(bool blur) { m_useBlur = blur; }
  void SetFirstFrameOnly(bool only) { m_firstFrameOnly = only; }
  void SetPauseRange(float low, float high) { m_pauseMin = low, m_pauseMax = high; }
  float GetFrameStep() const { return m_speed; }
  float GetPauseMin() const { return m_pauseMin; }
  float GetPauseMax() const { return m_pauseMax; }
  const base::tString<base::BaseString>& GetBaseName() const { return m_baseName; }
  const base::tString<base::BaseString>& GetExtension() const { return m_extension; }

 private:
  void DeleteFrames();
  void SelectFrames(int index);
  void Extend(float x, float y, float w, float h);
  // The line for a strip that found not even its first frame, naming that file and why.
  void ReportNoFrames() const;

  bool m_firstFrameOnly = false;
  int m_playMode = PLAY_ONCE;
  bool m_preload = false;
  bool m_useBlur = true;
  int m_frameIndex = 0;
  float m_position = 0.0f;
  float m_speed = 0.1f;
  bool m_playing = true;
  bool m_shown = true;
  float m_alpha = 255.0f;
  float m_pauseMin = 0.0f, m_pauseMax = 0.0f;
  float m_pauseElapsed = 0.0f, m_pauseLength = 0.0f;
  int m_targetFrame = -1;
  std::vector<cl_Image*> m_frames;
  cl_Image* m_current = nullptr;
  cl_Image* m_next = nullptr;
  base::tString<base::BaseString> m_baseName;
  base::tString<base::BaseString> m_extension;
  float m_bounds[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // x, y, width, height
  int m_fadeState = FADE_STEADY;
};

}  // namespace gfx
