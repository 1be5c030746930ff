// base::Binary: an owned block of raw bytes with its size (file contents, sound and texture data
// in memory, names stored as raw bytes). File record: i32 size, then the bytes, the same form as
// a string record.
#pragma once

namespace base {

class File;

class Binary {
 public:
  Binary() = default;
  explicit Binary(int n);  // n zero bytes; n < 1 gives empty
  Binary(const Binary& other);
  Binary(Binary&& other) noexcept;
  Binary& operator=(const Binary& other);  // deep copy; self-assignment leaves it unchanged
  Binary& operator=(Binary&& other) noexcept;
  ~Binary();

  void clear();                       // release; size 0, data null
  void set_size(int n);               // a new block of n zero bytes
  void set(int n, const void* p);     // a new block of n bytes copied from p (when non-null)
  void cut(Binary& other);            // take other's block without copying; other is left empty
  Binary& operator+=(const Binary& b);  // append b's bytes

  unsigned char& operator[](int i) { return m_data[i]; }        // no range check
  unsigned char operator[](int i) const { return m_data[i]; }   // no range check
  int size() const { return m_size; }
  unsigned char* get_buffer() const { return m_data; }

  bool Write(File* file) const;
  // Rejects a negative size or one larger than what is left in the file (logged, file marked
  // failed, buffer left empty).
  bool Read(File* file);
  bool Read(File& file) { return Read(&file); }
  bool Write(File& file) const { return Write(&file); }

 private:
  int m_size = 0;
  unsigned char* m_data = nullptr;
};

}  // namespace base
