// The sound system on a fake clock: the library in pull mode (the test mixes), the frame time
// handed to Update by the test, a scratch working folder with the sounds the test writes, and
// the engine log captured.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "../audio/SoundMaker.h"
#include "../base/test_support.h"
#include "base/file/FileArchive.h"
#include "base/resource/Resource.h"
#include "sound/FModSoundSystem.h"

namespace soundtest {

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A mono 16-bit WAV of a sine at 44.1 kHz, written under the working folder; its path.
  std::string WriteWav(const std::string& name, double seconds, double amplitude = 0.5);
  std::string WriteOgg(const std::string& name, double seconds);
  void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes);
  // Writes each name as a 2 s WAV and packs the folder into the "Sfx" archive, which then is the
  // only place they are found (the loose files are removed).
  void MakeSfxArchive(const char* folder, std::initializer_list<const char*> names);
  // Plays a WAV file (kind 0) under name on channel; the result of PlaySample.
  float Play(const std::string& file, const char* name, const char* channel = "PLAYER", float volume = 1.0f,
             bool loop = false);
  // Mixes seconds of sound and then runs one Update with that time.
  std::vector<int16_t> Advance(float seconds);
  // The library's volume and pan of the sound's voice (-1 when it has none).
  int Volume(const char* name);
  int Pan(const char* name);
  bool Paused(const char* name);
  platform::audio::SoundLibrary& Lib() { return m_system->GetLibrary(); }

  testsupport::TempDir m_dir;
  std::filesystem::path m_oldCwd;
  std::unique_ptr<testsupport::LogCapture> m_log;
  std::unique_ptr<sfx::cl_FModSoundSystem> m_system;
  base::tResourceType<base::cl_FileArchive> m_archives;
};

// RMS of the left channel of interleaved stereo, full scale 1.
double Rms(const std::vector<int16_t>& stereo);

}  // namespace soundtest
