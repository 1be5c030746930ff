// The input device: key table, per-frame poll, command queue.
#include "win32dx9/DX9InputDevice.h"

#include <algorithm>
#include <cstring>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/system.h"
#include "platform/input/Input.h"

namespace win32dx9 {
namespace {

namespace in = platform::input;
namespace key = base::key;

struct st_KeyPair {
  uint8_t scan;
  uint8_t code;
};

// Scan code (set 1, 0x80 for extended keys) to engine key code; unlisted keys (numpad multiply and
// divide, the key beside left shift) give 0.
constexpr st_KeyPair kKeyTable[] = {
    {0x01, key::Escape},
    {0x02, '1'},
    {0x03, '2'},
    {0x04, '3'},
    {0x05, '4'},
    {0x06, '5'},
    {0x07, '6'},
    {0x08, '7'},
    {0x09, '8'},
    {0x0A, '9'},
    {0x0B, '0'},
    {0x0C, key::SharpS},
    {0x0D, key::Acute},
    {0x0E, key::Backspace},
    {0x0F, key::Tab},
    {0x10, 'Q'},
    {0x11, 'W'},
    {0x12, 'E'},
    {0x13, 'R'},
    {0x14, 'T'},
    {0x15, 'Z'},
    {0x16, 'U'},
    {0x17, 'I'},
    {0x18, 'O'},
    {0x19, 'P'},
    {0x1A, key::UUmlaut},
    {0x1B, key::Plus},
    {0x1C, key::Enter},
    {0x1D, key::LeftCtrl},
    {0x1E, 'A'},
    {0x1F, 'S'},
    {0x20, 'D'},
    {0x21, 'F'},
    {0x22, 'G'},
    {0x23, 'H'},
    {0x24, 'J'},
    {0x25, 'K'},
    {0x26, 'L'},
    {0x27, key::OUmlaut},
    {0x28, key::AUmlaut},
    {0x29, key::Caret},
    {0x2A, key::LeftShift},
    {0x2B, key::Hash},
    {0x2C, 'Y'},
    {0x2D, 'X'},
    {0x2E, 'C'},
    {0x2F, 'V'},
    {0x30, 'B'},
    {0x31, 'N'},
    {0x32, 'M'},
    {0x33, key::Comma},
    {0x34, key::Period},
    {0x35, key::Minus},
    {0x36, key::RightShift},
    {0x38, key::LeftAlt},
    {0x39, key::Space},
    {0x3A, key::CapsLock},
    {0x3B, key::F1},
    {0x3C, key::F2},
    {0x3D, key::F3},
    {0x3E, key::F4},
    {0x3F, key::F5},
    {0x40, key::F6},
    {0x41, key::F7},
    {0x42, key::F8},
    {0x43, key::F9},
    {0x44, key::F10},
    {0x45, key::NumLock},
    {0x46, key::ScrollLock},
    {0x47, key::Pad7},
    {0x48, key::Pad8},
    {0x49, key::Pad9},
    {0x4A, key::PadMinus},
    {0x4B, key::Pad4},
    {0x4C, key::Pad5},
    {0x4D, key::Pad6},
    {0x4E, key::PadPlus},
    {0x4F, key::Pad1},
    {0x50, key::Pad2},
    {0x51, key::Pad3},
    {0x52, key::Pad0},
    {0x53, key::PadPoint},
    {0x57, key::F11},
    {0x58, key::F12},
    {0x64, key::F13},
    {0x65, key::F14},
    {0x66, key::F15},
    {0x9C, key::Enter},
    {0x9D, key::RightCtrl},
    {0xB7, key::PrintScreen},
    {0xB8, key::RightAlt},
    {0xC5, key::Pause},
    {0xC7, key::Home},
    {0xC8, key::Up},
    {0xC9, key::PageUp},
    {0xCB, key::Left},
    {0xCD, key::Right},
    {0xCF, key::End},
    {0xD0, key::Down},
    {0xD1, key::PageDown},
    {0xD2, key::Insert},
    {0xD3, key::Delete},
    {0xDB, key::LeftWindows},
    {0xDC, key::RightWindows},
    {0xDD, key::Application},
};

constexpr uint32_t kPollSize = in::kBufferSize;

// A motion element's 16-bit delta times scale, saturated to the command's 16 bits: a play step
// moves the pointer tens of thousands of pixels at once, and converting a float out of range
// is undefined.
int16_t ScaledDelta(uint32_t data, float scale) {
  const float v = static_cast<float>(static_cast<int16_t>(data)) * scale;
  return static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
}

}  // namespace

uint8_t cl_DX9InputDevice::KeyCodeOf(uint8_t scan) {
  for (const st_KeyPair& p : kKeyTable)
    if (p.scan == scan) return p.code;
  return 0;
}

cl_DX9InputDevice::cl_DX9InputDevice(in::Queue* source) : m_Source(source) {
  m_MouseX = base::sys::MouseX();
  m_MouseY = base::sys::MouseY();
}

cl_DX9InputDevice::~cl_DX9InputDevice() { ShutDown(); }

base::i_InputDevice* CreateInputDevice(in::Queue* source) { return new cl_DX9InputDevice(source); }

bool cl_DX9InputDevice::StartUp() {
  if (!m_Source) {
    base::sys::Output("ERROR: the input device has no keyboard and mouse to read\n");
    return false;
  }
  m_Source->Flush();
  delete m_Events;
  m_Events = new std::list<st_Event>;
  m_Modifiers = 0;
  m_MouseX = base::sys::MouseX();
  m_MouseY = base::sys::MouseY();
  std::memset(m_KeyState, 0, sizeof m_KeyState);
  std::memset(m_KeyTable, 0, sizeof m_KeyTable);
  for (const st_KeyPair& p : kKeyTable) m_KeyTable[p.scan] = p.code;
  m_LeftShift = m_RightShift = m_LeftCtrl = m_RightCtrl = m_LeftAlt = m_RightAlt = false;
  m_Started = true;
  return true;
}

bool cl_DX9InputDevice::ShutDown() {
  m_Started = false;
  delete m_Events;
  m_Events = nullptr;
  return true;
}

void cl_DX9InputDevice::Update(float, float) {
  if (!m_Started) return;

  // Key state. Keys that share a code (Return and numpad Enter, F3 and the key right of 0) read
  // down while any of them is held; unmapped keys leave code 0 alone.
  if (m_Source->Acquire()) {
    uint8_t scans[256];
    m_Source->GetKeyboardState(scans);
    std::memset(m_KeyState, 0, sizeof m_KeyState);
    for (int s = 0; s < 256; ++s)
      if (m_KeyTable[s] != 0 && scans[s] != 0) m_KeyState[m_KeyTable[s]] = true;
  }

  int16_t dx = 0, dy = 0, wheel = 0;
  auto append = [&](const in::DeviceData& d, uint8_t type, uint8_t key, uint8_t scan) {
    // Characters beyond the 16-bit range have no place in the engine's text.
    const char16_t text = d.character <= 0xFFFF ? static_cast<char16_t>(d.character) : 0;
    // A press that carries a character typed it, also where the window has no text input (a
    // scripted road's text).
    const bool typed = type == KEY_DOWN && (m_Source->HasTextInput() || d.character != 0);
    m_Events->push_back(st_Event{d.sequence, d.timeStamp, static_cast<int16_t>(m_MouseX),
                                 static_cast<int16_t>(m_MouseY), dx, dy, wheel, m_Modifiers, type, key, scan, typed,
                                 typed ? text : u'\0'});
  };

  in::DeviceData data[kPollSize];
  if (m_Source->Acquire()) {
    const uint32_t n = m_Source->GetMouseData(data, kPollSize);
    for (uint32_t i = 0; i < n; ++i) {
      const in::DeviceData& d = data[i];
      const bool pressed = (d.data & in::kPressed) != 0;
      uint8_t type;
      switch (d.offset) {
        case in::mouse::Button0: type = pressed ? LEFT_DOWN : LEFT_UP; break;
        case in::mouse::Button1: type = pressed ? RIGHT_DOWN : RIGHT_UP; break;
        case in::mouse::Button2: type = pressed ? MIDDLE_DOWN : MIDDLE_UP; break;
        case in::mouse::X:
          type = MOUSE_MOVE;
          dx = ScaledDelta(d.data, m_MouseDeltaScale);
          break;
        case in::mouse::Y:
          type = MOUSE_MOVE;
          dy = ScaledDelta(d.data, m_MouseDeltaScale);
          break;
        case in::mouse::Wheel:
          type = WHEEL;
          wheel = static_cast<int16_t>(d.data & 0xFFFF);
          break;
        default: continue;  // further buttons have no command
      }
      m_MouseX = d.x, m_MouseY = d.y;
      append(d, type, 0, 0);
    }
    // The platform also learns the pointer's place without a motion (the window opened or came
    // back under a resting pointer): a move of nothing tells the engine, ahead of this poll's keys.
    int x = m_MouseX, y = m_MouseY;
    m_Source->GetCursor(&x, &y);
    if (x != m_MouseX || y != m_MouseY) {
      m_MouseX = x, m_MouseY = y;
      dx = dy = wheel = 0;
      append(in::DeviceData{in::mouse::X, 0, 0, 0}, MOUSE_MOVE, 0, 0);
    }
  }

  if (m_Source->Acquire()) {
    const uint32_t n = m_Source->GetKeyboardData(data, kPollSize);
    for (uint32_t i = 0; i < n; ++i) {
      const in::DeviceData& d = data[i];
      const uint8_t scan = static_cast<uint8_t>(d.offset & 0xFF);
      if (scan == 0) {
        // A character typed without a key of its own: a press of no key that carries it.
        if (d.character != 0) append(d, KEY_DOWN, 0, 0);
        continue;
      }
      const bool down = (d.data & in::kPressed) != 0;
      const uint8_t code = m_KeyTable[scan];
      switch (code) {
        case key::LeftShift: m_LeftShift = down; break;
        case key::RightShift: m_RightShift = down; break;
        case key::LeftCtrl: m_LeftCtrl = down; break;
        case key::RightCtrl: m_RightCtrl = down; break;
        case key::LeftAlt: m_LeftAlt = down; break;
        case key::RightAlt: m_RightAlt = down; break;
        default: break;
      }
      m_Modifiers = static_cast<uint16_t>(((m_LeftShift || m_RightShift) ? MOD_SHIFT : 0) |
                                          ((m_LeftCtrl || m_RightCtrl) ? MOD_CTRL : 0) |
                                          ((m_LeftAlt || m_RightAlt) ? MOD_ALT : 0));
      append(d, down ? KEY_DOWN : KEY_UP, code, scan);
    }
  }

  // Both devices' events in the order they happened.
  if (m_Events->size() > 1)
    m_Events->sort([](const st_Event& a, const st_Event& b) { return a.sequence < b.sequence; });
}

bool cl_DX9InputDevice::PopCommand(base::ICMD& cmd) {
  if (!m_Events || m_Events->empty()) return false;
  const st_Event& e = m_Events->front();
  cmd.type = e.type;
  cmd.key = e.key;
  cmd.scan = e.scan;
  cmd.mouseX = static_cast<uint16_t>(e.x);
  cmd.mouseY = static_cast<uint16_t>(e.y);
  cmd.extra[0] = static_cast<uint16_t>(e.dx);
  cmd.extra[1] = static_cast<uint16_t>(e.dy);
  cmd.extra[2] = static_cast<uint16_t>(e.wheel);
  cmd.modifiers = e.modifiers;
  cmd.typed = e.typed;
  cmd.text = e.text;
  m_Events->pop_front();
  return true;
}

bool cl_DX9InputDevice::IsKeyDown(int key) {
  if (key < 0) key = 0;
  if (key > 255) key = 255;
  return m_KeyState[key];
}

}  // namespace win32dx9
