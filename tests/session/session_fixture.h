// A game session on the headless platform: a scratch working folder that the test fills with the
// session's data (scripts, tables, game state), a started root module with a cl_GameFrame whose
// QuickLaunch the test chooses, and frames stepped as the frame loop steps them. The script
// language is brought down after each test, so every test starts with no module loaded.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/app/SystemRoot.h"

class cl_GameFrame;

namespace sessiontest {

class SessionTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 1024, kHeight = 768;

  void SetUp() override;
  void TearDown() override;

  // Writes text to path below the working folder (folders made as needed).
  void Write(const std::string& path, const std::string& text);
  // The root module and the frame; extraConfig goes inside <Config>.
  void StartFrame(const std::string& extraConfig = "<DevTools QuickLaunch=\"none\"/>");
  // One frame: Update with dt, then Render between the device's frame calls; the back buffer is
  // kept for Pixel.
  void Step(float dt = 0.1f);
  // Steps until the frame's state is name; false after limit frames.
  bool StepUntilState(const std::string& name, int limit = 50);
  uint32_t Pixel(int x, int y) const;  // 0x00RRGGBB of the last stepped frame
  std::string StateName() const;
  std::string Log() const;
  // The log lines that begin with prefix, in order, without the prefix and the line end.
  std::vector<std::string> LinesAfter(const std::string& prefix) const;

  std::filesystem::path m_dir;
  std::filesystem::path m_cwd;
  std::unique_ptr<base::cl_System> m_system;
  cl_GameFrame* m_frame = nullptr;  // a child of the root module
  std::vector<uint32_t> m_pixels;
  float m_time = 0.0f;
  int m_warningLevel = 0;  // Debug_ScriptWarningLevel before the test
};

}  // namespace sessiontest
