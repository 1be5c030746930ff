// A savegame of 5,000 game-state elements, the 512 x 320 picture and 30 characters on stage:
// a save as the session makes it (thumbnails, the tree copied, the file written, fsynced and
// renamed) and a load's parse into the image, each against plain stdio of the same bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../BenchRatios.h"
#include "SavegameGenerator.h"
#include "quillane/savegame/SavegameImage.h"

namespace fs = std::filesystem;

namespace {

struct st_Bench {
  st_Bench() {
    dir = fs::temp_directory_path() / ("quillane_bench_savegame_" + std::to_string(getpid()));
    fs::create_directories(dir);
    savegen::st_Plan plan;
    plan.elements = 5000;
    plan.characters.clear();
    for (int i = 0; i < 30; ++i) {
      savegen::st_Character c;
      c.name = "Character" + std::to_string(i);
      c.actor = i % 2 ? "male" : "female";
      c.position[0] = static_cast<float>(i * 10);
      plan.characters.push_back(c);
    }
    plan.player = "Character0";
    bytes = savegen::Generate(plan).bytes;
    quillane::ParseSavegame(bytes.data(), static_cast<int>(bytes.size()), "bench", image);
    slot = (dir / "slot.sav").string();
    plain = (dir / "plain.sav").string();
    savegen::WriteFile(slot, bytes);
  }
  ~st_Bench() { fs::remove_all(dir); }

  fs::path dir;
  std::vector<uint8_t> bytes;
  quillane::st_SavegameImage image;
  std::string slot, plain;
};

st_Bench& Bench() {
  static st_Bench bench;
  return bench;
}

void BM_SaveGame(benchmark::State& state) {
  st_Bench& b = Bench();
  for (auto _ : state) {
    quillane::st_SavegameImage save;
    save.head.m_name = b.image.head.m_name;
    quillane::MakeSavegameThumbnails(b.image.head.m_preview, save.head.m_grey, save.head.m_colour);
    save.head.m_header.copy(b.image.head.m_header);
    save.head.m_preview = b.image.head.m_preview;
    save.gameState.copy(b.image.gameState);
    save.sceneName = b.image.sceneName;
    save.stageBlock = b.image.stageBlock;
    if (!quillane::WriteSavegameFile(b.slot.c_str(), save)) {
      state.SkipWithError("save failed");
      break;
    }
  }
  state.counters["bytes"] = static_cast<double>(b.bytes.size());
}
BENCHMARK(BM_SaveGame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainFwrite(benchmark::State& state) {
  st_Bench& b = Bench();
  for (auto _ : state) {
    std::FILE* f = std::fopen(b.plain.c_str(), "wb");
    std::fwrite(b.bytes.data(), 1, b.bytes.size(), f);
    std::fclose(f);
  }
}
BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseSavegame(benchmark::State& state) {
  st_Bench& b = Bench();
  for (auto _ : state) {
    quillane::st_SavegameImage image;
    if (!quillane::ReadSavegameFile(b.slot.c_str(), image)) {
      state.SkipWithError("parse failed");
      break;
    }
    benchmark::DoNotOptimize(image.characters.size());
  }
}
BENCHMARK(BM_ParseSavegame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainFread(benchmark::State& state) {
  st_Bench& b = Bench();
  std::vector<uint8_t> in(b.bytes.size());
  for (auto _ : state) {
    std::FILE* f = std::fopen(b.slot.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(in.data(), 1, in.size(), f));
    std::fclose(f);
  }
}
BENCHMARK(BM_PlainFread)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(argc, argv,
                                    {{"save (fsync) / plain fwrite", "BM_SaveGame", "BM_PlainFwrite"},
                                     {"parse / plain fread", "BM_ParseSavegame", "BM_PlainFread"}});
}
