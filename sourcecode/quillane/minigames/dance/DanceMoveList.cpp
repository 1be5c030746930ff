// The dance's level: the move list file, the four tracks' geometry and the rules by which due
// moves, or the random level's patterns, become notes.
#include <algorithm>
#include <cmath>

#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/image/Image.h"
#include "quillane/minigames/dance/DanceMinigame.h"

namespace quillane {

namespace {

constexpr const char* kLevelFolder = "gui/minigames/dance/";
constexpr const char* kMusicFolder = "msx/dance/";
// Tracks: the start lies this far beyond the 1024-wide layout's edge, the goals and the aim
// points this far from the centre.
constexpr float kStartMargin = 512.0f + 50.0f;
constexpr float kTrackOffset = 200.0f;

bool TrackOk(int track) { return track >= 0 && track < cl_DanceMinigame::kTracks; }

}  // namespace

base::String cl_DanceMinigame::MoveListPath(const char* name) {
  base::String path(kLevelFolder);
  path += name ? name : "";
  path += ".xml";
  return path;
}

base::String cl_DanceMinigame::MusicPath(const char* sample) {
  base::String path(kMusicFolder);
  path += sample ? sample : "";
  return path;
}

bool cl_DanceMinigame::LoadMoveList(const char* name) {
  const base::String path = MoveListPath(name);
  base::Variant list;
  if (!ReadMinigameData(list, path.c_str())) return false;
  SetMoveList(list, path.c_str());
  return true;
}

void cl_DanceMinigame::SetMoveList(base::Variant& list, const char* path) {
  m_MoveList.cut(list);
  m_TotalMoves = m_MovesLeft = m_MoveList.size();
  s_Score = 0;

  float speed = 0.0f;
  // A speed that is not positive would leave every note standing at its start.
  if (!m_MoveList.get_attribute_float("speed", speed) || !std::isfinite(speed) || !(speed > 0.0f)) {
    base::sys::Output("Warning: dance %s: \"speed\" is missing or not a positive number; 1 is used\n", path);
    speed = 1.0f;
  }
  m_Speed = speed;
  s_Needed = 0;
  m_MoveList.get_attribute_int("needed", s_Needed);
  // The score runs from 0 to the list's maximum; a goal outside cannot be played for, and the
  // score bar's arithmetic counts on it staying inside.
  const int needed = std::clamp(s_Needed, 0, MaxScore());
  if (needed != s_Needed) {
    base::sys::Output("Warning: dance %s: \"needed\" %d is outside 0..%d; %d is used\n", path, s_Needed, MaxScore(),
                      needed);
    s_Needed = needed;
  }
  m_Length = 0.0f;
  m_MoveList.get_attribute_float("length", m_Length);
  struct {
    const char* attribute;
    base::String* value;
  } const texts[] = {{"sample", &m_Sample}, {"animation", &m_Animation}, {"variation", &m_Variation}};
  for (const auto& text : texts) {
    text.value->clear();
    m_MoveList.get_attribute_string(text.attribute, *text.value);
  }

  // The moves by time. A move on no track or at no time cannot be made: it is dropped now, and
  // counts as made, so the list still runs out.
  m_Moves.clear();
  m_NextMove = 0;
  for (int i = 0; i < m_MoveList.size(); ++i) {
    base::Variant& move = m_MoveList[i];
    int track = 0;
    float time = 0.0f;
    move.get_attribute_int("dir", track);
    move.get_attribute_float("time", time);
    if (!TrackOk(track) || !std::isfinite(time)) {
      base::sys::Output("Warning: dance %s: move %d has %s (dir %d); it is left out\n", path, i,
                        TrackOk(track) ? "a time that is not a number" : "no track 0..3", track);
      move.set_nil();
      --m_MovesLeft;
      continue;
    }
    m_Moves.push_back({time, i, track});
  }
  std::stable_sort(m_Moves.begin(), m_Moves.end(),
                   [](const st_Move& a, const st_Move& b) { return a.m_Time < b.m_Time; });
}

// ---- tracks: 0 upper left, 1 lower left, 2 upper right, 3 lower right

base::tVector2<float> cl_DanceMinigame::TrackStart(int track) const {
  const float w = static_cast<float>(base::sys::GetWindowWidth());
  const float left = static_cast<float>(static_cast<int>(w * 0.5f - kStartMargin));
  const float right = static_cast<float>(static_cast<int>(w * 0.5f + kStartMargin));
  return {track < 2 ? left : right, TrackAim(track).y};
}

base::tVector2<float> cl_DanceMinigame::TrackAim(int track) const {
  return {m_CenterX, track % 2 == 0 ? m_CenterY - kTrackOffset : m_CenterY + kTrackOffset};
}

base::tRectf cl_DanceMinigame::TrackGoal(int track) const {
  const float x = track < 2 ? m_CenterX - kTrackOffset : m_CenterX + kTrackOffset;
  const float y = TrackAim(track).y;
  // Without its picture a goal shrinks to its centre.
  const float hw = m_GoalImage ? static_cast<float>(m_GoalImage->GetWidth()) * 0.5f : 0.0f;
  const float hh = m_GoalImage ? static_cast<float>(m_GoalImage->GetHeight()) * 0.5f : 0.0f;
  return base::tRectf(x - hw, y - hh, x + hw, y + hh);
}

void cl_DanceMinigame::AddNote(int track) {
  if (!TrackOk(track)) return;
  st_DanceNote note;
  note.m_Track = track;
  note.m_Position = TrackStart(track);
  note.m_Aim = TrackAim(track);
  const base::tRectf goal = TrackGoal(track);
  note.m_Goal[0] = goal.min.x, note.m_Goal[1] = goal.min.y, note.m_Goal[2] = goal.max.x, note.m_Goal[3] = goal.max.y;
  note.m_Image = m_NoteImage;
  note.m_Glow = m_GlowImage;
  note.m_Owner = this;
  m_Notes.push_back(note);
}

void cl_DanceMinigame::SpawnNotes(float dt) {
  if (!m_MoveList.is_void()) {
    // Every move whose time has passed, made in the order of the file.
    std::vector<int> due;
    while (m_NextMove < m_Moves.size() && m_Moves[m_NextMove].m_Time < m_SongTime)
      due.push_back(static_cast<int>(m_NextMove++));
    if (due.empty()) return;
    std::sort(due.begin(), due.end(), [this](int a, int b) { return m_Moves[a].m_Child < m_Moves[b].m_Child; });
    for (int index : due) {
      const st_Move& move = m_Moves[static_cast<size_t>(index)];
      base::Variant* child = m_MoveList.child(move.m_Child);
      if (!child || child->is_void()) continue;
      AddNote(move.m_Track);
      child->set_nil();
      --m_MovesLeft;
    }
    return;
  }
  m_SpawnTimer -= dt * m_Speed;
  if (!(m_SpawnTimer < 0.0f) || m_MovesLeft <= 0) return;
  m_SpawnTimer += static_cast<float>(base::Random(2) + 1);
  if (base::Random(4) == 0 && m_Pattern != 1) {
    if (base::Random(3) == 0) {
      for (int track = 0; track < kTracks; ++track) AddNote(track);  // a chord
    } else {
      const int upperOrLower = base::Random(2);
      AddNote(upperOrLower);  // a pair: both upper or both lower
      AddNote(upperOrLower + 2);
    }
  } else {
    AddNote(base::Random(kTracks));
  }
  --m_MovesLeft;
}

}  // namespace quillane
