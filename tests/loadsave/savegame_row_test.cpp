// What a row shows for a header: mission, chapter and play time, the name cut to the row's
// width, and the score bars' heights.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/data/Variant.h"
#include "quillane/menu/SavegameField.h"

namespace {

base::Variant Header(float gameTime, int mission, int started) {
  base::Variant h;
  h.set_element("SaveData");
  h.attribute("game_time")->set_float(gameTime);
  h.attribute("current_mission")->set_int(mission);
  h.attribute("mission4_started")->set_int(started);
  return h;
}

float TenPerUnit(const char16_t* text) {
  float w = 0;
  for (; text && *text; ++text) w += 10;
  return w;
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text);
  return out;
}

}  // namespace

TEST(SavegameRowSummary, MissionChapterAndPlayTime) {
  struct st_Case {
    float time;
    int mission, started;
    int wantMission, wantChapter, wantHours, wantMinutes;
  } cases[] = {
      {3900.0f, 3, 0, 3, 2, 1, 5},         // Mission 3, Chapter 2, 1:05h
      {0.0f, 2, 1, 4, 2, 0, 0},            // the fourth mission's start counts
      {0.0f, 6, 1, 6, 3, 0, 0},            // ... but never lowers a later one
      {3725.9f, 8, 0, 8, 4, 1, 2},         // seconds are truncated
      {59.9f, 9, 0, 9, 1, 0, 0},           // unknown missions are chapter 1
      {-5.0f, 0, 0, 0, 1, 0, 0},           // a negative time is 0
      {1e30f, 1, 0, 1, 1, 555555, 33},     // a huge one is clamped, not undefined
      {std::nanf(""), 5, 0, 5, 3, 0, 0},   // NaN is 0
  };
  for (const st_Case& c : cases) {
    const base::Variant h = Header(c.time, c.mission, c.started);
    const st_SavegameSummary s = SummariseSavegame(&h);
    SCOPED_TRACE(std::to_string(c.time) + " / " + std::to_string(c.mission));
    EXPECT_EQ(s.mission, c.wantMission);
    EXPECT_EQ(s.chapter, c.wantChapter);
    EXPECT_EQ(s.hours, c.wantHours);
    EXPECT_EQ(s.minutes, c.wantMinutes);
  }
  const st_SavegameSummary none = SummariseSavegame(nullptr);
  EXPECT_EQ(none.mission, 0);
  EXPECT_EQ(none.chapter, 1);
  EXPECT_EQ(none.hours + none.minutes, 0);
}

TEST(SavegameRowName, LongNamesAreCutToTheWidthWithTheEllipsis) {
  const base::tString<base::BaseUnicodeString> shortName(u"Harbour");
  EXPECT_EQ(Narrow(CutNameToWidth(shortName, 175, u"...", &TenPerUnit).c_str()), "Harbour");
  const base::tString<base::BaseUnicodeString> exact(u"0123456789ABCDEFG");  // 170 pixels
  EXPECT_EQ(Narrow(CutNameToWidth(exact, 175, u"...", &TenPerUnit).c_str()), "0123456789ABCDEFG");
  const base::tString<base::BaseUnicodeString> longName(u"The long night crossing to the island");
  EXPECT_EQ(Narrow(CutNameToWidth(longName, 175, u"...", &TenPerUnit).c_str()), "The long night cr...");
}

TEST(SavegameRowScores, BarHeightsFollowTheRatioOfValueToMaximum) {
  const float inf = std::numeric_limits<float>::infinity();
  struct st_Case {
    float value, maximum;
    int height;
  } cases[] = {
      {5, 10, 49},   // 99 × 0.5, truncated
      {10, 10, 99},  // full
      {12, 10, 99},  // clamped
      {3, 0, 99},    // a maximum of 0 with a positive value fills
      {0, 0, 0},     // NaN counts 0
      {-3, 10, 0},   // clamped below
      {inf, 1, 99},  // infinite counts 1
      {std::nanf(""), 10, 0},
  };
  for (const st_Case& c : cases) {
    base::Variant h;
    h.set_element("SaveData");
    h.attribute("wealth")->set_float(c.value);
    h.attribute("maxwealth")->set_float(c.maximum);
    EXPECT_EQ(ScoreBarHeight(ScoreRatio(&h, "wealth", "maxwealth"), 99), c.height) << c.value << " / " << c.maximum;
  }
  EXPECT_EQ(ScoreBarHeight(ScoreRatio(nullptr, "wealth", "maxwealth"), 99), 0);
}
