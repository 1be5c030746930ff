// The stage character on the demo figure: quiet and the neutral pose, the timer script, special
// clips and the actions waiting on them, placement across nav meshes (at a locator or a point),
// following a slope, the pose built in its order (traced), and Destroy.
#include <cmath>
#include <string>

#include "character_test_support.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/Character.h"
#include "quillane/character/EmoteCtrl.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/character/LipsyncCtrl.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/NavMesh.h"
#include "support/StageWorldStandIn.h"

namespace quillane {
// The actions of these tests: a name and whether it was finished.
struct st_GameAction {
  std::string name;
  int finished = 0;
};
}  // namespace quillane

namespace {

using charactertest::PoseDistance;
using quillane::cl_Character;
using quillane::st_GameAction;
using quillane::tPoint;

int g_timerCalls = 0;
float g_timerResult = 0.0f;
quillane::i_NavMesh* g_sceneMesh = nullptr;

// A flat Ogre XML floor: one quad from (x0, y0, z0) to (x1, y1, z1), the height rising along x.
std::string Floor(float x0, float x1, float y0, float y1, float z0, float z1) {
  auto v = [](float x, float y, float z) {
    return "<vertex><position x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" z=\"" +
           std::to_string(z) + "\"/></vertex>";
  };
  return "<mesh><submeshes><submesh material=\"navmesh\" usesharedvertices=\"false\"><faces count=\"2\">"
         "<face v1=\"0\" v2=\"1\" v3=\"2\"/><face v1=\"0\" v2=\"2\" v3=\"3\"/></faces>"
         "<geometry vertexcount=\"4\"><vertexbuffer positions=\"true\">" +
         v(x0, y0, z0) + v(x0, y0, z1) + v(x1, y1, z1) + v(x1, y1, z0) +
         "</vertexbuffer></geometry></submesh></submeshes></mesh>";
}

class CharacterTest : public actortest::ActorTest {
 protected:
  void SetUp() override {
    actortest::ActorTest::SetUp();
    if (IsSkipped()) return;
    quillane::cl_EmoteCtrl::ForgetEmoteList();
    m_registry = FigureRegistry();
    m_odo = m_registry->FindActor("odo");
    ASSERT_NE(m_odo, nullptr);
    g_timerCalls = 0;
    g_sceneMesh = nullptr;
    m_world.floor = [](const tPoint&) { return g_sceneMesh; };
    auto& world = quillane::WorldServices();
    world.GetActionName = [](const st_GameAction* a) { return a->name.c_str(); };
    world.FinishAction = [](st_GameAction* a) { ++a->finished; };
    m_world.timer = [](const char*, float& delay) {
      ++g_timerCalls;
      delay = g_timerResult;
      return true;
    };
  }
  void TearDown() override {
    cl_Character::s_poseTrace = nullptr;
    quillane::cl_EmoteCtrl::ForgetEmoteList();
    actortest::ActorTest::TearDown();
  }
  std::unique_ptr<cl_Character> Make(const char* name) {
    auto c = std::make_unique<cl_Character>();
    c->name = name;
    c->stageWorld = &m_world;
    c->SetActor(m_odo, nullptr);
    return c;
  }
  std::unique_ptr<quillane::cl_NavMesh> Mesh(const std::string& file, const std::string& xml) {
    m_dir.write(file, xml);
    std::unique_ptr<quillane::cl_NavMesh> m(quillane::cl_NavMesh::Create());
    EXPECT_TRUE(m->LoadMesh(m_dir.path(file).c_str()));
    return m;
  }

  std::unique_ptr<quillane::cl_ActorRegistry> m_registry;
  quillane::cl_ActorDesc* m_odo = nullptr;
  testsupport::cl_StageWorldStandIn m_world;  // the floor is g_sceneMesh
};

TEST_F(CharacterTest, NeutralPoseFadesAfterThreeQuietSecondsAndReturnsQuickly) {
  auto c = Make("Odo");
  ASSERT_NE(c->facial, nullptr);  // odo's figure has "facials"
  c->neutralChannel.bias = 1.0f;
  c->Update(0.1f);  // a new character starts long quiet
  EXPECT_EQ(c->neutralChannel.targetBias, 0.0f);

  // A special clip is activity: the neutral pose comes back within 2/3 s.
  c->PlaySpecialAnimation(m_odo->GetAnimation("wave"), 1.0f, 0.0f, 0.0f);
  c->neutralChannel.bias = 0.0f;
  for (int i = 0; i < 40; ++i) c->Update(1.0f / 60.0f);
  EXPECT_EQ(c->neutralChannel.targetBias, 1.0f);
  EXPECT_NEAR(c->neutralChannel.bias, 1.0f, 1e-5f);

  // Quiet again: three seconds of the neutral pose, then it fades over one second.
  c->actionState = cl_Character::ACTION_NONE;
  float t = 0.0f;
  while (c->neutralChannel.targetBias > 0.0f && t < 10.0f) {
    c->Update(0.05f);
    t += 0.05f;
  }
  EXPECT_NEAR(t, 3.05f, 0.051f);
  for (int i = 0; i < 10; ++i) c->Update(0.05f);
  EXPECT_NEAR(c->neutralChannel.bias, 0.5f, 0.06f);
}

TEST_F(CharacterTest, TimerFunctionReturningNothingWaitsADay) {
  auto c = Make("Odo");
  g_timerResult = 2.0f;
  c->Update(0.1f);
  EXPECT_EQ(g_timerCalls, 1);
  EXPECT_FLOAT_EQ(c->timerDelay, 2.0f);
  for (int i = 0; i < 21; ++i) c->Update(0.1f);
  EXPECT_EQ(g_timerCalls, 2);
  g_timerResult = 0.0f;
  for (int i = 0; i < 20; ++i) c->Update(0.1f);
  EXPECT_EQ(g_timerCalls, 3);
  EXPECT_GT(c->timerDelay, 86000.0f);
  for (int i = 0; i < 100; ++i) c->Update(0.1f);
  EXPECT_EQ(g_timerCalls, 3);

  // Without a dialog script the timer also waits a day.
  m_world.timer = [](const char*, float&) { return false; };
  auto other = Make("Mina");
  other->Update(0.1f);
  EXPECT_FLOAT_EQ(other->timerDelay, cl_Character::kNoTimer);
}

TEST_F(CharacterTest, SpecialClipEndsFinishesItsActionAndRestartsIdleWithoutBlendOut) {
  base::cl_Animation* wave = m_odo->GetAnimation("wave");
  ASSERT_NE(wave, nullptr);
  const struct {
    float speed, blendOut;
    bool idleRestarts;
  } cases[] = {{1.0f, 0.0f, true}, {2.0f, 0.3f, false}, {0.0f, 0.0f, true}, {NAN, -0.2f, false}};
  for (const auto& k : cases) {
    auto c = Make("Odo");
    st_GameAction play{"play_animation"};
    m_log->clear();
    c->PlaySpecialAnimation(wave, k.speed, 0.0f, k.blendOut);
    c->StartSpeaking(&play);
    const bool badSpeed = !(k.speed > 0.0f);
    EXPECT_EQ(m_log->count("Warning: special animation"), badSpeed ? 1 : 0);
    const float speed = badSpeed ? 1.0f : k.speed;
    const float end = wave->length / speed + (k.blendOut < 0.0f ? -k.blendOut : 0.0f);
    float t = 0.0f;
    while (c->actionState == cl_Character::ACTION_SPECIAL && t < 30.0f) {
      c->idleChannel.timer = 0.5f;
      c->Update(0.01f);
      t += 0.01f;
    }
    EXPECT_NEAR(t, end, 0.011f) << "speed " << k.speed;
    EXPECT_EQ(play.finished, 1);
    EXPECT_EQ(c->pendingAction, nullptr);
    EXPECT_EQ(c->idleChannel.timer < 0.5f, k.idleRestarts) << "speed " << k.speed;
  }
}

TEST_F(CharacterTest, SpeakingMovesTheTalkChannelAndStopEndsTheMouthButNotAnotherScriptsAction) {
  auto c = Make("Odo");
  st_GameAction speak{"speak"};
  c->talkChannel.timer = 0.7f;
  c->StartSpeaking(&speak);
  EXPECT_EQ(c->talkChannel.targetBias, 1.0f);
  EXPECT_EQ(c->talkChannel.timer, 0.0f);
  c->StartLipsync(charactertest::Text("phn 0 500 100 AA\n"));
  EXPECT_TRUE(c->facial->lipsync->IsActive());
  c->StopSpeaking();
  EXPECT_FALSE(c->facial->lipsync->IsActive());
  EXPECT_EQ(c->talkChannel.targetBias, 0.0f);
  EXPECT_EQ(c->pendingAction, nullptr);

  // Two scripts at one character (a timer's idle remark in a cutscene): a line spoken while a clip
  // its script waits for plays leaves the clip's action in place, and the line's end only stops
  // the talking; the clip's end still finishes its action (the cutscene waited for ever). A clip
  // begun during a line stays too, and a line spoken over another talks until its own end.
  base::cl_Animation* wave = m_odo->GetAnimation("wave");
  ASSERT_NE(wave, nullptr);
  st_GameAction play{"play_animation"}, remark{"speak"}, line{"speak"};
  c->PlaySpecialAnimation(wave, 1.0f, 0.0f, 0.0f);
  c->StartSpeaking(&play);
  c->StartSpeaking(&remark);
  EXPECT_EQ(c->pendingAction, &play);
  EXPECT_EQ(c->talkChannel.targetBias, 1.0f);
  c->StopSpeaking(&remark);
  EXPECT_EQ(c->pendingAction, &play);
  EXPECT_EQ(c->talkChannel.targetBias, 0.0f);
  for (float t = 0.0f; c->actionState == cl_Character::ACTION_SPECIAL && t < 30.0f; t += 0.01f) c->Update(0.01f);
  EXPECT_EQ(play.finished, 1);

  c->StartSpeaking(&remark);
  c->pendingAction = &play;  // as PlayAnimation hands its action over
  c->StopSpeaking(&remark);
  EXPECT_EQ(c->pendingAction, &play);
  EXPECT_EQ(c->talkChannel.targetBias, 0.0f);
  c->pendingAction = nullptr;

  c->StartSpeaking(&remark);
  c->StartSpeaking(&line);
  c->StopSpeaking(&remark);
  EXPECT_EQ(c->pendingAction, &line);
  EXPECT_EQ(c->talkChannel.targetBias, 1.0f);
  c->StopSpeaking(&line);
  EXPECT_EQ(c->pendingAction, nullptr);
  EXPECT_EQ(c->talkChannel.targetBias, 0.0f);
}

TEST_F(CharacterTest, SetPositionOntoAnotherNavMeshAndDropsOntoIt) {
  auto low = Mesh("low.xml", Floor(-500, 500, 0, 0, -500, 500));
  auto high = Mesh("high.xml", Floor(-500, 500, 80, 80, -500, 500));
  base::cl_Locator at;
  at.SetPos(tPoint(10.0f, 300.0f, 20.0f));
  for (int level : {0, 2}) {
    Debug_ScriptWarningLevel = level;
    auto c = Make("Odo");
    c->navMesh = low.get();
    g_sceneMesh = high.get();
    m_log->clear();
    c->SetPosition(at);
    EXPECT_EQ(c->navMesh, high.get());
    EXPECT_NEAR(c->GetPosition().y, 80.0f, 1e-3f);
    EXPECT_EQ(m_log->count("Odo has been beamed to other navmesh"), level > 1 ? 1 : 0);
  }
  // The offset moves in the locator's frame: forward by −z, right by −x, up by y.
  Debug_ScriptWarningLevel = 0;
  g_sceneMesh = nullptr;
  auto c = Make("Odo");
  at.SetPos(tPoint(0.0f, 0.0f, 0.0f));
  c->SetPosition(at, tPoint(0.0f, 0.0f, -100.0f));
  EXPECT_NEAR(std::hypot(c->GetPosition().x, c->GetPosition().z), 100.0f, 1e-3f);
}

TEST_F(CharacterTest, WalkingUpASlopeRisesAtMostTheDistanceWalked) {
  // Twice as steep as 45°: the height may not keep up with the floor.
  auto ramp = Mesh("ramp.xml", Floor(-100, 900, -200, 1800, -300, 300));
  auto c = Make("Odo");
  c->navMesh = ramp.get();
  base::cl_Locator at;
  at.SetPos(tPoint(0.0f, 0.0f, 0.0f));
  c->SetPosition(at);
  ASSERT_NEAR(c->GetPosition().y, 0.0f, 1e-2f);
  c->WalkTo("Odo", tPoint(700.0f, 0.0f, 0.0f), nullptr);
  int frames = 0;
  while (c->state != quillane::cl_MovementCtrl::STATE_IDLE && frames < 2000) {
    const tPoint before = c->GetPosition();
    c->Update(1.0f / 60.0f);
    const tPoint after = c->GetPosition();
    const float walked = std::hypot(after.x - before.x, after.z - before.z);
    EXPECT_LE(std::fabs(after.y - before.y), walked + 1e-3f) << "frame " << frames;
    ++frames;
  }
  EXPECT_GT(c->GetPosition().x, 600.0f);
  EXPECT_GT(c->GetPosition().y, 300.0f);
  EXPECT_LT(c->GetPosition().y, 2.0f * c->GetPosition().x);  // behind the floor, as it may only follow
}

TEST_F(CharacterTest, PoseTakesTheFaceAndBigHeadsAfterTheBody) {
  auto c = Make("Odo");
  base::cl_Skeleton* skeleton = m_odo->GetSkeleton();
  const int head = skeleton->GetBoneIndex("Game_Head");
  ASSERT_GT(head, 0);
  base::cl_Pose plain(0), faced(0), expected(0);
  c->UpdatePose(plain);
  ASSERT_EQ(plain.GetNumBones(), skeleton->GetNumBones());

  // The smile is added on top of the finished body pose.
  c->facial->emotes->FindEmote("smile")->weight = 1.0f;
  c->UpdatePose(faced);
  expected.SetSize(plain.GetNumBones());
  for (int i = 0; i < plain.GetNumBones(); ++i) expected[i] = plain[i];
  quillane::st_Emote* smile = c->facial->emotes->FindEmote("smile");
  expected.Add(smile->pose, smile->subset, 1.0f);
  EXPECT_LT(PoseDistance(faced, expected), 1e-5f);

  FunStuff_BigHeadMode = 2.0f;
  c->UpdatePose(faced);
  EXPECT_FLOAT_EQ(faced[head].scale.x, 2.0f);
  const int wrist = skeleton->GetBoneIndex("Game_Wrist_r");
  ASSERT_GT(wrist, 0);
  EXPECT_FLOAT_EQ(faced[wrist].scale.y, 1.5f);
  FunStuff_BigHeadMode = 1.0f;
}

std::string g_poseSteps;

TEST_F(CharacterTest, PoseIsBuiltFromTheBodyOutwardInItsFixedOrder) {
  auto c = Make("Odo");
  cl_Character::s_poseTrace = [](const char* step, const base::cl_Pose&) {
    g_poseSteps += (g_poseSteps.empty() ? "" : ",") + std::string(step);
  };
  base::cl_Pose pose(0);
  // Steps without work are left out: no special clip, normal heads.
  g_poseSteps.clear();
  c->UpdatePose(pose);
  EXPECT_EQ(g_poseSteps, "idle,neutral,talk,movement,weights,face");

  c->PlaySpecialAnimation(m_odo->GetAnimation("wave"), 1.0f, 0.0f, 0.0f);
  c->WalkTo("Odo", tPoint(300.0f, 0.0f, 0.0f), nullptr);
  FunStuff_BigHeadMode = 1.5f;
  g_poseSteps.clear();
  c->UpdatePose(pose);
  EXPECT_EQ(g_poseSteps, "idle,neutral,talk,special,movement,weights,face,bighead");

  cl_Character::s_poseTrace = nullptr;
  FunStuff_BigHeadMode = 1.0f;
}

TEST_F(CharacterTest, SetPositionAtAPointFacesTheYAngleAndDropsOntoTheMeshThere) {
  auto low = Mesh("low.xml", Floor(-500, 500, 0, 0, -500, 500));
  auto high = Mesh("high.xml", Floor(-500, 500, 60, 60, -500, 500));
  auto c = Make("Odo");
  c->navMesh = low.get();
  g_sceneMesh = high.get();
  for (float angle : {0.0f, 0.5f, -2.0f}) {
    c->SetPosition(tPoint(30.0f, 500.0f, -40.0f), tPoint(0.0f, angle, 0.0f));
    EXPECT_NEAR(c->yaw, angle, 1e-4f);
    EXPECT_NEAR(c->targetYaw, angle, 1e-4f);
    EXPECT_EQ(c->navMesh, high.get());
    EXPECT_NEAR(c->GetPosition().x, 30.0f, 1e-3f);
    EXPECT_NEAR(c->GetPosition().y, 60.0f, 1e-3f);
    EXPECT_NEAR(c->GetPosition().z, -40.0f, 1e-3f);
  }
}

TEST_F(CharacterTest, DestroyLetsGoOfEverythingAndLeavesAHarmlessCharacter) {
  auto c = Make("Odo");
  actortest::st_EventLog walked;
  c->WalkTo("Odo", tPoint(300.0f, 0.0f, 0.0f), new actortest::cl_CountingEvent(walked));
  c->PlaySpecialAnimation(m_odo->GetAnimation("wave"), 1.0f, 0.0f, 0.0f);
  st_GameAction play{"play_animation"};
  c->StartSpeaking(&play);
  c->attachments.push_back({"hat", 4, 1.0f});
  ASSERT_NE(c->facial, nullptr);

  c->Destroy();
  EXPECT_EQ(c->facial, nullptr);
  EXPECT_EQ(c->actor, nullptr);
  EXPECT_TRUE(c->attachments.empty());
  EXPECT_EQ(c->pendingAction, nullptr);
  EXPECT_EQ(c->actionState, cl_Character::ACTION_NONE);
  EXPECT_EQ(c->state, quillane::cl_MovementCtrl::STATE_IDLE);
  EXPECT_EQ(walked.executed, 0);
  EXPECT_EQ(walked.deleted, 1);

  // Whatever the stage still calls does nothing; a second Destroy and the destructor are fine.
  base::cl_Pose pose(0);
  c->Update(0.1f);
  c->UpdatePose(pose);
  c->Render(nullptr);
  c->RenderBlobShadow();
  c->Destroy();
  c.reset();
  EXPECT_EQ(play.finished, 0);
  EXPECT_EQ(walked.deleted, 1);
}

TEST_F(CharacterTest, PropertiesAndFlags) {
  auto c = Make("Odo");
  EXPECT_FALSE(c->IsIgnored());
  EXPECT_TRUE(c->HasAvoidance());
  c->SetIgnored(true);
  c->SetAvoidance(false);
  EXPECT_TRUE(c->IsIgnored());
  EXPECT_FALSE(c->HasAvoidance());
  float v = 0.0f;
  EXPECT_FALSE(c->GetPropertyFloat("mood", v));
  c->SetPropertyFloat("mood", 0.25f);
  EXPECT_TRUE(c->GetPropertyFloat("mood", v));
  EXPECT_EQ(v, 0.25f);
  EXPECT_EQ(c->GetAvoidanceRadius(), 40.0f);

  c->SetAnimationSpeed("walk", 2.0f);
  EXPECT_EQ(c->walkSpeedFactor, 2.0f);
  EXPECT_EQ(c->GetAnimationSpeed("walk"), 2.0f);
  EXPECT_EQ(c->GetAnimationSpeed("run"), 1.0f);
  m_log->clear();
  c->SetDefaultAnimation("dance", "wave");
  EXPECT_TRUE(m_log->contains("default animation category dance does not exist"));
}

}  // namespace
