// The dance game's life: construction, start, the frame with its song clock, the drawing over the
// stage, input, the data file and the end with its payout.
#include "quillane/minigames/dance/DanceMinigame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "base/FileTools.h"
#include "base/app/ICMD.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

constexpr const char* kStripFolder = "gui/minigames/dance/texturestrips/panicbutton";
constexpr const char* kTutorialPrefix = "Missions/Minigames/Dance";
constexpr const char* kSong = "dance_sound";
constexpr float kApplause = 3.0f;      // seconds of applause before the dance
constexpr float kFinishLead = 3.0f;    // the song's end is judged this long before the dance's
constexpr float kWeightSnap = 0.001f;  // the weight's per-frame step stalls short of its target
constexpr float kLayoutHeight = 640.0f;
constexpr float kTutorialSeconds = 10.0f;
constexpr int kTutorialWidth = 400;
constexpr float kNoteDue = 10.0f;  // pixels before its goal centre at which a note is due

// ORDER DANCEART: the images and textures the game draws, by label.
constexpr const char* kImageLabels[] = {"dance_partitur", "dance_partitur_glow", "dance_goal", "dance_bar",
                                        "dance_partingline"};
constexpr const char* kTextureLabels[] = {"dance_fill", "dance_fill_green"};

// A name "<word> <number>" with the number in 0..limit-1; -1 otherwise.
int NumberAfter(const char* name, const char* word, const char* tail, int limit) {
  const size_t n = std::strlen(word);
  if (std::strncmp(name, word, n) != 0 || name[n] != ' ') return -1;
  int value = -1, used = 0;
  if (std::sscanf(name + n + 1, "%d%n", &value, &used) != 1) return -1;
  if (std::strcmp(name + n + 1 + used, tail) != 0 || value < 0 || value >= limit) return -1;
  return value;
}

constexpr const char* kDefaultStage = "ParisTheater";

// The stage comes from a scene the game has, by a plain name: a name with a folder in it would
// reach outside "Scenes/", and a missing scene would leave the dancer on an empty stage. Either
// falls back to the default stage, said in the log.
void ChooseStage(base::String& scene) {
  const std::string name = scene.c_str();
  if (name != kDefaultStage) {
    std::string problem;
    if (name.find_first_of("/\\") != std::string::npos || name.find("..") != std::string::npos)
      problem = "is refused (no folders, no \"..\")";
    else if (const std::string reason = cl_Scene::MissingReason(name.c_str()); !reason.empty())
      problem = "does not exist: " + reason;
    if (problem.empty()) return;
    base::sys::Output("ERROR: dance: scene '%s' %s; the default stage '%s' is used\n", name.c_str(), problem.c_str(),
                      kDefaultStage);
    scene = kDefaultStage;
  }
  if (const std::string reason = cl_Scene::MissingReason(kDefaultStage); !reason.empty())
    base::sys::Output("ERROR: dance: the default stage '%s' does not exist: %s; the stage stays empty\n", kDefaultStage,
                      reason.c_str());
}

}  // namespace

cl_DanceMinigame::cl_DanceMinigame() {
  m_Label = "DanceGame";
  m_ScreenWidth = static_cast<float>(base::sys::GetWindowWidth());
  m_ScreenHeight = static_cast<float>(base::sys::GetWindowHeight());
  m_CenterX = m_ScreenWidth * 0.5f;
  m_CenterY = m_ScreenHeight * 0.5f;
  s_Score = s_Needed = 0;
  sfx::st_ChannelParams dance;
  dance.volume = 1.0f;
  sfx::AddChannel("DANCE", dance);
  sfx::st_ChannelParams applause;
  applause.volume = 0.0f;  // faded in when the song ends
  sfx::AddChannel("DANCE_APPLAUD", applause);
  const char* const tutorials[][2] = {
      {"#dance0_01 A new performance! Tonight every single step of mine falls exactly on the beat.", "Start"},
      {"#dance0_02 Notes come from the left and the right side of the screen, two tracks on each side, and move "
       "towards the four circles. Touch each note with the cursor when it is exactly in the centre of its circle. "
       "A note that has passed its circle is still better touched a moment late than not at all.",
       "Start"},
      {"#dance0_03 Fiasco! Regrettably the performance failed to impress the audience.", "Loose"},
      {"#dance0_04 Success! The performance pleased the audience.", "Win"},
      {"#dance0_05 Success! The performance impressed the audience.", "WinGood"},
      {"#dance0_06 Success! The performance enthralled the audience!", "WinVeryGood"},
  };
  for (const auto& [text, trigger] : tutorials)
    m_Tutorials.emplace_back(text, m_CenterX, m_CenterY, kTutorialWidth, 4, trigger, kTutorialSeconds);
}

cl_DanceMinigame::~cl_DanceMinigame() { ReleaseStage(); }

i_Minigame* cl_DanceMinigame::Create() { return new cl_DanceMinigame; }

// ---- compiled data: only the skip strip

bool cl_DanceMinigame::Compile(const char* dataFile) {
  base::sys::Output("Compile Dance Minigame\n");
  const base::String firstFrame = base::String(kStripFolder) + "/panicbutton_0.tga";
  // Without its art the game is not built here, as the other games do: no data file, no start.
  if (!base::FileExists(firstFrame)) {
    base::sys::Output("Compile Dance Minigame Error! Texture %s not exists!\n", firstFrame.c_str());
    return false;
  }
  if (!CompilePanicStrip(kStripFolder)) return false;
  cl_MinigameDataFile file;
  return file.OpenWrite(dataFile) && file.Finish(*this);
}

bool cl_DanceMinigame::ReadDataFile(cl_MinigameDataFile& file) {
  if (file.Finish(*this)) return true;
  m_PanicStrip.reset();  // a file that does not fit gives no button, not half of one
  return false;
}

void cl_DanceMinigame::FindArt() {
  gfx::cl_Image** images[] = {&m_NoteImage, &m_GlowImage, &m_GoalImage, &m_BarImage, &m_PartingLineImage};
  for (size_t i = 0; i < std::size(images); ++i) {
    *images[i] = gfx::ImageExists(kImageLabels[i]);
    if (!*images[i]) base::sys::Output("ERROR: dance: no picture \"%s\"; it is not drawn\n", kImageLabels[i]);
  }
  gfx::cl_Texture** textures[] = {&m_FillTexture, &m_FillGreenTexture};
  for (size_t i = 0; i < std::size(textures); ++i) {
    *textures[i] = gfx::TextureExists(kTextureLabels[i]);
    if (!*textures[i]) base::sys::Output("ERROR: dance: no texture \"%s\"; it is not drawn\n", kTextureLabels[i]);
  }
}

// ---- start and end

void cl_DanceMinigame::ReadMission(base::Variant* mission, base::String& scene, std::list<st_DanceViewer>& viewers) {
  if (!mission) return;
  // Each input is used up: a later start needs it set again.
  base::String text;
  if (mission->get_attribute_string("dance", text) && !text.empty()) m_DanceName = text;
  if (mission->get_attribute_string("scene", text) && !text.empty()) scene = text;
  for (const char* name : {"dance", "scene"})
    if (base::Variant* value = mission->get_attribute(name)) value->set_string("");
  for (int n = 0;; ++n) {
    char key[48];
    std::snprintf(key, sizeof(key), "viewer_%d_label", n);
    base::Variant* label = mission->get_attribute(key);
    if (!label || label->is_void()) break;
    st_DanceViewer viewer;
    viewer.m_Label = base::get_string(label);
    if (viewer.m_Label == "void") continue;  // an empty seat; the entry stays
    label->set_nil();
    std::snprintf(key, sizeof(key), "viewer_%d_actor", n);
    if (base::Variant* actor = mission->get_attribute(key)) {
      viewer.m_Actor = base::get_string(actor);
      actor->set_nil();
    }
    std::snprintf(key, sizeof(key), "viewer_%d_scale", n);
    if (base::Variant* scale = mission->get_attribute(key)) {
      mission->get_attribute_float(key, viewer.m_Scale);
      scale->set_nil();
    }
    viewers.push_back(viewer);
  }
  base::variant_remove_elements_nil(*mission);
}

bool cl_DanceMinigame::Init(base::Variant* mission, bool restart) {
  m_Notes.clear();
  s_ScorePopups.clear();
  m_Length = m_SongTime = m_Time = 0.0f;
  m_TotalMoves = m_MovesLeft = m_NotesDone = 0;
  m_State = Intro;
  m_Pattern = -1;
  m_SpawnTimer = 1.0f;
  m_Speed = 1.0f;
  s_Score = s_Needed = 0;
  m_Weight = 1.0f;
  m_TargetWeight = 0.0f;
  m_Stumble = m_EndSoundPending = m_SongFinished = false;
  m_StumbleUntil = m_OffsetY = m_EndTime = 0.0f;
  m_MoveList.set_nil();
  m_Moves.clear();
  m_NextMove = 0;
  m_DanceName.clear();
  m_Sample.clear();
  m_Animation = "quillane_dance_01";
  m_Variation = "quillane_dance_01_var01";
  m_DancerActor = "Quillane_DancingDress";
  ReleaseStage();

  if (!restart && base::FileExists(m_DataFile)) {
    cl_MinigameDataFile file;
    if (file.OpenRead(m_DataFile.c_str())) ReadDataFile(file);
  }
  FindArt();

  base::String scene(kDefaultStage);
  std::list<st_DanceViewer> viewers;
  ReadMission(mission, scene, viewers);
  ChooseStage(scene);
  if (!m_DanceName.empty() && LoadMoveList(m_DanceName.c_str())) {
    base::String actor;
    if (m_MoveList.get_attribute_string("actor", actor) && !actor.empty()) m_DancerActor = actor;
  } else if (!m_DanceName.empty()) {
    base::sys::Output("Warning: dance: no move list %s; a random dance is played\n",
                      MoveListPath(m_DanceName.c_str()).c_str());
  }
  BuildStage(scene, viewers);
  if (m_MoveList.is_void()) {
    m_Speed = 1.0f;
    m_TotalMoves = m_MovesLeft = kRandomMoves;
    m_Pattern = 1;
    s_Score = 0;
    s_Needed = kRandomNeeded;
  }

  // The random level has no music; its song clock runs on the frame time.
  if (!m_Sample.empty()) {
    PlayGameSound(MusicPath(m_Sample.c_str()).c_str(), kSong, 1.0f, "DANCE");
    sfx::PauseSound(kSong, true, 0.0f);
  }

  m_OffsetY = (static_cast<float>(base::sys::GetWindowHeight()) - m_Scale * kLayoutHeight) * 0.5f;
  m_DemoMode = Debug_DanceDemoMode;
  ResetPanicTimer(static_cast<float>(Dance_Panic_Timeout));
  TriggerTutorial(kTutorialPrefix, "Start", true);
  return true;
}

void cl_DanceMinigame::StartDance() {
  DecideResult();  // a provisional result, and no notes left from before
  if (cl_DanceCharacter* dancer = GetDancer()) {
    dancer->PlayAnimation(m_Animation.c_str(), 0.0f, 0.0f);
    dancer->mode = 2;
  }
  sfx::StopSound("WalkApplaude", 2.5f);
  sfx::PauseSound(kSong, false, 0.0f);
  AudienceReacts("idle", "idle", 0.25f, 0.0f);
  m_State = Dancing;
  m_Weight = m_TargetWeight = 1.0f;
  m_NotesDone = 0;
  m_Stumble = false;
  m_Time = 0.0f;
  m_StumbleUntil = 0.0f;
  m_SpawnTimer = m_MoveList.is_void() ? 1.0f : 0.0f;
  m_SongTime = 0.0f;
}

void cl_DanceMinigame::End() {
  // Only a dance that reached its result pays: one cut short (another game forced in, the
  // session's end) is decided, but earns nothing.
  const bool shown = m_State == Result;
  DecideResult();
  sfx::StopSound(kSong, 1.0f);
  ReleaseStage();
  m_MoveList.set_nil();
  m_Moves.clear();
  int margin = 0, third = 0;
  if (shown && m_State == Won && !m_Finished && Tier(margin, third))
    RaiseMissionValue("Wealth", margin <= third ? 500 : margin <= 2 * third ? 1000 : 2000);
  sfx::FadeChannelVolume("DANCE_APPLAUD", 0.0f, 0.0f);
  m_EndTime = m_Time = m_DanceLength = 0.0f;
  m_SongFinished = m_EndSoundPending = false;
}

bool cl_DanceMinigame::IsFinished() { return m_State == Result && m_Time >= m_EndTime; }

// ---- the frame

void cl_DanceMinigame::Update(float dt) {
  i_Minigame::Update(dt);
  if (UpdateTutorial(dt)) return;  // the play clock stops while a tutorial shows
  m_Time += dt;
  if (m_State == Intro) {
    m_Time = 0.0f;
    PlayGameSound("sfx/MG_Dance_won.ogg", "WalkApplaude", 1.0f);
    m_State = Applause;
    AudienceReacts("male_applaud", "female_applaude", 1.0f, 0.0f);
    return;
  }
  // The song's own position drives the dance; without a song (or past its end) the frame time.
  const float length = sfx::GetSoundLength(kSong), position = sfx::GetSoundPosition(kSong);
  if (length != -1.0f && position != -1.0f && position < length && m_SongTime <= position) {
    m_SongTime = position;
    if (position > m_DanceLength - kFinishLead) FinishDance();
  } else {
    m_SongTime += dt;
  }
  if ((m_State == Lost || m_State == Won) && m_EndTime == 0.0f) {
    m_State = Result;
    m_EndSoundPending = true;
    m_EndTime = m_Time + 1.0f;
    Grade();
  }
  if (IsFinished() && m_EndSoundPending) {
    sfx::StopSound("DanceEnd", 1.0f);
    m_EndSoundPending = false;
  }
  UpdateStage(dt);
  if (m_State == Applause) {
    if (m_Time > kApplause) StartDance();
    return;
  }
  if (m_Weight != m_TargetWeight) {
    m_Weight += (m_TargetWeight - m_Weight) / 10.0f;
    // Float steps stall just short of the target, and the stumble restarts only at exactly 1.
    if (std::fabs(m_TargetWeight - m_Weight) < kWeightSnap) m_Weight = m_TargetWeight;
  }
  if (m_State != Dancing) return;
  if (m_Finished && !m_SongFinished) {
    FinishDance();
    SetResult(true);
    m_State = Result;
    s_Score = s_Needed;
    m_EndTime = m_Time + 1.0f;
    return;
  }
  UpdateNotes(dt);
  SpawnNotes(dt);
  for (auto it = s_ScorePopups.begin(); it != s_ScorePopups.end();) {
    it->Update(dt);
    it = it->m_Life <= 0.0f ? s_ScorePopups.erase(it) : std::next(it);
  }
}

void cl_DanceMinigame::UpdateNotes(float dt) {
  for (st_DanceNote& note : m_Notes) note.Update(dt * m_Speed);
  const size_t before = m_Notes.size();
  m_Notes.remove_if([](const st_DanceNote& note) { return note.m_State == st_DanceNote::Done; });
  m_NotesDone += static_cast<int>(before - m_Notes.size());
}

bool cl_DanceMinigame::HandleInput(base::ICMD& cmd) {
  // The skip button is not drawn once the song has ended, so it takes no click then either.
  if (!m_SongFinished && HitSkipButton(cmd, 0.0f, m_OffsetY, m_Scale)) return true;
  if (HandleTutorialInput(cmd)) return true;
  return cmd.type == base::ICMD::LEFT_UP && (m_State == Lost || m_State == Won);
}

// ---- drawing

base::tRectf cl_DanceMinigame::StageBand() {
  const float w = static_cast<float>(base::sys::GetWindowWidth());
  const float h = static_cast<float>(base::sys::GetWindowHeight());
  const float top = (h - 0.625f * w) * 0.5f;
  return base::tRectf(0.0f, top, w, top + 0.625f * w);
}

void cl_DanceMinigame::Render(float, float) {
  SetGameCursor("gamecursor");
  if (gfx::cl_Font* font = gfx::FontExists("game")) gfx::SetFont(font);
  const float w = static_cast<float>(base::sys::GetWindowWidth());
  const float h = static_cast<float>(base::sys::GetWindowHeight());
  if (m_DemoMode) gfx::FillRect(0.0f, 0.0f, w, h, 0xFF000000u);
  RenderStage(StageBand());
  if (!m_DemoMode) {
    gfx::SetBlendAlpha(true);
    if (m_GoalImage)
      for (int track = 0; track < kTracks; ++track) {
        const base::tRectf goal = TrackGoal(track);
        gfx::DrawImage(m_GoalImage, goal.min.x, goal.min.y, 1.0f);
      }
    for (st_DanceNote& note : m_Notes) note.Render();
    gfx::SetBlendAlpha(true);
    for (const st_ScorePopup& popup : s_ScorePopups) DrawScorePopup(popup);
    DrawScore();
  }
  if (m_WeightMode == 1) {
    char text[48];
    std::snprintf(text, sizeof(text), "Weight: %f", static_cast<double>(UpdateWeight()));
    gfx::DrawTextOutlined(static_cast<int>(m_CenterX), static_cast<int>(m_CenterY), text, 0xFFFFFFFFu, 0xFF191919u);
    gfx::DrawLine(m_CenterX, m_CenterY, static_cast<float>(base::sys::MouseX()),
                  static_cast<float>(base::sys::MouseY()), 0xFFFFFFFFu);
  }
  DrawTutorial();
  if (!m_SongFinished) DrawSkipButton(0.0f, m_OffsetY, m_Scale);
}

void cl_DanceMinigame::DrawScore() {
  if (!m_BarImage) return;
  const float x = static_cast<float>(static_cast<int>(m_Scale * 50.0f));
  const float y = static_cast<float>(static_cast<int>(50.0f + m_OffsetY));
  gfx::SetBlendAlpha(true);
  gfx::DrawImage(m_BarImage, x, y, 1.0f);
  const int inside = m_BarImage->GetWidth() - 1;
  // Touches worth more than ten points can take the score past its maximum: the fill ends
  // with the bar.
  const int fill = std::min(inside, inside * s_Score / MaxScore());
  gfx::cl_Texture* texture = s_Score >= s_Needed ? m_FillGreenTexture : m_FillTexture;
  if (texture && fill > 0)
    gfx::DrawTextureRect(x + 1.0f, y + 8.0f, x + 1.0f + static_cast<float>(fill), y + 8.0f, texture);
  if (m_PartingLineImage)
    gfx::DrawImage(m_PartingLineImage, x + static_cast<float>(inside * s_Needed / MaxScore()), y + 2.0f, 1.0f);
}

// ---- play targets

bool cl_DanceMinigame::GetPlayTarget(const char* name, float& x, float& y) {
  if (!name) return false;
  if (std::strcmp(name, "away") == 0) {
    x = m_CenterX, y = m_CenterY;
    return IsOnWindow(x, y);
  }
  const int track = NumberAfter(name, "goal", "", kTracks);
  if (track < 0) return i_Minigame::GetPlayTarget(name, x, y);
  const base::tRectf goal = TrackGoal(track);
  x = (goal.min.x + goal.max.x) * 0.5f, y = (goal.min.y + goal.max.y) * 0.5f;
  return IsOnWindow(x, y);
}

bool cl_DanceMinigame::IsPlayCondition(const char* name) {
  if (!name) return false;
  if (std::strcmp(name, "dancing") == 0) return m_State == Dancing;
  const int track = NumberAfter(name, "note", " due", kTracks);
  if (track < 0) return i_Minigame::IsPlayCondition(name);
  for (const st_DanceNote& note : m_Notes) {
    if (note.m_Track != track || (note.m_State != st_DanceNote::Approaching && note.m_State != st_DanceNote::InGoal))
      continue;
    // Ahead of the goal along the flight, by at most the distance.
    const base::tVector2<float> toGoal = note.GoalCentre() - note.m_Position;
    const base::tVector2<float> flight = note.m_Aim - note.m_Position;
    const float ahead = toGoal.x * flight.x + toGoal.y * flight.y;
    if (ahead >= 0.0f && std::sqrt(toGoal.x * toGoal.x + toGoal.y * toGoal.y) <= kNoteDue) return true;
  }
  return false;
}

}  // namespace quillane
