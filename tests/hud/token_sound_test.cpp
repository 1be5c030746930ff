// The token sounds on the player channel from the "Sfx" archive: picking up, a drop the rules
// accept, a drop they refuse, and the silent return of a right click.
#include <gtest/gtest.h>

#include <filesystem>

#include "../sound/SoundFixture.h"
#include "HudStandIns.h"
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/file/FileArchive.h"
#include "base/resource/Resource.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"
#include "sound/Sfx.h"

namespace hudtest {
namespace {

class TokenSounds : public soundtest::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    MakeSfxArchive("sfx/ui", {"sfx/ui/UI_pickuptoken.ogg", "sfx/ui/UI_droptoken.ogg", "sfx/ui/UI_failtoken.ogg"});
    InstallStandIns();
    ASSERT_TRUE(base::xml::read_text(Rules().tokenTable, kTokenTable));
    ASSERT_TRUE(base::xml::read_text(Rules().gameState, kGameState));
    Rules().accepted = {{"Odo", "T1_Ledger"}};
    InterfaceServices().GetDropTargetName = [](float x, float, base::tString<base::BaseString>& name) {
      if (x < 500.0f) return false;
      name = "Odo";
      return true;
    };
    m_bar.m_Rect = {80.0f, 704.0f, 600.0f, 64.0f};
    m_bar.SyncMode(true);
  }
  void TearDown() override {
    RemoveStandIns();
    Rules() = st_Rules();
    SoundTest::TearDown();
  }
  void Click(int x, int y, int up = base::ICMD::LEFT_UP) {
    base::ICMD move = Cmd(base::ICMD::MOUSE_MOVE, x, y), down = Cmd(base::ICMD::LEFT_DOWN, x, y), release = Cmd(up, x, y);
    m_bar.ProcessInput(move);
    if (up == base::ICMD::LEFT_UP) m_bar.ProcessInput(down);
    m_bar.ProcessInput(release);
  }
  void PickUpLedger() {
    const cl_Token* ledger = m_bar.FindToken("T1_Ledger");
    Click(int(ledger->m_Rect.x + 32), int(ledger->m_Rect.y + 32));
  }
  void Silence() {
    sfx::StopChannel("PLAYER", 0.0f);
    Advance(0.05f);
  }
  bool Playing(const char* name) { return sfx::IsSoundPlaying(name); }

  cl_TokenBar m_bar;
};

TEST_F(TokenSounds, PickUpDropAndFailEachHaveTheirSoundAndARightClickNone) {
  PickUpLedger();
  EXPECT_TRUE(Playing("pickuptoken"));
  Silence();
  Click(300, 300);  // nothing there
  EXPECT_TRUE(Playing("failtoken"));
  EXPECT_FALSE(Playing("droptoken"));
  Silence();

  PickUpLedger();
  Silence();
  Click(300, 300, base::ICMD::RIGHT_UP);
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  EXPECT_FALSE(Playing("failtoken") || Playing("droptoken") || Playing("pickuptoken"));

  PickUpLedger();
  Silence();
  Click(700, 300);
  EXPECT_TRUE(Playing("droptoken"));
  EXPECT_FALSE(Playing("failtoken"));
  EXPECT_FALSE(m_log->contains("ERROR"));
}

}  // namespace
}  // namespace hudtest
