// cl_VideoController plays a list of full-screen videos one after the other, each with its own
// timed subtitles, takes all input while it plays (Escape or a right click skips the current
// video) and, when the list is done, runs its completion event and switches the game frame to a
// given next state. There is one in the program (the intro movies, script videos, the credits).
// The videos are played and drawn by the engine's video player. Main thread only.
//
// Video list file (XML; the root's label is ignored), children in order:
//   <Entry Filename="movie/intro.bik">            the file, relative to the application folder
//     <Subtitle display_name="#key text" starttime="0.5" endtime="3" fadetime="0.25"
//               r="255" g="255" b="255"/>         r, g, b optional (255); direct children only
//   </Entry>
// Other labels are skipped; a subtitle missing one of the four required attributes is skipped.
#pragma once

#include <memory>
#include <vector>

#include "base/String.h"
#include "base/app/Module.h"
#include "base/data/Variant.h"

class i_Event;
class i_SubtitleLines;

class cl_VideoController : public base::cl_Module {
 public:
  struct st_VideoEntry {
    base::tString<base::BaseString> m_Filename;  // the full path
    base::Variant m_Subtitles;                   // element "Subtitles": copies of the "Subtitle" elements
  };

  cl_VideoController();            // idle, empty; becomes the program's controller
  ~cl_VideoController() override;  // stops the player; a pending completion event is deleted unrun

  static cl_VideoController* GetInstance();  // null when none exists

  // Loads the list without a completion event and keeps nextState for its end; false for a null
  // file name. The first video starts at the next update.
  bool Play(const char* listFile, base::tString<base::BaseString> nextState);
  // Appends the list's entries (none when the file cannot be read, logged) and starts playing;
  // completion (owned from here on) runs once when the list is done. False for a null file name.
  bool LoadVideoList(const char* listFile, i_Event* completion);
  // One movie from the application folder at the master volume option (1.0 when absent); its
  // length in seconds, -1.0 without a name (nothing changes) or without a player. Completion
  // (owned from here on) runs when the movie ends or is skipped.
  float PlayMovie(const char* file, i_Event* completion);
  // Starts the first entry with its subtitles and drops it from the list; nothing when empty.
  void StartEntry();
  // Ends the current video and starts the next entry, or finishes the list.
  void Next();

  bool ShutDown() override;  // stops the player and drops the remaining entries
  // While playing: hides the cursor and, once the player has stopped, moves on.
  void Update(float time, float dt) override;
  // While playing every command is taken; a right-button release or an Escape key release skips.
  bool ProcessInput(base::ICMD& cmd) override;

  bool IsPlaying() const { return m_bPlaying; }
  size_t GetEntryCount() const { return m_Entries.size(); }
  const st_VideoEntry* GetEntry(size_t i) const { return i < m_Entries.size() ? m_Entries[i].get() : nullptr; }

  // Reads a list tree (as read from its file) into entries, paths prefixed; for the loader and
  // its fuzz target.
  static void ReadEntries(const base::Variant& list, const base::tString<base::BaseString>& prefix,
                          std::vector<std::unique_ptr<st_VideoEntry>>& out);
  // Queues an entry's subtitles on lines: colour 0xFF000000 | r << 16 | g << 8 | b, each channel
  // 255 when missing and taken modulo 256.
  static void QueueSubtitles(const base::Variant& subtitles, i_SubtitleLines& lines);

 private:
  // Takes a new completion event; one still pending is run first (its video was cut short).
  void SetCompletionEvent(i_Event* completion);

  i_Event* m_pCompletionEvent = nullptr;
  base::tString<base::BaseString> m_NextState;
  bool m_bPlaying = false;
  std::vector<std::unique_ptr<st_VideoEntry>> m_Entries;
};
