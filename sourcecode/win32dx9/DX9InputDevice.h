// The engine's input device: once per frame it polls the buffered keyboard and mouse, keeps the
// state of every key by engine key code, and turns each buffered element into one input command
// in a queue ordered as the events happened across both devices. Key codes follow a German
// keyboard for letter and punctuation positions (the key labelled Y on a US board gives 'Z').
// There is no key repeat. With the platform's text input a key press carries the character the
// player's keyboard layout typed; without it characters come later from the scan codes (base::ICMD).
#pragma once

#include <cstdint>
#include <list>

#include "base/app/Device.h"
#include "base/app/ICMD.h"

namespace platform::input {
class Queue;
}

namespace win32dx9 {

class cl_DX9InputDevice final : public base::i_InputDevice {
 public:
  // Command types (the first byte of base::ICMD); 9 and 10 are made by the root module.
  enum en_Command : uint8_t {
    KEY_DOWN = base::ICMD::KEY_PRESSED,
    KEY_UP = 1,
    MOUSE_MOVE = base::ICMD::MOUSE_MOVE,
    LEFT_DOWN = base::ICMD::LEFT_DOWN,
    LEFT_UP = base::ICMD::LEFT_UP,
    RIGHT_DOWN = base::ICMD::RIGHT_DOWN,
    RIGHT_UP = base::ICMD::RIGHT_UP,
    MIDDLE_DOWN = base::ICMD::MIDDLE_DOWN,
    MIDDLE_UP = base::ICMD::MIDDLE_UP,
    WHEEL = 11,
  };
  enum : uint16_t { MOD_SHIFT = base::ICMD::MOD_SHIFT, MOD_CTRL = base::ICMD::MOD_CTRL, MOD_ALT = 4 };
  static constexpr float kMouseDeltaScale = 2.0f;

  // source: the buffered keyboard and mouse (not owned; outlives the device).
  explicit cl_DX9InputDevice(platform::input::Queue* source);
  ~cl_DX9InputDevice() override;

  // Fills the key table, clears every state and the queue, takes the mouse position from the
  // system; false without a source.
  bool StartUp() override;
  bool ShutDown() override;  // lets go of the source and the queue; true
  // The per-frame poll (both arguments are ignored).
  void Update(float time, float dt) override;
  // The next command: type, key and scan code, x, y, then dx, dy and wheel in ICMD::extra, the
  // modifier word and the typed text; false when the queue is empty. ICMD::accent is left as it was.
  bool PopCommand(base::ICMD& cmd) override;
  // The key's state by engine key code; codes below 0 read key 0, above 255 read key 255.
  bool IsKeyDown(int key) override;

  // The engine key code of a scan code (0 for none).
  static uint8_t KeyCodeOf(uint8_t scan);
  uint16_t GetModifiers() const { return m_Modifiers; }

 private:
  struct st_Event {
    uint32_t sequence;
    uint32_t timeStamp;
    int16_t x, y, dx, dy, wheel;
    uint16_t modifiers;
    uint8_t type;
    uint8_t key;
    uint8_t scan;
    bool typed;     // a key press translated by the platform's text input
    char16_t text;  // what the keyboard layout typed with it
  };

  bool m_LeftShift = false, m_RightShift = false, m_LeftCtrl = false, m_RightCtrl = false, m_LeftAlt = false,
       m_RightAlt = false;
  int m_MouseX = 0;
  int m_MouseY = 0;
  float m_MouseDeltaScale = kMouseDeltaScale;
  bool m_KeyState[256] = {};
  uint16_t m_Modifiers = 0;
  uint8_t m_KeyTable[256] = {};
  std::list<st_Event>* m_Events = nullptr;
  platform::input::Queue* m_Source;
  bool m_Started = false;
};

// Allocates the device (not started) over the given buffered keyboard and mouse.
base::i_InputDevice* CreateInputDevice(platform::input::Queue* source);

}  // namespace win32dx9
