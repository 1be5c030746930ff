#include "base/data/Array.h"

#include "base/File.h"

namespace base {

template <>
bool tArray<int>::Write(File* file, const std::vector<int>& values) {
  return file && WriteIntList(file, values.data(), static_cast<int>(values.size()));
}

template <>
bool tArray<int>::Read(File* file, std::vector<int>& values) {
  values.clear();
  if (!file) return false;
  int count = 0;
  if (!file->read_length(count, 4, "int list")) return false;
  values.resize(static_cast<size_t>(count));
  for (int& v : values) v = file->read_int();
  return !file->has_error();
}

}  // namespace base
