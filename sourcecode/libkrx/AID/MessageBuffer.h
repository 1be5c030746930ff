// The payload codec of the debugger channel: commands and replies are a u32 code followed by
// little-endian numbers and NUL-terminated strings. Reads past the end give 0 or null, never
// an overrun, since every byte of a command comes from the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace AID {

class MessageBuffer {
 public:
  MessageBuffer();
  // n zero bytes, for copying a received payload in through Data().
  explicit MessageBuffer(size_t n);
  ~MessageBuffer();
  MessageBuffer(MessageBuffer&&) noexcept;
  MessageBuffer& operator=(MessageBuffer&&) noexcept;
  MessageBuffer(const MessageBuffer&) = delete;
  MessageBuffer& operator=(const MessageBuffer&) = delete;

  // ---- writers append
  void WriteU32(uint32_t v);
  void WriteF32(float v);
  void WriteU8(uint8_t v);
  void WriteBytes(const void* data, size_t size);
  // The text and its NUL; null writes the NUL alone.
  void WriteString(const char* text);

  // ---- readers advance the read position
  // 0 (position unchanged) when fewer than 4 bytes remain.
  uint32_t ReadU32();
  // 0.0 (position unchanged) when fewer than 4 bytes remain.
  float ReadF32();
  // 0 (position unchanged) at the end.
  uint8_t ReadU8();
  // The text at the read position, moving past its NUL; null when no bytes remain or no NUL
  // follows before the end (the position then stays at the end). Valid until the next write.
  const char* ReadString();
  // Reads a string as ReadString and copies it into out (capacity bytes with the NUL). False,
  // with out empty, when the string is missing or does not fit: a cut name would name
  // something else, so the caller refuses it.
  bool ReadName(char* out, size_t capacity);

  uint8_t* Data();
  const uint8_t* Data() const;
  size_t Size() const;
  size_t Position() const;
  size_t Remaining() const;

 private:
  struct Record;
  std::unique_ptr<Record> m_record;
};

}  // namespace AID
