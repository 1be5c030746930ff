// The interface drawn headless and compared with reviewed pictures: the bar with its tokens and
// one hovered, the drop verdict over a carried token, and a video frame with its subtitle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../menu/MenuFixture.h"
#include "HudStandIns.h"
#include "base/Imaging.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/Subtitles.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"
#include "support/GoldenImage.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace hudtest {
namespace {

constexpr uint32_t kBackground = 0x203040u;

class HudRender : public menutest::MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    if (IsSkipped()) return;
    InstallStandIns();
    ASSERT_TRUE(base::xml::read_text(Rules().tokenTable, kTokenTable));
    ASSERT_TRUE(base::xml::read_text(Rules().gameState, kGameState));
    // Each token picture its own colour; the code book has none and falls back to "token".
    std::filesystem::create_directories(m_dir / "GUI" / "Tokens");
    WriteToken("T1_Ledger", base::Color24(220, 40, 40));
    WriteToken("T1_Telegram", base::Color24(40, 200, 60));
    AddPicture("token", 64, 64, 0x8080C0, true);
    AddPicture("token_combine", 16, 16, 0x00FFFF, true);
    AddPicture("fluff_left", 256, 128, 0x705030, true);
    AddPicture("fluff_mid", 32, 14, 0x806040, true);
    AddPicture("fluff_right", 256, 128, 0x705030, true);
    AddPicture("fluffy_glow", 64, 64, 0x404040, true);
    LoadPictures();
    std::ofstream(m_dir / "tooltip.xml")
        << "<Resources><DXFont label=\"tooltip\" file=\"DejaVu Sans\" system=\"1\" size=\"14\"/></Resources>";
    ASSERT_TRUE(base::sys::AddResources((m_dir / "tooltip.xml").string().c_str()));
  }
  void TearDown() override {
    RemoveStandIns();
    Rules() = st_Rules();
    MenuTest::TearDown();
  }
  // A 64 × 64 picture with a white frame, so a grey copy still shows its edge.
  void WriteToken(const char* label, base::Color24 colour) {
    base::cl_Bitmap24 picture;
    picture.Create(64, 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        *picture.Pixel(x, y) = (x < 4 || y < 4 || x > 59 || y > 59) ? base::Color24(255, 255, 255) : colour;
    ASSERT_TRUE(picture.SaveBMP((m_dir / "GUI" / "Tokens" / (std::string(label) + ".bmp")).string().c_str()));
  }
  // The bar under the GUI root, shown, with the inventory's tokens.
  cl_InterfaceBar* MakeBar() {
    for (const char* l : {"T1_Ledger", "T1_Telegram"})
      const_cast<base::Variant*>(FindTokenDefinitionIn(&Rules().tokenTable, l))->attribute("file")->set_string(
          (std::string(l) + ".bmp").c_str());
    auto* bar = new cl_InterfaceBar;
    m_gui->AddChild(bar);
    bar->GetTokenBar()->ReadTokenOrder(Rules().gameState);
    bar->GetTokenBar()->SyncMode(true);
    bar->Show(true);
    bar->Update(0.5f);
    return bar;
  }
};

TEST_F(HudRender, TheBarWithItsTokensAndOneHovered) {
  cl_InterfaceBar* bar = MakeBar();
  cl_Token* telegram = bar->GetTokenBar()->FindToken("T1_Telegram");
  ASSERT_NE(telegram, nullptr);
  EXPECT_TRUE(telegram->HasPicture());
  Send(menutest::Cmd(base::ICMD::MOUSE_MOVE, int(telegram->m_Rect.x + 32), int(telegram->m_Rect.y + 32)));
  RenderFrame(0.3f);
  EXPECT_EQ(bar->GetTokenBar()->GetHovered(), telegram);
  EXPECT_FLOAT_EQ(telegram->GetScale(), cl_Token::kHighlightScale);
  // The hovered token is drawn enlarged over its neighbour's edge.
  const cl_Token* ledger = bar->GetTokenBar()->FindToken("T1_Ledger");
  EXPECT_TRUE(testsupport::RgbNear(Pixel(int(ledger->m_Rect.x) - 4, int(ledger->m_Rect.y) + 32), 0x28C83C, 40));
  int light = 0;
  for (int y = int(telegram->m_Rect.y) - 30; y < int(telegram->m_Rect.y) - 10; ++y)
    for (int x = int(telegram->m_Rect.x) + 8; x < int(telegram->m_Rect.x) + 56; ++x) light += (Pixel(x, y) & 0xFF) > 160;
  EXPECT_GT(light, 20) << "the tooltip above it";
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/token_bar.png", QuarterShot(),
                                            kShotW, kShotH));
}

TEST_F(HudRender, ACarriedTokenShowsTheVerdictOverItsTarget) {
  Rules().accepted = {{"Odo", "T1_Ledger"}};
  InterfaceServices().GetDropTargetName = [](float x, float, base::tString<base::BaseString>& name) {
    name = x < 500.0f ? "Crate" : "Odo";
    return true;
  };
  cl_InterfaceBar* bar = MakeBar();
  cl_Token* ledger = bar->GetTokenBar()->FindToken("T1_Ledger");
  Click(ledger->m_Rect.x + 32, ledger->m_Rect.y + 32);
  ASSERT_EQ(bar->GetTokenBar()->GetCarried(), ledger);
  for (const auto& [x, accepted] : {std::pair{300, false}, std::pair{700, true}}) {
    Send(menutest::Cmd(base::ICMD::MOUSE_MOVE, x, 300));
    RenderFrame(0.5f);
    const int cx = int(ledger->m_Rect.x) + 32, cy = int(ledger->m_Rect.y) + 32;
    const uint32_t centre = Pixel(cx, cy);
    const int r = (centre >> 16) & 0xFF, g = (centre >> 8) & 0xFF;
    if (accepted) {
      EXPECT_GT(r, 150) << "in colour";
      EXPECT_TRUE(testsupport::RgbNear(Pixel(int(ledger->m_Rect.x) - 1, int(ledger->m_Rect.y) - 1), 0x00FFFF, 8))
          << "\"token_combine\" over it";
    } else {
      EXPECT_LT(std::abs(r - g), 60) << "grey: 0x" << std::hex << centre;
      EXPECT_FALSE(testsupport::RgbNear(Pixel(int(ledger->m_Rect.x) - 1, int(ledger->m_Rect.y) - 1), 0x00FFFF, 8));
    }
    EndFrame();
  }
  EXPECT_EQ(Rules().checks, 2);
}

class SubtitleRender : public HudRender {
 protected:
  void RenderVideoFrame(cl_SubtitleCtrl& lines, float t) {
    Rules().videoTime = t;
    lines.Update(0.0f, 0.04f);
    if (m_inFrame) EndFrame();
    m_frame.clear();
    ASSERT_TRUE(m_inFrame = win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame());
    gfx::Begin2D();
    // Stands for the video's picture: a sky over a dark quay.
    gfx::FillRect(0, 0, kWidth, kHeight * 2 / 3, 0xFF6080B0u);
    gfx::FillRect(0, kHeight * 2 / 3, kWidth, kHeight, 0xFF182028u);
    lines.Render();
  }
};

TEST_F(SubtitleRender, AnIntroFrameWithItsSubtitle) {
  cl_SubtitleCtrl lines;
  lines.AddLine("The night ferry leaves at midnight.", 0.5f, 3.5f, 0.25f, 0xFFFFFF80u, 1);
  Rules().videoPlaying = true;
  RenderVideoFrame(lines, 1.0f);
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/intro_subtitle.png",
                                            QuarterShot(), kShotW, kShotH));
  // Without a video the same line in its span draws nothing.
  Rules().videoPlaying = false;
  RenderVideoFrame(lines, 1.0f);
  for (int x = 100; x < 924; x += 8) EXPECT_EQ(Pixel(x, kHeight - 40), 0x182028u) << x;
}

}  // namespace
}  // namespace hudtest
