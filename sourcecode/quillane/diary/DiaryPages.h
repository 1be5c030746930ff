// The diary's two kinds of book page: cl_DiaryEntry shows one diary entry (a text, a mission, a
// chapter end, a picture, the outro, the advancement or the score page) or the part of a long
// text that did not fit on the page before; cl_QuestPage lists quests with a tick box in front
// of each. Both lay their text out when built and draw it into the page texture on first use.
#pragma once

#include <string>
#include <vector>

#include "quillane/diary/HUDBookPage.h"

// ORDER DIARYTYPE: the int attribute "type" of diary entries and page descriptions.
enum en_DiaryType : int {
  DIARY_QUEST = 0,
  DIARY_QUEST_PAGE = 1,
  DIARY_MISSION = 2,
  DIARY_TEXT = 3,
  DIARY_CHAPTER_END = 4,
  DIARY_CHAPTER = 5,
  DIARY_SECTION = 6,
  DIARY_PICTURE = 7,
  DIARY_OUTRO = 8,
  DIARY_ADVANCEMENT = 9,
  DIARY_SCORE = 10,
};

class cl_DiaryEntry : public cl_HUDBookPage {
 public:
  static constexpr int kTextWidth = 300;
  // The body's box height for an entry type: 300 missions, 350 chapter ends, the outro and the
  // score page, 505 everything else (blank pages too).
  static int TextBoxHeight(int type);

  ~cl_DiaryEntry() override = default;
  // Lays out the entry's joined texts from "text_idx" on. When they do not all fit, the overflow
  // index and the description's "text_idx" become where the next page begins.
  bool Build(base::Variant* description) override;
  void DrawContent() override;

  int GetOverflow() const { return m_overflow; }  // −1 when the text fitted
  const std::u16string& GetText() const { return m_text; }  // with a line feed at each break

 private:
  void DrawHeader(const char* image, const char16_t* header);
  void DrawBody(float y, const std::u16string& text);

  int m_overflow = -1;
  std::u16string m_text;
};

class cl_QuestPage : public cl_HUDBookPage {
 public:
  static constexpr int kQuestAreaBottom = 500;
  struct st_Row {
    int y = 0;
    int height = 0;
    base::Variant quest;  // a copy of the quest element
    std::u16string text;  // laid out, a line feed at each break
  };

  ~cl_QuestPage() override = default;
  // Places the description's quests from the top while they end above y 500 and removes the
  // placed ones (and any child that is no quest) from the description, so that the caller sees
  // the quests still to place. A first quest taller than the page is placed alone, cut to fit.
  bool Build(base::Variant* description) override;
  void DrawContent() override;

  const std::vector<st_Row>& GetRows() const { return m_rows; }

 private:
  std::vector<st_Row> m_rows;
  int m_boxX = 0;
  int m_topY = 0;
  int m_textX = 0;
  int m_textWidth = 0;
};
