#include "DiaryFixture.h"

#include <fstream>

#include "../audio/SoundMaker.h"
#include "base/app/ICMD.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/diary/DiaryServices.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace diarytest {

void DiaryTest::SetUp() {
  MenuTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  const std::string fonts = (m_dir / "diary_fonts.xml").string();
  std::ofstream(fonts) << "<Resources><DXFont label=\"diary\" file=\"DejaVu Serif\" system=\"1\" size=\"18\"/></Resources>";
  ASSERT_TRUE(base::sys::AddResources(fonts.c_str()));
  AddPicture("diary_bg", 64, 64, kCover, true);
  AddPicture("diary_page_left", 64, 64, kPageLeft, true);
  AddPicture("diary_page_right", 64, 64, kPageRight, true);
  AddPicture("diary_shadow_top", 64, 64, kFoldShadow, true);
  AddPicture("bookmark_left", 16, 40, kBookmarkLeft);
  AddPicture("bookmark_right", 16, 40, kBookmarkRight);
  AddPicture("quest_box", 16, 16, 0x806040);
  AddPicture("quest_box_checked", 16, 16, 0x408040);
  AddPicture("mission_header", 256, 64, 0xA08060);
  AddPicture("diary_close", 32, 32, 0x600000);
  AddPicture("bm_score", 32, 64, 0x006000);
  AddPicture("tab_one", 64, 32, 0x3050A0);
  LoadPictures();
  m_sound = std::make_unique<sfx::cl_FModSoundSystem>();
  ASSERT_TRUE(m_sound->SetOutput(platform::audio::Output::Pull));
  ASSERT_TRUE(m_sound->StartUp());
  for (const char* channel : {"GUI", "SPEECH"}) {
    sfx::st_ChannelParams params;
    m_sound->AddChannel(channel, &params);
  }
}

void DiaryTest::TearDown() {
  if (m_inFrame) EndFrame();
  DiaryServices() = st_DiaryServices();
  m_sound.reset();
  MenuTest::TearDown();
}

void DiaryTest::Frame(cl_HUDBook& book, float dt) {
  if (m_inFrame) EndFrame();
  m_frame.clear();
  book.Update(dt);
  m_inFrame = win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame();
  if (!m_inFrame) return;
  gfx::Begin2D();
  gfx::FillRect(0, 0, kWidth, kHeight, 0xFF203040u);
  book.Render(0, 0);
}

bool DiaryTest::UpdateUntilShown(cl_HUDBook& book) {
  for (int i = 0; i < 100; ++i) {
    if (book.GetFadeState() == cl_HUDBook::FADE_SHOWN) return true;
    book.Update(0.05f);
  }
  return false;
}

bool DiaryTest::UpdateUntilHidden(cl_HUDBook& book) {
  for (int i = 0; i < 100; ++i) {
    if (!book.IsVisible()) return true;
    book.Update(0.05f);
  }
  return false;
}

bool DiaryTest::UpdateUntilIdle(cl_HUDBook& book, float dt) {
  for (int i = 0; i < 400; ++i) {
    book.Update(dt);
    if (book.GetTurnState() == cl_HUDBook::TURN_IDLE && book.GetTargetPage() < 0) return true;
  }
  return false;
}

bool DiaryTest::Input(cl_HUDBook& book, int type, int x, int y, int key) {
  base::ICMD cmd = menutest::Cmd(type, x, y, key);
  base::ICMD copy = cmd;
  m_system->ProcessInput(copy);
  return book.ProcessInput(cmd);
}

void DiaryTest::MixSound(float seconds) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * 44100.0f) * 2);
  m_sound->GetLibrary().Mix(out.data(), static_cast<uint32_t>(out.size() / 2));
  m_sound->Update(seconds);
}

std::string DiaryTest::SpokenKey(int n, double seconds) {
  const std::string key = "#diary9_" + std::to_string(n);
  m_texts += "<Label value=\"" + key + "\"><Text value=\"Spoken entry " + std::to_string(n) +
             "\"><Speaker value=\"Quillane\"/></Text></Label>";
  std::ofstream(m_dir / "loca" / "diarytest_English.xml")
      << "<?xml version=\"1.0\" encoding=\"utf-8\"?><TextRoot><Language value=\"English\">" << m_texts
      << "</Language></TextRoot>";
  base::Variant localization;
  localization.set_element("Localization");
  localization.attribute("Language")->set_string("English");
  EXPECT_TRUE(base::sys::InitTextsystem(localization));
  const std::filesystem::path speech = m_dir / "loca" / "English" / "speech" / "Quillane" / (key + ".ogg");
  std::filesystem::create_directories(speech.parent_path());
  const std::vector<uint8_t> wav = audiotest::MakeWav(44100, 1, 16, audiotest::Sine(44100, 1, seconds, 441.0, 0.5));
  std::ofstream(speech, std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
  return key;
}

}  // namespace diarytest
