// Text tables, key lookup, UTF-8 decoding and speech paths.
#include "base/text/Textsystem.h"

#include <cstddef>
#include <vector>

#include "base/file/FileFinder.h"
#include "base/data/Xml.h"
#include "base/system.h"

namespace base {

cl_Textsystem* cl_Textsystem::s_pActiveTextsystem = nullptr;

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

const char* AttributeText(const Variant& v, const char* name) { return get_string(v.get_attribute(name)); }

}  // namespace

// ---- UTF-8

void AppendUtf8(tString<BaseString>& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  char bytes[4];
  int n;
  if (c < 0x80) {
    bytes[0] = static_cast<char>(c), n = 1;
  } else if (c < 0x800) {
    bytes[0] = static_cast<char>(0xC0 | (c >> 6)), n = 2;
  } else if (c < 0x10000) {
    bytes[0] = static_cast<char>(0xE0 | (c >> 12)), n = 3;
  } else {
    bytes[0] = static_cast<char>(0xF0 | (c >> 18)), n = 4;
  }
  for (int i = 1; i < n; ++i) bytes[i] = static_cast<char>(0x80 | ((c >> (6 * (n - 1 - i))) & 0x3F));
  for (int i = 0; i < n; ++i) out += bytes[i];
}

namespace {

// UTF-8 to UTF-16 units appended to units; false when a byte starts no valid sequence. Such a
// byte becomes U+FFFD and decoding goes on with the next one, or, with stopAtFault, decoding
// stops there.
bool DecodeUtf8Units(const char* text, int length, std::vector<char16_t>& units, bool stopAtFault) {
  bool wellFormed = true;
  units.reserve(units.size() + static_cast<std::size_t>(length) + 1);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    const unsigned char b0 = *p;
    int need = 0;
    unsigned cp = 0, min = 0;
    if (b0 < 0x80) {
      units.push_back(b0);
      ++p;
      continue;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      need = 1, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      need = 2, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      need = 3, cp = b0 & 0x07, min = 0x10000;
    }
    bool ok = need > 0 && end - p > need;
    for (int i = 1; ok && i <= need; ++i) {
      ok = IsContinuation(p[i]);
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    ok = ok && cp >= min && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    if (!ok) {
      wellFormed = false;
      if (stopAtFault) return false;
      // One replacement per bad byte, then resynchronise on the next one.
      units.push_back(kReplacement);
      ++p;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
    p += need + 1;
  }
  return wellFormed;
}

}  // namespace

bool IsUtf8(const char* text, int length) {
  std::vector<char16_t> units;
  return !text || length <= 0 || DecodeUtf8Units(text, length, units, true);
}

void DecodeNarrowText(const char* text, int length, tString<BaseUnicodeString>& out) {
  if (!text || length <= 0) return;
  // Only the decoder knows a bad sequence from a U+FFFD the text itself holds. At the first one
  // the whole text is taken as Latin-1 instead, and appended at once: growing the string a
  // character at a time copied it again for each (a long label took seconds).
  std::vector<char16_t> units;
  if (!DecodeUtf8Units(text, length, units, true)) {
    units.clear();
    for (int i = 0; i < length; ++i) units.push_back(static_cast<unsigned char>(text[i]));
  }
  units.push_back(0);
  out += units.data();
}

bool DecodeUtf8(const char* text, int length, tString<BaseUnicodeString>& out) {
  if (!text || length <= 0) return true;
  std::vector<char16_t> units;
  const bool wellFormed = DecodeUtf8Units(text, length, units, false);
  units.push_back(0);
  out += units.data();
  return wellFormed;
}

tString<BaseString> TextKey(const char* text) {
  const int blank = tString<BaseString>(text).find(' ');
  if (blank <= 0) return tString<BaseString>(text);
  return tString<BaseString>(text).left(blank);
}

// ---- life cycle

cl_Textsystem::cl_Textsystem() { s_pActiveTextsystem = this; }

cl_Textsystem::~cl_Textsystem() {
  Cleanup();
  if (s_pActiveTextsystem == this) s_pActiveTextsystem = nullptr;
}

bool cl_Textsystem::Init(const Variant& config) {
  Cleanup();
  m_language = get_string(config.get_attribute("Language"));
  m_initialised = BuildLookup();
  return m_initialised;
}

void cl_Textsystem::Cleanup() {
  m_lookup.clear();
  m_texts.set_nil();
  m_initialised = false;
  m_language = tString<BaseString>();
  delete m_parser;
  m_parser = nullptr;
}

bool cl_Textsystem::BuildLookup() {
  m_lookup.clear();
  m_texts.set_element("TextRoot");
  Variant listing;
  ListDirectory(listing, "loca/", tString<BaseString>("*") + m_language.c_str() + ".xml", false);
  int tables = 0;
  for (int i = 0; i < listing.size(); ++i) {
    const Variant& entry = listing[i];
    const tString<BaseString> file = tString<BaseString>("loca/") + AttributeText(entry, "name");
    if (str::compare(entry.get_label(), "File") != 0) {
      sys::Output("ERROR: text table %s: not a regular file\n", file.c_str());
      return false;
    }
    if (!AddFileToLookup(file.c_str())) return false;
    ++tables;
  }
  if (tables == 0) {
    sys::Output("ERROR: no text table for language '%s' (loca/*%s.xml)\n", m_language.c_str(), m_language.c_str());
    return false;
  }
  for (int i = 0; i < m_texts.size(); ++i) {
    Variant* label = m_texts.child(i);
    if (str::compare(label->get_label(), "Label") != 0) {
      sys::Output("Textsystem Error @ BuildLookup: False Label Label");
      continue;
    }
    const Variant* value = label->get_attribute("value");
    if (!value) sys::Output("Textsystem Error @ BuildLookup: Label has no value");
    // A later duplicate key replaces an earlier one.
    m_lookup[tString<BaseString>(get_string(value)).lower()] = label;
  }
  return true;
}

bool cl_Textsystem::AddFileToLookup(const char* file) {
  Variant table;
  if (!xml::read_file(table, file) || table.size() == 0) {
    sys::Output("ERROR: text table %s cannot be read\n", file);
    return false;
  }
  for (int i = 0; i < table.size(); ++i) {
    Variant* language = table.child(i);
    const char* value = AttributeText(*language, "value");
    // A "Language" without "value" matches no language.
    if (str::compare(language->get_label(), "Language") != 0 || !value || m_language != value) continue;
    m_texts.push_back_children_of(*language);
    return true;
  }
  sys::Output("ERROR: text table %s has no language %s\n", file, m_language.c_str());
  return false;
}

// ---- lookups

const Variant* cl_Textsystem::FindLabel(const tString<BaseString>& key) const {
  auto it = m_lookup.find(key.lower());
  return it == m_lookup.end() ? nullptr : it->second;
}

int cl_Textsystem::Localize(const char* text, tString<BaseUnicodeString>& out, Variant*, int) {
  const Variant* label = FindLabel(TextKey(text));
  if (!label) {
    if (const int n = str::len(text); n > 0) {
      tString<BaseUnicodeString> wide;
      DecodeNarrowText(text, n, wide);
      ParseText(wide.c_str(), out);
    }
    return kKeyNotFound;
  }
  if (label->size() != 1) return -1;
  const char* value = AttributeText((*label)[0], "value");
  const int n = str::len(value);
  if (n > 0) {
    tString<BaseUnicodeString> decoded;
    DecodeUtf8(value, n, decoded);
    ParseText(decoded.c_str(), out);
  }
  return 0;
}

bool cl_Textsystem::ParseText(const char16_t* text, tString<BaseUnicodeString>& out) {
  if (m_parser) return m_parser->Parse(text, out);
  out += text;
  return true;
}

bool cl_Textsystem::GetSfx(const tString<BaseString>& speaker, const tString<BaseString>& text,
                           tString<BaseString>& out, int index) {
  if (index < 0) index = 0;
  const tString<BaseString> key = TextKey(text.c_str());
  const Variant* label = FindLabel(key);
  if (!label || label->size() <= index) return false;
  const Variant& entry = (*label)[index];
  for (int i = 0; i < entry.size(); ++i) {
    if (str::compare(AttributeText(entry[i], "value"), speaker.c_str()) != 0) continue;
    out = tString<BaseString>("loca/") + m_language.c_str() + "/speech/" + speaker.c_str() + "/" + key.c_str() + ".ogg";
    return true;
  }
  return false;
}

Variant* cl_Textsystem::FindAttribute(const char* key, const char* name) {
  auto it = m_lookup.find(tString<BaseString>(key).lower());
  if (it == m_lookup.end()) return nullptr;
  Variant* first = it->second->child(0);
  return first ? first->get_attribute(name) : nullptr;
}

void cl_Textsystem::SetTextParser(i_TextParser* parser) {
  if (parser == m_parser) return;
  delete m_parser;
  m_parser = parser;
}

bool cl_Textsystem::AddCommand(const char*, void*, bool) { return true; }

void cl_Textsystem::LogLabels() {
  for (const auto& [key, label] : m_lookup) {
    sys::Output("\n*******************************************\nKey: %s", key.c_str());
    for (int i = 0; i < label->size(); ++i) {
      const Variant& t = (*label)[i];
      sys::Output("\nText: %s", AttributeText(t, "value"));
      for (int j = 0; j < t.size(); ++j) {
        sys::Output("\n\tSpeaker: %s, sfx: %s", AttributeText(t[j], "value"), AttributeText(t[j], "sfx"));
      }
    }
  }
  sys::Output("\n*******************************************");
}

// ---- facade

cl_Textsystem* GetTextsystem() {
  if (!cl_Textsystem::s_pActiveTextsystem) new cl_Textsystem;
  return cl_Textsystem::s_pActiveTextsystem;
}

namespace sys {

bool InitTextsystem(const Variant& config) { return GetTextsystem()->Init(config); }

void CleanupTextsystem() { delete cl_Textsystem::s_pActiveTextsystem; }

int Localize(const char* text, tString<BaseUnicodeString>& out, Variant* unused1, int unused2) {
  return GetTextsystem()->Localize(text, out, unused1, unused2);
}

bool GetSfxPath(const char* speaker, const char* text, tString<BaseString>& out, int index) {
  return GetTextsystem()->GetSfx(speaker, text, out, index);
}

Variant* TextsystemGetAttribute(const char* key, const char* name) { return GetTextsystem()->FindAttribute(key, name); }

void TextsystemSetTextParser(i_TextParser* parser) { GetTextsystem()->SetTextParser(parser); }

tString<BaseString> GetLanguageString() { return GetTextsystem()->GetLanguage(); }

}  // namespace sys

}  // namespace base
