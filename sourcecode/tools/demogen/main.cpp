// demogen: writes the generated files of the demo game into the data folder.
//   demogen <data folder> [<stamp>]
//   demogen --projects <data folder>   (the scenes' ProjectFile.xml, checked in)
// With a stamp (the build passes a hash of demogen's sources) it returns at once when the data
// folder's ".demogen" holds the same stamp. Otherwise it first deletes its previous output (the
// files listed in ".demogen-manifest") and the engine caches built from it, which the engine
// would otherwise keep using, then runs every module and writes the manifest and the stamp.
// DEMOGEN_TIMING=1 prints each module's time; DEMOGEN_ONLY=<module> runs that module alone.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Modules.h"
#include "core/Output.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A manifest line names a file below the data folder; anything else is not ours to delete.
bool IsSafeRelative(const std::string& name) {
  return !name.empty() && name[0] != '/' && name.find("..") == std::string::npos;
}

void DeletePreviousOutput(const fs::path& data) {
  std::ifstream manifest(data / ".demogen-manifest");
  std::string line;
  std::error_code ec;
  while (std::getline(manifest, line)) {
    if (!IsSafeRelative(line)) continue;
    fs::remove(data / line, ec);
    // Folders left empty go too: a renamed folder would otherwise stay, and the file layer's
    // exact match on an old spelling would hide the new folder of the other letter case.
    for (fs::path folder = (data / line).parent_path(); folder != data && fs::is_empty(folder, ec) && !ec;
         folder = folder.parent_path())
      if (!fs::remove(folder, ec)) break;
  }
}

// Caches the engine builds from generated sources and uses whenever they exist.
bool IsEngineCache(const fs::path& relative) {
  const std::string name = relative.filename().string();
  const std::string folder = relative.parent_path().generic_string();
  auto endsWith = [&](const char* tail) {
    const std::string t = tail;
    return name.size() >= t.size() && name.compare(name.size() - t.size(), t.size(), t) == 0;
  };
  if (endsWith(".bmo") || endsWith("_protocol.txt") || endsWith(".pak")) return true;
  if (endsWith(".dat"))
    return folder == "Characters" || folder == "characters" || folder == "Scenes" || folder == "scenes" ||
           folder == "gui/minigames";
  return false;
}

void DeleteEngineCaches(const fs::path& data) {
  std::error_code ec;
  std::vector<fs::path> caches;
  for (auto it = fs::recursive_directory_iterator(data, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (it->is_regular_file() && IsEngineCache(fs::relative(it->path(), data))) caches.push_back(it->path());
  for (const fs::path& p : caches) fs::remove(p, ec);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--projects") {
    // The scenes' project files are written once and checked in; the editor owns them after.
    if (!demogen::WriteSceneProjects(argv[2])) return 1;
    std::printf("demogen: scene projects written to %s/Scenes\n", argv[2]);
    return 0;
  }
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: demogen <data folder> [<stamp>]\n       demogen --projects <data folder>\n");
    return 2;
  }
  const fs::path data = argv[1];
  const std::string stamp = argc == 3 ? argv[2] : "";
  if (!fs::is_directory(data)) {
    std::fprintf(stderr, "demogen: %s is not a folder\n", argv[1]);
    return 1;
  }
  if (!stamp.empty() && ReadText(data / ".demogen") == stamp) return 0;
  // One module alone rewrites its files over the others' and leaves the manifest and stamp be.
  const char* only = std::getenv("DEMOGEN_ONLY");

  std::error_code ec;
  if (!only) {
    DeletePreviousOutput(data);
    DeleteEngineCaches(data);
    fs::remove(data / ".demogen", ec);
  }

  demogen::cl_Output out(data.string());
  struct st_Module {
    const char* name;
    const char* what;
    bool (*make)(demogen::cl_Output&);
  };
#define DEMOGEN_ENTRY(name, what) {#name, what, demogen::Make##name},
  const st_Module modules[] = {DEMOGEN_MODULES(DEMOGEN_ENTRY)};
#undef DEMOGEN_ENTRY
  bool ok = true;
  const bool timing = std::getenv("DEMOGEN_TIMING") != nullptr;  // which module the build waits for
  for (const st_Module& m : modules) {
    if (only && std::string(only) != m.name) continue;
    const auto start = std::chrono::steady_clock::now();
    const bool made = m.make(out);
    if (timing)
      std::printf("demogen: %s took %.2f s\n", m.name,
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!made) {
      std::fprintf(stderr, "demogen: module %s (%s) failed\n", m.name, m.what);
      ok = false;
    }
  }
  if (only) return ok ? 0 : 1;
  std::string manifest;
  for (const std::string& file : out.Written()) manifest += file + "\n";
  std::ofstream(data / ".demogen-manifest", std::ios::binary | std::ios::trunc) << manifest;
  if (!ok) return 1;
  std::ofstream(data / ".demogen", std::ios::binary | std::ios::trunc) << stamp;
  std::printf("demogen: %zu files written to %s\n", out.Written().size(), data.string().c_str());
  return 0;
}
