// A slice of the demo's resource list for tests that draw with demogen's pictures: the entries of
// data/resources.xml whose files lie under the given folders (copied into the test's folder) and
// the named fonts, written to a resource file of their own and loaded.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/system.h"

namespace testsupport {

// The number of entries loaded; -1 when the list cannot be read or the slice cannot be loaded.
inline int LoadDemoResources(const std::filesystem::path& data, const std::filesystem::path& dir,
                             std::initializer_list<const char*> folders, const std::set<std::string>& fonts,
                             const char* listName) {
  namespace fs = std::filesystem;
  base::Variant all;
  if (!base::xml::read_file(all, (data / "resources.xml").string().c_str())) return -1;
  base::Variant kept;
  kept.set_element("Resources");
  int entries = 0;
  for (int i = 0; i < all.size(); ++i) {
    base::tString<base::BaseString> label, file;
    all[i].get_attribute_string("label", label);
    all[i].get_attribute_string("file", file);
    const std::string l = label.c_str(), f = file.c_str();
    bool listed = false;
    for (const char* folder : folders) listed = listed || f.rfind(folder, 0) == 0;
    if (!listed && !fonts.count(l)) continue;
    if (listed) {
      fs::create_directories((dir / f).parent_path());
      fs::copy_file(data / f, dir / f, fs::copy_options::overwrite_existing);
    }
    base::Variant copy(all[i]);
    kept.push_back(copy);
    ++entries;
  }
  const std::string list = (dir / listName).string();
  if (!base::xml::write_file(kept, list.c_str()) || !base::sys::AddResources(list.c_str())) return -1;
  return entries;
}

}  // namespace testsupport
