// The .play files that drive a scripted run of the game (the play-through test, and the program
// itself with QUILLANE_INPUT): one step per line, "#" starts a comment.
//   wait state <name> [frames]   until the frame's current state has that name (budget: 300)
//   wait scene <name> [frames]   until the game shows that scene (its load done; budget: 300)
//   wait idle [frames]           until no script sequence, foreground action or queued scene
//                                call is left in the game (budget: 300)
//   wait frames <n>              lets n frames pass (0.1 s each under the test clock)
//   wait minigame <name> [frames] until the mini-game of that registered name runs (its fade-in
//                                over; budget: 300)
//   wait check <name> [argument] until the host's check of that name holds (budget: 300)
//   key <name>                   presses and releases a key (Escape, Enter, Space, Tab, F1..F12, A..Z, 0..9)
//   click button <label>         a left click in the middle of the window with that label
//   click hotspot <label>        a left click on the mean point of the scene's hotspot
//   click character <name>       a left click in the middle of the stage character
//   click floor <x> <z>          a left click where the scene's camera shows that floor point
//   click skip                   once the running mini-game shows its skip button (within 300
//                                frames), a left click in its middle
//   click game <target>          once the held mini-game (running or fading) shows the target
//                                (within 300 frames: "tutorial", "knob 1", "cell 2 1", ...), a
//                                left click in its middle
//   move game <target>           the same, the mouse only moved there
//   wait game <condition> [frames] until the held mini-game is in the condition ("idle",
//                                "view grid", ...; budget: 300)
//   close                        asks the window to close, as its close button does
//   shot <name>                  compares the last frame with the golden picture <name>.png
//   shot <name> <character>...   the same with the 640 x 256 pixels of the frame around those
//                                characters' faces, at their full size
//   expect <path> <value>        the game state's attribute at path ("Missions/Skill") equals
//                                value (numbers compared as numbers)
//   check <name> [argument]      a check the host registered under that name ("state <path>
//                                <value>" is the driver's own: the game state's value)
//   drag token <token> <target>  picks the token up from the token bar and drops it on the target
//                                (a token of the bar, a character or a hotspot)
//   expect token <token> <count> the player holds that many of the token
//   save <n> / load <n>          saves the running game to the user's slot n (1 .. 999), or
//                                loads it; the step fails when the session refuses
// The editors' steps, in window pixels (the input device reports a move's relative motion at
// twice its pixel distance, kMouseDeltaScale):
//   click at <x> <y> / rclick at <x> <y>   a left (right) click there
//   move <x> <y>                 the mouse moves there
//   drag / rdrag <x0> <y0> <x1> <y1> [frames]   the left (right) button pressed at the first
//                                point, the mouse moved in frames steps (default 4) to the
//                                second, where it is released
//   hold <key> / release <key>   a key goes down (up) and stays so; also Shift, Ctrl,
//                                KeypadPlus and KeypadMinus
//   type <text>                  the text's characters as key presses on the keyboard layout
//                                (letters, digits, blanks and the shifted digits)
//   click entry <control> <row>  a left click on the row of that label in the list control,
//                                once it is drawn (within 300 frames)
//   wait window|gone <label> [frames]   until a shown window of that label is open (none is);
//                                the label may hold blanks
//   expect xml <file> <path> <attribute> <value>|absent   the attribute of the element the
//                                path reaches in the XML file ("/" between steps, each matching
//                                an element's name or its "label"; "." the root) has the value
//                                (numbers compared as numbers), or is absent
//   expect file <file> exists|missing
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct st_PlayStep {
  enum en_Kind { WAIT_STATE, WAIT_SCENE, WAIT_IDLE, WAIT_FRAMES, KEY, CLICK_BUTTON, CLOSE, SHOT, EXPECT, CHECK,
                 DRAG_TOKEN, EXPECT_TOKEN, SAVE, LOAD, CLICK_HOTSPOT, CLICK_CHARACTER, CLICK_FLOOR, WAIT_MINIGAME,
                 CLICK_SKIP, CLICK_GAME, RCLICK_GAME, MOVE_GAME, WAIT_GAME, WAIT_CHECK,
                 // the editors' steps
                 CLICK_AT, RCLICK_AT, MOVE, DRAG, RDRAG, HOLD, RELEASE, TYPE, CLICK_ENTRY, WAIT_WINDOW, WAIT_GONE,
                 EXPECT_XML, EXPECT_FILE };
  en_Kind kind = WAIT_FRAMES;
  std::string name;      // state, scene, mini-game, key, label, picture, game-state path, check name,
                         // or a mini-game's play target or condition
  std::string argument;  // the rest of a check or expect line; a drag's target; a shot's characters
  int number = 0;        // frame budget or count; the key's scan code; a token count; the savegame slot
  float floor[2] = {0.0f, 0.0f};  // a floor click's world x and z
  int point[4] = {0, 0, 0, 0};    // window pixels: a click's or move's x, y; a drag's x0, y0, x1, y1
  std::string attribute;          // expect xml: the attribute
  std::string value;              // expect xml: the value, or "absent"
  int line = 0;          // in the file, for messages
  std::string text;      // the line as written
};

constexpr int kDefaultWaitBudget = 300;
constexpr int kMaxFrameCount = 100000;
constexpr int kMaxSaveSlot = 999;
constexpr size_t kMaxPlayFileBytes = 1 << 20;
constexpr float kMaxFloorCoordinate = 100000.0f;  // scene units either way
constexpr int kMaxWindowCoordinate = 16384;       // window pixels, from 0
constexpr int kDefaultDragFrames = 4;

// Reads the steps of a .play text. False on the first bad line, with error set to
// "<fileName>:<line>: <what is wrong>"; out then holds the steps before it.
bool ReadPlayScript(const char* text, size_t size, const char* fileName, std::vector<st_PlayStep>& out,
                    std::string* error);
// The same from a file (at most kMaxPlayFileBytes).
bool LoadPlayScript(const char* path, std::vector<st_PlayStep>& out, std::string* error);

// The PC scan code (0x80 for extended keys) of a key name; 0 for an unknown name.
uint8_t ScanCodeOfKey(const std::string& name);
// The key that types c on the keyboard layout and whether Shift goes with it; false when no key
// types it. With asText, also a character that only the layout's text gives (as "_" or "#"):
// *asText then says that it must go with the press as typed text.
bool KeyOfCharacter(char c, uint8_t* scan, bool* shift, bool* asText = nullptr);
