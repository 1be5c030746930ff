// Gaze and the facial controller on the demo figure: weights, the side and pitch rules, the
// automatic target choice, which figures get a gaze pose, and the idle eye clip.
#include <cmath>
#include <vector>

#include "character_test_support.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/EmoteCtrl.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/character/LipsyncCtrl.h"
#include "quillane/character/GazeCtrl.h"
#include "support/StageWorldStandIn.h"

namespace {

using base::tVector3;
using charactertest::PoseDistance;
using quillane::cl_FacialCtrl;
using quillane::cl_GazeCtrl;
using quillane::i_FaceOwner;

constexpr float kDeg = 3.14159265f / 180.0f;

class cl_StageFigure : public i_FaceOwner {
 public:
  cl_StageFigure(quillane::cl_ActorDesc* actor, const char* name, tVector3<float> at)
      : m_actor(actor), m_name(name), ground(at), head(at + tVector3<float>{0.0f, 160.0f, 0.0f}) {}
  quillane::cl_ActorDesc* GetActor() const override { return m_actor; }
  const char* GetName() const override { return m_name.c_str(); }
  tVector3<float> GetGroundPosition() const override { return ground; }
  tVector3<float> GetHeadPosition() const override { return head; }
  tVector3<float> GetHeadDirection() const override { return headDirection; }
  tVector3<float> GetSpineDirection() const override { return spineDirection; }
  const quillane::i_StageWorld* GetStageWorld() const override;

  quillane::cl_ActorDesc* m_actor;
  std::string m_name;
  tVector3<float> ground, head;
  tVector3<float> headDirection{0.0f, 0.0f, 1.0f}, spineDirection{0.0f, 0.0f, 1.0f};
  bool offStage = false;  // otherwise on g_world
};

// The stage the gaze looks round: a list of figures and a dialogue partner.
testsupport::cl_StageWorldStandIn g_world;
std::vector<i_FaceOwner*>& g_stage = g_world.characters;
const char* g_partner = "";
bool g_dialog = false;

const quillane::i_StageWorld* cl_StageFigure::GetStageWorld() const { return offStage ? nullptr : &g_world; }

class GazeTest : public actortest::ActorTest {
 protected:
  void SetUp() override {
    actortest::ActorTest::SetUp();
    if (IsSkipped()) return;
    quillane::cl_EmoteCtrl::ForgetEmoteList();
    m_registry = FigureRegistry();
    m_odo = m_registry->FindActor("odo");
    ASSERT_NE(m_odo, nullptr);
    g_stage.clear();
    g_dialog = false;
    auto& world = quillane::WorldServices();
    world.IsDialogActive = [] { return g_dialog; };
    world.GetDialogPartner = [] { return g_partner; };
  }
  void TearDown() override {
    g_stage.clear();
    quillane::cl_EmoteCtrl::ForgetEmoteList();
    actortest::ActorTest::TearDown();
  }
  int Bones() { return m_odo->GetSkeleton()->GetNumBones(); }

  std::unique_ptr<quillane::cl_ActorRegistry> m_registry;
  quillane::cl_ActorDesc* m_odo = nullptr;
};

TEST_F(GazeTest, EyesLookAtFirstAndTheHeadFollowsAGaze) {
  cl_StageFigure owner(m_odo, "Odo", {0, 0, 0});
  cl_FacialCtrl face(&owner);
  ASSERT_NE(face.gaze, nullptr);
  EXPECT_EQ(face.gaze->eyeWeight, 1.0f);
  EXPECT_EQ(face.gaze->headWeight, 0.0f);
  face.SetLookTarget("auto", 1.0f);
  for (int i = 0; i < 60; ++i) face.Update(1.0f / 60.0f);
  EXPECT_NEAR(face.gaze->headWeight, 0.87f, 0.005f);
}

TEST_F(GazeTest, SideAndPitchRules) {
  cl_StageFigure owner(m_odo, "Odo", {0, 0, 0});
  cl_StageFigure other(m_odo, "Mina", {0, 0, 300});
  g_stage = {&owner, &other};
  cl_GazeCtrl gaze(&owner);
  base::cl_Pose pose(Bones());
  // The other's head lies at the owner's eye height (the eyes aim 15 below a head), a degrees
  // to the side: followed up to 47.52°, re-centred beyond.
  const struct {
    float degrees, yaw;
  } cases[] = {{0.0f, 0.0f}, {30.0f, -30.0f / 59.4f}, {-47.0f, 47.0f / 59.4f}, {48.0f, 0.0f}, {-120.0f, 0.0f}};
  for (const auto& c : cases) {
    other.head = owner.head + tVector3<float>{std::sin(c.degrees * kDeg), 0.0f, std::cos(c.degrees * kDeg)} * 300.0f +
                 tVector3<float>{0.0f, 15.0f, 0.0f};
    gaze.eyeYawTarget = 0.5f;  // must be replaced
    gaze.target = &other;
    gaze.UpdatePose(pose);
    EXPECT_NEAR(gaze.eyeYawTarget, c.yaw, 1e-4f) << c.degrees << "°";
    EXPECT_NEAR(gaze.eyePitchTarget, 0.0f, 1e-4f);
  }
  // The head turn takes the same rule against the spine.
  owner.spineDirection = {1.0f, 0.0f, 0.0f};  // the other (straight ahead of the head) is 90° off
  other.head = owner.head + tVector3<float>{0.0f, 15.0f, 300.0f};
  gaze.UpdatePose(pose);
  EXPECT_EQ(gaze.headYawTarget, 0.0f);
  owner.spineDirection = {std::sin(20.0f * kDeg), 0.0f, std::cos(20.0f * kDeg)};
  gaze.UpdatePose(pose);
  EXPECT_NEAR(gaze.headYawTarget, 20.0f / 59.4f, 1e-3f);

  // Far above or below, the pitch stops at ±1 (15°).
  other.head = owner.head + tVector3<float>{0.0f, 500.0f, 100.0f};
  gaze.UpdatePose(pose);
  EXPECT_EQ(gaze.eyePitchTarget, -1.0f);
  other.head = owner.head + tVector3<float>{0.0f, -500.0f, 100.0f};
  gaze.UpdatePose(pose);
  EXPECT_EQ(gaze.eyePitchTarget, 1.0f);
  // 5° above the eye line is a third of a unit.
  other.head = owner.head + tVector3<float>{0.0f, 15.0f + 100.0f * std::tan(5.0f * kDeg), 100.0f};
  gaze.UpdatePose(pose);
  EXPECT_NEAR(gaze.eyePitchTarget, -5.0f / 15.0f, 1e-3f);
}

TEST_F(GazeTest, AutomaticTargetIsTheNearestInFront) {
  cl_StageFigure owner(m_odo, "Odo", {0, 0, 0});
  cl_StageFigure left(m_odo, "Left", {-100, 0, 100});
  cl_StageFigure right(m_odo, "Right", {100, 0, 100});
  cl_StageFigure heroine(m_odo, "Quillane", {0, 0, 250});
  cl_StageFigure behind(m_odo, "Behind", {0, 0, -10});
  cl_GazeCtrl gaze(&owner);

  g_stage = {&owner, &behind, &left, &right};
  EXPECT_EQ(gaze.ChooseTarget(), &left);  // equal distances: the earlier one
  g_stage = {&owner, &behind, &right, &left};
  EXPECT_EQ(gaze.ChooseTarget(), &right);
  g_stage = {&owner, &right, &heroine};  // 250 counts as 125, nearer than 141
  EXPECT_EQ(gaze.ChooseTarget(), &heroine);
  g_stage = {&owner, &behind};
  EXPECT_EQ(gaze.ChooseTarget(), nullptr);

  // A named target, also one not on the stage.
  g_stage = {&owner, &left, &right};
  gaze.targetName = "Right";
  EXPECT_EQ(gaze.ChooseTarget(), &right);
  gaze.targetName = "Nobody";
  EXPECT_EQ(gaze.ChooseTarget(), nullptr);

  // In a dialogue the heroine and her partner look at each other.
  gaze.targetName = "auto";
  g_stage = {&owner, &left, &heroine};
  g_dialog = true;
  g_partner = "Odo";
  EXPECT_EQ(gaze.ChooseTarget(), &heroine);
  cl_GazeCtrl hers(&heroine);
  EXPECT_EQ(hers.ChooseTarget(), &owner);
  g_partner = "Left";
  EXPECT_EQ(gaze.ChooseTarget(), &heroine);  // not in the dialogue: the nearest in front (125 < 141)
  EXPECT_EQ(cl_GazeCtrl(&left).ChooseTarget(), &heroine);  // the partner looks at the heroine

  owner.offStage = true;
  EXPECT_EQ(gaze.ChooseTarget(), nullptr) << "off any stage, nobody to look at";
}

TEST_F(GazeTest, OnlyFiguresDerivedFromTheBaseActorsGetAGazePose) {
  quillane::cl_ActorDesc* female = m_registry->FindActor("female");
  cl_StageFigure base(female, "Base", {0, 0, 0});
  cl_StageFigure derived(m_odo, "Odo", {0, 0, 0});
  for (cl_StageFigure* f : {&base, &derived}) {
    cl_GazeCtrl gaze(f);
    gaze.eyeYaw = -0.5f;
    gaze.headWeight = 1.0f;
    gaze.headYaw = 0.5f;
    base::cl_Pose pose(Bones());
    gaze.UpdatePose(pose);
    const float moved = PoseDistance(pose, base::cl_Pose(Bones()));
    if (f == &base)
      EXPECT_EQ(moved, 0.0f);
    else
      EXPECT_GT(moved, 1e-3f);
  }
}

TEST_F(GazeTest, WithoutAnEyesSubsetTheEyeStepIsSkipped) {
  m_dir.write("bare.xml",
              "<Characters><Character label=\"female\"><Skeleton file=\"characters/female/female_skeleton.xml\">"
              "<AnimationSet file=\"characters/female/female_face.xml\"/></Skeleton></Character>"
              "<Character label=\"odo\" parent=\"female\"/></Characters>");
  quillane::cl_ActorRegistry registry;
  ASSERT_TRUE(registry.LoadActorList("bare.xml"));
  quillane::cl_ActorDesc* odo = registry.FindActor("odo");
  ASSERT_NE(odo, nullptr);
  ASSERT_EQ(odo->FindSubset("eyes"), nullptr);
  cl_StageFigure owner(odo, "Odo", {0, 0, 0});
  cl_FacialCtrl face(&owner);
  face.gaze->eyeYaw = 0.7f;
  base::cl_Pose pose(odo->GetSkeleton()->GetNumBones());
  face.Update(0.1f);
  face.ApplyPose(pose);
  EXPECT_EQ(PoseDistance(pose, base::cl_Pose(pose.GetNumBones())), 0.0f);
}

TEST_F(GazeTest, IdleEyeClipLoopsWithOneSubtractionPerFrame) {
  cl_FacialCtrl face(m_odo);  // the viewer form: no gaze
  EXPECT_EQ(face.gaze, nullptr);
  ASSERT_NE(face.idleClip, nullptr);
  ASSERT_FLOAT_EQ(face.idleClip->length, 2.0f);
  face.Update(1.0f);
  EXPECT_FLOAT_EQ(face.idleTime, 1.6f);
  face.Update(1.0f);
  EXPECT_NEAR(face.idleTime, 1.2f, 1e-5f);

  // The viewer form takes script calls for the parts it lacks without effect.
  face.SetLookTarget("Somebody", 1.0f);
  face.SetGazeOffset(1.0f, 2.0f);
  face.PlayExpression("smile", 1.0f, 0.0f, 0.0f);
  face.Update(0.0f);
  EXPECT_EQ(face.emotes->FindEmote("smile")->weight, 1.0f);
  face.StartLipsync(charactertest::Text("phn 0 200 100 AA\n"));
  EXPECT_TRUE(face.lipsync->IsActive());
  face.StopLipsync();
  EXPECT_FALSE(face.lipsync->IsActive());
}

}  // namespace
