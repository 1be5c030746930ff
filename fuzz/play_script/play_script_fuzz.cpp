// Feeds arbitrary bytes to the .play reader: it must accept or refuse with a message naming the
// file and line, and every step it keeps must be within its bounds (known kind, budgets and
// counts in range, a key with a scan code, picture names without path separators, window pixels
// in range, typed text that keys can type).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "../BaseFuzz.h"
#include "quillane/app/PlayScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, kMaxPlayFileBytes)) return 0;
  std::vector<st_PlayStep> steps;
  std::string error;
  const bool ok = ReadPlayScript(reinterpret_cast<const char*>(data), size, "fuzz.play", steps, &error);
  if (!ok && error.rfind("fuzz.play:", 0) != 0) std::abort();
  for (const st_PlayStep& step : steps) {
    // No default: a step kind the reader gains must be checked here too (the switch warning fails
    // the build).
    switch (step.kind) {
      case st_PlayStep::WAIT_STATE:
      case st_PlayStep::WAIT_SCENE:
      case st_PlayStep::WAIT_MINIGAME:
        if (step.number < 1 || step.number > kMaxFrameCount || step.name.empty()) std::abort();
        break;
      case st_PlayStep::WAIT_IDLE:
      case st_PlayStep::CLICK_SKIP:
        if (step.number < 1 || step.number > kMaxFrameCount) std::abort();
        break;
      case st_PlayStep::WAIT_FRAMES:
        if (step.number < 0 || step.number > kMaxFrameCount) std::abort();
        break;
      case st_PlayStep::KEY:
        if (step.number <= 0 || step.number > 0xFF || ScanCodeOfKey(step.name) != step.number) std::abort();
        break;
      case st_PlayStep::SHOT:
        if (step.name.empty() || step.name.find('/') != std::string::npos || step.name.find('.') != std::string::npos)
          std::abort();
        break;
      case st_PlayStep::CLICK_BUTTON:
      case st_PlayStep::CLICK_HOTSPOT:
      case st_PlayStep::CLICK_CHARACTER:
      case st_PlayStep::EXPECT:
      case st_PlayStep::CHECK:
        if (step.name.empty()) std::abort();
        break;
      case st_PlayStep::DRAG_TOKEN:
        if (step.name.empty() || step.argument.empty()) std::abort();
        break;
      case st_PlayStep::EXPECT_TOKEN:
        if (step.name.empty() || step.number < 0 || step.number > kMaxFrameCount) std::abort();
        break;
      case st_PlayStep::SAVE:
      case st_PlayStep::LOAD:
        if (step.number < 1 || step.number > kMaxSaveSlot) std::abort();
        break;
      case st_PlayStep::CLICK_FLOOR:
        for (float v : step.floor) {
          if (!(std::fabs(v) <= kMaxFloorCoordinate)) std::abort();
        }
        break;
      case st_PlayStep::CLOSE:
        break;
      case st_PlayStep::CLICK_AT:
      case st_PlayStep::RCLICK_AT:
      case st_PlayStep::MOVE:
      case st_PlayStep::DRAG:
      case st_PlayStep::RDRAG:
        for (int v : step.point)
          if (v < 0 || v > kMaxWindowCoordinate) std::abort();
        if ((step.kind == st_PlayStep::DRAG || step.kind == st_PlayStep::RDRAG) &&
            (step.number < 1 || step.number > kMaxFrameCount))
          std::abort();
        break;
      case st_PlayStep::HOLD:
      case st_PlayStep::RELEASE:
        if (step.number <= 0 || step.number > 0xFF || ScanCodeOfKey(step.name) != step.number) std::abort();
        break;
      case st_PlayStep::TYPE:
        if (step.name.empty()) std::abort();
        for (char c : step.name) {
          uint8_t scan = 0;
          bool shift = false, text = false;
          if (!KeyOfCharacter(c, &scan, &shift, &text) || scan == 0) std::abort();
        }
        break;
      case st_PlayStep::CLICK_ENTRY:
      case st_PlayStep::WAIT_WINDOW:
      case st_PlayStep::WAIT_GONE:
        if (step.name.empty() || step.number < 1 || step.number > kMaxFrameCount) std::abort();
        if (step.kind == st_PlayStep::CLICK_ENTRY && step.argument.empty()) std::abort();
        break;
      case st_PlayStep::EXPECT_XML:
        if (step.name.empty() || step.argument.empty() || step.attribute.empty() || step.value.empty()) std::abort();
        break;
      case st_PlayStep::EXPECT_FILE:
        if (step.name.empty() || (step.argument != "exists" && step.argument != "missing")) std::abort();
        break;
      case st_PlayStep::CLICK_GAME:
      case st_PlayStep::RCLICK_GAME:
      case st_PlayStep::MOVE_GAME:
      case st_PlayStep::WAIT_GAME:
      case st_PlayStep::WAIT_CHECK:
        if (step.name.empty() || step.number < 1 || step.number > kMaxFrameCount) std::abort();
        break;
    }
    if (step.line < 1) std::abort();
  }
  return 0;
}
