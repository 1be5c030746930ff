// The mix played through an SDL2 audio device: SDL's callback thread pulls the mixer. When no
// real device opens (a machine without sound), SDL's dummy driver takes its place, so sounds
// still run their course in real time.
#pragma once

#include <cstdint>
#include <string>

namespace platform::audio {

class Mixer;

class SdlOutput {
 public:
  SdlOutput() = default;
  ~SdlOutput() { Close(); }
  SdlOutput(const SdlOutput&) = delete;
  SdlOutput& operator=(const SdlOutput&) = delete;

  // Opens a 16-bit stereo device at rate fed by mixer and starts it; false with the reason in problem.
  bool Open(Mixer* mixer, uint32_t rate, std::string& problem);
  // Stops the callback (waits for a running one) and closes the device.
  void Close();
  bool IsOpen() const { return m_device != 0; }
  // The SDL driver in use ("pulseaudio", "alsa", "dummy", ...); empty when closed.
  const std::string& Driver() const { return m_driver; }

 private:
  static void Callback(void* user, uint8_t* stream, int bytes);
  bool OpenWith(const char* driver, uint32_t rate, std::string& problem);

  Mixer* m_mixer = nullptr;
  uint32_t m_device = 0;
  bool m_audioInit = false;
  std::string m_driver;
};

}  // namespace platform::audio
