// The main window and its message pump over SDL2. The pump keeps window messages (close
// requests, paints, focus changes) in a queue from which the frame loop takes at most one per
// frame, while keyboard and mouse events go straight into the input Queue, so a slow message
// rate never holds input back. Without a display the pump runs scripted: only what Post puts in.
#pragma once

#include <deque>
#include <memory>

namespace platform::input {

class Queue;

enum class Message {
  None,
  Quit,   // the process is asked to end (ends the frame loop at once)
  Close,  // the window's close button or the window manager asks the window to close
  Paint,  // the window needs its picture again
  Other,  // any other window message (focus, move, resize)
};

class Window {
 public:
  // An SDL window that can carry an OpenGL 3.3 core context, at (x, y) with a client area of
  // width x height; captioned gets a title bar and border, else it is borderless. Null (logged
  // to stderr) when SDL cannot open one.
  static std::unique_ptr<Window> Create(const char* title, int x, int y, int width, int height, bool captioned,
                                        bool fullscreen);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  void* Handle() const { return m_window; }  // the SDL_Window, for the graphics device
  void SetClientSize(int width, int height);
  void GetClientSize(int* width, int* height) const;
  // The display mode used while full screen: width x height at refresh Hz (0: any rate), or the
  // nearest mode the display offers when it has not this one. False when it offers none.
  bool SetFullscreenMode(int width, int height, int refresh);
  void Show();  // shows it and brings it forward

 private:
  Window() = default;
  void* m_window = nullptr;
};

// The size of the first display's desktop; false when there is no video.
bool GetDesktopSize(int* width, int* height);

// A modal message box (SDL's), or the text on stderr when no box can be shown.
void ShowMessageBox(const char* title, const char* text);

class MessagePump {
 public:
  // useSdl: drain SDL's event queue (SDL video is started for the pump's lifetime); else scripted.
  // Input events go to input (not owned, must outlive the pump).
  MessagePump(Queue* input, bool useSdl);
  ~MessagePump();
  MessagePump(const MessagePump&) = delete;
  MessagePump& operator=(const MessagePump&) = delete;

  // Takes every pending SDL event (input into the queue, window messages behind the waiting
  // ones); true when a window message waits. Nothing is removed.
  bool Peek();
  // Removes and returns the first waiting window message (None when none waits).
  Message Get();
  // Puts a window message at the end of the queue (tests, scripted runs).
  void Post(Message message) { m_messages.push_back(message); }
  bool UsesSdl() const { return m_sdl; }

 private:
  Queue* m_input;
  bool m_sdl;
  std::deque<Message> m_messages;
};

}  // namespace platform::input
