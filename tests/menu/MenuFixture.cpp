#include "MenuFixture.h"

#include <unistd.h>

#include <fstream>

#include "../support/HeadlessGpu.h"
#include "base/Imaging.h"
#include "base/system.h"
#include "base/text/Textsystem.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/DXFont.h"
#include "graphics/gfx.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace menutest {

base::ICMD Cmd(int type, int x, int y, int key) {
  base::ICMD c;
  c.type = static_cast<uint8_t>(type);
  c.mouseX = static_cast<uint16_t>(x);
  c.mouseY = static_cast<uint16_t>(y);
  c.key = static_cast<uint8_t>(key);
  return c;
}

bool cl_EventLog::ProcessEvent(const base::Variant& event) {
  m_events.emplace_back();
  m_events.back().copy(event);
  return true;
}

std::string cl_EventLog::LastLabel() const {
  if (m_events.empty()) return "";
  const char* label = m_events.back().get_label();
  return label ? label : "";
}

std::string cl_EventLog::LastAttribute(const char* name) const {
  if (m_events.empty()) return "<none>";
  base::tString<base::BaseString> text;
  if (!m_events.back().get_attribute(name)) return "<none>";
  m_events.back().get_attribute_string(name, text);
  return text.c_str();
}

void MenuTest::SetUp() {
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  ASSERT_TRUE(m_engine.MakeFolder("menu"));
  m_dir = m_engine.GetDir();
  std::filesystem::create_directories(m_dir / "loca");
  std::filesystem::create_directories(m_dir / "pictures");
  std::filesystem::create_directories(m_dir / "Savegames");
  std::ofstream(m_dir / "loca" / "menu_English.xml")
      << "<?xml version=\"1.0\" encoding=\"utf-8\"?><TextRoot><Language value=\"English\">"
      << "<Label value=\"#menut0_1\"><Text value=\"Hello\"/></Label></Language></TextRoot>";
  ASSERT_EQ(chdir(m_dir.c_str()), 0);
  ASSERT_TRUE(m_engine.Start(m_windowWidth, m_windowHeight));
  m_system = m_engine.GetSystem();
  std::ofstream(m_dir / "fonts.xml") << "<Resources>"
                                     << "<DXFont label=\"game\" file=\"DejaVu Serif\" system=\"1\" size=\"16\"/>"
                                     << "<DXFont label=\"messagebox\" file=\"DejaVu Sans\" system=\"1\" size=\"16\"/>"
                                     << "</Resources>";
  ASSERT_TRUE(base::sys::AddResources((m_dir / "fonts.xml").string().c_str()));
  gfx::SetFont(gfx::FontExists("game"));
  m_gui = new cl_GameGUI;
  m_gui->m_Rect = {0, 0, float(m_windowWidth), float(m_windowHeight)};
  base::g_pGUI = m_gui;
  base::g_CaretBlink = 0;
}

void MenuTest::TearDown() {
  if (m_inFrame) EndFrame();
  delete m_gui;
  m_gui = nullptr;
  base::g_pGUI = nullptr;
  m_engine.Stop();
  m_system = nullptr;
}

void MenuTest::AddPicture(const std::string& label, int w, int h, uint32_t rgb, bool texture) {
  base::cl_Bitmap24 bitmap;
  bitmap.Create(w, h);
  const base::Color24 colour(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
  for (int i = 0; i < w * h; ++i) bitmap.GetPixels()[i] = colour;
  const std::string file = (m_dir / "pictures" / (label + ".bmp")).string();
  ASSERT_TRUE(bitmap.SaveBMP(file.c_str()));
  m_pictures += std::string("<") + (texture ? "Texture" : "Image") + " label=\"" + label + "\" file=\"" + file + "\"/>";
}

void MenuTest::LoadPictures() {
  const std::string file = (m_dir / ("pictures" + std::to_string(m_pictureFiles++) + ".xml")).string();
  std::ofstream(file) << "<Resources>" << m_pictures << "</Resources>";
  m_pictures.clear();
  ASSERT_TRUE(base::sys::AddResources(file.c_str()));
}

void MenuTest::RenderFrame(float dt) {
  if (m_inFrame) EndFrame();
  m_frame.clear();
  m_gui->Update(dt);
  m_inFrame = win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame();
  ASSERT_TRUE(m_inFrame);
  gfx::Begin2D();
  gfx::FillRect(0, 0, kWidth, kHeight, 0xFF203040u);
  gfx::SetBlendAlpha(true);
  m_gui->Render(0, 0);
}

void MenuTest::EndFrame() {
  win32dx9::cl_DX9GraphicsDevice::GetInstance()->EndFrame();
  m_inFrame = false;
}

uint32_t MenuTest::Pixel(int x, int y) {
  if (m_frame.empty()) m_frame = testsupport::ReadBackBuffer(0, 0, kWidth, kHeight);
  if (m_frame.empty() || x < 0 || y < 0 || x >= kWidth || y >= kHeight) return 0xDEADBEEF;
  return m_frame[static_cast<size_t>(y) * kWidth + x];
}

std::vector<uint32_t> MenuTest::QuarterShot() {
  std::vector<uint32_t> shot(static_cast<size_t>(kShotW) * kShotH);
  for (int y = 0; y < kShotH; ++y)
    for (int x = 0; x < kShotW; ++x) {
      uint32_t sum[3] = {0, 0, 0};
      for (int dy = 0; dy < 4; ++dy)
        for (int dx = 0; dx < 4; ++dx) {
          const uint32_t p = Pixel(x * 4 + dx, y * 4 + dy);
          sum[0] += (p >> 16) & 0xFF, sum[1] += (p >> 8) & 0xFF, sum[2] += p & 0xFF;
        }
      shot[static_cast<size_t>(y) * kShotW + x] = ((sum[0] / 16) << 16) | ((sum[1] / 16) << 8) | (sum[2] / 16);
    }
  return shot;
}

bool MenuTest::Send(base::ICMD cmd) {
  // Through the root module first, which keeps the mouse position the controls read.
  base::ICMD copy = cmd;
  m_system->ProcessInput(copy);
  return m_gui->ProcessInput(cmd);
}

bool MenuTest::Click(float x, float y) {
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  Send(Cmd(base::ICMD::MOUSE_MOVE, ix, iy));
  Send(Cmd(base::ICMD::LEFT_DOWN, ix, iy));
  return Send(Cmd(base::ICMD::LEFT_UP, ix, iy));
}

bool MenuTest::ClickWindow(base::cl_Window* w) {
  return Click((w->m_AbsRect.left + w->m_AbsRect.right) * 0.5f, (w->m_AbsRect.top + w->m_AbsRect.bottom) * 0.5f);
}

bool MenuTest::PressKey(int key, int scan, bool shift) {
  base::ICMD c = Cmd(base::ICMD::KEY_PRESSED, 0, 0, key);
  c.scan = static_cast<uint8_t>(scan);
  if (shift) c.modifiers = base::ICMD::MOD_SHIFT;
  return Send(c);
}

bool MenuTest::ReleaseKey(int key, int scan) {
  base::ICMD c = Cmd(1, 0, 0, key);
  c.scan = static_cast<uint8_t>(scan);
  return Send(c);
}

}  // namespace menutest
