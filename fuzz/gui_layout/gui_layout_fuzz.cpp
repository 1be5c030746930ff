// Arbitrary bytes as a layout file: loaded through LoadFromFile under a GUI root with every
// control class registered, then rendered and fed a few input commands made from the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/gui/GUI.h"
#include "recording_skin.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, size_t{1} << 18)) return 0;
  const std::string layout = fuzzsupport::WriteScratchFile(data, size, "_layout.xml");
  if (layout.empty()) return 0;

  guitest::Log() = guitest::st_SkinLog();
  {
    guitest::cl_TestGUI gui;
    base::g_pGUI = &gui;
    auto* panel = new guitest::cl_TestPanel;
    gui.AddChild(panel);
    for (const char* label : {"GuiSelfTest", "DialogBox"}) panel->LoadFromFile(layout.c_str(), label);
    guitest::Frame(gui, {});
    std::vector<base::ICMD> cmds;
    for (size_t i = 0; i + 4 <= size && cmds.size() < 16; i += 4) {
      cmds.push_back(guitest::Cmd(data[i] % 11, data[i + 1] * 3, data[i + 2] * 2, data[i + 3], data[i] >> 6));
    }
    guitest::Frame(gui, cmds);
    guitest::Frame(gui, {});
  }
  if (base::g_pFocusWindow || base::g_pGUI) __builtin_trap();  // both must go with the tree
  return 0;
}
