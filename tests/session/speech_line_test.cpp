// Spoken lines said from the Office's scene script on a headless session with a sound system:
// how long a line lasts (its sample, the script's "TIME" or its key), the lip-sync data beside the
// sample, the talking blend, and the main character's exclamations.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../audio/SoundMaker.h"
#include "../scriptfunctions/office_fixture.h"
#include "base/FileTools.h"
#include "base/math/Random.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/character/LipsyncCtrl.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/settings/TweakSettings.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"
#include "win32dx9/Services.h"

namespace scriptfunctionstest {
namespace {

// Keys with speakers. #t0_1 has a 3 s sample, #t0_2 only lip-sync data, #t0_3 nothing on disk,
// #t0_4 is a narrator's line; the three exclamations have no files either.
constexpr const char* kTable = R"(<?xml version="1.0" encoding="utf-8"?>
<TextRoot><Language value="English">
<Label value="#t0_1"><Text value="Evening."><Speaker value="Odo" sfx="#t0_1.ogg"/></Text></Label>
<Label value="#t0_2"><Text value="Quiet now."><Speaker value="Odo" sfx="#t0_2.ogg"/></Text></Label>
<Label value="#t0_3"><Text value="Nothing."><Speaker value="Odo" sfx="#t0_3.ogg"/></Text></Label>
<Label value="#t0_4"><Text value="Meanwhile."><Speaker value="" sfx="#t0_4.ogg"/></Text></Label>
<Label value="#quill0_300"><Text value="Kaaazing!"><Speaker value="Quillane" sfx="#quill0_300.ogg"/></Text></Label>
<Label value="#quill0_292"><Text value="Bullshit!"><Speaker value="Quillane" sfx="#quill0_292.ogg"/></Text></Label>
<Label value="#quill0_296"><Text value="Chicken!"><Speaker value="Quillane" sfx="#quill0_296.ogg"/></Text></Label>
</Language></TextRoot>
)";

// The platform makes the sound system; the test mixes nothing, so no device is opened.
void (*g_createSound)() = nullptr;
void CreatePulledSound() {
  g_createSound();
  if (sfx::cl_FModSoundSystem* sound = sfx::GetSoundSystem()) sound->SetOutput(platform::audio::Output::Pull);
}

constexpr const char* kLipsync = "phn 0 200 100 AA\nphn 200 400 70 m\nphn 400 900 100 OW\n";

// The scene functions: each says one line and reports what Says returned.
constexpr const char* kScript =
    "function Line(speaker, key)\n"
    "  local t = Says(speaker, key)\n"
    "  Debugout(\"t: \" .. t)\n"
    "end\n"
    "function Timed(key, option, value)\n"
    "  local t = Says(\"Odo\", key, option, value)\n"
    "  Debugout(\"t: \" .. t)\n"
    "end\n";

class SpeechLine : public OfficeTest {
 protected:
  void SetUp() override {
    OfficeTest::SetUp();
    if (IsSkipped()) return;
    sfx::RegisterSoundSystem();
    g_createSound = win32dx9::SoundServices().Create;
    win32dx9::SoundServices().Create = &CreatePulledSound;
    Write("loca/speech_English.xml", kTable);
    const std::vector<uint8_t> ogg = audiotest::MakeOgg(22050, 1, audiotest::Sine(22050, 1, 2.7, 440.0, 0.3));
    Write("loca/English/speech/Odo/#t0_1.ogg", std::string(ogg.begin(), ogg.end()));
    Write("loca/English/speech/Odo/#t0_2.lipsync", kLipsync);
    m_kazing = FunStuff_Kazing;
  }
  void TearDown() override {
    FunStuff_Kazing = m_kazing;
    OfficeTest::TearDown();
    win32dx9::SoundServices() = win32dx9::st_SoundServices();
  }

  // Runs function (arguments as strings, a number where it reads as one) as the scene script and
  // steps one frame; the line's action, which is still running.
  quillane::st_GameAction* Run(const char* function, const std::vector<std::string>& arguments) {
    base::Variant args;
    args.set_array(static_cast<int>(arguments.size()));
    for (size_t i = 0; i < arguments.size(); ++i) {
      char* end = nullptr;
      const float number = std::strtof(arguments[i].c_str(), &end);
      if (!arguments[i].empty() && end && *end == 0)
        args[static_cast<int>(i)].set_float(number);
      else
        args[static_cast<int>(i)].set_string(arguments[i].c_str());
    }
    m_session->CallSceneScript("Office", function, args);
    Step(0.0f);
    return m_session->GetActionQueue().GetFirstForegroundAction();
  }
  // The result Says gave the script, once the line is over; the frames are not drawn.
  float LineTime() {
    const size_t before = Said().size();
    for (int i = 0; i < 200 && Said().size() == before; ++i) {
      m_time += 0.1f;
      m_system->Update(m_time, 0.1f);
    }
    if (Said().size() == before) {
      const std::string log = Log();
      ADD_FAILURE() << "the line did not end: " << log.substr(log.size() > 1500 ? log.size() - 1500 : 0);
      return -100.0f;
    }
    return std::stof(Said().back());
  }
  // The demo's speech table with its samples and lip-sync data in place of the test's; false
  // when the demo speech is not generated.
  bool CopyDemoSpeech() {
    const fs::path loca = fs::path(QUILLANE_DATA_DIR) / "loca";
    if (!fs::exists(loca / "English" / "speech")) return false;
    fs::remove(m_dir / "loca" / "speech_English.xml");
    fs::copy(loca, m_dir / "loca", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return true;
  }
  bool Lipsyncing(const char* name) const {
    cl_Character* c = Character(name);
    return c && c->facial && c->facial->lipsync && c->facial->lipsync->IsActive();
  }

  float m_kazing = 0.0f;
};

// A sample of 2.7 s: the line must not end with the whole seconds (2.5 s) while it still plays.
TEST_F(SpeechLine, TheLineLastsForItsSampleAndHalfASecond) {
  ASSERT_NO_FATAL_FAILURE(Load(kScript));
  quillane::st_GameAction* action = Run("Timed", {"#t0_1", "TIME", "2.0"});
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->m_kind, base::String("speak"));
  EXPECT_EQ(action->m_object, base::String("Odo"));
  EXPECT_EQ(action->m_text, base::String("#t0_1"));
  EXPECT_NEAR(action->m_time, 3.2f, 0.01f);
  // The talking blend runs while the line lasts; the sample has no lip-sync partner.
  EXPECT_EQ(Character("Odo")->pendingAction, action);
  EXPECT_FLOAT_EQ(Character("Odo")->talkChannel.targetBias, 1.0f);
  EXPECT_FALSE(Lipsyncing("Odo"));
  EXPECT_NEAR(LineTime(), 3.2f, 0.01f);
  EXPECT_FLOAT_EQ(Character("Odo")->talkChannel.targetBias, 0.0f);
}

TEST_F(SpeechLine, WithoutASampleTheScriptsTimeElseTheKeysLengthDecides) {
  ASSERT_NO_FATAL_FAILURE(Load(kScript));
  // "TIME" only in capitals; any other option is skipped alone. The key argument counts whole,
  // the words after the key included: 20 characters give 0.2 × 20 + 1.5.
  const struct {
    std::vector<std::string> arguments;
    float time;
  } cases[] = {
      {{"#t0_3", "TIME", "2.0"}, 2.0f},
      {{"#t0_3", "time", "2.0"}, 0.2f * 5 + 1.5f},
      {{"#t0_3 Nothing at all", "TIME", "-1"}, 5.5f},
      {{"#t0_3", "PAUSE", "TIME"}, 0.0f},  // "TIME" last: its value is missing and reads 0
      {{"#t0_9", "TIME", "2.5"}, 2.5f},    // no speech entry at all
  };
  for (const auto& c : cases) {
    ASSERT_NE(Run("Timed", c.arguments), nullptr) << c.arguments[0];
    EXPECT_NEAR(LineTime(), c.time, 0.01f) << c.arguments[0] << " " << c.arguments[1];
  }
  EXPECT_TRUE(Logged("SFX for \"#t0_9\" not found"));
  EXPECT_FALSE(Logged("SFX for \"#t0_3"));
}

TEST_F(SpeechLine, LipSyncStartsFromItsDataEvenWithoutTheSample) {
  ASSERT_NO_FATAL_FAILURE(Load(kScript));
  ASSERT_NE(Run("Line", {"Odo", "#t0_2"}), nullptr);
  EXPECT_TRUE(Lipsyncing("Odo"));
  EXPECT_NEAR(LineTime(), 0.2f * 5 + 1.5f, 0.01f);
  // The line's end stops the lips.
  EXPECT_FALSE(Lipsyncing("Odo"));
}

TEST_F(SpeechLine, ANarratorsLineRunsWithoutACharacter) {
  ASSERT_NO_FATAL_FAILURE(Load(kScript));
  quillane::st_GameAction* action = Run("Line", {"", "#t0_4"});
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->m_object, base::String(""));
  EXPECT_EQ(Character("Odo")->pendingAction, nullptr);
  EXPECT_EQ(Character("Quillane")->pendingAction, nullptr);
  EXPECT_NEAR(LineTime(), 0.2f * 5 + 1.5f, 0.01f);
}

TEST_F(SpeechLine, QuillaneExclaimsByTheTweaksChance) {
  ASSERT_NO_FATAL_FAILURE(Load(kScript));
  const struct {
    float chance;
    bool replaced;
  } cases[] = {{0.0f, false}, {1.0f, true}};
  for (const auto& c : cases) {
    FunStuff_Kazing = c.chance;
    base::RandSeed(7);
    for (int i = 0; i < 5; ++i) {
      quillane::st_GameAction* action = Run("Line", {"Quillane", "#t0_3"});
      ASSERT_NE(action, nullptr);
      const std::string text = action->m_text.c_str();
      if (c.replaced)
        EXPECT_TRUE(text == "#quill0_300 Kaaazing!" || text == "#quill0_292 Bullshit!" ||
                    text == "#quill0_296 Chicken!")
            << text;
      else
        EXPECT_EQ(text, "#t0_3");
      LineTime();
    }
  }
  // Only the main character exclaims.
  FunStuff_Kazing = 1.0f;
  quillane::st_GameAction* action = Run("Line", {"Odo", "#t0_3"});
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(std::string(action->m_text.c_str()), "#t0_3");
}

TEST_F(SpeechLine, TheSecondWarningLevelLogsEveryLine) {
  ASSERT_NO_FATAL_FAILURE(Load(kScript));
  Debug_ScriptWarningLevel = 2;
  ASSERT_NE(Run("Line", {"Odo", "#t0_3"}), nullptr);
  EXPECT_EQ(CountLogged(": Says(Odo,#t0_3)"), 1u);
  Debug_ScriptWarningLevel = 1;
  LineTime();
  ASSERT_NE(Run("Line", {"Odo", "#t0_3"}), nullptr);
  EXPECT_EQ(CountLogged(": Says(Odo,#t0_3)"), 1u);
}

// The demo's own lines, as demogen made them: every line of the speech table has its sample and
// its lip-sync data where the text system looks, and a spoken line moves the speaker's lips.
TEST_F(SpeechLine, TheDemosLinesHaveTheirSamplesAndMoveTheLips) {
  if (!CopyDemoSpeech()) GTEST_SKIP() << "demo speech not generated";
  ASSERT_NO_FATAL_FAILURE(Load(kScript));
  std::ifstream table(m_dir / "loca" / "speech_English.xml");
  const std::string text((std::istreambuf_iterator<char>(table)), std::istreambuf_iterator<char>());
  int lines = 0;
  // One label a line; the speakers' names carry no speaker.
  std::istringstream rows(text);
  std::string row;
  while (std::getline(rows, row)) {
    const size_t at = row.find("<Label value=\""), speakerTag = row.find("<Speaker value=\"");
    if (at == std::string::npos || speakerTag == std::string::npos) continue;
    const size_t keyAt = at + 14, speakerAt = speakerTag + 16;
    const std::string key = row.substr(keyAt, row.find('"', keyAt) - keyAt);
    const std::string speaker = row.substr(speakerAt, row.find('"', speakerAt) - speakerAt);
    base::tString<base::BaseString> path;
    ASSERT_TRUE(base::sys::GetSfxPath(speaker.c_str(), key.c_str(), path, 0)) << key;
    EXPECT_GT(fs::file_size(m_dir / path.c_str()), 1000u) << path.c_str();
    base::ReplaceFileExtension(path, "lipsync");
    EXPECT_TRUE(fs::exists(m_dir / path.c_str())) << path.c_str();
    ++lines;
  }
  EXPECT_GE(lines, 20);
  quillane::st_GameAction* action = Run("Line", {"Odo", "#offic0_2"});
  ASSERT_NE(action, nullptr);
  EXPECT_GE(action->m_time, 1.5f);
  EXPECT_TRUE(Lipsyncing("Odo"));
  EXPECT_FALSE(Lipsyncing("Quillane"));
  EXPECT_FALSE(Logged("SFX for"));
}

// The pose the game draws Odo in while he says one of the demo's lines: his jaw and lips turn
// from frame to frame, and rest again once the line is over.
TEST_F(SpeechLine, TheMouthBonesMoveInTheGamesPoseDuringADemoLine) {
  if (!CopyDemoSpeech()) GTEST_SKIP() << "demo speech not generated";
  ASSERT_NO_FATAL_FAILURE(Load(kScript));
  cl_Character* odo = Character("Odo");
  base::cl_Skeleton* skeleton = odo->actor ? odo->actor->GetSkeleton() : nullptr;
  ASSERT_NE(skeleton, nullptr);
  std::vector<int> mouth;
  for (const char* bone : {"Game_Jaw", "Game_Lip_up", "Game_Lip_low"}) mouth.push_back(skeleton->GetBoneIndex(bone));
  for (int bone : mouth) ASSERT_GE(bone, 0);
  // The mouth bones' rotations in the pose as the game last left it.
  auto mouthPose = [&] {
    std::vector<float> out;
    for (int bone : mouth)
      for (int k = 0; k < 4; ++k) out.push_back(odo->pose.GetNumBones() > bone ? odo->pose[bone].rotation[k] : 0.0f);
    return out;
  };
  auto step = [&] {
    m_time += 0.05f;
    m_system->Update(m_time, 0.05f);
  };
  for (int i = 0; i < 5; ++i) step();
  const std::vector<float> resting = mouthPose();
  ASSERT_NE(Run("Line", {"Odo", "#offic0_2"}), nullptr);
  int moved = 0;
  std::vector<float> last = mouthPose();
  for (int i = 0; i < 20; ++i) {
    step();
    const std::vector<float> now = mouthPose();
    moved += now != last;
    last = now;
  }
  EXPECT_GE(moved, 10) << "the mouth stood still in 20 frames of the line";
  LineTime();
  for (int i = 0; i < 10; ++i) step();
  const std::vector<float> after = mouthPose();
  for (size_t k = 0; k < after.size(); ++k) EXPECT_NEAR(after[k], resting[k], 1e-3f) << k;
}

}  // namespace
}  // namespace scriptfunctionstest
