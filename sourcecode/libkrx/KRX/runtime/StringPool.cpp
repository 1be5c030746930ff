#include "KRX/runtime/StringPool.h"

#include <cstdlib>
#include <cstring>

namespace KRX {

namespace {
int Compare(const char* a, const char* b) {
  return std::strcmp(a, b);  // strcmp orders unsigned bytes
}
}  // namespace

StringPool::StringPool(const StringPool& other) { CopyPool(other); }

StringPool& StringPool::operator=(const StringPool& other) {
  if (this != &other) CopyPool(other);
  return *this;
}

StringPool::~StringPool() { Clear(); }

void StringPool::Clear() {
  std::free(m_blob);
  std::free(m_index);
  m_blob = nullptr;
  m_index = nullptr;
  m_blobUsed = m_blobAllocated = 0;
  m_indexUsed = m_indexAllocated = 0;
}

void StringPool::CopyPool(const StringPool& from) {
  if (this == &from) return;
  // A call frame copies its function's names on every call: buffers that are large enough
  // already are reused rather than freed and allocated again.
  if (m_blob && m_index && m_blobAllocated >= from.m_blobUsed && m_indexAllocated >= from.m_indexUsed) {
    if (from.m_blobUsed > 0) std::memcpy(m_blob, from.m_blob, size_t(from.m_blobUsed));
    if (from.m_indexUsed > 0) std::memcpy(m_index, from.m_index, sizeof(int32_t) * size_t(from.m_indexUsed));
    m_blobUsed = from.m_blobUsed;
    m_indexUsed = from.m_indexUsed;
    return;
  }
  Clear();
  if (from.m_blobAllocated > 0) {
    m_blob = static_cast<char*>(std::malloc(size_t(from.m_blobAllocated)));
    if (!m_blob) return;
    std::memcpy(m_blob, from.m_blob, size_t(from.m_blobUsed));
    m_blobUsed = from.m_blobUsed;
    m_blobAllocated = from.m_blobAllocated;
  }
  if (from.m_indexAllocated > 0) {
    m_index = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * size_t(from.m_indexAllocated)));
    if (!m_index) {
      Clear();
      return;
    }
    std::memcpy(m_index, from.m_index, sizeof(int32_t) * size_t(from.m_indexUsed));
    m_indexUsed = from.m_indexUsed;
    m_indexAllocated = from.m_indexAllocated;
  }
}

int32_t StringPool::LowerBound(const char* text, bool& found) const {
  int32_t lo = 0, hi = m_indexUsed;
  found = false;
  while (lo < hi) {
    int32_t mid = lo + (hi - lo) / 2;
    int c = Compare(m_blob + m_index[mid], text);
    if (c < 0) {
      lo = mid + 1;
    } else {
      if (c == 0) found = true;
      hi = mid;
    }
  }
  return lo;
}

bool StringPool::GrowBlob(int32_t needed) {
  if (m_blobUsed + needed <= m_blobAllocated) return true;
  // Half as much again: a function's table of two parameter names stays a few bytes (a script
  // of many small functions holds one per function), a large pool grows in few steps.
  int64_t size = int64_t(m_blobUsed) + needed;
  size += size / 2;
  size = (size + 8) & ~int64_t(7);  // the next multiple of 8, always at least one byte more
  if (size > INT32_MAX) return false;
  char* blob = static_cast<char*>(std::realloc(m_blob, size_t(size)));
  if (!blob) return false;
  m_blob = blob;
  m_blobAllocated = int32_t(size);
  return true;
}

bool StringPool::InsertIndex(int32_t at, int32_t offset) {
  if (m_indexUsed == m_indexAllocated) {
    const int32_t n = m_indexAllocated + m_indexAllocated / 2 + 4;
    int32_t* index = static_cast<int32_t*>(std::realloc(m_index, sizeof(int32_t) * size_t(n)));
    if (!index) return false;
    m_index = index;
    m_indexAllocated = n;
  }
  std::memmove(m_index + at + 1, m_index + at, sizeof(int32_t) * size_t(m_indexUsed - at));
  m_index[at] = offset;
  ++m_indexUsed;
  return true;
}

int32_t StringPool::Intern(const char* text) {
  if (!text) return -1;
  if (m_blobUsed == 0) {
    if (!GrowBlob(1) || !InsertIndex(0, 0)) return -1;
    m_blob[0] = '\0';
    m_blobUsed = 1;
  }
  bool found = false;
  int32_t at = LowerBound(text, found);
  if (found) return m_index[at];
  size_t n = std::strlen(text) + 1;
  if (n > size_t(INT32_MAX - m_blobUsed) || !GrowBlob(int32_t(n))) return -1;
  int32_t offset = m_blobUsed;
  if (!InsertIndex(at, offset)) return -1;
  std::memcpy(m_blob + offset, text, n);
  m_blobUsed += int32_t(n);
  return offset;
}

int32_t StringPool::FindOffset(const char* text) const {
  if (!text || m_indexUsed == 0) return -1;
  bool found = false;
  int32_t at = LowerBound(text, found);
  return found ? m_index[at] : -1;
}

int32_t StringPool::IndexOf(const char* text) const {
  if (!text || m_blobUsed == 0) return -1;
  int32_t n = 0;
  for (int32_t off = 1; off < m_blobUsed; ++n) {
    const char* s = m_blob + off;
    if (std::strcmp(s, text) == 0) return n;
    off += int32_t(std::strlen(s)) + 1;
  }
  return -1;
}

const char* StringPool::StringAt(int n) const {
  if (n < 0) return nullptr;
  for (int32_t off = 1; off < m_blobUsed; --n) {
    const char* s = m_blob + off;
    if (n == 0) return s;
    off += int32_t(std::strlen(s)) + 1;
  }
  return nullptr;
}

bool StringPool::SetBlob(const char* bytes, int32_t n) {
  Clear();
  if (n <= 0) return n == 0;
  if (!bytes || bytes[0] != '\0' || bytes[n - 1] != '\0') return false;
  m_blob = static_cast<char*>(std::malloc(size_t(n)));
  if (!m_blob) return false;
  std::memcpy(m_blob, bytes, size_t(n));
  m_blobUsed = m_blobAllocated = n;
  for (int32_t off = 0; off < n;) {
    bool found = false;
    int32_t at = LowerBound(m_blob + off, found);
    if (!found && !InsertIndex(at, off)) {
      Clear();
      return false;
    }
    off += int32_t(std::strlen(m_blob + off)) + 1;
  }
  return true;
}

}  // namespace KRX
