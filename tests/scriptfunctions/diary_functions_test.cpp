// The diary script functions on a running game: entries added under script keys and found again
// through them, the ids kept in the game state, the quest sound and the voice-over samples.
#include <gtest/gtest.h>

#include <string>

#include "game_fixture.h"
#include "quillane/diary/Diary.h"
#include "quillane/diary/PageText.h"
#include "quillane/bindings/DiaryFunctions.h"
#include "sound/Sfx.h"

namespace scriptfunctionstest {
namespace {

class DiaryScript : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(
        Start("function Story()\n"
              "  DiaryAddSection(\"#s_text\", \"pic_section\", 120, true, \"Startup\")\n"
              "  DiaryAddChapter(\"Startup\", \"Chapter1\")\n"
              "  DiaryAddMission(\"Chapter1\", \"#m_head\", \"#m_text\", \"Ferry\")\n"
              "  DiaryAddQuest(\"Ferry\", \"#q_ledger\", false, \"Ledger\")\n"
              "  DiaryAddText(\"Chapter1\", \"#t_text\", \"Note\")\n"
              "  DiaryAddChapterEnd(\"Chapter1\", \"#e_head\", \"#e_text\", \"pic_end\", \"End1\")\n"
              "  DiaryAddOutro(\"Chapter1\", \"#o_head\", \"#o_one\", \"#o_two\", 40, 60, \"pic_outro\", \"Outro\")\n"
              "  return DiaryAddScore(\"Chapter1\", \"Score\")\n"
              "end\n"
              "function Add(parent, key)\n"
              "  return DiaryAddChapter(parent, key)\n"
              "end\n"
              "function Quest(parent)\n"
              "  return DiaryAddQuest(parent, \"#q\", false, \"Q\")\n"
              "end\n"
              "function Append(key)\n"
              "  DiaryAppendText(key, \"#more\")\n"
              "end\n"
              "function Solve(key)\n"
              "  DiarySolveQuest(key, true)\n"
              "end\n"
              "function Voice(key)\n"
              "  return DiaryPlayVoiceOverSample(key)\n"
              "end\n"
              "function Nothing()\n"
              "  return DiaryAddSection()\n"
              "end\n"));
    m_diary = m_session->GetDiary();
    ASSERT_NE(m_diary, nullptr);
  }

  base::Variant Args(const char* a, const char* b = nullptr) {
    base::Variant args;
    args.set_array(b ? 2 : 1);
    args[0].set_string(a);
    if (b) args[1].set_string(b);
    return args;
  }
  int Stored(const char* key) {
    int id = -1;
    const base::Variant* missions = State().get_element("Missions");
    return missions && missions->get_attribute_int(key, id) ? id : -99;
  }
  // The label of the entry with that id and the id of the entry that holds it (-1: the root).
  std::pair<std::string, int> Entry(int id) {
    base::Variant& root = const_cast<base::Variant&>(m_diary->GetEntries());
    const base::Variant* entry = m_diary->FindEntry(root, id);
    if (!entry) return {"none", -2};
    return {entry->get_label(), Holder(root, id, -1)};
  }
  static int Holder(const base::Variant& element, int id, int holder) {
    int own = holder;
    element.get_attribute_int("id", own);
    for (int i = 0; i < element.size(); ++i) {
      const base::Variant& child = element[i];
      if (!child.is_element()) continue;
      int childId = -1;
      if (child.get_attribute_int("id", childId) && childId == id) return own;
      if (int found = Holder(child, id, own); found != -3) return found;
    }
    return -3;
  }

  cl_Diary* m_diary = nullptr;
};

TEST_F(DiaryScript, EachEntryIsStoredUnderItsKeyAndAddedBelowTheParentTheKeyNames) {
  const int score = Run("Story").get_int();
  ASSERT_GE(score, 0);
  EXPECT_EQ(Stored("Score"), score);
  EXPECT_EQ(Entry(Stored("Startup")).first, "Section");
  const int chapter = Stored("Chapter1");
  EXPECT_EQ(Entry(chapter), std::make_pair(std::string("Chapter"), Stored("Startup")));
  EXPECT_EQ(Entry(Stored("Ferry")), std::make_pair(std::string("Mission"), chapter));
  EXPECT_EQ(Entry(Stored("Ledger")).first, "Quest") << "under the mission's quest page";
  EXPECT_EQ(Entry(Stored("Note")), std::make_pair(std::string("Text"), chapter));
  EXPECT_EQ(Entry(Stored("End1")), std::make_pair(std::string("ChapterEnd"), chapter));
  EXPECT_EQ(Entry(score), std::make_pair(std::string("Scorepage"), chapter));

  // The arguments reach the diary in their places.
  base::Variant& root = const_cast<base::Variant&>(m_diary->GetEntries());
  const base::Variant* section = m_diary->FindEntry(root, Stored("Startup"));
  int y = 0, show = 0;
  EXPECT_TRUE(section->get_attribute_int("y", y) && y == 120);
  EXPECT_TRUE(section->get_attribute_int("show", show) && show == 1);
  const base::Variant* outro = m_diary->FindEntry(root, Stored("Outro"));
  ASSERT_NE(outro, nullptr);
  int points = 0, maxPoints = 0;
  EXPECT_TRUE(outro->get_attribute_int("points", points) && points == 40);
  EXPECT_TRUE(outro->get_attribute_int("max_points", maxPoints) && maxPoints == 60);
  EXPECT_FALSE(Logged("wrong parameter"));
}

TEST_F(DiaryScript, AMissingOrRefusedParentStoresNothingWhileAStoredZeroIsTheRoot) {
  const int entries = m_diary->GetNextEntryId();
  EXPECT_EQ(Run("Add", Args("Nowhere", "Lost")).get_int(), -1);
  EXPECT_EQ(Stored("Lost"), -99) << "no attribute made";
  EXPECT_EQ(m_diary->GetNextEntryId(), entries) << "the diary was not asked";
  EXPECT_EQ(quillane::GetDiaryEntryId("Nowhere"), -1);

  quillane::SetDiaryEntryId("Root", 0);
  const int chapter = Run("Add", Args("Root", "Top")).get_int();
  ASSERT_GE(chapter, 0);
  EXPECT_EQ(Entry(chapter), std::make_pair(std::string("Chapter"), 0));

  quillane::SetDiaryEntryId("Negative", -4);
  EXPECT_EQ(Run("Add", Args("Negative", "Top")).get_int(), -1);
  EXPECT_EQ(Stored("Top"), chapter) << "a failed add leaves the key's old id";
  quillane::SetDiaryEntryId("Stale", 9999);  // stored, but no entry of the diary has it
  EXPECT_EQ(Run("Add", Args("Stale", "Top")).get_int(), -1);
  EXPECT_EQ(Stored("Top"), chapter) << "an add the diary refuses leaves the key's old id";
  EXPECT_FALSE(Logged("wrong parameter")) << "a missing parent is no script error";
}

TEST_F(DiaryScript, AKeyUsedTwiceNamesTheSecondEntryAndTheFirstStaysInTheDiary) {
  Run("Story");
  const int first = Run("Add", Args("Startup", "Again")).get_int();
  const int second = Run("Add", Args("Startup", "Again")).get_int();
  ASSERT_GE(first, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(Stored("Again"), second);
  EXPECT_EQ(Entry(first).first, "Chapter");
  // Keys may name a path below "Missions".
  const int nested = Run("Add", Args("Startup", "Odo/Chapter")).get_int();
  EXPECT_GE(nested, 0);
  EXPECT_EQ(quillane::GetDiaryEntryId("Odo/Chapter"), nested);
}

TEST_F(DiaryScript, TheQuestSoundPlaysOnlyForAQuestThatWasAdded) {
  Run("Story");
  sfx::StopSound("diaryquest", 0.0f);
  m_sound->Update(0.1f);
  EXPECT_EQ(Run("Quest", Args("Nowhere")).get_int(), -1);
  EXPECT_FALSE(sfx::IsSoundPlaying("diaryquest"));
  quillane::SetDiaryEntryId("Stale", 9999);  // stored, but no entry of the diary has it
  EXPECT_EQ(Run("Quest", Args("Stale")).get_int(), -1);
  EXPECT_FALSE(sfx::IsSoundPlaying("diaryquest"));
  EXPECT_GE(Run("Quest", Args("Ferry")).get_int(), 0);
  EXPECT_TRUE(sfx::IsSoundPlaying("diaryquest"));
  const sfx::st_PlayParams params = sfx::GetSoundParams("diaryquest");
  EXPECT_TRUE(params.ignoreFx);
  EXPECT_FALSE(params.loop);
}

TEST_F(DiaryScript, AppendingAndSolvingReachOnlyEntriesWithAStoredId) {
  Run("Story");
  base::Variant& root = const_cast<base::Variant&>(m_diary->GetEntries());
  Run("Append", Args("Note"));
  Run("Append", Args("Unknown"));
  base::tString<base::BaseString> text;
  EXPECT_TRUE(m_diary->FindEntry(root, Stored("Note"))->get_attribute_string("text1", text));
  EXPECT_EQ(std::string(text.c_str()), "#more");

  Run("Solve", Args("Ledger"));
  Run("Solve", Args("Unknown"));
  int solved = 0;
  EXPECT_TRUE(m_diary->FindEntry(root, Stored("Ledger"))->get_attribute_int("solved", solved));
  EXPECT_EQ(solved, 1);
  EXPECT_FALSE(Logged("wrong parameter"));
}

// A topic played three times appends its sentence three times: the page holds it once, after
// the mission's own text with a blank between them.
TEST_F(DiaryScript, ASentenceAppendedOnEveryReplayIsOnThePageOnce) {
  Run("Story");
  for (int replay = 0; replay < 3; ++replay) Run("Append", Args("Ferry"));
  const base::Variant* mission = m_diary->FindEntry(const_cast<base::Variant&>(m_diary->GetEntries()), Stored("Ferry"));
  ASSERT_NE(mission, nullptr);
  const std::u16string text = JoinEntryTexts(*mission);
  const std::u16string more = LocalizeKey("#more"), own = LocalizeKey("#m_text");
  EXPECT_EQ(text, own + u" " + more);
}

TEST_F(DiaryScript, AVoiceOverGivesItsLengthAndNoFileGivesZeroAtOnce) {
  const float seconds = Run("Voice", Args(kVoiceKey)).get_float();
  EXPECT_NEAR(seconds, kVoiceSeconds, 0.05);
  EXPECT_TRUE(sfx::IsSoundPlaying("speech"));
  EXPECT_TRUE(sfx::GetSoundParams("speech").ignoreFx);
  sfx::StopSound("speech", 0.0f);
  m_sound->Update(0.1f);
  EXPECT_EQ(Run("Voice", Args("#test0_2")).get_float(), 0.0f) << "a line nobody speaks";
  EXPECT_EQ(Run("Voice", Args("#no_such_key")).get_float(), 0.0f);
  EXPECT_FALSE(sfx::IsSoundPlaying("speech"));
  EXPECT_EQ(m_session->GetActionQueue().GetActionCount(), 0) << "the script is not made to wait";
}

TEST_F(DiaryScript, MissingArgumentsAreReportedInOrderAndTheirDefaultsUsed) {
  const int id = Run("Nothing").get_int();
  EXPECT_GE(id, 0) << "a section needs no parent";
  EXPECT_EQ(Stored("default"), id);
  const std::string log = Log();
  const size_t first = log.find("wrong parameter 1 - 'string' expected.");
  const size_t fifth = log.find("wrong parameter 5 - 'string' expected.");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(fifth, std::string::npos);
  EXPECT_LT(first, fifth);
  EXPECT_NE(log.find("wrong parameter 3 - 'integer' expected."), std::string::npos);
  EXPECT_NE(log.find("wrong parameter 4 - 'boolean' expected."), std::string::npos);
}

}  // namespace
}  // namespace scriptfunctionstest
