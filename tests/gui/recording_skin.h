// A skin for the GUI tests and benchmarks: every control class of the toolkit, registered under its
// layout name in a GUI root of its own, recording what it draws, the clip rectangles of scroll areas
// and each window's deletion. "Edit" is the toolkit's edit control; "GuiSelfTest" gets its lists
// and tree filled in code (tests/support/GuiSelfTestValues.h).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/app/ICMD.h"
#include "base/gui/GUI.h"
#include "base/gui/GUIBasicControls.h"
#include "base/gui/GUIEdit.h"
#include "../support/GuiSelfTestValues.h"

namespace guitest {

struct st_Draw {
  std::string label;  // copied: the window may be gone when the log is read
  base::st_ScreenRect rect;
};

// What the skin saw, process-wide (the toolkit's globals are process-wide too).
struct st_SkinLog {
  std::vector<st_Draw> draws;
  std::vector<base::st_ScreenRect> clips;  // every SetClipRect; an all -1 rectangle stands for null
  std::map<int, int> deletions;            // window serial -> times its destructor ran
  int nextSerial = 1;

  void ClearFrame() {
    draws.clear();
    clips.clear();
  }
  bool Drew(const std::string& label) const {
    for (const st_Draw& d : draws) {
      if (label == d.label) return true;
    }
    return false;
  }
};

inline st_SkinLog& Log() {
  static st_SkinLog log;
  return log;
}

// Numbers every skin window and records its drawing and deletion.
class i_Serial {
 public:
  virtual ~i_Serial() = default;
  int m_serial = Log().nextSerial++;
};

template <class B>
class tRecorded : public B, public i_Serial {
 public:
  ~tRecorded() override { ++Log().deletions[m_serial]; }
  void Render(float px, float py) override {
    B::Render(px, py);
    if (!this->HasFlag(base::WF_HIDDEN)) Log().draws.push_back({this->m_Label.c_str(), this->m_AbsRect});
  }
};

class cl_TestRadioButton : public tRecorded<base::cl_RadioButton> {
 public:
  void Render(float px, float py) override {
    // As the default skin does: a preset choice is published at the first render.
    if (m_PublishPending && m_Value.get_int() != 0) StoreValue();
    m_PublishPending = false;
    tRecorded<base::cl_RadioButton>::Render(px, py);
  }
};

// Unlike the toolkit's slider, the test skin's reads the common keys, so a layout can place it.
class cl_TestSlider : public tRecorded<base::cl_Slider> {
 public:
  bool Init(base::StaticVariantIterator desc) override {
    base::cl_Window::Init(desc);
    return base::cl_Slider::Init(desc);
  }
};

class cl_TestStringCtrl : public tRecorded<base::cl_StringCtrl> {
 public:
  static constexpr int kCharWidth = 8;
  void Render(float px, float py) override {
    // Rows built by an edit control have no size; the skins give them one as they draw.
    if (m_Rect.w == 0 && m_Rect.h == 0) m_Rect.w = 170, m_Rect.h = 20;
    tRecorded<base::cl_StringCtrl>::Render(px, py);
  }
  int GetCharIndexAt(int x) override {
    // In float until clamped: a layout may give the row any rectangle, NaN included.
    const float index = (static_cast<float>(x) - m_AbsRect.left + kCharWidth / 2) / kCharWidth;
    const int length = base::str::len(base::get_string(m_pBound));
    if (!(index > 0)) return 0;
    return index >= static_cast<float>(length) ? length : static_cast<int>(index);
  }
};

class cl_TestScrollArea : public tRecorded<base::cl_ScrollArea> {
 public:
  void SetClipRect(const base::st_ScreenRect* r) override {
    Log().clips.push_back(r ? *r : base::st_ScreenRect{-1, -1, -1, -1});
  }
};

// The toolkit's edit control, recorded like the rest.
using cl_TestList = tRecorded<base::cl_Edit>;

// A GUI root with the whole skin registered.
class cl_TestGUI : public base::cl_GUI {
 public:
  cl_TestGUI() {
    Register<tRecorded<base::cl_Button>>("Button");
    Register<tRecorded<base::cl_CloseButton>>("CloseButton");
    Register<tRecorded<base::cl_CheckBox>>("CheckBox");
    Register<cl_TestRadioButton>("RadioButton");
    Register<tRecorded<base::cl_TreeToggle>>("TreeToggle");
    Register<tRecorded<base::cl_SliderHandle>>("SliderHandle");
    Register<cl_TestSlider>("Slider");
    Register<cl_TestScrollArea>("ScrollArea");
    Register<cl_TestStringCtrl>("StringCtrl");
    Register<tRecorded<base::cl_Group>>("Group");
    Register<cl_TestList>("Edit");
    Register<tRecorded<base::cl_TreeCtrl>>("TreeCtrl");
    Register<tRecorded<base::cl_Sheet>>("Sheet");
    Register<tRecorded<base::cl_Menu>>("Menu");
    Register<tRecorded<base::cl_MenuFolder>>("MenuFolder");
    Register<tRecorded<base::cl_TitleBar>>("TitleBar");
    Register<tRecorded<base::cl_Button>>("MenuEntry");
    Register<tRecorded<base::cl_Window>>("Frame");
    Register<tRecorded<base::cl_Window>>("Text");
    Register<tRecorded<base::cl_Window>>("Image");
    m_Rect = {0, 0, 1024, 768};
    Log().ClearFrame();
  }
};

// A panel that logs each event as "<name>:<ctrl_label>[:<element_label>]" and can run a handler.
class cl_TestPanel : public tRecorded<base::cl_Panel> {
 public:
  bool ProcessEvent(const base::Variant& event) override {
    std::string line = base::str::len(event.get_label()) ? event.get_label() : "";
    if (const char* c = base::get_string(event.get_attribute("ctrl_label"))) line += std::string(":") + c;
    if (const char* e = base::get_string(event.get_attribute("element_label"))) line += std::string(":") + e;
    m_events.push_back(line);
    if (m_onEvent) m_onEvent(this, event);
    return true;
  }
  std::vector<std::string> m_events;
  void (*m_onEvent)(cl_TestPanel*, const base::Variant&) = nullptr;
};

// ---- input commands

inline base::ICMD Cmd(int type, int x = 0, int y = 0, int key = 0, int modifiers = 0) {
  base::ICMD c;
  c.type = static_cast<uint8_t>(type);
  c.mouseX = static_cast<uint16_t>(x);
  c.mouseY = static_cast<uint16_t>(y);
  c.key = static_cast<uint8_t>(key);
  c.modifiers = static_cast<uint16_t>(modifiers);
  return c;
}
inline base::ICMD Move(int x, int y) { return Cmd(base::ICMD::MOUSE_MOVE, x, y); }
inline base::ICMD Down(int x, int y, int modifiers = 0) { return Cmd(base::ICMD::LEFT_DOWN, x, y, 0, modifiers); }
inline base::ICMD Up(int x, int y) { return Cmd(base::ICMD::LEFT_UP, x, y); }
inline base::ICMD RightDown(int x, int y) { return Cmd(base::ICMD::RIGHT_DOWN, x, y); }
inline base::ICMD Key(int key, int modifiers = 0) { return Cmd(base::ICMD::KEY_PRESSED, 0, 0, key, modifiers); }

// One frame: the commands, then Update and Render, as the GUI's owning module does.
inline void Frame(base::cl_GUI& gui, const std::vector<base::ICMD>& cmds, float dt = 1.0f / 60) {
  for (base::ICMD c : cmds) gui.ProcessInput(c);
  gui.Update(dt);
  gui.Render(0, 0);
}

// The "GuiSelfTest" layout in a test panel under a test GUI root (which becomes g_pGUI), rendered
// once so every window has its rectangle.
struct st_SelfTest {
  explicit st_SelfTest(const std::string& file) {
    base::g_pGUI = &gui;
    panel = new cl_TestPanel;
    gui.AddChild(panel);
    loaded = panel->LoadFromFile(file.c_str(), "GuiSelfTest");
    testsupport::FillSelfTestEdits(panel);
    Frame(gui, {});
    panel->m_events.clear();  // entries seeded as selected announce themselves while built
  }
  template <class T = base::cl_Window>
  T* Find(const char* label) {
    return dynamic_cast<T*>(gui.FindByLabel(label));
  }

  cl_TestGUI gui;
  cl_TestPanel* panel = nullptr;
  bool loaded = false;
};

}  // namespace guitest
