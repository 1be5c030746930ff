// Arbitrary bytes as a tree record: a record that is accepted must be walkable with every
// iterator operation; a rejected one must leave the tree empty.
#include <cstddef>
#include <cstdint>
#include <set>

#include "base/File.h"
#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"

#include "../BaseFuzz.h"

namespace {

// Touches every read of the iterator; the sum only keeps the reads from being dropped (unsigned:
// the values are arbitrary).
unsigned Walk(base::StaticVariantIterator it, int depth) {
  unsigned sum = static_cast<unsigned>(it.size()) + static_cast<unsigned>(it.get_int()) +
                 static_cast<unsigned>(it.get_float() == 0.0f) + static_cast<unsigned char>(it.get_string()[0]);
  for (int i = 0; i < it.get_attribute_cnt(); ++i) {
    sum += static_cast<unsigned>(it.get_attribute(it.get_attribute_label(i)).size());
    sum += static_cast<unsigned>(it.get_attribute(i).get_string_length());
  }
  for (int i = 0; i < it.get_element_cnt(); ++i) {
    base::StaticVariantIterator c = it.get_element(i);
    if (c.is_element()) sum += static_cast<unsigned>(it.get_element(c.get_label(), 0).size());
    sum += Walk(c, depth + 1);
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.bin")) return 0;
  base::StaticVariant sv;
  if (!sv.Read(&f)) {
    if (sv.get_words() || sv.get_size()) __builtin_trap();
    return 0;
  }
  volatile unsigned sink = Walk(sv, 0);
  (void)sink;
  std::set<const unsigned char*> names;
  sv.CollectVocableSet(names);
  base::Variant v;
  sv.copy_to(v);
  base::StaticVariant again;
  again = v;
  return 0;
}
