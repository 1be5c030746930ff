// The interface's sounds (button click, error, mouse-over) on the "GUI" channel, silent while a
// full-screen video plays, and the fade of every game sound group when the game stops.
// Main thread only.
#pragma once

// The highest mouse-over counter value: up to 21 mouse-over sounds overlap, each under its own
// name "mouseover_<n>".
inline constexpr int kMaxMouseOverCounter = 20;

// A sample (kind 0) under name on channel at volume and full pan, once; ignoreFx keeps the effect
// list off it. The interface's other sounds (tokens, scores) go through it too.
void PlayInterfaceSample(const char* file, const char* name, const char* channel, float volume, bool ignoreFx);

void PlayClickSound();      // "sfx/UI/UI_confirm.ogg" as "buttonclick"
void PlayErrorSound();      // "sfx/UI/UI_error.ogg" as "error"
void PlayMouseOverSound();  // "sfx/UI/UI_mouseover.ogg" as "mouseover_<counter>", then the counter moves on
int GetMouseOverCounter();  // the counter the next mouse-over sound takes

// Fades the channels "MUSIC", "PLAYER", "SPEECH", "AMBIENT" and "AMBIENT2" out over 0.5 s and
// clears every playlist, so none starts its next entry.
void FadeOutAllSoundGroups();
