// The splash window over SDL's window surface (no GL context: it is gone before the device starts).
#include "platform/input/SplashWindow.h"

#include <SDL2/SDL.h>

#include <cstdio>

namespace platform::input {
namespace {

constexpr int kFrame = 1;  // pixels of the frame on each side
constexpr int kMaxSide = 4096;

}  // namespace

std::unique_ptr<SplashWindow> SplashWindow::Open(const char* title, const char* bitmapPath) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "Warning: no splash window: %s\n", SDL_GetError());
    return nullptr;
  }
  // A window surface drawn through a GL renderer leaves GL state behind that the main window's
  // own context then fails on (seen on X servers with Mesa): the splash blits in software.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_Surface* picture = bitmapPath ? SDL_LoadBMP(bitmapPath) : nullptr;
  if (picture && (picture->w <= 0 || picture->h <= 0 || picture->w > kMaxSide || picture->h > kMaxSide)) {
    SDL_FreeSurface(picture);
    picture = nullptr;
  }
  const int width = (picture ? picture->w : kEmptySize) + 2 * kFrame;
  const int height = (picture ? picture->h : kEmptySize) + 2 * kFrame;
  SDL_Window* window = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                        SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR);
  if (!window) {
    std::fprintf(stderr, "Warning: no splash window: %s\n", SDL_GetError());
    if (picture) SDL_FreeSurface(picture);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  std::unique_ptr<SplashWindow> splash(new SplashWindow());
  splash->m_window = window;
  splash->m_picture = picture;
  splash->m_width = width;
  splash->m_height = height;
  SDL_ShowWindow(window);
  splash->Refresh();
  return splash;
}

SplashWindow::~SplashWindow() {
  if (m_picture) SDL_FreeSurface(static_cast<SDL_Surface*>(m_picture));
  if (m_window) {
    SDL_DestroyWindow(static_cast<SDL_Window*>(m_window));
    SDL_PumpEvents();  // lets the window system see it gone before the main window comes
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
}

void SplashWindow::Refresh() {
  SDL_PumpEvents();
  SDL_Window* window = static_cast<SDL_Window*>(m_window);
  SDL_Surface* screen = SDL_GetWindowSurface(window);
  if (!screen) return;
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0x80, 0x80, 0x80));
  SDL_Rect inner{kFrame, kFrame, m_width - 2 * kFrame, m_height - 2 * kFrame};
  SDL_FillRect(screen, &inner, SDL_MapRGB(screen->format, 0, 0, 0));
  if (m_picture) SDL_BlitSurface(static_cast<SDL_Surface*>(m_picture), nullptr, screen, &inner);
  SDL_UpdateWindowSurface(window);
}

}  // namespace platform::input
