#include "SoundFixture.h"

#include <cmath>
#include <fstream>

#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"

namespace soundtest {

void SoundTest::SetUp() {
  m_oldCwd = std::filesystem::current_path();
  std::filesystem::current_path(m_dir.path());
  m_log = std::make_unique<testsupport::LogCapture>();
  m_system = std::make_unique<sfx::cl_FModSoundSystem>();
  ASSERT_TRUE(m_system->SetOutput(platform::audio::Output::Pull));
  ASSERT_TRUE(m_system->StartUp());
  const struct {
    const char* name;
    int priority;
  } channels[] = {{"PLAYER", 1}, {"MUSIC", 0}, {"AMBIENT", 0}, {"SPEECH", 2}, {"GUI", 0}};
  for (const auto& c : channels) {
    sfx::st_ChannelParams params;
    params.priority = c.priority;
    m_system->AddChannel(c.name, &params);
  }
}

void SoundTest::TearDown() {
  m_system.reset();
  m_log.reset();
  std::filesystem::current_path(m_oldCwd);
}

void SoundTest::WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path path = m_dir.path(name);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string SoundTest::WriteWav(const std::string& name, double seconds, double amplitude) {
  WriteBytes(name, audiotest::MakeWav(44100, 1, 16, audiotest::Sine(44100, 1, seconds, 441.0, amplitude)));
  return name;
}

void SoundTest::MakeSfxArchive(const char* folder, std::initializer_list<const char*> names) {
  for (const char* name : names) WriteWav(name, 2.0);
  base::StaticVariant build, load;
  const std::string archive = std::string(R"(<Archive label="Sfx" file="sfx.pak"><Dir path=")") + folder +
                              R"(" extension="*.ogg"/></Archive>)";
  ASSERT_TRUE(base::xml::read_text(build, archive.c_str()));
  base::cl_FileArchive builder;
  ASSERT_TRUE(builder.Build(build));
  ASSERT_TRUE(base::xml::read_text(load, R"(<Archive label="Sfx" file="sfx.pak"/>)"));
  ASSERT_TRUE(m_archives.Load(load));
  std::filesystem::remove_all(m_dir.path("sfx"));
}

std::string SoundTest::WriteOgg(const std::string& name, double seconds) {
  WriteBytes(name, audiotest::MakeOgg(22050, 1, audiotest::Sine(22050, 1, seconds, 441.0, 0.5)));
  return name;
}

float SoundTest::Play(const std::string& file, const char* name, const char* channel, float volume, bool loop) {
  sfx::st_PlayParams params;
  params.volume = volume;
  params.loop = loop;
  return m_system->PlaySample(sfx::PLAY_SAMPLE, file.c_str(), name, channel, &params, 0);
}

std::vector<int16_t> SoundTest::Advance(float seconds) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * 44100.0f + 0.5f) * 2);
  Lib().Mix(out.data(), static_cast<uint32_t>(out.size() / 2));
  m_system->Update(seconds);
  return out;
}

int SoundTest::Volume(const char* name) {
  const int slot = m_system->GetSoundSlot(name);
  return slot < 0 ? -1 : Lib().GetVolume(slot);
}

int SoundTest::Pan(const char* name) {
  const int slot = m_system->GetSoundSlot(name);
  return slot < 0 ? -1 : Lib().GetPan(slot);
}

bool SoundTest::Paused(const char* name) { return Lib().GetPaused(m_system->GetSoundSlot(name)); }

double Rms(const std::vector<int16_t>& stereo) {
  double sum = 0;
  const size_t frames = stereo.size() / 2;
  for (size_t i = 0; i < frames; ++i) {
    const double v = stereo[i * 2] / 32768.0;
    sum += v * v;
  }
  return frames ? std::sqrt(sum / static_cast<double>(frames)) : 0.0;
}

}  // namespace soundtest
