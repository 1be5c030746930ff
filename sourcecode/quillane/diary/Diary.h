// The player's journal: a book whose pages are built from a tree of entries that the game's
// scripts add as the story goes on (sections, chapters, missions, texts, quest lists, chapter
// ends, the outro and the score page). The tree is the element "Diary"; it travels in the game
// state of a savegame (WriteState, ReadState). Opening the diary after a new entry shows that
// entry's spread with the bookmark and reads its last text aloud; in presentation mode it takes
// no input and closes when the reading ends. Whoever opens it may hand over a completion event,
// executed once when the diary closes. The session owns it and calls Update, Render and
// ProcessInput; what it needs of the session goes through DiaryServices(). Main thread only.
#pragma once

#include <vector>

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/math/Limit.h"
#include "quillane/diary/HUDBook.h"

class i_Event;

class cl_Diary : public cl_HUDBook {
 public:
  static constexpr int kBookWidth = 1024, kBookHeight = 640;
  static constexpr int kMarginX = 110, kMarginY = 39;
  static constexpr int kMaxEntryDepth = 64;  // deeper entries (only a damaged state has them) are not shown

  cl_Diary();  // empty "Diary", not set up, nothing to do
  ~cl_Diary() override;  // a held completion event is deleted unexecuted (its script goes too)

  // The book 1024 x 640 centred in the window, margins 110 and 39, its textures, bookmark spot
  // and images; the root gets id 0. A window too small for it (800 x 600) gets the whole book
  // drawn smaller to fit, with its hit areas. Called on first use by whatever needs it.
  void SetupBook();
  // The book's drawn size against its laid-out size: 1, or less in a window too small for it.
  float GetScale() const { return m_scale; }
  // Where the close button and the score's ribbon are drawn; empty without their pictures.
  base::tRectf GetCloseRect() const { return ImageRect("diary_close", m_closePosition); }
  base::tRectf GetScoreRect() const { return ImageRect("bm_score", m_scorePosition); }
  // Where the section tab i was drawn last; empty when it was not.
  base::tRectf GetTabRect(size_t i) const;
  // show and hidden: opens (sound "opendiary", the journal button stops blinking), keeping the
  // completion event; jumpToNewest shows the newest entry and reads it aloud when something was
  // added since the last build; presentation takes no input and hides the interface bar. Shown
  // and !show: closes (the event is executed). Otherwise nothing changes, and a completion event
  // given is executed at once, so that nobody waits for a diary that will not close for it.
  void Open(bool show, bool jumpToNewest, bool presentation, i_Event* completion);
  // The interface bar's journal button and the 'J' key: Open(true, true, false, none) unless
  // the diary is showing in presentation mode.
  void OpenJournal();

  // ---- entries: each returns the new id, or −1 (the id is used up) when the parent is unknown
  int AddSection(const char* text, const char* picture, int y, bool show);  // under the root
  int AddChapter(int parentId);
  int AddMission(int parentId, const char* header, const char* text);
  int AddQuestPage(int parentId);
  // Under the parent's first "QuestPage" (made when missing); the journal button blinks.
  int AddQuest(int parentId, const char* text, bool solved);
  int AddText(int parentId, const char* text);
  int AddChapterEnd(int parentId, const char* header, const char* text, const char* picture);
  // The page text is text1 followed directly by text2.
  int AddOutro(int parentId, const char* header, const char* text1, const char* text2, int points, int maxPoints,
               const char* picture);
  int AddScore(int parentId);
  // A further text "text<N>" with N = "text_cnt" + 1, which becomes the new "text_cnt", unless
  // the entry holds that text already (then nothing changes); false when no entry has the id.
  bool AppendText(int entryId, const char* text);
  void SetQuestSolved(int entryId, bool solved);  // the tree is rebuilt either way

  // Writes "entry_id", "current_entry", "current_page", "bookmark_page" and "page_quantity" (the
  // last page index) on the tree and puts a copy of it into state in place of any "Diary" there.
  // False (logged) when state is no element.
  bool WriteState(base::Variant& state);
  // Takes the "Diary" element out of state. Nothing in it is trusted: ids that are missing,
  // repeated or not positive are renumbered (the first of a repeated id keeps it), "entry_id"
  // below the largest id becomes that id + 1, "text_cnt" stops at the last text present, and
  // pages and bookmark are kept inside the book. True.
  bool ReadState(base::Variant& state);
  // The element with that id at or below element (depth first); null when id < 0 or id is not
  // below the next entry id.
  base::Variant* FindEntry(base::Variant& element, int id);

  // ---- window slots
  void Render(float px, float py) override;
  // Closes when the reading ended, rebuilds the pages after a change, starts the reading once the
  // book is fully shown, then the book's update.
  void Update(float dt) override;
  // 'J' and Escape close; a right click closes; a press on a tab browses to its section, on the
  // close picture closes, on the score picture browses to the last page; a press outside the
  // pages closes. Nothing while hidden, fading or presenting.
  bool ProcessInput(base::ICMD& cmd) override;
  void Close() override;  // not while a page is dragged
  void DrawDecorations(float px, float py) override;  // the section tabs
  void Clear() override;  // an empty "Diary" and no pages

  const base::Variant& GetEntries() const { return m_diary; }
  int GetNextEntryId() const { return m_nextEntryId; }
  int GetNewestEntry() const { return m_newestEntry; }
  bool IsSetUp() const { return m_setUp; }
  bool IsDirty() const { return m_dirty; }
  bool IsPresentation() const { return m_presentation; }
  bool IsVoicePlaying() const { return m_voicePlaying; }
  bool HasCompletionEvent() const { return m_completion != nullptr; }
  int GetTabCount() const { return static_cast<int>(m_tabs.size()); }
  int GetTabPage(int i) const { return m_tabs[static_cast<size_t>(i)].page; }

 private:
  struct st_Tab {
    base::tString<base::BaseString> text;
    base::tString<base::BaseString> image;
    int y = 0;
    int page = 0;
    float rect[4] = {0, 0, 0, 0};
    bool drawn = false;  // only a drawn tab can be clicked
  };

  int AddEntry(int parentId, base::Variant& entry);
  void RebuildPages();
  bool BuildElement(base::Variant& element, int depth);
  void PadToLeftPage();
  void AddEntryPages(base::Variant& element);
  void AddQuestPages(const base::Variant& element);
  void JumpHere(int page);
  void PlayVoice();
  void CloseBook();
  void FireCompletion();
  void SanitizeEntries();

  base::Variant m_diary;
  bool m_setUp = false;
  bool m_dirty = false;
  bool m_jumpToNewest = false;
  bool m_playVoice = false;
  bool m_voicePlaying = false;
  int m_nextEntryId = 0;
  int m_pageCounter = 0;
  int m_newestEntry = 0;
  i_Event* m_completion = nullptr;  // owned
  std::vector<st_Tab> m_tabs;
  base::tRectf ImageRect(const char* image, const tPoint& at) const;
  tPoint m_closePosition;
  tPoint m_scorePosition;
  float m_scale = 1.0f;
  bool m_presentation = false;
};
