// The splash screen over the platform's splash window.
#include "quillane/app/SplashScreen.h"

#include "base/system.h"
#include "platform/input/SplashWindow.h"
#include "platform/os/Path.h"

cl_SplashScreen::cl_SplashScreen() = default;

cl_SplashScreen::~cl_SplashScreen() { Close(); }

std::string cl_SplashScreen::BitmapPathFor(const char* path) {
  std::string result = path ? path : "";
  if (result.find('.') == std::string::npos) result += ".bmp";
  return result;
}

void cl_SplashScreen::Start(const char* title, const char* bitmapPath, bool show) {
  m_closed = false;
  m_title = title ? title : "";
  m_bitmapPath = BitmapPathFor(bitmapPath);
  if (!show) return;
  std::string resolved;
  platform::os::ResolvePath(m_bitmapPath.c_str(), resolved);
  m_window = platform::input::SplashWindow::Open(m_title.c_str(), resolved.c_str());
  if (m_window && !m_window->PictureLoaded())
    base::sys::Output("Warning: splash picture %s cannot be read; showing an empty splash\n", m_bitmapPath.c_str());
}

void cl_SplashScreen::Refresh() {
  if (m_window) m_window->Refresh();
}

void cl_SplashScreen::Close() {
  if (m_closed) return;
  m_closed = true;
  m_window.reset();
}
