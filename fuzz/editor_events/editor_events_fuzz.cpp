// Drives the scene editor with a bounded stream of editor events decoded from the input: keys,
// clicks, presses, releases and motion at screen points, presses of the panel's and the dialogs'
// buttons, clicks on the element tree's rows and on any control of an open window, answers
// sent straight to the panel, right presses, keys held on the device, names typed into the name
// dialog, and the light type dialog, the placement tools and the test walk opened as the panel
// opens them. The editor runs on the headless engine over a scratch copy of the
// demo Office, whose project file is put back whenever an input changed it. The first byte asks
// for lazy compiling (three values of four) or the full build. After the events the project file
// on disk must read back as the live scene description.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../BaseFuzz.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/gui/GUI.h"
#include "base/text/Text.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorLaunchers.h"
#include "quillane/editor/PlaceHotspotTool.h"
#include "quillane/editor/PlaceLightTool.h"
#include "quillane/editor/PlaceLocatorTool.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/editor/SelectLightTypeDialog.h"
#include "quillane/editor/TestRun.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"
#include "support/DemoResources.h"
#include "support/HeadlessEngine.h"
#include "support/HeadlessGpu.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 640, kHeight = 400;
constexpr int kMaxEvents = 32;
constexpr const char* kProject = "Scenes/Office/ProjectFile.xml";

// ---- the running editor

class cl_EditorSession {
 public:
  // The engine with the game frame in the editor over a copy of the demo data; false (every input
  // skipped) without a headless graphics device or the generated demo data.
  bool Start() {
    const fs::path source = QUILLANE_DATA_DIR;
    if (!testsupport::HeadlessGpuAvailable() || !fs::exists(source / "Scenes/Office/crate.tga")) return false;
    if (!m_engine.MakeFolder("editor_events")) return false;
    m_home = fs::current_path();
    m_data = m_engine.GetDir() / "data";
    for (const char* part :
         {"GUI.xml", "scenes/scenes.xml", "editor", "Scenes/Office", "Scripts/initialgamestate.xml"}) {
      fs::create_directories((m_data / part).parent_path());
      fs::copy(source / part, m_data / part, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    // The test walk's actor: the demo figure's skeleton alone, quick to import.
    fs::create_directories(m_data / "characters/female");
    for (const char* file : {"walkspeed.xml", "female/female_skeleton.xml"})
      fs::copy_file(source / "characters" / file, m_data / "characters" / file, fs::copy_options::overwrite_existing);
    std::ofstream(m_data / "characters/characters.xml")
        << "<Characters><Character label=\"Quillane_EveningDress\"><Skeleton "
           "file=\"characters/female/female_skeleton.xml\"><UseReposition label=\"quillane_walk\"/></Skeleton>"
           "</Character></Characters>";
    std::ifstream in(m_data / kProject, std::ios::binary);
    m_pristine.assign(std::istreambuf_iterator<char>(in), {});
    fs::current_path(m_data);
    quillane::InstallEditorServices();
    bool started = m_engine.Start(kWidth, kHeight, "", "<DevTools QuickLaunch=\"editor\"/>");
    if (started) {
      m_frame = cl_GameFrame::Create();
      m_engine.GetSystem()->AddModule(m_frame);
      started = m_engine.GetSystem()->cl_Module::StartUp() &&
                testsupport::LoadDemoResources(source, m_data, {}, {"system"}, "fonts.xml") == 1 &&
                quillane::cl_Editor::GetEditor() && quillane::GetActorRegistry() &&
                quillane::GetActorRegistry()->LoadActorList("characters/characters.xml");
    }
    if (started)
      for (base::cl_Window* child : Gui()->m_Children) m_baseline.push_back(child);
    fs::current_path(m_home);
    Debug_KeysEnabled = true;
    return started;
  }

  void Stop() { m_engine.Stop(); }

  // The Office as copied, with the scene editor panel, drawn once. Lazy compiling (the skies,
  // foregrounds and strips left unbuilt) keeps most inputs fast; the rest build them all. Reading
  // the pictures is most of an input's time, so the scene is reopened only when the last input
  // changed its project file or the other compiling is asked for.
  void Begin(bool lazyCompile) {
    fs::current_path(m_data);
    if (m_changed || lazyCompile != Editor_LazyCompile || !quillane::cl_Editor::GetEditedScene()) {
      Editor_LazyCompile = lazyCompile;
      std::ofstream(kProject, std::ios::binary | std::ios::trunc) << m_pristine;
      quillane::cl_Editor::GetEditor()->OpenScene(base::tString<base::BaseString>("Office"));
    }
    quillane::g_SelectedElementLabel.clear();
    quillane::SceneDisplay() = quillane::st_SceneDisplay();
    const quillane::st_ToolLauncher* launcher = quillane::FindToolLauncher("Editor");
    base::cl_Window* panel = launcher->factory();
    Gui()->AddChild(panel);
    panel->Init(base::StaticVariantIterator());
    Step(0.1f);
  }

  // Lets the mouse button go (ending a drag), checks the stored project file against the live
  // description and closes every window the input opened.
  void End() {
    Mouse(base::ICMD::LEFT_UP, m_mouseX, m_mouseY);
    Mouse(base::ICMD::RIGHT_UP, m_mouseX, m_mouseY);
    for (uint8_t scan = 0; scan != 0xFF; ++scan)
      if (m_held[scan]) Hold(scan, false);
    // The test walk keeps a raised exposure in the description until Escape saves it: the one way
    // out of it.
    const base::tWindowList& modal = Gui()->GetModalWindows();
    if (!modal.empty() && dynamic_cast<quillane::cl_TestRun*>(modal.front())) Key(27, 0);
    std::ifstream in(kProject, std::ios::binary);
    m_changed = std::string(std::istreambuf_iterator<char>(in), {}) != m_pristine;
    if (quillane::cl_Scene* scene = quillane::cl_Editor::GetEditedScene()) {
      quillane::cl_Scene fresh;
      fresh.LoadProjectFile("Office");
      if (TextOf(fresh.GetSettings()) != TextOf(scene->GetSettings())) std::abort();
    }
    std::vector<base::cl_Window*> children = Gui()->m_Children;
    for (base::cl_Window* child : children)
      if (std::find(m_baseline.begin(), m_baseline.end(), child) == m_baseline.end()) Gui()->CloseWindow(child);
    Step(0.1f);
    fs::current_path(m_home);
  }

  void Step(float dt) {
    m_time += dt;
    m_engine.GetSystem()->Update(m_time, dt);
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    if (!device->BeginFrame()) return;
    m_engine.GetSystem()->Render();
    device->EndFrame();
  }

  void Key(uint8_t key, uint16_t modifiers) {
    base::ICMD cmd;
    cmd.type = base::ICMD::KEY_PRESSED;
    cmd.key = key;
    cmd.modifiers = modifiers;
    cmd.mouseX = static_cast<uint16_t>(m_mouseX);
    cmd.mouseY = static_cast<uint16_t>(m_mouseY);
    Input(cmd);
    cmd.type = base::ICMD::KEY_RELEASED;
    Input(cmd);
  }

  // A key held down (or let go) on the keyboard, as the frame loop polls the device.
  void Hold(uint8_t scan, bool down) {
    m_held[scan] = down;
    win32dx9::cl_Platform* platform = win32dx9::GetPlatform();
    platform->GetInputQueue().Key(scan, down, 0);
    base::i_InputDevice* device = platform->GetInputDevice();
    device->Update(m_time, 0.0f);
    for (base::ICMD cmd; device->PopCommand(cmd);) Input(cmd);
  }

  // A mouse command at (x, y) carrying the motion from the last one.
  void Mouse(int type, int x, int y, uint16_t modifiers = 0) {
    base::ICMD cmd;
    cmd.type = static_cast<uint8_t>(type);
    cmd.mouseX = static_cast<uint16_t>(x);
    cmd.mouseY = static_cast<uint16_t>(y);
    cmd.extra[0] = static_cast<uint16_t>(static_cast<int16_t>(x - m_mouseX));
    cmd.extra[1] = static_cast<uint16_t>(static_cast<int16_t>(y - m_mouseY));
    cmd.modifiers = modifiers;
    m_mouseX = x;
    m_mouseY = y;
    Input(cmd);
  }

  // A press and release in the middle of where w was drawn last; nothing when it was not drawn.
  void Click(const base::cl_Window* w) {
    if (!w || w->m_AbsRect.right <= w->m_AbsRect.left) return;
    const int x = static_cast<int>((w->m_AbsRect.left + w->m_AbsRect.right) / 2);
    const int y = static_cast<int>((w->m_AbsRect.top + w->m_AbsRect.bottom) / 2);
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    Mouse(base::ICMD::LEFT_DOWN, x, y);
    Mouse(base::ICMD::LEFT_UP, x, y);
  }

  base::cl_GUI* Gui() const { return m_frame->GetSystemGUI(); }
  quillane::cl_SceneEditorPanel* Panel() const {
    return dynamic_cast<quillane::cl_SceneEditorPanel*>(Gui()->FindChild(quillane::cl_SceneEditorPanel::kLabel));
  }
  int MouseX() const { return m_mouseX; }
  int MouseY() const { return m_mouseY; }

 private:
  void Input(base::ICMD cmd) { m_engine.GetSystem()->ProcessInput(cmd); }

  static std::string TextOf(const base::Variant& tree) {
    base::Text text;
    if (!base::xml::write_text(tree, text)) return "(unwritable)";
    return text.c_str();
  }

  testsupport::cl_HeadlessEngine m_engine;
  cl_GameFrame* m_frame = nullptr;
  fs::path m_home, m_data;
  std::string m_pristine;
  bool m_changed = true;
  std::vector<base::cl_Window*> m_baseline;  // the GUI's children before any input
  float m_time = 0.0f;
  int m_mouseX = 0, m_mouseY = 0;
  bool m_held[256] = {};  // scan codes held on the device
};

// ---- what the events pick from

namespace key = base::key;

// Enter ... Shift, then the tools' Backspace, Space, A and D.
constexpr uint8_t kKeys[] = {key::Enter, key::Escape, key::Left, key::Right,     key::Up,        key::Down,  'P', 'H',
                             'N',        'L',         'B',       key::LeftShift, key::Backspace, key::Space, 'A', 'D'};
// No "Compile": compressing the scene's pictures takes seconds under the sanitizers, and what it
// writes depends on the scene, not on the events that led there.
constexpr const char* kButtons[] = {"Add", "Remove", "Edit", "Up", "Down", "Test", "Ok", "Cancel"};
constexpr const char* kFiles[] = {"crate.tga", "desk.tga", "", "navmesh.xml", "missing.tga", "lamp.tst", "blur.tga"};
constexpr const char* kLabels[] = {"default", "lamp", "desk", "floor", "elem0", "background", "fuzz"};
// The held keys: the light tool's Shift, the test walk's E, Up and Down, the camera flight's W, S,
// A, D, Q and the key in the place of a US "Z".
constexpr uint8_t kHeldScans[] = {0x2A, 0x12, 0xC8, 0xD0, 0x11, 0x1F, 0x1E, 0x20, 0x10, 0x2C};
constexpr const char* kLightTypes[] = {"blobbshadow", "projectionshadow", "directional", "ambient", ""};

template <class T, size_t N>
const T& Pick(const T (&table)[N], uint8_t byte) {
  return table[byte % N];
}

int ScreenX(uint8_t byte) { return byte * kWidth / 256; }
int ScreenY(uint8_t byte) { return byte * kHeight / 256; }

// Every window below root, depth first (root not included).
void CollectBelow(base::cl_Window* root, std::vector<base::cl_Window*>& out) {
  for (base::cl_Window* child : root->m_Children) {
    out.push_back(child);
    CollectBelow(child, out);
  }
}

// ---- the events (ORDER EDITOREVENT): an input byte picks a row, its argument bytes follow

void RunKey(cl_EditorSession& s, const uint8_t* a) { s.Key(Pick(kKeys, a[0]), (a[1] & 1) ? base::ICMD::MOD_SHIFT : 0); }
void RunClick(cl_EditorSession& s, const uint8_t* a) {
  s.Mouse(base::ICMD::MOUSE_MOVE, ScreenX(a[0]), ScreenY(a[1]));
  s.Mouse(base::ICMD::LEFT_DOWN, ScreenX(a[0]), ScreenY(a[1]));
  s.Mouse(base::ICMD::LEFT_UP, ScreenX(a[0]), ScreenY(a[1]));
}
void RunPress(cl_EditorSession& s, const uint8_t* a) { s.Mouse(base::ICMD::LEFT_DOWN, ScreenX(a[0]), ScreenY(a[1])); }
void RunRelease(cl_EditorSession& s, const uint8_t*) { s.Mouse(base::ICMD::LEFT_UP, s.MouseX(), s.MouseY()); }
void RunMotion(cl_EditorSession& s, const uint8_t* a) {
  const int x = std::clamp(s.MouseX() + static_cast<int8_t>(a[0]), 0, kWidth - 1);
  const int y = std::clamp(s.MouseY() + static_cast<int8_t>(a[1]), 0, kHeight - 1);
  s.Mouse(base::ICMD::MOUSE_MOVE, x, y, (a[2] & 1) ? base::ICMD::MOD_SHIFT : 0);
}
// The newest window holding a control of that label (dialogs over the panel first).
void RunButton(cl_EditorSession& s, const uint8_t* a) {
  const char* label = Pick(kButtons, a[0]);
  const std::vector<base::cl_Window*>& top = s.Gui()->m_Children;
  for (auto it = top.rbegin(); it != top.rend(); ++it)
    if (base::cl_Window* button = (*it)->FindByLabel(label)) {
      s.Click(button);
      return;
    }
}
void RunRow(cl_EditorSession& s, const uint8_t* a) {
  base::cl_Window* rows = s.Panel() ? s.Panel()->FindByLabel("ClientWindow") : nullptr;
  if (!rows) return;
  std::vector<base::cl_Window*> below;
  CollectBelow(rows, below);
  if (!below.empty()) s.Click(below[a[0] % below.size()]);
}
void RunControl(cl_EditorSession& s, const uint8_t* a) {
  const std::vector<base::cl_Window*>& top = s.Gui()->m_Children;
  if (top.empty()) return;
  std::vector<base::cl_Window*> below;
  CollectBelow(top[top.size() - 1 - a[0] % top.size()], below);  // 0: the newest window
  if (!below.empty()) s.Click(below[a[1] % below.size()]);
}
// "AddElement" or "UpdateElement" of one element, as the dialogs and tools answer the panel.
void RunAnswer(cl_EditorSession& s, const uint8_t* a) {
  quillane::cl_SceneEditorPanel* panel = s.Panel();
  if (!panel) return;
  base::Variant answer;
  answer.set_element((a[0] & 1) ? "UpdateElement" : "AddElement");
  answer.attribute("category")->set_string(quillane::kSceneGroups[a[1] % quillane::kSceneGroupCount]);
  base::Variant element;
  element.set_element("Node");
  element.attribute("label")->set_string(Pick(kLabels, a[2]));
  element.attribute("file")->set_string(Pick(kFiles, a[3]));
  if (a[0] & 2) element.attribute("w")->set_float(static_cast<float>(a[3]) * 8.0f);
  answer.push_back(element);
  panel->ProcessEvent(answer);
}
void RunFrames(cl_EditorSession& s, const uint8_t* a) {
  for (int i = 0; i <= a[0] % 4; ++i) s.Step(0.05f);
}
void RunRightPress(cl_EditorSession& s, const uint8_t* a) {
  s.Mouse(base::ICMD::RIGHT_DOWN, ScreenX(a[0]), ScreenY(a[1]));
}
void RunRightRelease(cl_EditorSession& s, const uint8_t*) { s.Mouse(base::ICMD::RIGHT_UP, s.MouseX(), s.MouseY()); }
// The light type dialog over the panel, or a tool or the test walk in its place, as "Add" and
// "Test" open them (nothing while another window is modal).
void RunTool(cl_EditorSession& s, const uint8_t* a) {
  quillane::cl_SceneEditorPanel* panel = s.Panel();
  if (!panel || !s.Gui()->GetModalWindows().empty()) return;
  if (a[0] % 5 == 0) {
    s.Gui()->AddModalWindow(quillane::cl_SelectLightTypeDialog::Open(panel, (a[1] & 1) ? "ambient" : ""));
    return;
  }
  panel->Show(false);
  base::cl_Window* tool = nullptr;
  if (a[0] % 5 == 1) {
    tool = quillane::cl_PlaceHotspotTool::Create(panel);
  } else if (a[0] % 5 == 2) {
    base::Variant answer;
    answer.set_element("AddElement");
    answer.attribute("category")->set_string("Lights");
    base::Variant& light = answer.add_element("Light");
    light.attribute("type")->set_string(Pick(kLightTypes, a[1]));
    light.attribute("label")->set_string(Pick(kLabels, a[1]));
    tool = quillane::cl_PlaceLightTool::Create(panel, answer);
  } else if (a[0] % 5 == 3) {
    tool = quillane::cl_PlaceLocatorTool::Open(panel);
  } else {
    tool = quillane::cl_TestRun::Open(panel);  // null, the panel shown again, when it refuses
  }
  if (tool) s.Gui()->AddModalWindow(tool);
}
// A name typed into an open name dialog (an empty one too).
void RunName(cl_EditorSession& s, const uint8_t* a) {
  for (base::cl_Window* window : s.Gui()->m_Children)
    if (base::cl_Window* field = window->FindByLabel("Label")) field->m_Value.set_string(Pick(kLabels, a[0]));
}
void RunHold(cl_EditorSession& s, const uint8_t* a) { s.Hold(Pick(kHeldScans, a[0]), (a[1] & 1) != 0); }

struct st_EventKind {
  const char* name;
  int argBytes;
  void (*run)(cl_EditorSession&, const uint8_t*);
};

// A new kind of event is one more row at the end; the seeds then decode to other events but stay
// valid inputs.
constexpr st_EventKind kEvents[] = {
    {"key", 2, RunKey},                // key, Shift
    {"click", 2, RunClick},            // x, y
    {"press", 2, RunPress},            // x, y
    {"release", 0, RunRelease},        // nothing
    {"motion", 3, RunMotion},          // dx, dy, Shift
    {"button", 1, RunButton},          // which button
    {"row", 1, RunRow},                // which row of the element tree
    {"control", 2, RunControl},        // which window (0: the newest), which control in it
    {"answer", 4, RunAnswer},          // kind, group, label, file
    {"frames", 1, RunFrames},          // how many
    {"rpress", 2, RunRightPress},      // x, y
    {"rrelease", 0, RunRightRelease},  // nothing
    {"tool", 2, RunTool},              // which window, its proposal or light type
    {"name", 1, RunName},              // which name
    {"hold", 2, RunHold},              // which key, down or up
};

}  // namespace

// The scene stays open from one input to the next, and the variant texts keep their blocks'
// addresses packed where the leak checker does not look, so its check after an input takes the
// open scene's texts for leaks. It runs once at exit instead, after the engine has stopped.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static std::vector<char*> args(*argv, *argv + *argc);
  static char noLeakChecks[] = "-detect_leaks=0";
  args.insert(args.begin() + 1, noLeakChecks);
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size()) - 1;
  *argv = args.data();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 4096)) return 0;
  // Stopped at exit ahead of the graphics device's own statics, which a static session would outlive.
  static cl_EditorSession& session = *new cl_EditorSession();
  static const bool running = session.Start() && std::atexit([] { session.Stop(); }) == 0;
  if (!running) return 0;
  session.Begin(size == 0 || data[0] % 4 != 0);
  size_t at = 1;
  for (int n = 0; n < kMaxEvents && at < size; ++n) {
    const st_EventKind& kind = kEvents[data[at++] % std::size(kEvents)];
    uint8_t args[4] = {};
    for (int i = 0; i < kind.argBytes && at < size; ++i) args[i] = data[at++];
    kind.run(session, args);
    session.Step(0.05f);
  }
  session.End();
  return 0;
}
