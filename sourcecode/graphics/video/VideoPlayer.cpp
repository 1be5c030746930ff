#include "graphics/video/VideoPlayer.h"

#include <cmath>

#include "base/FileTools.h"
#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/video/FrameTextures.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfx {

namespace pv = platform::video;

namespace {

cl_VideoPlayer* g_player = nullptr;
// One video at a time: the frame-buffer description is the process's, as the textures are.
pv::st_FrameBuffersInfo g_frameBuffers;

unsigned long EngineTicks() { return base::sys::Ticks(); }

// Seconds of `frames` frames at the clip's rate, in floating point so that 30000/1001 keeps time.
float FramesToSeconds(uint32_t frames, const pv::st_VideoHandle* h) {
  return static_cast<float>(static_cast<double>(frames) * h->FrameRateDiv / h->FrameRate);
}

}  // namespace

cl_VideoPlayer* GetVideoPlayer() { return g_player; }

// ---- The codec

cl_BinkShaderCodecNoThread::~cl_BinkShaderCodecNoThread() { Close(); }

float cl_BinkShaderCodecNoThread::Fail(const char* file) {
  base::sys::Output("ERROR: video '%s': %s; it is skipped\n", file, pv::GetError());
  Close();
  return -1.0f;
}

float cl_BinkShaderCodecNoThread::Open(const char* file, void*, float x0, float y0, float x1, float y1,
                                       float volume) {
  if (!file) return -1.0f;
  Close();
  // Paced by the engine's clock, so video time follows the frame loop's (a fixed step in tests).
  pv::SetClock(EngineTicks);
  m_handle = pv::Open(file);
  if (!m_handle) return Fail(file);
  if (m_owner) {
    const double w = x1 - x0, h = y1 - y0;
    const double a = static_cast<double>(m_handle->Width) / m_handle->Height;
    // The bars are placed inside the given area (its own origin kept).
    if (h > 0.0 && std::fabs(a - w / h) >= 1e-10) {
      if (w / h < a) {
        const double d = (h - w / a) * 0.5;
        y0 = static_cast<float>(y0 + d);
        y1 = static_cast<float>(y0 + w / a);
      } else {
        const double d = (w - a * h) * 0.5;
        x0 = static_cast<float>(x0 + d);
        x1 = static_cast<float>(x0 + a * h);
      }
    }
  }
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!CreateVideoShaders(device)) return Fail(file);
  pv::GetFrameBuffersInfo(m_handle, &g_frameBuffers);
  if (!CreateFrameTextures(device, g_frameBuffers)) return Fail(file);
  m_scaleX = (x1 - x0) / static_cast<float>(m_handle->Width);
  m_scaleY = (y1 - y0) / static_cast<float>(m_handle->Height);
  m_x = x0;
  m_y = y0;
  for (uint32_t track = 0; track < m_handle->NumTracks; ++track)
    pv::SetVolume(m_handle, track, static_cast<int32_t>(std::trunc(volume * 32768.0f)));
  if (!m_texturesLocked) {
    LockFrameTextures(g_frameBuffers);
    m_texturesLocked = true;
  }
  pv::RegisterFrameBuffers(m_handle, &g_frameBuffers);
  return FramesToSeconds(m_handle->Frames, m_handle);
}

bool cl_BinkShaderCodecNoThread::Pause(bool pause) {
  if (!m_handle || !pv::Pause(m_handle, pause)) return false;
  m_paused = pause;
  return true;
}

void cl_BinkShaderCodecNoThread::Draw() {
  if (!m_handle) return;
  // The set holding the last picture (the decoder may already be writing the next one).
  pv::st_FrameBuffersInfo shown = g_frameBuffers;
  if (const int32_t set = pv::GetPictureSet(m_handle); set >= 0) shown.currentSet = set;
  DrawFrameTextures(win32dx9::GetD3DDevice(), shown, static_cast<float>(m_handle->Width),
                    static_cast<float>(m_handle->Height), m_x, m_y, m_scaleX, m_scaleY, 1.0f, false);
  m_drawn = true;
  m_drawnFrame = m_handle->FrameNum;
}

// Every update that decodes moves the frame number on (and with it the video time subtitles
// follow); one that does not leaves picture and time as they were drawn.
bool cl_BinkShaderCodecNoThread::PictureUnchanged() const {
  return m_handle && m_drawn && !m_paused && m_handle->FrameNum == m_drawnFrame;
}

void cl_BinkShaderCodecNoThread::Update(float) {
  if (!m_handle || pv::Wait(m_handle)) return;
  pv::DoFrame(m_handle);
  if (pv::ShouldSkip(m_handle)) {
    pv::NextFrame(m_handle);
    pv::DoFrame(m_handle);
  }
  if (m_texturesLocked) {
    UnlockFrameTextures(win32dx9::GetD3DDevice(), g_frameBuffers);
    m_texturesLocked = false;
  }
  // Only the current set was locked for writing; a picture the decoder put elsewhere is uploaded too.
  if (const int32_t set = pv::GetPictureSet(m_handle); set >= 0 && set != g_frameBuffers.currentSet)
    MarkFrameSetWritten(g_frameBuffers, set);
  pv::NextFrame(m_handle);
  if (m_handle->FrameNum >= m_handle->Frames) {
    if (m_owner) {
      m_owner->Stop();
    } else {
      Halt();
      Close();
    }
    return;
  }
  g_frameBuffers.currentSet = pv::GetNextFrameSet(m_handle);
  LockFrameTextures(g_frameBuffers);
  m_texturesLocked = true;
  pv::RegisterFrameBuffers(m_handle, &g_frameBuffers);
}

float cl_BinkShaderCodecNoThread::GetTime() { return m_handle ? FramesToSeconds(m_handle->FrameNum, m_handle) : -1.0f; }

bool cl_BinkShaderCodecNoThread::CoversOpaquely(float x0, float y0, float x1, float y1) const {
  if (!m_handle || g_frameBuffers.sets[g_frameBuffers.currentSet][pv::kPlaneA].wanted) return false;
  // The fill and the picture are drawn from these very corners: the same floats cover the same pixels.
  const float w = static_cast<float>(m_handle->Width), h = static_cast<float>(m_handle->Height);
  return m_x == x0 && m_y == y0 && m_x - 0.5f + w * m_scaleX == x1 - 0.5f && m_y - 0.5f + h * m_scaleY == y1 - 0.5f;
}

bool cl_BinkShaderCodecNoThread::OpaquePicture(float& x0, float& y0, float& x1, float& y1) const {
  if (!m_handle || g_frameBuffers.sets[g_frameBuffers.currentSet][pv::kPlaneA].wanted) return false;
  x0 = m_x, y0 = m_y;
  x1 = m_x + PictureWidth(), y1 = m_y + PictureHeight();
  return true;
}

float cl_BinkShaderCodecNoThread::PictureWidth() const { return m_handle ? m_handle->Width * m_scaleX : 0.0f; }
float cl_BinkShaderCodecNoThread::PictureHeight() const { return m_handle ? m_handle->Height * m_scaleY : 0.0f; }

void cl_BinkShaderCodecNoThread::Close() {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (m_texturesLocked) {
    UnlockFrameTextures(device, g_frameBuffers);
    m_texturesLocked = false;
  }
  FreeFrameTextures(device, g_frameBuffers);
  FreeVideoShaders(device);
  if (m_handle) pv::Close(m_handle);
  m_handle = nullptr;
  m_paused = m_drawn = false;
}

// ---- The player

cl_VideoPlayer::cl_VideoPlayer() : m_codec(new cl_BinkShaderCodecNoThread(this)) {
  SetName("VideoPlayer");
  g_player = this;
}

cl_VideoPlayer::~cl_VideoPlayer() {
  delete m_codec;
  m_codec = nullptr;
  if (g_player == this) g_player = nullptr;
}

float cl_VideoPlayer::Play(const char* file, void* window, float x0, float y0, float x1, float y1, float volume) {
  if (m_codec) {
    m_codec->Halt();
    m_codec->Close();
  }
  m_time = 0.0f;
  if (!file) return -1.0f;
  if (!base::FileExists(file)) {
    base::sys::Output("ERROR: video '%s' not found; it is skipped\n", file);
    return -1.0f;
  }
  m_x0 = x0;
  m_y0 = y0;
  m_x1 = x1;
  m_y1 = y1;
  return m_codec ? m_codec->Open(file, window, x0, y0, x1, y1, volume) : 0.0f;
}

bool cl_VideoPlayer::Pause(bool pause) { return m_codec && m_codec->Pause(pause); }

bool cl_VideoPlayer::Stop() {
  if (m_codec) {
    m_codec->Halt();
    m_codec->Close();
  }
  return true;
}

bool cl_VideoPlayer::IsPlaying() { return m_codec && m_codec->IsPlaying(); }
float cl_VideoPlayer::GetTime() { return m_codec ? m_codec->GetTime() : -1.0f; }

void cl_VideoPlayer::Update(float time, float dt) {
  if (m_codec && m_codec->IsPlaying()) {
    m_time += dt;
    base::sys::Sleep(10);
    m_codec->Update(dt);
    base::cl_System* system = base::cl_System::GetInstance();
    const bool fillsWindow = m_x0 <= 0.0f && m_y0 <= 0.0f && m_x1 >= static_cast<float>(base::sys::GetWindowWidth()) &&
                             m_y1 >= static_cast<float>(base::sys::GetWindowHeight());
    if (system && fillsWindow && m_codec->IsPlaying() && m_codec->PictureUnchanged()) system->HoldFrame();
  }
  cl_Module::Update(time, dt);
}

void cl_VideoPlayer::Render() {
  if (m_codec && m_codec->IsPlaying()) {
    // An opaque picture over the whole rectangle hides the black: one full-screen fill less.
    if (!m_codec->CoversOpaquely(m_x0, m_y0, m_x1, m_y1)) FillBars();
    m_codec->Draw();
  }
  cl_Module::Render();
}

void cl_VideoPlayer::FillBars() {
  constexpr uint32_t kBlack = 0xFF000000u;
  float px0 = 0.0f, py0 = 0.0f, px1 = 0.0f, py1 = 0.0f;
  // An opaque picture overwrites what lies under it: black is only needed around it. Each bar
  // reaches one pixel into the picture, so rounding at the picture's edges leaves no pixel out.
  if (!m_codec->OpaquePicture(px0, py0, px1, py1) || px1 - px0 < 2.0f || py1 - py0 < 2.0f || px0 < m_x0 || py0 < m_y0 ||
      px1 > m_x1 || py1 > m_y1) {
    FillRect(m_x0, m_y0, m_x1, m_y1, kBlack);
    return;
  }
  if (py0 > m_y0) FillRect(m_x0, m_y0, m_x1, py0 + 1.0f, kBlack);
  if (py1 < m_y1) FillRect(m_x0, py1 - 1.0f, m_x1, m_y1, kBlack);
  if (px0 > m_x0) FillRect(m_x0, m_y0, px0 + 1.0f, m_y1, kBlack);
  if (px1 < m_x1) FillRect(px1 - 1.0f, m_y0, m_x1, m_y1, kBlack);
}

}  // namespace gfx
