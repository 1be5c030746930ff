// Plays the Sabotage game on bytes: each three make a click on one of the game's targets, a raw
// command, a key, or a frame of any length (a damaged clock included). The fluids' amounts must
// stay within -26 ... 28 and the view's scroll finite and within its limits, whatever comes.
// The game starts from a scratch folder with the demo's board and a data file without pictures.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>

#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/sabotage/SabotageMixer.h"
#include "quillane/settings/TweakSettings.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

namespace {

namespace fs = std::filesystem;
using quillane::cl_Sabotage;

constexpr const char* kBoard =
    "<Grid><Data GridSize_X=\"4\" GridSize_Y=\"3\"/>"
    "<Element Texture=\"8\" Rotation=\"2\"/><Element Texture=\"8\"/><Element Texture=\"8\" Rotation=\"2\"/>"
    "<Element Texture=\"10\"/><Element Texture=\"10\" Rotation=\"1\"/><Element Texture=\"8\" Rotation=\"2\"/>"
    "<Element Texture=\"6\"/><Element Texture=\"10\"/><Element Texture=\"10\" Rotation=\"1\"/>"
    "<Element Texture=\"10\"/><Element Texture=\"10\" Rotation=\"1\"/><Element Texture=\"8\" Rotation=\"2\"/></Grid>";

constexpr const char* kDataFile = "gui/minigames/sabotage.dat";

const char* const kTargets[] = {"knob 1",   "knob 2",    "knob 3",   "reset",   "cell 0 0",  "cell 1 2",
                                "cell 3 1", "valve 1",   "valve 2",  "valve 3", "valve 4",   "valve 5",
                                "valve 6",  "valve 7",   "valve 8",  "exit",    "edge left", "edge right",
                                "edge up",  "edge down", "tutorial", "cell 9 9"};

// A scratch folder with the board and an empty data file; empty when it could not be made.
fs::path PrepareFolder() {
  if (fuzzsupport::RunFolder().empty()) return {};
  const fs::path dir = fuzzsupport::RunFolder() / "sabotage";
  std::error_code ec;
  fs::create_directories(dir / "gui/minigames/sabotage", ec);
  const fs::path here = fs::current_path(ec);
  fs::current_path(dir, ec);
  if (ec) return {};
  std::ofstream("gui/minigames/sabotage/grid.xml") << kBoard;
  cl_Sabotage maker;
  maker.CompilePanicStrip("gui/minigames/sabotage/texturestrips/panicbutton");
  quillane::cl_MinigameDataFile file;
  const bool ok = file.OpenWrite(kDataFile) && maker.ArchiveDataFile(file);
  fs::current_path(here, ec);
  return ok ? dir : fs::path();
}

float FrameTime(uint8_t b) {
  switch (b) {
    case 255: return std::numeric_limits<float>::quiet_NaN();
    case 254: return std::numeric_limits<float>::infinity();
    case 253: return -0.1f;
    case 252: return 1e30f;
    default: return static_cast<float>(b) / 255.0f * 0.5f;
  }
}

void Check(cl_Sabotage& game) {
  for (int c = 0; c < quillane::cl_SabotagePhase3::kColumns; ++c) {
    const int amount = game.GetMixer()->GetColumn(c).m_Amount;
    if (amount < -26 || amount > 28) __builtin_trap();
  }
  float limits[4];
  game.GetScrollLimits(limits);
  const float x = game.GetScrollX(), y = game.GetScrollY();
  if (!std::isfinite(x) || !std::isfinite(y)) __builtin_trap();
  if (x < std::fmin(limits[0], limits[1]) || x > std::fmax(limits[0], limits[1])) __builtin_trap();
  if (y < std::fmin(limits[2], limits[3]) || y > std::fmax(limits[2], limits[3])) __builtin_trap();
}

void Play(const uint8_t* data, size_t size) {
  Debug_KeysEnabled = true;  // the developer keys 'F' and 'N' are input too
  cl_Sabotage game;
  game.SetDataFile(kDataFile);
  if (!game.Init(nullptr, false)) __builtin_trap();  // the folder holds all it needs
  for (size_t i = 0; i + 2 < size; i += 3) {
    base::ICMD cmd;
    const uint8_t a = data[i + 1], b = data[i + 2];
    float x = 0.0f, y = 0.0f;
    switch (data[i] % 4) {
      case 0:
        if (!game.GetPlayTarget(kTargets[a % std::size(kTargets)], x, y)) continue;
        cmd.mouseX = static_cast<uint16_t>(x), cmd.mouseY = static_cast<uint16_t>(y);
        cmd.type = b & 1 ? base::ICMD::LEFT_DOWN : base::ICMD::LEFT_UP;
        break;
      case 1:
        cmd.type = static_cast<uint8_t>(a % 11);
        cmd.mouseX = static_cast<uint16_t>(b * 4), cmd.mouseY = static_cast<uint16_t>(a * 3);
        break;
      case 2:
        cmd.type = b & 1 ? base::ICMD::KEY_RELEASED : base::ICMD::KEY_PRESSED;
        cmd.key = a;
        break;
      default:
        game.Update(FrameTime(b));
        Check(game);
        continue;
    }
    game.HandleInput(cmd);
    Check(game);
  }
  game.End();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 4096)) return 0;
  static std::unique_ptr<base::cl_System> system = [] {
    auto s = std::make_unique<base::cl_System>();
    s->SetWindowSize(1024, 768);
    return s;
  }();
  static const fs::path folder = PrepareFolder();
  if (folder.empty()) return 0;
  // The game reads from the working folder; the fuzzer's own paths are relative to the first one.
  std::error_code ec;
  const fs::path here = fs::current_path(ec);
  fs::current_path(folder, ec);
  Play(data, size);
  fs::current_path(here, ec);
  return 0;
}
