// The sound library's one way out for messages. The engine points it at its own log;
// without a sink messages go to stderr.
#pragma once

namespace platform::audio {

using LogSink = void (*)(const char* text);

// Replaces the sink; null restores stderr.
void SetLogSink(LogSink sink);

// printf-style; the text goes to the sink as one call. Callers put their own line ends in.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform::audio
