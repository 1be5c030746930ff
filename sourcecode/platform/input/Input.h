// Buffered keyboard and mouse in the shape the engine's input device polls: per device a buffer
// of elements (which key or axis, its data, a time stamp, the cursor then and one sequence number
// shared by both devices, so the two buffers can be merged in the order things happened), the
// keyboard's immediate key state and the cursor position. SDL2 events feed it (Window.h pumps
// them), or a test writes the events itself. Keys are PC scan codes of set 1 with 0x80 for the extended ones.
// With text input on (a window), each key press also carries the character the player's keyboard
// layout made of it. Main thread only; no engine dependency.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>

namespace platform::input {

// One buffered element. Key elements: offset = scan code, data bit 7 set = pressed. Mouse
// elements: offset one of the mouse:: values; axes carry a signed delta in data.
struct DeviceData {
  uint32_t offset;
  uint32_t data;
  uint32_t timeStamp;  // milliseconds, as the feeder gave it
  uint32_t sequence;   // one counter over both devices
  // Key presses: the character the keyboard layout made of it (0: none). An element with scan
  // code 0 is a character typed without a key of its own (an input method, a composed sequence).
  char32_t character = 0;
  // The cursor in client pixels when the element was fed: a press, a drag and a release polled
  // in one frame each keep their own place.
  int32_t x = 0, y = 0;
};

namespace mouse {
inline constexpr uint32_t X = 0, Y = 4, Wheel = 8, Button0 = 12, Button1 = 13, Button2 = 14, Button3 = 15;
inline constexpr int32_t kWheelNotch = 120;  // wheel data per notch
}  // namespace mouse

inline constexpr uint32_t kPressed = 0x80;
inline constexpr uint32_t kBufferSize = 128;  // elements kept per device; later ones are lost
// The mouse's last elements are kept for buttons and the wheel: once the pointer's motion has
// filled the rest (a long frame of a moving hand), each further motion is added to the motion
// elements before it, so that the click that ends the move still finds room.
inline constexpr uint32_t kPressRoom = 32;

class Queue {
 public:
  // ---- feeding (the SDL translation or a test)
  void Key(uint8_t scan, bool down, uint32_t time);
  // A held key's automatic repeat: no element (the game repeats held keys itself), and the text
  // the repeat typed is dropped with it.
  void KeyRepeat() { m_textOwner = kDropText; }
  // A character the keyboard layout typed: it belongs to the key press just fed, else it becomes
  // an element of its own. Only with text input on.
  void Text(std::u32string_view text, uint32_t time);
  // The feeder translates key presses into the layout's characters (a window's text input); off,
  // the engine applies its own layout table to the scan codes.
  void SetTextInput(bool on) { m_textInput = on; }
  // A relative motion; the cursor moves to (x, y) in client pixels.
  void MouseMotion(int dx, int dy, int x, int y, uint32_t time);
  void MouseButton(int button, bool down, uint32_t time);  // 0 left, 1 right, 2 middle, 3 fourth
  void MouseWheel(int delta, uint32_t time);               // in kWheelNotch units per notch
  void SetCursor(int x, int y) { m_cursorX = x; m_cursorY = y; }
  // The window gained or lost the foreground: without it nothing can be acquired, events are
  // dropped and every key reads up (the window no longer receives their releases).
  void SetForeground(bool foreground);

  // ---- reading (the input device's poll)
  // True while the window has the foreground.
  bool Acquire() const { return m_foreground; }
  // The down state of every scan code (0x80 pressed, 0 released).
  void GetKeyboardState(uint8_t out[256]) const;
  // Moves up to max buffered elements into out, oldest first; returns how many.
  uint32_t GetKeyboardData(DeviceData* out, uint32_t max) { return Take(m_keyboard, out, max); }
  uint32_t GetMouseData(DeviceData* out, uint32_t max) { return Take(m_mouse, out, max); }
  // The cursor in client pixels (not clamped to the window).
  void GetCursor(int* x, int* y) const { *x = m_cursorX; *y = m_cursorY; }
  // Drops every buffered element (the key state stays).
  void Flush();
  bool HasTextInput() const { return m_textInput; }

 private:
  // The new element, or null when it was lost (no foreground, full buffer).
  DeviceData* Append(std::deque<DeviceData>& buffer, uint32_t offset, uint32_t data, uint32_t time);
  static uint32_t Take(std::deque<DeviceData>& buffer, DeviceData* out, uint32_t max);
  // Adds a motion to the motion elements at the mouse buffer's end (none of a button or the
  // wheel after them), which then stand at the cursor; false when there is none of an axis it moves.
  bool FoldMotion(int dx, int dy, uint32_t time);

  static constexpr uint32_t kNoText = ~0u, kDropText = ~0u - 1;

  std::deque<DeviceData> m_keyboard;
  std::deque<DeviceData> m_mouse;
  uint8_t m_keys[256] = {};
  uint32_t m_sequence = 0;
  int m_cursorX = 0;
  int m_cursorY = 0;
  bool m_foreground = true;
  bool m_textInput = false;
  uint32_t m_textOwner = kNoText;  // sequence number of the key press the next text belongs to
};

}  // namespace platform::input
