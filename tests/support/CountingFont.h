// A font for layout tests that counts what is measured: 8 pixels a character (a UTF-8 sequence
// counts once), drawing nothing.
#pragma once

#include "graphics/font/Font.h"

namespace testsupport {

class cl_CountingFont : public gfx::cl_Font {
 public:
  int GetTextWidth(const char* text) override {
    ++measured;
    int characters = 0;
    for (const char* p = text; *p; ++p) characters += (static_cast<unsigned char>(*p) & 0xC0) != 0x80;
    return 8 * characters;
  }
  int measured = 0;
};

}  // namespace testsupport
