// What the diary asks of the game session. The session sits above the diary and fills these
// entries when it starts; an empty entry gives the answer of a game without a session (no
// interface bar, mission values 0). Main thread only.
#pragma once

struct st_DiaryServices {
  // The interface bar's journal button blinks (on) or stops; false (nothing done) without a bar,
  // also when empty.
  bool (*SetJournalBlink)(bool on) = nullptr;
  // Shows or hides the interface bar (presentation mode hides it while the diary is open);
  // nothing when empty.
  void (*ShowInterfaceBar)(bool show) = nullptr;
  // A mission value of the game state ("Spycraft", "Wealth", "Skill"); 0 when empty.
  int (*GetMissionValue)(const char* name) = nullptr;
};

// The program's one table; the session fills it, tests install stand-ins.
st_DiaryServices& DiaryServices();
