// The sound system made, started and fed by the real platform (headless): the standard channels
// from the options, and a simulated device loss that silences the mix until the reset.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "../audio/SoundMaker.h"
#include "../base/test_support.h"
#include "../support/HeadlessGpu.h"
#include "SoundFixture.h"
#include "base/app/SystemRoot.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"

namespace soundtest {
namespace {

std::vector<int16_t> Pull(sfx::cl_FModSoundSystem& system, float seconds) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * 44100.0f) * 2);
  system.GetLibrary().Mix(out.data(), static_cast<uint32_t>(out.size() / 2));
  return out;
}

TEST(SoundOnThePlatform, DeviceLossSilencesTheMixAndTheResetBringsBackTheStoredMasterLevel) {
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  testsupport::TempDir dir;
  std::ofstream(dir.path("config.xml"))
      << "<Config><Display Fullscreen=\"0\" Width=\"64\" Height=\"48\"/><Localization Language=\"English\"/>"
         "<Options><Sfx><SfxVolume Value=\"1.0\"/><MasterVolume Value=\"0.5\"/></Sfx></Options></Config>";
  const std::vector<uint8_t> wav =
      audiotest::MakeWav(44100, 1, 16, audiotest::Sine(44100, 1, 3.0, 441.0, 0.5));
  std::ofstream(dir.path("tone.wav"), std::ios::binary)
      .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));

  sfx::RegisterSoundSystem();
  {
    base::cl_System system;
    system.SetUserDataPath(dir.path().c_str());
    win32dx9::cl_Platform* platform = win32dx9::CreatePlatform(gpu::Backend::Headless);
    sfx::cl_FModSoundSystem* sound = sfx::GetSoundSystem();
    ASSERT_NE(sound, nullptr);
    ASSERT_TRUE(sound->SetOutput(platform::audio::Output::Pull));
    system.RegisterPlatform(platform);
    ASSERT_TRUE(system.LoadConfig("config.xml"));
    ASSERT_TRUE(system.StartUp());
    ASSERT_TRUE(sound->IsInitialised());
    for (const char* channel : {"PLAYER", "MUSIC", "AMBIENT", "AMBIENT2", "SPEECH", "GUI"})
      EXPECT_TRUE(sound->HasChannel(channel)) << channel;
    EXPECT_EQ(sound->GetMasterVolume(), 0.5f);

    sfx::st_PlayParams params;
    params.loop = true;
    ASSERT_GE(sfx::PlaySound(sfx::PLAY_SAMPLE, dir.path("tone.wav").c_str(), "tone", "MUSIC", params), 0.0f);
    const int slot = sound->GetSoundSlot("tone");
    EXPECT_EQ(sound->GetLibrary().GetVolume(slot), 128);  // MUSIC takes PLAYER's 1.0 (no option of its own)
    const double before = Rms(Pull(*sound, 0.2f));
    EXPECT_GT(before, 0.05);

    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(device->BeginFrame());
    device->GetDevice()->SimulateDeviceLoss();
    device->EndFrame();  // Present reports the loss: the sound is muted
    ASSERT_EQ(device->GetState(), win32dx9::cl_DX9GraphicsDevice::LOST);
    sfx::Update(0.01f);
    EXPECT_EQ(sound->GetLibrary().GetVolume(slot), 0);
    Pull(*sound, 0.05f);  // the mixer's short ramp
    EXPECT_LT(Rms(Pull(*sound, 0.2f)), 1e-4);
    EXPECT_EQ(sound->GetMasterVolume(), 0.5f);

    EXPECT_FALSE(device->BeginFrame());  // the reset; the sound comes back with it
    ASSERT_EQ(device->GetState(), win32dx9::cl_DX9GraphicsDevice::READY);
    sfx::Update(0.01f);
    EXPECT_EQ(sound->GetLibrary().GetVolume(slot), 128);
    Pull(*sound, 0.05f);
    EXPECT_NEAR(Rms(Pull(*sound, 0.2f)), before, before * 0.05);

    system.ShutDown();
    EXPECT_EQ(sfx::GetSoundSystem(), nullptr);  // deleted with the platform
  }
  win32dx9::SoundServices() = win32dx9::st_SoundServices();
}

}  // namespace
}  // namespace soundtest
