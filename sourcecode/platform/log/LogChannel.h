// The way out for the messages of a library below the engine: the graphics layer, the sound
// library and the texture compressor each keep one channel, which the engine points at its own
// log at start-up; until then, and after, messages go to stderr.
#pragma once

#include <atomic>
#include <cstdarg>

namespace platform::log {

using tSink = void (*)(const char* text);

void WriteToStderr(const char* text);  // the sink of a channel nobody pointed elsewhere

class cl_LogChannel {
 public:
  constexpr cl_LogChannel() = default;
  // Replaces the sink; null restores stderr. Safe while other threads write: compression runs
  // on worker threads while the engine swaps the sink.
  void SetSink(tSink sink);
  // printf-style; the text (at most 1023 characters) goes to the sink as one call.
  void Write(const char* format, va_list args);

 private:
  std::atomic<tSink> m_sink{&WriteToStderr};
};

}  // namespace platform::log
