#include "platform/log/LogChannel.h"

#include <cstdio>

namespace platform::log {

void WriteToStderr(const char* text) { std::fputs(text, stderr); }

void cl_LogChannel::SetSink(tSink sink) { m_sink.store(sink ? sink : &WriteToStderr); }

void cl_LogChannel::Write(const char* format, va_list args) {
  char buffer[1024];
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) return;
  m_sink.load()(buffer);
}

}  // namespace platform::log
