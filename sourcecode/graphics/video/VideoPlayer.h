// The full-screen video player: a module of the module tree that decodes in its update and draws
// in its render, one video at a time, fitted into a rectangle of the window with black bars. The
// decoding is done by a codec (one kind here, over the platform's video library, writing straight
// into the frame textures that a pixel shader turns into colour). The game reaches the player
// through the video functions in VideoFunctions.h. The sound goes where the sound system points
// platform::video::SetSoundOutput (its library's external voice); without it videos play silent.
// Main thread only.
#pragma once

#include "base/app/Module.h"
#include "platform/video/Video.h"

namespace gfx {

class cl_VideoPlayer;

class i_VideoCodec {
 public:
  virtual ~i_VideoCodec() = default;
  // The video's length in seconds; -1.0 on failure (logged, nothing left open).
  virtual float Open(const char* file, void* window, float x0, float y0, float x1, float y1, float volume) = 0;
  virtual bool Pause(bool pause) = 0;  // false when closed
  virtual bool Halt() = 0;             // before every Close
  virtual void Draw() = 0;             // the current frame
  virtual void Update(float dt) = 0;   // decodes when a frame is due
  virtual bool IsPlaying() = 0;
  virtual void Close() = 0;
  virtual float GetTime() = 0;  // seconds; -1.0 when closed
  // True when Draw paints every pixel of the rectangle with an opaque picture.
  virtual bool CoversOpaquely(float x0, float y0, float x1, float y1) const = 0;
  // The rectangle (window pixels, as FillRect takes them) whose every pixel Draw paints with an
  // opaque picture; false when nothing plays or the picture has alpha.
  virtual bool OpaquePicture(float& x0, float& y0, float& x1, float& y1) const = 0;
  // True when the clip plays (not paused) and Draw would show the very picture it drew last.
  virtual bool PictureUnchanged() const = 0;
};

class cl_BinkShaderCodecNoThread final : public i_VideoCodec {
 public:
  explicit cl_BinkShaderCodecNoThread(cl_VideoPlayer* owner) : m_owner(owner) {}
  ~cl_BinkShaderCodecNoThread() override;

  float Open(const char* file, void* window, float x0, float y0, float x1, float y1, float volume) override;
  bool Pause(bool pause) override;
  bool Halt() override { return true; }
  void Draw() override;
  void Update(float dt) override;
  bool IsPlaying() override { return m_handle != nullptr; }
  void Close() override;
  float GetTime() override;
  bool CoversOpaquely(float x0, float y0, float x1, float y1) const override;
  bool OpaquePicture(float& x0, float& y0, float& x1, float& y1) const override;
  bool PictureUnchanged() const override;

  // The open clip (null when closed), for the tests and statistics.
  const platform::video::st_VideoHandle* Handle() const { return m_handle; }
  // The picture's rectangle in window pixels.
  float PictureX() const { return m_x; }
  float PictureY() const { return m_y; }
  float PictureWidth() const;
  float PictureHeight() const;

 private:
  float Fail(const char* file);  // logs the file and the library's error, closes; -1.0

  cl_VideoPlayer* m_owner;
  platform::video::st_VideoHandle* m_handle = nullptr;
  bool m_texturesLocked = false;
  bool m_paused = false;
  bool m_drawn = false;       // a picture of this clip was drawn
  uint32_t m_drawnFrame = 0;  // the frame number when it was
  float m_x = 0.0f, m_y = 0.0f;
  float m_scaleX = 1.0f, m_scaleY = 1.0f;
};

class cl_VideoPlayer final : public base::cl_Module {
 public:
  cl_VideoPlayer();  // makes the codec; becomes the global player
  ~cl_VideoPlayer() override;

  // Closes what plays, then opens file fitted into (x0, y0)–(x1, y1) at volume 0..1. The length
  // in seconds; -1.0 for a missing or unreadable file (nothing stays open).
  float Play(const char* file, void* window, float x0, float y0, float x1, float y1, float volume);
  bool Pause(bool pause);
  bool Stop();  // true
  bool IsPlaying();
  float GetTime();  // -1.0 when nothing plays; 0 before the first frame

  // Decodes; sleeps 10 ms while a video plays. While a video filling the window plays and its
  // picture is the one last drawn, holds the frame loop's frame: nothing else is drawn over it
  // but what follows the video's time (its subtitles), so the screen would not change.
  void Update(float time, float dt) override;
  void Render() override;  // black over the rectangle's bars, then the frame

  i_VideoCodec* Codec() const { return m_codec; }
  float Time() const { return m_time; }  // seconds played, by the frame times

 private:
  void FillBars();  // black over the rectangle where the picture does not paint

  float m_time = 0.0f;
  i_VideoCodec* m_codec = nullptr;
  float m_x0 = 0.0f, m_y0 = 0.0f, m_x1 = 0.0f, m_y1 = 0.0f;
};

cl_VideoPlayer* GetVideoPlayer();  // null when none exists

}  // namespace gfx
