// The play-through's token steps as the .play reader takes them, good and bad.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "quillane/app/PlayScript.h"

namespace {

TEST(TokenPlaySteps, DragAndExpectTokenAreReadAndAPlainExpectStaysAGameStateCheck) {
  const char* text = "drag token T1_Codebook T1_Telegram\nexpect token T1_Pass 1\nexpect token/Skill 2\n";
  std::vector<st_PlayStep> steps;
  std::string error;
  ASSERT_TRUE(ReadPlayScript(text, std::strlen(text), "road.play", steps, &error)) << error;
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].kind, st_PlayStep::DRAG_TOKEN);
  EXPECT_EQ(steps[0].name, "T1_Codebook");
  EXPECT_EQ(steps[0].argument, "T1_Telegram");
  EXPECT_EQ(steps[1].kind, st_PlayStep::EXPECT_TOKEN);
  EXPECT_EQ(steps[1].name, "T1_Pass");
  EXPECT_EQ(steps[1].number, 1);
  EXPECT_EQ(steps[2].kind, st_PlayStep::EXPECT);
  EXPECT_EQ(steps[2].name, "token/Skill");
}

TEST(TokenPlaySteps, MalformedTokenStepsNameTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"drag token T1_Codebook\n", "road.play:1: expected \"drag token <token> <target>\""},
      {"drag T1_Codebook T1_Telegram x\n", "road.play:1: expected \"drag token <token> <target>\""},
      {"expect token T1_Pass\n",
       "road.play:1: expected \"expect token <token> <count>\" with a count from 0 to 100000"},
      {"expect token T1_Pass -1\n",
       "road.play:1: expected \"expect token <token> <count>\" with a count from 0 to 100000"},
  };
  for (const auto& [text, message] : cases) {
    std::vector<st_PlayStep> steps;
    std::string error;
    EXPECT_FALSE(ReadPlayScript(text, std::strlen(text), "road.play", steps, &error)) << text;
    EXPECT_EQ(error, message) << text;
  }
}

}  // namespace
