// base::Text: an 8-bit string with spare capacity, for text built up piece by piece (file
// contents, XML output, long messages). The inherited appending operations grow it
// geometrically; its file record is the string record, so either reads what the other wrote.
#pragma once

#include "base/String.h"

namespace base {

class Text : public tString<BaseString> {
 public:
  Text() = default;
  Text(const char* p);                      // capacity = length afterwards
  explicit Text(int v);                     // "%d"
  explicit Text(float v);                   // "%f"
  Text(const tString<BaseString>& s);
  Text(const Text& other);
  Text(Text&& other) noexcept;
  Text& operator=(const Text& other);
  Text& operator=(Text&& other) noexcept;
  Text& operator=(const char* p);
  Text& operator=(const tString<BaseString>& s);
  ~Text() override = default;

  void clear() override;                     // release; capacity 0
  void set(const char* p, int n) override;   // reuses the buffer when n fits; null p or n 0 clears
  void _realloc(int n) override;             // grows to 2n when n passes the capacity; never shrinks

  int capacity() const { return m_capacity; }

 protected:
  void _adopted() override { m_capacity = m_length; }

 private:
  int m_capacity = 0;
};

}  // namespace base
