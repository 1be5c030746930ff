// The SDL window, the desktop size, the message box and the message pump.
#include "platform/input/Window.h"

#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/input/Input.h"
#include "platform/input/SdlEvents.h"

namespace platform::input {
namespace {

bool StartVideo() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
  std::fprintf(stderr, "ERROR: SDL video: %s\n", SDL_GetError());
  return false;
}

}  // namespace

std::unique_ptr<Window> Window::Create(const char* title, int x, int y, int width, int height, bool captioned,
                                       bool fullscreen) {
  // The window's close button must reach the frame loop as a close request only: the game may
  // answer it with its quit confirmation instead of ending.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (!StartVideo()) return nullptr;
  // The pixel format of a GL window is fixed when it is created: ask for what the device's
  // context will want.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (!captioned) flags |= SDL_WINDOW_BORDERLESS;
  if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN;
  SDL_Window* sdlWindow = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
  if (!sdlWindow) {
    std::fprintf(stderr, "ERROR: cannot open the main window (%dx%d): %s\n", width, height, SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  std::unique_ptr<Window> window(new Window());
  window->m_window = sdlWindow;
  return window;
}

Window::~Window() {
  if (!m_window) return;
  SDL_DestroyWindow(static_cast<SDL_Window*>(m_window));
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void Window::SetClientSize(int width, int height) {
  if (width > 0 && height > 0) SDL_SetWindowSize(static_cast<SDL_Window*>(m_window), width, height);
}

bool Window::SetFullscreenMode(int width, int height, int refresh) {
  SDL_Window* window = static_cast<SDL_Window*>(m_window);
  SDL_DisplayMode wanted = {0, width, height, refresh > 0 ? refresh : 0, nullptr};
  SDL_DisplayMode closest;
  const int display = SDL_GetWindowDisplayIndex(window);
  if (display < 0 || !SDL_GetClosestDisplayMode(display, &wanted, &closest)) {
    std::fprintf(stderr, "Warning: no display mode near %dx%d at %d Hz: %s\n", width, height, refresh, SDL_GetError());
    return false;
  }
  return SDL_SetWindowDisplayMode(window, &closest) == 0;
}

void Window::GetClientSize(int* width, int* height) const {
  SDL_GetWindowSize(static_cast<SDL_Window*>(m_window), width, height);
}

void Window::Show() {
  SDL_ShowWindow(static_cast<SDL_Window*>(m_window));
  SDL_RaiseWindow(static_cast<SDL_Window*>(m_window));
}

bool GetDesktopSize(int* width, int* height) {
  if (!StartVideo()) return false;
  SDL_DisplayMode mode;
  const bool ok = SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0;
  if (ok) {
    *width = mode.w;
    *height = mode.h;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return ok;
}

void ShowMessageBox(const char* title, const char* text) {
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, nullptr) != 0)
    std::fprintf(stderr, "%s: %s\n", title, text);
}

MessagePump::MessagePump(Queue* input, bool useSdl) : m_input(input), m_sdl(useSdl && StartVideo()) {
  // Characters come from the player's keyboard layout (and input method), not from scan codes.
  if (m_sdl) SDL_StartTextInput();
  m_input->SetTextInput(m_sdl);
}

MessagePump::~MessagePump() {
  if (!m_sdl) return;
  SDL_StopTextInput();
  m_input->SetTextInput(false);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool MessagePump::Peek() {
  if (m_sdl) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      const Message message = TranslateEvent(event, *m_input);
      if (message != Message::None) m_messages.push_back(message);
    }
  }
  return !m_messages.empty();
}

Message MessagePump::Get() {
  if (m_messages.empty()) return Message::None;
  const Message message = m_messages.front();
  m_messages.pop_front();
  return message;
}

}  // namespace platform::input
