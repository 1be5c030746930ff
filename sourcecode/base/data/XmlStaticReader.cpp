// The XML word reader: parses the dialect straight into StaticVariant words, every node written
// once, the element tables filled in after the children by walking the written nodes.
#include <cstring>
#include <vector>

#include "base/File.h"
#include "base/data/StaticVariant.h"
#include "base/text/Text.h"
#include "base/text/Vocable.h"
#include "base/data/Xml.h"
#include "base/data/XmlScan.h"
#include "base/system.h"

namespace base {

namespace {

using xml_scan::st_Error;
using xml_scan::fail;

class cl_WordParser {
 public:
  // Writes into a block that grows with need (owner given) or into [words, words + capacity).
  cl_WordParser(StaticVariant* owner, int* words, int capacity) : m_owner(owner), m_words(words), m_capacity(capacity) {}

  bool element(const char*& p, int depth);
  int used() const { return m_used; }
  const st_Error& error() const { return m_error; }

 private:
  bool room(int n, const char* at) {
    if (m_used + n <= m_capacity) return true;
    if (!m_owner) return fail(m_error, at, "word block too small");
    const long long want = static_cast<long long>(m_used) + n + m_capacity + 64;
    if (want > 0x1fffffff || !m_owner->grow(static_cast<int>(want))) return fail(m_error, at, "tree too large");
    m_words = m_owner->get_words();
    m_capacity = m_owner->get_capacity();
    return true;
  }

  // string node -> [3, L, characters, NUL, zero padding]
  bool string_node(const char* p, int length) {
    if (!room(3 + length / 4, p)) return false;
    int* w = m_words + m_used;
    char* chars = reinterpret_cast<char*>(w + 2);
    if (xml_scan::has_entity(p, length)) length = xml_scan::decode_entities(p, length, chars);
    else std::memcpy(chars, p, static_cast<size_t>(length));
    const int words = length / 4 + 1;
    std::memset(chars + length, 0, static_cast<size_t>(words * 4 - length));
    w[0] = SV_STRING;
    w[1] = length;
    m_used += 2 + words;
    return true;
  }

  StaticVariant* m_owner;
  xml_scan::cl_NameCache m_names;
  std::vector<int> m_offsets;  // attribute and child offsets of the open elements, innermost last
  int* m_words;
  int m_capacity;
  int m_used = 0;
  st_Error m_error;
};

bool cl_WordParser::element(const char*& p, int depth) {
  // The reader of one element: where its node starts, and the offsets of its attributes and
  // children on the parser's stack from mark on, so the tables are written without reading the
  // nodes again (a large element's first children have long left the cache).
  struct st_Node {
    cl_WordParser& parser;
    int base = 0;
    size_t mark = 0;
    int attributes = 0;

    bool open(const char* lt, const char* name, int length, uint32_t hash) {
      base = parser.m_used;
      mark = parser.m_offsets.size();
      if (!parser.room(7, lt)) return false;
      parser.m_words[base] = SV_ELEMENT;
      // An empty name still gets a non-zero id (the empty name), so the record's table stays whole.
      parser.m_words[base + 2] = static_cast<int>(parser.m_names.id(name, length, hash));
      parser.m_used += 7;
      return true;
    }
    bool attribute(const xml_scan::st_Attribute& a) {
      if (!parser.room(1, a.name)) return false;
      parser.m_offsets.push_back(parser.m_used - base);
      parser.m_words[parser.m_used++] = static_cast<int>(parser.m_names.id(a.name, a.nameLength, a.nameHash));
      float number;
      if (xml_scan::attribute_number(a, number)) {
        if (!parser.room(2, a.value)) return false;
        parser.m_words[parser.m_used] = SV_FLOAT;
        std::memcpy(parser.m_words + parser.m_used + 1, &number, 4);
        parser.m_used += 2;
      } else if (!parser.string_node(a.value, a.valueLength)) {
        return false;
      }
      ++attributes;
      return true;
    }
    bool child(const char*& p, int depth) {
      parser.m_offsets.push_back(parser.m_used - base);
      return parser.element(p, depth);
    }
    bool text(const char* p, int length) {
      parser.m_offsets.push_back(parser.m_used - base);
      return parser.string_node(p, length);
    }
  };
  st_Node node{*this};
  if (!xml_scan::element(p, depth, node, true, m_error)) return false;
  const int base = node.base;
  const int attributes = node.attributes;
  const int entries = static_cast<int>(m_offsets.size() - node.mark);
  const int children = entries - attributes;

  // The attribute table, then the child table, straight behind the nodes.
  if (!room(entries, p)) return false;
  int* w = m_words + base;
  const int table = m_used - base;
  w[3] = attributes;
  w[4] = table;
  w[5] = children;
  w[6] = table + attributes;
  if (entries) std::memcpy(w + table, m_offsets.data() + node.mark, static_cast<size_t>(entries) * 4);
  m_offsets.resize(node.mark);
  w[1] = table + entries;
  m_used = base + table + entries;
  return true;
}

void report(const char* file, const char* text, const st_Error& e) {
  int line, column;
  xml_scan::locate(text, e.at, line, column);
  sys::Output("ERROR: xml-file '%s': %s at line %d, column %d\n", file, e.what ? e.what : "syntax error", line,
              column);
}

// Parses the element at p into out (replacing it), growing the block as needed.
bool parse_into(StaticVariant& out, const char* text, const char* p, const char* name) {
  const int length = static_cast<int>(std::strlen(p));
  if (!out.reserve(length / 2 + 64)) {
    sys::Output("ERROR: xml-file '%s': no memory for %d words\n", name, length / 2 + 64);
    return false;
  }
  cl_WordParser parser(&out, out.get_words(), out.get_capacity());
  if (!parser.element(p, 0)) {
    report(name, text, parser.error());
    out.clear();
    return false;
  }
  out.set_size(parser.used());
  out.trim();
  return true;
}

bool load_text(const char* file, Text& text) {
  File f(file, File::STATUS_READ);
  if (!f.is_open()) {
    sys::Output("xml-file %s not found.\n", file ? file : "");
    return false;
  }
  if (f.get_size() > xml::kMaxFileSize) {
    sys::Output("ERROR: %s: too large (%d bytes, at most %d)\n", file, f.get_size(), xml::kMaxFileSize);
    return false;
  }
  if (!f.read_textfile(text)) {
    sys::Output("ERROR: xml-file '%s' is empty or could not be read\n", file);
    return false;
  }
  return true;
}

}  // namespace

bool xml_parse_static_variant(int*& cursor, int* end, const char*& text) {
  if (!cursor || !text || end < cursor) return false;
  cl_WordParser parser(nullptr, cursor, static_cast<int>(end - cursor));
  const char* p = text;
  if (!parser.element(p, 0)) return false;
  cursor += parser.used();
  text = p;
  return true;
}

namespace xml {

namespace {
// The readers proper; the public functions run them under guard_memory.
bool read_text_unguarded(StaticVariant& out, const char* text, const char* name);
bool read_multi_root_file_unguarded(StaticVariant& out, const char* file, const char* root);
}  // namespace

bool read_text(StaticVariant& out, const char* text, const char* name) {
  const bool ok = xml_scan::guard_memory(name, [&] { return read_text_unguarded(out, text, name); });
  if (!ok) out.clear();
  return ok;
}

namespace {
bool read_text_unguarded(StaticVariant& out, const char* text, const char* name) {
  out.clear();
  if (!text) return false;
  const char* start = xml_scan::after_prolog(text);
  if (!start) {
    sys::Output("ERROR: xml-file '%s': prolog '<?xml' without '?>'\n", name);
    return false;
  }
  st_Error e;
  if (!xml_scan::skip_misc(start, e)) {
    report(name, text, e);
    return false;
  }
  return parse_into(out, text, start, name);
}
}  // namespace

bool read_file(StaticVariant& out, const char* file) {
  out.clear();
  const bool ok = xml_scan::guard_memory(file, [&] {
    Text text;
    if (!load_text(file, text)) return false;
    return read_text(out, text.c_str(), file);
  });
  if (!ok) out.clear();
  return ok;
}

bool read_multi_root_file(StaticVariant& out, const char* file, const char* root) {
  const bool ok = xml_scan::guard_memory(file, [&] { return read_multi_root_file_unguarded(out, file, root); });
  if (!ok) out.clear();
  return ok;
}

namespace {
bool read_multi_root_file_unguarded(StaticVariant& out, const char* file, const char* root) {
  out.clear();
  Text text;
  if (!load_text(file, text)) return false;
  tString<BaseString> pattern("<");
  pattern += root;
  pattern += ">";
  const char* start = std::strstr(text.c_str(), pattern.c_str());
  if (!start) {
    sys::Output("ERROR: xml-file '%s': no element '%s'\n", file, pattern.c_str());
    return false;
  }
  return parse_into(out, text.c_str(), start, file);
}
}  // namespace

}  // namespace xml

}  // namespace base
