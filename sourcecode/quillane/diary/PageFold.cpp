// The page fold: the turning page clipped by the fold line, its mirror image, the texture
// coordinates of both and the pull-back that keeps the page bound at the spine.
#include "quillane/diary/PageFold.h"

#include <algorithm>
#include <cmath>

namespace {

using tPoint = cl_PageFold::tPoint;

// Below this the corner has not left its place: nothing is folded.
constexpr float kMinFold = 1e-3f;
// A spine end closer than this beyond its reach still counts as attached (rounding of the
// pull-back, which only ever approaches the boundary).
constexpr float kAttachTolerance = 0.01f;

// Rectangle vertices clockwise from the top-left, the same order as the corner numbers.
void PageRect(float left, float top, float right, float bottom, tPoint out[4]) {
  out[0] = {left, top};
  out[1] = {right, top};
  out[2] = {right, bottom};
  out[3] = {left, bottom};
}

}  // namespace

void cl_PageFold::SetArea(const tPoint& topLeft, const tPoint& bottomRight, float spineX) {
  PageRect(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y, m_corners);
  m_corners[SPINE_TOP] = {spineX, topLeft.y};
  m_corners[SPINE_BOTTOM] = {spineX, bottomRight.y};
  const float w = bottomRight.x - topLeft.x, h = bottomRight.y - topLeft.y;
  const float a[4] = {h, w / 2, h, w / 2}, b[4] = {w / 2, h, w / 2, h};
  std::copy(a, a + 4, m_edgeA);
  std::copy(b, b + 4, m_edgeB);
  m_diagonal = (m_corners[SPINE_BOTTOM] - m_corners[TOP_LEFT]).length();
  m_activeCorner = -1;
  m_triangleCount = 0;
  m_foldRatio = 0.0f;
}

cl_PageFold::tPoint cl_PageFold::CornerUV(float u, float v, bool swap) const {
  switch (m_activeCorner) {
    case TOP_LEFT: return {u, v};
    case TOP_RIGHT: return swap ? tPoint(1 - u, v) : tPoint(v, 1 - u);
    case BOTTOM_RIGHT: return {1 - u, 1 - v};
    case BOTTOM_LEFT: return swap ? tPoint(u, 1 - v) : tPoint(1 - v, u);
    default: return {0, 0};
  }
}

void cl_PageFold::ClampFoldPoint() {
  if (m_activeCorner < 0 || m_activeCorner > 3) return;
  const float margin = m_turnState == 1 ? 0.1f : 5.0f;
  const bool right = IsRightCorner(m_activeCorner);
  const float lo = m_corners[TOP_LEFT].x + (right ? 0.1f : margin);
  const float hi = m_corners[TOP_RIGHT].x - (right ? margin : 0.1f);
  if (lo <= hi) m_foldPoint.x = std::clamp(m_foldPoint.x, lo, hi);
}

bool cl_PageFold::BuildFold(float /*dt*/, bool correct) {
  m_triangleCount = 0;
  const int c = m_activeCorner;
  if (c < 0 || c > 3) return true;
  const tPoint corner = m_corners[c];
  const tPoint toFold = m_foldPoint - corner;
  const float d = toFold.length();
  const float width = GetWidth();
  m_foldRatio = width > 0.0f ? d / width : 0.0f;
  if (!(d > kMinFold)) return true;

  // The turning page is the half of the area on the corner's side of the spine. Its part nearer
  // the corner than the fold point is the flap; the rest stays where it lies.
  const bool right = IsRightCorner(c);
  const float left = right ? GetSpineX() : m_corners[TOP_LEFT].x;
  const float rightX = right ? m_corners[TOP_RIGHT].x : GetSpineX();
  const float top = m_corners[TOP_LEFT].y, bottom = m_corners[BOTTOM_LEFT].y;
  tPoint page[4];
  PageRect(left, top, rightX, bottom, page);
  const tPoint normal = toFold / d;
  const tPoint middle = corner + toFold * 0.5f;
  auto side = [&](const tPoint& p) { return (p - middle).dot(normal); };  // < 0: the corner's side

  // Clip the page to the corner's side of the fold line, starting at the corner so that the fan
  // of triangles begins there.
  tPoint flap[8];
  int count = 0;
  for (int k = 0; k < 4; ++k) {
    const tPoint& s = page[(c + k + 3) % 4];
    const tPoint& e = page[(c + k) % 4];
    const float fs = side(s), fe = side(e);
    if ((fs > 0.0f) != (fe > 0.0f)) flap[count++] = s + (e - s) * (fs / (fs - fe));
    if (fe <= 0.0f) flap[count++] = e;
  }
  int kept = 0;
  for (int k = 0; k < count; ++k) {
    const tPoint& prev = kept ? flap[kept - 1] : flap[count - 1];
    if (k > 0 && (flap[k] - prev).sqr_length() < 1e-8f) continue;
    flap[kept++] = flap[k];
  }
  if (kept > 1 && (flap[kept - 1] - flap[0]).sqr_length() < 1e-8f) --kept;
  // The clip began with the edge into the corner, so an entry point may come first.
  const int start = static_cast<int>(std::find(flap, flap + kept, corner) - flap) % std::max(kept, 1);
  std::rotate(flap, flap + start, flap + kept);

  float farthest = 0.0f, alongMin = 0.0f, alongMax = 0.0f;
  const tPoint along(-normal.y, normal.x);
  for (int k = 0; k < kept; ++k) {
    farthest = std::max(farthest, -side(flap[k]));
    const float t = (flap[k] - middle).dot(along);
    alongMin = k ? std::min(alongMin, t) : t;
    alongMax = k ? std::max(alongMax, t) : t;
  }
  const float pageW = rightX - left, pageH = bottom - top;
  auto emit = [&](int slot, const tPoint& p) {
    const float u = pageW > 0.0f ? (p.x - left) / pageW : 0.0f;
    const float v = pageH > 0.0f ? (p.y - top) / pageH : 0.0f;
    m_belowPos[slot] = p;
    m_belowUV[slot] = {u, v};
    m_backPos[slot] = p - normal * (2.0f * side(p));
    m_backUV[slot] = {1.0f - u, v};
    const float across = farthest > 0.0f ? -side(p) / farthest : 0.0f;
    const float extent = alongMax - alongMin;
    m_shadowUV[slot] = {across, extent > 0.0f ? ((p - middle).dot(along) - alongMin) / extent : 0.0f};
  };
  for (int k = 1; k + 1 < kept && m_triangleCount < kMaxTriangles; ++k) {
    const int slot = static_cast<int>(m_triangleCount) * 3;
    emit(slot, flap[0]);
    emit(slot + 1, flap[k]);
    emit(slot + 2, flap[k + 1]);
    ++m_triangleCount;
  }

  // The page is bound at the spine: neither spine end may lie on the corner's side of the fold.
  // The near end is half the area's width from the corner, the far end one page diagonal; the
  // fold point may come no farther from either.
  const bool topCorner = c == TOP_LEFT || c == TOP_RIGHT;
  const tPoint nearEnd = m_corners[topCorner ? SPINE_TOP : SPINE_BOTTOM];
  const tPoint farEnd = m_corners[topCorner ? SPINE_BOTTOM : SPINE_TOP];
  const float nearReach = (c == TOP_LEFT || c == BOTTOM_RIGHT) ? m_edgeB[c] : m_edgeA[c];
  tPoint excess;
  int corrections = 0;
  for (const auto& [end, reach] : {std::pair{nearEnd, nearReach}, std::pair{farEnd, m_diagonal}}) {
    const tPoint toEnd = end - m_foldPoint;
    const float dist = toEnd.length();
    if (dist > reach + kAttachTolerance) {
      excess += toEnd * ((dist - reach) / dist);
      ++corrections;
    }
  }
  if (correct && corrections > 0) {
    m_foldPoint += excess / static_cast<float>(corrections);
    ClampFoldPoint();
  }
  return corrections == 0;
}
