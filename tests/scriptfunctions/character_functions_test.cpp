// Placing, turning, walking and animating characters from a scene script on the demo Office: the
// functions' results, what they leave on the characters and how long the calling script waits.
#include <gtest/gtest.h>
#include <numbers>

#include <cmath>
#include <string>
#include <vector>

#include "graphics/mesh/Animation.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/GameActionQueue.h"
#include "office_fixture.h"

namespace scriptfunctionstest {
namespace {

float Number(const std::string& text) { return std::stof(text); }

using CharacterScript = OfficeTest;

TEST_F(CharacterScript, PrepareSceneAddsTheCharactersAtTheirPlacesWithThePlayer) {
  ASSERT_NO_FATAL_FAILURE(Load(""));
  const cl_Character* quillane = Character("Quillane");
  EXPECT_EQ(m_session->GetStage()->GetPlayerCharacter(), quillane);
  EXPECT_NEAR(quillane->GetPosition().x, Place("Start").x, 0.01f);
  EXPECT_NEAR(quillane->GetPosition().z, Place("Start").z, 0.01f);
  EXPECT_NEAR(Character("Odo")->GetPosition().x, Place("Window").x, 0.01f);
}

TEST_F(CharacterScript, AddCharacterReportsAMissingPlaceAndAnUnknownActor) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Add()\n"
      "  AddCharacter(\"Mina\", \"mina\", \"Nowhere\")\n"
      "  AddCharacter(\"Ghost\", \"nobody\", \"Start\")\n"
      "  AddCharacter(\"Twin\", \"odo\", \"Odo\")\n"
      "  Debugout(\"t: \", CharacterExists(\"Mina\"), CharacterExists(\"Ghost\"), CharacterExists(\"Twin\"))\n"
      "end\n"));
  Call("Add");
  ASSERT_GE(StepUntilSaid(1), 0.0f);
  EXPECT_EQ(Said().front(), "001");
  EXPECT_TRUE(Logged("AddCharacter: could not find locator Nowhere."));
  EXPECT_TRUE(Logged("Could not create Ghost (Actor=nobody)."));
  // A character's own place serves as a target when no locator has the name.
  EXPECT_EQ(Character("Twin")->GetPosition().x, Character("Odo")->GetPosition().x);
}

TEST_F(CharacterScript, CharacterExistsBeforeAnySceneIsZeroAndFunctionsWithoutAStageSayWhy) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Before()\n"
      "  Debugout(\"t: \", CharacterExists(\"Quillane\"))\n"
      "  RemoveCharacter(\"Quillane\")\n"
      "  AddCharacter(\"Quillane\", \"quillane\", \"Start\")\n"
      "  WalkTo(\"Quillane\", \"Start\")\n"
      "  Debugout(\"t: went on\")\n"
      "end\n",
      false));
  ASSERT_EQ(m_session->GetStage(), nullptr);
  m_session->RunSceneScript("Office", "Before", base::Variant());
  EXPECT_EQ(Said(), (std::vector<std::string>{"0", "went on"}));
  EXPECT_TRUE(Logged("RemoveCharacter: no stage."));
  EXPECT_TRUE(Logged("AddCharacter: no stage."));
}

TEST_F(CharacterScript, TurnToTakesTheShortWayAndTheScriptWaitsForTheTurnsDuration) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Turning()\n"
      "  AlignTo(\"Odo\", 0)\n"
      "  AlignTo(\"Quillane\", 0)\n"
      "  Debugout(\"t: \", TurnToNoWait(\"Odo\", 270))\n"
      "  TurnTo(\"Quillane\", 270)\n"
      "  Debugout(\"t: turned\")\n"
      "  Debugout(\"t: \", TurnToNoWait(\"Nobody\", 90))\n"
      "end\n"));
  Call("Turning");
  Step(0.0f);
  ASSERT_EQ(Said().size(), 1u) << "the script waits on the turn";
  const float duration = Number(Said()[0]);
  EXPECT_GT(duration, 0.5f);
  const float waited = StepUntilSaid(2, 0.05f);
  ASSERT_GE(waited, 0.0f);
  EXPECT_NEAR(waited, duration, 0.1f);
  EXPECT_NEAR(Character("Quillane")->yaw, -std::numbers::pi_v<float> / 2.0f, 1e-3f) << "270 degrees is a quarter turn clockwise";
  EXPECT_NEAR(Character("Odo")->yaw, -std::numbers::pi_v<float> / 2.0f, 1e-3f);
  ASSERT_GE(StepUntilSaid(3), 0.0f);
  EXPECT_EQ(Number(Said()[2]), 0.0f);
  EXPECT_TRUE(Logged("Character 'Nobody' does not exist."));
}

TEST_F(CharacterScript, AlignToHalfATurnEitherWayFacesPi) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Align(degrees)\n"
      "  AlignTo(\"Quillane\", degrees)\n"
      "  Debugout(\"t: aligned\")\n"
      "end\n"));
  for (const float degrees : {180.0f, -180.0f}) {
    base::Variant args;
    args.set_array(1);
    args[0].set_float(degrees);
    m_session->RunSceneScript("Office", "Align", args);
    EXPECT_FLOAT_EQ(Character("Quillane")->yaw, 3.1415927410125732f) << degrees;
    EXPECT_FLOAT_EQ(Character("Quillane")->targetYaw, 3.1415927410125732f) << degrees;
  }
}

TEST_F(CharacterScript, WalkToWithinTenUnitsNeitherWalksNorWaitsFartherItWaitsForArrival) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Near()\n"
      "  WalkTo(\"Quillane\", \"Start\")\n"
      "  Debugout(\"t: at once\")\n"
      "end\n"
      "function Far()\n"
      "  WalkTo(\"Quillane\", \"Start\")\n"
      "  Debugout(\"t: arrived\")\n"
      "end\n"
      "function NoWait()\n"
      "  WalkToNoWait(\"Quillane\", \"Start\")\n"
      "  WalkToNoWait(\"Quillane\", \"Nowhere\")\n"
      "end\n"
      "function Unknown()\n"
      "  WalkTo(\"Nobody\", \"Start\")\n"
      "  WalkTo(\"Quillane\", \"Nowhere\")\n"
      "  Debugout(\"t: reported\")\n"
      "end\n"));
  const tPoint start = Place("Start");
  Stand("Quillane", start.x + 10.0f, start.z);
  Call("Near");
  Step(0.0f);
  EXPECT_EQ(Said(), std::vector<std::string>{"at once"});
  EXPECT_EQ(Character("Quillane")->state, cl_Character::STATE_IDLE);
  EXPECT_NEAR(Character("Quillane")->GetPosition().x, start.x + 10.0f, 0.01f);

  Stand("Quillane", start.x + 60.0f, start.z);
  Call("Far");
  Step(0.0f);
  EXPECT_EQ(Said().size(), 1u) << "waits while walking";
  ASSERT_GE(StepUntilSaid(2, 0.05f, 600), 0.0f);
  EXPECT_LT(std::fabs(Character("Quillane")->GetPosition().x - start.x), 25.0f);

  Call("Unknown");
  ASSERT_GE(StepUntilSaid(3), 0.0f);
  EXPECT_TRUE(Logged("Character Nobody does not exist."));
  EXPECT_EQ(CountLogged("Locator Nowhere does not exist."), 1u);

  // Without waiting there is no least distance: she sets off from where she stands.
  Stand("Quillane", start.x + 5.0f, start.z);
  m_session->RunSceneScript("Office", "NoWait", base::Variant());
  EXPECT_NE(Character("Quillane")->state, cl_Character::STATE_IDLE);
  EXPECT_EQ(CountLogged("Locator Nowhere does not exist."), 2u);
}

TEST_F(CharacterScript, DirectionsBetweenCharactersFollowTheFloorHeadings) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Direction()\n"
      "  Debugout(\"t: \", GetDirectionTo(\"Quillane\", \"Odo\"))\n"
      "end\n"));
  const struct {
    float dx, dz, degrees;
  } cases[] = {{0.0f, -50.0f, 0.0f}, {50.0f, 0.0f, -90.0f}, {-50.0f, 0.0f, 90.0f}, {0.0f, 50.0f, 180.0f}};
  size_t said = 0;
  for (const auto& c : cases) {
    Stand("Quillane", -200.0f, 100.0f);
    Stand("Odo", -200.0f + c.dx, 100.0f + c.dz);
    m_session->RunSceneScript("Office", "Direction", base::Variant());
    ASSERT_EQ(Said().size(), ++said);
    EXPECT_NEAR(Number(Said().back()), c.degrees, 1e-3f) << c.dx << "," << c.dz;
  }
}

TEST_F(CharacterScript, BeamToAnUnknownPlaceIsSilentAnUnknownCharacterIsReported) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Beam()\n"
      "  BeamTo(\"Quillane\", \"Nowhere\")\n"
      "  BeamTo(\"Nobody\", \"Start\")\n"
      "  BeamTo(\"Odo\", \"Start\")\n"
      "  Debugout(\"t: beamed\")\n"
      "end\n"));
  const tPoint before = Character("Quillane")->GetPosition();
  m_session->RunSceneScript("Office", "Beam", base::Variant());
  EXPECT_EQ(Character("Quillane")->GetPosition().x, before.x);
  EXPECT_FALSE(Logged("Nowhere"));
  EXPECT_TRUE(Logged("Character 'Nobody' does not exist."));
  EXPECT_NEAR(Character("Odo")->GetPosition().x, Place("Start").x, 0.01f);
}

TEST_F(CharacterScript, BackupAndRestoreBringBackPlaceAndFacing) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Backup()\n"
      "  AlignTo(\"Odo\", 90)\n"
      "  BackupPosition(\"Odo\")\n"
      "  BeamTo(\"Odo\", \"Start\")\n"
      "  AlignTo(\"Odo\", -45)\n"
      "  RestorePosition(\"Odo\")\n"
      "end\n"));
  const tPoint before = Character("Odo")->GetPosition();
  m_session->RunSceneScript("Office", "Backup", base::Variant());
  EXPECT_NEAR(Character("Odo")->GetPosition().x, before.x, 0.01f);
  EXPECT_NEAR(Character("Odo")->GetPosition().z, before.z, 0.01f);
  EXPECT_NEAR(Character("Odo")->yaw, std::numbers::pi_v<float> / 2.0f, 1e-4f);
}

class CharacterAnimation : public OfficeTest {
 protected:
  void SetUp() override {
    OfficeTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(Load(
        "function Play(name, speed, lead)\n"
        "  Debugout(\"t: \", PlayAnimationNoWait(\"Quillane\", name, speed, lead, 0))\n"
        "end\n"
        "function PlayWait(name, speed)\n"
        "  PlayAnimation(\"Quillane\", name, speed, 0, 0)\n"
        "  Debugout(\"t: played\")\n"
        "end\n"
        "function Four()\n"
        "  PlayAnimation(\"Quillane\", \"idle\", 1, 0)\n"
        "  Debugout(\"t: \", PlayAnimationNoWait(\"Quillane\", \"idle\", 1, 0))\n"
        "end\n"
));
    m_length = Character("Quillane")->actor->GetAnimation("idle")->length;
    ASSERT_GT(m_length, 0.0f);
  }
  float Play(const char* name, float speed, float lead) {
    base::Variant args;
    args.set_array(3);
    args[0].set_string(name);
    args[1].set_float(speed);
    args[2].set_float(lead);
    const size_t before = Said().size();
    m_session->RunSceneScript("Office", "Play", args);
    return Said().size() == before + 1 ? Number(Said().back()) : -1.0f;
  }
  float m_length = 0.0f;
};

TEST_F(CharacterAnimation, DurationFollowsSpeedLeadAndTheHandlingTweaks) {
  EXPECT_NEAR(Play("idle", 1.0f, 0.0f), m_length, 1e-4f);
  EXPECT_NEAR(Play("idle", 2.0f, 0.0f), m_length / 2.0f, 1e-4f);
  EXPECT_NEAR(Play("idle", 1.0f, -0.5f), m_length + 0.5f, 1e-4f) << "a negative lead adds its time";
  EXPECT_NEAR(Play("idle", 1.0f, 0.5f), m_length, 1e-4f) << "a positive lead adds nothing";
  // Unknown clips fall back to idle; the name still picks the tweak speed, pickup before manipulate.
  EXPECT_NEAR(Play("PICKUP_manipulate", 1.0f, 0.0f), m_length / 1.6f, 1e-4f);
  EXPECT_NEAR(Play("Manipulate_drawer", 1.0f, 0.0f), m_length / 2.0f, 1e-4f);
  EXPECT_EQ(Character("Quillane")->actionState, cl_Character::ACTION_SPECIAL);
}

TEST_F(CharacterAnimation, TheScriptWaitsUntilTheClipHasPlayed) {
  base::Variant args;
  args.set_array(2);
  args[0].set_string("idle");
  args[1].set_float(2.0f);
  m_session->CallSceneScript("Office", "PlayWait", args);
  Step(0.0f);
  EXPECT_TRUE(Said().empty());
  const float waited = StepUntilSaid(1, 0.05f);
  ASSERT_GE(waited, 0.0f);
  EXPECT_NEAR(waited, m_length / 2.0f, 0.15f);
  EXPECT_FALSE(m_session->GetActionQueue().m_cancelAllowed);
}

TEST_F(CharacterAnimation, FourArgumentsAreReportedAndNothingWaits) {
  m_session->CallSceneScript("Office", "Four", base::Variant());
  Step(0.0f);
  ASSERT_EQ(Said().size(), 1u) << "PlayAnimation went on at once";
  EXPECT_EQ(Number(Said()[0]), 0.0f);
  EXPECT_EQ(CountLogged("too few parameters for PlayAnimationNoWait"), 2u);
}

TEST_F(CharacterAnimation, ASpeedThatIsNotPositiveIsReportedAndTakenAsOne) {
  for (const float speed : {0.0f, std::nanf(""), -2.0f}) EXPECT_NEAR(Play("idle", speed, 0.0f), m_length, 1e-4f) << speed;
  EXPECT_EQ(CountLogged("is not a positive number; 1.0 is used"), 3u);
  EXPECT_EQ(Character("Quillane")->special.speed, 1.0f);
}

}  // namespace
}  // namespace scriptfunctionstest

namespace scriptfunctionstest {
namespace {

TEST_F(CharacterScript, CameraRelativeStepsAndTheSmallerServices) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Toward()\n"
      "  TranslateCameraRelative(\"Quillane\", 0, 5, 10)\n"
      "  TranslateCameraRelative(\"Nobody\", 0, 0, 10)\n"
      "  Debugout(\"t: \", GetDirectionToCamera(\"Quillane\"))\n"
      "end\n"
      "function Services()\n"
      "  SetAnimationSpeed(\"Quillane\", \"walk\", 1.5)\n"
      "  SetAnimationSpeed(\"Quillane\", \"moonwalk\", 1.5)\n"
      "  SetAnimationSpeed(\"Nobody\", \"walk\", 1.5)\n"
      "  SetDefaultAnimation(\"Nobody\", \"idle\", \"idle\")\n"
      "  SyncIdle(\"Odo\")\n"
      "  RemoveCharacter(\"Odo\")\n"
      "  Debugout(\"t: \", CharacterExists(\"Odo\"))\n"
      "end\n"));
  cl_Character* quillane = Character("Quillane");
  const tPoint camera = m_session->GetStage()->GetScene()->GetCamera().GetPos();
  const tPoint before = quillane->GetPosition();
  m_session->RunSceneScript("Office", "Toward", base::Variant());
  const tPoint after = quillane->GetPosition();
  const float was = std::hypot(camera.x - before.x, camera.z - before.z);
  const float now = std::hypot(camera.x - after.x, camera.z - after.z);
  EXPECT_NEAR(was - now, 10.0f, 0.01f) << "10 units toward the camera on the floor";
  EXPECT_NEAR(after.y - before.y, 5.0f, 0.01f);
  EXPECT_TRUE(Logged("TranslateCameraRelative: Character Nobody not found"));
  ASSERT_EQ(Said().size(), 1u);
  const float heading = std::atan2(camera.x - after.x, -(camera.z - after.z));  // 0 along −z, + toward −x
  EXPECT_NEAR(Number(Said()[0]), -heading * 57.29578f, 0.01f);

  Character("Odo")->idleClock = 3.0f;
  m_session->RunSceneScript("Office", "Services", base::Variant());
  EXPECT_FLOAT_EQ(quillane->GetAnimationSpeed("walk"), 1.5f);
  EXPECT_TRUE(Logged("SetAnimationSpeed: animation moonwalk unknown for character Quillane."));
  EXPECT_TRUE(Logged("SetAnimationSpeed: character Nobody does not exist."));
  EXPECT_TRUE(Logged("ERROR: character Nobody doest not exist."));
  EXPECT_EQ(Said().back(), "0");
  EXPECT_EQ(Character("Odo"), nullptr);
}

}  // namespace
}  // namespace scriptfunctionstest
