#include "SkinFixture.h"

#include <fstream>

#include "../support/GoldenImage.h"
#include "../support/HeadlessGpu.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/DXFont.h"
#include "graphics/gfx.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace skintest {

base::ICMD Cmd(int type, int x, int y, int key) {
  base::ICMD c;
  c.type = static_cast<uint8_t>(type);
  c.mouseX = static_cast<uint16_t>(x);
  c.mouseY = static_cast<uint16_t>(y);
  c.key = static_cast<uint8_t>(key);
  return c;
}

void SkinTest::SetUp() {
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  ASSERT_TRUE(m_engine.MakeFolder("skin"));
  m_dir = m_engine.GetDir();
  ASSERT_TRUE(m_engine.Start(kWidth, kHeight));
  m_font = std::make_unique<gfx::cl_DXFont>();
  m_font->SetSize(12.0f);
  m_font->CreateD3DFont("DejaVu Sans", true);
  gfx::SetFont(m_font.get());
  m_gui = new win32dx9::cl_SystemGUI;
  m_gui->m_Rect = {0, 0, float(kWidth), float(kHeight)};
  base::g_pGUI = m_gui;
  base::g_CaretBlink = 0;
}

void SkinTest::TearDown() {
  if (m_inFrame) EndFrame();
  delete m_gui;
  m_gui = nullptr;
  m_font.reset();
  m_engine.Stop();
}

void SkinTest::RenderFrame() {
  if (m_inFrame) EndFrame();
  m_frame.clear();
  m_inFrame = win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame();
  ASSERT_TRUE(m_inFrame);
  gfx::Begin2D();
  gfx::FillRect(0, 0, kWidth, kHeight, 0xFF203040u);
  gfx::SetBlendAlpha(true);
  m_gui->Render(0, 0);
}

void SkinTest::EndFrame() {
  win32dx9::cl_DX9GraphicsDevice::GetInstance()->EndFrame();
  m_inFrame = false;
}

uint32_t SkinTest::Pixel(int x, int y) {
  // Read the whole buffer once per frame: a lock per pixel would make the scans slow.
  if (m_frame.empty()) m_frame = testsupport::ReadBackBuffer(0, 0, kWidth, kHeight);
  if (m_frame.empty() || x < 0 || y < 0 || x >= kWidth || y >= kHeight) return 0xDEADBEEF;
  return m_frame[static_cast<size_t>(y) * kWidth + x];
}

::testing::AssertionResult SkinTest::MatchesGolden(const std::string& name) {
  Pixel(0, 0);
  return testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/" + name + ".png", m_frame, kWidth,
                                       kHeight);
}

}  // namespace skintest
