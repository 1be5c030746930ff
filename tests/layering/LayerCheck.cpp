// The layering check's rule table and tree scan.
#include "LayerCheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

namespace layering {

namespace {

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

bool IsCodeFile(const fs::path& p) {
  static const std::set<std::string> kExtensions = {".h", ".hpp", ".inl", ".c", ".cpp"};
  return kExtensions.count(p.extension().string()) != 0;
}

// The path of a line's `#include "path"`, or "" when the line is none (spaces allowed around '#').
std::string QuotedInclude(const std::string& line) {
  size_t at = line.find_first_not_of(" \t");
  if (at == std::string::npos || line[at] != '#') return "";
  at = line.find_first_not_of(" \t", at + 1);
  if (at == std::string::npos || line.compare(at, 7, "include") != 0) return "";
  at = line.find_first_not_of(" \t", at + 7);
  if (at == std::string::npos || line[at] != '"') return "";
  const size_t end = line.find('"', at + 1);
  return end == std::string::npos || end == at + 1 ? "" : line.substr(at + 1, end - at - 1);
}

}  // namespace

// ---- rules

bool cl_LayerRules::Load(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    m_error = "cannot open " + path;
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
      m_error = path + ":" + std::to_string(number) + ": no ':' in \"" + line + "\"";
      return false;
    }
    const std::string key = Trim(line.substr(0, colon));
    std::istringstream words(line.substr(colon + 1));
    std::vector<std::string> values;
    for (std::string w; words >> w;) values.push_back(w);
    if (key == "root") {
      m_roots.insert(m_roots.end(), values.begin(), values.end());
    } else if (key == "areas") {
      m_areaLibraries.insert(values.begin(), values.end());
    } else if (key == "under") {
      if (values.size() < 2) {
        m_error = path + ":" + std::to_string(number) + ": \"under:\" wants a file and the files above it";
        return false;
      }
      m_filesAbove[values[0]].insert(values.begin() + 1, values.end());
    } else {
      m_below[key] = values;
    }
  }
  return true;
}

std::string cl_LayerRules::LibraryOf(const std::string& file) const {
  std::string best;
  for (const auto& [folder, below] : m_below)
    if (file.compare(0, folder.size() + 1, folder + "/") == 0 && folder.size() > best.size()) best = folder;
  return best;
}

bool cl_LayerRules::IsUnlistedArea(const std::string& file) const {
  const std::string library = LibraryOf(file);
  return m_areaLibraries.count(library) != 0 && file.find('/', library.size() + 1) != std::string::npos;
}

const std::set<std::string>& cl_LayerRules::FilesAbove(const std::string& file) const {
  static const std::set<std::string> none;
  const auto it = m_filesAbove.find(file);
  return it == m_filesAbove.end() ? none : it->second;
}

std::set<std::string> cl_LayerRules::Expand(const std::string& name) const {
  std::set<std::string> out;
  if (name.size() > 2 && name.compare(name.size() - 2, 2, "/*") == 0) {
    const std::string prefix = name.substr(0, name.size() - 1);
    for (const auto& [folder, below] : m_below)
      if (folder.compare(0, prefix.size(), prefix) == 0) out.insert(folder);
  } else {
    out.insert(name);
  }
  return out;
}

bool cl_LayerRules::MayInclude(const std::string& from, const std::string& to) const {
  if (from == to) return true;
  std::set<std::string> seen{from};
  std::vector<std::string> open{from};
  while (!open.empty()) {
    const std::string at = open.back();
    open.pop_back();
    const auto it = m_below.find(at);
    if (it == m_below.end()) continue;
    for (const std::string& entry : it->second) {
      for (const std::string& lower : Expand(entry)) {
        if (lower == to) return true;
        if (seen.insert(lower).second) open.push_back(lower);
      }
    }
  }
  return false;
}

// ---- scan

namespace {

// The included file relative to the tree: next to the including file first, then from the tree
// and each include root. An include that names none of our files but starts with a library
// folder still counts (a header that is missing or generated); anything else is not ours.
std::string Resolve(const fs::path& tree, const std::string& from, const std::string& include,
                    const cl_LayerRules& rules) {
  std::vector<fs::path> candidates{fs::path(from).parent_path() / include, fs::path(include)};
  for (const std::string& root : rules.GetRoots()) candidates.push_back(fs::path(root) / include);
  for (const fs::path& c : candidates) {
    std::error_code ec;
    if (fs::is_regular_file(tree / c, ec)) return c.lexically_normal().generic_string();
  }
  if (!rules.LibraryOf(include).empty()) return include;
  return "";
}

}  // namespace

std::vector<st_Violation> CheckTree(const std::string& treePath, const cl_LayerRules& rules) {
  const fs::path tree(treePath);
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(tree))
    if (entry.is_regular_file() && IsCodeFile(entry.path()))
      files.push_back(fs::relative(entry.path(), tree).generic_string());
  std::sort(files.begin(), files.end());

  std::vector<st_Violation> out;
  std::set<std::string> unknownFolders;
  // Each file's includes of our own files, in line order: (line, include as written, file).
  std::map<std::string, std::vector<std::tuple<int, std::string, std::string>>> includes;
  for (const std::string& file : files) {
    const std::string library = rules.LibraryOf(file);
    if (library.empty() || rules.IsUnlistedArea(file)) {
      const std::string folder = fs::path(file).parent_path().generic_string();
      if (unknownFolders.insert(folder).second)
        out.push_back({file, 0, "", file + ": folder '" + folder + "' has no line in layers.txt"});
      continue;
    }
    std::ifstream in(tree / file);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const std::string include = QuotedInclude(line);
      if (include.empty()) continue;
      const std::string target = Resolve(tree, file, include, rules);
      if (target.empty()) continue;
      includes[file].emplace_back(number, include, target);
      const std::string to = rules.LibraryOf(target);
      if (!to.empty() && rules.MayInclude(library, to)) continue;
      st_Violation v{file, number, include, ""};
      v.text = file + ":" + std::to_string(number) + ": includes \"" + include + "\" (" + library +
               (to.empty() ? " includes a folder with no line in layers.txt)" : " may not include " + to + ")");
      out.push_back(v);
    }
  }
  // The files below one of an "under:" line, breadth first, starting at each of its includes.
  for (const std::string& file : files) {
    const std::set<std::string>& above = rules.FilesAbove(file);
    if (above.empty()) continue;
    for (const auto& [number, include, first] : includes[file]) {
      std::set<std::string> seen{first};
      std::vector<std::string> open{first};
      std::string reached;
      for (size_t i = 0; i < open.size() && reached.empty(); ++i) {
        if (above.count(open[i])) reached = open[i];
        for (const auto& next : includes[open[i]])
          if (seen.insert(std::get<2>(next)).second) open.push_back(std::get<2>(next));
      }
      if (reached.empty()) continue;
      st_Violation v{file, number, include, ""};
      v.text = file + ":" + std::to_string(number) + ": includes \"" + include + "\" (" + file + " stands under " +
               reached + ")";
      out.push_back(v);
    }
  }
  return out;
}

}  // namespace layering
