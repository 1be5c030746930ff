// The splash screen shown while the engine starts: the language's "splash_screen.bmp" in a
// small borderless window in the middle of the desktop. It lives on the main thread (the
// window system wants its windows there) and is refreshed between the start-up steps.
#pragma once

#include <memory>
#include <string>

namespace platform::input {
class SplashWindow;
}

class cl_SplashScreen {
 public:
  cl_SplashScreen();
  ~cl_SplashScreen();  // closes the window if it is still open
  cl_SplashScreen(const cl_SplashScreen&) = delete;
  cl_SplashScreen& operator=(const cl_SplashScreen&) = delete;

  // Stores the title and the bitmap path (".bmp" appended when it has no "." at all) and opens
  // the window; with show false (headless) nothing is opened. A missing bitmap shows a black
  // square; no display shows nothing. Start-up goes on in every case.
  void Start(const char* title, const char* bitmapPath, bool show);
  void Refresh();  // between start-up steps
  void Close();    // once; later calls do nothing
  bool IsOpen() const { return m_window != nullptr; }
  const std::string& GetBitmapPath() const { return m_bitmapPath; }

  // path, with ".bmp" appended when it contains no "." anywhere.
  static std::string BitmapPathFor(const char* path);

 private:
  std::unique_ptr<platform::input::SplashWindow> m_window;
  std::string m_title;
  std::string m_bitmapPath;
  bool m_closed = false;
};
