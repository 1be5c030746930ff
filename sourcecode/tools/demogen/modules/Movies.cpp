// The intro and credits movies, filmed from the Quay's own painting: the intro pans along the
// quay at night from the harbour office to the moored ferry with the game's title over the sky;
// the credits rest on the ferry while the credits roll up through a darkened band above the
// subtitles. The water glints move with the swell. A soft chord underneath; Theora with a Vorbis
// track in Ogg under the ".bik" names the game uses (the player finds the codecs by content),
// 640 × 400 at a whole 25 frames per second.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/ScenePictures.h"
#include "core/SceneTables.h"
#include "core/TextPainter.h"
#include "platform/video/ClipTools.h"

namespace demogen {

namespace {

constexpr int kWidth = 640, kHeight = 400, kRate = 25;
constexpr float kScale = 640.0f / 1024.0f;  // a 1024 × 640 window of the scene fills the frame
const char* const kSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

float Ease(float t) { return t * t * (3.0f - 2.0f * t); }

// The quay seen through a window of the scene whose left edge is at scene x, scaled to the
// frame, with the water's glints at the phase.
void FilmQuay(const std::vector<bool>& water, const base::cl_Bitmap32& view, float left, float phase,
              uint32_t* pixels) {
  const int w = view.Width(), h = view.Height();
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const float sx = left + (static_cast<float>(x) + 0.5f) / kScale - 0.5f,
                  sy = (static_cast<float>(y) + 0.5f) / kScale - 0.5f;
      const int x0 = std::clamp(static_cast<int>(sx), 0, w - 2), y0 = std::clamp(static_cast<int>(sy), 0, h - 2);
      const float fx = std::clamp(sx - static_cast<float>(x0), 0.0f, 1.0f),
                  fy = std::clamp(sy - static_cast<float>(y0), 0.0f, 1.0f);
      const base::Color32* row0 = view.GetPixels() + static_cast<size_t>(y0) * w + x0;
      const base::Color32* row1 = row0 + w;
      float bgr[3];  // the bitmap's byte order
      for (int c = 0; c < 3; ++c)
        bgr[c] = (static_cast<float>(row0[0][c]) * (1 - fx) + static_cast<float>(row0[1][c]) * fx) * (1 - fy) +
                 (static_cast<float>(row1[0][c]) * (1 - fx) + static_cast<float>(row1[1][c]) * fx) * fy;
      const int nx = std::clamp(static_cast<int>(sx + 0.5f), 0, w - 1),
                ny = std::clamp(static_cast<int>(sy + 0.5f), 0, h - 1);
      if (water[static_cast<size_t>(ny) * w + nx]) {
        const float glint = WaterGlint(nx, ny, phase) * 0.3f;
        bgr[0] += (232.0f - bgr[0]) * glint, bgr[1] += (216.0f - bgr[1]) * glint, bgr[2] += (200.0f - bgr[2]) * glint;
      }
      pixels[y * kWidth + x] = 0xFF000000u | static_cast<uint32_t>(bgr[2]) << 16 | static_cast<uint32_t>(bgr[1]) << 8 |
                               static_cast<uint32_t>(bgr[0]);
    }
}

void Darken(uint32_t* pixels, float amount) {
  for (int i = 0; i < kWidth * kHeight; ++i) {
    uint32_t out = 0xFF000000u;
    for (int shift : {16, 8, 0})
      out |= static_cast<uint32_t>(static_cast<float>((pixels[i] >> shift) & 0xFF) * (1.0f - amount)) << shift;
    pixels[i] = out;
  }
}

// A line of text painted once, then laid over frames wherever it has got to.
struct st_Caption {
  base::cl_Bitmap32 picture;
  int ascent = 0;

  st_Caption(const cl_TextPainter& face, const char* text, uint32_t rgb) {
    picture.Create(std::max(1, face.Width(text) + 4), face.LineHeight() + 4);
    ascent = face.Ascent() + 2;
    face.Draw(picture, 2, ascent, text, 0xFF000000u | rgb);
  }

  // Centred on centreX with its baseline at baseline, at alpha, only rows top to bottom.
  void Over(uint32_t* pixels, int centreX, int baseline, float alpha, int top, int bottom) const {
    const int x0 = centreX - picture.Width() / 2, y0 = baseline - ascent;
    for (int y = std::max({0, top, y0}); y < std::min({kHeight, bottom, y0 + picture.Height()}); ++y)
      for (int x = std::max(0, x0); x < std::min(kWidth, x0 + picture.Width()); ++x) {
        const base::Color32 c = picture.Point(x - x0, y - y0);
        const float a = static_cast<float>(c.a) / 255.0f * alpha;
        if (a <= 0.0f) continue;
        uint32_t& p = pixels[y * kWidth + x];
        uint32_t out = 0xFF000000u;
        const int src[3] = {c.r, c.g, c.b};
        for (int k = 0; k < 3; ++k) {
          const int shift = 16 - 8 * k;
          const float d = static_cast<float>((p >> shift) & 0xFF);
          out |= static_cast<uint32_t>(d + (static_cast<float>(src[k]) - d) * a) << shift;
        }
        p = out;
      }
  }
};

// Four seconds along the quay: from the harbour office to the ferry, the title over the sky.
void PaintIntro(const std::vector<bool>& water, const base::cl_Bitmap32& view, const st_Caption& title, int index,
                uint32_t* pixels) {
  const float t = static_cast<float>(index) / (4.0f * kRate);
  const float reach = static_cast<float>(view.Width()) - 1024.0f;
  FilmQuay(water, view, reach * (0.1f + 0.8f * Ease(t)), t * 6.0f, pixels);
  const float shown = std::clamp((t - 0.15f) / 0.2f, 0.0f, 1.0f) * std::clamp((0.95f - t) / 0.15f, 0.0f, 1.0f);
  title.Over(pixels, kWidth / 2, 78, shown, 0, kHeight);
  if (t > 0.9f) Darken(pixels, (t - 0.9f) / 0.1f * 0.8f);
}

// Eight seconds on the ferry: the credits roll up through the band above the subtitles.
void PaintCredits(const std::vector<bool>& water, const base::cl_Bitmap32& view, const std::vector<st_Caption>& lines,
                  int index, uint32_t* pixels) {
  const float t = static_cast<float>(index) / (8.0f * kRate);
  FilmQuay(water, view, static_cast<float>(view.Width()) - 1024.0f, t * 12.0f, pixels);
  Darken(pixels, 0.35f);
  // The band the lines are readable in, above the subtitles' place.
  constexpr int kTop = 24, kBottom = 310, kLead = 34;
  const float start = static_cast<float>(kBottom) + 10.0f;
  const float end = static_cast<float>(kTop) - static_cast<float>(kLead * static_cast<int>(lines.size()));
  const float scroll = start + (end - start) * t;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int baseline = static_cast<int>(scroll) + static_cast<int>(i) * kLead;
    if (baseline < kTop - kLead || baseline > kBottom + kLead) continue;
    const float fade = std::clamp(static_cast<float>(baseline - kTop) / 40.0f, 0.0f, 1.0f) *
                       std::clamp(static_cast<float>(kBottom - baseline) / 40.0f, 0.0f, 1.0f);
    lines[i].Over(pixels, kWidth / 2, baseline, fade, kTop - kLead, kBottom);
  }
}

// Encodes one movie into a file already named to the output (WriteBytes, which is not for two
// threads at once).
bool WriteMovie(cl_Output& out, const std::string& relative, int seconds, float root,
                const platform::video::PaintFrame& paint) {
  platform::video::st_ClipSettings settings;
  settings.width = kWidth;
  settings.height = kHeight;
  settings.rateNum = kRate;
  settings.frames = seconds * kRate;
  settings.container = "ogg";
  settings.videoCodec = "libtheora";
  settings.soundCodec = "libvorbis";
  settings.quality = 6;
  std::string error;
  const bool written = platform::video::WriteClip(
      out.Full(relative), settings, paint,
      [root, seconds](int64_t first, float* stereo, int count) {
        constexpr float kPi = std::numbers::pi_v<float>;
        for (int i = 0; i < count; ++i) {
          const float t = static_cast<float>(first + i) / 44100.0f;
          const float fade = std::min(1.0f, std::min(t, static_cast<float>(seconds) - t) * 2.0f);
          const float v = 0.12f * fade *
                          (std::sin(2 * kPi * root * t) + std::sin(2 * kPi * root * 1.25f * t) +
                           std::sin(2 * kPi * root * 1.5f * t)) / 3.0f;
          stereo[i * 2] = stereo[i * 2 + 1] = v;
        }
      },
      &error);
  if (!written) std::fprintf(stderr, "demogen: cannot write %s: %s\n", relative.c_str(), error.c_str());
  return written;
}

}  // namespace

bool MakeMovies(cl_Output& out) {
  const st_DemoScene* quayTable = nullptr;
  for (const st_DemoScene& s : DemoScenes())
    if (std::string(s.name) == "Quay") quayTable = &s;
  if (!quayTable) return false;
  const st_ScenePictures& quay = PaintedScene(*quayTable);
  const base::cl_Bitmap32 view = quay.View();
  // Where the water shows in the view: the background's water not covered by a layer.
  std::vector<bool> water(static_cast<size_t>(view.Width()) * view.Height());
  for (int y = 0; y < view.Height(); ++y)
    for (int x = 0; x < view.Width(); ++x) {
      bool covered = false;
      for (const st_PaintedLayer& layer : quay.layers) covered = covered || layer.picture.Point(x, y).a > 0;
      water[static_cast<size_t>(y) * view.Width() + x] = !covered && quay.Shows(x, y, en_Material::Water);
    }
  const cl_TextPainter titleFace(kSerif, 44), headingFace(kSerif, 30), lineFace(kSerif, 21);
  if (!titleFace.IsOpen() || !headingFace.IsOpen() || !lineFace.IsOpen()) return false;
  const st_Caption title(titleFace, "The Night Ferry", 0xF4E6C0);
  static const char* const kCredits[] = {"The Night Ferry",
                                         "",
                                         "A small adventure",
                                         "for the Quillane engine",
                                         "",
                                         "Story, scenes and scripts",
                                         "written for this demo",
                                         "",
                                         "Rooms and quay painted",
                                         "through the engine's own camera",
                                         "",
                                         "Voices by eSpeak NG",
                                         "Music and sounds synthesised",
                                         "",
                                         "Thank you for playing"};
  std::vector<st_Caption> credits;
  for (const char* text : kCredits)
    credits.emplace_back(credits.empty() ? headingFace : lineFace, text, credits.empty() ? 0xF4E6C0 : 0xE8E0D0);
  // Named through cl_Output first, so the manifest lists them; the bytes come from the encoder.
  if (!out.WriteBytes("movie/intro.bik", "", 0) || !out.WriteBytes("movie/credits.bik", "", 0)) return false;
  // The two encode side by side: each file is its own, so the bytes do not depend on the order.
  bool credited = false;
  std::thread second([&] {
    credited = WriteMovie(out, "movie/credits.bik", 8, 196.0f,
                          [&](int index, uint32_t* pixels) { PaintCredits(water, view, credits, index, pixels); });
  });
  const bool introduced = WriteMovie(out, "movie/intro.bik", 4, 220.0f, [&](int index, uint32_t* pixels) {
    PaintIntro(water, view, title, index, pixels);
  });
  second.join();
  return introduced && credited;
}

}  // namespace demogen
