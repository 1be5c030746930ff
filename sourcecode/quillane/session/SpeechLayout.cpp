// The spoken line's word wrap and box placement.
#include "quillane/session/SpeechLayout.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>

#include "graphics/draw/Draw.h"

namespace quillane {

bool cl_SpeechLayout::s_plainRule = false;

namespace {

using tLine = cl_SpeechLayout::tLine;

tLine Run(const tLine& text, int start, int end) {
  tLine run;
  if (end > start) run.set(text.get_buffer(start), end - start);
  return run;
}

// Where a run's width is not its characters' widths added up.
bool NeedsPlainRule(const tLine& text) {
  for (int i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\n' || (c >= 0xD800 && c <= 0xDFFF)) return true;
  }
  return false;
}

// Widths of single characters through the measure, each asked once: a run's width is the
// measure's overhang (its width of the empty run) plus the characters' own widths.
class cl_GlyphWidths {
 public:
  explicit cl_GlyphWidths(cl_SpeechLayout::tMeasure measure) : m_measure(measure) {
    m_overhang = static_cast<int>(measure(u""));
    for (int& w : m_ascii) w = kUnknown;
  }
  int Overhang() const { return m_overhang; }
  int Of(char16_t c) {
    int* slot = c < 128 ? &m_ascii[c] : &m_other.try_emplace(c, kUnknown).first->second;
    if (*slot == kUnknown) {
      const char16_t one[2] = {c, 0};
      *slot = static_cast<int>(m_measure(one)) - m_overhang;
    }
    return *slot;
  }

 private:
  static constexpr int kUnknown = -0x7FFFFFFF;
  cl_SpeechLayout::tMeasure m_measure;
  int m_overhang = 0;
  int m_ascii[128];
  std::unordered_map<char16_t, int> m_other;
};

}  // namespace

void cl_SpeechLayout::AddLine(std::vector<tLine>& lines, const tLine& text, float width) {
  AddLine(lines, text, width, &gfx::GetTextWidthW, s_plainRule);
}

void cl_SpeechLayout::AddLine(std::vector<tLine>& lines, const tLine& text, float width, tMeasure measure,
                              bool plain) {
  const int n = text.size();
  plain = plain || NeedsPlainRule(text);
  // Incremental: widths[i] is the sum of the character widths before i, so a run start..i is
  // the overhang plus widths[i] - widths[start].
  std::vector<int> widths;
  cl_GlyphWidths glyphs(measure);
  if (!plain) {
    widths.resize(static_cast<std::size_t>(n) + 1, 0);
    for (int i = 0; i < n; ++i) widths[i + 1] = widths[i] + glyphs.Of(text[i]);
  }
  int start = 0, lastBlank = -1;
  for (int i = 0; i < n; ++i) {
    if (text[i] == u' ') lastBlank = i;
    // Only a line with a blank in it can break; the plain rule measures regardless.
    const bool breakable = lastBlank >= start;
    if (!plain && !breakable) continue;
    const int runWidth = plain ? static_cast<int>(measure(Run(text, start, i).c_str()))
                               : glyphs.Overhang() + widths[i] - widths[start];
    if (breakable && static_cast<float>(runWidth) > width) {
      lines.push_back(Run(text, start, lastBlank));
      start = lastBlank + 1;
    }
  }
  lines.push_back(Run(text, start, n));
}

base::tRectf cl_SpeechLayout::PlaceBox(float x, float y, int maxWidth, int lineCount, int side, float w, float h,
                                       const base::tRectf& viewport) {
  const float halfWidth = static_cast<float>(maxWidth / 2);
  const float halfHeight = 15.0f * static_cast<float>(lineCount);
  float left = x - halfWidth - 10.0f, right = x + halfWidth + 10.0f;
  float top = y - halfHeight - 40.0f, bottom = y + halfHeight - 30.0f;
  auto shiftX = [&](float dx) { left += dx, right += dx; };
  auto shiftY = [&](float dy) { top += dy, bottom += dy; };
  // Inside the window, each test after the previous shift: a box wider than the window ends on
  // its right edge, a taller one on its bottom edge.
  if (left < 0.0f) shiftX(-left);
  if (right > w) shiftX(w - right);
  if (top < 0.0f) shiftY(-top);
  if (bottom > h) shiftY(h - bottom);
  // Away from the partner.
  const float sideShift = 0.7f * (right - left);
  if (side == -1) shiftX(-sideShift);
  if (side == 1) shiftX(sideShift);
  // The viewport's margins; none at the bottom, where the interface bar may cover it.
  if (left < viewport.min.x + 32.0f) shiftX(viewport.min.x + 32.0f - left);
  if (right + 32.0f > viewport.max.x) shiftX(viewport.max.x - 32.0f - right);
  if (top < viewport.min.y + 16.0f) shiftY(viewport.min.y + 16.0f - top);
  return base::tRectf(left, top, right, bottom);
}

// ---- keeping off the faces

namespace {

constexpr float kFrame = 16.0f;  // the dialog frame round the box
constexpr float kGap = 8.0f;     // at least between the frame and a face

bool CoversFace(const base::tRectf& box, const base::tRectf& face) {
  return box.min.x - kFrame - kGap < face.max.x && face.min.x < box.max.x + kFrame + kGap &&
         box.min.y - kFrame - kGap < face.max.y && face.min.y < box.max.y + kFrame + kGap;
}

// The square of the distance from the face's middle to the nearest point of the box.
float DistanceToFace(const base::tRectf& box, const base::tRectf& face) {
  const float cx = (face.min.x + face.max.x) * 0.5f, cy = (face.min.y + face.max.y) * 0.5f;
  const float dx = std::max({box.min.x - cx, 0.0f, cx - box.max.x});
  const float dy = std::max({box.min.y - cy, 0.0f, cy - box.max.y});
  return dx * dx + dy * dy;
}

}  // namespace

bool cl_SpeechLayout::IsClearOfFaces(const base::tRectf& box, const std::vector<base::tRectf>& faces, int speaker) {
  for (const base::tRectf& face : faces)
    if (CoversFace(box, face)) return false;
  if (speaker < 0 || speaker >= static_cast<int>(faces.size())) return true;
  const float own = DistanceToFace(box, faces[static_cast<size_t>(speaker)]);
  for (size_t i = 0; i < faces.size(); ++i)
    if (static_cast<int>(i) != speaker && DistanceToFace(box, faces[i]) <= own) return false;
  return true;
}

base::tRectf cl_SpeechLayout::KeepOffFaces(const base::tRectf& box, const base::tRectf& viewport,
                                           const std::vector<base::tRectf>& faces, int speaker) {
  if (IsClearOfFaces(box, faces, speaker)) return box;
  const float width = box.max.x - box.min.x, height = box.max.y - box.min.y;
  // The places worth trying: where the box stands now, flush with the viewport's margins, and
  // just clear of each face on each of its sides.
  const float minX = viewport.min.x + 32.0f, maxX = viewport.max.x - 32.0f - width;
  const float minY = viewport.min.y + 16.0f, maxY = viewport.max.y - kFrame - height;
  std::vector<float> lefts = {box.min.x, minX, maxX}, tops = {box.min.y, minY, maxY};
  for (const base::tRectf& face : faces) {
    lefts.push_back(face.max.x + kGap + kFrame);
    lefts.push_back(face.min.x - kGap - kFrame - width);
    tops.push_back(face.max.y + kGap + kFrame);
    tops.push_back(face.min.y - kGap - kFrame - height);
  }
  // Of those inside the margins and clear of every face, the one the box has to move least to:
  // one nearest the speaker's face if there is such, else any; none, and it stays.
  for (const int nearestTo : {speaker, -1}) {
    base::tRectf best = box;
    float bestMove = -1.0f;
    for (float left : lefts) {
      if (maxX >= minX) left = std::clamp(left, minX, maxX);
      for (float top : tops) {
        if (maxY >= minY) top = std::clamp(top, minY, maxY);
        const base::tRectf moved(left, top, left + width, top + height);
        if (!IsClearOfFaces(moved, faces, nearestTo)) continue;
        const float dx = left - box.min.x, dy = top - box.min.y;
        const float move = dx * dx + dy * dy;
        if (bestMove < 0.0f || move < bestMove) best = moved, bestMove = move;
      }
    }
    if (bestMove >= 0.0f) return best;
  }
  return box;
}

}  // namespace quillane
