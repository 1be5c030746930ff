// Feeds arbitrary bytes as a video list file to the video controller, then starts every entry
// with a stand-in subtitle control (there is no video player, so nothing plays): the entries
// must all carry the application folder's prefix and every queued line an opaque colour.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../BaseFuzz.h"
#include "../ScratchFile.h"
#include "base/system.h"
#include "quillane/video/SubtitleLines.h"
#include "quillane/video/VideoController.h"

namespace {

class cl_Lines final : public i_SubtitleLines {
 public:
  void AddLine(const char* text, float, float, float, uint32_t colour, int flags) override {
    if (!text || (colour >> 24) != 0xFFu || flags != 1) std::abort();
    ++added;
  }
  void RemoveLines(int) override {}
  int added = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 1 << 16)) return 0;
  const std::string path = fuzzsupport::WriteScratchFile(data, size, ".xml");
  if (path.empty()) return 0;
  cl_Lines lines;
  SetSubtitleLines(&lines);
  {
    cl_VideoController controller;
    if (!controller.LoadVideoList(path.c_str(), nullptr) || !controller.IsPlaying()) std::abort();
    const base::tString<base::BaseString> prefix = base::sys::GetApplicationPath() + "\\";
    int subtitles = 0;
    for (size_t i = 0; i < controller.GetEntryCount(); ++i) {
      const cl_VideoController::st_VideoEntry* entry = controller.GetEntry(i);
      if (std::strncmp(entry->m_Filename.c_str(), prefix.c_str(), static_cast<size_t>(prefix.size())) != 0)
        std::abort();
      subtitles += entry->m_Subtitles.size();
    }
    while (controller.GetEntryCount() > 0) controller.StartEntry();
    if (lines.added > subtitles) std::abort();
    controller.Next();  // the end of the list: no frame, no event
    if (controller.IsPlaying()) std::abort();
  }
  SetSubtitleLines(nullptr);
  return 0;
}
