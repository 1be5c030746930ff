// Playing, collecting and freeing sounds, streams, the "sfx/" archive route and shut-down.
#include <string>

#include "SoundFixture.h"
#include "base/data/Binary.h"
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/file/FileArchive.h"
#include "sound/PlaylistCtrl.h"
#include "sound/Sfx.h"
#include "platform/video/Video.h"
#include "support/TimeScale.h"

namespace soundtest {
namespace {

class PlaySample : public SoundTest {};
class Streams : public SoundTest {};
class ShutDown : public SoundTest {};

TEST_F(PlaySample, ReportsItsLengthToTheFrameAndReplacesASoundOfTheSameName) {
  const std::string file = WriteWav("long.wav", 2.5);
  // Not whole seconds: a spoken line waits for the length, and must not end before its sample.
  EXPECT_NEAR(Play(file, "a"), 2.5f, 1e-4f);
  EXPECT_NEAR(m_system->GetSampleLength("a"), 2.5f, 1e-4f);
  const int first = m_system->GetSoundSlot("a");
  EXPECT_NEAR(Play(file, "a", "MUSIC"), 2.5f, 1e-4f);
  EXPECT_NE(m_system->GetSoundSlot("a"), first);
  EXPECT_EQ(Lib().LiveSamples(), 1);
  EXPECT_EQ(Lib().BusyVoices(), 1);
  Advance(0.5f);
  EXPECT_NEAR(m_system->GetPlayPosition("a"), 0.5f, 0.01f);

  EXPECT_EQ(Play(file, "b", "NOWHERE"), -1.0f);
  EXPECT_EQ(Play(file, "b", nullptr), -1.0f);
  EXPECT_EQ(m_system->PlaySample(7, file.c_str(), "b", "PLAYER", nullptr, 0), -1.0f);
  EXPECT_EQ(Lib().LiveSamples(), 1);
  EXPECT_EQ(m_system->GetPlayPosition("b"), -1.0f);
  EXPECT_EQ(m_system->GetSampleLength("b"), -1.0f);
}

TEST_F(PlaySample, AFileThatDoesNotLoadLogsTheLibraryErrorText) {
  EXPECT_EQ(Play("missing.wav", "a"), -1.0f);
  EXPECT_TRUE(m_log->contains("\nError at Sample_Load missing.wav. FMOD Error: File not found "));
  EXPECT_TRUE(m_log->contains("ERROR: sound 'missing.wav': file not found"));  // the library's line reaches the log
  WriteBytes("broken.wav", {'R', 'I', 'F', 'F', 1, 2, 3});
  EXPECT_EQ(Play("broken.wav", "a"), -1.0f);
  EXPECT_TRUE(m_log->contains("FMOD Error: Unknown file format"));
  EXPECT_FALSE(m_system->IsPlaying("a"));
}

// A sound that does not load (a footstep's, from the archive) is told once per cause, not at
// every play, and told again only after it has loaded in between.
TEST_F(PlaySample, ASoundThatDoesNotLoadIsToldOncePerCauseUntilItLoads) {
  auto bytes = [](const std::vector<uint8_t>& data) {
    base::Binary b;
    b.set(static_cast<int>(data.size()), data.data());
    return b;
  };
  const base::Binary noise = bytes(std::vector<uint8_t>(300, 0xAB)), shortBytes = bytes({1, 2});
  const base::Binary wav = bytes(audiotest::MakeWav(44100, 1, 16, audiotest::Sine(44100, 1, 0.1, 441.0, 0.5)));
  auto step = [&](const base::Binary& b) {
    return m_system->PlaySampleFromMemory(sfx::PLAY_SAMPLE_MEMORY, &b, "walk", "PLAYER", nullptr);
  };
  auto told = [&](const char* text) { return m_log->count(text); };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(step(noise), -1.0f);
  EXPECT_EQ(told("ERROR: sound 'walk': neither a WAV nor an Ogg file"), 1);
  EXPECT_EQ(told("Error at Sample_Load walk. FMOD Error: Unknown file format"), 1);
  EXPECT_EQ(step(shortBytes), -1.0f);  // another cause
  EXPECT_EQ(told("ERROR: sound 'walk': too short to be a sound file"), 1);
  EXPECT_EQ(told("Error at Sample_Load walk."), 1);  // the library's error is the same
  ASSERT_GE(step(wav), 0.0f);
  EXPECT_EQ(step(noise), -1.0f);
  EXPECT_EQ(told("ERROR: sound 'walk': neither a WAV nor an Ogg file"), 2);
  EXPECT_EQ(told("Error at Sample_Load walk."), 2);
  // A file goes by its path.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Play("missing.wav", "a"), -1.0f);
  EXPECT_EQ(told("ERROR: sound 'missing.wav': file not found"), 1);
  EXPECT_EQ(told("Error at Sample_Load missing.wav."), 1);
}

TEST_F(PlaySample, FinishedSoundsAreCollectedOnceASecond) {
  ASSERT_GE(Play(WriteWav("short.wav", 0.2), "a"), 0.0f);
  Advance(0.5f);
  EXPECT_FALSE(m_system->IsPlaying("a"));
  EXPECT_NE(m_system->GetSoundSlot("a"), -1);  // not yet collected
  Advance(0.4f);
  EXPECT_NE(m_system->GetSoundSlot("a"), -1);
  Advance(0.2f);  // the second is full
  EXPECT_EQ(m_system->GetSoundSlot("a"), -1);
  EXPECT_EQ(Lib().LiveSamples(), 0);
  EXPECT_EQ(Lib().BusyVoices(), 0);
}

TEST_F(PlaySample, AThousandPlaysLeaveNoSamplesBehind) {
  const std::string file = WriteWav("click.wav", 0.01);
  for (int i = 0; i < 1000; ++i) {
    const std::string name = "click" + std::to_string(i % 7);
    ASSERT_GE(Play(file, name.c_str(), i % 2 ? "GUI" : "PLAYER"), 0.0f);
    if (i % 50 == 0) Advance(1.1f);
  }
  Advance(1.1f);
  Advance(1.1f);
  EXPECT_EQ(Lib().LiveSamples(), 0);
}

TEST_F(PlaySample, ASampleWithoutAFreeVoiceIsDroppedAtOnce) {
  const std::string file = WriteWav("tone.wav", 1.0);
  for (int i = 0; i < 32; ++i) ASSERT_GE(Play(file, ("loop" + std::to_string(i)).c_str(), "PLAYER", 1.0f, true), 0.0f);
  EXPECT_EQ(Play(file, "one too many"), -1.0f);
  EXPECT_FALSE(m_system->IsPlaying("one too many"));
  EXPECT_EQ(Lib().LiveSamples(), 32);
  EXPECT_TRUE(m_log->contains("Warning: sound 'one too many' on channel 'PLAYER' not played"));
}

TEST_F(PlaySample, EffectsReachOnlySoundsThatDoNotIgnoreThem) {
  const std::string file = WriteWav("tone.wav", 1.0);
  const float echo[12] = {50, 50, 100, 100, 0};
  m_system->AddFx(3, echo);
  ASSERT_GE(Play(file, "wet"), 0.0f);
  sfx::st_PlayParams dry;
  dry.ignoreFx = true;
  ASSERT_GE(m_system->PlaySample(sfx::PLAY_SAMPLE, file.c_str(), "dry", "PLAYER", &dry, 0), 0.0f);
  float params[12] = {};
  const int wetEffect = (m_system->GetSoundSlot("wet") & 0xFFF) << 4;  // the voice's first effect
  ASSERT_TRUE(Lib().GetEffectParams(wetEffect, params));
  EXPECT_EQ(params[0], 50.0f);
  EXPECT_EQ(params[2], 100.0f);
  EXPECT_EQ(Lib().EnableEffect(m_system->GetSoundSlot("dry"), 3), -1);  // loaded without the effects bit
}

TEST_F(Streams, AStreamStartsWhenOpenedAndOneThatFailsWhileOpeningIsRemoved) {
  WriteOgg("music.ogg", 1.5);
  EXPECT_EQ(m_system->PlaySample(sfx::PLAY_STREAM, "music.ogg", "m", "MUSIC", nullptr, 0), 0.0f);  // opening
  EXPECT_TRUE(m_system->IsPlaying("m"));
  EXPECT_EQ(m_system->GetSampleLength("m"), -1.0f);
  m_system->UpdateLibrary();
  m_system->Update(0.05f);
  EXPECT_GE(m_system->GetSoundSlot("m"), 0);
  EXPECT_EQ(Volume("m"), 255);

  WriteBytes("broken.ogg", {'O', 'g', 'g', 'S', 0, 0, 0});
  EXPECT_EQ(m_system->PlaySample(sfx::PLAY_STREAM, "broken.ogg", "b", "MUSIC", nullptr, 0), 0.0f);
  EXPECT_TRUE(m_system->IsPlaying("b"));
  m_system->UpdateLibrary();
  m_system->Update(0.05f);
  EXPECT_FALSE(m_system->IsPlaying("b"));
  EXPECT_TRUE(m_system->IsPlaying("m"));
  EXPECT_EQ(Lib().LiveStreams(), 1);

  m_system->StopSound("m", 0.0f);
  m_system->Update(0.05f);
  EXPECT_EQ(Lib().LiveStreams(), 0);
}

TEST_F(Streams, TheUpdateThreadOpensStreamsWithoutTheMainThread) {
  WriteOgg("music.ogg", 1.0);
  ASSERT_GE(sfx::PlaySound(sfx::PLAY_STREAM, "music.ogg", "m", "MUSIC", sfx::st_PlayParams()), 0.0f);
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] {
        m_system->Update(0.02f);
        return m_system->GetSoundSlot("m") >= 0;
      },
      60000));
}

TEST_F(PlaySample, BytesPlayAsASampleFromMemoryAndAChannelAddedAgainStartsEmpty) {
  const std::vector<uint8_t> wav = audiotest::MakeWav(44100, 1, 16, audiotest::Sine(44100, 1, 1.5, 441.0, 0.5));
  base::Binary bytes;
  bytes.set(static_cast<int>(wav.size()), wav.data());
  EXPECT_EQ(sfx::PlaySoundData(sfx::PLAY_STREAM, bytes, "mem", "SPEECH", sfx::st_PlayParams()), 1.5f);
  EXPECT_TRUE(m_system->IsPlaying("mem"));
  EXPECT_EQ(sfx::PlaySoundData(0, base::Binary(), "empty", "SPEECH", sfx::st_PlayParams()), -1.0f);

  sfx::st_ChannelParams quiet;
  quiet.volume = 0.5f;
  EXPECT_FALSE(m_system->AddChannel("SPEECH", &quiet));  // false even when it worked
  EXPECT_FALSE(m_system->IsPlaying("mem"));
  EXPECT_EQ(Lib().LiveSamples(), 0);
  ASSERT_GE(sfx::PlaySoundData(0, bytes, "mem", "SPEECH", sfx::st_PlayParams()), 0.0f);
  EXPECT_EQ(Volume("mem"), 128);
}

class ArchiveFixture : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    WriteWav("sfx/ui/click.wav", 1.2);
    WriteWav("sfx/ui/loose.wav", 1.2);
    base::StaticVariant build, load;
    ASSERT_TRUE(base::xml::read_text(
        build, R"(<Archive label="Sfx" file="sfx.pak"><File path="sfx/ui/click.wav"/></Archive>)"));
    base::cl_FileArchive builder;
    ASSERT_TRUE(builder.Build(build));
    ASSERT_TRUE(base::xml::read_text(load, R"(<Archive label="Sfx" file="sfx.pak"/>)"));
    ASSERT_TRUE(m_archives.Load(load));
    std::filesystem::remove(m_dir.path("sfx/ui/click.wav"));  // only the archive has it now
  }
  base::tResourceType<base::cl_FileArchive> m_archives;
};

TEST_F(ArchiveFixture, SfxNamesComeFromTheArchiveInAnyCaseAndMissingMembersFromDisk) {
  sfx::st_PlayParams params;
  EXPECT_NEAR(sfx::PlaySound(sfx::PLAY_SAMPLE, "sfx/ui/click.wav", "a", "GUI", params), 1.2f, 1e-4f);
  EXPECT_NEAR(sfx::PlaySound(sfx::PLAY_SAMPLE_3D, "SFX/UI/Click.wav", "b", "GUI", params), 1.2f, 1e-4f);
  EXPECT_FALSE(m_log->contains("Could not read Sfx"));

  EXPECT_NEAR(sfx::PlaySound(sfx::PLAY_SAMPLE, "sfx/ui/loose.wav", "c", "GUI", params), 1.2f, 1e-4f);
  EXPECT_NEAR(sfx::PlaySound(sfx::PLAY_SAMPLE, "sfx/ui/loose.wav", "c2", "GUI", params), 1.2f, 1e-4f);
  // Told once, not at every play of the file.
  EXPECT_EQ(m_log->count("\nERROR! Could not read Sfx out of Sfx.dat"), 1);
  // A stream is always opened from disk: here there is no such file.
  EXPECT_EQ(sfx::PlaySound(sfx::PLAY_STREAM, "sfx/ui/click.wav", "d", "GUI", params), 0.0f);
  m_system->UpdateLibrary();
  m_system->Update(0.05f);
  EXPECT_FALSE(sfx::IsSoundPlaying("d"));
  EXPECT_TRUE(m_log->contains("ERROR: sound stream 'sfx/ui/click.wav': file not found"));
  EXPECT_TRUE(sfx::IsSoundPlaying("a"));
}

TEST_F(ArchiveFixture, ListenerZIsNegated) {
  ASSERT_TRUE(sfx::SetListener(1, 2, 3, 0, 0, 1, 0, 1, 0));
  float position[3], forward[3], up[3];
  Lib().GetListener(position, forward, up);
  EXPECT_EQ(position[2], -3.0f);
  EXPECT_EQ(forward[2], -1.0f);
  EXPECT_EQ(up[1], 1.0f);
}

// Videos mix into the library's external voice only while the library is open: a clip opened
// after shut-down must not write into a closed library.
TEST_F(ShutDown, VideosGetTheExternalVoiceWhileTheLibraryIsOpen) {
  EXPECT_EQ(platform::video::GetSoundOutput(), Lib().External());
  m_system->FadeOutAll(0.0f);
  Advance(0.1f);
  EXPECT_EQ(platform::video::GetSoundOutput(), nullptr);
}

TEST_F(ShutDown, FadeOutAllWithChannelsClosesTheLibraryAndStopsTheThread) {
  const std::string file = WriteWav("tone.wav", 2.0);
  ASSERT_GE(Play(file, "a", "PLAYER", 1.0f, true), 0.0f);
  ASSERT_GE(Play(file, "b", "MUSIC"), 0.0f);
  ASSERT_TRUE(m_system->FadeSoundVolume("a", 0.3f, 5.0f));
  EXPECT_TRUE(m_system->IsUpdateThreadRunning());
  m_system->FadeOutAll(0.0f);
  EXPECT_FALSE(m_system->IsInitialised());
  EXPECT_FALSE(Lib().IsInitialised());
  EXPECT_FALSE(m_system->IsUpdateThreadRunning());
  EXPECT_FALSE(m_system->HasChannel("PLAYER"));
  EXPECT_EQ(m_system->GetFadeRecordCount(), 0u);
  EXPECT_FALSE(m_system->IsPlaying("a"));
  m_system->Update(1.0f);  // nothing left to do
  m_system->FadeOutAll(0.0f);
}

TEST_F(ShutDown, AFadedShutDownWaitsForItsUpdate) {
  ASSERT_GE(Play(WriteWav("tone.wav", 2.0), "a", "PLAYER", 1.0f, true), 0.0f);
  m_system->FadeOutAll(1.0f);
  EXPECT_TRUE(m_system->IsInitialised());
  m_system->Update(0.1f);
  EXPECT_FALSE(m_system->IsInitialised());
}

}  // namespace
}  // namespace soundtest

namespace soundtest {
namespace {

TEST(SfxWithoutASoundSystem, FunctionsGiveTheirFallbacksInsteadOfCrashing) {
  ASSERT_EQ(sfx::GetSoundSystem(), nullptr);
  EXPECT_EQ(sfx::PlaySound(sfx::PLAY_SAMPLE, "sfx/a.wav", "a", "PLAYER", sfx::st_PlayParams()), -1.0f);
  EXPECT_FALSE(sfx::IsSoundPlaying("a"));
  EXPECT_EQ(sfx::GetSoundLength("a"), -1.0f);
  EXPECT_FALSE(sfx::StopAll(0.0f));
  EXPECT_FALSE(sfx::StartUp());
  sfx::Update(0.1f);
  sfx::SetActive(false);
  sfx::FadeOutAll(0.0f);
  EXPECT_FALSE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, "msx/office.ogg", "MUSIC", 1.0f));
  sfx::ClearAllPlaylists(true, 0.0f);
}

}  // namespace
}  // namespace soundtest

