// The buffered keyboard and mouse.
#include "platform/input/Input.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace platform::input {

DeviceData* Queue::Append(std::deque<DeviceData>& buffer, uint32_t offset, uint32_t data, uint32_t time) {
  if (!m_foreground) return nullptr;
  // A full buffer loses what comes later, as a device buffer of fixed size does; the sequence
  // number is used anyway so the order across devices stays true.
  const uint32_t sequence = m_sequence++;
  if (buffer.size() >= kBufferSize) return nullptr;
  DeviceData element{offset, data, time, sequence};
  element.x = m_cursorX, element.y = m_cursorY;
  buffer.push_back(element);
  return &buffer.back();
}

void Queue::Key(uint8_t scan, bool down, uint32_t time) {
  if (!m_foreground || scan == 0) return;
  m_keys[scan] = down ? kPressed : 0;
  const uint32_t sequence = m_sequence;
  Append(m_keyboard, scan, down ? kPressed : 0, time);
  if (down) m_textOwner = sequence;
}

void Queue::Text(std::u32string_view text, uint32_t time) {
  const uint32_t owner = m_textOwner;
  m_textOwner = kNoText;
  if (!m_foreground || owner == kDropText) return;
  for (char32_t c : text) {
    if (c == 0) continue;
    // The press that typed it may have been polled already; then the character stands alone.
    auto press = std::find_if(m_keyboard.rbegin(), m_keyboard.rend(),
                              [owner](const DeviceData& d) { return d.sequence == owner; });
    if (owner != kNoText && press != m_keyboard.rend() && press->character == 0) {
      press->character = c;
      continue;
    }
    if (DeviceData* alone = Append(m_keyboard, 0, kPressed, time)) alone->character = c;
  }
}

void Queue::MouseMotion(int dx, int dy, int x, int y, uint32_t time) {
  if (!m_foreground) return;
  m_cursorX = x;
  m_cursorY = y;
  if (m_mouse.size() >= kBufferSize - kPressRoom && FoldMotion(dx, dy, time)) return;
  if (dx != 0) Append(m_mouse, mouse::X, static_cast<uint32_t>(dx), time);
  if (dy != 0) Append(m_mouse, mouse::Y, static_cast<uint32_t>(dy), time);
}

bool Queue::FoldMotion(int dx, int dy, uint32_t time) {
  const auto isMotion = [](const DeviceData& d) { return d.offset == mouse::X || d.offset == mouse::Y; };
  DeviceData* lastX = nullptr;
  DeviceData* lastY = nullptr;
  for (auto it = m_mouse.rbegin(); it != m_mouse.rend() && isMotion(*it); ++it) {
    DeviceData*& last = it->offset == mouse::X ? lastX : lastY;
    if (!last) last = &*it;
  }
  if ((dx != 0 && !lastX) || (dy != 0 && !lastY)) return false;
  // The device reads a delta as a signed 16-bit value.
  const auto add = [](DeviceData* element, int delta) {
    if (!element || delta == 0) return;
    const int32_t sum = static_cast<int16_t>(element->data) + delta;
    element->data = static_cast<uint32_t>(std::clamp<int32_t>(sum, INT16_MIN, INT16_MAX));
  };
  add(lastX, dx);
  add(lastY, dy);
  for (auto it = m_mouse.rbegin(); it != m_mouse.rend() && isMotion(*it); ++it) {
    it->x = m_cursorX, it->y = m_cursorY;
    it->timeStamp = time;
  }
  return true;
}

void Queue::MouseButton(int button, bool down, uint32_t time) {
  if (button < 0 || button > 3) return;
  Append(m_mouse, mouse::Button0 + static_cast<uint32_t>(button), down ? kPressed : 0, time);
}

void Queue::MouseWheel(int delta, uint32_t time) {
  if (delta != 0) Append(m_mouse, mouse::Wheel, static_cast<uint32_t>(delta), time);
}

void Queue::SetForeground(bool foreground) {
  m_foreground = foreground;
  if (!foreground) {
    std::memset(m_keys, 0, sizeof m_keys);
    Flush();
  }
}

void Queue::GetKeyboardState(uint8_t out[256]) const { std::memcpy(out, m_keys, sizeof m_keys); }

void Queue::Flush() {
  m_keyboard.clear();
  m_mouse.clear();
  m_textOwner = kNoText;
}

uint32_t Queue::Take(std::deque<DeviceData>& buffer, DeviceData* out, uint32_t max) {
  const uint32_t n = std::min<uint32_t>(max, static_cast<uint32_t>(buffer.size()));
  std::copy_n(buffer.begin(), n, out);
  buffer.erase(buffer.begin(), buffer.begin() + n);
  return n;
}

}  // namespace platform::input
