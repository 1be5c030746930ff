// The XML writer: the layout of the engine's data files (tab indentation, up to two attributes on
// the tag's line, more one per line), with the minimal escaping that lets the readers give back
// exactly what was written.
#include <charconv>
#include <string>

#include "base/File.h"
#include "base/file/SafeFile.h"
#include "base/data/StaticVariant.h"
#include "base/text/Text.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/system.h"

namespace base {

namespace {

bool starts_entity(const char* p) {
  static const char* const names[] = {"quot;", "lt;", "gt;", "amp;", "apos;"};
  for (const char* n : names) {
    if (str::string_match(p + 1, n)) return true;
  }
  return false;
}

// Attribute values: '"' would close the value early.
void append_value(std::string& out, const char* s) {
  for (const char* p = s; p && *p; ++p) {
    if (*p == '"') out += "&quot;";
    else if (*p == '&' && starts_entity(p)) out += "&amp;";
    else out += *p;
  }
}

// Text: '<' would start a tag, and a leading '>' would end the element for the word reader.
void append_text(std::string& out, const char* s) {
  for (const char* p = s; p && *p; ++p) {
    if (*p == '<') out += "&lt;";
    else if (*p == '>' && p == s) out += "&gt;";
    else if (*p == '&' && starts_entity(p)) out += "&amp;";
    else out += *p;
  }
}

bool label_readable(const char* s) {
  for (const char* p = s; p && *p; ++p) {
    if (!str::is_label_char(*p)) return false;
  }
  return true;
}

// The reader takes a name up to '=' after skipping blanks, and a tag ends at '>' or "/>".
bool attribute_name_readable(const char* s) {
  if (!s || !*s) return true;
  if (str::is_space(*s) || *s == '>' || *s == '/') return false;
  for (const char* p = s; *p; ++p) {
    if (*p == '=' || *p == '"') return false;
  }
  return true;
}

bool element_like(const Variant& v) { return !v.is_atomic() && !v.is_void(); }

class Writer {
 public:
  std::string out;
  tString<BaseString> problem;

  bool node(const Variant& v, int depth, bool indent) {
    if (v.is_string()) {
      append_text(out, v.get_string());
      return true;
    }
    if (v.is_int()) {
      append_int(v.get_int());
      return true;
    }
    if (v.is_atomic()) {
      v.print_to(m_scratch);
      out += m_scratch.c_str();
      return true;
    }
    if (v.is_void()) {
      out += "<nil/>";
      return true;
    }
    const char* label = v.get_label();
    if (depth >= kMaxTreeDepth) return refuse("elements nested deeper than %d", kMaxTreeDepth);
    if (!label_readable(label)) return refuse("element label '%s' is not a name the reader takes", label);
    if (indent) out.append(static_cast<size_t>(depth), '\t');
    out += '<';
    if (label) out += label;
    const int a = v.attribute_cnt();
    const int k = v.size();
    if (a == 0 && k == 0) {
      // "</>" would read as a closing tag: an element without a name is closed explicitly.
      out += label && *label ? "/>\n" : "></>\n";
      return true;
    }
    for (int i = 0; i < a; ++i) {
      const char* name = v.get_attribute_label(i);
      if (!attribute_name_readable(name))
        return refuse("attribute name '%s' of element '%s' is not a name the reader takes", name, label ? label : "");
      if (a > 2) {
        out += '\n';
        out.append(static_cast<size_t>(depth + 1), '\t');
      } else {
        out += ' ';
      }
      if (name) out += name;
      out += "=\"";
      append_attribute_value(*v.attribute(i));
      out += '"';
    }
    if (k == 0) {
      out += "/>\n";
      return true;
    }
    out += '>';
    bool previousScalar = false;
    for (int i = 0; i < k; ++i) {
      const Variant& c = *v.child(i);
      if (element_like(c)) {
        if (i == 0) out += '\n';
        // After a text the tabs would become part of that text when read back.
        if (!node(c, depth + 1, !previousScalar)) return false;
      } else {
        // Two texts in a row would read back as one: an empty comment keeps them apart.
        if (previousScalar) out += "<!---->";
        if (!node(c, depth, false)) return false;
      }
      previousScalar = c.is_atomic();
    }
    if (element_like(*v.child(k - 1))) out.append(static_cast<size_t>(depth), '\t');
    out += "</";
    if (label) out += label;
    out += ">\n";
    return true;
  }

 private:
  // Ints and strings go straight into the output: a level file is mostly ints, and the text copy
  // that print_to makes costs a heap block each.
  void append_int(int value) {
    char text[16];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
  }
  void append_attribute_value(const Variant& value) {
    if (value.is_int()) {
      append_int(value.get_int());
    } else if (value.is_string()) {
      append_value(out, value.get_string());
    } else {
      value.print_to(m_scratch);
      append_value(out, m_scratch.c_str());
    }
  }

  bool refuse(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, fmt);
    problem.clear();
    problem.vprint(fmt, args);
    va_end(args);
    return false;
  }

  tString<BaseString> m_scratch;
};

}  // namespace

bool xml_write_node(Text& out, const Variant& node, int depth) {
  Writer w;
  const bool ok = w.node(node, depth, true);
  out += w.out.c_str();
  return ok;
}

namespace xml {

bool write_text(const Variant& tree, Text& out) { return xml_write_node(out, tree, 0); }

bool write_file(const Variant& tree, const char* file) {
  Writer w;
  w.out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  if (!w.node(tree, 0, true)) {
    sys::Output("ERROR: xml-file '%s' not written: %s\n", file ? file : "", w.problem.c_str());
    return false;
  }
  File f;
  if (!f.open(file, File::STATUS_WRITE)) {
    sys::Output("ERROR: xml-file '%s' cannot be created%s\n", file ? file : "", f.write_error_note().c_str());
    return false;
  }
  if (!f.write(w.out.data(), static_cast<int>(w.out.size()))) {
    sys::Output("ERROR: xml-file '%s' could not be written%s\n", file, f.write_error_note().c_str());
    f.discard();
    return false;
  }
  if (!f.close()) return false;
  // What a save killed before its rename left beside the file goes with the next one that worked.
  RemoveStaleTempFiles(file);
  return true;
}

void write_log(const Variant& tree, const char*) {
  Writer w;
  if (!w.node(tree, 0, true)) w.out += "\n(not complete: " + std::string(w.problem.c_str()) + ")\n";
  sys::Output("%s", w.out.c_str());
}

}  // namespace xml

}  // namespace base
