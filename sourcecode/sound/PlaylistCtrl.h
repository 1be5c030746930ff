// Named playlists of sound files for music and ambience: each plays one entry at a time, picked
// at random, on the channel of its own name ("MUSIC" when no channel has it), and after an entry
// ends waits a random gap before the next. A list of streams with one entry and no gaps is one
// tune that follows itself: it plays as a looping stream, each run joined to the last without a
// gap, until the list changes (a gap, another entry, another file or volume) or is cleared; then
// the run playing is its last. The controller is the sound system's one add-on module, updated
// every frame.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "sound/SoundTypes.h"

namespace sfx {

class cl_Playlist {
 public:
  cl_Playlist(const char* name, int kind);  // starts at its first update

  void AddEntry(const char* fileName, float volume);  // the same file may come more than once
  void RemoveEntries(const char* fileName);           // a playing entry plays on
  void SetGaps(float shortest, float longest);        // seconds between two entries
  // Looks at its sound four times a second (without gaps also at the end of the entry playing);
  // starts the next entry once the gap has passed. A tune it plays looping ends with its current
  // run at the first update after the list changed.
  void Update(float dt);
  // Lets a tune it plays looping end with its current run (the list is going or has changed).
  void EndLoop();

  const std::string& GetName() const { return m_name; }
  const std::string& GetSoundName() const { return m_soundName; }  // "Playlist_" + name
  int GetKind() const { return m_kind; }
  size_t GetEntryCount() const { return m_entries.size(); }

 private:
  struct st_Entry {
    std::string file;
    float volume = 1.0f;
  };
  const char* Channel();  // the playlist's own name when a channel has it, else "MUSIC"
  bool Seamless() const;  // one stream entry, no gaps: played as a looping stream
  bool LoopFits() const;  // the list is still the one entry the looping tune plays

  std::vector<st_Entry> m_entries;
  std::string m_name;
  std::string m_soundName;
  int m_kind;
  float m_nextStart = -1.0f;  // -1: at once; 0: a gap is to be drawn
  float m_clock = 0.0f;
  float m_nextCheck = 0.0f;
  float m_shortestGap = 0.0f;
  float m_longestGap = 0.0f;
  bool m_namedNoChannel = false;  // said once in the log
  bool m_looping = false;         // its sound is the looping stream of its one entry
  st_Entry m_loopEntry;           // that entry, as it was when the loop started
};

class cl_PlaylistCtrl final : public i_SoundModule {
 public:
  cl_PlaylistCtrl();            // registers with the sound system, when there is one
  ~cl_PlaylistCtrl() override;  // unregisters, deletes every playlist
  void Update(float dt) override;

  // The first playlist of that name (null reads as "") and kind; made when create is set.
  cl_Playlist* GetPlaylist(const char* name, int kind, bool create);
  // Removes every playlist of that name and kind (a null name with kind 4: all of them), first
  // stopping its sound over fadeTime when stopSound is set.
  void ClearPlaylists(const char* name, int kind, bool stopSound, float fadeTime);
  size_t GetPlaylistCount() const { return m_playlists.size(); }

 private:
  std::list<std::unique_ptr<cl_Playlist>> m_playlists;
};

// The controller (null when none lives).
cl_PlaylistCtrl* GetPlaylistCtrl();

}  // namespace sfx
