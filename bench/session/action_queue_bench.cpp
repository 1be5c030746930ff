// The action queue under load: skipping a 10-minute cutscene in which 10 characters on the stage
// (28-bone figures, updated every step) take turns speaking while each also runs a background loop
// (goal: under 1 s for the whole skip), one
// session frame in which 50 actions finish among 200 waiting script threads, and a frame in which
// a quarter of 800 or of 3,200 queued sleeps finish (the queue's own share: linear when the time
// at 3,200 is four times the time at 800). Beside the second,
// the liveness test an action makes before it wakes its thread, done through the game threads'
// registry and done the old way (a copy of the script system's thread list, searched), as a ratio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <list>
#include <memory>
#include <vector>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "../BenchRatios.h"
#include "../CharacterRig.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "quillane/character/Character.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"

namespace {

using quillane::cl_GameActionQueue;

constexpr int kCharacters = 10;
constexpr int kLines = 200;  // 200 lines of 3 s: a 10-minute cutscene
constexpr int kThreads = 200;
constexpr int kFinishing = 50;

const char* kSource = R"(
function void Cutscene() {
  BeginCutscene();
  int i;
  for (i = 0; i < 200; i++) {
    Speak(i % 10, 3.0);
  }
  EndCutscene();
}
function void Idle() {
  for (;;) {
    Sleep(1.5);
  }
}
function void Quick() {
  for (;;) {
    Sleep(0.05);
  }
}
function void Held() {
  Hold();
}
)";

const char* const kNames[kCharacters] = {"Odo", "Mina", "Pell", "Quillane", "Ada", "Bo", "Cy", "Dee", "Eli", "Fay"};

bool Quiet(const char*) { return false; }

// Speak(character, seconds): a spoken line of that length for character n, as the speech
// function queues it.
void Speak(KRX::t_Interface& in) {
  quillane::cl_Session* session = quillane::GetSession();
  auto* thread = dynamic_cast<GameThread*>(in.m_thread);
  if (!session || !thread) return;
  quillane::st_GameAction* action = session->GetActionQueue().Add(thread);
  action->m_kind = "speak";
  action->m_object = kNames[script::GetArgInt(in, 1, 0) % kCharacters];
  action->m_time = script::GetArgFloat(in, 2, 1.0f);
}

// Hold(): a wait that only its completion event ends (never, here).
void Hold(KRX::t_Interface& in) {
  quillane::cl_Session* session = quillane::GetSession();
  auto* thread = dynamic_cast<GameThread*>(in.m_thread);
  if (session && thread) session->GetActionQueue().Add(thread)->m_kind = "WaitForGUI";
}

struct st_World {
  st_World() {
    previous = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() / ("quillane_queue_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "Scenes");
    std::filesystem::current_path(dir);
    base::sys::AddOutputCallback(&Quiet);
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::SetCallbacks([](const char*) {}, nullptr);
    RegisterScriptFunctions();
    KRX::RegisterFunction(KRX::ScriptSystem::GetModule(), "Speak", &Speak);
    KRX::RegisterFunction(KRX::ScriptSystem::GetModule(), "Hold", &Hold);
    KRX::CodeUnit unit;
    unit.m_fileName = "bench.krx";
    unit.m_moduleName = "bench";
    unit.m_source = kSource;
    compiled = KRX::Compiler::Compile(unit, nullptr);
    session = std::make_unique<quillane::cl_Session>();
  }
  ~st_World() {
    session.reset();
    KRX::ScriptSystem::Shutdown();
    base::sys::RemoveOutputCallback(&Quiet);
    std::filesystem::current_path(previous);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  // A scene on the stage with the ten speakers on it, each a 28-bone figure.
  void Cast(const benchrig::st_Rig& rig) {
    // Without a game frame the session cannot queue the scene's load: the stage loads it here.
    session->LoadScene("Bench");
    quillane::cl_Stage* stage = session->GetStage();
    stage->LoadScene("Bench");
    for (int i = 0; i < kCharacters; ++i) {
      auto* character = new quillane::cl_Character;
      character->name = kNames[i];
      character->SetActor(rig.actor.get(), nullptr);
      character->SetPositionRaw(float(i) * 80.0f, 0.0f, float(i % 3) * 60.0f);
      stage->AdoptCharacter(character);
    }
  }
  cl_GameActionQueue& Queue() { return session->GetActionQueue(); }

  // As the session starts scene and background scripts: the thread owns the stop event that
  // tells the queue of its end.
  GameThread* Start(const char* function, bool background) {
    auto* stop = new quillane::st_ScriptStopEvent;
    GameThread* thread = GameThread::CreateForFunction("bench.krx", function, stop);
    if (!thread) return nullptr;
    stop->m_thread = thread;
    const KRX::tRefPtr<GameThread> hold(thread);
    if (background) Queue().AddBackgroundThread(thread);
    base::Variant ignored;
    GameThread::Run(ignored, thread, function, base::Variant());
    if (!GameThread::IsLive(thread)) return nullptr;
    if (!background) Queue().m_sceneScript = thread;
    return thread;
  }

  std::filesystem::path dir, previous;
  base::cl_System system;  // owned events run only while a system exists
  std::unique_ptr<quillane::cl_Session> session;
  bool compiled = false;
};

// The whole skip of the cutscene, as Escape starts it; the scripts are set up again, untimed,
// before each skip.
void BM_SkipTenMinuteCutscene(benchmark::State& state) {
  st_World world;
  if (!world.compiled) {
    state.SkipWithError("the source did not compile");
    return;
  }
  benchrig::st_Rig rig(28);
  world.Cast(rig);
  int steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    world.Queue().Clear();
    world.Queue().Reset();
    for (int i = 0; i < kCharacters; ++i) world.Start("Idle", true);
    world.Start("Cutscene", false);
    state.ResumeTiming();
    world.Queue().SkipSequence();
    steps = world.Queue().GetLastSkipSteps();
  }
  if (steps < kLines * 30 || world.Queue().m_inCutscene) state.SkipWithError("the cutscene did not run to its end");
  state.counters["steps"] = steps;
  state.counters["game_minutes"] = double(steps) * double(cl_GameActionQueue::kSkipStep) / 60.0;
}

// One frame with 200 waiting threads, 50 of which sleep for less than the frame: their actions
// finish (each waking its thread after the liveness test) and the woken threads queue new ones.
void BM_FrameWith50FinishingAmong200Threads(benchmark::State& state) {
  st_World world;
  if (!world.compiled) {
    state.SkipWithError("the source did not compile");
    return;
  }
  for (int i = 0; i < kFinishing; ++i) world.Start("Quick", false);
  for (int i = kFinishing; i < kThreads; ++i) world.Start("Held", false);
  world.Queue().m_sceneScript = nullptr;
  KRX::ThreadList::Update(0.1f);
  world.Queue().Update(0.1f);
  for (auto _ : state) {
    KRX::ThreadList::Update(0.1f);
    world.Queue().Update(0.1f);
  }
  // The woken threads queue their next waits at the next thread update.
  KRX::ThreadList::Update(0.1f);
  if (world.Queue().GetActionCount() != kThreads) state.SkipWithError("the threads did not keep waiting");
  state.counters["per_action"] =
      benchmark::Counter(double(kFinishing), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A frame of the queue alone in which a quarter of its sleeps finish and are taken off: the
// queue holds `range` sleeps of four ages, the oldest quarter ends this frame, and a new quarter
// is queued (untimed) before the next.
void BM_FrameWithQuarterOfActionsFinishing(benchmark::State& state) {
  st_World world;
  const int count = int(state.range(0)), quarter = count / 4;
  auto queueSleeps = [&world, quarter](float time) {
    for (int i = 0; i < quarter; ++i) {
      quillane::st_GameAction* action = world.Queue().Add(nullptr);
      action->m_kind = "sleep";
      action->m_time = time;
    }
  };
  for (int age = 0; age < 4; ++age) queueSleeps(0.05f + 0.1f * float(age));
  for (auto _ : state) {
    world.Queue().Update(0.1f);
    state.PauseTiming();
    queueSleeps(0.35f);
    state.ResumeTiming();
  }
  if (world.Queue().GetActionCount() != count) state.SkipWithError("the queue did not keep its size");
  state.counters["per_action"] =
      benchmark::Counter(double(quarter), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// 50 liveness tests among 200 live threads, as 50 finishing actions make them.
template <bool Registry>
void AliveTests(benchmark::State& state) {
  st_World world;
  if (!world.compiled) {
    state.SkipWithError("the source did not compile");
    return;
  }
  std::vector<GameThread*> threads;
  for (int i = 0; i < kThreads; ++i) threads.push_back(world.Start("Held", false));
  world.Queue().m_sceneScript = nullptr;
  int alive = 0;
  for (auto _ : state) {
    alive = 0;
    for (int i = 0; i < kFinishing; ++i) {
      const GameThread* thread = threads[size_t(i * 4 + 3)];
      if constexpr (Registry) {
        alive += cl_GameActionQueue::IsThreadAlive(thread);
      } else {
        const std::list<KRX::tRefPtr<KRX::Thread>> copy = KRX::ScriptSystem::GetThreads();
        alive += std::any_of(copy.begin(), copy.end(),
                             [thread](const KRX::tRefPtr<KRX::Thread>& t) { return t.get() == thread; });
      }
    }
    benchmark::DoNotOptimize(alive);
  }
  if (alive != kFinishing) state.SkipWithError("a live thread was not found");
}

void BM_Alive_Registry(benchmark::State& state) { AliveTests<true>(state); }
void BM_Alive_ThreadListCopy(benchmark::State& state) { AliveTests<false>(state); }

BENCHMARK(BM_SkipTenMinuteCutscene)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameWith50FinishingAmong200Threads)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameWithQuarterOfActionsFinishing)->Arg(800)->Arg(3200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Alive_Registry)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Alive_ThreadListCopy)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(
      argc, argv,
      {
          {"liveness test: registry vs thread-list copy", "BM_Alive_Registry", "BM_Alive_ThreadListCopy"},
          {"finishing quarter: 800 over 3,200 (linear: 0.25)", "BM_FrameWithQuarterOfActionsFinishing/3200",
           "BM_FrameWithQuarterOfActionsFinishing/800"},
      });
}
