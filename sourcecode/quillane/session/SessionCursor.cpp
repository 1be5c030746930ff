// The session's mouse cursor and tooltips, chosen every rendered frame from what lies under the
// mouse: a character to talk to, a hotspot with its own cursor, the interface bar, or the floor;
// a plain or barred cursor while the game holds the player.
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "quillane/core/FrameServices.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"

namespace quillane {
namespace {

// The hotspot table's entry of that label when it has a caption to show; null otherwise.
const base::Variant* FindCaptionedHotspot(const base::Variant& table, const base::String& label) {
  base::tString<base::BaseString> entryLabel;
  for (int i = 0; i < table.size(); ++i) {
    const base::Variant& entry = table[i];
    if (!entry.get_attribute_string("label", entryLabel) || !(entryLabel == label.c_str())) continue;
    return entry.get_attribute("display_name") ? &entry : nullptr;
  }
  return nullptr;
}

void UseFont(const char* label) {
  if (gfx::cl_Font* font = gfx::FontExists(label)) gfx::SetFont(font);
}

}  // namespace

void cl_Session::UpdateCursor() {
  const bool held = IsTokenHeld();
  if (m_paused || !m_stage) {
    SetCursorImage("gamecursor", false);
    return;
  }
  const float x = static_cast<float>(base::sys::MouseX()), y = static_cast<float>(base::sys::MouseY());
  cl_Scene* scene = m_stage->GetScene();
  base::String picked;
  if (m_actionQueue.m_inCutscene || IsCursorHidden()) {
    SetCursorImage("no_cursor", false);
  } else if (m_interfaceBar && m_interfaceBar->GetAlpha() == 1.0f && m_interfaceBar->m_AbsRect.left <= x &&
             x < m_interfaceBar->m_AbsRect.right && m_interfaceBar->m_AbsRect.top <= y &&
             y < m_interfaceBar->m_AbsRect.bottom) {
    SetCursorImage(held ? "no_cursor" : "gamecursor", false);
  } else if (IsInteractionAllowed() && m_stage->PickAt(x, y, picked)) {
    if (!(picked == m_hoveredName)) {
      m_hoverTime = 0.0f;
      m_hoveredName = picked;
    }
    UseFont("tooltip");
    if (FindCastEntry(picked.c_str()) && m_stage->GetCharacter(picked.c_str())) {
      m_stage->ShowTooltip(false, m_hoveredName);
      if (!held) SetCursorImage("talk_to", false);
    } else if (const base::Variant* entry = FindCaptionedHotspot(m_hotspots, picked)) {
      base::String cursor("pick_up");
      entry->get_attribute_string("cursor", cursor);
      if (scene) scene->RenderHotspotCaptions(false, picked.c_str());
      if (!held) SetCursorImage(cursor.c_str(), true);
    }
    UseFont("system");
  } else if (IsBusyForCursor()) {
    SetCursorImage("cursor_disable", false);
  } else {
    if (!held) SetCursorImage("gamecursor", false);
    m_hoveredName = "";
  }
  if (held) SetCursorImage("no_cursor", false);  // the carried token is the cursor
  // Everything else's captions, shown only while a debug switch asks for all of them.
  m_stage->ShowTooltip(true, m_hoveredName);
  if (scene) scene->RenderHotspotCaptions(true, m_hoveredName.c_str());
}

void cl_Session::SetCursorImage(const char* label, bool fromTable) {
  m_cursorName = label;
  gfx::cl_Texture* texture = nullptr;
  base::String file;
  if (fromTable && GetCursorImage(label, file) && !file.empty()) {
    auto found = m_cursorImages.find(file.c_str());
    if (found == m_cursorImages.end()) {
      // Loaded once; a file that fails is remembered as missing so the log is not flooded.
      auto image = std::make_unique<gfx::cl_Texture>();
      if (image->SetFileA8R8G8B8(file.c_str()) && image->Load()) {
        image->SetCenterToMiddle();
      } else {
        base::sys::Output("Warning: Session: cursor image %s cannot be loaded; the cursor %s is used\n", file.c_str(),
                          label);
        image.reset();
      }
      found = m_cursorImages.emplace(file.c_str(), std::move(image)).first;
    }
    texture = found->second.get();
  }
  if (!texture) texture = gfx::TextureExists(label);
  if (texture) gfx::SetCursor(nullptr, texture);
}

void cl_Session::ReleaseCursorImages() {
  if (m_cursorImages.empty()) return;
  // The device may still show one of them: it gets the plain cursor (or none) first.
  gfx::SetCursor(nullptr, gfx::TextureExists("gamecursor"));
  m_cursorImages.clear();
}

}  // namespace quillane
