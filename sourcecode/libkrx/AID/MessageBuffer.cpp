// Growable byte record with a read position.
#include "libkrx/AID/MessageBuffer.h"

#include <cstring>
#include <vector>

#include "KRX/LittleEndian.h"

namespace AID {

struct MessageBuffer::Record {
  std::vector<uint8_t> bytes;
  size_t position = 0;
};

MessageBuffer::MessageBuffer() : m_record(std::make_unique<Record>()) {}
MessageBuffer::MessageBuffer(size_t n) : m_record(std::make_unique<Record>()) { m_record->bytes.assign(n, 0); }
MessageBuffer::~MessageBuffer() = default;
MessageBuffer::MessageBuffer(MessageBuffer&&) noexcept = default;
MessageBuffer& MessageBuffer::operator=(MessageBuffer&&) noexcept = default;

void MessageBuffer::WriteU32(uint32_t v) {
  const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  WriteBytes(b, 4);
}

void MessageBuffer::WriteF32(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  WriteU32(bits);
}

void MessageBuffer::WriteU8(uint8_t v) { m_record->bytes.push_back(v); }

void MessageBuffer::WriteBytes(const void* data, size_t size) {
  if (!data || size == 0) return;
  const auto* p = static_cast<const uint8_t*>(data);
  m_record->bytes.insert(m_record->bytes.end(), p, p + size);
}

void MessageBuffer::WriteString(const char* text) {
  if (text) WriteBytes(text, std::strlen(text));
  WriteU8(0);
}

uint32_t MessageBuffer::ReadU32() {
  if (Remaining() < 4) return 0;
  const uint8_t* p = m_record->bytes.data() + m_record->position;
  m_record->position += 4;
  return KRX::ReadLE32(p);
}

float MessageBuffer::ReadF32() {
  if (Remaining() < 4) return 0.0f;
  const uint32_t bits = ReadU32();
  float v;
  std::memcpy(&v, &bits, 4);
  return v;
}

uint8_t MessageBuffer::ReadU8() {
  if (Remaining() < 1) return 0;
  return m_record->bytes[m_record->position++];
}

const char* MessageBuffer::ReadString() {
  const size_t left = Remaining();
  if (left == 0) return nullptr;
  const uint8_t* start = m_record->bytes.data() + m_record->position;
  const void* nul = std::memchr(start, 0, left);
  if (!nul) {
    m_record->position = m_record->bytes.size();
    return nullptr;
  }
  m_record->position += static_cast<const uint8_t*>(nul) - start + 1;
  return reinterpret_cast<const char*>(start);
}

bool MessageBuffer::ReadName(char* out, size_t capacity) {
  if (!out || capacity == 0) return false;
  out[0] = 0;
  const char* text = ReadString();
  if (!text) return false;
  const size_t n = std::strlen(text);
  if (n >= capacity) return false;
  std::memcpy(out, text, n + 1);
  return true;
}

uint8_t* MessageBuffer::Data() { return m_record->bytes.data(); }
const uint8_t* MessageBuffer::Data() const { return m_record->bytes.data(); }
size_t MessageBuffer::Size() const { return m_record->bytes.size(); }
size_t MessageBuffer::Position() const { return m_record->position; }
size_t MessageBuffer::Remaining() const { return m_record->bytes.size() - m_record->position; }

}  // namespace AID
