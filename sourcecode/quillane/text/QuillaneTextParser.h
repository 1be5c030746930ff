// cl_QuillaneTextParser: the display-text markup of the game. Localised texts, subtitles,
// dialogue lines and message boxes may write "[BR]" for a line break, "[T]" for an indent and
// the XML character entities; the parser turns them into the characters to show. The game frame
// installs one instance into the text system, which then owns it.
#pragma once

#include "base/String.h"
#include "base/text/Textsystem.h"

class cl_QuillaneTextParser : public base::i_TextParser {
 public:
  // Appends the converted input to output. True when the converted length came out as measured
  // (always, for a terminated input). A null input appends nothing.
  bool Parse(const char16_t* input, base::tString<base::BaseUnicodeString>& output) override;
  // One pass over input: the length of the converted text. With write, the converted text goes
  // to output's buffer from its start, never past output's length.
  int Convert(const char16_t* input, base::tString<base::BaseUnicodeString>& output, bool write);
};
