#include "graphics/mesh/Geometry.h"

#include <cmath>

#include "base/File.h"
#include "base/math/Random.h"

namespace base {

namespace {
// Below this a determinant counts as zero: the ray runs parallel.
constexpr float kParallel = 1e-10f;
}  // namespace

// ---- 3-D

tVector3<float> Triangle3::Normal() const { return (b - a).cross(c - a); }

Triangle3 MakeTriangle(const tVector3<float>& a, const tVector3<float>& b, const tVector3<float>& c) {
  return Triangle3{a, b, c};
}

Ray3::Ray3(const tVector3<float>& origin_, const tVector3<float>& direction_)
    : origin(origin_), direction(direction_.normal()) {}

bool IntersectRayTriangle(const Triangle3& tri, const Ray3& ray, float& t, float& u, float& v) {
  const tVector3<float> e1 = tri.b - tri.a;
  const tVector3<float> e2 = tri.c - tri.a;
  const tVector3<float> p = ray.direction.cross(e2);
  const float det = e1.dot(p);
  if (det > -kParallel && det < kParallel) return false;
  const float inv = 1.0f / det;
  const tVector3<float> s = ray.origin - tri.a;
  u = s.dot(p) * inv;
  if (u < 0.0f || u > 1.0f) return false;
  const tVector3<float> q = s.cross(e1);
  v = ray.direction.dot(q) * inv;
  if (v < 0.0f || u + v > 1.0f) return false;
  t = e2.dot(q) * inv;
  return true;
}

// ---- 2-D segments and rays

float Segment2::Length() const { return (end - start).length(); }

tVector2<float> Segment2::ClosestPoint(const tVector2<float>& p) const {
  const tVector2<float> d = (end - start).normal();
  const float length = Length();
  float s = d.dot(p - start);
  if (s < 0.0f) s = 0.0f;
  if (s > length) s = length;
  return start + d * s;
}

tVector2<float> Segment2::PointAtDistance(float d) const { return start + (end - start).normal() * d; }

Ray2::Ray2(const Segment2& segment) : origin(segment.start), direction((segment.end - segment.start).normal()) {}

Ray2::Ray2(const tVector2<float>& origin_, const tVector2<float>& direction_)
    : origin(origin_), direction(direction_.normal()) {}

bool Ray2::Intersect(const Ray2& other, float& t, float& tOther) const {
  const float det = direction.x * other.direction.y - other.direction.x * direction.y;
  if (std::fabs(det) < kParallel) return false;
  const tVector2<float> s = origin - other.origin;
  t = (other.direction.x * s.y - other.direction.y * s.x) / det;
  tOther = (direction.x * s.y - direction.y * s.x) / det;
  return true;
}

bool Ray2::IntersectSegment(const Segment2& segment, tVector2<float>& point) const {
  float t = 0.0f, tOther = 0.0f;
  if (!Intersect(Ray2(segment), t, tOther)) return false;
  if (t < 0.0f || tOther < 0.0f || tOther >= segment.Length()) return false;
  point = segment.PointAtDistance(tOther);
  return true;
}

// ---- circles

Circle2::Circle2(const tVector2<float>& centre_, float radius_) : centre(centre_), radius(radius_ > 0.0f ? radius_ : 0.0f) {}

tVector2<float> Circle2::ClosestPoint(const tVector2<float>& p) const { return centre + (p - centre).normal() * radius; }

Circle2 Circle2::Grown(float margin) const { return Circle2(centre, radius + margin); }

bool Circle2::Contains(const tVector2<float>& p) const { return (p - centre).sqr_length() < radius * radius; }

float Circle2::DistanceToSegment(const Segment2& segment) const {
  return (segment.ClosestPoint(centre) - centre).length() - radius;
}

int Circle2::IntersectRay(const Ray2& ray, float& t1, float& t2) const {
  const tVector2<float> m = ray.origin - centre;
  const float b = m.dot(ray.direction);
  const float disc = b * b - (m.dot(m) - radius * radius);
  if (disc > kParallel) {
    const float root = std::sqrt(disc);
    t1 = -b - root;
    t2 = -b + root;
    return 2;
  }
  if (disc <= -kParallel) return 0;
  t1 = -b;
  return 1;
}

tVector2<float> Circle2::ExitPointAcross(const Ray2& ray) const {
  const Ray2 across(ray.origin, tVector2<float>(-ray.direction.y, ray.direction.x));
  float t1 = 0.0f, t2 = 0.0f;
  switch (IntersectRay(across, t1, t2)) {
    case 0: return ray.origin;
    case 1: return across.PointAt(t1);
    default: return across.PointAt(std::fabs(t1) < std::fabs(t2) ? t1 : t2);
  }
}

// ---- polylines

void Polygon2::Translate(const tVector2<float>& offset) {
  for (auto& p : points) p += offset;
}

tLimit<tVector2<float>> Polygon2::GetBounds() const {
  if (points.empty()) return {};
  tLimit<tVector2<float>> bounds(points[0], points[0]);
  for (const auto& p : points) bounds.extend(p);
  return bounds;
}

tVector2<float> Polygon2::GetCenter() const {
  if (points.empty()) return {};
  tVector2<float> sum;
  for (const auto& p : points) sum += p;
  return sum / static_cast<float>(points.size());
}

float Polygon2::Length() const {
  float total = 0.0f;
  for (size_t i = 1; i < points.size(); ++i) total += (points[i] - points[i - 1]).length();
  return total;
}

tVector2<float> Polygon2::PointAtDistance(float d) const {
  if (points.empty()) return {};
  if (d < 0.0f) return points.front();
  float acc = 0.0f;
  for (size_t i = 1; i < points.size(); ++i) {
    const tVector2<float> step = points[i] - points[i - 1];
    const float length = step.length();
    if (acc <= d && d < acc + length) return points[i - 1] + step * ((d - acc) / length);
    acc += length;
  }
  return points.back();
}

bool Polygon2::Contains(float x, float y) const {
  bool inside = false;
  const size_t n = points.size();
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const tVector2<float>& pi = points[i];
    const tVector2<float>& pj = points[j];
    if ((pi.y > y) == (pj.y > y)) continue;
    // x < xi + (xj − xi)(y − yi)/(yj − yi), multiplied out so that no division is needed.
    const float lhs = (x - pi.x) * (pj.y - pi.y);
    const float rhs = (pj.x - pi.x) * (y - pi.y);
    if (pj.y - pi.y > 0.0f ? lhs < rhs : lhs > rhs) inside = !inside;
  }
  return inside;
}

namespace {
// [p0, (p0+p1)/2, p1, (p1+p2)/2, p2, ...]
std::vector<tVector2<float>> WithMidpoints(const std::vector<tVector2<float>>& in) {
  std::vector<tVector2<float>> out;
  if (in.empty()) return out;
  out.reserve(in.size() * 2 - 1);
  out.push_back(in[0]);
  for (size_t i = 1; i < in.size(); ++i) {
    out.push_back((in[i - 1] + in[i]) * 0.5f);
    out.push_back(in[i]);
  }
  return out;
}
}  // namespace

void Polygon2::Roughen(Polygon2& out, float factor) const {
  std::vector<tVector2<float>> pts = WithMidpoints(points);
  for (size_t k = 1; pts.size() >= 3 && k + 1 < pts.size(); ++k) {
    const tVector2<float> prev = pts[k - 1];
    const tVector2<float> next = pts[k + 1];
    const tVector2<float> side = tVector2<float>(-(next.y - prev.y), next.x - prev.x).normal();
    const float length = (pts[k] - prev).length() + (next - pts[k]).length();
    const float offset = (Random() - 0.5f) * factor * length;
    pts[k] += side * offset;
  }
  out.points.swap(pts);
}

void Polygon2::Smooth(Polygon2& out, int depth) const {
  if (points.size() < 3) {
    out.points = points;
    return;
  }
  const std::vector<tVector2<float>> tmp = WithMidpoints(points);
  std::vector<tVector2<float>> result;
  result.reserve(tmp.size());
  result.push_back(tmp.front());
  for (size_t k = 1; k + 1 < tmp.size(); ++k) result.push_back((tmp[k - 1] + tmp[k] + tmp[k + 1]) / 3.0f);
  result.push_back(tmp.back());
  out.points.swap(result);
  if (depth > 1) out.Smooth(out, depth - 1);
}

bool Polygon2::Write(File* file) const {
  if (!file) return false;
  bool ok = file->write_int(size());
  for (const auto& p : points) {
    ok = file->write(&p.x, 4) && ok;
    ok = file->write(&p.y, 4) && ok;
  }
  return ok;
}

bool Polygon2::Read(File* file) {
  points.clear();
  if (!file) return false;
  if (file->get_status() != File::STATUS_READ) {
    file->report_error("polygon record read from a file not open for reading");
    return false;
  }
  const int at = file->get_current_position();
  int n = 0;
  if (!file->read(&n, 4)) {
    file->report_error("polygon record: point count cut short at offset %d", at);
    return false;
  }
  if (n <= 0) return true;
  if (n > file->get_remaining() / 8) {
    file->report_error("polygon record: %d points at offset %d run past the end of the file (%d bytes left)", n, at,
                       file->get_remaining());
    return false;
  }
  points.resize(static_cast<size_t>(n));
  for (auto& p : points) {
    if (!file->read(&p.x, 4) || !file->read(&p.y, 4)) {
      points.clear();
      file->report_error("polygon record at offset %d is cut short", at);
      return false;
    }
  }
  return true;
}

bool WritePolygon2(File* file, const Polygon2& polygon) { return polygon.Write(file); }
bool ReadPolygon2(File* file, Polygon2& polygon) { return polygon.Read(file); }

}  // namespace base
