// What the in-game interface (tokens, token bar, interface bar, overlays, subtitles) asks of the
// game session. The session sits above the interface, so it fills these entries when it starts;
// an empty entry gives the answer a game without a session needs (no game state, every token use
// refused, the player free, no dialogue, the buttons doing nothing). Main thread only.
#pragma once

#include "base/String.h"

namespace base {
class Variant;
}

struct st_InterfaceServices {
  // ---- game state and token table
  base::Variant* (*GetGameState)() = nullptr;         // the game-state tree; none when empty
  const base::Variant* (*GetTokenTable)() = nullptr;  // "GUI/tokens/tokens.xml"; none when empty
  // A token's definition element; when empty it is looked up in GetTokenTable.
  const base::Variant* (*FindTokenDefinition)(const char* label) = nullptr;

  // ---- token rules (target first, as the session's rule functions take them)
  bool (*CanUseToken)(const char* token) = nullptr;                         // false when empty
  bool (*CallTokenHandler)(const char* target, const char* token) = nullptr;  // false when empty
  bool (*CheckTokenOnTarget)(const char* target, const char* token) = nullptr;  // false when empty
  void (*PlayTokenHandler)(const char* target, const char* token) = nullptr;    // nothing when empty
  // What lies under a screen point (the bar's tokens first, then the scene); false for nothing.
  // When empty only the token bar's own hit test is asked.
  bool (*GetDropTargetName)(float x, float y, base::tString<base::BaseString>& name) = nullptr;
  // The localised tooltip of a label after hover seconds; special set for the elaborate text.
  // False (text untouched) when empty.
  bool (*GetTooltipText)(const char* label, base::tString<base::BaseUnicodeString>& text, float hover,
                         bool& special) = nullptr;

  // ---- session state
  bool (*IsDialogActive)() = nullptr;           // a dialogue runs; false when empty
  int (*GetDialogPendingCount)() = nullptr;     // dialogue lines under way; 0 when empty
  const char* (*GetDialogPartner)() = nullptr;  // the heroine's partner; "" when empty
  bool (*IsPlayerFree)() = nullptr;             // true when empty
  bool (*HasForegroundAction)() = nullptr;      // false when empty
  bool (*IsCutscene)() = nullptr;               // the action queue runs a cutscene; false when empty
  const char* (*GetCurrentActionName)() = nullptr;  // "speak", "sleep", ...; "" when empty
  bool (*IsDiaryVisible)() = nullptr;           // false when empty
  bool (*IsSceneJustLoaded)() = nullptr;        // the first frame after a scene load; false when empty
  bool (*GetSceneHeight)(float& height) = nullptr;  // the shown scene picture's height; false: no scene

  // ---- the video clock (the engine's player when empty)
  bool (*IsVideoPlaying)() = nullptr;
  float (*GetVideoTime)() = nullptr;

  // ---- the interface bar's buttons; nothing when empty
  void (*OpenIngameMenu)() = nullptr;
  void (*OpenLoadSavePanel)() = nullptr;
  void (*OpenDiary)() = nullptr;
  void (*CaptureScreenshot)() = nullptr;
};

// The program's one table; the session fills it, tests install stand-ins.
st_InterfaceServices& InterfaceServices();

// ---- the entries with their empty answers applied
namespace hud {
base::Variant* GameState();
const base::Variant* FindTokenDefinition(const char* label);
bool CanUseToken(const char* token);
bool CallTokenHandler(const char* target, const char* token);
bool CheckTokenOnTarget(const char* target, const char* token);
void PlayTokenHandler(const char* target, const char* token);
bool GetTooltipText(const char* label, base::tString<base::BaseUnicodeString>& text, float hover, bool& special);
bool IsDialogActive();
int GetDialogPendingCount();
const char* GetDialogPartner();
bool IsPlayerFree();
bool HasForegroundAction();
bool IsCutscene();
const char* GetCurrentActionName();
bool IsDiaryVisible();
bool IsSceneJustLoaded();
bool GetSceneHeight(float& height);
bool IsVideoPlaying();
float GetVideoTime();
}  // namespace hud

// The first definition labelled label among the element children of the table's categories;
// category (when given) gets the category's name. Null for a null table or an unknown label.
const base::Variant* FindTokenDefinitionIn(const base::Variant* table, const char* label,
                                           base::tString<base::BaseString>* category = nullptr);
