// The editor menu: its buttons, the launchers and the string-file self-test.
#include "quillane/editor/EditorMenu.h"

#include <string>

#include "base/File.h"
#include "base/app/GameFrame.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "platform/os/FileSystem.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/DialogBox.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorLaunchers.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SceneManager.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/minigames/MinigameRegistry.h"

namespace quillane {

namespace {

constexpr const char* kStringFile = "test.txt";
constexpr const char* kInitialGameState = "scripts/initialgamestate.xml";

bool IsButton(const base::Variant& event, base::tString<base::BaseString>& label) {
  const char* name = event.get_label();
  return name && base::str::compare(name, "ButtonPressed") == 0 && event.get_attribute_string("ctrl_label", label);
}

// Every actor compiled (or its compiled file found sound); the outcome on the status line, as the
// scenes' export has it.
void ExportAllCharacters(cl_ActorRegistry& actors) {
  base::cl_ErrorCatcher errors;
  actors.ExportAllCharacters();
  std::string line = "Export all characters: " + std::to_string(actors.GetActors().size()) + " ready";
  const std::string cause = errors.Cause("");
  if (!cause.empty()) line += ", with errors (" + cause + ")";
  ShowEditorStatus(line, !cause.empty());
}

void QuitProgram() {
  if (base::i_GameFrame* quit = base::GetFrameInterface()) quit->ShutDown();
}

// The question before Quit drops a level editor's unsaved work, as closing that editor asks: Yes
// quits; No (Escape) keeps the editor and its work. The box answers itself: the menu that asked
// is gone by then.
class cl_QuitQuestion : public cl_DialogBox {
 public:
  explicit cl_QuitQuestion(const std::string& editor) : cl_DialogBox(nullptr) {
    SetTexts("Quit", (editor + " has unsaved work. Quit and discard it?").c_str(), "Yes", "No");
  }
  bool ProcessEvent(const base::Variant& event) override {
    base::tString<base::BaseString> button;
    if (!IsButton(event, button)) return false;
    if (button == "button0") QuitProgram();
    return true;
  }
};

}  // namespace

bool cl_EditorMenu::Init(base::StaticVariantIterator) { return LoadFromFile("GUI.xml", "TestMenu"); }

bool cl_EditorMenu::ProcessInput(base::ICMD& cmd) {
  if (cl_Panel::ProcessInput(cmd)) return true;
  if (cmd.type == base::ICMD::KEY_PRESSED && cmd.key == base::key::Escape) {
    Close();
    return true;
  }
  if (cmd.type == base::ICMD::LEFT_DOWN || cmd.type == base::ICMD::RIGHT_DOWN) Close();
  return false;
}

bool cl_EditorMenu::ProcessEvent(const base::Variant& event) {
  base::tString<base::BaseString> button;
  if (!IsButton(event, button)) return true;
  cl_Editor* editor = cl_Editor::GetEditor();
  cl_GameFrame* frame = GetGameFrame();
  if (const st_GameLauncher* game = FindGameLauncher(button.c_str())) {
    Launch(*game);
  } else if (const st_ToolLauncher* tool = FindToolLauncher(button.c_str())) {
    Launch(*tool);
  } else if (button == "Manager") {
    ToggleSceneManager();
  } else if (button == "ExportAllCharacters") {
    if (cl_ActorRegistry* actors = frame ? frame->GetActorRegistry() : nullptr) ExportAllCharacters(*actors);
  } else if (button == "ExportAllScenes") {
    if (editor) editor->ExportAllScenes();
  } else if (button == "VideoPlayer") {
    const int bytes = RunStringFileTest(kStringFile);
    base::sys::Output("Editor: string file test: %d bytes of %s read back\n", bytes, kStringFile);
  } else if (button == "Exit") {
    Quit();
  }
  return true;
}

void cl_EditorMenu::Quit() {
  base::cl_GUI* gui = GetGUI();
  const st_GameLauncher* unsaved = gui ? FindUnsavedWork(*gui) : nullptr;
  if (!unsaved) {
    QuitProgram();
    return;
  }
  const base::cl_Window* entry = FindByLabel(unsaved->button);
  gui->AddModalWindow(new cl_QuitQuestion(entry ? entry->m_Text.c_str() : unsaved->name));
}

void cl_EditorMenu::ToggleSceneManager() {
  base::cl_GUI* gui = GetGUI();
  if (!gui) return;
  if (base::cl_Window* open = gui->FindChild(cl_SceneManagerPanel::kLabel)) {
    open->Close();
    return;
  }
  auto* manager = new cl_SceneManagerPanel();
  gui->AddChild(manager);
  manager->Init(base::StaticVariantIterator());
}

void cl_EditorMenu::Launch(const st_GameLauncher& launcher) {
  base::cl_GUI* gui = GetGUI();
  if (launcher.hidesStatus) {
    if (cl_Editor* editor = cl_Editor::GetEditor()) editor->SetShowStatus(false);
    ClearEditorStatus();  // the scene editor's last outcome would cover the game's counters
  }
  if (const char* dataFile = launcher.compilesData ? GameDataFile(launcher.name) : nullptr) {
    cl_MinigameManager compiler;
    compiler.Register(launcher.name, dataFile, launcher.factory);
    compiler.CompileMissing();
  }
  if (!gui) return;
  if (base::cl_Window* open = gui->FindChild(launcher.windowLabel)) {
    // A level editor asks before it drops work not yet saved.
    if (auto* running = dynamic_cast<i_Minigame*>(open))
      running->RequestClose();
    else
      open->Close();
    return;
  }
  i_Minigame* game = launcher.factory();
  if (!game) return;
  game->SetDataFile(GameDataFile(launcher.name));
  game->m_Scale = static_cast<float>(base::sys::GetWindowWidth()) / 1024.0f;
  if (launcher.init == LAUNCH_NO_INIT) {
    gui->AddChild(game);
    return;
  }
  base::Variant state;
  base::Variant* mission = nullptr;
  if (launcher.init == LAUNCH_INIT_WIRETAP) {
    if (!base::xml::read_file(state, kInitialGameState) || !state.is_element()) state.set_element("GameState");
    base::variant_get_attribute_by_path(state, "Missions/Minigames/Wiretap/Filename", true)->set_string("grid1.xml");
    mission = base::variant_get_element_by_path(state, "Missions/Minigames/Wiretap", true);
  }
  if (game->Init(mission, false)) {
    gui->AddChild(game);
  } else {
    delete game;
  }
}

void cl_EditorMenu::Launch(const st_ToolLauncher& launcher) {
  base::cl_GUI* gui = GetGUI();
  cl_Editor* editor = cl_Editor::GetEditor();
  if (!gui) return;
  if (launcher.windowLabel)
    if (base::cl_Window* open = gui->FindChild(launcher.windowLabel)) {
      open->Close();
      return;
    }
  if (launcher.needsScene && !cl_Editor::GetEditedScene()) {
    ShowEditorStatus("No scene is open: open one with \"Edit\" in the scene manager", true);
    return;
  }
  if (launcher.closesScene && editor) editor->CloseScene();
  base::cl_Window* window = launcher.factory();
  if (!window) return;
  gui->AddChild(window);
  if (launcher.init) window->Init(base::StaticVariantIterator());
}

int cl_EditorMenu::RunStringFileTest(const char* file) {
  base::tString<base::BaseString> narrow("Test");
  base::tString<base::BaseUnicodeString> wide(u"Test");
  base::File out;
  if (!out.open(file, base::File::STATUS_WRITE)) return -1;
  const bool written = out.archive(narrow) && out.archive(wide);
  if (!out.close() || !written) return -1;
  base::File in;
  int bytes = 0;
  if (in.open(file, base::File::STATUS_READ)) {
    base::tString<base::BaseString> narrowBack;
    base::tString<base::BaseUnicodeString> wideBack;
    if (in.archive(narrowBack) && in.archive(wideBack) && narrowBack == narrow && wideBack == wide)
      bytes = in.get_current_position();
    in.close();
  }
  platform::os::DeleteFile(file);
  return bytes;
}

}  // namespace quillane
