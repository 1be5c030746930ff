// The file work of the editor mode: listing a folder of 2,000 entries as the scene manager and the
// file browsers do (base::ListDirectory, sorted, into a Variant) against std::filesystem's
// directory_iterator and a sort of the names; and saving a list of 1,000 scenes crash-safely
// (temporary file, fsync, rename) against pugixml building the same document, save_file, then the
// same fsync and rename.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "../BenchRatios.h"
#include "base/data/Variant.h"
#include "base/file/FileFinder.h"
#include "quillane/editor/SceneList.h"

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 2000;
constexpr int kScenes = 1000;

struct st_Bench {
  st_Bench() {
    dir = fs::temp_directory_path() / ("quillane_bench_editor_" + std::to_string(getpid()));
    fs::create_directories(dir / "listing");
    // Half folders, half files, named out of order.
    for (int i = 0; i < kEntries; ++i) {
      const fs::path entry = dir / "listing" / ("Scene_" + std::to_string((i * 7919) % kEntries));
      if (i % 2) {
        fs::create_directories(entry);
      } else {
        std::ofstream(entry.string() + ".tga") << "x";
      }
    }
    list.set_element("Scenes");
    for (int i = 0; i < kScenes; ++i) list.add_element("Scene").attribute("label")->set_string(("Scene_" + std::to_string(i)).c_str());
    quillane::SortSceneList(list);
  }
  ~st_Bench() { fs::remove_all(dir); }

  fs::path dir;
  base::Variant list;
};

st_Bench& Bench() {
  static st_Bench bench;
  return bench;
}

void BM_ListDirectory(benchmark::State& state) {
  const std::string folder = (Bench().dir / "listing").string();
  for (auto _ : state) {
    base::Variant out;
    base::ListDirectory(out, folder.c_str(), "*.*", false);
    if (out.size() != kEntries + 2) {
      state.SkipWithError("not every entry listed");
      break;
    }
  }
}
BENCHMARK(BM_ListDirectory)->Unit(benchmark::kMillisecond);

void BM_FilesystemIterateAndSort(benchmark::State& state) {
  const fs::path folder = Bench().dir / "listing";
  for (auto _ : state) {
    std::vector<std::pair<std::string, bool>> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) names.emplace_back(e.path().filename().string(), e.is_directory());
    std::sort(names.begin(), names.end());
    if (names.size() != kEntries) {
      state.SkipWithError("not every entry listed");
      break;
    }
  }
}
BENCHMARK(BM_FilesystemIterateAndSort)->Unit(benchmark::kMillisecond);

void BM_SaveSceneList(benchmark::State& state) {
  const std::string file = (Bench().dir / "scenes.xml").string();
  for (auto _ : state)
    if (!quillane::WriteSceneList(Bench().list, file.c_str())) {
      state.SkipWithError("save failed");
      break;
    }
}
BENCHMARK(BM_SaveSceneList)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PugixmlSaveFsyncRename(benchmark::State& state) {
  const std::string file = (Bench().dir / "pugi.xml").string(), temp = file + ".tmp";
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("Scenes");
    for (int i = 0; i < kScenes; ++i)
      root.append_child("Scene").append_attribute("label") = Bench().list[i].get_attribute("label")->get_string();
    if (!doc.save_file(temp.c_str())) {
      state.SkipWithError("save failed");
      break;
    }
    const int fd = open(temp.c_str(), O_RDONLY);
    if (fd < 0 || fsync(fd) != 0 || close(fd) != 0 || std::rename(temp.c_str(), file.c_str()) != 0) {
      state.SkipWithError("sync or rename failed");
      break;
    }
    const int folder = open(Bench().dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
      fsync(folder);
      close(folder);
    }
  }
}
BENCHMARK(BM_PugixmlSaveFsyncRename)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(
      argc, argv,
      {{"list 2,000 entries / directory_iterator+sort", "BM_ListDirectory", "BM_FilesystemIterateAndSort"},
       {"save 1,000 scenes / pugixml+fsync+rename", "BM_SaveSceneList", "BM_PugixmlSaveFsyncRename"}});
}
