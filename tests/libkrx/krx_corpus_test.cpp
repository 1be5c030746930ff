// The script corpus under scripts/ run end to end through the krx runner: each script's output
// is compared with its golden file, save-then-load must give the same output, and a damaged
// module file must be refused.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kScripts = fs::path(QUILLANE_TEST_DIR) / "scripts";

struct st_Run {
  std::string out;
  int status = -1;
};

// Runs krx with args in the scripts folder; stdout (or with errors, stderr alone) and the exit
// status. prepare may set limits for the run.
st_Run RunKrx(const std::vector<std::string>& args, bool errors = false, std::function<void()> prepare = {}) {
  testsupport::st_Command command{.args = {KRX_RUNNER},
                                  .folder = kScripts.string(),
                                  .out = "/dev/null",
                                  .err = "/dev/null",
                                  .prepare = std::move(prepare)};
  command.args.insert(command.args.end(), args.begin(), args.end());
  st_Run run;
  int raw = 0;
  run.out = testsupport::Capture(command, errors ? testsupport::en_Capture::Err : testsupport::en_Capture::Out, &raw);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct st_Script {
  const char* file;
  const char* function;
  int status;
  const char* golden;  // file under scripts/golden
  bool saveLoad;       // self-contained: the saved module must run the same
};

const st_Script kCorpus[] = {
    {"basics.krx", "Main", 0, "basics.out", true},
    {"control.krx", "Main", 0, "control.out", true},
    {"functions.krx", "Main", 0, "functions.out", true},
    {"recursion.krx", "Main", 0, "recursion.out", true},
    {"recursion.krx", "TooDeep", 2, "recursion_toodeep.out", true},
    {"threads.krx", "Main", 0, "threads.out", true},
    {"builtins.krx", "Main", 0, "builtins.out", true},
    {"include_main.krx", "Main", 0, "include_main.out", false},
    {"luaentry.lua", "Main", 0, "luaentry.out", false},
    {"errors.krx", "DivZero", 2, "errors_divzero.out", true},
    {"errors.krx", "Undefined", 2, "errors_undefined.out", true},
    {"errors.krx", "BadIndex", 2, "errors_badindex.out", true},
    {"errors.krx", "TooManyArgs", 2, "errors_toomanyargs.out", true},
    {"errors.krx", "MissingArg", 2, "errors_missingarg.out", true},
    {"errors.krx", "BadStore", 2, "errors_badstore.out", true},
    {"errors.krx", "VoidReturn", 2, "errors_voidreturn.out", true},
    {"errors.krx", "NoValue", 2, "errors_novalue.out", true},
    {"errors.krx", "BadNative", 2, "errors_badnative.out", true},
    {"errors.krx", "NotAFunction", 2, "errors_notafunction.out", true},
    {"errors.krx", "UnknownModule", 2, "errors_unknownmodule.out", true},
    {"errors.krx", "NoSuch", 1, "errors_nosuch.out", true},
};

class KrxCorpus : public ::testing::TestWithParam<st_Script> {};

TEST_P(KrxCorpus, OutputMatchesGolden) {
  const st_Script& s = GetParam();
  st_Run run = RunKrx({s.file, s.function});
  EXPECT_EQ(run.status, s.status);
  EXPECT_EQ(run.out, ReadText(kScripts / "golden" / s.golden));
}

TEST_P(KrxCorpus, SavedModuleRunsTheSame) {
  const st_Script& s = GetParam();
  if (!s.saveLoad) GTEST_SKIP() << "needs modules that only its source includes";
  const testsupport::cl_ScratchFolder scratch("krx_save");
  const fs::path& dir = scratch.path();
  st_Run saved = RunKrx({"--save", dir.string(), s.file});
  ASSERT_EQ(saved.status, 0);
  const std::string stem = fs::path(s.file).stem().string();
  const fs::path module = dir / (stem + ".bincode");
  ASSERT_TRUE(fs::exists(module));
  st_Run run = RunKrx({module.string(), s.function});
  EXPECT_EQ(run.status, s.status);
  EXPECT_EQ(run.out, ReadText(kScripts / "golden" / s.golden));
}

INSTANTIATE_TEST_SUITE_P(Scripts, KrxCorpus, ::testing::ValuesIn(kCorpus), [](const auto& param) {
  std::string name = param.param.golden;
  name = name.substr(0, name.find('.'));
  return name;
});

TEST(KrxRunner, DamagedModuleFileIsRefused) {
  const testsupport::cl_ScratchFolder scratch("krx_damaged");
  const fs::path& dir = scratch.path();
  ASSERT_EQ(RunKrx({"--save", dir.string(), "control.krx"}).status, 0);
  const fs::path module = dir / "control.bincode";
  const auto size = fs::file_size(module);
  fs::resize_file(module, size / 2);
  st_Run run = RunKrx({module.string(), "Main"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Unable to load module file"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("corrupt at offset"), std::string::npos) << run.out;
}

// --save that saves nothing fails the run, with the reason on stderr and nothing on stdout.
TEST(KrxRunner, SaveThatWritesNothingExitsWithOne) {
  const testsupport::cl_ScratchFolder scratch("krx_save_fails");
  const fs::path& dir = scratch.path();
  std::ofstream(dir / "file").close();
  const struct {
    std::string folder;
    std::function<void()> prepare;
    const char* cause;
  } cases[] = {
      {(dir / "missing").string(), {}, "No such file or directory"},
      {(dir / "file").string(), {}, "Not a directory"},
      {dir.string(), testsupport::FileSizeLimit(0), "File too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    st_Run run = RunKrx({"--save", c.folder, "control.krx", "Main"}, true, c.prepare);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Unable to open file '" + c.folder + "/control.bincode'\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(c.cause), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(dir / "control.bincode"));
    EXPECT_EQ(RunKrx({"--save", c.folder, "control.krx", "Main"}, false, c.prepare).out, "");
  }
}

// A loop without a yield ends the run with exit 2 and the error at its line.
TEST(KrxRunner, EndlessLoopEndsWithARunTimeError) {
  const testsupport::cl_ScratchFolder scratch("krx_endless");
  const fs::path& dir = scratch.path();
  std::ofstream(dir / "spin.krx") << "function void Main() {\n  while (true) {\n  }\n}\n";
  st_Run run = RunKrx({"--steps", "100000", (dir / "spin.krx").string(), "Main"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("spin.krx(2) : Execution stopped"), std::string::npos) << run.out;
  EXPECT_EQ(RunKrx({"--steps", "x", (dir / "spin.krx").string(), "Main"}).status, 1);
}

// Threads that still wait when the simulated time runs out: exit 3 and a line on stderr.
TEST(KrxRunner, TimeCapWithThreadsRunningExitsWithThree) {
  const testsupport::cl_ScratchFolder scratch("krx_forever");
  const fs::path& dir = scratch.path();
  std::ofstream(dir / "wait.krx") << "function void Main() {\n  while (true) { Sleep(1.0); }\n}\n"
                                  << "function void Short() {\n  Sleep(1.0);\n  Debugout(\"done\");\n}\n";
  const std::string file = (dir / "wait.krx").string();
  st_Run run = RunKrx({"--seconds", "2.5", file, "Main"}, true);
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.out.find("stopped after 2.5 simulated seconds with 1 thread still running"), std::string::npos)
      << run.out;
  run = RunKrx({"--seconds", "2.5", file, "Short"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "done\n");
  EXPECT_EQ(RunKrx({"--seconds", "0.5", file, "Short"}).status, 3);
  EXPECT_EQ(RunKrx({"--seconds", "-1", file, "Short"}).status, 1);
  EXPECT_EQ(RunKrx({"--seconds", "x", file, "Short"}).status, 1);
}

// A script that starts threads without end meets the cap on live threads as a run-time error of
// its own, long before memory runs out; the threads it started go on.
TEST(KrxRunner, ThreadsWithoutEndStopAtTheCapWithARunTimeError) {
  const testsupport::cl_ScratchFolder scratch("krx_spawn");
  const fs::path& dir = scratch.path();
  std::ofstream(dir / "spawn.krx") << "function void Waiter(thread self) {\n  Sleep(0.1);\n}\n"
                                   << "function void Main() {\n  while (true) {\n    ThreadCreate(Waiter);\n  }\n}\n";
  st_Run run = RunKrx({"--steps", "200000", (dir / "spawn.krx").string(), "Main"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("spawn.krx(6) : too many script threads: 4096 are running"), std::string::npos)
      << run.out.substr(0, 2000);
}

// A script that does not compile is told in one line on stderr, the loader's, with the line and
// the cause in the writer's words, and nothing on stdout: not the parser's own line besides (twice,
// one of them speaking of the braces the Lua rewrite made or of "')' for ')'").
TEST(KrxRunner, AScriptThatDoesNotCompileIsToldInOneLine) {
  const testsupport::cl_ScratchFolder scratch("krx_broken");
  const fs::path& dir = scratch.path();
  const struct {
    const char* file;
    const char* text;
    const char* cause;
  } cases[] = {
      {"call.lua", "function F()\n  Debugout(\"a\"\nend\n", "(2) : unclosed parenthesis: the '(' here has no ')'"},
      {"block.lua", "function F()\n  if 1 then\n    Debugout(\"a\")\nend\n",
       "(1) : missing 'end': the 'function' begun here is not closed"},
      {"args.krx", "function void F() {\n  Debugout(1,\n}\n", "(2) : unclosed parenthesis: the '(' here has no ')'"},
      {"plus.lua", "local x = (1 + \n", "(1) : Unexpected token found '+'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string file = (dir / c.file).string();
    std::ofstream(file) << c.text;
    const st_Run err = RunKrx({file}, true);
    EXPECT_EQ(err.status, 1);
    EXPECT_EQ(err.out, "ERROR: script " + file + " does not compile: " + file + c.cause + "; it is not loaded\n");
    EXPECT_EQ(RunKrx({file}).out, "");
  }
}

TEST(KrxRunner, CompileErrorExitsWithOne) {
  st_Run run = RunKrx({(kScripts / "golden" / "no_such_script.krx").string(), "Main"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Unable to open file"), std::string::npos) << run.out;
}

}  // namespace
