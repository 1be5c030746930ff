// Overlays on their own clocks: the alpha curve, removal by name, the text overlay's early ends,
// the score text and its climb, what keeps the player busy, and the dust that spawns only where
// its mask is not black.
#include <gtest/gtest.h>

#include <string>

#include "../base/test_support.h"
#include "HudStandIns.h"
#include "base/Imaging.h"
#include "base/math/Random.h"
#include "quillane/hud/OverlayMgr.h"

namespace hudtest {
namespace {

class OverlayTest : public HudTest {
 protected:
  cl_OverlayMgr m_overlays;
  testsupport::TempDir m_dir;
};

TEST_F(OverlayTest, AlphaRisesHoldsAndFallsAndZeroFadesHoldFullAlpha) {
  cl_Overlay* faded = m_overlays.CreateOverlay("Text", "#key", 1.0f, 2.0f, 0.5f, 0xFFFFFFFFu);
  cl_Overlay* sharp = m_overlays.CreateOverlay("text", "#key", 0.0f, 1.0f, 0.0f, 0xFFFFFFFFu);
  ASSERT_TRUE(faded && sharp);
  EXPECT_EQ(faded->m_name, "Text") << "the name is the type as given";
  m_overlays.Update(0.5f);
  EXPECT_FLOAT_EQ(faded->GetAlpha(), 0.5f);
  EXPECT_FLOAT_EQ(sharp->GetAlpha(), 1.0f);
  m_overlays.Update(0.5f);
  EXPECT_EQ(m_overlays.GetCount(), 2u) << "at exactly its end an overlay still shows";
  EXPECT_FLOAT_EQ(sharp->GetAlpha(), 1.0f);
  m_overlays.Update(0.01f);
  ASSERT_EQ(m_overlays.GetCount(), 1u);
  m_overlays.Update(2.24f);
  EXPECT_NEAR(faded->GetAlpha(), 0.5f, 1e-4f);
  m_overlays.Update(0.3f);
  EXPECT_EQ(m_overlays.GetCount(), 0u);
  EXPECT_EQ(m_overlays.CreateOverlay("picture", "x", 1, 1, 1, 0), nullptr);
  EXPECT_EQ(m_overlays.CreateOverlay("Image", "x", 1, 1, 1, 0), nullptr) << "\"image\" is exact";
}

TEST_F(OverlayTest, RemoveOverlayTakesEveryOverlayOfThatName) {
  m_overlays.CreateOverlay("text", "#a", 1, 5, 1, 0xFFFFFFFFu);
  m_overlays.CreateOverlay("skill", "3", 1, 5, 1, 0);
  m_overlays.CreateOverlay("text", "#b", 1, 5, 1, 0xFFFFFFFFu);
  m_overlays.RemoveOverlay("text");
  ASSERT_EQ(m_overlays.GetCount(), 1u);
  EXPECT_EQ(m_overlays.GetOverlay(0)->m_name, "skill");
}

TEST_F(OverlayTest, ATextOverlayEndsWhileThePlayerIsBusyAndAfterASceneLoad) {
  cl_Overlay* title = m_overlays.CreateOverlay("text", "#title", 0, 10, 0, 0xFFFFFFFFu);
  Rules().playerFree = false;  // a dialogue runs
  m_overlays.RenderLayer(0);
  m_overlays.Update(0.01f);
  EXPECT_EQ(m_overlays.GetCount(), 0u);

  Rules().playerFree = true;
  title = m_overlays.CreateOverlay("text", "#title", 0, 10, 0, 0xFFFFFFFFu);
  m_overlays.RenderLayer(0);
  EXPECT_FALSE(title->IsExpired());
  Rules().sceneJustLoaded = true;
  m_overlays.RenderLayer(0);
  EXPECT_TRUE(title->IsExpired());
}

TEST_F(OverlayTest, ScoreTextCarriesItsSignOnceAndZeroHasNone) {
  const struct {
    const char* value;
    const char* text;
  } cases[] = {{"0", "0"}, {"5", "+5"}, {"-5", "-5"}, {"12abc", "+12"}};
  for (const auto& c : cases) {
    cl_ScoreOverlay score("wealth", c.value);
    base::tString<base::BaseString> narrow;
    for (int i = 0; i < score.GetText().size(); ++i) narrow += static_cast<char>(score.GetText()[i]);
    EXPECT_EQ(narrow, c.text) << c.value;
  }
}

TEST_F(OverlayTest, TheScoreClimbsFromTheCentreToTheTopOverItsLife) {
  auto* score = static_cast<cl_ScoreOverlay*>(m_overlays.CreateOverlay("Spycraft", "2", 0.5f, 1.0f, 0.5f, 0));
  ASSERT_NE(score, nullptr);
  const float start = score->GetY();
  EXPECT_FLOAT_EQ(start, 384.0f);
  m_overlays.Update(1.0f);
  EXPECT_NEAR(score->GetY(), start * 0.5f, 1e-3f);
  m_overlays.Update(1.0f);
  EXPECT_NEAR(score->GetY(), 0.0f, 1e-3f);
  // A zero lifetime moves nothing (and divides by nothing).
  auto* still = static_cast<cl_ScoreOverlay*>(m_overlays.CreateOverlay("skill", "1", 0, 0, 0, 0));
  still->Update(0.5f);
  EXPECT_FLOAT_EQ(still->GetY(), start);
}

TEST_F(OverlayTest, OnlyAnImageKeepsThePlayerBusy) {
  m_overlays.CreateOverlay("text", "#t", 0, 1, 0, 0);
  m_overlays.CreateOverlay("skill", "1", 0, 1, 0, 0);
  EXPECT_FALSE(m_overlays.IsBusy());
  base::cl_Bitmap24 picture;
  picture.Create(8, 8);
  ASSERT_TRUE(picture.SaveBMP(m_dir.path("picture.bmp").c_str()));
  cl_Overlay* image = m_overlays.CreateOverlay("image", m_dir.path("picture.bmp").c_str(), 0, 1, 0, 0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->m_layer, 1);
  EXPECT_TRUE(m_overlays.IsBusy());
  m_overlays.RemoveOverlay("image");
  EXPECT_FALSE(m_overlays.IsBusy());
  m_overlays.Clear();
  EXPECT_EQ(m_overlays.GetCount(), 0u);
}

TEST_F(OverlayTest, DustSpawnsAndStaysWhereTheMaskIsNotBlack) {
  // The left half of the mask is black: dust only over the right half of the viewport.
  base::cl_Bitmap24 mask;
  mask.Create(64, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) *mask.Pixel(x, y) = x < 32 ? base::Color24(0, 0, 0) : base::Color24(90, 90, 90);
  ASSERT_TRUE(mask.SaveBMP(m_dir.path("mask.bmp").c_str()));
  base::RandSeed(7);
  cl_DustEffect* dust = m_overlays.AddDustEffect(m_dir.path("mask.bmp").c_str(), 2000);
  ASSERT_EQ(dust->GetParticles().size(), 2000u);
  int seen = 0;
  for (int frame = 0; frame < 200; ++frame) {
    m_overlays.Update(0.05f);
    for (const cl_DustEffect::st_Particle& p : dust->GetParticles()) {
      if (p.brightness <= 0.0f) continue;
      ++seen;
      ASSERT_TRUE(dust->InMask(p.x, p.y)) << "frame " << frame << " at " << p.x << ", " << p.y;
      ASSERT_GE(p.x, 512.0f);
    }
  }
  EXPECT_GT(seen, 200 * 1500);
  EXPECT_EQ(m_overlays.GetCount(), 1u) << "dust lasts until removed";
  m_overlays.RemoveOverlay("dust");
  EXPECT_EQ(m_overlays.GetCount(), 0u);
}

TEST_F(OverlayTest, DustCountIsBoundedAndABadMaskGivesNone) {
  base::cl_Bitmap24 mask;
  mask.Create(4, 4);
  ASSERT_TRUE(mask.SaveBMP(m_dir.path("mask.bmp").c_str()));
  EXPECT_EQ(cl_DustEffect(m_dir.path("mask.bmp").c_str(), 50000).GetParticles().size(), 10000u);
  EXPECT_EQ(cl_DustEffect(m_dir.path("mask.bmp").c_str(), -3).GetParticles().size(), 0u);
  EXPECT_EQ(cl_DustEffect(m_dir.path("missing.bmp").c_str(), 100).GetParticles().size(), 0u);
  std::string junk = m_dir.path("junk.bmp");
  FILE* f = fopen(junk.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs("BM this is no bitmap", f);
  fclose(f);
  cl_DustEffect broken(junk.c_str(), 100);
  EXPECT_EQ(broken.GetParticles().size(), 0u);
  broken.Update(0.1f);
  EXPECT_TRUE(m_log->contains("ERROR: dust mask"));
}

}  // namespace
}  // namespace hudtest
