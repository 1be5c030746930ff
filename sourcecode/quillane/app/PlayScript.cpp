// The .play reader.
#include "quillane/app/PlayScript.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/app/ICMD.h"
#include "win32dx9/DX9InputDevice.h"

namespace {

constexpr size_t kMaxLine = 4096;

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

// A whole decimal number in [0, kMaxFrameCount]; false for anything else.
bool ReadCount(const std::string& text, int* out) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > kMaxFrameCount) return false;
  *out = static_cast<int>(value);
  return true;
}

// A decimal number within kMaxFloorCoordinate either way; false for anything else.
bool ReadCoordinate(const std::string& text, float* out) {
  char* end = nullptr;
  const float value = std::strtof(text.c_str(), &end);
  if (text.empty() || !end || *end != 0 || !(std::fabs(value) <= kMaxFloorCoordinate)) return false;
  *out = value;
  return true;
}

// Everything after the first n words, as written.
std::string RestAfter(const std::string& line, int n) {
  size_t i = 0;
  for (int w = 0; w < n; ++w) {
    i = line.find_first_not_of(" \t", i);
    i = line.find_first_of(" \t", i);
    if (i == std::string::npos) return std::string();
  }
  i = line.find_first_not_of(" \t", i);
  if (i == std::string::npos) return std::string();
  const size_t end = line.find_last_not_of(" \t");
  return line.substr(i, end - i + 1);
}

// A savegame slot of up to three digits; 0 for anything else.
int ParseSlot(const std::string& word) {
  if (word.empty() || word.size() > 3 || word.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::atoi(word.c_str());
}

// A window pixel coordinate in [0, kMaxWindowCoordinate]; false for anything else.
bool ReadPixel(const std::string& text, int* out) { return ReadCount(text, out) && *out <= kMaxWindowCoordinate; }

enum class en_Parsed { NotMine, Done, Bad };

// The editors' steps: pointer, held keys, typed text, list rows, windows and files.
en_Parsed ParseEditorStep(const std::vector<std::string>& w, const std::string& line, st_PlayStep& step,
                          std::string* why) {
  const std::string& verb = w[0];
  auto bad = [why](const std::string& text) {
    *why = text;
    return en_Parsed::Bad;
  };
  if ((verb == "click" || verb == "rclick") && w.size() >= 2 && w[1] == "at") {
    step.kind = verb == "click" ? st_PlayStep::CLICK_AT : st_PlayStep::RCLICK_AT;
    if (w.size() != 4 || !ReadPixel(w[2], &step.point[0]) || !ReadPixel(w[3], &step.point[1]))
      return bad("expected \"" + verb + " at <x> <y>\" with pixels from 0 to 16384");
    return en_Parsed::Done;
  }
  // "move" and "drag" followed by a word are the game and token steps' lines (or no step at all).
  const bool word = w.size() >= 2 && std::isalpha(static_cast<unsigned char>(w[1][0]));
  if ((verb == "move" || verb == "drag") && word) return en_Parsed::NotMine;
  if (verb == "move") {
    step.kind = st_PlayStep::MOVE;
    if (w.size() != 3 || !ReadPixel(w[1], &step.point[0]) || !ReadPixel(w[2], &step.point[1]))
      return bad("expected \"move <x> <y>\" with pixels from 0 to 16384");
    return en_Parsed::Done;
  }
  if (verb == "drag" || verb == "rdrag") {
    step.kind = verb == "drag" ? st_PlayStep::DRAG : st_PlayStep::RDRAG;
    step.number = kDefaultDragFrames;
    bool ok = w.size() == 5 || w.size() == 6;
    for (size_t i = 1; ok && i < 5; ++i) ok = ReadPixel(w[i], &step.point[i - 1]);
    if (ok && w.size() == 6) ok = ReadCount(w[5], &step.number) && step.number >= 1;
    if (!ok) return bad("expected \"" + verb + " <x0> <y0> <x1> <y1> [frames]\" with pixels from 0 to 16384 and 1 frame or more");
    return en_Parsed::Done;
  }
  if (verb == "hold" || verb == "release") {
    step.kind = verb == "hold" ? st_PlayStep::HOLD : st_PlayStep::RELEASE;
    if (w.size() != 2 || (step.number = ScanCodeOfKey(w[1])) == 0)
      return bad("expected \"" + verb + " <key>\" with a known key name");
    step.name = w[1];
    return en_Parsed::Done;
  }
  if (verb == "type") {
    step.kind = st_PlayStep::TYPE;
    step.name = RestAfter(line, 1);
    if (step.name.empty()) return bad("expected \"type <text>\"");
    for (char c : step.name) {
      uint8_t scan = 0;
      bool shift = false, text = false;
      if (!KeyOfCharacter(c, &scan, &shift, &text)) return bad(std::string("no key types '") + c + "'");
    }
    return en_Parsed::Done;
  }
  if (verb == "click" && w.size() >= 2 && w[1] == "entry") {
    step.kind = st_PlayStep::CLICK_ENTRY;
    step.number = kDefaultWaitBudget;
    if (w.size() < 4) return bad("expected \"click entry <control> <row>\"");
    step.name = w[2];
    step.argument = RestAfter(line, 3);
    return en_Parsed::Done;
  }
  if (verb == "wait" && w.size() >= 2 && (w[1] == "window" || w[1] == "gone")) {
    // The label may hold blanks ("Scene Manager"); a last word of digits is the frame budget.
    step.kind = w[1] == "window" ? st_PlayStep::WAIT_WINDOW : st_PlayStep::WAIT_GONE;
    step.number = kDefaultWaitBudget;
    step.name = RestAfter(line, 2);
    const bool budget = w.size() >= 4 && w.back().find_first_not_of("0123456789") == std::string::npos;
    if (budget) step.name = RestAfter(line, 2).substr(0, step.name.rfind(w.back()));
    step.name.erase(step.name.find_last_not_of(' ') + 1);
    if (w.size() < 3 || (budget && (!ReadCount(w.back(), &step.number) || step.number == 0)))
      return bad("expected \"wait " + w[1] + " <label> [frames]\" with a budget from 1 to 100000");
    return en_Parsed::Done;
  }
  if (verb == "expect" && w.size() >= 2 && w[1] == "xml") {
    step.kind = st_PlayStep::EXPECT_XML;
    if (w.size() != 6) return bad("expected \"expect xml <file> <path> <attribute> <value>|absent\"");
    step.name = w[2];
    step.argument = w[3];
    step.attribute = w[4];
    step.value = w[5];
    return en_Parsed::Done;
  }
  if (verb == "expect" && w.size() >= 2 && w[1] == "file") {
    step.kind = st_PlayStep::EXPECT_FILE;
    if (w.size() != 4 || (w[3] != "exists" && w[3] != "missing"))
      return bad("expected \"expect file <file> exists|missing\"");
    step.name = w[2];
    step.argument = w[3];
    return en_Parsed::Done;
  }
  return en_Parsed::NotMine;
}

// The mini-game steps "click game", "rclick game", "move game" and "wait game": a target or condition of one
// or more words, a wait with its frame budget last.
bool ParseGameStep(const std::vector<std::string>& w, st_PlayStep& step, std::string* why) {
  const std::string& verb = w[0];
  step.kind = verb == "click"    ? st_PlayStep::CLICK_GAME
              : verb == "rclick" ? st_PlayStep::RCLICK_GAME
              : verb == "move"   ? st_PlayStep::MOVE_GAME
                                 : st_PlayStep::WAIT_GAME;
  step.number = kDefaultWaitBudget;
  size_t end = w.size();
  if (step.kind == st_PlayStep::WAIT_GAME && end > 3 &&
      w[end - 1].find_first_not_of("0123456789") == std::string::npos) {
    if (!ReadCount(w[end - 1], &step.number) || step.number == 0) {
      *why = "the frame budget must be a number from 1 to 100000";
      return false;
    }
    --end;
  }
  if (end < 3) {
    *why = "expected \"" + verb + " game <" + (verb == "wait" ? "condition> [frames]\"" : "target>\"");
    return false;
  }
  step.name = w[2];
  for (size_t i = 3; i < end; ++i) step.name += " " + w[i];
  return true;
}

bool ParseLine(const std::string& line, st_PlayStep& step, std::string* why) {
  const std::vector<std::string> w = Words(line);
  const std::string& verb = w[0];
  if ((verb == "click" || verb == "rclick" || verb == "move" || verb == "wait") && w.size() >= 2 && w[1] == "game")
    return ParseGameStep(w, step, why);
  if (const en_Parsed editor = ParseEditorStep(w, line, step, why); editor != en_Parsed::NotMine)
    return editor == en_Parsed::Done;
  if (verb == "wait") {
    const bool named = w.size() >= 3 && w.size() <= 4 && (w[1] == "state" || w[1] == "scene" || w[1] == "minigame");
    const bool idle = w.size() >= 2 && w.size() <= 3 && w[1] == "idle";
    if (named || idle) {
      step.kind = idle                ? st_PlayStep::WAIT_IDLE
                  : w[1] == "state"   ? st_PlayStep::WAIT_STATE
                  : w[1] == "scene"   ? st_PlayStep::WAIT_SCENE
                                      : st_PlayStep::WAIT_MINIGAME;
      if (named) step.name = w[2];
      step.number = kDefaultWaitBudget;
      const size_t budget = idle ? 2 : 3;
      if (w.size() == budget + 1 && (!ReadCount(w[budget], &step.number) || step.number == 0)) {
        *why = "the frame budget must be a number from 1 to 100000";
        return false;
      }
      return true;
    }
    if (w.size() >= 3 && w[1] == "check") {
      step.kind = st_PlayStep::WAIT_CHECK;
      step.name = w[2];
      step.argument = RestAfter(line, 3);
      step.number = kDefaultWaitBudget;
      return true;
    }
    if (w.size() == 3 && w[1] == "frames") {
      step.kind = st_PlayStep::WAIT_FRAMES;
      if (!ReadCount(w[2], &step.number)) {
        *why = "the frame count must be a number from 0 to 100000";
        return false;
      }
      return true;
    }
    *why =
        "expected \"wait state|scene|minigame <name> [frames]\", \"wait game <condition> [frames]\", \"wait check "
        "<name> [argument]\", \"wait idle [frames]\" or \"wait frames <n>\"";
    return false;
  }
  if (verb == "key") {
    step.kind = st_PlayStep::KEY;
    if (w.size() != 2 || (step.number = ScanCodeOfKey(w[1])) == 0) {
      *why = "expected \"key <name>\" with a known key name";
      return false;
    }
    step.name = w[1];
    return true;
  }
  if (verb == "click") {
    if (w.size() >= 3 && w[1] == "button") {
      step.kind = st_PlayStep::CLICK_BUTTON;
      step.name = RestAfter(line, 2);
      return true;
    }
    if (w.size() == 3 && (w[1] == "hotspot" || w[1] == "character")) {
      step.kind = w[1] == "hotspot" ? st_PlayStep::CLICK_HOTSPOT : st_PlayStep::CLICK_CHARACTER;
      step.name = w[2];
      return true;
    }
    if (w.size() == 2 && w[1] == "skip") {
      step.kind = st_PlayStep::CLICK_SKIP;
      step.number = kDefaultWaitBudget;
      return true;
    }
    if (w.size() == 4 && w[1] == "floor" && ReadCoordinate(w[2], &step.floor[0]) && ReadCoordinate(w[3], &step.floor[1])) {
      step.kind = st_PlayStep::CLICK_FLOOR;
      return true;
    }
    *why =
        "expected \"click button <label>\", \"click hotspot|character <name>\", \"click skip\", \"click game "
        "<target>\" or \"click floor <x> <z>\" (coordinates within 100000)";
    return false;
  }
  if (verb == "close") {
    step.kind = st_PlayStep::CLOSE;
    if (w.size() != 1) {
      *why = "\"close\" takes nothing";
      return false;
    }
    return true;
  }
  if (verb == "shot") {
    step.kind = st_PlayStep::SHOT;
    bool plain = w.size() >= 2;
    for (char c : plain ? w[1] : std::string())
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') plain = false;
    if (!plain) {
      *why = "expected \"shot <name> [<character>...]\" with letters, digits, '_' or '-' in the name";
      return false;
    }
    step.name = w[1];
    for (size_t i = 2; i < w.size(); ++i) step.argument += (i > 2 ? " " : "") + w[i];
    return true;
  }
  if (verb == "drag") {
    step.kind = st_PlayStep::DRAG_TOKEN;
    if (w.size() != 4 || w[1] != "token") {
      *why = "expected \"drag token <token> <target>\"";
      return false;
    }
    step.name = w[2];
    step.argument = w[3];
    return true;
  }
  if (verb == "expect" && w.size() >= 2 && w[1] == "token") {
    step.kind = st_PlayStep::EXPECT_TOKEN;
    if (w.size() != 4 || !ReadCount(w[3], &step.number)) {
      *why = "expected \"expect token <token> <count>\" with a count from 0 to 100000";
      return false;
    }
    step.name = w[2];
    return true;
  }
  if (verb == "expect") {
    step.kind = st_PlayStep::EXPECT;
    if (w.size() < 3) {
      *why = "expected \"expect <game-state path> <value>\"";
      return false;
    }
    step.name = w[1];
    step.argument = RestAfter(line, 2);
    return true;
  }
  if (verb == "check") {
    step.kind = st_PlayStep::CHECK;
    if (w.size() < 2) {
      *why = "expected \"check <name> [argument]\"";
      return false;
    }
    step.name = w[1];
    step.argument = RestAfter(line, 2);
    return true;
  }
  if (verb == "save" || verb == "load") {
    step.kind = verb == "save" ? st_PlayStep::SAVE : st_PlayStep::LOAD;
    step.number = w.size() == 2 ? ParseSlot(w[1]) : 0;
    if (step.number < 1) {
      *why = "expected \"" + verb + " <slot 1.." + std::to_string(kMaxSaveSlot) + ">\"";
      return false;
    }
    return true;
  }
  *why = "unknown step \"" + verb + "\"";
  return false;
}

}  // namespace

bool ReadPlayScript(const char* text, size_t size, const char* fileName, std::vector<st_PlayStep>& out,
                    std::string* error) {
  const std::string name = fileName ? fileName : "(play)";
  size_t start = 0;
  int lineNumber = 0;
  while (text && start < size) {
    size_t stop = start;
    while (stop < size && text[stop] != '\n') ++stop;
    ++lineNumber;
    std::string line(text + start, stop - start);
    start = stop + 1;
    auto fail = [&](const std::string& why) {
      if (error) *error = name + ":" + std::to_string(lineNumber) + ": " + why;
      return false;
    };
    if (line.size() > kMaxLine) return fail("line longer than 4096 characters");
    for (char& c : line) {
      if (c == '\r' || c == '\t') c = ' ';
      else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return fail("control character in the line");
    }
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    st_PlayStep step;
    step.line = lineNumber;
    step.text = RestAfter(line, 0);
    std::string why;
    if (!ParseLine(line, step, &why)) return fail(why);
    out.push_back(std::move(step));
  }
  return true;
}

bool LoadPlayScript(const char* path, std::vector<st_PlayStep>& out, std::string* error) {
  // A FIFO would block the start and a folder would read as an empty file.
  std::error_code code;
  std::ifstream in;
  if (path && std::filesystem::is_regular_file(path, code)) in.open(path, std::ios::binary);
  if (!in.is_open() || !in) {
    if (error) *error = std::string(path ? path : "") + ": cannot be read";
    return false;
  }
  std::string text(kMaxPlayFileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (text.size() > kMaxPlayFileBytes) {
    if (error) *error = std::string(path) + ": larger than 1 MiB";
    return false;
  }
  return ReadPlayScript(text.data(), text.size(), path, out, error);
}

uint8_t ScanCodeOfKey(const std::string& name) {
  struct st_Key {
    const char* name;
    uint8_t scan;
  };
  static const st_Key kKeys[] = {
      {"Escape", 0x01}, {"Enter", 0x1C}, {"Space", 0x39}, {"Tab", 0x0F}, {"Backspace", 0x0E},
      {"Up", 0xC8},     {"Down", 0xD0},  {"Left", 0xCB},  {"Right", 0xCD}, {"PageUp", 0xC9}, {"PageDown", 0xD1},
      {"F1", 0x3B},     {"F2", 0x3C},    {"F3", 0x3D},    {"F4", 0x3E},    {"F5", 0x3F},     {"F6", 0x40},
      {"F7", 0x41},     {"F8", 0x42},    {"F9", 0x43},    {"F10", 0x44},   {"F11", 0x57},    {"F12", 0x58},
      {"Shift", 0x2A},  {"Ctrl", 0x1D},  {"KeypadPlus", 0x4E}, {"KeypadMinus", 0x4A},
  };
  for (const st_Key& key : kKeys)
    if (name == key.name) return key.scan;
  if (name.size() != 1) return 0;
  static const char kRows[] = "1234567890";
  static const char kLetters[] = "QWERTYUIOPASDFGHJKLZXCVBNM";
  static const uint8_t kLetterScans[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1E, 0x1F, 0x20,
                                         0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32};
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  for (int i = 0; kRows[i]; ++i)
    if (c == kRows[i]) return static_cast<uint8_t>(0x02 + i);
  for (int i = 0; kLetters[i]; ++i)
    if (c == kLetters[i]) return kLetterScans[i];
  return 0;
}

bool KeyOfCharacter(char c, uint8_t* scan, bool* shift, bool* asText) {
  if (static_cast<unsigned char>(c) < 0x20) return false;
  // The layout's answer for each key, plain before shifted, the main block before the keypad:
  // first what the key code gives alone, then what only the layout's text gives.
  for (const bool text : {false, true}) {
    if (text && !asText) return false;
    for (int s = 1; s < 0x80; ++s)
      for (const bool shifted : {false, true}) {
        base::ICMD press;
        press.type = base::ICMD::KEY_PRESSED;
        press.scan = static_cast<uint8_t>(s);
        press.key = win32dx9::cl_DX9InputDevice::KeyCodeOf(press.scan);
        press.modifiers = shifted ? base::ICMD::MOD_SHIFT : 0;
        if (press.key == 0) continue;
        const char16_t typed = text ? press.GetUnicodeChar() : static_cast<unsigned char>(press.GetChar());
        if (typed != static_cast<unsigned char>(c)) continue;
        *scan = press.scan;
        *shift = shifted;
        if (asText) *asText = text;
        return true;
      }
  }
  return false;
}
