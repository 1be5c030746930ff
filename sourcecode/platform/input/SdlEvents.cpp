// SDL2 events to buffered input elements and window messages.
#include "platform/input/SdlEvents.h"

#include <string>

#include "platform/input/Input.h"

namespace platform::input {
namespace {

// SDL scan codes name USB key positions, the PC scan codes the same positions; one row per key.
struct st_ScanPair {
  SDL_Scancode sdl;
  uint8_t pc;
};

constexpr st_ScanPair kScanPairs[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},       {SDL_SCANCODE_1, 0x02},           {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},            {SDL_SCANCODE_4, 0x05},           {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},            {SDL_SCANCODE_7, 0x08},           {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},            {SDL_SCANCODE_0, 0x0B},           {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},       {SDL_SCANCODE_BACKSPACE, 0x0E},   {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10},            {SDL_SCANCODE_W, 0x11},           {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},            {SDL_SCANCODE_T, 0x14},           {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},            {SDL_SCANCODE_I, 0x17},           {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},            {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C},       {SDL_SCANCODE_LCTRL, 0x1D},       {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},            {SDL_SCANCODE_D, 0x20},           {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},            {SDL_SCANCODE_H, 0x23},           {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},            {SDL_SCANCODE_L, 0x26},           {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},   {SDL_SCANCODE_GRAVE, 0x29},       {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},    {SDL_SCANCODE_NONUSHASH, 0x2B},   {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D},            {SDL_SCANCODE_C, 0x2E},           {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30},            {SDL_SCANCODE_N, 0x31},           {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33},        {SDL_SCANCODE_PERIOD, 0x34},      {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36},       {SDL_SCANCODE_KP_MULTIPLY, 0x37}, {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39},        {SDL_SCANCODE_CAPSLOCK, 0x3A},    {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C},           {SDL_SCANCODE_F3, 0x3D},          {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},           {SDL_SCANCODE_F6, 0x40},          {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42},           {SDL_SCANCODE_F9, 0x43},          {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45}, {SDL_SCANCODE_SCROLLLOCK, 0x46},  {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},         {SDL_SCANCODE_KP_9, 0x49},        {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_4, 0x4B},         {SDL_SCANCODE_KP_5, 0x4C},        {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E},      {SDL_SCANCODE_KP_1, 0x4F},        {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_KP_3, 0x51},         {SDL_SCANCODE_KP_0, 0x52},        {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56}, {SDL_SCANCODE_F11, 0x57},       {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_F13, 0x64},          {SDL_SCANCODE_F14, 0x65},         {SDL_SCANCODE_F15, 0x66},
    {SDL_SCANCODE_KP_ENTER, 0x9C},     {SDL_SCANCODE_RCTRL, 0x9D},       {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7},  {SDL_SCANCODE_RALT, 0xB8},        {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_HOME, 0xC7},         {SDL_SCANCODE_UP, 0xC8},          {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_LEFT, 0xCB},         {SDL_SCANCODE_RIGHT, 0xCD},       {SDL_SCANCODE_END, 0xCF},
    {SDL_SCANCODE_DOWN, 0xD0},         {SDL_SCANCODE_PAGEDOWN, 0xD1},    {SDL_SCANCODE_INSERT, 0xD2},
    {SDL_SCANCODE_DELETE, 0xD3},       {SDL_SCANCODE_LGUI, 0xDB},        {SDL_SCANCODE_RGUI, 0xDC},
    {SDL_SCANCODE_APPLICATION, 0xDD},
};

// The code points of a UTF-8 text; a malformed sequence is skipped byte by byte.
std::u32string DecodeUtf8(const char* text) {
  std::u32string out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    const unsigned char lead = *p;
    const int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    char32_t c = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    int i = 1;
    for (; extra > 0 && i <= extra && (p[i] & 0xC0) == 0x80; ++i) c = (c << 6) | (p[i] & 0x3F);
    if (extra < 0 || i != extra + 1) {
      ++p;
      continue;
    }
    out.push_back(c);
    p += i;
  }
  return out;
}

int MouseButtonIndex(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    default: return -1;
  }
}

// SDL tells where the pointer is only when it moves; a window that opens, or is entered or
// focused again, under a resting pointer reads its real place here.
void ReadPointer(const SDL_WindowEvent& event, Queue& input) {
  SDL_Window* window = SDL_GetWindowFromID(event.windowID);
  if (!window) return;
  int x = 0, y = 0, left = 0, top = 0, width = 0, height = 0;
  SDL_GetGlobalMouseState(&x, &y);
  SDL_GetWindowPosition(window, &left, &top);
  SDL_GetWindowSize(window, &width, &height);
  x -= left, y -= top;
  if (x >= 0 && y >= 0 && x < width && y < height) input.SetCursor(x, y);
}

}  // namespace

uint8_t ScanCodeFromSdl(SDL_Scancode code) {
  for (const st_ScanPair& p : kScanPairs)
    if (p.sdl == code) return p.pc;
  return 0;
}

Message TranslateEvent(const SDL_Event& event, Queue& input) {
  switch (event.type) {
    case SDL_QUIT: return Message::Quit;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (event.key.repeat != 0)
        input.KeyRepeat();
      else
        input.Key(ScanCodeFromSdl(event.key.keysym.scancode), event.type == SDL_KEYDOWN, event.key.timestamp);
      return Message::None;
    case SDL_TEXTINPUT: input.Text(DecodeUtf8(event.text.text), event.text.timestamp); return Message::None;
    case SDL_MOUSEMOTION:
      input.MouseMotion(event.motion.xrel, event.motion.yrel, event.motion.x, event.motion.y, event.motion.timestamp);
      return Message::None;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      input.SetCursor(event.button.x, event.button.y);
      input.MouseButton(MouseButtonIndex(event.button.button), event.type == SDL_MOUSEBUTTONDOWN,
                        event.button.timestamp);
      return Message::None;
    case SDL_MOUSEWHEEL: {
      int notches = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      input.MouseWheel(notches * mouse::kWheelNotch, event.wheel.timestamp);
      return Message::None;
    }
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: return Message::Close;
        case SDL_WINDOWEVENT_EXPOSED: return Message::Paint;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          input.SetForeground(true);
          ReadPointer(event.window, input);
          return Message::Other;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_ENTER: ReadPointer(event.window, input); return Message::Other;
        case SDL_WINDOWEVENT_FOCUS_LOST: input.SetForeground(false); return Message::Other;
        default: return Message::Other;
      }
    default: return Message::None;
  }
}

}  // namespace platform::input
