// The game frame on the headless platform: a started root module (1024 x 768 back buffer) with
// a cl_GameFrame whose configuration names an unknown QuickLaunch value, so its start-up makes
// the states and the loading screen but takes no road. Tests queue work, step frames through
// the root module as the frame loop does, and read the last frame's pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/TaskScheduler.h"
#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "support/HeadlessEngine.h"

class cl_GameFrame;

namespace frametest {

// A loading task that counts its runs.
class cl_CountingTask : public base::i_Task {
 public:
  cl_CountingTask(int* runs, float weight) : m_runs(runs) { m_weight = weight; }
  void Run() override { ++*m_runs; }

 private:
  int* m_runs;
};

class FrameTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 1024, kHeight = 768;

  // extraConfig goes inside <Config> (after Display and Localization).
  void StartFrame(const std::string& extraConfig = "<DevTools QuickLaunch=\"none\"/>");
  void SetUp() override;
  void TearDown() override;

  // One frame: input commands, Update with dt, Render between the device's frame calls; the
  // back buffer is read for Pixel.
  void Step(float dt = 0.1f);
  void Input(base::ICMD cmd);
  uint32_t Pixel(int x, int y) const;  // 0x00RRGGBB of the last stepped frame
  std::string Log() const;
  std::string StateName() const;

  testsupport::cl_HeadlessEngine m_engine;
  std::filesystem::path m_dir;          // the engine's scratch folder, made before the frame starts
  base::cl_System* m_system = nullptr;  // the engine's root module; null before StartFrame
  cl_GameFrame* m_frame = nullptr;  // a child of the root module
  std::vector<uint32_t> m_pixels;
  float m_time = 0.0f;
};

base::ICMD Mouse(int type, int x, int y);

}  // namespace frametest
