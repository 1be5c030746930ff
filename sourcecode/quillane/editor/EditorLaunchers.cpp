// The launcher tables of the editor menu.
#include "quillane/editor/EditorLaunchers.h"

#include <cstring>

#include "base/gui/GUI.h"

#include "quillane/editor/CharacterViewer.h"
#include "quillane/editor/HeileWelt.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/editor/levels/DanceEditor.h"
#include "quillane/editor/levels/TrainTravelEditor.h"
#include "quillane/minigames/bookshelf/BookShelf.h"
#include "quillane/minigames/decoder/Decoder.h"
#include "quillane/minigames/floorlights/FloorLights.h"
#include "quillane/minigames/sabotage/Sabotage.h"

namespace quillane {

namespace {

base::cl_Window* MakePileGrid() { return cl_HeileWelt::Create(); }

bool BoardUnsaved(base::cl_Window* window) {
  auto* editor = dynamic_cast<cl_TrainTravelEditor*>(window);
  return editor && editor->HasUnsavedChanges();
}

bool RecordingUnsaved(base::cl_Window* window) {
  const auto* editor = dynamic_cast<const cl_DanceMinigameEditor*>(window);
  return editor && editor->HasUnsavedTaps();
}

// The "Wiretap" button opens Floor lights, which keeps the wire-tap panel's window label.
constexpr st_GameLauncher kGameLaunchers[] = {
    {"Book", "Bookshelf", true, cl_BookshelfPanel::Create, "BookshelfGame", LAUNCH_INIT, false, nullptr},
    {"Wiretap", "FloorLights", true, cl_FloorLightsPanel::Create, "WiretapGame", LAUNCH_INIT_WIRETAP, false, nullptr},
    {"TrainTravel", "TrainTravel", true, cl_TrainTravelEditor::Create, "TrainTravelGame", LAUNCH_NO_INIT, false,
     BoardUnsaved},
    {"Dance", "Dance", false, cl_DanceMinigameEditor::Create, "DanceGame", LAUNCH_INIT, true, RecordingUnsaved},
    {"Decoder", "Decoder", true, cl_DecoderPanel::Create, "DecoderGame", LAUNCH_INIT, false, nullptr},
    {"Sabotage", "Sabotage", true, cl_Sabotage::Create, "SabotageGame", LAUNCH_INIT, false, nullptr},
};

constexpr st_ToolLauncher kToolLaunchers[] = {
    {"Editor", cl_SceneEditorPanel::kLabel, true, false, cl_SceneEditorPanel::Create, true},
    {"HeileWelt", nullptr, false, true, MakePileGrid, false},
    {"CharacterViewer", nullptr, false, true, cl_CharacterViewer::Create, false},
};

template <class T, size_t N>
const T* FindRow(const T (&rows)[N], const char* button) {
  for (const T& row : rows)
    if (button && std::strcmp(row.button, button) == 0) return &row;
  return nullptr;
}

}  // namespace

const st_GameLauncher* FindGameLauncher(const char* button) { return FindRow(kGameLaunchers, button); }

const st_ToolLauncher* FindToolLauncher(const char* button) { return FindRow(kToolLaunchers, button); }

const st_GameLauncher* FindUnsavedWork(base::cl_GUI& gui) {
  for (const st_GameLauncher& row : kGameLaunchers)
    if (base::cl_Window* open = row.unsaved ? gui.FindChild(row.windowLabel) : nullptr; open && row.unsaved(open))
      return &row;
  return nullptr;
}

}  // namespace quillane
