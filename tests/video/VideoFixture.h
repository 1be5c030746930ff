// A root module on the headless platform with the graphics library and a video player, a clock
// the test steps by hand (the player's 10 ms sleeps advance it too), a scratch folder for clips
// made with libavcodec under ".bik" names, and the log lines kept for checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../graphics/GraphicsFixture.h"
#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "graphics/video/VideoPlayer.h"
#include "platform/video/ClipTools.h"
#include "support/HeadlessEngine.h"

namespace videotest {

class cl_StepClock final : public base::i_Clock {
 public:
  unsigned long Ticks() override { return m_ticks; }
  void Sleep(unsigned ms) override { m_ticks += ms; }
  void Advance(unsigned ms) { m_ticks += ms; }

 private:
  unsigned long m_ticks = 100000;
};

class VideoTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The window size for the next SetUp.
  virtual int WindowWidth() const { return 64; }
  virtual int WindowHeight() const { return 48; }

  std::string Path(const std::string& name) const { return (m_dir / name).string(); }
  // A clip in the scratch folder; fails the test when it cannot be written.
  std::string MakeClip(const std::string& name, const platform::video::st_ClipSettings& settings,
                       const platform::video::PaintFrame& paint = nullptr,
                       const platform::video::MakeSound& sound = nullptr);
  gfx::cl_BinkShaderCodecNoThread* Codec() const;
  // One frame loop step: the clock moves by ms, then the player updates with that frame time.
  void Step(unsigned ms);
  bool LogHas(const std::string& text) const;
  // Back-buffer pixel as 0x00RRGGBB after the player drew; inside BeginFrame/EndFrame.
  uint32_t Pixel(int x, int y);
  bool BeginFrame();
  void EndFrame();

  testsupport::cl_HeadlessEngine m_engine;
  std::filesystem::path m_dir;              // the engine's folder
  base::cl_System* m_system = nullptr;      // the engine's root module
  gfx::cl_VideoPlayer* m_player = nullptr;  // owned by the system's module tree
  cl_StepClock m_clock;
};

using gfxtest::RgbNear;
// Colour bars of the given clip size, with the frame's number in the blue of the top left corner.
void PaintGradient(int index, uint32_t* pixels, int width, int height);

}  // namespace videotest
