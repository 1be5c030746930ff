// Feeds arbitrary UTF-16 (the input's bytes in little-endian pairs, up to the first zero unit) to
// the display-text markup parser and compares its output with a plain reference conversion;
// a difference, a measured length that does not match, or a read past the end aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../BaseFuzz.h"
#include "quillane/text/QuillaneTextParser.h"

namespace {

// The same table, applied the slow way.
std::u16string Reference(const std::u16string& in) {
  static const std::u16string kFrom[] = {u"[BR]", u"[T]", u"&amp;", u"&lt;", u"&gt;",
                                         u"&apos;", u"&quot;", u"&#xD;", u"&#xA;"};
  static const std::u16string kTo[] = {u"\n", u"    ", u"&", u"<", u">", u"'", u"\"", u"\n", u"\n"};
  std::u16string out;
  size_t i = 0;
  while (i < in.size()) {
    size_t k = 0;
    while (k < std::size(kFrom) && in.compare(i, kFrom[k].size(), kFrom[k]) != 0) ++k;
    if (k < std::size(kFrom)) {
      out += kTo[k];
      i += kFrom[k].size();
    } else {
      out += in[i++];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    text += unit;
  }
  // An exactly sized copy, so a read past the terminator is caught by the address checker.
  auto* input = static_cast<char16_t*>(std::malloc((text.size() + 1) * sizeof(char16_t)));
  if (!input) return 0;
  text.copy(input, text.size());
  input[text.size()] = 0;

  cl_QuillaneTextParser parser;
  base::UnicodeString out;
  const bool ok = parser.Parse(input, out);
  std::free(input);
  if (!ok || std::u16string(out.c_str(), size_t(out.size())) != Reference(text)) std::abort();
  return 0;
}
