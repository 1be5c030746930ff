// The emote table on the demo figure: the list file, request timing, fades and the pose add.
#include "character_test_support.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/EmoteCtrl.h"

namespace {

using charactertest::PoseDistance;
using quillane::cl_EmoteCtrl;

class EmoteTable : public actortest::ActorTest {
 protected:
  void SetUp() override {
    actortest::ActorTest::SetUp();
    if (IsSkipped()) return;
    cl_EmoteCtrl::ForgetEmoteList();
    m_registry = FigureRegistry();
    m_actor = m_registry->FindActor("odo");
    ASSERT_NE(m_actor, nullptr);
  }
  void TearDown() override {
    cl_EmoteCtrl::ForgetEmoteList();
    actortest::ActorTest::TearDown();
  }
  std::unique_ptr<quillane::cl_ActorRegistry> m_registry;
  quillane::cl_ActorDesc* m_actor = nullptr;
};

TEST_F(EmoteTable, DemoListSkipsIncompleteChildrenAndFallsBackToIdle) {
  // The demo's list and one emote whose clip the figure lacks.
  std::string list = m_dir.read("characters/emotes.xml");
  list.insert(list.find("</Emotes>"), "<Emote label=\"wink\" animation=\"emote_wink\" subset=\"face\"/>\n");
  m_dir.write("characters/emotes.xml", list);
  cl_EmoteCtrl emotes(m_actor);
  std::vector<std::string> labels;
  for (const quillane::st_Emote* e : emotes.GetEmotes()) labels.push_back(e->label.c_str());
  // "blank" has no subset attribute and is left out without a message.
  EXPECT_EQ(labels, (std::vector<std::string>{"default", "smile", "frown", "surprise", "wink"}));
  EXPECT_FALSE(m_log->contains("anim emote_surprise not found")) << "the demo figure has every clip of its list";
  EXPECT_TRUE(m_log->contains("anim emote_wink not found, using idle"));
  EXPECT_FALSE(m_log->contains("blank"));
  ASSERT_NE(emotes.FindEmote("frown"), nullptr);
  EXPECT_EQ(emotes.FindEmote("frown")->subset, m_actor->FindSubset("face"));
  EXPECT_EQ(emotes.FindEmote("nothing"), nullptr);

  // The list is read once: a changed file reaches only a table made after ForgetEmoteList.
  m_dir.write("characters/emotes.xml", "<Emotes/>");
  EXPECT_EQ(cl_EmoteCtrl(m_actor).GetEmotes().size(), 5u);
  cl_EmoteCtrl::ForgetEmoteList();
  EXPECT_EQ(cl_EmoteCtrl(m_actor).GetEmotes().size(), 0u);
}

TEST_F(EmoteTable, RequestsFadeAndWaitForTheirDelay) {
  cl_EmoteCtrl emotes(m_actor);
  quillane::st_Emote* smile = emotes.FindEmote("smile");
  ASSERT_NE(smile, nullptr);

  emotes.PlayEmote("smile", 1.0f, 0.5f, 0.0f);
  for (int i = 0; i < 5; ++i) emotes.Update(0.05f);
  EXPECT_NEAR(smile->weight, 0.5f, 1e-5f);
  for (int i = 0; i < 5; ++i) emotes.Update(0.05f);
  EXPECT_FLOAT_EQ(smile->weight, 1.0f);

  // Fade time 0: at once.
  emotes.PlayEmote("frown", 0.8f, 0.0f, 0.0f);
  emotes.Update(0.01f);
  EXPECT_FLOAT_EQ(emotes.FindEmote("frown")->weight, 0.8f);

  // A delay of 1.0 with updates of 0.4 s is met in the third update.
  emotes.PlayEmote("surprise", 1.0f, 0.0f, 1.0f);
  emotes.Update(0.4f);
  emotes.Update(0.4f);
  EXPECT_EQ(emotes.FindEmote("surprise")->weight, 0.0f);
  EXPECT_EQ(emotes.GetPendingCount(), 1u);
  emotes.Update(0.4f);
  EXPECT_EQ(emotes.FindEmote("surprise")->weight, 1.0f);
  EXPECT_EQ(emotes.GetPendingCount(), 0u);

  // "all" fades every emote out over 2 s and leaves that fade time on each.
  emotes.PlayEmote("all", 0.0f, 2.0f, 0.0f);
  emotes.Update(1.0f);
  EXPECT_NEAR(smile->weight, 0.5f, 1e-5f);
  emotes.Update(1.0f);
  for (const quillane::st_Emote* e : emotes.GetEmotes()) {
    EXPECT_EQ(e->weight, 0.0f) << e->label.c_str();
    EXPECT_EQ(e->fadeTime, 2.0f);
  }

  // An unknown label is consumed without effect.
  emotes.PlayEmote("nobody", 1.0f, 0.0f, 0.0f);
  emotes.Update(0.1f);
  EXPECT_EQ(emotes.GetPendingCount(), 0u);
}

TEST_F(EmoteTable, OnlyVisibleWeightsReachThePoseAndDuplicatesShareRequests) {
  cl_EmoteCtrl emotes(m_actor);
  const int n = m_actor->GetSkeleton()->GetNumBones();
  quillane::st_Emote* smile = emotes.FindEmote("smile");
  base::cl_Pose pose(n), fresh(n);

  smile->weight = 0.01f;
  emotes.ApplyPose(pose);
  EXPECT_LT(PoseDistance(pose, fresh), 1e-7f);

  smile->weight = 1.0f;
  emotes.ApplyPose(pose);
  base::cl_Pose expected(n);
  expected.Add(smile->pose, smile->subset, 1.0f);
  EXPECT_LT(PoseDistance(pose, expected), 1e-6f);
  EXPECT_GT(PoseDistance(pose, fresh), 1e-3f);  // the smile moves the face

  // Two records of one label: both exist and both follow a request; FindEmote gives the first.
  emotes.AddEmote("twice", "emote_smile", "face");
  emotes.AddEmote("twice", "emote_frown", "");
  EXPECT_EQ(emotes.GetEmotes().size(), 6u);
  EXPECT_EQ(emotes.FindEmote("twice"), emotes.GetEmotes()[4]);
  EXPECT_EQ(emotes.GetEmotes()[5]->subset, nullptr);
  emotes.PlayEmote("twice", 0.6f, 0.0f, 0.0f);
  emotes.Update(0.0f);
  EXPECT_EQ(emotes.GetEmotes()[4]->weight, 0.6f);
  EXPECT_EQ(emotes.GetEmotes()[5]->weight, 0.6f);
}

}  // namespace
