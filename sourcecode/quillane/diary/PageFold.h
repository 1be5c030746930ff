// The fold of a turning book page: the corner being turned is held at the fold point and the page
// is folded flat along the perpendicular bisector of corner and fold point, so the corner lands
// on the fold point. From that the book gets, every frame, the triangles where the page below
// shows through and where the back of the turning page lies, with their texture coordinates.
// Main thread only; plain value type, no drawing.
#pragma once

#include <cstdint>

#include "base/math/Vector.h"

class cl_PageFold {
 public:
  using tPoint = base::tVector2<float>;

  // ORDER FOLDCORNER: the corners of the page area, then the two ends of the spine.
  enum en_Corner { TOP_LEFT = 0, TOP_RIGHT = 1, BOTTOM_RIGHT = 2, BOTTOM_LEFT = 3, SPINE_TOP = 4, SPINE_BOTTOM = 5 };
  static constexpr int kMaxTriangles = 3;  // a page cut by a line leaves at most a pentagon
  static constexpr int kMaxVertices = 3 * kMaxTriangles;
  static constexpr int kCorrectionRounds = 20;  // how often the book lets BuildFold pull the point back

  // Corners of the page area (both pages side by side) and the spine at spineX; edge lengths
  // A = {H, W/2, H, W/2}, B = {W/2, H, W/2, H}; the page diagonal from corner 0 to the spine's
  // bottom. The fold is cleared.
  void SetArea(const tPoint& topLeft, const tPoint& bottomRight, float spineX);

  // Builds the fold triangles for the active corner and the fold point (none without an active
  // corner or with the fold point on the corner). True when the spine stays attached: no spine end
  // would be folded over. Otherwise, with correct, the fold point moves towards the allowed region
  // and is clamped; the triangles are those of the point before the move. dt plays no part.
  bool BuildFold(float dt, bool correct);
  // Edge-relative fractions (u, v) as page texture coordinates for the active corner (the corner's
  // own frame; swap selects the frame turned the other way); (0, 0) without an active corner.
  tPoint CornerUV(float u, float v, bool swap) const;
  // Keeps the fold point's x inside the page area: 0.1 from the side the page turns towards, and
  // from the side it comes from 0.1 while settling (turn state 1), else 5.0.
  void ClampFoldPoint();

  float GetWidth() const { return m_corners[TOP_RIGHT].x - m_corners[TOP_LEFT].x; }
  float GetHeight() const { return m_corners[BOTTOM_LEFT].y - m_corners[TOP_LEFT].y; }
  float GetSpineX() const { return m_corners[SPINE_TOP].x; }
  static bool IsRightCorner(int corner) { return corner == TOP_RIGHT || corner == BOTTOM_RIGHT; }

  // Inputs.
  tPoint m_corners[6];
  float m_edgeA[4] = {};  // per corner: length of the edge towards corner (c + 3) mod 4
  float m_edgeB[4] = {};  // per corner: length of the edge towards corner (c + 1) mod 4
  float m_diagonal = 0.0f;
  int m_activeCorner = -1;
  int m_turnState = 0;  // the book's: 1 settling selects the small clamp margin
  tPoint m_foldPoint;

  // Outputs: three entries per triangle in each list, first m_triangleCount × 3 valid.
  uint32_t m_triangleCount = 0;
  tPoint m_backPos[kMaxVertices];    // the back of the turning page, folded over
  tPoint m_belowPos[kMaxVertices];   // where the turning page left: the page below shows
  tPoint m_backUV[kMaxVertices];     // the back's page coordinates, mirrored in u
  tPoint m_belowUV[kMaxVertices];    // the page below's natural page coordinates
  tPoint m_shadowUV[kMaxVertices];   // u 0 on the fold line to 1 at the farthest flap point
  float m_foldRatio = 0.0f;          // |fold point − corner| / width of the page area
};
