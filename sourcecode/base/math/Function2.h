// Function2: a one-dimensional curve through points (x, y), linear between neighbours and constant
// beyond the first and the last point. Curves are read from XML: an element with a "label" and one
// child element per point with attributes "x" and "y" (walking speeds, sliding curves).
#pragma once

#include <cstddef>
#include <vector>

#include "base/String.h"

namespace base {
class Variant;
}

class Function2 {
 public:
  struct st_Point {
    float x;
    float y;
  };

  int GetNumPoints() const { return static_cast<int>(m_points.size()); }
  const st_Point& GetPoint(int i) const { return m_points[static_cast<std::size_t>(i)]; }  // i below GetNumPoints
  void AddPoint(float x, float y) { m_points.push_back({x, y}); }
  void Clear() { m_points.clear(); }

  // The value at x; points are expected in ascending x. An empty curve gives 0. A not-a-number
  // x logs "unknown error in Function2" and gives 0.
  float Evaluate(float x) const;
  // Appends every child element that has both "x" and "y"; false when element is not an element.
  bool ReadPoints(const base::Variant& element);
  // Appends the points of the root's child whose "label" is label; false when the file cannot be
  // read (silently) or has no such curve (logged).
  bool Load(const base::tString<base::BaseString>& file, const base::tString<base::BaseString>& label);

 private:
  std::vector<st_Point> m_points;
};
