// The input device: key table, per-frame poll, command queue.
#include "win32dx9/DX9InputDevice.h"

#include <cstring>

#include "base/app/ICMD.h"
#include "base/system.h"
#include "platform/input/Input.h"

namespace win32dx9 {
namespace {

namespace in = platform::input;

struct st_KeyPair {
  uint8_t scan;
  uint8_t code;
};

// Scan code (set 1, 0x80 for extended keys) to engine key code. Backspace is 9 and Tab 8; F3 and
// the key right of 0 share 223; unlisted keys (numpad multiply and divide, the key beside left
// shift) give 0.
constexpr st_KeyPair kKeyTable[] = {
    {0x01, 27},  {0x02, '1'}, {0x03, '2'}, {0x04, '3'}, {0x05, '4'}, {0x06, '5'}, {0x07, '6'}, {0x08, '7'},
    {0x09, '8'}, {0x0A, '9'}, {0x0B, '0'}, {0x0C, 223}, {0x0D, 61},  {0x0E, 9},   {0x0F, 8},   {0x10, 'Q'},
    {0x11, 'W'}, {0x12, 'E'}, {0x13, 'R'}, {0x14, 'T'}, {0x15, 'Z'}, {0x16, 'U'}, {0x17, 'I'}, {0x18, 'O'},
    {0x19, 'P'}, {0x1A, 220}, {0x1B, 93},  {0x1C, 13},  {0x1D, 201}, {0x1E, 'A'}, {0x1F, 'S'}, {0x20, 'D'},
    {0x21, 'F'}, {0x22, 'G'}, {0x23, 'H'}, {0x24, 'J'}, {0x25, 'K'}, {0x26, 'L'}, {0x27, 214}, {0x28, 196},
    {0x29, 180}, {0x2A, 203}, {0x2B, 92},  {0x2C, 'Y'}, {0x2D, 'X'}, {0x2E, 'C'}, {0x2F, 'V'}, {0x30, 'B'},
    {0x31, 'N'}, {0x32, 'M'}, {0x33, 44},  {0x34, 58},  {0x35, 47},  {0x36, 204}, {0x38, 205}, {0x39, 32},
    {0x3A, 210}, {0x3B, 221}, {0x3C, 222}, {0x3D, 223}, {0x3E, 224}, {0x3F, 225}, {0x40, 226}, {0x41, 227},
    {0x42, 228}, {0x43, 229}, {0x44, 230}, {0x45, 173}, {0x46, 174}, {0x47, 167}, {0x48, 168}, {0x49, 169},
    {0x4A, 172}, {0x4B, 164}, {0x4C, 165}, {0x4D, 166}, {0x4E, 171}, {0x4F, 161}, {0x50, 162}, {0x51, 163},
    {0x52, 160}, {0x53, 170}, {0x57, 231}, {0x58, 232}, {0x64, 233}, {0x65, 234}, {0x66, 235}, {0x9C, 13},
    {0x9D, 202}, {0xB7, 175}, {0xB8, 206}, {0xC5, 176}, {0xC7, 244}, {0xC8, 242}, {0xC9, 248}, {0xCB, 240},
    {0xCD, 241}, {0xCF, 245}, {0xD0, 243}, {0xD1, 249}, {0xD2, 246}, {0xD3, 247}, {0xDB, 207}, {0xDC, 208},
    {0xDD, 209},
};

constexpr uint32_t kPollSize = in::kBufferSize;

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
          dx = static_cast<int16_t>(static_cast<float>(static_cast<int16_t>(d.data)) * m_MouseDeltaScale);
          break;
        case in::mouse::Y:
          type = MOUSE_MOVE;
          dy = static_cast<int16_t>(static_cast<float>(static_cast<int16_t>(d.data)) * m_MouseDeltaScale);
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
      const uint8_t key = m_KeyTable[scan];
      switch (key) {
        case 203: m_LeftShift = down; break;
        case 204: m_RightShift = down; break;
        case 201: m_LeftCtrl = down; break;
        case 202: m_RightCtrl = down; break;
        case 205: m_LeftAlt = down; break;
        case 206: m_RightAlt = down; break;
        default: break;
      }
      m_Modifiers = static_cast<uint16_t>(((m_LeftShift || m_RightShift) ? MOD_SHIFT : 0) |
                                          ((m_LeftCtrl || m_RightCtrl) ? MOD_CTRL : 0) |
                                          ((m_LeftAlt || m_RightAlt) ? MOD_ALT : 0));
      append(d, down ? KEY_DOWN : KEY_UP, key, scan);
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
