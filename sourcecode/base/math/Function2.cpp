// Piecewise-linear curves.
#include "base/math/Function2.h"

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/system.h"

float Function2::Evaluate(float x) const {
  const std::size_t n = m_points.size();
  if (n == 0) return 0.0f;
  if (x <= m_points[0].x) return m_points[0].y;
  if (x >= m_points[n - 1].x) return m_points[n - 1].y;
  for (std::size_t i = 1; i < n; ++i) {
    const st_Point& b = m_points[i];
    if (b.x > x) {
      const st_Point& a = m_points[i - 1];
      return a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
    }
  }
  base::sys::Output("unknown error in Function2");
  return 0.0f;
}

bool Function2::ReadPoints(const base::Variant& element) {
  if (!element.is_element()) return false;
  for (int i = 0; i < element.size(); ++i) {
    const base::Variant& p = element[i];
    float x, y;
    if (p.is_element() && p.get_attribute_float("x", x) && p.get_attribute_float("y", y)) AddPoint(x, y);
  }
  return true;
}

bool Function2::Load(const base::tString<base::BaseString>& file, const base::tString<base::BaseString>& label) {
  base::Variant root;
  if (!base::xml::read_file(root, file.c_str())) return false;
  base::Variant* curve = base::variant_find_element_by_attribute_value(root, "label", label.c_str());
  if (!curve) {
    base::sys::Output("Function2: could not find label %s.", label.c_str());
    return false;
  }
  return ReadPoints(*curve);
}
