// The default skin on the headless platform: a started root module with the graphics library, a
// 640 x 480 back buffer, a DejaVu font made current and a cl_SystemGUI as the process-wide GUI
// root. Tests build windows under it, render a frame and read back-buffer pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/GoldenImage.h"
#include "../support/HeadlessEngine.h"
#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "graphics/font/DXFont.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace skintest {

class SkinTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 640, kHeight = 480;

  void SetUp() override;
  void TearDown() override;

  // Clears to a mid blue, renders the GUI and keeps the frame open for Pixel.
  void RenderFrame();
  void EndFrame();
  uint32_t Pixel(int x, int y);  // 0x00RRGGBB, inside a frame
  // The back buffer against golden/<name>.png: mean difference at most 3 per channel and at
  // most 1 % of pixels off by more than 24. A missing golden, or QUILLANE_UPDATE_GOLDEN=1,
  // writes it instead.
  ::testing::AssertionResult MatchesGolden(const std::string& name);

  testsupport::cl_HeadlessEngine m_engine;
  std::filesystem::path m_dir;  // the engine's scratch folder
  std::unique_ptr<gfx::cl_DXFont> m_font;
  win32dx9::cl_SystemGUI* m_gui = nullptr;
  bool m_inFrame = false;
  std::vector<uint32_t> m_frame;  // the back buffer, read at the first Pixel of a frame
};

using testsupport::RgbNear;

// Input commands.
base::ICMD Cmd(int type, int x = 0, int y = 0, int key = 0);
inline base::ICMD Key(int key) { return Cmd(base::ICMD::KEY_PRESSED, 0, 0, key); }
inline base::ICMD KeyUp(int key) { return Cmd(1, 0, 0, key); }

}  // namespace skintest
