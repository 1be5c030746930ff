// The layering check: reads every quoted #include under a source tree and reports each one that
// reaches a library above the including one, by the rule table in layers.txt.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace layering {

class cl_LayerRules {
 public:
  // Reads the table (see layers.txt); false with error set when a line cannot be read.
  bool Load(const std::string& path);
  // The library folder a file (path relative to sourcecode/) belongs to; "" when none.
  std::string LibraryOf(const std::string& file) const;
  // Whether library from may include a header of library to.
  bool MayInclude(const std::string& from, const std::string& to) const;
  // Whether the file lies in a sub-folder of a library whose areas are on the list ("areas:"),
  // but that sub-folder has no line of its own.
  bool IsUnlistedArea(const std::string& file) const;
  // The files (relative to sourcecode/) that file stands under inside its area ("under:" lines):
  // it may reach none of them, directly or through other headers. Empty for most files.
  const std::set<std::string>& FilesAbove(const std::string& file) const;
  const std::vector<std::string>& GetRoots() const { return m_roots; }
  const std::string& GetError() const { return m_error; }

 private:
  std::set<std::string> Expand(const std::string& name) const;  // "platform/*" to its folders
  std::vector<std::string> m_roots;
  std::set<std::string> m_areaLibraries;  // libraries split into areas, each with a line
  std::map<std::string, std::vector<std::string>> m_below;  // the direct lower folders
  std::map<std::string, std::set<std::string>> m_filesAbove;  // "under:" lines
  std::string m_error;
};

// One include that breaks the rules: "base/data/Xml.cpp:12: includes "win32dx9/Platform.h"
// (base may not include win32dx9)".
struct st_Violation {
  std::string file;  // relative to the tree
  int line = 0;
  std::string include;
  std::string text;  // the whole message
};

// Scans every .h, .hpp, .inl, .c and .cpp file under tree (a sourcecode/ folder): each include
// across libraries against the folders' lattice, and each file of an "under:" line for a way to a
// file above it (reported at its include that starts the way).
std::vector<st_Violation> CheckTree(const std::string& tree, const cl_LayerRules& rules);

}  // namespace layering
