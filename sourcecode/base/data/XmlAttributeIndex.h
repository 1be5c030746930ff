// Private to the tree readers: attribute find-or-add on an element under construction. Below a
// few attributes it scans like Variant::attribute; past that it keeps a hash index, so a tag with
// a hundred thousand attributes costs linear time instead of quadratic.
#pragma once

#include <memory>
#include <string_view>
#include <unordered_map>

#include "base/data/VariantTypes.h"

namespace base::xml_scan {

class cl_AttributeIndex {
 public:
  explicit cl_AttributeIndex(dt_element* e) : m_element(e) {}

  // The value of attribute [name, name + n), appended (nil) when new.
  Variant* find_or_add(const char* name, int n) {
    auto& records = m_element->m_attributes;
    const std::string_view key(name, static_cast<size_t>(n));
    if (m_index) {
      auto it = m_index->find(key);
      if (it != m_index->end()) return &records[it->second]->value;
    } else {
      const int i = m_element->find_attribute_index(name, n);
      if (i >= 0) return &records[static_cast<size_t>(i)]->value;
    }
    // Most tags carry a few attributes: one list block for them instead of three growing ones.
    if (records.empty()) records.reserve(4);
    auto* record = new dt_element::attribute_record;
    if (n) record->label.set(name, n);
    records.push_back(record);
    if (m_index) {
      m_index->emplace(label_of(*record), records.size() - 1);
    } else if (records.size() >= kScanLimit) {
      m_index = std::make_unique<std::unordered_map<std::string_view, size_t>>();
      for (size_t i = 0; i < records.size(); ++i) m_index->emplace(label_of(*records[i]), i);
    }
    return &record->value;
  }

 private:
  static constexpr size_t kScanLimit = 32;

  // The label text stays put: records are heap objects whose labels are not changed while parsing.
  static std::string_view label_of(const dt_element::attribute_record& r) {
    return std::string_view(r.label.c_str(), static_cast<size_t>(r.label.size()));
  }

  dt_element* m_element;
  std::unique_ptr<std::unordered_map<std::string_view, size_t>> m_index;
};

}  // namespace base::xml_scan
