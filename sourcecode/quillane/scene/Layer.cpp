#include "quillane/scene/Layer.h"

#include <algorithm>
#include <cmath>

#include "base/ErrorCatcher.h"
#include "base/File.h"
#include "base/FileTools.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneRecord.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/settings/OptionLevels.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

// Frame colours of the debug outlines, cycled per frame drawn.
constexpr uint32_t kFrameColours[16] = {
    0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF9B9B9B, 0xFFC8C800, 0xFF00C8C8, 0xFFC800C8,
    0xFFC86400, 0xFFC80064, 0xFF6400C8, 0xFF64C800, 0xFF0064C8, 0xFF00C864, 0xFF960000, 0xFF009600,
};

constexpr float kMinLabelRoom = 240.0f;

void ReadFloatAttribute(const base::Variant& e, const char* name, float& out) {
  float v;
  if (e.get_attribute_float(name, v)) out = SaneFloat(v);
}

}  // namespace

cl_Layer::~cl_Layer() {
  RestoreFromStill();
  ReleasePictures();
}

void cl_Layer::ReleasePictures() {
  delete m_strip;
  m_strip = nullptr;
  delete m_image;
  m_image = nullptr;
  m_bitmap.Release();
}

// ---- Building from the description

bool cl_Layer::Load(const base::Variant& description, bool lazy, bool compressAllowed) {
  m_description = description;
  m_unreadFile.clear();
  m_unreadCause.clear();
  if (!description.get_attribute("file")) return true;
  m_x = m_y = 0.0f;
  m_w = m_scene ? m_scene->GetWidth() : 0.0f;
  m_h = m_scene ? m_scene->GetHeight() : 0.0f;
  ReadFloatAttribute(description, "x", m_x);
  ReadFloatAttribute(description, "y", m_y);
  ReadFloatAttribute(description, "w", m_w);
  ReadFloatAttribute(description, "h", m_h);
  description.get_attribute_string("label", m_label);
  description.get_attribute_string("file", m_file);
  description.get_attribute_int("ysort", m_ysort);
  SetViewRect(m_x, m_y, m_x + m_w, m_y + m_h);
  int useBackgroundPixels = 0;
  description.get_attribute_int("use_background_pixels", useBackgroundPixels);
  if (m_label == "blur") compressAllowed = false;
  if (base::GetFileExtension(m_file) == "tst") return LoadStrip(description, lazy);
  LoadBitmap(lazy, compressAllowed, useBackgroundPixels);
  return true;
}

bool cl_Layer::LoadStrip(const base::Variant& description, bool lazy) {
  if (lazy && Editor_LazyCompile) return false;
  delete m_strip;
  m_strip = new gfx::cl_TextureStrip;
  const base::tString<base::BaseString> name = base::StripExtension(m_file);
  const base::tString<base::BaseString> scenePath = m_scene ? m_scene->GetScenePath() : base::tString<base::BaseString>();
  base::Variant element;
  element.set_element("element");
  base::tString<base::BaseString> path = scenePath;
  path += "TextureStrips/";
  path += name;
  path += "/";
  element.attribute("path")->set_string(path.c_str());
  element.attribute("name")->set_string(name.c_str());
  base::tString<base::BaseString> file = scenePath;
  file += m_file;
  m_file = file;

  int playMode = 1, lodLevel = 0, useBlur = 1;
  float frameStep = 0.1f, minTime = 0.0f, maxTime = 0.0f;
  bool showFirstFrame = false;
  description.get_attribute_int("playmode", playMode);
  description.get_attribute_float("frame_step", frameStep);
  description.get_attribute_float("min_time", minTime);
  description.get_attribute_float("max_time", maxTime);
  description.get_attribute_int("LOD_level", lodLevel);
  description.get_attribute_bool("LOD_show_first_frame", showFirstFrame);
  description.get_attribute_int("use_blur", useBlur);
  m_strip->SetPlayMode(playMode, frameStep);
  SetLod(lodLevel, showFirstFrame);
  m_strip->SetPauseRange(minTime, maxTime);
  m_strip->SetUseBlur(useBlur == 1);
  base::cl_ErrorCatcher errors;  // the reader's cause, for the line that names the frame
  m_strip->Compile(element, lazy);
  if (m_strip->GetFrameCount() == 0) {
    const base::tString<base::BaseString> frame = m_strip->GetFrameFileName(0);
    const std::string problem = base::FileProblem(frame);
    SetUnread(frame.c_str(), problem.empty() ? errors.CauseOf(frame.c_str(), "cannot be read") : problem);
  }

  const float* bounds = m_strip->GetBounds();
  m_x = SaneFloat(bounds[0]), m_y = SaneFloat(bounds[1]);
  m_w = SaneFloat(bounds[2]), m_h = SaneFloat(bounds[3]);
  SetViewRect(m_x, m_y, m_x + m_w, m_y + m_h);
  if (m_ysort == 0) m_ysort = TruncToInt(m_y + m_h);
  return true;
}

void cl_Layer::LoadBitmap(bool lazy, bool compressAllowed, int useBackgroundPixels) {
  const char* sceneName = m_scene ? m_scene->GetName().c_str() : "";
  base::tString<base::BaseString> path = m_scene ? m_scene->GetScenePath() : base::tString<base::BaseString>();
  path += m_file;
  m_file = path;
  base::cl_Bitmap32 source;
  if (!base::FileExists(path)) {
    SetUnread(path.c_str(), base::FileProblem(path));
    base::sys::Output("ERROR: scene '%s': picture '%s' %s\n", sceneName, path.c_str(), m_unreadCause.c_str());
    return;
  }
  base::cl_ErrorCatcher errors;  // the reader says why; the editor shows it with the file
  if (!base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(path.c_str(), &source)) {
    SetUnread(path.c_str(), errors.CauseOf(path.c_str(), "cannot be read"));
    base::sys::Output("ERROR: scene '%s': picture '%s' cannot be read (%s)\n", sceneName, path.c_str(),
                      m_unreadCause.c_str());
    return;
  }
  const int left = TruncToInt(m_x), top = TruncToInt(m_y);
  const int right = TruncToInt(m_x + m_w), bottom = TruncToInt(m_y + m_h);
  if (right <= left || bottom <= top) return;  // nothing of the picture is shown
  // The file is laid out in scene coordinates: the rectangle must lie inside it.
  if (source.IsEmpty() || left < 0 || top < 0 || right > source.Width() || bottom > source.Height() ||
      right - left > kMaxSceneBitmapSide || bottom - top > kMaxSceneBitmapSide) {
    SetUnread(path.c_str(), "is smaller than the layer's rectangle");
    base::sys::Output("ERROR: scene '%s': picture '%s' is smaller than the layer's rectangle\n", sceneName,
                      path.c_str());
    return;
  }
  m_bitmap.CreateFromRegion(source, left, top, right, bottom);
  const base::cl_Bitmap32* background = nullptr;
  if (m_scene && !m_scene->BackgroundElements.empty() && m_scene->BackgroundElements.front() != this)
    background = &m_scene->BackgroundElements.front()->GetBitmap();
  bool transparent = false;
  base::Color32* pixels = m_bitmap.GetPixels();
  for (int y = 0; y < m_bitmap.Height(); ++y) {
    for (int x = 0; x < m_bitmap.Width(); ++x) {
      base::Color32& p = pixels[y * m_bitmap.Width() + x];
      if (useBackgroundPixels != 0 && background) {
        const base::Color32 b = background->Point(left + x, top + y);
        p.r = b.r, p.g = b.g, p.b = b.b;
      }
      if (p.a < 255) transparent = true;
    }
  }
  delete m_image;
  m_image = new gfx::cl_Image;
  m_image->CreateFromBitmap(&m_bitmap, 0, 0, TruncToInt(m_w), TruncToInt(m_h), !lazy && compressAllowed, transparent);
}

// ---- The layer record

bool cl_Layer::Write(base::File& file) {
  const int start = file.get_current_position();
  bool ok = m_label.Write(file);
  ok = ok && file.write(&m_ysort, 4);
  const float fields[8] = {m_x, m_y, m_w, m_h, m_viewRect[0], m_viewRect[1], m_viewRect[2], m_viewRect[3]};
  ok = ok && file.write(fields, sizeof fields);
  ok = ok && m_file.Write(file);
  const unsigned char hasStrip = m_strip ? 1 : 0, hasImage = m_image ? 1 : 0;
  ok = ok && file.write(&hasStrip, 1);
  if (ok && m_strip) m_strip->Write(&file);
  ok = ok && file.write(&hasImage, 1);
  if (ok && m_image) m_image->Write(&file);
  AppendProtocolLine(file.get_current_position() - start);
  return ok && !file.has_error();
}

void cl_Layer::AppendProtocolLine(int recordBytes) {
  if (!m_scene) return;
  float w = 0.0f, h = 0.0f;
  if (m_strip) {
    w = m_strip->GetBounds()[2], h = m_strip->GetBounds()[3];
  } else if (m_image) {
    w = static_cast<float>(m_image->GetWidth()), h = static_cast<float>(m_image->GetHeight());
  }
  m_scene->GetProtocol().print("\n\t%s%s: %i, Size(%f,%f)", m_label.c_str(), m_strip ? "(ts)" : "", recordBytes,
                               static_cast<double>(w), static_cast<double>(h));
}

bool cl_Layer::Read(base::File& file) {
  if (!ReadSceneString(file, m_label, "layer label")) return false;
  int32_t ysort = 0;
  float fields[8];
  if (!ReadI32(file, ysort, "layer ysort") || !ReadF32s(file, fields, 8, "layer placement")) return false;
  m_ysort = ysort;
  m_x = SaneFloat(fields[0]), m_y = SaneFloat(fields[1]), m_w = SaneFloat(fields[2]), m_h = SaneFloat(fields[3]);
  SetViewRect(SaneFloat(fields[4]), SaneFloat(fields[5]), SaneFloat(fields[6]), SaneFloat(fields[7]));
  if (!ReadSceneString(file, m_file, "layer file")) return false;
  if (m_image) {
    base::sys::Output("warning: Layer image overwrite\n");
    delete m_image;
    m_image = nullptr;
  }
  bool hasStrip = false, hasImage = false;
  if (!ReadFlag(file, hasStrip, "layer strip flag")) return false;
  if (hasStrip) {
    delete m_strip;
    m_strip = new gfx::cl_TextureStrip;
    m_strip->Read(&file);
    if (file.has_error()) return FailRecord(file, "layer strip");
  }
  if (!ReadFlag(file, hasImage, "layer image flag")) return false;
  if (hasImage) {
    m_image = new gfx::cl_Image;
    m_image->Read(&file);
    if (file.has_error()) return FailRecord(file, "layer image");
  }
  if (m_strip) {
    const float* bounds = m_strip->GetBounds();
    m_x = SaneFloat(bounds[0]), m_y = SaneFloat(bounds[1]);
    m_w = SaneFloat(bounds[2]), m_h = SaneFloat(bounds[3]);
    ApplyShadowStripLOD(m_strip, m_label.c_str(), m_file.c_str());
  }
  return true;
}

void cl_Layer::MakeStill() {
  if (m_still.active || !m_strip) return;
  m_still.active = true;
  m_still.strip = m_strip;
  m_still.image = m_image;
  m_still.file = m_file;
  gfx::cl_Image* first = m_strip->GetFirstFrame();
  if (first) {
    m_still.offset[0] = first->GetOffset()[0], m_still.offset[1] = first->GetOffset()[1];
    // The still is drawn at the layer's own position, so the frame's placement goes.
    first->SetOffset(0.0f, 0.0f);
  }
  m_image = first;
  m_strip = nullptr;
  m_file = base::StripExtension(m_file);
}

void cl_Layer::RestoreFromStill() {
  if (!m_still.active) return;
  if (m_image) m_image->SetOffset(m_still.offset[0], m_still.offset[1]);
  m_strip = m_still.strip;
  m_image = m_still.image;
  m_file = m_still.file;
  m_still = st_Still();
}

// ---- Per frame

void cl_Layer::UpdateFade(float dt) {
  if (m_fadeDuration <= 0.0f) return;
  m_alpha = ApproachFloat(m_targetAlpha, m_alpha, dt / m_fadeDuration);
  if (m_alpha == m_targetAlpha) m_fadeDuration = -1.0f;
}

void cl_Layer::Update(float dt) {
  UpdateFade(dt);
  if (m_strip) m_strip->Update(dt);
}

void cl_Layer::Render(float originX, float originY, float, float) { Draw(originX, originY, nullptr); }

void cl_Layer::RenderWithin(float originX, float originY, const base::tRectf& within) {
  Draw(originX, originY, &within);
}

void cl_Layer::Draw(float originX, float originY, const base::tRectf* within) {
  if (!m_scene) return;
  const float s = m_scene->GetEffectiveZoom();
  const float sx = m_scene->GetScroll()[0], sy = m_scene->GetScroll()[1];
  if (m_strip) {
    m_strip->Draw(originX - sx * s, originY - sy * s, s);
    const float left = (m_x + originX - sx) * s, top = (m_y + originY - sy) * s;
    DrawDebugFrame(left, top, left + m_w * s, top + m_h * s, originY, s);
    return;
  }
  if (!m_image) return;
  gfx::SetFilterLinear();
  gfx::SetBlendNone();
  if (m_alpha <= 0.0f) return;
  if (m_alpha >= 1.0f)
    gfx::SetBlendAlpha(true);
  else
    gfx::SetBlendAlphaTextureColor(static_cast<uint8_t>(std::lround(m_alpha * 255.0f)), true);
  const float x = (m_x - sx) * s + originX, y = (m_y - sy) * s + originY;
  if (within)
    m_image->DrawWithin(x, y, s, *within);
  else
    gfx::DrawImage(m_image, x, y, s);
  DrawDebugFrame(x - 1.0f, y - 1.0f, x + m_w * s, y + m_h * s, originY, s);
}

void cl_Layer::DrawDebugFrame(float left, float top, float right, float bottom, float originY, float s) {
  st_SceneDisplay& display = SceneDisplay();
  if (!display.showBoundaries && (g_SelectedElementLabel.empty() || m_label != g_SelectedElementLabel)) return;
  const uint32_t colour = kFrameColours[display.frameCounter & 15];
  ++display.frameCounter;
  gfx::DrawRect(TruncToInt(left), TruncToInt(top), TruncToInt(right), TruncToInt(bottom), colour);
  if (m_ysort != 0) {
    const float line = static_cast<float>(m_ysort) * s + originY;
    gfx::DrawLine(left + 4.0f, line, right - 4.0f, line, colour, 3.0f);
  }
  // A long label is cut at its frame's width (at least a short name's): it would reach across the view.
  const float room = std::max(right - left - 4.0f, kMinLabelRoom);
  gfx::DrawText(TruncToInt(left + 2.0f), TruncToInt(top), gfx::ShortenText(m_label.c_str(), room).c_str(), colour);
}

// ---- Sky layers

bool cl_HeavenLayer::Load(const base::Variant& description, bool lazy, bool) {
  cl_Layer::Load(description, lazy, true);
  int scroll = 0;
  description.get_attribute_int("scroll", scroll);
  m_scroll = scroll != 0;
  ReadFloatAttribute(description, "scroll_step", m_scrollStep);
  return true;
}

bool cl_HeavenLayer::Write(base::File& file) {
  bool ok = cl_Layer::Write(file);
  const unsigned char scroll = m_scroll ? 1 : 0;
  ok = ok && file.write(&scroll, 1);
  return ok && file.write(&m_scrollStep, 4);
}

bool cl_HeavenLayer::Read(base::File& file) {
  if (!cl_Layer::Read(file)) return false;
  float step = 0.0f;
  if (!ReadFlag(file, m_scroll, "sky layer scroll") || !ReadF32(file, step, "sky layer scroll step")) return false;
  m_scrollStep = SaneFloat(step);
  return true;
}

float cl_HeavenLayer::ImageSpan() const {
  if (!m_image || !m_scene) return 0.0f;
  return static_cast<float>(m_image->GetWidth()) * m_scene->GetEffectiveZoom();
}

void cl_HeavenLayer::Update(float dt) {
  if (!m_scroll) return;
  const float span = ImageSpan();
  if (span < m_scrollOffset) m_scrollOffset -= span;
  m_scrollOffset += m_scrollStep * 50.0f * dt;
}

void cl_HeavenLayer::Render(float originX, float originY, float, float) {
  if (!m_scene || !m_image) return;
  const float s = m_scene->GetEffectiveZoom();
  const float sx = m_scene->GetScroll()[0], sy = m_scene->GetScroll()[1];
  gfx::SetFilterLinear();
  gfx::SetBlendNone();
  if (m_alpha <= 0.0f) return;
  if (m_alpha < 1.0f)
    gfx::SetBlendAlphaTextureColor(static_cast<uint8_t>(std::lround(m_alpha * 255.0f)), true);
  else
    gfx::SetBlendAlpha(true);
  if (!m_scroll) {
    gfx::DrawImage(m_image, (m_x - sx) * s + originX, (m_y - sy) * s + originY, s);
    return;
  }
  const float bx = static_cast<float>(TruncToInt((m_x - sx) * s + originX + 0.5f));
  const float by = (m_y - sy) * s + originY;
  gfx::DrawImage(m_image, m_scrollOffset + bx, by, s);
  gfx::DrawImage(m_image, m_scrollOffset + bx - ImageSpan(), by, s);
}

// ---- shadow strips

void ApplyShadowStripLOD(gfx::cl_TextureStrip* strip, const char* label, const char* file) {
  if (!strip || !label || !file) return;
  if (base::tString<base::BaseString>(label) != "shadow" ||
      base::tString<base::BaseString>(file) != "Scenes/BerlinStreet/shadow.tst")
    return;
  if (GetOptionIntValue("Gfx/SceneLOD/") != 0) strip->SetFirstFrameOnly(true);
}

}  // namespace quillane
