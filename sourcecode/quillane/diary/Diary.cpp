// The diary: opening and closing, the entry tree and its Add operations, the saved state, the
// page build from the tree, the reading aloud, the tabs and the input.
#include "quillane/diary/Diary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Binary.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/core/Event.h"
#include "quillane/diary/DiaryPages.h"
#include "quillane/diary/DiaryServices.h"
#include "sound/Sfx.h"

namespace {

// The book's sounds and the reading: full volume, once, without the effects of the scene.
sfx::st_PlayParams DiarySoundParams() {
  sfx::st_PlayParams params;
  params.ignoreFx = true;
  return params;
}

void PlayBookSound(const char* file, const char* name) {
  sfx::PlaySound(sfx::PLAY_SAMPLE, file, name, "GUI", DiarySoundParams());
}

base::Variant MakeEntry(const char* kind, int type) {
  base::Variant entry;
  entry.set_element(kind);
  entry.attribute("type")->set_int(type);
  return entry;
}

void SetText(base::Variant& entry, const char* name, const char* text) {
  entry.attribute(name)->set_string(text ? text : "");
}

int IntAttribute(const base::Variant& v, const char* name, int fallback) {
  int value = fallback;
  v.get_attribute_int(name, value);
  return value;
}

// Whether one of the entry's texts "text0" to "text<text_cnt>" is text.
bool HasText(const base::Variant& entry, const char* text) {
  const int count = IntAttribute(entry, "text_cnt", 0);
  for (int n = 0; n <= count && n <= entry.attribute_cnt(); ++n) {
    char name[24];
    std::snprintf(name, sizeof name, "text%d", n);
    base::tString<base::BaseString> present;
    if (entry.get_attribute_string(name, present) && present == (text ? text : "")) return true;
  }
  return false;
}

// The largest N with an attribute "text<N>" (0 when none).
int LastTextNumber(const base::Variant& entry) {
  int last = 0;
  for (int i = 0; i < entry.attribute_cnt(); ++i) {
    const char* name = entry.get_attribute_label(i);
    if (!name || std::strncmp(name, "text", 4) != 0 || name[4] < '0' || name[4] > '9') continue;
    char* end = nullptr;
    const long n = std::strtol(name + 4, &end, 10);
    if (*end == 0 && n > last && n < (1 << 24)) last = static_cast<int>(n);
  }
  return last;
}

bool Inside(const float rect[4], int x, int y) {
  return x >= rect[0] && x < rect[2] && y >= rect[1] && y < rect[3];
}

}  // namespace

// ---- Life cycle, opening and closing

cl_Diary::cl_Diary() { m_diary.set_element("Diary"); }

cl_Diary::~cl_Diary() { delete m_completion; }

void cl_Diary::SetupBook() {
  const int windowWidth = base::sys::GetWindowWidth(), windowHeight = base::sys::GetWindowHeight();
  // Smaller only: a book drawn larger than laid out would blur its pages' textures.
  m_scale =
      std::min({1.0f, static_cast<float>(windowWidth) / kBookWidth, static_cast<float>(windowHeight) / kBookHeight});
  if (!(m_scale > 0.0f)) m_scale = 1.0f;  // no window yet
  const float s = m_scale;
  const int width = static_cast<int>(std::lround(kBookWidth * s)),
            height = static_cast<int>(std::lround(kBookHeight * s));
  const float l = static_cast<float>((windowWidth - width) / 2), t = static_cast<float>((windowHeight - height) / 2);
  SetGeometry({l, t}, {l + static_cast<float>(width), t + static_cast<float>(height)}, kMarginX * s, kMarginY * s, s);
  SetGrabRadius(250.0f * s);
  LoadCoverTexture("diary_bg");
  LoadPageTextures("diary_page", "diary_page_shadow");
  LoadFoldShadowTexture("diary_shadow_top");
  SetBookmarkSpot(l + 491 * s, t + 596 * s, l + 520 * s, t + 639 * s);
  m_diary.attribute("id")->set_int(m_nextEntryId);
  ++m_nextEntryId;
  m_setUp = true;
  m_closePosition = {l + 880 * s, t + 15 * s};
  m_scorePosition = {l + 901 * s, t + 530 * s};
}

void cl_Diary::FireCompletion() {
  i_Event* event = m_completion;
  m_completion = nullptr;
  if (!event) return;
  event->Execute();
  delete event;
}

void cl_Diary::Open(bool show, bool jumpToNewest, bool presentation, i_Event* completion) {
  // A book asked back while it fades out opens again and waits for its next closing.
  if (show && (!IsVisible() || GetFadeState() == FADE_OUT)) {
    PlayBookSound("sfx/ui/UI_DiaryOpen.ogg", "opendiary");
    if (DiaryServices().SetJournalBlink) DiaryServices().SetJournalBlink(false);
    m_diary.attribute("button_blink")->set_int(0);
    FireCompletion();  // an event still held would otherwise be lost with its waiting script
    m_completion = completion;
    if (m_newestEntry == 0) jumpToNewest = false;
    if (!jumpToNewest || m_dirty) m_jumpToNewest = m_playVoice = jumpToNewest;
    m_presentation = presentation;
    if (presentation && DiaryServices().ShowInterfaceBar) DiaryServices().ShowInterfaceBar(false);
    Show(true);
    return;
  }
  if (IsVisible() && !show) {
    CloseBook();
  } else {
    Show(show);
  }
  // Nothing will close for this event later: run it now.
  if (completion) {
    completion->Execute();
    delete completion;
  }
}

void cl_Diary::OpenJournal() {
  if (IsVisible() && m_presentation) return;
  Open(true, true, false, nullptr);
}

void cl_Diary::CloseBook() {
  FireCompletion();
  sfx::StopSound("speech", 1.0f);
  PlayBookSound("sfx/ui/UI_DiaryClose.ogg", "closediary");
  // The bar was hidden for the presentation only.
  if (m_presentation && DiaryServices().ShowInterfaceBar) DiaryServices().ShowInterfaceBar(true);
  m_presentation = false;
  m_voicePlaying = false;
  Show(false);
}

void cl_Diary::Close() {
  if (GetTurnState() == TURN_DRAGGING) return;
  if (IsVisible()) CloseBook();
}

void cl_Diary::Clear() {
  m_diary.set_element("Diary");
  cl_HUDBook::Clear();
}

// ---- Entries

base::Variant* cl_Diary::FindEntry(base::Variant& element, int id) {
  if (id < 0 || id >= m_nextEntryId) return nullptr;
  // Depth first without recursion: a damaged tree may be deep.
  std::vector<base::Variant*> stack{&element};
  while (!stack.empty()) {
    base::Variant* v = stack.back();
    stack.pop_back();
    if (!v->is_element()) continue;
    if (IntAttribute(*v, "id", 0) == id) return v;
    for (int i = v->size() - 1; i >= 0; --i) stack.push_back(v->child(i));
  }
  return nullptr;
}

int cl_Diary::AddEntry(int parentId, base::Variant& entry) {
  if (!m_setUp) SetupBook();
  const int id = m_nextEntryId++;
  entry.attribute("id")->set_int(id);
  base::Variant* parent = FindEntry(m_diary, parentId);
  if (!parent) return -1;
  parent->push_back(entry);
  m_newestEntry = id;
  m_dirty = true;
  return id;
}

int cl_Diary::AddSection(const char* text, const char* picture, int y, bool show) {
  base::Variant entry = MakeEntry("Section", DIARY_SECTION);
  SetText(entry, "text0", text);
  SetText(entry, "pic", picture);
  entry.attribute("show")->set_int(show ? 1 : 0);
  entry.attribute("y")->set_int(y);
  return AddEntry(0, entry);
}

int cl_Diary::AddChapter(int parentId) {
  base::Variant entry = MakeEntry("Chapter", DIARY_CHAPTER);
  return AddEntry(parentId, entry);
}

int cl_Diary::AddMission(int parentId, const char* header, const char* text) {
  base::Variant entry = MakeEntry("Mission", DIARY_MISSION);
  SetText(entry, "header", header);
  SetText(entry, "text0", text);
  return AddEntry(parentId, entry);
}

int cl_Diary::AddQuestPage(int parentId) {
  base::Variant entry = MakeEntry("QuestPage", DIARY_QUEST_PAGE);
  return AddEntry(parentId, entry);
}

int cl_Diary::AddQuest(int parentId, const char* text, bool solved) {
  base::Variant* parent = FindEntry(m_diary, parentId);
  const base::Variant* questPage = parent ? parent->get_element("QuestPage") : nullptr;
  const int pageId = questPage ? IntAttribute(*questPage, "id", -1) : AddQuestPage(parentId);
  base::Variant entry = MakeEntry("Quest", DIARY_QUEST);
  SetText(entry, "text0", text);
  entry.attribute("solved")->set_int(solved ? 1 : 0);
  const int id = AddEntry(pageId, entry);
  if (id >= 0 && DiaryServices().SetJournalBlink && DiaryServices().SetJournalBlink(true))
    m_diary.attribute("button_blink")->set_int(1);
  return id;
}

int cl_Diary::AddText(int parentId, const char* text) {
  base::Variant entry = MakeEntry("Text", DIARY_TEXT);
  SetText(entry, "text0", text);
  return AddEntry(parentId, entry);
}

int cl_Diary::AddChapterEnd(int parentId, const char* header, const char* text, const char* picture) {
  base::Variant entry = MakeEntry("ChapterEnd", DIARY_CHAPTER_END);
  SetText(entry, "header", header);
  SetText(entry, "text0", text);
  SetText(entry, "pic", picture);
  return AddEntry(parentId, entry);
}

int cl_Diary::AddOutro(int parentId, const char* header, const char* text1, const char* text2, int points,
                       int maxPoints, const char* picture) {
  base::Variant entry = MakeEntry("Outropage", DIARY_OUTRO);
  SetText(entry, "header", header);
  const base::tString<base::BaseString> joined = base::tString<base::BaseString>(text1) + (text2 ? text2 : "");
  SetText(entry, "text0", joined.c_str());
  SetText(entry, "pic", picture);
  entry.attribute("points")->set_int(points);
  entry.attribute("max_points")->set_int(maxPoints);
  return AddEntry(parentId, entry);
}

int cl_Diary::AddScore(int parentId) {
  base::Variant entry = MakeEntry("Scorepage", DIARY_SCORE);
  return AddEntry(parentId, entry);
}

bool cl_Diary::AppendText(int entryId, const char* text) {
  base::Variant* entry = FindEntry(m_diary, entryId);
  if (!entry) return false;
  // A topic played again appends its sentence again: the page keeps each one once.
  if (HasText(*entry, text)) return true;
  const int number = IntAttribute(*entry, "text_cnt", 0) + 1;
  char name[24];
  std::snprintf(name, sizeof name, "text%d", number);
  SetText(*entry, name, text);
  entry->attribute("text_cnt")->set_int(number);
  m_dirty = true;
  return true;
}

void cl_Diary::SetQuestSolved(int entryId, bool solved) {
  if (base::Variant* entry = FindEntry(m_diary, entryId)) entry->attribute("solved")->set_int(solved ? 1 : 0);
  m_dirty = true;
}

// ---- Saved state

bool cl_Diary::WriteState(base::Variant& state) {
  if (!state.is_element()) {
    base::sys::Output("ERROR: diary: the game state to write into is no element\n");
    return false;
  }
  m_diary.attribute("entry_id")->set_int(m_nextEntryId);
  m_diary.attribute("current_entry")->set_int(m_newestEntry);
  m_diary.attribute("current_page")->set_int(GetCurrentPage());
  m_diary.attribute("bookmark_page")->set_int(GetBookmark());
  m_diary.attribute("page_quantity")->set_int(GetLastPage());
  base::variant_remove_elements(state, "Diary");
  base::Variant copy(m_diary);
  state.push_back(copy);
  return true;
}

void cl_Diary::SanitizeEntries() {
  m_diary.attribute("id")->set_int(0);  // parent 0 must find the root
  // First pass: the ids in use, each kept by its first entry; then the rest renumbered above them.
  std::vector<std::pair<base::Variant*, int>> entries;  // with depth
  std::vector<std::pair<base::Variant*, int>> stack{{&m_diary, 0}};
  std::set<int> used{0};
  int largest = 0;
  std::vector<base::Variant*> renumber;
  while (!stack.empty()) {
    auto [v, depth] = stack.back();
    stack.pop_back();
    if (v != &m_diary) {
      int id = 0;
      if (!v->get_attribute_int("id", id) || id <= 0 || !used.insert(id).second) renumber.push_back(v);
      else largest = std::max(largest, id);
      int count = 0;
      if (v->get_attribute_int("text_cnt", count) && count != 0)
        v->attribute("text_cnt")->set_int(std::clamp(count, 0, LastTextNumber(*v)));
    }
    if (depth >= kMaxEntryDepth) continue;
    for (int i = v->size() - 1; i >= 0; --i)
      if (v->child(i)->is_element()) stack.push_back({v->child(i), depth + 1});
  }
  for (base::Variant* v : renumber) v->attribute("id")->set_int(++largest);
  int next = IntAttribute(m_diary, "entry_id", 0);
  if (next <= largest) next = largest + 1;
  m_nextEntryId = next;
}

bool cl_Diary::ReadState(base::Variant& state) {
  if (!m_setUp) SetupBook();
  Clear();
  if (const base::Variant* saved = state.is_element() ? state.get_element("Diary") : nullptr) {
    m_diary.copy(*saved);
    base::variant_remove_elements(state, "Diary");
  }
  m_dirty = true;
  m_jumpToNewest = m_playVoice = false;
  SanitizeEntries();
  m_newestEntry = IntAttribute(m_diary, "current_entry", 0);
  if (m_newestEntry < 0 || m_newestEntry >= m_nextEntryId) m_newestEntry = 0;
  ResetBookmark();
  SetLastPage(std::max(IntAttribute(m_diary, "page_quantity", 0), 0));
  SetCurrentPage(IntAttribute(m_diary, "current_page", 0));
  SetBookmark(IntAttribute(m_diary, "bookmark_page", -1));
  if (IntAttribute(m_diary, "button_blink", 0) == 1 && DiaryServices().SetJournalBlink)
    DiaryServices().SetJournalBlink(true);
  return true;
}

// ---- Page build

void cl_Diary::PadToLeftPage() {
  if (m_pageCounter % 2 == 0) AddPage(new cl_DiaryEntry, nullptr, m_pageCounter++);
}

void cl_Diary::JumpHere(int page) {
  SetCurrentPage(page);
  SetBookmark(page);
  m_jumpToNewest = false;
}

void cl_Diary::AddEntryPages(base::Variant& element) {
  element.attribute("text_idx")->set_int(0);
  auto* page = new cl_DiaryEntry;
  const int index = AddPage(page, &element, m_pageCounter++);
  element.attribute("page")->set_int(index);
  if (m_jumpToNewest && IntAttribute(element, "id", -1) == m_newestEntry) JumpHere(index);
  while (page->GetOverflow() >= 0) {
    base::Variant more = MakeEntry("Text", DIARY_TEXT);
    more.attribute("text_cnt")->set_int(IntAttribute(element, "text_cnt", 0));
    for (int i = 0; i < element.attribute_cnt(); ++i) {
      const char* name = element.get_attribute_label(i);
      if (name && std::strncmp(name, "text", 4) == 0 && name[4] >= '0' && name[4] <= '9')
        more.attribute(name)->copy(*element.attribute(i));
    }
    more.attribute("text_idx")->set_int(page->GetOverflow());
    page = new cl_DiaryEntry;
    AddPage(page, &more, m_pageCounter++);
  }
}

void cl_Diary::AddQuestPages(const base::Variant& element) {
  base::Variant rest(element);
  int left = rest.size();
  while (left > 0) {
    auto* page = new cl_QuestPage;
    const int index = AddPage(page, &rest, m_pageCounter++);
    rest.attribute("page")->set_int(index);
    for (const cl_QuestPage::st_Row& row : page->GetRows())
      if (m_jumpToNewest && IntAttribute(row.quest, "id", -1) == m_newestEntry) JumpHere(index);
    // Each page takes at least one child; stop should a page ever take none.
    if (rest.size() >= left) break;
    left = rest.size();
  }
}

bool cl_Diary::BuildElement(base::Variant& element, int depth) {
  if (!element.is_element() || depth > kMaxEntryDepth) return false;
  auto children = [&] {
    for (int i = 0; i < element.size(); ++i) BuildElement(element[i], depth + 1);
  };
  switch (IntAttribute(element, "type", -1)) {
    case DIARY_SECTION:
      if (IntAttribute(element, "show", 0) != 0 && element.size() > 0) {
        PadToLeftPage();
        st_Tab tab;
        element.get_attribute_string("text0", tab.text);
        element.get_attribute_string("pic", tab.image);
        tab.y = IntAttribute(element, "y", 0);
        tab.page = m_pageCounter;
        m_tabs.push_back(tab);
        children();
      }
      return true;
    case DIARY_CHAPTER:
      PadToLeftPage();
      children();
      return true;
    case DIARY_MISSION:
      AddEntryPages(element);
      children();
      return true;
    case DIARY_TEXT: AddEntryPages(element); return true;
    case DIARY_CHAPTER_END:
    case DIARY_OUTRO: {
      PadToLeftPage();
      base::Variant picture = MakeEntry("Pic", DIARY_PICTURE);
      base::tString<base::BaseString> path;
      element.get_attribute_string("pic", path);
      picture.attribute("path")->set_string(path.c_str());
      picture.attribute("text0")->set_string("PicPage");
      AddPage(new cl_DiaryEntry, &picture, m_pageCounter++);
      AddEntryPages(element);
      return true;
    }
    case DIARY_SCORE: {
      PadToLeftPage();
      base::Variant advancement = MakeEntry("element", DIARY_ADVANCEMENT);
      AddPage(new cl_DiaryEntry, &advancement, m_pageCounter++);
      AddEntryPages(element);
      return true;
    }
    case DIARY_QUEST_PAGE: AddQuestPages(element); return false;
    default: return false;
  }
}

void cl_Diary::RebuildPages() {
  m_pageCounter = 0;
  cl_HUDBook::Clear();
  m_tabs.clear();
  for (int i = 0; i < m_diary.size(); ++i)
    if (!BuildElement(m_diary[i], 0)) break;
  FitToPages();
}

// ---- Frame

void cl_Diary::PlayVoice() {
  const base::Variant* entry = m_newestEntry > 0 ? FindEntry(m_diary, m_newestEntry) : nullptr;
  if (!entry) return;
  char name[24];
  std::snprintf(name, sizeof name, "text%d", IntAttribute(*entry, "text_cnt", 0));
  base::tString<base::BaseString> key, path;
  if (!entry->get_attribute_string(name, key) || key.empty()) return;
  if (!base::sys::GetSfxPath("Quillane", key.c_str(), path, 0)) return;
  base::Binary bytes;
  if (!base::sys::GetFileFromArchive("Speech", path.c_str(), bytes, true)) return;
  m_voicePlaying = sfx::PlaySoundData(sfx::PLAY_SAMPLE_MEMORY, bytes, "speech", "SPEECH", DiarySoundParams()) >= 0.0f;
}

void cl_Diary::Update(float dt) {
  if (m_voicePlaying && !sfx::IsSoundPlaying("speech")) {
    Close();
    m_voicePlaying = false;
  }
  if (m_dirty) {
    RebuildPages();
    m_dirty = false;
  }
  if (m_playVoice && GetFadeState() == FADE_SHOWN) {
    PlayVoice();
    m_playVoice = false;
  }
  cl_HUDBook::Update(dt);
}

void cl_Diary::Render(float px, float py) {
  if (!IsVisible()) return;
  if (!m_setUp) {
    SetupBook();
    return;
  }
  cl_HUDBook::Render(px, py);
  gfx::SetBlendAlphaTextureColor(static_cast<uint8_t>(std::clamp(GetFadeAlpha(), 0.0f, 255.0f)), true);
  if (gfx::cl_Image* close = gfx::ImageExists("diary_close"))
    gfx::DrawImage(close, m_closePosition.x, m_closePosition.y, m_scale);
  if (gfx::cl_Image* score = gfx::ImageExists("bm_score"))
    gfx::DrawImage(score, m_scorePosition.x, m_scorePosition.y, m_scale);
  if (m_presentation) gfx::SetCursor(nullptr, gfx::TextureExists("no_cursor"));
}

base::tRectf cl_Diary::ImageRect(const char* image, const tPoint& at) const {
  const gfx::cl_Image* picture = gfx::ImageExists(image);
  if (!picture) return {};
  return {at.x, at.y, at.x + static_cast<float>(picture->GetWidth()) * m_scale,
          at.y + static_cast<float>(picture->GetHeight()) * m_scale};
}

base::tRectf cl_Diary::GetTabRect(size_t i) const {
  if (i >= m_tabs.size() || !m_tabs[i].drawn) return {};
  const st_Tab& tab = m_tabs[i];
  return {tab.rect[0], tab.rect[1], tab.rect[2], tab.rect[3]};
}

void cl_Diary::DrawDecorations(float, float) {
  gfx::SetBlendAlphaTextureColor(static_cast<uint8_t>(std::clamp(GetFadeAlpha(), 0.0f, 255.0f)), true);
  for (st_Tab& tab : m_tabs) {
    tab.drawn = false;
    gfx::cl_Image* image = tab.image.empty() ? nullptr : gfx::ImageExists(tab.image.c_str());
    if (!image) continue;
    const float x = m_Rect.x + 30 * m_scale, y = m_Rect.y + static_cast<float>(tab.y) * m_scale;
    gfx::DrawImage(image, x, y, m_scale);
    tab.rect[0] = x, tab.rect[1] = y;
    tab.rect[2] = x + static_cast<float>(image->GetWidth()) * m_scale;
    tab.rect[3] = y + static_cast<float>(image->GetHeight()) * m_scale;
    tab.drawn = true;
  }
}

bool cl_Diary::ProcessInput(base::ICMD& cmd) {
  if (!IsVisible() || GetFadeState() != FADE_SHOWN || m_presentation) return false;
  if (cmd.type == base::ICMD::KEY_PRESSED && (cmd.key == 'J' || cmd.key == base::key::Escape)) Close();
  if (cmd.type == base::ICMD::RIGHT_UP) {
    Close();
    return true;
  }
  const int x = cmd.mouseX, y = cmd.mouseY;
  if (cmd.type == base::ICMD::LEFT_DOWN && GetTurnState() != TURN_DRAGGING) {
    for (const st_Tab& tab : m_tabs) {
      if (!tab.drawn) continue;
      const tPoint centre((tab.rect[0] + tab.rect[2]) * 0.5f, (tab.rect[1] + tab.rect[3]) * 0.5f);
      const tPoint diagonal(tab.rect[2] - tab.rect[0], tab.rect[3] - tab.rect[1]);
      if ((tPoint(static_cast<float>(x), static_cast<float>(y)) - centre).length() < diagonal.length() * 0.5f) {
        SetTargetPage(tab.page);
        return true;
      }
    }
  }
  if (cl_HUDBook::ProcessInput(cmd)) return true;
  if (cmd.type != base::ICMD::LEFT_DOWN) return false;
  for (const auto& [image, isClose] : {std::pair{GetCloseRect(), true}, std::pair{GetScoreRect(), false}}) {
    const float rect[4] = {image.min.x, image.min.y, image.max.x, image.max.y};
    if (!Inside(rect, x, y)) continue;
    if (isClose) Close();
    else SetTargetPage(m_pageCounter - 1);
    return true;
  }
  if (IsInsidePageArea({static_cast<float>(x), static_cast<float>(y)})) return false;
  Close();
  return true;
}
