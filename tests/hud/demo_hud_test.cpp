// The demo's interface pictures as the game loads them: the interface-bar, token, score and dust
// entries of data/resources.xml with demogen's files, drawn as the bar with the demo's tokens,
// a score overlay and the dust, against a reviewed picture; the glows drawn by their colour
// alone; and the dust's one draw for all its motes against one draw per mote.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "../menu/MenuFixture.h"
#include "HudStandIns.h"
#include "base/data/Xml.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"
#include "support/DemoResources.h"
#include "support/GoldenImage.h"
#include "support/HeadlessEngine.h"

namespace hudtest {
namespace {

namespace fs = std::filesystem;
const fs::path kData = QUILLANE_DATA_DIR;

class DemoHud : public menutest::MenuTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kData / "GUI/tokens/T1_Ledger.tga")) GTEST_SKIP() << "no generated demo data (run demogen)";
    MenuTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    InstallStandIns();
    ASSERT_GT(testsupport::LoadDemoResources(kData, m_dir, {"gui/hud/", "helper/"}, {"tooltip", "scene_undertitle"},
                                             "hud_resources.xml"),
              0);
    fs::create_directories(m_dir / "GUI" / "Tokens");
    for (const char* token : {"T1_Ledger", "T1_Codebook", "T1_Telegram"})
      fs::copy_file(kData / "GUI" / "tokens" / (std::string(token) + ".tga"),
                    m_dir / "GUI" / "Tokens" / (std::string(token) + ".tga"));
    fs::copy_file(kData / "helper" / "dustmask.bmp", m_dir / "dustmask.bmp", fs::copy_options::overwrite_existing);
    ASSERT_TRUE(base::xml::read_text(Rules().tokenTable, kTokenTable));
    ASSERT_TRUE(base::xml::read_text(Rules().gameState, kGameState));
  }
  void TearDown() override {
    RemoveStandIns();
    Rules() = st_Rules();
    MenuTest::TearDown();
  }
};

TEST_F(DemoHud, EveryInterfacePictureIsListedAndDrawsInTheBar) {
  for (const char* label : {"fluff_left", "fluff_mid", "fluff_right", "fluffy_glow", "token", "token_hilite",
                            "token_glow", "token_dissolve", "token_combine", "helper/dust.tga"})
    EXPECT_NE(gfx::TextureExists(label), nullptr) << label;
  for (const char* label : {"scoreicon_skill", "scoreicon_wealth", "scoreicon_spycraft"})
    EXPECT_NE(gfx::ImageExists(label), nullptr) << label;
  EXPECT_NE(gfx::FontExists("scene_undertitle"), nullptr);

  auto* bar = new cl_InterfaceBar;
  m_gui->AddChild(bar);
  bar->GetTokenBar()->ReadTokenOrder(Rules().gameState);
  bar->GetTokenBar()->SyncMode(true);
  bar->Show(true);
  bar->SetJournalBlink(true);
  bar->Update(0.5f);
  for (const char* token : {"T1_Ledger", "T1_Codebook", "T1_Telegram"})
    EXPECT_TRUE(bar->GetTokenBar()->FindToken(token)->HasPicture()) << token;
  cl_OverlayMgr overlays;
  overlays.CreateOverlay("wealth", "25", 0.0f, 2.0f, 0.0f, 0);
  base::RandSeed(11);
  overlays.AddDustEffect("dustmask.bmp", 300);
  for (int i = 0; i < 10; ++i) overlays.Update(0.1f);
  RenderFrame(0.25f);
  overlays.RenderLayer(0);
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/demo_bar.png", QuarterShot(),
                                            kShotW, kShotH));
}

// The bar buttons' glow (drawn darkening on a disabled button) and a dust mote (drawn
// brightening) change the target by their colour alone: their pictures light a round patch, and
// the corners of their squares leave the target as it was.
TEST_F(DemoHud, TheButtonGlowAndTheDustLightARoundPatchNotTheirSquare) {
  constexpr float kX = 300.0f, kY = 300.0f;  // the button; its glow starts 16 pixels up and left
  auto* button = new cl_InterfaceBarButtonHighlight("options", kX, kY);
  m_gui->AddChild(button);
  button->SetFlag(base::WF_DISABLED, true);
  gfx::cl_Texture* dust = gfx::TextureExists("helper/dust.tga");
  ASSERT_NE(dust, nullptr);
  constexpr float kDustX = 600.0f, kDustY = 300.0f, kDustScale = 4.0f;
  RenderFrame(0.0f);
  gfx::SetBlendMultiply(255);
  gfx::DrawTextureAt(dust, kDustX, kDustY, kDustScale);
  const uint32_t background = Pixel(5, 5);
  const float dustSide = static_cast<float>(dust->GetWidth()) * kDustScale;
  const struct {
    const char* what;
    float left, top, side;
  } patches[] = {{"the disabled button's glow", kX - 16.0f, kY - 16.0f, 64.0f},
                 {"the dust mote", kDustX, kDustY, dustSide}};
  for (const auto& p : patches) {
    const int l = static_cast<int>(p.left), t = static_cast<int>(p.top), s = static_cast<int>(p.side);
    EXPECT_NE(Pixel(l + s / 2, t + s / 2), background) << p.what << " shows nothing";
    for (const auto& [x, y] : {std::pair{l + 1, t + 1}, std::pair{l + s - 2, t + 1}, std::pair{l + 1, t + s - 2},
                               std::pair{l + s - 2, t + s - 2}})
      EXPECT_EQ(Pixel(x, y), background) << p.what << " at its square's corner " << x << "," << y;
  }
  EndFrame();
}

TEST_F(DemoHud, TheDustsOneDrawShowsWhatADrawPerMoteShows) {
  gfx::cl_Texture* dust = gfx::TextureExists("helper/dust.tga");
  ASSERT_NE(dust, nullptr);
  cl_OverlayMgr overlays;
  base::RandSeed(5);
  auto* effect = overlays.AddDustEffect("dustmask.bmp", 2000);
  for (int i = 0; i < 10; ++i) overlays.Update(0.1f);
  // Over a grey with some colour in it: the motes multiply the target.
  auto frame = [&](auto draw) {
    RenderFrame(0.0f);
    gfx::ClearScreen(0xFF6A5A4Au);
    gfx::Begin2D();
    draw();
    std::vector<uint32_t> pixels = testsupport::ReadBackBuffer(0, 0, kWidth, kHeight);
    EndFrame();
    return pixels;
  };
  const std::vector<uint32_t> batched = frame([&] { overlays.RenderLayer(0); });
  ASSERT_GT(effect->GetSprites().size(), 500u);
  const std::vector<uint32_t> apart = frame([&] {
    for (const gfx::st_Sprite& mote : effect->GetSprites()) {
      gfx::SetBlendMultiply(static_cast<uint8_t>(mote.colour & 0xFF));
      gfx::DrawTextureAt(dust, mote.x, mote.y, mote.scale);
    }
  });
  ASSERT_EQ(batched.size(), apart.size());
  size_t differing = 0, lit = 0;
  for (size_t i = 0; i < batched.size(); ++i) {
    differing += batched[i] != apart[i];
    lit += batched[i] != 0x6A5A4Au;
  }
  EXPECT_GT(lit, 2000u) << "the motes show";
  EXPECT_EQ(differing, 0u);
}

}  // namespace
}  // namespace hudtest
