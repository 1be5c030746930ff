#include "editor_fixture.h"

#include <fstream>
#include <sstream>

#include "../support/DemoResources.h"
#include "base/app/KeyCode.h"
#include "base/gui/GUI.h"
#include "base/gui/GUIScrollControls.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace editortest {

namespace fs = std::filesystem;

void EditorTest::SetUp() {
  FrameTest::SetUp();
  if (IsSkipped()) return;
  const fs::path data = QUILLANE_DATA_DIR;
  if (!fs::exists(data / "Scenes/Test/Test.bmp") || !fs::exists(data / "Scenes/Office/desk.tga"))
    GTEST_SKIP() << "no generated demo data (run demogen)";
  m_keysEnabled = Debug_KeysEnabled;
  m_lazyCompile = Editor_LazyCompile;
  m_data = m_dir / "data";
  fs::create_directories(m_data);
  m_cwd = fs::current_path();
  fs::current_path(m_data);
  for (const char* part : {"GUI.xml", "scenes/scenes.xml", "editor", "Scenes/Office", "Scenes/Test",
                           "Scenes/Quay/ProjectFile.xml", "Scenes/Stage/ProjectFile.xml", "Scripts/initialgamestate.xml"})
    CopyFromData(part);
  quillane::InstallEditorServices();
  base::RegisterMeshResourceType();  // as the program does before start-up: "axis" is a mesh file
  StartFrame("<DevTools QuickLaunch=\"editor\"/>");
  ASSERT_EQ(testsupport::LoadDemoResources(data, m_data, {}, {"system"}, "fonts.xml"), 1);
  m_editor = quillane::cl_Editor::GetEditor();
  ASSERT_NE(m_editor, nullptr);
  ASSERT_EQ(StateName(), "Editor");
}

void EditorTest::TearDown() {
  if (!m_cwd.empty()) fs::current_path(m_cwd);
  FrameTest::TearDown();
  Debug_KeysEnabled = m_keysEnabled;
  Editor_LazyCompile = m_lazyCompile;
  quillane::SceneDisplay() = quillane::st_SceneDisplay();
  quillane::g_SelectedElementLabel.clear();
}

void EditorTest::CopyFromData(const std::string& relative) {
  const fs::path from = fs::path(QUILLANE_DATA_DIR) / relative, to = m_data / relative;
  fs::create_directories(to.parent_path());
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string EditorTest::ReadText(const std::string& relative) const {
  std::ifstream in(m_data / relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void EditorTest::Key(uint8_t key, uint16_t modifiers, bool down) {
  base::ICMD cmd;
  cmd.type = down ? base::ICMD::KEY_PRESSED : 1;
  cmd.key = key;
  cmd.modifiers = modifiers;
  cmd.mouseX = static_cast<uint16_t>(m_mouseX);
  cmd.mouseY = static_cast<uint16_t>(m_mouseY);
  Input(cmd);
}

void EditorTest::Mouse(int type, int x, int y, int dx, int dy, uint16_t modifiers) {
  m_mouseX = x;
  m_mouseY = y;
  base::ICMD cmd = frametest::Mouse(type, x, y);
  cmd.extra[0] = static_cast<uint16_t>(static_cast<int16_t>(dx));
  cmd.extra[1] = static_cast<uint16_t>(static_cast<int16_t>(dy));
  cmd.modifiers = modifiers;
  Input(cmd);
}

namespace {

// The fixture's window, 1024 x 768.
constexpr float kWindowWidth = 1024.0f, kWindowHeight = 768.0f;

bool Inside(float left, float top, float right, float bottom) {
  // A text's outline passes lie one pixel beyond it.
  constexpr float kSlack = 1.0f;
  return left >= -kSlack && top >= -kSlack && right <= kWindowWidth + kSlack && bottom <= kWindowHeight + kSlack;
}

void CollectOutside(const base::cl_Window& w, std::vector<std::string>& out) {
  if (w.HasFlag(base::WF_HIDDEN)) return;
  const base::st_ScreenRect& r = w.m_AbsRect;
  if (r.right > r.left && r.bottom > r.top && !Inside(r.left, r.top, r.right, r.bottom))
    out.push_back("window " + std::string(w.m_Label.c_str()));
  if (dynamic_cast<const base::cl_ScrollArea*>(&w)) return;
  for (const base::cl_Window* child : w.m_Children) CollectOutside(*child, out);
}

}  // namespace

std::vector<std::string> EditorTest::OutsideTheWindow() {
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step(0.0f);
  gfx::TraceDrawnText(nullptr);
  std::vector<std::string> out;
  for (const base::cl_Window* top : m_frame->GetSystemGUI()->m_Children) CollectOutside(*top, out);
  for (const gfx::st_DrawnText& t : texts)
    if (!Inside(t.left, t.top, t.right, t.bottom)) out.push_back("text \"" + t.text + "\"");
  return out;
}

std::vector<std::string> EditorTest::TextsUnderTheStatusLine(const std::string& text, bool* shown) {
  quillane::ShowEditorStatus(text, true);
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step(0.0f);
  gfx::TraceDrawnText(nullptr);
  std::vector<std::string> under;
  *shown = false;
  for (const gfx::st_DrawnText& line : texts) {
    if (line.text != text) continue;
    *shown = true;
    for (const gfx::st_DrawnText& t : texts)
      if (t.text != text && t.left < line.right && line.left < t.right && t.top < line.bottom && line.top < t.bottom)
        under.push_back(t.text);
  }
  return under;
}

base::cl_Window* EditorTest::Window(const char* label) const {
  return m_frame ? m_frame->GetSystemGUI()->FindByLabel(label) : nullptr;
}

namespace {

// The first window below root labelled label, depth first.
base::cl_Window* Below(base::cl_Window* root, const char* label) {
  for (base::cl_Window* child : root->m_Children) {
    if (child->m_Label == label) return child;
    if (base::cl_Window* found = Below(child, label)) return found;
  }
  return nullptr;
}

}  // namespace

bool EditorTest::ClickEntry(const char* control, const char* row) {
  base::cl_Window* list = Window(control);
  return PressMiddle(list ? Below(list, row) : nullptr);
}

bool EditorTest::Menu(const char* button, int x, int y) {
  Mouse(base::ICMD::MOUSE_MOVE, x, y);
  Mouse(base::ICMD::RIGHT_DOWN, x, y);
  Mouse(base::ICMD::RIGHT_UP, x, y);
  Step();
  return Click(button);
}

std::vector<std::string> EditorTest::Rows(const char* control) const {
  std::vector<std::string> rows;
  base::cl_Window* list = Window(control);
  if (!list || !list->m_Value.is_element()) return rows;
  for (int i = 0; i < list->m_Value.size(); ++i) {
    base::tString<base::BaseString> label;
    if (list->m_Value[i].get_attribute_string("label", label)) rows.emplace_back(label.c_str());
  }
  return rows;
}

bool EditorTest::Click(const char* label) { return PressMiddle(Window(label)); }

bool EditorTest::PressMiddle(const base::cl_Window* w) {
  if (!w || w->m_AbsRect.right <= w->m_AbsRect.left) return false;
  const int x = static_cast<int>((w->m_AbsRect.left + w->m_AbsRect.right) / 2);
  const int y = static_cast<int>((w->m_AbsRect.top + w->m_AbsRect.bottom) / 2);
  Mouse(base::ICMD::MOUSE_MOVE, x, y);
  Mouse(base::ICMD::LEFT_DOWN, x, y);
  Mouse(base::ICMD::LEFT_UP, x, y);
  return true;
}

quillane::cl_Scene* EditorTest::Open(const char* name) {
  if (!m_editor->OpenScene(base::tString<base::BaseString>(name))) return nullptr;
  Step();
  return quillane::cl_Editor::GetEditedScene();
}

void EditorTest::ExpectQuitAskedAndEscapeKeepsRunning() {
  ASSERT_NE(Window("DialogBox"), nullptr) << "the question";
  EXPECT_FALSE(m_system->GetQuit());
  Key(base::key::Escape);
  Step();
  EXPECT_EQ(Window("DialogBox"), nullptr);
  EXPECT_FALSE(m_system->GetQuit()) << "Escape is No";
}

base::Variant Button(const char* label) {
  base::Variant event;
  event.set_element("ButtonPressed");
  event.attribute("ctrl_label")->set_string(label);
  return event;
}

}  // namespace editortest
