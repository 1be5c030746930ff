// The diary on the headless platform: the menus' fixture (1024 x 768, a temporary folder as
// working and user folder) with the font "diary", the book's pictures in plain colours, a text
// table whose keys Quillane speaks, her speech files, and a sound system mixed by the test.
// Frames draw only the book under test.
#pragma once

#include <memory>
#include <string>

#include "../menu/MenuFixture.h"
#include "quillane/diary/Diary.h"
#include "sound/FModSoundSystem.h"
#include "support/CountingEvent.h"

namespace diarytest {

// Picture colours, so that pixels tell which page is shown.
inline constexpr uint32_t kCover = 0x402010, kPageLeft = 0xE0D0B0, kPageRight = 0xD0E0B0, kBookmarkLeft = 0xC00000,
                          kBookmarkRight = 0x00A000, kFoldShadow = 0x000000;

class DiaryTest : public menutest::MenuTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // One frame: the book's Update(dt), then a cleared back buffer and its Render; the frame stays
  // open for Pixel.
  void Frame(cl_HUDBook& book, float dt = 0.03f);
  // Updates (without drawing) until the book is fully shown or hidden; false after 100 steps.
  bool UpdateUntilShown(cl_HUDBook& book);
  bool UpdateUntilHidden(cl_HUDBook& book);
  bool UpdateUntilIdle(cl_HUDBook& book, float dt = 0.03f);
  // Input to the book as the session hands it on.
  bool Input(cl_HUDBook& book, int type, int x = 0, int y = 0, int key = 0);
  // Mixes seconds of sound and runs the sound system's update.
  void MixSound(float seconds);
  // A spoken text "#diary9_<n>" for Quillane with a speech file of the given length.
  std::string SpokenKey(int n, double seconds);

  std::unique_ptr<sfx::cl_FModSoundSystem> m_sound;
  std::string m_texts;  // the text table's labels
};

using testsupport::cl_CountingEvent;
using testsupport::st_EventCounts;

}  // namespace diarytest
