// Levels and the fade queue, stepped by the test's frame times: what the library's voice is set
// to after each update, which records replace which, and muting.
#include <cmath>

#include "SoundFixture.h"

namespace soundtest {
namespace {

class Levels : public SoundTest {};
class FadeQueue : public SoundTest {};

TEST_F(Levels, MasterTimesChannelTimesSoundWithPanFromChannelAndSoundOnly) {
  const std::string file = WriteWav("tone.wav", 2.0);
  ASSERT_GE(Play(file, "full"), 0.0f);
  EXPECT_EQ(Volume("full"), 255);
  EXPECT_EQ(Pan("full"), 128);  // channel 0.5 × sound 1.0

  m_system->FadeMasterVolume(0.5f, 0.0f);
  m_system->FadeChannelVolume("MUSIC", 0.8f, 0.0f);
  ASSERT_GE(Play(file, "music", "MUSIC", 0.5f), 0.0f);
  EXPECT_EQ(Volume("music"), 51);  // trunc(0.5 × 0.8 × 0.5 × 255 + 0.5)
  m_system->Update(0.0f);
  EXPECT_EQ(Volume("full"), 128);  // the master fade reached the older sound: trunc(127.5 + 0.5)

  // Levels clamp to 0..1, and the clamped master level is kept.
  m_system->FadeMasterVolume(3.0f, 0.0f);
  m_system->Update(0.0f);
  EXPECT_EQ(Volume("full"), 255);
  EXPECT_EQ(m_system->GetMasterVolume(), 1.0f);
  m_system->FadeMasterVolume(std::nanf(""), 0.0f);  // a script's level that is no number: silence
  m_system->Update(0.0f);
  EXPECT_EQ(Volume("full"), 0);
  EXPECT_EQ(m_system->GetMasterVolume(), 0.0f);
  m_system->FadeMasterVolume(1.0f, 0.0f);
  m_system->Update(0.0f);
  EXPECT_TRUE(m_system->SetChannelPan("PLAYER", 0.0f, 0.0f));
  m_system->Update(0.0f);
  EXPECT_EQ(Pan("full"), 0);
  EXPECT_EQ(m_system->GetSoundParams("full").volume, 1.0f);
  EXPECT_EQ(m_system->GetSoundParams("nobody").pan, 1.0f);
}

TEST_F(FadeQueue, FadeFrom255To0OverTwoSecondsStepsBy15AndEndsAtTheSixteenthUpdate) {
  ASSERT_GE(Play(WriteWav("tone.wav", 5.0), "a", "PLAYER", 1.0f, true), 0.0f);
  ASSERT_TRUE(m_system->FadeSoundVolume("a", 0.0f, 2.0f));
  m_system->Update(0.125f);
  EXPECT_EQ(Volume("a"), 239);  // 255 − 15.9375, truncated
  for (int update = 2; update <= 15; ++update) {
    m_system->Update(0.125f);
    EXPECT_GT(Volume("a"), 0) << update;
    EXPECT_EQ(m_system->GetFadeRecordCount(), 1u);
  }
  m_system->Update(0.125f);
  EXPECT_EQ(Volume("a"), 0);
  EXPECT_EQ(m_system->GetFadeRecordCount(), 0u);
}

TEST_F(FadeQueue, AQueuedStopMakesLaterFadesReturnTrueAndChangeNothing) {
  ASSERT_GE(Play(WriteWav("tone.wav", 5.0), "a", "PLAYER", 1.0f, true), 0.0f);
  ASSERT_TRUE(m_system->StopSound("a", 1.0f));
  EXPECT_TRUE(m_system->FadeSoundVolume("a", 1.0f, 0.0f));
  EXPECT_TRUE(m_system->SetSoundPan("a", 0.2f, 0.0f));
  EXPECT_TRUE(m_system->PauseSound("a", true, 0.0f));
  EXPECT_TRUE(m_system->StopSound("a", 0.0f));
  EXPECT_EQ(m_system->GetFadeRecordCount(), 1u);
  m_system->Update(0.5f);
  EXPECT_EQ(Volume("a"), 127);  // still the stop's own fade, not the instant ones refused
  EXPECT_EQ(Pan("a"), 128);
  EXPECT_FALSE(Paused("a"));
  m_system->Update(0.5f);
  EXPECT_FALSE(m_system->IsPlaying("a"));
  EXPECT_EQ(m_system->GetSoundSlot("a"), -1);
  EXPECT_FALSE(m_system->StopSound("a", 0.0f));
  EXPECT_EQ(Lib().LiveSamples(), 0);
}

TEST_F(FadeQueue, VolumeAndPanFadesRunSideBySideAndASecondVolumeFadeReplacesTheFirst) {
  ASSERT_GE(Play(WriteWav("tone.wav", 5.0), "a", "PLAYER", 1.0f, true), 0.0f);
  ASSERT_TRUE(m_system->FadeSoundVolume("a", 0.0f, 1.0f));
  ASSERT_TRUE(m_system->SetSoundPan("a", 0.0f, 1.0f));
  EXPECT_EQ(m_system->GetFadeRecordCount(), 2u);
  m_system->Update(0.5f);
  EXPECT_EQ(Volume("a"), 127);
  EXPECT_EQ(Pan("a"), 64);
  ASSERT_TRUE(m_system->FadeSoundVolume("a", 1.0f, 0.5f));  // from 127 up to 255
  EXPECT_EQ(m_system->GetFadeRecordCount(), 2u);
  m_system->Update(0.25f);
  EXPECT_EQ(Volume("a"), 191);
  EXPECT_EQ(Pan("a"), 32);
  m_system->Update(0.25f);
  EXPECT_EQ(Volume("a"), 255);
  EXPECT_EQ(Pan("a"), 0);
  EXPECT_EQ(m_system->GetFadeRecordCount(), 0u);
}

TEST_F(FadeQueue, PauseOverASecondResumedHalfWayUnpausesAtOnceAndFadesBackFromTheLevelReached) {
  ASSERT_GE(Play(WriteWav("tone.wav", 5.0), "a", "PLAYER", 1.0f, true), 0.0f);
  ASSERT_TRUE(m_system->PauseSound("a", true, 1.0f));
  for (int i = 0; i < 4; ++i) m_system->Update(0.125f);
  EXPECT_EQ(Volume("a"), 127);
  EXPECT_FALSE(Paused("a"));

  ASSERT_TRUE(m_system->PauseSound("a", false, 0.5f));
  EXPECT_FALSE(Paused("a"));
  EXPECT_EQ(m_system->GetFadeRecordCount(), 1u);  // the pause record was replaced
  m_system->Update(0.25f);
  EXPECT_EQ(Volume("a"), 191);  // 127 + (255 − 127) / 0.5 × 0.25
  m_system->Update(0.25f);
  EXPECT_EQ(Volume("a"), 255);
  EXPECT_FALSE(Paused("a"));

  // A pause that runs to its end pauses the voice.
  ASSERT_TRUE(m_system->PauseSound("a", true, 0.25f));
  m_system->Update(0.25f);
  EXPECT_TRUE(Paused("a"));
  EXPECT_TRUE(m_system->IsPlaying("a"));  // paused counts as playing
}

TEST_F(FadeQueue, MutingTwiceMutesOnceAndRestoringBringsBackTheStoredMasterLevel) {
  ASSERT_GE(Play(WriteWav("tone.wav", 5.0), "a", "PLAYER", 1.0f, true), 0.0f);
  m_system->FadeMasterVolume(0.6f, 0.0f);
  m_system->Update(0.0f);
  EXPECT_EQ(Volume("a"), 153);
  m_system->SetActive(false);
  m_system->SetActive(false);
  m_system->Update(0.0f);
  EXPECT_EQ(Volume("a"), 0);
  EXPECT_EQ(m_system->GetMasterVolume(), 0.6f);
  m_system->SetActive(true);
  m_system->Update(0.0f);
  EXPECT_EQ(Volume("a"), 153);
}

TEST_F(FadeQueue, ChannelsAreStoppedPausedAndRemovedThroughTheQueue) {
  const std::string file = WriteWav("tone.wav", 5.0);
  ASSERT_GE(Play(file, "a", "AMBIENT", 1.0f, true), 0.0f);
  ASSERT_GE(Play(file, "b", "AMBIENT", 1.0f, true), 0.0f);
  ASSERT_GE(Play(file, "c", "PLAYER", 1.0f, true), 0.0f);
  EXPECT_TRUE(m_system->PauseChannel("AMBIENT", true, 0.0f));
  m_system->Update(0.1f);
  EXPECT_TRUE(Paused("a"));
  EXPECT_TRUE(Paused("b"));
  EXPECT_FALSE(Paused("c"));
  EXPECT_TRUE(m_system->StopChannel("AMBIENT", 0.0f));
  m_system->Update(0.1f);
  EXPECT_EQ(m_system->GetSoundSlot("a"), -1);
  EXPECT_TRUE(m_system->IsPlaying("c"));
  EXPECT_FALSE(m_system->StopChannel("NOWHERE", 0.0f));

  // A removal whose channel is already gone counts as done: the queue goes on behind it.
  ASSERT_GE(Play(file, "d", "AMBIENT", 1.0f, true), 0.0f);
  EXPECT_TRUE(m_system->RemoveChannel("AMBIENT"));
  EXPECT_TRUE(m_system->RemoveChannel("AMBIENT"));
  EXPECT_TRUE(m_system->FadeSoundVolume("c", 0.0f, 0.0f));
  for (int i = 0; i < 3; ++i) m_system->Update(0.1f);
  EXPECT_FALSE(m_system->HasChannel("AMBIENT"));
  EXPECT_EQ(Volume("c"), 0);
  EXPECT_EQ(m_system->GetFadeRecordCount(), 0u);
  EXPECT_FALSE(m_system->RemoveChannel("AMBIENT"));
  EXPECT_EQ(Lib().LiveSamples(), 1);
}

}  // namespace
}  // namespace soundtest
