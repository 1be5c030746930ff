#include "quillane/diary/DiaryPages.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "base/data/VariantTools.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/diary/DiaryServices.h"
#include "quillane/diary/PageText.h"

namespace {

constexpr uint32_t kInk = 0xFF000000u;

int TypeOf(const base::Variant& description) {
  int type = -1;
  description.get_attribute_int("type", type);
  return type;
}

// Font properties of the page texts: own line feeds, and centred in both directions or not.
void SetTextProperties(bool centred) {
  base::Variant properties;
  properties.set_element("props");
  properties.attribute("alignment")->set_string(centred ? "center" : "left");
  properties.attribute("v_alignment")->set_string(centred ? "center" : "default");
  properties.attribute("custom_linefeed")->set_int(1);
  gfx::SetFontProperties(properties);
}

// The image with alpha blending, its top-left corner at (x, y); nothing when it is missing.
gfx::cl_Image* DrawImageAt(const char* label, float x, float y, bool centreX, float pageWidth) {
  gfx::cl_Image* image = gfx::ImageExists(label);
  if (!image) return nullptr;
  if (centreX) x = (pageWidth - static_cast<float>(image->GetWidth())) * 0.5f;
  gfx::SetBlendAlpha(true);
  gfx::DrawImage(image, x, y, 1.0f);
  cl_HUDBookPage::SetPageCompositing();
  return image;
}

}  // namespace

// ---- Entry pages

int cl_DiaryEntry::TextBoxHeight(int type) {
  switch (type) {
    case DIARY_MISSION: return 300;
    case DIARY_CHAPTER_END:
    case DIARY_OUTRO:
    case DIARY_SCORE: return 350;
    default: return 505;
  }
}

bool cl_DiaryEntry::Build(base::Variant* description) {
  m_overflow = -1;
  m_text.clear();
  if (!description || !description->is_element()) return true;
  int start = 0;
  description->get_attribute_int("text_idx", start);
  const std::u16string joined = JoinEntryTexts(*description);
  cl_PageTextMetrics metrics;
  const int lines = TextBoxHeight(TypeOf(*description)) / metrics.LineHeight();
  st_PageLines page = LayoutPageText(joined, start, kTextWidth, lines, metrics);
  m_text = std::move(page.text);
  if (page.next < static_cast<int>(joined.size())) {
    m_overflow = page.next;
    description->attribute("text_idx")->set_int(m_overflow);
  }
  return true;
}

void cl_DiaryEntry::DrawHeader(const char* image, const char16_t* header) {
  const float w = static_cast<float>(m_width);
  gfx::cl_Image* picture = DrawImageAt(image, 0.0f, 20.0f, true, w);
  const float iw = picture ? static_cast<float>(picture->GetWidth()) : static_cast<float>(kTextWidth);
  const float ih = picture ? static_cast<float>(picture->GetHeight()) : 60.0f;
  SetTextProperties(true);
  gfx::DrawTextBoxW((w - iw) * 0.5f, 20.0f, iw, ih, header, kInk);
  SetTextProperties(false);
}

void cl_DiaryEntry::DrawBody(float y, const std::u16string& text) {
  const int type = m_description.is_element() ? TypeOf(m_description) : -1;
  const float x = (static_cast<float>(m_width) - kTextWidth) * 0.5f;
  SetTextProperties(false);
  gfx::DrawTextBoxW(x, y, kTextWidth, static_cast<float>(TextBoxHeight(type)), text.c_str(), kInk);
}

void cl_DiaryEntry::DrawContent() {
  if (gfx::cl_Font* font = gfx::FontExists("diary")) gfx::SetFont(font);
  if (!gfx::GetFont()) return;
  const int type = m_description.is_element() ? TypeOf(m_description) : -1;
  base::tString<base::BaseString> header;
  if (m_description.is_element()) m_description.get_attribute_string("header", header);
  switch (type) {
    case DIARY_MISSION:
      DrawHeader("mission_header", LocalizeKey(header.c_str()).c_str());
      DrawBody(250.0f, m_text);
      break;
    case DIARY_CHAPTER_END:
      DrawHeader("chapterend_header", LocalizeKey(header.c_str()).c_str());
      DrawBody(150.0f, m_text);
      break;
    case DIARY_OUTRO: {
      DrawHeader("chapterend_header", LocalizeKey(header.c_str()).c_str());
      int points = 0, maxPoints = 0;
      m_description.get_attribute_int("points", points);
      m_description.get_attribute_int("max_points", maxPoints);
      char score[48];
      std::snprintf(score, sizeof score, "  %i / %i", points, maxPoints);
      DrawBody(150.0f, m_text + std::u16string(score, score + std::char_traits<char>::length(score)));
      break;
    }
    case DIARY_PICTURE: {
      base::tString<base::BaseString> path;
      m_description.get_attribute_string("path", path);
      if (!DrawImageAt(path.empty() ? "" : path.c_str(), 58.0f, 34.0f, false, 0.0f))
        DrawImageAt("diary_pic_default", 58.0f, 34.0f, false, 0.0f);
      break;
    }
    case DIARY_ADVANCEMENT:
      DrawHeader("mission_header", LocalizeKey("#diary0_4511 Personal Advancement").c_str());
      DrawBody(250.0f, LocalizeKey("#diary0_4512 Being a spy is difficult work. My personal progress has been hard won..."));
      break;
    case DIARY_SCORE: {
      DrawHeader("diary_score", LocalizeKey("#diary0_4564 Score").c_str());  // a plate is never left blank
      const struct {
        const char* label;
        const char* value;
        float y;
      } lines[] = {{"#diary0_4568 Spycraft", "Spycraft", 80.0f},
                   {"#diary0_4576 Wealth", "Wealth", 260.0f},
                   {"#diary0_4572 Skill", "Skill", 450.0f}};
      SetTextProperties(false);
      for (const auto& line : lines) {
        const int value = DiaryServices().GetMissionValue ? DiaryServices().GetMissionValue(line.value) : 0;
        char number[24];
        std::snprintf(number, sizeof number, ": %d", value);  // "Skill: 40", not "Skill:40"
        const std::u16string text = LocalizeKey(line.label) + std::u16string(number, number + std::strlen(number));
        gfx::DrawTextW(160, static_cast<int>(line.y), text.c_str(), kInk);
      }
      break;
    }
    default: DrawBody(50.0f, m_text); break;
  }
}

// ---- Quest pages

bool cl_QuestPage::Build(base::Variant* description) {
  m_rows.clear();
  m_boxX = static_cast<int>((static_cast<float>(m_width) - cl_DiaryEntry::kTextWidth) * 0.5f);
  m_topY = static_cast<int>((static_cast<float>(m_height) - kQuestAreaBottom) * 0.5f);
  const gfx::cl_Image* box = gfx::ImageExists("quest_box");
  m_textX = m_boxX + 10 + (box ? box->GetWidth() : 0);
  m_textWidth = cl_DiaryEntry::kTextWidth - (m_textX - m_boxX);
  if (!description || !description->is_array()) return true;
  cl_PageTextMetrics metrics;
  const int lineHeight = metrics.LineHeight();
  int y = m_topY;
  int consumed = 0;  // children taken from the front of the description
  for (; consumed < description->size(); ++consumed) {
    const base::Variant& quest = (*description)[consumed];
    if (!quest.is_element()) continue;  // no quest: dropped with the placed ones
    const std::u16string text = JoinEntryTexts(quest);
    st_PageLines lines = LayoutPageText(text, 0, m_textWidth, INT_MAX, metrics);
    int height = lines.lines * lineHeight;
    if (y + height > kQuestAreaBottom) {
      if (!m_rows.empty()) break;
      // Taller than an empty page: alone, cut to the lines that fit, so that the pages end.
      lines = LayoutPageText(text, 0, m_textWidth, (kQuestAreaBottom - y) / lineHeight, metrics);
      height = lines.lines * lineHeight;
    }
    st_Row row;
    row.y = y;
    row.height = height;
    row.quest.copy(quest);
    row.text = std::move(lines.text);
    m_rows.push_back(std::move(row));
    y += height + 10;
  }
  for (int i = 0; i < consumed; ++i) (*description)[i].set_nil();
  base::variant_remove_elements_nil(*description);
  return true;
}

void cl_QuestPage::DrawContent() {
  if (gfx::cl_Font* font = gfx::FontExists("diary")) gfx::SetFont(font);
  for (const st_Row& row : m_rows) {
    int solved = 0;
    row.quest.get_attribute_int("solved", solved);
    DrawImageAt(solved ? "quest_box_checked" : "quest_box", static_cast<float>(m_boxX), static_cast<float>(row.y), false,
                0.0f);
    if (!gfx::GetFont()) continue;
    SetTextProperties(false);
    gfx::DrawTextBoxW(static_cast<float>(m_textX), static_cast<float>(row.y), static_cast<float>(m_textWidth),
                      static_cast<float>(row.height), row.text.c_str(), kInk);
  }
}
