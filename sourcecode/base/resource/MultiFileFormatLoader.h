// base::tMultiFileFormatLoader<T>: a process-wide registry, per target type, from file extension
// to loader function. Meshes, skeletons and 32-bit bitmaps are loaded from whichever source
// format a file has ("xml", "lwo", ...) through it.
#pragma once

#include <map>

#include "base/FileTools.h"
#include "base/String.h"
#include "base/system.h"

namespace base {

template <class T>
class tMultiFileFormatLoader {
 public:
  using Loader = bool (*)(const char* file, T* target);

  // Registers loader for extension (compared without letter case); a later registration of the
  // same extension replaces the earlier one.
  static void AddFileFormat(const char* extension, Loader loader) {
    Registry()[tString<BaseString>(extension).lower()] = loader;
  }
  // The loader for a file name: its full extension ("mesh.xml") first, then the text after its
  // last '.' ("xml"); null when neither is registered.
  static Loader GetLoader(const char* file) {
    const tString<BaseString> ext = GetFileExtension(file);
    auto& r = Registry();
    auto it = r.find(ext);
    if (it != r.end()) return it->second;
    const int dot = ext.find_last('.');
    if (dot >= 0) {
      it = r.find(ext.mid(dot + 1));
      if (it != r.end()) return it->second;
    }
    return nullptr;
  }
  // Loads file into target with the loader of its extension; false (logged) when there is none.
  static bool LoadFileMultiFormat(const char* file, T* target) {
    Loader loader = GetLoader(file);
    if (!loader) {
      sys::Output("ERROR: %s: no loader for this file format\n", file ? file : "");
      return false;
    }
    return loader(file, target);
  }
  static void RemoveAll() { Registry().clear(); }

 private:
  static std::map<tString<BaseString>, Loader>& Registry() {
    static std::map<tString<BaseString>, Loader> registry;
    return registry;
  }
};

}  // namespace base
