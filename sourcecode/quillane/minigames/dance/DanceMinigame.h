// cl_DanceMinigame: the rhythm game "Dance". The dancer stands on a theatre stage (a real scene
// with an audience of seated characters) while a song plays; notes glide in from both screen
// edges on four tracks towards four goal circles, and the player touches each with the pointer as
// it passes through its circle. Good touches score and keep her steady; bad touches and missed
// notes cost points and make her stumble. At the song's end the score decides the result, the
// audience cheers or boos and the game pays out wealth. The level is a move list from the archive
// "MinigameData" (or a random level without one). The score statics are shared with the dance
// level editor, which derives from this class. Main thread only.
#pragma once

#include <list>
#include <memory>
#include <vector>

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/math/Limit.h"
#include "base/math/Vector.h"
#include "quillane/character/Character.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/scene/SceneFloorWorld.h"

namespace base {
class cl_Animation;
}
namespace gfx {
class cl_Image;
class cl_Texture;
}  // namespace gfx

namespace quillane {

class cl_DanceMinigame;
class cl_MinigameDataFile;
class cl_Scene;

// One note on its track: it flies from the track's start towards the aim point, through its goal.
struct st_DanceNote {
  enum en_State : int { Approaching = 0, InGoal = 1, Touched = 2, Missed = 3, Done = 4 };

  void Update(float step);  // one step of note clock (dt × speed)
  void Hit(float mouseX, float mouseY);
  void Render();                          // the touch test against the pointer, then the drawing
  bool Contains(float x, float y) const;  // the note picture's rectangle holds the point
  base::tVector2<float> GoalCentre() const;

  int m_Track = 0;
  base::tVector2<float> m_Aim;
  base::tVector2<float> m_Position;  // centre
  float m_Goal[4] = {};              // left, top, right, bottom
  float m_Speed = 100.0f;            // pixels per second of note clock
  float m_Accuracy = 0.5f;
  float m_Linger = 0.8f;  // seconds of note clock shown after a miss
  int m_State = Approaching;
  base::tVector2<float> m_Velocity;  // after a touch
  base::tVector2<float> m_Push;
  gfx::cl_Image* m_Image = nullptr;
  gfx::cl_Image* m_Glow = nullptr;
  cl_DanceMinigame* m_Owner = nullptr;
};

// A floating score text.
struct st_ScorePopup {
  void Update(float dt);  // real time, not note clock

  int m_Points = 0;
  base::tVector2<float> m_Position;
  base::tVector2<float> m_Velocity;
  float m_Life = 2.0f;
};

// One audience member from the mission element.
struct st_DanceViewer {
  base::String m_Label;
  base::String m_Actor;
  float m_Scale = -1.0f;  // -1: the scene's character scale
};

class cl_DanceMinigame : public i_Minigame {
 public:
  // 2 and 7 are not used; 8 is the editor's recording.
  enum en_State : int { Intro = 0, Applause = 1, Lost = 3, Won = 4, Dancing = 5, Result = 6, Recording = 8 };
  static constexpr int kTracks = 4;
  static constexpr int kRandomMoves = 20;
  static constexpr int kRandomNeeded = 100;

  // The dancer and the audience: cross-fades between clips, and while dancing the dance pose
  // at the song's time, steadied by the game's weight.
  class cl_DanceCharacter : public cl_Character {
   public:
    explicit cl_DanceCharacter(cl_DanceMinigame* owner);
    ~cl_DanceCharacter() override;

    void Update(float dt) override;
    void UpdatePose(base::cl_Pose& target) override;
    // Cross-fades to the clip name (resolved now by the actor: a missing one is its "idle"),
    // waiting a random 0..maxDelay seconds before it runs, from startTime.
    void PlayAnimation(const char* animName, float maxDelay, float startTime);
    // The length of the game's two dance clips as this actor resolves them; 0 when either is
    // missing altogether.
    float GetDanceLength();
    // The dance pose at the current time and the weight; false once the dance is over.
    bool SampleDancePose(base::cl_Pose& target, float& weight);

    float GetTime() const { return m_Time; }
    float GetStumbleTime() const { return m_StumbleTime; }
    float GetBlend() const { return m_Blend; }
    const base::String& GetCurrent() const { return m_Current; }

   private:
    void ResolveDanceClips();

    cl_DanceMinigame* m_Owner;
    float m_PreviousTime = 0.0f;
    float m_Time = 0.0f;
    float m_Delay = 0.0f;  // 0..5
    float m_Blend = 0.0f;  // weight of the previous clip, 1 -> 0
    base::String m_Current{"idle"};
    base::String m_Previous;
    float m_StumbleTime = 0.0f;
    // Clips resolved once per change, so a missing one is logged once and not every frame.
    base::cl_Animation* m_CurrentClip = nullptr;
    base::cl_Animation* m_PreviousClip = nullptr;
    base::cl_Animation* m_DanceClip = nullptr;
    base::cl_Animation* m_VariationClip = nullptr;
    base::cl_Animation* m_StumbleClip = nullptr;
    bool m_DanceClipsResolved = false;
    base::cl_Pose m_Other;  // the previous clip's or the stumble's pose
  };

  cl_DanceMinigame();
  ~cl_DanceMinigame() override;
  static i_Minigame* Create();

  // ---- the game
  using i_Minigame::Init;
  bool Init(base::Variant* mission, bool restart) override;
  void End() override;
  bool IsFinished() override;
  bool HandleInput(base::ICMD& cmd) override;
  bool Compile(const char* dataFile) override;
  void Update(float dt) override;
  void Render(float x, float y) override;
  // The compiled data file opened for reading: the skip strip is its only record. False (and no
  // skip strip) when the file does not fit.
  bool ReadDataFile(cl_MinigameDataFile& file);
  // Seats the audience at the scene's "Sit0", "Sit1", ... locators; records past the last seat
  // are dropped. The editor has none.
  virtual void CreateAudience(const std::list<st_DanceViewer>& viewers);
  // The applause is over: the dancer dances, the song runs, notes come.
  virtual void StartDance();

  // ---- move lists (DanceMoveList.cpp)
  // Reads the move list name from "MinigameData": false (nothing else changed) when it cannot
  // be read. Moves with a track outside 0..3 or a time that is not a number are dropped with a
  // warning and count as made; a speed that is not positive becomes 1.
  bool LoadMoveList(const char* name);
  // Takes a move list already read (the list is moved in); path names it in messages.
  void SetMoveList(base::Variant& list, const char* path);
  static base::String MoveListPath(const char* name);  // "gui/minigames/dance/<name>.xml"
  static base::String MusicPath(const char* sample);   // "msx/dance/<sample>"
  void AddNote(int track);
  base::tVector2<float> TrackStart(int track) const;
  base::tRectf TrackGoal(int track) const;
  base::tVector2<float> TrackAim(int track) const;
  // The frame's new notes: due moves of the list (whatever their order in the file), or the
  // random level's next move.
  void SpawnNotes(float dt);

  // ---- score and result
  void AddScore(float points, float x, float y);
  int MaxScore() const;  // ten points a move, at least 1
  float UpdateWeight();  // the dancer's steadiness; starts a requested stumble
  void RequestStumble() { m_Stumble = true; }
  void FinishDance();        // the song's end: once, cheers or boos
  void DecideResult();       // won or lost by the score; notes and popups cleared
  void Grade();              // the result's tutorial
  static void ResetScore();  // score, needed score and popups, as a fresh program has them

  // ---- stage (DanceStage.cpp)
  // The stage into rectangle, sharing the game stage's drawing passes; the viewport is the
  // whole window again afterwards.
  void RenderStage(const base::tRectf& rect);
  // The stage band: full width, 0.625 × width high, centred vertically.
  static base::tRectf StageBand();
  cl_DanceCharacter* GetDancer() const;
  cl_Scene* GetScene() const { return m_Scene; }
  const std::list<cl_Character*>& GetCharacters() const { return m_Characters; }

  // ---- play state (the editor, tests and the play driver read it)
  int GetState() const { return m_State; }
  float GetTime() const { return m_Time; }
  float GetSongTime() const { return m_SongTime; }
  float GetDanceLength() const { return m_DanceLength; }
  float GetSpeed() const { return m_Speed; }
  float GetWeight() const { return m_Weight; }
  float GetTargetWeight() const { return m_TargetWeight; }
  bool IsSongFinished() const { return m_SongFinished; }
  int GetTotalMoves() const { return m_TotalMoves; }
  int GetMovesLeft() const { return m_MovesLeft; }
  int GetNotesDone() const { return m_NotesDone; }
  const std::list<st_DanceNote>& GetNotes() const { return m_Notes; }
  const base::Variant& GetMoveList() const { return m_MoveList; }
  const base::String& GetAnimation() const { return m_Animation; }
  const base::String& GetVariation() const { return m_Variation; }
  const base::String& GetFinishAnimation() const { return m_FinishAnimation; }
  const base::String& GetSample() const { return m_Sample; }
  // Play targets: "goal 0".."goal 3" (the goal's centre) and "away" (the screen's centre), and
  // the base panel's.
  bool GetPlayTarget(const char* name, float& x, float& y) override;
  // "dancing", "note k due" (a note on track k lies within 10 pixels before its goal centre),
  // and the base panel's.
  bool IsPlayCondition(const char* name) override;

  static int s_Score;
  static int s_Needed;
  static std::list<st_ScorePopup> s_ScorePopups;

 protected:
  // Looks up the note, goal, bar and fill art by label; a missing one is logged once here and
  // not drawn.
  void FindArt();
  void ReadMission(base::Variant* mission, base::String& scene, std::list<st_DanceViewer>& viewers);
  void BuildStage(const base::String& sceneName, const std::list<st_DanceViewer>& viewers);
  // A character of the stage: actor bound to the scene's first nav mesh, scale -1 the scene's.
  cl_DanceCharacter* MakeCharacter(const char* name, const char* actor, float scale);
  void ReleaseStage();
  // Every audience member starts one of the clips for its gender ("male" or "female" parent).
  void AudienceReacts(const char* male, const char* female, float maxDelay, float startTime);
  void AudienceReactsToEnd(bool cheer, bool excited);
  void UpdateStage(float dt);
  void UpdateNotes(float dt);
  void DrawScore();
  void DrawScorePopup(const st_ScorePopup& popup);
  bool Tier(int& margin, int& third) const;  // margin and a third of the room above "needed"

  // level
  base::Variant m_MoveList;
  int m_TotalMoves = 0;
  int m_MovesLeft = 0;
  float m_Speed = 1.0f;
  base::String m_Sample;
  base::String m_Animation{"quillane_dance_01"};
  base::String m_Variation{"quillane_dance_01_var01"};
  base::String m_FinishAnimation{"quillane_curtsy"};
  base::String m_DancerActor{"Quillane_DancingDress"};
  base::String m_DanceName;
  float m_Length = 0.0f;
  int m_Pattern = -1;
  float m_SpawnTimer = 1.0f;
  // The list's moves by time, so a frame finds the due ones without reading every move's time.
  struct st_Move {
    float m_Time;
    int m_Child;
    int m_Track;
  };
  std::vector<st_Move> m_Moves;
  size_t m_NextMove = 0;

  // play
  int m_State = Intro;
  float m_Time = 0.0f;
  float m_SongTime = 0.0f;
  float m_DanceLength = 0.0f;
  float m_EndTime = 0.0f;
  bool m_SongFinished = false;
  bool m_EndSoundPending = false;
  int m_NotesDone = 0;
  float m_Weight = 1.0f;
  float m_TargetWeight = 0.0f;
  bool m_Stumble = false;
  float m_StumbleUntil = 0.0f;
  bool m_DemoMode = false;
  int m_WeightMode = 0;  // 1: the weight follows the pointer (the editor)
  float m_CenterX = 0.0f, m_CenterY = 0.0f;
  float m_ScreenWidth = 0.0f, m_ScreenHeight = 0.0f;
  float m_OffsetY = 0.0f;
  std::list<st_DanceNote> m_Notes;

  // art
  gfx::cl_Image* m_NoteImage = nullptr;
  gfx::cl_Image* m_GlowImage = nullptr;
  gfx::cl_Image* m_GoalImage = nullptr;
  gfx::cl_Image* m_BarImage = nullptr;
  gfx::cl_Image* m_PartingLineImage = nullptr;
  gfx::cl_Texture* m_FillTexture = nullptr;
  gfx::cl_Texture* m_FillGreenTexture = nullptr;

  // stage
  cl_Scene* m_Scene = nullptr;            // owned
  // What the dance's characters ask: its scene's floor; nobody to avoid or to look at, and
  // never the waiting game's stage.
  cl_SceneFloorWorld m_World;
  std::list<cl_Character*> m_Characters;  // owned: the dancer first, then the audience by seat
};

}  // namespace quillane
