#include "platform/audio/SdlOutput.h"

#include <SDL.h>

#include "platform/audio/Log.h"
#include "platform/audio/Mixer.h"

namespace platform::audio {

void SdlOutput::Callback(void* user, uint8_t* stream, int bytes) {
  auto* self = static_cast<SdlOutput*>(user);
  self->m_mixer->Mix(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(bytes) / 4);
}

bool SdlOutput::OpenWith(const char* driver, uint32_t rate, std::string& problem) {
  if (SDL_AudioInit(driver) != 0) {
    problem = SDL_GetError();
    return false;
  }
  m_audioInit = true;
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(rate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;  // about 23 ms at 44.1 kHz
  want.callback = Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts whatever the hardware wants from our 16-bit stereo.
  m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (m_device == 0) {
    problem = SDL_GetError();
    SDL_AudioQuit();
    m_audioInit = false;
    return false;
  }
  const char* name = SDL_GetCurrentAudioDriver();
  m_driver = name ? name : "";
  return true;
}

bool SdlOutput::Open(Mixer* mixer, uint32_t rate, std::string& problem) {
  Close();
  m_mixer = mixer;
  // The driver SDL picks (SDL_AUDIODRIVER may name one), then the dummy one as the last resort.
  // The audio part of SDL alone is started, so a window's SDL_Quit elsewhere leaves it be.
  if (!OpenWith(nullptr, rate, problem)) {
    Log("Warning: no audio device (%s); sound plays on SDL's dummy driver\n", problem.c_str());
    if (!OpenWith("dummy", rate, problem)) {
      Close();
      return false;
    }
  }
  SDL_PauseAudioDevice(m_device, 0);
  return true;
}

void SdlOutput::Close() {
  if (m_device != 0) {
    SDL_CloseAudioDevice(m_device);
    m_device = 0;
  }
  if (m_audioInit) {
    SDL_AudioQuit();
    m_audioInit = false;
  }
  m_driver.clear();
}

}  // namespace platform::audio
