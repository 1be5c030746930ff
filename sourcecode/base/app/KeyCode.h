// The key codes the input device delivers in base::ICMD::key and reads in IsKeyDown: one list for
// the device's scan-code table and every reader of key commands. A letter or digit key's code is
// its upper-case character ('A'..'Z', '0'..'9'; the German layout's Z and Y keys give 'Z' and 'Y').
#pragma once

#include <cstdint>

namespace base::key {

// Editing and control keys. Backspace and Tab are the other way round from ASCII.
inline constexpr uint8_t Tab = 8, Backspace = 9, Enter = 13, Escape = 27, Space = 32;

// The German layout's punctuation and letter keys beyond A..Z (SharpS shares its code with F3).
inline constexpr uint8_t Comma = 44, Minus = 47, Period = 58, Acute = 61, Hash = 92, Plus = 93, Caret = 180,
                         AUmlaut = 196, OUmlaut = 214, UUmlaut = 220, SharpS = 223;

// The numeric keypad; ICMD::GetKey turns its digits into '0'..'9'. Keypad Enter gives Enter.
inline constexpr uint8_t Pad0 = 160, Pad1 = 161, Pad2 = 162, Pad3 = 163, Pad4 = 164, Pad5 = 165, Pad6 = 166, Pad7 = 167,
                         Pad8 = 168, Pad9 = 169, PadPoint = 170, PadPlus = 171, PadMinus = 172, NumLock = 173,
                         ScrollLock = 174;

inline constexpr uint8_t PrintScreen = 175, Pause = 176;

// Modifiers, each side its own code.
inline constexpr uint8_t LeftCtrl = 201, RightCtrl = 202, LeftShift = 203, RightShift = 204, LeftAlt = 205,
                         RightAlt = 206, LeftWindows = 207, RightWindows = 208, Application = 209, CapsLock = 210;

inline constexpr uint8_t F1 = 221, F2 = 222, F3 = 223, F4 = 224, F5 = 225, F6 = 226, F7 = 227, F8 = 228, F9 = 229,
                         F10 = 230, F11 = 231, F12 = 232, F13 = 233, F14 = 234, F15 = 235;

inline constexpr uint8_t Left = 240, Right = 241, Up = 242, Down = 243, Home = 244, End = 245, Insert = 246,
                         Delete = 247, PageUp = 248, PageDown = 249;

}  // namespace base::key
