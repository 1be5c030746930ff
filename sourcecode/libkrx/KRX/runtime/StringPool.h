// KRX::StringPool: the interned texts of a module (constant strings and variable names). Texts
// lie end to end in one blob and are identified by their byte offset, so byte code refers to a
// constant by offset and string(const) values point straight into the blob: a pool must outlive
// every such value. A sorted offset index makes interning a binary search.
#pragma once

#include <cstdint>

namespace KRX {

class StringPool {
 public:
  StringPool() = default;
  StringPool(const StringPool& other);
  StringPool& operator=(const StringPool& other);
  ~StringPool();

  // The offset of text, adding it when new; -1 for null text. The first text of an empty pool
  // gets offset 1 (offset 0 always holds the empty text).
  int32_t Intern(const char* text);
  int32_t FindOffset(const char* text) const;  // -1 when absent or the pool is empty
  // Ordinal of text among the blob's strings counted in blob order from offset 1; -1 if absent.
  int32_t IndexOf(const char* text) const;
  const char* StringAt(int n) const;  // the n-th string counted from offset 1; null past the end
  // The text at a byte offset; null when the offset is outside the blob.
  const char* TextAt(int32_t offset) const {
    return (offset >= 0 && offset < m_blobUsed) ? m_blob + offset : nullptr;
  }
  void CopyPool(const StringPool& from);
  void Clear();  // frees both buffers

  // Takes a blob read from a file (n bytes, texts end to end). A blob whose last byte is not a
  // NUL, or that does not start with the empty text, is refused (false, pool left empty). The
  // offset index is rebuilt so that interning into a loaded pool finds the loaded texts.
  bool SetBlob(const char* bytes, int32_t n);
  const char* GetBlob() const { return m_blob; }
  int32_t GetBlobSize() const { return m_blobUsed; }
  int32_t GetBlobCapacity() const { return m_blobAllocated; }
  int32_t GetIndexSize() const { return m_indexUsed; }

 private:
  int32_t LowerBound(const char* text, bool& found) const;  // position in the index
  bool GrowBlob(int32_t needed);
  bool InsertIndex(int32_t at, int32_t offset);

  char* m_blob = nullptr;
  int32_t m_blobUsed = 0;
  int32_t m_blobAllocated = 0;
  int32_t* m_index = nullptr;
  int32_t m_indexUsed = 0;
  int32_t m_indexAllocated = 0;
};

}  // namespace KRX
