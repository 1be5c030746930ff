// The player end to end: clips made with libavcodec under ".bik" names, opened by content,
// paced by the stepped clock, paused, ended, and their sound heard in the mixer's output.
#include <algorithm>
#include <cmath>
#include <fstream>

#include "VideoFixture.h"
#include "graphics/video/VideoFunctions.h"
#include "platform/audio/SoundLibrary.h"

namespace videotest {

namespace {

platform::video::st_ClipSettings Tiny(int frames, int rateNum = 25, int rateDen = 1) {
  platform::video::st_ClipSettings s;
  s.width = 32;
  s.height = 18;
  s.frames = frames;
  s.rateNum = rateNum;
  s.rateDen = rateDen;
  s.soundCodec = "";
  return s;
}

}  // namespace

// ---- opening

TEST_F(VideoTest, ProbeFindsTheContainerWhateverTheExtension) {
  const std::string bik = MakeClip("clip.bik", Tiny(10));
  std::filesystem::copy_file(bik, Path("clip.ogg"));
  std::filesystem::copy_file(bik, Path("clip"));
  for (const char* name : {"clip.bik", "clip.ogg", "clip"}) {
    EXPECT_NEAR(m_player->Play(Path(name).c_str(), nullptr, 0, 0, 64, 48, 1.0f), 0.4f, 1e-5f) << name;
    ASSERT_TRUE(m_player->IsPlaying()) << name;
    EXPECT_EQ(Codec()->Handle()->Width, 32u);
    EXPECT_EQ(Codec()->Handle()->Height, 18u);
    EXPECT_EQ(Codec()->Handle()->Frames, 10u);
  }
}

TEST_F(VideoTest, MissingFileGivesMinusOneAndOpensNothing) {
  EXPECT_FLOAT_EQ(m_player->GetTime(), -1.0f);  // idle
  EXPECT_FLOAT_EQ(m_player->Play(Path("nothing.bik").c_str(), nullptr, 0, 0, 64, 48, 1.0f), -1.0f);
  EXPECT_FALSE(m_player->IsPlaying());
  EXPECT_FLOAT_EQ(m_player->GetTime(), -1.0f);
  EXPECT_FALSE(m_player->Pause(true));
  EXPECT_TRUE(LogHas("ERROR: video '" + Path("nothing.bik") + "' not found"));
}

TEST_F(VideoTest, UnreadableFilesAreLoggedAndLeaveNothingOpen) {
  std::ofstream(Path("junk.bik"), std::ios::binary) << std::string(4096, '\x5a');
  EXPECT_FLOAT_EQ(m_player->Play(Path("junk.bik").c_str(), nullptr, 0, 0, 64, 48, 1.0f), -1.0f);
  EXPECT_TRUE(LogHas("ERROR: video '" + Path("junk.bik") + "': "));
  EXPECT_FALSE(m_player->IsPlaying());
  std::ofstream(Path("empty.bik"), std::ios::binary).flush();
  EXPECT_FLOAT_EQ(m_player->Play(Path("empty.bik").c_str(), nullptr, 0, 0, 64, 48, 1.0f), -1.0f);
  EXPECT_FALSE(m_player->IsPlaying());
  // A playing clip is closed by the next Play, even one that fails.
  m_player->Play(MakeClip("good.bik", Tiny(5)).c_str(), nullptr, 0, 0, 64, 48, 1.0f);
  ASSERT_TRUE(m_player->IsPlaying());
  m_player->Play(Path("junk.bik").c_str(), nullptr, 0, 0, 64, 48, 1.0f);
  EXPECT_FALSE(m_player->IsPlaying());
}

TEST_F(VideoTest, DamagedClipEndsThePlayerWithoutCrashing) {
  platform::video::st_ClipSettings s = Tiny(50);
  s.soundCodec = "pcm_s16le";
  const std::string path = MakeClip("whole.bik", s);
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Cut in the middle, and a copy with the middle overwritten.
  std::ofstream(Path("cut.bik"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  std::string scrambled = bytes;
  for (size_t i = bytes.size() / 3; i < bytes.size() * 2 / 3; i += 7) scrambled[i] = static_cast<char>(i * 31);
  std::ofstream(Path("scrambled.bik"), std::ios::binary) << scrambled;
  for (const char* name : {"cut.bik", "scrambled.bik"}) {
    if (m_player->Play(Path(name).c_str(), nullptr, 0, 0, 64, 48, 1.0f) < 0.0f) continue;  // refused: fine
    for (int i = 0; i < 200 && m_player->IsPlaying(); ++i) Step(40);
    EXPECT_FALSE(m_player->IsPlaying()) << name;
  }
}

// ---- time and pacing

TEST_F(VideoTest, LengthAndTimeUseTheFractionalRate) {
  // 1010 frames at 25 per second last 40.4 s.
  EXPECT_NEAR(m_player->Play(MakeClip("long.bik", Tiny(1010)).c_str(), nullptr, 0, 0, 64, 48, 1.0f), 40.4f, 1e-4f);
  // 300 frames at 30000/1001 are 10.01 s.
  const float length = m_player->Play(MakeClip("ntsc.bik", Tiny(310, 30000, 1001)).c_str(), nullptr, 0, 0, 64, 48, 1.0f);
  EXPECT_NEAR(length, 310 * 1001 / 30000.0f, 1e-4f);
  EXPECT_EQ(Codec()->Handle()->FrameRate, 30000u);
  EXPECT_EQ(Codec()->Handle()->FrameRateDiv, 1001u);
  EXPECT_FLOAT_EQ(m_player->GetTime(), 0.0f);  // before the first frame
  // Steps shorter than a frame: never a skip, so every frame is counted.
  while (m_player->IsPlaying() && Codec()->Handle()->FrameNum < 300) Step(15);
  ASSERT_TRUE(m_player->IsPlaying());
  EXPECT_EQ(Codec()->Handle()->FrameNum, 300u);
  EXPECT_NEAR(m_player->GetTime(), 10.01f, 1e-4f);
}

TEST_F(VideoTest, LateFrameIsDroppedAndTheEndStopsThePlayer) {
  m_player->Play(MakeClip("short.bik", Tiny(12)).c_str(), nullptr, 0, 0, 64, 48, 1.0f);
  Step(0);  // frame 0 is due at once (the 10 ms sleep is inside the update)
  EXPECT_EQ(Codec()->Handle()->FrameNum, 1u);
  Step(30);  // 40 ms: frame 1 due, not late
  EXPECT_EQ(Codec()->Handle()->FrameNum, 2u);
  Step(100);  // 150 ms: frame 2 is more than a frame late, dropped for frame 3
  EXPECT_EQ(Codec()->Handle()->FrameNum, 4u);
  EXPECT_NEAR(m_player->GetTime(), 0.16f, 1e-5f);
  for (int i = 0; i < 50 && m_player->IsPlaying(); ++i) Step(30);
  EXPECT_FALSE(m_player->IsPlaying());
  EXPECT_FLOAT_EQ(m_player->GetTime(), -1.0f);
}

TEST_F(VideoTest, PauseHoldsTheClockAndResumeGoesOn) {
  m_player->Play(MakeClip("pause.bik", Tiny(40)).c_str(), nullptr, 0, 0, 64, 48, 1.0f);
  Step(0);
  Step(30);
  ASSERT_EQ(Codec()->Handle()->FrameNum, 2u);
  EXPECT_TRUE(gfx::IsVideoPlaying());  // the wrappers reach the player
  gfx::PauseVideo(true);
  for (int i = 0; i < 20; ++i) Step(90);  // two seconds paused
  EXPECT_EQ(Codec()->Handle()->FrameNum, 2u);
  EXPECT_TRUE(m_player->IsPlaying());
  gfx::PauseVideo(false);
  Step(30);  // the clock resumes where it stopped: frame 2 due, nothing skipped
  EXPECT_EQ(Codec()->Handle()->FrameNum, 3u);
  EXPECT_NEAR(gfx::GetVideoTime(), 0.12f, 1e-5f);
  gfx::StopVideo();
  EXPECT_FALSE(gfx::IsVideoPlaying());
  EXPECT_FLOAT_EQ(gfx::GetVideoTime(), -1.0f);
}

// ---- sound

TEST_F(VideoTest, VolumeScalesTheVideoSoundInTheMix) {
  platform::audio::SoundLibrary library;
  ASSERT_TRUE(library.SetOutput(platform::audio::Output::Pull));
  ASSERT_TRUE(library.Init(44100, 8, 0));
  platform::video::SetSoundOutput(library.External());
  platform::video::st_ClipSettings s = Tiny(50);
  s.soundCodec = "pcm_s16le";
  const std::string path = MakeClip("tone.bik", s, nullptr, [](int64_t first, float* stereo, int count) {
    for (int i = 0; i < count; ++i)
      stereo[i * 2] = stereo[i * 2 + 1] = 0.5f * std::sin(static_cast<float>(first + i) * 0.0627f);
  });
  auto peakAt = [&](float volume, int32_t expectedVolume) {
    m_player->Play(path.c_str(), nullptr, 0, 0, 64, 48, volume);
    EXPECT_EQ(platform::video::GetVolume(Codec()->Handle(), 0), expectedVolume);
    int16_t settle[2];
    library.Mix(settle, 1);  // as a device would: the previous clip's leftovers are dropped
    for (int i = 0; i < 10; ++i) Step(30);
    std::vector<int16_t> mixed(4096 * 2);
    library.Mix(mixed.data(), 4096);
    int peak = 0;
    for (int16_t v : mixed) peak = std::max(peak, std::abs(static_cast<int>(v)));
    m_player->Stop();
    return peak;
  };
  const int full = peakAt(1.0f, 32768);
  const int half = peakAt(0.5f, 16384);
  EXPECT_GT(full, 8000);
  EXPECT_NEAR(half, full / 2, full / 20);
  platform::video::SetSoundOutput(nullptr);
  library.Close();
}

}  // namespace videotest

namespace videotest {

// ---- frames the frame loop need not draw

// Between its frames a video filling the window shows what was drawn: the frame loop holds the
// frame. A new frame, a picture not drawn yet, a pause or a video in part of the window draws.
TEST_F(VideoTest, AFullWindowVideoHoldsTheFrameOnlyBetweenItsFramesOnceDrawn) {
  auto draw = [this] {
    ASSERT_TRUE(BeginFrame());
    m_player->Render();
    EndFrame();
  };
  m_player->Play(MakeClip("held.bik", Tiny(10)).c_str(), nullptr, 0, 0, 64, 48, 1.0f);
  Step(0);  // frame 0 (the player naps 10 ms an update)
  EXPECT_FALSE(m_system->TakeFrameHold()) << "nothing drawn yet";
  draw();
  Step(0);  // 20 ms: frame 1 is due at 40
  EXPECT_TRUE(m_system->TakeFrameHold());
  Step(20);  // 50 ms: frame 1
  EXPECT_FALSE(m_system->TakeFrameHold());
  Step(0);  // 60 ms: frame 1 not drawn yet
  EXPECT_FALSE(m_system->TakeFrameHold());
  draw();
  Step(0);
  EXPECT_TRUE(m_system->TakeFrameHold());
  m_player->Pause(true);
  Step(0);
  EXPECT_FALSE(m_system->TakeFrameHold()) << "paused";
  m_player->Pause(false);

  m_player->Play(MakeClip("corner.bik", Tiny(10)).c_str(), nullptr, 0, 0, 32, 24, 1.0f);
  Step(0);
  draw();
  Step(0);
  EXPECT_FALSE(m_system->TakeFrameHold()) << "the rest of the window may change";
}

}  // namespace videotest
