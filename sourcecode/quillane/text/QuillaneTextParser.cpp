// The markup table and the one-pass conversion. The converted text is never scanned again, so
// "&amp;lt;" gives "&lt;".
#include "quillane/text/QuillaneTextParser.h"

#include <utility>

namespace {

struct st_Markup {
  const char16_t* m_markup;
  int m_markupLength;
  const char16_t* m_replacement;
  int m_replacementLength;
};

// Tried in this order at every position; matching is exact and case-sensitive.
constexpr st_Markup kMarkups[] = {
    {u"[BR]", 4, u"\n", 1},  {u"[T]", 3, u"    ", 4}, {u"&amp;", 5, u"&", 1},
    {u"&lt;", 4, u"<", 1},   {u"&gt;", 4, u">", 1},    {u"&apos;", 6, u"'", 1},
    {u"&quot;", 6, u"\"", 1}, {u"&#xD;", 5, u"\n", 1}, {u"&#xA;", 5, u"\n", 1},
};

// The markup at p, or null. The comparison stops at the first differing unit, and the input's
// terminator differs from every markup unit, so it never reads past the end.
const st_Markup* MatchAt(const char16_t* p) {
  if (*p != u'[' && *p != u'&') return nullptr;
  for (const st_Markup& m : kMarkups) {
    int i = 0;
    while (i < m.m_markupLength && p[i] == m.m_markup[i]) ++i;
    if (i == m.m_markupLength) return &m;
  }
  return nullptr;
}

}  // namespace

int cl_QuillaneTextParser::Convert(const char16_t* input, base::tString<base::BaseUnicodeString>& output,
                                   bool write) {
  if (!input) return 0;
  char16_t* out = write ? output.get_buffer() : nullptr;
  const int room = write ? output.size() : 0;
  int length = 0;
  for (const char16_t* p = input; *p;) {
    if (const st_Markup* m = MatchAt(p)) {
      for (int i = 0; i < m->m_replacementLength; ++i, ++length)
        if (length < room) out[length] = m->m_replacement[i];
      p += m->m_markupLength;
    } else {
      if (length < room) out[length] = *p;
      ++length;
      ++p;
    }
  }
  return length;
}

bool cl_QuillaneTextParser::Parse(const char16_t* input, base::tString<base::BaseUnicodeString>& output) {
  const int n = Convert(input, output, false);
  if (n == 0) return true;
  base::tString<base::BaseUnicodeString> converted;
  converted._realloc(n);
  const int m = Convert(input, converted, true);
  if (output.empty())
    output = std::move(converted);
  else
    output += converted;
  return m == n;
}
