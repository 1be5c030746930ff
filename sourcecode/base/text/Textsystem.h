// base::cl_Textsystem: the localised texts. Every displayed or spoken text is written as a key
// ("#gamem0_464", everything before the first blank) followed by a default text; at run time the
// key is looked up, without regard to letter case, in the current language's text tables (XML
// files directly in "loca/" whose names end in the language and ".xml") and replaced by that
// language's text, decoded from UTF-8 to UTF-16. A key's texts may name the speech samples that
// speakers say for it. The game may install a parser that post-processes every displayed text.
#pragma once

#include <map>

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/system.h"

namespace base {

// Post-processor of displayed texts (markup, entities), installed by the game.
class i_TextParser {
 public:
  virtual ~i_TextParser() = default;
  // Appends the processed text to out; false when the text could not be processed.
  virtual bool Parse(const char16_t* text, tString<BaseUnicodeString>& out) = 0;
};

class cl_Textsystem {
 public:
  static constexpr int kKeyNotFound = 1;  // Localize's result for a key without an entry

  cl_Textsystem();   // becomes the active text system
  ~cl_Textsystem();  // Cleanup; no longer active
  // The text parser is owned; a copy would release it twice.
  cl_Textsystem(const cl_Textsystem&) = delete;
  cl_Textsystem& operator=(const cl_Textsystem&) = delete;

  // Cleanup, language := config's attribute "Language", then BuildLookup. True when it succeeded.
  bool Init(const Variant& config);
  // Gathers the "Label" elements of the language from every table into "TextRoot" and indexes
  // them by lower-case key. False when a table cannot be read or lacks the language.
  bool BuildLookup();
  // Empties everything and releases the text parser.
  void Cleanup();

  // Appends the text of the key at the start of text to out: 0 when found, -1 when the key has
  // none or several texts (out unchanged), kKeyNotFound when the key is unknown (then the whole
  // text goes to out as it stands). The last two arguments are not used.
  int Localize(const char* text, tString<BaseUnicodeString>& out, Variant* unused1 = nullptr, int unused2 = -1);
  // Through the text parser when one is installed; else appends text to out.
  bool ParseText(const char16_t* text, tString<BaseUnicodeString>& out);
  // out := "loca/<language>/speech/<speaker>/<key>.ogg" when the key's text number index (-1 is
  // 0) has a speaker entry of exactly that name. False, out unchanged, otherwise.
  bool GetSfx(const tString<BaseString>& speaker, const tString<BaseString>& text, tString<BaseString>& out, int index);
  // Attribute name of the first text of key (looked up as it stands, in lower case); null when none.
  Variant* FindAttribute(const char* key, const char* name);

  void SetTextParser(i_TextParser* parser);  // owned; an earlier parser is released
  tString<BaseString> GetLanguage() const { return m_language; }
  bool IsInitialised() const { return m_initialised; }
  int GetKeyCount() const { return static_cast<int>(m_lookup.size()); }
  bool AddCommand(const char* name, void* function, bool flag);  // accepted and ignored
  void LogLabels();  // every key with its texts and speakers, to the log

  static cl_Textsystem* s_pActiveTextsystem;

 private:
  bool AddFileToLookup(const char* file);
  const Variant* FindLabel(const tString<BaseString>& key) const;

  std::map<tString<BaseString>, Variant*> m_lookup;
  Variant m_texts;
  bool m_initialised = false;
  tString<BaseString> m_language;
  i_TextParser* m_parser = nullptr;
};

// The active text system, created on first use.
cl_Textsystem* GetTextsystem();

// The key of a localisable text: everything before the first blank (the whole text when it starts
// with a blank or has none).
tString<BaseString> TextKey(const char* text);

// UTF-8 to UTF-16, appended to out. A byte that starts no valid sequence (stray continuation,
// overlong form, surrogate, truncated sequence, beyond U+10FFFF) becomes U+FFFD and decoding
// goes on with the next byte; four-byte sequences become surrogate pairs. Never reads past length.
// False when a byte was replaced so (a U+FFFD the text itself holds is no error).
bool DecodeUtf8(const char* text, int length, tString<BaseUnicodeString>& out);
// Appends code point c as UTF-8; a surrogate or a value past U+10FFFF appends U+FFFD.
void AppendUtf8(tString<BaseString>& out, char32_t c);
// Whether text[0, length) is well-formed UTF-8 (pure ASCII is).
bool IsUtf8(const char* text, int length);
// A narrow text to UTF-16, appended to out: as UTF-8 when it is well-formed (what is typed and
// what the editors write), else byte by byte as Latin-1 (older data).
void DecodeNarrowText(const char* text, int length, tString<BaseUnicodeString>& out);

// The facade functions of the text system (base::sys::InitTextsystem, CleanupTextsystem, Localize,
// GetSfxPath, TextsystemGetAttribute, TextsystemSetTextParser, GetLanguageString) are declared in
// base/system.h; each creates the text system when missing, except CleanupTextsystem.

}  // namespace base
