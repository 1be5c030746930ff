#include "dds/Log.h"

#include <cstdarg>

#include "platform/log/LogChannel.h"

namespace dds {
namespace {

constinit platform::log::cl_LogChannel g_channel;

}  // namespace

void SetLogSink(LogSink sink) { g_channel.SetSink(sink); }

void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  g_channel.Write(format, args);
  va_end(args);
}

}  // namespace dds
