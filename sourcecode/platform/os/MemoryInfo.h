// Physical memory as the kernel reports it in /proc/meminfo, for the system-information record.
#pragma once

#include <cstdint>
#include <string>

namespace platform::os {

// The "MemTotal:" figure of a /proc/meminfo text, in kB; false when the text has no such line
// or its number is unreadable.
bool ParseMemTotal(const std::string& text, uint64_t* kilobytes);
// The same from a file (the kernel's by default); false when the file cannot be read either.
bool ReadMemTotal(uint64_t* kilobytes, const char* path = "/proc/meminfo");

}  // namespace platform::os
