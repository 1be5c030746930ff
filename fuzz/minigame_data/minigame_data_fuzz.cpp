// Reads arbitrary bytes as a mini-game's compiled data file (an image, a texture and a strip
// record, then the skip button's strip, as a game's Init does), and again as the dance's
// "dance.dat", which holds the skip strip alone. Each read must fail cleanly or account for every
// byte, and a failed read leaves no skip strip that is half read.
#include <cstddef>
#include <cstdint>

#include "../BaseFuzz.h"
#include "base/app/ICMD.h"
#include "graphics/Texture.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/dance/DanceMinigame.h"

namespace {

class cl_FuzzGame : public quillane::i_Minigame {
 public:
  using i_Minigame::Init;
  bool Init(base::Variant*, bool) override { return true; }
  void End() override {}
  bool HandleInput(base::ICMD& cmd) override { return HitSkipButton(cmd, 0.0f, 0.0f, 1.0f); }
  bool Compile(const char*) override { return false; }
  void Render(float, float) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  cl_FuzzGame game;
  gfx::cl_Image image;
  gfx::cl_Texture texture;
  gfx::cl_TextureStrip strip;
  quillane::cl_MinigameDataFile file;
  if (!file.OpenMemory(data, static_cast<int>(size), "fuzz.dat")) return 0;
  file.Record(image);
  file.Record(texture);
  file.Record(strip);
  const bool ok = file.Finish(game);
  if (ok != !file.Failed()) __builtin_trap();
  if (ok && file.GetRecordCount() != 4) __builtin_trap();
  if (!ok && game.GetPanicStrip() && game.GetPanicStrip()->GetFrameCount() != 0 && file.GetRecordCount() < 3)
    __builtin_trap();
  // Whatever the strip's bounds came in as, the skip button's hit test and centre stay safe.
  game.ResetPanicTimer(0.0f);
  game.i_Minigame::Update(0.1f);
  base::ICMD release;
  release.type = base::ICMD::LEFT_UP;
  release.mouseX = 40, release.mouseY = 60;
  game.HandleInput(release);
  float x = 0.0f, y = 0.0f;
  game.GetSkipButtonCentre(x, y);

  quillane::cl_DanceMinigame dance;
  quillane::cl_MinigameDataFile danceFile;
  if (!danceFile.OpenMemory(data, static_cast<int>(size), "dance.dat")) return 0;
  const bool whole = dance.ReadDataFile(danceFile);
  if (whole != !danceFile.Failed() || (whole && danceFile.GetRecordCount() != 1)) __builtin_trap();
  if (!whole && dance.GetPanicStrip()) __builtin_trap();
  return 0;
}
