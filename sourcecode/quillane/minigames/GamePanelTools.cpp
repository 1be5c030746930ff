#include "quillane/minigames/GamePanelTools.h"

#include "base/FileTools.h"
#include "base/Imaging.h"
#include "base/String.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/image/Image.h"
#include "quillane/core/GameState.h"
#include "quillane/screen/FontScope.h"
#include "quillane/screen/ScreenDraw.h"
#include "sound/Sfx.h"

namespace quillane {

bool CompileImageOwnSize(gfx::cl_Image& image, const char* file) {
  base::cl_Bitmap32 bitmap;
  const bool loaded = file && base::FileExists(file) &&
                      base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(file, &bitmap);
  int width = 0, height = 0;
  if (loaded) gfx::PaintedExtent(bitmap, width, height);
  image.CreateFromBitmap(&bitmap, 0, 0, width, height, false, true);
  return loaded;
}

namespace {

base::String g_gameCursor;  // main thread only, as every cursor change

}  // namespace

void SetGameCursor(const char* label) {
  gfx::cl_Texture* cursor = label ? gfx::TextureExists(label) : nullptr;
  if (!cursor) return;
  gfx::SetCursor(nullptr, cursor);
  g_gameCursor = label;
}

const char* GetGameCursor() { return g_gameCursor.c_str(); }

float PlayGameSound(const char* file, const char* name, float volume, const char* channel) {
  sfx::st_PlayParams params;
  params.volume = volume;
  params.pan = 1.0f;
  params.loop = false;
  params.ignoreFx = true;
  const float length = sfx::PlaySound(sfx::PLAY_SAMPLE, file, name, channel, params);
  return length > 0.0f ? length : 0.0f;
}

int EdgeZoneAt(int mouseX) {
  if (mouseX + 32 < 50) return EDGE_LEFT;
  if (mouseX > base::sys::GetWindowWidth() - 50) return EDGE_RIGHT;
  return EDGE_NONE;
}

void DrawExitHint(int edge) {
  if (edge != EDGE_LEFT && edge != EDGE_RIGHT) return;
  cl_FontScope font(gfx::FontExists("tooltip"));
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize("#gui_x0_324 Exit", text);
  const float y = base::sys::GetWindowHeight() / 2.0f;
  const float x = edge == EDGE_LEFT ? 10.0f : base::sys::GetWindowWidth() - 10.0f;
  DrawTextCentered(x, y, text.c_str(), 0xFFFFFFFFu, 0xFF191919u, false);
}

void RaiseMissionValue(const char* name, int amount) {
  // Without a session the value reads as -1; the amount then counts from 0.
  const int value = GetMissionState(name);
  SetMissionState(name, (value > 0 ? value : 0) + amount);
}

void RaiseSkill(int bonus) { RaiseMissionValue("Skill", bonus); }

}  // namespace quillane
