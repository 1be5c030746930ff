// The splash window shown while the program starts: a borderless window in the middle of the
// desktop with a BMP picture in a one-pixel frame. SDL windows belong to the main thread, so the
// splash has no thread of its own: the start-up refreshes it between its steps.
#pragma once

#include <memory>

namespace platform::input {

class SplashWindow {
 public:
  static constexpr int kEmptySize = 100;  // the black square shown when the picture is missing

  // Opens and shows the window with the BMP at bitmapPath, or a black kEmptySize square when
  // that cannot be read (pictureLoaded tells which). Null when no window can be opened (no
  // display); the reason goes to stderr.
  static std::unique_ptr<SplashWindow> Open(const char* title, const char* bitmapPath);
  ~SplashWindow();  // closes the window
  SplashWindow(const SplashWindow&) = delete;
  SplashWindow& operator=(const SplashWindow&) = delete;

  // Lets the window system see the program alive and draws the picture again.
  void Refresh();
  int Width() const { return m_width; }  // the window, frame included
  int Height() const { return m_height; }
  bool PictureLoaded() const { return m_picture != nullptr; }

 private:
  SplashWindow() = default;
  void* m_window = nullptr;   // SDL_Window
  void* m_picture = nullptr;  // SDL_Surface, null for the empty square
  int m_width = 0;
  int m_height = 0;
};

}  // namespace platform::input
