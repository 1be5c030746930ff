// KRX::TextPool: the names and string literals of one compile unit, each text kept once. Token
// values point into it, so a script that says "sum" ten thousand times holds one "sum"; the
// texts live as long as the pool, in a few large blocks rather than one allocation each.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace KRX {

class TextPool {
 public:
  TextPool() = default;
  TextPool(const TextPool&) = delete;
  TextPool& operator=(const TextPool&) = delete;

  // A NUL-terminated copy of n bytes of text that lives as long as the pool; the same bytes
  // asked for again give the same pointer.
  const char* Intern(const char* text, size_t n);

 private:
  static constexpr size_t kBlockSize = 16 * 1024;
  char* Store(const char* text, size_t n);

  std::unordered_set<std::string_view> m_texts;
  std::vector<std::unique_ptr<char[]>> m_blocks;
  char* m_free = nullptr;  // unused bytes at the end of the newest block
  size_t m_left = 0;
};

}  // namespace KRX
