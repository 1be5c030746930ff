// Compiled data files: built once when missing, read back record by record, and refused with an
// error naming the file when they do not fit.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "minigame_fixture.h"
#include "base/File.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/minigames/MinigameManager.h"

namespace minigametest {
namespace {

namespace fs = std::filesystem;
using testsupport::st_EventCounts;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// CompileMissing builds the probe's file through a throw-away instance and never again; a new
// instance reads the picture and the two-frame strip back as they were built.
TEST_F(MinigameTest, AMissingDataFileIsCompiledOnceAndReadBack) {
  const size_t logged = Log().size();  // the fixture's own start leaves lines of its own
  m_games->CompileMissing();
  ASSERT_TRUE(fs::exists(m_dir / "probe.dat"));
  EXPECT_EQ(ProbeCounts().compiles, 1);
  EXPECT_EQ(ProbeCounts().deleted, 1) << "the compiling instance is not kept";
  EXPECT_EQ(Probe(), nullptr);
  m_games->CompileMissing();
  EXPECT_EQ(ProbeCounts().compiles, 1) << "an existing file is never rebuilt";

  cl_ProbeGame built;
  ASSERT_TRUE(built.Compile("again.dat")) << Log();
  cl_ProbeGame read;
  ASSERT_TRUE(read.ReadDataFile("probe.dat")) << Log();
  EXPECT_EQ(read.GetPicture().GetWidth(), built.GetPicture().GetWidth());
  EXPECT_GT(read.GetPicture().GetTileCount(), 0);
  const gfx::cl_TextureStrip* strip = read.GetPanicStrip();
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->GetFrameCount(), 2);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(strip->GetBounds()[i], built.GetPanicStrip()->GetBounds()[i]);
  EXPECT_EQ(ReadBytes(m_dir / "probe.dat"), ReadBytes(m_dir / "again.dat")) << "the same sources give the same file";
  EXPECT_EQ(Log().find("ERROR:", logged), std::string::npos) << Log().substr(logged);
}

// Truncated anywhere, with bytes after its end or another game's records: the read fails with
// one error naming the file, the game keeps no half strip, and the manager does not start a game
// registered with it, while the same game registered with the good file starts.
TEST_F(MinigameTest, ADamagedDataFileFailsWithAnErrorNamingIt) {
  m_games->CompileMissing();
  const std::string good = ReadBytes(m_dir / "probe.dat");
  ASSERT_GT(good.size(), 64u);
  cl_ProbeGame stripOnly;
  stripOnly.CompilePanicStrip(kProbeStrip);
  {
    base::File out("strip_only.dat", base::File::STATUS_WRITE);
    ASSERT_TRUE(stripOnly.WritePanicStrip(out));
    ASSERT_TRUE(out.close());
  }
  const std::vector<std::string> bad = {
      std::string(),
      good.substr(0, 3),
      good.substr(0, good.size() / 2),
      good.substr(0, good.size() - 1),
      good + '\0',
      ReadBytes(m_dir / "strip_only.dat"),
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    std::ofstream(m_dir / "probe_bad.dat", std::ios::binary | std::ios::trunc) << bad[i];
    const size_t logged = Log().size();
    cl_ProbeGame game;
    EXPECT_FALSE(game.ReadDataFile("probe_bad.dat"));
    if (i != 4) {
      EXPECT_EQ(game.GetPanicStrip(), nullptr) << "no half strip";
    }
    const std::string lines = Log().substr(logged);
    EXPECT_NE(lines.find("ERROR:"), std::string::npos) << lines;
    EXPECT_NE(lines.find("probe_bad.dat"), std::string::npos) << lines;
  }
  m_games->Register("ProbeDamaged", "probe_bad.dat", &cl_ProbeGame::Make);
  auto* event = new testsupport::cl_CountingEvent(m_counts[1]);
  if (!m_games->Start("ProbeDamaged", event, false)) delete event;
  EXPECT_FALSE(m_games->IsRunning());
  EXPECT_TRUE(StartProbe(m_counts[0]));
  EXPECT_EQ(Probe()->GetDataFile(), "probe.dat");
}

// A game whose compile fails is logged by name; the games after it are still compiled.
TEST_F(MinigameTest, AFailedCompileIsLoggedAndTheOthersAreStillBuilt) {
  ProbeCounts().failCompile = true;
  m_games->Register("ProbeTwo", "probe_two.dat", &cl_ProbeGame::Make);
  m_games->CompileMissing();
  EXPECT_NE(Log().find("Error at cl_MinigameManager::Compile: Probe\n"), std::string::npos);
  EXPECT_NE(Log().find("Error at cl_MinigameManager::Compile: ProbeTwo"), std::string::npos);
  EXPECT_EQ(ProbeCounts().compiles, 2);
  EXPECT_EQ(ProbeCounts().deleted, 2);
}

}  // namespace
}  // namespace minigametest
