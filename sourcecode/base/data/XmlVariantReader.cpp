// The XML reader that builds Variant trees: the same grammar as the word reader, with the
// Variant's own rules for repeated attribute names (the last value wins) and for '>' in element
// content (an error here).
#include <string>

#include "base/data/Binary.h"
#include "base/File.h"
#include "base/text/Text.h"
#include "base/data/Variant.h"
#include "base/data/VariantTypes.h"
#include "base/data/Xml.h"
#include "base/data/XmlAttributeIndex.h"
#include "base/data/XmlScan.h"
#include "base/system.h"
#include "platform/os/FileSystem.h"

namespace base {

namespace {

using xml_scan::st_Error;

class cl_VariantParser {
 public:
  bool element(const char*& p, Variant& out, int depth);
  const st_Error& error() const { return m_error; }

 private:
  void set_text(Variant& v, const char* p, int length) {
    if (xml_scan::has_entity(p, length)) {
      m_buffer.resize(static_cast<size_t>(length));
      length = xml_scan::decode_entities(p, length, m_buffer.data());
      p = m_buffer.data();
    }
    v.set_string(p, length);
  }

  st_Error m_error;
  std::string m_buffer;
};

bool cl_VariantParser::element(const char*& p, Variant& out, int depth) {
  // The reader of one element: the element's Variant and its attribute index.
  struct st_Node {
    cl_VariantParser& parser;
    Variant& out;
    dt_element* e = nullptr;
    xml_scan::cl_AttributeIndex attributes{nullptr};

    bool open(const char*, const char* name, int length, uint32_t) {
      e = new dt_element(name, length);
      out.set_datatype(e);
      attributes = xml_scan::cl_AttributeIndex(e);
      return true;
    }
    bool attribute(const xml_scan::st_Attribute& a) {
      Variant* value = attributes.find_or_add(a.name, a.nameLength);
      float number;
      if (xml_scan::attribute_number(a, number))
        value->set_float(number);
      else
        parser.set_text(*value, a.value, a.valueLength);
      return true;
    }
    bool child(const char*& p, int depth) { return parser.element(p, e->append(), depth); }
    bool text(const char* p, int length) {
      parser.set_text(e->append(), p, length);
      return true;
    }
  };
  st_Node node{*this, out};
  return xml_scan::element(p, depth, node, false, m_error);
}

}  // namespace

int xml_parse_variant(const tString<BaseString>& text, Variant& out, int position) {
  if (position < 0 || position > text.size()) return -1;
  const char* start = text.c_str();
  const char* p = start + position;
  cl_VariantParser parser;
  if (!parser.element(p, out, 0)) return -1;
  return static_cast<int>(p - start);
}

namespace xml {

namespace {
// The readers proper; the public functions run them under guard_memory.
bool read_text_unguarded(Variant& out, const char* text, const char* name);
bool read_file_unguarded(Variant& out, const char* file);
}  // namespace

bool read_text(Variant& out, const char* text, const char* name) {
  return xml_scan::guard_memory(name, [&] { return read_text_unguarded(out, text, name); });
}

namespace {
bool read_text_unguarded(Variant& out, const char* text, const char* name) {
  if (!text) return false;
  const char* p = xml_scan::after_prolog(text);
  if (!p) {
    sys::Output("ERROR: xml-file '%s': prolog '<?xml' without '?>'\n", name);
    return false;
  }
  cl_VariantParser parser;
  st_Error misc;
  if (!xml_scan::skip_misc(p, misc) || !parser.element(p, out, 0)) {
    const st_Error& e = misc.what ? misc : parser.error();
    int line, column;
    xml_scan::locate(text, e.at, line, column);
    sys::Output("ERROR: xml-file '%s': %s at line %d, column %d\n", name, e.what, line, column);
    return false;
  }
  return true;
}
}  // namespace

bool read_file(Variant& out, const char* file) {
  return xml_scan::guard_memory(file, [&] { return read_file_unguarded(out, file); });
}

namespace {
bool read_file_unguarded(Variant& out, const char* file) {
  File f(file, File::STATUS_READ);
  if (!f.is_open()) return false;  // callers probe for optional files
  if (f.get_size() > kMaxFileSize) {
    sys::Output("ERROR: %s: too large (%d bytes, at most %d)\n", file, f.get_size(), kMaxFileSize);
    return false;
  }
  Text text;
  if (!f.read_textfile(text)) {
    sys::Output("ERROR: xml-file '%s' is empty or could not be read\n", file);
    return false;
  }
  return read_text(out, text.c_str(), file);
}
}  // namespace

en_OptionalRead read_optional_file(Variant& out, const char* file) {
  std::string what;
  switch (platform::os::InspectEntry(file, what)) {
    case platform::os::ENTRY_MISSING: return READ_MISSING;
    case platform::os::ENTRY_OTHER:
      sys::Output("ERROR: %s: %s stands in its place; not read\n", file, what.c_str());
      return READ_FAILED;
    case platform::os::ENTRY_FILE: break;
  }
  // An unreadable file (no permission) opens as missing in read_file: it is there, so say so.
  File probe(file, File::STATUS_READ);
  if (!probe.is_open()) {
    sys::Output("ERROR: %s: cannot be opened for reading\n", file);
    return READ_FAILED;
  }
  probe.close();
  return read_file(out, file) ? READ_OK : READ_FAILED;
}

bool read_binary(Variant& out, const Binary& data, const char* name) {
  if (data.size() < 1) {
    sys::Output("ERROR: xml-file '%s' is empty\n", name ? name : "");
    return false;
  }
  return xml_scan::guard_memory(name, [&] {
    std::string text(reinterpret_cast<const char*>(data.get_buffer()), static_cast<size_t>(data.size()));
    return read_text(out, text.c_str(), name ? name : "");
  });
}

}  // namespace xml

}  // namespace base
