#include "quillane/video/VideoController.h"

#include <cstring>

#include "base/app/GameFrame.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/video/VideoFunctions.h"
#include "quillane/core/Event.h"
#include "quillane/video/SubtitleLines.h"

namespace {

cl_VideoController* g_controller = nullptr;

// The frame whose state follows a finished list. The engine's frame interface is the game
// frame itself; this is the one place that reaches it.
base::cl_StateHandlerModule* GameFrameForStates() { return base::GetFrameInterface(); }

base::tString<base::BaseString> ApplicationPrefix() { return base::sys::GetApplicationPath() + "\\"; }

void HideCursor() { gfx::SetCursor(nullptr, gfx::TextureExists("no_cursor")); }

bool HasLabel(const base::Variant& v, const char* label) {
  const char* own = v.get_label();
  return own && std::strcmp(own, label) == 0;
}

// A colour channel of a subtitle: 255 when missing, else taken modulo 256.
uint32_t Channel(const base::Variant& subtitle, const char* name) {
  int value = 255;
  subtitle.get_attribute_int(name, value);
  return static_cast<uint32_t>(value) & 0xFFu;
}

}  // namespace

cl_VideoController::cl_VideoController() { g_controller = this; }

cl_VideoController::~cl_VideoController() {
  gfx::StopVideo();
  m_Entries.clear();
  delete m_pCompletionEvent;
  if (g_controller == this) g_controller = nullptr;
}

cl_VideoController* cl_VideoController::GetInstance() { return g_controller; }

bool cl_VideoController::Play(const char* listFile, base::tString<base::BaseString> nextState) {
  if (!LoadVideoList(listFile, nullptr)) return false;
  m_NextState = std::move(nextState);
  return true;
}

bool cl_VideoController::LoadVideoList(const char* listFile, i_Event* completion) {
  if (!listFile) return false;
  base::Variant list;
  if (base::xml::read_file(list, listFile))
    ReadEntries(list, ApplicationPrefix(), m_Entries);
  else
    base::sys::Output("ERROR: video list '%s': cannot be read; its videos are skipped\n", listFile);
  // Playing all the same: the next update finds the list empty and finishes it.
  m_bPlaying = true;
  SetCompletionEvent(completion);
  return true;
}

void cl_VideoController::ReadEntries(const base::Variant& list, const base::tString<base::BaseString>& prefix,
                                     std::vector<std::unique_ptr<st_VideoEntry>>& out) {
  if (!list.is_element()) return;
  for (int i = 0; i < list.size(); ++i) {
    const base::Variant& entry = list[i];
    if (!HasLabel(entry, "Entry")) continue;
    base::tString<base::BaseString> file;
    entry.get_attribute_string("Filename", file);
    auto made = std::make_unique<st_VideoEntry>();
    made->m_Filename = prefix + file.c_str();
    made->m_Subtitles.set_element("Subtitles");
    for (int k = 0; k < entry.size(); ++k) {
      if (!HasLabel(entry[k], "Subtitle")) continue;
      base::Variant copy(entry[k]);
      made->m_Subtitles.push_back(copy);
    }
    out.push_back(std::move(made));
  }
}

float cl_VideoController::PlayMovie(const char* file, i_Event* completion) {
  if (!file) {
    delete completion;  // handed over, so ours to free; nothing else changes
    return -1.0f;
  }
  float volume = 1.0f;
  if (const base::Variant* option = base::sys::GetOptionValue("Sfx/MasterVolume/Value")) {
    const float v = option->get_float();
    volume = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;  // a damaged option (NaN, 1e30) stays in range
  }
  const float length = gfx::PlayVideoFullscreen(ApplicationPrefix() + file, volume);
  SetCompletionEvent(completion);
  m_bPlaying = true;
  HideCursor();
  return length;
}

void cl_VideoController::SetCompletionEvent(i_Event* completion) {
  if (m_pCompletionEvent && m_pCompletionEvent != completion) {
    // A caller still waits on the old one; its video has been replaced.
    i_Event* previous = m_pCompletionEvent;
    m_pCompletionEvent = nullptr;
    previous->Execute();
    delete previous;
  }
  m_pCompletionEvent = completion;
}

void cl_VideoController::StartEntry() {
  if (m_Entries.empty()) return;
  std::unique_ptr<st_VideoEntry> entry = std::move(m_Entries.front());
  m_Entries.erase(m_Entries.begin());
  gfx::PlayVideoFullscreen(entry->m_Filename, 1.0f);
  if (i_SubtitleLines* lines = GetSubtitleLines()) {
    lines->RemoveLines(i_SubtitleLines::REMOVE_ALL);
    QueueSubtitles(entry->m_Subtitles, *lines);
  }
}

void cl_VideoController::QueueSubtitles(const base::Variant& subtitles, i_SubtitleLines& lines) {
  for (int i = 0; i < subtitles.size(); ++i) {
    const base::Variant& s = subtitles[i];
    base::tString<base::BaseString> text;
    float start = 0.0f, end = 0.0f, fade = 0.0f;
    if (!s.get_attribute_string("display_name", text) || !s.get_attribute_float("starttime", start) ||
        !s.get_attribute_float("endtime", end) || !s.get_attribute_float("fadetime", fade))
      continue;
    const uint32_t colour = 0xFF000000u | Channel(s, "r") << 16 | Channel(s, "g") << 8 | Channel(s, "b");
    lines.AddLine(text.c_str(), start, end, fade, colour, 1);
  }
}

void cl_VideoController::Next() {
  if (i_SubtitleLines* lines = GetSubtitleLines()) lines->RemoveLines(i_SubtitleLines::REMOVE_ALL);
  if (!m_Entries.empty()) {
    StartEntry();
    return;
  }
  // Idle before anything runs, so an event that starts another video finds the controller free.
  m_bPlaying = false;
  i_Event* completion = m_pCompletionEvent;
  m_pCompletionEvent = nullptr;
  base::tString<base::BaseString> next = std::move(m_NextState);
  m_NextState = "";
  if (completion) {
    completion->Execute();
    delete completion;
  }
  if (!next.empty())
    if (base::cl_StateHandlerModule* frame = GameFrameForStates()) frame->SetState(next.c_str());
}

bool cl_VideoController::ShutDown() {
  gfx::StopVideo();
  m_Entries.clear();
  cl_Module::ShutDown();
  return true;
}

void cl_VideoController::Update(float time, float dt) {
  cl_Module::Update(time, dt);
  if (!m_bPlaying) return;
  HideCursor();
  if (!gfx::IsVideoPlaying()) Next();
}

bool cl_VideoController::ProcessInput(base::ICMD& cmd) {
  if (!m_bPlaying) return false;
  if (cmd.type == base::ICMD::RIGHT_UP || (cmd.type == base::ICMD::KEY_RELEASED && cmd.key == base::key::Escape)) {
    gfx::StopVideo();
    Next();
  }
  return true;
}
