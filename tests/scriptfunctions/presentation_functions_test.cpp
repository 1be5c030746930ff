// How characters look and behave, set from a scene script on the demo Office: walking up to a
// distance, showing and hiding, props on bones and their way through the stage block, face and
// gaze calls, properties and footsteps.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/File.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/FacialCtrl.h"
#include "office_fixture.h"

namespace scriptfunctionstest {
namespace {

using PresentationScript = OfficeTest;

TEST_F(PresentationScript, WalkNearWalksOnlyFartherThanTheDistanceAndTenUnits) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Near(distance)\n"
      "  WalkNear(\"Quillane\", \"Window\", distance)\n"
      "  Debugout(\"t: done\")\n"
      "end\n"));
  // Odo, who stood at the Window locator, would be in the way.
  const tPoint window = Place("Window");
  Stand("Odo", -100.0f, 100.0f);
  const struct {
    float away, distance;
    bool walks;
  } cases[] = {{10.0f, 0.0f, false}, {10.5f, 0.0f, true}, {12.0f, 5.0f, false}};
  size_t said = 0;
  for (const auto& c : cases) {
    Stand("Quillane", window.x + c.away, window.z);
    base::Variant args;
    args.set_array(1);
    args[0].set_float(c.distance);
    m_session->CallSceneScript("Office", "Near", args);
    Step(0.0f);
    EXPECT_EQ(Said().size(), c.walks ? said : said + 1) << c.away;
    EXPECT_EQ(Character("Quillane")->state != cl_Character::STATE_IDLE, c.walks) << c.away;
    ASSERT_GE(StepUntilSaid(++said, 0.05f, 600), 0.0f) << c.away;
    if (c.walks) {
      EXPECT_LT(std::fabs(Character("Quillane")->GetPosition().x - window.x), 10.5f);
    }
  }
}

TEST_F(PresentationScript, WalkNearPrefersTheLocatorToACharacterOfTheSameName) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Twin()\n"
      "  AddCharacter(\"Window\", \"odo\", \"Start\")\n"
      "  WalkNear(\"Quillane\", \"Window\", 0)\n"
      "  WalkNear(\"Quillane\", \"Nothing\", 0)\n"
      "  WalkNear(\"Nobody\", \"Window\", 0)\n"
      "  Debugout(\"t: went on\")\n"
      "end\n"));
  Stand("Quillane", Place("Window").x + 5.0f, Place("Window").z);
  m_session->CallSceneScript("Office", "Twin", base::Variant());
  Step(0.0f);
  EXPECT_EQ(Said(), std::vector<std::string>{"went on"}) << "near the locator: no walk to the character";
  EXPECT_EQ(Character("Quillane")->state, cl_Character::STATE_IDLE);
  EXPECT_FALSE(Logged("Nobody")) << "WalkNear says nothing of missing names";
}

TEST_F(PresentationScript, HidingAllIncludesThePlayerShowingReportsEachUnknownName) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Hide()\n"
      "  HideCharacter(\"all\")\n"
      "end\n"
      "function Show()\n"
      "  ShowCharacter(\"Quillane\", \"Ghost\", \"Odo\", \"Shade\")\n"
      "end\n"));
  m_session->RunSceneScript("Office", "Hide", base::Variant());
  EXPECT_EQ(m_session->GetStage()->GetPlayerCharacter()->visible, 0);
  EXPECT_EQ(Character("Odo")->visible, 0);
  m_session->RunSceneScript("Office", "Show", base::Variant());
  EXPECT_EQ(Character("Quillane")->visible, 1);
  EXPECT_EQ(Character("Odo")->visible, 1);
  EXPECT_EQ(CountLogged("Unknown character Ghost."), 1u);
  EXPECT_EQ(CountLogged("Unknown character Shade."), 1u);
}

class Attachments : public OfficeTest {
 protected:
  void SetUp() override {
    OfficeTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(Load(
        "function Attach(bone)\n"
        "  AttachObject(\"Quillane\", bone, \"Parcel\", \"odo\", 0.5)\n"
        "end\n"
        "function Detach()\n"
        "  DetachObject(\"Quillane\", \"Parcel\")\n"
        "end\n"));
    base::cl_Skeleton* skeleton = Character("Quillane")->actor->GetSkeleton();
    ASSERT_NE(skeleton, nullptr);
    ASSERT_GT(skeleton->GetNumBones(), 3);
    m_bone = skeleton->GetBoneByIndex(3)->name.c_str();
  }
  void Attach(const std::string& bone) {
    base::Variant args;
    args.set_array(1);
    args[0].set_string(bone.c_str());
    m_session->RunSceneScript("Office", "Attach", args);
  }
  static int SavedRecords(const cl_Character& c) {
    int n = 0;
    for (int k = 0; k < c.properties.size(); ++k)
      if (const char* label = c.properties[k].get_label(); label && std::string(label) == "AttachedObject") ++n;
    return n;
  }
  std::string m_bone;
};

TEST_F(Attachments, AttachedTwiceThenDetachedLeavesNoRecordAndDeletesTheObjectOnce) {
  Attach(m_bone);
  Attach("no such bone");
  cl_Character* quillane = Character("Quillane");
  ASSERT_EQ(quillane->attachments.size(), 2u);
  EXPECT_EQ(quillane->attachments.front().boneIndex, 3);
  EXPECT_EQ(quillane->attachments.back().boneIndex, -1);
  EXPECT_FLOAT_EQ(quillane->attachments.front().scale, 0.5f);
  EXPECT_EQ(SavedRecords(*quillane), 2);
  cl_Character* parcel = Character("Parcel");
  ASSERT_NE(parcel, nullptr);
  EXPECT_EQ(parcel->isAttachment, 1);
  EXPECT_TRUE(parcel->IsIgnored());
  EXPECT_EQ(m_session->GetStage()->GetAttachmentTarget(quillane->attachments.front()), parcel);

  const size_t before = m_session->GetStage()->GetCharacters().size();
  m_session->RunSceneScript("Office", "Detach", base::Variant());
  EXPECT_TRUE(quillane->attachments.empty());
  EXPECT_EQ(SavedRecords(*quillane), 0);
  EXPECT_EQ(m_session->GetStage()->GetCharacters().size(), before - 1) << "one of the two Parcels is deleted";
}

TEST_F(Attachments, AnAttachmentSurvivesTheStageBlockWithItsTarget) {
  Attach(m_bone);
  {
    base::File out("stage.bin", base::File::STATUS_WRITE);
    ASSERT_TRUE(m_session->GetStage()->WriteState(out));
    ASSERT_TRUE(out.close());
  }
  std::ifstream in(m_dir / "stage.bin", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  quillane::cl_Stage stage;
  stage.LoadScene("Office");
  base::File file;
  file.open_memory(bytes.data(), static_cast<int>(bytes.size()), "slot.sav");
  base::String scene;
  ASSERT_TRUE(quillane::cl_Stage::ReadSceneName(file, scene));
  ASSERT_TRUE(stage.ReadState(file));
  const cl_Character* quillane = stage.GetCharacter("Quillane");
  ASSERT_NE(quillane, nullptr);
  ASSERT_EQ(quillane->attachments.size(), 1u);
  EXPECT_EQ(quillane->attachments.front().boneIndex, 3);
  EXPECT_EQ(stage.GetAttachmentTarget(quillane->attachments.front()), stage.GetCharacter("Parcel"));
  EXPECT_NE(stage.GetCharacter("Parcel"), nullptr);
  EXPECT_EQ(stage.GetCharacter("Parcel")->isAttachment, 1);
}

TEST_F(PresentationScript, FaceCallsReadTheirArgumentsAsTheyAreDocumented) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Four()\n"
      "  Emote(\"Odo\", \"smile\", 1.0, 0.5)\n"
      "  Debugout(\"t: four\")\n"
      "end\n"
      "function Three()\n"
      "  Emote(\"Odo\", \"smile\", 1.0)\n"
      "  Debugout(\"t: three\")\n"
      "end\n"
      "function Nobody()\n"
      "  Emote(\"Nobody\")\n"
      "  Gaze(\"Odo\", \"Quillane\", 0.8)\n"
      "  Look(\"Odo\", \"auto\", 0.5)\n"
      "  Debugout(\"t: gazed\")\n"
      "end\n"
      "function Offset()\n"
      "  SetLookOffset(\"Nobody\", 1.0, \"up\")\n"
      "  Debugout(\"t: not reached\")\n"
      "end\n"));
  ASSERT_NE(Character("Odo")->facial, nullptr) << "the demo actors have faces";
  m_session->RunSceneScript("Office", "Four", base::Variant());
  EXPECT_FALSE(Logged("wrong parameter")) << "the fifth argument is optional";
  m_session->RunSceneScript("Office", "Three", base::Variant());
  EXPECT_EQ(CountLogged("wrong parameter 4 - 'float' expected."), 1u);
  EXPECT_FALSE(Logged("wrong parameter 5"));
  m_session->RunSceneScript("Office", "Nobody", base::Variant());
  EXPECT_TRUE(Logged("Character 'Nobody' does not exist."));
  // The name is reported first; its missing arguments after it.
  EXPECT_LT(Log().find("Character 'Nobody' does not exist."), Log().find("wrong parameter 2 - 'string' expected."));
  EXPECT_EQ(Said(), (std::vector<std::string>{"four", "three", "gazed"}));

  const size_t reports = CountLogged("does not exist");
  m_session->RunSceneScript("Office", "Offset", base::Variant());
  EXPECT_EQ(CountLogged("does not exist"), reports) << "the bad argument stops the call before the look-up";
  EXPECT_EQ(Said().size(), 3u);
}

TEST_F(PresentationScript, GetPropertyFloatWritesAndGivesNil) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Property()\n"
      "  local r = GetPropertyFloat(\"Odo\", \"mood\", 0.25)\n"
      "  if r == nil then Debugout(\"t: nil\") end\n"
      "  SetPropertyFloat(\"Quillane\", \"mood\", 0.75)\n"
      "  IgnoreCharacter(\"Odo\", true)\n"
      "  AvoidCharacter(\"Odo\", false)\n"
      "end\n"));
  m_session->RunSceneScript("Office", "Property", base::Variant());
  EXPECT_EQ(Said(), std::vector<std::string>{"nil"});
  float mood = 0.0f;
  ASSERT_TRUE(Character("Odo")->GetPropertyFloat("mood", mood));
  EXPECT_FLOAT_EQ(mood, 0.25f);
  ASSERT_TRUE(Character("Quillane")->GetPropertyFloat("mood", mood));
  EXPECT_FLOAT_EQ(mood, 0.75f);
  EXPECT_TRUE(Character("Odo")->IsIgnored());
  EXPECT_FALSE(Character("Odo")->HasAvoidance());
}

TEST_F(PresentationScript, TurnTurnsByTheFixedAngleAndStepSoundsReachTheFootsteps) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Turning()\n"
      "  AlignTo(\"Odo\", 0)\n"
      "  Turn(\"Odo\", 90)\n"
      "  Debugout(\"t: turned\")\n"
      "  SFXSetCharacterStepsound(\"Odo\", \"sfx/steps/wood1.ogg\", 0.2, 0.9, \"sfx/steps/wood2.ogg\", 0.7, 0.8)\n"
      "end\n"));
  m_session->CallSceneScript("Office", "Turning", base::Variant());
  Step(0.0f);
  EXPECT_TRUE(Said().empty()) << "waits for the turn";
  ASSERT_GE(StepUntilSaid(1), 0.0f);
  EXPECT_NEAR(Character("Odo")->yaw, 3.0f, 1e-3f);
  const quillane::cl_FootstepCtrl& steps = Character("Odo")->footsteps;
  EXPECT_EQ(std::string(steps.steps[0].sound.c_str()), "sfx/steps/wood1.ogg");
  EXPECT_FLOAT_EQ(steps.steps[0].phase, 0.2f);
  EXPECT_FLOAT_EQ(steps.steps[1].volume, 0.8f);
  EXPECT_EQ(std::string(steps.steps[1].sound.c_str()), "sfx/steps/wood2.ogg");
}

}  // namespace
}  // namespace scriptfunctionstest
