// Feeds arbitrary bytes to the text system as a text table of the current language, then looks
// up every key it found, and decodes the raw bytes as UTF-8.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/String.h"
#include "base/text/Textsystem.h"
#include "base/data/Variant.h"
#include "base/system.h"

namespace {

void Quiet(const char*) {}

char g_scratch[] = "/tmp/quillane_text_fuzz_XXXXXX";
char g_home[4096];

// A scratch folder with "loca/" in it, made once per process. Each input runs with it as the
// working folder and goes back afterwards, so libFuzzer's relative corpus paths stay valid.
bool MakeScratch() {
  if (!getcwd(g_home, sizeof g_home) || !mkdtemp(g_scratch)) return false;
  return mkdir((std::string(g_scratch) + "/loca").c_str(), 0777) == 0;
}

struct InScratch {
  bool ok = chdir(g_scratch) == 0;
  ~InScratch() {
    if (chdir(g_home) != 0) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (base::sys::SetDebuggerOutput(Quiet), MakeScratch());
  if (!ready || size > (1u << 16)) return 0;

  base::UnicodeString decoded;
  base::DecodeUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size), decoded);
  if (decoded.size() < 0 || decoded.size() > static_cast<int>(2 * size)) std::abort();

  InScratch scratch;
  if (!scratch.ok) return 0;
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
