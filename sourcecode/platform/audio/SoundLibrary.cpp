// Set-up, samples and voices of the sound library (streams and effects: SoundStreams.cpp).
#include "platform/audio/SoundLibrary.h"

#include <algorithm>
#include <cstring>

#include "platform/audio/Log.h"
#include "platform/os/Path.h"

namespace platform::audio {
namespace {

constexpr int kIndexBits = 12;
constexpr uint32_t kGenerationMask = 0x7FFFF;  // handles stay positive ints

using Lock = std::lock_guard<std::recursive_mutex>;

bool ReadWholeFile(const char* path, std::vector<uint8_t>& out) {
  std::FILE* file = platform::os::OpenResolved(path, "rb");
  if (!file) return false;
  uint8_t block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) out.insert(out.end(), block, block + n);
  std::fclose(file);
  return true;
}

}  // namespace

SoundLibrary::SoundLibrary() = default;

SoundLibrary::~SoundLibrary() { Close(); }

// ---- set-up

bool SoundLibrary::Fail(int code) const {
  m_error = code;
  return false;
}

const char* SoundLibrary::ErrorName(int code) {
  switch (code) {  // ORDER ERROR
    case kOk: return "no error";
    case kErrAlreadyInitialised: return "already initialised";
    case kErrNotInitialised: return "not initialised";
    case kErrOutputInit: return "the output could not be opened";
    case kErrOutputInUse: return "the output is in use";
    case kErrPlay: return "play failed";
    case kErrOutputFormat: return "output format not supported";
    case kErrCooperativeLevel: return "cooperative level";
    case kErrCreateBuffer: return "buffer could not be created";
    case kErrFileNotFound: return "file not found";
    case kErrFileFormat: return "unknown or broken file format";
    case kErrFileVersion: return "file version not supported";
    case kErrInvalidParam: return "invalid parameter";
    case kErrNoEnvironment: return "no environment effects";
    case kErrNoFreeVoice: return "no free voice";
    case kErrRecording: return "recording not supported";
    case kErrMediaPlayer: return "media player missing";
    case kErrCdDevice: return "CD device";
    default: return "unknown error";
  }
}

bool SoundLibrary::SetOutput(Output output) {
  Lock lock(m_lock);
  m_error = kOk;
  if (m_mixer) return Fail(kErrAlreadyInitialised);
  m_output = output;
  return true;
}

bool SoundLibrary::Init(int mixRate, int voices, uint32_t flags) {
  Lock lock(m_lock);
  m_error = kOk;
  if (m_mixer) return Fail(kErrAlreadyInitialised);
  if (mixRate < 8000 || mixRate > 192000 || voices < 1 || voices > kMaxVoices) return Fail(kErrInvalidParam);
  m_mixer = std::make_unique<Mixer>(voices, static_cast<uint32_t>(mixRate));
  m_voices.assign(static_cast<size_t>(voices), Voice{});
  m_mixRate = mixRate;
  m_flags = flags;
  if (m_output == Output::Device) {
    std::string problem;
    m_streamThreads.Start();
    if (m_device.Open(m_mixer.get(), static_cast<uint32_t>(mixRate), problem)) return true;
    Log("ERROR: sound output could not be opened: %s\n", problem.c_str());
    m_streamThreads.Stop();
    m_mixer.reset();
    m_voices.clear();
    return Fail(kErrOutputInit);
  }
  return true;
}

void SoundLibrary::Close() {
  Lock lock(m_lock);
  m_error = kOk;
  m_device.Close();  // no mix runs past this point
  for (auto& [id, stream] : m_streams) stream.feed->Close();  // an open in progress ends at its next step
  m_streamThreads.Stop();
  ReportStreams();
  m_streams.clear();
  m_samples.clear();
  m_voices.clear();
  m_mixer.reset();
  m_mixRate = 0;
}

bool SoundLibrary::IsInitialised() const {
  Lock lock(m_lock);
  return m_mixer != nullptr;
}

int SoundLibrary::GetError() const {
  Lock lock(m_lock);
  return m_error;
}

int SoundLibrary::MixRate() const {
  Lock lock(m_lock);
  return m_mixRate;
}

std::string SoundLibrary::DriverName() const {
  Lock lock(m_lock);
  return m_device.Driver();
}

void SoundLibrary::Mix(int16_t* out, uint32_t frames) {
  // No lock around the mix: the mixer is built for a mixing thread beside the control calls.
  if (!m_mixer || m_device.IsOpen()) {
    std::memset(out, 0, size_t{frames} * 4);
    return;
  }
  if (m_output != Output::Stepped) {
    m_mixer->Mix(out, frames);
    return;
  }
  // Parts no longer than the shortest stream buffer, each decoded for before it is mixed.
  const uint32_t part = static_cast<uint32_t>(m_mixer->MixRate()) * kMinStreamBufferMs / 1000;
  while (frames > 0) {
    const uint32_t n = std::min(frames, part);
    {
      Lock lock(m_lock);
      const int saved = m_error;
      FillStreams();
      ReportStreams();
      m_error = saved;
    }
    m_mixer->Mix(out, n);
    out += size_t{n} * 2;
    frames -= n;
  }
}

ExternalVoice* SoundLibrary::External() {
  Lock lock(m_lock);
  return m_mixer ? &m_mixer->External() : nullptr;
}

// ---- samples

SampleId SoundLibrary::LoadSample(const void* source, uint32_t mode, uint32_t length, const char* label) {
  Lock lock(m_lock);
  m_error = kOk;
  if (!m_mixer) return Fail(kErrNotInitialised), SampleId::None;
  if (!source || ((mode & mode::FromMemory) && length == 0)) return Fail(kErrInvalidParam), SampleId::None;
  const bool fromMemory = (mode & mode::FromMemory) != 0;
  std::string name = label ? label : fromMemory ? "(memory)" : static_cast<const char*>(source);
  std::vector<uint8_t> file;
  const void* bytes = source;
  size_t size = length;
  if (!fromMemory) {
    if (!ReadWholeFile(static_cast<const char*>(source), file)) {
      Refuse(name, "file not found");
      return Fail(kErrFileNotFound), SampleId::None;
    }
    bytes = file.data();
    size = file.size();
  }
  auto pcm = std::make_shared<PcmData>();
  std::string problem;
  if (!DecodeWhole(bytes, size, static_cast<uint32_t>(m_mixRate), (mode & mode::ForceMono) != 0, *pcm, problem)) {
    Refuse(name, problem);
    return Fail(kErrFileFormat), SampleId::None;
  }
  m_refusalsTold.erase(name);
  const int32_t id = m_nextId++;
  m_samples[id] = SampleRecord{std::move(pcm), mode};
  return static_cast<SampleId>(id);
}

void SoundLibrary::Refuse(const std::string& name, const std::string& cause) {
  if (m_refusalsTold[name].insert(cause).second) Log("ERROR: sound '%s': %s\n", name.c_str(), cause.c_str());
}

bool SoundLibrary::FreeSample(SampleId sample) {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_samples.find(static_cast<int32_t>(sample));
  if (it == m_samples.end()) return Fail(kErrInvalidParam);
  for (size_t i = 0; i < m_voices.size(); ++i)
    if (m_voices[i].busy && m_voices[i].sample == sample) Silence(static_cast<int>(i));
  m_samples.erase(it);
  return true;
}

uint32_t SoundLibrary::SampleLength(SampleId sample) const {
  Lock lock(m_lock);
  m_error = kOk;
  auto it = m_samples.find(static_cast<int32_t>(sample));
  if (it == m_samples.end()) return Fail(kErrInvalidParam), 0;
  return it->second.pcm->frames;
}

// ---- voices

int SoundLibrary::Handle(int index) const {
  return static_cast<int>((m_voices[static_cast<size_t>(index)].generation & kGenerationMask) << kIndexBits) | index;
}

SoundLibrary::Voice* SoundLibrary::Find(int handle) const {
  if (handle < 0) return nullptr;
  const int index = handle & ((1 << kIndexBits) - 1);
  if (index >= static_cast<int>(m_voices.size())) return nullptr;
  const Voice& voice = m_voices[static_cast<size_t>(index)];
  if (!voice.busy || Handle(index) != handle) return nullptr;
  return const_cast<Voice*>(&voice);
}

bool SoundLibrary::Ended(int index) const {
  const VoiceStatus status = m_mixer->Status(index);
  return status.ended && status.generation == (m_voices[static_cast<size_t>(index)].generation & 0xFFFFFFu);
}

// A free voice (kAnyVoice: an idle one, else one whose sound has run out), or the one asked for;
// -1 with the error set.
int SoundLibrary::TakeVoice(int voice) {
  const int count = static_cast<int>(m_voices.size());
  if (voice == kAnyVoice) {
    for (int i = 0; i < count; ++i)
      if (!m_voices[static_cast<size_t>(i)].busy) return i;
    for (int i = 0; i < count; ++i)
      if (Ended(i)) return i;
    m_error = kErrNoFreeVoice;
    return -1;
  }
  if (voice < 0 || voice >= count) {
    m_error = kErrInvalidParam;
    return -1;
  }
  return voice;
}

SoundLibrary::Voice& SoundLibrary::Claim(int index) {
  Voice& slot = m_voices[static_cast<size_t>(index)];
  const uint32_t generation = slot.generation;  // kept: the next start counts on from it
  slot = Voice{};
  slot.generation = generation;
  slot.busy = true;
  return slot;
}

void SoundLibrary::Silence(int index) {
  Voice& voice = m_voices[static_cast<size_t>(index)];
  m_mixer->Publish(index, nullptr);
  voice.busy = false;
  voice.sample = SampleId::None;
  voice.stream = StreamId::None;
  voice.effects.clear();
}

// Hands the voice's source and effects to the mixer; restart makes it play from the start.
void SoundLibrary::PublishVoice(int index, bool restart) {
  Voice& voice = m_voices[static_cast<size_t>(index)];
  auto setup = std::make_unique<VoiceSetup>();
  if (restart) {
    voice.generation = (voice.generation + 1) & kGenerationMask;
    if (voice.generation == 0) voice.generation = 1;
  }
  setup->generation = voice.generation;
  if (auto it = m_samples.find(static_cast<int32_t>(voice.sample)); it != m_samples.end()) {
    setup->sample = it->second.pcm;
    setup->loop = (it->second.mode & mode::Loop) != 0;
  } else if (auto st = m_streams.find(static_cast<int32_t>(voice.stream)); st != m_streams.end()) {
    setup->ring = st->second.feed->Ring();
  }
  if (!voice.effects.empty()) setup->effects = std::make_unique<EffectChain>(voice.effects, m_mixer->MixRate());
  m_mixer->SetLevels(index, voice.volume, voice.pan);
  m_mixer->SetPaused(index, voice.paused);
  m_mixer->Publish(index, std::move(setup));
}

int SoundLibrary::Play(int voice, SampleId sample, bool paused) {
  Lock lock(m_lock);
  m_error = kOk;
  if (!m_mixer) return Fail(kErrNotInitialised), -1;
  if (!m_samples.count(static_cast<int32_t>(sample))) return Fail(kErrInvalidParam), -1;
  const int index = TakeVoice(voice);
  if (index < 0) return -1;
  Voice& slot = Claim(index);
  slot.sample = sample;
  slot.paused = paused;
  PublishVoice(index, true);
  return Handle(index);
}

bool SoundLibrary::StopVoice(int handle) {
  Lock lock(m_lock);
  m_error = kOk;
  Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam);
  Silence(static_cast<int>(voice - m_voices.data()));
  return true;
}

bool SoundLibrary::SetPaused(int handle, bool paused) {
  Lock lock(m_lock);
  m_error = kOk;
  Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam);
  voice->paused = paused;
  m_mixer->SetPaused(static_cast<int>(voice - m_voices.data()), paused);
  return true;
}

bool SoundLibrary::GetPaused(int handle) const {
  Lock lock(m_lock);
  m_error = kOk;
  const Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam);
  return voice->paused;
}

bool SoundLibrary::SetVolume(int handle, int volume) {
  Lock lock(m_lock);
  m_error = kOk;
  Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam);
  voice->volume = std::clamp(volume, 0, 255);
  m_mixer->SetLevels(static_cast<int>(voice - m_voices.data()), voice->volume, voice->pan);
  return true;
}

int SoundLibrary::GetVolume(int handle) const {
  Lock lock(m_lock);
  m_error = kOk;
  const Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam), 0;
  return voice->volume;
}

bool SoundLibrary::SetPan(int handle, int pan) {
  Lock lock(m_lock);
  m_error = kOk;
  Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam);
  voice->pan = std::clamp(pan, 0, 255);
  m_mixer->SetLevels(static_cast<int>(voice - m_voices.data()), voice->volume, voice->pan);
  return true;
}

int SoundLibrary::GetPan(int handle) const {
  Lock lock(m_lock);
  m_error = kOk;
  const Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam), 0;
  return voice->pan;
}

bool SoundLibrary::SetPriority(int handle, int priority) {
  Lock lock(m_lock);
  m_error = kOk;
  Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam);
  voice->priority = std::clamp(priority, 0, 255);
  return true;
}

int SoundLibrary::GetPriority(int handle) const {
  Lock lock(m_lock);
  m_error = kOk;
  const Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam), 0;
  return voice->priority;
}

bool SoundLibrary::IsPlaying(int handle) const {
  Lock lock(m_lock);
  m_error = kOk;
  const Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam);
  return !Ended(static_cast<int>(voice - m_voices.data()));
}

uint32_t SoundLibrary::CurrentPosition(int handle) const {
  Lock lock(m_lock);
  m_error = kOk;
  const Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam), 0;
  const VoiceStatus status = m_mixer->Status(static_cast<int>(voice - m_voices.data()));
  if (status.generation != (voice->generation & 0xFFFFFFu)) return 0;  // not mixed since it started
  return static_cast<uint32_t>(status.position);
}

SampleId SoundLibrary::CurrentSample(int handle) const {
  Lock lock(m_lock);
  m_error = kOk;
  const Voice* voice = Find(handle);
  if (!voice) return Fail(kErrInvalidParam), SampleId::None;
  return voice->sample;
}

// ---- counts

int SoundLibrary::LiveSamples() const {
  Lock lock(m_lock);
  return static_cast<int>(m_samples.size());
}

int SoundLibrary::LiveStreams() const {
  Lock lock(m_lock);
  return static_cast<int>(m_streams.size());
}

int SoundLibrary::BusyVoices() const {
  Lock lock(m_lock);
  int busy = 0;
  for (size_t i = 0; i < m_voices.size(); ++i)
    if (m_voices[i].busy && !Ended(static_cast<int>(i))) ++busy;
  return busy;
}

uint64_t SoundLibrary::Underruns() const {
  Lock lock(m_lock);
  return m_mixer ? m_mixer->Underruns() : 0;
}

// Under the lock: Close stops the stream threads meanwhile.
double SoundLibrary::DecodeCpuSeconds() const {
  Lock lock(m_lock);
  return m_streamThreads.CpuSeconds();
}

}  // namespace platform::audio
