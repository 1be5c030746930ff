#include "platform/audio/Log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace platform::audio {
namespace {

void StderrSink(const char* text) { std::fputs(text, stderr); }

std::atomic<LogSink> g_sink{StderrSink};

}  // namespace

void SetLogSink(LogSink sink) { g_sink.store(sink ? sink : StderrSink); }

void Log(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return;
  g_sink.load()(buffer);
}

}  // namespace platform::audio
