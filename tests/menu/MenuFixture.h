// The game interface on the headless platform: a started root module with the graphics library,
// a 1024 x 768 back buffer, a DejaVu font registered as "game" and "messagebox", a cl_GameGUI as
// the process-wide GUI root, and a temporary user folder. Tests add pictures of known sizes and
// colours as image resources, drive the windows with input commands and read back pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "quillane/gui/GameGUI.h"
#include "support/HeadlessEngine.h"

namespace menutest {

class MenuTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 1024, kHeight = 768;

  void SetUp() override;
  void TearDown() override;

  // Writes a w x h picture of one colour and declares it as an "Image" (or "Texture") resource.
  void AddPicture(const std::string& label, int w, int h, uint32_t rgb, bool texture = false);
  // Declares the pictures added so far (one resource file per call).
  void LoadPictures();
  // One frame: clear, GUI Update(dt) and Render; the frame stays open for Pixel.
  void RenderFrame(float dt = 0.0f);
  void EndFrame();
  uint32_t Pixel(int x, int y);  // 0x00RRGGBB, inside a frame
  // The open frame at a quarter of its size each way, each pixel the mean of its 4 x 4 block:
  // small enough to keep as a reviewed picture, and blind to single-pixel font differences.
  static constexpr int kShotW = kWidth / 4, kShotH = kHeight / 4;
  std::vector<uint32_t> QuarterShot();
  // Hands a command to the GUI root as the module tree would.
  bool Send(base::ICMD cmd);
  bool Click(float x, float y);  // press and release at (x, y)
  bool ClickWindow(base::cl_Window* w);  // at the centre of its absolute rectangle
  bool PressKey(int key, int scan = 0, bool shift = false);
  bool ReleaseKey(int key, int scan = 0);

  // The back buffer's size; a fixture's constructor may choose a smaller display mode.
  int m_windowWidth = kWidth, m_windowHeight = kHeight;
  testsupport::cl_HeadlessEngine m_engine;
  std::filesystem::path m_dir;          // the engine's scratch folder, the working folder in a test
  base::cl_System* m_system = nullptr;  // the engine's root module
  cl_GameGUI* m_gui = nullptr;
  bool m_inFrame = false;
  std::vector<uint32_t> m_frame;
  std::string m_pictures;  // resource elements not yet loaded
  int m_pictureFiles = 0;
};

base::ICMD Cmd(int type, int x = 0, int y = 0, int key = 0);

// A window that keeps every event it is handed: the listener of message boxes under test.
class cl_EventLog : public base::cl_Window {
 public:
  bool ProcessEvent(const base::Variant& event) override;
  std::vector<base::Variant> m_events;
  std::string LastLabel() const;
  std::string LastAttribute(const char* name) const;
};

}  // namespace menutest
