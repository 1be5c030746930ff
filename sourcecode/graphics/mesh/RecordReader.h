// The field reader behind the mesh and skeleton record readers (private to this library): reads
// until the first failure, which is reported once with the record's kind and the offset, either
// by the file's own readers (counts, strings, trees) or here.
#pragma once

#include <cstdarg>

#include "base/data/Variant.h"
#include "base/File.h"
#include "base/String.h"

namespace base {

class cl_RecordReader {
 public:
  // kind names the record in messages ("mesh record").
  cl_RecordReader(File* file, const char* kind) : m_file(file), m_kind(kind) {}

  bool ok() const { return m_ok; }

  bool Int(int& v) { return Bytes(&v, 4); }
  bool Unsigned(unsigned& v) { return Bytes(&v, 4); }
  bool Floats(float* v, int n) { return Bytes(v, 4 * n); }
  // n bytes into p, reported as cut short when they are not all there.
  bool Bytes(void* p, int n) {
    if (!m_ok) return false;
    const int at = Offset();
    if (!m_file->read(p, n)) Fail("cut short at offset %d", at);
    return m_ok;
  }
  // The i32 count of a list whose elements take at least unitSize bytes each.
  bool Count(int& n, int unitSize, const char* what) {
    if (!m_ok) return false;
    if (!m_file->read_length(n, unitSize, what)) Failed();
    return m_ok;
  }
  bool String(tString<BaseString>& s) {
    if (m_ok && !s.Read(m_file)) Failed();
    return m_ok;
  }
  bool Tree(Variant& v) {
    if (m_ok && !v.Read(m_file)) Failed();
    return m_ok;
  }
  // The result of a part read by a reader of its own, which has reported its failure.
  bool Accept(bool partOk) {
    if (m_ok && !partOk) Failed();
    return m_ok;
  }
  void Fail(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    if (!m_ok) return;
    m_ok = false;
    va_list args;
    va_start(args, fmt);
    tString<BaseString> text;
    text.vprint(fmt, args);
    va_end(args);
    m_file->report_error("%s: %s", m_kind, text.c_str());
  }
  int Offset() const { return m_file->get_current_position(); }

 private:
  // A delegate that failed has normally reported; make sure the failure is never silent.
  void Failed() {
    m_ok = false;
    if (!m_file->has_error()) m_file->report_error("%s: unreadable at offset %d", m_kind, Offset());
  }

  File* m_file;
  const char* m_kind;
  bool m_ok = true;
};

}  // namespace base
