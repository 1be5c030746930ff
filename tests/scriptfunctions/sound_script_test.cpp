// The "SFX…" script functions called from a compiled script onto the sound system in pull mode
// (the test mixes): what reaches the facade, seen through its state, and the defaults and
// messages of missing arguments.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "../sound/SoundFixture.h"
#include "KRX/ScriptSystem.h"
#include "base/data/Variant.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/SoundScript.h"
#include "sound/PlaylistCtrl.h"
#include "sound/Sfx.h"

namespace {

class SoundScript : public soundtest::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    if (HasFatalFailure()) return;
    KRX::ScriptSystem::Init();
    ASSERT_TRUE(cl_SoundScript::Register());
    WriteWav("ui_confirm.wav", 2.25);
    WriteOgg("msx/office.ogg", 1.0);
  }
  void TearDown() override {
    KRX::ScriptSystem::Shutdown();
    SoundTest::TearDown();
  }
  // Runs body as the function Run of a fresh module; what it returned.
  base::Variant Run(const std::string& body) {
    const std::string name = "run" + std::to_string(++m_runs) + ".lua";
    std::ofstream(m_dir.path(name)) << "function Run()\n" << body << "\nend\n";
    return GameThread::Start(name.c_str(), "Run", base::Variant());
  }
  int m_runs = 0;
};

TEST_F(SoundScript, PlaySoundWithThreeNamesTakesTheDefaultsAndGivesTheLength) {
  const base::Variant length = Run("return SFXPlaySound(\"ui_confirm.wav\", \"buttonclick\", \"GUI\")");
  EXPECT_NEAR(length.get_float(), 2.25f, 1e-4f) << "a sample's length in seconds, with its fraction";
  const sfx::st_PlayParams params = sfx::GetSoundParams("buttonclick");
  EXPECT_FLOAT_EQ(params.volume, 1.0f);
  EXPECT_FLOAT_EQ(params.pan, 1.0f);
  EXPECT_FALSE(params.loop);
  EXPECT_FALSE(params.ignoreFx);
  EXPECT_TRUE(Run("return SFXIsPlaying(\"buttonclick\")").get_int() == 1);
  EXPECT_FALSE(m_log->contains("wrong parameter"));

  Run("SFXPlaySound(\"ui_confirm.wav\", \"quiet\", \"GUI\", 0.25, 0.5, true, true)");
  const sfx::st_PlayParams quiet = sfx::GetSoundParams("quiet");
  EXPECT_FLOAT_EQ(quiet.volume, 0.25f);
  EXPECT_FLOAT_EQ(quiet.pan, 0.5f);
  EXPECT_TRUE(quiet.loop);
  EXPECT_TRUE(quiet.ignoreFx);
}

TEST_F(SoundScript, StreamsNeverTakeEffectsAndTheirLengthIsLeftToTheFacade) {
  Run("SFXPlayStream(\"msx/office.ogg\", \"music\", \"MUSIC\", 0.5, 0.5, true)");
  m_system->UpdateLibrary();
  Advance(0.1f);
  const sfx::st_PlayParams params = sfx::GetSoundParams("music");
  EXPECT_TRUE(params.ignoreFx);
  EXPECT_TRUE(params.loop);
  EXPECT_FLOAT_EQ(params.volume, 0.5f);
}

TEST_F(SoundScript, SoundAndChannelCommandsReachTheirSounds) {
  Run("SFXPlaySound(\"ui_confirm.wav\", \"a\", \"PLAYER\", 1.0, 0.5, true)\n"
      "SFXPlaySound(\"ui_confirm.wav\", \"b\", \"GUI\", 1.0, 0.5, true)\n"
      "SFXPauseSound(\"a\", true)");
  Advance(0.05f);
  EXPECT_TRUE(Paused("a"));
  EXPECT_FALSE(Paused("b"));
  Run("SFXPauseSound(\"a\", false)\nSFXPauseChannel(\"GUI\", true)");
  Advance(0.05f);
  EXPECT_FALSE(Paused("a"));
  EXPECT_TRUE(Paused("b"));
  Run("SFXFadeSoundVolume(\"a\", 0.5)\nSFXSetSoundPan(\"a\", 0.0)");
  Advance(0.05f);
  EXPECT_FLOAT_EQ(sfx::GetSoundParams("a").volume, 0.5f);
  Run("SFXStopSound(\"a\")\nSFXStopChannel(\"GUI\")");
  Advance(1.1f);
  EXPECT_FALSE(m_system->IsPlaying("a"));
  EXPECT_FALSE(m_system->IsPlaying("b"));
  Run("SFXFadeMasterVolume(0.25, 0)");
  Advance(0.05f);
  EXPECT_FLOAT_EQ(m_system->GetMasterVolume(), 0.25f);
  EXPECT_FALSE(m_log->contains("wrong parameter"));
}

TEST_F(SoundScript, PlaylistFunctionsBuildAndClearAPlaylist) {
  Run("SFXAddStreamToPlaylist(\"msx/office.ogg\", \"office\")\n"
      "SFXSetStreamPlaylistTimes(\"office\", 5.0, 10.0)");
  sfx::cl_PlaylistCtrl* ctrl = sfx::GetPlaylistCtrl();
  ASSERT_NE(ctrl, nullptr);
  EXPECT_NE(ctrl->GetPlaylist("office", sfx::PLAY_STREAM, false), nullptr);
  Run("SFXRemoveStreamFromPlaylist(\"msx/office.ogg\", \"office\")\nSFXClearStreamPlaylist(\"office\", true)");
  EXPECT_EQ(ctrl->GetPlaylist("office", sfx::PLAY_STREAM, false), nullptr);
}

TEST_F(SoundScript, MissingNamesBecomeDefaultWithAMessageOptionalNumbersStaySilent) {
  WriteWav("default", 2.0);
  Run("SFXPlaySound(\"default\", \"default\", \"GUI\", 1.0, 0.5, true)");
  ASSERT_TRUE(m_system->IsPlaying("default"));
  m_log->clear();
  Run("SFXStopSound()");
  Advance(1.1f);
  EXPECT_FALSE(m_system->IsPlaying("default")) << "without arguments the sound \"default\" stops";
  EXPECT_EQ(m_log->count("wrong parameter 1 - 'string' expected."), 1);
  EXPECT_EQ(m_log->count("wrong parameter 2"), 0) << "the fade time is optional";

  m_log->clear();
  Run("SFXPauseSound(\"x\")\nSFXSetStreamPlaylistTimes(\"office\")\nSFXRemoveFx()\nSFXAddFx(3, 1.0)\nSFXRemoveAllFx()");
  EXPECT_EQ(m_log->count("wrong parameter 2 - 'boolean' expected."), 1);
  EXPECT_EQ(m_log->count("wrong parameter 2 - 'float' expected."), 1);
  EXPECT_EQ(m_log->count("wrong parameter 3 - 'float' expected."), 1);
  EXPECT_EQ(m_log->count("wrong parameter 1 - 'integer' expected."), 1);
  EXPECT_EQ(m_log->count("wrong parameter"), 4) << "the effect's twelve numbers are optional";
}

}  // namespace
