// The editor mode on the headless platform: the frame fixture (1024 x 768) started with
// QuickLaunch "editor" in a scratch copy of the demo data that the editor reads and writes (the
// GUI layouts, the scene list, the editor's resources, the Office whole and the other scenes'
// project files, the test picture), with the system font loaded. Input goes through the root
// module as the frame loop gives it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "win32dx9/DX9InputDevice.h"
#include "../frame/frame_fixture.h"

namespace quillane {
class cl_Editor;
class cl_Scene;
}  // namespace quillane

namespace editortest {

// Modifier bits of key and mouse commands, as the input device sets them.
constexpr uint16_t kShift = win32dx9::cl_DX9InputDevice::MOD_SHIFT, kCtrl = win32dx9::cl_DX9InputDevice::MOD_CTRL;

// A window that keeps every event it is sent (and takes it).
class cl_Listener : public base::cl_Window {
 public:
  bool ProcessEvent(const base::Variant& event) override {
    events.push_back(event);
    return true;
  }
  std::vector<base::Variant> events;
};

class EditorTest : public frametest::FrameTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies a file or folder of the demo data into the working folder (same relative path).
  void CopyFromData(const std::string& relative);
  std::string ReadText(const std::string& relative) const;

  // A key press (or release) where the mouse last was.
  void Key(uint8_t key, uint16_t modifiers = 0, bool down = true);
  // A mouse command at (x, y); moves carry the relative motion (dx, dy).
  void Mouse(int type, int x, int y, int dx = 0, int dy = 0, uint16_t modifiers = 0);
  // A press (a release at once) of the window labelled label, in the middle of where it was drawn
  // last; false when no such window is drawn.
  bool Click(const char* label);
  // A press of the row labelled row in the list control labelled control, as Click.
  bool ClickEntry(const char* control, const char* row);
  // The right-click menu opened at (x, y) and its button pressed; false when it is not there.
  bool Menu(const char* button, int x = 300, int y = 200);
  // The labels of the rows of the list control labelled control, in order.
  std::vector<std::string> Rows(const char* control) const;
  // The window labelled label in the system GUI; null when none.
  base::cl_Window* Window(const char* label) const;
  // Opens the scene and draws a frame, so the camera knows the editor viewport.
  quillane::cl_Scene* Open(const char* name);
  // After "Quit" over unsaved work: the question is open and the program runs on; Escape (No)
  // closes it, and the program still runs.
  void ExpectQuitAskedAndEscapeKeepsRunning();

  // A press and release in the middle of where w was drawn last; false when it was not drawn.
  bool PressMiddle(const base::cl_Window* w);
  // Draws one frame and names every window of the system GUI (rows inside scroll areas, which
  // clip, aside) and every text drawn that reaches outside the 1024 x 768 window.
  std::vector<std::string> OutsideTheWindow();
  // Shows text as a failure on the editor's status line and draws one frame: the other texts
  // drawn where the line is drawn; shown tells whether the line was drawn at all.
  std::vector<std::string> TextsUnderTheStatusLine(const std::string& text, bool* shown);

  quillane::cl_Editor* m_editor = nullptr;
  std::filesystem::path m_data;  // the working folder
  std::filesystem::path m_cwd;
  bool m_keysEnabled = false;
  bool m_lazyCompile = false;
  int m_mouseX = 0, m_mouseY = 0;  // where the last mouse command was
};

// The event a dialog's button sends when pressed.
base::Variant Button(const char* label);

}  // namespace editortest
