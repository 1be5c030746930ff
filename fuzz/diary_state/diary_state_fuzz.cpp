// Arbitrary bytes as the binary game state of a savegame, handed to the diary as the savegame
// reader does: ReadState, the page build, a frame of drawing (without a device: the page logic,
// not the pixels), a page turn by program and by mouse, and the state written back and read
// again. Damaged trees (repeated or missing ids, huge counts and page numbers, deep nesting,
// entries of unknown kinds) must neither crash nor build pages without end.
#include <cstddef>
#include <cstdint>

#include <memory>

#include "base/File.h"
#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "quillane/diary/Diary.h"

#include "../BaseFuzz.h"

namespace {

base::ICMD Command(uint8_t type, int x, int y) {
  base::ICMD cmd;
  cmd.type = type;
  cmd.mouseX = static_cast<uint16_t>(x);
  cmd.mouseY = static_cast<uint16_t>(y);
  return cmd;
}

// A root module without devices, for the window size the book centres itself in.
void EnsureSystem() {
  static std::unique_ptr<base::cl_System> system = [] {
    auto s = std::make_unique<base::cl_System>();
    base::sys::SetWindowSize(cl_Diary::kBookWidth, cl_Diary::kBookHeight);
    return s;
  }();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  EnsureSystem();
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "state.bin")) return 0;
  base::StaticVariant record;
  if (!record.Read(&f)) return 0;
  base::Variant state;
  record.copy_to(state);

  cl_Diary diary;
  diary.ReadState(state);
  diary.Open(true, true, false, nullptr);
  for (int i = 0; i < 12; ++i) diary.Update(0.05f);
  diary.Render(0, 0);
  diary.Render(0, 0);
  diary.BrowseToPage(-1, 0.9f);
  for (int i = 0; i < 30; ++i) diary.Update(0.05f);
  diary.Render(0, 0);
  // A drag from the bottom-left corner of the book to the right, and a click on its bookmark.
  const int left = 0, bottom = cl_Diary::kBookHeight;
  for (const base::ICMD& cmd : {Command(base::ICMD::MOUSE_MOVE, left + 120, bottom - 45),
                                Command(base::ICMD::LEFT_DOWN, left + 120, bottom - 45),
                                Command(base::ICMD::MOUSE_MOVE, left + 700, bottom - 80),
                                Command(base::ICMD::LEFT_UP, left + 700, bottom - 80)}) {
    base::ICMD copy = cmd;
    diary.ProcessInput(copy);
    diary.Update(0.05f);
  }
  diary.Render(0, 0);
  diary.AddText(static_cast<int>(size % 7), "fuzz");
  diary.AppendText(static_cast<int>(size % 5), "more");
  base::Variant again;
  again.set_element("GameState");
  diary.WriteState(again);
  cl_Diary reread;
  reread.ReadState(again);
  reread.Update(0.05f);
  return 0;
}
