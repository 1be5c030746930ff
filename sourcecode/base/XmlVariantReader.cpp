// The XML reader that builds Variant trees: the same grammar as the word reader, with the
// Variant's own rules for repeated attribute names (the last value wins) and for '>' in element
// content (an error here).
#include <cstring>
#include <string>

#include "base/Binary.h"
#include "base/File.h"
#include "base/StaticVariant.h"
#include "base/Text.h"
#include "base/Variant.h"
#include "base/VariantTypes.h"
#include "base/Xml.h"
#include "base/XmlAttributeIndex.h"
#include "base/XmlScan.h"
#include "base/system.h"

namespace base {

namespace {

using xml_scan::Error;
using xml_scan::fail;

class VariantParser {
 public:
  bool element(const char*& p, Variant& out, int depth);
  const Error& error() const { return m_error; }

 private:
  void set_text(Variant& v, const char* p, int length) {
    if (xml_scan::has_entity(p, length)) {
      m_buffer.resize(static_cast<size_t>(length));
      length = xml_scan::decode_entities(p, length, m_buffer.data());
      p = m_buffer.data();
    }
    v.set_string(p, length);
  }

  Error m_error;
  std::string m_buffer;
};

bool VariantParser::element(const char*& p, Variant& out, int depth) {
  const char* lt = std::strchr(p, '<');
  if (!lt) return fail(m_error, p, "no element where one must start");
  if (depth >= kMaxTreeDepth) return fail(m_error, lt, "elements nested too deep");
  const char* name = lt + 1;
  p = xml_scan::name_end(name);
  if (p - name > xml_scan::kMaxNameLength) return fail(m_error, name, "element name too long");
  auto* e = new dt_element(name, static_cast<int>(p - name));
  out.set_datatype(e);
  xml_scan::AttributeIndex attributes(e);

  bool content = true;
  for (;;) {
    p = xml_scan::skip_blanks(p);
    if (*p == '>') {
      ++p;
      break;
    }
    if (*p == '/') {
      if (p[1] != '>') return fail(m_error, p, "'/' in a tag not followed by '>'");
      p += 2;
      content = false;
      break;
    }
    xml_scan::Attribute a;
    if (!xml_scan::scan_attribute(p, a, m_error)) return false;
    Variant* value = attributes.find_or_add(a.name, a.nameLength);
    float number;
    if (xml_scan::number_value(a.value, a.valueLength, number))
      value->set_float(number);
    else
      set_text(*value, a.value, a.valueLength);
  }

  while (content) {
    p = xml_scan::skip_blanks(p);
    if (*p == 0) return fail(m_error, lt, "element not closed before the end of the text");
    if (*p == '<') {
      if (p[1] == '!' && p[2] == '-' && p[3] == '-') {
        const char* end = std::strstr(p + 4, "-->");
        if (!end) return fail(m_error, p, "comment not closed");
        p = end + 3;
      } else if (p[1] == '/') {
        const char* end = std::strchr(p + 2, '>');
        if (!end) return fail(m_error, p, "closing tag without '>'");
        p = end + 1;
        break;
      } else if (!element(p, e->append(), depth + 1)) {
        return false;
      }
    } else if (*p == '>') {
      return fail(m_error, p, "'>' where element content is expected");
    } else {
      const char* end = std::strchr(p, '<');
      if (!end) end = p + std::strlen(p);
      set_text(e->append(), p, static_cast<int>(end - p));
      p = end;
    }
  }
  return true;
}

}  // namespace

int xml_parse_variant(const tString<BaseString>& text, Variant& out, int position) {
  if (position < 0 || position > text.size()) return -1;
  const char* start = text.c_str();
  const char* p = start + position;
  VariantParser parser;
  if (!parser.element(p, out, 0)) return -1;
  return static_cast<int>(p - start);
}

namespace xml {

bool read_text(Variant& out, const char* text, const char* name) {
  if (!text) return false;
  const char* p = xml_scan::after_prolog(text);
  if (!p) {
    sys::Output("ERROR: xml-file '%s': prolog '<?xml' without '?>'\n", name);
    return false;
  }
  VariantParser parser;
  if (!parser.element(p, out, 0)) {
    const Error& e = parser.error();
    int line, column;
    xml_scan::locate(text, e.at, line, column);
    sys::Output("ERROR: xml-file '%s': %s at line %d, column %d\n", name, e.what, line, column);
    return false;
  }
  return true;
}

bool read_file(Variant& out, const char* file) {
  File f(file, File::STATUS_READ);
  if (!f.is_open()) return false;  // callers probe for optional files
  Text text;
  if (!f.read_textfile(text)) {
    sys::Output("ERROR: xml-file '%s' is empty or could not be read\n", file);
    return false;
  }
  return read_text(out, text.c_str(), file);
}

bool read_binary(Variant& out, const Binary& data, const char* name) {
  if (data.size() < 1) {
    sys::Output("ERROR: xml-file '%s' is empty\n", name ? name : "");
    return false;
  }
  std::string text(reinterpret_cast<const char*>(data.get_buffer()), static_cast<size_t>(data.size()));
  return read_text(out, text.c_str(), name ? name : "");
}

}  // namespace xml

}  // namespace base
