// The translation of SDL2 events into the input Queue and window messages. Only the platform's
// own sources and tests include this header (it pulls in SDL).
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>

#include "platform/input/Window.h"

namespace platform::input {

class Queue;

// The PC scan code (set 1, 0x80 for extended keys) of an SDL scan code; 0 for keys without one.
uint8_t ScanCodeFromSdl(SDL_Scancode code);

// Feeds a keyboard, mouse or focus event to input and returns the window message the event
// stands for (None for pure input events and events of no interest). Key repeats are dropped:
// holding a key gives one press. Text input gives each press the characters it typed.
Message TranslateEvent(const SDL_Event& event, Queue& input);

}  // namespace platform::input
