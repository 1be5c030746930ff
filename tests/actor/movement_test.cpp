// The movement controller on the Office floor with a simulated clock: walks that arrive and call
// back once, the speed ramps, turns in place, interrupted walks, obstacle targets, footsteps
// through a recording sound layer, and the faults a walk must survive.
#include <cmath>
#include <numbers>

#include "actor_test_support.h"
#include "base/math/VectorTools.h"
#include "graphics/mesh/Animation.h"
#include "quillane/actor/MovementCtrl.h"
#include "support/StageWorldStandIn.h"

namespace actortest {
namespace {

using quillane::cl_MovementCtrl;
using quillane::tPoint;
using quillane::tPointList;

struct st_Play {
  int kind;
  std::string file, sound, channel;
  sfx::st_PlayParams params;
};
std::vector<st_Play>& Plays() {
  static std::vector<st_Play> plays;
  return plays;
}
float RecordPlay(int kind, const char* file, const char* sound, const char* channel, const sfx::st_PlayParams& p) {
  Plays().push_back({kind, file, sound, channel, p});
  return 0.3f;
}

class Movement : public ActorTest {
 protected:
  void SetUp() override {
    ActorTest::SetUp();
    if (IsSkipped()) return;
    m_registry = FigureRegistry();
    m_character = std::make_unique<cl_TestCharacter>(m_registry->FindActor("female"), "Quillane");
    m_nav.reset(quillane::cl_NavMesh::Create());
    ASSERT_TRUE(m_nav->LoadMesh((std::string(QUILLANE_DATA_DIR) + "/Scenes/Office/navmesh.xml").c_str()));
    m_ctrl = MakeWalker();
    Plays().clear();
    quillane::cl_FootstepCtrl::SetSoundPlayer(&RecordPlay);
    m_log->clear();
  }
  void TearDown() override {
    quillane::cl_FootstepCtrl::SetSoundPlayer(nullptr);
    m_ctrl.reset();
    ActorTest::TearDown();
  }

  std::unique_ptr<cl_MovementCtrl> MakeWalker() {
    auto c = std::make_unique<cl_MovementCtrl>();
    c->navMesh = m_nav.get();
    c->locator.SetPos(m_nav->GetCenter());
    c->walkChannel.Play(*m_character, "walk", false);
    return c;
  }
  // Points of the floor at least minDistance from the centre, spread over it.
  std::vector<tPoint> Targets(int n, float minDistance) {
    float b[6];
    m_nav->GetBounds(b);
    std::vector<tPoint> out;
    const tPoint c = m_nav->GetCenter();
    for (int i = 0; out.size() < static_cast<size_t>(n) && i < 400; ++i) {
      const tPoint p(b[0] + (b[3] - b[0]) * std::fmod(0.37f * i + 0.11f, 1.0f), 0.0f,
                     b[2] + (b[5] - b[2]) * std::fmod(0.61f * i + 0.23f, 1.0f));
      if (m_nav->IsInside(p) && std::hypot(p.x - c.x, p.z - c.z) >= minDistance) out.push_back(p);
    }
    return out;
  }
  // Updates until the walker rests or the time is up; the time it took.
  float RunUntil(cl_MovementCtrl& c, float dt, float limit, int stopState = cl_MovementCtrl::STATE_IDLE) {
    float t = 0.0f;
    while (c.state != stopState && t < limit) {
      c.Update(*m_character, dt);
      t += dt;
    }
    return t;
  }

  std::unique_ptr<cl_ActorRegistry> m_registry;
  std::unique_ptr<cl_TestCharacter> m_character;
  std::unique_ptr<quillane::cl_NavMesh> m_nav;
  std::unique_ptr<cl_MovementCtrl> m_ctrl;
};

TEST_F(Movement, FiveWalksArriveOnTheirLastPointAndCallBackOnce) {
  quillane::LoadWalkSpeedCurves("characters/walkspeed.xml");
  const std::vector<tPoint> targets = Targets(5, 150.0f);
  ASSERT_EQ(targets.size(), 5u);
  for (const tPoint& target : targets) {
    SCOPED_TRACE(testing::Message() << target.x << ", " << target.z);
    st_EventLog events;
    m_ctrl->WalkTo("Quillane", target, new cl_CountingEvent(events));
    ASSERT_FALSE(m_ctrl->waypoints.empty());
    const tPoint last = m_ctrl->waypoints.back();
    EXPECT_LT(std::hypot(last.x - target.x, last.z - target.z), 1.0f);
    RunUntil(*m_ctrl, 1.0f / 30.0f, 60.0f);
    EXPECT_EQ(m_ctrl->state, cl_MovementCtrl::STATE_IDLE);
    EXPECT_EQ(m_ctrl->GetPosition().x, last.x);
    EXPECT_EQ(m_ctrl->GetPosition().z, last.z);
    EXPECT_EQ(events.executed, 1);
    EXPECT_EQ(events.deleted, 1);
    EXPECT_TRUE(m_nav->IsInside(m_ctrl->GetPosition()));
  }
  EXPECT_EQ(m_log->count("ERROR"), 0) << m_log->text("\n");
}

TEST_F(Movement, SpeedingUpAndBrakingEachTakeAThirdOfASecond) {
  // Without curves the step time is the frame time.
  const tPoint far = Targets(1, 350.0f).at(0);
  st_EventLog events;
  m_ctrl->WalkTo("Quillane", far, new cl_CountingEvent(events));
  EXPECT_EQ(m_ctrl->state, cl_MovementCtrl::STATE_SPEEDING_UP);
  const float dt = 0.005f;
  EXPECT_NEAR(RunUntil(*m_ctrl, dt, 2.0f, cl_MovementCtrl::STATE_FULL_SPEED), 1.0f / 3.0f, 2 * dt);
  EXPECT_FLOAT_EQ(m_ctrl->speedFraction, 1.0f);
  m_ctrl->Stop();
  EXPECT_NEAR(RunUntil(*m_ctrl, dt, 2.0f), 0.33f, 2 * dt);
  EXPECT_EQ(events.executed, 1);
  EXPECT_EQ(m_ctrl->walkChannel.timer, 0.0f);
}

TEST_F(Movement, TurnsInPlaceLastByTheirAngleAndEndOnIt) {
  const struct {
    float degrees, seconds;
  } cases[] = {{30.0f, 0.75f + 0.25f / 3.0f}, {90.0f, 1.0f}, {180.0f, 1.0f}, {-90.0f, 1.0f}, {-30.0f, 0.75f + 0.25f / 3.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.degrees);
    st_EventLog events;
    m_ctrl->yaw = m_ctrl->targetYaw = 0.5f;
    const float angle = c.degrees * std::numbers::pi_v<float> / 180.0f;
    EXPECT_FLOAT_EQ(m_ctrl->TurnBy(angle, new cl_CountingEvent(events)), c.seconds);
    const float dt = 0.001f;
    EXPECT_NEAR(RunUntil(*m_ctrl, dt, 3.0f), c.seconds, 2 * dt);
    float expected = 0.5f + angle;
    base::WrapAngle(expected);
    EXPECT_NEAR(m_ctrl->yaw, expected, 1e-4f);
    EXPECT_EQ(events.executed, 1);
    EXPECT_EQ(events.deleted, 1);
  }
  EXPECT_EQ(m_log->count("Turn relative 90.00 degrees"), 1) << m_log->text("\n");
  EXPECT_EQ(m_log->count("Turn relative -30.00 degrees"), 1);
}

TEST_F(Movement, TheTurnaroundClipFadesInOverTheFirstQuarter) {
  m_ctrl->TurnBy(std::numbers::pi_v<float> * 2.0f / 3.0f, nullptr);  // a full clip weight at the middle
  base::cl_Pose rest(28), pose(28), scratch;
  rest.Set(m_registry->Find("female")->skeleton->GetAnimation("idle"), 0.0f);
  const base::cl_Animation* ccw = m_registry->Find("female")->skeleton->GetAnimation("turnaround_ccw");
  // At the start the clip has no weight; half-way it has all of it.
  pose.Set(m_registry->Find("female")->skeleton->GetAnimation("idle"), 0.0f);
  pose.SetWeights(1.0f);
  m_ctrl->ApplyMovementPose(*m_character, pose, scratch);
  EXPECT_TRUE(pose[0].rotation.is_equal(rest[0].rotation, 1e-4f));
  RunUntil(*m_ctrl, m_ctrl->turnDuration / 2.0f, m_ctrl->turnDuration / 2.0f * 0.99f, -1);
  base::cl_Pose clip(28);
  clip.Set(ccw, ccw->length * m_ctrl->turnProgress);
  pose.Set(m_registry->Find("female")->skeleton->GetAnimation("idle"), 0.0f);
  pose.SetWeights(1.0f);
  m_ctrl->ApplyMovementPose(*m_character, pose, scratch);
  EXPECT_TRUE(pose[0].rotation.is_equal(clip[0].rotation, 1e-4f));
}

TEST_F(Movement, AWalkInterruptedWhileBrakingSpeedsUpFromWhereItWas) {
  const std::vector<tPoint> targets = Targets(2, 300.0f);
  ASSERT_EQ(targets.size(), 2u);
  st_EventLog first, second;
  m_ctrl->WalkTo("Quillane", targets[0], new cl_CountingEvent(first));
  RunUntil(*m_ctrl, 0.01f, 2.0f, cl_MovementCtrl::STATE_FULL_SPEED);
  // At full speed a new walk keeps the pace; the replaced callback runs, so its waiter goes on.
  m_ctrl->WalkTo("Quillane", targets[1], new cl_CountingEvent(second));
  EXPECT_EQ(m_ctrl->state, cl_MovementCtrl::STATE_FULL_SPEED);
  EXPECT_EQ(first.executed, 1);
  EXPECT_EQ(first.deleted, 1);
  m_ctrl->Stop();
  for (int i = 0; i < 10; ++i) m_ctrl->Update(*m_character, 0.01f);
  const float fraction = m_ctrl->speedFraction;
  EXPECT_GT(fraction, 0.0f);
  EXPECT_LT(fraction, 1.0f);
  m_ctrl->WalkTo("Quillane", targets[0], nullptr);
  EXPECT_EQ(m_ctrl->state, cl_MovementCtrl::STATE_SPEEDING_UP);
  EXPECT_EQ(m_ctrl->speedFraction, fraction);
  EXPECT_EQ(second.executed, 1);
}

TEST_F(Movement, ObstacleTargetsMoveToTheRimOrWhereTheWalkerMeetsTheCircle) {
  m_ctrl->locator.SetPos(tPoint(-300.0f, 0.0f, 0.0f));
  const tPointList circle = {tPoint(0.0f, 0.0f, 100.0f)};  // x, z, radius
  const struct {
    tPoint target, expected;
  } cases[] = {
      {{70.0f, 5.0f, 0.0f}, {100.0f, 5.0f, 0.0f}},    // 0.7 of the radius: along the centre line
      {{0.0f, 0.0f, -70.0f}, {0.0f, 0.0f, -100.0f}},  // the same on another side
      {{50.0f, 0.0f, 0.0f}, {-100.0f, 0.0f, 0.0f}},   // 0.5: where the line from the walker enters
      {{200.0f, 0.0f, 0.0f}, {200.0f, 0.0f, 0.0f}},   // outside: untouched
  };
  for (const auto& c : cases) {
    tPoint t = c.target;
    m_ctrl->AvoidObstacles(t, circle);
    EXPECT_NEAR(t.x, c.expected.x, 1e-3f);
    EXPECT_EQ(t.y, c.expected.y);
    EXPECT_NEAR(t.z, c.expected.z, 1e-3f);
  }
  // Through a walk: the stage's circle around another character keeps the walker out.
  const tPoint other = Targets(1, 250.0f).at(0);
  testsupport::cl_StageWorldStandIn stage;
  stage.obstacles.emplace_back("Odo", tPoint(other.x, other.z, 55.0f));
  auto walker = MakeWalker();
  walker->stageWorld = &stage;
  walker->WalkTo("Quillane", other, nullptr);
  RunUntil(*walker, 1.0f / 30.0f, 30.0f);
  EXPECT_GE(std::hypot(walker->GetPosition().x - other.x, walker->GetPosition().z - other.z), 54.0f);
}

TEST_F(Movement, FootstepsSoundTwicePerCycleAndNotWhileSkipping) {
  m_ctrl->footsteps.SetStepSounds("sfx/step_l.ogg", 0.15f, 0.8f, "sfx/step_r.ogg", 0.65f, 0.8f);
  const tPoint far = Targets(1, 350.0f).at(0);
  m_ctrl->WalkTo("Quillane", far, nullptr);
  int wraps = 0;
  float last = 0.0f;
  while (m_ctrl->state != cl_MovementCtrl::STATE_IDLE) {
    m_ctrl->Update(*m_character, 1.0f / 60.0f);
    // Coming to rest puts the clip back to its start; that is no new cycle.
    if (m_ctrl->walkChannel.timer < last && m_ctrl->state != cl_MovementCtrl::STATE_IDLE) ++wraps;
    last = m_ctrl->walkChannel.timer;
  }
  ASSERT_GE(wraps, 2);
  // Whole cycles sound twice; the last, cut short by the stop, once or twice.
  EXPECT_GE(static_cast<int>(Plays().size()), 2 * wraps);
  EXPECT_LE(static_cast<int>(Plays().size()), 2 * wraps + 2);
  for (size_t i = 0; i < Plays().size(); ++i) {
    const st_Play& p = Plays()[i];
    EXPECT_EQ(p.file, i % 2 ? "sfx/step_r.ogg" : "sfx/step_l.ogg");
    EXPECT_EQ(p.kind, 0);
    EXPECT_EQ(p.sound, "walk");
    EXPECT_EQ(p.channel, "PLAYER");
    EXPECT_GE(p.params.volume, 0.65f);
    EXPECT_LE(p.params.volume, 0.95f);
    EXPECT_EQ(p.params.pan, 1.0f);
    EXPECT_FALSE(p.params.loop);
    EXPECT_TRUE(p.params.ignoreFx);
  }

  Plays().clear();
  quillane::WorldServices().IsSkippingSequence = [] { return true; };
  m_ctrl->WalkTo("Quillane", m_nav->GetCenter(), nullptr);
  RunUntil(*m_ctrl, 1.0f / 60.0f, 30.0f);
  EXPECT_TRUE(Plays().empty());
}

TEST_F(Movement, ASpeedFactorOtherThanOneIgnoresTheCurves) {
  const tPoint far = Targets(1, 350.0f).at(0);
  auto walkFor = [&](bool curves, float factor) {
    if (curves) {
      quillane::LoadWalkSpeedCurves("characters/walkspeed.xml");
    } else {
      quillane::ClearWalkSpeedCurves();
    }
    auto w = MakeWalker();
    w->walkSpeedFactor = factor;
    w->WalkTo("Quillane", far, nullptr);
    for (int i = 0; i < 60; ++i) w->Update(*m_character, 1.0f / 30.0f);
    return w->GetPosition();
  };
  const tPoint a = walkFor(true, 2.0f), b = walkFor(false, 2.0f);
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.z, b.z);
  const tPoint c = walkFor(true, 1.0f), d = walkFor(false, 1.0f);
  EXPECT_NE(c.x, d.x);
}

TEST_F(Movement, WithoutAUsableWalkClipTheWalkEndsAtOnce) {
  for (const char* clip : {"", "idle"}) {  // none, and one that covers no distance
    SCOPED_TRACE(clip);
    st_EventLog events;
    auto w = MakeWalker();
    w->walkChannel.Play(*m_character, clip, false);
    const tPoint start = w->GetPosition();
    w->WalkTo("Quillane", Targets(1, 300.0f).at(0), new cl_CountingEvent(events));
    w->Update(*m_character, 0.1f);
    EXPECT_EQ(w->state, cl_MovementCtrl::STATE_IDLE);
    EXPECT_EQ(events.executed, 1);
    EXPECT_EQ(w->GetPosition().x, start.x);
  }
  EXPECT_EQ(m_log->count("Warning: Quillane cannot walk"), 2) << m_log->text("\n");
}

TEST_F(Movement, AWalkWithoutAPathNeverResumesTheOldOne) {
  const tPoint far = Targets(1, 350.0f).at(0);
  m_ctrl->WalkTo("Quillane", far, nullptr);
  RunUntil(*m_ctrl, 1.0f / 30.0f, 2.0f, cl_MovementCtrl::STATE_FULL_SPEED);
  m_ctrl->Stop();
  m_ctrl->Update(*m_character, 1.0f / 30.0f);
  ASSERT_FALSE(m_ctrl->waypoints.empty());
  // A floor without any faces finds no path at all.
  std::unique_ptr<quillane::cl_NavMesh> none(quillane::cl_NavMesh::Create());
  m_ctrl->navMesh = none.get();
  const tPoint stoppedAt = m_ctrl->GetPosition();
  m_ctrl->WalkTo("Quillane", far, nullptr);
  EXPECT_TRUE(m_ctrl->waypoints.empty());
  RunUntil(*m_ctrl, 1.0f / 30.0f, 5.0f);
  EXPECT_EQ(m_ctrl->state, cl_MovementCtrl::STATE_IDLE);
  EXPECT_EQ(m_ctrl->GetPosition().x, stoppedAt.x);
  EXPECT_EQ(m_ctrl->GetPosition().z, stoppedAt.z);
}

TEST_F(Movement, AnUnusableTurnSpeedTurnsAtSpeedOne) {
  for (float speed : {0.0f, -2.0f, std::nanf(""), INFINITY}) {
    m_ctrl->turnSpeed = speed;
    EXPECT_FLOAT_EQ(m_ctrl->TurnBy(std::numbers::pi_v<float> / 2.0f, nullptr), 1.0f);
  }
  EXPECT_EQ(m_log->count("Warning: turn speed"), 4) << m_log->text("\n");
  m_ctrl->turnSpeed = 2.0f;
  EXPECT_FLOAT_EQ(m_ctrl->TurnBy(std::numbers::pi_v<float> / 2.0f, nullptr), 0.5f);
}

TEST_F(Movement, MissingCurvesWalkAtTheNeutralSpeedWithOneLine) {
  quillane::LoadWalkSpeedCurves("characters/no_such_file.xml");
  EXPECT_EQ(m_log->get().size(), 1u) << m_log->text("\n");
  EXPECT_EQ(quillane::EvaluateWalkSpeed(3.0f), 1.0f);
  EXPECT_EQ(quillane::EvaluateWalkSliding(3.0f), 1.0f);
  m_dir.write("half.xml", "<W><F label=\"walkspeed\"><P x=\"0\" y=\"0.5\"/><P x=\"10\" y=\"1.5\"/></F></W>");
  m_log->clear();
  quillane::LoadWalkSpeedCurves("half.xml");
  EXPECT_EQ(m_log->count("walksliding"), 1);
  EXPECT_FLOAT_EQ(quillane::EvaluateWalkSpeed(5.0f), 1.0f);
  EXPECT_FLOAT_EQ(quillane::EvaluateWalkSpeed(50.0f), 1.5f);
  EXPECT_EQ(quillane::EvaluateWalkSliding(3.0f), 1.0f);
}

// A factor that is not a number, 0 or negative would make every walk endless: the curve gives way
// to the neutral factor with one warning, and a walk arrives.
TEST_F(Movement, UnusableFactorsWalkAtTheNeutralSpeedWithOneLineEach) {
  for (const char* factor : {"nan", "0", "-1"}) {
    SCOPED_TRACE(factor);
    m_dir.write("bad.xml", std::string("<W><F label=\"walkspeed\"><P x=\"0\" y=\"1.2\"/><P x=\"10\" y=\"") + factor +
                               "\"/></F><F label=\"walksliding\"><P x=\"0\" y=\"" + factor + "\"/></F></W>");
    m_log->clear();
    quillane::LoadWalkSpeedCurves("bad.xml");
    EXPECT_EQ(m_log->count("Warning: bad.xml: walkspeed factor"), 1) << m_log->text("\n");
    EXPECT_EQ(m_log->count("Warning: bad.xml: walksliding factor"), 1);
    EXPECT_EQ(m_log->get().size(), 2u) << m_log->text("\n");
    EXPECT_EQ(quillane::EvaluateWalkSpeed(50.0f), 1.0f);
    EXPECT_EQ(quillane::EvaluateWalkSliding(50.0f), 1.0f);
    st_EventLog events;
    auto w = MakeWalker();
    w->WalkTo("Quillane", Targets(1, 150.0f).at(0), new cl_CountingEvent(events));
    RunUntil(*w, 1.0f / 30.0f, 60.0f);
    EXPECT_EQ(w->state, cl_MovementCtrl::STATE_IDLE);
    EXPECT_EQ(events.executed, 1);
  }
  quillane::ClearWalkSpeedCurves();
}

}  // namespace
}  // namespace actortest
