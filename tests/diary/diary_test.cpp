// The diary as the session and the scripts use it: entries added by script calls and the pages
// built from them, opening after a new entry (its spread, the bookmark, the reading aloud),
// presentation mode, completion events, the saved state through a game-state Variant (also a
// damaged one), page textures after a device loss, and a picture of an open spread mid-turn.
#include <algorithm>
#include <string>
#include <vector>

#include "DiaryFixture.h"
#include "base/app/KeyCode.h"
#include "base/data/VariantTools.h"
#include "graphics/draw/Draw.h"
#include "platform/gpu/Device.h"
#include "quillane/diary/DiaryPages.h"
#include "quillane/diary/DiaryServices.h"
#include "sound/Sfx.h"
#include "support/GoldenImage.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace diarytest {
namespace {

int Type(const cl_HUDBookPage* page) {
  if (dynamic_cast<const cl_QuestPage*>(page)) return DIARY_QUEST_PAGE;
  int type = -1;  // blank
  page->GetDescription().get_attribute_int("type", type);
  return type;
}

std::string Words(int count, const char* word) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(word) + " ";
  return text;
}

int Attribute(const base::Variant* v, const char* name) {
  int value = -99;
  if (v) v->get_attribute_int(name, value);
  return value;
}

// What the session's stand-ins saw.
struct st_SessionLog {
  std::vector<std::string> calls;
  bool hasBar = true;
};
st_SessionLog* g_session = nullptr;

class DiaryBook : public DiaryTest {
 protected:
  void SetUp() override {
    DiaryTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    g_session = &m_session;
    DiaryServices().SetJournalBlink = [](bool on) {
      g_session->calls.push_back(on ? "blink" : "noblink");
      return g_session->hasBar;
    };
    DiaryServices().ShowInterfaceBar = [](bool show) { g_session->calls.push_back(show ? "bar" : "nobar"); };
    DiaryServices().GetMissionValue = [](const char* name) { return static_cast<int>(std::string(name).size()); };
    m_diary = std::make_unique<cl_Diary>();
  }
  void TearDown() override {
    if (m_inFrame) EndFrame();
    m_diary.reset();
    g_session = nullptr;
    DiaryTest::TearDown();
  }
  // A section with a chapter holding a mission with quests, a long text and a chapter end; the
  // outro and the score page at the top level.
  void AddStory() {
    m_section = m_diary->AddSection("Harbour", "tab_one", 120, true);
    m_chapter = m_diary->AddChapter(m_section);
    m_mission = m_diary->AddMission(m_chapter, "Catch the ferry", "Odo stamps the pass after two things.");
    for (int i = 0; i < 14; ++i) m_diary->AddQuest(m_mission, Words(12, "quest").c_str(), i % 3 == 0);
    m_text = m_diary->AddText(m_chapter, Words(900, "harbour").c_str());
    m_diary->AddChapterEnd(m_chapter, "Part one", "The ferry leaves.", "");
    m_diary->AddOutro(0, "The end", "Quillane caught ", "the ferry.", 3, 7, "");
    m_diary->AddScore(0);
  }
  void OpenAndShow(bool jump, bool presentation = false, i_Event* event = nullptr) {
    m_diary->Open(true, jump, presentation, event);
    ASSERT_TRUE(UpdateUntilShown(*m_diary));
    m_diary->Update(0.01f);  // the reading starts once the book is fully shown
  }

  std::unique_ptr<cl_Diary> m_diary;
  st_SessionLog m_session;
  int m_section = 0, m_chapter = 0, m_mission = 0, m_text = 0;
};

TEST_F(DiaryBook, IdsStartAtOneAndAnUnknownParentFails) {
  EXPECT_EQ(m_diary->AddChapter(0), 1);
  EXPECT_EQ(m_diary->AddText(1, "a"), 2);
  EXPECT_EQ(m_diary->AddText(-1, "lost"), -1);
  EXPECT_EQ(m_diary->AddText(99, "lost"), -1);
  EXPECT_EQ(m_diary->AddText(0, "top"), 5);  // the failed ones used their ids up
  EXPECT_EQ(m_diary->GetNewestEntry(), 5);
  EXPECT_EQ(m_diary->AddSection("S", "", 0, false), 6);
  const base::Variant& root = m_diary->GetEntries();
  ASSERT_EQ(root.size(), 3);
  EXPECT_STREQ(root[2].get_label(), "Section");
  EXPECT_TRUE(m_diary->AppendText(2, "b"));
  EXPECT_TRUE(m_diary->AppendText(2, "c"));
  EXPECT_FALSE(m_diary->AppendText(42, "d"));
  base::Variant* text = m_diary->FindEntry(const_cast<base::Variant&>(root), 2);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(Attribute(text, "text_cnt"), 2);
  EXPECT_STREQ(base::get_string(text->get_attribute("text2")), "c");
  EXPECT_EQ(m_diary->FindEntry(const_cast<base::Variant&>(root), 7), nullptr);  // not given yet
}

TEST_F(DiaryBook, ScriptedEntriesGiveTheExpectedPages) {
  AddStory();
  m_diary->Update(0.0f);
  const int count = m_diary->GetPageCount();
  ASSERT_GT(count, 10);
  std::vector<int> types;
  for (int i = 0; i < count; ++i) types.push_back(Type(m_diary->GetPage(i)));
  // Page 0 pads the section; its tab leads to the mission on page 1, a left page.
  EXPECT_EQ(types[0], -1);
  EXPECT_EQ(types[1], DIARY_MISSION);
  ASSERT_EQ(m_diary->GetTabCount(), 1);
  EXPECT_EQ(m_diary->GetTabPage(0), 1);
  // The quests fill two quest pages, each ending above y 500.
  EXPECT_EQ(types[2], DIARY_QUEST_PAGE);
  EXPECT_EQ(types[3], DIARY_QUEST_PAGE);
  size_t quests = 0;
  for (int i : {2, 3}) {
    const auto* page = dynamic_cast<const cl_QuestPage*>(m_diary->GetPage(i));
    ASSERT_FALSE(page->GetRows().empty());
    for (const auto& row : page->GetRows()) EXPECT_LE(row.y + row.height, cl_QuestPage::kQuestAreaBottom);
    quests += page->GetRows().size();
  }
  EXPECT_EQ(quests, 14u);
  // The long text goes on over several pages, each continuing where the one before stopped.
  int textPages = 0, lastStart = -1;
  for (int i = 4; i < count && types[static_cast<size_t>(i)] == DIARY_TEXT; ++i, ++textPages) {
    const int start = Attribute(&m_diary->GetPage(i)->GetDescription(), "text_idx");
    EXPECT_GT(start, lastStart);
    lastStart = start;
  }
  EXPECT_GE(textPages, 3);
  // Chapter end, outro and score page each begin on a left page: picture, then text.
  for (int type : {DIARY_PICTURE, DIARY_ADVANCEMENT}) {
    for (int i = 0; i < count; ++i)
      if (types[static_cast<size_t>(i)] == type) {
        EXPECT_EQ(i % 2, 1) << "type " << type << " on page " << i;
      }
  }
  EXPECT_EQ(std::count(types.begin(), types.end(), DIARY_PICTURE), 2);
  EXPECT_EQ(types.back(), DIARY_SCORE);
  EXPECT_EQ(types[static_cast<size_t>(count - 2)], DIARY_ADVANCEMENT);
  // The score page's plate carries its title, as the other headers do.
  std::vector<gfx::st_DrawnText> drawn;
  gfx::TraceDrawnText(&drawn);
  m_diary->GetPage(count - 1)->DrawContent();
  gfx::TraceDrawnText(nullptr);
  ASSERT_FALSE(drawn.empty());
  EXPECT_NE(drawn.front().text.find("Score"), std::string::npos) << drawn.front().text;
  EXPECT_LT(drawn.front().top, 80.0f);  // on the plate, above the first score line
  EXPECT_EQ(m_diary->GetLastPage(), count - 1);
  // Entries remember their first page.
  EXPECT_EQ(Attribute(m_diary->FindEntry(const_cast<base::Variant&>(m_diary->GetEntries()), m_text), "page"), 4);
}

TEST_F(DiaryBook, AQuestPageUnderTheRootEndsTheBuildAndATooTallQuestStandsAlone) {
  const int section = m_diary->AddSection("S", "", 0, true);
  m_diary->AddText(section, "before");
  // A quest taller than a whole page, then two ordinary ones.
  m_diary->AddQuest(0, Words(1500, "endless").c_str(), false);
  m_diary->AddQuest(0, "short one", false);
  m_diary->AddQuest(0, "short two", true);
  m_diary->AddText(0, "never shown");
  m_diary->Update(0.0f);
  ASSERT_EQ(m_diary->GetPageCount(), 4);  // pad, text, the tall quest, the two short ones
  const auto* tall = dynamic_cast<const cl_QuestPage*>(m_diary->GetPage(2));
  const auto* rest = dynamic_cast<const cl_QuestPage*>(m_diary->GetPage(3));
  ASSERT_TRUE(tall && rest);
  ASSERT_EQ(tall->GetRows().size(), 1u);
  EXPECT_LE(tall->GetRows()[0].y + tall->GetRows()[0].height, cl_QuestPage::kQuestAreaBottom);
  EXPECT_EQ(rest->GetRows().size(), 2u);
}

TEST_F(DiaryBook, OpeningAfterANewEntryShowsItsSpreadWithTheBookmarkAndReadsItAloud) {
  AddStory();
  const std::string key = SpokenKey(1, 0.5);
  const int spoken = m_diary->AddText(m_chapter, key.c_str());
  OpenAndShow(true);
  const base::Variant* entry = m_diary->FindEntry(const_cast<base::Variant&>(m_diary->GetEntries()), spoken);
  const int page = Attribute(entry, "page");
  ASSERT_GT(page, 4);
  EXPECT_EQ(m_diary->GetCurrentPage(), cl_HUDBook::SpreadOf(page));
  EXPECT_EQ(m_diary->GetBookmark(), cl_HUDBook::SpreadOf(page));
  EXPECT_TRUE(m_diary->IsVoicePlaying());
  EXPECT_TRUE(sfx::IsSoundPlaying("speech"));
  EXPECT_EQ(m_session.calls.front(), "blink");  // the quests made the journal blink ...
  EXPECT_NE(std::find(m_session.calls.begin(), m_session.calls.end(), "noblink"), m_session.calls.end());  // ... opening stopped it

  // Closed and opened again without new entries: the spread the player left stays.
  m_diary->BrowseToPage(1, 0.0f);
  m_diary->Open(false, false, false, nullptr);
  ASSERT_TRUE(UpdateUntilHidden(*m_diary));
  EXPECT_FALSE(m_diary->IsVoicePlaying());
  OpenAndShow(true);
  EXPECT_EQ(m_diary->GetCurrentPage(), 1);
  EXPECT_FALSE(m_diary->IsVoicePlaying());
  m_diary->Open(false, false, false, nullptr);
  ASSERT_TRUE(UpdateUntilHidden(*m_diary));
  // A new entry: the next opening goes there.
  const int later = m_diary->AddText(m_chapter, "Later");
  OpenAndShow(true);
  const int laterPage = Attribute(m_diary->FindEntry(const_cast<base::Variant&>(m_diary->GetEntries()), later), "page");
  EXPECT_EQ(m_diary->GetCurrentPage(), cl_HUDBook::SpreadOf(laterPage));
}

TEST_F(DiaryBook, PresentationIgnoresInputAndClosesWhenTheReadingEnds) {
  const int chapter = m_diary->AddChapter(0);
  m_diary->AddText(chapter, SpokenKey(2, 0.3).c_str());
  OpenAndShow(true, true);
  ASSERT_TRUE(m_diary->IsVoicePlaying());
  EXPECT_NE(std::find(m_session.calls.begin(), m_session.calls.end(), "nobar"), m_session.calls.end());
  EXPECT_FALSE(Input(*m_diary, base::ICMD::KEY_PRESSED, 0, 0, base::key::Escape));
  EXPECT_FALSE(Input(*m_diary, base::ICMD::RIGHT_UP, 5, 5));
  EXPECT_FALSE(Input(*m_diary, base::ICMD::LEFT_DOWN, 5, 5));
  m_diary->Update(0.05f);
  EXPECT_EQ(m_diary->GetFadeState(), cl_HUDBook::FADE_SHOWN);
  m_diary->OpenJournal();  // the journal button does not interrupt a presentation
  EXPECT_TRUE(m_diary->IsPresentation());
  MixSound(0.5f);
  m_diary->Update(0.05f);
  EXPECT_EQ(m_diary->GetFadeState(), cl_HUDBook::FADE_OUT);
  ASSERT_TRUE(UpdateUntilHidden(*m_diary));
  EXPECT_FALSE(m_diary->IsPresentation());
  EXPECT_EQ(m_session.calls.back(), "bar");
}

TEST_F(DiaryBook, EveryCompletionEventRunsOnceAndNoneIsLost) {
  m_diary->AddChapter(0);
  st_EventCounts first, second, third;
  m_diary->Open(true, false, false, new cl_CountingEvent(first));
  EXPECT_TRUE(m_diary->HasCompletionEvent());
  // Already shown: nothing will close for the second one, so it runs now.
  m_diary->Open(true, false, false, new cl_CountingEvent(second));
  EXPECT_EQ(second.executed, 1);
  EXPECT_EQ(second.deleted, 1);
  EXPECT_EQ(first.executed, 0);
  ASSERT_TRUE(UpdateUntilShown(*m_diary));
  EXPECT_TRUE(Input(*m_diary, base::ICMD::KEY_PRESSED, 0, 0, 74));  // 'J' closes
  EXPECT_EQ(first.executed, 1);
  EXPECT_EQ(first.deleted, 1);
  // Asked back while it fades out (a script showing the next page at once): it fades in again
  // and holds the new event until the player closes it.
  st_EventCounts again;
  m_diary->Update(0.05f);
  ASSERT_EQ(m_diary->GetFadeState(), cl_HUDBook::FADE_OUT);
  m_diary->Open(true, false, false, new cl_CountingEvent(again));
  EXPECT_EQ(again.executed, 0);
  ASSERT_TRUE(UpdateUntilShown(*m_diary));
  EXPECT_TRUE(Input(*m_diary, base::ICMD::KEY_PRESSED, 0, 0, base::key::Escape));  // Escape closes
  EXPECT_EQ(again.executed, 1);
  ASSERT_TRUE(UpdateUntilHidden(*m_diary));
  // Hidden and asked to hide: the event runs at once as well.
  m_diary->Open(false, false, false, new cl_CountingEvent(third));
  EXPECT_EQ(third.executed, 1);
  EXPECT_EQ(third.deleted, 1);
  // Open while one is held only through a close that did not happen: the held one goes first.
  st_EventCounts held, next;
  m_diary->Open(true, false, false, new cl_CountingEvent(held));
  m_diary->Show(false);  // hidden by the book alone (no event run)
  ASSERT_TRUE(UpdateUntilHidden(*m_diary));
  m_diary->Open(true, false, false, new cl_CountingEvent(next));
  EXPECT_EQ(held.executed, 1);
  EXPECT_EQ(next.executed, 0);
  m_diary.reset();
  EXPECT_EQ(next.deleted, 1);
}

TEST_F(DiaryBook, StateRoundTripsThroughTheGameState) {
  AddStory();
  m_diary->Update(0.0f);
  m_diary->BrowseToPage(5, 0.0f);
  m_diary->SetBookmark(3);
  base::Variant state;
  state.set_element("GameState");
  state.add_element("Missions").attribute("GameTime")->set_float(12.5f);
  state.add_element("Diary");  // an old copy is replaced, not doubled
  ASSERT_TRUE(m_diary->WriteState(state));
  ASSERT_EQ(state.size(), 2);
  const base::Variant* saved = state.get_element("Diary");
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(Attribute(saved, "entry_id"), m_diary->GetNextEntryId());
  EXPECT_EQ(Attribute(saved, "current_page"), 5);
  EXPECT_EQ(Attribute(saved, "bookmark_page"), 3);
  EXPECT_EQ(Attribute(saved, "page_quantity"), m_diary->GetPageCount() - 1);
  EXPECT_EQ(Attribute(saved, "button_blink"), 1);

  cl_Diary loaded;
  m_session.calls.clear();
  ASSERT_TRUE(loaded.ReadState(state));
  EXPECT_EQ(state.get_element("Diary"), nullptr);  // moved out
  EXPECT_EQ(loaded.GetCurrentPage(), 5);
  EXPECT_EQ(loaded.GetBookmark(), 3);
  EXPECT_EQ(loaded.GetLastPage(), m_diary->GetLastPage());
  EXPECT_EQ(loaded.GetNextEntryId(), m_diary->GetNextEntryId());
  EXPECT_EQ(m_session.calls, std::vector<std::string>{"blink"});
  loaded.Update(0.0f);
  EXPECT_EQ(loaded.GetPageCount(), m_diary->GetPageCount());
  EXPECT_EQ(loaded.GetCurrentPage(), 5);
  EXPECT_EQ(loaded.AddText(m_chapter, "after the load"), m_diary->GetNextEntryId());
}

TEST_F(DiaryBook, ADamagedStateIsMadeSafe) {
  base::Variant state;
  state.set_element("GameState");
  base::Variant& diary = state.add_element("Diary");
  diary.attribute("id")->set_int(7);  // the root must stay 0
  diary.attribute("page_quantity")->set_int(1000000);
  diary.attribute("current_page")->set_int(999999);
  diary.attribute("bookmark_page")->set_int(5000);
  diary.attribute("current_entry")->set_int(-3);
  base::Variant& chapter = diary.add_element("Chapter");
  chapter.attribute("type")->set_int(DIARY_CHAPTER);
  chapter.attribute("id")->set_int(4);
  for (int id : {4, 9, 9}) {  // a repeated id, twice
    base::Variant& text = chapter.add_element("Text");
    text.attribute("type")->set_int(DIARY_TEXT);
    text.attribute("id")->set_int(id);
    text.attribute("text0")->set_string("hello");
    text.attribute("text_cnt")->set_int(1000000);
  }
  base::Variant& noId = chapter.add_element("Text");
  noId.attribute("type")->set_int(DIARY_TEXT);
  noId.attribute("text0")->set_string("anonymous");
  ASSERT_TRUE(m_diary->ReadState(state));
  // Ids: 4 and 9 keep their first entries, the others follow the largest.
  EXPECT_EQ(m_diary->GetNextEntryId(), 13);
  EXPECT_EQ(m_diary->GetNewestEntry(), 0);
  const base::Variant& root = m_diary->GetEntries();
  EXPECT_EQ(Attribute(&root, "id"), 0);
  std::vector<int> ids;
  for (int i = 0; i < root[0].size(); ++i) ids.push_back(Attribute(&root[0][i], "id"));
  EXPECT_EQ(ids, (std::vector<int>{10, 9, 11, 12}));
  EXPECT_EQ(Attribute(&root[0][1], "text_cnt"), 0);
  m_diary->Update(0.0f);
  EXPECT_EQ(m_diary->GetPageCount(), 5);  // pad and four texts
  EXPECT_EQ(m_diary->GetLastPage(), 4);
  EXPECT_EQ(m_diary->GetCurrentPage(), 3);
  EXPECT_EQ(m_diary->GetBookmark(), 3);
  EXPECT_EQ(m_diary->AddText(0, "next"), 13);
  EXPECT_TRUE(m_diary->AppendText(9, "more"));
  EXPECT_STREQ(base::get_string(m_diary->FindEntry(const_cast<base::Variant&>(root), 9)->get_attribute("text1")), "more");
}

TEST_F(DiaryBook, EveryPageIsDrawnAgainAfterADeviceLoss) {
  const int chapter = m_diary->AddChapter(0);
  m_diary->AddText(chapter, "first");
  m_diary->AddText(chapter, "second");
  OpenAndShow(false);
  Frame(*m_diary);
  ASSERT_TRUE(m_inFrame);
  cl_HUDBookPage* left = m_diary->GetPage(1);
  cl_HUDBookPage* right = m_diary->GetPage(0);
  m_diary->BrowseToPage(1, 0.0f);
  Frame(*m_diary);
  EXPECT_EQ(left->GetDrawCount(), 1);
  EXPECT_EQ(right->GetDrawCount(), 1);
  Frame(*m_diary);
  EXPECT_EQ(left->GetDrawCount(), 1);  // reused, not drawn again
  win32dx9::cl_DX9GraphicsDevice::GetInstance()->GetDevice()->SimulateDeviceLoss();
  Frame(*m_diary);  // its Present reports the loss; the next frame resets
  for (int i = 0; i < 5 && (!m_inFrame || left->GetDrawCount() == 1); ++i) Frame(*m_diary);
  ASSERT_TRUE(m_inFrame);
  EXPECT_EQ(left->GetDrawCount(), 2);
  EXPECT_TRUE(left->HasTexture());
}

TEST_F(DiaryBook, PictureOfAnOpenSpreadWithAPageHalfTurned) {
  AddStory();
  OpenAndShow(false);
  m_diary->BrowseToPage(1, 0.0f);
  // The bottom-right corner dragged half way to the spine.
  Input(*m_diary, base::ICMD::MOUSE_MOVE, 900, 650);
  m_diary->Update(0.03f);
  ASSERT_EQ(m_diary->GetTurnState(), cl_HUDBook::TURN_PEEKING);
  Input(*m_diary, base::ICMD::LEFT_DOWN, 900, 650);
  for (int i = 0; i < 40; ++i) {
    Input(*m_diary, base::ICMD::MOUSE_MOVE, 640, 560);
    m_diary->Update(0.03f);
  }
  Frame(*m_diary, 0.03f);
  ASSERT_TRUE(m_inFrame);
  EXPECT_GT(m_diary->GetFold().m_triangleCount, 0u);
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/open_spread_turning.png",
                                            QuarterShot(), kShotW, kShotH));
}

}  // namespace
}  // namespace diarytest
