// base::ICMD: one input command as the input device produces it and the module tree consumes it
// (a key press, a mouse move or button, and the click and double click the root module makes out
// of left presses). Passed by reference down the tree; a copy copies every field.
#pragma once

#include <cstdint>

namespace base {

struct ICMD {
  // Command kinds handled by the engine; the input device may produce further keyboard kinds.
  enum en_Type : uint8_t {
    KEY_PRESSED = 0,
    KEY_RELEASED = 1,
    MOUSE_MOVE = 2,
    LEFT_DOWN = 3,
    LEFT_UP = 4,
    RIGHT_DOWN = 5,
    RIGHT_UP = 6,
    MIDDLE_DOWN = 7,
    MIDDLE_UP = 8,
    DOUBLE_CLICK = 9,  // made by cl_System::ProcessInput
    CLICK = 10,        // made by cl_System::ProcessInput, delivered late by cl_System::Update
  };
  enum : uint16_t { MOD_SHIFT = 1, MOD_CTRL = 2 };

  uint8_t type = 0;
  uint8_t key = 0;   // engine key code; numeric-keypad digits are 160 to 169
  uint8_t scan = 0;  // PC keyboard scan code (set 1, without the extended prefix)
  // The platform translates key presses with the player's keyboard layout: `text` is then the
  // whole answer for the character of this command (0: the press typed none, e.g. a dead key).
  bool typed = false;
  uint16_t mouseX = 0;
  uint16_t mouseY = 0;
  uint16_t extra[3] = {0, 0, 0};  // the input device's own words
  uint16_t modifiers = 0;         // bit 0: Shift held, bit 1: Ctrl held
  uint16_t accent = 0;            // pending combining diacritic between GetUnicodeChar calls
  char16_t text = 0;              // with `typed`: the character the layout made of this press

  // The key code; keypad digits 160..169 give '0'..'9'.
  uint8_t GetKey() const;
  // The character of a key command, 0 when the key gives none: the typed text when it is a
  // printable Latin-1 character, else (no text input) the German layout's from the key code.
  char GetChar() const;
  // The character of the key: the typed text; without text input the German layout's (from the
  // scan code and Shift), with dead-key composition: a dead key stores its combining accent in
  // `accent` and gives 0; the next character is combined with it (and the accent cleared).
  char16_t GetUnicodeChar();
};

}  // namespace base
