#include "KRX/compiler/TextPool.h"

#include <cstring>

namespace KRX {

// Sanitizer builds give every text an allocation of its own, so that reading past one is seen.
#if defined(__SANITIZE_ADDRESS__)
#define KRX_TEXT_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KRX_TEXT_BLOCKS 0
#endif
#endif
#ifndef KRX_TEXT_BLOCKS
#define KRX_TEXT_BLOCKS 1
#endif

const char* TextPool::Intern(const char* text, size_t n) {
  auto found = m_texts.find(std::string_view(text, n));
  if (found != m_texts.end()) return found->data();
  char* copy = Store(text, n);
  m_texts.insert(std::string_view(copy, n));
  return copy;
}

char* TextPool::Store(const char* text, size_t n) {
  char* copy;
  if (!KRX_TEXT_BLOCKS || n + 1 > kBlockSize / 4) {
    // A long text gets a block of its own; the open block stays open for short ones.
    m_blocks.emplace_back(new char[n + 1]);
    copy = m_blocks.back().get();
  } else {
    if (m_left < n + 1) {
      m_blocks.emplace_back(new char[kBlockSize]);
      m_free = m_blocks.back().get();
      m_left = kBlockSize;
    }
    copy = m_free;
    m_free += n + 1;
    m_left -= n + 1;
  }
  if (n) std::memcpy(copy, text, n);
  copy[n] = 0;
  return copy;
}

}  // namespace KRX
