// Feeds arbitrary bytes to the text system as a text table of the current language, then looks
// up every key it found, and decodes the raw bytes as UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/String.h"
#include "base/text/Textsystem.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "../ScratchFile.h"

namespace {

void Quiet(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (base::sys::SetDebuggerOutput(Quiet), true);
  (void)quiet;
  if (size > (1u << 16)) return 0;

  base::UnicodeString decoded;
  base::DecodeUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size), decoded);
  if (decoded.size() < 0 || decoded.size() > static_cast<int>(2 * size)) std::abort();

  // The table is read from "loca/" of the working folder.
  fuzzsupport::st_InScratchFolder scratch("text_table");
  std::error_code ec;
  if (!scratch.ok || (std::filesystem::create_directories("loca", ec), ec)) return 0;
  std::FILE* f = std::fopen("loca/table_english.xml", "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  base::Variant config;
  config.set_element("Localization");
  config.attribute("Language")->set_string("english");
  if (base::sys::InitTextsystem(config)) {
    // Look up each key-like word of the input, with a default text behind it.
    std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t at = text.find('#'); at != std::string::npos && at < 4096; at = text.find('#', at + 1)) {
      const size_t end = text.find_first_of("\" <>", at);
      const std::string key = text.substr(at, end == std::string::npos ? std::string::npos : end - at) + " default";
      base::UnicodeString out;
      base::sys::Localize(key.c_str(), out, nullptr, -1);
      base::String path;
      base::sys::GetSfxPath("Anna", key.c_str(), path, 0);
      base::sys::TextsystemGetAttribute(key.c_str(), "value");
    }
  }
  return 0;
}
