#include "minigame_fixture.h"

#include <filesystem>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/session/Session.h"

namespace minigametest {

void MinigameTest::SetUp() {
  ProbeCounts() = st_ProbeCounts();
  m_extraConfig = "<Debug NoMinigames=\"0\"/><Options><Game><MinigamesPanicButton Value=\"0\"/></Game></Options>";
  SessionInputTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  const std::filesystem::path strip = std::filesystem::path(QUILLANE_DATA_DIR) / kProbeStrip;
  if (!std::filesystem::exists(strip / "panicbutton_0.tga")) GTEST_SKIP() << "no generated skip strip (run demogen)";
  std::filesystem::create_directories(m_dir / kProbeStrip);
  std::filesystem::copy(strip, m_dir / kProbeStrip, std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  // The games' own art, so that compiling their missing data files finds every picture.
  for (const char* game : {"gui/minigames/bookshelf", "gui/minigames/decoder"}) {
    const std::filesystem::path art = std::filesystem::path(QUILLANE_DATA_DIR) / game;
    if (!std::filesystem::exists(art)) GTEST_SKIP() << "no generated mini-game art (run demogen)";
    std::filesystem::create_directories(m_dir / game);
    std::filesystem::copy(art, m_dir / game,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  }
  m_games = m_session->GetMinigameManager();
  ASSERT_NE(m_games, nullptr);
  m_games->Register("Probe", "probe.dat", &cl_ProbeGame::Make);
  m_probeIndex = m_games->GetGameCount() - 1;
}

cl_ProbeGame* MinigameTest::Probe() const {
  return static_cast<cl_ProbeGame*>(m_games ? m_games->GetInstance(m_probeIndex) : nullptr);
}

bool MinigameTest::StartProbe(testsupport::st_EventCounts& counts, bool force) {
  auto* event = new testsupport::cl_CountingEvent(counts);
  if (m_games->Start("Probe", event, force)) return true;
  delete event;
  return false;
}

bool MinigameTest::StepUntilRunning(int limit) {
  for (int i = 0; i < limit; ++i) {
    if (m_games->IsRunning() && m_games->GetState() == quillane::cl_MinigameManager::Running) return true;
    Step();
  }
  return false;
}

quillane::i_Minigame* MinigameTest::StartSeeded(const char* name, int seed) {
  base::RandSeed(seed);
  auto* event = new testsupport::cl_CountingEvent(m_counts[0]);
  if (!m_games->Start(name, event, false)) {
    delete event;
    return nullptr;
  }
  return StepUntilRunning() ? m_games->GetGame() : nullptr;
}

bool MinigameTest::StepUntilIdle(int limit) {
  for (int i = 0; i < limit && m_games->IsRunning(); ++i) Step();
  return !m_games->IsRunning();
}

void MinigameTest::SetQuickSkip(bool on) {
  base::Variant* option = base::sys::GetOptionValue("Game/MinigamesPanicButton/Value");
  ASSERT_NE(option, nullptr);
  option->set_int(on ? 1 : 0);
}

int MinigameTest::GameStateInt(const char* path) {
  const base::Variant* value = base::variant_get_attribute_by_path(*m_session->GetGameState(), path, false);
  return value ? value->get_int() : -1;
}

void MinigameTest::SetState(const char* path, const char* value) {
  base::Variant* v = base::variant_get_attribute_by_path(*m_session->GetGameState(), path, true);
  ASSERT_NE(v, nullptr);
  v->set_string(value);
}

void MinigameTest::SetState(const char* path, int value) {
  base::Variant* v = base::variant_get_attribute_by_path(*m_session->GetGameState(), path, true);
  ASSERT_NE(v, nullptr);
  v->set_int(value);
}

void MinigameTest::Mouse(int type, float x, float y) {
  Input(frametest::Mouse(type, static_cast<int>(x), static_cast<int>(y)));
}

}  // namespace minigametest
