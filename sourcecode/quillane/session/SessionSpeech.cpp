// The bubble of a spoken line: the speaker's name and the localised line, wrapped, in a dark
// frame above the speaker, pushed away from the dialogue partner, kept on screen and off the
// faces on show.
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/mesh/Geometry.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/Session.h"
#include "quillane/session/SpeechLayout.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {
namespace {

constexpr uint32_t kOutline = 0x80000000u;

bool BubblesOff() {
  const base::Variant* value = base::sys::GetOptionValue("Game/ShowBubbles/Value");
  if (!value) return false;
  const double v = value->is_string() ? base::str::ascii_to_real(value->get_string()) : value->get_double();
  return static_cast<int>(v) == 0;
}

}  // namespace

bool cl_Session::GetCustomBubblePos(float& x, float& y, float& align) const {
  const base::tVector3<float>& pin = m_customBubblePos;
  if (pin.x == 0.0f && pin.y == 0.0f && pin.z == 0.0f) return false;
  x = pin.x, y = pin.y, align = pin.z;
  return true;
}

bool cl_Session::LayOutSpeech(const st_GameAction* action, cl_SpeechLayout::st_Bubble& bubble) {
  if (!action || BubblesOff()) return false;
  const float w = static_cast<float>(base::sys::GetWindowWidth());
  const float h = static_cast<float>(base::sys::GetWindowHeight());
  const char* speaker = action->m_object.c_str();
  cl_Scene* scene = GetScene();

  // Where the bubble stands: over the speaker's hotspot, over the speaker, or mid-window.
  base::tVector2<float> anchor(w * 0.5f, h * 0.5f);
  cl_SceneHotspot* hotspot = scene ? scene->FindHotspot(speaker) : nullptr;
  cl_Character* character = m_stage ? m_stage->GetCharacter(speaker) : nullptr;
  if (hotspot) {
    const base::tVector2<float> centre = hotspot->outline.GetCenter();
    anchor = scene->SceneToScreen(centre.x, centre.y);
  } else if (character) {
    anchor = m_stage->GetOverheadScreenPos(character);
  }
  const base::tRectf viewport = GetGameViewportRect();
  float customX = 0.0f, customY = 0.0f, customAlign = 0.0f;
  const bool custom = GetCustomBubblePos(customX, customY, customAlign);
  if (custom) {
    anchor.x = viewport.min.x + (viewport.max.x - viewport.min.x) * customX / 1024.0f;
    anchor.y = viewport.min.y + (viewport.max.y - viewport.min.y) * customY / 640.0f;
  }
  // A point that is not a number (a script's 1/0, a character lost to one) would overflow the
  // pixel positions: such a bubble stands where a speaker without a place gets it.
  if (!std::isfinite(anchor.x) || !std::isfinite(anchor.y)) anchor = base::tVector2<float>(w * 0.5f, h * 0.5f);

  base::tString<base::BaseUnicodeString> line;
  base::sys::Localize(action->m_text.c_str(), line, nullptr, action->m_unused);
  if (line.empty()) return false;

  // Away from whom the speaker talks to: the partner, who stays the reference after the
  // dialogue ended, else the player. The partner's own lines stand away from the player: measured
  // against himself, each of them went the same way, over the player's head in a close-up.
  int side = 0;
  cl_Character* reference = m_stage ? m_stage->GetCharacter(m_dialogCtrl.GetPartner().c_str()) : nullptr;
  if (m_stage && (!reference || (reference == character && m_stage->GetPlayerCharacter() != character)))
    reference = m_stage->GetPlayerCharacter();
  if (reference) side = m_stage->GetOverheadScreenPos(reference).x <= anchor.x ? 1 : -1;
  if (Dialog_Auto_Align == 0) side = -1;
  if (custom) side = std::isfinite(customAlign) ? static_cast<int>(std::clamp(customAlign, -1.0f, 1.0f)) : 0;

  base::tString<base::BaseUnicodeString> shown;
  base::tString<base::BaseString> displayName;
  if (const base::Variant* entry = FindCastEntry(speaker); entry && entry->get_attribute_string("display_name", displayName))
    base::sys::Localize(displayName.c_str(), shown, nullptr, -1);
  shown += line;

  if (gfx::cl_Font* font = gfx::FontExists("game")) gfx::SetFont(font);
  bubble.lines.clear();
  bubble.widths.clear();
  cl_SpeechLayout::AddLine(bubble.lines, shown, static_cast<float>(static_cast<int>(w) / 4));
  int maxWidth = 0;
  for (const cl_SpeechLayout::tLine& l : bubble.lines) {
    bubble.widths.push_back(static_cast<int>(gfx::GetTextWidthW(l.c_str())));
    maxWidth = std::max(maxWidth, bubble.widths.back());
  }
  bubble.side = side;
  bubble.box = cl_SpeechLayout::PlaceBox(anchor.x, anchor.y, maxWidth, static_cast<int>(bubble.lines.size()), side, w,
                                         h, viewport);
  // Off every face on show, nearest the speaker's: in a talk's close-up the box above a head
  // came down over the faces. A bubble pinned by the script stays where it is put.
  if (m_stage && !custom) {
    std::vector<base::tRectf> faces;
    int speakerFace = -1;
    for (const cl_Character* other : m_stage->GetCharacters()) {
      base::tRectf face;
      if (!m_stage->GetFaceScreenRect(other, face)) continue;
      if (other == character && !hotspot) speakerFace = static_cast<int>(faces.size());
      faces.push_back(face);
    }
    bubble.box = cl_SpeechLayout::KeepOffFaces(bubble.box, viewport, faces, speakerFace);
  }
  return true;
}

void cl_Session::ShowSpeech(st_GameAction* action) {
  cl_SpeechLayout::st_Bubble bubble;
  if (!LayOutSpeech(action, bubble)) return;
  const base::tRectf& box = bubble.box;
  DrawDialogFrame(box.min.x - 16.0f, box.min.y - 16.0f, box.max.x + 16.0f, box.max.y + 16.0f, 192, 255);
  const uint32_t colour = GetCastTextColour(action->m_object.c_str()).value();
  for (size_t i = 0; i < bubble.lines.size(); ++i) {
    const int lineWidth = bubble.widths[i];
    const float y = box.min.y + 10.0f + 30.0f * static_cast<float>(i);
    float x = (box.min.x + box.max.x) * 0.5f - static_cast<float>(lineWidth / 2);
    if (bubble.side == -1) x = box.min.x + 10.0f;
    if (bubble.side == 1) x = box.max.x - static_cast<float>(lineWidth) - 10.0f;
    gfx::DrawTextOutlinedW(static_cast<int>(x), static_cast<int>(y), bubble.lines[i].c_str(), colour, kOutline);
  }
}

}  // namespace quillane
