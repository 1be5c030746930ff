#include "sound/PlaylistCtrl.h"

#include <algorithm>
#include <cstring>

#include "base/math/Random.h"
#include "base/system.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"

namespace sfx {
namespace {

cl_PlaylistCtrl* g_playlistCtrl = nullptr;

// Shared by every playlist, so the choice depends on how many picks came before.
int g_pickCounter = 0;

constexpr float kCheckInterval = 0.25f;
constexpr int kCounterLimit = 32001;
constexpr int kDiscardedDraws = 1000;
constexpr const char* kMusicChannel = "MUSIC";

}  // namespace

cl_PlaylistCtrl* GetPlaylistCtrl() { return g_playlistCtrl; }

// ---- One playlist

cl_Playlist::cl_Playlist(const char* name, int kind)
    : m_name(name ? name : ""), m_soundName("Playlist_" + m_name), m_kind(kind) {}

void cl_Playlist::AddEntry(const char* fileName, float volume) {
  if (fileName) m_entries.push_back({fileName, volume});
}

void cl_Playlist::RemoveEntries(const char* fileName) {
  if (!fileName) return;
  std::erase_if(m_entries, [fileName](const st_Entry& e) { return e.file == fileName; });
}

void cl_Playlist::SetGaps(float shortest, float longest) {
  m_shortestGap = shortest;
  m_longestGap = longest;
}

bool cl_Playlist::Seamless() const {
  return m_kind == PLAY_STREAM && m_entries.size() == 1 && m_shortestGap == 0.0f && m_longestGap == 0.0f;
}

// Removing the entry and adding it again as it was (in one frame) is no change: the tune goes on
// without a seam.
bool cl_Playlist::LoopFits() const {
  return Seamless() && m_entries.front().file == m_loopEntry.file && m_entries.front().volume == m_loopEntry.volume;
}

void cl_Playlist::EndLoop() {
  if (!m_looping) return;
  m_looping = false;
  if (cl_FModSoundSystem* system = GetSoundSystem()) system->EndLoop(m_soundName.c_str());
}

void cl_Playlist::Update(float dt) {
  m_clock += dt;
  // At once, not at the next check: a run that ends before it would be followed by another of the
  // old tune. The run playing is the last; then the list as it stands.
  if (m_looping && !LoopFits()) EndLoop();
  if (m_nextCheck > m_clock) return;
  m_nextCheck = m_clock + kCheckInterval;
  if (IsSoundPlaying(m_soundName.c_str())) {
    // Without gaps a check falls on the end of the entry, so the next one starts then, not up to a
    // quarter second later; with gaps the checks keep their quarter-second steps.
    cl_FModSoundSystem* system = GetSoundSystem();
    const float left = system && m_longestGap <= 0.0f ? system->SecondsLeft(m_soundName.c_str()) : -1.0f;
    if (left >= 0.0f && left < kCheckInterval) m_nextCheck = m_clock + left;
    return;
  }
  if (m_nextStart == -1.0f) {
    m_nextStart = m_clock;
  } else if (m_nextStart == 0.0f) {
    m_nextStart = m_clock + base::RandBetween(m_shortestGap, m_longestGap);
  }
  if (m_nextStart > m_clock) return;
  if (m_entries.empty()) {
    m_nextStart = 0.0f;
    return;
  }
  ++g_pickCounter;
  if (g_pickCounter >= kCounterLimit) g_pickCounter = 0;
  base::RandSeed(g_pickCounter);
  const int last = static_cast<int>(m_entries.size()) - 1;
  int index = base::RandBetween(0, last);
  for (int i = 0; i < kDiscardedDraws; ++i) index = base::RandBetween(0, last);
  const st_Entry& entry = m_entries[static_cast<size_t>(index)];
  st_PlayParams params;
  params.volume = entry.volume;
  // Started again at the next check after its end, a tune would leave a hole of up to a quarter
  // second and its new open at every loop point; looping, its runs join sample to sample.
  params.loop = Seamless();
  if (PlaySound(m_kind, entry.file.c_str(), m_soundName.c_str(), Channel(), params) >= 0.0f) {
    m_nextStart = 0.0f;
    m_looping = params.loop;
    m_loopEntry = entry;
  }
}

const char* cl_Playlist::Channel() {
  // A list named after something else than a channel (its scene, say) would otherwise retry in
  // silence for ever: it is music.
  cl_FModSoundSystem* system = GetSoundSystem();
  if (!system || system->HasChannel(m_name.c_str())) return m_name.c_str();
  if (!m_namedNoChannel) {
    base::sys::Output("Warning: playlist '%s' names no sound channel; it plays on %s\n", m_name.c_str(), kMusicChannel);
    m_namedNoChannel = true;
  }
  return kMusicChannel;
}

// ---- The controller

cl_PlaylistCtrl::cl_PlaylistCtrl() {
  g_playlistCtrl = this;
  if (cl_FModSoundSystem* system = GetSoundSystem()) system->AddModule(this);
}

cl_PlaylistCtrl::~cl_PlaylistCtrl() {
  if (cl_FModSoundSystem* system = GetSoundSystem()) system->RemoveModule(this);
  if (g_playlistCtrl == this) g_playlistCtrl = nullptr;
}

void cl_PlaylistCtrl::Update(float dt) {
  for (auto& playlist : m_playlists) playlist->Update(dt);
}

cl_Playlist* cl_PlaylistCtrl::GetPlaylist(const char* name, int kind, bool create) {
  const char* wanted = name ? name : "";
  for (auto& playlist : m_playlists)
    if (playlist->GetName() == wanted && playlist->GetKind() == kind) return playlist.get();
  if (!create) return nullptr;
  m_playlists.push_back(std::make_unique<cl_Playlist>(wanted, kind));
  return m_playlists.back().get();
}

void cl_PlaylistCtrl::ClearPlaylists(const char* name, int kind, bool stopSound, float fadeTime) {
  const bool all = !name && kind == 4;
  const char* wanted = name ? name : "";
  for (auto it = m_playlists.begin(); it != m_playlists.end();) {
    cl_Playlist& playlist = **it;
    if (!all && (playlist.GetName() != wanted || playlist.GetKind() != kind)) {
      ++it;
      continue;
    }
    playlist.EndLoop();  // as any entry, its tune ends with the run playing
    if (stopSound) StopSound(playlist.GetSoundName().c_str(), fadeTime);
    it = m_playlists.erase(it);
  }
}

}  // namespace sfx
