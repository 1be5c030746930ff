// The texture strip: loading and compiling frames, playback, drawing and the record.
#include "graphics/image/TextureStrip.h"

#include <algorithm>
#include <cmath>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/math/Random.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"

namespace gfx {

namespace {

constexpr float kStepsPerSecond = 50.0f;
constexpr float kOpaque = 255.0f;
// The smallest image record: offsets, flag, sizes, the four grid arrays, counts, tile count.
constexpr int kMinImageRecord = 8 + 1 + 8 + 4 * 64 + 8 + 4;

// Truncation toward zero kept inside the int range (a stored speed can be anything, even NaN).
int Truncate(float value) {
  if (!(value == value)) return 0;
  return static_cast<int>(std::clamp(value, -2.0e9f, 2.0e9f));
}

uint8_t AlphaByte(float value) { return static_cast<uint8_t>(std::clamp(Truncate(value), 0, 255)); }

}  // namespace

cl_TextureStrip::cl_TextureStrip() = default;

cl_TextureStrip::~cl_TextureStrip() { DeleteFrames(); }

void cl_TextureStrip::DeleteFrames() {
  for (cl_Image* frame : m_frames) delete frame;
  m_frames.clear();
  m_current = m_next = nullptr;
}

// ---- Loading

bool cl_TextureStrip::Init(base::StaticVariantIterator element) {
  base::tString<base::BaseString> file;
  element.get_attribute_string("file", file);
  int mode = 0, preload = 0, blur = 0;
  element.get_attribute_int("playmode", mode);
  element.get_attribute_int("preload", preload);
  if (element.get_attribute_int("useblur", blur)) m_useBlur = blur == 1;
  return Load(file.c_str(), mode, 0.1f, preload != 0);
}

bool cl_TextureStrip::Load(const char* file, int mode, float speed, bool preload) {
  if (!file) return false;
  m_speed = speed;
  m_playMode = mode;
  m_playing = mode != PLAY_RANDOM_PAUSE;
  m_preload = preload;
  SetFileName(file);
  for (int n = 0;; ++n) {
    const base::tString<base::BaseString> frame = GetFrameFileName(n);
    if (!base::FileExists(frame)) break;
    AddFrame(frame.c_str(), preload);
  }
  if (m_frames.empty()) ReportNoFrames();
  return true;
}

void cl_TextureStrip::ReportNoFrames() const {
  const base::tString<base::BaseString> first = GetFrameFileName(0);
  base::sys::Output("ERROR: texture strip '%s': its first frame '%s' %s; the strip shows nothing\n", m_baseName.c_str(),
                    first.c_str(), base::FileProblem(first).c_str());
}

void cl_TextureStrip::SetFileName(const char* file) {
  const base::tString<base::BaseString> name(file);
  m_baseName = name.left(name.find_last('_'));
  m_extension = base::GetFileExtension(name);
}

base::tString<base::BaseString> cl_TextureStrip::GetFrameFileName(int n) const {
  base::tString<base::BaseString> name = m_baseName;
  base::tString<base::BaseString> tail;
  tail.print("_%d.", n);
  name += tail;
  name += m_extension;
  return name;
}

void cl_TextureStrip::Extend(float x, float y, float w, float h) {
  m_bounds[0] = std::min(m_bounds[0], x);
  m_bounds[1] = std::min(m_bounds[1], y);
  m_bounds[2] = std::max(m_bounds[2], w);
  m_bounds[3] = std::max(m_bounds[3], h);
}

void cl_TextureStrip::AddFrame(const char* file, bool) {
  cl_Image* image = new cl_Image;
  if (!image->Load(file)) base::sys::Output("ERROR: strip frame '%s' cannot be read; it stays empty\n", file);
  m_frames.push_back(image);
  Extend(image->GetOffset()[0], image->GetOffset()[1], static_cast<float>(image->GetSourceWidth()),
         static_cast<float>(image->GetSourceHeight()));
}

void cl_TextureStrip::Compile(const base::Variant& description, bool uncompressed) {
  base::tString<base::BaseString> name, path;
  if (!description.get_attribute_string("name", name) || !description.get_attribute_string("path", path)) return;
  base::tString<base::BaseString> first = path;
  first += name;
  first += "_0.tga";
  SetFileName(first.c_str());
  m_bounds[0] = m_bounds[1] = 100000.0f;
  for (int n = 0;; ++n) {
    const base::tString<base::BaseString> file = GetFrameFileName(n);
    base::cl_Bitmap32 bitmap;
    // The first missing number ends the strip; a frame that is there but unreadable is a fault.
    if (!base::FileExists(file)) break;
    if (!base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(file.c_str(), &bitmap)) {
      base::sys::Output("ERROR: strip frame '%s' cannot be read; the strip ends before it\n", file.c_str());
      break;
    }
    int minX = bitmap.Width(), minY = bitmap.Height(), maxX = 0, maxY = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x)
        if (bitmap.GetPixels()[y * bitmap.Width() + x].a != 0) {
          minX = std::min(minX, x), maxX = std::max(maxX, x);
          minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    if (maxX - minX <= 0 || maxY - minY <= 0)
      base::sys::Output("Warning: cl_TextureStrip::Compile at %s. MinX: %i, MaxX: %i, MinY: %i, MaxY: %i\n", file.c_str(),
                        minX, maxX + 1, minY, maxY + 1);
    // Without a visible pixel the box has a negative size: nothing to cut.
    if (maxX < minX || maxY < minY) continue;
    base::cl_Bitmap32 crop;
    crop.CreateFromRegion(bitmap, minX, minY, maxX + 1, maxY + 1);
    cl_Image* image = new cl_Image;
    image->CreateFromBitmap(&crop, 0, 0, maxX + 1 - minX, maxY + 1 - minY, !uncompressed, true);
    image->SetOffset(static_cast<float>(minX), static_cast<float>(minY));
    m_frames.push_back(image);
    Extend(static_cast<float>(minX), static_cast<float>(minY), static_cast<float>(crop.Width() + minX),
           static_cast<float>(crop.Height() + minY));
  }
  if (m_frames.empty() && !base::FileExists(GetFrameFileName(0))) ReportNoFrames();
  m_bounds[2] -= m_bounds[0];
  m_bounds[3] -= m_bounds[1];
}

// ---- Playback

void cl_TextureStrip::SetPlayMode(int mode, float speed) {
  m_speed = speed;
  m_playMode = mode;
  m_playing = mode != PLAY_RANDOM_PAUSE;
}

void cl_TextureStrip::SetPlaying(bool play, int frame, bool jump) {
  if (play || frame == -1) {
    m_playing = play;
    if (play) m_targetFrame = -1;
  } else if (jump) {
    m_position = static_cast<float>(frame);
  } else {
    m_targetFrame = frame;
  }
}

void cl_TextureStrip::RestartPause() {
  m_pauseElapsed = 0.0f;
  m_pauseLength = base::RandBetween(m_pauseMin, m_pauseMax);
  m_position = 0.0f;
}

void cl_TextureStrip::SetFade(bool in) {
  m_shown = in;
  m_fadeState = in ? FADE_IN : FADE_OUT;
  m_alpha = in ? 0.0f : kOpaque;
}

void cl_TextureStrip::Update(float dt) {
  const float count = static_cast<float>(m_frames.size());
  if (m_playing || m_targetFrame != -1) {
    if (m_targetFrame != -1 && Truncate(m_position) == m_targetFrame) {
      m_playing = false;
      m_position = static_cast<float>(m_targetFrame);
      m_targetFrame = -1;
      return;
    }
    m_position += m_speed * kStepsPerSecond * dt;
  }
  if (m_playMode == PLAY_RANDOM_PAUSE) {
    m_pauseElapsed += dt;
    if (m_playing && count - 1.0f <= m_position && m_alpha == kOpaque) m_fadeState = FADE_OUT, m_alpha = kOpaque;
    // A length of 0 asks for a new one, but only while the strip rests: a drawn length of 0
    // (pause range 0 … 0) would otherwise be drawn again on every update and the strip would
    // never fade in again.
    const bool resting = !m_playing && m_fadeState == FADE_STEADY;
    if (m_pauseLength == 0.0f && resting) {
      m_alpha = 0.0f;
      m_pauseElapsed = 0.0f;
      m_pauseLength = base::RandBetween(m_pauseMin, m_pauseMax);
      m_position = 0.0f;
      if (m_pauseLength != 0.0f) return;
    }
    if ((m_pauseLength < m_pauseElapsed || (m_pauseLength == 0.0f && resting)) && m_alpha == 0.0f) {
      m_position = 0.0f;
      m_fadeState = FADE_IN;
      m_alpha = 0.0f;
    }
  }
  if (m_position > count) {
    if (m_playMode == PLAY_LOOP) m_position -= count;
    else m_playing = false;
  }
  if (m_fadeState == FADE_IN) {
    m_alpha += kOpaque * dt;
    if (m_alpha > kOpaque) {
      m_alpha = kOpaque, m_fadeState = FADE_STEADY;
      if (m_playMode == PLAY_RANDOM_PAUSE) m_playing = true;
    }
  } else if (m_fadeState == FADE_OUT) {
    m_alpha -= kOpaque * dt;
    if (m_alpha < 0.0f) {
      m_alpha = 0.0f, m_fadeState = FADE_STEADY;
      if (m_playMode == PLAY_RANDOM_PAUSE) {
        m_position = 0.0f;
        m_playing = false;
        RestartPause();
      }
    }
  }
}

// ---- Drawing

void cl_TextureStrip::SelectFrames(int index) {
  const int count = static_cast<int>(m_frames.size());
  if (count == 0) return;
  if (m_playMode == PLAY_LOOP) index %= count;
  if (index >= count) index = count - 1;
  if (index < 0) index = 0;  // a negative position shows the first frame
  m_frameIndex = index;
  m_current = m_frames[static_cast<size_t>(index)];
  if (index + 1 < count) m_next = m_frames[static_cast<size_t>(index) + 1];
  else m_next = m_playMode == PLAY_LOOP ? m_frames[0] : nullptr;
}

void cl_TextureStrip::DrawFrame(float x, float y, float position, float scale) {
  const int index = m_firstFrameOnly ? 0 : Truncate(position);
  m_frameIndex = index;
  SelectFrames(index);
  const float f = position - static_cast<float>(index);
  auto draw = [&](cl_Image* image) {
    if (image) DrawImage(image, x, y, scale);
  };
  auto withAlpha = [&](float value) {
    SetBlendNone();
    SetFilterLinear();
    SetBlendAlphaTextureColor(AlphaByte(value), true);
  };
  if (m_shown && m_alpha >= kOpaque) {
    if (m_useBlur && m_current) withAlpha((1.0f - f) * 255.0f), draw(m_current);
    if (m_current) {
      SetBlendNone();
      SetFilterLinear();
      SetBlendAlpha(true);
      draw(m_current);
    }
    if (m_useBlur && m_next) withAlpha(255.0f - (1.0f - f) * 255.0f), draw(m_next);
  } else if (m_current) {
    withAlpha(m_alpha);
    draw(m_current);
  }
  SetBlendNone();
}

bool cl_TextureStrip::IsInside(float px, float py, float scale) const {
  return m_bounds[0] * scale <= px && px <= (m_bounds[0] + m_bounds[2]) * scale && m_bounds[1] * scale <= py &&
         py <= (m_bounds[1] + m_bounds[3]) * scale;
}

// ---- Record

void cl_TextureStrip::Write(base::File* file) {
  if (!file) return;
  m_baseName.Write(file);
  m_extension.Write(file);
  file->write_int(m_playMode);
  file->write(m_bounds, 16);
  file->write(&m_speed, 4);
  file->write(&m_pauseMin, 4);
  file->write(&m_pauseMax, 4);
  const unsigned char blur = m_useBlur ? 1 : 0;
  file->write(&blur, 1);
  file->write_int(static_cast<int>(m_frames.size()));
  for (cl_Image* frame : m_frames) frame->Write(file);
}

void cl_TextureStrip::Read(base::File* file) {
  DeleteFrames();
  if (!file) return;
  base::tString<base::BaseString> baseName, extension;
  int mode = 0;
  float bounds[4], speed = 0.0f, pauseMin = 0.0f, pauseMax = 0.0f;
  unsigned char blur = 0;
  // The string readers reject lengths past the end with their own line.
  if (!baseName.Read(file) || !extension.Read(file)) return;
  if (!(file->read(&mode, 4) && file->read(bounds, 16) && file->read(&speed, 4) && file->read(&pauseMin, 4) &&
        file->read(&pauseMax, 4) && file->read(&blur, 1))) {
    file->report_error("strip record '%s' ends inside its settings (offset %d)", baseName.c_str(),
                       file->get_current_position());
    return;
  }
  int count = 0;
  if (!file->read_length(count, kMinImageRecord, "strip frame list")) return;
  std::vector<cl_Image*> frames;
  for (int i = 0; i < count; ++i) {
    cl_Image* image = new cl_Image;
    image->Read(file);
    frames.push_back(image);
    if (file->has_error()) {
      for (cl_Image* frame : frames) delete frame;
      return;
    }
  }
  m_baseName = baseName, m_extension = extension;
  m_playMode = mode;
  std::copy(bounds, bounds + 4, m_bounds);
  m_speed = speed, m_pauseMin = pauseMin, m_pauseMax = pauseMax;
  m_useBlur = true;  // the stored byte is not honoured: every stored strip cross-fades
  m_frames.swap(frames);
  m_current = m_next = nullptr;
  m_frameIndex = 0;
  m_playing = mode != PLAY_RANDOM_PAUSE;
}

}  // namespace gfx
