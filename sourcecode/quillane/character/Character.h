// cl_Character: one person on the stage. Binds an actor to a name, a place on a nav mesh, a
// property set, the neutral, idle and talk channels, a one-shot special clip, the face and the
// walking of its base; each frame it runs its timer script, advances all of these, keeps its
// feet on the mesh and builds its pose; drawn, it poses the model and publishes the head and
// spine directions the gaze of the others reads, and where its face is shown. Main thread only.
#pragma once

#include <list>
#include <map>
#include <numbers>

#include "base/data/Binary.h"
#include "base/data/Variant.h"
#include "base/math/Limit.h"
#include "graphics/Camera.h"
#include "quillane/actor/MovementCtrl.h"
#include "quillane/character/GazeCtrl.h"
#include "quillane/character/SpecialAnimation.h"

namespace quillane {

class cl_ActorDesc;
class cl_FacialCtrl;
struct st_GameAction;

class cl_Character : public cl_MovementCtrl, public i_FaceOwner {
 public:
  enum en_ActionState { ACTION_NONE = 0, ACTION_SPECIAL = 2 };
  static constexpr float kQuietNeutral = 3.0f;  // seconds of quiet before the neutral pose fades
  static constexpr float kNoTimer = 86400.0f;   // delay after a timer that asks for none

  // An extra draw of the model at a bone (the AttachObject binding fills these).
  struct st_Attachment {
    base::tString<base::BaseString> name;
    int boneIndex = 0;
    float scale = 1.0f;
  };

  // The steps of UpdatePose, each reported once it is done: "idle", "neutral", "talk",
  // "special", "movement", "weights", "face", "bighead" (skipped steps are not reported).
  using tPoseTrace = void (*)(const char* step, const base::cl_Pose& pose);
  static tPoseTrace s_poseTrace;  // null: no tracing

  cl_Character();
  ~cl_Character() override;  // Destroy
  // Lets go of everything the character holds: face, attachments, clip, actions waiting on it,
  // a pending walk callback (deleted unrun) and the actor. Safe to call again.
  void Destroy();

  // Binds actor and nav mesh: pose sized, face made when the actor has "facials", default clips.
  void SetActor(cl_ActorDesc* actorDesc, i_NavMesh* mesh);
  // category "walk", "idle", "talk" or "neutral"; anything else is logged.
  void SetDefaultAnimation(const char* category, const char* animName, bool fade = false);
  void SetAnimationSpeed(const char* animName, float factor);
  float GetAnimationSpeed(const char* animName) const;  // 1.0 when never set
  // Places the character at the locator, moved by offset in the locator's frame; takes the
  // scene's nav mesh found there and drops onto it.
  void SetPosition(const base::cl_Locator& at, const tPoint& offset = tPoint());
  // The same at a point, turned by rotation (radians about the world's x, then y, then z axis);
  // the character faces along the y angle.
  void SetPosition(const tPoint& position, const tPoint& rotation);
  void PlaySpecialAnimation(base::cl_Animation* clip, float speed, float blendIn, float blendOut);
  // The action becomes the pending one (a "speak" raises the talk channel), unless a clip a script
  // waits for still plays: its end finishes that action, which a line another script speaks
  // meanwhile (a timer's idle remark) must not take away.
  void StartSpeaking(st_GameAction* action);
  // A line has ended: the talk channel fades out and the pending action is let go. Given the
  // line's action, an action pending in its place stays: another line keeps talking, another
  // action (a clip) only sees the talking end.
  void StopSpeaking(const st_GameAction* line = nullptr);
  // The face's parts, forwarded (nothing without a face).
  void StartLipsync(const base::Binary& data);
  void StopLipsync();
  void SetEyeTarget(const base::tString<base::BaseString>& target, float weight);
  void SetLookTarget(const base::tString<base::BaseString>& target, float weight);
  void UpdateControllers(float dt);

  bool IsIgnored() const;
  void SetIgnored(bool ignored);
  bool HasAvoidance() const;
  void SetAvoidance(bool avoidance);
  void SetPropertyFloat(const char* property, float value);
  bool GetPropertyFloat(const char* property, float& out) const;
  float GetAvoidanceRadius() const;  // the stage's; the default without one
  float GetWalkSpeed() const { return GetAvoidanceRadius(); }

  // The frame's update and pose (the dancer overrides both).
  virtual void Update(float dt);
  virtual void UpdatePose(base::cl_Pose& target);
  // Poses the skeleton, draws the model, face and attachments, and records head, spine and face.
  void Render(base::cl_Camera* camera);
  void RenderMirror(base::cl_Camera* camera);  // the same, mirrored in the floor
  // The model flattened onto the floor in one colour, drawn without culling; afterwards
  // back-face culling is on again and the colour mode and texture factor are as before.
  void RenderProjectedShadow(float a, float b, const tPoint& pivot, uint32_t colour, base::cl_Camera* camera);
  // Soft "blobb" spots on the floor under the hip and the ankles (blended; nothing without it).
  // With a camera, drawn is widened to hold the spots' pixels; false when a spot reaches behind
  // the camera (drawn then says nothing).
  bool RenderBlobShadow(const base::cl_Camera* camera = nullptr, base::tRectf* drawn = nullptr);
  void RenderAttachments(base::cl_Camera* camera);
  void RenderDebugInfo(base::tVector2<float>& cursor);
  // The world points of the brows and of the lower lip where the last Render drew them; false
  // when it drew no face (a figure without face bones) or the face was forgotten since.
  bool GetDrawnFace(tPoint& brow, tPoint& lip) const;
  void ForgetDrawnFace() { m_faceDrawn = false; }

  // i_FaceOwner
  cl_ActorDesc* GetActor() const override { return actor; }
  const char* GetName() const override { return name.c_str(); }
  tPoint GetGroundPosition() const override { return GetPosition(); }
  tPoint GetHeadPosition() const override { return headPosition; }
  tPoint GetHeadDirection() const override { return headDirection; }
  tPoint GetSpineDirection() const override { return spineDirection; }
  const i_StageWorld* GetStageWorld() const override { return stageWorld; }

  static bool s_debugDisplay;  // circles and facing arrows of every character

  int actionState = ACTION_NONE;
  base::tString<base::BaseString> name;
  unsigned char visible = 1;
  float unknown05 = 0.5f, unknown36 = 36.0f;  // kept for the bindings; no operation here reads them
  base::Variant properties;
  unsigned char hidden = 0;
  std::list<st_Attachment> attachments;
  float quietTime = 10.0f;
  float timerDelay = 0.0f;
  cl_ActorDesc* actor = nullptr;
  base::cl_Locator backupLocator;  // where BackupPosition put the character and RestorePosition returns it
  tPoint backupAngles{0.0f, 0.0f, 2.0f * std::numbers::pi_v<float>};
  std::map<base::tString<base::BaseString>, float> animSpeeds;
  base::cl_Pose pose;
  cl_AnimChannel neutralChannel, idleChannel, talkChannel;
  st_SpecialAnimationCtrl special;
  cl_FacialCtrl* facial = nullptr;  // owned
  st_GameAction* pendingAction = nullptr;
  tPoint headPosition, headDirection{0.0f, 0.0f, 1.0f}, spineDirection{0.0f, 0.0f, 1.0f};
  int mode = 0;                    // the dancer's: 2 while dancing
  unsigned char isAttachment = 0;  // set by the AttachObject binding
  float idleClock = 0.0f;          // SyncIdle writes 0

 private:
  bool IsQuiet() const;
  // Height of the nav mesh under p, if any.
  bool FloorHeight(const tPoint& p, float& height) const;
  // The model's world matrix: the figures' orientation times the walker's transform.
  base::Matrix4 ModelMatrix();
  void PublishHeadSpineAndFace();

  base::cl_Pose m_scratch;  // kept so that posing allocates nothing per frame
  tPoint m_drawnBrow, m_drawnLip;
  bool m_faceDrawn = false;
};

}  // namespace quillane
