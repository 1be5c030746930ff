// Savegame rows: what they read, how they summarise a header, and how they draw.
#include "quillane/menu/SavegameField.h"

#include <cmath>

#include "base/File.h"
#include "base/app/ICMD.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/savegame/SavegameHead.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/text/Localised.h"

namespace {

constexpr uint32_t kFrameColour = 0xFFDCA459u;

// A float from a file as an int, clamped first: out-of-range and NaN conversions are undefined.
int ClampToInt(float v, float lo, float hi) {
  if (!(v >= lo)) return static_cast<int>(lo);
  if (v > hi) return static_cast<int>(hi);
  return static_cast<int>(v);
}

void DrawNamedImage(const char* label, float x, float y) {
  if (gfx::cl_Image* image = gfx::ImageExists(label)) gfx::DrawImage(image, x, y, 1.0f);
}

struct st_ScoreBar {
  const char* value;
  const char* maximum;
  float x0, x1;
  uint32_t colour;
  const char* name;  // the bar's tooltip text, also its line in the legend
};
constexpr float kLegendRight = 184.0f;  // the legend's right edge, left of the first bar
constexpr st_ScoreBar kScoreBars[] = {
    {"wealth", "maxwealth", 196, 210, 0xFF80FF80u, "#loads0_1344 Wealth"},
    {"spycraft", "maxspycraft", 249, 263, 0xFFFF8080u, "#loads0_1349 Spycraft"},
    {"skill", "maxskill", 301, 315, 0xFF8080FFu, "#loads0_1352 Skill"},
};

}  // namespace

// ---- the header's summary

int ChapterOfMission(int mission) {
  if (mission >= 3 && mission <= 4) return 2;
  if (mission >= 5 && mission <= 7) return 3;
  if (mission == 8) return 4;
  return 1;
}

st_SavegameSummary SummariseSavegame(const base::Variant* header) {
  st_SavegameSummary s;
  const base::Variant* h = header && header->is_element() ? header : nullptr;
  float seconds = 0.0f;
  if (h) h->get_attribute_float("game_time", seconds);
  const int t = ClampToInt(seconds, 0.0f, 2.0e9f);
  s.hours = t / 3600;
  s.minutes = (t / 60) % 60;
  int mission = 0, started = 0;
  if (h) {
    h->get_attribute_int("current_mission", mission);
    h->get_attribute_int("mission4_started", started);
  }
  if (started == 1 && mission < 4) mission = 4;
  s.mission = mission;
  s.chapter = ChapterOfMission(mission);
  return s;
}

base::tString<base::BaseUnicodeString> FormatSavegameInfo(const st_SavegameSummary& s) {
  base::tString<base::BaseUnicodeString> line;
  line.print(u"%s %i, %s %i, %i:%i%i%s", Localised("#loads0_2616 Mission").c_str(), s.mission,
             Localised("#loads0_2620 Chapter").c_str(), s.chapter, s.hours, s.minutes / 10, s.minutes % 10,
             Localised("#loads0_2624 h").c_str());
  return line;
}

float ScoreRatio(const base::Variant* header, const char* value, const char* maximum) {
  float v = 0.0f, m = 0.0f;
  if (header && header->is_element()) {
    header->get_attribute_float(value, v);
    header->get_attribute_float(maximum, m);
  }
  const float ratio = v / m;
  if (std::isnan(ratio)) return 0.0f;
  return ratio < 0.0f ? 0.0f : (ratio > 1.0f ? 1.0f : ratio);
}

int ScoreBarHeight(float ratio, int fullHeight) {
  return ClampToInt(static_cast<float>(fullHeight) * ratio, 0.0f, static_cast<float>(fullHeight));
}

base::tString<base::BaseUnicodeString> CutNameToWidth(const base::tString<base::BaseUnicodeString>& name,
                                                     float maxWidth, const char16_t* ellipsis,
                                                     float (*measure)(const char16_t*)) {
  if (measure(name.c_str()) <= maxWidth) return name;
  const float e = measure(u"e");
  int k = e > 0.0f ? ClampToInt(maxWidth / e, 0.0f, static_cast<float>(name.size())) : name.size();
  base::tString<base::BaseUnicodeString> cut;
  for (; k > 0; --k) {
    cut = name.left(k);
    if (measure(cut.c_str()) <= maxWidth) break;
  }
  if (k == 0) cut.clear();
  cut.print(u"%s", ellipsis);
  return cut;
}

// ---- the row

cl_SavegameField::cl_SavegameField(cl_LoadSavePanel* owner) : m_pOwner(owner) {}

bool cl_SavegameField::ReadHeader() {
  const base::tString<base::BaseString> path = cl_LoadSavePanel::GetSavegamePath(m_FileName.c_str());
  base::File file;
  if (!file.open(path.c_str(), base::File::STATUS_READ)) return false;
  st_SavegameHead head;
  if (!ReadSavegameHead(file, head, false)) {
    // The fallback row: the name it had (the file's), no pictures, no header.
    m_Header.set_nil();
    m_bHasGrey = m_bHasColour = false;
    return false;
  }
  m_DisplayName = head.m_name;
  m_Header = std::move(head.m_header);
  m_bHasGrey = !head.m_grey.IsEmpty() &&
               m_Grey.CreateFromBitmap(&head.m_grey, 0, 0, head.m_grey.Width(), head.m_grey.Height(), false, true);
  m_bHasColour = !head.m_colour.IsEmpty() && m_Colour.CreateFromBitmap(&head.m_colour, 0, 0, head.m_colour.Width(),
                                                                        head.m_colour.Height(), false, true);
  return true;
}

bool cl_SavegameField::ReadPreview() {
  if (m_bPreviewTried) return m_Preview.IsBuilt();
  m_bPreviewTried = true;
  st_SavegameHead head;
  if (!ReadSavegameHead(cl_LoadSavePanel::GetSavegamePath(m_FileName.c_str()).c_str(), head, true)) return false;
  if (head.m_preview.IsEmpty()) return false;
  return m_Preview.CreateFromBitmap(&head.m_preview, 0, 0, head.m_preview.Width(), head.m_preview.Height(), false,
                                    true);
}

void cl_SavegameField::Render(float px, float py) {
  if (HasFlag(base::WF_HIDDEN)) return;
  UpdateRect(px, py);
  const float left = m_AbsRect.left, top = m_AbsRect.top;
  gfx::SetBlendNone();
  gfx::FillRect(left, top, left + 66, top + 64, 0x80000000u);
  gfx::DrawRect(static_cast<int>(left), static_cast<int>(top - 1), static_cast<int>(left + 67),
                static_cast<int>(top + 64), kFrameColour);
  gfx::SetBlendNone();

  const bool selected = m_pOwner && m_pOwner->GetSelected() == m_Index;
  gfx::cl_Image& thumbnail = selected ? m_Colour : m_Grey;
  if (selected ? m_bHasColour : m_bHasGrey) gfx::DrawImage(&thumbnail, left + 2, top, 1.0f);
  const uint32_t colour = selected ? 0xFFFFFFFFu : 0xFFA0A0A0u;

  const int x = static_cast<int>(left + 80);
  const int y = static_cast<int>(top) + 2;
  if (gfx::cl_Font* diary = gfx::FontExists("diary")) gfx::SetFont(diary);
  const base::tString<base::BaseUnicodeString> name =
      CutNameToWidth(m_DisplayName, kNameWidth, Localised("#loads0_2872 ...").c_str(), &gfx::GetTextWidthW);
  gfx::DrawTextW(x, y + 10, name.c_str(), colour);

  gfx::cl_Font* previous = gfx::GetFont();
  if (gfx::cl_Font* small = gfx::FontExists("game_small")) gfx::SetFont(small);
  gfx::DrawTextW(x, y + 32, FormatSavegameInfo(SummariseSavegame(&m_Header)).c_str(), colour);
  if (previous) gfx::SetFont(previous);
}

void cl_SavegameField::RenderDetails() {
  ReadPreview();
  base::cl_Window* panel = m_Parent && m_Parent->m_Parent ? m_Parent->m_Parent->m_Parent : nullptr;
  if (!panel || !m_pOwner) return;
  const float px = panel->m_AbsRect.left + m_pOwner->GetPreviewLeft();
  const float py = panel->m_AbsRect.top + cl_LoadSavePanel::kListTop;
  const float bottom = py + 320;

  gfx::SetBlendNone();
  if (m_Preview.IsBuilt()) gfx::DrawImage(&m_Preview, px, py, 1.0f);
  gfx::SetBlendAlpha(true);
  gfx::DrawRect(static_cast<int>(px), static_cast<int>(py), static_cast<int>(px + 513), static_cast<int>(py + 320),
                kFrameColour);

  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  DrawNamedImage("corner_02", px - 8, py - 8);
  DrawNamedImage("corner_03", px + 464, py - 8);
  DrawNamedImage("load_save_bottom", px, bottom);
  if (gfx::cl_Font* diary = gfx::FontExists("diary")) gfx::SetFont(diary);

  const int b = static_cast<int>(bottom + 121);
  const int full = b - static_cast<int>(bottom + 22);
  gfx::cl_Texture* filler = gfx::TextureExists("load_save_vbarfiller");
  for (const st_ScoreBar& bar : kScoreBars) {
    const int h = ScoreBarHeight(ScoreRatio(&m_Header, bar.value, bar.maximum), full);
    gfx::SetTextureTinted(nullptr, bar.colour);
    gfx::SetBlendAlpha(true);
    gfx::DrawTextureQuad(base::tRectf(px + bar.x0, static_cast<float>(b - h), px + bar.x1, static_cast<float>(b)),
                         filler);
  }
  // What each bar counts, in its colour, right-aligned left of the bars: without it the three
  // bars say nothing until the pointer rests on one.
  gfx::cl_Font* previous = gfx::GetFont();
  if (gfx::cl_Font* small = gfx::FontExists("game_small")) gfx::SetFont(small);
  int line = 0;
  for (const st_ScoreBar& bar : kScoreBars) {
    const base::tString<base::BaseUnicodeString> name = Localised(bar.name);
    const float width = gfx::GetTextWidthW(name.c_str());
    gfx::DrawTextW(static_cast<int>(px + kLegendRight - width), static_cast<int>(bottom) + 26 + 22 * line++,
                   name.c_str(), bar.colour);
  }
  if (previous) gfx::SetFont(previous);

  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  DrawNamedImage("load_save_center", px, bottom - 15);
  gfx::cl_Image* under = gfx::ImageExists("load_save_bottom");
  const float d = under ? static_cast<float>(under->GetHeight() - 48) : 0.0f;
  DrawNamedImage("corner_01", px - 8, bottom + d);
  DrawNamedImage("corner_04", px + 464, bottom + d);
}

bool cl_SavegameField::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::LEFT_DOWN && HitTest(cmd)) {
    PlayClickSound();
    if (m_pOwner) m_pOwner->SetSelected(m_Index);
  }
  return false;
}

// ---- the image button

cl_QLImageButton::cl_QLImageButton(const char* label, float x, float y, gfx::cl_Image* image) : m_pImage(image) {
  m_Label = label;
  m_Rect.x = x;
  m_Rect.y = y;
  m_Rect.w = image ? static_cast<float>(image->GetWidth()) : 0.0f;
  m_Rect.h = image ? static_cast<float>(image->GetHeight()) : 0.0f;
}

void cl_QLImageButton::Render(float px, float py) {
  if (HasFlag(base::WF_HIDDEN)) return;
  UpdateRect(px, py);
  gfx::SetBlendTextureFactor2X(m_Pressed ? 0xFFB4B4B4u : 0xFF808080u);
  gfx::SetBlendAlpha(true);
  if (m_pImage) gfx::DrawImage(m_pImage, m_AbsRect.left, m_AbsRect.top, 1.0f);
}
