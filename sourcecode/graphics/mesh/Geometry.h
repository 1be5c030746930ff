// Small float geometry for picking and planar work: triangles and rays in 3-D (mesh picking,
// the navigation mesh), segments, rays, circles and polylines in 2-D (walker avoidance, hotspot
// outlines, hand-drawn track lines). Plain values, all arithmetic in 32-bit floats.
#pragma once

#include <vector>

#include "base/math/Limit.h"
#include "base/math/Vector.h"

namespace base {

class File;

struct Triangle3 {
  tVector3<float> a, b, c;

  tVector3<float> Normal() const;  // (b − a) × (c − a), not normalised: its length is twice the area
};

Triangle3 MakeTriangle(const tVector3<float>& a, const tVector3<float>& b, const tVector3<float>& c);

struct Ray3 {
  tVector3<float> origin;
  tVector3<float> direction;  // unit length (zero for a zero direction)

  Ray3() = default;
  Ray3(const tVector3<float>& origin_, const tVector3<float>& direction_);
  tVector3<float> PointAt(float t) const { return origin + direction * t; }
};

// Möller–Trumbore: true when the ray's line crosses the triangle; t is the distance along the
// ray (negative behind the origin: callers reject it), u and v the barycentric weights of b and
// c. A ray parallel to the plane misses, also when it lies in it.
bool IntersectRayTriangle(const Triangle3& triangle, const Ray3& ray, float& t, float& u, float& v);

struct Segment2 {
  tVector2<float> start, end;

  Segment2() = default;
  Segment2(const tVector2<float>& s, const tVector2<float>& e) : start(s), end(e) {}
  float Length() const;
  tVector2<float> ClosestPoint(const tVector2<float>& p) const;  // clamped to the segment
  // start + unit(end − start) · d, not clamped.
  tVector2<float> PointAtDistance(float d) const;
};

struct Ray2 {
  tVector2<float> origin;
  tVector2<float> direction;  // unit length

  Ray2() = default;
  explicit Ray2(const Segment2& segment);  // from start towards end
  Ray2(const tVector2<float>& origin_, const tVector2<float>& direction_);
  tVector2<float> PointAt(float t) const { return origin + direction * t; }
  // Crossing of the two lines: t on this ray, tOther on the other; false when parallel.
  bool Intersect(const Ray2& other, float& t, float& tOther) const;
  // Crossing ahead of the origin (t >= 0) inside the segment, its end point excluded.
  bool IntersectSegment(const Segment2& segment, tVector2<float>& point) const;
};

struct Circle2 {
  tVector2<float> centre;
  float radius = 0.0f;  // never negative

  Circle2() = default;
  Circle2(const tVector2<float>& centre_, float radius_);  // a radius <= 0 is stored as 0
  tVector2<float> ClosestPoint(const tVector2<float>& p) const;  // on the rim towards p
  Circle2 Grown(float margin) const;                           // radius + margin, at least 0
  bool Contains(const tVector2<float>& p) const;               // the rim is outside
  // Distance from the rim to the segment; negative when the segment cuts into the circle.
  float DistanceToSegment(const Segment2& segment) const;
  // 0, 1 (tangent, t1 only) or 2 crossings of the ray's line, t1 <= t2.
  int IntersectRay(const Ray2& ray, float& t1, float& t2) const;
  // The rim point nearest to ray.origin along the ray's perpendicular; the origin when the
  // perpendicular misses.
  tVector2<float> ExitPointAcross(const Ray2& ray) const;
};

// An ordered point list: an open polyline, or a closed polygon for Contains.
class Polygon2 {
 public:
  std::vector<tVector2<float>> points;

  int size() const { return static_cast<int>(points.size()); }
  void Translate(const tVector2<float>& offset);
  tLimit<tVector2<float>> GetBounds() const;  // all zero when empty
  tVector2<float> GetCenter() const;          // mean point; (0, 0) when empty
  float Length() const;                       // along the polyline
  // The point d along the polyline: the first point for d < 0, the last point at or past the
  // end. The polyline must hold a point.
  tVector2<float> PointAtDistance(float d) const;
  bool Contains(float x, float y) const;  // even-odd rule over the closed outline
  // out := the polyline with midpoints inserted and interior points pushed sideways at random
  // by up to factor/2 of their neighbourhood's length (base::Random).
  void Roughen(Polygon2& out, float factor) const;
  // out := depth rounds of midpoint subdivision and three-point averaging; the ends stay.
  void Smooth(Polygon2& out, int depth) const;

  // Record: i32 point count, then f32 x, f32 y per point.
  bool Write(File* file) const;
  // Empties the polygon first. A count of 0 or less gives an empty polygon; a count beyond the
  // bytes left is refused (logged, file marked failed, polygon left empty).
  bool Read(File* file);
};

bool WritePolygon2(File* file, const Polygon2& polygon);
bool ReadPolygon2(File* file, Polygon2& polygon);

}  // namespace base
