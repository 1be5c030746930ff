// base::File and the raw stdio record helpers.
#include "base/File.h"

#include <bit>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <string>

#include "base/data/Binary.h"
#include "base/text/Text.h"
#include "base/system.h"
#include "platform/os/Path.h"

namespace base {

// Records are stored little-endian and read by copying bytes straight into place.
static_assert(std::endian::native == std::endian::little, "file records assume a little-endian host");

File::File() = default;

File::File(const char* name, int status) { open(name, status); }

File::~File() { close(); }

bool File::open(const char* name, int status) {
  close();
  m_name = name;
  m_error = false;
  m_openError = 0;
  m_size = 0;
  m_position = 0;
  if (!name || !*name) return false;
  std::string resolved;
  platform::os::ResolvePath(name, resolved);
  if (status == STATUS_READ) {
    std::FILE* f = OpenFileStream(resolved.c_str(), "rb");
    if (!f) {
      m_openError = errno;
      return false;
    }
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    if (length < 0 || length > INT_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
      // Folders open as streams on Linux but have no length; files over 2 GiB have no i32 size.
      std::fclose(f);
      return false;
    }
    m_handle = f;
    m_size = static_cast<int>(length);
    m_status = STATUS_READ;
    return true;
  }
  if (status == STATUS_WRITE) {
    if (platform::os::IsWriteProtected(resolved)) {
      m_openError = errno;
      return false;
    }
    if (!m_out.begin(name)) return false;
    m_handle = m_out.stream();
    m_status = STATUS_WRITE;
    return true;
  }
  return false;
}

bool File::open_memory(const void* data, int size, const char* name) {
  close();
  m_name = name;
  m_error = false;
  m_size = 0;
  m_position = 0;
  if (size < 0 || (size > 0 && !data)) return false;
  std::FILE* f = platform::os::OpenMemoryStream(data, static_cast<size_t>(size));
  if (!f) return false;
  m_handle = f;
  m_size = size;
  m_status = STATUS_READ;
  return true;
}

bool File::close() {
  if (!m_handle) return true;
  const bool writing = m_status == STATUS_WRITE;
  m_status = STATUS_CLOSED;
  if (!writing) {
    const bool closed = std::fclose(m_handle) == 0;
    m_handle = nullptr;
    return closed;
  }
  // The stream belongs to m_out, which syncs, closes and renames it.
  m_handle = nullptr;
  if (m_error) m_out.set_failed();
  if (!m_out.commit()) {
    m_error = true;
    return false;
  }
  return true;
}

void File::discard() {
  if (m_status != STATUS_WRITE) {
    close();
    return;
  }
  m_handle = nullptr;
  m_status = STATUS_CLOSED;
  m_out.abandon();
}

std::string File::write_error_note() const {
  const char* cause = m_openError ? std::strerror(m_openError) : m_out.write_error();
  return *cause ? std::string(" (") + cause + ")" : std::string();
}

bool File::read(void* buffer, int count) {
  if (count == 0) return m_status == STATUS_READ;
  if (m_status != STATUS_READ || count < 0 || !buffer) return false;
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(count), m_handle);
  m_position += static_cast<int>(got);
  if (got != static_cast<size_t>(count)) {
    m_error = true;
    return false;
  }
  return true;
}

bool File::write(const void* buffer, int count) {
  if (count == 0) return m_status == STATUS_WRITE;
  if (m_status != STATUS_WRITE || count < 0 || !buffer) return false;
  // Through m_out, which keeps the cause of a failure for the message at close.
  if (!m_out.write(buffer, static_cast<size_t>(count))) {
    m_error = true;
    return false;
  }
  m_position += count;
  // A write after a seek back (a table patched in place) overwrites; it does not grow the file.
  if (m_position > m_size) m_size = m_position;
  return true;
}

bool File::archive(void* buffer, int count) {
  if (m_status == STATUS_READ) return read(buffer, count);
  if (m_status == STATUS_WRITE) return write(buffer, count);
  return false;
}

bool File::archive(int& value) { return archive(&value, 4); }
bool File::archive(unsigned& value) { return archive(&value, 4); }
bool File::archive(float& value) { return archive(&value, 4); }

bool File::archive(tString<BaseString>& s) {
  if (m_status == STATUS_READ) return s.Read(this);
  if (m_status == STATUS_WRITE) return s.Write(this);
  return false;
}

bool File::archive(tString<BaseUnicodeString>& s) {
  if (m_status == STATUS_READ) return s.Read(this);
  if (m_status == STATUS_WRITE) return s.Write(this);
  return false;
}

bool File::archive(Binary& b) {
  if (m_status == STATUS_READ) return b.Read(this);
  if (m_status == STATUS_WRITE) return b.Write(this);
  return false;
}

bool File::read_textfile(Text& out) {
  if (!m_handle || m_status != STATUS_READ || m_size < 1) return false;
  char* buffer = new char[static_cast<size_t>(m_size) + 1];
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(m_size), m_handle);
  m_position += static_cast<int>(got);
  buffer[got] = 0;
  if (got == 0) {
    delete[] buffer;
    out.clear();
  } else {
    out.adopt_buffer(buffer, static_cast<int>(got));
  }
  if (got != static_cast<size_t>(m_size)) {
    m_error = true;
    return false;
  }
  return true;
}

bool File::set_current_position(int position) {
  if (!m_handle || position < 0) return false;
  // Reading stays inside the file; writing inside what was written (the temporary file).
  if (position > m_size) return false;
  if (std::fseek(m_handle, position, SEEK_SET) != 0) return false;
  m_position = position;
  return true;
}

int File::read_int() {
  int value = 0;
  if (!read(&value, 4)) return 0;
  return value;
}

bool File::write_int(int value) { return write(&value, 4); }

int File::get_remaining() const {
  if (m_status != STATUS_READ) return 0;
  return m_size > m_position ? m_size - m_position : 0;
}

bool File::read_length(int& n, int unitSize, const char* what) {
  n = 0;
  const int at = m_position;
  int value = 0;
  if (m_status != STATUS_READ) {
    report_error("%s read from a file not open for reading", what);
    return false;
  }
  if (!read(&value, 4)) {
    report_error("%s length is cut short at offset %d", what, at);
    return false;
  }
  if (value < 0) {
    report_error("%s length %d at offset %d is negative", what, value, at);
    return false;
  }
  const int left = get_remaining();
  if (unitSize < 1) unitSize = 1;
  if (value > left / unitSize) {
    report_error("%s length %d at offset %d runs past the end of the file (%d bytes left)", what, value, at,
                 left);
    return false;
  }
  n = value;
  return true;
}

void File::report_error(const char* fmt, ...) {
  m_error = true;
  // A fixed buffer: the report may be about memory running out.
  char text[1024];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  sys::Output("ERROR: file '%s': %s\n", m_name.c_str(), text);
}

// ---- chunks and raw helpers

bool WriteChunk(File* file, const unsigned char* data, int count) {
  if (!file) return false;
  bool ok = file->write(&count, 4);
  if (count >= 1) ok = file->write(data, count) && ok;
  return ok;
}

unsigned char* ReadChunk(File* file, int& count) {
  count = 0;
  if (!file) return nullptr;
  int n = 0;
  if (!file->read_length(n, 1, "chunk")) return nullptr;
  if (n < 1) return nullptr;
  unsigned char* block = new unsigned char[static_cast<size_t>(n)];
  if (!file->read(block, n)) {
    delete[] block;
    file->report_error("chunk of %d bytes is cut short at offset %d", n, file->get_current_position());
    return nullptr;
  }
  count = n;
  return block;
}

bool WriteIntList(File* file, const int* values, int count) {
  if (!file || count < 0) return false;
  bool ok = file->write(&count, 4);
  if (count > 0) ok = file->write(values, count * 4) && ok;
  return ok;
}

int* ReadIntList(File* file, int& count) {
  count = 0;
  if (!file) return nullptr;
  int n = 0;
  if (!file->read_length(n, 4, "list") || n == 0) return nullptr;
  int* values = new int[static_cast<size_t>(n)];
  if (!file->read(values, n * 4)) {
    delete[] values;
    file->report_error("list of %d values is cut short at offset %d", n, file->get_current_position());
    return nullptr;
  }
  count = n;
  return values;
}

std::FILE* OpenFileStream(const char* name, const char* mode) {
  platform::os::en_OpenError why = platform::os::OPEN_OK;
  std::FILE* f = platform::os::OpenResolved(name, mode, &why);
  if (why == platform::os::OPEN_NOT_REGULAR) sys::Output("ERROR: %s: not a regular file\n", name);
  return f;
}

int ReadInt(std::FILE* f) {
  int value = 0;
  if (!f || std::fread(&value, 4, 1, f) != 1) return 0;
  return value;
}

void WriteInt(std::FILE* f, int value) {
  if (f) std::fwrite(&value, 4, 1, f);
}

int ReadByte(std::FILE* f) {
  unsigned char value = 0;
  if (!f || std::fread(&value, 1, 1, f) != 1) return 0;
  return value;
}

void WriteByte(std::FILE* f, int value) {
  const unsigned char byte = static_cast<unsigned char>(value);
  if (f) std::fwrite(&byte, 1, 1, f);
}

}  // namespace base
