// Animation channels on the female figure's clips: naming, cross-fades, wraps, the layer weight,
// poses, and clips chosen by a real dialog script compiled and run by the script language.
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Var.h"
#include "actor_test_support.h"
#include "base/data/Variant.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Pose.h"

namespace actortest {
namespace {

using quillane::cl_AnimChannel;

class AnimChannel : public ActorTest {
 protected:
  void SetUp() override {
    ActorTest::SetUp();
    if (IsSkipped()) return;
    m_registry = FigureRegistry();
    m_actor = m_registry->FindActor("odo");
    ASSERT_NE(m_actor, nullptr);
    m_character = std::make_unique<cl_TestCharacter>(m_actor, "Odo");
    m_log->clear();
  }
  base::cl_Animation* Clip(const char* name) { return m_registry->Find("female")->skeleton->GetAnimation(name); }

  std::unique_ptr<cl_ActorRegistry> m_registry;
  cl_ActorDesc* m_actor = nullptr;
  std::unique_ptr<cl_TestCharacter> m_character;
};

// What the stand-in script answers, and how often it was asked.
struct st_Chooser {
  static int& Calls() {
    static int calls = 0;
    return calls;
  }
  static std::string& Answer() {
    static std::string answer;
    return answer;
  }
  static void Install() {
    Calls() = 0;
    auto& s = quillane::WorldServices();
    s.CallSceneScript = [](const char*, const char* f) { return std::string(f) == "Pick"; };
    s.CallHotspotScript = [](const char*, const char*, const base::Variant&) {
      ++Calls();
      base::Variant v;
      v.set_string(Answer().c_str());
      return v;
    };
  }
};

TEST_F(AnimChannel, NamesPickClipsAndAlonePairOfBracketsIsAClipName) {
  cl_AnimChannel c;
  EXPECT_TRUE(c.Play(*m_character, "walk", false));
  EXPECT_EQ(c.GetClip(), Clip("walk"));
  EXPECT_FLOAT_EQ(c.GetClipLength(), 1.0f);

  EXPECT_TRUE(c.Play(*m_character, "()", false));
  EXPECT_EQ(c.GetClip(), Clip("idle"));  // the actor's fall-back
  EXPECT_EQ(m_log->count("Actor odo: anim () not found, using idle."), 1) << m_log->text("\n");
  EXPECT_EQ(m_log->count("does not exist"), 0);

  EXPECT_TRUE(c.Play(*m_character, "", false));
  EXPECT_EQ(c.GetClip(), nullptr);
  EXPECT_FLOAT_EQ(c.GetClipLength(), 0.0f);
}

TEST_F(AnimChannel, ACrossFadeLastsAThirdOfASecondButNotBeforeTheFirstUpdate) {
  cl_AnimChannel fresh;
  fresh.crossFade = 1;
  fresh.Play(*m_character, "idle", false);
  fresh.Play(*m_character, "walk", true);
  EXPECT_FALSE(fresh.IsFading());

  cl_AnimChannel c;
  c.crossFade = 1;
  c.Play(*m_character, "idle", false);
  c.Update(*m_character, 0.01f);
  c.Play(*m_character, "walk", true);
  ASSERT_TRUE(c.IsFading());
  // At the start of the fade the pose is still the old clip's.
  base::cl_Pose pose(28), idle(28);
  idle.Set(Clip("idle"), 0.01f);
  c.ApplyBase(pose);
  EXPECT_TRUE(pose[4].rotation.is_equal(idle[4].rotation, 1e-4f));
  c.Update(*m_character, 0.33f);
  EXPECT_TRUE(c.IsFading());
  c.Update(*m_character, 0.004f);
  EXPECT_FALSE(c.IsFading());

  // Without crossFade (the walk channel) a switch is immediate.
  cl_AnimChannel plain;
  plain.Play(*m_character, "idle", false);
  plain.Update(*m_character, 0.01f);
  plain.Play(*m_character, "walk", true);
  EXPECT_FALSE(plain.IsFading());
}

TEST_F(AnimChannel, AnUpdatePastTheEndWrapsOnceAndChoosesOnce) {
  st_Chooser::Install();
  st_Chooser::Answer() = "idle";
  cl_AnimChannel c;
  ASSERT_TRUE(c.Play(*m_character, "Pick()", false));
  EXPECT_EQ(st_Chooser::Calls(), 1);
  EXPECT_EQ(c.GetClip(), Clip("idle"));  // 2.0 s
  c.Update(*m_character, 2.5f);
  EXPECT_FLOAT_EQ(c.timer, 0.5f);
  EXPECT_EQ(st_Chooser::Calls(), 2);
  c.Update(*m_character, 1.0f);
  EXPECT_EQ(st_Chooser::Calls(), 2);

  // A plain clip loops without asking anyone.
  cl_AnimChannel loop;
  loop.Play(*m_character, "walk", false);
  loop.Update(*m_character, 1.25f);
  EXPECT_FLOAT_EQ(loop.timer, 0.25f);
  EXPECT_EQ(st_Chooser::Calls(), 2);
}

TEST_F(AnimChannel, WithoutAClipEveryUpdateChoosesAgain) {
  st_Chooser::Install();
  st_Chooser::Answer() = "";
  cl_AnimChannel c;
  EXPECT_FALSE(c.Play(*m_character, "Pick()", false));
  for (int i = 0; i < 3; ++i) c.Update(*m_character, 0.1f);
  EXPECT_EQ(st_Chooser::Calls(), 4);
  st_Chooser::Answer() = "walk";
  c.Update(*m_character, 0.1f);
  EXPECT_EQ(c.GetClip(), Clip("walk"));
}

TEST_F(AnimChannel, TheLayerWeightMovesAtItsSpeedAndLandsOnTheTarget) {
  cl_AnimChannel c;
  c.bias = 0.25f;
  c.targetBias = 1.0f;
  c.biasSpeed = 1.5f;
  c.Update(*m_character, 0.25f);
  EXPECT_FLOAT_EQ(c.bias, 0.625f);
  c.Update(*m_character, 0.25f);
  EXPECT_FLOAT_EQ(c.bias, 1.0f);
  c.Update(*m_character, 0.5f);
  EXPECT_FLOAT_EQ(c.bias, 1.0f);
  c.targetBias = 0.0f;
  c.Update(*m_character, 0.5f);
  EXPECT_FLOAT_EQ(c.bias, 0.25f);
}

TEST_F(AnimChannel, AnOverlayBlendsByItsWeight) {
  cl_AnimChannel walk;
  walk.Play(*m_character, "walk", false);
  walk.timer = 0.25f;
  base::cl_Pose walkPose(28), idlePose(28), pose(28), scratch;
  walkPose.Set(Clip("walk"), 0.25f);
  idlePose.Set(Clip("idle"), 0.0f);
  for (float bias : {0.0f, 1.0f, 0.5f}) {
    SCOPED_TRACE(bias);
    pose.Set(Clip("idle"), 0.0f);
    pose.SetWeights(1.0f);
    walk.bias = bias;
    walk.ApplyOverlay(pose, scratch);
    const base::cl_Pose& expected = bias == 0.0f ? idlePose : walkPose;
    const int thigh = 22;
    if (bias == 0.5f) {
      EXPECT_TRUE(pose[thigh].rotation.is_equal(idlePose[thigh].rotation.slerp(walkPose[thigh].rotation, 0.5f), 1e-3f));
    } else {
      EXPECT_TRUE(pose[thigh].rotation.is_equal(expected[thigh].rotation, 1e-4f));
    }
  }
}

// The dialog script of the character, compiled by the script language and asked through the
// entries the session fills.
class DialogScriptChannel : public AnimChannel {
 protected:
  void SetUp() override {
    AnimChannel::SetUp();
    if (IsSkipped()) return;
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::SetCallbacks([](const char* text) { base::sys::Output("%s", text); }, nullptr);
    m_dir.write("Dialogs/Odo.lua",
                "function ChooseIdle(name)\n"
                "  if name == \"Odo\" then\n"
                "    return \"talk_idle\"\n"
                "  end\n"
                "  return \"idle\"\n"
                "end\n");
    auto& s = quillane::WorldServices();
    s.CallSceneScript = [](const char* character, const char* f) {
      return KRX::HasFunction(("Dialogs/" + std::string(character) + ".lua").c_str(), f);
    };
    s.CallHotspotScript = [](const char* character, const char* f, const base::Variant& arguments) {
      base::Variant result;
      KRX::tRefPtr<KRX::Thread> t(new KRX::Thread());
      if (!t->LoadModule(("Dialogs/" + std::string(character) + ".lua").c_str())) return result;
      KRX::Var argument(arguments.get_string());
      if (t->Start(f, false, &argument, 1) && t->GetReturnValue().GetString())
        result.set_string(t->GetReturnValue().GetString());
      return result;
    };
  }
  void TearDown() override {
    KRX::ScriptSystem::Shutdown();
    AnimChannel::TearDown();
  }
};

TEST_F(DialogScriptChannel, TheScriptNamesTheClipAndAMissingFunctionKeepsIt) {
  cl_AnimChannel c;
  ASSERT_TRUE(c.Play(*m_character, "ChooseIdle()", false)) << m_log->text("\n");
  EXPECT_EQ(c.GetClip(), Clip("talk_idle"));
  EXPECT_EQ(c.GetAnimName(), "talk_idle");

  EXPECT_TRUE(c.Play(*m_character, "Juggle()", false));
  EXPECT_EQ(m_log->count("function Juggle for Odo does not exist."), 1) << m_log->text("\n");
  EXPECT_EQ(c.GetClip(), Clip("talk_idle"));
  // At its next wrap the channel asks again, and again finds nothing.
  c.Update(*m_character, c.GetClipLength() + 0.01f);
  EXPECT_EQ(m_log->count("function Juggle for Odo does not exist."), 2);
}

}  // namespace
}  // namespace actortest
